// What the routing tables need of the two stores.
#pragma once
#include <string>

#include "fw/data/vresource.h"

// An operation as a slot's entry.
template <class F>
vresourceSlotFn _vresourceSlot(F* f) {
  return reinterpret_cast<vresourceSlotFn>(f);
}

void _newresourceFill(vresourceSlotFn* table);
std::string _newresourceStringText(vresource h, vname tag);
bool _newresourceHas(vresource h, vname tag);  // without making the child's handle
bool _vresourceHas(vresource h, vname tag);     // either store, likewise
std::string _newresourceAtStringText(vresource h, std::int32_t index);
// The handle a chunk-file resource object stands for (0: not one), and
// the array and index of an element object.
vresource _newresourceHandleOfObject(vinstance* object);
bool _newresourceElementOfObject(vinstance* object, vresource* array, std::int32_t* index);
void _vresourceFillScrapSlots(vresourceSlotFn* table);

// A file written whole to a temporary file and renamed into place keeps
// the mode of the file it replaces; a new one gets the permission (0666
// when none is given) less the process's mask, as a plain create would.
struct _vresourceFileMode {
  bool existed;
  unsigned mode;
};
_vresourceFileMode _vresourceModeBefore(const vfsPath* path, int permission);
void _vresourceModeAfter(const vfsPath* path, _vresourceFileMode mode);
