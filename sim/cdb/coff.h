// COFF absolute object files: the debug information read from them, the
// program words they carry, and what an address belongs to.
//
// Every field of the file is a 32-bit word, most significant byte first.
// The symbol table is kept as it is on disk, with its words in host order;
// a name is the big-endian bytes of its name words.
//
// - A device's debug information (`coff_debug_info`) hangs off its `device_state` as a `shared_ptr`:
//   the engine frees it with the device without knowing its layout.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

constexpr uint32_t COFF_FILE_HEADER_BYTES = 28;
constexpr uint32_t COFF_OPT_HEADER_BYTES = 60;
constexpr uint32_t COFF_SECTION_BYTES = 52;
constexpr uint32_t COFF_SYMBOL_BYTES = 32;
constexpr uint32_t COFF_LINE_BYTES = 12;

// Section header flags.
enum : uint32_t {
  SECT_TEXT = 0x20,
  SECT_DATA = 0x40,
  SECT_FILL = 0x400,
  SECT_START_FROM_LINES = 0x800,
  SECT_MACRO = 0x1000,
  SECT_WIDE_WRITE = 0x4000,
};

// Storage classes the debugger acts on.
enum : uint32_t {
  SC_EXTERNAL = 2,
  SC_STATIC = 3,
  SC_TYPEDEF = 13,
  SC_FUNCTION = 101,
  SC_FILE = 103,
  SC_ABSOLUTE = 106,
  SC_ASM_FILE = 200,
  SC_BLOCK = 201,
  SC_SECTION = 202,
  SC_MACRO = 203,
  SC_LABEL_210 = 210,
  SC_LABEL_211 = 211,
  SC_LABEL_212 = 212,
  SC_LABEL_213 = 213,
  SC_LABEL_UNDERSCORE = 214,
  SC_LABEL_MACRO = 215,
};

constexpr uint32_t DERIVED_MASK = 0x30;
constexpr uint32_t DERIVED_FUNCTION = 0x20;
constexpr uint32_t DERIVED_POINTER = 0x10;

// One 32-byte symbol or auxiliary entry.
struct coff_symbol {
  std::array<uint32_t, 8> w{};
  uint32_t value() const { return w[2]; }
  int space() const { return static_cast<int>(w[3]); }
  int32_t section() const { return static_cast<int32_t>(w[4]); }
  uint32_t type() const { return w[5]; }
  uint32_t sclass() const { return w[6]; }
  uint32_t aux_count() const { return w[7]; }
  bool is_function() const { return (w[5] & DERIVED_MASK) == DERIVED_FUNCTION; }
  bool is_file() const { return w[6] == SC_FILE || w[6] == SC_ASM_FILE; }
};

struct coff_section {
  std::string name;  // ".txt", ".dat", ".bss", ...
  uint32_t start = 0;
  uint32_t load_start = 0;  // the header's address, kept when start moves to the run address
  int space = 0;
  uint32_t size = 0;  // words; the fill count of a fill section
  uint32_t raw_offset = 0;
  uint32_t flags = 0;
  uint32_t line_count = 0;
  uint32_t first_line = 0;
  uint32_t block = 0;  // ".bs" symbol enclosing its section symbol
};

struct coff_line {
  uint32_t address = 0;  // the function's symbol index when line is 0
  int space = 0;
  uint32_t line = 0;
};

struct coff_debug_info {
  int memory_model = 1;
  int section_count = 0;  // headers + 1; 0 when nothing is loaded
  uint32_t symbol_offset = 0;
  uint32_t symbol_count = 0;
  std::vector<coff_symbol> symbols;    // annotated: type word of each = enclosing block
  std::vector<coff_symbol> c_symbols;  // as read
  std::vector<char> string_table;      // from the size word on
  std::vector<coff_line> lines;
  std::vector<coff_section> sections;  // 0 .. section_count - 1; record 0 zeros
  std::string coff_path;
  // Per source file: byte offsets of line starts (entries 0 and 1 are 0).
  std::vector<std::vector<uint32_t>> file_lines;
  // Word 0 = n, then n symbol indexes; address_index then the run table.
  std::vector<uint32_t> address_index;
  std::vector<uint32_t> name_index;
  uint32_t send_address = 0;
  uint32_t receive_address = 0;
  int send_space = 0;
  int receive_space = 0;
  // Raw words of overlaid sections, read from the file the first time an
  // address in them is looked up: a new load brings a new record, so they
  // never outlive the file they came from.
  struct raw_words {
    bool read = false;
    bool readable = false;
    std::vector<uint16_t> words;  // one word for a fill section
  };
  std::vector<raw_words> section_words;
  // The C scope (function, block) of pcs a condition asked about,
  // direct-mapped by pc; a new load brings a new record and so an empty
  // table.
  struct scope_entry {
    uint32_t pc = UINT32_MAX;
    int32_t function = -1;
    int32_t block = -1;
  };
  std::vector<scope_entry> scope_cache;

