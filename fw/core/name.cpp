#include "fw/core/name.h"

#include <cstring>
#include <iterator>

#include "fw/core/mem.h"

#define VNAME_DEFINE(id, text) vname vname_##id = nullptr;
VNAME_PREDEFINED(VNAME_DEFINE)
#undef VNAME_DEFINE

namespace {

#define VNAME_ADDRESS(id, text) &vname_##id,
vname* const predefinedVars[] = {VNAME_PREDEFINED(VNAME_ADDRESS)};
#undef VNAME_ADDRESS
#define VNAME_TEXT(id, text) text,
const char* const predefinedTexts[] = {VNAME_PREDEFINED(VNAME_TEXT)};
#undef VNAME_TEXT
static_assert(std::size(predefinedTexts) == vnamePREDEFINED_COUNT);

bool started = false;
std::size_t* primes = nullptr;
std::size_t primeCount = 0, primeCapacity = 0;
vpool* tablePool = nullptr;
vnameTable globalTable;

constexpr std::size_t kEntryHeader = sizeof(std::uint32_t);

std::uint32_t storedHash(const char* text) {
  std::uint32_t h;
  std::memcpy(&h, text - kEntryHeader, kEntryHeader);
  return h;
}

void appendPrime(std::size_t p) {
  if (primeCount == primeCapacity) {
    primeCapacity = primeCapacity ? primeCapacity * 2 : 5;
    primes = static_cast<std::size_t*>(vmemRealloc(primes, vmemArraySize(primeCapacity, sizeof(std::size_t))));
  }
  primes[primeCount++] = p;
}

// The text of a scribe that holds a C string, else a counted-string copy
// that the caller destroys.
const char* scribeText(vscribe* s, vstr** copy) {
  *copy = nullptr;
  if (s->flags & (vscribeCSTRING | vscribeLITERAL | vscribeNAME)) {
    const char* text = static_cast<const char*>(s->data);
    vscribeRelease(s);
    return text;
  }
  *copy = vstrCloneScribed(s, nullptr);
  return *copy;
}

// The slot holding the text, or the empty slot where it would go.
const char** probe(vnameTable* t, const char* text, std::uint32_t h) {
  const char** slot = t->slots + h % t->slotCount;
  while (*slot) {
    if (storedHash(*slot) == h && std::strcmp(*slot, text) == 0) return slot;
    if (++slot == t->slotsEnd) slot = t->slots;
  }
  return slot;
}

const char* storeEntry(vnameTable* t, const char* text, std::uint32_t h) {
  std::size_t length = std::strlen(text);
  std::size_t need = (length + 1 + kEntryHeader + 3) & ~std::size_t{3};
  if (t->blocksEnd == t->blocksBegin || t->blocksEnd[-1].remaining < need) {
    std::size_t size = need + 512;
    if (t->blocksEnd != t->blocksBegin) {
      const vnameBlock& newest = t->blocksEnd[-1];
      std::size_t newestSize = static_cast<std::size_t>(newest.next - newest.start) + newest.remaining;
      size = need + newestSize + newestSize / 8;
    }
    if (t->blocksEnd == t->blocksCap) {
      std::size_t n = static_cast<std::size_t>(t->blocksCap - t->blocksBegin);
      t->blocksBegin = static_cast<vnameBlock*>(vmemRealloc(t->blocksBegin, vmemArraySize(n * 2, sizeof(vnameBlock))));
      t->blocksEnd = t->blocksBegin + n;
      t->blocksCap = t->blocksBegin + n * 2;
    }
    char* block = static_cast<char*>(vmemAlloc(size));
    *t->blocksEnd++ = {block, block, size};
  }
  vnameBlock& b = t->blocksEnd[-1];
  char* entry = b.next;
  std::memcpy(entry, &h, kEntryHeader);
  std::memcpy(entry + kEntryHeader, text, length + 1);
  b.next += need;
  b.remaining -= need;
  return entry + kEntryHeader;
}

}  // namespace

std::uint32_t vnameHashString(const char* text) {
  std::uint32_t h = 0;
  for (auto* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
    h = h * 16 + *p;
    h ^= (h & 0xF0FFFFFFu) >> 24;
  }
  return h;
}

std::size_t vnameNextPrime(std::size_t n) {
  if (!primes)
    for (std::size_t p : {1, 2, 3, 5, 7}) appendPrime(p);
  if (n <= primes[primeCount - 1]) {
    std::size_t i = 0;
    while (primes[i] < n) ++i;
    return primes[i];
  }
  for (std::size_t c = primes[primeCount - 1] + 2;; c += 2) {
    bool prime = true;
    for (std::size_t i = 2; i < primeCount && primes[i] * primes[i] <= c; ++i)
      if (c % primes[i] == 0) {
        prime = false;
        break;
      }
    if (!prime) continue;
    appendPrime(c);
    if (c >= n) return c;
  }
}

