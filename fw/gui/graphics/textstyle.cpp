// The text-style class: attributes checked against the kind table, the
// owner told of every change, and the font the attributes derive.
#include "fw/gui/graphics/textstyle.h"

#include <string>

#include "fw/core/scribe.h"
#include "fw/data/vresource.h"
#include "fw/gui/graphics/color.h"

namespace {

void** classSlot = nullptr;
void (*notifier)(void* text, vtextStyle* style) = nullptr;

struct KindRow {
  const char* name;
  int kind;
};
constexpr KindRow kindTable[] = {
    {"Font", vtextStyleFONT},       {"Color", vtextStyleCOLOR},     {"Ascent", vtextStyleINTEGER},
    {"Descent", vtextStyleINTEGER}, {"Size", vtextStyleINTEGER},    {"Bold", vtextStyleSWITCH},
    {"Underline", vtextStyleSWITCH}, {"Invert", vtextStyleSWITCH},  {"Italic", vtextStyleSWITCH},
    {"Strikethru", vtextStyleSWITCH}, {"Hidden", vtextStyleSWITCH}, {"Graphic", vtextStyleGRAPHIC},
    {"Data", vtextStyleDATA},
};

vtextStyle* asStyle(vinstance* o) { return static_cast<vtextStyle*>(o); }
vtextStyleClassRec* classOf(vtextStyle* s) { return vclassRec<vtextStyleClassRec>(s); }
vobjectClassRec* super() { return vobjectGetDefaultClass(); }
vname key(const char* text) { return vnameInternLiteral(text); }

void notifyOwner(vtextStyle* s) {
  if (s->owner && notifier) notifier(s->owner, s);
}

void styleInit(vinstance* self) {
  super()->init(self);
  vtextStyle* s = asStyle(self);
  s->attributes = vdictCreate(vdictHashName);
  s->flags = 0;
  s->owner = nullptr;
  s->index = -1;
}

void styleDestroy(vinstance* self) {
  vtextStyle* s = asStyle(self);
  if (s->flags & vtextStyleOWNS_GRAPHIC)
    if (auto* graphic = reinterpret_cast<vinstance*>(vtextRulerFindAttr(s->attributes, key("Graphic"))))
      vinstanceDestroy(graphic);
  vdictDestroy(s->attributes);
  s->attributes = nullptr;
  super()->destroy(self);
}

void styleCopy(vobject* source, vobject* destination) {
  super()->copy(source, destination);
  vtextStyle *from = asStyle(source), *to = asStyle(destination);
  if (from == to) return;
  vdictDestroy(to->attributes);
  to->attributes = vdictCopy(from->attributes);
  to->flags = (to->flags & ~(vtextStyleKEPT | vtextStyleOWNS_GRAPHIC)) | (from->flags & vtextStyleKEPT);
  notifyOwner(to);
}

void styleCopyInit(vobject* source, vobject* destination) {
  classOf(asStyle(source))->init(destination);
  classOf(asStyle(source))->copy(source, destination);
}

// The text module's generic load-init: a fresh style, then its load slot.
void styleLoadInit(vobject* self, vresource resource) {
  vtextStyle* s = asStyle(self);
  classOf(s)->init(s);
  classOf(s)->load(s, resource);
}

void styleLoad(vtextStyle* s, vresource resource) {
  super()->loadInit(s, resource);
  vresource attrs = 0;
  const vresourceInterface* r = vresourceGetInterface();
  if (!r->find(resource, key("Attributes"), &attrs) || r->type(attrs) != vresDICTIONARY) return;
  for (int i = 0, n = r->count(attrs); i < n; ++i) {
    vname name = r->entryName(attrs, i);
    vresource v = r->element(attrs, i);
    std::uintptr_t value = 0;
    switch (vtextStyleAttributeKind(name)) {
      case vtextStyleFONT: value = reinterpret_cast<std::uintptr_t>(vfontLoad(v)); break;
      case vtextStyleCOLOR: value = reinterpret_cast<std::uintptr_t>(vcolorLoad(v)); break;
      case vtextStyleINTEGER: value = std::uintptr_t(std::intptr_t(r->getInteger(v))); break;
      case vtextStyleSWITCH:
        if (r->type(v) == vresTAG ? r->getTag(v) == vname_On : r->getInteger(v) != 0)
          value = reinterpret_cast<std::uintptr_t>(vname_On);
        break;
      default: continue;  // graphics and data are not kept in resources
    }
    if (value) vdictStore(s->attributes, name, reinterpret_cast<void*>(value));
  }
}

void stylePut(vtextStyle* s, vname name, std::uintptr_t value) {
  vtextRulerPutAttr(vtextStyleAttributeKind, s->attributes, name, value, 0);
  notifyOwner(s);
}

vfont* styleDetermineFont(vtextStyle* s) {
  auto* font = reinterpret_cast<vfont*>(vtextRulerFindAttr(s->attributes, vname_Font));
  if (!font) font = vfontFindScribe(vscribeLiteral(""));
  std::string modifiers;
  auto on = [&](const char* name) { return vtextRulerFindAttr(s->attributes, key(name)) == std::uintptr_t(vname_On); };
  if (on("Bold")) modifiers = "bold";
  if (on("Italic")) modifiers += modifiers.empty() ? "italic" : "-italic";
  if (vdictHas(s->attributes, vname_Size)) {
    auto size = std::int32_t(std::intptr_t(vtextRulerFindAttr(s->attributes, vname_Size)));
    modifiers += (modifiers.empty() ? "size:" : "-size:") + std::to_string(size);
  }
  if (modifiers.empty()) return font;
  return vfontFindDerivedScribe(font, vscribeCStringSized(modifiers.data(), modifiers.size()));
}

}  // namespace

