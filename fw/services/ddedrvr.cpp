// The DDE driver (`ddedrvr.cpp`, transport "dde", started with the socket driver by the channel
// layer) keeps one DDE instance per module context, the topic "vcomm", the listener (service handle
// -> channel) and conversation (conversation handle -> channel) dictionaries and one processing
// event of priority 191. DDE callbacks only record and schedule a channel's record; the event's
// handler takes the list, makes a fresh event and processes each record (opened, received bytes,
// write completions, disconnect), holding every record of the list so that a close from a callback
// only marks a record to free afterwards. Items are the payload and trailing bytes whose last one
// is their count, rewritten when the system grows the handle; an item whose count is 0 or larger
// than the item is a protocol error that ends the conversation. A client write whose poke fails
// reports event 6 and 0 bytes. Each callback of the shim counts as an arrival for `WaitMessage`, so
// a loop waiting natively sees the events the callback posted.
// Where it differs from the plain rules, for soundness: a service's end takes no more pokes while
// 256 KiB it received wait unread (the poke is held back with its conversation until half of that
// has been read), so a peer that keeps poking calls cannot grow the service without bound.

#include "fw/services/ddedrvr.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "fw/core/dict.h"
#include "fw/core/event.h"
#include "fw/core/mem.h"
#include "fw/core/sys.h"
#include "fw/services/vcomm.h"
#include "platform/net/dde.h"
#include "platform/win.h"

