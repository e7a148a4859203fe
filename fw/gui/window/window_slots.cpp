// The window class's own slots of state and content: opening and closing,
// iconic, maximized, busy and marked states, the event handlers, the
// setters, children, attributes by index and the passing on of attribute
// changes, and the class-name hook.
//
// - **Window class behaviour** (`window_slots.cpp` states, handlers and setters; `window_geom.cpp`
//   rectangle, size limits, maximizing, colours, lookups and coordinates; `window_cmd.cpp`
//   attributes by index, change passing, commands and printing; `window_res.cpp` destroy, copy and
//   the resource form; `window_owner.cpp` the dialog's owner record). Class building registers the
//   window-system start-up as the font registration hook and the window driver as the image driver;
//   the class-name hook opens the root (starting the window system) and reads "Classes"/name. A
//   change of the window's own attribute (send slot) tells the native side, invalidates the window
//   for a font or colour, and goes to each child's inherited-change slot (`reserved8`), which passes
//   it on only when the child does not override it; a change is never sent up to the parent, so one
//   window's font cannot reach its siblings. The application's changes and broadcasts go to its open
//   windows without a parent, which pass them down. Closing a window closes its children's owned
//   native sides with it (the platform destroys owned windows with their owner); they stay open and
//   are reopened when it opens. `SetParent` refuses the window itself or a descendant; copy onto
//   itself does nothing; destroy leaves a parent that does not list the window alone. Command
//   look-up: own space, class space, parent, application; binding the other way round, nearest last.
//   "Print" drives `vprintJob` (its state bits 2 open and 4 in a page; the printer classes spawn
//   from it; a "printclass" that does not is replaced by it): 72/dpi scales, the area at (left + 18,
//   top - 18 - height); the frame strips wait for a screen image from the drawing driver. Window
//   events (`window_event.h`) pack their fields in the event's words: 0 the window, 1 the binding, 2
//   x and y (32 bits each), 3 modifiers (16), held count, click count and button, or modifiers and
//   key code (the key value bindings are keyed by) and character, or the area flags / state code; 4
//   the virtual key or the area rectangle. The dispatch (`dispatch.cpp`) fills the application's
//   table: grabs, the pointer and key targets, the command-key bits to 8, release bits, key
//   redirection, the application's key binding issued when the window declines.
#include <cstring>

#include "fw/core/scribe.h"
#include "fw/data/pref.h"
#include "fw/data/vresource.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/window_internal.h"

