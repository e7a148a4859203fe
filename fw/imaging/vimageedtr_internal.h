// Shared by the image editor's files: the module state, the editor's view,
// model, layout and preview classes, and the steps the commands share.
#pragma once
#include <cstdint>

#include "fw/imaging/vimageedtr.h"

struct vpaled;
struct vconfirm;

namespace imgedtr {

inline vname L(const char* s) { return vnameInternLiteral(s); }

struct ModuleState {
  vimageedtrClassRec* cls;
  vimgedviewClassRec* baseView;
  vimgedviewClassRec* imageView;
  vimgedviewClassRec* maskView;
  vimgedClassRec* model;
  vdialogItemClassRec* layout;
  vdialogItemClassRec* preview;
  vdialogClassRec* previewDialog;
  vimageedtrPrefs prefs;
  bool prefsRead;
  vconfirm* sizeDialog;
  vimageedtr* sizeEditor;  // the editor the size dialog serves
  vpaled* paletteEditor;
  vimageedtr* paletteOwner;
  vcolorchsr* colorChooser;
  vfontchsr* fontChooser;
  vimageedtr* chooserOwner;  // the editor the shared colour or font chooser serves
  int editors;
};
ModuleState* state();
// The editor's dictionary of resources, 0 when the resources lack it.
vresource dictionary();

// The image model's class: it knows its editor.
struct Model : vimged {
  vimageedtr* owner;
};
vimgedClassRec* modelClass();
// The view classes: the image view's, the mask view's.
vimgedviewClassRec* imageViewClass();
vimgedviewClassRec* maskViewClass();
// The item that lays the views out in its rectangle.
vdialogItemClassRec* layoutClass();
// The preview window's drawing item.
vdialogItemClassRec* previewClass();

// The editor that shows an item, null when none does.
vimageedtr* editorOfItem(vdialogItem* item);

// The other view while the mask shows, else null.
vimgedview* otherView(vimageedtr* e, vimgedview* v);

// The location read-out: shown or hidden after the image view's report flag.
void showLocation(vimageedtr* e, bool on);
void reportLocation(vimgedview* v, vpoint image, vpoint window);

// The preview window: open or closed, sized to the image, redrawn.
void togglePreview(vimageedtr* e);
void closePreview(vimageedtr* e);
void sizePreview(vimageedtr* e);
void invalPreview(vimageedtr* e);
void destroyPreview(vimageedtr* e);

// The mask model's source image: the editor's own; replaced ones go.
void setMaskSource(vimageedtr* e, vimage* mask);
// Colour indices outside the image's palette go back to 1 (foreground)
// and 0 (background).
void checkColorIndices(vimageedtr* e);
// The size dialog and the palette editor forget an editor that goes.
void forgetEditor(vimageedtr* e);

// The class's command and key tables.
void installCommands(vimageedtrClassRec* c);

// A window placed beside the editor, moved back onto the screen where
// that side has no room for it.
void placeBeside(vdialog* d, vimageedtr* e);

}  // namespace imgedtr
