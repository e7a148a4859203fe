// Storing and loading a text: its modes, characters (a string when short,
// one opaque element a block otherwise), its styles and rulers, their runs,
// its current style and default ruler. Stored input is checked: indexes
// out of range are skipped and positions clamped into the text.
#include "fw/text/textstore.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "fw/core/ex.h"
#include "fw/core/mem.h"
#include "fw/core/resource.h"
#include "fw/core/scribe.h"
#include "fw/data/resrect.h"
#include "fw/data/vresource.h"
#include "fw/text/graphic.h"
#include "fw/text/rulers.h"
#include "fw/text/styleruns.h"
#include "fw/text/text_internal.h"

namespace {

constexpr std::int32_t kShortText = 256;

vname key(const char* name) { return vtextName(name); }

// What storing, loading and copying do alike for styles and for rulers.
struct Kind {
  bool ruler;
  const char *list, *tags, *changes, *index, *defaultKey;
};
constexpr Kind kStyles{false, "Styles", "Style Tags", "StyleChanges", "StyleIndex", "DefaultStyle"};
constexpr Kind kRulers{true, "Rulers", "Ruler Tags", "RulerChanges", "RulerIndex", "DefaultRuler"};

std::int32_t countOf(const vtext* t, const Kind& k) {
  const vtextAttachments* a = t->attachments;
  return a ? (k.ruler ? a->rulerCount : a->styleCount) : 0;
}
vobject* listed(const vtext* t, const Kind& k, std::int32_t i) {
  return k.ruler ? static_cast<vobject*>(t->attachments->rulers[i]) : t->attachments->styles[i];
}
vobject* currentOf(const vtext* t, const Kind& k) {
  return k.ruler ? static_cast<vobject*>(t->defaultRuler) : t->currentStyle;
}
bool owned(const vobject* o, const Kind& k) {
  return k.ruler ? static_cast<const vtextRuler*>(o)->flags & vtextRulerOWNED
                 : static_cast<const vtextStyle*>(o)->flags & vtextStyleOWNED;
}

// The object's index in the text's list, -1 when it is not there.
std::int32_t listIndex(const vtext* t, const Kind& k, const vobject* o) {
  if (!o) return -1;
  const vtext* owner = k.ruler ? static_cast<const vtextRuler*>(o)->owner : static_cast<const vtextStyle*>(o)->owner;
  std::int32_t index = k.ruler ? static_cast<const vtextRuler*>(o)->index : static_cast<const vtextStyle*>(o)->index;
  return owner == t && index >= 0 && index < countOf(t, k) && listed(t, k, index) == o ? index : -1;
}

void storeObject(vobject* o, vresource r) { vclassRec<vobjectClassRec>(o)->store(o, r); }

vobject* markOwned(vobject* o, const Kind& k) {
  if (k.ruler)
    static_cast<vtextRuler*>(o)->flags |= vtextRulerOWNED;
  else
    static_cast<vtextStyle*>(o)->flags |= vtextStyleOWNED;
  return o;
}

vobject* loadObject(vresource r, const Kind& k) {
  return markOwned(k.ruler ? static_cast<vobject*>(vtextLoadRuler(r)) : vtextStyleCreateFromResource(r), k);
}

void storeChars(vtext* t, vresource r) {
  if (t->length <= kShortText) {
    std::vector<char> chars(std::size_t(t->length) + 1, 0);
    std::int32_t n = vtextGetChars(t, 0, t->length, chars.data(), t->length);
    vresourceSetStringSized(r, vname_Text, chars.data(), std::size_t(n));
    vresourceRemoveIfPresent(r, key("TextData"));
    return;
  }
  std::int32_t blocks = 0;
  for (vtextBlock* b = t->first; b; b = b->next) ++blocks;
  vresourceRemoveIfPresent(r, key("TextData"));
  vresource data = vresourceCreateArray(r, key("TextData"), vresOPAQUE, blocks);
  std::int32_t i = 0;
  for (vtextBlock* b = t->first; b; b = b->next) vresourceSetAtOpaque(data, i++, b->chars, std::size_t(b->used));
  vresourceRemoveIfPresent(r, vname_Text);
}

void loadChars(vtext* t, vresource r) {
  vtextFreeBlocks(t);
  t->length = 0;
  vresource data, text;
  if (vresourceTestGet(r, vname_Text, &text) && vresourceGetType(text, nullptr) == vresSTRING) {
    std::size_t n = vresourceGetStringLength(text);
    auto capacity = std::int32_t(n) + 256;
    char* buffer = static_cast<char*>(vmemAlloc(std::size_t(capacity)));
    std::size_t got = 0;
    vresourceGetStringRange(r, vname_Text, 0, buffer, n + 1, &got);
    vtextNewBlock(t, nullptr, buffer, std::int32_t(got), capacity);
    t->length = std::int32_t(got);
  } else if (vresourceTestGet(r, key("TextData"), &data) && vresourceGetType(data, nullptr) == vresARRAY) {
    vtextBlock* last = nullptr;
    for (std::int32_t i = 0, n = vresourceCount(data); i < n; ++i) {
      std::size_t length = 0;
      char* bytes = nullptr;
      // An element that was never given bytes raises; it is passed over.
      if (!vexTry([&] {
            bytes = static_cast<char*>(vresourceGetAtOpaque(data, i, 0, std::size_t(vtextTagMAX_POSITION), &length));
          }))
        continue;
      if (!bytes || length == 0 || t->length + std::int64_t(length) > vtextTagMAX_POSITION) {
        vmemFree(bytes);
        continue;  // an empty element would make an empty block
      }
      t->length += std::int32_t(length);
      // A display line never crosses blocks: an element not ending its line
      // joins the block before, or the line would show as two.
      if (last && last->chars[last->used - 1] != '\n') {
        last->capacity = last->used + std::int32_t(length) + 1024;
        last->chars = static_cast<char*>(vmemRealloc(last->chars, std::size_t(last->capacity)));
        std::memcpy(last->chars + last->used, bytes, length);
        last->used += std::int32_t(length);
        vmemFree(bytes);
        continue;
      }
      auto capacity = std::int32_t(length) + 1024;
      bytes = static_cast<char*>(vmemRealloc(bytes, std::size_t(capacity)));
      last = vtextNewBlock(t, last, bytes, std::int32_t(length), capacity);
    }
  }
  if (!t->first) vtextNewBlock(t, nullptr, static_cast<char*>(vmemAlloc(256)), 0, 256);
}

// A list entry by stored index; -1 the current one (or the module's).
vobject* objectOfIndex(vtext* t, const Kind& k, std::int32_t index, bool* ok) {
  *ok = index >= -1 && index < countOf(t, k);
  if (!*ok) return nullptr;
  if (index >= 0) return listed(t, k, index);
  if (vobject* current = currentOf(t, k)) return current;
  return k.ruler ? static_cast<vobject*>(vtextGetDefaultRuler()) : vtextStyleGetDefault();
}

void applyRun(vtext* t, const Kind& k, std::int32_t index, std::int32_t start, std::int32_t end) {
  bool ok = false;
  vobject* o = objectOfIndex(t, k, index, &ok);
  if (!ok) return;
  start = std::clamp(start, 0, t->length);
  end = std::clamp(end, start, t->length);
  if (k.ruler)
    vtextAddRulerTag(t, static_cast<vtextRuler*>(o), start, end);
  else
    vtextClassOf(t)->addStyleRun(t, start, end, static_cast<vtextStyle*>(o));
}

std::int32_t integerOf(vresource dict, const char* name) {
  std::int32_t v = 0;
  vresourceTestGetInteger(dict, key(name), &v);
  return v;
}

// Older ruler pairs give lines, not positions.
void applyRulerLines(vtext* t, std::int32_t index, std::int32_t first, std::int32_t last) {
  bool ok = false;
  vobject* o = objectOfIndex(t, kRulers, index, &ok);
  if (!ok) return;
  vtextSetRulerLines(t, static_cast<vtextRuler*>(o), first, last);
}

bool isDictionaryArray(vresource list) {
  return vresourceGetType(list, nullptr) == vresARRAY && vresourceGetElementType(list) == vresDICTIONARY;
}

void loadRuns(vtext* t, vresource r, const Kind& k) {
  vresource list;
  if (vresourceTestGet(r, key(k.changes), &list)) {
    if (!isDictionaryArray(list)) return;
    // Pairs: index and start, then the end; an odd last one is dropped.
    const char* where = k.ruler ? "RulerLines" : "StylePosition";
    for (std::int32_t i = 0, n = vresourceCount(list); i + 1 < n; i += 2) {
      vresource a = vresourceGetAt(list, i), b = vresourceGetAt(list, i + 1);
      if (k.ruler)
        applyRulerLines(t, integerOf(a, k.index), integerOf(a, where), integerOf(b, where));
      else
        applyRun(t, k, integerOf(a, k.index), integerOf(a, where), integerOf(b, where));
    }
    return;
  }
  if (!vresourceTestGet(r, key(k.tags), &list) || vresourceGetType(list, nullptr) != vresARRAY) return;
  std::int32_t n = vresourceCount(list);
  if (vresourceGetElementType(list) == vresDICTIONARY) {
    for (std::int32_t i = 0; i < n; ++i) {
      vresource e = vresourceGetAt(list, i);
      applyRun(t, k, integerOf(e, k.index), integerOf(e, "Start"), integerOf(e, "End"));
    }
    return;
  }
  if (vresourceGetElementType(list) != vresINTEGER) return;
  for (std::int32_t i = 0; i + 2 < n; i += 3)
    applyRun(t, k, vresourceGetAtInteger(list, i + 2), vresourceGetAtInteger(list, i), vresourceGetAtInteger(list, i + 1));
}

void storeKind(vtext* t, vresource r, const Kind& k) {
  std::int32_t count = countOf(t, k);
  vresourceRemoveIfPresent(r, key(k.list));
  if (count > 0) {
    vresource list = vresourceCreateArray(r, key(k.list), vresDICTIONARY, count);
    for (std::int32_t i = 0; i < count; ++i) storeObject(listed(t, k, i), vresourceCreateAt(list, i, vresDICTIONARY));
  }
}

void storeTags(vtext* t, vresource r, const Kind& k) {
  vresourceRemoveIfPresent(r, key(k.tags));
  vtextTag** runs = k.ruler ? vtextGetRulerTags(t) : vtextGetStyleTags(t);
  std::int32_t n = 0;
  while (runs[n]) ++n;
  if (n > 0) {
    vresource tags = vresourceCreateArray(r, key(k.tags), vresINTEGER, 3 * n);
    for (std::int32_t i = 0; i < n; ++i) {
      vresourceSetAtInteger(tags, 3 * i, vtextGetTagStart(runs[i]));
      vresourceSetAtInteger(tags, 3 * i + 1, vtextGetTagEnd(runs[i]));
      vresourceSetAtInteger(tags, 3 * i + 2, listIndex(t, k, static_cast<vobject*>(_vtextRunObject(t, runs[i], k.ruler))));
    }
  }
  vmemFree(runs);
}

void storeDefault(vtext* t, vresource r, const Kind& k) {
  vresourceRemoveIfPresent(r, key(k.defaultKey));
  vobject* current = currentOf(t, k);
  if (!current) return;
  std::int32_t index = listIndex(t, k, current);
  if (index >= 0)
    vresourceSetInteger(r, key(k.defaultKey), index);
  else
    storeObject(current, vresourceCreate(r, key(k.defaultKey), vresDICTIONARY));
}

void setCurrent(vtext* t, const Kind& k, vobject* o) {
  if (k.ruler)
    t->defaultRuler = static_cast<vtextRuler*>(o);
  else
    t->currentStyle = static_cast<vtextStyle*>(o);
}

void loadKind(vtext* t, vresource r, const Kind& k) {
  vresource list;
  if (vresourceTestGet(r, key(k.list), &list) && isDictionaryArray(list)) {
    for (std::int32_t i = 0, n = vresourceCount(list); i < n; ++i) {
      vobject* o = loadObject(vresourceGetAt(list, i), k);
      if (k.ruler)
        vtextAddRuler(t, static_cast<vtextRuler*>(o));
      else
        vtextAddStyle(t, static_cast<vtextStyle*>(o));
    }
  }
  vresource entry;
  if (!vresourceTestGet(r, key(k.defaultKey), &entry)) return;
  if (vresourceGetType(entry, nullptr) == vresDICTIONARY) {
    setCurrent(t, k, loadObject(entry, k));
  } else if (vresourceGetType(entry, nullptr) == vresINTEGER) {
    std::int32_t index = vresourceGetInteger(r, key(k.defaultKey));
    if (index >= 0 && index < countOf(t, k)) setCurrent(t, k, listed(t, k, index));
  }
}

// A copied style shares its source's graphic, which goes with the source
// text or with the caller who made it: the copy owns a copy of its own.
void ownGraphic(vtextStyle* from, vtextStyle* to, vtext* text) {
  auto* graphic = reinterpret_cast<vobject*>(vtextRulerFindAttr(&from->attributes, key("Graphic")));
  if (!graphic) return;
  auto* copy = static_cast<vobject*>(vobjectClone(graphic));
  const vtextAttrDefinitions* table = vclassRec<vtextStyleClassRec>(to)->definitions;
  vtextRulerPutAttr(table, &to->attributes, key("Graphic"), copy, 0);
  if (vtextRulerFindAttr(&from->attributes, key("Data")) == reinterpret_cast<std::uintptr_t>(from->owner))
    vtextRulerPutAttr(table, &to->attributes, key("Data"), text, 0);
  to->flags |= vtextStyleOWNS_GRAPHIC;
  if (vclassIsSubclass(copy->cls, vtextGetGraphicClass())) {
    auto* g = static_cast<vtextGraphic*>(copy);
    g->flags |= vtextGraphicSTYLE_OWNS;
    g->style = to;
    g->text = text;
  }
}

// Releases the destination's current object when it owns it.
void releaseCurrent(vtext* t, const Kind& k) {
  vobject* current = currentOf(t, k);
  if (current && owned(current, k) && listIndex(t, k, current) < 0) vinstanceDestroy(current);
  setCurrent(t, k, nullptr);
}

void copyKind(vtext* from, vtext* to, const Kind& k) {
  if (vtextAttachments* a = to->attachments) {
    // The destination's runs left with its blocks.
    vpoolFreeAll(k.ruler ? a->rulerTags : a->styleTags);
    (k.ruler ? a->rulerTagCount : a->styleTagCount) = 0;
    if (!k.ruler) _vtextForgetStyleRun(vtextGetLastStyleRun());
    for (std::int32_t n = countOf(to, k); n > 0; n = countOf(to, k)) {
      if (k.ruler)
        vtextRemoveRuler(to, to->attachments->rulers[n - 1]);
      else
        vtextRemoveStyleEntry(to, to->attachments->styles[n - 1]);
    }
  }
  releaseCurrent(to, k);
  for (std::int32_t i = 0, n = countOf(from, k); i < n; ++i) {
    vobject* copy = markOwned(static_cast<vobject*>(vobjectClone(listed(from, k, i))), k);
    if (k.ruler) {
      vtextAddRuler(to, static_cast<vtextRuler*>(copy));
    } else {
      ownGraphic(static_cast<vtextStyle*>(listed(from, k, i)), static_cast<vtextStyle*>(copy), to);
      vtextAddStyle(to, static_cast<vtextStyle*>(copy));
    }
  }
  if (vobject* current = currentOf(from, k)) {
    std::int32_t index = listIndex(from, k, current);
    if (index >= 0) {
      setCurrent(to, k, listed(to, k, index));
    } else if (owned(current, k)) {
      setCurrent(to, k, markOwned(static_cast<vobject*>(vobjectClone(current)), k));
    } else {
      setCurrent(to, k, current);
    }
  }
  vtextTag** runs = k.ruler ? vtextGetRulerTags(from) : vtextGetStyleTags(from);
  for (vtextTag** run = runs; *run; ++run)
    applyRun(to, k, listIndex(from, k, static_cast<vobject*>(_vtextRunObject(from, *run, k.ruler))),
             vtextGetTagStart(*run), vtextGetTagEnd(*run));
  vmemFree(runs);
}

}  // namespace

