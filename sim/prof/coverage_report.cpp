// The code coverage listing: each source file's lines, code lines with the
// counters of their instructions, disassembly where the source is missing.
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "sim/engine/device/current_device.h"
#include "sim/prof/report_parts.h"

namespace {

constexpr std::size_t INCLUDE_DEPTH = 16;

// The file an include line names ("" when the line is none).
std::string include_name(const std::string& line) {
  std::size_t at = 0;
  if (!line.empty() && std::isalpha(static_cast<unsigned char>(line[0])) != 0)
    while (at < line.size() && line[at] != ' ' && line[at] != '\t') ++at;
  auto skip = [&] { while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at; };
  skip();
  if (line.compare(at, 7, "include") != 0) return {};
  at += 7;
  skip();
  if (at >= line.size() || (line[at] != '\'' && line[at] != '"')) return {};
  const std::size_t close = line.find(line[at], at + 1);
  return close == std::string::npos ? std::string() : line.substr(at + 1, close - at - 1);
}

struct open_file {
  std::string name;
  const source_text* source;
  bool reconstruct;
  uint32_t next;
};

class coverage {
 public:
  explicit coverage(profile_tables& t)
      : t_(t), w_(t.writer), ops_(*cur_family->profile_ops), nested_(t.source_line_mode >= 0),
        limit_(t.source_line_mode) {}

  void run() {
    t_.code->resort(nested_ ? CMP_CODE_SEQUENCE : CMP_CODE_SOURCE, true);
    if (nested_ && !t_.first_source.empty()) start(t_.first_source);
    std::vector<const code_node*> group;
    auto it = t_.code->begin();
    auto* n = static_cast<const code_node*>(it.next());
    while (n != nullptr && (n->decoded.flags & INSTR_NEW) == 0) {
      group.assign(1, n);
      while ((n = static_cast<const code_node*>(it.next())) != nullptr && (n->decoded.flags & INSTR_NEW) == 0 &&
             same_line(*n, *group.front()))
        group.push_back(n);
      place(group);
    }
    while (!stack_.empty()) finish_top();
    bool any = false;
    for (it = t_.code->begin(); auto* r = static_cast<const code_node*>(it.next());) {
      if ((r->decoded.flags & INSTR_NEW) == 0) continue;
      if (!any) w_.print("Note : new instructions were created during the run\r\n");
      any = true;
      counted_line(*r, -1, false, disassembly(*r));
    }
  }

 private:
  static bool same_line(const code_node& a, const code_node& b) {
    if ((a.file == nullptr) != (b.file == nullptr)) return false;
    return a.line == b.line && (a.file == nullptr || std::strcmp(a.file, b.file) == 0);
  }

  void column(int x) { w_.print_text(std::string(1, REPORT_PS_ONLY) + report_column(x)); }

  std::string disassembly(const code_node& n) const {
    char text[128];
    ops_.disassemble(n.decoded, text, sizeof text);
    return std::string("//") + (std::strlen(text) > 2 ? text + 2 : "");
  }

  void plain_line(uint32_t number, const std::string& text) {
    column(20);
    w_.print("[%04u]%2s", number, "");
    w_.print_text(std::string(1, REPORT_TEXT_ONLY) + report_fill(' ', 38));
    column(260);
    w_.print("%s\r\n", text.c_str());
  }

  // A number field formatted as the text report shows it.
  static std::string field(const char* format, uint32_t value) {
    char text[24];
    std::snprintf(text, sizeof text, format, static_cast<unsigned long>(value));
    return text;
  }

  void number_pair(uint32_t value, uint32_t second, int after) {
    w_.print_text(report_number(4, false, field("%4lu", value)));
    if (second != 0) {
      w_.print_text("/" + report_number(4, true, field("%-4lu", second)));
    } else {
      w_.print("%5s", "");
    }
    w_.print("%*s", after, "");
  }

  void counted_line(const code_node& n, int32_t number, bool join, const std::string& text) {
    column(20);
    if (number >= 0)
      w_.print("[%04u]%2s", static_cast<unsigned>(number), "");
    else
      w_.print("%8s", "");
    column(62);
    if (join)
      w_.print("<join>%2s", "");
    else
      w_.print("%06lX%2s", static_cast<unsigned long>(n.decoded.address), "");
    column(102);
    if (n.loop_cycles != 0)
      w_.print_text(report_number(4, false, field("%4lu", n.loop_cycles)));
    else
      w_.print_text(std::string(1, REPORT_TEXT_ONLY) + "    ");
    w_.print_text(std::string(1, REPORT_TEXT_ONLY) + "  ");
    column(138);
    number_pair(n.cycles, n.stall_cycles, 3);
    column(200);
    number_pair(n.executions, n.cond_passes, 2);
    column(260);
    w_.print("%s\r\n", text.c_str());
  }

