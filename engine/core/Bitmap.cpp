#include "core/Bitmap.h"

#include <malloc.h>
#include <sys/mman.h>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/Errors.h"

namespace vizuvod {

namespace {

// A photo's pixels fill tens of megabytes that are written once, top to
// bottom; with 4 KiB pages a good part of that time goes to page faults.
// Large pictures therefore take 2 MiB-aligned memory that the kernel may back
// with huge pages.
constexpr std::size_t HugePage = std::size_t(2) << 20;
constexpr std::size_t HugePageThreshold = 2 * HugePage;

std::size_t CapacityFor(std::size_t size) {
  return size < HugePageThreshold ? size : (size + HugePage - 1) / HugePage * HugePage;
}

#if defined(__SANITIZE_ADDRESS__)
#define VIZUVOD_HEAP_PIXELS 1  // the sanitizer watches heap blocks only
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VIZUVOD_HEAP_PIXELS 1
#endif
#endif

// Large blocks are mapped on their own rather than taken from the C heap:
// kept for reuse inside the heap they would pin it, and the heap's other
// blocks (file bytes, the codec's working memory) would pile up around them.
std::uint8_t* AllocatePixelBytes(std::size_t capacity) {
  if (capacity < HugePageThreshold) return static_cast<std::uint8_t*>(std::malloc(capacity));
#ifdef VIZUVOD_HEAP_PIXELS
  void* p = nullptr;
  if (posix_memalign(&p, HugePage, capacity) != 0) return nullptr;
#else
  // One huge page more than asked, so that an aligned start can be cut out.
  void* mapped = mmap(nullptr, capacity + HugePage, PROT_READ | PROT_WRITE,
                      MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) return nullptr;
  const auto start = reinterpret_cast<std::uintptr_t>(mapped);
  const std::uintptr_t aligned = (start + HugePage - 1) / HugePage * HugePage;
  if (aligned > start) munmap(mapped, aligned - start);
  if (const std::size_t tail = start + HugePage - aligned)
    munmap(reinterpret_cast<void*>(aligned + capacity), tail);
  void* p = reinterpret_cast<void*>(aligned);
#endif
#ifdef MADV_HUGEPAGE
  madvise(p, capacity, MADV_HUGEPAGE);  // only advice: ignored where unsupported
#endif
  return static_cast<std::uint8_t*>(p);
}

void FreePixelBytes(std::uint8_t* bytes, std::size_t capacity) {
#ifndef VIZUVOD_HEAP_PIXELS
  if (capacity >= HugePageThreshold) {
    munmap(bytes, capacity);
    return;
  }
#endif
  (void)capacity;
  std::free(bytes);
}

// Large pixel memory freed by a thread stays with that thread for the next
// picture that fits: a batch resizes photo after photo of similar sizes, and
// memory freshly mapped for each would be zeroed by the kernel every time (a
// sixth of a 150 % run). A block is handed out only to a picture of at least
// half its size, and a miss first frees the blocks too small for it: what is
// kept stays what one job holds, and does not pile up over a run.
class TPixelCache {
 public:
  ~TPixelCache() {
    for (const Block& b : blocks_) FreePixelBytes(b.bytes, b.capacity);
    gone_ = true;
  }

  // A block of at least `capacity` bytes, which becomes the block's own
  // size, or null.
  static std::uint8_t* Take(std::size_t& capacity) {
    if (capacity < HugePageThreshold || gone_) return nullptr;
    auto& blocks = Instance().blocks_;
    auto best = blocks.end();
    for (auto b = blocks.begin(); b != blocks.end(); ++b)
      if (b->capacity >= capacity && b->capacity / 2 <= capacity &&
          (best == blocks.end() || b->capacity < best->capacity))
        best = b;
    if (best != blocks.end()) {
      std::uint8_t* bytes = best->bytes;
      capacity = best->capacity;
      blocks.erase(best);
      return bytes;
    }
    std::erase_if(blocks, [&](const Block& b) {
      if (b.capacity >= capacity) return false;
      FreePixelBytes(b.bytes, b.capacity);
      return true;
    });
    return nullptr;
  }

  static void Release() {
    if (gone_) return;
    auto& blocks = Instance().blocks_;
    for (const Block& b : blocks) FreePixelBytes(b.bytes, b.capacity);
    blocks.clear();
  }

  // Takes the block back, or frees it when it is small or the thread ends.
  static void Give(std::uint8_t* bytes, std::size_t capacity) {
    if (capacity < HugePageThreshold || gone_) {
      FreePixelBytes(bytes, capacity);
      return;
    }
    auto& blocks = Instance().blocks_;
    if (blocks.size() == MaxBlocks) {  // the oldest goes
      FreePixelBytes(blocks.front().bytes, blocks.front().capacity);
      blocks.erase(blocks.begin());
    }
    blocks.push_back({bytes, capacity});
  }

