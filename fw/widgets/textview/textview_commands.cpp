// The text view's commands: the selector and synthetic command tables, the
// command space and key map of a context, key presses and typing, the
// selectors the view carries out, undo hand-over and the two clipboards.
#include <algorithm>
#include <cstring>

#include "fw/core/attributed.h"
#include "fw/core/command.h"
#include "fw/data/num.h"
#include "fw/data/scrap.h"
#include "fw/data/undo.h"
#include "fw/gui/window/window_event.h"
#include "fw/text/styleruns.h"
#include "fw/widgets/dialog/item_internal.h"
#include "fw/widgets/dialog/itemlist.h"
#include "fw/widgets/textview/textview_internal.h"
#include "fw/widgets/textview/viewinput.h"

namespace {

vdict* commandDict = nullptr;  // every context's "Command" dictionary, never owned by a space

const vcommandTableRow kSelectors[] = {
    {"Next Word", 29},         {"Previous Word", 30},
    {"Start of Line", 31},     {"End of Line", 32},
    {"Top of View", 33},       {"Bottom of View", 34},
    {"Select Range", 35},      {"Select Block", 66},
    {"Select All", 39},        {"Goto Line", 36},
    {"Apply Style", 37},       {"Apply Ruler", 38},
    {"Transpose", 40},         {"Display Selection", 41},
    {"Delete Line", 42},       {"Delete to End of Line", 43},
    {"Delete Character", 44},  {"New Line", 45},
    {"Scroll Up Line", 46},    {"Scroll Down Line", 47},
    {"Backspace", 48},         {"Rectangular Edit", 49},
    {"Drag Drop Edit", 64},    {"Show Invisibles", 57},
    {"Show Key Code", 58},     {"Show Hidden Text", 59},
    {"Overstrike Edit", 50},   {"Auto Indent", 51},
    {"Shift", 52},             {"Upper Case", 53},
    {"Lower Case", 54},        {"Capitalize", 55},
    {"Toggle Case", 56},       {"Sort Lines", 60},
    {"Return", 61},            {"Tab", 62},
    {"Space", 63},             {"Duplicate", 65},
    {"Extend Select", 67},
};
static_assert(std::size(kSelectors) == 39);

// The first pair's value is a name, the second (when keyed) a plain integer.
struct Synthetic {
  const char* name;
  const char* issues;
  const char* key;
  const char* value;
  const char* key2;
  std::intptr_t value2;
};
const Synthetic kSynthetic[] = {
    {"Shift Left", "Shift", "Direction", "Left", nullptr, 0},
    {"Shift Right", "Shift", "Direction", "Right", nullptr, 0},
    {"Shift Left 1", "Shift", "Direction", "Left", "Amount", 1},
    {"Shift Right 1", "Shift", "Direction", "Right", "Amount", 1},
    {"Align", "Shift", "Direction", "Align", nullptr, 0},
    {"Append Copy", "Copy", "Append", "Append", nullptr, 0},
    {"Append Cut", "Cut", "Append", "Append", nullptr, 0},
    {"Select Next Word", "Next Word", "Select", "Select", nullptr, 0},
    {"Select Previous Word", "Previous Word", "Select", "Select", nullptr, 0},
    {"Extend Select Next Word", "Next Word", "Select", "Extend", nullptr, 0},
    {"Extend Select Previous Word", "Previous Word", "Select", "Extend", nullptr, 0},
    {"Transpose Words", "Transpose", "Type", "Words", nullptr, 0},
    {"Transpose Lines", "Transpose", "Type", "Lines", nullptr, 0},
    {"Duplicate Block", "Duplicate", "Type", "Lines", nullptr, 0},
    {"Display Selection at Top", "Display Selection", "Direction", "Top", nullptr, 0},
    {"Display Selection at Bottom", "Display Selection", "Direction", "Bottom", nullptr, 0},
    {"Display Selection at Center", "Display Selection", "Direction", "Center", nullptr, 0},
    {"Extend Select Left", "Extend Select", "Direction", "Left", nullptr, 0},
    {"Extend Select Right", "Extend Select", "Direction", "Right", nullptr, 0},
    {"Extend Select Up", "Extend Select", "Direction", "Up", nullptr, 0},
    {"Extend Select Down", "Extend Select", "Direction", "Down", nullptr, 0},
    {"Extend Select Start of Line", "Start of Line", "Select", "Extend", nullptr, 0},
    {"Extend Select End of Line", "End of Line", "Select", "Extend", nullptr, 0},
};
static_assert(std::size(kSynthetic) == 23);

vtextview* asView(vinstance* o) { return static_cast<vtextview*>(o); }
vtextviewClassRec* cls(vtextview* v) { return vtextviewClassOf(v); }
vdialogItemClassRec* super() { return vdialogItemGetDefaultClass(); }

// ---- positions

char charAt(vtext* t, std::int32_t p) { return *vtextGetCharPointer(t, p); }

bool hiddenAt(vtext* t, std::int32_t p) {
  if (p < 0 || p >= t->length || (t->mode & vtextMODE_SHOW_HIDDEN)) return false;
  if (!t->attachments || t->attachments->styleTagCount == 0) return false;
  vtextStyle* s = vtextGetStyleAt(t, p);
  if (!s) return false;
  vname hidden = N("Hidden");
  return vtextRulerGetBooleanAttr(s, hidden) == 1 || vtextRulerGetAttr(s, hidden) == 1;
}
std::int32_t backOverHidden(vtext* t, std::int32_t p) {
  while (p > 0 && hiddenAt(t, p - 1)) --p;
  return p;
}
std::int32_t forwardOverHidden(vtext* t, std::int32_t p) {
  while (p < t->length && hiddenAt(t, p)) ++p;
  return p;
}
bool isWord(vtext* t, std::int32_t p) { return vtextClassOf(t)->isWordChar(t, vtextGetCharPointer(t, p)) != 0; }

std::int32_t textX(vtextview* v, std::int32_t p) { return vtextGetPositionColumnValue(v->text, p); }
std::int32_t lineOf(vtextview* v, std::int32_t p) { return vtextGetLineOfPosition(v->text, p); }

// The last line a selection covers: one ending at a line start leaves that line out.
std::int32_t lastLineOf(vtextview* v) {
  vtextSelection* s = v->selection;
  std::int32_t last = lineOf(v, s->end);
  if (s->length > 0 && last > 1 && vtextGetLineStart(v->text, last) == s->end) --last;
  return last;
}

bool caretRowVisible(vtextview* v) {
  std::int32_t line = lineOf(v, v->selection->start);
  return line >= v->scrollY && line < v->scrollY + _vtextviewVisibleLines(v);
}

void setCaret(vtextview* v, std::int32_t p) { vtextSetSelectionRange(v->text, v->selection, p, p); }

// Lines that fit in the text area's height from the top line downward, or
// above it upward.
std::int32_t linesInPage(vtextview* v, bool up) {
  std::int32_t height = vtextviewGetTextArea(v)->height;
  if (!up) return std::max<std::int32_t>(vtextCountLinesInHeight(v->text, height, v->scrollY), 1);
  std::int32_t k = 0, used = 0;
  for (std::int32_t line = v->scrollY - 1; line >= 1; --line) {
    vtextLineInfo info{};
    vtextGetLineInfo(v->text, line, &info);
    if (used + info.height > height) break;
    used += info.height;
    ++k;
  }
  return std::max<std::int32_t>(k, 1);
}

void page(vtextview* v, int direction) {
  std::int32_t width = vtextviewGetTextArea(v)->width;
  switch (direction) {
    case 0: _vtextviewScrollPastLocks(v, v->scrollY, std::max(0, v->scrollX - width)); break;
    case 2: _vtextviewScrollPastLocks(v, v->scrollY, std::min(_vtextviewMaxScrollX(v), v->scrollX + width)); break;
    case 1: _vtextviewScrollPastLocks(v, v->scrollY - linesInPage(v, true), v->scrollX); break;
    default: _vtextviewScrollPastLocks(v, v->scrollY + linesInPage(v, false), v->scrollX); break;
  }
  cls(v)->placeCaret(v);
}

void moveCaret(vtextview* v, int direction) {
  vtext* t = v->text;
  vtextSelection* s = v->selection;
  if (!t || !s) return;
  std::int32_t p = 0;
  bool vertical = direction == 1 || direction == 3;
  if (direction == 0) {
    if (s->start <= 0) return;
    p = backOverHidden(t, s->start - 1);
  } else if (direction == 2) {
    p = forwardOverHidden(t, s->end) + 1;
    if (p > t->length) return;
    p = forwardOverHidden(t, p);
  } else {
    std::int32_t target = direction == 1 ? lineOf(v, s->start) - 1 : lastLineOf(v) + 1;
    if (target < 1 || target > t->lineCount) return;
    // The goal survives vertical moves; anything else that moved the caret resets it.
    if (s->length > 0)
      v->goalX = std::int16_t(textX(v, direction == 1 ? s->start : s->end));
    else if (v->goalPosition != s->start)
      v->goalX = std::int16_t(textX(v, s->start));
    std::int32_t index = 0;
    p = vtextLineAndXToPosition(t, target, v->goalX, &index);
    vtextLineInfo info{};
    vtextGetLineInfo(t, target, &info);
    if (target < t->lineCount && info.length > 0 && index >= info.length) p = info.start + info.length - 1;
    p = backOverHidden(t, p);
  }
  setCaret(v, p);
  cls(v)->showSelection(v, caretRowVisible(v) ? 8 : 24);
  cls(v)->placeCaret(v);
  if (!vertical) v->goalX = std::int16_t(textX(v, s->start));
  v->goalPosition = s->start;
}

// The end of a line before its line end, or the text's end on the last line.
std::int32_t lineEndOf(vtextview* v, std::int32_t line) {
  if (line >= v->text->lineCount) return v->text->length;
  vtextLineInfo info{};
  vtextGetLineInfo(v->text, line, &info);
  std::int32_t p = info.start + info.length;
  if (info.length > 0 && (info.chars[info.length - 1] == '\n' || info.chars[info.length - 1] == '\r')) --p;
  return backOverHidden(v->text, p);
}

void moveByLine(vtextview* v, int direction) {
  vtext* t = v->text;
  vtextSelection* s = v->selection;
  if (!t || !s) return;
  bool empty = s->length == 0;
  std::int32_t p = 0;
  switch (direction) {
    case 0:
      p = vtextGetLineStart(t, lineOf(v, s->start));
      if (empty && s->start == p) return page(v, 0);
      break;
    case 2:
      p = lineEndOf(v, lastLineOf(v));
      if (empty && s->end == p) return page(v, 2);
      break;
    case 1:
      if (lineOf(v, s->start) == 1) return;
      if (lineOf(v, s->start) == v->scrollY) page(v, 1);
      p = vtextGetLineStart(t, v->scrollY);
      break;
    default: {
      if (lineOf(v, s->start) >= t->lineCount) return;
      // The last line shown whole.
      auto bottom = [&] {
        std::int32_t n = vtextCountLinesInHeight(t, vtextviewGetTextArea(v)->height, v->scrollY);
        return std::min<std::int32_t>(v->scrollY + std::max<std::int32_t>(n, 1) - 1, t->lineCount);
      };
      if (lineOf(v, s->start) == bottom()) page(v, 3);
      p = vtextGetLineStart(t, bottom());
      break;
    }
  }
  setCaret(v, p);
  v->goalX = std::int16_t(textX(v, s->start));
  v->goalPosition = s->start;
  cls(v)->showSelection(v, 24);
}

// Runs the motion with the selection in extend mode when asked.
template <class F>
void withMode(vtextview* v, bool extend, F f) {
  std::uint8_t old = v->selection->mode;
  if (extend) vtextSetSelectionModeQuiet(v->text, v->selection, 3);
  f();
  if (extend) vtextSetSelectionModeQuiet(v->text, v->selection, old);
}

void wordMotion(vtextview* v, bool forward, bool select, bool extend) {
  vtext* t = v->text;
  vtextSelection* s = v->selection;
  std::int32_t len = t->length, p = -1;
  if (forward) {
    std::int32_t q = extend ? s->end : s->start;
    while (q < len && (isWord(t, q) || hiddenAt(t, q))) ++q;
    while (q < len && (!isWord(t, q) || hiddenAt(t, q))) ++q;
    if (q >= len) return;
    p = q;
  } else {
    std::int32_t q = s->start - 1;
    while (q >= 0 && (!isWord(t, q) || hiddenAt(t, q))) --q;
    while (q >= 0 && (isWord(t, q) || hiddenAt(t, q))) --q;
    p = q + 1;
  }
  std::int32_t end = p;
  if (select)
    while (end < len && charAt(t, end) != '\n' && (hiddenAt(t, end) || isWord(t, end))) ++end;
  withMode(v, extend, [&] { vtextSetSelectionRange(t, s, p, end); });
  cls(v)->showSelection(v, 24);
}

// "Display Selection": the ScrollTo bits for one show.
void displaySelection(vtextview* v, vdict* args) {
  if (!vdictHas(args, vname_Direction)) return cls(v)->showSelection(v, 24);
  vname d = static_cast<vname>(vdictGet(args, vname_Direction));
  std::uint32_t to = d == vname_Top ? 1 : d == vname_Bottom ? 2 : 0;
  std::uint32_t saved = v->viewFlags;
  v->viewFlags = (v->viewFlags & ~3u) | to;
  cls(v)->showSelection(v, 26);
  v->viewFlags = (v->viewFlags & ~3u) | (saved & 3u);
}

void deleteSelection(vtextview* v, const char* undoName) {
  if (v->selection->length == 0) return;
  vtextDeleteSelection(v->text, v->selection);
  vtextviewRecordUndo(v, vscribeLiteral(undoName));
}

void copyToClipboard(vtextview* v, vclipboard* clipboard) {
  vtextSelection* s = v->selection;
  if (s->length <= 0) return;
  auto* buffer = static_cast<char*>(vmemAlloc(std::size_t(s->length) + 1));
  std::int32_t n = vtextGetChars(v->text, s->start, s->end, buffer, s->length + 1);
  buffer[std::clamp(n, 0, s->length)] = '\0';
  vexGuard([&] { vclipboardSetContents(clipboard, vscrapCreateNativeString(buffer)); },
           [&](vexHandler&) {
             vmemFree(buffer);
             _vexGenerate(nullptr, vexEnd);
           });
  vmemFree(buffer);
}

void requestPaste(vtextview* v, vclipboard* clipboard) {
  clipboard->spare = v;
  vclipboardRequest(clipboard);
}

// A scroll bar holding the keyboard: the part after or before the current
// one among the view and its vertical and horizontal bars.
int moveFocus(vtextview* v, vdict* args) {
  vdialogItem* parts[3] = {v, v->vertBar, v->horzBar};
  int n = 0, at = 0;
  vdialogItem* present[3];
  for (vdialogItem* p : parts)
    if (p) {
      if (p == v->focusPart) at = n;
      present[n++] = p;
    }
  int step = vdictGetInteger(args, vname_Direction) > 0 ? 1 : n - 1;
  vdialogItem* next = present[(at + step) % n];
  if (next == v->focusPart) return next != v;
  vdialogItem* old = v->focusPart;
  v->focusPart = next;
  if (old != v) vdialogUnfocusItem(old);
  if (next != v) vdialogFocusItem(next);
  return next != v;
}

void toggleMode(vtextview* v, std::uint8_t bit) {
  v->text->mode = std::uint8_t(v->text->mode ^ bit);
  if (bit == vtextMODE_SHOW_HIDDEN) vtextRecalculate(v->text);
}
void toggleView(vtextview* v, std::uint8_t view) { vtextSetView(v->text, v->text->view == view ? 0 : view); }

// Callers may issue without arguments: an empty dictionary stands in.
struct Arguments {
  vdict own;
  vdict* args;
  explicit Arguments(vdict* given) : args(given) {
    if (!args) vdictInit(&own, vdictHashName), args = &own;
  }
  ~Arguments() {
    if (args == &own) vdictFinish(&own);
  }
};

int issueSelector(vobject* self, int selector, vdict* given) {
  vtextview* v = asView(self);
  if (!v->text || !v->selection) return 0;
  // While a composition is shown, commands would edit under it.
  if (vtextviewIsInputEnabled(v) && _vtextviewComposing(v)) return 1;
  Arguments holder(given);
  vdict* args = holder.args;
  if (v->focusPart && v->focusPart != v && selector != 4 &&
      vobjectAttributedOf(v->focusPart)->issueSelector(v->focusPart, selector, args))
    return 1;
  vtext* t = v->text;
  vtextSelection* s = v->selection;
  vname select = static_cast<vname>(vdictGet(args, vname_Select));
  bool extend = select == N("Extend");
  switch (selector) {
    case 3:
      if (v->owner) vdialogItemListSetFocusItem(v->owner, v);
      return 1;
    case 4: return moveFocus(v, args);
    case 8: case 9:
      setCaret(v, selector == 8 ? 0 : t->length);
      cls(v)->showSelection(v, 24);
      return 1;
    case 10: case 11: case 12: case 13: {
      static const int kDirection[] = {0, 2, 1, 3};
      cls(v)->moveCaret(v, kDirection[selector - 10]);
      return 1;
    }
    case 14: case 15: case 16: case 17: {
      static const int kDirection[] = {0, 2, 1, 3};
      page(v, kDirection[selector - 14]);
      return 1;
    }
    case 21:
      copyToClipboard(v, vtextviewGetGlobalClipboard());
      deleteSelection(v, "Cut");
      return 1;
    case 22: copyToClipboard(v, vtextviewGetGlobalClipboard()); return 1;
    case 23: requestPaste(v, vtextviewGetGlobalClipboard()); return 1;
    case 24: deleteSelection(v, "Clear"); return 1;
    case 29: case 30: wordMotion(v, selector == 29, select != nullptr && !extend, extend); return 1;
    case 31: case 32: withMode(v, extend, [&] { cls(v)->moveByLine(v, selector == 31 ? 0 : 2); }); return 1;
    case 33: case 34: cls(v)->moveByLine(v, selector == 33 ? 1 : 3); return 1;
    case 35: {
      std::int32_t a = vdictGetInteger(args, N("Start")), b = vdictGetInteger(args, N("End"));
      if (a != std::int32_t(0x80000000) && b != std::int32_t(0x80000000)) {
        vtextSetSelectionRange(t, s, std::clamp(a, 0, t->length), std::clamp(b, 0, t->length));
        cls(v)->showSelection(v, 24);
      }
      return 1;
    }
    case 36: {
      std::int32_t line = std::int32_t(0x80000000);
      if (const void* text = vdictGet(args, N("Linetext"))) {
        vexTry([&] { line = std::int32_t(vnumParseInteger(static_cast<const char*>(text), vnumNUL_TERMINATED, nullptr)); });
      } else {
        line = vdictGetInteger(args, N("Linenumber"));
      }
      if (line == std::int32_t(0x80000000)) return 1;
      vtextSelectLines(t, s, std::clamp(line, 1, std::max(t->lineCount, 1)), std::clamp(line, 1, std::max(t->lineCount, 1)), 1);
      displaySelection(v, args);
      return 1;
    }
    case 37: case 38: return 1;
    case 39: vtextSetSelectionRange(t, s, 0, t->length); return 1;
    case 41: displaySelection(v, args); return 1;
    case 44:
      if (s->length == 0 && s->start >= t->length) return 1;
      vtextviewTypeChar(v, 127);
      return 1;
    case 45:
      setCaret(v, lineEndOf(v, lineOf(v, s->start)));
      vtextviewTypeChar(v, '\n');
      return super()->issueSelector(self, selector, args);
    case 46: case 47: _vtextviewScrollPastLocks(v, v->scrollY + (selector == 46 ? -1 : 1), v->scrollX); return 1;
    case 48: vtextviewTypeChar(v, 8); return 1;
    case 49: vtextSetSelectionMode(t, s, s->mode == 1 ? 0 : 1); return 1;
    case 50: toggleMode(v, vtextMODE_OVERWRITE); return 1;
    case 51: toggleMode(v, vtextMODE_AUTO_INDENT); return 1;
    case 57: toggleView(v, vtextVIEW_INVISIBLES); return 1;
    case 58: toggleView(v, vtextVIEW_HEX); return 1;
    case 59: toggleMode(v, vtextMODE_SHOW_HIDDEN); return 1;
    case 61: vtextviewTypeChar(v, '\n'); return 1;
    case 62: vtextviewTypeChar(v, '\t'); return 1;
    case 63: vtextviewTypeChar(v, ' '); return 1;
    case 64: v->textViewFlags ^= vtextviewDRAG_EDIT; return 1;
    case 66:
      vtextSelectLines(t, s, -1, -1, 1);
      cls(v)->showSelection(v, 24);
      return 1;
    case 67: {
      vname d = static_cast<vname>(vdictGet(args, vname_Direction));
      int direction = d == vname_Up ? 1 : d == vname_Down ? 3 : d == vname_Left ? 0 : 2;
      withMode(v, true, [&] { cls(v)->moveCaret(v, direction); });
      return 1;
    }
    default:
      if (_vtextviewIssueEdit(v, selector, args) == 1) return 1;
      return super()->issueSelector(self, selector, args);
  }
}

int querySelector(vobject* self, int selector, vdict* given) {
  vtextview* v = asView(self);
  if (!v->text || !v->selection) return 0;
  Arguments holder(given);
  vdict* args = holder.args;
  int on = -1;
  switch (selector) {
    case 49: on = v->selection->mode == 1; break;
    case 50: on = (v->text->mode & vtextMODE_OVERWRITE) != 0; break;
    case 51: on = (v->text->mode & vtextMODE_AUTO_INDENT) != 0; break;
    case 57: on = v->text->view == vtextVIEW_INVISIBLES; break;
    case 58: on = v->text->view == vtextVIEW_HEX; break;
    case 59: on = (v->text->mode & vtextMODE_SHOW_HIDDEN) != 0; break;
    case 64: on = (v->textViewFlags & vtextviewDRAG_EDIT) != 0; break;
    default: break;
  }
  if (on >= 0) vdictStore(args, vname_Toggle, on ? vname_On : vname_Off);
  return super()->querySelector(self, selector, args);
}

// ---- keys

// The command of a key: the item's own map, the class's, the event's binding.
vname keyCommand(vtextview* v, vevent* e) {
  const void* k = reinterpret_cast<const void*>(std::uintptr_t(veventGetKeyValue(e)) + 1);
  vname tag = nullptr;
  if (v->flags & vdialogItemOPEN) tag = static_cast<vname>(vdictGet(vdialogGetItemKeyMap(v), k));
  if (!tag) tag = static_cast<vname>(vdictGet(_vtextviewModule()->keyMap, k));
  if (!tag) tag = veventGetBinding(e);
  return tag;
}

int issueKey(vtextview* v, vevent* e) {
  vname tag = keyCommand(v, e);
  return tag ? _vdialogItemIssueKeyTag(v, tag, e) : 0;
}

int keyDown(vdialogItem* item, vevent* e) {
  vtextview* v = asView(item);
  vtextviewModule* m = _vtextviewModule();
  if (!v->text || m->tracking) return 0;
  m->currentEvent = e;
  int handled = 0;
  vexGuard(
      [&] {
        handled = issueKey(v, e);
        if (!handled && v->selection) {
          int c = veventGetCharacter(e);
          bool control = (veventGetModifiers(e) & (veventMOD_CONTROL | veventMOD_COMMAND)) != 0;
          if (control ? c >= 32 : c != 0) {
            vtextviewTypeChar(v, c);
            handled = 1;
          }
        }
      },
      [&](vexHandler&) {
        m->currentEvent = nullptr;
        _vexGenerate(nullptr, vexEnd);
      });
  m->currentEvent = nullptr;
  return handled;
}

// ---- undo and the clipboards

struct UndoAction : vundoAction {
  vtextview* view;
  vundoAction* changes;
};
vundoActionClassRec* undoSuper() { return vundoGetActionClass(); }

void paste(vclipboard* clipboard, vinstance* contents) {
  auto* v = static_cast<vtextview*>(clipboard->spare);
  clipboard->spare = nullptr;
  if (!v || !v->text || !v->selection) {
    vinstanceDestroy(contents);
    return;
  }
  char* chars = nullptr;
  vexGuard(
      [&] {
        chars = vscribeCreateString(vscrapGetString(vscrapWalk(contents)));
        vtextInsertText(v->text, v->selection, chars, cls(v)->pasteLength(v, chars, std::int32_t(std::strlen(chars))));
        vtextviewRecordUndo(v, vscribeLiteral("Paste"));
        cls(v)->showSelection(v, 24);
      },
      [&](vexHandler&) {
        vinstanceDestroy(contents);
        if (chars) vscribeFreeString(chars);
        _vexGenerate(nullptr, vexEnd);
      });
  vinstanceDestroy(contents);
  vscribeFreeString(chars);
}

}  // namespace

