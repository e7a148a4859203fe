#include "fw/widgets/choosers/help.h"

#include <cstring>
#include <filesystem>
#include <string>

#include "fw/core/dict.h"
#include "fw/core/ex.h"
#include "fw/core/mem.h"
#include "fw/core/sys.h"
#include "fw/data/datatag.h"
#include "fw/data/inst.h"
#include "fw/data/vresource.h"
#include "fw/services/service.h"

namespace {

// ---- The root: module-wide settings.
struct RootState {
  vhelpRootClassRec* cls;
  vhelpRoot* global;
  vhelpRootClassRec* defaultClass;  // the window class until one is set
  bool defaultSet;
  vstr* helpName;
  std::intptr_t word;
};
void** rootSlot = nullptr;
RootState* root();

vhelpRoot* asRoot(vinstance* o) { return static_cast<vhelpRoot*>(o); }

void rootInit(vinstance* self) {
  vinstanceGetDefaultClass()->init(self);
  asRoot(self)->notify = nullptr;
}
void rootDestroy(vinstance* self) {
  if (rootSlot && *rootSlot && root()->global == self) root()->global = nullptr;
  vinstanceGetDefaultClass()->destroy(self);
}
vhelpRoot* noWindow(vhelpRootClassRec*) { return nullptr; }
void nothing(vhelpRoot*) {}
void noFile(vhelpRoot*, const vfsPath*, std::int32_t, const vrect*) {}
void notifyOwner(vhelpRoot* w, std::int32_t code) {
  if (w->notify) w->notify(w, code);
}
void noTOC(vhelpRoot*, const vrect*) {}
void noKeyword(vhelpRoot*, const char*, const vrect*) {}
void noContexts(vhelpRoot*, const char* const*, std::int32_t, const vrect*) {}

template <void (*Call)(vhelpRoot*, const char*, const vrect*)>
void scribed(vhelpRoot* w, vscribe* s, const vrect* r) {
  vstr* text = vstrCloneScribed(s, nullptr);
  vexGuard([&] { Call(w, text, r); },
           [&](vexHandler&) {
             vstrDestroy(text);
             _vexGenerate(nullptr, vexEnd);
           });
  vstrDestroy(text);
}
void keywordOf(vhelpRoot* w, const char* k, const vrect* r) { vhelpSwitchKeyword(w, k, r); }
void contextOf(vhelpRoot* w, const char* c, const vrect* r) { vhelpSwitchContext(w, c, r); }
void switchContext(vhelpRoot* w, const char* context, const vrect* r) {
  const char* one[1] = {context};
  vhelpSwitchNestedContexts(w, one, 1, r);
}

void freeRoot() {
  RootState* st = root();
  if (st->helpName) vstrDestroy(st->helpName);
  st->helpName = nullptr;
}

RootState* root() {
  if (auto* bound = vmoduleState<RootState>(rootSlot)) return bound;
  auto* st = static_cast<RootState*>(vmoduleBindSlot(rootSlot, sizeof(RootState)));
  *st = RootState{};
  auto* c = vclassSpawnOf<vhelpRootClassRec>(vinstanceGetDefaultClass());
  c->instanceSize = sizeof(vhelpRoot);
  c->init = rootInit;
  c->destroy = rootDestroy;
  c->getDefaultWindow = noWindow;
  c->ping = nothing;
  c->openFile = noFile;
  c->notify = notifyOwner;
  c->closeWindow = nothing;
  c->openTOC = noTOC;
  c->switchKeyword = noKeyword;
  c->switchKeywordScribe = scribed<keywordOf>;
  c->switchContext = switchContext;
  c->switchContextScribe = scribed<contextOf>;
  c->switchNestedContexts = noContexts;
  vclassSetName(c, vscribeLiteral("vhelpRoot"));
  st->cls = c;
  st->helpName = vstrClone("unnamed");
  vmoduleAddContextExitProc(freeRoot);
  return st;
}

// ---- The window of the help server.
struct WindowState {
  vhelpRootClassRec* cls;
  vsession* session;
  vservice* client;
  bool shuttingDown;
  std::int32_t nextId;
  vdict* windows;  // id -> window
};
void** windowSlot = nullptr;
WindowState* windows();

vhelpWexlinWindow* asW(vinstance* o) { return static_cast<vhelpWexlinWindow*>(o); }
const void* key(std::int32_t id) { return reinterpret_cast<const void*>(std::intptr_t(id)); }

void advanceId(WindowState* st) {
  do st->nextId = st->nextId == 0x7FFFFFFF ? 1 : st->nextId + 1;
  while (vdictHas(st->windows, key(st->nextId)));
}

void windowInit(vinstance* self) {
  rootInit(self);
  WindowState* st = windows();
  vhelpWexlinWindow* w = asW(self);
  w->id = st->nextId;
  w->flags = 0;
  vdictStore(st->windows, key(w->id), w);
  advanceId(st);
}

void windowDestroy(vinstance* self) {
  WindowState* st = windows();
  vhelpWexlinWindow* w = asW(self);
  if ((w->flags & vhelpWINDOW_OPEN) && !st->shuttingDown) vhelpCloseWindow(w);
  if (vdictGet(st->windows, key(w->id)) == w) vdictRemove(st->windows, key(w->id));
  rootDestroy(self);
}

vhelpRoot* defaultWindow(vhelpRootClassRec*) {
  WindowState* st = windows();
  if (auto* w = static_cast<vhelpWexlinWindow*>(const_cast<void*>(vdictGet(st->windows, key(-1))))) return w;
  auto* w = asW(vinstanceCreate(st->cls));
  vdictRemove(st->windows, key(w->id));
  w->id = -1;
  vdictStore(st->windows, key(-1), w);
  return w;
}

// ---- Replies.
vhelpWexlinWindow* windowOf(vsessionStatement* s) {
  return vhelpFindWindow(std::int32_t(reinterpret_cast<std::intptr_t>(s->client)));
}
bool operationIs(vsessionStatement* s, vsignature* sig) { return s->operation == sig; }

void plainReply(vsessionStatement* s, vsessionReply* reply) {
  vhelpWexlinWindow* w = windowOf(s);
  if (!w) return;
  switch (reply->kind & ~vsessionREPLY_MORE) {
    case vsessionREPLY_RESULT:
      if (operationIs(s, vhelpGetOpenTOCSignature())) vhelpNotify(w, vhelpTOC_SHOWN);
      break;
    case vsessionREPLY_FAILED: vhelpNotify(w, vhelpREFUSED); break;
    default: vhelpNotify(w, vhelpFAILED); break;
  }
}

void fileReply(vsessionStatement* s, vsessionReply* reply) {
  vhelpWexlinWindow* w = windowOf(s);
  if (!w) return;
  std::int32_t status = reply->kind & ~vsessionREPLY_MORE;
  if (status != vsessionREPLY_RESULT) {
    vhelpNotify(w, status == vsessionREPLY_FAILED ? vhelpREFUSED : vhelpFAILED);
    return;
  }
  std::uint16_t bits = 0;
  vsessionStatementGetResult(s, &bits);
  if (bits & 0x1) {
    w->flags |= vhelpWINDOW_OPEN;
    vhelpNotify(w, vhelpOPENED);
    if (windowOf(s) != w) return;  // the notify destroyed it
  }
  if (!(bits & 0x2)) {
    vhelpNotify(w, vhelpFAILED);
    return;
  }
  if (operationIs(s, vhelpGetSwitchKeywordSignature())) vhelpNotify(w, vhelpKEYWORD_SHOWN);
  else if (operationIs(s, vhelpGetSwitchNestedContextsSignature())) vhelpNotify(w, vhelpCONTEXTS_SHOWN);
  else vhelpNotify(w, vhelpFILE_SHOWN);
}

// Every request: a session (else -11), a statement destroyed when done that
// carries the window's id, its operation and arguments, sent.
template <typename Fill>
void request(vhelpWexlinWindow* w, bool start, vsignature* operation, vsessionCompletion reply, Fill fill) {
  vsession* session = vhelpGetSession(start ? 1 : 0);
  if (!session) {
    if (start) vhelpNotify(w, vhelpNO_SERVER);
    return;
  }
  vsessionStatement* s = vsessionStatementCreate();
  vexGuard(
      [&] {
        vsessionStatementSetSession(s, session);
        s->state |= vsessionStatementDESTROY_WHEN_DONE;
        s->client = reinterpret_cast<void*>(std::intptr_t(w->id));
        s->completion = reply;
        vsessionStatementSetOperation(s, operation);
        fill(s);
      },
      [&](vexHandler&) {
        vsessionStatementDestroy(s);
        _vexGenerate(nullptr, vexEnd);
      });
  vsessionStatementSend(s);
}

const vrect* orZero(const vrect* r) {
  static const vrect zero{0, 0, 0, 0};
  return r ? r : &zero;
}

void ping(vhelpRoot* self) {
  vhelpWexlinWindow* w = asW(self);
  vsession* session = vhelpGetSession(0);
  if (!session) return;
  static vsignature* pingOperation = nullptr;
  if (!pingOperation) {
    pingOperation = static_cast<vsignature*>(vinstanceCreate(vsignatureGetDefaultClass()));
    pingOperation->tag = vnameInternLiteral("vdasPingService");
  }
  request(w, false, pingOperation, plainReply, [](vsessionStatement*) {});
}

void openFile(vhelpRoot* self, const vfsPath* path, std::int32_t option, const vrect* r) {
  vstr* text = vfsPathToString(path);
  vexGuard(
      [&] {
        request(asW(self), true, vhelpGetOpenFileSignature(), fileReply,
                [&](vsessionStatement* s) { vsessionStatementSetArgs(s, text, int(option), orZero(r)); });
      },
      [&](vexHandler&) {
        vstrDestroy(text);
        _vexGenerate(nullptr, vexEnd);
      });
  vstrDestroy(text);
}

void closeWindow(vhelpRoot* self) {
  vhelpWexlinWindow* w = asW(self);
  request(w, true, vhelpGetCloseWindowSignature(), plainReply,
          [&](vsessionStatement* s) { vsessionStatementSetArgs(s, int(w->id)); });
}

void openTOC(vhelpRoot* self, const vrect* r) {
  vhelpWexlinWindow* w = asW(self);
  request(w, true, vhelpGetOpenTOCSignature(), plainReply,
          [&](vsessionStatement* s) { vsessionStatementSetArgs(s, int(w->id), orZero(r)); });
}

void switchKeyword(vhelpRoot* self, const char* keyword, const vrect* r) {
  vhelpWexlinWindow* w = asW(self);
  request(w, true, vhelpGetSwitchKeywordSignature(), fileReply,
          [&](vsessionStatement* s) { vsessionStatementSetArgs(s, int(w->id), keyword, orZero(r)); });
}

void switchNested(vhelpRoot* self, const char* const* contexts, std::int32_t count, const vrect* r) {
  vhelpWexlinWindow* w = asW(self);
  request(w, true, vhelpGetSwitchNestedContextsSignature(), fileReply, [&](vsessionStatement* s) {
    vsessionStatementSetArgs(s, int(w->id), count, const_cast<const char**>(contexts), orZero(r));
  });
}

// At the end of a context no window tells the server it goes.
void exitWindows() {
  WindowState* st = windows();
  st->shuttingDown = true;
  // The session is held by the client service, so it is closed, never
  // destroyed, here: the server hears of it, and the service's end below
  // releases the session. Its event function stays, so the close does not
  // wait for the server's answer.
  if (vsession* s = st->session) {
    st->session = nullptr;
    vexTry([s] { vsessionClose(s); });
  }
  if (st->client) vserviceDestroy(st->client), st->client = nullptr;
  while (vdictCount(st->windows) > 0) {
    vdictIterator it;
    vdictInitIterator(&it, st->windows);
    if (!vdictNextIterator(&it)) break;
    auto* w = static_cast<vhelpRoot*>(const_cast<void*>(vdictIteratorValue(&it)));
    w->notify = nullptr;
    vinstanceDestroy(w);
  }
  vdictDestroy(st->windows);
  st->windows = nullptr;
}

WindowState* windows() {
  if (auto* bound = vmoduleState<WindowState>(windowSlot)) return bound;
  auto* st = static_cast<WindowState*>(vmoduleBindSlot(windowSlot, sizeof(WindowState)));
  *st = WindowState{};
  vhelpGetOpenFileSignature();  // the operations and the marker's module
  auto* c = vclassSpawnOf<vhelpRootClassRec>(vhelpRootGetDefaultClass());
  c->instanceSize = sizeof(vhelpWexlinWindow);
  c->init = windowInit;
  c->destroy = windowDestroy;
  c->getDefaultWindow = defaultWindow;
  c->ping = ping;
  c->openFile = openFile;
  c->closeWindow = closeWindow;
  c->openTOC = openTOC;
  c->switchKeyword = switchKeyword;
  c->switchNestedContexts = switchNested;
  vclassSetName(c, vscribeLiteral("vhelpWexlinWindow"));
  st->cls = c;
  st->nextId = 1;
  st->windows = vdictCreate(vdictHashPointer);
  vmoduleAddContextExitProc(exitWindows);
  return st;
}

}  // namespace

