// vimgedit's File > Import... or Export... without a user: the editor is
// opened on a new image, then the command is issued as its menu issues it.
// A chooser that cannot be built ends the program as it ends vimgedit.
//   imgedit_chooser_probe import|export
#include <cstdio>
#include <cstring>

#include "app/vimgedit/vimgedit_app.h"
#include "fw/core/sys.h"
#include "fw/imaging/vimageedtr.h"
#include "fw/widgets/startup.h"

namespace {

int startAndRun(int argc, char** argv) {
  vsysSetProgramName("imgedit_chooser_probe");
  vimageedtrInstallStartup();
  vwidgetsStartup(argc, argv);
  const char* error = nullptr;
  vimgedit* session = vimgeditOpen(nullptr, false, &error);
  if (!session) return 2;
  const bool exporting = argc > 1 && std::strcmp(argv[1], "export") == 0;
  vimageedtrIssueSelector(session->editor, exporting ? vimageedtrEXPORT : vimageedtrIMPORT, nullptr);
  std::printf("chooser opened\n");
  vimgeditDestroy(session);
  return 0;
}

}  // namespace

int main(int argc, char** argv) { vsysMain(argc, argv, startAndRun); }
