// Shared by the bitmap and icon readers.
//
// - Claims beyond the file (`winfile::claimFits`): the portable-map reader refuses (no image, before
//   allocating) a header whose pixels need more than 16 times the bytes left in the file plus 64 KiB
//   (a bit a pixel in P4, a byte or character a sample otherwise); the GIF reader one whose pixels
//   pass what its code bytes can decode to (the n-th code after a clear gives at most n pixels, 4096
//   once the table is full) plus 64 KiB; the X bitmap reader keeps only numbers the text holds. So a
//   cut file still reads, a few bytes claiming gigabytes do not. Behind them the pixmap layer
//   refuses any pixel store past `vpixmapMAX_STORE_BYTES` (256 MiB) with the memory exception, at a
//   size or depth change and at the first lock. `fuzz_imgread` runs the editor's reader choice by
//   extension and the icon picker; the image targets run at the real size limits.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "fw/core/fs.h"
#include "fw/gui/graphics/image.h"

namespace winfile {

// The readers that take a whole file (GIF, portable maps, X bitmaps) refuse
// one larger than this, as large as the largest pixel store: no image they
// can show needs more, and a name such as a huge sparse file never fills memory.
inline constexpr std::int64_t kWholeFileLimit = std::int64_t(1) << 28;

// A file open for reading with its size; closed however the read ends.
struct Input {
  explicit Input(const vfsPath* path);
  ~Input();
  Input(const Input&) = delete;
  Input& operator=(const Input&) = delete;
  bool seek(std::int64_t to);  // false past the end, without seeking
  bool read(void* into, std::int64_t n);
  // The whole file, or nothing when it is larger than limit.
  std::string whole(std::int64_t limit);
  vfsStream* stream = nullptr;
  std::int64_t size = 0;
};

// An image destroyed (with a mask it holds) unless released.
class Made {
 public:
  explicit Made(vimage* image) : image_(image) {}
  ~Made() {
    if (!image_) return;
    if (vimage* mask = image_->mask; mask && !(image_->flags & vimageOWNS_MASK)) {
      vimageSetMask(image_, nullptr);
      vimageDestroy(mask);
    }
    vimageDestroy(image_);
  }
  Made(Made&& other) noexcept : image_(other.release()) {}
  Made(const Made&) = delete;
  Made& operator=(const Made&) = delete;
  vimage* get() const { return image_; }
  vimage* release() {
    vimage* i = image_;
    image_ = nullptr;
    return i;
  }

 private:
  vimage* image_;
};

bool sizeFits(std::int64_t width, std::int64_t height);
// Whether a claim of pixel data (bytes or pixels) stays within reach of
// what the rest of the file could give (factor times it, and a little
// more): a cut file still reads, a claim far beyond its bytes does not.
bool claimFits(std::int64_t claimed, std::int64_t possible, std::int64_t factor = 16);
// Entries of blue, green, red (and a reserved byte when entryBytes is 4).
void readPalette(vimage* image, const std::uint8_t* table, std::uint32_t entries, int entryBytes);
// The file's rows into the store: rows padded to 32 bits, bottom first.
bool readRows(Input& in, vimage* image, bool complement);

}  // namespace winfile
