// Terminal detection, highlighting, the status rows, single-key mode and
// the signals that concern the terminal.
#include "frontends/console/terminal.h"

#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>

#include "sim/frontend/frontend.h"

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

int out_fd() { return streams.out != nullptr ? fileno(streams.out) : -1; }

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

void put(const std::string& bytes) {
  std::fwrite(bytes.data(), 1, bytes.size(), streams.out);
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
  bool bold = false;
  for (const char* p = text; *p != '\0'; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c == 15) {
      if (!tty) out += '{';
      else if (!bold) out += BOLD_ON;
      bold = true;
    } else if (c == 7) {
      if (!tty) out += '}';
      else if (bold) out += BOLD_OFF;
      bold = false;
    } else if (tty && ((c < 32 && c != '\t') || c == 127)) {
      out += '?';
    } else {
      out += static_cast<char>(c);
    }
  }
  if (tty && bold) out += BOLD_OFF;
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

// Async-signal-safe: only write(2) and tcsetattr.
void give_terminal_back() {
  if (raw_active) {
    tcsetattr(streams.in_fd, TCSANOW, &saved_modes);
    raw_active = 0;
  }
  if (reserved_height != 0 && release_length != 0) {
    const ssize_t ignored = write(out_fd(), release_sequence, release_length);
    (void)ignored;
    reserved_height = 0;
  }
}

void on_interrupt(int) { stop_request = 1; }

void on_terminate(int sig) {
  give_terminal_back();
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

}  // namespace

console_streams& console_io() { return streams; }

void terminal_attach() {
  streams.in_fd = 0;
  streams.out = stdout;
  streams.in_tty = isatty(0) != 0;
  streams.out_tty = isatty(1) != 0;
  if (streams.out_tty) streams.prompt = stdout;
  else if (streams.in_tty && isatty(2) != 0) streams.prompt = stderr;
  else streams.prompt = nullptr;
  if (streams.out_tty) reserve_rows();
  // A file or pipe gets its bytes in large writes, not a system call per
  // line (set before anything is written).
  static char out_buffer[1 << 16];
  if (!streams.out_tty && std::setvbuf(stdout, out_buffer, _IOFBF, sizeof out_buffer) == 0) streams.batched = true;
}

void terminal_flush_output() {
  if (streams.out != nullptr) std::fflush(streams.out);
}

void terminal_detach() {
  if (streams.out != nullptr) std::fflush(streams.out);
  give_terminal_back();
}

void terminal_write_line(const char* line) {
  // Kept between lines: no allocation per line.
  static std::string bytes;
  bytes.clear();
  render(line, streams.out_tty, bytes);
  bytes += '\n';
  put(bytes);
  if (!streams.batched) std::fflush(streams.out);
}

void terminal_write_plain_line(const char* line, std::size_t length) {
  std::fwrite(line, 1, length, streams.out);
  std::putc('\n', streams.out);
  if (!streams.batched) std::fflush(streams.out);
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
  int fd = streams.prompt != nullptr ? fileno(streams.prompt) : out_fd();
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
  sa.sa_handler = on_terminate;
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGHUP, &sa, nullptr);
}
