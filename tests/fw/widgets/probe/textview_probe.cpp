// Text views in a program of their own per look (the classes, the caret
// timer and the look's colours are built once per process):
//   textview_probe [-laf LOOK] shots OUT   views with scroll bars, styles, a
//                                          selection and a caret, as a PNG
//   textview_probe [-laf LOOK] redraw      random edits: the window after
//                                          each equals a full redraw
//   textview_probe blink [S]               with "caretblinkinterval" S: the caret
//                                          period and its phases
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "fw/core/event.h"
#include "fw/core/sys.h"
#include "fw/core/timer.h"
#include "fw/data/pref.h"
#include "fw/data/vresource.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/window.h"
#include "fw/text/styleruns.h"
#include "fw/widgets/dialog/itemlist.h"
#include "fw/widgets/startup.h"
#include "fw/widgets/textview/textview.h"
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
  else if (mode == "redraw") status = redraw();
  else if (mode == "blink") status = blink();
  else if (mode == "scroll") status = scroll();
  else std::fprintf(stderr, "usage: textview_probe [-laf LOOK] shots OUT|redraw|blink\n");
  std::fflush(stdout);
  return status;
}

int main(int argc, char** argv) { vsysMain(argc, argv, probeMain); }
