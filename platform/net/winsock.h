// Windows Sockets 1.1 over POSIX sockets, reached by name through the
// "wsock32.dll" pseudo module. Socket handles are file descriptors.
// Notifications asked for with WSAAsyncSelect are posted to the window
// from the message wait, re-armed as Windows Sockets does.
//
// The Windows Sockets shim (`platform/net/winsock.h`) is our Linux stand-in: `winsock.cpp` keeps
// the Windows Sockets rules (errors, records, the notifications), `posix_socket.cpp` holds every
// system call and constant, so the two sets of names never meet in one file. `WSAAsyncSelect` makes
// the socket non-blocking and puts it in one epoll set, which is a wait descriptor of
// `WaitMessage`; the queue's descriptor watcher (`SetDescriptorWatcher`, run by `PeekMessageA` and
// the wait) posts the notices. An event is armed, posted once, and re-armed as Windows Sockets
// does: FD_READ after a `recv`, FD_ACCEPT after `accept`, FD_WRITE after a send that would block or
// (Linux sends in part) a short send, FD_CLOSE once. A socket whose data waits unread leaves the
// input set until a `recv`, and a peek that finds data re-arms nothing, so the wait never spins on
// data that was announced; it is still watched for a reset or hang-up, which FD_CLOSE tells at once
// even with data unread (as an abortive close does), so a peer whose input is held back is still
// known to have gone. Reverse look-ups read the hosts file only: no name server is asked about
// an address. Sends never raise SIGPIPE.
#pragma once
#include <cstdint>

#include "platform/win.h"

