#include "fw/core/dict.h"

#include <cstring>

#include "fw/core/ex.h"
#include "fw/core/mem.h"
#include "fw/core/name.h"

namespace {

constexpr std::size_t kSmall = 11;

vpool* dictPool() {
  static vpool* pool = vpoolCreate(sizeof(vdict));
  return pool;
}
vpool* keyPool() {
  static vpool* pool = vpoolCreate(sizeof(void*) * kSmall);
  return pool;
}
vpool* valuePool() {
  static vpool* pool = vpoolCreate(sizeof(void*) * kSmall);
  return pool;
}

const void** allocSlots(vpool* pool, std::size_t n) {
  void* block = n == kSmall ? vpoolAlloc(pool) : vmemAlloc(vmemArraySize(n, sizeof(void*)));
  std::memset(block, 0, n * sizeof(void*));
  return static_cast<const void**>(block);
}

void freeSlots(vpool* pool, const void** slots, std::size_t n) {
  if (!slots) return;
  if (n == kSmall)
    vpoolFree(pool, slots);
  else
    vmemFree(slots);
}

void setArrays(vdict* d, std::size_t n) {
  d->slotCount = n;
  d->keys = allocSlots(keyPool(), n);
  d->keysEnd = d->keys + n;
  d->values = allocSlots(valuePool(), n);
  d->freeCount = n;
  d->threshold = n / d->loadDivisor + 1;
}

void checkKey(const void* key) {
  if (!key) vexGenerateMessage(&vexArgNullClass, "dictionary key is 0");
}

std::size_t home(const vdict* d, const void* key) { return d->hash(key) % d->slotCount; }

// The slot holding key, or the empty slot that ends its probe.
std::size_t probe(const vdict* d, const void* key) {
  std::size_t i = home(d, key);
  while (d->keys[i] && d->keys[i] != key)
    if (++i == d->slotCount) i = 0;
  return i;
}

void insert(vdict* d, const void* key, const void* value) {
  checkKey(key);
  std::size_t i = probe(d, key);
  bool fresh = !d->keys[i];
  d->keys[i] = key;
  d->values[i] = value;
  if (fresh && --d->freeCount < d->threshold) vdictResize(d, d->slotCount * 2);
}

}  // namespace

std::uint32_t vdictHashName(const void* key) { return vnameGetHash(static_cast<vname>(key)); }
std::uint32_t vdictHashPointer(const void* key) {
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(key) >> 2);
}

void vdictInit(vdict* d, vdictHashFunc hash) {
  d->hash = hash;
  d->loadDivisor = 4;
  d->unused = 0;
  setArrays(d, kSmall);
}

vdict* vdictCreate(vdictHashFunc hash) {
  auto* d = static_cast<vdict*>(vpoolAlloc(dictPool()));
  vdictInit(d, hash);
  return d;
}

void vdictCopyInit(const vdict* source, vdict* destination) {
  destination->hash = source->hash;
  destination->loadDivisor = source->loadDivisor;
  destination->unused = 0;
  setArrays(destination, source->slotCount);
  for (std::size_t i = 0; i < source->slotCount; ++i)
    if (source->keys[i]) insert(destination, source->keys[i], source->values[i]);
}

vdict* vdictCopy(const vdict* d) {
  auto* c = static_cast<vdict*>(vpoolAlloc(dictPool()));
  vdictCopyInit(d, c);
  return c;
}

void vdictFinish(vdict* d) {
  freeSlots(keyPool(), d->keys, d->slotCount);
  freeSlots(valuePool(), d->values, d->slotCount);
  d->keys = d->keysEnd = d->values = nullptr;
}

void vdictDestroy(vdict* d) {
  vdictFinish(d);
  if (vpoolContains(dictPool(), d)) vpoolFree(dictPool(), d);
}

void vdictStore(vdict* d, const void* key, const void* value) { insert(d, key, value); }

void vdictStoreInteger(vdict* d, const void* key, std::int32_t value) {
  insert(d, key, reinterpret_cast<const void*>(static_cast<std::intptr_t>(value)));
}

void vdictStoreFloat(vdict* d, const void* key, double value) {
  auto f = static_cast<float>(value);
  std::uint32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  insert(d, key, reinterpret_cast<const void*>(static_cast<std::uintptr_t>(bits)));
}

void* vdictGet(const vdict* d, const void* key) {
  checkKey(key);
  std::size_t i = probe(d, key);
  return d->keys[i] ? const_cast<void*>(d->values[i]) : nullptr;
}

bool vdictHas(const vdict* d, const void* key) {
  checkKey(key);
  return d->keys[probe(d, key)] != nullptr;
}

std::int32_t vdictGetInteger(const vdict* d, const void* key) {
  checkKey(key);
  std::size_t i = probe(d, key);
  if (!d->keys[i]) return INT32_MIN;
  return static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(d->values[i]));
}

float vdictGetFloat(const vdict* d, const void* key) {
  checkKey(key);
  std::size_t i = probe(d, key);
  if (!d->keys[i]) return 1.17549435e-38f;
  auto bits = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(d->values[i]));
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

// Deletion without tombstones: later entries of the run move back into the
// hole unless their home lies cyclically in (hole, their slot].
void vdictRemove(vdict* d, const void* key) {
  checkKey(key);
  std::size_t hole = probe(d, key);
  if (!d->keys[hole]) vexGenerateMessage(&vexArgClass, "key not in dictionary");
  std::size_t n = d->slotCount;
  for (std::size_t i = (hole + 1) % n;; i = (i + 1) % n) {
    if (!d->keys[i]) break;
    std::size_t h = home(d, d->keys[i]);
    bool stays = hole < i ? (h > hole && h <= i) : (h > hole || h <= i);
    if (stays) continue;
    d->keys[hole] = d->keys[i];
    d->values[hole] = d->values[i];
    hole = i;
  }
  d->keys[hole] = nullptr;
  d->values[hole] = nullptr;
  ++d->freeCount;
}

void vdictResize(vdict* d, std::size_t requested) {
  std::size_t n = requested < 12 ? kSmall : vnameNextPrime(requested);
  const void** oldKeys = d->keys;
  const void** oldValues = d->values;
  std::size_t oldCount = d->slotCount;
  setArrays(d, n);
  for (std::size_t i = 0; i < oldCount; ++i)
    if (oldKeys[i]) insert(d, oldKeys[i], oldValues[i]);
  freeSlots(keyPool(), oldKeys, oldCount);
  freeSlots(valuePool(), oldValues, oldCount);
}

void vdictSetLoadDivisor(vdict* d, int divisor) {
  if (divisor <= 0) vexGenerateMessage(&vexArgRangeClass, "load divisor must be positive");
  d->loadDivisor = static_cast<std::uint16_t>(divisor);
  d->threshold = d->slotCount / d->loadDivisor + 1;
}

std::size_t vdictCount(const vdict* d) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < d->slotCount; ++i) n += d->keys[i] != nullptr;
  return n;
}

void vdictInitIterator(vdictIterator* it, vdict* d) {
  it->dict = d;
  it->slot = nullptr;
}

int vdictNextIterator(vdictIterator* it) {
  for (it->slot = it->slot ? it->slot + 1 : it->dict->keys; it->slot < it->dict->keysEnd; ++it->slot)
    if (*it->slot) return 1;
  it->slot = it->dict->keysEnd;
  return 0;
}

void vdictStoreIntegerTable(vdict* d, const vdictIntegerRow* table, int count) {
  for (int i = 0; i < count; ++i) vdictStoreInteger(d, vnameInternLiteral(table[i].name), table[i].value);
}
