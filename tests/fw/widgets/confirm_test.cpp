// Confirmation dialogs as an application meets them: the button row laid
// out in each look, buttons pressed by injected clicks with and without
// hooks, modal runs answering the pressed button's tag or "Close", and the
// stored form read back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "fw/core/ex.h"
#include "fw/core/sys.h"
#include "fw/data/vresource.h"
#include "fw/data/vrstore.h"
#include "fw/data/vrtext.h"
#include "fw/gui/window/msw.h"
#include "fw/widgets/choosers/confirm.h"
#include "fw/widgets/dialog_support.h"
#include "platform/win/test.h"

namespace {

std::int16_t s16(int v) { return std::int16_t(v); }

void settle() {
  veventMSWDrainMessages();
  veventProcessPending(1, 0);
  veventMSWDrainMessages();
}

struct Shown {
  std::string tag;
  vrect rect;
};
std::vector<Shown> shownButtons(vconfirm* c) {
  std::vector<Shown> out;
  vdialogItemList* l = c->buttons->items;
  for (int i = 0; i < vdialogItemListCount(l); ++i) {
    vdialogItem* b = vdialogItemListAt(l, i);
    if (b->flags & vdialogItemSHOWN) out.push_back({b->tag, b->rect});
  }
  return out;
}

// The layout a probe printed for one look and case.
struct Layout {
  std::vector<Shown> shown;
  std::vector<int> natural;  // natural widths, in step with shown
  vrect band{};
  int width = 0, height = 0, separator = 0;
};
Layout layoutOf(const char* laf, const char* mode) {
  Layout out;
  std::string command = std::string(CONFIRM_PROBE) + " -laf " + laf + " " + mode;
  FILE* p = popen(command.c_str(), "r");
  char tag[64];
  int x, y, w, h, n;
  char line[256];
  while (p && std::fgets(line, sizeof line, p)) {
    if (std::sscanf(line, "band %d %d %d %d", &x, &y, &w, &h) == 4) out.band = {s16(x), s16(y), s16(w), s16(h)};
    else if (std::sscanf(line, "natural %d %d", &w, &h) == 2) out.width = w, out.height = h;
    else if (std::sscanf(line, "separator %d", &n) == 1) out.separator = n;
    else if (std::sscanf(line, "%63s %d %d %d %d %d", tag, &x, &y, &w, &h, &n) == 6) {
      out.shown.push_back({tag, {s16(x), s16(y), s16(w), s16(h)}});
      out.natural.push_back(n);
    }
  }
  EXPECT_EQ(p ? pclose(p) : -1, 0);
  return out;
}

// The row of OK, Apply and Cancel (Apply added last) in a 400-wide dialog:
// order and first x by look, then each button at its natural width with
// the look's spacing.
TEST(ConfirmLayout, EachLookOrdersAndPlacesTheRow) {
  struct Row {
    const char* laf;
    std::vector<std::string> order;
    int spacing, along, across;
    const char* placing;  // centred, right, spread
  } rows[] = {
      {"windows", {"Ok", "Apply", "Cancel"}, 22, 10, 10, "centred"},
      {"win95", {"Ok", "Cancel", "Apply"}, 5, 5, 6, "right"},
      {"motif", {"Ok", "Apply", "Cancel"}, 15, 10, 10, "spread"},
      {"cua", {"Ok", "Apply", "Cancel"}, 15, 10, 10, "centred"},
      // Open Look hides Apply, and the Cancel of a new confirm.
      {"openlook", {"Ok"}, 15, 10, 10, "centred"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.laf);
    Layout l = layoutOf(row.laf, "row");
    std::vector<std::string> tags;
    for (const Shown& s : l.shown) tags.push_back(s.tag);
    EXPECT_EQ(tags, row.order);
    int total = 0, tallest = 0;
    for (const Shown& s : l.shown) total += s.rect.width, tallest = std::max<int>(tallest, s.rect.height);
    int count = int(l.shown.size());
    int rowWidth = total + row.spacing * (count - 1) + 2 * row.along;
    int free = 400 - rowWidth;
    int x = std::string(row.placing) == "right" ? row.along + free : row.along + free / 2, widen = 0;
    if (std::string(row.placing) == "spread") x = row.along, widen = free / (count - 1);
    for (int i = 0; i < count; ++i) {
      const Shown& s = l.shown[i];
      SCOPED_TRACE(s.tag);
      EXPECT_EQ(s.rect.x, x);
      EXPECT_EQ(s.rect.y, row.across);
      EXPECT_EQ(s.rect.width, l.natural[i]);
      x += s.rect.width + row.spacing + widen;
    }
    EXPECT_EQ(l.band.height, tallest + 2 * row.across) << "the band along the bottom";
    EXPECT_EQ(l.separator, std::string(row.laf) == "motif" ? 1 : 0);
    EXPECT_GE(l.width, rowWidth);
    EXPECT_GE(l.height, tallest + 2 * row.across + (l.separator ? 5 : 0));
  }
}

TEST(ConfirmLayout, ColumnsAndRowsWiderThanTheDialog) {
  for (const char* laf : {"windows", "motif"}) {
    SCOPED_TRACE(laf);
    // Too narrow: a negative free space starts left of the margin, or in
    // Motif narrows every gap.
    std::vector<Shown> row = layoutOf(laf, "narrow").shown;
    ASSERT_EQ(row.size(), 4u);
    int spacing = std::string(laf) == "motif" ? 15 : 22;
    int total = 0;
    for (const Shown& s : row) total += s.rect.width;
    int free = 60 - (total + spacing * 3 + 20);
    ASSERT_LT(free, 0);
    if (std::string(laf) == "motif") {
      EXPECT_EQ(row[0].rect.x, 10);
      EXPECT_EQ(row[1].rect.x, 10 + row[0].rect.width + spacing + free / 3) << "a negative widening";
    } else {
      EXPECT_EQ(row[0].rect.x, 10 + free / 2) << "halves toward zero";
    }
    // A column at the right-hand side, centred vertically, every button as wide as the widest.
    Layout l = layoutOf(laf, "column");
    int widest = 0, heights = 0;
    for (int n : l.natural) widest = std::max(widest, n);
    for (const Shown& s : l.shown) heights += s.rect.height;
    int columnHeight = heights + spacing * 3 + 20;
    EXPECT_EQ(l.band.x, 400 - (widest + 20));
    int top = 300 - (300 - columnHeight) / 2 - 10;
    for (const Shown& s : l.shown) {
      SCOPED_TRACE(s.tag);
      EXPECT_EQ(s.rect.width, widest);
      EXPECT_EQ(s.rect.x, 10);
      EXPECT_EQ(s.rect.y + s.rect.height, top);
      top -= s.rect.height + spacing;
    }
  }
}

// A confirm open on the headless display, its buttons pressed by clicks.
struct Confirms : ::testing::Test {
  vconfirm* c = nullptr;
  static inline std::vector<std::string> calls;
  static inline int verdict = 1;
  void SetUp() override {
    startDialogItemTests();
    vdialogStartup();
    win::UseVirtualClock(true);
    win::test::ResetInput();
    calls.clear();
    verdict = 1;
    c = vconfirmCreate();
    c->rect = {60, 60, 420, 160};
  }
  void TearDown() override {
    if (c) vinstanceDestroy(c);
    win::test::ResetInput();
    veventMSWDrainMessages();
    win::UseVirtualClock(false);
  }
  void open() {
    vwindowOpen(c);
    win::SetActiveWindow(c->native->hwnd);
    settle();
  }
  static void clickOn(vconfirm* c, const char* tag) { ASSERT_TRUE(clickConfirmButton(c, tag)) << tag; }
  void press(const char* tag) {
    clickOn(c, tag);
    settle();
  }
  static int record(const char* name, vconfirm*) {
    calls.push_back(name);
    return verdict;
  }
};

TEST_F(Confirms, HooksDecideWhetherAPressCloses) {
  vconfirmShowApply(c, 1);
  vconfirmShowReset(c, 1);
  vconfirmShowHelp(c, 1);
  struct Case {
    const char* press;
    vconfirmHook apply, reset;
    int verdict;
    bool staysOpen;
    std::vector<std::string> calls;
  } cases[] = {
      {"Ok", nullptr, nullptr, 1, false, {}},
      {"Ok", [](vconfirm* x, vevent*) { return record("apply", x); }, nullptr, 0, true, {"apply"}},
      {"Ok", [](vconfirm* x, vevent*) { return record("apply", x); }, nullptr, 1, false, {"apply"}},
      {"Apply", [](vconfirm* x, vevent*) { return record("apply", x); }, nullptr, 1, true, {"apply"}},
      {"Cancel", nullptr, nullptr, 1, false, {}},
      {"Reset", nullptr, nullptr, 1, true, {}},
      {"Cancel", nullptr, [](vconfirm* x, vevent*) { return record("reset", x); }, 0, true, {"reset"}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(std::string(k.press) + " verdict " + std::to_string(k.verdict));
    calls.clear();
    verdict = k.verdict;
    vconfirmSetApply(c, k.apply);
    vconfirmSetReset(c, k.reset);
    open();
    press(k.press);
    EXPECT_EQ(vwindowIsOpen(c), k.staysOpen);
    EXPECT_EQ(calls, k.calls);
    if (vwindowIsOpen(c)) vwindowClose(c);
    settle();
  }
  // Help never closes, even when its hook accepts (a click would also issue
  // the application's "Help" command, which needs a help window).
  vconfirmSetHelp(c, [](vconfirm* x, vevent*) { return record("help", x); });
  calls.clear();
  open();
  vdialogItem* help = vconfirmFindButton(c, N("Help"));
  help->notifyFunc(help, nullptr);
  EXPECT_TRUE(vwindowIsOpen(c));
  EXPECT_EQ(calls, std::vector<std::string>{"help"});
  vwindowClose(c);
  // A close hook that answers nonzero keeps the dialog although OK accepted.
  vconfirmSetApply(c, nullptr);
  vdialogSetCloseHook(c, [](vdialog*, vevent*) { return 1; });
  open();
  press("Ok");
  EXPECT_TRUE(vwindowIsOpen(c));
  vdialogSetCloseHook(c, nullptr);
  vwindowClose(c);
}

TEST_F(Confirms, ClearingAHookDisablesItsButtonsOnlyWithTheFlag) {
  vconfirmShowApply(c, 1);
  auto enabled = [&](const char* tag) { return vdialogItemIsEnabled(vconfirmFindButton(c, N(tag))); };
  vconfirmSetApply(c, nullptr);
  EXPECT_TRUE(enabled("Ok"));
  EXPECT_TRUE(enabled("Apply"));
  vconfirmSetDisableOnClear(c, 1);
  vconfirmSetApply(c, nullptr);
  EXPECT_FALSE(enabled("Ok"));
  EXPECT_FALSE(enabled("Apply"));
  EXPECT_TRUE(enabled("Cancel"));
  vconfirmSetApply(c, [](vconfirm*, vevent*) { return 1; });
  EXPECT_TRUE(enabled("Ok"));
  EXPECT_TRUE(enabled("Apply"));
  // A disabled OK does nothing when clicked.
  vconfirmSetApply(c, nullptr);
  open();
  press("Ok");
  EXPECT_TRUE(vwindowIsOpen(c));
  vwindowClose(c);
}

TEST_F(Confirms, AModalRunAnswersTheTagWithoutHooks) {
  vconfirmSetApply(c, [](vconfirm* x, vevent*) { return record("apply", x); });
  vconfirmShowButton(c, N("Retry"), 1);
  vconfirmSetOther(c, [](vconfirm* x, vevent*) { return record("other", x); });
  for (const char* tag : {"Ok", "Cancel", "Retry"}) {
    SCOPED_TRACE(tag);
    vconfirmProcessStart(c);
    EXPECT_TRUE(c->flags & vwindowMODAL);
    settle();
    clickOn(c, tag);
    EXPECT_EQ(vconfirmProcessGet(c), N(tag));
    EXPECT_TRUE(vwindowIsOpen(c)) << "open until stopped";
    vconfirmProcessStop(c);
    EXPECT_FALSE(vwindowIsOpen(c));
    EXPECT_FALSE(c->flags & vwindowMODAL) << "the modal state comes back";
    EXPECT_EQ(c->process, nullptr);
  }
  EXPECT_TRUE(calls.empty()) << "no hook runs while processing";
  // The window closed: "Close", and the window stays until stopped.
  vconfirmProcessStart(c);
  settle();
  win::PostMessageA(c->native->hwnd, win::WM_CLOSE, 0, 0);
  EXPECT_EQ(vconfirmProcessGet(c), N("Close"));
  EXPECT_TRUE(vwindowIsOpen(c));
  vconfirmProcessStop(c);
  EXPECT_EQ(c->closeHook, nullptr);
  // Afterwards the buttons call their hooks again.
  open();
  press("Ok");
  EXPECT_EQ(calls, std::vector<std::string>{"apply"});
}

TEST_F(Confirms, MisusedRunsRaiseTheirMessages) {
  struct Case {
    const char* message;
    void (*call)(vconfirm*);
  } cases[] = {
      {"Attempt to Process a confirm which is open.", [](vconfirm* x) { vconfirmProcessStart(x); }},
      {"Attempt to get button on confirm process when closed", [](vconfirm* x) { vconfirmProcessGet(x); }},
      {"Attempt to stop processing on a closed confirm", [](vconfirm* x) { vconfirmProcessStop(x); }},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.message);
    bool opened = std::string(k.message).find("open.") != std::string::npos;
    if (opened) open();
    std::string raised;
    vexGuard([&] { k.call(c); },
             [&](vexHandler& h) {
               raised = vexGetCurrentException()->message;
               vexSetCurrentException(h.savedChain);
             });
    EXPECT_EQ(raised, k.message);
    if (opened) vwindowClose(c);
  }
}

// The simulator's error report: create, set up, place against the root
// window, run; an injected click on OK answers "Ok".
TEST_F(Confirms, TheErrorReportPatternAnswersOk) {
  static vconfirm* running;
  running = c;
  veventIdleHook previous = veventSetIdleHook([] {
    static int rounds = 0;
    if (++rounds == 1) clickOn(running, "Ok");  // the loop is waiting for the user
  });
  vdialogPlace(c, vwindowGetRoot(), 6, 6);
  EXPECT_EQ(vconfirmProcess(c), N("Ok"));
  veventSetIdleHook(previous);
  EXPECT_FALSE(vwindowIsOpen(c));
}

TEST(ConfirmResources, OldAndNewFormsLoadAndTheNewOneIsStored) {
  startDialogItemTests();
  vdialogStartup();
  vconfirmGetDefaultClass();
  vresource file = vrstoreCreateMemory();
  std::string error;
  const char* text = R"(
    Old = dictionary { Class = tag vconfirm ConfirmFlags = integer 0x812
                       CancelTitle = string "Stop" CancelMnemonic = character 83
                       DefaultsTitle = string "Factory" DefaultTitle = string "kept?"
                       DefaultsMnemonic = character 70 }
  )";
 ASSERT_TRUE(vrtextParse(text, file, &error)) << error;
  auto* c = static_cast<vconfirm*>(vobjectLoad(vresourceGet(file, N("Old"))));
  std::vector<std::string> tags;
  for (const Shown& s : shownButtons(c)) tags.push_back(s.tag);
  EXPECT_EQ(tags, (std::vector<std::string>{"Ok", "Cancel", "Defaults"})) << "OK forced, in the loading order";
  EXPECT_STREQ(vconfirmFindButton(c, N("Cancel"))->title, "Stop");
  EXPECT_EQ(vconfirmFindButton(c, N("Defaults"))->mnemonic & 0xFF, 'F');
  EXPECT_EQ(c->confirmFlags, vconfirmDISABLE_ON_CLEAR);
  // Stored in the new form over the old keys.
  vresource out = vresourceMake(file, N("Stored"));
  vclassRec<vobjectClassRec>(c)->store(c, out);
  vresource unused;
  for (const char* gone : {"ConfirmFlags", "CancelTitle", "DefaultTitle"})
    EXPECT_FALSE(vresourceTestGet(out, N(gone), &unused)) << gone;
  auto* again = static_cast<vconfirm*>(vobjectLoad(out));
  tags.clear();
  for (const Shown& s : shownButtons(again)) tags.push_back(s.tag);
  EXPECT_EQ(tags, (std::vector<std::string>{"Ok", "Cancel", "Defaults"}));
  EXPECT_STREQ(vconfirmFindButton(again, N("Cancel"))->title, "Stop");
  EXPECT_EQ(again->confirmFlags, vconfirmDISABLE_ON_CLEAR);
  // A copy takes the flags and the hooks and owns its own buttons.
  vconfirmSetHelp(c, nullptr);
  auto* copy = static_cast<vconfirm*>(vobjectClone(c));
  EXPECT_EQ(copy->confirmFlags, vconfirmDISABLE_ON_CLEAR);
  EXPECT_EQ(copy->helpHook, nullptr);
  EXPECT_NE(copy->buttons, c->buttons);
  EXPECT_STREQ(vconfirmFindButton(copy, N("Cancel"))->title, "Stop");
  vinstanceDestroy(copy);
  vinstanceDestroy(again);
  vinstanceDestroy(c);
  vresourceCloseFile(file);
}

}  // namespace
