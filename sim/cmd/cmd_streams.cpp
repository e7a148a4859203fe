// The input and output commands: adding, listing and removing the streams
// of the current device, and terminal input typed into a file.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "sim/cmd/commands.h"
#include "sim/cmd/lexer.h"
#include "sim/cmd/readers.h"
#include "sim/cmd/regfmt.h"
#include "sim/cmd/streams.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"
#include "sim/engine/device/regaccess.h"
#include "sim/frontend/frontend.h"
#include "sysio/open_nonblocking.h"

namespace {

command_lexer& lx() { return *cur_lexer; }

// Where the parts of a checked stream command line stand.
struct stream_line {
  int number = 0;  // "#n", 0 when absent
  bool timed = false;
  bool off_only = false;  // "off" with no item
  int item = 0, target = 0;
  int radix = RADIX_HEX;
  int file_option = 0;  // 0 ask, 1 append, 2 cancel, 3 overwrite
};

stream_line read_line_layout() {
  stream_line l;
  int i = 2;
  if (lx().kind[i] == 'w') l.number = static_cast<int>(lx().value[i++].lo);
  if (std::strcmp(lx().word(i), "off") == 0 && lx().kind[i] == 'j') {
    l.off_only = true;
    return l;
  }
  if (lx().kind[i] == 'j') {
    l.timed = true;
    ++i;
  }
  l.item = i;
  l.target = i + 1;
  for (int k = i + 2; lx().has(k); ++k) {
    if (lx().kind[k] == 'r') l.radix = static_cast<int>(lx().value[k].lo);
    if (lx().kind[k] == 'o') l.file_option = static_cast<int>(lx().value[k].lo) + 1;
  }
  // Radix codes of the option lists: binary, decimal, float, hex, unsigned, string.
  return l;
}

bool is_term(int i) { return lx().kind[i] == 'j' && std::strcmp(lx().word(i), "term") == 0; }

constexpr uint32_t WATCH_IN[2] = {ATTR_IN_STREAM, ATTR_IN_TIMED};
constexpr uint32_t WATCH_OUT[2] = {ATTR_OUT_UNTIMED, ATTR_OUT_TIMED};

// Memory watches are tagged on the concrete row holding the address (and
// with it on its generic row).
void tag_location(int which, const arg_value& v, uint32_t serial) {
  int region = v.region;
  if (cur_type->mem->resolve_space != nullptr) {
    const int concrete = find_memory_region(cur_type->mem->resolve_space(static_cast<int>(v.space), v.addr), v.addr);
    if (concrete >= 0) region = concrete;
  }
  tag_region_address(which, region, v.addr, serial);
}

// Kind and keys from the item token; sets the watches the item needs.
void set_item(io_stream& s, int i, bool timed, bool output) {
  const arg_value& v = lx().value[i];
  switch (lx().kind[i]) {
    case 'H':
      s.kind = SK_HISTORY;
      s.key3 = v.lo;
      install_history_writer();
      break;
    case 'S':
      s.kind = v.op != 0 ? SK_PIN_GROUP : s.radix == RADIX_FRAC ? SK_ANALOG_PIN : SK_PIN;
      s.key2 = v.lo;
      s.key3 = v.hi;
      break;
    case 'U':
      s.kind = SK_PORT;
      s.key1 = v.lo;
      break;
    case 'g':
      s.kind = SK_REGISTER;
      s.key1 = v.region;
      s.key2 = v.item;
      s.key3 = output ? WATCH_OUT[timed] : WATCH_IN[timed];
      periph_attrs(v.region)[v.item] |= s.key3;
      break;
    case 'p':
      s.kind = SK_MEMORY;
      s.key1 = v.space;
      s.key2 = v.addr;
      if (output || !timed) tag_location(output ? 0 : 1, v, s.serial);
      break;
    default:
      s.kind = SK_PERIPH;
      s.key1 = v.region;
      break;
  }
}

// Streams numbered n go from both lists of a direction; then the streams
// of the same item from the chosen list.
int make_room(int first_list, const stream_line& l) {
  if (l.number != 0) {
    free_streams(&cur_state->streams[first_list], "", 2 + l.number);
    free_streams(&cur_state->streams[first_list + 1], "", 2 + l.number);
  }
  const int list = first_list + (l.timed ? 1 : 0);
  free_streams(&cur_state->streams[list], lx().word(l.item), 0);
  return list;
}

io_stream* start_stream(int first_list, const stream_line& l) {
  const int list = make_room(first_list, l);
  const int number = l.number != 0 ? l.number : free_stream_number(first_list);
  io_stream* s = new_stream();
  s->item = lx().word(l.item);
  s->number = number;
  s->radix = l.radix;
  link_stream(list, s);
  return s;
}

void list_streams(int first_list, const char* untimed_format, const char* timed_format) {
  int highest = 0;
  for (int k = first_list; k < first_list + 2; ++k)
    for (const io_stream* s = cur_state->streams[k]; s != nullptr; s = s->next)
      highest = s->number > highest ? s->number : highest;
  for (int n = 1; n <= highest; ++n) {
    for (int k = first_list; k < first_list + 2; ++k) {
      for (const io_stream* s = cur_state->streams[k]; s != nullptr; s = s->next) {
        if (s->number != n) continue;
        char line[SESSION_LINE_BYTES];
        std::snprintf(line, sizeof line, k == first_list ? untimed_format : timed_format, n, s->item.c_str(),
                      s->file_name.c_str());
        session_print(line, 1);
      }
    }
  }
}

void remove_streams(int first_list) {
  const stream_line l = read_line_layout();
  if (l.off_only) {
    const int mode = l.number != 0 ? 2 + l.number : 1;
    free_streams(&cur_state->streams[first_list], "", mode);
    free_streams(&cur_state->streams[first_list + 1], "", mode);
    return;
  }
  free_streams(&cur_state->streams[first_list + (l.timed ? 1 : 0)], lx().word(l.item), 0);
}

// --- input ---------------------------------------------------------------------

void input_list(const char*) {
  list_streams(SL_IN_UNTIMED, "%d. Untimed reads of %s from %s", "%d. Timed   reads of %s from %s");
}

void input_off(const char*) { remove_streams(SL_IN_UNTIMED); }

// A stream on an item fed from another device: no file.
void add_link(const stream_line& l) {
  io_stream* s = start_stream(SL_IN_UNTIMED, l);
  const arg_value& from = lx().value[l.target];
  const arg_value& to = lx().value[l.item];
  s->file_name = lx().word(l.target);
  s->src_device = from.device;
  if (lx().kind[l.item] == 'S') {
    s->kind = SK_PIN_LINK;
    s->key2 = to.lo;
    s->src_address = from.lo;
    return;
  }
  s->kind = SK_MEMORY_LINK;
  s->key1 = to.space;
  s->key2 = to.addr;
  s->src_space = static_cast<int>(from.space);
  s->src_address = from.addr;
  tag_location(1, to, s->serial);
}

void add_input_file(const stream_line& l, const std::string& name, bool found_as_is) {
  std::string path = name;
  if (!found_as_is && !find_file_on_path(name.c_str(), l.timed ? ".tio" : ".io", path)) {
    session_print(("{Error opening:" + name + "}").c_str(), 1);
    return;
  }
  io_stream* s = start_stream(SL_IN_UNTIMED, l);
  s->file_name = path;
  set_item(*s, l.item, l.timed, false);
  if (!open_input_file(*s, l.timed)) {
    session_print(("{Error opening:" + name + "}").c_str(), 1);
    free_streams(&cur_state->streams[l.timed ? SL_IN_TIMED : SL_IN_UNTIMED], "", 2 + s->number);
  }
}

void input_add(const char*) {
  const stream_line l = read_line_layout();
  if (lx().kind[l.target] == 'S' || lx().kind[l.target] == 'p') {
    add_link(l);
    return;
  }
  add_input_file(l, lx().typed(l.target), false);
}

// Lines typed at the terminal go into a new "termNNNN" file, which the
// stream then reads. The file is made exclusively: a name taken meanwhile,
// or a link planted at it, is passed over.
void input_term(const char*) {
  const stream_line l = read_line_layout();
  const char* ext = l.timed ? ".tio" : ".io";
  std::string path;
  int fd = -1;
  for (int n = 0; n <= 9999 && fd < 0; ++n) {
    char name[16];
    std::snprintf(name, sizeof name, "term%04d", n);
    if (!make_file_path(cur_inst->work_dir.c_str(), name, ext, path)) break;
    fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) {
      session_print(("{Error opening:" + path + "}").c_str(), 1);
      return;
    }
  }
  if (fd < 0) {
    error_report("No free terminal input file name");
    return;
  }
  session_print(path.c_str(), 1);
  std::FILE* file = fdopen(fd, "wb");
  if (file == nullptr) {
    close(fd);
    session_print(("{Error opening:" + path + "}").c_str(), 1);
    return;
  }
  gui_help_text("{CR}=store    {^U}=previous line  {^N}=next line  {ESC}=exit terminal input");
  std::vector<std::string> lines;
  for (std::size_t at = 0;;) {
    char buffer[LINE_BUFFER_BYTES] = {};
    const int length = std::snprintf(buffer, sizeof buffer, "%03d Data:", static_cast<int>(at));
    if (at < lines.size()) std::snprintf(buffer + length, sizeof buffer - static_cast<std::size_t>(length), "%s", lines[at].c_str());
    const int key = gui_line_prompt(buffer, length, sizeof buffer);
    if (key == 27) break;
    session_echo(buffer, 1);
    if (at >= lines.size()) lines.resize(at + 1);
    const char* answer = buffer + length;
    while (*answer == ' ') ++answer;
    lines[at] = answer;
    if (key == 21) {
      at = at > 0 ? at - 1 : 0;
    } else {
      ++at;
    }
  }
  gui_help_text(nullptr);
  for (const std::string& line : lines) std::fprintf(file, "%s\n", line.c_str());
  std::fclose(file);
  add_input_file(l, path, true);
}

