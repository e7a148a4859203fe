// File information: kind, mode, ids, times and size of what a path names;
// the test by which streams decide whether one may give up its C file.
#include <sys/stat.h>

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

int _vfsStreamKeepsFile(vfsStream* stream) {
  if (stream->mode & vfsOPEN_KEEP_FILE) return 1;
  return _vfsCheckStreamRange(stream, 0, 0);
}

int _vfsCheckStreamRange(vfsStream*, std::int64_t offset, std::int64_t length) {
  if (offset < 0 || length < 0) vexGenerateMessage(&vexArgRangeClass, "negative stream range");
  return 0;
}
