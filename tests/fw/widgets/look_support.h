// Shared helpers of the look tests: a fresh module context with its own
// preferences, and a stand-in for the window layer's calls.
#pragma once
#include <initializer_list>
#include <map>
#include <utility>

#include "fw/core/sys.h"
#include "fw/data/pref.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/application.h"
#include "fw/widgets/look/laf.h"

// Every character 6 wide; ascent 8, descent 2, height 13: measures that
// do not depend on the fonts a machine has.
inline const vfontDriver kSixWide = {
    nullptr,
    [](vfont*, vfixed* w, vfixed* s) { *w = 6 * 65536, *s = 0; },
    [](vfont*, vrectFixed* r) { *r = {0, -2 * 65536, 6 * 65536, 10 * 65536}; },
    [](vfont*) -> vfixed { return 8 * 65536; },
    [](vfont*) -> vfixed { return 2 * 65536; },
    [](vfont*, const char*, int n, vfixed* dx, vfixed* dy) { *dx = n * 6 * 65536, *dy = 0; },
    [](vfont*, const char*, int n, vrectFixed* r) { *r = {0, -2 * 65536, n * 6 * 65536, 10 * 65536}; },
};

// A new module context, current while it lives, with the preferences given;
// the look's process-wide caches go with it.
class FreshContext {
 public:
  explicit FreshContext(std::initializer_list<std::pair<const char*, const char*>> prefs = {}) {
    vmoduleGetDefaultContext();
    vapplicationGetCurrent();  // made, with its class, in the lasting context
    saved_ = vmoduleGetCurrentContext();
    context_ = vmoduleCreateContext();
    vmoduleSetContext(context_);
    for (auto [name, value] : prefs)
      if (value) vprefSetString(vprefGetDefaultDict(), vscribeCString(name), value);
  }
  // The process-wide caches hold objects of this context's classes.
  // The look's block cursor goes with the context's record.
  ~FreshContext() {
    _vdrawShutdown();  // its paths may hold the context's images
    _vlafShutdown();
    vapplication* app = vapplicationGetCurrent();
    vapplicationClassOf(app)->setBlockCursor(app, nullptr);
    vmoduleDestroyContext(context_);
    if (saved_) vmoduleSetContext(saved_);
  }
  FreshContext(const FreshContext&) = delete;
  FreshContext& operator=(const FreshContext&) = delete;

 private:
  vmoduleContext* saved_ = nullptr;
  vmoduleContext* context_ = nullptr;
};

// Installs services whose entries a test sets; the window layer's come back after.
class StandInServices {
 public:
  vlafWindowServices services = vlafGetWindowServices();
  StandInServices() { vlafSetWindowServices(&services); }
  ~StandInServices() { vlafSetWindowServices(nullptr); }
  StandInServices(const StandInServices&) = delete;
  StandInServices& operator=(const StandInServices&) = delete;
};
