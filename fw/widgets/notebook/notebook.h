// Notebooks: a dialog item showing one page at a time out of a tree of
// pages and sections, drawn as a stack of sheets with tabs along its edges,
// an optional "Page n of m" footer and page-turn buttons. Everything it
// shows follows one style of 28 small properties, its own or its class's.
//
// - `notebook/notebook.h`: notebooks. `style.cpp`: `vnotebookStyle` (28 properties keyed 1 << i: a
//   packed word for the 1- and 2-bit ones, a byte each for the rest, a set mask; "Values" holds 28
//   integers, -1 unset), the class default filled from a table of defaults and look columns, and
//   `_vnotebookButton` with the per-look arrows. `page.cpp`: `vnotebookPage` (a flat container whose
//   content is its rectangle less margins and tab insets; it owns its tab) and `vnotebookSection`
//   (the container's selection is the current item; set-current, select up the tree, document-order
//   next/previous, renumbering, page numbers). `tabs.cpp`: `vnotebookTab`, `vnotebookTabSet` (a
//   container whose bounds are the 16383-long strip behind its visible window) and the notebook's
//   thirteen tab operations (mirroring, sizes, places on the sheet k back, scrolling, the tabs
//   region). `notebook.cpp`: the module (every class, the names, the default style), style flags,
//   margins, insets, layout and the focus order; `notebook_draw.cpp`: sheets, footer and press
//   routing. The frame parts (tab sets, turn buttons) share the notebook's owner list without being
//   items of it, as a container's scroll bars do; they exist once the notebook sits in a list.
#pragma once
#include <cstdint>
#include <vector>

#include "fw/widgets/controls/button.h"
#include "fw/widgets/dialog/container.h"

// ---- Styles: property i is keyed 1 << i.
enum : std::uint32_t {
  vnotebookMAJOR_SIDE = 1u << 0,
  vnotebookMINOR_SIDE = 1u << 1,
  vnotebookTAB_MODE = 1u << 2,
  vnotebookPAGE_NUMBER = 1u << 3,
  vnotebookNUMBER_ALIGN = 1u << 4,
  vnotebookBUTTONS = 1u << 5,
  vnotebookRESERVED_6 = 1u << 6,
  vnotebookTAB_SHAPE = 1u << 7,
  vnotebookTURNED_LABELS = 1u << 8,
  vnotebookWRAP = 1u << 9,
  vnotebookPAGE_BORDERS = 1u << 10,
  vnotebookRESERVED_11 = 1u << 11,
  vnotebookSHEET_COUNT = 1u << 12,
  vnotebookSHEET_OFFSET = 1u << 13,
  vnotebookBINDING_WIDTH = 1u << 14,
  vnotebookMARGIN = 1u << 15,
  vnotebookBORDER_MARGIN = 1u << 16,
  vnotebookSCROLL_CENTRING = 1u << 17,
  vnotebookSCROLL_LAYOUT = 1u << 18,
  vnotebookPARTIAL_TABS = 1u << 19,
  vnotebookTAB_SPACING = 1u << 20,
  vnotebookLABEL_SPACE_X = 1u << 21,
  vnotebookLABEL_SPACE_Y = 1u << 22,
  vnotebookTAB_RAISE = 1u << 23,
  vnotebookTAB_WIDENING = 1u << 24,
  vnotebookNUMBER_GAP = 1u << 25,
  vnotebookBUTTON_GAP = 1u << 26,
  vnotebookFOOTER_GAP = 1u << 27,
  vnotebookALL_PROPERTIES = 0x0FFFFFFF,
};
inline constexpr int vnotebookPROPERTIES = 28;

struct vnotebookStyle : vobject {
  std::uint32_t packed;  // the 1- and 2-bit properties
  std::uint32_t mask;    // bit i: property i set
  std::uint8_t bytes[16];  // properties 12-27
};

