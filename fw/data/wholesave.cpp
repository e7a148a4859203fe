// Whole-file saves: the framework's bytes handed to the shared writer.
#include "fw/data/wholesave.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fw/core/ex.h"
#include "sysio/file_write.h"

namespace {

[[noreturn]] void failWrite(const std::string& what, const std::string& path, int err, const std::string& cause) {
  // The message outlives this frame: the exception keeps only a pointer.
  static std::string message;
  message = what + " " + path + ": " + cause;
  _vexGenerate(&vfsIOWriteClass, vexSetMessage, message.c_str(), vexSetErrno, err, vexEnd);
}

[[noreturn]] void failWrite(const std::string& what, const std::string& path, int err) {
  failWrite(what, path, err, std::strerror(err));
}

// A private scratch file for produce, made exclusively under a name nobody
// can guess: in TMPDIR, or in /tmp when TMPDIR names no folder it can be
// made in (too long a text, a file, a folder missing or closed to us), so
// that the user's own save does not fail for it.
std::string scratchFile() {
  const char* tmp = std::getenv("TMPDIR");
  std::string folder, name;
  int fd = -1;
  for (const char* candidate : {tmp && *tmp ? tmp : nullptr, "/tmp"}) {
    if (!candidate) continue;
    folder = candidate;
    if ((fd = create_exclusive(folder + "/.save.", name, 0600, true)) >= 0) break;
  }
  if (fd < 0) failWrite("cannot write in the folder", folder, errno);
  ::close(fd);
  return name;
}

void removeScratch(const std::string& scratch) {
  std::remove(scratch.c_str());
  forget_unfinished_file(scratch);
}

void produceAt(const std::string& scratch, const std::function<void(const vfsPath*)>& produce) {
  vfsPath* p = vfsNewPathFromString(scratch.c_str());
  vexGuard([&] { produce(p); },
           [&](vexHandler&) {
             vfsFreePath(p);
             removeScratch(scratch);
             _vexGenerate(nullptr, vexEnd);
           });
  vfsFreePath(p);
}

// The bytes produce wrote; 0, or the errno of a failed read.
int readBack(const std::string& scratch, std::string& bytes) {
  const int fd = ::open(scratch.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  char buffer[65536];
  int err = 0;
  for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) != 0;) {
    if (n > 0) {
      bytes.append(buffer, static_cast<std::size_t>(n));
    } else if (errno != EINTR) {
      err = errno;
      break;
    }
  }
  ::close(fd);
  return err;
}

}  // namespace

std::string _vdataSaveWhole(const vfsPath* path, int permission, const std::function<void(const vfsPath*)>& produce,
                            bool keepCopy) {
  char text[vfsPATH_BUFFER];
  const std::string target = vfsPathToBuffer(path, text);
  const std::string scratch = scratchFile();
  produceAt(scratch, produce);
  std::string bytes;
  if (const int err = readBack(scratch, bytes)) {
    removeScratch(scratch);
    failWrite("cannot read back", scratch, err);
  }
  struct stat st;
  const bool device = ::stat(target.c_str(), &st) == 0 && !S_ISREG(st.st_mode);
  const file_write_result written =
      write_whole_file(target, bytes, static_cast<unsigned>(permission ? permission : 0666));
  if (!written.ok()) {
    removeScratch(scratch);
    failWrite("cannot write", target, written.error ? written.error : EIO, written.cause);
  }
  if (keepCopy && device) {
    // The caller's to read back and remove.
    forget_unfinished_file(scratch);
    return scratch;
  }
  removeScratch(scratch);
  return "";
}