void _vtextStore(vobject* self, vresource r) {
  vobjectGetDefaultClass()->store(self, r);
  auto* t = static_cast<vtext*>(self);
  vresourceSetInteger(r, key("Mode"), t->mode & ~vtextMODE_FROZEN);
  vresourceSetInteger(r, key("View"), t->view);
  storeChars(t, r);
  storeKind(t, r, kStyles);
  storeKind(t, r, kRulers);
  vresourceRemoveIfPresent(r, key("StyleChanges"));
  vresourceRemoveIfPresent(r, key("RulerChanges"));
  storeTags(t, r, kStyles);
  storeTags(t, r, kRulers);
  storeDefault(t, r, kStyles);
  storeDefault(t, r, kRulers);
}

void _vtextLoadInit(vobject* self, vresource r) {
  auto* t = static_cast<vtext*>(self);
  vtextClassOf(t)->init(t);
  std::int32_t mode = 0, view = 0;
  vresourceTestGetInteger(r, key("Mode"), &mode);
  vresourceTestGetInteger(r, key("View"), &view);
  loadChars(t, r);
  t->view = std::uint8_t(view);
  loadKind(t, r, kStyles);
  loadKind(t, r, kRulers);
  // Lines of the older ruler pairs need a line table first.
  vresource pairs;
  if (vresourceTestGet(r, key("RulerChanges"), &pairs)) {
    t->mode = std::uint8_t(mode & ~vtextMODE_FROZEN);
    vtextRecalculate(t);
  }
  t->mode = std::uint8_t(mode | vtextMODE_FROZEN);
  loadRuns(t, r, kStyles);
  loadRuns(t, r, kRulers);
  vtextForgetCache(t);
  t->mode = std::uint8_t(mode & ~vtextMODE_FROZEN);
  vtextRecalculate(t);
}

void _vtextCopyStyles(vtext* from, vtext* to) {
  copyKind(from, to, kStyles);
  copyKind(from, to, kRulers);
}
