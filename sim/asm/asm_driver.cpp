// The assembler's front: the entry point, the splitting of a line into its
// fields, the mnemonic table and the dispatch to the class encoders and the
// parallel-move encoder.
//
// `assemble_line` (text, address) leaves a word count (1 or 2, 0 for an empty or comment line, -1
// with the message in `parse_error_text`) and the words in `asm_words`; it also sets the device's
// `asm_address`, so "*" in operands is the instruction's address. `asm_driver.cpp` splits the line
// into fields, holds the 239-row mnemonic table (conditional families built and sorted at compile
// time) and dispatches on the row's class; `asm_operands.cpp` reads one operand under a register
// class and a mask of addressing modes and chooses short or long forms; `asm_fields.cpp` holds the
// field encoders and the multiply source pairs; `asm_encode.cpp` one encoder per class;
// `asm_moves.cpp` the X and Y move fields, as data moves of the move instructions or as moves
// beside an ALU operation. The per-line state (`asm_line`, `asm_internal.h`) records the
// destination parts written, the ALU destination and which dual-move form (dual X read, LMS) the
// class encoder built. Lines whose layout would read back as another instruction are refused with a
// message; `tests/sim/asm/roundtrip_test.cpp` checks that every instruction the disassembler prints
// assembles back to its words. The `asm` command (`sim/cmd/cmd_asm.cpp`) reaches the assembler
// through `parse_asm_line` and the family record.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>

#include "sim/asm/asm.h"
#include "sim/asm/asm_internal.h"
#include "sim/expr/expr.h"
#include "sim/engine/device/current_device.h"

std::array<uint16_t, 3> asm_words{};
asm_line_state asm_line;

