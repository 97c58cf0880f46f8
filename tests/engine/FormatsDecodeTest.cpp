// PNG and WebP photos decoded to the blue-green-red rows every format gives,
// crafted here with the libraries' own writers.
#include <gtest/gtest.h>
#include <png.h>
#include <webp/encode.h>
#include <zlib.h>
#ifdef VIZUVOD_HEIF
#include <libheif/heif.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "TestSupport.h"
#include "core/Errors.h"
#include "core/TestSeams.h"
#include "formats/Formats.h"
#include "formats/PhotoCodec.h"
#include "formats/heif/HeifGrid.h"
#include "photo/BatchRun.h"
#include "photo/PhotoStep.h"

using namespace vizuvod;
using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

namespace {

void Save(const std::string& path, const Bytes& b) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), b.size());
}

// A PNG of the rows in `row`, repeated to `height` (none: its header alone);
// palette entries as red, green, blue.
void WritePng(const std::string& path, int width, int height, int type, int depth, Bytes row,
              bool interlaced = false, const Bytes& palette = {}, const Bytes& alphas = {}) {
  FILE* f = std::fopen(path.c_str(), "wb");
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, f);
  png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), depth, type,
               interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, 0, 0);
  if (!palette.empty())
    png_set_PLTE(png, info, reinterpret_cast<png_const_colorp>(palette.data()),
                 int(palette.size() / 3));
  if (!alphas.empty()) png_set_tRNS(png, info, alphas.data(), int(alphas.size()), nullptr);
  png_write_info(png, info);
  const int passes = interlaced ? png_set_interlace_handling(png) : 1;
  const std::size_t stride = png_get_rowbytes(png, info);
  for (int y = 0; y < passes * height && !row.empty(); ++y)
    png_write_row(png, row.data() + (y % height * stride) % row.size());
  if (!row.empty()) png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  std::fclose(f);
}

// A PNG chunk.
std::string Chunk(const char* type, const std::string& body) {
  const std::size_t n = body.size();
  std::string c = std::string{char(n >> 24), char(n >> 16), char(n >> 8), char(n)} + type + body;
  const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(c.data() + 4), uInt(c.size() - 4));
  return c + std::string{char(crc >> 24), char(crc >> 16), char(crc >> 8), char(crc)};
}

// A 16 x 16 PNG whose one zlib stream inflates to `inflated` zero bytes:
// the picture needs 784 of them, a bomb gigabytes.
std::string PngInflatingTo(std::size_t inflated) {
  std::string deflated(compressBound(uLong(1) << 20) * (inflated >> 20) + 1024, '\0');
  z_stream z{};
  deflateInit(&z, 9);
  const std::string zeros(std::size_t(1) << 20, '\0');
  z.next_out = reinterpret_cast<Bytef*>(deflated.data());
  z.avail_out = uInt(deflated.size());
  for (std::size_t left = inflated; left > 0;) {
    const std::size_t n = std::min(left, zeros.size());
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zeros.data()));
    z.avail_in = uInt(n);
    deflate(&z, Z_NO_FLUSH);
    left -= n;
  }
  deflate(&z, Z_FINISH);
  deflated.resize(z.total_out);
  deflateEnd(&z);
  const std::string header("\0\0\0\x10\0\0\0\x10\x08\x02\0\0\0", 13);
  return "\x89PNG\r\n\x1a\n" + Chunk("IHDR", header) + Chunk("IDAT", deflated) + Chunk("IEND", "");
}

// What a libwebp encoder gave, freed.
Bytes Encoded(std::size_t size, std::uint8_t*& out) {
  Bytes b(out, out + size);
  WebPFree(out);
  return b;
}

