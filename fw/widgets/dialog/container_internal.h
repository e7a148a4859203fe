// Between the container's files.
#pragma once
#include "fw/widgets/dialog/container.h"

// The container's slots over the item's.
void _vcontainerFillSlots(vcontainerClassRec* c);
void _vcontainerDraw(vdialogItem* item);
// A scroll bar of the look's scroll-bar class; null while there is none.
vdialogItem* _vcontainerCreateScrollBar();
int _vcontainerFontHeight(vdialogItem* item);
int _vcontainerTitleWidth(vdialogItem* item);
