// The Windows colour layer: the display's colour mode chosen once, colours
// turned into device pixels (directly in true colour, through level tables
// and ordered dithering otherwise), pens and brushes of colours, and the
// exclusive-or forms of colour pairs. Device pixels are 0x00BBGGRR, or
// 0x01000000 | index on palette devices.
//
// - **Pens**: the state's width, dash, cap and join become one pen (`_vcolorMSWCreatePen`: a
//   geometric pen when wide or dashed) in device pixels (widths and dash lengths through the
//   matrix's scale). GDI has no dash offset: the lengths are rotated to start where the offset
//   falls, a dash cut in two getting a gap of 0 between its halves (a dash of length 0 draws nothing
//   on the platform). Plain one-pixel pens stay the stock or the colour's own; mask mode always
//   takes the stock white pen.
//
// - **The Windows colour layer** (`fw/gui/graphics/colormsw.h`, `colormsw.cpp`, `colormsw_pen.cpp`),
//   started by the window system's palette step: the mode (monochrome with the preference, else true
//   colour on this display), its colour-to-pixel and pixel-to-colour operations, the level tables
//   (luminance 12 x 64 levels with 0-31 black; true colour 1536 rows of 8-bit levels), ordered
//   dithering on the 8 x 8 matrix, and the device form, pen and brush of a colour kept in its ring.
//   Pixmaps and images become device bitmaps (`colormsw_image.cpp`, kept in their ring, also what
//   `vwindowMSWGetImageBitmap` answers) through the index-to-pixel table of a list of up to 256
//   colours shown within 255 units, the level tables pixel by pixel, or Floyd-Steinberg diffusion
//   (two error rows of three sums, 7/3/5/1 sixteenths) when the pixmap is deeper than the device (1
//   bit in monochrome) or its list is not shown closely; a 24-bit pixmap laid out as a
//   device-independent buffer is borrowed in true colour; a one-bit pixmap's bitmap is one-bit.
//   `bitmapmsw.h`: a pixmap as a pixel buffer of its Windows depth (1, 4, 8, 24) with its own colour
//   table (the image's list, else a grey ramp, so that indexes come back exactly), borrowed when
//   depth, row order (row 0 first in memory, as the buffer's bottom row), byte order and 4-byte rows
//   agree; the way back copies whole rows or goes through cursors. The native bitmap kind reads a
//   bitmap back into the pixels when it is the current form (`vpixmapMSWBitmapChanged` after drawing
//   into it). Native cursors and icons (`cursormsw.h`) are two ring kinds that borrow each other's
//   handle (flag 2); one is made from a copy of the image's device bitmap ANDed with its mask's
//   one-bit bitmap (a `WHITENESS` mask without one), the mask inverted for `CreateIconIndirect` (0
//   opaque) and back, with the `GetBitmapBits` and `CreateCursor`/`CreateIcon` form as the fallback.
//   A picture of another size is a copy resized from the bottom left; the hot spot's y counts from
//   the bottom of that copy, so that it stays on the same image pixel. Palette and grey displays,
//   which this platform never reports, are built too (`colormsw_palmode.cpp`,
//   `colormsw_palette.cpp`): the logical palette (static halves, the all-black realize, explicit
//   entries unless "greedymswpalette", the cube with the low-bit flip, free ranges), the lookup
//   table pruned by bisecting planes, the cube's level tables and per-channel ordered dithering (or,
//   without a cube, cells diffused over the cube index tables), exact entries with the realize event
//   (priority 63), exclusive-or groups in blocks of rows of w entries aligned to w (the palette's
//   allocator behind `vcolorCheckXorTable`), and the grey levels over the display's sorted greys.
//   The system palette calls go through `vcolormsw::paletteCalls`, where tests put a palette
//   device's answers; colour forms carry the mode's generation so that a new start-up remakes them.
#pragma once
#include <array>
#include <cstdint>
#include <vector>

#include "fw/gui/graphics/color.h"
#include "platform/win.h"

enum vcolorMSWMode : std::int32_t {
  vcolorMSW_TRUE_COLOR = 0,
  vcolorMSW_PALETTE = 1,
  vcolorMSW_MONOCHROME = 2,
  vcolorMSW_GREY = 3,
};

// Once per process; the window system's start-up calls it. The shutdown
// (an exit procedure) lets a later start-up choose again.
void _vcolorMSWStartup();
void _vcolorMSWShutdown();
vcolorMSWMode vcolorMSWGetMode();