  int file_count() const { return static_cast<int>(file_lines.size()); }
  bool has_symbols() const { return !symbols.empty(); }
};

// --- Reading ------------------------------------------------------------------

// Reads the debug information of a COFF file into the device. 0, or -1 with
// coff_error_text() set; a refused file leaves the device's previous debug
// information in place.
int read_coff_file(int device, const char* path);
// The same into a record of its own (for a load that checks everything
// before changing anything); family_code decides the memory model.
int read_coff_debug_info(const char* path, int family_code, coff_debug_info& out);
// Gives the device the debug information read before.
void install_debug_info(int device, std::shared_ptr<coff_debug_info> info);
// The message of the last failed read or lookup.
const std::string& coff_error_text();

// The current device's debug information, or null when it has none.
coff_debug_info* current_debug_info();
// Drops the current device's debug information.
void coff_free_debug_info();

int coff_find_file(const coff_debug_info& info, const std::string& name, uint32_t limit);
int memory_model();

// Names: inline, or from the string table ("" with the message "invalid
// string table offset" when the offset is bad).
std::string coff_symbol_name(const coff_debug_info& info, const coff_symbol& symbol);
std::string coff_file_symbol_name(const coff_debug_info& info, const coff_symbol& aux);
// The file name of a ".file" symbol, "" for an index outside the table.
std::string coff_file_name(const coff_debug_info& info, int file_index);

// --- Program words --------------------------------------------------------------

// Loads the ".txt" and ".dat" sections and sets pc. 1 loaded, 0 failed
// (nothing written); -1 when the file is not a COFF file of the device's type.
int coff_load_memory(int device, const char* path);

struct coff_save_range {
  int region;  // memory-map row of the current device type
  uint32_t first, last;
};
// Writes the ranges of the current device as a new COFF file, or adds them
// to the existing one. 1 written, 0 failed (the old file stays; `cause`
// says why the write failed, when it did).
int coff_save_memory(const char* path, bool keep_existing, std::span<const coff_save_range> ranges,
                     std::string* cause = nullptr);

// --- What an address belongs to -----------------------------------------------

int coff_section_at(uint32_t address, int space);
int coff_section_mismatch(int section);
int coff_symbol_at(uint32_t address, int space, int* is_underscore);
int coff_file_symbol_at(uint32_t address, int space);
std::string source_file_at(uint32_t address, int space);
int coff_line_index_at(uint32_t address, int space);
// " p:name" or " p:(name+offset)"; "" without a label. Valid until the next call.
const char* symbol_text_at(int space, uint32_t address);
const char* coff_space_letter(int space);

// --- Symbols by name --------------------------------------------------------------

// A label (or "block@label", "global@label", "@label", "file@function") in
// the context of the device's pc: the symbol's index with its address and
// space, 0 when not found.
int find_symbol(const char* text, uint32_t* address, int* space);
int coff_section_block_at(uint32_t address, int space);
int coff_label_in_block(const std::string& name, uint32_t block);
int coff_section_macro(int section);
int coff_underscore_label(uint32_t address, int space, const std::string& name);
int coff_macro_label(uint32_t address, int space, const std::string& name);
int coff_nearest_label(uint32_t address, const std::string& name);
int coff_global_label(const std::string& name, uint32_t sclass);
int coff_nearest_indexed_label(uint32_t address, const std::string& name);
// C: a ".file" by "name@..." (or the pc's own), a function by name in it or
// external; the function's ".bf" index when it has one.
int c_find_file(const std::string& text);
int c_find_function(const std::string& name, int file);

// Installs the object-file loader into the engine's ".lod" reader.
void install_object_file_hooks();
