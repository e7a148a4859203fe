// List views: the dialog item that shows a list model as a grid of cells
// laid out by a list-size object, with a scroll origin in grid pixels
// (y down) kept in step with the window's coordinates (y up), optional
// scroll bars, a focus cell and the one selection it shows.
//
// - `lists/listview.h`: `vlistview`, the dialog item that shows a list through one of its
//   selections. The grid (y down) is placed in the window (y up) by two numbers, the grid origin x
//   and the grid top, kept with the visible range at every scroll; scrolls move the window's pixels
//   and repaint the exposed strip unless the move is larger than the content. One press is tracked
//   in the process (its view is forgotten when destroyed, which stops the 10 ms scroll timer); a
//   drag builds the work selection and draws the differing cells at once, the release copies it into
//   the shown one. Keys reach the selectors through the class's key map (the dialog item's merged
//   with Return/Enter "Trigger Action" and the Shift+arrow extends). The observer moves the strip
//   behind inserted or deleted rows by scrolling (update mode 0) or invalidates it (mode 1), and
//   reports a client's change of the shown selection as begin (1) and end (3); while the list
//   suspends its updates (a sort) nothing is reported, then one begin and one end. A copy shows the
//   same list (the view never owns its list) with copies of its selections, bars and sizes.
#pragma once
#include <cstdint>

#include "fw/widgets/controls/slider.h"
#include "fw/widgets/dialog/item.h"
#include "fw/widgets/lists/list.h"
#include "fw/widgets/lists/listsize.h"

struct vlistview;
using vlistviewNotifyFunction = void (*)(vinstance* view, int code);
using vlistviewSelectionFunc = void (*)(vlistview* view, vlistSelection* selection);
// Draws one cell's content in the content rectangle (the cell less its
// border), which it leaves as it found it.
using vlistviewCellDrawer = void (*)(vlistview* view, std::int32_t row, std::int32_t column, int selected,
                                     vrect* content);

// View state bits.
enum : std::uint32_t {
  vlistviewBARS_STALE = 0x2,
  vlistviewRANGE_STALE = 0x4,
  vlistviewSILENT = 0x800,
  vlistviewCONTENT_STALE = 0x1000,
  vlistviewNO_DRAWING = 0x2000,
  vlistviewFIT_HEIGHT = 0x10000,
  vlistviewFIT_WIDTH = 0x20000,
  vlistviewREPORT_STEPS = 0x200000,
  vlistviewAUTO_VSCROLL = 0x400000,
};
// Option bits.
enum : std::uint32_t {
  vlistviewAUTO_SCROLL = 0x1,
  vlistviewWRAP = 0x4,
  vlistviewADJUST_REMOVES = 0x8,
  vlistviewTYPE_AHEAD = 0x10,
  vlistviewFRAME = 0x20,
  vlistviewGRAB = 0x40,
  vlistviewADDITIVE = 0x80,
  vlistviewMOVE_ROWS = 0x100,
  vlistviewMOVE_COLUMNS = 0x200,
  vlistviewFOCUS_SHOWN = 0x400,
  vlistviewMARGIN_SET = 0x8000,
  vlistviewHLINES = 0x10000,
  vlistviewVLINES = 0x20000,
};
// Scroll modes.
enum : std::int16_t { vlistviewSCROLL_REPAINT = 1, vlistviewSCROLL_NONE = 2 };

struct vlistview : vdialogItem {
  vrect content;
  std::int16_t scrollMode;
  std::int16_t partialLastRow;
  std::int16_t updateMode;
  std::int32_t firstRow, firstColumn, lastRow, lastColumn;
  std::int16_t hOffset, vOffset;
  std::int32_t focusRow, focusColumn;
  std::uint32_t options;
  std::uint32_t state;
  std::uint32_t attributes;
  std::int32_t originX, originY;    // requested, grid pixels
  std::int32_t appliedX, appliedY;  // last applied to the window
  std::int32_t margin;
  std::int32_t gridX, gridTop;  // window x of the grid's left, y of its top
  vlistsize* size;
  vlist* list;
  vlistObserver* observer;
  vslider* hbar;
  vslider* vbar;
  vlistSelection* selection;
  vlistSelection* oldSelection;
  vlistSelection* pendingSelection;
  vlistviewNotifyFunction notify;
  vlistviewSelectionFunc selectionCallback;
  vlistviewCellDrawer cellDrawer;
  // Set while the observer replays the begin (0x1) or the end (0x2) of a
  // selection change, so that neither repeats.
  std::uint8_t notifyGuard;
  std::int32_t anchorRow, anchorColumn;  // where the last press began
};

