// The window class record, its instances' initial values, the root window
// and the colour store.
#include "fw/gui/window/window_internal.h"

#include "fw/core/command.h"
#include "fw/core/scribe.h"
#include "fw/data/pref.h"
#include "fw/data/vresource.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/inputmethod.h"

namespace {

struct State {
  vwindowClassRec* cls = nullptr;
  vwindow root{};
  bool rootLive = false;
  vpool* extensions = nullptr;
  vresource colorStore = 0;
  vresource colorArray = 0;
  std::int32_t colorCount = 0;
  std::int32_t colorCapacity = 0;
};
State state;

vobjectAttributedClassRec* super() { return vobjectGetAttributedClass(); }
vwindow* win(vinstance* o) { return static_cast<vwindow*>(o); }

void initFields(vwindow* w, std::uint16_t decoration, std::uint16_t flags, vrect rect) {
  w->notifyFunc = nullptr;
  w->data = nullptr;
  w->title = "";
  w->extension = nullptr;
  w->decoration = decoration;
  w->flags = flags;
  w->rect = rect;
  w->restoreRect = rect;
  w->minWidth = w->minHeight = 0;
  w->maxWidth = w->maxHeight = 32767;
  w->parent = nullptr;
  w->application = vapplicationGetCurrent();
  w->native = nullptr;
}

void init(vinstance* self) {
  super()->init(self);
  initFields(win(self), vwindowDECO_NEW, vwindowFLAGS_NEW, vrect{100, 100, 100, 100});
}

void buildAttributes(vwindowClassRec* c) {
  c->attributes = vdictCopy(super()->attributes);
  vdictResize(c->attributes, 30);
  for (int k = 0; k < vcolorSCHEME_SIZE; k += 2) vdictStoreInteger(c->attributes, vcolorGetSchemeTag(k), 10);
  static constexpr struct {
    const char* name;
    int index;
  } own[] = {{"Data", 0},       {"Title", 1},   {"Cursor", 2},     {"BlockCursor", 3},  {"Icon", 4},
             {"Font", 5},       {"Foreground", 6}, {"ForegroundHilite", 7}, {"Background", 8},
             {"BackgroundHilite", 9}, {"LineWidth", 11}, {"Rect", 12}, {"MinSize", 13}, {"MaxSize", 14}};
  for (const auto& row : own) vdictStoreInteger(c->attributes, vnameInternLiteral(row.name), row.index);
}

vprefDict* prefDict(vprefDict* parent, const char* name) {
  return parent ? vprefGetDict(parent, vscribeCString(name)) : nullptr;
}

void destroyRoot() {
  if (!state.rootLive) return;
  state.rootLive = false;
  vinstanceDestroy(&state.root);
}

vwindowClassRec* buildClass() {
  auto* c = vclassSpawnOf<vwindowClassRec>(super());
  // Named in the building context, as the application class is: its
  // superclass belongs to that context.
  vclassSetName(c, vscribeLiteral("vwindow"));
  vclassSetInstanceSize(c, sizeof(vwindow));
  buildAttributes(c);
  c->space = static_cast<vcommandSpace*>(vobjectClone(super()->space));
  static const vcommandTableRow commands[] = {{"Close", 3}, {"Print", 4}};
  vcommandSpaceAddDict(c->space, vname_Command, vcommandCreateDictFromTable(vobjectGetCommandClass(), commands, 2));
  _vwindowInstallPreferenceKeys(c->space, "vwindow");
  c->keyBindings = vdictCreate(vdictHashPointer);
  vcommandSpaceVisitKeys(c->space, c->keyBindings);
  c->cursor = c->icon = nullptr;
  c->font = nullptr;
  c->foreground = c->foregroundHilite = c->background = c->backgroundHilite = nullptr;
  c->named = _vwindowClassNamed;
  c->init = init;
  _vwindowFillResourceSlots(c);
  _vwindowFillCommandSlots(c);
  _vwindowFillStateSlots(c);
  _vwindowFillGeometrySlots(c);
  _vwindowMSWFillSlots(c);
  // The first font look-up starts the window system, whose start-up
  // starts the font device.
  vfontSetRegistrationHook(vwindowEnsureStartup);
  vdrawRegisterImageDriver(vwindowMSWGetDriver(), 0);
  vinputMSWRegisterDriver();
  return c;
}

}  // namespace

