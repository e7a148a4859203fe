// The default session protocol: an announcement with settings, framed
// operator calls, replies and error replies, and a close handshake.
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
