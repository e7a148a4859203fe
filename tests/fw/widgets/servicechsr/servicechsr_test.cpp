// The service chooser against a stand-in broker in this process: a service
// titled "Service Broker" on loopback, at the port the "vdasservPort"
// preference names, answering "vdasservMatch" with the services a test
// sets. The program keeps a home of its own: the chooser stores its
// preferences.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

#include "fw/core/attributed.h"
#include "fw/core/sys.h"
#include "fw/data/pref.h"
#include "fw/data/scrap.h"
#include "fw/data/vresource.h"
#include "fw/data/vrstore.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/msw.h"
#include "fw/services/service.h"
#include "fw/services/services_support.h"
#include "fw/services/vdasserv.h"
#include "fw/widgets/choosers/servicechsr.h"
#include "fw/widgets/dialog_support.h"
#include "fw/widgets/menus/menu.h"
#include "fw/widgets/menus/menuitem.h"
#include "platform/win/test.h"

namespace {

namespace fs = std::filesystem;

struct OwnHome : ::testing::Environment {
  fs::path home;
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "servicechsr_test.XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    home = pattern;
    setenv("HOME", home.c_str(), 1);
  }
  void TearDown() override {
    vsysRunExitHandlers();
    std::error_code ignored;
    fs::remove_all(home, ignored);
  }
};
[[maybe_unused]] ::testing::Environment* const ownHome = ::testing::AddGlobalTestEnvironment(new OwnHome);

// ---- The stand-in broker.
vinstance* typed(int kind, ...) {
  va_list ap;
  va_start(ap, kind);
  vinstance* s = vdatatagCreateScrapWithValueV(vdatatagGetPredefined(kind), ap);
  va_end(ap);
  return vscrapMakeTypeable(s);
}

struct Service {
  const char* name;
  const char* title;
  std::int32_t port;
  bool withOptions;
  bool enabled;  // only beta says
};
std::vector<Service> answer;
int queries = 0;
bool refuseNext = false;

vinstance* serviceScrap(const Service& s) {
  vinstance* d = vscrapCreateNative(vscrapGetDictionaryClass());
  vscrap w = vscrapWalk(d);
  vscrapSetDictionaryElement(w, N("Name"), typed(vdatatagSTRING, s.name));
  vscrapSetDictionaryElement(w, N("Title"), typed(vdatatagTAG, vnameIntern(vscribeCString(s.title))));
  vscrapSetDictionaryElement(w, N("Port"), typed(vdatatagINTEGER, s.port));
  if (s.enabled) vscrapSetDictionaryElement(w, N("enabled"), typed(vdatatagBOOLEAN, 1));
  if (s.withOptions) {
    vinstance* options = vscrapCreateNative(vscrapGetDictionaryClass());
    vscrapSetDictionaryElement(vscrapWalk(options), N("Depth"), typed(vdatatagINTEGER, 3));
    vscrapSetDictionaryElement(w, N("Options"), options);
  }
  return d;
}

vinstance* match(vservicePrimitive*, vsession*, vinstance*) {
  ++queries;
  if (refuseNext) {
    refuseNext = false;
    vexGenerateMessage(&vexArgClass, "the broker refuses");
  }
  std::vector<vinstance*> made;
  for (const Service& s : answer) made.push_back(serviceScrap(s));
  vinstance* result = vscrapMakeTypeable(vdatatagCreateScrapWithValue(
      vdasservGetOperation("vdasservMatch")->returnValue, std::int32_t(made.size()), made.data()));
  for (vinstance* m : made) vinstanceDestroy(m);
  return result;
}