// A channel table of 2^bits rows (a 16-bit component selects row c >> (16 -
// bits)), each row the red, green and blue contributions to a level; the
// level-to-pixel table turns a level into a device pixel (none: the level
// is the pixel).
struct vcolorMSWLevels {
  int bits;
  std::vector<std::array<std::uint32_t, 3>> rows;
  std::vector<win::COLORREF> toPixel;
};
const vcolorMSWLevels& vcolorMSWGetLevels();
std::uint32_t vcolorMSWLevelOf(unsigned red, unsigned green, unsigned blue);
win::COLORREF vcolorMSWLevelPixel(std::uint32_t level);

// The mode's colour-to-pixel and pixel-to-colour operations (16-bit components).
win::COLORREF vcolorMSWColorToPixel(unsigned red, unsigned green, unsigned blue);
void vcolorMSWPixelToColor(win::COLORREF pixel, unsigned* red, unsigned* green, unsigned* blue);

// A dither cell: side 1, 2, 4 or 8, dots row by row from the top.
struct vcolorMSWCell {
  int side;
  win::COLORREF dots[64];
};
// The ordered-dither cell of the description within its deltas; 0 when it
// cannot be dithered within them.
int _vcolorMSWDither(const vcolorSpec* desc, vcolorMSWCell* cell);
// Whether errors (16-bit units) lie within the description's deltas.
int _vcolorMSWWithinDeltas(const vcolorSpec* desc, long er, long eg, long eb);
extern const std::uint8_t vcolorMSWDitherMatrix[8][8];

// The device form of a colour, kept in its ring: a plain pixel, or an 8 x 8
// pattern bitmap for a dithered one.
struct vcolorMSWDeviceForm {
  win::COLORREF pixel;
  win::HBITMAP pattern;  // null for a plain pixel
};
vcolorMSWDeviceForm vcolorMSWGetDeviceForm(vcolor* color);
extern const vsyncRingKind vcolorMSWPixelKind, vcolorMSWPenKind, vcolorMSWBrushKind;

// Pens and brushes, tried three times with recovery ("PEN", "BRUSH").
win::HPEN _vcolorMSWCreatePen(win::COLORREF color, win::DWORD style, win::DWORD fallbackStyle, win::DWORD width,
                              win::DWORD dashCount, const win::DWORD* dashes, win::HBITMAP pattern, int allowFallback);
win::HBRUSH _vcolorMSWCreateBrush(win::HBITMAP pattern, win::COLORREF color);
// The colour's solid or pattern brush and its one-pixel pen, kept in its ring.
win::HBRUSH vcolorMSWGetBrush(vcolor* color);
win::HPEN vcolorMSWGetPen(vcolor* color);

// What drawing in exclusive-or mode combines with: the exclusive-or of two
// plain pixels, else an 8 x 8 bitmap of the first pattern inverted by the
// second (the caller deletes it).
struct vcolorMSWXor {
  win::COLORREF pixel;
  win::HBITMAP pattern;
};
vcolorMSWXor vcolorMSWXorPattern(vcolor* first, vcolor* second);
// 1 when, for every two neighbouring columns, the exclusive-or of their
// pixels is the same in every row of the table (rows x columns colours).
int vcolorCheckXorTable(vcolor** table, int rows, int columns);
// A display driver's own allocation of exclusive-or colour groups.
using vcolorXorAllocator = int (*)(vcolor** table, int rows, int columns);
void vcolorSetXorAllocator(vcolorXorAllocator allocate);

// Realizes the palette into a context when forced or when exact colours
// changed it (a posted realize runs first).
void _vcolorMSWRealizePalette(win::HDC hdc, int force);

// 1 when a change of the display palette cannot alter the colour.
int vcolorMSWIsPaletteStable(vcolor* color);

// ---- Images and pixmaps as device bitmaps.

struct vimage;
struct vpixmap;
struct vwindowMSWBits;
// The device pixels of a pixmap (an image with its colour list) in a new
// buffer of the display's depth, chosen as the description says: the
// index-to-pixel table, the level tables pixel by pixel, or error
// diffusion; a 24-bit pixmap laid out as the buffer is borrowed in true
// colour (the buffer's data is the pixmap's own bytes).
vwindowMSWBits* vcolorMSWPixmapToBits(vpixmap* pixmap);
// The device bitmap of a pixmap, kept in its ring until its pixels change:
// one bit deep for a one-bit pixmap without a colour list.
win::HBITMAP vcolorMSWGetPixmapBitmap(vpixmap* pixmap);
// Whether the pixmap's pixels index a colour list of its own.
bool vcolorMSWHasColorList(vpixmap* pixmap);
extern const vsyncRingKind vcolorMSWBitmapKind;
// Error diffusion of 16-bit RGB triples (rows top first) to device pixels
// through the level tables; the largest error carried, when asked.
void _vcolorMSWDiffuse(const std::uint16_t* rgb, int width, int height, win::COLORREF* out,
                       std::int64_t* largestCarried = nullptr);
