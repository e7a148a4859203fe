#include "fw/text/styleruns.h"

#include <cstring>
#include <vector>

#include "fw/core/mem.h"
#include "fw/text/selection.h"
#include "fw/text/text_internal.h"
#include "fw/text/walker.h"

namespace {

vtextTag* lastRun = nullptr;

[[noreturn]] void noAppliedStyle() {
  _vexGenerate(&vexTextNoAppliedStyleClass, vexSetMessage, "No Applied Style", vexEnd);
}

bool matches(vtext* text, bool ruler, vtextTag* tag, void* filter) {
  void* object = _vtextRunObject(text, tag, ruler);
  return object && (!filter || object == filter);
}

vname kindOf(bool ruler) { return ruler ? vtextName("Ruler") : vname_Style; }

void append(vtextTag*** array, std::int32_t* capacity, std::int32_t* count, vtextTag** callers, vtextTag* tag) {
  if (*count == *capacity) {
    *capacity += 10;
    std::size_t bytes = std::size_t(*capacity) * sizeof(vtextTag*);
    if (*array == callers) {
      auto* grown = static_cast<vtextTag**>(vmemAlloc(bytes));
      std::memcpy(grown, *array, std::size_t(*count) * sizeof(vtextTag*));
      *array = grown;
    } else {
      *array = static_cast<vtextTag**>(vmemRealloc(*array, bytes));
    }
  }
  (*array)[(*count)++] = tag;
}

void dropRun(vtext* text, bool ruler, vtextTag* tag) {
  vtextClassOf(text)->removeTag(text, tag);
  vtextAttachments* a = text->attachments;
  --(ruler ? a->rulerTagCount : a->styleTagCount);
  _vtextForgetStyleRun(tag);
  vpoolFree(ruler ? a->rulerTags : a->styleTags, tag);
}

void announce(vtext* text, vtextStyle* style, std::int32_t start, std::int32_t end) {
  vtextClassOf(text)->notifyStyleChanged(text, style, start, end);
}

// Calls the slot over the selection: whole, or piece by piece through the
// line walker for a column selection.
template <class Slot>
void overSelection(vtext* text, vtextSelection* selection, vtextStyle* style, Slot slot, bool remove) {
  const vtextSpan range = _vtextClampedRange(text, selection);
  if (selection->mode == vtextSEL_COLUMN) {
    _vtextStyleApplier(nullptr, remove ? 2 : 1, style, nullptr, nullptr);
    vtextProcessLines(text, selection, _vtextStyleApplier, vtextWALK_READ_ONLY);
    if (remove && style && _vtextStyleApplierRemoved() == 0) noAppliedStyle();
  } else {
    slot(text, range.start, range.end, style);
  }
  _vtextRelayoutRange(text, range.start, range.end);
  announce(text, style, range.start, range.end);
}

// The probe of hiding: a new style with Hidden on.
vtextStyle* hiddenProbe() {
  vtextStyle* probe = vtextStyleCreate();
  vtextRulerSetBooleanAttr(probe, vtextName("Hidden"), 1);
  return probe;
}

void hideSelection(vtext* text, vtextSelection* selection) {
  vtextStyle* probe = hiddenProbe();
  if (vtextStyle* listed = vtextFindEqualStyle(text, probe)) {
    vtextStyleDestroy(probe);
    probe = listed;
  } else {
    probe->flags |= vtextStyleOWNED;
    vtextAddStyle(text, probe);
  }
  vtextApplyStyleToSelection(text, selection, probe);
}

void unhideSelection(vtext* text, vtextSelection* selection) {
  vtextStyle* probe = hiddenProbe();
  vtextStyle* listed = vtextFindEqualStyle(text, probe);
  vtextStyleDestroy(probe);
  if (listed) vtextRemoveStyleFromSelection(text, selection, listed);
}

}  // namespace

