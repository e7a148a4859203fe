// The file-system exception classes and the error-number table of opens.
#include <cerrno>

#include "fw/core/fs_internal.h"

#define FS_CLASS(var, super, name) const vexClass var{super, name, 36, nullptr, sizeof(vexException)};

FS_CLASS(vfsFileSystemClass, &vexRootClass, "File System")
FS_CLASS(vfsIOErrorClass, &vfsFileSystemClass, "I/O Error")
FS_CLASS(vfsNameClass, &vfsFileSystemClass, "Name")
FS_CLASS(vfsSystemClass, &vfsFileSystemClass, "System")
FS_CLASS(vfsUserRequestClass, &vfsFileSystemClass, "User Request")
FS_CLASS(vfsIOReadClass, &vfsIOErrorClass, "I/O Read")
FS_CLASS(vfsIOWriteClass, &vfsIOErrorClass, "I/O Write")
FS_CLASS(vfsReadOnlyClass, &vfsIOErrorClass, "Read Only")
FS_CLASS(vfsFileSeekClass, &vfsIOErrorClass, "File Seek")
FS_CLASS(vfsLockClass, &vfsIOErrorClass, "Lock")
FS_CLASS(vfsDirectoryNameClass, &vfsNameClass, "Directory Name")
FS_CLASS(vfsFileNameClass, &vfsNameClass, "File Name")
FS_CLASS(vfsInterruptedClass, &vfsSystemClass, "Interrupted System Call ")
FS_CLASS(vfsSystemMaximumClass, &vfsSystemClass, "System Maximum")
FS_CLASS(vfsNoSpaceClass, &vfsSystemMaximumClass, "No Space")
FS_CLASS(vfsNoMemoryClass, &vfsSystemMaximumClass, "No Memory")
FS_CLASS(vfsMaxFilesOpenClass, &vfsSystemMaximumClass, "Maximum Files Open")
FS_CLASS(vfsMaxPathLengthClass, &vfsSystemMaximumClass, "Maximimum Path Length")
FS_CLASS(vfsMaxNameLengthClass, &vfsSystemMaximumClass, "Maximimum Name Length")
FS_CLASS(vfsMaxLinksClass, &vfsSystemMaximumClass, "Maximum Links")
FS_CLASS(vfsMaxFileLocksClass, &vfsSystemMaximumClass, "Maximum File Locks")
FS_CLASS(vfsIsDirectoryClass, &vfsUserRequestClass, "Is Directory")
FS_CLASS(vfsAccessClass, &vfsUserRequestClass, "Access")
FS_CLASS(vfsAlreadyExistsClass, &vfsUserRequestClass, "Already Exists")
FS_CLASS(vfsDirectoryNotEmptyClass, &vfsUserRequestClass, "Directory Not Empty")

namespace fsint {

const ErrnoRow openErrors[] = {
    {ENOENT, &vfsNameClass},          {ENXIO, &vfsNameClass},         {EINTR, &vfsInterruptedClass},
    {EIO, &vfsIOErrorClass},          {EACCES, &vfsAccessClass},      {EFAULT, &vexArgClass},
    {ENOTDIR, &vexArgClass},          {EISDIR, &vfsIsDirectoryClass}, {ENFILE, &vfsMaxFilesOpenClass},
    {EMFILE, &vfsMaxFilesOpenClass},  {ENOSPC, &vfsNoSpaceClass},     {EROFS, &vfsReadOnlyClass},
    {ENAMETOOLONG, &vfsMaxPathLengthClass}, {ELOOP, &vfsMaxLinksClass}, {EEXIST, &vfsAlreadyExistsClass},
};
const std::size_t openErrorCount = std::size(openErrors);

void raiseErrno(std::span<const ErrnoRow> table, int err, const char* message, const vexClass* fallback) {
  const vexClass* cls = fallback;
  for (const ErrnoRow& row : table)
    if (row.err == err) cls = row.cls;
  if (!message && err == ELOOP) message = "too many levels of symbolic links";
  _vexGenerate(cls, vexSetErrno, err, vexSetMessage, message, vexEnd);
}

}  // namespace fsint
