// Writes the fuzz seed corpus: sound files of every flavour and damaged
// copies of them (see JpegCraft.h), each with the three trailing bytes the
// fuzz target reads as its resize choice, once per kind of resize.
#include <cstdio>
#include <filesystem>
#include <string>

#include <png.h>
#include <webp/encode.h>

#include <vector>

#include "JpegCraft.h"

namespace {

// Small sound pictures of the other formats, each kind the decoders take
// apart differently: the formats target mutates them.
int WriteFormatSeeds(const std::filesystem::path& dir) {
  int written = 0;
  // PNG: colour type, bit depth.
  const int kinds[][2] = {{PNG_COLOR_TYPE_RGB, 8},
                          {PNG_COLOR_TYPE_RGB_ALPHA, 16},
                          {PNG_COLOR_TYPE_GRAY, 8},
                          {PNG_COLOR_TYPE_GRAY_ALPHA, 8},
                          {PNG_COLOR_TYPE_PALETTE, 4}};
  for (const auto& [type, depth] : kinds) {
    const std::string name = (dir / ("png-" + std::to_string(written))).string();
    std::FILE* f = std::fopen(name.c_str(), "wb");
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, f);
    png_set_IHDR(png, info, 7, 5, depth, type, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_color palette[16];
    for (int i = 0; i < 16; ++i)
      palette[i] = {png_byte(i * 16), png_byte(255 - i * 16), png_byte(i * 40 % 256)};
    if (type == PNG_COLOR_TYPE_PALETTE) png_set_PLTE(png, info, palette, 16);
    png_write_info(png, info);
    std::vector<png_byte> row(png_get_rowbytes(png, info));
    for (int y = 0; y < 5; ++y) {
      for (std::size_t x = 0; x < row.size(); ++x) row[x] = png_byte(x * 37 + y * 11);
      png_write_row(png, row.data());
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
    ++written;
  }
  // WebP: lossy colour, lossless with alpha.
  std::vector<std::uint8_t> pixels(9 * 6 * 4);
  for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = std::uint8_t(i * 13);
  for (int lossless = 0; lossless < 2; ++lossless) {
    std::uint8_t* out = nullptr;
    const std::size_t size = lossless ? WebPEncodeLosslessRGBA(pixels.data(), 9, 6, 36, &out)
                                      : WebPEncodeRGB(pixels.data(), 9, 6, 27, 80, &out);
    craft::WriteFile((dir / ("webp-" + std::to_string(lossless))).string(),
                     craft::Bytes(out, out + size));
    WebPFree(out);
    ++written;
  }
  return written;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && !(argc == 3 && std::string(argv[2]) == "formats")) {
    std::fprintf(stderr, "usage: %s <seed folder> [formats]\n", argv[0]);
    return 2;
  }
  const std::filesystem::path dir = argv[1];
  std::filesystem::create_directories(dir);
  if (argc == 3) {
    std::printf("%d seeds in %s\n", WriteFormatSeeds(dir), dir.c_str());
    return 0;
  }
  // shrink; enlarge by percent; enlarge to a width; enlarge to a height;
  // shrink from an 8-bit palette decode at half scale; grey, fast transform
  const std::uint8_t knobs[][3] = {{1, 7, 5}, {2, 50, 0},         {4, 9, 0},
                                   {0, 9, 0}, {1 | 8 | 64, 3, 3}, {2 | 16 | 32, 20, 0}};
  int written = 0;
  for (const auto& sample : craft::Catalogue()) {
    for (std::size_t k = 0; k < std::size(knobs); ++k) {
      craft::Bytes b = sample.bytes;
      b.insert(b.end(), knobs[k], knobs[k] + 3);
      craft::WriteFile((dir / (sample.name + "-" + std::to_string(k))).string(), b);
      ++written;
    }
  }
  std::printf("%d seeds in %s\n", written, dir.c_str());
  return 0;
}