void _vtextviewMakeCommands() {
  if (commandDict) return;
  commandDict = vcommandCreateDictFromTable(vobjectGetCommandClass(), kSelectors, int(std::size(kSelectors)));
  for (const Synthetic& row : kSynthetic) {
    auto* c = static_cast<vcommand*>(vinstanceCreate(vcommandGetDefaultSyntheticClass()));
    vcommandAppendSyntheticEntry(c, N(row.issues));
    vcommandAppendSyntheticPair(c, N(row.key), N(row.value));
    if (row.key2) vcommandAppendSyntheticPair(c, N(row.key2), reinterpret_cast<const void*>(row.value2));
    vdictStore(commandDict, N(row.name), c);
  }
}

void _vtextviewFreeCommands() {
  if (commandDict) vcommandDestroyDict(commandDict);
  commandDict = nullptr;
}

void _vtextviewInstallCommands(vtextviewModule* m) {
  vcommandSpace* inherited = vdialogItemGetDefaultClass()->space;
  m->space = static_cast<vcommandSpace*>(vobjectClone(inherited));
  vclassRec<vcommandSpaceClassRec>(m->space)->addDict(m->space, vname_Command, commandDict);
  if (m->keys) vcommandSpaceAddDict(m->space, vname_Key, m->keys);
  // The dialog item's bindings first; the view's own replace them key by key.
  m->keyMap = vdictCreate(vdictHashPointer);
  vcommandSpaceVisitKeys(inherited, m->keyMap);
  if (m->keys) _vcommandSpaceVisitDict(m->keys, m->keyMap);
}