void* _vtextRunObject(vtext* text, vtextTag* tag, bool ruler) {
  vtextAttachments* a = text->attachments;
  return a && vpoolContains(ruler ? a->rulerTags : a->styleTags, tag) ? *reinterpret_cast<void**>(tag + 1) : nullptr;
}

vtextStyle* vtextRunStyle(vtext* text, vtextTag* tag) {
  return static_cast<vtextStyle*>(_vtextRunObject(text, tag, false));
}

vtextTag* vtextGetLastStyleRun() { return lastRun; }
void _vtextForgetStyleRun(const vtextTag* run) {
  if (run == lastRun) lastRun = nullptr;
}

void vtextAddStyle(vtext* text, vtextStyle* style) {
  _vtextEnsureAttachments(text);
  vtextAttachments* a = text->attachments;
  _vtextListAdd(text, a->styles, a->styleCount, a->styleCapacity, style);
}

void vtextRemoveStyleEntry(vtext* text, vtextStyle* style) {
  vtextAttachments* a = text->attachments;
  if (!a || !_vtextListTake(a->styles, a->styleCount, style))
    _vexGenerate(&vexArgClass, vexSetMessage, "vtextRemoveStyleEntry -- style is not listed.\n", vexEnd);
  if (text->currentStyle == style) text->currentStyle = nullptr;
  if (style->flags & vtextStyleOWNED) {
    _vtextDropRunsOf(text, false, style);  // no run may outlive its style
    vtextStyleDestroy(style);
  }
}

int vtextStyleEqual(const vtextStyle* a, const vtextStyle* b) {
  if (!a || !b) return a == b;
  return vtextRulerEqualAttrSet(&a->attributes, &b->attributes);
}

vtextStyle* vtextFindEqualStyle(vtext* text, const vtextStyle* style) {
  vtextAttachments* a = text->attachments;
  for (std::int16_t i = 0; a && i < a->styleCount; ++i)
    if (vtextStyleEqual(a->styles[i], style)) return a->styles[i];
  return nullptr;
}

void vtextStyleCreateArray(vtextStyle** array, std::int32_t count) {
  for (std::int32_t i = 0; i < count; ++i) array[i] = vtextStyleCreate();
}

void vtextSetCurrentStyle(vtext* text, vtextStyle* style) {
  vtextStyle* old = text->currentStyle;
  if (old && old != style) {
    _vtextReplaceStyleInTags(text, old, style);
    // A listed style leaves the list before it goes, so no entry dangles.
    if (old->flags & vtextStyleOWNED) {
      if (old->owner == text && old->index >= 0)
        vtextRemoveStyleEntry(text, old);
      else
        vtextStyleDestroy(old);
    }
  }
  text->currentStyle = style;
  vtextForgetCache(text);
  _vtextNotifyStyle(text, nullptr);
}

std::uint32_t _vtextAddStyleRun(vtext* text, std::int32_t start, std::int32_t end, vtextStyle* style) {
  _vtextEnsureAttachments(text);
  vtextForgetCache(text);
  if (vtextRulerGetBooleanAttr(style, vtextName("Hidden")) == 1) _vtextJoinBlocks(text, start, end);
  vtextAttachments* a = text->attachments;
  auto* run = static_cast<vtextStyleRun*>(vpoolAlloc(a->styleTags));
  vtextInitTag(&run->tag);
  vtextSetTagRange(text, &run->tag, start, end);
  run->tag.kind = vname_Style;
  run->style = style;
  std::uint32_t serial = vtextClassOf(text)->addTag(text, &run->tag);
  ++a->styleTagCount;
  style->flags |= vtextStyleAPPLIED;
  lastRun = &run->tag;
  return serial;
}

