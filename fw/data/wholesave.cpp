// Whole-file saves onto links, devices and regular files.
#include "fw/data/wholesave.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fw/core/ex.h"

namespace {

[[noreturn]] void failWrite(const std::string& what, const std::string& path, int err) {
  // The message outlives this frame: the exception keeps only a pointer.
  static std::string message;
  message = what + " " + path + ": " + std::strerror(err);
  _vexGenerate(&vfsIOWriteClass, vexSetMessage, message.c_str(), vexSetErrno, err, vexEnd);
}

std::string folderOf(const std::string& path) {
  std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The path a chain of links ends at, whether or not that file exists yet.
std::string followLinks(std::string path) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
    ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
    if (n < 0) failWrite("cannot follow the link", path, errno);
    link.resize(static_cast<std::size_t>(n));
    path = link[0] == '/' ? link : folderOf(path) + "/" + link;
  }
  failWrite("cannot follow the link", path, ELOOP);
}

// A private file made exclusively under a name nobody can guess.
std::string privateFile(const std::string& folder, const std::string& base) {
  std::string name = folder + "/." + base + ".XXXXXX";
  int fd = ::mkstemp(name.data());
  if (fd < 0) failWrite("cannot write in the folder", folder, errno);
  ::close(fd);
  return name;
}

void produceAt(const std::string& temp, const std::function<void(const vfsPath*)>& produce) {
  vfsPath* p = vfsNewPathFromString(temp.c_str());
  vexGuard([&] { produce(p); },
           [&](vexHandler&) {
             vfsFreePath(p);
             std::remove(temp.c_str());
             _vexGenerate(nullptr, vexEnd);
           });
  vfsFreePath(p);
}

// The bytes of from written into the existing file at to, from its start.
void copyInPlace(const std::string& from, const std::string& to) {
  int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) failWrite("cannot read back", from, errno);
  int out = ::open(to.c_str(), O_WRONLY | O_CLOEXEC);
  if (out < 0) {
    int err = errno;
    ::close(in);
    failWrite("cannot write", to, err);
  }
  char buffer[65536];
  int err = 0;
  for (ssize_t n; !err && (n = ::read(in, buffer, sizeof buffer)) != 0;) {
    if (n < 0) {
      if (errno != EINTR) err = errno;
      continue;
    }
    for (ssize_t done = 0; done < n && !err;) {
      ssize_t w = ::write(out, buffer + done, static_cast<std::size_t>(n - done));
      if (w > 0) done += w;
      else if (w == 0) err = ENOSPC;
      else if (errno != EINTR) err = errno;
    }
  }
  ::close(in);
  if (::close(out) != 0 && !err) err = errno;
  if (err) failWrite("cannot write", to, err);
}

}  // namespace

std::string _vdataSaveWhole(const vfsPath* path, int permission, const std::function<void(const vfsPath*)>& produce,
                            bool keepCopy) {
  char text[vfsPATH_BUFFER];
  const std::string target = followLinks(vfsPathToBuffer(path, text));
  const std::string base = target.substr(target.find_last_of('/') + 1);
  struct stat st;
  const bool exists = ::stat(target.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) failWrite("cannot write", target, EISDIR);
  if (exists && !S_ISREG(st.st_mode)) {
    // A device or pipe cannot be renamed over: its bytes are made apart
    // and written into it.
    const char* tmp = std::getenv("TMPDIR");
    std::string copy = privateFile(tmp && *tmp ? tmp : "/tmp", "save");
    produceAt(copy, produce);
    vexGuard([&] { copyInPlace(copy, target); },
             [&](vexHandler&) {
               std::remove(copy.c_str());
               _vexGenerate(nullptr, vexEnd);
             });
    if (keepCopy) return copy;
    std::remove(copy.c_str());
    return "";
  }
  mode_t mode;
  if (exists) {
    mode = st.st_mode & 07777;
  } else {
    mode_t mask = ::umask(0);
    ::umask(mask);
    mode = static_cast<mode_t>(permission ? permission : 0666) & ~mask;
  }
  std::string temp = privateFile(folderOf(target), base);
  produceAt(temp, produce);
  if (::chmod(temp.c_str(), mode) != 0 || ::rename(temp.c_str(), target.c_str()) != 0) {
    int err = errno;
    std::remove(temp.c_str());
    failWrite("cannot replace", target, err);
  }
  return "";
}
