// The image editor's commands: the command and key tables, the selector
// handler and the selector states, the "Set Image" undo step, the size
// dialog, the palette editor, the font and colour choosers.
#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "fw/core/ex.h"
#include "fw/data/inst.h"
#include "fw/data/undo.h"
#include "fw/data/vresource.h"
#include "fw/gui/graphics/color.h"
#include "fw/gui/window/msw.h"
#include "fw/imaging/codecs/pixops.h"
#include "fw/imaging/vimged_color.h"
#include "fw/imaging/vimageedtr_internal.h"
#include "fw/imaging/vimageedtr_io.h"
#include "fw/imaging/vpaled.h"
#include "fw/widgets/choosers/colorchsr.h"
#include "fw/widgets/choosers/confirm.h"
#include "fw/widgets/choosers/fontchsr.h"
#include "fw/widgets/controls/textitem.h"
#include "fw/widgets/menus/menu.h"
#include "fw/widgets/menus/menubar.h"
#include "fw/widgets/menus/menuitem.h"

using namespace imgedtr;

namespace {

constexpr std::uint32_t kCommand = 8, kCommandShift = 12, kControl = 2, kControlShift = 6;
constexpr std::uint32_t keyValue(std::uint32_t character, std::uint32_t modifiers) {
  return character << 16 | modifiers;
}

struct Row {
  const char* name;
  int selector;
  char key;  // 0: none; upper case with shift
};
constexpr Row kRows[] = {
    {"CloseEditor", vimageedtrCLOSE, 'w'},
    {"ApplyEditor", vimageedtrAPPLY, 'a'},
    {"SaveEditor", vimageedtrSAVE, 's'},
    {"Import", vimageedtrIMPORT, 'i'},
    {"Export", vimageedtrEXPORT, 'e'},
    {"SetSize", vimageedtrSET_SIZE, 0},
    {"Revert", vimageedtrREVERT, 'r'},
    {"Undo", vimageedtrUNDO, 'z'},
    {"Redo", vimageedtrREDO, 'y'},
    {"Cut", vimageedtrCUT, 'x'},
    {"Copy", vimageedtrCOPY, 'c'},
    {"Paste", vimageedtrPASTE, 'v'},
    {"Clear", vimageedtrCLEAR, 'b'},
    {"Rotate", vimageedtrROTATE, 'R'},
    {"FlipHor", vimageedtrFLIP_HOR, 'H'},
    {"FlipVer", vimageedtrFLIP_VER, 'V'},
    {"MaskSelection", vimageedtrMASK_SELECTION, 'M'},
    {"CropSelection", vimageedtrCROP_SELECTION, 'C'},
    {"FatBits", vimageedtrFAT_BITS, 'f'},
    {"DrawCenter", vimageedtrDRAW_CENTER, 0},
    {"ShowGrid", vimageedtrSHOW_GRID, 'g'},
    {"ShowPosition", vimageedtrSHOW_POSITION, 0},
    {"Preview", vimageedtrPREVIEW, 'p'},
    {"ZoomIn", vimageedtrZOOM_IN, 'I'},
    {"ZoomOut", vimageedtrZOOM_OUT, 'O'},
    {"SetFont", vimageedtrSET_FONT, 0},
    {"EditPalette", vimageedtrEDIT_PALETTE, 0},
    {"CreateTransparency", vimageedtrCREATE_TRANSPARENCY, 0},
    {"DeleteTransparency", vimageedtrDELETE_TRANSPARENCY, 0},
};

bool mine(int selector) { return selector >= vimageedtrCLOSE && selector <= vimageedtrDELETE_TRANSPARENCY; }

vdialogClassRec* super() { return vdialogGetDefaultClass(); }

void freeCommands() {
  ModuleState* st = state();
  if (!st->cls) return;
  vdictDestroy(st->cls->keyBindings);
  vinstanceDestroy(st->cls->space);
  st->cls->keyBindings = nullptr;
  st->cls->space = nullptr;
  st->cls->commands = nullptr;
}

vimged* currentModel(vimageedtr* e) {
  vimgedview* v = e->currentView ? e->currentView : e->imageView;
  return v ? v->editor : nullptr;
}
bool hasSelection(vimageedtr* e) {
  vimged* m = currentModel(e);
  return m && vimgedHasSelection(m);
}
bool modified(vimageedtr* e) {
  if (e->imageModel && vimgedIsModified(e->imageModel)) return true;
  return e->hasMask && e->maskModel && vimgedIsModified(e->maskModel);
}
bool previewOpen(vimageedtr* e) { return e->preview && vwindowIsOpen(e->preview); }

// Both models, for the operations that change image and mask alike.
template <class F>
void bothModels(vimageedtr* e, F&& op) {
  op(e->imageModel);
  if (e->hasMask && e->maskModel->working) op(e->maskModel);
}

void applyAndCall(vimageedtr* e) {
  vimageedtrApply(e);
  if (e->closeFunc) e->closeFunc(e, e->saved);
}

// ---- The "Set Image" step.
struct SetImageStep {
  vimageedtr* editor;
  vimage* image;
  vimage* mask;
  vrect origin;
};

vimage* copyOf(vimage* i) { return i ? static_cast<vimage*>(vobjectClone(i)) : nullptr; }

void putBack(vimged* m, vimage* held) {
  if (!m || !m->source || !held) return;
  vclassRec<vobjectClassRec>(held)->copy(held, m->source);
  vimgedSetImage(m, m->source);
}

void setImageStep(vundo*, void* data, int code) {
  auto* s = static_cast<SetImageStep*>(data);
  if (code == 3) {
    if (s->image) vimageDestroy(s->image);
    if (s->mask) vimageDestroy(s->mask);
    s->image = s->mask = nullptr;
    return;
  }
  if (code != 1 && code != 2) return;
  vimageedtr* e = s->editor;
  vimage* nowImage = copyOf(e->imageModel->working);
  vimage* nowMask = s->mask && e->maskModel->working ? copyOf(e->maskModel->working) : nullptr;
  putBack(e->imageModel, s->image);
  if (s->mask) putBack(e->maskModel, s->mask);
  vimgedviewSetOrigin(e->imageView, &s->origin);
  if (e->hasMask) vimgedviewSetOrigin(e->maskView, &s->origin);
  if (s->image) vimageDestroy(s->image);
  if (s->mask) vimageDestroy(s->mask);
  s->image = nowImage;
  s->mask = nowMask;
  vimageedtrInvalidateViews(e);
}

// The windows a command builds from the framework's file: a damaged one is
// said with that file's name, which the failure itself does not give.
template <class Open>
void openFromFrameworkFile(const char* window, Open open) {
  vexGuard(open, [&](vexHandler&) {
    // The exception keeps only a pointer to its message.
    static std::string said;
    said = "resource file " + vinstSystemFileName() + ": cannot read the " + window;
    _vexGenerate(&vexArgClass, vexSetMessage, said.c_str(), vexEnd);
  });
}

// ---- The size dialog.
vtextitem* sizeField(vconfirm* d, vname tag) { return _vdialogFindItemAs<vtextitem>(d, tag, vtextitemGetDefaultClass()); }

void setField(vtextitem* field, int value) {
  if (field) vtextitemSetTextChars(field, std::to_string(value).c_str());
}

// A text that is no integer counts as 0.
int readField(vtextitem* field) {
  if (!field) return 0;
  std::int32_t v = 0;
  if (!vexTry([&] { v = vtextitemGetInteger(field); })) v = 0;
  return v;
}

bool inRange(int v) { return v >= vimageedtrMIN_SIZE && v <= vimageedtrMAX_SIZE; }

int sizeApplied(vconfirm* d, vevent*) {
  ModuleState* st = state();
  vimageedtr* e = st->sizeEditor;
  if (!e || !e->imageModel->working) return 1;
  vimage* w = e->imageModel->working;
  vtextitem* fields[] = {sizeField(d, vname_Width), sizeField(d, vname_Height)};
  int current[] = {w->width, w->height};
  int wanted[2];
  bool ok = true;
  for (int i = 0; i < 2; ++i) {
    wanted[i] = readField(fields[i]);
    if (inRange(wanted[i])) continue;
    vwindowBeep();
    setField(fields[i], current[i]);
    ok = false;
  }
  if (!ok) return 0;
  vimageedtrSetSize(e, wanted[0], wanted[1]);
  return 1;
}

// The dialog with both fields, each a text item; one without them is
// destroyed whole here and raised as damaged, never kept.
vconfirm* loadSizeDialog() {
  vresource dict = dictionary(), r = 0;
  if (!dict || !vresourceTestGet(dict, L("ImageSizeConfirm"), &r))
    _vexGenerate(&vexArgClass, vexSetMessage, "no \"ImageSizeConfirm\" dialog", vexEnd);
  vconfirmGetDefaultClass();
  vtextitemGetDefaultClass();
  auto* d = static_cast<vconfirm*>(static_cast<vinstance*>(_vobjectLoadOfClass(r, vconfirmGetDefaultClass())));
  vexGuard(
      [&] {
        for (vname tag : {vname_Width, vname_Height})
          if (!sizeField(d, tag)) _vexGenerate(&vexArgClass, vexSetMessage, "Resource file is damaged", vexEnd);
      },
      [&](vexHandler&) {
        vinstanceDestroy(d);
        _vexGenerate(nullptr, vexEnd);
      });
  return d;
}

void dropSizeDialog() {
  ModuleState* st = state();
  if (!st->sizeDialog) return;
  if (vwindowIsOpen(st->sizeDialog)) vwindowClose(st->sizeDialog);
  vinstanceDestroy(st->sizeDialog);
  st->sizeDialog = nullptr;
  st->sizeEditor = nullptr;
}

void openSizeDialog(vimageedtr* e) {
  vconfirm* d = vimageedtrGetSizeDialog();
  if (!e->imageModel->working) return;
  state()->sizeEditor = e;
  setField(sizeField(d, vname_Width), e->imageModel->working->width);
  setField(sizeField(d, vname_Height), e->imageModel->working->height);
  if (vwindowIsOpen(d)) return;
  vdialogPlace(d, e, 6, 6);
  vwindowOpen(d);
}

// ---- The palette editor and the choosers.
void paletteChosen(vpaled* p, vcolorList* colors) {
  ModuleState* st = state();
  vimageedtr* e = st->paletteOwner;
  if (!e || !e->imageModel->working) return;
  vimageedtrRecordSetImage(e);
  vimgedSetPalette(e->imageModel, colors, (p->paledFlags & vpaledREMAP) != 0);
  vimageedtrInvalidateViews(e);
  // The palette editor's OK is no selector of ours: the menus (Undo's step,
  // Save) are brought up to date here.
  vimageedtrRefreshSelectors(e);
}

void dropPaletteEditor() {
  ModuleState* st = state();
  if (!st->paletteEditor) return;
  if (vwindowIsOpen(st->paletteEditor)) vwindowClose(st->paletteEditor);
  vinstanceDestroy(st->paletteEditor);
  st->paletteEditor = nullptr;
  st->paletteOwner = nullptr;
}

void dropChoosers() {
  ModuleState* st = state();
  for (vconfirm* c : {static_cast<vconfirm*>(st->colorChooser), static_cast<vconfirm*>(st->fontChooser)}) {
    if (!c) continue;
    if (vwindowIsOpen(c)) vwindowClose(c);
    vinstanceDestroy(c);
  }
  st->colorChooser = nullptr;
  st->fontChooser = nullptr;
}

void colorChosen(vcolorchsr*, vcolor* color) {
  vimageedtr* e = state()->chooserOwner;
  if (!e || !color || !e->imageView) return;
  unsigned r = 0, g = 0, b = 0;
  vcolorGetSpecRGB(&color->desc, &r, &g, &b);
  vimgedviewSetForeground(e->imageView, (r >> 8) << 16 | (g >> 8) << 8 | (b >> 8));
}

int fontChosen(vfontchsr*, vfont* font) {
  vimageedtr* e = state()->chooserOwner;
  if (!e || !font) return 1;
  for (vimgedview* v : {e->imageView, e->maskView})
    if (v) v->font = font;
  vimageedtrGetPrefs()->font = font;
  return 1;
}

// An image without a palette: Palette... picks a colour instead.
bool directColour(vimageedtr* e) {
  vimage* w = e->imageModel->working;
  return w && (w->flags & vimageNO_PALETTE);
}

void editPalette(vimageedtr* e) {
  vimage* w = e->imageModel->working;
  if (!w) return;
  ModuleState* st = state();
  if (directColour(e)) {
    vcolorchsr* c = e->colorChooser;
    if (!c) {
      if (!st->colorChooser) {
        st->colorChooser = vcolorchsrCreate();
      }
      c = st->colorChooser;
    }
    st->chooserOwner = e;
    vcolorchsrSetApply(c, colorChosen);
    if (!vwindowIsOpen(c)) vwindowOpen(c);
    return;
  }
  if (!st->paletteEditor) {
    st->paletteEditor = vpaledCreate();
  }
  st->paletteOwner = e;
  vpaledSetOkCallback(st->paletteEditor, paletteChosen);
  vpaledSetPalette(st->paletteEditor, vimageGetPalette(w));
  if (e->colorChooser) vpaledSetColorChooser(st->paletteEditor, e->colorChooser);
  placeBeside(st->paletteEditor, e);
  if (!vwindowIsOpen(st->paletteEditor)) vwindowOpen(st->paletteEditor);
}

void chooseFont(vimageedtr* e) {
  ModuleState* st = state();
  vfontchsr* c = e->fontChooser;
  if (!c) {
    if (!st->fontChooser) {
      st->fontChooser = vfontchsrCreate();
    }
    c = st->fontChooser;
  }
  st->chooserOwner = e;
  vfontchsrSetApply(c, fontChosen);
  if (e->imageView && e->imageView->font) vfontchsrSetFont(c, e->imageView->font);
  if (!vwindowIsOpen(c)) vwindowOpen(c);
}

// ---- The selection commands.
void maskSelection(vimageedtr* e) {
  if (!e->hasMask || e->currentView != e->imageView) return;
  vimged* m = e->imageModel;
  int x = 0, y = 0;
  vimage* sel = vimgedGetSelection(m, nullptr, &x, &y);
  if (!sel) return;
  vimage* shape = vimgedMaskFromValue(sel, e->imageView->background);
  vimgedSetSelection(e->maskModel, shape, copyOf(shape), 0, x, y);
  vimgedCommitSelection(m);
  e->currentView = e->maskView;
}

// The mask's part under the selection's rectangle; what lies outside the
// mask stays clear.
vimage* maskPart(vimage* mask, const vrect& r) {
  vimage* part = vimageCreateSized(r.width, r.height, 2);
  vcolorListCopy(vimageGetPalette(mask), vimageGetPalette(part));
  vpixmapFill(part, 0);
  int x0 = std::max<int>(r.x, 0), y0 = std::max<int>(r.y, 0);
  int x1 = std::min(r.x + r.width, int(mask->width)), y1 = std::min(r.y + r.height, int(mask->height));
  if (x1 > x0 && y1 > y0) vpixmapCopyRect(mask, part, x0, y0, x1 - x0, y1 - y0, x0 - r.x, y0 - r.y);
  return part;
}

void cropSelection(vimageedtr* e) {
  if (e->currentView != e->imageView || !e->image) return;
  vimged* m = e->imageModel;
  int x = 0, y = 0;
  vimage* sel = vimgedGetSelection(m, nullptr, &x, &y);
  if (!sel) return;
  // Recording puts the selection down: its pixels are taken first, and
  // the mask's under it so that the mask keeps matching the image.
  vimage* cropped = copyOf(sel);
  vrect r{std::int16_t(x), std::int16_t(y), sel->width, sel->height};
  vimage* mask = e->hasMask && e->maskModel->working ? maskPart(e->maskModel->working, r) : nullptr;
  vimageedtrRecordSetImage(e);
  vclassRec<vobjectClassRec>(cropped)->copy(cropped, m->source);
  vimageDestroy(cropped);
  vimgedSetImage(m, m->source);
  if (mask) {
    vimgedCommitSelection(e->maskModel);
    vclassRec<vobjectClassRec>(mask)->copy(mask, e->maskModel->source);
    vimageDestroy(mask);
    vimgedSetImage(e->maskModel, e->maskModel->source);
  }
  vimageedtrInvalidateViews(e);
}

void createTransparency(vimageedtr* e) {
  vimage* w = e->imageModel->working;
  if (e->hasMask || !w) return;
  vimage* mask = vimageCreateSized(w->width, w->height, 2);
  vcolorList* p = vimageGetPalette(mask);
  vcolorSetSpecRGB(&p->entries[0], 65535, 65535, 65535);
  vcolorSetSpecRGB(&p->entries[1], 0, 0, 0);
  vcolorListChanged(p);
  vpixmapFill(mask, 0);
  vimageedtrSetMask(e, mask);
}

void fatBits(vimageedtr* e) {
  vimgedview* v = e->imageView;
  int bits = vimageedtrGetPrefs()->bitSize;
  vimgedviewSetZoom(v, v->zoom <= 1 ? (bits == 1 ? 5 : bits) : 1);
}

void toggleFlag(vimageedtr* e, std::uint32_t flag, bool bothViews) {
  bool on = !(e->imageView->viewFlags & flag);
  for (vimgedview* v : {e->imageView, bothViews ? e->maskView : nullptr}) {
    if (!v) continue;
    if (on) v->viewFlags |= flag;
    else v->viewFlags &= ~flag;
  }
}

vname onOff(bool on) { return on ? vname_On : vname_Off; }

}  // namespace

