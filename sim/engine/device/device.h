// Device types, device instances and the current-device selection.
//
// Every device is one of five types described entirely by static tables:
// its peripherals and their registers, its memory map, pins and ports.
// Engine code works on the current device through five globals, set by
// every entry that takes a device number.
//
// - `family_desc`: per type the support record through which the assembler, disassembler and family
//   help are reached.
//
// - Current device: `cur_device`, `cur_type`, `cur_family`, `cur_inst`, `cur_state` name the device
//   engine code works on; every entry that takes a device number sets them (`make_device_current`).
//   `shown_device` is the device the front-end shows and `select_device` records; the run loop moves
//   the current records from device to device without changing it, so output of a device that is not
//   shown stays in its own session ring.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "sim/engine/periph/hostio.h"
#include "sim/engine/device/memory.h"
#include "sim/engine/device/profiler_iface.h"

constexpr int DEVICE_MAX = 32;
constexpr int TYPE_COUNT = 5;
constexpr int REG_BLOCK_WORDS = 37;
constexpr int SESSION_RING_LINES = 100;
constexpr int SESSION_LINE_BYTES = 256;
constexpr int WORK_DIR_MAX = 256;

// ---------------------------------------------------------------------------
// Static description of a device type.

// reg_desc access flags.
enum : uint32_t {
  REG_READABLE = 0x20,
  REG_WRITABLE = 0x40,
  REG_BUS_MAPPED = 0x80,
  REG_STREAM_IN = 0x800,
  REG_STREAM_OUT = 0x1000,
};

// Per-device register attribute marks.
enum : uint32_t {
  ATTR_SHOWN = 0x800,
  ATTR_READ = 0x10000,
  ATTR_WRITTEN = 0x20000,
  ATTR_READ_SINCE = 0x40000,
  ATTR_CHANGED = 0x80000,
  ATTR_RUN_MARKS = 0xF0000,
  ATTR_IN_STREAM = 0x400000,
  ATTR_OUT_UNTIMED = 0x800000,
  ATTR_OUT_TIMED = 0x1000000,
  ATTR_OUT_STREAMS = 0x1800000,
  ATTR_IN_TIMED = 0x4000000,
};

struct reg_desc {
  const char* name;
  uint32_t valid_mask;
  uint32_t offset;     // from the peripheral's base, X I/O space
  uint32_t init_attr;  // copied into the device's attribute word
  uint32_t access;     // REG_* flags, value shape and width bits
  const char* help;    // bit-layout help lines, '\n' separated; first is the summary
};

struct stream_value;

// The peripheral interface. Every operation receives the peripheral's row
// index within the current device type first.
struct periph_class {
  int (*get)(int periph, int reg, uint32_t* out);
  int (*set)(int periph, int reg, const uint32_t* value);
  void (*bus_read)(int periph, uint32_t address, uint32_t* out, int flag);
  int (*bus_write)(int periph, uint32_t address, uint32_t value, int flag);
  void (*clock)(int periph);
  void (*reset)(int periph, int kind, int mode);
  int (*pending)(int periph);  // vector of the highest pending interrupt, or -1
  void (*acknowledge)(int periph, int vector);
  uint32_t class_word;  // bit 2: may be named as a stream item
  int state_word_count;
  int reg_count;
  const reg_desc* regs;
  // Event-driven peripherals (sim/engine/README.md, "Peripheral events").
  // catch_up brings the peripheral's state up to the current cycle from
  // the cycles elapsed since its last update; with `resync` set it takes
  // the current cycle count as its last update instead (the count moved
  // under it). next_event gives the device cycles from now to the next
  // cycle whose clock must run (0: this one), NO_EVENT when none; null
  // for a peripheral that is never clocked. The core (row 0) is clocked
  // every cycle.
  void (*catch_up)(int periph, int resync);
  uint32_t (*next_event)(int periph);
  // Stream word hooks. input_word takes the text of an input value (1) or
  // leaves it to the number parser (0); output_word gives the text of a
  // data word (1) or leaves it to the stream's radix (0).
  int (*input_word)(const char* text, stream_value* out) = nullptr;
  int (*output_word)(const stream_value& value, char* text, std::size_t size) = nullptr;
};
constexpr uint32_t NO_EVENT = 0xFFFFFFFF;

