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
