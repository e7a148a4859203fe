// Notebook styles (28 properties, each set or unset, packed by width) and
// the small arrow button that turns pages and scrolls tab sets.
#include <algorithm>
#include <array>

#include "fw/data/vresource.h"
#include "fw/gui/graphics/draw.h"
#include "fw/widgets/look/laf.h"
#include "fw/widgets/notebook/notebook_internal.h"

namespace {

// Where each property lives: bits in the packed word (width 1 or 2), or a
// byte (width 8) of the byte array.
struct Property {
  std::uint8_t width;
  std::uint8_t at;  // bit offset, or byte index
};
constexpr std::array<Property, vnotebookPROPERTIES> kProperties = [] {
  constexpr std::uint8_t widths[vnotebookPROPERTIES] = {2, 2, 2, 1, 2, 1, 1, 2, 1, 1, 1, 2, 8, 8,
                                                         8, 8, 8, 1, 2, 1, 8, 8, 8, 8, 8, 8, 8, 8};
  std::array<Property, vnotebookPROPERTIES> out{};
  std::uint8_t bit = 0, byte = 0;
  for (int i = 0; i < vnotebookPROPERTIES; ++i) {
    out[std::size_t(i)].width = widths[i];
    if (widths[i] == 8) {
      out[std::size_t(i)].at = byte++;
    } else {
      out[std::size_t(i)].at = bit;
      bit = std::uint8_t(bit + widths[i]);
    }
  }
  return out;
}();

int indexOfKey(std::uint32_t key) {
  if (key == 0 || (key & (key - 1)) != 0) return -1;
  int i = 0;
  while (!(key & 1u)) key >>= 1, ++i;
  return i < vnotebookPROPERTIES ? i : -1;
}

vnotebookStyle* asStyle(void* o) { return static_cast<vnotebookStyle*>(o); }
vobjectClassRec* styleSuper() { return vobjectGetDefaultClass(); }

void styleInit(vinstance* self) {
  styleSuper()->init(self);
  vnotebookStyle* s = asStyle(self);
  s->packed = s->mask = 0;
  std::fill(std::begin(s->bytes), std::end(s->bytes), std::uint8_t(0));
}
void copyValues(vobject* from, vobject* to) {
  vnotebookStyle* a = asStyle(from);
  vnotebookStyle* b = asStyle(to);
  b->packed = a->packed;
  b->mask = a->mask;
  std::copy(std::begin(a->bytes), std::end(a->bytes), std::begin(b->bytes));
}
void styleCopy(vobject* from, vobject* to) {
  if (from == to) return;
  styleSuper()->copy(from, to);
  copyValues(from, to);
}
void styleCopyInit(vobject* from, vobject* to) {
  styleSuper()->copyInit(from, to);
  copyValues(from, to);
}
void styleLoadInit(vobject* self, vresource resource) {
  styleSuper()->loadInit(self, resource);
  vnotebookStyle* s = asStyle(self);
  s->packed = s->mask = 0;
  std::fill(std::begin(s->bytes), std::end(s->bytes), std::uint8_t(0));
  vresource values;
  if (!vresourceTestGet(resource, vnameInternLiteral("Values"), &values)) return;
  int n = std::min(int(vresourceCount(values)), vnotebookPROPERTIES);
  for (int i = 0; i < n; ++i) vnotebookStyleSet(s, 1u << i, int(vresourceGetAtInteger(values, i)));
}
void styleStore(vobject* self, vresource resource) {
  styleSuper()->store(self, resource);
  vresource values = vresourceCreateArray(resource, vnameInternLiteral("Values"), vresINTEGER, vnotebookPROPERTIES);
  for (int i = 0; i < vnotebookPROPERTIES; ++i) vresourceSetAtInteger(values, i, vnotebookStyleGet(asStyle(self), 1u << i));
}

}  // namespace

void vnotebookStyleSet(vnotebookStyle* s, std::uint32_t key, int value) {
  if (value == -1) {
    s->mask &= ~key;
    return;
  }
  s->mask |= key;
  int i = indexOfKey(key);
  if (i < 0) return;
  const Property& p = kProperties[std::size_t(i)];
  if (p.width == 8) {
    s->bytes[p.at] = std::uint8_t(value);
    return;
  }
  std::uint32_t field = (1u << p.width) - 1;
  std::uint32_t v = p.width == 1 ? (value != 0 ? 1u : 0u) : std::uint32_t(value) & field;
  s->packed = (s->packed & ~(field << p.at)) | (v << p.at);
}

