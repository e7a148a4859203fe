// List views in one look, for the tests that run each look in a process
// of its own:
//   listview_probe [-laf LOOK] cells OUT   two 3 x 3 views with grid lines: one
//                                          with a selected cell and the focus
//                                          shown, one in the middle of a drag
//   listview_probe [-laf LOOK] pixels      exact pixels of 2 x 2 views: the frame
//                                          colours, where labels start, the focus
//                                          of an empty list and the disabled
//                                          Windows labels; prints what differs
//   listview_probe [-laf LOOK] tall        lists past 32,767 and 65,535 pixels:
//                                          every whole visible row labelled at
//                                          the top, middle and end; prints what
//                                          differs
//   listview_probe [-laf LOOK] wide        a column and a row of 70,000 pixels
//                                          scrolled to their middle and near
//                                          their far edge, against ones of
//                                          20,000 scrolled alike; prints what
//                                          differs
//   listview_probe [-laf LOOK] bars OUT    a whole view with both scroll bars, a
//                                          selection, the focus and a row being
//                                          dragged with its drop mark
#include <cstdio>
#include <string>
#include <vector>

#include "fw/core/event.h"
#include "fw/core/sys.h"
#include "fw/data/pref.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/window.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/dialog/itemlist.h"
#include "fw/widgets/lists/liststr.h"
#include "fw/widgets/lists/listview.h"
#include "fw/widgets/look/laf.h"
#include "fw/widgets/startup.h"
#include "platform/win/test.h"

namespace {

void settle() {
  veventMSWDrainMessages();
  veventProcessPending(1, 0);
}
vdialogItemList* listOf(vwindow* w) { return static_cast<vdialogItemList*>(w->data); }

vwindowClassRec* hostClass() {
  static vwindowClassRec* c = [] {
    auto* r = vclassSpawnOf<vwindowClassRec>(vwindowGetDefaultClass());
    vclassSetName(r, vscribeLiteral("listviewHost"));
    r->draw = [](vwindow* w) {
      vwindowGetDefaultClass()->draw(w);
      if (vdialogItemList* l = listOf(w)) {
        vdrawGSave();
        vdialogItemListDraw(l);
        vdrawGRestore();
      }
    };
    return r;
  }();
  return c;
}

vwindow* host(int width, int height) {
  auto* w = static_cast<vwindow*>(vinstanceCreate(hostClass()));
  w->rect = {20, 20, std::int16_t(width), std::int16_t(height)};
  vdialogItemList* list = vdialogItemListCreate();
  vdialogItemListSetOwner(list, w, &vdialogItemListWindowOwner);
  w->data = list;
  return w;
}

void finish(vwindow* w) {
  vdrawBindPathDevice();
  vdialogItemList* list = listOf(w);
  vdialogItemListClassOf(list)->close(list);
  vwindowClose(w);
  vinstanceDestroy(list);
  vwindowDestroy(w);
}

vliststr* words(int rows, int columns) {
  vliststr* l = vliststrCreate();
  vlistSetRowCount(l, rows);
  vlistSetColumnCount(l, columns);
  static const char* names[] = {"alpha", "beta", "gamma", "delta", "eps", "zeta", "eta", "theta", "iota"};
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < columns; ++c) vliststrSetCellScribed(l, r, c, vscribeLiteral(names[(r * 3 + c) % 9]));
  return l;
}

vlistview* view(vwindow* w, vlist* list, vrect r) {
  vlistview* v = vlistviewCreate();
  vlistviewSetList(v, list);
  vlistviewSetColumnWidth(v, vlistsizeALL_COLUMNS, 40);
  vdialogSetItemRect(v, &r);
  v->options |= vlistviewHLINES | vlistviewVLINES | vlistviewFOCUS_SHOWN;
  vdialogItemListAppend(listOf(w), v);
  return v;
}