namespace {

vwindowClassRec* rec(vwindow* w) { return vwindowClassOf(w); }
bool isRoot(vwindow* w) { return w == vwindowGetRoot(); }

// Snapshot of the children: a slot run on a child may change the vector.
template <class F>
void eachChild(vwindow* w, F f) {
  vwindowExtension* x = w->extension;
  if (!x || x->childBegin == x->childEnd) return;
  std::size_t n = static_cast<std::size_t>(x->childEnd - x->childBegin);
  auto** copy = static_cast<vwindow**>(vmemAlloc(n * sizeof(vwindow*)));
  std::memcpy(copy, x->childBegin, n * sizeof(vwindow*));
  vexGuard([&] { for (std::size_t i = 0; i < n; ++i) f(copy[i]); },
           [&](vexHandler&) {
             vmemFree(copy);
             _vexGenerate(nullptr, vexEnd);
           });
  vmemFree(copy);
}

bool withoutNativeOwner(vwindow* child) { return !child->native || (child->native->flags & vwindowMSW_NO_OWNER); }

// ---- Opening and closing ------------------------------------------------------------------

void open(vwindow* w) {
  vwindowEnsureStartup();
  if (vwindowIsOpen(w)) return;
  vwindowMSWRegisterClass(w);
  w->flags |= vwindowOPEN;
  if (!isRoot(w)) vwindowMSWShow(w);
  // A child's native side hangs on its parent's, which is new.
  eachChild(w, [](vwindow* child) {
    if (!vwindowIsOpen(child)) return;
    _vwindowCloseForChange(child);
    rec(child)->open(child);
  });
  if (w->flags & vwindowMODAL) vwindowMSWBeginModal(w);
  if (vcommandSpace* space = vwindowGetSpace(w)) vcommandSpaceVisitKeys(space, vwindowMSWGetKeyDict(w));
}

// The native sides owned by w's go with it natively; their records go
// first. The children stay open, and are reopened with w.
void closeOwnedNatives(vwindow* w) {
  eachChild(w, [](vwindow* child) {
    if (!child->native || (child->native->flags & vwindowMSW_NO_OWNER)) return;
    closeOwnedNatives(child);
    if (child->native->flags & vwindowMSW_MODAL) vwindowMSWEndModal(child);
    vwindowMSWCloseNative(child);
  });
}

void close(vwindow* w) {
  if (!vwindowIsOpen(w)) return;
  if (w->native && (w->native->flags & vwindowMSW_MODAL)) vwindowMSWEndModal(w);
  w->flags &= ~vwindowOPEN;
  if (isRoot(w)) return;  // the screen keeps its native side
  vwindowMSWHide(w);
  closeOwnedNatives(w);
  vwindowMSWCloseNative(w);
}

// ---- States -------------------------------------------------------------------------------

void iconify(vwindow* w) {
  if (w->flags & vwindowICONIFIED) return;
  eachChild(w, [](vwindow* child) {
    if (withoutNativeOwner(child)) rec(child)->iconify(child);
  });
  w->flags |= vwindowICONIFIED;
  vwindowMSWIconify(w);
}

void deiconify(vwindow* w) {
  if (!(w->flags & vwindowICONIFIED)) return;
  w->flags &= ~vwindowICONIFIED;
  vwindowMSWDeiconify(w);
  eachChild(w, [](vwindow* child) {
    if (withoutNativeOwner(child)) rec(child)->deiconify(child);
  });
}

void restore(vwindow* w) {
  if (!(w->flags & vwindowMAXIMIZED)) return;
  w->flags &= ~vwindowMAXIMIZED;
  vwindowMSWRestore(w);
}

void setBusy(vwindow* w) {
  if (w->flags & vwindowBUSY) return;
  eachChild(w, [](vwindow* child) { rec(child)->setBusy(child); });
  w->flags |= vwindowBUSY;
  vwindowMSWAttributeChanged(w, 2);
}

void clearBusy(vwindow* w) {
  if (!(w->flags & vwindowBUSY)) return;
  w->flags &= ~vwindowBUSY;
  vwindowMSWAttributeChanged(w, 2);
  eachChild(w, [](vwindow* child) { rec(child)->clearBusy(child); });
}

void setMark(vwindow* w) { w->flags |= vwindowMARK; }
void clearMark(vwindow* w) { w->flags &= ~vwindowMARK; }
void lower(vwindow* w) { vwindowMSWLower(w); }
void raise(vwindow* w) { vwindowMSWRaise(w); }

void notify(vwindow* w, vevent* event) {
  if (w->notifyFunc) w->notifyFunc(w, event);
  if (w->tag) vobjectIssueTag(w, w->tag, event);
}

// ---- Event handlers -----------------------------------------------------------------------

int handleArea(vwindow* w, vevent* e) {
  vrect r;
  veventGetRect(e, &r);
  int flags = veventGetAreaFlags(e);
  vrect old = w->rect;
  if (flags & 1) {
    w->rect.x = r.x;
    w->rect.y = r.y;
  }
  if (flags & 2) {
    w->rect.width = r.width;
    w->rect.height = r.height;
  }
  if (!vrectEqual(&old, &w->rect)) _vwindowSendChange(w, vname_Rect, &old, &w->rect);
  rec(w)->notify(w, e);
  return 1;
}

int handleState(vwindow* w, vevent* e) {
  switch (veventGetStateCode(e)) {
    case veventSTATE_CLOSE: vobjectIssueTag(w, vname_Close, e); break;
    case veventSTATE_MAXIMIZED: w->flags |= vwindowMAXIMIZED; break;
    case veventSTATE_RESTORED: w->flags &= ~vwindowMAXIMIZED; break;
    case veventSTATE_ICONIFIED:
      w->flags |= vwindowICONIFIED;
      eachChild(w, [](vwindow* child) {
        if (withoutNativeOwner(child)) rec(child)->iconify(child);
      });
      break;
    case veventSTATE_DEICONIFIED:
      w->flags &= ~vwindowICONIFIED;
      eachChild(w, [](vwindow* child) {
        if (withoutNativeOwner(child)) rec(child)->deiconify(child);
      });
      break;
    case veventSTATE_MARK: w->flags |= vwindowMARK; break;
    case veventSTATE_UNMARK: w->flags &= ~vwindowMARK; break;
    default: break;
  }
  rec(w)->notify(w, e);
  return 1;
}

int handled(vwindow*, vevent*) { return 1; }
int declined(vwindow*, vevent*) { return 0; }

int handleKeyDown(vwindow* w, vevent* e) {
  if (void* own = vwindowLookupKeyBinding(w, veventGetKeyValue(e))) veventSetBinding(e, static_cast<vname>(own));
  vname binding = veventGetBinding(e);
  if (!binding || !_vwindowBindingEnabled(w, binding)) return 0;
  return vobjectIssueTag(w, binding, e);
}

// ---- Setters ------------------------------------------------------------------------------

void setNotify(vwindow* w, vwindowNotifyFunc fn) { w->notifyFunc = fn; }

void setData(vwindow* w, void* data) {
  void* old = w->data;
  w->data = data;
  _vwindowSendChange(w, vname_Data, old, data);
}

void freeOwnedTitle(const char* title) { vstrDestroy(reinterpret_cast<vstr*>(const_cast<char*>(title))); }

void setTitle(vwindow* w, vscribe* s) {
  const char* old = w->title;
  bool oldOwned = w->flags & vwindowTITLE_OWNED;
  const char* text;
  bool owned;
  if (s->flags & (vscribeLITERAL | vscribeNAME)) {
    text = static_cast<const char*>(s->data);
    owned = false;
    vscribeRelease(s);
  } else {
    text = reinterpret_cast<const char*>(vstrCloneScribed(s, nullptr));
    owned = true;
  }
  if (std::strcmp(text, old) == 0) {
    if (owned) freeOwnedTitle(text);
    return;
  }
  w->title = text;
  w->flags = static_cast<std::uint16_t>(owned ? (w->flags | vwindowTITLE_OWNED) : (w->flags & ~vwindowTITLE_OWNED));
  _vwindowSendChange(w, vname_Title, old, text);
  if (oldOwned) freeOwnedTitle(old);
}

void replaceOwned(vwindow* w, vobject** field, std::uint16_t bit, vname name, vobject* value) {
  vobject* old = *field;
  bool wasOwned = w->flags & bit;
  *field = value;
  w->flags &= static_cast<std::uint16_t>(~bit);
  _vwindowSendChange(w, name, old, value);
  if (wasOwned && old && old != value) vinstanceDestroy(old);
}

void setCursor(vwindow* w, vobject* c) {
  replaceOwned(w, &vwindowGetExtension(w)->cursor, vwindowCURSOR_OWNED, vname_Cursor, c);
}
void setIcon(vwindow* w, vobject* i) { replaceOwned(w, &vwindowGetExtension(w)->icon, vwindowICON_OWNED, vname_Icon, i); }

template <class T>
void setShared(vwindow* w, T* vwindowExtension::*field, vname name, T* value) {
  T* old = w->extension ? w->extension->*field : nullptr;
  if (old == value) return;
  vwindowGetExtension(w)->*field = value;
  _vwindowSendChange(w, name, old, value);
}
void setFont(vwindow* w, vfont* f) { setShared(w, &vwindowExtension::font, vname_Font, f); }
void setForeground(vwindow* w, vcolor* c) { setShared(w, &vwindowExtension::foreground, vname_Foreground, c); }
void setBackground(vwindow* w, vcolor* c) { setShared(w, &vwindowExtension::background, vname_Background, c); }

void setSpace(vwindow* w, vcommandSpace* space) {
  vwindowExtension* x = vwindowGetExtension(w);
  if (vcommandSpace* old = x->space) {
    if ((w->flags & vwindowSPACE_OWNED) && old != space)
      vinstanceDestroy(old);
    else
      vcommandSpaceDetach(old, w);
  }
  w->flags &= static_cast<std::uint16_t>(~vwindowSPACE_OWNED);
  x->space = space;
  if (space) vcommandSpaceAttach(space, w);
}

void setDecoration(vwindow* w, std::uint16_t bits) {
  bool wasOpen = _vwindowCloseForChange(w);
  w->decoration = bits;
  if (wasOpen) rec(w)->open(w);
}

void setFlag(vwindow* w, std::uint16_t bit, int on) {
  w->flags = static_cast<std::uint16_t>(on ? (w->flags | bit) : (w->flags & ~bit));
}
void setKeptFlag(vwindow* w, int on) { setFlag(w, vwindowKEPT, on); }
void setSaveBits(vwindow* w, int on) { setFlag(w, vwindowSAVE_BITS, on); }
void setWantsMotion(vwindow* w, int on) { setFlag(w, vwindowWANTS_MOTION, on); }

void setModal(vwindow* w, int on) {
  bool wasOpen = _vwindowCloseForChange(w);
  setFlag(w, vwindowMODAL, on);
  if (wasOpen) rec(w)->open(w);
}

void setAcceptsFocus(vwindow* w, int on) {
  bool was = w->flags & vwindowACCEPTS_FOCUS;
  setFlag(w, vwindowACCEPTS_FOCUS, on);
  if (was && !on && w->native) vwindowMSWSetFocus(w, 0);
}

bool isAncestorOrSelf(vwindow* candidate, vwindow* w) {
  for (vwindow* p = candidate; p; p = p->parent)
    if (p == w) return true;
  return false;
}

void setParent(vwindow* w, vwindow* parent) {
  // A cycle would make every walk up the parents endless.
  if (parent && isAncestorOrSelf(parent, w)) vexGenerateMessage(&vexArgClass, "a window cannot be its own ancestor");
  if (w->parent) _vwindowRemoveChild(w->parent, w);
  w->parent = parent;
  if (parent) _vwindowAddChild(parent, w);
}

void setApplication(vwindow* w, vapplication* app) { w->application = app; }

}  // namespace

