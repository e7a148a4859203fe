#include "sysio/file_write.h"

#include <fcntl.h>
#include <sys/file.h>
#include <limits.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>

namespace {

constexpr int LINK_HOPS_MAX = 40;
constexpr int NAME_TRIES = 100;
constexpr std::size_t TEMP_BASE_MAX = 200;  // leaves room in a 255-byte name
constexpr char NAME_CHARS[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

using result = file_write_result;

// The temporary files writes have under way, for remove_unfinished_files:
// named before they are made and forgotten once renamed or removed (a
// program's own scratch file and the writer's temporary file at most).
struct unfinished_file {
  char name[PATH_MAX];
  volatile std::sig_atomic_t named;
};
constexpr int UNFINISHED_MAX = 4;
unfinished_file unfinished[UNFINISHED_MAX];

unfinished_file* name_unfinished(const std::string& name) {
  if (name.size() >= PATH_MAX) return nullptr;
  for (unfinished_file& u : unfinished) {
    if (u.named != 0) continue;
    std::memcpy(u.name, name.c_str(), name.size() + 1);
    u.named = 1;
    return &u;
  }
  return nullptr;
}

result failure(result::outcome kind, int error) { return {kind, error_cause(error), error}; }

std::string folder_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Where a chain of links ends (the path itself when it is no link); a
// link to nothing yet ends at the name it holds. False (errno set) when
// the chain does not end.
bool follow_links(const std::string& path, std::string& target) {
  target = path;
  for (int hop = 0; hop < LINK_HOPS_MAX; ++hop) {
    struct stat info {};
    if (lstat(target.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return true;
    char text[PATH_MAX];
    const ssize_t n = readlink(target.c_str(), text, sizeof text);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof text) return true;
    const std::string link(text, static_cast<std::size_t>(n));
    target = link.front() == '/' ? link : folder_of(target) + link;
  }
  errno = ELOOP;
  return false;
}

bool write_all(int fd, std::string_view bytes, long long offset) {
  while (!bytes.empty()) {
    const ssize_t n = offset < 0 ? write(fd, bytes.data(), bytes.size())
                                 : pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
    if (offset >= 0) offset += n;
  }
  return true;
}

// Closes fd; a failure of the close counts as one of the writing.
result finish(int fd, bool written, int error) {
  if (close(fd) != 0 && written) {
    written = false;
    error = errno;
  }
  return written ? result{} : failure(result::not_written, error);
}

// The bytes a regular file holds now; false when they cannot be read.
bool read_old(const std::string& target, std::string& old) {
  const int fd = open(target.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  char buffer[65536];
  bool whole = true;
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      whole = n == 0;
      break;
    }
    old.append(buffer, static_cast<std::size_t>(n));
  }
  close(fd);
  return whole;
}

// A regular file overwritten from its start and cut after the bytes. The
// room for them is reserved first, and the old bytes are put back should
// the write fail all the same: a failed save never leaves a cut file.
bool overwrite_regular(int fd, const std::string& target, std::string_view bytes, long long old_size) {
  std::string old;
  const bool kept = read_old(target, old) && static_cast<long long>(old.size()) == old_size;
  const long long size = static_cast<long long>(bytes.size());
  if (size > old_size) {
    const int reserved = posix_fallocate(fd, static_cast<off_t>(old_size), static_cast<off_t>(size - old_size));
    if (reserved != 0 && reserved != EOPNOTSUPP && reserved != EINVAL && reserved != ENODEV) {
      // The old bytes are untouched; only a partial reservation is cut off.
      const int cut = ftruncate(fd, static_cast<off_t>(old_size));
      static_cast<void>(cut);
      errno = reserved;
      return false;
    }
  }
  if (write_all(fd, bytes, 0) && ftruncate(fd, static_cast<off_t>(size)) == 0) return true;
  const int error = errno;
  if (kept && ftruncate(fd, static_cast<off_t>(old_size)) == 0) write_all(fd, old, 0);
  errno = error;
  return false;
}

// A device or FIFO takes the bytes as it takes any; a regular file is
// overwritten (see overwrite_regular).
result write_in_place(const std::string& target, std::string_view bytes) {
  const int fd = open(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    struct stat info {};
    if (errno == ENXIO && stat(target.c_str(), &info) == 0 && S_ISFIFO(info.st_mode))
      return {result::not_opened, "no one reads the FIFO", ENXIO};
    return failure(result::not_opened, errno);
  }
  struct stat info {};
  if (fstat(fd, &info) != 0 || fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    const int error = errno;
    close(fd);
    return failure(result::not_opened, error);
  }
  const bool written = S_ISREG(info.st_mode) ? overwrite_regular(fd, target, bytes, info.st_size)
                                             : write_all(fd, bytes, -1);
  return finish(fd, written, errno);
}

std::string temp_prefix(const std::string& target) {
  const std::string folder = folder_of(target);
  const std::string base = target.substr(folder.size());
  return folder + (base.size() <= TEMP_BASE_MAX ? base : std::string("sim")) + ".";
}

// A regular file (`old` its status) or a new one, through a temporary file
// renamed over it.
result replace_file(const std::string& target, std::string_view bytes, const struct stat* old, unsigned mode) {
  std::string temp;
  const int fd = create_exclusive(temp_prefix(target), temp, mode, true);
  if (fd < 0) {
    const int error = errno;
    if (error != EACCES && error != EPERM) return failure(result::not_opened, error);
    if (old == nullptr) return {result::not_opened, "folder not writable", error};
    return write_in_place(target, bytes);
  }
  if (old != nullptr) {
    // A file shared with a group stays shared with it.
    // (Not a member of its group, the user keeps the new file.)
    if (fchown(fd, old->st_uid, old->st_gid) != 0) {
      const int ignored = fchown(fd, static_cast<uid_t>(-1), old->st_gid);
      static_cast<void>(ignored);
    }
    fchmod(fd, old->st_mode & 07777);
  }
  bool written = write_all(fd, bytes, -1);
  int error = errno;
  if (close(fd) != 0 && written) {
    written = false;
    error = errno;
  }
  if (written && rename(temp.c_str(), target.c_str()) != 0) {
    written = false;
    error = errno;
  }
  if (!written) unlink(temp.c_str());
  forget_unfinished_file(temp);
  return written ? result{} : failure(result::not_written, error);
}

}  // namespace

std::string file_write_result::message(const std::string& path) const {
  const std::string why = cause.empty() ? std::string() : " (" + cause + ")";
  if (kind == not_opened) return "Error opening file." + why;
  return "Error writing file:" + path + why;
}

std::string error_cause(int error) { return std::strerror(error); }

namespace {

// Tries the lock every `poll_ms` until it comes or `give_up` says so.
bool poll_for_lock(int fd, bool (*give_up)(), int poll_ms) {
  for (;;) {
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
    if (errno != EWOULDBLOCK && errno != EINTR) return false;
    if (give_up != nullptr && give_up()) {
      errno = EINTR;
      return false;
    }
    timespec pause{poll_ms / 1000, static_cast<long>(poll_ms % 1000) * 1'000'000L};
    nanosleep(&pause, nullptr);
  }
}

// Takes the lock, waiting for it until it comes or `give_up` says so.
bool wait_for_lock(int fd, bool (*give_up)(), int poll_ms) {
  if (flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
  if (errno != EWOULDBLOCK && errno != EINTR) return false;
  if (poll_ms > 0) return poll_for_lock(fd, give_up, poll_ms);
  // A handler that restarts calls would keep flock waiting through every
  // Ctrl-C: for the wait, SIGINT interrupts it.
  struct sigaction before {};
  bool swapped = false;
  if (give_up != nullptr && sigaction(SIGINT, nullptr, &before) == 0 && (before.sa_flags & SA_RESTART) != 0 &&
      (before.sa_flags & SA_SIGINFO) == 0 && before.sa_handler != SIG_DFL && before.sa_handler != SIG_IGN) {
    struct sigaction during = before;
    during.sa_flags &= ~SA_RESTART;
    swapped = sigaction(SIGINT, &during, nullptr) == 0;
  }
  bool held = false;
  int error = 0;
  for (;;) {
    // A stop that came before the wait began ends it too.
    if (give_up != nullptr && give_up()) {
      error = EINTR;
      break;
    }
    if (flock(fd, LOCK_EX) == 0) {
      held = true;
      break;
    }
    if (errno != EINTR) {
      error = errno;
      break;
    }
  }
  if (swapped) sigaction(SIGINT, &before, nullptr);
  if (!held) errno = error;
  return held;
}

}  // namespace

int lock_for_update(int fd, const std::string& path, bool (*give_up)(), int poll_ms) {
  if (!wait_for_lock(fd, give_up, poll_ms)) return -1;
  struct stat held {}, named {};
  if (fstat(fd, &held) != 0) return -1;
  // A save that renamed a new file over the name while this one waited.
  if (stat(path.c_str(), &named) != 0 || named.st_dev != held.st_dev || named.st_ino != held.st_ino) return 0;
  return 1;
}

int open_for_update(const std::string& path, bool (*give_up)(), int poll_ms) {
  for (int attempt = 0; attempt < NAME_TRIES; ++attempt) {
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return -1;
    const int held = lock_for_update(fd, path, give_up, poll_ms);
    if (held == 1) return fd;
    const int error = errno;
    close(fd);
    if (held < 0) {
      errno = error;
      return -1;
    }
  }
  errno = EAGAIN;
  return -1;
}

void remove_unfinished_files() {
  for (const unfinished_file& u : unfinished)
    if (u.named != 0) unlink(u.name);
}

void forget_unfinished_file(const std::string& name) {
  for (unfinished_file& u : unfinished)
    if (u.named != 0 && name == u.name) u.named = 0;
}

int create_exclusive(const std::string& prefix, std::string& made, unsigned mode, bool unfinished_until_done) {
  for (int attempt = 0; attempt < NAME_TRIES; ++attempt) {
    unsigned char random[6];
    if (getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) return -1;
    std::string name = prefix;
    for (const unsigned char r : random) name += NAME_CHARS[r % (sizeof NAME_CHARS - 1)];
    // Named first: a signal right after the open still finds it.
    unfinished_file* named = unfinished_until_done ? name_unfinished(name) : nullptr;
    const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC,
                        static_cast<mode_t>(mode));
    if (fd >= 0) {
      made = name;
      return fd;
    }
    if (named != nullptr) named->named = 0;
    if (errno != EEXIST) return -1;
  }
  errno = EEXIST;
  return -1;
}

file_write_result write_whole_file(const std::string& path, std::string_view bytes, unsigned mode) {
  std::string target;
  if (!follow_links(path, target)) return failure(result::not_opened, errno);
  struct stat info {};
  if (stat(target.c_str(), &info) != 0) {
    if (errno != ENOENT) return failure(result::not_opened, errno);
    return replace_file(target, bytes, nullptr, mode);
  }
  if (S_ISCHR(info.st_mode) || S_ISFIFO(info.st_mode)) return write_in_place(target, bytes);
  if (S_ISDIR(info.st_mode)) return failure(result::not_opened, EISDIR);
  if (!S_ISREG(info.st_mode)) return {result::not_opened, "not a regular file", EINVAL};
  // What the user may not write is not replaced behind its back.
  if (faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) return failure(result::not_opened, errno);
  return replace_file(target, bytes, &info, mode);
}

file_write_result write_file_at(int fd, long long offset, std::string_view bytes, std::string_view restore) {
  if (write_all(fd, bytes, offset) &&
      ftruncate(fd, static_cast<off_t>(offset + static_cast<long long>(bytes.size()))) == 0)
    return {};
  const int error = errno;
  if (ftruncate(fd, static_cast<off_t>(offset)) == 0) write_all(fd, restore, offset);
  return failure(result::not_written, error);
}
