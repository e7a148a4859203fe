// The font chooser in a process of its own (the classes take the look they
// are built in, the sample lines are read once per process):
//   fontchsr_probe [-laf LOOK] OUT   the chooser on 14-point bold Times: a picture
//   fontchsr_probe families          the registry's families, faces and sizes
//   fontchsr_probe run               a modal run (by hand, on X11): prints
//                                    each font applied and the answer
#include <cstdio>
#include <string>

#include "fw/core/event.h"
#include "fw/core/sys.h"
#include "fw/data/pref.h"
#include "fw/gui/window/msw.h"
#include "fw/widgets/choosers/fontchsr.h"
#include "fw/widgets/startup.h"
#include "platform/win/test.h"

namespace {

void settle() {
  veventMSWDrainMessages();
  veventProcessPending(1, 0);
  veventMSWDrainMessages();
}

int picture(const char* out) {
  vfontchsr* c = vfontchsrCreate();
  vfontchsrSetFont(c, vfontFindScribe(vscribeLiteral("family:times-face:bold roman-size:14")));

  vwindowOpen(c);
  settle();

  int status = win::test::WritePng(out, win::test::WindowImage(c->native->hwnd)) ? 0 : 1;
  vinstanceDestroy(c);
  return status;
}

int families() {
  int n = vfontCountFamilies();
  for (int i = 0; i < n; ++i) {
    vfontFamily* f = vfontGetFamily(i);
    std::printf("%s (%s):", f->name, f->encoding ? f->encoding : "");
    vfontCountFamilyFaces(f);
    for (vfontFace* face : f->faces) {
      std::printf(" %s[", face->name);
      vfontCountFaceSizes(face);
      for (vfont* s : face->sizes) std::printf(" %g", double(s->matrix->d));
      std::printf(" ]");
    }
    std::printf("\n");
  }
  vfont* start = vfontFindScribe(vscribeLiteral("family:helvetica-size:12"));
  std::printf("start %s %s %g\n", start->face->family->name, start->face->name, double(start->matrix->d));
  return 0;
}

int runByHand() {
  vfontchsr* c = vfontchsrCreate();
  vfontchsrSetApply(c, [](vfontchsr*, vfont* font) {
    std::printf("applied %s %s %g\n", font->face->family->name, font->face->name, double(font->matrix->d));
    std::fflush(stdout);
    return 1;
  });
  vname answer = vconfirmProcess(c);
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
  std::string what = count > 1 ? args[1] : "";
  if (what != "run") win::UseVirtualClock(true);
  if (what == "run") status = runByHand();
  else if (what == "families") status = families();
  else if (!what.empty()) status = picture(what.c_str());
  else std::fprintf(stderr, "usage: fontchsr_probe [-laf LOOK] OUT | families | run\n");
  std::fflush(stdout);
  return status;
}

}  // namespace

int main(int argc, char** argv) { vsysMain(argc, argv, probeMain); }