// ---- Shared helpers -----------------------------------------------------------------------------

bool _vwindowCloseForChange(vwindow* w) {
  bool wasOpen = vwindowIsOpen(w);
  if (wasOpen) rec(w)->close(w);
  if (w->native && !isRoot(w)) vwindowMSWCloseNative(w);
  return wasOpen;
}

bool _vwindowBindingEnabled(vobject* o, vname binding) {
  return vobjectQueryTag(o, binding, vname_Dispatch) == vname_Enabled &&
         vobjectQueryTag(o, binding, vname_State) != vname_Disabled;
}

void _vwindowAddChild(vwindow* parent, vwindow* child) {
  vwindowExtension* x = vwindowGetExtension(parent);
  if (x->childEnd == x->childCap) {
    std::size_t n = static_cast<std::size_t>(x->childEnd - x->childBegin);
    std::size_t capacity = n ? 2 * n : 4;
    auto** grown = static_cast<vwindow**>(vmemRealloc(x->childBegin, capacity * sizeof(vwindow*)));
    x->childBegin = grown;
    x->childEnd = grown + n;
    x->childCap = grown + capacity;
  }
  *x->childEnd++ = child;
}

void _vwindowRemoveChild(vwindow* parent, vwindow* child) {
  vwindowExtension* x = parent->extension;
  vwindow** p = x ? x->childBegin : nullptr;
  for (; x && p != x->childEnd; ++p)
    if (*p == child) break;
  if (!x || p == x->childEnd) vexGenerateMessage(&vexValueClass, "Value");
  std::memmove(p, p + 1, static_cast<std::size_t>(x->childEnd - p - 1) * sizeof(vwindow*));
  --x->childEnd;
}

