// The profile reports, in their fixed order, from the tables' counts.
#include <numeric>

#include "sim/prof/profiler.h"

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

}  // namespace

void write_reports(profile_tables& t) {
  if (t.state == TABLES_STARTED) {
    t.writer.print("\r\nNo instructions executed - Static report only\r\n");
    basic_profile(t);
    return;
  }
  basic_profile(t);
  data_references(t);
}
