// Undo actions, groups, the open top action and the bounded undo stack.
#include "fw/data/undo.h"

#include <cstring>
#include <string>

#include "fw/core/attributed.h"
#include "fw/core/mem.h"

namespace {

struct Classes {
  vundoActionClassRec* action;
  vundoActionClassRec* list;
  vundoActionClassRec* top;
  vundoActionClassRec* custom;
};
void** classSlot = nullptr;

vundoActionClassRec* rec(vundoAction* a) { return vclassRec<vundoActionClassRec>(a); }

void toggle(vundoAction* a) { a->state = a->state == vundoDONE ? vundoUNDONE : vundoDONE; }

// ---- actions
void actionInit(vinstance* self) { static_cast<vundoAction*>(self)->state = vundoNEW; }
const char* actionName(vundoAction* self) {
  const char* name = rec(self)->name;
  return name ? name : "";
}
void actionPerform(vundoAction* self) { toggle(self); }

void listInit(vinstance* self) {
  actionInit(self);
  auto* l = static_cast<vundoActionList*>(self);
  l->actions = nullptr;
  l->count = l->capacity = 0;
  l->name = nullptr;
  l->name = rec(l)->getName(l);
}
void listDestroy(vinstance* self) {
  auto* l = static_cast<vundoActionList*>(self);
  while (l->count) vinstanceDestroy(l->actions[--l->count]);
  vmemFree(l->actions);
  vinstanceGetDefaultClass()->destroy(self);
}
const char* listName(vundoAction* self) {
  const char* name = static_cast<vundoActionList*>(self)->name;
  return name ? name : actionName(self);
}
void listPerform(vundoAction* self) {
  auto* l = static_cast<vundoActionList*>(self);
  if (l->state == vundoDONE)
    for (int i = l->count - 1; i >= 0; --i) vundoActionPerform(l->actions[i]);
  else if (l->state == vundoUNDONE)
    for (int i = 0; i < l->count; ++i) vundoActionPerform(l->actions[i]);
  toggle(l);
}

void topInit(vinstance* self) {
  static_cast<vundoActionTop*>(self)->tag = nullptr;
  listInit(self);
}
const char* topName(vundoAction* self) {
  vname tag = static_cast<vundoActionTop*>(self)->tag;
  return tag ? tag : "";
}

void customInit(vinstance* self) {
  actionInit(self);
  auto* c = static_cast<vundoActionCustom*>(self);
  c->callback = nullptr;
  c->data = nullptr;
  c->client = nullptr;
}
void customDestroy(vinstance* self) {
  auto* c = static_cast<vundoActionCustom*>(self);
  if (c->callback) c->callback(c->client, c->data, 3);
  vmemFree(c->data);
  vinstanceGetDefaultClass()->destroy(self);
}
void customPerform(vundoAction* self) {
  auto* c = static_cast<vundoActionCustom*>(self);
  int code = c->state == vundoNEW ? 0 : c->state == vundoDONE ? 1 : 2;
  if (c->callback) c->callback(c->client, c->data, code);
  toggle(c);
}

vundoActionClassRec* spawn(vclass* super, const char* name, std::size_t size) {
  auto* cls = vclassSpawnOf<vundoActionClassRec>(super);
  vclassSetName(cls, vscribeLiteral(name));
  vclassSetInstanceSize(cls, size);
  return cls;
}

Classes& classes() {
  if (!*vmoduleSlot(classSlot)) {
    auto* a = spawn(vinstanceGetDefaultClass(), "vundoAction", sizeof(vundoAction));
    a->init = actionInit;
    a->name = nullptr;
    a->getName = actionName;
    a->perform = actionPerform;
    auto* l = spawn(a, "vundoActionList", sizeof(vundoActionList));
    l->init = listInit;
    l->destroy = listDestroy;
    l->getName = listName;
    l->perform = listPerform;
    auto* t = spawn(l, "vundoActionTop", sizeof(vundoActionTop));
    t->init = topInit;
    t->getName = topName;
    auto* c = spawn(a, "vundoActionCustom", sizeof(vundoActionCustom));
    c->init = customInit;
    c->destroy = customDestroy;
    c->perform = customPerform;
    *static_cast<Classes*>(vmoduleBindSlot(classSlot, sizeof(Classes))) = {a, l, t, c};
  }
  return *static_cast<Classes*>(*classSlot);
}

// ---- the ring
std::uint16_t next(const vundoList* l, std::uint16_t i) { return static_cast<std::uint16_t>((i + 1) % l->size); }
std::uint16_t prev(const vundoList* l, std::uint16_t i) {
  return static_cast<std::uint16_t>((i + l->size - 1) % l->size);
}
std::int32_t distance(const vundoList* l, std::uint16_t from, std::uint16_t to) {
  return (to + l->size - from) % l->size;
}

void checkLimit(std::int32_t limit) {
  if (limit < 1 || limit > vundoMAX_LIMIT) _vexGenerate(&vexArgRangeClass, vexEnd);
}

void dropRedo(vundoList* l) {
  while (l->end != l->current) {
    l->end = prev(l, l->end);
    vinstanceDestroy(l->ring[l->end]);
    l->ring[l->end] = nullptr;
  }
  // A mark past the new end names a state that no longer exists.
  if (l->savedMark != vundoNO_MARK && l->savedMark != l->end &&
      distance(l, l->oldest, l->savedMark) > distance(l, l->oldest, l->end))
    l->savedMark = vundoNO_MARK;
}

void _vundoListNotify(vundoList* l) {
  struct Send {
    vname attribute;
    vname vundoList::*command;
  };
  const Send sends[] = {{vname_Title, &vundoList::undoTag},
                        {vname_State, &vundoList::undoTag},
                        {vname_Title, &vundoList::redoTag},
                        {vname_State, &vundoList::redoTag},
                        {vname_State, &vundoList::saveTag}};
  for (std::int32_t i = l->observerCount - 1; i >= 0; --i) {
    vobject* o = l->observers[i];
    for (const Send& s : sends) {
      const void* value = vobjectQueryTag(o, l->*s.command, s.attribute);
      vobjectSendAttribute(o, s.attribute, l->*s.command, value);
    }
  }
}

const char* label(vundoAction* action, char (&buffer)[128]) {
  vscribe* s = vundoScribeLabel(action);
  std::size_t n = vscribeGetLengthBounded(s, sizeof buffer - 1);
  char* end = vscribeReadBounded(s, buffer, n);
  *end = 0;
  return buffer;
}

}  // namespace

