// The profile reports, in their fixed order, from the tables' counts.
#include <algorithm>
#include <cstring>
#include <numeric>
#include <vector>

#include "sim/engine/device/current_device.h"

#include "sim/prof/profiler.h"
#include "sim/prof/report_parts.h"

namespace {

std::string blanks(int n) { return report_fill(' ', n); }

void size_line(ReportWriter& w, const char* name, const std::array<uint32_t, 3>& sizes) {
  const uint32_t sum = sizes[0] + sizes[1] + sizes[2];
  w.print("%-25s: %8u words", name, sum);
  if (sum != 0) w.print(" (X=%u, Y=%u, P=%u)", sizes[0], sizes[1], sizes[2]);
  w.print("\r\n");
}

void basic_profile(profile_tables& t) {
  ReportWriter& w = t.writer;
  w.title("Basic Profile");
  w.print("\r\nStatic\r\n");
  size_line(w, "Initialized data size", t.initialized);
  size_line(w, "Uninitialized data size", t.uninitialized);
  w.print("%-25s: %8u words\r\n", "Code size", t.static_code_words);
  w.print("%-25s: %8u\r\n", "Instructions", t.static_instructions);
  if (t.state != TABLES_RUNNING) return;
  w.print("\r\nDynamic\r\n");
  w.print("%-25s: %8lu cycles\r\n", "Total cycle count", static_cast<unsigned long>(t.total_cycles));
  w.print("%-25s: %8lu cycles\r\n", "Stall cycle count", static_cast<unsigned long>(t.stall_cycles));
  w.print("%-25s: %8u words\r\n", "Code size", t.code_words);
  w.print("%-25s: %8u\r\n", "Instructions", t.instructions);
  w.print("%-25s: %8u\r\n", "Function calls", t.function_calls);
}

void data_references(profile_tables& t) {
  ReportWriter& w = t.writer;
  w.title("Data memory references");
  w.print_text(blanks(10));
  w.print("%-15s%10s%10s\r\n", "Memory", "Read", "Write");
  w.print_text(blanks(10) + report_fill('-', 35) + "\r\n");
  constexpr const char* names[] = {"Internal", "External", "Internal ROM", "External ROM"};
  for (std::size_t k = 0; k < 4; ++k) {
    w.print_text(blanks(10));
    w.print("%-15s%10u", names[k], t.reads[k]);
    if (k < 2) {
      w.print("%10u\r\n", t.writes[k]);
    } else {
      w.print("%8s", "");
      w.print_text(report_fill('-', 2) + "\r\n");
    }
  }
  const auto& u = t.undefined_writes;
  const unsigned long undefined = static_cast<unsigned long>(u[0]) + u[1] + u[2];
  if (undefined > 0)
    w.print("\r\n%lu locations were written without being defined in the object file (X=%u, Y=%u, P=%u)\r\n",
            undefined, u[0], u[1], u[2]);
}

const profile_family_ops& family() { return *cur_family->profile_ops; }

// Column headers in the bold fixed font at the current size.
template <class Print>
void headers(ReportWriter& w, Print print) {
  w.font(FONT_PUSH_FACE, FONT_COURIER_BOLD);
  print();
  w.font(FONT_POP);
}

std::string count_cell(char lead, uint32_t reads, uint32_t writes) {
  char r[16], w[16];
  std::snprintf(r, sizeof r, "%4u", reads);
  std::snprintf(w, sizeof w, "%4u", writes);
  return std::string(1, lead) + report_number(4, false, r) + " " + report_number(4, false, w) + "|";
}

bool code_at(const profile_tables& t, uint32_t address) {
  code_node key;
  key.decoded.address = address;
  ordered_list::iterator it = t.code->begin(&key);
  for (auto* n = static_cast<code_node*>(it.next()); n != nullptr && n->decoded.address == address;
       n = static_cast<code_node*>(it.next()))
    if ((n->decoded.flags & INSTR_NEW) == 0) return true;
  return false;
}

// Reads and writes per address of each data symbol, five addresses a line;
// repeated lines collapse into one "*" line.
void symbol_references(profile_tables& t) {
  ReportWriter& w = t.writer;
  unsigned long reads = 0, writes = 0;
  for (std::size_t k = 0; k < 4; ++k) {
    reads += t.reads[k];
    writes += t.writes[k];
  }
  bool started = false;
  auto it = t.symbols->begin();
  while (auto* sym = static_cast<symbol_entry*>(it.next())) {
    if (sym->space == PROF_SPACE_P && code_at(t, sym->start)) continue;
    if (!started) {
      started = true;
      w.title("Symbol memory references");
      headers(w, [&] {
        w.print("%*s", 22, "symbol+offset");
        w.print_text(blanks(7));
        for (int k = 0; k < 5; ++k) w.print("%5s%5s ", "r", "w");
        w.print_text("\r\n" + report_fill('-', 84) + "\r\n");
      });
    }
    std::string previous;
    bool starred = false;
    for (uint32_t a = sym->start; a < sym->end; a += 5) {
      std::string cells;
      for (uint32_t k = 0; k < 5 && a + k < sym->end; ++k) {
        data_node key;
        key.space = sym->space;
        key.address = a + k;
        const auto* node = static_cast<const data_node*>(t.data->find(&key, FIND_EQUAL));
        const uint32_t r = node != nullptr ? node->reads : 0, wr = node != nullptr ? node->writes : 0;
        cells += count_cell(k == 0 ? '|' : ' ', r, wr);
        reads -= r;
        writes -= wr;
      }
      if (!previous.empty() && cells == previous && sym->end - a > 5) {
        if (!starred) w.print("%*s*\r\n", 22, "");
        starred = true;
        continue;
      }
      previous = cells;
      starred = false;
      w.print("%-23.22s+%-4lu ", sym->name, static_cast<unsigned long>(a - sym->start));
      w.print_text(cells + "\r\n");
    }
  }
  if (started && (reads != 0 || writes != 0))
    w.print("unnamed memory references - %lu reads, %lu writes\r\n", reads, writes);
}

const char* class_name(int c) {
  const char* name = family().class_name(c);
  return name != nullptr ? name : "";
}


float percent(uint32_t part, uint32_t whole) {
  return whole != 0 ? 100.0f * static_cast<float>(part) / static_cast<float>(whole) : 0.0f;
}

std::vector<int> class_indexes() {
  std::vector<int> order(static_cast<std::size_t>(std::min(family().class_count, PROFILE_CLASSES)));
  std::iota(order.begin(), order.end(), 0);
  return order;
}

void occurrence_breakdown(profile_tables& t, bool by_percentage) {
  ReportWriter& w = t.writer;
  const bool executed = t.state == TABLES_RUNNING;
  w.print("\f");
  w.title("Instruction Occurrence Breakdown (%s)", by_percentage ? "sorted by percentage" : "sorted alphabetically");
  headers(w, [&] {
    w.print("%32s", "s t a t i c");
    if (executed) w.print("%20s", "d y n a m i c");
    w.print("\r\n");
    w.print("%2s%-12s%10s%10s", "", "mnemonic", "# occur", "% of 100");
    if (executed) w.print("%10s%10s", "# occur", "% of 100");
    w.print("\r\n");
    w.print_text(report_fill('-', 37) + (executed ? report_fill('-', 20) : "") + "\r\n");
  });
  std::vector<int> order = class_indexes();
  auto by_name = [](int a, int b) { return std::strcmp(class_name(a), class_name(b)) < 0; };
  if (by_percentage)
    std::sort(order.begin(), order.end(), [&](int a, int b) {
      const uint32_t da = t.dynamic_occurrences[static_cast<std::size_t>(a)];
      const uint32_t db = t.dynamic_occurrences[static_cast<std::size_t>(b)];
      return da != db ? da > db : by_name(a, b);
    });
  else
    std::sort(order.begin(), order.end(), by_name);
  bool marked = false;
  if (t.static_instructions != 0 || t.instructions != 0) {
    for (int c : order) {
      const auto k = static_cast<std::size_t>(c);
      if (t.static_occurrences[k] == 0 && t.dynamic_occurrences[k] == 0) continue;
      marked = marked || t.parallel_mark[k] != 0;
      w.print("%c %-12s%10u%10.2f", t.parallel_mark[k] != 0 ? '+' : ' ', class_name(c), t.static_occurrences[k],
              static_cast<double>(percent(t.static_occurrences[k], t.static_instructions)));
      if (executed)
        w.print("%10u%10.2f", t.dynamic_occurrences[k],
                static_cast<double>(percent(t.dynamic_occurrences[k], t.instructions)));
      w.print("\r\n");
    }
  }
  w.print("\r\n%2s%-12s%10u%10.2f", "", "TOTAL", t.static_instructions, 100.0);
  if (executed) w.print("%10u%10.2f", t.instructions, 100.0);
  w.print("\r\n");
  if (marked) w.print("\r\ninstructions marked with '+' allow parallel moves\r\n");
}

uint32_t move_count(uint32_t single, uint32_t twice) { return single + 2 * twice; }

void moves_reports(profile_tables& t) {
  ReportWriter& w = t.writer;
  const bool executed = t.state == TABLES_RUNNING;
  const family_profile_counts& f = t.family;
  w.print("\f");
  if (executed) {
    w.title("Parallel move instruction dynamic breakdown");
    headers(w, [&] {
      w.print_text(blanks(10));
      w.print("%-20s%10s%10s%10s\r\n", "move type", "single", "double", "L space");
      w.print_text(blanks(10) + report_fill('-', 50) + "\r\n");
    });
    constexpr const char* kinds[] = {"unpaired", "paired"};
    for (std::size_t p = 0; p < 2; ++p) {
      w.print_text(blanks(10));
      w.print("%-20s%10u%10u%10u\r\n", kinds[p], f.moves[p][0], f.moves[p][1], f.moves[p][2]);
    }
    w.title("Notes:\r\n 1) 'paired' moves are those executed in parallel with a DALU instruction\r\n 2) moves "
            "that do not allow parallelism were omitted\r\n");
  }
  w.title("Instruction moves breakdown");
  headers(w, [&] {
    w.print("%-9s%27s", "", "s t a t i c");
    if (executed) w.print("%34s", "d y n a m i c");
    w.print("\r\n%-9s%26s", "", "m o v e s");
    if (executed) w.print("%34s", "m o v e s");
    w.print("\r\n%-12s%10s%8s%8s%8s", "mnemonic", "unpaired", "single", "double", "total");
    if (executed) w.print("%10s%8s%8s%8s", "unpaired", "single", "double", "total");
    w.print_text("\r\n" + report_fill('-', 50) + (executed ? report_fill('-', 30) : "") + "\r\n");
  });
  std::vector<int> order = class_indexes();
  std::sort(order.begin(), order.end(), [&f](int a, int b) {
    const auto ka = static_cast<std::size_t>(a), kb = static_cast<std::size_t>(b);
    return move_count(f.class_single[ka], f.class_double[ka]) > move_count(f.class_single[kb], f.class_double[kb]);
  });
  std::array<uint32_t, 6> sums{};
  for (int c : order) {
    const auto k = static_cast<std::size_t>(c);
    if (t.parallel_mark[k] == 0) continue;
    w.print("%-9s%10u%8u%8u%8u", class_name(c), t.static_no_move[k], t.static_single[k], t.static_double[k],
            move_count(t.static_single[k], t.static_double[k]));
    if (executed)
      w.print("%10u%8u%8u%8u", f.class_no_move[k], f.class_single[k], f.class_double[k],
              move_count(f.class_single[k], f.class_double[k]));
    w.print("\r\n");
    const uint32_t row[6] = {t.static_no_move[k], t.static_single[k], t.static_double[k],
                             f.class_no_move[k],  f.class_single[k],  f.class_double[k]};
    for (std::size_t i = 0; i < sums.size(); ++i) sums[i] += row[i];
  }
  w.print("\r\n%-9s%10u%8u%8u%8u", "TOTAL", sums[0], sums[1], sums[2], move_count(sums[1], sums[2]));
  if (executed) w.print("%10u%8u%8u%8u", sums[3], sums[4], sums[5], move_count(sums[4], sums[5]));
  w.print("\r\n");
}

void addressing_modes(profile_tables& t) {
  ReportWriter& w = t.writer;
  mode_name_table names{};
  family().mode_names(names);
  w.print("\f");
  w.title("Dynamic addressing mode breakdown");
  headers(w, [&] {
    w.print_text(blanks(5));
    w.print("%-20s%-30s\r\n", "instruction group", "operand modes");
  });
  const int groups = std::min(family().group_count, PROFILE_GROUPS);
  for (int g = 0; g < groups; ++g) {
    const auto& counts = t.family.modes[static_cast<std::size_t>(g)];
    std::array<int, PROFILE_MODES> order{};
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&counts](int a, int b) {
      return counts[static_cast<std::size_t>(a)] > counts[static_cast<std::size_t>(b)];
    });
    w.print_text(blanks(5));
    w.print("%s ", family().group_names[g]);
    w.font(FONT_PUSH_FACE, FONT_TIMES_ITALIC);
    w.print("%s\r\n", family().group_descriptions[g]);
    w.font(FONT_POP);
    for (int m : order) {
      const char* name = names[static_cast<std::size_t>(g)][static_cast<std::size_t>(m)];
      if (m == 0 || name == nullptr) continue;
      const std::string count = std::to_string(counts[static_cast<std::size_t>(m)]);
      const int dots = 30 - static_cast<int>(std::strlen(name)) - static_cast<int>(count.size());
      w.print_text(blanks(25));
      w.print("%s", name);
      if (dots > 0) w.print_text(report_fill('.', dots));
      w.print("%s\r\n", count.c_str());
    }
    w.print("\r\n");
  }
}

}  // namespace

void write_reports(profile_tables& t) {
  t.function_calls = finish_subroutines(t);
  if (t.state == TABLES_STARTED) {
    t.writer.print("\r\nNo instructions executed - Static report only\r\n");
    basic_profile(t);
    occurrence_breakdown(t, false);
    moves_reports(t);
    return;
  }
  basic_profile(t);
  data_references(t);
  symbol_references(t);
  occurrence_breakdown(t, false);
  occurrence_breakdown(t, true);
  if ((t.flags & PROF_FLAG_UNDECODED) != 0) t.writer.print("Note : P-memory undecoded instructions were detected\r\n");
  moves_reports(t);
  addressing_modes(t);
  subroutine_reports(t);
  try {
    coverage_report(t);
  } catch (const prof_abandon&) {
    t.writer.print("\r\nCode coverage report aborted\r\n");
  }
}
