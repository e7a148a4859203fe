// The framework's colour chooser: a confirmation dialog in which the user
// picks one colour in the HLS, RGB, CMY or Gray model (three ramp sliders,
// three numeric fields, a hue/saturation wheel or a two-component plane),
// from sixteen user colours or a list of named colours, with the colour's
// matching tolerance. Every OK and Apply hands the colour to the apply
// function. Under the Windows looks the system's colour dialog may stand
// in for the whole window.
//
//   vcolorchsr* c = vcolorchsrCreate();
//   vcolorchsrSetColor(c, color);
//   vcolorchsrSetApply(c, applied);   // void applied(vcolorchsr*, vcolor*)
//   vwindowOpen(c);                   // or vconfirmProcess(c)
//
// - `vcolorchsr` is a confirm loaded from "vcolorchsrDialog" of the "vcolorchsr" dictionary in
//   `vwexlin7.txt` (panel buttons, the model menu, three named rows of label, numeric field and ramp
//   slider, the user colours and the swatch; OK, Apply, Reset, Cancel), with the panels
//   "WheelPanel", "TolerancePanel" and "NamePanel", the arrow thumbs and the model and plane labels.
//   Items are placed by their stored rectangles; the template's size is the window's minimum. `init`
//   clears the chooser's own fields (instances come from a pool) and loads from the class's
//   dictionary; a depth counter keeps the plain init inside that load from loading again.
//
// - Private items replace the loaded ones at the same list index (the loaded item copied into the
//   private class, the chooser as client data): `colorchsr_items.cpp` holds the model label (as wide
//   as the widest of the twelve model labels), swatch, panel containers, the hidden panel place (its
//   rectangle passes to the three panels), wheel item, ramp sliders (`vcontrol`s 0-10000 tracked by
//   the pointer), numeric fields (`vtextitem`s refusing other than digits, ".", "+", "-", "E", "e";
//   the commit is the text view's notification 3) and the user-colours strip.
//
// - The wheel image is a display-depth image laid on the dialog's background, or on the wheel item's
//   own when it has one; a change of the item's colour attributes (its own or inherited) draws it
//   anew in the HLS and Gray models.
//
// - A menu bar ("View": panels, planes, reform, sort orders; "Color": add to the user colours, the
//   six tolerance presets) is tagged with the command names; it goes above the template's items at
//   its natural height, the window growing by it, and its entries take their titles, states and
//   ticks from the chooser's queries after each change that moves an answer.
//
// - The probe runs with a home of its own in the tests, so that the user's store neither shapes the
//   pictures nor keeps what a probe changes; user colours reach the next process through the store
//   saved at exit.
//
// - User colours: sixteen specs per context, "vcolorchsr" / "userColors" in the user's store,
//   written whole at every change; a shorter array gives what it holds, white for the rest.
//
// - Accept commits the focused numeric field, or the one the focus left last (pressing OK takes the
//   focus first). Under `vconfirmProcess` the buttons only end the run, so the chooser wraps them to
//   accept (OK, Apply) or reset (Reset, Cancel) first; with the system dialog in the window's place
//   the run answers at once with the dialog's answer.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "fw/gui/graphics/color.h"
#include "fw/gui/graphics/image.h"
#include "fw/widgets/choosers/confirm.h"
#include "fw/widgets/controls/control.h"
#include "fw/widgets/controls/textitem.h"

struct vcolorchsr;
using vcolorchsrApplyFunc = void (*)(vcolorchsr* chooser, vcolor* color);

enum : int { vcolorchsrHLS = 1, vcolorchsrRGB = 2, vcolorchsrCMY = 3, vcolorchsrGRAY = 4 };
enum : int { vcolorchsrRG_PLANE = 19, vcolorchsrRB_PLANE = 20, vcolorchsrBG_PLANE = 21 };
enum : int { vcolorchsrSORT_NAME = 1, vcolorchsrSORT_HUE = 2 };
inline constexpr int vcolorchsrUSER_COLORS = 16;
inline constexpr int vcolorchsrWHEEL_COLORS = 72;

