// The image editor's class: loading its dialog and building its items, the
// application's image and the saved copy, apply, revert, the mask, open,
// close and the preferences.
#include "fw/imaging/vimageedtr.h"

#include <cstring>
#include <new>

#include "fw/core/ex.h"
#include "fw/core/mem.h"
#include "fw/core/sys.h"
#include "fw/data/vresource.h"
#include "fw/gui/graphics/font.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/namedres.h"
#include "fw/imaging/vimged_color.h"
#include "fw/imaging/vimageedtr_internal.h"
#include "fw/imaging/vpaled.h"
#include "fw/widgets/choosers/colorchsr.h"
#include "fw/widgets/choosers/confirm.h"
#include "fw/widgets/choosers/filechsr.h"
#include "fw/widgets/choosers/fontchsr.h"
#include "fw/widgets/controls/textitem.h"
#include "fw/widgets/dialog/itemlist.h"
#include "fw/widgets/lists/palette.h"
#include "fw/widgets/menus/menu.h"
#include "fw/widgets/menus/menubar.h"
#include "fw/widgets/menus/menuitem.h"

using namespace imgedtr;

namespace imgedtr {

namespace {
void** stateSlot = nullptr;
void freeModule() { state()->~ModuleState(); }
}  // namespace

ModuleState* state() {
  if (auto* bound = vmoduleState<ModuleState>(stateSlot)) return bound;
  auto* st = new (vmoduleBindSlot(stateSlot, sizeof(ModuleState))) ModuleState{};
  vmoduleAddContextExitProc(freeModule);
  return st;
}

vresource dictionary() {
  vresource d = 0;
  return vapplicationFindNamedResource(L("vimageedtr"), &d) ? d : 0;
}

vimageedtr* editorOfItem(vdialogItem* item) {
  vwindow* w = item ? vdialogGetItemWindow(item) : nullptr;
  if (!w || !vclassIsSubclass(w->cls, vimageedtrGetDefaultClass())) return nullptr;
  return static_cast<vimageedtr*>(w);
}

vimgedview* otherView(vimageedtr* e, vimgedview* v) {
  if (!e || !e->hasMask) return nullptr;
  if (v == e->imageView) return e->maskView;
  if (v == e->maskView) return e->imageView;
  return nullptr;
}

void setMaskSource(vimageedtr* e, vimage* mask) {
  vimage* old = e->maskModel ? e->maskModel->source : nullptr;
  if (e->maskModel) vimgedSetImage(e->maskModel, mask);
  if (old && old != mask) vimageDestroy(old);
}

void checkColorIndices(vimageedtr* e) {
  vimage* w = e->imageModel ? e->imageModel->working : nullptr;
  if (!w || (w->flags & vimageNO_PALETTE) || !e->imageView) return;
  std::uint32_t n = vimageGetPalette(w)->count;
  if (e->imageView->foreground >= n) vimgedviewSetForeground(e->imageView, 1);
  if (e->imageView->background >= n) vimgedviewSetBackground(e->imageView, 0);
}

}  // namespace imgedtr

