// The framework's font chooser: a confirmation dialog with three linked
// lists (family, face, size) over the font registry, a size entry and a
// sample area. OK and Apply hand the chosen font to the apply function.
//
//   vfontchsr* c = vfontchsrCreate();
//   vfontchsrSetFont(c, font);
//   vfontchsrSetApply(c, applied);   // int applied(vfontchsr*, vfont*)
//   vwindowOpen(c);                  // or vconfirmProcess(c)
//
// - `vfontchsr` is a confirm loaded from "Confirm" of the "vfontchsr" dictionary (lists "Family",
//   "Face", "Size", the entry "SizeEntry" and the sample "Display", copied into
//   `vfontchsrDisplayItem` in its place; OK, Apply, Cancel). The three sample lines are read once
//   per process. Its class adds the slots set-font, plain-sizes-only, the three filters (a subclass
//   overrides them), set-options and refresh.
//
// - The list items hold registry records (family, face, size) in their cells, not strings: automatic
//   width is off, and each list has its own cell drawer and cell text (used by type-ahead). One-only
//   selection with the at-least-one flag.
//
// - The entry's commit is the text view's notification 3 (Return or focus out) and the accept hook's
//   first step; a typed size is registered for the face with `vfontRegisterFaceSize`.
#pragma once
#include <cstdint>
#include <string>

#include "fw/gui/graphics/font.h"
#include "fw/widgets/choosers/confirm.h"
#include "fw/widgets/controls/textitem.h"
#include "fw/widgets/lists/listitem.h"

struct vfontchsr;
// Nonzero lets OK close the chooser.
using vfontchsrApplyFunc = int (*)(vfontchsr* chooser, vfont* font);

enum : std::uint32_t {
  vfontchsrFILTER_FAMILY = 0x1,  // the family filter method decides, and every refresh refills the families
  vfontchsrFILTER_FACE = 0x2,
  vfontchsrFILTER_SIZE = 0x4,    // also for sizes typed into the entry
  vfontchsrSIZE_ENTRY = 0x8,     // the entry shows the size and is enabled
  vfontchsrADD_FAMILY = 0x10,    // vfontchsrSetFont appends a family the list lacks
};

struct vfontchsr : vconfirm {
  vlistitem* familyList;
  vlistitem* faceList;
  vlistitem* sizeList;
  vtextitem* sizeEntry;
  vdialogItem* display;
  std::int32_t familyRow, faceRow, sizeRow;  // -1: none
  vfont* font;
  vfontFace* face;
  vfontFamily* family;
  double size;  // the font matrix's d
  vfontchsrApplyFunc apply;
  std::uint32_t options;
  std::uint32_t plainSizesOnly;  // bit 0: only sizes with a plain scale matrix
};

struct vfontchsrClassRec : vconfirmClassRec {
  void (*setFont)(vfontchsr* c, vfont* font);
  void (*setPlainSizesOnly)(vfontchsr* c, int on);
  // Nonzero keeps the candidate.
  int (*filterSize)(vfontchsr* c, vfont* font);
  int (*filterFamily)(vfontchsr* c, vfontFamily* family);
  int (*filterFace)(vfontchsr* c, vfontFace* face);
  void (*setOptions)(vfontchsr* c, std::uint32_t options);
  void (*refresh)(vfontchsr* c);
};

inline vfontchsrClassRec* vfontchsrClassOf(const vfontchsr* c) { return vclassRec<vfontchsrClassRec>(c); }
vfontchsrClassRec* vfontchsrGetDefaultClass();
vdialogItemClassRec* vfontchsrGetDisplayItemClass();
vfontchsr* vfontchsrCreate();

void vfontchsrSetApply(vfontchsr* c, vfontchsrApplyFunc apply);
inline void vfontchsrSetFont(vfontchsr* c, vfont* f) { vfontchsrClassOf(c)->setFont(c, f); }
inline void vfontchsrSetPlainSizesOnly(vfontchsr* c, int on) { vfontchsrClassOf(c)->setPlainSizesOnly(c, on); }
inline void vfontchsrSetOptions(vfontchsr* c, std::uint32_t o) { vfontchsrClassOf(c)->setOptions(c, o); }
inline void vfontchsrRefresh(vfontchsr* c) { vfontchsrClassOf(c)->refresh(c); }
inline vfont* vfontchsrGetFont(const vfontchsr* c) { return c->font; }

// ---- Shared by the chooser's files.
// The process-wide fill guard: set while a fill changes a list's selection.
extern int _vfontchsrFilling;
// The sample lines (0-2), read once per process.
const std::string& _vfontchsrSampleLine(int index);
// A size as the entry and the size cells write it.
std::string _vfontchsrSizeText(double points);
void _vfontchsrWireLists(vfontchsr* c);
void _vfontchsrFillFamilies(vfontchsr* c, int force);
void _vfontchsrUpdate(vfontchsr* c, int force);
void _vfontchsrFillFaces(vfontchsr* c);
void _vfontchsrFillSizes(vfontchsr* c);
void _vfontchsrUpdateEntry(vfontchsr* c);
void _vfontchsrRedrawSample(vfontchsr* c);
// Whether a size passes the plain-size and size-filter tests.
bool _vfontchsrSizeAcceptable(vfontchsr* c, vfont* size);
// The nearest acceptable size row to `from` of the size list (below first), -1 when none.
std::int32_t _vfontchsrNearestAcceptableRow(vfontchsr* c, std::int32_t from);
// The size entry committed as if activated.
void _vfontchsrCommitEntry(vfontchsr* c);
// The font the row of a list holds: family, face or size record.
void* _vfontchsrRowValue(vlistitem* list, std::int32_t row);
void _vfontchsrSelectRow(vlistitem* list, std::int32_t row, int on);
// The accept hook: the entry committed, then the apply function.
int _vfontchsrAccept(vconfirm* c, vevent* e);
vdialogItemClassRec* _vfontchsrBuildDisplayClass();
