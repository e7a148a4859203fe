// Menu bars: a dialog item holding menus in title order, shown as the
// native menu line of its window (the default) or drawn by the framework.
#pragma once
#include <cstdint>

#include "fw/widgets/dialog/item.h"
#include "fw/widgets/lists/objlist.h"
#include "fw/widgets/menus/menu.h"

struct vmswmenuBar;

enum : std::uint16_t {
  vmenubarLAST_RIGHT = 0x1,
  vmenubarFLAG2 = 0x2,
  vmenubarLAYOUT_STALE = 0x4,
  vmenubarACTIVE = 0x8,
  vmenubarPOPPED = 0x10,
  vmenubarNATIVE_ALLOWED = 0x40,
  vmenubarGG = 0x100,
  vmenubarGGD = 0x200,
  vmenubarNATIVE_INSTALLED = 0x1000,
  vmenubarNATIVE_TEXT = 0x2000,
};

struct vmenubar : vdialogItem {
  vobjectList menus;
  std::int16_t* edges;
  std::int16_t* edgesEnd;
  std::int16_t* edgesCapacity;
  std::uint16_t barFlags;
  std::int16_t leftSpacing, rightSpacing;
  std::int16_t baseline;
  std::int16_t topSpacing;
  std::int16_t titleHeight;
  std::int16_t current;
  std::int16_t leftMargin, rightMargin;
  vrect currentRect;
  vmswmenuBar* native;
};

struct vmenubarClassRec : vdialogItemClassRec {
  void (*invalLayout)(vmenubar* bar);
  void (*appendMenu)(vmenubar* bar, vmenu* menu);
  void (*removeMenu)(vmenubar* bar, vmenu* menu);
  void (*moveMenu)(vmenubar* bar, vmenu* menu, int index);
  void (*calcLayout)(vmenubar* bar);
  void (*activate)(vmenubar* bar);
  void (*deactivate)(vmenubar* bar);
  void (*setLastMenuRight)(vmenubar* bar, int on);
  void (*setFlag2)(vmenubar* bar, int on);
  int (*canBeNative)(vmenubar* bar);
};

inline vmenubarClassRec* vmenubarClassOf(const vmenubar* bar) { return vclassRec<vmenubarClassRec>(bar); }
vmenubarClassRec* vmenubarGetDefaultClass();
vmenubar* vmenubarCreate();

inline int vmenubarCount(const vmenubar* bar) { return vobjectListCount(&bar->menus); }
inline vmenu* vmenubarAt(const vmenubar* bar, int i) { return static_cast<vmenu*>(vobjectListAt(&bar->menus, i)); }
inline bool vmenubarIsNative(const vmenubar* bar) { return (bar->barFlags & vmenubarNATIVE_INSTALLED) != 0; }
inline bool vmenubarIsEnabled(const vmenubar* bar) { return (bar->flags & vdialogItemENABLED) != 0; }
inline void vmenubarAppendMenu(vmenubar* bar, vmenu* menu) { vmenubarClassOf(bar)->appendMenu(bar, menu); }
inline void vmenubarRemoveMenu(vmenubar* bar, vmenu* menu) { vmenubarClassOf(bar)->removeMenu(bar, menu); }
inline void vmenubarMoveMenu(vmenubar* bar, vmenu* menu, int i) { vmenubarClassOf(bar)->moveMenu(bar, menu, i); }
inline void vmenubarActivate(vmenubar* bar) { vmenubarClassOf(bar)->activate(bar); }
inline void vmenubarDeactivate(vmenubar* bar) { vmenubarClassOf(bar)->deactivate(bar); }
void vmenubarSetNativeText(vmenubar* bar, int on);
// Every tagged entry takes what its command's query answers (title, state,
// tick): for an owner whose answers move without the menus being opened.
void vmenubarRefreshFromQueries(vmenubar* bar);
// The window the bar's item list belongs to, or null.
vwindow* vmenubarGetWindow(vmenubar* bar);

// The framework-drawn bar at work: a title made current (an item
// accelerator's key chooses its item at once), its menu popped up under
// it and down again, keyboard mode left.
void vmenubarSelectTitle(vmenubar* bar, int index, vevent* event);
void vmenubarPopupMenu(vmenubar* bar, vevent* event);
void vmenubarPopdownMenu(vmenubar* bar);
void vmenubarEnd(vmenubar* bar);

// Multiple documents. The frame's bar shows the active document window's
// bar under the global bar; a document's bar names its frame's.
// The active document's first bar when bar's window is a frame (mdi), else bar.
vmenubar* vmenubarGetChildBar(vmenubar* bar);
// The frame's first bar for a document's bar (mdi and global), else bar.
vmenubar* vmenubarGetFrameBar(vmenubar* bar);
int vmenubarIsChildOfGlobal(vmenubar* bar);
// The active document window of the window's client when it is a dialog (mdi), else null.
vwindow* vmenubarGetActiveChild(vwindow* window);
// The Windows looks with the mdi and global flags: the frame's bar shows the document's titles.
bool vmenubarGlobalLook();

// The start-up row.
void vmenubarStartup();
