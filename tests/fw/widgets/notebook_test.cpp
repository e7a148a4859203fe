// Notebooks as a user and an application meet them: styles in their stored
// form, the page tree (current page, turning, removing, numbering), tabs
// and their scrolling, the frame parts the style asks for, the focus order,
// and a notebook in a dialog turned by its buttons, tabs and keys.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "fw/core/ex.h"
#include "fw/data/vresource.h"
#include "fw/data/vrstore.h"
#include "fw/data/vrtext.h"
#include "fw/gui/graphics/rect.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/dialog/dialog.h"
#include "fw/widgets/dialog_support.h"
#include "fw/widgets/look/laf.h"
#include "fw/widgets/notebook/notebook.h"
#include "fw/widgets/notebook/notebook_internal.h"
#include "platform/win/test.h"
#include "tests/support/png_compare.h"

namespace {

std::int16_t s16(int v) { return std::int16_t(v); }

struct Notebooks : ::testing::Test {
  std::vector<vdialog*> dialogs;
  vresource file = 0;
  void SetUp() override {
    startDialogItemTests();
    vdialogStartup();
    vnotebookStartup();
    win::UseVirtualClock(true);
    win::test::ResetInput();
  }
  void TearDown() override {
    for (vdialog* d : dialogs) vinstanceDestroy(d);
    if (file) vresourceCloseFile(file);
    win::test::ResetInput();
    veventMSWDrainMessages();
    win::UseVirtualClock(false);
  }
  static void settle() {
    veventMSWDrainMessages();
    veventProcessPending(1, 0);
    veventMSWDrainMessages();
  }
  static vnotebookPage* page(const char* title) {
    vnotebookPage* p = vnotebookPageCreate();
    vdialogSetItemTitle(p, vscribeLiteral(title));
    p->tag = N(title);
    return p;
  }
  static vnotebookSection* section(const char* title, std::initializer_list<const char*> pages) {
    vnotebookSection* s = vnotebookSectionCreate();
    vdialogSetItemTitle(s, vscribeLiteral(title));
    s->tag = N(title);
    for (const char* t : pages) vcontainerAppendItem(s, page(t));
    return s;
  }
  // A notebook with its own style properties, placed in a dialog.
  vnotebook* notebook(std::initializer_list<std::pair<std::uint32_t, int>> props, int width = 300, int height = 200,
                      bool placed = true) {
    vnotebook* n = vnotebookCreate();
    vrect r{10, 10, s16(width), s16(height)};
    vdialogSetItemRect(n, &r);
    vnotebookStyle* style = vnotebookStyleCreate();
    for (auto [key, value] : props) vnotebookStyleSet(style, key, value);
    vnotebookSetStyleObject(n, style);
    vinstanceDestroy(style);
    if (placed) {
      vdialog* d = vdialogCreate();
      d->rect = {50, 50, s16(width + 20), s16(height + 20)};
      vdialogAppendItem(d, n);
      dialogs.push_back(d);
    }
    return n;
  }
  static bool shown(const vdialogItem* i) { return (i->flags & vdialogItemSHOWN) != 0; }
  static vdialogItem* item(vnotebookSection* s, int i) { return vdialogItemListAt(s->items, i); }
  static std::string current(vnotebookSection* s) {
    std::string path;
    for (vdialogItem* c = s->selection; c;
         c = vnotebookIsSection(c) ? static_cast<vnotebookSection*>(c)->selection : nullptr)
      path += std::string(path.empty() ? "" : "/") + (c->tag ? c->tag : "?");
    return path.empty() ? "none" : path;
  }
  static std::string numbers(vnotebook* n) {
    int current = 0, total = 0;
    vnotebookGetPageNumbers(n, &current, &total);
    return std::to_string(current) + " of " + std::to_string(total);
  }
};

TEST_F(Notebooks, StylesSetGetStoreAndLoad) {
  vnotebookStyle* s = vnotebookStyleCreate();
  struct Row {
    std::uint32_t key;
    int value, expected;
  } rows[] = {
      {vnotebookTAB_MODE, 5, 1},          // two bits kept
      {vnotebookWRAP, 7, 1},              // any non-zero boolean is 1
      {vnotebookSHEET_COUNT, 200, 200},   // a byte
      {vnotebookNUMBER_ALIGN, 2, 2},      // its neighbours untouched
      {vnotebookPAGE_NUMBER, 0, 0},       // set to 0 is not unset
      {vnotebookMARGIN, -1, -1},          // -1 unsets
      {0x30000000u, 4, -1},               // not one of the 28
  };
  for (const Row& r : rows) vnotebookStyleSet(s, r.key, r.value);
  for (const Row& r : rows) EXPECT_EQ(vnotebookStyleGet(s, r.key), r.expected) << std::hex << r.key;
  EXPECT_EQ(vnotebookStyleGet(s, vnotebookTAB_MODE), 1) << "the wrap and alignment bits beside it";
  EXPECT_TRUE(s->mask & 0x30000000u) << "an unknown key changes the mask only";
  vnotebookStyleSet(s, vnotebookWRAP, -1);
  EXPECT_EQ(vnotebookStyleGet(s, vnotebookWRAP), -1);
  EXPECT_FALSE(vnotebookStyleIsEmpty(s));

  // A short "Values" array leaves the rest unset; a stored style loads back the same.
  vresource store = vrstoreCreateMemory();
  std::string error;
  ASSERT_TRUE(vrtextParse("S = dictionary { Class = tag vnotebookStyle Values = array integer [ 2 1 -1 1 ] }",
                          store, &error))
      << error;
  auto* loaded = static_cast<vnotebookStyle*>(vobjectLoad(vresourceGet(store, N("S"))));
  EXPECT_EQ(loaded->mask, 0xBu);
  EXPECT_EQ(vnotebookStyleGet(loaded, vnotebookMAJOR_SIDE), 2);
  EXPECT_EQ(vnotebookStyleGet(loaded, vnotebookMINOR_SIDE), 1);
  EXPECT_EQ(vnotebookStyleGet(loaded, vnotebookTAB_MODE), -1);
  EXPECT_EQ(vnotebookStyleGet(loaded, vnotebookFOOTER_GAP), -1);
  vnotebookStyleSet(s, 0x30000000u, -1);
  vclassRec<vobjectClassRec>(s)->store(s, vresourceCreate(store, N("T"), vresDICTIONARY));
  vresource values;
  ASSERT_TRUE(vresourceTestGet(vresourceGet(store, N("T")), N("Values"), &values));
  EXPECT_EQ(vresourceCount(values), 28);
  EXPECT_EQ(vresourceGetAtInteger(values, 15), -1) << "unset is stored as -1";
  auto* back = static_cast<vnotebookStyle*>(vobjectLoad(vresourceGet(store, N("T"))));
  EXPECT_EQ(back->mask, s->mask);
  for (int i = 0; i < vnotebookPROPERTIES; ++i) EXPECT_EQ(vnotebookStyleGet(back, 1u << i), vnotebookStyleGet(s, 1u << i));
  for (vnotebookStyle* x : {s, loaded, back}) vinstanceDestroy(x);
  vresourceCloseFile(store);
}

TEST_F(Notebooks, TheDefaultStyleFollowsTheLook) {
  struct Row {
    std::uint32_t key;
    int windows, cua, motif;
  } rows[] = {
      {vnotebookTAB_MODE, 1, 3, 3},        {vnotebookPAGE_NUMBER, 0, 1, 1},   {vnotebookTAB_SHAPE, 2, 0, 1},
      {vnotebookSHEET_COUNT, 1, 7, 5},     {vnotebookSHEET_OFFSET, 0, 3, 3},  {vnotebookSCROLL_CENTRING, 1, 0, 1},
      {vnotebookSCROLL_LAYOUT, 1, 0, 0},   {vnotebookPARTIAL_TABS, 1, 0, 1},  {vnotebookTAB_WIDENING, 2, 0, 0},
      {vnotebookRESERVED_6, -1, -1, -1},   {vnotebookFOOTER_GAP, 2, 2, 2},
  };
  for (auto [look, column] : {std::pair{int(vlafWIN95), 0}, std::pair{int(vlafCUA), 1}, std::pair{int(vlafMOTIF), 2}}) {
    vnotebookStyle* s = vnotebookStyleCreate();
    _vnotebookFillDefaultStyle(s, look);
    for (const Row& r : rows) {
      int expected = column == 0 ? r.windows : column == 1 ? r.cua : r.motif;
      EXPECT_EQ(vnotebookStyleGet(s, r.key), expected) << "look " << look << " key " << std::hex << r.key;
    }
    vinstanceDestroy(s);
  }
  // The class's own default was made in the Windows look.
  EXPECT_EQ(vnotebookStyleGet(vnotebookGetDefaultClass()->defaultStyle, vnotebookSHEET_COUNT), 1);
}

TEST_F(Notebooks, PagesTurnWrapAndLeaveWhenRemoved) {
  vnotebook* n = notebook({{vnotebookTAB_MODE, 0}, {vnotebookBUTTONS, 1}});
  for (const char* t : {"a", "b", "c"}) vcontainerAppendItem(n, page(t));
  vnotebookSelectFirstPage(n);
  EXPECT_EQ(current(n), "a");
  EXPECT_TRUE(shown(item(n, 0)));
  EXPECT_FALSE(shown(item(n, 1)));
  vnotebookTurnPage(n, 0);
  EXPECT_EQ(current(n), "a") << "no page before the first without wrap";
  vnotebookTurnPage(n, 1);
  vnotebookTurnPage(n, 1);
  EXPECT_EQ(current(n), "c");
  EXPECT_FALSE(shown(item(n, 0))) << "the page left is hidden";
  vnotebookTurnPage(n, 1);
  EXPECT_EQ(current(n), "c");
  vnotebookStyle* wrap = vnotebookStyleCreate();
  vnotebookStyleSet(wrap, vnotebookWRAP, 1);
  vnotebookStyleSet(wrap, vnotebookBUTTONS, 1);
  vnotebookSetStyleObject(n, wrap);
  vinstanceDestroy(wrap);
  vnotebookTurnPage(n, 1);
  EXPECT_EQ(current(n), "a") << "wrap";
  vnotebookTurnPage(n, 0);
  EXPECT_EQ(current(n), "c");

  // Removing the current page selects the one before it, or after it when it was first.
  vdialogItem* c = item(n, 2);
  vcontainerRemoveItem(n, c);
  vinstanceDestroy(c);
  EXPECT_EQ(current(n), "b");
  vnotebookPageSelect(item(n, 0));
  vdialogItem* a = item(n, 0);
  vcontainerRemoveItem(n, a);
  vinstanceDestroy(a);
  EXPECT_EQ(current(n), "b");
  vdialogItem* b = item(n, 0);
  vcontainerRemoveItem(n, b);
  vinstanceDestroy(b);
  EXPECT_EQ(current(n), "none") << "the only page removed leaves none";
  vnotebookTurnPage(n, 1);
  EXPECT_EQ(current(n), "none");

  // A page that may not be left stays.
  static vnotebookPageClassRec* stubborn = [] {
    auto* cls = vclassSpawnOf<vnotebookPageClassRec>(vnotebookPageGetDefaultClass());
    cls->mayLeave = [](vnotebookPage*) { return 0; };
    return cls;
  }();
  auto* stay = static_cast<vnotebookPage*>(vinstanceCreate(stubborn));
  stay->tag = N("stay");
  vcontainerAppendItem(n, stay);
  vcontainerAppendItem(n, page("other"));
  vnotebookSelectFirstPage(n);
  vnotebookTurnPage(n, 1);
  EXPECT_EQ(current(n), "stay");
}

TEST_F(Notebooks, SectionsFirstPagesNumbersAndTheAppendMessage) {
  // An empty section has no first page; selecting it leaves nothing inside.
  vnotebook* lone = notebook({{vnotebookTAB_MODE, 2}});
  vnotebookSection* empty = section("empty", {});
  vcontainerAppendItem(lone, empty);
  EXPECT_EQ(vnotebookSectionFirstPage(lone), nullptr);
  vnotebookPageSelect(empty);
  EXPECT_EQ(current(lone), "empty");

  std::string message;
  vexGuard([&] { vcontainerAppendItem(lone, vdialogItemCreate(vdialogLabelItemGetDefaultClass())); },
           [&](vexHandler& h) {
             message = vexGetCurrentException()->message;
             vexSetCurrentException(h.savedChain);
           });
  EXPECT_EQ(message, "appended item should be of page or section class");
  EXPECT_EQ(vdialogItemListCount(lone->items), 1);

  // Numbering restarts in each tabbed section unless the sections are flattened.
  struct Row {
    int mode;
    const char* select;
    const char* expected;
    int secondBase;
  } rows[] = {{2, "d", "2 of 2", 0}, {3, "d", "1 of 1", 0}, {1, "d", "4 of 4", 2}, {0, "d", "4 of 4", 2}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.mode);
    vnotebook* n = notebook({{vnotebookTAB_MODE, r.mode}});
    vnotebookSection* one = section("one", {"a", "b"});
    vnotebookSection* two = section("two", {"c", "d"});
    vcontainerAppendItem(n, one);
    vcontainerAppendItem(n, two);
    vnotebookLayout(n);
    EXPECT_EQ(two->numberBase, r.secondBase);
    EXPECT_EQ(static_cast<vnotebookPage*>(item(two, 1))->ordinal, 2);
    EXPECT_EQ(n->totalCount, 4);
    vnotebookPageSelect(item(two, 1));
    EXPECT_EQ(current(n), std::string("two/") + r.select);
    EXPECT_EQ(numbers(n), r.expected);
    EXPECT_EQ(vnotebookSectionPreviousPage(n), item(two, 0));
    vnotebookTurnPage(n, 0);
    vnotebookTurnPage(n, 0);
    EXPECT_EQ(current(n), "one/b") << "turning crosses sections";
  }
}

