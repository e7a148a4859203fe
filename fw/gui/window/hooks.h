// The window layer's calls up into libraries built above fw_gui: one record
// of entries, installed once and whole before the first class is built.
// A program starts from vwindowDefaultHooks() (the stand-ins) and lets each
// higher library it links fill its own entries.
//
// - **Hook record** (`hooks.h`): the only calls from `fw_gui` up into higher libraries go through
//   one record, `vwindowHooks` (the help module's application name, resource root, global
//   help window, and showing an object's help keys in it, beside a window's rectangle or, for the
//   application, alone). A program installs it whole with `vwindowInstallHooks`, starting from
//   `vwindowDefaultHooks()` (stand-ins: the settings and the showing do nothing, the help window
//   raises), before `vmoduleStartupAll`; each higher library fills its entries through one
//   `...FillWindowHooks` function. The first read of the record fixes it, and a later install raises
//   "Module"/"State", so class building never mixes stand-ins with real objects. Beside the help
//   entries it holds one group per higher class whose operations the window layer keeps
//   (`classops.h`): the notice (find a button of its button group by tag, make a standard button
//   present, disable and hide a dialog item, set a confirm button's title from a scribe), the list
//   view (dialog-item flag word, option word, notify function) and the standard combo (has entries,
//   get value, select by index, sort its entry list with (1, 0, comparison), set value, the
//   operation its variants implement apart) and the text model (length, first block; per block the
//   character count, first position, characters, next and previous links; apply style). The
//   stand-ins do nothing: no notice has buttons (a title is released), no list view is open, no
//   combo has entries, no text has blocks (a search answers -1). The library that builds each class
//   fills its group through its fill function; it must not write these operations again
//   (`vnoticeSetNoTitleScribe`, `vlistviewNotify`, `vcomboCompareEntries`, `vcomboSortEntries`,
//   `vcomboForwardOperation` live here, in `notice.cpp` and `combo.cpp`; `vtextSearch`,
//   `_vtextApplyStyleStep` and `vtextInitTagRecord` in `textsearch.cpp`: a search's matches lie
//   inside one block, and a bad start, mode or buffer size answers -1 or copies nothing). Their
//   tests are a program of their own (`fw_gui_ops_tests`) that installs a record of stand-in objects
//   before any test reads it.
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
