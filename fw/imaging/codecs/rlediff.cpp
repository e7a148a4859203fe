// The difference coder. A data block is allocated with its length in the
// word just below the bytes the record points at, so that applying a record
// never reads past its end.
#include "fw/imaging/codecs/rlediff.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "fw/core/ex.h"
#include "fw/core/mem.h"
#include "fw/imaging/codecs/pixops_internal.h"

using namespace imgops;

namespace {

constexpr std::size_t kHeader = sizeof(std::size_t);
constexpr std::size_t kFirst = 1024, kStep = 512;
constexpr int kMaxRun = 127;

std::uint8_t* bytesOf(void* block) { return static_cast<std::uint8_t*>(block) + kHeader; }
void* blockOf(std::uint8_t* data) { return data - kHeader; }
void setSize(std::uint8_t* data, std::size_t n) { std::memcpy(data - kHeader, &n, kHeader); }

int pixelBytes(const vimage* image) { return image->depth / 8 < 2 ? 1 : image->depth / 8; }

[[noreturn]] void raiseArg() { _vexGenerate(&vexArgClass, vexEnd); }

void checkImages(const vimage* a, const vimage* b) {
  if (!a || !b || a->width != b->width || a->height != b->height || a->depth != b->depth) raiseArg();
}
void checkRectangle(const vimage* image, int x, int y, int width, int height) {
  if (x < 0 || y < 0 || width < 0 || height < 0 || std::int64_t(x) + width > image->width ||
      std::int64_t(y) + height > image->height)
    raiseArg();
}

// The growing block of the compressor.
class Block {
 public:
  Block() : data_(bytesOf(vmemAlloc(kHeader + kFirst))), capacity_(kFirst) {}
  ~Block() {
    if (data_) vmemFree(blockOf(data_));
  }
  Block(const Block&) = delete;
  Block& operator=(const Block&) = delete;

  void ensure(std::size_t need) {
    std::size_t free = capacity_ - used_;
    if (need <= free) return;
    std::size_t grow = (need - free + kStep - 1) / kStep * kStep;
    data_ = bytesOf(vmemRealloc(blockOf(data_), kHeader + capacity_ + grow));
    capacity_ += grow;
  }
  void put(std::uint8_t b) { data_[used_++] = b; }
  std::uint8_t* finish() {
    std::uint8_t* d = bytesOf(vmemRealloc(blockOf(data_), kHeader + used_));
    setSize(d, used_);
    data_ = nullptr;
    return d;
  }

 private:
  std::uint8_t* data_;
  std::size_t capacity_, used_ = 0;
};

}  // namespace

std::size_t vimageRLEDataSize(const std::uint8_t* data) {
  if (!data) return 0;
  std::size_t n;
  std::memcpy(&n, data - kHeader, kHeader);
  return n;
}

std::uint8_t* vimageRLECreateData(const std::uint8_t* bytes, std::size_t size) {
  std::uint8_t* d = bytesOf(vmemAlloc(kHeader + size));
  if (size) std::memcpy(d, bytes, size);
  setSize(d, size);
  return d;
}

void vimageRLECompressDiff(vimageRLEDiff* out, vimage* reference, vimage* image, int x, int y, int width,
                           int height) {
  if (!out) raiseArg();
  checkImages(reference, image);
  checkRectangle(image, x, y, width, height);
  int b = pixelBytes(image);
  Block block;
  std::vector<std::uint32_t> before(static_cast<std::size_t>(width)), after(static_cast<std::size_t>(width));
  // Rows whose bytes agree need no pixel reads: same layout, whole bytes.
  bool rawRows = image->depth >= 8 && (reference->layout & 0x0F) == (image->layout & 0x0F);
  const std::uint8_t* rawBefore = rawRows ? vpixmapLockPixels(reference) : nullptr;
  const std::uint8_t* rawAfter = rawRows ? vpixmapLockPixels(image) : nullptr;
  std::size_t rowBytes = vpixmapGetRowBytes(image);
  Cursor first(reference), second(image);
  for (int row = y; row < y + height && width > 0; ++row) {
    if (rawRows) {
      int memRow = (image->layout & vpixmapBOTTOM_UP) ? image->height - 1 - row : row;
      std::size_t at = std::size_t(memRow) * rowBytes + std::size_t(x) * std::size_t(b);
      if (std::memcmp(rawBefore + at, rawAfter + at, std::size_t(width) * std::size_t(b)) == 0) {
        for (int left = width; left > 0; left -= kMaxRun) {
          block.ensure(1);
          block.put(std::uint8_t(std::min(left, kMaxRun)));
        }
        continue;
      }
    }
    first.moveTo(x, row);
    second.moveTo(x, row);
    for (int i = 0; i < width; ++i) {
      before[std::size_t(i)] = first.getNext();
      after[std::size_t(i)] = second.getNext();
    }
    int c = 0;
    while (c < width) {
      int n = 0;
      while (c < width && n < kMaxRun && before[std::size_t(c)] == after[std::size_t(c)]) ++c, ++n;
      if (n > 0) {
        block.ensure(1);
        block.put(std::uint8_t(n));
      }
      int s = c, m = 0;
      while (c < width && m < kMaxRun && before[std::size_t(c)] != after[std::size_t(c)]) ++c, ++m;
      if (m == 0) continue;
      block.ensure(std::size_t(b) * std::size_t(m) + 1);
      block.put(std::uint8_t(0x80 + m));
      for (int i = s; i < c; ++i)
        for (int k = 0; k < b; ++k) block.put(std::uint8_t(after[std::size_t(i)] >> (8 * k)));
    }
  }
  out->x = x;
  out->y = y;
  out->width = width;
  out->height = height;
  out->data = block.finish();
}

void vimageRLEApplyDiff(vimage* source, vimage* target, int x, int y, int width, int height, std::uint8_t* data) {
  checkImages(source, target);
  checkRectangle(target, x, y, width, height);
  if (!data) return;
  std::size_t size = vimageRLEDataSize(data), at = 0;
  int b = pixelBytes(target);
  Cursor from(source), to(target);
  int end = x + width;
  auto changed = [&] { vpixmapMarkChanged(target); };
  for (int row = y; row < y + height; ++row) {
    from.moveTo(x, row);
    to.moveTo(x, row);
    int c = x;
    while (c < end) {
      if (at >= size) return changed();
      std::uint8_t run = data[at++];
      int n = run & 0x7F;
      // A run past the row end, or pixels past the block's end: damage.
      if (n > end - c) return changed();
      if (!(run & 0x80)) {
        for (int i = 0; i < n; ++i) to.setNext(from.getNext());
        c += n;
        continue;
      }
      if (std::size_t(n) * std::size_t(b) > size - at) return changed();
      for (int i = 0; i < n; ++i) {
        std::uint32_t replaced = from.getNext(), stored = 0;
        for (int k = 0; k < b; ++k, ++at) {
          stored |= std::uint32_t(data[at]) << (8 * k);
          data[at] = std::uint8_t(replaced >> (8 * k));
        }
        to.setNext(stored);
      }
      c += n;
      if (c < end) from.moveTo(c, row);
    }
  }
  changed();
}

void vimageRLEFreeDiff(int, int, int, int, std::uint8_t* data) {
  if (data) vmemFree(blockOf(data));
}
