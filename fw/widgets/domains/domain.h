// Domains: two-dimensional spaces of rectangular objects in one stacking
// order, with per-view selection slots, connected groups selected
// together, bounds that may follow the objects, and observers told of
// every change. vdomain keeps 16-bit coordinates, vdomainLong 32-bit ones;
// objects keep the long form in both, cut to 16 bits in a short domain.
//
// - `domains/domain.h`: `vdomain` and `vdomainLong`, rectangular objects in one stacking order
//   (first = newest = top). Objects come from module-wide pools of 64 records and keep the long
//   rectangle in both kinds (a short domain cuts every written value to 16 bits); sets are one heap
//   block (header, then the objects), ten 16-entry blocks cached. `domain.cpp` holds the classes,
//   pools, sets, order, rings, selection slots (at most 32 in use: the mask has 32 bits), extent and
//   bounds; `domain_geometry.cpp` move, scale and resize, set rectangles, align, distribute and
//   find; `domain_resource.cpp` the resource form (a load puts the first stored object back on top
//   and rejoins rings); `domain_observer.cpp` observers (delivered by index, so an install while
//   notified is safe), the primary observer and the undo observer with its move, resize and restack
//   actions, which replay with the primary observer away. A grid step below 1 leaves its axis
//   unaligned; a value on the grid keeps its place. A copied object keeps its own record's pool
//   marks; pool failures raise "Abandon".
#pragma once
#include <cstdint>

#include "fw/core/class.h"
#include "fw/data/undo.h"
#include "fw/gui/graphics/rect.h"

struct vdomain;
struct vdomainObserver;

// Object flags.
enum : std::uint16_t {
  vdomainHIDDEN = 0x1,
  vdomainNO_DRAG = 0x4,
  vdomainNOT_SELECTABLE = 0x8,
  vdomainSELECTION_HOOK = 0x10,
  vdomainLAST_OF_POOL = 0x400,
  vdomainIN_USE = 0x800,
  vdomainMARK = 0x1000,
  vdomainHOUSEKEEPING = 0x1e00,
};
// Domain flags.
enum : std::uint32_t {
  vdomainDIRTY = 0x1,
  vdomainDIRTY_MARKS = 0xf,
  vdomainLONG = 0x10,
  vdomainKIND = 0xf0,
  vdomainORIENTATION = 0xff00,
  vdomainVIRTUAL_BOUNDS = 0x10000,
  vdomainATTRIBUTES = 0xffff0000,
};
// Filter flags of sets built by filter and of find.
enum : int {
  vdomainFILTER_SELECTED = 2,
  vdomainFILTER_UNSELECTED = 4,
  vdomainFILTER_PREDICATE = 8,
  vdomainFILTER_HIDDEN = 16,
  vdomainFILTER_UNSELECTABLE = 32,
  vdomainFILTER_ALL = 54,
  vdomainFILTER_NO_OVERLAP_TEST = 64,
  vdomainFILTER_ALL_OF = 128,
};
// Move modes: with either bit the objects are placed, else offset.
enum : int { vdomainMOVE_OFFSET = 5, vdomainMOVE_PLACE = 10 };

struct vdomainObject {
  vrectLong rect;
  std::uint16_t flags;
  std::uint16_t type;
  std::uint32_t selection;  // bit i: selected in slot i (mod 32)
  std::intptr_t data;       // the client's word
  vdomain* domain;
  vdomainObject* prev;
  vdomainObject* next;
  vdomainObject* connection;  // the next of its ring, null alone
  void* part;                 // what a subclass keeps per object
  std::int32_t index;         // a subclass's cached position
};

// A set block: the objects follow the header in the same block.
struct vdomainSet {
  std::int32_t capacity;
  std::int32_t count;
  std::int32_t cacheIndex;  // -1: not one of the module's cached blocks
  vdomainObject** objects;
};

struct vdomainSlot {
  std::uint32_t released;
  std::int32_t selected;
};

using vdomainOverlapFunc = int (*)(vdomain* domain, const vrectLong* a, const vrectLong* b);
using vdomainFilterFunc = int (*)(vdomain* domain, vdomainObject* object, void* data);

struct vdomain : vobject {
  std::int16_t bufferX, bufferY;
  std::int32_t grid[4];  // x step, y step, x and y stagger
  void* owner;
  std::int32_t count;
  vrectLong bounds, view, extent;
  vdomainOverlapFunc overlap, overlapSwapped;
  std::uint32_t flags;
  std::uint16_t slotCount, slotsUsed;
  vdomainSlot* slots;
  std::uint16_t observerCount;
  vdomainObserver** observers;
  vdomainObject* first;
  vundoActionList* pending;
};

struct vpointLong {
  std::int32_t x, y;
};