struct vlistviewClassRec : vdialogItemClassRec {
  void (*scrollTo)(vlistview* view, std::int32_t x, std::int32_t y);
  void (*scrolledBy)(vlistview* view, std::int32_t dx, std::int32_t dy);
  void (*cellForPosition)(vlistview* view, int a, int b, std::int32_t* row, std::int32_t* column);
  void (*setHorizontalBar)(vlistview* view, int on);
  void (*setVerticalBar)(vlistview* view, int on);
  void (*setRowHeight)(vlistview* view, std::int32_t row, std::int32_t height);
  void (*setColumnWidth)(vlistview* view, std::int32_t column, std::int32_t width);
  void (*setScrollBarMargin)(vlistview* view, std::int32_t margin);
  // Left, right, bottom and top insets of the frame.
  void (*getInsets)(vlistview* view, int* left, int* right, int* bottom, int* top);
  void (*setSize)(vlistview* view, vlistsize* size);
  void (*setList)(vlistview* view, vlist* list);
  void (*setSelection)(vlistview* view, vlistSelection* selection);
  // Drawing by look: the frame around a rectangle; a cell's background
  // (leaving the label colour set), content, selection emphasis, grid
  // lines and focus (row -1: no cell, the content rectangle given).
  void (*drawFrame)(vlistview* view, const vrect* rect);
  void (*fillCell)(vlistview* view, std::int32_t row, std::int32_t column, int selected, const vrect* rect);
  void (*drawCell)(vlistview* view, std::int32_t row, std::int32_t column, int selected, vrect* content);
  void (*drawSelectedCell)(vlistview* view, std::int32_t row, std::int32_t column, const vrect* rect);
  void (*drawFocusCell)(vlistview* view, std::int32_t row, std::int32_t column, const vrect* rect);
  void (*drawGrid)(vlistview* view, std::int32_t row, std::int32_t column, const vrect* rect);
  // The last cell's right and bottom edges; 15 x 15 without cells.
  void (*contentSize)(vlistview* view, int* width, int* height);
  // The look's default cell drawer; null for an unknown look.
  vlistviewCellDrawer (*defaultCellDrawer)();
  std::int16_t cellBorder, step, frameWidth;
  // The drop mark of a row (option 0x100) or column being dragged, moved
  // from the old index (-1: none shown) to the new one.
  void (*drawMoveMarker)(vlistview* view, std::int32_t oldIndex, std::int32_t newIndex);
  // The global hook first, then the view's notify function when it is
  // open and not silenced.
  void (*notifyView)(vlistview* view, int code);
  void (*setFocusShown)(vlistview* view, int on);
  void (*setHorizontalLines)(vlistview* view, int on);
  void (*setVerticalLines)(vlistview* view, int on);
};

inline vlistviewClassRec* vlistviewClassOf(const vlistview* v) { return vclassRec<vlistviewClassRec>(v); }
vlistviewClassRec* vlistviewGetDefaultClass();
vlistview* vlistviewCreate();
// The start-up row: the observer class first, then the class.
void _vlistviewStartupClasses();

inline void vlistviewSetList(vlistview* v, vlist* l) { vlistviewClassOf(v)->setList(v, l); }
inline void vlistviewSetSelection(vlistview* v, vlistSelection* s) { vlistviewClassOf(v)->setSelection(v, s); }
inline void vlistviewSetRowHeight(vlistview* v, std::int32_t row, std::int32_t h) {
  vlistviewClassOf(v)->setRowHeight(v, row, h);
}
inline void vlistviewSetColumnWidth(vlistview* v, std::int32_t column, std::int32_t w) {
  vlistviewClassOf(v)->setColumnWidth(v, column, w);
}
inline void vlistviewSetHorizontalBar(vlistview* v, int on) { vlistviewClassOf(v)->setHorizontalBar(v, on); }
inline void vlistviewSetVerticalBar(vlistview* v, int on) { vlistviewClassOf(v)->setVerticalBar(v, on); }
inline void vlistviewSetScrollBarMargin(vlistview* v, std::int32_t m) {
  vlistviewClassOf(v)->setScrollBarMargin(v, m);
}
void vlistviewSetScrollMode(vlistview* view, int mode);
void vlistviewSetNotify(vlistview* view, vlistviewNotifyFunction notify);
inline void vlistviewSetSelectionCallback(vlistview* v, vlistviewSelectionFunc f) { v->selectionCallback = f; }
// Called before every view's notify function, with the view and the code.
void vlistviewSetGlobalNotify(vlistviewNotifyFunction hook);
inline void vlistviewNotify(vlistview* v, int code) { vlistviewClassOf(v)->notifyView(v, code); }
// 2 while "Trigger Action" notifies this view, else 0.
int vlistviewGetNotifyMode(const vlistview* view);
// Update modes: rows or columns inserted or deleted move the drawn cells
// (0) or only invalidate them (1).
inline void vlistviewSetUpdateMode(vlistview* v, int mode) { v->updateMode = std::int16_t(mode); }
// Option bits on or off; the range-extension mode (0 none, 1 rows can
// be dragged to a new place, 2 columns).
void vlistviewSetOptions(vlistview* view, std::uint32_t bits, int on);
void vlistviewSetRangeExtension(vlistview* view, int mode);
inline void vlistviewSetFocusShown(vlistview* v, int on) { vlistviewClassOf(v)->setFocusShown(v, on); }
inline void vlistviewSetHorizontalLines(vlistview* v, int on) { vlistviewClassOf(v)->setHorizontalLines(v, on); }
inline void vlistviewSetVerticalLines(vlistview* v, int on) { vlistviewClassOf(v)->setVerticalLines(v, on); }
inline void vlistviewSetCellDrawer(vlistview* v, vlistviewCellDrawer d) { v->cellDrawer = d; }

