// Clipboards: the portable class in memory, and the Windows module's
// global and selection clipboards over the platform's clipboard.
#include "fw/gui/window/clipboard.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "fw/data/scrap.h"
#include "platform/win/test.h"
#include "tests/fw/gui/msw_fixture.h"
#include "tests/fw/gui/raises.h"

namespace {

// What notify functions received: "name:text" per delivery.
std::vector<std::string> received;
std::string nameOf(vclipboard* c) { return c->spare ? static_cast<const char*>(c->spare) : "?"; }
std::string textOf(vinstance* scrap) {
  vscribe* s = vscrapGetString(vscrapWalk(scrap));
  char* text = vscribeCreateString(s);
  std::string out = text;
  vscribeFreeString(text);
  return out;
}
void record(vclipboard* c, vinstance* scrap) {
  received.push_back(nameOf(c) + ":" + textOf(scrap));
  vinstanceDestroy(scrap);
}

vinstance* text(const char* s) { return vscrapCreateNativeString(s); }

// Messages the platform sent to the clipboard's hidden window.
std::vector<std::string> hiddenWindowMessages(const std::vector<win::test::TraceEntry>& trace) {
  std::vector<std::string> out;
  for (const auto& e : trace)
    if (e.hwnd == vclipboardMSWGetWindow()) out.push_back(win::test::MessageName(e.message));
  return out;
}

struct Clipboard : MSWFixture {
  vclipboard* global = nullptr;
  vclipboard* selection = nullptr;
  void SetUp() override {
    MSWFixture::SetUp();
    vclipboardMSWStartup();
    received.clear();
    global = make(vclipboardGetDefaultGlobalClass(), "global");
    selection = make(vclipboardGetDefaultSelectionClass(), "selection");
  }
  void TearDown() override {
    vclipboardClear(global);
    vclipboardClear(selection);
    vclipboardDestroy(global);
    vclipboardDestroy(selection);
    win::test::SetGlobalAllocCap(0);
    // Ours and empty again.
    win::OpenClipboard(nullptr);
    win::EmptyClipboard();
    win::CloseClipboard();
  }
  // Interface objects are named by their requester word.
  static vclipboard* make(vclipboardClassRec* cls, const char* name) {
    vclipboard* c = vclipboardCreate(cls);
    c->spare = const_cast<char*>(name);
    vclipboardSetNotify(c, record);
    return c;
  }
};

TEST(ClipboardBase, HoldsOneScrapAndHandsReferences) {
  vclipboard* c = vclipboardCreate(vclipboardGetDefaultClass());
  EXPECT_EQ(raised([&] { vclipboardRequest(c); }), &vexArgClass);
  EXPECT_FALSE(vclipboardHasContents(c));
  vclipboardSetContents(c, text("first"));
  vclipboardSetContents(c, text("second"));  // the first is destroyed
  EXPECT_TRUE(vclipboardHasContents(c));
  c->spare = const_cast<char*>("base");
  vclipboardSetNotify(c, record);
  received.clear();
  vclipboardRequest(c);
  vclipboardRequest(c);
  EXPECT_EQ(received, (std::vector<std::string>{"base:second", "base:second"}));
  vclipboardClear(c);
  EXPECT_FALSE(vclipboardHasContents(c));
  // Null clipboards and scraps.
  const std::vector<std::function<void()>> nulls = {
      [] { vclipboardRequest(nullptr); },          [] { vclipboardClear(nullptr); },
      [] { vclipboardHasContents(nullptr); },      [] { vclipboardSetNotify(nullptr, record); },
      [] { vclipboardSetContents(nullptr, nullptr); }, [&] { vclipboardSetContents(c, nullptr); },
  };
  for (const auto& call : nulls) EXPECT_EQ(raised(call), &vexArgNullClass);
  vclipboardDestroy(c);
}

TEST(ClipboardBase, SystemClassesNeedTheWindowsModule) {
  vsysStartup();
  vmoduleContext* context = vmoduleCreateContext();
  std::string message;
  EXPECT_EQ(raised([] { vclipboardGetDefaultSelectionClass(); }, &message), &vexModuleStartupClass);
  EXPECT_EQ(message, "system dependent Selection Clipboard not initialized");
  EXPECT_EQ(raised([] { vclipboardGetDefaultGlobalClass(); }, &message), &vexModuleStartupClass);
  EXPECT_EQ(message, "system dependent Global Clipboard not initialized");
  vexGuard([] { vclipboardGetDefaultGlobalClass(); },
           [](vexHandler& h) {
             EXPECT_STREQ(vexGetCurrentException()->procedure, "vclipboardGetDefaultGlobalClass()");
             vexSetCurrentException(h.savedChain);
           });
  vmoduleDestroyContext(context);
}

TEST_F(Clipboard, CopyAndPasteInsideTheProgramStayInMemory) {
  // Copied in one window, pasted in another: the Windows clipboard only
  // holds a promise, which nobody asks to keep.
  vwindow* from = open(vwindowDECO_TOP_LEVEL, vrect{10, 10, 100, 80});
  vwindow* to = open(vwindowDECO_TOP_LEVEL, vrect{200, 10, 100, 80});
  vclipboard* paste = make(vclipboardGetDefaultGlobalClass(), "paste");
  global->spare = from;
  paste->spare = const_cast<char*>("paste");
  win::test::StartTrace();
  vclipboardSetContents(global, text("one\ntwo"));
  EXPECT_EQ(win::GetClipboardOwner(), vclipboardMSWGetWindow());
  EXPECT_TRUE(vclipboardHasContents(paste));
  vclipboardRequest(paste);
  EXPECT_EQ(received, (std::vector<std::string>{"paste:one\ntwo"}));
  EXPECT_EQ(hiddenWindowMessages(win::test::StopTrace()), std::vector<std::string>{});
  EXPECT_TRUE(vclipboardMSWGetSystemObject()->flags & vclpbdsysOFFERED);

  // Another program reads it with CR LF: rendered once, on demand.
  win::test::StartTrace();
  EXPECT_EQ(win::test::ClipboardText(), "one\r\ntwo");
  EXPECT_EQ(win::test::ClipboardText(), "one\r\ntwo");
  EXPECT_EQ(hiddenWindowMessages(win::test::StopTrace()), std::vector<std::string>{"WM_RENDERFORMAT"});
  EXPECT_FALSE(vclipboardMSWGetSystemObject()->flags & vclpbdsysOFFERED);
  // Rendered, a paste reads the Windows text back with LF alone.
  received.clear();
  vclipboardRequest(paste);
  EXPECT_EQ(received, (std::vector<std::string>{"paste:one\ntwo"}));
  vclipboardDestroy(paste);
  close(from);
  close(to);
}

TEST_F(Clipboard, LineEndsBetweenLFAndCRLF) {
  struct Case {
    const char* ours;
    const char* windows;
  };
  const Case rendered[] = {{"a\nb", "a\r\nb"}, {"\nlead", "\r\nlead"}, {"kept\r\nas is", "kept\r\nas is"},
                           {"a\n\nb\n", "a\r\n\r\nb\r\n"}, {"", ""}, {"lone\r", "lone\r"}};
  for (const Case& c : rendered) {
    vclipboardSetContents(global, text(c.ours));
    EXPECT_EQ(win::test::ClipboardText(), c.windows) << c.ours;
  }
  const Case pasted[] = {{"a\nb", "a\r\nb"}, {"\n\nx\n", "\r\n\r\nx\r\n"}, {"cr\r alone\r", "cr\r alone\r"},
                         {"", ""}};
  for (const Case& c : pasted) {
    received.clear();
    win::test::SetClipboardText(c.windows);
    vclipboardRequest(global);
    EXPECT_EQ(received, std::vector<std::string>{std::string("global:") + c.ours}) << c.windows;
  }
  // Another program that offers no text at all.
  win::test::Headless().foreignText.reset();
  EXPECT_FALSE(vclipboardHasContents(global));
  received.clear();
  vclipboardRequest(global);
  EXPECT_EQ(received, std::vector<std::string>{"global:"});
}

TEST_F(Clipboard, AnotherProgramTakingTheClipboardClearsOurs) {
  vclipboardSetContents(global, text("ours"));
  win::test::SetClipboardText("theirs\r\n");
  vclpbdsys* sys = vclipboardMSWGetSystemObject();
  EXPECT_EQ(sys->contents, nullptr);
  EXPECT_FALSE(sys->flags & vclpbdsysOFFERED);
  vclipboardRequest(global);
  EXPECT_EQ(received, std::vector<std::string>{"global:theirs\n"});
  // The selection is the program's own and keeps its contents.
  vclipboardSetContents(selection, text("selected"));
  win::test::SetClipboardText("again");
  received.clear();
  vclipboardRequest(selection);
  EXPECT_EQ(received, std::vector<std::string>{"selection:selected"});
  EXPECT_EQ(win::test::ClipboardText(), "again");
}

TEST_F(Clipboard, NestedRequestsFollowInOrderOnceEach) {
  static vclipboard* second;
  static vclipboard* third;
  second = make(vclipboardGetDefaultGlobalClass(), "second");
  third = make(vclipboardGetDefaultGlobalClass(), "third");
  // The first delivery asks for two more from inside its notify function.
  vclipboardSetNotify(global, [](vclipboard* c, vinstance* scrap) {
    record(c, scrap);
    vclipboardRequest(second);
    vclipboardRequest(third);
    received.push_back("end of global");
  });
  win::test::SetClipboardText("x");
  vclipboardRequest(global);
  EXPECT_EQ(received, (std::vector<std::string>{"global:x", "end of global", "second:x", "third:x"}));
  // Nothing is left waiting.
  received.clear();
  vclipboardRequest(third);
  EXPECT_EQ(received, std::vector<std::string>{"third:x"});
  vclipboardDestroy(second);
  vclipboardDestroy(third);
}

TEST_F(Clipboard, BusyClipboardAndFailures) {
  vwindow* holder = open(vwindowDECO_TOP_LEVEL, vrect{10, 10, 100, 80});
  win::test::SetClipboardText("x");
  ASSERT_TRUE(win::OpenClipboard(vwindowGetMSWWindow(holder)));
  // Reading: dropped without a word. Offering: refused, the scrap consumed.
  vclipboardRequest(global);
  EXPECT_TRUE(received.empty());
  EXPECT_EQ(raised([&] { vclipboardSetContents(global, text("refused")); }), &vexArgClass);
  ASSERT_TRUE(win::CloseClipboard());
  vclipboardRequest(global);
  EXPECT_EQ(received, std::vector<std::string>{"global:x"});

  struct Case {
    const char* what;
    std::function<void()> run;
    const char* message;
  };
  vclpbdsys* sys = vclipboardMSWGetSystemObject();
  vclipboard* silent = vclipboardCreate(vclipboardGetDefaultGlobalClass());
  const Case cases[] = {
      {"no notify", [&] { vclipboardRequest(silent); }, "clipboard has undefined notify function"},
      {"system notify", [&] { vclipboardSetNotify(sys, record); }, "cannot set notify function on system owned clipboards"},
      {"system destroy", [&] { vclipboardDestroy(sys); }, "cannot destroy system owned clipboards"},
  };
  for (const Case& c : cases) {
    std::string message;
    EXPECT_EQ(raised(c.run, &message), &vexArgClass) << c.what;
    EXPECT_EQ(message, c.message) << c.what;
  }
  // Our own contents need the notify function too.
  vclipboardSetContents(global, text("mine"));
  EXPECT_EQ(raised([&] { vclipboardRequest(silent); }), &vexArgClass);
  vclipboardDestroy(silent);
  // Rendering without memory raises rather than handing over nothing.
  win::test::SetGlobalAllocCap(2);
  EXPECT_EQ(raised([] { vclipboardMSWRenderFormat(win::CF_TEXT); }), &vexMemoryClass);
  EXPECT_TRUE(sys->flags & vclpbdsysOFFERED);
  EXPECT_EQ(raised([] { vclipboardMSWRenderFormat(0); }), &vexArgNullClass);
  // Another program's read through the platform gets nothing and the
  // program goes on; the platform is left as it was: no data is taken
  // without an open afterwards, and the offer still stands.
  std::optional<std::string> got = "?";
  EXPECT_EQ(raised([&] { got = win::test::ClipboardText(); }), nullptr);
  EXPECT_EQ(got, std::nullopt);
  EXPECT_TRUE(sys->flags & vclpbdsysOFFERED);
  win::test::SetGlobalAllocCap(0);
  win::SetLastError(0);
  EXPECT_EQ(win::SetClipboardData(win::CF_TEXT, nullptr), nullptr);
  EXPECT_EQ(win::GetLastError(), static_cast<win::DWORD>(win::ERROR_CLIPBOARD_NOT_OPEN));
  EXPECT_EQ(win::test::ClipboardText(), "mine");
  close(holder);
}

TEST_F(Clipboard, TheHiddenWindowRendersAsItGoes) {
  vclipboardSetContents(global, text("last\nwords"));
  win::test::StartTrace();
  ASSERT_TRUE(win::DestroyWindow(vclipboardMSWGetWindow()));
  std::vector<std::string> messages;
  for (const auto& e : win::test::StopTrace())
    if (e.message == win::WM_RENDERALLFORMATS || e.message == win::WM_DESTROY)
      messages.push_back(win::test::MessageName(e.message));
  EXPECT_EQ(messages, (std::vector<std::string>{"WM_RENDERALLFORMATS", "WM_DESTROY"}));
  EXPECT_EQ(win::test::ClipboardText(), "last\r\nwords");
  vclipboardMSWStartup();  // a new one for the tests after
  EXPECT_TRUE(win::IsWindow(vclipboardMSWGetWindow()));
}

}  // namespace
