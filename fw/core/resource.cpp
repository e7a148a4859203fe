#include "fw/core/resource.h"

#include "fw/core/ex.h"

namespace {
const vresourceInterface* installed = nullptr;
}

void vresourceSetInterface(const vresourceInterface* iface) { installed = iface; }

const vresourceInterface* vresourceGetInterface() {
  if (!installed) vexGenerateMessage(&vexModuleStateClass, "no resource interface installed");
  return installed;
}

int vresourceType(vresource r) { return vresourceGetInterface()->type(r); }

int vresourceTestGetTag(vresource dict, vname key, vname* out) {
  if (!out) vexGenerateMessage(&vexArgClass, "No place for the result");
  const vresourceInterface* io = vresourceGetInterface();
  vresource r;
  if (!io->find(dict, key, &r) || io->type(r) != vresTAG) return 0;
  *out = io->getTag(r);
  return 1;
}

int vresourceTestGetInteger(vresource dict, vname key, std::int32_t* out) {
  if (!out) vexGenerateMessage(&vexArgClass, "No place for the result");
  const vresourceInterface* io = vresourceGetInterface();
  vresource r;
  if (!io->find(dict, key, &r) || io->type(r) != vresINTEGER) return 0;
  *out = io->getInteger(r);
  return 1;
}

void vresourceSetTagAt(vresource dict, vname key, vname value) {
  const vresourceInterface* io = vresourceGetInterface();
  io->setTag(io->make(dict, key, vresTAG), value);
}

void vresourceSetIntegerAt(vresource dict, vname key, std::int32_t value) {
  const vresourceInterface* io = vresourceGetInterface();
  io->setInteger(io->make(dict, key, vresINTEGER), value);
}

vresource vresourceGetDict(vresource dict, vname key) {
  const vresourceInterface* io = vresourceGetInterface();
  vresource r;
  if (io->find(dict, key, &r) && io->type(r) == vresDICTIONARY) return r;
  return io->make(dict, key, vresDICTIONARY);
}

int vresourceCount(vresource r, int max) {
  int n = vresourceGetInterface()->count(r);
  if (n < 0 || n > max) vexGenerateMessage(&vexArgRangeClass, "resource count out of range");
  return n;
}