  void start(const std::string& name) {
    const source_text& source = profile_source(t_, name);
    if (!source.found)
      prof_message(PROF_NOTE, "Failed to open file %s", name.c_str());
    else if (source.newer)
      prof_message(PROF_NOTE, "Source file %s more recent than executable", name.c_str());
    stack_.push_back({name, &source, !source.usable(), 1});
    w_.print("****** %s file '%s'\r\n", source.usable() ? "START" : "RECONSTRUCT", name.c_str());
  }

  bool on_stack(const std::string& name) const {
    for (const open_file& f : stack_)
      if (f.name == name) return true;
    return false;
  }

  // Prints the top file's lines before `stop`; true when an include line
  // opened another file (which is then the top).
  bool advance(uint32_t stop) {
    open_file& f = stack_.back();
    if (f.reconstruct) return false;
    while (f.next < stop && f.next <= f.source->lines.size()) {
      const std::string& text = f.source->lines[f.next - 1];
      plain_line(f.next++, text);
      if (!nested_ || stack_.size() >= INCLUDE_DEPTH) continue;
      const std::string included = include_name(text);
      if (!included.empty() && !on_stack(included)) {
        start(included);
        return true;
      }
    }
    return false;
  }

  void finish_top() {
    while (advance(UINT32_MAX)) finish_top();
    w_.print("****** END file '%s'\r\n", stack_.back().name.c_str());
    stack_.pop_back();
  }

  void place(const std::vector<const code_node*>& group) {
    const code_node& first = *group.front();
    if (first.file == nullptr) {
      for (const code_node* n : group) counted_line(*n, -1, false, disassembly(*n));
      return;
    }
    for (;;) {
      if (stack_.empty()) start(first.file);
      if (stack_.back().name == first.file) break;
      if (on_stack(first.file) || !nested_) {
        finish_top();
      } else if (!advance(UINT32_MAX)) {
        finish_top();
      }
    }
    while (advance(static_cast<uint32_t>(std::max(first.line, 0)))) {
      // An included file opened: this code belongs further on.
      place(group);
      return;
    }
    open_file& f = stack_.back();
    if (!f.reconstruct && (first.line <= 0 || static_cast<std::size_t>(first.line) > f.source->lines.size())) {
      f.reconstruct = true;
      prof_message(PROF_NOTE, "Failed to read from file %s", f.name.c_str());
    }
    if (f.reconstruct) {
      for (const code_node* n : group) counted_line(*n, -1, false, disassembly(*n));
      return;
    }
    const auto line = static_cast<uint32_t>(first.line);
    const std::string& text = f.source->lines[line - 1];
    if (f.next <= line) f.next = line + 1;
    if (nested_ && group.size() > 1) {
      plain_line(line, text);
      std::size_t shown = 0;
      for (const code_node* n : group) {
        if (limit_ > 0 && shown == static_cast<std::size_t>(limit_)) {
          column(62);
          w_.print("%c%8s", REPORT_TEXT_ONLY, "");
          w_.print("<....>%2s\r\n", "");
          break;
        }
        counted_line(*n, -1, false, disassembly(*n));
        ++shown;
      }
      return;
    }
    code_node sum = first;
    for (std::size_t k = 1; k < group.size(); ++k) {
      sum.executions += group[k]->executions;
      sum.cond_passes += group[k]->cond_passes;
      sum.cycles += group[k]->cycles;
      sum.stall_cycles += group[k]->stall_cycles;
      sum.loop_cycles += group[k]->loop_cycles;
    }
    counted_line(sum, first.line, group.size() > 1, text);
  }

  profile_tables& t_;
  ReportWriter& w_;
  const profile_family_ops& ops_;
  bool nested_;
  int limit_;
  std::vector<open_file> stack_;
};

}  // namespace

void coverage_report(profile_tables& t) {
  ReportWriter& w = t.writer;
  if ((t.flags & PROF_FLAG_COFF_UNREADABLE) != 0) {
    w.print("\r\nCoff file did not read properly - No code coverage report\r\n");
    return;
  }
  w.title("Code Coverage Report");
  w.font(FONT_PUSH, FONT_HELVETICA_BOLD, 6);
  constexpr std::pair<int, const char*> columns[] = {{20, "line no."},     {62, "address"},
                                                     {102, "loop cycles"}, {138, "cycles/stall"},
                                                     {200, "pass/cond_pass"}, {260, "assembly source"}};
  for (const auto& [x, name] : columns) w.print_text(std::string(1, REPORT_PS_ONLY) + report_column(x) + name);
  w.font(FONT_POP);
  w.print("%c\r\n%-8s%-8s%-7s%-12s%-11s%13s\r\n", REPORT_TEXT_ONLY, "line", "address", "loop", "cyc/stall",
          "passes:", "source");
  w.print("%c%-8s%-8s%-7s%-12s%-11s\r\n", REPORT_TEXT_ONLY, "", "", "", "", "all/cond");
  w.print("\r\n");
  coverage(t).run();
}