// What the system dialog is given and what it reports.
enum : std::uint32_t {
  vcolorchsrNATIVE_POSITION = 0x1,
  vcolorchsrNATIVE_TITLE = 0x2,
  vcolorchsrNATIVE_LEADER = 0x4,
  vcolorchsrNATIVE_CUSTOM_ASKED = 0x8,
  vcolorchsrNATIVE_CUSTOM_CHANGED = 0x10,
};
struct vcolorchsrNative {
  vstr* title;  // owned
  std::int16_t x, y;  // -1 unset
  vwindow* leader;
  std::uint32_t flags;
};

// The tolerance panel's items, in this order.
enum : int {
  vcolorchsrT_EDIT1, vcolorchsrT_EDIT2, vcolorchsrT_EDIT3, vcolorchsrT_STAT1, vcolorchsrT_STAT2, vcolorchsrT_STAT3,
  vcolorchsrT_SLIDER1, vcolorchsrT_SLIDER2, vcolorchsrT_SLIDER3, vcolorchsrT_DELTA_BTN, vcolorchsrT_DISTANCE_BTN,
  vcolorchsrT_DIST_EDIT, vcolorchsrT_DIST_SLIDER, vcolorchsrT_DIST_LABEL, vcolorchsrT_DITHER_MENU, vcolorchsrT_COUNT
};

struct vcolorchsr : vconfirm {
  std::uint16_t chooserFlags;  // bit 0: the tolerance panel may show
  vdialogItem* swatch;
  vdialogItem* wheel;
  vtextitem* fields[3];
  vdialogItem* modelLabels[3];
  vcontrol* sliders[3];
  vdialogItem* labels[3];
  vdialogItem* savedColors;
  vcontrol* modelMenu;
  std::int32_t model;
  vcolorSpec accepted, given, working;
  vcolorSpec* wheelColors;  // 72, owned
  vimage* rampImages[3];
  vimage* wheelImage;
  vimage* planeImage;
  std::int32_t reformImages;
  vcolorchsrApplyFunc apply;
  vdialogItem* panelPlace;
  vdialogItem* tolerancePanel;
  vdialogItem* wheelPanel;
  vdialogItem* namePanel;
  vdialogItem* shownPanel;
  std::int32_t plane;
  vdialogItem* nameList;
  vdialogItem* tolerance[vcolorchsrT_COUNT];
  std::int32_t sortOrder;
  vimage* reserved[2];
  std::int32_t nativeAllowed;
  std::int32_t forceNative;
  vcolorchsrNative* nativeRecord;
  vname nativeAnswer;
  vtextitem* leftField;  // the numeric field the focus left last, not yet committed
};

struct vcolorchsrClassRec : vconfirmClassRec {};

inline vcolorchsrClassRec* vcolorchsrClassOf(const vcolorchsr* c) { return vclassRec<vcolorchsrClassRec>(c); }
vcolorchsrClassRec* vcolorchsrGetDefaultClass();
vcolorchsr* vcolorchsrCreate();

void vcolorchsrSetColor(vcolorchsr* chooser, vcolor* color);
void vcolorchsrSetApply(vcolorchsr* chooser, vcolorchsrApplyFunc apply);
void vcolorchsrSetReformImages(vcolorchsr* chooser, int on);
void vcolorchsrSetModel(vcolorchsr* chooser, int model);
void vcolorchsrSetSortOrder(vcolorchsr* chooser, int order);
void vcolorchsrSetPlane(vcolorchsr* chooser, int plane);
void vcolorchsrSetUserColor(vcolorchsr* chooser, int index, const vcolorSpec* spec);
vcolorSpec* vcolorchsrGetUserColor(vcolorchsr* chooser, int index);
void vcolorchsrSelectPanel(vcolorchsr* chooser, vdialogItem* panel);
// The user-colours strip's selected cell.
int vcolorchsrGetSelectedUserColor(vcolorchsr* chooser);
// How the last system dialog ended ("Ok" or "Cancel"), 0 before one ran.
inline vname vcolorchsrGetNativeAnswer(const vcolorchsr* c) { return c->nativeAnswer; }
inline void vcolorchsrSetForceNative(vcolorchsr* c, int on) { c->forceNative = on; }