vhelpRootClassRec* vhelpRootGetDefaultClass() { return root()->cls; }
vhelpRootClassRec* vhelpWexlinWindowGetDefaultClass() { return windows()->cls; }
void vhelpStartup() { root(); }

void vhelpSetHelpName(const char* name) {
  RootState* st = root();
  vstr* copy = vstrClone(name ? name : "");
  if (st->helpName) vstrDestroy(st->helpName);
  st->helpName = copy;
}
const char* vhelpGetHelpName() { return root()->helpName; }

// The two classes build each other's modules: the default is looked up late.
static vhelpRootClassRec* defaultClass() {
  RootState* st = root();
  return st->defaultSet ? st->defaultClass : vhelpWexlinWindowGetDefaultClass();
}

void vhelpSetDefaultClass(vhelpRootClassRec* cls) {
  RootState* st = root();
  st->defaultClass = cls;
  st->defaultSet = true;
  if (st->global && (!cls || !vclassIsSubclass(st->global->cls, cls))) st->global = nullptr;
}

vhelpRoot* vhelpGetGlobalWindow() {
  RootState* st = root();
  if (st->global) return st->global;
  vhelpRootClassRec* cls = defaultClass();
  if (!cls)
    _vexGenerate(&vexModuleStateClass, vexSetMessage,
                 "attempt to get the default global window when the default class wasn't set", vexEnd);
  return cls->getDefaultWindow(cls);
}
void vhelpSetGlobalWindow(vhelpRoot* window) { root()->global = window; }
void vhelpSetApplicationWord(std::intptr_t word) { root()->word = word; }
std::intptr_t vhelpGetApplicationWord() { return root()->word; }

