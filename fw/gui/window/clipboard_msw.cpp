// The Windows module's clipboards: the system object behind the global
// clipboard, bridged to the Windows clipboard as CF_TEXT with delayed
// rendering through a hidden window; a memory-only object behind the
// selection clipboard; and the two interface classes that requesters use.
#include <cstdio>
#include <cstring>
#include <string>

#include "fw/core/scribe.h"
#include "fw/data/scrap.h"
#include "fw/gui/window/clipboard.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/msw_proc.h"

struct vclpbdsysRequest {
  vclipboard* requester;
  vclpbdsysRequest* next;
};

namespace {

constexpr const char* kTitle = "_vclpbdsysWin";

struct MSWState {
  vclipboardClassRec* systemClass;
  vclipboardClassRec* extendedClass;
  vclpbdsysInterfaceClassRec* selectionClass;
  vclpbdsysInterfaceClassRec* globalClass;
  vclpbdsys* system;
  vclpbdsys* extended;
  win::HWND hwnd;
  char className[48];
};
void** mswSlot = nullptr;

MSWState* state();

[[noreturn]] void raiseArg(const char* message) { _vexGenerate(&vexArgClass, vexSetMessage, message, vexEnd); }
[[noreturn]] void raiseNull() { _vexGenerate(&vexArgNullClass, vexEnd); }

vclipboardClassRec* base() { return vclipboardGetDefaultClass(); }

// ---- Text between the program and the Windows clipboard ----------------------

std::string taken(char* s) {
  std::string out(s ? s : "");
  vscribeFreeString(s);
  return out;
}
std::string fromNative(const std::string& s) { return taken(vscribeCreateString(vscribeFromNative(s.c_str()))); }
std::string toNative(const std::string& s) { return taken(vscribeCreateString(vscribeToNative(s.c_str()))); }

// Windows text to ours: a CR that stands before an LF goes.
std::string withoutCR(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i)
    if (!(s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n')) out += s[i];
  return out;
}

// Ours to Windows text: an LF that no CR precedes (a leading one too)
// becomes CR LF.
std::string withCR(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\n' && (i == 0 || s[i - 1] != '\r')) out += '\r';
    out += s[i];
  }
  return out;
}

std::string contentsText(vinstance* contents) {
  if (!contents) return {};
  return taken(vscribeCreateString(vscrapGetString(vscrapWalk(contents))));
}

// ---- The system object's operations, on any backing object ---------------------

void freeRequests(vclpbdsys* b) {
  while (vclpbdsysRequest* cell = b->pending) {
    b->pending = cell->next;
    vmemFree(cell);
  }
}

void systemSetContents(vclpbdsys* b, vinstance* scrap) {
  // A backing object without a format (the selection's) stays in memory.
  if (!(b->flags & vclpbdsysOFFERED) && b->format) {
    bool offered = false;
    if (win::OpenClipboard(state()->hwnd)) {
      win::EmptyClipboard();
      win::SetClipboardData(b->format, nullptr);
      win::CloseClipboard();
      offered = true;
    }
    if (!offered) {
      vinstanceDestroy(scrap);
      raiseArg("clipboard is busy");
    }
  }
  base()->setContents(b, scrap);
  b->flags |= vclpbdsysOFFERED;
}

void systemClear(vclpbdsys* b) {
  b->flags &= ~vclpbdsysOFFERED;
  base()->clear(b);
}

int systemHasContents(vclpbdsys* b) {
  if (!b->format) return base()->hasContents(b);
  return win::CountClipboardFormats() > 0;
}

void renderText(vclpbdsys* self, unsigned format) {
  if (!self || !format) raiseNull();
  std::string text = toNative(withCR(contentsText(self->contents)));
  win::HGLOBAL block = win::GlobalAlloc(win::GMEM_MOVEABLE | win::GMEM_ZEROINIT, text.size() + 1);
  if (!block) _vexGenerate(&vexMemoryClass, vexSetMessage, "can't allocate the clipboard text", vexEnd);
  std::memcpy(win::GlobalLock(block), text.c_str(), text.size() + 1);
  win::GlobalUnlock(block);
  if (!win::SetClipboardData(format, block)) win::GlobalFree(block);
  self->flags &= ~vclpbdsysOFFERED;
}

// ---- The system class's slots -------------------------------------------------

void systemInit(vinstance* self) {
  base()->init(self);
  auto* b = static_cast<vclpbdsys*>(self);
  b->format = 0;
  b->render = nullptr;
  b->word = nullptr;
  b->pending = nullptr;
  b->flags = 0;
}

void systemDestroy(vinstance* self) {
  auto* b = static_cast<vclpbdsys*>(self);
  if (b->flags & vclpbdsysSYSTEM_OWNED) raiseArg("cannot destroy system owned clipboards");
  freeRequests(b);
  systemClear(b);
  base()->destroy(self);
}

void systemSetNotify(vclipboard*, vclipboardNotify) { raiseArg("cannot set notify function on system owned clipboards"); }
void systemSetContentsSlot(vclipboard* c, vinstance* scrap) { systemSetContents(static_cast<vclpbdsys*>(c), scrap); }
void systemClearSlot(vclipboard* c) { systemClear(static_cast<vclpbdsys*>(c)); }
int systemHasContentsSlot(vclipboard* c) { return systemHasContents(static_cast<vclpbdsys*>(c)); }

// ---- The interface classes' slots ---------------------------------------------

vclpbdsys* backingOf(vclipboard* c) {
  vclpbdsys* b = static_cast<vclpbdsysInterfaceClassRec*>(c->cls)->backing;
  if (!b) raiseArg("clipboard class has NULL dispatcher");
  return b;
}

void needNotify(vclipboard* requester) {
  if (!requester->notify) raiseArg("clipboard has undefined notify function");
}

// One request from the Windows clipboard; false when it is busy.
bool deliver(vclpbdsys* b, vclipboard* requester) {
  needNotify(requester);
  MSWState* s = state();
  s->system->format = win::CF_TEXT;
  std::string text;
  if (win::IsClipboardFormatAvailable(b->format) == 1) {
    if (!win::OpenClipboard(s->hwnd)) return false;
    vexGuard(
        [&] {
          if (auto block = static_cast<win::HGLOBAL>(win::GetClipboardData(b->format))) {
            if (const char* p = static_cast<const char*>(win::GlobalLock(block))) {
              text.assign(p, strnlen(p, win::GlobalSize(block)));
              win::GlobalUnlock(block);
            }
          }
        },
        [&](vexHandler&) {
          win::CloseClipboard();
          _vexGenerate(nullptr, vexEnd);
        });
    win::CloseClipboard();
    text = withoutCR(fromNative(text));
  }
  requester->notify(requester, vscrapCreateNativeString(text.c_str()));
  return true;
}

// Requests made while one is delivered wait their turn in the list and
// are delivered after it, in order, each once.
void deliverPending(vclpbdsys* b) {
  vexGuard(
      [&] {
        while (vclpbdsysRequest* cell = b->pending) {
          if (!deliver(b, cell->requester)) break;  // busy: every waiting request is dropped
          b->pending = cell->next;
          vmemFree(cell);
        }
      },
      [&](vexHandler&) {
        freeRequests(b);
        _vexGenerate(nullptr, vexEnd);
      });
  freeRequests(b);
}

void interfaceRequest(vclipboard* c) {
  vclpbdsys* b = backingOf(c);
  if (b->flags & vclpbdsysOFFERED) {
    // Our own contents: the Windows clipboard's data is never touched.
    needNotify(c);
    vinstance* contents = b->contents;
    b->contents = nullptr;
    b->contents = vscrapMakeTypeable(contents);
    c->notify(c, vscrapCreateReference(b->contents));
    return;
  }
  auto* cell = static_cast<vclpbdsysRequest*>(vmemAlloc(sizeof(vclpbdsysRequest)));
  *cell = {c, nullptr};
  vclpbdsysRequest** end = &b->pending;
  while (*end) end = &(*end)->next;
  *end = cell;
  if (b->pending == cell) deliverPending(b);
}

void interfaceSetContents(vclipboard* c, vinstance* scrap) {
  vclpbdsys* b = static_cast<vclpbdsysInterfaceClassRec*>(c->cls)->backing;
  if (!b) {
    vinstanceDestroy(scrap);
    backingOf(c);
  }
  systemSetContents(b, scrap);
}
void interfaceClear(vclipboard* c) { systemClear(backingOf(c)); }
int interfaceHasContents(vclipboard* c) { return systemHasContents(backingOf(c)); }

// A requester that goes leaves no request behind.
void interfaceDestroy(vinstance* self) {
  if (vclpbdsys* b = static_cast<vclpbdsysInterfaceClassRec*>(self->cls)->backing)
    for (vclpbdsysRequest** at = &b->pending; *at;) {
      vclpbdsysRequest* cell = *at;
      if (cell->requester != self) {
        at = &cell->next;
        continue;
      }
      *at = cell->next;
      vmemFree(cell);
    }
  base()->destroy(self);
}

// ---- The hidden window ----------------------------------------------------------

void renderSlot(win::UINT format) { vclipboardMSWRenderFormat(format); }
constexpr vwindowMSWClipboardCalls kWindowProcCalls{renderSlot, vclipboardMSWRenderAllFormats,
                                                    vclipboardMSWDestroyContents};

void openHiddenWindow(MSWState* s) {
  if (s->hwnd && win::IsWindow(s->hwnd)) return;
  win::HINSTANCE instance = win::GetModuleHandleA(nullptr);
  std::snprintf(s->className, sizeof s->className, "_vclpbdsysWin%llu",
                static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(instance)));
  win::WNDCLASSA wc{};
  if (!win::GetClassInfoA(instance, s->className, &wc)) {
    wc = {};
    wc.lpfnWndProc = vwindowMSWWindowProc;
    wc.hInstance = instance;
    wc.lpszClassName = s->className;
    if (!win::RegisterClassA(&wc))
      _vexGenerate(&vexModuleStartupClass, vexSetMessage, "can't register the clipboard window class", vexEnd);
  }
  s->hwnd = win::CreateWindowExA(0, s->className, kTitle, win::WS_OVERLAPPEDWINDOW, 0, 0, 1, 1, nullptr, nullptr,
                                 instance, nullptr);
  if (!s->hwnd) _vexGenerate(&vexReturnNullClass, vexSetMessage, "can't create the clipboard window", vexEnd);
}

