// Objects loaded by the class their resource names, from the readable form
// of a resource file, with the class tags and counts a damaged file would
// carry. The first four bytes choose a mutation: byte 0 which "Class = tag"
// of the text, byte 1 the class it is given (any class the framework loads
// objects of, so objects land where another class belongs; past the table,
// none); byte 2 which integer, byte 3 the extreme value it is given
// (negative, zero, huge; past the table, none).
// The rest is the text. Every top-level dictionary is loaded as an object
// of its class and freed: each load refuses with an exception or gives an
// object, and nothing reads outside a buffer, crashes or runs away.
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>

#include "fw/core/command.h"
#include "fw/core/sys.h"
#include "fw/data/num.h"
#include "fw/data/pref.h"
#include "fw/data/regexp.h"
#include "fw/data/vrstore.h"
#include "fw/data/vrtext.h"
#include "fw/gui/graphics/image.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/cursor.h"
#include "fw/gui/window/msw.h"
#include "fw/widgets/choosers/confirm.h"
#include "fw/widgets/choosers/notice.h"
#include "fw/widgets/controls/textitem.h"
#include "fw/widgets/dialog/container.h"
#include "fw/widgets/dialog/dialog.h"
#include "fw/widgets/dialog/itemlist.h"
#include "fw/widgets/domains/domainview.h"
#include "fw/widgets/lists/listitem.h"
#include "fw/widgets/lists/liststr.h"
#include "fw/widgets/lists/spring.h"
#include "fw/widgets/look/laf.h"
#include "fw/widgets/menus/menu.h"
#include "fw/widgets/menus/menubar.h"

namespace {

constexpr const char* kClasses[] = {
    "vdialogItem",   "vdialogLabelItem", "vdialogItemList", "vmenu",         "vmenuItem",     "vmenuSubMenuItem",
    "vmenuItemList", "vmenubar",         "vobjectList",     "vcommandSpace", "vlist",         "vliststr",
    "vlistitem",     "vlistitemList",    "vtext",           "vtextRuler",    "vtextitem",     "vdomain",
    "vdomainitem",   "vcontainer",       "vconfirm",        "vnotice",       "vdialog",       "vimage",
    "vpixmap",       "vcursor",          "vspringSolution", "vregexp",       "vnumFormat",    "vobject",
};
constexpr std::int64_t kCounts[] = {-1, 0, 1, 2, 3, 255, 256, 65536, 65537, 1000000, INT32_MAX, INT32_MIN};

void start() {
  static const bool started = [] {
    vmoduleSetExitAtShutdown(1);
    vrstoreInstallInterface();
    vapplicationGetCurrent();
    vwindowEnsureStartup();
    vapplicationLoadPreferences(vapplicationGetCurrent(), 0);
    vprefSetString(vprefGetDefaultDict(), vscribeLiteral("nonativemenubar"), "1");
    vlafGetCurrent();
    vcommandStartup();
    vdialogItemListGetDefaultClass();
    vdialogGetDefaultClass();
    vconfirmGetDefaultClass();
    vnoticeGetDefaultClass();
    vcontainerGetDefaultClass();
    vmenuGetDefaultClass();
    vmenubarGetDefaultClass();
    vtextitemGetDefaultClass();
    vlistitemGetDefaultClass();
    vliststrGetDefaultClass();
    vdomainitemGetDefaultClass();
    vspringSolutionGetDefaultClass();
    vregexpGetDefaultClass();
    vnumFormatGetDefaultClass();
    vimageGetDefaultClass();
    vcursorGetClass();
    std::atexit(vsysRunExitHandlers);
    return true;
  }();
  (void)started;
}

// Replaces the nth match's value (the word after `key`) by `value`.
void replaceNth(std::string& text, const std::string& key, unsigned nth, const std::string& value) {
  std::size_t at = 0, count = 0;
  for (std::size_t p = text.find(key); p != std::string::npos; p = text.find(key, p + 1)) ++count;
  if (count == 0) return;
  nth %= count;
  for (at = text.find(key); nth-- > 0;) at = text.find(key, at + 1);
  std::size_t begin = at + key.size(), end = begin;
  while (end < text.size() && text[end] != ' ' && text[end] != '\n' && text[end] != '}' && text[end] != ']') ++end;
  text.replace(begin, end - begin, value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 4 || size > 65536) return 0;
  start();
  std::string text(reinterpret_cast<const char*>(data) + 4, size - 4);
  if (data[1] < std::size(kClasses)) replaceNth(text, "Class = tag ", data[0], kClasses[data[1]]);
  if (data[3] < std::size(kCounts)) replaceNth(text, "= integer ", data[2], std::to_string(kCounts[data[3]]));
  vresource root = vrstoreCreateMemory();
  std::string error;
  if (vrtextParse(text, root, &error)) {
    std::int32_t count = vrstoreCount(root);
    for (std::int32_t i = 0; i < count && i < 16; ++i) {
      vresource c = vrstoreGetTagAt(root, i, nullptr);
      if (vrstoreGetType(c, nullptr) != vresDICTIONARY) continue;
      vexGuard([&] { vinstanceDestroy(vobjectLoad(c)); },
               [](vexHandler& h) { vexSetCurrentException(h.savedChain); });
    }
  }
  vrstoreCloseFile(root);
  return 0;
}
