// The input streams' services: the per-cycle service the run loop calls
// before the peripherals are clocked, and the reads through which the
// core and the peripherals take values when the program reads an item.
//
// - Streams and the engines (`stream_hooks::plan`, `streams_plan` in `sim/cmd/stream_input.cpp`).
//   Event-driven, so the fast engine may run: untimed memory and register inputs (read when the core
//   reads them) and untimed inputs of a peripheral that asks for its words (ssi, rssi, codec: read
//   in its own steps, at its events); timed memory, register and pin inputs, and untimed pin inputs
//   (their service only runs a relative time or a repeat count down until a value falls due);
//   memory, register, peripheral and port outputs (written by the writes, at the cycle count the
//   cycle engine has then). Per-cycle, so the cycle engine runs: untimed port and port-B/host values
//   (taken every cycle, or pins the host compares with their previous copy), timed peripheral and
//   port inputs (driven again every cycle, or tied to a class word that changes), links to other
//   devices, pin outputs and history. In a fast run (`input_services` in `runloop_fast.cpp`) the next
//   cycle whose input service takes a value (`input_service_due`) bounds the executor's room; at
//   that cycle the blocks' previous words are saved, the services run and the executor runs that one
//   cycle, and the previous words are saved again. The services of the cycles skipped are done at
//   once (`skip_input_services`: the counts run down) before anything else can look at the streams:
//   at that cycle, at a stop-checked instruction end (a breakpoint's command may list or open
//   streams) and when the run returns. The cycles are counted in the run's own cycles, since a reset
//   starts the device count over. When every input service that takes a value only sets pins of
//   ports B and C (`STREAMS_QUIET_PINS`: nothing samples them inside a straight instruction, which
//   has no event and reads no peripheral; the core's samples read only the control pins), the
//   executor runs the instruction straight across the due cycles and `deliver_inside` makes their
//   deliveries after it, each with the count of its own cycle, in order.
#include <algorithm>
#include <iterator>
#include <bit>

#include "sim/expr/rangemap.h"
#include "sim/cmd/regfmt.h"
#include "sim/cmd/streams.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"
#include "sim/engine/device/hooks.h"
#include "sim/engine/device/memory.h"
#include "sim/engine/periph/periph.h"
#include "sim/engine/core/runloop.h"

