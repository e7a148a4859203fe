// Registers by name, ".lod" memory files, file paths and the search path.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstdint>
#include <string>

// ---------------------------------------------------------------------------
// Registers by name and number. Each entry makes the device current first
// and leaves it current.

// Finds a register by name over the device's peripherals: first over the
// rows without a suffix, then "cra0" as "cra" of the row with suffix "0".
// 1 with the row and register index, or 0.
int lookup_register(int device, const char* name, int* out_row, int* out_reg);
// Reads through the row's get slot; 0 for a row or register that does not exist.
int read_register(int device, int row, int reg, uint32_t* out);
// Writes a bus-mapped register as a peripheral bus write (flag 1), any other
// through the row's set slot. The value cell is 2-3 words for composite
// registers. 0 for a row or register that does not exist or a refused write.
int write_register(int device, int row, int reg, const uint32_t* value);

// Case-insensitive (ASCII) helpers.
int str_icmp(const char* a, const char* b);
int str_nicmp(const char* a, const char* b, int n);
int str_lower(char* text);
int find_keyword(const char* word, const char* const* list, int count);

// ---------------------------------------------------------------------------
// ".lod" memory files.

constexpr std::size_t LOD_WORD_MAX = 90;

// Where a refused ".lod" file went wrong, for the load command's message.
// Cleared at every read; reason is empty after a successful one.
struct lod_fault {
  std::string file;
  int line = 0;  // 1-based; 0 when the fault is not within the text
  std::string reason;
};
// Reads a ".lod" file (or hands a COFF file to the loader) into a device.
// All or nothing: a refused file leaves memory and pc as they were.
// A record keyword not in the list ends the file normally.
int read_lod_file(int device, const char* path);
const lod_fault& last_lod_fault();

// The object-file loader's entry: -1 when the file is not a COFF file for
// the device's type, else its load result (0 failed, non-zero loaded).
int coff_try_load(int device, const char* path);
// Installed by the object-file library; null leaves every file to the
// ".lod" reader.
using coff_loader = int (*)(int device, const char* path);
void set_coff_loader(coff_loader loader);

// ---------------------------------------------------------------------------
// File paths. '/' separates; a '\' typed or read from a file is turned
// into '/'. A name starting with '/' is absolute.

// The search path: directories separated by commas, set by "path"; empty
// when there is none.
extern std::string search_path;

constexpr std::size_t PATH_MAX_CHARS = 256;
constexpr std::size_t SEARCH_DIR_MAX_CHARS = 255;

// Joins directory and name, adding the default extension when the name
// has none after its last separator; false (and out empty) when the result
// would be longer than PATH_MAX_CHARS, or when a default extension is given
// and the name's last part is empty ("adir/").
bool make_file_path(const char* directory, const char* name, const char* default_ext,
                    std::string& out);
// Looks for the file in the current device's working directory, then in
// each directory of the search path; 1 when one opens for reading as a
// file. out holds the last path tried.
int find_file_on_path(const char* name, const char* default_ext, std::string& out);

