// The notebook: the top section of the page tree, with its style, the
// frame parts it lays out around the pages (tab sets, page-turn buttons,
// the page number), the keyboard focus order through them, and the module
// that builds every notebook class.
#include "fw/widgets/notebook/notebook.h"

#include <algorithm>

#include "fw/core/sys.h"
#include "fw/data/resrect.h"
#include "fw/data/vresource.h"
#include "fw/widgets/dialog/item_internal.h"
#include "fw/widgets/look/laf.h"
#include "fw/widgets/notebook/notebook_internal.h"

namespace {

std::int16_t s16(int v) { return std::int16_t(v); }
vnotebook* asN(void* o) { return static_cast<vnotebook*>(o); }
vnotebookClassRec* nrec(vnotebook* n) { return vnotebookClassOf(n); }
vnotebookPageClassRec* sectionClass() { return vnotebookSectionGetDefaultClass(); }
bool has(const vnotebook* n, std::uint32_t bit) { return (n->notebookFlags & bit) != 0; }

// ---- The module.
struct NotebookState {
  vobjectClassRec* style;
  vbuttonClassRec* button;
  vnotebookPageClassRec* page;
  vnotebookPageClassRec* section;
  vnotebookTabClassRec* tab;
  vcontainerClassRec* tabSet;
  vnotebookClassRec* notebook;
  vnotebookNames names;
};
void** stateSlot = nullptr;
NotebookState* state();

void fillNotebookSlots(vnotebookClassRec* c);

void freeState() {
  auto* s = static_cast<NotebookState*>(*stateSlot);
  if (s && s->notebook && s->notebook->defaultStyle) {
    vinstanceDestroy(s->notebook->defaultStyle);
    s->notebook->defaultStyle = nullptr;
  }
}

NotebookState* state() {
  if (auto* bound = vmoduleState<NotebookState>(stateSlot)) return bound;
  vcontainerStartup();
  vbuttonGetDefaultClass();
  auto* s = static_cast<NotebookState*>(vmoduleBindSlot(stateSlot, sizeof(NotebookState)));
  *s = NotebookState{};
  vmoduleAddContextExitProc(freeState);
  auto N = [](const char* name) { return vnameInternLiteral(name); };
  s->names = {N("Tab"), N("PageFlags"), N("New Page"), N("Major Tab Change"), N("Minor Tab Change"), N("CurrentPage"),
              N("Style")};
  s->style = _vnotebookBuildStyleClass();
  s->button = _vnotebookBuildButtonClass();
  auto* tab = vclassSpawnOf<vnotebookTabClassRec>(vdialogItemGetDefaultClass());
  _vnotebookFillTabSlots(tab);
  vclassSetName(tab, vscribeLiteral("vnotebookTab"));
  s->tab = tab;
  auto* set = vclassSpawnOf<vcontainerClassRec>(vcontainerGetDefaultClass());
  _vnotebookFillTabSetSlots(set);
  vclassSetName(set, vscribeLiteral("vnotebookTabSet"));
  s->tabSet = set;
  auto* page = vclassSpawnOf<vnotebookPageClassRec>(vcontainerGetDefaultClass());
  _vnotebookFillPageSlots(page);
  vclassSetName(page, vscribeLiteral("vnotebookPage"));
  s->page = page;
  auto* section = vclassSpawnOf<vnotebookPageClassRec>(page);
  _vnotebookFillSectionSlots(section);
  vclassSetName(section, vscribeLiteral("vnotebookSection"));
  s->section = section;
  auto* notebook = vclassSpawnOf<vnotebookClassRec>(section);
  fillNotebookSlots(notebook);
  _vnotebookFillTabOperations(notebook);
  vclassSetName(notebook, vscribeLiteral("vnotebook"));
  s->notebook = notebook;
  int look = vlafGetCurrent()->id;
  notebook->defaultStyle = static_cast<vnotebookStyle*>(vinstanceCreate(s->style));
  _vnotebookFillDefaultStyle(notebook->defaultStyle, look);
  if (look == vlafCUA) vlafSetClassMSWSysColor(vlafCUA, -1, notebook, vcolorFOREGROUND, 12);
  // In the Windows looks sheets and tabs wear the button face, as buttons do.
  if (look == vlafWINDOWS || look == vlafWIN95) {
    for (vdialogItemClassRec* c : {static_cast<vdialogItemClassRec*>(tab), static_cast<vdialogItemClassRec*>(set),
                                   static_cast<vdialogItemClassRec*>(page), static_cast<vdialogItemClassRec*>(section),
                                   static_cast<vdialogItemClassRec*>(notebook)}) {
      vlafSetClassMSWSysColor(look, -1, c, vcolorBACKGROUND, 0);
      _vdialogItemRunNamingHook(c);
    }
  }
  return s;
}

// ---- Style.
void effectiveStyle(vnotebook* n, vnotebookStyle* out, std::uint32_t mask) {
  for (int i = 0; i < vnotebookPROPERTIES; ++i) {
    std::uint32_t key = 1u << i;
    if (!(mask & key)) continue;
    int v = n->style ? vnotebookStyleGet(n->style, key) : -1;
    if (v == -1) v = vnotebookStyleGet(nrec(n)->defaultStyle, key);
    vnotebookStyleSet(out, key, v);
  }
}

void setStyleObject(vnotebook* n, vnotebookStyle* style) {
  if (!style) {
    if (n->style && has(n, vnotebookOWNS_STYLE)) vinstanceDestroy(n->style);
    n->style = nullptr;
    n->notebookFlags &= ~vnotebookOWNS_STYLE;
  } else if (style != n->style) {
    if (!n->style || !has(n, vnotebookOWNS_STYLE)) {
      n->style = vnotebookStyleCreate();
      n->notebookFlags |= vnotebookOWNS_STYLE;
    }
    vclassRec<vobjectClassRec>(n->style)->copy(style, n->style);
  }
  vnotebookApplyStyle(n);
}

void sectionTabFlags(vnotebook* n) {
  bool placed = _vnotebookPlaced(n);
  const std::uint32_t mine = vnotebookSectionMAJOR | vnotebookSectionFLATTENED;
  n->sectionFlags &= ~mine;
  if (placed && has(n, vnotebookMAJOR_TABS)) n->sectionFlags |= vnotebookSectionMAJOR;
  if (placed && has(n, vnotebookFLATTEN)) n->sectionFlags |= vnotebookSectionFLATTENED;
  for (int i = 0; i < vdialogItemListCount(n->items); ++i) {
    vdialogItem* item = vdialogItemListAt(n->items, i);
    if (!vnotebookIsSection(item)) continue;
    auto* s = static_cast<vnotebookSection*>(item);
    if (placed && has(n, vnotebookMINOR_TABS)) s->sectionFlags |= vnotebookSectionMINOR;
    else s->sectionFlags &= ~vnotebookSectionMINOR;
  }
}

void applyStyle(vnotebook* n) {
  int major = vnotebookGetStyleValue(n, vnotebookMAJOR_SIDE), minor = vnotebookGetStyleValue(n, vnotebookMINOR_SIDE);
  // The minor tabs run perpendicular to the major ones.
  if (major <= 1 && minor <= 1) minor = vnotebookSideTOP;
  else if (major >= 2 && minor >= 2) minor = vnotebookSideRIGHT;
  std::uint32_t f = n->notebookFlags & ~std::uint32_t(0x3F | 0x3F00 | 0x8000 | 0x10000);
  f |= std::uint32_t(major & 3) << vnotebookMAJOR_SHIFT;
  f |= std::uint32_t(minor & 3) << vnotebookMINOR_SHIFT;
  f |= std::uint32_t(vnotebookGetStyleValue(n, vnotebookNUMBER_ALIGN) & 3);
  if (vnotebookGetStyleValue(n, vnotebookBUTTONS) > 0) f |= vnotebookSHOW_BUTTONS;
  if (vnotebookGetStyleValue(n, vnotebookPAGE_NUMBER) > 0) f |= vnotebookSHOW_NUMBER;
  if (vnotebookGetStyleValue(n, vnotebookPAGE_BORDERS) > 0) f |= vnotebookBORDERS;
  if (vnotebookGetStyleValue(n, vnotebookWRAP) > 0) f |= vnotebookWRAPS;
  if (vnotebookGetStyleValue(n, vnotebookTURNED_LABELS) > 0) f |= vnotebookTURNED;
  switch (vnotebookGetStyleValue(n, vnotebookTAB_MODE)) {
    case 1: f |= vnotebookFLATTEN | vnotebookMAJOR_TABS; break;
    case 2: f |= vnotebookMAJOR_TABS; break;
    case 3: f |= vnotebookMAJOR_TABS | vnotebookMINOR_TABS; break;
    default: break;
  }
  n->notebookFlags = f;
  n->sheetCount = s16(std::max(1, vnotebookGetStyleValue(n, vnotebookSHEET_COUNT)));
  sectionTabFlags(n);
  vobjectSendValueChange(n, vname_MinSize, nullptr, nullptr);
  for (vnotebookTabSet* set : {n->majorTabs, n->minorTabs})
    if (set && (set->flags & vdialogItemSHOWN)) vobjectSendValueChange(set, vname_Content, nullptr, nullptr);
  vdialogInvalItem(n, 0);
}

// ---- Footer.
int roundedFont(vfixed v) { return int((std::int64_t(v) + 0x8000) >> 16); }

void numberSize(vnotebook* n, int* w, int* h) {
  *w = 0;
  *h = has(n, vnotebookSHOW_NUMBER) ? roundedFont(vfontGetHeight(vdialogDetermineItemFont(n))) + 6 : 0;
}
void pageButtonSize(vnotebook*, int* w, int* h) { vnotebookGetButtonSize(0, w, h); }

int marginValue(vnotebook* n) {
  int m = has(n, vnotebookBORDERS) ? vnotebookGetStyleValue(n, vnotebookBORDER_MARGIN)
                                   : vnotebookGetStyleValue(n, vnotebookMARGIN);
  return m + int(vdialogDetermineItemInset(n));
}

// The content rectangle narrowed by the item inset left and right.
vrect interior(vnotebook* n) {
  vrect r{};
  nrec(n)->getContentRect(n, &r);
  int inset = int(vdialogDetermineItemInset(n));
  return vrect{s16(r.x + inset), r.y, s16(r.width - 2 * inset), r.height};
}

void buttonRects(vnotebook* n, vrect* backward, vrect* forward) {
  vrect r = interior(n);
  int ph = 0, pw = 0, bw = 0, bh = 0;
  nrec(n)->getNumberSize(n, &pw, &ph);
  nrec(n)->getPageButtonSize(n, &bw, &bh);
  int m = marginValue(n);
  int y = bh >= ph ? r.y - m - bh : r.y - bh / 2 - ph / 2 - m;
  *forward = vrect{s16(r.x + r.width - bw), s16(y), s16(bw), s16(bh)};
  *backward = vrect{s16(forward->x - vnotebookGetStyleValue(n, vnotebookBUTTON_GAP) - bw), s16(y), s16(bw), s16(bh)};
}

void numberRect(vnotebook* n, vrect* out) {
  vrect r = interior(n);
  int ph = 0, pw = 0, bw = 0, bh = 0;
  nrec(n)->getNumberSize(n, &pw, &ph);
  if (has(n, vnotebookSHOW_BUTTONS)) nrec(n)->getPageButtonSize(n, &bw, &bh);
  int m = marginValue(n);
  int y = bh <= ph ? r.y - m - ph : r.y - bh / 2 - ph / 2 - m;
  int right = r.x + r.width;
  if (n->prevButton) right = n->prevButton->rect.x - vnotebookGetStyleValue(n, vnotebookNUMBER_GAP);
  *out = vrect{r.x, s16(y), s16(std::max(0, right - r.x)), s16(ph)};
}

void turn(vdialogItem* button, vevent*) {
  auto* n = reinterpret_cast<vnotebook*>(button->data);
  if (n) vnotebookTurnPage(n, n->nextButton == button);
}

vdialogItem* makeButton(vnotebook* n, int backward) {
  vnotebookButton* b = _vnotebookButtonCreate();
  vnotebookButtonSetDirection(b, backward ? vnotebookArrowLEFT : vnotebookArrowRIGHT);
  vdialogSetItemData(b, reinterpret_cast<std::intptr_t>(n));
  vdialogSetItemNotify(b, turn);
  return b;
}

void dropPart(vdialogItem*& part) { _vnotebookDropPart(part); }

void dropTabSet(vnotebook* n, vnotebookTabSet*& set) {
  if (!set) return;
  if (n->focusOwner == set) n->focusOwner = n;
  for (int i = vdialogItemListCount(set->items) - 1; i >= 0; --i)
    vnotebookRemoveTab(n, set, static_cast<vnotebookTab*>(vdialogItemListAt(set->items, i)));
  vdialogItem* part = set;
  set = nullptr;
  dropPart(part);
}

void sheetRect(vnotebook* n, vrect* out) {
  int t = 0, l = 0, b = 0, r = 0;
  vnotebookGetTabInsets(n, &t, &l, &b, &r);
  const vrect& i = n->rect;
  *out = vrect{s16(i.x + l), s16(i.y + b), s16(i.width - l - r), s16(i.height - b - t)};
}

void layoutTabSet(vnotebook* n, bool minor) {
  vnotebookTabSet*& set = minor ? n->minorTabs : n->majorTabs;
  bool wanted = _vnotebookPlaced(n) && has(n, minor ? vnotebookMINOR_TABS : vnotebookMAJOR_TABS);
  if (!wanted) {
    dropTabSet(n, set);
    return;
  }
  vnotebookTabSet* s = nrec(n)->getTabSet(n, minor ? 1 : 0);
  vrect r;
  nrec(n)->getTabSetRect(n, s, &r);
  _vnotebookPlacePart(n, s, &r);
}

void layout(vnotebook* n) {
  nrec(n)->getSheetRect(n, &n->sheetRect);
  int step = vnotebookGetStyleValue(n, vnotebookSHEET_OFFSET);
  n->sheetCount = s16(std::max(1, vnotebookGetStyleValue(n, vnotebookSHEET_COUNT)));
  n->sheetDx = n->sheetDy = 0;
  for (int side : {vnotebookMajorSide(n), vnotebookMinorSide(n)}) {
    switch (side) {
      case vnotebookSideRIGHT: n->sheetDx = s16(step); break;
      case vnotebookSideLEFT: n->sheetDx = s16(-step); break;
      case vnotebookSideBOTTOM: n->sheetDy = s16(-step); break;
      default: n->sheetDy = s16(step); break;
    }
  }
  if (has(n, vnotebookSHOW_BUTTONS)) {
    vrect backward, forward;
    nrec(n)->getButtonRects(n, &backward, &forward);
    if (!n->nextButton) n->nextButton = nrec(n)->makeButton(n, 0);
    if (!n->prevButton) n->prevButton = nrec(n)->makeButton(n, 1);
    _vnotebookPlacePart(n, n->prevButton, &backward);
    _vnotebookPlacePart(n, n->nextButton, &forward);
  } else {
    dropPart(n->nextButton);
    dropPart(n->prevButton);
  }
  sectionTabFlags(n);
  layoutTabSet(n, false);
  layoutTabSet(n, true);
  if (has(n, vnotebookSHOW_NUMBER)) nrec(n)->getNumberRect(n, &n->numberRect);
  vnotebookSectionRenumber(n, 0);
  if (_vnotebookPlaced(n) && has(n, vnotebookMAJOR_TABS)) vnotebookRefreshTabs(n);
  vnotebookUpdateButtons(n);
}

// ---- Object slots.
void clearParts(vnotebook* n) {
  n->notebookFlags = 0;
  n->style = nullptr;
  n->nextButton = n->prevButton = nullptr;
  n->majorTabs = n->minorTabs = nullptr;
  n->numberRect = n->sheetRect = vrect{};
  n->sheetDx = n->sheetDy = 0;
  n->sheetCount = 1;
}

// The notebook's own fields come first: the base's set-up already asks
// the notebook for its margins.
void init(vinstance* self) {
  vnotebook* n = asN(self);
  clearParts(n);
  n->focusOwner = n;
  sectionClass()->init(self);
  vdialogShowItem(n);
  vdialogEnableItem(n);
  vnotebookApplyStyle(n);
}

void destroyParts(vnotebook* n) {
  dropPart(n->nextButton);
  dropPart(n->prevButton);
  dropTabSet(n, n->majorTabs);
  dropTabSet(n, n->minorTabs);
}

void destroy(vinstance* self) {
  vnotebook* n = asN(self);
  if (n->flags & vdialogItemOPEN) vdialogCloseItem(n);
  if (n->style && has(n, vnotebookOWNS_STYLE)) vinstanceDestroy(n->style);
  n->style = nullptr;
  destroyParts(n);
  sectionClass()->destroy(self);
}

void copyFields(vnotebook* from, vnotebook* to) {
  to->numberRect = from->numberRect;
  to->sheetRect = from->sheetRect;
  to->sheetDx = from->sheetDx;
  to->sheetDy = from->sheetDy;
  to->sheetCount = from->sheetCount;
  to->focusOwner = nullptr;
  if (from->style) {
    to->style = vnotebookStyleCreate();
    vclassRec<vobjectClassRec>(to->style)->copy(from->style, to->style);
    to->notebookFlags |= vnotebookOWNS_STYLE;
  }
  vnotebookApplyStyle(to);
}

void copy(vobject* source, vobject* destination) {
  if (source == destination) return;
  vnotebook* to = asN(destination);
  destroyParts(to);
  if (to->style && has(to, vnotebookOWNS_STYLE)) vinstanceDestroy(to->style);
  sectionClass()->copy(source, destination);
  clearParts(to);
  copyFields(asN(source), to);
}

void copyInit(vobject* source, vobject* destination) {
  clearParts(asN(destination));
  sectionClass()->copyInit(source, destination);
  clearParts(asN(destination));
  copyFields(asN(source), asN(destination));
}

void loadInit(vobject* self, vresource resource) {
  vnotebook* n = asN(self);
  clearParts(n);
  n->focusOwner = n;
  sectionClass()->loadInit(self, resource);
  clearParts(n);
  vresource r;
  if (vresourceTestGet(resource, state()->names.style, &r)) {
    vobject* loaded = vobjectLoad(r);
    if (vclassIsSubclass(loaded->cls, vnotebookStyleGetDefaultClass())) {
      n->style = static_cast<vnotebookStyle*>(loaded);
      n->notebookFlags |= vnotebookOWNS_STYLE;
    } else {
      vinstanceDestroy(loaded);
    }
  }
  vnotebookApplyStyle(n);
}

void store(vobject* self, vresource resource) {
  sectionClass()->store(self, resource);
  vnotebook* n = asN(self);
  vname key = state()->names.style;
  if (n->style && !vnotebookStyleIsEmpty(n->style))
    vclassRec<vobjectClassRec>(n->style)->store(n->style, vresourceCreate(resource, key, vresDICTIONARY));
  else vresourceRemoveIfPresent(resource, key);
}

template <typename F>
void eachPart(vnotebook* n, F f) {
  for (vdialogItem* part : {static_cast<vdialogItem*>(n->majorTabs), static_cast<vdialogItem*>(n->minorTabs),
                            n->prevButton, n->nextButton})
    if (part) f(part);
}

void open(vdialogItem* item) {
  vnotebook* n = asN(item);
  if (item->flags & vdialogItemOPEN) return;
  if (!n->selection) vnotebookSelectFirstPage(n);
  vobjectSendValueChange(n, vname_Content, nullptr, nullptr);
  for (vnotebookSection* s = n; s && s->selection; s = vnotebookIsSection(s->selection)
                                                          ? static_cast<vnotebookSection*>(s->selection)
                                                          : nullptr) {
    vnotebookTab* tab = static_cast<vnotebookPage*>(s->selection)->tab;
    if (tab && tab->tabSet) vnotebookScrollToTab(n, tab->tabSet, tab);
  }
  sectionClass()->open(item);
  eachPart(n, [](vdialogItem* part) { vdialogOpenItem(part); });
}

void close(vdialogItem* item) {
  if (!(item->flags & vdialogItemOPEN)) return;
  eachPart(asN(item), [](vdialogItem* part) { vdialogCloseItem(part); });
  sectionClass()->close(item);
}

void setForeground(vdialogItem* item, vcolor* color) {
  sectionClass()->setForeground(item, color);
  eachPart(asN(item), [&](vdialogItem* part) { vdialogSetItemForeground(part, vdialogGetItemColor(item, 0)); });
}
void setBackground(vdialogItem* item, vcolor* color) {
  sectionClass()->setBackground(item, color);
  eachPart(asN(item), [&](vdialogItem* part) { vdialogSetItemBackground(part, vdialogGetItemColor(item, 2)); });
}

// Being placed in a list (or taken out) brings the frame parts or drops them.
void setOwner(vdialogItem* item, vdialogItemList* owner) {
  vnotebook* n = asN(item);
  bool wasPlaced = _vnotebookPlaced(n);
  sectionClass()->setOwner(item, owner);
  eachPart(n, [&](vdialogItem* part) { vdialogItemClassOf(part)->setOwner(part, owner); });
  if (wasPlaced != _vnotebookPlaced(n)) vnotebookApplyStyle(n);
}

void send(vobject* self, vname name, vdict* args) {
  vnotebook* n = asN(self);
  const vnotebookNames& names = state()->names;
  sectionClass()->send(self, name, args);
  if (name == vname_Content) {
    vnotebookLayout(n);
  } else if (name == names.newPage) {
    vnotebookUpdateButtons(n);
  } else if (name == names.majorChange) {
    if (has(n, vnotebookMAJOR_TABS)) vnotebookRefreshTabs(n);
  } else if (name == names.minorChange) {
    if (has(n, vnotebookMINOR_TABS) && n->minorTabs) vnotebookSyncTabs(n, n->minorTabs);
  }
}

void margins(vnotebookPage* p, int* top, int* left, int* bottom, int* right) {
  vnotebookGetMargins(asN(p), top, left, bottom, right);
}
void insets(vnotebookPage* p, int* top, int* left, int* bottom, int* right) {
  vnotebookGetTabInsets(asN(p), top, left, bottom, right);
}
int noBorder(vnotebookPage*) { return 0; }

// ---- Keyboard focus: major tabs, minor tabs (when they hold any), content.
bool holdsTabs(vnotebookTabSet* set) { return set && vdialogItemListCount(set->items) > 0; }

int enterSet(vnotebook* n, vnotebookTabSet* set) {
  n->focusOwner = set;
  vdialogItemListSetFocusIndex(n->items, -1);
  vdialogFocusItem(set);
  return 1;
}

void leaveOwner(vnotebook* n) {
  if (n->focusOwner && n->focusOwner != n && vclassIsSubclass(n->focusOwner->cls, vnotebookTabSetGetDefaultClass()))
    vdialogUnfocusItem(static_cast<vdialogItem*>(n->focusOwner));
}

int moveInContent(vnotebook* n, int direction, int textOnly) {
  n->focusOwner = n;
  vdialogItemList* l = n->items;
  vdialogItemListMoveFocus(l, direction, textOnly);
  if (l->focus >= 0 && !(l->flags & vdialogItemListWRAPPED)) return 1;
  n->focusOwner = nullptr;
  if (direction > 0) return 0;
  if (holdsTabs(n->minorTabs)) return enterSet(n, n->minorTabs);
  if (n->majorTabs) return enterSet(n, n->majorTabs);
  return 0;
}

int focusItem(vcontainer* c, vdialogItem* item);

}  // namespace

