// The image editor: a dialog, loaded from the framework's "vimageedtr"
// resources, that shows an image being edited and optionally its
// transparency mask beside it, with the tool and line-width palettes, the
// colour controls, a location read-out and an actual-size preview window.
// The application hands it an image; the editor edits a working copy, keeps
// a saved copy for revert, writes the result back into the application's
// image on apply, save or close and then calls the close callback.
//
//   vimageedtr* e = vimageedtrCreate();
//   vimageedtrSetImage(e, image);            // not taken; written on apply
//   vimageedtrSetCloseCallback(e, closed);   // void closed(vimageedtr*, vimage* saved)
//   vwindowOpen(e);
//
// Its menus issue the commands of its class ("CloseEditor", "Undo",
// "EditPalette", ...), which arrive as the selectors below.
//
// - `vimageedtr.h`: the editor dialog (`vimageedtr.cpp` the class, its items, the application's
//   image and the saved copy, apply, revert, the mask, open and close, the preferences;
//   `vimageedtr_parts.cpp` the view and model subclasses, the layout item, the location read-out and
//   the preview window; `vimageedtr_cmds.cpp` the command and key tables, the selectors 9-37 and
//   their states, the "Set Image" step, the size dialog, the palette editor and the choosers; import
//   and export above). The dialog is the "vimageedtr"/"vimageedtr" entry; the user items become the
//   colour controls and the image view, a hidden layout item keeps the image area and gives it to
//   the image view, or half less five to each view while the mask shows. The image model is a
//   subclass that knows its editor (colour indices, the mask's size and the preview follow a new
//   image); the mask model's source is the editor's own image. Menu items issue the commands by tag;
//   after each command the items are told their states (as the colour chooser does). Command keys
//   are bound with the command modifier and with Control. The size dialog, palette editor and shared
//   choosers go with the last editor. A full program calls `vimageedtrInstallStartup` before
//   `vwidgetsStartup`; with the editor's classes at start-up the module table needs more than 96
//   slots (`vmoduleSLOTS` is 128). `tests/x11/x11_imageedtr.cpp` (CTest `x11.imageedtr`) paints,
//   undoes, toggles and applies through XTest.
#pragma once
#include <cstdint>

#include "fw/core/rect.h"
#include "fw/gui/graphics/image.h"
#include "fw/imaging/vimged.h"
#include "fw/imaging/vimgedview.h"
#include "fw/widgets/dialog/dialog.h"

struct vimageedtr;
struct vpalette;
struct vcolorchsr;
struct vfontchsr;
struct vfilechsr;

// Called with the editor and its saved copy (the state just applied).
using vimageedtrCloseFunc = void (*)(vimageedtr* editor, vimage* saved);

// Flag word bits.
enum : std::uint32_t {
  vimageedtrNO_APPLY_ON_CLOSE = 0x1,  // closing neither applies nor calls back
};

// The location read-out's items, in this order in the label and value arrays.
enum : int { vimageedtrLOC_X, vimageedtrLOC_Y, vimageedtrLOC_DX, vimageedtrLOC_DY, vimageedtrLOC_LEN, vimageedtrLOC_ANG,
             vimageedtrLOC_COUNT };

// The selectors of the editor's commands.
enum : int {
  vimageedtrCLOSE = 9, vimageedtrAPPLY, vimageedtrSAVE, vimageedtrIMPORT, vimageedtrEXPORT, vimageedtrSET_SIZE,
  vimageedtrREVERT, vimageedtrUNDO, vimageedtrREDO, vimageedtrCUT, vimageedtrCOPY, vimageedtrPASTE, vimageedtrCLEAR,
  vimageedtrROTATE, vimageedtrFLIP_HOR, vimageedtrFLIP_VER, vimageedtrMASK_SELECTION, vimageedtrCROP_SELECTION,
  vimageedtrFAT_BITS, vimageedtrDRAW_CENTER, vimageedtrSHOW_GRID, vimageedtrSHOW_POSITION, vimageedtrPREVIEW,
  vimageedtrZOOM_IN, vimageedtrZOOM_OUT, vimageedtrSET_FONT, vimageedtrEDIT_PALETTE, vimageedtrCREATE_TRANSPARENCY,
  vimageedtrDELETE_TRANSPARENCY
};

struct vimageedtr : vdialog {
  std::uint32_t editorFlags;
  std::int32_t hasMask;  // 1 while the mask view is in use
  vimage* saved;         // owned: what revert returns to, updated by every apply
  vimage* image;         // the application's image, or null
  vimgedview* imageView;
  vimgedview* maskView;
  vimgedview* currentView;  // the one the user last worked in
  vimged* imageModel;
  vimged* maskModel;  // its source image is the editor's own
  vdialogItem* fgBgItem;
  vdialogItem* layoutItem;
  vdialog* preview;
  vdialogItem* previewItem;
  vdialogItem* mruItem;
  vpalette* toolPalette;
  vpalette* lineWidthPalette;
  vdialogItem* locLabels[vimageedtrLOC_COUNT];
  vdialogItem* locValues[vimageedtrLOC_COUNT];
  std::int32_t pointerShown;  // the preview draws the frame
  vimage* previewMask;        // one-bit, the image's size, with a mask only
  vrect frame;                // in the preview item's coordinates
  // The editor's own choosers; null: the shared ones, made on first use.
  vcolorchsr* colorChooser;
  vfontchsr* fontChooser;
  vfilechsr* importChooser;
  vfilechsr* exportChooser;
  vimageedtrCloseFunc closeFunc;
};

struct vimageedtrClassRec : vdialogClassRec {
  vdict* commands;  // the class's command dictionary
};

