// A framework program of its own, started the way a program starts the
// framework (vsysMain, then vwidgetsStartup), so that each look runs in a fresh process:
// the look's colours and caches are process-wide.
//   look_probe [-laf LOOK] hooks          which start-up rows and hooks are in force
//   look_probe [-laf LOOK] sampler OUT    the look's drawing operations, as a PNG
//   look_probe [-laf LOOK] items OUT      label, line and box items in a window, as a PNG
//   look_probe [-laf LOOK] images OUT     the 148 look images and the 256 glyphs, as a PNG
//   look_probe [-laf LOOK] focus          a focus rectangle drawn once and twice: the
//                                         dotted pixels of its edge, whether twice is none
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "fw/core/class.h"
#include "fw/core/event.h"
#include "fw/core/sys.h"
#include "fw/data/pref.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/graphics/pixmap.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/window.h"
#include "fw/widgets/dialog/itemlist.h"
#include "fw/widgets/look/laf.h"
#include "fw/widgets/startup.h"
#include "platform/win/test.h"

namespace {

vcolor* rgb(unsigned v) {
  vcolorSpec s;
  vcolorInitSpec(&s);
  vcolorSetSpecRGB(&s, (v >> 16 & 0xFF) * 257u, (v >> 8 & 0xFF) * 257u, (v & 0xFF) * 257u);
  return vcolorInternSpec(&s);
}

vwindow* openWindow(int width, int height) {
  vwindow* w = vwindowCreate();
  w->rect = {20, 20, std::int16_t(width), std::int16_t(height)};
  vwindowOpen(w);
  veventMSWDrainMessages();
  return w;
}

bool shoot(vwindow* w, const char* path) {
  veventMSWDrainMessages();
  return win::test::WritePng(path, win::test::WindowImage(w->native->hwnd));
}


// Every drawing operation of the look once, on a light grey ground.
void sampler(vwindow* w) {
  vcolor *light = rgb(0xFFFFFF), *dark = rgb(0x808080), *fill = rgb(0xC0C0C0), *black = rgb(0);
  vcolor* blue = rgb(0x0000C0);
  vdrawGSave();
  vwindowBindDrawTarget(w);
  vdrawSetColor(fill);
  vdrawRectFill(0, 0, 240, 160);
  vdrawSetColor(black);
  vdrawSetLineWidth(1);
  vdrawSetFont(vapplicationGetFont(vapplicationGetCurrent()));
  // Arrows: left, right, up, down.
  vlafDrawHorizArrow(8, 145, 10, 6, blue, light, dark);
  vlafDrawHorizArrow(40, 145, -10, 6, blue, light, dark);
  vlafDrawVertArrow(60, 150, -10, 6, blue, light, dark);
  vlafDrawVertArrow(80, 140, 10, 6, blue, light, dark);
  // Diamonds and check frames, filled and empty.
  vrect d1{96, 134, 16, 16}, d2{118, 134, 16, 16};
  vlafDrawDiamond(&d1, blue, light, dark);
  vlafDrawDiamond(&d2, nullptr, dark, light);
  vrect c1{142, 134, 14, 14}, c2{162, 134, 14, 14};
  vlafDrawCheckFrame(&c1, light, dark, light);
  vlafDrawCheckFrame(&c2, nullptr, light, dark);
  // Labels: with a mnemonic, inactive in the look's style.
  vrect l1{8, 108, 100, 18}, l2{116, 108, 116, 18};
  vdrawSetColor(black);
  vlafDrawLabelText("Mnemonic", 'n', &l1, 2);
  vcolorScheme colors{};
  vapplicationDetermineColorMask(vapplicationGetCurrent(), 0x56, &colors);
  vdrawSetColor(colors.entries[1]);  // the disabled foreground, as an item draws it
  vlafDrawInactiveLabel("Inactive", 'I', &l2, 2, &colors);
  // The stippled rectangle and a focus rectangle.
  vrect pattern{8, 72, 60, 28};
  vdrawGSave();
  vlafClipPatternRect(&pattern);
  vdrawSetColor(black);
  vdrawRectFill(pattern.x, pattern.y, pattern.width, pattern.height);
  vdrawGRestore();
  vrect focus{76, 72, 60, 28};
  vlafDrawFocusRect(&focus);
  // Key drawing: the look's drawer.
  vdrawSetColor(black);
  vdrawPathMoveTo(144, 80);
  vdrawKey(int(std::uint32_t('S') << 16 | 6));
  // Oblong buttons: plain, pressed with a menu mark, taller than 20.
  vrect b1{8, 36, 70, 20}, b2{86, 36, 80, 20}, b3{8, 6, 90, 26};
  vlafDrawOblongButton(&b1, 0, light, dark, fill, blue);
  vlafDrawOblongButton(&b2, 1 | 2, light, dark, fill, blue);
  vlafDrawOblongButton(&b3, 1, black, dark, light, blue);
  vdrawGRestore();
}

// A 2-colour 8 x 4 image: a diagonal band.
vimage* diagonalMask() {
  vimage* image = vimageCreateSized(8, 4, 2);
  vpixmapCursor c;
  vpixmapInitCursor(&c, image);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 8; ++x) vpixmapCursorSetAt(&c, x, y, (x / 2 == y) ? 1 : 0);
  vpixmapFinishCursor(&c);
  vpixmapMarkChanged(image);
  return image;
}

