// The system side of the Windows Sockets shim: plain POSIX socket calls
// with the system's constants kept inside, and failures reported as
// Windows Sockets error codes (lastError). Addresses and ports in network
// order.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace win::posix {

struct Inet {
  std::uint16_t port;
  std::uint32_t addr;
};

enum class Option { ReuseAddr, KeepAlive, Broadcast, Linger, SendBuffer, ReceiveBuffer, Type, Error };

int lastError();
void setLastError(int error);
int errorOf(int systemErrno);

int openSocket(int family, int type);  // family 1 local, 2 Internet; type 1 stream, 2 datagram
int closeSocket(int fd);
int isSocket(int fd);
int bindInet(int fd, Inet address);
int connectInet(int fd, Inet address);
int acceptInet(int fd, Inet* peer);
int nameOf(int fd, Inet* address, bool peer);
int listenOn(int fd, int backlog);
long receive(int fd, void* buffer, std::size_t length, bool peek, Inet* from);
long sendBytes(int fd, const void* buffer, std::size_t length, const Inet* to);
int readableCount(int fd, unsigned long* count);
int setNonBlocking(int fd, bool on);
int setOption(int fd, Option option, int value);  // Linger: value is seconds, below 0 off
int getOption(int fd, Option option, int* value);  // Type answers 1 stream or 2 datagram
int shutdownSocket(int fd, int how);

// Local stream sockets under abstract names: nothing in the file system.
int listenAbstract(const std::string& name, int backlog);  // non-blocking
int connectAbstract(const std::string& name);
int acceptLocal(int fd);
// The login name of the user running us (the uid in decimal without one).
std::string userName();

int hostName(char* buffer, std::size_t size);
bool hostByName(const char* name, std::string* official, std::vector<std::uint32_t>* addresses);
bool hostByAddr(std::uint32_t address, std::string* name);
bool serviceByName(const char* name, const char* protocol, std::string* official, std::uint16_t* port,
                   std::string* officialProtocol);
bool serviceByPort(std::uint16_t port, const char* protocol, std::string* official, std::string* officialProtocol);
bool protocolByName(const char* name, std::string* official, int* number);
bool protocolByNumber(int number, std::string* official);

// Readiness of a set of descriptors (epoll underneath).
struct Ready {
  int fd;
  bool in, out, hangup;
};
int watcherCreate();
// None: stop watching. Hang-up alone: told only of a hang-up or an error.
int watcherSet(int watcher, int fd, bool in, bool out, bool hangup = false);
int watcherReady(int watcher, Ready* ready, int max);
// A poll over descriptors for select: events in (1 read, 2 write, 4 except), out as happened.
int pollSockets(std::vector<int>& fds, std::vector<int>& events, int milliseconds);

}  // namespace win::posix
