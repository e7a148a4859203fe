// The ".lod" text memory file reader.
//
// The whole file is read and checked into a list of pending operations
// before anything is applied, so a refused file leaves memory and pc as
// they were; the fault keeps the file, the line and a short reason.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"
#include "sim/engine/device/memory.h"
#include "sim/engine/device/regaccess.h"
#include "sim/frontend/frontend.h"
#include "sysio/open_nonblocking.h"

namespace {

constexpr const char* lod_keywords[] = {"blockdata", "comment", "data", "end", "start", "symbol"};
constexpr int LOD_KEYWORD_COUNT = static_cast<int>(std::size(lod_keywords));

// A row whose format word has this bit holds values of two words each.
constexpr uint32_t FORMAT_DOUBLE = 0x2;
// A fill longer than the address space only repeats itself.
constexpr uint32_t FILL_MAX = 0x10000;

lod_fault fault;

struct file_closer {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using file_ptr = std::unique_ptr<std::FILE, file_closer>;

struct token {
  enum kind_t { WORD, END_OF_FILE, TOO_LONG } kind = END_OF_FILE;
  std::string text;
  int line = 0;
  bool is_word() const { return kind == WORD; }
  bool is_keyword() const { return kind == WORD && text.front() == '_'; }
  bool is_field() const { return kind == WORD && text.front() != '_'; }
};

// Blank-separated words with one word of look-ahead and line numbers.
class word_reader {
 public:
  explicit word_reader(std::FILE* file) : file_(file) {}

  const token& peek() {
    if (!held_) {
      read(next_);
      held_ = true;
    }
    return next_;
  }
  token take() {
    peek();
    held_ = false;
    return std::move(next_);
  }

 private:
  void read(token& t) {
    t.text.clear();
    int c = std::getc(file_);
    while (c != EOF && std::isspace(c)) {
      if (c == '\n') ++line_;
      c = std::getc(file_);
    }
    t.line = line_;
    if (c == EOF) {
      t.kind = token::END_OF_FILE;
      return;
    }
    t.kind = token::WORD;
    while (c != EOF && !std::isspace(c)) {
      if (t.text.size() == LOD_WORD_MAX) {
        t.kind = token::TOO_LONG;
        return;
      }
      t.text.push_back(static_cast<char>(c));
      c = std::getc(file_);
    }
    if (c == '\n') ++line_;
  }

  std::FILE* file_;
  int line_ = 1;
  bool held_ = false;
  token next_;
};

struct pending_op {
  enum kind_t { WRITE, FILL, SET_PC } kind = WRITE;
  int space = 0;
  uint32_t address = 0;
  uint32_t count = 0;  // FILL
  uint32_t mask = 0;   // WRITE, FILL: addresses wrap at the top of the space
  uint32_t value = 0;  // FILL, SET_PC
  int row = 0, reg = 0;  // SET_PC
  std::vector<uint32_t> words;  // WRITE
};

bool refuse(int line, const char* reason) {
  fault.line = line;
  fault.reason = reason;
  return false;
}

bool parse_hex(const std::string& text, uint32_t& value) {
  if (text.empty()) return false;
  uint64_t v = 0;
  for (const char ch : text) {
    const int c = static_cast<unsigned char>(ch);
    if (!std::isxdigit(c)) return false;
    const int digit = std::isdigit(c) ? c - '0' : std::tolower(c) - 'a' + 10;
    v = (v << 4) | static_cast<uint64_t>(digit);
    if (v > UINT32_MAX) return false;
  }
  value = static_cast<uint32_t>(v);
  return true;
}

class lod_parser {
 public:
  lod_parser(std::FILE* file, int device, const device_type& type)
      : words_(file), device_(device), type_(type) {}

  std::vector<pending_op> ops;
  int records = 0;
  int first_line = 1;

  // False with the fault set when the file is refused.
  bool parse() {
    using handler = bool (lod_parser::*)(int line);
    // In the order of lod_keywords.
    static constexpr handler record_handlers[] = {
        &lod_parser::blockdata_record, &lod_parser::skip_record, &lod_parser::data_record,
        &lod_parser::end_record,       &lod_parser::skip_record, &lod_parser::skip_record};
    static_assert(std::size(record_handlers) == std::size(lod_keywords));
    const token& first = words_.peek();
    if (first.kind == token::TOO_LONG) return refuse(first.line, "word longer than 90 characters");
    first_line = first.line;
    if (!first.is_keyword()) return refuse(first.line, "not a memory file");
    for (;;) {
      const token t = words_.take();
      if (t.kind == token::END_OF_FILE) return true;
      if (t.kind == token::TOO_LONG) return refuse(t.line, "word longer than 90 characters");
      if (!t.is_keyword()) return refuse(t.line, "word outside a record");
      const int record = find_keyword(t.text.c_str() + 1, lod_keywords, LOD_KEYWORD_COUNT);
      // An unknown record ends the file; what came before it stands.
      if (record < 0) return true;
      ++records;
      if (!(this->*record_handlers[record])(t.line)) return false;
    }
  }

 private:
  // A required field: a word that is not a keyword.
  bool field(int record_line, token& out) {
    const token& t = words_.peek();
    if (t.kind == token::TOO_LONG) return refuse(t.line, "word longer than 90 characters");
    if (!t.is_field()) return refuse(record_line, "record cut short");
    out = words_.take();
    return true;
  }
  bool hex_field(int record_line, uint32_t& value) {
    token t;
    if (!field(record_line, t)) return false;
    if (!parse_hex(t.text, value)) return refuse(t.line, "not a hexadecimal word");
    return true;
  }
  bool space_field(int record_line, const mem_region*& region) {
    token t;
    if (!field(record_line, t)) return false;
    for (int i = 0; i < type_.region_count; ++i) {
      if (str_icmp(t.text.c_str(), type_.regions[i].name) == 0) {
        region = &type_.regions[i];
        return true;
      }
    }
    return refuse(t.line, "unknown memory space");
  }
  // After a record of fixed length only a keyword or the end may follow.
  bool record_ends() {
    const token& t = words_.peek();
    if (t.kind == token::TOO_LONG) return refuse(t.line, "word longer than 90 characters");
    if (t.is_field()) return refuse(t.line, "word outside a record");
    return true;
  }

