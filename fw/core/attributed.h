// Attributed objects: named attributes, change notifications, command
// selectors and the class's command space; the command that forwards to
// the object under "Operand"; the send helpers.
#pragma once
#include "fw/core/command.h"

struct vobjectAttributedClassRec : vobjectClassRec {
  vdict* attributes;           // attribute name -> index
  vcommandSpace* space;        // the class's commands
  vdict* pointerDict;          // keyed by pointers (key bindings)
  void (*setAttribute)(vobject* self, vname name, const void* value);
  void (*setAttributes)(vobject* self, vdict* values);
  const void* (*getAttribute)(vobject* self, vname name);
  void (*getAttributes)(vobject* self, vdict* result);
  void (*addContext)(vobject* self, vdict* context);
  void (*setAttributeByIndex)(vobject* self, int index, const void* value);
  const void* (*getAttributeByIndex)(vobject* self, int index);
  void (*reserved8)(vobject* self, vname selector, vdict* arguments);  // passed on by containers
  void (*send)(vobject* self, vname selector, vdict* arguments);
  void (*reserved10)(vobject* self);
  void (*notify)(vobject* self, vname name);
  void (*refresh)(vobject* self);
  int (*issueSelector)(vobject* self, int selector, vdict* context);
  int (*querySelector)(vobject* self, int selector, vdict* context);
  const void* (*findCommand)(vobject* self, vname kind, vname tag);
  void (*gatherCommands)(vobject* self, vname tag, vdict* result);
  void (*setAttributeByTag)(vobject* self, vname name, vdict* values);
  vdict* (*filter)(vobject* self, vname kind, vdict* values);
  void (*help)(vobject* self);
  vobject* (*nextInChain)(vobject* self);
  vname* (*collectTags)(vobject* self, int* count);
  vobject* (*parent)(vobject* self);
};

vobjectAttributedClassRec* vobjectGetAttributedClass();
vcommandValueClassRec* vobjectGetCommandClass();
inline vobjectAttributedClassRec* vobjectAttributedOf(vobject* o) { return vclassRec<vobjectAttributedClassRec>(o); }

void vobjectSendOperand(vobject* self, vname selector);
void vobjectSendValueChange(vobject* self, vname selector, const void* oldValue, const void* newValue);
void vobjectSendAttribute(vobject* self, vname name, vname key, const void* value);
int vobjectIssueCommand(vobject* self, vname tag, vdict* context);
int vobjectQueryCommand(vobject* self, vname tag, vdict* context);
int vobjectIssueTag(vobject* self, vname tag, const void* event);
const void* vobjectQueryTag(vobject* self, vname tag, vname key);
void vobjectOfferChange(vobject* self, vname kind, vdict* values);
