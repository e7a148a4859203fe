// Bytes through a tcp channel pair on 127.0.0.1: the client writes 16 KiB
// at a time, the server's bytes arrive in posted receive buffers.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "fw/core/sys.h"
#include "fw/services/vcomm.h"
#include "platform/win.h"

namespace {

constexpr std::size_t kWrite = 16 * 1024;
constexpr std::size_t kReceive = 64 * 1024;
constexpr int kPosted = 4;
constexpr long kQueueLimit = 1 << 20;

struct Pair {
  vcommChannel* listener = nullptr;
  vcommChannel* client = nullptr;
  vcommChannel* server = nullptr;
  std::vector<std::vector<char>> buffers;
  std::size_t received = 0;
  int next = 0;
};
Pair* pair = nullptr;

void post(vcommChannel* c) {
  std::vector<char>& b = pair->buffers[static_cast<std::size_t>(pair->next++ % kPosted)];
  long now = vcommRead(c, b.data(), b.size());
  pair->received += static_cast<std::size_t>(now);
  if (static_cast<std::size_t>(now) == b.size()) post(c);
}

void serverEvents(vcommChannel* c, int event) {
  if (event == vcommEVENT_OPENED) {
    pair->server = c;
    for (int i = 0; i < kPosted; ++i) post(c);
  } else if (event == vcommEVENT_FILLED) {
    pair->received += kReceive;
    post(c);
  }
}

void pumpPending() {
  win::MSG m;
  while (win::PeekMessageA(&m, nullptr, 0, 0, win::PM_REMOVE)) win::DispatchMessageA(&m);
}

void pumpOnce() {
  win::WaitMessage();
  pumpPending();
}

void VcommLoopback(benchmark::State& state) {
  const std::size_t total = static_cast<std::size_t>(state.range(0)) * 1024 * 1024;
  vsysStartup();
  vmoduleContext* context = vmoduleCreateContext();
  Pair p;
  pair = &p;
  p.buffers.assign(kPosted, std::vector<char>(kReceive));
  vcommAddress a;
  vcommAddressInit(&a);
  vcommAddressSetTransport(&a, vnameInternLiteral("tcp"));
  vcommAddressSetLocation(&a, vscribeLiteral("127.0.0.1"));
  vcommAddressSetPort(&a, vscribeLiteral("0"));
  p.listener = vcommListen(&a, serverEvents);
  p.client = vcommChannelCreate();
  vcommAddressCopy(&p.listener->local, &p.client->peer);
  vcommAddressSetLocation(&p.client->peer, vscribeLiteral("127.0.0.1"));
  vcommConnect(p.client);
  while (!p.server) pumpOnce();
  std::vector<char> chunk(kWrite, 'v');
  for (auto _ : state) {
    p.received = 0;
    std::size_t written = 0;
    while (written < total) {
      if (vcommWrite(p.client, chunk.data(), kWrite) >= 0) written += kWrite;
      pumpPending();
      while (p.client->driver->pendingOutput(p.client) > kQueueLimit) pumpOnce();
    }
    // The receive buffers are whole: the last one fills at the end.
    std::size_t expected = total - total % kReceive;
    while (p.received < expected) pumpOnce();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(total));
  vcommChannelDestroy(p.client);
  vcommChannelDestroy(p.server);
  vcommChannelDestroy(p.listener);
  vcommAddressClear(&a);
  vmoduleDestroyContext(context);
  pair = nullptr;
}

}  // namespace

BENCHMARK(VcommLoopback)->Arg(64)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