// What an application hears: the sections pass their changes up to the notebook.
std::vector<std::string> heard;
vnotebookClassRec* listeningClass() {
  static vnotebookClassRec* cls = [] {
    auto* c = vclassSpawnOf<vnotebookClassRec>(vnotebookGetDefaultClass());
    c->send = [](vobject* o, vname name, vdict* args) {
      for (const char* kept : {"New Page", "Major Tab Change", "Minor Tab Change"})
        if (name == vnameInternLiteral(kept)) heard.push_back(kept);
      vnotebookGetDefaultClass()->send(o, name, args);
    };
    return c;
  }();
  return cls;
}

TEST_F(Notebooks, SectionsAnnounceTheirChangesUpToTheNotebookAndClonesKeepTheirTabs) {
  auto* n = static_cast<vnotebook*>(vinstanceCreate(listeningClass()));
  vrect r{10, 10, 300, 200};
  vdialogSetItemRect(n, &r);
  vnotebookStyle* style = vnotebookStyleCreate();
  vnotebookStyleSet(style, vnotebookTAB_MODE, 3);
  vnotebookSetStyleObject(n, style);
  vinstanceDestroy(style);
  vdialog* d = vdialogCreate();
  vdialogAppendItem(d, n);
  dialogs.push_back(d);
  vnotebookSection* one = section("one", {"a", "b"});
  vnotebookSection* two = section("two", {"c"});
  vcontainerAppendItem(n, one);
  vcontainerAppendItem(n, two);
  vnotebookLayout(n);
  vnotebookPageSelect(item(one, 0));
  heard.clear();
  vnotebookPageSelect(item(one, 1));
  EXPECT_EQ(heard, (std::vector<std::string>{"Minor Tab Change", "New Page"}));
  heard.clear();
  vnotebookPageSelect(item(two, 0));
  EXPECT_EQ(heard, (std::vector<std::string>{"Minor Tab Change", "New Page", "Major Tab Change", "New Page"}));
  EXPECT_EQ(vnotebookTabSetGetCurrent(n->majorTabs), two->tab) << "the major tab follows";
  ASSERT_NE(n->minorTabs, nullptr);
  EXPECT_EQ(vdialogItemListCount(n->minorTabs->items), 1) << "the minor tabs show the current section's pages";
  EXPECT_FALSE(static_cast<vnotebookPage*>(item(one, 1))->pageFlags & vnotebookPageACTIVE) << "off the current chain";

  auto* copy = static_cast<vnotebook*>(vobjectClone(n));
  ASSERT_NE(copy->style, n->style);
  EXPECT_EQ(vnotebookStyleGet(copy->style, vnotebookTAB_MODE), 3);
  EXPECT_TRUE(copy->notebookFlags & vnotebookOWNS_STYLE);
  ASSERT_EQ(vdialogItemListCount(copy->items), 2);
  auto* copied = static_cast<vnotebookSection*>(item(copy, 0));
  EXPECT_NE(copied->tab, one->tab);
  EXPECT_EQ(copied->tab->page, copied) << "a copied page owns a tab of its own";
  EXPECT_EQ(copied->tab->tabSet, nullptr);
  vinstanceDestroy(copy);
}

