// Shared by the pixel operations and the codecs.
#pragma once
#include <cstdint>
#include <vector>

#include "fw/gui/graphics/image.h"

namespace imgops {

// A cursor that is finished however its walk ends.
struct Cursor {
  vpixmapCursor c;
  explicit Cursor(vpixmap* p) { vpixmapInitCursor(&c, p); }
  ~Cursor() { vpixmapFinishCursor(&c); }
  Cursor(const Cursor&) = delete;
  Cursor& operator=(const Cursor&) = delete;
  std::uint32_t getAt(int x, int y) { return vpixmapCursorGetAt(&c, x, y); }
  void setAt(int x, int y, std::uint32_t v) { vpixmapCursorSetAt(&c, x, y, v); }
  void moveTo(int x, int y) { vpixmapCursorMoveTo(&c, x, y); }
  std::uint32_t getNext() { return vpixmapCursorGetNext(&c); }
  void setNext(std::uint32_t v) { vpixmapCursorSetNext(&c, v); }
};

// Destroys the image unless released: a new image stays with its maker
// until it is handed out.
struct Owned {
  vimage* image;
  explicit Owned(vimage* i) : image(i) {}
  ~Owned() {
    if (image) vimageDestroy(image);
  }
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  vimage* release() {
    vimage* i = image;
    image = nullptr;
    return i;
  }
};

// Whether a one-bit image shows value 1 lighter than 0 (or has no
// palette: 0 black). Formats where a set bit is black write it inverted.
bool oneIsLight(vimage* image);

// The misuse of a null image.
void requireImage(const void* image);
// A new image of the source's depth, colour count and palette (or none).
vimage* createLike(vimage* source, int width, int height);
// A new one-bit image with the palette white, black.
vimage* createWhiteBlack(int width, int height);

struct Rgb {
  unsigned r, g, b;
};
// The 16-bit colours of an image's pixel values: through the palette
// (values past it black), or from the value itself without one.
class ValueColors {
 public:
  explicit ValueColors(vimage* image);
  Rgb operator()(std::uint32_t value) const;
  // Palette entries, plus one for every value past them; 0 without palette.
  std::uint32_t entries() const { return std::uint32_t(table_.size()); }
  bool indexed() const { return indexed_; }

 private:
  std::vector<Rgb> table_;
  bool indexed_ = false;
  bool oneBit_ = false;
};

}  // namespace imgops
