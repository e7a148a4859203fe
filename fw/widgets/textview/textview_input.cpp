// The text view's input-method context: the composed characters live in
// the text itself between composition start and its length, underlined,
// with the converted part inverted; every replacement is named for undo.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "fw/core/ex.h"
#include "fw/core/mem.h"
#include "fw/text/styleruns.h"
#include "fw/text/textstyle.h"
#include "fw/text/txtruler.h"
#include "fw/widgets/textview/textview_internal.h"
#include "fw/widgets/textview/viewinput.h"

namespace {

struct InputContext {
  _vtextviewInputClassRec* cls;
  vtextStyle* composition;
  vtextStyle* conversion;
};
InputContext ctx{};

constexpr std::int32_t kFixedBuffer = 128;

_vtextviewInput* inputOf(vtextview* v) { return static_cast<_vtextviewInput*>(static_cast<vobject*>(v->inputContext)); }
bool has(const _vtextviewInput* i, std::uint32_t bit) { return (i->state & bit) != 0; }

// A failed style step is reported and the update goes on; a style that
// was not applied has nothing to remove, which is no failure.
template <class F>
void guarded(F step) {
  vexGuard(step, [](vexHandler& h) {
    vexException* e = vexGetCurrentException();
    if (e && !vexFindException(&vexTextNoAppliedStyleClass)) vexPrintBase(e, stderr);
    vexSetCurrentException(h.savedChain);
  });
}

void removeStyles(vtext* t) {
  guarded([&] { vtextRemoveStyle(t, 0, t->length, ctx.conversion); });
  guarded([&] { vtextRemoveStyle(t, 0, t->length, ctx.composition); });
}

void inputInit(vinstance* self) {
  auto* i = static_cast<_vtextviewInput*>(self);
  i->view = nullptr;
  i->state = vtextviewInputENABLED;
  i->compositionStart = i->compositionLength = i->cursor = 0;
  i->conversionStart = i->conversionLength = 0;
  vinputGetClass()->init(self);
}

void reset(_vtextviewInput* i) {
  std::int32_t at = i->view && i->view->selection ? i->view->selection->start : 0;
  i->compositionStart = i->cursor = at;
  i->compositionLength = i->conversionStart = i->conversionLength = 0;
  i->state &= ~(vtextviewInputBUSY | vtextviewInputCOMPOSING | vtextviewInputINSERTING);
}

// The converted part follows a change of the composed characters at
// [at, at + removed) replaced by inserted ones.
void moveConversion(_vtextviewInput* i, std::int32_t at, std::int32_t removed, std::int32_t inserted) {
  if (i->conversionLength <= 0) return;
  std::int32_t a = i->conversionStart, b = a + i->conversionLength, end = at + removed;
  if (at <= a && end >= b) {
    i->conversionStart = i->conversionLength = 0;  // swallowed
  } else if (end <= a) {
    i->conversionStart += inserted - removed;  // before it
  } else if (at > a && at < b) {
    i->conversionLength = at - a;  // its tail cut
  } else if (at <= a) {
    i->conversionStart = at + inserted;  // its head cut
    i->conversionLength = b - end;
  }
}

bool replace(_vtextviewInput* i, vtextview* v, const vtextviewInputUpdate* u) {
  vtext* t = v->text;
  std::int32_t at = i->compositionStart + u->position;
  // An update past the text's end is dropped and the context starts over
  // idle; staying busy would ignore every later update.
  if (at > t->length || at < 0) {
    _vtextviewInputClassOf(i)->reset(i);
    return false;
  }
  // Only composed characters go: never the committed text after them.
  std::int32_t compositionEnd = std::min(i->compositionStart + i->compositionLength, t->length);
  std::int32_t removed = std::clamp(u->removed, 0, std::max(compositionEnd - at, 0));
  std::int32_t inserted = std::max(u->inserted, 0);
  char fixed[kFixedBuffer];
  std::vector<char> large;
  char* chars = fixed;
  if (inserted > kFixedBuffer) large.resize(std::size_t(inserted)), chars = large.data();
  if (inserted) std::memcpy(chars, u->chars, std::size_t(inserted));
  vtextSelection* range = vtextCreateSelection(t);
  vtextSetSelectionRange(t, range, at, at + removed);
  i->state |= vtextviewInputINSERTING;
  vexGuard(
      [&] {
        if (inserted) vtextInsertText(t, range, chars, inserted);
        else if (removed) vtextDeleteSelection(t, range);
      },
      [&](vexHandler&) {
        i->state &= ~vtextviewInputINSERTING;
        vtextDestroySelection(t, range);
        _vexGenerate(nullptr, vexEnd);
      });
  i->state &= ~vtextviewInputINSERTING;
  vtextDestroySelection(t, range);
  vtextviewRecordUndo(v, vscribeLiteral("IM Insert"));
  i->compositionLength = std::max(i->compositionLength + inserted - removed, 0);
  moveConversion(i, at, removed, inserted);
  return true;
}

void updateComposition(_vtextviewInput* i, const vtextviewInputUpdate* u) {
  vtextview* v = i->view;
  if (has(i, vtextviewInputBUSY) || !v || !v->text || !v->selection) return;
  vtext* t = v->text;
  vtextSelection* s = v->selection;
  if (u->inserted > 0 && s->length > 0) {
    if (!has(i, vtextviewInputCOMPOSING)) {
      vtextDeleteSelection(t, s);
      vtextviewRecordUndo(v, vscribeLiteral("Delete"));
      i->compositionStart = s->start;
    } else {
      vtextSetSelectionRange(t, s, i->compositionStart, i->compositionStart);
    }
  }
  if (!has(i, vtextviewInputCOMPOSING) && !has(i, vtextviewInputBUSY)) i->compositionStart = s->start;
  if ((u->removed > 0 || u->inserted > 0) && !replace(i, v, u)) return;
  if (u->conversionStart >= 0) {
    i->conversionStart = i->compositionStart + u->conversionStart;
    i->conversionLength = std::clamp(u->conversionLength, 0, std::max(i->compositionLength - u->conversionStart, 0));
  }
  if (i->compositionLength > 0) i->state |= vtextviewInputCOMPOSING;
  else i->state &= ~vtextviewInputCOMPOSING;
  std::int32_t a = i->compositionStart, n = i->compositionLength;
  removeStyles(t);
  if (n > 0) guarded([&] { vtextApplyStyle(t, a, a + n, ctx.composition); });
  if (i->conversionLength > 0)
    guarded([&] { vtextApplyStyle(t, i->conversionStart, i->conversionStart + i->conversionLength, ctx.conversion); });
  // The caret stands where the platform's composition cursor is.
  std::int32_t caret = u->committed ? a + n : std::clamp(a + u->cursor, a, a + n);
  if (s->start != caret || s->length) vtextSetSelectionRange(t, s, caret, caret);
  vtextviewShowRange(v, a, n, 24);
  i->cursor = u->cursor;
  v->caretXAtUpdate = v->caret.x;
  if (u->committed) {
    i->state |= vtextviewInputBUSY;
    i->state &= ~vtextviewInputCOMPOSING;
    removeStyles(t);
    vinputNotify3(i);
    i->state &= ~vtextviewInputBUSY;
    i->compositionStart = s->start;
    i->compositionLength = i->conversionStart = i->conversionLength = 0;
  }
}

bool inWindow(vtextview* v) { return v->owner && (v->flags & vdialogItemOPEN); }

}  // namespace