TEST_F(Notebooks, CurrentPageLoadsAndStores) {
  file = vrstoreCreateMemory();
  std::string error;
  const char* text = R"(
Book = dictionary {
  Class = tag vnotebook Rect = array integer [ 0 0 200 150 ] CurrentPage = integer %d
  ItemList = dictionary { Class = tag vdialogItemList Objects = array dictionary [
    { Class = tag vnotebookPage Tag = tag p1 Title = string "One" PageFlags = integer 0 }
    { Class = tag vnotebookPage Tag = tag p2 Title = string "Two" PageFlags = integer 1
      Tab = dictionary { Class = tag vnotebookTab Title = string "Second" } }
  ] }
}
)";
  for (auto [stored, expected] : {std::pair{-1, "none"}, std::pair{1, "p2"}, std::pair{7, "none"}}) {
    char buffer[1024];
    std::snprintf(buffer, sizeof buffer, text, stored);
    vresource store = vrstoreCreateMemory();
    ASSERT_TRUE(vrtextParse(buffer, store, &error)) << error;
    auto* n = static_cast<vnotebook*>(vobjectLoad(vresourceGet(store, N("Book"))));
    EXPECT_EQ(current(n), expected) << stored;
    auto* second = static_cast<vnotebookPage*>(item(n, 1));
    EXPECT_STREQ(second->tab->title, "Second");
    EXPECT_EQ(second->tab->page, second);
    EXPECT_TRUE(shown(second)) << "an active page loads shown";
    EXPECT_FALSE(shown(item(n, 0)));
    vclassRec<vobjectClassRec>(n)->store(n, vresourceCreate(store, N("Again"), vresDICTIONARY));
    std::int32_t again = 0;
    ASSERT_TRUE(vresourceTestGetInteger(vresourceGet(store, N("Again")), N("CurrentPage"), &again));
    EXPECT_EQ(again, stored == 1 ? 1 : -1);
    vresource style;
    EXPECT_FALSE(vresourceTestGet(vresourceGet(store, N("Again")), N("Style"), &style)) << "no own style stored";
    vinstanceDestroy(n);
    vresourceCloseFile(store);
  }
}

