// The clipboard: one opener at a time, ownership passed with
// WM_DESTROYCLIPBOARD, delayed rendering on demand and at the owner's end,
// and another program's text through the back-end.
#include <cstring>

#include "tests/platform/platform_fixture.h"

namespace platform_test {
namespace {

win::HGLOBAL textBlock(const char* text) {
  win::HGLOBAL h = win::GlobalAlloc(win::GMEM_MOVEABLE, std::strlen(text) + 1);
  std::strcpy(static_cast<char*>(win::GlobalLock(h)), text);
  win::GlobalUnlock(h);
  return h;
}

std::string read(win::HANDLE h) {
  if (!h) return "<null>";
  auto block = static_cast<win::HGLOBAL>(h);
  std::string s = static_cast<const char*>(win::GlobalLock(block));
  win::GlobalUnlock(block);
  return s;
}

// The clipboard messages of the trace, "window message" each.
std::string clipboardMessages(const std::vector<win::test::TraceEntry>& trace) {
  std::string out;
  for (const auto& e : trace)
    if (e.message == win::WM_RENDERFORMAT || e.message == win::WM_RENDERALLFORMATS ||
        e.message == win::WM_DESTROYCLIPBOARD || e.message == win::WM_DESTROY)
      out += Recorder::name(e.hwnd) + " " + win::test::MessageName(e.message) + "\n";
  return out;
}

class ClipboardTest : public WindowTest {
 protected:
  void TearDown() override {
    WindowTest::TearDown();
    // Ours and empty again, whatever the test left.
    if (!win::OpenClipboard(nullptr)) {
      ASSERT_TRUE(win::CloseClipboard());
      ASSERT_TRUE(win::OpenClipboard(nullptr));
    }
    win::EmptyClipboard();
    win::CloseClipboard();
  }