void drawAll(vwindow* w) {
  vdrawGSave();
  vdialogItemListSetDrawingState(listOf(w));
  vdrawInitDeviceClip();
  vdialogItemListDraw(listOf(w));
  vdrawGRestore();
}

// Opens the window with the focus on one view.
void showFocused(vwindow* w, vlistview* focused) {
  vdialogItemListClassOf(listOf(w))->open(listOf(w));
  vwindowOpen(w);
  settle();
  vdialogItemListClassOf(listOf(w))->activateFocus(listOf(w));
  vdialogItemListSetFocusItem(listOf(w), focused);
  settle();
}

// A press on one cell carried to another and held, the window drawn and
// written, then the release; false when the picture was not written.
bool heldDragPicture(vwindow* w, vlistview* v, vname button, int fromRow, int fromColumn, int toRow, int toColumn,
                    const char* path) {
  vrect from, to;
  vlistviewGetCellRect(v, fromRow, fromColumn, &from);
  vlistviewGetCellRect(v, toRow, toColumn, &to);
  vevent* e = veventCreateButtonDown(w, from.x + 3, from.y + 3, 0, 1, 1, 0);
  veventSetBinding(e, button);
  vdialogItemClassOf(v)->buttonDown(v, e);
  veventDestroy(e);
  e = veventCreateMotion(w, to.x + 3, to.y + 3, 0, 1, 0);
  vdialogItemClassOf(v)->motion(v, e);
  veventDestroy(e);
  drawAll(w);
  bool ok = win::test::WritePng(path, win::test::WindowImage(w->native->hwnd));
  e = veventCreateButtonUp(w, to.x + 3, to.y + 3, 0, 0, 1, 0);
  vdialogItemClassOf(v)->buttonUp(v, e);
  veventDestroy(e);
  return ok;
}

int cells(const char* path) {
  vwindow* w = host(300, 120);
  vliststr* a = words(3, 3);
  vliststr* b = words(3, 3);
  vlistview* still = view(w, a, {10, 10, 140, 100});
  vlistview* dragged = view(w, b, {155, 10, 140, 100});
  vlistSelectRange(a, still->selection, 1, 1, 1, 1);
  still->focusRow = 2, still->focusColumn = 0;
  showFocused(w, still);
  // A Select press on (0, 0) dragged to (1, 2), still held.
  bool ok = heldDragPicture(w, dragged, vname_Select, 0, 0, 1, 2, path);
  if (!vdialogItemIsActive(still)) std::printf("focus not shown\n");
  finish(w);
  vinstanceDestroy(a);
  vinstanceDestroy(b);
  return ok ? 0 : 1;
}

// ---- Exact pixels. Window y grows upward; image rows go down.
std::vector<std::string> failures;
void fail(const std::string& what) { failures.push_back(what); }

std::uint32_t rgb(vcolor* c) {
  unsigned r = 0, g = 0, b = 0;
  vcolorGetSpecRGB(&c->desc, &r, &g, &b);
  return (r >> 8) << 16 | (g >> 8) << 8 | (b >> 8);
}
vcolor* makeColor(unsigned r, unsigned g, unsigned b) {
  vcolorSpec s;
  vcolorInitSpec(&s);
  vcolorSetSpecRGB(&s, r * 257, g * 257, b * 257);
  return vcolorInternSpec(&s);
}

struct Picture {
  win::test::Image image;
  int height;
  std::uint32_t at(int x, int y) const {
    int row = height - 1 - y;
    if (x < 0 || row < 0 || x >= image.width || row >= image.height) return 0xFFFFFFFF;
    return image.px[std::size_t(row * image.width + x)] & 0xFFFFFF;
  }
};
Picture snap(vwindow* w) {
  drawAll(w);
  return {win::test::WindowImage(w->native->hwnd), w->rect.height};
}
std::string hex(std::uint32_t v) {
  char t[16];
  std::snprintf(t, sizeof t, "%06X", v);
  return t;
}
void expectPixel(const Picture& p, int x, int y, vcolor* c, const std::string& what) {
  if (p.at(x, y) != rgb(c)) fail(what + " at " + std::to_string(x) + "," + std::to_string(y) + ": " + hex(p.at(x, y)) + " not " + hex(rgb(c)));
}

