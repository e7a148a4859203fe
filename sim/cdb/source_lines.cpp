// Source lines written as arguments: "12" in the current source file,
// "prog.c@12" in a named one; list's forms add a file name alone.
#include <cstdint>
#include <string>

#include "sim/cdb/coff.h"
#include "sim/cdb/coff_internal.h"
#include "sim/cdb/source.h"
#include "sim/engine/device/current_device.h"

namespace {

// A decimal number and nothing else.
bool decimal(const std::string& text, uint32_t* out) {
  if (text.empty() || text.size() > 9) return false;
  uint32_t n = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    n = n * 10 + static_cast<uint32_t>(c - '0');
  }
  *out = n;
  return true;
}

bool has_lines(const coff_debug_info* info) {
  return info != nullptr && info->has_symbols() && !info->lines.empty();
}

// The file number of a ".file" symbol; files with the same name share one.
int file_number(const coff_debug_info& info, int file) {
  if (file < 0 || static_cast<uint32_t>(file) >= info.symbol_count) return -1;
  return static_cast<int>(info.symbols[static_cast<std::size_t>(file)].type());
}

int find_file(const coff_debug_info& info, const std::string& name) {
  return name.empty() ? -1 : coff_find_file(info, name, info.symbol_count);
}

}  // namespace

int current_source_file() {
  const coff_debug_info* info = current_debug_info();
  if (info == nullptr || cur_state == nullptr) return -1;
  const int shown = cur_state->view_file;
  if (shown >= 0 && static_cast<uint32_t>(shown) < info->symbol_count &&
      info->symbols[static_cast<std::size_t>(shown)].is_file())
    return shown;
  return coff_file_symbol_at(cur_inst->pc, SPACE_P);
}

int line_address(int file, uint32_t line, uint32_t* address, int* space) {
  const coff_debug_info* info = current_debug_info();
  if (!has_lines(info)) return 0;
  const int number = file_number(*info, file);
  if (number < 0) return 0;
  const coff_line* exact = nullptr;
  const coff_line* above = nullptr;
  for (const coff_line& l : info->lines) {
    if (l.line == 0 || l.line < line) continue;
    if (l.line > line && above != nullptr && above->line <= l.line) continue;
    if (file_number(*info, coff_file_symbol_at(l.address, l.space)) != number) continue;
    if (l.line == line) {
      exact = &l;
      break;
    }
    above = &l;
  }
  const coff_line* found = exact != nullptr ? exact : above;
  if (found == nullptr) return 0;
  *address = found->address;
  *space = found->space;
  return 1;
}

int source_line_location(const char* text, uint32_t* address, int* space) {
  const coff_debug_info* info = current_debug_info();
  if (text == nullptr || !has_lines(info)) return 0;
  const std::string word = text;
  const std::size_t at = word.find('@');
  uint32_t line = 0;
  if (!decimal(at == std::string::npos ? word : word.substr(at + 1), &line)) return 0;
  int file = at == std::string::npos ? -1 : find_file(*info, word.substr(0, at));
  if (file < 0) file = current_source_file();
  return line_address(file, line, address, space) != 0 ? 1 : -1;
}

int list_line_argument(const char* text, int* file, uint32_t* line) {
  if (text == nullptr) return 0;
  std::string word = text;
  if (!word.empty() && word[0] == '@') word.erase(0, 1);
  const coff_debug_info* info = current_debug_info();
  const std::size_t at = word.find('@');
  const std::string name = word.substr(0, at);
  int f = info != nullptr ? find_file(*info, name) : -1;
  uint32_t n = 1;
  if (f < 0 || at != std::string::npos) {
    if (!decimal(at == std::string::npos ? word : word.substr(at + 1), &n)) return 0;
    if (n < 1) n = 1;
  }
  if (!has_lines(info)) return -1;
  if (f < 0) f = current_source_file();
  const int number = file_number(*info, f);
  if (number < 0) return -1;
  const auto count = static_cast<std::size_t>(number) < info->file_lines.size()
                         ? static_cast<uint32_t>(info->file_lines[static_cast<std::size_t>(number)].size())
                         : 0u;
  if (count > 1 && n > count - 1) n = count - 1;
  *file = f;
  *line = n;
  return 1;
}

std::string coff_marker_name(uint32_t symbol) {
  const coff_debug_info* info = current_debug_info();
  if (info == nullptr || symbol == 0 || symbol >= info->symbol_count) return "";
  return string_at(*info, info->symbols[symbol].value());
}
