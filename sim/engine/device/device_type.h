// Device types: the static records that describe each of the family's
// five types entirely (its peripherals and their registers, its memory
// map, pins and ports) and the family record through which the rest of the
// system reaches the assembler, disassembler and family help.
//
// - `family_desc`: per type the support record through which the assembler, disassembler and family
//   help are reached.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "sim/engine/device/memory.h"

constexpr int TYPE_COUNT = 5;
constexpr int REG_BLOCK_WORDS = 37;

// reg_desc access flags.
enum : uint32_t {
  REG_READABLE = 0x20,
  REG_WRITABLE = 0x40,
  REG_BUS_MAPPED = 0x80,
  REG_STREAM_IN = 0x800,
  REG_STREAM_OUT = 0x1000,
};

// Per-device register attribute marks.
enum : uint32_t {
  ATTR_SHOWN = 0x800,
  ATTR_READ = 0x10000,
  ATTR_WRITTEN = 0x20000,
  ATTR_READ_SINCE = 0x40000,
  ATTR_CHANGED = 0x80000,
  ATTR_RUN_MARKS = 0xF0000,
  ATTR_IN_STREAM = 0x400000,
  ATTR_OUT_UNTIMED = 0x800000,
  ATTR_OUT_TIMED = 0x1000000,
  ATTR_OUT_STREAMS = 0x1800000,
  ATTR_IN_TIMED = 0x4000000,
};

struct reg_desc {
  const char* name;
  uint32_t valid_mask;
  uint32_t offset;     // from the peripheral's base, X I/O space
  uint32_t init_attr;  // copied into the device's attribute word
  uint32_t access;     // REG_* flags, value shape and width bits
  const char* help;    // bit-layout help lines, '\n' separated; first is the summary
};

struct stream_value;

// The peripheral interface. Every operation receives the peripheral's row
// index within the current device type first.
struct periph_class {
  int (*get)(int periph, int reg, uint32_t* out);
  int (*set)(int periph, int reg, const uint32_t* value);
  void (*bus_read)(int periph, uint32_t address, uint32_t* out, int flag);
  int (*bus_write)(int periph, uint32_t address, uint32_t value, int flag);
  void (*clock)(int periph);
  void (*reset)(int periph, int kind, int mode);
  int (*pending)(int periph);  // vector of the highest pending interrupt, or -1
  void (*acknowledge)(int periph, int vector);
  uint32_t class_word;  // bit 2: may be named as a stream item
  int state_word_count;
  int reg_count;
  const reg_desc* regs;
  // Event-driven peripherals (sim/engine/README.md, "Peripheral events").
  // catch_up brings the peripheral's state up to the current cycle from
  // the cycles elapsed since its last update, by the device's own time
  // (device_time), which writes of the cycle count do not move.
  // next_event gives the device cycles from now to the next cycle whose
  // clock must run (0: this one), NO_EVENT when none; null for a
  // peripheral that is never clocked. The core (row 0) is clocked every
  // cycle.
  void (*catch_up)(int periph);
  uint32_t (*next_event)(int periph);
  // Stream word hooks. input_word takes the text of an input value (1) or
  // leaves it to the number parser (0); output_word gives the text of a
  // data word (1) or leaves it to the stream's radix (0).
  int (*input_word)(const char* text, stream_value* out) = nullptr;
  int (*output_word)(const stream_value& value, char* text, std::size_t size) = nullptr;
};
constexpr uint32_t NO_EVENT = 0xFFFFFFFF;

struct help_table;

struct periph_row {
  const char* name;
  int pin_port;        // 0 control and analog pins, 2 port B, 3 port C
  uint32_t pin_mask;
  uint32_t pcr_addr;   // port control register handing the pins over, or 0
  uint32_t pcr_bits;
  uint32_t base;       // register base address in X I/O space
  int vector;          // interrupt vector base
  uint32_t ipr_bits;   // its priority bits in ipr; 0 when it raises no interrupts
  const periph_class* cls;
  const char* suffix;  // "", "0" or "1"
  const help_table* help = nullptr;  // its I/O file format topics
};

// mem_region flag bits with behaviour; the others are carried as data.
enum : uint32_t {
  REGION_DISABLED = 0x4,
  REGION_READ_ONLY = 0x8,  // a word array the core cannot write
  REGION_IO_BUS = 0x10000,
  REGION_MORE_ROWS = 0x20000,
  REGION_SPARSE = 0x1000000,
};

struct mem_region {
  const char* name;
  int space;
  uint32_t attr;
  uint32_t low, high;  // inclusive
  uint32_t size;       // words of its own array; 0 for generic, sparse and I/O rows
  uint32_t flags;
  const uint16_t* init;  // initial contents (size words) or null
  uint32_t addr_mask;
  uint32_t format;
  uint32_t count;
};

struct pin_desc {
  const char* name;
  const char* alt_name;  // or null
  int group;             // 0 control, 1 port A/address, 2 port B, 3 port C, 4 port D/data
  uint32_t mask;
  int kind;              // 10, 11, 20, 21, 30 or 31
};

struct port_desc {
  const char* name;
  int group;
  uint32_t mask;
};

struct mem_iface;

struct device_type {
  const char* name;
  int family_code;  // 711: the DSP73500 family
  uint32_t type_bit;
  uint32_t expr_flags;
  int default_mode;
  int periph_count;
  const periph_row* periphs;
  int region_count;
  const mem_region* regions;
  const char* page_file_base;
  const mem_iface* mem;
  int device_word_count;
  int block_count;
  const uint32_t* block_init;  // block_count * REG_BLOCK_WORDS words
  int pin_count;
  const pin_desc* pins;
  int port_count;
  const port_desc* ports;
  const uint32_t* magic_list;  // further COFF magic numbers, or null
  // Per space code, the index of the first memory-map row of that space;
  // filled by index_memory_regions and select_device_type.
  std::array<int, SPACE_CODE_COUNT> first_region;
};

// One-hot type bits: code that differs per type tests masks of these.
enum : uint32_t {
  TYPE_73521 = 1,
  TYPE_73547 = 2,
  TYPE_73583 = 4,
  TYPE_73547ROM = 8,
  TYPE_73583RAM = 16,
};

struct dis_ea_info;
struct profile_family_ops;

// Per device type, the support record through which the rest of the
// system reaches the assembler, the disassembler and the family help.
struct family_desc {
  std::array<int, 27> value_width;
  const char* help_generic_p;
  const char* help_generic_x;
  const void* display_layouts;  // per-peripheral register display layouts
  int (*assemble)(const char* text, uint32_t address);
  int (*disassemble)(const uint32_t* words, char* text, uint32_t number_a,
                     uint32_t number_b, dis_ea_info* ea_info);
  const help_table* help_topics;  // the family's counted help table
  const profile_family_ops* profile_ops;  // the profiler's decode, installed with the tools
  const void* frame_hooks;  // absent for every type
};

extern device_type* const device_types[TYPE_COUNT];
extern const family_desc* const family_descs[TYPE_COUNT];

void index_memory_regions();
int select_device_type(const char* name);  // type index or -1
int find_type_index(const char* name);     // type index or -1, no selection