vobjectClassRec* vnotebookStyleGetDefaultClass();
vnotebookStyle* vnotebookStyleCreate();
// -1 unsets; any non-zero boolean stores 1; a key not one of the 28 only changes the mask.
void vnotebookStyleSet(vnotebookStyle* style, std::uint32_t key, int value);
int vnotebookStyleGet(const vnotebookStyle* style, std::uint32_t key);  // -1: unset or unknown
bool vnotebookStyleIsEmpty(const vnotebookStyle* style);

// ---- The small arrow button of page turning and tab scrolling.
enum : std::uint32_t { vnotebookArrowLEFT = 0, vnotebookArrowRIGHT = 1, vnotebookArrowUP = 2, vnotebookArrowDOWN = 3,
                       vnotebookArrowDIRECTION = 0x3, vnotebookArrowSMALL = 0x10 };
struct vnotebookButton : vbutton {
  std::uint32_t arrowFlags;
};
vbuttonClassRec* _vnotebookButtonClass();
vnotebookButton* _vnotebookButtonCreate();
void vnotebookButtonSetSmall(vnotebookButton* b, int small);  // 0 or 16
void vnotebookButtonSetDirection(vnotebookButton* b, int direction);
void vnotebookGetArrowSize(std::uint32_t flags, int* width, int* height);
void vnotebookGetButtonSize(std::uint32_t flags, int* width, int* height);
void vnotebookDrawArrow(const vrect* rect, std::uint32_t flags, bool pressed, bool enabled, vcolor* fill,
                        vcolor* light, vcolor* dark);

// ---- Tabs and tab sets.
struct vnotebookTabSet;
struct vnotebook;

enum : std::uint16_t { vnotebookTabNO_IMAGE = 0x4 };
struct vnotebookTab : vdialogItem {
  std::uint16_t tabFlags;
  std::int16_t labelWidth, labelHeight;
  vdialogItem* page;
  vnotebookTabSet* tabSet;
};
struct vnotebookTabClassRec : vdialogItemClassRec {
  void (*drawShape)(vnotebookTab* tab);
  void (*drawLabel)(vnotebookTab* tab, const vrect* rect);
  void (*measureLabel)(vnotebookTab* tab, int* width, int* height);
};
vnotebookTabClassRec* vnotebookTabGetDefaultClass();

enum : std::uint16_t { vnotebookTabSetMINOR = 0x1, vnotebookTabSetCLIP = 0x2, vnotebookTabSetNOT_CENTRED = 0x4 };
inline constexpr int vnotebookSTRIP = 16383;
struct vnotebookTabSet : vcontainer {
  std::uint16_t tabSetFlags;
  vnotebook* notebook;
  std::int32_t tabWidth, tabHeight;
  std::int16_t firstVisible, lastVisible;
  vdialogItem* scrollForward;
  vdialogItem* scrollBack;
};
vcontainerClassRec* vnotebookTabSetGetDefaultClass();
void vnotebookTabSetSetCurrent(vnotebookTabSet* set, vnotebookTab* tab);
inline vnotebookTab* vnotebookTabSetGetCurrent(const vnotebookTabSet* set) {
  return static_cast<vnotebookTab*>(set->selection);
}

// ---- Pages and sections.
enum : std::uint16_t { vnotebookPageACTIVE = 0x1 };
struct vnotebookPage : vcontainer {
  std::uint16_t pageFlags;
  vnotebookTab* tab;
  std::int16_t ordinal;
};
struct vnotebookPageClassRec : vcontainerClassRec {
  void (*activate)(vnotebookPage* page);
  void (*deactivate)(vnotebookPage* page);
  int (*mayLeave)(vnotebookPage* page);
  vnotebookTab* (*makeTab)(vnotebookPage* page);
  void (*getContentRect)(vnotebookPage* page, vrect* rect);
  void (*drawContent)(vnotebookPage* page, const vrect* rect);
  void (*drawBorder)(vnotebookPage* page, const vrect* rect);
  void (*getContentMinSize)(vnotebookPage* page, int* width, int* height);
  void (*getContentSize)(vnotebookPage* page, int* width, int* height);
  void (*getMargins)(vnotebookPage* page, int* top, int* left, int* bottom, int* right);
  void (*getTabInsets)(vnotebookPage* page, int* top, int* left, int* bottom, int* right);
  int (*drawsBorder)(vnotebookPage* page);
};
inline vnotebookPageClassRec* vnotebookPageClassOf(const vnotebookPage* p) {
  return vclassRec<vnotebookPageClassRec>(p);
}
vnotebookPageClassRec* vnotebookPageGetDefaultClass();
vnotebookPage* vnotebookPageCreate();

