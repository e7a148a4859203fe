// The line breaker: where a display line ends, the x of every character in
// 16.16, justification, and the line's ascent and descent; its result is
// the module's one-line column cache.
//
// - The line breaker (`layout.cpp`): one line of one text cached by (text, position), entries of
//   16.16 x and the scratch style that starts there, a sentinel x of 0x3FFFFFFF; the working ruler
//   and scratch styles are module state, so a layout allocates only when the cache or the scratch
//   array grows. Ink above the ascent or below the descent is kept in two rings of four and trimmed
//   at a wrap. The line end and blanks leave the visible width (a line end that counted would wrap a
//   line that fits). Characters are classed by fixed Windows-1252 tables, not the locale.
#include <algorithm>
#include <climits>
#include <cstring>

#include "fw/core/mem.h"
#include "fw/gui/graphics/image.h"
#include "fw/text/graphic.h"
#include "fw/text/rulers.h"
#include "fw/text/tags.h"
#include "fw/text/text_internal.h"

namespace {

constexpr vfixed kTabWidth = 0x300000;
constexpr vfixed kLineEndWidth = 0x30000;
// x stays well inside 64 bits whatever widths a line adds up.
constexpr vtextX kWidestX = vtextX{1} << 46;
constexpr std::int32_t kCacheGrowth = 512;

// What a layout needs of one scratch style.
struct Run {
  vtextStyle* style;
  vfont* font;
  bool hidden;
  bool graphic;
  vfixed graphicWidth;
  std::uintptr_t ascentAttr, descentAttr;  // vtextAttrABSENT when absent
  vfixed ascent, descent;                  // the font's
  bool inkAbove, inkBelow;                 // ink may pass the nominal values
  bool counted;                            // a character of it is laid out
};

// The paragraph values of the working ruler.
struct Para {
  vfixed tabWidth = kTabWidth, right = 0, left = 0, first = 0;
  bool hasLeft = false, wrap = false;
  int justify = -1;
  std::int32_t ascent = 0, descent = 0;
  const vtextTab* tabs = nullptr;
  std::int32_t tabCount = 0;
  vfixed lastTab = 0;
};

std::int32_t lookupWord(const vtextAttrSet* set, const char* key, std::int32_t absent) {
  std::uintptr_t w = _vtextRulerLookupAttr(set, vtextName(key));
  return w == vtextAttrABSENT ? absent : std::int32_t(std::intptr_t(w));
}

// The style or ruler a run of the text's own pools carries after its tag.
template <class T>
T* runObject(vtext* text, vtextTag* tag, bool style) {
  vpool* pool = style ? text->attachments->styleTags : text->attachments->rulerTags;
  return vpoolContains(pool, tag) ? *reinterpret_cast<T**>(tag + 1) : nullptr;
}

// The rulers of the "Ruler" runs at a position go over the working copy,
// the newest last: attributes and tab stops alike.
void mergeRulerTags(vtext* text, std::int32_t position, vtextRuler* working) {
  if (!text->attachments || text->attachments->rulerTagCount == 0) return;
  vtextTagScan scan;
  vtextInitTagScan(&scan, text, vtextName("Ruler"), position);
  vtextScanTags(&scan);
  vtextMergeRulers(text, scan.tags, scan.count, working);
  vtextFreeTagScan(&scan);
}

void mergeStyleTags(vtext* text, std::int32_t position, vtextStyle* scratch) {
  if (!text->attachments || text->attachments->styleTagCount == 0) return;
  vtextTagScan scan;
  vtextInitTagScan(&scan, text, vname_Style, position);
  vtextScanTags(&scan);
  for (std::int32_t i = scan.count - 1; i >= 0; --i)
    if (vtextStyle* style = runObject<vtextStyle>(text, scan.tags[i], true))
      vtextRulerMergeAttrSet(&style->attributes, &scratch->attributes);
  vtextFreeTagScan(&scan);
}

// Where a "Style" run starts or ends next after a position.
std::int32_t nextStyleChange(vtext* text, std::int32_t position) {
  if (!text->attachments || text->attachments->styleTagCount == 0) return INT32_MAX;
  vtextTagScan scan;
  vtextInitTagScan(&scan, text, vname_Style, position);
  vtextScanTags(&scan);
  std::int32_t next = vtextScanTags(&scan) ? scan.position : INT32_MAX;
  vtextFreeTagScan(&scan);
  return next;
}

Para readRuler(vtext* text, vtextModule* m, std::int32_t position) {
  vtextRuler* base = text->defaultRuler ? text->defaultRuler : m->defaultRuler;
  vtextRuler* ruler = m->workingRuler;
  vtextRulerCopyAttrSet(&base->attributes, &ruler->attributes);
  // The stops start as the base ruler's; the merge adds the runs' stops.
  ruler->tabCount = 0;
  ruler->lastTab = 0;
  if (base->tabCount > 0) vtextMergeRuler(base, ruler);
  mergeRulerTags(text, position, ruler);
  base = ruler;
  const vtextAttrSet* set = &ruler->attributes;
  Para p;
  std::int32_t width = lookupWord(set, "TabWidth", 0);
  if (width > 0) p.tabWidth = width;
  p.right = lookupWord(set, "RightIndent", 0);
  std::uintptr_t left = _vtextRulerLookupAttr(set, vtextName("LeftIndent"));
  p.hasLeft = left != vtextAttrABSENT;
  p.left = p.hasLeft ? vfixed(std::intptr_t(left)) : 0;
  p.first = lookupWord(set, "FirstLineIndent", 0);
  p.justify = vtextJustificationOf(_vtextRulerLookupAttr(set, vtextName("Justification")));
  p.wrap = vtextRulerFindAttr(set, vtextName("Wrap")) == reinterpret_cast<std::uintptr_t>(vname_On) && p.right >= 1;
  p.ascent = lookupWord(set, "Ascent", 0);
  p.descent = lookupWord(set, "Descent", 0);
  p.tabs = base->tabs;
  p.tabCount = base->tabCount;
  p.lastTab = p.tabCount > 0 ? base->tabs[p.tabCount - 1].position : 0;
  return p;
}

vtextX nextTab(const Para& p, vtextX x, bool paragraphFirstLine) {
  if (paragraphFirstLine && p.hasLeft && p.left > x) {
    for (std::int32_t i = 0; i < p.tabCount; ++i)
      if (p.tabs[i].position > x && p.tabs[i].position <= p.left) return p.tabs[i].position;
    return p.left;
  }
  if (p.tabCount > 0 && x < p.lastTab)
    for (std::int32_t i = 0; i < p.tabCount; ++i)
      if (p.tabs[i].position > x) return p.tabs[i].position;
  return std::min<vtextX>((x / p.tabWidth + 1) * p.tabWidth, kWidestX);
}

vfixed roundPixels(vfixed v) { return (v + 0x8000) >> 16; }

struct Layout {
  vtextModule* m = nullptr;
  vtext* text = nullptr;
  const vfontDriver* driver = nullptr;
  Run runs[64];
  std::int32_t runCount = 0;
  vtextRing above{}, below{};