vapplication* _vwindowApplication(vwindow* w) { return w->application ? w->application : vapplicationGetCurrent(); }

vobject* _vwindowContextOwner(vwindow* w) {
  return w->parent ? static_cast<vobject*>(w->parent) : static_cast<vobject*>(_vwindowApplication(w));
}

void _vwindowSendChange(vwindow* w, vname name, const void* oldValue, const void* newValue) {
  vobjectSendValueChange(w, name, oldValue, newValue);
}

void _vwindowFillStateSlots(vwindowClassRec* c) {
  c->open = open;
  c->close = close;
  c->iconify = iconify;
  c->deiconify = deiconify;
  c->restore = restore;
  c->setBusy = setBusy;
  c->clearBusy = clearBusy;
  c->setMark = setMark;
  c->clearMark = clearMark;
  c->lower = lower;
  c->raise = raise;
  c->notify = notify;
  c->handleArea = handleArea;
  c->handleState = handleState;
  c->handleEnter = c->handleLeave = handled;
  c->handleButtonDown = c->handleButtonUp = c->handleDrag = c->handleDragPending = c->handlePlainMotion = declined;
  c->handleFocusIn = c->handleFocusOut = handled;
  c->handleKeyDown = handleKeyDown;
  c->handleKeyUp = declined;
  c->setNotify = setNotify;
  c->setData = setData;
  c->setTitle = setTitle;
  c->setCursor = setCursor;
  c->setIcon = setIcon;
  c->setFont = setFont;
  c->setForeground = setForeground;
  c->setBackground = setBackground;
  c->setSpace = setSpace;
  c->setDecoration = setDecoration;
  c->setKeptFlag = setKeptFlag;
  c->setSaveBits = setSaveBits;
  c->setModal = setModal;
  c->setAcceptsFocus = setAcceptsFocus;
  c->setWantsMotion = setWantsMotion;
  c->setParent = setParent;
  c->setApplication = setApplication;
}

