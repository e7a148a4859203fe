// The framework's text style chooser: a confirmation dialog that edits one
// text style through toggles for its boolean attributes, its font and its
// colour (chosen with a font chooser and a colour chooser of its own),
// three number entries (Ascent, Descent, Size) and a sample text drawn in
// the style. OK and Apply hand the edited style to the apply function.
//
//   vstylechsr* c = vstylechsrCreate();
//   vstylechsrSetStyle(c, style);      // copied: the caller keeps its style
//   vstylechsrSetApply(c, applied);    // int applied(vstylechsr*, vtextStyle*)
//   vwindowOpen(c);                    // or vconfirmProcess(c)
#pragma once
#include <cstdint>

#include "fw/gui/graphics/color.h"
#include "fw/text/textstyle.h"
#include "fw/widgets/choosers/colorchsr.h"
#include "fw/widgets/choosers/fontchsr.h"
#include "fw/widgets/controls/button.h"
#include "fw/widgets/controls/control.h"
#include "fw/widgets/controls/textitem.h"

struct vstylechsr;
// Nonzero lets OK close the chooser.
using vstylechsrApplyFunc = int (*)(vstylechsr* chooser, vtextStyle* style);

// The toggles inside "Attribute", in this order.
enum : int {
  vstylechsrBOLD, vstylechsrITALIC, vstylechsrUNDERLINE, vstylechsrHIDDEN, vstylechsrSTRIKETHRU,
  vstylechsrFONT, vstylechsrCOLOR, vstylechsrTOGGLES
};

struct vstylechsr : vconfirm {
  vbutton* setFont;
  vbutton* setColor;
  vcontrol* toggles[vstylechsrTOGGLES];
  vtextitem* display;  // its text's current style is the edited one
  vtextStyle* style;   // owned
  vstylechsrApplyFunc apply;
  vfontchsr* fontChooser;    // owned, made on the first "Set Font"
  vcolorchsr* colorChooser;  // owned, made on the first "Set Color"
  vfont* lastFont;           // what the font toggle restores
  vcolor* lastColor;         // what the colour toggle restores; held
};

struct vstylechsrClassRec : vconfirmClassRec {
  void (*setStyle)(vstylechsr* c, vtextStyle* style);
};

inline vstylechsrClassRec* vstylechsrClassOf(const vstylechsr* c) { return vclassRec<vstylechsrClassRec>(c); }
vstylechsrClassRec* vstylechsrGetDefaultClass();
vstylechsr* vstylechsrCreate();

// Arg/Null without a message for a missing chooser or style.
void vstylechsrSetStyle(vstylechsr* c, vtextStyle* style);
void vstylechsrSetApply(vstylechsr* c, vstylechsrApplyFunc apply);
inline vtextStyle* vstylechsrGetStyle(const vstylechsr* c) { return c->style; }
// The number entry of a tag ("Ascent", "Descent", "Size"), found by tag.
vtextitem* vstylechsrGetEntry(vstylechsr* c, const char* tag);
// Shows the style again: toggles, buttons, entries and the sample.
void _vstylechsrRefresh(vstylechsr* c);
