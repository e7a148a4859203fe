// File streams: pooled records over C streams, in one list from the
// newest to the oldest; when the process runs out of file descriptors an
// older stream gives up its C file and reopens it on its next use.
//
// - Streams (`fsio.cpp`): pooled records over C streams in one list, newest first. When an open
//   meets `EMFILE` the oldest stream that may give up its file is suspended (position saved, C file
//   closed) and reopened on its next use, relative to the directory it was first opened in. A seek
//   is put between a read and a write, as the C library needs. Every failure raises a class of the
//   file-system family (`fsex.cpp`); a symbolic-link loop raises "Maximum Links", and a close that
//   loses written data raises "I/O Write". A `vfsOPEN_REGULAR` stream opens through
//   `open_file_nonblocking` (sysio): a folder raises "Is Directory", a FIFO or a device "File System"
//   ("not a regular file"), and nothing waits on a FIFO nobody writes.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fw/core/fs_internal.h"
#include "sysio/open_nonblocking.h"

namespace {

struct State {
  vfsStream* newest = nullptr;
  vfsStream* oldest = nullptr;
  int openFiles = 0;
  bool decided = false;
  bool rawOutput = true;
  // The resource layer's option word; bit 0x1 answers the file-kind test
  // for a file of unknown kind and is the kind of a new file.
  std::uint32_t resourceOptions = 1;
};
State state;

enum : int { kNone = 0, kRead = 1, kWrite = 2 };

std::string nativeText(const vfsPath* path) {
  char buffer[vfsPATH_BUFFER];
  return vfsPathToBuffer(path, buffer);
}

// The text a stream opens: relative paths stay relative to the directory
// that was current when the stream was first opened.
std::string streamText(const vfsStream* s) {
  std::string text = nativeText(s->path);
  if (!s->directory) return text;
  std::string dir = nativeText(s->directory);
  if (dir.empty() || dir.back() != vfsGetPathRules()->separator) dir += vfsGetPathRules()->separator;
  return dir + text;
}

void unlink(vfsStream* s) {
  if (s->previous) s->previous->next = s->next;
  else if (state.newest == s) state.newest = s->next;
  if (s->next) s->next->previous = s->previous;
  else if (state.oldest == s) state.oldest = s->previous;
  s->previous = s->next = nullptr;
}

void linkNewest(vfsStream* s) {
  s->next = state.newest;
  s->previous = nullptr;
  if (state.newest) state.newest->previous = s;
  state.newest = s;
  if (!state.oldest) state.oldest = s;
}

bool linked(const vfsStream* s) { return s->previous || s->next || state.newest == s; }

// Whether the stream may give up its C file: the keep test runs under a
// handler, where "Access" lets it go and any other raise keeps it.
bool maySuspend(vfsStream* s) {
  if (!s->file || (s->mode & vfsOPEN_KEEP)) return false;
  int keeps = 1;
  vexGuard([&] { keeps = _vfsStreamKeepsFile(s); },
           [&](vexHandler& h) {
             keeps = vexFindException(&vfsAccessClass) ? 0 : 1;
             vexSetCurrentException(h.savedChain);
           });
  return keeps == 0;
}

bool suspendOne() {
  for (vfsStream* s = state.oldest; s; s = s->previous) {
    if (!maySuspend(s)) continue;
    s->position = (s->mode & vfsOPEN_NO_SEEK) ? -1 : ftello(s->file);
    std::fclose(s->file);
    s->file = nullptr;
    s->lastOp = kNone;
    s->mode |= vfsOPEN_SUSPENDED;
    --state.openFiles;
    return true;
  }
  return false;
}

void openC(vfsStream* s) {
  if (!state.decided) {
    state.decided = true;
    state.rawOutput = vcharGetCurrentSet() == 3;
  }
  if (s->file) return;
  bool reopen = s->mode & vfsOPEN_SUSPENDED;
  int flags = O_CLOEXEC;
  const char* cmode = "rb";
  switch (s->mode & vfsOPEN_ACCESS) {
    case vfsOPEN_READ: flags |= O_RDONLY; break;
    case vfsOPEN_READ_WRITE: flags |= O_RDWR, cmode = "r+b"; break;
    case vfsOPEN_WRITE:
      flags |= reopen ? O_RDWR : O_RDWR | O_CREAT | O_TRUNC;
      cmode = reopen ? "r+b" : "w+b";
      break;
    default: flags |= O_RDWR | O_CREAT | O_APPEND, cmode = "a+b"; break;
  }
  std::string text = streamText(s);
  const bool regular = (s->mode & vfsOPEN_REGULAR) != 0;
  // A regular file only: a FIFO, a device or a folder is refused before
  // anything waits on it or reads from it.
  auto openOnce = [&]() -> std::FILE* {
    if (regular) return open_file_nonblocking(text.c_str(), cmode, false);
    const int fd = open(text.c_str(), flags, 0600);
    if (fd < 0) return nullptr;
    std::FILE* made = fdopen(fd, cmode);
    if (!made) {
      const int err = errno;
      close(fd);
      _vexGenerate(&vfsFileSystemClass, vexSetErrno, err, vexSetMessage, "cannot make a C stream", vexEnd);
    }
    return made;
  };
  std::FILE* f = openOnce();
  if (!f && errno == EMFILE) {
    if (!suspendOne())
      _vexGenerate(&vfsMaxFilesOpenClass, vexSetErrno, EMFILE, vexSetMessage, "no stream can give up its file", vexEnd);
    f = openOnce();
  }
  if (!f && regular && errno == EINVAL)
    _vexGenerate(&vfsFileSystemClass, vexSetMessage, "not a regular file", vexEnd);
  if (!f) fsint::raiseErrno(fsint::openTable(), errno);
  if (s->position >= 0 && !(s->mode & vfsOPEN_NO_SEEK) && fseeko(f, s->position, SEEK_SET) != 0) {
    std::fclose(f);
    fsint::raiseErrno({}, errno, "cannot return to the saved position", &vfsFileSeekClass);
  }
  s->file = f;
  s->lastOp = kNone;
  s->mode &= ~vfsOPEN_SUSPENDED;
  if (linked(s)) unlink(s);
  linkNewest(s);
  ++state.openFiles;
}

void releaseRecord(vfsStream* s) {
  vfsFreePath(s->path);
  vfsFreePath(s->directory);
  vpoolFree(fsint::streamPool(), s);
}

// The C library needs a seek between reading and writing.
void turnTo(vfsStream* s, int op) {
  if (s->lastOp != kNone && s->lastOp != op && !(s->mode & vfsOPEN_NO_SEEK)) fseeko(s->file, 0, SEEK_CUR);
  s->lastOp = op;
}

std::size_t checkedBytes(std::ptrdiff_t size, std::ptrdiff_t count) {
  if (size < 0 || count < 0) vexGenerateMessage(&vexArgRangeClass, "negative item size or count");
  std::size_t bytes;
  if (__builtin_mul_overflow(static_cast<std::size_t>(size), static_cast<std::size_t>(count), &bytes))
    vexGenerateMessage(&vexArgRangeClass, "item size times count overflows");
  return bytes;
}

void writeBytes(const char* text, std::size_t n, vfsStream* s) {
  openC(s);
  turnTo(s, kWrite);
  if (std::fwrite(text, 1, n, s->file) != n) fsint::raiseErrno({}, errno, nullptr, &vfsIOWriteClass);
}

// Internal text written in the native set.
void writeText(const char* text, std::size_t n, vfsStream* s) {
  openC(s);
  if (state.rawOutput) return writeBytes(text, n, s);
  vscribe* native = vscribeToNativeSized(text, n);
  std::size_t bytes = vscribeGetByteLength(native);
  auto* buffer = static_cast<char*>(vmemAlloc(bytes + 1));
  char* end = vscribeReadAll(native, buffer);
  vexGuard([&] { writeBytes(buffer, static_cast<std::size_t>(end - buffer), s); },
           [&](vexHandler&) {
             vmemFree(buffer);
             _vexGenerate(nullptr, vexEnd);
           });
  vmemFree(buffer);
}

vfsStream* makeStream(const vfsPath* path, unsigned mode) {
  unsigned access = mode & vfsOPEN_ACCESS;
  if (access != vfsOPEN_READ && access != vfsOPEN_READ_WRITE && access != vfsOPEN_WRITE && access != vfsOPEN_APPEND)
    vexGenerateMessage(&vexArgClass, "open mode needs exactly one access");
  auto* s = static_cast<vfsStream*>(vpoolAlloc(fsint::streamPool()));
  *s = vfsStream{vfsCopyPath(path), nullptr, -1, mode & ~vfsOPEN_SUSPENDED, nullptr, nullptr, nullptr, kNone};
  if ((path->kind & vfsPATH_KIND) != vfsPATH_ROOTED) s->directory = vfsMSWGetCurrentDirectory();
  return s;
}

// A language code usable as one path element.
bool plainElement(const std::string& text) {
  return !text.empty() && text.size() <= vfsMAX_ELEMENT && text != "." && text != ".." &&
         text.find(vfsGetPathRules()->separator) == std::string::npos;
}

}  // namespace

