// The GUI's start-up: "sim73500 --gui=headless" on a macro that quits, a
// whole process from start to exit, against the terminal program on the
// same macro. Each run has a HOME of its own. With SIM_BENCH_CALLGRIND set
// and valgrind on the PATH, one run of each is also counted in host
// instructions (callgrind, the whole process), the figure start-up work is
// judged by; the headless start must stay within 400 M of them.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

constexpr double kInstructionLimit = 400e6;

struct Scratch {
  fs::path dir;
  Scratch() {
    char pattern[] = "/tmp/gui_startup.XXXXXX";
    dir = ::mkdtemp(pattern) ? pattern : "";
    fs::create_directories(dir / "home");
    std::ofstream(dir / "quit.cmd") << "quit\n";
  }
  ~Scratch() {
    std::error_code ignored;
    fs::remove_all(dir, ignored);
  }
  // The command line of one run, in the scratch folder, its output thrown away.
  std::string command(bool gui, const std::string& wrapper = "") const {
    std::string c = "cd '" + dir.string() + "' && HOME='" + (dir / "home").string() + "' " + wrapper + "'" + SIM73500 +
                    "'" + (gui ? " --gui=headless --transcript t.txt" : "") + " quit.cmd </dev/null >/dev/null 2>" +
                    (wrapper.empty() ? "/dev/null" : "err.txt");
    return c;
  }
};

// Host instructions of one whole run under callgrind; 0 when it cannot be
// counted.
double instructions(const Scratch& s, bool gui) {
  const std::string wrapper = "valgrind --tool=callgrind --callgrind-out-file=/dev/null ";
  if (std::system(s.command(gui, wrapper).c_str()) != 0) return 0;
  std::ifstream err(s.dir / "err.txt");
  std::string line;
  double collected = 0;
  while (std::getline(err, line))
    if (auto at = line.find("Collected : "); at != std::string::npos) collected = std::stod(line.substr(at + 12));
  return collected;
}

bool counting() { return std::getenv("SIM_BENCH_CALLGRIND") && std::system("valgrind --version >/dev/null 2>&1") == 0; }

void BM_StartAndQuit(benchmark::State& state) {
  const bool gui = state.range(0) != 0;
  state.SetLabel(gui ? "sim73500 --gui=headless" : "sim73500 (terminal)");
  Scratch s;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const int status = std::system(s.command(gui).c_str());
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    if (status != 0) {
      state.SkipWithError("the run did not end with status 0");
      return;
    }
  }
  if (gui) {
    std::ifstream t(s.dir / "t.txt");
    std::stringstream text;
    text << t.rdbuf();
    if (text.str().find("quit") == std::string::npos) state.SkipWithError("the transcript lacks the macro's quit");
  }
  if (!counting()) return;
  const double counted = instructions(s, gui);
  state.counters["host_instructions"] = counted;
  std::fprintf(stderr, "%s: %.1f M host instructions\n", gui ? "headless GUI" : "terminal", counted / 1e6);
  if (gui && counted > kInstructionLimit) state.SkipWithError("the headless start and quit is over 400 M instructions");
}
BENCHMARK(BM_StartAndQuit)->DenseRange(0, 1)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
BENCHMARK_MAIN();
