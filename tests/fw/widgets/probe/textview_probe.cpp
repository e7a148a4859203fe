// Text views in a program of their own per look (the classes, the caret
// timer and the look's colours are built once per process):
//   textview_probe [-laf LOOK] shots OUT   views with scroll bars, styles, a
//                                          selection and a caret, as a PNG
//   textview_probe [-laf LOOK] lineend     a selected text of a line end alone drawn
//   textview_probe [-laf LOOK] displays OUT invisibles, key codes, highlight
//                                          kinds and an inverted run, as a PNG
//   textview_probe [-laf LOOK] offscreen   the offscreen image against drawing straight
//   textview_probe [-laf LOOK] items OUT   text items in their modes, as a PNG
//   textview_probe value                   combo-box values: text, data, sizes,
//                                          announcements, resource form, copies
//   textview_probe [-laf LOOK] textitem    text items: numbers, replacing, modes,
//                                          keys, gating, the resource form
//   textview_probe [-laf LOOK] redraw      random edits: the window after
//                                          each equals a full redraw
//   textview_probe blink [S]               with "caretblinkinterval" S: the caret
//                                          period and its phases
//   textview_probe [-laf LOOK] keys        key presses, commands and typing
//   textview_probe [-laf LOOK] clipboard   copy, cut, paste and the undo names
//   textview_probe [-laf LOOK] motion      caret motion by characters and lines
//   textview_probe [-laf LOOK] edits       the line and word commands, one table row each
//   textview_probe [-laf LOOK] undo        the text's undo records: typing, pastes, commands
//   textview_probe [-laf LOOK] mouse       presses, drags and the "Drag" button
//   textview_probe [-laf LOOK] barreach    a 3,000-character line's end reached by
//                                          the view and its horizontal bar alike
//   textview_probe [-laf LOOK] longline OUT an 8,000-character line: positions,
//                                          caret, click and drawing near its end
//   textview_probe [-laf LOOK] scenario OUT  a 1 MB file loaded, typed into,
//                                          pasted into and paged through by
//                                          injected keys: OUT_typed.png,
//                                          OUT_pasted.png, OUT_paged.png
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "fw/core/attributed.h"
#include "fw/core/event.h"
#include "fw/core/sys.h"
#include "fw/core/timer.h"
#include "fw/data/pref.h"
#include "fw/data/scrap.h"
#include "fw/data/undo.h"
#include "fw/gui/window/window_event.h"
#include "fw/data/vresource.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/window.h"
#include "fw/text/styleruns.h"
#include "fw/widgets/dialog/itemlist.h"
#include "fw/widgets/controls/combobox_value.h"
#include "fw/widgets/controls/textitem.h"
#include "fw/widgets/look/laf.h"
#include "fw/widgets/startup.h"
#include "fw/widgets/textview/textview.h"
#include "fw/widgets/textview/textview_internal.h"
#include "platform/win/test.h"
#include "tests/fw/widgets/probe/probe_host.h"