struct help_table;

struct periph_row {
  const char* name;
  int pin_port;        // 0 control and analog pins, 2 port B, 3 port C
  uint32_t pin_mask;
  uint32_t pcr_addr;   // port control register handing the pins over, or 0
  uint32_t pcr_bits;
  uint32_t base;       // register base address in X I/O space
  int vector;          // interrupt vector base
  uint32_t ipr_bits;   // its priority bits in ipr; 0 when it raises no interrupts
  const periph_class* cls;
  const char* suffix;  // "", "0" or "1"
  const help_table* help = nullptr;  // its I/O file format topics
};

// mem_region flag bits with behaviour; the others are carried as data.
enum : uint32_t {
  REGION_DISABLED = 0x4,
  REGION_READ_ONLY = 0x8,  // a word array the core cannot write
  REGION_IO_BUS = 0x10000,
  REGION_MORE_ROWS = 0x20000,
  REGION_SPARSE = 0x1000000,
};

struct mem_region {
  const char* name;
  int space;
  uint32_t attr;
  uint32_t low, high;  // inclusive
  uint32_t size;       // words of its own array; 0 for generic, sparse and I/O rows
  uint32_t flags;
  const uint16_t* init;  // initial contents (size words) or null
  uint32_t addr_mask;
  uint32_t format;
  uint32_t count;
};

struct pin_desc {
  const char* name;
  const char* alt_name;  // or null
  int group;             // 0 control, 1 port A/address, 2 port B, 3 port C, 4 port D/data
  uint32_t mask;
  int kind;              // 10, 11, 20, 21, 30 or 31
};

struct port_desc {
  const char* name;
  int group;
  uint32_t mask;
};

struct mem_iface;

struct device_type {
  const char* name;
  int family_code;  // 711: the DSP73500 family
  uint32_t type_bit;
  uint32_t expr_flags;
  int default_mode;
  int periph_count;
  const periph_row* periphs;
  int region_count;
  const mem_region* regions;
  const char* page_file_base;
  const mem_iface* mem;
  int device_word_count;
  int block_count;
  const uint32_t* block_init;  // block_count * REG_BLOCK_WORDS words
  int pin_count;
  const pin_desc* pins;
  int port_count;
  const port_desc* ports;
  const uint32_t* magic_list;  // further COFF magic numbers, or null
  // Per space code, the index of the first memory-map row of that space;
  // filled by index_memory_regions and select_device_type.
  std::array<int, SPACE_CODE_COUNT> first_region;
};

// One-hot type bits: code that differs per type tests masks of these.
enum : uint32_t {
  TYPE_73521 = 1,
  TYPE_73547 = 2,
  TYPE_73583 = 4,
  TYPE_73547ROM = 8,
  TYPE_73583RAM = 16,
};

struct dis_ea_info;
struct profile_family_ops;

// Per device type, the support record through which the rest of the
// system reaches the assembler, the disassembler and the family help.
struct family_desc {
  std::array<int, 27> value_width;
  const char* help_generic_p;
  const char* help_generic_x;
  const void* display_layouts;  // per-peripheral register display layouts
  int (*assemble)(const char* text, uint32_t address);
  int (*disassemble)(const uint32_t* words, char* text, uint32_t number_a,
                     uint32_t number_b, dis_ea_info* ea_info);
  const help_table* help_topics;  // the family's counted help table
  const profile_family_ops* profile_ops;  // the profiler's decode, installed with the tools
  const void* frame_hooks;  // absent for every type
};

// ---------------------------------------------------------------------------
// Per-device records.

// device_inst flags.
enum : uint32_t {
  DEV_INSTR_END = 0x1,
  DEV_INSTR_END2 = 0x2,
  DEV_ILLEGAL = 0x4,
  DEV_PC_WRITTEN = 0x8,
  DEV_STOP = 0x10,
  DEV_EXCLUDED = 0x20,
  DEV_ERROR_PENDING = 0x40,
};

struct region_mem {
  region_pages pages;         // sparse rows only
  std::vector<uint32_t> words;  // rows with a size: 32-bit cells holding 16-bit words
  uint32_t disabled = 0;      // shown by "help map", kept in the state file
};

