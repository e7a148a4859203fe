// The window class's geometry (maximizing, rectangle and size limits),
// colours and the lookups with fallback, coordinates between windows,
// and the small conveniences over the slots.
#include <algorithm>

#include "fw/gui/graphics/draw.h"
#include "fw/gui/graphics/rect.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/window_event.h"
#include "fw/gui/window/window_internal.h"

namespace {

vwindowClassRec* rec(vwindow* w) { return vwindowClassOf(w); }
std::int16_t short16(int v) { return static_cast<std::int16_t>(std::clamp(v, -32768, 32767)); }

// The area a window may take: its multiple-document client, else the screen.
vrect availableArea(vwindow* w) {
  if (w->native && w->native->nativeKind == vwindowMSW_KIND_DOCUMENT) {
    win::RECT r{};
    win::GetClientRect(win::GetParent(w->native->hwnd), &r);
    return vrect{0, 0, short16(r.right - r.left), short16(r.bottom - r.top)};
  }
  const vwindowMSWDisplay* d = vwindowMSWGetDisplay();
  return vrect{0, 0, short16(d->screenWidth), short16(d->screenHeight)};
}

void maximize(vwindow* w) {
  if (w->flags & vwindowMAXIMIZED) return;
  vwindowEnsureStartup();
  w->flags |= vwindowMAXIMIZED;
  w->restoreRect = w->rect;
  int top = w->rect.y + w->rect.height;
  vrect area = availableArea(w);
  // The top-left corner stays; sums are taken wide, then cut to the area.
  int x0 = std::max<int>(w->rect.x, area.x), x1 = std::min(w->rect.x + w->maxWidth, area.x + area.width);
  int y0 = std::max(top - w->maxHeight, static_cast<int>(area.y)), y1 = std::min(top, area.y + area.height);
  vrect r{short16(x0), short16(y0), short16(std::max(0, x1 - x0)), short16(std::max(0, y1 - y0))};
  rec(w)->setRect(w, &r);
  vwindowMSWMaximize(w);
}

void setRect(vwindow* w, const vrect* requested) {
  vrect r = *requested;
  r.width = std::clamp(r.width, w->minWidth, w->maxWidth);
  r.height = std::clamp(r.height, w->minHeight, w->maxHeight);
  int bits = (r.x != w->rect.x || r.y != w->rect.y ? 1 : 0) | (r.width != w->rect.width || r.height != w->rect.height ? 2 : 0);
  if (!bits) return;
  vrect old = w->rect;
  w->rect = r;
  _vwindowSendChange(w, vname_Rect, &old, &w->rect);
  if (w->native) vwindowMSWMoveResize(w);
  // An open window hears a new place or size asked by the program as it
  // hears one made by the user, so it lays its contents out for it: the
  // window system's later notice finds the rectangle already taken.
  if (vwindowIsOpen(w) && vrectEqual(&w->rect, &r)) veventDispatch(veventCreateArea(w, &r, bits));
}

void setMinSize(vwindow* w, int width, int height) {
  std::int16_t mw = short16(std::min<int>(width, w->maxWidth)), mh = short16(std::min<int>(height, w->maxHeight));
  if (mw == w->minWidth && mh == w->minHeight) return;
  if (w->rect.width < mw || w->rect.height < mh) {
    vrect grown = w->rect;
    grown.width = std::max(grown.width, mw);
    grown.height = std::max(grown.height, mh);
    w->minWidth = mw;  // the new limit is already in force for the resize
    w->minHeight = mh;
    rec(w)->setRect(w, &grown);
  }
  w->minWidth = mw;
  w->minHeight = mh;
  vobjectSendOperand(w, vname_MinSize);
}

void setMaxSize(vwindow* w, int width, int height) {
  std::int16_t mw = short16(std::max<int>(width, w->minWidth)), mh = short16(std::max<int>(height, w->minHeight));
  if (mw == w->maxWidth && mh == w->maxHeight) return;
  if (w->rect.width > mw || w->rect.height > mh) {
    vrect cut = w->rect;
    cut.width = std::min(cut.width, mw);
    cut.height = std::min(cut.height, mh);
    w->maxWidth = mw;
    w->maxHeight = mh;
    rec(w)->setRect(w, &cut);
  }
  w->maxWidth = mw;
  w->maxHeight = mh;
  vobjectSendOperand(w, vname_MaxSize);
}

void fillMissing(vcolorScheme* s, int index, vcolor* color) {
  if (!color || (s->mask & vcolorSchemeBit(index))) return;
  s->entries[index] = color;
  s->mask |= vcolorSchemeBit(index);
}

void determineColors(vwindow* w, vcolorScheme* s, std::uint32_t mask, vcolorScheme* result) {
  vwindowClassRec* c = rec(w);
  vwindowExtension* x = w->extension;
  fillMissing(s, vcolorFOREGROUND, x && x->foreground ? x->foreground : c->foreground);
  fillMissing(s, vcolorFOREGROUND_HILITE, c->foregroundHilite);
  fillMissing(s, vcolorBACKGROUND, x && x->background ? x->background : c->background);
  fillMissing(s, vcolorBACKGROUND_HILITE, c->backgroundHilite);
  if (vwindow* p = w->parent) return rec(p)->determineColors(p, s, mask, result);
  vapplication* app = _vwindowApplication(w);
  vapplicationClassOf(app)->determineColors(app, s, mask, result);
}

// Framework coordinates of a document window count from its
// multiple-document client; this is the client's origin on the screen.
void nativeOrigin(vwindow* w, int* x, int* y) {
  *x = *y = 0;
  if (!w || !w->native || w->native->nativeKind != vwindowMSW_KIND_DOCUMENT) return;
  win::HWND client = win::GetParent(w->native->hwnd);
  win::RECT r{};
  win::GetClientRect(client, &r);
  win::POINT p{0, r.bottom};
  win::ClientToScreen(client, &p);
  *x = p.x;
  *y = vwindowMSWGetDisplay()->screenHeight - p.y;
}

template <class T>
T* walk(vwindow* w, T* vwindowExtension::*own, T* vwindowClassRec::*byClass, T* (*fallback)(vapplication*)) {
  for (vwindow* p = w; p; p = p->parent) {
    if (p->extension && p->extension->*own) return p->extension->*own;
    if (T* v = rec(p)->*byClass) return v;
  }
  return fallback(_vwindowApplication(w));
}

}  // namespace

