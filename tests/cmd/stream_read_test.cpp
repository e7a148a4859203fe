// The input reader reads each word and each count of a file once and keeps
// them by position: a stream taking its values from those records must
// take, value by value, what a reader parsing the text at every value
// takes (value, position, line, groups, pins, messages).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cmd/cmd_fixture.h"
#include "sim/cmd/streams.h"
#include "sim/engine/device.h"

namespace {

class stream_records : public cmd_files {
 protected:
  struct reader_case {
    const char* name;
    std::string text;
    bool timed;
    const char* item;
    const char* options = "";
  };

  static std::string describe(const io_stream& s) {
    std::string out = std::to_string(s.at) + " " + std::to_string(s.line) + " " + std::to_string(s.values_read) +
                      " " + std::to_string(s.count) + " " + std::to_string(s.flag_word) + " " +
                      std::to_string(s.value.integer) + " " + std::to_string(s.value.real) + " " +
                      std::to_string(s.value.flags) + " " + std::to_string(device_states[0]->eof_flag) + " |";
    for (const stream_group& g : s.groups)
      out += " " + std::to_string(g.position) + "/" + std::to_string(g.line) + "/" + std::to_string(g.count_read) +
             "/" + std::to_string(g.forever) + "/" + std::to_string(g.remaining) + "/" + std::to_string(g.values_at);
    return out;
  }

  // The stream's state after each of 60 values (or cycles, timed), read
  // from the records or, with `fresh`, parsing the text every time; and
  // the session's text.
  std::vector<std::string> trace(const reader_case& c, bool fresh) {
    const std::vector<uint32_t> blocks = device_insts[0]->blocks;
    device_states[0]->eof_flag = 0;
    recorded().clear();
    run(("input " + std::string(c.timed ? "t " : "") + c.item + " f" + c.options).c_str());
    io_stream* s = device_states[0]->streams[c.timed ? SL_IN_TIMED : SL_IN_UNTIMED];
    std::vector<std::string> out;
    if (s == nullptr) return out;
    for (uint32_t k = 0; k < 60; ++k) {
      if (fresh) {
        s->words.clear();
        s->counts.clear();
      }
      if (c.timed) {
        device_insts[0]->cycles = k;
        timed_value_due(*s);
      } else {
        advance_untimed(*s);
      }
      std::string line = describe(*s);
      for (uint32_t w : device_insts[0]->blocks) line += " " + std::to_string(w);
      out.push_back(line);
    }
    out.push_back(output());
    run("input off");
    device_insts[0]->blocks = blocks;
    device_insts[0]->cycles = 0;
    return out;
  }
};

TEST_F(stream_records, ReadingFromRecordsTakesWhatParsingEachTimeTakes) {
  const reader_case cases[] = {
      {"repeats and nested groups", "5 # 3 ( 1 ( 2 # 2 3 ) # 2 ) # 3 7\n", false, "x:$10"},
      {"a comment between a value and its count", "( 4 ; note\n # 6 9 ) # 2 1\n", false, "x:$10"},
      {"empty groups and a stray bracket", "( ) # 4 ) ( 8 ) #2 $1f\n", false, "x:$10"},
      {"over-long words inside a repeated group", "( 1\n" + std::string(95, '7') + " 2 ) # 3 6\n", false,
       "x:$10"},
      {"counts with spaces, line ends and digits running into a word", "1 #  12 2 #5abc 3\r\n4 #\n7 5\n", false,
       "x:$10"},
      {"decimal and fractions", "( 12 -3 0.5 $7 %101 `9 ) # 2\n", false, "x:$10", " -rd"},
      {"pins with repeats", "( 1010 # 5 0101 # 3 ( 1100 0011 ) # 2 ) # 4 1111\n", false, "pb0..pb3"},
      {"pulses and undefined pins", "( pnx1 # 2 HL01 z ) # 3 xxxx\n", false, "pb3..pb0"},
      {"timed values with groups", "10 $1 +7 $2 ( +3 $3 ) # 4 +1 $4\n", true, "x:$10"},
      {"a count after a timed group and a hash in a word", "( +2 #1 ) #2 +5 $9 ; x\n+1 $a 50 #b\n", true,
       "x:$10"},
      {"timed pins", "3 1100 +2 0011 ( +1 1010 ) # 3 40 0101\n", true, "pc0..pc3"},
  };
  for (const reader_case& c : cases) {
    SCOPED_TRACE(c.name);
    write_file(c.timed ? "f.tio" : "f.io", c.text);
    const std::vector<std::string> kept = trace(c, false);
    const std::vector<std::string> parsed = trace(c, true);
    ASSERT_EQ(kept.size(), 61u);
    EXPECT_EQ(kept, parsed);
  }
}

}  // namespace
