// The 4-connected scanline flood fill, on an explicit stack of seeds so
// that a large region cannot exhaust the call stack.
#include <vector>

#include "fw/core/ex.h"
#include "fw/imaging/codecs/pixops.h"

namespace {

struct Seed {
  int x, y;
};

}  // namespace

void vimgedInitFillContext(vimgedFillContext* context, vimage* image) {
  if (!context || !image) _vexGenerate(&vexArgNullClass, vexEnd);
  vpixmapInitCursor(&context->cursor, image);
  context->image = image;
}

void vimgedFinishFillContext(vimgedFillContext* context) {
  if (!context || !context->image) return;
  vpixmapFinishCursor(&context->cursor);
  context->image = nullptr;
}

void vimgedFloodFill(vimgedFillContext* context, std::uint32_t value, int x, int y) {
  if (!context || !context->image) _vexGenerate(&vexArgNullClass, vexEnd);
  vpixmapCursor* c = &context->cursor;
  int w = context->image->width, h = context->image->height;
  if (x < 0 || y < 0 || x >= w || y >= h) _vexGenerate(&vexArgRangeClass, vexEnd);
  std::uint32_t old = vpixmapCursorGetAt(c, x, y);
  if (old == value) return;
  std::vector<Seed> stack{{x, y}};
  while (!stack.empty()) {
    Seed s = stack.back();
    stack.pop_back();
    if (vpixmapCursorGetAt(c, s.x, s.y) != old) continue;
    // The span of old pixels through the seed, filled from its right end.
    int right = s.x;
    vpixmapCursorMoveTo(c, right + 1, s.y);
    while (right + 1 < w && vpixmapCursorGetNext(c) == old) ++right;
    int left = right;
    vpixmapCursorMoveTo(c, right, s.y);
    while (left >= 0 && vpixmapCursorGet(c) == old) {
      vpixmapCursorSet(c, value);
      if (--left >= 0) vpixmapCursorPrevious(c);
    }
    ++left;
    // One seed for every run of old pixels next to the span, below then above.
    for (int row : {s.y - 1, s.y + 1}) {
      if (row < 0 || row >= h) continue;
      bool inRun = false;
      vpixmapCursorMoveTo(c, left, row);
      for (int i = left; i <= right; ++i) {
        bool match = vpixmapCursorGetNext(c) == old;
        if (match && !inRun) stack.push_back({i, row});
        inRun = match;
      }
    }
  }
  vpixmapMarkChanged(context->image);
}