vundoActionClassRec* vundoGetActionClass() { return classes().action; }
vundoActionClassRec* vundoGetActionListClass() { return classes().list; }
vundoActionClassRec* vundoGetActionTopClass() { return classes().top; }
vundoActionClassRec* vundoGetActionCustomClass() { return classes().custom; }
void vundoInstallStartup() { vmoduleInstallStartup("vundoGetActionListClass", [] { vundoGetActionListClass(); }); }

void vundoActionPerform(vundoAction* action) { rec(action)->perform(action); }
const char* vundoActionGetName(vundoAction* action) { return rec(action)->getName(action); }
void vundoActionDestroy(vundoAction* action) { vinstanceDestroy(action); }

vundoActionList* vundoActionListCreate(vclass* cls) {
  return static_cast<vundoActionList*>(vinstanceCreate(cls ? cls : vundoGetActionListClass()));
}

void vundoActionListAppend(vundoActionList* list, vundoAction* action) {
  if (!list || !action) _vexGenerate(&vexArgNullClass, vexEnd);
  if (action->state != vundoDONE) vexGenerateMessage(&vexArgClass, "undo action is not done");
  if (list->count == list->capacity) {
    if (list->capacity == UINT16_MAX) vexGenerateMessage(&vexArgRangeClass, "too many actions in an undo group");
    std::uint32_t cap = list->count < 2 ? 4u : 2u * list->count;
    if (cap > UINT16_MAX) cap = UINT16_MAX;
    list->actions = static_cast<vundoAction**>(vmemRealloc(list->actions, vmemArraySize(cap, sizeof(vundoAction*))));
    list->capacity = static_cast<std::uint16_t>(cap);
  }
  list->actions[list->count++] = action;
}