// A 256-word page of program or X memory as the straight-line executor
// reaches it (core_fast.cpp): its first word when every word of it is
// plain internal memory of one row with the same log rows (null: looked up
// word by word), those rows, and its region entry and page flags. `rows`
// are the device's logs of the first two of those rows (the second null
// for one), so that a note goes straight to them; both null for a page
// of more, whose `logs` bits are walked.
struct plain_page {
  uint32_t* base = nullptr;
  uint32_t logs = 0;
  uint32_t bits = 0;
  std::array<region_access_log*, 2> rows{};
};

struct device_inst {
  int type = 0;
  int number = 0;
  std::vector<uint32_t*> periph_state;  // per peripheral row
  // The core's state words and class, reached in one step from the
  // device in the cycle path (periph_state[0], periphs[0].cls).
  uint32_t* core = nullptr;
  const periph_class* core_class = nullptr;
  std::vector<region_mem> regions;      // per memory-map row
  paging_file page_file;
  // block_count register blocks, each 37 current words then 37 previous words.
  std::vector<uint32_t> blocks;
  uint32_t pc = 0;
  uint32_t cycles = 0;
  uint32_t instructions = 0;
  std::vector<uint32_t> device_words;
  uint32_t flags = 0;
  int abort = 0;
  uint32_t abort_wait = 0;  // cycles the abort has waited for an instruction end
  // 1 when an interrupt request may be pending: set by every call that
  // raises one (raise_interrupt_request), cleared by an arbitration that
  // finds none.
  uint32_t irq_request = 1;
  // The event horizon: the cycle count at which the next peripheral event
  // is due (when event_due is set); peripherals_changed asks for it to be
  // worked out again before the next cycle.
  uint32_t horizon = 0;
  uint8_t event_due = 0;
  uint8_t horizon_stale = 1;
  // Mirrors device_state::profile.on beside the words the cycle path
  // reads anyway (set_device_profiled keeps the two together).
  uint8_t profiled = 0;
  // Set when a pin-block word changes (set_pin_word; the core's clock-out
  // pin aside, which no sample reads) or what the core's pin samples read
  // beside the pins (omr, ipr, a state word stored by number, a state load, an
  // initialisation). The end-of-cycle samples run only while it is set and
  // clear it once a repeat of them would change nothing.
  uint8_t pins_changed = 1;
  // Set with pins_changed, and by the clock-out pin when it moves: some
  // block's pin words may differ from its previous words, so the end of
  // the cycle copies them (save_previous_blocks, which clears it).
  uint8_t blocks_changed = 1;
  // The straight-line executor's pages, program then X, resolved for the
  // omr mode bits in plain_pages_mode (made again when they change).
  std::vector<plain_page> plain_pages;
  uint32_t plain_pages_mode = ~0u;
  std::string work_dir;
  // Storage behind periph_state.
  std::vector<uint32_t> periph_storage;
};

struct periph_entry {
  uint32_t class_word = 0;
  uint32_t* attrs = nullptr;  // reg_count attribute words
};

struct session_ring {
  int newest = 0;
  int pending = 0;  // newer lines not yet shown
  std::vector<std::array<char, SESSION_LINE_BYTES>> lines;
};

struct break_rec;
struct io_stream;
struct run_engine;
struct coff_debug_info;
struct frame_list;
struct watch_list;

// A memory-access breakpoint's block, [lo, hi] (wrapping when lo > hi), in
// one of its device's access logs (which live as long as the device).
struct access_watch {
  const access_log* log;
  uint32_t lo, hi;
};

struct device_state {
  std::vector<region_access_log> region_logs;  // per memory-map row
  std::vector<periph_entry> periph_entries;    // per peripheral row
  std::vector<uint32_t> attr_storage;          // behind periph_entries
  uint32_t* core_attrs = nullptr;              // periph_entries[0].attrs
  // The instruction in progress, for the access logs' per-instruction
  // counts (access_log::instr_epoch): every instruction end advances it.
  uint32_t instr_epoch = 1;