  bool data_record(int line) {
    pending_op op;
    op.kind = pending_op::WRITE;
    const mem_region* region = nullptr;
    if (!space_field(line, region) || !hex_field(line, op.address)) return false;
    if (op.address > region->addr_mask) return refuse(line, "address past the end of its memory space");
    op.space = region->space;
    // A block saved across the top of its space continues at address 0, as
    // save writes it; only more words than the space holds are refused.
    op.mask = region->addr_mask;
    const bool double_width = (region->format & FORMAT_DOUBLE) != 0;
    for (;;) {
      const token& t = words_.peek();
      if (t.kind == token::TOO_LONG) return refuse(t.line, "word longer than 90 characters");
      if (!t.is_field()) break;
      if (op.words.size() > region->addr_mask)
        return refuse(t.line, "record longer than its memory space");
      uint32_t value = 0;
      if (!hex_field(line, value)) return false;
      if (double_width) {
        uint32_t low = 0;
        if (!hex_field(line, low)) return false;
        value = (value << 16) | (low & 0xFFFF);
      }
      op.words.push_back(value);
    }
    ops.push_back(std::move(op));
    return true;
  }

  bool blockdata_record(int line) {
    pending_op op;
    op.kind = pending_op::FILL;
    const mem_region* region = nullptr;
    if (!space_field(line, region) || !hex_field(line, op.address) ||
        !hex_field(line, op.count) || !hex_field(line, op.value)) {
      return false;
    }
    if (op.count > FILL_MAX) return refuse(line, "count larger than the address space");
    if (op.address > region->addr_mask) return refuse(line, "address past the end of its memory space");
    if (op.count > 0 && op.count - 1 > region->addr_mask)
      return refuse(line, "count larger than the address space");
    op.space = region->space;
    op.mask = region->addr_mask;
    // A fill across the top goes on at address 0.
    const uint64_t to_top = uint64_t{region->addr_mask} - op.address + 1;
    if (op.count > to_top) {
      pending_op rest = op;
      rest.address = 0;
      rest.count = op.count - static_cast<uint32_t>(to_top);
      op.count = static_cast<uint32_t>(to_top);
      ops.push_back(std::move(op));
      ops.push_back(std::move(rest));
    } else {
      ops.push_back(std::move(op));
    }
    return record_ends();
  }

  // "_END" alone (as saved without a program block) leaves pc alone.
  bool end_record(int line) {
    if (!words_.peek().is_field()) return record_ends();
    pending_op op;
    op.kind = pending_op::SET_PC;
    if (!hex_field(line, op.value)) return false;
    if (!lookup_register(device_, "pc", &op.row, &op.reg)) {
      error_report("Error writing register");
      return refuse(line, "no register pc");
    }
    ops.push_back(std::move(op));
    return record_ends();
  }

  bool skip_record(int /*line*/) {
    for (;;) {
      const token& t = words_.peek();
      if (t.kind == token::TOO_LONG) return refuse(t.line, "word longer than 90 characters");
      if (!t.is_field()) return true;
      words_.take();
    }
  }

  word_reader words_;
  int device_;
  const device_type& type_;
};

bool apply_ops(int device, const std::vector<pending_op>& ops) {
  const uint32_t failures_before = memory_failure_count();
  for (const pending_op& op : ops) {
    switch (op.kind) {
      case pending_op::WRITE: {
        uint32_t address = op.address;
        for (const uint32_t word : op.words) {
          const int written = write_device_memory(device, op.space, address, &word);
          address = (address + static_cast<uint32_t>(std::max(written, 1))) & op.mask;
        }
        break;
      }
      case pending_op::FILL:
        fill_device_memory(device, op.space, op.address, op.count, &op.value);
        break;
      case pending_op::SET_PC:
        if (!write_register(device, op.row, op.reg, &op.value)) {
          error_report("Error writing register");
          refuse(0, "pc not written");
          return false;
        }
        break;
    }
  }
  // Words that found no memory (and no room in the paging file) are lost:
  // the load did not succeed.
  if (memory_failure_count() != failures_before) return refuse(0, "memory could not be written");
  return true;
}

}  // namespace

const lod_fault& last_lod_fault() { return fault; }

int read_lod_file(int device, const char* path) {
  fault = lod_fault{};
  if (path == nullptr) return 0;
  fault.file = path;

  const int coff = coff_try_load(device, path);
  if (coff >= 0) return coff;

  if (device < 0 || device >= DEVICE_MAX || device_insts[device] == nullptr) {
    refuse(0, "no such device");
    return 0;
  }
  const int type_index = device_insts[device]->type;
  if (type_index < 0 || type_index >= TYPE_COUNT || device_types[type_index] == nullptr) {
    refuse(0, "no such device");
    return 0;
  }
  const file_ptr file(open_file_nonblocking(path, "r", false));
  if (!file) {
    refuse(0, "cannot open file");
    return 0;
  }
  lod_parser parser(file.get(), device, *device_types[type_index]);
  if (!parser.parse()) return 0;
  if (parser.records == 0) {
    // The first record keyword is none of ours: nothing was loaded.
    refuse(parser.first_line, "not a memory file");
    return 0;
  }
  return apply_ops(device, parser.ops) ? 1 : 0;
}
