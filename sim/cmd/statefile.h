// The simulator state file (".sim"): every device's records as text
// sections, written by `save s` and read back by `load s`.
//
// - `save_state_file` builds the whole text (marker, banner, search path, profiler companion, then
//   per device slot its sections) and writes it with `write_whole_file` (`file_write.h`): a regular
//   file in a folder that can be written is either the older one or complete, so the marker is
//   written as 711 at once.
//
// - The profiler companion ("pf" and six characters) is made in the state file's folder and named
//   there without a folder; the reader looks for it beside the state file. Saving over a state file
//   removes the companion the old one named. A profile restored from it starts again from empty
//   counts with the loaded program's object file: the counts themselves are not carried over.
//
// - `load_state_file` reads a regular file only (a FIFO or a device such as /dev/zero is refused at
//   once) and parses the whole file into records of its own (`parsed_state`), checking every
//   count against the text left, every value against its field's range, every fixed-size section
//   against the device type's table. Devices change only after that succeeds: a refused file leaves
//   every device as it was. The slots the file names are freed (session log closed, profile ended)
//   and created again.
//
// - Sparse pages are checked as the engine's page reader wants them (from page 0 up, 16-bit words)
//   and then read by it (`load_sparse_memory` over the section's text), so a page of one value keeps
//   covering its whole run and stays one page.
//
// - An open session log is opened again appending; the `log v` flag comes back. "[memory display
//   tags]" holds a fifth map, the display radix of memory words.
//
// - Watches: every entry with its kind, radix and the register or memory word it shows; a C watch's
//   tree is not written, only the empty-tree mark and its scope words: its text is compiled again
//   after the program's symbols are read back. A C-expression breakpoint is kept the same way (its
//   condition text, then the empty-tree mark).
//
// - The register blocks (port and pin words, current and previous) are kept whole under "[port
//   values]"; a breakpoint record adds its operand's address, space and value flags to its line.
#pragma once

#include <string>

// 0 on success, 1 on failure, with the user's message in `failure`.
int save_state_file(const char* path, int first, int last, std::string* failure = nullptr);
// A file refused anywhere leaves every device as it was.
int load_state_file(const char* path);