// The colours of the scheme list a look's frame uses.
vcolor* scheme(vlistview* v, int index) {
  vcolor* c = nullptr;
  vdialogGetItemSchemeColors(v, 0, nullptr, &index, 1, &c);
  return c;
}
enum { kFg = 0, kBg = 2, kTop = 4, kBottom = 6, kFocus = 18, kTopDark = 20, kBottomDark = 22 };

// The first column of ink at or right of x along the cell's middle row.
int firstInk(const Picture& p, const vrect& cell, vcolor* background) {
  for (int x = cell.x; x < cell.x + cell.width; ++x)
    for (int y = cell.y; y < cell.y + cell.height; ++y)
      if (p.at(x, y) != rgb(background)) return x;
  return -1;
}
// The longest vertical run of ink in the rectangle, and whether every ink
// pixel has the colour given.
int longestRun(const Picture& p, const vrect& r, vcolor* background) {
  int best = 0;
  for (int x = r.x; x < r.x + r.width; ++x)
    for (int y = r.y, run = 0; y < r.y + r.height; ++y)
      best = std::max(best, run = p.at(x, y) != rgb(background) ? run + 1 : 0);
  return best;
}
bool inkIs(const Picture& p, const vrect& r, vcolor* background, vcolor* ink) {
  bool any = false;
  for (int x = r.x; x < r.x + r.width; ++x)
    for (int y = r.y; y < r.y + r.height; ++y)
      if (p.at(x, y) != rgb(background)) {
        any = true;
        if (p.at(x, y) != rgb(ink)) return false;
      }
  return any;
}

