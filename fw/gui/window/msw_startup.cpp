// Starting the window system on first use and shutting it down at exit.
#include <cstdio>
#include <cstring>

#include "fw/core/scribe.h"
#include "fw/core/sys.h"
#include "fw/data/pref.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/clipboard.h"
#include "fw/gui/window/msw_internal.h"
#include "fw/gui/window/msw_proc.h"
#include "fw/gui/window/mswbits.h"
#include "fw/gui/window/mswdc.h"
#include "fw/gui/window/mswgdi.h"

namespace {

vwindowMSWState state{};
win::DWORD versionOverride = 0;

win::DWORD version() { return versionOverride ? versionOverride : vsysGetVersion(); }
int majorOf(win::DWORD v) { return static_cast<int>(v & 0xFF); }
bool isNT(win::DWORD v) { return (v & 0x80000000u) == 0; }

bool prefOn(const char* name) { return vprefGetString(vprefGetDefaultDict(), vscribeLiteral(name)) != nullptr; }

[[noreturn]] void raise(const vexClass* cls, const char* message, const char* procedure = nullptr) {
  if (procedure) _vexGenerate(cls, vexSetMessage, message, vexSetProcedure, procedure, vexEnd);
  _vexGenerate(cls, vexSetMessage, message, vexEnd);
}

// ---- Step 2: the display ------------------------------------------------------

int imageDepthClass(int depth) {
  if (depth < 2) return 1;
  if (depth <= 4) return 4;
  if (depth <= 8) return 8;
  return 24;
}

void readDisplay(win::HDC dc) {
  vwindowMSWDisplay& d = state.display;
  d.depth = win::GetDeviceCaps(dc, win::PLANES) * win::GetDeviceCaps(dc, win::BITSPIXEL);
  d.colors = win::GetDeviceCaps(dc, win::NUMCOLORS);
  if (d.colors < 0 || d.depth >= 9) d.colors = d.depth >= 32 ? 2147483647 : 1 << d.depth;
  d.rasterCaps = win::GetDeviceCaps(dc, win::RASTERCAPS);
  _vwindowMSWCheckRasterCaps(d.rasterCaps);
  d.paletteSize = d.reserved = 0;
  if (d.rasterCaps & win::RC_PALETTE) {
    d.paletteSize = win::GetDeviceCaps(dc, win::SIZEPALETTE);
    d.reserved = win::GetDeviceCaps(dc, win::NUMRESERVED);
  }
  d.screenWidth = win::GetDeviceCaps(dc, win::HORZRES);
  d.screenHeight = win::GetDeviceCaps(dc, win::VERTRES);
  d.pixelsPerInchX = win::GetDeviceCaps(dc, win::LOGPIXELSX);
  d.pixelsPerInchY = win::GetDeviceCaps(dc, win::LOGPIXELSY);
  d.rowAlign = 4;
  d.majorVersion = majorOf(version());
}

void readDisplayFacts() {
  win::HDC dc = vwindowMSWAcquireCachedDC(0);
  vexGuard([&] { readDisplay(dc); },
           [&](vexHandler&) {
             vwindowMSWReleaseCachedDC(dc);
             _vexGenerate(nullptr, vexEnd);
           });
  vwindowMSWReleaseCachedDC(dc);
  state.display.imageDepth = imageDepthClass(state.display.depth);
}

// ---- Step 3: entry points found at run time --------------------------------------

win::HMODULE loadQuietly(const char* name) {
  win::UINT was = win::SetErrorMode(win::SEM_NOOPENFILEERRORBOX);
  win::HMODULE h = win::LoadLibraryA(name);
  win::SetErrorMode(was);
  if (reinterpret_cast<std::uintptr_t>(h) < 33) return nullptr;
  return h;
}

bool callsNonzero(win::HMODULE module, const char* name) {
  win::FARPROC f = win::GetProcAddress(module, name);
  return f && f() != 0;
}

void findEntryPoints() {
  win::DWORD v = version();
  if (isNT(v) || majorOf(v) >= 4) {
    state.user32 = loadQuietly("USER32");
    if (state.user32) state.endMenu = win::GetProcAddress(state.user32, "EndMenu");
    return;
  }
  state.aux = loadQuietly("vwex_aux");
  if (!state.aux) return;
  if (callsNonzero(state.aux, "_vwindowWin32sInitEndMenu"))
    state.endMenu = win::GetProcAddress(state.aux, "_vwindowWin32sCallEndMenu");
  if (callsNonzero(state.aux, "_vwindowWin32sInitGDISegment"))
    state.auxGetRgnData = win::GetProcAddress(state.aux, "_vwindowWin32sGetRgnData");
}

// ---- Step 5: the root window ---------------------------------------------------------

void rootTitle(char* out, std::size_t size) {
  vname name = _vwindowMSWApplication()->name;
  if (name && *name) {
    std::snprintf(out, size, "%s", name);
    return;
  }
  std::snprintf(out, size, "%s", vsysGetProgramName());
  if (char* dot = std::strchr(out, '.')) *dot = '\0';
}

void buildRoot() {
  vwindow* root = vwindowGetRoot();
  const vwindowMSWDisplay& d = state.display;
  root->rect = vrect{0, 0, static_cast<std::int16_t>(d.screenWidth), static_cast<std::int16_t>(d.screenHeight)};
  char name[64];
  std::snprintf(name, sizeof name, "_vwindowClassRoot.%x",
                static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(state.instance)));
  win::WNDCLASSA wc{};
  wc.lpfnWndProc = &win::DefWindowProcA;
  wc.hInstance = state.instance;
  wc.lpszClassName = name;
  if (!win::RegisterClassA(&wc)) raise(&vexModuleStartupClass, "can't register the root window class");
  state.rootClassName = name;
  char title[256];
  rootTitle(title, sizeof title);
  win::HWND hwnd = win::CreateWindowExA(0, name, title, win::WS_POPUP, 0, 0, d.screenWidth, d.screenHeight,
                                        nullptr, nullptr, state.instance, nullptr);
  if (!hwnd) raise(&vexReturnNullClass, "can't create the root window");
  vwindowMSWNative* n = _vwindowMSWNewNative();
  n->hwnd = hwnd;
  n->style = win::WS_POPUP;
  n->nativeKind = vwindowMSW_KIND_PLAIN;
  root->native = n;
  state.display.mainWindow = hwnd;
  _vwindowMSWGetGdiSetup()->rootWindow = hwnd;
  _vwindowMSWRegister(root);
}

