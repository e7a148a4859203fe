// The file chooser in one look, in a process of its own (the classes take
// the look they are built in):
//   filechsr_probe [-laf LOOK] DIR OUT   the chooser in DIR with the first
//                                        directory of its first two columns
//                                        selected: three columns
//   filechsr_probe [-laf LOOK] DIR run   a modal run (by hand, on X11): prints
//                                        each path given to the apply function
//                                        and the answer
#include <cstdio>
#include <string>

#include "fw/core/event.h"
#include "fw/core/sys.h"
#include "fw/data/pref.h"
#include "fw/data/vresource.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/msw.h"
#include "fw/widgets/choosers/filechsr.h"
#include "fw/widgets/startup.h"
#include "platform/win/test.h"

namespace {

void settle() {
  veventMSWDrainMessages();
  veventProcessPending(1, 0);
  veventMSWDrainMessages();
}

// The column's first directory.
void selectFirst(vfilechsr* c, int column) {
  vlistview* v = c->columns[column];
  auto* d = v->list ? reinterpret_cast<vfilechsrDirectory*>(v->list->client) : nullptr;
  for (std::int32_t i = 0; d && i < d->count; ++i)
    if ((d->entries[std::size_t(i)].info.flags & vfsINFO_KIND) == vfsINFO_DIRECTORY) {
      vlistSelectRange(v->list, v->selection, i, 0, 1, 1);
      break;
    }
  settle();
}

// What the user's store remembers of earlier choosers (size, history)
// stays out of the picture, and the picture's chooser leaves nothing.
void forgetPreferences() {
  vresource app = vapplicationGetResources(vapplicationGetCurrent()), d = 0;
  if (vresourceTestGet(app, vnameInternLiteral("vfilechsr"), &d)) vresourceRemove(app, vnameInternLiteral("vfilechsr"));
}

int picture(const char* directory, const char* out) {
  forgetPreferences();
  vfilechsr* c = vfilechsrCreate();
  vfsPath* p = vfsNewPathFromString(directory);
  vfilechsrSetDirectory(c, p);
  vfsFreePath(p);
  vwindowOpen(c);
  settle();
  selectFirst(c, 0);
  selectFirst(c, 1);
  int status = win::test::WritePng(out, win::test::WindowImage(c->native->hwnd)) ? 0 : 1;
  std::printf("columns %d\n", c->visibleColumns);
  vinstanceDestroy(c);
  forgetPreferences();
  return status;
}

int runByHand(const char* directory) {
  vfilechsr* c = vfilechsrCreate();
  vfsPath* p = vfsNewPathFromString(directory);
  vfilechsrSetDirectory(c, p);
  vfsFreePath(p);
  vfilechsrSetApply(c, [](vfilechsr*, vfsPath* chosen) {
    vstr* text = vfsPathToString(chosen);
    std::printf("chosen %s\n", text);
    std::fflush(stdout);
    vstrDestroy(text);
    return 1;
  });
  vname answer = vfilechsrProcess(c);
  std::printf("answer %s\n", answer ? answer : "none");
  vinstanceDestroy(c);
  return 0;
}

int probeMain(int argc, char** argv) {
  vwidgetsStartup(argc, argv);
  int count = 0;
  char** args = nullptr;
  vprefGetArgs(&count, &args);
  int status = 2;
  bool byHand = count > 2 && std::string(args[2]) == "run";
  if (!byHand) win::UseVirtualClock(true);
  if (byHand) status = runByHand(args[1]);
  else if (count > 2) status = picture(args[1], args[2]);
  else std::fprintf(stderr, "usage: filechsr_probe [-laf LOOK] DIR OUT\n");
  std::fflush(stdout);
  return status;
}

}  // namespace

int main(int argc, char** argv) { vsysMain(argc, argv, probeMain); }
