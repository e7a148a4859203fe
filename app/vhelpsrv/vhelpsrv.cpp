// vhelpsrv: the help server that help windows start. It offers the six
// help operations through a service listening on loopback, publishes where
// it listens in the marker file "vhelpsrv.tmp" in the home directory, and
// shows help files (".vhs") in text-view windows, one per client window id.
// It exits, deleting its marker, when its last client has gone and no
// window is left, or on SIGTERM.
// VHELPSRV_CLOSE_AFTER_MS closes each window after that many milliseconds.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "fw/core/event.h"
#include "fw/core/ex.h"
#include "fw/core/sys.h"
#include "fw/data/datatag.h"
#include "fw/data/inst.h"
#include "fw/data/vresource.h"
#include "fw/data/vrstore.h"
#include "fw/services/service.h"
#include "fw/text/selection.h"
#include "fw/text/text.h"
#include "fw/widgets/choosers/help.h"
#include "fw/widgets/choosers/helpfile.h"
#include "fw/widgets/dialog/dialog.h"
#include "fw/widgets/startup.h"
#include "fw/widgets/textview/textview.h"

namespace {

using vhelpsrv::HelpFile;

enum : std::uint16_t { NEW_WINDOW = 0x1, FOUND = 0x2 };

// One window shown for one client's window id.
struct Window {
  vsession* session;  // null once that client has gone
  std::int32_t id;
  std::uint32_t serial;  // names it to delayed events
  vdialog* dialog;
  vtextview* view;
  vtext* text;
  vtextSelection* selection;
};

struct Client {
  vsession* session;
  std::string helpFile;  // from "Client Info", then the last "Open File"
};

struct Server {
  vservice* service = nullptr;
  vfsPath* marker = nullptr;
  std::vector<Window> windows;
  std::vector<Client> clients;
  std::uint32_t serial = 0;
  std::int64_t closeAfterMs = 0;
  bool served = false;  // a client has come
} server;

vname name(const char* text) { return vnameInternLiteral(text); }

std::string copied(char* text) {
  std::string s = text ? text : "";
  if (text) vstrDestroy(text);
  return s;
}

Client& clientOf(vsession* s) {
  for (Client& c : server.clients)
    if (c.session == s) return c;
  server.clients.push_back(Client{s, {}});
  return server.clients.back();
}

Window* findWindow(vsession* s, std::int32_t id) {
  for (Window& w : server.windows)
    if (w.session == s && w.id == id) return &w;
  return nullptr;
}

// ---- The marker file.
// Its name as the messages give it: a home that leaves no room for the name
// makes no path, yet names the file.
std::string markerText() {
  vfsPath* home = vfsMSWGetHomeDirectory();
  vstr* p = vfsPathToString(home);
  std::string s = std::string(static_cast<const char*>(p)) + vfsMSWGetSeparator() + "vhelpsrv.tmp";
  vstrDestroy(p);
  vfsFreePath(home);
  return s;
}

// Written to a temporary file beside it, then renamed, so that a client
// never reads half a marker (it deletes one it cannot read). Without it no
// client finds the server: one that cannot be written ends the server.
void writeMarker(vname transport, const char* location, const char* port) {
  std::string target = markerText();
  std::string temporary = target + "." + std::to_string(getpid());
  vresource root = vrstoreCreateMemory();
  vresource help = vresourceCreate(root, name("Help"), vresDICTIONARY);
  vresourceSetTag(help, vsessionGetAttributeKey(vsessionTRANSPORT), transport);
  vresourceSetString(help, vsessionGetAttributeKey(vsessionLOCATION), vscribeCString(location));
  vresourceSetString(help, vsessionGetAttributeKey(vsessionPORT), vscribeCString(port));
  vresourceSetInteger(root, name("Process"), std::int32_t(getpid()));
  const bool saved = vexTry([&] {
    vfsPath* path = vfsNewPathFromString(temporary.c_str());
    vexGuard([&] { vrstoreCloseFile(vrstoreSaveFile(root, path, 0)); },
             [&](vexHandler&) {
               vfsFreePath(path);
               _vexGenerate(nullptr, vexEnd);
             });
    vfsFreePath(path);
  });
  vrstoreCloseFile(root);
  if (!saved || std::rename(temporary.c_str(), target.c_str()) != 0) {
    std::remove(temporary.c_str());
    std::fprintf(stderr, "vhelpsrv: cannot write %s\n", target.c_str());
    std::exit(1);
  }
}

// Only our own: a server started after us may have written its marker.
void removeMarker() {
  std::int32_t pid = -1;
  vexTry([&] {
    vresource root = vrstoreOpenFile(server.marker, vfsOPEN_READ);
    vexGuard([&] { pid = vresourceGetInteger(root, name("Process")); },
             [&](vexHandler&) {
               vrstoreCloseFile(root);
               _vexGenerate(nullptr, vexEnd);
             });
    vrstoreCloseFile(root);
  });
  if (pid == std::int32_t(getpid())) std::remove(markerText().c_str());
}

// ---- Leaving.
// The last client gone with no window left: nothing more to serve.
int checkIdle(vevent*) {
  vserviceRecord* r = server.service->record;
  if (server.served && server.windows.empty() && (!r || r->sessionCount == 0)) veventStopProcessing();
  return 1;
}
void postIdleCheck() { veventPost(veventCreateClient(checkIdle, nullptr)); }

// A client that waited too long for the marker may never come.
int checkNeverServed(vevent*) {
  if (!server.served) veventStopProcessing();
  return 1;
}

// ---- Windows.
void tellClosed(vsession* session, std::int32_t id) {
  if (!session) return;
  vsessionStatement* s = vsessionStatementCreate();
  vexGuard(
      [&] {
        vsessionStatementSetSession(s, session);
        s->state |= vsessionStatementDESTROY_WHEN_DONE;
        vsessionStatementSetOperation(s, vhelpGetCloseWindowSignature());
        vsessionStatementSetArgs(s, int(id));
        vsessionStatementSend(s);
      },
      [&](vexHandler& h) {
        vexSetCurrentException(h.savedChain);
        std::fprintf(stderr, "vhelpsrv: could not tell a client that window %d closed\n", int(id));
      });
}

void destroyWindow(std::size_t index, bool tell) {
  Window w = server.windows[index];
  server.windows.erase(server.windows.begin() + std::ptrdiff_t(index));
  vwindowClose(w.dialog);
  vtextviewSetText(w.view, nullptr);
  vtextDestroySelection(w.text, w.selection);
  vtextDestroy(w.text);
  vinstanceDestroy(w.dialog);
  if (tell) tellClosed(w.session, w.id);
  postIdleCheck();
}

void closeBySerial(std::uint32_t serial) {
  for (std::size_t i = 0; i < server.windows.size(); ++i)
    if (server.windows[i].serial == serial) return destroyWindow(i, true);
}

void* serialData(std::uint32_t serial) { return reinterpret_cast<void*>(std::uintptr_t(serial)); }
std::uint32_t serialOf(vevent* e) { return std::uint32_t(reinterpret_cast<std::uintptr_t>(e->data)); }

int closeLater(vevent* e) {
  closeBySerial(serialOf(e));
  return 1;
}

// The window's close box: closed from the loop, not inside its own event.
int closeBox(vdialog* d, vevent*) {
  for (Window& w : server.windows)
    if (w.dialog == d) veventPost(veventCreateClient(closeLater, serialData(w.serial)));
  return 1;
}

void setText(Window& w, const std::string& title, const std::string& text) {
  vwindowSetTitleScribe(w.dialog, vscribeCString(title.c_str()));
  vtextviewSetText(w.view, nullptr);
  vtextDestroySelection(w.text, w.selection);
  vtextDestroy(w.text);
  w.text = vtextCreate();
  w.selection = vtextCreateSelection(w.text);
  vtextInsertText(w.text, w.selection, text.data(), std::int32_t(text.size()));
  vtextSetSelectionRange(w.text, w.selection, 0, 0);
  vtextviewSetText(w.view, w.text);
  vtextviewSetSelection(w.view, w.selection);
}

// The id's window with this text, made when it has none; NEW_WINDOW then.
std::uint16_t show(vsession* session, std::int32_t id, const vrect& place, const std::string& title,
                   const std::string& text) {
  if (Window* w = findWindow(session, id)) {
    setText(*w, title, text);
    return 0;
  }
  Window w{session, id, ++server.serial, vdialogCreate(), vtextviewCreate(), vtextCreate(), nullptr};
  w.selection = vtextCreateSelection(w.text);
  vrect r = place.width > 0 && place.height > 0 ? place : vrect{80, 80, 480, 360};
  w.dialog->rect = r;
  w.dialog->decoration |= vwindowDECO_TITLE | vwindowDECO_MOVABLE | vwindowDECO_RESIZABLE;
  vrect inside{0, 0, r.width, r.height};
  vdialogSetItemRect(w.view, &inside);
  vtextviewSetVertBar(w.view, 1);
  vdialogAppendItem(w.dialog, w.view);
  vdialogSetCloseHook(w.dialog, closeBox);
  server.windows.push_back(w);
  Window& added = server.windows.back();
  setText(added, title, text);
  vwindowOpen(added.dialog);
  if (server.closeAfterMs > 0)
    veventPostDelayed(veventCreateClient(closeLater, serialData(added.serial)), server.closeAfterMs / 1000,
                      server.closeAfterMs % 1000 * 1000000);
  return NEW_WINDOW;
}

// ---- The operations.
vinstance* bitsResult(std::uint16_t bits) {
  return vdatatagCreateScrapWithValue(vdatatagGetPredefined(vdatatagUNSIGNED_SHORT), int(bits));
}

// "Open File" names no window: its option does, the default window (-1)
// when 0.
vinstance* openFile(vservicePrimitive* p, vsession* session, vinstance* args) {
  char* path = nullptr;
  int option = 0;
  vrect place{};
  vservicePrimitiveGetArgs(p, args, &path, &option, &place);
  std::string file = copied(path);
  HelpFile help;
  if (!vhelpsrv::LoadHelpFile(file, &help)) return bitsResult(0);
  clientOf(session).helpFile = file;
  return bitsResult(show(session, option ? option : -1, place, file, vhelpsrv::WholeFileText(help)) | FOUND);
}

vinstance* closeWindow(vservicePrimitive* p, vsession* session, vinstance* args) {
  int id = 0;
  vservicePrimitiveGetArgs(p, args, &id);
  for (std::size_t i = 0; i < server.windows.size(); ++i)
    if (server.windows[i].session == session && server.windows[i].id == id) {
      destroyWindow(i, true);
      break;
    }
  return nullptr;
}

vinstance* openContents(vservicePrimitive* p, vsession* session, vinstance* args) {
  int id = 0;
  vrect place{};
  vservicePrimitiveGetArgs(p, args, &id, &place);
  HelpFile help;
  const std::string& path = clientOf(session).helpFile;
  if (path.empty() || !vhelpsrv::LoadHelpFile(path, &help)) vexGenerateMessage(&vexArgClass, "no help file");
  show(session, id, place, "Contents", vhelpsrv::ContentsText(help));
  return nullptr;
}

// The first of the names that is a topic of the client's file.
std::uint16_t showTopic(vsession* session, std::int32_t id, const std::vector<std::string>& names,
                        const vrect& place) {
  HelpFile help;
  const std::string& path = clientOf(session).helpFile;
  if (path.empty() || !vhelpsrv::LoadHelpFile(path, &help)) return 0;
  for (const std::string& n : names)
    if (const vhelpsrv::Topic* t = vhelpsrv::FindTopic(help, n))
      return show(session, id, place, t->name, vhelpsrv::TopicText(*t)) | FOUND;
  return 0;
}

vinstance* switchKeyword(vservicePrimitive* p, vsession* session, vinstance* args) {
  int id = 0;
  char* keyword = nullptr;
  vrect place{};
  vservicePrimitiveGetArgs(p, args, &id, &keyword, &place);
  return bitsResult(showTopic(session, id, {copied(keyword)}, place));
}

vinstance* switchContexts(vservicePrimitive* p, vsession* session, vinstance* args) {
  int id = 0;
  std::int32_t count = 0;
  void* data = nullptr;
  vrect place{};
  vservicePrimitiveGetArgs(p, args, &id, &count, &data, &place);
  std::vector<std::string> names;
  auto** list = static_cast<char**>(data);
  for (std::int32_t i = 0; i < count; ++i) names.push_back(copied(list[i]));
  if (data) vmemFree(data);
  return bitsResult(showTopic(session, id, names, place));
}

vinstance* clientInfo(vservicePrimitive* p, vsession* session, vinstance* args) {
  int version = 0;
  char *helpName = nullptr, *programDir = nullptr, *helpFile = nullptr;
  vservicePrimitiveGetArgs(p, args, &version, &helpName, &programDir, &helpFile);
  copied(helpName);
  copied(programDir);
  server.served = true;
  clientOf(session).helpFile = copied(helpFile);
  return nullptr;
}

// A client gone: its windows stay for the reader, unowned.
void sessionEvent(vsession* session, std::int32_t* code) {
  if (*code == vsessionOPENED) {
    server.served = true;
    return;
  }
  for (Window& w : server.windows)
    if (w.session == session) w.session = nullptr;
  for (std::size_t i = 0; i < server.clients.size(); ++i)
    if (server.clients[i].session == session) {
      server.clients.erase(server.clients.begin() + std::ptrdiff_t(i));
      break;
    }
  postIdleCheck();
}

void offer(vservice* service, vsignature* signature, vservicePrimitiveHandler handler) {
  vservicePrimitive* p = vservicePrimitiveCreate();
  p->signature = signature;
  p->handler = handler;
  vserviceAddPrimitive(service, p);
}

void stop() {
  while (!server.windows.empty()) destroyWindow(server.windows.size() - 1, false);
  removeMarker();
}

int serverMain(int argc, char** argv) {
  // Its windows are the framework's: without the file they would be blank.
  if (const std::string missing = vinstMissingFiles("vhelpsrv"); !missing.empty()) {
    std::fputs(missing.c_str(), stderr);
    return 1;
  }
  vwidgetsStartup(argc, argv);
  if (const char* after = std::getenv("VHELPSRV_CLOSE_AFTER_MS")) server.closeAfterMs = std::atoll(after);
  server.marker = vfsMSWGetHomeDirectory();
  vfsAppendPathElements(server.marker, "vhelpsrv.tmp", nullptr);
  vservice* service = server.service = vserviceCreate();
  offer(service, vhelpGetOpenFileSignature(), openFile);
  offer(service, vhelpGetCloseWindowSignature(), closeWindow);
  offer(service, vhelpGetOpenTOCSignature(), openContents);
  offer(service, vhelpGetSwitchKeywordSignature(), switchKeyword);
  offer(service, vhelpGetSwitchNestedContextsSignature(), switchContexts);
  offer(service, vhelpGetClientInfoSignature(), clientInfo);
  // Each client's session is a clone of the service's: held, it goes when closed.
  service->session->flags |= vsessionHELD;
  service->session->notify = sessionEvent;
  auto key = vsessionGetAttributeKey;
  vserviceSetAttribute(service, key(vsessionTRANSPORT), vsessionTagDatatag(), name("tcp"));
  vserviceSetAttribute(service, key(vsessionLOCATION), vsessionStringDatatag(), "127.0.0.1");
  vserviceSetAttribute(service, key(vsessionPORT), vsessionStringDatatag(), "0");
  vserviceSetBegetter(service, static_cast<vserviceBegetterRoot*>(vinstanceCreate(vserviceGetBegetterChannelClass())));
  char location[256] = {}, port[64] = {};
  if (vscribe* s = vserviceGetAttributeScribe(service, key(vsessionLOCATION)))
    vscribeGetStringBounded(s, location, sizeof location);
  if (vscribe* s = vserviceGetAttributeScribe(service, key(vsessionPORT)))
    vscribeGetStringBounded(s, port, sizeof port);
  writeMarker(vserviceGetAttributeTag(service, key(vsessionTRANSPORT)), location, port);
  veventPostDelayed(veventCreateClient(checkNeverServed, nullptr), 60, 0);
  veventProcess();  // SIGTERM ends it too
  stop();
  vserviceDestroy(service);
  vfsFreePath(server.marker);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // A file past the size limit is a failed write, said as any other.
  std::signal(SIGXFSZ, SIG_IGN);
  // Before the framework starts: its first look at the display picks the back-end.
  if (!vwidgetsDisplayChosen("vhelpsrv")) return 1;
  vsysMain(argc, argv, serverMain);
}
