// Rectangle arrays and the set operation on two of them: a sweep in x over
// the rectangles' edges, with the active y intervals in a splay tree.
#include <algorithm>
#include <cstring>
#include <tuple>
#include <vector>

#include "fw/core/mem.h"
#include "fw/gui/graphics/rect.h"

namespace {

// ---- Arrays.

vrect emptyShort[1] = {{0, 0, 0, 0}};
vrectLong emptyLong[1] = {{0, 0, 0, 0}};
vpool* shortBlocks = nullptr;
vpool* longBlocks = nullptr;
constexpr int kBlock = 4;

template <class R>
R* emptyOf();
template <>
vrect* emptyOf<vrect>() { return emptyShort; }
template <>
vrectLong* emptyOf<vrectLong>() { return emptyLong; }
template <class R>
vpool*& blocksOf() {
  if constexpr (sizeof(R) == sizeof(vrect)) return shortBlocks; else return longBlocks;
}

void startup() {
  if (!shortBlocks) shortBlocks = vpoolCreate(kBlock * sizeof(vrect));
  if (!longBlocks) longBlocks = vpoolCreate(kBlock * sizeof(vrectLong));
}

template <class R>
R* createList(int n) {
  if (n < 1) return emptyOf<R>();
  startup();
  if (n <= kBlock) return static_cast<R*>(vpoolAlloc(blocksOf<R>()));
  return static_cast<R*>(vmemAlloc(vmemArraySize(std::size_t(n), sizeof(R))));
}

template <class R>
void destroyList(R* rects) {
  if (!rects || rects == emptyOf<R>()) return;
  vpool* pool = blocksOf<R>();
  if (pool && vpoolContains(pool, rects))
    vpoolFree(pool, rects);
  else
    vmemFree(rects);
}

template <class R>
R* cloneList(const R* rects, int n) {
  R* out = createList<R>(n);
  if (n > 0) std::memcpy(out, rects, std::size_t(n) * sizeof(R));
  return out;
}

// ---- The set operation.

struct Input;
struct Edge {
  std::int64_t x;
  Input* input;
  bool right;
  std::int64_t order;  // x, then a right edge before a left edge
};
// One non-empty rectangle: its y extent, its list and its two edges.
struct Input {
  std::int64_t top, bottom;
  int list;
  Edge left, right;
};
// An active y interval of the sweep (keyed by top; intervals never
// overlap), or a finished piece of the result. The active intervals are
// also chained in y order, so that the sweep walks from one to the next.
struct Span {
  std::int64_t top, bottom, startX, endX;
  int count[2];  // covering rectangles of list a and of list b
  Span* child[2];
  Span* prev;
  Span* next;
  int sequence;
};

// The edge pointers, each with its sort key beside it: a module array
// that grows and never shrinks.
struct EdgeRef {
  std::int64_t order;
  Edge* edge;
};
std::vector<EdgeRef> edgeScratch;

bool before(const EdgeRef& a, const EdgeRef& b) { return a.order < b.order; }

void insertionSort(EdgeRef* lo, EdgeRef* hi) {
  for (EdgeRef* i = lo + 1; i < hi; ++i)
    for (EdgeRef* j = i; j > lo && before(*j, *(j - 1)); --j) std::swap(*j, *(j - 1));
}

// Quicksort with the median of three as pivot; small runs by insertion.
void sortEdges(EdgeRef* lo, EdgeRef* hi) {
  while (hi - lo > 12) {
    EdgeRef* mid = lo + (hi - lo) / 2;
    EdgeRef* last = hi - 1;
    if (before(*mid, *lo)) std::swap(*mid, *lo);
    if (before(*last, *lo)) std::swap(*last, *lo);
    if (before(*last, *mid)) std::swap(*last, *mid);
    const EdgeRef pivot = *mid;
    EdgeRef* i = lo;
    EdgeRef* j = last;
    for (;;) {
      while (before(*i, pivot)) ++i;
      while (before(pivot, *j)) --j;
      if (i >= j) break;
      std::swap(*i, *j);
      ++i;
      --j;
    }
    // Recurse into the smaller part, loop on the larger.
    if (j + 1 - lo < hi - (j + 1)) {
      sortEdges(lo, j + 1);
      lo = j + 1;
    } else {
      sortEdges(j + 1, hi);
      hi = j + 1;
    }
  }
  insertionSort(lo, hi);
}

// Top-down splay on the interval tops: the node with that top, or the last
// one met on the way (its neighbour in order), becomes the root.
Span* splay(Span* t, std::int64_t key) {
  if (!t) return t;
  Span header{};
  Span* l = &header;  // the rightmost node of the tree of smaller tops
  Span* r = &header;  // the leftmost node of the tree of larger tops
  for (;;) {
    if (key < t->top) {
      if (!t->child[0]) break;
      if (key < t->child[0]->top) {
        Span* y = t->child[0];
        t->child[0] = y->child[1];
        y->child[1] = t;
        t = y;
        if (!t->child[0]) break;
      }
      r->child[0] = t;
      r = t;
      t = t->child[0];
    } else if (key > t->top) {
      if (!t->child[1]) break;
      if (key > t->child[1]->top) {
        Span* y = t->child[1];
        t->child[1] = y->child[0];
        y->child[0] = t;
        t = y;
        if (!t->child[1]) break;
      }
      l->child[1] = t;
      l = t;
      t = t->child[1];
    } else {
      break;
    }
  }
  l->child[1] = t->child[0];
  r->child[0] = t->child[1];
  t->child[0] = header.child[1];
  t->child[1] = header.child[0];
  return t;
}

class Sweep {
 public:
  Sweep(int tagA, int tagB, int result, vpool* pool) : tags_{tagA, tagB}, result_(result), pool_(pool) {}