// One broker for the program: the broker client reads its port once.
void startBroker() {
  static vservice* broker = nullptr;
  if (broker) return;
  broker = vserviceCreate();
  auto key = vsessionGetAttributeKey;
  vserviceSetAttribute(broker, N("Title"), vsessionTagDatatag(), N("Service Broker"));
  vserviceSetAttribute(broker, key(vsessionTRANSPORT), vsessionTagDatatag(), N("tcp"));
  vserviceSetAttribute(broker, key(vsessionLOCATION), vsessionStringDatatag(), "127.0.0.1");
  vserviceSetAttribute(broker, key(vsessionPORT), vsessionStringDatatag(), "0");
  vserviceSetBegetter(broker, static_cast<vserviceBegetterRoot*>(vinstanceCreate(vserviceGetBegetterChannelClass())));
  char port[64] = {};
  vscribeGetStringBounded(vserviceGetAttributeScribe(broker, key(vsessionPORT)), port, sizeof port);
  vprefDict* prefs = vprefGetDefaultDict();
  vprefSetString(prefs, vscribeLiteral("vdasservPort"), port);
  vprefSetString(prefs, vscribeLiteral("vdasservLocation"), "127.0.0.1");
  vprefSetString(prefs, vscribeLiteral("vdasservTransport"), "tcp");
  vservicePrimitive* p = vservicePrimitiveCreate();
  p->signature = vdasservGetOperation("vdasservMatch");
  p->handler = match;
  vserviceAddPrimitive(broker, p);
}

// ---- The chooser.
std::vector<std::string> applied;
int recordApply(vservicechsr*, vinstance* reference) {
  vinstance* service = static_cast<vscrapReference*>(reference)->object;
  vinstance* name = vscrapGetDictionaryElement(vscrapWalk(service), N("Name"));
  vstr* text = vservicechsrValueText(name);
  applied.push_back(static_cast<const char*>(text));
  vstrDestroy(text);
  if (name) vinstanceDestroy(name);
  vinstanceDestroy(reference);
  return 1;
}

std::string stateOf(vservicechsr* c, const char* command) {
  auto state = static_cast<vname>(vobjectQueryTag(c, N(command), N("State")));
  return state ? state : "";
}

std::vector<std::string> viewTitles(vservicechsr* c) {
  std::vector<std::string> out;
  for (int i = 0; i < vmenubarCount(c->menuBar); ++i) {
    vmenu* m = vmenubarAt(c->menuBar, i);
    if (m->tag != N("vservicechsrVIEW_MENU")) continue;
    for (int k = 0; k < vmenuItemListCount(&m->items); ++k) out.push_back(vmenuItemListAt(&m->items, k)->title);
  }
  return out;
}

vmenuItem* viewItem(vservicechsr* c, const char* title) {
  for (int i = 0; i < vmenubarCount(c->menuBar); ++i) {
    vmenu* m = vmenubarAt(c->menuBar, i);
    for (int k = 0; m->tag == N("vservicechsrVIEW_MENU") && k < vmenuItemListCount(&m->items); ++k)
      if (std::string(vmenuItemListAt(&m->items, k)->title) == title) return vmenuItemListAt(&m->items, k);
  }
  return nullptr;
}

std::vector<std::string> columns(vservicechsr* c) {
  std::vector<std::string> out;
  for (vrulerItem* i = c->ruler->shown; i; i = i->next) out.push_back(i->tag);
  return out;
}

// The text a cell shows: its service's value for the column's attribute.
std::string cell(vservicechsr* c, std::int32_t row, std::int32_t column) {
  auto* service = reinterpret_cast<vinstance*>(vlistGetCell(c->list, row, column));
  vname tag = vrulerGetItemAt(c->ruler, column)->tag;
  vinstance* value = vscrapGetDictionaryElement(vscrapWalk(service), tag);
  vstr* text = vservicechsrValueText(value);
  std::string out = static_cast<const char*>(text);
  vstrDestroy(text);
  if (value) vinstanceDestroy(value);
  return out;
}

bool okEnabled(vservicechsr* c) { return vdialogItemIsEnabled(vconfirmFindButton(c, N("Ok"))); }