int vnotebookMoveFocus(vnotebook* n, int direction, int textOnly) {
  if (n->focusOwner != n) {
    vobject* owner = n->focusOwner;
    leaveOwner(n);
    if (direction > 0) {
      if (!owner && n->majorTabs) return enterSet(n, n->majorTabs);
      if (owner == n->majorTabs && n->majorTabs && holdsTabs(n->minorTabs)) return enterSet(n, n->minorTabs);
    } else {
      if (owner == n->minorTabs && n->minorTabs && n->majorTabs) return enterSet(n, n->majorTabs);
      if (owner == n->majorTabs && n->majorTabs) {
        n->focusOwner = nullptr;
        return 0;
      }
    }
    if (owner && owner != n) vdialogItemListSetFocusIndex(n->items, -1);
  }
  return moveInContent(n, direction, textOnly);
}

namespace {

// The content's list is made active first, so that a move into a page
// reaches the page's own items with its direction.
void focus(vdialogItem* item) {
  vnotebook* n = asN(item);
  std::uint16_t move = n->owner ? n->owner->flags : 0;
  vdialogItemList* content = n->items;
  if (move & (vdialogItemListFORWARD | vdialogItemListBACKWARD)) {
    n->focusOwner = nullptr;
    vdialogItemListSetFocusIndex(content, -1);
    vdialogItemListClassOf(content)->activateFocus(content);
    vnotebookMoveFocus(n, (move & vdialogItemListFORWARD) ? 1 : -1, (move & vdialogItemListTEXT_ONLY) ? 1 : 0);
    return;
  }
  vdialogItemListClassOf(content)->activateFocus(content);
  if (n->focusOwner && n->focusOwner != n) vdialogFocusItem(static_cast<vdialogItem*>(n->focusOwner));
  else if (!n->focusOwner) vnotebookMoveFocus(n, 1, 0);
}

void unfocus(vdialogItem* item) {
  leaveOwner(asN(item));
  sectionClass()->unfocus(item);
}

// While a tab set holds the focus, the content keeps none.
int focusItem(vcontainer* c, vdialogItem* item) {
  vnotebook* n = asN(c);
  if (item && n->focusOwner != n) return 0;
  sectionClass()->setFocusItem(c, item);
  return 1;
}
void setFocusItem(vcontainer* c, vdialogItem* item) { focusItem(c, item); }

int issueSelector(vobject* self, int selector, vdict* context) {
  vnotebook* n = asN(self);
  if (selector == 4) {
    if (!vdictHas(context, vname_Direction)) return 1;
    int direction = int(reinterpret_cast<std::intptr_t>(vdictGet(context, vname_Direction)));
    return vnotebookMoveFocus(n, direction, vdictHas(context, vname_Text) ? 1 : 0);
  }
  if (n->focusOwner && n->focusOwner != n) {
    vobject* owner = n->focusOwner;
    if (vobjectAttributedOf(owner)->issueSelector(owner, selector, context)) return 1;
  }
  return sectionClass()->issueSelector(self, selector, context);
}

void fillNotebookSlots(vnotebookClassRec* c) {
  c->instanceSize = sizeof(vnotebook);
  c->init = init;
  c->destroy = destroy;
  c->copy = copy;
  c->copyInit = copyInit;
  c->loadInit = loadInit;
  c->store = store;
  c->send = send;
  c->issueSelector = issueSelector;
  c->open = open;
  c->close = close;
  c->setForeground = setForeground;
  c->setBackground = setBackground;
  c->setOwner = setOwner;
  c->focus = focus;
  c->unfocus = unfocus;
  c->setFocusItem = setFocusItem;
  c->getMargins = margins;
  c->getTabInsets = insets;
  c->drawsBorder = noBorder;
  c->setStyleObject = setStyleObject;
  c->applyStyle = applyStyle;
  c->getEffectiveStyle = effectiveStyle;
  c->getNumberSize = numberSize;
  c->getNumberRect = numberRect;
  c->getPageButtonSize = pageButtonSize;
  c->getButtonRects = buttonRects;
  c->makeButton = makeButton;
  c->layout = layout;
  c->getSheetRect = sheetRect;
  _vnotebookFillDrawing(c);
}

}  // namespace