_vtextviewInputClassRec* _vtextviewInputClass() {
  if (ctx.cls) return ctx.cls;
  auto* c = vclassSpawnOf<_vtextviewInputClassRec>(vinputGetClass());
  vclassSetName(c, vscribeLiteral("_vtextviewInputClass"));
  vclassSetInstanceSize(c, sizeof(_vtextviewInput));
  c->init = inputInit;
  c->reset = reset;
  c->updateComposition = [](vinput* i, const vinputUpdate* u) { updateComposition(static_cast<_vtextviewInput*>(i), u); };
  ctx.cls = c;
  return c;
}

vtextStyle* vtextviewGetCompositionStyle() { return ctx.composition; }
vtextStyle* vtextviewGetConversionStyle() { return ctx.conversion; }

void _vtextviewStartInput() {
  _vtextviewInputClass();
  if (!ctx.composition) {
    ctx.composition = vtextStyleCreate();
    vtextRulerSetBooleanAttr(ctx.composition, vnameInternLiteral("Underline"), 1);
    ctx.conversion = vtextStyleCreate();
    vtextRulerSetBooleanAttr(ctx.conversion, vnameInternLiteral("Invert"), 1);
  }
}

void _vtextviewEndInput() {
  if (ctx.composition) vtextStyleDestroy(ctx.composition);
  if (ctx.conversion) vtextStyleDestroy(ctx.conversion);
  ctx = InputContext{};
}

_vtextviewInput* vtextviewGetInput(vtextview* v) { return inputOf(v); }

void vtextviewCreateInput(vtextview* v) {
  if (v->inputContext) return;
  auto* i = static_cast<_vtextviewInput*>(vinstanceCreate(_vtextviewInputClass()));
  i->view = v;
  vinputSetOwner(i, v);
  v->inputContext = i;
}

void vtextviewDestroyInput(vtextview* v) {
  _vtextviewInput* i = inputOf(v);
  if (!i) return;
  v->inputContext = nullptr;
  vinputClose(i);
  vinstanceDestroy(i);
}

int vtextviewIsInputEnabled(vtextview* v) {
  _vtextviewInput* i = inputOf(v);
  return i && has(i, vtextviewInputENABLED);
}

