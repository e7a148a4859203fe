// Pixmaps: device-independent arrays of pixel values of 1 to 32 bits in a
// chosen memory layout, their pixels kept as one representation on a ring
// that native bitmaps join, and the pixel cursors through which all pixel
// access goes. Row 0 is the bottom of the picture.
//
// Inside bytes: pixels below 8 bits fill a byte from its most significant
// bits (pixel 0 of a row in the top bits). Multi-byte pixels are least
// significant byte first, or most significant first with vpixmapBYTE_ORDER.
//
// Pixmaps (`pixmap.h`): width, height, depth (1, 2, 4, 8, 16, 24, 32) and a layout word (alignment
// code, other byte order, bottom-up, follows the default layout). Row 0 is the bottom of the
// picture and the first row in memory unless bottom-up; sub-byte pixels fill a byte from its top
// bits; multi-byte pixels are least significant byte first unless the byte-order bit says otherwise
// (so 0xRRGGBB is B, G, R). The pixel bytes are the entry of `vpixmapPixelKind` on the pixmap's
// representation ring (value: their address, made zeroed on first lock); re-sizing, re-depthing and
// re-laying build a plain pixmap on the stack, copy into it and exchange the two rings, re-pointing
// every entry at its new owner. A cursor (`pixcursor.cpp`) copies one of seventeen constexpr tables
// of eleven operations, made from three templates (contiguous rows, padded or reversed rows with
// row start and end, sub-byte pixels with a column count); positions are byte offsets, so walking
// off either end never forms a wild pointer. Its three write slots start as placeholders that mark
// the pixel bytes current and put the real ones in place. The pixel copy is a block or row copy for
// the same depth and byte order (a bit copy for unpadded sub-byte rows) and a cursor walk
// otherwise. In resources (`pixmap_res.cpp`) "Bits" must be exactly the layout's size and the
// run-length decoder stops at the last pixel; anything else is Arg/Range with nothing left made.
// The encoder reads through a look-ahead buffer, checks the format's room before each packet, gives
// up as soon as it has passed three quarters of the raw size, and refuses depth-32 values above 24
// bits (they would come back changed), so such pixmaps are stored raw. The decoder refuses data too
// short for the pixel count (127 pixels a packet at most) before it makes any pixels.
// `bench/pixmap.cpp`: a cursor copy of a 1024 x 768 depth-8 pixmap into a bottom-up depth-24 one of
// the other byte order takes about 2.3 ms; a store and load of the depth-8 picture through 16,896
// bytes of packets about 4.7 ms. The `vr` fuzz target loads every top-level dictionary as an image,
// a colour list and a colour description too, and stores loaded pixmaps again (seed `graphics.vr`).
#pragma once
#include <cstddef>
#include <cstdint>

#include "fw/core/class.h"
#include "fw/gui/graphics/syncring.h"

enum : std::uint16_t {
  vpixmapALIGN_MASK = 0x03,     // 0 rows not padded, 1 byte, 2 16-bit, 3 32-bit boundaries
  vpixmapBYTE_ORDER = 0x04,     // multi-byte pixels in the other byte order
  vpixmapBOTTOM_UP = 0x08,      // row 0 is the last row in memory
  vpixmapDEFAULT_LAYOUT = 0x10, // follows the default layout code; a load converts to it
  vpixmapLAYOUT_BITS = 0x1F,
};

struct vpixmap : vobject {
  vsyncRingEntry* store;  // the ring of representations, or none
  std::int16_t width, height;
  std::int16_t depth;     // 1, 2, 4, 8, 16, 24 or 32
  std::uint16_t layout;
};

struct vpixmapClassRec : vobjectClassRec {
  void (*fill)(vpixmap* self, std::uint32_t value);
  void (*copyPixels)(vpixmap* source, vpixmap* target);  // of the same size
  void (*copyRect)(vpixmap* source, vpixmap* target, int sx, int sy, int width, int height, int tx, int ty);
  void (*markChanged)(vpixmap* self);
  vsyncRingEntry* (*getRepresentation)(vpixmap* self, const vsyncRingKind* kind);  // made on demand
  // anchor: 0 drops the pixels; 16 fills with fill; & 3: 2 centred, 3 right;
  // & 12: 4 bottom, 8 centred, else top.
  void (*setSize)(vpixmap* self, int width, int height, int anchor, std::uint32_t fill);
  void (*setDepth)(vpixmap* self, int depth);
  void (*setRowAlignment)(vpixmap* self, int bits);  // 1, 8, 16 or 32
  void (*setByteOrder)(vpixmap* self, int on);
  void (*setBottomUp)(vpixmap* self, int on);
};

// The representation kind of the pixel bytes: its value is their address.
extern const vsyncRingKind vpixmapPixelKind;

vpixmapClassRec* vpixmapGetDefaultClass();
void vpixmapInitSized(vpixmap* self, int width, int height, int depth);
vpixmap* vpixmapCreateSized(int width, int height, int depth);
void vpixmapDestroy(vpixmap* self);
// The layout code (bits 0-3) that new pixmaps follow; 1 at start.
int vpixmapGetDefaultLayout();
void vpixmapSetDefaultLayout(int code);

