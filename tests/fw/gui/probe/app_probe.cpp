// A program of its own, so that a test can run the application object in a
// fresh process with a HOME of its choosing.
//   app_probe name [ARGS]       the application's name
//   app_probe set KEY VALUE     sets a preference of the application
//   app_probe get KEY...        prints each preference ("-" for none)
//   app_probe wait KEY VALUE    sets it, prints "waiting", runs the event
//                               loop until a signal ends it, prints "ended"
//                               and reads a line before it exits
//   app_probe -transient ...    the same with the user's store neither read
//                               nor written
#include <cstdio>
#include <cstring>
#include <string>

#include "fw/core/event.h"
#include "fw/core/sys.h"
#include "fw/data/datatag.h"
#include "fw/data/date.h"
#include "fw/data/num.h"
#include "fw/data/pref.h"
#include "fw/data/regexp.h"
#include "fw/data/scrap.h"
#include "fw/data/undo.h"
#include "fw/data/vresource.h"
#include "fw/data/vrstore.h"
#include "fw/gui/graphics/startup.h"
#include "fw/gui/window/application.h"

int main(int argc, char** argv) {
  for (void (*install)() : {vresourceInstallStartup, vscrapInstallStartup, vnumInstallStartup, vprefInstallStartup,
                            vregexpInstallStartup, vdatatagInstallStartup, vsignatureInstallStartup,
                            vdateInstallStartup, vundoInstallStartup, vgraphicsInstallStartup,
                            vapplicationInstallStartup})
    install();
  if (argc > 1 && std::strcmp(argv[1], "-transient") == 0) {
    vapplicationSetUserStoreKept(0);
    argv[1] = argv[0];
    ++argv;
    --argc;
  }
  vmoduleStartupAll(argc, argv);
  std::string mode = argc > 1 ? argv[1] : "";
  vapplication* app = vapplicationGetCurrent();
  vprefDict* root = vprefGetDefaultDict();
  if (mode == "name") {
    std::printf("name=%s\n", app->name);
  } else if (mode == "set" && argc > 3) {
    vresourceSetString(vapplicationGetResources(app), vnameInternLiteral(argv[2]), vscribeCString(argv[3]));
  } else if (mode == "wait" && argc > 3) {
    vresourceSetString(vapplicationGetResources(app), vnameInternLiteral(argv[2]), vscribeCString(argv[3]));
    std::printf("waiting\n");
    std::fflush(stdout);
    veventProcess();
    std::printf("ended\n");
    std::fflush(stdout);
    char line[8];
    if (!std::fgets(line, sizeof line, stdin)) line[0] = '\0';  // a shutdown that takes its time
  } else if (mode == "get" && argc > 2) {
    for (int i = 2; i < argc; ++i) {
      const char* v = vprefGetString(root, vscribeCString(argv[i]));
      std::printf("%s=%s\n", argv[i], v ? v : "-");
    }
  } else {
    std::fprintf(stderr, "usage: app_probe name|set KEY VALUE|get KEY...\n");
    return 2;
  }
  std::fflush(stdout);
  vsysRunExitHandlers();
  return 0;
}
