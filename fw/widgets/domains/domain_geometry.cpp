// The geometry of sets of objects: moving, scaling, resizing and setting
// rectangles, aligning and distributing, and finding objects by position.
#include <algorithm>
#include <vector>

#include "fw/widgets/domains/domain_internal.h"

namespace {

vdomainClassRec* rec(const vdomain* d) { return vdomainClassOf(d); }

std::int32_t cut(const vdomain* d, std::int64_t v) {
  return _vdomainLong(d) ? static_cast<std::int32_t>(v) : static_cast<std::int16_t>(v);
}

void movingNotice(vdomain* d, vdomainSet* set, std::int32_t x, std::int32_t y, int mode, int before) {
  if (_vdomainLong(d))
    rec(d)->objectsMovingLong(d, set, vpointLong{x, y}, mode, before);
  else
    rec(d)->objectsMoving(d, set, vpoint{static_cast<std::int16_t>(x), static_cast<std::int16_t>(y)}, mode, before);
}

// After a change: the extent is dirty, and bounds that follow it follow now.
void changed(vdomain* d) {
  vdomainMarkDirty(d);
  _vdomainUpdateBounds(d);
}

void moveObjects(vdomain* d, vdomainSet* set, std::int32_t x, std::int32_t y, int mode) {
  if (!set || set->count < 1) return;
  movingNotice(d, set, x, y, mode, 1);
  bool place = (mode & vdomainMOVE_PLACE) != 0;
  for (std::int32_t i = 0; i < set->count; ++i) {
    vdomainObject* o = set->objects[i];
    if (!o) continue;
    std::int32_t nx = cut(d, place ? std::int64_t{x} : std::int64_t{o->rect.x} + x);
    std::int32_t ny = cut(d, place ? std::int64_t{y} : std::int64_t{o->rect.y} + y);
    if (nx != o->rect.x || ny != o->rect.y) o->rect.x = nx, o->rect.y = ny;
  }
  movingNotice(d, set, x, y, mode, 0);
  changed(d);
}

template <class Size>
void resizeEach(vdomain* d, vdomainSet* set, Size size) {
  if (!set || set->count < 1) return;
  rec(d)->objectsResizing(d, set, 1);
  for (std::int32_t i = 0; i < set->count; ++i) {
    vdomainObject* o = set->objects[i];
    if (!o) continue;
    auto [w, h] = size(o);
    std::int32_t nw = cut(d, w), nh = cut(d, h);
    if (nw != o->rect.width || nh != o->rect.height) o->rect.width = nw, o->rect.height = nh;
  }
  rec(d)->objectsResizing(d, set, 0);
  changed(d);
}

void scaleObjects(vdomain* d, vdomainSet* set, double xf, double yf) {
  resizeEach(d, set, [&](const vdomainObject* o) {
    return std::pair<std::int64_t, std::int64_t>(static_cast<std::int64_t>(o->rect.width * xf),
                                                 static_cast<std::int64_t>(o->rect.height * yf));
  });
}

void resizeObjects(vdomain* d, vdomainSet* set, std::int32_t w, std::int32_t h) {
  resizeEach(d, set, [&](const vdomainObject*) { return std::pair<std::int64_t, std::int64_t>(w, h); });
}

void setRectsAny(vdomain* d, vdomainSet* set, const vrectLong& r) {
  if (!set || set->count < 1) return;
  rec(d)->objectsResizing(d, set, 1);
  bool shown = false;
  vrectLong fitted = _vdomainFit(d, r);
  for (std::int32_t i = 0; i < set->count; ++i)
    if (vdomainObject* o = set->objects[i]) {
      o->rect = fitted;
      shown |= !(o->flags & vdomainHIDDEN);
    }
  rec(d)->objectsResizing(d, set, 0);
  if (shown) changed(d);
}

void setRectsShort(vdomain* d, vdomainSet* set, const vrect* r) {
  _vdomainNeedShort(d);
  setRectsAny(d, set, _vdomainWiden(*r));
}
void setRectsLong(vdomain* d, vdomainSet* set, const vrectLong* r) {
  _vdomainNeedLong(d);
  setRectsAny(d, set, *r);
}

bool downward(const vdomain* d) { return ((d->flags & vdomainORIENTATION) >> 8) == 1; }

// The edge or centre that an alignment code names, or false when it names none.
bool horizontalKey(const vrectLong& r, int how, std::int32_t* key) {
  switch (how) {
    case 1: *key = r.x; return true;
    case 3: *key = r.x + r.width; return true;
    case 5: *key = r.x + r.width / 2; return true;
    default: return false;
  }
}
bool verticalKey(const vdomain* d, const vrectLong& r, int how, std::int32_t* key) {
  std::int32_t top = downward(d) ? r.y : r.y + r.height;
  std::int32_t bottom = downward(d) ? r.y + r.height : r.y;
  switch (how) {
    case 2: *key = top; return true;
    case 4: *key = bottom; return true;
    case 5: *key = r.y + r.height / 2; return true;
    default: return false;
  }
}

vdomainSet* single(vdomainObject* o) { return vdomainCreateSetOf(&o, 1); }

void offsetOne(vdomain* d, vdomainObject* o, std::int32_t dx, std::int32_t dy) {
  vdomainSet* s = single(o);
  rec(d)->moveObjects(d, s, dx, dy, vdomainMOVE_OFFSET);
  vdomainDestroySet(s);
}

void alignObjects(vdomain* d, vdomainSet* set, int mode, int horizontal, int vertical) {
  if (!set || set->count < 1 || (set->count == 1 && mode == 1)) return;
  vrectLong ref = _vdomainExtentOf(d, set);
  std::int32_t refX = 0, refY = 0;
  bool alignX = horizontalKey(ref, horizontal, &refX), alignY = verticalKey(d, ref, vertical, &refY);
  // A grid step below 1 would divide by zero: that axis stays.
  if (mode == 2) alignX &= d->grid[0] >= 1, alignY &= d->grid[1] >= 1;
  for (std::int32_t i = 0; i < set->count; ++i) {
    vdomainObject* o = set->objects[i];
    if (!o) continue;
    std::int32_t key = 0;
    if (alignX && horizontalKey(o->rect, horizontal, &key))
      offsetOne(d, o, mode == 2 ? vdomainGridRound(key, d->grid[0]) : refX - key, 0);
    if (alignY && verticalKey(d, o->rect, vertical, &key))
      offsetOne(d, o, 0, mode == 2 ? vdomainGridRound(key, d->grid[1]) : refY - key);
  }
}

std::int32_t distributionKey(const vdomain* d, const vrectLong& r, int how, bool vert) {
  std::int32_t key = vert ? r.y : r.x;
  if (vert) {
    if (!verticalKey(d, r, how == 1 ? 4 : how == 3 ? 2 : how, &key)) key = r.y;
  } else if (!horizontalKey(r, how == 2 ? 1 : how == 4 ? 3 : how, &key)) {
    key = r.x;
  }
  return key;
}

void distributeAxis(vdomain* d, vdomainSet* set, int how, bool vert) {
  struct Entry {
    std::int32_t key;
    vdomainObject* o;
  };
  std::vector<Entry> entries;
  for (std::int32_t i = 0; i < set->count; ++i)
    if (vdomainObject* o = set->objects[i]) entries.push_back({distributionKey(d, o->rect, how, vert), o});
  if (entries.size() < 2) return;
  std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.key < b.key; });
  std::int32_t first = entries.front().key;
  float step = static_cast<float>(entries.back().key - first) / static_cast<float>(entries.size() - 1);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    std::int32_t target = first + static_cast<std::int32_t>(static_cast<float>(i) * step);
    std::int32_t delta = target - entries[i].key;
    offsetOne(d, entries[i].o, vert ? 0 : delta, vert ? delta : 0);
  }
}

