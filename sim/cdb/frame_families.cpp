// What each family's C compiler leaves in a function's prologue and on the
// stacks, read back into return addresses, stack pointers and the slots of
// saved registers.
#include <algorithm>
#include <array>
#include <span>

#include "sim/cdb/c_scope.h"
#include "sim/cdb/c_value.h"
#include "sim/cdb/coff.h"
#include "sim/cdb/coff_internal.h"
#include "sim/cdb/frames.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/memory.h"
#include "sim/engine/device/regaccess.h"

namespace {
const coff_debug_info* dbg() { return current_debug_info(); }
const coff_symbol& sym(uint32_t i) { return dbg()->c_symbols[i]; }
}  // namespace

namespace {

constexpr const char* SOURCE = "cdbbt.c";
// A routine or prologue longer than this is not a compiler's.
constexpr uint32_t SCAN_MAX = 0x10000;

struct push_row {
  uint32_t opcode;
  int space;
  const char* name;
};

constexpr push_row push711[] = {
    {0x3806, 1, "x0"}, {0x3826, 1, "y0"}, {0x3846, 1, "x1"}, {0x3866, 1, "y1"}, {0x3886, 1, "a1"},
    {0x38A6, 1, "b1"}, {0x38C6, 1, "a0"}, {0x38E6, 1, "b0"}, {0x3986, 1, "a1"}, {0x39A6, 1, "b1"},
    {0x3A06, 1, "r0"}, {0x3A26, 1, "r1"}, {0x3A66, 1, "r3"},
};

constexpr push_row push713[] = {
    {0xD01F, 1, "x0"}, {0xD09F, 1, "a0"}, {0xD11F, 1, "y0"}, {0xD19F, 1, "b0"}, {0xD31F, 1, "y1"},
    {0xD41F, 1, "a1"}, {0xD51F, 1, "b1"}, {0xD61F, 1, "a1"}, {0xD71F, 1, "b1"}, {0xD81F, 1, "r0"},
    {0xD91F, 1, "r1"}, {0xDA1F, 1, "r2"}, {0xDB1F, 1, "r3"},
};

constexpr push_row push_rows24[] = {
    {0x425E00, 3, "x"},  {0x435E00, 3, "y"},  {0x445E00, 1, "x0"}, {0x455E00, 1, "x1"}, {0x465E00, 1, "y0"},
    {0x475E00, 1, "y1"}, {0x485E00, 3, "a"},  {0x495E00, 3, "b"},  {0x4C5E00, 2, "x0"}, {0x4D5E00, 2, "x1"},
    {0x4E5E00, 2, "y0"}, {0x4F5E00, 2, "y1"}, {0x505E00, 1, "a0"}, {0x515E00, 1, "b0"}, {0x545E00, 1, "a1"},
    {0x555E00, 1, "b1"}, {0x565E00, 1, "a1"}, {0x575E00, 1, "b1"}, {0x585E00, 2, "a0"}, {0x595E00, 2, "b0"},
    {0x5C5E00, 2, "a1"}, {0x5D5E00, 2, "b1"}, {0x5E5E00, 2, "a1"}, {0x5F5E00, 2, "b1"}, {0x615E00, 1, "r1"},
    {0x625E00, 1, "r2"}, {0x635E00, 1, "r3"}, {0x645E00, 1, "r4"}, {0x655E00, 1, "r5"}, {0x675E00, 1, "r7"},
    {0x695E00, 2, "r1"}, {0x6A5E00, 2, "r2"}, {0x6B5E00, 2, "r3"}, {0x6C5E00, 2, "r4"}, {0x6D5E00, 2, "r5"},
    {0x6F5E00, 2, "r7"},
};

// The 32-bit family's table, built in opcode order: data registers whole
// or in parts, pairs saved into both spaces by one word, address registers.
constexpr std::array<const char*, 8 * 6> data_part_names = {
    "d0.d", "d1.d", "d2.d", "d3.d", "d4.d", "d5.d", "d6.d", "d7.d", "d0.ml", "d1.ml", "d2.ml", "d3.ml",
    "d4.ml", "d5.ml", "d6.ml", "d7.ml", "d0.l", "d1.l", "d2.l", "d3.l", "d4.l", "d5.l", "d6.l", "d7.l",
    "d0.s", "d1.s", "d2.s", "d3.s", "d4.s", "d5.s", "d6.s", "d7.s", "d0.m", "d1.m", "d2.m", "d3.m",
    "d4.m", "d5.m", "d6.m", "d7.m", "d0.h", "d1.h", "d2.h", "d3.h", "d4.h", "d5.h", "d6.h", "d7.h",
};
enum { PART_D, PART_ML, PART_L, PART_S, PART_M, PART_H };
constexpr const char* part(int suffix, uint32_t n) { return data_part_names[static_cast<std::size_t>(suffix) * 8 + n]; }
constexpr const char* address_names[] = {"r1", "r2", "r3", "r4", "r5", "r7"};
constexpr uint32_t address_opcodes[] = {0x3297A000, 0x32A7A000, 0x32B7A000, 0x32C7A000, 0x32D7A000, 0x32F7A000};
constexpr std::size_t PUSH710_ROWS = 348;

constexpr std::array<push_row, PUSH710_ROWS> make_push710() {
  std::array<push_row, PUSH710_ROWS> t{};
  std::size_t k = 0;
  for (uint32_t n = 0; n < 8; ++n) t[k++] = {0x2507A004 + (n << 20), 3, part(PART_D, n)};
  for (uint32_t n = 0; n < 8; ++n) t[k++] = {0x2587A000 + (n << 20), 3, part(PART_ML, n)};
  for (uint32_t j = 0; j < 64; ++j) {
    const uint32_t c = 0x2807A000 + (j << 20);
    t[k++] = {c, 1, part(PART_L, j % 8)};
    t[k++] = {c, 2, part(PART_L, j / 8)};
    t[k++] = {c + 4, 1, part(PART_S, j % 8)};
    t[k++] = {c + 4, 2, part(PART_S, j / 8)};
  }
  for (uint32_t space_add = 0; space_add <= 0x04000000; space_add += 0x04000000) {
    const int space = space_add == 0 ? 1 : 2;
    for (uint32_t n = 0; n < 8; ++n) t[k++] = {0x3007A004 + (n << 20) + space_add, space, part(PART_S, n)};
    for (uint32_t n = 0; n < 8; ++n) t[k++] = {0x3087A000 + (n << 20) + space_add, space, part(PART_L, n)};
    for (uint32_t n = 0; n < 8; ++n) t[k++] = {0x3107A000 + (n << 20) + space_add, space, part(PART_M, n)};
    for (uint32_t n = 0; n < 8; ++n) t[k++] = {0x3187A000 + (n << 20) + space_add, space, part(PART_H, n)};
    for (std::size_t r = 0; r < 6; ++r) t[k++] = {address_opcodes[r] + space_add, space, address_names[r]};
  }
  return t;
}
constexpr std::array<push_row, PUSH710_ROWS> push710 = make_push710();
static_assert(std::is_sorted(push710.begin(), push710.end(),
                             [](const push_row& a, const push_row& b) { return a.opcode < b.opcode; }));

// The first row of the opcode, or null.
const push_row* push_table_find(std::span<const push_row> table, uint32_t opcode) {
  const auto it = std::lower_bound(table.begin(), table.end(), opcode,
                                   [](const push_row& r, uint32_t op) { return r.opcode < op; });
  return it != table.end() && it->opcode == opcode ? &*it : nullptr;
}

// --- Words of the machine ---------------------------------------------------------

int code() { return c_family->code; }

bool program_word(uint32_t address, uint32_t& out) {
  if (frame_target->read_program(address & c_family->address, &out) != 0) return true;
  c_error("error reading from program memory");
  return false;
}

// The space data words live in: the memory model's, model 3 reading space 2
// outside family 711.
int data_space() {
  const int model = memory_model();
  return model == 3 && code() != 711 ? 2 : model;
}

bool data_word(uint32_t address, uint32_t& out, const char* message) {
  if (frame_target->read_data(data_space(), address & c_family->address, &out) != 0) return true;
  c_error(message);
  return false;
}

int32_t sign_extend(uint32_t word, int width) {
  const uint32_t sign = 1u << (width - 1);
  const uint32_t mask = width >= 32 ? 0xFFFFFFFFu : (1u << width) - 1;
  return static_cast<int32_t>(((word & mask) ^ sign) - sign);
}

// --- Functions ----------------------------------------------------------------------

// The prologue of the function holding an address: its first word and the
// ".bf" address; false when either is missing or the ".bf" is not after it.
struct prologue {
  int function = -1;
  int bf = -1;
  uint32_t first = 0, end = 0;
};
prologue prologue_at(uint32_t address) {
  prologue p;
  p.function = c_function_at(address);
  p.bf = c_function_begin(p.function);
  if (p.bf >= 0) {
    p.first = sym(static_cast<uint32_t>(p.function)).value();
    p.end = std::min(sym(static_cast<uint32_t>(p.bf)).value(), p.first + SCAN_MAX);
  }
  return p;
}
bool has_words(const prologue& p) { return p.bf >= 0 && p.end > p.first; }

// Auxiliary word 5 of the ".bf" of the function whose body holds pc.
bool frame_code(uint32_t pc, int32_t& out) {
  const int b = c_scope_function_at(pc);
  if (b < 0) return false;
  const coff_symbol& s = sym(static_cast<uint32_t>(b));
  if (s.sclass() != SC_FUNCTION || s.aux_count() == 0) {
    out = 99;  // no frame code: the prologue tells
    return true;
  }
  out = static_cast<int32_t>(sym(static_cast<uint32_t>(b) + 1).w[5]);
  return true;
}

// --- Word forms ---------------------------------------------------------------------

bool push711_word(uint32_t w) { return (w & 0xFC1F) == 0x3806 || w == 0x01E6; }
bool push24(uint32_t w) { return (w & 0xC0FFFF) == 0x405E00 || w == 0x205E00; }
bool frame_save24(uint32_t w) { return (w & 0xFFFF3F) == 0x055E3C; }
bool push32(uint32_t w) { return (w & 0xE00FFFF8) == 0x2007A000; }
bool frame_save32(uint32_t w) { return (w & 0xFFFFF6FF) == 0x0137A07C; }
bool alloc32(uint32_t w) { return (w & 0xFF80007F) == 0x00800036; }
int32_t alloc32_count(uint32_t w) { return static_cast<int32_t>((w & 0x7FFF80) >> 7); }
bool saving_call712(uint32_t w) { return w == 0x0D1080 || (w & 0x058000) == 0x058000; }

// A 24-bit allocation head at a: its n and the words it takes (1 or 2).
bool alloc24_head(uint32_t a, uint32_t w, int32_t& n, uint32_t& length) {
  if ((w & 0xFF00FF) == 0x3E0000) {
    n = static_cast<int32_t>((w >> 8) & 0xFF);
    length = 1;
    return true;
  }
  if (w != 0x76F400) return false;
  uint32_t count = 0;
  if (!program_word(a + 1, count)) return false;
  n = sign_extend(count, c_family->width);
  length = 2;
  return true;
}

bool push_word(uint32_t w) {
  switch (code()) {
    case 711:
    case 713: return push711_word(w);
    case 709:
    case 712: return push24(w);
    default: return push32(w);
  }
}
bool frame_save_word(uint32_t w) { return c_family->width == 24 ? frame_save24(w) : frame_save32(w); }

// --- Hardware stack -------------------------------------------------------------------

bool reg(const char* name, uint32_t& out, const char* message) {
  const int r = frame_target->read_register(name, &out);
  if (r > 0) return true;
  if (r < 0) {
    c_internal_error(SOURCE, __LINE__);
  } else {
    c_error(message);
  }
  return false;
}

uint32_t frame_hw_return() {
  const uint32_t loop_flag = code() == 710 ? 0x80000000u : 0x8000u;
  uint32_t sr = 0;
  const int has_sr = frame_target->read_register("sr", &sr);
  if (has_sr == 0) {
    c_error("unable to read sr");
    return 0;
  }
  const bool in_loop = has_sr > 0 && (sr & loop_flag) != 0;
  uint32_t kept_sp = 0;
  if (in_loop) {
    if (!reg("sp", kept_sp, "unable to read sp")) return 0;
    uint32_t sp = kept_sp;
    // Each loop level holds two entries; the saved sr says whether an
    // outer loop lies below. Bounded by the stack's depth.
    for (int level = 0; level < 64; ++level) {
      uint32_t ssl = 0;
      if (!reg("ssl", ssl, "unable to read ssl")) return 0;
      if (sp <= 2) {  // no entry would be left below the loops
        c_internal_error(SOURCE, __LINE__);
        return 0;
      }
      sp -= 2;
      if (frame_target->write_register("sp", sp) == 0) {
        c_error("unable to write sp");
        return 0;
      }
      if ((ssl & loop_flag) == 0) break;
    }
  }
  uint32_t ssh = 0;
  const bool read = reg("ssh", ssh, "unable to read ssh");
  if (in_loop && frame_target->write_register("sp", kept_sp) == 0) c_error("unable to write sp");
  return read ? ssh : 0;
}

// The return address below count pushes under the stack pointer.
uint32_t stack_return(uint32_t stack_pointer, int32_t count) {
  uint32_t w = 0;
  return data_word(stack_pointer - static_cast<uint32_t>(count) - 1, w, "error reading from memory") ? w : 0;
}

// Pushes after the first frame-save word (family 711: after 0x3B06).
uint32_t prologue_return(uint32_t pc, uint32_t stack_pointer) {
  const prologue p = prologue_at(pc);
  if (p.function < 0 || p.bf < 0) return 0;
  int32_t count = 0;
  bool counting = false;
  for (uint32_t a = p.first; a < p.end; ++a) {
    uint32_t w = 0;
    if (!program_word(a, w)) return 0;
    const bool save = code() == 711 ? w == 0x3B06 : frame_save_word(w);
    if (counting && push_word(w)) {
      ++count;
    } else if (save) {
      counting = true;
    }
  }
  return stack_return(stack_pointer, count);
}

bool hw_code(int32_t c) {
  constexpr int32_t codes[] = {0, 1, 4, 5, 12, 13, 16, 17, 20, 21, 28, 29};
  return std::find(std::begin(codes), std::end(codes), c) != std::end(codes);
}

// Families 709 and 710: what the frame code says of the return address
// and the caller's frame pointer.
enum class by_code { stack_words, hardware, prologue };
struct code_rule {
  by_code ret;
  int next;  // 0: 0, 1: frame pointer itself, -1/-2: data word below it
};
code_rule frame_code_rule(int32_t c) {
  if (c >= 16 && c <= 31) c -= 16;
  switch (c) {
    case -1: case 3: case 6: case 7: case 14: case 15: return {by_code::stack_words, -2};
    case 0: return {by_code::hardware, 1};
    case 1: case 5: case 13: return {by_code::hardware, -2};
    case 4: case 12: return {by_code::hardware, -1};
    case 2: return {by_code::prologue, 1};
    default: return {by_code::prologue, 0};
  }
}

uint32_t software_stack(uint32_t frame_pointer, uint32_t below) {
  uint32_t w = 0;
  return data_word(frame_pointer - below, w, "error reading from software stack") ? w : 0;
}

}  // namespace

