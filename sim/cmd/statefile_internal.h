// The state file's text (the writer's buffer, the reader's checked
// cursor) and the sections kept in files of their own.
#pragma once

#include <cerrno>
#include <climits>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "sim/cmd/streams.h"

struct text_out {
  std::string text;
  void put(const char* fmt, auto... args) {
    char buf[128];
    const int n = std::snprintf(buf, sizeof buf, fmt, args...);
    if (n > 0) text.append(buf, static_cast<std::size_t>(n) < sizeof buf ? n : sizeof buf - 1);
  }
  void header(const char* name) { text += "\n["; text += name; text += "]\n"; }
  void line(const std::string& s) { text += '^'; text += s; text += '\n'; }
};

// A cursor over the file's text. Every read checks what it reads: a value
// out of range or a text that ends early fails the parse.
struct text_in {
  const std::string& text;
  std::size_t at = 0;
  bool ok = true;

  void skip_space() {
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
  }
  bool fail() { return ok = false; }
  long number(int base, long low, long high) {
    skip_space();
    if (!ok || at >= text.size()) return fail(), 0;
    const char* start = text.c_str() + at;
    char* end = nullptr;
    errno = 0;
    const long long v = base == 16 ? static_cast<long long>(std::strtoull(start, &end, 16))
                                   : std::strtoll(start, &end, 10);
    if (end == start || errno != 0 || v < low || v > high) return fail(), 0;
    at += static_cast<std::size_t>(end - start);
    return static_cast<long>(v);
  }
  int dec(int low = INT32_MIN, int high = INT32_MAX) { return static_cast<int>(number(10, low, high)); }
  uint32_t hex() { return static_cast<uint32_t>(number(16, 0, UINT32_MAX)); }
  long integer(long low = LONG_MIN, long high = LONG_MAX) { return number(10, low, high); }
  uint64_t hex64() {
    skip_space();
    if (!ok || at >= text.size() || text[at] == '-') return fail(), 0;
    const char* start = text.c_str() + at;
    char* end = nullptr;
    errno = 0;
    const unsigned long long v = std::strtoull(start, &end, 16);
    if (end == start || errno != 0) return fail(), 0;
    at += static_cast<std::size_t>(end - start);
    return v;
  }
  std::string line() {
    skip_space();
    if (!ok || at >= text.size() || text[at] != '^') return fail(), std::string();
    const std::size_t end = text.find('\n', at);
    const std::size_t stop = end == std::string::npos ? text.size() : end;
    std::string s = text.substr(at + 1, stop - at - 1);
    at = stop;
    return s;
  }
  void header() {
    skip_space();
    if (!ok || at >= text.size() || text[at] != '[') return void(fail());
    const std::size_t end = text.find(']', at);
    if (end == std::string::npos) return void(fail());
    at = end + 1;
  }
  // A count of entries that each take at least one character of the text.
  int count() {
    const int n = dec(0);
    if (ok && static_cast<std::size_t>(n) > text.size() - at) fail();
    return ok ? n : 0;
  }
  void hex_words(std::vector<uint32_t>& out, std::size_t n) {
    out.resize(n);
    for (uint32_t& w : out) w = hex();
  }
};


struct device_state;

// --- Host I/O (statefile_hostio.cpp) ----------------------------------------

struct parsed_hio_file {
  std::string name;
  int flags = 0, mode = 0;
  long offset = 0;
};

struct parsed_host_io {
  int streams_enabled = 1;
  int ready[2] = {}, oversized[2] = {};
  std::vector<uint32_t> buffers[2];  // request, reply
  uint32_t send_address = 0, receive_address = 0;
  int data_space = 1, word_bytes = 2;
  int hint = 3;
  std::vector<parsed_hio_file> files;
  std::string redirect_name[3];
  long redirect_at[3] = {};
  std::vector<uint8_t> text_mode;
  int state = 0;
  long saved[2] = {};
  std::string first_name;
};

// From "[hio enabled]" to "[state]".
void write_host_io(text_out& out, const device_state& st);
void parse_host_io(text_in& in, parsed_host_io& h);
// Opens the files again; one that cannot be opened is reported and left
// closed.
void apply_host_io(const parsed_host_io& h, device_state& st);

// --- Streams (statefile_streams.cpp) -----------------------------------------

struct device_type;

// A stream record as read; the words that index tables are checked
// against the device type before anything uses them.
struct parsed_stream {
  io_stream record;
  uint32_t kind = 0, key1 = 0, key2 = 0, key3 = 0, serial = 0;
  uint32_t src_space = 0, src_device = 0, radix = 0;
  long position = 0;
  bool open = false;
};

// The four lists, each record then its open repeat groups.
void write_streams(text_out& out, const device_state& st);
void parse_streams(text_in& in, std::vector<parsed_stream> (&lists)[4], const device_type& t);
// Links the records into the current device's lists and opens their
// files again where they were; one that cannot be opened is reported.
void apply_streams(std::vector<parsed_stream> (&lists)[4]);
