// sim73500: the simulator on the console, or with --gui on its windows.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "frontends/console/console.h"
#include "frontends/gui/startup.h"

namespace {

constexpr const char* DEFAULT_TYPE = "73521";

int usage(const char* message) {
  std::fprintf(stderr, "sim73500: %s\nusage: sim73500 [--gui | --gui=headless] [--transcript FILE] [command]\n",
               message);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  // A file-size limit makes a write fail (EFBIG), which is reported as any
  // failed write, instead of ending the session.
  std::signal(SIGXFSZ, SIG_IGN);
  bool gui = false;
  gui::start_options options;
  // The front-end's own options go before the first command; what follows
  // them is the simulator's argument vector, the program name first.
  std::vector<char*> args{argv[0]};
  int i = 1;
  for (; i < argc; ++i) {
    const char* a = argv[i];
    if (std::strcmp(a, "--gui") == 0) {
      gui = true;
    } else if (std::strcmp(a, "--gui=headless") == 0) {
      gui = true;
      options.headless = true;
    } else if (std::strcmp(a, "--transcript") == 0) {
      if (i + 1 >= argc) return usage("--transcript needs a file name");
      options.transcript = argv[++i];
    } else if (std::strncmp(a, "--gui=", 6) == 0) {
      return usage("the GUI runs on X11 (--gui) or headless (--gui=headless)");
    } else {
      break;
    }
  }
  for (; i < argc; ++i) args.push_back(argv[i]);
  if (options.transcript != nullptr && !gui) return usage("--transcript belongs to the GUI front-end");
  args.push_back(nullptr);
  const int count = static_cast<int>(args.size()) - 1;
  if (!gui) return console_main(count, args.data());
  if (options.headless) {
    setenv("WEXLIN_BACKEND", "headless", 1);
  } else {
    // Chosen explicitly: never the headless back-end in its place.
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') {
      std::fprintf(stderr, "sim73500: no X display: DISPLAY is not set\n");
      return 1;
    }
    setenv("WEXLIN_BACKEND", "x11", 1);
  }
  gui::sim_main(count, args.data(), DEFAULT_TYPE, options);
}
