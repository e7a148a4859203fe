#include "sim/cdb/c_value.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "sim/engine/device/current_device.h"
#include "sim/frontend/frontend.h"

namespace {

constexpr c_family_words families[] = {
    {709, 24, 0x800000, 0xFFFFFF, 0xFFFF},         {710, 32, 0x80000000, 0xFFFFFFFF, 0xFFFFFFFF},
    {711, 16, 0x8000, 0xFFFF, 0xFFFF},             {712, 24, 0x800000, 0xFFFFFF, 0xFFFFFF},
    {713, 16, 0x8000, 0xFFFF, 0xFFFF},             {714, 24, 0x800000, 0xFFFFFF, 0xFFFF},
};

std::vector<std::unique_ptr<c_node>> parse_chain;
std::array<c_node*, C_NODE_STACK_SIZE> node_stack{};
int node_count = 0;
std::array<c_node*, C_NODE_STACK_SIZE> held_stack{};
int held_count = 0;
std::string last_error;
bool quiet = false;

// Exponent bias of the 24-bit families' two-word float.
constexpr int FLOAT24_BIAS = 8214;

}  // namespace

const c_family_words* c_family = &families[2];

const c_family_words* c_family_of(int family_code) {
  for (const c_family_words& f : families) {
    if (f.code == family_code) return &f;
  }
  return nullptr;
}

void c_debug_reset() {
  const c_family_words* f = cur_type != nullptr ? c_family_of(cur_type->family_code) : &families[2];
  c_family = f != nullptr ? f : &families[2];
}

c_node* c_node_new() {
  parse_chain.push_back(std::make_unique<c_node>());
  return parse_chain.back().get();
}

c_node* c_node_type(uint32_t type) {
  c_node* n = c_node_new();
  n->value.type = type;
  return n;
}

std::vector<std::unique_ptr<c_node>> c_nodes_commit() { return std::exchange(parse_chain, {}); }

void c_nodes_discard() { parse_chain.clear(); }

bool c_store_float(double number, uint32_t type, c_value& out) {
  const bool wide = type == CT_DOUBLE;
  switch (c_family_kind()) {
    case C_KIND_16: {
      const float f = static_cast<float>(number);
      if (std::isinf(f) && !std::isinf(number)) return false;
      std::memcpy(&out.v[2], &f, 4);
      return true;
    }
    case C_KIND_24: {
      if (number == 0) {
        out.v[3] = out.v[4] = 0;
        return true;
      }
      int e = 0;
      const double m = std::frexp(number, &e);  // 0.5 <= |m| < 1
      auto mantissa = static_cast<int32_t>(std::lround(m * 0x800000));
      if (mantissa == 0x800000 || mantissa == -0x800000) {  // rounded up to the next power of two
        mantissa /= 2;
        ++e;
      }
      const int exponent = e - 23 + FLOAT24_BIAS;
      if (exponent < 0 || exponent > 0xFFFFFF) return false;
      out.v[3] = static_cast<uint32_t>(exponent);
      out.v[4] = static_cast<uint32_t>(mantissa) & 0xFFFFFF;
      return true;
    }
    default: {
      if (wide) {
        uint64_t bits = 0;
        std::memcpy(&bits, &number, 8);
        out.v[0] = static_cast<uint32_t>(bits);
        out.v[1] = static_cast<uint32_t>(bits >> 32);
        return true;
      }
      const float f = static_cast<float>(number);
      if (std::isinf(f) && !std::isinf(number)) return false;
      std::memcpy(&out.v[2], &f, 4);
      return true;
    }
  }
}

c_family_kind_t c_family_kind() {
  switch (c_family->code) {
    case 711:
    case 713: return C_KIND_16;
    case 709:
    case 712: return C_KIND_24;
    default: return C_KIND_32;
  }
}

// Quiet evaluations (conditions tested every cycle) build no text.
void c_error(const char* message) {
  if (!quiet) error_report((std::string("C error: ") + message).c_str());
}

void c_error(const std::string& message) { c_error(message.c_str()); }

void c_internal_error(const char* file, int line) {
  c_error("internal error, please report (file " + std::string(file) + ", line " + std::to_string(line) + ")");
}

void c_error_quiet(bool on) { quiet = on; }

void c_parse_error(const std::string& message) {
  if (quiet) return;
  last_error = message;
  if (!last_error.empty()) last_error[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(last_error[0])));
}

const std::string& c_last_error() { return last_error; }

bool c_node_push(c_node* node) {
  if (node_count == C_NODE_STACK_SIZE - 1) {
    c_error("expression too complex to evaluate");
    return false;
  }
  node_stack[static_cast<std::size_t>(node_count++)] = node;
  return true;
}

c_node* c_node_pop() { return node_count == 0 ? nullptr : node_stack[static_cast<std::size_t>(--node_count)]; }

void c_node_stack_reset() { node_count = 0; }

int c_node_stack_count() { return node_count; }

void c_node_stack_hold() {
  std::copy_n(node_stack.begin(), node_count, held_stack.begin());
  held_count = node_count;
  node_count = 0;
}

void c_node_stack_release() {
  std::copy_n(held_stack.begin(), held_count, node_stack.begin());
  node_count = held_count;
  held_count = 0;
}
