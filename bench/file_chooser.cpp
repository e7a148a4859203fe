// The file chooser's reading of a directory of 10,000 files into a
// column: listing, each name's information and access tests, the type
// and subclass filters, and the sort by the current view (by name, and
// by modification time).
#include <benchmark/benchmark.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "fw/core/sys.h"
#include "fw/widgets/choosers/filechsr.h"
#include "fw/widgets/startup.h"

namespace {

namespace fs = std::filesystem;

struct Fixture {
  fs::path dir;
  vfilechsr* chooser = nullptr;
  vfilechsrDirectory* record = nullptr;
};
Fixture fixture;

void make() {
  char templ[] = "/tmp/filechsr_bench_XXXXXX";
  fixture.dir = mkdtemp(templ);
  // Names out of order, as a directory lists them.
  for (int i = 0; i < 10000; ++i) {
    int n = (i * 7919) % 10000;
    std::FILE* f = std::fopen((fixture.dir / ("File" + std::to_string(n) + ".dat")).c_str(), "w");
    if (f) std::fclose(f);
  }
  fixture.chooser = vfilechsrCreate();
  vfsPath* p = vfsNewPathFromString(fixture.dir.c_str());
  fixture.record = _vfilechsrFindDirectory(fixture.chooser, p);
  vfsFreePath(p);
}

void readColumn(benchmark::State& state, const char* view) {
  vfilechsrSetViewBy(fixture.chooser, vnameInternLiteral(view));
  for (auto _ : state) {
    _vfilechsrReleaseEntries(fixture.record);
    _vfilechsrReadDirectory(fixture.record);
  }
  if (fixture.record->count != 10000) state.SkipWithError("not every file was listed");
}
void byName(benchmark::State& state) { readColumn(state, "Name"); }
void byModified(benchmark::State& state) { readColumn(state, "Modified"); }
BENCHMARK(byName)->Unit(benchmark::kMillisecond);
BENCHMARK(byModified)->Unit(benchmark::kMillisecond);

int run(int argc, char** argv) {
  vwidgetsStartup(argc, argv);
  make();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  vinstanceDestroy(fixture.chooser);
  std::error_code ignored;
  fs::remove_all(fixture.dir, ignored);
  return 0;
}

}  // namespace

int main(int argc, char** argv) { vsysMain(argc, argv, run); }
