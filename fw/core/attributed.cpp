#include "fw/core/attributed.h"

#include "fw/core/debug.h"

namespace {

struct AttributedState {
  vobjectAttributedClassRec* attributed;
  vcommandValueClassRec* command;
};
void** attributedSlot = nullptr;

// An argument dictionary that lives for one call.
struct StackDict {
  vdict d;
  StackDict() { vdictInit(&d, vdictHashName); }
  ~StackDict() { vdictFinish(&d); }
  StackDict(const StackDict&) = delete;
  StackDict& operator=(const StackDict&) = delete;
};

vobjectAttributedClassRec* rec(vobject* o) { return vobjectAttributedOf(o); }

bool indexOf(vobject* o, vname name, int* index) {
  vdict* table = rec(o)->attributes;
  if (!table || !vdictHas(table, name)) return false;
  *index = vdictGetInteger(table, name);
  return true;
}

void setAttribute(vobject* o, vname name, const void* value) {
  int index;
  if (indexOf(o, name, &index)) rec(o)->setAttributeByIndex(o, index, value);
}
void setAttributes(vobject* o, vdict* values) {
  vdictIterator it;
  vdictInitIterator(&it, values);
  int index;
  while (vdictNextIterator(&it))
    if (vdictIteratorValue(&it) && indexOf(o, static_cast<vname>(vdictIteratorKey(&it)), &index))
      rec(o)->setAttributeByIndex(o, index, vdictIteratorValue(&it));
}
const void* getAttribute(vobject* o, vname name) {
  int index;
  return indexOf(o, name, &index) ? rec(o)->getAttributeByIndex(o, index) : nullptr;
}
void getAttributes(vobject* o, vdict* result) {
  vdict* table = rec(o)->attributes;
  if (!table) return;
  vdictIterator it;
  vdictInitIterator(&it, table);
  while (vdictNextIterator(&it))
    if (const void* v = rec(o)->getAttributeByIndex(o, static_cast<int>(reinterpret_cast<std::intptr_t>(vdictIteratorValue(&it)))))
      vdictStore(result, vdictIteratorKey(&it), v);
}
void addContext(vobject* o, vdict* context) { vdictStore(context, vname_Operator, o); }
void setByIndexNothing(vobject*, int, const void*) {}
const void* getByIndexNothing(vobject*, int) { return nullptr; }
void nothing(vobject*) {}
void sendNothing(vobject*, vname, vdict*) {}

void notifyAttribute(vobject* o, vname name) {
  if (o->tag) rec(o)->setAttribute(o, name, vobjectQueryTag(o, o->tag, name));
}
void refresh(vobject* o) {
  StackDict d;
  rec(o)->addContext(o, &d.d);
  vdictStore(&d.d, vname_Tag, o->tag);
  if (o->tag) rec(o)->gatherCommands(o, o->tag, &d.d);
  rec(o)->setAttributes(o, &d.d);
}
int issueSelector(vobject* o, int selector, vdict*) {
  switch (selector) {
    case 0:
      return 1;
    case 1:
      rec(o)->help(o);
      return 1;
    case 2:
      rec(o)->print(o, vdebugGetConsoleOutput());
      return 1;
    default:
      return 0;
  }
}
int querySelector(vobject*, int, vdict*) { return 0; }

// "Operand" finds the object itself when its space holds the command.
const void* findCommand(vobject* o, vname kind, vname tag) {
  vcommandSpace* space = rec(o)->space;
  if (!space) return nullptr;
  if (kind == vname_Operand) return vcommandSpaceGetAttribute(space, vname_Command, tag) ? o : nullptr;
  return vcommandSpaceGetAttribute(space, kind, tag);
}
void gatherCommands(vobject* o, vname tag, vdict* result) {
  vcommandSpace* space = rec(o)->space;
  if (!space) return;
  vcommandSpaceGetAttributes(space, tag, result);
  if (vcommandSpaceGetAttribute(space, vname_Command, tag)) vdictStore(result, vname_Operand, o);
}
void setAttributeByTag(vobject* o, vname name, vdict* values) {
  if (!o->tag) return;
  if (const void* v = vdictGet(values, o->tag)) rec(o)->setAttribute(o, name, v);
}
vdict* filter(vobject* o, vname kind, vdict* values) {
  vcommandSpace* space = rec(o)->space;
  if (!space) return values;
  return vcommandSpaceRemoveDefined(space, kind == vname_Operand ? vname_Command : kind, values);
}
vobject* nextInChain(vobject* o) { return rec(o)->parent(o); }
vobject* noParent(vobject*) { return nullptr; }
vname* collectTags(vobject* o, int* count) {
  int n = 0, capacity = 8;
  auto* tags = static_cast<vname*>(vmemAlloc(sizeof(vname) * 8));
  for (vobject* p = o; p; p = rec(p)->nextInChain(p)) {
    if (!p->tag) continue;
    if (n == capacity) {
      capacity += 8;
      tags = static_cast<vname*>(vmemRealloc(tags, sizeof(vname) * static_cast<std::size_t>(capacity)));
    }
    tags[n++] = p->tag;
  }
  *count = n;
  return tags;
}

vcommandSelector* asSelector(vcommand* c) { return static_cast<vcommandSelector*>(c); }
vobject* operandOf(vdict* context) { return static_cast<vobject*>(vdictGet(context, vname_Operand)); }
int commandIssue(vcommand* self, vdict* context) {
  vobject* o = operandOf(context);
  return o ? rec(o)->issueSelector(o, asSelector(self)->selector, context) : 0;
}
int commandQuery(vcommand* self, vdict* context) {
  vobject* o = operandOf(context);
  return o ? rec(o)->querySelector(o, asSelector(self)->selector, context) : 0;
}

AttributedState* attributedState() {
  if (auto* bound = vmoduleState<AttributedState>(attributedSlot)) return bound;
  vcommandStartup();
  auto* s = static_cast<AttributedState*>(vmoduleBindSlot(attributedSlot, sizeof(AttributedState)));
  *s = AttributedState{};

  auto* cmd = vclassSpawnOf<vcommandValueClassRec>(vcommandGetDefaultSelectorClass());
  vclassSetName(cmd, vscribeLiteral("vobjectCommandClass"));
  cmd->issue = commandIssue;
  cmd->query = commandQuery;
  s->command = cmd;

  auto* a = vclassSpawnOf<vobjectAttributedClassRec>(vobjectGetDefaultClass());
  a->instanceSize = sizeof(vobject);
  a->attributes = vdictCreate(vdictHashName);
  a->pointerDict = vdictCreate(vdictHashPointer);
  a->setAttribute = setAttribute;
  a->setAttributes = setAttributes;
  a->getAttribute = getAttribute;
  a->getAttributes = getAttributes;
  a->addContext = addContext;
  a->setAttributeByIndex = setByIndexNothing;
  a->getAttributeByIndex = getByIndexNothing;
  a->reserved8 = sendNothing;
  a->send = sendNothing;
  a->reserved10 = nothing;
  a->notify = notifyAttribute;
  a->refresh = refresh;
  a->issueSelector = issueSelector;
  a->querySelector = querySelector;
  a->findCommand = findCommand;
  a->gatherCommands = gatherCommands;
  a->setAttributeByTag = setAttributeByTag;
  a->filter = filter;
  a->help = nothing;
  a->nextInChain = nextInChain;
  a->collectTags = collectTags;
  a->parent = noParent;
  // The class's commands: help (selector 1) and dump (selector 2).
  static const vcommandTableRow commands[] = {{"Help", 1}, {"Dump", 2}};
  a->space = vcommandSpaceCreate();
  vcommandSpaceAddDict(a->space, vname_Command, vcommandCreateDictFromTable(cmd, commands, 2));
  s->attributed = a;
  return s;
}

}  // namespace

