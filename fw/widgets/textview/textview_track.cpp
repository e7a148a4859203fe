// Following one press in a text view from button down to button up: caret
// placement, selection by characters, words or lines, extension of the
// selection, auto-scrolling while the pointer is outside the text area,
// dragging the selection to copy or move it, padding the text out to the
// press, and dragging the whole text by the mouse.
#include <algorithm>
#include <cstdlib>
#include <string>

#include "fw/core/timer.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/textview/textview_internal.h"

namespace {

// One press at a time, whichever view it went to.
struct Tracking {
  vtextview* view;
  vrect area;
  bool adjust, rectangular, margin, lineMode, wordMode, ignore;
  int dragMode;  // 0 none, 1 drag the selection, 2 drag with "Adjust" (moves)
  std::int32_t anchor;
  std::int32_t anchorFrom, anchorTo;  // the word or line the press selected
  int lastX, lastY;
  std::uint16_t rectX;  // text x of the press, for a rectangular selection
  bool dropFeedback;
  std::int32_t drop;
};
Tracking state{};

struct Grab {
  int x, y;
  std::int32_t scrollY, scrollX;
};
Grab grab{};

vtextviewClassRec* cls(vtextview* v) { return vtextviewClassOf(v); }

bool isWord(vtext* t, std::int32_t p) {
  const char* c = vtextGetCharPointer(t, p);
  return *c != '\n' && vtextClassOf(t)->isWordChar(t, c) != 0;
}

// The word holding the character at c; any other character stands alone
// (a line end too, so a line's last word ends before it).
void wordAround(vtext* t, std::int32_t c, std::int32_t* from, std::int32_t* to) {
  if (c >= t->length || c < 0) {
    *from = *to = std::clamp(c, 0, t->length);
    return;
  }
  *from = c, *to = c + 1;
  if (!isWord(t, c)) return;
  while (*from > 0 && isWord(t, *from - 1)) --*from;
  while (*to < t->length && isWord(t, *to)) ++*to;
}

void lineAround(vtext* t, std::int32_t p, std::int32_t* from, std::int32_t* to) {
  std::int32_t line = vtextGetLineOfPosition(t, p);
  *from = vtextGetLineStart(t, line);
  *to = line < t->lineCount ? vtextGetLineStart(t, line + 1) : t->length;
}

// The end of a line's characters, before its line end if it has one.
std::int32_t lineEnd(vtext* t, std::int32_t line) {
  if (line >= t->lineCount) return t->length;
  std::int32_t start = vtextGetLineStart(t, line), end = vtextGetLineStart(t, line + 1);
  return end > start && *vtextGetCharPointer(t, end - 1) == '\n' ? end - 1 : end;
}

bool atLineStart(vtext* t, std::int32_t p) { return p <= 0 || p >= t->length || *vtextGetCharPointer(t, p - 1) == '\n'; }

int textX(vtextview* v, int x) { return x - state.area.x - 1 + v->scrollX; }

// The character under the pointer: the one right of the gap hit, or left of
// it when the pointer lies left of the gap's x.
std::int32_t charUnder(vtextview* v, std::int32_t gap, int x) {
  if (gap > 0 && textX(v, x) < vtextGetPositionColumnValue(v->text, gap)) return gap - 1;
  return gap;
}

void setSelection(vtextview* v, std::int32_t a, std::int32_t b) {
  vtextOrderPair(&a, &b);
  vtextSelection* s = v->selection;
  if (s->start != a || s->end != b) vtextSetSelectionRange(v->text, s, a, b);
}

// Scrolls toward a pointer outside the text area: by the vertical bar's
// step (one line without a bar), by the horizontal bar's (20 pixels
// without one, 5 near the end of the line).
void scrollToward(vtextview* v, int x, int y, std::int32_t line) {
  const vrect& a = state.area;
  std::int32_t first = v->scrollY, scrollX = v->scrollX;
  int vstep = v->vertBar ? std::max<int>(v->vertBar->increment, 1) : 1;
  if (y >= a.y + a.height) first -= vstep;
  else if (y < a.y) first += vstep;
  int hstep = v->horzBar ? std::max<int>(v->horzBar->increment, 1) : 20;
  if (x < a.x) {
    scrollX -= hstep;
  } else if (x >= a.x + a.width) {
    std::int32_t left = vtextGetPositionColumnValue(v->text, lineEnd(v->text, line)) - (v->scrollX + a.width);
    if (left > 0) scrollX += left < hstep ? 5 : hstep;
  }
  if (first != v->scrollY || scrollX != v->scrollX) cls(v)->scrollTo(v, first, scrollX);
}

void autoScrollTick(vtimer* timer);

void followOutside(vtextview* v, bool outside) {
  vtimer*& t = _vtextviewModule()->autoScroll;
  if (!t) {
    t = vtimerCreate();
    t->notify = autoScrollTick;
    t->flags |= vtimerRECURRENT;
    t->periodSeconds = 0;
    t->periodNanoseconds = 10'000'000;
  }
  t->data = outside ? v : nullptr;
  if (outside && !(t->flags & vtimerARMED)) vtimerStart(t);
  if (!outside && (t->flags & vtimerARMED)) vtimerStop(t);
}

void stopFollowing() {
  if (vtimer* t = _vtextviewModule()->autoScroll) {
    vtimerStop(t);
    t->data = nullptr;
  }
}

void invalDrop(vtextview* v) {
  if (v->flags & vdialogItemOPEN) {
    vrect a = *vtextviewGetTextArea(v);
    vdialogItemClassOf(v)->invalRect(v, &a, 0);
  }
}

void down(vtextview* v, int x, int y, vevent* e) {
  vtext* t = v->text;
  vtextSelection* s = v->selection;
  if (v->textViewFlags & vtextviewAUTO_INSERT) _vtextviewPadToPoint(v, x, y);
  vname role = veventGetBinding(e);
  state = Tracking{};
  state.view = v;
  state.area = *vtextviewGetTextArea(v);
  state.lastX = x, state.lastY = y;
  // "Extend" extends as "Adjust" does; the "Drag" button selects as "Select".
  state.adjust = role == vname_Adjust || role == vname_Extend;
  state.ignore = !state.adjust && role != vname_Select && role != vname_Drag;
  if (state.ignore) return;
  int clicks = veventGetClickCount(e);
  state.rectangular = s->mode == 1;
  state.margin = x < state.area.x - 4;
  bool linewise = s->length > 0 && atLineStart(t, s->start) && atLineStart(t, s->end);
  state.lineMode = !state.rectangular && ((state.margin && (!state.adjust || linewise)) || (clicks == 3 && !state.adjust));
  std::int32_t p = _vtextviewHit(v, x, y);
  state.anchor = p;
  std::int32_t under = charUnder(v, p, x);
  // A second or third click on a selection selects words or lines; only
  // a fresh press drags it (else a triple click could never reach lines
  // once the double click had selected a word).
  if ((v->textViewFlags & vtextviewDRAG_EDIT) && clicks < 2 && s->length > 0 && under >= s->start && under < s->end) {
    std::int32_t left = std::min(s->startX, s->endX), right = std::max(s->startX, s->endX);
    int tx = textX(v, x);
    if (!state.rectangular || (tx >= left && tx <= right)) {
      state.dragMode = state.adjust ? 2 : 1;
      state.adjust = state.rectangular = state.lineMode = false;
      return;
    }
  }
  if (state.adjust) {
    state.anchor = p > s->start ? s->start : s->end;
    std::int32_t to = p;
    if (state.lineMode) {
      std::int32_t from, end;
      lineAround(t, p, &from, &end);
      to = p >= state.anchor ? end : from;
    }
    state.anchorFrom = state.anchorTo = state.anchor;
    setSelection(v, state.anchor, to);
    return;
  }
  if (state.lineMode) {
    lineAround(t, p, &state.anchorFrom, &state.anchorTo);
    state.anchor = state.anchorFrom;
    setSelection(v, state.anchorFrom, state.anchorTo);
    return;
  }
  if (clicks == 2 && s->length == 0 && s->start == p) {
    state.wordMode = true;
    wordAround(t, under, &state.anchorFrom, &state.anchorTo);
    state.anchor = state.anchorFrom;
    setSelection(v, state.anchorFrom, state.anchorTo);
    return;
  }
  state.anchorFrom = state.anchorTo = p;
  setSelection(v, p, p);
  if (state.rectangular) s->startX = s->endX = std::max(textX(v, x), 0);
}

void motion(vtextview* v, int x, int y) {
  if (state.ignore || state.view != v) return;
  state.lastX = x, state.lastY = y;
  const vrect& a = state.area;
  int cx = std::clamp(x, int(a.x), a.x + a.width - 1), cy = std::clamp(y, int(a.y), a.y + a.height - 1);
  bool outside = cx != x || cy != y;
  if (outside) scrollToward(v, x, y, vtextGetLineOfPosition(v->text, _vtextviewHit(v, cx, cy)));
  followOutside(v, outside);
  std::int32_t p = _vtextviewHit(v, cx, cy);
  vtext* t = v->text;
  if (state.dragMode) {
    if (!state.dropFeedback || state.drop != p) {
      state.dropFeedback = true;
      state.drop = p;
      invalDrop(v);
    }
    return;
  }
  std::int32_t from = std::min(state.anchorFrom, p), to = std::max(state.anchorTo, p);
  if (state.wordMode) {
    std::int32_t a0, b0;
    wordAround(t, charUnder(v, p, cx), &a0, &b0);
    from = std::min(state.anchorFrom, p < state.anchorFrom ? a0 : state.anchorFrom);
    to = std::max(state.anchorTo, p >= state.anchorTo ? b0 : state.anchorTo);
  } else if (state.lineMode) {
    std::int32_t a0, b0;
    lineAround(t, p, &a0, &b0);
    from = std::min(state.anchorFrom, a0);
    to = std::max(state.anchorTo, b0);
  } else if (state.adjust) {
    from = state.anchor, to = p;
  }
  setSelection(v, from, to);
  if (state.rectangular) {
    vtextSelection* s = v->selection;
    std::int32_t now = std::max(textX(v, cx), 0);
    s->endX = now;
    if (s->startX > s->endX) std::swap(s->startX, s->endX);
  }
}

void up(vtextview* v, int x, int y) {
  if (state.view != v) return;
  if (!state.ignore) motion(v, x, y);
  stopFollowing();
  if (state.dragMode) {
    bool shown = state.dropFeedback;
    state.dropFeedback = false;
    if (shown) invalDrop(v);
    const vrect& a = state.area;
    std::int32_t drop = _vtextviewHit(v, std::clamp(x, int(a.x), a.x + a.width - 1), std::clamp(y, int(a.y), a.y + a.height - 1));
    vtextSelection* s = v->selection;
    if (drop < s->start || drop > s->end) {
      vobjectAttributedOf(v)->issueSelector(v, 22, nullptr);
      if (state.dragMode == 2) {
        std::int32_t length = s->length, end = s->end;
        vtextDeleteSelection(v->text, s);
        vtextviewRecordUndo(v, vscribeLiteral("Cut"));
        if (drop >= end) drop -= length;
      }
      vtextSetSelectionRange(v->text, s, drop, drop);
      vobjectAttributedOf(v)->issueSelector(v, 23, nullptr);
    }
  }
  state.view = nullptr;
  v->textViewFlags &= std::uint16_t(~vtextviewTRACKING);
  cls(v)->placeCaret(v);
  int hilite = vtextviewGetHilite();
  if ((hilite == 1 || hilite == 2) && (v->flags & vdialogItemOPEN)) invalDrop(v);
}

void autoScrollTick(vtimer* timer) {
  auto* v = static_cast<vtextview*>(timer->data);
  if (!v || !v->text || state.view != v) {
    vtimerStop(timer);
    return;
  }
  motion(v, state.lastX, state.lastY);
}

}  // namespace