int push_regs_count() {
  uint32_t address = 0;
  int space = 0;
  if (find_symbol("push_regs", &address, &space) == 0) return 0;
  int count = 0;
  for (uint32_t a = address; a < address + SCAN_MAX; ++a) {
    uint32_t w = 0;
    if (!program_word(a, w)) return 0;
    if (w == 0x00000C) break;
    if (push24(w)) ++count;
  }
  return count;
}

int32_t frame_stack_adjust(uint32_t pc) {
  if (dbg() == nullptr) return 0;
  const int f = c_function_at(pc);
  if (f < 0) return 0;
  const coff_symbol& fs = sym(static_cast<uint32_t>(f));
  const uint64_t end = uint64_t{fs.value()} + sym(static_cast<uint32_t>(f) + 1).w[1];
  if (pc >= end) return 0;
  uint32_t single = 0x205600;
  if (code() == 711) single = 0x3211;
  else if (code() != 709 && code() != 712) single = 0x15B5A000;
  int32_t released = 0;
  for (uint32_t a = pc; a < end && released < 3; ++a) {
    uint32_t w = 0;
    if (!program_word(a, w)) return 0;
    if (w != single) break;
    ++released;
  }
  if (released > 0) return -released;
  uint32_t w[4] = {};
  for (uint32_t k = 0; k < 4; ++k)
    if (!program_word(pc + k, w[k])) return 0;
  switch (code()) {
    case 711:
      return w[0] == 0x3FDC && w[2] == 0 && w[3] == 0x3611 ? sign_extend(w[1], 16) : 0;
    case 709:
    case 712: {
      if ((w[0] & 0xFF00FF) != 0x3E0000) return 0;
      const auto n = static_cast<int32_t>((w[0] >> 8) & 0xFF);
      const bool release = code() == 712 ? w[1] == 0x204600 : w[1] == 0 && w[2] == 0x204600;
      return release ? -n : 0;
    }
    default:
      return alloc32(w[0]) && w[1] == 0 && w[2] == 0x15B1A000 ? -alloc32_count(w[0]) : 0;
  }
}

