// The simulator's own windows inside the main window: where they open in
// the document area, and the layout saved at quit bringing the Register,
// Memory, Session and Command windows back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "fw/core/name.h"
#include "fw/data/vresource.h"
#include "fw/data/pref.h"
#include "fw/gui/window/msw.h"
#include "fw/widgets/dialog/dialog.h"
#include "fw/widgets/look/laf.h"
#include "fw/widgets/menus/menu.h"
#include "fw/widgets/menus/menubar.h"
#include "frontends/gui/incell.h"
#include "frontends/gui/layout.h"
#include "frontends/gui/main_window.h"
#include "frontends/gui/memory_window.h"
#include "frontends/gui/register_window.h"
#include "frontends/gui/road.h"
#include "frontends/gui/startup.h"
#include "frontends/gui/windows.h"
#include "platform/win/test.h"
#include "sim/cmd/dispatch.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"
#include "fw/widgets/controls/textitem.h"
#include "fw/widgets/lists/liststr.h"
#include "sim/cmd/regfmt.h"
#include "sim/frontend/frontend.h"
#include "tests/gui_app/front_end_support.h"

namespace {

using namespace front_end_test;

struct DocumentWindows : ::testing::Test {
  void SetUp() override {
    use_real_windows();
    clear_layout();
  }
  void TearDown() override {
    start({});  // closes what the test left open
    clear_layout();
    use_stand_ins();
  }
  static void start_and_settle() {
    start({});
    run_until(7200);  // the default windows at 6 s, the Session window's re-layout 1 s later
  }
  // Rectangles on the screen, top-down as the platform counts.
  static win::RECT document_area_on_screen() {
    win::HWND client = vwindowGetMSWMDIClient(gui::main_window());
    win::RECT c{};
    EXPECT_NE(client, nullptr);
    win::GetClientRect(client, &c);
    win::POINT origin{0, 0};
    win::ClientToScreen(client, &origin);
    return {origin.x, origin.y, origin.x + c.right, origin.y + c.bottom};
  }
  static win::RECT frame_on_screen(const gui::sim_window* record) {
    win::RECT r{};
    win::GetWindowRect(record->window->native->hwnd, &r);
    return r;
  }
  static gui::sim_window* open(const char* line, int kind) {
    gui::command_submit(line);
    run_until(elapsed() + 200);
    gui::sim_window* found = nullptr;
    for (gui::sim_window* r : gui::window_records())
      if (r->kind == kind) found = r;  // the newest
    return found;
  }
};

// With the keyboard in a document window (the Command window), Alt with a
// title's letter drops that title's menu of the main window's drawn bar,
// and Alt alone makes the bar's first title current and then leaves it;
// the document keeps the keyboard.
TEST_F(DocumentWindows, TheDrawnBarHearsAltKeysTypedInADocument) {
  const auto drawn_bar = [](bool drawn) {
    vprefSetString(vprefGetDefaultDict(), vscribeLiteral("nonativemenubar"), drawn ? "1" : "");
    _vlafRebuildCurrent();
    _vmenuChooseLook();
  };
  drawn_bar(true);
  start_and_settle();
  auto* bar = reinterpret_cast<vmenubar*>(
      vdialogFindItem(reinterpret_cast<vdialog*>(gui::main_window()), N("Main_Menu_Bar")));
  ASSERT_NE(bar, nullptr);
  ASSERT_FALSE(vmenubarIsNative(bar));
  gui::sim_window* command = gui::window_find(gui::SIMWIN_COMMAND, -1);
  ASSERT_NE(command, nullptr);
  win::SendMessageA(vwindowGetMSWMDIClient(gui::main_window()), win::WM_MDIACTIVATE,
                    reinterpret_cast<win::WPARAM>(command->window->native->hwnd), 0);
  run_until(elapsed() + 200);
  const win::HWND keys = win::GetFocus();
  ASSERT_NE(keys, nullptr);
  ASSERT_NE(keys, gui::main_window()->native->hwnd) << "the keyboard is in the document";
  win::test::KeyDown(win::VK_MENU);
  win::test::KeyDown('M');
  win::test::KeyUp('M');
  win::test::KeyUp(win::VK_MENU);
  run_until(elapsed() + 200);
  vmenu* modify = vmenubarAt(bar, 2);
  EXPECT_TRUE(vwindowIsOpen(modify)) << "Alt+M drops the Modify menu";
  win::test::KeyDown(win::VK_ESCAPE);
  win::test::KeyUp(win::VK_ESCAPE);
  run_until(elapsed() + 200);
  EXPECT_FALSE(vwindowIsOpen(modify));
  // Alt alone leaves the bar, then makes its first title current.
  for (bool active : {false, true}) {
    win::test::KeyDown(win::VK_MENU);
    win::test::KeyUp(win::VK_MENU);
    run_until(elapsed() + 200);
    EXPECT_EQ((bar->barFlags & vmenubarACTIVE) != 0, active);
  }
  EXPECT_EQ(bar->current, 0);
  win::test::KeyDown(win::VK_MENU);
  win::test::KeyUp(win::VK_MENU);
  run_until(elapsed() + 200);
  EXPECT_EQ(win::GetFocus(), keys) << "the document keeps the keyboard";
  drawn_bar(false);
}

void expect_inside(const win::RECT& outer, const win::RECT& inner, const char* what) {
  EXPECT_GE(inner.left, outer.left) << what;
  EXPECT_GE(inner.top, outer.top) << what << ": the caption under the menu line or palette";
  EXPECT_LE(inner.right, outer.right) << what << ": past the right edge";
  EXPECT_LE(inner.bottom, outer.bottom) << what;
}

// The Session window's codes put it in the area's top left corner, the
// Command window's in its bottom right one; the centred windows and the
// one placed beside its elder stay inside as well.
TEST_F(DocumentWindows, OpenInsideTheDocumentAreaByTheirCodes) {
  start_and_settle();
  ASSERT_NE(gui::main_window(), nullptr);
  const win::RECT area = document_area_on_screen();
  gui::sim_window* session = gui::window_find(gui::SIMWIN_SESSION, -1);
  gui::sim_window* command = gui::window_find(gui::SIMWIN_COMMAND, -1);
  ASSERT_NE(session, nullptr);
  ASSERT_NE(command, nullptr);
  const win::RECT s = frame_on_screen(session), c = frame_on_screen(command);
  expect_inside(area, s, "Session");
  expect_inside(area, c, "Command");
  EXPECT_EQ(s.left, area.left);
  EXPECT_EQ(s.top, area.top);
  EXPECT_EQ(c.right, area.right);
  EXPECT_EQ(c.bottom, area.bottom);

  const std::vector<std::pair<const char*, int>> more{{"wregister ssi0", gui::SIMWIN_REGISTER},
                                                      {"wregister ssi1", gui::SIMWIN_REGISTER},
                                                      {"wmemory x", gui::SIMWIN_MEMORY},
                                                      {"wasm", gui::SIMWIN_ASSEMBLY}};
  for (const auto& [line, kind] : more) {
    gui::sim_window* w = open(line, kind);
    ASSERT_NE(w, nullptr) << line;
    expect_inside(area, frame_on_screen(w), line);
  }
}

// A window placed beside its elder, which the user moved near the area's
// top right corner, is pulled back inside rather than off the edge.
TEST_F(DocumentWindows, APlacementPastTheEdgeIsPulledBackInside) {
  start_and_settle();
  const win::RECT area = document_area_on_screen();
  gui::sim_window* first = open("wregister ssi0", gui::SIMWIN_REGISTER);
  ASSERT_NE(first, nullptr);
  const vrect bounds = gui::document_bounds();
  vrect corner = first->window->rect;
  corner.x = static_cast<std::int16_t>(bounds.width - corner.width - 10);
  corner.y = static_cast<std::int16_t>(bounds.height - corner.height - 30);
  vwindowSetRect(first->window, &corner);
  run_until(elapsed() + 200);
  gui::sim_window* second = open("wregister ssi1", gui::SIMWIN_REGISTER);
  ASSERT_NE(second, nullptr);
  const win::RECT f = frame_on_screen(first), s = frame_on_screen(second);
  EXPECT_EQ(s.right, area.right) << "beside the elder would pass the right edge";
  EXPECT_EQ(s.top, f.top + 25) << "still one step below its elder";
  expect_inside(area, s, "the second Register window");
}

// The user sizes the main window: the document area takes what it gained
// or lost, the status bar spans the new width along the bottom and the
// palette stays under the menu line; a window placed afterwards fits.
TEST_F(DocumentWindows, TheDocumentAreaFollowsTheMainWindowsSize) {
  start_and_settle();
  vwindow* main = gui::main_window();
  ASSERT_NE(main, nullptr);
  auto* d = static_cast<vdialog*>(static_cast<void*>(main));
  vdialogItem* palette = vdialogFindItem(d, N("Win_Palette"));
  vdialogItem* status = vdialogFindItem(d, N("StatusBar"));
  ASSERT_NE(palette, nullptr);
  ASSERT_NE(status, nullptr);
  const int palette_gap = main->rect.height - (palette->rect.y + palette->rect.height);
  vdialogItem* view = vdialogFindItem(d, N("Main_View"));
  ASSERT_NE(view, nullptr);
  const vrect area = view->rect;
  win::RECT frame{};
  win::GetWindowRect(main->native->hwnd, &frame);
  win::SetWindowPos(main->native->hwnd, nullptr, 0, 0, frame.right - frame.left - 300, frame.bottom - frame.top - 200,
                    win::SWP_NOMOVE | win::SWP_NOZORDER | win::SWP_NOACTIVATE);  // as the user sizes it
  run_until(elapsed() + 200);
  EXPECT_EQ(view->rect.width, area.width - 300);
  EXPECT_EQ(view->rect.height, area.height - 200);
  win::RECT client{};
  win::GetWindowRect(vwindowGetMSWMDIClient(main), &client);
  EXPECT_EQ(client.right - client.left, area.width - 300) << "the client follows its item";
  EXPECT_EQ(status->rect.width, main->rect.width);
  EXPECT_EQ(main->rect.height - (palette->rect.y + palette->rect.height), palette_gap);
  gui::sim_window* w = open("wregister ssi0", gui::SIMWIN_REGISTER);
  ASSERT_NE(w, nullptr);
  expect_inside(document_area_on_screen(), frame_on_screen(w), "a Register window after the resize");
}

// Quit with "SavePos" on and start again: the devices, the Register
// window on its peripheral, the Memory window on its region (back at the
// region's start), and every window on its saved rectangle.
TEST_F(DocumentWindows, TheSavedLayoutBringsTheRealWindowsBack) {
  vresourceSetInteger(gui::layout_resources(), N("SavePos"), 1);
  start_and_settle();  // "SavePos" on with nothing saved: the default windows
  gui::command_submit("wsession");
  gui::command_submit("wcommand");
  gui::command_submit("device dv1 73521");
  gui::command_submit("device dv1");
  gui::sim_window* reg = open("wregister win2 ssi1", gui::SIMWIN_REGISTER);
  ASSERT_NE(reg, nullptr);
  const mem_region& region = device_types[device_insts[1]->type]->regions[1];
  char line[96];
  std::snprintf(line, sizeof line, "wmemory win3 %s $%x", region.name, region.low + 0x10);
  gui::sim_window* mem = open(line, gui::SIMWIN_MEMORY);
  ASSERT_NE(mem, nullptr);
  ASSERT_EQ(gui::memory_window_top(mem), region.low + 0x10);
  const vrect moved{30, 40, reg->window->rect.width, reg->window->rect.height};
  vwindowSetRect(reg->window, &moved);
  struct saved {
    int kind, device, number;
    vrect rect;
  };
  std::vector<saved> before;
  for (gui::sim_window* r : gui::window_records())
    if (r->kind != gui::SIMWIN_MAIN && r->kind != gui::SIMWIN_STARTUP)
      before.push_back({r->kind, r->device, r->number, r->window->rect});
  ASSERT_EQ(before.size(), 4U);
  gui::front_end_quit();

  start_and_settle();
  ASSERT_NE(device_insts[1], nullptr);
  for (const saved& s : before) {
    gui::sim_window* r = gui::window_find(s.kind, s.device, s.number);
    ASSERT_NE(r, nullptr) << "kind " << s.kind;
    EXPECT_EQ(r->window->rect.x, s.rect.x) << "kind " << s.kind;
    EXPECT_EQ(r->window->rect.y, s.rect.y) << "kind " << s.kind;
    EXPECT_EQ(r->window->rect.width, s.rect.width) << "kind " << s.kind;
  }
  gui::sim_window* reg_back = gui::window_find(gui::SIMWIN_REGISTER, 1, 2);
  gui::sim_window* mem_back = gui::window_find(gui::SIMWIN_MEMORY, 1, 3);
  ASSERT_NE(reg_back, nullptr);
  ASSERT_NE(mem_back, nullptr);
  EXPECT_STREQ(gui::register_window_view(reg_back)->name, "ssi1");
  EXPECT_EQ(gui::memory_window_view(mem_back)->region, 1);
  EXPECT_EQ(gui::memory_window_top(mem_back), region.low) << "back at the region's start";
}

// A saved layout comes back in one handler: each window is painted as it
// opens, before the next one is made, not all of them once the restore
// ends (on a slow host they would stand unpainted for seconds). Judged by
// the order of the messages, not by any clock.
TEST_F(DocumentWindows, EachRestoredWindowIsPaintedBeforeTheNextOpens) {
  vresourceSetInteger(gui::layout_resources(), N("SavePos"), 1);
  start_and_settle();
  for (const char* line : {"wsession", "wcommand", "wregister win2", "wmemory win3", "wwatch", "wasm"})
    gui::command_submit(line);
  run_until(elapsed() + 200);
  gui::front_end_quit();

  win::test::StartTrace();
  start_and_settle();
  const std::vector<win::test::TraceEntry> trace = win::test::StopTrace();
  struct seen {
    std::size_t first = SIZE_MAX, painted = SIZE_MAX;
  };
  std::vector<std::pair<gui::sim_window*, seen>> restored;
  for (gui::sim_window* r : gui::window_records()) {
    if (r->kind == gui::SIMWIN_MAIN || r->kind == gui::SIMWIN_STARTUP) continue;
    seen s;
    for (std::size_t i = 0; i < trace.size(); ++i) {
      if (trace[i].hwnd != r->window->native->hwnd) continue;
      s.first = std::min(s.first, i);
      if (trace[i].message == win::WM_PAINT) s.painted = std::min(s.painted, i);
    }
    restored.emplace_back(r, s);
  }
  ASSERT_GE(restored.size(), 5U);
  std::sort(restored.begin(), restored.end(), [](const auto& a, const auto& b) { return a.second.first < b.second.first; });
  for (std::size_t n = 0; n + 1 < restored.size(); ++n) {
    ASSERT_NE(restored[n].second.first, SIZE_MAX) << "kind " << restored[n].first->kind;
    EXPECT_LT(restored[n].second.painted, restored[n + 1].second.first)
        << "kind " << restored[n].first->kind << " unpainted when kind " << restored[n + 1].first->kind << " opened";
  }
}

}  // namespace

