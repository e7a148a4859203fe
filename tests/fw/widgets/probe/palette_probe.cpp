// A palette and a list item in one dialog, per look in a process of its own:
//   palette_probe [-laf LOOK] shots OUT   the palette with a chosen, a disabled
//                                         and an oversized item beside a list
//                                         item with a selected row, as a PNG
//   palette_probe [-laf LOOK] input       both operated by pointer and keys
//                                         (typing in the list item, Return in
//                                         the palette) through the headless
//                                         back-end, one line per notification
#include <algorithm>
#include <cstdio>
#include <string>

#include "fw/core/command.h"
#include "fw/core/event.h"
#include "fw/core/sys.h"
#include "fw/data/pref.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/window.h"
#include "fw/widgets/dialog/dialog.h"
#include "fw/widgets/lists/listitem.h"
#include "fw/widgets/lists/palette.h"
#include "fw/widgets/startup.h"
#include "platform/win/test.h"

namespace {

constexpr int kWidth = 300, kHeight = 150;

// Native messages, then the framework events they made (updates among them).
void settle() {
  veventMSWDrainMessages();
  veventProcessPending(1, 0);
  veventMSWDrainMessages();
}

const char* const kTags[] = {"Palette_Go", "Palette_Step", "Palette_Stop", "Palette_Reset", "Palette_Trace",
                             "Palette_Big"};
const char* const kWords[] = {"alpha", "beta", "gamma", "delta", "epsilon", "zeta", "eta"};

// A picture per item, 16 x 16 (the last 26 x 26, wider than its cell):
// a coloured shape on white.
vimage* picture(int k) {
  static const std::uint32_t kColours[] = {0x00A000, 0x0060E0, 0xD00000, 0xC08000, 0x8000C0, 0x008080};
  int n = k == 5 ? 26 : 16;
  vimage* image = vimageCreateSized(n, n, 0x1000000u);
  vpixmapSetDepth(image, 24);
  vimageSetNoPalette(image, 1);
  vpixmapCursor c;
  vpixmapInitCursor(&c, image);
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x) {
      bool ink = false;
      int cx = x - n / 2, cy = y - n / 2;
      switch (k) {
        case 0: ink = x >= 3 && x - 3 <= 2 * std::min(y, n - 1 - y); break;  // a triangle pointing right
        case 1: ink = (x >= 3 && x <= 5) || (x >= 8 && x - 8 <= std::min(y, n - 1 - y)); break;
        case 2: ink = x >= 3 && x < n - 3 && y >= 3 && y < n - 3; break;
        case 3: ink = cx * cx + cy * cy <= 36 && cx * cx + cy * cy >= 16; break;
        case 4: ink = x == y || x == n - 1 - y; break;
        default: ink = cx * cx + cy * cy <= 144; break;
      }
      vpixmapCursorSetAt(&c, x, y, ink ? kColours[k] : 0xFFFFFFu);
    }
  vpixmapFinishCursor(&c);
  vpixmapMarkChanged(image);
  return image;
}

vpalette* palette(vdialog* d, vpaletteItemAction action) {
  vpalette* p = vpaletteCreate();
  for (int k = 0; k < 6; ++k) {
    vpaletteItem* i = vpaletteItemCreate();
    vpaletteItemSetTag(i, vnameInternLiteral(kTags[k]));
    vpaletteItemSetImage(i, picture(k), 0);
    vpaletteItemSetAction(i, action);
    vpaletteAppendItem(p, i);
  }
  vpaletteSetColumns(p, 3);
  vrect r{10, 70, 90, 60};
  vdialogSetItemRect(p, &r);
  vdialogAppendItem(d, p);
  return p;
}

vlistitem* listItem(vdialog* d) {
  vlistitem* l = vlistitemCreate();
  vliststr* strings = vlistitemGetList(l);
  vlistSetColumnCount(strings, 1);
  for (int k = 0; k < 7; ++k) vliststrSetCellScribed(strings, k, 0, vscribeLiteral(kWords[k]));
  vrect r{120, 20, 160, 110};
  vdialogSetItemRect(l, &r);
  vdialogAppendItem(d, l);
  return l;
}

vdialog* dialog() {
  vdialog* d = vdialogCreate();
  d->rect = {40, 40, kWidth, kHeight};
  vwindowSetTitleScribe(d, vscribeLiteral("Palette"));
  return d;
}

void open(vdialog* d) {
  vwindowOpen(d);
  win::SetActiveWindow(d->native->hwnd);
  win::SetFocus(d->native->hwnd);
  settle();
}

void finish(vdialog* d) {
  vwindowClose(d);
  vinstanceDestroy(d);
  settle();
}

int shots(const char* path) {
  vdialog* d = dialog();
  vpalette* p = palette(d, nullptr);
  vlistitem* l = listItem(d);
  open(d);
  vpaletteItemSetDisabled(vpaletteGetItemAt(p, 3), 1);
  vpaletteSelectItem(p, vpaletteGetItemAt(p, 1));
  vlistSelectRange(l->list, l->selection, 2, 0, 1, 1);
  vwindowInvalAll(d, 0);
  settle();
  bool ok = win::test::WindowPng(d->native->hwnd, path);
  if (!vpaletteGetSelectedItem(p)) std::printf("nothing chosen\n");
  finish(d);
  return ok ? 0 : 1;
}

