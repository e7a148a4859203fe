// The resource form of domains and their objects.
#include <algorithm>
#include <vector>

#include "fw/data/vresource.h"
#include "fw/widgets/domains/domain_internal.h"

namespace {

vdomainClassRec* rec(const vdomain* d) { return vdomainClassOf(d); }
vname keyLong() { return N("Long Domain"); }

void storeInts(vresource r, vname tag, const std::int32_t* values, std::int32_t n) {
  vresource a = vresourceCreateArray(r, tag, vresINTEGER, n);
  for (std::int32_t i = 0; i < n; ++i) vresourceSetAtInteger(a, i, values[i]);
}

// Reads up to n integers of an integer array; answers whether all n were there.
bool loadInts(vresource r, vname tag, std::int32_t* values, std::int32_t n) {
  vresource a;
  if (!vresourceTestGet(r, tag, &a) || vresourceGetType(a, nullptr) != vresARRAY) return false;
  if (vresourceGetElementType(a) != vresINTEGER || vresourceCount(a) < n) return false;
  for (std::int32_t i = 0; i < n; ++i) values[i] = vresourceGetAtInteger(a, i);
  return true;
}

void storeRect(vresource r, vname tag, const vrectLong& rect) {
  const std::int32_t v[4] = {rect.x, rect.y, rect.width, rect.height};
  storeInts(r, tag, v, 4);
}
bool loadRect(const vdomain* d, vresource r, vname tag, vrectLong* out) {
  std::int32_t v[4];
  if (!loadInts(r, tag, v, 4)) return false;
  *out = _vdomainFit(d, vrectLong{v[0], v[1], v[2], v[3]});
  return true;
}

void storeObject(vdomain* d, vdomainObject* o, vresource r) {
  storeRect(r, N("Rect"), o->rect);
  vresourceSetInteger(r, N("Type"), o->type);
  vresourceSetInteger(r, N("Attributes"), o->flags & ~vdomainHOUSEKEEPING);
  (void)d;
}

void loadObject(vdomain* d, vdomainObject* o, vresource r) {
  loadRect(d, r, N("Rect"), &o->rect);
  std::int32_t v = 0;
  if (vresourceTestGetInteger(r, N("Type"), &v)) o->type = static_cast<std::uint16_t>(v);
  if (vresourceTestGetInteger(r, N("Attributes"), &v))
    o->flags = static_cast<std::uint16_t>((v & ~vdomainHOUSEKEEPING) | (o->flags & vdomainHOUSEKEEPING));
}

void domainStore(vobject* self, vresource r) {
  vobjectGetDefaultClass()->store(self, r);
  auto* d = static_cast<vdomain*>(self);
  vresourceSetBoolean(r, keyLong(), _vdomainLong(d));
  storeRect(r, N("Bounds"), d->bounds);
  const std::int32_t buffer[2] = {d->bufferX, d->bufferY};
  storeInts(r, N("VirtualBuffer"), buffer, 2);
  storeRect(r, N("VirtualView"), d->view);
  storeInts(r, N("Grid"), d->grid, 4);
  vresourceSetInteger(r, N("Attribute"), static_cast<std::int32_t>(d->flags >> 16));
  vresourceSetInteger(r, N("Orientation"), static_cast<std::int32_t>((d->flags >> 8) & 0xff));
  vresource old;
  if (!d->count) {
    if (vresourceTestGet(r, N("Objects"), &old)) vresourceRemove(r, N("Objects"));
    return;
  }
  std::vector<vdomainObject*> objects;
  std::vector<std::int32_t> saved;
  for (vdomainObject* o = d->first; o; o = o->next) {
    saved.push_back(o->index);
    o->index = static_cast<std::int32_t>(objects.size());
    objects.push_back(o);
  }
  auto n = static_cast<std::int32_t>(objects.size());
  vresource array = vresourceCreateArray(r, N("Objects"), vresDICTIONARY, n);
  for (std::int32_t i = 0; i < n; ++i) {
    vresource item = vresourceCreateAt(array, i, vresDICTIONARY);
    rec(d)->storeObject(d, objects[i], item);
    if (objects[i]->connection) vresourceSetInteger(item, N("Connected"), objects[i]->connection->index);
  }
  for (std::int32_t i = 0; i < n; ++i) objects[i]->index = saved[i];
}

void domainLoadInit(vobject* self, vresource r) {
  vobjectGetDefaultClass()->loadInit(self, r);
  vname tag = self->tag;
  vclassRec<vinstanceClassRec>(self)->init(self);
  self->tag = tag;
  auto* d = static_cast<vdomain*>(self);
  vresource flag;
  if (vresourceTestGet(r, keyLong(), &flag)) d->flags = vresourceGetBoolean(r, keyLong()) ? d->flags | vdomainLONG : d->flags & ~vdomainKIND;
  if (loadRect(d, r, N("Bounds"), &d->bounds)) {
    std::int32_t v[4];
    if (loadInts(r, N("VirtualBuffer"), v, 2)) d->bufferX = static_cast<std::int16_t>(v[0]), d->bufferY = static_cast<std::int16_t>(v[1]);
    loadRect(d, r, N("VirtualView"), &d->view);
    if (loadInts(r, N("Grid"), v, 4)) std::copy(v, v + 4, d->grid);
    std::int32_t value = 0;
    if (vresourceTestGetInteger(r, N("Attribute"), &value))
      d->flags = (d->flags & 0xffff) | (static_cast<std::uint32_t>(value) << 16);
    if (vresourceTestGetInteger(r, N("Orientation"), &value))
      d->flags = (d->flags & ~static_cast<std::uint32_t>(vdomainORIENTATION)) | ((static_cast<std::uint32_t>(value) & 0xff) << 8);
  }
  vresource array;
  if (vresourceTestGet(r, N("Objects"), &array) && vresourceGetType(array, nullptr) == vresARRAY) {
    std::int32_t n = vresourceCount(array);
    std::vector<vdomainObject*> made;
    std::vector<vresource> items;
    for (std::int32_t i = 0; i < n; ++i) {
      vresource item = vresourceGetAt(array, i);
      if (vresourceGetType(item, nullptr) != vresDICTIONARY) continue;
      vdomainObject* o = rec(d)->newObject(d);
      rec(d)->loadObject(d, o, item);
      made.push_back(o);
      items.push_back(item);
    }
    // Each object went in first; put the first stored one back on top.
    for (auto it = made.rbegin(); it != made.rend(); ++it) rec(d)->restackObject(d, *it, nullptr, 0);
    auto count = static_cast<std::int32_t>(made.size());
    for (std::int32_t i = 0; i < count; ++i) {
      std::int32_t c = -1;
      if (vresourceTestGetInteger(items[i], N("Connected"), &c) && c >= 0 && c < count) _vdomainJoinRings(made[i], made[c]);
    }
  }
  vdomainMarkDirty(d);
  _vdomainUpdateBounds(d);
}

}  // namespace

void _vdomainInstallResource(vdomainClassRec* c) {
  c->storeObject = storeObject;
  c->loadObject = loadObject;
  c->store = domainStore;
  c->loadInit = domainLoadInit;
}
