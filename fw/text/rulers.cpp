#include "fw/text/rulers.h"

#include <algorithm>
#include <cstring>

#include "fw/core/mem.h"
#include "fw/core/resource.h"
#include "fw/data/vresource.h"
#include "fw/text/selection.h"
#include "fw/text/styleruns.h"
#include "fw/text/text_internal.h"

namespace {

std::int32_t clampLine(const vtext* t, std::int32_t line) { return std::clamp(line, 1, t->lineCount); }

void setRulerLines(vtext* t, std::int32_t first, std::int32_t last, vtextRuler* ruler) {
  first = clampLine(t, first);
  last = std::max(first, clampLine(t, last));
  std::int32_t start = vtextGetLineStart(t, first);
  std::int32_t end = last >= t->lineCount ? t->length : vtextGetLineStart(t, last + 1) - 1;
  vtextAddRulerTag(t, ruler, start, end);
  _vtextRelayoutRange(t, start, end);
}

void clearRulerLines(vtext* t, std::int32_t first, std::int32_t last, vtextRuler* ruler) {
  first = clampLine(t, first);
  last = std::max(first, clampLine(t, last));
  std::int32_t start = vtextGetLineStart(t, first);
  std::int32_t end = last >= t->lineCount ? t->length : vtextGetLineStart(t, last + 1);
  _vtextRemoveRuns(t, true, start, end, ruler);
  _vtextRelayoutRange(t, start, end);
}

// The selection's first and last lines, widened to whole paragraphs.
void paragraphsOf(vtext* t, vtextSelection* s, std::int32_t* first, std::int32_t* last) {
  const vtextSpan range = _vtextClampedRange(t, s);
  std::int32_t a = vtextGetLineOfPosition(t, range.start);
  std::int32_t b = vtextGetLineOfPosition(t, range.end);
  std::int32_t unused = 0;
  vtextGetParagraphLines(t, a, first, &unused);
  vtextGetParagraphLines(t, b, &unused, last);
}

void growTabs(vtextRuler* r, std::int32_t needed) {
  if (needed <= r->tabCapacity) return;
  r->tabCapacity = std::int16_t(needed);
  r->tabs = static_cast<vtextTab*>(vmemRealloc(r->tabs, std::size_t(needed) * sizeof(vtextTab)));
}

void insertTab(vtextRuler* r, std::int32_t at, vtextTab tab) {
  std::copy_backward(r->tabs + at, r->tabs + r->tabCount, r->tabs + r->tabCount + 1);
  r->tabs[at] = tab;
  ++r->tabCount;
}

void updateLastTab(vtextRuler* r) { r->lastTab = r->tabCount > 0 ? r->tabs[r->tabCount - 1].position : 0; }

std::uint32_t serialOf(const vtextTag* tag) { return tag->serial; }

vtextTag** tagsBySerial(vtext* t, bool ruler) {
  vtextAttachments* a = t->attachments;
  std::int32_t n = a ? (ruler ? a->rulerTagCount : a->styleTagCount) : 0;
  auto* out = static_cast<vtextTag**>(vmemAlloc(std::size_t(n + 1) * sizeof(vtextTag*)));
  std::int32_t count = 0;
  if (n > 0) {
    vtextTagIterator it;
    vtextInitTagIterator(&it, t, ruler ? vtextName("Ruler") : vname_Style, 0);
    while (count < n && vtextNextTag(&it))
      if (_vtextRunObject(t, vtextGetIteratorTag(&it), ruler)) out[count++] = vtextGetIteratorTag(&it);
  }
  std::stable_sort(out, out + count, [](const vtextTag* x, const vtextTag* y) { return serialOf(x) < serialOf(y); });
  out[count] = nullptr;
  return out;
}

}  // namespace

vtextTag* _vtextAddRulerRun(vtext* text, vtextRuler* ruler, std::int32_t start, std::int32_t end) {
  _vtextEnsureAttachments(text);
  vtextForgetCache(text);
  vtextAttachments* a = text->attachments;
  auto* tag = static_cast<vtextTag*>(vpoolAlloc(a->rulerTags));
  vtextInitTag(tag);
  vtextSetTagRange(text, tag, start, end);
  tag->kind = vtextName("Ruler");
  *reinterpret_cast<vtextRuler**>(tag + 1) = ruler;
  vtextClassOf(text)->addTag(text, tag);
  ++a->rulerTagCount;
  ruler->flags |= vtextRulerAPPLIED;
  return tag;
}

