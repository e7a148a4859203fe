// Rectangle arithmetic on short (vrect, in fw/core/rect.h), long, float
// and 16.16 fixed rectangles, rectangle arrays with cheap allocation, and
// the set operation on two rectangle arrays. Results go through an out
// parameter that may be one of the inputs.
//
// Rectangles (`rect.h`): `vrect` and the shared point live in `fw/core/rect.h`; here are the long,
// float and 16.16 fixed forms and every operation, the short and long ones from one template over
// the field type with the arithmetic in a wider type. `vrectAlign` reads a table of one row per
// code (extent term, size term, gap). Rectangle arrays of 1-4 come from pooled blocks of four,
// larger ones from the heap, and n < 1 is one shared static empty array that destroy ignores.
// `vrectCombineLists` (`rectlist.cpp`) turns each non-empty rectangle into a record with a left and
// a right edge, sorts the edges by x (a right edge first at equal x, so touching rectangles do not
// overlap; a quicksort with a median of three over a module array of {key, edge} that only grows)
// and sweeps them. The active y intervals are disjoint, each with a count of the covering
// rectangles of each list; they sit in a top-down splay tree keyed by their tops and are also
// chained in y order, so an edge splays once to find where it starts and walks the chain: intervals
// are split at its ends, gaps get new intervals, counts move, and an interval whose tag (the OR of
// the lists' tags by non-zero count) changes closes a piece at this x. New intervals are linked
// beside their known neighbour (the chain names the free place) and the next search splays. Only
// pieces of the result tag are kept; the merge pass then joins vertically, then horizontally
// adjacent pieces until the count stops changing, and the result keeps the order the pieces were
// made in. Intervals, pieces and records come from two pools made for the call. `bench/rects.cpp`
// times the intersection of two lists of 1,000 rectangles of up to 128 x 128 in 1024 x 768 (about
// 1.5 ms of CPU on the shared 8-core build machine under a load of 20; 190 rectangles result) and
// the look-up of an interned colour among 300 (about 7 ns, no allocation).
#pragma once
#include <cstdint>

#include "fw/core/fixed.h"
#include "fw/core/rect.h"

struct vrectLong {
  std::int32_t x, y, width, height;
};
// Device-space bounds in 16.16 fixed point.
struct vrectFixed {
  vfixed x, y, width, height;
};

// The pools of the list operations; a later first use makes them too.
void vrectStartup();

int vrectIsEmpty(const vrect* r);
int vrectContainsPoint(const vrect* r, int x, int y);
int vrectEqual(const vrect* a, const vrect* b);
int vrectIntersects(const vrect* a, const vrect* b);  // touching edges do not
int vrectContainsRect(const vrect* outer, const vrect* inner);
void vrectSet(int x, int y, int width, int height, vrect* out);
void vrectSetPoints(int x1, int y1, int x2, int y2, vrect* out);
void vrectOffset(const vrect* r, int dx, int dy, vrect* out);
void vrectInset(const vrect* r, int dx, int dy, vrect* out);
void vrectIntersect(const vrect* a, const vrect* b, vrect* out);
void vrectUnion(const vrect* a, const vrect* b, vrect* out);  // empty rectangles take part
void vrectConstrain(const vrect* r, const vrect* bounds, vrect* out);
void vrectConstrainSize(const vrect* r, const vrect* bounds, vrect* out);
// Alignment codes per axis: 0-6 and 8-14 (7 and above 14 raise Arg).
void vrectAlign(const vrect* size, const vrect* bounds, int horizontal, int vertical, vrect* out);

// Arrays: n < 1 gives one shared empty array; 1-4 rectangles a pooled
// block; more the heap. Destroy returns each to where it came from.
vrect* vrectCreateList(int n);
vrect* vrectCloneList(const vrect* rects, int n);
void vrectDestroyList(vrect* rects);
int vrectListContainsPoint(const vrect* rects, int n, int x, int y);
int vrectListIntersects(const vrect* r, const vrect* rects, int n);
void vrectListGetBounds(const vrect* rects, int n, vrect* out);
// The pieces of the plane whose OR of covering tags equals resultTag.
vrect* vrectCombineLists(const vrect* a, const vrect* b, int na, int nb, int tagA, int tagB, int resultTag,
                         int* count);

int vrectLongEqual(const vrectLong* a, const vrectLong* b);
int vrectLongIntersects(const vrectLong* a, const vrectLong* b);
int vrectLongContainsRect(const vrectLong* outer, const vrectLong* inner);
void vrectLongSet(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height, vrectLong* out);
void vrectLongSetPoints(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2, vrectLong* out);
void vrectLongInset(const vrectLong* r, std::int32_t dx, std::int32_t dy, vrectLong* out);
void vrectLongIntersect(const vrectLong* a, const vrectLong* b, vrectLong* out);
void vrectLongUnion(const vrectLong* a, const vrectLong* b, vrectLong* out);
vrectLong* vrectLongCreateList(int n);
vrectLong* vrectLongCloneList(const vrectLong* rects, int n);
void vrectLongDestroyList(vrectLong* rects);
int vrectLongListContainsPoint(const vrectLong* rects, int n, std::int32_t x, std::int32_t y);
int vrectLongListIntersects(const vrectLong* r, const vrectLong* rects, int n);
void vrectLongListGetBounds(const vrectLong* rects, int n, vrectLong* out);
vrectLong* vrectLongCombineLists(const vrectLong* a, const vrectLong* b, int na, int nb, int tagA, int tagB,
                                 int resultTag, int* count);

void vrectShortToLong(const vrect* in, vrectLong* out);
void vrectLongToShort(const vrectLong* in, vrect* out);
// For drawing and invalidating: an axis that 16 bits cannot hold is first
// cut to a span around the area (window coordinates), so that the part in
// the area keeps both its edges; an axis that fits is kept whole.
void _vrectLongToShortAround(const vrectLong* in, const vrect* area, vrect* out);
void vrectShortToFloat(const vrect* in, vrectFloat* out);
void vrectFloatToShort(const vrectFloat* in, vrect* out);
void vrectFloatToFixed(const vrectFloat* in, vrectFixed* out);
void vrectFixedToShort(const vrectFixed* in, vrect* out);
void vrectFixedToFloat(const vrectFixed* in, vrectFloat* out);
void vrectLongToFloat(const vrectLong* in, vrectFloat* out);
