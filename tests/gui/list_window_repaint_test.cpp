// The Register and Memory windows repaint only what an update changed:
// after a step, a changed register or a scroll, the window on the screen
// must be exactly the window drawn afresh, and differ from before.
#include <gtest/gtest.h>

#include <functional>

#include "fw/widgets/controls/control.h"
#include "frontends/gui/memory_window.h"
#include "frontends/gui/register_window.h"
#include "tests/gui/gui_window_support.h"

namespace {

struct ListWindowRepaint : GuiWindowFixture {
  void SetUp() override {
    GuiWindowFixture::SetUp();
    gui::register_register_window();
    gui::register_memory_window();
  }
  static win::test::Image shown(gui::sim_window* w) {
    win::UpdateWindow(w->window->native->hwnd);
    return win::test::WindowImage(w->window->native->hwnd);
  }
  static win::test::Image drawn_afresh(gui::sim_window* w) {
    win::InvalidateRect(w->window->native->hwnd, nullptr, 1);
    return shown(w);
  }
};

TEST_F(ListWindowRepaint, WhatAnUpdateChangedIsOnTheScreen) {
  struct scenario {
    const char* open;
    int kind;
    std::function<void(gui::sim_window*)> change;
  };
  const scenario scenarios[] = {
      // A few cells: pc, the counters and the register changed.
      {"wregister", gui::SIMWIN_REGISTER,
       [](gui::sim_window*) {
         gui::command_submit("change r0 $123");
         gui::command_submit("step");
       }},
      // Every cell: the grid moves by one row through its bar.
      {"wmemory x", gui::SIMWIN_MEMORY,
       [](gui::sim_window* w) {
         auto* bar = reinterpret_cast<vcontrol*>(
             vdialogFindItem(static_cast<vdialog*>(static_cast<void*>(w->window)), vnameInternLiteral("Mem_Scroll")));
         ASSERT_NE(bar, nullptr);
         vcontrolSetReversedValue(bar, gui::memory_window_columns(w) - 1);
         vdialogNotifyItem(bar, nullptr);
       }},
  };
  for (const scenario& s : scenarios) {
    SCOPED_TRACE(s.open);
    gui::command_submit(s.open);
    settle();
    gui::sim_window* w = gui::window_find(s.kind, 0);
    ASSERT_NE(w, nullptr);
    const win::test::Image before = shown(w);
    s.change(w);
    settle();
    const win::test::Image after = shown(w);
    EXPECT_NE(after.px, before.px) << "the change shows";
    EXPECT_EQ(after.px, drawn_afresh(w).px) << "no cell left as it was drawn before";
    gui::window_close_all(-2);
    settle();
  }
}

}  // namespace
