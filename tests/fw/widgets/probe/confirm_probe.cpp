// A confirm's button layout in a program of its own per look (the classes
// take the look they are built in), printed one line per shown button:
//   confirm_probe [-laf LOOK] row|narrow|column
//   TAG X Y WIDTH HEIGHT NATURAL-WIDTH ... then "band X Y W H" and "natural W H"
#include <cstdio>
#include <string>

#include "fw/core/sys.h"
#include "fw/data/pref.h"
#include "fw/widgets/choosers/confirm.h"
#include "fw/widgets/startup.h"

namespace {

int layout(const std::string& mode) {
  vconfirm* c = vconfirmCreate();
  vrect r{0, 0, 400, 200};
  if (mode == "row") {
    vconfirmShowApply(c, 1);
  } else {
    vconfirmShowHelp(c, 1);
    vconfirmShowDefaults(c, 1);
    if (mode == "narrow") r = {0, 0, 60, 100};
    else c->confirmFlags |= vconfirmCOLUMN, r = {0, 0, 400, 300};
  }
  vdialogClassOf(c)->arrange(c, &r);
  vdialogItemList* l = c->buttons->items;
  for (int i = 0; i < vdialogItemListCount(l); ++i) {
    vdialogItem* b = vdialogItemListAt(l, i);
    if (!(b->flags & vdialogItemSHOWN)) continue;
    int w = 0, h = 0;
    vdialogGetItemNaturalSize(b, &w, &h);
    std::printf("%s %d %d %d %d %d\n", b->tag, b->rect.x, b->rect.y, b->rect.width, b->rect.height, w);
  }
  const vrect& band = c->buttons->rect;
  std::printf("band %d %d %d %d\n", band.x, band.y, band.width, band.height);
  int w = 0, h = 0;
  vdialogClassOf(c)->getNaturalSize(c, &w, &h);
  std::printf("natural %d %d\nseparator %d\n", w, h, c->separator ? 1 : 0);
  vinstanceDestroy(c);
  return 0;
}

int probeMain(int argc, char** argv) {
  vwidgetsStartup(argc, argv);
  int count = 0;
  char** args = nullptr;
  vprefGetArgs(&count, &args);
  int status = 2;
  if (count > 1) status = layout(args[1]);
  else std::fprintf(stderr, "usage: confirm_probe [-laf LOOK] row|narrow|column\n");
  std::fflush(stdout);
  return status;
}

}  // namespace

int main(int argc, char** argv) { vsysMain(argc, argv, probeMain); }
