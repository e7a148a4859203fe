// The service chooser: asks the service broker for the services that match
// a filter and lists them as rows, one column per service attribute that
// the user shows through the View menu; OK hands the application a
// reference to the chosen service. A second dialog shows every attribute
// of the selected service. The shown columns and the dialog's size are
// kept in the preferences under "vservicechsr".
//
// - `vservicechsr` is a `vconfirm` loaded from "vservicechsrCONFIRM" of the "vservicechsr"
//   resources: a menu bar (its "vservicechsrVIEW_MENU" holds one toggle per attribute any service
//   has, sorted without regard to case or accents), a ruler whose items are the shown columns (id =
//   attribute tag) and a `vservicechsrListView` whose cells of row r all hold service r. `arrange`
//   puts the bar on top, the ruler under it as the header and the list down to the buttons; the list
//   view subclass keeps the ruler's scroll equal to its horizontal origin.
//
// - Open makes a session to the broker's address (`vdasservGetAddress`) and sends "vdasservMatch"
//   with a reference to the filter when it connects, the window busy meanwhile. The reply's elements
//   hold each service as a scrap value; the chooser keeps native dictionary copies. A reply rebuilds
//   the View menu, drops columns whose attribute no service has, keeps and re-applies the sort
//   column (the hilited ruler item: a double click on a header sorts by the texts, unknown values
//   last), selects row 0 and installs the service accept hook (a reference to the selected service
//   for the apply function); with nothing selected OK is disabled.
//
// - Commands: five object commands (selectors 9-13) in the class's command space, made once per
//   module context (their class is the context's) and released with it; the attribute toggles
//   (selector 14) live in the chooser's own dictionary, installed as "Command" in the View menu's
//   space, and reach the chooser as the context's "Document". A toggle item tells its state as its
//   "Toggle" attribute (the context's "Operator"), and the chooser sets the toggles itself whenever
//   a column comes or goes.
//
// - Cell texts walk the value's delegates to the first with a kind: tag, string, "TRUE"/"FALSE",
//   character, integer, float and fixed, then "<OPAQUE>", "<ARRAY>", "<DICTIONARY>", "<COMPOUND>",
//   any other kind "<COMPLEX>"; no value gives "vservicechsrUNKNOWN".
//
// - "vservicechsrGET_INFO" opens "vservicechsrINFO" (a `vconfirm` with the list
//   "vservicechsrINFO_LIST"): one row per attribute of the selected service, kept in step with the
//   selection; it does not touch the chooser's accept hook.
//
// - The shown columns ("vservicechsrSHOW_ATTRIBUTE", only when any) and the size are stored under
//   "vservicechsr" in the application's preferences when the chooser is destroyed and restored when
//   the next is loaded.
//
// - `fw_servicechsr_tests` runs a stand-in broker ("Service Broker") in the same process on loopback
//   at the port the "vdasservPort" preference names, in a home of its own.
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
