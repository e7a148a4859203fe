#include "fw/services/vcomm.h"

#include <algorithm>
#include <cstring>

#include "fw/core/debug.h"
#include "fw/core/dict.h"
#include "fw/core/mem.h"
#include "fw/core/sys.h"
#include "fw/data/pref.h"
#include "fw/services/ddedrvr.h"
#include "fw/services/sockdrvr.h"

namespace {

void printAddress(vexException* e, std::FILE* stream) {
  const vcommAddress* a = static_cast<vcommAddressException*>(e)->address;
  if (!a) return;
  vdebugFprintf(stream, "\taddress: %s %s %s\n", a->transport ? a->transport : "", a->location ? a->location : "",
                a->port ? a->port : "");
}

void printChannel(vexException* e, std::FILE* stream) {
  char buf[24];
  vdebugFprintf(stream, "\tchannel: %s\n", vdebugPointerText(buf, static_cast<vcommChannelException*>(e)->channel));
}

}  // namespace

const vexClass vexCommunicationClass{&vexRootClass, "Communication", 36, nullptr, sizeof(vexException)};
const vexClass vexCommunicationAddressClass{&vexCommunicationClass, "Address", 40, printAddress,
                                            sizeof(vcommAddressException)};
const vexClass vexCommunicationAddressUnknownTransportClass{&vexCommunicationAddressClass, "UnknownTransport", 40,
                                                            nullptr, sizeof(vcommAddressException)};
const vexClass vexCommunicationChannelClass{&vexCommunicationClass, "Channel", 40, printChannel,
                                            sizeof(vcommChannelException)};
const vexClass vexCommunicationChannelNotOpenClass{&vexCommunicationChannelClass, "NotOpen", 40, nullptr,
                                                   sizeof(vcommChannelException)};
const vexClass vexCommunicationChannelReadClass{&vexCommunicationChannelClass, "Read", 40, nullptr,
                                                sizeof(vcommChannelException)};
const vexClass vexCommunicationChannelWriteClass{&vexCommunicationChannelClass, "Write", 40, nullptr,
                                                 sizeof(vcommChannelException)};

void vcommSetAddress(vexException* e, va_list* ap) {
  static_cast<vcommAddressException*>(e)->address = va_arg(*ap, vcommAddress*);
}
void vcommSetChannel(vexException* e, va_list* ap) {
  static_cast<vcommChannelException*>(e)->channel = va_arg(*ap, vcommChannel*);
}

