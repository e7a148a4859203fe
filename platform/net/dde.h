// Dynamic Data Exchange for applications of one user on this machine, in
// the shape of the DDE Management Library. A service is a listening local
// socket under the abstract name "wexlin-dde/<user>/<service>"; a
// conversation is one stream connection carrying length-prefixed frames.
// Every callback runs from the message loop (the conversation sockets are
// wait descriptors of WaitMessage), never inside another DDE call; a
// synchronous transaction waits for its answer and meanwhile handles only
// its own conversation's traffic.
//
// The DDE shim (`platform/net/dde.h`) is the DDE Management Library's shape over local stream
// sockets: a registered service listens under the abstract name "wexlin-dde/<user>/<service>"
// (lower case, as DDE names have no case), a conversation is one connection carrying frames of a
// 32-bit length, a kind byte (connect, accept, refuse, advise start and stop, advise data, poke,
// acknowledge), the format and the item. The sockets share one epoll set, a wait descriptor of
// `WaitMessage` with its own descriptor watcher (the queue runs every watcher added), and every
// callback runs from that watcher, never nested in another callback or in a DDE call: `DdeConnect`
// and `DdeClientTransaction` wait (5000 ms; under the virtual clock 100 ms of real time, then the
// clock moves to the deadline) reading only their own conversation and set other frames aside for
// the loop. So a conversation with a server in the same process times out: peers are other
// processes. `DdeSetSizeRounding` (a test switch) rounds handle sizes up to multiples of 16.
// A service's end of a conversation is read in turns and not read while more than 256 KiB of its
// frames wait unhandled or of its answers wait unsent, so a peer that sends and reads nothing cannot
// grow the service; a callback may answer a poke or advise data with `CBR_BLOCK` to hold the
// conversation until `DdeEnableCallback` lets it go on with that same transaction.
#pragma once
#include "platform/win/constants.h"  // CF_TEXT
#include "platform/win/types.h"

namespace win {

struct HSZ__;
struct HCONV__;
struct HDDEDATA__;
using HSZ = HSZ__*;
using HCONV = HCONV__*;
using HDDEDATA = HDDEDATA__*;
using PFNCALLBACK = HDDEDATA (*)(UINT type, UINT format, HCONV conv, HSZ hsz1, HSZ hsz2, HDDEDATA data,
                                 ULONG_PTR data1, ULONG_PTR data2);

inline constexpr int CP_WINANSI = 1004;
inline constexpr DWORD APPCMD_FILTERINITS = 0x20;
inline constexpr UINT DNS_REGISTER = 0x1;
inline constexpr UINT DNS_UNREGISTER = 0x2;
inline constexpr DWORD TIMEOUT_DEFAULT = 5000;
inline constexpr DWORD CB_HANDLE = 0xFFFFFFFFu;  // a client transaction's data is a handle

// Callback types. Connect answers TRUE to accept; advise-request answers a
// data handle; advise-data and poke answer DDE_FACK when taken.
inline constexpr UINT XTYP_CONNECT = 0x1062;
inline constexpr UINT XTYP_CONNECT_CONFIRM = 0x8072;
inline constexpr UINT XTYP_ADVSTART = 0x1030;
inline constexpr UINT XTYP_ADVSTOP = 0x8040;
inline constexpr UINT XTYP_ADVREQ = 0x2022;
inline constexpr UINT XTYP_ADVDATA = 0x4010;
inline constexpr UINT XTYP_POKE = 0x4090;
inline constexpr UINT XTYP_DISCONNECT = 0x80C2;
inline constexpr ULONG_PTR DDE_FACK = 0x8000;
// Answered by a callback: the transaction waits, and the conversation with it.
inline const HDDEDATA CBR_BLOCK = reinterpret_cast<HDDEDATA>(~ULONG_PTR{0});
inline constexpr UINT EC_ENABLEALL = 0x0;
inline constexpr UINT EC_DISABLE = 0x8;

inline constexpr UINT DMLERR_NO_ERROR = 0;
inline constexpr UINT DMLERR_ADVACKTIMEOUT = 0x4000;
inline constexpr UINT DMLERR_DLL_NOT_INITIALIZED = 0x4003;
inline constexpr UINT DMLERR_DLL_USAGE = 0x4004;
inline constexpr UINT DMLERR_INVALIDPARAMETER = 0x4006;
inline constexpr UINT DMLERR_NO_CONV_ESTABLISHED = 0x400A;
inline constexpr UINT DMLERR_NOTPROCESSED = 0x4009;
inline constexpr UINT DMLERR_POKEACKTIMEOUT = 0x400B;
inline constexpr UINT DMLERR_SYS_ERROR = 0x400F;

UINT DdeInitializeA(DWORD* instance, PFNCALLBACK callback, DWORD commands, DWORD reserved);
BOOL DdeUninitialize(DWORD instance);
UINT DdeGetLastError(DWORD instance);  // and clears it

// String handles: one handle per text (without case), counted.
HSZ DdeCreateStringHandleA(DWORD instance, const char* text, int codePage);
BOOL DdeFreeStringHandle(DWORD instance, HSZ hsz);
DWORD DdeQueryStringA(DWORD instance, HSZ hsz, char* buffer, DWORD size, int codePage);
int DdeCmpStringHandles(HSZ a, HSZ b);

HDDEDATA DdeNameService(DWORD instance, HSZ service, HSZ reserved, UINT command);
HCONV DdeConnect(DWORD instance, HSZ service, HSZ topic, void* context);
BOOL DdeDisconnect(HCONV conv);
// Advise start and stop, and poke (data and length, or a data handle with
// CB_HANDLE). TRUE on success; the peer's answer flags go to *result.
HDDEDATA DdeClientTransaction(const BYTE* data, DWORD length, HCONV conv, HSZ item, UINT format, UINT type,
                              DWORD timeout, DWORD* result);
BOOL DdePostAdvise(DWORD instance, HSZ topic, HSZ item);
// Holds (EC_DISABLE) or lets go on (EC_ENABLEALL) one conversation, or every
// conversation of the instance when conv is null.
BOOL DdeEnableCallback(DWORD instance, HCONV conv, UINT command);

// Data handles: a handle passed to a transaction or answered from a
// callback belongs to the library afterwards. DdeGetData with no buffer
// answers the handle's size.
HDDEDATA DdeCreateDataHandle(DWORD instance, const BYTE* source, DWORD length, DWORD offset, HSZ item, UINT format,
                             UINT commands);
HDDEDATA DdeAddData(HDDEDATA data, const BYTE* source, DWORD length, DWORD offset);
DWORD DdeGetData(HDDEDATA data, BYTE* buffer, DWORD size, DWORD offset);
BOOL DdeFreeDataHandle(HDDEDATA data);

// Test switch: made and grown handles round their size up to a multiple
// of 16 while set, as some systems do.
void DdeSetSizeRounding(int on);
// Runs what arrived (the message wait calls this).
void DdePollConversations();

}  // namespace win