  Run& newRun(std::int32_t position) {
    if (m->scratchCount <= runCount) {
      m->scratch = static_cast<vtextStyle**>(vmemRealloc(m->scratch, std::size_t(m->scratchCount + 4) * sizeof(vtextStyle*)));
      for (int i = 0; i < 4; ++i) m->scratch[m->scratchCount + i] = vtextStyleCreate();
      m->scratchCount += 4;
    }
    vtextStyle* s = m->scratch[runCount];
    vtextStyle* current = text->currentStyle ? text->currentStyle : m->defaultStyle;
    vtextRulerCopyAttrSet(&current->attributes, &s->attributes);
    mergeStyleTags(text, position, s);
    Run& r = runs[std::min<std::int32_t>(runCount, 63)];
    ++runCount;
    r.style = s;
    r.font = vtextStyleGetFont(s);
    r.hidden = vtextRulerFindAttr(&s->attributes, vtextName("Hidden")) == reinterpret_cast<std::uintptr_t>(vname_On) &&
               !(text->mode & vtextMODE_SHOW_HIDDEN);
    auto* graphic = reinterpret_cast<vobject*>(vtextRulerFindAttr(&s->attributes, vtextName("Graphic")));
    r.graphic = graphic != nullptr;
    r.graphicWidth = vfixed(vtextGraphicWidthOf(graphic)) << 16;
    r.ascentAttr = _vtextRulerLookupAttr(&s->attributes, vtextName("Ascent"));
    r.descentAttr = _vtextRulerLookupAttr(&s->attributes, vtextName("Descent"));
    r.ascent = driver->ascent(r.font);
    r.descent = driver->descent(r.font);
    vrectFixed box{};
    driver->bounds(r.font, &box);
    r.inkAbove = r.ascentAttr == vtextAttrABSENT && box.y + box.height > r.ascent;
    r.inkBelow = r.descentAttr == vtextAttrABSENT && -box.y > r.descent;
    r.counted = false;
    return r;
  }

  void recordInk(const Run& r, const char* c, std::int32_t index) {
    if (!r.inkAbove && !r.inkBelow) return;
    vrectFixed ink{};
    driver->charsBounds(r.font, c, 1, &ink);
    vfixed top = ink.y + ink.height, bottom = -ink.y;
    if (r.inkAbove && top > r.ascent && (above.current < 0 || top >= above.value[above.current]))
      vtextRingPush(&above, top, index);
    if (r.inkBelow && bottom > r.descent && (below.current < 0 || bottom >= below.value[below.current]))
      vtextRingPush(&below, bottom, index);
  }
};

vfixed ringMax(const vtextRing& ring) {
  vfixed best = 0;
  for (std::int32_t k = 0, i = ring.current; k < ring.count; ++k, i = (i + 3) % 4) best = std::max(best, ring.value[i]);
  return best;
}

}  // namespace