void vtextviewSetInputEnabled(vtextview* v, int on) {
  vtextviewCreateInput(v);
  _vtextviewInput* i = inputOf(v);
  bool focused = v->owner && v->focused;
  if (!on && focused) vinputNotify2(i);
  if (on) i->state |= vtextviewInputENABLED;
  else i->state &= ~vtextviewInputENABLED;
  if (on && focused) vinputNotify1(i);
}

void vtextviewInputFocusIn(vtextview* v) {
  if (vtextviewIsInputEnabled(v)) vinputNotify1(inputOf(v));
}

void vtextviewInputFocusOut(vtextview* v) {
  if (vtextviewIsInputEnabled(v)) vinputNotify2(inputOf(v));
}

void vtextviewInputOpen(vtextview* v) {
  if (!vtextviewIsInputEnabled(v) || !v->owner) return;
  vinputOpen(inputOf(v));
  if (v->text) {
    vtextviewRepositionComposition(v);
    vtextviewSetInputArea(v);
  }
}

void vtextviewInputClose(vtextview* v) {
  if (_vtextviewInput* i = inputOf(v)) vinputClose(i);
}

void vtextviewInputBeforeChange(vtextview* v, std::int32_t position, std::int32_t change) {
  _vtextviewInput* i = inputOf(v);
  if (!i || !inWindow(v) || !has(i, vtextviewInputENABLED) || !v->text || has(i, vtextviewInputINSERTING)) return;
  std::int32_t a = i->compositionStart, b = a + i->compositionLength;
  if (has(i, vtextviewInputCOMPOSING)) {
    // A deletion ends at position; an insertion goes in at it.
    bool touches = change > 0 ? (position < a || position > b) : (position + change < b && position > a);
    if (touches) vtextviewCancelComposition(v);
    return;
  }
  if (!has(i, vtextviewInputBUSY) && position <= a) i->compositionStart = std::max(a + change, 0);
}

void vtextviewCancelComposition(vtextview* v) {
  _vtextviewInput* i = inputOf(v);
  if (!i || !has(i, vtextviewInputENABLED) || !has(i, vtextviewInputCOMPOSING)) return;
  i->state |= vtextviewInputBUSY;
  i->state &= ~vtextviewInputCOMPOSING;
  if (v->text) removeStyles(v->text);
  vinputNotify3(i);
  i->state &= ~vtextviewInputBUSY;
  i->compositionLength = i->conversionStart = i->conversionLength = 0;
}

void vtextviewRepositionComposition(vtextview* v) {
  _vtextviewInput* i = inputOf(v);
  if (!i || !inWindow(v) || !v->selection || !v->text || !has(i, vtextviewInputENABLED)) return;
  if (!has(i, vtextviewInputBUSY) && !has(i, vtextviewInputCOMPOSING) && i->compositionStart != v->selection->start)
    i->compositionStart = v->selection->start;
  std::int32_t line = vtextGetLineOfPosition(v->text, v->selection->start);
  vtextLineInfo info{};
  vtextGetLineInfo(v->text, line, &info);
  const vrect a = *vtextviewGetTextArea(v);
  std::int32_t top = a.y + a.height - (line >= v->scrollY ? vtextGetLinesHeight(v->text, v->scrollY, line) : 0);
  std::int32_t baseline = top - (info.height - info.descent);
  std::int32_t x = a.x + vtextGetPositionColumnValue(v->text, v->selection->start) - v->scrollX;
  // The item's coordinates are the window's own (both from the bottom left).
  vinputSetArea(i, x, baseline, info.height - info.descent, info.height);
}

void vtextviewSetInputArea(vtextview* v) {
  _vtextviewInput* i = inputOf(v);
  if (!i) return;
  vrect a{};
  vtextviewClassOf(v)->inputRect(v, &a);
  vinputSetSecondArea(i, a.x, a.y, a.width, a.height);
}

void vtextviewShowRange(vtextview* v, std::int32_t start, std::int32_t length, int flags) {
  if (!v->text || !v->selection) return;
  vtextSelection range{};
  vtextInitTempSelection(v->text, v->selection, &range);
  range.start = std::clamp(start, 0, v->text->length);
  range.end = std::clamp(start + std::max(length, 0), range.start, v->text->length);
  range.length = range.end - range.start;
  range.startX = range.endX = vtextX_UNKNOWN;
  vtextSelection* shown = v->selection;
  v->selection = &range;
  vtextviewClassOf(v)->showSelection(v, flags);
  v->selection = shown;
  vtextviewClassOf(v)->placeCaret(v);
}

bool _vtextviewComposing(const vtextview* v) {
  auto* i = static_cast<const _vtextviewInput*>(static_cast<const vobject*>(v->inputContext));
  return i && has(i, vtextviewInputCOMPOSING);
}