namespace imgedtr {

void installCommands(vimageedtrClassRec* c) {
  c->space = static_cast<vcommandSpace*>(vobjectClone(super()->space));
  vcommandTableRow table[std::size(kRows)];
  for (std::size_t i = 0; i < std::size(kRows); ++i) table[i] = {kRows[i].name, kRows[i].selector};
  c->commands = vcommandCreateDictFromTable(vobjectGetCommandClass(), table, int(std::size(kRows)));
  vcommandSpaceAddDict(c->space, vname_Command, c->commands);
  vdict* keys = vdictCreate(vdictHashName);
  for (const Row& r : kRows) {
    if (!r.key) continue;
    // The command modifier, and Control where no command key is mapped to
    // it; with Shift the character may come either way.
    bool shifted = r.key >= 'A' && r.key <= 'Z';
    auto ch = std::uint32_t(r.key), lower = shifted ? ch - 'A' + 'a' : ch;
    std::vector<std::uint32_t> bound;
    if (shifted)
      bound = {keyValue(ch, kCommandShift), keyValue(lower, kCommandShift), keyValue(ch, kControlShift),
               keyValue(lower, kControlShift)};
    else
      bound = {keyValue(ch, kCommand), keyValue(ch, kControl)};
    vcommandKeyList* list = vcommandCreateKeyList();
    vcommandAppendKeys(list, bound.data(), int(bound.size()));
    vdictStore(keys, L(r.name), list);
  }
  vcommandSpaceAddDict(c->space, vname_Key, keys);
  c->keyBindings = vdictCopy(super()->keyBindings);
  vcommandSpaceVisitKeys(c->space, c->keyBindings);
  vmoduleAddContextExitProc(freeCommands);
}

void forgetEditor(vimageedtr* e) {
  ModuleState* st = state();
  // The shared dialogs go with the last editor: using them starts modules
  // whose exit procedures would run before ours. Nothing frees them at the
  // context's close: a program that ends with an editor left (a refused
  // window's raise) has let the text layer go by then, and their text
  // items would be freed into it.
  if (st->editors <= 1) {
    dropSizeDialog();
    dropPaletteEditor();
    dropChoosers();
    _vimageedtrDropChoosers();
    st->chooserOwner = nullptr;
    return;
  }
  _vimageedtrForgetChoosers(e);
  if (st->sizeEditor == e) {
    st->sizeEditor = nullptr;
    if (st->sizeDialog && vwindowIsOpen(st->sizeDialog)) vwindowClose(st->sizeDialog);
  }
  if (st->paletteOwner == e) {
    st->paletteOwner = nullptr;
    if (st->paletteEditor && vwindowIsOpen(st->paletteEditor)) vwindowClose(st->paletteEditor);
  }
  if (st->chooserOwner == e) st->chooserOwner = nullptr;
}

}  // namespace imgedtr

