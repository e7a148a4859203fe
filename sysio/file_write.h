// Whole files written where their name leads, for every writer of the
// simulator (state files, ".lod" and COFF saves) and of the framework
// (resource stores, `vrtool build`).
//
// - `write_whole_file` follows a link to the file it names (the link stays), writes a character
//   device or a FIFO in place (a FIFO no one reads fails at once), and replaces a regular file at
//   once when its folder can be written: the text goes to a file made exclusively beside it, with
//   the old file's mode and owner (`mode` less the umask for a new file), renamed over it when
//   whole. A regular file whose folder cannot be written is written in place; should that write
//   fail, the old bytes are put back.
// - A failure names its cause for the one message the user gets: "Error opening file. (CAUSE)"
//   when nothing was written, "Error writing file:PATH (CAUSE)" when the writing failed; a
//   temporary file is removed and an older file stays as it was.
// - A file past the size limit fails with EFBIG ("File too large") when the program ignores
//   SIGXFSZ, as each program's `main` does; the writer leaves signal handling alone.
// - `write_file_at` writes into an open file from an offset and cuts it there: the ".lod" append.
#pragma once

#include <string>
#include <string_view>

struct file_write_result {
  enum outcome { written, not_opened, not_written };
  outcome kind = written;
  std::string cause;  // "folder not writable", or the system's text for the error
  int error = 0;      // the errno that stands for the cause

  bool ok() const { return kind == written; }
  // The user's message for a failure of the write to `path`.
  std::string message(const std::string& path) const;
};

file_write_result write_whole_file(const std::string& path, std::string_view bytes, unsigned mode = 0666);

// Writes bytes at `offset` of the open file `fd` and cuts the file after
// them; on failure the file is cut back to `offset` and `restore` written
// there again.
file_write_result write_file_at(int fd, long long offset, std::string_view bytes, std::string_view restore);

// Takes the update lock (flock, exclusive) on the file open as `fd`: every
// save that reads a file and writes it again (an append) holds it from the
// read to the end of the write, so that two sessions never lose each
// other's blocks. 1 when held and `path` still leads to that file; 0 when a
// save replaced the file meanwhile (open it again); -1, errno set, when the
// lock cannot be had. With `give_up`, SIGINT interrupts the wait even when
// its handler restarts calls, and the wait ends (-1, EINTR) once `give_up`
// answers true: the user's stop request ends a wait on another program.
// With `poll_ms` > 0 the wait never blocks: it tries again every `poll_ms`
// and asks `give_up` in between, for a program whose stop comes through its
// own event loop rather than a signal.
int lock_for_update(int fd, const std::string& path, bool (*give_up)() = nullptr, int poll_ms = 0);

// Opens `path` for reading and takes its update lock (above); the lock
// goes with the descriptor's close. -1, errno set, when either fails.
int open_for_update(const std::string& path, bool (*give_up)() = nullptr, int poll_ms = 0);

// Removes the temporary files of the writes under way, if any: for a
// program's handler of a terminating signal (async-signal-safe).
void remove_unfinished_files();
// A temporary file made with `unfinished_until_done` that was renamed or
// removed: no longer one remove_unfinished_files removes.
void forget_unfinished_file(const std::string& name);

// Makes a new file named `prefix` and six unguessable characters,
// exclusively (never through a link that is planted there), opened for
// writing with `mode` less the umask; -1 (errno set) when it cannot. With
// `unfinished_until_done`, remove_unfinished_files removes it until
// forget_unfinished_file is called with its name.
int create_exclusive(const std::string& prefix, std::string& made, unsigned mode, bool unfinished_until_done = false);

// The system's text for an error, as a cause.
std::string error_cause(int error);