std::size_t vpixmapRowBytes(int width, int depth, int alignCode);
// The largest pixel store a pixmap may have (256 MiB): a size or depth that
// would need more raises the memory exception before anything is allocated.
inline constexpr std::size_t vpixmapMAX_STORE_BYTES = std::size_t(1) << 28;
std::size_t vpixmapGetRowBytes(const vpixmap* self);
int vpixmapGetRowAlignment(const vpixmap* self);  // in bits
// The pixel bytes, brought up to date and made on first use.
std::uint8_t* vpixmapLockPixels(vpixmap* self);
inline int vpixmapHasPixels(const vpixmap* self) { return self->store != nullptr; }

inline void vpixmapFill(vpixmap* p, std::uint32_t v) { vclassRec<vpixmapClassRec>(p)->fill(p, v); }
inline void vpixmapCopyPixels(vpixmap* s, vpixmap* t) { vclassRec<vpixmapClassRec>(s)->copyPixels(s, t); }
inline void vpixmapCopyRect(vpixmap* s, vpixmap* t, int sx, int sy, int w, int h, int tx, int ty) {
  vclassRec<vpixmapClassRec>(s)->copyRect(s, t, sx, sy, w, h, tx, ty);
}
inline void vpixmapMarkChanged(vpixmap* p) { vclassRec<vpixmapClassRec>(p)->markChanged(p); }
inline vsyncRingEntry* vpixmapGetRepresentation(vpixmap* p, const vsyncRingKind* kind) {
  return vclassRec<vpixmapClassRec>(p)->getRepresentation(p, kind);
}
inline void vpixmapSetSize(vpixmap* p, int w, int h, int anchor, std::uint32_t fill) {
  vclassRec<vpixmapClassRec>(p)->setSize(p, w, h, anchor, fill);
}
inline void vpixmapSetDepth(vpixmap* p, int d) { vclassRec<vpixmapClassRec>(p)->setDepth(p, d); }
inline void vpixmapSetRowAlignment(vpixmap* p, int bits) { vclassRec<vpixmapClassRec>(p)->setRowAlignment(p, bits); }
inline void vpixmapSetByteOrder(vpixmap* p, int on) { vclassRec<vpixmapClassRec>(p)->setByteOrder(p, on); }
inline void vpixmapSetBottomUp(vpixmap* p, int on) { vclassRec<vpixmapClassRec>(p)->setBottomUp(p, on); }

// ---- Pixel cursors.

struct vpixmapCursor;
// One table per depth and layout variant; values are the low bits of a word.
struct vpixmapCursorTable {
  void (*moveTo)(vpixmapCursor* c, int x, int y);
  void (*next)(vpixmapCursor* c);      // along the row, then on to the next row
  void (*previous)(vpixmapCursor* c);
  void (*nextRow)(vpixmapCursor* c);   // same column
  void (*previousRow)(vpixmapCursor* c);
  std::uint32_t (*get)(vpixmapCursor* c);
  std::uint32_t (*getNext)(vpixmapCursor* c);
  std::uint32_t (*getAt)(vpixmapCursor* c, int x, int y);
  void (*set)(vpixmapCursor* c, std::uint32_t value);
  void (*setNext)(vpixmapCursor* c, std::uint32_t value);
  void (*setAt)(vpixmapCursor* c, int x, int y, std::uint32_t value);
};

// One per walk, on the caller's stack. Positions are byte offsets from the
// start of the pixel bytes.
struct vpixmapCursor {
  vpixmapCursorTable ops;  // the write slots start as placeholders
  const vpixmapCursorTable* table;
  vpixmap* pixmap;
  vsyncRingEntry* store;
  std::uint8_t* bytes;
  std::ptrdiff_t row0;    // row 0: the last row in memory when bottom-up
  std::ptrdiff_t stride;  // negative when bottom-up
  std::ptrdiff_t at;      // the current pixel's byte
  std::ptrdiff_t rowStart, rowEnd;  // padded layouts: the current row
  int shift;              // sub-byte pixels: the current pixel's lowest bit
  int x;                  // sub-byte pixels: the current column
  int width;
};

void vpixmapInitCursor(vpixmapCursor* c, vpixmap* pixmap);
void vpixmapFinishCursor(vpixmapCursor* c);
// Which of the tables a pixmap's cursors use (0-16); raises as InitCursor.
int _vpixmapCursorTableIndex(const vpixmap* pixmap);

inline void vpixmapCursorMoveTo(vpixmapCursor* c, int x, int y) { c->ops.moveTo(c, x, y); }
inline void vpixmapCursorNext(vpixmapCursor* c) { c->ops.next(c); }
inline void vpixmapCursorPrevious(vpixmapCursor* c) { c->ops.previous(c); }
inline void vpixmapCursorNextRow(vpixmapCursor* c) { c->ops.nextRow(c); }
inline void vpixmapCursorPreviousRow(vpixmapCursor* c) { c->ops.previousRow(c); }
inline std::uint32_t vpixmapCursorGet(vpixmapCursor* c) { return c->ops.get(c); }
inline std::uint32_t vpixmapCursorGetNext(vpixmapCursor* c) { return c->ops.getNext(c); }
inline std::uint32_t vpixmapCursorGetAt(vpixmapCursor* c, int x, int y) { return c->ops.getAt(c, x, y); }
inline void vpixmapCursorSet(vpixmapCursor* c, std::uint32_t v) { c->ops.set(c, v); }
inline void vpixmapCursorSetNext(vpixmapCursor* c, std::uint32_t v) { c->ops.setNext(c, v); }
inline void vpixmapCursorSetAt(vpixmapCursor* c, int x, int y, std::uint32_t v) { c->ops.setAt(c, x, y, v); }
