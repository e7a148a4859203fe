// Device instances: what one device is while it lives (its peripheral
// and core words, memory, pins and counts: `device_inst`) and what the
// simulator keeps for it (run block, breakpoints, streams, views, access
// logs: `device_state`), by device number.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "sim/engine/device/memory.h"
#include "sim/engine/device/profiler_iface.h"
#include "sim/engine/periph/hostio.h"

constexpr int DEVICE_MAX = 32;
constexpr int SESSION_RING_LINES = 100;
constexpr int SESSION_LINE_BYTES = 256;
constexpr int WORK_DIR_MAX = 256;

struct periph_class;

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
  // The cycle count (`cyc`): the user's to set, zeroed by a pipeline
  // restart; the device's own time is kept beside it (time_offset).
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
  // The device's own time is `cycles + time_offset` (device_time): the
  // count's writes move the offset the other way, so the peripherals, the
  // event schedule and every measure of elapsed cycles never see them,
  // while the cycle path still advances one word. (Here, away from the
  // words the cycle path reads.)
  uint32_t time_offset = 0;
  // The count's writes since the last restart or the opening of a profile
  // log, the other way: cycles + cyc_written is the count as the run alone
  // made it, which the profiler measures in.
  uint32_t cyc_written = 0;
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

// The device's own time: the cycles it has run, whatever the count shows.
inline uint32_t device_time(const device_inst& inst) { return inst.cycles + inst.time_offset; }
// Sets the cycle count (a write of `cyc`) and leaves the device's own time
// and the profiler's count where they are. The event horizon is kept as a
// count, so it is worked out again.
inline void set_cycle_count(device_inst& inst, uint32_t count) {
  inst.time_offset += inst.cycles - count;
  inst.cyc_written += inst.cycles - count;
  inst.cycles = count;
  inst.horizon_stale = 1;
}
// A pipeline restart starts the count, and the profiler's with it, from 0;
// the device's own time goes on.
inline void restart_cycle_count(device_inst& inst) {
  inst.time_offset += inst.cycles;
  inst.cyc_written = 0;
  inst.cycles = 0;
  inst.horizon_stale = 1;
}
// The count the profiler measures in.
inline uint32_t profile_count(const device_inst& inst) { return inst.cycles + inst.cyc_written; }

extern device_inst* device_insts[DEVICE_MAX];
extern device_state* device_states[DEVICE_MAX];
// One past the highest slot that holds a device: a walk of the slots in
// every cycle stops there.
extern int device_slot_limit;

int create_device(int number, const char* type_name);
void reset_device(int number, int mode);
void free_device(int number);
void free_all_devices();

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
