// The window system's two steps of preference loading: its defaults
// (level 1) and the system's settings (level 6).
//
// - **Preference steps** (`msw_prefs.cpp`, declared in `winsys.h`): level 1 writes "laf",
//   "printclass", "font" ("family:system_font-size:" and the system font's point size, 8 here) and
//   the start-up show state; level 6 the keys of the application's profile section (buffers from
//   1024 bytes, doubled up to 1 MiB), the registered colours and fonts, and "doubleclickinterval".
//   Neither starts the window system: they run while the default application is being made.
#include <cstdio>
#include <string>

#include "fw/core/scribe.h"
#include "fw/data/pref.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/msw_internal.h"
#include "fw/gui/window/winsys.h"

namespace {

vprefDict* root() { return vprefGetDefaultDict(); }
void set(const char* name, const char* value) { vprefSetString(root(), vscribeLiteral(name), value); }

// The profile's text grows its buffer from 1024 bytes by doubling while the
// answer fills it, up to a bound: a section of more is read cut short.
constexpr win::DWORD kFirstBuffer = 1024, kLastBuffer = 1 << 20;

std::string profileString(const char* section, const char* key) {
  std::string buffer;
  for (win::DWORD size = kFirstBuffer;; size *= 2) {
    buffer.assign(size, '\0');
    win::DWORD n = win::GetProfileStringA(section, key, "", buffer.data(), size);
    // A key list ends with two NULs, a value with one.
    win::DWORD full = key ? size - 1 : size - 2;
    if (n < full || size >= kLastBuffer) {
      buffer.resize(n);
      return buffer;
    }
  }
}

void profileKeys() {
  vname section = _vwindowMSWApplication()->name;
  if (!section || !*section) return;
  std::string keys = profileString(section, nullptr);
  for (std::size_t at = 0; at < keys.size();) {
    std::size_t end = keys.find('\0', at);
    if (end == std::string::npos) end = keys.size();
    if (end > at) {
      std::string key = keys.substr(at, end - at);
      vprefSetString(root(), vscribeCString(key.c_str()), profileString(section, key.c_str()).c_str());
    }
    at = end + 1;
  }
}

}  // namespace

int vwindowMSWSystemFontPointSize() {
  win::HGDIOBJ stock = win::GetStockObject(win::DEFAULT_GUI_FONT);
  if (!stock) stock = win::GetStockObject(win::SYSTEM_FONT);
  win::LOGFONTA lf{};
  if (!stock || !win::GetObjectA(stock, sizeof lf, &lf)) return 0;
  return _vwindowMSWPointSize(lf);
}

// Neither step starts the window system: they run while the default
// application is being made, which the start-up itself asks for.
void _vwindowSysPreferenceDefaults() {
  set("laf", _vwindowMSWMajorVersion() < 4 ? "windows" : "win95");
  set("printclass", "vprintsysNative");
  std::string font = "family:system_font-size:" + std::to_string(vwindowMSWSystemFontPointSize());
  set("font", font.c_str());
  switch (win::GetStartupShowCommand()) {
    case win::SW_HIDE: set("hidden", "true"); break;
    case win::SW_SHOWMINIMIZED:
    case win::SW_MINIMIZE:
    case win::SW_SHOWMINNOACTIVE: set("iconic", "true"); break;
    case win::SW_SHOWMAXIMIZED: set("maximized", "true"); break;
    default: break;
  }
}

void _vwindowSysPreferences() {
  profileKeys();
  _vwindowMSWWriteRegistrations();
  char interval[32];
  std::snprintf(interval, sizeof interval, "%g", win::GetDoubleClickTime() / 1000.0);
  set("doubleclickinterval", interval);
}
