// Echo calls of a 1 KiB string over a session between two processes on
// 127.0.0.1: one iteration is one call, its reply and the result read.
// The serving process is forked before either side starts the framework.
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

std::string port;
vsession* session = nullptr;
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

// The serving side: prints its port on fd, serves until killed.
[[noreturn]] void serve(int fd) {
  startFramework();
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
  vserviceSetAttribute(service, key(vsessionTRANSPORT), vsessionTagDatatag(), vnameInternLiteral("tcp"));
  vserviceSetAttribute(service, key(vsessionPORT), vsessionStringDatatag(), "0");
  vserviceSetAttribute(service, key(vsessionLOCATION), vsessionStringDatatag(), "127.0.0.1");
  vserviceSetBegetter(service, static_cast<vserviceBegetterRoot*>(vinstanceCreate(vserviceGetBegetterChannelClass())));
  char text[64] = {};
  vscribeGetStringBounded(vserviceGetAttributeScribe(service, key(vsessionPORT)), text, sizeof text);
  std::string line = std::string(text) + "\n";
  if (write(fd, line.data(), line.size()) < 0) _exit(2);
  close(fd);
  veventProcess();
  _exit(0);
}

void roundTrip(benchmark::State& state) {
  const std::string text(1024, 'k');
  std::vector<double> times;
  times.reserve(static_cast<std::size_t>(state.max_iterations));
  for (auto _ : state) {
    auto begin = std::chrono::steady_clock::now();
    vsessionStatement* st = vsessionStatementCreate();
    vsessionStatementSetSession(st, session);
    vsessionStatementSetOperation(st, echo);
    vsessionStatementSetArgs(st, text.c_str());
    vsessionStatementSend(st);
    vsysTime limit{5, 0};
    if (!vsessionStatementWait(st, &limit) || vsessionStatementGetState(st) != vsessionStatementDONE) {
      state.SkipWithError("no reply");
      vsessionStatementDestroy(st);
      break;
    }
    char* back = nullptr;
    vsessionStatementGetResult(st, &back);
    if (!back || std::strlen(back) != text.size()) state.SkipWithError("wrong reply");
    if (back) vstrDestroy(back);
    vsessionStatementDestroy(st);
    times.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - begin).count());
  }
  if (times.empty()) return;
  std::nth_element(times.begin(), times.begin() + static_cast<std::ptrdiff_t>(times.size() / 2), times.end());
  state.counters["median_us"] = times[times.size() / 2];
}
BENCHMARK(roundTrip)->Unit(benchmark::kMicrosecond)->Iterations(10000);

}  // namespace

int main(int argc, char** argv) {
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
  session = vsessionCreate();
  auto key = vsessionGetAttributeKey;
  vsessionSetAttribute(session, key(vsessionTRANSPORT), vsessionTagDatatag(), vnameInternLiteral("tcp"));
  vsessionSetAttribute(session, key(vsessionLOCATION), vsessionStringDatatag(), "127.0.0.1");
  vsessionSetAttribute(session, key(vsessionPORT), vsessionStringDatatag(), port.c_str());
  vsessionOpen(session);
  echo = echoSignature();
  int status = 0;
  if (session->flags & vsessionOPEN) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
  } else {
    std::fprintf(stderr, "vdas_roundtrip: the session did not open\n");
    status = 1;
  }
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  return status;
}
