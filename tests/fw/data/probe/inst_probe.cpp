// A program of its own, so that a test can place it in a folder of its
// choosing and see, from a fresh process, where the installation search
// looks, what numbers print with or without the framework's resource file,
// and what the earlier printers write before and after the numeric
// conversions are registered.
//   inst_probe find                  the path found for each file name
//   inst_probe numbers               formatted and parsed numbers
//   inst_probe printers [numbers]    printers and dumps (after registering)
#include <cstdio>
#include <cstring>
#include <string>

#include "fw/core/debug.h"
#include "fw/core/sys.h"
#include "fw/data/inst.h"
#include "fw/data/num.h"
#include "fw/data/scrap.h"
#include "fw/data/vresource.h"

namespace {

std::string text(vscribe* s) {
  char* c = vscribeCreateString(s);
  std::string r = c;
  vscribeFreeString(c);
  return r;
}

void find() {
  for (const char* name : vinstNAMES) {
    vfsPath* p = vinstFindFileQuiet(name);
    if (!p) {
      std::printf("%s -\n", name);
      continue;
    }
    vstr* s = vfsPathToString(p);
    std::printf("%s %s\n", name, s);
    vstrDestroy(s);
    vfsFreePath(p);
  }
}

void numbers() {
  vinstGetSystemResource();
  std::printf("in memory %d\n", vinstSystemResourceInMemory());
  vnumStartup();
  std::printf("%s\n", text(vscribeCreateFormatted("%d %i %u %x %#X %o %b %.3d %ld", -42, 7, 4000000000u, 255, 255, 8,
                                                  5, 7, 0x100000007L))
                          .c_str());
  std::printf("%s\n", text(vscribeCreateFormatted("%e %E %f %g %G %.2f", 123456.0, 0.5, 2.25, 1e-5, 1e20, 9.996)).c_str());
  std::printf("%s\n", text(vnumScribeDouble(-1234.5)).c_str());
  std::printf("%.17g %d\n", vnumParseFloat("0.3", vnumNUL_TERMINATED, nullptr),
              vnumParseInteger("-2147483648", vnumNUL_TERMINATED, nullptr));
}

void printers() {
  std::fflush(stdout);
  vdebugOpenLog();
  std::printf("log %s\n", vdebugGetLogName());
  vexGuard([] { _vexGenerate(&vexNumSyntaxClass, vexSetMessage, "Bad number", vnumSetPosition, "12x", vexEnd); },
           [](vexHandler& h) {
             vexPrintChain(stdout);
             vexSetCurrentException(h.savedChain);
           });
  vinstance* d = vscrapCreateNative(vscrapGetDictionaryClass());
  vinstance* i = vscrapCreateNative(vscrapGetIntegerClass());
  vscrapSetInteger(vscrapWalk(i), -7);
  vscrapSetDictionaryElement(vscrapWalk(d), vnameInternLiteral("count"), i);
  vinstance* f = vscrapCreateNative(vscrapGetFixedClass());
  vscrapSetFixed(vscrapWalk(f), 0x18000);
  vscrapSetDictionaryElement(vscrapWalk(d), vnameInternLiteral("scale"), f);
  vinstance* r = vscrapCreateNative(vscrapGetFloatClass());
  vscrapSetFloat(vscrapWalk(r), 0.1);
  vscrapSetDictionaryElement(vscrapWalk(d), vnameInternLiteral("ratio"), r);
  vscrapSetDictionaryElement(vscrapWalk(d), vnameInternLiteral("name"), vscrapCreateNativeString("probe"));
  std::fflush(stdout);
  vscrapDump(vscrapWalk(d), stdout);
  vinstanceDestroy(d);
  // The generated C source of a small file of each store.
  for (int table : {0, 1}) {
    vresource root = vresourceCreateMemoryIn(table);
    vresourceSetInteger(root, vnameInternLiteral("I"), -3);
    vresourceSetStringSized(root, vnameInternLiteral("S"), "text", 4);
    std::string name = "source" + std::to_string(table) + ".c";
    vfsPath* p = vfsNewPathFromString(name.c_str());
    vfsStream* out = vfsOpenFile(p, vfsOPEN_WRITE);
    vresourceWriteSource(root, out, "probe");
    vfsCloseFile(out);
    vfsFreePath(p);
    vresourceCloseFile(root);
    std::fflush(stdout);
    if (std::FILE* in = std::fopen(name.c_str(), "r")) {
      char buffer[4096];
      for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;) std::fwrite(buffer, 1, n, stdout);
      std::fclose(in);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "find") find();
  else if (mode == "numbers") numbers();
  else if (mode == "printers") {
    if (argc > 2 && std::strcmp(argv[2], "numbers") == 0) vnumStartup();
    printers();
  } else {
    std::fprintf(stderr, "usage: inst_probe find|numbers|printers [numbers]\n");
    return 2;
  }
  std::fflush(stdout);
  vsysRunExitHandlers();
  return 0;
}
