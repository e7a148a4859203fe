// radix: the default input radix, and the display radix of registers and
// memory ranges.
#include <algorithm>
#include <array>
#include <string>

#include "sim/cmd/commands.h"
#include "sim/cmd/dispatch.h"
#include "sim/expr/expr.h"
#include "sim/cmd/lexer.h"
#include "sim/cmd/readers.h"
#include "sim/expr/valfmt.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_type.h"
#include "sim/frontend/frontend.h"

namespace {

constexpr int LETTER_COUNT = 5;
constexpr uint32_t ATTR_RADIX_BITS = 0xF000;

constexpr std::array<const char*, LETTER_COUNT> radix_names = {
    "binary", "decimal", "fractional", "hexadecimal", "unsigned"};
// By letter b d f h u: the register display code, and the memory radix
// (binary shows as hexadecimal).
constexpr std::array<uint32_t, LETTER_COUNT> register_codes = {0x4000, 0x1000, 0x2000, 0x4000,
                                                               0x8000};
constexpr std::array<int, LETTER_COUNT> memory_radixes = {RADIX_HEX, RADIX_DEC, RADIX_FRAC,
                                                          RADIX_HEX, RADIX_UNS};

std::size_t letter() { return static_cast<std::size_t>(cur_lexer->value[2].lo); }

void show_radix(const char*) {
  cur_state->view_mode = 0;
  const int radix = cur_state->default_radix;
  const char* name = (radix >= 0 && radix < LETTER_COUNT) ? radix_names[static_cast<std::size_t>(radix)]
                                                          : "unknown";
  session_print(("The current default radix is {" + std::string(name) + "}.").c_str(), 1);
}

void set_default_radix(const char*) {
  // Fractions are typed as decimal numbers.
  const int radix = static_cast<int>(letter());
  cur_state->default_radix = radix == RADIX_FRAC ? RADIX_DEC : radix;
}

void set_register_radix(int row, int reg, uint32_t code) {
  uint32_t& attr = periph_attrs(row)[reg];
  attr = (attr & ~ATTR_RADIX_BITS) | code;
}

// Registers from one to the other inclusive, in row order and register
// order within a row, whichever of the two comes first.
void set_register_range(int row1, int reg1, int row2, int reg2, uint32_t code) {
  if (row2 < row1 || (row2 == row1 && reg2 < reg1)) {
    std::swap(row1, row2);
    std::swap(reg1, reg2);
  }
  for (int row = row1; row <= row2; ++row) {
    const periph_class* cls = cur_type->periphs[row].cls;
    if (cls == nullptr) continue;
    const int first = row == row1 ? reg1 : 0;
    const int last = row == row2 ? reg2 : cls->reg_count - 1;
    for (int reg = first; reg <= last && reg < cls->reg_count; ++reg) set_register_radix(row, reg, code);
  }
}

void set_item_radixes(const char*) {
  const command_lexer& lx = *cur_lexer;
  const uint32_t code = register_codes[letter()];
  const int radix = memory_radixes[letter()];
  for (int i = 3; lx.has(i); ++i) {
    const arg_value& v = lx.value[static_cast<std::size_t>(i)];
    switch (lx.kind[static_cast<std::size_t>(i)]) {
      case 'g':
        set_register_radix(v.region, v.item, code);
        break;
      case 'G':
        set_register_range(v.region, v.item, static_cast<int>(v.hi), static_cast<int>(v.lo), code);
        break;
      case 'p':
      case 'X':
      case 'P':
        set_memory_radix(v.region, v.lo, v.hi, radix);
        break;
      default:
        return;
    }
  }
}

constexpr action_record show_record{show_radix, 0};
constexpr action_record default_record{set_default_radix, 0};
constexpr action_record items_record{set_item_radixes, 0};

}  // namespace

const action_record* cmd_radix() {
  if (check_no_more_args(2)) return &show_record;
  if (match_keyword_list(2, radix_letter_words, 'r', LETTER_COUNT) < 0) return nullptr;
  if (check_no_more_args(3)) return &default_record;
  int i = 3;
  for (; cur_lexer->has(i); ++i) {
    if (parse_register_block(i) || parse_register_arg(i) || parse_memory_block(i)) continue;
    return nullptr;
  }
  check_no_more_args(i);
  return &items_record;
}
