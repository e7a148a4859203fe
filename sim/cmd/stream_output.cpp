// The output streams' writes: peripheral words, port values, registers,
// memory locations, execution history and its notes, and the per-cycle
// service of pin streams after the peripherals have been clocked.
#include <bit>
#include <cerrno>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <string>

#include "sim/asm/disasm.h"
#include "sim/expr/expr.h"
#include "sim/expr/rangemap.h"
#include "sim/cmd/regfmt.h"
#include "sim/cmd/logs.h"
#include "sim/cmd/streams.h"
#include "sim/expr/valfmt.h"
#include "sim/engine/core/core_decode.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_type.h"
#include "sim/engine/periph/periph.h"
#include "sim/engine/device/regaccess.h"
#include "sim/engine/core/runloop.h"
#include "sim/frontend/frontend.h"

namespace {

template <typename... Args>
std::string print(const char* format, Args... args) {
  char buffer[160];
  std::snprintf(buffer, sizeof buffer, format, args...);
  return buffer;
}

unsigned long cycle_count() { return cur_inst->cycles; }
// A gap mark counts the cycles the device ran between two values, which
// a write of the count between them does not change.
long cycles_since(io_stream& s) {
  const uint32_t now = device_time(*cur_inst);
  const uint32_t gap = now - static_cast<uint32_t>(s.count);
  s.count = now;
  return static_cast<long>(gap);
}

std::string timed_prefix(const io_stream& s) {
  return s.file != nullptr ? print("%lu ", cycle_count()) : std::string();
}

// A peripheral word or port value as text by the stream's radix.
std::string word_text(int radix, int32_t value) {
  const uint32_t word = static_cast<uint32_t>(value) & 0xFFFF;
  switch (radix) {
    case RADIX_BIN: {
      std::string bits(16, '0');
      for (int i = 0; i < 16; ++i)
        if (word & (0x8000u >> i)) bits[static_cast<std::size_t>(i)] = '1';
      return bits;
    }
    case RADIX_DEC:
      return print("%01ld", static_cast<long>(value));
    case RADIX_FRAC:
      return print("%1.7f", static_cast<double>(static_cast<int16_t>(word)) / 32768.0);
    default:
      return print("%01lx", static_cast<unsigned long>(word));
  }
}

// A peripheral's data word as text: its output word hook's, or by radix.
std::string periph_word_text(const periph_class* cls, int radix, const stream_value& value) {
  char text[64];
  if (cls != nullptr && cls->output_word != nullptr && cls->output_word(value, text, sizeof text)) return text;
  return word_text(radix, static_cast<int32_t>(value.integer));
}

// Untimed peripheral and port streams: the gap mark on the previous
// value's line, then the value on a line of its own.
void write_word_streams(int kind, uint32_t key, const stream_value& value, int gap, bool marks_to_session) {
  const periph_class* cls = kind == SK_PERIPH ? cur_type->periphs[key].cls : nullptr;
  for (io_stream* s = cur_state->streams[SL_OUT_UNTIMED]; s != nullptr; s = s->next) {
    if (s->kind != kind || s->key1 != key) continue;
    long g = gap;
    if (g < 0) {
      const long since = cycles_since(*s);
      g = (s->flag_word & 1) ? 0 : since;
    }
    if (g > 0 && (marks_to_session || s->file != nullptr)) write_stream_line(*s, print("#%01ld", g).c_str());
    s->flag_word &= ~1u;
    write_stream_line(*s, ("\n" + periph_word_text(cls, s->radix, value)).c_str());
  }
  for (io_stream* s = cur_state->streams[SL_OUT_TIMED]; s != nullptr; s = s->next)
    if (s->kind == kind && s->key1 == key)
      write_stream_line(*s, (timed_prefix(*s) + periph_word_text(cls, s->radix, value) + "\n").c_str());
}

bool any_history() {
  for (int l = SL_OUT_UNTIMED; l <= SL_OUT_TIMED; ++l)
    for (const io_stream* s = cur_state->streams[l]; s != nullptr; s = s->next)
      if (s->kind == SK_HISTORY) return true;
  return false;
}

// History notes of one mode: untimed "\n<mark> text", timed with the
// cycle count to a file.
int write_note(uint32_t mode, const char* mark, const char* text) {
  int found = 0;
  for (io_stream* s = cur_state->streams[SL_OUT_UNTIMED]; s != nullptr; s = s->next) {
    if (s->kind != SK_HISTORY || s->key3 != mode) continue;
    found = 1;
    write_stream_line(*s, print("\n%s %s", mark, text).c_str());
  }
  for (io_stream* s = cur_state->streams[SL_OUT_TIMED]; s != nullptr; s = s->next) {
    if (s->kind != SK_HISTORY || s->key3 != mode) continue;
    found = 1;
    if (s->file != nullptr)
      write_stream_line(*s, print("%lu %s %s\n", cycle_count(), mark, text).c_str());
    else
      write_stream_line(*s, print(" %s %s", mark, text).c_str());
  }
  return found;
}

uint32_t* block_of(int group) { return cur_inst->blocks.data() + group * 2 * REG_BLOCK_WORDS; }

// The pins of a pin stream as text, and whether any changed this cycle.
// An analog pin compares with the value the stream last wrote: the run
// loop keeps previous copies of the pin levels only.
bool pin_text(io_stream& s, std::string& text) {
  bool changed = false;
  text.clear();
  const int first = static_cast<int>(s.key2), last = static_cast<int>(s.key3);
  const int step = last >= first ? 1 : -1;
  const pin_desc* previous = nullptr;
  for (int at = first;; at += step) {
    if (at < 0 || at >= cur_type->pin_count) break;
    const pin_desc& pin = cur_type->pins[at];
    const bool repeat = previous != nullptr && previous->group == pin.group && previous->mask == pin.mask;
    previous = &pin;
    if (!repeat) {
      const uint32_t* now = block_of(pin.group);
      const uint32_t* before = now + REG_BLOCK_WORDS;
      const uint32_t m = pin.mask;
      if (s.kind == SK_ANALOG_PIN) {
        const int bit = std::countr_zero(m);
        const int word = bit + 5 < REG_BLOCK_WORDS ? 5 + bit : 5;
        text += print("%f", static_cast<double>(std::bit_cast<float>(now[word])));
        changed = changed || now[word] != s.analog_last || (s.flag_word & 1);
        s.analog_last = now[word];
      } else {
        char c = 'x';
        if (now[PIN_DRIVEN] & m)
          c = (now[PIN_DRIVEN_LEVEL] & m) ? 'H' : 'L';
        else if (now[PIN_DEFINED] & m)
          c = (now[PIN_LEVEL] & m) ? '1' : '0';
        text += c;
        for (int w = PIN_LEVEL; w <= PIN_DRIVEN; ++w) changed = changed || ((now[w] ^ before[w]) & m) != 0;
      }
    }
    if (at == last) break;
  }
  return changed;
}

bool is_pin_stream(const io_stream& s) {
  return s.kind == SK_PIN || s.kind == SK_PIN_GROUP || s.kind == SK_ANALOG_PIN;
}

void history_writer(uint32_t index) { write_history_line(static_cast<int>(index)); }

}  // namespace