vscribe* vundoScribeLabel(vundoAction* action) {
  if (!action) return vscribeLiteral("Undo");
  return vscribeConcat(vscribeLiteral(action->state == vundoDONE ? "Undo " : "Redo "),
                       vscribeCString(vundoActionGetName(action)), nullptr);
}

vundo* vundoCreate(std::int32_t limit) {
  vundoList* list = vundoListCreate(limit);
  auto* u = static_cast<vundo*>(vmemAlloc(sizeof(vundo)));
  u->list = list;
  u->top = static_cast<vundoActionTop*>(vinstanceCreate(vundoGetActionTopClass()));
  return u;
}

void vundoDestroy(vundo* u) {
  if (!u) return;
  vinstanceDestroy(u->top);
  vundoListDestroy(u->list);
  vmemFree(u);
}

void vundoAddCustomAction(vundo* u, vundoCallback callback, const void* data, std::size_t size) {
  auto* c = static_cast<vundoActionCustom*>(vinstanceCreate(vundoGetActionCustomClass()));
  c->callback = callback;
  c->client = u;
  if (size) {
    c->data = vmemAlloc(size);
    std::memcpy(c->data, data, size);
  }
  vundoActionPerform(c);
  vundoActionListAppend(u->top, c);
}

void vundoCloseTopAction(vundo* u, vscribe* name) {
  vundoActionTop* top = u->top;
  top->tag = name ? vnameIntern(name) : nullptr;
  if (!top->count) return;
  vundoActionPerform(top);
  u->top = static_cast<vundoActionTop*>(vinstanceCreate(vundoGetActionTopClass()));
  vundoListPush(u->list, top);
}

const char* vundoGetUndoLabel(vundo* u) {
  static char buffer[128];
  return label(vundoListPeekUndo(u->list), buffer);
}

const char* vundoGetRedoLabel(vundo* u) {
  static char buffer[128];
  vundoAction* a = vundoListPeekRedo(u->list);
  if (!a) return std::strcpy(buffer, "Redo");
  return label(a, buffer);
}

vundoList* vundoListCreate(std::int32_t limit) {
  checkLimit(limit);
  auto* l = static_cast<vundoList*>(vmemAllocClear(sizeof(vundoList)));
  l->size = static_cast<std::uint16_t>(limit + 1);
  l->ring = static_cast<vundoAction**>(vmemAllocClear(vmemArraySize(l->size, sizeof(vundoAction*))));
  l->savedMark = vundoNO_MARK;
  l->undoTag = vnameInternLiteral("Undo");
  l->redoTag = vnameInternLiteral("Redo");
  l->saveTag = vnameInternLiteral("Save");
  return l;
}

void vundoListDestroy(vundoList* l) {
  if (!l) return;
  l->observerCount = 0;
  vundoListClear(l);
  vmemFree(l->ring);
  vmemFree(l->observers);
  vmemFree(l);
}

void vundoListPush(vundoList* l, vundoAction* action) {
  if (!action) _vexGenerate(&vexArgNullClass, vexEnd);
  if (action->state != vundoDONE) vexGenerateMessage(&vexArgClass, "undo action is not done");
  dropRedo(l);
  if (next(l, l->end) == l->oldest) {
    vinstanceDestroy(l->ring[l->oldest]);
    l->ring[l->oldest] = nullptr;
    if (l->savedMark == l->oldest) l->savedMark = vundoNO_MARK;
    l->oldest = next(l, l->oldest);
  }
  l->ring[l->end] = action;
  l->end = next(l, l->end);
  l->current = l->end;
  _vundoListNotify(l);
}