void vnameInitTable(vnameTable* t, vnameHashFunc hash) {
  constexpr std::size_t kBlocks = 8, kSlots = 17;
  t->blocksBegin = static_cast<vnameBlock*>(vmemAlloc(sizeof(vnameBlock) * kBlocks));
  t->blocksEnd = t->blocksBegin;
  t->blocksCap = t->blocksBegin + kBlocks;
  t->hash = hash;
  t->unused = 0;
  t->slotCount = kSlots;
  t->slots = static_cast<const char**>(vmemAllocClear(sizeof(const char*) * kSlots));
  t->slotsEnd = t->slots + kSlots;
  t->freeCount = kSlots;
  t->threshold = kSlots / 4 + 1;
}

vnameTable* vnameCreateTable(vnameHashFunc hash) {
  vnameStartup();
  auto* t = static_cast<vnameTable*>(vpoolAlloc(tablePool));
  vnameInitTable(t, hash);
  return t;
}

void vnameFinishTable(vnameTable* t) {
  for (vnameBlock* b = t->blocksBegin; b != t->blocksEnd; ++b) vmemFree(b->start);
  vmemFree(t->blocksBegin);
  vmemFree(t->slots);
  t->blocksBegin = t->blocksEnd = t->blocksCap = nullptr;
  t->slots = t->slotsEnd = nullptr;
}

void vnameDestroyTable(vnameTable* t) {
  vnameFinishTable(t);
  if (tablePool && vpoolContains(tablePool, t)) vpoolFree(tablePool, t);
}

void vnameResizeTable(vnameTable* t, std::size_t requested) {
  std::size_t count = vnameNextPrime(requested);
  auto** slots = static_cast<const char**>(vmemAllocClear(vmemArraySize(count, sizeof(const char*))));
  std::size_t used = 0;
  for (const char** s = t->slots; s != t->slotsEnd; ++s) {
    if (!*s) continue;
    const char** to = slots + storedHash(*s) % count;
    while (*to)
      if (++to == slots + count) to = slots;
    *to = *s;
    ++used;
  }
  vmemFree(t->slots);
  t->slots = slots;
  t->slotsEnd = slots + count;
  t->slotCount = count;
  t->freeCount = count - used;
  t->threshold = count / 4 + 1;
}

vname vnameInternInTable(vnameTable* t, vscribe* s) {
  vstr* copy;
  const char* text = scribeText(s, &copy);
  std::uint32_t h = t->hash(text);
  const char** slot = probe(t, text, h);
  const char* name = *slot;
  if (!name) {
    name = *slot = storeEntry(t, text, h);
    if (--t->freeCount < t->threshold) vnameResizeTable(t, t->slotCount * 2);
  }
  if (copy) vstrDestroy(copy);
  return name;
}

vname vnameFindInTable(vnameTable* t, vscribe* s) {
  vstr* copy;
  const char* text = scribeText(s, &copy);
  const char* name = *probe(t, text, t->hash(text));
  if (copy) vstrDestroy(copy);
  return name;
}

void vnameInitTableIterator(vnameTableIterator* it, vnameTable* t) {
  it->slot = t->slots;
  it->end = t->slotsEnd;
  it->current = nullptr;
}

int vnameNextTableIterator(vnameTableIterator* it) {
  for (it->slot = it->current ? it->slot + 1 : it->slot; it->slot < it->end; ++it->slot)
    if (*it->slot) {
      it->current = *it->slot;
      return 1;
    }
  it->slot = it->end;
  return 0;
}

void vnameStartup() {
  if (started) return;
  started = true;
  vnameNextPrime(1);
  tablePool = vpoolCreate(sizeof(vnameTable));
  vnameInitTable(&globalTable, vnameHashString);
  vnameResizeTable(&globalTable, 306);
  for (int i = 0; i < vnamePREDEFINED_COUNT; ++i)
    *predefinedVars[i] = vnameInternInTable(&globalTable, vscribeLiteral(predefinedTexts[i]));
}

// The predefined names are global variables that code reads directly, so
// they are interned as soon as the program is loaded, not on first use.
[[maybe_unused]] const bool predefinedAtLoad = (vnameStartup(), true);

vname vnamePredefined(int index) {
  vnameStartup();
  return *predefinedVars[index];
}

namespace {

// A name scribe answers its own name without the table.
vname nameOrTable(vscribe* s, vname (*inTable)(vnameTable*, vscribe*)) {
  if (s->flags & vscribeNAME) {
    vname name = static_cast<vname>(s->data);
    vscribeRelease(s);
    return name;
  }
  vnameStartup();
  return inTable(&globalTable, s);
}

}  // namespace

vname vnameIntern(vscribe* s) { return nameOrTable(s, vnameInternInTable); }

vname vnameInternLiteral(const char* text) { return vnameIntern(vscribeLiteral(text)); }

vname vnameFind(vscribe* s) { return nameOrTable(s, vnameFindInTable); }

vscribe* vnameScribe(vname name) { return _vscribeText(name, vscribeNAME); }

std::uint32_t vnameGetHash(vname name) { return storedHash(name); }