 private:
  struct Block {
    std::uint8_t* bytes;
    std::size_t capacity;
  };
  // A job holds at most three large pictures at once (source, target and a
  // converted copy).
  static constexpr std::size_t MaxBlocks = 4;

  static TPixelCache& Instance() {
    thread_local TPixelCache cache;
    return cache;
  }

  std::vector<Block> blocks_;
  // Set once this thread's cache is destroyed: pictures freed after it (by
  // static objects) go straight back to the system.
  static thread_local bool gone_;
};

thread_local bool TPixelCache::gone_ = false;

struct PixelBytesDeleter {
  std::size_t capacity = 0;
  void operator()(std::uint8_t* p) const { TPixelCache::Give(p, capacity); }
};

}  // namespace

struct TBitmap::PixelMemory {
  std::unique_ptr<std::uint8_t[], PixelBytesDeleter> bytes;
  std::size_t size = 0;

  // Fails with EOutOfResources, leaving nothing half-made, when the bytes
  // cannot be had.
  static std::shared_ptr<PixelMemory> Allocate(std::size_t size) {
    if (size > MaxPixelBytes) throw EOutOfResources();
    auto memory = std::make_shared<PixelMemory>();
    std::size_t capacity = CapacityFor(std::max<std::size_t>(size, 1));
    std::uint8_t* bytes = TPixelCache::Take(capacity);
    if (!bytes) bytes = AllocatePixelBytes(capacity);
    if (!bytes) throw EOutOfResources();
    memory->bytes = std::unique_ptr<std::uint8_t[], PixelBytesDeleter>(bytes, {capacity});
    memory->size = size;
    return memory;
  }
};

void TBitmap::ReleaseSpareMemory() { TPixelCache::Release(); }

void MapLargeBlocks() { mallopt(M_MMAP_THRESHOLD, 4 << 20); }

int TBitmap::BitsPerPixel(TPixelFormat format) {
  switch (format) {
    case TPixelFormat::pf8bit: return 8;
    case TPixelFormat::pf24bit: return 24;
    case TPixelFormat::pfDevice: break;
  }
  return 32;
}

int TBitmap::StrideFor(int width, TPixelFormat format) {
  if (width <= 0) return 0;
  const std::int64_t bits = std::int64_t(width) * BitsPerPixel(format);
  return int((bits + 31) / 32 * 4);
}

// Sizes whose memory could not be addressed count as too large.
static std::size_t PixelBytes(int width, int height, TPixelFormat format) {
  if (width <= 0 || height <= 0) return 0;
  const std::uint64_t stride = (std::uint64_t(width) * TBitmap::BitsPerPixel(format) + 31) / 32 * 4;
  const std::uint64_t size = stride * std::uint64_t(height);
  if (std::uint64_t(width) * std::uint64_t(height) > TBitmap::MaxPixels ||
      stride > std::uint64_t(INT32_MAX) || size > TBitmap::MaxPixelBytes)
    throw EOutOfResources();
  return std::size_t(size);
}

void TBitmap::CheckSize(int width, int height, TPixelFormat format) {
  PixelBytes(width, height, format);
}

void TBitmap::SetSize(int width, int height) {
  if (width == width_ && height == height_) return;
  width = std::max(width, 0);
  height = std::max(height, 0);
  const std::size_t size = PixelBytes(width, height, format_);
  std::shared_ptr<PixelMemory> memory;
  // A picture that is still all white stays without memory until a row or
  // pixel is written, so sizing a bitmap that is then replaced or converted
  // costs nothing.
  if (size > 0 && pixels_) {
    memory = PixelMemory::Allocate(size);
    const int stride = StrideFor(width, format_);
    // White everywhere first, then the top-left area the two sizes share.
    std::memset(memory->bytes.get(), 0xFF, size);
    const int rows = std::min(height, height_);
    const int rowBytes = std::min(stride, Stride());
    for (int y = 0; y < rows; ++y)
      std::memcpy(memory->bytes.get() + std::size_t(height - 1 - y) * stride, RowAddress(y),
                  rowBytes);
  }
  pixels_ = std::move(memory);
  width_ = width;
  height_ = height;
}

void TBitmap::SetPixelFormat(TPixelFormat format) {
  if (format == format_) return;
  if (!pixels_) {  // no pixels, or all still white
    PixelBytes(width_, height_, format);
    format_ = format;
    return;
  }
  const int stride = StrideFor(width_, format);
  auto memory = PixelMemory::Allocate(PixelBytes(width_, height_, format));
  const int bytesPerPixel = BitsPerPixel(format) / 8;
  for (int y = 0; y < height_; ++y) {
    std::uint8_t* row = memory->bytes.get() + std::size_t(height_ - 1 - y) * stride;
    std::memset(row, 0, stride);
    for (int x = 0; x < width_; ++x) {
      const TColorValue c = Pixel(x, y);
      std::uint8_t* p = row + std::size_t(x) * bytesPerPixel;
      if (format == TPixelFormat::pf8bit) {
        p[0] = 0;  // only ever set on pictures without pixels
      } else {
        p[0] = std::uint8_t(BlueOf(c));
        p[1] = std::uint8_t(GreenOf(c));
        p[2] = std::uint8_t(RedOf(c));
      }
    }
  }
  pixels_ = std::move(memory);
  format_ = format;
}

TBgrPalette BgrPalette(std::span<const TPaletteEntry> palette) {
  TBgrPalette colours;
  for (std::size_t i = 0; i < colours.size(); ++i) {
    const TPaletteEntry e = PaletteColor(palette, i);
    colours[i] = {e.blue, e.green, e.red};
  }
  return colours;
}

void TBitmap::SetPalette(std::span<const TPaletteEntry> entries) {
  palette_.assign(entries.begin(), entries.begin() + std::min<std::size_t>(entries.size(), 256));
}

const std::uint8_t* TBitmap::RowAddress(int y) const {
  return pixels_->bytes.get() + std::size_t(height_ - 1 - y) * std::size_t(Stride());
}

void TBitmap::Materialize() const {
  if (pixels_ || !HasPixels()) return;
  const std::size_t size = PixelBytes(width_, height_, format_);
  auto memory = PixelMemory::Allocate(size);
  std::memset(memory->bytes.get(), 0xFF, size);
  pixels_ = std::move(memory);
}

void TBitmap::AllocateForOverwrite() {
  if (pixels_ || !HasPixels()) return;
  pixels_ = PixelMemory::Allocate(PixelBytes(width_, height_, format_));
}

const std::uint8_t* TBitmap::ScanLine(int y) const {
  if (y < 0 || y >= height_ || !HasPixels())
    throw EInvalidGraphicOperation("Scan line index out of range");
  Materialize();
  return RowAddress(y);
}

std::uint8_t* TBitmap::ScanLine(int y) {
  const std::uint8_t* row = static_cast<const TBitmap&>(*this).ScanLine(y);
  if (pixels_.use_count() > 1) {
    Detach();
    row = RowAddress(y);
  }
  return const_cast<std::uint8_t*>(row);
}

void TBitmap::Detach() {
  auto memory = PixelMemory::Allocate(pixels_->size);
  std::memcpy(memory->bytes.get(), pixels_->bytes.get(), pixels_->size);
  pixels_ = std::move(memory);
}

TColorValue TBitmap::Pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return InvalidColor;
  // A picture still without memory is white: all bytes 0xFF.
  const std::uint8_t* row = pixels_ ? RowAddress(y) : nullptr;
  if (!row && format_ != TPixelFormat::pf8bit) return RGBColor(255, 255, 255);
  switch (format_) {
    case TPixelFormat::pf8bit: {
      const std::uint8_t index = row ? row[x] : 0xFF;
      const TPaletteEntry e = PaletteColor(palette_, index);
      return RGBColor(e.red, e.green, e.blue);
    }
    case TPixelFormat::pf24bit: {
      const std::uint8_t* p = row + std::size_t(x) * 3;
      return RGBColor(p[2], p[1], p[0]);
    }
    case TPixelFormat::pfDevice: break;
  }
  const std::uint8_t* p = row + std::size_t(x) * 4;
  return RGBColor(p[2], p[1], p[0]);
}

void TBitmap::SetPixel(int x, int y, TColorValue color) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  std::uint8_t* row = ScanLine(y);
  switch (format_) {
    case TPixelFormat::pf8bit: row[x] = std::uint8_t(color & 0xFF); return;
    case TPixelFormat::pf24bit: {
      std::uint8_t* p = row + std::size_t(x) * 3;
      p[0] = std::uint8_t(BlueOf(color));
      p[1] = std::uint8_t(GreenOf(color));
      p[2] = std::uint8_t(RedOf(color));
      return;
    }
    case TPixelFormat::pfDevice: break;
  }
  std::uint8_t* p = row + std::size_t(x) * 4;
  p[0] = std::uint8_t(BlueOf(color));
  p[1] = std::uint8_t(GreenOf(color));
  p[2] = std::uint8_t(RedOf(color));
  p[3] = 0;
}

}  // namespace vizuvod
