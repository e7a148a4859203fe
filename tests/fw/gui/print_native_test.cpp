// Native printing on the pseudo printer: the dialog record and its stored
// form, the dialogs (scripted), the spooler's PNG pages, PASSTHROUGH.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "fw/core/mem.h"
#include "fw/core/scribe.h"
#include "fw/data/pref.h"
#include "fw/data/vresource.h"
#include "fw/data/vrstore.h"
#include "fw/gui/print/native.h"
#include "fw/gui/window/window.h"
#include "platform/win/test.h"
#include "tests/fw/gui/msw_fixture.h"
#include "tests/fw/gui/raises.h"

namespace {

void setPref(const char* name, const char* value) { vprefSetString(vprefGetDefaultDict(), vscribeCString(name), value); }

vcolor* rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  vcolorSpec s;
  vcolorInitSpec(&s);
  vcolorSetSpecRGB(&s, r * 257u, g * 257u, b * 257u);
  return vcolorInternSpec(&s);
}

std::vector<std::uint8_t> blockBytes(win::HGLOBAL block) {
  std::vector<std::uint8_t> out(win::GlobalSize(block));
  std::memcpy(out.data(), win::GlobalLock(block), out.size());
  win::GlobalUnlock(block);
  return out;
}

std::vector<std::uint8_t> opaque(vresource r, const char* key) {
  void* bytes = nullptr;
  std::size_t n = 0;
  if (!vresourceTestGetOpaque(r, vnameInternLiteral(key), &bytes, &n)) return {};
  auto* b = static_cast<std::uint8_t*>(bytes);
  std::vector<std::uint8_t> out(b, b + n);
  vmemFree(bytes);
  return out;
}

struct NativePrint : MSWFixture {
  std::string dir;
  std::vector<vprint*> jobs;
  void SetUp() override {
    MSWFixture::SetUp();
    for (const char* n : {"spool", "printfile", "printclass"}) setPref(n, "");
    // Tests run side by side in processes of their own: a folder each.
    dir = testing::TempDir() + "native_print_" + std::to_string(getpid()) + "/";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
  }
  void TearDown() override {
    for (vprint* j : jobs) vinstanceDestroy(j);
    vdrawBindPathDevice();
    for (const char* n : {"spool", "printfile", "printclass"}) setPref(n, "");
    win::test::SetPrinterPassthrough(false);
    std::filesystem::remove_all(dir);
  }
  vprint* make() {
    auto* j = static_cast<vprint*>(vinstanceCreate(vprintsysNativeGetDefaultClass()));
    jobs.push_back(j);
    return j;
  }
  vprint* load(vresource r) {
    auto* j = static_cast<vprint*>(vclassAllocInstance(vprintsysNativeGetDefaultClass()));
    j->cls = vprintsysNativeGetDefaultClass();
    vclassRec<vobjectClassRec>(j)->loadInit(j, r);
    jobs.push_back(j);
    return j;
  }
  static win::PRINTDLGA* pd(vprint* j) { return static_cast<win::PRINTDLGA*>(j->systemRecord); }
  void spoolTo(vprint* job, const std::string& name) {
    setPref("printfile", (dir + name).c_str());
    vprintClassOf(job)->setSpool(job, 1);
  }
  // A page's pixel at sheet (x, y), or 0xFFFFFFFF without the page.
  std::uint32_t pagePixel(const std::string& file, int x, int y) {
    win::test::Image i;
    if (!win::test::ReadPng(dir + file, i)) return 0xFFFFFFFFu;
    return i.px[std::size_t(y * i.width + x)];
  }
};

