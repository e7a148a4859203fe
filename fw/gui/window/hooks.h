// The window layer's calls up into libraries built above fw_gui: one record
// of entries, installed once and whole before the first class is built.
// A program starts from vwindowDefaultHooks() (the stand-ins) and lets each
// higher library it links fill its own entries.
#pragma once
#include <cstdint>

#include "fw/core/name.h"
#include "fw/core/rect.h"
#include "fw/core/resource.h"

struct vcolor;
struct vinstance;
struct vobject;
struct vscribe;
struct vtextBlock;  // one block of a text model's chain

using vlistviewNotifyFunc = void (*)(vinstance* listview, int code);
using vcomboEntryCompare = int (*)(const char* a, const char* b);

struct vwindowHooks {
  // The help module: the application's name and the root its texts come from.
  void (*helpSetApplicationName)(vname name);
  void (*helpSetResourceRoot)(vresource root);
  vinstance* (*helpGetGlobalWindow)();
  // Shows the help of the keys (an object's tags, nearest first) in the
  // help window, beside the rectangle when there is one.
  void (*helpShowKeys)(vinstance* helpWindow, const vname* keys, int count, const vrect* rect);

  // The notice: its button group, its standard buttons and their titles.
  vobject* (*noticeFindButton)(vinstance* notice, vname tag);  // null when none
  void (*noticeMakeButtonPresent)(vinstance* notice, vname tag, int value);
  void (*dialogItemDisable)(vinstance* item);
  void (*dialogItemHide)(vinstance* item);
  void (*confirmButtonSetTitleScribe)(vinstance* button, vscribe* title);  // consumes the title

  // The list view's dialog-item flag word, option word and notify function.
  std::uint32_t (*listviewItemFlags)(vinstance* listview);
  std::uint32_t (*listviewOptions)(vinstance* listview);
  vlistviewNotifyFunc (*listviewNotifyFunction)(vinstance* listview);

  // The standard combo and the list that holds its entries.
  int (*comboHasEntries)(vinstance* combo);
  vobject* (*comboGetValue)(vinstance* combo);
  void (*comboSelect)(vinstance* combo, int index);
  void (*comboSortEntries)(vinstance* combo, int first, int second, vcomboEntryCompare compare);
  void (*comboSetValue)(vinstance* combo, vobject* value);
  // The class operation the standard and pop-down variants implement apart.
  std::intptr_t (*comboVariantOperation)(vinstance* combo);

  // The text model's chain of blocks, and its apply-style operation.
  long (*textLength)(vinstance* text);
  vtextBlock* (*textFirstBlock)(vinstance* text);
  long (*textBlockCount)(vtextBlock* block);
  long (*textBlockStart)(vtextBlock* block);  // text position of its first character
  const char* (*textBlockChars)(vtextBlock* block);
  vtextBlock* (*textBlockNext)(vtextBlock* block);
  vtextBlock* (*textBlockPrevious)(vtextBlock* block);
  void (*textApplyStyle)(vinstance* text, const void* style, long start, long end);

  // The look's colour of a scheme index (the drawing driver's modes 16 and
  // 17 use index 10), with the look built first; a shared reference.
  vcolor* (*lookColor)(int index);
  // Whether the look is framing a keyboard-focus rectangle (the drawing
  // driver then frames with focus rectangles).
  int (*lookInFocusMode)();
};

// The stand-ins: the settings and showing help do nothing; the global help window raises;
// no notice has buttons, no list view is open, no combo has entries and
// no text has blocks; the look's colours are the application's.
vwindowHooks vwindowDefaultHooks();
// Refused ("Module"/"State") once the window layer has read the record.
void vwindowInstallHooks(const vwindowHooks* hooks);
// The record in force; reading it fixes it.
const vwindowHooks& vwindowGetHooks();