int vnotebookStyleGet(const vnotebookStyle* s, std::uint32_t key) {
  int i = indexOfKey(key);
  if (i < 0 || !(s->mask & key)) return -1;
  const Property& p = kProperties[std::size_t(i)];
  if (p.width == 8) return s->bytes[p.at];
  return int((s->packed >> p.at) & ((1u << p.width) - 1));
}

bool vnotebookStyleIsEmpty(const vnotebookStyle* s) { return (s->mask & vnotebookALL_PROPERTIES) == 0; }

vobjectClassRec* _vnotebookBuildStyleClass() {
  auto* c = vclassSpawnOf<vobjectClassRec>(vobjectGetDefaultClass());
  c->instanceSize = sizeof(vnotebookStyle);
  c->init = styleInit;
  c->copy = styleCopy;
  c->copyInit = styleCopyInit;
  c->loadInit = styleLoadInit;
  c->store = styleStore;
  vclassSetName(c, vscribeLiteral("vnotebookStyle"));
  return c;
}

vnotebookStyle* vnotebookStyleCreate() {
  return static_cast<vnotebookStyle*>(vinstanceCreate(vnotebookStyleGetDefaultClass()));
}

// The defaults, then the look's column; property 6 stays unset.
void _vnotebookFillDefaultStyle(vnotebookStyle* s, int lookId) {
  struct Row {
    std::uint32_t key;
    int value, windows, cua, other;  // -2: the default holds
  };
  static constexpr Row rows[] = {
      {vnotebookMAJOR_SIDE, 3, -2, -2, -2},      {vnotebookMINOR_SIDE, 0, -2, -2, -2},
      {vnotebookTAB_MODE, 3, 1, -2, -2},         {vnotebookPAGE_NUMBER, 1, 0, -2, -2},
      {vnotebookNUMBER_ALIGN, 2, -2, -2, -2},    {vnotebookBUTTONS, 1, 0, -2, -2},
      {vnotebookTAB_SHAPE, 1, 2, 0, -2},         {vnotebookTURNED_LABELS, 0, -2, -2, -2},
      {vnotebookWRAP, 0, -2, -2, -2},            {vnotebookPAGE_BORDERS, 0, -2, -2, -2},
      {vnotebookRESERVED_11, 0, -2, -2, -2},     {vnotebookSHEET_COUNT, 7, 1, -2, 5},
      {vnotebookSHEET_OFFSET, 3, 0, -2, -2},     {vnotebookBINDING_WIDTH, 16, 0, -2, -2},
      {vnotebookMARGIN, 1, -2, -2, -2},          {vnotebookBORDER_MARGIN, 2, -2, -2, -2},
      {vnotebookSCROLL_CENTRING, 1, -2, 0, -2},  {vnotebookSCROLL_LAYOUT, 0, 1, -2, -2},
      {vnotebookPARTIAL_TABS, 1, -2, 0, -2},     {vnotebookTAB_SPACING, 3, 0, -2, -2},
      {vnotebookLABEL_SPACE_X, 4, -2, -2, -2},   {vnotebookLABEL_SPACE_Y, 4, -2, -2, -2},
      {vnotebookTAB_RAISE, 0, 2, -2, -2},        {vnotebookTAB_WIDENING, 0, 2, -2, -2},
      {vnotebookNUMBER_GAP, 5, -2, -2, -2},      {vnotebookBUTTON_GAP, 2, -2, -2, -2},
      {vnotebookFOOTER_GAP, 2, -2, -2, -2},
  };
  bool windows = lookId == vlafWINDOWS || lookId == vlafWIN95;
  for (const Row& r : rows) {
    int v = windows ? r.windows : lookId == vlafCUA ? r.cua : r.other;
    vnotebookStyleSet(s, r.key, v == -2 ? r.value : v);
  }
}