void _vtextviewTrack(vtextview* v, const int* point, vevent* event, int phase) {
  if (!v->text || !v->selection) return;
  int x = point ? point[0] : state.lastX, y = point ? point[1] : state.lastY;
  switch (phase) {
    case 0:
      v->textViewFlags |= vtextviewTRACKING;
      down(v, x, y, event);
      break;
    case 1: motion(v, x, y); break;
    default: up(v, x, y); break;
  }
}

bool _vtextviewDropFeedback(const vtextview* v, std::int32_t* position) {
  if (!state.dropFeedback || state.view != v) return false;
  *position = state.drop;
  return true;
}

void _vtextviewForgetTracking(vtextview* v) {
  if (state.view == v) state = Tracking{};
  vtimer* t = _vtextviewModule()->autoScroll;
  if (t && t->data == v) stopFollowing();
}

void _vtextviewPadToPoint(vtextview* v, int x, int y) {
  vtext* t = v->text;
  const vrect a = *vtextviewGetTextArea(v);
  if (!t || x < a.x || x >= a.x + a.width || y < a.y || y >= a.y + a.height) return;
  // Rows from the first visible line: below the last one, a line end for
  // each missing row (rows as high as the last line).
  std::int32_t last = std::max<std::int32_t>(t->lineCount, 1);
  int bottom = a.y + a.height - vtextGetLinesHeight(t, v->scrollY, last);
  std::string pad;
  std::int32_t line = vtextGetLineOfPosition(t, _vtextviewHit(v, x, std::max(y, bottom)));
  if (y < bottom) {
    vtextLineInfo info{};
    vtextGetLineInfo(t, last, &info);
    int h = std::max<int>(info.height, 1);
    pad.assign(std::size_t((bottom - y + h - 1) / h), '\n');
  }
  vtextSelection* at = vtextCreateSelection(t);
  auto insert = [&](std::int32_t p, const std::string& chars) {
    vtextSetSelectionRange(t, at, p, p);
    vtextInsertText(t, at, chars.data(), std::int32_t(chars.size()));
  };
  bool padded = !pad.empty();
  if (padded) insert(t->length, pad), line = t->lineCount;
  std::int32_t end = lineEnd(t, line);
  // Blanks while half a blank still fits before the press; the blank's
  // width is the text's own, measured on the first one inserted.
  std::int32_t endX = vtextGetPositionColumnValue(t, end), press = x - a.x - 1 + v->scrollX;
  if (endX < press) {
    insert(end, " ");
    std::int32_t space = vtextGetPositionColumnValue(t, end + 1) - endX;
    if (space <= 0 || endX + space / 2 >= press) {
      vtextSetSelectionRange(t, at, end, end + 1);
      vtextDeleteSelection(t, at);
    } else {
      padded = true;
      std::int32_t more = 0;
      while (endX + (more + 1) * space + space / 2 < press) ++more;
      if (more > 0) insert(end + 1, std::string(std::size_t(more), ' '));
    }
  }
  vtextDestroySelection(t, at);
  if (padded) vtextviewRecordUndo(v, vscribeLiteral("Typing"));
}

void _vtextviewGrabScroll(vtextview* v, int x, int y, int phase) {
  if (phase == 0) {
    grab = {x, y, v->scrollY, v->scrollX};
    return;
  }
  if (!v->text) return;
  vtextLineInfo info{};
  vtextGetLineInfo(v->text, std::clamp(grab.scrollY, 1, std::max<std::int32_t>(v->text->lineCount, 1)), &info);
  int h = std::max<int>(info.height, 1), dy = y - grab.y;
  std::int32_t lines = std::abs(dy) / h;
  std::int32_t first = std::clamp(grab.scrollY + (dy > 0 ? lines : -lines), 1, std::max<std::int32_t>(v->text->lineCount, 1));
  cls(v)->scrollTo(v, first, grab.scrollX + (grab.x - x));
}
