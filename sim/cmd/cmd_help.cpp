// help: the command summary, a command's help lines, a register's bit
// diagram, the family and peripheral topics, and the listings.
//
// - `history` disassembles the core's pc trace ring (32 entries).
//
// - Scenarios that write files put `#scratch` in their `.cmd`: the run happens in an empty folder,
//   `#show: FILE` and `#files` append what it left there to the session compared.
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

#include "sim/cmd/commands.h"
#include "sim/cmd/dispatch.h"
#include "sim/cmd/help.h"
#include "sim/cmd/lexer.h"
#include "sim/cmd/readers.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_type.h"
#include "sim/engine/device/help_topics.h"
#include "sim/engine/device/regaccess.h"
#include "sim/frontend/frontend.h"

namespace {

// --- Fixed topics, searched last --------------------------------------------
constexpr const char* tio_lines[] = {
    "{----------- Terminal Input Examples ----------}",
    " ",
    "  Untimed inputs consist of simple hexadecimal value separated by spaces.",
    "  Timed inputs consist of a time-data pairs.  The time is specified first.",
    "  It is in decimal.  The time is considered as relative to the previous",
    "  data if it is preceded by a + sign.  Otherwise it is considered to be an",
    "  absolute cycle time.  The following data value is in hexadecimal.",
    "  Repeat punctuation may be used to repeat a data value or a group of",
    "  values.  For example: (dd ff ec)#5 means repeat the data input sequence",
    "  {dd ff ec} 5 times before proceeding to the next data.",
};
constexpr const char* tio2_lines[] = {
    "{----------- Terminal Input Examples ----------}",
    " ",
    "  Input data value may be hexadecimal, decimal, float, or pin data.",
    "  Hex input just expects hex digits 0-f.  Don't precede with $.",
    "  Decimal input expects decimal integers. Don't use float notation.",
    "  Float input accepts almost any floating point format.",
    "  Pin data input expects 1, 0, or x for each pin.  No imbedded blanks.",
};
constexpr const char* comments_lines[] = {
    "  {----------- User Comments -----------}",
    "",
    "  {;}comment string entry",
    "",
    "  Anything on the command line following a semicolon is considered a user",
    "  comment.  It can be logged to the output log files to document a session.",
};
constexpr const char* macros_lines[] = {
    "  {----------- Macro Commands -----------}",
    "",
    "  Any unrecognized mnemonic entry will be interpreted as a macro name.",
    "  Macro command files may be created using the simulator LOG command.",
};
constexpr help_topic fixed_topics[] = {
    {"tio", tio_lines, nullptr, nullptr, nullptr},
    {"tio2", tio2_lines, nullptr, nullptr, nullptr},
    {"comments", comments_lines, nullptr, nullptr, nullptr},
    {"macros", macros_lines, nullptr, nullptr, nullptr},
};

constexpr const char* summary_trailer[] = {
    " {;}comment string entry",
    " {Macro filename}",
    "{----------- Other Help Topics ----------------}",
    " {io}    : list of on-chip io registers and their addresses",
    " {map}   : memory map descriptions for various omr settings",
    " {mem}   : memory names with block addresses",
    " {pin}   : list of pin names with index and pin values",
    " {periph}: list of periperhal names with index",
    " {port}  : list of port names with index and mask",
    " {reg}   : list of register names,size, and index by peripheral",
    " {stack} : display of values on device stack",
    " {sym}   : display of debug symbol information",
};

// --- Printing -----------------------------------------------------------------

bool print_lines(std::span<const char* const> lines) {
  return std::all_of(lines.begin(), lines.end(), [](const char* l) { return help_line(l); });
}

std::span<const help_topic> family_topics() {
  if (cur_family == nullptr || cur_family->help_topics == nullptr) return {};
  return cur_family->help_topics->topics;
}

// The peripherals' topic tables, a table shared by several rows once.
template <typename Visit>
bool for_each_periph_table(Visit visit) {
  for (int p = 0; p < cur_type->periph_count; ++p) {
    const help_table* table = cur_type->periphs[p].help;
    if (table == nullptr) continue;
    bool seen = false;
    for (int q = 0; q < p && !seen; ++q) seen = cur_type->periphs[q].help == table;
    if (!seen && !visit(*table)) return false;
  }
  return true;
}

bool print_topic_summaries(std::span<const help_topic> topics) {
  for (const help_topic& t : topics) {
    if (t.name == nullptr || t.summary == nullptr) continue;
    if (!help_line(std::string(" {") + t.name + "} : " + t.summary)) return false;
  }
  return true;
}

void summary(const char*) {
  if (!help_line("{     -------------- DSP SIMULATOR COMMANDS --------------}")) return;
  for (const command_descriptor& d : command_table)
    if (!print_lines(d.syntax)) return;
  if (!print_lines(summary_trailer) || !print_topic_summaries(family_topics())) return;
  for_each_periph_table([](const help_table& t) { return print_topic_summaries(t.topics); });
}

// --- Topics -------------------------------------------------------------------

const help_topic* find_in(std::span<const help_topic> topics, std::string_view word) {
  for (const help_topic& t : topics)
    if (t.name != nullptr && word == t.name) return &t;
  return nullptr;
}

// Prints the first topic of that name: a command's help lines (its syntax
// lines when it has none), the family's, the peripherals', the fixed ones.
bool print_topic(std::string_view word) {
  for (const command_descriptor& d : command_table) {
    if (word != d.help_name) continue;
    print_lines(d.help_lines.empty() ? d.syntax : d.help_lines);
    return true;
  }
  const help_topic* topic = find_in(family_topics(), word);
  if (topic == nullptr)
    for_each_periph_table([&](const help_table& t) {
      topic = find_in(t.topics, word);
      return topic == nullptr;
    });
  if (topic == nullptr) topic = find_in(fixed_topics, word);
  if (topic == nullptr) return false;
  if (topic->producer != nullptr) {
    topic->producer();
  } else if (!print_lines(topic->lines)) {
    return true;
  }
  if (topic->after != nullptr) topic->after();
  return true;
}

// --- Register bit diagram -----------------------------------------------------

constexpr std::string_view spaced_tens =
    " 3 3 2 2 2 2 2 2 2 2 2 2 1 1 1 1 1 1 1 1 1 1 0 0 0 0 0 0 0 0 0 0";
constexpr std::string_view spaced_units =
    " 1 0 9 8 7 6 5 4 3 2 1 0 9 8 7 6 5 4 3 2 1 0 9 8 7 6 5 4 3 2 1 0";
constexpr std::string_view compact_tens =
    "6666555555555544444444443333333333222222222211111111110000000000";
constexpr std::string_view compact_units =
    "3210987654321098765432109876543210987654321098765432109876543210";

int ordinary_width(uint32_t valid_mask) {
  if (valid_mask < 0x100) return 8;
  if (valid_mask <= 0xFFFF) return 16;
  if (valid_mask <= 0xFFFFFF) return 24;
  return 32;
}

const char* access_words(uint32_t access) {
  const bool readable = (access & REG_READABLE) != 0, writable = (access & REG_WRITABLE) != 0;
  if (readable && writable) return "Read-Write";
  return readable ? "Read-Only" : "Write-Only";
}

void bit_diagram(int row, int reg) {
  const periph_row& periph = cur_type->periphs[row];
  const reg_desc& desc = periph.cls->regs[reg];
  char header[96];
  if ((desc.access & REG_BUS_MAPPED) != 0)
    std::snprintf(header, sizeof header, "%s %s register. X:%04lx", access_words(desc.access),
                  periph.name, static_cast<unsigned long>(periph.base + desc.offset));
  else
    std::snprintf(header, sizeof header, "%s register", periph.name);
  if (!help_line(header)) return;
  for (std::string_view rest = desc.help != nullptr ? desc.help : ""; !rest.empty();) {
    const std::size_t end = rest.find('\n');
    if (!help_line(std::string(rest.substr(0, end)))) return;
    rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
  }

  uint32_t words[3] = {0, 0, 0};
  if (!read_register(cur_device, row, reg, words)) {
    error_report("Error reading register");
    return;
  }
  // Accumulators and register pairs: one character per bit.
  const uint32_t shape = desc.access & 7;
  const bool wide = shape != 1;
  const int bits = !wide ? ordinary_width(desc.valid_mask) : shape == 2 ? 32 : 40;
  const uint64_t value = !wide ? words[0]
                         : shape == 2
                             ? (uint64_t{words[1] & 0xFFFF} << 16) | (words[0] & 0xFFFF)
                             : (uint64_t{words[2] & 0xFF} << 32) |
                                   (uint64_t{words[1] & 0xFFFF} << 16) | (words[0] & 0xFFFF);
  std::string states;
  for (int b = bits - 1; b >= 0; --b) {
    if (!wide) states += ' ';
    states += ((value >> b) & 1) != 0 ? '1' : '0';
  }
  const std::size_t cut = states.size();
  const std::string_view tens = wide ? compact_tens : spaced_tens;
  const std::string_view units = wide ? compact_units : spaced_units;
  const std::string dashes(cut, '-');
  const std::string lines[] = {
      dashes,
      states + " < Bit States",
      dashes,
      std::string(tens.substr(tens.size() - cut)) + " < Bit Number",
      std::string(units.substr(units.size() - cut)),
  };
  for (const std::string& l : lines)
    if (!help_line(l)) return;
}

// --- Actions --------------------------------------------------------------------

struct listing {
  const char* word;
  void (*list)();
};
constexpr listing first_listings[] = {{"sym", help_list_symbols},
                                      {"reg", help_list_registers},
                                      {"periph", help_list_periphs},
                                      {"mem", help_list_memory}};
constexpr listing later_listings[] = {
    {"stack", help_list_stack}, {"pin", help_list_pins}, {"io", help_list_io}, {"map", help_list_map}};

bool run_listing(std::span<const listing> listings, std::string_view word) {
  for (const listing& l : listings) {
    if (word != l.word) continue;
    l.list();
    return true;
  }
  return false;
}

void help_word(const char*) {
  const std::string word = cur_lexer->word(2);  // already lower case
  if (run_listing(first_listings, word)) return;
  int row = 0, reg = 0;
  if (lookup_register(cur_device, word.c_str(), &row, &reg) != 0) {
    bit_diagram(row, reg);
    return;
  }
  if (lookup_command(2) != 0) {
    const command_descriptor& d = command_table[cur_lexer->value[2].lo];
    if (print_topic(d.help_name)) return;
  }
  if (run_listing(later_listings, word)) return;
  if (!print_topic(word)) {
    session_print("{Help topic not found}", 1);
    return;
  }
  if (word == "port") help_list_ports();
}

void help_start(void (*action)(const char*), const char* line) {
  if (cur_state == nullptr || cur_type == nullptr) return;
  cur_state->view_mode = 0;
  more_count = 0;
  action(line);
}

constexpr action_record summary_record{[](const char* l) { help_start(summary, l); }, 0};
constexpr action_record word_record{[](const char* l) { help_start(help_word, l); }, 0};

}  // namespace

bool help_line(const std::string& text) {
  session_print(text.c_str(), 1);
  return abort_requested() == 0;
}

const action_record* cmd_help() {
  if (check_no_more_args(2)) return &summary_record;
  if (!parse_name_arg(2) || !check_no_more_args(3)) return nullptr;
  return &word_record;
}
