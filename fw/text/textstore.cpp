// Storing and loading a text: its modes, characters (a string when short,
// one opaque element a block otherwise), its styles, style runs and
// current style. Stored input is checked: indexes out of range are
// skipped and positions clamped into the text.
#include "fw/text/textstore.h"

#include <algorithm>
#include <vector>

#include "fw/core/ex.h"
#include "fw/core/mem.h"
#include "fw/core/resource.h"
#include "fw/core/scribe.h"
#include "fw/data/resrect.h"
#include "fw/data/vresource.h"
#include "fw/text/styleruns.h"
#include "fw/text/text_internal.h"

namespace {

constexpr std::int32_t kShortText = 256;

vname key(const char* name) { return vtextName(name); }

std::vector<vtextTag*> runsBySerial(vtext* t) {
  std::vector<vtextTag*> runs;
  if (!t->attachments || t->attachments->styleTagCount == 0) return runs;
  vtextTagIterator it;
  vtextInitTagIterator(&it, t, vname_Style, 0);
  while (vtextNextTag(&it))
    if (vtextRunStyle(t, vtextGetIteratorTag(&it))) runs.push_back(vtextGetIteratorTag(&it));
  std::sort(runs.begin(), runs.end(), [](const vtextTag* a, const vtextTag* b) { return a->serial < b->serial; });
  return runs;
}

std::int32_t listIndex(vtext* t, const vtextStyle* s) {
  return s && s->owner == t && s->index >= 0 && t->attachments && s->index < t->attachments->styleCount &&
                 t->attachments->styles[s->index] == s
             ? s->index
             : -1;
}

void storeStyle(vtextStyle* s, vresource r) { vclassRec<vobjectClassRec>(s)->store(s, r); }

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
      auto capacity = std::int32_t(length) + 1024;
      bytes = static_cast<char*>(vmemRealloc(bytes, std::size_t(capacity)));
      last = vtextNewBlock(t, last, bytes, std::int32_t(length), capacity);
      t->length += std::int32_t(length);
    }
  }
  if (!t->first) vtextNewBlock(t, nullptr, static_cast<char*>(vmemAlloc(256)), 0, 256);
}

// A style of the list by stored index; -1 the current (or the module's).
vtextStyle* styleOfIndex(vtext* t, std::int32_t index, bool* ok) {
  std::int32_t count = t->attachments ? t->attachments->styleCount : 0;
  *ok = index >= -1 && index < count;
  if (!*ok) return nullptr;
  if (index == -1) return t->currentStyle ? t->currentStyle : vtextStyleGetDefault();
  return t->attachments->styles[index];
}

void applyRun(vtext* t, std::int32_t index, std::int32_t start, std::int32_t end) {
  bool ok = false;
  vtextStyle* style = styleOfIndex(t, index, &ok);
  if (!ok) return;
  start = std::clamp(start, 0, t->length);
  end = std::clamp(end, start, t->length);
  vtextClassOf(t)->addStyleRun(t, start, end, style);
}

std::int32_t integerOf(vresource dict, const char* name) {
  std::int32_t v = 0;
  vresourceTestGetInteger(dict, key(name), &v);
  return v;
}

void loadRuns(vtext* t, vresource r) {
  vresource list;
  if (vresourceTestGet(r, key("StyleChanges"), &list)) {
    // Pairs: index and start, then the end; an odd last one is dropped.
    for (std::int32_t i = 0, n = vresourceCount(list); i + 1 < n; i += 2) {
      vresource a = vresourceGetAt(list, i), b = vresourceGetAt(list, i + 1);
      applyRun(t, integerOf(a, "StyleIndex"), integerOf(a, "StylePosition"), integerOf(b, "StylePosition"));
    }
    return;
  }
  if (!vresourceTestGet(r, key("Style Tags"), &list)) return;
  std::int32_t n = vresourceCount(list);
  if (vresourceGetElementType(list) == vresDICTIONARY) {
    for (std::int32_t i = 0; i < n; ++i) {
      vresource e = vresourceGetAt(list, i);
      applyRun(t, integerOf(e, "StyleIndex"), integerOf(e, "Start"), integerOf(e, "End"));
    }
    return;
  }
  for (std::int32_t i = 0; i + 2 < n; i += 3)
    applyRun(t, vresourceGetAtInteger(list, i + 2), vresourceGetAtInteger(list, i), vresourceGetAtInteger(list, i + 1));
}

}  // namespace

