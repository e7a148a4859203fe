// B-tree records per second against std::map in memory as the reference:
// inserts of N random keys (16-byte keys, 32-byte values) into an empty
// tree, and look-ups of every key; trees in memory and in a file (4096-byte
// pages, the page cache of a file tree). Counter records_per_s.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "fw/data/btree.h"

namespace {

struct Records {
  std::vector<std::string> keys;
  std::string value = std::string(32, 'v');
  explicit Records(std::size_t n) {
    std::mt19937_64 rng(42);
    keys.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
      std::string k(16, '\0');
      for (char& c : k) c = static_cast<char>(rng());
      keys.push_back(std::move(k));
    }
  }
};

// A tree in memory (range(1) 0) or in a fresh file (1).
vbtree* openTree(bool inFile, std::string& file) {
  if (!inFile) return vbtreeOpen(nullptr, vbtreeWRITE, nullptr);
  char name[] = "/tmp/btree_benchXXXXXX";
  int fd = mkstemp(name);
  close(fd);
  file = name;
  vfsPath* p = vfsNewPathFromString(name);
  vbtree* t = vbtreeCreate(p, 0, 4096, nullptr);
  vfsFreePath(p);
  return t;
}

void closeTree(vbtree* t, const std::string& file) {
  vbtreeClose(t);
  if (!file.empty()) std::remove(file.c_str());
}

void BM_BtreeInsert(benchmark::State& state) {
  Records r(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    std::string file;
    vbtree* t = openTree(state.range(1) != 0, file);
    for (const std::string& k : r.keys) vbtreePut(t, k.data(), k.size(), r.value.data(), r.value.size());
    state.PauseTiming();
    closeTree(t, file);
    state.ResumeTiming();
  }
  state.counters["records_per_s"] =
      benchmark::Counter(static_cast<double>(r.keys.size()), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_BtreeFind(benchmark::State& state) {
  Records r(static_cast<std::size_t>(state.range(0)));
  std::string file;
  vbtree* t = openTree(state.range(1) != 0, file);
  for (const std::string& k : r.keys) vbtreePut(t, k.data(), k.size(), r.value.data(), r.value.size());
  std::size_t found = 0;
  for (auto _ : state)
    for (const std::string& k : r.keys) {
      const void* v;
      std::size_t n;
      found += static_cast<std::size_t>(vbtreeFind(t, k.data(), k.size(), &v, &n));
    }
  if (found != r.keys.size() * static_cast<std::size_t>(state.iterations())) state.SkipWithError("a key was lost");
  closeTree(t, file);
  state.counters["records_per_s"] =
      benchmark::Counter(static_cast<double>(r.keys.size()), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_MapInsert(benchmark::State& state) {
  Records r(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    std::map<std::string, std::string> m;
    for (const std::string& k : r.keys) m[k] = r.value;
    benchmark::DoNotOptimize(m);
  }
  state.counters["records_per_s"] =
      benchmark::Counter(static_cast<double>(r.keys.size()), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_MapFind(benchmark::State& state) {
  Records r(static_cast<std::size_t>(state.range(0)));
  std::map<std::string, std::string> m;
  for (const std::string& k : r.keys) m[k] = r.value;
  for (auto _ : state)
    for (const std::string& k : r.keys) benchmark::DoNotOptimize(m.find(k));
  state.counters["records_per_s"] =
      benchmark::Counter(static_cast<double>(r.keys.size()), benchmark::Counter::kIsIterationInvariantRate);
}

}  // namespace

// 1000 records: the smoke run of the tests; 100000: the figures.
BENCHMARK(BM_BtreeInsert)->ArgsProduct({{1000, 100000}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BtreeFind)->ArgsProduct({{1000, 100000}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MapInsert)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MapFind)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