// ---- The arrow button.
namespace {

vnotebookButton* asButton(void* o) { return static_cast<vnotebookButton*>(o); }
vbuttonClassRec* buttonSuper() { return vbuttonGetDefaultClass(); }
std::int16_t lookId() { return vlafGetCurrent()->id; }
bool motifLike() { return lookId() == vlafMOTIF || lookId() == vlafOPEN_LOOK; }
bool cuaSmall(const vnotebookButton* b) { return lookId() == vlafCUA && (b->arrowFlags & vnotebookArrowSMALL); }

void buttonInit(vinstance* self) {
  buttonSuper()->init(self);
  vnotebookButton* b = asButton(self);
  b->arrowFlags = 0;
  // No focus ring in the looks that draw their own arrows.
  if (motifLike()) b->flags &= std::uint16_t(~vdialogItemFOCUSABLE);
}
void buttonCopy(vobject* from, vobject* to) {
  if (from == to) return;
  buttonSuper()->copy(from, to);
  asButton(to)->arrowFlags = asButton(from)->arrowFlags;
}
void buttonCopyInit(vobject* from, vobject* to) {
  buttonSuper()->copyInit(from, to);
  asButton(to)->arrowFlags = asButton(from)->arrowFlags;
}
void buttonSize(vdialogItem* item, int* w, int* h) { vnotebookGetButtonSize(asButton(item)->arrowFlags, w, h); }

void arrowColors(vdialogItem* item, vcolor** fill, vcolor** light, vcolor** dark, vcolor** fg) {
  vcolorScheme s{};
  vdialogDetermineItemColors(item, 0x10055, &s);
  auto at = [&](int i) { return (s.mask & vcolorSchemeBit(i)) ? s.entries[i] : nullptr; };
  *fill = at(vcolorBACKGROUND);
  *light = at(vcolorSHADOW_TOP);
  *dark = at(vcolorSHADOW_BOTTOM);
  *fg = at(vcolorFOREGROUND);
}

void drawContent(vbutton* button) {
  vnotebookButton* b = asButton(button);
  vcolor *fill, *light, *dark, *fg;
  arrowColors(b, &fill, &light, &dark, &fg);
  vdrawGSave();
  if (fg) vdrawSetColor(fg);
  vnotebookDrawArrow(&b->rect, b->arrowFlags, (b->buttonFlags & vbuttonPRESSED) != 0, vdialogItemIsEnabled(b), fill,
                     light, dark);
  vdrawGRestore();
}

void buttonDraw(vdialogItem* item) {
  vnotebookButton* b = asButton(item);
  // Open Look too: its oblong button does not fit a 14-pixel square and
  // would hide which way the arrow points.
  if (motifLike()) {
    drawContent(b);
    return;
  }
  if (cuaSmall(b)) {
    vdrawRectsFrame(&b->rect, 1);
    drawContent(b);
    return;
  }
  buttonSuper()->draw(item);
}

void pressOn(vbutton* button) {
  vnotebookButton* b = asButton(button);
  if (cuaSmall(b)) return;
  if (motifLike()) {
    if (b->buttonFlags & vbuttonPRESSED) return;
    b->buttonFlags |= vbuttonPRESSED;
    vdialogInvalItem(b, 0);
    return;
  }
  buttonSuper()->press(button);
}
void pressOff(vbutton* button) {
  vnotebookButton* b = asButton(button);
  if (cuaSmall(b)) return;
  if (motifLike()) {
    if (!(b->buttonFlags & vbuttonPRESSED)) return;
    b->buttonFlags &= std::uint16_t(~vbuttonPRESSED);
    vdialogInvalItem(b, 0);
    return;
  }
  buttonSuper()->release(button);
}

// The CUA small button acts on the press and keeps nothing.
int buttonDown(vdialogItem* item, vevent* event) {
  if (cuaSmall(asButton(item))) {
    vdialogNotifyItem(item, event);
    return 0;
  }
  return buttonSuper()->buttonDown(item, event);
}

}  // namespace

vbuttonClassRec* _vnotebookBuildButtonClass() {
  auto* c = vclassSpawnOf<vbuttonClassRec>(vbuttonGetDefaultClass());
  c->instanceSize = sizeof(vnotebookButton);
  c->init = buttonInit;
  c->copy = buttonCopy;
  c->copyInit = buttonCopyInit;
  c->naturalSize = buttonSize;
  c->minSize = buttonSize;
  c->draw = buttonDraw;
  c->drawContent = drawContent;
  c->press = pressOn;
  c->release = pressOff;
  c->buttonDown = buttonDown;
  vclassSetName(c, vscribeLiteral("_vnotebookButton"));
  return c;
}

