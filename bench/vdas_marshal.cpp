// Value marshalling, each way: an array of 262,144 Integer values (a typed
// array over C memory, read back into C memory) and a dictionary of 10,000
// string entries (native scraps, read back into native scraps), written
// into a session block and read from it. Times are per whole value.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fw/services/repdef.h"

namespace {

constexpr std::int32_t integerCount = 262144;
constexpr int entryCount = 10000;

struct Block {
  vsessionBlock b;
  Block() { vsessionBlockInitProportional(&b, 2.0f); }
  ~Block() { vsessionBlockRelease(&b); }
  void rewind() { b.head = b.tail = 0; }
};

void write(vsessionBlock* b, vdatatag* d, vinstance* value) {
  _vrepdefScrap* writer = _vrepdefCreateScrap(b, d);
  _vrepdefWrite(writer, value);
  vinstanceDestroy(writer);
}
void read(vsessionBlock* b, vdatatag* d, vinstance* target) {
  _vrepdefScrap* reader = _vrepdefCreateScrap(b, d);
  _vrepdefRead(reader, target);
  vinstanceDestroy(reader);
}

struct Integers {
  vdatatag* array = vdatatagCreate(vdatatagARRAY);
  std::vector<std::int32_t> values;
  vinstance* source;
  Integers() : values(integerCount) {
    vdatatagSetArrayElement(array, vdatatagGetPredefined(vdatatagINTEGER));
    for (std::int32_t i = 0; i < integerCount; ++i) values[static_cast<std::size_t>(i)] = i * 7919 - 1000000;
    source = vdatatagCreateScrapWithValue(array, integerCount, values.data());
  }
  ~Integers() {
    vinstanceDestroy(source);
    vdatatagDestroy(array);
  }
};

void BM_IntegerArrayWrite(benchmark::State& state) {
  Integers ints;
  Block block;
  for (auto _ : state) {
    block.rewind();
    write(&block.b, ints.array, ints.source);
  }
  state.counters["bytes"] = vsessionBlockLength(&block.b);
}
BENCHMARK(BM_IntegerArrayWrite)->Unit(benchmark::kMillisecond);

void BM_IntegerArrayRead(benchmark::State& state) {
  Integers ints;
  Block block;
  write(&block.b, ints.array, ints.source);
  std::uint32_t tail = block.b.tail;
  std::int32_t count = 0;
  void* data = nullptr;
  for (auto _ : state) {
    block.b.head = 0;
    block.b.tail = tail;
    vinstance* target = vdatatagCreateScrapFromArgs(ints.array, &count, &data);
    read(&block.b, ints.array, target);
    vinstanceDestroy(target);
    state.PauseTiming();
    if (count != integerCount || std::memcmp(data, ints.values.data(), ints.values.size() * 4) != 0)
      state.SkipWithError("the integers read back differ");
    vmemFree(data);
    data = nullptr;
    state.ResumeTiming();
  }
}
BENCHMARK(BM_IntegerArrayRead)->Unit(benchmark::kMillisecond);

struct Strings {
  vinstance* source;
  Strings() {
    source = vscrapCreateNative(vscrapGetDictionaryClass());
    for (int i = 0; i < entryCount; ++i) {
      std::string key = "key" + std::to_string(i);
      std::string value = "the value of entry " + std::to_string(i);
      vscrapSetDictionaryElement(vscrapWalk(source), vnameIntern(vscribeCString(key.c_str())),
                                 vscrapCreateNativeString(value.c_str()));
    }
  }
  ~Strings() { vinstanceDestroy(source); }
};

void BM_StringDictionaryWrite(benchmark::State& state) {
  Strings strings;
  Block block;
  for (auto _ : state) {
    block.rewind();
    write(&block.b, _vrepdefGetEncodedDictionary(), strings.source);
  }
  state.counters["bytes"] = vsessionBlockLength(&block.b);
}
BENCHMARK(BM_StringDictionaryWrite)->Unit(benchmark::kMillisecond);

void BM_StringDictionaryRead(benchmark::State& state) {
  Strings strings;
  Block block;
  write(&block.b, _vrepdefGetEncodedDictionary(), strings.source);
  std::uint32_t tail = block.b.tail;
  for (auto _ : state) {
    block.b.head = 0;
    block.b.tail = tail;
    vinstance* target = vscrapCreateNativeTypeable();
    read(&block.b, _vrepdefGetEncodedDictionary(), target);
    state.PauseTiming();
    vinstanceDestroy(target);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_StringDictionaryRead)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