int32_t frame_prologue_size(uint32_t function_address) {
  const prologue p = prologue_at(function_address);
  if (!has_words(p)) return 0;
  int32_t size = 0;
  for (uint32_t a = p.first; a < p.end;) {
    uint32_t w = 0;
    if (!program_word(a, w)) return 0;
    int32_t n = 0;
    uint32_t length = 0;
    if (code() == 711 || code() == 713) {
      uint32_t seq[3] = {};
      if (w == 0x3FDC) {
        for (uint32_t k = 0; k < 3; ++k)
          if (!program_word(a + 1 + k, seq[k])) return 0;
        if (seq[1] == 0 && seq[2] == 0x3611) {
          size += sign_extend(seq[0], 16);
          a += 4;
          continue;
        }
      }
      if (push711_word(w)) ++size;
      ++a;
      continue;
    }
    if (code() == 710) {
      if (alloc32(w)) {
        uint32_t middle = 0, closing = 0;
        if (!program_word(a + 1, middle)) return 0;
        if (middle != 0x0AEA2000) return size;
        if (!program_word(a + 2, closing)) return 0;
        if (closing == 0x15B3A000) size += alloc32_count(w);
        a += 3;
        continue;
      }
      if (push32(w) || frame_save32(w) || w == 0x15B7A000) ++size;
      ++a;
      continue;
    }
    // The 24-bit families.
    if (alloc24_head(a, w, n, length)) {
      uint32_t middle = 0, closing = 0;
      if (!program_word(a + length, middle)) return 0;
      if (code() == 709) {
        if (middle != 0x22D000 && middle != 0) return size;
        if (!program_word(a + length + 1, closing)) return 0;
        if (closing == 0x204E00) size += n;
        a += length + 2;
        continue;
      }
      if (middle == 0) {
        if (!program_word(a + length + 1, closing)) return 0;
        if (closing == 0x204E00) size += n;
        a += length + 2;
        continue;
      }
      if (saving_call712(middle)) {
        size += push_regs_count() + n + 1;
        a += length + 1 + (middle == 0x0D1080 ? 1 : 0);
        continue;
      }
      a += length;  // the middle word is looked at again
      continue;
    }
    if (code() == 712 && saving_call712(w)) {
      size += push_regs_count();
    } else if (push24(w) || frame_save24(w) || (code() == 712 && w == 0x045E16)) {
      ++size;
    }
    ++a;
  }
  return size;
}

