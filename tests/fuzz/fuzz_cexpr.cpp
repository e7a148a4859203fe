// C expressions: the input's first byte chooses the printing radix, the
// rest is the text inside the braces. It is parsed against a small program
// (scalars, a pointer, a function, a structure, an array, an enumeration
// and a typedef); every node of an accepted tree has a type that names and
// sizes, every located leaf prints, and the tree is evaluated against the
// device and its value printed. Memory and registers the expression
// assigns are put back before the next input.
#include <string>
#include <vector>

#include "../sim/cdb/coff_writer.h"
#include "fuzz_support.h"
#include "sim/cdb/c_eval.h"
#include "sim/cdb/c_parse.h"
#include "sim/cdb/c_print.h"
#include "sim/cdb/coff.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"

namespace {

test_coff program() {
  test_coff c;
  c.sections = {{".txt", 0, 0, 0x20, {0}}};
  c.symbol("Fa", 0x10, 1, 1, 4, 2);
  c.symbol("Fb", 0x11, 1, 1, 0x0F, 2);  // unsigned long
  c.symbol("Fp", 0x13, 1, 1, 0x12, 2);  // pointer to char
  c.symbol("Ff", 0x40, 0, 1, 0x24, 2);  // function returning int
  c.symbol("Fpoint", 0, 0, 0, 8, 10, 1);  // structure tag: index 4
  c.aux({0, 0, 2, 0, 0, 0, 0, 0});
  c.symbol("Fx", 0, 0, 0, 4, 8);
  c.symbol("Fy", 1, 0, 0, 6, 8);
  c.symbol(".eos", 0, 0, 0, 0, 102, 1);
  c.aux({4, 0, 2, 0, 0, 0, 0, 0});
  c.symbol("Fs", 0x20, 1, 1, 8, 2, 1);
  c.aux({4, 0, 2, 0, 0, 0, 0, 0});
  c.symbol("Fv", 0x30, 1, 1, 0x34, 2, 1);  // array [3] of int
  c.aux({0, 0, 3, 3, 0, 0, 0, 0});
  c.symbol("Fcolor", 0, 0, 0, 10, 15, 1);  // enumeration tag: index 14
  c.aux({0, 0, 1, 0, 0, 0, 0, 0});
  c.symbol("Fred", 0, 0, 0, 11, 16);
  c.symbol("Fgreen", 1, 0, 0, 11, 16);
  c.symbol(".eos", 0, 0, 0, 0, 102, 1);
  c.aux({14, 0, 1, 0, 0, 0, 0, 0});
  c.symbol("Fword", 0, 0, 0, 13, 13);  // typedef unsigned short
  c.symbol("Fd", 0x38, 1, 1, 7, 2);
  return c;
}

struct device_words {
  std::vector<std::vector<uint32_t>> regions;
  std::vector<uint32_t> blocks, device;
  uint32_t pc = 0;
};

device_words words_of(const device_inst& inst) {
  device_words w{{}, inst.blocks, inst.device_words, inst.pc};
  for (const region_mem& r : inst.regions) w.regions.push_back(r.words);
  return w;
}

void put_back(device_inst& inst, const device_words& w) {
  for (std::size_t r = 0; r < w.regions.size(); ++r) inst.regions[r].words = w.regions[r];
  inst.blocks = w.blocks;
  inst.pins_changed = 1;
  inst.device_words = w.device;
  inst.pc = w.pc;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 1) return -1;
  fuzz_start();
  static device_words fresh;
  static bool loaded = false;
  if (!loaded) {
    fuzz_fresh_session();
    program().write("program.cld");
    if (read_coff_file(0, "program.cld") != 0) __builtin_trap();
    make_device_current(0);
    fresh = words_of(*device_insts[0]);
    loaded = true;
  }
  const int radix = data[0] % 7;
  const std::string text = "{" + std::string(reinterpret_cast<const char*>(data) + 1, size - 1) + "}";
  const auto tree = c_parse(text.c_str());
  if (!tree) return 0;
  c_tree_has_call(tree->root);
  for (const auto& node : tree->nodes) {
    c_type_text(node->value);
    c_sizeof_words(node->value);
    if (node->op == 0 && node->value.located != 0) c_value_text(node->value, radix);
  }
  if (c_eval_tree(*tree) == 1) c_print_value(radix, &tree->root->value);
  put_back(*device_insts[0], fresh);
  return 0;
}
