// The window system's preference steps and the look-and-feel's
// registrations of system colours and fonts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "fw/core/scribe.h"
#include "fw/data/pref.h"
#include "fw/data/vresource.h"
#include "fw/gui/graphics/fontmsw.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/msw_internal.h"
#include "fw/gui/window/winsys.h"
#include "platform/win/test.h"

namespace {

vprefDict* root() { return vprefGetDefaultDict(); }
std::string pref(const char* name, vprefDict* dict = nullptr) {
  const char* v = vprefGetString(dict ? dict : root(), vscribeLiteral(name));
  return v ? v : "";
}
vprefDict* sub(vprefDict* d, const char* name) { return vprefGetDict(d, vscribeLiteral(name)); }

struct Rgb {
  unsigned r, g, b;
  bool operator==(const Rgb&) const = default;
};
std::ostream& operator<<(std::ostream& os, Rgb c) { return os << c.r << "," << c.g << "," << c.b; }

Rgb colorAt(vprefDict* dict, const char* name) {
  vresource r = vprefGetValue(dict, vscribeLiteral(name));
  if (!r) return {1, 1, 1};
  vcolorSpec spec;
  vcolorLoadInitSpec(&spec, r);
  Rgb c{};
  vcolorGetSpecRGB(&spec, &c.r, &c.g, &c.b);
  vcolorDestroySpec(&spec);
  return c;
}
Rgb sysColor(int index) {
  win::COLORREF c = win::GetSysColor(index);
  return {win::GetRValue(c) * 257u, win::GetGValue(c) * 257u, win::GetBValue(c) * 257u};
}

TEST(WindowSystemPreferences, LevelOneDefaults) {
  vapplicationGetDefault();
  _vwindowSysPreferenceDefaults();
  EXPECT_EQ(pref("laf"), "win95");
  EXPECT_EQ(pref("printclass"), "vprintsysNative");
  EXPECT_EQ(vwindowMSWSystemFontPointSize(), 8);
  EXPECT_EQ(pref("font"), "family:system_font-size:8");
  _vwindowMSWSetVersion(0x80000003u);
  _vwindowSysPreferenceDefaults();
  EXPECT_EQ(pref("laf"), "windows");
  _vwindowMSWSetVersion(0);

  struct Case {
    int show;
    const char* set;  // or null
  };
  const Case cases[] = {{win::SW_HIDE, "hidden"},          {win::SW_SHOWMINIMIZED, "iconic"},
                        {win::SW_MINIMIZE, "iconic"},       {win::SW_SHOWMINNOACTIVE, "iconic"},
                        {win::SW_SHOWMAXIMIZED, "maximized"}, {win::SW_SHOWNORMAL, nullptr},
                        {win::SW_SHOWNOACTIVATE, nullptr}};
  for (const Case& c : cases) {
    for (const char* name : {"hidden", "iconic", "maximized"}) vprefSetString(root(), vscribeLiteral(name), "");
    win::test::SetStartupShowCommand(c.show);
    _vwindowSysPreferenceDefaults();
    for (const char* name : {"hidden", "iconic", "maximized"})
      EXPECT_EQ(!pref(name).empty(), c.set && std::string(c.set) == name) << c.show << " " << name;
  }
  win::test::SetStartupShowCommand(win::SW_SHOWNORMAL);
}

TEST(WindowSystemPreferences, LevelSixReadsTheProfileSection) {
  vapplication* app = vapplicationGetDefault();
  vapplicationClassOf(app)->setName(app, vscribeLiteral("mswprefs"));
  std::filesystem::path file = std::filesystem::temp_directory_path() / ("mswprefs_" + std::to_string(getpid()) + ".ini");
  std::string longValue(3000, 'v');
  {
    std::ofstream out(file);
    out << "[other]\nplain=no\n[mswprefs]\nplain=yes\nlong=" << longValue << "\n";
    // Enough keys that the key list outgrows the first buffer.
    for (int i = 0; i < 200; ++i) out << "key_number_" << i << "=" << i << "\n";
  }
  setenv("WEXLIN_PROFILE", file.c_str(), 1);
  _vwindowSysPreferences();
  unsetenv("WEXLIN_PROFILE");
  std::filesystem::remove(file);
  EXPECT_EQ(pref("plain"), "yes");
  EXPECT_EQ(pref("long"), longValue);
  EXPECT_EQ(pref("key_number_0"), "0");
  EXPECT_EQ(pref("key_number_199"), "199");
  EXPECT_EQ(pref("doubleclickinterval"), "0.5");
}

// A value longer than the largest buffer is read cut short, not without end.
TEST(WindowSystemPreferences, ProfileBuffersStopGrowingAtOneMebibyte) {
  vapplication* app = vapplicationGetDefault();
  vapplicationClassOf(app)->setName(app, vscribeLiteral("mswbig"));
  std::filesystem::path file = std::filesystem::temp_directory_path() / ("mswbig_" + std::to_string(getpid()) + ".ini");
  {
    std::ofstream out(file);
    out << "[mswbig]\nhuge=" << std::string(3 << 19, 'h') << "\n";
  }
  setenv("WEXLIN_PROFILE", file.c_str(), 1);
  _vwindowSysPreferences();
  unsetenv("WEXLIN_PROFILE");
  std::filesystem::remove(file);
  EXPECT_EQ(pref("huge").size(), (1u << 20) - 1);
}

// The kept system fonts, as fonts of the font device.
TEST(WindowSystemRegistrations, SystemFontsAreRecognised) {
  vapplicationGetDefault();
  vfontMSWStartup();
  vwindowMSWRegisterClassSysFont(vnameInternLiteral("mswRecognised"), 2);
  vresource store = vwindowMSWGetFontStore();
  vscribe* spec = vresourceGetAtString(vresourceGet(store, vnameInternLiteral("Array")), 2);
  vfont* message = vfontFindScribe(spec);
  ASSERT_NE(message, nullptr);
  EXPECT_TRUE(vwindowMSWIsSystemFont(message, 2));
  vfont* larger = vfontFindDerivedScribe(message, vscribeLiteral("size:30"));
  EXPECT_FALSE(vwindowMSWIsSystemFont(larger, 2));
  EXPECT_FALSE(vwindowMSWIsSystemFont(nullptr, 2));
}

int refreshed = 0;
void countRefresh(vclass*) { ++refreshed; }

TEST(WindowSystemRegistrations, ColorRowsReplaceAndReloadLevelSix) {
  vapplicationGetDefault();
  auto* base = vclassSpawn(vobjectGetAttributedClass(), sizeof(vobjectAttributedClassRec));
  auto* derived = vclassSpawn(base, sizeof(vobjectAttributedClassRec));
  base->named = derived->named = countRefresh;
  vwindowMSWRegisterRefreshClass(base);
  vwindowMSWRegisterRefreshClass(base);  // listed once

  refreshed = 0;
  vwindowMSWRegisterSysColor(2, win::COLOR_WINDOW);
  EXPECT_EQ(refreshed, 2);  // the class and its subclass
  vprefDict* colors = sub(root(), "Colors");
  ASSERT_NE(colors, nullptr);
  EXPECT_EQ(colorAt(colors, "Background"), sysColor(win::COLOR_WINDOW));
  vprefRelease(colors);

  // The same scheme index replaces the row; the preferences are written again.
  vwindowMSWRegisterSysColor(2, win::COLOR_WINDOWTEXT);
  EXPECT_EQ(refreshed, 4);
  colors = sub(root(), "Colors");
  EXPECT_EQ(colorAt(colors, "Background"), sysColor(win::COLOR_WINDOWTEXT));
  vprefRelease(colors);

  // A changed system colour is picked up by the next reading.
  win::test::SetSysColor(win::COLOR_WINDOWTEXT, win::RGB(1, 2, 3));
  EXPECT_TRUE(vwindowMSWSysColorsChanged());
  EXPECT_FALSE(vwindowMSWSysColorsChanged());
  colors = sub(root(), "Colors");
  EXPECT_EQ(colorAt(colors, "Background"), (Rgb{257, 514, 771}));
  vprefRelease(colors);

  vname cls = vnameInternLiteral("mswTestClass");
  vwindowMSWRegisterClassSysColor(cls, 0, win::COLOR_BTNFACE);
  vwindowMSWRegisterClassSysColor(cls, 5, -1);  // ShadowTop: the placeholder
  vprefDict* classes = sub(root(), "Classes");
  ASSERT_NE(classes, nullptr);
  vprefDict* own = sub(classes, "mswTestClass");
  ASSERT_NE(own, nullptr);
  EXPECT_EQ(colorAt(own, "Foreground"), sysColor(win::COLOR_BTNFACE));
  EXPECT_EQ(vprefGetValue(own, vscribeLiteral("ShadowTop")), vwindowGetColorStore());
  vprefRelease(own);
  vprefRelease(classes);

  // A fixed table replaces the live colours; they are no longer followed.
  const std::uint16_t table[] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x1111, 0x2222, 0x3333};
  vwindowMSWSetSysColorTable(table, 6);
  vwindowMSWRegisterClassSysColor(cls, 0, 5);
  classes = sub(root(), "Classes");
  own = sub(classes, "mswTestClass");
  EXPECT_EQ(colorAt(own, "Foreground"), (Rgb{0x1111, 0x2222, 0x3333}));
  vprefRelease(own);
  vprefRelease(classes);
  win::test::SetSysColor(5, win::RGB(9, 9, 9));
  EXPECT_FALSE(vwindowMSWSysColorsChanged());

