#include "fw/text/styleruns.h"

#include <cstring>

#include "fw/core/mem.h"
#include "fw/text/selection.h"
#include "fw/text/text_internal.h"
#include "fw/text/walker.h"

namespace {

vtextTag* lastRun = nullptr;

[[noreturn]] void noAppliedStyle() {
  _vexGenerate(&vexTextNoAppliedStyleClass, vexSetMessage, "No Applied Style", vexEnd);
}

vtextStyleRun* asRun(vtextTag* tag) { return reinterpret_cast<vtextStyleRun*>(tag); }

bool matches(vtext* text, vtextTag* tag, vtextStyle* filter) {
  vtextStyle* style = vtextRunStyle(text, tag);
  return style && (!filter || style == filter);
}

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

void dropRun(vtext* text, vtextTag* tag) {
  vtextClassOf(text)->removeTag(text, tag);
  --text->attachments->styleTagCount;
  _vtextForgetStyleRun(tag);
  vpoolFree(text->attachments->styleTags, tag);
}

void announce(vtext* text, vtextStyle* style, std::int32_t start, std::int32_t end) {
  vtextClassOf(text)->notifyStyleChanged(text, style, start, end);
}

// Calls the slot over the selection: whole, or piece by piece through the
// line walker for a column selection.
template <class Slot>
void overSelection(vtext* text, vtextSelection* selection, vtextStyle* style, Slot slot, bool remove) {
  if (selection->mode == vtextSEL_COLUMN) {
    _vtextStyleApplier(nullptr, remove ? 2 : 1, style, nullptr, nullptr);
    vtextProcessLines(text, selection, _vtextStyleApplier, vtextWALK_READ_ONLY);
    if (remove && style && _vtextStyleApplierRemoved() == 0) noAppliedStyle();
  } else {
    slot(text, selection->start, selection->end, style);
  }
  _vtextUpdateRange(text, selection->start, selection->end);
  announce(text, style, selection->start, selection->end);
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

vtextStyle* vtextRunStyle(vtext* text, vtextTag* tag) {
  vtextAttachments* a = text->attachments;
  return a && vpoolContains(a->styleTags, tag) ? asRun(tag)->style : nullptr;
}

vtextTag* vtextGetLastStyleRun() { return lastRun; }
void _vtextForgetStyleRun(const vtextTag* run) {
  if (run == lastRun) lastRun = nullptr;
}

void vtextAddStyle(vtext* text, vtextStyle* style) {
  _vtextEnsureAttachments(text);
  vtextAttachments* a = text->attachments;
  if (a->styleCount == a->styleCapacity) {
    a->styleCapacity += 4;
    a->styles = static_cast<vtextStyle**>(vmemRealloc(a->styles, std::size_t(a->styleCapacity) * sizeof(vtextStyle*)));
  }
  style->owner = text;
  style->index = a->styleCount;
  a->styles[a->styleCount++] = style;
}

void vtextRemoveStyleEntry(vtext* text, vtextStyle* style) {
  vtextAttachments* a = text->attachments;
  std::int16_t i = 0;
  while (a && i < a->styleCount && a->styles[i] != style) ++i;
  if (!a || i == a->styleCount)
    _vexGenerate(&vexArgClass, vexSetMessage, "vtextRemoveStyleEntry -- style is not listed.\n", vexEnd);
  if (text->currentStyle == style) text->currentStyle = nullptr;
  style->owner = nullptr;
  style->index = -1;
  vtextStyle* moved = a->styles[--a->styleCount];
  a->styles[i] = moved;
  if (moved != style) moved->index = i;
  if (style->flags & vtextStyleOWNED) vtextStyleDestroy(style);
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

std::int32_t _vtextGatherStyleTags(vtext* text, vtextStyle* filter, std::int32_t start, std::int32_t end,
                                   vtextTag*** array, std::int32_t capacity) {
  vtextTag** callers = *array;
  std::int32_t count = 0;
  if (start >= 1) {
    vtextTagScan scan;
    vtextInitTagScan(&scan, text, vname_Style, start - 1);
    vtextScanTags(&scan);
    for (std::int32_t i = 0; i < scan.count; ++i)
      if (matches(text, scan.tags[i], filter) && vtextGetTagEnd(scan.tags[i]) > start)
        append(array, &capacity, &count, callers, scan.tags[i]);
    vtextFreeTagScan(&scan);
  }
  vtextTagIterator it;
  vtextInitTagIterator(&it, text, vname_Style, start);
  while (vtextNextTag(&it)) {
    vtextTag* tag = vtextGetIteratorTag(&it);
    std::int32_t s = vtextGetTagStart(tag), e = vtextGetTagEnd(tag);
    if (s > end) break;
    if (s < start || !matches(text, tag, filter) || (s >= end && e > end)) continue;
    append(array, &capacity, &count, callers, tag);
  }
  return count;
}

std::int32_t _vtextRemoveStyleRuns(vtext* text, std::int32_t start, std::int32_t end, vtextStyle* style) {
  vtextAttachments* a = text->attachments;
  if (!a || a->styleTagCount == 0) {
    if (style) noAppliedStyle();
    return 0;
  }
  vtextForgetCache(text);
  vtextTag* own[10];
  vtextTag** runs = own;
  std::int32_t n = _vtextGatherStyleTags(text, style, start, end, &runs, 10);
  bool empty = start == end;
  std::int32_t counted = 0;
  for (std::int32_t i = 0; i < n; ++i) {
    vtextTag* tag = runs[i];
    vtextStyle* runStyle = asRun(tag)->style;
    if (!style && (runStyle->flags & vtextStyleGRAPHIC)) continue;
    ++counted;
    std::int32_t s = vtextGetTagStart(tag), e = vtextGetTagEnd(tag);
    if (s < start && !empty) {
      vtextSetTagRange(text, tag, s, start);
      if (e > end) {
        // The far piece takes the cut run's place in the stacking order.
        std::int32_t counter = text->nextTagSerial;
        _vtextAddStyleRun(text, end, e, runStyle);
        lastRun->serial = tag->serial;
        text->nextTagSerial = counter;
      }
    } else if (!empty && end < e) {
      vtextSetTagRange(text, tag, end, e);
    } else if (tag->startWord & vtextTagKEEP) {
      vtextSetTagRange(text, tag, start, start);
    } else {
      dropRun(text, tag);
    }
  }
  if (runs != own) vmemFree(runs);
  if (style && counted == 0) noAppliedStyle();
  return counted;
}

void _vtextReplaceStyleInTags(vtext* text, vtextStyle* from, vtextStyle* to) {
  if (!text->attachments || text->attachments->styleTagCount == 0) return;
  vtextTagIterator it;
  vtextInitTagIterator(&it, text, vname_Style, 0);
  while (vtextNextTag(&it)) {
    vtextTag* tag = vtextGetIteratorTag(&it);
    if (vtextRunStyle(text, tag) == from) asRun(tag)->style = to;
  }
}

void vtextApplyStyle(vtext* text, std::int32_t start, std::int32_t end, vtextStyle* style) {
  vtextClassOf(text)->addStyleRun(text, start, end, style);
  _vtextUpdateRange(text, start, end);
  announce(text, style, start, end);
}

void vtextRemoveStyle(vtext* text, std::int32_t start, std::int32_t end, vtextStyle* style) {
  vtextClassOf(text)->removeStyleRuns(text, start, end, style);
  _vtextUpdateRange(text, start, end);
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