int _vfsCountOpenFiles() { return state.openFiles; }

vfsStream* vfsOpenFile(const vfsPath* path, unsigned mode) {
  fsint::ensureStarted();
  vfsStream* s = makeStream(path, mode);
  vexGuard([&] { openC(s); },
           [&](vexHandler&) {
             releaseRecord(s);
             _vexGenerate(nullptr, vexEnd);
           });
  return s;
}

vfsStream* vfsOpenLocalizedFile(const vfsPath* path, unsigned mode) {
  const char* lang = std::getenv("LANG");
  int count = vfsCountPathElements(path);
  bool rooted = (path->kind & vfsPATH_KIND) == vfsPATH_ROOTED;
  if (!lang || count < (rooted ? 2 : 1)) return vfsOpenFile(path, mode);
  std::string value = lang;
  value = value.substr(0, value.find('.'));
  std::string candidates[2] = {value, value.find('_') != std::string::npos ? value.substr(0, value.find('_')) : ""};
  const char* last = vfsGetPathElement(path, count - 1);
  for (const std::string& language : candidates) {
    if (!plainElement(language)) continue;
    vfsPath* local = vfsCopyPath(path);
    bool found = false;
    vexGuard(
        [&] {
          std::string name = last;
          vfsPathRemoveLast(local, 1);
          vfsAppendPathElements(local, "locale", language.c_str(), name.c_str(), nullptr);
          found = vfsAccess(local, R_OK);
        },
        [&](vexHandler& h) { vexSetCurrentException(h.savedChain); });
    if (found) {
      vfsStream* s = nullptr;
      vexGuard([&] { s = vfsOpenFile(local, mode); },
               [&](vexHandler&) {
                 vfsFreePath(local);
                 _vexGenerate(nullptr, vexEnd);
               });
      vfsFreePath(local);
      return s;
    }
    vfsFreePath(local);
  }
  return vfsOpenFile(path, mode);
}