  // `owner` offers text with delayed rendering; its procedure renders it.
  void offer(win::HWND owner, const char* text) {
    Recorder::action = [owner, text](win::HWND hwnd, win::UINT message, win::WPARAM wParam, win::LPARAM) {
      if (hwnd != owner) return;
      if (message == win::WM_RENDERFORMAT) {
        EXPECT_EQ(wParam, win::CF_TEXT);
      }
      if (message == win::WM_RENDERFORMAT || message == win::WM_RENDERALLFORMATS) {
        EXPECT_NE(win::SetClipboardData(win::CF_TEXT, textBlock(text)), nullptr);
      }
    };
    ASSERT_TRUE(win::OpenClipboard(owner));
    ASSERT_TRUE(win::EmptyClipboard());
    win::SetClipboardData(win::CF_TEXT, nullptr);
    ASSERT_TRUE(win::CloseClipboard());
  }
};

TEST_F(ClipboardTest, DelayedTextIsRenderedOnceWhenFirstRead) {
  win::HWND a = make("a"), b = make("b");
  offer(a, "one\r\ntwo");
  EXPECT_EQ(win::GetClipboardOwner(), a);
  EXPECT_EQ(win::CountClipboardFormats(), 1);
  EXPECT_TRUE(win::IsClipboardFormatAvailable(win::CF_TEXT));
  EXPECT_FALSE(win::IsClipboardFormatAvailable(2));

  win::test::StartTrace();
  ASSERT_TRUE(win::OpenClipboard(b));
  EXPECT_EQ(win::EnumClipboardFormats(0), win::CF_TEXT);
  EXPECT_EQ(win::EnumClipboardFormats(win::CF_TEXT), 0u);
  EXPECT_EQ(read(win::GetClipboardData(win::CF_TEXT)), "one\r\ntwo");
  EXPECT_EQ(read(win::GetClipboardData(win::CF_TEXT)), "one\r\ntwo");
  EXPECT_EQ(win::GetClipboardData(2), nullptr);
  ASSERT_TRUE(win::CloseClipboard());
  EXPECT_EQ(clipboardMessages(win::test::StopTrace()), "a WM_RENDERFORMAT\n");
  EXPECT_EQ(win::test::ClipboardText(), "one\r\ntwo");
}

TEST_F(ClipboardTest, OwnershipPassesWithDestroyClipboard) {
  win::HWND a = make("a"), b = make("b");
  offer(a, "from a");
  win::test::StartTrace();
  // Another window of ours takes it, then another program.
  ASSERT_TRUE(win::OpenClipboard(b));
  ASSERT_TRUE(win::EmptyClipboard());
  win::SetClipboardData(win::CF_TEXT, textBlock("from b"));
  ASSERT_TRUE(win::CloseClipboard());
  EXPECT_EQ(win::GetClipboardOwner(), b);
  EXPECT_EQ(win::test::ClipboardText(), "from b");
  win::test::SetClipboardText("foreign\r\n");
  EXPECT_EQ(clipboardMessages(win::test::StopTrace()), "a WM_DESTROYCLIPBOARD\nb WM_DESTROYCLIPBOARD\n");
  EXPECT_EQ(win::GetClipboardOwner(), nullptr);
  EXPECT_EQ(win::CountClipboardFormats(), 1);
  ASSERT_TRUE(win::OpenClipboard(a));
  EXPECT_EQ(read(win::GetClipboardData(win::CF_TEXT)), "foreign\r\n");
  ASSERT_TRUE(win::CloseClipboard());
  EXPECT_EQ(win::test::ClipboardText(), "foreign\r\n");
}

TEST_F(ClipboardTest, DyingOwnerRendersEverythingBeforeItGoes) {
  struct Case {
    bool delayed;
    const char* messages;
  };
  for (const Case& c : {Case{true, "a WM_RENDERALLFORMATS\na WM_DESTROY\n"}, Case{false, "a WM_DESTROY\n"}}) {
    SCOPED_TRACE(c.delayed);
    win::HWND a = make("a");
    offer(a, "kept");
    if (!c.delayed) {
      // Rendered already by a reader: nothing left to ask at the end.
      ASSERT_TRUE(win::OpenClipboard(nullptr));
      win::GetClipboardData(win::CF_TEXT);
      ASSERT_TRUE(win::CloseClipboard());
    }
    win::test::StartTrace();
    ASSERT_TRUE(win::DestroyWindow(a));
    EXPECT_EQ(clipboardMessages(win::test::StopTrace()), c.messages);
    EXPECT_EQ(win::GetClipboardOwner(), nullptr);
    EXPECT_EQ(win::test::ClipboardText(), "kept");
  }
  // An owner that dies without rendering leaves no promise behind.
  win::HWND silent = make("silent");
  ASSERT_TRUE(win::OpenClipboard(silent));
  ASSERT_TRUE(win::EmptyClipboard());
  win::SetClipboardData(win::CF_TEXT, nullptr);
  ASSERT_TRUE(win::CloseClipboard());
  ASSERT_TRUE(win::DestroyWindow(silent));
  EXPECT_EQ(win::CountClipboardFormats(), 0);
  EXPECT_EQ(win::test::ClipboardText(), std::nullopt);
}

TEST_F(ClipboardTest, OneOpenerAtATime) {
  win::HWND a = make("a"), b = make("b");
  ASSERT_TRUE(win::OpenClipboard(a));
  win::SetLastError(0);
  EXPECT_FALSE(win::OpenClipboard(b));
  EXPECT_EQ(lastError(), code(win::ERROR_ACCESS_DENIED));
  EXPECT_FALSE(win::OpenClipboard(nullptr));
  EXPECT_TRUE(win::OpenClipboard(a));  // the holder may open again
  ASSERT_TRUE(win::CloseClipboard());
  EXPECT_TRUE(win::OpenClipboard(b));
  // The holder's death ends its open.
  ASSERT_TRUE(win::DestroyWindow(b));
  EXPECT_TRUE(win::OpenClipboard(a));
  ASSERT_TRUE(win::CloseClipboard());
}

TEST_F(ClipboardTest, CallsThatNeedItOpenFailWhenClosed) {
  struct Case {
    const char* call;
    bool (*run)();
  };
  const Case cases[] = {
      {"CloseClipboard", [] { return win::CloseClipboard() != 0; }},
      {"EmptyClipboard", [] { return win::EmptyClipboard() != 0; }},
      {"SetClipboardData", [] { return win::SetClipboardData(win::CF_TEXT, nullptr) != nullptr; }},
      {"GetClipboardData", [] { return win::GetClipboardData(win::CF_TEXT) != nullptr; }},
      {"EnumClipboardFormats", [] { return win::EnumClipboardFormats(0) != 0; }},
  };
  win::HWND a = make("a");
  offer(a, "x");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.call);
    win::SetLastError(0);
    EXPECT_FALSE(c.run());
    EXPECT_EQ(lastError(), code(win::ERROR_CLIPBOARD_NOT_OPEN));
  }
  // Nothing changed hands on the way.
  EXPECT_EQ(win::GetClipboardOwner(), a);
  EXPECT_EQ(win::test::ClipboardText(), "x");
}

}  // namespace
}  // namespace platform_test
