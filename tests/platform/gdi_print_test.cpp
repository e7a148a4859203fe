// The spooler on the pseudo printer: calls out of turn fail, pages are
// named from the output or the document name, each on a fresh sheet.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "platform/win.h"
#include "platform/win/test.h"

namespace {

using namespace win;

TEST(Spooler, DocumentsWritePagesAndRefuseCallsOutOfTurn) {
  std::filesystem::path dir = std::filesystem::path(testing::TempDir()) / ("spooler_" + std::to_string(getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(dir);
  HDC dc = CreateDCA("WINSPOOL", "PNG Printer", nullptr, nullptr);
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(StartPage(dc), -1);  // no document
  EXPECT_EQ(EndDoc(dc), -1);
  DOCINFOA bad{19, "x", nullptr, nullptr, 0};
  EXPECT_EQ(StartDocA(dc, &bad), -1);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
  HDC screen = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
  DOCINFOA doc{20, "a/b\x01" "c", nullptr, nullptr, 0};
  EXPECT_EQ(StartDocA(screen, &doc), -1);  // not a printer
  EXPECT_EQ(StartDocA(dc, &doc), 1);
  EXPECT_EQ(StartDocA(dc, &doc), -1);  // one document at a time
  EXPECT_EQ(EndPage(dc), -1);          // no page
  for (int page = 0; page < 2; ++page) {
    EXPECT_EQ(StartPage(dc), 1);
    EXPECT_EQ(StartPage(dc), -1);
    // The page's drawing lands on the sheet; a clip and the origin go with the page.
    SetViewportOrgEx(dc, -25, -25, nullptr);
    IntersectClipRect(dc, 0, 0, 600, 600);
    PatBlt(dc, 25 + 100 * page, 25, 10, 10, BLACKNESS);  // the printable area starts at (25, 25)
    EXPECT_EQ(EndPage(dc), 1);
    POINT origin{1, 1};
    GetViewportOrgEx(dc, &origin);
    EXPECT_EQ(origin.x, 0);
    HRGN r = CreateRectRgn(0, 0, 1, 1);
    EXPECT_EQ(GetClipRgn(dc, r), 0);
    DeleteObject(r);
  }
  EXPECT_EQ(EndDoc(dc), 1);
  test::Image first, second;
  ASSERT_TRUE(test::ReadPng((dir / "a_b_c-1.png").string(), first));
  ASSERT_TRUE(test::ReadPng((dir / "a_b_c-2.png").string(), second));
  const std::size_t at = 25 * 1275 + 25;
  EXPECT_EQ(first.px[at], 0u);
  EXPECT_EQ(first.px[at + 100], 0xFFFFFFu);
  EXPECT_EQ(second.px[at], 0xFFFFFFu);
  EXPECT_EQ(second.px[at + 100], 0u);
  EXPECT_FALSE(std::filesystem::exists(dir / "a_b_c-3.png"));
  // An output names the files; one that cannot be written fails the page.
  std::string missing = (dir / "missing" / "out").string();
  DOCINFOA nowhere{20, "n", missing.c_str(), nullptr, 0};
  EXPECT_EQ(StartDocA(dc, &nowhere), 1);
  StartPage(dc);
  EXPECT_EQ(EndPage(dc), -1);
  EndDoc(dc);
  DeleteDC(dc);
  DeleteDC(screen);
  std::filesystem::current_path(previous);
  std::filesystem::remove_all(dir);
}

TEST(Spooler, TheDefaultPrinterComesWithoutADialog) {
  PRINTDLGA pd{};
  pd.lStructSize = 65;
  EXPECT_EQ(PrintDlgA(&pd), 0);
  EXPECT_EQ(CommDlgExtendedError(), CDERR_STRUCTSIZE);
  pd.lStructSize = PRINTDLG_PACKED_SIZE;
  pd.Flags = PD_RETURNDEFAULT | PD_RETURNDC;
  ASSERT_EQ(PrintDlgA(&pd), 1);
  ASSERT_NE(pd.hDC, nullptr);
  EXPECT_EQ(GetDeviceCaps(pd.hDC, HORZRES), 1225);
  EXPECT_EQ(GlobalSize(pd.hDevMode), 148u);
  const auto* names = static_cast<const char*>(GlobalLock(pd.hDevNames));
  DEVNAMES head;
  std::memcpy(&head, names, sizeof head);
  EXPECT_STREQ(names + head.wDriverOffset, "WINSPOOL");
  EXPECT_STREQ(names + head.wDeviceOffset, "PNG Printer");
  EXPECT_STREQ(names + head.wOutputOffset, "FILE:");
  GlobalUnlock(pd.hDevNames);
  DeleteDC(pd.hDC);
  GlobalFree(pd.hDevMode);
  GlobalFree(pd.hDevNames);
}

// The scripted dialog: the hook sees WM_INITDIALOG, what is posted to the
// dialog while it runs (timers among it) and WM_DESTROY; the queued answer
// decides.
std::vector<UINT> hookSaw;
UINT_PTR recordingHook(HWND hwnd, UINT message, WPARAM, LPARAM) {
  hookSaw.push_back(message);
  if (message == WM_INITDIALOG) PostMessageA(hwnd, WM_USER + 7, 0, 0);
  return 0;
}

TEST(Spooler, ThePrintDialogRunsItsHookAndTakesTheQueuedAnswer) {
  PRINTDLGA pd{};
  pd.lStructSize = PRINTDLG_PACKED_SIZE;
  pd.Flags = PD_ENABLEPRINTHOOK | PD_RETURNDC | PD_PAGENUMS;
  pd.lpfnPrintHook = recordingHook;
  test::QueuePrintAnswer({true, 2, 5});
  ASSERT_EQ(PrintDlgA(&pd), 1);
  EXPECT_EQ(hookSaw, (std::vector<UINT>{WM_INITDIALOG, WM_USER + 7, WM_DESTROY}));
  EXPECT_EQ(pd.Flags & PD_PAGENUMS, PD_PAGENUMS);
  EXPECT_EQ(pd.nFromPage, 2);
  EXPECT_EQ(pd.nToPage, 5);
  ASSERT_NE(pd.hDC, nullptr);
  ASSERT_NE(pd.hDevMode, nullptr);
  DeleteDC(pd.hDC);
  pd.hDC = nullptr;
  // Nothing queued: cancelled, nothing changed, no error.
  hookSaw.clear();
  pd.Flags |= PD_PRINTSETUP;  // the setup hook is not enabled: no hook runs
  EXPECT_EQ(PrintDlgA(&pd), 0);
  EXPECT_EQ(CommDlgExtendedError(), 0u);
  EXPECT_TRUE(hookSaw.empty());
  EXPECT_EQ(pd.hDC, nullptr);
  EXPECT_EQ(pd.nToPage, 5);
  GlobalFree(pd.hDevMode);
  GlobalFree(pd.hDevNames);
}

}  // namespace