void write_stream_line(io_stream& s, const char* text) {
  if (s.file != nullptr) {
    if (std::fputs(text, s.file) >= 0 && std::fflush(s.file) == 0) return;
    // The stream stops at its first lost line, keeping what its file holds.
    const int error = errno;
    std::fclose(s.file);
    s.file = nullptr;
    s.write_failed = true;
    report_write_failure(s.file_name, error);
    return;
  }
  if (s.write_failed) return;
  if (text[0] == '#') return;
  std::string line = s.item + " cyc=" + std::to_string(cycle_count()) + ":" + text;
  for (char& c : line)
    if (c == '\n') c = ' ';
  session_print(line.c_str(), 1);
}

void streams_write_peripheral(int periph, const stream_value& value, int gap) {
  write_word_streams(SK_PERIPH, static_cast<uint32_t>(periph), value, gap, true);
}

void streams_write_port(int port, int32_t value, int gap) {
  stream_value v;
  v.integer = value;
  v.flags = SV_INT;
  write_word_streams(SK_PORT, static_cast<uint32_t>(port), v, gap, false);
}

void streams_write_register(int periph, int reg) {
  for (int l = SL_OUT_UNTIMED; l <= SL_OUT_TIMED; ++l) {
    for (io_stream* s = cur_state->streams[l]; s != nullptr; s = s->next) {
      if (s->kind != SK_REGISTER || s->key1 != static_cast<uint32_t>(periph) || s->key2 != static_cast<uint32_t>(reg))
        continue;
      std::string text;
      if (!format_register_value(periph, reg, s->radix, text)) continue;
      const std::string prefix = l == SL_OUT_TIMED ? timed_prefix(*s) : std::string();
      write_stream_line(*s, (prefix + text + "\n").c_str());
    }
  }
}