// ---- Step 6 ------------------------------------------------------------------------------

void storeMonochromeScheme() {
  vprefDict* root = vprefGetDefaultDict();
  vprefDict* classes = vprefGetDict(root, vscribeLiteral("Classes"));
  vprefDict* app = classes ? vprefGetDict(classes, vscribeLiteral("vapplication")) : nullptr;
  vprefSetString(app ? app : root, vscribeLiteral("colorscheme"), "monochrome");
  if (app) vprefRelease(app);
  if (classes) vprefRelease(classes);
}

void shutdown();

void runSteps() {
  state.instance = win::GetModuleHandleA(nullptr);
  // 1.
  state.arrow = win::LoadCursorA(nullptr, win::IDC_ARROW);
  state.wait = win::LoadCursorA(nullptr, win::IDC_WAIT);
  state.destroyMessage = vwindowMSWDestroyCachedObjectsMessage();
  // 2.
  readDisplayFacts();
  // 3. The object caches are the graphics layer's to create.
  state.badCreateDIBitmap = _vwindowMSWOldSystem();
  if (prefOn("badcreatedibitmap")) state.badCreateDIBitmap = true;
  if (prefOn("nobadcreatedibitmap")) state.badCreateDIBitmap = false;
  findEntryPoints();
  vwindowMSWGdiSetup* gdi = _vwindowMSWGetGdiSetup();
  gdi->palette = nullptr;
  gdi->imageDepth = state.display.imageDepth;
  gdi->oldSystem = _vwindowMSWOldSystem();
  gdi->bitmapWorkaround = state.badCreateDIBitmap;
  gdi->auxLibrary = state.aux;
  // 4.
  state.nativeCapture = !prefOn("nograb");
  state.modalGrab = prefOn("modalgrab");
  _vwindowMSWCreateRegistry(16);
  state.modalCapacity = 4;
  state.modal = static_cast<vwindow**>(vmemAllocClear(sizeof(vwindow*) * 4));
  state.modalCount = 0;
  state.currentModal = nullptr;
  // 5.
  buildRoot();
  // 6.
  vsysAddExitHandler(shutdown);
  vwindowMSWProcStartup();
  _vwindowMSWStartPalette();
  _vwindowMSWStartFonts();
  vclipboardMSWStartup();
  vdrawGSave();
  vdrawGRestore();
  if (state.monochrome) storeMonochromeScheme();
}

// ---- Shutdown ----------------------------------------------------------------------------

void freeLibraries() {
  _vwindowMSWGetGdiSetup()->auxLibrary = nullptr;
  if (state.user32) win::FreeLibrary(state.user32);
  if (state.aux) win::FreeLibrary(state.aux);
  state.user32 = state.aux = nullptr;
  state.endMenu = state.auxGetRgnData = nullptr;
}