void vfsCloseFile(vfsStream* s) {
  bool failed = false;
  int err = 0;
  if (s->file) {
    failed = std::fclose(s->file) != 0;
    err = errno;
    --state.openFiles;
  }
  if (linked(s)) unlink(s);
  releaseRecord(s);
  if (failed) fsint::raiseErrno({}, err, "close lost written data", &vfsIOWriteClass);
}

std::size_t vfsReadFile(void* buffer, std::ptrdiff_t size, std::ptrdiff_t count, vfsStream* s) {
  if (checkedBytes(size, count) == 0) return 0;
  openC(s);
  turnTo(s, kRead);
  auto items = static_cast<std::size_t>(count), itemSize = static_cast<std::size_t>(size);
  std::size_t n = std::fread(buffer, itemSize, items, s->file);
  if (n < items && !std::feof(s->file)) {
    std::clearerr(s->file);
    n += std::fread(static_cast<char*>(buffer) + n * itemSize, itemSize, items - n, s->file);
    if (n < items && !std::feof(s->file)) fsint::raiseErrno({}, errno, nullptr, &vfsIOReadClass);
  }
  return n;
}

std::size_t vfsWriteFile(const void* buffer, std::ptrdiff_t size, std::ptrdiff_t count, vfsStream* s) {
  std::size_t bytes = checkedBytes(size, count);
  if (bytes == 0) return 0;
  writeBytes(static_cast<const char*>(buffer), bytes, s);
  return static_cast<std::size_t>(count);
}

int vfsPutChar(int c, vfsStream* s) {
  char one = static_cast<char>(c);
  writeText(&one, 1, s);
  return static_cast<unsigned char>(c);
}

std::size_t vfsWriteString(const char* text, vfsStream* s) {
  std::size_t n = std::strlen(text);
  writeText(text, n, s);
  return n;
}

