// A started window system on the headless platform, and windows opened and
// closed natively the way the window class's Open and Close do it.
#pragma once
#include <gtest/gtest.h>

#include "fw/core/sys.h"
#include "fw/gui/window/msw.h"

struct MSWFixture : ::testing::Test {
  void SetUp() override {
    vsysStartup();  // the task window
    vwindowEnsureStartup();
  }
  static vwindow* open(std::uint16_t decoration, vrect rect, vwindow* parent = nullptr, std::uint16_t flags = 0) {
    vwindow* w = vwindowCreate();
    w->decoration = decoration;
    w->flags |= flags;
    w->rect = rect;
    w->parent = parent;
    vwindowMSWRegisterClass(w);
    w->flags |= vwindowOPEN;
    vwindowMSWShow(w);
    return w;
  }
  static void close(vwindow* w) {
    w->flags &= ~vwindowOPEN;
    vwindowMSWHide(w);
    vwindowMSWCloseNative(w);
  }
};
