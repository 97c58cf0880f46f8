#include "formats/heif/HeifGrid.h"

#include <algorithm>
#include <cstring>
#include <future>
#include <map>

#include "core/Errors.h"
#include "core/RowSource.h"
#include "formats/DecodeLimits.h"
#include "formats/PictureDecoder.h"

#ifdef VIZUVOD_HEIF
#include "formats/heif/HeifLibrary.h"
#endif

namespace vizuvod {

namespace {

using TBytes = std::vector<std::uint8_t>;

// Reads a box's fields in order; any read past its end marks it bad.
class TReader {
 public:
  TReader(const TBytes& b, std::size_t at, std::size_t end) : b_(b), at_(at), end_(end) {}
  std::uint64_t Be(int count) {
    if (count < 0 || at_ + std::size_t(count) > end_) {
      bad_ = true;
      return 0;
    }
    std::uint64_t v = 0;
    for (int i = 0; i < count; ++i) v = v << 8 | b_[at_++];
    return v;
  }
  std::string Type() {
    if (at_ + 4 > end_) return bad_ = true, std::string();
    std::string type(reinterpret_cast<const char*>(&b_[at_]), 4);
    at_ += 4;
    return type;
  }
  void SkipString() {
    while (at_ < end_ && b_[at_] != 0) ++at_;
    if (at_ >= end_) bad_ = true;
    ++at_;
  }
  std::size_t At() const { return at_; }
  bool Bad() const { return bad_; }