void distributeObjects(vdomain* d, vdomainSet* set, int horizontal, int vertical) {
  if (!set || set->count < 2) return;
  if (horizontal) distributeAxis(d, set, horizontal, false);
  if (vertical) distributeAxis(d, set, vertical, true);
}

}  // namespace

void _vdomainInstallGeometry(vdomainClassRec* c) {
  c->moveObjects = moveObjects;
  c->scaleObjects = scaleObjects;
  c->resizeObjects = resizeObjects;
  c->alignObjects = alignObjects;
  c->distributeObjects = distributeObjects;
  c->setRects = setRectsShort;
  c->setRectsLong = setRectsLong;
}

void vdomainMoveObjects(vdomain* d, vdomainSet* set, std::int32_t x, std::int32_t y, int mode) {
  rec(d)->moveObjects(d, set, x, y, mode);
}
void vdomainScaleObjects(vdomain* d, vdomainSet* set, double xFactor, double yFactor) {
  rec(d)->scaleObjects(d, set, xFactor, yFactor);
}
void vdomainResizeObjects(vdomain* d, vdomainSet* set, std::int32_t width, std::int32_t height) {
  rec(d)->resizeObjects(d, set, width, height);
}

std::int32_t vdomainGridRound(std::int32_t value, std::int32_t step) {
  if (step < 1) return 0;
  std::int32_t r = value % step;
  // A value already on the grid stays (with a step of 1, halving gives 0).
  if (r == 0) return 0;
  return r >= step / 2 ? step - r : -r;
}

vdomainSet* vdomainFindObjects(vdomain* d, const vrectLong* r, int slot, int firstOnly, int contained, int flags,
                               vdomainFilterFunc predicate, void* data) {
  vdomainSet* s = vdomainCreateSet();
  if (r->width <= 0 || r->height <= 0) return s;
  for (vdomainObject* o = d->first; o; o = o->next) {
    if (!_vdomainPasses(d, o, slot, flags, predicate, data)) continue;
    bool take = contained ? vrectLongContainsRect(r, &o->rect) != 0
                          : vrectLongIntersects(&o->rect, r) &&
                                ((flags & vdomainFILTER_NO_OVERLAP_TEST) || d->overlap(d, &o->rect, r));
    if (!take) continue;
    vdomainSetAppend(&s, o);
    // The walk runs in stacking order: the first found is the top one.
    if (firstOnly) break;
  }
  return s;
}

vdomainSet* vdomainFindObjectsShort(vdomain* d, const vrect* r, int slot, int firstOnly, int contained, int flags,
                                    vdomainFilterFunc predicate, void* data) {
  vrectLong w = _vdomainWiden(*r);
  return vdomainFindObjects(d, &w, slot, firstOnly, contained, flags, predicate, data);
}

vdomainSet* vdomainFindAtPoint(vdomain* d, std::int32_t x, std::int32_t y, int slot, int firstOnly, int flags,
                               vdomainFilterFunc predicate, void* data) {
  vrectLong r{x, y, 1, 1};
  return vdomainFindObjects(d, &r, slot, firstOnly, 0, flags, predicate, data);
}