namespace {

// Peripheral class-word bits of the streams.
enum : uint32_t {
  CW_DRIVEN = 0x1,      // a stream drives it every cycle
  CW_ASKS = 0x2,        // it asks for its words
  CW_WORD_DUE = 0x8,    // a timed word fell due and waits to be taken
  CW_WORD_FRESH = 0x10,
  CW_ON_READ = 0x20,    // an untimed stream advances when the program reads
};

uint32_t* pin_block(int group) { return cur_inst->blocks.data() + group * 2 * REG_BLOCK_WORDS; }

// A stream delivers nothing before its first value.
bool has_value(const io_stream& s) { return s.value.flags != 0; }

void drive_pins(int group, uint32_t mask, int64_t value) {
  uint32_t* block = pin_block(group);
  set_pin_word(block, PIN_LEVEL, (block[PIN_LEVEL] & ~mask) | (static_cast<uint32_t>(value) & mask));
  set_pin_word(block, PIN_DEFINED, block[PIN_DEFINED] | mask);
}

void drive_periph(const io_stream& s) {
  if (!has_value(s)) return;
  const periph_row& row = cur_type->periphs[s.key1];
  drive_pins(row.pin_port, row.pin_mask, s.value.integer);
}

void drive_port(const io_stream& s) {
  if (!has_value(s)) return;
  const port_desc& port = cur_type->ports[s.key1];
  drive_pins(port.group, port.mask, s.value.integer);
}

void write_memory_value(const io_stream& s) {
  const uint32_t word = static_cast<uint32_t>(s.value.integer) & 0xFFFF;
  cur_type->mem->write_word(static_cast<int>(s.key1), s.key2, &word);
}

void write_register_value(const io_stream& s) {
  const uint64_t v = static_cast<uint64_t>(s.value.integer);
  const uint32_t words[3] = {static_cast<uint32_t>(v & 0xFFFF), static_cast<uint32_t>((v >> 16) & 0xFFFF),
                             static_cast<uint32_t>((v >> 32) & 0xFF)};
  cur_type->periphs[s.key1].cls->set(static_cast<int>(s.key1), static_cast<int>(s.key2), words);
}

// A pin fed from another device follows what that device drives on it.
void copy_linked_pin(const io_stream& s) {
  const device_inst* source = device_insts[s.src_device];
  if (source == nullptr) return;
  const pin_desc& to = cur_type->pins[s.key2];
  const pin_desc& from = device_types[source->type]->pins[s.src_address];
  const uint32_t* src = source->blocks.data() + from.group * 2 * REG_BLOCK_WORDS;
  uint32_t* dst = pin_block(to.group);
  if (s.radix == 2) {
    const int fb = std::countr_zero(from.mask), tb = std::countr_zero(to.mask);
    if (fb + 5 < REG_BLOCK_WORDS && tb + 5 < REG_BLOCK_WORDS) set_pin_word(dst, 5 + tb, src[5 + fb]);
  } else if (src[PIN_DRIVEN] & from.mask) {
    const bool high = (src[PIN_DRIVEN_LEVEL] & from.mask) != 0;
    set_pin_word(dst, PIN_LEVEL, high ? dst[PIN_LEVEL] | to.mask : dst[PIN_LEVEL] & ~to.mask);
    set_pin_word(dst, PIN_DEFINED, dst[PIN_DEFINED] | to.mask);
  } else {
    set_pin_word(dst, PIN_DEFINED, dst[PIN_DEFINED] & ~to.mask);
  }
}

void service_timed(io_stream& s) {
  switch (s.kind) {
    case SK_MEMORY:
      if (timed_value_due(s)) write_memory_value(s);
      break;
    case SK_PERIPH: {
      uint32_t& cw = cur_state->periph_entries[s.key1].class_word;
      if ((cw & CW_DRIVEN) == 0) break;
      if ((cw & CW_ASKS) == 0) {
        timed_value_due(s);
        drive_periph(s);
      } else if ((cw & CW_WORD_DUE) == 0 && timed_value_due(s)) {
        cw |= CW_WORD_DUE | CW_WORD_FRESH;
      }
      break;
    }
    case SK_PORT:
      timed_value_due(s);
      drive_port(s);
      break;
    case SK_PIN:
    case SK_PIN_GROUP:
    case SK_ANALOG_PIN:
      timed_value_due(s);
      break;
    case SK_REGISTER:
      if (timed_value_due(s)) write_register_value(s);
      break;
    default:
      break;
  }
}

void service_untimed(io_stream& s) {
  switch (s.kind) {
    case SK_PERIPH: {
      const uint32_t cw = cur_state->periph_entries[s.key1].class_word;
      if ((cw & CW_DRIVEN) == 0 || (cw & (CW_ON_READ | CW_ASKS)) != 0) break;
      advance_untimed(s);
      drive_periph(s);
      break;
    }
    case SK_PORT:
      advance_untimed(s);
      drive_port(s);
      break;
    case SK_PIN:
    case SK_PIN_GROUP:
    case SK_ANALOG_PIN:
      advance_untimed(s);
      break;
    case SK_PIN_LINK:
      copy_linked_pin(s);
      break;
    default:
      break;  // read when the program reads the item
  }
}

io_stream* untimed_of(int kind, uint32_t key1) {
  for (io_stream* s = cur_state->streams[SL_IN_UNTIMED]; s != nullptr; s = s->next)
    if (s->kind == kind && s->key1 == key1) return s;
  return nullptr;
}

bool watches_memory(const io_stream* list) {
  for (const io_stream* s = list; s != nullptr; s = s->next)
    if (s->kind == SK_MEMORY || s->kind == SK_MEMORY_LINK) return true;
  return false;
}

// Kinds whose service changes nothing but a count until a value falls
// due: its cycle can be worked out ahead (timed: the time; untimed pins:
// a repeat count running down).
bool counted_pins(int kind) { return kind == SK_PIN || kind == SK_PIN_GROUP || kind == SK_ANALOG_PIN; }
bool counted_timed(int kind) { return kind == SK_MEMORY || kind == SK_REGISTER || counted_pins(kind); }

// A stream the services touch every cycle in ways not worked out ahead
// (values taken each cycle, pins driven again each cycle, a peripheral's
// changing class word, other devices' pins or memory, pin and history
// outputs sampled each cycle): it needs the cycle engine.
bool per_cycle(int list, const io_stream& s) {
  switch (list) {
    case SL_IN_TIMED:
      return !counted_timed(s.kind);
    case SL_IN_UNTIMED:
      if (s.kind == SK_MEMORY || s.kind == SK_REGISTER || counted_pins(s.kind)) return false;
      // A peripheral that asks for its words takes them in its own steps.
      return s.kind != SK_PERIPH || (cur_state->periph_entries[s.key1].class_word & CW_ASKS) == 0;
    default:
      return !(s.kind == SK_MEMORY || s.kind == SK_REGISTER || s.kind == SK_PERIPH || s.kind == SK_PORT);
  }
}

// Fed or read by the core's own accesses: a memory or register input
// taken when the core reads it, an output the core's stores write. X
// memory words are told apart by their tags.
int core_access(int list, const io_stream& s) {
  if (list == SL_IN_TIMED) return 0;
  const bool x = s.key1 == SPACE_X || s.key1 == SPACE_XE || s.key1 == SPACE_XI || s.key1 == SPACE_XR;
  if (s.kind == SK_MEMORY) return !x ? STREAMS_CORE : list == SL_IN_UNTIMED ? STREAMS_X_READS : STREAMS_X_WRITES;
  if (list == SL_IN_UNTIMED) return s.kind == SK_REGISTER || s.kind == SK_MEMORY_LINK ? STREAMS_CORE : 0;
  return s.kind == SK_REGISTER || s.kind == SK_PORT ? STREAMS_CORE : 0;
}

// An input whose service only ever sets pins of ports B and C (groups 2
// and 3), or whose service takes nothing.
bool quiet_input(int list, const io_stream& s) {
  if (s.kind == SK_PIN || s.kind == SK_PIN_GROUP) {
    const int first = static_cast<int>(std::min(s.key2, s.key3)), last = static_cast<int>(std::max(s.key2, s.key3));
    for (int at = first; at <= last && at < cur_type->pin_count; ++at)
      if (std::find(std::begin(QUIET_PIN_GROUPS), std::end(QUIET_PIN_GROUPS), cur_type->pins[at].group) ==
          std::end(QUIET_PIN_GROUPS))
        return false;
    return true;
  }
  if (list == SL_IN_TIMED) return false;
  return s.kind != SK_ANALOG_PIN && !per_cycle(list, s);
}

uint32_t capped(int64_t cycles) {
  return cycles >= static_cast<int64_t>(NO_EVENT) ? NO_EVENT - 1 : static_cast<uint32_t>(cycles);
}

// Services from this one to the first that takes a value (timed_value_due
// and advance_untimed read one there).
uint32_t timed_due(const io_stream& s) {
  if (s.flag_word & 1) return capped(std::max<int64_t>(s.count - static_cast<int64_t>(cur_inst->cycles), 0));
  if (s.count < 0) return NO_EVENT;
  return s.count > 1 ? capped(s.count - 1) : 0;
}
uint32_t untimed_due(const io_stream& s) { return s.count < 0 ? NO_EVENT : capped(s.count); }

// What streams_skip_input does to one stream.
void skip_timed(io_stream& s, uint32_t n) {
  if (counted_timed(s.kind) && (s.flag_word & 1) == 0 && s.count > 1) s.count -= n;
}
void skip_untimed(io_stream& s, uint32_t n) {
  if (counted_pins(s.kind) && s.count > 0) s.count -= n;
}

}  // namespace

