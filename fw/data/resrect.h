// Rectangles kept in resources as four-element arrays (x, y, width,
// height), the removal of a key only when present, and the resource
// layer's option word (declared with the file-kind test in fw/core/fs.h).
#pragma once
#include "fw/core/fs.h"
#include "fw/core/rect.h"
#include "fw/core/resource.h"

// Stores call it for every absent value, so that no stale key survives.
void vresourceRemoveIfPresent(vresource resource, vname tag);

// The loads leave *rect as it was when an element cannot be read (the
// element getters raise).
void vresourceLoadRect(vrect* rect, vresource resource);
void vresourceStoreRect(const vrect* rect, vresource resource);
void vresourceLoadFloatRect(vrectFloat* rect, vresource resource);
void vresourceStoreFloatRect(const vrectFloat* rect, vresource resource);
