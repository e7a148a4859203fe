#include "fw/core/filechsrnames.h"

namespace {

constexpr const char* kTexts[vfilechsrNameCount] = {
    "vfilechsr", "Local Menu Bar", "Prompt", "PathEntry", "ReadOnly", "PathPopupMenu", "ShiftUp",
    "ShiftDown", "Strings", "Tags", "Chars", "Confirm", "Directory", "DirectoryLink", "File",
    "FileLink", "Geometry", "History", "Marked", "Current", "View", "CompleteName", "Title Templates",
    "HistoryMenu", "MarkedMenu", "ViewMenu", "VolumesMenu", "List1", "List2", "List3", "List4",
    "List5", "Title1", "Title2", "Title3", "Title4", "Title5", " Files"};

}  // namespace

vname _vfilechsrNames[vfilechsrNameCount];

void _vfilechsrInternNames() {
  for (int i = 0; i < vfilechsrNameCount; ++i) _vfilechsrNames[i] = vnameInternLiteral(kTexts[i]);
}