std::int32_t _vtextGatherRuns(vtext* text, bool ruler, void* filter, std::int32_t start, std::int32_t end,
                              vtextTag*** array, std::int32_t capacity) {
  vtextTag** callers = *array;
  std::int32_t count = 0;
  const vname kind = kindOf(ruler);
  if (start >= 1) {
    vtextTagScan scan;
    vtextInitTagScan(&scan, text, kind, start - 1);
    vtextScanTags(&scan);
    for (std::int32_t i = 0; i < scan.count; ++i)
      if (matches(text, ruler, scan.tags[i], filter) && vtextGetTagEnd(scan.tags[i]) > start)
        append(array, &capacity, &count, callers, scan.tags[i]);
    vtextFreeTagScan(&scan);
  }
  vtextTagIterator it;
  vtextInitTagIterator(&it, text, kind, start);
  while (vtextNextTag(&it)) {
    vtextTag* tag = vtextGetIteratorTag(&it);
    std::int32_t s = vtextGetTagStart(tag), e = vtextGetTagEnd(tag);
    if (s > end) break;
    if (s < start || !matches(text, ruler, tag, filter) || (s >= end && e > end)) continue;
    append(array, &capacity, &count, callers, tag);
  }
  return count;
}

std::int32_t _vtextGatherStyleTags(vtext* text, vtextStyle* filter, std::int32_t start, std::int32_t end,
                                   vtextTag*** array, std::int32_t capacity) {
  return _vtextGatherRuns(text, false, filter, start, end, array, capacity);
}

std::int32_t _vtextRemoveRuns(vtext* text, bool ruler, std::int32_t start, std::int32_t end, void* object) {
  vtextAttachments* a = text->attachments;
  auto none = [&] {
    if (!object) return;
    if (ruler) _vexGenerate(&vexTextNoAppliedRulerClass, vexSetMessage, "No Applied Ruler", vexEnd);
    noAppliedStyle();
  };
  if (!a || (ruler ? a->rulerTagCount : a->styleTagCount) == 0) {
    none();
    return 0;
  }
  vtextForgetCache(text);
  vtextTag* own[10];
  vtextTag** runs = own;
  std::int32_t n = _vtextGatherRuns(text, ruler, object, start, end, &runs, 10);
  bool empty = start == end;
  std::int32_t counted = 0;
  for (std::int32_t i = 0; i < n; ++i) {
    vtextTag* tag = runs[i];
    void* payload = _vtextRunObject(text, tag, ruler);
    if (!ruler && !object && (static_cast<vtextStyle*>(payload)->flags & vtextStyleGRAPHIC)) continue;
    ++counted;
    std::int32_t s = vtextGetTagStart(tag), e = vtextGetTagEnd(tag);
    if (s < start && !empty) {
      vtextSetTagRange(text, tag, s, start);
      if (e > end) {
        // The far piece takes the cut run's place in the stacking order.
        std::int32_t counter = text->nextTagSerial;
        vtextTag* far = ruler ? _vtextAddRulerRun(text, static_cast<vtextRuler*>(payload), end, e)
                              : (_vtextAddStyleRun(text, end, e, static_cast<vtextStyle*>(payload)), lastRun);
        far->serial = tag->serial;
        text->nextTagSerial = counter;
      }
    } else if (!empty && end < e) {
      vtextSetTagRange(text, tag, end, e);
    } else if (tag->startWord & vtextTagKEEP) {
      vtextSetTagRange(text, tag, start, start);
    } else {
      dropRun(text, ruler, tag);
    }
  }
  if (runs != own) vmemFree(runs);
  if (counted == 0) none();
  return counted;
}

std::int32_t _vtextRemoveStyleRuns(vtext* text, std::int32_t start, std::int32_t end, vtextStyle* style) {
  return _vtextRemoveRuns(text, false, start, end, style);
}

void _vtextDropRunsOf(vtext* text, bool ruler, void* object) {
  vtextAttachments* a = text->attachments;
  if (!a || (ruler ? a->rulerTagCount : a->styleTagCount) == 0) return;
  std::vector<vtextTag*> runs;
  vtextTagIterator it;
  vtextInitTagIterator(&it, text, kindOf(ruler), 0);
  while (vtextNextTag(&it))
    if (_vtextRunObject(text, vtextGetIteratorTag(&it), ruler) == object) runs.push_back(vtextGetIteratorTag(&it));
  for (vtextTag* tag : runs) dropRun(text, ruler, tag);
}