void _vwindowFillGeometrySlots(vwindowClassRec* c) {
  c->maximize = maximize;
  c->setRect = setRect;
  c->setMinSize = setMinSize;
  c->setMaxSize = setMaxSize;
  c->determineColors = determineColors;
}

void _vwindowSetDrawingDefaults(vwindow* w) {
  vcolorScheme result{};
  vwindowDetermineColors(w, vcolorSchemeBit(vcolorFOREGROUND) | vcolorSchemeBit(vcolorBACKGROUND), &result);
  if (result.mask & vcolorSchemeBit(vcolorFOREGROUND)) vdrawSetColor(result.entries[vcolorFOREGROUND]);
  if (result.mask & vcolorSchemeBit(vcolorBACKGROUND)) vdrawSetSecondColor(result.entries[vcolorBACKGROUND]);
  // The application's font is looked up only once the window system (and
  // with it the font device) runs.
  if (vfont* font = vwindowMSWIsStarted() ? vwindowGetFont(w) : nullptr) vdrawSetFont(font);
  vdrawSetLineWidth(static_cast<double>(vwindowGetLineWidth(w)));
}

// ---- Lookups ---------------------------------------------------------------------------------

vobject* vwindowGetCursor(vwindow* w) {
  return walk<vobject>(w, &vwindowExtension::cursor, &vwindowClassRec::cursor, vapplicationGetCursor);
}
vobject* vwindowGetIcon(vwindow* w) {
  return walk<vobject>(w, &vwindowExtension::icon, &vwindowClassRec::icon, vapplicationGetIcon);
}
vfont* vwindowGetFont(vwindow* w) {
  return walk<vfont>(w, &vwindowExtension::font, &vwindowClassRec::font, vapplicationGetFont);
}
vobject* vwindowGetBlockCursor(vwindow* w) { return vapplicationGetBlockCursor(_vwindowApplication(w)); }
std::intptr_t vwindowGetLineWidth(vwindow* w) { return vapplicationGetLineWidth(_vwindowApplication(w)); }
vobject* vwindowGetOwnIcon(vwindow* w) { return w->extension ? w->extension->icon : nullptr; }
vcommandSpace* vwindowGetSpace(vwindow* w) { return w->extension ? w->extension->space : nullptr; }