constexpr action_record input_list_record{input_list, 0};
constexpr action_record input_off_record{input_off, 0};
constexpr action_record input_add_record{input_add, 0};
constexpr action_record input_term_record{input_term, ACTION_INTERACTIVE};

// --- output --------------------------------------------------------------------

void output_list(const char*) {
  more_count = 0;
  list_streams(SL_OUT_UNTIMED, "%d. Untimed writes of %s to   %s", "%d. Timed   writes of %s to   %s");
}

void output_off(const char*) { remove_streams(SL_OUT_UNTIMED); }

void output_add(const char*) {
  const stream_line l = read_line_layout();
  io_stream* s = start_stream(SL_OUT_UNTIMED, l);
  const int list = l.timed ? SL_OUT_TIMED : SL_OUT_UNTIMED;
  s->flag_word = 1;
  set_item(*s, l.item, l.timed, true);
  // A file that cannot be opened leaves the stream writing to the session,
  // and the listing says so.
  s->file_name = "term";
  if (is_term(l.target)) return;
  std::string path;
  if (!make_file_path(cur_inst->work_dir.c_str(), lx().typed(l.target), l.timed ? ".tio" : ".io", path)) {
    error_report("Error opening file.");
    return;
  }
  const int answer = ask_file_exists(path.c_str(), l.file_option);
  if (answer < 0) {
    free_streams(&cur_state->streams[list], s->item.c_str(), 0);
    return;
  }
  // A FIFO that no one reads is refused at once rather than waited for;
  // "-a" appends even to a file that is not there yet.
  s->file = open_file_nonblocking(path.c_str(), answer == 1 || l.file_option == 1 ? "a" : "w", true);
  if (s->file == nullptr) {
    error_report("Error opening file.");
    return;
  }
  s->file_name = path;
}