void vtextRingPush(vtextRing* ring, vfixed value, std::int32_t index) {
  ring->current = (ring->current + 1) % 4;
  ring->value[ring->current] = value;
  ring->index[ring->current] = index;
  if (ring->count < 4) ++ring->count;
}

int vtextRingTrim(vtextRing* ring, std::int32_t index) {
  while (ring->count > 0 && ring->index[ring->current] >= index) {
    ring->current = (ring->current + 3) % 4;
    --ring->count;
  }
  if (ring->count == 0) ring->current = -1;
  return ring->count > 0;
}

void vtextHexCharWidth(vfont* font, int c, vfixed* width, vfixed* height) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  auto u = static_cast<unsigned char>(c);
  const char cells[3] = {' ', kDigits[u >> 4], kDigits[u & 15]};
  vfixed dx = 0, dy = 0;
  vfontGetDriver()->advance(font, cells, 3, &dx, &dy);
  *width = dx;
  if (height) *height = dy;
}

void _vtextGrowCache(vtextModule* m, std::int32_t needed) {
  if (needed <= m->cache.capacity) return;
  while (m->cache.capacity < needed) m->cache.capacity += kCacheGrowth;
  std::size_t bytes = std::size_t(m->cache.capacity + vtextCACHE_SPARE) * sizeof(vtextColumn);
  m->cache.entries = static_cast<vtextColumn*>(vmemRealloc(m->cache.entries, bytes));
}

void vtextForgetCache(const vtext* text) {
  vtextModule* m = _vtextModule();
  if (m->cache.text == text) m->cache.text = nullptr;
}

void vtextGetLayoutMetrics(std::uint16_t* ascent, std::uint16_t* descent, vtextX* endX) {
  vtextModule* m = _vtextModule();
  *ascent = m->cache.ascent;
  *descent = m->cache.descent;
  *endX = m->cache.endX;
}

