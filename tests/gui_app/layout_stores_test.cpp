// The saved layout in a resource of either store: each device and each
// window has an element of its own, nothing of theirs lands on the root,
// and both stores keep the same layout.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "fw/core/name.h"
#include "fw/data/vresource.h"
#include "fw/data/vrstore.h"
#include "frontends/gui/layout.h"
#include "frontends/gui/road.h"
#include "frontends/gui/startup.h"
#include "frontends/gui/windows.h"
#include "sim/engine/device/device_inst.h"
#include "tests/gui_app/front_end_support.h"

namespace {

using namespace front_end_test;

// The layout's elements as text: each element's entries, sorted.
std::string elements(vresource root, const char* key) {
  vresource a;
  if (!vresourceTestGet(root, vnameInternLiteral(key), &a)) return "(none)";
  std::string out;
  for (std::int32_t i = 0; i < vresourceCount(a); ++i) {
    vresource e = vresourceGetAt(a, i);
    std::map<std::string, std::string> entries;
    for (std::int32_t k = 0; k < vresourceCount(e); ++k) {
      vname tag = vresourceGetTagAtOnly(e, k);
      entries[tag] = vresourceGetType(e, tag) == vresINTEGER ? std::to_string(vresourceGetInteger(e, tag)) : "rect";
    }
    out += "{";
    for (const auto& [k, v] : entries) out += k + "=" + v + " ";
    out += "}";
  }
  return out;
}
std::set<std::string> rootKeys(vresource root) {
  std::set<std::string> keys;
  for (std::int32_t k = 0; k < vresourceCount(root); ++k) keys.insert(vresourceGetTagAtOnly(root, k));
  return keys;
}

TEST(LayoutStores, EachElementItsOwnInEitherStore) {
  vrstoreInstallInterface();
  clear_layout();
  start({});
  run_until(6100);
  gui::command_submit("device dv2 73521");
  gui::command_submit("wmemory x $80");
  run_until(7000);

  std::string saved[2];
  for (int table : {0, 1}) {
    SCOPED_TRACE(table ? "chunk-file store" : "\".vr\" store");
    vresource root = vresourceCreateMemoryIn(table);
    // Saved twice: the second save replaces the first, never adds to it.
    for (int pass = 0; pass < 2; ++pass) {
      gui::layout_save_devices(root);
      gui::layout_save_windows(root);
    }
    EXPECT_EQ(rootKeys(root), (std::set<std::string>{"Devices", "MainWin", "WinPos"}));
    saved[table] = elements(root, "Devices") + "\n" + elements(root, "WinPos");
    EXPECT_EQ(elements(root, "Devices"), "{DevNum=0 DevType=0 }{DevNum=2 DevType=0 }");
    vresource windows = vresourceGet(root, vnameInternLiteral("WinPos"));
    EXPECT_EQ(vresourceCount(windows), 3) << saved[table];
    std::set<std::int32_t> kinds;
    for (std::int32_t i = 0; i < vresourceCount(windows); ++i)
      kinds.insert(vresourceGetInteger(vresourceGetAt(windows, i), vnameInternLiteral("WinType")));
    EXPECT_EQ(kinds, (std::set<std::int32_t>{gui::SIMWIN_COMMAND, gui::SIMWIN_MEMORY, gui::SIMWIN_SESSION}));
    vresourceCloseFile(root);
  }
  EXPECT_EQ(saved[0], saved[1]);
  gui::front_end_quit();
  clear_layout();
}

}  // namespace
