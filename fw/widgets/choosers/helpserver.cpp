// The help server as a client sees it: the six operations, the marker file
// a running server keeps in the home directory, and starting a server and
// waiting for its marker.
//
// - `helpserver.cpp` holds the six operations, the marker file "vhelpsrv.tmp" in the home directory
//   (its "Help" dictionary becomes the session's attributes) and starting "vhelpsrv" through
//   `WinExec` with up to twelve one-second waits on the hidden window's timer (messages stay queued
//   meanwhile). A marker that cannot be read, or is no resource file at all, is deleted so that the
//   next request starts a server.
#include <string>

#include "fw/core/ex.h"
#include "fw/core/sys.h"
#include "fw/data/datatag.h"
#include "fw/data/vresource.h"
#include "fw/widgets/choosers/help.h"
#include "platform/win/kernel.h"
#include "platform/win/user.h"

namespace {

enum { OPEN_FILE, CLOSE_WINDOW, OPEN_TOC, SWITCH_KEYWORD, SWITCH_NESTED, CLIENT_INFO, OPERATIONS };

struct ServerState {
  vsignature* operations[OPERATIONS];
  vdatatag* rect;      // a Compound of four Shorts
  vdatatag* contexts;  // an Array of String
  vfsPath* marker;
  vresource markerFile;  // open after a read, 0 when closed
};
void** stateSlot = nullptr;

vdatatag* predefined(int kind) { return vdatatagGetPredefined(kind); }

void closeMarker(ServerState* st) {
  if (!st->markerFile) return;
  vresource file = st->markerFile;
  st->markerFile = 0;
  vexTry([&] { vresourceCloseFile(file); });
}

void exitServer() {
  auto* st = static_cast<ServerState*>(*stateSlot);
  closeMarker(st);
  for (vsignature*& s : st->operations) vinstanceDestroy(s), s = nullptr;
  vdatatagDestroy(st->rect);
  vdatatagDestroy(st->contexts);
  vfsFreePath(st->marker);
}

vsignature* operation(const char* name, vdatatag* result, std::initializer_list<vdatatag*> arguments) {
  auto* s = static_cast<vsignature*>(vinstanceCreate(vsignatureGetDefaultClass()));
  s->tag = vnameInternLiteral(name);
  for (vdatatag* d : arguments) vsignatureAddDatatags(s, d, nullptr);
  s->returnValue = result;
  return s;
}

ServerState* state() {
  if (auto* bound = vmoduleState<ServerState>(stateSlot)) return bound;
  auto* st = static_cast<ServerState*>(vmoduleBindSlot(stateSlot, sizeof(ServerState)));
  *st = ServerState{};
  vdatatag* shortTag = predefined(vdatatagSHORT);
  st->rect = vdatatagCreate(vdatatagCOMPOUND);
  vdatatagAddCompoundMembers(st->rect, shortTag, shortTag, shortTag, shortTag, nullptr);
  st->contexts = vdatatagCreate(vdatatagARRAY);
  vdatatagSetArrayElement(st->contexts, predefined(vdatatagSTRING));
  vdatatag* integer = predefined(vdatatagINTEGER);
  vdatatag* string = predefined(vdatatagSTRING);
  vdatatag* bits = predefined(vdatatagUNSIGNED_SHORT);
  st->operations[OPEN_FILE] = operation("Open File", bits, {string, integer, st->rect});
  st->operations[CLOSE_WINDOW] = operation("Close Window", nullptr, {integer});
  st->operations[OPEN_TOC] = operation("Open TOC", nullptr, {integer, st->rect});
  st->operations[SWITCH_KEYWORD] = operation("Switch Keyword", bits, {integer, string, st->rect});
  st->operations[SWITCH_NESTED] = operation("Switch Nested Contexts", bits, {integer, st->contexts, st->rect});
  st->operations[CLIENT_INFO] = operation("Client Info", nullptr, {integer, string, string, string});
  st->marker = vfsMSWGetHomeDirectory();
  vfsAppendPathElements(st->marker, "vhelpsrv.tmp", nullptr);
  vmoduleAddContextExitProc(exitServer);
  return st;
}

// Blocks for the time on the hidden window's timer; other messages stay
// queued, undispatched.
void wait(unsigned milliseconds) {
  win::HWND hidden = vsysGetTaskWindow();
  if (!win::SetTimer(hidden, 1, milliseconds, nullptr)) _vexGenerate(&vexModuleLimitClass, vexEnd);
  win::MSG message;
  while (!win::PeekMessageA(&message, hidden, win::WM_TIMER, win::WM_TIMER, win::PM_REMOVE)) win::WaitMessage();
  win::KillTimer(hidden, 1);
}

// The "Help" dictionary of the marker; an unreadable one is forgotten.
vresource readParameters(ServerState* st) {
  closeMarker(st);
  vresource file = 0;
  // A marker that is no resource file at all would stand for a server
  // forever: it goes as an unreadable "Help" does.
  if (!vexTry([&] { file = vresourceOpenFile(st->marker, vfsOPEN_READ); }) || !file) {
    vhelpServerForget();
    return 0;
  }
  st->markerFile = file;
  vresource help = 0;
  if (vexTry([&] { help = vresourceGet(file, vnameInternLiteral("Help")); })) return help;
  closeMarker(st);
  vhelpServerForget();
  return 0;
}

}  // namespace

vsignature* vhelpGetOpenFileSignature() { return state()->operations[OPEN_FILE]; }
vsignature* vhelpGetCloseWindowSignature() { return state()->operations[CLOSE_WINDOW]; }
vsignature* vhelpGetOpenTOCSignature() { return state()->operations[OPEN_TOC]; }
vsignature* vhelpGetSwitchKeywordSignature() { return state()->operations[SWITCH_KEYWORD]; }
vsignature* vhelpGetSwitchNestedContextsSignature() { return state()->operations[SWITCH_NESTED]; }
vsignature* vhelpGetClientInfoSignature() { return state()->operations[CLIENT_INFO]; }
const vfsPath* vhelpGetMarkerPath() { return state()->marker; }

bool vhelpServerPresent() {
  bool present = false;
  vexTry([&] { present = vfsAccess(state()->marker, 4); });
  return present;
}

void vhelpServerForget() {
  ServerState* st = state();
  vexTry([&] { vfsRemoveFile(st->marker); });
  closeMarker(st);
}

vresource vhelpServerConnect(int start) {
  ServerState* st = state();
  if (!vhelpServerPresent() && start) {
    if (win::WinExec("vhelpsrv", 1) <= 31) return 0;
    for (int round = 0; round < 12 && !vhelpServerPresent(); ++round) wait(1000);
  }
  return vhelpServerPresent() ? readParameters(st) : 0;
}