int pixels() {
  int look = vlafGetCurrent()->id;
  bool threeD = (vlafGetCurrent()->flags & vlaf3D) != 0;
  vwindow* w = host(300, 120);
  vliststr* a = words(2, 2);
  for (int r = 0; r < 2; ++r)
    for (int c = 0; c < 2; ++c) vliststrSetCellScribed(a, r, c, vscribeLiteral("l"));
  vliststr* none = words(0, 0);
  vliststr* dim = words(1, 1);
  vliststrSetCellScribed(dim, 0, 0, vscribeLiteral("l"));
  vlistview* framed = view(w, a, {10, 10, 90, 60});
  framed->options &= ~(vlistviewHLINES | vlistviewVLINES | vlistviewFOCUS_SHOWN);
  vlistview* empty = view(w, none, {110, 10, 60, 60});
  vlistview* disabled = view(w, dim, {180, 10, 60, 40});
  disabled->options &= ~(vlistviewHLINES | vlistviewVLINES | vlistviewFOCUS_SHOWN);
  vdialogDisableItem(disabled);
  vliststr* column = words(3, 1);
  vlistview* single = view(w, column, {245, 10, 50, 70});
  single->options &= ~(vlistviewHLINES | vlistviewVLINES | vlistviewFOCUS_SHOWN);
  vlistSelectRange(column, single->selection, 1, 0, 1, 1);
  showFocused(w, empty);
  Picture p = snap(w);

  // The frame: the first colour on the top and left, the second on the
  // bottom and right; CUA and Win95 add an inner ring.
  const vrect& r = framed->rect;
  const vrect& k = framed->content;
  int mid = k.y + k.height / 2;
  struct Ring {
    int inset;  // from the item's rectangle
    vcolor *first, *second;
  };
  std::vector<Ring> rings;
  int f = vlistviewClassOf(framed)->frameWidth;
  switch (look) {
    case vlafWINDOWS:
      if (threeD) rings.push_back({0, scheme(framed, kBottom), scheme(framed, kTop)});
      else rings.push_back({0, vdialogGetItemColor(framed, 16), vdialogGetItemColor(framed, 16)});
      break;
    case vlafMOTIF: rings.push_back({0, scheme(framed, kBottom), scheme(framed, kTop)}); break;
    case vlafOPEN_LOOK:
      if (threeD) rings.push_back({0, scheme(framed, kBottom), scheme(framed, kTop)});
      else rings.push_back({0, scheme(framed, kFg), scheme(framed, kFg)});
      break;
    case vlafCUA: {
      int d = int(vdialogDetermineItemInset(framed));
      rings.push_back({0, scheme(framed, kBottom), scheme(framed, kTop)});
      rings.push_back({d, scheme(framed, kTop), scheme(framed, kBottom)});
      break;
    }
    case vlafWIN95:
      rings.push_back({0, scheme(framed, kBottom), scheme(framed, kTop)});
      rings.push_back({1, scheme(framed, kBottomDark), scheme(framed, kTopDark)});
      break;
  }
  if (look != vlafWIN95 && (k.x != r.x + f || k.width != r.width - 2 * f)) fail("content not inset by the frame border");
  if (look == vlafWIN95 && (k.x != r.x + f || k.y != r.y + f)) fail("Win95 content not inset by its frame");
  for (const Ring& g : rings) {
    int top = r.y + r.height - 1 - g.inset;
    expectPixel(p, r.x + g.inset, mid, g.first, "frame left");
    expectPixel(p, r.x + r.width / 2, top, g.first, "frame top");
    expectPixel(p, r.x + r.width - 1 - g.inset, mid, g.second, "frame right");
    expectPixel(p, r.x + r.width / 2, r.y + g.inset, g.second, "frame bottom");
  }

  // Labels start 5 pixels into the cell in every look, clear of a focus
  // frame on the cell's edge (CUA's dashed one).
  vrect inner;
  vlistviewGetCellInnerRect(framed, 0, 1, &inner);
  int ink = firstInk(p, inner, scheme(framed, kBg)) - inner.x;
  if (ink < 5 || ink > 7)
    fail("label starts " + std::to_string(ink) + " pixels into the cell");

  // The focus of a list without cells: inside the content by one pixel in
  // Foreground, dashed on the content itself in CUA, none in Open Look.
  const vrect& e = empty->content;
  int emid = e.y + e.height / 2;
  switch (look) {
    case vlafWINDOWS: case vlafMOTIF: case vlafWIN95:
      expectPixel(p, e.x + 1, emid, vdialogGetItemColor(empty, 0), "empty focus");
      expectPixel(p, e.x, emid, vdialogGetItemColor(empty, 2), "outside the empty focus");
      break;
    case vlafCUA:
      if (p.at(e.x, emid) != rgb(vdialogGetItemColor(empty, 18)) && p.at(e.x, emid + 1) != rgb(vdialogGetItemColor(empty, 18)))
        fail("no dashed CUA focus on the content edge");
      if (p.at(e.x, emid) == p.at(e.x, emid + 1)) fail("CUA focus not dashed");
      break;
    case vlafOPEN_LOOK: expectPixel(p, e.x + 1, emid, vdialogGetItemColor(empty, 2), "Open Look focus"); break;
  }

  // The drop mark of row 1 across the cells of a list whose last row
  // shows: its ends open in the middle, its long sides whole.
  for (int r = 0; r < 2; ++r)
    for (int c = 0; c < 2; ++c) vliststrSetCellScribed(a, r, c, vscribeLiteral(""));
  snap(w);
  framed->options |= vlistviewMOVE_ROWS;
  vlistviewClassOf(framed)->drawMoveMarker(framed, -1, 1);
  Picture mark{win::test::WindowImage(w->native->hwnd), w->rect.height};
  vrect band, first, last;
  vlistviewGetCellInnerRect(framed, 1, 0, &band);
  vlistviewGetCellInnerRect(framed, 0, 0, &first);
  vlistviewGetCellInnerRect(framed, 1, 1, &last);
  int lw = int(vdialogGetItemLineWidth(framed));
  int mx = first.x + lw, mw = last.x + last.width - first.x - 2 * lw, my = band.y + lw, mh = band.height - 2 * lw;
  std::uint32_t paper = rgb(scheme(framed, kBg));
  // A stroke along window y fills the pixel row below it.
  auto inked = [&](int x, int y) { return mark.at(x, y - 1) != paper; };
  if (!inked(mx + mw / 2, my) || !inked(mx + mw / 2, my + mh)) fail("drop mark sides missing");
  if (inked(mx, my + mh / 2) || inked(mx + mw, my + mh / 2)) fail("drop mark ends not open in the middle");
  if (!inked(mx, my + 1) || !inked(mx + mw, my + mh - 1)) fail("drop mark ends missing");
  if (inked(mx + mw / 2, my + mh + lw + 1) || inked(mx + mw / 2, my - lw - 1)) fail("drop mark beyond its band");
  framed->options &= ~vlistviewMOVE_ROWS;

  // In a one-column list the mark takes Background over a selected cell
  // under the pointer, Foreground over an unselected one.
  vlistviewSetRangeExtension(single, 1);
  snap(w);
  vrect row1, row2;
  vlistviewGetCellInnerRect(single, 1, 0, &row1);
  vlistviewGetCellInnerRect(single, 2, 0, &row2);
  vevent* ev = veventCreateButtonDown(w, row1.x + 2, row1.y + 2, 0, 1, 1, 0);
  veventSetBinding(ev, vname_Drag);
  vdialogItemClassOf(single)->buttonDown(single, ev);
  veventDestroy(ev);
  Picture over{win::test::WindowImage(w->native->hwnd), w->rect.height};
  ev = veventCreateMotion(w, row2.x + 2, row2.y + 2, 0, 1, 0);
  vdialogItemClassOf(single)->motion(single, ev);
  veventDestroy(ev);
  Picture off{win::test::WindowImage(w->native->hwnd), w->rect.height};
  ev = veventCreateButtonUp(w, row2.x + 2, row2.y + 2, 0, 0, 1, 0);
  vdialogItemClassOf(single)->buttonUp(single, ev);
  veventDestroy(ev);
  int slw = int(vdialogGetItemLineWidth(single));
  // The band's top side, in the pixel row below the stroke.
  expectPixel(over, row1.x + row1.width / 2, row1.y + row1.height - slw - 1, scheme(single, kBg), "mark over a selected cell");
  expectPixel(off, row2.x + row2.width / 2, row2.y + row2.height - slw - 1, scheme(single, kFg), "mark over an unselected cell");

  // Disabled Windows labels: stippled by the pattern under a black disabled
  // foreground, stippled and black when it equals the disabled background,
  // whole in the disabled foreground otherwise.
  if (look == vlafWINDOWS || look == vlafWIN95) {
    vapplication* app = vapplicationGetCurrent();
    auto* appClass = vapplicationClassOf(app);
    vcolor* red = makeColor(200, 0, 0);
    vcolor* grey = makeColor(128, 128, 128);
    vcolor* white = makeColor(255, 255, 255);
    struct Case {
      vcolor *foreground, *background;
      bool stippled;
      vcolor* ink;
    } cases[] = {{vcolorGetBlack(), white, true, vcolorGetBlack()},
                 {grey, grey, true, vcolorGetBlack()},
                 {red, white, false, red}};
    for (const Case& c : cases) {
      appClass->setSchemeColor(app, 1, c.foreground);
      appClass->setSchemeColor(app, 3, c.background);
      Picture q = snap(w);
      vrect cell;
      vlistviewGetCellInnerRect(disabled, 0, 0, &cell);
      vcolor* fill = scheme(disabled, 3);
      int run = longestRun(q, cell, fill);
      std::string name = "disabled " + hex(rgb(c.foreground)) + " on " + hex(rgb(c.background));
      if (c.stippled ? run != 1 : run < 4) fail(name + ": longest run " + std::to_string(run));
      if (!inkIs(q, cell, fill, c.ink)) fail(name + ": labels not in " + hex(rgb(c.ink)));
    }
  }
  for (const std::string& s : failures) std::printf("%s\n", s.c_str());
  finish(w);
  vinstanceDestroy(a);
  vinstanceDestroy(none);
  vinstanceDestroy(dim);
  vinstanceDestroy(column);
  return 0;
}

