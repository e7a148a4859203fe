// The palette editor's swatch grid: sixteen 17-pixel cells to a row, row 0
// along the top; a press, drag and release select a range of entries, a
// double click on one picks its colour.
#include <algorithm>

#include "fw/core/ex.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/graphics/rect.h"
#include "fw/gui/window/mswbits.h"
#include "fw/gui/window/window_event.h"
#include "fw/imaging/vpaled_internal.h"

namespace {

vdialogItemClassRec* super() { return vdialogItemGetDefaultClass(); }
std::int16_t s16(int v) { return std::int16_t(std::clamp(v, -32768, 32767)); }

void redraw(vdialogItem* grid) {
  if (grid->flags & vdialogItemOPEN) vdialogInvalItem(grid, 0);
}

// Paints the swatches into the editor's image of the grid's size.
void paintSwatches(vpaled* p, vdialogItem* grid, const vrect& g) {
  if (p->swatches && (p->swatches->width != g.width || p->swatches->height != g.height)) {
    vimageDestroy(p->swatches);
    p->swatches = nullptr;
  }
  if (!p->swatches) p->swatches = vwindowCreateDisplayImage(std::max<int>(g.width, 1), std::max<int>(g.height, 1));
  vdrawGSave();
  vexGuard(
      [&] {
        vdrawBindImage(p->swatches, 0);
        vdrawSetColor(vdialogGetItemColor(grid, 2));
        vdrawRectFill(0, 0, g.width, g.height);
        vdrawSetLineWidth(1);
        vdrawSetColor(vcolorGetBlack());
        vdrawRectFrame(0, 0, g.width, g.height);
        for (std::uint32_t i = 0; p->working && i < p->working->count; ++i) {
          vcolorSpec spec;
          vcolorCopyInitSpec(&p->working->entries[i], &spec);
          vcolorSetSpecRGBDelta(&spec, 511, 511, 511);
          vcolorSetSpecMaxDotDither(&spec, 64);
          vcolor* c = vcolorInternSpec(&spec);
          vcolorDestroySpec(&spec);
          vdrawSetColor(c);
          vdrawRectFill(1 + int(i % 16) * 17, g.height - 17 - int(i / 16) * 17, 16, 16);
          vcolorRelease(c);
        }
      },
      [&](vexHandler&) {
        vdrawGRestore();
        _vexGenerate(nullptr, vexEnd);
      });
  vdrawGRestore();
}

void draw(vdialogItem* grid) {
  vpaled* p = _vpaledOfGrid(grid);
  vrect g = _vpaledGridRect(grid);
  if (!p || g.width <= 0 || g.height <= 0) return;
  paintSwatches(p, grid, g);
  vdrawGSave();
  vdrawPathMoveTo(g.x, g.y);
  vdrawImage(p->swatches);
  // Exclusive-or: the frame shows on every swatch colour.
  vrect frames[17];
  int n = _vpaledSelectionFrames(grid, p->first, p->last, frames, 17);
  // Inside the list's own frame: an exclusive-or over it would wipe it out.
  vrect inside{s16(g.x + 1), s16(g.y + 1), s16(g.width - 2), s16(g.height - 2)};
  vdrawClipRects(&inside, 1);
  vdrawSetDrawMode(6);
  vdrawSetLineWidth(1);
  vdrawSetColor(vdialogGetItemColor(grid, 2));
  if (n > 0) vdrawRectsFrame(frames, n);
  vdrawGRestore();
}

int count(vpaled* p) { return p && p->working ? int(p->working->count) : 0; }

void track(vdialogItem* grid, vevent* e, bool press) {
  vpaled* p = _vpaledOfGrid(grid);
  if (!p || !count(p)) return;
  int i = _vpaledGridIndexAt(grid, count(p), veventGetX(e), veventGetY(e));
  if (press) p->anchor = i;
  p->current = i;
  p->first = std::min(p->anchor, p->current);
  p->last = std::max(p->anchor, p->current);
  redraw(grid);
}

int buttonDown(vdialogItem* grid, vevent* e) {
  track(grid, e, true);
  return 1;
}

int dragged(vdialogItem* grid, vevent* e) {
  track(grid, e, false);
  return 1;
}

int buttonUp(vdialogItem* grid, vevent* e) {
  vpaled* p = _vpaledOfGrid(grid);
  track(grid, e, false);
  if (!p) return 1;
  _vpaledUpdateButtons(p);
  if (veventGetClickCount(e) >= 2 && p->first == p->last) vpaledDo(p, "PickBtn");
  return 1;
}

}  // namespace

vdialogItemClassRec* _vpaledBuildGridClass() {
  auto* c = vclassSpawnOf<vdialogItemClassRec>(super());
  vclassSetName(c, vscribeLiteral("vpaledSwatchGrid"));
  c->draw = draw;
  c->buttonDown = buttonDown;
  c->drag = dragged;
  c->buttonUp = buttonUp;
  return c;
}

vpaled* _vpaledOfGrid(const vdialogItem* grid) { return reinterpret_cast<vpaled*>(grid->data); }

vrect _vpaledGridRect(const vdialogItem* grid) {
  vrect g;
  vrectInset(&grid->rect, 1, 1, &g);
  return g;
}

int _vpaledGridIndexAt(const vdialogItem* grid, int count, int x, int y) {
  vrect g = _vpaledGridRect(grid);
  int column = std::clamp((x - g.x) / 17, 0, 15);
  // From the top's last pixel row: a swatch's bottom row stays its own.
  int row = std::max((g.y + g.height - 1 - y) / 17, 0);
  return std::clamp(row * 16 + column, 0, std::max(count - 1, 0));
}

vrect _vpaledSwatchRect(const vdialogItem* grid, int i) {
  vrect g = _vpaledGridRect(grid);
  return {s16(g.x + 1 + i % 16 * 17), s16(g.y + g.height - 17 - i / 16 * 17), 16, 16};
}

int _vpaledSelectionFrames(const vdialogItem* grid, int first, int last, vrect* out, int capacity) {
  if (first < 0 || last < first) return 0;
  vrect g = _vpaledGridRect(grid);
  int n = 0;
  for (int row = first / 16; row <= last / 16 && n < capacity; ++row) {
    int a = row == first / 16 ? first % 16 : 0, b = row == last / 16 ? last % 16 : 15;
    out[n++] = {s16(g.x + a * 17), s16(g.y + g.height - 18 - row * 17), s16((b - a) * 17 + 18), 18};
  }
  return n;
}