namespace win {

using SOCKET = UINT_PTR;
using u_short = std::uint16_t;
using u_long = std::uint32_t;
using u_int = std::uint32_t;

inline constexpr SOCKET INVALID_SOCKET = ~SOCKET{0};
inline constexpr int SOCKET_ERROR = -1;

inline constexpr int AF_UNIX = 1;
inline constexpr int AF_INET = 2;
inline constexpr int SOCK_STREAM = 1;
inline constexpr int SOCK_DGRAM = 2;
inline constexpr u_long INADDR_ANY = 0;
inline constexpr u_long INADDR_NONE = 0xFFFFFFFFu;

inline constexpr int SOL_SOCKET = 0xFFFF;
inline constexpr int SO_REUSEADDR = 0x0004;
inline constexpr int SO_KEEPALIVE = 0x0008;
inline constexpr int SO_BROADCAST = 0x0020;
inline constexpr int SO_LINGER = 0x0080;
inline constexpr int SO_SNDBUF = 0x1001;
inline constexpr int SO_RCVBUF = 0x1002;
inline constexpr int SO_TYPE = 0x1008;
inline constexpr int SO_ERROR = 0x1007;

inline constexpr int MSG_PEEK = 0x2;
inline constexpr long FIONREAD = 0x4004667F;
inline constexpr long FIONBIO = static_cast<long>(0x8004667Eu);

inline constexpr long FD_READ = 0x01;
inline constexpr long FD_WRITE = 0x02;
inline constexpr long FD_OOB = 0x04;
inline constexpr long FD_ACCEPT = 0x08;
inline constexpr long FD_CONNECT = 0x10;
inline constexpr long FD_CLOSE = 0x20;

inline constexpr int WSAEINTR = 10004;
inline constexpr int WSAEBADF = 10009;
inline constexpr int WSAEACCES = 10013;
inline constexpr int WSAEFAULT = 10014;
inline constexpr int WSAEINVAL = 10022;
inline constexpr int WSAEMFILE = 10024;
inline constexpr int WSAEWOULDBLOCK = 10035;
inline constexpr int WSAEINPROGRESS = 10036;
inline constexpr int WSAENOTSOCK = 10038;
inline constexpr int WSAEOPNOTSUPP = 10045;
inline constexpr int WSAEAFNOSUPPORT = 10047;
inline constexpr int WSAEADDRINUSE = 10048;
inline constexpr int WSAECONNABORTED = 10053;
inline constexpr int WSAECONNRESET = 10054;
inline constexpr int WSAENOTCONN = 10057;
inline constexpr int WSAECONNREFUSED = 10061;
inline constexpr int WSASYSNOTREADY = 10091;
inline constexpr int WSAVERNOTSUPPORTED = 10092;
inline constexpr int WSANOTINITIALISED = 10093;
inline constexpr int WSAHOST_NOT_FOUND = 11001;
inline constexpr int WSANO_DATA = 11004;

struct in_addr {
  u_long s_addr;  // network order
};
struct sockaddr {
  u_short sa_family;
  char sa_data[14];
};
struct sockaddr_in {
  short sin_family;
  u_short sin_port;  // network order
  in_addr sin_addr;
  char sin_zero[8];
};
struct linger {
  u_short l_onoff;
  u_short l_linger;
};
struct hostent {
  char* h_name;
  char** h_aliases;
  short h_addrtype;
  short h_length;
  char** h_addr_list;
};
struct servent {
  char* s_name;
  char** s_aliases;
  short s_port;  // network order
  char* s_proto;
};
struct protoent {
  char* p_name;
  char** p_aliases;
  short p_proto;
};
struct timeval {
  long tv_sec;
  long tv_usec;
};
struct fd_set {
  u_int fd_count;
  SOCKET fd_array[64];  // the set size of Windows Sockets
};
struct WSADATA {
  WORD wVersion;
  WORD wHighVersion;
  char szDescription[257];
  char szSystemStatus[129];
  unsigned short iMaxSockets;
  unsigned short iMaxUdpDg;
  char* lpVendorInfo;
};

// The pseudo module's table: the 44 names of Windows Sockets 1.1 that the
// framework fetches; any other name gives null.
FARPROC WinsockProcAddress(const char* name);

// The functions, as the table gives them.
SOCKET accept(SOCKET s, sockaddr* address, int* length);
int bind(SOCKET s, const sockaddr* address, int length);
int closesocket(SOCKET s);
int connect(SOCKET s, const sockaddr* address, int length);
int ioctlsocket(SOCKET s, long command, u_long* argument);
int getpeername(SOCKET s, sockaddr* address, int* length);
int getsockname(SOCKET s, sockaddr* address, int* length);
int getsockopt(SOCKET s, int level, int option, char* value, int* length);
u_short htons(u_short value);
u_long inet_addr(const char* text);
char* inet_ntoa(in_addr address);
int listen(SOCKET s, int backlog);
u_short ntohs(u_short value);
int recv(SOCKET s, char* buffer, int length, int flags);
int recvfrom(SOCKET s, char* buffer, int length, int flags, sockaddr* from, int* fromLength);
int select(int count, fd_set* readSet, fd_set* writeSet, fd_set* exceptSet, const timeval* timeout);
int send(SOCKET s, const char* buffer, int length, int flags);
int sendto(SOCKET s, const char* buffer, int length, int flags, const sockaddr* to, int toLength);
int setsockopt(SOCKET s, int level, int option, const char* value, int length);
int shutdown(SOCKET s, int how);
SOCKET socket(int family, int type, int protocol);
hostent* gethostbyaddr(const char* address, int length, int type);
hostent* gethostbyname(const char* name);
int gethostname(char* name, int length);
servent* getservbyport(int port, const char* protocol);
servent* getservbyname(const char* name, const char* protocol);
protoent* getprotobynumber(int number);
protoent* getprotobyname(const char* name);
int WSAStartup(WORD version, WSADATA* data);
int WSACleanup();
void WSASetLastError(int error);
int WSAGetLastError();
BOOL WSAIsBlocking();
int WSAUnhookBlockingHook();
int WSACancelBlockingCall();
HANDLE WSAAsyncGetServByName(HWND hwnd, UINT message, const char* name, const char* protocol, char* buffer, int length);
HANDLE WSAAsyncGetServByPort(HWND hwnd, UINT message, int port, const char* protocol, char* buffer, int length);
HANDLE WSAAsyncGetProtoByName(HWND hwnd, UINT message, const char* name, char* buffer, int length);
HANDLE WSAAsyncGetProtoByNumber(HWND hwnd, UINT message, int number, char* buffer, int length);
HANDLE WSAAsyncGetHostByName(HWND hwnd, UINT message, const char* name, char* buffer, int length);
HANDLE WSAAsyncGetHostByAddr(HWND hwnd, UINT message, const char* address, int length, int type, char* buffer,
                             int bufferLength);
int WSACancelAsyncRequest(HANDLE request);
int WSAAsyncSelect(SOCKET s, HWND hwnd, UINT message, long events);
int WSAFDIsSet(SOCKET s, fd_set* set);  // "__WSAFDIsSet" in the table

// Test switches: WSAStartup fails (WSASYSNOTREADY) while set.
void WinsockSetStartupFailure(int fail);
// Posts the notifications that are due (the message wait calls this).
void WinsockPollNotifications();

}  // namespace win