TEST_F(Notebooks, StyleFlagsSidesInsetsAndButtons) {
  // Tab mode 0: no tab sets, no insets.
  vnotebook* plain = notebook({{vnotebookTAB_MODE, 0}});
  vcontainerAppendItem(plain, page("only"));
  vnotebookLayout(plain);
  int t = 1, l = 1, b = 1, r = 1;
  vnotebookGetTabInsets(plain, &t, &l, &b, &r);
  EXPECT_EQ(t + l + b + r, 0);
  EXPECT_EQ(plain->majorTabs, nullptr);
  EXPECT_EQ(plain->minorTabs, nullptr);
  // Without tabs the receding sheets still stay inside the notebook.
  vnotebook* stacked = notebook({{vnotebookTAB_MODE, 0}, {vnotebookSHEET_COUNT, 3}, {vnotebookSHEET_OFFSET, 4}});
  vnotebookLayout(stacked);
  vnotebookGetTabInsets(stacked, &t, &l, &b, &r);
  EXPECT_EQ((std::vector<int>{t, l, b, r}), (std::vector<int>{8, 0, 0, 8})) << "top and right: the sheets' way";
  vrect deepest = _vnotebookSheetBack(stacked, 2);
  EXPECT_TRUE(vrectContainsRect(&stacked->rect, &deepest));

  // The minor tabs run across the major ones.
  struct Sides {
    int major, minor, expected;
  } sides[] = {{0, 1, 3}, {1, 0, 3}, {0, 0, 3}, {2, 3, 0}, {3, 3, 0}, {3, 0, 0}, {0, 2, 2}, {2, 1, 1}};
  for (const Sides& s : sides) {
    vnotebook* n = notebook({{vnotebookMAJOR_SIDE, s.major}, {vnotebookMINOR_SIDE, s.minor}}, 300, 200, false);
    EXPECT_EQ(vnotebookMajorSide(n), s.major);
    EXPECT_EQ(vnotebookMinorSide(n), s.expected) << s.major << "/" << s.minor;
    vinstanceDestroy(n);
  }

  // One page: without wrap both turn buttons are off, with wrap both on.
  for (int wrap : {0, 1}) {
    vnotebook* n = notebook({{vnotebookBUTTONS, 1}, {vnotebookWRAP, wrap}, {vnotebookTAB_MODE, 0}});
    vcontainerAppendItem(n, page("single"));
    vnotebookSelectFirstPage(n);
    vnotebookLayout(n);
    ASSERT_NE(n->nextButton, nullptr);
    EXPECT_EQ(vdialogItemIsEnabled(n->nextButton), wrap == 1);
    EXPECT_EQ(vdialogItemIsEnabled(n->prevButton), wrap == 1);
  }
}