namespace {

// ---------------------------------------------------------------------------
// The mnemonic table: the conditional families built by rule, the other
// rows as written, all sorted by name at compile time.

struct condition {
  const char* suffix;
  uint32_t number;
};
constexpr condition conditions[] = {
    {"cc", 0},  {"ge", 1},  {"ne", 2},  {"pl", 3},  {"nn", 4},  {"ec", 5},  {"lc", 6},
    {"gt", 7},  {"cs", 8},  {"lt", 9},  {"eq", 10}, {"mi", 11}, {"nr", 12}, {"es", 13},
    {"ls", 14}, {"le", 15}, {"hs", 0},  {"lo", 8},  {"neq", 2},
};

struct family {
  const char* stem;
  uint32_t cls;
  uint32_t base;
};
constexpr family families[] = {
    {"b", 7, 0x0720},  {"brk", 20, 0x0110}, {"bs", 10, 0x0700}, {"debug", 20, 0x0050},
    {"j", 25, 0x0620}, {"js", 27, 0x0600},  {"rep", 43, 0x0150}, {"t", 50, 0x1000},
};

struct plain_row {
  const char* name;
  uint32_t cls;
  uint32_t flags;
  uint32_t opcode;
};
constexpr plain_row plain_rows[] = {
    {"abs", 1, 0x400, 0x71},      {"adc", 4, 0, 0x1502},       {"add", 5, 0x500, 0x0},
    {"and", 6, 0x8000, 0x60},     {"andi", 47, 0, 0x1800},     {"asl", 1, 0x400, 0x31},
    {"asl4", 1, 0, 0x1531},       {"asr", 1, 0x400, 0x30},     {"asr16", 1, 0, 0x1570},
    {"asr4", 1, 0, 0x1530},       {"bfchg", 8, 0, 0x1200},     {"bfclr", 8, 0, 0x400},
    {"bfset", 8, 0, 0x1800},      {"bftsth", 12, 0, 0x1000},   {"bftstl", 12, 0, 0x0},
    {"bra", 9, 0, 0x12c},         {"bsr", 11, 0, 0x128},       {"chkaau", 20, 0, 0x4},
    {"clr", 1, 0x400, 0x1},       {"clr24", 3, 0x400, 0x51},   {"cmp", 13, 0x400, 0x50},
    {"cmpm", 13, 0x400, 0x70},    {"debug", 20, 0, 0x1},       {"dec", 1, 0x400, 0x62},
    {"dec24", 3, 0x400, 0x63},    {"div", 14, 0, 0x1504},      {"dmacss", 15, 0, 0x1590},
    {"dmacsu", 15, 0, 0x15b0},    {"dmacuu", 15, 0, 0x15b4},   {"do", 16, 0, 0x2},
    {"enddo", 17, 0, 0x9},        {"eor", 18, 0x400, 0x34},    {"ext", 1, 0, 0x1552},
    {"illegal", 20, 0, 0xf},      {"imac", 19, 0, 0x15a0},     {"impy", 19, 0, 0x1580},
    {"inc", 1, 0x400, 0x22},      {"inc24", 3, 0x400, 0x23},   {"jmp", 26, 0, 0x124},
    {"jsr", 28, 0, 0x120},        {"lea", 29, 0, 0x180},       {"lsl", 2, 0x400, 0x33},
    {"lsr", 2, 0x400, 0x32},      {"lua", 29, 0, 0x180},       {"mac", 30, 0x700, 0x0},
    {"macr", 31, 0x500, 0x0},     {"macsu", 15, 0, 0x15e0},    {"macuu", 15, 0, 0x15e4},
    {"move", 33, 0x53f, 0x0},     {"movec", 32, 0x2, 0x0},     {"movei", 32, 0x4, 0x0},
    {"movem", 35, 0x8, 0x0},      {"movep", 36, 0x10, 0x800},  {"moves", 37, 0x20, 0x800},
    {"mpy", 38, 0x700, 0x0},      {"mpyr", 39, 0x500, 0x0},    {"mpysu", 15, 0, 0x15c0},
    {"mpyuu", 15, 0, 0x15c4},     {"neg", 1, 0x400, 0x60},     {"negc", 1, 0, 0x1560},
    {"nop", 20, 0, 0x0},          {"norm", 41, 0, 0x1520},     {"not", 2, 0x400, 0x61},
    {"or", 42, 0x8000, 0x20},     {"ori", 47, 0, 0x1900},      {"rep", 44, 0, 0x0},
    {"reset", 21, 0, 0x8},        {"rnd", 1, 0x400, 0x20},     {"rol", 2, 0x400, 0x73},
    {"ror", 2, 0x400, 0x72},      {"rti", 45, 0, 0x7},         {"rts", 46, 0, 0x6},
    {"sbc", 4, 0x400, 0x50},      {"shfl", 57, 0, 0x15d0},     {"shfr", 57, 0, 0x15f0},
    {"stop", 23, 0, 0xa},         {"sub", 5, 0x600, 0x40},     {"subl", 5, 0x600, 0x41},
    {"swap", 1, 0, 0x1571},       {"swi", 23, 0, 0x5},         {"tfr", 51, 0x8000, 0x10},
    {"tfr2", 48, 0, 0x1500},      {"tfr3", 49, 0, 0x2400},     {"tst", 53, 0x8000, 0x21},
    {"tst2", 52, 0, 0x1514},      {"wait", 23, 0, 0xb},        {"zero", 1, 0, 0x1550},
};

constexpr std::size_t FAMILY_ROWS = std::size(families) * std::size(conditions);
constexpr std::size_t MNEMONIC_ROWS = FAMILY_ROWS + std::size(plain_rows);
static_assert(MNEMONIC_ROWS == 239);

constexpr int name_compare(const char* a, const char* b) {
  for (;; ++a, ++b) {
    const auto ca = static_cast<unsigned char>(*a);
    const auto cb = static_cast<unsigned char>(*b);
    if (ca != cb) return ca < cb ? -1 : 1;
    if (ca == 0) return 0;
  }
}

constexpr mnemonic_row make_row(const char* stem, const char* suffix, uint32_t cls,
                                uint32_t flags, uint32_t opcode) {
  mnemonic_row row{};
  std::size_t n = 0;
  for (const char* p = stem; *p != '\0'; ++p) row.name[n++] = *p;
  for (const char* p = suffix; *p != '\0'; ++p) row.name[n++] = *p;
  row.name[n] = '\0';
  row.cls = cls;
  row.flags = flags;
  row.opcode = opcode;
  return row;
}

constexpr std::array<mnemonic_row, MNEMONIC_ROWS> build_table() {
  std::array<mnemonic_row, MNEMONIC_ROWS> rows{};
  std::size_t n = 0;
  for (const family& f : families)
    for (const condition& c : conditions) rows[n++] = make_row(f.stem, c.suffix, f.cls, 0, f.base + c.number);
  for (const plain_row& p : plain_rows) rows[n++] = make_row(p.name, "", p.cls, p.flags, p.opcode);
  std::sort(rows.begin(), rows.end(), [](const mnemonic_row& a, const mnemonic_row& b) {
    return name_compare(a.name, b.name) < 0;
  });
  return rows;
}

constexpr std::array<mnemonic_row, MNEMONIC_ROWS> mnemonic_table = build_table();

constexpr bool strictly_ascending() {
  for (std::size_t i = 1; i < mnemonic_table.size(); ++i)
    if (name_compare(mnemonic_table[i - 1].name, mnemonic_table[i].name) >= 0) return false;
  return name_compare(mnemonic_table.front().name, "abs") == 0 &&
         name_compare(mnemonic_table.back().name, "zero") == 0;
}
static_assert(strictly_ascending());

constexpr std::size_t MNEMONIC_MAX = 16;

// ---------------------------------------------------------------------------
// Field splitting.

bool blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

// The end of the field starting at p: the first blank outside quotes.
const char* field_end(const char* p) {
  while (*p != '\0' && !blank(*p)) {
    if (*p == '\'' || *p == '"') {
      const char quote = *p++;
      while (*p != '\0' && *p != quote) ++p;
      if (*p == '\0') break;
    }
    ++p;
  }
  return p;
}

const char* skip_blanks(const char* p) {
  while (blank(*p)) ++p;
  return p;
}

void asm_split_fields(const char* line) {
  const char* p = skip_blanks(line);
  bool comment = false;
  for (int f = FLD_MNEMONIC; f <= FLD_YMOVE; ++f) {
    if (comment || *p == ';' || *p == '\0') {
      comment = comment || *p == ';';
      continue;
    }
    const char* end = field_end(p);
    asm_line.fields[f].assign(p, end);
    p = skip_blanks(end);
  }
  if (!comment && *p != '\0' && *p != ';') {
    std::string rest(p);
    while (!rest.empty() && blank(rest.back())) rest.pop_back();
    asm_line.fields[FLD_REST] = rest;
  }
}

const mnemonic_row* asm_lookup_mnemonic(const std::string& mnemonic) {
  if (mnemonic.size() >= MNEMONIC_MAX) return nullptr;
  std::string lower = mnemonic;
  for (char& c : lower) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  const auto it = std::lower_bound(
      mnemonic_table.begin(), mnemonic_table.end(), lower,
      [](const mnemonic_row& row, const std::string& key) { return name_compare(row.name, key.c_str()) < 0; });
  if (it == mnemonic_table.end() || name_compare(it->name, lower.c_str()) != 0) return nullptr;
  return &*it;
}

bool takes_own_x_field(uint32_t cls) { return cls == 49 || cls == 50 || cls == 51; }

int asm_encode(const mnemonic_row& row) {
  asm_line.row = &row;
  asm_line.count = 1;
  asm_line.word0 = row.opcode;
  asm_line.word1 = 0;
  const class_encoder encoder = class_encoder_for(row.cls);
  if (encoder == nullptr) return asm_fail("Error in mnemonic table");
  int result = encoder(row);
  if (asm_line.failed) return 0;
  uint32_t flags = row.flags;
  if (flags == MF_DEFER) {
    flags = static_cast<uint32_t>(result);
    result = 1;
  }
  const bool x_field = !asm_line.fields[FLD_XMOVE].empty();
  if (flags == 0) {
    if (x_field && !takes_own_x_field(row.cls))
      return asm_fail("Too many fields specified for instruction");
    return result;
  }
  if (!x_field) {
    asm_line.word0 |= 0x4A00;
    return result;
  }
  if (!asm_line.fields[FLD_REST].empty()) return asm_fail("Too many fields specified for instruction");
  return asm_encode_moves(flags);
}

}  // namespace