vconfirm* vimageedtrGetSizeDialog() {
  ModuleState* st = state();
  if (st->sizeDialog) return st->sizeDialog;
  vconfirm* d = nullptr;
  openFromFrameworkFile("size dialog", [&] { d = loadSizeDialog(); });
  // The template's size: its fields have no layout to size the dialog by,
  // which would shrink it to the buttons.
  d->dialogFlags &= std::uint16_t(~vdialogSIZE_PENDING);
  vconfirmSetApply(d, sizeApplied);
  st->sizeDialog = d;
  return d;
}

vpaled* vimageedtrGetPaletteEditor() { return state()->paletteEditor; }

bool vimageedtrSetSize(vimageedtr* e, int width, int height) {
  vimage* w = e->imageModel->working;
  if (!w || !e->image || !inRange(width) || !inRange(height)) return false;
  if (width == w->width && height == w->height) return true;
  vimageedtrRecordSetImage(e);
  vimgedApply(e->imageModel);
  vimage* source = e->imageModel->source;
  vpixmapSetSize(source, width, height, 21, e->imageView->background);
  vimgedSetImage(e->imageModel, source);
  // The image model's set-image brought the mask to the new size.
  vimageedtrInvalidateViews(e);
  vimageedtrRefreshSelectors(e);
  return true;
}