namespace {

bool serial_port(int periph) {
  const periph_class* cls = cur_type->periphs[periph].cls;
  return cls == &ssi_class_521 || cls == &ssi_class_547 || cls == &rssi_class;
}

// Pins of port B alone: no serial port has a pin there.
bool port_b_pins(const io_stream& s) {
  const uint32_t first = s.kind == SK_PIN_LINK ? s.key2 : std::min(s.key2, s.key3);
  const uint32_t last = s.kind == SK_PIN_LINK ? s.key2 : std::max(s.key2, s.key3);
  for (uint32_t at = first; at <= last; ++at)
    if (at >= static_cast<uint32_t>(cur_type->pin_count) || cur_type->pins[at].group != QUIET_PIN_GROUPS[0])
      return false;
  return true;
}

int periph_view_of(int list, const io_stream& s, int periph) {
  switch (s.kind) {
    case SK_MEMORY:
    case SK_MEMORY_LINK:
      return 0;
    case SK_PERIPH:
      if (static_cast<int>(s.key1) == periph) return list <= SL_IN_TIMED ? PERIPH_STREAMS_IN : PERIPH_STREAMS_OUT;
      return serial_port(static_cast<int>(s.key1)) ? 0 : PERIPH_STREAMS_WATCH;
    case SK_REGISTER:
      // An input sets its register without catching the peripherals up.
      return static_cast<int>(s.key1) == periph || list <= SL_IN_TIMED ? PERIPH_STREAMS_WATCH : 0;
    case SK_PIN:
    case SK_PIN_GROUP:
    case SK_PIN_LINK:
    case SK_ANALOG_PIN:
      return port_b_pins(s) ? 0 : PERIPH_STREAMS_WATCH;
    default:
      return PERIPH_STREAMS_WATCH;
  }
}

}  // namespace