enum : std::uint32_t { vnotebookSectionMAJOR = 0x1, vnotebookSectionMINOR = 0x2, vnotebookSectionFLATTENED = 0x4 };
struct vnotebookSection : vnotebookPage {
  std::int16_t numberBase;
  std::uint32_t sectionFlags;
  std::int16_t directCount;
  std::int16_t totalCount;
};
vnotebookPageClassRec* vnotebookSectionGetDefaultClass();
vnotebookSection* vnotebookSectionCreate();

bool vnotebookIsPage(const vobject* o);
bool vnotebookIsSection(const vobject* o);
bool vnotebookIsNotebook(const vobject* o);
// Arg "appended item should be of page or section class" for anything else.
void vnotebookSectionAppend(vnotebookSection* s, vdialogItem* item);
void vnotebookSectionRemove(vnotebookSection* s, vdialogItem* item);
void vnotebookSectionSetCurrent(vnotebookSection* s, vdialogItem* item);
inline vdialogItem* vnotebookSectionGetCurrent(const vnotebookSection* s) { return s->selection; }
void vnotebookPageSelect(vdialogItem* item);
vdialogItem* vnotebookSectionFirstPage(vnotebookSection* s);
vdialogItem* vnotebookSectionLastPage(vnotebookSection* s);
vdialogItem* vnotebookSectionNextPage(vnotebookSection* s);
vdialogItem* vnotebookSectionPreviousPage(vnotebookSection* s);
void vnotebookSelectFirstPage(vnotebookSection* s);
int vnotebookSectionRenumber(vnotebookSection* s, int counter);
vnotebookSection* vnotebookGetParentSection(const vdialogItem* item);
vnotebook* vnotebookFindNotebook(const vdialogItem* item);

// ---- The notebook.
enum : std::uint32_t {
  vnotebookALIGN_MASK = 0x3,
  vnotebookMAJOR_SHIFT = 2,
  vnotebookMINOR_SHIFT = 4,
  vnotebookSHOW_BUTTONS = 0x100,
  vnotebookSHOW_NUMBER = 0x200,
  vnotebookFLATTEN = 0x400,
  vnotebookMAJOR_TABS = 0x800,
  vnotebookMINOR_TABS = 0x1000,
  vnotebookTURNED = 0x2000,
  vnotebookBORDERS = 0x8000,
  vnotebookWRAPS = 0x10000,
  vnotebookOWNS_STYLE = 0x100000,
};
enum : int { vnotebookSideRIGHT = 0, vnotebookSideLEFT = 1, vnotebookSideBOTTOM = 2, vnotebookSideTOP = 3 };

struct vnotebook : vnotebookSection {
  std::uint32_t notebookFlags;
  vrect numberRect;
  vrect sheetRect;
  vnotebookStyle* style;
  std::int16_t sheetDx, sheetDy;
  std::int16_t sheetCount;
  vdialogItem* nextButton;
  vdialogItem* prevButton;
  vnotebookTabSet* majorTabs;
  vnotebookTabSet* minorTabs;
  vobject* focusOwner;
};

