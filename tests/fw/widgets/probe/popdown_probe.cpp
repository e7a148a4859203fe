// Pop-down combo boxes in a program of their own per look:
//   popdown_probe [-laf LOOK] keys       Alt+Down/Alt+Up, arrows, Return, hiding
//                                        and disabling with the list down
//   popdown_probe [-laf LOOK] pointer    the arrow pressed, dragged into the
//                                        list and let go; a click; a press outside
//   popdown_probe [-laf LOOK] place      where the list drops near the screen's edges
//   popdown_probe [-laf LOOK] forms      stored, loaded, copied and cloned boxes
//   popdown_probe [-laf LOOK] shots OUT  a box with its list down, as a PNG
//   popdown_probe [-laf LOOK] typed [OUT] a box in a dialog driven by the platform's
//                                        keys while its list is down; an empty box's picture
//   popdown_probe [-laf LOOK] quit       the program ends with a box's list down
//   popdown_probe [-laf LOOK] live       an empty, a filled and a modifiable box in a
//                                        dialog on the display, to try by hand
#include <cstdio>
#include <string>
#include <utility>

#include "fw/core/mem.h"
#include "fw/core/sys.h"
#include "fw/data/pref.h"
#include "fw/data/vresource.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/window.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/controls/combobox_popdown.h"
#include "fw/widgets/dialog/dialog.h"
#include "fw/widgets/look/laf.h"
#include "fw/widgets/startup.h"
#include "platform/win/test.h"
#include "tests/fw/widgets/probe/probe_host.h"