constexpr action_record output_list_record{output_list, 0};
constexpr action_record output_off_record{output_off, 0};
constexpr action_record output_add_record{output_add, 0};

// --- checks --------------------------------------------------------------------

// An item of a stream command: a memory location, a stream peripheral, a
// port, a pin or pin group, or a register that allows streams this way.
int parse_stream_item(int i, uint32_t access) {
  if (parse_memory_location(i, cur_device) || parse_periph_name(i, true) || parse_port_arg(i) ||
      parse_pin_arg(i, cur_device))
    return 1;
  if (!parse_register_arg(i)) return 0;
  const arg_value& v = lx().value[i];
  if ((cur_type->periphs[v.region].cls->regs[v.item].access & access) != 0) return 1;
  return reader_fail(i, parse_error_messages[ERR_INVALID]);
}

// [#n] then "off", or [t] item: the index after the item, or 0 with
// *off set when the line is "[#n] off", or -1 when the check failed.
int parse_head(uint32_t access, bool history, bool* off) {
  int i = 2;
  if (lx().has(i) && lx().word(i)[0] == '#') {
    if (!parse_hash_number(i)) return -1;
    ++i;
  }
  *off = false;
  if (std::strcmp(lx().word(i), "off") == 0) {
    match_keyword(i, "off");
    *off = true;
    return check_no_more_args(i + 1) ? 0 : -1;
  }
  if (std::strcmp(lx().word(i), "t") == 0 && lx().has(i + 1)) {
    match_keyword(i, "t");
    ++i;
  }
  if (history && match_keyword_list(i, history_words, 'H', 3) >= 0) return i + 1;
  return parse_stream_item(i, access) ? i + 1 : -1;
}