 private:
  const TBytes& b_;
  std::size_t at_, end_;
  bool bad_ = false;
};

// The boxes of [at, end): take(type, boxStart, body, end) for each whole
// box; false when a box runs past end.
template <class Take>
bool WalkBoxes(const TBytes& b, std::size_t at, std::size_t end, Take take) {
  while (at + 8 <= end) {
    TReader r(b, at, end);
    std::uint64_t size = r.Be(4);
    const std::string type = r.Type();
    if (size == 1) size = r.Be(8);
    if (size == 0) size = end - at;
    if (r.Bad() || size < r.At() - at || size > end - at) return false;
    if (!take(type, at, r.At(), at + std::size_t(size))) return false;
    at += std::size_t(size);
  }
  return at == end;
}

void Put(TBytes& out, std::uint64_t v, int count) {
  for (int i = count - 1; i >= 0; --i) out.push_back(std::uint8_t(v >> (8 * i)));
}
void PutType(TBytes& out, const std::string& type) {
  out.insert(out.end(), type.begin(), type.end());
}

// A box of that type around body; a full box when version is given.
TBytes Box(const char* type, const TBytes& body, int version = -1, std::uint32_t flags = 0) {
  TBytes out;
  Put(out, body.size() + 8 + (version >= 0 ? 4 : 0), 4);
  PutType(out, type);
  if (version >= 0) Put(out, std::uint32_t(version) << 24 | flags, 4);
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

struct TExtent {
  std::uint64_t offset = 0, length = 0;
};

// Each item's construction method (0 in the file, 1 in the idat) and extents.
using TLocations = std::map<std::uint32_t, std::pair<int, std::vector<TExtent>>>;

// The iinf box's body [at, end): each infe's item, its id and type.
bool ReadItemInfos(const TBytes& b, std::size_t at, std::size_t end, THeifItems& file) {
  TReader r(b, at, end);
  const int version = int(r.Be(4) >> 24);
  r.Be(version == 0 ? 2 : 4);
  if (r.Bad()) return false;
  return WalkBoxes(b, r.At(), end,
                   [&](const std::string& kind, std::size_t, std::size_t a, std::size_t e) {
                     if (kind != "infe") return true;
                     TReader infe(b, a, e);
                     const int v = int(infe.Be(4) >> 24);
                     if (v < 2) return false;
                     THeifItem item;
                     item.id = std::uint32_t(infe.Be(v == 2 ? 2 : 4));
                     infe.Be(2);
                     item.type = infe.Type();
                     file.items.push_back(std::move(item));
                     return !infe.Bad();
                   });
}

// The iref box's body: each grid's tiles (its dimg references); the other
// references are read past.
bool ReadReferences(const TBytes& b, std::size_t at, std::size_t end, THeifItems& file) {
  TReader r(b, at, end);
  const int idBytes = r.Be(4) >> 24 == 0 ? 2 : 4;
  if (r.Bad()) return false;
  return WalkBoxes(b, r.At(), end,
                   [&](const std::string& kind, std::size_t, std::size_t a, std::size_t e) {
                     TReader ref(b, a, e);
                     const auto from = std::uint32_t(ref.Be(idBytes));
                     std::vector<std::uint32_t> to(std::size_t(ref.Be(2)));
                     for (std::uint32_t& id : to) id = std::uint32_t(ref.Be(idBytes));
                     if (kind == "dimg") file.tiles.emplace_back(from, std::move(to));
                     return !ref.Bad();
                   });
}

// The iloc box's body: where each item's data lies.
bool ReadLocations(const TBytes& b, std::size_t at, std::size_t end, TLocations& locations) {
  TReader r(b, at, end);
  const int version = int(r.Be(4) >> 24);
  const int sizes = int(r.Be(2));
  const int offsetSize = sizes >> 12, lengthSize = sizes >> 8 & 15, baseSize = sizes >> 4 & 15,
            indexSize = version >= 1 ? sizes & 15 : 0;
  for (std::uint64_t n = r.Be(version < 2 ? 2 : 4); n > 0 && !r.Bad(); --n) {
    const auto id = std::uint32_t(r.Be(version < 2 ? 2 : 4));
    const int method = version >= 1 ? int(r.Be(2) & 15) : 0;
    r.Be(2);
    const std::uint64_t base = r.Be(baseSize);
    std::vector<TExtent> extents(std::size_t(r.Be(2)));
    for (TExtent& extent : extents) {
      r.Be(indexSize);
      extent.offset = base + r.Be(offsetSize);
      extent.length = r.Be(lengthSize);
    }
    locations[id] = {method, std::move(extents)};
  }
  return !r.Bad();
}

// The ipma box's body: the properties of each item read so far.
bool ReadAssociations(const TBytes& b, std::size_t at, std::size_t end, THeifItems& file) {
  TReader ipma(b, at, end);
  const std::uint32_t head = std::uint32_t(ipma.Be(4));
  const int idBytes = head >> 24 >= 1 ? 4 : 2, indexBytes = head & 1 ? 2 : 1;
  for (std::uint64_t n = ipma.Be(4); n > 0 && !ipma.Bad(); --n) {
    const auto id = std::uint32_t(ipma.Be(idBytes));
    std::vector<std::pair<std::uint16_t, bool>> associations(std::size_t(ipma.Be(1)));
    for (auto& [index, essential] : associations) {
      const std::uint64_t v = ipma.Be(indexBytes);
      essential = v >> (indexBytes * 8 - 1) != 0;
      index = std::uint16_t(v & (indexBytes == 2 ? 0x7fff : 0x7f));
    }
    for (THeifItem& item : file.items)
      if (item.id == id)
        item.properties.insert(item.properties.end(), associations.begin(), associations.end());
  }
  return !ipma.Bad();
}

// The ipco box's body: its property boxes, whole, in order.
bool ReadPropertyBoxes(const TBytes& b, std::size_t at, std::size_t end, THeifItems& file) {
  return WalkBoxes(
      b, at, end, [&](const std::string& type, std::size_t box, std::size_t, std::size_t boxEnd) {
        file.properties.push_back(
            {type, TBytes(b.begin() + std::ptrdiff_t(box), b.begin() + std::ptrdiff_t(boxEnd))});
        return true;
      });
}

// The iprp box [at, end): its ipco's properties and its ipma's associations.
bool ReadItemProperties(const TBytes& b, std::size_t at, std::size_t end, THeifItems& file) {
  return WalkBoxes(b, at, end,
                   [&](const std::string& inner, std::size_t, std::size_t a, std::size_t e) {
                     if (inner == "ipco") return ReadPropertyBoxes(b, a, e, file);
                     if (inner != "ipma") return true;
                     return ReadAssociations(b, a, e, file);
                   });
}

// Each located item's extents joined into its data, from the file or from the
// idat [idatAt, idatEnd); false when a method is another or an extent lies
// outside.
bool JoinItemData(const TBytes& b, const TLocations& locations, std::size_t idatAt,
                  std::size_t idatEnd, THeifItems& file) {
  for (THeifItem& item : file.items) {
    const auto found = locations.find(item.id);
    if (found == locations.end()) continue;
    const auto& [method, extents] = found->second;
    if (method > 1) return false;
    const std::size_t from = method == 1 ? idatAt : 0, end = method == 1 ? idatEnd : b.size();
    for (const TExtent& extent : extents) {
      const std::uint64_t length =
          extent.length == 0 ? end - from - std::min<std::uint64_t>(extent.offset, end - from)
                             : extent.length;
      if (extent.offset > end - from || length > end - from - extent.offset) return false;
      const auto at = b.begin() + std::ptrdiff_t(from + extent.offset);
      item.data.insert(item.data.end(), at, at + std::ptrdiff_t(length));
    }
  }
  return true;
}

}  // namespace

const THeifItem* THeifItems::Item(std::uint32_t id) const {
  for (const THeifItem& item : items)
    if (item.id == id) return &item;
  return nullptr;
}

const THeifProperty* THeifItems::Property(const THeifItem& item, const char* type) const {
  for (const auto& [index, essential] : item.properties)
    if (index >= 1 && index <= properties.size() && properties[index - 1].type == type)
      return &properties[index - 1];
  return nullptr;
}

std::optional<THeifItems> ReadHeifItems(const TBytes& b) {
  THeifItems file;
  std::size_t metaAt = 0, metaEnd = 0;
  WalkBoxes(b, 0, b.size(),
            [&](const std::string& type, std::size_t box, std::size_t at, std::size_t end) {
              if (type == "ftyp")
                file.ftyp.assign(b.begin() + std::ptrdiff_t(box), b.begin() + std::ptrdiff_t(end));
              if (type == "meta" && metaEnd == 0) metaAt = at + 4, metaEnd = end;
              return true;
            });
  if (metaEnd == 0 || file.ftyp.empty()) return std::nullopt;
  TLocations locations;
  std::size_t idatAt = 0, idatEnd = 0;
  bool sound =
      WalkBoxes(b, metaAt, metaEnd,
                [&](const std::string& type, std::size_t, std::size_t at, std::size_t end) {
                  TReader r(b, at, end);
                  if (type == "idat") idatAt = at, idatEnd = end;
                  if (type == "pitm")
                    file.primary = std::uint32_t(r.Be(4) >> 24 == 0 ? r.Be(2) : r.Be(4));
                  if (type == "iinf") return ReadItemInfos(b, at, end, file);
                  if (type == "iref") return ReadReferences(b, at, end, file);
                  if (type == "iloc") return ReadLocations(b, at, end, locations);
                  if (type == "iprp") return ReadItemProperties(b, at, end, file);
                  return !r.Bad();
                });
  if (!sound || !JoinItemData(b, locations, idatAt, idatEnd, file)) return std::nullopt;
  return file;
}

namespace {

// The number each item is written under (from 1, the primary first).
using TItemNumbers = std::map<std::uint32_t, std::uint16_t>;

// The items in the order they are written: the primary first.
std::vector<const THeifItem*> PrimaryFirst(const THeifItems& file) {
  std::vector<const THeifItem*> order;
  for (const THeifItem& item : file.items)
    if (item.id == file.primary) order.push_back(&item);
  for (const THeifItem& item : file.items)
    if (item.id != file.primary) order.push_back(&item);
  return order;
}

// The iinf, ipma and iloc bodies: each item's type, its properties and
// where its data lies, the first item's at dataAt and each next one's after it.
void PutItemEntries(const std::vector<const THeifItem*>& order, TItemNumbers& number,
                    std::uint64_t dataAt, TBytes& iinf, TBytes& ipma, TBytes& iloc) {
  Put(iinf, order.size(), 2);
  Put(ipma, order.size(), 4);
  iloc = {0x44, 0x00};
  Put(iloc, order.size(), 2);
  for (const THeifItem* item : order) {
    TBytes infe;
    Put(infe, number[item->id], 2);
    Put(infe, 0, 2);
    PutType(infe, item->type);
    infe.push_back(0);
    const TBytes box = Box("infe", infe, 2);
    iinf.insert(iinf.end(), box.begin(), box.end());
    Put(ipma, number[item->id], 2);
    Put(ipma, item->properties.size(), 1);
    for (const auto& [index, essential] : item->properties)
      Put(ipma, (essential ? 0x8000u : 0u) | index, 2);
    Put(iloc, number[item->id], 2);
    Put(iloc, 0, 2);
    Put(iloc, 1, 2);
    Put(iloc, dataAt, 4);
    Put(iloc, item->data.size(), 4);
    dataAt += item->data.size();
  }
}

// The iref body: a dimg box for each grid, its tiles in order.
TBytes GridReferences(const THeifItems& file, TItemNumbers& number) {
  TBytes iref;
  for (const auto& [grid, tiles] : file.tiles) {
    TBytes dimg;
    Put(dimg, number[grid], 2);
    Put(dimg, tiles.size(), 2);
    for (std::uint32_t tile : tiles) Put(dimg, number[tile], 2);
    const TBytes box = Box("dimg", dimg);
    iref.insert(iref.end(), box.begin(), box.end());
  }
  return iref;
}

// The meta box, the items' data placed from dataAt on.
TBytes MetaBox(const THeifItems& file, const std::vector<const THeifItem*>& order,
               TItemNumbers& number, std::uint64_t dataAt) {
  TBytes hdlr(4, 0), pitm, iinf, ipco, ipma, iloc;
  PutType(hdlr, "pict");
  hdlr.resize(hdlr.size() + 13, 0);
  Put(pitm, 1, 2);
  PutItemEntries(order, number, dataAt, iinf, ipma, iloc);
  const TBytes iref = GridReferences(file, number);
  for (const THeifProperty& property : file.properties)
    ipco.insert(ipco.end(), property.box.begin(), property.box.end());
  TBytes iprp = Box("ipco", ipco), body;
  const TBytes ipmaBox = Box("ipma", ipma, 0, 1);
  iprp.insert(iprp.end(), ipmaBox.begin(), ipmaBox.end());
  for (const TBytes& box : {Box("hdlr", hdlr, 0), Box("pitm", pitm, 0), Box("iinf", iinf, 0),
                            file.tiles.empty() ? TBytes() : Box("iref", iref, 0), Box("iprp", iprp),
                            Box("iloc", iloc, 0)})
    body.insert(body.end(), box.begin(), box.end());
  return Box("meta", body, 0);
}

}  // namespace

TBytes WriteHeif(const THeifItems& file) {
  // Numbers anew, the primary first.
  const std::vector<const THeifItem*> order = PrimaryFirst(file);
  TItemNumbers number;
  for (std::size_t i = 0; i < order.size(); ++i) number[order[i]->id] = std::uint16_t(i + 1);

  const std::size_t metaBytes = MetaBox(file, order, number, 0).size();
  TBytes out = file.ftyp;
  const TBytes metaBox = MetaBox(file, order, number, out.size() + metaBytes + 8);
  out.insert(out.end(), metaBox.begin(), metaBox.end());
  std::uint64_t dataBytes = 0;
  for (const THeifItem* item : order) dataBytes += item->data.size();
  Put(out, dataBytes + 8, 4);
  PutType(out, "mdat");
  for (const THeifItem* item : order) out.insert(out.end(), item->data.begin(), item->data.end());
  return out;
}

std::optional<THeifGridLayout> ReadGridLayout(const TBytes& data) {
  TReader r(data, 0, data.size());
  if (r.Be(1) != 0) return std::nullopt;
  const int fieldBytes = r.Be(1) & 1 ? 4 : 2;
  THeifGridLayout layout;
  layout.rows = int(r.Be(1)) + 1;
  layout.columns = int(r.Be(1)) + 1;
  layout.width = std::uint32_t(r.Be(fieldBytes));
  layout.height = std::uint32_t(r.Be(fieldBytes));
  if (r.Bad()) return std::nullopt;
  return layout;
}

TBytes GridData(const THeifGridLayout& layout) {
  const bool wide = layout.width > 0xffff || layout.height > 0xffff;
  TBytes data = {0, std::uint8_t(wide ? 1 : 0), std::uint8_t(layout.rows - 1),
                 std::uint8_t(layout.columns - 1)};
  Put(data, layout.width, wide ? 4 : 2);
  Put(data, layout.height, wide ? 4 : 2);
  return data;
}

TBytes PropertyBox(const char* type, const TBytes& body) { return Box(type, body); }

TBytes IspeBody(std::uint32_t width, std::uint32_t height) {
  TBytes body(4, 0);
  Put(body, width, 4);
  Put(body, height, 4);
  return body;
}

// Where an upright picture's pixel (u, v) lies in the stored one:
// x = a u + b v + c, y = d u + e v + f, each of a, b, d, e 0, 1 or -1.
struct TUprightMap {
  std::int64_t a = 1, b = 0, c = 0, d = 0, e = 1, f = 0;
  std::uint64_t width = 0, height = 0;  // upright