namespace {

using probehost::listOf;
using probehost::settle;

constexpr const char* kFruit[] = {"Cherry", "apple", "Banana", "Date", "elderberry", "Fig", "Grape"};
constexpr int kWidth = 240, kHeight = 120;

std::string codes;
void record(vcomboboxStandard*, vevent*, int code) { codes += std::to_string(code); }

vcomboboxValue* valueOf(const char* text) {
  vcomboboxValue* v = vcomboboxValueCreate();
  vcomboboxValueSetText(v, vscribeCString(text));
  return v;
}

vcomboboxPopdown* addBox(vwindow* w, vrect r, bool modifiable) {
  vcomboboxPopdown* b = vcomboboxPopdownCreate();
  vcomboboxSetModifiable(b, modifiable);
  vdialogSetItemRect(b, &r);
  for (const char* f : kFruit) vcomboboxAppendValue(b, valueOf(f));
  vcomboboxSetNotify(b, record);
  vdialogItemListAppend(listOf(w), b);
  return b;
}

std::string entryText(vcomboboxStandard* c) {
  char* s = vtextitemGetString(c->entry);
  std::string out = s;
  vmemFree(s);
  return out;
}

// Whether the list is down, the entry's text, the selected row and the
// codes heard since the last report.
void report(const char* what, vcomboboxPopdown* b, int answer = -1) {
  std::printf("%s:", what);
  if (answer >= 0) std::printf(" answer %d", answer);
  std::printf(" open %d entry \"%s\" row %d codes %s\n", vcomboboxPopdownIsOpen(b), entryText(b).c_str(),
              vcomboboxGetSelectedIndex(b), codes.c_str());
  codes.clear();
}

vwindow* hostAt(int x, int y, int width, int height) {
  vwindow* w = probehost::host(width, height);
  w->rect.x = std::int16_t(x);
  w->rect.y = std::int16_t(y);
  return w;
}

void focusOn(vwindow* w, vdialogItem* item) {
  vdialogItemListClassOf(listOf(w))->activateFocus(listOf(w));
  vdialogItemListSetFocusItem(listOf(w), item);
  settle();
}

int key(vwindow* w, std::uint32_t symbol, std::uint32_t modifiers = 0, const char* binding = nullptr) {
  vevent* e = veventCreateKeyDown(w, 0, 0, 0, modifiers, symbol, 0);
  if (binding) veventSetBinding(e, vnameInternLiteral(binding));
  int r = probehost::hostClass()->handleKeyDown(w, e);
  veventDestroy(e);
  settle();
  return r;
}

enum : std::uint32_t { kReturn = 0xFC0D, kUp = 0xFC52, kDown = 0xFC54, kAlt = 1 };

int keys() {
  vwindow* w = hostAt(100, 400, kWidth, kHeight);
  vcomboboxPopdown* b = addBox(w, {10, 80, 150, 20}, false);
  probehost::show(w);
  focusOn(w, b);
  report("start", b);
  report("Alt+Up while closed", b, key(w, kUp, kAlt));
  report("Alt+Down", b, key(w, kDown, kAlt));
  report("Alt+Down while open", b, key(w, kDown, kAlt));
  report("Alt+Up", b, key(w, kUp, kAlt));
  report("Down", b, key(w, kDown, 0, "Down"));
  report("Down", b, key(w, kDown, 0, "Down"));
  key(w, kDown, kAlt);
  report("Return with the list down", b, key(w, kReturn, 0, "Confirm"));
  key(w, kDown, kAlt);
  codes.clear();
  vdialogHideItem(b);
  std::printf("hidden: open %d shown %d\n", vcomboboxPopdownIsOpen(b), (b->flags & vdialogItemSHOWN) != 0);
  vdialogShowItem(b);
  key(w, kDown, kAlt);
  codes.clear();
  vdialogDisableItem(b);
  std::printf("disabled: open %d enabled %d\n", vcomboboxPopdownIsOpen(b), (b->flags & vdialogItemENABLED) != 0);
  vdialogEnableItem(b);
  // A modifiable box takes the same keys through its entry.
  vcomboboxPopdown* m = addBox(w, {10, 40, 150, 20}, true);
  vdialogOpenItem(m);
  focusOn(w, m);
  codes.clear();
  report("modifiable Alt+Down", m, key(w, kDown, kAlt));
  report("modifiable Alt+Up", m, key(w, kUp, kAlt));
  probehost::finish(w);
  return 0;
}

// The centre of an item's rectangle on the screen (window y up, screen y down).
win::POINT screen(vwindow* w, int x, int y) {
  win::POINT p{x, w->rect.height - 1 - y};
  win::ClientToScreen(w->native->hwnd, &p);
  return p;
}
win::POINT centre(vwindow* w, const vrect& r) { return screen(w, r.x + r.width / 2, r.y + r.height / 2); }

int presses = 0;
vwindowClassRec* counterClass() {
  static vwindowClassRec* c = [] {
    auto* r = vclassSpawnOf<vwindowClassRec>(vwindowGetDefaultClass());
    vclassSetName(r, vscribeLiteral("probeCounter"));
    r->handleButtonDown = [](vwindow*, vevent*) { return ++presses, 1; };
    return r;
  }();
  return c;
}

int pointer() {
  vwindow* w = hostAt(100, 400, kWidth, kHeight);
  vcomboboxPopdown* b = addBox(w, {10, 80, 150, 20}, false);
  probehost::show(w);
  auto* other = static_cast<vwindow*>(vinstanceCreate(counterClass()));
  other->rect = {500, 100, 100, 100};
  vwindowOpen(other);
  settle();
  // Press on the arrow, drag to the third row, let go: one gesture.
  vrect arrow = b->button->rect;  // in the box's own coordinates
  arrow.x = std::int16_t(arrow.x + b->bounds.x);
  arrow.y = std::int16_t(arrow.y + b->bounds.y);
  win::test::MouseDown(centre(w, arrow));
  settle();
  report("pressed the arrow", b);
  vrect cell;
  vlistviewGetCellRect(b->choice, 2, 0, &cell);
  vwindow* d = b->dialog;
  win::test::MouseMove(centre(d, cell));
  settle();
  win::test::MouseUp(centre(d, cell));
  settle();
  report("dragged to row 2 and let go", b);
  // A click on the arrow leaves the list down; a second takes it up.
  win::test::Click(centre(w, arrow));
  settle();
  report("clicked the arrow", b);
  win::test::Click(centre(w, arrow));
  settle();
  report("clicked it again", b);
  // A press outside takes the list up and reaches the window there.
  win::test::Click(centre(w, arrow));
  settle();
  codes.clear();
  win::test::Click(centre(other, vrect{0, 0, 100, 100}));
  settle();
  report("pressed outside", b);
  std::printf("the window outside got %d press(es)\n", presses);
  vwindowClose(other);
  vwindowDestroy(other);
  probehost::finish(w);
  return 0;
}

// The list's rectangle against the box's, both in root coordinates.
void placement(const char* what, vwindow* w, vcomboboxPopdown* b) {
  vcomboboxPopdownOpen(b);
  settle();
  vrect box = b->rect;
  vwindowTranslateRect(w, vwindowGetRoot(), &box, &box);
  const vrect& l = b->dialog->rect;
  const char* where = l.y >= box.y + box.height ? "above" : l.y + l.height <= box.y ? "below" : "over";
  std::printf("%s: %s, right edges %s, at least as wide %d, rows %d\n", what, where,
              l.x + l.width == box.x + box.width ? "aligned" : "apart", l.width >= box.width,
              b->choice->visibleRows);
  vcomboboxPopdownClose(b, nullptr);
  settle();
}

int place() {
  vwindow* high = hostAt(100, 500, kWidth, kHeight);
  vcomboboxPopdown* a = addBox(high, {10, 80, 150, 20}, false);
  probehost::show(high);
  placement("high on the screen", high, a);
  vwindow* low = hostAt(400, 0, kWidth, kHeight);
  vcomboboxPopdown* b = addBox(low, {10, 10, 150, 20}, false);
  probehost::show(low);
  placement("near the bottom", low, b);
  probehost::finish(low);
  probehost::finish(high);
  return 0;
}

// Where the parts are: entry and arrow in the box, the list in the box's
// own dialog, which knows the box; the values and the current one.
void parts(const char* what, vcomboboxPopdown* b) {
  std::string values;
  bool owned = true;
  for (int i = 0; i < vcomboboxCount(b); ++i) {
    values += std::string(i ? "," : "") + vcomboboxValueGetText(vcomboboxAt(b, i));
    owned = owned && vcomboboxAt(b, i)->owner == b;
  }
  std::printf("%s: %s owned %d value \"%s\" row %d; entry %d button %d list %d dialog knows it %d flags 0x%X\n", what,
              values.c_str(), owned, vcomboboxValueGetText(vcomboboxGetValue(b)), vcomboboxGetSelectedIndex(b),
              b->entry->owner == b->items, b->button->owner == b->items,
              b->choice->owner == b->dialog->items && vdialogItemListCount(b->dialog->items) == 1,
              b->dialog->data == b, unsigned(b->comboFlags));
}

int forms() {
  vwindow* w = hostAt(100, 400, kWidth, kHeight);
  vcomboboxPopdown* b = addBox(w, {10, 80, 150, 20}, false);
  vcomboboxSelectIndex(b, 4);
  probehost::show(w);
  parts("box", b);
  vresource root = vresourceCreateMemory();
  vresource r = vresourceCreate(root, vnameInternLiteral("C"), vresDICTIONARY);
  vclassRec<vobjectClassRec>(b)->store(b, r);
  parts("after storing", b);
  auto* loaded = static_cast<vcomboboxPopdown*>(vobjectLoad(r));
  std::printf("loaded class %s\n", vclassIsSubclass(loaded->cls, vcomboboxPopdownGetDefaultClass()) ? "pop-down" : "other");
  parts("loaded", loaded);
  auto* clone = static_cast<vcomboboxPopdown*>(vobjectClone(loaded));
  parts("cloned", clone);
  vcomboboxPopdown* other = vcomboboxPopdownCreate();
  vclassRec<vobjectClassRec>(b)->copy(b, other);
  parts("copied", other);
  parts("source after", b);
  // The copy drops its own list and takes it up again.
  vdialogItemListAppend(listOf(w), other);
  vdialogOpenItem(other);
  vcomboboxPopdownOpen(other);
  settle();
  std::printf("the copy's list down %d\n", vcomboboxPopdownIsOpen(other));
  vinstanceDestroy(loaded);
  vinstanceDestroy(clone);
  vresourceCloseFile(root);
  probehost::finish(w);
  return 0;
}

// While down, the list is bound to the box's window (its native owner) and
// in the Win95 look casts a drop shadow; taken up, it is free again and the
// box keeps the focus.
int focusDrawings = 0;
int bound() {
  vwindow* w = hostAt(100, 400, kWidth, kHeight);
  // A box that counts the drawings of its focus.
  auto* spy = vclassSpawnOf<vcomboboxPopdownClassRec>(vcomboboxPopdownGetDefaultClass());
  spy->drawFocus = [](vdialogItem* i) {
    ++focusDrawings;
    vcomboboxPopdownGetDefaultClass()->drawFocus(i);
  };
  auto* b = static_cast<vcomboboxPopdown*>(vinstanceCreate(spy));
  vcomboboxSetModifiable(b, 0);
  vrect r{10, 80, 150, 20};
  vdialogSetItemRect(b, &r);
  for (const char* f : kFruit) vcomboboxAppendValue(b, valueOf(f));
  vcomboboxSetNotify(b, record);
  vdialogItemListAppend(listOf(w), b);
  vcomboboxPopdown* other = addBox(w, {10, 40, 150, 20}, false);
  probehost::show(w);
  focusOn(w, b);
  key(w, kDown, kAlt);
  vwindow* d = b->dialog;
  bool shadow = d->native && (win::GetClassLongPtrA(d->native->hwnd, win::GCL_STYLE) & win::CS_DROPSHADOW) != 0;
  std::printf("down: parent is the box's window %d, native owner %d, shadow %d\n", d->parent == w,
              d->native && win::GetWindow(d->native->hwnd, win::GW_OWNER) == w->native->hwnd, shadow);
  focusDrawings = 0;
  key(w, kUp, kAlt);
  std::printf("up: parent %d, focus item %d, its focus drawn %d time(s)\n", d->parent != nullptr,
              vdialogItemListGetFocusItem(listOf(w)) == b, focusDrawings);
  // Taken up while another item has the focus: nothing to show again.
  vcomboboxPopdownOpen(b);
  focusOn(w, other);
  focusDrawings = 0;
  vcomboboxPopdownClose(b, nullptr);
  std::printf("up with the focus elsewhere: its focus drawn %d time(s)\n", focusDrawings);
  // The class's attribute dictionary: the standard box's entries, its own
  // record with room for 64.
  vdict* own = vcomboboxPopdownGetDefaultClass()->attributes;
  vdict* standard = vcomboboxGetDefaultClass()->attributes;
  std::printf("attributes: own %d, entries as the standard box's %d, slots at least 64 %d, Value found %d\n",
              own != standard, vdictCount(own) == vdictCount(standard), own->slotCount >= 64,
              vdictHas(own, vnameInternLiteral("Value")) == vdictHas(standard, vnameInternLiteral("Value")));
  probehost::finish(w);
  return 0;
}

int shots(const char* path) {
  vwindow* w = hostAt(0, 768 - kHeight, kWidth, kHeight);
  vcomboboxPopdown* b = addBox(w, {10, 80, 150, 0}, false);
  vrect r = b->rect;
  int nw = 0, nh = 0;
  vdialogGetItemNaturalSize(b, &nw, &nh);
  r.height = std::int16_t(nh);
  r.y = std::int16_t(kHeight - 20 - nh);
  vdialogSetItemRect(b, &r);
  vcomboboxSelectIndex(b, 2);
  probehost::show(w);
  vcomboboxPopdownOpen(b);
  settle();
  win::test::Image screen = win::test::ScreenImage();
  // The host window and the list under it: the screen's top-left corner.
  win::test::Image out;
  out.width = kWidth;
  out.height = kHeight + 80;
  for (int y = 0; y < out.height; ++y)
    for (int x = 0; x < out.width; ++x) out.px.push_back(screen.px[std::size_t(y * screen.width + x)]);
  int status = win::test::WritePng(path, out) ? 0 : 1;
  vcomboboxPopdownClose(b, nullptr);
  probehost::finish(w);
  return status;
}

void press(win::UINT key, bool alt = false) {
  if (alt) win::test::KeyDown(win::VK_MENU);
  win::test::KeyDown(key, key == win::VK_UP || key == win::VK_DOWN);
  win::test::KeyUp(key, key == win::VK_UP || key == win::VK_DOWN);
  if (alt) win::test::KeyUp(win::VK_MENU);
  settle();
}

// What the entry of an empty read-only box holds and has selected, and
// whether it shows anything but its background inside its frame (its
// caret aside); the dialog's picture to the path, when one is given.
void emptyEntry(vdialog* d, vcomboboxPopdown* b, const char* path) {
  win::test::Image im = win::test::WindowImage(d->native->hwnd);
  if (path) win::test::WritePng(path, im);
  vrect r = b->entry->rect;
  vdialogItemListTransformRect(b->items, &r);
  int inked = 0;
  std::uint32_t ground = 0;
  bool first = true;
  // Inside the entry's frame: three pixels in from every edge.
  for (int y = r.y + 3; y < r.y + r.height - 3; ++y)
    for (int x = r.x + 3; x < r.x + r.width - 3; ++x) {
      std::uint32_t p = im.px[std::size_t(im.height - 1 - y) * std::size_t(im.width) + std::size_t(x)] & 0xFFFFFF;
      if (first) ground = p, first = false;
      inked += p != ground;
    }
  char* text = vtextitemGetString(b->entry);
  vtextSelection* sel = b->entry->selection;
  std::printf("empty entry holds %d character(s), selected %d, inked pixels %d\n", int(b->entry->text->length),
              sel ? int(sel->end - sel->start) : -1, inked);
  vmemFree(text);
}

int typed(const char* path) {
  vdialog* d = vdialogCreate();
  d->rect = {100, 400, kWidth, kHeight};
  vcomboboxPopdown* b = vcomboboxPopdownCreate();
  vrect r{10, 80, 150, 20};
  vdialogSetItemRect(b, &r);
  for (const char* f : kFruit) vcomboboxAppendValue(b, valueOf(f));
  vcomboboxSetNotify(b, record);
  vdialogAppendItem(d, b);
  vcomboboxPopdown* m = vcomboboxPopdownCreate();
  vcomboboxSetModifiable(m, 1);
  r.y = 40;
  vdialogSetItemRect(m, &r);
  for (const char* f : kFruit) vcomboboxAppendValue(m, valueOf(f));
  vcomboboxSetNotify(m, record);
  vdialogAppendItem(d, m);
  vdialogSetDefaultFocusItem(d, b);
  vwindowOpen(d);
  win::SetActiveWindow(d->native->hwnd);
  win::SetFocus(d->native->hwnd);
  settle();
  emptyEntry(d, b, path);
  vcomboboxSelectIndex(b, 2);
  codes.clear();
  press(win::VK_DOWN, true);
  report("Alt+Down", b);
  press(win::VK_DOWN);
  press(win::VK_DOWN);
  report("Down, Down", b);
  press(win::VK_UP);
  report("Up", b);
  press(win::VK_RETURN);
  report("Return", b);
  press(win::VK_DOWN, true);
  press(win::VK_DOWN);
  press(win::VK_ESCAPE);
  report("Alt+Down, Down, Escape", b);
  std::printf("dialog open %d\n", vwindowIsOpen(d));
  // Typing goes on into a modifiable box's entry while its list is down.
  vdialogItemListSetFocusItem(d->items, m);
  settle();
  press(win::VK_DOWN, true);
  codes.clear();
  win::test::Type("Kiwi");
  settle();
  report("typed Kiwi", m);
  press(win::VK_ESCAPE);
  report("Escape", m);
  // Emptied, then dropped, moved and abandoned: empty again, nothing drawn.
  vdialogItemListSetFocusItem(d->items, b);
  vcomboboxSelectIndex(b, -1);
  press(win::VK_DOWN, true);
  press(win::VK_DOWN);
  press(win::VK_ESCAPE);
  vwindowInvalAll(d, 0);
  settle();
  emptyEntry(d, b, path ? (std::string(path) + ".emptied.png").c_str() : nullptr);
  vwindowClose(d);
  vinstanceDestroy(d);
  settle();
  return 0;
}

// Ends with the list down (once before, dropped and taken up again): the
// program's end closes every window and must end cleanly.
int quitOpen(bool raisedOnce) {
  vdialog* d = vdialogCreate();
  d->rect = {100, 400, kWidth, kHeight};
  vcomboboxPopdown* b = vcomboboxPopdownCreate();
  vrect r{10, 80, 150, 20};
  vdialogSetItemRect(b, &r);
  for (const char* f : kFruit) vcomboboxAppendValue(b, valueOf(f));
  vdialogAppendItem(d, b);
  vwindowOpen(d);
  settle();
  if (raisedOnce) {
    vcomboboxPopdownOpen(b);
    settle();
    vcomboboxPopdownClose(b, nullptr);
    settle();
  }
  vcomboboxPopdownOpen(b);
  settle();
  std::printf("open %d\n", vcomboboxPopdownIsOpen(b));
  std::fflush(stdout);
  return 0;
}

int live() {
  vdialog* d = vdialogCreate();
  d->rect = {100, 100, kWidth, 160};
  vwindowSetTitleScribe(d, vscribeLiteral("Pop-down boxes"));
  const int ys[] = {120, 80, 40};
  for (int i = 0; i < 3; ++i) {
    vcomboboxPopdown* b = vcomboboxPopdownCreate();
    vcomboboxSetModifiable(b, i == 2);
    vrect r{10, std::int16_t(ys[i]), 150, 20};
    vdialogSetItemRect(b, &r);
    for (const char* f : kFruit) vcomboboxAppendValue(b, valueOf(f));
    if (i == 1) vcomboboxSelectIndex(b, 2);
    vdialogAppendItem(d, b);
    if (i == 0) vdialogSetDefaultFocusItem(d, b);
  }
  vwindowOpen(d);
  veventProcess();
  return 0;
}

int probeMain(int argc, char** argv) {
  vwidgetsStartup(argc, argv);
  int count = 0;
  char** args = nullptr;
  vprefGetArgs(&count, &args);
  std::string mode = count > 1 ? args[1] : "";
  int status = 2;
  if (mode == "keys") status = keys();
  else if (mode == "pointer") status = pointer();
  else if (mode == "place") status = place();
  else if (mode == "forms") status = forms();
  else if (mode == "shots" && count > 2) status = shots(args[2]);
  else if (mode == "bound") status = bound();
  else if (mode == "live") status = live();
  else if (mode == "quit") status = quitOpen(count > 2);
  else if (mode == "typed") status = typed(count > 2 ? args[2] : nullptr);
  else std::fprintf(stderr, "usage: popdown_probe [-laf LOOK] keys|pointer|place|forms|shots OUT\n");
  std::fflush(stdout);
  return status;
}

}  // namespace

int main(int argc, char** argv) { vsysMain(argc, argv, probeMain); }
