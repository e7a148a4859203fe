// The palette editor: a dialog showing up to 256 colours as a grid of
// swatches. The user selects a range of entries and changes it (pick,
// warmer, cooler, lighter, darker, complement, ramp, blend), adds and
// deletes entries, cuts, copies and pastes ranges, undoes the last change,
// and loads, saves and deletes named palettes. OK hands the edited colours
// to the owner's callback.
//
//   vpaled* p = vpaledCreate();
//   vpaledSetPalette(p, palette);     // not taken
//   vpaledSetOkCallback(p, done);     // void done(vpaled*, vcolorList*)
//   vwindowOpen(p);
//
// - `vpaled.h`: the palette editor (`vpaled.cpp` the class, the table of buttons and menu items by
//   tag, undo, the clipboard, picking through the colour chooser; `vpaled_ops.cpp` the operations on
//   colour lists: HLS, ramp, blend, ranges, free names; `vpaled_grid.cpp` the swatch grid;
//   `vpaled_store.cpp` named palettes and saving). Its dialog, the name confirmation and the
//   built-in palettes are the "vimageedtr" entries of `vwexlin7.txt`; saved palettes go to
//   "palettes" of the user's resources. A save's store and flush run under a handler: a failure
//   removes the new entry, is shown in a notice, and the name dialog stays. The name dialog and the
//   shared chooser go with the last editor: destroyed from a context exit procedure they would
//   follow the dialog modules' own exits.
#pragma once
#include <cstdint>
#include <string>

#include "fw/gui/graphics/colorlist.h"
#include "fw/widgets/choosers/colorchsr.h"
#include "fw/widgets/dialog/dialog.h"
#include "fw/widgets/menus/menu.h"

struct vpaled;
using vpaledOkFunc = void (*)(vpaled* editor, vcolorList* colors);

enum : std::uint32_t {
  vpaledGROWN = 1,          // "New" added an entry
  vpaledREMAP = 2,          // the image's pixels follow the palette on OK
  vpaledOWN_CHOOSER = 4,    // the colour chooser came from the owner
};

inline constexpr std::uint32_t vpaledMAX_COLORS = 256;

struct vpaled : vdialog {
  vcolorList* start;  // not owned
  vcolorList* working;
  vcolorList* previous;
  std::uint32_t paledFlags;
  std::int32_t anchor, current;
  std::int32_t first, last;
  vpaledOkFunc ok;
  vdialogItem* grid;
  vdialogItem* sizeValue;
  vdialogItem* sizeStat;
  vdialogItem* menubar;
  vdialogItem *newBtn, *deleteBtn, *pickBtn, *rampBtn, *blendBtn, *contrastBtn, *lightBtn, *darkBtn, *warmBtn,
      *coolBtn, *okBtn, *cancelBtn, *remapChk;
  vcolorchsr* chooser;
  vmenu* palettesMenu;
  vimage* swatches;
};

struct vpaledClassRec : vdialogClassRec {};

vpaledClassRec* vpaledGetDefaultClass();
vpaled* vpaledCreate();
void vpaledSetPalette(vpaled* editor, vcolorList* palette);
void vpaledSetOkCallback(vpaled* editor, vpaledOkFunc ok);
void vpaledSetColorChooser(vpaled* editor, vcolorchsr* chooser);

// The buttons and menu items, by their resource tags ("NewBtn", "Undo",
// "SavePalette", ...), as a press or a choice of them does.
void vpaledDo(vpaled* editor, const char* tag);
// Loads a built-in or saved palette by name; false when there is none.
bool vpaledLoadPalette(vpaled* editor, const char* name);
// Removes a saved palette.
void vpaledDeletePalette(vpaled* editor, const char* name);
// Selects first..last (clamped to the entries) as a drag from first would.
void vpaledSelect(vpaled* editor, int first, int last);
// Brings the Palettes menu up to date, as a press on the menu bar does.
void vpaledRebuildMenus(vpaled* editor);
// The name-confirmation dialog a save opens, once loaded.
vconfirm* vpaledGetNameConfirm();
// The palette clipboard, null until a cut or copy.
vcolorList* vpaledGetClipboard();

// ---- The colour operations on a list, shared by the editor's files.
namespace vpaledOps {
struct HLS {
  double hue, lightness, saturation;
};
HLS toHLS(const vcolorSpec& color);
void fromHLS(const HLS& hls, vcolorSpec* color);
// Each changes entries first..last of the list.
void warm(vcolorList* list, int first, int last);
void cool(vcolorList* list, int first, int last);
void lighten(vcolorList* list, int first, int last, double by);
void complement(vcolorList* list, int first, int last);
void ramp(vcolorList* list, int first, int last);
void blend(vcolorList* list, int first, int last);
// Removes first..last.
void remove(vcolorList* list, int first, int last);
// Inserts the colours after entry at; false when the count would pass 256.
bool insertAfter(vcolorList* list, int at, const vcolorList* colors);
// The range first..last as a new list.
vcolorList* range(const vcolorList* list, int first, int last);
// "Palette", else "Palette" followed by 2, 3, ...: the first name taken()
// does not know.
std::string freeName(bool (*taken)(const char* name, void* data), void* data);
}  // namespace vpaledOps

// ---- Shared by the editor's files.
vdialogItemClassRec* _vpaledGridClass();
// Grid geometry: the item's rectangle inset by one, the entry under a
// point (clamped to the entries), and entry i's swatch.
vrect _vpaledGridRect(const vdialogItem* grid);
int _vpaledGridIndexAt(const vdialogItem* grid, int count, int x, int y);
vrect _vpaledSwatchRect(const vdialogItem* grid, int index);
// The selection frames of first..last, one per covered row segment.
int _vpaledSelectionFrames(const vdialogItem* grid, int first, int last, vrect* out, int capacity);
vpaled* _vpaledOfGrid(const vdialogItem* grid);
// After a change of the working colours: grid, count and buttons.
void _vpaledChanged(vpaled* editor);
void _vpaledUpdateButtons(vpaled* editor);