namespace {

constexpr int kProcessingPriority = 191;
constexpr win::DWORD kTimeout = 5000;

enum : std::uint32_t {
  kActive = 0x1,
  kOpenedPending = 0x2,
  kDisconnectPending = 0x4,
  kReceivedPending = 0x8,
  kCompletionsPending = 0x10,
  kQueued = 0x20,
  kFreeWhenDone = 0x40,
  kBlocked = 0x80,  // the conversation is held until what it sent is read
};
constexpr std::size_t kUnreadLimit = 256 * 1024;
enum Mode : int { kListener = 0, kServerSide = 1, kClientSide = 2 };

struct DdeBlock {
  DdeBlock* next;
  char* data;
  std::size_t length;
  std::size_t start;  // bytes already read from the front (incoming only)
};
struct DdeQueue {
  DdeBlock* head;
  DdeBlock* tail;
  std::size_t total;
};

struct DdeRecord {
  win::HSZ service;
  win::HCONV conv;
  win::HSZ item;
  int mode;
  std::uint32_t flags;
  DdeQueue incoming, outgoing;
  vcommChannel* channel;
  int depth;
  int completions;
  std::size_t undeliveredLength;
  std::size_t undeliveredCapacity;  // grown by doubling: a burst of items costs each byte once
  char* undelivered;
  DdeRecord* nextProcess;
};

struct DriverState {
  win::DWORD instance;
  win::HSZ topic;
  vname computer;
  vname dde;
  vdict* listeners;      // service string handle -> channel
  vdict* conversations;  // conversation handle -> channel
  vevent* event;
  DdeRecord* list;  // waiting for processing, newest first
  vcommDriver driver;
  bool started;
  bool unopenedExit;  // the exit for conversations no client saw is registered
};
void** driverSlot = nullptr;

DriverState* ds() { return driverSlot && *driverSlot ? static_cast<DriverState*>(*driverSlot) : nullptr; }
DdeRecord* recordOf(vcommChannel* c) { return static_cast<DdeRecord*>(c->priv); }

[[noreturn]] void addressFailure(vcommAddress* a, const char* message) {
  _vexGenerate(&vexCommunicationAddressClass, vcommSetAddress, a, vexSetMessage, message, vexEnd);
}

[[noreturn]] void noRecord(const char* procedure) {
  _vexGenerate(&vexArgClass, vexSetProcedure, procedure, vexEnd);
}

// Blocks.
void append(DdeQueue* q, const char* data, std::size_t length) {
  auto* b = static_cast<DdeBlock*>(vmemAlloc(sizeof(DdeBlock)));
  b->next = nullptr;
  b->data = static_cast<char*>(vmemAlloc(std::max<std::size_t>(length, 1)));
  std::memcpy(b->data, data, length);
  b->length = length;
  b->start = 0;
  if (q->tail) q->tail->next = b;
  else q->head = b;
  q->tail = b;
  q->total += length;
}

void dropFirst(DdeQueue* q) {
  DdeBlock* b = q->head;
  q->head = b->next;
  if (!q->head) q->tail = nullptr;
  q->total -= b->length - b->start;
  vmemFree(b->data);
  vmemFree(b);
}

void empty(DdeQueue* q) {
  while (q->head) dropFirst(q);
}

void freeRecord(DdeRecord* r) {
  empty(&r->incoming);
  empty(&r->outgoing);
  vmemFree(r->undelivered);
  vmemFree(r);
}

DdeRecord* newRecord(vcommChannel* c, int mode) {
  auto* r = static_cast<DdeRecord*>(vmemAllocClear(sizeof(DdeRecord)));
  r->mode = mode;
  r->channel = c;
  c->priv = r;
  return r;
}

// Scheduling: a record is queued once, and one event carries the list.
int processHandler(vevent* e);

void makeEvent(DriverState* s) {
  s->event = veventCreateClient(processHandler, nullptr);
  s->event->priority = kProcessingPriority;
}

void schedule(DdeRecord* r) {
  DriverState* s = ds();
  if (!(r->flags & kQueued)) {
    r->flags |= kQueued;
    r->nextProcess = s->list;
    s->list = r;
  }
  if (!(s->event->flags & veventQUEUED)) veventPost(s->event);
}

void unschedule(DdeRecord* r) {
  DriverState* s = ds();
  for (DdeRecord** p = &s->list; *p; p = &(*p)->nextProcess)
    if (*p == r) {
      *p = r->nextProcess;
      break;
    }
  r->flags &= ~kQueued;
}

std::size_t unread(const DdeRecord* r) { return r->undeliveredLength + r->incoming.total; }

void letGoOn(DdeRecord* r) {
  if (!(r->flags & kBlocked) || unread(r) > kUnreadLimit / 2) return;
  r->flags &= ~kBlocked;
  if (r->conv) win::DdeEnableCallback(ds()->instance, r->conv, win::EC_ENABLEALL);
}

void notify(DdeRecord* r, int event) {
  vcommChannel* c = r->channel;
  if (c && c->notify) vexTry([c, event] { c->notify(c, event); });
}

void process(DdeRecord* r) {
  ++r->depth;
  if (r->channel && (r->flags & kOpenedPending)) {
    r->flags &= ~kOpenedPending;
    notify(r, vcommEVENT_OPENED);
  }
  if (r->channel && (r->flags & kReceivedPending)) {
    r->flags &= ~kReceivedPending;
    char* data = r->undelivered;
    std::size_t length = r->undeliveredLength;
    r->undelivered = nullptr;
    r->undeliveredLength = r->undeliveredCapacity = 0;
    std::size_t taken = 0;
    vexTry([&] { taken = vcommDeliver(r->channel, data, length); });
    if (taken < length && r->channel) {
      append(&r->incoming, data + taken, length - taken);
      vmemFree(data);
      notify(r, vcommEVENT_DATA);
    } else {
      vmemFree(data);
    }
    if (r->channel) letGoOn(r);
  }
  if (r->channel && (r->flags & kCompletionsPending)) {
    r->flags &= ~kCompletionsPending;
    while (r->completions > 0 && r->channel) {
      --r->completions;
      notify(r, vcommEVENT_BLOCK_SENT);
    }
    if (r->channel && !r->outgoing.total) notify(r, vcommEVENT_SENT);
  }
  if (r->channel && (r->flags & kDisconnectPending) && !(r->flags & kFreeWhenDone)) {
    r->flags &= ~kDisconnectPending;
    vcommChannel* c = r->channel;
    if (c->flags & vcommChannelOPEN) {
      vexTry([c] { vcommClose(c); });
    } else {
      // Ended before its advise loop started: no client ever saw it.
      c->driver = &ds()->driver;
      c->driver->close(c);
      vcommChannelDestroy(c);
    }
  }
  if (--r->depth == 0 && (r->flags & kFreeWhenDone)) freeRecord(r);
}

int processHandler(vevent*) {
  DriverState* s = ds();
  if (!s || !s->started) return 1;
  DdeRecord* list = s->list;
  s->list = nullptr;
  makeEvent(s);
  // Every record of the list is held while the list is walked, so that a
  // close from one record's callback cannot free another still to come.
  for (DdeRecord* r = list; r; r = r->nextProcess) ++r->depth;
  for (DdeRecord* r = list; r;) {
    DdeRecord* next = r->nextProcess;
    r->flags &= ~kQueued;
    process(r);
    if (--r->depth == 0 && (r->flags & kFreeWhenDone)) freeRecord(r);
    r = next;
  }
  return 1;
}

// Data items: the payload, then trailing bytes whose last one is their
// count; the count is written again when the system grows the item.
win::HDDEDATA makeItem(DriverState* s, const void* data, std::size_t length, win::HSZ item) {
  auto n = static_cast<win::DWORD>(length);
  win::HDDEDATA h = win::DdeCreateDataHandle(s->instance, static_cast<const win::BYTE*>(data), n, 0, item,
                                            win::CF_TEXT, 0);
  if (!h) return nullptr;
  win::DWORD size = win::DdeGetData(h, nullptr, 0, 0);
  if (size == n) ++size;
  for (int i = 0; i < 2; ++i) {
    auto count = static_cast<win::BYTE>(size - n);
    win::DdeAddData(h, &count, 1, size - 1);
    win::DWORD now = win::DdeGetData(h, nullptr, 0, 0);
    if (now == size) break;
    size = now;
  }
  return h;
}

// The payload of a received item; false for one whose count does not fit.
bool readItem(win::HDDEDATA h, char** data, std::size_t* length) {
  win::DWORD size = win::DdeGetData(h, nullptr, 0, 0);
  *data = nullptr;
  *length = 0;
  if (!size) return true;
  auto* bytes = static_cast<char*>(vmemAlloc(size));
  win::DdeGetData(h, reinterpret_cast<win::BYTE*>(bytes), size, 0);
  auto count = static_cast<unsigned char>(bytes[size - 1]);
  if (count == 0 || count > size) {
    vmemFree(bytes);
    return false;
  }
  *data = bytes;
  *length = size - count;
  return true;
}

vcommChannel* conversationChannel(win::HCONV conv) {
  DriverState* s = ds();
  return conv ? static_cast<vcommChannel*>(vdictGet(s->conversations, conv)) : nullptr;
}

void textOf(win::HSZ h, char* buffer, win::DWORD size) {
  buffer[0] = '\0';
  win::DdeQueryStringA(ds()->instance, h, buffer, size, win::CP_WINANSI);
}

void serverSideStarts(vcommChannel* c, win::HCONV conv, win::HSZ item) {
  DriverState* s = ds();
  DdeRecord* r = recordOf(c);
  char name[256];
  textOf(item, name, sizeof name);
  r->conv = conv;
  r->item = win::DdeCreateStringHandleA(s->instance, name, win::CP_WINANSI);
  r->mode = kServerSide;
  r->flags |= kActive;
  vcommAddressClear(&c->peer);
  vcommAddressSetTransport(&c->peer, c->local.transport);
  vcommAddressSetLocation(&c->peer, c->local.location ? vscribeCString(c->local.location) : nullptr);
  vcommAddressSetPort(&c->peer, vscribeCString(name));
  vcommNotify saved = c->notify;
  c->notify = nullptr;
  vexTry([c] { vcommConnect(c); });
  c->notify = saved;
  r->flags |= kOpenedPending;
  schedule(r);
}

void opClose(vcommChannel* c);

// Conversations whose advise loop never started: no client saw their
// channels, so they go with the driver.
void dropUnopened() {
  DriverState* s = ds();
  if (!s || !s->started) return;
  bool found = true;
  while (found) {
    found = false;
    vdictIterator it;
    vdictInitIterator(&it, s->conversations);
    while (vdictNextIterator(&it)) {
      auto* c = static_cast<vcommChannel*>(vdictIteratorValue(&it));
      if (c->flags & vcommChannelOPEN) continue;
      opClose(c);
      vcommChannelDestroy(c);
      found = true;
      break;
    }
  }
}

win::HDDEDATA answer(win::UINT type, win::HCONV conv, win::HSZ hsz1, win::HSZ hsz2, win::HDDEDATA data) {
  DriverState* s = ds();
  if (!s || !s->started) return nullptr;
  if (type == win::XTYP_DISCONNECT) {
    if (vcommChannel* c = conversationChannel(conv)) {
      recordOf(c)->flags |= kDisconnectPending;
      schedule(recordOf(c));
    }
    return nullptr;
  }
  if (win::DdeCmpStringHandles(hsz1, s->topic) != 0) return nullptr;
  const auto ack = reinterpret_cast<win::HDDEDATA>(win::DDE_FACK);
  switch (type) {
    case win::XTYP_CONNECT:
      return vdictGet(s->listeners, hsz2) ? reinterpret_cast<win::HDDEDATA>(1) : nullptr;
    case win::XTYP_CONNECT_CONFIRM: {
      auto* listener = static_cast<vcommChannel*>(vdictGet(s->listeners, hsz2));
      if (!listener) return nullptr;
      if (!s->unopenedExit) {
        // Registered after the channel layer's exit, so it runs first,
        // while the channel pool is still there.
        s->unopenedExit = true;
        vmoduleAddContextExitProc(dropUnopened);
      }
      vcommChannel* c = vcommChannelCreate();
      c->notify = listener->notify;
      c->client = listener->client;
      vcommAddressCopy(&listener->local, &c->local);
      DdeRecord* r = newRecord(c, kServerSide);
      r->conv = conv;
      vdictStore(s->conversations, conv, c);
      return nullptr;
    }
    case win::XTYP_ADVSTART: {
      vcommChannel* c = conversationChannel(conv);
      if (!c || recordOf(c)->item) return nullptr;
      serverSideStarts(c, conv, hsz2);
      return reinterpret_cast<win::HDDEDATA>(1);
    }
    case win::XTYP_ADVREQ: {
      vcommChannel* c = conversationChannel(conv);
      DdeRecord* r = c ? recordOf(c) : nullptr;
      if (!r || !r->outgoing.head) return nullptr;
      win::HDDEDATA h = makeItem(s, r->outgoing.head->data, r->outgoing.head->length, r->item);
      dropFirst(&r->outgoing);
      ++r->completions;
      r->flags |= kCompletionsPending;
      schedule(r);
      if (r->outgoing.head) win::DdePostAdvise(s->instance, s->topic, r->item);
      return h;
    }
    case win::XTYP_ADVDATA:
    case win::XTYP_POKE: {
      vcommChannel* c = conversationChannel(conv);
      if (!c || !data) return ack;
      DdeRecord* r = recordOf(c);
      // A client reads all it is sent; a service's end reads as it can.
      if (r->mode == kServerSide && unread(r) >= kUnreadLimit) {
        r->flags |= kBlocked;
        return win::CBR_BLOCK;
      }
      char* bytes;
      std::size_t length;
      if (!readItem(data, &bytes, &length)) {
        // Not an item of ours: the conversation cannot be trusted further.
        r->flags |= kDisconnectPending;
        schedule(r);
        return ack;
      }
      if (!length) return ack;
      std::size_t need = r->undeliveredLength + length;
      if (need > r->undeliveredCapacity) {
        std::size_t capacity = std::max(need, 2 * r->undeliveredCapacity);
        char* grown = nullptr;
        if (!vexTry([&] { grown = static_cast<char*>(vmemRealloc(r->undelivered, capacity)); })) {
          vmemFree(bytes);
          return nullptr;  // not taken: memory ran out
        }
        r->undelivered = grown;
        r->undeliveredCapacity = capacity;
      }
      std::memcpy(r->undelivered + r->undeliveredLength, bytes, length);
      r->undeliveredLength += length;
      vmemFree(bytes);
      r->flags |= kReceivedPending;
      schedule(r);
      return ack;
    }
    case win::XTYP_ADVSTOP:
      if (vcommChannel* c = conversationChannel(conv)) recordOf(c)->flags &= ~kActive;
      return nullptr;
    default:
      return nullptr;
  }
}

// Another program's transaction: what cannot be answered (memory running
// out on its data) is not processed, and the program goes on.
win::HDDEDATA CALLBACK_ddeCallback(win::UINT type, win::UINT, win::HCONV conv, win::HSZ hsz1, win::HSZ hsz2,
                                   win::HDDEDATA data, win::ULONG_PTR, win::ULONG_PTR) {
  win::HDDEDATA result = nullptr;
  if (!vexTry([&] { result = answer(type, conv, hsz1, hsz2, data); })) return nullptr;
  return result;
}

bool isComputer(const char* location) {
  DriverState* s = ds();
  return location && s->computer && vcstrCompareNoCase(location, s->computer) == 0;
}

// The driver's operations.
vcommChannel* opListen(vcommAddress* a, vcommNotify notify) {
  DriverState* s = ds();
  char name[64];
  const char* port = a->port && *a->port ? a->port : nullptr;
  if (!port) {
    std::snprintf(name, sizeof name, "vcomm%x", static_cast<unsigned>(win::GetTickCount()));
    port = name;
  }
  win::HSZ service = win::DdeCreateStringHandleA(s->instance, port, win::CP_WINANSI);
  if (!service || vdictGet(s->listeners, service) ||
      !win::DdeNameService(s->instance, service, nullptr, win::DNS_REGISTER)) {
    if (service) win::DdeFreeStringHandle(s->instance, service);
    addressFailure(a, "DdeNameService() failed");
  }
  vcommChannel* c = vcommChannelCreate();
  c->notify = notify;
  vcommAddressSetTransport(&c->local, a->transport);
  vcommAddressSetLocation(&c->local, vscribeCString(s->computer));
  vcommAddressSetPort(&c->local, vscribeCString(port));
  vcommAddressSetTransport(&c->peer, a->transport);
  DdeRecord* r = newRecord(c, kListener);
  r->service = service;
  vdictStore(s->listeners, service, c);
  return c;
}

void opConnect(vcommChannel* c) {
  if ((c->flags & vcommChannelOPEN) || c->priv) return;
  DriverState* s = ds();
  vcommAddress* peer = &c->peer;
  if (peer->location && *peer->location && !isComputer(peer->location))
    addressFailure(peer, "DDE reaches only this computer");
  if (!peer->location || !*peer->location) vcommAddressSetLocation(peer, vscribeCString(s->computer));
  if (!peer->port || !*peer->port) addressFailure(peer, "DDE driver needs address port specified");
  win::HSZ service = win::DdeCreateStringHandleA(s->instance, peer->port, win::CP_WINANSI);
  win::HCONV conv = win::DdeConnect(s->instance, service, s->topic, nullptr);
  win::DdeFreeStringHandle(s->instance, service);
  if (!conv) addressFailure(peer, "DdeConnect() failed");
  char name[32];
  std::snprintf(name, sizeof name, "%x%x", static_cast<unsigned>(win::GetCurrentProcessId()),
                static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(conv)));
  vcommAddressSetTransport(&c->local, s->dde);
  vcommAddressSetLocation(&c->local, vscribeCString(s->computer));
  vcommAddressSetPort(&c->local, vscribeCString(name));
  DdeRecord* r = newRecord(c, kClientSide);
  r->conv = conv;
  r->item = win::DdeCreateStringHandleA(s->instance, name, win::CP_WINANSI);
  r->flags |= kActive;
  vdictStore(s->conversations, conv, c);
  win::DWORD result = 0;
  if (!win::DdeClientTransaction(nullptr, 0, conv, r->item, win::CF_TEXT, win::XTYP_ADVSTART, kTimeout, &result)) {
    vdictRemove(s->conversations, conv);
    win::DdeDisconnect(conv);
    win::DdeFreeStringHandle(s->instance, r->item);
    c->priv = nullptr;
    freeRecord(r);
    addressFailure(peer, "DDE advise loop failed");
  }
}

