// The five device types of the family: peripheral rows, memory maps, pins
// and ports, exactly as the chips have them.
//
// - `device_type` (one static record per type, `device_types.cpp`): the peripheral rows
//   (`periph_row`, each naming its `periph_class`), the memory map (`mem_region` rows), pins, ports,
//   register-block initial words and `first_region`, the per-space index of the first memory-map row
//   (filled by `index_memory_regions` and `select_device_type`).
#include "sim/engine/device/device_type.h"
#include "sim/engine/device/display_layouts.h"
#include "sim/engine/device/help_topics.h"
#include "sim/engine/device/hooks.h"
#include "sim/engine/periph/periph.h"

namespace {

// ---------------------------------------------------------------------------
// Peripheral rows. Row order is clock order, reset order and the order in
// which every peripheral sees a bus access.

constexpr uint32_t PCR_B = 0xFFC0;
constexpr uint32_t PCR_C = 0xFFC1;

constexpr periph_row core_row(const periph_class* cls) {
  return {"core", 0, 0xFFFF, 0, 0, 0, 0, 0, cls, ""};
}
constexpr periph_row codec_row(const periph_class* cls, uint32_t base) {
  return {"codec", 0, 0xF0000, 0, 0, base, 0x2E, 0xC0, cls, "", &codec_help_table};
}
constexpr periph_row host_row = {
    "host", 2, 0x7FFF, PCR_B, 0x1, 0xFFC4, 0x24, 0x300, &host_class, "", &host_help_table};
constexpr periph_row serial_row(const char* name, int unit, const periph_class* cls) {
  // "ssi0"/"ssi1" and "rssi0"/"rssi1" share one topic per kind.
  const help_table* help = name[0] == 'r' ? &rssi_help_table : &ssi_help_table;
  return unit == 0 ? periph_row{name, 3, 0x1F, PCR_C, 0x1F, 0xFFD0, 0x10, 0xC00, cls, "0", help}
                   : periph_row{name, 3, 0x3E0, PCR_C, 0x3E0, 0xFFD8, 0x18, 0x3000, cls, "1", help};
}
constexpr periph_row timer_row = {"timer", 3, 0xC00, PCR_C, 0xC00, 0xFFEC, 0x20, 0xC000, &timer_class, ""};
constexpr periph_row portb_row = {
    "portb", 2, 0x7FFF, PCR_B, 0, 0xFFC0, 0, 0, &portb_class, "", &port_help_table};
constexpr periph_row portc_row = {
    "portc", 3, 0x0FFF, PCR_C, 0, 0xFFC1, 0, 0, &portc_class, "", &port_help_table};
constexpr periph_row count_row = {"count", 0, 0, 0, 0, 0, 0, 0, &count_class, ""};

const periph_row periphs_73521[] = {
    core_row(&core_class_36), host_row,  serial_row("ssi0", 0, &ssi_class_521),
    serial_row("ssi1", 1, &ssi_class_521), timer_row, portb_row, portc_row, count_row,
};
const periph_row periphs_73547[] = {
    core_row(&core_class_37),  codec_row(&codec_class_547, 0xFFC8),
    host_row,                  serial_row("ssi0", 0, &ssi_class_547),
    serial_row("ssi1", 1, &ssi_class_547), timer_row, portb_row, portc_row, count_row,
};
const periph_row periphs_73583[] = {
    core_row(&core_class_47),  codec_row(&codec_class_583, 0xFFC7),
    host_row,                  serial_row("rssi0", 0, &rssi_class),
    serial_row("rssi1", 1, &rssi_class), timer_row, portb_row, portc_row, count_row,
};

// ---------------------------------------------------------------------------
// Memory maps. The "pr" rows hold the bootstrap program read in operating
// modes 0 and 1.

constexpr uint16_t bootstrap_a[64] = {
    0x3E5C, 0xFFC0, 0x3E3C, 0xC000, 0x01F6, 0x0344, 0x28D0, 0x4A73, 0x2C09, 0x1F40,
    0x3A14, 0xFFD0, 0x3C9C, 0x2000, 0x3894, 0xFFD1, 0x14B3, 0x380E, 0x3DBC, 0x0800,
    0x040D, 0x001E, 0x140A, 0x3001, 0x2C0A, 0x2D90, 0x0E02, 0x000D, 0x1470, 0x2080,
    0x2E3D, 0x19F1, 0x1538, 0x1538, 0x0B03, 0x0E02, 0x0004, 0x034D, 0x29AE, 0x1530,
    0x1530, 0x0B09, 0x14B2, 0x3801, 0x1464, 0x3008, 0x0118, 0x1464, 0x2001, 0x2E3A,
    0x19A5, 0x020C, 0x3D5C, 0x0002, 0x1E00, 0x0BC8, 0, 0, 0, 0, 0, 0, 0, 0,
};

// The "73583ram" bootstrap differs from the others in four words.
constexpr std::array<uint16_t, 64> make_bootstrap_b() {
  std::array<uint16_t, 64> b{};
  for (int i = 0; i < 64; ++i) b[i] = bootstrap_a[i];
  b[13] = 0x2400;
  b[17] = 0x3817;
  b[52] = 0x1CFE;
  b[53] = 0x1D02;
  return b;
}
constexpr std::array<uint16_t, 64> bootstrap_b = make_bootstrap_b();

constexpr uint32_t ATTR_P = 0x8C300000, ATTR_PE = 0x8C000000, ATTR_PI = 0x80200000,
                   ATTR_PR = 0x80100000, ATTR_X = 0x43300000, ATTR_XE = 0x43000000,
                   ATTR_XI = 0x40200000, ATTR_XR = 0x40100000;

constexpr mem_region region(const char* name, int space, uint32_t attr, uint32_t low,
                            uint32_t high, uint32_t size, uint32_t flags,
                            const uint16_t* init = nullptr) {
  return {name, space, attr, low, high, size, flags, init, 0xFFFF, 0x10000001, 1};
}

constexpr mem_region row_p = region("p", SPACE_P, ATTR_P, 0, 0xFFFF, 0, 0x201000);
constexpr mem_region row_pe = region("pe", SPACE_PE, ATTR_PE, 0, 0xFFFF, 0, 0x1607000);
constexpr mem_region row_pi_2k = region("pi", SPACE_PI, ATTR_PI, 0, 0x7FF, 0x800, 0x607000);
constexpr mem_region row_x = region("x", SPACE_X, ATTR_X, 0, 0xFFFF, 0, 0x200000);
constexpr mem_region row_xe = region("xe", SPACE_XE, ATTR_XE, 0, 0xFFFF, 0, 0x1606000);
constexpr mem_region row_xi_2k = region("xi", SPACE_XI, ATTR_XI, 0, 0x7FF, 0x800, 0x626000);
constexpr mem_region row_xi_4k = region("xi", SPACE_XI, ATTR_XI, 0, 0xFFF, 0x1000, 0x626000);
constexpr mem_region row_io_64 = region("xi", SPACE_XI, ATTR_XI, 0xFFC0, 0xFFFF, 0, 0x636000);
constexpr mem_region row_io_128 = region("xi", SPACE_XI, ATTR_XI, 0xFF80, 0xFFFF, 0, 0x636000);

const mem_region map_73521[] = {
    row_p, row_pe, row_pi_2k,
    region("pr", SPACE_PR, ATTR_PR, 0, 0x3F, 0x40, 0x60F000, bootstrap_a),
    row_x, row_xe, row_xi_2k, row_io_64,
};
const mem_region map_73547rom[] = {
    row_p, row_pe, region("pi", SPACE_PI, ATTR_PI, 0, 0x2FFF, 0x3000, 0x627008),
    row_x, row_xe, row_xi_2k, row_io_64,
};
const mem_region map_73583ram[] = {
    row_p, row_pe, row_pi_2k,
    region("pr", SPACE_PR, ATTR_PR, 0, 0x3F, 0x40, 0x60F000, bootstrap_b.data()),
    row_x, row_xe, row_xi_4k, row_io_128,
};
const mem_region map_73583[] = {
    row_p,
    row_pe,
    region("pi", SPACE_PI, ATTR_PI, 0, 0xFF, 0x100, 0x627000),
    region("pi", SPACE_PI, ATTR_PI, 0x100, 0x20FF, 0x2000, 0x627008),
    region("pi", SPACE_PI, ATTR_PI, 0x2100, 0x3FFF, 0, 0x62700C),
    row_x,
    row_xe,
    row_xi_4k,
    region("xr", SPACE_XR, ATTR_XR, 0x1000, 0x1FFF, 0x1000, 0x606000),
    row_io_128,
};

// ---------------------------------------------------------------------------
// Pins and ports. Kind 20 marks the first of two rows that name one pin
// (its interrupt or frame-sync use) and 11 the second; 30 the analog pins;
// every other pin is a plain digital pin, 10.

enum pin_group : int { G_CTRL = 0, G_A = 1, G_B = 2, G_C = 3, G_D = 4 };

constexpr std::array<pin_desc, 86> make_pins() {
  std::array<pin_desc, 86> p{};
  int n = 0;
  auto add = [&](const char* name, const char* alt, int group, uint32_t mask, int kind) {
    p[n++] = pin_desc{name, alt, group, mask, kind};
  };
  add("reset", nullptr, G_CTRL, 0x8000, 10);
  add("modc", "irqc", G_CTRL, 0x4000, 20);
  add("modc", nullptr, G_CTRL, 0x4000, 11);
  add("modb", "irqb", G_CTRL, 0x2000, 10);
  add("moda", "irqa", G_CTRL, 0x1000, 10);
  add("peren", nullptr, G_CTRL, 0x100000, 10);
  add("bs", nullptr, G_CTRL, 0x800, 10);
  add("rw", nullptr, G_CTRL, 0x400, 10);
  add("ts", nullptr, G_CTRL, 0x200, 10);
  add("rd", nullptr, G_CTRL, 0x800000, 10);
  add("wr", nullptr, G_CTRL, 0x1000000, 10);
  add("ps", "ds", G_CTRL, 0x100, 10);
  add("ta", nullptr, G_CTRL, 0x80, 10);
  add("br", nullptr, G_CTRL, 0x40, 10);
  add("bg", nullptr, G_CTRL, 0x20, 10);
  add("bb", nullptr, G_CTRL, 0x10, 10);
  constexpr const char* pa[16] = {"pa0", "pa1", "pa2",  "pa3",  "pa4",  "pa5",  "pa6",  "pa7",
                                  "pa8", "pa9", "pa10", "pa11", "pa12", "pa13", "pa14", "pa15"};
  constexpr const char* an[16] = {"a0", "a1", "a2",  "a3",  "a4",  "a5",  "a6",  "a7",
                                  "a8", "a9", "a10", "a11", "a12", "a13", "a14", "a15"};
  for (int i = 15; i >= 0; --i) add(pa[i], an[i], G_A, 1u << i, 10);
  constexpr const char* pd[16] = {"pd0", "pd1", "pd2",  "pd3",  "pd4",  "pd5",  "pd6",  "pd7",
                                  "pd8", "pd9", "pd10", "pd11", "pd12", "pd13", "pd14", "pd15"};
  constexpr const char* dn[16] = {"d0", "d1", "d2",  "d3",  "d4",  "d5",  "d6",  "d7",
                                  "d8", "d9", "d10", "d11", "d12", "d13", "d14", "d15"};
  for (int i = 15; i >= 0; --i) add(pd[i], dn[i], G_D, 1u << i, 10);
  add("pb14", "hack", G_B, 0x4000, 10);
  add("pb13", "hreq", G_B, 0x2000, 10);
  add("pb12", "hen", G_B, 0x1000, 10);
  add("pb11", "hrw", G_B, 0x800, 10);
  add("pb10", "ha2", G_B, 0x400, 10);
  add("pb9", "ha1", G_B, 0x200, 10);
  add("pb8", "ha0", G_B, 0x100, 10);
  constexpr const char* pb[8] = {"pb0", "pb1", "pb2", "pb3", "pb4", "pb5", "pb6", "pb7"};
  constexpr const char* hn[8] = {"h0", "h1", "h2", "h3", "h4", "h5", "h6", "h7"};
  for (int i = 7; i >= 0; --i) add(pb[i], hn[i], G_B, 1u << i, 10);
  add("pc11", "tout", G_C, 0x800, 10);
  add("pc10", "tin", G_C, 0x400, 10);
  add("pc9", "sfs1", G_C, 0x200, 20);
  add("pc9", "sc01", G_C, 0x200, 11);
  add("pc8", "sc11", G_C, 0x100, 10);
  add("pc7", "sck1", G_C, 0x80, 10);
  add("pc6", "srd1", G_C, 0x40, 10);
  add("pc5", "std1", G_C, 0x20, 10);
  add("pc4", "sfs0", G_C, 0x10, 20);
  add("pc4", "sc00", G_C, 0x10, 11);
  add("pc3", "sc10", G_C, 0x8, 10);
  add("pc2", "sck0", G_C, 0x4, 10);
  add("pc1", "srd0", G_C, 0x2, 10);
  add("pc0", "std0", G_C, 0x1, 10);
  add("de", nullptr, G_CTRL, 8, 10);
  add("dr", nullptr, G_CTRL, 8, 10);
  add("dso", nullptr, G_CTRL, 4, 10);
  add("dsck", "os1", G_CTRL, 2, 10);
  add("dsi", "os0", G_CTRL, 1, 10);
  add("mic", nullptr, G_CTRL, 0x10000, 30);
  add("aux", nullptr, G_CTRL, 0x20000, 30);
  add("spkp", nullptr, G_CTRL, 0x40000, 30);
  add("spkm", nullptr, G_CTRL, 0x80000, 30);
  return p;
}
constexpr std::array<pin_desc, 86> pins = make_pins();

constexpr port_desc ports[8] = {
    {"ctrl", G_CTRL, 0x0FF0}, {"porta", G_A, 0xFFFF}, {"addr", G_A, 0xFFFF},
    {"abus", G_A, 0xFFFF},    {"portd", G_D, 0xFFFF}, {"dbus", G_D, 0xFFFF},
    {"data", G_D, 0xFFFF},    {"imc", G_CTRL, 0xF000},
};

// Register blocks: only the first words of block 0 (the control pins)
// start non-zero.
constexpr std::array<uint32_t, 5 * REG_BLOCK_WORDS> make_block_init() {
  std::array<uint32_t, 5 * REG_BLOCK_WORDS> b{};
  b[0] = 0xB050;
  b[1] = 0xF0E0;
  b[2] = 0;
  b[3] = 0x800;
  b[4] = 0;
  return b;
}
constexpr std::array<uint32_t, 5 * REG_BLOCK_WORDS> block_init = make_block_init();

template <std::size_t NP, std::size_t NR>
device_type make_type(const char* name, uint32_t type_bit, const periph_row (&periphs)[NP],
                      const mem_region (&regions)[NR]) {
  device_type t{};
  t.name = name;
  t.family_code = 711;
  t.type_bit = type_bit;
  t.expr_flags = 0x10000008;
  t.default_mode = 2;
  t.periph_count = static_cast<int>(NP);
  t.periphs = periphs;
  t.region_count = static_cast<int>(NR);
  t.regions = regions;
  t.page_file_base = "DSPMEM";
  t.mem = &dsp_mem_iface;
  t.device_word_count = 40;
  t.block_count = 5;
  t.block_init = block_init.data();
  t.pin_count = static_cast<int>(pins.size());
  t.pins = pins.data();
  t.port_count = 8;
  t.ports = ports;
  t.magic_list = nullptr;
  t.first_region.fill(0);
  return t;
}

device_type type_73521 = make_type("73521", TYPE_73521, periphs_73521, map_73521);
device_type type_73547 = make_type("73547", TYPE_73547, periphs_73547, map_73521);
device_type type_73547rom = make_type("73547rom", TYPE_73547ROM, periphs_73547, map_73547rom);
device_type type_73583ram = make_type("73583ram", TYPE_73583RAM, periphs_73583, map_73583ram);
device_type type_73583 = make_type("73583", TYPE_73583, periphs_73583, map_73583);

constexpr std::array<int, 27> all_width_11() {
  std::array<int, 27> w{};
  w.fill(11);
  return w;
}

// The three support records differ only in their register display layouts.
// The assembler and disassembler are put in at start-up.
constexpr family_desc family_for_display(const display_layout_set* layouts) {
  family_desc f{};
  f.value_width = all_width_11();
  f.help_generic_p = "pe, pi or pr depending upon address and omr value.";
  f.help_generic_x = "xi, xe or xr depending upon address and omr values";
  f.display_layouts = layouts;
  f.help_topics = &family_help_table;
  return f;
}
family_desc family_521 = family_for_display(&display_layouts_521);
family_desc family_547 = family_for_display(&display_layouts_547);
family_desc family_583 = family_for_display(&display_layouts_583);

}  // namespace

device_type* const device_types[TYPE_COUNT] = {&type_73521, &type_73547, &type_73547rom,
                                               &type_73583ram, &type_73583};
const family_desc* const family_descs[TYPE_COUNT] = {&family_521, &family_547, &family_547,
                                                     &family_583, &family_583};

void install_family_tools(assemble_fn assemble, disassemble_fn disassemble,
                          const profile_family_ops* profile_ops) {
  for (family_desc* f : {&family_521, &family_547, &family_583}) {
    f->assemble = assemble;
    f->disassemble = disassemble;
    f->profile_ops = profile_ops;
  }
}