TEST_F(NativePrint, TheDefaultPrinterGivesThePaperAndItsRecordsRoundTrip) {
  vprint* job = make();
  // 1275 x 1650 pixels at 150 dpi, printable 1225 x 1600 from (25, 25).
  EXPECT_EQ(job->paper.width, 612.0f);
  EXPECT_EQ(job->paper.height, 792.0f);
  EXPECT_EQ(job->page.x, 12.0f);
  EXPECT_EQ(job->page.y, 12.0f);
  EXPECT_EQ(job->page.width, 588.0f);
  EXPECT_EQ(job->page.height, 768.0f);
  EXPECT_EQ(job->mode, 8u);
  ASSERT_NE(pd(job), nullptr);
  EXPECT_EQ(pd(job)->lStructSize, 66u);
  EXPECT_EQ(pd(job)->Flags, 0x3100u);
  ASSERT_NE(pd(job)->hDC, nullptr);
  ASSERT_NE(pd(job)->hDevMode, nullptr);
  EXPECT_EQ(win::GlobalSize(pd(job)->hDevMode), 148u);
  EXPECT_STREQ(static_cast<win::DEVMODEA*>(win::GlobalLock(pd(job)->hDevMode))->dmDeviceName, "PNG Printer");
  win::GlobalUnlock(pd(job)->hDevMode);

  // Stored and loaded: the 66-byte record and the 148-byte device mode byte
  // for byte, the whole device-names block, a DC made again.
  pd(job)->nFromPage = 3, pd(job)->nToPage = 0x1234, pd(job)->nCopies = 2, pd(job)->lCustData = 0x7A6B5C4D;
  vrstoreInstallInterface();
  vresource store = vrstoreCreateMemory();
  vresource r = vresourceMake(store, vnameInternLiteral("Job"));
  vclassRec<vobjectClassRec>(job)->store(job, r);
  std::vector<std::uint8_t> record = opaque(r, "MSWPrintDlg"), mode = opaque(r, "MSWDevMode");
  ASSERT_EQ(record.size(), 66u);
  EXPECT_EQ(record[0], 66);
  EXPECT_EQ(record[20] | record[21] << 8, 0x3100);                // Flags
  EXPECT_EQ(record[24] | record[25] << 8, 3);                     // nFromPage
  EXPECT_EQ(record[26] | record[27] << 8, 0x1234);                // nToPage
  EXPECT_EQ(record[32], 2);                                       // nCopies
  EXPECT_EQ(record[38] | record[39] << 8 | record[40] << 16, 0x6B5C4D);  // lCustData
  for (std::size_t at : {4u, 8u, 12u, 16u, 42u, 46u}) EXPECT_EQ(record[at], 0) << "a handle at " << at;
  EXPECT_EQ(mode, blockBytes(pd(job)->hDevMode));
  EXPECT_EQ(opaque(r, "MSWDevNames"), blockBytes(pd(job)->hDevNames));
  vprint* back = load(r);
  ASSERT_NE(pd(back), nullptr);
  ASSERT_NE(pd(back)->hDC, nullptr);
  EXPECT_NE(pd(back)->hDC, pd(job)->hDC);
  auto again = vprintMSWPackPrintDlg(pd(back));
  EXPECT_EQ(std::vector<std::uint8_t>(again.begin(), again.end()), record);
  EXPECT_EQ(blockBytes(pd(back)->hDevMode), mode);
  EXPECT_EQ(back->page.width, 588.0f);

  // A record of 65 bytes is not one: the default printer.
  vresource odd = vresourceMake(store, vnameInternLiteral("Odd"));
  vresourceSetOpaque(odd, vnameInternLiteral("MSWPrintDlg"), record.data(), 65);
  vprint* fallback = load(odd);
  EXPECT_EQ(pd(fallback)->nToPage, 0);
  EXPECT_EQ(pd(fallback)->Flags, 0x3100u);
  EXPECT_NE(pd(fallback)->hDC, nullptr);

  // Device names alone, as the old 8-byte head: no name can be read, so
  // the default printer's context; a whole block names the printer.
  vresource head = vresourceMake(store, vnameInternLiteral("Head"));
  vresourceSetOpaque(head, vnameInternLiteral("MSWPrintDlg"), record.data(), 66);
  std::vector<std::uint8_t> names = opaque(r, "MSWDevNames");
  vresourceSetOpaque(head, vnameInternLiteral("MSWDevNames"), names.data(), 8);
  vprint* headOnly = load(head);
  EXPECT_NE(pd(headOnly)->hDC, nullptr);
  EXPECT_EQ(pd(headOnly)->Flags, 0x3100u);
  EXPECT_EQ(pd(headOnly)->nToPage, 0x1234);
  EXPECT_EQ(headOnly->page.height, 768.0f);
}

