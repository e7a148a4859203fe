#include "fw/data/resrect.h"

#include "fw/data/vresource.h"

void vresourceRemoveIfPresent(vresource resource, vname tag) {
  vresource child;
  if (vresourceTestGet(resource, tag, &child)) vresourceRemove(resource, tag);
}

namespace {
// A resource of another kind, or an empty array, has no element 0.
bool hasElementZero(vresource resource) {
  return vresourceGetType(resource, nullptr) == vresARRAY && vresourceCount(resource) > 0;
}
}  // namespace

void vresourceLoadRect(vrect* rect, vresource resource) {
  std::int32_t v[4];
  for (int i = 0; i < 4; ++i) v[i] = vresourceGetAtInteger(resource, i);
  *rect = {static_cast<std::int16_t>(v[0]), static_cast<std::int16_t>(v[1]), static_cast<std::int16_t>(v[2]),
           static_cast<std::int16_t>(v[3])};
}

void vresourceStoreRect(const vrect* rect, vresource resource) {
  vresource array = hasElementZero(resource) ? resource : vresourceCreateArray(resource, nullptr, vresINTEGER, 4);
  const std::int16_t v[4] = {rect->x, rect->y, rect->width, rect->height};
  for (int i = 0; i < 4; ++i) vresourceSetAtInteger(array, i, v[i]);
}

void vresourceLoadFloatRect(vrectFloat* rect, vresource resource) {
  double v[4];
  for (int i = 0; i < 4; ++i) v[i] = vresourceGetAtFloat(resource, i);
  *rect = {static_cast<float>(v[0]), static_cast<float>(v[1]), static_cast<float>(v[2]), static_cast<float>(v[3])};
}

void vresourceStoreFloatRect(const vrectFloat* rect, vresource resource) {
  vresource array = hasElementZero(resource) ? resource : vresourceCreateArray(resource, nullptr, vresFLOAT, 4);
  const float v[4] = {rect->x, rect->y, rect->width, rect->height};
  for (int i = 0; i < 4; ++i) vresourceSetAtFloat(array, i, v[i]);
}