  // A table longer than the live colours keeps its last entries (CUA's run to 40).
  std::uint16_t wide[41][3] = {};
  wide[40][0] = 0x0101, wide[40][1] = 0x8080, wide[40][2] = 0xfefe;
  vwindowMSWSetSysColorTable(&wide[0][0], 41);
  vwindowMSWRegisterClassSysColor(cls, 2, 40);
  classes = sub(root(), "Classes");
  own = sub(classes, "mswTestClass");
  EXPECT_EQ(colorAt(own, "Background"), (Rgb{0x0101, 0x8080, 0xfefe}));
  vprefRelease(own);
  vprefRelease(classes);
}

TEST(WindowSystemRegistrations, ClassFontsFromTheFontStore) {
  vapplicationGetDefault();
  vresource store = vwindowMSWGetFontStore();
  EXPECT_EQ(vresourceGetInteger(store, vname_Tag), 0);
  vname cls = vnameInternLiteral("mswFontClass"), none = vnameInternLiteral("mswNoFontClass");
  vwindowMSWRegisterClassSysFont(cls, 1);
  vwindowMSWRegisterClassSysFont(none, -1);
  vprefDict* classes = sub(root(), "Classes");
  ASSERT_NE(classes, nullptr);
  vprefDict* own = sub(classes, "mswFontClass");
  ASSERT_NE(own, nullptr);
  win::NONCLIENTMETRICSA m{};
  m.cbSize = sizeof m;
  ASSERT_TRUE(win::SystemParametersInfoA(win::SPI_GETNONCLIENTMETRICS, sizeof m, &m, 0));
  std::string menu = pref("Font", own);
  EXPECT_EQ(menu.rfind(std::string("family:") + m.lfMenuFont.lfFaceName, 0), 0u) << menu;
  EXPECT_NE(menu.find("-size:"), std::string::npos);
  vprefDict* noFont = sub(classes, "mswNoFontClass");
  EXPECT_EQ(vprefGetValue(noFont, vscribeLiteral("Font")), store);
  vprefRelease(noFont);
  vprefRelease(own);
  vprefRelease(classes);

  EXPECT_FALSE(vwindowMSWSystemFontsChanged());
  win::LOGFONTA bigger = m.lfMenuFont;
  bigger.lfHeight *= 2;
  std::snprintf(bigger.lfFaceName, sizeof bigger.lfFaceName, "%s", "DejaVu Serif");
  win::LOGFONTA icon{};
  win::SystemParametersInfoA(win::SPI_GETICONTITLELOGFONT, sizeof icon, &icon, 0);
  win::test::SetSystemFonts(icon, bigger, m.lfMessageFont, m.lfStatusFont);
  EXPECT_TRUE(vwindowMSWSystemFontsChanged());
  classes = sub(root(), "Classes");
  own = sub(classes, "mswFontClass");
  EXPECT_EQ(pref("Font", own).rfind("family:DejaVu Serif", 0), 0u) << pref("Font", own);
  vprefRelease(own);
  vprefRelease(classes);
}

}  // namespace