// The user's choice in the View menu: the toggle flips, then its tag is issued.
void chooseView(vservicechsr* c, const char* title) {
  vmenuItem* item = viewItem(c, title);
  ASSERT_NE(item, nullptr) << title;
  // Opened from the bar, the menu has the dialog as its parent.
  vmenuItemGetMenu(item)->parent = c;
  vmenuItemSetToggle(item, !vmenuItemIsToggleOn(item));
  EXPECT_TRUE(vobjectIssueTag(item, item->tag, nullptr)) << title;
}

struct ServiceChooser : ::testing::Test {
  void SetUp() override {
    vrstoreInstallInterface();
    startDialogItemTests();
    startBroker();
    // Each case starts without stored columns or size.
    vresource app = vapplicationGetResources(vapplicationGetCurrent()), stored = 0;
    if (vresourceTestGet(app, N("vservicechsr"), &stored)) vresourceRemove(app, N("vservicechsr"));
    applied.clear();
    answer = {{"beta", "Debugger", 4100, true, true}, {"alpha", "Editor", 4000, true, false}};
  }
  vservicechsr* openChooser() {
    vservicechsr* c = vservicechsrCreate();
    vservicechsrSetApply(c, recordApply);
    vwindowOpen(c);
    return c;
  }
  static bool replied(vservicechsr* c, int count) {
    return runEventsUntil([c, count] { return c->serviceCount == count && c->list; }, 10000);
  }
  static void finish(vservicechsr* c) {
    if (vwindowIsOpen(c)) vwindowClose(c);
    vinstanceDestroy(c);
  }
};

TEST_F(ServiceChooser, ListsTheBrokersServicesAndHandsBackTheChosenOne) {
  int before = queries;
  vservicechsr* c = openChooser();
  // Nothing to show or choose before the broker answers.
  EXPECT_EQ(stateOf(c, "vservicechsrGET_INFO"), "Disabled");
  EXPECT_EQ(stateOf(c, "vservicechsrALL_ON"), "Disabled");
  EXPECT_EQ(stateOf(c, "vservicechsrALL_OFF"), "Disabled");
  EXPECT_EQ(stateOf(c, "vservicechsrSET_FILTER"), "Disabled");
  EXPECT_FALSE(okEnabled(c));
  ASSERT_TRUE(replied(c, 2));
  EXPECT_EQ(queries, before + 1);
  // Every attribute any service has, sorted without regard to case.
  EXPECT_EQ(viewTitles(c), (std::vector<std::string>{"enabled", "Name", "Options", "Port", "Title"}));
  EXPECT_EQ(stateOf(c, "vservicechsrALL_ON"), "Enabled");
  EXPECT_EQ(stateOf(c, "vservicechsrGET_INFO"), "Disabled") << "no column, no row";

  chooseView(c, "Name");
  chooseView(c, "enabled");
  chooseView(c, "Options");
  EXPECT_EQ(columns(c), (std::vector<std::string>{"Name", "enabled", "Options"}));
  ASSERT_EQ(vlistGetRowCount(c->list), 2);
  ASSERT_EQ(vlistGetColumnCount(c->list), 3);
  EXPECT_EQ(cell(c, 0, 0), "beta");
  EXPECT_EQ(cell(c, 0, 1), "TRUE");
  EXPECT_EQ(cell(c, 1, 1), "<unknown>") << "alpha has no such attribute";
  EXPECT_EQ(cell(c, 1, 2), "<DICTIONARY>");
  for (vrulerItem* i = c->ruler->shown; i; i = i->next) EXPECT_GE(i->rect.width, 100) << i->tag;
  EXPECT_TRUE(vmenuItemIsToggleOn(viewItem(c, "Name")));
  EXPECT_EQ(stateOf(c, "vservicechsrGET_INFO"), "Enabled");
  EXPECT_TRUE(okEnabled(c)) << "row 0 is selected";

  // A click on a header sorts by its column: alpha comes first.
  vrulerNotify(c->ruler, nullptr, vrulerFindItem(c->ruler, N("Name")), vrulerDOUBLE_CLICK);
  EXPECT_EQ(cell(c, 0, 0), "alpha");
  EXPECT_EQ(cell(c, 1, 0), "beta");
  // Unknown values sort last.
  vrulerNotify(c->ruler, nullptr, vrulerFindItem(c->ruler, N("enabled")), vrulerDOUBLE_CLICK);
  EXPECT_EQ(cell(c, 0, 0), "beta");

  // A second query without "Options": its column and menu item go, the
  // sort column stays and still sorts.
  answer = {{"gamma", "Viewer", 4200, false, false}, {"beta", "Debugger", 4100, false, true}};
  vobjectIssueTag(c, N("vservicechsrQUERY"), nullptr);
  ASSERT_TRUE(runEventsUntil([c] { return c->serviceCount == 2 && vlistGetColumnCount(c->list) == 2; }, 10000));
  EXPECT_EQ(columns(c), (std::vector<std::string>{"Name", "enabled"}));
  EXPECT_EQ(viewTitles(c), (std::vector<std::string>{"enabled", "Name", "Port", "Title"}));
  EXPECT_EQ(cell(c, 0, 0), "beta") << "sorted by enabled, unknown last";
  EXPECT_EQ(cell(c, 1, 1), "<unknown>");
  chooseView(c, "Title");
  veventMSWDrainMessages();
  veventProcessPending(1, 0);
  ASSERT_TRUE(win::test::WritePng(fs::path(SERVICECHSR_SHOTS) / "servicechsr.png",
                                  win::test::WindowImage(c->native->hwnd)));

  // OK hands the chosen service to the apply function.
  vlistSelectRange(c->list, c->listView->selection, 1, 0, 1, 2);
  ASSERT_TRUE(clickConfirmButton(c, "Ok"));
  ASSERT_TRUE(runEventsUntil([] { return !applied.empty(); }, 5000));
  EXPECT_EQ(applied, std::vector<std::string>{"gamma"});
  finish(c);
}