namespace {

// The distance from an item's top to its window's top, as the framework
// counts (y from the bottom).
int gap_to_top(vwindow* w, const char* tag) {
  vdialogItem* item = vdialogFindItem(static_cast<vdialog*>(static_cast<void*>(w)), N(tag));
  EXPECT_NE(item, nullptr) << tag;
  return item != nullptr ? w->rect.height - (item->rect.y + item->rect.height) : -1;
}

void size_as_the_user(vwindow* w, int dw, int dh) {
  win::RECT frame{};
  win::GetWindowRect(w->native->hwnd, &frame);
  win::SetWindowPos(w->native->hwnd, nullptr, 0, 0, frame.right - frame.left + dw, frame.bottom - frame.top + dh,
                    win::SWP_NOMOVE | win::SWP_NOZORDER | win::SWP_NOACTIVATE);
}

// A layout saved from a main window and a Command window of other sizes
// than they open at comes back laid out for those sizes: the palette under
// the menu line, the prompt under the Command window's caption, at every
// later start.
TEST_F(DocumentWindows, ALayoutOfOtherSizesComesBackLaidOutForThem) {
  vresourceSetInteger(gui::layout_resources(), N("SavePos"), 1);
  start_and_settle();
  gui::command_submit("wsession");
  gui::command_submit("wcommand");
  run_until(elapsed() + 200);
  vwindow* main = gui::main_window();
  gui::sim_window* command = gui::window_find(gui::SIMWIN_COMMAND, -1);
  ASSERT_NE(main, nullptr);
  ASSERT_NE(command, nullptr);
  const int palette_gap = gap_to_top(main, "Win_Palette");
  const int prompt_gap = gap_to_top(command->window, "Command_Prompt");
  size_as_the_user(main, -200, -150);
  size_as_the_user(command->window, 0, 120);
  run_until(elapsed() + 200);
  const vrect main_rect = main->rect, command_rect = command->window->rect;
  ASSERT_EQ(gap_to_top(main, "Win_Palette"), palette_gap);
  ASSERT_EQ(gap_to_top(command->window, "Command_Prompt"), prompt_gap);
  gui::front_end_quit();

  for (int session = 1; session <= 2; ++session) {
    start_and_settle();
    main = gui::main_window();
    command = gui::window_find(gui::SIMWIN_COMMAND, -1);
    ASSERT_NE(main, nullptr);
    ASSERT_NE(command, nullptr);
    EXPECT_EQ(main->rect.width, main_rect.width) << "start " << session;
    EXPECT_EQ(main->rect.height, main_rect.height) << "start " << session;
    EXPECT_EQ(gap_to_top(main, "Win_Palette"), palette_gap) << "start " << session;
    EXPECT_EQ(command->window->rect.height, command_rect.height) << "start " << session;
    EXPECT_EQ(gap_to_top(command->window, "Command_Prompt"), prompt_gap) << "start " << session;
    gui::front_end_quit();
  }
}

}  // namespace

