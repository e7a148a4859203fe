// Text views edited by the mouse and by an input method, in a program of
// their own (the classes and the look are built once per process); clicks
// are injected at the platform so click counts and bindings are real:
//   textedit_probe track          clicks, words, lines, extension, auto-scroll,
//                                 drag and drop, padding and grab scrolling
//   textedit_probe compose        a scripted input method's compositions
//   textedit_probe platform       the platform's compositions in a focused view
//   textedit_probe scenario OUT   select, drag, shift, sort, undo and redo all:
//                                 OUT_moved.png, OUT_sorted.png
//   textedit_probe ruler OUT      the ruler view's buttons, markers and drags,
//                                 and its picture as OUT
//   textedit_probe live S         a view with drag-and-drop editing for S
//                                 seconds of real input, then its text
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fw/core/attributed.h"
#include "fw/core/event.h"
#include "fw/core/ex.h"
#include "fw/core/sys.h"
#include "fw/core/timer.h"
#include "fw/data/pref.h"
#include "fw/data/undo.h"
#include "fw/data/vresource.h"
#include "fw/gui/window/window.h"
#include "fw/text/styleruns.h"
#include "fw/text/textstyle.h"
#include "fw/text/txtruler.h"
#include "fw/widgets/dialog/itemlist.h"
#include "fw/widgets/startup.h"
#include "fw/widgets/textview/textview.h"
#include "fw/text/rulers.h"
#include "fw/text/selection.h"
#include "fw/widgets/textview/rulerview.h"
#include "fw/widgets/textview/textview_internal.h"
#include "fw/widgets/textview/viewinput.h"
#include "platform/win/constants.h"
#include "platform/win/test.h"
#include "tests/fw/widgets/probe/probe_host.h"

