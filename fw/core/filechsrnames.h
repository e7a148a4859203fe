// The names by which the file chooser finds the parts of its dialog
// resource, its menus and its preferences, interned once by its module's
// start-up before it reads its resources.
#pragma once
#include "fw/core/name.h"

enum class vfilechsrNameId : int {
  Filechsr, LocalMenuBar, Prompt, PathEntry, ReadOnly, PathPopupMenu, ShiftUp, ShiftDown,
  Strings, Tags, Chars, Confirm, Directory, DirectoryLink, File, FileLink, Geometry, History,
  Marked, Current, View, CompleteName, TitleTemplates, HistoryMenu, MarkedMenu, ViewMenu,
  VolumesMenu, List1, List2, List3, List4, List5, Title1, Title2, Title3, Title4, Title5, Files,
  Count
};

inline constexpr int vfilechsrNameCount = static_cast<int>(vfilechsrNameId::Count);

// Indexed by vfilechsrNameId; null until interned.
extern vname _vfilechsrNames[vfilechsrNameCount];

void _vfilechsrInternNames();

inline vname vfilechsrName(vfilechsrNameId id) { return _vfilechsrNames[static_cast<int>(id)]; }
