// Between the notebook's files: the module's classes and names, the class
// builders, and the small geometry the pages, tabs and notebook share.
#pragma once
#include <vector>

#include "fw/widgets/notebook/notebook.h"

struct vnotebookNames {
  vname tab, pageFlags, newPage, majorChange, minorChange, currentPage, style;
};
const vnotebookNames& _vnotebookNames();

vobjectClassRec* _vnotebookBuildStyleClass();
vbuttonClassRec* _vnotebookBuildButtonClass();
void _vnotebookFillDefaultStyle(vnotebookStyle* style, int lookId);
void _vnotebookFillPageSlots(vnotebookPageClassRec* c);
void _vnotebookFillSectionSlots(vnotebookPageClassRec* c);
void _vnotebookFillTabSlots(vnotebookTabClassRec* c);
void _vnotebookFillTabSetSlots(vcontainerClassRec* c);
void _vnotebookFillTabOperations(vnotebookClassRec* c);

// The notebook's frame parts (tabs, margins, sheets) exist once the item
// sits in an item list: laid out in a dialog or a container.
inline bool _vnotebookPlaced(const vdialogItem* item) { return item->owner != nullptr; }
// The depth of the sheet stack: (sheet count - 1) x sheet offset + 1.
int _vnotebookDepth(vnotebook* n);
// sheetRect moved k sheets back.
vrect _vnotebookSheetBack(vnotebook* n, int k);
bool _vnotebookTwoLineLooks();  // Windows and Win95
// The items whose tabs a section shows, in order (sub-sections flattened
// into their items when the notebook flattens).
void _vnotebookMirror(vnotebook* n, vnotebookSection* s, std::vector<vdialogItem*>* out);
// The rectangle list of r less every rectangle of cut.
std::vector<vrect> _vnotebookSubtract(const vrect& r, const std::vector<vrect>& cut);
void _vnotebookTabSetLayout(vnotebookTabSet* set, bool content);
void _vnotebookPlacePart(vnotebook* n, vdialogItem* part, const vrect* rect);
void _vnotebookDrawPart(vdialogItem* part);
// Its drawing attributes, the disabled colour when disabled, then its drawing.
void _vnotebookDrawItem(vdialogItem* item);
bool _vnotebookMeetsClip(const vrect& r);
void _vnotebookFillBackground(vdialogItem* item, const vrect& r);  // when it must clear its ground
void _vnotebookPaint(vdialogItem* item, const vrect& r);           // in its background
bool _vnotebookIsActive(vdialogItem* item);
void _vnotebookFillDrawing(vnotebookClassRec* c);
// Closes and destroys a button or tab set the notebook or a tab set holds; the field becomes null.
void _vnotebookDropPart(vdialogItem*& part);
