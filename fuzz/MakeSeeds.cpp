// Writes the fuzz seed corpus: sound files of every flavour and damaged
// copies of them (see JpegCraft.h), each with the three trailing bytes the
// fuzz target reads as its resize choice, once per kind of resize.
#include <cstdio>
#include <filesystem>
#include <string>

#include "JpegCraft.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <seed folder>\n", argv[0]);
    return 2;
  }
  const std::filesystem::path dir = argv[1];
  std::filesystem::create_directories(dir);
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
