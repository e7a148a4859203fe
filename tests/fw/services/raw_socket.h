// Plain loopback sockets for playing a hostile peer; kept apart from the
// window-system socket names the services headers bring in.
#pragma once
#include <string>

// A stream socket connected to 127.0.0.1:port, or -1.
int rawConnect(const std::string& port);
// Writes the bytes, best effort.
void rawSend(int fd, const char* bytes, int length);
// Closes the socket, with a reset instead of an orderly end when asked.
void rawClose(int fd, bool reset = false);