// An ISO BMFF box; a full box's version and flags lead its body.
std::string Box(const char* type, const std::string& body, const std::string& full = "") {
  const std::size_t n = 8 + full.size() + body.size();
  return std::string{char(n >> 24), char(n >> 16), char(n >> 8), char(n)} + type + full + body;
}
std::string U16(unsigned v) { return {char(v >> 8), char(v)}; }
// A HEIC meta box whose primary item is a side x side grid of `tiles`
// tiles (50 a row), which hold no data.
std::string GridMeta(unsigned side, unsigned tiles) {
  const std::string v0(4, '\0'), v2("\2\0\0\0", 4);
  std::string items = Box("infe", U16(1) + U16(0) + "grid" + '\0', v2), refs = U16(1) + U16(tiles),
              sizes = U16(0) + U16(tiles + 1) + U16(1) + "\1\x81";  // each item's ispe
  std::string locs;  // every item's data: the grid's 8 bytes, in idat
  for (unsigned i = 1; i < tiles + 2; ++i) {
    locs += U16(i) + U16(1) + U16(0) + U16(1) + v0 + U16(0) + U16(8);
    if (i == 1) continue;
    items += Box("infe", U16(i) + U16(0) + "hvc1" + '\0', v2), refs += U16(i);
    sizes += U16(i) + "\2\x81\x82";  // and an empty hvcC
  }
  return Box("meta",
             Box("hdlr", v0 + "pict" + std::string(13, '\0'), v0) + Box("pitm", U16(1), v0) +
                 Box("iloc", std::string("\x44\0", 2) + U16(tiles + 1) + locs,
                     std::string("\1\0\0\0", 4)) +
                 Box("idat", std::string(2, '\0') + char(tiles / 50 - 1) + char(49) + U16(side) +
                                 U16(side)) +
                 Box("iinf", U16(tiles + 1) + items, v0) + Box("iref", Box("dimg", refs), v0) +
                 Box("iprp", Box("ipco", Box("ispe", U16(0) + U16(side) + U16(0) + U16(side), v0) +
                                             Box("hvcC", std::string(22, '\1') + '\0')) +
                                 Box("ipma", sizes, v0)),
             v0);
}

Bytes PictureBytes(const std::string& path, bool oneThread = false) {
  TBitmap picture = OpenDecoder(path, true, oneThread)->Picture();
  Bytes out;
  TPictureRows rows(picture);
  for (int y = 0; y < picture.Height(); ++y)
    out.insert(out.end(), rows.Row(y), rows.Row(y) + 3 * picture.Width());
  return out;
}

#ifdef VIZUVOD_HEIF
// A HEIF of one w x h picture of flowing colours, coded by libheif's AV1
// encoder (its HEVC one, x265, leaks what the sanitizers report); empty
// when libheif has none.
Bytes CodedTile(int w, int h, int seed) {
  heif_context* context = heif_context_alloc();
  heif_encoder* encoder = nullptr;
  heif_image* image = nullptr;
  Bytes file;
  if (heif_context_get_encoder_for_format(context, heif_compression_AV1, &encoder).code == 0 &&
      heif_image_create(w, h, heif_colorspace_RGB, heif_chroma_interleaved_RGB, &image).code == 0 &&
      heif_image_add_plane(image, heif_channel_interleaved, w, h, 8).code == 0) {
    int stride = 0;
    std::uint8_t* p = heif_image_get_plane(image, heif_channel_interleaved, &stride);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < 3 * w; ++x)
        p[y * stride + x] = std::uint8_t(x * (seed + 1) + y * 5 + seed * 40);
    heif_encoder_set_lossy_quality(encoder, 60);
    heif_writer writer{1, [](heif_context*, const void* data, size_t size, void* to) {
                         auto* b = static_cast<const std::uint8_t*>(data);
                         static_cast<Bytes*>(to)->insert(static_cast<Bytes*>(to)->end(), b,
                                                         b + size);
                         return heif_error{heif_error_Ok, heif_suberror_Unspecified, ""};
                       }};
    if (heif_context_encode_image(context, image, encoder, nullptr, nullptr).code == 0)
      heif_context_write(context, &writer, &file);
  }
  if (image) heif_image_release(image);
  if (encoder) heif_encoder_release(encoder);
  heif_context_free(context);
  return file;
}
#endif

}  // namespace

