// The back-trace over arbitrary machines: the bytes choose the family, the
// frame codes of three functions (the outermost is main), the pc, the
// program words of their prologues, the stack words, the registers and
// the hardware stack. Whatever they hold, the walk must end within its
// bound with at least one frame, and every frame must be selectable.
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "../sim/cdb/coff_writer.h"
#include "fuzz_support.h"
#include "sim/cdb/c_value.h"
#include "sim/cdb/coff.h"
#include "sim/cdb/frames.h"
#include "sim/engine/device/current_device.h"

namespace {

constexpr uint32_t CODE_BASE = 0x200, CODE_WORDS = 0x40, DATA_BASE = 0x80, DATA_WORDS = 0x40;
constexpr int families[] = {709, 710, 711, 712, 713, 714};
constexpr const char* register_names[] = {"r0", "r2", "r6", "sp", "sr"};

struct machine {
  std::vector<uint32_t> program, data, regs, ssh, ssl;
};
machine m;

uint32_t at(const std::vector<uint32_t>& words, uint32_t index) { return index < words.size() ? words[index] : 0; }

int read_program(uint32_t a, uint32_t* out) {
  *out = a >= CODE_BASE ? at(m.program, a - CODE_BASE) : 0;
  return 1;
}
int read_data(int, uint32_t a, uint32_t* out) {
  *out = a >= DATA_BASE ? at(m.data, a - DATA_BASE) : a * 7;
  return a != 0xFFFF;  // one address that cannot be read
}
int reg_index(const std::string& name) {
  for (int k = 0; k < 5; ++k)
    if (name == register_names[k]) return k;
  return -1;
}
int read_reg(const char* name, uint32_t* out) {
  const std::string n = name;
  if (n == "ssh" || n == "ssl") {
    *out = at(n == "ssh" ? m.ssh : m.ssl, at(m.regs, 3) & 0xF);
    return 1;
  }
  const int k = reg_index(n);
  if (k < 0) return -1;
  *out = at(m.regs, static_cast<uint32_t>(k));
  return 1;
}
int write_reg(const char* name, uint32_t value) {
  const int k = reg_index(name);
  if (k < 0 || static_cast<std::size_t>(k) >= m.regs.size()) return 0;
  m.regs[static_cast<std::size_t>(k)] = value;
  return 1;
}
constexpr frame_machine fuzz_machine = {read_program, read_data, read_reg, write_reg};

// g1 and g2 with their frame codes, then main.
std::string program_file(int32_t code1, int32_t code2) {
  test_coff c;
  c.sections = {{".txt", CODE_BASE, 0, 0x20, {0}}};
  const auto function = [&](const char* name, uint32_t address, uint32_t size, uint32_t body, int32_t code) {
    c.symbol(name, address, 0, 1, 0x24, 2, 1);
    c.aux({0, size, 0, 0, 0, 0, 0, 0});
    c.symbol(".bf", body, 0, 1, 0, 101, 1);
    c.aux({0, 0, 0, 0, 0, static_cast<uint32_t>(code), 0, 0});
    c.symbol("Fp", static_cast<uint32_t>(-2), 1, -1, 4, 9);
    c.symbol(".ef", address + size - 1, 0, 1, 0, 101);
  };
  function("Fg1", CODE_BASE, 0x10, CODE_BASE + 4, code1);
  function("Fg2", CODE_BASE + 0x10, 0x10, CODE_BASE + 0x13, code2);
  function("Fmain", CODE_BASE + 0x20, 0x20, CODE_BASE + 0x20, 0);
  return c.bytes();
}

uint32_t word_at(const uint8_t*& p, const uint8_t* end) {
  uint32_t w = 0;
  for (int k = 0; k < 4 && p < end; ++k) w = (w << 8) | *p++;
  return w;
}

[[noreturn]] void finding(const char* what) {
  std::fprintf(stderr, "%s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  fuzz_start();
  fuzz_fresh_session();
  const auto code = [](uint8_t b) { return static_cast<int32_t>(b % 40) - 5; };
  fuzz_write_file("frames.cld", program_file(code(data[1]), code(data[2])));
  if (read_coff_file(0, "frames.cld") != 0) finding("the test program was refused");
  make_device_current(0);
  const uint8_t* p = data + 4;
  const uint8_t* end = data + size;
  m = machine{};
  for (uint32_t k = 0; k < CODE_WORDS && p < end; ++k) m.program.push_back(word_at(p, end));
  for (uint32_t k = 0; k < DATA_WORDS && p < end; ++k) m.data.push_back(word_at(p, end));
  for (int k = 0; k < 5; ++k) m.regs.push_back(word_at(p, end));
  for (int k = 0; k < 16; ++k) m.ssh.push_back(word_at(p, end));
  for (int k = 0; k < 16; ++k) m.ssl.push_back(word_at(p, end));

  c_family = c_family_of(families[data[0] % 6]);
  frame_target = &fuzz_machine;
  cur_inst->pc = CODE_BASE + data[3] % 0x48;
  build_backtrace();
  const int count = frames_count();
  if (count < 1 || count > FRAME_LEVEL_MAX) finding("the walk left no frame or went past its bound");
  for (int i = 0; i < count; ++i) {
    frame_current_set(i);
    if (frame_current_index() != i || frame_at(i)->text.rfind("#", 0) != 0) finding("a frame cannot be selected");
    uint32_t space = 0, address = 0;
    int slot_space = 0;
    c_frame_address(1, static_cast<uint32_t>(-2), &space, &address);
    frame_saved_register_slot("r0", &address, &slot_space);
    frame_refresh_text(*frame_at(i));
  }
  frames_free();
  frame_target = &device_frame_machine;
  c_debug_reset();
  return 0;
}