void vimageedtrRecordSetImage(vimageedtr* e) {
  if (!e->imageModel->working) return;
  vimgedCommitSelection(e->imageModel);
  if (e->hasMask && e->maskModel->working) vimgedCommitSelection(e->maskModel);
  SetImageStep step{e, copyOf(e->imageModel->working),
                    e->hasMask && e->maskModel->working ? copyOf(e->maskModel->working) : nullptr,
                    e->imageView->origin};
  vundoAddCustomAction(e->imageModel->undo, setImageStep, &step, sizeof step);
  vundoCloseTopAction(e->imageModel->undo, vscribeLiteral("Set Image"));
}

bool vimageedtrSelectorEnabled(vimageedtr* e, int selector) {
  switch (selector) {
    case vimageedtrSAVE: return modified(e);
    case vimageedtrUNDO: return currentModel(e) && vimgedCanUndo(currentModel(e), nullptr);
    case vimageedtrREDO: return currentModel(e) && vimgedCanRedo(currentModel(e), nullptr);
    case vimageedtrCUT:
    case vimageedtrCOPY:
    case vimageedtrCLEAR:
    case vimageedtrROTATE:
    case vimageedtrFLIP_HOR:
    case vimageedtrFLIP_VER:
    case vimageedtrCROP_SELECTION: return hasSelection(e);
    case vimageedtrPASTE: return !vimgedClipboardIsEmpty();
    case vimageedtrMASK_SELECTION: return hasSelection(e) && e->hasMask;
    case vimageedtrZOOM_OUT: return e->imageView && e->imageView->zoom > 1;
    case vimageedtrCREATE_TRANSPARENCY: return !e->hasMask;
    case vimageedtrDELETE_TRANSPARENCY: return e->hasMask != 0;
    default: return true;
  }
}

