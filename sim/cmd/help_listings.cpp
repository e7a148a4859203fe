// The listings of the help command: registers, peripherals, memory map,
// symbols, the hardware stack, pins, I/O registers, memory-map modes and
// ports of the current device.
#include <algorithm>
#include <array>
#include <bit>
#include <cstdio>
#include <numeric>
#include <string>
#include <vector>

#include "sim/cmd/help.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_type.h"
#include "sim/engine/device/memory.h"
#include "sim/engine/periph/periph.h"
#include "sim/engine/device/regaccess.h"
#include "sim/frontend/frontend.h"

void (*list_program_symbols)(std::vector<listed_symbol>& out) = nullptr;

namespace {

template <typename... Args>
std::string print(const char* format, Args... args) {
  std::array<char, 160> buffer{};
  std::snprintf(buffer.data(), buffer.size(), format, args...);
  return buffer.data();
}

// Size in words of a register value by the shape bits of its access word.
int register_words(uint32_t access) {
  const uint32_t shape = access & 7;
  return shape == 1 ? 1 : shape == 2 ? 2 : 3;
}

// Prints cells in columns of `width` visible characters, `per_line` to a
// line. Highlight braces take no room.
class column_printer {
 public:
  column_printer(std::size_t width, int per_line) : width_(width), per_line_(per_line) {}
  bool add(const std::string& cell) {
    if (count_ > 0) {
      const std::size_t visible = line_.size() - braces_;
      line_.append(width_ * static_cast<std::size_t>(count_) > visible
                       ? width_ * static_cast<std::size_t>(count_) - visible
                       : 1,
                   ' ');
    }
    line_ += cell;
    braces_ += static_cast<std::size_t>(std::count(cell.begin(), cell.end(), '{') +
                                        std::count(cell.begin(), cell.end(), '}'));
    return ++count_ < per_line_ || flush();
  }
  bool flush() {
    if (count_ == 0) return true;
    const bool go_on = help_line(line_);
    line_.clear();
    count_ = 0;
    braces_ = 0;
    return go_on;
  }

 private:
  std::size_t width_;
  int per_line_;
  std::string line_;
  std::size_t braces_ = 0;
  int count_ = 0;
};

// The concrete spaces the memory-map modes cover, each with the generic
// space that resolves to it.
constexpr std::array<std::pair<int, int>, 7> map_spaces = {
    {{15, 0}, {14, 0}, {12, 0}, {19, 1}, {20, 1}, {24, 2}, {25, 2}}};

bool wanted_symbol_class(int storage_class) {
  constexpr int classes[] = {2, 210, 211, 213, 214, 215};
  return std::find(std::begin(classes), std::end(classes), storage_class) != std::end(classes);
}

char pin_state(const uint32_t* block, int known_word, int level_word, uint32_t mask) {
  if ((block[known_word] & mask) == 0) return 'x';
  return (block[level_word] & mask) != 0 ? '1' : '0';
}

// What the memory-map list says of each space; the generic spaces take the
// family's own lines.
struct space_help {
  int space;
  const char* text;
};
constexpr space_help space_helps[] = {
    {SPACE_PE, "external program memory"},  {SPACE_PI, "internal program memory"},
    {SPACE_PR, "bootstrap program rom"},    {SPACE_XE, "external x data memory"},
    {SPACE_XI, "internal x data memory and on-chip i/o"},
    {SPACE_XR, "internal x data rom"},
};

}  // namespace

const char* space_help_line(int space) {
  if (space == SPACE_P) return cur_family->help_generic_p;
  if (space == SPACE_X) return cur_family->help_generic_x;
  for (const space_help& h : space_helps)
    if (h.space == space) return h.text;
  return "";
}

void help_list_registers() {
  for (int p = 0; p < cur_type->periph_count; ++p) {
    const periph_row& row = cur_type->periphs[p];
    const periph_class& cls = *row.cls;
    if (!help_line("") || !help_line(print("peripheral index:%d, name:%s, number of registers:%d", p,
                                           row.name, cls.reg_count)))
      return;
    std::vector<int> order(static_cast<std::size_t>(cls.reg_count));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
      return std::string_view(cls.regs[a].name) < std::string_view(cls.regs[b].name);
    });
    column_printer columns(20, 4);
    for (const int r : order)
      if (!columns.add(print("%s%s, #%d, sz:%d", cls.regs[r].name, row.suffix, r,
                             register_words(cls.regs[r].access))))
        return;
    if (!columns.flush()) return;
  }
}

void help_list_periphs() {
  for (int p = 0; p < cur_type->periph_count; ++p) {
    const periph_row& row = cur_type->periphs[p];
    if (!help_line(print("peripheral index:%d, name:%s, registers:%d, port index:%d, port mask:0x%lx",
                         p, row.name, row.cls->reg_count, row.pin_port,
                         static_cast<unsigned long>(row.pin_mask))))
      return;
  }
}

void help_list_memory() {
  for (int r = 0; r < cur_type->region_count; ++r) {
    const mem_region& row = cur_type->regions[r];
    if (!help_line(print("%s:%lx..%lx, %s", row.name, static_cast<unsigned long>(row.low),
                         static_cast<unsigned long>(row.high), space_help_line(row.space))))
      return;
  }
}