void opClose(vcommChannel* c) {
  DriverState* s = ds();
  DdeRecord* r = recordOf(c);
  if (!r) return;
  if (r->mode == kListener) {
    win::DdeNameService(s->instance, r->service, nullptr, win::DNS_UNREGISTER);
    vdictRemove(s->listeners, r->service);
    win::DdeFreeStringHandle(s->instance, r->service);
  } else {
    if (r->conv) {
      if (conversationChannel(r->conv) == c) vdictRemove(s->conversations, r->conv);
      win::DdeDisconnect(r->conv);
    }
    if (r->item) win::DdeFreeStringHandle(s->instance, r->item);
  }
  r->conv = nullptr;
  r->item = r->service = nullptr;
  empty(&r->incoming);
  empty(&r->outgoing);
  r->channel = nullptr;
  c->priv = nullptr;
  if (r->depth > 0 || (r->flags & kQueued)) {
    r->flags |= kFreeWhenDone;
  } else {
    freeRecord(r);
  }
}

long opAvailable(vcommChannel* c) { return c->priv ? static_cast<long>(recordOf(c)->incoming.total) : 0; }
long opPendingOutput(vcommChannel* c) { return c->priv ? static_cast<long>(recordOf(c)->outgoing.total) : 0; }

long opRead(vcommChannel* c, void* buffer, std::size_t length) {
  DdeRecord* r = recordOf(c);
  if (!r) noRecord("_ddeRead");
  if (c->receiveCount > 0) {
    vcommPostReceive(c, buffer, length);
    return 0;
  }
  auto* to = static_cast<char*>(buffer);
  std::size_t copied = 0;
  while (copied < length && r->incoming.head) {
    // A large block is read in slices: moving its start, never its bytes,
    // keeps a burst of many calls linear.
    DdeBlock* b = r->incoming.head;
    std::size_t n = std::min(length - copied, b->length - b->start);
    std::memcpy(to + copied, b->data + b->start, n);
    copied += n;
    if (n == b->length - b->start) {
      dropFirst(&r->incoming);
    } else {
      b->start += n;
      r->incoming.total -= n;
    }
  }
  if (copied < length) vcommPostReceive(c, to + copied, length - copied);
  letGoOn(r);
  return static_cast<long>(copied);
}

