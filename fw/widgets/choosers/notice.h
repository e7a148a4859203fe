// Notices: the framework's alert, a confirm that shows a look-dependent
// icon beside a block of wrapped text, with an OK button and, on request,
// a No button (question mode: OK reads "Yes") and a Cancel button. A notice
// sizes itself to its text. Every standard button closes it.
//
// The usual way to ask or report:
//   vnotice* n = vnoticeCreate();
//   vnoticeSetTextScribed(n, vscribeCString("Overwrite?"));
//   vnoticeSetQuestion(n, 1);
//   vdialogPlace(n, vwindowGetRoot(), 6, 6);
//   vname answer = vconfirmProcess(n);   // "Ok", "No", "Cancel", a tag, "Close"
//   vinstanceDestroy(n);
//
// - `vnotice` is a confirm with a static text item and an icon box item added after the confirm's
//   own parts; its arrange insets the look's margins, puts icon and text in a band along the top and
//   lets the confirm lay the buttons out in the same inset rectangle. Its handle methods close on
//   every accepting hook, so any button but Defaults and Help ends it.
//
// - The text is measured by sizing the text item and reading its line count and natural size (the
//   widenings and height rounds leave the item at the size measured); a line is taken as at least
//   one unit, since without a font driver the metrics are 0.
//
// - Changes of text or mode refit an open notice at once; a closed one marks both its own and the
//   dialog's size pending, so a placing before the open already sizes it.
//
// - Mnemonic keys are remembered on key down and press the button (a timed click, as Select makes)
//   on the matching key up only.
//
// - The look's Warning and Caution images are asked of the look each time (its images may load after
//   the class is built and go when the look is rebuilt); an icon loaded with a notice is the
//   notice's own and is cloned by copies. The window flag words are not set as words: the notice is
//   made modal and takes focus.
//
// - `vwexlin7.txt` holds a "vnotice" dictionary with a "Question" template (Yes, No stored as
//   "Defaults", Cancel).
#pragma once
#include <cstdint>

#include "fw/widgets/choosers/confirm.h"
#include "fw/widgets/controls/textitem.h"

enum : std::uint16_t {
  vnoticeQUESTION = 0x1,      // Yes and No
  vnoticeCANCEL = 0x2,        // a Cancel button was asked for
  vnoticeSIZE_PENDING = 0x4,  // refit to the natural size at the next open
  vnoticeICON_OWNED = 0x8,    // the icon image was loaded with the notice
};

struct vnotice : vconfirm {
  std::uint16_t noticeFlags;
  vtextitem* text;         // owned through the dialog's item list
  vdialogItem* iconItem;   // likewise; null without an icon
  vimage* icon;            // null: no icon
  std::uint8_t pendingMnemonic;
};

struct vnoticeClassRec : vconfirmClassRec {
  void (*setTextScribed)(vnotice* n, vscribe* text);  // consumed
  void (*setQuestion)(vnotice* n, int on);
  void (*setCancel)(vnotice* n, int on);
  void (*setIcon)(vnotice* n, vimage* image);  // null: the look's default
};

inline vnoticeClassRec* vnoticeClassOf(const vnotice* n) { return vclassRec<vnoticeClassRec>(n); }
vnoticeClassRec* vnoticeGetDefaultClass();
vnotice* vnoticeCreate();

inline void vnoticeSetTextScribed(vnotice* n, vscribe* s) { vnoticeClassOf(n)->setTextScribed(n, s); }
inline void vnoticeSetQuestion(vnotice* n, int on) { vnoticeClassOf(n)->setQuestion(n, on); }
inline void vnoticeSetCancel(vnotice* n, int on) { vnoticeClassOf(n)->setCancel(n, on); }
inline void vnoticeSetIcon(vnotice* n, vimage* image) { vnoticeClassOf(n)->setIcon(n, image); }
inline int vnoticeIsQuestion(const vnotice* n) { return (n->noticeFlags & vnoticeQUESTION) != 0; }

// The size the text takes with this much width available beside the icon
// (0: no limit), leaving the text item at that size.
void _vnoticeMeasureText(vnotice* n, int available, int* width, int* height);
