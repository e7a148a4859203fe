// A whole ".vr" file read through its entries and values, as a start-up
// check for damage that renders nothing.
#pragma once
#include "fw/core/resource.h"

// Reads every entry and value under the root of an open ".vr" file in the
// order and by the lookups the text form (vrtextDump) reads them, and
// raises what that reading raises; nothing when the tree is whole.
void vrstoreCheckTree(vresource root);