long opWrite(vcommChannel* c, const void* buffer, std::size_t length) {
  DriverState* s = ds();
  DdeRecord* r = recordOf(c);
  if (!r) noRecord("_ddeWrite");
  if (r->flags & kDisconnectPending) return 0;
  if (r->mode == kServerSide) {
    append(&r->outgoing, static_cast<const char*>(buffer), length);
    win::DdePostAdvise(s->instance, s->topic, r->item);
    return 0;
  }
  win::HDDEDATA h = makeItem(s, buffer, length, r->item);
  win::DWORD result = 0;
  if (!h || !win::DdeClientTransaction(reinterpret_cast<const win::BYTE*>(h), win::CB_HANDLE, r->conv, r->item,
                                       win::CF_TEXT, win::XTYP_POKE, kTimeout, &result)) {
    // A poke that was not taken delivered nothing: say so.
    win::DdeGetLastError(s->instance);
    notify(r, vcommEVENT_ERROR);
    return 0;
  }
  return static_cast<long>(length);
}

void opFlush(vcommChannel*) {}

int opWait(vcommChannel* c, long nanoseconds, long seconds) {
  DdeRecord* r = recordOf(c);
  if (!r) noRecord("_ddeWait");
  constexpr win::UINT_PTR kTimer = 0xDDE;
  win::HWND task = vsysGetTaskWindow();
  long ms = nanoseconds / 1000000 + seconds * 1000;
  if (!win::SetTimer(task, kTimer, static_cast<win::UINT>(std::max(ms, 0L)), nullptr))
    vexGenerateMessage(&vexModuleLimitClass, "no timer left");
  ++r->depth;  // a close meanwhile leaves the record to us
  bool fired = false;
  while (!(r->flags & kQueued) && !fired) {
    // A quit signal wakes the wait but posts no WM_QUIT: it ends the wait all the same.
    if (veventQuitPending()) break;
    win::MSG m;
    if (!win::PeekMessageA(&m, nullptr, 0, 0, win::PM_REMOVE)) {
      // The look may itself have run a DDE callback that queued the record.
      if (!(r->flags & kQueued)) win::WaitMessage();
      continue;
    }
    if (m.message == win::WM_QUIT) {
      win::PostQuitMessage(static_cast<int>(m.wParam));  // a quit ends the wait; the loop outside acts on it
      break;
    }
    if (m.message == win::WM_TIMER && m.hwnd == task && m.wParam == kTimer) {
      fired = true;
    } else {
      win::DispatchMessageA(&m);
    }
  }
  win::KillTimer(task, kTimer);
  int result = 0;
  if (r->flags & kQueued) {
    unschedule(r);
    process(r);
    result = 1;
  }
  if (--r->depth == 0 && (r->flags & kFreeWhenDone)) freeRecord(r);
  return result;
}