namespace {

constexpr int kWidth = 360, kHeight = 200;

using probehost::finish;
using probehost::listOf;
using probehost::settle;

struct Shown {
  vtext* text;
  vtextSelection* selection;
  vtextview* view;
};

Shown addView(vwindow* w, vrect r, const char* chars, bool bars) {
  Shown s{};
  s.text = vtextCreate();
  s.selection = vtextCreateSelection(s.text);
  vtextInsertText(s.text, s.selection, chars, std::int32_t(std::strlen(chars)));
  s.view = vtextviewCreate();
  vdialogSetItemRect(s.view, &r);
  vdialogItemListAppend(listOf(w), s.view);
  if (bars) {
    vtextviewSetHorzBar(s.view, 1);
    vtextviewSetVertBar(s.view, 1);
  }
  vtextviewSetText(s.view, s.text);
  vtextviewSetSelection(s.view, s.selection);
  return s;
}

void release(Shown& s) {
  vtextviewSetText(s.view, nullptr);
  vtextDestroySelection(s.text, s.selection);
  vtextDestroy(s.text);
}

void open(vwindow* w) {
  vdialogItemListClassOf(listOf(w))->open(listOf(w));
  vwindowOpen(w);
  settle();
  vdialogItemListClassOf(listOf(w))->activateFocus(listOf(w));
}

// One view over most of an open window, with the focus.
Shown focusedView(vwindow* w, const char* chars) {
  Shown s = addView(w, {10, 10, 340, 180}, chars, false);
  open(w);
  vdialogItemListSetFocusItem(listOf(w), s.view);
  return s;
}

win::test::Image redrawnWhole(vwindow* w) {
  vdrawGSave();
  vdialogItemListSetDrawingState(listOf(w));
  vdrawInitDeviceClip();
  vdialogItemListDraw(listOf(w));
  vdrawGRestore();
  return win::test::WindowImage(w->native->hwnd);
}

int shots(const char* path) {
  vwindow* w = probehost::host(kWidth, kHeight);
  Shown a = addView(w, {10, 70, 340, 120},
                    "The first line of a text view\n\tindented by a tab\nstyled: bold words here\n"
                    "a line long enough to run past the right edge of the view, and further on\nlast\n",
                    true);
  vtextStyle* bold = vtextStyleCreate();
  vtextRulerSetBooleanAttr(bold, vnameInternLiteral("Bold"), 1);
  vtextRulerSetBooleanAttr(bold, vnameInternLiteral("Underline"), 1);
  vtextApplyStyle(a.text, 63, 73, bold);
  vtextSetSelectionRange(a.text, a.selection, 10, 40);
  Shown b = addView(w, {10, 10, 160, 50}, "caret at the edge\nsecond", false);
  vtextSetSelectionRange(b.text, b.selection, 0, 0);
  Shown c = addView(w, {180, 10, 170, 50}, "unfocused view\nwith a selection", false);
  vtextSetSelectionRange(c.text, c.selection, 2, 20);
  open(w);
  vdialogItemListSetFocusItem(listOf(w), b.view);
  settle();
  win::test::Image shot = redrawnWhole(w);
  bool ok = win::test::WritePng(path, shot);
  release(a), release(b), release(c);
  vtextStyleDestroy(bold);
  finish(w);
  return ok ? 0 : 1;
}

// Focused views whose whole text is selected: one of nothing but its line
// end, one of a word and its line end; the pixels of each view that are
// not its background.
int lineEnd() {
  vwindow* w = probehost::host(kWidth, kHeight);
  Shown bare = addView(w, {10, 120, 165, 40}, "\n", false);
  Shown word = addView(w, {185, 120, 165, 40}, "word\n", false);
  vtextSetSelectionRange(bare.text, bare.selection, 0, 1);
  vtextSetSelectionRange(word.text, word.selection, 0, 5);
  open(w);
  for (Shown* s : {&bare, &word}) {
    vdialogItemListSetFocusItem(listOf(w), s->view);
    settle();
    win::test::Image im = redrawnWhole(w);
    const vrect& r = s->view->rect;
    std::uint32_t ground = im.px[std::size_t(kHeight - r.y - r.height + 4) * std::size_t(im.width) + std::size_t(r.x + r.width - 6)];
    int inked = 0;
    for (int y = r.y + 4; y < r.y + r.height - 4; ++y)
      for (int x = r.x + 4; x < r.x + r.width - 6; ++x)
        inked += im.px[std::size_t(kHeight - 1 - y) * std::size_t(im.width) + std::size_t(x)] != ground;
    std::printf("%s: %s\n", s == &bare ? "a line end alone" : "a word and its line end", inked ? "drawn" : "nothing drawn");
  }
  release(bare), release(word);
  finish(w);
  return 0;
}

// The displays: invisibles, key codes, the highlight kinds 2, 3 and 5 and
// an inverted run.
int displays(const char* path) {
  vwindow* w = probehost::host(kWidth, kHeight);
  Shown inv = addView(w, {10, 120, 165, 70}, "a b\tc\nend of line\n", false);
  vtextSetView(inv.text, vtextVIEW_INVISIBLES);
  vtextSetSelectionRange(inv.text, inv.selection, 2, 6);
  Shown hex = addView(w, {185, 120, 165, 70}, "A\nBc\n", false);
  vtextSetView(hex.text, vtextVIEW_HEX);
  vtextSetSelectionRange(hex.text, hex.selection, 2, 3);
  Shown kinds[3];
  const int kind[3] = {2, 3, 5};
  for (int i = 0; i < 3; ++i) {
    kinds[i] = addView(w, {std::int16_t(10 + 115 * i), 65, 110, 45}, "kind shown\nhere", false);
    kinds[i].view->viewFlags |= std::uint32_t(kind[i]) << 10;
    vtextSetSelectionRange(kinds[i].text, kinds[i].selection, 2, 12);
  }
  Shown inverted = addView(w, {10, 10, 340, 45}, "an inverted run in a line", false);
  vtextStyle* invert = vtextStyleCreate();
  vtextRulerSetBooleanAttr(invert, vnameInternLiteral("Invert"), 1);
  vtextApplyStyle(inverted.text, 3, 15, invert);
  vtextSetSelectionRange(inverted.text, inverted.selection, 0, 0);
  open(w);
  vdialogItemListSetFocusItem(listOf(w), inverted.view);
  settle();
  bool ok = win::test::WritePng(path, redrawnWhole(w));
  for (Shown* s : {&inv, &hex, &kinds[0], &kinds[1], &kinds[2], &inverted}) release(*s);
  vtextStyleDestroy(invert);
  finish(w);
  return ok ? 0 : 1;
}

// The pixels of the view's content rectangle (the text area, its margins
// and the column left of it), rows counted from the window's top.
bool sameContent(const win::test::Image& a, const win::test::Image& b, vtextview* v) {
  const vrect& c = v->content;
  for (int y = c.y; y < c.y + c.height; ++y)
    for (int x = c.x; x < c.x + c.width; ++x) {
      std::size_t i = std::size_t((kHeight - 1 - y) * a.width + x);
      if (a.px[i] != b.px[i]) return false;
    }
  return true;
}

// Every edit goes through the observer's redraw; the pixels must be those
// of drawing the whole window again.
int redraw() {
  win::UseVirtualClock(true);
  vwindow* w = probehost::host(kWidth, kHeight);
  std::string seed;
  for (int i = 0; i < 30; ++i) seed += "line " + std::to_string(i) + " of the text\n";
  Shown s = addView(w, {10, 10, 340, 180}, seed.c_str(), true);
  open(w);
  vdialogItemListSetFocusItem(listOf(w), s.view);
  settle();
  std::mt19937 rng(82);
  int mismatches = 0, steps = 300;
  const char* pieces[] = {"x", "\n", "word ", "\t", "two\nlines"};
  for (int step = 0; step < steps; ++step) {
    std::int32_t len = s.text->length;
    std::int32_t p = std::int32_t(rng() % std::uint32_t(len + 1));
    std::int32_t q = std::min<std::int32_t>(len, p + std::int32_t(rng() % 6));
    switch (rng() % 4) {
      case 0: vtextSetSelectionRange(s.text, s.selection, p, p); vtextTypeChar(s.text, s.selection, 'a' + step % 26); break;
      case 1: vtextSetSelectionRange(s.text, s.selection, p, q); vtextDeleteSelection(s.text, s.selection); break;
      case 2: {
        const char* t = pieces[rng() % 5];
        vtextSetSelectionRange(s.text, s.selection, p, q);
        vtextInsertText(s.text, s.selection, t, std::int32_t(std::strlen(t)));
        break;
      }
      default: vtextSetSelectionRange(s.text, s.selection, p, q); break;
    }
    if (rng() % 5 == 0) vtextviewClassOf(s.view)->showSelection(s.view, 24);
    settle();
    win::test::Image after = win::test::WindowImage(w->native->hwnd);
    win::test::Image whole = redrawnWhole(w);
    if (!sameContent(after, whole, s.view)) {
      if (++mismatches == 1) {
        std::printf("first mismatch at step %d\n", step);
        if (const char* dump = std::getenv("TEXTVIEW_DUMP")) {
          win::test::WritePng(std::string(dump) + "_after.png", after);
          win::test::WritePng(std::string(dump) + "_whole.png", whole);
        }
      }
    }
  }
  std::printf("%d steps, %d mismatches\n", steps, mismatches);
  release(s);
  finish(w);
  win::UseVirtualClock(false);
  return 0;
}

// Paging through a long text with both bars: after each page the window's
// pixels, the vertical bar's among them, equal a whole redraw, and the horizontal bar, which paging
// does not change, is never drawn again.
int paging() {
  vwindow* w = probehost::host(kWidth, kHeight);
  std::string seed;
  for (int i = 1; i <= 400; ++i) seed += "line " + std::to_string(i) + " of a long text\n";
  Shown s = addView(w, {10, 10, 340, 180}, seed.c_str(), true);
  open(w);
  vdialogItemListSetFocusItem(listOf(w), s.view);
  settle();
  static vslider* watched = nullptr;
  static int drawn = 0;
  static void (*original)(vdialogItem*) = nullptr;
  watched = s.view->horzBar;
  vdialogItemClassRec* barClass = vdialogItemClassOf(watched);
  original = barClass->draw;
  barClass->draw = [](vdialogItem* item) {
    if (item == watched) ++drawn;
    original(item);
  };
  int pages = 0, mismatches = 0;
  for (; pages < 12; ++pages) {
    vobjectAttributedOf(s.view)->issueSelector(s.view, 17, nullptr);
    settle();
    win::test::Image after = win::test::WindowImage(w->native->hwnd);
    win::test::Image whole = redrawnWhole(w);
    // The vertical bar's thumb and arrows included: their own redraws
    // must follow the value.
    mismatches += after.px != whole.px;
  }
  barClass->draw = original;
  std::printf("%d pages at line %d, %d mismatches, horizontal bar drawn %d times\n", pages, int(s.view->scrollY),
              mismatches, drawn - pages);
  release(s);
  finish(w);
  return 0;
}

// Through the offscreen image the text area's pixels are those drawn
// straight, before and after a few edits redrawn by updates.
int offscreen() {
  vwindow* w = probehost::host(kWidth, kHeight);
  Shown s = focusedView(w, "offscreen\n\tdrawing of\na view with a selection\nand more");
  vtextSetSelectionRange(s.text, s.selection, 5, 30);
  settle();
  auto compare = [&](const char* what) {
    s.view->textViewFlags &= std::uint16_t(~vtextviewOFFSCREEN);
    win::test::Image straight = redrawnWhole(w);
    s.view->textViewFlags |= vtextviewOFFSCREEN;
    win::test::Image through = redrawnWhole(w);
    std::printf("%s: same pixels %d, image %dx%d\n", what, sameContent(straight, through, s.view),
                s.view->offscreen ? s.view->offscreen->width : 0, s.view->offscreen ? s.view->offscreen->height : 0);
  };
  compare("drawn whole");
  s.view->textViewFlags |= vtextviewOFFSCREEN;
  vtextSetSelectionRange(s.text, s.selection, 12, 12);
  vtextviewTypeChar(s.view, 'x');
  vtextviewTypeChar(s.view, '\n');
  settle();
  win::test::Image updated = win::test::WindowImage(w->native->hwnd);
  s.view->textViewFlags &= std::uint16_t(~vtextviewOFFSCREEN);
  std::printf("edits through updates: same pixels %d\n", sameContent(updated, redrawnWhole(w), s.view));
  release(s);
  finish(w);
  return 0;
}

// Scrolling clamps, the ScrollTo modes, the reversed vertical bar, a
// caret past column 1024, the resource form and a copy.
int scroll() {
  vwindow* w = probehost::host(kWidth, kHeight);
  std::string seed;
  for (int i = 1; i <= 100; ++i) seed += "line " + std::to_string(i) + "\n";
  seed += std::string(3000, 'w');
  Shown s = addView(w, {10, 10, 340, 180}, seed.c_str(), true);
  open(w);
  vtextviewClassRec* c = vtextviewClassOf(s.view);
  auto line = [&](std::int32_t n) { return vtextGetLineStart(s.text, n); };
  std::printf("lines %d visible %d\n", s.text->lineCount, int(vtextCountLinesInHeight(s.text, vtextviewGetTextArea(s.view)->height, 1)));
  c->scrollTo(s.view, 500, -40);
  std::printf("scroll to 500,-40: %d,%d bar %d\n", s.view->scrollY, s.view->scrollX, s.view->vertBar->value);
  c->scrollTo(s.view, 1, 99999);
  std::printf("scroll to 1,99999: %d,%d bar %d\n", s.view->scrollY, s.view->scrollX, s.view->vertBar->value);
  c->scrollTo(s.view, 1, 0);
  for (int mode : {0, 1, 2, 3}) {
    c->scrollTo(s.view, 1, 0);
    s.view->viewFlags = (s.view->viewFlags & ~3u) | std::uint32_t(mode);
    vtextSetSelectionRange(s.text, s.selection, line(60), line(60));
    c->showSelection(s.view, 24);
    std::printf("ScrollTo %d, line 60: first %d\n", mode, s.view->scrollY);
  }
  s.view->viewFlags &= ~3u;
  vtextSetSelectionRange(s.text, s.selection, line(101) + 2990, line(101) + 2990);
  c->showSelection(s.view, 24);
  std::printf("column 2990: first %d x %d caret x %d height %d\n", s.view->scrollY, s.view->scrollX, s.view->caret.x,
              s.view->caret.height);
  vtextSetSelectionRange(s.text, s.selection, line(2), line(2));
  c->showSelection(s.view, 24);
  std::printf("back to line 2: first %d x %d\n", s.view->scrollY, s.view->scrollX);
  // A short scroll moves pixels and leaves only the uncovered strip to draw,
  // which must end as a whole redraw would; a long one draws the area.
  settle();
  auto pending = [&](std::int32_t first, std::int32_t x) {
    c->scrollTo(s.view, first, x);
    // The part of the text area left to draw (native rows run downward).
    const vrect& a = *vtextviewGetTextArea(s.view);
    win::HRGN update = win::CreateRectRgn(0, 0, 0, 0);
    win::HRGN area = win::CreateRectRgn(a.x, kHeight - (a.y + a.height), a.x + a.width, kHeight - a.y);
    win::GetUpdateRgn(w->native->hwnd, update, false);
    win::CombineRgn(update, update, area, win::RGN_AND);
    win::RECT u{};
    win::GetRgnBox(update, &u);
    win::DeleteObject(update);
    win::DeleteObject(area);
    settle();
    win::test::Image after = win::test::WindowImage(w->native->hwnd);
    return std::to_string(u.bottom - u.top) + "x" + std::to_string(u.right - u.left) +
           (sameContent(after, redrawnWhole(w), s.view) ? " same" : " differs");
  };
  std::printf("text area %dx%d; drawn after:", vtextviewGetTextArea(s.view)->height, vtextviewGetTextArea(s.view)->width);
  std::printf(" down 2 %s;", pending(3, 0).c_str());
  std::printf(" up 1 %s;", pending(2, 0).c_str());
  std::printf(" right 30 %s;", pending(2, 30).c_str());
  std::printf(" down 40 %s\n", pending(42, 30).c_str());
  // The locks hold the view still except for line, page and bar scrolling.
  s.view->textViewFlags |= vtextviewNO_HORZ_SCROLL | vtextviewNO_VERT_SCROLL;
  c->scrollTo(s.view, 10, 0);
  std::printf("locked scroll to 10,0: %d,%d", s.view->scrollY, s.view->scrollX);
  auto issue = [&](int selector) { vobjectAttributedOf(s.view)->issueSelector(s.view, selector, nullptr); };
  issue(47);
  std::printf("; line down %d", s.view->scrollY);
  issue(17);
  std::printf("; page down %d", s.view->scrollY);
  vcontrolSetReversedValue(s.view->vertBar, 5);
  vdialogItemClassOf(s.view->vertBar)->notifyItem(s.view->vertBar, nullptr);
  std::printf("; bar to 5: %d,%d\n", s.view->scrollY, s.view->scrollX);
  s.view->textViewFlags &= std::uint16_t(~(vtextviewNO_HORZ_SCROLL | vtextviewNO_VERT_SCROLL));
  // The resource form, with the transient tracking bit.
  s.view->textViewFlags |= vtextviewTRACKING;
  s.view->leftMargin = 7;
  vresource root = vresourceCreateMemory();
  vresource r = vresourceCreate(root, vnameInternLiteral("V"), vresDICTIONARY);
  vclassRec<vobjectClassRec>(s.view)->store(s.view, r);
  auto* loaded = static_cast<vtextview*>(vobjectLoad(r));
  std::printf("stored flags 0x%X; loaded flags 0x%X margins %d,%d bars %d%d\n",
              unsigned(vresourceGetInteger(r, vnameInternLiteral("TextViewFlags"))), unsigned(loaded->textViewFlags),
              loaded->leftMargin, loaded->rightMargin, loaded->horzBar != nullptr, loaded->vertBar != nullptr);
  vinstanceDestroy(loaded);
  vresourceCloseFile(root);
  s.view->textViewFlags &= std::uint16_t(~vtextviewTRACKING);
  auto* copy = static_cast<vtextview*>(vobjectClone(s.view));
  std::printf("copy: same text %d same selection %d own bars %d%d\n", copy->text == s.text,
              copy->selection == s.selection, copy->horzBar && copy->horzBar != s.view->horzBar,
              copy->vertBar && copy->vertBar != s.view->vertBar);
  vinstanceDestroy(copy);
  release(s);
  finish(w);
  return 0;
}

// ---- keys, commands, clipboards, motion and the mouse

std::string textOf(vtext* t) {
  std::string out(std::size_t(t->length), '\0');
  vtextGetChars(t, 0, t->length, out.data(), t->length + 1);
  for (char& c : out)
    if (c == '\n') c = '|';
  return out;
}

void report(const char* what, const Shown& s) {
  std::printf("%s: \"%s\" %d-%d\n", what, textOf(s.text).c_str(), s.selection->start, s.selection->end);
}

// A key as the window system gives it: symbol, modifiers, character.
int key(vwindow* w, vtextview* v, std::uint32_t symbol, std::uint32_t modifiers, int character) {
  vevent* e = veventCreateKeyDown(w, 0, 0, 0, modifiers, symbol, character);
  int r = vdialogItemClassOf(v)->keyDown(v, e);
  veventDestroy(e);
  return r;
}

enum : std::uint32_t { kLeft = 0xFC51, kUp = 0xFC52, kRight = 0xFC53, kDown = 0xFC54, kHome = 0xFC50, kEnd = 0xFC57 };

// Selector 52 and its arguments as the view receives them.
int (*plainIssue)(vobject*, int, vdict*) = nullptr;
int recordingIssue(vobject* self, int selector, vdict* args) {
  if (selector == 52) {
    auto d = static_cast<vname>(vdictGet(args, vnameInternLiteral("Direction")));
    std::printf("selector 52 Direction %s Amount %d\n", d ? d : "-", int(vdictGetInteger(args, vnameInternLiteral("Amount"))));
  }
  return plainIssue(self, selector, args);
}

std::int32_t selectorOf(const char* name) {
  auto* c = static_cast<const vcommandSelector*>(vcommandSpaceGetAttribute(vtextviewGetDefaultClass()->space, vname_Command,
                                                                          vnameInternLiteral(name)));
  return c ? c->selector : -1;
}

int keys() {
  vwindow* w = probehost::host(kWidth, kHeight);
  Shown s = focusedView(w, "one two\nthree");
  vtextview* v = s.view;
  std::printf("a: %d\n", key(w, v, 'a', 0, 'a'));
  report("typed", s);
  std::printf("ctrl+b: %d\n", key(w, v, 'b', veventMOD_CONTROL, 2));
  std::printf("ctrl+@ (alt-gr): %d\n", key(w, v, '2', veventMOD_CONTROL | veventMOD_ALT, '@'));
  report("control keys", s);
  key(w, v, 'a', veventMOD_CONTROL, 1);
  report("ctrl+a", s);
  key(w, v, kHome, veventMOD_CONTROL, 0);
  key(w, v, kRight, veventMOD_CONTROL, 0);
  report("ctrl+right", s);
  key(w, v, kRight, veventMOD_SHIFT, 0);
  key(w, v, kRight, veventMOD_SHIFT, 0);
  report("shift+right twice", s);
  key(w, v, kEnd, 0, 0);
  report("end", s);
  key(w, v, 0xFC08, 0, 8);
  key(w, v, 0xFC0D, 0, 13);
  key(w, v, 0xFC09, 0, 9);
  report("backspace, return, tab", s);
  key(w, v, 0xFCFF, 0, 127);
  report("del before a line end", s);
  key(w, v, kHome, veventMOD_CONTROL, 0);
  key(w, v, 0xFCFF, 0, 127);
  report("del at the start", s);
  std::printf("Select Block %d Select All %d Shift %d Extend Select %d\n", selectorOf("Select Block"), selectorOf("Select All"),
              selectorOf("Shift"), selectorOf("Extend Select"));
  // A subclass that shows what selector 52 receives.
  auto* recording = vclassSpawnOf<vtextviewClassRec>(vtextviewGetDefaultClass());
  plainIssue = recording->issueSelector;
  recording->issueSelector = recordingIssue;
  auto* r = static_cast<vtextview*>(vinstanceCreate(recording));
  vdialogItemListAppend(listOf(w), r);
  vtextviewSetText(r, s.text);
  vtextviewSetSelection(r, s.selection);
  for (const char* tag : {"Shift Right 1", "Shift Left", "Align"}) vobjectIssueTag(r, vnameInternLiteral(tag), nullptr);
  vdict query;
  vdictInit(&query, vdictHashName);
  vobjectQueryCommand(v, vnameInternLiteral("Show Key Code"), &query);
  std::printf("Show Key Code: %s", static_cast<const char*>(vdictGet(&query, vname_Toggle)));
  vobjectIssueTag(v, vnameInternLiteral("Show Key Code"), nullptr);
  vdictFinish(&query);
  vdictInit(&query, vdictHashName);
  vobjectQueryCommand(v, vnameInternLiteral("Show Key Code"), &query);
  std::printf(", then %s\n", static_cast<const char*>(vdictGet(&query, vname_Toggle)));
  vdictFinish(&query);
  vobjectListRemove(listOf(w), r);
  vinstanceDestroy(r);
  release(s);
  finish(w);
  return 0;
}

std::string undoNames;
void sink(vtextview*, vinstance* action) {
  undoNames += std::string(vundoActionGetName(static_cast<vundoAction*>(action))) + ";";
  vinstanceDestroy(action);
}
// A pending change list as the undo records leave one.
void pend(vtext* t) { t->pendingChanges = reinterpret_cast<vobject*>(static_cast<vinstance*>(vundoActionListCreate(nullptr))); }

std::string clipboardText(vclipboard* c) {
  std::string out = "(none)";
  vclipboardNotify saved = c->notify;
  static std::string* into = nullptr;
  into = &out;
  vclipboardSetNotify(c, [](vclipboard*, vinstance* scrap) {
    char* text = vscribeCreateString(vscrapGetString(vscrapWalk(scrap)));
    *into = text;
    vscribeFreeString(text);
    vinstanceDestroy(scrap);
  });
  if (vclipboardHasContents(c)) vclipboardRequest(c);
  vclipboardSetNotify(c, saved);
  return out;
}

int clipboard() {
  vwindow* w = probehost::host(kWidth, kHeight);
  Shown s = focusedView(w, "alpha beta\ngamma");
  vtextview* v = s.view;
  v->undoSink = sink;
  vtextSetSelectionRange(s.text, s.selection, 6, 10);
  key(w, v, 'c', veventMOD_CONTROL, 3);
  std::printf("copied: \"%s\"\n", clipboardText(vtextviewGetGlobalClipboard()).c_str());
  vtextSetSelectionRange(s.text, s.selection, 16, 16);
  pend(s.text);
  key(w, v, 'v', veventMOD_CONTROL, 22);
  report("pasted at the caret", s);
  vtextSetSelectionRange(s.text, s.selection, 0, 5);
  pend(s.text);
  key(w, v, 0xFC63, veventMOD_SHIFT, 0);
  report("pasted over a selection", s);
  vtextSetSelectionRange(s.text, s.selection, 4, 10);
  pend(s.text);
  key(w, v, 'x', veventMOD_CONTROL, 24);
  report("cut", s);
  key(w, v, 'z', 0, 'z');
  std::printf("undo names: %s\n", undoNames.c_str());
  // The selection clipboard: an empty selection leaves it alone.
  vtextSetSelectionRange(s.text, s.selection, 0, 4);
  vtextviewCopyToSelectionClipboard(v);
  vtextSetSelectionRange(s.text, s.selection, 2, 2);
  vtextviewCopyToSelectionClipboard(v);
  std::printf("selection clipboard: \"%s\"\n", clipboardText(vtextviewGetSelectionClipboard()).c_str());
  // Nobody waiting: the contents go without an effect.
  std::string before = textOf(s.text);
  vtextviewGetGlobalClipboard()->spare = nullptr;
  vclipboardRequest(vtextviewGetGlobalClipboard());
  std::printf("paste without a view changes the text: %d\n", textOf(s.text) != before);
  // A view that goes is no longer waiting.
  Shown gone = addView(w, {10, 10, 100, 50}, "x", false);
  vtextviewGetSelectionClipboard()->spare = gone.view;
  vobjectListRemove(listOf(w), gone.view);
  release(gone);
  vinstanceDestroy(gone.view);
  std::printf("requester after destroy: %s\n", vtextviewGetSelectionClipboard()->spare ? "view" : "none");
  release(s);
  finish(w);
  return 0;
}

// Each row: a fresh text with a selection, one command issued by its name;
// the text, the selection and the undo names after it.
struct EditRow {
  const char* text;
  std::int32_t start, end;
  const char* command;
};
const EditRow kEdits[] = {
    {"b\na\n", 0, 4, "Sort Lines"},
    {"ab\na\n", 0, 5, "Sort Lines"},
    {"b\na", 0, 3, "Sort Lines"},
    {"zz\nb\na\nc\nyy", 3, 7, "Sort Lines"},
    {"  x\n\tyy\n", 0, 7, "Shift Left"},
    {"x\ny\nz", 0, 2, "Shift Right 1"},
    {"a\n  b\n      c\nd", 2, 13, "Align"},
    {"hELLO wORLD", 0, 11, "Capitalize"},
    {"ab\ncd", 0, 5, "Upper Case"},
    {"Ab\xc0\xff\x83\xdf", 0, 6, "Upper Case"},
    {"Ab\xc0\x9f\xd7", 0, 5, "Lower Case"},
    {"aB1", 0, 3, "Toggle Case"},
    {"one two", 2, 2, "Transpose"},
    {"one two", 0, 0, "Transpose"},
    {"one two", 7, 7, "Transpose"},
    {"one two three", 5, 5, "Transpose Words"},
    {"one two", 2, 2, "Transpose Words"},
    {"ab\ncd\nef", 1, 1, "Transpose Lines"},
    {"ab\ncd", 4, 4, "Transpose Lines"},
    {"ab\ncd\nef", 4, 4, "Transpose Lines"},
    {"ab\ncd", 1, 1, "Delete to End of Line"},
    {"ab\ncd", 2, 2, "Delete to End of Line"},
    {"ab\ncd", 5, 5, "Delete to End of Line"},
    {"ab\ncd\nef", 4, 4, "Delete Line"},
    {"ab\ncd", 4, 4, "Delete Line"},
    {"ab\ncd\n", 0, 3, "Duplicate"},
    {"ab\ncd", 4, 4, "Duplicate Block"},
};

// The superclass's part of the line deletions shows as its selector.
int (*dialogIssue)(vobject*, int, vdict*) = nullptr;
int passedOn(vobject* self, int selector, vdict* args) {
  std::printf(" [super %d]", selector);
  return dialogIssue(self, selector, args);
}

int edits() {
  vwindow* w = probehost::host(kWidth, kHeight);
  Shown s = focusedView(w, "");
  vtextview* v = s.view;
  v->undoSink = sink;
  dialogIssue = vdialogItemGetDefaultClass()->issueSelector;
  vdialogItemGetDefaultClass()->issueSelector = passedOn;
  for (const EditRow& row : kEdits) {
    vtextSetSelectionRange(s.text, s.selection, 0, s.text->length);
    vtextDeleteSelection(s.text, s.selection);
    vtextInsertText(s.text, s.selection, row.text, std::int32_t(std::strlen(row.text)));
    vtextSetSelectionRange(s.text, s.selection, row.start, row.end);
    undoNames.clear();
    pend(s.text);
    std::printf("%s:", row.command);
    int answer = vobjectIssueTag(v, vnameInternLiteral(row.command), nullptr);
    std::string text;
    for (char c : textOf(s.text)) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", unsigned(static_cast<unsigned char>(c)));
      text += static_cast<unsigned char>(c) >= 0x80 ? hex : std::string(1, c == '\t' ? '>' : c);
    }
    std::printf(" %d \"%s\" %d-%d %s\n", answer, text.c_str(), s.selection->start, s.selection->end, undoNames.c_str());
    if (s.text->pendingChanges) vinstanceDestroy(s.text->pendingChanges);
    s.text->pendingChanges = nullptr;
  }
  vdialogItemGetDefaultClass()->issueSelector = dialogIssue;
  // The case tables: every upper-case letter lowers and raises back.
  int pairs = 0, broken = 0;
  for (int c = 0x41; c < 0x100; ++c) {
    char one = char(c);
    vtextSetSelectionRange(s.text, s.selection, 0, s.text->length);
    vtextInsertText(s.text, s.selection, &one, 1);
    vtextSetSelectionRange(s.text, s.selection, 0, 1);
    vobjectIssueTag(v, vnameInternLiteral("Lower Case"), nullptr);
    unsigned lower = static_cast<unsigned char>(*vtextGetCharPointer(s.text, 0));
    if (lower == unsigned(c)) continue;
    vobjectIssueTag(v, vnameInternLiteral("Upper Case"), nullptr);
    ++pairs;
    broken += static_cast<unsigned char>(*vtextGetCharPointer(s.text, 0)) != unsigned(c);
  }
  std::printf("case pairs %d, not restored %d\n", pairs, broken);
  release(s);
  finish(w);
  return 0;
}