std::vector<frame_saved_reg> frame_saved_registers(uint32_t pc, uint32_t stack_pointer) {
  std::vector<frame_saved_reg> cells;
  if (dbg() == nullptr || code() == 714) return cells;
  const prologue p = prologue_at(pc);
  if (p.function < 0 || p.bf < 0) return cells;
  std::span<const push_row> table;
  switch (code()) {
    case 711: table = push711; break;
    case 713: table = push713; break;
    case 709:
    case 712: table = push_rows24; break;
    default: table = push710; break;
  }
  uint32_t k = 0;
  const auto add_cell = [&](const push_row& r) { cells.insert(cells.begin(), {r.name, k, r.space}); };
  for (uint32_t a = p.first; a < p.end;) {
    uint32_t w = 0;
    if (!program_word(a, w)) break;
    if (const push_row* row = push_table_find(table, w)) {
      for (; row != table.data() + table.size() && row->opcode == w; ++row) add_cell(*row);
      ++k;
      ++a;
      continue;
    }
    if (code() == 711 || code() == 713) {
      uint32_t seq[3] = {};
      bool alloc = w == 0x3FDC;
      for (uint32_t m = 0; alloc && m < 3; ++m) alloc = program_word(a + 1 + m, seq[m]);
      if (alloc && seq[1] == 0 && seq[2] == 0x3611) {
        k += static_cast<uint32_t>(sign_extend(seq[0], 16));
        a += 4;
        continue;
      }
      if (push711_word(w)) ++k;
      ++a;
      continue;
    }
    if (code() == 710) {
      if (alloc32(w)) {
        uint32_t middle = 0, closing = 0;
        if (!program_word(a + 1, middle) || middle != 0x0AEA2000) break;
        if (!program_word(a + 2, closing)) break;
        if (closing == 0x15B3A000) k += static_cast<uint32_t>(alloc32_count(w));
        a += 3;
        continue;
      }
      if (push32(w) || frame_save32(w)) ++k;
      ++a;
      continue;
    }
    int32_t n = 0;
    uint32_t length = 0;
    if (alloc24_head(a, w, n, length)) {
      uint32_t middle = 0, closing = 0;
      if (!program_word(a + length, middle) || middle != 0x22D000) break;
      if (!program_word(a + length + 1, closing)) break;
      if (closing == 0x204E00) k += static_cast<uint32_t>(n);
      a += length + 2;
      continue;
    }
    if ((w & 0xC0FFFF) == 0x405E00 || frame_save24(w)) ++k;
    ++a;
  }
  for (frame_saved_reg& c : cells) c.slot = (c.slot + stack_pointer - k) & c_family->address;
  return cells;
}