namespace {

constexpr int kWidth = 360, kHeight = 200;
using probehost::listOf;
using probehost::settle;

vwindow* window = nullptr;
vtext* text = nullptr;
vtextSelection* selection = nullptr;
vtextview* view = nullptr;

std::vector<vinstance*> actions;
std::string names;
void keep(vtextview*, vinstance* action) {
  names += std::string(vundoActionGetName(static_cast<vundoAction*>(action))) + ";";
  actions.push_back(action);
}
void performAll(bool undo) {
  if (undo)
    for (auto a = actions.rbegin(); a != actions.rend(); ++a) vundoActionPerform(static_cast<vundoAction*>(*a));
  else
    for (vinstance* a : actions) vundoActionPerform(static_cast<vundoAction*>(a));
}
void dropActions() {
  for (vinstance* a : actions) vinstanceDestroy(a);
  actions.clear();
  names.clear();
}

std::string textOf(vtext* t) {
  std::string out(std::size_t(t->length), '\0');
  vtextGetChars(t, 0, t->length, out.data(), t->length + 1);
  for (char& c : out)
    if (c == '\n') c = '|';
  return out;
}

void report(const char* what) {
  std::printf("%s: \"%s\" %d-%d\n", what, textOf(text).c_str(), selection->start, selection->end);
}

// One focused view over most of an open window, recording undo.
void start(const char* chars, std::uint16_t flags) {
  window = probehost::host(kWidth, kHeight);
  text = vtextCreate();
  vtextSetObserverClass(text, vtextUndoObserverClass());
  selection = vtextCreateSelection(text);
  vtextInsertText(text, selection, chars, std::int32_t(std::strlen(chars)));
  if (text->pendingChanges) vinstanceDestroy(text->pendingChanges);
  text->pendingChanges = nullptr;
  vtextSetSelectionRange(text, selection, 0, 0);
  view = vtextviewCreate();
  vrect r{10, 10, 340, 180};
  vdialogSetItemRect(view, &r);
  vdialogItemListAppend(listOf(window), view);
  vtextviewSetText(view, text);
  vtextviewSetSelection(view, selection);
  view->textViewFlags = std::uint16_t((view->textViewFlags & ~(vtextviewDRAG_EDIT | vtextviewAUTO_INSERT)) | flags);
  view->undoSink = keep;
  probehost::show(window);
  vdialogItemListClassOf(listOf(window))->activateFocus(listOf(window));
  vdialogItemListSetFocusItem(listOf(window), view);
  settle();
}

void stop() {
  dropActions();
  vtextviewSetText(view, nullptr);
  vtextDestroySelection(text, selection);
  vtextDestroy(text);
  probehost::finish(window);
}

// Window points (y up) of a text position's gap and of its line's middle.
int xOf(std::int32_t p) {
  return vtextviewGetTextArea(view)->x + vtextGetPositionColumnValue(text, p) + 1 - view->scrollX;
}
int yOf(std::int32_t p) {
  const vrect* a = vtextviewGetTextArea(view);
  std::int32_t line = vtextGetLineOfPosition(text, p);
  vtextLineInfo info{};
  vtextGetLineInfo(text, line, &info);
  return a->y + a->height - vtextGetLinesHeight(text, view->scrollY, line) + info.height / 2;
}
int windowHeight = kHeight;
win::POINT screen(int x, int y) {
  win::POINT p{x, windowHeight - 1 - y};
  win::ClientToScreen(window->native->hwnd, &p);
  return p;
}

// A gesture's clicks count together; the next gesture starts a count anew.
void pause() {
  win::test::AdvanceClock(2000);
  settle();
}
void down(int x, int y) {
  win::test::MouseDown(screen(x, y));
  settle();
}
void move(int x, int y) {
  win::test::MouseMove(screen(x, y));
  settle();
}
void up(int x, int y) {
  win::test::MouseUp(screen(x, y));
  settle();
}
void click(int x, int y, int times = 1) {
  for (int i = 0; i < times; ++i) down(x, y), up(x, y);
}
// Inside a character: a third of the way into the one after p.
int inside(std::int32_t p) { return xOf(p) + (xOf(p + 1) - xOf(p)) / 3; }

void withKey(win::UINT key, void (*f)()) {
  win::test::KeyDown(key);
  settle();
  f();
  win::test::KeyUp(key);
  settle();
}

int track() {
  win::UseVirtualClock(true);
  start("alpha beta gamma\nsecond line here\nthird\nfourth line", 0);
  click(inside(8), yOf(8));
  report("click in beta");
  pause();
  click(inside(8), yOf(8), 2);
  report("double click selects beta");
  pause();
  down(inside(8), yOf(8)), up(inside(8), yOf(8));
  down(inside(8), yOf(8));
  move(inside(13), yOf(13));
  up(inside(13), yOf(13));
  report("double click dragged into gamma extends by words");
  pause();
  click(inside(20), yOf(20), 3);
  report("triple click selects line 2");
  pause();
  const vrect area = *vtextviewGetTextArea(view);
  down(area.x - 6, yOf(20));
  move(area.x - 6, yOf(36));
  up(area.x - 6, yOf(36));
  report("left margin dragged to line 3 selects lines");
  pause();
  click(inside(2), yOf(2));
  withKey(win::VK_CONTROL, [] { click(inside(20), yOf(20)); });
  report("ctrl+click extends from the caret");
  pause();
  // A drag over lines toggles only the rows whose highlight changed, and
  // the window ends as a whole redraw draws it.
  {
    vtextviewModule* m = _vtextviewModule();
    std::string rows;
    down(inside(2), yOf(2));
    for (std::int32_t p : {20, 36, 44, 30, 3, 1}) {
      m->toggledRows = 0;
      move(inside(p), yOf(p));
      rows += (rows.empty() ? "" : ",") + std::to_string(m->toggledRows);
    }
    up(inside(1), yOf(1));
    win::test::Image shown = win::test::WindowImage(window->native->hwnd);
    vdialogItemClassOf(view)->invalRect(view, &view->rect, 0);
    settle();
    std::printf("dragged from 2 over lines 2, 3, 4, 2, 1, 1: rows toggled %s, as redrawn whole %d\n", rows.c_str(),
                shown.px == win::test::WindowImage(window->native->hwnd).px);
    pause();
  }
  // Below the text area: the view scrolls on every 10 ms of the clock.
  std::string many;
  for (int i = 1; i <= 40; ++i) many += "row " + std::to_string(i) + "\n";
  vtextSetSelectionRange(text, selection, text->length, text->length);
  vtextInsertText(text, selection, ("\n" + many).c_str(), std::int32_t(many.size() + 1));
  vtextviewClassOf(view)->scrollTo(view, 1, 0);
  settle();
  down(inside(0), yOf(0));
  move(inside(0), area.y - 8);
  std::int32_t before = view->scrollY;
  for (int i = 0; i < 5; ++i) win::test::AdvanceClock(10), settle();
  std::int32_t after = view->scrollY;
  up(inside(0), area.y - 8);
  std::printf("dragged below: scrolled %d then %d lines in 50 ms, selection reaches the last shown line %d\n",
              before - 1, after - before,
              vtextGetLineOfPosition(text, selection->end) >= after + vtextCountLinesInHeight(text, area.height, after) - 2);
  vtextviewClassOf(view)->scrollTo(view, 1, 0);
  stop();

  // Drag and drop: a drop outside copies, with Ctrl it moves; a drop inside
  // the selection does nothing.
  start("one two three\nfour five", vtextviewDRAG_EDIT);
  vtextSetSelectionRange(text, selection, 4, 7);
  down(inside(5), yOf(5));
  move(inside(19), yOf(19));
  up(xOf(18), yOf(18));
  report("dragged \"two\" before \"five\"");
  std::printf("undo names: %s\n", names.c_str());
  pause();
  vtextSetSelectionRange(text, selection, 0, 3);
  withKey(win::VK_CONTROL, [] {
    down(inside(1), yOf(1));
    move(xOf(13), yOf(13));
    up(xOf(13), yOf(13));
  });
  report("ctrl+dragged \"one\" to the end of line 1");
  std::printf("undo names: %s\n", names.c_str());
  performAll(true);
  report("both undone");
  pause();
  vtextSetSelectionRange(text, selection, 4, 7);
  down(inside(4), yOf(4));
  move(inside(6), yOf(6));
  up(inside(6), yOf(6));
  report("dropped inside the selection");
  pause();
  click(inside(15), yOf(15), 2);
  report("double click with drag-and-drop on");
  pause();
  click(inside(15), yOf(15), 3);
  report("triple click with drag-and-drop on");
  stop();

  // "Auto Insert": blanks up to a press right of a short line, line ends
  // for a press below the text.
  start("ab\ncd", vtextviewAUTO_INSERT);
  click(xOf(2) + 40, yOf(0));
  std::string padded = textOf(text);
  std::printf("pressed 40 pixels right of \"ab\": %zu blanks added, caret at the end of them %d, undo names %s\n",
              padded.find('|') - 2, selection->start == std::int32_t(padded.find('|')) && selection->length == 0,
              names.c_str());
  pause();
  std::int32_t lines = text->lineCount;
  click(inside(0), yOf(text->length) - 40);
  std::printf("pressed below the text: %d lines added, caret on the last line %d\n", text->lineCount - lines,
              vtextGetLineOfPosition(text, selection->start) == text->lineCount);
  stop();

  // Grab scrolling follows the pointer: up by three lines' height scrolls three.
  start(many.c_str(), vtextviewGRAB_ALWAYS);
  vtextLineInfo info{};
  vtextGetLineInfo(text, 1, &info);
  down(inside(0), area.y + 20);
  move(inside(0) - 30, area.y + 20 + 3 * info.height + 1);
  std::printf("grabbed up by three lines: first line %d, left 30: scroll x %d, selection kept %d\n", view->scrollY,
              view->scrollX, selection->start == 0 && selection->length == 0);
  up(inside(0), area.y + 20 + 3 * info.height);
  stop();
  return 0;
}

// ---- the input method, scripted as a platform would drive it

bool styled(std::int32_t p, const char* attribute) {
  vtextStyle* s = vtextGetStyleAt(text, p);
  return s && vtextRulerGetBooleanAttr(s, vnameInternLiteral(attribute)) == 1;
}

// Positions of the text carrying an attribute, as "a-b" runs.
std::string runs(const char* attribute) {
  std::string out;
  for (std::int32_t p = 0; p < text->length;) {
    if (!styled(p, attribute)) {
      ++p;
      continue;
    }
    std::int32_t q = p;
    while (q < text->length && styled(q, attribute)) ++q;
    out += (out.empty() ? "" : ",") + std::to_string(p) + "-" + std::to_string(q);
    p = q;
  }
  return out.empty() ? "none" : out;
}

void update(std::int32_t position, std::int32_t removed, const std::string& chars, std::int32_t conversion = -1,
            std::int32_t conversionLength = 0, bool committed = false) {
  vtextviewInputUpdate u{position, removed, std::int32_t(chars.size()), chars.data(), position + std::int32_t(chars.size()),
                         conversion, conversionLength, committed ? 1u : 0u};
  _vtextviewInput* i = vtextviewGetInput(view);
  _vtextviewInputClassOf(i)->updateComposition(i, &u);
}

void composition(const char* what) {
  _vtextviewInput* i = vtextviewGetInput(view);
  std::printf("%s: \"%s\" %d-%d underline %s invert %s composing %d busy %d\n", what, textOf(text).c_str(),
              selection->start, selection->end, runs("Underline").c_str(), runs("Invert").c_str(),
              (i->state & vtextviewInputCOMPOSING) != 0, (i->state & vtextviewInputBUSY) != 0);
}

int compose() {
  start("hello world", 0);
  vtextSetSelectionRange(text, selection, 6, 11);
  update(0, 0, "ka");
  composition("typed over a selection");
  update(0, 2, "KAN", 0, 3);
  composition("converted");
  std::printf("a selector while composing: answer %d, text \"%s\"\n",
              vobjectAttributedOf(view)->issueSelector(view, 39, nullptr), textOf(text).c_str());
  update(3, 0, "ji", 3, 0);
  update(0, 0, "", -1, 0, true);
  composition("committed");
  std::printf("undo names: %s\n", names.c_str());
  performAll(true);
  report("undone");
  performAll(false);
  report("redone");
  dropActions();

  // A change of the text around the composition cancels it; so does
  // giving the view a new text.
  vtextSetSelectionRange(text, selection, 0, 0);
  update(0, 0, "xy");
  vtextSetSelectionRange(text, selection, text->length, text->length);
  vtextviewTypeChar(view, '!');
  composition("typed elsewhere");
  vtextSetSelectionRange(text, selection, 0, 0);
  update(0, 0, "zz", 0, 2);
  vtext* old = text;
  vtextSelection* oldSelection = selection;
  text = vtextCreate();
  selection = vtextCreateSelection(text);
  vtextInsertText(text, selection, "fresh", 5);
  vtextviewSetText(view, text);
  vtextviewSetSelection(view, selection);
  std::swap(text, old);
  std::swap(selection, oldSelection);
  composition("old text after its view took a new one");
  vtextDestroySelection(text, selection);
  vtextDestroy(text);
  text = old;
  selection = oldSelection;
  composition("the new text");
  _vtextviewInput* i = vtextviewGetInput(view);
  _vtextviewInputClassOf(i)->reset(i);

  // Long compositions go through a buffer of their own.
  std::string longer(200, 'q');
  vtextSetSelectionRange(text, selection, 5, 5);
  update(0, 0, longer);
  std::printf("200 bytes composed: length %d, underline %s\n", text->length, runs("Underline").c_str());
  update(0, 200, "", -1, 0, true);
  composition("all taken back and committed");

  // An update past the text's end is dropped; the next one is heard.
  vtextSetSelectionRange(text, selection, 2, 2);
  update(50, 0, "late");
  composition("an update past the end");
  update(0, 0, "ok");
  composition("the next update");
  // A removal larger than the composition takes the composition only.
  update(0, 100000, "OK");
  composition("a removal past the composition");
  update(0, 0, "", -1, 0, true);
  composition("its commit");
  dropActions();
  stop();
  return 0;
}

// ---- the headless editing scenario

bool shot(const std::string& path) {
  settle();
  return win::test::WindowPng(window->native->hwnd, path);
}

int scenario(const char* out) {
  win::UseVirtualClock(true);
  start("pear apple\ncherry\nbanana split\nfig\n", vtextviewDRAG_EDIT);
  const std::string original = textOf(text);
  // Double click "apple", drag it to the start of the text.
  click(inside(6), yOf(6), 2);
  report("double clicked");
  withKey(win::VK_CONTROL, [] {
    down(inside(7), yOf(7));
    move(xOf(0), yOf(0));
    up(xOf(0), yOf(0));
  });
  report("moved");
  bool ok = shot(std::string(out) + "_moved.png");
  pause();
  // Select the lines from the margin, shift them right, sort them.
  const vrect area = *vtextviewGetTextArea(view);
  down(area.x - 6, yOf(0));
  move(area.x - 6, yOf(text->length - 1));
  up(area.x - 6, yOf(text->length - 1));
  report("lines selected");
  vdict args;
  vdictInit(&args, vdictHashName);
  vdictStore(&args, vnameInternLiteral("Direction"), vnameInternLiteral("Right"));
  vdictStore(&args, vnameInternLiteral("Amount"), reinterpret_cast<void*>(std::intptr_t(2)));
  vobjectAttributedOf(view)->issueSelector(view, 52, &args);
  vdictFinish(&args);
  report("shifted");
  vobjectAttributedOf(view)->issueSelector(view, 60, nullptr);
  report("sorted");
  ok = shot(std::string(out) + "_sorted.png") && ok;
  const std::string final = textOf(text);
  std::printf("undo names: %s\n", names.c_str());
  performAll(true);
  std::printf("undone all: original back %d\n", textOf(text) == original);
  performAll(false);
  std::printf("redone all: final back %d\n", textOf(text) == final);
  stop();
  return ok ? 0 : 1;
}


// ---- the ruler view

vtextruler* ruler = nullptr;
int notified = 0;

std::string describe(vtextRuler* r) {
  auto m = [&](const char* key) {
    vfixed v = vtextRulerGetMeasureAttr(r, vnameInternLiteral(key));
    return v == vfixed(vtextAttrABSENT) || v == -1 ? std::string("-") : std::to_string(v >> 16);
  };
  std::string out = "right " + m("RightIndent") + " first " + m("FirstLineIndent") + " left " + m("LeftIndent") +
                    " justify " + std::to_string(vtextRulerGetJustification(r)) + " tabs";
  for (int i = 0; i < r->tabCount; ++i)
    out += " " + std::to_string(r->tabs[i].position >> 16) + "/" + std::to_string(r->tabs[i].type);
  return out;
}

void shown(const char* what) {
  std::printf("%s: %s; buttons tab %d justify %d spacing %d\n", what, describe(ruler->working).c_str(), ruler->tabType,
              ruler->justifyButton, ruler->spacingButton);
}

// Points of the item: a button's middle, a measure on the scale.
int buttonX(int index) { return vtextrulerButtonX(ruler, index) + 8; }
int buttonY() { return ruler->rect.y + ruler->rect.height - 3 - 7; }
int scaleX(int measure) { return vtextrulerScaleOrigin(ruler) + measure; }

void dragFrom(int x0, int y0, int x1, int y1) {
  down(x0, y0);
  move((x0 + x1) / 2, (y0 + y1) / 2);
  move(x1, y1);
  up(x1, y1);
}

int rulerMode(const char* path) {
  win::UseVirtualClock(true);
  windowHeight = 120;
  window = probehost::host(460, windowHeight);
  ruler = vtextrulerCreate();
  vrect r{10, 70, 440, 36};
  vdialogSetItemRect(ruler, &r);
  vdialogItemListAppend(listOf(window), ruler);
  vdialogSetItemNotify(ruler, [](vdialogItem*, vevent*) { ++notified; });
  probehost::show(window);
  settle();
  int w = 0, h = 0;
  vdialogGetItemNaturalSize(ruler, &w, &h);
  std::printf("natural size %dx%d\n", w, h);
  shown("new");
  click(buttonX(6), buttonY());
  shown("no text, centre clicked");
  click(buttonX(7), buttonY());
  pause();
  shown("full justify's place clicked");
  for (std::int32_t d : {18, 24, 40, 6, 48}) {
    vtextRulerSetIntegerAttr(vtextrulerGetRuler(ruler), vnameInternLiteral("Descent"), d);
    vtextrulerRefresh(ruler);
    std::printf("descent %d: spacing button %d\n", d, ruler->spacingButton);
  }
  vtextRulerSetIntegerAttr(vtextrulerGetRuler(ruler), vnameInternLiteral("Descent"), -1);
  vtextrulerRefresh(ruler);
  const int scaleY = ruler->rect.y + 6;
  // The right indent dragged off the item: none, and button 11 offers it again.
  dragFrom(scaleX(400) - 3, scaleY, scaleX(400) - 3, 20);
  shown("right indent dragged off");
  pause();
  dragFrom(buttonX(11) - 3, buttonY(), scaleX(295), scaleY);
  shown("the handle dragged onto the scale at 300");
  pause();
  // Tabs: one placed from the decimal button, the default one moved, then dragged off.
  dragFrom(buttonX(3), buttonY(), scaleX(150), scaleY);
  shown("a decimal tab placed at 150");
  pause();
  dragFrom(scaleX(80), scaleY + 6, scaleX(120), scaleY + 6);
  shown("the tab at 80 moved to 120");
  pause();
  dragFrom(scaleX(120), scaleY + 6, scaleX(120), 20);
  shown("the tab at 120 dragged off");
  pause();
  dragFrom(scaleX(50) + 2, ruler->rect.y + 2, scaleX(30) + 2, ruler->rect.y + 2);
  shown("the first-line indent dragged to 30");
  std::printf("owner told %d times\n", notified);
  bool ok = win::test::WindowPng(window->native->hwnd, path);
  // The stored form keeps the own ruler and "UseDefault"; a copy gets a
  // ruler of its own; copying into nothing is refused.
  ruler->useOwnRuler = 1;
  vresource root = vresourceCreateMemory();
  vresource stored = vresourceCreate(root, vnameInternLiteral("R"), vresDICTIONARY);
  vclassRec<vobjectClassRec>(ruler)->store(ruler, stored);
  auto* loaded = static_cast<vtextruler*>(vobjectLoad(stored));
  std::printf("loaded: %s; use own %u\n", describe(loaded->working).c_str(), loaded->useOwnRuler);
  vinstanceDestroy(loaded);
  vresourceCloseFile(root);
  ruler->useOwnRuler = 0;
  auto* copied = static_cast<vtextruler*>(vobjectClone(ruler));
  std::printf("copy: own ruler its own %d, %s\n", copied->ownRuler != ruler->ownRuler, describe(copied->ownRuler).c_str());
  vinstanceDestroy(copied);
  bool refused = !vexTry([] { vclassRec<vobjectClassRec>(ruler)->copy(ruler, nullptr); });
  std::printf("copy into nothing refused %d\n", refused);

  // With a text: the selection's paragraphs get the changes; a second edit
  // of the same paragraphs replaces their ruler instead of stacking one more.
  text = vtextCreate();
  selection = vtextCreateSelection(text);
  vtextInsertText(text, selection, "one\ntwo\nthree", 13);
  vtextSetSelectionRange(text, selection, 5, 5);
  vtextrulerSetText(ruler, text);
  vtextrulerSetSelection(ruler, selection);
  shown("attached on line 2");
  click(buttonX(6), buttonY());
  pause();
  click(buttonX(5), buttonY());
  pause();
  auto justifyOf = [](std::int32_t line) {
    vtextRuler* merged = vtextGetLineRuler(text, line);
    int j = merged ? vtextRulerGetJustification(merged) : -1;
    if (merged) vinstanceDestroy(merged);
    return j;
  };
  vtextTagScan scan;
  vtextInitTagScan(&scan, text, vtextName("Ruler"), 4);
  vtextScanTags(&scan);
  std::printf("centre then right on line 2: lines 1-3 justify %d %d %d, ruler tags at line 2: %d\n", justifyOf(1),
              justifyOf(2), justifyOf(3), scan.count);
  vtextFreeTagScan(&scan);
  shown("shown");
  // The caret moves to line 1: shown anew. The text's default ruler
  // changed behind the view's back: a deletion leaving the caret inside a
  // line changes nothing shown, one leaving it on an empty line shows it.
  vtextSetSelectionRange(text, selection, 0, 0);
  shown("caret on line 1");
  vtextSelection* other = vtextCreateSelection(text);
  vtextRuler* centred = vtextRulerCreate();
  vtextRulerSetJustification(centred, 2);
  centred->flags |= vtextRulerOWNED;
  vtextSetDefaultRuler(text, centred);
  vtextSetSelectionRange(text, other, 1, 3);
  vtextDeleteSelection(text, other);
  std::printf("deleted \"ne\": \"%s\", caret %d, justify button %d\n", textOf(text).c_str(),
              selection->start, ruler->justifyButton);
  vtextSetSelectionRange(text, other, 0, 1);
  vtextDeleteSelection(text, other);
  std::printf("deleted \"o\": \"%s\", caret %d, justify button %d\n", textOf(text).c_str(),
              selection->start, ruler->justifyButton);
  vtextDestroySelection(text, other);
  vtextrulerSetSelection(ruler, nullptr);
  vtextDestroySelection(text, selection);
  vtextDestroy(text);
  std::printf("text destroyed: attached %d\n", ruler->text != nullptr);
  probehost::finish(window);
  return ok ? 0 : 1;
}

// ---- the platform's input method

// A dead key's accent composed in the text (underlined), then committed
// with its letter as one change; a composition the method drops leaves
// nothing behind; the next one is heard.
int platformCompose() {
  start("ab", 0);
  vtextSetSelectionRange(text, selection, 1, 1);
  win::test::Compose("\xB4", 1);
  settle();
  composition("accent composed");
  win::test::Commit("\xE9");
  settle();
  composition("letter committed");
  std::printf("undo names: %s\n", names.c_str());
  performAll(true);
  report("undone");
  performAll(false);
  report("redone");
  dropActions();
  win::test::Compose("~", 1);
  settle();
  win::test::Compose("~n", 2);
  settle();
  composition("two composed");
  win::test::Compose("", 0);
  settle();
  composition("dropped");
  win::test::Compose("^", 1);
  win::test::Commit("\xEA");
  settle();
  composition("the next one");
  std::printf("undo names: %s\n", names.c_str());
  stop();
  return 0;
}

// ---- by hand: a view on the window system for a while

int live(int seconds) {
  start("The quick brown fox jumps over the lazy dog.\nPack my box with five dozen liquor jugs.\n"
        "How vexingly quick daft zebras jump!\nSphinx of black quartz, judge my vow.\n",
        vtextviewDRAG_EDIT);
  vtimer* end = vtimerCreate();
  end->notify = [](vtimer*) { veventStopProcessing(); };
  end->periodSeconds = seconds;
  end->periodNanoseconds = 0;
  vtimerStart(end);
  veventProcess();
  vtimerDestroy(end);
  report("after the session");
  std::printf("undo names: %s\n", names.c_str());
  stop();
  return 0;
}

int probeMain(int argc, char** argv) {
  vwidgetsStartup(argc, argv);
  int count = 0;
  char** args = nullptr;
  vprefGetArgs(&count, &args);
  std::string mode = count > 1 ? args[1] : "";
  int status = 2;
  if (mode == "track") status = track();
  else if (mode == "compose") status = compose();
  else if (mode == "platform") status = platformCompose();
  else if (mode == "scenario" && count > 2) status = scenario(args[2]);
  else if (mode == "ruler" && count > 2) status = rulerMode(args[2]);
  else if (mode == "live" && count > 2) status = live(std::atoi(args[2]));
  else std::fprintf(stderr, "usage: textedit_probe track|compose|scenario OUT\n");
  std::fflush(stdout);
  return status;
}

}  // namespace

int main(int argc, char** argv) { vsysMain(argc, argv, probeMain); }