const vnotebookNames& _vnotebookNames() { return state()->names; }
vobjectClassRec* vnotebookStyleGetDefaultClass() { return state()->style; }
vbuttonClassRec* _vnotebookButtonClass() { return state()->button; }
vnotebookTabClassRec* vnotebookTabGetDefaultClass() { return state()->tab; }
vcontainerClassRec* vnotebookTabSetGetDefaultClass() { return state()->tabSet; }
vnotebookPageClassRec* vnotebookPageGetDefaultClass() { return state()->page; }
vnotebookPageClassRec* vnotebookSectionGetDefaultClass() { return state()->section; }
vnotebookClassRec* vnotebookGetDefaultClass() { return state()->notebook; }
void vnotebookStartup() { state(); }

vnotebookPage* vnotebookPageCreate() { return static_cast<vnotebookPage*>(vinstanceCreate(vnotebookPageGetDefaultClass())); }
vnotebookSection* vnotebookSectionCreate() {
  return static_cast<vnotebookSection*>(vinstanceCreate(vnotebookSectionGetDefaultClass()));
}
vnotebook* vnotebookCreate() { return asN(vinstanceCreate(vnotebookGetDefaultClass())); }

int vnotebookGetStyleValue(vnotebook* n, std::uint32_t key) {
  int v = n->style ? vnotebookStyleGet(n->style, key) : -1;
  return v != -1 ? v : vnotebookStyleGet(nrec(n)->defaultStyle, key);
}
int vnotebookMajorSide(const vnotebook* n) { return int((n->notebookFlags >> vnotebookMAJOR_SHIFT) & 3); }
int vnotebookMinorSide(const vnotebook* n) { return int((n->notebookFlags >> vnotebookMINOR_SHIFT) & 3); }