vnotebookButton* _vnotebookButtonCreate() {
  return static_cast<vnotebookButton*>(vinstanceCreate(_vnotebookButtonClass()));
}

void vnotebookButtonSetSmall(vnotebookButton* b, int small) {
  b->arrowFlags = (b->arrowFlags & ~vnotebookArrowSMALL) | (small ? vnotebookArrowSMALL : 0u);
}
void vnotebookButtonSetDirection(vnotebookButton* b, int direction) {
  b->arrowFlags = (b->arrowFlags & ~vnotebookArrowDIRECTION) | (std::uint32_t(direction) & vnotebookArrowDIRECTION);
}

namespace {
// Win95 images by direction (left, right, up, down): normal, pressed, disabled.
constexpr int kWin95Images[4][3] = {{138, 139, 140}, {141, 142, 143}, {144, 145, 146}, {135, 136, 137}};
}  // namespace

void vnotebookGetArrowSize(std::uint32_t flags, int* w, int* h) {
  int size = 12;
  switch (lookId()) {
    case vlafWINDOWS: size = 15; break;
    case vlafCUA: size = (flags & vnotebookArrowSMALL) ? 11 : 15; break;
    case vlafWIN95:
      if (vimage* image = vlafGetImage(kWin95Images[flags & 3][0])) {
        *w = image->width;
        *h = image->height;
        return;
      }
      size = 15;
      break;
    default: break;
  }
  *w = *h = size;
}

void vnotebookGetButtonSize(std::uint32_t flags, int* w, int* h) {
  vnotebookGetArrowSize(flags, w, h);
  int extra = motifLike() ? 2 : 2 * vlafGetCurrent()->lineWidth + 2;
  *w += extra;
  *h += extra;
}

void vnotebookDrawArrow(const vrect* rect, std::uint32_t flags, bool pressed, bool enabled, vcolor* fill,
                        vcolor* light, vcolor* dark) {
  int aw = 0, ah = 0;
  vnotebookGetArrowSize(flags, &aw, &ah);
  int x = rect->x + rect->width / 2 - aw / 2, y = rect->y + rect->height / 2 - ah / 2;
  int direction = int(flags & 3);
  vcolor* entry = vdrawGetState()->color;
  switch (lookId()) {
    case vlafWINDOWS:
      if (vlafGetCurrent()->flags & vlaf3D) {
        if (light) vdrawSetColor(light);
        vdrawPathMoveTo(x + 1, y);
        vlafDrawGlyph(33 + direction, ah);
        vdrawSetColor(entry);
      }
      vdrawPathMoveTo(x, y + 1);
      vlafDrawGlyph(33 + direction, ah);
      return;
    case vlafCUA: {
      static constexpr int big[4] = {111, 112, 110, 109}, small[4] = {115, 116, 114, 113};
      vdrawPathMoveTo(x, y);
      vlafDrawGlyph((flags & vnotebookArrowSMALL) ? small[direction] : big[direction], ah);
      return;
    }
    case vlafWIN95: {
      int index = kWin95Images[direction][!enabled ? 2 : pressed ? 1 : 0];
      vimage* image = vlafGetImage(index);
      if (!image || image->width <= 0 || image->height <= 0) return;
      // Scaled into the button less its edges, so that the glyph is centred
      // and as large as the button allows.
      if (rect->width <= 4 || rect->height <= 4) return;
      vdrawGSave();
      vdrawTranslate(rect->x + 2, rect->y + 2);
      vdrawScale(double(rect->width - 4) / image->width, double(rect->height - 4) / image->height);
      vdrawPathMoveTo(0, 0);
      vlafDrawImage(index);
      vdrawGRestore();
      return;
    }
    default: break;
  }
  // Motif and Open Look: a 3-D triangle whose first point is its tip.
  if (pressed) std::swap(light, dark);
  if (direction == 1 || direction == 3) std::swap(light, dark);
  switch (direction) {
    case 0: vlafDrawHorizArrow(x, y + ah / 2, aw, ah / 2, fill, light, dark); break;
    case 1: vlafDrawHorizArrow(x + aw, y + ah / 2, -aw, -ah / 2, fill, light, dark); break;
    case 2: vlafDrawVertArrow(x + aw / 2, y + ah, -ah, -aw / 2, fill, light, dark); break;
    default: vlafDrawVertArrow(x + aw / 2, y, ah, aw / 2, fill, light, dark); break;
  }
}
