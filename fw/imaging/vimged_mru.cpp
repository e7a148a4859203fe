// The recent-colour item: sixteen pixel values in a grid two cells wide,
// hanging from the item's top; a press picks one as the view's foreground,
// or with the menu binding or Control as its background.
#include <algorithm>

#include "fw/core/name.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/graphics/rect.h"
#include "fw/gui/window/window_event.h"
#include "fw/imaging/vimged_color.h"

namespace {

constexpr std::uint32_t kDeepDefaults[15] = {0x0000FF, 0x00FF00, 0x00FFFF, 0xFF0000, 0xFF00FF,
                                             0xFFFF00, 0xFFFFFF, 0xC0C0C0, 0xDC9E9E, 0x9EDC9E,
                                             0xB5B569, 0x9E9EDC, 0xB569B5, 0x69B5B5, 0xC9C9C9};

std::int16_t s16(int v) { return std::int16_t(std::clamp(v, -32768, 32767)); }
vdialogItemClassRec* super() { return vdialogItemGetDefaultClass(); }
vimgedutilsMRUItem* asMRU(vinstance* o) { return static_cast<vimgedutilsMRUItem*>(o); }

void layout(vimgedutilsMRUItem* item) {
  const vrect& r = item->rect;
  item->cellWidth = (r.width - 2) / 2;
  item->cellHeight = (r.height - 2) / 8;
  int gw = 2 * item->cellWidth + 2, gh = 8 * item->cellHeight + 2;
  item->grid = {r.x, s16(r.y + r.height - gh), s16(gw), s16(gh)};
}

vrect inner(const vimgedutilsMRUItem* item) {
  vrect in;
  vrectInset(&item->grid, 1, 1, &in);
  return in;
}

// How many cells hold a usable colour.
int usableCells(vimage* image) {
  if (!(image->flags & vimageNO_PALETTE)) return int(vimageGetPalette(image)->count);
  return image->depth == 1 ? 2 : vimgedutilsMRU_COUNT;
}

void init(vinstance* self) {
  super()->init(self);
  vimgedutilsMRUItem* item = asMRU(self);
  item->view = nullptr;
  layout(item);
  vimgedutilsResetMRUItem(item);
}

void setRect(vdialogItem* self, const vrect* rect) {
  super()->setRect(self, rect);
  layout(asMRU(self));
}

void open(vdialogItem* self) {
  super()->open(self);
  vrect r = self->rect;
  vdialogItemClassOf(self)->setRect(self, &r);
}

void draw(vdialogItem* self) {
  vimgedutilsMRUItem* item = asMRU(self);
  vdrawGSave();
  vdrawSetLineWidth(1);
  vdrawRectsFrame(&item->grid, 1);
  if (vimage* image = _vimgedutilsViewImage(item->view)) {
    int count = usableCells(image);
    vrect in = inner(item);
    int cw = item->cellWidth, ch = item->cellHeight;
    bool mono = (image->flags & vimageNO_PALETTE) && image->depth == 1;
    vcolor* scheme = vdialogGetItemColor(self, 2);
    for (int i = 0; i < vimgedutilsMRU_COUNT; ++i) {
      int x = in.x + i % 2 * cw, y = in.y + in.height - (i / 2 + 1) * ch;
      if (i < count) {
        vcolor* c = vimgedutilsInternPixelColor(image, mono ? std::uint32_t(i) : item->values[i]);
        vdrawSetColor(c);
        vdrawRectFill(x, y, cw, ch);
        vcolorRelease(c);
      } else {
        vdrawSetColor(scheme);
        vdrawRectFill(x, y, cw, ch);
      }
    }
    vdrawSetColor(scheme);
    int rows = std::clamp((count + 1) / 2, 1, 7);
    for (int r = 1; r <= rows; ++r) {
      int y = in.y + in.height - r * ch;
      vdrawPathMoveTo(in.x, y);
      vdrawLineTo(in.x + in.width, y);
      vdrawStroke();
    }
    int down = std::max(std::min((count + 1) / 2 * ch, int(in.height)), ch);
    int mid = in.x + in.width / 2, top = in.y + in.height;
    vdrawPathMoveTo(mid, top);
    vdrawLineTo(mid, top - down);
    vdrawStroke();
  }
  vdrawGRestore();
}

int buttonDown(vdialogItem* self, vevent* e) {
  vimgedutilsMRUItem* item = asMRU(self);
  vimage* image = _vimgedutilsViewImage(item->view);
  if (!image) return 1;
  int index = vimgedutilsMRUCellAt(item, veventGetX(e), veventGetY(e));
  if (index < 0 || index >= usableCells(image)) return 1;
  const vimgedutilsViewOps* ops = _vimgedutilsViewOps();
  bool background = veventGetBinding(e) == vnameInternLiteral("Menu") ||
                    (veventGetModifiers(e) & (veventMOD_CONTROL | veventMOD_COMMAND));
  (background ? ops->setBackground : ops->setForeground)(item->view, item->values[index]);
  return 1;
}

}  // namespace

void _vimgedutilsBuildMRUClass(vdialogItemClassRec* c) {
  c->init = init;
  c->draw = draw;
  c->buttonDown = buttonDown;
  c->setRect = setRect;
  c->open = open;
}

int vimgedutilsMRUCellAt(const vimgedutilsMRUItem* item, int x, int y) {
  // Cells under two pixels (an item under 4 x 10) take no press.
  if (item->cellWidth <= 0 || item->cellHeight <= 0) return -1;
  vrect in = inner(item);
  if (!vrectContainsPoint(&in, x, y)) return -1;
  // Counted from the top's last pixel row, so the bottom row stays row 7.
  int index = (x - in.x) / item->cellWidth + (in.y + in.height - 1 - y) / item->cellHeight * 2;
  return index < vimgedutilsMRU_COUNT ? index : -1;
}

void vimgedutilsSetMRUItemView(vdialogItem* item, vdialogItem* view) {
  asMRU(item)->view = view;
  if (item->flags & vdialogItemOPEN) vdialogInvalItem(item, 0);
}

void vimgedutilsResetMRUItem(vdialogItem* self) {
  vimgedutilsMRUItem* item = asMRU(self);
  vimage* image = _vimgedutilsViewImage(item->view);
  if (image && (image->flags & vimageNO_PALETTE)) {
    item->values[0] = 0;
    if (image->depth == 1) item->values[1] = 1;
    else std::copy(std::begin(kDeepDefaults), std::end(kDeepDefaults), item->values + 1);
  } else {
    for (int i = 0; i < vimgedutilsMRU_COUNT; ++i) item->values[i] = std::uint32_t(i);
  }
  if (item->flags & vdialogItemOPEN) vdialogInvalItem(item, 0);
}

void vimgedutilsAddMRUColor(vdialogItem* self, std::uint32_t value) {
  vimgedutilsMRUItem* item = asMRU(self);
  if (std::find(std::begin(item->values), std::end(item->values), value) != std::end(item->values)) return;
  std::copy(item->values + 1, item->values + vimgedutilsMRU_COUNT, item->values);
  item->values[vimgedutilsMRU_COUNT - 1] = value;
  if (item->flags & vdialogItemOPEN) vdialogInvalItem(item, 1);
}
