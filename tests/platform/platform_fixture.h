// A window class whose procedure records names and answers as a test
// asks, and golden trace files beside the tests.
#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/win.h"
#include "platform/win/test.h"

namespace platform_test {

struct Recorder {
  // Windows are named by their title, taken at WM_NCCREATE.
  static inline std::map<win::HWND, std::string> names;
  // A result instead of the default processing, per message.
  static inline std::map<win::UINT, win::LRESULT> answers;
  // Runs before the answer; may destroy windows.
  static inline std::function<void(win::HWND, win::UINT, win::WPARAM, win::LPARAM)> action;

  static win::LRESULT proc(win::HWND hwnd, win::UINT message, win::WPARAM wParam, win::LPARAM lParam) {
    if (message == win::WM_NCCREATE) {
      auto* cs = reinterpret_cast<const win::CREATESTRUCTA*>(lParam);
      names[hwnd] = cs->lpszName ? cs->lpszName : "?";
    }
    if (action) action(hwnd, message, wParam, lParam);
    if (auto it = answers.find(message); it != answers.end()) return it->second;
    return win::DefWindowProcA(hwnd, message, wParam, lParam);
  }

  // "null" for no window, empty for a window without a name.
  static std::string name(win::HWND hwnd) {
    if (hwnd == nullptr) return "null";
    auto it = names.find(hwnd);
    return it == names.end() ? std::string() : it->second;
  }
};

inline constexpr const char* kClass = "PlatformTest";

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Recorder::names.clear();
    Recorder::answers.clear();
    Recorder::action = nullptr;
    win::WNDCLASSA wc{};
    wc.lpfnWndProc = Recorder::proc;
    wc.cbWndExtra = 8;
    wc.style = win::CS_OWNDC | win::CS_SAVEBITS;
    wc.lpszClassName = kClass;
    ASSERT_NE(win::RegisterClassA(&wc), 0);
  }
  void TearDown() override {
    Recorder::action = nullptr;
    Recorder::answers.clear();
    for (auto& [h, n] : Recorder::names)
      if (win::IsWindow(h)) win::DestroyWindow(h);
    EXPECT_TRUE(win::UnregisterClassA(kClass, nullptr));
    win::test::StopTrace();
  }

  static win::HWND make(const char* name, win::DWORD style = win::WS_POPUP, win::HWND parent = nullptr, int x = 10,
                        int y = 20, int w = 300, int h = 200) {
    return win::CreateWindowExA(0, kClass, name, style, x, y, w, h, parent, nullptr, nullptr, nullptr);
  }
  static win::HWND child(const char* name, win::HWND parent) {
    return make(name, win::WS_CHILD | win::WS_VISIBLE, parent, 5, 6, 50, 40);
  }

  static std::string stopTrace() { return win::test::FormatTrace(win::test::StopTrace(), Recorder::name); }
};

// The golden file's text; with UPDATE_GOLDEN set, the file is written
// from `actual` first.
inline std::string golden(const std::string& file, const std::string& actual) {
  std::string path = std::string(PLATFORM_GOLDEN) + "/" + file;
  if (std::getenv("UPDATE_GOLDEN")) std::ofstream(path) << actual;
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

inline win::DWORD lastError() { return win::GetLastError(); }
inline win::DWORD code(win::LONG c) { return static_cast<win::DWORD>(c); }

}  // namespace platform_test
