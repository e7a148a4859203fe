// Confirmation dialogs: a dialog with a row (or column) of standard buttons
// (OK, Apply, Reset, Cancel, Defaults, Help) that call application hooks
// and close the dialog when a hook accepts, or that run the dialog modally
// and answer the tag of the button that ended it ("Close" for the window).
//
// - `vconfirm` is a dialog with a flat, borderless container tagged "Detached" holding
//   `vconfirmButton`s (and a "Detached" line item in Motif). Buttons are known by tag; each gets the
//   notify function of its tag, which finds the confirm through the owners' item lists and runs the
//   hook of its handle method. The look is read once, when the class is built (titles, mnemonics,
//   metrics), so per-look tests run `confirm_probe` in a process per look.
//
// - Modal runs swap every button's notify function and the dialog's close hook for ones that record
//   the answer and stop the run's loop counter; a stop made while the event loop drains native
//   messages is followed by an empty posted event, since the loop only looks at its counter between
//   its own events.
//
// - Of the window flag words a confirm is given, only focus taking is set: the other bits of those
//   words mean modal, maximized and mark here.
//
// - The notice entries of `vwindowHooks` go to the confirm's button lookup, show-button method and
//   the buttons' title setter.
#pragma once
#include <cstdint>

#include "fw/widgets/controls/button.h"
#include "fw/widgets/dialog/container.h"
#include "fw/widgets/dialog/dialog.h"

struct vconfirm;
using vconfirmHook = int (*)(vconfirm* confirm, vevent* event);

enum : std::uint16_t {
  vconfirmCOLUMN = 0x40,            // buttons in a column at the right-hand side
  vconfirmOWN_TITLES = 0x400,       // Motif: the buttons show their own titles
  vconfirmDISABLE_ON_CLEAR = 0x800  // clearing a hook disables its buttons
};

struct vconfirmProcessRecord {
  std::uint16_t savedModal;
  vdialogCloseHook savedCloseHook;
  int* counter;
};

struct vconfirm : vdialog {
  std::uint16_t confirmFlags;
  vconfirmHook applyHook, resetHook, defaultsHook, helpHook, otherHook;
  vcontainer* buttons;
  vdialogItem* separator;  // Motif only
  vname answer;
  vconfirmProcessRecord* process;
  std::uint32_t openLookState;
};

// The six standard buttons, in the order of the class titles.
enum { vconfirmOK, vconfirmAPPLY, vconfirmRESET, vconfirmCANCEL, vconfirmDEFAULTS, vconfirmHELP, vconfirmSTANDARD };

struct vconfirmClassRec : vdialogClassRec {
  void (*handleApply)(vconfirm* c, vevent* e, int close);
  void (*handleReset)(vconfirm* c, vevent* e, int close);
  void (*handleDefaults)(vconfirm* c, vevent* e, int close);
  void (*handleHelp)(vconfirm* c, vevent* e, int close);
  void (*handleOther)(vconfirm* c, vevent* e, int close);
  void (*orderButtons)(vconfirm* c);
  void (*addDefaultButtons)(vconfirm* c);
  void (*setTitle[vconfirmSTANDARD])(vconfirm* c, vscribe* title);  // consumed; null: the class title
  void (*setApply)(vconfirm* c, vconfirmHook hook);
  void (*setReset)(vconfirm* c, vconfirmHook hook);
  void (*setDefaults)(vconfirm* c, vconfirmHook hook);
  void (*setHelp)(vconfirm* c, vconfirmHook hook);
  void (*setOther)(vconfirm* c, vconfirmHook hook);
  void (*show[vconfirmSTANDARD])(vconfirm* c, int on);
  void (*showButton)(vconfirm* c, vname tag, int on);
  void (*setOwnTitles)(vconfirm* c, int on);
  void (*processStart)(vconfirm* c);
  vname (*processGet)(vconfirm* c);
  void (*processStop)(vconfirm* c);
  // Class data: the default titles and mnemonics of the look the class was built in.
  vstr* titles[vconfirmSTANDARD];
  char mnemonics[vconfirmSTANDARD];
};

enum : std::uint32_t { vconfirmButtonTITLE_OWNED = 0x1, vconfirmButtonHAS_TITLE = 0x2, vconfirmButtonLOOK_HIDDEN = 0x4 };

struct vconfirmButton : vbutton {
  std::uint32_t confirmFlags;  // "ConfirmButtonFlags"
  std::uint8_t ownMnemonic;
  vstr* ownTitle;
};

inline vconfirmClassRec* vconfirmClassOf(const vconfirm* c) { return vclassRec<vconfirmClassRec>(c); }
vconfirmClassRec* vconfirmGetDefaultClass();
vbuttonClassRec* vconfirmButtonGetDefaultClass();
vconfirm* vconfirmCreate();
// The standard tag of index i, and the index of a tag (-1 when not standard).
vname vconfirmStandardTag(int index);
int vconfirmStandardIndex(vname tag);