vtextColumn* _vtextLayoutLine(vtext* text, void*, const char* chars, std::int32_t* count, std::int32_t position,
                              int continuing) {
  vtextModule* m = _vtextModule();
  vtextCache& cache = m->cache;
  if (cache.text == text && cache.position == position) {
    *count = cache.length;
    return cache.entries;
  }
  _vtextGrowCache(m, *count + 2);
  cache.text = text;
  cache.position = position;
  vtextColumn* e = cache.entries;

  Layout lay;
  lay.m = m;
  lay.text = text;
  lay.driver = vfontGetDriver();
  lay.above.current = lay.below.current = -1;
  const Para p = readRuler(text, m, position);
  const int L = vtextGetLineEnd(text);
  const bool special = L == 10;
  const bool view1 = text->view == vtextVIEW_INVISIBLES, view2 = text->view == vtextVIEW_HEX;
  const bool paragraphStart =
      position == 0 || !continuing || static_cast<unsigned char>(chars[-1]) == static_cast<unsigned>(L);
  const vtextClassRec* c = vtextClassOf(text);

  vtextX x = paragraphStart ? p.first : p.left;
  vtextX visible = x;
  Run* run = &lay.newRun(position);
  std::int32_t changeAt = nextStyleChange(text, position);
  e[0] = {x, run->style};
  std::int32_t n = *count;
  for (std::int32_t i = 0; i < *count; ++i) {
    if (position + i >= changeAt && i > 0) {
      run = &lay.newRun(position + i);
      changeAt = nextStyleChange(text, position + i);
      e[i].style = run->style;
    } else if (i > 0) {
      e[i].style = nullptr;
    }
    const auto ch = static_cast<unsigned char>(chars[i]);
    const bool lineEnd = ch == static_cast<unsigned>(L);
    if (!run->hidden) run->counted = true;
    vfixed w = 0;
    vimage* glyph = nullptr;
    if (run->hidden) {
      w = 0;
    } else if (run->graphic) {
      w = run->graphicWidth;
    } else if (view2) {
      vtextHexCharWidth(run->font, lineEnd ? 10 : ch, &w, nullptr);
    } else if (special && ch == 9 && x >= 0) {
      w = vfixed(nextTab(p, x, paragraphStart) - x);
    } else if (lineEnd) {
      glyph = view1 ? vtextInvisibleGlyph(10) : nullptr;
      w = glyph ? vfixed(glyph->width) << 16 : kLineEndWidth;
    } else if (view1 && (glyph = vtextInvisibleGlyph(ch)) != nullptr) {
      w = vfixed(glyph->width) << 16;
    } else {
      vfixed dy = 0;
      lay.driver->advance(run->font, chars + i, 1, &w, &dy);
      lay.recordInk(*run, chars + i, i);
    }
    x = std::clamp<vtextX>(x + w, -kWidestX, kWidestX);
    e[i + 1].x = x;
    // Blanks and the line end leave the visible width where it was.
    if (!(special && ch == 32) && !lineEnd) visible = x;
    if (lineEnd) {
      n = i + 1;
      break;
    }
    if (p.wrap && visible > p.right && i > 0) {
      std::int32_t j = i - 1;
      while (j >= 0 && c->isNonBlank(text, chars + j, 1)) --j;
      n = j >= 0 ? j + 1 : i;
      std::int32_t k = n;
      while (k > 0 && !c->isNonBlank(text, chars + k - 1, 1)) --k;
      visible = e[k].x;
      bool hadAbove = lay.above.count > 0, hadBelow = lay.below.count > 0;
      bool keepsAbove = vtextRingTrim(&lay.above, n), keepsBelow = vtextRingTrim(&lay.below, n);
      if ((hadAbove && !keepsAbove) || (hadBelow && !keepsBelow)) {
        lay.above = vtextRing{{}, {}, -1, 0};
        lay.below = vtextRing{{}, {}, -1, 0};
        vtextRescanExtents(text, chars, n, &lay.above, &lay.below);
      }
      break;
    }
  }
  e[n].style = n == 0 ? e[0].style : nullptr;
  e[n + 1] = {vtextCOLUMN_SENTINEL, nullptr};

  if (p.justify > 0 && visible < p.right) {
    vtextX shift = p.justify == 2 ? (p.right - visible) / 2 : p.right - visible;
    for (std::int32_t i = 0; i <= n; ++i) e[i].x = std::min<vtextX>(e[i].x + shift, kWidestX);
  }
  vfixed ascent = p.ascent, descent = p.descent;
  for (std::int32_t r = 0; r < std::min<std::int32_t>(lay.runCount, 64); ++r) {
    const Run& run_ = lay.runs[r];
    if (run_.hidden && !(r == 0 && n == 0)) continue;
    ascent = std::max(ascent, run_.ascentAttr != vtextAttrABSENT ? vfixed(std::intptr_t(run_.ascentAttr))
                                                                 : roundPixels(run_.ascent));
    descent = std::max(descent, run_.descentAttr != vtextAttrABSENT ? vfixed(std::intptr_t(run_.descentAttr))
                                                                    : roundPixels(run_.descent));
  }
  ascent = std::max(ascent, roundPixels(ringMax(lay.above)));
  descent = std::max(descent, roundPixels(ringMax(lay.below)));
  cache.length = n;
  cache.ascent = std::uint16_t(std::clamp(ascent, 0, 0xFFFF));
  cache.descent = std::uint16_t(std::clamp(descent, 0, 0xFFFF));
  cache.endX = e[n].x;
  *count = n;
  return e;
}

void vtextRescanExtents(vtext* text, const char* chars, std::int32_t count, vtextRing* above, vtextRing* below) {
  vtextModule* m = _vtextModule();
  const vfontDriver* driver = vfontGetDriver();
  const int L = vtextGetLineEnd(text);
  const bool showHidden = text->mode & vtextMODE_SHOW_HIDDEN;
  if (text->view == vtextVIEW_HEX) return;
  vtextStyle* style = nullptr;
  vfont* font = nullptr;
  vfixed nominalAbove = 0, nominalBelow = 0;
  bool skip = false;
  for (std::int32_t i = 0; i < count; ++i) {
    if (vtextStyle* s = m->cache.entries[i].style) {
      style = s;
      font = vtextStyleGetFont(s);
      nominalAbove = driver->ascent(font);
      nominalBelow = driver->descent(font);
      skip = (!showHidden && vtextRulerFindAttr(&s->attributes, vtextName("Hidden")) ==
                                 reinterpret_cast<std::uintptr_t>(vname_On)) ||
             vtextRulerFindAttr(&s->attributes, vtextName("Graphic")) != 0;
    }
    const auto ch = static_cast<unsigned char>(chars[i]);
    if (!style || skip || ch == static_cast<unsigned>(L) || (L == 10 && ch == 9)) continue;
    if (text->view == vtextVIEW_INVISIBLES && vtextInvisibleGlyph(ch)) continue;
    vrectFixed ink{};
    driver->charsBounds(font, chars + i, 1, &ink);
    vfixed top = ink.y + ink.height, bottom = -ink.y;
    if (top > nominalAbove && (above->current < 0 || top >= above->value[above->current])) vtextRingPush(above, top, i);
    if (bottom > nominalBelow && (below->current < 0 || bottom >= below->value[below->current]))
      vtextRingPush(below, bottom, i);
  }
}