TEST_F(Notebooks, TheFooterCentresNumberAndButtonsOnOneLine) {
  vnotebook* n = notebook({{vnotebookBUTTONS, 1}, {vnotebookPAGE_NUMBER, 1}, {vnotebookTAB_MODE, 0}});
  for (const char* title : {"a", "b"}) vcontainerAppendItem(n, page(title));
  vnotebookLayout(n);
  ASSERT_NE(n->prevButton, nullptr);
  const vrect& number = n->numberRect;
  const vrect& back = n->prevButton->rect;
  const vrect& forward = n->nextButton->rect;
  EXPECT_LE(std::abs((number.y * 2 + number.height) - (back.y * 2 + back.height)), 1) << "centred on one line";
  EXPECT_EQ(back.y, forward.y);
  EXPECT_EQ(forward.x - (back.x + back.width), vnotebookGetStyleValue(n, vnotebookBUTTON_GAP));
  EXPECT_EQ(back.x - (number.x + number.width), vnotebookGetStyleValue(n, vnotebookNUMBER_GAP));
  EXPECT_LT(back.y + back.height, n->content.y) << "the footer lies below the page";
  EXPECT_GE(std::min(number.y, back.y), n->rect.y);
}

TEST_F(Notebooks, TabsStartAtTheWideningAndScrollIntoView) {
  // An empty tab set: no size but the stack's depth, no scroll buttons.
  vnotebook* empty = notebook({{vnotebookTAB_MODE, 2}});
  vnotebookLayout(empty);
  ASSERT_NE(empty->majorTabs, nullptr);
  int w = -1, h = -1;
  vnotebookClassOf(empty)->getTabSetExtent(empty, empty->majorTabs, &w, &h);
  EXPECT_EQ(w, 0);
  EXPECT_EQ(h, _vnotebookDepth(empty));
  EXPECT_EQ(empty->majorTabs->scrollForward, nullptr);

  vnotebook* n = notebook({{vnotebookTAB_MODE, 2}}, 220, 160);
  const char* titles[] = {"Alpha", "Beta", "Gamma", "Delta", "Epsilon", "Zeta", "Eta", "Theta"};
  for (const char* title : titles) vcontainerAppendItem(n, page(title));
  vnotebookPageSelect(item(n, 1));
  vnotebookLayout(n);
  vnotebookTabSet* set = n->majorTabs;
  ASSERT_NE(set, nullptr);
  ASSERT_EQ(vdialogItemListCount(set->items), 8);
  auto tab = [&](int i) { return static_cast<vnotebookTab*>(vdialogItemListAt(set->items, i)); };
  EXPECT_EQ(tab(0)->rect.x, 2) << "the first tab starts at the widening";
  EXPECT_EQ(vnotebookTabSetGetCurrent(set), tab(1));
  EXPECT_EQ(tab(1)->rect.x, tab(0)->rect.x + tab(0)->rect.width - 2) << "the current tab is widened at both ends";
  EXPECT_GT(tab(1)->rect.height, tab(0)->rect.height) << "and raised";

  // More tabs than fit: the back button is off at the start, forward at the end.
  ASSERT_NE(set->scrollForward, nullptr);
  EXPECT_FALSE(vdialogItemIsEnabled(set->scrollBack));
  EXPECT_TRUE(vdialogItemIsEnabled(set->scrollForward));
  EXPECT_LT(set->lastVisible, 7);
  auto visible = [&](int i) {
    vrect r = tab(i)->rect;
    r.x = s16(r.x + set->bounds.x);
    r.y = s16(r.y + set->bounds.y);
    return vrectContainsRect(&set->content, &r) != 0;
  };
  EXPECT_FALSE(visible(7));
  vnotebookPageSelect(item(n, 7));
  EXPECT_TRUE(visible(7)) << "selecting a page scrolls its tab into view";
  EXPECT_EQ(set->lastVisible, 7);
  EXPECT_TRUE(vdialogItemIsEnabled(set->scrollBack));
  EXPECT_FALSE(vdialogItemIsEnabled(set->scrollForward));
  vnotebookPageSelect(item(n, 0));
  EXPECT_TRUE(visible(0));
  EXPECT_EQ(set->firstVisible, 0);
  EXPECT_FALSE(vdialogItemIsEnabled(set->scrollBack));

  // A press on the forward scroll button brings the next tab into the window.
  vdialog* d = dialogs.back();
  vwindowOpen(d);
  settle();
  int last = set->lastVisible;
  vrect b = set->scrollForward->rect;
  win::POINT p{b.x + b.width / 2, d->rect.height - 1 - (b.y + b.height / 2)};
  win::ClientToScreen(d->native->hwnd, &p);
  win::test::Click(p);
  settle();
  EXPECT_TRUE(visible(last + 1));
  EXPECT_GT(set->firstVisible, 0);
  EXPECT_TRUE(vdialogItemIsEnabled(set->scrollBack));
  EXPECT_EQ(current(n), "Alpha") << "scrolling selects nothing";
  vwindowClose(d);

  // Removing a page takes its tab out of the set.
  vdialogItem* gone = item(n, 3);
  vcontainerRemoveItem(n, gone);
  EXPECT_EQ(static_cast<vnotebookPage*>(gone)->tab->tabSet, nullptr);
  vinstanceDestroy(gone);
  vnotebookRefreshTabs(n);
  EXPECT_EQ(vdialogItemListCount(set->items), 7);
}

