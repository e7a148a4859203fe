// A main window in a program of its own: a frame whose main view holds
// three document windows (in MDI mode under the Win95 look), tiled, then
// cascaded with the second one active.
//   mainview_probe [-laf LOOK] OUT    the screen's picture as a PNG
//   mainview_probe [-laf LOOK] -live  on the display until the program is
//                                     ended (to try it by hand)
#include <cstdio>
#include <string>

#include "fw/core/event.h"
#include "fw/core/sys.h"
#include "fw/data/pref.h"
#include "fw/gui/window/msw.h"
#include "fw/widgets/dialog/dialog.h"
#include "fw/widgets/domains/mainview.h"
#include "fw/widgets/startup.h"
#include "platform/win/test.h"

namespace {

void settle() {
  veventMSWDrainMessages();
  veventProcessPending(1, 0);
  veventMSWDrainMessages();
}

vdialog* document(vmainview* view, const char* title, const char* text, vrect r) {
  vdialog* d = vdialogCreate();
  d->rect = r;
  d->decoration |= 0x3F;
  vwindowSetTitleScribe(d, vscribeLiteral(title));
  vdialogItem* l = vdialogItemCreate(vdialogLabelItemGetDefaultClass());
  vdialogSetItemTitle(l, vscribeLiteral(text));
  vrect place{8, std::int16_t(r.height - 28), std::int16_t(r.width - 16), 18};
  vdialogSetItemRect(l, &place);
  vdialogAppendItem(d, l);
  vmainviewAddWindow(view, d);
  vwindowOpen(d);
  return d;
}

int run(const char* out) {
  bool live = std::string(out) == "-live";
  vdialog* frame = vdialogCreate();
  frame->rect = {60, 60, 640, 440};
  frame->decoration |= vwindowDECO_TOP_LEVEL | 0x3F;
  vwindowSetTitleScribe(frame, vscribeLiteral("ZELMORAK DSP73500 SIMULATOR"));
  vmainview* view = vmainviewCreate();
  vrect all{0, 0, 640, 440};
  vdialogSetItemRect(view, &all);
  vdialogAppendItem(frame, view);
  vwindowOpen(frame);
  settle();
  vdialog* docs[] = {document(view, "Session", "dev:0 pc:$0000 cyc:0", {20, 200, 300, 180}),
                     document(view, "Registers", "a0 = $000000  b0 = $000000", {60, 160, 300, 180}),
                     document(view, "Memory", "x:$0000  0000 0000 0000 0000", {100, 120, 300, 180})};
  settle();
  vmainviewTile(view);
  settle();
  vmainviewCascade(view);
  vmainviewActivateWindow(view, docs[1]);
  settle();
  std::printf("mdi %d active %s\n", vmainviewIsMDI(), vmainviewGetActiveWindow(view) ? vmainviewGetActiveWindow(view)->title : "none");
  std::fflush(stdout);
  if (live) {
    veventProcess();
    return 0;
  }
  int status = win::test::WritePng(out, win::test::ScreenImage()) ? 0 : 1;
  for (vdialog* d : docs) {
    vmainviewRemoveWindow(view, d);
    vwindowClose(d);
    vinstanceDestroy(d);
  }
  vwindowClose(frame);
  vinstanceDestroy(frame);
  settle();
  return status;
}

int probeMain(int argc, char** argv) {
  vwidgetsStartup(argc, argv);
  int count = 0;
  char** args = nullptr;
  vprefGetArgs(&count, &args);
  win::UseVirtualClock(count <= 1 || std::string(args[1]) != "-live");
  int status = 2;
  if (count > 1) status = run(args[1]);
  else std::fprintf(stderr, "usage: mainview_probe [-laf LOOK] OUT|-live\n");
  std::fflush(stdout);
  return status;
}

}  // namespace

int main(int argc, char** argv) { vsysMain(argc, argv, probeMain); }
