// Spinners in a program of their own per look (the part records follow the
// look the classes were built in):
//   spinner_probe [-laf LOOK] steps      steps, wrap, typed text, sorting, stored
//                                        forms, one line per observation
//   spinner_probe [-laf LOOK] held       an arrow held through the headless back-end
//                                        on the virtual clock: the times it stepped
//   spinner_probe [-laf LOOK] zones      the part under points of one spinner
//   spinner_probe [-laf LOOK] dialog     a spinner and a string combo driven by
//                                        injected pointer and keys
//   spinner_probe [-laf LOOK] shots OUT  numeric and text spinners, pressed, focused,
//                                        disabled, as a PNG
#include <cstdio>
#include <string>
#include <utility>

#include "fw/core/ex.h"
#include "fw/core/mem.h"
#include "fw/core/sys.h"
#include "fw/data/pref.h"
#include "fw/data/vresource.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/window.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/controls/combo.h"
#include "fw/widgets/controls/spinner.h"
#include "fw/widgets/dialog/dialog.h"
#include "fw/widgets/look/laf.h"
#include "fw/widgets/startup.h"
#include "platform/win/test.h"
#include "tests/fw/widgets/probe/probe_host.h"

namespace {

using probehost::listOf;
using probehost::settle;

constexpr int kWidth = 280, kHeight = 160;
int notified = 0;
void count(vdialogItem*, vevent*) { ++notified; }

std::string fieldText(vspinner* s) {
  char* t = vtextitemGetString(s->field);
  std::string out = t;
  vmemFree(t);
  return out;
}

vspinner* numeric(std::int32_t min, std::int32_t max, int increment, std::int32_t value) {
  vspinner* s = vspinnerNumericCreate();
  vcontrolSetMax(s, max);
  vcontrolSetMin(s, min);
  vcontrolSetIncrement(s, increment);
  vcontrolSetValue(s, value);
  vdialogSetItemNotify(s, count);
  return s;
}
vspinner* text(std::initializer_list<const char*> strings) {
  vspinner* s = vspinnerTextCreate();
  for (const char* t : strings) vspinnerAppendText(s, vscribeCString(t));
  vdialogSetItemNotify(s, count);
  return s;
}

// Selectors as the key bindings issue them, with or without an event.
int issue(vspinner* s, int selector, vevent* e = nullptr) {
  vdict context;
  vdictInit(&context, vdictHashName);
  if (e) vdictStore(&context, vname_Event, e);
  int answer = vobjectAttributedOf(s)->issueSelector(s, selector, &context);
  vdictFinish(&context);
  return answer;
}
void up(vspinner* s) { issue(s, 12); }
void down(vspinner* s) { issue(s, 13); }
void report(const char* what, vspinner* s) {
  std::printf("%s: %d \"%s\" notified %d\n", what, int(s->value), fieldText(s).c_str(), notified);
  notified = 0;
}

// The middle of a part's zone, in the owner's coordinates.
std::pair<int, int> middleOf(vspinner* s, int part) {
  const vrect& r = s->rect;
  long sx = 0, sy = 0, n = 0;
  for (int y = r.y; y < r.y + r.height; ++y)
    for (int x = r.x; x < r.x + r.width; ++x) {
      vevent* e = veventCreateButtonDown(nullptr, x, y, 0, 1, 1, 0);
      if (vspinnerGetParts()[part].hitTest(s, e)) sx += x, sy += y, ++n;
      veventDestroy(e);
    }
  return n ? std::pair<int, int>{int(sx / n), int(sy / n)} : std::pair<int, int>{-1, -1};
}

vevent* at(std::int64_t ms) {
  vevent* e = veventCreateButtonDown(nullptr, 0, 0, 0, 1, 1, 0);
  e->seconds = ms / 1000;
  e->nanoseconds = std::uint32_t(ms % 1000 * 1'000'000);
  return e;
}

void stored(vspinner* s) {
  vresource root = vresourceCreateMemory();
  vresource r = vresourceCreate(root, vnameInternLiteral("S"), vresDICTIONARY);
  vclassRec<vobjectClassRec>(s)->store(s, r);
  std::int32_t flags = -1;
  vresourceTestGetInteger(r, vnameInternLiteral("vspinnerFlags"), &flags);
  vresource texts;
  bool hasTexts = vresourceTestGet(r, vnameInternLiteral("vspinnerText"), &texts);
  std::printf("stored flags %d texts %d\n", int(flags), hasTexts ? int(vresourceCount(texts)) : -1);
  vresourceCloseFile(root);
}

int steps() {
  vspinner* s = numeric(0, 10, 3, 9);
  up(s);
  report("9 up", s);
  up(s);
  report("10 up", s);
  vspinnerSetWrap(s, 1);
  up(s);
  report("wrapped up", s);
  down(s);
  report("wrapped down", s);
  vcontrolSetValue(s, 9);
  notified = 0;
  up(s);
  report("9 up with wrap", s);

  vspinner* t = text({"one", "two", "three"});
  std::printf("text range %d..%d view %d\n", int(t->min), int(t->max), int(t->view));
  up(t), up(t), up(t);
  report("three ups", t);
  vspinnerSetWrap(t, 1);
  up(t);
  report("wrapped up", t);
  down(t);
  report("wrapped down", t);

  // Typed text is taken over before a step; letters are not a number.
  vspinner* typed = numeric(0, 100, 1, 7);
  vtextitemSetTextChars(typed->field, "42");
  up(typed);
  report("typed 42, up", typed);
  up(typed);
  report("up again", typed);
  vcontrolSetValue(typed, 7);
  vcontrolSetMax(typed, 10);
  notified = 0;
  vtextitemSetTextChars(typed->field, "42");
  up(typed);
  report("typed 42 with a maximum of 10, up", typed);
  vcontrolSetValue(typed, 7);
  vtextitemSetTextChars(typed->field, "abc");
  notified = 0;
  up(typed);
  report("typed letters, up", typed);

  // One rate for every spinner: 0.1 s after a step the next passes.
  vspinner* other = numeric(0, 100, 1, 0);
  const std::int64_t times[] = {1000, 1100, 1150, 1200, 1250};
  vspinner* const which[] = {typed, other, typed, typed, other};
  std::string values;
  for (int i = 0; i < 5; ++i) {
    vevent* e = at(times[i]);
    issue(which[i], which[i] == other ? 12 : 13, e);
    veventDestroy(e);
    values += " " + std::to_string(typed->value) + "/" + std::to_string(other->value);
  }
  std::printf("typed down, other up, typed down twice, other up at 1000, 1100, 1150, 1200, 1250 ms:%s\n", values.c_str());
  notified = 0;

  // A sorted list sorts before the next lookup; the value keeps its index.
  vspinner* sorted = text({});
  vspinnerSetSorted(sorted, 1);
  vspinnerSort(sorted);
  for (const char* x : {"pear", "Apple", "fig"}) vspinnerAppendText(sorted, vscribeCString(x));
  std::printf("appended: first row %s pending %d\n", vliststrGetCell(sorted->list, 0, 0),
              (sorted->spinnerFlags & vspinnerSORT_PENDING) != 0);
  int found = vspinnerFindText(sorted, vscribeLiteral("fig"));
  std::printf("find fig %d; rows %s %s %s; value %d shows \"%s\"\n", found, vliststrGetCell(sorted->list, 0, 0),
              vliststrGetCell(sorted->list, 1, 0), vliststrGetCell(sorted->list, 2, 0), int(sorted->value),
              fieldText(sorted).c_str());
  std::printf("find Fig %d, find pea %d\n", vspinnerFindText(sorted, vscribeLiteral("Fig")),
              vspinnerFindText(sorted, vscribeLiteral("pea")));
  vspinnerSetValueText(sorted, vscribeCString("pear"));
  report("set text pear", sorted);
  vspinnerSetValueText(sorted, vscribeCString("plum"));
  report("set text plum", sorted);
  vspinnerDeleteText(sorted, vscribeLiteral("Apple"));
  std::printf("deleted Apple: count %d max %d\n", int(vlistGetRowCount(sorted->list)), int(sorted->max));
  vspinnerDeleteTextAt(sorted, -1);
  vspinnerDeleteTextAt(sorted, 7);
  std::printf("deleted -1 and 7: count %d\n", int(vlistGetRowCount(sorted->list)));
  vtextitemSetTextChars(sorted->field, "fi");
  std::printf("typed fi, Confirm: answer %d\n", issue(sorted, 3, nullptr));
  vevent* confirm = at(5000);
  veventSetBinding(confirm, vname_Confirm);
  issue(sorted, 3, confirm);
  veventDestroy(confirm);
  report("with its event", sorted);
  std::printf("numeric find %d\n", vspinnerFindText(s, vscribeLiteral("9")));

  // Stored forms.
  stored(s);
  stored(t);
  stored(text({}));
  vresource root = vresourceCreateMemory();
  vresource r = vresourceCreate(root, vnameInternLiteral("L"), vresDICTIONARY);
  vclassRec<vobjectClassRec>(t)->store(t, r);
  vresourceSetInteger(r, vnameInternLiteral("vspinnerFlags"), 3);
  auto* loaded = static_cast<vspinner*>(static_cast<vcontrol*>(static_cast<vdialogItem*>(vobjectLoad(r))));
  std::printf("loaded %s: editable %d wrap %d rows %d value %d \"%s\"\n", static_cast<const char*>(loaded->cls->name),
              vspinnerIsEditable(loaded), vspinnerIsWrap(loaded), int(vlistGetRowCount(loaded->list)),
              int(loaded->value), fieldText(loaded).c_str());
  vresourceRemove(r, vnameInternLiteral("vspinnerFlags"));
  bool raised = !vexTry([&] { vinstanceDestroy(static_cast<vinstance*>(vobjectLoad(r))); });
  std::printf("without vspinnerFlags: raised %d\n", raised);
  vresourceCloseFile(root);

  // Copies: onto itself nothing; a copy has its own list and field.
  vclassRec<vobjectClassRec>(t)->copy(t, t);
  auto* clone = static_cast<vspinner*>(static_cast<vcontrol*>(static_cast<vdialogItem*>(vobjectClone(t))));
  vspinnerSetTextAt(t, vscribeCString("uno"), 0);
  std::printf("clone: rows %d first %s shows \"%s\"; its field reports to it %d\n", int(vlistGetRowCount(clone->list)),
              vliststrGetCell(clone->list, 0, 0), fieldText(clone).c_str(),
              clone->field->data == reinterpret_cast<std::intptr_t>(clone));
  raised = !vexTry([&] { vspinnerSetTextList(t, reinterpret_cast<vliststr*>(vlistCreate())); });
  std::printf("a plain list: raised %d\n", raised);
  vspinnerSetTextList(t, nullptr);
  std::printf("a new list: rows %d max %d \"%s\"\n", int(vlistGetRowCount(t->list)), int(t->max), fieldText(t).c_str());
  for (vspinner* x : {s, t, typed, other, sorted, loaded, clone}) vinstanceDestroy(x);
  return 0;
}

// ---- Input through the headless back-end.
vwindow* inputWindow = nullptr;
win::POINT screen(int x, int y) {
  win::POINT p{x, kHeight - 1 - y};
  win::ClientToScreen(inputWindow->native->hwnd, &p);
  return p;
}
void hold(int ms) {
  vevent* e = veventCreateClient([](vevent*) { veventStopProcessing(); return 1; }, nullptr);
  veventPostDelayed(e, 0, std::int64_t(ms) * 1'000'000);
  veventProcess();
}
vsysTime pressedAt{};
std::string stepTimes;
void timed(vdialogItem*, vevent*) {
  vsysTime now = vsysGetTime();
  std::int64_t ms = (now.seconds - pressedAt.seconds) * 1000 + (std::int64_t(now.nanoseconds) - pressedAt.nanoseconds) / 1'000'000;
  stepTimes += " " + std::to_string(ms);
}
vspinner* placed(vspinner* s, vrect r) {
  vdialogSetItemRect(s, &r);
  vdialogItemListAppend(listOf(inputWindow), s);
  return s;
}

int held() {
  win::UseVirtualClock(true);
  inputWindow = probehost::host(kWidth, kHeight);
  vspinner* s = placed(numeric(0, 100, 1, 0), {10, 60, 100, 27});
  vdialogSetItemNotify(s, timed);
  probehost::show(inputWindow);
  auto [x, y] = middleOf(s, 0);
  pressedAt = vsysGetTime();
  win::test::MouseDown(screen(x, y));
  settle();
  hold(450);
  win::test::MouseUp(screen(x, y));
  settle();
  std::printf("stepped at ms:%s; value %d\n", stepTimes.c_str(), int(s->value));
  stepTimes.clear();
  hold(300);
  std::printf("after the release:%s value %d\n", stepTimes.c_str(), int(s->value));
  probehost::finish(inputWindow);
  win::UseVirtualClock(false);
  return 0;
}

const char* partAt(vspinner* s, int x, int y) {
  vevent* e = veventCreateButtonDown(nullptr, s->rect.x + x, s->rect.y + y, 0, 1, 1, 0);
  vcontrolClassOf(s)->choosePart(s, e);
  veventDestroy(e);
  const vcontrolPart* p = s->activePart;
  s->activePart = nullptr;
  const vcontrolPart* parts = vspinnerGetParts();
  return p == &parts[0] ? "up" : p == &parts[1] ? "down" : p == &parts[2] ? "field" : "none";
}

int zones() {
  vspinner* s = numeric(0, 10, 1, 0);
  int id = vlafGetCurrent()->id;
  std::string line;
  auto probe = [&](int w, int h, std::initializer_list<std::pair<int, int>> points) {
    vrect r{0, 0, std::int16_t(w), std::int16_t(h)};
    vdialogSetItemRect(s, &r);
    line = std::to_string(w) + "x" + std::to_string(h) + ":";
    for (auto [x, y] : points) line += " (" + std::to_string(x) + "," + std::to_string(y) + ") " + partAt(s, x, y);
    std::printf("%s\n", line.c_str());
  };
  if (id == vlafWINDOWS) probe(100, 20, {{90, 19}, {90, 10}, {90, 9}, {90, 8}, {90, 0}, {83, 9}, {82, 9}, {40, 9}});
  else if (id == vlafCUA) probe(80, 29, {{70, 28}, {70, 14}, {70, 13}, {70, 0}, {61, 14}, {60, 14}});
  else if (id == vlafMOTIF) probe(100, 28, {{82, 5}, {93, 5}, {94, 5}, {99, 5}, {88, 5}, {76, 5}, {75, 5}, {64, 5}, {63, 5}, {20, 5}});
  else if (id == vlafWIN95) {
    vimage* i = vlafGetImage(144);
    int iw = i ? i->width : 16;
    std::printf("image 144 width %d\n", iw);
    probe(72, 27, {{69 - iw / 2, 25}, {69 - iw / 2, 24}, {69 - iw / 2, 13}, {69 - iw / 2, 12}, {69 - iw / 2, 2},
                   {69 - iw / 2, 1}, {70, 20}, {69, 20}, {70 - iw, 20}, {69 - iw, 20}});
  } else {
    probe(80, 15, {{47, 5}, {48, 5}, {52, 5}, {63, 5}, {64, 5}, {66, 5}, {79, 5}, {20, 5}});
  }
  vinstanceDestroy(s);
  return 0;
}

// ---- A spinner and a string combo driven by injected input.
std::string said;
void told(vdialogItem* item, vevent*) {
  if (vclassIsSubclass(item->cls, vspinnerNumericGetDefaultClass()))
    said += " spinner " + std::to_string(static_cast<vcontrol*>(item)->value);
  else
    said += " combo";
}
std::string comboText(vcomboStandard* c) {
  char* t = vtextitemGetString(c->entry);
  std::string out = t;
  vmemFree(t);
  return out;
}

vdialog* inputDialog = nullptr;
win::POINT dialogScreen(int x, int y) {
  win::POINT p{x, inputDialog->rect.height - 1 - y};
  win::ClientToScreen(inputDialog->native->hwnd, &p);
  return p;
}
void dialogClick(int x, int y) {
  win::test::MouseDown(dialogScreen(x, y));
  settle();
  win::test::MouseUp(dialogScreen(x, y));
  settle();
}
void press(win::UINT key) {
  win::test::KeyDown(key);
  win::test::KeyUp(key);
  settle();
}

// live: the dialog stays up on the display, printing what it is told.
int dialog(bool live) {
  if (!live) win::UseVirtualClock(true);
  vdialog* d = inputDialog = vdialogCreate();
  d->rect = {40, 40, 240, 150};
  vwindowSetTitleScribe(d, vscribeLiteral("Spinners"));
  vspinner* s = numeric(0, 50, 5, 10);
  int nw = 0, nh = 0;
  vdialogGetItemNaturalSize(s, &nw, &nh);
  vrect r{10, 110, std::int16_t(nw + 20), std::int16_t(nh)};
  vdialogSetItemRect(s, &r);
  vdialogSetItemNotify(s, told);
  vspinner* days = text({"Monday", "Tuesday", "Wednesday"});
  vrect dr{130, 110, std::int16_t(nw + 40), std::int16_t(nh)};
  vdialogSetItemRect(days, &dr);
  vdialogSetItemNotify(days, told);
  vcomboStandard* c = vcomboCreate();
  for (const char* x : {"red", "green", "blue"}) vcomboAppendString(c, vscribeCString(x));
  vcomboSetModifiable(c, 1);
  vrect cr{10, 10, 150, 80};
  vdialogSetItemRect(c, &cr);
  vdialogSetItemNotify(c, told);
  for (vdialogItem* i : {static_cast<vdialogItem*>(s), static_cast<vdialogItem*>(days), static_cast<vdialogItem*>(c)})
    vdialogAppendItem(d, i);
  vdialogSetDefaultFocusItem(d, s);
  vwindowOpen(d);
  win::SetActiveWindow(d->native->hwnd);
  win::SetFocus(d->native->hwnd);
  settle();
  if (live) {
    said.clear();
    vdialogItemNotifyFunc echo = [](vdialogItem* i, vevent* e) {
      told(i, e);
      std::printf("%s\n", said.c_str());
      std::fflush(stdout);
      said.clear();
    };
    for (vdialogItem* i : {static_cast<vdialogItem*>(s), static_cast<vdialogItem*>(days), static_cast<vdialogItem*>(c)})
      vdialogSetItemNotify(i, echo);
    veventProcess();
    return 0;
  }
  auto report = [&](const char* what) {
    std::printf("%s: value %d field \"%s\" told%s\n", what, int(s->value), fieldText(s).c_str(), said.c_str());
    said.clear();
  };
  // The arrows by the pointer, far enough apart for the rate.
  auto [ax, upY] = middleOf(s, 0);
  auto [dx, downY] = middleOf(s, 1);
  dialogClick(ax, upY);
  hold(150);
  report("clicked up");
  dialogClick(dx, downY);
  hold(150);
  report("clicked down");
  // Typing replaces the selected text; Return takes it.
  dialogClick(r.x + 8, r.y + r.height / 2);
  std::printf("field focused %d\n", (s->field->flags & vdialogItemFOCUSED) != 0);
  vtextitemSetTextChars(s->field, "");
  win::test::Type("37");
  settle();
  report("typed 37");
  press(0x0D);
  report("Return");
  win::test::Type("x");
  settle();
  dialogClick(ax, upY);
  hold(150);
  report("typed x, clicked up");
  press(0x26);  // the Up arrow key
  hold(150);
  report("Up key");
  press(0x28);
  hold(150);
  report("Down key");
  // The text spinner: a prefix typed and taken.
  dialogClick(dr.x + 8, dr.y + dr.height / 2);
  vtextitemSetTextChars(days->field, "we");
  press(0x0D);
  std::printf("days: value %d field \"%s\" told%s\n", int(days->value), fieldText(days).c_str(), said.c_str());
  said.clear();
  // The combo: a choice typed and taken.
  dialogClick(cr.x + 20, cr.y + cr.height - 8);
  vtextitemSetTextChars(c->entry, "");
  win::test::Type("green");
  press(0x0D);
  std::printf("combo: \"%s\" selected %d told%s\n", comboText(c).c_str(), vcomboboxGetSelectedIndex(c), said.c_str());
  said.clear();
  // Typed text without Return: taken when the value is read and when the
  // focus leaves; text that is no number gives way to the value.
  dialogClick(r.x + 8, r.y + r.height / 2);
  vtextitemSetTextChars(s->field, "");
  win::test::Type("23");
  settle();
  std::printf("typed 23, read: %d\n", int(vcontrolGetValue(s)));
  report("after the read");
  vtextitemSetTextChars(s->field, "");
  win::test::Type("31");
  settle();
  dialogClick(dr.x + 8, dr.y + dr.height / 2);
  report("typed 31, days clicked");
  dialogClick(r.x + 8, r.y + r.height / 2);
  vtextitemSetTextChars(s->field, "");
  win::test::Type("abc");
  settle();
  dialogClick(dr.x + 8, dr.y + dr.height / 2);
  report("typed abc, days clicked");
  vwindowClose(d);
  vinstanceDestroy(d);
  settle();
  win::UseVirtualClock(false);
  return 0;
}

// ---- Pictures.
void drawHeld(vwindow* w, vspinner* pressed) {
  vdrawGSave();
  vdialogItemListSetDrawingState(listOf(w));
  vdialogItemListDraw(listOf(w));
  vdrawGRestore();
  if (pressed && pressed->activePart && pressed->activePart->pressedDrawing) {
    vdrawGSave();
    if (_vcontrolBeginItemDrawing(pressed)) pressed->activePart->pressedDrawing(pressed);
    vdrawGRestore();
  }
}

int shots(const char* path) {
  inputWindow = probehost::host(kWidth, kHeight);
  auto add = [&](vspinner* s, int x, int y) {
    int w = 0, h = 0;
    vdialogGetItemNaturalSize(s, &w, &h);
    return placed(s, {std::int16_t(x), std::int16_t(y), std::int16_t(w + 10), std::int16_t(h)});
  };
  vspinner* plain = add(numeric(0, 100, 1, 42), 10, 120);
  vspinner* pressedUp = add(numeric(0, 100, 1, 7), 10, 80);
  vspinner* focused = add(numeric(-5, 5, 1, -3), 10, 40);
  vspinner* disabled = add(numeric(0, 9, 1, 5), 10, 4);
  vspinner* words = add(text({"Monday", "Tuesday", "Wednesday"}), 125, 120);
  vspinner* pressedDown = add(text({"north", "south"}), 125, 80);
  vspinner* readOnly = add(text({"alpha", "beta"}), 125, 40);
  vspinnerSetEditable(readOnly, 0);
  vcontrolSetValue(words, 1);
  vdialogDisableItem(disabled);
  probehost::show(inputWindow);
  vdialogItemListClassOf(listOf(inputWindow))->activateFocus(listOf(inputWindow));
  vdialogItemListSetFocusItem(listOf(inputWindow), focused);
  settle();
  bool focusShown = vdialogItemIsActive(focused);
  vdialogItemListSetFocusItem(listOf(inputWindow), readOnly);
  settle();
  auto press = [&](vspinner* s, int part) {
    auto [x, y] = middleOf(s, part);
    vevent* e = veventCreateButtonDown(inputWindow, x, y, 0, 1, 1, 0);
    vcontrolClassOf(s)->choosePart(s, e);
    veventDestroy(e);
    s->controlFlags |= vcontrolPRESSED;
  };
  press(pressedUp, 0);
  press(pressedDown, 1);
  drawHeld(inputWindow, nullptr);
  bool ok = win::test::WritePng(path, win::test::WindowImage(inputWindow->native->hwnd));
  if (!focusShown) std::printf("focus not shown\n");
  for (vspinner* s : {pressedUp, pressedDown}) s->controlFlags &= std::uint16_t(~vcontrolPRESSED), s->activePart = nullptr;
  (void)plain;
  probehost::finish(inputWindow);
  return ok ? 0 : 1;
}

int probeMain(int argc, char** argv) {
  vwidgetsStartup(argc, argv);
  int count = 0;
  char** args = nullptr;
  vprefGetArgs(&count, &args);
  std::string mode = count > 1 ? args[1] : "";
  int status = 2;
  if (mode == "steps") status = steps();
  else if (mode == "held") status = held();
  else if (mode == "zones") status = zones();
  else if (mode == "dialog") status = dialog(count > 2 && std::string(args[2]) == "-live");
  else if (mode == "shots" && count > 2) status = shots(args[2]);
  else std::fprintf(stderr, "usage: spinner_probe [-laf LOOK] steps|held|zones|dialog|shots OUT\n");
  std::fflush(stdout);
  return status;
}

}  // namespace

int main(int argc, char** argv) { vsysMain(argc, argv, probeMain); }