namespace {

vdialogClassRec* super() { return vdialogGetDefaultClass(); }
vimageedtr* asE(vinstance* o) { return static_cast<vimageedtr*>(o); }

int loading = 0;
struct Loading {
  Loading() { ++loading; }
  ~Loading() { --loading; }
};

void clearOwnFields(vimageedtr* e) {
  auto* begin = reinterpret_cast<char*>(&e->editorFlags);
  std::memset(begin, 0, std::size_t(reinterpret_cast<char*>(e + 1) - begin));
}

// Each is then used as class used: another is a damaged template.
vdialogItem* find(vimageedtr* e, const char* tag, const vclass* used = vdialogItemGetDefaultClass()) {
  return _vdialogFindItemOfClass(e, L(tag), used);
}

// Puts item in the place of the item of the tag, with its rectangle; the
// loaded one goes. False when the dialog has no such item.
bool replaceItem(vimageedtr* e, const char* tag, vdialogItem* item) {
  vdialogItemList* list = e->items;
  int index = vobjectListIndexOfTag(list, L(tag));
  if (index < 0) return false;
  vdialogItem* loaded = vdialogItemListAt(list, index);
  item->tag = loaded->tag;
  vdialogSetItemRect(item, &loaded->rect);
  vobjectListSetAt(list, index, item);
  vinstanceDestroy(loaded);
  return true;
}

// ---- The palettes' entries.
void toolChosen(vpalette* palette, vpaletteItem* item);
void widthChosen(vpalette* palette, vpaletteItem* item);

struct ToolName {
  const char* name;
  int tool;
};
constexpr ToolName kToolNames[] = {
    {"Hand", 0},       {"Line", 1},   {"Pencil", 2},      {"Circle", 3},      {"Rect", 4},
    {"Paint", 5},      {"SelectRect", 6}, {"Eraser", 7},  {"Lasso", 8},       {"Dropper", 9},
    {"FilledRect", 10}, {"FilledCircle", 11}, {"Text", 12}, {"Spray", 13},
};

void fillPalette(vpalette* palette, const char* entry, vpaletteItemAction action) {
  vresource dict = dictionary(), r = 0, items = 0;
  if (!palette || !dict || !vresourceTestGet(dict, L(entry), &r)) return;
  std::int32_t v = 0;
  if (vresourceTestGetInteger(r, vname_Width, &v)) palette->cellWidth = v;
  if (vresourceTestGetInteger(r, vname_Height, &v)) palette->cellHeight = v;
  vlistviewSetRowHeight(palette, vlistsizeALL_ROWS, palette->cellHeight);
  vlistviewSetColumnWidth(palette, vlistsizeALL_COLUMNS, palette->cellWidth);
  if (vresourceTestGetInteger(r, L("MaxColumn"), &v)) vpaletteSetColumns(palette, v);
  if (!vresourceTestGet(r, vname_Items, &items)) return;
  for (std::int32_t k = 0; k < vresourceCount(items); ++k) {
    auto* i = static_cast<vpaletteItem*>(vclassAllocInstance(vpaletteItemGetDefaultClass()));
    i->cls = vpaletteItemGetDefaultClass();
    vclassRec<vobjectClassRec>(i)->loadInit(i, vresourceGetAt(items, k));
    vpaletteItemSetAction(i, action);
    vpaletteAppendItem(palette, i);
  }
}

void selectEntry(vpalette* palette, const char* name) {
  if (!palette) return;
  if (vpaletteItem* i = vpaletteFindItem(palette, L(name))) vpaletteSelectItem(palette, i);
}

int toolNumber(vname tag) {
  for (const ToolName& t : kToolNames)
    if (L(t.name) == tag) return t.tool;
  return -1;
}

void toolChosen(vpalette* palette, vpaletteItem* item) {
  vimageedtr* e = editorOfItem(palette);
  int tool = item ? toolNumber(item->tag) : -1;
  if (!e || tool < 0) return;
  for (vimgedview* v : {e->imageView, e->maskView})
    if (v) vimgedviewSetTool(v, tool);
}

void widthChosen(vpalette* palette, vpaletteItem* item) {
  vimageedtr* e = editorOfItem(palette);
  if (!e || !item || !item->tag) return;
  const char* name = item->tag;
  if (std::strncmp(name, "LineWidth", 9) != 0) return;
  int width = name[9] - '0';
  if (width < 1 || width > 4) return;
  for (vimgedview* v : {e->imageView, e->maskView})
    if (v) v->pen = std::int16_t(width);
}

// ---- Building the items.
void applyPrefs(vimgedview* v, bool imageView) {
  const vimageedtrPrefs& p = *vimageedtrGetPrefs();
  vimgedviewSetGrid(v, p.grid);
  vimgedviewSetZoom(v, p.bitSize);
  if (p.font) v->font = p.font;
  if (p.drawCenter) v->viewFlags |= vimgedviewCENTRE;
  if (imageView && p.showLocation) v->viewFlags |= vimgedviewREPORT;
}

vimgedview* makeView(vimgedviewClassRec* cls, vimged* model, bool imageView) {
  auto* v = static_cast<vimgedview*>(vinstanceCreate(cls));
  vimgedviewSetEditor(v, model);
  applyPrefs(v, imageView);
  vimgedviewSetHorizontalBar(v, 1);
  vimgedviewSetVerticalBar(v, 1);
  v->report = reportLocation;
  return v;
}

vimged* makeModel(vimageedtr* e) {
  auto* m = static_cast<Model*>(vinstanceCreate(modelClass()));
  m->owner = e;
  return m;
}

void build(vimageedtr* e) {
  // Colour controls.
  e->fgBgItem = vdialogItemCreate(vimgedutilsGetFgBgItemClass());
  if (!replaceItem(e, "fgBgUserItem", e->fgBgItem)) vinstanceDestroy(e->fgBgItem), e->fgBgItem = nullptr;
  e->mruItem = vdialogItemCreate(vimgedutilsGetMRUItemClass());
  if (!replaceItem(e, "mruUserItem", e->mruItem)) vinstanceDestroy(e->mruItem), e->mruItem = nullptr;
  // Palettes.
  e->toolPalette = reinterpret_cast<vpalette*>(find(e, "toolPalette", vpaletteGetDefaultClass()));
  e->lineWidthPalette = reinterpret_cast<vpalette*>(find(e, "lineWtPalette", vpaletteGetDefaultClass()));
  fillPalette(e->toolPalette, vwindowIsMonochrome() ? "ImageMonoPalette" : "ImageColorPalette", toolChosen);
  fillPalette(e->lineWidthPalette, "ImageWidthPalette", widthChosen);
  selectEntry(e->lineWidthPalette, "LineWidth1");
  // The models and their views; the layout item takes the image area.
  e->imageModel = makeModel(e);
  e->maskModel = vimgedCreate();
  e->imageView = makeView(imageViewClass(), e->imageModel, true);
  e->currentView = e->imageView;
  if (vimageedtrGetPrefs()->preview) vimgedSetNotify(e->imageModel, 1);
  vrect area{0, 0, 0, 0};
  if (vdialogItem* place = find(e, "imageUserItem")) area = place->rect;
  if (!replaceItem(e, "imageUserItem", e->imageView)) vdialogAppendItem(e, e->imageView);
  e->maskView = makeView(maskViewClass(), e->maskModel, false);
  vdialogAppendItem(e, e->maskView);
  vdialogHideItem(e->maskView);
  vdialogDisableItem(e->maskView);
  e->layoutItem = vdialogItemCreate(layoutClass());
  vdialogHideItem(e->layoutItem);
  vdialogAppendItem(e, e->layoutItem);
  vdialogSetItemRect(e->layoutItem, &area);
  // The location read-out.
  static const char* const kLabels[] = {"xStatic", "yStatic", "dxStatic", "dyStatic", "lenStatic", "angStatic"};
  static const char* const kValues[] = {"xValue", "yValue", "dxValue", "dyValue", "lenValue", "angValue"};
  for (int i = 0; i < vimageedtrLOC_COUNT; ++i) {
    e->locLabels[i] = find(e, kLabels[i]);
    e->locValues[i] = find(e, kValues[i]);
  }
  showLocation(e, vimageedtrGetPrefs()->showLocation != 0);
  // The colour controls follow the image view.
  if (e->fgBgItem) vimgedutilsSetFgBgItemView(e->fgBgItem, e->imageView);
  if (e->mruItem) {
    vimgedutilsSetMRUItemView(e->mruItem, e->imageView);
    vimgedutilsResetMRUItem(e->mruItem);
  }
  selectEntry(e->toolPalette, "Pencil");
  vimgedviewSetTool(e->imageView, vimgedviewPENCIL);
  vimgedviewSetTool(e->maskView, vimgedviewPENCIL);
}

void init(vinstance* self) {
  vimageedtr* e = asE(self);
  clearOwnFields(e);
  if (loading) return super()->init(self);
  vresource dict = dictionary(), dialog = 0;
  if (!dict || !vresourceTestGet(dict, L("vimageedtr"), &dialog))
    _vexGenerate(&vexModuleStartupClass, vexSetMessage, "vimageedtr: no \"vimageedtr\" dialog in the resources", vexEnd);
  {
    Loading guard;
    super()->init(self);
    super()->loadInit(e, dialog);
  }
  ++state()->editors;
  build(e);
  // The location read-out follows the pointer with no button held too.
  vwindowClassOf(e)->setWantsMotion(e, 1);
  // The template's size is the dialog's.
  e->dialogFlags &= std::uint16_t(~vdialogSIZE_PENDING);
}

void destroy(vinstance* self) {
  vimageedtr* e = asE(self);
  ModuleState* st = state();
  forgetEditor(e);
  destroyPreview(e);
  // The views go with the dialog's items; the models after them.
  vimged* image = e->imageModel;
  vimged* mask = e->maskModel;
  vimage* maskSource = mask ? mask->source : nullptr;
  super()->destroy(self);
  if (image) vimgedDestroy(image);
  if (mask) vimgedDestroy(mask);
  if (maskSource) vimageDestroy(maskSource);
  if (e->previewMask) vimageDestroy(e->previewMask);
  if (e->saved) vimageDestroy(e->saved);
  e->imageModel = e->maskModel = nullptr;
  e->previewMask = e->saved = nullptr;
  if (st->editors > 0) --st->editors;
}

void open(vwindow* w) {
  vimageedtr* e = asE(w);
  super()->open(w);
  if (vimageedtrGetPrefs()->preview && !(e->preview && vwindowIsOpen(e->preview))) {
    vimgedSetNotify(e->imageModel, 1);
    togglePreview(e);
  }
  vimageedtrRefreshSelectors(e);
}

// What the next editor starts with: this one's zoom, font, flags and preview.
void keepPrefs(vimageedtr* e) {
  vimgedview* v = e->imageView;
  if (!v) return;
  vimageedtrPrefs& p = *vimageedtrGetPrefs();
  p.bitSize = v->zoom;
  if (v->font) p.font = v->font;
  p.grid = (v->viewFlags & vimgedviewGRID_WANTED) != 0;
  p.drawCenter = (v->viewFlags & vimgedviewCENTRE) != 0;
  p.showLocation = (v->viewFlags & vimgedviewREPORT) != 0;
  p.preview = e->preview && vwindowIsOpen(e->preview);
}

void close(vwindow* w) {
  vimageedtr* e = asE(w);
  keepPrefs(e);
  vimageedtrWritePrefs();
  if (!(e->editorFlags & vimageedtrNO_APPLY_ON_CLOSE)) {
    vimageedtrApply(e);
    if (e->closeFunc) e->closeFunc(e, e->saved);
  }
  closePreview(e);
  super()->close(w);
}

int issueSelector(vobject* o, int selector, vdict* context) {
  return vimageedtrIssueSelector(static_cast<vimageedtr*>(static_cast<vinstance*>(o)), selector, context);
}
int querySelector(vobject* o, int selector, vdict* context) {
  return vimageedtrQuerySelector(static_cast<vimageedtr*>(static_cast<vinstance*>(o)), selector, context);
}

// ---- Preferences.
vresource userRoot() { return vapplicationGetResources(vapplicationGetCurrent()); }

void readPrefsFrom(vresource d) {
  vimageedtrPrefs& p = state()->prefs;
  std::int32_t v = 0;
  if (vresourceTestGetInteger(d, L("BitSize"), &v)) p.bitSize = v < 1 ? 5 : v;
  if (vresourceTestGetInteger(d, L("Grid"), &v)) p.grid = v != 0;
  if (vresourceTestGetInteger(d, L("DrawCenter"), &v)) p.drawCenter = v != 0;
  if (vresourceTestGetInteger(d, L("ShowLocation"), &v)) p.showLocation = v != 0;
  if (vresourceTestGetInteger(d, L("Preview"), &v)) p.preview = v != 0;
  vresource font = 0;
  if (vresourceTestGet(d, vname_Font, &font)) vexTry([&] { p.font = vfontLoad(font); });
}

}  // namespace

