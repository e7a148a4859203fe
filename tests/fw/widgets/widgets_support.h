// Shared helpers of the widget tests: what a body raised (raisedClass),
// and a counted element class for containers.
#pragma once
#include <vector>

#include "fw/core/attributed.h"
#include "fw/core/ex.h"
#include "fw/core/fw_support.h"

// An attributed element that records destroys, refreshes and forwarded calls.
struct Element : vobject {
  int id;
};
struct ElementLog {
  std::vector<int> destroyed, refreshed, forwarded, offered;
  void clear() { destroyed.clear(), refreshed.clear(), forwarded.clear(), offered.clear(); }
};
inline ElementLog elementLog;

inline vobjectAttributedClassRec* elementClass() {
  static vobjectAttributedClassRec* c = [] {
    auto* r = vclassSpawnOf<vobjectAttributedClassRec>(vobjectGetAttributedClass());
    vclassSetName(r, vscribeLiteral("testElement"));
    r->instanceSize = sizeof(Element);
    r->destroy = [](vinstance* self) {
      elementLog.destroyed.push_back(static_cast<Element*>(self)->id);
      vobjectGetAttributedClass()->destroy(self);
    };
    r->copy = [](vobject* from, vobject* to) {
      vobjectGetAttributedClass()->copy(from, to);
      static_cast<Element*>(to)->id = static_cast<Element*>(from)->id;
    };
    r->copyInit = r->copy;
    r->loadInit = [](vobject* self, vresource res) {
      vobjectGetAttributedClass()->loadInit(self, res);
      std::int32_t id = 0;
      vresourceTestGetInteger(res, vname_Index, &id);
      static_cast<Element*>(self)->id = id;
    };
    r->store = [](vobject* self, vresource res) {
      vobjectGetAttributedClass()->store(self, res);
      vresourceSetIntegerAt(res, vname_Index, static_cast<Element*>(self)->id);
    };
    r->refresh = [](vobject* self) { elementLog.refreshed.push_back(static_cast<Element*>(self)->id); };
    r->reserved8 = [](vobject* self, vname, vdict*) { elementLog.forwarded.push_back(static_cast<Element*>(self)->id); };
    r->setAttributeByTag = [](vobject* self, vname, vdict* values) {
      if (self->tag && vdictHas(values, self->tag)) elementLog.offered.push_back(static_cast<Element*>(self)->id);
    };
    return r;
  }();
  return c;
}

inline Element* element(int id, vname tag = nullptr) {
  auto* e = static_cast<Element*>(vinstanceCreate(elementClass()));
  e->id = id;
  e->tag = tag;
  return e;
}