vclipboard* _vtextviewClipboard(bool global) {
  vtextviewModule* m = _vtextviewModule();
  vclipboard*& c = global ? m->globalClipboard : m->selectionClipboard;
  if (!c) {
    c = vclipboardCreate(global ? vclipboardGetDefaultGlobalClass() : vclipboardGetDefaultSelectionClass());
    vclipboardSetNotify(c, paste);
  }
  return c;
}

vclipboard* vtextviewGetGlobalClipboard() { return _vtextviewClipboard(true); }
vclipboard* vtextviewGetSelectionClipboard() { return _vtextviewClipboard(false); }

void vtextviewCopyToSelectionClipboard(vtextview* v) {
  if (v->text && v->selection) copyToClipboard(v, vtextviewGetSelectionClipboard());
}

void vtextviewTypeChar(vtextview* v, int c) {
  vtextTypeChar(v->text, v->selection, c);
  vtextviewRecordUndo(v, vscribeLiteral("Typing"));
  cls(v)->showSelection(v, 24);
}

vclass* vtextviewGetUndoActionClass() {
  vtextviewModule* m = _vtextviewModule();
  if (m->undoActionClass) return m->undoActionClass;
  auto* c = vclassSpawnOf<vundoActionClassRec>(undoSuper());
  vclassSetInstanceSize(c, sizeof(UndoAction));
  c->init = [](vinstance* self) {
    undoSuper()->init(self);
    auto* a = static_cast<UndoAction*>(self);
    a->view = nullptr;
    a->changes = nullptr;
  };
  c->destroy = [](vinstance* self) {
    auto* a = static_cast<UndoAction*>(self);
    if (a->changes) vinstanceDestroy(a->changes);
    undoSuper()->destroy(self);
  };
  c->getName = [](vundoAction* self) {
    auto* a = static_cast<UndoAction*>(self);
    return a->changes ? vundoActionGetName(a->changes) : "";
  };
  c->perform = [](vundoAction* self) {
    auto* a = static_cast<UndoAction*>(self);
    if ((a->state == vundoDONE || a->state == vundoUNDONE) && a->changes) {
      vundoActionPerform(a->changes);
      if (a->view) vtextviewClassOf(a->view)->showSelection(a->view, 24);
    }
    undoSuper()->perform(self);
  };
  m->undoActionClass = c;
  return c;
}