bool radix_option(int i, const char* const* words, int count) {
  return lx().has(i) && match_keyword_list(i, words, 'r', count) >= 0;
}

const action_record* parse_input_cmd() {
  if (check_no_more_args(2)) return &input_list_record;
  bool off = false;
  const int i = parse_head(REG_STREAM_IN, false, &off);
  if (i < 0) return nullptr;
  if (off) return &input_off_record;
  if (match_keyword(i, "off")) return check_no_more_args(i + 1) ? &input_off_record : nullptr;
  const char item_kind = lx().kind[i - 1];
  const bool dv = std::strncmp(lx().word(i), "dv", 2) == 0;
  if ((item_kind == 'S' && lx().value[i - 1].op == 0 && dv && parse_pin_arg(i, cur_device)) ||
      (item_kind == 'p' && dv && parse_device_location(i)))
    return check_no_more_args(i + 1) ? &input_add_record : nullptr;
  const bool term = match_keyword(i, "term") != 0;
  if (!term && !parse_name_arg(i)) return nullptr;
  int k = i + 1;
  if (radix_option(k, input_radix_words, 5)) ++k;
  if (!check_no_more_args(k)) return nullptr;
  return term ? &input_term_record : &input_add_record;
}

const action_record* parse_output_cmd() {
  if (check_no_more_args(2)) return &output_list_record;
  bool off = false;
  const int i = parse_head(REG_STREAM_OUT, true, &off);
  if (i < 0) return nullptr;
  if (off) return &output_off_record;
  if (match_keyword(i, "off")) return check_no_more_args(i + 1) ? &output_off_record : nullptr;
  if (!match_keyword(i, "term") && !parse_name_arg(i)) return nullptr;
  int k = i + 1;
  if (lx().kind[i - 1] != 'H' && radix_option(k, output_radix_words, 6)) ++k;
  if (lx().has(k) && match_keyword_list(k, file_option_words, 'o', 3) >= 0) ++k;
  return check_no_more_args(k) ? &output_add_record : nullptr;
}

}  // namespace

const action_record* cmd_input() { return parse_input_cmd(); }
const action_record* cmd_output() { return parse_output_cmd(); }