vcolor* vwindowDetermineColor(vwindow* w, int index) {
  vcolorScheme overrides{}, result{};
  rec(w)->determineColors(w, &overrides, vcolorSchemeBit(index), &result);
  return (result.mask & vcolorSchemeBit(index)) ? result.entries[index] : nullptr;
}

void vwindowDetermineColors(vwindow* w, std::uint32_t mask, vcolorScheme* result) {
  vcolorScheme overrides{};
  rec(w)->determineColors(w, &overrides, mask, result);
}

void vwindowDetermineColorList(vwindow* w, std::uint32_t overrideMask, vcolor* const* overrides, const int* indexes,
                               int count, vcolor** result) {
  vcolorScheme s{}, out{};
  if (overrides) vcolorSetSchemeColors(&s, overrideMask, overrides);
  rec(w)->determineColors(w, &s, vcolorMakeSchemeMask(indexes, count), &out);
  vcolorGetSchemeColors(&out, indexes, count, result);
}

// ---- Coordinates -----------------------------------------------------------------------------

void vwindowTranslatePoint(vwindow* from, vwindow* to, int x, int y, int* outX, int* outY) {
  vwindow* root = vwindowGetRoot();
  if (!from) from = root;
  if (!to) to = root;
  int fx, fy, tx, ty;
  nativeOrigin(from, &fx, &fy);
  nativeOrigin(to, &tx, &ty);
  *outX = x + from->rect.x - to->rect.x + fx - tx;
  *outY = y + from->rect.y - to->rect.y + fy - ty;
}

void vwindowTranslateRect(vwindow* from, vwindow* to, const vrect* r, vrect* out) {
  int x, y;
  vwindowTranslatePoint(from, to, r->x, r->y, &x, &y);
  *out = vrect{short16(x), short16(y), r->width, r->height};
}

void vwindowTranslateEvent(vwindow* from, vwindow* to, vevent* e) {
  veventSetWindow(e, to);
  switch (e->type) {
    case veventBUTTON_DOWN:
    case veventBUTTON_UP:
    case veventPOINTER_DRAG:
    case veventPOINTER_DRAG_LAST:
    case veventKEY_DOWN:
    case veventKEY_UP:
    case veventPOINTER_MOTION: {
      int x, y;
      vwindowTranslatePoint(from, to, veventGetX(e), veventGetY(e), &x, &y);
      veventSetPosition(e, x, y);
      break;
    }
    default: break;
  }
}

// ---- Conveniences ------------------------------------------------------------------------------

void vwindowInvalAll(vwindow* w, int flags) {
  vrect whole{0, 0, w->rect.width, w->rect.height};
  rec(w)->inval(w, &whole, flags);
}

void vwindowMove(vwindow* w, int x, int y) {
  vrect r{short16(x), short16(y), w->rect.width, w->rect.height};
  rec(w)->setRect(w, &r);
}

void vwindowResize(vwindow* w, int width, int height) {
  vrect r{w->rect.x, w->rect.y, short16(width), short16(height)};
  rec(w)->setRect(w, &r);
}

void vwindowSetFlags(vwindow* w, std::uint16_t bits) {
  rec(w)->setDecoration(w, static_cast<std::uint16_t>(w->decoration | bits));
}

void vwindowSetStateFlag(vwindow* w, vwindow* parent) {
  rec(w)->setParent(w, parent);
  w->decoration = static_cast<std::uint16_t>(parent ? (w->decoration | vwindowDECO_DOCUMENT)
                                                    : (w->decoration & ~vwindowDECO_DOCUMENT));
  if (_vwindowCloseForChange(w)) rec(w)->open(w);
}

void vwindowSetSpaceOwned(vwindow* w, vcommandSpace* space) {
  rec(w)->setSpace(w, space);
  w->flags |= vwindowSPACE_OWNED;
}

vwindowClassRec* vwindowGetClass() { return vwindowGetDefaultClass(); }
