// The host file service driven by target programs built here: requests
// laid out in X memory, __send and __receive called through the C stack
// pointer r2, the replies read back from X memory after the run.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/sim/cmd/cmd_fixture.h"
#include "tests/sim/prof/object_program.h"
#include "sim/cdb/coff_writer.h"
#include "sim/cmd/commands.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/memory.h"
#include "sim/engine/core/runloop.h"

namespace {

constexpr uint32_t SEND = 0x200, RECEIVE = 0x210, CODE = 0x40;
constexpr uint32_t STACK = 0x80;  // r2; the arguments lie just below it

std::vector<uint32_t> chars(const std::string& text) { return {text.begin(), text.end()}; }

std::string hexw(uint32_t v) {
  char text[16];
  std::snprintf(text, sizeof text, "%x", v);
  return text;
}

// A target program: the calls in order, then an endless loop the test
// stops at.
struct target_program {
  std::vector<line_spec> lines{{"", "move #>$80,r2"}};
  std::vector<std::pair<uint32_t, std::vector<uint32_t>>> data;

  void words(uint32_t at, std::vector<uint32_t> w) { data.emplace_back(at, std::move(w)); }
  void arguments(uint32_t buffer, uint32_t count) {
    for (const auto& [value, slot] : {std::pair{buffer, STACK - 1}, std::pair{count, STACK - 2}}) {
      lines.push_back({"", "move #>$" + hexw(value) + ",x0"});
      lines.push_back({"", "move x0,x:$" + hexw(slot)});
    }
  }
  void send(uint32_t buffer, uint32_t count) {
    arguments(buffer, count);
    lines.push_back({"", "jsr $" + hexw(SEND)});
  }
  void receive(uint32_t buffer) {
    arguments(buffer, 0);
    lines.push_back({"", "jsr $" + hexw(RECEIVE)});
  }
  // A reply word into a later request (a file number).
  void copy(uint32_t from, uint32_t to) {
    lines.push_back({"", "move x:$" + hexw(from) + ",x0"});
    lines.push_back({"", "move x0,x:$" + hexw(to)});
  }
};

class host_io : public object_profile {
 protected:
  // Builds, loads and runs the program; the loop at its end stops it.
  void run_program(target_program p, bool fast = false) {
    p.lines.push_back({"", "jmp *"});
    test_coff c = object_file();
    add_text(c, p.lines, CODE);
    end = c.lines.back()[0];  // the loop
    add_text(c, {{"", "rts"}}, SEND);
    add_text(c, {{"", "rts"}}, RECEIVE);
    for (const auto& [at, w] : p.data) c.sections.push_back({".dat", at, 1, 0x40, w});
    c.symbol("__send", SEND, 0, 3, 0, 2);
    c.symbol("__receive", RECEIVE, 0, 4, 0, 2);
    c.write(path("prog.cld"));
    run("load prog.cld");
    run(("change pc $" + hex(CODE)).c_str());
    if (!fast) {
      // A breakpoint keeps the device on the cycle-by-cycle engine.
      run(("break pc==$" + hex(end)).c_str());
      go();
      return;
    }
    run("go");
    for (int guard = 0; device_insts[0]->pc != end && guard < 1000; ++guard) run_device_slice(64);
    device_states[0]->running = 0;
    EXPECT_NE(device_states[0]->fast_instructions, 0u);
  }
  static uint32_t x(uint32_t address) {
    uint32_t w = 0;
    mem_read_word(SPACE_X, address, &w);
    return w;
  }
  static std::vector<int32_t> xs(uint32_t address, int n) {
    std::vector<int32_t> out;
    for (int i = 0; i < n; ++i) out.push_back(static_cast<int16_t>(x(address + static_cast<uint32_t>(i))));
    return out;
  }
  uint32_t end = 0;
};

// Open for writing (created, truncated), write, close; open again for
// reading, read more than the file holds, close.
target_program write_then_read(uint32_t open_flags, std::vector<uint32_t> data) {
  target_program p;
  p.words(0x10, {0, open_flags, 5});
  p.words(0x13, chars("t.dat"));
  p.words(0x20, {3, 0, static_cast<uint32_t>(data.size())});
  p.words(0x24, data);
  p.words(0x28, {1, 0});
  p.words(0x2a, {0, open_flags & 32, 5});  // read only, same mode
  p.words(0x30, {2, 0, 10});
  p.words(0x34, {1, 0});
  p.send(0x10, 3);
  p.send(0x13, 5);
  p.receive(0x40);  // file number, error
  p.copy(0x40, 0x21);
  p.copy(0x40, 0x29);
  p.send(0x20, 3);
  p.send(0x24, static_cast<uint32_t>(data.size()));
  p.receive(0x42);  // written, error
  p.send(0x28, 2);
  p.receive(0x44);  // closed, error
  p.send(0x2a, 3);
  p.send(0x13, 5);
  p.receive(0x46);
  p.copy(0x46, 0x31);
  p.copy(0x46, 0x35);
  p.send(0x30, 3);
  p.receive(0x50);  // the data words
  p.receive(0x48);  // read, error
  p.send(0x34, 2);
  p.receive(0x4a);
  return p;
}

TEST_F(host_io, ATargetWritesReadsAndClosesAHostFileInTextAndBinaryMode) {
  struct row {
    uint32_t flags;  // write only, create, truncate; 32 binary
    std::vector<uint32_t> words;
    std::string bytes;
  };
  const row rows[] = {
      {1 | 8 | 16, {'h', 'i'}, "hi"},
      {1 | 8 | 16 | 32, {0x1234, 0x5678}, "\x12\x34\x56\x78"},
  };
  for (const bool fast : {false, true})
  for (const row& r : rows) {
    SCOPED_TRACE(r.flags + (fast ? 1000 : 0));
    run("break off");
    run_program(write_then_read(r.flags, r.words), fast);
    EXPECT_EQ(device_insts[0]->pc, end);
    EXPECT_EQ(read_file("t.dat"), r.bytes);
    const int32_t file = static_cast<int32_t>(x(0x40));
    EXPECT_GE(file, 3);
    EXPECT_EQ(xs(0x41, 1), std::vector<int32_t>{0});
    EXPECT_EQ(xs(0x42, 4), (std::vector<int32_t>{2, 0, 0, 0}));  // two written; closed
    EXPECT_EQ(static_cast<int32_t>(x(0x46)), file);              // the freed number again
    EXPECT_EQ(xs(0x48, 4), (std::vector<int32_t>{2, 0, 0, 0}));  // two read of ten; closed
    EXPECT_EQ(x(0x50), r.words[0]);
    EXPECT_EQ(x(0x51), r.words[1]);
  }
}

// Seek in a binary file (by words), access, rename, remove, and a read of
// the standard input from its redirection.
TEST_F(host_io, SeekAccessRenameRemoveAndRedirectedInput) {
  write_file("w.bin", std::string("\x11\x22\x33\x44\x55\x66", 6));
  write_file("in.cio", "xyz");
  run("redirect stdin in");
  target_program p;
  p.words(0x10, {0, 32, 5});  // open read only, binary
  p.words(0x13, chars("w.bin"));
  p.words(0x18, {4, 0, 0xffff, 2});  // seek one word back from the end
  p.words(0x1c, {2, 0, 4});           // read up to four words
  p.words(0x20, {7, 8, 5});           // access for reading
  p.words(0x23, {6, 5});              // rename w.bin to v.bin
  p.words(0x25, chars("v.bin"));
  p.words(0x2a, {5, 5});              // remove v.bin
  p.words(0x2c, {2, 0, 8});           // read from the standard input
  p.send(0x10, 3);
  p.send(0x13, 5);
  p.receive(0x40);
  p.copy(0x40, 0x19);
  p.copy(0x40, 0x1d);
  p.send(0x18, 4);
  p.receive(0x42);  // position in words, error
  p.send(0x1c, 3);
  p.receive(0x60);  // data
  p.receive(0x44);
  p.send(0x20, 3);
  p.send(0x13, 5);
  p.receive(0x46);
  p.send(0x23, 2);
  p.send(0x13, 5);
  p.send(0x25, 5);
  p.receive(0x48);
  p.send(0x20, 3);
  p.send(0x13, 5);
  p.receive(0x4a);  // the old name is gone
  p.send(0x2a, 2);
  p.send(0x25, 5);
  p.receive(0x4c);
  p.send(0x2c, 3);
  p.receive(0x70);
  p.receive(0x4e);
  run_program(p);
  EXPECT_EQ(device_insts[0]->pc, end);
  EXPECT_EQ(xs(0x42, 14), (std::vector<int32_t>{2, 0, 1, 0, 0, 0, 0, 0, -1, 6, 0, 0, 3, 0}));
  EXPECT_EQ(x(0x60), 0x5566u);
  EXPECT_EQ(xs(0x70, 3), (std::vector<int32_t>{'x', 'y', 'z'}));
  EXPECT_FALSE(std::filesystem::exists(path("v.bin")));
}

// A host FIFO: opened for writing when someone reads it (the words reach
// the reader), refused at once (-1) when no one does, as a missing file is.
// An open left waiting would hold the whole simulator: a guard opens the
// other end after a long while so that the test fails instead of hanging.
TEST_F(host_io, AFifoOpensWithAReaderAndIsRefusedWithoutOne) {
  const std::string fifo = path("pipe");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const bool reader : {true, false}) {
    SCOPED_TRACE(reader ? "with a reader" : "without a reader");
    const int held = reader ? open(fifo.c_str(), O_RDONLY | O_NONBLOCK) : -1;
    target_program p;
    p.words(0x10, {0, 1, 4});  // open write only, text
    p.words(0x13, chars("pipe"));
    p.words(0x20, {3, 0, 2});
    p.words(0x24, {'o', 'k'});
    p.send(0x10, 3);
    p.send(0x13, 4);
    p.receive(0x40);
    p.copy(0x40, 0x21);
    p.send(0x20, 3);
    p.send(0x24, 2);
    p.receive(0x42);
    std::mutex m;
    std::condition_variable cv;
    bool finished = false, freed = false;
    std::thread guard([&] {
      std::unique_lock<std::mutex> lock(m);
      if (cv.wait_for(lock, std::chrono::seconds(120), [&] { return finished; })) return;
      freed = true;
      const int other = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
      lock.unlock();
      if (other >= 0) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        close(other);
      }
    });
    run("break off");
    run_program(p);
    {
      const std::lock_guard<std::mutex> lock(m);
      finished = true;
    }
    cv.notify_all();
    guard.join();
    EXPECT_FALSE(freed) << "the open waited for a peer";
    EXPECT_EQ(device_insts[0]->pc, end);
    if (reader) {
      EXPECT_GE(static_cast<int32_t>(x(0x40)), 3);
      EXPECT_EQ(xs(0x42, 2), (std::vector<int32_t>{2, 0}));
      char got[8] = {};
      EXPECT_EQ(read(held, got, sizeof got), 2);
      EXPECT_EQ(std::string(got), "ok");
      close(held);
    } else {
      EXPECT_EQ(xs(0x40, 1), std::vector<int32_t>{-1});
    }
  }
}

