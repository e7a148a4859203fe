// Shared by the image view's files: pixel access to the buffers, geometry
// and the pieces each file installs in the class.
#pragma once
#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#include "fw/imaging/vimgedview.h"

namespace imgview {

// The image buffer lags the origin after a scroll (the display buffer
// is current): rendered again before its next use.
inline constexpr std::uint32_t kIMAGE_STALE = 0x10000;

inline std::int16_t s16(int v) { return std::int16_t(std::clamp(v, -32768, 32767)); }
inline vimgedviewClassRec* cls(vimgedview* v) { return vimgedviewClassOf(v); }
inline bool hasImage(const vimgedview* v) { return v->editor && v->editor->working; }
inline bool isOpen(const vimgedview* v) { return (v->flags & vdialogItemOPEN) != 0; }
inline bool shown(const vimgedview* v) { return vdialogItemIsShown(v) && isOpen(v); }

// Direct access to an image's pixels. The first operation writes, so that
// the pixel bytes become the image's current representation before any
// bulk copy.
class Pixels {
 public:
  explicit Pixels(vimage* image) : image_(image) {
    vpixmapInitCursor(&c_, image);
    if (image->width > 0 && image->height > 0) vpixmapCursorSet(&c_, vpixmapCursorGet(&c_));
  }
  ~Pixels() { vpixmapFinishCursor(&c_); }
  Pixels(const Pixels&) = delete;
  Pixels& operator=(const Pixels&) = delete;

  int width() const { return image_->width; }
  int height() const { return image_->height; }
  std::uint32_t get(int x, int y) { return vpixmapCursorGetAt(&c_, x, y); }
  void set(int x, int y, std::uint32_t v) { vpixmapCursorSetAt(&c_, x, y, v); }
  // Whole-byte pixels: the address of (x, y).
  bool bytewise() const { return image_->depth >= 8; }
  std::uint8_t* at(int x, int y) {
    vpixmapCursorMoveTo(&c_, x, y);
    return c_.bytes + c_.at;
  }
  int bytesPerPixel() const { return image_->depth / 8; }
  // 32-bit pixels in the machine's order: rows as words.
  bool words() const {
    return image_->depth == 32 && !(image_->layout & vpixmapBYTE_ORDER) && std::endian::native == std::endian::little;
  }
  std::uint32_t* row(int y) { return reinterpret_cast<std::uint32_t*>(at(0, y)); }
  // The part inside the image.
  void fill(int x, int y, int w, int h, std::uint32_t v);
  // A row of values written at (x, y).
  void putRow(int x, int y, const std::uint32_t* values, int count);
  // Copies the row span (x, y, w) to row y2.
  void copyRow(int x, int y, int w, int y2);

 private:
  vimage* image_;
  vpixmapCursor c_;
};

// A new true-colour buffer, or none for an empty size.
vimage* newBuffer(int width, int height);
void dropImage(vimage*& image);
// The window rectangle of a rectangle of image pixels (without inset).
vrect windowRectOf(vimgedview* v, int ix, int iy, int w, int h);
// Redraws part of the image area (window coordinates), clipped to it.
void invalArea(vimgedview* v, const vrect& r);
void invalImageArea(vimgedview* v);
// Draws into the item's window outside an update, clipped to the image
// area; false when the view is not drawable.
template <class F>
bool drawInArea(vimgedview* v, F&& body);
bool beginAreaDrawing(vimgedview* v);
void endAreaDrawing();

// The grid's colour; the grid lines crossing a buffer rectangle drawn
// again.
std::uint32_t gridColor(vimgedview* v);
void gridOver(vimgedview* v, vimage* buffer, const vrect& r);

void installRendering(vimgedviewClassRec* c);
void installInput(vimgedviewClassRec* c);
void installTools(vimgedviewClassRec* c);
// Module data of the input file: cursors, commands and keys.
void buildInputState();
vcommandSpace* buildSpace(vcommandSpace* inherited);
const void* classKeyTag(std::uint32_t key);

// The selection tools and the text tool.
vimgedviewToolFunc rectSelectTool();
vimgedviewToolFunc lassoTool();
void openTextDialog(vimgedview* v);
// A view that goes is no longer the text dialog's.
void forgetTextDialogView(vimgedview* v);


template <class F>
bool drawInArea(vimgedview* v, F&& body) {
  if (!beginAreaDrawing(v)) return false;
  body();
  endAreaDrawing();
  return true;
}

}  // namespace imgview