void vnotebookGetMargins(vnotebook* n, int* top, int* left, int* bottom, int* right) {
  *top = *left = *bottom = *right = 0;
  int m = marginValue(n);
  bool placed = _vnotebookPlaced(n);
  if (has(n, vnotebookSHOW_BUTTONS | vnotebookSHOW_NUMBER)) {
    int pw = 0, ph = 0, bw = 0, bh = 0;
    nrec(n)->getNumberSize(n, &pw, &ph);
    if (has(n, vnotebookSHOW_BUTTONS)) nrec(n)->getPageButtonSize(n, &bw, &bh);
    *bottom = std::max(ph, bh) + m + (placed ? vnotebookGetStyleValue(n, vnotebookFOOTER_GAP) : 0);
  }
  if (!placed) return;
  if (*bottom == 0) *bottom = m;
  *top = *left = *right = m;
  int binding = vnotebookGetStyleValue(n, vnotebookBINDING_WIDTH);
  switch (vnotebookMajorSide(n)) {
    case vnotebookSideRIGHT: *left += binding; break;
    case vnotebookSideLEFT: *right += binding; break;
    case vnotebookSideBOTTOM: *top += binding; break;
    default: *bottom += binding; break;
  }
}

void vnotebookGetTabInsets(vnotebook* n, int* top, int* left, int* bottom, int* right) {
  *top = *left = *bottom = *right = 0;
  if (!_vnotebookPlaced(n)) return;
  int depth = _vnotebookDepth(n);
  auto add = [&](bool minor, int side) {
    vnotebookTabSet* set = nrec(n)->getTabSet(n, minor ? 1 : 0);
    int w = 0, h = 0;
    nrec(n)->getTabSetExtent(n, set, &w, &h);
    w = std::max(w, depth);
    h = std::max(h, depth);
    switch (side) {
      case vnotebookSideRIGHT: *right += w; break;
      case vnotebookSideLEFT: *left += w; break;
      case vnotebookSideBOTTOM: *bottom += h; break;
      default: *top += h; break;
    }
  };
  // A side without its tab set still makes room for the sheets receding
  // toward it, so that the stack stays inside the item.
  int back = depth - 1;
  auto room = [&](int side) {
    switch (side) {
      case vnotebookSideRIGHT: *right += back; break;
      case vnotebookSideLEFT: *left += back; break;
      case vnotebookSideBOTTOM: *bottom += back; break;
      default: *top += back; break;
    }
  };
  if (has(n, vnotebookMAJOR_TABS)) add(false, vnotebookMajorSide(n));
  else room(vnotebookMajorSide(n));
  if (has(n, vnotebookMINOR_TABS)) add(true, vnotebookMinorSide(n));
  else room(vnotebookMinorSide(n));
}

