// Opening a named file without waiting on what the name turns out to be.
#pragma once

#include <cstdio>

// Opens a file as fopen with `mode` would ("r", "rb", "w", "a", "w+b"),
// without ever waiting: a regular file always; with `devices`, also a
// character device (/dev/null) or a FIFO that has someone at its other
// end. Anything else (a directory, a FIFO nobody writes or reads, a
// socket) gives null, with errno EISDIR for a directory and EINVAL for
// any other kind refused (else the failed call's own). The stream blocks
// as usual once open.
std::FILE* open_file_nonblocking(const char* path, const char* mode, bool devices);

// The same for open(2) flags (O_RDONLY, O_CREAT, ...): a descriptor that
// blocks as usual once open, or -1 with errno as above.
int open_fd_nonblocking(const char* path, int flags, int mode, bool devices);