void streams_write_memory(int space, uint32_t address, uint32_t) {
  const int row = find_memory_region(space, address);
  if (row < 0) return;
  const uint32_t mask = cur_type->regions[row].addr_mask;
  const uint32_t serial =
      range_map_get(cur_state->region_logs[static_cast<std::size_t>(row)].maps[MAP_OUT_STREAM], address & mask);
  if (serial == 0) return;
  // An address holds one stream's tag; an untimed and a timed stream of the
  // same location are both written.
  const io_stream* tagged = nullptr;
  for (int l = SL_OUT_UNTIMED; l <= SL_OUT_TIMED && tagged == nullptr; ++l)
    for (const io_stream* s = cur_state->streams[l]; s != nullptr && tagged == nullptr; s = s->next)
      if (s->serial == serial) tagged = s;
  if (tagged == nullptr) return;
  for (int l = SL_OUT_UNTIMED; l <= SL_OUT_TIMED; ++l) {
    for (io_stream* s = cur_state->streams[l]; s != nullptr; s = s->next) {
      if (s != tagged && (s->kind != SK_MEMORY || tagged->kind != SK_MEMORY || s->key1 != tagged->key1 ||
                          s->key2 != tagged->key2))
        continue;
      std::string text;
      if (s->radix == RADIX_STRING) {
        for (uint32_t k = 0; k < 99; ++k) {
          uint32_t word = 0;
          if (!cur_type->mem->read_word(space, (address + k) & mask, &word) || (word & 0xFFFF) == 0) break;
          text += static_cast<char>(word & 0xFF);
        }
      } else {
        uint32_t word = 0;
        cur_type->mem->read_word(space, address, &word);
        text = format_stream_word(row, address, s->radix, word);
      }
      const std::string prefix = l == SL_OUT_TIMED ? timed_prefix(*s) : std::string();
      write_stream_line(*s, (prefix + text + "\n").c_str());
    }
  }
}

void write_history_line(int index) {
  if (!any_history()) return;
  const auto& entry = cur_state->pc_trace[static_cast<std::size_t>(index) % cur_state->pc_trace.size()];
  const uint32_t words[3] = {entry.opcode, entry.second, entry.spare};
  char text[DIS_TEXT_SIZE] = {};
  const int length = cur_family->disassemble(words, text, 0, 0, nullptr);
  std::string line = print("P:$%04lx %04lx ", static_cast<unsigned long>(entry.pc & 0xFFFF),
                            static_cast<unsigned long>(entry.opcode & 0xFFFF));
  if (length == 3)
    line += print("%04lx %04lx = %s", static_cast<unsigned long>(entry.second & 0xFFFF),
                  static_cast<unsigned long>(entry.spare & 0xFFFF), text);
  else if (length == 2)
    line += print("%04lx = %s", static_cast<unsigned long>(entry.second & 0xFFFF), text);
  else
    line += print("     = %s", text);
  for (io_stream* s = cur_state->streams[SL_OUT_UNTIMED]; s != nullptr; s = s->next)
    if (s->kind == SK_HISTORY) write_stream_line(*s, ("\n" + line).c_str());
  for (io_stream* s = cur_state->streams[SL_OUT_TIMED]; s != nullptr; s = s->next) {
    if (s->kind != SK_HISTORY) continue;
    if (s->file != nullptr)
      write_stream_line(*s, print("%lu ", cycle_count()).append(line).append("\n").c_str());
    else
      write_stream_line(*s, line.c_str());
  }
}

int write_extended_note(const char* text) { return write_note(1, "***", text); }

int streams_write_output_note(const char* text) {
  return write_note(2, "*", text);
}

void install_history_writer() { core_history_writer = history_writer; }

void streams_service_output() {
  for (int l : {SL_OUT_TIMED, SL_OUT_UNTIMED}) {
    for (io_stream* s = cur_state->streams[l]; s != nullptr; s = s->next) {
      if (!is_pin_stream(*s)) continue;
      // Digital pins write on changes only; an analog pin also writes
      // its first value.
      std::string text;
      const bool first = (s->flag_word & 1) != 0;
      if (!pin_text(*s, text)) continue;
      s->flag_word &= ~1u;
      if (l == SL_OUT_TIMED) {
        write_stream_line(*s, s->file != nullptr ? print("%lu %s\n", cycle_count(), text.c_str()).c_str() : text.c_str());
        continue;
      }
      const long gap = cycles_since(*s);
      if (s->file != nullptr && !first && gap >= 2) write_stream_line(*s, print("#%01ld", gap).c_str());
      write_stream_line(*s, ("\n" + text).c_str());
    }
  }
}
