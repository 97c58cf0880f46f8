// Makes JPEG files of every flavour the tool may meet, and damages them, so
// the reliability tests and the fuzz seed corpus need no sample files.
// Encoding goes straight through libjpeg (not the engine's codec) because the
// engine only ever writes baseline or progressive 4:2:0 YCbCr; CMYK, YCCK,
// arithmetic coding, restart markers and odd samplings come from here.
#pragma once

#include <algorithm>
#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace craft {

using Bytes = std::vector<std::uint8_t>;

struct Options {
  int width = 16;
  int height = 16;
  // JCS_RGB (written as YCbCr), JCS_GRAYSCALE, JCS_CMYK (written as CMYK, or
  // YCCK when ycck is set).
  J_COLOR_SPACE input = JCS_RGB;
  bool ycck = false;
  bool writeRgb = false;  // store RGB components instead of YCbCr
  bool progressive = false;
  bool arithmetic = false;
  bool optimize = false;
  int restartRows = 0;
  int lumaH = 2, lumaV = 2;  // sampling of the first component
  int quality = 75;
  bool flat = false;  // one grey all over: the smallest entropy data there is
};

namespace detail {
struct ErrorJump {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};
[[noreturn]] inline void ErrorExit(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<ErrorJump*>(cinfo->err)->jump, 1);
}
inline void Silent(j_common_ptr, int) {}
inline void SilentOutput(j_common_ptr) {}

// A smooth pattern with some edges, so the entropy data is not trivial.
inline std::uint8_t Sample(int x, int y, int c) {
  return std::uint8_t((x * 7 + y * 13 + c * 61 + ((x / 4 + y / 4) % 2) * 90) & 0xFF);
}
}  // namespace detail

// A complete file, or empty when libjpeg refused the options.
inline Bytes Encode(const Options& o) {
  jpeg_compress_struct cinfo{};
  detail::ErrorJump err{};
  cinfo.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = detail::ErrorExit;
  err.pub.emit_message = detail::Silent;
  err.pub.output_message = detail::SilentOutput;
  unsigned char* out = nullptr;
  unsigned long outSize = 0;
  const int components = o.input == JCS_GRAYSCALE ? 1 : o.input == JCS_CMYK ? 4 : 3;
  std::vector<JSAMPLE> row(std::size_t(o.width) * components);
  if (setjmp(err.jump)) {
    jpeg_destroy_compress(&cinfo);
    std::free(out);
    return {};
  }
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, &out, &outSize);
  cinfo.image_width = JDIMENSION(o.width);
  cinfo.image_height = JDIMENSION(o.height);
  cinfo.input_components = components;
  cinfo.in_color_space = o.input;
  jpeg_set_defaults(&cinfo);
  if (o.input == JCS_CMYK) jpeg_set_colorspace(&cinfo, o.ycck ? JCS_YCCK : JCS_CMYK);
  if (o.input == JCS_RGB && o.writeRgb) jpeg_set_colorspace(&cinfo, JCS_RGB);
  jpeg_set_quality(&cinfo, o.quality, TRUE);
  cinfo.comp_info[0].h_samp_factor = o.lumaH;
  cinfo.comp_info[0].v_samp_factor = o.lumaV;
  cinfo.arith_code = o.arithmetic ? TRUE : FALSE;
  cinfo.optimize_coding = o.optimize ? TRUE : FALSE;
  cinfo.restart_in_rows = o.restartRows;
  if (o.progressive) jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    const int y = int(cinfo.next_scanline);
    for (int x = 0; x < o.width; ++x)
      for (int c = 0; c < components; ++c)
        row[std::size_t(x) * components + c] = o.flat ? 128 : detail::Sample(x, y, c);
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  Bytes bytes(out, out + outSize);
  std::free(out);
  return bytes;
}

// Offset of the first 0xFF <marker> pair at or after `from`, or npos.
inline std::size_t FindMarker(const Bytes& b, std::uint8_t marker, std::size_t from = 0) {
  for (std::size_t i = from; i + 1 < b.size(); ++i)
    if (b[i] == 0xFF && b[i + 1] == marker) return i;
  return std::string::npos;
}

// Offset of the frame header marker (any SOFn), or npos.
inline std::size_t FindFrame(const Bytes& b) {
  for (std::size_t i = 2; i + 3 < b.size();) {
    if (b[i] != 0xFF) return std::string::npos;
    const std::uint8_t m = b[i + 1];
    if (m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC) return i;
    i += 2 + (std::size_t(b[i + 2]) << 8 | b[i + 3]);
  }
  return std::string::npos;
}

