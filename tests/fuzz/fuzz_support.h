// What every fuzz target shares: the console as the front-end in a scratch
// folder, a fresh session per input, and runs and macros pumped as the
// console pumps them, but bounded, with a Ctrl-C that must end them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Once per process: the console front-end with timed waits that do not
// wait, output to /dev/null, a scratch folder as the working directory.
void fuzz_start();

// The front-end record installed by fuzz_start: a target may wrap its
// entries to watch what the simulator hands the front-end.
struct frontend_services;
frontend_services& fuzz_frontend();

// Before each input: every device freed, device 0 of `type` created and
// shown, no macro, no run, no stop request, no history.
void fuzz_fresh_session(const char* type = "73521");

// False for text that could name a file outside the scratch folder: a
// path separator, or ".." standing alone (the parent folder).
bool fuzz_text_is_safe(std::string_view text);

// Writes a file in the scratch folder.
void fuzz_write_file(const char* name, std::string_view contents);

// The bytes become the console's standard input; `keys`: typed at a
// terminal, one key at a time.
void fuzz_feed_input(std::string_view bytes, bool keys);

// Runs the armed run and the open macros as the console's pump does, for
// at most `slices` steps; then a Ctrl-C, after which both must end within
// a few steps (else the target aborts: a finding).
void fuzz_pump(int slices);

// The console's loop: every line of the input read, checked, submitted,
// each followed by a bounded pump.
void fuzz_command_loop(int slices_per_line);

// The input split at its first `separator`: the part before it, and the
// rest in `rest` (empty when there is none).
std::string_view fuzz_split(std::string_view& rest, char separator);