int streams_periph_view(int periph) {
  int view = 0;
  for (int l = SL_IN_UNTIMED; l <= SL_OUT_TIMED; ++l)
    for (const io_stream* s = cur_state->streams[l]; s != nullptr; s = s->next) view |= periph_view_of(l, *s, periph);
  return view;
}

int streams_plan() {
  int flags = 0;
  bool quiet = true;
  for (int l = SL_IN_UNTIMED; l <= SL_OUT_TIMED; ++l)
    for (const io_stream* s = cur_state->streams[l]; s != nullptr; s = s->next) {
      flags |= STREAMS_OPEN | (per_cycle(l, *s) ? STREAMS_PER_CYCLE : 0) | core_access(l, *s);
      if (l <= SL_IN_TIMED) quiet = quiet && quiet_input(l, *s);
    }
  return flags | (quiet ? STREAMS_QUIET_PINS : 0);
}

uint32_t streams_input_due() {
  uint32_t due = NO_EVENT;
  for (const io_stream* s = cur_state->streams[SL_IN_TIMED]; s != nullptr; s = s->next)
    if (counted_timed(s->kind)) due = std::min(due, timed_due(*s));
  for (const io_stream* s = cur_state->streams[SL_IN_UNTIMED]; s != nullptr; s = s->next)
    if (counted_pins(s->kind)) due = std::min(due, untimed_due(*s));
  return due;
}

// What n services before the due one do: relative times and repeat
// counts run down.
void streams_skip_input(uint32_t n) {
  for (io_stream* s = cur_state->streams[SL_IN_TIMED]; s != nullptr; s = s->next) skip_timed(*s, n);
  for (io_stream* s = cur_state->streams[SL_IN_UNTIMED]; s != nullptr; s = s->next) skip_untimed(*s, n);
}

