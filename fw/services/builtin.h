// The framework's built-in service operations (ping, shutdown, issue a
// command), through whose signatures callers and services agree on names
// and argument encodings, and a walk over a dictionary in an order given
// by a comparison.
#pragma once
#include <cstdint>

#include "fw/core/event.h"
#include "fw/data/datatag.h"

// The three signatures are built together, the first time one is asked for.
vsignature* vdasGetPingSignature();
vsignature* vdasGetShutdownSignature();
vsignature* vdasGetIssueCommandSignature();

struct vdasOrderedWalk {
  vheap* heap;  // the keys not yet visited
  vdict* dictionary;
  vname key;
  void* value;
  std::int32_t integer;  // the value read as an integer
};
// compare(parent, item) answers whether key item comes before key parent.
void vdasOrderedWalkStart(vdasOrderedWalk* walk, vdict* dictionary, vheapCompare compare);
// 1 with the next key and its value current; 0 when none is left.
int vdasOrderedWalkNext(vdasOrderedWalk* walk);
void vdasOrderedWalkFinish(vdasOrderedWalk* walk);
