#include "fw/gui/window/application_internal.h"

#include <cstring>
#include <tuple>
#include <utility>

#include "fw/core/fs.h"
#include "fw/core/sys.h"
#include "fw/data/pref.h"
#include "fw/data/vresource.h"
#include "fw/data/resrect.h"
#include "fw/gui/graphics/cursormsw.h"
#include "fw/gui/graphics/image.h"
#include "fw/gui/window/hooks.h"
#include "fw/gui/window/msw.h"

namespace {

// The class is process-global, so its state is too: switching module
// contexts must not lose the default or current application.
struct State {
  vapplicationClassRec* cls = nullptr;
  vapplication* current = nullptr;
  vapplication defaultApp{};
  bool defaultLive = false;
};
State state;

vapplicationClassRec* rec(vapplication* app) { return vapplicationClassOf(app); }
vapplication* app(vobject* o) { return static_cast<vapplication*>(o); }
vapplication* app(vinstance* o) { return static_cast<vapplication*>(o); }
vobjectAttributedClassRec* super() { return vobjectGetAttributedClass(); }

void changed(vapplication* a, vname name, const void* oldValue, const void* newValue) {
  vobjectSendValueChange(a, name, oldValue, newValue);
}

// --- Program name --------------------------------------------------------

bool nameOptionGiven() {
  int n;
  char** all;
  vprefGetAllArgs(&n, &all);
  for (int i = 1; i < n; ++i)
    if (all[i] && std::strcmp(all[i], "-name") == 0) return true;
  return false;
}

vname programName() {
  vprefDict* prefs = vprefGetDefaultDict();
  if (nameOptionGiven())
    if (const char* v = vprefGetString(prefs, vscribeLiteral("name"))) return vnameInternLiteral(v);
  if (const char* v = vprefGetString(prefs, vscribeLiteral("RESOURCE_NAME"))) return vnameInternLiteral(v);
  int n;
  char** rest;
  vprefGetArgs(&n, &rest);
  const char* file = vfsMSWGetProgramFileName();
  if (n < 1 || !file) return vname_Empty;
  const char* dot = std::strrchr(file, '.');
  return vnameIntern(vscribeCStringSized(file, dot ? static_cast<std::size_t>(dot - file) : std::strlen(file)));
}

// --- Event dispatch --------------------------------------------------------

int noWindow(vevent*) { return 0; }

void initDispatch(veventTable* table) {
  veventInitTable(table);
  for (auto& h : table->handlers) h = noWindow;
  _vapplicationFillDispatch(table);
}

// --- Life cycle --------------------------------------------------------------

// A new name means another resource file and own dictionary.
void reopenUnder(vapplication* a, vname name) {
  a->name = name;
  _vapplicationReleaseFile(a->file);
  _vapplicationOpenFile(a);
  vapplicationLoadPreferences(a, 2);
}

void init(vinstance* self) {
  vapplication* a = app(self);
  super()->init(self);
  initDispatch(&a->dispatch);
  a->notifyFunc = nullptr;
  a->data = nullptr;
  a->title = vname_Empty;
  a->name = programName();
  a->cursor = a->blockCursor = a->icon = nullptr;
  a->font = nullptr;
  a->scheme = vcolorScheme{};
  a->closure = vapplicationDefaultClosure;
  a->derive = vapplicationDefaultDerive;
  a->lineWidth = -1;
  a->space = nullptr;
  a->owned = 0;
  a->pointerBindings = vdictCreate(vdictHashPointer);
  a->keyBindings = vdictCreate(vdictHashPointer);
  a->keyRedirections = vdictCreate(vdictHashPointer);
  a->spareWindow = a->pointerTarget = a->keyTarget = nullptr;
  if (a == &state.defaultApp) {
    a->context = vmoduleGetDefaultContext();
  } else {
    // A new context becomes current; it should only once the app does.
    vmoduleContext* was = vmoduleGetCurrentContext();
    a->context = vmoduleCreateContext();
    vmoduleSetContext(was);
  }
  a->file = nullptr;
  a->resources = 0;
  _vapplicationOpenFile(a);
  vapplicationLoadPreferences(a, 0);
  // "name" and "RESOURCE_NAME" are known only once the levels are loaded.
  if (vname loaded = programName(); loaded != a->name) reopenUnder(a, loaded);
  const vwindowHooks& hooks = vwindowGetHooks();
  hooks.helpSetApplicationName(a->name);
  hooks.helpSetResourceRoot(a->file->root);
}

void releaseFileImpl(vapplicationResourceFile* f) {
  if (!f || --f->count > 0) return;
  if (f->flags & 1) vresourceCloseFile(f->root);
  if (f->flags & 2) vresourceReleaseFile(f->root);
  vmemFree(f);
}
void dropOwned(vapplication* a) {
  if (a->owned & vapplicationCURSOR_OWNED) vinstanceDestroy(a->cursor);
  if (a->owned & vapplicationBLOCK_CURSOR_OWNED) vinstanceDestroy(a->blockCursor);
  if (a->owned & vapplicationICON_OWNED) vinstanceDestroy(a->icon);
  if (a->space) {
    if (a->owned & vapplicationSPACE_OWNED)
      vinstanceDestroy(a->space);
    else
      vcommandSpaceDetach(a->space, a);
  }
  a->cursor = a->blockCursor = a->icon = nullptr;
  a->space = nullptr;
  a->owned = 0;
}

void destroy(vinstance* self) {
  vapplication* a = app(self);
  vdictDestroy(a->pointerBindings);
  vdictDestroy(a->keyBindings);
  vdictDestroy(a->keyRedirections);
  dropOwned(a);
  _vapplicationReleaseFile(a->file);
  a->file = nullptr;
  veventDestroyTable(&a->dispatch);
  if (state.current == a) state.current = nullptr;
  if (a == &state.defaultApp) {
    state.defaultLive = false;
    return;  // static storage: nothing to free
  }
  if (a->context != vmoduleGetDefaultContext()) {
    if (vmoduleGetCurrentContext() == a->context) vmoduleSetContext(vmoduleGetDefaultContext());
    vmoduleDestroyContext(a->context);
  }
  super()->destroy(self);
}

// --- Copy and the resource form ------------------------------------------------

vobject* cloneOf(vobject* o) { return o ? vobjectClone(o) : nullptr; }

// Everything of source, over an initialised destination.
void copy(vobject* from, vobject* to) {
  vapplication* s = app(from);
  vapplication* d = app(to);
  super()->copy(from, to);
  dropOwned(d);
  _vapplicationReleaseFile(d->file);
  d->name = s->name;
  d->title = s->title;
  d->data = s->data;
  d->notifyFunc = s->notifyFunc;
  d->scheme = s->scheme;
  d->closure = s->closure;
  d->derive = s->derive;
  d->lineWidth = s->lineWidth;
  d->font = s->font;
  d->spareWindow = s->spareWindow;
  d->pointerTarget = s->pointerTarget;
  d->keyTarget = s->keyTarget;
  d->owned = s->owned;
  d->cursor = s->owned & vapplicationCURSOR_OWNED ? cloneOf(s->cursor) : s->cursor;
  d->blockCursor = s->owned & vapplicationBLOCK_CURSOR_OWNED ? cloneOf(s->blockCursor) : s->blockCursor;
  d->icon = s->owned & vapplicationICON_OWNED ? cloneOf(s->icon) : s->icon;
  d->space = s->space && (s->owned & vapplicationSPACE_OWNED) ? static_cast<vcommandSpace*>(vobjectClone(s->space))
                                                              : s->space;
  if (d->space) vcommandSpaceAttach(d->space, d);
  d->file = s->file;
  ++d->file->count;
  d->resources = s->resources;
  for (auto [source, target] : {std::pair{s->pointerBindings, &d->pointerBindings},
                                std::pair{s->keyBindings, &d->keyBindings},
                                std::pair{s->keyRedirections, &d->keyRedirections}}) {
    vdictDestroy(*target);
    *target = vdictCopy(source);
  }
}

void copyInit(vobject* from, vobject* to) {
  init(to);
  copy(from, to);
}

// What a resource gives, held apart until all of it has loaded.
struct Loaded {
  vname title = vname_Empty, name = nullptr;
  vobject* cursor = nullptr;
  vobject* blockCursor = nullptr;
  vobject* icon = nullptr;
  vfont* font = nullptr;
  vcommandSpace* space = nullptr;
  vcolorScheme scheme{};
  void drop() {
    for (vinstance* o : {static_cast<vinstance*>(cursor), static_cast<vinstance*>(blockCursor),
                         static_cast<vinstance*>(icon), static_cast<vinstance*>(space)})
      if (o) vinstanceDestroy(o);
  }
};

void loadFrom(vresource r, Loaded* l) {
  vresource child;
  vname tag;
  if (vresourceTestGetTag(r, vname_Title, &tag)) l->title = tag;
  if (vresourceTestGetTag(r, vname_Name, &tag)) l->name = tag;
  if (vresourceTestGet(r, vname_Cursor, &child)) l->cursor = vobjectLoad(child);
  if (vresourceTestGet(r, vname_BlockCursor, &child)) l->blockCursor = vobjectLoad(child);
  if (vresourceTestGet(r, vname_Icon, &child)) l->icon = vimageLoad(child);
  if (vresourceTestGet(r, vname_Font, &child)) l->font = vfontLoad(child);
  if (vresourceTestGet(r, vname_Space, &child)) l->space = vcommandSpaceLoad(child);
  if (vresourceTestGet(r, vname_Colors, &child)) vcolorLoadSchemeResource(&l->scheme, child);
}

void loadInit(vobject* self, vresource r) {
  vapplication* a = app(self);
  init(self);
  super()->loadInit(self, r);
  Loaded l;
  vexGuard([&] { loadFrom(r, &l); },
           [&](vexHandler&) {
             l.drop();
             _vexGenerate(nullptr, vexEnd);
           });
  a->title = l.title;
  a->cursor = l.cursor;
  a->blockCursor = l.blockCursor;
  a->icon = l.icon;
  a->font = l.font;
  a->scheme = l.scheme;
  a->owned = (l.cursor ? vapplicationCURSOR_OWNED : 0u) | (l.blockCursor ? vapplicationBLOCK_CURSOR_OWNED : 0u) |
             (l.icon ? vapplicationICON_OWNED : 0u);
  if (l.space) vapplicationSetSpaceOwned(a, l.space);
  if (l.name && l.name != a->name) reopenUnder(a, l.name);
}

void storeObject(vresource r, vname key, vobject* o) {
  vresourceRemoveIfPresent(r, key);
  vclassRec<vobjectClassRec>(o)->store(o, vresourceCreate(r, key, vresDICTIONARY));
}

void store(vobject* self, vresource r) {
  vapplication* a = app(self);
  super()->store(self, r);
  vresourceSetTag(r, vname_Title, a->title);
  vresourceSetTag(r, vname_Name, a->name);
  const std::tuple<vname, vobject*, std::uint32_t> owned[] = {
      {vname_Cursor, a->cursor, vapplicationCURSOR_OWNED},
      {vname_BlockCursor, a->blockCursor, vapplicationBLOCK_CURSOR_OWNED},
      {vname_Icon, a->icon, vapplicationICON_OWNED},
      {vname_Space, a->space, vapplicationSPACE_OWNED}};
  for (auto [key, object, bit] : owned)
    if (object && (a->owned & bit))
      storeObject(r, key, object);
    else
      vresourceRemoveIfPresent(r, key);
  vresourceRemoveIfPresent(r, vname_Font);
  if (a->font) vfontStore(a->font, vresourceCreate(r, vname_Font, vresSTRING));
  vresourceRemoveIfPresent(r, vname_Colors);
  vcolorStoreScheme(&a->scheme, vresourceCreate(r, vname_Colors, vresDICTIONARY));
}

// --- Setters -----------------------------------------------------------------

void notify(vapplication* a, vevent* event) {
  if (a->notifyFunc) a->notifyFunc(a, event);
  if (a->tag) vobjectIssueTag(a, a->tag, event);
}
void setNotify(vapplication* a, vapplicationNotifyFunc fn) { a->notifyFunc = fn; }
void setData(vapplication* a, void* data) {
  void* old = a->data;
  a->data = data;
  changed(a, vname_Data, old, data);
}
void setTitle(vapplication* a, vscribe* s) {
  vname title = vnameIntern(s);
  if (title == a->title) return;
  vname old = a->title;
  a->title = title;
  changed(a, vname_Title, old, title);
  if (win::HWND task = vsysGetTaskWindow()) win::SetWindowTextA(task, title);
}
// The task window shows the application's icon (its own, else its class's)
// once the window system can make native icons.
void updateTaskIcon(vapplication* a) {
  if (!vsysGetTaskWindow() || !vwindowMSWIsStarted()) return;
  vobject* icon = vapplicationGetIcon(a);
  vsysSetIcon(icon ? vimageMSWGetIcon(static_cast<vimage*>(icon)) : nullptr);
}

void setName(vapplication* a, vscribe* s) {
  vname name = vnameIntern(s);
  if (name == a->name) return;
  vname old = a->name;
  reopenUnder(a, name);
  changed(a, vname_Name, old, name);
  updateTaskIcon(a);
}

// Replaces an owned-or-not object field: the old one goes when it was owned.
void replaceObject(vapplication* a, vobject** field, std::uint32_t bit, vname name, vobject* value) {
  vobject* old = *field;
  bool wasOwned = a->owned & bit;
  *field = value;
  a->owned &= ~bit;
  changed(a, name, old, value);
  if (wasOwned && old && old != value) vinstanceDestroy(old);
}
void setCursor(vapplication* a, vobject* c) { replaceObject(a, &a->cursor, vapplicationCURSOR_OWNED, vname_Cursor, c); }
void setBlockCursor(vapplication* a, vobject* c) {
  replaceObject(a, &a->blockCursor, vapplicationBLOCK_CURSOR_OWNED, vname_BlockCursor, c);
}
void setIcon(vapplication* a, vobject* i) {
  // The task window takes the new icon before an owned old one goes.
  vobject* old = a->icon;
  bool wasOwned = a->owned & vapplicationICON_OWNED;
  a->owned &= ~vapplicationICON_OWNED;
  replaceObject(a, &a->icon, 0, vname_Icon, i);
  updateTaskIcon(a);
  if (wasOwned && old && old != i) vinstanceDestroy(old);
}
void setFont(vapplication* a, vfont* f) {
  if (f == a->font) return;
  vfont* old = a->font;
  a->font = f;
  changed(a, vname_Font, old, f);
}

vcolor* entryOf(const vcolorScheme& s, int i) { return (s.mask & vcolorSchemeBit(i)) ? s.entries[i] : nullptr; }

void setSchemeColor(vapplication* a, int index, vcolor* color) {
  if (index < 0 || index >= vcolorSCHEME_SIZE) vexGenerateMessage(&vexArgClass, "Arg");
  vcolor* old = entryOf(a->scheme, index);
  if (color) {
    a->scheme.entries[index] = color;
    a->scheme.mask |= vcolorSchemeBit(index);
  } else {
    a->scheme.mask &= ~vcolorSchemeBit(index);
  }
  if (old != color) changed(a, vcolorGetSchemeTag(index), old, color);
}
void setSchemeClosure(vapplication* a, vapplicationSchemeClosure fn) {
  if (!fn) vexGenerateMessage(&vexArgNullClass, "Null");
  a->closure = fn;
}
void setSchemeDerive(vapplication* a, vapplicationSchemeDerive fn) {
  if (!fn) vexGenerateMessage(&vexArgNullClass, "Null");
  a->derive = fn;
}
void setLineWidth(vapplication* a, std::intptr_t width) {
  if (width == a->lineWidth) return;
  std::intptr_t old = a->lineWidth;
  a->lineWidth = width;
  changed(a, vname_LineWidth, &old, &a->lineWidth);
}
void setSpace(vapplication* a, vcommandSpace* space) {
  if (vcommandSpace* old = a->space) {
    if ((a->owned & vapplicationSPACE_OWNED) && old != space)
      vinstanceDestroy(old);
    else
      vcommandSpaceDetach(old, a);
  }
  a->owned &= ~vapplicationSPACE_OWNED;
  a->space = space;
  if (space) {
    vcommandSpaceAttach(space, a);
    vcommandSpaceVisitKeys(space, a->keyBindings);
  }
}
void setResourceFile(vapplication* a, vresource root) {
  _vapplicationReleaseFile(a->file);
  a->file = static_cast<vapplicationResourceFile*>(vmemAlloc(sizeof(vapplicationResourceFile)));
  *a->file = vapplicationResourceFile{1, 0, root};
  vapplicationLoadPreferences(a, 2);
}
void setResources(vapplication* a, vresource root) {
  a->resources = root;
  vapplicationLoadPreferences(a, 4);
}
void setSpareWindow(vapplication* a, vobject* w) { a->spareWindow = w; }
void setPointerTarget(vapplication* a, vobject* w) { a->pointerTarget = w; }
void setKeyTarget(vapplication* a, vobject* w) { a->keyTarget = w; }

// --- Colours -------------------------------------------------------------------

std::uint32_t sameEntries(const vcolorScheme& a, const vcolorScheme& b) {
  std::uint32_t same = 0;
  for (int i = 0; i < vcolorSCHEME_SIZE; ++i)
    if ((a.mask & b.mask & vcolorSchemeBit(i)) && a.entries[i] == b.entries[i]) same |= vcolorSchemeBit(i);
  return same;
}

void determineColors(vapplication* a, vcolorScheme* s, std::uint32_t wanted, vcolorScheme* result) {
  if (wanted & 2) wanted |= 1;
  if ((s->mask & wanted) == wanted) return vcolorAssignScheme(s, wanted, result);
  std::uint32_t differing = s->mask & ~sameEntries(*s, a->scheme);
  std::uint32_t usable = a->scheme.mask & ~a->closure(differing);
  if ((usable & wanted) == wanted) return vcolorAssignScheme(&a->scheme, wanted, result);
  std::uint32_t own = differing;
  if (usable) {
    vcolorMergeScheme(&a->scheme, usable, s);
    if ((s->mask & wanted) == wanted) return vcolorAssignScheme(s, wanted, result);
    own = s->mask;
  }
  const vcolorScheme& cls = rec(a)->scheme;
  std::uint32_t fromClass = vcolorSCHEME_ALL & ~a->closure(own & ~sameEntries(*s, cls));
  for (int i = 0; i < vcolorSCHEME_SIZE; ++i) {
    std::uint32_t bit = vcolorSchemeBit(i);
    if (!(fromClass & bit)) continue;
    if (cls.mask & bit) {
      s->entries[i] = cls.entries[i];
      s->mask |= bit;
    } else {
      s->mask &= ~bit;
    }
  }
  std::uint32_t have = wanted & s->mask;
  if (have)
    vcolorAssignScheme(s, have, result);
  else
    result->mask = 0;
  wanted &= ~have;
  for (int i = 0; i < vcolorSCHEME_SIZE; ++i) {
    if (!(wanted & vcolorSchemeBit(i))) continue;
    if (vcolor* c = a->derive(s, i)) {
      result->entries[i] = c;
      result->mask |= vcolorSchemeBit(i);
    }
  }
}

// --- Attributed-object slots ---------------------------------------------------

const void* getByIndex(vobject* o, int index) {
  vapplication* a = app(o);
  switch (index) {
    case 0: return a->data;
    case 1: return a->title;
    case 2: return a->name;
    case 3: return a->cursor;
    case 4: return a->blockCursor;
    case 5: return a->icon;
    case 6: return a->font;
    case 7: return &a->lineWidth;
    default:
      if (index >= 8 && index <= 30 && index % 2 == 0) return entryOf(a->scheme, index - 8);
      return nullptr;
  }
}

void setByIndex(vobject* o, int index, const void* value) {
  vapplication* a = app(o);
  vapplicationClassRec* c = rec(a);
  switch (index) {
    case 0: return c->setData(a, const_cast<void*>(value));
    case 1: return c->setTitle(a, vnameScribe(static_cast<vname>(value)));
    case 2: return c->setName(a, vnameScribe(static_cast<vname>(value)));
    case 3: return c->setCursor(a, static_cast<vobject*>(const_cast<void*>(value)));
    case 4: return c->setBlockCursor(a, static_cast<vobject*>(const_cast<void*>(value)));
    case 5: return c->setIcon(a, static_cast<vobject*>(const_cast<void*>(value)));
    case 6: return c->setFont(a, static_cast<vfont*>(const_cast<void*>(value)));
    case 7:
      if (value) c->setLineWidth(a, *static_cast<const std::intptr_t*>(value));
      return;
    default:
      if (index >= 8 && index <= 30 && index % 2 == 0)
        c->setSchemeColor(a, index - 8, static_cast<vcolor*>(const_cast<void*>(value)));
  }
}

int issueSelector(vobject* o, int selector, vdict* context) {
  if (selector == 3) {
    veventStopProcessing();
    return 1;
  }
  return super()->issueSelector(o, selector, context);
}

int querySelector(vobject* o, int selector, vdict* context) {
  if (selector >= 0 && selector < 4) {
    vdictStore(context, vname_Dispatch, vname_Enabled);
    return 1;
  }
  return super()->querySelector(o, selector, context);
}

// The application's own space comes before the class's.
const void* findCommand(vobject* o, vname kind, vname tag) {
  if (vcommandSpace* space = app(o)->space) {
    if (kind == vname_Operand) {
      if (vcommandSpaceGetAttribute(space, vname_Command, tag)) return o;
    } else if (const void* v = vcommandSpaceGetAttribute(space, kind, tag)) {
      return v;
    }
  }
  return super()->findCommand(o, kind, tag);
}

// --- The class -------------------------------------------------------------------

void buildAttributes(vapplicationClassRec* c) {
  c->attributes = vdictCopy(super()->attributes);
  vdictResize(c->attributes, 64);
  static const char* const own[] = {"Data", "Title", "Name", "Cursor", "BlockCursor", "Icon", "Font", "LineWidth"};
  for (int i = 0; i < 8; ++i) vdictStoreInteger(c->attributes, vnameInternLiteral(own[i]), i);
  for (int k = 0; k < vcolorSCHEME_SIZE; k += 2) vdictStoreInteger(c->attributes, vcolorGetSchemeTag(k), k + 8);
}

void destroyDefault() {
  if (state.defaultLive) vinstanceDestroy(&state.defaultApp);
}

vapplicationClassRec* buildClass() {
  auto* c = vclassSpawnOf<vapplicationClassRec>(super());
  // Registered in the building context: its superclass, the attributed
  // class, belongs to that context, so the class cannot be process-wide.
  vclassSetName(c, vscribeLiteral("vapplication"));
  vclassSetInstanceSize(c, sizeof(vapplication));
  buildAttributes(c);
  c->space = static_cast<vcommandSpace*>(vobjectClone(super()->space));
  static const vcommandTableRow commands[] = {{"StopProcess", 3}};
  vcommandSpaceAddDict(c->space, vname_Command, vcommandCreateDictFromTable(vobjectGetCommandClass(), commands, 1));
  c->keyBindings = vdictCreate(vdictHashPointer);
  c->cursor = c->blockCursor = c->icon = nullptr;
  c->font = nullptr;
  c->scheme = vcolorScheme{};
  c->scheme.entries[vcolorFOREGROUND] = vcolorGetBlack();
  c->scheme.entries[vcolorBACKGROUND] = vcolorGetWhite();
  c->scheme.mask = vcolorSchemeBit(vcolorFOREGROUND) | vcolorSchemeBit(vcolorBACKGROUND);
  c->lineWidth = 1;
  c->named = _vapplicationClassPreferences;

  c->init = init;
  c->destroy = destroy;
  c->copy = copy;
  c->copyInit = copyInit;
  c->loadInit = loadInit;
  c->store = store;
  c->setAttributeByIndex = setByIndex;
  c->getAttributeByIndex = getByIndex;
  c->issueSelector = issueSelector;
  c->querySelector = querySelector;
  c->findCommand = findCommand;
  _vapplicationFillWindowSlots(c);

  c->notify = notify;
  c->setNotify = setNotify;
  c->setData = setData;
  c->setTitle = setTitle;
  c->setName = setName;
  c->setCursor = setCursor;
  c->setBlockCursor = setBlockCursor;
  c->setIcon = setIcon;
  c->setFont = setFont;
  c->setSchemeColor = setSchemeColor;
  c->setSchemeClosure = setSchemeClosure;
  c->setSchemeDerive = setSchemeDerive;
  c->setLineWidth = setLineWidth;
  c->setSpace = setSpace;
  c->setResourceFile = setResourceFile;
  c->setResources = setResources;
  c->setSpareWindow = setSpareWindow;
  c->setPointerTarget = setPointerTarget;
  c->setKeyTarget = setKeyTarget;
  c->determineColors = determineColors;
  return c;
}

}  // namespace

