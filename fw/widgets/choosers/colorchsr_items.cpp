// The colour chooser's own items: the model label as wide as the widest
// model label, the swatch (accepted colour above, working colour below),
// the panel containers and the hidden panel place, the wheel item, the
// ramp sliders, the numeric fields and the strip of user colours.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "fw/core/class.h"
#include "fw/core/ex.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/graphics/rect.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/mswbits.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/choosers/colorchsr.h"
#include "fw/widgets/choosers/colorchsr_scale.h"
#include "fw/widgets/dialog/container.h"
#include "fw/widgets/dialog/itemlist.h"

namespace S = vcolorchsrScale;

namespace {

struct Classes {
  vdialogItemClassRec* label;
  vdialogItemClassRec* swatch;
  vcontainerClassRec* panel;
  vcontainerClassRec* place;
  vdialogItemClassRec* wheel;
  vcontrolClassRec* ramp;
  vtextitemClassRec* field;
  vdialogItemClassRec* userColors;
} classes;

std::int16_t s16(int v) { return std::int16_t(v); }

// Fills a rectangle with a colour spec (interned for the fill).
void fillWith(const vcolorSpec* spec, int x, int y, int w, int h) {
  if (w <= 0 || h <= 0) return;
  vcolor* color = vcolorInternSpec(spec);
  vdrawSetColor(color);
  vdrawRectFill(x, y, w, h);
  vcolorRelease(color);
}
void frame(int x, int y, int w, int h) {
  vrect r{s16(x), s16(y), s16(w), s16(h)};
  vdrawRectsFrame(&r, 1);
}
void stroke(int x1, int y1, int x2, int y2) {
  vdrawPathMoveTo(x1, y1);
  vdrawLineTo(x2, y2);
  vdrawStroke();
}

// ---- The model label: never narrower than the widest model label.
void labelNaturalSize(vdialogItem* item, int* width, int* height) {
  vdialogLabelItemGetDefaultClass()->naturalSize(item, width, height);
  vfont* font = vdialogDetermineItemFont(item);
  if (!font) return;
  for (int i = 0; i < 12; ++i) {
    std::string s = _vcolorchsrModelLabel(i);
    vfixed w = vfontGetCharsWidth(font, s.c_str(), int(s.size()));
    *width = std::max(*width, int((std::int64_t(w) + 0x8000) >> 16));
  }
}

// ---- The swatch.
vrect swatchInner(const vdialogItem* item) {
  vrect r;
  vrectInset(&item->rect, 1, 1, &r);
  return r;
}
void swatchDraw(vdialogItem* item) {
  vcolorchsr* c = _vcolorchsrOf(item);
  vdrawSetLineWidth(1.0);
  vdrawSetColor(vdialogGetItemColor(item, 0));
  frame(item->rect.x, item->rect.y, item->rect.width, item->rect.height);
  if (!c) return;
  vrect r = swatchInner(item);
  int upper = r.height / 2 + 1;
  fillWith(&c->working, r.x, r.y, r.width, r.height - upper);
  fillWith(&c->accepted, r.x, r.y + r.height - upper, r.width, upper);
}
int swatchPress(vdialogItem* item, vevent* e) {
  vcolorchsr* c = _vcolorchsrOf(item);
  vrect r = swatchInner(item);
  int half = r.height / 2;
  vrect upper{r.x, s16(r.y + r.height - half), r.width, s16(half)};
  if (!c || !vrectContainsPoint(&upper, veventGetX(e), veventGetY(e))) return 1;
  vcolorCopySpec(&c->accepted, &c->working);
  _vcolorchsrRefresh(c);
  _vcolorchsrRedraw(item);
  return 1;
}

// ---- The panel place: it only reserves the panels' room.
void placeSetRect(vdialogItem* item, const vrect* rect) {
  vcontainerGetDefaultClass()->setRect(item, rect);
  if (vcolorchsr* c = _vcolorchsrOf(item))
    for (vdialogItem* p : {c->tolerancePanel, c->wheelPanel, c->namePanel})
      if (p) vdialogSetItemRect(p, rect);
}
void placeNaturalSize(vdialogItem* item, int* width, int* height) {
  *width = *height = 0;
  vcolorchsr* c = _vcolorchsrOf(item);
  if (!c) return vcontainerGetDefaultClass()->naturalSize(item, width, height);
  for (vdialogItem* p : {c->tolerancePanel, c->wheelPanel, c->namePanel}) {
    if (!p) continue;
    int w = 0, h = 0;
    vdialogGetItemNaturalSize(p, &w, &h);
    *width = std::max(*width, w), *height = std::max(*height, h);
  }
}

// ---- The wheel item.
void wheelDraw(vdialogItem* item) {
  vcolorchsr* c = _vcolorchsrOf(item);
  if (!c) return;
  vrect sq = _vcolorchsrWheelSquare(item);
  bool plane = c->model == vcolorchsrRGB || c->model == vcolorchsrCMY;
  vimage* image = plane ? c->planeImage : c->wheelImage;
  if (image) {
    vdrawPathMoveTo(sq.x, sq.y);
    vdrawImage(image);
  }
  if (!vdialogItemIsEnabled(item) || sq.width <= 0) return;
  int px = 0, py = 0;
  if (plane) {
    int ax = 0, ay = 0, third = 0;
    _vcolorchsrPlaneAxes(c->plane, &ax, &ay, &third);
    unsigned comp[3];
    _vcolorchsrComponents(c, comp);
    px = sq.x + int(std::int64_t(comp[ax]) * sq.width / 65535);
    py = sq.y + int(std::int64_t(comp[ay]) * sq.width / 65535);
  } else {
    int side = sq.width - 6;
    double theta = vcolorGetSpecHue(&c->working) * double(0.005493248f) * double(0.017453292f);
    double rho = vcolorGetSpecSaturation(&c->working) * (1.0 / 65535) * side * 0.5;
    px = sq.x + 3 + side / 2 + int(rho * std::cos(theta));
    py = sq.y + 3 + side / 2 + int(rho * std::sin(theta));
  }
  vdrawSetLineWidth(1.0);
  vdrawSetColor(vdialogGetItemColor(item, 0));
  stroke(px + 1, py, px + 4, py);
  stroke(px - 1, py, px - 4, py);
  stroke(px, py + 1, px, py + 4);
  stroke(px, py - 1, px, py - 4);
}
int wheelPointer(vdialogItem* item, vevent* e, int type) {
  vcolorchsr* c = _vcolorchsrOf(item);
  if (!c) return 0;
  return _vcolorchsrWheelPointer(c, veventGetX(e), veventGetY(e), type);
}
int wheelPress(vdialogItem* item, vevent* e) { return wheelPointer(item, e, veventBUTTON_DOWN); }
int wheelDrag(vdialogItem* item, vevent* e) { return wheelPointer(item, e, veventPOINTER_DRAG); }
int wheelRelease(vdialogItem* item, vevent* e) { return wheelPointer(item, e, veventBUTTON_UP); }
void wheelSetRect(vdialogItem* item, const vrect* rect) {
  vdialogItemGetDefaultClass()->setRect(item, rect);
  vcolorchsr* c = _vcolorchsrOf(item);
  if (!c || !c->wheelImage) return;
  int side = std::min<int>(rect->width, rect->height);
  if (side > 0 && side != c->wheelImage->width) {
    vimageDestroy(c->wheelImage);
    c->wheelImage = vwindowCreateDisplayImage(side, side);
    vpixmapSetSize(c->planeImage, side, side, 0, 0);
    _vcolorchsrBuildPlanePixels(c);
  }
  _vcolorchsrDrawWheelImage(c);
}
// The wheel image holds the item's colours: a change of one draws it anew.
bool colorAttribute(vobject* item, vname name) {
  vdict* table = vobjectAttributedOf(item)->attributes;
  if (!table || !vdictHas(table, name)) return false;
  int index = int(vdictGetInteger(table, name));
  return index >= vdialogItemA_FOREGROUND && index <= vdialogItemA_SCHEME;
}
void wheelColorsChanged(vobject* item) {
  vcolorchsr* c = _vcolorchsrOf(static_cast<vdialogItem*>(item));
  if (!c || c->model == vcolorchsrRGB || c->model == vcolorchsrCMY) return;
  _vcolorchsrDrawWheelImage(c);
  _vcolorchsrRedraw(c->wheel);
}
void wheelSend(vobject* item, vname name, vdict* arguments) {
  vdialogItemGetDefaultClass()->send(item, name, arguments);
  if (colorAttribute(item, name)) wheelColorsChanged(item);
}
void wheelInherited(vobject* item, vname name, vdict* arguments) {
  vdialogItemGetDefaultClass()->reserved8(item, name, arguments);
  if (colorAttribute(item, name)) wheelColorsChanged(item);
}

// ---- Ramp sliders: a strip of 30 colours between arrow thumbs.
void arrowSize(int* aw, int* ah) {
  vimage* top = _vcolorchsrArrow(0);
  *aw = top ? top->width : 7;
  *ah = top ? top->height : 4;
}
int rampIndex(vcolorchsr* c, const vdialogItem* item) {
  for (int i = 0; i < 3; ++i)
    if (c->sliders[i] == item) return i;
  return -1;
}
vrect rampTrack(const vcontrol* ramp) {
  int aw = 0, ah = 0;
  arrowSize(&aw, &ah);
  vrect t;
  vrectInset(&ramp->rect, aw - 1, ah - 1, &t);
  return t;
}
vrect rampThumb(const vcontrol* ramp) {
  int aw = 0, ah = 0;
  arrowSize(&aw, &ah);
  vrect t = rampTrack(ramp);
  int max = std::max(ramp->max, 1);
  int left = t.x + int((t.width - 1) / double(max) * ramp->value - aw / 2);
  return {s16(left), t.y, s16(aw), t.height};
}
void rampDraw(vdialogItem* item) {
  auto* ramp = static_cast<vcontrol*>(item);
  vcolorchsr* c = _vcolorchsrOf(item);
  int aw = 0, ah = 0;
  arrowSize(&aw, &ah);
  vdrawSetLineWidth(1.0);
  vrect f;
  vrectInset(&item->rect, aw, ah, &f);
  vdrawSetColor(c ? _vcolorchsrBackground(c) : vdialogGetItemColor(item, 2));
  vdrawRectFill(item->rect.x, item->rect.y, item->rect.width, item->rect.height);
  vdrawSetColor(vdialogGetItemColor(item, 0));
  frame(f.x, f.y, f.width, f.height);
  if (!vdialogItemIsEnabled(item)) return;
  int index = c ? rampIndex(c, item) : -1;
  if (index >= 0 && c->rampImages[index]) {
    vdrawPathMoveTo(f.x + 1, f.y + 1);
    vdrawImage(c->rampImages[index]);
  }
  vrect th = rampThumb(ramp);
  if (vimage* top = _vcolorchsrArrow(0)) {
    vdrawPathMoveTo(th.x, th.y + th.height - top->height);
    vdrawImage(top);
  }
  if (vimage* bottom = _vcolorchsrArrow(1)) {
    vdrawPathMoveTo(th.x, th.y);
    vdrawImage(bottom);
  }
}
int rampTrackPointer(vdialogItem* item, vevent* e) {
  auto* ramp = static_cast<vcontrol*>(item);
  vcolorchsr* c = _vcolorchsrOf(item);
  vrect t = rampTrack(ramp);
  int x = std::clamp(veventGetX(e), int(t.x), t.x + std::max(t.width - 1, 0));
  int value = S::rampTrack(x, t.x, t.width, ramp->max);
  if (vcontrolClampValue(ramp, value)) _vcolorchsrRedraw(item);
  if (c) {
    int index = rampIndex(c, item);
    if (index >= 0) _vcolorchsrSliderMoved(c, index);
  }
  return 1;
}
void rampSetValue(vcontrol* ramp, std::int32_t value) {
  if (vcontrolClampValue(ramp, value)) _vcolorchsrRedraw(ramp);
}
void rampSetRect(vdialogItem* item, const vrect* rect) {
  vcontrolGetDefaultClass()->setRect(item, rect);
  vcolorchsr* c = _vcolorchsrOf(item);
  int index = c ? rampIndex(c, item) : -1;
  if (index < 0) return;
  int aw = 0, ah = 0;
  arrowSize(&aw, &ah);
  int w = std::max(1, rect->width - 2 * (aw + 1)), h = std::max(1, rect->height - 2 * (ah + 1));
  vimage*& image = c->rampImages[index];
  if (image && image->width == w && image->height == h) return;
  if (!image) image = vimageCreateSized(w, h, 30);
  else vpixmapSetSize(image, w, h, 0, 0);
  _vcolorchsrBuildRampPixels(image);
  _vcolorchsrRedrawRamps(c, -1);
}
void rampCopyInit(vobject* from, vobject* to) {
  vcontrolGetDefaultClass()->copyInit(from, to);
  auto* ramp = static_cast<vcontrol*>(to);
  ramp->min = 0, ramp->max = S::kSliderMax, ramp->value = 0, ramp->view = 0;
}

// ---- Numeric fields.
void fieldNotify(vtextview* view, vevent*, int reason) {
  if (reason != 3) return;
  vcolorchsr* c = _vcolorchsrOf(view);
  if (!c) return;
  if (c->leftField == view) c->leftField = nullptr;
  for (int i = 0; i < 3; ++i)
    if (c->fields[i] == view) return _vcolorchsrFieldCommitted(c, i);
  _vcolorchsrToleranceCommitted(c, view);
}
int fieldKey(vdialogItem* item, vevent* e) {
  int ch = veventGetCharacter(e);
  if (ch >= 0x20 && ch != 0x7F && !S::fieldAccepts(std::string(1, char(ch)))) {
    vwindowBeep();
    return 1;
  }
  return vtextitemGetDefaultClass()->keyDown(item, e);
}
void fieldNaturalSize(vdialogItem* item, int* width, int* height) {
  vtextitemGetDefaultClass()->naturalSize(item, width, height);
  if (vfont* font = vdialogDetermineItemFont(item))
    *width = int((std::int64_t(vfontGetCharsWidth(font, "999.99", 6)) + 0x8000) >> 16) + 10;
}
// A press on OK or Apply takes the focus first: the field remembers that
// it was left so that the accept step still commits what was typed.
void fieldUnfocus(vdialogItem* item) {
  vtextitemGetDefaultClass()->unfocus(item);
  if (vcolorchsr* c = _vcolorchsrOf(item)) c->leftField = static_cast<vtextitem*>(item);
}
void fieldCopyInit(vobject* from, vobject* to) {
  vtextitemGetDefaultClass()->copyInit(from, to);
  static_cast<vtextview*>(to)->notify = fieldNotify;
}

// ---- The user colours' strip.
struct UserColors : vdialogItem {
  std::int32_t selected;
  std::int32_t cellWidth;
  vrect strip;
};
UserColors* asU(vinstance* o) { return static_cast<UserColors*>(o); }
void userLayout(UserColors* u) {
  u->cellWidth = S::userCellWidth(u->rect.width);
  u->strip = {u->rect.x, u->rect.y, s16(vcolorchsrUSER_COLORS * u->cellWidth + 4), u->rect.height};
}
vrect userCells(UserColors* u) {
  vrect r;
  vrectInset(&u->strip, 2, 2, &r);
  return r;
}
void userDraw(vdialogItem* item) {
  UserColors* u = asU(item);
  userLayout(u);
  if (u->cellWidth <= 0) return;
  vdrawSetLineWidth(0);
  vdrawSetColor(vdialogGetItemColor(item, 0));
  if (item->flags & vdialogItemFOCUSED) frame(u->strip.x, u->strip.y, u->strip.width, u->strip.height);
  else frame(u->strip.x + 1, u->strip.y + 1, u->strip.width - 2, u->strip.height - 2);
  vrect cells = userCells(u);
  const vcolorSpec* user = _vcolorchsrUserColors();
  for (int i = 0; i < vcolorchsrUSER_COLORS; ++i)
    fillWith(&user[i], cells.x + i * u->cellWidth, cells.y, u->cellWidth, cells.height);
  vdrawSetColor(vdialogGetItemColor(item, 0));
  for (int i = 1; i < vcolorchsrUSER_COLORS; ++i)
    stroke(cells.x + i * u->cellWidth, cells.y, cells.x + i * u->cellWidth, cells.y + cells.height - 1);
  int sel = std::clamp(u->selected, 0, vcolorchsrUSER_COLORS - 1);
  int m = std::min(u->cellWidth, int(cells.height)) / 4;
  int cx = cells.x + sel * u->cellWidth + u->cellWidth / 2, cy = cells.y + cells.height / 2;
  vdrawSetColor(vcolorGetSpecLightness(&user[sel]) < 32768 ? vcolorGetWhite() : vcolorGetBlack());
  stroke(cx, cy - m, cx, cy + m);
  stroke(cx - m, cy, cx + m, cy);
  stroke(cx - (m - 1), cy - (m - 1), cx + (m - 1), cy + (m - 1));
  stroke(cx - (m - 1), cy + (m - 1), cx + (m - 1), cy - (m - 1));
}
void userDrawFocus(vdialogItem* item) {
  UserColors* u = asU(item);
  userLayout(u);
  vdrawSetLineWidth(0);
  vdrawSetColor(vdialogGetItemColor(item, 18));
  frame(u->strip.x, u->strip.y, u->strip.width, u->strip.height);
}
int userPress(vdialogItem* item, vevent* e) {
  UserColors* u = asU(item);
  userLayout(u);
  vcolorchsr* c = _vcolorchsrOf(item);
  vrect cells = userCells(u);
  int x = veventGetX(e), y = veventGetY(e);
  if (u->cellWidth <= 0 || !vrectContainsPoint(&cells, x, y)) return 1;
  int index = std::min((x - cells.x) / u->cellWidth, vcolorchsrUSER_COLORS - 1);
  if (index != u->selected) {
    u->selected = index;
    _vcolorchsrRedraw(item);
  }
  if (!c) return 1;
  if (veventGetModifiers(e) & veventMOD_CONTROL) {
    vcolorchsrSetUserColor(c, index, &c->working);
  } else if (veventGetClickCount(e) > 1) {
    vcolorCopySpec(&_vcolorchsrUserColors()[index], &c->working);
    _vcolorchsrRefresh(c);
    _vcolorchsrRedraw(c->swatch);
  }
  return 1;
}
int userIssue(vobject* self, int selector, vdict* context) {
  UserColors* u = asU(self);
  if (selector == 10 || selector == 11) {
    int n = vcolorchsrUSER_COLORS;
    u->selected = (u->selected + (selector == 10 ? n - 1 : 1)) % n;
    _vcolorchsrRedraw(u);
    return 1;
  }
  return vdialogItemGetDefaultClass()->issueSelector(self, selector, context);
}
void userCopyInit(vobject* from, vobject* to) {
  vdialogItemGetDefaultClass()->copyInit(from, to);
  UserColors* u = asU(to);
  u->selected = vclassIsSubclass(from->cls, classes.userColors) ? asU(from)->selected : 0;
  u->cellWidth = 0;
  u->strip = {};
}

template <typename Rec>
Rec* spawn(vclass* super, const char* name) {
  auto* c = vclassSpawnOf<Rec>(super);
  vclassSetName(c, vscribeCString(name));
  return c;
}

}  // namespace