vundoAction* vundoListPeekUndo(vundoList* l) { return l->current == l->oldest ? nullptr : l->ring[prev(l, l->current)]; }
vundoAction* vundoListPeekRedo(vundoList* l) { return l->current == l->end ? nullptr : l->ring[l->current]; }

void vundoListUndo(vundoList* l) {
  if (l->current == l->oldest) vexGenerateMessage(&vexArgClass, "nothing to undo");
  l->current = prev(l, l->current);
  vundoActionPerform(l->ring[l->current]);
  _vundoListNotify(l);
}

void vundoListRedo(vundoList* l) {
  if (l->current == l->end) vexGenerateMessage(&vexArgClass, "nothing to redo");
  vundoActionPerform(l->ring[l->current]);
  l->current = next(l, l->current);
  _vundoListNotify(l);
}

void vundoListClear(vundoList* l) {
  dropRedo(l);
  for (std::uint16_t i = l->oldest; i != l->end; i = next(l, i)) {
    vinstanceDestroy(l->ring[i]);
    l->ring[i] = nullptr;
  }
  l->savedMark = l->savedMark == l->oldest ? 0 : vundoNO_MARK;
  l->oldest = l->end = l->current = 0;
  _vundoListNotify(l);
}

void vundoListSetLimit(vundoList* l, std::int32_t limit) {
  checkLimit(limit);
  std::int32_t undoable = distance(l, l->oldest, l->current);
  std::int32_t redoable = distance(l, l->current, l->end);
  std::int32_t keepUndo = undoable < limit ? undoable : limit;
  std::int32_t keepRedo = redoable < limit - keepUndo ? redoable : limit - keepUndo;
  std::int32_t dropped = undoable - keepUndo;
  std::int32_t mark = l->savedMark == vundoNO_MARK ? -1 : distance(l, l->oldest, l->savedMark) - dropped;
  auto* ring = static_cast<vundoAction**>(vmemAllocClear(vmemArraySize(static_cast<std::size_t>(limit) + 1, sizeof(vundoAction*))));
  std::int32_t k = 0;
  for (std::uint16_t i = l->oldest; i != l->end; i = next(l, i), ++k) {
    bool kept = k >= dropped && k < undoable + keepRedo;
    if (kept)
      ring[k - dropped] = l->ring[i];
    else
      vinstanceDestroy(l->ring[i]);
  }
  vmemFree(l->ring);
  l->ring = ring;
  l->size = static_cast<std::uint16_t>(limit + 1);
  l->oldest = 0;
  l->current = static_cast<std::uint16_t>(keepUndo);
  l->end = static_cast<std::uint16_t>(keepUndo + keepRedo);
  l->savedMark = mark >= 0 && mark <= keepUndo + keepRedo ? static_cast<std::uint16_t>(mark) : vundoNO_MARK;
  _vundoListNotify(l);
}

void vundoListMarkSaved(vundoList* l) {
  l->savedMark = l->current;
  _vundoListNotify(l);
}

int vundoListIsSaved(const vundoList* l) { return l->savedMark == l->current; }

void vundoListAddObserver(vundoList* l, vobject* observer) {
  if (l->observerCount == l->observerCapacity) {
    std::int32_t cap = l->observerCapacity ? l->observerCapacity * 2 : 2;
    l->observers = static_cast<vobject**>(vmemRealloc(l->observers, vmemArraySize(static_cast<std::size_t>(cap), sizeof(vobject*))));
    l->observerCapacity = cap;
  }
  l->observers[l->observerCount++] = observer;
}

void vundoListRemoveObserver(vundoList* l, vobject* observer) {
  for (std::int32_t i = 0; i < l->observerCount; ++i)
    if (l->observers[i] == observer) {
      std::memmove(l->observers + i, l->observers + i + 1, sizeof(vobject*) * static_cast<std::size_t>(l->observerCount - i - 1));
      --l->observerCount;
      return;
    }
}