// Offsets of the first byte of entropy-coded data after each SOS header.
inline std::vector<std::size_t> ScanStarts(const Bytes& b) {
  std::vector<std::size_t> starts;
  for (std::size_t at = FindMarker(b, 0xDA); at != std::string::npos;
       at = FindMarker(b, 0xDA, at + 2)) {
    if (at + 3 >= b.size()) break;
    starts.push_back(at + 2 + (std::size_t(b[at + 2]) << 8 | b[at + 3]));
  }
  return starts;
}

// The frame header rewritten: its marker (0xC0 baseline, 0xC1 extended,
// 0xC2 progressive, 0xC3 lossless, 0xC9 arithmetic...), precision and size.
inline Bytes WithFrame(Bytes b, int marker = -1, int precision = -1, int width = -1,
                       int height = -1) {
  const std::size_t f = FindFrame(b);
  if (f == std::string::npos || f + 9 > b.size()) return b;
  if (marker >= 0) b[f + 1] = std::uint8_t(marker);
  if (precision >= 0) b[f + 4] = std::uint8_t(precision);
  if (height >= 0) b[f + 5] = std::uint8_t(height >> 8), b[f + 6] = std::uint8_t(height);
  if (width >= 0) b[f + 7] = std::uint8_t(width >> 8), b[f + 8] = std::uint8_t(width);
  return b;
}

// The file with its last scan repeated `times` more times before the end
// marker: a few bytes each, yet each makes the decoder pass over the whole
// picture once more.
inline Bytes WithRepeatedLastScan(const Bytes& b, int times) {
  const auto starts = ScanStarts(b);
  if (starts.size() < 2 || b.size() < 2) return b;
  const std::size_t lastSos = FindMarker(b, 0xDA, starts[starts.size() - 2]);
  const std::size_t end = b.size() - 2;  // the end-of-image marker
  Bytes out(b.begin(), b.begin() + std::ptrdiff_t(end));
  for (int i = 0; i < times; ++i)
    out.insert(out.end(), b.begin() + std::ptrdiff_t(lastSos), b.begin() + std::ptrdiff_t(end));
  out.push_back(0xFF);
  out.push_back(0xD9);
  return out;
}

// The file with `extra` put just before its end marker (the last two bytes).
inline Bytes BeforeEnd(const Bytes& b, const Bytes& extra) {
  Bytes out(b.begin(), b.end() - 2);
  out.insert(out.end(), extra.begin(), extra.end());
  out.insert(out.end(), b.end() - 2, b.end());
  return out;
}

// The frame header segment (marker to its last byte), for copying elsewhere.
inline Bytes FrameSegment(const Bytes& b) {
  const std::size_t f = FindFrame(b);
  if (f == std::string::npos) return {};
  return Bytes(b.begin() + std::ptrdiff_t(f),
               b.begin() + std::ptrdiff_t(f + 2 + (std::size_t(b[f + 2]) << 8 | b[f + 3])));
}

inline Bytes Truncated(Bytes b, std::size_t keep) {
  b.resize(std::min(keep, b.size()));
  return b;
}

// Overwrites entropy-coded bytes of the first scan with a pseudo-random
// pattern (no 0xFF, so no marker is forged), `count` bytes from `offset`
// into the data.
inline Bytes CorruptEntropy(Bytes b, std::size_t offset, std::size_t count, unsigned seed = 1) {
  const auto starts = ScanStarts(b);
  if (starts.empty()) return b;
  const std::size_t end = std::min(b.size() - 2, starts[0] + offset + count);
  for (std::size_t i = starts[0] + offset; i < end; ++i) {
    seed = seed * 1103515245u + 12345u;
    b[i] = std::uint8_t((seed >> 16) % 0xFF);
  }
  return b;
}

inline void WriteFile(const std::string& path, const Bytes& b) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}

inline Bytes ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

}  // namespace craft

