// Cursors: images with a hot spot, stored in resources as images with two
// more integers, "HotX" and "HotY".
//
// - **Cursors** (`cursor.h`): `vcursor` is the image class with a 16-bit hot spot. Copies into a
//   cursor (the copy slot, clones) take the hot spot; a plain image target takes only the image.
//   Stored as an image plus "HotX" and "HotY"; `vcursorLoad` reads a resource with a "Class" entry
//   through the generic loader (refused unless the class is a cursor's), any other image resource,
//   the look's raw form included, as a `vcursor` (absent hot-spot entries read as 0).
#pragma once
#include <cstdint>

#include "fw/gui/graphics/image.h"
#include "platform/win.h"

struct vcursor : vimage {
  std::int16_t hotX, hotY;
};

struct vcursorClassRec : vimageClassRec {
  void (*setHotSpot)(vcursor* self, int x, int y);
};

vcursorClassRec* vcursorGetClass();
vcursor* vcursorCreate();
void vcursorDestroy(vcursor* self);
// A resource with a "Class" entry is loaded by its class; any other image
// resource (object or raw form) becomes a vcursor.
vcursor* vcursorLoad(vresource resource);
void vcursorLoadInit(vcursor* self, vresource resource);
inline void vcursorSetHotSpot(vcursor* c, int x, int y) { vclassRec<vcursorClassRec>(c)->setHotSpot(c, x, y); }
inline int vcursorGetHotX(const vcursor* c) { return c->hotX; }
inline int vcursorGetHotY(const vcursor* c) { return c->hotY; }
// The native cursor of a cursor object (a vcursor with its hot spot, a
// plain image with (0, 0)), kept with the image; null for anything else.
win::HCURSOR vcursorGetMSWCursor(vobject* cursor);
// Fills the start-up row "vcursorGetClass".
void vcursorInstallStartup();
