// The state file. The writer builds the text and hands it to the shared
// whole-file writer. The reader parses the whole file into
// records of its own first and changes devices only once every value was
// read and checked.
#include "sim/cmd/statefile.h"
#include "sim/cmd/statefile_internal.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cinttypes>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>
#include <unistd.h>

#include "sim/cdb/coff.h"
#include "sim/cmd/breakpoints.h"
#include "sim/cdb/c_parse.h"
#include "sim/cmd/logs.h"
#include "sim/cmd/watch.h"
#include "sim/engine/device/banner.h"
#include "sim/engine/core/core_state.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"
#include "sysio/file_write.h"
#include "sim/engine/device/regaccess.h"
#include "sim/frontend/frontend.h"
#include "sysio/open_nonblocking.h"

namespace {

// The file goes to a temporary name and is renamed when whole, so it never
// needs the in-progress marker (708): only a complete one is written.
constexpr int MARK_COMPLETE = 711;
// The access-log maps saved, in file order: display switches, the further
// display map, output-stream tags, input-stream tags; then the display
// radix of memory words.
constexpr int SAVED_MAPS[4] = {0, 2, 4, 3};
constexpr int SAVED_MAP_COUNT = 5;

template <class Log>
auto& saved_map(Log& log, int k) {
  return k < 4 ? log.maps[SAVED_MAPS[k]] : log.radix_map;
}

void write_region(text_out& out, const device_inst& inst, const device_state& st, int r) {
  const region_mem& mem = inst.regions[r];
  out.header("mem disabled");
  out.put("\n%lx", static_cast<unsigned long>(mem.disabled));
  out.header("memval");
  for (uint32_t w : mem.words) out.put("\n%lx", static_cast<unsigned long>(w));
  out.header("memory display tags");
  for (int m = 0; m < SAVED_MAP_COUNT; ++m) {
    const auto& ranges = saved_map(st.region_logs[r], m).ranges;
    out.put("\n%d", static_cast<int>(ranges.size()));
    for (const range_entry& e : ranges)
      out.put("\n%d %lx %lx", static_cast<int>(e.value), static_cast<unsigned long>(e.low),
              static_cast<unsigned long>(e.high));
  }
}

// Sparse rows, each page from the one at 0 round the ring.
void write_sparse(text_out& out, device_inst& inst, const device_type& t) {
  for (int r = 0; r < t.region_count; ++r) {
    if ((t.regions[r].flags & REGION_SPARSE) == 0) continue;
    mem_page* first = find_mem_page(inst.regions[r].pages, 0);
    long count = 0;
    for (mem_page* p = first; p != nullptr; p = p->next) {
      ++count;
      if (p->next == first) break;
    }
    out.put("\n%ld", count);
    for (mem_page* p = first; count-- > 0; p = p->next) {
      if (p->kind == PAGE_ON_DISK) m_gdisk(&inst, p);
      out.put("\n%lx", static_cast<unsigned long>(p->start));
      out.put("\n%d\n", p->kind == PAGE_UNIFORM ? PAGE_UNIFORM : PAGE_DATA);
      if (p->kind == PAGE_UNIFORM) {
        out.put("%lx ", static_cast<unsigned long>(p->value));
      } else {
        for (uint32_t i = 0; i < PAGE_WORDS; ++i) {
          if (i > 0 && i % 8 == 0) out.text += '\n';
          out.put("%lx ", static_cast<unsigned long>(p->block != nullptr ? p->block[i] : 0));
        }
      }
      out.text += '\n';
    }
  }
}

void write_breakpoints(text_out& out, const device_state& st) {
  int count = 0;
  for (const break_rec* b = st.breakpoints; b != nullptr; b = b->next) ++count;
  out.header("breakpoint count");
  out.put("\n%d", count);
  out.header("breakpoint info");
  for (const break_rec* b = st.breakpoints; b != nullptr; b = b->next) {
    const arg_value& v = b->operands;
    out.put("\n%d %d %d %d\n", b->number, b->kind, static_cast<int>(b->mentions), b->action);
    out.line(b->cond_text);
    out.line(b->command_text);
    out.put("%d %lx %lx %lx %d %d %d %d", b->enabled, static_cast<unsigned long>(v.lo),
            static_cast<unsigned long>(v.hi), static_cast<unsigned long>(v.ext), v.item, v.op,
            v.region, v.device);
    // The operand's address, space and value flags: a memory condition needs them.
    out.put(" %lx %lx %lx", static_cast<unsigned long>(v.addr), static_cast<unsigned long>(v.space),
            static_cast<unsigned long>(v.type));
    // A C condition is compiled again from its text: only the empty-tree mark.
    if (b->kind == BK_C_EXPRESSION) out.text += "\n0";
  }
}

// A C watch's tree is compiled again from its text on loading: the file
// keeps the empty-tree mark and the scope words. The second display word
// is a register's index or a memory word's address.
void write_watches(text_out& out, int d) {
  const watch_list* list = device_watches(d);
  out.header("watch list");
  out.put("\n%d", list != nullptr ? static_cast<int>(list->entries.size()) : 0);
  if (list == nullptr) return;
  for (const watch_entry& e : list->entries) {
    out.put("\n%u\n", e.number);
    out.line(e.text);
    out.put("%d %d %lu %lu", e.kind, e.radix, static_cast<unsigned long>(e.row),
            static_cast<unsigned long>(e.kind == WATCH_MEMORY ? e.address : static_cast<uint32_t>(e.reg)));
    if (e.kind == WATCH_C) out.put("\n0\n%d %d", e.scope_function, e.scope_block);
  }
}

void write_device(text_out& out, int d) {
  out.header("devindex devtype");
  device_inst* inst = device_insts[d];
  device_state* st = device_states[d];
  if (inst == nullptr || st == nullptr) {
    out.put("%d %d\n", d, -1);
    return;
  }
  out.put("%d %d\n", d, inst->type);
  const device_type& t = *device_types[inst->type];
  for (int p = 0; p < t.periph_count; ++p) {
    const periph_class& cls = *t.periphs[p].cls;
    out.header("perattr");
    out.put("\n%lx", static_cast<unsigned long>(st->periph_entries[p].class_word));
    out.header("regattr");
    for (int r = 0; r < cls.reg_count; ++r)
      out.put("\n%lx", static_cast<unsigned long>(st->periph_entries[p].attrs[r]));
    out.header("regval");
    for (int w = 0; w < cls.state_word_count; ++w)
      out.put("\n%lx", static_cast<unsigned long>(inst->periph_state[p][w]));
  }
  for (int r = 0; r < t.region_count; ++r) write_region(out, *inst, *st, r);
  out.header("global signals");
  for (uint32_t w : inst->device_words) out.put("\n%lx", static_cast<unsigned long>(w));
  // The register blocks hold the port and pin words, current and previous.
  out.header("port values");
  for (std::size_t i = 0; i < inst->blocks.size(); ++i)
    out.put(i % REG_BLOCK_WORDS == 0 ? "\n%lx" : " %lx", static_cast<unsigned long>(inst->blocks[i]));
  out.header("reg_exec,reg_cycl,reg_icnt,flg_stat");
  out.put("\n%lx %lx %lx %d %d", static_cast<unsigned long>(inst->pc),
          static_cast<unsigned long>(inst->cycles), static_cast<unsigned long>(inst->instructions),
          static_cast<int>(inst->flags), inst->abort);
  // The device's own time, in which the peripherals keep their last
  // updates, and the profiler's count, as their distances from the count
  // (a file without them, as older files are: none).
  if (inst->time_offset != 0 || inst->cyc_written != 0)
    out.put(" %lx %lx", static_cast<unsigned long>(inst->time_offset), static_cast<unsigned long>(inst->cyc_written));
  out.header("sv_var.stat");
  const std::string& log_name = session_log_path(d);
  out.put("\n%d %lx %lx %d %d %lx", status_line_logging(d), static_cast<unsigned long>(st->asm_address),
          static_cast<unsigned long>(st->dis_next), st->dis_space, st->dis_continue,
          static_cast<unsigned long>(st->run_count));
  out.put(" %d %d %d %d %d %d\n", st->break_number, st->default_radix, st->run_mode, st->running,
          st->last_break_number, log_name.empty() ? 0 : 1);
  out.line(log_name);
  out.header("pathwork");
  out.line(inst->work_dir);
  out.header("counters and history");
  out.put("\n%lx %lx %lx %lx", static_cast<unsigned long>(st->cnt[0]), static_cast<unsigned long>(st->cnt[1]),
          static_cast<unsigned long>(st->cnt[2]), static_cast<unsigned long>(st->cnt[3]));
  out.put(" %lx %d %d ", static_cast<unsigned long>(st->pc_trace_count), static_cast<int>(st->pc_trace_index),
          st->view_mode);
  out.header("histsz and hist log");
  out.put("\n%d\n", static_cast<int>(st->pc_trace.size()));
  for (const auto& e : st->pc_trace)
    out.put("\n%lx %lx %lx", static_cast<unsigned long>(e.pc), static_cast<unsigned long>(e.opcode),
            static_cast<unsigned long>(e.second));
  write_breakpoints(out, *st);
  write_watches(out, d);
  write_host_io(out, *st);
  out.header("win next, head");
  out.put("\n%d %d\n", st->session.newest, st->session.pending);
  out.header("winsz");
  out.put("%d\n", static_cast<int>(st->session.lines.size()));
  for (const auto& l : st->session.lines) out.line(std::string(l.data(), strnlen(l.data(), l.size())));
  out.header("io files and external memory");
  write_streams(out, *st);
  write_sparse(out, *inst, t);
  if (st->debug != nullptr && !st->debug->coff_path.empty()) {
    out.text += "1\n";
    out.line(st->debug->coff_path);
  } else {
    out.text += "0\n^\n";
  }
}

// The folder part of a path with its last '/', or nothing.
std::string folder_of(const char* path) {
  const std::string text(path);
  const std::size_t slash = text.rfind('/');
  return slash == std::string::npos ? std::string() : text.substr(0, slash + 1);
}

// The profiler companion that an existing state file names, or nothing.
std::string companion_named_in(const char* path) {
  // Only a regular file: a FIFO or device named as the output is no older state file.
  std::FILE* file = open_file_nonblocking(path, "rb", false);
  if (file == nullptr) return {};
  char head[1024];
  const std::size_t n = std::fread(head, 1, sizeof head - 1, file);
  std::fclose(file);
  const std::string text(head, n);
  const std::string header = "\n[profiler]\n";
  const std::size_t at = text.find(header);
  if (at == std::string::npos) return {};
  const std::size_t from = at + header.size();
  const std::size_t end = text.find('\n', from);
  if (end == std::string::npos) return {};
  const std::string name = text.substr(from, end - from);
  if (name.size() != 8 || name.compare(0, 2, "pf") != 0 || name.find('/') != std::string::npos) return {};
  return name;
}

bool any_profiled(int first, int last) {
  for (int d = first; d <= last; ++d)
    if (device_states[d] != nullptr && device_states[d]->profile.on) return true;
  return false;
}

}  // namespace

