// The image editor's colour controls: the foreground/background item with
// its pop-up of every colour the image can hold, and the recent-colour
// item. Both serve one image view, read the edited image and the two
// colour values from it and give the picked value back to it.
//
// Colours here are pixel values of the edited image (see vimged.h); one
// rule turns a value into a display colour for every swatch and cell.
//
// - `vimged_color.h`: the editor's colour controls (`vimged_color.cpp` the colour rule, the
//   foreground/background item and its pop-up window; `vimged_mru.cpp` the recent colours). Every
//   swatch and cell takes its colour from one rule (`vimgedutilsPixelSpec`: the palette entry, black
//   past its end; black and white for one bit; packed RGB otherwise), shared for the fill with
//   deltas 511 and dither 64. The items know their view only as a dialog item and reach it through
//   `vimgedutilsViewOps` (editor, the two values, their setters), so they are tested over a
//   stand-in. The pop-up grabs the pointer while it is open, so the release that opened it may end
//   over any cell; its hover frame is an inverted frame drawn in its draw, and the window is
//   destroyed after the event that closed it. Direct colour images get the 7 x 7 x 7 cube, a cell
//   giving its packed value. Presses count rows from the top's last pixel row, so a cell's bottom
//   row is its own.
#pragma once
#include <cstdint>

#include "fw/gui/graphics/color.h"
#include "fw/gui/graphics/colorlist.h"
#include "fw/gui/window/window.h"
#include "fw/imaging/vimged.h"
#include "fw/widgets/dialog/item.h"

// The colour of a pixel value: the palette entry (black past the palette's
// end), 0 black and 1 white on one-bit images without palette, else the
// packed 0x00RRGGBB word. out is initialised here.
void vimgedutilsPixelSpec(vimage* image, std::uint32_t value, vcolorSpec* out);
// The same, shared for one fill (RGB deltas 511, dither 64); release it.
vcolor* vimgedutilsInternPixelColor(vimage* image, std::uint32_t value);

// What the colour items ask of the image view they are attached to. The
// view's class installs these when it is built; without them the items
// behave as if they had no view.
struct vimgedutilsViewOps {
  vimged* (*editor)(vdialogItem* view);
  std::uint32_t (*foreground)(vdialogItem* view);
  std::uint32_t (*background)(vdialogItem* view);
  void (*setForeground)(vdialogItem* view, std::uint32_t value);
  void (*setBackground)(vdialogItem* view, std::uint32_t value);
};
void vimgedutilsSetViewOps(const vimgedutilsViewOps* ops);

struct vimgedutilsFgBgItem : vdialogItem {
  vdialogItem* view;
  vrect foreground;  // lower right
  vrect background;  // upper left, under the foreground
};

inline constexpr int vimgedutilsMRU_COUNT = 16;
struct vimgedutilsMRUItem : vdialogItem {
  vdialogItem* view;
  std::uint32_t values[vimgedutilsMRU_COUNT];  // 0 oldest, 15 newest
  vrect grid;
  std::int32_t cellWidth, cellHeight;
};

// The record a colour pop-up window carries as its data.
struct vimgedutilsColorPopup {
  std::uint32_t current;  // the value the pop-up opened on
  std::int32_t hover;     // -1 for none
  vcolorList* palette;    // or null
  vimgedutilsFgBgItem* item;
  vdialogItem* view;
  std::int32_t which;  // 1 foreground, 0 background
  std::int32_t cells;
};

vdialogItemClassRec* vimgedutilsGetFgBgItemClass();
vdialogItemClassRec* vimgedutilsGetMRUItemClass();
void vimgedutilsSetFgBgItemView(vdialogItem* item, vdialogItem* view);
void vimgedutilsSetMRUItemView(vdialogItem* item, vdialogItem* view);
void vimgedutilsResetMRUItem(vdialogItem* item);
void vimgedutilsAddMRUColor(vdialogItem* item, std::uint32_t value);

// The pop-up for the foreground (which 1) or background (0) of the item's
// view, placed from a press at (x, y) of the item's window; null when the
// item has no view with an image.
vwindow* vimgedutilsOpenColorPopup(vimgedutilsFgBgItem* item, int which, int x, int y);
vwindowClassRec* vimgedutilsGetColorPopupClass();

// Pop-up geometry: the cells an image offers (palette size, 2 or 343), the
// window rectangle for a press at screen point (x, y) before it is kept on
// the screen, and the cell under a point of the window (-1 for none).
inline constexpr int vimgedutilsCUBE_CELLS = 343;
int vimgedutilsPopupCells(vimage* image);
vrect vimgedutilsPopupRect(int cells, int x, int y);
int vimgedutilsPopupCellAt(int cells, int width, int height, int x, int y);
// The colour cube of direct-colour images: a cell's packed value and the
// cell nearest a packed value.
std::uint32_t vimgedutilsCubeValue(int index);
int vimgedutilsCubeIndex(std::uint32_t value);
// The recent-colour cell under a point of the item, -1 for none.
int vimgedutilsMRUCellAt(const vimgedutilsMRUItem* item, int x, int y);

// ---- Shared by the colour items' files.
// The installed view operations (null when none), and the working image of
// a view's editor (null without view, editor or image).
const vimgedutilsViewOps* _vimgedutilsViewOps();
vimage* _vimgedutilsViewImage(vdialogItem* view);
void _vimgedutilsBuildMRUClass(vdialogItemClassRec* cls);