  // Then the picture so far is turned or mirrored: (u, v) of the new one is
  // (pa u + pb v + pc, pd u + pe v + pf) of the one before.
  void Then(std::int64_t pa, std::int64_t pb, std::int64_t pc, std::int64_t pd, std::int64_t pe,
            std::int64_t pf, bool swaps) {
    *this = {a * pa + b * pd, a * pb + b * pe,     a * pc + b * pf + c,    d * pa + e * pd,
             d * pb + e * pe, d * pc + e * pf + f, swaps ? height : width, swaps ? width : height};
  }
  // irot: quarter turns anticlockwise.
  void Rotate(int quarters) {
    const std::int64_t w = std::int64_t(width), h = std::int64_t(height);
    if (quarters == 1) Then(0, -1, w - 1, 1, 0, 0, true);
    if (quarters == 2) Then(-1, 0, w - 1, 0, -1, h - 1, false);
    if (quarters == 3) Then(0, 1, 0, -1, 0, h - 1, true);
  }
  // imir: about a vertical axis (left and right change places) or a
  // horizontal one.
  void Mirror(bool verticalAxis) {
    if (verticalAxis)
      Then(-1, 0, std::int64_t(width) - 1, 0, 1, 0, false);
    else
      Then(1, 0, 0, 0, -1, std::int64_t(height) - 1, false);
  }
};

struct THeifGridPlan {
  THeifItems file;
  const THeifItem* grid = nullptr;
  THeifGridLayout layout;
  std::uint32_t tileWidth = 0, tileHeight = 0;
  std::vector<std::uint32_t> tiles;
  std::vector<std::pair<std::uint16_t, bool>> stripProperties;  // the grid's kept for each strip
  TUprightMap map;
  bool columns = false;  // strips are columns of tiles