int save_state_file(const char* path, int first, int last, std::string* failure) {
  const int was = cur_device;
  text_out out;
  out.put("%d\n", MARK_COMPLETE);
  out.put("\n[%s]\n", SIM_BANNER);
  out.header("source_path");
  out.put("%d\n", static_cast<int>(search_path.size()));
  out.line(search_path);
  out.header("profiler");
  // The profiler's companion file lies beside the state file; the state
  // file names it without a folder.
  std::string companion;
  if (profiler != nullptr && any_profiled(first, last)) {
    std::string name = folder_of(path) + "pfXXXXXX";
    const int fd = mkstemp(name.data());
    if (fd >= 0) {
      close(fd);
      companion = name;
    }
  }
  out.text += (companion.empty() ? std::string("(null)") : companion.substr(companion.rfind('/') + 1)) + "\n";
  out.header("numdevices");
  out.put("%d\n", last - first + 1);
  for (int d = first; d <= last; ++d) {
    write_device(out, d);
    if (!companion.empty()) profiler->save_state(companion.c_str(), d, d == first ? 0 : 1);
  }
  if (!companion.empty()) profiler->save_state(nullptr, 0, 1);
  out.header("viewdev");
  out.put(" %d\n", was);
  make_device_current(was);
  const std::string replaced = companion_named_in(path);
  const file_write_result written = write_whole_file(path, out.text);
  if (!written.ok()) {
    if (!companion.empty()) std::remove(companion.c_str());
    if (failure != nullptr) *failure = written.message(path);
    return 1;
  }
  // The companion of the state file this one replaced belongs to nothing now.
  if (!replaced.empty() && folder_of(path) + replaced != companion) std::remove((folder_of(path) + replaced).c_str());
  return 0;
}

