// Notices as the simulator meets them: sized to short, long and very long
// texts in each look, question and Cancel modes, mnemonics pressed on key
// up only, every button closing, the stored form with a "Defaults" button
// read as "No", pictures of a question notice, and the error-report run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "fw/core/ex.h"
#include "fw/core/sys.h"
#include "fw/data/vresource.h"
#include "fw/data/vrstore.h"
#include "fw/data/vrtext.h"
#include "fw/gui/graphics/font.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/namedres.h"
#include "fw/core/mem.h"
#include "fw/text/selection.h"
#include "fw/widgets/choosers/notice.h"
#include "fw/widgets/textview/textview.h"
#include "fw/widgets/dialog_support.h"
#include "platform/win/test.h"
#include "tests/support/png_compare.h"

namespace {

void settle() {
  veventMSWDrainMessages();
  veventProcessPending(1, 0);
  veventMSWDrainMessages();
}

// ---- Sizes per look, from the probe.
struct Measured {
  int whole = 0, lines = 0;
  vrect text{}, icon{};
  int naturalW = 0, naturalH = 0, windowW = 0, windowH = 0;
};
struct Probed {
  int u = 0, L = 0;
  std::map<std::string, Measured> texts;
};
Probed probe(const char* laf) {
  Probed out;
  std::string command = std::string(NOTICE_PROBE) + " -laf " + laf + " sizes";
  FILE* p = popen(command.c_str(), "r");
  char line[512], kind[32];
  while (p && std::fgets(line, sizeof line, p)) {
    Measured m;
    int t[4], i[4];
    if (std::sscanf(line, "metrics %d %d", &out.u, &out.L) == 2) continue;
    if (std::sscanf(line, "%31s %d lines %d text %d %d %d %d icon %d %d %d %d natural %d %d window %d %d", kind,
                    &m.whole, &m.lines, &t[0], &t[1], &t[2], &t[3], &i[0], &i[1], &i[2], &i[3], &m.naturalW,
                    &m.naturalH, &m.windowW, &m.windowH) == 15) {
      m.text = {std::int16_t(t[0]), std::int16_t(t[1]), std::int16_t(t[2]), std::int16_t(t[3])};
      m.icon = {std::int16_t(i[0]), std::int16_t(i[1]), std::int16_t(i[2]), std::int16_t(i[3])};
      out.texts[kind] = m;
    }
  }
  EXPECT_EQ(p ? pclose(p) : -1, 0);
  return out;
}

// A short text stays on one line beside the icon, centred on it; a long one
// widens by 30 at most three times to fit two lines; a very long one keeps
// the widest width and grows by whole line units. The window fits the
// content, the buttons and the look's margins.
TEST(NoticeSizes, EachLookFitsShortLongAndVeryLongTexts) {
  struct Look {
    const char* laf;
    int left, bottom, shrink, grow, gap;  // the arranging inset, the natural size's growth
  } looks[] = {{"windows", 22, 0, 22, 44, 22}, {"win95", 11, 5, 22, 22, 11}, {"motif", 10, 10, 20, 20, 10},
               {"openlook", 10, 10, 20, 20, 10}};
  for (const Look& look : looks) {
    SCOPED_TRACE(look.laf);
    Probed p = probe(look.laf);
    ASSERT_EQ(p.texts.size(), 3u);
    ASSERT_GT(p.u, p.L) << "the real font has a descent";
    int w0 = std::max(200, 6 * p.u);
    for (auto& [kind, m] : p.texts) {
      SCOPED_TRACE(kind);
      EXPECT_EQ(m.windowW, m.naturalW) << "fitted at the open";
      EXPECT_EQ(m.windowH, m.naturalH);
      // The icon sits at the content's top left; the text beside it.
      EXPECT_EQ(m.icon.x, look.left);
      EXPECT_EQ(m.icon.width, 32);
      EXPECT_EQ(m.text.x, look.left + 32 + look.gap);
      int top = m.windowH - (look.shrink - look.bottom);
      EXPECT_EQ(m.icon.y + m.icon.height, top) << "top-aligned";
      if (m.text.height < m.icon.height)
        EXPECT_EQ(m.text.y, m.icon.y + (m.icon.height - m.text.height) / 2) << "centred on the icon";
      else
        EXPECT_EQ(m.text.y + m.text.height, top);
    }
    const Measured& small = p.texts["short"];
    EXPECT_LT(small.whole, w0);
    EXPECT_EQ(small.lines, 1);
    EXPECT_LE(small.text.height, p.L + 8) << "one line";
    const Measured& two = p.texts["long"];
    EXPECT_GE(two.whole, w0);
    EXPECT_EQ(two.lines, 2);
    EXPECT_EQ((two.text.width - w0) % 30, 0);
    EXPECT_LE(two.text.width, w0 + 90);
    EXPECT_EQ(two.text.height, 2 * p.u);
    EXPECT_EQ(two.windowW, two.text.width + 32 + look.gap + look.grow) << "the text is wider than the buttons";
    const Measured& many = p.texts["verylong"];
    EXPECT_GT(many.lines, 2);
    EXPECT_EQ(many.text.width, w0 + 90) << "three widenings, then height";
    EXPECT_EQ(many.text.height, many.lines * p.u) << "the first allowance the lines fit";
    EXPECT_LE(many.text.height, 280);
  }
}

// A question notice drawn in three looks, as stored.
TEST(NoticePictures, AQuestionNoticeInThreeLooks) {
  for (const char* laf : {"win95", "motif", "openlook"}) {
    SCOPED_TRACE(laf);
    std::string png =
        (std::filesystem::temp_directory_path() / (std::to_string(getpid()) + "_notice_" + laf + ".png")).string();
    ASSERT_EQ(std::system((std::string(NOTICE_PROBE) + " -laf " + laf + " " + png).c_str()), 0);
    win::test::Image image;
    ASSERT_TRUE(win::test::ReadPng(png, image));
    std::filesystem::remove(png);
    EXPECT_TRUE(test_support::MatchesPng(image, std::string(WIDGETS_DATA) + "/notice/question_" + laf + ".png", 8, 20));
  }
}

// A program held in a notice's modal loop ends on SIGTERM within a second,
// by its normal way out: the notice's caller gets no answer and goes on,
// and the program returns from its main.
TEST(NoticeQuit, ATerminateSignalEndsAProgramHeldByANotice) {
  int out[2];
  ASSERT_EQ(pipe(out), 0);
  pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], 1);
    close(out[0]);
    close(out[1]);
    setenv("WEXLIN_BACKEND", "headless", 1);
    execl(NOTICE_PROBE, NOTICE_PROBE, "-live", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  auto readLine = [&] {
    std::string line;
    char c;
    while (read(out[0], &c, 1) == 1 && c != '\n') line += c;
    return line;
  };
  ASSERT_EQ(readLine(), "ready");
  kill(pid, SIGTERM);
  int status = 0;
  bool ended = false;
  // A notice that outlived the signal would stay up for good: the 30 s
  // allowed are only for a loaded host.
  for (int waited = 0; waited < 30000 && !ended; waited += 10) {
    ended = waitpid(pid, &status, WNOHANG) == pid;
    if (!ended) usleep(10000);
  }
  if (!ended) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
  }
  EXPECT_TRUE(ended) << "still in the notice 30 s after SIGTERM";
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(readLine(), "answer (null)");
  close(out[0]);
}

