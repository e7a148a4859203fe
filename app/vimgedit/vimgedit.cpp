// vimgedit: the framework's image editor as a program. "vimgedit FILE"
// edits the image in FILE (GIF, portable maps, X bitmaps, Windows bitmaps
// and icons, chosen by the name's extension); without FILE a new 32 x 32
// image of 16 colours. Nothing is written unless the user exports.
//
// - `tool/vimgedit.cpp` (`vimgedit [FILE]`): the editor as a program over `tool/vimgedit_app.cpp`,
//   which the tests link. The file is read through the import dispatch (a mask it carries goes to
//   the mask view); without one a white 32 x 32 image with the 16 standard colours, white first. The
//   close callback writes nothing; the event loop ends once the editor is closed (the callback also
//   runs on apply and save, so it checks from a posted event). `tests/fw/imaging/vimgedit_test.cpp`
//   opens a GIF made by Pillow, draws through the platform's input, exports through the scripted
//   system dialog and has Pillow read the pixmap back.
#include <csignal>
#include <cstdio>
#include <string>

#include "fw/core/event.h"
#include "fw/core/ex.h"
#include "fw/core/fs.h"
#include "fw/core/sys.h"
#include "fw/data/inst.h"
#include "fw/data/pref.h"
#include "app/vimgedit/vimgedit_app.h"
#include "fw/imaging/vimageedtr.h"
#include "fw/widgets/startup.h"

namespace {

int run(int, char**) {
  int argc = 0;
  char** argv = nullptr;
  // The framework takes its own options; the rest are ours.
  vprefGetArgs(&argc, &argv);
  if (argc > 2) {
    std::fprintf(stderr, "usage: vimgedit [FILE]\n");
    return 2;
  }
  const char* file = argc > 1 ? argv[1] : nullptr;
  const char* error = nullptr;
  vimgedit* session = nullptr;
  // The editor's template is the framework file's: one that does not load
  // (damaged) is refused naming that file.
  bool loaded = true;
  vexGuard([&] { session = vimgeditOpen(file, true, &error); },
           [&](vexHandler& h) {
             vexException* e = vexGetCurrentException();
             std::string name = vinstNAMES[0];
             for (const char* candidate : vinstNAMES)
               if (vfsPath* p = vinstFindFileQuiet(candidate)) {
                 vstr* text = vfsPathToString(p);
                 name = text;
                 vstrDestroy(text);
                 vfsFreePath(p);
                 break;
               }
             std::fprintf(stderr, "vimgedit: resource file %s: cannot read the image editor: %s\n", name.c_str(),
                          e && e->message ? e->message : e ? e->cls->name : "failed");
             vexSetCurrentException(h.savedChain);
             loaded = false;
           });
  if (!loaded) return 1;
  if (!session) {
    std::fprintf(stderr, "vimgedit: %s: %s\n", file, error ? error : "cannot open");
    return 1;
  }
  veventProcess();
  vimgeditDestroy(session);
  return 0;
}

int startAndRun(int argc, char** argv) {
  vsysSetProgramName("vimgedit");
  // The editor's dialog, tools and images are in the framework's file.
  if (const std::string missing = vinstMissingFiles("vimgedit"); !missing.empty()) {
    std::fputs(missing.c_str(), stderr);
    return 1;
  }
  vimageedtrInstallStartup();
  vwidgetsStartup(argc, argv);
  return run(argc, argv);
}

}  // namespace

int main(int argc, char** argv) {
  // A file past the size limit is a failed write, said as any other.
  std::signal(SIGXFSZ, SIG_IGN);
  // Before the framework starts: its first look at the display picks the back-end.
  if (!vwidgetsDisplayChosen("vimgedit")) return 1;
  vsysMain(argc, argv, startAndRun);
}
