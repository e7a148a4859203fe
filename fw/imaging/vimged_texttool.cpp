// The image view's text tool: a press opens the text dialog; confirming it
// places the text, in the view's font and foreground, as a floating masked
// selection at the view's last press.
#include <cmath>

#include "fw/core/ex.h"
#include "fw/core/sys.h"
#include "fw/data/vresource.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/graphics/font.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/namedres.h"
#include "fw/imaging/codecs/pixops.h"
#include "fw/imaging/codecs/pixops_internal.h"
#include "fw/imaging/vimgedview_internal.h"
#include "fw/widgets/choosers/confirm.h"
#include "fw/widgets/controls/textitem.h"

using namespace imgview;

namespace {

// Loaded on first use and kept; its client data names the view that
// opened it last.
vconfirm* dialog = nullptr;

// The dialog lives to the end of the program; a context that ends lets
// it go with its windows (its items' pools are gone by then).
void forgetDialog() { dialog = nullptr; }

int rounded(vfixed f) { return int(std::lround(double(f) / 65536.0)); }

// The text as a two-colour mask in the font: clear, then the characters set.
vimage* textMask(vfont* font, const char* text, int length, int width, int height) {
  vimage* mask = vimageCreateSized(width, height, 2);
  vdrawGSave();
  vexGuard(
      [&] {
        vdrawBindImage(mask, vdrawBIND_MASK_IMAGE);
        vdrawSetDrawMode(0);
        vdrawRectFill(0, 0, width, height);
        vdrawSetDrawMode(15);
        vdrawSetFont(font);
        vrect r{0, 0, std::int16_t(width), std::int16_t(height)};
        vdrawCharsAt(text, length, &r, 0);
      },
      [&](vexHandler&) {
        vdrawGRestore();
        vimageDestroy(mask);
        _vexGenerate(nullptr, vexEnd);
      });
  vdrawGRestore();
  return mask;
}

void placeText(vimgedview* v, const char* text) {
  vimged* m = v->editor;
  int length = int(std::strlen(text));
  if (!m || !m->working || length == 0) return;
  vfont* font = v->font ? v->font : vdialogDetermineItemFont(v);
  int width = rounded(vfontGetCharsWidth(font, text, length));
  int height = rounded(vfontGetDriver()->ascent(font) + vfontGetDriver()->descent(font));
  if (width <= 0 || height <= 0) return;
  imgops::Owned mask(textMask(font, text, length, width, height));
  imgops::Owned image(imgops::createLike(m->working, width, height));
  vimgedFillThroughMask(image.image, mask.image, 0, 0, width, height, 0, 0, v->foreground);
  vimage* madeMask = mask.release();
  vimgedSetSelection(m, image.release(), madeMask, v->background, v->press.x, v->press.y);
  vimgedRecordSelection(m, vimgedRECORD_AFTER);
  vundoCloseTopAction(m->undo, vscribeLiteral("Lasso Selection"));
  std::uint32_t placing = m->flags & vimgedPLACING;
  m->flags |= vimgedPLACING;
  cls(v)->setTool(v, vimgedviewSELECT);
  m->flags = (m->flags & ~vimgedPLACING) | placing;
}

int confirmText(vconfirm* d, vevent*) {
  auto* v = static_cast<vimgedview*>(d->data);
  if (!v) return 1;
  auto* item = _vdialogFindItemAs<vtextitem>(d, N("vimgedTEXT_EDIT"), vtextitemGetDefaultClass());
  if (!item) return 1;
  char text[256] = {};
  vtextitemCopyText(item, text, sizeof text);
  placeText(v, text);
  return 1;
}

}  // namespace

namespace imgview {

void openTextDialog(vimgedview* v) {
  if (!dialog) {
    // The classes the resource names.
    vconfirmGetDefaultClass();
    vtextitemGetDefaultClass();
    vdialogLabelItemGetDefaultClass();
    vresource dict, r;
    if (!vapplicationFindNamedResource(N("vimged"), &dict) || !vresourceTestGet(dict, N("vimgedTextConfirm"), &r)) return;
    dialog = static_cast<vconfirm*>(static_cast<vinstance*>(_vobjectLoadOfClass(r, vconfirmGetDefaultClass())));
    // The template's size: its field has no layout to size the dialog by,
    // which would shrink it to the buttons.
    dialog->dialogFlags &= std::uint16_t(~vdialogSIZE_PENDING);
    // Its field's class refused now, not at the first confirm.
    _vdialogFindItemOfClass(dialog, N("vimgedTEXT_EDIT"), vtextitemGetDefaultClass());
    vconfirmSetApply(dialog, confirmText);
    vmoduleAddContextExitProc(forgetDialog);
  }
  dialog->data = v;
  if (vwindowIsOpen(dialog)) {
    vwindowMSWRaise(dialog);
    return;
  }
  if (vwindow* w = vdialogGetItemWindow(v)) vdialogPlace(dialog, w, 6, 6);
  vwindowOpen(dialog);
}

void forgetTextDialogView(vimgedview* v) {
  if (dialog && dialog->data == v) dialog->data = nullptr;
}

}  // namespace imgview

vconfirm* vimgedviewGetTextDialog() { return dialog; }