int opGetOption(vcommChannel*, int, long*) { return 0; }
int opSetOption(vcommChannel*, int, long) { return 0; }

void driverExit() {
  DriverState* s = ds();
  if (!s || !s->started) return;
  s->started = false;
  while (DdeRecord* r = s->list) {
    s->list = r->nextProcess;
    r->flags &= ~kQueued;
    if (r->flags & kFreeWhenDone) freeRecord(r);
  }
  win::DdeFreeStringHandle(s->instance, s->topic);
  win::DdeUninitialize(s->instance);
  vdictDestroy(s->listeners);
  vdictDestroy(s->conversations);
  veventDestroy(s->event);
  *s = DriverState{};
}

}  // namespace

vname vcommDdeDriverStartup() {
  if (auto* bound = vmoduleState<DriverState>(driverSlot)) return bound->dde;
  auto* s = static_cast<DriverState*>(vmoduleBindSlot(driverSlot, sizeof(DriverState)));
  *s = DriverState{};
  s->dde = vnameInternLiteral("dde");
  char computer[64];
  win::DWORD size = sizeof computer;
  s->computer = win::GetComputerNameA(computer, &size) ? vnameInternLiteral(computer) : vnameInternLiteral("");
  if (win::DdeInitializeA(&s->instance, CALLBACK_ddeCallback, win::APPCMD_FILTERINITS, 0) != win::DMLERR_NO_ERROR)
    vexGenerateMessage(&vexModuleStartupClass, "cannot start DDE");
  s->topic = win::DdeCreateStringHandleA(s->instance, "vcomm", win::CP_WINANSI);
  s->listeners = vdictCreate(vdictHashPointer);
  s->conversations = vdictCreate(vdictHashPointer);
  s->driver = vcommDriver{s->dde, opListen, opConnect, opClose, opAvailable, opPendingOutput, opRead,
                          opWrite, opFlush, opWait, opGetOption, opSetOption};
  vcommRegisterDriver(s->dde, &s->driver);
  makeEvent(s);
  s->started = true;
  vmoduleAddContextExitProc(driverExit);
  return s->dde;
}

vcommDriver* vcommDdeDriverGet() {
  vcommDdeDriverStartup();
  return ds() && ds()->started ? &ds()->driver : nullptr;
}

unsigned long vcommDdeDriverGetConversation(vcommChannel* channel) {
  if (!channel || !ds() || channel->driver != &ds()->driver || !channel->priv) return 0;
  return static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(recordOf(channel)->conv));
}