// Geometry and scrolling (window coordinates, y up).
// A cell far outside the window keeps its size and stands at the 16-bit
// limit it lies beyond: it never wraps back into view.
void vlistviewGetCellRect(vlistview* view, std::int32_t row, std::int32_t column, vrect* out);
// The same rectangle in 32 bits, for cells that may lie far outside the window.
void vlistviewGetCellLongRect(vlistview* view, std::int32_t row, std::int32_t column, vrectLong* out);
void vlistviewGetCellInnerRect(vlistview* view, std::int32_t row, std::int32_t column, vrect* out);
std::int32_t vlistviewGetCellInnerSize(vlistview* view, std::int32_t column);
std::int32_t vlistviewGetCellInnerHeight(vlistview* view, std::int32_t row);
void vlistviewInvalCell(vlistview* view, std::int32_t row, std::int32_t column);
void vlistviewInvalRow(vlistview* view, std::int32_t row);
void vlistviewInvalColumn(vlistview* view, std::int32_t column);
void vlistviewFindCellAtPoint(vlistview* view, int x, int y, std::int32_t* row, std::int32_t* column);
void vlistviewScrollBy(vlistview* view, std::int32_t rows, std::int32_t columns);
void vlistviewScrollToCell(vlistview* view, std::int32_t row, std::int32_t column);
void vlistviewScrollToSelection(vlistview* view);
void vlistviewScrollByPixels(vlistview* view, std::int32_t dy, std::int32_t dx);
// The second form: to (origin x - a, origin y + b).
void vlistviewScrollByPixelsAB(vlistview* view, std::int32_t a, std::int32_t b);
void vlistviewFitCellSize(vlistview* view);
// The click count of the press being handled when the view is the one
// tracked, else 0.
int vlistviewGetClickCount(vlistview* view);
// Focus: moved by a step (wrapping with the option, passing over hidden
// rows and columns), set (a one-only selection follows), moved by an
// arrow (0 left, 1 up, 2 right, 3 down) scrolling just enough.
void vlistviewMoveFocus(vlistview* view, std::int32_t drows, std::int32_t dcolumns);
void vlistviewSetFocusCell(vlistview* view, std::int32_t row, std::int32_t column);
void vlistviewArrowMove(vlistview* view, int direction);
// One typed character of the type-ahead search.
void vlistviewTypeAhead(vlistview* view, int character);
// Empties the type-ahead buffer, as a press or its timer does.
void _vlistviewClearTypeAhead();
void _vlistviewSetAutoVScroll(vlistview* view, int on);
void _vlistviewSetFlag21(vlistview* view, int on);
void _vlistviewSetScrollOrigin(vlistview* view, const vrect* content, std::int32_t x, std::int32_t y);
void _vlistviewUpdateScrollBars(vlistview* view);
void _vlistviewUpdateAutoVScroll(vlistview* view);
void _vlistviewGetFirstFullCell(vlistview* view, std::int32_t* row, std::int32_t* column);
void _vlistviewGetContentRect(vlistview* view, vrect* out);
// The press being tracked (a view, its click count), for the pointer
// handling; a destroyed view is forgotten.
void _vlistviewTrackPress(vlistview* view, int clickCount);
void _vlistviewEndPress();