TEST_F(NativePrint, APageRangePrintsOnlyItsPagesAsPngFiles) {
  vprint* job = make();
  int notified = -1;
  static int* seen;
  seen = &notified;
  vprintClassOf(job)->setJobNotify(job, [](vprint*, std::int32_t result) { *seen = result; });
  win::test::QueuePrintAnswer({true, 2, 3});
  vprintConfigureJob(job);
  EXPECT_EQ(notified, 1);
  EXPECT_EQ(job->firstPage, 1u);
  EXPECT_EQ(job->lastPage, 2u);
  EXPECT_EQ(pd(job)->Flags, 0x3102u);  // as returned, less what was added for the dialog
  EXPECT_EQ(pd(job)->nMaxPage, 65535);

  spoolTo(job, "range");
  vprintOpen(job);
  // Page n draws a one-inch square n inches from the left.
  const vcolor* colours[] = {rgb(255, 0, 0), rgb(0, 160, 0), rgb(0, 0, 255), rgb(90, 90, 90)};
  for (int page = 0; page < 4; ++page) {
    vprintBeginPage(job);
    EXPECT_EQ((job->flags & vprintSKIPPED) != 0, page == 0 || page == 3) << page;
    vdrawSetColor(const_cast<vcolor*>(colours[page]));
    vdrawRectFill(std::int16_t(72 * (page + 1)), 72, 72, 72);
    vprintEndPage(job);
  }
  vprintClose(job);
  // Sheet pixels: x = 150 (n + 1) + 75, y = 1650 - 225.
  EXPECT_EQ(pagePixel("range-1.png", 375, 1425), 0x00A000u);
  EXPECT_EQ(pagePixel("range-1.png", 525, 1425), 0xFFFFFFu);
  EXPECT_EQ(pagePixel("range-2.png", 525, 1425), 0x0000FFu);
  EXPECT_EQ(pagePixel("range-2.png", 375, 1425), 0xFFFFFFu);  // a new sheet for each page
  EXPECT_FALSE(std::filesystem::exists(dir + "range-3.png"));
  EXPECT_FALSE(std::filesystem::exists(dir + "range-2.png.tmp"));

  // All pages again: first 0, last none.
  win::test::QueuePrintAnswer({true, 0, 0});
  vprintConfigureJob(job);
  EXPECT_EQ(job->firstPage, 0u);
  EXPECT_EQ(job->lastPage, 0xFFFFFFFFu);
  EXPECT_EQ(pd(job)->Flags & win::PD_PAGENUMS, 0u);
}

TEST_F(NativePrint, ACancelledDialogKeepsThePrinterAndOpenFailuresCloseTheDocument) {
  vprint* job = make();
  win::HDC before = pd(job)->hDC;
  int notified = -1;
  static int* seen;
  seen = &notified;
  vprintClassOf(job)->setPaperNotify(job, [](vprint*, std::int32_t result) { *seen = result; });
  vprintConfigurePaper(job);  // nothing queued: cancel
  EXPECT_EQ(notified, 0);
  EXPECT_EQ(win::CommDlgExtendedError(), 0u);
  EXPECT_EQ(pd(job)->hDC, before);
  EXPECT_EQ(pd(job)->Flags, 0x3100u);
  win::test::QueuePrintAnswer({true, 0, 0});
  vprintConfigurePaper(job);
  EXPECT_EQ(notified, 1);
  EXPECT_NE(pd(job)->hDC, nullptr);
  EXPECT_EQ(pd(job)->Flags, 0x3100u);
  EXPECT_EQ(job->paper.height, 792.0f);

  struct Case {
    bool spool;
    bool failStart;
    win::DWORD error;
    const vexClass* cls;
    const char* message;
    bool stillOpen;
  };
  const Case cases[] = {
      {false, true, 0, &vprintCanceledClass, "", false},
      {false, true, 5, &vexModuleStateClass, "StartDoc Failed", false},
      {true, false, 0, &vexModuleStateClass, "unable to get printfile preference", true},
  };
  for (const Case& c : cases) {
    vprintClassOf(job)->setSpool(job, c.spool);
    if (c.failStart) win::test::FailNextStartDoc(c.error);
    std::string message;
    EXPECT_EQ(raised([&] { vprintOpen(job); }, &message), c.cls) << c.message;
    EXPECT_EQ(message, c.message);
    EXPECT_EQ((job->flags & vprintOPEN) != 0, c.stillOpen) << c.message;
    if (c.stillOpen) vprintClose(job);
  }
  // Without a printer's context the document is closed again.
  vprintClassOf(job)->setSpool(job, 0);
  win::HDC dc = pd(job)->hDC;
  pd(job)->hDC = nullptr;
  EXPECT_EQ(raised([&] { vprintOpen(job); }), &vprintNoDefaultPrinterClass);
  EXPECT_EQ(job->flags & (vprintOPEN | vprintCONNECTED), 0u);
  pd(job)->hDC = dc;
  // And a later document prints.
  spoolTo(job, "after");
  vprintOpen(job);
  vprintBeginPage(job);
  vprintEndPage(job);
  vprintClose(job);
  EXPECT_TRUE(std::filesystem::exists(dir + "after-1.png"));
}

