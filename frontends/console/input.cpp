// Input is read through poll() so that Ctrl-C, which is restarted
// everywhere else, can end a wait at a terminal.
#include "frontends/console/input.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string_view>

#include "frontends/console/terminal.h"
#include "sim/cmd/dispatch.h"

namespace {

std::string buffered;
std::size_t read_pos = 0;
bool at_end = false;

enum class fill_result { data, timeout, interrupted, end };

fill_result fill(int timeout_ms) {
  if (at_end) return fill_result::end;
  const console_streams& io = console_io();
  // Whoever waits for this input may want to see the output before it.
  if (timeout_ms != 0) terminal_flush_output();
  for (;;) {
    pollfd p{io.in_fd, POLLIN, 0};
    const int ready = poll(&p, 1, timeout_ms);
    if (ready < 0) {
      if (errno != EINTR) {
        at_end = true;
        return fill_result::end;
      }
      // Only a person at a terminal can mean "stop waiting"; a script's
      // next lines are never dropped.
      if (io.in_tty) return fill_result::interrupted;
      continue;
    }
    if (ready == 0) return fill_result::timeout;
    char chunk[4096];
    const ssize_t n = read(io.in_fd, chunk, sizeof chunk);
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      at_end = true;
      return fill_result::end;
    }
    if (n == 0) {
      at_end = true;
      return fill_result::end;
    }
    if (read_pos > 0) {
      buffered.erase(0, read_pos);
      read_pos = 0;
    }
    buffered.append(chunk, static_cast<std::size_t>(n));
    return fill_result::data;
  }
}

}  // namespace

input_result input_read_line(std::string& out) {
  out.clear();
  for (;;) {
    const std::string_view rest = std::string_view(buffered).substr(read_pos);
    const std::size_t nl = rest.find('\n');
    if (nl != std::string_view::npos || at_end) {
      if (nl == std::string_view::npos && rest.empty()) return input_result::end;
      std::string_view line = rest.substr(0, nl);
      read_pos += nl == std::string_view::npos ? rest.size() : nl + 1;
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      out.assign(line.substr(0, INPUT_LINE_MAX));
      std::replace(out.begin(), out.end(), '\0', NUL_STAND_IN);
      return input_result::line;
    }
    // A line without an end in sight is cut, not held in memory whole.
    if (rest.size() > INPUT_LINE_MAX) {
      out.assign(rest.substr(0, INPUT_LINE_MAX));
      std::replace(out.begin(), out.end(), '\0', NUL_STAND_IN);
      read_pos += INPUT_LINE_MAX;
      for (;;) {  // drop the rest of that line
        const std::string_view more = std::string_view(buffered).substr(read_pos);
        const std::size_t end = more.find('\n');
        if (end != std::string_view::npos) {
          read_pos += end + 1;
          break;
        }
        read_pos += more.size();
        if (fill(-1) != fill_result::data) break;
      }
      return input_result::line;
    }
    switch (fill(-1)) {
      case fill_result::interrupted: return input_result::interrupted;
      default: break;
    }
  }
}

int input_read_key(int timeout_ms) {
  if (read_pos >= buffered.size()) {
    switch (fill(timeout_ms)) {
      case fill_result::data: break;
      case fill_result::timeout: return KEY_TIMEOUT;
      case fill_result::interrupted: return KEY_INTERRUPTED;
      case fill_result::end: return KEY_END;
    }
  }
  return static_cast<unsigned char>(buffered[read_pos++]);
}

void input_unread_line(const std::string& line) {
  buffered.insert(read_pos, line + "\n");
}

void input_reset() {
  buffered.clear();
  read_pos = 0;
  at_end = false;
}