// Built once: reads the preferences, makes the classes the resources name
// and the command and key dictionaries.
vimageedtrClassRec* vimageedtrGetDefaultClass();
// Loads the dialog from the "vimageedtr" resources.
vimageedtr* vimageedtrCreate();
// Fills the start-up row "vimageedtrGetDefaultClass" with the editor's
// classes; a program calls it before starting the framework.
void vimageedtrInstallStartup();

// ---- The application's side.
// The image to edit (not taken, may be null): the saved copy is made from
// it, a mask it carries moves to the mask view, the undo history empties.
void vimageedtrSetImage(vimageedtr* editor, vimage* image);
inline vimage* vimageedtrGetImage(const vimageedtr* e) { return e->image; }
inline vimage* vimageedtrGetSavedImage(const vimageedtr* e) { return e->saved; }
void vimageedtrSetCloseCallback(vimageedtr* editor, vimageedtrCloseFunc callback);
inline void vimageedtrSetFlags(vimageedtr* e, std::uint32_t flags) { e->editorFlags = flags; }
inline std::uint32_t vimageedtrGetFlags(const vimageedtr* e) { return e->editorFlags; }
// The editor's own choosers (not taken); null returns to the shared ones.
inline void vimageedtrSetColorChooser(vimageedtr* e, vcolorchsr* c) { e->colorChooser = c; }
inline void vimageedtrSetFontChooser(vimageedtr* e, vfontchsr* c) { e->fontChooser = c; }
inline void vimageedtrSetImportChooser(vimageedtr* e, vfilechsr* c) { e->importChooser = c; }
inline void vimageedtrSetExportChooser(vimageedtr* e, vfilechsr* c) { e->exportChooser = c; }

// ---- Parts the editor is made of.
inline vimged* vimageedtrGetImageModel(const vimageedtr* e) { return e->imageModel; }
inline vimged* vimageedtrGetMaskModel(const vimageedtr* e) { return e->maskModel; }
inline vimgedview* vimageedtrGetImageView(const vimageedtr* e) { return e->imageView; }
inline vimgedview* vimageedtrGetMaskView(const vimageedtr* e) { return e->maskView; }
inline vimgedview* vimageedtrGetCurrentView(const vimageedtr* e) { return e->currentView; }
inline int vimageedtrHasMask(const vimageedtr* e) { return e->hasMask; }

// ---- Operations.
// Commits the models into the application's image (a copy of the mask
// attached as its owned mask) and copies it into the saved copy.
void vimageedtrApply(vimageedtr* editor);
// Returns to the saved copy and empties the undo histories.
void vimageedtrRevert(vimageedtr* editor);
// Records the undo step "Set Image": both models' images and the view's origin.
void vimageedtrRecordSetImage(vimageedtr* editor);
// Takes mask (a two-colour image of the image's size) as the mask model's
// image, shows the mask view and lays the views out anew; null drops the
// mask and hides the view.
void vimageedtrSetMask(vimageedtr* editor, vimage* mask);
// Gives the layout item its rectangle again: the views are laid out anew.
void vimageedtrRelayout(vimageedtr* editor);
// Invalidates both views.
void vimageedtrInvalidateViews(vimageedtr* editor);
// Brings the menus' enabled and marked states up to date.
void vimageedtrRefreshSelectors(vimageedtr* editor);

// The selector handler and the selector state: 1 when handled. The state
// goes into context as the attributed objects' query does ("State" enabled
// or disabled, "Toggle" on or off, "Title" for undo and redo).
int vimageedtrIssueSelector(vimageedtr* editor, int selector, vdict* context);
int vimageedtrQuerySelector(vimageedtr* editor, int selector, vdict* context);
// Whether a selector is enabled now (its state without a context).
bool vimageedtrSelectorEnabled(vimageedtr* editor, int selector);
// Whether a toggle selector is marked now.
bool vimageedtrSelectorMarked(vimageedtr* editor, int selector);

// The size dialog's range and its check: false beeps and restores.
inline constexpr int vimageedtrMIN_SIZE = 4;
inline constexpr int vimageedtrMAX_SIZE = 1500;
// Resizes the image (and mask) as the size dialog's apply does; false when
// a size lies outside the range (nothing changes then).
bool vimageedtrSetSize(vimageedtr* editor, int width, int height);
// The size dialog ("ImageSizeConfirm"), loaded on first use. One that is
// missing or lacks a "Width" or "Height" text item is refused: destroyed
// at once and raised with the framework file's name.
struct vconfirm;
vconfirm* vimageedtrGetSizeDialog();

// The location read-out for p (shown) and q: the six value texts.
struct vimageedtrLocation {
  double x, y, dx, dy, length, angle;
};
vimageedtrLocation vimageedtrComputeLocation(vpoint p, vpoint q);

// The palette editor the editors share, null until "EditPalette" opens it.
struct vpaled;
vpaled* vimageedtrGetPaletteEditor();

// ---- Preferences (module-wide).
struct vimageedtrPrefs {
  std::int32_t bitSize;
  std::int32_t grid;
  std::int32_t drawCenter;
  std::int32_t showLocation;
  std::int32_t preview;
  vfont* font;  // null: the application's font
};
vimageedtrPrefs* vimageedtrGetPrefs();
// Reads "vimageedPrefs" when the user's resources hold it, else
// "vimageedtrPrefs"; writes "vimageedPrefs".
void vimageedtrReadPrefs();
void vimageedtrWritePrefs();

// ---- With the file dispatch (its own file).
// The editor's import and export choosers, else the shared ones.
vfilechsr* vimageedtrGetImportChooser(vimageedtr* editor);
vfilechsr* vimageedtrGetExportChooser(vimageedtr* editor);
