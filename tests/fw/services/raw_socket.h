// Plain loopback sockets for playing a hostile peer; kept apart from the
// window-system socket names the services headers bring in.
#pragma once
#include <string>
#include <vector>

// A stream socket connected to 127.0.0.1:port, or -1.
int rawConnect(const std::string& port);
// Writes the bytes, best effort.
void rawSend(int fd, const char* bytes, int length);
// Closes the socket, with a reset instead of an orderly end when asked.
void rawClose(int fd, bool reset = false);
// A stream socket whose connect to 127.0.0.1:port has started, or -1.
int rawConnectStart(const std::string& port);
// Waits until each socket has read at least want bytes or met its end, or
// until the time is up; the bytes each read (-1 for an error).
std::vector<long> rawReadAtLeast(const std::vector<int>& fds, long want, int milliseconds);