const frame_hook_table* frame_hooks() {
  return cur_family != nullptr ? static_cast<const frame_hook_table*>(cur_family->frame_hooks) : nullptr;
}

uint32_t frame_return_address(uint32_t pc, uint32_t frame_pointer, uint32_t stack_pointer) {
  const frame_hook_table* hooks = frame_hooks();
  if (hooks != nullptr && hooks->return_address != nullptr) return hooks->return_address(pc, frame_pointer, stack_pointer);
  if (dbg() == nullptr) return 0;
  int32_t c = 0;
  switch (code()) {
    case 711:
      if (!frame_code(pc, c)) return 0;
      return hw_code(c) ? frame_hw_return() : prologue_return(pc, stack_pointer);
    case 709:
    case 710: {
      if (!frame_code(pc, c)) return 0;
      const code_rule r = frame_code_rule(c);
      if (r.ret == by_code::stack_words) return software_stack(frame_pointer, 1);
      return r.ret == by_code::hardware ? frame_hw_return() : prologue_return(pc, stack_pointer);
    }
    case 712:
      if (!frame_code(pc, c)) return 0;
      if (c == -4 || c == -2) {
        uint32_t w = 0;
        const uint32_t below = static_cast<uint32_t>(push_regs_count()) + 1;
        return data_word(stack_pointer - below, w, "error reading from program memory") ? w : 0;
      }
      if (c == -3 || c == -1 || hw_code(c)) return frame_hw_return();
      return prologue_return(pc, stack_pointer);
    default: return 0;
  }
}