bool vimageedtrSelectorMarked(vimageedtr* e, int selector) {
  std::uint32_t flags = e->imageView ? e->imageView->viewFlags : 0;
  switch (selector) {
    case vimageedtrDRAW_CENTER: return (flags & vimgedviewCENTRE) != 0;
    case vimageedtrSHOW_GRID: return (flags & vimgedviewGRID_WANTED) != 0;
    case vimageedtrSHOW_POSITION: return (flags & vimgedviewREPORT) != 0;
    case vimageedtrPREVIEW: return previewOpen(e);
    default: return false;
  }
}

int vimageedtrQuerySelector(vimageedtr* e, int selector, vdict* context) {
  if (!mine(selector)) return super()->querySelector(e, selector, context);
  if (!context) return 1;
  vdictStore(context, vname_Dispatch, vname_Enabled);
  vdictStore(context, vname_State, vimageedtrSelectorEnabled(e, selector) ? vname_Enabled : vname_Disabled);
  switch (selector) {
    case vimageedtrDRAW_CENTER:
    case vimageedtrSHOW_GRID:
    case vimageedtrSHOW_POSITION:
    case vimageedtrPREVIEW: vdictStore(context, vname_Toggle, onOff(vimageedtrSelectorMarked(e, selector))); break;
    case vimageedtrUNDO:
    case vimageedtrREDO: {
      const char* label = nullptr;
      if (vimged* m = currentModel(e))
        selector == vimageedtrUNDO ? vimgedCanUndo(m, &label) : vimgedCanRedo(m, &label);
      if (!label) label = selector == vimageedtrUNDO ? "Undo" : "Redo";
      vdictStore(context, vname_Title, vnameIntern(vscribeCString(label)));
      break;
    }
    default: break;
  }
  return 1;
}