TEST_F(ServiceChooser, ColumnsAndSizeSurviveInThePreferences) {
  vservicechsr* c = openChooser();
  ASSERT_TRUE(replied(c, 2));
  vobjectIssueTag(c, N("vservicechsrALL_ON"), nullptr);
  EXPECT_EQ(columns(c).size(), 5u);
  // Five columns are wider than the list: the headers follow its scroll.
  vlistviewScrollToCell(c->listView, 0, 4);
  EXPECT_GT(c->listView->originX, 0);
  EXPECT_EQ(c->ruler->scroll, c->listView->originX);
  vlistviewScrollToCell(c->listView, 0, 0);
  EXPECT_EQ(c->ruler->scroll, 0);
  chooseView(c, "Options");
  chooseView(c, "enabled");
  EXPECT_EQ(columns(c), (std::vector<std::string>{"Name", "Port", "Title"}));
  // A drag moves the column along the ruler and in the list.
  vrulerItem* title = vrulerFindItem(c->ruler, N("Title"));
  std::int32_t listWidth = vlistviewGetCellInnerSize(c->listView, 2);
  ASSERT_TRUE(vrulerItemSetPosition(title, 1));
  EXPECT_EQ(columns(c), (std::vector<std::string>{"Title", "Name", "Port"}));
  EXPECT_EQ(vlistviewGetCellInnerSize(c->listView, 0), listWidth) << "its width went with it";
  EXPECT_EQ(cell(c, 0, 0), "Debugger");
  vwindowResize(c, 600, 360);
  finish(c);

  vservicechsr* again = vservicechsrCreate();
  EXPECT_EQ(columns(again), (std::vector<std::string>{"Title", "Name", "Port"})) << "before any reply";
  EXPECT_EQ(again->rect.width, 600);
  EXPECT_EQ(again->rect.height, 360);
  // Closing with no column shown keeps what was stored.
  vobjectIssueTag(again, N("vservicechsrALL_OFF"), nullptr);
  EXPECT_TRUE(columns(again).empty());
  vinstanceDestroy(again);
  vservicechsr* third = vservicechsrCreate();
  EXPECT_EQ(columns(third), (std::vector<std::string>{"Title", "Name", "Port"}));
  vinstanceDestroy(third);
}