TEST_F(NativePrint, RawBytesGoThroughPassthroughInPieces) {
  vprint* job = make();
  std::string bytes(70000, 0);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = char(i * 7 + i / 251);
  vprintWrite(job, bytes.data(), bytes.size(), 1);
  EXPECT_TRUE(win::test::PrinterPassthrough(pd(job)->hDC).empty());  // not supported: nothing sent
  win::test::SetPrinterPassthrough(true);
  vprintWrite(job, bytes.data(), bytes.size() / 2, 2);
  std::vector<std::string> pieces = win::test::PrinterPassthrough(pd(job)->hDC);
  ASSERT_EQ(pieces.size(), 3u);
  EXPECT_EQ(pieces[0].size(), 32767u);
  EXPECT_EQ(pieces[1].size(), 32767u);
  EXPECT_EQ(pieces[2].size(), 4466u);
  EXPECT_EQ(pieces[0] + pieces[1] + pieces[2], bytes);
}

// ---- A window printed through the preferred class.

// The window layer's page procedure runs over a job of its own protocol;
// this one hands each step to a print job of the preferred class.
vprint* target = nullptr;
vprintJobClassRec* bridgeClass() {
  static vprintJobClassRec* c = nullptr;
  if (c && vclassFindByName(vscribeLiteral("testPrintBridge")) == c) return c;
  c = vclassSpawnOf<vprintJobClassRec>(vprintJobGetDefaultClass());
  vclassSetName(c, vscribeLiteral("testPrintBridge"));
  c->open = [](vprintJob*) { vprintOpen(target); };
  c->beginPage = [](vprintJob*) { vprintBeginPage(target); };
  c->endPage = [](vprintJob*) { vprintEndPage(target); };
  c->close = [](vprintJob*) { vprintClose(target); };
  return c;
}

void paintWindow(vwindow* w) {
  vrect all{0, 0, w->rect.width, w->rect.height}, inner{16, 16, 64, 32};
  vdrawSetColor(rgb(200, 30, 30));
  vdrawFillRects(&all, 1);
  vdrawSetColor(rgb(20, 40, 220));
  vdrawFillRects(&inner, 1);
  vdrawSetColor(rgb(0, 0, 0));
  vdrawSetLineWidth(4);
  vdrawPathMoveTo(0, 0);
  vdrawLineTo(w->rect.width, w->rect.height);
  vdrawStroke();
}

TEST_F(NativePrint, AWindowPrintedThroughThePreferredClassMakesOnePngPage) {
  setPref("printclass", "vprintsysNative");
  vprintsysNativeGetDefaultClass();  // as the start-up row builds it
  vprintClassRec* cls = vprintGetPreferredClass();
  ASSERT_EQ(cls, vprintsysNativeGetDefaultClass());
  vwindow* w = open(vwindowDECO_TOP_LEVEL, {40, 40, 192, 96});
  auto saved = vwindowClassOf(w)->draw;
  vwindowClassOf(w)->draw = paintWindow;
  target = static_cast<vprint*>(vinstanceCreate(cls));
  jobs.push_back(target);
  spoolTo(target, "window");
  auto* job = static_cast<vprintJob*>(vinstanceCreate(bridgeClass()));
  job->printable = {std::int16_t(target->page.x), std::int16_t(target->page.y), std::int16_t(target->page.width),
                    std::int16_t(target->page.height)};
  vwindowPrintPage(job, w);
  vinstanceDestroy(job);
  vwindowClassOf(w)->draw = saved;
  close(w);
  vwindowDestroy(w);

  ASSERT_TRUE(std::filesystem::exists(dir + "window-1.png"));
  EXPECT_FALSE(std::filesystem::exists(dir + "window-2.png"));
  win::test::Image page;
  ASSERT_TRUE(win::test::ReadPng(dir + "window-1.png", page));
  EXPECT_EQ(page.width, 1275);
  EXPECT_EQ(page.height, 1650);
  // 192 x 96 window pixels at 72 / 96 points each, 150 / 72 sheet pixels a
  // point: 300 x 150 sheet pixels, its top left corner 18 points inside the
  // page's (12 points from the sheet's top left).
  int left = 10000, top = 10000, right = -1, bottom = -1, blue = 0;
  for (int y = 0; y < page.height; ++y)
    for (int x = 0; x < page.width; ++x) {
      std::uint32_t p = page.px[std::size_t(y * page.width + x)];
      if (p == 0xC81E1Eu) left = std::min(left, x), top = std::min(top, y), right = std::max(right, x), bottom = std::max(bottom, y);
      blue += p == 0x1428DCu;
    }
  EXPECT_NEAR(left, 62, 1);
  EXPECT_NEAR(top, 62, 1);
  EXPECT_NEAR(right - left + 1, 300, 2);
  EXPECT_NEAR(bottom - top + 1, 150, 2);
  EXPECT_NEAR(blue, 100 * 50, 100 * 50 / 5);  // 64 x 32 pixels, less the line across them
}

}  // namespace