vapplicationClassRec* vapplicationGetDefaultClass() {
  if (state.cls) return state.cls;
  state.cls = buildClass();
  _vapplicationOpenUserStore();
  vinstanceInit(&state.defaultApp, state.cls);
  state.defaultLive = true;
  vapplicationSetCurrent(&state.defaultApp);
  vmoduleAddContextExitProc(destroyDefault);
  return state.cls;
}

void _vapplicationReleaseFile(vapplicationResourceFile* f) { releaseFileImpl(f); }
vapplicationClassRec* _vapplicationClassIfBuilt() { return state.cls; }

vapplication* vapplicationGetDefault() {
  vapplicationGetDefaultClass();
  return &state.defaultApp;
}

vapplication* vapplicationGetCurrent() {
  vapplicationGetDefaultClass();
  return state.current;
}

void vapplicationSetCurrent(vapplication* a) {
  if (a == state.current) return;
  state.current = a;
  veventSetDispatchTable(&a->dispatch);
  vmoduleSetContext(a->context);
}

vapplication* vapplicationCreate() { return static_cast<vapplication*>(vinstanceCreate(vapplicationGetDefaultClass())); }
void vapplicationDestroy(vapplication* a) { vinstanceDestroy(a); }

void vapplicationInstallStartup() {
  vmoduleInstallStartup("vapplicationGetDefaultClass", [] { vapplicationGetDefaultClass(); });
}

