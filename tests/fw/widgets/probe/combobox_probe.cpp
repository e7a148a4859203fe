// Combo boxes in a program of their own per look (the look decides the
// modes chosen by look and where the entry sits):
//   combobox_probe [-laf LOOK] keys      typing, Return, the arrow, paging and
//                                        end keys and a press on a row
//   combobox_probe [-laf LOOK] values    appending, replacing, deleting, moving,
//                                        sorting and the measured size
//   combobox_probe [-laf LOOK] forms     the resource form, copies, clones and
//                                        the entry's own text rule
//   combobox_probe [-laf LOOK] strings   string combos: appending, byte order,
//                                        the typed-text check, list edits, the
//                                        stored form, replacing the list
//   combobox_probe [-laf LOOK] stringshots OUT  a string combo, a pop-down one and a
//                                        bordered pop-down one
//   combobox_probe [-laf LOOK] shots OUT a focused box, a read-only one and a
//                                        disabled one, as a PNG
//   combobox_probe [-laf LOOK] ordering  every way of sorting, on a box outside
//                                        a window and on one shown in a dialog
#include <cstdio>
#include <cstring>
#include <string>

#include "fw/core/sys.h"
#include "fw/data/pref.h"
#include "fw/data/vresource.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/window.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/controls/combo.h"
#include "fw/widgets/controls/combobox.h"
#include "fw/widgets/look/laf.h"
#include "fw/widgets/startup.h"
#include "platform/win/test.h"
#include "tests/fw/widgets/probe/probe_host.h"

