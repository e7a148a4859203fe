// Communication channels: one byte-stream interface over the transports
// that drivers register by name ("tcp", "udp", "dde"). Reading is
// asynchronous: the client posts receive buffers, the driver fills them and
// tells the client through the channel's callback.
//
// Channels (`vcomm.h`): per module context, the open-channel vector (grown to 2n + 2 when full,
// halved after a close when more than 8 remain in under half of it), the driver dictionary, address
// and channel pools, and an exit that closes every open channel newest first, each under its own
// frame. The channel's open flag is cleared before the driver's close runs, so a driver that raises
// leaves no half-open channel. Exceptions: `Communication` and its `Address` (with
// `UnknownTransport`) and `Channel` (with `NotOpen`, `Read`, `Write`) classes, each with its
// address or channel; errnum carries the Windows Sockets code. The default transport ("tcp" then
// "dde", or "dde" then "tcp" when the preference "vcommlocal" is set) gets one retry outside the
// frame. The start-up row "vcommGetDefaultClass" is filled by `vcommInstallStartup`.
#pragma once
#include <cstddef>
#include <cstdint>

#include "fw/core/ex.h"
#include "fw/core/name.h"
#include "fw/core/scribe.h"

struct vcommAddress {
  vname transport;
  vstr* location;
  vstr* port;
  std::uint32_t flags;    // vcommAddressVALID
  std::uint16_t portNumber;  // network order
  std::uint32_t ipAddress;   // network order
};
enum : std::uint32_t { vcommAddressVALID = 0x2 };

struct vcommChannel;
struct vcommDriver;
using vcommNotify = void (*)(vcommChannel* channel, int event);

struct vcommChannel {
  vcommDriver* driver;
  vcommAddress local;
  vcommAddress peer;
  vcommNotify notify;
  void* client;
  void* priv;  // the driver's record
  std::uint32_t flags;
  // Posted receive buffers, oldest first.
  int receiveCount;
  int receiveCapacity;
  std::size_t receiveWanted;
  std::size_t* receiveLengths;
  char** receiveBuffers;
};
enum : std::uint32_t { vcommChannelOPEN = 0x1, vcommChannelRELEASED = 0x2 };

struct vcommDriver {
  vname name;
  vcommChannel* (*listen)(vcommAddress* address, vcommNotify notify);
  void (*connect)(vcommChannel* channel);
  void (*close)(vcommChannel* channel);
  long (*available)(vcommChannel* channel);
  long (*pendingOutput)(vcommChannel* channel);
  long (*read)(vcommChannel* channel, void* buffer, std::size_t length);
  long (*write)(vcommChannel* channel, const void* buffer, std::size_t length);
  void (*flush)(vcommChannel* channel);
  int (*wait)(vcommChannel* channel, long nanoseconds, long seconds);
  int (*getOption)(vcommChannel* channel, int option, long* value);
  int (*setOption)(vcommChannel* channel, int option, long value);
};

enum : int {
  vcommOPTION_RECEIVE_BUFFER = 1,
  vcommOPTION_SEND_BUFFER = 2,
};

enum : int {
  vcommEVENT_OPENED = 0,
  vcommEVENT_CLOSED = 1,
  vcommEVENT_DATA = 2,
  vcommEVENT_SENT = 3,
  vcommEVENT_FILLED = 4,
  vcommEVENT_BLOCK_SENT = 5,
  vcommEVENT_ERROR = 6,
};

struct vcommAddressException : vexException {
  vcommAddress* address;
};
struct vcommChannelException : vexException {
  vcommChannel* channel;
};
extern const vexClass vexCommunicationClass, vexCommunicationAddressClass,
    vexCommunicationAddressUnknownTransportClass, vexCommunicationChannelClass, vexCommunicationChannelNotOpenClass,
    vexCommunicationChannelReadClass, vexCommunicationChannelWriteClass;
void vcommSetAddress(vexException* e, va_list* ap);  // vcommAddress*
void vcommSetChannel(vexException* e, va_list* ap);  // vcommChannel*

void vcommStartup();
void vcommInstallStartup();
void vcommRegisterDriver(vname transport, vcommDriver* driver);
vcommDriver* vcommFindDriver(vname transport);
vname vcommGetLocalTransport();

void vcommAddressInit(vcommAddress* a);
vcommAddress* vcommAddressCreate();  // zeroed, from the module's pool
void vcommAddressSetTransport(vcommAddress* a, vname transport);
void vcommAddressSetLocation(vcommAddress* a, vscribe* location);
void vcommAddressSetPort(vcommAddress* a, vscribe* port);
void vcommAddressCopy(const vcommAddress* source, vcommAddress* target);
void vcommAddressFree(vcommAddress* a);
void vcommAddressClear(vcommAddress* a);

vcommChannel* vcommChannelCreate();
void vcommChannelDestroy(vcommChannel* channel);

vcommChannel* vcommListen(vcommAddress* address, vcommNotify notify);
void vcommConnect(vcommChannel* channel);
void vcommClose(vcommChannel* channel);
long vcommAvailable(vcommChannel* channel);
long vcommRead(vcommChannel* channel, void* buffer, std::size_t length);
long vcommWrite(vcommChannel* channel, const void* buffer, std::size_t length);
int vcommWait(vcommChannel* channel, long nanoseconds, long seconds);

// For drivers.
void vcommPostReceive(vcommChannel* channel, void* buffer, std::size_t length);
std::size_t vcommDeliver(vcommChannel* channel, const void* bytes, std::size_t count);

// The open-channel vector, for inspection.
int vcommGetOpenCount();
int vcommGetOpenCapacity();