vimageedtrPrefs* vimageedtrGetPrefs() {
  ModuleState* st = state();
  if (!st->prefsRead) vimageedtrReadPrefs();
  return &st->prefs;
}

void vimageedtrReadPrefs() {
  ModuleState* st = state();
  st->prefsRead = true;
  st->prefs = vimageedtrPrefs{5, 0, 0, 0, 0, nullptr};
  vresource root = userRoot(), d = 0;
  if (!root) return;
  // What the last close wrote wins over the older name.
  if ((d = _vapplicationPreferenceDict(root, L("vimageedPrefs"), false)) ||
      (d = _vapplicationPreferenceDict(root, L("vimageedtrPrefs"), false)))
    readPrefsFrom(d);
}

void vimageedtrWritePrefs() {
  vresource root = userRoot();
  if (!root) return;
  const vimageedtrPrefs& p = *vimageedtrGetPrefs();
  vexTry([&] {
    vresource d = _vapplicationPreferenceDict(root, L("vimageedPrefs"), true);
    vresourceSetInteger(d, L("BitSize"), p.bitSize);
    vresourceSetInteger(d, L("Grid"), p.grid);
    vresourceSetInteger(d, L("DrawCenter"), p.drawCenter);
    vresourceSetInteger(d, L("ShowLocation"), p.showLocation);
    vresourceSetInteger(d, L("Preview"), p.preview);
    if (p.font) vresourceSetString(d, vname_Font, vnameScribe(vfontGetSpec(p.font)));
  });
}