  // Run block, cleared at every initialisation.
  uint32_t run_count = 0;
  int break_number = 0;
  int run_mode = 0;
  int halt_on_break = 0;
  int running = 0;
  uint32_t stop_address = 0;
  uint32_t stop_space = 0;  // the stop address's second word
  int next_kind = 0;        // unit of next: 0 by display mode, 1 instructions, 2 source lines
  // A step over calls that met an interrupt: the handler runs inside the
  // step until the program goes on at irq_resume with the stack pointer
  // irq_depth.
  int irq_hold = 0;
  uint32_t irq_resume = 0;
  uint32_t irq_depth = 0;
  uint32_t cnt[4] = {0, 0, 0, 0};  // cnt1-cnt4
  uint32_t eof_flag = 0;
  uint32_t jump_flag = 0;
  uint32_t run_word = 0;  // cleared by reset_run_flags and by a pc write
  // Worked out again by the run loop when run_plan_stale is set (arming a
  // run, a breakpoint's command): a breakpoint can fire in the middle of
  // an instruction; the run may go whole instructions at a time.
  int run_plan_stale = 1;
  int mid_instr_breaks = 0;
  int breaks_observe_marks = 0;
  int read_watch = 0;  // core reads ask run_hook.read_change_mark for their mark
  // The addresses the plain program-address breakpoints name, one bit
  // each (set by the plan whenever the list is not empty): an instruction
  // end whose pc has no bit needs no test of them.
  const uint64_t* pc_break_bits = nullptr;
  // The blocks the memory-access breakpoints watch, one per log they test
  // (set by the plan with pc_break_bits): an end whose instruction noted
  // no access inside any of them needs no test of them.
  const access_watch* access_watches = nullptr;
  int access_watch_count = 0;
  int run_fast = 0;
  const run_engine* engine = nullptr;  // the plan's choice (runloop.h); null: the cycle engine
  // With conditions on the count alone (BREAKS_CYCLE_BOUNDED): tests at
  // counts in [break_from, break_until) cannot hit, nor tests at counts
  // below break_restart (after the count starts over).
  int breaks_cycle_bounded = 0;
  int breaks_every_end = 0;  // BREAKS_AT_EVERY_END
  int breaks_own_device = 0;  // BREAKS_OWN_DEVICE
  int breaks_see_peripherals = 0;  // BREAKS_SEE_PERIPHERALS
  int breaks_inert = 0;            // BREAKS_INERT
  uint64_t break_from = 0;
  uint64_t break_until = 0;
  uint64_t break_restart = 0;
  int stream_plan = 0;  // STREAMS_* of the streams open when the plan was made
  uint32_t plan_epoch = 0;  // plans made: what a plan decides holds until run_plan_stale is set
  // Set by whatever needs this device run one cycle at a time whatever
  // its plan (the engine comparison in the tests and the benchmark).
  int cycle_engine_only = 0;
  uint32_t fast_instructions = 0;  // instruction ends the fast engine reached
  uint32_t exec_instructions = 0;  // of which the executor ran whole (core_exec_instruction)
  uint32_t record_repeat_passes = 0;  // repeat passes the executor decoded from a record
  uint32_t straight_instructions = 0;  // of which ran straight through from a record (core_fast.h)
  // The profiler's block; profiled while profile.on is set.
  profiler_block profile;

  int default_radix = 1;
  uint32_t asm_address = 0;  // address being assembled: "*" in expressions
  break_rec* breakpoints = nullptr;
  int last_break_number = 0;
  io_stream* streams[4] = {nullptr, nullptr, nullptr, nullptr};
  int streams_enabled = 1;
  int view_mode = 0;  // 0 session, 1 assembly, 2 source
  // Where a disassemble without arguments goes on; cleared before each run.
  int dis_continue = 0;
  int dis_space = 0;
  uint32_t dis_next = 0;
  int source_window_open = 0;
  // The position the source and assembly views show, and the file and line
  // a source-line step started on. view_file is a ".file" symbol index.
  int view_file = -1;
  uint32_t view_top_line = 0;
  uint32_t view_bottom_line = 0;
  uint32_t step_line = 0;
  uint32_t asm_view_address = 0;
  int asm_view_space = -1;
  uint32_t asm_view_last = 0;
  uint32_t view_first = 0;   // for a scroll bar: the top line, or the first address
  uint32_t view_extent = 0;  // the file's entry count, or the region's address mask
  int list_file = -1;
  uint32_t list_line = 0;
  // The loaded program's debug information (sim/cdb); shared so that the
  // engine can drop it without knowing its layout.
  std::shared_ptr<coff_debug_info> debug;
  // The C call frames read from the target (sim/cdb) and the watch list
  // (sim/cmd), kept the same way.
  std::shared_ptr<frame_list> frames;
  std::shared_ptr<watch_list> watches;

