// The font and style choosers in a process of their own (the classes take
// the look they are built in, the sample lines are read once per process):
//   fontchsr_probe [-laf LOOK] OUT        the font chooser on 14-point bold Times: a picture
//   fontchsr_probe [-laf LOOK] style OUT [SIZE]
//                                         the style chooser on a bold, blue,
//                                         16-point (or SIZE) Times style: a picture
//   fontchsr_probe families               the registry's families, faces and sizes
//   fontchsr_probe run | style-run        a modal run (by hand, on X11): prints
//                                         what is applied and the answer
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fw/core/event.h"
#include "fw/core/sys.h"
#include "fw/data/pref.h"
#include "fw/gui/window/msw.h"
#include "fw/widgets/choosers/stylechsr.h"
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

vtextStyle* sampleStyle(int size = 16) {
  vtextStyle* s = vtextStyleCreate();
  vtextRulerSetBooleanAttr(s, vnameInternLiteral("Bold"), 1);
  vtextRulerSetIntegerAttr(s, vnameInternLiteral("Size"), size);
  vtextRulerSetObjectAttr(s, vname_Font,
                          reinterpret_cast<vobject*>(vfontFindScribe(vscribeLiteral("family:times-size:16"))));
  vcolorSpec spec;
  vcolorInitSpec(&spec);
  vcolorSetSpecRGB(&spec, 0, 0, 52428);
  vtextRulerSetObjectAttr(s, vnameInternLiteral("Color"), reinterpret_cast<vobject*>(vcolorInternSpec(&spec)));
  vcolorDestroySpec(&spec);
  return s;
}

int stylePicture(const char* out, int size) {
  vstylechsr* c = vstylechsrCreate();
  vtextStyle* s = sampleStyle(size);
  vstylechsrSetStyle(c, s);
  vwindowOpen(c);
  settle();
  int status = win::test::WritePng(out, win::test::WindowImage(c->native->hwnd)) ? 0 : 1;
  vinstanceDestroy(c);
  vtextStyleDestroy(s);
  return status;
}

int runStyleByHand() {
  vstylechsr* c = vstylechsrCreate();
  vtextStyle* s = sampleStyle();
  vstylechsrSetStyle(c, s);
  vstylechsrSetApply(c, [](vstylechsr*, vtextStyle* style) {
    std::printf("applied %d attributes:", style->attributes.count);
    for (int i = 0; i < style->attributes.count; ++i) std::printf(" %s", style->attributes.keys[i]->key);
    std::printf("\n");
    std::fflush(stdout);
    return 1;
  });
  vname answer = vconfirmProcess(c);
  std::printf("answer %s: %d attributes\n", answer ? answer : "none", c->style->attributes.count);
  vinstanceDestroy(c);
  vtextStyleDestroy(s);
  return 0;
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
  std::printf("answer %s: %s %s %g\n", answer ? answer : "none", c->family->name, c->face->name, c->size);
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
  if (what != "run" && what != "style-run") win::UseVirtualClock(true);
  if (what == "run") status = runByHand();
  else if (what == "style-run") status = runStyleByHand();
  else if (what == "style" && count > 2) status = stylePicture(args[2], count > 3 ? std::atoi(args[3]) : 16);
  else if (what == "families") status = families();
  else if (!what.empty()) status = picture(what.c_str());
  else std::fprintf(stderr, "usage: fontchsr_probe [-laf LOOK] OUT | style OUT [SIZE] | families | run | style-run\n");
  std::fflush(stdout);
  return status;
}

}  // namespace

int main(int argc, char** argv) { vsysMain(argc, argv, probeMain); }