  void edge(const Edge& e) {
    std::int64_t t = e.input->top, b = e.input->bottom, x = e.x;
    int list = e.input->list, delta = e.right ? -1 : 1;
    collect(t, b);
    std::int64_t cursor = t;
    Span* last = before_;
    Span* low = nullptr;   // the first covered interval of [t, b)
    Span* high = nullptr;  // the last
    auto keep = [&](Span* s) {
      if (!low) low = s;
      high = s;
    };
    for (Span* s : range_) {
      if (s->top < t) s = split(s, t);
      if (s->bottom > b) after_ = split(s, b);
      if (cursor < s->top && delta > 0) keep(add(cursor, s->top, list, x, s, 0));
      cursor = s->bottom;
      last = s;
      if (change(s, list, delta, x)) keep(s);
    }
    if (cursor < b && delta > 0) keep(last ? add(cursor, b, list, x, last, 1) : add(cursor, b, list, x, after_, 0));
    // Inside [t, b) every interval changed alike, so only the ones across
    // its two ends can have come to hold the same coverage since the same
    // x; those become one interval again.
    if (low && joins(before_, low)) {
      if (high == low) high = before_;
      join(before_, low);
    }
    if (high && joins(high, after_)) join(high, after_);
  }

  // The finished pieces of the result tag, in the order they were made.
  std::vector<Span*>& pieces() { return pieces_; }

 private:
  static bool joins(const Span* a, const Span* b) {
    return a && b && a->bottom == b->top && a->startX == b->startX && a->count[0] == b->count[0] &&
           a->count[1] == b->count[1];
  }
  void join(Span* a, Span* b) {
    a->bottom = b->bottom;
    remove(b);
  }
  int tagOf(const Span* s) const { return (s->count[0] ? tags_[0] : 0) | (s->count[1] ? tags_[1] : 0); }

