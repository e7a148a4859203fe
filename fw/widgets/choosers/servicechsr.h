// The service chooser: asks the service broker for the services that match
// a filter and lists them as rows, one column per service attribute that
// the user shows through the View menu; OK hands the application a
// reference to the chosen service. A second dialog shows every attribute
// of the selected service. The shown columns and the dialog's size are
// kept in the preferences under "vservicechsr".
#pragma once
#include <cstdint>

#include "fw/core/dict.h"
#include "fw/services/session.h"
#include "fw/widgets/choosers/confirm.h"
#include "fw/widgets/controls/ruler.h"
#include "fw/widgets/lists/listview.h"
#include "fw/widgets/menus/menubar.h"

struct vservicechsr;
// Takes the reference to the chosen service.
using vservicechsrApplyFunc = int (*)(vservicechsr* chooser, vinstance* reference);

// The command selectors.
enum : int {
  vservicechsrSET_FILTER = 9,
  vservicechsrQUERY = 10,
  vservicechsrGET_INFO = 11,
  vservicechsrALL_ON = 12,
  vservicechsrALL_OFF = 13,
  vservicechsrTOGGLE = 14,  // one attribute's column
};

struct vservicechsr : vconfirm {
  vconfirm* info;
  vlist* list;  // every cell of row r holds service r
  vlistview* listView;
  vruler* ruler;  // one item per column: id the attribute's tag, title its name
  vmenubar* menuBar;
  vsession* session;  // to the broker while open
  vinstance** services;
  std::int32_t serviceCount;
  vinstance* filter;  // a dictionary scrap
  vdict attributeCommands;  // attribute tag -> toggle command
  std::int32_t rebuilding;
  std::int32_t dragColumn;
  vservicechsrApplyFunc apply;
};

struct vservicechsrClassRec : vconfirmClassRec {
  void (*query)(vservicechsr* chooser);
  void (*setApply)(vservicechsr* chooser, vservicechsrApplyFunc apply);
  void (*setFilter)(vservicechsr* chooser, vinstance* filter);  // consumed when taken
};

inline vservicechsrClassRec* vservicechsrClassOf(const vservicechsr* c) { return vclassRec<vservicechsrClassRec>(c); }
vservicechsrClassRec* vservicechsrGetDefaultClass();
vservicechsr* vservicechsrCreate();
inline void vservicechsrQuery(vservicechsr* c) { vservicechsrClassOf(c)->query(c); }
inline void vservicechsrSetApply(vservicechsr* c, vservicechsrApplyFunc f) { vservicechsrClassOf(c)->setApply(c, f); }
inline void vservicechsrSetFilter(vservicechsr* c, vinstance* f) { vservicechsrClassOf(c)->setFilter(c, f); }
// A value as the chooser shows it ("<DICTIONARY>", "TRUE", a number...);
// null gives the unknown-value text.
vstr* vservicechsrValueText(vinstance* value);
// The start-up row "vservicechsrGetDefaultClass".
void vservicechsrStartup();
