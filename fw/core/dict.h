// Dictionaries: open-addressed hash tables from pointer-sized keys (almost
// always interned names) to pointer-sized values. Key 0 is no valid key.
// vdictGet answers 0 and vdictGetInteger 0x80000000 both for an absent key
// and for a stored 0 or 0x80000000: callers that must tell them apart test
// for the key first (vdictHas).
#pragma once
#include <cstddef>
#include <cstdint>

using vdictHashFunc = std::uint32_t (*)(const void* key);

struct vdict {
  vdictHashFunc hash;
  std::size_t slotCount;
  std::uint16_t loadDivisor;
  std::uint16_t unused;
  std::size_t freeCount;
  std::size_t threshold;
  const void** keys;
  const void** keysEnd;
  const void** values;
};

struct vdictIterator {
  vdict* dict;
  const void** slot;
};

std::uint32_t vdictHashName(const void* key);     // the name's stored hash
std::uint32_t vdictHashPointer(const void* key);  // the key shifted right by 2

vdict* vdictCreate(vdictHashFunc hash);
void vdictInit(vdict* d, vdictHashFunc hash);
vdict* vdictCopy(const vdict* d);
void vdictCopyInit(const vdict* source, vdict* destination);
void vdictDestroy(vdict* d);
void vdictFinish(vdict* d);
void vdictStore(vdict* d, const void* key, const void* value);
void vdictStoreInteger(vdict* d, const void* key, std::int32_t value);
void vdictStoreFloat(vdict* d, const void* key, double value);
void* vdictGet(const vdict* d, const void* key);
std::int32_t vdictGetInteger(const vdict* d, const void* key);
float vdictGetFloat(const vdict* d, const void* key);
bool vdictHas(const vdict* d, const void* key);
void vdictRemove(vdict* d, const void* key);
void vdictResize(vdict* d, std::size_t slots);
void vdictSetLoadDivisor(vdict* d, int divisor);
std::size_t vdictCount(const vdict* d);
void vdictInitIterator(vdictIterator* it, vdict* d);
int vdictNextIterator(vdictIterator* it);
inline const void* vdictIteratorKey(const vdictIterator* it) { return *it->slot; }
inline void* vdictIteratorValue(const vdictIterator* it) {
  return const_cast<void*>(it->dict->values[it->slot - it->dict->keys]);
}

struct vdictIntegerRow {
  const char* name;
  std::int32_t value;
};
void vdictStoreIntegerTable(vdict* d, const vdictIntegerRow* table, int count);