struct vdomainClassRec : vobjectClassRec {
  void (*setBounds)(vdomain* d, const vrect* r);
  void (*setBoundsLong)(vdomain* d, const vrectLong* r);
  vdomainObject* (*newObject)(vdomain* d);
  void (*addObject)(vdomain* d, vdomainObject* o);
  void (*copyObjectAttributes)(vdomain* d, const vdomainObject* from, vdomainObject* to);
  void (*copyObject)(vdomain* d, const vdomainObject* from, vdomainObject* to);
  void (*releaseObject)(vdomain* d, vdomainObject* o);
  void (*storeObject)(vdomain* d, vdomainObject* o, vresource resource);
  void (*loadObject)(vdomain* d, vdomainObject* o, vresource resource);
  void (*removeObjects)(vdomain* d, vdomainSet* set);
  void (*copyObjects)(vdomain* d, vdomain* other);
  void (*moveObjects)(vdomain* d, vdomainSet* set, std::int32_t x, std::int32_t y, int mode);
  void (*scaleObjects)(vdomain* d, vdomainSet* set, double xFactor, double yFactor);
  void (*resizeObjects)(vdomain* d, vdomainSet* set, std::int32_t width, std::int32_t height);
  void (*alignObjects)(vdomain* d, vdomainSet* set, int mode, int horizontal, int vertical);
  void (*distributeObjects)(vdomain* d, vdomainSet* set, int horizontal, int vertical);
  void (*restackObjects)(vdomain* d, vdomainSet* set, int how);
  void (*restackObject)(vdomain* d, vdomainObject* o, vdomainObject* reference, int after);
  void (*connectObjects)(vdomain* d, vdomainObject* a, vdomainObject* b);
  void (*disconnectObjects)(vdomain* d, vdomainSet* set);
  vdomainSet* (*connectedSet)(vdomain* d, vdomainObject* o);
  void (*sortSet)(vdomain* d, vdomainSet* set);
  void (*hideObjects)(vdomain* d, vdomainSet* set);
  void (*showObjects)(vdomain* d, vdomainSet* set);
  void (*setRects)(vdomain* d, vdomainSet* set, const vrect* r);
  void (*setRectsLong)(vdomain* d, vdomainSet* set, const vrectLong* r);
  void (*selectObjects)(vdomain* d, int slot, vdomainSet* set);
  void (*deselectObjects)(vdomain* d, int slot, vdomainSet* set);
  void (*setExtent)(vdomain* d, vrect* out, vdomainSet* set);
  void (*setExtentLong)(vdomain* d, vrectLong* out, vdomainSet* set);
  void (*selectAll)(vdomain* d, int slot, int select);
  void (*updateExtent)(vdomain* d, const vrect* r);
  void (*updateExtentLong)(vdomain* d, const vrectLong* r);
  // The notifications: each calls the matching method of every observer.
  void (*objectAdded)(vdomain* d, vdomainObject* o);
  void (*objectsRemoved)(vdomain* d, vdomainSet* set);
  void (*boundsChanged)(vdomain* d, const vrect* old);
  void (*boundsChangedLong)(vdomain* d, const vrectLong* old);
  void (*objectsMoving)(vdomain* d, vdomainSet* set, vpoint offset, int mode, int before);
  void (*objectsMovingLong)(vdomain* d, vdomainSet* set, vpointLong offset, int mode, int before);
  void (*objectsResizing)(vdomain* d, vdomainSet* set, int before);
  void (*showStateChanged)(vdomain* d, vdomainSet* set, int hidden);
  void (*restacked)(vdomain* d, vdomainObject* o, vdomainObject* oldNext);
  void (*notifyValue)(vdomain* d, std::intptr_t value);
  void (*selectionChanged)(vdomain* d, vdomainSet* set, int slot, int selected);
  void (*destroyed)(vdomain* d);
};

inline vdomainClassRec* vdomainClassOf(const vdomain* d) { return vclassRec<vdomainClassRec>(d); }

extern const vexClass vexDomainWrongTypeClass;

vdomainClassRec* vdomainGetDefaultClass();
vdomainClassRec* vdomainLongGetDefaultClass();
vdomain* vdomainCreate();
vdomain* vdomainCreateLong();
void vdomainDestroy(vdomain* d);
int vdomainIsLong(const vdomain* d);

// Sets.
vdomainSet* vdomainCreateSet();
vdomainSet* vdomainCreateSetOf(vdomainObject* const* objects, std::int32_t n);
void vdomainDestroySet(vdomainSet* set);
void vdomainSetAppend(vdomainSet** set, vdomainObject* o);  // may move the block
void vdomainSetRemoveAt(vdomainSet* set, std::int32_t i);   // the last entry takes its place
vdomainSet* vdomainCopySet(const vdomainSet* set);
std::uint32_t vdomainSetCacheMask();

// Objects and their order.
vdomainObject* vdomainNewObject(vdomain* d);
vdomainObject* _vdomainAllocObject();
void vdomainRemoveObjects(vdomain* d, vdomainSet* set);
std::int32_t vdomainObjectPosition(const vdomain* d, const vdomainObject* o);
vdomainObject* vdomainFirstObject(const vdomain* d);
vdomainObject* vdomainLastObject(const vdomain* d);
std::size_t vdomainPoolCount();