// ---- A notice on the headless display (the Windows look).
struct Notices : ::testing::Test {
  vnotice* n = nullptr;
  static inline std::vector<std::string> calls;
  void SetUp() override {
    startDialogItemTests();
    vdialogStartup();
    win::UseVirtualClock(true);
    win::test::ResetInput();
    calls.clear();
    n = vnoticeCreate();
    vnoticeSetTextScribed(n, vscribeLiteral("Overwrite the file?"));
    vdialogPlace(n, vwindowGetRoot(), 6, 6);
  }
  void TearDown() override {
    if (n) vinstanceDestroy(n);
    win::test::ResetInput();
    veventMSWDrainMessages();
    win::UseVirtualClock(false);
  }
  void open() {
    vwindowOpen(n);
    win::SetActiveWindow(n->native->hwnd);
    settle();
  }
  static void clickOn(vnotice* x, const char* tag) { ASSERT_TRUE(clickConfirmButton(x, tag)) << tag; }
  std::vector<std::string> shownTags() {
    std::vector<std::string> out;
    vdialogItemList* l = n->buttons->items;
    for (int i = 0; i < vdialogItemListCount(l); ++i) {
      vdialogItem* b = vdialogItemListAt(l, i);
      if (b->flags & vdialogItemSHOWN) out.push_back(b->tag);
    }
    return out;
  }
  static int record(const char* name) {
    calls.push_back(name);
    return 1;
  }
};