void help_list_symbols() {
  if (!help_line("{     -------------- Symbol Table Dump --------------}")) return;
  std::vector<listed_symbol> symbols;
  if (list_program_symbols != nullptr) list_program_symbols(symbols);
  std::erase_if(symbols, [](const listed_symbol& s) { return !wanted_symbol_class(s.storage_class); });
  std::stable_sort(symbols.begin(), symbols.end(),
                   [](const listed_symbol& a, const listed_symbol& b) { return a.name < b.name; });
  for (const listed_symbol& s : symbols) {
    const char* prefix = s.storage_class == 214 || s.storage_class == 215 ? "_" : " ";
    if (!help_line(print("%s%-20.20s %4s:$%-8lx section:%.20s", prefix, s.name.c_str(),
                         s.space.c_str(), static_cast<unsigned long>(s.value), s.section.c_str())))
      return;
  }
}

// The stack entries are read where they lie: moving sp to each level, as a
// register write would, raises the stack-error trap on the way.
void help_list_stack() {
  int sp_row = 0, sp_reg = 0, row = 0, reg = 0;
  uint32_t sp[3] = {0, 0, 0};
  if (!lookup_register(cur_device, "sp", &sp_row, &sp_reg) ||
      !lookup_register(cur_device, "ssh", &row, &reg) ||
      !lookup_register(cur_device, "ssl", &row, &reg) ||
      !read_register(cur_device, sp_row, sp_reg, sp)) {
    error_report("Error reading stack");
    return;
  }
  if (!help_line("SP    SSH     SSL    STACK LEVEL") || !help_line("-- -------- -------- -----------"))
    return;
  const int level_now = static_cast<int>(sp[0] & 0xF);
  for (int level = 15; level >= 0; --level) {
    uint32_t high = 0, low = 0;
    if (!core_stack_entry(level, &high, &low)) {
      error_report("Error reading stack");
      return;
    }
    const std::string entry = print("%08lx %08lx level %02d", static_cast<unsigned long>(high),
                                    static_cast<unsigned long>(low), level);
    const char* mark = level == level_now ? ">  " : "   ";
    const std::string line =
        level > level_now ? mark + entry : "{" + std::string(mark) + entry + "}";
    if (!help_line(line)) return;
  }
  if ((sp[0] & 0x20) != 0 && !help_line("{  STACK POINTER INDICATES STACK UNDERFLOW ERROR  }")) return;
  if ((sp[0] & 0x10) != 0) help_line("{  STACK POINTER INDICATES STACK OVERFLOW ERROR  }");
}

void help_list_pins() {
  if (!help_line("pin_index port_index:bit_number pin_name1,pin_name2,pin_name3 input_val,output_val"))
    return;
  column_printer columns(40, 2);
  for (int i = 0; i < cur_type->pin_count; ++i) {
    const pin_desc& pin = cur_type->pins[i];
    std::string names = pin.name;
    if (pin.alt_name != nullptr) names += std::string(",") + pin.alt_name;
    const uint32_t* block = periph_pin_block(pin.group);
    const std::string cell =
        print("%3d %d:%2d %s {%c,%c}", i, pin.group, std::countr_zero(pin.mask), names.c_str(),
              pin_state(block, PIN_DEFINED, PIN_LEVEL, pin.mask),
              pin_state(block, PIN_DRIVEN, PIN_DRIVEN_LEVEL, pin.mask));
    if (!columns.add(cell)) return;
  }
  columns.flush();
}

void help_list_io() {
  column_printer columns(24, 3);
  for (int r = 0; r < cur_type->region_count; ++r) {
    const mem_region& region = cur_type->regions[r];
    if ((region.flags & REGION_IO_BUS) == 0) continue;
    for (uint32_t address = region.low; address <= region.high && address >= region.low; ++address) {
      for (int p = 0; p < cur_type->periph_count; ++p) {
        const periph_row& row = cur_type->periphs[p];
        for (int reg = 0; reg < row.cls->reg_count; ++reg) {
          const reg_desc& desc = row.cls->regs[reg];
          if ((desc.access & REG_BUS_MAPPED) == 0 || row.base + desc.offset != address) continue;
          if (!columns.add(print("$%04lx %s %s%s", static_cast<unsigned long>(address), row.name,
                                 desc.name, row.suffix)))
            return;
        }
      }
      if (address == 0xFFFFFFFF) break;
    }
  }
  columns.flush();
}

void help_list_map() {
  for (const auto& [space, generic] : map_spaces) {
    if (space >= SPACE_CODE_COUNT) continue;  // no row of this type has it
    for (int r = cur_type->first_region[static_cast<std::size_t>(space)]; r >= 0 && r < cur_type->region_count;
         ++r) {
      const mem_region& row = cur_type->regions[r];
      if (row.space != space || (row.flags & (REGION_DISABLED | REGION_SPARSE)) != 0) continue;
      const bool enabled = mem_resolve_space(generic, row.high) == space &&
                           cur_inst->regions[static_cast<std::size_t>(r)].disabled == 0;
      if (!help_line(print("%s  from $%08lx through $%08lx%s", row.name,
                           static_cast<unsigned long>(row.low), static_cast<unsigned long>(row.high),
                           enabled ? " enabled" : " disabled")))
        return;
    }
  }
}

void help_list_ports() {
  for (int i = 0; i < cur_type->port_count; ++i) {
    const port_desc& port = cur_type->ports[i];
    if (!help_line(print("port:%s, index:%d ,mask:0x%lx", port.name, port.group,
                         static_cast<unsigned long>(port.mask))))
      return;
  }
}
