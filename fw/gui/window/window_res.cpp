// The window class's life cycle: destroy, copy and the resource form.
#include <cstring>

#include "fw/core/scribe.h"
#include "fw/data/resrect.h"
#include "fw/data/vresource.h"
#include "fw/gui/graphics/image.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/window_internal.h"

namespace {

vwindowClassRec* rec(vwindow* w) { return vwindowClassOf(w); }
vobjectAttributedClassRec* super() { return vobjectGetAttributedClass(); }
vwindow* win(vinstance* o) { return static_cast<vwindow*>(o); }

constexpr std::uint32_t kStoredFlags = 0x30F;

void freeTitle(vwindow* w) {
  if (w->flags & vwindowTITLE_OWNED) vstrDestroy(reinterpret_cast<vstr*>(const_cast<char*>(w->title)));
  w->title = "";
  w->flags &= static_cast<std::uint16_t>(~vwindowTITLE_OWNED);
}

// Destroys what the window owns of cursor, icon and space; a foreign
// space is told to detach.
void dropOwnedObjects(vwindow* w) {
  vwindowExtension* x = w->extension;
  if (!x) return;
  if ((w->flags & vwindowCURSOR_OWNED) && x->cursor) vinstanceDestroy(x->cursor);
  if ((w->flags & vwindowICON_OWNED) && x->icon) vinstanceDestroy(x->icon);
  if (x->space) {
    if (w->flags & vwindowSPACE_OWNED)
      vinstanceDestroy(x->space);
    else
      vcommandSpaceDetach(x->space, w);
  }
  x->cursor = x->icon = nullptr;
  x->space = nullptr;
  w->flags &= static_cast<std::uint16_t>(~(vwindowCURSOR_OWNED | vwindowICON_OWNED | vwindowSPACE_OWNED));
}

void forgetInApplication(vwindow* w) {
  vapplication* app = w->application;
  if (!app) return;
  for (vobject** ref : {&app->keyTarget, &app->pointerTarget, &app->spareWindow})
    if (*ref == w) *ref = nullptr;
}

void destroy(vinstance* self) {
  vwindow* w = win(self);
  _vwindowCloseForChange(w);
  if (w->native) vwindowMSWCloseNative(w);  // the root's
  forgetInApplication(w);
  // Destroying never raises: a parent that does not list the window is left alone.
  if (w->parent) vexTry([w] { _vwindowRemoveChild(w->parent, w); });
  w->parent = nullptr;
  dropOwnedObjects(w);
  if (vwindowExtension* x = w->extension) {
    while (x->childEnd != x->childBegin) {
      vwindow* child = x->childEnd[-1];
      --x->childEnd;
      child->parent = nullptr;
      if (_vwindowCloseForChange(child)) rec(child)->open(child);
    }
  }
  _vwindowReleaseExtension(w);
  freeTitle(w);
  if (w == vwindowGetRoot()) return;  // static storage
  super()->destroy(self);
}

vobject* cloneOf(vobject* o) { return o ? vobjectClone(o) : nullptr; }

void copy(vobject* from, vobject* to) {
  vwindow* s = static_cast<vwindow*>(from);
  vwindow* d = static_cast<vwindow*>(to);
  // Onto itself: the owned title and objects would be freed while copied.
  if (s == d) return;
  super()->copy(from, to);
  bool wasOpen = _vwindowCloseForChange(d);
  dropOwnedObjects(d);
  freeTitle(d);
  d->notifyFunc = s->notifyFunc;
  d->data = s->data;
  d->decoration = s->decoration;
  d->rect = s->rect;
  d->restoreRect = s->restoreRect;
  d->minWidth = s->minWidth;
  d->minHeight = s->minHeight;
  d->maxWidth = s->maxWidth;
  d->maxHeight = s->maxHeight;
  constexpr std::uint16_t kKept = vwindowOPEN | vwindowSUBCLASS_1 | vwindowSUBCLASS_2;
  d->flags = static_cast<std::uint16_t>((s->flags & ~kKept) | (d->flags & kKept));
  d->title = (s->flags & vwindowTITLE_OWNED) ? vstrClone(s->title) : s->title;
  if (vwindowExtension* sx = s->extension) {
    vwindowExtension* dx = vwindowGetExtension(d);
    dx->cursor = (s->flags & vwindowCURSOR_OWNED) ? cloneOf(sx->cursor) : sx->cursor;
    dx->icon = (s->flags & vwindowICON_OWNED) ? cloneOf(sx->icon) : sx->icon;
    dx->space = sx->space && (s->flags & vwindowSPACE_OWNED) ? static_cast<vcommandSpace*>(vobjectClone(sx->space))
                                                             : sx->space;
    if (dx->space) vcommandSpaceAttach(dx->space, d);
    dx->font = sx->font;
    dx->foreground = sx->foreground;
    dx->background = sx->background;
  } else if (vwindowExtension* dx = d->extension) {
    dx->font = nullptr;
    dx->foreground = dx->background = nullptr;
    if (dx->childBegin == dx->childEnd && !dx->mdiClient) _vwindowReleaseExtension(d);
  }
  if (d->parent != s->parent) {
    if (d->parent) _vwindowRemoveChild(d->parent, d);
    d->parent = s->parent;
    if (d->parent) _vwindowAddChild(d->parent, d);
  }
  if (wasOpen) rec(d)->open(d);
}

void copyInit(vobject* from, vobject* to) {
  rec(static_cast<vwindow*>(to))->init(to);
  copy(from, to);
}

// ---- The resource form ----------------------------------------------------------------------

// What a resource gives, held apart until all of it has loaded.
struct Loaded {
  bool hasStyle = false, hasFlags = false, hasMetrics = false;
  std::int32_t style = 0, flags = 0;
  std::int32_t metrics[8]{};
  vstr* title = nullptr;
  vobject* cursor = nullptr;
  vobject* icon = nullptr;
  vfont* font = nullptr;
  vcolor* foreground = nullptr;
  vcolor* background = nullptr;
  vcommandSpace* space = nullptr;
  void drop() {
    for (vinstance* o : {static_cast<vinstance*>(cursor), static_cast<vinstance*>(icon), static_cast<vinstance*>(space)})
      if (o) vinstanceDestroy(o);
    if (title) vstrDestroy(title);
  }
};

void refuse(const char* message) { vexGenerateMessage(&vexArgRangeClass, message); }

void readMetrics(vresource r, Loaded* l) {
  vresource array;
  if (!vresourceTestGet(r, vname_Metrics, &array)) return;
  if (vresourceCount(array) < 8) refuse("\"Metrics\" needs 8 integers");
  for (int i = 0; i < 8; ++i) {
    std::int32_t v = vresourceGetAtInteger(array, i);
    if (v < -32768 || v > 32767) refuse("\"Metrics\" values are 16-bit");
    l->metrics[i] = v;
  }
  l->hasMetrics = true;
}

void loadFrom(vresource r, Loaded* l) {
  l->hasStyle = vresourceTestGetInteger(r, vname_Style, &l->style);
  l->hasFlags = vresourceTestGetInteger(r, vname_Flags, &l->flags);
  readMetrics(r, l);
  vscribe* title;
  if (vresourceTestGetString(r, vname_Title, &title)) {
    vstr* text = vstrCloneScribed(title, nullptr);
    if (*text)
      l->title = text;
    else
      vstrDestroy(text);
  }
  vresource child;
  if (vresourceTestGet(r, vname_Cursor, &child)) l->cursor = vobjectLoad(child);
  if (vresourceTestGet(r, vname_Icon, &child)) l->icon = vimageLoad(child);
  if (vresourceTestGet(r, vname_Font, &child)) l->font = vfontLoad(child);
  if (vresourceTestGet(r, vname_Foreground, &child)) l->foreground = vcolorLoad(child);
  if (vresourceTestGet(r, vname_Background, &child)) l->background = vcolorLoad(child);
  if (vresourceTestGet(r, vname_Space, &child)) l->space = vcommandSpaceLoad(child);
}

std::int16_t s16(std::int32_t v) { return static_cast<std::int16_t>(v); }

void loadInit(vobject* self, vresource r) {
  vwindow* w = static_cast<vwindow*>(self);
  Loaded l;
  // Everything is read, and checked, before the window changes.
  vexGuard([&] { loadFrom(r, &l); },
           [&](vexHandler&) {
             l.drop();
             _vexGenerate(nullptr, vexEnd);
           });
  rec(w)->init(self);
  super()->loadInit(self, r);
  if (l.hasStyle) w->decoration = static_cast<std::uint16_t>(l.style);
  if (l.hasFlags) w->flags = static_cast<std::uint16_t>(static_cast<std::uint32_t>(l.flags) & kStoredFlags);
  if (l.hasMetrics) {
    const std::int32_t* m = l.metrics;
    w->rect = vrect{s16(m[0]), s16(m[1]), s16(m[2]), s16(m[3])};
    w->minWidth = s16(m[4]);
    w->minHeight = s16(m[5]);
    w->maxWidth = s16(m[6]);
    w->maxHeight = s16(m[7]);
  }
  w->restoreRect = w->rect;
  w->application = vapplicationGetCurrent();
  if (l.title) {
    w->title = l.title;
    w->flags |= vwindowTITLE_OWNED;
  }
  if (l.cursor || l.icon || l.font || l.foreground || l.background || l.space) {
    vwindowExtension* x = vwindowGetExtension(w);
    x->cursor = l.cursor;
    x->icon = l.icon;
    x->font = l.font;
    x->foreground = l.foreground;
    x->background = l.background;
    if (l.cursor) w->flags |= vwindowCURSOR_OWNED;
    if (l.icon) w->flags |= vwindowICON_OWNED;
    if (l.space) vwindowSetSpaceOwned(w, l.space);
  }
}

void storeObject(vresource r, vname key, vobject* o) {
  vclassRec<vobjectClassRec>(o)->store(o, vresourceCreate(r, key, vresDICTIONARY));
}

void storeColor(vresource r, vname key, vcolor* c) {
  vcolorStoreSpec(&c->desc, vresourceCreate(r, key, vresDICTIONARY));
}

void store(vobject* self, vresource r) {
  vwindow* w = static_cast<vwindow*>(self);
  super()->store(self, r);
  vresourceSetInteger(r, vname_Style, w->decoration);
  vresourceSetInteger(r, vname_Flags, static_cast<std::int32_t>(w->flags & kStoredFlags));
  vresourceRemoveIfPresent(r, vname_Title);
  if (*w->title) vresourceSetString(r, vname_Title, vscribeCString(w->title));
  vresourceRemoveIfPresent(r, vname_Metrics);
  vresource metrics = vresourceMakeArray(r, vname_Metrics, vresINTEGER, 8);
  const std::int32_t values[8] = {w->rect.x, w->rect.y, w->rect.width, w->rect.height,
                                  w->minWidth, w->minHeight, w->maxWidth, w->maxHeight};
  for (int i = 0; i < 8; ++i) vresourceSetAtInteger(metrics, i, values[i]);
  vwindowExtension* x = w->extension;
  const struct {
    vname key;
    vobject* object;
    std::uint16_t bit;
  } owned[] = {{vname_Cursor, x ? x->cursor : nullptr, vwindowCURSOR_OWNED},
               {vname_Icon, x ? x->icon : nullptr, vwindowICON_OWNED},
               {vname_Space, x ? x->space : nullptr, vwindowSPACE_OWNED}};
  for (const auto& row : owned) {
    vresourceRemoveIfPresent(r, row.key);
    if (row.object && (w->flags & row.bit)) storeObject(r, row.key, row.object);
  }
  vresourceRemoveIfPresent(r, vname_Font);
  if (x && x->font) vfontStore(x->font, vresourceCreate(r, vname_Font, vresSTRING));
  vresourceRemoveIfPresent(r, vname_Foreground);
  if (x && x->foreground) storeColor(r, vname_Foreground, x->foreground);
  vresourceRemoveIfPresent(r, vname_Background);
  if (x && x->background) storeColor(r, vname_Background, x->background);
}

}  // namespace

void _vwindowFillResourceSlots(vwindowClassRec* c) {
  c->destroy = destroy;
  c->copy = copy;
  c->copyInit = copyInit;
  c->loadInit = loadInit;
  c->store = store;
}