void vnotebookUpdateButtons(vnotebook* n) {
  if (has(n, vnotebookSHOW_NUMBER)) vdialogInvalItem(n, 0);
  if (!has(n, vnotebookSHOW_BUTTONS)) return;
  bool wrap = has(n, vnotebookWRAPS);
  auto set = [](vdialogItem* b, bool on) {
    if (!b || vdialogItemIsEnabled(b) == on) return;
    if (on) vdialogEnableItem(b);
    else vdialogDisableItem(b);
  };
  set(n->nextButton, wrap || vnotebookSectionNextPage(n));
  set(n->prevButton, wrap || vnotebookSectionPreviousPage(n));
}

void vnotebookRefreshTabs(vnotebook* n) {
  if (!_vnotebookPlaced(n)) return;
  if (has(n, vnotebookMAJOR_TABS) && n->majorTabs) vnotebookSyncTabs(n, n->majorTabs);
  if (has(n, vnotebookMINOR_TABS) && n->minorTabs) vnotebookSyncTabs(n, n->minorTabs);
}

int _vnotebookDepth(vnotebook* n) {
  return (std::max(1, vnotebookGetStyleValue(n, vnotebookSHEET_COUNT)) - 1) *
             vnotebookGetStyleValue(n, vnotebookSHEET_OFFSET) +
         1;
}

vrect _vnotebookSheetBack(vnotebook* n, int k) {
  const vrect& r = n->sheetRect;
  return vrect{s16(r.x + k * n->sheetDx), s16(r.y + k * n->sheetDy), r.width, r.height};
}

bool _vnotebookTwoLineLooks() {
  std::int16_t id = vlafGetCurrent()->id;
  return id == vlafWINDOWS || id == vlafWIN95;
}

void _vnotebookPlacePart(vnotebook* n, vdialogItem* part, const vrect* rect) {
  vdialogItemClassOf(part)->setOwner(part, n->owner);
  vdialogSetItemRect(part, rect);
  if (n->flags & vdialogItemOPEN) vdialogOpenItem(part);
  if (vcolor* fg = vdialogGetItemForeground(n)) vdialogSetItemForeground(part, fg);
  if (vcolor* bg = vdialogGetItemBackground(n)) vdialogSetItemBackground(part, bg);
}

void _vnotebookDropPart(vdialogItem*& part) {
  if (!part) return;
  vdialogItem* p = part;
  part = nullptr;
  if (p->flags & vdialogItemOPEN) vdialogCloseItem(p);
  // A part shares the notebook's list without being one of its items.
  p->owner = nullptr;
  vinstanceDestroy(p);
}
