// The text-style class: attributes checked against the class's
// definitions, the owner told of every change, the font the attributes
// derive, and the loader of both stored forms.
#include "fw/text/textstyle.h"

#include <string>

#include "fw/core/scribe.h"
#include "fw/data/vresource.h"
#include "fw/gui/graphics/color.h"
#include "fw/text/graphic.h"
#include "fw/text/text_internal.h"

namespace {

vtextStyle* asStyle(vinstance* o) { return static_cast<vtextStyle*>(o); }
vtextStyleClassRec* classOf(vtextStyle* s) { return vclassRec<vtextStyleClassRec>(s); }
vobjectClassRec* super() { return vobjectGetDefaultClass(); }
vname key(const char* text) { return vtextName(text); }

void styleInit(vinstance* self) {
  super()->init(self);
  vtextStyle* s = asStyle(self);
  vtextRulerInitAttrSet(&s->attributes);
  s->flags = 0;
  s->owner = nullptr;
  s->index = -1;
}

void styleDestroy(vinstance* self) {
  vtextStyle* s = asStyle(self);
  if (s->flags & vtextStyleOWNS_GRAPHIC)
    if (auto* graphic = reinterpret_cast<vinstance*>(vtextRulerFindAttr(&s->attributes, key("Graphic"))))
      vinstanceDestroy(graphic);
  vtextRulerFreeAttrSet(&s->attributes);
  super()->destroy(self);
}

void styleCopy(vobject* source, vobject* destination) {
  super()->copy(source, destination);
  vtextStyle *from = asStyle(source), *to = asStyle(destination);
  if (from == to) return;
  vtextRulerCopyAttrSet(&from->attributes, &to->attributes);
  to->flags = (to->flags & ~(vtextStyleKEPT | vtextStyleOWNS_GRAPHIC)) | (from->flags & vtextStyleKEPT);
  if (to->owner) _vtextNotifyStyle(to->owner, to);
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

void styleStore(vobject* self, vresource resource) {
  super()->store(self, resource);
  vtextRulerStoreAttrSet(&asStyle(self)->attributes, resource);
}

void put(vtextStyle* s, const char* name, const void* object, std::intptr_t integer) {
  vtextRulerPutAttr(classOf(s)->definitions, &s->attributes, key(name), object, integer);
}

std::intptr_t onOff(bool on) { return reinterpret_cast<std::intptr_t>(on ? vname_On : vname_Off); }

// The older flat form: separate entries, a mask of meaningful parts in
// "Flags" and the switches in "Attribute". Its "Name" is no style key and
// is left out.
void loadFlat(vtextStyle* s, vresource resource) {
  vresource entry;
  vcolor* color = vresourceTestGet(resource, vname_Color, &entry) ? vcolorLoad(entry) : nullptr;
  vfont* font = vresourceTestGet(resource, vname_Font, &entry) ? vfontLoad(entry) : nullptr;
  auto integer = [&](const char* name) {
    std::int32_t v = 0;
    vresourceTestGetInteger(resource, key(name), &v);
    return v;
  };
  std::int32_t ascent = integer("Ascent"), descent = integer("Descent"), size = integer("Size");
  std::int32_t bits = 0;
  if (!vresourceTestGetInteger(resource, vname_Attribute, &bits)) {
    put(s, "Font", font, 0);
    return;
  }
  std::int32_t mask = integer("Flags");
  struct Switch {
    std::int32_t bit;
    const char* name;
  };
  static constexpr Switch kSwitches[] = {{0x2, "Hidden"}, {0x10, "Bold"}, {0x20, "Underline"}, {0x40, "Italic"},
                                         {0x80, "Strikethru"}};
  for (const Switch& sw : kSwitches)
    if (mask & sw.bit) put(s, sw.name, nullptr, onOff(bits & sw.bit));
  if (mask & 0x8) s->flags |= vtextStyleKEPT;
  if (mask & 0x400) put(s, "Font", font, 0);
  if (mask & 0x800) put(s, "Color", color, 0);
  if (mask & 0x10000) put(s, "Size", nullptr, size);
  if (mask & 0x20000) put(s, "Ascent", nullptr, ascent);
  if (mask & 0x40000) put(s, "Descent", nullptr, descent);
}

void styleLoad(vtextStyle* s, vresource resource) {
  s->flags = 0;
  vresource attributes;
  if (!vresourceTestGet(resource, key("Attributes"), &attributes)) return loadFlat(s, resource);
  vtextGetGraphicClass();  // a stored graphic names its class
  vtextRulerLoadAttrSet(classOf(s)->definitions, &s->attributes, resource);
  auto* object = reinterpret_cast<vobject*>(vtextRulerFindAttr(&s->attributes, key("Graphic")));
  if (!object) return;
  s->flags |= vtextStyleOWNS_GRAPHIC | vtextStyleGRAPHIC;
  if (!vclassIsSubclass(object->cls, vtextGetGraphicClass())) return;
  auto* graphic = static_cast<vtextGraphic*>(object);
  graphic->flags |= vtextGraphicSTYLE_OWNS;
  graphic->style = s;
  put(s, "Descent", nullptr, graphic->descent);
  put(s, "Ascent", nullptr, graphic->height - graphic->descent);
}

void styleSetAttribute(vtextAttributed* self, vname name, vobject* object, std::intptr_t integer) {
  vtextStyle* s = asStyle(self);
  vtextRulerPutAttr(classOf(s)->definitions, &s->attributes, name, object, integer);
  if (s->owner) _vtextNotifyStyle(s->owner, s);
}

vfont* styleDetermineFont(vtextStyle* s) {
  auto* font = reinterpret_cast<vfont*>(vtextRulerFindAttr(&s->attributes, vname_Font));
  if (!font) font = vfontFindScribe(vscribeLiteral(""));
  std::string modifiers;
  auto on = [&](const char* name) {
    return vtextRulerFindAttr(&s->attributes, key(name)) == reinterpret_cast<std::uintptr_t>(vname_On);
  };
  if (on("Bold")) modifiers = "bold";
  if (on("Italic")) modifiers += modifiers.empty() ? "italic" : "-italic";
  std::uintptr_t size = _vtextRulerLookupAttr(&s->attributes, vname_Size);
  if (size != vtextAttrABSENT)
    modifiers += (modifiers.empty() ? "size:" : "-size:") + std::to_string(std::int32_t(std::intptr_t(size)));
  if (modifiers.empty()) return font;
  return vfontFindDerivedScribe(font, vscribeCStringSized(modifiers.data(), modifiers.size()));
}

struct KeyRow {
  const char* name;
  int kind;
};
constexpr KeyRow kStyleKeys[] = {
    {"Font", vtextAttrFONT},         {"Color", vtextAttrCOLOR},       {"Ascent", vtextAttrINTEGER},
    {"Descent", vtextAttrINTEGER},   {"Size", vtextAttrINTEGER},      {"Bold", vtextAttrBOOLEAN},
    {"Underline", vtextAttrBOOLEAN}, {"Invert", vtextAttrBOOLEAN},    {"Italic", vtextAttrBOOLEAN},
    {"Strikethru", vtextAttrBOOLEAN}, {"Hidden", vtextAttrBOOLEAN},   {"Data", vtextAttrDATA},
    {"Graphic", vtextAttrOBJECT},
};

}  // namespace

vtextStyleClassRec* _vtextBuildStyleClass() {
  vtextAttrDefinitions* definitions = vtextRulerCreateDefinitions();
  for (const KeyRow& row : kStyleKeys) vtextRulerRegisterAttr(definitions, key(row.name), row.kind);
  auto* c = vclassSpawnOf<vtextStyleClassRec>(vobjectGetDefaultClass());
  vclassSetName(c, vscribeLiteral("vtextStyle"));
  c->instanceSize = sizeof(vtextStyle);
  c->init = styleInit;
  c->destroy = styleDestroy;
  c->copy = styleCopy;
  c->copyInit = styleCopyInit;
  c->loadInit = styleLoadInit;
  c->store = styleStore;
  c->definitions = definitions;
  c->setAttribute = styleSetAttribute;
  c->load = styleLoad;
  c->determineFont = styleDetermineFont;
  c->prepare = [](vtextStyle*) {};
  return c;
}

vtextStyle* vtextStyleCreate() { return asStyle(vinstanceCreate(vtextStyleGetDefaultClass())); }
vtextStyle* vtextStyleClone(vtextStyle* style) { return asStyle(vobjectClone(style)); }
void vtextStyleDestroy(vtextStyle* style) { vinstanceDestroy(style); }

vtextStyle* vtextStyleCreateFromResource(vresource resource) {
  vname cls;
  // A stored class that is no style class is passed over for a plain style.
  if (vresourceTestGetTag(resource, vname_Class, &cls) &&
      vclassIsSubclass(vobjectFindResourceClass(resource), vtextStyleGetDefaultClass()))
    return asStyle(vobjectLoad(resource));
  vtextStyle* s = vtextStyleCreate();
  vtextRulerFreeAttrSet(&s->attributes);
  classOf(s)->load(s, resource);
  return s;
}
