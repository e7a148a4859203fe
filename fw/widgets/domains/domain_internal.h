// What the domain's files share: the kind checks and the rectangle forms.
#pragma once
#include "fw/widgets/domains/domain.h"

inline bool _vdomainLong(const vdomain* d) { return (d->flags & vdomainKIND) != 0; }
[[noreturn]] void _vdomainWrongType();
inline void _vdomainNeedShort(const vdomain* d) {
  if (_vdomainLong(d)) _vdomainWrongType();
}
inline void _vdomainNeedLong(const vdomain* d) {
  if (!_vdomainLong(d)) _vdomainWrongType();
}
inline vrectLong _vdomainWiden(const vrect& r) { return {r.x, r.y, r.width, r.height}; }
inline vrect _vdomainNarrow(const vrectLong& r) {
  return {static_cast<std::int16_t>(r.x), static_cast<std::int16_t>(r.y), static_cast<std::int16_t>(r.width),
          static_cast<std::int16_t>(r.height)};
}
// A rectangle as the domain's kind keeps it: cut to 16 bits when short.
inline vrectLong _vdomainFit(const vdomain* d, const vrectLong& r) {
  return _vdomainLong(d) ? r : _vdomainWiden(_vdomainNarrow(r));
}
inline bool _vdomainEmpty(const vrectLong& r) { return r.width <= 0 || r.height <= 0; }
void _vdomainDirty(vdomain* d);
void _vdomainInstallGeometry(vdomainClassRec* c);
void _vdomainInstallResource(vdomainClassRec* c);
void _vdomainInstallObserverSlots(vdomainClassRec* c, vdomainObserverClassRec* o);
vdomainObserverClassRec* _vdomainBuildObserverClass();
void _vdomainDestroyObservers(vdomain* d);
bool _vdomainPasses(vdomain* d, vdomainObject* o, int slot, int flags, vdomainFilterFunc predicate, void* data);
vrectLong _vdomainExtentOf(vdomain* d, vdomainSet* set);
// A copy that holds none of the module's cached blocks, for sets kept long.
vdomainSet* _vdomainCopySetHeap(const vdomainSet* set);
void _vdomainJoinRings(vdomainObject* a, vdomainObject* b);
// Runs an undo replay with the primary observer away, so that it records
// nothing, and puts a new one of the same class back after.
template <class Body>
void _vdomainReplay(vdomain* d, Body body) {
  vclass* primary = vdomainGetPrimaryObserverClass(d);
  if (primary) vdomainSetPrimaryObserverClass(d, nullptr);
  body();
  if (primary) vdomainSetPrimaryObserverClass(d, primary);
}