void _vwindowInstallPreferenceKeys(vcommandSpace* space, const char* className) {
  vprefDict* keys = prefDict(vprefGetDefaultDict(), "Keys");
  vprefDict* own = prefDict(keys, className);
  if (own) {
    vdict* bindings = nullptr;
    vexGuard([&] { bindings = vprefLoadKeyDict(own); },
             [&](vexHandler&) {
               vprefRelease(own);
               vprefRelease(keys);
               _vexGenerate(nullptr, vexEnd);
             });
    vcommandSpaceAddDict(space, vname_Key, bindings);
    vprefRelease(own);
  }
  if (keys) vprefRelease(keys);
}

vwindowClassRec* vwindowGetDefaultClass() {
  if (state.cls) return state.cls;
  state.cls = buildClass();
  if (!state.extensions) state.extensions = vpoolCreate(sizeof(vwindowExtension));
  vinstanceInit(&state.root, state.cls);
  initFields(&state.root, vwindowDECO_ROOT, vwindowFLAGS_ROOT, vrect{0, 0, 1000, 1000});
  state.root.application = vapplicationGetDefault();
  state.rootLive = true;
  vmoduleAddContextExitProc(destroyRoot);
  return state.cls;
}

vwindow* _vwindowRootIfBuilt() { return state.cls ? &state.root : nullptr; }

vwindow* vwindowGetRoot() {
  vwindowGetDefaultClass();
  return &state.root;
}

vwindow* vwindowCreate() { return static_cast<vwindow*>(vinstanceCreate(vwindowGetDefaultClass())); }
void vwindowDestroy(vwindow* w) { vinstanceDestroy(w); }

void _vwindowReleaseExtension(vwindow* w) {
  vwindowExtension* x = w->extension;
  if (!x) return;
  vmemFree(x->childBegin);
  vpoolFree(state.extensions, x);
  w->extension = nullptr;
}

void vwindowInstallStartup() {
  vmoduleInstallStartup("vwindowGetDefaultClass", [] { vwindowGetDefaultClass(); });
}

vwindowExtension* vwindowGetExtension(vwindow* w) {
  if (!w->extension) {
    if (!state.extensions) state.extensions = vpoolCreate(sizeof(vwindowExtension));
    w->extension = static_cast<vwindowExtension*>(vpoolAlloc(state.extensions));
    *w->extension = vwindowExtension{};
  }
  return w->extension;
}

// ---- The colour store ---------------------------------------------------------

namespace {
void releaseColorStore() {
  if (!state.colorStore) return;
  vresourceReleaseFile(state.colorStore);
  state.colorStore = state.colorArray = 0;
  state.colorCount = state.colorCapacity = 0;
}
}  // namespace

vresource vwindowGetColorStore() {
  if (!state.colorStore) {
    state.colorStore = vresourceCreateMemory();
    state.colorCapacity = 4;
    state.colorArray = vresourceCreateArray(state.colorStore, vnameInternLiteral("Array"), vresDICTIONARY,
                                            state.colorCapacity);
    vresourceSetInteger(state.colorStore, vname_Tag, 0);
    vsysAddExitHandler(releaseColorStore);
  }
  return state.colorStore;
}

vresource vwindowAddColorSpec(unsigned red, unsigned green, unsigned blue, unsigned dither) {
  vwindowGetColorStore();
  if (state.colorCount == state.colorCapacity) {
    state.colorCapacity *= 2;
    vresourceSetCount(state.colorArray, state.colorCapacity);
  }
  vresource element = vresourceCreateAt(state.colorArray, state.colorCount++, vresDICTIONARY);
  vcolorSpec spec;
  vcolorInitSpec(&spec);
  vcolorSetSpecRGB(&spec, red, green, blue);
  vcolorSetSpecMaxDotDither(&spec, dither);
  vcolorStoreSpec(&spec, element);
  vcolorDestroySpec(&spec);
  return element;
}

int vwindowColorStoreCount() { return state.colorCount; }