TEST_F(Notices, QuestionAndCancelModesChangeButtonsAndIcon) {
  vimage* warning = vlafGetNoticeImage(0);
  vimage* caution = vlafGetNoticeImage(1);
  ASSERT_NE(warning, nullptr);
  EXPECT_EQ(n->icon, warning);
  EXPECT_EQ(shownTags(), std::vector<std::string>{"Ok"}) << "no Cancel or Help";
  vdialogItem* ok = vconfirmFindButton(n, N("Ok"));
  EXPECT_STREQ(ok->title, "OK");
  EXPECT_EQ(ok->mnemonic & 0xFF, 0) << "no mnemonic in the Windows look";

  vnoticeSetQuestion(n, 1);
  vnoticeSetCancel(n, 1);
  vconfirmOrderButtons(n);
  EXPECT_EQ(shownTags(), (std::vector<std::string>{"Ok", "No", "Cancel"}));
  EXPECT_STREQ(ok->title, "Yes");
  EXPECT_EQ(ok->mnemonic & 0xFF, 'Y');
  vdialogItem* no = vconfirmFindButton(n, N("No"));
  EXPECT_STREQ(no->title, "No");
  EXPECT_EQ(no->mnemonic & 0xFF, 'N');
  EXPECT_EQ(vconfirmFindButton(n, N("Cancel"))->mnemonic & 0xFF, 0);
  EXPECT_EQ(n->icon, caution);
  EXPECT_EQ(vdialogGetItemImage(n->iconItem), caution) << "the icon item is remade";
  // Asking again changes nothing; off restores OK and the warning.
  vdialogItem* sameNo = no;
  vnoticeSetQuestion(n, 1);
  EXPECT_EQ(vconfirmFindButton(n, N("No")), sameNo);
  vnoticeSetQuestion(n, 0);
  vnoticeSetCancel(n, 0);
  EXPECT_EQ(shownTags(), std::vector<std::string>{"Ok"});
  EXPECT_STREQ(ok->title, "OK");
  EXPECT_EQ(n->icon, warning);
  // A custom icon stays through both modes; null picks the mode's default.
  vimage* own = vimageCreateSized(16, 16, 2);
  vnoticeSetIcon(n, own);
  vnoticeSetQuestion(n, 1);
  EXPECT_EQ(n->icon, own);
  vnoticeSetQuestion(n, 0);
  EXPECT_EQ(n->icon, own);
  vnoticeSetQuestion(n, 1);
  vnoticeSetIcon(n, nullptr);
  EXPECT_EQ(n->icon, caution);
  vimageDestroy(own);
  // Other buttons come first, then OK, No, Cancel and Help.
  vconfirmShowButton(n, N("Append"), 1);
  vnoticeSetCancel(n, 1);
  vconfirmOrderButtons(n);
  EXPECT_EQ(shownTags(), (std::vector<std::string>{"Append", "Ok", "No", "Cancel"}));
  EXPECT_EQ(vdialogItemListGetConfirmItem(n->buttons->items), ok);
}

TEST_F(Notices, AChangeRefitsAnOpenNoticeAndDefersForAClosedOne) {
  open();
  int before = n->rect.height;
  std::string longer(400, 'x');
  for (int i = 40; i < 400; i += 41) longer[std::size_t(i)] = ' ';
  vnoticeSetTextScribed(n, vscribeCString(longer.c_str()));
  int w = 0, h = 0;
  vdialogClassOf(n)->getNaturalSize(n, &w, &h);
  EXPECT_EQ(n->rect.width, w) << "fitted at once";
  EXPECT_EQ(n->rect.height, h);
  EXPECT_GT(h, before);
  vwindowClose(n);
  vnoticeSetTextScribed(n, vscribeLiteral("Short."));
  EXPECT_EQ(n->rect.height, h) << "not yet";
  EXPECT_TRUE(n->noticeFlags & vnoticeSIZE_PENDING);
  open();
  vdialogClassOf(n)->getNaturalSize(n, &w, &h);
  EXPECT_EQ(n->rect.height, h);
  EXPECT_FALSE(n->noticeFlags & vnoticeSIZE_PENDING);
}

