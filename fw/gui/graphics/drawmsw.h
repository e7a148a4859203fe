// The GDI drawing driver: the driver record through which the drawing state
// reaches a window, a native bitmap (an image target), a printer device
// context or a context given by the caller; pens, brushes, fonts and clip
// regions selected into one context, and an off-screen one-bit bitmap for
// what GDI cannot combine itself.
//
// The GDI drawing driver (`drawmsw.h`, `drawmsw.cpp`, `drawmsw_image.cpp`) is the driver record of
// windows (binding flag 8), images (no target flag; the image's native bitmap in a memory DC
// through a drawable binding, a one-bit bitmap for one-bit images, stock white pen and brush with
// flag 0x2000), printers (flag 2, `vdrawBIND_PRINTER`) and DCs the caller gives (flag 0x10,
// `vdrawBIND_DC`). Decisions:
#pragma once
#include <cstdint>

#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/mswdc.h"
#include "platform/win.h"

struct vwindowMSWBits;
struct vpixmap;

// Binding flags of the targets beside vdrawBIND_WINDOW and vdrawBIND_MASK_IMAGE:
// the target is a printer's device context, or a device context the caller
// gives (both HDC).
enum : std::uint16_t { vdrawBIND_PRINTER = 0x2, vdrawBIND_DC = 0x10 };

enum : std::uint32_t {
  vdrawMSW_BORROWED = 0x1,  // the context comes from the window's contexts or the DC cache
  vdrawMSW_PRINTER = 0x2,
  vdrawMSW_GIVEN = 0x8,
  vdrawMSW_IMAGE = 0x10,    // a native bitmap of an image, read back at close
  vdrawMSW_MASK = 0x2000,   // stock white pen and brush
};

// dirty and selected bits.
enum : std::uint16_t {
  vdrawMSW_OWN_PEN = 0x1, vdrawMSW_OWN_BRUSH = 0x2, vdrawMSW_PEN_STALE = 0x4, vdrawMSW_BRUSH_STALE = 0x8,
  vdrawMSW_TEXT_STALE = 0x10, vdrawMSW_ORIGIN_STALE = 0x20, vdrawMSW_PEN_COLOR = 0x40,
};
enum : std::uint16_t {
  vdrawMSW_SEL_PEN = 0x1, vdrawMSW_SEL_BRUSH = 0x2, vdrawMSW_SEL_CLIP = 0x4, vdrawMSW_SEL_FONT = 0x8,
  vdrawMSW_SEL_TEXT = 0x10,
};

// GDI takes at most 16 dash lengths; a dash offset may take two more.
inline constexpr int vdrawMSW_MAX_DASHES = 16;

struct vdrawMSWDevice {
  std::uint32_t flags;
  std::int16_t pageWidth, pageHeight;
  vrect bounds;
  vrect clip;           // the bounds of the clip rectangles, or the clip mask's rectangle
  vrect* clipList;      // several rectangles, else none
  std::int32_t clipCount;
  vrect clipInline;
  vimage* clipMask;
  win::HBITMAP clipMaskBitmap;
  std::int16_t bitsPerPixel;
  vfont* font;
  std::int32_t fontSelected;
  win::HDC hdc;
  win::HPALETTE savedPalette;
  win::HGDIOBJ savedPen, savedBrush, savedFont;
  vwindow* window;
  vimage* image;
  vwindowMSWDrawable drawable;
  std::int32_t offscreen;  // text is composited through a mask
  std::int32_t drawMode;   // ROP2, 1 to 16
  std::int32_t stateMode;  // the state's draw mode
  vcolor* color;
  win::COLORREF rgb;
  win::HBITMAP pattern;  // the colour's, or an owned exclusive-or pattern
  std::int32_t ownPattern;
  win::HPEN pen;
  win::HBRUSH brush;
  std::uint16_t dirty, selected;
  std::int32_t brushX, brushY;
  double fontScale;        // device pixels of a font's screen pixel: LOGPIXELSY / 72 on printers
  win::HFONT scaledFont;   // the current font made at that scale, owned
  std::int32_t penWidth;   // the pen description in device pixels
  win::DWORD penStyle;     // PS_USERSTYLE when dashed, end cap and join
  std::int32_t penDashCount;
  win::DWORD penDashes[vdrawMSW_MAX_DASHES];
  win::HRGN clipRegion;
  vdrawDeviceTransform transform;
};

