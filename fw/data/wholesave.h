// Writing a whole file at a path the user named, by the rules of
// `sysio/file_write.h`: produce writes the bytes to a private scratch file,
// which the shared writer then puts where the name leads. A new file gets
// the permission (0666 when 0) less the process's mask.
#pragma once
#include <functional>
#include <string>

#include "fw/core/fs.h"

// produce writes the complete file at the path it is given (an empty file
// that already exists). Failures raise vfsIOWrite with the cause's errno
// and a message naming the path. The result is "", or, with keepCopy for a
// device or FIFO, the private copy that produce wrote, which the caller may
// read back and must remove.
std::string _vdataSaveWhole(const vfsPath* path, int permission, const std::function<void(const vfsPath*)>& produce,
                            bool keepCopy = false);
