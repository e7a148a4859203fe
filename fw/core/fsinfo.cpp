// File information: kind, mode, ids, times and size of what a path names;
// the test by which streams decide whether one may give up its C file.
//
// - File information (`fsinfo.cpp`): kind, mode, ids, times and size (64-bit), hidden for a last
//   element starting with "."; system and archive are never set.
//
// - Links (`vfsReadLink`, `fsinfo.cpp`): the target as written (up to `PATH_MAX`, not resolved),
//   failures by their meaning ("Name", "I/O Error", "Access", "Arg", "User Request" for a file that
//   is not a link, "Maximimum Path Length", else "File System"). The installation search follows
//   link chains through it.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "fw/core/fs_internal.h"

void _vfsStatFile(const vfsPath* path, vfsFileInfo* info) {
  char text[vfsPATH_BUFFER];
  vfsPathToBuffer(path, text);
  struct stat st;
  if (stat(text, &st) != 0) {
    static constexpr fsint::ErrnoRow table[] = {
        {ENOENT, &vfsNameClass},  {ENOTDIR, &vfsNameClass}, {EIO, &vfsIOErrorClass},
        {EACCES, &vfsAccessClass}, {EFAULT, &vexArgClass},  {ENAMETOOLONG, &vfsMaxPathLengthClass},
        {ELOOP, &vfsMaxLinksClass},
    };
    fsint::raiseErrno(table, errno);
  }
  std::uint32_t kind = S_ISREG(st.st_mode) ? vfsINFO_FILE : S_ISDIR(st.st_mode) ? vfsINFO_DIRECTORY : vfsINFO_OTHER;
  *info = vfsFileInfo{kind,
                      static_cast<std::uint32_t>(st.st_mode),
                      static_cast<std::int32_t>(st.st_gid),
                      static_cast<std::int32_t>(st.st_uid),
                      0,
                      static_cast<std::int64_t>(st.st_ctime),
                      0,
                      static_cast<std::int64_t>(st.st_mtime),
                      static_cast<std::int64_t>(st.st_size),
                      0};
  // Hidden is a last element that starts with "."; system and archive
  // have no meaning here.
  if (path->elemBegin == path->elemEnd) return;
  const char* last = path->elemEnd[-1];
  if (last[0] == '.' && std::strcmp(last, ".") != 0 && std::strcmp(last, "..") != 0) info->flags |= vfsINFO_HIDDEN;
}

void vfsGetFileInfo(const vfsPath* path, vfsFileInfo* info) { _vfsStatFile(path, info); }

bool vfsIsSymbolicLink(const vfsPath* path) {
  char text[vfsPATH_BUFFER];
  vfsPathToBuffer(path, text);
  struct stat st;
  return lstat(text, &st) == 0 && S_ISLNK(st.st_mode);
}

int _vfsStreamKeepsFile(vfsStream* stream) {
  if (stream->mode & vfsOPEN_KEEP_FILE) return 1;
  return _vfsCheckStreamRange(stream, 0, 0);
}

int _vfsCheckStreamRange(vfsStream*, std::int64_t offset, std::int64_t length) {
  if (offset < 0 || length < 0) vexGenerateMessage(&vexArgRangeClass, "negative stream range");
  return 0;
}

// Failures by meaning: the host's error numbers are not the Windows
// runtime's.
vfsPath* vfsReadLink(const vfsPath* path) {
  char text[vfsPATH_BUFFER];
  vfsPathToBuffer(path, text);
  char target[vfsPATH_BUFFER + 1];
  ssize_t n = ::readlink(text, target, vfsMAX_PATH + 1);
  if (n < 0) {
    static constexpr fsint::ErrnoRow table[] = {
        {ENOENT, &vfsNameClass},   {EIO, &vfsIOErrorClass},          {EACCES, &vfsAccessClass},
        {EFAULT, &vexArgClass},    {EINVAL, &vfsUserRequestClass},   {ENAMETOOLONG, &vfsMaxPathLengthClass},
    };
    fsint::raiseErrno(table, errno);
  }
  if (static_cast<std::size_t>(n) > vfsMAX_PATH)
    _vexGenerate(&vfsMaxPathLengthClass, vexSetErrno, ENAMETOOLONG, vexSetMessage, "link target too long", vexEnd);
  target[n] = '\0';
  return vfsNewPathFromScribe(vscribeFromNative(target));
}
