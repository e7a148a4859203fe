#include "fw/widgets/controls/keyitem.h"

#include "fw/data/vresource.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/window_event.h"

namespace {

void** classSlot = nullptr;  // the class of each module context

vdialogItemClassRec* super() { return vdialogItemGetDefaultClass(); }
vkeyitem* asKey(vinstance* o) { return static_cast<vkeyitem*>(o); }
int rounded(vfixed v) { return int((v + 0x8000) >> 16); }

void init(vinstance* self) {
  super()->init(self);
  vkeyitem* k = asKey(self);
  k->key = 0;
  vdialogItemClassOf(k)->setClickFocus(k, 1);
  vdialogItemClassOf(k)->setFocusable(k, 1);
}

void copy(vobject* source, vobject* destination) {
  if (!destination) _vexGenerate(&vexArgNullClass, vexSetMessage, "Null", vexEnd);
  super()->copy(source, destination);
  asKey(destination)->key = asKey(source)->key;
}

void copyInit(vobject* source, vobject* destination) {
  vclassRec<vobjectClassRec>(source)->init(destination);
  vclassRec<vobjectClassRec>(source)->copy(source, destination);
}

void loadInit(vobject* self, vresource resource) {
  super()->loadInit(self, resource);
  asKey(self)->key = std::uint32_t(vresourceGetInteger(resource, vnameInternLiteral("Key")));
}

void store(vobject* self, vresource resource) {
  super()->store(self, resource);
  vresourceSetInteger(resource, vnameInternLiteral("Key"), std::int32_t(asKey(self)->key));
}

void size(vdialogItem* item, int* w, int* h) {
  vfont* font = vdialogDetermineItemFont(item);
  *w = 6 * rounded(vfontGetCharWidth(font));
  *h = rounded(vfontGetHeight(font)) + 8;
}

void draw(vdialogItem* item) {
  vkeyitem* k = asKey(item);
  vdrawGSave();
  vdrawSetLineWidth((item->flags & vdialogItemFOCUSED) ? 2 : 1);
  vdrawRectsFrame(&item->rect, 1);
  const vrect& r = item->rect;
  vrect inner{std::int16_t(r.x + 2), std::int16_t(r.y + 2), std::int16_t(r.width - 4), std::int16_t(r.height - 4)};
  vcolorScheme s{};
  vdialogDetermineItemScheme(item, 4, &s);
  vdrawGSave();
  vdrawSetColor(s.entries[2]);
  vdrawRectFill(inner.x, inner.y, inner.width, inner.height);
  vdrawGRestore();
  if (k->key != 0) {
    vdrawGSave();
    vdrawClipRects(&inner, 1);
    vfont* font = vdialogDetermineItemFont(item);
    vdrawSetFont(font);
    int ascent = rounded(vfontGetDriver()->ascent(font));
    vdrawPathMoveTo(inner.x + 10, inner.y + inner.height / 2 - ascent / 2);
    vdrawKey(int(k->key));
    vdrawGRestore();
  }
  vdrawGRestore();
}

void drawFocus(vdialogItem* item) {
  vdrawGSave();
  vdrawSetLineWidth(1);
  const vrect& r = item->rect;
  vrect frame{std::int16_t(r.x + 1), std::int16_t(r.y + 1), std::int16_t(r.width - 2), std::int16_t(r.height - 2)};
  vdrawRectsFrame(&frame, 1);
  vdrawGRestore();
}

void setKey(vkeyitem* k, std::uint32_t key) {
  k->key = key;
  vdialogInvalItem(k, 0);
}

int keyDown(vdialogItem* item, vevent* e) {
  vkeyitem* k = asKey(item);
  vclassRec<vkeyitemClassRec>(k)->setKey(k, veventGetKeyValue(e));
  vdialogInvalItem(k, 0);
  vdialogNotifyItem(k, e);
  return 1;
}

}  // namespace

vkeyitemClassRec* vkeyitemGetDefaultClass() {
  if (auto* bound = vmoduleState<vkeyitemClassRec*>(classSlot)) return *bound;
  auto** held = static_cast<vkeyitemClassRec**>(vmoduleBindSlot(classSlot, sizeof(vkeyitemClassRec*)));
  auto* c = vclassSpawnOf<vkeyitemClassRec>(super());
  c->instanceSize = sizeof(vkeyitem);
  c->init = init;
  c->copy = copy;
  c->copyInit = copyInit;
  c->loadInit = loadInit;
  c->store = store;
  c->focus = [](vdialogItem* i) { vdialogItemGetDefaultClass()->focus(i); };
  c->unfocus = [](vdialogItem* i) { vdialogItemGetDefaultClass()->unfocus(i); };
  c->naturalSize = c->minSize = size;
  c->draw = draw;
  c->drawFocus = drawFocus;
  c->keyDown = keyDown;
  c->setKey = setKey;
  vclassSetName(c, vscribeLiteral("vkeyitem"));
  *held = c;
  return c;
}

vkeyitem* vkeyitemCreate() { return asKey(vinstanceCreate(vkeyitemGetDefaultClass())); }