TEST_F(Notebooks, Win95LabelsAreNeverBold) {
  vnotebook* n = notebook({{vnotebookTAB_MODE, 2}});
  vnotebookPage* p = page("Wide label text");
  vcontainerAppendItem(n, p);
  int h = 0;
  vfont* font = vdialogDetermineItemFont(n);
  int plain = int((std::int64_t(vfontGetCharsWidth(font, p->title, 15)) + 0x8000) >> 16);
  int w = 0;
  vclassRec<vnotebookTabClassRec>(p->tab)->measureLabel(p->tab, &w, &h);
  EXPECT_GT(w, plain) << "measured bold too outside Win95";
  vprefSetString(vprefGetDefaultDict(), vscribeLiteral("laf"), "win95");
  _vlafRebuildCurrent();
  vclassRec<vnotebookTabClassRec>(p->tab)->measureLabel(p->tab, &w, &h);
  EXPECT_EQ(w, plain);
  int aw = 0, ah = 0;
  vnotebookGetButtonSize(0, &aw, &ah);
  int iw = 15, ih = 15;
  if (vimage* image = vlafGetImage(138)) iw = image->width, ih = image->height;
  int edges = 2 * vlafGetCurrent()->lineWidth + 2;
  EXPECT_EQ(aw, iw + edges);
  EXPECT_EQ(ah, ih + edges);
  startDialogItemTests();
}