// ---- Lists taller than 16-bit coordinates reach: 22-pixel rows whose
// total height lies past 32,767 and past 65,535 pixels, at the top, the
// middle and the end; every whole visible row must show its label, and at
// the end a drop mark must show on its band.
int tall() {
  vwindow* w = host(200, 160);
  std::vector<vliststr*> lists;
  for (int count : {1600, 2100, 3100, 5003}) lists.push_back(words(count, 1));
  vlistview* v = view(w, lists[0], {10, 10, 180, 140});
  v->options &= ~(vlistviewHLINES | vlistviewVLINES | vlistviewFOCUS_SHOWN);
  vlistviewSetVerticalBar(v, 1);
  showFocused(w, v);
  for (vliststr* l : lists) {
    int count = vlistGetRowCount(l);
    vlistviewSetList(v, l);
    vlistviewSetRowHeight(v, vlistsizeALL_ROWS, 22 - 2 * vlistviewClassOf(v)->cellBorder);
    vcolor* paper = scheme(v, kBg);
    for (int at : {0, count / 2, count - 1}) {
      vlistviewScrollToCell(v, at, 0);
      Picture p = snap(w);
      std::string where = std::to_string(count) + " rows at " + std::to_string(at);
      if (at < v->firstRow || at > v->lastRow) fail(where + ": row not in the visible range");
      const vrect& k = v->content;
      int shown = 0;
      for (std::int32_t row = v->firstRow; row <= v->lastRow; ++row) {
        vrect cell;
        vlistviewGetCellInnerRect(v, row, 0, &cell);
        if (cell.y < k.y || cell.y + cell.height > k.y + k.height) continue;
        ++shown;
        if (firstInk(p, cell, paper) < 0) fail(where + ": row " + std::to_string(row) + " blank");
      }
      if (shown == 0) fail(where + ": no whole row");
    }
    // At the end the last cell is visible and the first lies far above.
    v->options |= vlistviewMOVE_ROWS;
    std::int32_t marked = v->lastRow - 1;
    Picture before = snap(w);
    vlistviewClassOf(v)->drawMoveMarker(v, -1, marked);
    Picture after{win::test::WindowImage(w->native->hwnd), w->rect.height};
    vrect band;
    vlistviewGetCellInnerRect(v, marked, 0, &band);
    bool changed = false;
    for (int y = band.y - 2; y <= band.y + band.height + 2; ++y)
      changed = changed || before.at(band.x + band.width / 2, y) != after.at(band.x + band.width / 2, y);
    if (!changed) fail(std::to_string(count) + " rows: no drop mark at the end");
    v->options &= ~vlistviewMOVE_ROWS;
  }
  for (const std::string& s : failures) std::printf("%s\n", s.c_str());
  finish(w);
  for (vliststr* l : lists) vinstanceDestroy(l);
  return 0;
}

