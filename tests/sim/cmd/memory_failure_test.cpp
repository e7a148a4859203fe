// Memory running out: a command reports it once and fails, the session
// goes on. Allocation failures are injected through the program's own
// operator new, and the simulator's allocator is capped.
#include <cstdlib>
#include <new>
#include <string>

#include "cmd_fixture.h"
#include "support/test_frontend.h"
#include "sim/engine/device/memory.h"

namespace {

// Counts down to the allocation that fails; 0: none fails.
int fail_in = 0;

void* allocate(std::size_t size) {
  if (frontend_recording == 0 && fail_in > 0 && --fail_in == 0) throw std::bad_alloc();
  if (void* p = std::malloc(size != 0 ? size : 1)) return p;
  throw std::bad_alloc();
}

std::size_t count_of(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

class memory_failure : public cmd_files {
 protected:
  void TearDown() override {
    fail_in = 0;
    dsp_alloc_set_limit(0);
    cmd_files::TearDown();
  }
};

}  // namespace

// Every form that a delete below may meet is replaced, so that no block
// the sanitizer's own new made is handed to free (std::stable_sort's
// buffer comes from the nothrow form).
void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return allocate(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

// Whichever allocation of a command fails, the command is abandoned with
// one message and the next command runs as usual.
TEST_F(memory_failure, an_allocation_failing_anywhere_in_a_command_keeps_the_session) {
  for (const char* line : {"display x:0#8", "break pc==5 x display", "copy x:0..$ff x:$100",
                           "evaluate 1+2*3", "device dv3 73583"}) {
    for (int k = 1; k <= 40; ++k) {
      SCOPED_TRACE(std::string(line) + " failing allocation " + std::to_string(k));
      fail_in = k;
      execute_command_line(0, line);
      fail_in = 0;
      const std::size_t before = output().size();
      execute_command_line(0, "evaluate 2");
      EXPECT_NE(output().substr(before).find("Hex:0002"), std::string::npos);
      run("break off");
    }
  }
  EXPECT_NE(output().find("{Insufficient memory: command abandoned}"), std::string::npos);
}

// With no room left and no paging file to be had, every write fails: the
// command says so once instead of once per word.
TEST_F(memory_failure, failed_writes_are_reported_once_per_command) {
  device_insts[0]->work_dir = path("missing") + "/";
  run("change x:0..$7ff 7");
  dsp_alloc_set_limit(dsp_alloc_in_use());
  for (const char* line : {"change xe:0..$fff 5", "copy x:0..$7ff xe:$4000", "change pe:$100 1 pe:$900 2"}) {
    SCOPED_TRACE(line);
    const std::size_t before = output().size();
    run(line);
    const std::string said = output().substr(before);
    EXPECT_EQ(count_of(said, "{"), 1u) << said;
    EXPECT_EQ(count_of(said, "{Insufficient memory: dsp_alloc}"), 1u) << said;
  }
  EXPECT_EQ(error_reported, 1);
}
