// Writing a whole file at a path the user named. A regular file (or a new
// one) is written to a private temporary file in its own folder and
// renamed over it, so a failure leaves the old file whole; a link is
// followed and its target replaced, the link kept; a device or pipe is
// written in place. A replaced file keeps its mode; a new one gets the
// permission (0666 when 0) less the process's mask.
#pragma once
#include <functional>
#include <string>

#include "fw/core/fs.h"

// produce writes the complete file at the path it is given (an empty file
// that already exists). Failures raise vfsIOWrite with the cause's errno
// and a message naming the path. The result is "" after a rename, or, for
// a target written in place, the private copy that produce wrote, which the
// caller may read back and must remove.
std::string _vdataSaveWhole(const vfsPath* path, int permission, const std::function<void(const vfsPath*)>& produce,
                            bool keepCopy = false);