// Undo through the text's own records: the view's actions kept in order.
std::vector<vinstance*> actions;
void keep(vtextview*, vinstance* action) { actions.push_back(action); }
void performAll(bool undo) {
  if (undo)
    for (auto a = actions.rbegin(); a != actions.rend(); ++a) vundoActionPerform(static_cast<vundoAction*>(*a));
  else
    for (vinstance* a : actions) vundoActionPerform(static_cast<vundoAction*>(a));
}
void dropActions() {
  for (vinstance* a : actions) vinstanceDestroy(a);
  actions.clear();
}

int undo() {
  vwindow* w = probehost::host(kWidth, kHeight);
  Shown s = focusedView(w, "");
  vtextview* v = s.view;
  v->undoSink = keep;
  vtextSetObserverClass(s.text, vtextUndoObserverClass());
  auto start = [&](const char* chars, std::int32_t caret) {
    dropActions();
    vtextSetSelectionRange(s.text, s.selection, 0, s.text->length);
    vtextDeleteSelection(s.text, s.selection);
    vtextInsertText(s.text, s.selection, chars, std::int32_t(std::strlen(chars)));
    if (s.text->pendingChanges) vinstanceDestroy(s.text->pendingChanges);
    s.text->pendingChanges = nullptr;
    vtextSetSelectionRange(s.text, s.selection, caret, caret);
  };
  auto type = [&](const char* keys) {
    for (const char* k = keys; *k; ++k) vtextviewTypeChar(v, *k == '<' ? 8 : *k == '>' ? 127 : *k);
  };
  // Each: the text after the edits, the actions, the text undone, redone.
  auto show = [&](const char* what) {
    std::string after = textOf(s.text);
    performAll(true);
    std::string undone = textOf(s.text);
    performAll(false);
    std::printf("%s: \"%s\" %zu action(s), undone \"%s\", redone \"%s\"\n", what, after.c_str(), actions.size(),
                undone.c_str(), textOf(s.text).c_str());
  };
  start("Z", 1);
  type("abc");
  show("typed abc");
  start("xZ", 2);
  type("ab<<<");
  show("two typed, three backspaces");
  start("abc", 3);
  type("<<<");
  show("three backspaces");
  start("abcd", 1);
  type(">>");
  show("two forward deletes");
  start("abcd", 2);
  type("<>x>");
  show("backspace, delete, type, delete");
  start("one", 3);
  vtextInsertText(s.text, s.selection, " two", 4);
  vtextviewRecordUndo(v, vscribeLiteral("Paste"));
  type("!!");
  show("pasted then typed");
  start("hELLO wORLD", 0);
  vtextSetSelectionRange(s.text, s.selection, 0, 11);
  vobjectIssueTag(v, vnameInternLiteral("Capitalize"), nullptr);
  show("capitalized");
  // One record holds a case change, whatever the walk edited, and puts the
  // characters back across a line end.
  start("mIxEd CaSe\nline", 0);
  vtextSetSelectionRange(s.text, s.selection, 1, 15);
  _vtextviewChangeCase(v, 56, nullptr);
  auto* pending = static_cast<vundoActionList*>(static_cast<vinstance*>(s.text->pendingChanges));
  std::printf("toggled: %d record(s), the first a %s\n", pending ? pending->count : 0,
              pending && pending->count ? pending->actions[0]->cls->name : "none");
  vtextviewRecordUndo(v, vscribeLiteral("Case Change"));
  show("toggle case");
  // A case change rewrites the characters in place: a bold run over them
  // stays, through undo and redo too.
  start("mIxEd CaSe\nline", 0);
  vtextStyle* bold = vtextStyleCreate();
  vtextRulerSetBooleanAttr(bold, vnameInternLiteral("Bold"), 1);
  vtextApplyStyle(s.text, 3, 13, bold);
  if (s.text->pendingChanges) vinstanceDestroy(s.text->pendingChanges);
  s.text->pendingChanges = nullptr;
  auto boldRuns = [&] {
    std::string out;
    for (std::int32_t p = 0; p <= s.text->length; ++p) {
      vtextStyle* at = p < s.text->length ? vtextGetStyleAt(s.text, p) : nullptr;
      bool on = at && vtextRulerGetBooleanAttr(at, vnameInternLiteral("Bold")) == 1;
      if (on != (!out.empty() && out.back() == '-')) out += std::to_string(p) + (on ? "-" : " ");
    }
    return textOf(s.text) + " bold " + out;
  };
  vtextSetSelectionRange(s.text, s.selection, 1, 15);
  vobjectIssueTag(v, vnameInternLiteral("Upper Case"), nullptr);
  std::string changed = boldRuns();
  performAll(true);
  std::string undone = boldRuns();
  performAll(false);
  std::printf("bold kept: %s; undone %s; redone %s\n", changed.c_str(), undone.c_str(), boldRuns().c_str());
  start("", 0);
  vtextStyleDestroy(bold);
  // A random session: undoing everything gives the original text back,
  // redoing everything the final one.
  std::mt19937 random(7);
  const char* original = "alpha beta\n  gamma\ndelta\nepsilon zeta\n";
  start(original, 0);
  const char* commands[] = {"Shift Right", "Shift Left", "Sort Lines", "Upper Case", "Capitalize", "Transpose",
                            "Transpose Words", "Transpose Lines", "Delete Line", "Delete to End of Line", "Duplicate"};
  for (int step = 0; step < 400; ++step) {
    std::int32_t n = s.text->length;
    std::int32_t a = std::int32_t(random() % std::uint32_t(n + 1)), b = std::int32_t(random() % std::uint32_t(n + 1));
    switch (random() % 6) {
      case 0: vtextSetSelectionRange(s.text, s.selection, std::min(a, b), std::max(a, b)); break;
      case 1: case 2: {
        static const char keys[] = "ab \n<<>";
        for (int k = int(random() % 5); k >= 0; --k) {
          char key[2] = {keys[random() % 8], 0};
          if (*key == '>' && s.selection->length == 0 && s.selection->start >= s.text->length) continue;
          type(key);
        }
        break;
      }
      case 3:
        vtextInsertText(s.text, s.selection, "pasted\n", 7);
        vtextviewRecordUndo(v, vscribeLiteral("Paste"));
        break;
      case 4:
        if (s.selection->length > 0) {
          vtextDeleteSelection(s.text, s.selection);
          vtextviewRecordUndo(v, vscribeLiteral("Cut"));
        }
        break;
      default: vobjectIssueTag(v, vnameInternLiteral(commands[random() % std::size(commands)]), nullptr); break;
    }
  }
  std::string final = textOf(s.text);
  performAll(true);
  std::printf("random session: %zu actions, changed %d, original back %d", actions.size(),
              final != "alpha beta|  gamma|delta|epsilon zeta|", textOf(s.text) == "alpha beta|  gamma|delta|epsilon zeta|");
  performAll(false);
  std::printf(", final back %d\n", textOf(s.text) == final);
  dropActions();
  release(s);
  finish(w);
  return 0;
}

