// Input stream files: the input's first byte picks the item (memory, pins,
// a port, a serial port, timed memory, pins and interrupt pins), its second
// the radix; the rest is the file. The stream read from its word records
// must take, value by value, what parsing the text at every value takes;
// groups stay within their depth; then a program reads the stream while
// it runs, and a Ctrl-C must end the run.
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>
#include <vector>

#include "frontends/console/console.h"
#include "fuzz_support.h"
#include "sim/cmd/streams.h"
#include "sim/engine/device/device_inst.h"

namespace {

struct item_choice {
  const char* item;
  bool timed;
};
constexpr item_choice items[] = {
    {"x:$10", false},    {"t x:$10", true}, {"pb0..pb3", false}, {"t pb0..pb3", true}, {"portc", false},
    {"pc0", false},      {"ssi0", false},   {"t irqa..irqb", true}, {"t portc", true},  {"pc3..pc0", false},
};
constexpr const char* radixes[] = {"", " -rb", " -rd", " -rf", " -rh", " -ru"};

[[noreturn]] void finding(const char* what, const std::string& detail) {
  std::fprintf(stderr, "%s\n%s\n", what, detail.c_str());
  std::abort();
}

std::string describe(const io_stream& s) {
  std::string out = std::to_string(s.at) + " " + std::to_string(s.line) + " " + std::to_string(s.values_read) + " " +
                    std::to_string(s.count) + " " + std::to_string(s.flag_word) + " " +
                    std::to_string(s.value.integer) + " " + std::to_string(s.value.flags) + " " +
                    std::to_string(device_states[0]->eof_flag) + " " + std::to_string(s.groups.size());
  for (uint32_t w : device_insts[0]->blocks) out += " " + std::to_string(w);
  return out;
}

// The stream's state after each of 40 values (cycles, timed), from its
// records or, `fresh`, parsing the text each time.
std::vector<std::string> trace(const item_choice& item, const char* radix, std::string_view text, bool fresh) {
  fuzz_fresh_session();
  fuzz_write_file(item.timed ? "f.tio" : "f.io", text);
  console_submit_typed(std::string("input ") + item.item + " f" + radix);
  std::vector<std::string> out;
  io_stream* s = device_states[0]->streams[item.timed ? SL_IN_TIMED : SL_IN_UNTIMED];
  if (s == nullptr) return out;
  for (uint32_t k = 0; k < 40; ++k) {
    if (fresh) {
      s->words.clear();
      s->counts.clear();
    }
    if (item.timed) {
      device_insts[0]->cycles = k;
      timed_value_due(*s);
    } else {
      advance_untimed(*s);
    }
    if (s->groups.size() > 64) finding("groups nested past their depth", describe(*s));
    out.push_back(describe(*s));
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 2) return -1;
  fuzz_start();
  const item_choice& item = items[data[0] % std::size(items)];
  const char* radix = radixes[data[1] % std::size(radixes)];
  const std::string_view text(reinterpret_cast<const char*>(data) + 2, size - 2);
  // A "t" value asks at the terminal: answered by the empty input.
  const std::vector<std::string> kept = trace(item, radix, text, false);
  const std::vector<std::string> parsed = trace(item, radix, text, true);
  if (kept != parsed) {
    std::size_t k = 0;
    while (k < kept.size() && k < parsed.size() && kept[k] == parsed[k]) ++k;
    finding("the records took another value than parsing the text",
            "value " + std::to_string(k) + ": " + (k < kept.size() ? kept[k] : "-") + " / " +
                (k < parsed.size() ? parsed[k] : "-"));
  }
  // The stream read by a running program.
  fuzz_fresh_session();
  fuzz_write_file(item.timed ? "f.tio" : "f.io", text);
  // The store may take two words: the jump stands clear of it.
  for (const char* line : {"asm p:0 move x:$10,x0", "asm p:1 move x0,x:$11", "asm p:4 jmp $0", "change pc 0"})
    console_submit_typed(line);
  console_submit_typed(std::string("input ") + item.item + " f" + radix);
  console_submit_typed("step 30");
  fuzz_pump(1);
  return 0;
}