struct vnotebookClassRec : vnotebookPageClassRec {
  vnotebookStyle* defaultStyle;
  void (*setStyleObject)(vnotebook* n, vnotebookStyle* style);
  void (*applyStyle)(vnotebook* n);
  void (*getEffectiveStyle)(vnotebook* n, vnotebookStyle* out, std::uint32_t mask);
  void (*getNumberSize)(vnotebook* n, int* width, int* height);
  void (*getNumberRect)(vnotebook* n, vrect* rect);
  void (*drawNumber)(vnotebook* n, const vrect* rect);
  void (*getPageButtonSize)(vnotebook* n, int* width, int* height);
  void (*getButtonRects)(vnotebook* n, vrect* backward, vrect* forward);
  vdialogItem* (*makeButton)(vnotebook* n, int backward);
  void (*layout)(vnotebook* n);
  void (*getSheetRect)(vnotebook* n, vrect* rect);
  void (*drawSheets)(vnotebook* n);
  void (*drawSheet)(vnotebook* n, int index, const vrect* rect);
  void (*syncTabs)(vnotebook* n, vnotebookTabSet* set);
  void (*getTabSetExtent)(vnotebook* n, vnotebookTabSet* set, int* width, int* height);
  void (*getTabSetRect)(vnotebook* n, vnotebookTabSet* set, vrect* rect);
  void (*getTabSize)(vnotebook* n, vnotebookTabSet* set, int* width, int* height);
  vnotebookTabSet* (*getTabSet)(vnotebook* n, int minor);
  void (*addTab)(vnotebook* n, vnotebookTabSet* set, vnotebookTab* tab);
  void (*removeTab)(vnotebook* n, vnotebookTabSet* set, vnotebookTab* tab);
  int (*countTabs)(vnotebook* n, vnotebookTabSet* set);
  vnotebookTab* (*getTab)(vnotebook* n, vnotebookTabSet* set, int index);
  void (*getTabsRegion)(vnotebook* n, vnotebookTabSet* set, std::vector<vrect>* out);  // appended
  void (*showTab)(vnotebook* n, vnotebookTabSet* set, vnotebookTab* tab);
  void (*scrollToTab)(vnotebook* n, vnotebookTabSet* set, vnotebookTab* tab);
  void (*getTabRect)(vnotebook* n, vnotebookTabSet* set, vnotebookTab* tab, vrect* rect);
};
inline vnotebookClassRec* vnotebookClassOf(const vnotebook* n) { return vclassRec<vnotebookClassRec>(n); }
vnotebookClassRec* vnotebookGetDefaultClass();
vnotebook* vnotebookCreate();
void vnotebookStartup();

inline void vnotebookSetStyleObject(vnotebook* n, vnotebookStyle* s) { vnotebookClassOf(n)->setStyleObject(n, s); }
inline void vnotebookApplyStyle(vnotebook* n) { vnotebookClassOf(n)->applyStyle(n); }
inline void vnotebookLayout(vnotebook* n) { vnotebookClassOf(n)->layout(n); }
inline void vnotebookSyncTabs(vnotebook* n, vnotebookTabSet* s) { vnotebookClassOf(n)->syncTabs(n, s); }
inline void vnotebookScrollToTab(vnotebook* n, vnotebookTabSet* s, vnotebookTab* t) {
  vnotebookClassOf(n)->scrollToTab(n, s, t);
}
inline void vnotebookGetTabRect(vnotebook* n, vnotebookTabSet* s, vnotebookTab* t, vrect* r) {
  vnotebookClassOf(n)->getTabRect(n, s, t, r);
}
inline void vnotebookRemoveTab(vnotebook* n, vnotebookTabSet* s, vnotebookTab* t) {
  vnotebookClassOf(n)->removeTab(n, s, t);
}
// One property as the notebook sees it: its own style's, else its class's.
int vnotebookGetStyleValue(vnotebook* n, std::uint32_t key);
int vnotebookMajorSide(const vnotebook* n);
int vnotebookMinorSide(const vnotebook* n);
void vnotebookGetMargins(vnotebook* n, int* top, int* left, int* bottom, int* right);
void vnotebookGetTabInsets(vnotebook* n, int* top, int* left, int* bottom, int* right);
void vnotebookGetPageNumbers(vnotebook* n, int* current, int* total);
void vnotebookUpdateButtons(vnotebook* n);
void vnotebookRefreshTabs(vnotebook* n);
int vnotebookMoveFocus(vnotebook* n, int direction, int textOnly);
void vnotebookTurnPage(vnotebook* n, int forward);