int motion() {
  vwindow* w = probehost::host(kWidth, kHeight);
  std::string chars = "abcdefgh\nab\nabcdefgh\n" + std::string(200, 'w') + "\nlast";
  Shown s = focusedView(w, chars.c_str());
  vtextview* v = s.view;
  vtextviewClassRec* c = vtextviewClassOf(v);
  auto at = [&](const char* what) { std::printf("%s: %d-%d\n", what, s.selection->start, s.selection->end); };
  vtextSetSelectionRange(s.text, s.selection, 6, 6);
  c->moveCaret(v, 3);
  at("down from column 6 to a short line");
  c->moveCaret(v, 3);
  at("down again: column 6");
  c->moveCaret(v, 1);
  c->moveCaret(v, 1);
  at("up twice");
  vtextSetSelectionRange(s.text, s.selection, 0, 0);
  c->moveCaret(v, 0);
  at("left at 0");
  std::int32_t end = s.text->length;
  vtextSetSelectionRange(s.text, s.selection, end, end);
  c->moveCaret(v, 2);
  at("right at the end");
  c->moveCaret(v, 3);
  at("down on the last line");
  vtextSetSelectionRange(s.text, s.selection, 2, 5);
  c->moveCaret(v, 3);
  at("down from a selection 2-5: from its end");
  // Hidden characters are stepped over.
  vtextStyle* hidden = vtextStyleCreate();
  vtextRulerSetBooleanAttr(hidden, vnameInternLiteral("Hidden"), 1);
  vtextApplyStyle(s.text, 2, 5, hidden);
  vtextSetSelectionRange(s.text, s.selection, 1, 1);
  c->moveCaret(v, 2);
  at("right over hidden 2-5");
  c->moveCaret(v, 0);
  at("left back over them");
  vtextRemoveStyle(s.text, 2, 5, hidden);
  // The ends of a line; at the end again the view pages right.
  std::int32_t long0 = vtextGetLineStart(s.text, 4);
  vtextSetSelectionRange(s.text, s.selection, long0 + 3, long0 + 3);
  c->moveByLine(v, 2);
  at("end of line");
  std::int32_t x0 = v->scrollX;
  c->moveByLine(v, 2);
  std::printf("end of line again pages right by the text area's width: %d\n", v->scrollX - x0 == vtextviewGetTextArea(v)->width);
  c->moveByLine(v, 0);
  at("start of line");
  vtextSetSelectionRange(s.text, s.selection, end, end);
  c->moveByLine(v, 3);
  at("bottom of view on the last line");
  vtextStyleDestroy(hidden);
  release(s);
  finish(w);
  return 0;
}

