// A HEIF file's items as boxes: read from a file's bytes and written as a
// small file of their own. The HEIF decoder uses them to decode a grid of
// tiles a row (or a column) of tiles at a time: each row becomes a file of
// one grid row over the same coded tiles, which libheif decodes as it
// decodes the whole grid, in a fraction of the memory.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vizuvod {

class TRowSource;

// A property box (hvcC, ispe, colr, irot...), whole.
struct THeifProperty {
  std::string type;
  std::vector<std::uint8_t> box;
};

struct THeifItem {
  std::uint32_t id = 0;
  std::string type;  // hvc1, av01, grid, Exif...
  // Its properties: 1-based places in THeifItems::properties, and whether
  // each is essential.
  std::vector<std::pair<std::uint16_t, bool>> properties;
  std::vector<std::uint8_t> data;  // its extents joined
};

struct THeifItems {
  std::vector<std::uint8_t> ftyp;  // the file type box, whole
  std::uint32_t primary = 0;
  std::vector<THeifProperty> properties;
  std::vector<THeifItem> items;
  // Each grid's tiles in order (its dimg references).
  std::vector<std::pair<std::uint32_t, std::vector<std::uint32_t>>> tiles;

  const THeifItem* Item(std::uint32_t id) const;
  // The item's first property of that type, or null.
  const THeifProperty* Property(const THeifItem& item, const char* type) const;
};

// The items of a HEIF file's meta box, with their data; nothing when the
// boxes are not laid out as read here (data in other items or files,
// boxes cut short), which the caller leaves to libheif.
std::optional<THeifItems> ReadHeifItems(const std::vector<std::uint8_t>& bytes);

// A file of those items (numbered anew from 1 in their order, the primary
// first; references and property places follow), its data in one mdat.
std::vector<std::uint8_t> WriteHeif(const THeifItems& items);

// A grid's layout, from its item's data.
struct THeifGridLayout {
  int rows = 0, columns = 0;
  std::uint32_t width = 0, height = 0;  // of the picture, the tiles cut to it
};
std::optional<THeifGridLayout> ReadGridLayout(const std::vector<std::uint8_t>& data);
// A grid item's data.
std::vector<std::uint8_t> GridData(const THeifGridLayout& layout);

// A property box of `type` with that body.
std::vector<std::uint8_t> PropertyBox(const char* type, const std::vector<std::uint8_t>& body);
// The body of an ispe of that size.
std::vector<std::uint8_t> IspeBody(std::uint32_t width, std::uint32_t height);

// A grid of `columns` tiles a row over the single coded images in tileFiles
// (HEIF files each of one picture of the same size, left to right, top to
// bottom), cut to width x height; with the grid's extra properties (irot,
// imir, colr...) in that order. The ftyp is the first tile file's.
std::vector<std::uint8_t> WriteHeifGrid(const std::vector<std::vector<std::uint8_t>>& tileFiles,
                                        int columns, std::uint32_t width, std::uint32_t height,
                                        const std::vector<THeifProperty>& gridProperties = {});

// The primary grid of a file, to be decoded a strip of tiles at a time: a
// row of tiles, or a column when the grid's rotation turns columns into
// rows; each strip's pixels are turned and mirrored as the grid's irot and
// imir say, so the rows come upright. Null for a primary image that is no
// grid, or a grid the strips cannot stand for (alpha, a crop, properties
// not known here, tiles whose sizes do not match the layout), which libheif
// then decodes whole.
struct THeifGridPlan;
std::shared_ptr<const THeifGridPlan> PlanHeifGrid(const std::vector<std::uint8_t>& bytes);
// The upright picture's size, and the pixels of one strip of tiles.
struct THeifGridSize {
  std::uint64_t width = 0, height = 0, stripPixels = 0;
};
THeifGridSize GridSize(const THeifGridPlan& plan);
// The upright rows, each strip decoded by libheif when its first row is
// asked for and dropped with the strip's last row; unless oneThread, libheif
// decodes a strip's tiles in threads of its own and the next strip is
// decoded on a thread while the rows of one are read. Fails with EPhotoData.
// The test seam (engine/core/TestSeams.h): true makes the decoder leave every
// grid to libheif whole, the road the strips are checked against.
bool& HeifWholeGridHook();

std::unique_ptr<TRowSource> HeifGridRows(std::shared_ptr<const THeifGridPlan> plan, bool oneThread);

}  // namespace vizuvod
