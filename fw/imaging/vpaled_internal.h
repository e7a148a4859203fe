// Shared by the palette editor's files: the process-wide state and the
// palette store.
#pragma once
#include "fw/core/name.h"
#include "fw/imaging/vpaled.h"

namespace paled {

struct ModuleState {
  vpaledClassRec* cls = nullptr;
  vdialogItemClassRec* grid = nullptr;
  vcolorList* clipboard = nullptr;
  vconfirm* nameConfirm = nullptr;
  vcolorchsr* chooser = nullptr;  // shared by editors given none
  vpaled* pickEditor = nullptr;   // the editor the chooser's apply serves
  std::int32_t pickIndex = 0;
  std::int32_t editors = 0;  // alive; the last one takes the dialogs along
  bool clipboardExit = false;
};
// The clipboard, destroyed when the context ends.
void keepClipboard(vcolorList* list);
ModuleState* state();
// The application's "vimageedtr" dictionary, 0 when missing.
vresource dictionary();
inline vname L(const char* s) { return vnameInternLiteral(s); }

}  // namespace paled

vdialogItemClassRec* _vpaledBuildGridClass();
// The Palettes menu's cascade for deleting, then its palette items.
void _vpaledInstallPalettesMenu(vpaled* editor);
// Asks for a name and saves the working colours under it.
void _vpaledSave(vpaled* editor);
// The working colours from a palette resource (previous colours kept).
void _vpaledLoadColors(vpaled* editor, vresource palette);
