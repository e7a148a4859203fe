// The Session window open while 100,000 lines are printed, then one
// repaint of the window, headless: the whole must stay under 0.5 s.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fw/core/event.h"
#include "fw/data/btree.h"
#include "fw/data/pref.h"
#include "fw/data/vrstore.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/msw.h"
#include "fw/widgets/dialog/dialog.h"
#include "fw/widgets/dialog/itemlist.h"
#include "fw/widgets/look/laf.h"
#include "gui/frontend.h"
#include "gui/road.h"
#include "gui/session.h"
#include "gui/session_window.h"
#include "gui/windows.h"
#include "platform/win/test.h"
#include "sim/engine/device.h"
#include "sim/frontend.h"

namespace {

bool start_framework() {
  const char* home = std::getenv("WEXLINHOME");
  if (home == nullptr) return false;
  vrstoreInstallInterface();
  vmoduleGetDefaultContext();
  vapplication* app = vapplicationGetCurrent();
  vwindowEnsureStartup();
  vapplicationLoadPreferences(app, 0);
  vprefSetString(vprefGetDefaultDict(), vscribeLiteral("laf"), "windows");
  vlafGetCurrent();
  vdialogItemListGetDefaultClass();
  vdialogStartup();
  vfsPath* p = vfsNewPathFromString((std::string(home) + "/lib/sim73500.vr").c_str());
  vresource file = vrstoreOpenFile(p, vbtreeREAD);
  vfsFreePath(p);
  vapplicationClassOf(app)->setResourceFile(app, file);
  return true;
}

void settle() {
  veventMSWDrainMessages();
  veventProcessPending(1, 0);
  veventMSWDrainMessages();
}

void BM_SessionWindowLinesThenRepaint(benchmark::State& state) {
  if (!start_framework()) {
    state.SkipWithError("WEXLINHOME names no build");
    return;
  }
  gui::install_gui_frontend();
  gui::register_session_window();
  gui::session_reset();
  index_memory_regions();
  free_all_devices();
  if (create_device(0, "73521") == 0) {
    state.SkipWithError("no device");
    return;
  }
  select_device(0);
  shown_device = 0;
  gui::command_submit("wsession");
  settle();
  if (gui::session_dialog() == nullptr) {
    state.SkipWithError("no Session window");
    return;
  }
  char lines[64][64];
  for (int i = 0; i < 64; ++i) std::snprintf(lines[i], sizeof lines[i], "p:$%04x  {move} x:(r0)+,a  ; %d", i, i);
  const int count = static_cast<int>(state.range(0));
  double slowest = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i) session_print(lines[i & 63], 1);
    win::UpdateWindow(gui::session_dialog()->native->hwnd);
    settle();
    slowest = std::max(slowest, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  state.counters["slowest_s"] = slowest;
  if (slowest >= 0.5) state.SkipWithError("over 0.5 s");
  state.counters["lines/s"] = benchmark::Counter(static_cast<double>(count) * static_cast<double>(state.iterations()),
                                                 benchmark::Counter::kIsRate);
  gui::window_close_all(-2);
  settle();
  free_all_devices();
}
BENCHMARK(BM_SessionWindowLinesThenRepaint)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
BENCHMARK_MAIN();
