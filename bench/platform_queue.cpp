// The platform's message paths, headless: post, peek and dispatch round
// trips, and sends through a two-level subclass chain.
#include <benchmark/benchmark.h>

#include "platform/win.h"

namespace {

win::LRESULT counting(win::HWND, win::UINT message, win::WPARAM wParam, win::LPARAM) {
  static win::WPARAM sum = 0;
  sum += wParam;
  return message == win::WM_USER ? static_cast<win::LRESULT>(sum & 1) : 0;
}

win::WNDPROC innerNext, outerNext;
win::LRESULT inner(win::HWND h, win::UINT m, win::WPARAM w, win::LPARAM l) {
  return win::CallWindowProcA(innerNext, h, m, w, l) + 1;
}
win::LRESULT outer(win::HWND h, win::UINT m, win::WPARAM w, win::LPARAM l) {
  return win::CallWindowProcA(outerNext, h, m, w, l) + 1;
}

win::HWND window() {
  static win::HWND hwnd = [] {
    win::WNDCLASSA wc{};
    wc.lpfnWndProc = counting;
    wc.lpszClassName = "BenchQueue";
    win::RegisterClassA(&wc);
    win::HWND h = win::CreateWindowExA(0, "BenchQueue", "bench", win::WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                       nullptr, nullptr);
    innerNext = reinterpret_cast<win::WNDPROC>(
        win::SetWindowLongPtrA(h, win::GWLP_WNDPROC, reinterpret_cast<win::LONG_PTR>(&inner)));
    outerNext = reinterpret_cast<win::WNDPROC>(
        win::SetWindowLongPtrA(h, win::GWLP_WNDPROC, reinterpret_cast<win::LONG_PTR>(&outer)));
    return h;
  }();
  return hwnd;
}

// One iteration: 100,000 round trips (budget: 50 ms).
void PostPeekDispatch100k(benchmark::State& state) {
  win::HWND h = window();
  win::MSG m;
  for (auto _ : state) {
    for (int i = 0; i < 100000; ++i) {
      win::PostMessageA(h, win::WM_USER, static_cast<win::WPARAM>(i), 0);
      win::PeekMessageA(&m, nullptr, 0, 0, win::PM_REMOVE);
      benchmark::DoNotOptimize(win::DispatchMessageA(&m));
    }
  }
}
BENCHMARK(PostPeekDispatch100k)->Unit(benchmark::kMillisecond);

// One iteration: 1,000,000 sends through the two subclass procedures
// (budget: 50 ms).
void SendThroughSubclasses1M(benchmark::State& state) {
  win::HWND h = window();
  for (auto _ : state) {
    for (int i = 0; i < 1000000; ++i)
      benchmark::DoNotOptimize(win::SendMessageA(h, win::WM_USER, static_cast<win::WPARAM>(i), 0));
  }
}
BENCHMARK(SendThroughSubclasses1M)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
