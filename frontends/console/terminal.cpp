// Terminal detection, highlighting, the status rows, single-key mode and
// the signals that concern the terminal.
#include "frontends/console/terminal.h"

#include <stdio_ext.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cstdint>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "sim/frontend/frontend.h"
#include "sysio/file_write.h"

namespace {

console_streams streams;

constexpr const char* BOLD_ON = "\x1b[1m";
constexpr const char* BOLD_OFF = "\x1b[22m";
constexpr int STATUS_ROWS = 2;

// Screen height for which the scroll region was set; 0 when the bottom
// rows are not reserved. Read by the signal handlers.
volatile std::sig_atomic_t reserved_height = 0;
// What undoes the reservation, prepared outside any signal handler.
char release_sequence[64] = {};
std::size_t release_length = 0;

// Terminal modes saved while single-key input is on.
termios saved_modes{};
volatile std::sig_atomic_t raw_active = 0;

std::string shown_status, shown_help;

long long monotonic_ms() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}
long long now_ms() { return streams.now_ms != nullptr ? streams.now_ms() : monotonic_ms(); }
long long last_flush_ms = 0;
// Lines written since the interval was last looked at: the clock is read
// once per LINES_PER_CLOCK_READ lines, not per line.
int lines_unchecked = 0;
constexpr int LINES_PER_CLOCK_READ = 32;

// The stream terminal_hold_output makes: a block buffer over a descriptor,
// written by write_held, which a terminating signal can finish without
// writing a byte twice or cutting a line.
constexpr std::size_t HELD_BYTES = 1 << 16;
struct held_output {
  std::FILE* stream = nullptr;
  int fd = -1;
  terminal_write_count writes;
  // Set while write(2) runs: a terminating signal then waits for it.
  volatile std::sig_atomic_t in_write = 0;
  volatile std::sig_atomic_t terminate_with = 0;
  // The block write_held wrote last, which the stream may still show as
  // held until the C library takes note.
  const char* volatile written_from = nullptr;
  const char* volatile written_to = nullptr;
  // The first failed write's error; said once, and the exit status says it too.
  int failed = 0;
};
held_output held;

// A failed write of the output is said once on standard error, where the
// lost lines cannot hide it; a reader that went away stays quiet, as with
// other Unix tools.
// Whether SIGPIPE ended the program as it was started: the signal is
// ignored for the logs and other side files, not for the output.
volatile std::sig_atomic_t pipe_ends_program = 0;

void terminate_now(int sig);

void output_failed(int error) {
  if (held.failed != 0) return;
  held.failed = error;
  if (error == EPIPE) {
    if (pipe_ends_program != 0) terminate_now(SIGPIPE);
    return;
  }
  const std::string said = std::string("sim73500: error writing the output: ") + std::strerror(error) + "\n";
  const ssize_t ignored = write(2, said.data(), said.size());
  static_cast<void>(ignored);
}

int fd_of(std::FILE* f) {
  if (f == nullptr) return -1;
  return f == held.stream ? held.fd : fileno(f);
}
int out_fd() { return fd_of(streams.out); }

// A terminal that does not tell its height (a pseudo-terminal never given
// a size) has $LINES rows, else 24, as its width falls back to 80: the
// status rows are shown on it too.
int screen_height() {
  winsize ws{};
  if (ioctl(out_fd(), TIOCGWINSZ, &ws) != 0) return 0;
  if (ws.ws_row != 0) return ws.ws_row;
  const char* lines = std::getenv("LINES");
  const int rows = lines != nullptr ? std::atoi(lines) : 0;
  return rows > 0 && rows < 10000 ? rows : 24;
}

// A line that would not fit goes after a write of what is held, whole:
// the buffer never holds the first part of a line.
void make_room(std::size_t length) {
  if (streams.out == held.stream && __fpending(streams.out) + length > HELD_BYTES) std::fflush(streams.out);
  held.written_from = nullptr;
  held.written_to = nullptr;
}

// The console writes its output from one thread.
void put(const char* bytes, std::size_t length) {
  make_room(length);
  fwrite_unlocked(bytes, 1, length, streams.out);
}
void put(const std::string& bytes) { put(bytes.data(), bytes.size()); }