std::string reasons;
void notifyReason(vtextview*, vevent*, int reason) {
  if (reason == vtextviewNOTIFY_PRESS || reason == vtextviewNOTIFY_RELEASE) reasons += std::to_string(reason);
}

int mouse() {
  win::UseVirtualClock(true);
  vwindow* w = probehost::host(kWidth, kHeight);
  Shown s = addView(w, {10, 10, 340, 180}, "first line\nsecond line\nthird", false);
  open(w);
  vtextview* v = s.view;
  v->notify = notifyReason;
  const vrect a = *vtextviewGetTextArea(v);
  vtextLineInfo info{};
  vtextGetLineInfo(s.text, 1, &info);
  int top = a.y + a.height, h = info.height;
  auto xOf = [&](std::int32_t p) { return a.x + vtextGetPositionColumnValue(s.text, p) + 1; };
  auto press = [&](int x, int y, const char* role) {
    vevent* e = veventCreateButtonDown(w, x, y, 0, 1, 1, 0);
    if (role) veventSetBinding(e, vnameInternLiteral(role));
    vdialogItemClassOf(v)->buttonDown(v, e);
    veventDestroy(e);
  };
  auto drag = [&](int x, int y) {
    vevent* e = veventCreateMotion(w, x, y, 0, 1, 1);
    vdialogItemClassOf(v)->motion(v, e);
    veventDestroy(e);
  };
  auto up = [&](int x, int y) {
    vevent* e = veventCreateButtonUp(w, x, y, 0, 0, 1, 0);
    vdialogItemClassOf(v)->buttonUp(v, e);
    veventDestroy(e);
  };
  // Line 2 at the gap after "sec", then dragged to line 3 after "th".
  press(xOf(14) + 1, top - h - h / 2, "Select");
  report("press", s);
  drag(xOf(26) - 1, top - 2 * h - h / 2);
  up(xOf(26) - 1, top - 2 * h - h / 2);
  report("drag to line 3", s);
  std::printf("selection clipboard: \"%s\"\n", clipboardText(vtextviewGetSelectionClipboard()).c_str());
  // The "Drag" button clicked in place pastes it at the hit.
  press(xOf(5), top - h / 2, "Drag");
  drag(xOf(5) + 2, top - h / 2);
  up(xOf(5) + 2, top - h / 2);
  report("drag button click", s);
  // Moved further it selects instead.
  press(xOf(0), top - h / 2, "Drag");
  drag(xOf(3), top - h / 2);
  up(xOf(3), top - h / 2);
  report("drag button moved", s);
  std::printf("reasons: %s\n", reasons.c_str());
  // Below the text: the last line; past a line's end: before its line end.
  press(a.x + a.width - 2, top - h / 2, "Select");
  up(a.x + a.width - 2, top - h / 2);
  report("past the end of line 1", s);
  // Dragged below the text area, the view scrolls a line every 10 ms and
  // the selection follows; a view destroyed meanwhile stops the timer.
  std::string many;
  for (int i = 1; i <= 60; ++i) many += "row " + std::to_string(i) + "\n";
  vtextSetSelectionRange(s.text, s.selection, 0, s.text->length);
  vtextInsertText(s.text, s.selection, many.data(), std::int32_t(many.size()));
  vtextviewClassOf(v)->scrollTo(v, 1, 0);
  settle();
  press(xOf(0) + 1, top - h / 2, "Select");
  drag(xOf(0) + 1, a.y - 5);
  for (int i = 0; i < 10; ++i) {
    win::test::AdvanceClock(10);
    settle();
  }
  std::printf("after 100 ms below: first line %d, selection from %d reaches line %d\n", v->scrollY, s.selection->start,
              vtextGetLineOfPosition(s.text, s.selection->end));
  up(xOf(0) + 1, a.y - 5);
  // A view of no window, pressed and dragged below its text area.
  Shown gone{};
  gone.text = vtextCreate();
  gone.selection = vtextCreateSelection(gone.text);
  vtextInsertText(gone.text, gone.selection, many.data(), std::int32_t(many.size()));
  gone.view = vtextviewCreate();
  vrect small{10, 10, 100, 40};
  vdialogSetItemRect(gone.view, &small);
  vtextviewSetText(gone.view, gone.text);
  vtextviewSetSelection(gone.view, gone.selection);
  vevent* e = veventCreateButtonDown(w, 20, 45, 0, 1, 1, 0);
  vdialogItemClassOf(gone.view)->buttonDown(gone.view, e);
  veventDestroy(e);
  e = veventCreateMotion(w, 20, 5, 0, 1, 1);
  vdialogItemClassOf(gone.view)->motion(gone.view, e);
  veventDestroy(e);
  vinstanceDestroy(gone.view);
  vtextDestroySelection(gone.text, gone.selection);
  vtextDestroy(gone.text);
  _vtextviewModule()->tracking = 0;
  win::test::AdvanceClock(50);
  settle();
  std::printf("a view destroyed while dragging leaves the timer without one\n");
  release(s);
  finish(w);
  win::UseVirtualClock(false);
  return 0;
}

