// What the standard choosers need when they show the system's own dialogs:
// whether they may, a placement record that carries a chooser's title and
// position into the native dialog, placing a native dialog window on the
// screen, and listing a directory through the find-file calls.
//
// - `vchooserMSWUseNative` answers 0 when "nonativechoosers", or the chooser's own preference, is
//   exactly "On". The framework file authors "nonativechoosers" = "On": on this platform the
//   framework's own file and colour choosers are the default, and the native stand-ins are reached
//   through the preference and the choosers' force flags.
//
// - The placement record carries a chooser's title (a counted string, copied before the old one is
//   freed, so a record may be given its own title), position (-1/-1 unset), value and three set bits
//   into a native dialog.
//
// - Placing works on native windows through the platform (rectangle, owner, the screen width from
//   the window's context, a move keeping size and z-order). x is bounded by the right edge first and
//   then the left, so a window wider than the screen gets x = 0; y is only kept off the top.
//
// - The directory listing is the find-file interface over "*.*" after the path rules' separator (all
//   entries, "." and ".." first in the platform's order); a directory that cannot be listed raises
//   "Directory Name" at open, and names come back converted from the native character set.
#pragma once
#include <cstdint>
#include <string>

#include "fw/core/fs.h"
#include "fw/core/rect.h"
#include "fw/core/scribe.h"
#include "platform/win/types.h"

// 1 when native choosers may be used: 0 when the preference
// "nonativechoosers", or the chooser's own preference (name or null), is
// exactly "On".
int vchooserMSWUseNative(const char* chooserPreference);

enum : std::uint32_t {
  vchooserMSW_POSITION_SET = 0x1,
  vchooserMSW_TITLE_SET = 0x2,
  vchooserMSW_VALUE_SET = 0x4,
  vchooserMSW_PLACEMENT_BITS = 0x7,
};

struct vchooserMSWPlacement {
  vstr* title;          // owned; null when none
  std::int16_t x, y;    // -1, -1 when unset
  std::uint32_t value;  // the chooser's own word, stored and copied only
  std::uint32_t flags;  // vchooserMSW_*_SET, other bits belong to the chooser
};

void vchooserMSWInitPlacement(vchooserMSWPlacement* p);
// The destination must be initialised; it may be the source.
void vchooserMSWCopyPlacement(const vchooserMSWPlacement* from, vchooserMSWPlacement* to);
// The title may be the record's own.
void vchooserMSWSetPlacementTitle(vchooserMSWPlacement* p, const char* title);
void vchooserMSWSetPlacementPosition(vchooserMSWPlacement* p, const vpoint* point);
void vchooserMSWSetPlacementValue(vchooserMSWPlacement* p, std::uint32_t value);

// Moves the native window, keeping its size and z-order: centred on its
// owner (nothing without one), or with its top left at a framework point
// (y counted from the bottom of the screen). x stays on the screen, y only
// off its top.
void vchooserMSWCenterOnOwner(win::HWND window);
void vchooserMSWPlaceAt(win::HWND window, const vpoint* point);

// Directory listing; entries come in the system's order, "." and ".."
// included. Opening a directory that cannot be listed raises "Directory
// Name".
struct vfsMSWDirectory;
vfsMSWDirectory* vfsMSWOpenDirectory(const vfsPath* path);
vstr* vfsMSWNextDirectoryEntry(vfsMSWDirectory* it);  // a new string; null at the end
void vfsMSWCloseDirectory(vfsMSWDirectory* it);
// The find pattern for a directory's native text.
std::string _vfsMSWDirectoryPattern(const char* nativeDirectory);