// The length of the run of bytes before the first control byte (below 32,
// tab too, or 127), found eight bytes at a time: the lowest byte the masks
// flag is exact (a borrow only spreads upwards from it).
std::size_t plain_run(const unsigned char* p, std::size_t n) {
  static_assert(std::endian::native == std::endian::little, "the first byte is the word's lowest");
  constexpr std::uint64_t ones = 0x0101010101010101u, highs = 0x8080808080808080u;
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    std::uint64_t x;
    std::memcpy(&x, p + i, 8);
    const std::uint64_t below_32 = (x - ones * 32) & ~x & highs;
    const std::uint64_t d = x ^ (ones * 127);
    const std::uint64_t is_127 = (d - ones) & ~d & highs;
    if (const std::uint64_t flagged = below_32 | is_127)
      return i + static_cast<std::size_t>(__builtin_ctzll(flagged)) / 8;
  }
  while (i < n && p[i] >= 32 && p[i] != 127) ++i;
  return i;
}

constexpr std::size_t BOLD_ON_BYTES = 4, BOLD_OFF_BYTES = 5;
std::size_t rendered_room(std::size_t length) { return length * BOLD_OFF_BYTES + BOLD_OFF_BYTES; }

// A line's bytes for a terminal into `to` (room for rendered_room bytes);
// returns their count. Runs of plain bytes are copied whole: a trace renders
// ten lines per instruction.
std::size_t render_terminal(const char* text, std::size_t length, char* to) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  const unsigned char* const end = p + length;
  char* w = to;
  bool bold = false;
  while (p < end) {
    const std::size_t plain = plain_run(p, static_cast<std::size_t>(end - p));
    std::memcpy(w, p, plain);
    w += plain;
    p += plain;
    if (p == end) break;
    const unsigned char c = *p++;
    if (c == 15) {
      if (!bold) w = static_cast<char*>(std::memcpy(w, BOLD_ON, BOLD_ON_BYTES)) + BOLD_ON_BYTES;
      bold = true;
    } else if (c == 7) {
      if (bold) w = static_cast<char*>(std::memcpy(w, BOLD_OFF, BOLD_OFF_BYTES)) + BOLD_OFF_BYTES;
      bold = false;
    } else {
      *w++ = c == '\t' ? '\t' : '?';
    }
  }
  if (bold) w = static_cast<char*>(std::memcpy(w, BOLD_OFF, BOLD_OFF_BYTES)) + BOLD_OFF_BYTES;
  return static_cast<std::size_t>(w - to);
}

// Session bytes to terminal bytes. Control characters other than tab never
// reach a terminal: they could drive it.
void render(const char* text, bool tty, std::string& out) {
  if (!tty) {
    // Only the two highlight bytes change: they become the braces again.
    for (const char* p = text;;) {
      const std::size_t plain = std::strcspn(p, "\x0f\x07");
      out.append(p, plain);
      p += plain;
      if (*p == '\0') return;
      out += *p == '\x0f' ? '{' : '}';
      ++p;
    }
  }
  const std::size_t length = std::strlen(text);
  const std::size_t start = out.size();
  out.resize(start + rendered_room(length));
  out.resize(start + render_terminal(text, length, &out[start]));
}

// Status texts use the session's brace marks.
std::string marks_to_bytes(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '$' && i + 1 < text.size() && (text[i + 1] == '{' || text[i + 1] == '}')) {
      out += text[++i];
    } else if (c == '{') {
      out += '\x0f';
    } else if (c == '}') {
      out += '\x07';
    } else {
      out += c;
    }
  }
  return out;
}

void draw_status_rows() {
  const int h = reserved_height;
  if (h == 0) return;
  const int columns = terminal_columns();
  std::string seq = "\x1b" "7";
  const std::string* texts[STATUS_ROWS] = {&shown_status, &shown_help};
  for (int r = 0; r < STATUS_ROWS; ++r) {
    seq += "\x1b[" + std::to_string(h - STATUS_ROWS + 1 + r) + ";1H\x1b[2K";
    std::string line = marks_to_bytes(*texts[r]);
    // One row each: a longer text would scroll the reserved rows.
    std::string cut;
    int visible = 0;
    for (char c : line) {
      if (c != '\x0f' && c != '\x07' && ++visible >= columns) break;
      cut += c;
    }
    render(cut.c_str(), true, seq);
  }
  seq += "\x1b" "8";
  put(seq);
  std::fflush(streams.out);
}