void _vtextStore(vobject* self, vresource r) {
  vobjectGetDefaultClass()->store(self, r);
  auto* t = static_cast<vtext*>(self);
  vresourceSetInteger(r, key("Mode"), t->mode & ~vtextMODE_FROZEN);
  vresourceSetInteger(r, key("View"), t->view);
  storeChars(t, r);
  std::int32_t count = t->attachments ? t->attachments->styleCount : 0;
  vresourceRemoveIfPresent(r, key("Styles"));
  if (count > 0) {
    vresource styles = vresourceCreateArray(r, key("Styles"), vresDICTIONARY, count);
    for (std::int32_t i = 0; i < count; ++i)
      storeStyle(t->attachments->styles[i], vresourceCreateAt(styles, i, vresDICTIONARY));
  }
  vresourceRemoveIfPresent(r, key("StyleChanges"));
  vresourceRemoveIfPresent(r, key("RulerChanges"));
  vresourceRemoveIfPresent(r, key("Style Tags"));
  std::vector<vtextTag*> runs = runsBySerial(t);
  if (!runs.empty()) {
    vresource tags = vresourceCreateArray(r, key("Style Tags"), vresINTEGER, std::int32_t(runs.size() * 3));
    for (std::size_t i = 0; i < runs.size(); ++i) {
      vresourceSetAtInteger(tags, std::int32_t(3 * i), vtextGetTagStart(runs[i]));
      vresourceSetAtInteger(tags, std::int32_t(3 * i + 1), vtextGetTagEnd(runs[i]));
      vresourceSetAtInteger(tags, std::int32_t(3 * i + 2), listIndex(t, vtextRunStyle(t, runs[i])));
    }
  }
  vresourceRemoveIfPresent(r, key("DefaultStyle"));
  if (vtextStyle* current = t->currentStyle) {
    std::int32_t index = listIndex(t, current);
    if (index >= 0)
      vresourceSetInteger(r, key("DefaultStyle"), index);
    else
      storeStyle(current, vresourceCreate(r, key("DefaultStyle"), vresDICTIONARY));
  }
}

void _vtextLoadInit(vobject* self, vresource r) {
  auto* t = static_cast<vtext*>(self);
  vtextClassOf(t)->init(t);
  std::int32_t mode = 0, view = 0;
  vresourceTestGetInteger(r, key("Mode"), &mode);
  vresourceTestGetInteger(r, key("View"), &view);
  loadChars(t, r);
  t->view = std::uint8_t(view);
  vresource list;
  if (vresourceTestGet(r, key("Styles"), &list) && vresourceGetType(list, nullptr) == vresARRAY) {
    for (std::int32_t i = 0, n = vresourceCount(list); i < n; ++i) {
      vtextStyle* s = vtextStyleCreateFromResource(vresourceGetAt(list, i));
      s->flags |= vtextStyleOWNED;
      vtextAddStyle(t, s);
    }
  }
  vresource entry;
  if (vresourceTestGet(r, key("DefaultStyle"), &entry)) {
    if (vresourceGetType(entry, nullptr) == vresDICTIONARY) {
      t->currentStyle = vtextStyleCreateFromResource(entry);
      t->currentStyle->flags |= vtextStyleOWNED;
    } else {
      bool ok = false;
      vtextStyle* s = styleOfIndex(t, vresourceGetInteger(r, key("DefaultStyle")), &ok);
      if (ok && s != vtextStyleGetDefault()) t->currentStyle = s;
    }
  }
  t->mode = std::uint8_t(mode | vtextMODE_FROZEN);
  loadRuns(t, r);
  vtextForgetCache(t);
  t->mode = std::uint8_t(mode & ~vtextMODE_FROZEN);
  vtextRecalculate(t);
}

void _vtextCopyStyles(vtext* from, vtext* to) {
  // What the destination had goes first: its runs left with its blocks.
  if (vtextAttachments* a = to->attachments) {
    vpoolFreeAll(a->styleTags);
    a->styleTagCount = 0;
    _vtextForgetStyleRun(vtextGetLastStyleRun());
    while (a->styleCount > 0) vtextRemoveStyleEntry(to, a->styles[a->styleCount - 1]);
  }
  if (to->currentStyle && (to->currentStyle->flags & vtextStyleOWNED)) vtextStyleDestroy(to->currentStyle);
  to->currentStyle = nullptr;
  std::int32_t count = from->attachments ? from->attachments->styleCount : 0;
  for (std::int32_t i = 0; i < count; ++i) {
    vtextStyle* copy = vtextStyleClone(from->attachments->styles[i]);
    copy->flags |= vtextStyleOWNED;
    vtextAddStyle(to, copy);
  }
  if (vtextStyle* current = from->currentStyle) {
    std::int32_t index = listIndex(from, current);
    if (index >= 0) {
      to->currentStyle = to->attachments->styles[index];
    } else if (current->flags & vtextStyleOWNED) {
      to->currentStyle = vtextStyleClone(current);
      to->currentStyle->flags |= vtextStyleOWNED;
    } else {
      to->currentStyle = current;
    }
  }
  for (vtextTag* run : runsBySerial(from))
    applyRun(to, listIndex(from, vtextRunStyle(from, run)), vtextGetTagStart(run), vtextGetTagEnd(run));
}