TEST(FormatsDecodeTest, PngSamplesBecomeBlueGreenRed) {
  const struct {
    const char* what;
    int type, depth;
    Bytes row, bgr;  // one row of two pixels, and what it gives
    bool interlaced = false;
    Bytes palette = {}, alphas = {};
  } cases[] = {
      {"rgb 8", PNG_COLOR_TYPE_RGB, 8, {10, 20, 30, 200, 100, 50}, {30, 20, 10, 50, 100, 200}},
      {"rgb 8 interlaced", 2, 8, {10, 20, 30, 200, 100, 50}, {30, 20, 10, 50, 100, 200}, true},
      // 32768 -> 128, 19789 -> 77, 128 -> 0, 129 -> 1: (v 255 + max / 2) / max.
      {"rgb 16", 2, 16, {128, 0, 77, 77, 255, 255, 0, 0, 0, 128, 0, 129}, {255, 77, 128, 1, 0, 0}},
      {"grey 8", PNG_COLOR_TYPE_GRAY, 8, {7, 250}, {7, 7, 7, 250, 250, 250}},
      {"grey 2", 0, 2, {0x70}, {85, 85, 85, 255, 255, 255}},
      {"grey alpha over white", 4, 8, {100, 0, 0, 128}, {255, 255, 255, 127, 127, 127}},
      {"rgba 8", 6, 8, {200, 100, 0, 255, 0, 0, 0, 0}, {0, 100, 200, 255, 255, 255}},
      {"rgba 16",
       6,
       16,
       {0, 0, 0, 0, 0, 0, 128, 0, 255, 255, 0, 0, 0, 0, 255, 255},
       {127, 127, 127, 0, 0, 255}},
      {"palette, one entry clear",
       3,
       8,
       {0, 1},
       {0, 0, 255, 255, 255, 255},
       false,
       {255, 0, 0, 0, 0, 255},
       {255, 0}},
  };
  TempDir dir;
  for (const auto& c : cases) {
    WritePng(dir / "p.png", 2, 1, c.type, c.depth, c.row, c.interlaced, c.palette, c.alphas);
    EXPECT_EQ(PictureBytes(dir / "p.png"), c.bgr) << c.what;
  }
}

TEST(FormatsDecodeTest, WebpLosslessExactLossyClose) {
  TempDir dir;
  const Bytes rgba = {200, 100, 50, 255, 0, 0, 0, 0, 10, 20, 30, 255, 0, 0, 255, 128};
  std::uint8_t* out = nullptr;
  Save(dir / "l.webp", Encoded(WebPEncodeLosslessRGBA(rgba.data(), 2, 2, 8, &out), out));
  EXPECT_EQ(PictureBytes(dir / "l.webp"),
            (Bytes{50, 100, 200, 255, 255, 255, 30, 20, 10, 255, 127, 127}));
  Bytes flat;
  for (int i = 0; i < 256; ++i) flat.insert(flat.end(), {200, 100, 50});
  Save(dir / "y.webp", Encoded(WebPEncodeRGB(flat.data(), 16, 16, 48, 100, &out), out));
  const Bytes lossy = PictureBytes(dir / "y.webp");
  for (std::size_t i = 0; i < lossy.size(); ++i)
    EXPECT_NEAR(lossy[i], (Bytes{50, 100, 200})[i % 3], 3) << i;
}