// ---- a user's session with a 1 MB file

// Keys through the window system, as a user presses them.
void press(std::initializer_list<win::UINT> held, win::UINT vk, bool extended = false) {
  for (win::UINT h : held) win::test::KeyDown(h);
  win::test::KeyDown(vk, extended);
  win::test::KeyUp(vk, extended);
  for (win::UINT h : held) win::test::KeyUp(h);
  settle();
}

// The file read in 8 KB runs cut after their last line end, one recalculation.
vtext* loadFile(const std::string& path) {
  vtext* text = vtextCreate();
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return text;
  std::string carry;
  char chunk[8192];
  for (;;) {
    std::size_t n = std::fread(chunk, 1, sizeof chunk, f);
    carry.append(chunk, n);
    bool end = n < sizeof chunk;
    std::size_t cut = end ? carry.size() : carry.rfind('\n');
    if (cut != std::string::npos && cut > 0) {
      std::size_t take = end ? cut : cut + 1;
      for (std::size_t at = 0; at < take;) {
        std::size_t k = std::min<std::size_t>(8192, take - at);
        auto* buffer = static_cast<char*>(vmemAlloc(8192));
        std::memcpy(buffer, carry.data() + at, k);
        _vtextAppendRun(text, buffer, std::int32_t(k), 8192);
        at += k;
      }
      carry.erase(0, take);
    }
    if (end) break;
  }
  std::fclose(f);
  vtextRecalculate(text);
  return text;
}

int scenario(const char* out) {
  win::UseVirtualClock(true);
  std::string path = std::string(out) + "_file.txt";
  {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 1;
    std::size_t written = 0;
    for (int i = 1; written < 1024 * 1024; ++i) {
      char line[96];
      int n = std::snprintf(line, sizeof line, "%06d  MOVE X0,Y0  ; sample %d of the filter's coefficients\n", i, i % 97);
      std::fwrite(line, 1, std::size_t(n), f);
      written += std::size_t(n);
    }
    std::fclose(f);
  }
  vwindow* w = probehost::host(kWidth, kHeight);
  Shown s{};
  s.text = loadFile(path);
  std::remove(path.c_str());
  s.selection = vtextCreateSelection(s.text);
  s.view = vtextviewCreate();
  vrect r{10, 10, 340, 180};
  vdialogSetItemRect(s.view, &r);
  vdialogItemListAppend(listOf(w), s.view);
  vtextviewSetHorzBar(s.view, 1);
  vtextviewSetVertBar(s.view, 1);
  vtextviewSetText(s.view, s.text);
  vtextviewSetSelection(s.view, s.selection);
  open(w);
  vdialogItemListSetFocusItem(listOf(w), s.view);
  settle();
  std::printf("loaded %d characters in %d lines\n", s.text->length, s.text->lineCount);
  bool ok = true;
  auto shot = [&](const char* name) {
    settle();
    ok = win::test::WritePng(std::string(out) + "_" + name + ".png", win::test::WindowImage(w->native->hwnd)) && ok;
  };
  // Typed at the start of the second line, with a line end.
  press({}, win::VK_DOWN, true);
  win::test::Type("; checked\n");
  settle();
  std::printf("typed: caret %d, %d lines\n", s.selection->start, s.text->lineCount);
  shot("typed");
  // The first word copied and pasted at the end of the text.
  press({win::VK_CONTROL}, win::VK_HOME, true);
  press({win::VK_CONTROL, win::VK_SHIFT}, win::VK_RIGHT, true);
  press({win::VK_CONTROL}, 'C');
  press({win::VK_CONTROL}, win::VK_END, true);
  press({win::VK_CONTROL}, 'V');
  std::printf("pasted: first line %d, caret %d of %d\n", s.view->scrollY, s.selection->start, s.text->length);
  shot("pasted");
  // Back to the top and three pages down.
  press({win::VK_CONTROL}, win::VK_HOME, true);
  for (int i = 0; i < 3; ++i) press({}, win::VK_NEXT, true);
  std::printf("paged: first line %d\n", s.view->scrollY);
  shot("paged");
  release(s);
  finish(w);
  win::UseVirtualClock(false);
  return ok ? 0 : 1;
}

// ---- text items

// The value, or the message raised.
template <class F>
std::string valueOr(F read) {
  std::string out;
  vexGuard([&] { out = read(); },
           [&](vexHandler& h) {
             const vexException* e = vexGetCurrentException();
             out = std::string("raised \"") + (e && e->message ? e->message : "?") + "\"";
             vexSetCurrentException(h.savedChain);
           });
  return out;
}

std::string notes;
void noteReason(vtextview*, vevent*, int reason) { notes += std::to_string(reason); }