  int Strips() const { return columns ? layout.columns : layout.rows; }
};

bool& HeifWholeGridHook() {
  static bool whole = false;
  return whole;
}

std::shared_ptr<const THeifGridPlan> PlanHeifGrid(const TBytes& bytes) {
  if (HeifWholeGridHook()) return nullptr;
  auto plan = std::make_shared<THeifGridPlan>();
  std::optional<THeifItems> read = ReadHeifItems(bytes);
  if (!read) return nullptr;
  plan->file = std::move(*read);
  const THeifItems& file = plan->file;
  plan->grid = file.Item(file.primary);
  if (!plan->grid || plan->grid->type != "grid") return nullptr;
  const auto layout = ReadGridLayout(plan->grid->data);
  if (!layout || layout->width == 0 || layout->height == 0) return nullptr;
  plan->layout = *layout;
  for (const auto& [grid, tiles] : file.tiles)
    if (grid == file.primary) plan->tiles.insert(plan->tiles.end(), tiles.begin(), tiles.end());
  if (plan->tiles.size() != std::size_t(layout->rows) * std::size_t(layout->columns))
    return nullptr;
  plan->map.width = layout->width;
  plan->map.height = layout->height;
  for (const auto& [index, essential] : plan->grid->properties) {
    if (index < 1 || index > file.properties.size()) return nullptr;
    const THeifProperty& property = file.properties[index - 1u];
    const std::vector<std::uint8_t>& box = property.box;
    if (property.type == "irot" && box.size() >= 9)
      plan->map.Rotate(box[8] & 3);
    else if (property.type == "imir" && box.size() >= 9)  // its axis as libheif reads it
      plan->map.Mirror((box[8] & 1) != 0);
    else if (property.type == "colr" || property.type == "pixi" || property.type == "clli" ||
             property.type == "mdcv")
      plan->stripProperties.push_back({index, essential});
    else if (property.type != "ispe")
      return nullptr;
  }
  for (std::uint32_t id : plan->tiles) {
    const THeifItem* tile = file.Item(id);
    const THeifProperty* ispe = tile ? file.Property(*tile, "ispe") : nullptr;
    if (!ispe || ispe->box.size() < 20 || (tile->type != "hvc1" && tile->type != "av01"))
      return nullptr;
    for (const char* turn : {"irot", "imir", "clap"})
      if (file.Property(*tile, turn)) return nullptr;
    TReader r(ispe->box, 12, 20);
    const auto width = std::uint32_t(r.Be(4)), height = std::uint32_t(r.Be(4));
    if (id == plan->tiles[0]) plan->tileWidth = width, plan->tileHeight = height;
    if (width != plan->tileWidth || height != plan->tileHeight) return nullptr;
  }
  const std::uint64_t tw = plan->tileWidth, th = plan->tileHeight;
  if (tw == 0 || th == 0 || tw * std::uint64_t(layout->columns) < layout->width ||
      tw * std::uint64_t(layout->columns - 1) >= layout->width ||
      th * std::uint64_t(layout->rows) < layout->height ||
      th * std::uint64_t(layout->rows - 1) >= layout->height)
    return nullptr;
  plan->columns = plan->map.b != 0;
  return plan;
}

THeifGridSize GridSize(const THeifGridPlan& plan) {
  const std::uint64_t strip = plan.columns ? std::uint64_t(plan.tileWidth) * plan.layout.height
                                           : std::uint64_t(plan.tileHeight) * plan.layout.width;
  return {plan.map.width, plan.map.height, strip};
}

TBytes WriteHeifGrid(const std::vector<TBytes>& tileFiles, int columns, std::uint32_t width,
                     std::uint32_t height, const std::vector<THeifProperty>& gridProperties) {
  THeifItems grid;
  grid.properties.push_back({"ispe", PropertyBox("ispe", IspeBody(width, height))});
  THeifItem gridItem{1, "grid", {{1, false}}, {}};
  std::vector<std::uint32_t> tiles;
  for (const THeifProperty& property : gridProperties) {
    grid.properties.push_back(property);
    gridItem.properties.push_back({std::uint16_t(grid.properties.size()), true});
  }
  for (const TBytes& bytes : tileFiles) {
    const auto tile = ReadHeifItems(bytes);
    const THeifItem* image = tile ? tile->Item(tile->primary) : nullptr;
    if (!image) return {};
    if (grid.ftyp.empty()) grid.ftyp = tile->ftyp;
    THeifItem item{std::uint32_t(grid.items.size() + 2), image->type, {}, image->data};
    for (const auto& [index, essential] : image->properties) {
      if (index < 1 || index > tile->properties.size()) return {};
      grid.properties.push_back(tile->properties[index - 1u]);
      item.properties.push_back({std::uint16_t(grid.properties.size()), essential});
    }
    tiles.push_back(item.id);
    grid.items.push_back(std::move(item));
  }
  const int rows = int((tileFiles.size() + std::size_t(columns) - 1) / std::size_t(columns));
  gridItem.data = GridData({rows, columns, width, height});
  grid.items.insert(grid.items.begin(), std::move(gridItem));
  grid.primary = 1;
  grid.tiles.emplace_back(1, std::move(tiles));
  return WriteHeif(grid);
}

#ifdef VIZUVOD_HEIF

namespace {

// One strip of tiles decoded, in the stored picture's orientation, and the
// upright rows whose pixels lie in it.
struct TStrip {
  std::vector<std::uint8_t> stored;  // blue, green, red
  std::size_t stride = 0;
  std::int64_t x = 0, y = 0;  // its place in the stored picture
  int start = 0, end = 0;     // the upright rows
};

// The k-th strip's size, a grid of one row (or column) of tiles, cut to the
// picture; its place in the stored picture goes to strip.
THeifGridLayout StripLayout(const THeifGridPlan& p, int k, TStrip& strip) {
  const THeifGridLayout& l = p.layout;
  THeifGridLayout layout{p.columns ? l.rows : 1, p.columns ? 1 : l.columns, 0, 0};
  strip.x = p.columns ? std::int64_t(k) * p.tileWidth : 0;
  strip.y = p.columns ? 0 : std::int64_t(k) * p.tileHeight;
  layout.width =
      p.columns ? std::min<std::uint32_t>(p.tileWidth, l.width - std::uint32_t(strip.x)) : l.width;
  layout.height = p.columns
                      ? l.height
                      : std::min<std::uint32_t>(p.tileHeight, l.height - std::uint32_t(strip.y));
  return layout;
}

// A file of the k-th strip alone: a grid of that layout over the same coded
// tiles, with the grid's properties kept for each strip.
TBytes StripFile(const THeifGridPlan& p, int k, const THeifGridLayout& layout) {
  const THeifGridLayout& l = p.layout;
  THeifItems file;
  file.ftyp = p.file.ftyp;
  file.properties = p.file.properties;
  file.properties.push_back({"ispe", PropertyBox("ispe", IspeBody(layout.width, layout.height))});
  THeifItem grid{p.grid->id, "grid", p.stripProperties, GridData(layout)};
  grid.properties.push_back({std::uint16_t(file.properties.size()), false});
  file.primary = grid.id;
  file.items.push_back(std::move(grid));
  std::vector<std::uint32_t> tiles;
  for (int i = 0; i < (p.columns ? l.rows : l.columns); ++i) {
    const std::uint32_t id =
        p.tiles[std::size_t(p.columns ? i * l.columns + k : k * l.columns + i)];
    file.items.push_back(*p.file.Item(id));
    tiles.push_back(id);
  }
  file.tiles.emplace_back(file.primary, std::move(tiles));
  return WriteHeif(file);
}

// Decodes a strip's file with libheif into strip's stored pixels, which must
// be width x height.
void DecodeStripPixels(const TBytes& bytes, int width, int height, bool oneThread, TStrip& strip) {
  std::unique_ptr<heif_context, TContextFree> context(heif_context_alloc());
  if (!context) throw EOutOfResources();
  CheckHeif(heif_context_read_from_memory_without_copy(context.get(), bytes.data(), bytes.size(),
                                                       nullptr));
  if (oneThread) heif_context_set_max_decoding_threads(context.get(), 0);
  heif_image_handle* h = nullptr;
  CheckHeif(heif_context_get_primary_image_handle(context.get(), &h));
  std::unique_ptr<heif_image_handle, THandleFree> handle(h);
  const bool deep = heif_image_handle_get_luma_bits_per_pixel(handle.get()) > 8;
  std::unique_ptr<heif_decoding_options, TOptionsFree> options(heif_decoding_options_alloc());
  if (!options) throw EOutOfResources();
  options->convert_hdr_to_8bit = 0;
  heif_image* decoded = nullptr;
  CheckHeif(heif_decode_image(
      handle.get(), &decoded, heif_colorspace_RGB,
      deep ? heif_chroma_interleaved_RRGGBB_BE : heif_chroma_interleaved_RGB, options.get()));
  std::unique_ptr<heif_image, TImageFree> image(decoded);
  int stride = 0;
  const std::uint8_t* samples =
      heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
  const int bits = heif_image_get_bits_per_pixel_range(image.get(), heif_channel_interleaved);
  if (!samples || heif_image_get_width(image.get(), heif_channel_interleaved) != width ||
      heif_image_get_height(image.get(), heif_channel_interleaved) != height ||
      (deep ? bits <= 8 || bits > 16 : bits != 8))
    throw EPhotoData("HEIF", "a row of the grid's tiles is not the size its layout gives");
  strip.stride = std::size_t(width) * 3;
  strip.stored.resize(strip.stride * std::size_t(height));
  for (int y = 0; y < height; ++y)
    SamplesToBgr(samples + std::size_t(stride) * std::size_t(y), 3, bits, width,
                 strip.stored.data() + strip.stride * std::size_t(y));
}

// Decodes the n-th strip in the upright rows' order.
TStrip DecodeStrip(const THeifGridPlan& p, int n, bool oneThread) {
  const int k = (p.columns ? p.map.b : p.map.e) > 0 ? n : p.Strips() - 1 - n;
  TStrip strip;
  const THeifGridLayout layout = StripLayout(p, k, strip);
  const TBytes bytes = StripFile(p, k, layout);
  const int width = int(layout.width), height = int(layout.height);
  DecodeStripPixels(bytes, width, height, oneThread, strip);
  // The upright rows whose pixels lie in it: between those of its first and
  // last stored row (or column).
  const TUprightMap& m = p.map;
  const std::int64_t first = p.columns ? strip.x : strip.y,
                     last = first + (p.columns ? width : height) - 1;
  const std::int64_t scale = p.columns ? m.b : m.e, offset = p.columns ? m.c : m.f;
  strip.start = int(std::min((first - offset) / scale, (last - offset) / scale));
  strip.end = int(std::max((first - offset) / scale, (last - offset) / scale)) + 1;
  return strip;
}

class TGridRows : public TRowSource {
 public:
  TGridRows(std::shared_ptr<const THeifGridPlan> plan, bool oneThread)
      : plan_(std::move(plan)), oneThread_(oneThread) {}
  ~TGridRows() override {
    if (ahead_.valid()) ahead_.wait();
  }
  int Width() const override { return int(plan_->map.width); }
  int Height() const override { return int(plan_->map.height); }
  const std::uint8_t* Row(int y) override {
    while (y >= strip_.end) Next();
    const bool straight = plan_->map.a == 1 && plan_->map.c == 0 && plan_->map.e == 1;
    if (straight) return strip_.stored.data() + std::size_t(y - strip_.start) * strip_.stride;
    // Gathered from the stored strip: the row's first pixel, then a step
    // along a stored row or column for each next one.
    const TUprightMap& m = plan_->map;
    row_.resize(std::size_t(Width()) * 3);
    const std::int64_t x = m.b * y + m.c - strip_.x, v = m.e * y + m.f - strip_.y;
    const std::int64_t step = m.a * 3 + m.d * std::int64_t(strip_.stride);
    std::int64_t at = v * std::int64_t(strip_.stride) + x * 3;
    std::uint8_t* to = row_.data();
    for (int u = 0; u < Width(); ++u, at += step, to += 3) {
      const std::uint8_t* from = strip_.stored.data() + at;
      to[0] = from[0], to[1] = from[1], to[2] = from[2];
    }
    return row_.data();
  }
  // The strips left are decoded too: a tile that fails, fails the photo as
  // it does decoded whole.
  void Finish() override {
    while (strip_.end < Height()) Next();
  }

 private:
  // The next strip; with threads to spare, the one after it is decoded
  // meanwhile on a thread of its own.
  void Next() {
    const int strips = plan_->Strips();
    if (next_ >= strips) throw EPhotoData("HEIF", "the grid's tiles end before its picture");
    strip_ = ahead_.valid() ? ahead_.get() : DecodeStrip(*plan_, next_, oneThread_);
    ++next_;
    if (!oneThread_ && next_ < strips)
      ahead_ = std::async(std::launch::async,
                          [plan = plan_, n = next_] { return DecodeStrip(*plan, n, false); });
  }

  std::shared_ptr<const THeifGridPlan> plan_;
  bool oneThread_;
  int next_ = 0;  // strips decoded
  TStrip strip_;
  std::future<TStrip> ahead_;
  std::vector<std::uint8_t> row_;
};

}  // namespace

std::unique_ptr<TRowSource> HeifGridRows(std::shared_ptr<const THeifGridPlan> plan,
                                         bool oneThread) {
  return std::make_unique<TGridRows>(std::move(plan), oneThread);
}

#endif

}  // namespace vizuvod
