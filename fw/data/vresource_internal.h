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
// A test-get given no place for its result is refused (Arg) in either
// store, found or not, rather than written through.
void _vresourceRequireOut(void* out);

