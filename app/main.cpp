// sim73500: the simulator on the console front-end.
#include <cstdio>
#include <cstring>

#include "console/console.h"

int main(int argc, char** argv) {
  // The GUI front-end is not in this build yet; say so rather than taking
  // "--gui" for a macro file's name.
  if (argc > 1 && std::strncmp(argv[1], "--gui", 5) == 0 && (argv[1][5] == '\0' || argv[1][5] == '=')) {
    std::fprintf(stderr, "sim73500: the GUI front-end is not built yet; run sim73500 without --gui for the terminal front-end\n");
    return 1;
  }
  return console_main(argc, argv);
}