  Span* fresh(std::int64_t top, std::int64_t bottom, std::int64_t startX) {
    auto* s = static_cast<Span*>(vpoolAlloc(pool_));
    *s = {top, bottom, startX, 0, {0, 0}, {nullptr, nullptr}, nullptr, nullptr, 0};
    return s;
  }
  // Links n just after (side 1) or just before (side 0) its neighbour in
  // y order, in the chain and in the tree: as the neighbour's child, or as
  // the child of the node beside it in the chain, which has that place free.
  // The next search splays.
  void link(Span* n, Span* neighbour, int side) {
    if (!root_) {
      root_ = n;
      return;
    }
    Span* beside = side ? neighbour->next : neighbour->prev;
    if (!neighbour->child[side])
      neighbour->child[side] = n;
    else
      beside->child[!side] = n;
    Span*& towards = side ? neighbour->next : neighbour->prev;
    towards = n;
    (side ? n->prev : n->next) = neighbour;
    (side ? n->next : n->prev) = beside;
    if (beside) (side ? beside->prev : beside->next) = n;
  }
  void remove(Span* s) {
    if (s->prev) s->prev->next = s->next;
    if (s->next) s->next->prev = s->prev;
    root_ = splay(root_, s->top);
    if (!root_->child[0]) {
      root_ = root_->child[1];
    } else {
      Span* right = root_->child[1];
      root_ = splay(root_->child[0], s->top);  // the largest below becomes the root
      root_->child[1] = right;
    }
    vpoolFree(pool_, s);
  }
  // The active intervals that overlap [t, b), in y order, with the last
  // interval before them and the first after them.
  void collect(std::int64_t t, std::int64_t b) {
    range_.clear();
    before_ = after_ = nullptr;
    if (!root_) return;
    root_ = splay(root_, t);
    Span* below = root_->top < t ? root_ : root_->prev;  // the largest top under t
    Span* n = root_->top < t ? root_->next : root_;
    if (below && below->bottom > t)
      n = below;
    else
      before_ = below;
    for (; n && n->top < b; n = n->next) range_.push_back(n);
    after_ = n;
  }
  // Cuts s at y; the part from y on is a new interval of the same state.
  Span* split(Span* s, std::int64_t y) {
    Span* n = fresh(y, s->bottom, s->startX);
    n->count[0] = s->count[0];
    n->count[1] = s->count[1];
    s->bottom = y;
    link(n, s, 1);
    return n;
  }
  Span* add(std::int64_t top, std::int64_t bottom, int list, std::int64_t x, Span* neighbour, int side) {
    Span* n = fresh(top, bottom, x);
    n->count[list] = 1;
    link(n, neighbour, side);
    return n;
  }
  void finish(const Span* s, std::int64_t x, int tag) {
    if (s->startX < x && tag == result_) {
      Span* p = fresh(s->top, s->bottom, s->startX);
      p->endX = x;
      p->sequence = int(pieces_.size());
      pieces_.push_back(p);
    }
  }
  // False when the interval is no longer covered and has gone.
  bool change(Span* s, int list, int delta, std::int64_t x) {
    int before = tagOf(s);
    s->count[list] += delta;
    bool covered = s->count[0] || s->count[1];
    if (tagOf(s) != before || !covered) {
      finish(s, x, before);
      s->startX = x;
    }
    if (!covered) remove(s);
    return covered;
  }

