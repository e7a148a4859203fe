#include "fw/data/res.h"

void _vresWireScalarDelegates();

namespace {

struct ResState {
  vresClassRec* cls;
  vclass* adaptorClasses[11];
  vinstance* adaptors[11];
};
void** resSlot = nullptr;

vres* resOf(vscrap* w) { return static_cast<vres*>(w->stack[w->depth]); }

// Kind codes 1-10 and their value classes; entype compares in this order.
struct KindRow {
  int kind;
  vclass* (*scrapClass)();
  const char* adaptorName;
};
constexpr KindRow entypeOrder[] = {
    {vresARRAY, []() -> vclass* { return vscrapGetArrayClass(); }, "vresArrayDelegate"},
    {vresBOOLEAN, []() -> vclass* { return vscrapGetBooleanClass(); }, "vresBooleanDelegate"},
    {vresCHARACTER, []() -> vclass* { return vscrapGetCharacterClass(); }, "vresCharacterDelegate"},
    {vresSTRING, []() -> vclass* { return vscrapGetStringClass(); }, "vresStringDelegate"},
    {vresDICTIONARY, []() -> vclass* { return vscrapGetDictionaryClass(); }, "vresDictionaryDelegate"},
    {vresFIXED, []() -> vclass* { return vscrapGetFixedClass(); }, "vresFixedDelegate"},
    {vresFLOAT, []() -> vclass* { return vscrapGetFloatClass(); }, "vresFloatDelegate"},
    {vresINTEGER, []() -> vclass* { return vscrapGetIntegerClass(); }, "vresIntegerDelegate"},
    {vresOPAQUE, []() -> vclass* { return vscrapGetBlockClass(); }, "vresOpaqueDelegate"},
    {vresTAG, []() -> vclass* { return vscrapGetTagClass(); }, "vresTagDelegate"},
};

vinstance* resNextDelegate(vinstance* self, vinstance* previous, int) {
  if (previous) return nullptr;
  int kind = vresGetType(static_cast<vres*>(self)) & 0xFF;
  return kind >= 1 && kind <= 10 ? vresGetAdaptor(kind) : nullptr;
}

int resEntype(vscrap* w, vclass* scrapClass) {
  vres* object = resOf(w);
  if (vresGetType(object) != vresUNTYPED) return 0;
  for (const KindRow& row : entypeOrder)
    if (row.scrapClass() == scrapClass) {
      vresSetType(object, row.kind);
      return 1;
    }
  return 0;
}

ResState* state() {
  if (auto* bound = vmoduleState<ResState>(resSlot)) return bound;
  vclass* typeable = vscrapGetTypeableClass();
  auto* s = static_cast<ResState*>(vmoduleBindSlot(resSlot, sizeof(ResState)));
  *s = ResState{};
  auto* c = vclassSpawnOf<vresClassRec>(typeable);
  vclassSetName(c, vscribeLiteral("vres"));
  c->instanceSize = sizeof(vres);
  c->init = [](vinstance* o) { static_cast<vres*>(o)->store = nullptr; };
  c->nextDelegate = resNextDelegate;
  c->entype = resEntype;
  c->getKind = [](vres*) { return int{vresUNTYPED}; };
  c->setKind = [](vres*, int) {};
  c->getValue = [](vres*) { return std::uint32_t{0}; };
  c->setValue = [](vres*, std::uint32_t) {};
  c->getParent = [](vres*) { return std::uint32_t{1}; };
  c->getId = [](vres*) { return std::uint32_t{0}; };
  c->remove = [](vres* o) { vinstanceDestroy(o); };
  s->cls = c;
  for (const KindRow& row : entypeOrder) {
    vclass* adaptor = vclassSpawn(row.scrapClass(), row.scrapClass()->recordSize);
    vclassSetName(adaptor, vscribeLiteral(row.adaptorName));
    adaptor->instanceSize = sizeof(vinstance);
    s->adaptorClasses[row.kind] = adaptor;
    s->adaptors[row.kind] = vinstanceCreate(adaptor);
  }
  _vresWireScalarDelegates();
  return s;
}

}  // namespace

vresClassRec* vresGetDefaultClass() { return state()->cls; }

vres* vresCreate(vresStore* store, vclass* cls) {
  auto* o = static_cast<vres*>(vinstanceCreate(cls));
  o->store = store;
  return o;
}

void vresInit(vres* storage, vresStore* store, vclass* cls) {
  vinstanceInit(storage, cls);
  storage->store = store;
}

int vresGetType(vres* object) {
  auto* rec = vclassRec<vresClassRec>(object);
  int kind = rec->getKind(object);
  if (kind == vresREFERENCE && object->store) return object->store->kindOf(object->store, rec->getValue(object));
  return kind;
}

void vresSetType(vres* object, int kind) {
  if (vresGetType(object) != kind) vclassRec<vresClassRec>(object)->setKind(object, kind);
}

vclass* vresGetScrapClass(int kind) {
  for (const KindRow& row : entypeOrder)
    if (row.kind == kind) return row.scrapClass();
  return nullptr;
}
vclass* vresGetAdaptorClass(int kind) { return kind >= 1 && kind <= 10 ? state()->adaptorClasses[kind] : nullptr; }
vinstance* vresGetAdaptor(int kind) { return kind >= 1 && kind <= 10 ? state()->adaptors[kind] : nullptr; }
