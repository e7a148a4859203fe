// COFF files: the debug-information reader over the bytes (every name and
// table entry of an accepted file must be readable), then the same bytes
// as a program: a file the loader refuses leaves memory and pc alone, and
// an accepted one leaves its debug information answering lookups. The
// bytes are also parsed as a braced C expression against it and evaluated.
#include <algorithm>
#include <cstdio>
#include <string>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "sim/cdb/c_eval.h"
#include "sim/cdb/c_parse.h"
#include "sim/cdb/coff.h"
#include "sim/cdb/coff_internal.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"

namespace {

[[noreturn]] void finding(const char* what) {
  std::fprintf(stderr, "%s\n", what);
  std::abort();
}

std::vector<std::vector<uint32_t>> arrays_of(const device_inst& inst) {
  std::vector<std::vector<uint32_t>> out;
  for (const region_mem& r : inst.regions) out.push_back(r.words);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  fuzz_start();
  fuzz_fresh_session();
  coff_bytes bytes;
  bytes.data.assign(data, data + size);
  coff_debug_info info;
  if (parse_coff_debug_info(bytes, 711, info, nullptr) == 0) {
    for (uint32_t i = 0; i < info.symbol_count; i = next_symbol(info, i)) {
      const coff_symbol& s = info.symbols[i];
      coff_symbol_name(info, s);
      if (s.is_file() && s.aux_count() > 0) coff_file_symbol_name(info, info.symbols[i + 1]);
    }
    for (const coff_section& s : info.sections)
      for (uint32_t k = 0; k < s.line_count; ++k) (void)info.lines.at(s.first_line + k);
    for (std::size_t k = 1; k + 1 < info.address_index.size() && k <= info.address_index[0]; ++k)
      (void)info.symbols.at(info.address_index[k]);
  }

  fuzz_write_file("f.cld", std::string_view(reinterpret_cast<const char*>(data), size));
  const auto fresh = arrays_of(*device_insts[0]);
  const uint32_t fresh_pc = device_insts[0]->pc;
  if (coff_load_memory(0, "f.cld") != 1) {
    if (arrays_of(*device_insts[0]) != fresh || device_insts[0]->pc != fresh_pc)
      finding("a refused file changed the device");
  } else if (read_coff_file(0, "f.cld") == 0) {
    make_device_current(0);
    for (uint32_t address : {0u, 0x10u, 0x100u, 0xFFFFu}) {
      symbol_text_at(SPACE_P, address);
      coff_line_index_at(address, SPACE_P);
      source_file_at(address, SPACE_X);
    }
  }
  const std::string expression =
      "{" + std::string(reinterpret_cast<const char*>(data), std::min<std::size_t>(size, 300)) + "}";
  if (const auto tree = c_parse(expression.c_str()); tree && c_tree_has_call(tree->root) == 0) {
    c_error_quiet(true);
    c_eval_tree(*tree);
    c_error_quiet(false);
  }
  return 0;
}