TEST_F(Notices, AMnemonicPressesItsButtonOnKeyUpOnly) {
  vnoticeSetQuestion(n, 1);
  vconfirmSetOther(n, [](vconfirm*, vevent*) { return record("other"); });
  open();
  win::test::KeyDown('N');
  settle();
  EXPECT_EQ(n->pendingMnemonic, 'N');
  EXPECT_TRUE(calls.empty()) << "nothing on key down";
  EXPECT_TRUE(vwindowIsOpen(n));
  win::test::KeyUp('N');
  settle();
  win::test::AdvanceClock(50);
  settle();
  EXPECT_EQ(calls, std::vector<std::string>{"other"});
  EXPECT_FALSE(vwindowIsOpen(n)) << "the hook accepted: No closes";
  EXPECT_EQ(n->pendingMnemonic, 0);
  // The other case, with Shift held, presses it too, though Shift goes up first.
  calls.clear();
  open();
  win::test::KeyDown(win::VK_SHIFT);
  win::test::KeyDown('N');
  settle();
  EXPECT_EQ(n->pendingMnemonic, 'N');
  win::test::KeyUp(win::VK_SHIFT);
  win::test::KeyUp('N');
  settle();
  win::test::AdvanceClock(50);
  settle();
  EXPECT_EQ(calls, std::vector<std::string>{"other"});
  EXPECT_FALSE(vwindowIsOpen(n));
  // A key up without its key down (the down went elsewhere) presses nothing.
  calls.clear();
  open();
  win::test::KeyUp('N');
  settle();
  win::test::AdvanceClock(50);
  settle();
  EXPECT_TRUE(calls.empty());
  EXPECT_TRUE(vwindowIsOpen(n));
  vwindowClose(n);
}

TEST_F(Notices, EveryButtonClosesANoticeUnderAModalRunOrNot) {
  vconfirmShowApply(n, 1);
  vconfirmShowButton(n, N("Append"), 1);
  for (const char* tag : {"Ok", "Apply", "Append"}) {
    SCOPED_TRACE(tag);
    open();
    clickOn(n, tag);
    settle();
    EXPECT_FALSE(vwindowIsOpen(n));
  }
  // A hook that refuses keeps it open; so does a close hook.
  vconfirmSetApply(n, [](vconfirm*, vevent*) { return 0; });
  open();
  clickOn(n, "Ok");
  settle();
  EXPECT_TRUE(vwindowIsOpen(n));
  vwindowClose(n);
  vconfirmSetApply(n, nullptr);
  // The modal run: a question's No answers "No"; Escape answers "Cancel".
  vnoticeSetQuestion(n, 1);
  vnoticeSetCancel(n, 1);
  static vnotice* running;
  static const char* target;
  running = n;
  veventIdleHook previous = veventSetIdleHook([] {
    if (target) clickOn(running, std::exchange(target, nullptr));
  });
  target = "No";
  EXPECT_EQ(vconfirmProcess(n), N("No"));
  veventSetIdleHook(previous);
  vconfirmProcessStart(n);
  settle();
  win::test::KeyDown(win::VK_ESCAPE);
  win::test::KeyUp(win::VK_ESCAPE);
  EXPECT_EQ(vconfirmProcessGet(n), N("Cancel"));
  vconfirmProcessStop(n);
}

// Before a font driver is in place the line height is 0; a text far too
// long for the height rounds then takes a line as one unit instead of
// dividing by zero.
TEST_F(Notices, ATextMeasuresWithoutLineHeight) {
  vfontDriver saved = *vfontGetDriver();
  vfontDriver flat = saved;
  flat.ascent = [](vfont*) -> vfixed { return 0; };
  flat.descent = [](vfont*) -> vfixed { return 0; };
  flat.advance = [](vfont*, const char*, int length, vfixed* dx, vfixed* dy) {
    *dx = vfixed(length) * (10 << 16);
    *dy = 0;
  };
  vfontSetDriver(&flat);
  std::string text;
  for (int i = 0; i < 100; ++i) text += "word ";
  vtextitemSetTextChars(n->text, text.c_str());
  int w = 0, h = 0;
  _vnoticeMeasureText(n, 50, &w, &h);
  vfontSetDriver(&saved);
  // W = 5000: t = 500 and q = 500 - 1 lines of W / q = 10 units.
  EXPECT_EQ(n->text->rect.width, 10);
  EXPECT_EQ(n->text->rect.height, 500);
  EXPECT_TRUE(vtextitemGetWrap(n->text));
}

// A short text on one line: the item is placed at its own size, which
// must hold the whole line with the item's margins (the glyphs' bottom
// row was cut off).
TEST_F(Notices, AOneLineTextKeepsItsWholeLine) {
  vnoticeSetTextScribed(n, vscribeLiteral("Window not found"));
  vdialogPlace(n, vwindowGetRoot(), 6, 6);
  ASSERT_EQ(n->text->text->lineCount, 1);
  vtextLineInfo info{};
  vtextGetLineInfo(n->text->text, 1, &info);
  ASSERT_GT(info.height, 0);
  EXPECT_GE(vtextviewGetTextArea(n->text)->height, info.height);
}

