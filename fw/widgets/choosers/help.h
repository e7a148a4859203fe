// Help windows: objects that stand for the windows of a separate help
// server program. vhelpRoot holds the module-wide settings (help name,
// default class, global window); vhelpWexlinWindow sends each request as a
// statement over one session to the server, starting the server when needed,
// and reports how it went through the window's notify function.
//
// - `vhelpRoot` keeps the module's settings (help name, default class, global window, the
//   application's word); `vhelpWexlinWindow` stands for one window of the separate help server and
//   is known to the module by id (from 1, wrapping past 0x7FFFFFFF to the first free id; -1 is the
//   default window). The default class is looked up when asked, since the two classes' modules build
//   each other.
//
// - Every request is a statement on the one session to the server, marked to be destroyed when done
//   and carrying the window's id in its client word; its completion turns the reply's status and
//   16-bit result into the codes handed to the window's notify function. Without a session a request
//   reports -11 and sends nothing.
//
// - The window hooks: the application's name is the help name, its resource root the application
//   word, and an object's help (its tags, nearest first) goes to the global window as nested
//   contexts.
//
// - `fw_help_tests` is a program of its own: it sets HOME and PATH to folders under the build before
//   anything reads them, so that no real home is touched.
//
// - The help file named in "Client Info" is found by the installation search's places for a file of
//   any kind (`vinstFindPlainFileQuiet`): the resource-file search would never accept a text file.
//   Its path goes whole, since the server has a working folder of its own.
//
// - `vhelpsrv` (`fw/widgets/choosers/vhelpsrv/`, built beside `sim73500` and installed with it) is
//   the help server: a service with the six operations whose channel begetter listens on tcp
//   127.0.0.1 port 0. It writes the begetter's "Transport", "Location" and "Port" as the marker's
//   "Help" dictionary and its process id as "Process", to a temporary file that is then renamed
//   (clients delete a marker they cannot read); it deletes the marker only while it still names its
//   own process. Help files (".vhs") are text in sections opened by "@topic NAME" lines
//   (`helpfile.h`), shown in text-view windows kept per (client session, window id). "Open File"
//   names no window: its option does, the default window -1 when 0, and the file it opens becomes
//   the one later topics come from (before that, the file "Client Info" named). Result bits: 1 a new
//   window, 2 found. A window closed by its close box, by `VHELPSRV_CLOSE_AFTER_MS` or on request is
//   reported to its client with "Close Window". Clients' sessions are clones of the service's, held,
//   so a closed one goes; the server stops when the last has gone and no window is left, on SIGTERM
//   (the event loop's signal handling), or when no client comes within 60 s.
//
// - `fw_help_server_tests` runs the real second process: its own temporary home (also its working
//   folder, whose "lib" holds the help file the installation search finds), the build's program
//   folder first on PATH, the real clock. It signals only the process its marker names, and only
//   when that is a vhelpsrv.
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