void vtextviewRecordUndo(vtextview* v, vscribe* name) {
  vobject* pending = v->text ? v->text->pendingChanges : nullptr;
  if (!pending) {
    vscribeRelease(name);
    return;
  }
  auto* a = static_cast<UndoAction*>(vinstanceCreate(vtextviewGetUndoActionClass()));
  a->view = v;
  a->changes = static_cast<vundoAction*>(static_cast<vinstance*>(pending));
  v->text->pendingChanges = nullptr;
  if (a->changes->state == vundoNEW) vundoActionPerform(a->changes);  // its records are done already
  vundoActionPerform(a);
  vname interned = vnameIntern(name);
  if (vclassIsSubclass(pending->cls, vundoGetActionListClass())) static_cast<vundoActionList*>(a->changes)->name = interned;
  vtextviewTakeUndoAction(v, a);
}

void vtextviewTakeUndoAction(vtextview* v, vinstance* action) {
  if (v->undoSink) v->undoSink(v, action);
  else vinstanceDestroy(action);
}

void _vtextviewFillCommands(vtextviewClassRec* c) {
  c->issueSelector = issueSelector;
  c->querySelector = querySelector;
  c->keyDown = keyDown;
  c->moveCaret = moveCaret;
  c->moveByLine = moveByLine;
  c->pasteLength = [](vtextview*, const char*, std::int32_t length) { return length; };
}