TEST(FormatsDecodeTest, DamagedOrGiantFilesFailClearly) {
  TempDir dir;
  WritePng(dir / "whole.png", 64, 64, 2, 8, Bytes(192, 99));
  std::uint8_t* out = nullptr;
  const Bytes flat(64 * 64 * 3, 99);
  Save(dir / "whole.webp", Encoded(WebPEncodeRGB(flat.data(), 64, 64, 192, 90, &out), out));
  const std::string heic = Box("ftyp", std::string("heic\0\0\0\0mif1heic", 16));
  std::ofstream(dir / "damaged.heic") << heic;
  std::ofstream(dir / "bomb.heic") << heic + GridMeta(64, 5000);
  std::ofstream(dir / "crowded.heic") << heic + GridMeta(256, 100);  // few tiles, yet too many
  // A 100000 x 100000 header and an empty IDAT: refused before any pixel.
  std::ofstream(dir / "zlib.png") << PngInflatingTo(std::size_t(256) << 20);
  // After the header, a text chunk that claims 2 GiB: the library would take them.
  std::ofstream(dir / "claims.png")
      << ReadFile(dir / "whole.png").substr(0, 33) + std::string("\x7f\xff\xff\xffzTXtkey", 11);
  // A lossless WebP whose header says 13000 x 13000: libwebp would take a
  // second ARGB picture of that size besides the output.
  const Bytes rgba(16, 7);
  Bytes lossless = Encoded(WebPEncodeLosslessRGBA(rgba.data(), 2, 2, 8, &out), out);
  const std::uint32_t sides = 12999 | 12999u << 14;
  for (int i = 0; i < 4; ++i) lossless[21 + std::size_t(i)] = std::uint8_t(sides >> (8 * i));
  Save(dir / "lossless.webp", lossless);
#ifdef VIZUVOD_HEIF
  // An AVIF coded 256 x 256 whose ispe says 64 x 64.
  const auto avif = MakeEncoder({.format = TResultFormat::rfAvif});
  avif->Start(256, 256, TPixelFormat::pf24bit);
  for (int y = 0; y < 256; ++y) avif->Write(flat.data());
  Bytes lying = avif->Finish();
  const auto ispe = std::search(lying.begin(), lying.end(), "ispe", "ispe" + 4) - lying.begin();
  for (std::size_t at : {ispe + 10, ispe + 14}) lying[at] = 0, lying[at + 1] = 64;
  Save(dir / "lying.avif", lying);
#endif
  WritePng(dir / "giant.png", 100000, 100000, 2, 8, {});
  std::ofstream(dir / "giant.png", std::ios::app).write("\0\0\0\0IDAT\0\0\0\0", 12);
  const struct {
    const char* file;
    std::size_t keep;  // bytes kept of it
    const char* message;
  } cases[] = {
      {"whole.png", 60, "PNG error: "},
      {"whole.png", 8, "PNG error: the file ends early"},
      {"whole.webp", 40, "WebP error: "},
      {"damaged.heic", 24, "HEIF error: "},  // HEIC brands and no meta box after them
#ifdef VIZUVOD_HEIF
      {"bomb.heic", std::string::npos, "HEIF error: a grid of 5000 tiles has more than the 1024"},
      {"crowded.heic", std::string::npos, "HEIF error: a 256 x 256 grid of 100 tiles has more"},
      {"lying.avif", std::string::npos,
       "HEIF error: image item 1 is coded as a 256 x 256 picture, while its header says 64 x 64"},
#endif
      {"lossless.webp", std::string::npos, "WebP error: decoding this 13000 x 13000 picture needs"},
      {"giant.png", 45, "PNG error: a 100000 x 100000 picture has more than the 268435456 pixels"},
      {"claims.png", std::string::npos, "PNG error: a zTXt chunk claims 2147483647 bytes"},
      {"zlib.png", std::string::npos,
       "PNG error: the image data runs on far past the picture's last row"},
  };
  for (const auto& c : cases) {
    const std::string text = ReadFile(dir / c.file).substr(0, c.keep);
    Save(dir / "cut", Bytes(text.begin(), text.end()));
    for (const bool streamed : {false, true}) {  // whole, or the rows read to their end
      const auto started = std::chrono::steady_clock::now();
      try {
        auto decoder = OpenDecoder(dir / "cut", true);
        if (streamed)
          decoder->Rows()->Finish();
        else
          decoder->Picture();
        ADD_FAILURE() << c.file << " " << c.keep;
      } catch (const EPhotoData& e) {
        EXPECT_EQ(std::string(e.what()).rfind(c.message, 0), 0u) << e.what();
      }
      EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1)) << c.file;
    }
  }
}

// A PNG of a JPEG photo's decoded pixels gives, through the wizard's step,
// the bytes that photo gives.
TEST(FormatsDecodeTest, PngOfJpegPixelsGivesTheJpegResult) {
  TempDir dir;
  WritePhoto(dir / "a.jpg", 97, 61, 3);
  const Bytes bgr = PictureBytes(dir / "a.jpg");
  Bytes rgb(bgr.size());
  for (std::size_t i = 0; i < bgr.size(); i += 3)
    rgb[i] = bgr[i + 2], rgb[i + 1] = bgr[i + 1], rgb[i + 2] = bgr[i];
  WritePng(dir / "a.png", 97, 61, PNG_COLOR_TYPE_RGB, 8, rgb);
  for (const TFixedSettings& s : {TFixedSettings::Percent(37), TFixedSettings::Percent(250)}) {
    TPhotoRequest png;
    png.photo = dir / "a.png", png.results = {{&s, {}, 0, {}}}, png.anyFormat = true;
    ASSERT_TRUE(ResizePhoto(dir / "a.jpg", s) && !ProcessPhoto(png).results.empty());
    EXPECT_EQ(ReadFile(dir / "Resize of a.jpg"), ReadFile(dir / "Resize of a.png"));
  }
}