// ---- Children --------------------------------------------------------------------------------------

void vwindowInitChildIterator(vwindowChildIterator* it, vwindow* w) {
  vwindowExtension* x = w->extension;
  it->current = x ? x->childBegin : nullptr;
  it->end = x ? x->childEnd : nullptr;
  it->child = nullptr;
}

int vwindowNextChildIterator(vwindowChildIterator* it) {
  if (it->current == it->end) return 0;
  it->child = *it->current++;
  return 1;
}

// ---- The class-name hook ------------------------------------------------------------------------------

namespace {
// A value read from a resource says its kind; one set by a program is text.
bool isStringValue(vpref* e) {
  if (!vclassIsSubclass(e->cls, vprefGetValueClass())) return false;
  auto* v = static_cast<vprefValue*>(e);
  return !v->hasResource || vresourceGetType(v->resource, v->resourceTag) == vresSTRING;
}
}  // namespace

void _vwindowClassNamed(vclass* cls) {
  auto* c = static_cast<vwindowClassRec*>(cls);
  vwindowOpen(vwindowGetRoot());
  vwindowClassRec* base = vwindowGetDefaultClass();
  if (cls != base && vclassIsSubclass(cls->superclass, base)) {
    auto* super = static_cast<vwindowClassRec*>(cls->superclass);
    c->font = super->font;
    c->foreground = super->foreground;
    c->background = super->background;
    c->foregroundHilite = super->foregroundHilite;
    c->backgroundHilite = super->backgroundHilite;
  }
  if (!cls->name) return;
  vprefDict* classes = vprefGetDict(vprefGetDefaultDict(), vscribeLiteral("Classes"));
  vprefDict* own = classes ? vprefGetDict(classes, vnameScribe(cls->name)) : nullptr;
  if (own) {
    if (vpref* font = vprefDictGet(own, vname_Font)) {
      bool isString = isStringValue(font);
      vprefRelease(font);
      const char* text = isString ? vprefGetStringValue(own, vscribeLiteral("Font")) : nullptr;
      c->font = text ? vfontFindScribe(vscribeCString(text)) : nullptr;
    }
    vcolorScheme found{};
    vcolorLoadScheme(own, 0x505, &found);
    auto take = [&](int index, vcolor** field) {
      if (found.mask & vcolorSchemeBit(index)) *field = found.entries[index];
    };
    take(vcolorFOREGROUND, &c->foreground);
    take(vcolorBACKGROUND, &c->background);
    take(vcolorFOREGROUND_HILITE, &c->foregroundHilite);
    take(vcolorBACKGROUND_HILITE, &c->backgroundHilite);
    vprefRelease(own);
  }
  if (classes) vprefRelease(classes);
}
