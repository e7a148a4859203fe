// Undo records of text changes: the observer class that turns insertions and
// deletions into records on the text's pending change list, and the insert,
// delete and typing records that undo and redo them. Consecutive typing at
// the caret coalesces into one typing record.
#include <cstring>
#include <string>

#include "fw/core/mem.h"
#include "fw/data/undo.h"
#include "fw/text/selection.h"
#include "fw/widgets/textview/textview_internal.h"

namespace {

// A byte buffer grown 10 bytes at a time.
struct Grown {
  char* base;
  std::int32_t used, limit;
  void push(char c) {
    if (used == limit) {
      limit += 10;
      base = static_cast<char*>(vmemRealloc(base, std::size_t(limit)));
    }
    base[used++] = c;
  }
  void free() {
    if (base) vmemFree(base);
    *this = {};
  }
};

struct RangeRecord : vundoAction {
  vtext* text;
  char* saved;
  std::int32_t start, end, length;
};

struct TypingRecord : vundoAction {
  vtext* text;
  std::int32_t first, origin, direction;
  std::int32_t runStart, runEnd, runLength;
  Grown before, after;
  char* runCopy;
};

// A case command's range and what it held before; undone by putting the
// characters back in place, redone by running the command again.
struct CaseRecord : vundoAction {
  vtextview* view;
  vtext* text;
  std::int32_t start, end;
  int selector;
  char* saved;
};

struct Classes {
  vundoActionClassRec* insert;
  vundoActionClassRec* remove;
  vundoActionClassRec* typing;
  vundoActionClassRec* caseChange;
  vtextObserverClassRec* observer;
};
Classes classes{};

// The process-wide typing tracker.
TypingRecord* current = nullptr;
std::int32_t expected = -1;
void resetTracker() {
  current = nullptr;
  expected = -1;
}

char* copyRange(vtext* t, std::int32_t start, std::int32_t end) {
  auto* buffer = static_cast<char*>(vmemAlloc(std::size_t(end - start) + 1));
  vtextGetChars(t, start, end, buffer, end - start);
  return buffer;
}

void appendPending(vtext* t, vundoAction* record) {
  vundoActionPerform(record);  // new -> done: the change has happened
  if (!t->pendingChanges)
    t->pendingChanges = reinterpret_cast<vobject*>(static_cast<vinstance*>(vundoActionListCreate(nullptr)));
  vundoActionListAppend(static_cast<vundoActionList*>(static_cast<vinstance*>(t->pendingChanges)), record);
}

// The record's own edits are not recorded: the primary observer goes for the work.
template <class F>
void unrecorded(vtext* t, F work) {
  vclass* primary = vtextGetObserverClass(t);
  vtextSetObserverClass(t, nullptr);
  vtextSelection* s = vtextCreateSelection(t);
  vexGuard([&] { work(s); },
           [&](vexHandler&) {
             vtextDestroySelection(t, s);
             vtextSetObserverClass(t, primary);
             resetTracker();
             _vexGenerate(nullptr, vexEnd);
           });
  vtextDestroySelection(t, s);
  vtextSetObserverClass(t, primary);
  resetTracker();
}

void insertAt(vtext* t, vtextSelection* s, std::int32_t at, const char* chars, std::int32_t n) {
  vtextSetSelectionRange(t, s, at, at);
  if (n > 0) vtextInsertText(t, s, chars, n);
}

// Deletes [start, end) and hands back its characters.
char* cut(vtext* t, vtextSelection* s, std::int32_t start, std::int32_t end) {
  char* saved = copyRange(t, start, end);
  vtextSetSelectionRange(t, s, start, end);
  if (end > start) vtextDeleteSelection(t, s);
  return saved;
}

void performRange(vundoAction* self, bool insertion) {
  auto* r = static_cast<RangeRecord*>(self);
  std::uint8_t state = r->state;
  if (state == vundoDONE || state == vundoUNDONE) {
    // An insertion is undone by deleting it, a deletion redone so.
    bool removing = (state == vundoDONE) == insertion;
    unrecorded(r->text, [&](vtextSelection* s) {
      if (removing) {
        r->saved = cut(r->text, s, r->start, r->end);
      } else {
        insertAt(r->text, s, r->start, r->saved, r->end - r->start);
        vmemFree(r->saved);
        r->saved = nullptr;
      }
    });
  }
  vundoGetActionClass()->perform(self);
}

void performTyping(vundoAction* self) {
  auto* r = static_cast<TypingRecord*>(self);
  std::uint8_t state = r->state;
  if (state == vundoDONE) {
    unrecorded(r->text, [&](vtextSelection* s) {
      // The older characters come back in the text's order, then the run goes.
      std::string back(r->before.base ? r->before.base : "", std::size_t(r->before.used));
      back.assign(back.rbegin(), back.rend());
      back.append(r->after.base ? r->after.base : "", std::size_t(r->after.used));
      insertAt(r->text, s, r->runStart, back.data(), std::int32_t(back.size()));
      std::int32_t n = std::int32_t(back.size());
      r->runStart += n;
      r->runEnd += n;
      r->runLength = r->runEnd - r->runStart;
      r->runCopy = cut(r->text, s, r->runStart, r->runEnd);
    });
  } else if (state == vundoUNDONE) {
    unrecorded(r->text, [&](vtextSelection* s) {
      r->runStart -= r->before.used + r->after.used;
      r->runEnd = r->origin + r->after.used;
      vtextSetSelectionRange(r->text, s, r->runStart, r->runEnd);
      if (r->runLength > 0) vtextInsertText(r->text, s, r->runCopy, r->runLength);
      else if (s->length > 0) vtextDeleteSelection(r->text, s);
      vmemFree(r->runCopy);
      r->runCopy = nullptr;
      r->runEnd = s->end;
    });
  }
  vundoGetActionClass()->perform(self);
}

void performCase(vundoAction* self) {
  auto* r = static_cast<CaseRecord*>(self);
  std::uint8_t state = r->state;
  if ((state == vundoDONE && r->saved) || state == vundoUNDONE) {
    vtextview* v = r->view;
    vtextSelection* shown = v->selection;
    unrecorded(r->text, [&](vtextSelection* s) {
      vtextSetSelectionRange(r->text, s, r->start, r->end);
      // The case change works on the view's selection: the record's range.
      v->selection = s;
      if (state == vundoDONE) {
        _vtextviewChangeCase(v, r->selector, r->saved);
        vmemFree(r->saved);
        r->saved = nullptr;
      } else {
        r->saved = copyRange(r->text, r->start, r->end);
        _vtextviewChangeCase(v, r->selector, nullptr);
      }
      v->selection = shown;
    });
    if (shown) vtextSetSelectionRange(r->text, shown, r->start, r->end);
  }
  vundoGetActionClass()->perform(self);
}

void destroyCase(vinstance* self) {
  auto* r = static_cast<CaseRecord*>(self);
  if (r->saved) vmemFree(r->saved);
  r->saved = nullptr;
  vundoGetActionClass()->destroy(self);
}

vundoActionClassRec* makeRecordClass(const char* name, std::size_t size, void (*perform)(vundoAction*),
                                     void (*destroy)(vinstance*)) {
  auto* c = vclassSpawnOf<vundoActionClassRec>(vundoGetActionClass());
  vclassSetName(c, vscribeLiteral(name));
  vclassSetInstanceSize(c, size);
  c->perform = perform;
  c->destroy = destroy;
  return c;
}

void destroyRange(vinstance* self) {
  auto* r = static_cast<RangeRecord*>(self);
  if (r->saved) vmemFree(r->saved);
  r->saved = nullptr;
  vundoGetActionClass()->destroy(self);
}

void destroyTyping(vinstance* self) {
  auto* r = static_cast<TypingRecord*>(self);
  if (current == r) resetTracker();
  r->before.free();
  r->after.free();
  if (r->runCopy) vmemFree(r->runCopy);
  r->runCopy = nullptr;
  vundoGetActionClass()->destroy(self);
}

RangeRecord* newRange(vundoActionClassRec* c, vtext* t, std::int32_t start, std::int32_t end) {
  auto* r = static_cast<RangeRecord*>(vinstanceCreate(c));
  r->text = t;
  r->saved = nullptr;
  r->start = start;
  r->end = end;
  r->length = end - start;
  return r;
}

TypingRecord* openTyping(vtext* t, std::int32_t p, std::int32_t direction) {
  auto* r = static_cast<TypingRecord*>(vinstanceCreate(classes.typing));
  r->text = t;
  r->first = r->origin = r->runStart = p;
  r->direction = direction;
  r->runEnd = p + direction;
  r->runLength = 0;
  r->before = r->after = {};
  r->runCopy = nullptr;
  current = r;
  appendPending(t, r);
  return r;
}

vtext* textOf(vinstance* target) { return static_cast<vtextObserver*>(target)->text; }

void inserted(vinstance* target, std::int32_t p, std::int32_t n) {
  vtext* t = textOf(target);
  if (n == 1) {
    if (current && current->text == t && (p == expected || expected == -1)) current->runEnd = p + 1;
    else openTyping(t, p, 1);
    expected = p + 1;
    return;
  }
  resetTracker();
  appendPending(t, newRange(classes.insert, t, p, p + n));
}

void deleting(vinstance* target, std::int32_t p, std::int32_t c) {
  vtext* t = textOf(target);
  if (c == -1) {
    std::int32_t e = expected;
    bool extends = current && current->text == t && (e == -1 || p == e || p == e + 1);
    TypingRecord* r = extends ? current : openTyping(t, p, -1);
    char gone = *vtextGetCharPointer(t, p - 1);
    if (extends && e != -1 && p == e + 1) {
      r->after.push(gone);  // a forward delete at the caret
    } else if (r->runStart == p) {
      r->before.push(gone);
      r->runStart = p - 1;
    }
    expected = r->runEnd = p - 1;
    return;
  }
  resetTracker();
  RangeRecord* r = newRange(classes.remove, t, p + c, p);
  r->saved = copyRange(t, p + c, p);
  appendPending(t, r);
}

}  // namespace