// Selection slots.
int vdomainAllocSelection(vdomain* d);
void vdomainReleaseSelection(vdomain* d, int slot);
std::int32_t vdomainSelectedCount(const vdomain* d, int slot);
int vdomainIsSelected(const vdomainObject* o, int slot);
void vdomainToggleSelection(vdomain* d, int slot, vdomainSet* set);

// Bounds and extent.
void vdomainGetBounds(vdomain* d, vrect* out);
void vdomainGetBoundsLong(vdomain* d, vrectLong* out);
void vdomainSetBounds(vdomain* d, const vrect* r);
void vdomainSetBoundsLong(vdomain* d, const vrectLong* r);
void vdomainSetVirtualView(vdomain* d, const vrectLong* r);
void vdomainSetVirtualBuffer(vdomain* d, int x, int y);
void vdomainSetAttributes(vdomain* d, std::uint32_t bits, int on);  // bits of the upper half
void vdomainGetExtent(vdomain* d, vrect* out);
void vdomainGetExtentLong(vdomain* d, vrectLong* out);
void _vdomainUpdateBounds(vdomain* d);
void vdomainMarkDirty(vdomain* d);

// Sets by filter and by position.
vdomainSet* vdomainFilterSet(vdomain* d, int slot, int flags, vdomainFilterFunc predicate, void* data);
vdomainSet* vdomainFindObjects(vdomain* d, const vrectLong* r, int slot, int firstOnly, int contained, int flags,
                               vdomainFilterFunc predicate, void* data);
vdomainSet* vdomainFindObjectsShort(vdomain* d, const vrect* r, int slot, int firstOnly, int contained, int flags,
                                    vdomainFilterFunc predicate, void* data);
vdomainSet* vdomainFindAtPoint(vdomain* d, std::int32_t x, std::int32_t y, int slot, int firstOnly, int flags,
                               vdomainFilterFunc predicate, void* data);

// The geometry of sets.
void vdomainMoveObjects(vdomain* d, vdomainSet* set, std::int32_t x, std::int32_t y, int mode);
void vdomainScaleObjects(vdomain* d, vdomainSet* set, double xFactor, double yFactor);
void vdomainResizeObjects(vdomain* d, vdomainSet* set, std::int32_t width, std::int32_t height);
std::int32_t vdomainGridRound(std::int32_t value, std::int32_t step);  // the correction to add

// Set-wide setters.
void vdomainSetObjectsData(vdomain* d, vdomainSet* set, std::intptr_t data);
void vdomainSetObjectsType(vdomain* d, vdomainSet* set, std::uint16_t type);
void vdomainSetObjectsFlags(vdomain* d, vdomainSet* set, std::uint16_t bits, int on);

// Observers.
enum : std::uint8_t { vdomainObserverOWNED = 1, vdomainObserverMUTED = 2 };
struct vdomainObserver : vobject {
  void* owner;
  std::uint8_t flags;
  std::intptr_t forward;  // not 0: the methods receive the owner
  vdomain* domain;
};
struct vdomainObserverClassRec : vobjectClassRec {
  void (*objectAdded)(void* receiver, vdomainObject* o);
  void (*objectsRemoved)(void* receiver, vdomainSet* set);
  void (*boundsChanged)(void* receiver, const vrect* old);
  void (*boundsChangedLong)(void* receiver, const vrectLong* old);
  void (*objectsMoving)(void* receiver, vdomainSet* set, vpoint offset, int mode, int before);
  void (*objectsMovingLong)(void* receiver, vdomainSet* set, vpointLong offset, int mode, int before);
  void (*objectsResizing)(void* receiver, vdomainSet* set, int before);
  void (*showStateChanged)(void* receiver, vdomainSet* set, int hidden);
  void (*restacked)(void* receiver, vdomainObject* o, vdomainObject* oldNext);
  void (*notifyValue)(void* receiver, std::intptr_t value);
  void (*selectionChanged)(void* receiver, vdomainSet* set, int slot, int selected);
  void (*destroyed)(void* receiver);
};
vdomainObserverClassRec* vdomainObserverGetDefaultClass();
vdomainObserverClassRec* vdomainUndoObserverClass();

void vdomainInstallObserver(vdomain* d, vdomainObserver* observer);
void vdomainUninstallObserver(vdomain* d, vdomainObserver* observer);
void vdomainSetPrimaryObserverClass(vdomain* d, vclass* cls);
vclass* vdomainGetPrimaryObserverClass(const vdomain* d);

// Walks the installed observers by index, so installs made meanwhile are safe.
struct vdomainObserverIterator {
  std::int32_t index;
  vdomain* domain;
  vdomainObserver* current;
};
void vdomainInitObserverIterator(vdomainObserverIterator* it, vdomain* d);
int vdomainNextObserverIterator(vdomainObserverIterator* it);

// The recorded actions waiting for a view to hand them over.
vundoActionList* vdomainTakePendingActions(vdomain* d);
void _vdomainRecordAction(vdomain* d, vundoAction* action, vclass* listClass);