vimageedtrClassRec* vimageedtrGetDefaultClass() {
  ModuleState* st = state();
  if (st->cls) return st->cls;
  vimageedtrGetPrefs();
  // The classes the dialog's resources name.
  vmenubarGetDefaultClass();
  vmenuGetDefaultClass();
  vmenuGetDefaultItemClass();
  vmenuGetDefaultSeparatorItemClass();
  vpaletteGetDefaultClass();
  vpaletteItemGetDefaultClass();
  vdialogLabelItemGetDefaultClass();
  vtextitemGetDefaultClass();
  vconfirmGetDefaultClass();
  // The editor's other classes.
  vimgedutilsGetFgBgItemClass();
  vimgedutilsGetMRUItemClass();
  vimgedviewGetDefaultClass();
  vimgedGetDefaultClass();
  vpaledGetDefaultClass();
  auto* c = vclassSpawnOf<vimageedtrClassRec>(super());
  vclassSetName(c, vscribeLiteral("vimageedtr"));
  vclassSetInstanceSize(c, sizeof(vimageedtr));
  c->init = init;
  c->destroy = destroy;
  c->open = open;
  c->close = close;
  c->issueSelector = issueSelector;
  c->querySelector = querySelector;
  installCommands(c);
  return st->cls = c;
}

