// copy: a memory block to another address, overlapping blocks included.
#include <vector>

#include "sim/cmd/commands.h"
#include "sim/cmd/dispatch.h"
#include "sim/cmd/lexer.h"
#include "sim/cmd/readers.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_type.h"
#include "sim/frontend/frontend.h"

namespace {

constexpr uint32_t ABORT_CHECK_EVERY = 512;

void copy_block(const char*) {
  const command_lexer& lx = *cur_lexer;
  const arg_value& from = lx.value[2];
  const arg_value& to = lx.value[3];
  const mem_region& src = cur_type->regions[from.region];
  const mem_region& dst = cur_type->regions[to.region];
  const uint32_t start = from.lo & src.addr_mask;
  const uint32_t end = (lx.kind[2] == 'p' ? from.lo : from.hi) & src.addr_mask;
  const uint32_t count = ((end - start) & src.addr_mask) + 1;
  const uint32_t target = to.lo & dst.addr_mask;

  // Through a temporary: any overlap, wrapping over the top of memory or
  // aliased through a generic space, copies the old words.
  const mem_iface& mem = *cur_type->mem;
  std::vector<uint32_t> words(count);
  for (uint32_t n = 0; n < count; ++n) mem.read_word(src.space, (start + n) & src.addr_mask, &words[n]);
  for (uint32_t n = 0; n < count; ++n) {
    if (((start + n) & src.addr_mask) % ABORT_CHECK_EVERY == 0 && abort_requested() != 0) {
      cur_inst->abort = 0;
      break;
    }
    mem.write_word(dst.space, (target + n) & dst.addr_mask, &words[n]);
  }
}

constexpr action_record copy_record{copy_block, 0};

}  // namespace

const action_record* cmd_copy() {
  if (!parse_memory_block(2)) return nullptr;
  if (!parse_memory_location(3, cur_device)) return nullptr;
  return check_no_more_args(4) ? &copy_record : nullptr;
}
