// Echo calls of a 1 KiB string over a session between two processes, over
// tcp on 127.0.0.1 and over dde: one at a time (one iteration is one call,
// its reply and the result read) and pipelined (one iteration is a batch
// of calls sent at once, then every reply awaited). The serving process is
// forked before either side starts the framework.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "fw/core/event.h"
#include "fw/core/sys.h"
#include "fw/data/pref.h"
#include "fw/services/service.h"
#include "fw/services/session.h"

namespace {

std::string port, ddeName;
vsession* sessions[2] = {nullptr, nullptr};  // tcp, dde
vsignature* echo = nullptr;

vsignature* echoSignature() {
  auto* sig = static_cast<vsignature*>(vinstanceCreate(vsignatureGetDefaultClass()));
  sig->tag = vnameInternLiteral("echo");
  vsignatureAddDatatags(sig, vdatatagGetPredefined(vdatatagSTRING), nullptr);
  sig->returnValue = vdatatagGetPredefined(vdatatagSTRING);
  return sig;
}

void startFramework() {
  vsysStartup();
  vprefBuildClasses();
  vmoduleCreateContext();
}

// A service offering "echo" on a begetter of the transport.
void offerEcho(const char* transport, const char* where) {
  vservice* service = vserviceCreate();
  vservicePrimitive* p = vservicePrimitiveCreate();
  p->signature = echoSignature();
  p->handler = [](vservicePrimitive* self, vsession*, vinstance* args) -> vinstance* {
    char* text = nullptr;
    vservicePrimitiveGetArgs(self, args, &text);
    vinstance* result =
        vscrapMakeTypeable(vdatatagCreateScrapWithValue(vdatatagGetPredefined(vdatatagSTRING), text ? text : ""));
    if (text) vstrDestroy(text);
    return result;
  };
  vserviceAddPrimitive(service, p);
  auto key = vsessionGetAttributeKey;
  vserviceSetAttribute(service, key(vsessionTRANSPORT), vsessionTagDatatag(), vnameInternLiteral(transport));
  vserviceSetAttribute(service, key(vsessionPORT), vsessionStringDatatag(), where);
  if (std::strcmp(transport, "tcp") == 0)
    vserviceSetAttribute(service, key(vsessionLOCATION), vsessionStringDatatag(), "127.0.0.1");
  vserviceSetBegetter(service, static_cast<vserviceBegetterRoot*>(vinstanceCreate(vserviceGetBegetterChannelClass())));
  if (std::strcmp(transport, "tcp") == 0) {
    char text[64] = {};
    vscribeGetStringBounded(vserviceGetAttributeScribe(service, key(vsessionPORT)), text, sizeof text);
    port = text;
  }
}

// The serving side: prints its tcp port on fd, serves until killed.
[[noreturn]] void serve(int fd) {
  startFramework();
  offerEcho("tcp", "0");
  offerEcho("dde", ddeName.c_str());
  std::string line = port + "\n";
  if (write(fd, line.data(), line.size()) < 0) _exit(2);
  close(fd);
  veventProcess();
  _exit(0);
}

vsessionStatement* sendEcho(vsession* session, const std::string& text) {
  vsessionStatement* st = vsessionStatementCreate();
  vsessionStatementSetSession(st, session);
  vsessionStatementSetOperation(st, echo);
  vsessionStatementSetArgs(st, text.c_str());
  vsessionStatementSend(st);
  return st;
}

// Waits for the reply and checks it; false (with the state told) when wrong.
bool finish(benchmark::State& state, vsessionStatement* st, std::size_t length) {
  vsysTime limit{5, 0};
  bool ok = vsessionStatementWait(st, &limit) && vsessionStatementGetState(st) == vsessionStatementDONE;
  char* back = nullptr;
  if (ok) vsessionStatementGetResult(st, &back);
  if (!back || std::strlen(back) != length) ok = false;
  if (back) vstrDestroy(back);
  vsessionStatementDestroy(st);
  if (!ok) state.SkipWithError("no reply, or a wrong one");
  return ok;
}

void pipelined(benchmark::State& state) {
  vsession* session = sessions[state.range(0)];
  const auto calls = static_cast<std::size_t>(state.range(1));
  const std::string text(1024, 'k');
  std::vector<vsessionStatement*> batch(calls);
  for (auto _ : state) {
    for (auto& st : batch) st = sendEcho(session, text);
    bool ok = true;
    for (auto* st : batch) ok = finish(state, st, text.size()) && ok;
    if (!ok) break;
  }
  state.counters["calls_per_s"] =
      benchmark::Counter(static_cast<double>(state.iterations() * calls), benchmark::Counter::kIsRate);
}
// 10,000 calls in flight at once, and batches of 100.
BENCHMARK(pipelined)
    ->ArgNames({"dde", "calls"})
    ->Args({0, 10000})
    ->Args({1, 10000})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(pipelined)
    ->ArgNames({"dde", "calls"})
    ->Args({0, 100})
    ->Args({1, 100})
    ->Iterations(100)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void roundTrip(benchmark::State& state) {
  vsession* session = sessions[state.range(0)];
  const std::string text(1024, 'k');
  std::vector<double> times;
  times.reserve(static_cast<std::size_t>(state.max_iterations));
  for (auto _ : state) {
    auto begin = std::chrono::steady_clock::now();
    if (!finish(state, sendEcho(session, text), text.size())) break;
    times.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - begin).count());
  }
  if (times.empty()) return;
  state.counters["calls_per_s"] = benchmark::Counter(static_cast<double>(times.size()), benchmark::Counter::kIsRate);
  std::nth_element(times.begin(), times.begin() + static_cast<std::ptrdiff_t>(times.size() / 2), times.end());
  state.counters["median_us"] = times[times.size() / 2];
}
BENCHMARK(roundTrip)->ArgName("dde")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->Iterations(10000)->UseRealTime();

}  // namespace

vsession* openSession(const char* transport, const std::string& where) {
  vsession* s = vsessionCreate();
  auto key = vsessionGetAttributeKey;
  vsessionSetAttribute(s, key(vsessionTRANSPORT), vsessionTagDatatag(), vnameInternLiteral(transport));
  if (std::strcmp(transport, "tcp") == 0)
    vsessionSetAttribute(s, key(vsessionLOCATION), vsessionStringDatatag(), "127.0.0.1");
  vsessionSetAttribute(s, key(vsessionPORT), vsessionStringDatatag(), where.c_str());
  vsessionOpen(s);
  return s;
}

int main(int argc, char** argv) {
  ddeName = "vdasbench" + std::to_string(getpid());
  int p[2];
  if (pipe(p) != 0) return 2;
  pid_t child = fork();
  if (child == 0) {
    close(p[0]);
    serve(p[1]);
  }
  close(p[1]);
  char c;
  while (read(p[0], &c, 1) == 1 && c != '\n') port += c;
  close(p[0]);
  startFramework();
  sessions[0] = openSession("tcp", port);
  sessions[1] = openSession("dde", ddeName);
  echo = echoSignature();
  int status = 0;
  if ((sessions[0]->flags & vsessionOPEN) && (sessions[1]->flags & vsessionOPEN)) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
  } else {
    std::fprintf(stderr, "vdas_roundtrip: a session did not open\n");
    status = 1;
  }
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  return status;
}
