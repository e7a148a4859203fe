// save, load and reset: memory blocks to ".lod" text or COFF files,
// programs and their debug information from files, and device resets.
//
// - Commands (`sim/cmd/cmd_file.cpp`): `save` (".lod" text, ".cld" COFF), `load` (the program's
//   words first: a refused program changes nothing and reports "Error reading input file"; then a
//   ".cld" program's debug information, whose failure reports "Error reading symbols" and leaves the
//   device without symbols, since the old ones describe another program), `reset d`/`reset s`.
#include <cctype>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "sim/cdb/coff.h"
#include "sim/cmd/commands.h"
#include "sim/cmd/lexer.h"
#include "sim/cmd/logs.h"
#include "sim/cmd/readers.h"
#include "sim/cmd/statefile.h"
#include "sim/cmd/streams.h"
#include "sim/cmd/view_hooks.h"
#include "sim/cmd/watch.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"
#include "sysio/file_write.h"
#include "sim/engine/periph/periph.h"
#include "sim/engine/device/regaccess.h"
#include "sim/frontend/frontend.h"
#include "sysio/open_nonblocking.h"

namespace {

constexpr const char* const load_form_words[] = {"s", "d", "m", nullptr};
constexpr const char* const mode_words[] = {"m0", "m1", "m2", "m3", "m4", "m5", "m6", "m7", "m8", nullptr};
constexpr uint32_t PROGRAM_MEMORY = 0x1000;
constexpr uint32_t FORMAT_DOUBLE = 0x2;
constexpr std::size_t LOD_WORDS_PER_LINE = 8;

bool ends_with_cld(const std::string& path, bool any_case) {
  if (path.size() <= 4) return false;
  const std::string tail = path.substr(path.size() - 4);
  return any_case ? str_icmp(tail.c_str(), ".cld") == 0 : (tail == ".cld" || tail == ".CLD");
}

void print_literal(const std::string& text) { session_echo(text.c_str(), 1); }

// Index of the file-name token of a save of memory blocks; the option, if
// any, is the last token.
int save_file_token() {
  const command_lexer& lx = *cur_lexer;
  return lx.kind[lx.count] == 'o' ? lx.count - 1 : lx.count;
}

// 1 append, 2 cancel, 3 overwrite, 0 ask.
int file_option(int token) {
  const command_lexer& lx = *cur_lexer;
  if (!lx.has(token) || lx.kind[token] != 'o') return 0;
  return lx.value[token].lo == 0 ? 1 : lx.value[token].lo == 1 ? 2 : 3;
}

// The last address a block's words run to; a count past the top of the
// row's addresses stops at the top.
uint32_t block_end(int token) {
  const command_lexer& lx = *cur_lexer;
  const arg_value& v = lx.value[token];
  const uint32_t mask = cur_type->regions[v.region].addr_mask;
  const uint32_t first = v.lo & mask;
  switch (lx.kind[token]) {
    case 'X': return (v.hi & mask) < first ? mask : v.hi & mask;
    case 'P': return v.hi & mask;
    default: return first;
  }
}

std::string format(const char* fmt, unsigned long a) {
  char text[64];
  std::snprintf(text, sizeof text, fmt, a);
  return text;
}

std::string lod_blocks_text(int file_token) {
  const command_lexer& lx = *cur_lexer;
  const mem_iface& mem = *cur_type->mem;
  uint32_t end_address = cur_type->regions[0].high;
  bool lowered = false;
  for (int t = 2; t < file_token; ++t) {
    const mem_region& region = cur_type->regions[lx.value[t].region];
    const uint32_t start = lx.value[t].lo & region.addr_mask;
    if ((region.flags & PROGRAM_MEMORY) != 0 && start < end_address) {
      end_address = start;
      lowered = true;
    }
  }
  std::string text;
  for (int t = 2; t < file_token; ++t) {
    const mem_region& region = cur_type->regions[lx.value[t].region];
    const uint32_t mask = region.addr_mask;
    const bool wide = (region.format & FORMAT_DOUBLE) != 0;
    uint32_t address = lx.value[t].lo & mask;
    const uint32_t last = block_end(t);
    text += "\n_DATA " + std::string(region.name) + format(" %lx\n", address);
    for (;;) {
      uint32_t word[2] = {0, 0};
      mem.read_word(region.space, address, word);
      text += wide ? format(" %lx", word[0] >> 16) + format(" %lx", word[0] & 0xFFFF)
                   : format(" %lx", word[0]);
      if (address % LOD_WORDS_PER_LINE == LOD_WORDS_PER_LINE - 1) text += "\n";
      if (address == last) break;
      address = (address + 1) & mask;
    }
  }
  text += lowered ? format("\n_END %lx \n", end_address) : "\n_END \n";
  return text;
}

// Where an appended block goes: the start of the last "_end" token (in
// either case) when nothing but its address and blanks follows it, so the
// old end record is replaced; otherwise the end of the file, which is kept
// whole (the reader goes on past an end record, so records after one are
// part of the program).
long long lod_append_offset(std::FILE* file) {
  long long at = 0, token = 0, last_end = -1;
  int length = 0, after_end = 0;
  bool end_word = false, hex_word = false;
  static constexpr char END[] = "_end";
  const auto close_token = [&] {
    if (end_word && length == 4) {
      last_end = token;
      after_end = 0;
    } else if (last_end >= 0 && ++after_end > 1) {
      last_end = -1;
    } else if (last_end >= 0 && !hex_word) {
      last_end = -1;
    }
  };
  for (int c = std::getc(file); c != EOF; c = std::getc(file), ++at) {
    if (std::isspace(c) != 0) {
      if (length > 0) close_token();
      length = 0;
      continue;
    }
    if (length == 0) {
      token = at;
      end_word = true;
      hex_word = true;
    }
    if (length >= 4 || std::tolower(c) != END[length]) end_word = false;
    if (std::isxdigit(c) == 0) hex_word = false;
    if (length < 5) ++length;
  }
  if (length > 0) close_token();
  return last_end >= 0 ? last_end : at;
}

// Appends into the file itself, from its old end record: nothing is made
// beside it. A failed write leaves the file as it was.
// Another session's append waits for the lock from the end record's search
// to the end of the write.
file_write_result append_lod(const std::string& path, const std::string& blocks) {
  std::FILE* file = nullptr;
  for (int held = 0; held == 0;) {
    errno = 0;
    file = open_file_nonblocking(path.c_str(), "r+", true);
    if (file == nullptr)
      return {file_write_result::not_opened, errno != 0 ? error_cause(errno) : std::string("not a regular file"),
              errno != 0 ? errno : EINVAL};
    struct stat info {};
    if (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) {
      // A device or FIFO takes the blocks as they come.
      std::fclose(file);
      return write_whole_file(path, blocks);
    }
    held = lock_for_update(fileno(file), path, stop_pending, stop_poll_ms());
    if (held < 0) {
      const int error = errno;
      std::fclose(file);
      return {file_write_result::not_opened, error_cause(error), error};
    }
    if (held == 0) std::fclose(file);
  }
  const long long at = lod_append_offset(file);
  std::string old_end;
  if (std::fseek(file, static_cast<long>(at), SEEK_SET) == 0) {
    for (int c = std::getc(file); c != EOF; c = std::getc(file)) old_end += static_cast<char>(c);
  }
  file_write_result written = write_file_at(fileno(file), at, blocks, old_end);
  if (std::fclose(file) != 0 && written.ok()) written = {file_write_result::not_written, error_cause(errno), errno};
  return written;
}

void save_state(const char*) {
  const command_lexer& lx = *cur_lexer;
  std::string path;
  if (!make_file_path(cur_inst->work_dir.c_str(), lx.typed(3), ".sim", path)) {
    error_report("Error opening file.");
    return;
  }
  print_literal("Output file:" + path);
  screen_flush();
  if (ask_file_exists(path.c_str(), file_option(4)) < 0) return;
  std::string failure;
  if (save_state_file(path.c_str(), 0, DEVICE_MAX - 1, &failure) != 0) {
    // The writer's own report, then the file that was not written (unless
    // the writer's report names it already, with its cause).
    const std::string named = "Error writing file:" + path;
    if (failure.rfind(named, 0) != 0) {
      if (!failure.empty()) error_report(failure.c_str());
      error_report(named.c_str());
    } else {
      error_report(failure.c_str());
    }
  }
}

void save_memory(const char*) {
  const command_lexer& lx = *cur_lexer;
  const int file_token = save_file_token();
  std::string path;
  if (!make_file_path(cur_inst->work_dir.c_str(), lx.typed(file_token), ".lod", path)) {
    error_report("Error opening file.");
    return;
  }
  print_literal("Output file:" + path);
  screen_flush();
  const int answer = ask_file_exists(path.c_str(), file_option(file_token + 1));
  if (answer < 0) return;
  const bool append = answer == 1;

  if (ends_with_cld(path, true)) {
    std::vector<coff_save_range> ranges;
    for (int t = 2; t < file_token; ++t)
      ranges.push_back({lx.value[t].region, lx.value[t].lo, block_end(t)});
    std::string cause;
    if (!coff_save_memory(path.c_str(), append, ranges, &cause))
      error_report(("Error saving file." + (cause.empty() ? "" : " (" + cause + ")")).c_str());
    return;
  }
  const std::string blocks = lod_blocks_text(file_token);
  const file_write_result written = append ? append_lod(path, blocks) : write_whole_file(path, blocks);
  if (!written.ok()) error_report(written.message(path).c_str());
}

void load_state(const char*) {
  frames_free();
  std::string path;
  find_file_on_path(cur_lexer->typed(3), ".sim", path);
  print_literal("Loading State file:" + path);
  screen_flush();
  if (load_state_file(path.c_str()) != 0) error_report(("Error reading file:" + path).c_str());
}

// Why the last read failed, on its own line before the error.
void print_reason(const std::string& reason) {
  if (!reason.empty()) print_literal(reason);
}

void load_file(bool with_symbols) {
  frames_free();
  const char* name = cur_lexer->typed(cur_lexer->count);
  std::string path;
  if (!find_file_on_path(name, ".lod", path)) find_file_on_path(name, ".cld", path);
  print_literal("Loading file:" + path);
  screen_flush();
  const int device = cur_device;
  // The memory reader refuses a damaged file whole: memory and pc stay.
  if (read_lod_file(device, path.c_str()) == 0) {
    const lod_fault& fault = last_lod_fault();
    if (!fault.reason.empty())
      print_reason(fault.line > 0 ? path + " line " + std::to_string(fault.line) + ": " + fault.reason
                                  : path + ": " + fault.reason);
    error_report("Error reading input file");
    return;
  }
  make_device_current(device);
  if (!with_symbols || !ends_with_cld(path, false)) return;
  const std::shared_ptr<coff_debug_info> before = cur_state->debug;
  auto info = std::make_shared<coff_debug_info>();
  if (read_coff_debug_info(path.c_str(), cur_type->family_code, *info) != 0) {
    print_reason(coff_error_text());
    error_report("Error reading symbols");
    // The program in memory is the new one: the old symbols no longer
    // describe it.
    info.reset();
  }
  install_debug_info(device, std::move(info));
  c_watches_follow_program(before.get());
}

void load_program(const char*) { load_file(true); }
void load_memory(const char*) { load_file(false); }

void load_debug(const char*) {
  frames_free();
  std::string path;
  find_file_on_path(cur_lexer->typed(3), ".cld", path);
  print_literal("Loading Debug info from file:" + path);
  const int device = cur_device;
  const std::shared_ptr<coff_debug_info> before = cur_state->debug;
  if (read_coff_file(device, path.c_str()) != 0) {
    print_reason(coff_error_text());
    error_report("Error reading symbols");
  }
  make_device_current(device);
  c_watches_follow_program(before.get());
  if (current_debug_info() == nullptr || !current_debug_info()->has_symbols()) {
    cur_state->view_mode = 0;
    session_print("{No Debug Info}", 1);
  }
}

int chosen_mode() {
  const command_lexer& lx = *cur_lexer;
  return lx.has(3) ? static_cast<int>(lx.value[3].lo) : -1;
}

// The call frames described the registers and stacks a reset replaces.
void reset_registers(const char*) {
  reset_peripherals(1, chosen_mode());
  reset_run_flags();
  frames_free();
}

void reset_state(const char*) {
  close_all_logs();
  // The streams go now, so that their files are closed at once.
  for (io_stream*& head : cur_state->streams) free_streams(&head, "", 1);
  reset_device(cur_device, chosen_mode());
  reset_run_flags();
  frames_free();
}

constexpr action_record save_state_record{save_state, 0};
constexpr action_record save_memory_record{save_memory, 0};
constexpr action_record load_state_record{load_state, 0};
constexpr action_record load_program_record{load_program, 0};
constexpr action_record load_memory_record{load_memory, 0};
constexpr action_record load_debug_record{load_debug, 0};
constexpr action_record reset_registers_record{reset_registers, 0};
constexpr action_record reset_state_record{reset_state, 0};

// An option ends the line; nothing may follow it.
bool optional_file_option(int i) {
  if (!cur_lexer->has(i)) return check_no_more_args(i) != 0;
  if (match_keyword_list(i, file_option_words, 'o', 3) < 0) return false;
  return check_no_more_args(i + 1) != 0;
}

}  // namespace