std::uint32_t vtextAddRulerTag(vtext* text, vtextRuler* ruler, std::int32_t start, std::int32_t end) {
  return _vtextAddRulerRun(text, ruler, start, end)->serial;
}

std::int32_t vtextGatherRulerTags(vtext* text, vtextRuler* filter, std::int32_t start, std::int32_t end,
                                  vtextTag*** array, std::int32_t capacity) {
  return _vtextGatherRuns(text, true, filter, start, end, array, capacity);
}

vtextRuler* vtextRunRuler(vtext* text, vtextTag* tag) {
  return static_cast<vtextRuler*>(_vtextRunObject(text, tag, true));
}

void vtextReplaceRuler(vtext* text, vtextRuler* from, vtextRuler* to) { _vtextReplaceInRuns(text, true, from, to); }

void vtextSetDefaultRuler(vtext* text, vtextRuler* ruler) {
  vtextRuler* old = text->defaultRuler;
  if (old == ruler) return;
  if (old) vtextReplaceRuler(text, old, ruler ? ruler : vtextGetDefaultRuler());
  text->defaultRuler = ruler;
  if (old && (old->flags & vtextRulerOWNED)) {
    // A listed ruler leaves the list before it goes, so no entry dangles.
    if (old->owner == text && old->index >= 0)
      vtextRemoveRuler(text, old);
    else
      vinstanceDestroy(old);
  }
  vtextForgetCache(text);
  vtextRecalculate(text);
  vtextClassOf(text)->notifyRulerChanged(text, nullptr, 0, 0);
}

void vtextSetLinesRuler(vtext* text, std::int32_t first, std::int32_t last, vtextRuler* ruler) {
  std::int32_t from = 0, to = 0, unused = 0;
  vtextGetParagraphLines(text, clampLine(text, first), &from, &unused);
  vtextGetParagraphLines(text, clampLine(text, last), &unused, &to);
  vtextSetRulerLines(text, ruler, from, to);
  vtextClassOf(text)->notifyRulerChanged(text, ruler, from, to);
}

void vtextSetSelectionRuler(vtext* text, vtextSelection* selection, vtextRuler* ruler) {
  std::int32_t first = 0, last = 0;
  paragraphsOf(text, selection, &first, &last);
  vtextSetRulerLines(text, ruler, first, last);
  vtextClassOf(text)->notifyRulerChanged(text, ruler, first, last);
}

void vtextClearSelectionRuler(vtext* text, vtextSelection* selection, vtextRuler* ruler) {
  std::int32_t first = 0, last = 0;
  paragraphsOf(text, selection, &first, &last);
  vtextClearRulerLines(text, ruler, first, last);
  vtextClassOf(text)->notifyRulerChanged(text, ruler, first, last);
}

void vtextAddRuler(vtext* text, vtextRuler* ruler) {
  _vtextEnsureAttachments(text);
  vtextAttachments* a = text->attachments;
  _vtextListAdd(text, a->rulers, a->rulerCount, a->rulerCapacity, ruler);
}

void vtextRemoveRuler(vtext* text, vtextRuler* ruler) {
  vtextAttachments* a = text->attachments;
  if (!a || !_vtextListTake(a->rulers, a->rulerCount, ruler))
    _vexGenerate(&vexArgClass, vexSetMessage, "vtextRemoveRuler -- ruler is not listed.\n", vexEnd);
  if (text->defaultRuler == ruler) text->defaultRuler = nullptr;
  if (ruler->flags & vtextRulerOWNED) {
    _vtextDropRunsOf(text, true, ruler);  // no run may outlive its ruler
    vinstanceDestroy(ruler);
  }
}

int vtextRulersEqual(const vtextRuler* a, const vtextRuler* b) {
  if (!a || !b) return a == b;
  if (!vtextRulerEqualAttrSet(&a->attributes, &b->attributes) || a->tabCount != b->tabCount) return 0;
  for (std::int16_t i = 0; i < a->tabCount; ++i)
    if (a->tabs[i].position != b->tabs[i].position || a->tabs[i].type != b->tabs[i].type) return 0;
  return 1;
}

vtextRuler* vtextFindEqualRuler(vtext* text, const vtextRuler* ruler) {
  vtextAttachments* a = text->attachments;
  for (std::int16_t i = 0; a && i < a->rulerCount; ++i)
    if (vtextRulersEqual(a->rulers[i], ruler)) return a->rulers[i];
  return nullptr;
}

