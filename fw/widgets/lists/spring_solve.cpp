// Compiling a solution into chains, arranging the items, and the minimum
// container size through linear expressions in the container length.
#include <algorithm>
#include <cstdlib>

#include "fw/core/mem.h"
#include "fw/widgets/lists/spring.h"

namespace {

std::int64_t gcd(std::int64_t a, std::int64_t b) {
  a = a < 0 ? -a : a;
  b = b < 0 ? -b : b;
  while (b) {
    std::int64_t t = a % b;
    a = b;
    b = t;
  }
  return a;
}

vspringLinear reduce(std::int64_t c, std::int64_t k, std::int64_t d) {
  if (std::int64_t g = gcd(gcd(c, k), d); g > 1) c /= g, k /= g, d /= g;
  return {static_cast<std::int32_t>(c), static_cast<std::int32_t>(k), static_cast<std::int32_t>(d)};
}

vspringLinear combine(vspringLinear a, vspringLinear b, int sign) {
  std::int64_t d = std::int64_t{a.d} * b.d;
  return reduce(std::int64_t{a.c} * b.d + sign * std::int64_t{b.c} * a.d,
                std::int64_t{a.k} * b.d + sign * std::int64_t{b.k} * a.d, d);
}

}  // namespace

vspringLinear vspringLinearAdd(vspringLinear a, vspringLinear b) { return combine(a, b, 1); }
vspringLinear vspringLinearSubtract(vspringLinear a, vspringLinear b) { return combine(a, b, -1); }

vspringLinear vspringLinearDivide(vspringLinear a, std::int32_t n) {
  std::int64_t d = std::int64_t{a.d} * n;
  if (d > 32768) return reduce(a.c, a.k, d);
  return {a.c, a.k, static_cast<std::int32_t>(d)};
}

vspringLinear vspringLinearAddWhole(vspringLinear a, std::int32_t n) {
  std::int64_t c = a.c + std::int64_t{n} * a.d;
  if (c < -32768 || c > 32768) return reduce(c, a.k, a.d);
  return {static_cast<std::int32_t>(c), a.k, a.d};
}

std::int32_t vspringLinearSolve(vspringLinear a, std::int32_t value) {
  if (a.k == 0) return 0;
  return static_cast<std::int32_t>((std::int64_t{a.d} * value - a.c) / a.k);
}

