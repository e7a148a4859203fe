// Session output to a pseudo-terminal: written in blocks, yet the same bytes
// as line by line, and never held back longer than the flush interval while
// a run goes on, even after it has gone quiet.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "console/console_fixture.h"
#include "sim/engine/device/memory.h"

namespace {

class terminal_output : public console_fixture {
 public:
  int master = -1;
  int slave = -1;
  std::FILE* held = nullptr;
  std::thread reader;
  std::mutex seen_lock;
  std::string seen;

  // Virtual milliseconds: every reading of the clock moves it on by one;
  // on_tick looks at the console at each.
  static inline long long virtual_ms = 0;
  static inline long long (*on_tick)(long long) = nullptr;
  static long long tick() {
    ++virtual_ms;
    if (on_tick != nullptr) on_tick(virtual_ms);
    return virtual_ms;
  }

  void SetUp() override {
    console_fixture::SetUp();
    master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    slave = open(ptsname(master), O_RDWR | O_NOCTTY);
    ASSERT_GE(slave, 0);
    termios modes{};
    tcgetattr(slave, &modes);
    cfmakeraw(&modes);  // the bytes as written, no line-end translation
    tcsetattr(slave, TCSANOW, &modes);
    winsize size{24, 80, 0, 0};
    ioctl(master, TIOCSWINSZ, &size);
    reader = std::thread([this] {
      char chunk[65536];
      for (;;) {
        const ssize_t n = read(master, chunk, sizeof chunk);
        if (n <= 0) return;
        std::lock_guard<std::mutex> hold(seen_lock);
        seen.append(chunk, static_cast<std::size_t>(n));
      }
    });
    on_tick = nullptr;  // the clock runs on from test to test, as a clock does
    console_streams& io = console_io();
    io.now_ms = tick;
    attach(true);
  }

  void TearDown() override {
    console_streams& io = console_io();
    io.now_ms = nullptr;
    on_tick = nullptr;
    if (held != nullptr) std::fclose(held);
    io.out = out;
    if (slave >= 0) close(slave);
    if (reader.joinable()) reader.join();
    if (master >= 0) close(master);
    console_fixture::TearDown();
  }

  // The console attached to the terminal as at start-up; its output held
  // in blocks, or else written line by line.
  void attach(bool batched) {
    if (held != nullptr) std::fclose(held);
    console_streams& io = console_io();
    terminal_attach(io.in_fd, slave);
    held = io.out;
    ASSERT_NE(held, nullptr);
    ASSERT_TRUE(io.out_tty);
    ASSERT_TRUE(io.batched);
    io.batched = batched;
  }

