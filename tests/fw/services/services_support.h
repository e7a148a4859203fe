// A module context per test (its own channel module, drivers and hidden
// socket window), and a message pump with a deadline.
#pragma once
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "fw/core/event.h"
#include "fw/core/sys.h"
#include "fw/data/pref.h"
#include "fw/services/vcomm.h"
#include "platform/net/winsock.h"

struct ServicesTest : ::testing::Test {
  vmoduleContext* context = nullptr;
  void SetUp() override {
    vsysStartup();
    vprefBuildClasses();
    context = vmoduleCreateContext();
  }
  void TearDown() override {
    vmoduleDestroyContext(context);
    win::WinsockSetStartupFailure(0);
  }
  static void setPref(const char* name, const char* value) {
    vprefSetString(vprefGetDefaultDict(), vscribeCString(name), value);
  }
};

// Dispatches messages until done() holds; false after the deadline.
inline bool pumpUntil(const std::function<bool()>& done, int milliseconds = 3000) {
  win::ULONGLONG end = win::GetTickCount64() + static_cast<win::ULONGLONG>(milliseconds);
  win::UINT_PTR tick = win::SetTimer(nullptr, 0, 20, nullptr);
  bool ok = false;
  for (;;) {
    win::MSG m;
    while (win::PeekMessageA(&m, nullptr, 0, 0, win::PM_REMOVE)) win::DispatchMessageA(&m);
    if (done()) {
      ok = true;
      break;
    }
    if (win::GetTickCount64() >= end) break;
    win::WaitMessage();
  }
  win::KillTimer(nullptr, tick);
  return ok;
}

// Runs the framework's event loop until done() holds or the time is up.
inline std::function<bool()>& loopDoneCheck() {
  static std::function<bool()> done;
  return done;
}
inline win::ULONGLONG& loopDeadline() {
  static win::ULONGLONG end = 0;
  return end;
}
inline int checkLoopEvent(vevent* e) {
  if (loopDoneCheck()() || win::GetTickCount64() >= loopDeadline()) {
    veventStopProcessing();
  } else {
    veventPostDelayed(e, 0, 5000000);
  }
  return 1;
}
inline bool runEventsUntil(std::function<bool()> done, int milliseconds = 5000) {
  loopDoneCheck() = std::move(done);
  loopDeadline() = win::GetTickCount64() + static_cast<win::ULONGLONG>(milliseconds);
  veventPost(veventCreateClient(checkLoopEvent, nullptr));
  veventProcess();
  return loopDoneCheck()();
}

// What a raise carried; the chain is restored.
struct Caught {
  const vexClass* cls = nullptr;
  std::string message;
  int errnum = 0;
};
template <class F>
Caught caught(F body) {
  Caught r;
  vexGuard(body, [&](vexHandler& h) {
    vexException* e = vexGetCurrentException();
    r.cls = e->cls;
    r.message = e->message ? e->message : "";
    r.errnum = e->errnum;
    vexSetCurrentException(h.savedChain);
  });
  return r;
}
