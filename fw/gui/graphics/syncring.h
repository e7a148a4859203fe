// Representation rings: the forms of one object (a colour's description and its
// pens, an image's pixels and its native bitmap) tied together, each form
// an entry of a kind, with a mark for the forms that are up to date.
//
// Representation rings (`syncring.h`) tie the forms of one object (a colour's description and its
// pens, an image's pixels and its bitmap): circular singly linked entries from one pool, each with
// a kind's four operations and an up-to-date bit. Validating a stale entry goes round from its next
// and, for each current entry, tries its own update-from, then the other's update-to; it is marked
// current only when one succeeded or when no other entry is current, so a failed update is tried
// again at the next use.
#pragma once
#include <cstdint>

struct vsyncRingEntry;

// The operations of one kind of representation.
struct vsyncRingKind {
  void (*init)(vsyncRingEntry* entry);
  void (*free)(vsyncRingEntry* entry);
  int (*updateFrom)(vsyncRingEntry* entry, vsyncRingEntry* source);  // nonzero on success
  int (*updateTo)(vsyncRingEntry* source, vsyncRingEntry* entry);    // source's kind writes entry
};

enum : std::uint16_t { vsyncRingUP_TO_DATE = 0x1 };

// A ring is circular and singly linked, named by any of its entries.
struct vsyncRingEntry {
  vsyncRingEntry* next;
  const vsyncRingKind* kind;
  void* data;            // the object the ring belongs to
  std::uint16_t flags;
  std::uint16_t useCount;
  std::intptr_t value;   // the representation, the kind's to set
};

void _vsyncRingInitPool();
// Linked just before ring (after its last entry); a null ring makes a new one.
vsyncRingEntry* vsyncRingAdd(vsyncRingEntry* ring, const vsyncRingKind* kind, void* data);
vsyncRingEntry* vsyncRingFind(vsyncRingEntry* ring, const vsyncRingKind* kind);
void vsyncRingRemove(vsyncRingEntry* entry);
void vsyncRingFree(vsyncRingEntry* ring);
void vsyncRingSetCurrent(vsyncRingEntry* entry);
void vsyncRingValidate(vsyncRingEntry* entry);
inline int vsyncRingIsCurrent(const vsyncRingEntry* entry) { return (entry->flags & vsyncRingUP_TO_DATE) != 0; }
inline void vsyncRingRetain(vsyncRingEntry* entry) { ++entry->useCount; }
void vsyncRingRelease(vsyncRingEntry* entry);