// ---- Cells wider or taller than 16 bits hold: column 0 (or row 0) of
// 70,000 pixels scrolled to its middle and to 100 pixels before its far
// edge must draw in the content what one of 20,000 pixels scrolled alike
// draws, its selection, grid lines, focus and the labels beside it.
int wide() {
  vwindow* w = host(200, 160);
  vliststr* l = words(8, 3);
  vlistview* v = view(w, l, {10, 10, 180, 140});
  vlistviewSetHorizontalBar(v, 1);
  vlistviewSetVerticalBar(v, 1);
  vlistSelectRange(l, v->selection, 0, 0, 1, 1);
  v->focusRow = 0, v->focusColumn = 0;
  showFocused(w, v);
  int border = 2 * vlistviewClassOf(v)->cellBorder;
  auto shown = [&](bool column, std::int32_t size, std::int32_t at) {
    vlistviewSetColumnWidth(v, 0, column ? size - border : 40);
    vlistviewSetRowHeight(v, 0, column ? -1 : size - border);
    vlistviewClassOf(v)->scrollTo(v, column ? at : 0, column ? 0 : at);
    if ((column ? v->originX : v->originY) != at) fail("not scrolled to " + std::to_string(at));
    return snap(w);
  };
  struct Case {
    bool column;
    const char* where;
    std::int32_t before;  // from the far edge; 0: the middle
  } cases[] = {{true, "column middle", 0}, {true, "column end", 100}, {false, "row middle", 0}, {false, "row end", 60}};
  for (const Case& c : cases) {
    Picture far = shown(c.column, 70000, c.before ? 70000 - c.before : 35000);
    vrect cell, other;
    vlistviewGetCellRect(v, 0, 0, &cell);
    vlistviewGetCellRect(v, c.column ? 1 : 0, c.column ? 0 : 1, &other);
    Picture near = shown(c.column, 20000, c.before ? 20000 - c.before : 10000);
    const vrect& k = v->content;
    int differ = 0;
    for (int x = k.x; x < k.x + k.width; ++x)
      for (int y = k.y; y < k.y + k.height; ++y) differ += far.at(x, y) != near.at(x, y);
    if (differ) fail(std::string(c.where) + ": " + std::to_string(differ) + " pixels differ");
    // The selected cell shows, apart from the unselected one beside it.
    int mx = std::max<int>(cell.x, k.x) + 10, my = std::min<int>(cell.y + cell.height, k.y + k.height) - 10;
    int ox = std::max<int>(other.x, k.x) + 10, oy = std::min<int>(other.y + other.height, k.y + k.height) - 10;
    if (far.at(mx, my) == far.at(ox, oy)) fail(std::string(c.where) + ": the selected cell not drawn");
  }
  for (const std::string& s : failures) std::printf("%s\n", s.c_str());
  finish(w);
  vinstanceDestroy(l);
  return 0;
}