namespace {


struct parsed_device {
  int number = 0, type = -1;
  std::vector<uint32_t> class_words;
  std::vector<std::vector<uint32_t>> attrs, vals;
  std::vector<uint32_t> disabled;
  std::vector<std::vector<uint32_t>> words;
  std::vector<std::array<std::vector<range_entry>, SAVED_MAP_COUNT>> maps;
  std::vector<uint32_t> device_words, blocks;
  uint32_t pc = 0, cycles = 0, time_offset = 0, cyc_written = 0, instructions = 0, flags = 0;
  int abort = 0;
  uint32_t asm_address = 0, dis_next = 0, run_count = 0;
  int dis_space = 0, dis_continue = 0, running = 0, break_number = 0, radix = 1, run_mode = 0, last_break = 0;
  std::string work_dir;
  int status_logging = 0;
  std::string log_name;  // the open session log
  uint32_t cnt[4] = {}, trace_count = 0;
  int trace_index = 0, view_mode = 0;
  std::vector<device_state::pc_trace_entry> trace;
  std::vector<break_rec> breaks;
  std::vector<watch_entry> watches;
  parsed_host_io host_io;
  int newest = 0, pending = 0;
  std::vector<std::string> lines;
  std::vector<parsed_stream> streams[4];
  std::string sparse_text;  // checked; the engine's page reader takes it
  std::string coff_path;
};

struct parsed_state {
  std::string path;
  std::string companion;
  std::vector<parsed_device> devices;
  int current = 0;
};

void parse_region(text_in& in, parsed_device& pd, const mem_region& region) {
  in.header();
  pd.disabled.push_back(in.hex());
  in.header();
  pd.words.emplace_back();
  in.hex_words(pd.words.back(), region.size);
  in.header();
  auto& maps = pd.maps.emplace_back();
  for (auto& ranges : maps) {
    const int n = in.count();
    for (int i = 0; i < n && in.ok; ++i) {
      range_entry e{};
      e.value = static_cast<uint32_t>(in.dec(0));
      e.low = in.hex();
      e.high = in.hex();
      if (e.low > e.high || (!ranges.empty() && e.low <= ranges.back().high)) in.fail();
      ranges.push_back(e);
    }
  }
}

void parse_breakpoints(text_in& in, parsed_device& pd) {
  in.header();
  const int n = in.count();
  in.header();
  for (int i = 0; i < n && in.ok; ++i) {
    break_rec& b = pd.breaks.emplace_back();
    b.number = in.dec(1);
    b.kind = in.dec(0, BK_KIND_COUNT - 1);
    b.mentions = static_cast<uint32_t>(in.dec(0));
    b.action = in.dec(0, BA_ACTION_COUNT - 1);
    b.cond_text = in.line();
    b.command_text = in.line();
    b.enabled = in.dec(0, 1);
    arg_value& v = b.operands;
    v.lo = in.hex();
    v.hi = in.hex();
    v.ext = in.hex();
    v.item = static_cast<uint16_t>(in.dec(0, UINT16_MAX));
    v.op = static_cast<uint16_t>(in.dec(0, UINT16_MAX));
    v.region = static_cast<uint16_t>(in.dec(0, UINT16_MAX));
    v.device = static_cast<uint16_t>(in.dec(0, UINT16_MAX));
    v.addr = in.hex();
    v.space = in.hex();
    v.type = in.hex();
    if (b.kind == BK_C_EXPRESSION) in.dec(0, 0);
    if (b.cond_text.size() > BREAK_TEXT_MAX) in.fail();
  }
}

void parse_watches(text_in& in, parsed_device& pd, const device_type& t) {
  const int n = in.count();
  uint32_t previous = 0;
  for (int i = 0; i < n && in.ok; ++i) {
    watch_entry& e = pd.watches.emplace_back();
    e.number = static_cast<uint32_t>(in.integer(previous + 1, UINT32_MAX));
    previous = e.number;
    e.text = in.line();
    e.kind = in.dec(WATCH_C, WATCH_FLOAT);
    e.radix = in.dec(-1, 4);
    e.row = static_cast<int>(in.integer(0, INT32_MAX));
    const long second = in.integer(0, UINT32_MAX);
    if (e.kind == WATCH_C) {
      in.dec(0, 0);
      e.scope_function = in.dec();
      e.scope_block = in.dec();
    }
    if (e.kind == WATCH_MEMORY) e.address = static_cast<uint32_t>(second);
    if (e.kind == WATCH_REGISTER) e.reg = static_cast<int>(second);
    const bool fits = e.kind == WATCH_REGISTER ? e.row < t.periph_count && e.reg < t.periphs[e.row].cls->reg_count
                      : e.kind == WATCH_MEMORY ? e.row < t.region_count
                                               : true;
    if (!fits || e.text.size() > WATCH_TEXT_MAX) in.fail();
  }
}

// The pages are checked as the engine's page reader wants them (from page
// 0 up, 16-bit words), which then reads the same text into the device.
void parse_sparse(text_in& in, parsed_device& pd, const device_type& t) {
  const std::size_t begin = in.at;
  for (int r = 0; r < t.region_count; ++r) {
    if ((t.regions[r].flags & REGION_SPARSE) == 0) continue;
    const int n = in.count();
    if (n < 1 || n > static_cast<int>(0x10000 / PAGE_WORDS)) in.fail();
    uint32_t next = 0;
    for (int i = 0; i < n && in.ok; ++i) {
      const uint32_t start = in.hex();
      const int kind = in.dec(PAGE_UNIFORM, PAGE_DATA);
      if (start < next || (i == 0 && start != 0) || start % PAGE_WORDS != 0 || start > 0x10000 - PAGE_WORDS ||
          kind == 3)
        in.fail();
      next = start + PAGE_WORDS;
      for (uint32_t k = 0; k < (kind == PAGE_DATA ? PAGE_WORDS : 1) && in.ok; ++k)
        if (in.hex() > 0xFFFF) in.fail();
    }
  }
  if (in.ok) pd.sparse_text = in.text.substr(begin, in.at - begin);
}

void parse_device(text_in& in, parsed_device& pd) {
  const device_type& t = *device_types[pd.type];
  for (int p = 0; p < t.periph_count; ++p) {
    const periph_class& cls = *t.periphs[p].cls;
    in.header();
    pd.class_words.push_back(in.hex());
    in.header();
    in.hex_words(pd.attrs.emplace_back(), cls.reg_count);
    in.header();
    in.hex_words(pd.vals.emplace_back(), cls.state_word_count);
  }
  for (int r = 0; r < t.region_count; ++r) parse_region(in, pd, t.regions[r]);
  in.header();
  in.hex_words(pd.device_words, t.device_word_count);
  if (pd.device_words.size() > DW_CORE_STATE_CODE && !core_state_code_known(pd.device_words[DW_CORE_STATE_CODE]))
    in.fail();
  in.header();
  in.hex_words(pd.blocks, static_cast<std::size_t>(t.block_count) * 2 * REG_BLOCK_WORDS);
  in.header();
  pd.pc = in.hex();
  pd.cycles = in.hex();
  pd.instructions = in.hex();
  pd.flags = static_cast<uint32_t>(in.dec());
  pd.abort = in.dec();
  if (in.skip_space(), in.at < in.text.size() && in.text[in.at] != '[') {
    pd.time_offset = in.hex();
    pd.cyc_written = in.hex();
  }
  in.header();
  pd.status_logging = in.dec(0, 1);
  pd.asm_address = in.hex();
  pd.dis_next = in.hex();
  pd.dis_space = in.dec(0, SPACE_CODE_COUNT - 1);
  pd.dis_continue = in.dec();
  pd.run_count = in.hex();
  pd.break_number = in.dec();
  pd.radix = in.dec(0, 4);  // by letter: b d f h u
  pd.run_mode = in.dec();
  pd.running = in.dec(0, 1);
  pd.last_break = in.dec();
  const int log_open = in.dec(0, 1);
  pd.log_name = in.line();
  if (log_open == 0) pd.log_name.clear();
  in.header();
  pd.work_dir = in.line();
  if (pd.work_dir.size() >= WORK_DIR_MAX) in.fail();
  in.header();
  for (uint32_t& c : pd.cnt) c = in.hex();
  pd.trace_count = in.hex();
  pd.trace_index = in.dec(0, 31);
  pd.view_mode = in.dec(0, 2);
  in.header();
  const int history = in.count();
  for (int i = 0; i < history && in.ok; ++i) {
    device_state::pc_trace_entry e{};
    e.pc = in.hex();
    e.opcode = in.hex();
    e.second = in.hex();
    if (i < 32) pd.trace.push_back(e);
  }
  parse_breakpoints(in, pd);
  in.header();
  parse_watches(in, pd, t);
  parse_host_io(in, pd.host_io);
  in.header();
  pd.newest = in.dec(0, SESSION_RING_LINES - 1);
  pd.pending = in.dec(0, SESSION_RING_LINES);
  in.header();
  const int lines = in.count();
  for (int i = 0; i < lines && in.ok; ++i) {
    std::string s = in.line();
    if (i < SESSION_RING_LINES) pd.lines.push_back(s.substr(0, SESSION_LINE_BYTES - 1));
  }
  in.header();
  parse_streams(in, pd.streams, t);
  parse_sparse(in, pd, t);
  if (in.dec(0, 1) == 1) {
    pd.coff_path = in.line();
  } else {
    in.line();
  }
}

bool parse_state(const std::string& text, parsed_state& ps) {
  text_in in{text};
  if (in.dec() != MARK_COMPLETE) return false;
  in.header();
  in.header();
  const int length = in.dec(0);
  ps.path = in.line();
  if (length == 0) ps.path.clear();
  in.header();
  std::size_t end = text.find('\n', (in.skip_space(), in.at));
  if (end == std::string::npos) return false;
  ps.companion = text.substr(in.at, end - in.at);
  in.at = end;
  in.header();
  const int count = in.dec(0, DEVICE_MAX);
  bool present[DEVICE_MAX] = {};
  for (int i = 0; i < count && in.ok; ++i) {
    in.header();
    parsed_device& pd = ps.devices.emplace_back();
    pd.number = in.dec(0, DEVICE_MAX - 1);
    pd.type = in.dec(-1, TYPE_COUNT - 1);
    if (!in.ok || device_types[pd.type < 0 ? 0 : pd.type] == nullptr) return false;
    present[pd.number] = pd.type >= 0;
    if (pd.type >= 0) parse_device(in, pd);
  }
  in.header();
  ps.current = in.dec(0, DEVICE_MAX - 1);
  if (!in.ok) return false;
  // The current device must exist once the file is in: saved here, or a
  // slot the file leaves as it is.
  bool named = false;
  for (const parsed_device& pd : ps.devices) named |= pd.number == ps.current;
  return present[ps.current] || (!named && device_insts[ps.current] != nullptr);
}

void apply_breakpoints(parsed_device& pd) {
  for (break_rec& b : pd.breaks) {
    auto rec = new_breakpoint();
    rec->number = b.number;
    rec->kind = b.kind;
    rec->action = b.action;
    rec->command_text = b.command_text;
    rec->enabled = b.enabled;
    rec->operands = b.operands;
    set_break_condition(*rec, b.cond_text.c_str());
    rec->mentions = b.mentions;
    insert_breakpoint(std::move(rec));
  }
}

// After the program's symbols, in which C watches and C conditions find
// their names.
void apply_watches(parsed_device& pd) {
  for (break_rec* b = cur_state->breakpoints; b != nullptr; b = b->next)
    if (b->kind == BK_C_EXPRESSION) b->c_expr = c_parse(b->cond_text.c_str());
  if (pd.watches.empty()) return;
  cur_state->watches = std::make_shared<watch_list>();
  for (watch_entry& e : pd.watches) {
    if (e.kind == WATCH_C) e.tree = c_parse(e.text.c_str());
    cur_state->watches->entries.push_back(std::move(e));
  }
}

void apply_sparse(const parsed_device& pd) {
  if (pd.sparse_text.empty()) return;
  std::FILE* f = fmemopen(const_cast<char*>(pd.sparse_text.data()), pd.sparse_text.size(), "r");
  if (f == nullptr || load_sparse_memory(cur_inst, f) == 0) report_memory_failure("Insufficient memory: dsp_alloc");
  if (f != nullptr) std::fclose(f);
}

// Fills a newly created current device from its parsed record.
void apply_device(parsed_device& pd) {
  const device_type& t = *device_types[pd.type];
  for (int p = 0; p < t.periph_count; ++p) {
    cur_state->periph_entries[p].class_word = pd.class_words[p];
    std::copy(pd.attrs[p].begin(), pd.attrs[p].end(), cur_state->periph_entries[p].attrs);
    std::copy(pd.vals[p].begin(), pd.vals[p].end(), cur_inst->periph_state[p]);
  }
  for (int r = 0; r < t.region_count; ++r) {
    cur_inst->regions[r].disabled = pd.disabled[r];
    cur_inst->regions[r].words = pd.words[r];
    for (int m = 0; m < SAVED_MAP_COUNT; ++m) saved_map(cur_state->region_logs[r], m).ranges = pd.maps[r][m];
  }
  cur_inst->device_words = pd.device_words;
  cur_inst->blocks = pd.blocks;
  cur_inst->pins_changed = 1;
  cur_inst->blocks_changed = 1;
  cur_inst->pc = pd.pc;
  cur_inst->cycles = pd.cycles;
  cur_inst->time_offset = pd.time_offset;
  cur_inst->cyc_written = pd.cyc_written;
  cur_inst->horizon_stale = 1;
  cur_inst->instructions = pd.instructions;
  cur_inst->flags = pd.flags;
  cur_inst->abort = pd.abort;
  cur_inst->work_dir = pd.work_dir;
  device_state& st = *cur_state;
  st.asm_address = pd.asm_address;
  st.dis_next = pd.dis_next;
  st.dis_space = pd.dis_space;
  st.dis_continue = pd.dis_continue;
  st.run_count = pd.run_count;
  st.break_number = pd.break_number;
  st.default_radix = pd.radix;
  st.run_mode = pd.run_mode;
  st.running = pd.running;
  std::copy(std::begin(pd.cnt), std::end(pd.cnt), st.cnt);
  st.pc_trace_count = pd.trace_count;
  st.pc_trace_index = static_cast<uint32_t>(pd.trace_index);
  st.view_mode = pd.view_mode;
  std::copy(pd.trace.begin(), pd.trace.end(), st.pc_trace.begin());
  apply_breakpoints(pd);
  st.last_break_number = pd.last_break;
  st.session.newest = pd.newest;
  st.session.pending = pd.pending;
  for (std::size_t i = 0; i < pd.lines.size() && i < st.session.lines.size(); ++i) {
    auto& l = st.session.lines[i];
    l.fill(0);
    std::copy(pd.lines[i].begin(), pd.lines[i].end(), l.begin());
  }
  apply_sparse(pd);
  apply_streams(pd.streams);
  st.run_plan_stale = 1;
  if (!pd.coff_path.empty() && read_coff_file(pd.number, pd.coff_path.c_str()) != 0)
    error_report("Error reading symbols");
  apply_watches(pd);
  // After the program's symbols, which would set the service's routines.
  apply_host_io(pd.host_io, st);
  if (!pd.log_name.empty() && !reopen_session_log(pd.number, pd.log_name))
    error_report(("{Error opening:" + pd.log_name + "}").c_str());
  set_status_line_logging(pd.number, pd.status_logging);
}

}  // namespace