namespace craft {

struct Sample {
  std::string name;
  Bytes bytes;
};

// Sound files of every flavour, then damaged copies of them. Used as the
// fuzz seed corpus and by the damaged-photo tests.
inline std::vector<Sample> Catalogue() {
  std::vector<Sample> out;
  auto add = [&](std::string name, Bytes b) {
    if (!b.empty() || name == "zero-bytes") out.push_back({std::move(name), std::move(b)});
  };
  Options base;
  base.width = 40, base.height = 24;
  const Bytes baseline = Encode(base);
  Options o = base;
  o.progressive = true;
  const Bytes progressive = Encode(o);
  add("baseline-420", baseline);
  add("progressive", progressive);
  o = base, o.lumaH = 1, o.lumaV = 1, add("baseline-444", Encode(o));
  o = base, o.lumaH = 2, o.lumaV = 1, add("baseline-422", Encode(o));
  o = base, o.lumaH = 1, o.lumaV = 2, add("baseline-440", Encode(o));
  o = base, o.input = JCS_GRAYSCALE, o.lumaH = 1, o.lumaV = 1, add("grayscale", Encode(o));
  o.progressive = true, add("grayscale-progressive", Encode(o));
  o = base, o.input = JCS_CMYK, o.lumaH = 1, o.lumaV = 1, add("cmyk", Encode(o));
  o.ycck = true, add("ycck", Encode(o));
  o = base, o.writeRgb = true, o.lumaH = 1, o.lumaV = 1, add("rgb-components", Encode(o));
  o = base, o.arithmetic = true, add("arithmetic", Encode(o));
  o.progressive = true, add("arithmetic-progressive", Encode(o));
  o = base, o.restartRows = 1, add("restart-markers", Encode(o));
  o = base, o.optimize = true, add("optimized-huffman", Encode(o));
  o = base, o.width = 1, o.height = 1, add("one-pixel", Encode(o));
  o = base, o.width = 300, o.height = 1, add("one-row", Encode(o));
  o = base, o.width = 1, o.height = 300, add("one-column", Encode(o));

  // Refused flavours: the library handles 8-bit DCT files only.
  add("sof3-lossless", WithFrame(baseline, 0xC3));
  add("sof9-arithmetic-flag-on-huffman-data", WithFrame(baseline, 0xC9));
  add("precision-12", WithFrame(baseline, 0xC1, 12));
  add("precision-16", WithFrame(baseline, 0xC1, 16));
  // Decompression bombs: tiny files whose header claims a huge picture.
  add("bomb-65000-baseline", WithFrame(baseline, -1, -1, 65000, 65000));
  add("bomb-65000-progressive", WithFrame(progressive, -1, -1, 65000, 65000));
  add("wide-65500x1", WithFrame(baseline, -1, -1, 65500, 1));
  add("zero-width", WithFrame(baseline, -1, -1, 0, 24));
  add("zero-height", WithFrame(baseline, -1, -1, 40, 0));

  // Damage of sound files.
  add("zero-bytes", {});
  add("soi-only", Truncated(baseline, 2));
  add("header-cut", Truncated(baseline, baseline.size() / 8));
  const auto scans = ScanStarts(baseline);
  if (!scans.empty()) {
    const std::size_t data = baseline.size() - 2 - scans[0];
    add("cut-before-data", Truncated(baseline, scans[0]));
    add("cut-mid-data", Truncated(baseline, scans[0] + data / 2));
    add("no-eoi", Truncated(baseline, baseline.size() - 2));
    add("corrupt-entropy", CorruptEntropy(baseline, data / 4, data / 4));
  }
  const auto pscans = ScanStarts(progressive);
  if (pscans.size() >= 4) {
    add("progressive-cut-in-scan-3", Truncated(progressive, pscans[2] + 3));
    add("progressive-cut-in-dc-scan", Truncated(progressive, pscans[0] + 2));
  }
  add("progressive-600-scans", WithRepeatedLastScan(progressive, 600));
  add("text", Bytes{'T', 'h', 'i', 's', ' ', 'i', 's', ' ', 'n', 'o',
                    't', ' ', 'a', ' ', 'p', 'h', 'o', 't', 'o', '\n'});
  add("png-signature",
      Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'});
  Bytes noTables = baseline;
  if (std::size_t dht = FindMarker(noTables, 0xC4); dht != std::string::npos)
    noTables[dht + 1] = 0xFE;  // DHT -> COM
  add("missing-huffman-tables", noTables);
  Bytes noQuant = baseline;
  if (std::size_t dqt = FindMarker(noQuant, 0xDB); dqt != std::string::npos)
    noQuant[dqt + 1] = 0xFE;
  add("missing-quant-tables", noQuant);
  return out;
}

}  // namespace craft