uint32_t frame_next_stack(uint32_t pc, uint32_t stack_pointer, uint32_t return_address) {
  const frame_hook_table* hooks = frame_hooks();
  if (hooks != nullptr && hooks->next_stack != nullptr) return hooks->next_stack(pc, stack_pointer, return_address);
  if (dbg() == nullptr || code() == 713 || code() == 714) return 0;
  const int f = c_function_at(pc);
  if (f < 0) return 0;
  const int32_t size = frame_prologue_size(sym(static_cast<uint32_t>(f)).value());
  return (stack_pointer + static_cast<uint32_t>(frame_stack_adjust(return_address)) - static_cast<uint32_t>(size)) &
         c_family->address;
}

uint32_t frame_next(uint32_t pc, uint32_t frame_pointer, uint32_t stack_pointer, uint32_t return_address) {
  const frame_hook_table* hooks = frame_hooks();
  if (hooks != nullptr && hooks->next_frame != nullptr)
    return hooks->next_frame(pc, frame_pointer, stack_pointer, return_address);
  if (dbg() == nullptr) return 0;
  switch (code()) {
    case 711:
    case 712: return frame_next_stack(pc, stack_pointer, return_address);
    case 709:
    case 710: {
      int32_t c = 0;
      if (!frame_code(pc, c)) return 0;
      const int next = frame_code_rule(c).next;
      if (next == 1) return frame_pointer;
      return next < 0 ? software_stack(frame_pointer, static_cast<uint32_t>(-next)) : 0;
    }
    default: return 0;
  }
}

const char* frame_register_name(bool stack) {
  if (code() == 711) return "r2";
  if (code() == 712) return "r6";
  return stack ? "r6" : "r0";
}

bool frame_register_adjusted(bool stack) { return stack || code() == 711 || code() == 712; }
