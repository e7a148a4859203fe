// What the list view tests share: a recording class (window operations
// traced instead of carried out), a fixture of an open 200 x 100 view
// over a list of 50 x 20 cells, pointer events and the simulated clock.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "fw/core/event.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/lists/listview.h"
#include "tests/fw/widgets/dialog_support.h"

namespace lvtest {

inline std::vector<std::string> trace;

inline std::string rectText(const vrect& r) {
  return std::to_string(r.x) + "," + std::to_string(r.y) + " " + std::to_string(r.width) + "x" +
         std::to_string(r.height);
}

// The class with the window operations recorded instead of carried out.
inline vlistviewClassRec* recordingClass() {
  static vlistviewClassRec* c = [] {
    auto* r = vclassSpawnOf<vlistviewClassRec>(vlistviewGetDefaultClass());
    vclassSetName(r, vscribeLiteral("vlistviewRecorded"));
    r->invalRect = [](vdialogItem*, const vrect* rect, int) { trace.push_back("inval " + rectText(*rect)); };
    r->scrollRect = [](vdialogItem*, const vrect* rect, int dx, int dy, int) {
      trace.push_back("scroll " + rectText(*rect) + " by " + std::to_string(dx) + "," + std::to_string(dy));
    };
    r->scrolledBy = [](vlistview*, std::int32_t dx, std::int32_t dy) {
      trace.push_back("scrolled " + std::to_string(dx) + "," + std::to_string(dy));
    };
    return r;
  }();
  return c;
}

// A view of 200 x 100 at (0, 0) without a frame over a list of rows x columns, cells of
// 50 x 20 (inner 48 x 18 with the Windows cell border of 1), open.
struct Fixture {
  vlist* list;
  vlistview* view;
  Fixture(int rows, int columns, bool open = true, vlist* model = nullptr) {
    startDialogItemTests();
    list = model ? model : vlistCreate();
    vlistSetRowCount(list, rows);
    vlistSetColumnCount(list, columns);
    view = static_cast<vlistview*>(vinstanceCreate(recordingClass()));
    vlistviewSetList(view, list);
    vdialogSetItemBorder(view, 0);  // no frame: the content is the whole view
    vlistviewSetColumnWidth(view, vlistsizeALL_COLUMNS, 48);
    vlistviewSetRowHeight(view, vlistsizeALL_ROWS, 18);
    vrect r{0, 0, 200, 100};
    vdialogSetItemRect(view, &r);
    if (open) vdialogOpenItem(view);
    trace.clear();
  }
  ~Fixture() {
    vinstanceDestroy(view);
    vinstanceDestroy(list);
  }
  std::string range() const {
    return std::to_string(view->firstRow) + "," + std::to_string(view->firstColumn) + ".." +
           std::to_string(view->lastRow) + "," + std::to_string(view->lastColumn) + " at " +
           std::to_string(view->originX) + "," + std::to_string(view->originY);
  }
  std::string cellAt(int x, int y) const {
    std::int32_t row = -9, column = -9;
    vlistviewFindCellAtPoint(view, x, y, &row, &column);
    return std::to_string(row) + "," + std::to_string(column);
  }
};

// ---- The pointer and keys. Cell (r, c) has its middle at (50c + 25, 90 - 20r).
inline int cx(int column) { return 50 * column + 25; }
inline int cy(int row) { return 90 - 20 * row; }

inline void send(vlistview* v, int (*slot)(vdialogItem*, vevent*), vevent* e, vname binding = nullptr) {
  if (binding) veventSetBinding(e, binding);
  slot(v, e);
  veventDestroy(e);
}
inline void press(vlistview* v, int x, int y, vname binding = vname_Select, int clicks = 1) {
  send(v, vlistviewClassOf(v)->buttonDown, veventCreateButtonDown(nullptr, x, y, 0, 1, clicks, 1), binding);
}
inline void drag(vlistview* v, int x, int y) {
  send(v, vlistviewClassOf(v)->motion, veventCreateMotion(nullptr, x, y, 0, 1, 0));
}
inline void release(vlistview* v, int x, int y) {
  send(v, vlistviewClassOf(v)->buttonUp, veventCreateButtonUp(nullptr, x, y, 0, 0, 1, 1));
}
inline std::string selected(vlistview* v) {
  std::string out;
  for (std::int32_t r = 0; r < vlistGetRowCount(v->list); ++r)
    for (std::int32_t c = 0; c < vlistGetColumnCount(v->list); ++c)
      if (vlistIsCellSelected(v->list, v->selection, r, c)) out += std::to_string(r) + std::to_string(c) + " ";
  return out;
}
// The event loop on the simulated clock for so many nanoseconds.
inline void runFor(std::int64_t ns) {
  vevent* stop = veventCreateClient(
      [](vevent*) {
        veventStopProcessing();
        return 1;
      },
      nullptr);
  veventPostDelayed(stop, 0, ns);
  veventProcess();
}
inline std::vector<int> notes;
inline void noteCode(vinstance*, int code) { notes.push_back(code); }

inline int selector(vlistview* v, int s) { return vobjectAttributedOf(v)->issueSelector(v, s, nullptr); }

}  // namespace lvtest