void closeAll() {
  vwindow* root = vwindowGetRoot();
  // Closing changes the registry: collect first.
  std::size_t n = 0;
  vwindow** open = static_cast<vwindow**>(vmemAlloc(sizeof(vwindow*) * (state.count + 1)));
  for (std::size_t i = 0; i < state.size; ++i)
    if (state.slots[i] && state.slots[i] != root) open[n++] = state.slots[i];
  // Every window hears nothing more before any goes: one closing hands
  // the activation on to another (its owner), whose modules may be gone.
  for (std::size_t i = 0; i < n; ++i)
    if (vwindow* w = open[i]; w->native)
      win::SetWindowLongPtrA(w->native->hwnd, win::GWLP_WNDPROC, reinterpret_cast<win::LONG_PTR>(&win::DefWindowProcA));
  for (std::size_t i = 0; i < n; ++i)
    if (vwindow* w = open[i]; w->native) _vwindowMSWCloseNative(w);
  vmemFree(open);
}

// Tolerates a start-up that stopped half-way.
void shutdown() {
  if (!state.started) return;
  if (state.slots) closeAll();
  _vwindowMSWDestroyKeptPopup();
  vwindow* root = vwindowGetRoot();
  if (root->native) _vwindowMSWCloseNative(root);
  _vwindowMSWFreeRegistry();
  // Every native side has gone back by now.
  if (state.natives) vpoolDestroy(state.natives);
  state.natives = nullptr;
  vmemFree(state.modal);
  state.modal = nullptr;
  state.modalCount = state.modalCapacity = 0;
  state.currentModal = nullptr;
  state.grabBlocks = 0;
  _vwindowMSWGetGdiSetup()->rootWindow = nullptr;
  // Everything goes, even after a step that fails; the first failure is
  // raised at the end.
  bool rootClassFailed = false;
  bool classesOk = vexTry(_vwindowMSWUnregisterClasses);
  if (!state.rootClassName.empty()) {
    rootClassFailed = !win::UnregisterClassA(state.rootClassName.c_str(), state.instance);
    state.rootClassName.clear();
  }
  _vwindowMSWFreeDrawables();
  _vwindowMSWFreeBits();
  bool dcsOk = vexTry(_vwindowMSWDestroyDCRegistry);
  vwindowMSWDestroyCachedObjects(1);
  freeLibraries();
  _vwindowMSWFreeGraphics();
  state.topLevelCount = 0;
  state.pendingUpdates = 0;
  state.creating = nullptr;
  state.started = false;
  if (!classesOk || rootClassFailed) raise(&vexModuleStateClass, "can't unregister a window class");
  if (!dcsOk) raise(&vexReturnNullClass, "DeleteDC failed", "destroyMSWDCRegistry");
}

}  // namespace

vwindowMSWState& _vwindowMSW() { return state; }

void _vwindowMSWCheckRasterCaps(int caps) {
  constexpr int needed = win::RC_BITBLT | win::RC_BITMAP64 | win::RC_DI_BITMAP;
  if ((caps & needed) != needed) raise(&vexModuleLimitClass, "display lacks the raster operations the window system needs");
}

bool _vwindowMSWOldSystem() {
  win::DWORD v = version();
  return !isNT(v) && majorOf(v) < 4;
}

void _vwindowMSWSetVersion(win::DWORD v) { versionOverride = v; }
int _vwindowMSWMajorVersion() { return majorOf(version()); }

vapplication* _vwindowMSWApplication() {
  // While the default application is being made it is not current yet.
  vapplication* app = vapplicationGetCurrent();
  return app ? app : vapplicationGetDefault();
}
void _vwindowMSWShutdown() { shutdown(); }

void vwindowMSWStartup() {
  if (state.started) return;
  // Set first: the steps call back into the layer.
  state.started = true;
  ++state.startupCount;
  vexGuard(runSteps, [](vexHandler&) {
    // A start-up that failed leaves nothing behind, and a later call tries again.
    vexTry(shutdown);
    state.started = false;
    _vexGenerate(nullptr, vexEnd);
  });
}

void vwindowEnsureStartup() { vwindowMSWStartup(); }
void vwindowEnsureStartupAlt() { vwindowMSWStartup(); }
int vwindowMSWIsStarted() { return state.started; }
int vwindowMSWGetStartupCount() { return state.startupCount; }

const vwindowMSWDisplay* vwindowMSWGetDisplay() {
  vwindowEnsureStartup();
  return &state.display;
}

int vwindowIsMonochrome() {
  vwindowEnsureStartup();
  return state.monochrome;
}

void vwindowBeep() { win::MessageBeep(0); }