vdialogItem* item(vdialogItemClassRec* cls, const char* title, int mnemonic, vrect r) {
  vdialogItem* i = vdialogItemCreate(cls);
  if (title) vdialogSetItemTitle(i, vscribeCString(title));
  if (mnemonic) vdialogSetItemMnemonic(i, mnemonic);
  vdialogSetItemRect(i, &r);
  return i;
}

// The static items in a window that owns their list.
void items(vwindow* w) {
  vdialogItemList* list = vdialogItemListCreate();
  vdialogItemListSetOwner(list, w, &vdialogItemListWindowOwner);
  vdialogItemClassRec *label = vdialogLabelItemGetDefaultClass(), *line = vdialogLineItemGetDefaultClass(),
                      *box = vdialogBoxItemGetDefaultClass();
  vdialogItemListAppend(list, item(label, "Label", 'L', {10, 130, 80, 18}));
  vdialogItem* off = item(label, "Disabled", 'D', {100, 130, 100, 18});
  vdialogDisableItem(off);
  vdialogItemListAppend(list, off);
  vdialogItemListAppend(list, item(line, nullptr, 0, {10, 118, 200, 6}));
  vdialogItemListAppend(list, item(line, nullptr, 0, {214, 10, 6, 140}));
  vdialogItemListAppend(list, item(box, "Box", 'B', {10, 60, 95, 52}));
  vdialogItem* offBox = item(box, "Off", 'O', {112, 60, 95, 52});
  vdialogDisableItem(offBox);
  vdialogItemListAppend(list, offBox);
  vdialogItemListAppend(list, item(box, nullptr, 0, {10, 10, 95, 42}));
  // An image box without a title draws no background: the image as a mask,
  // scaled into the frame.
  vdialogItem* pictured = item(box, nullptr, 0, {112, 10, 95, 42});
  vdialogSetItemImageOwned(pictured, diagonalMask());
  vdialogSetItemImageMask(pictured, 1);
  vdialogItemListAppend(list, pictured);
  vdialogItemListClassOf(list)->open(list);
  vdrawGSave();
  vdialogItemListSetDrawingState(list);
  vdialogItemListDraw(list);
  vdrawGRestore();
  vdialogItemListClassOf(list)->close(list);
  vinstanceDestroy(list);
}

// Every look image in a grid of 44 x 30 cells (10 a row), then every
// glyph in 22 x 22 cells (16 a row), each at its cell's bottom left.
constexpr int kImagesWidth = 440, kImagesHeight = 15 * 30 + 16 * 22 + 8;
void images(vwindow* w) {
  vdrawGSave();
  vwindowBindDrawTarget(w);
  vdrawSetColor(rgb(0xE0E0E0));
  vdrawRectFill(0, 0, kImagesWidth, kImagesHeight);
  vdrawSetColor(rgb(0));
  for (int i = 0; i < 148; ++i) {
    vdrawPathMoveTo(2 + (i % 10) * 44, kImagesHeight - 30 - (i / 10) * 30);
    // Masks in the current colour; the images of more colours (the Win95
    // slider thumbs) as they are.
    vimage* image = vlafGetImage(i);
    if (image && image->numColors > 2) vdrawImage(image);
    else vlafDrawImage(i);
  }
  for (int g = 0; g < 256; ++g) {
    vdrawPathMoveTo(2 + (g % 16) * 22, kImagesHeight - 15 * 30 - 22 - (g / 16) * 22);
    vlafDrawGlyph(g, 7);
  }
  vdrawGRestore();
}