namespace {

using Arranger = vspringArrangerClassRec;

bool vertical(std::uint8_t flags) { return (flags & vspringVERTICAL) != 0; }
bool farEdge(std::uint8_t flags) { return (flags & vspringFAR_EDGE) != 0; }
bool spring(std::uint8_t flags) { return (flags & vspringSPRING) != 0; }

vspringItem* itemOf(vspringSolution* s, int index) { return &s->items[index < 0 ? s->itemCount : index]; }

void freeCompiled(vspringSolution* s) {
  vmemFree(s->items);
  vmemFree(s->chain);
  s->items = nullptr;
  s->chain = nullptr;
  s->compiledSteps = s->compiledItems = 0;
}

std::int32_t minAlong(const vspringItem* item, bool v) { return v ? item->minHeight : item->minWidth; }

std::int32_t naturalAlong(const Arranger* a, void* context, vspringItem* item, bool v) {
  if (item->naturalWidth < 0 || item->naturalHeight < 0) {
    item->naturalWidth = item->naturalHeight = 0;
    if (item->object) a->naturalSize(context, item->object, &item->naturalWidth, &item->naturalHeight);
  }
  return v ? item->naturalHeight : item->naturalWidth;
}

std::int32_t stepLength(const Arranger* a, void* context, vspringSolution* s, std::int32_t i) {
  std::uint8_t f = s->stepFlags[i];
  int k = s->indices[i];
  // A chain's last edge has no next edge: the following step is another chain's.
  if (i + 1 >= s->stepCount || (f & vspringEND_CHAIN)) return (f & vspringCOMPUTED) ? 0 : s->lengths[i];
  int next = s->indices[i + 1];
  std::uint8_t nextFlags = s->stepFlags[i + 1];
  std::int32_t length = s->lengths[i];
  if (f & vspringCOMPUTED) {
    if (k == next) {
      length = naturalAlong(a, context, itemOf(s, k), vertical(f));
      if (farEdge(f)) length = -length;
    } else {
      int sides = (vertical(f) ? vspringSIDE_VERTICAL : 0) | (farEdge(f) ? vspringSIDE_FIRST_FAR : 0) |
                  (farEdge(nextFlags) ? vspringSIDE_OTHER_FAR : 0);
      length = a->spacing(context, itemOf(s, k)->object, itemOf(s, next)->object, sides);
      if (k >= 0) {
        if (!farEdge(f)) length = -length;
        if (f & vspringREVERSE) length = -length;
      } else if (farEdge(f)) {
        length = -length;
      }
    }
  }
  if (k == next && !spring(f)) {
    std::int32_t m = minAlong(itemOf(s, k), vertical(f));
    if (farEdge(f))
      length = std::min(length, -m);
    else
      length = std::max(length, m);
  }
  return length;
}

void compile(const Arranger* a, void* context, vspringSolution* s, const vrect& container) {
  // Blocks built for other counts are rebuilt: a kept solution may have
  // been cleared and refilled since.
  if (!s->chain || s->compiledSteps != s->stepCount || s->compiledItems != s->itemCount) {
    freeCompiled(s);
    s->chain = static_cast<vspringChainEntry*>(
        vmemAllocClear(vmemArraySize(static_cast<std::size_t>(std::max(s->stepCount, 1)), sizeof(vspringChainEntry))));
    s->items = static_cast<vspringItem*>(
        vmemAllocClear(vmemArraySize(static_cast<std::size_t>(s->itemCount) + 1, sizeof(vspringItem))));
    s->compiledSteps = s->stepCount;
    s->compiledItems = s->itemCount;
    s->flags |= vspringNEED_OBJECTS | vspringNEED_RECTS | vspringNEED_MIN_SIZES | vspringNEED_NATURAL_SIZES;
  }
  vspringItem& box = s->items[s->itemCount];
  box = vspringItem{};
  box.rect = container;
  for (int i = 0; i < s->itemCount; ++i) {
    vspringItem& item = s->items[i];
    if (s->flags & vspringNEED_OBJECTS) item.object = a->itemObject(context, i);
    if (s->flags & vspringNEED_RECTS) {
      item.rect = vrect{0, 0, 0, 0};
      if (item.object) a->rect(context, item.object, &item.rect);
    }
    if (s->flags & vspringNEED_MIN_SIZES) {
      item.minWidth = item.minHeight = 0;
      if (item.object) a->minimumSize(context, item.object, &item.minWidth, &item.minHeight);
    }
    if (s->flags & vspringNEED_NATURAL_SIZES) item.naturalWidth = item.naturalHeight = -1;
    item.lengthX = item.minWidth;
    item.lengthY = item.minHeight;
  }
  if ((s->flags & (vspringNEED_OBJECTS | vspringNEED_NATURAL_SIZES | vspringREBUILD)) && s->stepCount > 0)
    for (std::int32_t i = 0; i < s->stepCount; ++i)
      s->chain[i] = {s->stepFlags[i], static_cast<std::int16_t>(stepLength(a, context, s, i)), itemOf(s, s->indices[i])};
  s->flags &= static_cast<std::uint16_t>(~vspringNEEDS);
}

void finish(vspringSolution* s) {
  if (!(s->flags & vspringKEEP)) freeCompiled(s);
}

// The position of an entry's edge along its axis.
std::int32_t edgeOf(const vspringChainEntry& e) {
  const vrect& r = e.item->rect;
  return vertical(e.flags) ? r.y + (farEdge(e.flags) ? r.height : 0) : r.x + (farEdge(e.flags) ? r.width : 0);
}

void setEdge(const vspringChainEntry& e, std::int32_t pos) {
  vrect& r = e.item->rect;
  std::int16_t& start = vertical(e.flags) ? r.y : r.x;
  std::int16_t& size = vertical(e.flags) ? r.height : r.width;
  if (farEdge(e.flags)) {
    size = static_cast<std::int16_t>(pos - start);
  } else {
    size = static_cast<std::int16_t>(size + start - pos);
    start = static_cast<std::int16_t>(pos);
  }
}

bool sameItemNext(const vspringChainEntry* c, std::int32_t i, std::int32_t n) { return i + 1 < n && c[i + 1].item == c[i].item; }

// Gives a stretchable item a length through the arranger; answers it.
std::int32_t constrain(const Arranger* a, void* context, const vspringChainEntry& e, std::int32_t proposed) {
  vspringItem* item = e.item;
  bool v = vertical(e.flags);
  std::int32_t w = item->lengthX, h = item->lengthY;
  std::int32_t& along = v ? h : w;
  along = std::max(proposed, minAlong(item, v));
  if (item->object) a->constrainSize(context, item->object, &w, &h);
  item->lengthX = w;
  item->lengthY = h;
  return v ? h : w;
}

void arrangeChain(const Arranger* a, void* context, const vspringChainEntry* c, std::int32_t n) {
  std::int32_t springs = 0, fixed = 0;
  for (std::int32_t i = 0; i < n; ++i) {
    if (spring(c[i].flags)) ++springs;
    if (i + 1 < n) fixed += c[i].length;
  }
  std::int32_t start = edgeOf(c[0]);
  std::int32_t free = edgeOf(c[n - 1]) - fixed - start;
  auto magnitude = [](const vspringChainEntry& e) { return farEdge(e.flags) ? -e.length : e.length; };
  for (std::int32_t i = 0; i + 1 < n; ++i)
    if (!spring(c[i].flags) && sameItemNext(c, i, n)) free -= constrain(a, context, c[i], magnitude(c[i])) - magnitude(c[i]);
  // Stretchable items take their share first and stop counting as springs.
  bool* stretched = static_cast<bool*>(vmemAllocClear(static_cast<std::size_t>(n)));
  std::int32_t share = 0, rest = 0;
  if (springs > 0) {
    share = free / springs;
    for (std::int32_t i = 0; i + 1 < n; ++i)
      if (spring(c[i].flags) && sameItemNext(c, i, n)) {
        free -= constrain(a, context, c[i], magnitude(c[i]) + share) - magnitude(c[i]);
        stretched[i] = true;
        --springs;
      }
    if (springs > 0) share = free / springs, rest = free % springs;
  }
  std::int32_t pos = start, carry = 0;
  for (std::int32_t i = 0; i + 1 < n; ++i) {
    const vspringChainEntry& e = c[i];
    if (sameItemNext(c, i, n)) {
      std::int32_t length = vertical(e.flags) ? e.item->lengthY : e.item->lengthX;
      pos += farEdge(e.flags) ? -length : length;
    } else {
      pos += e.length;
      if (spring(e.flags) && !stretched[i]) {
        pos += share;
        carry += rest;
        if (rest >= 0 && carry >= springs) pos += 1, carry -= springs;
        if (rest < 0 && carry <= -springs) pos -= 1, carry += springs;
      }
    }
    if (i + 2 < n) setEdge(c[i + 1], pos);
  }
  vmemFree(stretched);
}

// The chains: runs of entries up to one that ends a chain (or the last).
template <class F>
void forEachChain(vspringSolution* s, F run) {
  std::int32_t first = 0;
  for (std::int32_t i = 0; i < s->stepCount; ++i)
    if ((s->chain[i].flags & vspringEND_CHAIN) || i + 1 == s->stepCount) {
      run(s->chain + first, i - first + 1);
      first = i + 1;
    }
}

vspringLinear& exprStart(vspringItem* item, bool v) { return v ? item->y : item->x; }
vspringLinear& exprSize(vspringItem* item, bool v) { return v ? item->height : item->width; }
vspringLinear edgeExpr(const vspringChainEntry& e) {
  bool v = vertical(e.flags);
  vspringLinear start = exprStart(e.item, v);
  return farEdge(e.flags) ? vspringLinearAdd(start, exprSize(e.item, v)) : start;
}

void minimumChain(const vspringChainEntry* c, std::int32_t n, std::int32_t* result) {
  std::int32_t springs = 0, fixed = 0;
  for (std::int32_t i = 0; i < n; ++i) {
    if (spring(c[i].flags)) ++springs;
    if (i + 1 < n) fixed += c[i].length;
  }
  vspringLinear e = edgeExpr(c[0]);
  vspringLinear share{0, 0, 1};
  if (springs > 0) {
    share = vspringLinearDivide(vspringLinearAddWhole(vspringLinearSubtract(edgeExpr(c[n - 1]), e), -fixed), springs);
    *result = std::max(*result, vspringLinearSolve(share, 0));
  }
  for (std::int32_t i = 0; i + 1 < n; ++i) {
    const vspringChainEntry& entry = c[i];
    bool v = vertical(entry.flags);
    e = vspringLinearAddWhole(e, entry.length);
    if (spring(entry.flags)) e = vspringLinearAdd(e, share);
    if (sameItemNext(c, i, n)) {
      std::int32_t m = minAlong(entry.item, v);
      std::int32_t length = farEdge(entry.flags) ? -entry.length : entry.length;
      if (m > length) *result = std::max(*result, vspringLinearSolve(share, farEdge(entry.flags) ? length - m : m - length));
    }
    if (i + 2 < n) {
      const vspringChainEntry& next = c[i + 1];
      vspringLinear& start = exprStart(next.item, v);
      vspringLinear& size = exprSize(next.item, v);
      if (farEdge(next.flags)) {
        size = vspringLinearSubtract(e, start);
      } else {
        size = vspringLinearSubtract(vspringLinearAdd(start, size), e);
        start = e;
      }
    }
  }
}

}  // namespace

