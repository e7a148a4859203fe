// The typed accessors of resource values, and the value delegates of the
// scalar kinds that map the scrap get and set onto them.
#include <bit>
#include <cmath>

#include "fw/core/charset.h"
#include "fw/data/res.h"

namespace {

constexpr const char* notOfType[] = {
    "Resource is not of type vresUNTYPED",   "Resource is not of type vresDICTIONARY",
    "Resource is not of type vresARRAY",     "Resource is not of type vresTAG",
    "Resource is not of type vresINTEGER",   "Resource is not of type vresFIXED",
    "Resource is not of type vresFLOAT",     "Resource is not of type vresSTRING",
    "Resource is not of type vresCHARACTER", "Resource is not of type vresBOOLEAN",
    "Resource is not of type vresOPAQUE",
};

constexpr double singleMax = 3.4028234663852886e+38;

// The resource value that a delegate serves is one level above it.
vres* served(vscrap* w) { return static_cast<vres*>(w->stack[w->depth - 1]); }

template <class T, T (*get)(vres*), void (*set)(vres*, T)>
void wire(int kind) {
  auto* c = static_cast<vscrapValueClassRec<T>*>(vresGetAdaptorClass(kind));
  c->get = [](vscrap* w) { return get(served(w)); };
  c->set = [](vscrap* w, T value) { set(served(w), value); };
}

}  // namespace

std::uint32_t vresGetValueWord(vres* object) {
  auto* rec = vclassRec<vresClassRec>(object);
  std::uint32_t value = rec->getValue(object);
  if (rec->getKind(object) == vresREFERENCE && object->store) return object->store->valueOf(object->store, value);
  return value;
}

void vresSetValueWord(vres* object, std::uint32_t value) {
  auto* rec = vclassRec<vresClassRec>(object);
  if (rec->getKind(object) == vresREFERENCE && object->store)
    object->store->setValueOf(object->store, rec->getValue(object), value);
  else
    rec->setValue(object, value);
}

void vresCheckKind(vres* object, int kind) {
  if (vresGetType(object) != kind) vexGenerateMessage(&vexArgClass, notOfType[kind]);
}

void vresCheckWritable(vres* object) {
  if (object->store && object->store->readOnly) vexGenerateMessage(&vexArgClass, "Resource file is read only");
}

namespace {
std::uint32_t checkedGet(vres* object, int kind) {
  vresCheckKind(object, kind);
  return vresGetValueWord(object);
}
void checkedSet(vres* object, int kind, std::uint32_t value) {
  vresCheckKind(object, kind);
  vresCheckWritable(object);
  vresSetValueWord(object, value);
}
}  // namespace

std::int32_t vresGetInteger(vres* o) { return static_cast<std::int32_t>(checkedGet(o, vresINTEGER)); }
void vresSetInteger(vres* o, std::int32_t v) { checkedSet(o, vresINTEGER, static_cast<std::uint32_t>(v)); }
std::int32_t vresGetFixed(vres* o) { return static_cast<std::int32_t>(checkedGet(o, vresFIXED)); }
void vresSetFixed(vres* o, std::int32_t v) { checkedSet(o, vresFIXED, static_cast<std::uint32_t>(v)); }
double vresGetFloat(vres* o) { return std::bit_cast<float>(checkedGet(o, vresFLOAT)); }

void vresSetFloat(vres* o, double v) {
  vresCheckKind(o, vresFLOAT);
  if (std::isfinite(v) && (v > singleMax || v < -singleMax))
    vexGenerateMessage(&vexArgRangeClass, "value beyond the single-precision range");
  checkedSet(o, vresFLOAT, std::bit_cast<std::uint32_t>(static_cast<float>(v)));
}

char vresGetCharacter(vres* o) {
  return static_cast<char>(vcharsetNarrowChar(checkedGet(o, vresCHARACTER) & 0xFFFF));
}
void vresSetCharacter(vres* o, char c) {
  checkedSet(o, vresCHARACTER, vcharsetWidenChar(static_cast<unsigned char>(c)));
}
int vresGetBoolean(vres* o) { return static_cast<int>(checkedGet(o, vresBOOLEAN)); }
void vresSetBoolean(vres* o, int v) { checkedSet(o, vresBOOLEAN, v == 1 ? 1 : 0); }

// Called once the adaptor classes exist.
void _vresWireScalarDelegates() {
  wire<std::int32_t, vresGetInteger, vresSetInteger>(vresINTEGER);
  wire<std::int32_t, vresGetFixed, vresSetFixed>(vresFIXED);
  wire<double, vresGetFloat, vresSetFloat>(vresFLOAT);
  wire<char, vresGetCharacter, vresSetCharacter>(vresCHARACTER);
  wire<int, vresGetBoolean, vresSetBoolean>(vresBOOLEAN);
}