int vimageedtrIssueSelector(vimageedtr* e, int selector, vdict* context) {
  if (!mine(selector)) return super()->issueSelector(e, selector, context);
  vimged* m = currentModel(e);
  vimgedview* v = e->imageView;
  switch (selector) {
    case vimageedtrCLOSE: vwindowClose(e); return 1;
    case vimageedtrAPPLY:
    case vimageedtrSAVE: applyAndCall(e); break;
    case vimageedtrIMPORT: openFromFrameworkFile("file chooser", [&] { vimageedtrOpenImportChooser(e); }); break;
    case vimageedtrEXPORT: openFromFrameworkFile("file chooser", [&] { vimageedtrOpenExportChooser(e); }); break;
    case vimageedtrSET_SIZE: openSizeDialog(e); break;
    case vimageedtrREVERT: vimageedtrRevert(e); break;
    case vimageedtrUNDO:
      if (m) vimgedUndo(m);
      break;
    case vimageedtrREDO:
      if (m) vimgedRedo(m);
      break;
    case vimageedtrCUT:
      if (m) vimgedCopy(m), vimgedClearSelection(m);
      break;
    case vimageedtrCOPY:
      if (m) vimgedCopy(m);
      break;
    case vimageedtrPASTE:
      if (m && e->currentView) vimgedPaste(m, &e->currentView->origin);
      break;
    case vimageedtrCLEAR:
      if (m) vimgedClearSelection(m);
      break;
    case vimageedtrROTATE: bothModels(e, vimgedRotate); break;
    case vimageedtrFLIP_HOR: bothModels(e, vimgedFlipHorizontal); break;
    case vimageedtrFLIP_VER: bothModels(e, vimgedFlipVertical); break;
    case vimageedtrMASK_SELECTION: maskSelection(e); break;
    case vimageedtrCROP_SELECTION: cropSelection(e); break;
    case vimageedtrFAT_BITS: fatBits(e); break;
    case vimageedtrDRAW_CENTER: toggleFlag(e, vimgedviewCENTRE, true); break;
    case vimageedtrSHOW_GRID: {
      bool on = !(v->viewFlags & vimgedviewGRID_WANTED);
      for (vimgedview* each : {e->imageView, e->maskView}) vimgedviewSetGrid(each, on);
      break;
    }
    case vimageedtrSHOW_POSITION:
      toggleFlag(e, vimgedviewREPORT, false);
      showLocation(e, (v->viewFlags & vimgedviewREPORT) != 0);
      break;
    case vimageedtrPREVIEW: togglePreview(e); break;
    case vimageedtrZOOM_IN: vimgedviewSetZoom(v, v->zoom + 1); break;
    case vimageedtrZOOM_OUT:
      if (v->zoom > 1) vimgedviewSetZoom(v, v->zoom - 1);
      break;
    case vimageedtrSET_FONT: openFromFrameworkFile("font chooser", [&] { chooseFont(e); }); break;
    case vimageedtrEDIT_PALETTE:
      openFromFrameworkFile(directColour(e) ? "colour chooser" : "palette editor", [&] { editPalette(e); });
      break;
    case vimageedtrCREATE_TRANSPARENCY: createTransparency(e); break;
    case vimageedtrDELETE_TRANSPARENCY:
      if (e->hasMask) vimageedtrSetMask(e, nullptr);
      break;
    default: return super()->issueSelector(e, selector, context);
  }
  vimageedtrRefreshSelectors(e);
  return 1;
}

void vimageedtrRefreshSelectors(vimageedtr* e) {
  vmenubarRefreshFromQueries(_vdialogFindItemAs<vmenubar>(e, L("Menu Bar"), vmenubarGetDefaultClass()));
}

namespace imgedtr {

void placeBeside(vdialog* d, vimageedtr* e) {
  vdialogPlaceRelative(d, e, 8, 11);
  const vrect& screen = vwindowGetRoot()->rect;
  vrect r = d->rect;
  r.x = std::int16_t(std::max(0, std::min<int>(r.x, screen.width - r.width)));
  r.y = std::int16_t(std::max(0, std::min<int>(r.y, screen.height - r.height)));
  if (r.x != d->rect.x || r.y != d->rect.y) vwindowSetRect(d, &r);
}

}  // namespace imgedtr