// Requests the service refuses, each answered so that the target goes on.
TEST_F(host_io, RefusedRequestsAreAnsweredWithMinusOne) {
  target_program p;
  p.words(0x10, {1, 1});                     // close stdout
  p.words(0x12, {3, 1, 0xffff});             // write to stdout, too many words
  p.words(0x15, {0, 0, 7});                  // open a file that is not there
  p.words(0x18, chars("nothere"));
  p.words(0x20, {1, 9});                     // close a number never opened
  p.send(0x10, 2);
  p.receive(0x40);
  p.send(0x12, 3);
  p.send(0x20, 0xffff);  // runs past the end of X memory: not read
  p.receive(0x42);
  p.send(0x15, 3);
  p.send(0x18, 7);
  p.receive(0x44);
  p.send(0x20, 2);
  p.receive(0x46);
  run_program(p);
  EXPECT_EQ(device_insts[0]->pc, end);
  EXPECT_EQ(xs(0x40, 8), (std::vector<int32_t>{-1, 8, -1, 3, -1, 6, -1, 8}));
}

// The target's standard output: into the session line by line without a
// redirection, into the file with one.
TEST_F(host_io, StandardOutputGoesToTheSessionOrTheRedirection) {
  target_program p;
  p.words(0x10, {3, 1, 9});
  p.words(0x13, chars("one\ntwo\n{"));
  p.send(0x10, 3);
  p.send(0x13, 9);
  p.receive(0x40);
  run_program(p);
  EXPECT_EQ(xs(0x40, 2), (std::vector<int32_t>{9, 0}));
  const std::string session = output();
  EXPECT_NE(session.find("one\ntwo\n{\n"), std::string::npos) << session;

  run("redirect stdout out.txt -o");
  run_program(p);
  EXPECT_EQ(xs(0x40, 2), (std::vector<int32_t>{9, 0}));
  EXPECT_EQ(read_file("out.txt"), "one\ntwo\n{");
}

// Without both routines the service is off.
TEST_F(host_io, AProgramWithoutTheRoutinesTurnsTheServiceOff) {
  test_coff c = object_file();
  add_text(c, {{"", "nop"}}, CODE);
  c.symbol("__send", SEND, 0, 2, 0, 2);
  c.write(path("half.cld"));
  run("load half.cld");
  EXPECT_EQ(device_states[0]->streams_enabled, 0);
  EXPECT_EQ(device_states[0]->hio.watch[0], HIO_NO_WATCH);
}

}  // namespace