// ---- Input through the headless back-end.
vdialog* inputDialog = nullptr;
win::POINT screen(int x, int y) {
  win::POINT pt{x, kHeight - 1 - y};
  win::ClientToScreen(inputDialog->native->hwnd, &pt);
  return pt;
}
void click(int x, int y) { win::test::Click(screen(x, y)), settle(); }
void type(const char* text) { win::test::Type(text), settle(); }
void key(win::UINT k) {
  win::test::KeyDown(k);
  settle();
  win::test::KeyUp(k);
  settle();
}

void acted(vpalette*, vpaletteItem* i) { std::printf("action %s\n", i->tag); }
int issued(vcommand*, vdict* context) {
  std::printf("command %s\n", static_cast<vname>(vdictGet(context, vname_Tag)));
  return 1;
}
vlistitem* theList = nullptr;
void paletteNotified(vinstance*, int code) { std::printf("palette %d\n", code); }
void listNotified(vinstance*, int code) { std::printf("list %d row %d\n", code, int(vlistitemGetSelectedRow(theList))); }

// Cell (row, column) of the palette, window coordinates: cells of 28 from
// the palette's top left (the cell border is the list view's and 3 more).
int cellX(vpalette* p, int column) { return p->rect.x + 14 + column * (p->cellWidth + 2 * vpaletteClassOf(p)->cellBorder); }
int cellY(vpalette* p, int row) {
  return p->rect.y + p->rect.height - 14 - row * (p->cellHeight + 2 * vpaletteClassOf(p)->cellBorder);
}

int input() {
  win::UseVirtualClock(true);
  vdict* commands = vdictCreate(vdictHashName);
  for (const char* tag : kTags) {
    auto* command = static_cast<vcommandFunction*>(vinstanceCreate(vcommandGetDefaultFunctionClass()));
    command->issue = issued;
    vdictStore(commands, vnameInternLiteral(tag), command);
  }
  vcommandSpace* space = vcommandSpaceCreate();
  vcommandSpaceAddDict(space, vname_Command, commands);
  vapplicationSetSpaceOwned(vapplicationGetCurrent(), space);

  vdialog* d = dialog();
  inputDialog = d;
  vpalette* p = palette(d, acted);
  vlistviewSetNotify(p, paletteNotified);
  theList = listItem(d);
  vlistviewSetNotify(theList, listNotified);
  theList->options |= vlistviewTYPE_AHEAD;
  open(d);

  std::printf("-- go\n");
  click(cellX(p, 0), cellY(p, 0));
  std::printf("-- the device runs: all but stop disabled, step and stop clicked\n");
  for (int k = 0; k < vpaletteGetItemCount(p); ++k) vpaletteItemSetDisabled(vpaletteGetItemAt(p, k), 1);
  vpaletteItemSetDisabled(vpaletteFindItem(p, vnameInternLiteral("Palette_Stop")), 0);
  click(cellX(p, 1), cellY(p, 0));
  std::printf("chosen %s\n", vpaletteGetSelectedItem(p) ? vpaletteGetSelectedItem(p)->tag : "none");
  click(cellX(p, 2), cellY(p, 0));
  std::printf("-- stopped: all enabled, reset clicked\n");
  for (int k = 0; k < vpaletteGetItemCount(p); ++k) vpaletteItemSetDisabled(vpaletteGetItemAt(p, k), 0);
  click(cellX(p, 0), cellY(p, 1));
  std::printf("-- list: the fourth row clicked, then keys typed\n");
  vrect row;
  vlistviewGetCellRect(theList, 3, 0, &row);
  click(row.x + 10, row.y + row.height / 2);
  vlistviewSetNotify(theList, nullptr);
  vdialogSetFocusItem(d, theList);
  settle();
  for (const char* keys : {"g", "a", "", "z", "e"}) {
    if (*keys) type(keys);
    else win::test::AdvanceClock(1100), settle();  // the typed prefix forgotten
    std::printf("%s: row %d\n", *keys ? keys : "pause", int(vlistitemGetSelectedRow(theList)));
  }
  std::printf("-- palette: Return pressed\n");
  vdialogSetFocusItem(d, p);
  settle();
  key(win::VK_RETURN);
  finish(d);
  win::UseVirtualClock(false);
  return 0;
}

int probeMain(int argc, char** argv) {
  vwidgetsStartup(argc, argv);
  int count = 0;
  char** args = nullptr;
  vprefGetArgs(&count, &args);
  std::string mode = count > 1 ? args[1] : "";
  int status = 2;
  if (mode == "shots" && count > 2) status = shots(args[2]);
  else if (mode == "input") status = input();
  else std::fprintf(stderr, "usage: palette_probe [-laf LOOK] shots OUT|input\n");
  std::fflush(stdout);
  _vdrawShutdown();
  return status;
}

}  // namespace

int main(int argc, char** argv) { vsysMain(argc, argv, probeMain); }