int vtextStyleAttributeKind(vname name) {
  for (const KindRow& row : kindTable)
    if (key(row.name) == name) return row.kind;
  return 0;
}

std::uintptr_t vtextRulerFindAttr(vdict* set, vname name) {
  return reinterpret_cast<std::uintptr_t>(vdictGet(set, name));
}

std::uintptr_t _vtextRulerLookupAttr(vdict* set, vname name) {
  return vdictHas(set, name) ? vtextRulerFindAttr(set, name) : 0x80000000u;
}

void vtextRulerPutAttr(int (*kindOf)(vname), vdict* set, vname name, std::uintptr_t value, std::uintptr_t dflt) {
  if (!kindOf(name)) _vexGenerate(&vexArgClass, vexSetMessage, "attribute is not defined for this class", vexEnd);
  vdictStore(set, name, reinterpret_cast<void*>(value ? value : dflt));
}

void vtextStyleSetNotifier(void (*notify)(void* text, vtextStyle* style)) { notifier = notify; }

vtextStyleClassRec* vtextStyleGetDefaultClass() {
  if (!classSlot) classSlot = vmoduleAllocSlot();
  if (!*classSlot) {
    auto* c = vclassSpawnOf<vtextStyleClassRec>(vobjectGetDefaultClass());
    vclassSetName(c, vscribeLiteral("vtextStyle"));
    c->instanceSize = sizeof(vtextStyle);
    c->init = styleInit;
    c->destroy = styleDestroy;
    c->copy = styleCopy;
    c->copyInit = styleCopyInit;
    c->loadInit = styleLoadInit;
    c->load = styleLoad;
    c->putAttribute = stylePut;
    c->determineFont = styleDetermineFont;
    c->reserved = [](vtextStyle*) {};
    *static_cast<vtextStyleClassRec**>(vmoduleBindSlot(classSlot, sizeof(vtextStyleClassRec*))) = c;
  }
  return *static_cast<vtextStyleClassRec**>(*classSlot);
}

vtextStyle* vtextStyleCreate() { return asStyle(vinstanceCreate(vtextStyleGetDefaultClass())); }
vtextStyle* vtextStyleClone(vtextStyle* style) { return asStyle(vobjectClone(style)); }
void vtextStyleDestroy(vtextStyle* style) { vinstanceDestroy(style); }
