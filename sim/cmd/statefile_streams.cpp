// The stream lists of the state file: every record with its serial (the
// memory tags name it), its reading position and open repeat groups; the
// files are opened again where they were.
//
// - Streams (`statefile_streams.cpp`): each record with its serial (the memory tags in "[memory
//   display tags]" name it; `restore_stream` gives a record that serial and keeps the device's
//   serial counter past it), keys, value, counters, reading position and line, then its open repeat
//   groups as the record's entry list. Keys that index the device type's tables are checked before
//   anything uses them. Input files are read whole again and the position put back; output files are
//   opened "r+b" at the saved position; one that cannot be opened is reported ("{Error
//   opening:NAME}") and the stream stays without its file.
#include <cinttypes>
#include <cstring>
#include <string>

#include "sim/expr/expr.h"
#include "sim/cmd/statefile_internal.h"
#include "sim/cmd/streams.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"
#include "sim/frontend/frontend.h"

namespace {

unsigned long ul(uint32_t w) { return static_cast<unsigned long>(w); }

uint64_t bits_of(double d) {
  uint64_t b = 0;
  std::memcpy(&b, &d, sizeof b);
  return b;
}

double double_of(uint64_t b) {
  double d = 0;
  std::memcpy(&d, &b, sizeof d);
  return d;
}

// Where the stream stands in its file: the reading position of an input
// text, the write position of an output file.
long position_of(const io_stream& s, bool output) {
  if (!output) return static_cast<long>(s.at);
  return s.file != nullptr ? std::ftell(s.file) : 0L;
}

bool open_flag(const io_stream& s, bool output) { return output ? s.file != nullptr : s.readable; }

// The keys name rows, registers, ports, pins and spaces of the device
// type; a file naming others is refused.
bool keys_fit(const parsed_stream& p, const device_type& t) {
  const auto pin = [&](uint32_t k) { return k < static_cast<uint32_t>(t.pin_count); };
  if (p.src_device >= DEVICE_MAX || p.src_space >= SPACE_CODE_COUNT || p.radix > RADIX_STRING) return false;
  switch (p.kind) {
    case SK_MEMORY:
    case SK_MEMORY_LINK: return p.key1 < SPACE_CODE_COUNT;
    case SK_PERIPH: return p.key1 < static_cast<uint32_t>(t.periph_count);
    case SK_REGISTER:
      return p.key1 < static_cast<uint32_t>(t.periph_count) &&
             p.key2 < static_cast<uint32_t>(t.periphs[p.key1].cls->reg_count);
    case SK_PORT: return p.key1 < static_cast<uint32_t>(t.port_count);
    case SK_PIN:
    case SK_ANALOG_PIN:
    case SK_PIN_LINK: return pin(p.key2);
    case SK_PIN_GROUP: return pin(p.key2) && pin(p.key3);
    case SK_HISTORY: return true;
    default: return false;
  }
}

void reopen(io_stream& s, const parsed_stream& p, bool output) {
  if (!p.open) return;
  if (output) {
    s.file = std::fopen(s.file_name.c_str(), "r+b");
    if (s.file != nullptr && std::fseek(s.file, p.position, SEEK_SET) != 0) {
      std::fclose(s.file);
      s.file = nullptr;
    }
  } else if (open_input_file(s, false)) {
    // The groups go back within the text read now.
    s.at = std::min(static_cast<std::size_t>(p.position), s.text.size());
    for (stream_group& g : s.groups) g.position = std::min(g.position, s.text.size());
  }
  if (open_flag(s, output)) return;
  session_print(("{Error opening:" + s.file_name + "}").c_str(), 1);
  // Without its file an output stream writes to the session.
  if (output) s.file_name = "term";
}

}  // namespace

void write_streams(text_out& out, const device_state& st) {
  for (int list = 0; list < 4; ++list) {
    const bool output = list >= SL_OUT_UNTIMED;
    for (const io_stream* s = st.streams[list]; s != nullptr; s = s->next) {
      out.text += "1\n";
      out.line(s->file_name);
      out.line(s->item);
      out.put("%d %lx %lx %lx %lx %lx %lx %lx", s->kind, ul(s->key1), ul(s->key2), ul(s->key3), ul(s->serial),
              ul(static_cast<uint32_t>(s->src_space)), ul(s->src_address), ul(static_cast<uint32_t>(s->src_device)));
      out.put(" %lx %lx %d", ul(s->value.flags), static_cast<unsigned long>(position_of(*s, output)), s->number);
      out.put(" %" PRIx64 " %" PRIx64 " %lx %d %" PRId64 " %d", static_cast<uint64_t>(s->value.integer),
              bits_of(s->value.real), ul(s->flag_word), s->radix, s->count, open_flag(*s, output) ? 1 : 0);
      out.put(" %d %ld \n", s->line, s->values_read);
      for (const stream_group& g : s->groups)
        out.put("1\n%lx %d %d %d %" PRId64 " %ld\n", static_cast<unsigned long>(g.position), g.line,
                g.count_read ? 1 : 0, g.forever ? 1 : 0, g.remaining, g.values_at);
      out.text += "0\n";
    }
    out.text += "0\n";
  }
}

void parse_streams(text_in& in, std::vector<parsed_stream> (&lists)[4], const device_type& t) {
  for (auto& list : lists) {
    while (in.ok && in.dec(0, 1) == 1) {
      parsed_stream& p = list.emplace_back();
      io_stream& s = p.record;
      s.file_name = in.line();
      s.item = in.line();
      p.kind = static_cast<uint32_t>(in.dec(0, SK_REGISTER));
      p.key1 = in.hex();
      p.key2 = in.hex();
      p.key3 = in.hex();
      p.serial = in.hex();
      p.src_space = in.hex();
      s.src_address = in.hex();
      p.src_device = in.hex();
      s.value.flags = in.hex();
      p.position = static_cast<long>(in.hex());
      s.number = in.dec(0);
      s.value.integer = static_cast<int64_t>(in.hex64());
      s.value.real = double_of(in.hex64());
      s.flag_word = in.hex();
      p.radix = static_cast<uint32_t>(in.dec(0));
      s.count = in.integer();
      p.open = in.dec(0, 1) == 1;
      s.line = in.dec(0);
      s.values_read = in.integer(0);
      while (in.ok && in.dec(0, 1) == 1) {
        stream_group& g = s.groups.emplace_back();
        g.position = in.hex();
        g.line = in.dec(0);
        g.count_read = in.dec(0, 1) == 1;
        g.forever = in.dec(0, 1) == 1;
        g.remaining = in.integer();
        g.values_at = in.integer(-1);
      }
      if (!keys_fit(p, t)) in.fail();
    }
  }
}

void apply_streams(std::vector<parsed_stream> (&lists)[4]) {
  for (int list = 0; list < 4; ++list) {
    // Each is linked at the head: the last first keeps the file's order.
    for (auto it = lists[list].rbegin(); it != lists[list].rend(); ++it) {
      parsed_stream& p = *it;
      io_stream* s = restore_stream(p.serial);
      const uint32_t serial = s->serial;
      *s = std::move(p.record);
      s->serial = serial;
      s->kind = static_cast<int>(p.kind);
      s->key1 = p.key1;
      s->key2 = p.key2;
      s->key3 = p.key3;
      s->src_space = static_cast<int>(p.src_space);
      s->src_device = static_cast<int>(p.src_device);
      s->radix = static_cast<int>(p.radix);
      if (s->kind == SK_HISTORY) install_history_writer();
      reopen(*s, p, list >= SL_OUT_UNTIMED);
      link_stream(list, s);
    }
  }
}