void vspringSolutionArrange(const vspringArrangerClassRec* arranger, void* context, vspringSolution* solution,
                            const vrect* container) {
  if (!solution) _vexGenerate(&vexArgNullClass, vexEnd);
  compile(arranger, context, solution, *container);
  forEachChain(solution, [&](const vspringChainEntry* c, std::int32_t n) { arrangeChain(arranger, context, c, n); });
  for (int i = 0; i < solution->itemCount; ++i)
    if (vspringItem& item = solution->items[i]; item.object) arranger->applyRect(context, item.object, &item.rect);
  finish(solution);
}

void vspringSolutionDetermineMinSize(const vspringArrangerClassRec* arranger, void* context,
                                     vspringSolution* solution, std::int32_t* width, std::int32_t* height) {
  if (!solution) _vexGenerate(&vexArgNullClass, vexEnd);
  compile(arranger, context, solution, vrect{0, 0, 0, 0});
  for (int i = 0; i <= solution->itemCount; ++i) {
    vspringItem& item = solution->items[i];
    item.x = item.y = item.width = item.height = vspringLinear{0, 0, 1};
  }
  vspringItem& box = solution->items[solution->itemCount];
  box.width = box.height = vspringLinear{0, 1, 1};
  std::int32_t w = 0, h = 0;
  forEachChain(solution, [&](const vspringChainEntry* c, std::int32_t n) {
    minimumChain(c, n, vertical(c[0].flags) ? &h : &w);
  });
  *width = w;
  *height = h;
  finish(solution);
}
