#include "sysio/open_nonblocking.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

int open_fd_nonblocking(const char* path, int flags, int mode, bool devices) {
  if (path == nullptr) {
    errno = EINVAL;
    return -1;
  }
  // A FIFO opened for writing with no reader fails here (ENXIO) instead
  // of waiting for one.
  const int fd = open(path, flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, static_cast<mode_t>(mode));
  if (fd < 0) return -1;
  struct stat info {};
  if (fstat(fd, &info) != 0) {
    const int err = errno;
    close(fd);
    errno = err;
    return -1;
  }
  const bool allowed = S_ISREG(info.st_mode) || (devices && (S_ISCHR(info.st_mode) || S_ISFIFO(info.st_mode)));
  // The caller's own O_NONBLOCK stays.
  const bool keep_nonblocking = (flags & O_NONBLOCK) != 0;
  if (!allowed ||
      (!keep_nonblocking && fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)) {
    const int err = !allowed ? (S_ISDIR(info.st_mode) ? EISDIR : EINVAL) : errno;
    close(fd);
    errno = err;
    return -1;
  }
  return fd;
}

std::FILE* open_file_nonblocking(const char* path, const char* mode, bool devices) {
  if (path == nullptr || mode == nullptr || mode[0] == '\0') return nullptr;
  const bool both = std::strchr(mode, '+') != nullptr;
  int flags = 0;
  switch (mode[0]) {
    case 'r': flags |= both ? O_RDWR : O_RDONLY; break;
    case 'w': flags |= (both ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC; break;
    case 'a': flags |= (both ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND; break;
    default: return nullptr;
  }
  const int fd = open_fd_nonblocking(path, flags, 0666, devices);
  if (fd < 0) return nullptr;
  std::FILE* file = fdopen(fd, mode);
  if (file == nullptr) close(fd);
  return file;
}