void vfsWriteScribe(vscribe* scribe, vfsStream* s) {
  std::size_t n = vscribeGetLength(scribe);
  if (scribe->flags & vscribeTEXTINPLACE) {
    const auto* text = static_cast<const char*>(scribe->data);
    vexGuard([&] { writeText(text, n, s); },
             [&](vexHandler&) {
               vscribeRelease(scribe);
               _vexGenerate(nullptr, vexEnd);
             });
    vscribeRelease(scribe);
    return;
  }
  char local[256];
  char* buffer = n <= sizeof local ? local : static_cast<char*>(vmemAlloc(n));
  char* end = vscribeReadBounded(scribe, buffer, n);
  vexGuard([&] { writeText(buffer, static_cast<std::size_t>(end - buffer), s); },
           [&](vexHandler&) {
             if (buffer != local) vmemFree(buffer);
             _vexGenerate(nullptr, vexEnd);
           });
  if (buffer != local) vmemFree(buffer);
}

void vfsSeekFile(vfsStream* s, std::int64_t offset, int whence) {
  static constexpr int whences[] = {SEEK_SET, SEEK_CUR, SEEK_END};
  if (whence < 0 || whence > 2) vexGenerateMessage(&vexArgClass, "seek whence");
  openC(s);
  if ((s->mode & vfsOPEN_NO_SEEK) || fseeko(s->file, offset, whences[whence]) != 0)
    fsint::raiseErrno({}, errno, nullptr, &vfsFileSeekClass);
  s->lastOp = kNone;
}

void vfsFlushFile(vfsStream* s) {
  if ((s->mode & vfsOPEN_ACCESS) == vfsOPEN_READ || !s->file) return;
  if (std::fflush(s->file) != 0) fsint::raiseErrno({}, errno, nullptr, &vfsIOWriteClass);
}

void vfsCreateFile(const vfsPath* path, int permission) {
  int fd = open(nativeText(path).c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, permission);
  if (fd < 0) fsint::raiseErrno(fsint::openTable(), errno);
  close(fd);
}

void vfsRemoveFile(const vfsPath* path) {
  std::string text = nativeText(path);
  struct stat st;
  if (stat(text.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) vexGenerateMessage(&vfsIsDirectoryClass, "cannot remove a directory");
  if (::unlink(text.c_str()) != 0) fsint::raiseErrno(fsint::openTable(), errno);
}

bool vfsAccess(const vfsPath* path, int mode) {
  if (access(nativeText(path).c_str(), mode) == 0) return true;
  int err = errno;
  for (int quiet : {ENOENT, EACCES, EROFS, EFAULT, ENOTDIR, EINVAL})
    if (err == quiet) return false;
  static constexpr fsint::ErrnoRow table[] = {
      {EIO, &vfsIOErrorClass}, {ENAMETOOLONG, &vfsMaxPathLengthClass}, {ELOOP, &vfsMaxLinksClass}};
  fsint::raiseErrno(table, err);
}

int vfsTestFileKind(const vfsPath* path) {
  unsigned char head[6] = {};
  std::size_t n = 0;
  vexGuard(
      [&] {
        vfsStream* s = vfsOpenLocalizedFile(path, vfsOPEN_READ | vfsOPEN_REGULAR);
        vexGuard([&] { n = vfsReadFile(head, 1, sizeof head, s); },
                 [&](vexHandler&) {
                   vfsCloseFile(s);
                   _vexGenerate(nullptr, vexEnd);
                 });
        vfsCloseFile(s);
      },
      [&](vexHandler& h) {
        n = 0;
        vexSetCurrentException(h.savedChain);
      });
  static constexpr unsigned char resource[] = {'Q', 'R', 'N', '\n'};
  static constexpr unsigned char chunk[] = {0xD0, 0x0B, 0xED, 0x00};
  if (n >= 4 && std::memcmp(head, resource, 4) == 0) return 1;
  if (n >= 6 && std::memcmp(head + 2, chunk, 4) == 0) return 2;
  return 0;
}

bool vresourceTestFile(const vfsPath* path) {
  switch (vfsTestFileKind(path)) {
    case 2: return true;
    case 1: return false;
    default: return vresourceGetTestDefault();
  }
}

void vresourceSetTestDefault(bool chunkFiles) {
  state.resourceOptions = chunkFiles ? state.resourceOptions | 1u : state.resourceOptions & ~1u;
}
bool vresourceGetTestDefault() { return (state.resourceOptions & 1u) != 0; }
std::uint32_t _vresourceSetGlobalOptions(std::uint32_t word) {
  std::uint32_t old = state.resourceOptions;
  state.resourceOptions = word;
  return old;
}
std::uint32_t _vresourceGetGlobalOptions() { return state.resourceOptions; }