TEST_F(Notebooks, FocusGoesMajorTabsMinorTabsThenThePage) {
  vnotebook* n = notebook({{vnotebookTAB_MODE, 3}}, 320, 220);
  vnotebookSection* s = section("s", {"p", "q"});
  vcontainerAppendItem(n, s);
  vcontainerAppendItem(n, section("t", {"r"}));
  vnotebookSelectFirstPage(n);
  auto* p = static_cast<vnotebookPage*>(item(s, 0));
  vdialogItem* field = vdialogItemCreate(vdialogItemGetDefaultClass());
  field->flags |= vdialogItemFOCUSABLE;
  vcontainerAppendItem(p, field);
  vnotebookLayout(n);
  ASSERT_NE(n->minorTabs, nullptr);
  auto owner = [&] {
    return n->focusOwner == n->majorTabs ? "major" : n->focusOwner == n->minorTabs ? "minor"
                                                   : n->focusOwner == n        ? "content"
                                                                               : "none";
  };
  n->focusOwner = nullptr;
  std::vector<std::string> forward;
  for (int i = 0; i < 4; ++i) {
    int stays = vnotebookMoveFocus(n, 1, 0);
    forward.push_back(std::string(owner()) + (stays ? "" : " left"));
  }
  EXPECT_EQ(forward, (std::vector<std::string>{"major", "minor", "content", "none left"}));
  // Arriving backward: from the page's last item to the tabs.
  vdialogItemListSetFocusIndex(n->items, -1);
  std::vector<std::string> backward;
  for (int i = 0; i < 4; ++i) {
    int stays = vnotebookMoveFocus(n, -1, 0);
    backward.push_back(std::string(owner()) + (stays ? "" : " left"));
  }
  EXPECT_EQ(backward, (std::vector<std::string>{"content", "minor", "major", "none left"}));
}

}  // namespace

namespace {

// A dialog with a notebook of twelve pages, loaded from its stored form.
const char* kBook = R"(
Book = dictionary {
  Class = tag vdialog
  Metrics = array integer [ 100 100 420 260 0 0 32767 32767 ]
  ItemList = dictionary {
    Class = tag vdialogItemList
    Objects = array dictionary [
      { Class = tag vnotebook Tag = tag book Flags = integer 135 Rect = array integer [ 10 10 400 240 ]
        Style = dictionary { Class = tag vnotebookStyle
          Values = array integer [ 3 -1 1 1 1 1 -1 -1 -1 0 -1 -1 -1 -1 -1 -1 -1 -1 -1 -1 -1 -1 -1 -1 -1 -1 -1 -1 ] }
        ItemList = dictionary { Class = tag vdialogItemList Objects = array dictionary [
          { Class = tag vnotebookPage Title = string "P1" } { Class = tag vnotebookPage Title = string "P2" }
          { Class = tag vnotebookPage Title = string "P3" } { Class = tag vnotebookPage Title = string "P4" }
          { Class = tag vnotebookPage Title = string "P5" } { Class = tag vnotebookPage Title = string "P6" }
          { Class = tag vnotebookPage Title = string "P7" } { Class = tag vnotebookPage Title = string "P8" }
          { Class = tag vnotebookPage Title = string "P9" } { Class = tag vnotebookPage Title = string "P10" }
          { Class = tag vnotebookPage Title = string "P11" } { Class = tag vnotebookPage Title = string "P12" }
        ] } }
    ]
  }
}
)";

