#include "fw/widgets/controls/combobox_value.h"

#include <cstring>

#include "fw/core/mem.h"
#include "fw/data/resrect.h"
#include "fw/data/vresource.h"
#include "fw/gui/graphics/draw.h"
#include "fw/widgets/dialog/item.h"

namespace {

void** moduleSlot = nullptr;
vcomboboxValueClassRec* makeClass();

vobjectAttributedClassRec* super() { return vobjectGetAttributedClass(); }
vcomboboxValue* asValue(vinstance* o) { return static_cast<vcomboboxValue*>(o); }
char kEmpty[] = "";

void freeText(vcomboboxValue* v) {
  if (v->flags & vcomboboxValueTEXT_OWNED) vmemFree(v->text);
  v->flags &= ~vcomboboxValueTEXT_OWNED;
  v->text = kEmpty;
}

void takeText(vcomboboxValue* v, const char* text) {
  std::size_t n = std::strlen(text);
  auto* copy = static_cast<char*>(vmemAlloc(n + 1));
  std::memcpy(copy, text, n + 1);
  freeText(v);
  v->text = copy;
  v->flags |= vcomboboxValueTEXT_OWNED;
}

// The owner hears of a change with the value as it was.
template <class Change>
void announce(vcomboboxValue* v, Change change) {
  if (!v->owner) return change();
  auto* old = asValue(vobjectClone(v));
  vexGuard([&] { change(); },
           [&](vexHandler&) {
             vinstanceDestroy(old);
             _vexGenerate(nullptr, vexEnd);
           });
  vexGuard([&] { vobjectSendValueChange(v->owner, vnameInternLiteral("ChangeValues"), old, v); },
           [&](vexHandler&) {
             vinstanceDestroy(old);
             _vexGenerate(nullptr, vexEnd);
           });
  vinstanceDestroy(old);
}

vfont* ownerFont(vcomboboxValue* v) {
  if (v->owner && vclassIsSubclass(v->owner->cls, vdialogItemGetDefaultClass()))
    return vdialogDetermineItemFont(static_cast<vdialogItem*>(v->owner));
  return nullptr;
}

vcomboboxValueClassRec* makeClass() {
  auto* c = vclassSpawnOf<vcomboboxValueClassRec>(super());
  vclassSetName(c, vscribeLiteral("vcomboboxValue"));
  c->instanceSize = sizeof(vcomboboxValue);
  c->init = [](vinstance* self) {
    super()->init(self);
    vcomboboxValue* v = asValue(self);
    v->flags = 0;
    v->owner = nullptr;
    v->text = kEmpty;
    v->data = 0;
  };
  c->destroy = [](vinstance* self) {
    freeText(asValue(self));
    super()->destroy(self);
  };
  c->copy = [](vobject* from, vobject* to) {
    super()->copy(from, to);
    vcomboboxValue* s = asValue(from);
    vcomboboxValue* d = asValue(to);
    if (s->flags & vcomboboxValueTEXT_OWNED) {
      takeText(d, s->text);
    } else {
      freeText(d);
      d->text = s->text;
    }
    d->flags = s->flags;
    d->data = s->data;
  };
  c->copyInit = [](vobject* from, vobject* to) {
    vclassRec<vobjectClassRec>(from)->init(to);
    vclassRec<vobjectClassRec>(from)->copy(from, to);
  };
  c->loadInit = [](vobject* self, vresource resource) {
    super()->loadInit(self, resource);
    vcomboboxValue* v = asValue(self);
    v->flags = 0;
    v->owner = nullptr;
    v->text = kEmpty;
    v->data = 0;
    vscribe* title = nullptr;
    if (vresourceTestGetString(resource, vname_Title, &title)) {
      char* chars = vscribeCreateString(title);
      takeText(v, chars);
      vscribeFreeString(chars);
    }
  };
  c->store = [](vobject* self, vresource resource) {
    super()->store(self, resource);
    vcomboboxValue* v = asValue(self);
    if (*v->text)
      vresourceSetString(resource, vname_Title, vscribeCString(v->text));
    else
      vresourceRemoveIfPresent(resource, vname_Title);
  };
  c->draw = [](vcomboboxValue* v, const vrect* cell) {
    vfont* font = ownerFont(v);
    if (!font) return;
    vdrawGSave();
    vdrawSetFont(font);
    int descent = int((vfontGetDriver()->descent(font) + 0x8000) >> 16);
    int height = int((vfontGetHeight(font) + 0x8000) >> 16);
    vdrawPathMoveTo(cell->x + 5, cell->y + (cell->height - height) / 2 + descent);
    vdrawGetPrimitives()->Show(v->text, int(std::strlen(v->text)));
    vdrawGRestore();
  };
  c->naturalSize = [](vcomboboxValue* v, int* w, int* h) {
    vfont* font = ownerFont(v);
    if (!font) {
      *w = *h = 16;
      return;
    }
    *w = int((vfontGetCharsWidth(font, v->text, int(std::strlen(v->text))) + 0xFFFF) >> 16);
    *h = int((vfontGetHeight(font) + 0x8000) >> 16);
  };
  c->setOwner = [](vcomboboxValue* v, vobject* owner) { v->owner = owner; };
  c->setData = [](vcomboboxValue* v, std::intptr_t data) { announce(v, [&] { v->data = data; }); };
  c->setText = [](vcomboboxValue* v, vscribe* text) {
    char* chars = vscribeCreateString(text);
    vexGuard([&] { announce(v, [&] { takeText(v, chars); }); },
             [&](vexHandler&) {
               vscribeFreeString(chars);
               _vexGenerate(nullptr, vexEnd);
             });
    vscribeFreeString(chars);
  };
  return c;
}

}  // namespace

vcomboboxValueClassRec* vcomboboxValueGetDefaultClass() {
  if (!*vmoduleSlot(moduleSlot)) {
    auto** slot = static_cast<vcomboboxValueClassRec**>(vmoduleBindSlot(moduleSlot, sizeof(void*)));
    *slot = makeClass();
  }
  return *static_cast<vcomboboxValueClassRec**>(*moduleSlot);
}

vcomboboxValue* vcomboboxValueCreate() { return asValue(vinstanceCreate(vcomboboxValueGetDefaultClass())); }
