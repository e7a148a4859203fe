// copy: a memory block to another address, overlapping blocks included.
#include "sim/cmd/commands.h"
#include "sim/cmd/dispatch.h"
#include "sim/cmd/lexer.h"
#include "sim/cmd/readers.h"
#include "sim/engine/device.h"
#include "sim/frontend.h"

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

  // Upwards unless the destination lies above the source: then from the
  // end down, so that an overlap is read before it is overwritten.
  const bool down = target > start;
  uint32_t s = down ? end : start;
  uint32_t d = down ? (target + count - 1) & dst.addr_mask : target;
  const mem_iface& mem = *cur_type->mem;
  for (uint32_t n = 0; n < count; ++n) {
    if (s % ABORT_CHECK_EVERY == 0 && abort_requested() != 0) {
      cur_inst->abort = 0;
      break;
    }
    uint32_t word = 0;
    mem.read_word(src.space, s, &word);
    mem.write_word(dst.space, d, &word);
    s = (down ? s - 1 : s + 1) & src.addr_mask;
    d = (down ? d - 1 : d + 1) & dst.addr_mask;
  }
}

constexpr action_record copy_record{copy_block, 0};

}  // namespace

const action_record* parse_copy_cmd() {
  if (!parse_memory_block(2)) return nullptr;
  if (!parse_memory_location(3, cur_device)) return nullptr;
  return check_no_more_args(4) ? &copy_record : nullptr;
}
