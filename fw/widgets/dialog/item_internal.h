// Between the dialog item module and its static item classes.
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