TEST_F(Notebooks, ADialogTurnsItsNotebookByButtonsTabsAndKeys) {
  file = vrstoreCreateMemory();
  std::string error;
  ASSERT_TRUE(vrtextParse(kBook, file, &error)) << error;
  auto* d = static_cast<vdialog*>(vobjectLoad(vresourceGet(file, N("Book"))));
  dialogs.push_back(d);
  auto* n = static_cast<vnotebook*>(vdialogFindItem(d, N("book")));
  ASSERT_NE(n, nullptr);
  vwindowOpen(d);
  win::SetActiveWindow(d->native->hwnd);
  win::SetFocus(d->native->hwnd);
  settle();
  EXPECT_EQ(numbers(n), "1 of 12");
  auto click = [&](const vrect& r) {
    win::POINT p{r.x + r.width / 2, d->rect.height - 1 - (r.y + r.height / 2)};
    win::ClientToScreen(d->native->hwnd, &p);
    win::test::Click(p);
    settle();
  };
  ASSERT_NE(n->nextButton, nullptr);
  click(n->nextButton->rect);
  EXPECT_EQ(numbers(n), "2 of 12") << "the forward button";
  click(n->prevButton->rect);
  click(n->prevButton->rect);
  EXPECT_EQ(numbers(n), "1 of 12") << "the backward button stops at the first page";

  vnotebookTabSet* set = n->majorTabs;
  ASSERT_NE(set, nullptr);
  auto* fourth = static_cast<vnotebookTab*>(vdialogItemListAt(set->items, 3));
  vrect r = fourth->rect;
  r.x = s16(r.x + set->bounds.x);
  r.y = s16(r.y + set->bounds.y);
  click(r);
  EXPECT_EQ(numbers(n), "4 of 12") << "a tab";
  EXPECT_EQ(n->focusOwner, set) << "the pressed tab set holds the focus";

  win::test::KeyDown(win::VK_RIGHT);
  win::test::KeyUp(win::VK_RIGHT);
  settle();
  EXPECT_EQ(numbers(n), "5 of 12") << "an arrow key moves along the tabs";
  win::test::KeyDown(win::VK_LEFT);
  win::test::KeyUp(win::VK_LEFT);
  settle();
  EXPECT_EQ(numbers(n), "4 of 12");

  // The focus arrives with the direction it came from: forward at the major
  // tabs, backward in the page's content.
  vdialogItem* other = vdialogItemCreate(vdialogItemGetDefaultClass());
  other->flags |= vdialogItemFOCUSABLE;
  vrect place{5, 5, 4, 4};
  vdialogSetItemRect(other, &place);
  vdialogAppendItem(d, other);
  auto* page = static_cast<vcontainer*>(n->selection);
  page->flags |= vdialogItemFOCUSABLE;  // stored without flags, so not taking the focus yet
  vdialogItem* field = vdialogItemCreate(vdialogItemGetDefaultClass());
  field->flags |= vdialogItemFOCUSABLE;
  vcontainerAppendItem(page, field);
  vdialogSetFocusItem(d, other);
  settle();
  auto tabKey = [&](bool shift) {
    if (shift) win::test::KeyDown(win::VK_SHIFT);
    win::test::KeyDown(win::VK_TAB);
    win::test::KeyUp(win::VK_TAB);
    if (shift) win::test::KeyUp(win::VK_SHIFT);
    settle();
  };
  auto owner = [&] { return n->focusOwner == set ? "tabs" : n->focusOwner == n ? "content" : "none"; };
  tabKey(false);
  EXPECT_EQ(vdialogGetFocusItem(d), n);
  EXPECT_STREQ(owner(), "tabs");
  tabKey(true);
  EXPECT_EQ(vdialogGetFocusItem(d), other);
  tabKey(true);
  EXPECT_EQ(vdialogGetFocusItem(d), n);
  EXPECT_STREQ(owner(), "content");
  EXPECT_EQ(vdialogItemListGetFocusItem(page->items), field) << "the page's last item";
  vwindowClose(d);
}

// Each picture drawn by a program of its own (the classes take the look
// they are built in).
TEST(NotebookPictures, EachLookDrawsItsNotebooksAsStored) {
  struct Row {
    const char* laf;
    const char* variant;
  } rows[] = {{"win95", "sections"}, {"windows", "sections"}, {"motif", "sections"},
              {"cua", "sections"},   {"motif", "turned"},     {"windows", "overflow"},
              {"cua", "overflow"}};
  for (const Row& row : rows) {
    std::string name = std::string(row.variant) + "_" + row.laf + ".png";
    SCOPED_TRACE(name);
    std::string png = (std::filesystem::temp_directory_path() /
                       ("notebook_" + std::to_string(::getpid()) + "_" + name)).string();
    std::string command = std::string(NOTEBOOK_PROBE) + " -laf " + row.laf + " " + row.variant + " " + png;
    ASSERT_EQ(std::system(command.c_str()), 0);
    win::test::Image image;
    ASSERT_TRUE(win::test::ReadPng(png, image));
    std::filesystem::remove(png);
    EXPECT_TRUE(test_support::MatchesPng(image, std::string(WIDGETS_DATA) + "/notebook/" + name));
  }
}

}  // namespace