vobjectAttributedClassRec* vobjectGetAttributedClass() { return attributedState()->attributed; }
vcommandValueClassRec* vobjectGetCommandClass() { return attributedState()->command; }

void vobjectSendOperand(vobject* self, vname selector) {
  StackDict d;
  vdictStore(&d.d, vname_Operand, self);
  rec(self)->send(self, selector, &d.d);
}

void vobjectSendValueChange(vobject* self, vname selector, const void* oldValue, const void* newValue) {
  StackDict d;
  vdictStore(&d.d, vname_Operand, self);
  vdictStore(&d.d, vname_OldValue, oldValue);
  vdictStore(&d.d, vname_Value, newValue);
  rec(self)->send(self, selector, &d.d);
}

void vobjectSendAttribute(vobject* self, vname name, vname key, const void* value) {
  StackDict d;
  vdictStore(&d.d, key, value);
  rec(self)->setAttributeByTag(self, name, &d.d);
}

namespace {
int runCommand(vobject* self, vname tag, vdict* context, int (*run)(vcommand*, vdict*)) {
  if (!context) vexGenerateMessage(&vexArgNullClass, "null command context");
  auto* command = static_cast<vcommand*>(const_cast<void*>(rec(self)->findCommand(self, vname_Command, tag)));
  if (!command) return 0;
  vdictStore(context, vname_Command, command);
  if (const void* operand = rec(self)->findCommand(self, vname_Operand, tag)) vdictStore(context, vname_Operand, operand);
  return run(command, context);
}
}  // namespace

int vobjectIssueCommand(vobject* self, vname tag, vdict* context) { return runCommand(self, tag, context, vcommandIssue); }
int vobjectQueryCommand(vobject* self, vname tag, vdict* context) { return runCommand(self, tag, context, vcommandQuery); }

int vobjectIssueTag(vobject* self, vname tag, const void* event) {
  StackDict d;
  rec(self)->addContext(self, &d.d);
  vdictStore(&d.d, vname_Tag, tag);
  if (event) vdictStore(&d.d, vname_Event, event);
  return vobjectIssueCommand(self, tag, &d.d);
}

const void* vobjectQueryTag(vobject* self, vname tag, vname key) {
  if (const void* v = rec(self)->findCommand(self, key, tag)) return v;
  StackDict d;
  rec(self)->addContext(self, &d.d);
  vdictStore(&d.d, vname_Tag, tag);
  return vobjectQueryCommand(self, tag, &d.d) ? vdictGet(&d.d, key) : nullptr;
}

void vobjectOfferChange(vobject* self, vname kind, vdict* values) {
  vdict* filtered = rec(self)->filter(self, kind, values);
  rec(self)->setAttributeByTag(self, kind, filtered);
  if (filtered != values) vdictDestroy(filtered);
}