TEST_F(ServiceChooser, InformationFiltersAndValueTexts) {
  vservicechsr* c = openChooser();
  ASSERT_TRUE(replied(c, 2));
  chooseView(c, "Name");
  vobjectIssueTag(c, N("vservicechsrGET_INFO"), nullptr);
  ASSERT_NE(c->info, nullptr);
  EXPECT_TRUE(vwindowIsOpen(c->info));
  vlistview* info = static_cast<vlistview*>(vdialogFindItem(c->info, N("vservicechsrINFO_LIST")));
  ASSERT_NE(info, nullptr);
  ASSERT_EQ(vlistGetRowCount(info->list), 5) << "every attribute of beta";
  std::vector<std::string> names;
  for (std::int32_t r = 0; r < 5; ++r) names.push_back(reinterpret_cast<vname>(vlistGetCell(info->list, r, 0)));
  EXPECT_EQ(names, (std::vector<std::string>{"enabled", "Name", "Options", "Port", "Title"}));
  // Another row selected: the open dialog follows.
  vlistSelectRange(c->list, c->listView->selection, 1, 0, 1, 1);
  EXPECT_EQ(vlistGetRowCount(info->list), 4) << "alpha says nothing of enabled";

  // A refused query: the window waits, then the table stays as it was.
  answer = {{"delta", "Other", 1, false, false}};
  refuseNext = true;
  vobjectIssueTag(c, N("vservicechsrQUERY"), nullptr);
  EXPECT_TRUE(c->flags & vwindowBUSY) << "waiting for the broker";
  ASSERT_TRUE(runEventsUntil([c] { return !(c->flags & vwindowBUSY); }, 10000));
  EXPECT_EQ(c->serviceCount, 2);
  EXPECT_EQ(cell(c, 0, 0), "beta");
  EXPECT_EQ(columns(c), std::vector<std::string>{"Name"});

  // Filters: a dictionary is taken, anything else ignored.
  vinstance* before = c->filter;
  vinstance* text = typed(vdatatagSTRING, "not a filter");
  vservicechsrSetFilter(c, text);
  EXPECT_EQ(c->filter, before);
  vinstanceDestroy(text);
  vinstance* filter = vscrapCreateNative(vscrapGetDictionaryClass());
  vservicechsrSetFilter(c, filter);
  EXPECT_EQ(c->filter, filter);
  vservicechsrSetFilter(c, nullptr);
  EXPECT_NE(c->filter, nullptr);
  finish(c);

  struct Row {
    vinstance* value;
    const char* text;
  } rows[] = {
      {typed(vdatatagTAG, N("Editor")), "Editor"},    {typed(vdatatagSTRING, "x y"), "x y"},
      {typed(vdatatagBOOLEAN, 0), "FALSE"},           {typed(vdatatagCHARACTER, 'q'), "q"},
      {typed(vdatatagINTEGER, -42), "-42"},           {typed(vdatatagDOUBLE_FLOAT, 2.5), "2.5"},
      {vscrapCreateNative(vscrapGetArrayClass()), "<ARRAY>"},
      {vscrapCreateNative(vscrapGetDictionaryClass()), "<DICTIONARY>"},
      {nullptr, "<unknown>"},
  };
  for (const Row& row : rows) {
    vstr* text = vservicechsrValueText(row.value);
    EXPECT_STREQ(text, row.text);
    vstrDestroy(text);
    if (row.value) vinstanceDestroy(row.value);
  }
}

}  // namespace
