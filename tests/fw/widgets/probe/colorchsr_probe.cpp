// The colour chooser in a process of its own (the classes take the look
// they are built in, and the named colours are read once per process):
//   colorchsr_probe [-laf LOOK] OUT   the chooser in the look, HLS, a blue
//                                     colour: a picture
//   colorchsr_probe names             named colours from the preferences:
//                                     the rows by name and by hue, then the
//                                     colour a double click on row 1 takes
//   colorchsr_probe run               a modal run (by hand, on X11): prints
//                                     each colour applied and the answer
//   colorchsr_probe users [I R G B]   the user colours (and how many named
//                                     colours) a new chooser shows; given a
//                                     colour, first selects cell I with the
//                                     strip's keys and adds the colour there
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fw/core/event.h"
#include "fw/core/sys.h"
#include "fw/data/pref.h"
#include "fw/data/vresource.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/msw.h"
#include "fw/widgets/choosers/colorchsr.h"
#include "fw/widgets/lists/listview.h"
#include "fw/widgets/startup.h"
#include "platform/win/test.h"

namespace {

void settle() {
  veventMSWDrainMessages();
  veventProcessPending(1, 0);
  veventMSWDrainMessages();
}

void setColor(vcolorchsr* c, unsigned r, unsigned g, unsigned b) {
  vcolorSpec s;
  vcolorInitSpec(&s);
  vcolorSetSpecRGB(&s, r, g, b);
  vcolor* color = vcolorInternSpec(&s);
  vcolorchsrSetColor(c, color);
  vcolorRelease(color);
  vcolorDestroySpec(&s);
}

int picture(const char* out) {
  vcolorchsr* c = vcolorchsrCreate();
  setColor(c, 13107, 39321, 52428);
  vwindowOpen(c);
  settle();
  int status = win::test::WritePng(out, win::test::WindowImage(c->native->hwnd)) ? 0 : 1;
  vinstanceDestroy(c);
  return status;
}

void printRows(const char* order, vcolorchsr* c) {
  std::printf("%s", order);
  for (const std::string& name : _vcolorchsrNameRows(c)) std::printf(" %s", name.c_str());
  std::printf("\n");
}

int names() {
  struct Named {
    const char* name;
    unsigned r, g, b;
  } const colors[] = {{"teal", 0, 32768, 32768}, {"Maroon", 32768, 0, 0},   {"navy", 0, 0, 32768},
                      {"red", 65535, 0, 0},      {"Gold", 65535, 55255, 0}, {"blue", 0, 0, 65535}};
  vresource app = vapplicationGetResources(vapplicationGetCurrent());
  vresource dict = vresourceMake(app, vnameInternLiteral("namedcolordict"));
  for (const Named& n : colors) {
    vcolorSpec s;
    vcolorInitSpec(&s);
    vcolorSetSpecRGB(&s, n.r, n.g, n.b);
    vcolorStoreSpec(&s, vresourceMake(dict, vnameInternLiteral(n.name)));
    vcolorDestroySpec(&s);
  }
  vcolorchsr* c = vcolorchsrCreate();
  printRows("name", c);
  vcolorchsrSetSortOrder(c, vcolorchsrSORT_HUE);
  printRows("hue", c);
  vcolorchsrSetSortOrder(c, vcolorchsrSORT_NAME);
  vcolorchsrSetModel(c, vcolorchsrRGB);
  vwindowOpen(c);
  vobjectAttributedOf(c)->issueSelector(c, 11, nullptr);
  settle();
  auto* view = reinterpret_cast<vlistview*>(c->nameList);
  vrect r{};
  vlistviewGetCellRect(view, 1, 0, &r);
  vdialogItemListTransformRect(view->owner, &r);
  win::SetActiveWindow(c->native->hwnd);
  win::POINT p{r.x + r.width / 2, c->rect.height - 1 - (r.y + r.height / 2)};
  win::ClientToScreen(c->native->hwnd, &p);
  win::test::Click(p);
  settle();
  unsigned v[3];
  vcolorGetSpecRGB(&c->working, &v[0], &v[1], &v[2]);
  std::printf("single %u %u %u\n", v[0], v[1], v[2]);
  win::test::Click(p);
  settle();
  vcolorGetSpecRGB(&c->working, &v[0], &v[1], &v[2]);
  std::printf("double %u %u %u\n", v[0], v[1], v[2]);
  if (const char* out = std::getenv("COLORCHSR_NAMES_PNG"))
    win::test::WritePng(out, win::test::WindowImage(c->native->hwnd));
  vinstanceDestroy(c);
  return 0;
}

int users(int count, char** args) {
  vcolorchsr* c = vcolorchsrCreate();
  std::printf("names %zu\n", _vcolorchsrNameRows(c).size());
  if (count >= 6) {
    for (int i = std::atoi(args[2]); i > 0; --i) vobjectAttributedOf(c->savedColors)->issueSelector(c->savedColors, 11, nullptr);
    vcolorchsrSetModel(c, vcolorchsrRGB);  // the colour as given, not through HLS
    setColor(c, unsigned(std::atoi(args[3])), unsigned(std::atoi(args[4])), unsigned(std::atoi(args[5])));
    vobjectAttributedOf(c)->issueSelector(c, 24, nullptr);
  }
  std::printf("users");
  for (int i = 0; i < vcolorchsrUSER_COLORS; ++i) {
    unsigned v[3];
    vcolorGetSpecRGB(vcolorchsrGetUserColor(c, i), &v[0], &v[1], &v[2]);
    std::printf(" %u,%u,%u", v[0], v[1], v[2]);
  }
  std::printf("\n");
  vinstanceDestroy(c);
  return 0;
}

int runByHand() {
  vcolorchsr* c = vcolorchsrCreate();
  vcolorchsrSetApply(c, [](vcolorchsr*, vcolor* color) {
    unsigned r = 0, g = 0, b = 0;
    vcolorGetSpecRGB(&color->desc, &r, &g, &b);
    std::printf("applied %u %u %u\n", r, g, b);
    std::fflush(stdout);
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
  else if (what == "names") status = names();
  else if (what == "users") status = users(count, args);
  else if (!what.empty()) status = picture(what.c_str());
  else std::fprintf(stderr, "usage: colorchsr_probe [-laf LOOK] OUT | names | run | users [I R G B]\n");
  std::fflush(stdout);
  return status;
}

}  // namespace

int main(int argc, char** argv) { vsysMain(argc, argv, probeMain); }