void _vcolorchsrBuildItemClasses() {
  Classes& k = classes;
  k.label = spawn<vdialogItemClassRec>(vdialogLabelItemGetDefaultClass(), "vcolorchsrLabel");
  k.label->naturalSize = labelNaturalSize;

  k.swatch = spawn<vdialogItemClassRec>(vdialogItemGetDefaultClass(), "vcolorchsrSwatch");
  k.swatch->draw = swatchDraw;
  k.swatch->buttonDown = swatchPress;

  k.panel = spawn<vcontainerClassRec>(vcontainerGetDefaultClass(), "vcolorchsrPanel");
  k.place = spawn<vcontainerClassRec>(vcontainerGetDefaultClass(), "vcolorchsrPanelPlace");
  k.place->setRect = placeSetRect;
  k.place->naturalSize = placeNaturalSize;

  k.wheel = spawn<vdialogItemClassRec>(vdialogItemGetDefaultClass(), "vcolorchsrWheel");
  k.wheel->draw = wheelDraw;
  k.wheel->buttonDown = wheelPress;
  k.wheel->drag = k.wheel->motion = wheelDrag;
  k.wheel->buttonUp = wheelRelease;
  k.wheel->setRect = wheelSetRect;
  k.wheel->send = wheelSend;
  k.wheel->reserved8 = wheelInherited;

  k.ramp = spawn<vcontrolClassRec>(vcontrolGetDefaultClass(), "vcolorchsrRamp");
  k.ramp->draw = rampDraw;
  k.ramp->buttonDown = k.ramp->drag = k.ramp->motion = k.ramp->buttonUp = rampTrackPointer;
  k.ramp->setValue = rampSetValue;
  k.ramp->setRect = rampSetRect;
  k.ramp->copyInit = rampCopyInit;

  k.field = spawn<vtextitemClassRec>(vtextitemGetDefaultClass(), "vcolorchsrField");
  k.field->keyDown = fieldKey;
  k.field->naturalSize = fieldNaturalSize;
  k.field->copyInit = fieldCopyInit;
  k.field->unfocus = fieldUnfocus;

  k.userColors = spawn<vdialogItemClassRec>(vdialogItemGetDefaultClass(), "vcolorchsrUserColors");
  k.userColors->instanceSize = sizeof(UserColors);
  k.userColors->draw = userDraw;
  k.userColors->drawFocus = userDrawFocus;
  k.userColors->buttonDown = userPress;
  k.userColors->issueSelector = userIssue;
  k.userColors->copyInit = userCopyInit;
}