// Keeps the bottom rows reserved for the current screen height.
void reserve_rows() {
  const int h = screen_height();
  if (h == reserved_height) return;
  if (h < STATUS_ROWS + 2) return;
  std::string seq;
  // Make room first so that the cursor stays above the reserved rows.
  seq += std::string(STATUS_ROWS, '\n') + "\x1b[" + std::to_string(STATUS_ROWS) + "A";
  seq += "\x1b" "7\x1b[1;" + std::to_string(h - STATUS_ROWS) + "r\x1b" "8";
  put(seq);
  const std::string release = "\x1b" "7\x1b[" + std::to_string(h - 1) + ";1H\x1b[2K\x1b[" +
                              std::to_string(h) + ";1H\x1b[2K\x1b[r\x1b" "8";
  release_length = 0;
  if (release.size() <= sizeof release_sequence) {
    std::memcpy(release_sequence, release.data(), release.size());
    release_length = release.size();
  }
  reserved_height = h;
  draw_status_rows();
}

void write_all(int fd, const char* bytes, std::size_t length) {
  while (length > 0) {
    const ssize_t n = write(fd, bytes, length);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    bytes += n;
    length -= static_cast<std::size_t>(n);
  }
}

// What the held stream holds, written with write(2) alone: a terminating
// signal must not lose the last lines of a trace, and fflush is not
// async-signal-safe.
void write_out_held_bytes() {
  std::FILE* out = held.stream;
  if (out == nullptr) return;
  const char* base = out->_IO_write_base;
  const char* end = out->_IO_write_ptr;
  if (base == held.written_from && end == held.written_to) return;
  if (base != nullptr && end > base) write_all(held.fd, base, static_cast<std::size_t>(end - base));
}

// Async-signal-safe: only write(2) and tcsetattr.
void give_terminal_back() {
  if (raw_active) {
    tcsetattr(streams.in_fd, TCSANOW, &saved_modes);
    raw_active = 0;
  }
  if (reserved_height != 0 && release_length != 0) {
    write_all(out_fd(), release_sequence, release_length);
    reserved_height = 0;
  }
}

void on_interrupt(int) { stop_request = 1; }

void terminate_now(int sig) {
  give_terminal_back();
  // A save cut short leaves no temporary file beside its target.
  remove_unfinished_files();
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

// A block being written is finished first (write_held ends the program
// after it), so no byte comes twice.
void on_terminate(int sig) {
  if (held.in_write != 0 && held.terminate_with == 0) {
    held.terminate_with = sig;
    return;
  }
  write_out_held_bytes();
  terminate_now(sig);
}

ssize_t write_held(void*, const char* data, std::size_t length) {
  std::size_t sent = 0;
  held.in_write = 1;
  while (sent < length) {
    ++held.writes.calls;
    const ssize_t n = write(held.fd, data + sent, length - sent);
    if (n > 0) {
      sent += static_cast<std::size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      output_failed(n < 0 ? errno : EIO);
      break;
    }
  }
  held.writes.bytes += sent;
  held.written_from = data;
  held.written_to = data + length;
  held.in_write = 0;
  if (held.terminate_with != 0) terminate_now(held.terminate_with);
  return sent > 0 || length == 0 ? static_cast<ssize_t>(sent) : -1;
}

}  // namespace

console_streams& console_io() { return streams; }

std::FILE* terminal_hold_output(int fd) {
  static char buffer[HELD_BYTES];
  held.fd = fd;
  cookie_io_functions_t calls{};
  calls.write = write_held;
  std::FILE* f = fopencookie(nullptr, "w", calls);
  if (f == nullptr) return nullptr;
  if (std::setvbuf(f, buffer, _IOFBF, sizeof buffer) != 0) {
    std::fclose(f);
    return nullptr;
  }
  held.stream = f;
  held.terminate_with = 0;
  return f;
}

terminal_write_count terminal_writes() { return held.writes; }

bool terminal_output_failed() {
  if (held.failed == 0 && streams.out != nullptr && streams.out != held.stream && std::ferror(streams.out) != 0)
    output_failed(EIO);
  return held.failed != 0;
}

void terminal_attach(int in_fd, int out_fd) {
  streams.in_fd = in_fd;
  streams.out = out_fd == 1 ? stdout : nullptr;
  streams.in_tty = isatty(in_fd) != 0;
  streams.out_tty = isatty(out_fd) != 0;
  streams.prompt = nullptr;
  if (streams.in_tty && !streams.out_tty && isatty(2) != 0) streams.prompt = stderr;
  // A file, a pipe and a terminal get their bytes in large writes, not a
  // system call per line.
  std::fflush(stdout);
  streams.batched = false;
  if (std::FILE* f = terminal_hold_output(out_fd)) {
    streams.out = f;
    streams.batched = true;
  }
  if (streams.out_tty) streams.prompt = streams.out;
  if (streams.out_tty) reserve_rows();
}