void vtextMergeRuler(const vtextRuler* source, vtextRuler* target) {
  vtextRulerMergeAttrSet(&source->attributes, &target->attributes);
  if (source->tabCount == 0) return;
  if (target->tabCount == 0) {
    growTabs(target, source->tabCapacity);
    std::copy_n(source->tabs, source->tabCount, target->tabs);
    target->tabCount = source->tabCount;
  } else {
    if (target->tabCount + source->tabCount > target->tabCapacity)
      growTabs(target, target->tabCount + source->tabCount + 5);
    for (std::int16_t i = 0; i < source->tabCount; ++i) {
      const vtextTab& tab = source->tabs[i];
      std::int32_t at = 0;
      while (at < target->tabCount && target->tabs[at].position < tab.position) ++at;
      // A stop at the same place takes the source's type.
      if (at < target->tabCount && target->tabs[at].position == tab.position)
        target->tabs[at].type = tab.type;
      else
        insertTab(target, at, tab);
    }
  }
  updateLastTab(target);
}

void vtextMergeRulers(vtext* text, vtextTag** tags, std::int32_t count, vtextRuler* target) {
  for (std::int32_t i = count - 1; i >= 0; --i)
    if (vtextRuler* r = vtextRunRuler(text, tags[i])) vtextMergeRuler(r, target);
}

vtextRuler* vtextGetLineRuler(vtext* text, std::int32_t line) {
  if (!text->attachments || text->attachments->rulerTagCount == 0) return nullptr;
  vtextTagScan scan;
  vtextInitTagScan(&scan, text, vtextName("Ruler"), vtextGetLineStart(text, clampLine(text, line)));
  vtextScanTags(&scan);
  vtextRuler* merged = nullptr;
  std::int32_t own = 0;
  for (std::int32_t i = 0; i < scan.count; ++i) own += vtextRunRuler(text, scan.tags[i]) != nullptr;
  if (own > 0) {
    merged = vtextRulerCreate();
    vtextMergeRulers(text, scan.tags, scan.count, merged);
  }
  vtextFreeTagScan(&scan);
  return merged;
}

std::int32_t vtextRulerEditTab(vtext* text, vtextRuler* ruler, vfixed position, int operation, int* type) {
  std::int32_t result = 0;
  if (operation == vtextTAB_CLEAR) {
    vmemFree(ruler->tabs);
    ruler->tabs = nullptr;
    ruler->tabCount = ruler->tabCapacity = 0;
    result = 1;
  } else {
    std::int32_t match = -1, at = 0;
    for (; at < ruler->tabCount; ++at) {
      std::int64_t d = std::int64_t(ruler->tabs[at].position) - position;
      if (d > vtextTAB_TOLERANCE) break;  // the insertion point
      if (d >= -vtextTAB_TOLERANCE) {
        match = at;
        break;
      }
    }
    switch (operation) {
      case vtextTAB_ADD:
        if (match >= 0) return 0;
        if (ruler->tabCount == ruler->tabCapacity) growTabs(ruler, ruler->tabCapacity + 5);
        insertTab(ruler, at, vtextTab{position, std::uint8_t(type ? *type : 0)});
        result = 1;
        break;
      case vtextTAB_REMOVE:
        if (match < 0) return 0;
        std::copy(ruler->tabs + match + 1, ruler->tabs + ruler->tabCount, ruler->tabs + match);
        --ruler->tabCount;
        result = 1;
        break;
      case vtextTAB_QUERY:
        if (match < 0) return 0;
        if (type) *type = ruler->tabs[match].type;
        return ruler->tabs[match].position;
      default: return 0;
    }
  }
  updateLastTab(ruler);
  if (text) vtextClassOf(text)->notifyRulerChanged(text, ruler, 0, 0);
  return result;
}

vtextRuler* vtextLoadRuler(vresource resource) {
  vresource entry;
  // A stored class that is no ruler class is passed over for a plain ruler.
  if (vresourceTestGet(resource, vname_Class, &entry) &&
      vclassIsSubclass(vobjectFindResourceClass(resource), vtextGetRulerClass()))
    return static_cast<vtextRuler*>(vobjectLoad(resource));
  vtextRuler* ruler = vtextRulerCreate();
  vtextRulerFreeAttrSet(&ruler->attributes);
  vtextRulerLoadAttributes(ruler, resource);
  return ruler;
}

vtextTag** vtextGetStyleTags(vtext* text) { return tagsBySerial(text, false); }
vtextTag** vtextGetRulerTags(vtext* text) { return tagsBySerial(text, true); }

void _vtextFillRulerSlots(vtextClassRec* c) {
  c->setRulerLines = setRulerLines;
  c->clearRulerLines = clearRulerLines;
}