namespace {

struct CommState {
  int openCount;
  int openCapacity;
  vcommChannel** open;
  vdict* drivers;
  vpool* addresses;
  vpool* channels;
  vname localTransport;   // "dde"
  vname socketTransport;  // "tcp"
};
void** commSlot = nullptr;

void closeAllAtExit();

CommState* state() {
  if (auto* bound = vmoduleState<CommState>(commSlot)) return bound;
  auto* s = static_cast<CommState*>(vmoduleBindSlot(commSlot, sizeof(CommState)));
  *s = CommState{};
  s->drivers = vdictCreate(vdictHashName);
  s->addresses = vpoolCreate(sizeof(vcommAddress));
  s->channels = vpoolCreate(sizeof(vcommChannel));
  s->localTransport = vnameInternLiteral("dde");
  // The drivers start first, so that their exits run after the channels
  // are closed.
  vcommSocketDriverStartup();
  s->socketTransport = vcommSocketDriverGetTransport();
  vexTry([] { vcommDdeDriverStartup(); });
  vmoduleAddContextExitProc(closeAllAtExit);
  return s;
}

void closeAllAtExit() {
  CommState* s = static_cast<CommState*>(*commSlot);
  while (s->openCount > 0) {
    int before = s->openCount;
    vcommChannel* c = s->open[before - 1];
    vexTry([c] { vcommClose(c); });
    if (s->openCount == before) --s->openCount;  // a close that raised early
  }
  vmemFree(s->open);
  vdictDestroy(s->drivers);
  vpoolDestroy(s->addresses);
  vpoolDestroy(s->channels);
  *s = CommState{};
}

void appendOpen(vcommChannel* c) {
  CommState* s = state();
  if (s->openCount == s->openCapacity) {
    int capacity = 2 * s->openCount + 2;
    s->open = static_cast<vcommChannel**>(
        vmemRealloc(s->open, vmemArraySize(static_cast<std::size_t>(capacity), sizeof(vcommChannel*))));
    s->openCapacity = capacity;
  }
  s->open[s->openCount++] = c;
}

void removeOpen(vcommChannel* c) {
  CommState* s = state();
  for (int i = 0; i < s->openCount; ++i)
    if (s->open[i] == c) {
      s->open[i] = s->open[--s->openCount];
      break;
    }
  if (s->openCount > 8 && 2 * s->openCount < s->openCapacity) {
    s->openCapacity /= 2;
    s->open = static_cast<vcommChannel**>(
        vmemRealloc(s->open, vmemArraySize(static_cast<std::size_t>(s->openCapacity), sizeof(vcommChannel*))));
  }
}

// An address without a transport gets the default one; the answer is the
// fallback (none for a transport named by the caller).
vname chooseTransport(vcommAddress* a) {
  if (a->transport && *a->transport) return nullptr;
  CommState* s = state();
  bool local = vprefGetString(vprefGetDefaultDict(), vscribeLiteral("vcommlocal")) != nullptr;
  vname first = local ? s->localTransport : s->socketTransport;
  vname second = local ? s->socketTransport : s->localTransport;
  vcommAddressSetTransport(a, first);
  return second;
}

vcommDriver* driverFor(vcommAddress* a) {
  vcommDriver* d = vcommFindDriver(a->transport);
  if (!d) _vexGenerate(&vexCommunicationAddressUnknownTransportClass, vcommSetAddress, a, vexEnd);
  return d;
}

// Runs step on the address's driver; a failure on a default transport is
// tried once more on the other one.
template <class Step>
vcommDriver* withRetry(vcommAddress* a, Step step) {
  vname fallback = chooseTransport(a);
  vcommDriver* used = nullptr;
  bool retry = false;
  vexGuard(
      [&] {
        used = driverFor(a);
        step(used);
      },
      [&](vexHandler& h) {
        if (!fallback || fallback == a->transport) _vexGenerate(nullptr, vexEnd);
        vexSetCurrentException(h.savedChain);
        retry = true;
      });
  if (retry) {
    vcommAddressSetTransport(a, fallback);
    used = driverFor(a);
    step(used);
  }
  return used;
}

void requireOpen(vcommChannel* c) {
  if (!(c->flags & vcommChannelOPEN)) _vexGenerate(&vexCommunicationChannelNotOpenClass, vcommSetChannel, c, vexEnd);
}

void freeText(vstr*& text) {
  if (text) vstrDestroy(text);
  text = nullptr;
}

void setText(vcommAddress* a, vstr*& text, vscribe* s) {
  freeText(text);
  if (s) text = vstrCloneScribed(s, nullptr);
  a->flags &= ~vcommAddressVALID;
}

}  // namespace

void vcommStartup() { state(); }

void vcommInstallStartup() { vmoduleInstallStartup("vcommGetDefaultClass", vcommStartup); }

void vcommRegisterDriver(vname transport, vcommDriver* driver) { vdictStore(state()->drivers, transport, driver); }

vcommDriver* vcommFindDriver(vname transport) {
  if (!transport) return nullptr;
  return static_cast<vcommDriver*>(vdictGet(state()->drivers, transport));
}

vname vcommGetLocalTransport() { return state()->localTransport; }

int vcommGetOpenCount() { return state()->openCount; }
int vcommGetOpenCapacity() { return state()->openCapacity; }

// Addresses.
void vcommAddressInit(vcommAddress* a) { *a = vcommAddress{}; }

vcommAddress* vcommAddressCreate() {
  auto* a = static_cast<vcommAddress*>(vpoolAlloc(state()->addresses));
  *a = vcommAddress{};
  return a;
}

void vcommAddressSetTransport(vcommAddress* a, vname transport) {
  a->transport = transport;
  a->flags &= ~vcommAddressVALID;
}
void vcommAddressSetLocation(vcommAddress* a, vscribe* location) { setText(a, a->location, location); }
void vcommAddressSetPort(vcommAddress* a, vscribe* port) { setText(a, a->port, port); }

void vcommAddressCopy(const vcommAddress* source, vcommAddress* target) {
  if (source == target) return;
  vcommAddressClear(target);
  *target = *source;
  target->location = source->location ? vstrClone(source->location) : nullptr;
  target->port = source->port ? vstrClone(source->port) : nullptr;
}

void vcommAddressClear(vcommAddress* a) {
  freeText(a->location);
  freeText(a->port);
}

void vcommAddressFree(vcommAddress* a) {
  vcommAddressClear(a);
  CommState* s = state();
  if (vpoolContains(s->addresses, a)) vpoolFree(s->addresses, a);
}

// Channels.
vcommChannel* vcommChannelCreate() {
  auto* c = static_cast<vcommChannel*>(vpoolAlloc(state()->channels));
  *c = vcommChannel{};
  return c;
}

