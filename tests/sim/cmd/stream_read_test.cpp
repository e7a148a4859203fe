// The input reader reads each word and each count of a file once and keeps
// them by position: a stream taking its values from those records must
// take, value by value, what a reader parsing the text at every value
// takes (value, position, line, groups, pins, messages).
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tests/sim/cmd/cmd_fixture.h"
#include "sim/cmd/streams.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"
#include "sim/engine/periph/periph.h"

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

// A pin word taken from its record sets each pin group's words at once:
// the blocks, their previous copies (pulses) and the change marks must
// be what setting each pin in turn leaves (apply_pin_data, the terminal's
// path), for every code, in ranges of either direction, across groups
// and over pins with two names, from levels some words change and others
// leave.
TEST_F(stream_records, PinWordsSetWhatSettingEachPinInTurnSets) {
  std::mt19937 rng(7);
  const std::string codes = "01lhpnxz";
  for (const char* item : {"pb0..pb7", "pc5..pc0", "reset..pa3", "pd15..pd12"}) {
    SCOPED_TRACE(item);
    std::vector<std::string> words;
    for (int k = 0; k < 40; ++k) {
      std::string word;
      const std::size_t length = 1 + rng() % 24;
      const char same = codes[rng() % codes.size()];
      for (std::size_t i = 0; i < length; ++i) word += k % 4 == 0 ? same : codes[rng() % codes.size()];
      words.push_back(word);
    }
    std::string text;
    for (const std::string& w : words) text += w + "\n";
    write_file("f.io", text);
    run((std::string("input ") + item + " f").c_str());
    io_stream* s = device_states[0]->streams[SL_IN_UNTIMED];
    ASSERT_NE(s, nullptr);
    device_inst& inst = *device_insts[0];
    for (const std::string& word : words) {
      SCOPED_TRACE(word);
      // Levels and defined bits at random, now and then as the last word left them.
      if (rng() % 3 != 0)
        for (std::size_t b = 0; b + 2 * REG_BLOCK_WORDS <= inst.blocks.size(); b += 2 * REG_BLOCK_WORDS)
          for (std::size_t copy : {std::size_t{0}, std::size_t{REG_BLOCK_WORDS}})
            for (int wd : {PIN_LEVEL, PIN_DEFINED}) inst.blocks[b + copy + static_cast<std::size_t>(wd)] = rng();
      const std::vector<uint32_t> start = inst.blocks;
      inst.pins_changed = inst.blocks_changed = 0;
      advance_untimed(*s);
      const std::vector<uint32_t> kept = inst.blocks;
      const int marks = inst.pins_changed * 2 + inst.blocks_changed;
      inst.blocks = start;
      inst.pins_changed = inst.blocks_changed = 0;
      apply_pin_data(*s, word.c_str());
      EXPECT_EQ(kept, inst.blocks);
      EXPECT_EQ(marks, inst.pins_changed * 2 + inst.blocks_changed);
      EXPECT_EQ(marks != 0, kept != start);
    }
    run("input off");
  }
}

}  // namespace

// A number whose digits run past 64 bits is refused as an over-long word,
// with its file and line, and reading goes on after it; groups nest only
// so deep, and a file that opens more is read no further.
TEST_F(stream_records, OverLongNumbersAndDeepGroupsAreRefusedWithTheirLine) {
  const struct {
    const char* what;
    std::string text;
    const char* options;
    std::vector<int64_t> values;  // a 0 is not compared (a float's word)
    const char* message;  // "" for none
  } cases[] = {
      {"decimal past 64 bits", "1\n99999999999999999999999\n2\n", " -rd", {1, 2}, "Value too long in "},
      {"hexadecimal past 64 bits", "$7\n$1FFFFFFFFFFFFFFFF 9\n", "", {7, 9}, "Value too long in "},
      {"the widest numbers fit", "18446744073709551615\n`5\n", " -rd", {-1, 5}, ""},
      {"a long fraction is no integer", "123456789012345678901234.5 `3\n", " -rd", {0, 3}, ""},
      {"groups nested too deeply", "4\n" + std::string(65, '(') + "1\n", "", {4, 4}, "Groups nested too deeply in "},
      {"groups nested as deep as allowed", std::string(64, '(') + "6" + std::string(64, ')') + " 7\n", "", {6, 6}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    write_file("f.io", c.text);
    device_states[0]->eof_flag = 0;
    recorded().clear();
    run((std::string("input x:$10 f") + c.options).c_str());
    io_stream* s = device_states[0]->streams[SL_IN_UNTIMED];
    ASSERT_NE(s, nullptr);
    std::vector<int64_t> values;
    for (std::size_t k = 0; k < c.values.size(); ++k) {
      advance_untimed(*s);
      values.push_back(s->value.integer);
    }
    for (std::size_t k = 0; k < values.size(); ++k)
      if (c.values[k] == 0) values[k] = 0;
    EXPECT_EQ(values, c.values);
    EXPECT_LE(s->groups.size(), 64u);
    const std::string text = output();
    if (c.message[0] == '\0') {
      EXPECT_EQ(text.find('{'), std::string::npos) << text;
    } else {
      const std::size_t at = text.find(std::string("{") + c.message);
      ASSERT_NE(at, std::string::npos) << text;
      EXPECT_NE(text.find("f.io line 2}", at), std::string::npos) << text;
      EXPECT_EQ(text.find('{', at + 1), std::string::npos) << text;
    }
    run("input off");
  }
}