// Each stream's own skip, service and due in turn: no service reads or
// changes another stream, so this is the three walks' work. The due is
// seen from the next cycle's count.
uint32_t streams_deliver_input(uint32_t skip) {
  uint32_t due = NO_EVENT;
  device_inst& inst = *cur_inst;
  for (io_stream* s = cur_state->streams[SL_IN_TIMED]; s != nullptr; s = s->next) {
    if (skip != 0) skip_timed(*s, skip);
    service_timed(*s);
    if (counted_timed(s->kind)) {
      inst.cycles += 1;
      due = std::min(due, timed_due(*s));
      inst.cycles -= 1;
    }
  }
  for (io_stream* s = cur_state->streams[SL_IN_UNTIMED]; s != nullptr; s = s->next) {
    if (skip != 0) skip_untimed(*s, skip);
    service_untimed(*s);
    if (counted_pins(s->kind)) due = std::min(due, untimed_due(*s));
  }
  return due;
}

void streams_service_input() {
  for (io_stream* s = cur_state->streams[SL_IN_TIMED]; s != nullptr; s = s->next) service_timed(*s);
  for (io_stream* s = cur_state->streams[SL_IN_UNTIMED]; s != nullptr; s = s->next) service_untimed(*s);
}

int streams_read_untimed(int periph, stream_value* out) {
  io_stream* s = untimed_of(SK_PERIPH, static_cast<uint32_t>(periph));
  if (s == nullptr) return 0;
  advance_untimed(*s);
  *out = s->value;
  return 1;
}

int streams_read_timed(int periph, stream_value* out) {
  io_stream* s = find_stream(cur_state->streams[SL_IN_TIMED], SK_PERIPH, static_cast<uint32_t>(periph), 0);
  if (s == nullptr) return 0;
  uint32_t& cw = cur_state->periph_entries[static_cast<std::size_t>(periph)].class_word;
  const bool waiting = (cw & CW_WORD_DUE) != 0;
  cw &= ~(CW_WORD_DUE | CW_WORD_FRESH);
  if (!waiting && !timed_value_due(*s)) return 0;
  *out = s->value;
  return 1;
}

int streams_read_port(int port, uint32_t* out) {
  io_stream* s = untimed_of(SK_PORT, static_cast<uint32_t>(port));
  if (s == nullptr) return 0;
  advance_untimed(*s);
  *out = static_cast<uint32_t>(s->value.integer);
  return 1;
}

int streams_read_register(int periph, int reg, uint32_t* out) {
  io_stream* s = find_stream(cur_state->streams[SL_IN_UNTIMED], SK_REGISTER, static_cast<uint32_t>(periph),
                             static_cast<uint32_t>(reg));
  if (s == nullptr) return 0;
  advance_untimed(*s);
  *out = static_cast<uint32_t>(s->value.integer);
  return 1;
}

int streams_read_memory(int space, uint32_t address, uint32_t* out) {
  io_stream* list = cur_state->streams[SL_IN_UNTIMED];
  if (list == nullptr || !watches_memory(list)) return 0;
  const int row = find_memory_region(space, address);
  if (row < 0) return 0;
  const uint32_t mask = cur_type->regions[row].addr_mask;
  const uint32_t serial =
      range_map_get(cur_state->region_logs[static_cast<std::size_t>(row)].maps[MAP_IN_STREAM], address & mask);
  if (serial == 0) return 0;
  for (io_stream* s = list; s != nullptr; s = s->next) {
    if (s->serial != serial) continue;
    if (s->kind == SK_MEMORY_LINK) return read_device_memory(s->src_device, s->src_space, s->src_address, out) ? static_cast<int>(serial) : 0;
    advance_untimed(*s);
    *out = static_cast<uint32_t>(s->value.integer);
    return static_cast<int>(serial);
  }
  return 0;
}
