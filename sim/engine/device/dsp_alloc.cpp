// The simulator allocator. Every block carries a small header with its size
// and the allocator it came from, so that blocks stay freeable when the
// front-end's allocator comes or goes, and so that a test can cap the bytes
// held at once to exercise paging.
#include <cassert>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "sim/engine/device/memory.h"
#include "sim/frontend/frontend.h"

namespace {

enum block_origin : uint32_t { FROM_HEAP = 1, FROM_GUI = 2 };
constexpr uint32_t BLOCK_MAGIC = 0xD5A110C8u;

struct alignas(std::max_align_t) alloc_header {
  std::size_t size;
  uint32_t origin;
  uint32_t magic;
};
constexpr std::size_t HEADER = sizeof(alloc_header);

std::size_t bytes_in_use = 0;
uint32_t failures = 0;
std::size_t byte_limit = 0;  // 0: no cap
// Devices on worker threads allocate sparse pages too. Recursive: paging
// out inside an allocation frees a block.
std::recursive_mutex alloc_lock;

bool over_limit(std::size_t old_size, std::size_t new_size) {
  if (byte_limit == 0) return false;
  return bytes_in_use - old_size + new_size > byte_limit;
}

alloc_header* header_of(void* block) {
  auto* h = reinterpret_cast<alloc_header*>(static_cast<char*>(block) - HEADER);
  assert(h->magic == BLOCK_MAGIC);
  return h;
}

void* user_part(alloc_header* h) { return reinterpret_cast<char*>(h) + HEADER; }

void* stamp(void* raw, std::size_t size, block_origin origin) {
  auto* h = static_cast<alloc_header*>(raw);
  h->size = size;
  h->origin = origin;
  h->magic = BLOCK_MAGIC;
  bytes_in_use += size;
  return user_part(h);
}

void* heap_alloc(std::size_t size) {
  if (over_limit(0, size)) return nullptr;
  return std::malloc(size + HEADER);
}

}  // namespace

void* dsp_alloc(std::size_t size, int clear) {
  const std::lock_guard<std::recursive_mutex> hold(alloc_lock);
  if (size > SIZE_MAX - HEADER) return nullptr;
  if (gui_allocator_active()) {
    void* raw = gui_dsp_alloc(size + HEADER, clear);  // reports its own failure
    return raw ? stamp(raw, size, FROM_GUI) : nullptr;
  }
  void* raw = heap_alloc(size);
  while (!raw && page_out_memory()) raw = heap_alloc(size);
  if (!raw) {
    report_memory_failure("Insufficient memory: dsp_alloc");
    return nullptr;
  }
  void* block = stamp(raw, size, FROM_HEAP);
  if (clear) std::memset(block, 0, size);
  return block;
}

void* dsp_realloc(void* block, std::size_t size) {
  if (!block) return dsp_alloc(size, 0);
  const std::lock_guard<std::recursive_mutex> hold(alloc_lock);
  if (size > SIZE_MAX - HEADER) return nullptr;
  alloc_header* h = header_of(block);
  const std::size_t old_size = h->size;
  if (h->origin == FROM_GUI) {
    void* raw = gui_dsp_realloc(h, size + HEADER);
    if (!raw) return nullptr;
    h = static_cast<alloc_header*>(raw);
  } else {
    void* raw = nullptr;
    for (;;) {
      if (!over_limit(old_size, size)) raw = std::realloc(h, size + HEADER);
      if (raw || !page_out_memory()) break;
    }
    if (!raw) {
      report_memory_failure("Insufficient memory: dsp_realloc");
      return nullptr;  // the old block stays valid
    }
    h = static_cast<alloc_header*>(raw);
  }
  bytes_in_use = bytes_in_use - old_size + size;
  h->size = size;
  return user_part(h);
}

void dsp_free(void* block) {
  if (!block) return;
  const std::lock_guard<std::recursive_mutex> hold(alloc_lock);
  alloc_header* h = header_of(block);
  if (h->magic != BLOCK_MAGIC) return;  // not ours: leaking beats corrupting
  bytes_in_use -= h->size;
  h->magic = 0;
  if (h->origin == FROM_GUI)
    gui_dsp_free(h);
  else
    std::free(h);
}

void dsp_alloc_set_limit(std::size_t bytes) { byte_limit = bytes; }

void report_memory_failure(const char* message) {
  const std::lock_guard<std::recursive_mutex> hold(alloc_lock);
  if (failures++ == 0) error_report(message);
}
uint32_t memory_failure_count() { return failures; }
void restart_memory_failures() { failures = 0; }

std::size_t dsp_alloc_in_use() { return bytes_in_use; }
bool dsp_alloc_capped() { return byte_limit != 0; }
