// Stop in the GUI while the target waits on another program through the
// host file service: a read of a FIFO whose writer says nothing and a
// write to a full FIFO whose reader has paused end on Stop, answered -1,
// and the run stops.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "fw/core/event.h"
#include "frontends/gui/main_window.h"
#include "frontends/gui/road.h"
#include "sim/asm/asm.h"
#include "sim/cmd/dispatch.h"
#include "sim/engine/core/runloop.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/memory.h"
#include "sim/frontend/frontend.h"
#include "tests/gui_app/front_end_support.h"
#include "tests/sim/cdb/coff_writer.h"

using namespace front_end_test;

namespace {

constexpr uint32_t SEND = 0x200, RECEIVE = 0x210, CODE = 0x40;
constexpr int MENU_STOP = 101;

std::string hexw(uint32_t v) {
  char text[16];
  std::snprintf(text, sizeof text, "$%x", v);
  return text;
}

// A program that opens x:$a3's name with x:$a0's request, then reads or
// writes four words of it (x:$30's request, x:$34's words) and takes the
// count and error into x:$48; it ends in a loop, whose address it returns.
uint32_t write_program(const std::string& path, const std::string& name, bool write) {
  std::vector<std::string> code{"move #>$80,r2"};
  auto call = [&](uint32_t routine, uint32_t buffer, uint32_t count) {
    code.push_back("move #>" + hexw(buffer) + ",x0");
    code.push_back("move x0,x:$7f");
    code.push_back("move #>" + hexw(count) + ",x0");
    code.push_back("move x0,x:$7e");
    code.push_back("jsr " + hexw(routine));
  };
  call(SEND, 0xa0, 3);
  call(SEND, 0xa3, static_cast<uint32_t>(name.size()));
  call(RECEIVE, 0x40, 0);
  code.push_back("move x:$40,x0");
  code.push_back("move x0,x:$31");
  call(SEND, 0x30, 3);
  if (write) call(SEND, 0x34, 4);
  else call(RECEIVE, 0x50, 0);
  call(RECEIVE, 0x48, 0);
  code.push_back("jmp *");

  test_coff c;
  uint32_t end = 0;
  auto section = [&](const std::vector<std::string>& lines, uint32_t at) {
    test_section s{".txt", at, 0, 0x20, {}};
    for (const std::string& line : lines) {
      end = at;
      const int n = assemble_line(line.c_str(), at);
      ASSERT_GT(n, 0) << line;
      for (int i = 0; i < n; ++i) s.raw.push_back(asm_words[static_cast<std::size_t>(i)]);
      at += static_cast<uint32_t>(n);
    }
    c.sections.push_back(s);
  };
  section(code, CODE);
  const uint32_t loop = end;
  section({"rts"}, SEND);
  section({"rts"}, RECEIVE);
  std::vector<uint32_t> open{0, write ? 1u : 0u, static_cast<uint32_t>(name.size())};
  open.insert(open.end(), name.begin(), name.end());
  c.sections.push_back({".dat", 0xa0, 1, 0x40, open});
  c.sections.push_back({".dat", 0x30, 1, 0x40, {write ? 3u : 2u, 0, 4, 0, 'a', 'b', 'c', 'd'}});
  c.symbol("__send", SEND, 0, 3, 0, 2);
  c.symbol("__receive", RECEIVE, 0, 4, 0, 2);
  c.write(path);
  return loop;
}

struct PeerFileStop : ::testing::Test {
  std::string dir;
  void SetUp() override {
    std::string pattern = ::testing::TempDir() + "peer_stop_XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir = pattern;
    start({});
    run_until(6100);
    ASSERT_NE(gui::main_window(), nullptr);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
};

// `other` ends what would hold the run for good, after a while, so that a
// wait that Stop does not end fails the test instead of holding it.
void run_with_stop(const std::function<void()>& other) {
  std::mutex m;
  std::condition_variable cv;
  bool done = false;
  std::thread helper([&] {
    std::unique_lock<std::mutex> lock(m);
    if (!cv.wait_for(lock, std::chrono::seconds(20), [&] { return done; })) other();
  });
  // The user presses Stop while the target waits: the only event loop
  // that can see it runs inside the wait.
  veventPost(veventCreateClient([](vevent*) { return gui::menu_dispatch_selector(MENU_STOP); }, nullptr));
  execute_command_line(0, "go");
  for (int guard = 0; device_states[0]->running != 0 && guard < 1000; ++guard) run_device_slice(64);
  {
    std::lock_guard<std::mutex> lock(m);
    done = true;
  }
  cv.notify_one();
  helper.join();
}

TEST_F(PeerFileStop, StopEndsAWaitOnAFifoAndTheTargetIsAnsweredMinusOne) {
  for (const bool write : {false, true}) {
    SCOPED_TRACE(write ? "write to a full FIFO" : "read of a silent FIFO");
    const std::string fifo = dir + (write ? "/full.fifo" : "/silent.fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // Read: the writer is there and says nothing. Write: the reader has
    // paused and the FIFO is full.
    const int peer = open(fifo.c_str(), (write ? O_RDONLY : O_RDWR) | O_NONBLOCK);
    ASSERT_GE(peer, 0);
    if (write) {
      const int filler = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
      ASSERT_GE(filler, 0);
      const std::vector<char> block(4096, 'x');
      while (::write(filler, block.data(), block.size()) > 0) {
      }
      while (::write(filler, block.data(), 1) > 0) {
      }
      close(filler);
    }
    const std::string program = dir + (write ? "/write.cld" : "/read.cld");
    const uint32_t loop = write_program(program, fifo, write);
    gui::command_submit(("load " + program).c_str());
    gui::command_submit(("change pc " + hexw(CODE)).c_str());
    run_with_stop([&] {
      // Frees the wait: the reader drains, or the writer speaks.
      std::vector<char> bytes(1 << 16);
      if (write) while (read(peer, bytes.data(), bytes.size()) > 0) {}
      else (void)!::write(peer, "wxyz", 4);
    });
    EXPECT_EQ(device_states[0]->running, 0);
    // The target takes the answer when the run goes on.
    execute_command_line(0, "go");
    for (int guard = 0; device_insts[0]->pc != loop && guard < 1000; ++guard) run_device_slice(64);
    device_states[0]->running = 0;
    uint32_t count = 0;
    mem_read_word(SPACE_X, 0x48, &count);
    EXPECT_EQ(count, 0xFFFFu);
    close(peer);
  }
}

}  // namespace