vimageedtr* vimageedtrCreate() { return asE(vinstanceCreate(vimageedtrGetDefaultClass())); }

void vimageedtrInstallStartup() {
  vmoduleInstallStartup("vimageedtrGetDefaultClass", [] { vimageedtrGetDefaultClass(); });
}

void vimageedtrSetCloseCallback(vimageedtr* e, vimageedtrCloseFunc callback) { e->closeFunc = callback; }

void vimageedtrSetImage(vimageedtr* e, vimage* image) {
  if (e->saved) vimageDestroy(e->saved);
  e->saved = image ? static_cast<vimage*>(vobjectClone(image)) : nullptr;
  e->image = image;
  if (!image) {
    vimgedSetImage(e->imageModel, nullptr);
    vundoListClear(e->imageModel->undo->list);
    vimageedtrSetMask(e, nullptr);
    return;
  }
  vimageedtrRevert(e);
}

void vimageedtrApply(vimageedtr* e) {
  if (!e->image) return;
  vimgedApply(e->imageModel);
  if (e->hasMask && e->maskModel->working) {
    vimgedApply(e->maskModel);
    vimageSetMaskOwned(e->image, static_cast<vimage*>(vobjectClone(e->maskModel->working)));
  }
  vpixmapMarkChanged(e->image);
  if (e->saved) vclassRec<vobjectClassRec>(e->image)->copy(e->image, e->saved);
  else e->saved = static_cast<vimage*>(vobjectClone(e->image));
  vimageedtrRefreshSelectors(e);
}

void vimageedtrRevert(vimageedtr* e) {
  if (!e->image || !e->saved) return;
  vclassRec<vobjectClassRec>(e->saved)->copy(e->saved, e->image);
  // The mask is edited in its own model; the image goes without it.
  vimage* mask = e->image->mask;
  vimage* maskCopy = mask ? static_cast<vimage*>(vobjectClone(mask)) : nullptr;
  if (mask) vimageSetMask(e->image, nullptr);  // an owned one goes with it
  vimgedSetImage(e->imageModel, e->image);
  vundoListClear(e->imageModel->undo->list);
  vimageedtrSetMask(e, maskCopy);
  if (maskCopy) vundoListClear(e->maskModel->undo->list);
  vimageedtrRefreshSelectors(e);
}

void vimageedtrSetMask(vimageedtr* e, vimage* mask) {
  if (!mask && e->maskModel->source) vimgedCommitSelection(e->maskModel);
  setMaskSource(e, mask);
  e->hasMask = mask ? 1 : 0;
  if (mask) {
    vimgedviewSetZoom(e->maskView, e->imageView->zoom);
    vdialogShowItem(e->maskView);
    vdialogEnableItem(e->maskView);
    vimgedviewSetOrigin(e->maskView, &e->imageView->origin);
  } else {
    if (e->currentView == e->maskView) e->currentView = e->imageView;
    vdialogHideItem(e->maskView);
    vdialogDisableItem(e->maskView);
    if (e->previewMask) vimageDestroy(e->previewMask);
    e->previewMask = nullptr;
  }
  vimageedtrRelayout(e);
  invalPreview(e);
}

void vimageedtrRelayout(vimageedtr* e) {
  if (e->layoutItem) {
    vrect r = e->layoutItem->rect;
    vdialogSetItemRect(e->layoutItem, &r);
  }
}

void vimageedtrInvalidateViews(vimageedtr* e) {
  for (vimged* m : {e->imageModel, e->maskModel})
    if (m) vimgedInvalidateViews(m);
  invalPreview(e);
}
