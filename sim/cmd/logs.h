// The command log and the devices' session logs that "log" opens, written
// to their files line by line.
#pragma once

#include <string>

// "Error writing file:PATH (CAUSE)", the cause the system's text for
// `error` (none when 0): at once, or at the instruction end inside a run.
void report_write_failure(const std::string& path, int error);

// Closes (and puts in place) the session log of a device, e.g. before the
// device is released.
void close_session_log(int device);
// Writes the device's profile when it is profiled ("log off p" on it).
void end_device_profile(int device);
// Closes every log; run before the program ends.
void close_all_logs();
// Where an open log will stand; empty when that log is closed.
const std::string& command_log_path();
const std::string& session_log_path(int device);
// 1 after "log v": the source window's status line also goes to the
// device's session log.
int status_line_logging(int device);
// Opens a device's session log again, appending to what the file holds
// (a state file's log); false when it cannot be opened.
bool reopen_session_log(int device, const std::string& path);
void set_status_line_logging(int device, int on);