namespace {

using probehost::listOf;
using probehost::settle;

constexpr const char* kFruit[] = {"Cherry", "apple", "Banana", "Date", "elderberry", "Fig", "Grape"};

std::string codes;
void record(vcomboboxStandard*, vevent*, int code) { codes += std::to_string(code); }

vcomboboxValue* valueOf(const char* text) {
  vcomboboxValue* v = vcomboboxValueCreate();
  vcomboboxValueSetText(v, vscribeCString(text));
  return v;
}

vcomboboxStandard* addCombo(vwindow* w, vrect r, int count) {
  vcomboboxStandard* c = vcomboboxCreate();
  vdialogSetItemRect(c, &r);
  for (int i = 0; i < count; ++i) vcomboboxAppendValue(c, valueOf(kFruit[i]));
  vcomboboxSetNotify(c, record);
  vdialogItemListAppend(listOf(w), c);
  return c;
}

std::string entryText(vcomboboxStandard* c) {
  char* s = vtextitemGetString(c->entry);
  std::string out = s;
  vmemFree(s);
  return out;
}

std::string order(vcomboboxStandard* c) {
  std::string out;
  for (int i = 0; i < vcomboboxCount(c); ++i) out += std::string(i ? "," : "") + vcomboboxValueGetText(vcomboboxAt(c, i));
  return out;
}

// The entry's text, the current value, the selected row and the codes
// heard since the last report.
void report(const char* what, vcomboboxStandard* c) {
  std::printf("%s: entry \"%s\" value \"%s\" row %d codes %s\n", what, entryText(c).c_str(),
              vcomboboxValueGetText(vcomboboxGetValue(c)), vcomboboxGetSelectedIndex(c), codes.c_str());
  codes.clear();
}

// A key with the command the dialog's bindings give it.
int key(vwindow* w, std::uint32_t symbol, int character = 0, const char* binding = nullptr) {
  vevent* e = veventCreateKeyDown(w, 0, 0, 0, 0, symbol, character);
  if (binding) veventSetBinding(e, vnameInternLiteral(binding));
  int r = probehost::hostClass()->handleKeyDown(w, e);
  veventDestroy(e);
  return r;
}
void type(vwindow* w, const char* chars) {
  for (const char* p = chars; *p; ++p) key(w, std::uint32_t(static_cast<unsigned char>(*p)), *p);
}

void click(vwindow* w, int x, int y) {
  vevent* down = veventCreateButtonDown(w, x, y, 0, 1, 1, 0);
  veventSetBinding(down, vname_Select);
  probehost::hostClass()->handleButtonDown(w, down);
  veventDestroy(down);
  vevent* up = veventCreateButtonUp(w, x, y, 0, 0, 1, 0);
  veventSetBinding(up, vname_Select);
  probehost::hostClass()->handleButtonUp(w, up);
  veventDestroy(up);
  settle();
}

enum : std::uint32_t { kReturn = 0xFC0D, kUp = 0xFC52, kDown = 0xFC54, kHome = 0xFC50, kEnd = 0xFC57,
                       kPageUp = 0xFC55, kPageDown = 0xFC56 };

int keys() {
  vwindow* w = probehost::host(220, 200);
  vcomboboxStandard* c = addCombo(w, {10, 10, 160, 150}, 7);
  probehost::show(w);
  vdialogItemListClassOf(listOf(w))->activateFocus(listOf(w));
  vdialogItemListSetFocusItem(listOf(w), c);
  settle();
  report("start", c);
  type(w, "bz");
  report("typed bz", c);
  key(w, kReturn, 0, "Confirm");
  report("Return", c);
  std::printf("values %d\n", vcomboboxCount(c));
  vcomboboxSetValue(c, nullptr);
  type(w, "D");
  report("typed D", c);
  key(w, kDown, 0, "Down");
  report("Down", c);
  key(w, kUp, 0, "Up");
  report("Up", c);
  key(w, kPageDown, 0, "PageDown");
  report("PageDown", c);
  key(w, kPageDown, 0, "PageDown");
  report("PageDown", c);
  key(w, kDown, 0, "Down");
  report("Down at the end", c);
  vcomboboxSetCyclic(c, 1);
  key(w, kDown, 0, "Down");
  report("cyclic Down", c);
  key(w, kUp, 0, "Up");
  report("cyclic Up", c);
  key(w, kEnd, 0, "End");
  report("End", c);
  key(w, kHome, 0, "Begin");
  report("Home", c);
  // A press on the second row of the choice box (its cells are in the
  // combo box's child coordinates).
  vrect cell;
  vlistviewGetCellRect(c->choice, 1, 0, &cell);
  click(w, c->bounds.x + cell.x + 3, c->bounds.y + cell.y + cell.height / 2);
  report("press row 1", c);
  vcomboboxSetModifiable(c, 0);
  report("read-only", c);
  std::printf("entry modifiable %d selectable %d\n", c->entry->modifiable, c->entry->selectable);
  probehost::finish(w);
  return 0;
}

int values() {
  vwindow* w = probehost::host(220, 200);
  vcomboboxStandard* c = addCombo(w, {10, 10, 160, 150}, 4);
  probehost::show(w);
  int width0 = c->valueWidth;
  std::printf("order %s\n", order(c).c_str());
  vcomboboxAppendValue(c, valueOf("a much wider value"));
  int wide = c->valueWidth;
  vcomboboxDeleteValue(c, 4);
  std::printf("a wider value grows the width %d, deleting it measures again %d\n", wide > width0,
              c->valueWidth == width0);
  vcomboboxSetValue(c, vcomboboxAt(c, 2));
  report("current", c);
  vcomboboxSort(c);
  std::printf("sorted %s\n", order(c).c_str());
  report("after sort", c);
  vcomboboxSetAutoSort(c, 1);
  vcomboboxAppendValue(c, valueOf("blueberry"));
  vcomboboxAppendValue(c, valueOf("aardvark"));
  vcomboboxAppendValue(c, valueOf("zucchini"));
  std::printf("auto-sorted %s\n", order(c).c_str());
  vcomboboxReplaceValue(c, valueOf("Coconut"), 0);
  std::printf("replaced %s\n", order(c).c_str());
  vcomboboxSetAutoSort(c, 0);
  vcomboboxMoveValue(c, 0, 3);
  std::printf("moved %s rows", order(c).c_str());
  for (int i = 0; i < vlistGetRowCount(c->choice->list); ++i)
    std::printf(" %s", vcomboboxValueGetText(reinterpret_cast<vcomboboxValue*>(vlistGetCell(c->choice->list, i, 0))));
  std::printf("\n");
  // Commit mode 1 adds an unknown text and selects a known one.
  vcomboboxSetCommitMode(c, 1);
  vcomboboxCommit(c, valueOf("kiwi"));
  report("commit kiwi", c);
  vcomboboxCommit(c, valueOf("DATE"));
  report("commit DATE", c);
  std::printf("values %d\n", vcomboboxCount(c));
  probehost::finish(w);
  return 0;
}

vcomboboxValue* rowValue(vcomboboxStandard* c, int row) {
  return reinterpret_cast<vcomboboxValue*>(vlistGetCell(c->choice->list, row, 0));
}

// The values, whether the box owns each one and its row shows it, the
// current value and row, the settings and where the children are.
void describe(const char* what, vcomboboxStandard* c) {
  bool owned = true, rows = vlistGetRowCount(c->choice->list) == vcomboboxCount(c);
  for (int i = 0; i < vcomboboxCount(c); ++i) {
    owned = owned && vcomboboxAt(c, i)->owner == c;
    rows = rows && rowValue(c, i) == vcomboboxAt(c, i);
  }
  std::printf("%s: %s owned %d rows %d; value \"%s\" row %d; visible %d/%d cyclic %d/%d flags 0x%X; children %d\n", what,
              order(c).c_str(), owned, rows, vcomboboxValueGetText(vcomboboxGetValue(c)), vcomboboxGetSelectedIndex(c),
              c->visibleValues, c->choice->visibleRows, (c->comboFlags & vcomboboxCYCLIC) != 0,
              (c->choice->options & vlistviewWRAP) != 0, unsigned(c->comboFlags),
              int(vdialogItemListCount(c->items)) == 2 && c->entry->owner == c->items && c->choice->owner == c->items);
}

void storeInto(vcomboboxStandard* c, vresource r) { vclassRec<vobjectClassRec>(c)->store(c, r); }

// Loads, reporting the exception's message or what was loaded.
void tryLoad(const char* what, vresource r) {
  vobject* loaded = nullptr;
  std::string message;
  vexGuard([&] { loaded = vobjectLoad(r); },
           [&](vexHandler& h) {
             const vexException* e = vexGetCurrentException();
             message = e && e->message ? e->message : "?";
             vexSetCurrentException(h.savedChain);
           });
  if (loaded) {
    describe(what, static_cast<vcomboboxStandard*>(loaded));
    vinstanceDestroy(loaded);
  } else {
    std::printf("%s: raised \"%s\"\n", what, message.c_str());
  }
}

std::string entryEscaped(vcomboboxStandard* c) {
  std::string out;
  for (char ch : entryText(c)) out += ch == '\n' ? std::string("\\n") : std::string(1, ch);
  return out;
}

int forms() {
  vwindow* w = probehost::host(220, 200);
  vcomboboxStandard* c = addCombo(w, {10, 10, 160, 150}, 5);
  vcomboboxSetCyclic(c, 1);
  vcomboboxSetVisibleValues(c, 3);
  vcomboboxSetCommitMode(c, 1);
  vcomboboxSelectIndex(c, 3);
  probehost::show(w);
  describe("box", c);

  vresource root = vresourceCreateMemory();
  vresource r = vresourceCreate(root, vnameInternLiteral("C"), vresDICTIONARY);
  storeInto(c, r);
  tryLoad("loaded", r);
  // Each required key missing in turn; then a list holding something else.
  for (const char* tag : {"vcomboboxFlags", "Values", "VisibleValues", "Value"}) {
    vresource partial = vresourceCreate(root, vnameInternLiteral("P"), vresDICTIONARY);
    storeInto(c, partial);
    vresourceRemove(partial, vnameInternLiteral(tag));
    tryLoad((std::string("without ") + tag).c_str(), partial);
  }
  vresource bad = vresourceCreate(root, vnameInternLiteral("B"), vresDICTIONARY);
  storeInto(c, bad);
  vobjectList* strange = vobjectListCreate();
  vobjectListAppend(strange, vobjectListCreate());
  vclassRec<vobjectClassRec>(strange)->store(strange, vresourceCreate(bad, vnameInternLiteral("Values"), vresDICTIONARY));
  vinstanceDestroy(strange);
  tryLoad("a list of lists", bad);
  vresourceCloseFile(root);

  vclassRec<vobjectClassRec>(c)->copy(c, c);
  describe("copied onto itself", c);
  vcomboboxStandard* other = vcomboboxCreate();
  vcomboboxAppendValue(other, valueOf("kiwi"));
  vclassRec<vobjectClassRec>(c)->copy(c, other);
  describe("copied", other);
  vinstanceDestroy(other);
  auto* clone = static_cast<vcomboboxStandard*>(vobjectClone(c));
  describe("cloned", clone);
  vinstanceDestroy(clone);
  describe("source after", c);

  // The entry's own text rule: the whole text selected; a read-only empty
  // entry holds a line feed.
  vcomboboxSelectIndex(c, 1);
  std::printf("entry \"%s\" selected %d-%d\n", entryEscaped(c).c_str(), c->entry->selection->start,
              c->entry->selection->end);
  vcomboboxSetModifiable(c, 0);
  vcomboboxSetValue(c, nullptr);
  std::printf("read-only empty entry \"%s\" selected %d-%d\n", entryEscaped(c).c_str(), c->entry->selection->start,
              c->entry->selection->end);

  // Showing rows of a long list scrolls the least.
  vcomboboxStandard* longBox = addCombo(w, {10, 10, 160, 100}, 0);
  for (int i = 0; i < 30; ++i) vcomboboxAppendValue(longBox, valueOf(("v" + std::to_string(100 + i)).c_str()));
  vdialogOpenItem(longBox);
  settle();
  auto shown = [&](int row) {
    vrect cell, content;
    vlistviewGetCellRect(longBox->choice, row, 0, &cell);
    _vlistviewGetContentRect(longBox->choice, &content);
    return cell.y >= content.y && cell.y + cell.height <= content.y + content.height;
  };
  int firstBefore = longBox->choice->firstRow;
  vcomboboxShowIndex(longBox, 20);
  int afterDown = longBox->choice->firstRow;
  std::printf("show 20: shown %d, at the bottom %d\n", shown(20), !shown(21) && afterDown > firstBefore);
  vcomboboxShowIndex(longBox, 19);
  std::printf("show 19 (inside): first row kept %d\n", longBox->choice->firstRow == afterDown);
  vcomboboxShowIndex(longBox, 3);
  std::printf("show 3: at the top %d\n", shown(3) && !shown(2));
  vcomboboxShowIndex(longBox, 99);
  std::printf("show 99: nothing moves %d\n", shown(3) && !shown(2));
  probehost::finish(w);
  return 0;
}

std::string strings(vcomboStandard* c) {
  std::string out = order(c) + " rows";
  vlist* l = vcomboGetList(c);
  for (int i = 0; i < vlistGetRowCount(l); ++i) out += std::string(i ? "," : " ") + vliststrGetCell(static_cast<vliststr*>(l), i, 0);
  return out;
}

void stringReport(const char* what, vcomboStandard* c) {
  std::printf("%s: %s; value \"%s\" row %d codes %s\n", what, strings(c).c_str(),
              vcomboboxValueGetText(vcomboboxGetValue(c)), vcomboboxGetSelectedIndex(c), codes.c_str());
  codes.clear();
}

int refuseAll(vcomboStandard*, const char*) { return 0; }

std::string raised(void (*body)(vcomboStandard*), vcomboStandard* c) {
  std::string message = "nothing";
  vexGuard([&] { body(c); },
           [&](vexHandler& h) {
             const vexException* e = vexGetCurrentException();
             message = std::string("raised \"") + (e && e->message ? e->message : "?") + "\"";
             vexSetCurrentException(h.savedChain);
           });
  return message;
}

void storedKeys(const char* what, vcomboStandard* c) {
  vresource root = vresourceCreateMemory();
  vresource r = vresourceCreate(root, vnameInternLiteral("S"), vresDICTIONARY);
  vclassRec<vobjectClassRec>(c)->store(c, r);
  vresource found;
  std::printf("%s: flags %d rows %d text %d", what, int(vresourceGetInteger(r, vnameInternLiteral("vcomboFlags"))),
              vresourceTestGet(r, vnameInternLiteral("vcomboListBoxRows"), &found),
              vresourceTestGet(r, vnameInternLiteral("vcomboText"), &found));
  auto* loaded = static_cast<vcomboStandard*>(vobjectLoad(r));
  std::printf("; loaded %s visible %d value \"%s\" modifiable %d\n", strings(loaded).c_str(), loaded->visibleValues,
              vcomboboxValueGetText(vcomboboxGetValue(loaded)), (loaded->comboFlags & vcomboboxMODIFYABLE) != 0);
  vinstanceDestroy(loaded);
  vresourceCloseFile(root);
}

// A string combo that counts its "Content" announcements.
int contents = 0;
vcomboStandard* countingCombo() {
  static vcomboStandardClassRec* cls = [] {
    auto* r = vclassSpawnOf<vcomboStandardClassRec>(vcomboGetDefaultClass());
    vclassSetName(r, vscribeLiteral("probeCountingCombo"));
    r->send = [](vobject* o, vname name, vdict* args) {
      if (name == vname_Content) ++contents;
      vcomboGetDefaultClass()->send(o, name, args);
    };
    return r;
  }();
  return static_cast<vcomboStandard*>(vinstanceCreate(cls));
}

int stringCombos() {
  vwindow* w = probehost::host(220, 200);
  vcomboStandard* c = countingCombo();
  contents = 0;
  vcomboboxSort(c);
  std::printf("an empty sort announces \"Content\" %d time(s)\n", contents);
  vrect r{10, 10, 160, 150};
  vdialogSetItemRect(c, &r);
  vcomboboxSetNotify(c, record);
  vdialogItemListAppend(listOf(w), c);
  probehost::show(w);
  storedKeys("empty", c);
  vcomboAppendString(c, vscribeLiteral("b"));
  stringReport("first append", c);
  vcomboAppendString(c, vscribeLiteral("B"));
  vcomboAppendString(c, vscribeLiteral("a"));
  stringReport("two more", c);
  contents = 0;
  vcomboboxSort(c);
  std::printf("a sort announces \"Content\" %d time(s)\n", contents);
  stringReport("sorted", c);
  std::printf("find B %d, b %d, c %d\n", vcomboFindString(c, vscribeLiteral("B")), vcomboFindString(c, vscribeLiteral("b")),
              vcomboFindString(c, vscribeLiteral("c")));
  vcomboCommitString(c, vscribeLiteral("kiwi"));
  stringReport("commit kiwi", c);
  vcomboSetValidate(c, refuseAll);
  vcomboCommitString(c, vscribeLiteral("A"));
  stringReport("refused A", c);
  vcomboCommitString(c, vscribeLiteral("c"));
  stringReport("refused c", c);
  vcomboCommitString(c, vscribeLiteral("a"));
  stringReport("commit a", c);
  // Edits of the string list itself show in the values at once.
  auto* l = static_cast<vliststr*>(vcomboGetList(c));
  vliststrSetCellScribed(l, 1, 0, vscribeLiteral("z"));
  vlistClassOf(l)->insertOne(l, 0, vlistROWS);
  vliststrSetCellScribed(l, 0, 0, vscribeLiteral("first"));
  vlistClassOf(l)->deleteOne(l, 3, vlistROWS);
  stringReport("list edited", c);
  vcomboDeleteString(c, vscribeLiteral("z"));
  vcomboSetString(c, vscribeLiteral("second"), 1);
  stringReport("deleted z, set row 1", c);
  storedKeys("two choices", c);
  vcomboSetVisibleValues(c, 7);
  vcomboSetModifiable(c, 0);
  storedKeys("seven rows, read-only", c);
  // Only a list of the list box's class; the old list goes with its observer.
  std::printf("a plain list: %s\n", raised([](vcomboStandard* x) { vcomboSetList(x, vlistCreate()); }, c).c_str());
  vlistitemList* fresh = vlistitemListCreate();
  vlistSetColumnCount(fresh, 1);
  vliststrSetCellScribed(fresh, 0, 0, vscribeLiteral("x"));
  vcomboSetList(c, fresh);
  vliststrSetCellScribed(fresh, 1, 0, vscribeLiteral("y"));
  stringReport("a new list", c);
  // The pop-down variant keeps its list in a dialog of its own.
  vcomboStandard* p = vcomboPopdownCreate();
  vcomboAppendString(p, vscribeLiteral("one"));
  vcomboAppendString(p, vscribeLiteral("two"));
  stringReport("pop-down", p);
  std::printf("pop-down parts: dialog %d list in it %d\n", p->dialog != nullptr,
              p->dialog && p->choice->owner == p->dialog->items);
  vinstanceDestroy(p);
  probehost::finish(w);
  return 0;
}

// A string combo and a pop-down string combo, the second focused.
int stringShots(const char* path) {
  vwindow* w = probehost::host(360, 170);
  vcomboStandard* a = vcomboCreate();
  vcomboStandard* b = vcomboPopdownCreate();
  vrect ra{10, 10, 160, 150};
  vdialogSetItemRect(a, &ra);
  for (vcomboStandard* c : {a, b})
    for (const char* f : kFruit) vcomboAppendString(c, vscribeLiteral(f));
  int nw = 0, nh = 0;
  vdialogGetItemNaturalSize(b, &nw, &nh);
  vrect rb{190, std::int16_t(160 - nh), 160, std::int16_t(nh)};
  vdialogSetItemRect(b, &rb);
  vcomboboxSelectIndex(a, 2);
  vcomboboxSelectIndex(b, 3);
  vdialogItemListAppend(listOf(w), a);
  vdialogItemListAppend(listOf(w), b);
  // A bordered pop-down, as the dialogs place theirs, at rest.
  vcomboStandard* framed = vcomboPopdownCreate();
  vdialogSetItemBorder(framed, 1);
  for (const char* f : kFruit) vcomboAppendString(framed, vscribeLiteral(f));
  vdialogGetItemNaturalSize(framed, &nw, &nh);
  vrect rc{190, std::int16_t(120 - nh), 160, std::int16_t(nh)};
  vdialogSetItemRect(framed, &rc);
  vcomboboxSelectIndex(framed, 1);
  vdialogItemListAppend(listOf(w), framed);
  probehost::show(w);
  vdialogItemListClassOf(listOf(w))->activateFocus(listOf(w));
  vdialogItemListSetFocusItem(listOf(w), b);
  settle();
  win::test::Image image = win::test::WindowImage(w->native->hwnd);
  int status = win::test::WritePng(path, image) ? 0 : 1;
  probehost::finish(w);
  return status;
}

int shots(const char* path) {
  vwindow* w = probehost::host(540, 170);
  vcomboboxStandard* a = addCombo(w, {10, 10, 160, 150}, 7);
  vcomboboxSelectIndex(a, 2);
  vcomboboxStandard* b = addCombo(w, {190, 10, 160, 150}, 4);
  vcomboboxSetModifiable(b, 0);
  vcomboboxSelectIndex(b, 1);
  vcomboboxStandard* d = addCombo(w, {370, 10, 160, 150}, 4);
  vcomboboxSelectIndex(d, 3);
  vdialogDisableItem(d);
  probehost::show(w);
  vdialogItemListClassOf(listOf(w))->activateFocus(listOf(w));
  vdialogItemListSetFocusItem(listOf(w), a);
  settle();
  win::test::Image image = win::test::WindowImage(w->native->hwnd);
  int status = win::test::WritePng(path, image) ? 0 : 1;
  probehost::finish(w);
  return status;
}

// ---- Ordering outside a window and inside one.

constexpr const char* kUnsorted[] = {"Cherry", "apple", "Banana", "Date"};

vcomboboxStandard* filled(int count) {
  vcomboboxStandard* c = vcomboboxCreate();
  for (int i = 0; i < count; ++i) vcomboboxAppendValue(c, valueOf(kUnsorted[i]));
  return c;
}

// The stored form of the four values, unsorted, with AutoSort in the flags.
vresource storedAutoSorted(vresource root) {
  vcomboboxStandard* c = filled(4);
  vcomboboxSelectIndex(c, 2);
  vresource r = vresourceCreate(root, vnameInternLiteral("S"), vresDICTIONARY);
  storeInto(c, r);
  vinstanceDestroy(c);
  vresourceSetInteger(r, vnameInternLiteral("vcomboboxFlags"),
                      vresourceGetInteger(r, vnameInternLiteral("vcomboboxFlags")) | vcomboboxAUTO_SORT);
  return r;
}

// Each way brings the box to apple, Banana, Cherry, Date with Banana
// current. `box` is the box in the dialog, or null outside one; the way
// answers the box it sorted.
using Way = vcomboboxStandard* (*)(vcomboboxStandard* box, vresource root);
vcomboboxStandard* bySort(vcomboboxStandard* box, vresource) {
  vcomboboxStandard* c = box ? box : filled(4);
  vcomboboxSelectIndex(c, 2);
  vcomboboxSort(c);
  return c;
}
vcomboboxStandard* byAutoSortOn(vcomboboxStandard* box, vresource) {
  vcomboboxStandard* c = box ? box : filled(4);
  vcomboboxSelectIndex(c, 2);
  vcomboboxSetAutoSort(c, 1);
  return c;
}
vcomboboxStandard* byAppending(vcomboboxStandard* box, vresource) {
  vcomboboxStandard* c = box ? box : filled(0);
  while (vcomboboxCount(c) > 0) vcomboboxDeleteValue(c, 0);
  vcomboboxSetAutoSort(c, 1);
  for (const char* v : kUnsorted) vcomboboxAppendValue(c, valueOf(v));
  vcomboboxSelectIndex(c, 1);
  return c;
}
// Inside the dialog the loaded box is copied onto the shown one: the same
// re-owning of the values that a load makes.
vcomboboxStandard* byLoading(vcomboboxStandard* box, vresource root) {
  auto* loaded = static_cast<vcomboboxStandard*>(vobjectLoad(storedAutoSorted(root)));
  if (!box) return loaded;
  vclassRec<vobjectClassRec>(loaded)->copy(loaded, box);
  vinstanceDestroy(loaded);
  return box;
}

vdialog* dialogWith(vcomboboxStandard* c, vcomboboxStandard* plain) {
  vdialog* d = vdialogCreate();
  d->rect = {40, 40, 400, 220};
  vrect left{10, 10, 160, 150}, right{200, 10, 160, 150};
  vdialogSetItemRect(c, &left);
  vdialogAppendItem(d, c);
  vdialogSetItemRect(plain, &right);
  vdialogAppendItem(d, plain);
  return d;
}

// Every row laid out one below the other with the height of the rows of
// a box that was never sorted, in the same dialog.
bool rowsLaidOut(vcomboboxStandard* c, vcomboboxStandard* plain) {
  vrect reference, cell, previous{};
  vlistviewGetCellRect(plain->choice, 0, 0, &reference);
  bool ok = reference.height > 0 && vlistGetRowCount(c->choice->list) == vcomboboxCount(c);
  for (int i = 0; i < vcomboboxCount(c); ++i) {
    vlistviewGetCellRect(c->choice, i, 0, &cell);
    ok = ok && cell.height == reference.height && (i == 0 || previous.y - cell.y == reference.height);
    previous = cell;
  }
  return ok;
}

std::string rowsOf(vcomboboxStandard* c) {
  std::string out;
  for (int i = 0; i < vlistGetRowCount(c->choice->list); ++i)
    out += std::string(i ? "," : "") + vcomboboxValueGetText(rowValue(c, i));
  return out;
}

// One way in one place: the order, the rows, the current value, and
// whether the rows are laid out once the box shows in a dialog.
void orderOnce(const char* name, Way way, bool inside) {
  vresource root = vresourceCreateMemory();
  vcomboboxStandard* plain = filled(4);
  vcomboboxStandard* box = inside ? filled(4) : nullptr;
  vdialog* d = nullptr;
  if (inside) {
    d = dialogWith(box, plain);
    vwindowOpen(d);
    settle();
  }
  vcomboboxStandard* c = nullptr;
  std::string message;
  vexGuard([&] { c = way(box, root); },
           [&](vexHandler& h) {
             const vexException* e = vexGetCurrentException();
             message = e && e->message ? e->message : "?";
             vexSetCurrentException(h.savedChain);
           });
  std::printf("%s %s: ", name, inside ? "inside" : "outside");
  if (!c) {
    std::printf("raised \"%s\"\n", message.c_str());
  } else {
    if (!d) {
      d = dialogWith(c, plain);
      vwindowOpen(d);
    }
    settle();
    std::printf("%s rows %s; value \"%s\" row %d; laid out %d\n", order(c).c_str(), rowsOf(c).c_str(),
                vcomboboxValueGetText(vcomboboxGetValue(c)), vcomboboxGetSelectedIndex(c), rowsLaidOut(c, plain));
  }
  if (d) {
    vwindowClose(d);
    vwindowDestroy(d);
  } else {
    vinstanceDestroy(plain);
    if (box) vinstanceDestroy(box);
  }
  vresourceCloseFile(root);
}

int ordering() {
  const std::pair<const char*, Way> ways[] = {
      {"sort", bySort}, {"auto-sort on", byAutoSortOn}, {"appended", byAppending}, {"loaded", byLoading}};
  for (const auto& [name, way] : ways)
    for (bool inside : {false, true}) orderOnce(name, way, inside);
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
  else if (mode == "values") status = values();
  else if (mode == "forms") status = forms();
  else if (mode == "ordering") status = ordering();
  else if (mode == "strings") status = stringCombos();
  else if (mode == "shots" && count > 2) status = shots(args[2]);
  else if (mode == "stringshots" && count > 2) status = stringShots(args[2]);
  else std::fprintf(stderr, "usage: combobox_probe [-laf LOOK] keys|values|forms|ordering|strings|shots OUT|stringshots OUT\n");
  std::fflush(stdout);
  return status;
}

}  // namespace

int main(int argc, char** argv) { vsysMain(argc, argv, probeMain); }
