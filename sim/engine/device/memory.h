// Simulated memory: the memory interface shared by every device type,
// space resolution by operating mode, sparse 256-word pages with paging to
// a per-device ".MEM" file, the access logs, and the simulator allocator.
//
// One `mem_iface` for every type: generic spaces p (0) and x (1) are resolved by the operating mode
// to pe/pi/pr and xe/xi/xr; the I/O window of xi goes to the peripheral bus; pe and xe are sparse
// (256-word pages: uniform, data, or written out to the device's ".MEM" paging file when the
// allocator runs dry). Word arrays are 32-bit cells holding 16-bit words.
//
// `find_memory_region` and the resolution of p and x are table look-ups (`region_index.h`): per
// type and space one entry per 256-word page (the row, and whether it holds the address), or 256
// entries for a page that a row boundary cuts. A space's entries are built the first time it is
// looked up and again when `first_region` names another first row for it. The core resolves each
// access with its own omr word (`core_resolve_space`), so an omr change, however it is made,
// applies to the next access. The core's reads and writes find the row once and go through
// `mem_read_at`, `mem_write_at` and `note_memory_access_entry`. An access is noted in the log of
// every row of its row's attribute family that holds the address; per row the index keeps that
// family split into the rows covering the row's whole range and those overlapping it in part, so
// when the entry says the row holds the address only the partial rows are tested (a row that does
// not hold it tests the whole family).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

constexpr int SPACE_CODE_COUNT = 21;

enum space_code : int {
  SPACE_P = 0,    // generic program space, resolved by the operating mode
  SPACE_X = 1,    // generic data space
  SPACE_PE = 13,  // external program, sparse
  SPACE_PI = 14,  // internal program
  SPACE_PR = 15,  // bootstrap
  SPACE_XE = 18,  // external data, sparse
  SPACE_XI = 19,  // internal data and the I/O window
  SPACE_XR = 20,
};

// The memory interface: one static table for all five types.
struct mem_iface {
  int (*read_word)(int space, uint32_t address, uint32_t* out);
  int (*write_word)(int space, uint32_t address, const uint32_t* value);
  int (*fill)(int space, uint32_t address, uint32_t count, const uint32_t* value);
  int (*resolve_space)(int space, uint32_t address);
  void* unused4;
  int (*read_wide)(int space, uint32_t address, uint32_t* out, int wide);
  int (*write_wide)(int space, uint32_t address, const uint32_t* value, int wide);
  void* unused7;
};
extern const mem_iface dsp_mem_iface;

int mem_read_word(int space, uint32_t address, uint32_t* out);
int mem_write_word(int space, uint32_t address, const uint32_t* value);
int mem_fill(int space, uint32_t address, uint32_t count, const uint32_t* value);
int mem_resolve_space(int space, uint32_t address);
int mem_read_wide(int space, uint32_t address, uint32_t* out, int wide);
int mem_write_wide(int space, uint32_t address, const uint32_t* value, int wide);

// Reads and writes on a given device; the previously current device is
// current again afterwards. 0 when the slot is empty.
int read_device_memory(int device, int space, uint32_t address, uint32_t* out);
int write_device_memory(int device, int space, uint32_t address, const uint32_t* value);
int fill_device_memory(int device, int space, uint32_t address, uint32_t count,
                       const uint32_t* value);
// A program word of the current device as read_device_memory reads it in
// SPACE_P (under the operating mode); plain internal pages are read in
// place, as the straight-line executor fetches.
int read_program_word(uint32_t address, uint32_t* out);

// ---------------------------------------------------------------------------
// Access logs: per memory-map row, the reads and writes of the current
// instruction and since the run started, read by breakpoints and displays.

constexpr int ACCESS_RING = 16;

// The count of the current instruction's accesses is stamped with the
// device's instruction epoch (device_state::instr_epoch), which every
// instruction end advances: a count under an older stamp is 0, so the ends
// clear nothing.
struct access_log {
  uint32_t run_count = 0;    // accesses since the run started or the display was refreshed
  uint32_t ring_index = 0;   // 0-15, the newest entry
  uint32_t instr_count = 0;  // accesses during the instruction of instr_epoch
  uint32_t instr_epoch = 0;  // 0: no instruction (epochs start at 1)
  uint32_t address[ACCESS_RING] = {};
  uint32_t attribute[ACCESS_RING] = {};
};

// The accesses of the instruction in progress, `epoch` being its device's.
inline uint32_t access_log_instr_count(const access_log& log, uint32_t epoch) {
  return log.instr_epoch == epoch ? log.instr_count : 0;
}

// Notes an access in the log during the instruction of `epoch`.
[[gnu::always_inline]] inline void log_access(access_log& log, uint32_t address, uint32_t attribute,
                                              uint32_t epoch) {
  log.run_count += 1;
  log.instr_count = (log.instr_epoch == epoch ? log.instr_count : 0) + 1;
  log.instr_epoch = epoch;
  log.ring_index = (log.ring_index + 1) % ACCESS_RING;
  log.address[log.ring_index] = address;
  log.attribute[log.ring_index] = attribute;
}