void vcommChannelDestroy(vcommChannel* c) {
  if (!(c->flags & vcommChannelRELEASED)) {
    if (c->flags & vcommChannelOPEN) vcommClose(c);
    c->flags |= vcommChannelRELEASED;
    vcommAddressClear(&c->local);
    vcommAddressClear(&c->peer);
    vmemFree(c->receiveLengths);
    vmemFree(c->receiveBuffers);
    c->receiveLengths = nullptr;
    c->receiveBuffers = nullptr;
    c->receiveCount = c->receiveCapacity = 0;
  }
  CommState* s = state();
  if (vpoolContains(s->channels, c)) vpoolFree(s->channels, c);
}

vcommChannel* vcommListen(vcommAddress* address, vcommNotify notify) {
  vcommChannel* c = nullptr;
  vcommDriver* d = withRetry(address, [&](vcommDriver* driver) { c = driver->listen(address, notify); });
  c->driver = d;
  if (!c->notify) c->notify = notify;
  c->flags |= vcommChannelOPEN;
  appendOpen(c);
  return c;
}

void vcommConnect(vcommChannel* c) {
  if (c->flags & vcommChannelOPEN) return;
  c->driver = withRetry(&c->peer, [&](vcommDriver* driver) { driver->connect(c); });
  c->flags |= vcommChannelOPEN;
  appendOpen(c);
  if (c->notify)
    vexGuard([c] { c->notify(c, vcommEVENT_OPENED); }, [](vexHandler&) { _vexGenerate(nullptr, vexEnd); });
}

void vcommClose(vcommChannel* c) {
  if (!(c->flags & vcommChannelOPEN)) return;
  removeOpen(c);
  c->flags &= ~vcommChannelOPEN;  // cleared first: a driver's close may raise
  c->driver->close(c);
  if (c->notify) c->notify(c, vcommEVENT_CLOSED);
}

long vcommAvailable(vcommChannel* c) {
  requireOpen(c);
  return c->driver->available(c);
}

long vcommRead(vcommChannel* c, void* buffer, std::size_t length) {
  requireOpen(c);
  return c->driver->read(c, buffer, length);
}

long vcommWrite(vcommChannel* c, const void* buffer, std::size_t length) {
  requireOpen(c);
  return c->driver->write(c, buffer, length);
}

int vcommWait(vcommChannel* c, long nanoseconds, long seconds) {
  requireOpen(c);
  return c->driver->wait(c, nanoseconds, seconds);
}

void vcommPostReceive(vcommChannel* c, void* buffer, std::size_t length) {
  if (c->receiveCount == c->receiveCapacity) {
    int capacity = c->receiveCapacity ? 2 * c->receiveCapacity : 4;
    std::size_t n = static_cast<std::size_t>(capacity);
    c->receiveLengths = static_cast<std::size_t*>(vmemRealloc(c->receiveLengths, vmemArraySize(n, sizeof(std::size_t))));
    c->receiveBuffers = static_cast<char**>(vmemRealloc(c->receiveBuffers, vmemArraySize(n, sizeof(char*))));
    c->receiveCapacity = capacity;
  }
  c->receiveLengths[c->receiveCount] = length;
  c->receiveBuffers[c->receiveCount] = static_cast<char*>(buffer);
  ++c->receiveCount;
  c->receiveWanted += length;
}

std::size_t vcommDeliver(vcommChannel* c, const void* bytes, std::size_t count) {
  const char* from = static_cast<const char*>(bytes);
  std::size_t taken = 0;
  int filled = 0;
  while (taken < count && filled < c->receiveCount) {
    std::size_t n = std::min(count - taken, c->receiveLengths[filled]);
    std::memcpy(c->receiveBuffers[filled], from + taken, n);
    taken += n;
    c->receiveWanted -= n;
    if (n == c->receiveLengths[filled]) {
      ++filled;
    } else {
      c->receiveBuffers[filled] += n;
      c->receiveLengths[filled] -= n;
    }
  }
  if (filled) {
    std::size_t rest = static_cast<std::size_t>(c->receiveCount - filled);
    std::memmove(c->receiveLengths, c->receiveLengths + filled, rest * sizeof(std::size_t));
    std::memmove(c->receiveBuffers, c->receiveBuffers + filled, rest * sizeof(char*));
    c->receiveCount -= filled;
  }
  for (int i = 0; i < filled && c->notify; ++i) vexTry([c] { c->notify(c, vcommEVENT_FILLED); });
  return taken;
}