vhelpWexlinWindow* vhelpFindWindow(std::int32_t id) {
  return static_cast<vhelpWexlinWindow*>(const_cast<void*>(vdictGet(windows()->windows, key(id))));
}

// ---- The session and its events (the server side is in helpserver.cpp).

namespace {

vinstance* serverClosed(vservicePrimitive* primitive, vsession*, vinstance* arguments) {
  int id = 0;
  vservicePrimitiveGetArgs(primitive, arguments, &id);
  if (vhelpWexlinWindow* w = vhelpFindWindow(id)) {
    w->flags &= ~vhelpWINDOW_OPEN;
    vhelpNotify(w, vhelpCLOSED);
  }
  return nullptr;
}

void sessionEvent(vsession* s, std::int32_t* code) {
  WindowState* st = windows();
  if (st->session != s) return;
  if (*code == 1) {
    st->session = nullptr;
    vhelpServerForget();
  } else if (*code == 2) {
    st->session = nullptr;
  }
}

void sendClientInfo(vsession* session) {
  const vfsPath* programDir = vfsMSWGetProgramDirectory();
  vstr* dir = programDir ? vfsPathToString(programDir) : nullptr;
  std::string file = std::string(vhelpGetHelpName()) + ".vhs";
  vfsPath* found = nullptr;
  // Help files are plain text: the installation search for any file.
  vexTry([&] { found = vinstFindPlainFileQuiet(file.c_str()); });
  vstr* foundText = found ? vfsPathToString(found) : nullptr;
  if (found) vfsFreePath(found);
  // The server has a working folder of its own: the path goes whole.
  std::string helpPath = foundText ? std::string(foundText) : std::string();
  if (foundText) vstrDestroy(foundText);
  if (!helpPath.empty() && helpPath[0] != '/') {
    std::error_code error;
    std::filesystem::path whole = std::filesystem::absolute(helpPath, error);
    if (!error) helpPath = whole.string();
  }
  const char* helpFile = found ? helpPath.c_str() : nullptr;
  vsessionStatement* s = vsessionStatementCreate();
  vexGuard(
      [&] {
        vsessionStatementSetSession(s, session);
        s->state |= vsessionStatementDESTROY_WHEN_DONE;
        vsessionStatementSetOperation(s, vhelpGetClientInfoSignature());
        vsessionStatementSetArgs(s, 256, vhelpGetHelpName(), dir ? static_cast<const char*>(dir) : "",
                                 helpFile ? helpFile : "");
        vsessionStatementSend(s);
      },
      [&](vexHandler&) {
        if (dir) vstrDestroy(dir);
        _vexGenerate(nullptr, vexEnd);
      });
  if (dir) vstrDestroy(dir);
}

}  // namespace

