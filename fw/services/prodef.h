// The default session protocol: an announcement with settings, framed
// operator calls, replies and error replies, and a close handshake.
//
// The channel transport (trachan.cpp) opens a channel from the session's "Transport", "Location"
// and "Port", or takes over an attached open one (handling bytes that arrived before it was the
// channel's owner); the data notification marks the session busy and hands the protocol slices of
// at most 1024 bytes from a stack buffer, so a close from the protocol only closes the channel and
// a destroy waits for the handler's end. The default protocol (prodef.cpp, `prodef.h`) sends the
// 37-byte opening, frames calls (ids 1 to 16777214, name header prepended in the 73 bytes the
// argument scrap reserves), queues calls made while opening and sends them before the session hears
// it is open. Readers of replies and of served calls copy the body into a `_vdasprodefScrap` that
// owns its block, so a statement may keep its result after the receive buffer is reused. Faults
// that leave the stream out of step (a wrong magic, a body under 5 bytes, a length of 0 or over 16
// MiB, a malformed settings field) close the transport without sending anything and fail queued
// calls; the filter then drops whatever follows. The broker client (vdasserv.cpp) reads
// "vdasservLocation", "vdasservTransport" and "vdasservPort" once per module context (root
// dictionary, then its "vdasserv" sub-dictionary; "vdasservUNDEFINED" counts as unset; an integer
// port becomes decimal text), and makes a new address scrap per call; `vdasservGetBrokerAddress`,
// `vdasservCreateServiceScrap` and `vdasservGetAddress` are one function, as are
// `vdasservCreateMatch` and `vdasservCreateMatchStatement`. `vsessionStartup` builds the session
// classes in start-up order. `tests/fw/services/peer/vdas_peer.cpp` serves ping, echo, echoInteger,
// issueCommand and shutdown over tcp or dde; `bench/vdas_roundtrip` forks its own echo server
// (10,000 calls of 1 KiB: mean 31-83 us, median about 77 us per round trip with other builds
// running). `vservice` (service.cpp) owns its held session, primitives by name, begetter and the
// sessions it made; `vserviceSetBegetter` links and starts a begetter. The channel begetter
// (begchan.cpp) listens on the service's "Transport", "Port" and "Location" and clones the service
// session for each peer over a default engine whose channel transport gets the new channel; the
// open runs from a client event. Primitives (prim.cpp) and their contexts (primcont.cpp): reply and
// fail destroy the context, also one whose session closed meanwhile (after raising "Invalid
// session" is decided), and invoke fails a context only while it still exists (a set of live
// contexts).
//
// Figures (`bench/vcomm_loopback`, 64 MiB through a tcp pair on 127.0.0.1 in 16 KiB writes into 64
// KiB posted buffers): 54 ms (1.16 GB/s) on a quiet 8-core machine, 79 ms with other builds
// running; the aim is under 1 s.
#pragma once
#include <cstdint>

#include "fw/services/repdef.h"
#include "fw/services/service.h"
#include "fw/services/session.h"

struct vsessionDefaultProtocol;

struct _vdasprodefFilter : vsessionMessageFilter {
  std::int32_t announce;  // _vdasprodefEXPECT_MAGIC ...
  vsession* session;
  vsessionDefaultProtocol* protocol;
};
enum : std::int32_t {
  _vdasprodefEXPECT_MAGIC = 0,
  _vdasprodefMAGIC_SEEN = 1,
  _vdasprodefSETTINGS_SEEN = 2,
  _vdasprodefDROPPING = 3,  // the stream is out of step: nothing more is read
};

// A call made before the peer's settings arrived.
struct _vdasprodefQueued {
  vsessionBlock block;
  std::uint32_t id;
};

struct vsessionDefaultProtocol : vsessionRootProtocol {
  std::uint32_t nextId;
  _vdasprodefFilter* filter;
  _vdasprodefQueued* queue;
  std::int32_t queueCount;
  std::int32_t queueCapacity;
  std::uint8_t peerField2[6];
  std::uint8_t peerField4[2];
  std::uint8_t peerField3;
  std::uint8_t peerField5;
  std::uint8_t peerVersion;
};
struct vsessionDefaultProtocolClassRec : vsessionRootProtocolClassRec {
  void (*announce)(vsessionDefaultProtocol* self);
};

// A marshalling scrap that owns its block, with room for a message header.
struct _vdasprodefScrap : _vrepdefScrap {
  vsessionBlock own;
};

// One call being served: the id bytes are echoed as received.
struct _vdasprodefContext : _vservicePrimitiveContext {
  std::uint8_t id[4];
  bool* alive;  // cleared when the context goes
};

vsessionDefaultProtocolClassRec* vsessionDefaultProtocolGetClass();
vscrapTypeableClassRec* _vdasprodefGetScrapClass();
_vdasprodefScrap* _vdasprodefCreateScrap(void* datatag, std::int32_t mode);

// The opening each side sends.
inline constexpr std::uint8_t _vdasprodefOpening[37] = {
    'v', 'd', 'a', 's', '.', 'p', 'r', 'o', '.', '1', 0,  // magic
    0, 0, 0, 0x16, 0xFF, 0xFF, 0xFF, 0xFF, 4,               // settings header
    1, 1, 2, 0x20, 0x20, 0x10, 0x08, 0x40, 0x20, 3, 1, 4, 1, 1, 5, 3, 6};
inline constexpr std::uint32_t _vdasprodefMAX_BODY = 16u << 20;
inline constexpr std::uint32_t _vdasprodefLAST_ID = 0xFFFFFF;
