// String combos: the two classes sharing one implementation that runs the
// standard or the pop-down combo box's operations by the object's class,
// the observer that mirrors the string list's rows into the values, the
// string operations, committing with the typed-text check, sorting by
// bytes and the stored form.
#include "fw/widgets/controls/combo.h"

#include <algorithm>
#include <cstring>

#include "fw/core/mem.h"
#include "fw/data/vresource.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/classops.h"
#include "fw/widgets/look/laf.h"

namespace {

struct Module {
  vcomboStandardClassRec* standard;
  vcomboStandardClassRec* popdown;
  vlistObserverClassRec* observerClass;
  vlistitemClassRec* listClass;
  vcomboboxValueClassRec* valueClass;
  int sortGuard;  // 1 while a sort may start
};
void** moduleSlot = nullptr;
Module* module();

vcomboStandard* asCombo(void* o) { return static_cast<vcomboStandard*>(static_cast<vinstance*>(o)); }
vcomboStandardClassRec* rec(vcomboStandard* c) { return vcomboClassOf(c); }
vname key(const char* text) { return vnameInternLiteral(text); }
int lookId() { return vlafGetCurrent()->id; }

// The standard or the pop-down combo box's operations, by the object's class.
bool popdownVariant(const void* o) {
  return vclassIsSubclass(static_cast<const vobject*>(o)->cls, module()->popdown);
}
vcomboboxStandardClassRec* base(const void* o) {
  return popdownVariant(o) ? static_cast<vcomboboxStandardClassRec*>(vcomboboxPopdownGetDefaultClass())
                           : vcomboboxGetDefaultClass();
}

vlist* listOf(vcomboStandard* c) { return c->choice->list; }
std::int32_t rows(vcomboStandard* c) { return c->choice && listOf(c) ? vlistGetRowCount(listOf(c)) : 0; }

// ---- The mirror: one value a row, sharing the row's string.

const char* cellText(vlist* l, std::int32_t row) {
  if (vlistGetColumnCount(l) < 1) return "";
  const char* s = reinterpret_cast<const char*>(vlistGetCell(l, row, 0));
  return s ? s : "";
}

void share(vcomboboxValue* v, const char* text) {
  if (v->flags & vcomboboxValueTEXT_OWNED) vmemFree(v->text);
  v->flags &= ~vcomboboxValueTEXT_OWNED;
  v->text = const_cast<char*>(text);
}

vcomboStandard* comboOf(void* receiver) { return asCombo(static_cast<vlistObserver*>(receiver)->client); }

vcomboboxValue* mirrorValue(vcomboStandard* c) {
  vcomboboxValue* v = vcomboboxClassOf(c)->createValue(c);
  v->owner = c;
  return v;
}

void takeRow(vcomboStandard* c, std::int32_t row) {
  if (row >= 0 && row < vcomboboxCount(c) && row < rows(c)) share(vcomboboxAt(c, row), cellText(listOf(c), row));
}

void dropAll(vcomboStandard* c) {
  while (vcomboboxCount(c) > 0) {
    vcomboboxValue* v = vcomboboxAt(c, vcomboboxCount(c) - 1);
    vobjectListRemoveAt(c->values, vcomboboxCount(c) - 1);
    vinstanceDestroy(v);
  }
}

void resetMirror(vcomboStandard* c) {
  dropAll(c);
  for (std::int32_t r = 0; r < rows(c); ++r) {
    vobjectListAppend(c->values, mirrorValue(c));
    takeRow(c, r);
  }
}

void insertValues(vcomboStandard* c, std::int32_t at, std::int32_t count) {
  for (std::int32_t k = 0; k < count; ++k) {
    vobjectListAppend(c->values, mirrorValue(c));
    vobjectListMove(c->values, vcomboboxCount(c) - 1, at + k);
    takeRow(c, at + k);
  }
}

void deleteValues(vcomboStandard* c, std::int32_t at, std::int32_t count) {
  for (std::int32_t k = 0; k < count && at < vcomboboxCount(c); ++k) {
    vcomboboxValue* v = vcomboboxAt(c, at);
    vobjectListRemoveAt(c->values, at);
    vinstanceDestroy(v);
  }
}

void takeRows(vcomboStandard* c, std::int32_t first, std::int32_t last) {
  for (std::int32_t r = first; r <= last; ++r) takeRow(c, r);
}

// The one-row notices follow the block notices of the same change: only
// the block notices are mirrored.
vlistObserverClassRec* makeObserverClass() {
  auto* o = vclassSpawnOf<vlistObserverClassRec>(vlistObserverGetDefaultClass());
  vclassSetName(o, vscribeLiteral("vcomboListObserver"));
  o->instanceSize = sizeof(vcomboListObserver);
  o->cellChanged = [](void* r, std::int32_t row, std::int32_t column) {
    if (column == 0) takeRow(comboOf(r), row);
  };
  o->inserted = [](void* r, std::int32_t at, std::int32_t count, int axis) {
    if (axis == vlistROWS) insertValues(comboOf(r), at, count);
  };
  o->deleted = [](void* r, std::int32_t at, std::int32_t count, int axis) {
    if (axis == vlistROWS) deleteValues(comboOf(r), at, count);
  };
  o->exchanged = [](void* r, std::int32_t a, std::int32_t b, std::int32_t count, int axis) {
    if (axis != vlistROWS) return;
    takeRows(comboOf(r), a, a + count - 1);
    takeRows(comboOf(r), b, b + count - 1);
  };
  o->moved = [](void* r, std::int32_t from, std::int32_t to, std::int32_t count, int axis) {
    if (axis == vlistROWS) takeRows(comboOf(r), std::min(from, to), std::max(from, to) + count - 1);
  };
  o->storageReplaced = [](void* r) { resetMirror(comboOf(r)); };
  o->countChanged = [](void* r, std::int32_t, std::int32_t count, int axis) {
    if (axis != vlistROWS) return;
    vcomboStandard* c = comboOf(r);
    if (count < vcomboboxCount(c)) deleteValues(c, count, vcomboboxCount(c) - count);
    while (vcomboboxCount(c) < count) insertValues(c, vcomboboxCount(c), 1);
  };
  o->destroyed = [](void* r) { dropAll(comboOf(r)); };
  o->sorting = [](void* r, int phase) {
    if (phase != 1) resetMirror(comboOf(r));
  };
  return o;
}

// The observer of the list box's list, made anew for the list in place.
void observeList(vcomboStandard* c) {
  auto* o = static_cast<vcomboListObserver*>(vinstanceCreate(module()->observerClass));
  o->client = c;
  o->flags |= 0x1;
  o->forward = 0;
  c->observer = o;
  vlistAddObserver(listOf(c), o);
  resetMirror(c);
}

// Made with flag 0x1, the observer belongs to its list, which destroys it
// when it lets it go.
void dropObserver(vcomboStandard* c) {
  vlistObserver* o = c->observer;
  c->observer = nullptr;
  if (!o) return;
  if (o->list) vlistRemoveObserver(o->list, o);
  else vinstanceDestroy(o);
}

// ---- The combo's own part of init, copy and copy-init.

void comboPart(vcomboStandard* c, vcomboValidateFunc validate) {
  if (!popdownVariant(c)) {
    c->popdownFlags = 0;
    c->button = nullptr;
    c->dialog = nullptr;
  }
  c->validate = validate;
  c->observer = nullptr;
  observeList(c);
  vcomboboxSetCommitMode(c, 5);
  vcomboboxSetTypingMode(c, 0);
  vcomboboxSetPositionMode(c, 2);
}

void init(vinstance* self) {
  vcomboStandard* c = asCombo(self);
  c->observer = nullptr;
  base(c)->init(self);
  comboPart(c, nullptr);
}

void destroy(vinstance* self) {
  vcomboStandard* c = asCombo(self);
  dropObserver(c);
  dropAll(c);
  base(c)->destroy(self);
}

void copy(vobject* source, vobject* destination) {
  if (source == destination) return;
  vcomboStandard* to = asCombo(destination);
  dropObserver(to);
  base(to)->copy(source, destination);
  dropObserver(to);
  comboPart(to, asCombo(source)->validate);
}

void copyInit(vobject* source, vobject* destination) {
  vcomboStandard* to = asCombo(destination);
  base(source)->copyInit(source, destination);
  to->observer = nullptr;
  comboPart(to, asCombo(source)->validate);
}

// ---- Replaced combo-box slots.

int compareValues(vcomboboxStandard* c, vcomboboxValue* a, vcomboboxValue* b) {
  return rec(asCombo(c))->compareStrings(vcomboboxValueGetText(a), vcomboboxValueGetText(b));
}

// The list owns a copy of the string; the observer shares it with the value.
void choiceSetRow(vcomboboxStandard* box, vcomboboxValue* v, int row) {
  vcomboStandard* c = asCombo(box);
  vlist* l = listOf(c);
  if (vlistGetColumnCount(l) < 1) vlistSetColumnCount(l, 1);
  vliststrSetCellScribed(static_cast<vliststr*>(l), row, 0, vscribeCString(vcomboboxValueGetText(v)));
}

template <class Body>
void withTemporary(vcomboStandard* c, vscribe* text, Body body) {
  vcomboboxValue* v = vcomboboxClassOf(c)->createValue(c);
  vcomboboxValueSetText(v, text);
  vexGuard([&] { body(v); },
           [&](vexHandler&) {
             vinstanceDestroy(v);
             _vexGenerate(nullptr, vexEnd);
           });
  vinstanceDestroy(v);
}

void makeCurrent(vcomboStandard* c, vcomboboxValue* v) {
  auto* clone = static_cast<vcomboboxValue*>(vobjectClone(v));
  vexGuard([&] { vcomboboxSetValue(c, clone); },
           [&](vexHandler&) {
             vinstanceDestroy(clone);
             _vexGenerate(nullptr, vexEnd);
           });
  vinstanceDestroy(clone);
}

// An exact match or an accepted new string stands; a refused one gives
// way to the nearest choice, the greater first.
void commit(vcomboboxStandard* box, vcomboboxValue* value) {
  vcomboStandard* c = asCombo(box);
  auto body = [&](vcomboboxValue* v) {
    if (vcomboboxFindValue(c, v) >= 0 || !c->validate || c->validate(c, vcomboboxValueGetText(v)))
      return makeCurrent(c, v);
    if (vcomboboxCount(c) == 0) return;
    int above = -1, below = -1;
    vcomboboxClassOf(c)->findNeighbours(c, v, &above, &below);
    vcomboboxSelectIndex(c, above >= 0 ? above : below);
  };
  if (value) return body(value);
  withTemporary(c, vscribeLiteral(""), body);
}

vcomboboxChoicebox* createChoicebox(vcomboboxStandard* box) {
  vcomboStandard* c = asCombo(box);
  vcomboboxChoicebox* made = base(c)->createChoicebox(box);
  vlistitem* own = rec(c)->createListBox(c);
  if (own == made) return made;
  vinstanceDestroy(made);
  // The list box stands where the base's choice box would.
  return static_cast<vcomboboxChoicebox*>(own);
}

void sortSlot(vcomboboxStandard* box) {
  Module* m = module();
  if (!m->sortGuard) return;
  m->sortGuard = 0;
  vexGuard([&] { rec(asCombo(box))->sortStrings(asCombo(box)); },
           [&](vexHandler&) {
             m->sortGuard = 1;
             _vexGenerate(nullptr, vexEnd);
           });
  m->sortGuard = 1;
}

vevent* clientEvent() { return veventCreateClient(nullptr, nullptr); }

// Code 2 (a choice made) reaches the dialog item's notification too.
void notifyCombo(vcomboboxStandard* box, vevent* e, int code) {
  base(box)->notifyCombo(box, e, code);
  if (code != 2) return;
  if (e) return vdialogNotifyItem(box, e);
  vevent* made = clientEvent();
  vexGuard([&] { vdialogNotifyItem(box, made); },
           [&](vexHandler&) {
             veventDestroy(made);
             _vexGenerate(nullptr, vexEnd);
           });
  veventDestroy(made);
}

// ---- The list box.

void listNotify(vinstance* view, int code) {
  auto* list = static_cast<vlistitem*>(view);
  vcomboboxStandard* box = _vcomboboxFindStandard(list);
  if (!box || code != 3) return;
  std::int32_t row = vlistitemGetSelectedRow(list);
  if (row < 0 || (box->comboFlags & vcomboboxUPDATING)) return;
  vcomboboxSelectIndex(box, row);
  vcomboboxClassOf(box)->notifyCombo(box, nullptr, 2);
}

vlistitem* createListBox(vcomboStandard* c) {
  auto* l = static_cast<vlistitem*>(vinstanceCreate(module()->listClass));
  vlistviewSetNotify(l, listNotify);
  _vcomboboxPrepareChoiceList(c, l, vlafGetCurrent()->metric);
  if (vlistGetColumnCount(l->list) < 1) vlistSetColumnCount(l->list, 1);
  return l;
}

void listDrawFrame(vlistview* v, const vrect* r) {
  if (lookId() != vlafWINDOWS) return vlistitemGetDefaultClass()->drawFrame(v, r);
  vdrawGSave();
  vdrawSetColor(vdialogGetItemColor(v, 16));
  vdrawRectsFrame(r, 1);
  vdrawGRestore();
}

// ---- String slots.

int compareStrings(const char* a, const char* b) { return vcomboCompareEntries(a, b); }

void appendString(vcomboStandard* c, vscribe* text) {
  vlist* l = listOf(c);
  if (vlistGetColumnCount(l) < 1) vlistSetColumnCount(l, 1);
  vliststrSetCellScribed(static_cast<vliststr*>(l), vlistGetRowCount(l), 0, text);
  if (vcomboboxCount(c) == 1) vcomboboxSelectIndex(c, 0);
}

void deleteIndex(vcomboStandard* c, int index) {
  if (index < 0 || index >= rows(c)) return;
  vlist* l = listOf(c);
  vlistClassOf(l)->deleteOne(l, index, vlistROWS);
}

int findString(vcomboStandard* c, vscribe* text) {
  int found = -1;
  withTemporary(c, text, [&](vcomboboxValue* v) { found = vcomboboxFindValue(c, v); });
  return found;
}

void deleteString(vcomboStandard* c, vscribe* text) {
  int at = rec(c)->findString(c, text);
  if (at >= 0) rec(c)->deleteIndex(c, at);
}

void showString(vcomboStandard* c, vscribe* text) {
  withTemporary(c, text, [&](vcomboboxValue* v) { vcomboboxShowValue(c, v); });
}

void commitString(vcomboStandard* c, vscribe* text) {
  withTemporary(c, text, [&](vcomboboxValue* v) { vcomboboxCommit(c, v); });
}

// Only a list of the list box's model class will do; the old list loses
// its observer before it is let go.
void setList(vcomboStandard* c, vlist* list) {
  vlistitemClassRec* lc = vlistitemClassOf(c->choice);
  if (list && !vclassIsSubclass(list->cls, vlistitemGetListClass()))
    vexGenerateMessage(&vexArgClass, "vcombo: the list is not of the list box's model class");
  if (!list) list = lc->createList(c->choice);
  dropObserver(c);
  if (vlistGetColumnCount(list) < 1) vlistSetColumnCount(list, 1);
  vlistviewSetList(c->choice, list);
  observeList(c);
}

void setString(vcomboStandard* c, vscribe* text, int index) {
  vliststrSetCellScribed(static_cast<vliststr*>(listOf(c)), index, 0, text);
}

void sortStrings(vcomboStandard* c) { vcomboSortEntries(c); }

// ---- The stored form: a dialog item with the combo's own keys.

void loadInit(vobject* self, vresource resource) {
  vcomboStandard* c = asCombo(self);
  vclassRec<vobjectClassRec>(self)->init(self);
  vdialogItemClassRec* item = vdialogItemGetDefaultClass();
  auto* temporary = static_cast<vdialogItem*>(vclassAllocInstance(item));
  temporary->cls = item;
  item->loadInit(temporary, resource);
  vexGuard(
      [&] {
        item->copy(temporary, c);
        vdialogItemClassOf(c)->setFocusable(c, (temporary->flags & vdialogItemFOCUSABLE) != 0);
        vdialogItemClassOf(c)->setClickFocus(c, (temporary->flags & vdialogItemCLICK_FOCUS) != 0);
      },
      [&](vexHandler&) {
        vinstanceDestroy(temporary);
        _vexGenerate(nullptr, vexEnd);
      });
  vinstanceDestroy(temporary);
  vobjectSendOperand(c, vname_Content);
  vcomboboxSetCommitMode(c, 5);
  vcomboboxSetTypingMode(c, 0);
  vcomboboxSetPositionMode(c, 2);
  std::int32_t flags = vresourceGetInteger(resource, key("vcomboFlags"));
  vcomboboxSetModifiable(c, (flags & 0x1) != 0);
  vcomboboxSetAutoSort(c, (flags & 0x10) != 0);
  std::int32_t visible = 0;
  if (vresourceTestGetInteger(resource, key("vcomboListBoxRows"), &visible)) vcomboboxSetVisibleValues(c, visible);
  vresource texts;
  if (vresourceTestGet(resource, key("vcomboText"), &texts))
    for (std::int32_t i = 0, n = vresourceCount(texts); i < n; ++i) rec(c)->appendString(c, vresourceGetAtString(texts, i));
  if (vcomboboxCount(c) > 0) vcomboboxSelectIndex(c, 0);
}

void store(vobject* self, vresource resource) {
  vcomboStandard* c = asCombo(self);
  vdialogItemGetDefaultClass()->store(self, resource);
  std::int32_t flags = ((c->comboFlags & vcomboboxMODIFYABLE) ? 0x1 : 0) | ((c->comboFlags & vcomboboxAUTO_SORT) ? 0x10 : 0);
  vresourceSetInteger(resource, key("vcomboFlags"), flags);
  vresource found;
  if (c->visibleValues == rec(c)->defaultRows) {
    if (vresourceTestGet(resource, key("vcomboListBoxRows"), &found)) vresourceRemove(resource, key("vcomboListBoxRows"));
  } else {
    vresourceSetInteger(resource, key("vcomboListBoxRows"), c->visibleValues);
  }
  if (vcomboboxCount(c) == 0) {
    if (vresourceTestGet(resource, key("vcomboText"), &found)) vresourceRemove(resource, key("vcomboText"));
    return;
  }
  vresource texts = vresourceCreateArray(resource, key("vcomboText"), vresSTRING, vcomboboxCount(c));
  for (int i = 0; i < vcomboboxCount(c); ++i) vresourceSetAtString(texts, i, vscribeCString(vcomboboxValueGetText(vcomboboxAt(c, i))));
}

// ---- Classes.

// Private copies and clones own their strings: a row's string goes when
// the row does.
vcomboboxValueClassRec* makeValueClass() {
  auto* v = vclassSpawnOf<vcomboboxValueClassRec>(vcomboboxValueGetDefaultClass());
  vclassSetName(v, vscribeLiteral("vcomboValue"));
  v->copy = [](vobject* from, vobject* to) {
    vcomboboxValueGetDefaultClass()->copy(from, to);
    auto* d = static_cast<vcomboboxValue*>(to);
    if (!(d->flags & vcomboboxValueTEXT_OWNED) && d->text && *d->text) {
      std::size_t n = std::strlen(d->text);
      auto* own = static_cast<char*>(vmemAlloc(n + 1));
      std::memcpy(own, d->text, n + 1);
      d->text = own;
      d->flags |= vcomboboxValueTEXT_OWNED;
    }
  };
  return v;
}

void fillStandard(vcomboStandardClassRec* c) {
  c->init = init;
  c->destroy = destroy;
  c->copy = copy;
  c->copyInit = copyInit;
  c->loadInit = loadInit;
  c->store = store;
  c->issueSelector = [](vobject* o, int selector, vdict* context) { return base(o)->issueSelector(o, selector, context); };
  c->close = [](vdialogItem* i) { base(i)->close(i); };
  c->hide = [](vdialogItem* i) { base(i)->hide(i); };
  c->disable = [](vdialogItem* i) { base(i)->disable(i); };
  c->clearMarked = [](vdialogItem* i) { base(i)->clearMarked(i); };
  c->naturalSize = [](vdialogItem* i, int* w, int* h) { base(i)->naturalSize(i, w, h); };
  c->minSize = [](vdialogItem* i, int* w, int* h) { base(i)->minSize(i, w, h); };
  c->buttonDown = [](vdialogItem* i, vevent* e) { return base(i)->buttonDown(i, e); };
  c->buttonUp = [](vdialogItem* i, vevent* e) { return base(i)->buttonUp(i, e); };
  c->keyDown = [](vdialogItem* i, vevent* e) { return base(i)->keyDown(i, e); };
  c->draw = [](vdialogItem* i) { base(i)->draw(i); };
  c->lookGap = [](vcomboboxStandard* b) { return base(b)->lookGap(b); };
  c->arrange = [](vcontainer* b, const vrect* r) { base(b)->arrange(b, r); };
  c->createEntrybox = [](vcomboboxStandard* b) { return base(b)->createEntrybox(b); };
  c->createValue = [](vcomboboxStandard*) {
    return static_cast<vcomboboxValue*>(vinstanceCreate(module()->valueClass));
  };
  c->notifyCombo = notifyCombo;
  c->commit = commit;
  c->compareValues = compareValues;
  c->createChoicebox = createChoicebox;
  c->choiceSetRow = choiceSetRow;
  c->sort = sortSlot;
  c->appendString = appendString;
  c->compareStrings = compareStrings;
  c->createListBox = createListBox;
  c->deleteIndex = deleteIndex;
  c->deleteString = deleteString;
  c->findString = findString;
  c->defaultRows = 5;
  c->showString = showString;
  c->commitString = commitString;
  c->setList = setList;
  c->setString = setString;
  c->sortStrings = sortStrings;
}

Module* module() {
  if (auto* bound = vmoduleState<Module>(moduleSlot)) return bound;
  auto* m = static_cast<Module*>(vmoduleBindSlot(moduleSlot, sizeof(Module)));
  *m = Module{};
  m->sortGuard = 1;
  for (const char* tag : {"vcomboFlags", "vcomboText", "vcomboListBoxRows"}) vnameInternLiteral(tag);
  vcomboboxStandardClassRec* standardBox = vcomboboxGetDefaultClass();
  vcomboboxPopdownClassRec* popdownBox = vcomboboxPopdownGetDefaultClass();
  m->valueClass = makeValueClass();
  m->observerClass = makeObserverClass();

  auto* l = vclassSpawnOf<vlistitemClassRec>(vlistitemGetDefaultClass());
  vclassSetName(l, vscribeLiteral("vcomboListitem"));
  l->instanceSize = sizeof(vcomboListitem);
  l->cellBorder = 0;
  l->step = 3;
  l->drawFrame = listDrawFrame;
  m->listClass = l;

  auto* s = vclassSpawnOf<vcomboStandardClassRec>(popdownBox);
  vclassSetName(s, vscribeLiteral("vcomboStandard"));
  s->instanceSize = sizeof(vcomboStandard);
  fillStandard(s);
  s->space = standardBox->space;
  s->defaultWidth = standardBox->defaultWidth;
  s->defaultHeight = standardBox->defaultHeight;
  m->standard = s;

  auto* p = vclassSpawnOf<vcomboStandardClassRec>(s);
  vclassSetName(p, vscribeLiteral("vcomboPopdown"));
  p->space = popdownBox->space;
  p->defaultWidth = popdownBox->defaultWidth;
  p->defaultHeight = popdownBox->defaultHeight;
  vlafSetClassMSWSysColor(vlafCUA, 1, p, 2, 25);
  m->popdown = p;
  return m;
}

}  // namespace

vcomboStandardClassRec* vcomboGetDefaultClass() { return module()->standard; }
vcomboStandardClassRec* vcomboPopdownGetDefaultClass() { return module()->popdown; }
vcomboStandard* vcomboCreate() { return asCombo(vinstanceCreate(vcomboGetDefaultClass())); }
vcomboStandard* vcomboPopdownCreate() { return asCombo(vinstanceCreate(vcomboPopdownGetDefaultClass())); }
void vcomboStartup() { vcomboGetDefaultClass(); }