vsession* vhelpGetSession(int start) {
  WindowState* st = windows();
  if (st->session) return st->session;
  if (!start && !vhelpServerPresent()) return nullptr;
  vresource parameters = vhelpServerConnect(start);
  if (!parameters) return nullptr;
  vsession* s = vsessionCreate();
  s->flags |= vsessionHELD;
  for (std::int32_t i = 0, n = vresourceCount(parameters); i < n; ++i) {
    vname tag = nullptr;
    vresource value = vresourceGetTagAt(parameters, i, &tag);
    switch (vresourceGetType(value, nullptr)) {
      case vresINTEGER:
        vsessionSetAttribute(s, tag, vdatatagGetPredefined(vdatatagINTEGER), int(vresourceGetInteger(parameters, tag)));
        break;
      case vresFLOAT:
        vsessionSetAttribute(s, tag, vsessionDoubleDatatag(), vresourceGetFloat(parameters, tag));
        break;
      case vresTAG: {
        vname t = nullptr;
        vresourceTestGetTag(parameters, tag, &t);
        vsessionSetAttribute(s, tag, vsessionTagDatatag(), t);
        break;
      }
      default: {
        vstr* text = nullptr;
        if (vresourceTestGetStringCopy(parameters, tag, &text)) {
          vsessionSetAttribute(s, tag, vsessionStringDatatag(), static_cast<const char*>(text));
          vstrDestroy(text);
        }
      }
    }
  }
  _vhelpAdoptSession(s);
  vsessionOpen(s);
  if (st->session == s) sendClientInfo(s);
  return st->session;
}

void _vhelpAdoptSession(vsession* s) {
  WindowState* st = windows();
  if (!st->client) {
    st->client = vserviceCreate();
    vservicePrimitive* p = vservicePrimitiveCreate();
    p->signature = vhelpGetCloseWindowSignature();
    p->handler = serverClosed;
    vserviceAddPrimitive(st->client, p);
  }
  vsessionSetService(s, st->client);
  s->notify = sessionEvent;
  st->session = s;
}

void _vhelpSetNextId(std::int32_t id) { windows()->nextId = id; }