void vapplicationSetSpaceOwned(vapplication* a, vcommandSpace* space) {
  rec(a)->setSpace(a, space);
  a->owned |= vapplicationSPACE_OWNED;
}

vobject* vapplicationGetCursor(vapplication* a) { return a->cursor ? a->cursor : rec(a)->cursor; }
vobject* vapplicationGetBlockCursor(vapplication* a) { return a->blockCursor ? a->blockCursor : rec(a)->blockCursor; }
vobject* vapplicationGetIcon(vapplication* a) { return a->icon ? a->icon : rec(a)->icon; }
vfont* vapplicationGetFont(vapplication* a) {
  if (a->font) return a->font;
  vapplicationClassRec* c = rec(a);
  if (!c->font) c->font = vfontFindScribe(vscribeLiteral(""));
  return c->font;
}
std::intptr_t vapplicationGetLineWidth(vapplication* a) { return a->lineWidth < 0 ? rec(a)->lineWidth : a->lineWidth; }

vcolor* vapplicationDetermineColor(vapplication* a, int index) {
  vcolorScheme overrides{}, result{};
  rec(a)->determineColors(a, &overrides, vcolorSchemeBit(index), &result);
  return entryOf(result, index);
}

void vapplicationDetermineColorMask(vapplication* a, std::uint32_t mask, vcolorScheme* result) {
  vcolorScheme overrides{};
  rec(a)->determineColors(a, &overrides, mask, result);
}

void vapplicationDetermineColors(vapplication* a, const int* indexes, vcolor* const* colors, int count,
                                 std::uint32_t wanted, vcolorScheme* result) {
  vcolorScheme overrides{};
  vcolorSetSchemeColorsIndexed(&overrides, indexes, count, colors);
  rec(a)->determineColors(a, &overrides, wanted, result);
}
