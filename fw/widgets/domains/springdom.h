// Spring domains: a domain whose objects are joined edge to edge by
// connections with lengths and springs inside a container rectangle. Every
// change becomes a spring solution that is solved again, so objects keep
// their connected distances while the container or an object moves.
//
// Each edge has two handles: the first end (even side code) measures the
// edge from the handle it points at (own = target + length), the second
// end (odd code) measures forward to it (target = own + length). Side
// codes: 0/1 left, 2/3 right, 4/5 bottom, 6/7 top. The container has the
// handles 1, 2, 5 and 6.
//
// - `domains/springdom.h`: `vspringdom`, a domain whose objects are joined edge to edge inside a
//   container. Every edge has two handles: the first end (even side code) measures its edge from the
//   handle it points at, the second end (odd) measures forward to it; each handle keeps the list of
//   handles pointing at it. `springdom.cpp` holds the class, the handle setters (a mirror that
//   points back follows; same ends negate the length), connect, removal (handles pointing at a
//   leaving edge are re-anchored to the container), the spring move and the announcements;
//   `springdom_solve.cpp` turns each axis into a graph of edges and walks chains out from placed
//   edges (the container's first) until each reaches a placed edge: a chain that closes and has a
//   spring becomes solver steps, the others leave their objects be and mark their connections
//   invalid. The "Connections" form writes an unconnected handle as a step naming its own edge. The
//   spring undo observer records only while the domain's primary undo observer is there, so replays
//   record nothing.
#pragma once
#include <cstdint>

#include "fw/widgets/domains/domain.h"
#include "fw/widgets/lists/spring.h"

struct vspringdom;

enum : std::uint16_t {
  vspringdomSIDE = 0x7,
  vspringdomSECOND_END = 0x1,
  vspringdomFAR = 0x2,
  vspringdomVERTICAL = 0x4,
  vspringdomSPRING = 0x8,
  vspringdomCOMPUTED = 0x10,
  vspringdomATTRIBUTE = 0x20,
};
enum : std::uint32_t {
  vspringdomPENDING = 0x1,
  vspringdomSTALE = 0x2,
  vspringdomARRANGE = 0x4,
  vspringdomREFRESH_SIZES = 0x8,
  vspringdomGROW = 0x10,
};

struct vspringdomHandle {
  vspringdomHandle* connection;   // the handle it points at, or null
  vspringdomHandle* pointers;     // the first handle that points at this one
  vspringdomHandle* nextPointer;  // the next one that points at the same handle
  std::int32_t length;
  std::uint16_t flags;
  std::uint8_t valid;  // its loop could be solved at the last solve
  vdomainObject* object;  // null: the container
};
// The spring part of an object (and of the container): eight handles by
// side code and the marks of its four edges while a set moves.
struct vspringdomPart {
  vspringdomHandle handles[8];
  std::uint8_t moving[4];
  std::int32_t delta[4];
};

struct vspringdom : vdomain {
  std::uint8_t horizontalKind, verticalKind;  // 0 and 4: the axis records
  vrect container, requested;
  std::int32_t (*indexOf)(vspringdom* d, vdomainObject* o);  // -1: the container
  vspringArrangerClassRec* arranger;
  vspringSolution* solution;
  std::uint32_t flags;
  vspringdomPart box;
  vspringdomHandle* lastOldTarget;  // what the last connection change replaced
};

struct vspringdomClassRec : vdomainClassRec {
  void (*setContainerRect)(vspringdom* d, const vrect* r);
  void (*solved)(vspringdom* d);
  void (*containerChanged)(vspringdom* d, const vrect* old);
  void (*connectionChanged)(vspringdom* d, vdomainObject* o, int side, vdomainObject* oldTarget);
  void (*lengthChanged)(vspringdom* d, vdomainObject* o, int side, std::int32_t old);
  void (*attributeChanged)(vspringdom* d, vdomainObject* o, int side, int old);
  void (*springChanged)(vspringdom* d, vdomainObject* o, int side, int old);
  void (*computedChanged)(vspringdom* d, vdomainObject* o, int side, int old);
  void (*validityChanged)(vspringdom* d, vdomainObject* o, int side, int valid);
};
struct vspringdomObserverClassRec : vdomainObserverClassRec {
  void (*setContainerRect)(void* receiver, const vrect* r);  // unused: keeps the slot order
  void (*solved)(void* receiver);
  void (*containerChanged)(void* receiver, const vrect* old);
  void (*connectionChanged)(void* receiver, vdomainObject* o, int side, vdomainObject* oldTarget);
  void (*lengthChanged)(void* receiver, vdomainObject* o, int side, std::int32_t old);
  void (*attributeChanged)(void* receiver, vdomainObject* o, int side, int old);
  void (*springChanged)(void* receiver, vdomainObject* o, int side, int old);
  void (*computedChanged)(void* receiver, vdomainObject* o, int side, int old);
  void (*validityChanged)(void* receiver, vdomainObject* o, int side, int valid);
};

inline vspringdomClassRec* vspringdomClassOf(const vspringdom* d) { return vclassRec<vspringdomClassRec>(d); }

vspringdomClassRec* vspringdomGetDefaultClass();
vspringdomObserverClassRec* vspringdomGetObserverClass();
vspringdomObserverClassRec* vspringdomGetUndoObserverClass();
vspringArrangerClassRec* vspringdomGetArrangerClass();
vspringdom* vspringdomCreate();

vspringdomHandle* vspringdomGetHandle(vspringdom* d, vdomainObject* o, int side);  // null object: the container
int vspringdomHandleSide(const vspringdomHandle* h);
void vspringdomConnect(vspringdom* d, vspringdomHandle* h, vspringdomHandle* target, int propagate);
void vspringdomSetLength(vspringdom* d, vspringdomHandle* h, std::int32_t length, int propagate);
void vspringdomSetSpring(vspringdom* d, vspringdomHandle* h, int on, int propagate);
void vspringdomSetComputed(vspringdom* d, vspringdomHandle* h, int on, int propagate);
void vspringdomSetAttribute(vspringdom* d, vspringdomHandle* h, int on, int propagate);
void vspringdomSetContainerRect(vspringdom* d, const vrect* r);
void vspringdomSolve(vspringdom* d);
// The edge position a handle measures from.
std::int32_t vspringdomHandlePosition(const vspringdom* d, const vspringdomHandle* h);