namespace {

// A window command typed in the Command window opens its window without
// taking the keyboard: the next line typed runs as well.
TEST_F(DocumentWindows, AWindowOpenedByATypedCommandLeavesTheKeyboardToTheCommandWindow) {
  start_and_settle();
  gui::sim_window* command = gui::window_find(gui::SIMWIN_COMMAND, -1);
  ASSERT_NE(command, nullptr);
  win::HWND client = vwindowGetMSWMDIClient(gui::main_window());
  win::HWND command_hwnd = command->window->native->hwnd;
  win::SendMessageA(client, win::WM_MDIACTIVATE, reinterpret_cast<win::WPARAM>(command_hwnd), 0);
  win::SetFocus(command_hwnd);
  run_until(elapsed() + 200);
  auto type_line = [](const std::string& line) {
    win::test::Type(line);
    win::test::KeyDown(win::VK_RETURN);
    win::test::KeyUp(win::VK_RETURN);
    run_until(elapsed() + 300);
  };
  type_line("wasm");
  ASSERT_NE(gui::window_find(gui::SIMWIN_ASSEMBLY, 0), nullptr) << "the line ran";
  EXPECT_EQ(reinterpret_cast<win::HWND>(win::SendMessageA(client, win::WM_MDIGETACTIVE, 0, 0)), command_hwnd)
      << "the Command window stays the active document";
  type_line("evaluate 5");
  EXPECT_EQ(newest_line(), "evaluate 5") << "the next line typed reached the Command window";
}

// A value typed in the Register window survives a drag of the window's
// frame: the press on the frame and the sizing keep the edit, the entry
// follows its cell, and Return commits what was typed. A click on another
// row still ends the edit without commit.
TEST_F(DocumentWindows, AnInCellEditLastsThroughADragOfTheWindowsFrame) {
  start_and_settle();
  gui::sim_window* regs = open("wregister", gui::SIMWIN_REGISTER);
  ASSERT_NE(regs, nullptr);
  gui::xincell* list = gui::register_window_list(regs);
  int row = -1;
  for (int r = 0; r < vlistGetRowCount(list->list) && row < 0; ++r)
    if (const char* name = vliststrGetCell(static_cast<vliststr*>(list->list), r, 0); name && std::string(name) == "n1")
      row = r;
  ASSERT_GE(row, 0);
  struct Drag {
    const char* what;
    int from_right, from_bottom, dx, dy;  // the press inside the frame's corner, the pointer's travel
  };
  const Drag drags[] = {{"the bottom-right corner, outwards", 2, 2, 60, 40},
                        {"the bottom-right corner, inwards", 2, 2, -30, -20},
                        {"the right edge", 2, 60, 25, 0}};
  std::uint32_t expected = 0x7000;
  for (const Drag& d : drags) {
    SCOPED_TRACE(d.what);
    gui::incell_edit_cell(list, row, 1);
    ASSERT_TRUE(gui::incell_editing(list));
    run_until(elapsed() + 100);
    ++expected;
    char typed[8];
    std::snprintf(typed, sizeof typed, "$%04x", static_cast<unsigned>(expected));
    win::test::Type(typed);
    run_until(elapsed() + 100);
    const win::RECT before = frame_on_screen(regs);
    const win::POINT corner{before.right - d.from_right, before.bottom - d.from_bottom};
    // All queued before any is handled: the sizing loop reads them itself.
    win::test::MouseMove(corner);
    win::test::MouseDown(corner);
    for (int step = 1; step <= 4; ++step) win::test::MouseMove({corner.x + d.dx * step / 4, corner.y + d.dy * step / 4});
    win::test::MouseUp({corner.x + d.dx, corner.y + d.dy});
    run_until(elapsed() + 200);
    const win::RECT after = frame_on_screen(regs);
    ASSERT_NE(after.right - after.left + 1000 * (after.bottom - after.top),
              before.right - before.left + 1000 * (before.bottom - before.top))
        << "the drag did not size the window";
    ASSERT_TRUE(gui::incell_editing(list)) << "the edit ended";
    vrect cell{};
    vlistviewGetCellRect(list, row, 1, &cell);
    const vrect& entry = list->entry->rect;
    EXPECT_TRUE(entry.x == cell.x && entry.y == cell.y && entry.width == cell.width && entry.height == cell.height)
        << "the entry is not over its cell";
    win::test::KeyDown(win::VK_RETURN);
    win::test::KeyUp(win::VK_RETURN);
    run_until(elapsed() + 300);
    std::uint32_t value = 0;
    ASSERT_TRUE(read_named("n1", &value));
    EXPECT_EQ(value, expected);
    EXPECT_EQ(newest_line(), std::string("change n1 ") + typed);
  }
  // A click on another row's value ends the edit and commits nothing.
  gui::incell_edit_cell(list, row, 1);
  win::test::Type("$1234");
  run_until(elapsed() + 100);
  vrect other{};
  vlistviewGetCellRect(list, row == 0 ? 1 : 0, 1, &other);
  vrect in_window = other;
  vdialogItemListTransformRect(list->owner, &in_window);
  win::POINT p{in_window.x + 4, regs->window->rect.height - 1 - (in_window.y + in_window.height / 2)};
  win::ClientToScreen(regs->window->native->hwnd, &p);
  win::test::Click(p);
  run_until(elapsed() + 300);
  std::uint32_t value = 0;
  ASSERT_TRUE(read_named("n1", &value));
  EXPECT_EQ(value, expected);
  EXPECT_NE(newest_line(), "change n1 $1234");
}

// A window a command opens comes up in front of the other documents,
// whether the line came from a macro or was typed in the Command window
// (which keeps the keyboard).
TEST_F(DocumentWindows, AWindowACommandOpensComesUpInFront) {
  start_and_settle();
  win::HWND client = vwindowGetMSWMDIClient(gui::main_window());
  ASSERT_NE(client, nullptr);
  const auto top_document = [&] {
    for (win::HWND h = win::GetWindow(client, win::GW_CHILD); h; h = win::GetWindow(h, win::GW_HWNDNEXT))
      if (win::IsWindowVisible(h)) return h;
    return win::HWND{};
  };
  struct Case {
    const char* line;
    int kind;
    bool typed;
  };
  const Case cases[] = {{"wregister", gui::SIMWIN_REGISTER, false},
                        {"wmemory x $80", gui::SIMWIN_MEMORY, false},
                        {"wasm", gui::SIMWIN_ASSEMBLY, true},
                        {"wstack", gui::SIMWIN_STACK, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    if (c.typed) {
      gui::sim_window* command = gui::window_find(gui::SIMWIN_COMMAND, -1);
      ASSERT_NE(command, nullptr);
      win::HWND command_hwnd = command->window->native->hwnd;
      win::SendMessageA(client, win::WM_MDIACTIVATE, reinterpret_cast<win::WPARAM>(command_hwnd), 0);
      win::SetFocus(command_hwnd);
      run_until(elapsed() + 200);
      win::test::Type(c.line);
      win::test::KeyDown(win::VK_RETURN);
      win::test::KeyUp(win::VK_RETURN);
      run_until(elapsed() + 300);
    }
    gui::sim_window* opened = c.typed ? nullptr : open(c.line, c.kind);
    for (gui::sim_window* r : gui::window_records())
      if (c.typed && r->kind == c.kind) opened = r;
    ASSERT_NE(opened, nullptr);
    EXPECT_EQ(top_document(), opened->window->native->hwnd) << "the new window is not the top document";
  }
}

// Windows centred by their codes, opened one after another, each leave
// the title bar of every window opened before them (Session and Command
// among them) in sight: a later frame covers no earlier title bar's start.
TEST_F(DocumentWindows, ANewWindowLeavesTheTitleBarsBeforeItInSight) {
  start_and_settle();
  const win::RECT area = document_area_on_screen();
  std::vector<gui::sim_window*> opened{gui::window_find(gui::SIMWIN_SESSION, -1),
                                       gui::window_find(gui::SIMWIN_COMMAND, -1)};
  const std::vector<std::pair<const char*, int>> lines{{"wregister", gui::SIMWIN_REGISTER},
                                                       {"wmemory x $80", gui::SIMWIN_MEMORY},
                                                       {"wasm", gui::SIMWIN_ASSEMBLY},
                                                       {"wstack", gui::SIMWIN_STACK},
                                                       {"wcalls", gui::SIMWIN_CALLS}};
  for (const auto& [line, kind] : lines) opened.push_back(open(line, kind));
  for (std::size_t later = 0; later < opened.size(); ++later) {
    ASSERT_NE(opened[later], nullptr) << later;
    const win::RECT b = frame_on_screen(opened[later]);
    expect_inside(area, b, "a window opened");
    for (std::size_t earlier = 0; earlier < later; ++earlier) {
      // The title bar's icon and the first words of its title.
      const win::RECT a = frame_on_screen(opened[earlier]);
      const win::RECT title{a.left + 4, a.top + 4, std::min(a.left + 124, a.right - 4), a.top + 5};
      EXPECT_FALSE(title.left < b.right && b.left <= title.right && title.top >= b.top && title.top < b.bottom)
          << "window " << later << " at " << b.left << "," << b.top << " covers the title bar of window " << earlier
          << " at " << a.left << "," << a.top;
    }
  }
}

// The start's macro opens its windows while the default ones are still
// being laid out: each stays in front of the Session and Command windows,
// and the last one opened is the top document.
TEST_F(DocumentWindows, TheStartMacrosWindowsStayInFrontOfTheDefaultOnes) {
  const std::string macro = testing::TempDir() + "front_macro.cmd";
  {
    FILE* f = std::fopen(macro.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs("wregister\nwmemory x $80\nwasm\nasm p:$100 move #$0,r1\ndisassemble p:$100..$110\nbreak pc==$110\n"
               "change pc $100\ngo\ndisplay\n", f);
    std::fclose(f);
  }
  start({macro});
  run_until(12000);
  win::HWND client = vwindowGetMSWMDIClient(gui::main_window());
  ASSERT_NE(client, nullptr);
  std::vector<win::HWND> order;  // the top first
  for (win::HWND h = win::GetWindow(client, win::GW_CHILD); h; h = win::GetWindow(h, win::GW_HWNDNEXT))
    if (win::IsWindowVisible(h)) order.push_back(h);
  const auto place = [&](int kind) {
    gui::sim_window* r = nullptr;
    for (gui::sim_window* w : gui::window_records())
      if (w->kind == kind) r = w;
    if (r == nullptr) return -1;
    const auto it = std::find(order.begin(), order.end(), r->window->native->hwnd);
    return it == order.end() ? -1 : static_cast<int>(it - order.begin());
  };
  const int session = place(gui::SIMWIN_SESSION), command = place(gui::SIMWIN_COMMAND);
  ASSERT_GE(session, 0);
  ASSERT_GE(command, 0);
  EXPECT_EQ(place(gui::SIMWIN_ASSEMBLY), 0) << "the last window opened is not the top document";
  for (int kind : {gui::SIMWIN_REGISTER, gui::SIMWIN_MEMORY, gui::SIMWIN_ASSEMBLY}) {
    SCOPED_TRACE(kind);
    const int at = place(kind);
    ASSERT_GE(at, 0);
    EXPECT_LT(at, session) << "under the Session window";
    EXPECT_LT(at, command) << "under the Command window";
  }
  std::remove(macro.c_str());
}

}  // namespace
