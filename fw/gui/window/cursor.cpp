// The cursor class: the image class with a hot spot.
#include "fw/gui/window/cursor.h"

#include <cstdint>

#include "fw/core/ex.h"
#include "fw/data/vresource.h"
#include "fw/gui/graphics/cursormsw.h"
#include "fw/gui/graphics/image_internal.h"
#include "fw/gui/graphics/pixmap_internal.h"

namespace {

struct CursorState {
  vcursorClassRec* cls;
  vname hotX, hotY;
};
void** cursorSlot = nullptr;

CursorState* state();
vimageClassRec* super() { return vimageGetDefaultClass(); }
bool isCursor(const vinstance* o) { return vclassIsSubclass(o->cls, state()->cls); }

void cursorInit(vinstance* self) {
  super()->init(self);
  auto* c = static_cast<vcursor*>(self);
  c->hotX = c->hotY = 0;
}

void cursorCopy(vobject* source, vobject* destination) {
  super()->copy(source, destination);
  if (source == destination || !isCursor(source) || !isCursor(destination)) return;
  static_cast<vcursor*>(destination)->hotX = static_cast<vcursor*>(source)->hotX;
  static_cast<vcursor*>(destination)->hotY = static_cast<vcursor*>(source)->hotY;
}

void cursorCopyInit(vobject* source, vobject* destination) {
  super()->copyInit(source, destination);
  auto* t = static_cast<vcursor*>(destination);
  t->hotX = t->hotY = 0;
  if (isCursor(source)) {
    t->hotX = static_cast<vcursor*>(source)->hotX;
    t->hotY = static_cast<vcursor*>(source)->hotY;
  }
}

// The object form goes through the image's load; the raw form, which only
// the image loader reads, is loaded as an image and copied in.
void loadPixels(vobject* self, vresource resource) {
  vresource ignored;
  if (vresourceTestGet(resource, vnameInternLiteral("NumColors"), &ignored)) {
    super()->loadInit(self, resource);
    return;
  }
  vimage* loaded = vimageLoad(resource);
  vexGuard([&] { super()->copyInit(loaded, self); },
           [&](vexHandler&) {
             vimageDestroy(loaded);
             _vexGenerate(nullptr, vexEnd);
           });
  vimageDestroy(loaded);
}

void cursorLoadInit(vobject* self, vresource resource) {
  loadPixels(self, resource);
  auto* c = static_cast<vcursor*>(self);
  c->hotX = c->hotY = 0;
  vexGuard(
      [&] {
        std::int32_t x = 0, y = 0;
        vresourceTestGetInteger(resource, state()->hotX, &x);
        vresourceTestGetInteger(resource, state()->hotY, &y);
        c->hotX = std::int16_t(x);
        c->hotY = std::int16_t(y);
      },
      [&](vexHandler&) {
        vimageint::releaseParts(c);
        vpixmapint::releaseStore(c);
        _vexGenerate(nullptr, vexEnd);
      });
}

void cursorStore(vobject* self, vresource resource) {
  super()->store(self, resource);
  auto* c = static_cast<vcursor*>(self);
  vresourceSetInteger(resource, state()->hotX, c->hotX);
  vresourceSetInteger(resource, state()->hotY, c->hotY);
}

void cursorPrint(vobject*, std::FILE*) {}

void cursorSetHotSpot(vcursor* self, int x, int y) {
  if (self->hotX == std::int16_t(x) && self->hotY == std::int16_t(y)) return;
  self->hotX = std::int16_t(x);
  self->hotY = std::int16_t(y);
  vimageMSWDropCursor(self);
}

CursorState* state() {
  if (auto* bound = vmoduleState<CursorState>(cursorSlot)) return bound;
  auto* c = vclassSpawnOf<vcursorClassRec>(vimageGetDefaultClass());
  vclassSetName(c, vscribeLiteral("vcursor"));
  vclassSetInstanceSize(c, sizeof(vcursor));
  c->init = cursorInit;
  c->copy = cursorCopy;
  c->copyInit = cursorCopyInit;
  c->loadInit = cursorLoadInit;
  c->store = cursorStore;
  c->print = cursorPrint;
  c->setHotSpot = cursorSetHotSpot;
  auto* s = static_cast<CursorState*>(vmoduleBindSlot(cursorSlot, sizeof(CursorState)));
  *s = {c, vnameInternLiteral("HotX"), vnameInternLiteral("HotY")};
  return s;
}

// A stored object of a class that is no cursor would be read as one.
void checkStoredClass(vresource resource, std::size_t room) {
  vclass* c = vobjectFindResourceClass(resource);
  if (!vclassIsSubclass(c, vcursorGetClass()) || c->instanceSize > room)
    _vexGenerate(&vexArgClass, vexSetMessage, "resource object is not a cursor", vexEnd);
}

}  // namespace

vcursorClassRec* vcursorGetClass() { return state()->cls; }
vcursor* vcursorCreate() { return static_cast<vcursor*>(vinstanceCreate(vcursorGetClass())); }
void vcursorDestroy(vcursor* self) { vinstanceDestroy(self); }

void vcursorLoadInit(vcursor* self, vresource resource) {
  vname cls;
  if (vresourceTestGetTag(resource, vname_Class, &cls)) {
    // The storage is a cursor's: a larger class would overrun it.
    checkStoredClass(resource, sizeof(vcursor));
    vobjectLoadInit(self, resource);
    return;
  }
  self->cls = vcursorGetClass();
  cursorLoadInit(self, resource);
}

vcursor* vcursorLoad(vresource resource) {
  vclass* c = vcursorGetClass();
  vname named;
  if (vresourceTestGetTag(resource, vname_Class, &named)) {
    checkStoredClass(resource, SIZE_MAX);
    return static_cast<vcursor*>(vobjectLoad(resource));
  }
  auto* cursor = static_cast<vcursor*>(vclassAllocInstance(c));
  vexGuard([&] { vcursorLoadInit(cursor, resource); },
           [&](vexHandler&) {
             vclassFreeInstance(c, cursor);
             _vexGenerate(nullptr, vexEnd);
           });
  return cursor;
}

win::HCURSOR vcursorGetMSWCursor(vobject* cursor) {
  if (!cursor || !vclassIsSubclass(cursor->cls, vimageGetDefaultClass())) return nullptr;
  auto* image = static_cast<vimage*>(cursor);
  if (!isCursor(cursor)) return vimageMSWGetCursor(image, 0, 0);
  auto* c = static_cast<vcursor*>(cursor);
  return vimageMSWGetCursor(image, c->hotX, c->hotY);
}

void vcursorInstallStartup() {
  vmoduleInstallStartup("vcursorGetClass", [] { vcursorGetClass(); });
}
