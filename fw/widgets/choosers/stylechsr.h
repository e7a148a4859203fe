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
//
// - `vstylechsr` loads "Confirm" of "vstylechsr": seven toggles in the container "Attribute" (the
//   five boolean ones step through absent (-1), Off and On, as their attribute), "Set Font", "Set
//   Color", the entries "Ascent", "Descent", "Size" (found by tag when needed) and the text item
//   "Display" whose text's current style is the edited one (not owned by the text, so the text's end
//   leaves it; the chooser destroys it last).
//
// - Every change refreshes: toggles, the two buttons (enabled only while the style has a font or a
//   colour), "Auto" or the number in the entries, the display text re-laid out and the dialog
//   arranged.
//
// - The sub-choosers are made on the first press, get the chooser as window data and parent, and
//   live until the style chooser ends; their apply functions store the font or colour. The chooser
//   holds the last colour (retained), as the style's attribute set does not. A style without a
//   colour starts the colour chooser on the last colour, else black.
//
// - Accept commits an entry whose text differs from what the style shows (the text views keep no
//   modified flag), then calls the apply function.
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