// A whole view with both bars, scrolled by one row, a selection, the
// focus and the drop mark of a row being dragged.
int bars(const char* path) {
  vwindow* w = host(220, 140);
  vliststr* l = words(12, 5);
  vlistview* v = view(w, l, {10, 10, 200, 120});
  vlistviewSetHorizontalBar(v, 1);
  vlistviewSetVerticalBar(v, 1);
  vlistviewSetRangeExtension(v, 1);
  vlistSelectRange(l, v->selection, 3, 1, 2, 2);
  v->focusRow = 4, v->focusColumn = 2;
  showFocused(w, v);
  vlistviewScrollBy(v, 1, 0);
  settle();
  bool ok = heldDragPicture(w, v, vname_Drag, 2, 0, 5, 0, path);
  finish(w);
  vinstanceDestroy(l);
  return ok ? 0 : 1;
}

int probeMain(int argc, char** argv) {
  vwidgetsStartup(argc, argv);
  int count = 0;
  char** args = nullptr;
  vprefGetArgs(&count, &args);
  std::string mode = count > 1 ? args[1] : "";
  int status = 2;
  if (mode == "cells" && count > 2) status = cells(args[2]);
  else if (mode == "pixels") status = pixels();
  else if (mode == "bars" && count > 2) status = bars(args[2]);
  else if (mode == "tall") status = tall();
  else if (mode == "wide") status = wide();
  else std::fprintf(stderr, "usage: listview_probe [-laf LOOK] cells OUT | pixels | tall | wide | bars OUT\n");
  std::fflush(stdout);
  _vdrawShutdown();
  return status;
}

}  // namespace

int main(int argc, char** argv) { vsysMain(argc, argv, probeMain); }
