// sim73500: the simulator on the console front-end.
#include "console/console.h"

int main(int argc, char** argv) { return console_main(argc, argv); }
