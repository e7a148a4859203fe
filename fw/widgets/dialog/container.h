// Containers: dialog items that hold an item list of their own and own it,
// drawn as a framed, optionally titled and scrolled area whose children sit
// in its content rectangle. Groups lay their children out on a grid when
// no stored arrangement is given, turn the arrow keys into focus moves and
// speak for their children; exclusive groups hold controls of which
// exactly the selected one is on.
//
// - `dialog/container.h`: `vcontainer`, `vcontainerGroup` and `vcontainerExclusiveGroup` (one
//   module, `container_group.cpp`, builds all three). A container holds its item list by pointer and
//   answers it through `vcontainerOwnerRecord` (flags 7): children's coordinates are relative to the
//   bounds origin, so the record's transforms add the bounds' x and y, then the container owner's
//   transform; its drawing set-up clips to the content and translates by the bounds origin. The
//   content rectangle is the item rectangle less the title strip, Win95's inset of 2, the scroll
//   bars and the frame; the bounds follow it in each direction that does not scroll, and in one that
//   does the origin is clamped between the content's far and near edges (the near edge wins for
//   narrow contents). The scroll bars are of the scroll-bar class; their value is content minus
//   bounds origin, their notification sets the origin back and the "Bounds" reaction scrolls the
//   content's pixels. The focus entering a container (its focus slot; the container itself is never
//   `Focused`) reads the owner list's last move, which `vdialogItemListMoveFocus` keeps visible
//   during the "Focus" announcement. Groups lay out on a grid without a solution; exclusive groups
//   switch values only on controls (a resource may hold other items). An item list tells owners
//   registered with `vdialogItemListAddOwnerRelay` its own announcements (the dialog takes them as
//   its own).
#pragma once
#include <cstdint>

#include "fw/widgets/dialog/itemlist.h"

enum : std::uint16_t {
  vcontainerFLAT = 0x0001,
  vcontainerSCROLL_X = 0x0004,
  vcontainerSCROLL_Y = 0x0008,
  vcontainerBOUNDS_PENDING = 0x0010,
  vcontainerCONTENT_PENDING = 0x0020,
  vcontainerSTORED_FLAGS = 0x000D,
  vcontainerCOPIED_FLAGS = 0x003D,
};

struct vcontainer : vdialogItem {
  vrect content;  // in the owner's coordinates
  vrect bounds;   // the contents; x and y are the scroll position
  std::uint16_t containerFlags;
  vdialogItemList* items;
  vdialogItem* selection;
  vdialogItem* scrollX;  // scroll bars, when the look's scroll-bar class is there
  vdialogItem* scrollY;
  std::int16_t minScrollWidth, minScrollHeight;
};

struct vcontainerClassRec : vdialogItemClassRec {
  void (*appendItem)(vcontainer* c, vdialogItem* item);
  void (*removeItem)(vcontainer* c, vdialogItem* item);
  void (*insertItem)(vcontainer* c, vdialogItem* item, int index);
  void (*arrange)(vcontainer* c, const vrect* rect);
  void (*naturalSizeOfItems)(vcontainer* c, int* width, int* height);
  void (*setBounds)(vcontainer* c, const vrect* rect);
  void (*setFlat)(vcontainer* c, int on);
  void (*setScrollX)(vcontainer* c, int on);
  void (*setScrollY)(vcontainer* c, int on);
  void (*setFocusItem)(vcontainer* c, vdialogItem* item);
  void (*setDefaultFocusItem)(vcontainer* c, vdialogItem* item);
  void (*setSolution)(vcontainer* c, vspringSolution* solution);
  void (*setSelection)(vcontainer* c, vdialogItem* item);
};

inline vcontainerClassRec* vcontainerClassOf(const vcontainer* c) { return vclassRec<vcontainerClassRec>(c); }
vcontainerClassRec* vcontainerGetDefaultClass();
vcontainerClassRec* vcontainerGroupGetDefaultClass();
vcontainerClassRec* vcontainerExclusiveGroupGetDefaultClass();
vcontainer* vcontainerCreate(vcontainerClassRec* cls);
void vcontainerStartup();

// Attribute numbers after the item's (18 replaces the item's "Bounds").
enum : int {
  vcontainerA_BOUNDS = 18, vcontainerA_CONTENT = 20, vcontainerA_FLAT, vcontainerA_SCROLL_X, vcontainerA_SCROLL_Y,
  vcontainerA_FOCUS, vcontainerA_DEFAULT_FOCUS, vcontainerA_SOLUTION, vcontainerA_SELECTION
};

inline void vcontainerAppendItem(vcontainer* c, vdialogItem* i) { vcontainerClassOf(c)->appendItem(c, i); }
inline void vcontainerRemoveItem(vcontainer* c, vdialogItem* i) { vcontainerClassOf(c)->removeItem(c, i); }
inline void vcontainerInsertItem(vcontainer* c, vdialogItem* i, int at) { vcontainerClassOf(c)->insertItem(c, i, at); }
inline void vcontainerArrange(vcontainer* c, const vrect* r) { vcontainerClassOf(c)->arrange(c, r); }
inline void vcontainerSetBounds(vcontainer* c, const vrect* r) { vcontainerClassOf(c)->setBounds(c, r); }
inline void vcontainerSetFlat(vcontainer* c, int on) { vcontainerClassOf(c)->setFlat(c, on); }
inline void vcontainerSetScrollX(vcontainer* c, int on) { vcontainerClassOf(c)->setScrollX(c, on); }
inline void vcontainerSetScrollY(vcontainer* c, int on) { vcontainerClassOf(c)->setScrollY(c, on); }
inline void vcontainerSetFocusItem(vcontainer* c, vdialogItem* i) { vcontainerClassOf(c)->setFocusItem(c, i); }
inline void vcontainerSetSelection(vcontainer* c, vdialogItem* i) { vcontainerClassOf(c)->setSelection(c, i); }
inline void vcontainerSetSolution(vcontainer* c, vspringSolution* s) { vcontainerClassOf(c)->setSolution(c, s); }
inline vdialogItemList* vcontainerGetItemList(const vcontainer* c) { return c->items; }

bool vcontainerIsContainer(const vobject* o);
// The content rectangle again from the item rectangle, the title, the
// border and the scroll bars; the bounds follow.
void vcontainerComputeContent(vcontainer* c);
// The group's layout without a stored solution: the children's minimum
// sizes on a grid filling rect; with spread, gaps between the cells too.
void vcontainerGridLayout(vcontainer* c, const vrect* rect, bool spread);

// Whether the rectangle meets the drawing clip (no clip: it does).
bool _vcontainerMeetsClip(const vrect& r);
// Whether an item draws its own background: it has a colour, no window
// to draw over, or a later shown item of its list lies over it.
bool _vcontainerFillsBackground(vdialogItem* item);

// The record through which a container's children ask it.
extern const vdialogItemOwnerRecord vcontainerOwnerRecord;