// ---- Shared by the chooser's files.
// The private item classes, built with the chooser's class.
vdialogItemClassRec* _vcolorchsrLabelClass();
vdialogItemClassRec* _vcolorchsrSwatchClass();
vdialogItemClassRec* _vcolorchsrPanelClass();
vdialogItemClassRec* _vcolorchsrPlaceClass();
vdialogItemClassRec* _vcolorchsrWheelClass();
vcontrolClassRec* _vcolorchsrRampClass();
vtextitemClassRec* _vcolorchsrFieldClass();
vdialogItemClassRec* _vcolorchsrUserColorsClass();
void _vcolorchsrBuildItemClasses();
void _vcolorchsrFreeItemClasses();
// The chooser an item of it (or of one of its panels) belongs to.
vcolorchsr* _vcolorchsrOf(const vdialogItem* item);
// The resource dictionary, the arrow images, labels by index.
vresource _vcolorchsrDictionary();
vimage* _vcolorchsrArrow(int bottom);
std::string _vcolorchsrModelLabel(int index);  // 0-11
std::string _vcolorchsrPlaneLabel(int index);  // 0-5
vcolorSpec* _vcolorchsrUserColors();
// Reads the sixteen user colours from the preferences again (as the class's build does).
void _vcolorchsrReadUserColors();
// The menu bar's entries brought in line with the chooser's answers.
void _vcolorchsrRefreshMenus(vcolorchsr* c);
// Redraws an item now, when it is on screen.
void _vcolorchsrRedraw(vdialogItem* item);

// The models: the full refresh, the sliders' and fields' handlers, the
// ramps' palettes, the wheel's colours and the plane's palette and pixels.
void _vcolorchsrRefresh(vcolorchsr* c);
void _vcolorchsrSliderMoved(vcolorchsr* c, int index);
void _vcolorchsrFieldCommitted(vcolorchsr* c, int index);
void _vcolorchsrWriteFields(vcolorchsr* c);
void _vcolorchsrRedrawRamps(vcolorchsr* c, int except);  // except: 0-2, or -1 for none
void _vcolorchsrBuildWheelColors(vcolorchsr* c);
void _vcolorchsrDrawWheelImage(vcolorchsr* c);
void _vcolorchsrBuildPlanePalette(vcolorchsr* c);
void _vcolorchsrBuildPlanePixels(vcolorchsr* c);
void _vcolorchsrBuildRampPixels(vimage* image);
// The plane's X and Y component indexes (0-2) and the third.
void _vcolorchsrPlaneAxes(int plane, int* x, int* y, int* third);
// The working colour's three components in the chooser's model order.
void _vcolorchsrComponents(vcolorchsr* c, unsigned out[3]);
void _vcolorchsrSetComponents(vcolorchsr* c, const unsigned in[3]);
// The wheel item's pointer mapping (press, drag, release).
int _vcolorchsrWheelPointer(vcolorchsr* c, int x, int y, int type);
// The wheel item's square inside its rectangle.
vrect _vcolorchsrWheelSquare(const vdialogItem* wheel);
vcolor* _vcolorchsrBackground(vcolorchsr* c);

// The name panel; the names its rows show, in order.
void _vcolorchsrWireNames(vcolorchsr* c);
std::vector<std::string> _vcolorchsrNameRows(vcolorchsr* c);

// Tolerance panel.
void _vcolorchsrWireTolerance(vcolorchsr* c);
void _vcolorchsrRefreshTolerance(vcolorchsr* c);
void _vcolorchsrPreset(vcolorchsr* c, int command);
// A tolerance field committed (Enter, or the accept step).
void _vcolorchsrToleranceCommitted(vcolorchsr* c, vtextview* field);
// Whether the system dialog stands in for the window (the look, the
// preferences, the class); the native dialog, 1 when it ran.
bool _vcolorchsrWantsNative(vcolorchsr* c);
int _vcolorchsrRunNative(vcolorchsr* c);