extern const vdrawDriverRecord vdrawMSWDriver;

// Tests: each operation as it reaches the driver ("open", "close", "clip",
// "fill", "frame", "show", "image", "mask", ...), with its device
// rectangles, text or count, and the page height that turns them back.
struct vdrawMSWTraceCall {
  const char* operation;
  const vrect* rects;
  int count;
  const char* text;  // show: the characters (count of them)
  int value;         // open: the binding flags; polygons: the points; clipToMask: x
  int value2;        // clipToMask: y
  int pageHeight;
};
using vdrawMSWTrace = void (*)(const vdrawMSWTraceCall& call);
void _vdrawMSWSetTrace(vdrawMSWTrace trace);
void _vdrawMSWTraceCall(const vdrawMSWDevice* d, const char* operation, const vrect* rects = nullptr, int count = 0,
                        const char* text = nullptr, int value = 0, int value2 = 0);

// The world-transform policy: (transform to image, printer, further) ->
// accepted. The default accepts for printers or the further flag.
using vdrawMSWWorldPolicy = int (*)(const vdrawDeviceTransform* t, int printer, int further);
void vdrawMSWSetWorldPolicy(vdrawMSWWorldPolicy policy);
vdrawMSWWorldPolicy vdrawMSWGetWorldPolicy();

// The ternary raster operations of a binary one: the pattern's (PatBlt) and
// the one painting the pattern where a source bit is 1 (the mask blit).
win::DWORD vdrawMSWPatternRop(int rop2);
win::DWORD vdrawMSWMaskRop(int rop2);
// The binary raster operation of a draw mode 0-15 (16 and 17: exclusive-or).
int vdrawMSWRop2(int drawMode);

// Source where the mask is 1, destination where it is 0; emulated with four
// blits when MaskBlt refuses (or always, when forced, for tests).
void vdrawMSWMaskedBlit(win::HDC src, win::HBITMAP mask, win::HDC dst, int sx, int sy, int mx, int my, int dx, int dy,
                        int width, int height);
void _vdrawMSWForceMaskBltEmulation(int on);

// Images and masks (drawmsw_image.cpp).
void _vdrawMSWDrawImage(void* data, vimage* image, const vdrawDeviceTransform* t);
void _vdrawMSWDrawMask(void* data, vimage* mask, const vdrawDeviceTransform* t);
// Paints the current colour through a one-bit bitmap held by maskDc at
// (mx, my) onto the box (x, y, w, h).
void _vdrawMSWPaintThrough(vdrawMSWDevice* d, win::HDC maskDc, win::HBITMAP mask, int mx, int my, int x, int y, int w,
                           int h);
void _vdrawMSWSyncBrush(vdrawMSWDevice* d);
// One-bit native bitmap of a one-bit image (1 where the pixel is non-zero);
// the caller deletes it.
win::HBITMAP _vdrawMSWMaskBitmap(vimage* mask);
// An image of a bitmap's pixels that leaves the bitmap to the caller.
vimage* _vdrawMSWImageOfBitmap(win::HBITMAP bitmap);

// Printing's image path: pixels (or, without, the current brush) limited
// to what the masks admit. A mask: a one-bit image with the destination's
// offset in it.
struct vdrawMSWPrintMask {
  vpixmap* pixmap;  // none: admits everything
  int x, y;
};
void _vdrawMSWPrintImage(vdrawMSWDevice* d, vwindowMSWBits* bits, const vdrawMSWPrintMask* masks, int maskCount,
                         const vrect& source, const vrect& dest);