// The drawing driver asks the look, through the window layer's hook
// record, whether a frame is a focus rectangle.
void focus(vwindow* w) {
  constexpr int H = 160;
  auto paint = [&](bool clear) {
    vdrawGSave();
    vwindowBindDrawTarget(w);
    if (clear) {
      vdrawSetColor(rgb(0xFFFFFF));
      vdrawRectFill(0, 0, 240, H);
    }
    vdrawSetColor(rgb(0));
    vrect r{4, 4, 20, 12};
    if (!clear) vlafDrawFocusRect(&r);
    vdrawGRestore();
  };
  paint(true);
  win::test::Image before = win::test::WindowImage(w->native->hwnd);
  paint(false);
  int dotted = 0;
  for (int x = 4; x < 24; ++x) dotted += win::test::Pixel(w->native->hwnd, x, H - 1 - 4) == 0;
  std::printf("edge %d of 20\n", dotted);
  std::printf("focus mode after the call: %d\n", vlafInFocusMode());
  paint(false);
  std::printf("twice is none: %s\n", win::test::WindowImage(w->native->hwnd).px == before.px ? "yes" : "no");
}

}  // namespace

int probeMain(int argc, char** argv) {
  vwidgetsStartup(argc, argv);
  int count = 0;
  char** given = nullptr;
  vprefGetArgs(&count, &given);
  // Copied: a later reload of the preferences makes the vector again.
  std::vector<std::string> args(given, given + count);
  std::string mode = count > 1 ? args[1] : "";
  int status = 0;
  if (mode == "hooks") {
    const vwindowHooks& in = vwindowGetHooks();
    vwindowHooks ours = vwidgetsMakeWindowHooks(), stand = vwindowDefaultHooks();
    std::printf("look %s\n", in.lookColor == ours.lookColor && in.lookColor != stand.lookColor ? "widgets" : "stand-in");
    std::printf("text %s\n", in.textLength == ours.textLength && in.textLength != stand.textLength ? "text" : "stand-in");
    int n = 0, filled = 0;
    const vmoduleStartupRow* rows = vmoduleGetStartupTable(&n);
    for (int i = 0; i < n; ++i) filled += rows[i].fn != nullptr;
    std::printf("rows %d\n", filled);
    for (const char* name : {"vcursor", "vclipboard", "vtext", "vservice", "vdasserv", "vmenu", "vwindow"})
      std::printf("%s %s\n", name, vclassFindByName(vscribeCString(name)) ? "built" : "missing");
    const char* laf = vprefGetString(vprefGetDefaultDict(), vscribeLiteral("laf"));
    std::printf("laf %s (%s)\n", vlafGetCurrent()->name, laf ? laf : "-");
  } else if (mode == "focus") {
    vwindow* w = openWindow(240, 160);
    focus(w);
    vwindowClose(w);
    vwindowDestroy(w);
  } else if (mode == "images" && count > 2) {
    vwindow* w = openWindow(kImagesWidth, kImagesHeight);
    images(w);
    status = shoot(w, args[2].c_str()) ? 0 : 1;
    vwindowClose(w);
    vwindowDestroy(w);
  } else if ((mode == "sampler" || mode == "items") && count > 2) {
    vwindow* w = openWindow(240, 160);
    if (mode == "sampler") sampler(w);
    else items(w);
    status = shoot(w, args[2].c_str()) ? 0 : 1;
    vwindowClose(w);
    vwindowDestroy(w);
  } else {
    std::fprintf(stderr, "usage: look_probe [-laf LOOK] hooks|focus|sampler OUT|items OUT|images OUT\n");
    status = 2;
  }
  std::fflush(stdout);
  return status;
}

int main(int argc, char** argv) { vsysMain(argc, argv, probeMain); }
