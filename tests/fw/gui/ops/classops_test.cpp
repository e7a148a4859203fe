// The window layer's operations of higher classes, against stand-in
// notices, list views and combos reached through a test hook record, which
// this program installs before any test reads it.
#include "fw/gui/window/classops.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "fw/core/attributed.h"
#include "fw/core/class.h"
#include "fw/core/scribe.h"
#include "fw/core/sys.h"
#include "tests/fw/gui/ops/textmodel.h"

namespace {

std::vector<std::string> calls;  // what the hooks were asked, in order

// --- Notices -------------------------------------------------------------

struct Button : vobject {
  bool shown = true, enabled = true;
  std::string title;
};
struct Notice : vinstance {
  std::vector<Button*> buttons;
  std::vector<Button> made;  // room for a button made present
  bool canMake = true;
};
Button* asButton(vinstance* i) { return static_cast<Button*>(i); }

// --- List views and combos -----------------------------------------------

struct ListView : vinstance {
  std::uint32_t flags = 0x10, options = 0;
  vlistviewNotifyFunc notify = nullptr;
};
std::vector<std::pair<vinstance*, int>> notified;

struct Combo {
  std::vector<std::string> entries;
  int selected = -1;
  vobject* value = nullptr;  // the value's text is its tag
};
std::map<vinstance*, Combo> combos;
std::vector<vname> announced;

vwindowHooks testHooks() {
  vwindowHooks h = vwindowDefaultHooks();
  h.noticeFindButton = [](vinstance* n, vname tag) -> vobject* {
    calls.push_back("find");
    for (Button* b : static_cast<Notice*>(n)->buttons)
      if (b->tag == tag) return b;
    return nullptr;
  };
  h.noticeMakeButtonPresent = [](vinstance* n, vname tag, int value) {
    calls.push_back("present " + std::string(tag) + " " + std::to_string(value));
    auto* notice = static_cast<Notice*>(n);
    if (!notice->canMake) return;
    Button& b = notice->made.emplace_back();
    b.tag = tag;
    notice->buttons.push_back(&b);
  };
  h.dialogItemDisable = [](vinstance* i) { calls.push_back("disable"), asButton(i)->enabled = false; };
  h.dialogItemHide = [](vinstance* i) { calls.push_back("hide"), asButton(i)->shown = false; };
  h.confirmButtonSetTitleScribe = [](vinstance* i, vscribe* title) {
    calls.push_back("title");
    char text[64];
    vscribeGetCStringBounded(title, text, sizeof text - 1);
    text[sizeof text - 1] = '\0';
    asButton(i)->title = text;
  };
  h.listviewItemFlags = [](vinstance* l) { return static_cast<ListView*>(l)->flags; };
  h.listviewOptions = [](vinstance* l) { return static_cast<ListView*>(l)->options; };
  h.listviewNotifyFunction = [](vinstance* l) { return static_cast<ListView*>(l)->notify; };
  h.comboHasEntries = [](vinstance* c) { return static_cast<int>(!combos[c].entries.empty()); };
  h.comboGetValue = [](vinstance* c) { return combos[c].value; };
  h.comboSelect = [](vinstance* c, int index) {
    calls.push_back("select " + std::to_string(index));
    Combo& combo = combos[c];
    combo.selected = index;
    combo.value = index < 0 ? nullptr : combo.value;
  };
  h.comboSortEntries = [](vinstance* c, int first, int second, vcomboEntryCompare compare) {
    calls.push_back("sort " + std::to_string(first) + " " + std::to_string(second));
    std::vector<std::string>& e = combos[c].entries;
    std::sort(e.begin(), e.end(), [&](const std::string& a, const std::string& b) {
      return compare(a.c_str(), b.c_str()) < 0;
    });
  };
  h.comboSetValue = [](vinstance* c, vobject* value) {
    calls.push_back("set " + std::string(value->tag));
    Combo& combo = combos[c];
    auto at = std::find(combo.entries.begin(), combo.entries.end(), std::string(value->tag));
    combo.selected = at == combo.entries.end() ? -1 : static_cast<int>(at - combo.entries.begin());
  };
  h.comboVariantOperation = [](vinstance* c) { return static_cast<std::intptr_t>(combos[c].entries.size()) + 40; };
  fillTextHooks(&h);
  return h;
}

struct Install : ::testing::Environment {
  void SetUp() override {
    vwindowHooks h = testHooks();
    vwindowInstallHooks(&h);
  }
  void TearDown() override { vsysRunExitHandlers(); }
};
[[maybe_unused]] ::testing::Environment* const installed = ::testing::AddGlobalTestEnvironment(new Install);

TEST(NoticeNoTitle, ExistingButtonOnlyGetsItsTitle) {
  calls.clear();
  Button no;
  no.tag = vnameInternLiteral("No");
  Notice notice;
  notice.buttons = {&no};
  vnoticeSetNoTitleScribe(&notice, vscribeCString("Overwrite"));
  EXPECT_EQ(no.title, "Overwrite");
  EXPECT_TRUE(no.shown);
  EXPECT_TRUE(no.enabled);
  EXPECT_EQ(calls, (std::vector<std::string>{"find", "title"}));
}

TEST(NoticeNoTitle, MissingButtonIsMadeOffThenTitled) {
  calls.clear();
  Button yes;
  yes.tag = vnameInternLiteral("Yes");
  Notice notice;
  notice.made.reserve(1);
  notice.buttons = {&yes};
  vnoticeSetNoTitleScribe(&notice, vscribeCString("Append"));
  ASSERT_EQ(notice.made.size(), 1u);
  const Button& made = notice.made[0];
  EXPECT_EQ(made.title, "Append");
  EXPECT_FALSE(made.shown);
  EXPECT_FALSE(made.enabled);
  EXPECT_EQ(yes.title, "");
  EXPECT_EQ(calls, (std::vector<std::string>{"find", "present No 1", "find", "disable", "hide", "title"}));

  // Still none after it was made present: the title is released, nothing else.
  calls.clear();
  Notice stubborn;
  stubborn.canMake = false;
  vnoticeSetNoTitleScribe(&stubborn, vscribeCString("Lost"));
  EXPECT_EQ(calls, (std::vector<std::string>{"find", "present No 1", "find"}));
}

TEST(ListViewNotify, OnlyOpenUnsilencedWithAFunction) {
  auto record = [](vinstance* l, int code) { notified.emplace_back(l, code); };
  struct Case {
    const char* what;
    std::uint32_t flags, options;
    bool hasNotify, sends;
  } cases[] = {
      {"open", 0x10, 0, true, true},
      {"open among other flags", 0x13, 0x7ff, true, true},
      {"closed", 0x0f, 0, true, false},
      {"no notify function", 0x10, 0, false, false},
      {"silenced", 0x10, 0x800, true, false},
  };
  for (const Case& c : cases) {
    notified.clear();
    ListView view;
    view.flags = c.flags;
    view.options = c.options;
    view.notify = c.hasNotify ? +record : nullptr;
    vlistviewNotify(&view, 3);
    if (c.sends) {
      ASSERT_EQ(notified.size(), 1u) << c.what;
      EXPECT_EQ(notified[0].first, &view) << c.what;
      EXPECT_EQ(notified[0].second, 3) << c.what;
    } else {
      EXPECT_TRUE(notified.empty()) << c.what;
    }
  }
}

TEST(ComboEntries, ComparisonOrdersUnsignedBytes) {
  struct Case {
    const char *a, *b;
    int result;
  } cases[] = {{"", "", 0},        {"a", "a", 0},        {"B", "a", -1}, {"a", "B", 1}, {"ab", "a", 1},
               {"a", "ab", -1},    {"\x80", "\x7f", 1},  {"z", "\xe9", -1}};
  for (const Case& c : cases) EXPECT_EQ(vcomboCompareEntries(c.a, c.b), c.result) << c.a << " / " << c.b;
}

vobject* makeCombo() {
  static vobjectAttributedClassRec* cls = [] {
    auto* c = vclassSpawnOf<vobjectAttributedClassRec>(vobjectGetAttributedClass());
    c->send = [](vobject*, vname selector, vdict*) { announced.push_back(selector); };
    return c;
  }();
  return static_cast<vobject*>(vinstanceCreate(cls));
}

TEST(ComboEntries, SortKeepsTheShownValue) {
  vobject* combo = makeCombo();
  vobject* value = static_cast<vobject*>(vinstanceCreate(vobjectGetDefaultClass()));
  value->tag = vnameInternLiteral("b");
  combos[combo] = Combo{{"b", "B", "a"}, 0, value};
  calls.clear();
  announced.clear();
  vcomboSortEntries(combo);
  EXPECT_EQ(combos[combo].entries, (std::vector<std::string>{"B", "a", "b"}));
  EXPECT_EQ(combos[combo].selected, 2);
  EXPECT_EQ(calls, (std::vector<std::string>{"select -1", "sort 1 0", "set b"}));
  EXPECT_EQ(announced, (std::vector<vname>{vnameInternLiteral("Content")}));

  // Entries but no value: sorted and announced, no value set.
  combos[combo] = Combo{{"y", "x"}, -1, nullptr};
  calls.clear();
  announced.clear();
  vcomboSortEntries(combo);
  EXPECT_EQ(combos[combo].entries, (std::vector<std::string>{"x", "y"}));
  EXPECT_EQ(calls, (std::vector<std::string>{"select -1", "sort 1 0"}));
  EXPECT_EQ(announced.size(), 1u);

  // No entries: untouched, nothing announced.
  combos[combo] = Combo{{}, -1, value};
  calls.clear();
  announced.clear();
  vcomboSortEntries(combo);
  EXPECT_TRUE(calls.empty());
  EXPECT_TRUE(announced.empty());
  EXPECT_EQ(combos[combo].value, value);

  // The forwarded operation's answer comes back unchanged.
  combos[combo] = Combo{{"p", "q"}, -1, nullptr};
  EXPECT_EQ(vcomboForwardOperation(combo), 42);

  combos.clear();
  vinstanceDestroy(value);
  vinstanceDestroy(combo);
}

}  // namespace
