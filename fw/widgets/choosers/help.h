// Help windows: objects that stand for the windows of a separate help
// server program. vhelpRoot holds the module-wide settings (help name,
// default class, global window); vhelpWexlinWindow sends each request as a
// statement over one session to the server, starting the server when needed,
// and reports how it went through the window's notify function.
#pragma once
#include <cstdint>

#include "fw/core/class.h"
#include "fw/core/fs.h"
#include "fw/core/rect.h"
#include "fw/core/scribe.h"
#include "fw/services/session.h"

struct vhelpRoot;
using vhelpNotifyFunc = void (*)(vhelpRoot* window, std::int32_t code);

// Codes handed to the notify function.
enum : std::int32_t {
  vhelpOPENED = 1,          // the server opened a window for this id
  vhelpCLOSED = 2,          // the server closed it
  vhelpCONTEXTS_SHOWN = 3,  // "Switch Nested Contexts" succeeded
  vhelpKEYWORD_SHOWN = 4,   // "Switch Keyword" succeeded
  vhelpFILE_SHOWN = 5,      // "Open File" succeeded
  vhelpTOC_SHOWN = 6,       // "Open TOC" succeeded
  vhelpNO_SERVER = -11,
  vhelpFAILED = -12,
  vhelpREFUSED = -13,       // the reply's status 1
};

struct vhelpRoot : vinstance {
  vhelpNotifyFunc notify;
};

struct vhelpRootClassRec : vinstanceClassRec {
  vhelpRoot* (*getDefaultWindow)(vhelpRootClassRec* cls);
  void (*ping)(vhelpRoot* w);
  void (*openFile)(vhelpRoot* w, const vfsPath* path, std::int32_t option, const vrect* rect);
  void (*notify)(vhelpRoot* w, std::int32_t code);
  void (*closeWindow)(vhelpRoot* w);
  void (*openTOC)(vhelpRoot* w, const vrect* rect);
  void (*switchKeyword)(vhelpRoot* w, const char* keyword, const vrect* rect);
  void (*switchKeywordScribe)(vhelpRoot* w, vscribe* keyword, const vrect* rect);  // consumed
  void (*switchContext)(vhelpRoot* w, const char* context, const vrect* rect);
  void (*switchContextScribe)(vhelpRoot* w, vscribe* context, const vrect* rect);  // consumed
  void (*switchNestedContexts)(vhelpRoot* w, const char* const* contexts, std::int32_t count, const vrect* rect);
};

enum : std::uint32_t { vhelpWINDOW_OPEN = 0x1 };  // the server has a window for the id

struct vhelpWexlinWindow : vhelpRoot {
  std::int32_t id;  // -1: the default window
  std::uint32_t flags;
};

inline vhelpRootClassRec* vhelpClassOf(const vhelpRoot* w) { return vclassRec<vhelpRootClassRec>(w); }
vhelpRootClassRec* vhelpRootGetDefaultClass();
vhelpRootClassRec* vhelpWexlinWindowGetDefaultClass();
// The start-up row: the root module with its defaults.
void vhelpStartup();

void vhelpSetHelpName(const char* name);
const char* vhelpGetHelpName();
void vhelpSetDefaultClass(vhelpRootClassRec* cls);
// The global window, else what the default class makes (not kept);
// "Module"/"State" without a default class.
vhelpRoot* vhelpGetGlobalWindow();
void vhelpSetGlobalWindow(vhelpRoot* window);
void vhelpSetApplicationWord(std::intptr_t word);
std::intptr_t vhelpGetApplicationWord();
inline void vhelpSetNotify(vhelpRoot* w, vhelpNotifyFunc f) { w->notify = f; }
// The window of an id, or null.
vhelpWexlinWindow* vhelpFindWindow(std::int32_t id);

inline void vhelpPing(vhelpRoot* w) { vhelpClassOf(w)->ping(w); }
inline void vhelpOpenFile(vhelpRoot* w, const vfsPath* p, std::int32_t option, const vrect* r) {
  vhelpClassOf(w)->openFile(w, p, option, r);
}
inline void vhelpNotify(vhelpRoot* w, std::int32_t code) { vhelpClassOf(w)->notify(w, code); }
inline void vhelpCloseWindow(vhelpRoot* w) { vhelpClassOf(w)->closeWindow(w); }
inline void vhelpOpenTOC(vhelpRoot* w, const vrect* r) { vhelpClassOf(w)->openTOC(w, r); }
inline void vhelpSwitchKeyword(vhelpRoot* w, const char* k, const vrect* r) { vhelpClassOf(w)->switchKeyword(w, k, r); }
inline void vhelpSwitchKeywordScribe(vhelpRoot* w, vscribe* k, const vrect* r) {
  vhelpClassOf(w)->switchKeywordScribe(w, k, r);
}
inline void vhelpSwitchContext(vhelpRoot* w, const char* c, const vrect* r) { vhelpClassOf(w)->switchContext(w, c, r); }
inline void vhelpSwitchContextScribe(vhelpRoot* w, vscribe* c, const vrect* r) {
  vhelpClassOf(w)->switchContextScribe(w, c, r);
}
inline void vhelpSwitchNestedContexts(vhelpRoot* w, const char* const* c, std::int32_t n, const vrect* r) {
  vhelpClassOf(w)->switchNestedContexts(w, c, n, r);
}

// ---- The help server: its operations, marker file and session.
vsignature* vhelpGetOpenFileSignature();
vsignature* vhelpGetCloseWindowSignature();
vsignature* vhelpGetOpenTOCSignature();
vsignature* vhelpGetSwitchKeywordSignature();
vsignature* vhelpGetSwitchNestedContextsSignature();
vsignature* vhelpGetClientInfoSignature();
// The marker file "vhelpsrv.tmp" in the home directory.
const vfsPath* vhelpGetMarkerPath();
// A readable marker file: a server runs.
bool vhelpServerPresent();
// The running server's connection parameters (the marker's "Help"
// dictionary), starting the server first when asked; 0 when none.
vresource vhelpServerConnect(int start);
// Deletes the marker and closes it when open.
void vhelpServerForget();
// The session to the server, opened (and the server started) when needed.
vsession* vhelpGetSession(int start);
// Takes a session opened elsewhere as the server's (the client service and
// the session events attached), and moves the next window id.
void _vhelpAdoptSession(vsession* session);
void _vhelpSetNextId(std::int32_t id);