  int tags_[2];
  int result_;
  vpool* pool_;
  Span* root_ = nullptr;
  Span* before_ = nullptr;
  Span* after_ = nullptr;
  std::vector<Span*> range_, pieces_;
};

// Joins vertically adjacent pieces of one x span and horizontally adjacent
// pieces of one y span until nothing more joins; the survivors keep the
// order in which they were made.
void mergePieces(std::vector<Span*>& pieces) {
  std::size_t before;
  do {
    before = pieces.size();
    for (int pass = 0; pass < 2; ++pass) {
      // pass 0: same x span, touching in y; pass 1: same y span, touching in x.
      auto key = [pass](const Span* s) {
        return pass == 0 ? std::tuple(s->startX, s->endX, s->top) : std::tuple(s->top, s->bottom, s->startX);
      };
      std::sort(pieces.begin(), pieces.end(), [&](const Span* a, const Span* b) { return key(a) < key(b); });
      std::size_t out = 0;
      for (Span* s : pieces) {
        Span* last = out ? pieces[out - 1] : nullptr;
        if (last && pass == 0 && last->startX == s->startX && last->endX == s->endX && last->bottom == s->top) {
          last->bottom = s->bottom;
          last->sequence = std::min(last->sequence, s->sequence);
        } else if (last && pass == 1 && last->top == s->top && last->bottom == s->bottom && last->endX == s->startX) {
          last->endX = s->endX;
          last->sequence = std::min(last->sequence, s->sequence);
        } else {
          pieces[out++] = s;
        }
      }
      pieces.resize(out);
    }
  } while (pieces.size() != before);
  std::sort(pieces.begin(), pieces.end(), [](const Span* a, const Span* b) { return a->sequence < b->sequence; });
}

// The temporary pools of one call, released however it ends.
struct CallPools {
  vpool* inputs;
  vpool* spans;
  explicit CallPools(int n) : inputs(vpoolCreate(sizeof(Input))), spans(vpoolCreate(sizeof(Span))) {
    vpoolGrow(inputs, std::size_t(n));
    vpoolGrow(spans, 2 * std::size_t(n));
  }
  ~CallPools() {
    vpoolDestroy(inputs);
    vpoolDestroy(spans);
  }
  CallPools(const CallPools&) = delete;
  CallPools& operator=(const CallPools&) = delete;
};

template <class R>
R* combine(const R* a, const R* b, int na, int nb, int tagA, int tagB, int resultTag, int* count) {
  na = std::max(na, 0);
  nb = std::max(nb, 0);
  *count = 0;
  if (na + nb == 0) return emptyOf<R>();
  startup();
  CallPools pools(na + nb);
  edgeScratch.clear();
  if (edgeScratch.capacity() < 2 * std::size_t(na + nb)) edgeScratch.reserve(2 * std::size_t(na + nb));
  for (int list = 0; list < 2; ++list) {
    const R* rects = list ? b : a;
    for (int i = 0, n = list ? nb : na; i < n; ++i) {
      const R& r = rects[i];
      if (r.width < 1 || r.height < 1) continue;
      auto* in = static_cast<Input*>(vpoolAlloc(pools.inputs));
      in->top = r.y;
      in->bottom = std::int64_t(r.y) + r.height;
      in->list = list;
      in->left = {r.x, in, false, std::int64_t(r.x) * 2 + 1};
      in->right = {std::int64_t(r.x) + r.width, in, true, (std::int64_t(r.x) + r.width) * 2};
      edgeScratch.push_back({in->left.order, &in->left});
      edgeScratch.push_back({in->right.order, &in->right});
    }
  }
  if (!edgeScratch.empty()) sortEdges(edgeScratch.data(), edgeScratch.data() + edgeScratch.size());
  Sweep sweep(tagA, tagB, resultTag, pools.spans);
  for (const EdgeRef& e : edgeScratch) sweep.edge(*e.edge);
  std::vector<Span*>& pieces = sweep.pieces();
  mergePieces(pieces);
  if (pieces.empty()) return emptyOf<R>();
  R* out = createList<R>(int(pieces.size()));
  using F = decltype(R::x);
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    const Span* p = pieces[i];
    out[i] = {F(p->startX), F(p->top), F(p->endX - p->startX), F(p->bottom - p->top)};
  }
  *count = int(pieces.size());
  return out;
}

}  // namespace

void vrectStartup() { startup(); }

vrect* vrectCreateList(int n) { return createList<vrect>(n); }
vrect* vrectCloneList(const vrect* rects, int n) { return cloneList(rects, n); }
void vrectDestroyList(vrect* rects) { destroyList(rects); }
vrect* vrectCombineLists(const vrect* a, const vrect* b, int na, int nb, int tagA, int tagB, int resultTag,
                         int* count) {
  return combine(a, b, na, nb, tagA, tagB, resultTag, count);
}

vrectLong* vrectLongCreateList(int n) { return createList<vrectLong>(n); }
vrectLong* vrectLongCloneList(const vrectLong* rects, int n) { return cloneList(rects, n); }
void vrectLongDestroyList(vrectLong* rects) { destroyList(rects); }
vrectLong* vrectLongCombineLists(const vrectLong* a, const vrectLong* b, int na, int nb, int tagA, int tagB,
                                 int resultTag, int* count) {
  return combine(a, b, na, nb, tagA, tagB, resultTag, count);
}
