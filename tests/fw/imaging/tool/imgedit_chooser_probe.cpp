// vimgedit's File > Import... or Export..., or Image > Size..., Palette...
// or Font..., without a user: the editor is opened on a new image, then the
// commands are issued in turn as its menu issues them. A window that cannot
// be built ends the program as it ends vimgedit; one that opens is closed
// again when modal (as its close box would), else left open, and the
// program ends as vimgedit does. With FILE the editor opens on that image.
//   imgedit_chooser_probe COMMAND[,COMMAND...] [FILE]
//   COMMAND: import, export, size, palette or font
#include <cstdio>
#include <string>
#include <vector>

#include "app/vimgedit/vimgedit_app.h"
#include "fw/core/event.h"
#include "fw/core/sys.h"
#include "fw/gui/window/msw.h"
#include "fw/imaging/vimageedtr.h"
#include "fw/widgets/dialog/dialog.h"
#include "fw/widgets/startup.h"

namespace {

struct Command {
  const char* name;
  int selector;
};
constexpr Command kCommands[] = {{"import", vimageedtrIMPORT},
                                 {"export", vimageedtrEXPORT},
                                 {"size", vimageedtrSET_SIZE},
                                 {"palette", vimageedtrEDIT_PALETTE},
                                 {"font", vimageedtrSET_FONT}};

int closeModal(vevent*) {
  vwindow* w = vwindowMSWGetCurrentModal();
  auto* d = w && vclassIsSubclass(w->cls, vdialogGetDefaultClass()) ? static_cast<vdialog*>(w) : nullptr;
  if (d && d->closeHook) d->closeHook(d, nullptr);
  return 1;
}

int startAndRun(int argc, char** argv) {
  vsysSetProgramName("imgedit_chooser_probe");
  std::vector<int> selectors;
  for (std::string rest = argc > 1 ? argv[1] : ""; !rest.empty();) {
    std::size_t comma = rest.find(',');
    const std::string name = rest.substr(0, comma);
    rest = comma == std::string::npos ? "" : rest.substr(comma + 1);
    int selector = 0;
    for (const Command& c : kCommands)
      if (name == c.name) selector = c.selector;
    if (!selector) {
      std::fprintf(stderr, "usage: imgedit_chooser_probe import|export|size|palette|font[,...] [FILE]\n");
      return 2;
    }
    selectors.push_back(selector);
  }
  if (selectors.empty()) return 2;
  vimageedtrInstallStartup();
  vwidgetsStartup(argc, argv);
  const char* error = nullptr;
  vimgedit* session = vimgeditOpen(argc > 2 ? argv[2] : nullptr, false, &error);
  if (!session) return 2;
  for (int selector : selectors) {
    veventPost(veventCreateClient(closeModal, nullptr));
    vimageedtrIssueSelector(session->editor, selector, nullptr);
  }
  std::printf("windows opened\n");
  vimgeditDestroy(session);
  return 0;
}

}  // namespace

int main(int argc, char** argv) { vsysMain(argc, argv, startAndRun); }