// The simulator's error report: create, set the text, place against the
// root window, run; a click on OK answers "Ok".
TEST_F(Notices, TheErrorReportPatternAnswersOk) {
  vinstanceDestroy(n);
  n = vnoticeCreate();
  vnoticeSetTextScribed(n, vscribeLiteral("Invalid parameter"));
  vdialogPlace(n, vwindowGetRoot(), 6, 6);
  EXPECT_GT(n->rect.width, 0);
  static vnotice* running;
  running = n;
  veventIdleHook previous = veventSetIdleHook([] {
    static int rounds = 0;
    if (++rounds == 1) clickOn(running, "Ok");
  });
  EXPECT_EQ(vconfirmProcess(n), N("Ok"));
  veventSetIdleHook(previous);
  EXPECT_FALSE(vwindowIsOpen(n));
}

TEST(NoticeResources, ADefaultsButtonLoadsAsNoAndTheFormStoresBack) {
  startDialogItemTests();
  vdialogStartup();
  vnoticeGetDefaultClass();
  // The framework's own question template: Yes, No (stored as Defaults) and Cancel.
  vresource templates;
  ASSERT_TRUE(vapplicationFindNamedResource(N("vnotice"), &templates));
  auto* n = static_cast<vnotice*>(vobjectLoad(vresourceGet(templates, N("Question"))));
  EXPECT_NE(vconfirmFindButton(n, N("No")), nullptr);
  EXPECT_EQ(vconfirmFindButton(n, N("Defaults")), nullptr);
  EXPECT_TRUE(vnoticeIsQuestion(n));
  EXPECT_TRUE(n->noticeFlags & vnoticeCANCEL) << "Cancel was there beside Defaults";
  EXPECT_STREQ(vconfirmFindButton(n, N("Ok"))->title, "Yes");
  EXPECT_TRUE(n->flags & vwindowMODAL);
  char* chars = vtextitemGetString(n->text);
  EXPECT_STREQ(chars, "Do you want to continue?");
  vmemFree(chars);
  EXPECT_EQ(n->icon, vlafGetNoticeImage(1));
  // Stored: the text under "NoticeText"; a default icon is not stored.
  vresource file = vrstoreCreateMemory();
  vresource out = vresourceMake(file, N("Stored"));
  vclassRec<vobjectClassRec>(n)->store(n, out);
  vresource child;
  EXPECT_TRUE(vresourceTestGet(out, N("NoticeText"), &child));
  EXPECT_FALSE(vresourceTestGet(out, N("NoticeIcon"), &child));
  // A copy keeps the modes and has items of its own at the same places.
  auto* copy = static_cast<vnotice*>(vobjectClone(n));
  EXPECT_TRUE(vnoticeIsQuestion(copy));
  EXPECT_TRUE(copy->noticeFlags & vnoticeCANCEL);
  ASSERT_NE(copy->text, nullptr);
  EXPECT_NE(copy->text, n->text);
  EXPECT_EQ(vobjectListIndexOf(copy->items, copy->text), vobjectListIndexOf(n->items, n->text));
  chars = vtextitemGetString(copy->text);
  EXPECT_STREQ(chars, "Do you want to continue?");
  vmemFree(chars);
  vinstanceDestroy(copy);
  // A custom icon is stored and comes back with the reloaded notice, whose
  // "No" button (stored under its own tag) makes it a question again.
  vimage* own = vimageCreateSized(8, 8, 2);
  vnoticeSetIcon(n, own);
  vclassRec<vobjectClassRec>(n)->store(n, out);
  EXPECT_TRUE(vresourceTestGet(out, N("NoticeIcon"), &child));
  auto* again = static_cast<vnotice*>(vobjectLoad(out));
  ASSERT_NE(again->icon, nullptr);
  EXPECT_NE(again->icon, own);
  EXPECT_EQ(again->icon->width, 8);
  EXPECT_TRUE(vnoticeIsQuestion(again));
  vinstanceDestroy(again);
  // Back to the default: the stored icon goes.
  vnoticeSetIcon(n, nullptr);
  vclassRec<vobjectClassRec>(n)->store(n, out);
  EXPECT_FALSE(vresourceTestGet(out, N("NoticeIcon"), &child));
  vinstanceDestroy(n);
  vimageDestroy(own);
  // Without "NoticeText" the resource layer raises.
  std::string error;
  ASSERT_TRUE(vrtextParse("Bare = dictionary { Class = tag vnotice ConfirmFlags = integer 0x1 }", file, &error))
      << error;
  bool raised = false;
  vexGuard([&] { vinstanceDestroy(vobjectLoad(vresourceGet(file, N("Bare")))); },
           [&](vexHandler& h) {
             raised = true;
             vexSetCurrentException(h.savedChain);
           });
  EXPECT_TRUE(raised);
  vresourceCloseFile(file);
}

}  // namespace