void terminal_flush_output() {
  if (streams.out == nullptr) return;
  std::fflush(streams.out);
  if (streams.batched) last_flush_ms = now_ms();
}

// The interval counts from the last moment nothing was held, so no byte
// waits longer than it (and the time between two calls).
void terminal_flush_if_due() {
  if (!streams.batched || streams.out == nullptr) return;
  const long long now = now_ms();
  if (__fpending(streams.out) == 0) {
    last_flush_ms = now;
  } else if (now - last_flush_ms >= FLUSH_INTERVAL_MS) {
    std::fflush(streams.out);
    last_flush_ms = now;
  }
}

void terminal_detach() {
  if (streams.out != nullptr) std::fflush(streams.out);
  give_terminal_back();
}

namespace {

void line_written() {
  if (!streams.batched) {
    std::fflush(streams.out);
  } else if (++lines_unchecked >= LINES_PER_CLOCK_READ) {
    lines_unchecked = 0;
    terminal_flush_if_due();
  }
}

}  // namespace

void terminal_write_line(const char* line) {
  // Kept between lines: no allocation per line.
  static std::string bytes;
  if (streams.out_tty) {
    const std::size_t length = std::strlen(line);
    if (bytes.size() < rendered_room(length) + 1) bytes.resize(rendered_room(length) + 1);
    const std::size_t n = render_terminal(line, length, bytes.data());
    bytes[n] = '\n';
    put(bytes.data(), n + 1);
  } else {
    bytes.clear();
    render(line, false, bytes);
    bytes += '\n';
    put(bytes);
  }
  line_written();
}

void terminal_write_plain_line(const char* line, std::size_t length) {
  make_room(length + 1);
  fwrite_unlocked(line, 1, length, streams.out);
  putc_unlocked('\n', streams.out);
  line_written();
}

void terminal_show_status(const std::string& status, const std::string& help) {
  shown_status = status;
  shown_help = help;
  if (!streams.out_tty) return;
  if (reserved_height != screen_height()) reserve_rows();
  else draw_status_rows();
}

void terminal_refresh() {
  if (streams.out_tty && reserved_height != screen_height()) reserve_rows();
}

int terminal_columns() {
  winsize ws{};
  int fd = streams.prompt != nullptr ? fd_of(streams.prompt) : out_fd();
  if (ioctl(fd, TIOCGWINSZ, &ws) != 0 || ws.ws_col == 0) return 80;
  return ws.ws_col;
}

raw_keys::raw_keys() {
  if (!streams.in_tty || raw_active) return;
  termios modes{};
  if (tcgetattr(streams.in_fd, &modes) != 0) return;
  saved_modes = modes;
  modes.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | IEXTEN);
  modes.c_iflag &= ~static_cast<tcflag_t>(IXON | ICRNL | INLCR);
  // Ctrl-C keeps raising the stop request; Ctrl-Z and Ctrl-\ become keys.
  modes.c_cc[VSUSP] = _POSIX_VDISABLE;
  modes.c_cc[VQUIT] = _POSIX_VDISABLE;
  modes.c_cc[VMIN] = 1;
  modes.c_cc[VTIME] = 0;
  if (tcsetattr(streams.in_fd, TCSANOW, &modes) != 0) return;
  raw_active = 1;
  active_ = true;
}

raw_keys::~raw_keys() {
  if (!active_) return;
  tcsetattr(streams.in_fd, TCSANOW, &saved_modes);
  raw_active = 0;
}

void install_signal_handlers() {
  struct sigaction sa {};
  sigemptyset(&sa.sa_mask);
  // Restarting keeps output to a full pipe from being cut short; input
  // waits in poll(), which Ctrl-C interrupts regardless.
  sa.sa_flags = SA_RESTART;
  sa.sa_handler = on_interrupt;
  sigaction(SIGINT, &sa, nullptr);
  // A write blocked on a terminal that takes nothing returns on these,
  // and a second one ends the program whatever it was writing.
  sa.sa_flags = 0;
  sa.sa_handler = on_terminate;
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGHUP, &sa, nullptr);
  // A log or output stream whose reader went away fails that file alone
  // (EPIPE); the output itself ends the program as it did (output_failed).
  struct sigaction before {};
  sa.sa_handler = SIG_IGN;
  if (sigaction(SIGPIPE, &sa, &before) == 0) pipe_ends_program = before.sa_handler == SIG_DFL ? 1 : 0;
}
