// Notices in a program of their own per look (the classes take the look
// they are built in):
//   notice_probe [-laf LOOK] sizes      per text (short, long, very long):
//       "metrics U L" then "TEXT W lines N text X Y W H icon X Y W H natural W H"
//   notice_probe [-laf LOOK] OUT        a question notice's picture as a PNG
//   notice_probe [-laf LOOK] -live      a question notice with Cancel on the
//                                       display, run modally; prints the answer
//   notice_probe -live-twice            two such notices in turn from a handler
//                                       of the main loop
//   notice_probe -live-then-menu        such a notice, then the system menu's
//                                       tracking and a second notice
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "fw/core/event.h"
#include "fw/core/sys.h"
#include "fw/data/pref.h"
#include "fw/gui/graphics/font.h"
#include "fw/gui/window/msw.h"
#include "fw/widgets/choosers/notice.h"
#include "fw/widgets/look/laf.h"
#include "fw/widgets/startup.h"
#include "platform/win/test.h"
#include "platform/win/user.h"

namespace {

void settle() {
  veventMSWDrainMessages();
  veventProcessPending(1, 0);
  veventMSWDrainMessages();
}

const char* const kTexts[][2] = {
    {"short", "Disk full."},
    {"long", "The file \"fir.cld\" already exists in this folder. Do you want to replace it with the new one?"},
    {"verylong",
     "Breakpoint 12 could not be set at p:$0400 because the address lies outside every region of the memory map "
     "of device 3 (type 73547rom), which is read-only in this operating mode. Change the operating mode with the "
     "device command, load the program at another address, or remove the breakpoint. The simulator keeps every "
     "other breakpoint as it was and does not run the device until the condition is cleared."},
};

int sizes() {
  vnotice* n = vnoticeCreate();
  vfont* font = vdialogDetermineItemFont(n->text);
  int line = int((std::int64_t(vfontGetHeight(font)) + 0x8000) >> 16);
  int descent = int((std::int64_t(vfontGetDriver()->descent(font)) + 0x8000) >> 16);
  std::printf("metrics %d %d\n", descent + line, line);
  vinstanceDestroy(n);
  for (const auto& [kind, text] : kTexts) {
    n = vnoticeCreate();
    vnoticeSetTextScribed(n, vscribeLiteral(text));
    int w = 0, h = 0;
    vdialogClassOf(n)->getNaturalSize(n, &w, &h);
    // The window as the next open fits it, then arranged.
    vwindowOpen(n);
    settle();
    if (n->separator) std::printf("separator %d %d %d %d shown %d\n", n->separator->rect.x, n->separator->rect.y, n->separator->rect.width, n->separator->rect.height, n->separator->flags & 1);
    const vrect& t = n->text->rect;
    vrect icon = n->iconItem ? n->iconItem->rect : vrect{};
    int whole = int((std::int64_t(vfontGetCharsWidth(font, text, int(std::strlen(text)))) + 0x8000) >> 16);
    std::printf("%s %d lines %d text %d %d %d %d icon %d %d %d %d natural %d %d window %d %d\n", kind, whole,
                int(n->text->text->lineCount), t.x, t.y, t.width, t.height, icon.x, icon.y, icon.width, icon.height, w,
                h, n->rect.width, n->rect.height);
    vwindowClose(n);
    vinstanceDestroy(n);
  }
  return 0;
}

vnotice* question() {
  vnotice* n = vnoticeCreate();
  vwindowSetTitleScribe(n, vscribeLiteral("sim73500"));
  vnoticeSetTextScribed(n, vscribeLiteral(kTexts[1][1]));
  vnoticeSetQuestion(n, 1);
  vdialogPlace(n, vwindowGetRoot(), 6, 6);
  return n;
}

int picture(const char* out) {
  vnotice* n = question();
  vwindowOpen(n);
  win::SetActiveWindow(n->native->hwnd);
  win::SetFocus(n->native->hwnd);
  settle();
  vwindowInvalAll(n, 0);
  settle();
  int status = win::test::WindowPng(n->native->hwnd, out) ? 0 : 1;
  vwindowClose(n);
  vinstanceDestroy(n);
  settle();
  return status;
}

int live() {
  vnotice* n = question();
  vnoticeSetCancel(n, 1);
  std::printf("ready\n");
  std::fflush(stdout);
  std::printf("answer %s\n", vconfirmProcess(n));
  vinstanceDestroy(n);
  return 0;
}

// Two notices, one after the other, from one handler of the main loop, as
// a command that reports two errors does; "ready" once the first is up.
int liveTwice() {
  veventPost(veventCreateClient([](vevent*) {
    for (int i = 0; i < 2; ++i) {
      vnotice* n = question();
      vnoticeSetCancel(n, 1);
      veventPost(veventCreateClient([](vevent*) {
        static bool told = false;
        if (!std::exchange(told, true)) std::printf("ready\n");
        std::fflush(stdout);
        return 1;
      }, nullptr));
      std::printf("answer %s\n", vconfirmProcess(n));
      vinstanceDestroy(n);
    }
    veventStopProcessing();
    return 1;
  }, nullptr));
  veventProcess();
  return 0;
}

// A notice from a handler of the main loop, then a modal loop of the
// platform's own (the system menu's tracking, which waits for input)
// started once the notice is over, then a second notice: a quit requested
// during the first must end both without any input.
int liveThenMenu() {
  veventPost(veventCreateClient([](vevent*) {
    vnotice* n = question();
    vnoticeSetCancel(n, 1);
    veventPost(veventCreateClient([](vevent*) {
      std::printf("ready\n");
      std::fflush(stdout);
      return 1;
    }, nullptr));
    std::printf("answer %s\n", vconfirmProcess(n));
    vinstanceDestroy(n);
    vnotice* next = question();
    vwindowOpen(next);
    win::SendMessageA(next->native->hwnd, win::WM_SYSCOMMAND, win::SC_KEYMENU, ' ');
    std::printf("menu over\n");
    std::fflush(stdout);
    vwindowClose(next);
    vinstanceDestroy(next);
    next = question();
    vnoticeSetCancel(next, 1);
    std::printf("answer %s\n", vconfirmProcess(next));
    vinstanceDestroy(next);
    veventStopProcessing();
    return 1;
  }, nullptr));
  veventProcess();
  return 0;
}

int probeMain(int argc, char** argv) {
  vwidgetsStartup(argc, argv);
  int count = 0;
  char** args = nullptr;
  vprefGetArgs(&count, &args);
  std::string mode = count > 1 ? args[1] : "";
  win::UseVirtualClock(mode != "-live" && mode != "-live-twice" && mode != "-live-then-menu");
  int status = 2;
  if (mode == "sizes") status = sizes();
  else if (mode == "-live") status = live();
  else if (mode == "-live-twice") status = liveTwice();
  else if (mode == "-live-then-menu") status = liveThenMenu();
  else if (!mode.empty()) status = picture(mode.c_str());
  else std::fprintf(stderr, "usage: notice_probe [-laf LOOK] sizes|OUT|-live\n");
  std::fflush(stdout);
  return status;
}

}  // namespace

int main(int argc, char** argv) { vsysMain(argc, argv, probeMain); }