void shutdown() {
  MSWState* s = state();
  bool destroyed = true;
  if (s->hwnd && win::IsWindow(s->hwnd)) destroyed = win::DestroyWindow(s->hwnd) != 0;
  s->hwnd = nullptr;
  if (s->className[0]) win::UnregisterClassA(s->className, win::GetModuleHandleA(nullptr));
  s->className[0] = '\0';
  s->selectionClass->backing = s->globalClass->backing = nullptr;
  vclipboardSetDefaultSelectionClass(nullptr);
  vclipboardSetDefaultGlobalClass(nullptr);
  for (vclpbdsys** object : {&s->extended, &s->system}) {
    vclpbdsys* b = *object;
    *object = nullptr;
    b->flags &= ~vclpbdsysSYSTEM_OWNED;
    freeRequests(b);
    vinstanceDestroy(b);
  }
  if (!destroyed) raiseArg("can't destroy the clipboard window");
}

MSWState* state() {
  if (auto* bound = vmoduleState<MSWState>(mswSlot)) return bound;
  auto* s = static_cast<MSWState*>(vmoduleBindSlot(mswSlot, sizeof(MSWState)));
  *s = MSWState{};
  auto* sys = vclassSpawnOf<vclipboardClassRec>(base());
  vclassSetName(sys, vscribeLiteral("vclpbdsysClass"));
  vclassSetInstanceSize(sys, sizeof(vclpbdsys));
  sys->init = systemInit;
  sys->destroy = systemDestroy;
  sys->setNotify = systemSetNotify;
  sys->setContents = systemSetContentsSlot;
  sys->clear = systemClearSlot;
  sys->hasContents = systemHasContentsSlot;
  s->systemClass = sys;
  s->system = static_cast<vclpbdsys*>(vinstanceCreate(sys));
  auto* ext = vclassSpawnOf<vclipboardClassRec>(base());
  vclassSetName(ext, vscribeLiteral("vclipboardExtendedClass"));
  vclassSetInstanceSize(ext, sizeof(vclpbdsys));
  s->extendedClass = ext;
  s->extended = static_cast<vclpbdsys*>(vinstanceCreate(ext));
  // Only the base fields are initialised by its class: no format, no
  // requests, no flags.
  s->extended->format = 0;
  s->extended->render = nullptr;
  s->extended->word = nullptr;
  s->extended->pending = nullptr;
  s->extended->flags = 0;
  auto* sel = vclassSpawnOf<vclpbdsysInterfaceClassRec>(base());
  vclassSetName(sel, vscribeLiteral("vclpbdsysInterfaceSelectionClass"));
  sel->request = interfaceRequest;
  sel->setContents = interfaceSetContents;
  sel->clear = interfaceClear;
  sel->hasContents = interfaceHasContents;
  sel->destroy = interfaceDestroy;
  sel->backing = s->extended;
  s->selectionClass = sel;
  vclipboardSetDefaultSelectionClass(sel);
  auto* glob = vclassSpawnOf<vclpbdsysInterfaceClassRec>(sel);
  vclassSetName(glob, vscribeLiteral("vclpbdsysInterfaceGlobalClass"));
  glob->backing = s->system;
  s->globalClass = glob;
  vclipboardSetDefaultGlobalClass(glob);
  s->system->flags |= vclpbdsysSYSTEM_OWNED;
  vmoduleAddContextExitProc(shutdown);
  return s;
}

}  // namespace

void vclipboardMSWStartup() {
  MSWState* s = state();
  vwindowEnsureStartup();
  vwindowMSWSetClipboardCalls(&kWindowProcCalls);
  openHiddenWindow(s);
  s->system->format = win::CF_TEXT;
  s->system->render = renderText;
}

win::HWND vclipboardMSWGetWindow() { return mswSlot && *mswSlot ? state()->hwnd : nullptr; }
vclpbdsys* vclipboardMSWGetSystemObject() { return mswSlot && *mswSlot ? state()->system : nullptr; }

void vclipboardMSWRenderFormat(unsigned format) {
  vclpbdsys* sys = vclipboardMSWGetSystemObject();
  if (!sys || !sys->render) raiseNull();
  sys->render(sys, format);
}

void vclipboardMSWRenderAllFormats() {
  vclpbdsys* sys = vclipboardMSWGetSystemObject();
  if (!sys || !sys->render) raiseNull();
  sys->render(sys, sys->format);
}

void vclipboardMSWDestroyContents() {
  if (vclpbdsys* sys = vclipboardMSWGetSystemObject()) vclassRec<vclipboardClassRec>(sys)->clear(sys);
}
