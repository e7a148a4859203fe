// Between the dialog item module, its command file and its static item classes.
#pragma once
#include "fw/widgets/dialog/item.h"

// Spawns the label, line and box classes from the item class into out[0..2].
void _vdialogStaticItemsBuild(vdialogItemClassRec* item, vdialogItemClassRec** out);
// The look's system colours for one class: kind 0 item, 1 label, 2 line, 3 box.
void _vdialogItemBindLookColors(vdialogItemClassRec* cls, int kind);
// The class defaults again, after the bindings above changed the preferences.
void _vdialogItemRunNamingHook(vdialogItemClassRec* cls);
// Issues a key's command tag on the item when its query allows it ("Dispatch"
// "Enabled", "State" not "Disabled"); 0 when not issued.
int _vdialogItemIssueKeyTag(vdialogItem* item, vname tag, vevent* event);

// A menu button's press, kept in the looks that pop up its menu on release.
struct vdialogItemPress {
  int x, y;
  std::int64_t time;  // nanoseconds
  bool moved, pending;
};
// The CUA or Win95 look's press record; null in the other looks.
vdialogItemPress* _vdialogItemPressRecord(int look);
// The command, key and menu-button slots of the item class.
void _vdialogItemWriteCommandSlots(vdialogItemClassRec* c);
// The item class's scheme slot: the item's own colours, its class's, then
// its owner's (or the application's) for the rest of the mask.
void _vdialogItemDetermineSchemeColors(vdialogItem* item, const vcolorScheme* scheme, std::uint32_t mask,
                                       vcolorScheme* result);
// Hands the class's four colours to the display, taking back what it changes.
void _vdialogItemAllocateColors(vdialogItemClassRec* c);
