// Global memory blocks (handles with a lock count) and the process heap.
#include <cstdlib>
#include <memory>
#include <new>
#include <stdexcept>
#include <unordered_set>
#include <vector>

#include "platform/kernel/handles.h"
#include "platform/win.h"
#include "platform/win/test.h"

namespace win {
namespace {

// The bytes come from calloc, whose failure is an answer (null), where a
// container's would be an exception that a checked build cannot throw.
struct FreeBytes {
  void operator()(BYTE* p) const { std::free(p); }
};
struct GlobalBlock {
  std::unique_ptr<BYTE, FreeBytes> bytes;
  SIZE_T size = 0;
  int locks = 0;
};

internal::HandleTable<GlobalBlock>& blocks() {
  static internal::HandleTable<GlobalBlock> table(internal::HandleKind::global);
  return table;
}

GlobalBlock* checkBlock(HGLOBAL block) {
  GlobalBlock* b = blocks().get(internal::handleValue(block));
  if (!b) SetLastError(ERROR_INVALID_HANDLE);
  return b;
}

std::unordered_set<void*>& heapBlocks() {
  static std::unordered_set<void*> set;
  return set;
}

char processHeap;
SIZE_T globalCap = 0;  // the test API's: GlobalAlloc fails above it

}  // namespace

HGLOBAL GlobalAlloc(UINT, SIZE_T size) {
  if (globalCap && size > globalCap) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  // A request the process cannot hold fails as the system's call does.
  try {
    // Every block starts zero-filled, GMEM_ZEROINIT or not; a zero-size
    // block still locks to a unique address.
    auto* bytes = static_cast<BYTE*>(std::calloc(size ? size : 1, 1));
    if (!bytes) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return nullptr;
    }
    auto b = std::make_unique<GlobalBlock>();
    b->bytes.reset(bytes);
    b->size = size;
    auto h = internal::asHandle<HGLOBAL>(blocks().add(std::move(b)));
    if (!h) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return h;
  } catch (const std::bad_alloc&) {
  } catch (const std::length_error&) {
  }
  SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return nullptr;
}

void* GlobalLock(HGLOBAL block) {
  GlobalBlock* b = checkBlock(block);
  if (!b) return nullptr;
  ++b->locks;
  return b->bytes.get();
}

BOOL GlobalUnlock(HGLOBAL block) {
  GlobalBlock* b = checkBlock(block);
  if (!b) return 0;
  if (b->locks > 0) --b->locks;
  if (b->locks == 0) SetLastError(ERROR_SUCCESS);
  return b->locks > 0;
}

HGLOBAL GlobalFree(HGLOBAL block) {
  if (!blocks().remove(internal::handleValue(block))) {
    SetLastError(ERROR_INVALID_HANDLE);
    return block;
  }
  return nullptr;
}

SIZE_T GlobalSize(HGLOBAL block) {
  GlobalBlock* b = checkBlock(block);
  return b ? b->size : 0;
}

void test::SetGlobalAllocCap(SIZE_T bytes) { globalCap = bytes; }

HANDLE GetProcessHeap() { return &processHeap; }

void* HeapAlloc(HANDLE heap, DWORD flags, SIZE_T size) {
  if (heap != &processHeap) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  void* p = (flags & HEAP_ZERO_MEMORY) ? std::calloc(size ? size : 1, 1) : std::malloc(size ? size : 1);
  if (!p) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  try {
    heapBlocks().insert(p);
  } catch (const std::bad_alloc&) {
    std::free(p);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  return p;
}

// Only a block of this heap is freed; anything else is refused.
BOOL HeapFree(HANDLE heap, DWORD, void* block) {
  if (heap != &processHeap || !heapBlocks().erase(block)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::free(block);
  return 1;
}

}  // namespace win
