// The target's host file service: a program linked with the C library's
// host I/O routines calls __send(buffer, count) with a request and
// __receive(buffer, count) for the reply. When the pc reaches either
// routine the run loop hands the device to hio_service, which copies the
// words out of or into target memory and does the file operation here.
//
// - A program linked with the C library's host I/O calls `__send` and `__receive`. Loading its
//   symbols (`install_debug_info`, sim/cdb) hands the two addresses and the C data space to
//   `hio_set_routines`; a program without both turns `streams_enabled` off. `hio_arm` keeps
//   `host_io_state::watch` (the two pcs, or `HIO_NO_WATCH`) in step with `streams_enabled`, so the
//   run loop's test is two compares at an instruction end: `check_run_stop` calls `hio_service`
//   there, and the fast engine's `quiet_end` is false at those pcs.
//
// - `host_io_state` (in `device_state`, reset by `init_device_state`, closed with the device) holds
//   the request and reply words, the request state (`hio_state`, `hio_saved`), the file table (host
//   descriptors; entries 0-2 the standard streams), the per-number text flags (`hio_text_mode`), the
//   packing (`hio_word_bytes`) and the `redirect` command's open files (`sim/cmd/cmd_redirect.cpp`
//   reads and sets them there).
//
// - Bounds: a `__send` whose words would run past the end of the 64K data space, or a read of more
//   than 64K words, is answered with -1 (error 3) and nothing is read or allocated. Relative names
//   are taken in the device's working directory.
//
// - Standard output and error without a redirection go to the device's session, line by line (a
//   trailing part line as a line of its own); standard input without one is at its end (a read gives
//   0).
//
// - A file that waits on another program (a FIFO or a terminal; a redirection's too; a socket is
//   refused at the open) is made non-blocking at its first read or write, and the service waits for it in slices that ask
//   the stop check (`stop_pending`): Ctrl-C, Stop or a quit signal ends the wait, the request is
//   answered -1 (or with what was moved so far) and the run stops as on any Ctrl-C. A read takes
//   what the peer has, as a blocking read would; a write, and a read of redirected standard input,
//   move the whole count unless stopped. Regular files are read and written directly, never polled.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

constexpr int HIO_FILE_NUMBERS = 20;
// The most words a request or reply may hold: a whole 16-bit address
// space. A target asking for more is answered with -1.
constexpr uint32_t HIO_MAX_WORDS = 0x10000;
// A pc the run loop never reaches.
constexpr uint32_t HIO_NO_WATCH = 0xFFFFFFFFu;

enum hio_request_state : int {
  HIO_IDLE = 0,
  HIO_OPEN_NAME = 1,
  HIO_READ_PENDING = 2,
  HIO_WRITE_DATA = 3,
  HIO_REMOVE_NAME = 4,
  HIO_RENAME_OLD = 5,
  HIO_RENAME_NEW = 6,
  HIO_ACCESS_NAME = 7,
};

struct hio_buffer {
  int ready = 0;
  int oversized = 0;  // the target asked for more than HIO_MAX_WORDS
  std::vector<uint32_t> words;
};

// One target file number. Entries 0-2 are the standard streams.
struct hio_file {
  int handle = -1;  // host descriptor, -1 for a free entry
  std::string name;
  int flags = 0;  // host open flags
  int mode = 0;
  int waits = -1;  // 1 when calls on it can wait on another program; -1 until first asked
};

struct hio_redirection {
  std::string name;
  std::FILE* file = nullptr;  // null: not redirected
  int waits = -1;             // as hio_file::waits, for the file
};

struct host_io_state {
  uint32_t send_address = 0, receive_address = 0;  // 0 when absent
  // The pcs the run loop hands to the service: the two routines while the
  // service is on, HIO_NO_WATCH otherwise (hio_arm).
  uint32_t watch[2] = {HIO_NO_WATCH, HIO_NO_WATCH};
  int hio_word_bytes = 2;  // bytes per target word in binary transfers
  int data_space = 1;
  hio_buffer request, reply;
  int hio_state = HIO_IDLE;
  int32_t hio_saved[2] = {0, 0};  // kept between a request's header and its data
  std::string first_name;  // a rename's old name
  std::array<uint8_t, HIO_FILE_NUMBERS> hio_text_mode{};
  std::vector<hio_file> files;
  int hint = 3;
  std::array<hio_redirection, 3> redirect;

  host_io_state() { reset(); }
  ~host_io_state() { close_all(); }
  host_io_state(const host_io_state&) = delete;
  host_io_state& operator=(const host_io_state&) = delete;

  // Closes every target file and redirection and starts over: three
  // standard entries, text mode on 0-2, idle.
  void reset();
  void close_all();
};

struct device_state;

// The routines' addresses from a program's symbols (0 when absent); a
// missing one turns the service off. data_space holds the C data.
void hio_set_routines(device_state& st, uint32_t send, uint32_t receive, int data_space);
// Works out the watched pcs after streams_enabled or an address changed.
void hio_arm(device_state& st);

// At an instruction end of the current device whose pc is watched:
// 1 served, 0 pc at neither routine, -1 on a memory error (reported).
int hio_service();

// Host file operations on target file numbers of the current device.
int hio_open(const std::string& name, int host_flags, int mode);
int hio_close(int number);
long hio_read(int number, uint8_t* buffer, long bytes);
long hio_write(int number, const uint8_t* buffer, long bytes);
long hio_seek(int number, long offset, int whence);

// A redirection's file position, for the state file; -1 when unknown.
long hio_file_offset(const hio_file& f);