void _vcolorchsrFreeItemClasses() { classes = {}; }

vdialogItemClassRec* _vcolorchsrLabelClass() { return classes.label; }
vdialogItemClassRec* _vcolorchsrSwatchClass() { return classes.swatch; }
vdialogItemClassRec* _vcolorchsrPanelClass() { return classes.panel; }
vdialogItemClassRec* _vcolorchsrPlaceClass() { return classes.place; }
vdialogItemClassRec* _vcolorchsrWheelClass() { return classes.wheel; }
vcontrolClassRec* _vcolorchsrRampClass() { return classes.ramp; }
vtextitemClassRec* _vcolorchsrFieldClass() { return classes.field; }
vdialogItemClassRec* _vcolorchsrUserColorsClass() { return classes.userColors; }

int vcolorchsrGetSelectedUserColor(vcolorchsr* c) {
  if (!c->savedColors || !vclassIsSubclass(c->savedColors->cls, classes.userColors)) return 0;
  return asU(c->savedColors)->selected;
}

// The dialog's own background, behind the wheel and the ramps' thumbs.
vcolor* _vcolorchsrBackground(vcolorchsr* c) {
  return vwindowDetermineColor(c, 2);
}

vrect _vcolorchsrWheelSquare(const vdialogItem* wheel) {
  const vrect& r = wheel->rect;
  int s = std::max(0, std::min<int>(r.width, r.height));
  return {s16(r.x + (r.width - s) / 2), s16(r.y + (r.height - s) / 2), s16(s), s16(s)};
}