bool asm_fail(const char* message) {
  asm_line.failed = true;
  set_expr_error(message);
  return false;
}

void asm_begin(const std::string& field) { asm_line.pos = field.c_str(); }

int assemble_line(const char* text, uint32_t address) {
  asm_line = asm_line_state{};
  asm_line.address = address & 0xFFFF;
  // "*" in an operand is the instruction's own address.
  if (cur_state != nullptr) cur_state->asm_address = asm_line.address;
  asm_words = {0, 0, 0};
  asm_word_count = 0;
  const char* p = text != nullptr ? skip_blanks(text) : "";
  if (*p == '\0' || *p == ';') return 0;
  asm_split_fields(p);
  const mnemonic_row* row = asm_lookup_mnemonic(asm_line.fields[FLD_MNEMONIC]);
  if (row == nullptr) {
    asm_fail("Unrecognized mnemonic");
    return asm_word_count = -1;
  }
  asm_encode(*row);
  if (asm_line.failed || asm_line.count < 1) return asm_word_count = -1;
  asm_words[0] = static_cast<uint16_t>(asm_line.word0);
  asm_words[1] = static_cast<uint16_t>(asm_line.count > 1 ? asm_line.word1 : 0);
  parse_error_text = nullptr;
  return asm_word_count = asm_line.count;
}