void _vtextReplaceInRuns(vtext* text, bool ruler, void* from, void* to) {
  vtextAttachments* a = text->attachments;
  if (!a || (ruler ? a->rulerTagCount : a->styleTagCount) == 0) return;
  vtextTagIterator it;
  vtextInitTagIterator(&it, text, kindOf(ruler), 0);
  while (vtextNextTag(&it)) {
    vtextTag* tag = vtextGetIteratorTag(&it);
    if (_vtextRunObject(text, tag, ruler) == from) *reinterpret_cast<void**>(tag + 1) = to;
  }
}

void _vtextReplaceStyleInTags(vtext* text, vtextStyle* from, vtextStyle* to) {
  _vtextReplaceInRuns(text, false, from, to);
}

void vtextApplyStyle(vtext* text, std::int32_t start, std::int32_t end, vtextStyle* style) {
  vtextClassOf(text)->addStyleRun(text, start, end, style);
  _vtextRelayoutRange(text, start, end);
  announce(text, style, start, end);
}

void vtextRemoveStyle(vtext* text, std::int32_t start, std::int32_t end, vtextStyle* style) {
  vtextClassOf(text)->removeStyleRuns(text, start, end, style);
  _vtextRelayoutRange(text, start, end);
  announce(text, style, start, end);
}

void vtextApplyStyleToSelection(vtext* text, vtextSelection* selection, vtextStyle* style) {
  overSelection(text, selection, style, vtextClassOf(text)->addStyleRun, false);
}

void vtextRemoveStyleFromSelection(vtext* text, vtextSelection* selection, vtextStyle* style) {
  overSelection(text, selection, style, vtextClassOf(text)->removeStyleRuns, true);
}

vtextStyle* vtextGetStyleAt(vtext* text, std::int32_t position) {
  if (!text->attachments || text->attachments->styleTagCount == 0) return nullptr;
  vtextTagScan scan;
  vtextInitTagScan(&scan, text, vname_Style, position);
  vtextScanTags(&scan);
  vtextStyle* merged = nullptr;
  for (std::int32_t i = scan.count - 1; i >= 0; --i)
    if (vtextStyle* style = vtextRunStyle(text, scan.tags[i])) {
      if (!merged) merged = vtextStyleCreate();
      vtextRulerMergeAttrSet(&style->attributes, &merged->attributes);
    }
  vtextFreeTagScan(&scan);
  return merged;
}

void _vtextSetOption32(vtext* text, int on) {
  std::uint8_t mode = on ? std::uint8_t(text->mode | vtextMODE_SHOW_HIDDEN)
                         : std::uint8_t(text->mode & ~vtextMODE_SHOW_HIDDEN);
  if (mode == text->mode) return;
  text->mode = mode;
  _vtextNotifyStyle(text, nullptr);
}

int vtextAdjustRange(std::int32_t* start, std::int32_t* end, std::int32_t position, std::int32_t delta) {
  std::int32_t from = position + delta;  // a deletion's first removed position
  if (position < *start) {
    *start += delta;
  } else if (delta < 0 && from < *start) {
    if (from < *end && position > *end) {
      *start = *end = from;
      return 1;
    }
    *start = from;
  }
  if (position <= *end)
    *end += delta;
  else if (delta < 0 && from < *end)
    *end = from;
  return 0;
}

void _vtextFillStyleRunSlots(vtextClassRec* c) {
  c->addStyleRun = _vtextAddStyleRun;
  c->removeStyleRuns = _vtextRemoveStyleRuns;
  c->hideSelection = hideSelection;
  c->unhideSelection = unhideSelection;
}
