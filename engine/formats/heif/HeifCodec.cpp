// The HEIF decoder (HEIC and AVIF alike), over libheif on the file's bytes in
// memory: the primary image, grids put together, turned and mirrored by
// libheif as the file's own rotation and mirror say, so the pixels come
// upright; of an image sequence, its still primary image, with a note.
// libheif's own security limits stay on; the shared budgets are checked from
// the header first. Built without libheif (VIZUVOD_HEIF off), such a file is
// refused with a reason that says so.
#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

#include "colour/Colour.h"
#include "core/Errors.h"
#include "core/RowSource.h"
#include "formats/DecodeLimits.h"
#include "formats/PictureDecoder.h"
#include "formats/heif/HeifGrid.h"

#ifdef VIZUVOD_HEIF
#include "formats/heif/HeifLibrary.h"
#endif

namespace vizuvod {

#ifdef VIZUVOD_HEIF

namespace {

bool HasBrand(const std::vector<std::uint8_t>& b, const char* brand) {
  return heif_has_compatible_brand(b.data(), int(std::min<std::size_t>(b.size(), 1 << 16)),
                                   brand) == 1;
}

// `count` bytes of b from at, high byte first.
std::uint64_t Be(const std::vector<std::uint8_t>& b, std::size_t at, int count) {
  std::uint64_t v = 0;
  for (int i = 0; i < count; ++i) v = v << 8 | b[at + std::size_t(i)];
  return v;
}

// The ISO BMFF boxes of bytes [at, end): calls take(type, body, bodyEnd) for
// each whole box; a box running past end ends the walk.
template <class Take>
void WalkBoxes(const std::vector<std::uint8_t>& b, std::size_t at, std::size_t end, Take take) {
  while (at + 8 <= end) {
    std::uint64_t size = Be(b, at, 4);
    std::size_t body = at + 8;
    if (size == 1) {
      if (body + 8 > end) return;
      size = Be(b, body, 8);
      body += 8;
    } else if (size == 0) {
      size = end - at;
    }
    if (size < body - at || size > end - at) return;
    take(std::string(reinterpret_cast<const char*>(&b[at + 4]), 4), body, at + size);
    at += size;
  }
}

// What libheif 1.15 does not tell of the primary item before decoding it.
struct TPrimaryItem {
  // Its own rotation (irot) is a quarter or three quarters of a turn:
  // libheif turns such a picture, yet reports the unturned size when the
  // item lists its rotation before its size.
  bool swapsSides = false;
  std::uint64_t tiles = 0;  // of a grid (its dimg references)
};

TPrimaryItem ReadPrimaryItem(const std::vector<std::uint8_t>& b) {
  TPrimaryItem primaryItem;
  std::size_t metaAt = 0, metaEnd = 0;
  WalkBoxes(b, 0, b.size(), [&](const std::string& type, std::size_t at, std::size_t end) {
    if (type == "meta" && end >= at + 4) metaAt = at + 4, metaEnd = end;
  });
  std::uint64_t primary = 0;
  std::vector<std::size_t> rotations;  // of ipco's properties: irot's byte, or 0
  std::size_t ipmaAt = 0, ipmaEnd = 0;
  std::vector<std::pair<std::uint64_t, std::uint64_t>> grids;  // item, tiles
  WalkBoxes(b, metaAt, metaEnd, [&](const std::string& type, std::size_t at, std::size_t end) {
    const int idBytes = at < end && b[at] == 0 ? 2 : 4;
    if (type == "pitm" && end >= at + 4 + idBytes) primary = Be(b, at + 4, idBytes);
    if (type == "iref")
      WalkBoxes(b, at + 4, end, [&](const std::string& kind, std::size_t a, std::size_t e) {
        if (kind == "dimg" && e >= a + idBytes + 2)
          grids.emplace_back(Be(b, a, idBytes), Be(b, a + idBytes, 2));
      });
    if (type != "iprp") return;
    WalkBoxes(b, at, end, [&](const std::string& inner, std::size_t a, std::size_t e) {
      if (inner == "ipco")
        WalkBoxes(b, a, e, [&](const std::string& property, std::size_t pa, std::size_t pe) {
          rotations.push_back(property == "irot" && pe > pa ? pa : 0);
        });
      if (inner == "ipma") ipmaAt = a, ipmaEnd = e;
    });
  });
  for (const auto& [item, tiles] : grids)
    if (item == primary) primaryItem.tiles += tiles;
  if (ipmaEnd < ipmaAt + 8) return primaryItem;
  const int idBytes = b[ipmaAt] >= 1 ? 4 : 2, indexBytes = b[ipmaAt + 3] & 1 ? 2 : 1;
  std::size_t at = ipmaAt + 8;
  for (std::uint64_t n = Be(b, ipmaAt + 4, 4); n > 0; --n) {
    if (at + idBytes + 1 > ipmaEnd) break;
    const std::uint64_t item = Be(b, at, idBytes);
    const int count = b[at + idBytes];
    at += idBytes + 1;
    for (int i = 0; i < count; ++i, at += indexBytes) {
      if (at + indexBytes > ipmaEnd) return primaryItem;
      const std::size_t index = Be(b, at, indexBytes) & (indexBytes == 2 ? 0x7fff : 0x7f);
      if (item == primary && index >= 1 && index <= rotations.size() && rotations[index - 1])
        primaryItem.swapsSides = (b[rotations[index - 1]] & 3) % 2 == 1;
    }
  }
  return primaryItem;
}

// What each coded image item of a HEIF holds, told by the codec's own
// headers rather than by its ispe property, which a file may fill with any
// size: an AV1 sequence header (in av1C, or at the start of the item's data)
// gives the largest frame, an HEVC sequence parameter set (in hvcC) the
// coded picture. A coded picture larger than its ispe by more than the
// codec's padding, or larger than a photo may be, is refused before
// anything is decoded; libheif would otherwise decode it whole first.

// Bits high first; reading past the end gives zeros and sets Over().
class TBits {
 public:
  TBits(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint64_t Read(int n) {
    std::uint64_t v = 0;
    for (int i = 0; i < n; ++i, ++at_) {
      const std::size_t byte = at_ >> 3;
      over_ = over_ || byte >= size_;
      v = v << 1 | (byte < size_ ? (data_[byte] >> (7 - (at_ & 7))) & 1u : 0u);
    }
    return v;
  }
  // Exp-Golomb (HEVC's ue(v)) and AV1's uvlc() have one form.
  std::uint64_t Golomb() {
    int zeros = 0;
    while (!over_ && zeros < 32 && Read(1) == 0) ++zeros;
    return zeros >= 32 ? ~std::uint64_t(0) : (std::uint64_t(1) << zeros) - 1 + Read(zeros);
  }
  bool Over() const { return over_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_, at_ = 0;
  bool over_ = false;
};

struct TCodedSize {
  std::uint64_t width = 0, height = 0;  // 0: not told
};

// The largest frame of an AV1 sequence header OBU among OBUs [at, end).
TCodedSize Av1CodedSize(const std::vector<std::uint8_t>& b, std::size_t at, std::size_t end) {
  while (at < end) {
    const std::uint8_t header = b[at++];
    const int type = header >> 3 & 15;
    if (header & 4) ++at;  // extension
    std::uint64_t size = end - std::min(at, end);
    if (header & 2) {
      size = 0;
      for (int i = 0; i < 8 && at < end; ++i) {
        size |= std::uint64_t(b[at] & 0x7f) << (7 * i);
        if (!(b[at++] & 0x80)) break;
      }
    }
    if (at >= end || size > end - at) return {};
    if (type == 1) {
      TBits bits(&b[at], std::size_t(size));
      bits.Read(3);  // seq_profile
      bits.Read(1);  // still_picture
      if (bits.Read(1)) {
        bits.Read(5);  // reduced_still_picture_header: seq_level_idx
      } else {
        bool decoderModel = false;
        int bufferDelayBits = 0;
        if (bits.Read(1)) {  // timing_info_present_flag
          bits.Read(32), bits.Read(32);
          if (bits.Read(1)) bits.Golomb();  // equal_picture_interval
          decoderModel = bits.Read(1) != 0;
          if (decoderModel) {
            bufferDelayBits = int(bits.Read(5)) + 1;
            bits.Read(32), bits.Read(5), bits.Read(5);
          }
        }
        const bool displayDelay = bits.Read(1) != 0;
        for (std::uint64_t n = bits.Read(5) + 1; n > 0 && !bits.Over(); --n) {
          bits.Read(12);  // operating_point_idc
          if (bits.Read(5) > 7) bits.Read(1);
          if (decoderModel && bits.Read(1))
            bits.Read(bufferDelayBits), bits.Read(bufferDelayBits), bits.Read(1);
          if (displayDelay && bits.Read(1)) bits.Read(4);
        }
      }
      const int widthBits = int(bits.Read(4)) + 1, heightBits = int(bits.Read(4)) + 1;
      TCodedSize coded{bits.Read(widthBits) + 1, 0};
      coded.height = bits.Read(heightBits) + 1;
      return bits.Over() ? TCodedSize{} : coded;
    }
    at += std::size_t(size);
  }
  return {};
}

// The coded picture of the sequence parameter set in an hvcC body.
TCodedSize HevcCodedSize(const std::vector<std::uint8_t>& b, std::size_t at, std::size_t end) {
  if (end < at + 23) return {};
  std::size_t p = at + 23;
  for (int arrays = b[at + 22]; arrays > 0 && p + 3 <= end; --arrays) {
    const int type = b[p] & 0x3f;
    std::size_t count = std::size_t(Be(b, p + 1, 2));
    p += 3;
    for (; count > 0 && p + 2 <= end; --count) {
      const std::size_t length = std::size_t(Be(b, p, 2));
      p += 2;
      if (length > end - p) return {};
      if (type == 33 && length > 2) {
        // The NAL unit without its header and emulation prevention bytes.
        std::vector<std::uint8_t> rbsp;
        for (std::size_t i = p + 2, zeros = 0; i < p + length; ++i) {
          if (zeros >= 2 && b[i] == 3) {
            zeros = 0;
            continue;
          }
          zeros = b[i] == 0 ? zeros + 1 : 0;
          rbsp.push_back(b[i]);
        }
        TBits bits(rbsp.data(), rbsp.size());
        bits.Read(4);
        const int subLayers = int(bits.Read(3));
        bits.Read(1);
        bits.Read(96);  // profile_tier_level's general part
        int profiles = 0, levels = 0;
        for (int i = 0; i < subLayers; ++i)
          profiles += int(bits.Read(1)), levels += int(bits.Read(1));
        if (subLayers > 0) bits.Read(2 * (8 - subLayers));
        bits.Read(88 * profiles), bits.Read(8 * levels);
        bits.Golomb();  // sps_seq_parameter_set_id
        if (bits.Golomb() == 3) bits.Read(1);
        TCodedSize coded{bits.Golomb(), 0};
        coded.height = bits.Golomb();
        return bits.Over() ? TCodedSize{} : coded;
      }
      p += length;
    }
  }
  return {};
}

// The bytes [from, to) where an item's data starts (its first extent, in
// the file or in idat), from iloc's body; empty when not told.
std::pair<std::size_t, std::size_t> ItemStart(const std::vector<std::uint8_t>& b, std::size_t at,
                                              std::size_t end, std::uint64_t wanted,
                                              std::size_t idat) {
  if (end < at + 6) return {0, 0};
  const int version = b[at], offsetBytes = b[at + 4] >> 4, lengthBytes = b[at + 4] & 15,
            baseBytes = b[at + 5] >> 4, indexBytes = version >= 1 ? b[at + 5] & 15 : 0;
  const int idBytes = version < 2 ? 2 : 4;
  std::size_t p = at + 6;
  if (p + idBytes > end) return {0, 0};
  std::uint64_t items = Be(b, p, idBytes);
  p += std::size_t(idBytes);
  for (; items > 0; --items) {
    if (p + std::size_t(idBytes) + (version >= 1 ? 6 : 4) + std::size_t(baseBytes) > end)
      return {0, 0};
    const std::uint64_t item = Be(b, p, idBytes);
    p += std::size_t(idBytes);
    int method = 0;
    if (version >= 1) method = b[p + 1] & 15, p += 2;
    p += 2;  // data_reference_index
    const std::uint64_t base = Be(b, p, baseBytes);
    p += std::size_t(baseBytes);
    if (p + 2 > end) return {0, 0};
    std::uint64_t extents = Be(b, p, 2);
    p += 2;
    const std::size_t extentBytes = std::size_t(indexBytes + offsetBytes + lengthBytes);
    if (extents > (end - p) / std::max<std::size_t>(extentBytes, 1)) return {0, 0};
    if (item == wanted && extents > 0 && method <= 1) {
      const std::uint64_t from =
          (method == 1 ? idat : 0) + base + Be(b, p + std::size_t(indexBytes), offsetBytes);
      const std::uint64_t length = Be(b, p + std::size_t(indexBytes + offsetBytes), lengthBytes);
      if (from >= b.size()) return {0, 0};
      return {std::size_t(from), std::size_t(std::min<std::uint64_t>(
                                     length == 0 ? b.size() - from : length, b.size() - from))};
    }
    p += std::size_t(extents) * extentBytes;
  }
  return {0, 0};
}

void CheckCodedSizes(const std::vector<std::uint8_t>& b) {
  std::size_t metaAt = 0, metaEnd = 0;
  WalkBoxes(b, 0, b.size(), [&](const std::string& type, std::size_t at, std::size_t end) {
    if (type == "meta" && end >= at + 4 && metaEnd == 0) metaAt = at + 4, metaEnd = end;
  });
  struct TProperty {
    std::string type;
    std::size_t at = 0, end = 0;
  };
  std::vector<TProperty> properties;
  std::size_t ilocAt = 0, ilocEnd = 0, ipmaAt = 0, ipmaEnd = 0, idat = 0;
  WalkBoxes(b, metaAt, metaEnd, [&](const std::string& type, std::size_t at, std::size_t end) {
    if (type == "iloc") ilocAt = at, ilocEnd = end;
    if (type == "idat") idat = at;
    if (type != "iprp") return;
    WalkBoxes(b, at, end, [&](const std::string& inner, std::size_t a, std::size_t e) {
      if (inner == "ipco")
        WalkBoxes(b, a, e, [&](const std::string& property, std::size_t pa, std::size_t pe) {
          properties.push_back({property, pa, pe});
        });
      if (inner == "ipma" && ipmaEnd == 0) ipmaAt = a, ipmaEnd = e;
    });
  });
  if (ipmaEnd < ipmaAt + 8) return;
  const int idBytes = b[ipmaAt] >= 1 ? 4 : 2, indexBytes = b[ipmaAt + 3] & 1 ? 2 : 1;
  std::size_t at = ipmaAt + 8;
  for (std::uint64_t n = Be(b, ipmaAt + 4, 4); n > 0; --n) {
    if (at + std::size_t(idBytes) + 1 > ipmaEnd) return;
    const std::uint64_t item = Be(b, at, idBytes);
    const int count = b[at + std::size_t(idBytes)];
    at += std::size_t(idBytes) + 1;
    if (at + std::size_t(count * indexBytes) > ipmaEnd) return;
    TCodedSize ispe, coded;
    for (int i = 0; i < count; ++i, at += std::size_t(indexBytes)) {
      const std::size_t index = Be(b, at, indexBytes) & (indexBytes == 2 ? 0x7fff : 0x7f);
      if (index < 1 || index > properties.size()) continue;
      const TProperty& p = properties[index - 1];
      if (p.type == "ispe" && p.end >= p.at + 12) ispe = {Be(b, p.at + 4, 4), Be(b, p.at + 8, 4)};
      if (p.type == "hvcC") coded = HevcCodedSize(b, p.at, p.end);
      if (p.type == "av1C") {
        coded = Av1CodedSize(b, std::min(p.at + 4, p.end), p.end);
        if (coded.width == 0 && ilocEnd > ilocAt) {
          const auto [from, length] = ItemStart(b, ilocAt, ilocEnd, item, idat);
          coded = Av1CodedSize(b, from, from + std::min<std::size_t>(length, 1 << 16));
        }
      }
    }
    if (coded.width == 0 || coded.height == 0) continue;
    // HEVC pads its coded picture to whole coding blocks (up to 64).
    constexpr std::uint64_t Padding = 64;
    if (coded.width * coded.height > MaxDecodedPixels ||
        (ispe.width > 0 &&
         (coded.width > ispe.width + Padding || coded.height > ispe.height + Padding)))
      throw EPhotoData("HEIF", "image item " + std::to_string(item) + " is coded as a " +
                                   PictureSizeText(coded.width, coded.height) +
                                   " picture, while its header says " +
                                   PictureSizeText(ispe.width, ispe.height));
  }
}

// A grid's tiles each cost libheif an item to read and a decoder's start: a
// grid of more than MaxGridTiles is refused before libheif reads the file
// (5000 take it half a second), and one of more than a tile for each 64 x 64
// pixels of its picture before any tile is decoded. A 2^28-pixel picture in
// 512 x 512 tiles has 1024.
constexpr std::uint64_t MaxGridTiles = 1024;

class THeifDecoder : public TPictureDecoder {
 public:
  THeifDecoder(const std::string& path, bool oneThread)
      : TPictureDecoder(path), oneThread_(oneThread) {
    const TPrimaryItem item = ReadPrimaryItem(bytes_);
    CheckCodedSizes(bytes_);
    if (item.tiles > MaxGridTiles)
      throw EPhotoData("HEIF", "a grid of " + std::to_string(item.tiles) +
                                   " tiles has more than the " + std::to_string(MaxGridTiles) +
                                   " a photo may have");
    Open();
    if (oneThread) heif_context_set_max_decoding_threads(context_.get(), 0);
    std::uint64_t width = std::uint64_t(std::max(0, heif_image_handle_get_width(handle_.get())));
    std::uint64_t height = std::uint64_t(std::max(0, heif_image_handle_get_height(handle_.get())));
    if (int(width) == heif_image_handle_get_ispe_width(handle_.get()) &&
        int(height) == heif_image_handle_get_ispe_height(handle_.get()) && item.swapsSides)
      std::swap(width, height);
    if (width == 0 || height == 0) throw EPhotoData("HEIF", "the primary image has no size");
    // libheif holds the coded planes (and alpha) and the interleaved samples
    // it turns them into, both at up to 4 samples a pixel, 2 bytes a sample
    // past 8 bits.
    const int bits = heif_image_handle_get_luma_bits_per_pixel(handle_.get());
    const std::uint64_t perSample = bits > 8 ? 2 : 1;
    // A grid without alpha is decoded a strip of tiles at a time
    // (HeifGrid.h): the same, strip by strip, plus the strip's pixels held.
    if (item.tiles > 0 && !heif_image_handle_has_alpha_channel(handle_.get()))
      grid_ = PlanHeifGrid(bytes_);
    const THeifGridSize strips = grid_ ? GridSize(*grid_) : THeifGridSize{};
    if (strips.width != width || strips.height != height) grid_.reset();
    // Two strips at a time when the next is decoded beside the rows of one.
    TakeSize("HEIF", width, height,
             grid_ ? strips.stripPixels * (perSample * 8 + 6) * (oneThread ? 1 : 2)
                   : width * height * perSample * 8);
    if (item.tiles > width * height / 4096 + 1)
      throw EPhotoData("HEIF", "a " + PictureSizeText(width, height) + " grid of " +
                                   std::to_string(item.tiles) + " tiles has more than the " +
                                   std::to_string(width * height / 4096 + 1) +
                                   " a picture of its size may have");
    if (HasBrand(bytes_, "msf1") || HasBrand(bytes_, "avis"))
      frameNote_ = "an image sequence: only its first frame is resized";
  }

  // libheif applies the file's rotation and mirror; an EXIF orientation
  // inside describes the same turn and is not applied again.
  bool Upright() const override { return true; }

  bool StreamsRows() const override { return grid_ != nullptr; }
  std::unique_ptr<TRowSource> Rows() override {
    return grid_ ? HeifGridRows(grid_, oneThread_) : TPictureDecoder::Rows();
  }

  bool HighDynamicRange() const override {
    heif_color_profile_nclx* nclx = nullptr;
    if (heif_image_handle_get_color_profile_type(handle_.get()) != heif_color_profile_type_nclx ||
        heif_image_handle_get_nclx_color_profile(handle_.get(), &nclx).code != heif_error_Ok ||
        !nclx)
      return false;
    const int transfer = int(nclx->transfer_characteristics);
    heif_nclx_color_profile_free(nclx);
    return transfer == 16 || transfer == 18;
  }

  // Colours told by numbers (nclx) in place of an ICC profile.
  std::vector<std::uint8_t> CodedColourProfile() const override {
    if (heif_image_handle_get_color_profile_type(handle_.get()) != heif_color_profile_type_nclx)
      return {};
    heif_color_profile_nclx* nclx = nullptr;
    if (heif_image_handle_get_nclx_color_profile(handle_.get(), &nclx).code != heif_error_Ok ||
        !nclx)
      return {};
    const TCodedColours colours{{nclx->color_primary_red_x, nclx->color_primary_red_y},
                                {nclx->color_primary_green_x, nclx->color_primary_green_y},
                                {nclx->color_primary_blue_x, nclx->color_primary_blue_y},
                                {nclx->color_primary_white_x, nclx->color_primary_white_y},
                                int(nclx->transfer_characteristics)};
    heif_nclx_color_profile_free(nclx);
    return ProfileOfCodedColours(colours);
  }

 private:
  void Open() {
    context_.reset(heif_context_alloc());
    if (!context_) throw EOutOfResources();
    CheckHeif(heif_context_read_from_memory_without_copy(context_.get(), bytes_.data(),
                                                         bytes_.size(), nullptr));
    heif_image_handle* handle = nullptr;
    CheckHeif(heif_context_get_primary_image_handle(context_.get(), &handle));
    handle_.reset(handle);
  }

  void Decode(TBitmap& picture) override {
    if (grid_) {
      const auto rows = HeifGridRows(grid_, oneThread_);
      for (int y = 0; y < Height(); ++y)
        std::memcpy(picture.ScanLine(y), rows->Row(y), std::size_t(Width()) * 3);
      rows->Finish();
      return;
    }
    const bool alpha = heif_image_handle_has_alpha_channel(handle_.get()) != 0;
    const bool deep = heif_image_handle_get_luma_bits_per_pixel(handle_.get()) > 8;
    const heif_chroma chroma =
        alpha ? (deep ? heif_chroma_interleaved_RRGGBBAA_BE : heif_chroma_interleaved_RGBA)
              : (deep ? heif_chroma_interleaved_RRGGBB_BE : heif_chroma_interleaved_RGB);
    std::unique_ptr<heif_decoding_options, TOptionsFree> options(heif_decoding_options_alloc());
    if (!options) throw EOutOfResources();
    options->convert_hdr_to_8bit = 0;
    heif_image* decoded = nullptr;
    CheckHeif(
        heif_decode_image(handle_.get(), &decoded, heif_colorspace_RGB, chroma, options.get()));
    std::unique_ptr<heif_image, TImageFree> image(decoded);
    int stride = 0;
    const std::uint8_t* samples =
        heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    const int bits = heif_image_get_bits_per_pixel_range(image.get(), heif_channel_interleaved);
    if (!samples || heif_image_get_width(image.get(), heif_channel_interleaved) != Width() ||
        heif_image_get_height(image.get(), heif_channel_interleaved) != Height() ||
        (deep ? bits <= 8 || bits > 16 : bits != 8))
      throw EPhotoData("HEIF",
                       "the decoded picture is not the header's " +
                           PictureSizeText(std::uint64_t(Width()), std::uint64_t(Height())));
    for (int y = 0; y < Height(); ++y)
      SamplesToBgr(samples + std::size_t(stride) * std::size_t(y), alpha ? 4 : 3, bits, Width(),
                   picture.ScanLine(y));
  }

  std::unique_ptr<heif_context, TContextFree> context_;
  std::unique_ptr<heif_image_handle, THandleFree> handle_;
  bool oneThread_ = false;
  std::shared_ptr<const THeifGridPlan> grid_;  // when decoded by strips of tiles
};

}  // namespace

std::unique_ptr<TPhotoDecoder> OpenHeifDecoder(const std::string& path, bool oneThread) {
  return std::make_unique<THeifDecoder>(path, oneThread);
}

bool IsHeifBytes(const std::uint8_t* bytes, std::size_t size) {
  return heif_check_filetype(bytes, int(std::min<std::size_t>(size, 1 << 16))) != heif_filetype_no;
}

#else

std::unique_ptr<TPhotoDecoder> OpenHeifDecoder(const std::string&, bool) {
  throw EPhotoData("HEIF", "this build of Fotrix Vizuvod reads no HEIF or AVIF photos");
}

bool IsHeifBytes(const std::uint8_t*, std::size_t) { return true; }

#endif

}  // namespace vizuvod
