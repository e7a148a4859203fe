// COFF files: the debug information read from them, the lookups by
// address, loading their words, and saving memory as COFF.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include "coff_writer.h"
#include "sim/asm/asm.h"
#include "sim/cdb/coff.h"
#include "sim/expr/expr.h"
#include "sim/cmd/regfmt.h"
#include "sim/expr/symbols.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"
#include "sim/engine/device/memory.h"
#include "sim/engine/device/regaccess.h"

namespace {

namespace fs = std::filesystem;

// A program of three sections: the text section p:$10-$17 holds one C
// function (lines 20-22 of prog.c) and the labels.
test_coff sample() {
  test_coff c;
  c.sections = {{".txt", 0, 0, 0x20, {0x11, 0x22}},
                {".dat", 0, 1, 0x40, {0x33}},
                {".txt", 0x10, 0, 0x20, {0x100, 0x101, 0x102, 0x103, 0x104, 0x105, 0x106, 0x107}, 0, 4}};
  c.opt[5] = 0x10;
  c.lines = {{2, 0, 0}, {0x10, 0, 1}, {0x12, 0, 2}, {0x13, 0, 3}};
  c.bytes();  // places the line run
  c.symbol(".file", 0, 0, -2, 0, 103, 1);
  c.file_aux("prog.c", 1);
  c.symbol("Fmain", 0x10, 0, 3, 0x20, 2, 1);
  c.aux({0, 8, 0, c.lines_at, 0, 0, 0, 0});
  c.symbol(".bf", 0x10, 0, 3, 0, 101, 1);
  c.aux({0, 20, 0, 0, 0, 0, 0, 0});
  c.symbol(".ef", 0x14, 0, 3, 0, 101, 1);
  c.aux({0, 3, 0, 0, 0, 0, 0, 0});
  c.symbol("start", 0x10, 0, 3, 0, 211);
  c.symbol("loop", 0x12, 0, 3, 0, 213);
  c.symbol("a_very_long_label", 0x13, 0, 3, 0, 210);
  c.symbol("u", 0x11, 0, 3, 0, 214);
  c.symbol("absx", 5, 1, -1, 0, 3);
  c.symbol("absy", 6, 1, -1, 8, 3);
  c.symbol("xdata", 0, 1, 2, 0, 211);
  c.symbols[0][2] = static_cast<uint32_t>(c.symbols.size());  // the chain ends
  return c;
}

class Coff : public ::testing::Test {
 protected:
  void SetUp() override {
    index_memory_regions();
    ASSERT_EQ(create_device(0, "73521"), 1);
    dir = fs::temp_directory_path() / ("coff_test_" + std::to_string(::getpid()));
    fs::create_directories(dir);
  }
  void TearDown() override {
    free_device(0);
    fs::remove_all(dir);
  }
  std::string path(const char* name) const { return (dir / name).string(); }
  std::string write(const std::string& bytes, const char* name = "prog.cld") const {
    std::ofstream(path(name), std::ios::binary) << bytes;
    return path(name);
  }
  static uint32_t word(int space, uint32_t address) {
    uint32_t w = 0;
    read_device_memory(0, space, address, &w);
    return w;
  }
  static void set_word(int space, uint32_t address, uint32_t w) { write_device_memory(0, space, address, &w); }
  static uint32_t pc() {
    int row = 0, reg = 0;
    uint32_t v = 0;
    lookup_register(0, "pc", &row, &reg);
    read_register(0, row, reg, &v);
    return v;
  }
  static int region(const char* name) {
    for (int i = 0; i < cur_type->region_count; ++i)
      if (std::string(cur_type->regions[i].name) == name) return i;
    return -1;
  }
  static std::string read_bytes(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  fs::path dir;
};

TEST_F(Coff, ReadsSectionsSymbolsLinesAndTheirIndexes) {
  ASSERT_EQ(read_coff_file(0, write(sample().bytes()).c_str()), 0) << coff_error_text();
  make_device_current(0);
  const coff_debug_info& info = *current_debug_info();
  EXPECT_EQ(info.section_count, 4);
  EXPECT_EQ(info.memory_model, 1);
  EXPECT_EQ(info.sections[2].name, ".dat");
  EXPECT_EQ(info.sections[3].name, ".txt");
  EXPECT_EQ(info.sections[3].start, 0x10u);
  EXPECT_EQ(info.sections[3].size, 8u);
  EXPECT_EQ(info.sections[3].first_line, 0u);
  EXPECT_EQ(info.sections[3].line_count, 4u);
  // Lines relative to ".bf" (line 20) become absolute; the first takes the function's address.
  ASSERT_EQ(info.lines.size(), 4u);
  EXPECT_EQ(info.lines[1].line, 20u);
  EXPECT_EQ(info.lines[1].address, 0x10u);
  EXPECT_EQ(info.lines[2].line, 21u);
  EXPECT_EQ(info.lines[3].line, 22u);
  EXPECT_EQ(info.file_count(), 1);
  // Absolute symbols: type 0 moves to space "n", another type becomes class 106.
  EXPECT_EQ(info.symbols[12].space(), 4);
  EXPECT_EQ(info.symbols[13].sclass(), 106u);
  EXPECT_EQ(coff_symbol_name(info, info.symbols[10]), "a_very_long_label");
  // Indexed: Fmain, start, loop, the long label, u and xdata; not absx and absy.
  EXPECT_EQ(info.address_index[0], 6u);
  EXPECT_EQ(info.name_index.size(), 7u);
}

TEST_F(Coff, AddressesNameTheirLabelLineAndFile) {
  ASSERT_EQ(read_coff_file(0, write(sample().bytes()).c_str()), 0) << coff_error_text();
  make_device_current(0);
  struct row {
    int space;
    uint32_t address;
    const char* label;
    int line;
    const char* file;
  };
  const row rows[] = {
      {SPACE_P, 0x10, " p:start", 1, "prog.c"},
      {SPACE_P, 0x11, " p:_u", 1, "prog.c"},
      {SPACE_P, 0x12, " p:loop", 2, "prog.c"},
      {SPACE_P, 0x15, " p:(a_very_long_label+2)", 3, "prog.c"},
      // A gap after the section: no line, no file, still the nearest label.
      {SPACE_P, 0x18, " p:(a_very_long_label+5)", -1, ""},
      {SPACE_P, 0x05, "", -1, ""},
      // The first two section headers never match an address.
      {SPACE_X, 0x00, " x:xdata", -1, ""},
  };
  for (const row& r : rows) {
    EXPECT_STREQ(symbol_text_at(r.space, r.address), r.label) << r.address;
    EXPECT_EQ(coff_line_index_at(r.address, r.space), r.line) << r.address;
    EXPECT_EQ(source_file_at(r.address, r.space), r.file) << r.address;
  }
  // Disassembly notes the label of a referenced address.
  const int words = assemble_line("jmp $12", 0x30);
  ASSERT_GE(words, 1);
  for (int k = 0; k < words; ++k) set_word(SPACE_P, 0x30 + k, asm_words[k]);
  std::string line;
  ASSERT_GE(format_disassembly_line(SPACE_P, 0x30, line, 0), 1);
  EXPECT_NE(line.find(" ; p:loop"), std::string::npos) << line;
}

TEST_F(Coff, LoadsTextAndDataSectionsAndTheEntry) {
  const std::string file = write(sample().bytes());
  ASSERT_EQ(coff_load_memory(0, file.c_str()), 1);
  EXPECT_EQ(word(SPACE_P, 0), 0x11u);
  EXPECT_EQ(word(SPACE_X, 0), 0x33u);
  EXPECT_EQ(word(SPACE_P, 0x17), 0x107u);
  EXPECT_EQ(pc(), 0x10u);
}

TEST_F(Coff, LoaderTakesOnlyTxtAndDatAndFillsFillSections) {
  test_coff c;
  c.sections = {{".text", 0x40, 0, 0x20, {9}}, {".dat", 0x50, 1, 0x440, {7}, 4}, {".txt", 0x60, 0, 0x20, {5}}};
  c.opt[5] = 0x60;
  ASSERT_EQ(coff_load_memory(0, write(c.bytes()).c_str()), 1);
  EXPECT_EQ(word(SPACE_P, 0x40), 0u);
  for (uint32_t a = 0x50; a < 0x54; ++a) EXPECT_EQ(word(SPACE_X, a), 7u);
  EXPECT_EQ(word(SPACE_X, 0x54), 0u);
  EXPECT_EQ(word(SPACE_P, 0x60), 5u);
}

TEST_F(Coff, RefusedFilesLeaveMemoryAndDebugInformationAsTheyWere) {
  ASSERT_EQ(read_coff_file(0, write(sample().bytes(), "good.cld").c_str()), 0);
  set_word(SPACE_P, 0x10, 0xABC);
  const test_coff good = sample();
  const std::string bytes = good.bytes();
  const uint32_t sect3 = 28 + 60 + 52 * 2;
  struct refusal {
    const char* what;
    std::function<void(std::string&)> change;
    const char* message;  // of the debug reader
    int load_result;      // of the loader: -1 not ours, 0 refused
  };
  const refusal cases[] = {
      {"magic", [](std::string& b) { poke_word(b, 0, 712); }, "not an object file of this device type", -1},
      {"section count", [](std::string& b) { poke_word(b, 4, 1000); }, "cannot read section headers", 0},
      {"raw data offset", [&](std::string& b) { poke_word(b, sect3 + 28, 0xFFFFFF00); }, "invalid section raw data", 0},
      {"raw data size", [&](std::string& b) { poke_word(b, sect3 + 24, 0x40000000); }, "invalid section raw data", 0},
      {"symbol count", [](std::string& b) { poke_word(b, 16, 0x1000000); }, "cannot seek to string table length", 1},
      {"aux count", [&](std::string& b) { poke_word(b, good.symbols_at + 32 * 14 + 28, 1); }, "invalid auxiliary entry count", 1},
      {".file chain loop", [&](std::string& b) { poke_word(b, good.symbols_at + 8, 0); }, "invalid .file chain", 1},
      {"function line offset", [&](std::string& b) { poke_word(b, good.symbols_at + 32 * 3 + 12, 7); }, "invalid line number offset", 1},
      {"line run", [&](std::string& b) { poke_word(b, 28 + 60 + 36, 0xFFFFFFF0); }, "cannot seek to line number records", 1},
      {"string table size", [&](std::string& b) { poke_word(b, good.strings_at, 0x7FFFFFFF); }, "cannot read string table", 1},
      {"optional header", [](std::string& b) { poke_word(b, 20, 56); }, nullptr, 0},
      {"section space", [&](std::string& b) { poke_word(b, sect3 + 12, 0xFE000001); }, nullptr, 0},
  };
  for (const refusal& r : cases) {
    std::string bad = bytes;
    r.change(bad);
    const std::string file = write(bad, "bad.cld");
    if (r.message != nullptr) {
      EXPECT_EQ(read_coff_file(0, file.c_str()), -1) << r.what;
      EXPECT_EQ(coff_error_text(), r.message) << r.what;
      make_device_current(0);
      ASSERT_NE(current_debug_info(), nullptr) << r.what;
      EXPECT_EQ(current_debug_info()->coff_path, path("good.cld")) << r.what;
    }
    if (r.load_result != 1) {
      EXPECT_EQ(coff_load_memory(0, file.c_str()), r.load_result) << r.what;
      EXPECT_EQ(word(SPACE_P, 0x10), 0xABCu) << r.what;
    }
  }
}

TEST_F(Coff, EdgesOfTheTables) {
  // No symbols: no string table, model from the family code.
  test_coff bare;
  bare.sections = {{".txt", 0, 0, 0x20, {1}}};
  ASSERT_EQ(read_coff_file(0, write(bare.bytes()).c_str()), 0);
  make_device_current(0);
  EXPECT_FALSE(current_debug_info()->has_symbols());
  EXPECT_EQ(memory_model(), 1);

  // A long name without a string table reads as "".
  test_coff c = sample();
  c.string_table = false;
  ASSERT_EQ(read_coff_file(0, write(c.bytes()).c_str()), 0) << coff_error_text();
  make_device_current(0);
  EXPECT_EQ(coff_symbol_name(*current_debug_info(), current_debug_info()->symbols[10]), "");
  EXPECT_EQ(coff_error_text(), "invalid string table offset");

  // Two ".file" entries of one name share a file number; a first header
  // without line records means no line records at all.
  test_coff two;
  two.sections = {{".txt", 0, 0, 0x20, {1}}, {".txt", 1, 0, 0x20, {1}, 0, 3}};
  two.symbol(".file", 2, 0, -2, 0, 103, 1);
  two.file_aux("a.c", 3);
  two.symbol(".file", 4, 0, -2, 0, 103, 1);
  two.file_aux("a.c", 3);
  ASSERT_EQ(read_coff_file(0, write(two.bytes()).c_str()), 0) << coff_error_text();
  make_device_current(0);
  const coff_debug_info& info = *current_debug_info();
  EXPECT_EQ(info.file_count(), 1);
  EXPECT_EQ(info.symbols[2].type(), 0u);
  EXPECT_TRUE(info.lines.empty());
  EXPECT_EQ(info.sections[2].line_count, 0u);
  EXPECT_EQ(info.memory_model, 3);
}

TEST_F(Coff, OverlaidSectionsNameTheOneInMemory) {
  // Two overlays at 0x20; the line of each tells them apart.
  auto program = [](uint32_t a0, uint32_t a1, uint32_t b0, uint32_t b1) {
    test_coff c;
    c.sections = {{".txt", 0, 0, 0x20, {0}},
                  {".dat", 0, 1, 0x40, {0}},
                  {".txt", 0x20, 0, 0x820, {a0, a1}, 0, 1},
                  {".txt", 0x20, 0, 0x820, {b0, b1}, 0, 1}};
    c.lines = {{0x20, 0, 5}, {0x20, 0, 6}};
    c.symbol("x", 0, 0, 0, 0, 3);
    return c.bytes();
  };
  const std::string file = write(program(1, 2, 3, 4));
  ASSERT_EQ(read_coff_file(0, file.c_str()), 0) << coff_error_text();
  make_device_current(0);
  set_word(SPACE_P, 0x20, 3);
  set_word(SPACE_P, 0x21, 4);
  EXPECT_EQ(coff_section_at(0x21, SPACE_P), 4);
  EXPECT_EQ(coff_line_index_at(0x21, SPACE_P), 1);

  // The file's words are kept after the first lookup: swapping the
  // overlay in memory is seen without the file.
  fs::remove(file);
  set_word(SPACE_P, 0x20, 1);
  set_word(SPACE_P, 0x21, 2);
  EXPECT_EQ(coff_section_at(0x21, SPACE_P), 3);
  EXPECT_EQ(coff_section_mismatch(4), 2);

  // A new load of another program drops them: its words decide.
  write(program(7, 8, 1, 2));
  ASSERT_EQ(read_coff_file(0, file.c_str()), 0) << coff_error_text();
  make_device_current(0);
  EXPECT_EQ(coff_section_at(0x21, SPACE_P), 4);
  EXPECT_EQ(coff_section_mismatch(3), 2);

  // Without the file and with nothing read from it yet, nothing matches.
  ASSERT_EQ(read_coff_file(0, file.c_str()), 0) << coff_error_text();
  make_device_current(0);
  fs::remove(file);
  EXPECT_EQ(coff_section_at(0x21, SPACE_P), 0);
  EXPECT_EQ(coff_error_text(), "cannot open input file : " + file);
}

TEST_F(Coff, SavedFilesFollowTheLayoutAndLoadBack) {
  for (uint32_t a = 0; a < 8; ++a) set_word(SPACE_P, 0x10 + a, 0x100 + a);
  set_word(SPACE_X, 0, 0x77);
  const coff_save_range ranges[] = {{region("p"), 0x10, 0x17}, {region("x"), 0, 0}};
  make_device_current(0);
  ASSERT_EQ(coff_save_memory(path("out.cld").c_str(), false, ranges), 1);

  test_coff want;
  want.sections = {{".txt", 0x10, 0, 0x20, {0x100, 0x101, 0x102, 0x103, 0x104, 0x105, 0x106, 0x107}},
                   {".dat", 0, 1, 0x40, {0x77}}};
  want.opt = {0, 0, 8, 1, 0, 0x10, 0, 0x10, 0, 0, 1, 0x17, 0, 0, 1};
  std::string expected = want.bytes();
  poke_word(expected, 12, want.lines_at);  // the symbol table would follow the raw data
  std::string saved = read_bytes(path("out.cld"));
  ASSERT_EQ(saved.size(), expected.size());
  poke_word(saved, 8, 0);  // time stamp
  EXPECT_EQ(saved, expected);

  // A whole space is 65536 words.
  const coff_save_range all[] = {{region("p"), 0, 0xFFFF}};
  ASSERT_EQ(coff_save_memory(path("all.cld").c_str(), false, all), 1);
  const std::string whole = read_bytes(path("all.cld"));
  EXPECT_EQ(whole.size(), 28u + 60 + 52 + 4 * 0x10000 + 4);
  EXPECT_EQ(whole.substr(88 + 24, 4), std::string("\0\1\0\0", 4));

  set_word(SPACE_P, 0x17, 0);
  ASSERT_EQ(coff_load_memory(0, path("out.cld").c_str()), 1);
  EXPECT_EQ(word(SPACE_P, 0x17), 0x107u);
  EXPECT_EQ(pc(), 0x10u);
}

TEST_F(Coff, AddedSectionsKeepSymbolsAndLineNumbers) {
  const std::string file = write(sample().bytes());
  ASSERT_EQ(read_coff_file(0, file.c_str()), 0);
  make_device_current(0);
  const coff_debug_info before = *current_debug_info();
  set_word(SPACE_X, 0x40, 0x55);
  const coff_save_range more[] = {{region("x"), 0x40, 0x40}};
  ASSERT_EQ(coff_save_memory(file.c_str(), true, more), 1);
  ASSERT_EQ(read_coff_file(0, file.c_str()), 0) << coff_error_text();
  make_device_current(0);
  const coff_debug_info& after = *current_debug_info();
  EXPECT_EQ(after.section_count, before.section_count + 1);
  EXPECT_EQ(after.symbol_count, before.symbol_count);
  ASSERT_EQ(after.lines.size(), before.lines.size());
  for (std::size_t i = 0; i < after.lines.size(); ++i) EXPECT_EQ(after.lines[i].line, before.lines[i].line) << i;
  EXPECT_STREQ(symbol_text_at(SPACE_P, 0x15), " p:(a_very_long_label+2)");
  set_word(SPACE_X, 0x40, 0);
  ASSERT_EQ(coff_load_memory(0, file.c_str()), 1);
  EXPECT_EQ(word(SPACE_X, 0x40), 0x55u);
  EXPECT_EQ(word(SPACE_P, 0x10), 0x100u);
  EXPECT_EQ(pc(), 0x10u);  // the old entry stays
}

}  // namespace

namespace {

// Two assembly sections in blocks "sec1" and "sec2", each with its labels,
// a global label, a class-210 label and a C function.
test_coff labelled() {
  test_coff c;
  c.sections = {{".txt", 0, 0, 0x20, {0}},
                {".dat", 0, 1, 0x40, {0}},
                {".txt", 0x100, 0, 0x20, std::vector<uint32_t>(0x10, 0)},
                {".txt", 0x200, 0, 0x20, std::vector<uint32_t>(0x10, 0)}};
  const auto text = [&](const char* s) {
    const auto offset = static_cast<uint32_t>(4 + c.strings.size());
    c.strings += s;
    c.strings += '\0';
    return offset;
  };
  c.symbol(".file", 0, 0, -2, 0, 103, 1);  // 0
  c.file_aux("a.c", 0);
  c.symbol(".bs", text("sec1"), 0, 0, 0, 201);  // 2
  c.symbol(".txt", 0x100, 0, 3, 0, 202);         // 3
  c.symbol("lab_a", 0x100, 0, 3, 0, 213);        // 4
  c.symbol("x", 0x104, 0, 3, 0, 214);            // 5: _x after lab_a
  c.symbol("lab_b", 0x108, 0, 3, 0, 213);        // 6
  c.symbol("x", 0x10A, 0, 3, 0, 214);            // 7: _x after lab_b
  c.symbol("glob", 0x10C, 0, 3, 0, 211);         // 8
  c.symbol(".es", 0, 0, 0, 0, 201);              // 9
  c.symbol(".bs", text("sec2"), 0, 0, 0, 201);   // 10
  c.symbol(".txt", 0x200, 0, 4, 0, 202);         // 11
  c.symbol("lab_a", 0x200, 0, 4, 0, 213);        // 12
  c.symbol(".es", 0, 0, 0, 0, 201);              // 13
  c.symbol("g210", 0x300, 0, 0, 0, 210);         // 14
  c.symbol("Fmain", 0x100, 0, 3, 0x20, 2, 1);    // 15
  c.aux({0, 0x10, 0, 0, 0, 0, 0, 0});
  c.symbol(".bf", 0x101, 0, 3, 0, 101, 1);       // 17
  c.aux({0, 5, 0, 0, 0, 0, 0, 0});
  c.symbols[0][2] = static_cast<uint32_t>(c.symbols.size());
  return c;
}

TEST_F(Coff, LabelsByNameInTheContextOfThePc) {
  ASSERT_EQ(read_coff_file(0, write(labelled().bytes()).c_str()), 0) << coff_error_text();
  int row = 0, reg = 0;
  ASSERT_TRUE(lookup_register(0, "pc", &row, &reg));
  struct row_t {
    uint32_t pc;
    const char* text;
    int index;
  };
  const row_t rows[] = {
      {0x102, "lab_a", 4}, {0x102, "global@lab_a", 4}, {0x102, "@lab_a", 4}, {0x102, "sec2@lab_a", 12},
      {0x202, "lab_a", 12}, {0x202, "sec1@lab_a", 4},
      // An underscore label belongs to the nearest block label at or below the context.
      {0x106, "_x", 5}, {0x10B, "_x", 7},
      // A global label of the block, and from another block by the index.
      {0x102, "glob", 8}, {0x202, "glob", 8},
      {0x102, "g210", 14},
      // A C function: its ".bf".
      {0x102, "main", 17}, {0x102, "a.c@main", 17},
      {0x102, "nosuch", 0}, {0x102, "nosuch@lab_a", 0},
  };
  for (const row_t& r : rows) {
    ASSERT_TRUE(write_register(0, row, reg, &r.pc));
    make_device_current(0);
    uint32_t address = 0;
    int space = -1;
    EXPECT_EQ(find_symbol(r.text, &address, &space), r.index) << r.text << " at " << r.pc;
  }
  // Expressions reach the labels through the symbol source.
  arg_value v;
  ASSERT_EQ(lookup_symbol_value("lab_b", &v), 1);
  EXPECT_EQ(v.addr, 0x108u);
  EXPECT_EQ(v.space, 0u);
}

}  // namespace