int textitem() {
  vwindow* w = probehost::host(kWidth, kHeight);
  vtextitem* field = vtextitemCreate();
  vrect r{10, 150, 200, 30};
  vdialogSetItemRect(field, &r);
  vdialogItemListAppend(listOf(w), field);
  vtextitem* note = vtextitemCreate();
  vrect r2{10, 10, 200, 120};
  vdialogSetItemRect(note, &r2);
  vdialogItemListAppend(listOf(w), note);
  open(w);
  vdialogItemListSetFocusItem(listOf(w), field);
  settle();
  auto integer = [&](const char* text) {
    vtextitemSetTextChars(field, text);
    return valueOr([&] { return std::to_string(vtextitemGetInteger(field)); });
  };
  auto number = [&](const char* text) {
    vtextitemSetTextChars(field, text);
    return valueOr([&] {
      char buf[32];
      std::snprintf(buf, sizeof buf, "%g", vtextitemGetFloat(field));
      return std::string(buf);
    });
  };
  std::printf("\"12 \" %s, \"12x\" %s, \"3.5\\t\" %s, \"3.5 z\" %s\n", integer("12 ").c_str(), integer("12x").c_str(),
              number("3.5\t").c_str(), number("3.5 z").c_str());
  auto contents = [&](vtextitem* i) {
    char* text = vtextitemGetString(i);
    std::string out = text;
    vmemFree(text);
    return out;
  };
  int w1 = 0, h1 = 0, w2 = 0, h2 = 0;
  vtextitemSetOneLine(field, 1);
  vtextitemSetTextChars(field, nullptr);
  std::string empty = contents(field);
  vdialogGetItemMinSize(field, &w1, &h1);
  vtextitemSetTextChars(field, "x");
  vdialogGetItemMinSize(field, &w2, &h2);
  int line = int((vfontGetHeight(vdialogDetermineItemFont(field)) + 0x8000) >> 16);
  std::printf("empty: \"%s\", one-line minimum height empty - with text: %s\n", empty.c_str(),
              h1 - h2 == line ? "a line" : h1 == h2 && h1 == (line * 12 + 7) / 8 ? "none, both 12/8 of a line" : "other");
  vtextitemSetTextChars(field, "abc");
  std::printf("modifiable set text: caret %d-%d\n", field->selection->start, field->selection->end);
  // Return in a one-line field notifies 3 and inserts nothing; Tab is never taken.
  field->notify = noteReason;
  int ret = key(w, field, 0xFC0D, 0, 13);
  int tab = key(w, field, 0xFC09, 0, 9);
  std::printf("one-line Return: %d, notified %s, text \"%s\"; Tab: %d\n", ret, notes.c_str(), contents(field).c_str(), tab);
  vtextSetSelectionRange(note->text, note->selection, 0, 0);
  key(w, note, 'a', 0, 'a');
  key(w, note, 0xFC0D, 0, 13);
  std::printf("multi-line Return types: \"%s\"\n", contents(note).c_str() == std::string("a\n") ? "a|" : contents(note).c_str());
  // Read-only: the text refuses every change but the item's own setters.
  vtextitemSetModifiable(note, 0);
  key(w, note, 'b', 0, 'b');
  vtextSetSelectionRange(note->text, note->selection, 0, 1);
  vtextDeleteSelection(note->text, note->selection);
  std::printf("read-only typing and deleting: \"%s\"\n", contents(note).c_str() == std::string("a\n") ? "a|" : "changed");
  vtextitemSetTextChars(note, "fixed");
  std::printf("read-only set text: \"%s\" selection %d-%d\n", contents(note).c_str(), note->selection->start,
              note->selection->end);
  // Selectors by mode: selectable only copies but does not paste; not
  // selectable does neither, nor moves.
  auto issue = [&](vtextitem* i, int selector) { return vobjectAttributedOf(i)->issueSelector(i, selector, nullptr); };
  vtextSetSelectionRange(note->text, note->selection, 0, 3);
  std::printf("selectable only: Copy %d Paste %d Begin %d; ", issue(note, 22), issue(note, 23), issue(note, 8));
  vtextitemSetSelectable(note, 0);
  std::printf("neither: Copy %d Begin %d Select All %d\n", issue(note, 22), issue(note, 8), issue(note, 39));
  // Unselectable: a Select press in the text area is not taken.
  vevent* e = veventCreateButtonDown(w, 30, 100, 0, 1, 1, 0);
  veventSetBinding(e, vname_Select);
  std::printf("unselectable press: %d", vdialogItemClassOf(note)->buttonDown(note, e));
  veventDestroy(e);
  // An input method finds no room in it; a selectable item offers its text area.
  vrect room{1, 1, 1, 1};
  vtextviewClassOf(note)->inputRect(note, &room);
  std::printf(", input room %dx%d", room.width, room.height);
  vtextviewClassOf(field)->inputRect(field, &room);
  const vrect* area = vtextviewGetTextArea(field);
  std::printf(", a field's is its text area %d\n", room.x == area->x && room.y == area->y && room.width == area->width &&
                                                      room.height == area->height && room.width > 0);
  // The default ruler's right indent and the style's font follow the item.
  vtextitemSetWrap(field, 1);
  vtextRuler* fieldRuler = field->text->defaultRuler;
  int expectedIndent = field->content.width - (vlafGetCurrent()->id == vlafWIN95 ? 1 : 0) - 2 * field->leftMargin;
  std::printf("right indent follows the width: %d; font the item's: %d\n",
              (vtextRulerGetMeasureAttr(fieldRuler, vnameInternLiteral("RightIndent")) >> 16) == expectedIndent,
              vtextRulerFindAttr(&field->text->currentStyle->attributes, vname_Font) ==
                  reinterpret_cast<std::uintptr_t>(vdialogDetermineItemFont(field)));
  // The resource form: derived attributes are not stored, modes are.
  vresource root = vresourceCreateMemory();
  vresource res = vresourceCreate(root, vnameInternLiteral("T"), vresDICTIONARY);
  vclassRec<vobjectClassRec>(field)->store(field, res);
  vresource child;
  bool ruler = vresourceTestGet(res, vnameInternLiteral("DefaultRuler"), &child);
  vresource attrs;
  bool indent = ruler && vresourceTestGet(child, vnameInternLiteral("Attributes"), &attrs) &&
                vresourceTestGet(attrs, vnameInternLiteral("RightIndent"), &attrs);
  auto* loaded = static_cast<vtextitem*>(vobjectLoad(res));
  std::printf("stored: DefaultRuler %d RightIndent %d; loaded: \"%s\" one-line %d modifiable %d wrap %d\n", ruler, indent,
              contents(loaded).c_str(), loaded->oneLine, loaded->modifiable, vtextitemGetWrap(loaded));
  vinstanceDestroy(loaded);
  vresourceCloseFile(root);
  auto* copy = static_cast<vtextitem*>(vobjectClone(note));
  std::printf("copy: own text %d \"%s\" selectable %d modifiable %d\n", copy->text != note->text, contents(copy).c_str(),
              copy->selectable, copy->modifiable);
  vinstanceDestroy(copy);
  finish(w);
  return 0;
}

// Text items drawn: a focused one-line entry, a multi-line note with a
// selection, a static message (no frame, the owner's background) and an
// unselectable item (no caret).
int items(const char* path) {
  vwindow* w = probehost::host(kWidth, kHeight);
  auto make = [&](vrect r, const char* text) {
    vtextitem* i = vtextitemCreate();
    vdialogSetItemRect(i, &r);
    vdialogItemListAppend(listOf(w), i);
    vtextitemSetTextChars(i, text);
    return i;
  };
  vtextitem* entry = make({10, 160, 200, 26}, "entry field");
  vtextitemSetOneLine(entry, 1);
  vtextitem* note = make({10, 70, 200, 80}, "a note of\nthree lines\nwith a selection");
  vtextSetSelectionRange(note->text, note->selection, 2, 14);
  vtextitem* message = make({220, 120, 130, 60}, "a static message");
  vtextitemMakeStatic(message);
  vtextitem* fixed = make({220, 70, 130, 40}, "not selectable");
  vtextitemSetSelectable(fixed, 0);
  vtextitem* bottom = make({10, 20, 200, 26}, "another line");
  vtextitemSetOneLine(bottom, 1);
  open(w);
  vdialogItemListSetFocusItem(listOf(w), entry);
  settle();
  bool ok = win::test::WritePng(path, redrawnWhole(w));
  finish(w);
  return ok ? 0 : 1;
}

// ---- combo-box values

std::string heard;
void (*plainSend)(vobject*, vname, vdict*) = nullptr;
void hearing(vobject* self, vname selector, vdict* args) {
  auto* old = static_cast<const vcomboboxValue*>(vdictGet(args, vname_OldValue));
  auto* now = static_cast<const vcomboboxValue*>(vdictGet(args, vname_Value));
  heard += std::string(selector) + " (\"" + (old ? old->text : "?") + "\" " + std::to_string(old ? old->data : -1) + " -> \"" +
           (now ? now->text : "?") + "\" " + std::to_string(now ? now->data : -1) + ")\n";
  plainSend(self, selector, args);
}

int value() {
  auto* ownerClass = vclassSpawnOf<vdialogItemClassRec>(vdialogItemGetDefaultClass());
  plainSend = ownerClass->send;
  ownerClass->send = hearing;
  vdialogItem* owner = vdialogItemCreate(ownerClass);
  vcomboboxValue* v = vcomboboxValueCreate();
  int w = 0, h = 0;
  vcomboboxValueClassOf(v)->naturalSize(v, &w, &h);
  std::printf("new: \"%s\" owned %u, without owner %dx%d\n", v->text, v->flags, w, h);
  vcomboboxValueSetText(v, vscribeLiteral("quiet"));
  vcomboboxValueSetOwner(v, owner);
  vcomboboxValueSetText(v, vscribeLiteral("alpha"));
  vcomboboxValueSetData(v, 7);
  std::printf("heard:\n%s", heard.c_str());
  vcomboboxValueClassOf(v)->naturalSize(v, &w, &h);
  vfont* font = vdialogDetermineItemFont(owner);
  std::printf("in the owner's font: width %d, height %d\n",
              w == int((vfontGetCharsWidth(font, "alpha", 5) + 0xFFFF) >> 16),
              h == int((vfontGetHeight(font) + 0x8000) >> 16));
  vresource root = vresourceCreateMemory();
  vresource r = vresourceCreate(root, vnameInternLiteral("V"), vresDICTIONARY);
  vclassRec<vobjectClassRec>(v)->store(v, r);
  auto* loaded = static_cast<vcomboboxValue*>(vobjectLoad(r));
  std::printf("loaded: \"%s\" owned %u\n", loaded->text, loaded->flags);
  auto* copy = static_cast<vcomboboxValue*>(vobjectClone(v));
  std::printf("copy: \"%s\" own buffer %d data %d\n", copy->text, copy->text != v->text, int(copy->data));
  vcomboboxValueSetOwner(v, nullptr);
  vcomboboxValueSetText(v, vscribeLiteral(""));
  vresource empty = vresourceCreate(root, vnameInternLiteral("E"), vresDICTIONARY);
  vresourceSetString(empty, vname_Title, vscribeLiteral("stale"));
  vclassRec<vobjectClassRec>(v)->store(v, empty);
  vscribe* title = nullptr;
  std::printf("an empty text removes \"Title\": %d\n", !vresourceTestGetString(empty, vname_Title, &title));
  for (vcomboboxValue* x : {v, loaded, copy}) vinstanceDestroy(x);
  vresourceCloseFile(root);
  vinstanceDestroy(owner);
  return 0;
}

