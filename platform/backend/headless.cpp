// The headless back-end: surfaces are records that tests inspect.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "platform/backend/backend.h"
#include "platform/win/test.h"

namespace win {
namespace {

class Headless final : public backend::Backend {
 public:
  explicit Headless(test::HeadlessState& s) : s_(s) {}

  SIZE ScreenSize() override { return s_.screen; }

  void CreateSurface(HWND surface, const backend::SurfaceDesc& desc) override {
    s_.surfaces[surface] = {desc, backend::SurfaceState::hidden, 0};
    s_.stack.insert(s_.stack.begin(), surface);
  }
  void DestroySurface(HWND surface) override {
    s_.surfaces.erase(surface);
    unstack(surface);
    if (s_.grab == surface) s_.grab = nullptr;
    if (s_.keyboardGrab == surface) s_.keyboardGrab = nullptr;
    if (s_.focus == surface) s_.focus = nullptr;
  }
  void ShowSurface(HWND surface, backend::SurfaceState state, bool activate) override {
    if (auto* r = find(surface)) r->state = state;
    if (activate) s_.focus = surface;
  }
  void MoveSurface(HWND surface, const RECT& outer) override {
    if (auto* r = find(surface)) r->desc.outer = outer;
  }
  void RestackSurface(HWND surface, HWND above) override {
    if (!find(surface)) return;
    unstack(surface);
    auto at = std::find(s_.stack.begin(), s_.stack.end(), above);
    s_.stack.insert(at == s_.stack.end() ? s_.stack.begin() : at + 1, surface);
  }
  void SetSurfaceTitle(HWND surface, const std::string& title) override {
    if (auto* r = find(surface)) r->desc.title = title;
  }
  void SetSurfaceOwner(HWND surface, HWND owner) override {
    if (auto* r = find(surface)) r->desc.owner = owner;
  }
  void Present(HWND surface, const RECT&, const backend::Pixels&) override {
    if (auto* r = find(surface)) ++r->presents;
  }
  void SetCursor(HCURSOR cursor) override { s_.cursor = cursor; }
  void WarpPointer(POINT screen) override { s_.pointer = screen; }
  void GrabPointer(HWND surface) override { s_.grab = surface; }
  void GrabKeyboard(HWND surface) override { s_.keyboardGrab = surface; }
  void FocusSurface(HWND surface) override { s_.focus = surface; }
  void Beep() override { ++s_.beeps; }
  void OwnClipboard(bool owned) override { s_.ownsClipboard = owned; }
  std::optional<std::string> ForeignClipboardText() override {
    return s_.ownsClipboard ? std::nullopt : s_.foreignText;
  }
  int Descriptor() override { return -1; }
  void Pump() override {}
  void Flush() override {}
  void Shutdown() override {}

 private:
  test::HeadlessSurface* find(HWND surface) {
    auto it = s_.surfaces.find(surface);
    return it == s_.surfaces.end() ? nullptr : &it->second;
  }
  void unstack(HWND surface) { s_.stack.erase(std::remove(s_.stack.begin(), s_.stack.end(), surface), s_.stack.end()); }

  test::HeadlessState& s_;
};

}  // namespace

test::HeadlessState& test::Headless() {
  static HeadlessState state = [] {
    HeadlessState s;
    int w, h;
    if (const char* size = std::getenv("WEXLIN_SCREEN"); size && std::sscanf(size, "%dx%d", &w, &h) == 2 && w > 0 && h > 0)
      s.screen = {w, h};
    return s;
  }();
  return state;
}

bool backend::IsHeadless() { return dynamic_cast<Headless*>(&Current()) != nullptr; }

backend::Backend& backend::Current() {
  static std::unique_ptr<Backend> current = [] {
    const char* name = std::getenv("WEXLIN_BACKEND");
    const char* display = std::getenv("DISPLAY");
    std::string error;
    if (name && std::strcmp(name, "x11") == 0) {
      if (auto x = OpenX11(error)) return x;
      std::fprintf(stderr, "%s: no X display: %s\n", program_invocation_short_name, error.c_str());
      std::exit(1);
    }
    if (name && *name && std::strcmp(name, "headless") != 0)
      std::fprintf(stderr, "WEXLIN_BACKEND=%s is not available; using the headless back-end\n", name);
    if ((!name || !*name) && display && *display) {
      if (auto x = OpenX11(error)) return x;
      // A display that opens but cannot show our pixels is an error; one
      // that does not open leaves the headless back-end.
      if (error.rfind("cannot open", 0) != 0) {
        std::fprintf(stderr, "%s\n", error.c_str());
        std::exit(1);
      }
    }
    return std::unique_ptr<Backend>(std::make_unique<Headless>(test::Headless()));
  }();
  return *current;
}

}  // namespace win