const action_record* cmd_save() {
  command_lexer& lx = *cur_lexer;
  if (!need_arg(2)) return nullptr;
  if (std::string(lx.word(2)) == "s") {
    lx.kind[2] = 'j';
    if (!parse_name_arg(3)) return nullptr;
    return optional_file_option(4) ? &save_state_record : nullptr;
  }
  int file = lx.count;
  if (lx.count >= 4) {
    const std::string last = lx.word(lx.count);
    if (last == "-a" || last == "-c" || last == "-o") --file;
  }
  if (file < 3) {
    reader_fail(file + 1, parse_error_messages[ERR_NEED_MORE]);
    return nullptr;
  }
  for (int t = 2; t < file; ++t) {
    if (!parse_memory_block(t)) return nullptr;
  }
  if (!parse_name_arg(file)) return nullptr;
  return optional_file_option(file + 1) ? &save_memory_record : nullptr;
}

const action_record* cmd_load() {
  const command_lexer& lx = *cur_lexer;
  if (!need_arg(2)) return nullptr;
  if (lx.count == 2) {
    parse_name_arg(2);
    return check_no_more_args(3) ? &load_program_record : nullptr;
  }
  const int form = match_keyword_list(2, load_form_words, 'k', 3);
  if (form < 0 || !parse_name_arg(3) || !check_no_more_args(4)) return nullptr;
  static constexpr const action_record* records[] = {&load_state_record, &load_debug_record,
                                                    &load_memory_record};
  return records[form];
}

const action_record* cmd_reset() {
  const int form = match_keyword_list(2, load_form_words, 'k', 2);
  if (form < 0) return nullptr;
  if (cur_lexer->has(3) && match_keyword_list(3, mode_words, 'k', 9) < 0) return nullptr;
  if (!check_no_more_args(cur_lexer->has(3) ? 4 : 3)) return nullptr;
  return form == 0 ? &reset_state_record : &reset_registers_record;
}