// The answer of a modal run ("Ok", "Cancel", "Close", a button's tag).
vname vconfirmProcess(vconfirm* c);
vdialogItem* vconfirmFindButton(vconfirm* c, vname tag);
int vconfirmHasApply(vconfirm* c);
int vconfirmHasHelp(vconfirm* c);
void vconfirmSetDisableOnClear(vconfirm* c, int on);
// The confirm that holds a button (through its container), or null.
vconfirm* vconfirmOfItem(vdialogItem* item);

inline void vconfirmOrderButtons(vconfirm* c) { vconfirmClassOf(c)->orderButtons(c); }
inline void vconfirmSetOkTitle(vconfirm* c, vscribe* t) { vconfirmClassOf(c)->setTitle[vconfirmOK](c, t); }
inline void vconfirmSetApplyTitle(vconfirm* c, vscribe* t) { vconfirmClassOf(c)->setTitle[vconfirmAPPLY](c, t); }
inline void vconfirmSetResetTitle(vconfirm* c, vscribe* t) { vconfirmClassOf(c)->setTitle[vconfirmRESET](c, t); }
inline void vconfirmSetCancelTitle(vconfirm* c, vscribe* t) { vconfirmClassOf(c)->setTitle[vconfirmCANCEL](c, t); }
inline void vconfirmSetDefaultsTitle(vconfirm* c, vscribe* t) { vconfirmClassOf(c)->setTitle[vconfirmDEFAULTS](c, t); }
inline void vconfirmSetHelpTitle(vconfirm* c, vscribe* t) { vconfirmClassOf(c)->setTitle[vconfirmHELP](c, t); }
inline void vconfirmSetApply(vconfirm* c, vconfirmHook h) { vconfirmClassOf(c)->setApply(c, h); }
inline void vconfirmSetReset(vconfirm* c, vconfirmHook h) { vconfirmClassOf(c)->setReset(c, h); }
inline void vconfirmSetDefaults(vconfirm* c, vconfirmHook h) { vconfirmClassOf(c)->setDefaults(c, h); }
inline void vconfirmSetHelp(vconfirm* c, vconfirmHook h) { vconfirmClassOf(c)->setHelp(c, h); }
inline void vconfirmSetOther(vconfirm* c, vconfirmHook h) { vconfirmClassOf(c)->setOther(c, h); }
inline void vconfirmShowOk(vconfirm* c, int on) { vconfirmClassOf(c)->show[vconfirmOK](c, on); }
inline void vconfirmShowApply(vconfirm* c, int on) { vconfirmClassOf(c)->show[vconfirmAPPLY](c, on); }
inline void vconfirmShowReset(vconfirm* c, int on) { vconfirmClassOf(c)->show[vconfirmRESET](c, on); }
inline void vconfirmShowCancel(vconfirm* c, int on) { vconfirmClassOf(c)->show[vconfirmCANCEL](c, on); }
inline void vconfirmShowDefaults(vconfirm* c, int on) { vconfirmClassOf(c)->show[vconfirmDEFAULTS](c, on); }
inline void vconfirmShowHelp(vconfirm* c, int on) { vconfirmClassOf(c)->show[vconfirmHELP](c, on); }
inline void vconfirmShowButton(vconfirm* c, vname tag, int on) { vconfirmClassOf(c)->showButton(c, tag, on); }
inline void vconfirmSetOwnTitles(vconfirm* c, int on) { vconfirmClassOf(c)->setOwnTitles(c, on); }
inline void vconfirmProcessStart(vconfirm* c) { vconfirmClassOf(c)->processStart(c); }
inline vname vconfirmProcessGet(vconfirm* c) { return vconfirmClassOf(c)->processGet(c); }
inline void vconfirmProcessStop(vconfirm* c) { vconfirmClassOf(c)->processStop(c); }
void vconfirmSetOkMnemonic(vconfirm* c, int character);
void vconfirmSetApplyMnemonic(vconfirm* c, int character);
void vconfirmSetCancelMnemonic(vconfirm* c, int character);
void vconfirmSetDefaultsMnemonic(vconfirm* c, int character);

// The standard notify function of a button with this tag (the pressing table).
vdialogItemNotifyFunc _vconfirmNotifyFor(vname tag);
// The standard button layout in a rectangle (the look's metrics), and the
// size the row or column of shown buttons needs.
void _vconfirmLayoutButtons(vconfirm* c, const vrect* rect, vrect* rest);
void _vconfirmButtonsSize(vconfirm* c, int* width, int* height);
// Each standard button shows its own or the class title; own titles forced or by the look.
void _vconfirmRefreshTitles(vconfirm* c, bool forceOwn);
