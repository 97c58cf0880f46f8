// make_grid_heic: a HEIC grid as a phone makes one, for the benchmarks: a
// photo scaled up to width x height and coded as tiles of `tile` pixels a
// side by libheif's HEVC encoder, the photo's ICC profile on the grid.
//
//   make_grid_heic PHOTO OUT.heic WIDTH HEIGHT [TILE [QUALITY]]
//
// The 200 MP phone photo: make_grid_heic photo.heic big.heic 12240 16320 512
#include <libheif/heif.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "core/TestSeams.h"
#include "formats/Formats.h"
#include "formats/PhotoCodec.h"
#include "formats/heif/HeifGrid.h"

using namespace vizuvod;
using Bytes = std::vector<std::uint8_t>;

namespace {

heif_error Append(heif_context*, const void* data, size_t size, void* to) {
  auto* b = static_cast<const std::uint8_t*>(data);
  static_cast<Bytes*>(to)->insert(static_cast<Bytes*>(to)->end(), b, b + size);
  return {heif_error_Ok, heif_suberror_Unspecified, ""};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: %s PHOTO OUT.heic WIDTH HEIGHT [TILE [QUALITY]]\n", argv[0]);
    return 2;
  }
  const int width = std::atoi(argv[3]), height = std::atoi(argv[4]);
  const int tile = argc > 5 ? std::atoi(argv[5]) : 512,
            quality = argc > 6 ? std::atoi(argv[6]) : 40;
  auto decoder = OpenDecoder(argv[1], true);
  const Bytes icc = decoder->Metadata().IccProfile();
  const TBitmap photo = decoder->Picture();
  const int columns = (width + tile - 1) / tile, rows = (height + tile - 1) / tile;
  std::vector<Bytes> tiles;
  for (int ty = 0; ty < rows; ++ty)
    for (int tx = 0; tx < columns; ++tx) {
      heif_context* context = heif_context_alloc();
      heif_encoder* encoder = nullptr;
      heif_image* image = nullptr;
      if (heif_context_get_encoder_for_format(context, heif_compression_HEVC, &encoder).code ||
          heif_image_create(tile, tile, heif_colorspace_RGB, heif_chroma_interleaved_RGB, &image)
              .code ||
          heif_image_add_plane(image, heif_channel_interleaved, tile, tile, 8).code) {
        std::fprintf(stderr, "libheif has no HEVC encoder\n");
        return 1;
      }
      int stride = 0;
      std::uint8_t* p = heif_image_get_plane(image, heif_channel_interleaved, &stride);
      for (int y = 0; y < tile; ++y) {  // nearest pixel of the photo
        const int sy = std::min(ty * tile + y, height - 1) * photo.Height() / height;
        const std::uint8_t* from = photo.ScanLine(sy);
        for (int x = 0; x < tile; ++x) {
          const int sx = std::min(tx * tile + x, width - 1) * photo.Width() / width;
          for (int c = 0; c < 3; ++c) p[y * stride + 3 * x + c] = from[3 * sx + 2 - c];
        }
      }
      heif_encoder_set_lossy_quality(encoder, quality);
      Bytes file;
      heif_writer writer{1, Append};
      if (heif_context_encode_image(context, image, encoder, nullptr, nullptr).code ||
          heif_context_write(context, &writer, &file).code) {
        std::fprintf(stderr, "a tile could not be encoded\n");
        return 1;
      }
      tiles.push_back(std::move(file));
      heif_image_release(image);
      heif_encoder_release(encoder);
      heif_context_free(context);
    }
  std::vector<THeifProperty> properties;
  if (!icc.empty()) {
    Bytes body(icc.size() + 4);
    std::copy(icc.begin(), icc.end(), std::copy_n("prof", 4, body.begin()));
    properties.push_back({"colr", PropertyBox("colr", body)});
  }
  const Bytes grid =
      WriteHeifGrid(tiles, columns, std::uint32_t(width), std::uint32_t(height), properties);
  std::ofstream(argv[2], std::ios::binary)
      .write(reinterpret_cast<const char*>(grid.data()), std::streamsize(grid.size()));
  std::printf("%s: %d x %d, %d tiles of %d, %zu bytes\n", argv[2], width, height, columns * rows,
              tile, grid.size());
  return grid.empty() ? 1 : 0;
}
