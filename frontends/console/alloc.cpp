// The front-end allocator. The console leaves allocation to the engine's
// own allocator, which can page memory out; these stay for the callers
// that name them, with the messages their failures report.
#include <cstdlib>
#include <cstring>

#include "frontends/console/services.h"
#include "sim/frontend/frontend.h"

namespace con {

int gui_allocator_active() { return 0; }

void* gui_dsp_alloc(std::size_t size, int clear) {
  void* block = clear != 0 ? std::calloc(size != 0 ? size : 1, 1) : std::malloc(size != 0 ? size : 1);
  if (block == nullptr) error_report("Insufficient memory: dsp_alloc");
  return block;
}

void* gui_dsp_realloc(void* block, std::size_t size) {
  void* grown = std::realloc(block, size != 0 ? size : 1);
  if (grown == nullptr) error_report("Error allocating memory");
  return grown;
}

void gui_dsp_free(void* block) { std::free(block); }

}  // namespace con