int load_state_file(const char* path) {
  // A regular file only: a device or FIFO could read without end or wait.
  std::FILE* file = open_file_nonblocking(path, "rb", false);
  if (file == nullptr) return 1;
  std::string text;
  char buf[65536];
  for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, file)) > 0;) text.append(buf, n);
  std::fclose(file);
  auto ps = std::make_unique<parsed_state>();
  if (!parse_state(text, *ps)) return 1;

  search_path = ps->path;
  const bool restore = profiler != nullptr && !ps->companion.empty() && ps->companion[0] != '(';
  if (restore) ps->companion = folder_of(path) + ps->companion;
  bool first = true;
  for (parsed_device& pd : ps->devices) {
    close_session_log(pd.number);
    end_device_profile(pd.number);
    free_device(pd.number);
    if (pd.type >= 0) {
      if (!create_device(pd.number, device_types[pd.type]->name)) {
        free_all_devices();
        create_device(0, device_types[0]->name);
        return 1;
      }
      apply_device(pd);
    }
    if (restore) profiler->restore_state(ps->companion.c_str(), pd.number, first ? 0 : 1);
    first = false;
  }
  if (restore) profiler->restore_state(nullptr, 0, 1);
  select_device(ps->current);
  cur_state->running = 0;
  session_redraw(ps->current);
  return 0;
}
