// Shared by the file-system files of fw/core: error-number tables, record
// pools and the current rules.
#pragma once
#include <cstddef>
#include <span>

#include "fw/core/fs.h"
#include "fw/core/mem.h"

namespace fsint {

struct ErrnoRow {
  int err;
  const vexClass* cls;
};

// Raises the class the table gives err (fallback when none), with err as
// the record's error number.
[[noreturn]] void raiseErrno(std::span<const ErrnoRow> table, int err, const char* message = nullptr,
                             const vexClass* fallback = &vfsFileSystemClass);
extern const ErrnoRow openErrors[];
extern const std::size_t openErrorCount;
inline std::span<const ErrnoRow> openTable() { return {openErrors, openErrorCount}; }

vpool* pathPool();
vpool* volumePool();
vpool* streamPool();

// Environment text: null when unset or empty.
const char* environmentText(const char* name);

// Starts the environment module when nothing has yet.
void ensureStarted();

}  // namespace fsint
