// Shared set-up of the menu tests: menus are windows, whose class lasts
// with the context it was built in, so these tests share the default
// context and choose the look (and the menu-bar road) again each time.
#pragma once
#include <initializer_list>

#include "fw/core/command.h"
#include "fw/data/pref.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/msw.h"
#include "fw/widgets/look/laf.h"
#include "fw/widgets/menus/menu.h"

// native: the native menu bar road, else "nonativemenubar" is set.
inline void menuTestChooseLook(const char* laf, bool native = false) {
  vmoduleGetDefaultContext();
  vapplicationGetCurrent();
  vwindowEnsureStartup();
  // The framework's own preferences, with the menu keys, once.
  static bool loaded = [] {
    vapplicationLoadPreferences(vapplicationGetCurrent(), 0);
    return true;
  }();
  (void)loaded;
  vprefSetString(vprefGetDefaultDict(), vscribeLiteral("laf"), laf);
  vprefSetString(vprefGetDefaultDict(), vscribeLiteral("nonativemenubar"), native ? "" : "1");
  vlafGetCurrent();
  _vlafRebuildCurrent();
  vmenuStartup();
  _vmenuChooseLook();
}

// The application's command space: each tag a function command calling issue.
inline vcommandSpace* menuTestCommands(std::initializer_list<const char*> tags, int (*issue)(vcommand*, vdict*)) {
  vdict* commands = vdictCreate(vdictHashName);
  for (const char* tag : tags) {
    auto* command = static_cast<vcommandFunction*>(vinstanceCreate(vcommandGetDefaultFunctionClass()));
    command->issue = issue;
    vdictStore(commands, vnameInternLiteral(tag), command);
  }
  vcommandSpace* space = vcommandSpaceCreate();
  vcommandSpaceAddDict(space, vname_Command, commands);
  vapplicationSetSpaceOwned(vapplicationGetCurrent(), space);
  return space;
}