// An interval map: ranges in ascending address order, neighbours with
// equal values merged; empty means 0 everywhere. Set and read by the
// display code (sim/cmd/rangemap.h).
struct range_entry {
  uint32_t value;
  uint32_t low, high;  // inclusive
};
struct range_map {
  std::vector<range_entry> ranges;
};

struct region_access_log {
  // Display switches, highlight marks, a further display map,
  // input-stream tags, output-stream tags.
  range_map maps[5];
  range_map radix_map;  // display radix of memory words
  access_log writes;
  access_log reads;
};

void note_memory_access(int space, uint32_t address, int is_read, uint32_t attribute);
void note_periph_write(uint32_t address);
// Empty hook the core calls; kept for its callers.
void mem_core_hook(int a, uint32_t b, uint32_t c);

// ---------------------------------------------------------------------------
// Sparse spaces: a circular list of pages sorted by start; the first page
// starts at 0. A page is one repeated value, a block of 256 words, or a
// block written out to the paging file.

constexpr uint32_t PAGE_WORDS = 256;
constexpr std::size_t PAGE_BYTES = PAGE_WORDS * 4;  // 32-bit cells on disk

enum page_kind : int { PAGE_ON_DISK = 1, PAGE_UNIFORM = 2, PAGE_DATA = 4 };

struct mem_page {
  mem_page* next;
  mem_page* prev;
  uint32_t start;    // a multiple of 256
  int kind;          // page_kind
  uint32_t value;    // uniform pages: the value of every word
  uint32_t* block;   // data pages: 256 cells from dsp_alloc
  long file_offset;  // pages on disk: where the block sits in the paging file
};

struct region_pages {
  mem_page* cursor = nullptr;       // the page found last
  mem_page* prev_cursor = nullptr;  // the one before
};

struct paging_file {
  std::FILE* file = nullptr;
  std::string path;              // the name taken, removed when the file closes
  std::vector<long> free_slots;  // offsets whose blocks were read back
};

struct device_inst;

// Both make the device current, as every entry that takes a device number.
int sparse_mem_read(int device, int space, uint32_t address, uint32_t* out);
void sparse_mem_write(int device, int space, uint32_t address, uint32_t value);
// The same on a given row of a device, without selecting the device
// (the memory interface and the core use them on the current device).
int sparse_read_row(device_inst* inst, int row, uint32_t address, uint32_t* out);
void sparse_write_row(device_inst* inst, int row, uint32_t address, uint32_t value);
mem_page* find_mem_page(region_pages& rec, uint32_t address);
// Gives every sparse row of the current device one uniform page of 0;
// 0 when a page could not be allocated.
int init_sparse_spaces();
// Frees every page of the device and closes its paging file.
void free_sparse_spaces(device_inst* inst);
void reset_sparse_space(region_pages& rec);
// Back to one page of 0 per sparse row; the paging file is closed and
// removed.
void release_paging(device_inst* inst);
// Writes one data page not used most recently out to its device's paging
// file; 1 when a block was written out. Refused (0) while devices run on
// worker threads: the page may belong to a device another thread runs.
int page_out_memory();
// The paging-file transfers of one page. A failure is reported, stops the
// current device's run and leaves the page as it was.
int m_pdisk(device_inst* inst, mem_page* page);
uint32_t* m_gdisk(device_inst* inst, mem_page* page);
// The paging file's name: work_dir, page_file_base, number, ".MEM". The
// file is created on first use and locked; when another simulator holds
// that name, "-1", "-2", ... are added before ".MEM".
std::string paging_file_path(const device_inst* inst);
// Every sparse row as text for the state file; 0 when writing failed.
int save_sparse_memory(device_inst* inst, std::FILE* file);
// 0 when the text is not a valid page list (or memory ran out); the row
// being read is then left as one uniform page of 0.
int load_sparse_memory(device_inst* inst, std::FILE* file);
// Number of pages of a sparse row (tests and the map help).
int sparse_page_count(const region_pages& rec);

// ---------------------------------------------------------------------------
// The simulator allocator: the heap, falling back to paging sparse pages
// out when the heap is exhausted.
void* dsp_alloc(std::size_t size, int clear);
void* dsp_realloc(void* block, std::size_t size);
void dsp_free(void* block);
// Test hook: a cap on the bytes dsp_alloc may hold at once (0: no cap).
void dsp_alloc_set_limit(std::size_t bytes);
std::size_t dsp_alloc_in_use();
bool dsp_alloc_capped();

// Memory that could not be obtained or paged: the first failure since the
// count was restarted is reported, the others only counted, so that a
// command writing many words reports once. Each command line restarts it.
void report_memory_failure(const char* message);
uint32_t memory_failure_count();
void restart_memory_failures();
