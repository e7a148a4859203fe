// The colour chooser under the Windows looks: the system's colour dialog
// in place of the chooser's own window, with the sixteen user colours as
// its custom colours, and what it answers handed to the same apply
// function and user colours.
#include "fw/core/event.h"
#include "fw/core/ex.h"
#include "fw/core/mem.h"
#include "fw/gui/window/msw.h"
#include "fw/widgets/choosers/colorchsr.h"
#include "fw/widgets/choosers/nativechsr.h"
#include "fw/widgets/look/laf.h"
#include "platform/win/commdlg.h"

namespace {

vcolorchsr* running = nullptr;

// 0x00BBGGRR from the high bytes, a spec of another model converted there and back.
win::COLORREF pack(vcolorSpec* s) {
  const vcolorModel* model = vcolorGetSpecModel(s);
  if (model != &vcolorRGBModel) vcolorSetSpecModel(s, &vcolorRGBModel);
  unsigned r = 0, g = 0, b = 0;
  vcolorGetSpecRGB(s, &r, &g, &b);
  if (model != &vcolorRGBModel) vcolorSetSpecModel(s, model);
  return win::COLORREF((r >> 8) | (g >> 8) << 8 | (b >> 8) << 16);
}
void unpack(win::COLORREF color, vcolorSpec* s) {
  vcolorInitSpec(s);
  vcolorSetSpecRGB(s, (color & 0xFF) * 257, (color >> 8 & 0xFF) * 257, (color >> 16 & 0xFF) * 257);
}

vcolorchsrNative* nativeRecord(vcolorchsr* c) {
  if (!c->nativeRecord) {
    c->nativeRecord = static_cast<vcolorchsrNative*>(vmemAllocClear(sizeof(vcolorchsrNative)));
    c->nativeRecord->x = c->nativeRecord->y = -1;
  }
  return c->nativeRecord;
}

// The framework's timer keeps its events running while the system dialog
// holds the loop.
win::UINT_PTR hook(win::HWND hwnd, win::UINT message, win::WPARAM wParam, win::LPARAM lParam) {
  veventMSWModalTimerProc(hwnd, message, wParam, lParam);
  vcolorchsr* c = running;
  if (!c) return 0;
  vcolorchsrNative* n = nativeRecord(c);
  if (message == win::WM_INITDIALOG) {
    n->flags &= ~vcolorchsrNATIVE_CUSTOM_CHANGED;
    if ((n->flags & vcolorchsrNATIVE_POSITION) && n->x >= 0) {
      vpoint p{n->x, n->y};
      vchooserMSWPlaceAt(hwnd, &p);
    } else if (!c->parent || c->parent == vwindowGetRoot()) {
      vchooserMSWCenterOnOwner(hwnd);
    }
    return 1;
  }
  if (message == win::WM_COMMAND) {
    int id = int(wParam & 0xFFFF);
    if (id == win::COLOR_ADD) n->flags |= vcolorchsrNATIVE_CUSTOM_CHANGED;
    if (id == win::COLOR_MIX) n->flags |= vcolorchsrNATIVE_CUSTOM_ASKED;
  }
  return 0;
}

}  // namespace

bool _vcolorchsrWantsNative(vcolorchsr* c) {
  int look = vlafGetCurrent()->id;
  if (look != vlafWINDOWS && look != vlafWIN95) return false;
  return c->forceNative || (c->nativeAllowed && c->cls == vcolorchsrGetDefaultClass());
}

namespace {

win::HWND ownerWindow(vcolorchsr* c) {
  vwindow* owner = c->parent ? c->parent : vwindowGetRoot();
  return owner && owner->native ? owner->native->hwnd : nullptr;
}

}  // namespace

int _vcolorchsrRunNative(vcolorchsr* c) {
  if (!_vcolorchsrWantsNative(c)) return 0;
  vcolorSpec* user = _vcolorchsrUserColors();
  win::COLORREF custom[vcolorchsrUSER_COLORS];
  for (int i = 0; i < vcolorchsrUSER_COLORS; ++i) custom[i] = pack(&user[i]);
  vcolorchsrNative* n = nativeRecord(c);
  n->flags |= vcolorchsrNATIVE_CUSTOM_ASKED;
  win::CHOOSECOLORA cc{};
  cc.lStructSize = win::CHOOSECOLOR_PACKED_SIZE;
  cc.hwndOwner = ownerWindow(c);
  cc.rgbResult = pack(&c->working);
  cc.lpCustColors = custom;
  cc.Flags = vconfirmHasHelp(c) ? 0x1B : 0x13;
  cc.lpfnHook = hook;
  vcolorchsr* outer = running;
  running = c;
  vwindow* root = vwindowGetRoot();
  bool grabbed = vexTry([&] { vwindowGrab(root); });
  int ok = win::ChooseColorA(&cc);
  if (grabbed) vexTry([&] { vwindowUngrab(root); });
  running = outer;
  c->nativeAnswer = vnameInternLiteral(ok ? "Ok" : "Cancel");
  if (ok) {
    vcolorSpec spec;
    unpack(cc.rgbResult, &spec);
    vcolorSetSpecMaxDotDither(&spec, 0);
    vcolor* color = vcolorInternSpec(&spec);
    vcolorchsrSetColor(c, color);
    if (c->apply) c->apply(c, color);
    vcolorRelease(color);
    if (n->flags & vcolorchsrNATIVE_CUSTOM_CHANGED) {
      for (int i = 0; i < vcolorchsrUSER_COLORS; ++i) {
        vcolorSpec u;
        unpack(custom[i], &u);
        vcolorchsrSetUserColor(c, i, &u);
        vcolorDestroySpec(&u);
      }
    }
    vcolorDestroySpec(&spec);
  }
  n->flags &= ~(vcolorchsrNATIVE_POSITION | vcolorchsrNATIVE_LEADER);
  return 1;
}
