// Icon views: named icons on a domain item, like a desktop folder. Every
// icon is two domain objects joined in a ring, its image (type 1) and its
// name (type 2); the view lays icons out on a grid in one of two view
// types, "Icon View" (the name centred under the image) and "Name View"
// (the name to the right), loaded from the application's resources.
//
// - `domains/iconview.h`: `viconview`, a domain item of named icons, each two objects joined in a
//   ring (image type 1, name type 2) whose data word is the `viconviewIcon`. The two view types
//   ("Icon View": name centred under; "Name View": name to the right) come from the "viconview"
//   resource (`fw/data/resources/vwexlin7.txt`: grid, inset, default image), else built-in grids.
//   `iconview.cpp` holds the module (classes, view-type registry, per-icon and per-view image
//   tables), the view's life cycle and resource form ("ViewType" 1/2, "Name" and "Images" per image
//   object), the refused selectors (21-24, 30) and the top edge kept on resize;
//   `iconview_layout.cpp` the geometries, the grid iterator (steps below 1 count as 1; the first
//   column moved right by the widest name's overhang; the last column is the last whole grid cell),
//   snapping, finding room and drawing. New objects go in at the head of the domain, so "oldest
//   first" walks from the last object.
#pragma once
#include <cstdint>

#include "fw/core/ex.h"
#include "fw/widgets/domains/domainview.h"

struct viconview;
struct viconviewIcon;
struct viconviewView;

enum : std::uint16_t { viconviewIMAGE_OBJECT = 1, viconviewNAME_OBJECT = 2 };

using viconviewGeometryProc = void (*)(viconview* view, viconviewView* type, viconviewIcon* icon, vpoint position,
                                       vrect* image, vrect* name);
// Told of a tracked press or double click on an icon: (view, icon, the
// hook's record, 1).
using viconviewIconCallback = void (*)(viconview* view, viconviewIcon* icon, std::intptr_t value,
                                       std::intptr_t second);

// Which image an icon shows in a view type; two entries inline, more on the heap.
struct viconviewImageEntry {
  viconviewView* type;
  const char* typeName;
  vimage* image;
  std::intptr_t owned;
};
struct viconviewImageTable {
  std::int32_t count;
  viconviewImageEntry inlined[2];
  viconviewImageEntry* heap;  // all entries once there are more than two
};

// View type flags: what it owns.
enum : std::uint32_t { viconviewViewNAME = 1, viconviewViewIMAGE = 2 };

struct viconviewView : vobject {
  char* name;
  vimage* image;  // the default image of its icons
  std::int32_t grid[4];
  std::uint32_t flags;
  std::int16_t inset[2];
  viconviewGeometryProc geometry;
};

enum : std::uint32_t { viconviewIconNAME_OWNED = 1 };
struct viconviewIcon : vinstance {
  vdomainObject* object;  // the image object
  char* name;
  viconview* owner;
  std::uint32_t flags;
  viconviewImageTable images;
  std::intptr_t data;  // the client's word
};

enum : std::uint8_t { viconviewNEXT_VALID = 1 };
struct viconview : vdomainview {
  std::int32_t iconCount;
  viconviewView* viewType;
  viconviewIconCallback callback;
  vpoint next;
  std::uint8_t layoutFlags;
  viconviewImageTable images;
};

struct viconviewClassRec : vdomainitemClassRec {
  viconviewIcon* (*createIcon)(viconview* view);
  void (*addIcon)(viconview* view, viconviewIcon* icon);
  void (*removeIcon)(viconview* view, viconviewIcon* icon);
  void (*arrange)(viconview* view);
  void (*setView)(viconview* view, viconviewView* type);
};

inline viconviewClassRec* viconviewClassOf(const viconview* v) { return vclassRec<viconviewClassRec>(v); }

extern const vexClass viconviewNoGeometryProcClass, viconviewOrphanIconClass;

viconviewClassRec* viconviewGetDefaultClass();
vclass* viconviewIconGetDefaultClass();
vdomainClassRec* viconviewDomainGetDefaultClass();
vobjectClassRec* viconviewViewGetDefaultClass();
viconview* viconviewCreate();

// The two registered view types ("Icon View", "Name View"), and a lookup by name.
viconviewView* viconviewGetIconView();
viconviewView* viconviewGetNameView();
viconviewView* viconviewFindView(const char* name);
void viconviewIconGeometry(viconview* view, viconviewView* type, viconviewIcon* icon, vpoint p, vrect* image,
                           vrect* name);
void viconviewNameGeometry(viconview* view, viconviewView* type, viconviewIcon* icon, vpoint p, vrect* image,
                           vrect* name);

inline void viconviewSetView(viconview* v, viconviewView* t) { viconviewClassOf(v)->setView(v, t); }
inline void viconviewAddIcon(viconview* v, viconviewIcon* i) { viconviewClassOf(v)->addIcon(v, i); }
inline void viconviewRemoveIcon(viconview* v, viconviewIcon* i) { viconviewClassOf(v)->removeIcon(v, i); }
inline void viconviewArrange(viconview* v) { viconviewClassOf(v)->arrange(v); }
viconviewIcon* viconviewCreateIcon(viconview* view);
void viconviewDestroyIcon(viconviewIcon* icon);

void viconviewSetIconPosition(viconviewIcon* icon, vpoint p);
vpoint viconviewGetIconPosition(viconviewIcon* icon);
// Takes the scribe's buffer when it hands one over, else copies (owned).
void viconviewSetIconName(viconviewIcon* icon, vscribe* name);
void viconviewSetIconNameC(viconviewIcon* icon, const char* name);
void viconviewSetIconImage(viconviewIcon* icon, viconviewView* type, vimage* image, int owned);
vimage* viconviewGetIconImage(viconviewIcon* icon, viconviewView* type);
int viconviewIconIsSelected(viconviewIcon* icon);
// The icon of an image or name object, or null.
viconviewIcon* viconviewIconOf(vdomainObject* o);
void viconviewGetIconRects(viconviewIcon* icon, vrect* image, vrect* name);

// Walks the grid positions of a view: left to right, then a row lower.
struct viconviewGridIterator {
  viconview* view;
  vpoint first;      // the first column and row
  std::int16_t lastX;  // the last column
  std::int16_t stepX, stepY;
  vpoint position;
};
void viconviewInitGridIterator(viconviewGridIterator* it, viconview* view);
vpoint viconviewNextGridPosition(viconviewGridIterator* it);
// The nearest grid position (halves up); past the last column: the next row.
vpoint viconviewSnapToGrid(viconviewGridIterator* it, vpoint p);
// Where an icon may go without overlapping any object.
vpoint viconviewFindRoom(viconview* view, viconviewIcon* icon);

// The module's internals shared by its files.
void _viconviewRelayout(viconview* view);
void _viconviewDrawObject(vdomainview* view, vdomainObject* o);
viconviewImageEntry* _viconviewImageEntries(viconviewImageTable* t);
void _viconviewClearImages(viconviewImageTable* t);