// HEIC and AVIF photos come upright, never turned again by their EXIF orientation.
TEST(FormatsDecodeTest, HeifCorpusPhotosComeUprightOnce) {
  const fs::path corpus = CorpusDir() / "formats";
#ifndef VIZUVOD_HEIF
  GTEST_SKIP() << "built without libheif";
#endif
  if (CorpusDir().empty()) GTEST_SKIP() << "no formats corpus";
  const struct {
    const char* file;
    int width, height;               // upright; 0: its decoding fails
    int exif = 1;                    // the photo's own EXIF orientation, which is not applied
    bool icc = false, note = false;  // an ICC profile read; an image sequence's note
  } cases[] = {
      {"iPhone8Plus_portrait_irot270.heic", 3024, 4032, 6, true},  // a grid
      {"kimono_irot270.avif", 722, 1024},
      {"sofa_grid_1x5.avif", 1024, 770},
      {"CanonEOSR8_10bit_PQ.heic", 600, 400},
      {"monochrome_1280x720.avif", 1280, 720},
      {"plum_blossom_8bit_alpha.avif", 2048, 2048},
      {"paris_icc_exif_xmp.avif", 403, 302, 1, true},
      {"sequence_256x144.heic", 256, 144, 1, false, true},
      {"star_animated_alpha.avif", 0, 0},
  };
  const TFixedSettings tenth = TFixedSettings::Percent(10);
  for (const auto& c : cases) {
    if (!fs::exists(corpus / c.file)) continue;
    TempDir dir;  // results are written beside the photo, never into the corpus
    const std::string photo = dir / "p.heic";
    fs::copy_file(corpus / c.file, photo);
    if (c.width == 0) {
      EXPECT_THROW(OpenDecoder(photo, true)->Picture(), EPhotoData) << c.file;
      continue;
    }
    const TPhotoMetadata metadata = OpenDecoder(photo, true)->Metadata();
    EXPECT_EQ(metadata.Orientation(), c.exif) << c.file;
    EXPECT_EQ(!metadata.IccProfile().empty(), c.icc) << c.file;
    for (const bool autoOrient : {false, true}) {
      TPhotoRequest r;
      r.photo = photo, r.results = {{&tenth, {}, 0, {}}}, r.anyFormat = true;
      r.keepMetadata = true, r.autoOrient = autoOrient;
      const TPhotoOutcome outcome = ProcessPhoto(r);
      ASSERT_EQ(outcome.results.size(), 1u) << c.file;
      EXPECT_EQ(outcome.results[0].width, (c.width + 5) / 10) << c.file;
      EXPECT_EQ(outcome.results[0].height, (c.height + 5) / 10) << c.file;
      const std::string written = ReadFile(outcome.results[0].path);
      EXPECT_EQ(TPhotoMetadata::Read({written.begin(), written.end()}).Orientation(), 1) << c.file;
      EXPECT_EQ(outcome.warnings.size(), c.note ? 1u : 0u) << c.file;  // the sequence's note
    }
  }
  if (fs::exists(corpus / "plum_blossom_8bit_alpha.avif")) {  // a transparent corner, over white
    EXPECT_EQ(PictureBytes(corpus / "plum_blossom_8bit_alpha.avif")[0], 255);
  }
}