  std::string shown() {
    std::lock_guard<std::mutex> hold(seen_lock);
    return seen;
  }
  // True once `text` has reached the terminal's reader, within 5 s.
  bool shows(const std::string& text) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    do {
      if (shown().find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
  }
  // Everything written so far, once it has all arrived.
  std::string drained() {
    std::fflush(held);
    const std::string mark = "<drained " + std::to_string(virtual_ms) + ">";
    EXPECT_EQ(write(slave, mark.data(), mark.size()), static_cast<ssize_t>(mark.size()));
    EXPECT_TRUE(shows(mark));
    std::lock_guard<std::mutex> hold(seen_lock);
    std::string text = seen.substr(0, seen.find(mark));
    seen.clear();
    return text;
  }

  // A fresh device 0 at p:$0 on: lea (r1)+,r1; jmp $0.
  static void fresh_loop() {
    free_all_devices();
    ASSERT_EQ(create_device(0, "73521"), 1);
    select_device(0);
    uint32_t address = 0;
    for (uint32_t word : {0x01d5u, 0x0134u, 0x0000u}) write_device_memory(0, SPACE_P, address++, &word);
    command_submit("change pc 0");
  }
};

TEST_F(terminal_output, a_trace_is_written_in_blocks_with_the_bytes_of_line_by_line) {
  constexpr int kInstructions = 300;
  std::string texts[2];
  std::size_t writes[2];
  for (const bool batched : {false, true}) {
    attach(batched);
    fresh_loop();
    drained();
    const std::size_t before = terminal_writes().calls;
    command_submit(("trace " + std::to_string(kInstructions)).c_str());
    console_pump();
    texts[batched] = drained();
    writes[batched] = terminal_writes().calls - before;
  }
  // Ten lines an instruction, highlighted changes in bold.
  EXPECT_GT(texts[0].size(), kInstructions * 600u);
  EXPECT_NE(texts[0].find("\x1b[1m"), std::string::npos);
  EXPECT_EQ(texts[1], texts[0]);
  EXPECT_GE(writes[0], kInstructions * 10u);
  EXPECT_LE(writes[1], texts[1].size() / 4096 + 1) << "bytes " << texts[1].size();
}

TEST_F(terminal_output, a_run_shows_its_output_within_the_interval_while_it_prints_and_when_quiet) {
  // A long trace: the writes never lie further apart than the interval.
  fresh_loop();
  drained();
  static long long last_write_at;
  static std::size_t writes_seen;
  static long long widest_gap;
  last_write_at = virtual_ms;
  writes_seen = terminal_writes().calls;
  widest_gap = 0;
  on_tick = [](long long now) {
    if (terminal_writes().calls == writes_seen) return now;
    writes_seen = terminal_writes().calls;
    widest_gap = std::max(widest_gap, now - last_write_at);
    last_write_at = now;
    return now;
  };
  const long long start = virtual_ms;
  command_submit("trace 400");
  console_pump();
  EXPECT_GT(virtual_ms - start, 8 * FLUSH_INTERVAL_MS);
  EXPECT_GT(widest_gap, 0);
  EXPECT_LE(widest_gap, FLUSH_INTERVAL_MS + 2);
  drained();

  // One line, then a long step that prints nothing more (and, unlike a go,
  // draws no progress row): the line reaches the terminal within the
  // interval; then Ctrl-C ends the run.
  static terminal_output* self;
  static long long printed_at;
  static bool shown_in_time;
  self = this;
  shown_in_time = false;
  command_submit("step 100000000");
  session_print("{one line} before a quiet run", 1);
  printed_at = virtual_ms;
  on_tick = [](long long now) {
    if (stop_request != 0) return now;
    if (now - printed_at == FLUSH_INTERVAL_MS + 2) {
      shown_in_time = self->shows("before a quiet run");
      stop_request = 1;
    }
    return now;
  };
  console_pump();
  EXPECT_TRUE(shown_in_time);
  EXPECT_NE(drained().find("\x1b[1mone line\x1b[22m before a quiet run\n"), std::string::npos);
}

// A terminal's rendering, byte by byte: bold for the highlighted runs,
// "?" for control characters other than tab, everything else as it is.
std::string rendered_by_bytes(const std::string& line) {
  std::string out;
  bool bold = false;
  for (const unsigned char c : line) {
    if (c == 15) {
      if (!bold) out += "\x1b[1m";
      bold = true;
    } else if (c == 7) {
      if (bold) out += "\x1b[22m";
      bold = false;
    } else if ((c < 32 && c != '\t') || c == 127) {
      out += '?';
    } else {
      out += static_cast<char>(c);
    }
  }
  if (bold) out += "\x1b[22m";
  return out + "\n";
}

TEST_F(terminal_output, lines_render_as_the_byte_rules_say) {
  console_streams& io = console_io();
  io.out = out;
  io.batched = false;
  // Every special byte at every place of an eight-byte block, and random
  // lines mostly plain, as a trace prints them.
  std::vector<std::string> lines;
  for (const char special : {'\x0f', '\x07', '\x01', '\x1b', '\x7f', '\t', '\x80', '\xff', '\x1f', ' '})
    for (std::size_t at = 0; at < 17; ++at) {
      std::string line(20, 'a');
      line[at] = special;
      lines.push_back(line);
    }
  std::mt19937 random(143);
  const char mix[] = {'\x0f', '\x07', '\x02', '\x7f', '\t', '\xc3', '~'};
  for (int i = 0; i < 300; ++i) {
    std::string line(random() % 120, 'x');
    for (char& c : line) {
      const unsigned pick = random() % 40;
      c = pick < sizeof mix ? mix[pick] : static_cast<char>(' ' + random() % 95);
    }
    lines.push_back(line);
  }
  std::string expected;
  for (const std::string& line : lines) {
    terminal_write_line(line.c_str());
    expected += rendered_by_bytes(line);
  }
  EXPECT_EQ(output(), expected);
}

}  // namespace