vtextObserverClassRec* vtextUndoObserverClass() {
  if (classes.observer) return classes.observer;
  classes.insert = makeRecordClass("vtextInsertRecord", sizeof(RangeRecord), [](vundoAction* a) { performRange(a, true); },
                                   destroyRange);
  classes.remove = makeRecordClass("vtextDeleteRecord", sizeof(RangeRecord), [](vundoAction* a) { performRange(a, false); },
                                   destroyRange);
  classes.typing = makeRecordClass("vtextTypingRecord", sizeof(TypingRecord), performTyping, destroyTyping);
  classes.caseChange = makeRecordClass("vtextCaseRecord", sizeof(CaseRecord), performCase, destroyCase);
  auto* o = vclassSpawnOf<vtextObserverClassRec>(vtextObserverGetDefaultClass());
  vclassSetName(o, vscribeLiteral("vtextUndoObserver"));
  o->inserted = inserted;
  o->deleting = deleting;
  classes.observer = o;
  return o;
}

void _vtextviewRecordCaseChange(vtextview* v, int selector, std::int32_t start, std::int32_t end, char* saved) {
  vtextUndoObserverClass();
  auto* r = static_cast<CaseRecord*>(vinstanceCreate(classes.caseChange));
  r->view = v;
  r->text = v->text;
  r->start = start;
  r->end = end;
  r->selector = selector;
  r->saved = saved;
  resetTracker();
  appendPending(v->text, r);
}
