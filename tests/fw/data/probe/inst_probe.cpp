// A program of its own, so that a test can place it in a folder of its
// choosing and see, from a fresh process, where the installation search
// looks, what numbers print with or without the framework's resource file,
// and what the earlier printers write before and after the numeric
// conversions are registered.
//   inst_probe find                  the path found for each file name
//   inst_probe numbers               formatted and parsed numbers
//   inst_probe printers [numbers]    printers and dumps (after registering)
//   inst_probe dates                 the localized names ("-" for none)
//   inst_probe startup [WORDS]       the whole start-up with the data rows
//   inst_probe missing               what a program needing the framework's
//                                    file and "inst_probe.vr" would say
#include <cstdio>
#include <cstring>
#include <string>

#include "fw/core/debug.h"
#include "fw/core/sys.h"
#include "fw/data/datatag.h"
#include "fw/data/date.h"
#include "fw/data/inst.h"
#include "fw/data/num.h"
#include "fw/data/pref.h"
#include "fw/data/regexp.h"
#include "fw/data/scrap.h"
#include "fw/data/undo.h"
#include "fw/data/vresource.h"
#include "fw/data/vrstore.h"

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

void dates() {
  auto line = [](const char* what, int count, const char* (*name)(int)) {
    std::printf("%s", what);
    for (int i = 0; i < count; ++i) {
      const char* n = name(i);
      std::printf(" %s", n ? n : "-");
    }
    std::printf("\n");
  };
  line("months", 12, vdateGetMonthName);
  line("abbreviated", 12, vdateGetAbbrevMonthName);
  line("weekdays", 7, vdateGetWeekdayName);
  line("abbreviated", 7, vdateGetAbbrevWeekdayName);
  line("meridians", 2, vdateGetMeridianName);
}

// Every row the data library fills, run by the framework's start-up.
void startup(int argc, char** argv) {
  for (void (*install)() : {vresourceInstallStartup, vscrapInstallStartup, vnumInstallStartup, vprefInstallStartup,
                            vregexpInstallStartup, vdatatagInstallStartup, vsignatureInstallStartup,
                            vdateInstallStartup, vundoInstallStartup})
    install();
  vmoduleStartupAll(argc, argv);
  int count = 0;
  char** words = nullptr;
  vprefGetArgs(&count, &words);
  std::printf("arguments");
  for (int i = 0; i < count; ++i) std::printf(" %s", words[i]);
  std::printf("\n%s\n", text(vscribeCreateFormatted("%d %#x %.2f", -5, 255, 0.125)).c_str());
  vregexp* re = vregexpCompile(vscribeLiteral("b+c"));
  std::ptrdiff_t length = 0;
  const char* subject = "abbbc";
  const char* at = vregexpSearch(re, subject, 5, &length);
  std::printf("match at %d length %d\n", at ? int(at - subject) : -1, int(length));
  vregexpDestroy(re);
}

}  // namespace

int main(int argc, char** argv) {
  std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "find") find();
  else if (mode == "numbers") numbers();
  else if (mode == "printers") {
    if (argc > 2 && std::strcmp(argv[2], "numbers") == 0) vnumStartup();
    printers();
  } else if (mode == "dates") {
    dates();
  } else if (mode == "startup") {
    startup(argc, argv);
  } else if (mode == "missing") {
    std::printf("%s", vinstMissingFiles("inst_probe", {"inst_probe.vr"}).c_str());
  } else {
    std::fprintf(stderr, "usage: inst_probe find|numbers|printers [numbers]|dates|startup [WORDS]|missing\n");
    return 2;
  }
  std::fflush(stdout);
  vsysRunExitHandlers();
  return 0;
}
