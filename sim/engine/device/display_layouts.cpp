// The register display layouts of the five device types. The three core
// variants differ; the on-chip peripherals share theirs across types.
#include "sim/engine/device/display_layouts.h"

#include <cstddef>

#include "sim/engine/periph/periph.h"

namespace {

constexpr display_slot reg(int number, int column, int name_width) {
  return {static_cast<int16_t>(number), static_cast<uint8_t>(column),
          static_cast<uint8_t>(name_width)};
}
constexpr display_slot blank(int column) { return {SLOT_BLANK, static_cast<uint8_t>(column), 0}; }
constexpr display_slot end_line{SLOT_LINE_END, 0, 0};

template <std::size_t N>
constexpr display_layout layout(const display_slot (&slots)[N]) {
  return {static_cast<int>(N), slots};
}

// ---------------------------------------------------------------------------
// The core.

#define XY_AB_LINES                                      \
  reg(CORE_X, 26, 3), reg(CORE_Y, 26, 2), end_line,      \
  reg(CORE_A, 26, 3), reg(CORE_B, 26, 2), end_line

#define DATA_ADDRESS_LINES                                                              \
  blank(13), reg(CORE_X1, 13, 3), reg(CORE_X0, 13, 4), reg(CORE_R3, 13, 4),             \
  reg(CORE_N3, 13, 4), reg(CORE_M3, 13, 4), end_line,                                   \
  blank(13), reg(CORE_Y1, 13, 3), reg(CORE_Y0, 13, 4), reg(CORE_R2, 13, 4),             \
  reg(CORE_N2, 13, 4), reg(CORE_M2, 13, 4), end_line,                                   \
  reg(CORE_A2, 13, 3), reg(CORE_A1, 13, 3), reg(CORE_A0, 13, 4), reg(CORE_R1, 13, 4),   \
  reg(CORE_N1, 13, 4), reg(CORE_M1, 13, 4), end_line,                                   \
  reg(CORE_B2, 13, 3), reg(CORE_B1, 13, 3), reg(CORE_B0, 13, 4), reg(CORE_R0, 13, 4),   \
  reg(CORE_N0, 13, 4), reg(CORE_M0, 13, 4), end_line

#define PC_SLOTS                                                                        \
  reg(CORE_PC, 13, 3), reg(CORE_SR, 13, 3), reg(CORE_OMR, 13, 4), reg(CORE_IPR, 13, 4), \
  reg(CORE_BCR, 13, 4)

#define LOOP_LINE                                                                       \
  reg(CORE_LA, 13, 3), reg(CORE_LC, 13, 3), reg(CORE_SSH, 13, 4), reg(CORE_SSL, 13, 4), \
  reg(CORE_SP, 13, 4), end_line

constexpr display_slot core_36[] = {XY_AB_LINES, DATA_ADDRESS_LINES, PC_SLOTS, end_line,
                                    LOOP_LINE};
constexpr display_slot core_37[] = {
    XY_AB_LINES, DATA_ADDRESS_LINES, PC_SLOTS, reg(CORE_PLCR, 13, 5), end_line, LOOP_LINE};
// On the 47-register core number 36 is pcr1.
constexpr display_slot core_47[] = {
    XY_AB_LINES,
    blank(36), reg(CORE_PAGUR2, 16, 7), reg(CORE_PAGUC2, 15, 7), end_line,
    blank(36), reg(CORE_PAGUR1, 16, 7), reg(CORE_PAGUC1, 15, 7), end_line,
    blank(9), reg(CORE_APASAM, 17, 7), blank(10), reg(CORE_PAGUR0, 16, 7),
    reg(CORE_PAGUC0, 15, 7), end_line,
    DATA_ADDRESS_LINES,
    PC_SLOTS, end_line,
    LOOP_LINE,
    reg(CORE_PCR0, 13, 4), reg(CORE_PLCR, 13, 5), reg(CORE_IPR2, 13, 5), reg(CORE_BCR2, 13, 5),
    end_line,
};

#undef XY_AB_LINES
#undef DATA_ADDRESS_LINES
#undef PC_SLOTS
#undef LOOP_LINE

// ---------------------------------------------------------------------------
// The on-chip peripherals and the counters.

constexpr display_slot codec_547[] = {
    reg(CODEC_CRX, 13, 3), reg(CODEC_CTX, 13, 5), reg(CODEC_CONTROL, 13, 5),
    reg(CODEC_COSR, 13, 5), end_line};
// ccr1 is register 0 of the "73583" codec, ccr0 its last.
constexpr display_slot codec_583[] = {
    reg(CODEC_CRX, 13, 3), reg(CODEC_CTX, 13, 5), reg(CODEC_CONTROL, 13, 5),
    reg(CODEC_CCR0, 13, 5), reg(CODEC_COSR, 13, 5), end_line};
constexpr display_slot host[] = {
    reg(HOST_HTX, 13, 3), reg(HOST_HRX, 13, 4), reg(HOST_HSR, 13, 4), reg(HOST_HCR, 13, 4),
    reg(HOST_RXH, 13, 4), reg(HOST_RXL, 13, 4), end_line,
    reg(HOST_ICR, 13, 3), reg(HOST_CVR, 13, 4), reg(HOST_ISR, 13, 4), reg(HOST_IVR, 13, 4),
    reg(HOST_TXH, 13, 4), reg(HOST_TXL, 13, 4), end_line};
constexpr display_slot ssi[] = {
    reg(SSI_RX, 13, 3), reg(SSI_CRA, 13, 5), reg(SSI_SSR, 13, 5), reg(SSI_RMH, 13, 5),
    reg(SSI_RML, 13, 5), end_line,
    reg(SSI_TX, 13, 3), reg(SSI_CRB, 13, 5), reg(SSI_TSR, 13, 5), reg(SSI_TMH, 13, 5),
    reg(SSI_TML, 13, 5), end_line};
constexpr display_slot rssi[] = {
    reg(RSSI_RX, 13, 3), reg(RSSI_CRA, 13, 5), reg(RSSI_SSR, 13, 5), end_line,
    reg(RSSI_TX, 13, 3), reg(RSSI_CRB, 13, 5), reg(RSSI_TSR, 13, 5), end_line};
constexpr display_slot timer[] = {
    reg(TIMER_TCR, 13, 3), reg(TIMER_TCTR, 13, 5), reg(TIMER_TPR, 13, 5), reg(TIMER_TCPR, 13, 5),
    end_line};
// Both ports: control, direction, data.
constexpr display_slot port[] = {
    reg(PORT_CONTROL, 10, 3), reg(PORT_DIRECTION, 14, 6), reg(PORT_DATA, 16, 5), end_line};
constexpr display_slot count[] = {
    reg(COUNT_CYC, 13, 3), reg(COUNT_ICTR, 13, 5), reg(COUNT_CNT1, 13, 5),
    reg(COUNT_CNT2, 13, 5), reg(COUNT_CNT3, 13, 5), reg(COUNT_CNT4, 13, 5), end_line};

// In peripheral row order of each type.
constexpr display_layout rows_521[] = {layout(core_36), layout(host),  layout(ssi),
                                       layout(ssi),     layout(timer), layout(port),
                                       layout(port),    layout(count)};
constexpr display_layout rows_547[] = {layout(core_37), layout(codec_547), layout(host),
                                       layout(ssi),     layout(ssi),       layout(timer),
                                       layout(port),    layout(port),      layout(count)};
constexpr display_layout rows_583[] = {layout(core_47), layout(codec_583), layout(host),
                                       layout(rssi),    layout(rssi),      layout(timer),
                                       layout(port),    layout(port),      layout(count)};

template <std::size_t N>
constexpr display_layout_set layout_set(const display_layout (&rows)[N]) {
  return {static_cast<int>(N), rows};
}

}  // namespace

const display_layout_set display_layouts_521 = layout_set(rows_521);
const display_layout_set display_layouts_547 = layout_set(rows_547);
const display_layout_set display_layouts_583 = layout_set(rows_583);
