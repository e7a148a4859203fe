// The framework started as sim_main starts it, headless, with the
// application's resource file from WEXLINHOME's build, for the benchmarks
// of the GUI front-end's windows.
#pragma once

#include <benchmark/benchmark.h>

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
#include "frontends/gui/frontend.h"
#include "frontends/gui/road.h"
#include "frontends/gui/session.h"
#include "frontends/gui/session_window.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"

// False without WEXLINHOME or without device 0.
inline bool start_gui_bench() {
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
  gui::install_gui_frontend();
  gui::session_reset();
  index_memory_regions();
  free_all_devices();
  if (create_device(0, "73521") == 0) return false;
  select_device(0);
  shown_device = 0;
  return true;
}

inline void settle_gui_bench() {
  veventMSWDrainMessages();
  veventProcessPending(1, 0);
  veventMSWDrainMessages();
}

// The GUI started with its Session window open; false, with the benchmark
// skipped and the reason said, when either is missing.
inline bool start_session_window_bench(benchmark::State& state) {
  if (!start_gui_bench()) {
    state.SkipWithError("no build in WEXLINHOME, or no device");
    return false;
  }
  gui::register_session_window();
  gui::command_submit("wsession");
  settle_gui_bench();
  if (gui::session_dialog() == nullptr) {
    state.SkipWithError("no Session window");
    return false;
  }
  return true;
}