// A grid decoded a strip of tiles at a time gives the picture libheif makes
// of the whole grid, turned and mirrored alike, held or streamed.
TEST(FormatsDecodeTest, HeifGridByStripsGivesTheWholeGrid) {
#ifndef VIZUVOD_HEIF
  GTEST_SKIP() << "built without libheif";
#else
  TempDir dir;
  std::vector<Bytes> tiles;
  for (int i = 0; i < 6; ++i) tiles.push_back(CodedTile(128, 128, i));
  std::vector<std::string> photos;
  const auto turn = [](const char* type, std::uint8_t v) {
    return THeifProperty{type, PropertyBox(type, {v})};
  };
  const std::vector<std::vector<THeifProperty> > turns = {{},
                                                          {turn("irot", 1)},
                                                          {turn("irot", 2)},
                                                          {turn("irot", 3)},
                                                          {turn("imir", 0)},
                                                          {turn("imir", 1)},
                                                          {turn("irot", 1), turn("imir", 1)},
                                                          {turn("imir", 0), turn("irot", 3)}};
  if (!tiles[0].empty())
    for (std::size_t i = 0; i < turns.size(); ++i) {  // 3 x 2 tiles of 128, cut to 360 x 200
      photos.push_back(dir / ("grid" + std::to_string(i) + ".heic"));
      Save(photos.back(), WriteHeifGrid(tiles, 3, 360, 200, turns[i]));
    }
  for (const char* file : {"iPhone8Plus_portrait_irot270.heic", "iPhoneXSMax_grid_DisplayP3.heic",
                           "sofa_grid_1x5.avif"})
    if (!CorpusDir().empty() && fs::exists(CorpusDir() / "formats" / file)) {
      photos.push_back(dir / file);
      fs::copy_file(CorpusDir() / "formats" / file, photos.back());
    }
  if (photos.empty()) GTEST_SKIP() << "no AV1 encoder in libheif and no corpus";
  const TFixedSettings third = TFixedSettings::Percent(33);
  for (const std::string& photo : photos) {
    ASSERT_TRUE(OpenDecoder(photo, true)->StreamsRows()) << photo;
    TPhotoRequest r;
    r.photo = photo, r.results = {{&third, {}, 0, {}}}, r.anyFormat = true;
    const Bytes strips = PictureBytes(photo);
    EXPECT_EQ(PictureBytes(photo, true), strips) << photo;  // no strip decoded ahead
    ProcessPhoto(r);
    const std::string streamed = ReadFile(ResizedPhotoPath(photo));
    TScopedHook whole(HeifWholeGridHook(), true);
    ASSERT_FALSE(OpenDecoder(photo, true)->StreamsRows());
    EXPECT_EQ(PictureBytes(photo), strips) << photo;
    ProcessPhoto(r);
    EXPECT_EQ(ReadFile(ResizedPhotoPath(photo)), streamed) << photo;
  }
#endif
}

// A PNG's rows streamed from the file give the picture decoded whole, and
// the result made from them the bytes of the result made from the picture
// held (two results); an interlaced PNG is held whole.
TEST(FormatsDecodeTest, StreamedPngGivesTheHeldBytes) {
  TempDir dir;
  Bytes rgb16(97 * 6), grey(97 * 2);
  for (std::size_t i = 0; i < rgb16.size(); ++i) rgb16[i] = std::uint8_t(i * 37 + i / 7);
  for (std::size_t i = 0; i < grey.size(); ++i) grey[i] = std::uint8_t(i * 11);
  WritePng(dir / "rgb16.png", 97, 61, PNG_COLOR_TYPE_RGB, 16, rgb16);
  WritePng(dir / "grey.png", 97, 61, PNG_COLOR_TYPE_GRAY_ALPHA, 8, grey);
  WritePng(dir / "adam7.png", 97, 61, PNG_COLOR_TYPE_GRAY_ALPHA, 8, grey, true);
  const TFixedSettings third = TFixedSettings::Percent(33), half = TFixedSettings::Percent(50);
  const TResultNamer named = [](const std::string& p, int w, int) {
    return p + "." + std::to_string(w) + ".jpg";
  };
  for (const char* name : {"rgb16.png", "grey.png", "adam7.png"}) {
    const std::string photo = dir / name;
    auto decoder = OpenDecoder(photo, true);
    EXPECT_EQ(decoder->StreamsRows(), name[0] != 'a') << name;
    Bytes streamed;
    const auto rows = decoder->Rows();
    for (int y = 0; y < rows->Height(); ++y)
      streamed.insert(streamed.end(), rows->Row(y), rows->Row(y) + 3 * rows->Width());
    rows->Finish();
    EXPECT_EQ(streamed, PictureBytes(photo)) << name;
    TPhotoRequest r;
    r.photo = photo, r.anyFormat = true, r.results = {{&third, named, 0, {}}};
    ProcessPhoto(r);
    const std::string alone = ReadFile(photo + ".32.jpg");
    r.results.push_back({&half, named, 0, {}});
    ProcessPhoto(r);
    EXPECT_EQ(ReadFile(photo + ".32.jpg"), alone) << name;
  }
}