  session_ring session;
  std::array<std::array<uint32_t, 4>, 32> table32{};
  host_io_state hio;  // the target's host file service
  std::FILE* open_file = nullptr;

  // Core bus area: the pc trace ring read by history output.
  struct pc_trace_entry {
    uint32_t pc, opcode, second, spare;
  };
  uint32_t pc_trace_count = 0;
  uint32_t pc_trace_index = 0;
  std::array<pc_trace_entry, 32> pc_trace{};

  // Counts for the engine comparison (the cycle engine runs none).
  uint32_t batched_steps = 0;   // peripheral steps run in batches at catch-up
  uint32_t repeated_steps = 0;  // of which a repeating state gave (the codec's steady state)
  uint32_t serial_repeated_steps = 0;  // serial port steps a repeat stood for
  uint32_t serial_unseen_steps = 0;    // serial port steps taken at catch-ups

  // A serial port whose steps nothing sees (serial_engine.cpp): whether
  // its steps since its last update were unseen, and a repeat found among
  // them (the state before a step, and the cycles, steps and register
  // notes until that state came back). Not state: how fast the port's
  // state is reached, not what it is.
  static constexpr int SERIAL_REPEAT_WORDS = 88;
  struct serial_repeat {
    int row = -1;
    bool unseen = false;
    bool armed = false, found = false;
    uint32_t steps = 0, cycles = 0, last_toggle = 0;
    std::array<uint32_t, SERIAL_REPEAT_WORDS> start{}, end{};
    std::vector<uint8_t> notes;
    // The streams' view of the port (PERIPH_STREAMS_*) as of a plan.
    int view = 0;
    uint32_t view_epoch = UINT32_MAX;
    // The count of the next step that may take or give a stream word, as
    // worked out under `word_view` since the port's last event or change.
    bool word_known = false;
    int word_view = 0;
    uint32_t word_at = 0;
  };
  std::array<serial_repeat, 2> serial_repeats;
  uint8_t serial_repeats_off = 0;  // the tests' reference: every toggle stepped
  uint8_t serial_unseen_off = 0;   // the tests' reference: every toggle an event
};

// ---------------------------------------------------------------------------
// Tables and globals.

extern device_type* const device_types[TYPE_COUNT];
extern const family_desc* const family_descs[TYPE_COUNT];

extern device_inst* device_insts[DEVICE_MAX];
extern device_state* device_states[DEVICE_MAX];

// The current device: number, type, family, instance, state. One set per
// thread: devices that run on worker threads are current there.
extern thread_local constinit int cur_device;
extern thread_local constinit device_type* cur_type;
extern thread_local constinit const family_desc* cur_family;
extern thread_local constinit device_inst* cur_inst;
extern thread_local constinit device_state* cur_state;
// The device the front-end shows; kept apart from cur_device, which the
// run loop moves from device to device.
extern int shown_device;

void index_memory_regions();
int select_device_type(const char* name);  // type index or -1
int find_type_index(const char* name);     // type index or -1, no selection
int create_device(int number, const char* type_name);
void reset_device(int number, int mode);
void free_device(int number);
void free_all_devices();
void select_device(int number);
// Makes an existing device current without creating one; false when empty.
bool make_device_current(int number);
void init_device_state();
int reset_peripherals(int kind, int mode);
int find_memory_region(int space, uint32_t address);

// An instruction end for the access logs: their per-instruction counts
// start over. An epoch that wraps clears every log's count and stamp, so
// an old stamp never matches again.
void restart_instr_epochs(device_state& st);
inline void advance_instr_epoch(device_state& st) {
  if (++st.instr_epoch == 0) [[unlikely]]
    restart_instr_epochs(st);
}
// The accesses of the current instruction in one of a device's logs.
inline uint32_t instr_accesses(const device_state& st, const access_log& log) {
  return access_log_instr_count(log, st.instr_epoch);
}

// Register attribute words of a peripheral row of the current device.
inline uint32_t* periph_attrs(int periph) {
  return cur_state->periph_entries[periph].attrs;
}
inline uint32_t* periph_words(int periph) {
  return cur_inst->periph_state[periph];
}