int blink() {
  std::int64_t sec = 0, ns = 0;
  vtextviewGetCaretBlinkInterval(&sec, &ns);
  std::printf("period %lld s %lld ns\n", static_cast<long long>(sec), static_cast<long long>(ns));
  win::UseVirtualClock(true);
  vwindow* w = probehost::host(200, 80);
  Shown s = addView(w, {10, 10, 180, 60}, "blink", false);
  open(w);
  vdialogItemListSetFocusItem(listOf(w), s.view);
  settle();
  auto phases = [&](const char* what) {
    std::string seen;
    for (int i = 0; i < 8; ++i) {
      win::test::AdvanceClock(250);
      settle();
      seen += char('0' + ((s.view->viewFlags >> 16) & 0xFF));
    }
    std::printf("%s: %s\n", what, seen.c_str());
  };
  phases("empty selection, every 250 ms");
  vtextSetSelectionRange(s.text, s.selection, 1, 3);
  settle();
  phases("selection 1-3");
  release(s);
  finish(w);
  win::UseVirtualClock(false);
  return 0;
}

}  // namespace

// ---- an 8,000-character line

// A line of 8,000 digits: a block holds 7,680 of them on its first display
// line, every position of which is exact (no x held at a ceiling); the
// view scrolls to the caret near that line's end, a click there lands on
// its gap, and the line is drawn up to the caret; as a PNG.
int longLine(const char* path) {
  vwindow* w = probehost::host(kWidth, kHeight);
  std::string line;
  for (int i = 0; i < 800; ++i) line += "0123456789";
  Shown s = focusedView(w, line.c_str());
  vtextview* v = s.view;
  std::int32_t count = 0, start = 0;
  vtextColumn* e = _vtextLayLine(s.text, 1, &count, &start);
  const vtextX x0 = e[0].x, step = e[1].x - e[0].x;
  bool exact = true;
  for (std::int32_t i = 0; i <= count && exact; ++i) exact = e[i].x == x0 + i * step;
  std::printf("lines %d, first %d characters, every position exact: %d\n", s.text->lineCount, count, exact);
  std::int32_t end = vtextGetPositionColumnValue(s.text, 7679);
  std::printf("x of gap 7,679 as 7,679 steps: %d, past 16,383: %d\n", end == std::int32_t((x0 + 7679 * step) >> 16),
              end > 16383);

  vtextSetSelectionRange(s.text, s.selection, 7679, 7679);
  vtextviewClassOf(v)->showSelection(v, 24);
  settle();
  const vrect a = *vtextviewGetTextArea(v);
  std::printf("scrolled past 20,479: %d; caret inside the area: %d\n", v->scrollX > 20479,
              v->caret.x >= a.x && v->caret.x < a.x + a.width);
  vtextLineInfo info{};
  vtextGetLineInfo(s.text, 1, &info);
  const int rowMiddle = a.y + a.height - info.height / 2;
  // A click in the right half of the character before gap 7,675.
  int clickX = a.x + vtextGetPositionColumnValue(s.text, 7675) - v->scrollX - 1;
  win::POINT p{clickX, kHeight - 1 - rowMiddle};
  win::ClientToScreen(w->native->hwnd, &p);
  win::test::Click(p);
  settle();
  win::test::AdvanceClock(2000);
  settle();
  std::printf("click lands on: %d\n", s.selection->start);

  vtextSetSelectionRange(s.text, s.selection, 7679, 7679);
  vtextviewClassOf(v)->showSelection(v, 24);
  settle();
  win::test::Image image = redrawnWhole(w);
  const int caretX = v->caret.x;
  auto ink = [&](int from, int to) {
    int n = 0;
    for (int y = kHeight - (a.y + a.height); y < kHeight - (a.y + a.height) + info.height; ++y)
      for (int x = std::max(from, 0); x < std::min(to, image.width); ++x)
        if ((image.px[std::size_t(y * image.width + x)] & 0xFFFFFF) != 0xFFFFFF) ++n;
    return n;
  };
  std::printf("drawn up to the caret: %d; the last digit after it: %d\n", ink(caretX - 60, caretX - 1) > 0,
              ink(caretX + 2, caretX + 2 + int(step >> 16)) > 0);
  bool ok = win::test::WritePng(path, image);
  // Ten digits take a whole number of pixels here: the row near the end
  // looks as the row near the start does, scrolled by the same remainder.
  const vtextX period = 10 * step;
  if ((period & 0xFFFF) == 0) {
    const int scrolled = v->scrollX, remainder = int(scrolled % (period >> 16));
    vtextviewClassOf(v)->scrollTo(v, 1, remainder);
    settle();
    win::test::Image startImage = redrawnWhole(w);
    bool same = true;
    for (int y = kHeight - (a.y + a.height); y < kHeight - (a.y + a.height) + info.height; ++y)
      for (int x = a.x; x < a.x + a.width; ++x)
        if (std::abs(x - caretX) > 1 && image.px[std::size_t(y * image.width + x)] != startImage.px[std::size_t(y * image.width + x)])
          same = false;
    std::printf("the row at x %d drawn as at x %d: %d\n", scrolled, remainder, same);
  }
  release(s);
  finish(w);
  return ok ? 0 : 1;
}

// A view with both bars over a 3,000-character line among short ones:
// the caret at the line's end scrolls the view past 20,479 as far as the
// view's maximum, and the horizontal bar follows: its value is ScrollX,
// its last value the view's maximum, its left arrow steps back from there
// by its increment, and its thumb is drawn where a whole redraw puts it.
int barReach() {
  win::UseVirtualClock(true);
  vwindow* w = probehost::host(kWidth, kHeight);
  std::string chars = "a short line\n";
  for (int i = 0; i < 300; ++i) chars += "0123456789";
  chars += "\nanother short line\n";
  Shown s = addView(w, {10, 10, 340, 180}, chars.c_str(), true);
  open(w);
  vdialogItemListSetFocusItem(listOf(w), s.view);
  settle();
  vtextview* v = s.view;
  vslider* bar = v->horzBar;
  auto report = [&](const char* what) {
    win::test::Image after = win::test::WindowImage(w->native->hwnd);
    std::printf("%s: bar value is ScrollX: %d; bar's last value the view's maximum: %d; as a whole redraw: %d\n", what,
                bar->value == v->scrollX, std::int64_t(bar->max) - bar->view == _vtextviewMaxScrollX(v),
                after.px == redrawnWhole(w).px);
  };
  report("short lines in view");
  const std::int32_t end = 13 + 3000;
  vtextSetSelectionRange(s.text, s.selection, end, end);
  vtextviewClassOf(v)->showSelection(v, 24);
  settle();
  const vrect a = *vtextviewGetTextArea(v);
  std::printf("end of the line: ScrollX past 20,479: %d, within the view's maximum: %d; caret inside the area: %d\n",
              v->scrollX > 20479, v->scrollX <= _vtextviewMaxScrollX(v), v->caret.x >= a.x && v->caret.x < a.x + a.width);
  report("end of the line");
  const std::int32_t before = v->scrollX;
  // The left arrow: at the bar's left end, or in Open Look on the elevator.
  const bool elevator = vlafGetCurrent()->id == vlafOPEN_LOOK;
  win::POINT p{elevator ? bar->indicator.x + 7 : bar->rect.x + 4, kHeight - 1 - (bar->rect.y + bar->rect.height / 2)};
  win::ClientToScreen(w->native->hwnd, &p);
  win::test::Click(p);
  settle();
  std::printf("left arrow: ScrollX back by the bar's step: %d\n", v->scrollX == before - bar->increment);
  report("left arrow");
  vtextviewClassOf(v)->scrollTo(v, 1, INT32_MAX);
  settle();
  std::printf("scrolled to the far right: ScrollX is the view's maximum: %d\n", v->scrollX == _vtextviewMaxScrollX(v));
  report("far right");
  release(s);
  finish(w);
  win::UseVirtualClock(false);
  return 0;
}

int probeMain(int argc, char** argv) {
  // "blink S": the preference is in place before the start-up builds the view class.
  if (argc > 2 && std::string(argv[argc - 2]) == "blink")
    vprefSetString(vprefGetDefaultDict(), vscribeLiteral("caretblinkinterval"), argv[argc - 1]);
  vwidgetsStartup(argc, argv);
  int count = 0;
  char** args = nullptr;
  vprefGetArgs(&count, &args);
  std::string mode = count > 1 ? args[1] : "";
  int status = 2;
  if (mode == "shots" && count > 2) status = shots(args[2]);
  else if (mode == "lineend") status = lineEnd();
  else if (mode == "redraw") status = redraw();
  else if (mode == "blink") status = blink();
  else if (mode == "scroll") status = scroll();
  else if (mode == "paging") status = paging();
  else if (mode == "barreach") status = barReach();
  else if (mode == "longline" && count > 2) status = longLine(args[2]);
  else if (mode == "keys") status = keys();
  else if (mode == "clipboard") status = clipboard();
  else if (mode == "motion") status = motion();
  else if (mode == "edits") status = edits();
  else if (mode == "undo") status = undo();
  else if (mode == "mouse") status = mouse();
  else if (mode == "offscreen") status = offscreen();
  else if (mode == "textitem") status = textitem();
  else if (mode == "value") status = value();
  else if (mode == "items" && count > 2) status = items(args[2]);
  else if (mode == "displays" && count > 2) status = displays(args[2]);
  else if (mode == "scenario" && count > 2) status = scenario(args[2]);
  else std::fprintf(stderr, "usage: textview_probe [-laf LOOK] shots OUT|redraw|blink\n");
  std::fflush(stdout);
  return status;
}

int main(int argc, char** argv) { vsysMain(argc, argv, probeMain); }
