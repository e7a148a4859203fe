// The core as a peripheral: its register tables per variant, reset values,
// and the side effects of register stores by number and over the bus.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "memory_fixture.h"
#include "sim/engine/core/core_state.h"
#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/device/device_type.h"
#include "sim/engine/device/memory.h"
#include "sim/engine/periph/periph.h"
#include "sim/engine/fast/state_digest.h"

namespace {

class CoreRegs : public device_fixture {
 protected:
  uint32_t* w() { return core_words(); }
  const periph_class& cls() { return *cur_type->periphs[0].cls; }
  uint32_t get(int reg) {
    uint32_t v[3] = {0xDEAD, 0xDEAD, 0xDEAD};
    EXPECT_EQ(core_get_reg(0, reg, v), 1);
    return v[0];
  }
  void set(int reg, uint32_t v) {
    uint32_t cell[3] = {v, 0, 0};
    EXPECT_EQ(core_set_reg(0, reg, cell), 1);
  }
  uint32_t attr(int reg) { return periph_attrs(0)[reg]; }
  void clear_marks() {
    for (int r = 0; r < cls().reg_count; ++r) periph_attrs(0)[r] &= ~ATTR_RUN_MARKS;
  }
};

std::string first_line(const char* help) {
  const char* nl = std::strchr(help, '\n');
  return nl ? std::string(help, nl) : std::string(help);
}

// ---------------------------------------------------------------------------
// Tables.

TEST_F(CoreRegs, VariantTablesDifferInRegister36AndMasks) {
  make("73521");
  EXPECT_EQ(cls().reg_count, 36);
  EXPECT_EQ(cls().state_word_count, 280);
  EXPECT_EQ(cls().class_word, 0u);
  EXPECT_EQ(cls().pending, nullptr);
  EXPECT_EQ(cls().regs[CORE_OMR].valid_mask, 0xFFu);
  EXPECT_EQ(cls().regs[CORE_SR].valid_mask, 0xCFFFu);
  free_all_devices();

  make("73547rom");
  EXPECT_EQ(cls().reg_count, 37);
  EXPECT_STREQ(cls().regs[CORE_PLCR].name, "plcr");
  EXPECT_EQ(cls().regs[CORE_PLCR].valid_mask, 0xFCFFu);
  EXPECT_EQ(cls().regs[CORE_PLCR].offset, 0xFFDCu);
  free_all_devices();

  make("73583ram");
  EXPECT_EQ(cls().reg_count, 47);
  EXPECT_STREQ(cls().regs[CORE_PLCR].name, "pcr1");
  EXPECT_EQ(cls().regs[CORE_PLCR].valid_mask, 0xFC00u);
  EXPECT_EQ(cls().regs[CORE_OMR].valid_mask, 0x2FFu);
  EXPECT_EQ(cls().regs[CORE_SR].valid_mask, 0xEFFFu);
  EXPECT_STREQ(cls().regs[CORE_APASAM].name, "apasam");
  EXPECT_EQ(cls().regs[CORE_APASAM].valid_mask, 0xFFF0u);
  EXPECT_EQ(cls().regs[CORE_PAGUC2].offset, 0xFFCDu);
  EXPECT_EQ(cls().regs[CORE_PCR0].access, 0x1061u);
  EXPECT_EQ(cls().regs[CORE_A2].access, 0x40001001u);
  EXPECT_EQ(cls().regs[CORE_IPR2].access, 0x100010E1u);
}

TEST_F(CoreRegs, HelpLinesAsStored) {
  make("73521");
  EXPECT_EQ(first_line(cls().regs[CORE_A].help), "Data Alu Accumulator Register");
  EXPECT_STREQ(cls().regs[CORE_N2].help, "Address Alu Offset Register");
  EXPECT_STREQ(cls().regs[CORE_SR].help,
               "Program Controller Status Register\n"
               " {      MR       }|{    CCR        }\n"
               " {L F A}   {S S I I}\n"
               " {F V D * 1 0 1 0 S L E U N Z V C}");
  EXPECT_STREQ(cls().regs[CORE_OMR].help,
               "Program Controller Operating Mode Register\n {C S   S E M M M}\n {D D R A X C B A}");
  const std::string ipr = cls().regs[CORE_IPR].help;
  EXPECT_NE(ipr.find("\n {1 0 1 0 1 0 1 0} * * {2 1 0 2 1 0}"), std::string::npos);
  free_all_devices();

  make("73583");
  EXPECT_STREQ(cls().regs[CORE_IPR2].help,
               "Interrupt Priority Register 2.\n     I I\n     C C     P P\n     L L     L L\n"
               " * * 2 1 * * 1 0");
  EXPECT_EQ(first_line(cls().regs[CORE_PCR0].help), "PLL Control Register 0.");
  const std::string ipr47 = cls().regs[CORE_IPR].help;
  EXPECT_NE(ipr47.find("\n {T T 1 1 0 0 H H C C B B B A A A}\n"), std::string::npos);
  EXPECT_NE(std::string(cls().regs[CORE_OMR].help).find("{            E   D D R A X C B A}"),
            std::string::npos);
}

// ---------------------------------------------------------------------------
// Reset.

TEST_F(CoreRegs, DeviceResetInModeTwo) {
  make("73521");  // initialised with the default mode 2
  EXPECT_EQ(get(CORE_PC), 0xE000u);
  EXPECT_EQ(cur_inst->pc, 0xE000u);
  EXPECT_EQ(get(CORE_SR), 0x0300u);
  EXPECT_EQ(get(CORE_BCR), 0x03FFu);
  for (int r = CORE_M0; r <= CORE_M3; ++r) EXPECT_EQ(get(r), 0xFFFFu);
  EXPECT_EQ(get(CORE_LA), 0xFFFFu);
  EXPECT_EQ(get(CORE_LC), 0xFFFFu);
  EXPECT_EQ(get(CORE_OMR), 2u);
  EXPECT_EQ(get(CORE_SP), 0u);
  EXPECT_EQ(get(CORE_IPR), 0u);
  EXPECT_EQ(cur_inst->device_words[DW_OPERATING_MODE], 2u);
  EXPECT_EQ(cur_inst->device_words[DW_CORE_STATE_CODE], 257u);
  EXPECT_EQ(w()[CS_RESTART_SKIP], 1u);
}

TEST_F(CoreRegs, ResetAddressByModeAndType) {
  make("73583");
  w()[CORE_APASAM] = 0x1230;
  w()[CORE_PCR0] = 0x0055;
  reset_peripherals(1, 1);
  EXPECT_EQ(get(CORE_PC), 0x0100u);
  EXPECT_EQ(get(CORE_OMR), 1u);
  EXPECT_EQ(get(CORE_BCR2), 0x001Fu);
  EXPECT_EQ(get(CORE_APASAM), 0u);
  EXPECT_EQ(get(CORE_PCR0), 0u);
  reset_peripherals(1, 0);
  EXPECT_EQ(get(CORE_PC), 0x0000u);
  free_all_devices();

  make("73521");
  reset_peripherals(1, 1);
  EXPECT_EQ(get(CORE_PC), 0x0000u);
}

TEST_F(CoreRegs, ResetKindsClearTheirPendingWords) {
  make("73521");
  for (int word = CS_PEND_ILLEGAL; word <= CS_PEND_CH2; ++word) w()[word] = 1;
  w()[CORE_PC] = 0x1234;
  core_reset(0, 0, -1);  // the STOP instruction's reset
  EXPECT_EQ(w()[CS_PEND_IRQA], 1u);
  EXPECT_EQ(w()[CS_PEND_STACK], 1u);
  EXPECT_EQ(w()[CS_PEND_IRQB], 0u);
  EXPECT_EQ(w()[CS_PEND_IRQC], 0u);
  EXPECT_EQ(w()[CS_PEND_CH1], 0u);
  EXPECT_EQ(get(CORE_PC), 0x1234u);
  EXPECT_EQ(cur_inst->device_words[DW_OPERATING_MODE], 2u);

  set(CORE_IPR, 0x0017);
  core_reset(0, 2, -1);  // the reset instruction
  EXPECT_EQ(w()[CS_PEND_IRQA], 0u);
  EXPECT_EQ(get(CORE_IPR), 0u);
  EXPECT_EQ(w()[CS_PEND_ILLEGAL], 1u);  // only the device reset clears the traps

  core_reset(0, 1, -1);
  EXPECT_EQ(w()[CS_PEND_STACK], 0u);
  EXPECT_EQ(w()[CS_PEND_SWI], 0u);
}

// ---------------------------------------------------------------------------
// Stores by number.

TEST_F(CoreRegs, PcWriteRestartsThePipeline) {
  make("73521");
  cur_inst->cycles = 77;
  cur_inst->instructions = 12;
  cur_inst->flags = 0;
  cur_state->run_word = 5;
  cur_state->pc_trace_count = 9;
  w()[CS_RESTART_SKIP] = 0;
  cur_inst->device_words[DW_CORE_STATE_CODE] = 280;
  set(CORE_PC, 0x12345);  // taken as 16 bits
  EXPECT_EQ(get(CORE_PC), 0x2345u);
  EXPECT_EQ(cur_inst->pc, 0x2345u);
  EXPECT_EQ(w()[CS_PAB], 0x2345u);
  EXPECT_EQ(cur_inst->cycles, 0u);
  EXPECT_EQ(cur_inst->instructions, 0u);
  EXPECT_EQ(cur_state->pc_trace_count, 0u);
  EXPECT_EQ(cur_inst->flags & DEV_PC_WRITTEN, DEV_PC_WRITTEN);
  EXPECT_EQ(cur_state->run_word, 0u);
  EXPECT_EQ(w()[CS_RESTART_SKIP], 1u);
  EXPECT_EQ(cur_inst->device_words[DW_CORE_STATE_CODE], 257u);
  EXPECT_EQ(attr(CORE_PC) & (ATTR_WRITTEN | ATTR_CHANGED), ATTR_WRITTEN | ATTR_CHANGED);
}

TEST_F(CoreRegs, StackErrorRaisesItsTrapOnceUntilCleared) {
  make("73521");
  set(CORE_SP, 0x13);
  EXPECT_EQ(w()[CS_PEND_STACK], 1u);
  core_ack_irq(0, 4);
  EXPECT_EQ(w()[CS_PEND_STACK], 0u);
  set(CORE_SP, 0x14);  // still set: remembered, no new trap
  EXPECT_EQ(w()[CS_PEND_STACK], 0u);
  set(CORE_SP, 0x04);  // cleared: forgotten
  EXPECT_EQ(w()[CS_PEND_STACK], 0u);
  set(CORE_SP, 0x1F);
  EXPECT_EQ(w()[CS_PEND_STACK], 1u);
  set(CORE_SP, 0xFF);
  EXPECT_EQ(get(CORE_SP), 0x3Fu);  // six bits
}

TEST_F(CoreRegs, StackWindowsWithEmptyAndNonEmptyStack) {
  make("73521");
  set(CORE_SP, 0);
  w()[CS_SS_HIGH] = 0x1111;  // entry 0 holds nothing readable
  EXPECT_EQ(get(CORE_SSH), 0u);
  EXPECT_EQ(get(CORE_SSL), 0u);
  clear_marks();
  set(CORE_SSH, 0xAAAA);
  set(CORE_SSL, 0xBBBB);
  EXPECT_EQ(w()[CS_SS_HIGH], 0x1111u);
  EXPECT_EQ(w()[CS_SS_LOW], 0u);
  EXPECT_EQ(attr(CORE_SSH) & ATTR_WRITTEN, 0u);

  set(CORE_SP, 2);
  set(CORE_SSH, 0xAAAA);
  set(CORE_SSL, 0xBBBB);
  EXPECT_EQ(w()[CS_SS_HIGH + 2], 0xAAAAu);
  EXPECT_EQ(w()[CS_SS_LOW + 2], 0xBBBBu);
  EXPECT_EQ(get(CORE_SSH), 0xAAAAu);
  EXPECT_EQ(get(CORE_SSL), 0xBBBBu);
  EXPECT_EQ(attr(CORE_SSH) & ATTR_WRITTEN, ATTR_WRITTEN);
  EXPECT_EQ(get(CORE_SP), 2u);  // the windows never move the pointer
}

TEST_F(CoreRegs, CompositesStorePartsAndMarkTheWhole) {
  make("73521");
  clear_marks();
  uint32_t acc[3] = {0x11234, 0x5678, 0x1AB};
  core_set_reg(0, CORE_B, acc);
  EXPECT_EQ(w()[CORE_B0], 0x1234u);
  EXPECT_EQ(w()[CORE_B1], 0x5678u);
  EXPECT_EQ(w()[CORE_B2], 0xABu);  // eight bits
  uint32_t out[3] = {};
  core_get_reg(0, CORE_B, out);
  EXPECT_EQ(out[0], 0x1234u);
  EXPECT_EQ(out[1], 0x5678u);
  EXPECT_EQ(out[2], 0xABu);
  EXPECT_EQ(attr(CORE_B) & ATTR_CHANGED, ATTR_CHANGED);
  EXPECT_EQ(attr(CORE_B0) & ATTR_CHANGED, ATTR_CHANGED);

  clear_marks();
  uint32_t pair[2] = {0x0001, 0x0002};
  core_set_reg(0, CORE_Y, pair);
  core_get_reg(0, CORE_Y, out);
  EXPECT_EQ(out[0], 1u);
  EXPECT_EQ(out[1], 2u);
  EXPECT_EQ(attr(CORE_Y) & ATTR_WRITTEN, ATTR_WRITTEN);

  // A part stored alone marks its composite; the quiet store does not.
  clear_marks();
  set(CORE_X1, 7);
  EXPECT_EQ(attr(CORE_X) & ATTR_WRITTEN, ATTR_WRITTEN);
  clear_marks();
  core_store_reg_quiet(CORE_X0, 9);
  EXPECT_EQ(w()[CORE_X0], 9u);
  EXPECT_EQ(attr(CORE_X0) & ATTR_WRITTEN, ATTR_WRITTEN);
  EXPECT_EQ(attr(CORE_X) & ATTR_WRITTEN, 0u);

  // A part already marked (a quiet store) still marks its composite when
  // stored again with it, and every store keeps the part's valid bits.
  struct part_case {
    int part, composite;
    uint32_t stored, kept;
  };
  constexpr part_case parts[] = {{CORE_A0, CORE_A, 0x12345, 0x2345}, {CORE_B2, CORE_B, 0x1FF, 0xFF},
                                 {CORE_X1, CORE_X, 0xFFFFF, 0xFFFF}, {CORE_Y0, CORE_Y, 0x10001, 1}};
  for (const part_case& c : parts) {
    clear_marks();
    core_store_reg_quiet(c.part, c.stored);
    EXPECT_EQ(attr(c.composite) & ATTR_CHANGED, 0u) << c.part;
    core_store_reg(c.part, c.stored);
    EXPECT_EQ(w()[c.part], c.kept) << c.part;
    EXPECT_EQ(attr(c.composite) & ATTR_CHANGED, ATTR_CHANGED) << c.part;
  }
}

// The in-place store of sr and pc leaves what the generic store leaves:
// the variant's valid bits, the marks and the pc flag.
TEST_F(CoreRegs, ControlStoreInPlaceMatchesTheGenericStore) {
  for (const char* type : {"73521", "73583ram"}) {
    make(type);
    for (const int reg : {CORE_SR, CORE_PC}) {
      uint32_t word[2], marks[2], flags[2];
      for (int k = 0; k < 2; ++k) {
        clear_marks();
        w()[reg] = 0;
        cur_inst->flags &= ~DEV_PC_WRITTEN;
        if (k == 0)
          core_store_reg(reg, 0xFFFFF);
        else
          core_store_control(reg, 0xFFFFF);
        word[k] = w()[reg];
        marks[k] = attr(reg);
        flags[k] = cur_inst->flags & DEV_PC_WRITTEN;
      }
      EXPECT_EQ(word[1], word[0]) << type << " " << reg;
      EXPECT_EQ(marks[1], marks[0]) << type << " " << reg;
      EXPECT_EQ(flags[1], flags[0]) << type << " " << reg;
      EXPECT_EQ(flags[0] != 0, reg == CORE_PC) << type;
    }
    free_all_devices();
  }
}

// A store of a register whose marks are all set takes the short path for
// the registers that have no effects; every register, short path or not,
// leaves what the generic store leaves on a twin device (a register given
// the short path wrongly keeps bits beyond its valid ones, or misses its
// effects).
TEST_F(CoreRegs, StoresOfMarkedRegistersMatchTheGenericStore) {
  for (const char* type : {"73521", "73547", "73583", "73547rom", "73583ram"}) {
    make(type, 0);
    make(type, 1);
    int short_path = 0;
    for (int reg = 0; reg < cls().reg_count; ++reg) {
      for (const uint32_t value : {0x1FFFFu, 0x8001u}) {
        for (int d : {0, 1}) {
          make_device_current(d);
          core_store_reg_marks(reg, 0, true);
        }
        make_device_current(0);
        short_path += core_store_marked(reg, value, true) ? 1 : 0;
        core_store_reg(reg, value);
        make_device_current(1);
        core_store_reg_marks(reg, value, true);
        ASSERT_EQ(device_state_difference(0, 1), "") << type << " register " << cls().regs[reg].name;
      }
    }
    EXPECT_GT(short_path, 0) << type;
    free_all_devices();
  }
}

TEST_F(CoreRegs, OmrSteersSpaceResolutionAndArbitration) {
  make("73521");
  set(CORE_OMR, 3);
  EXPECT_EQ(mem_resolve_space(SPACE_P, 0x0100), SPACE_PE);
  set(CORE_OMR, 2);
  EXPECT_EQ(mem_resolve_space(SPACE_P, 0x0100), SPACE_PI);
  EXPECT_EQ(mem_resolve_space(SPACE_P, 0x0900), SPACE_PE);
  set(CORE_OMR, 0);
  EXPECT_EQ(mem_resolve_space(SPACE_P, 0x0010), SPACE_PR);
  EXPECT_EQ(mem_resolve_space(SPACE_X, 0x0010), SPACE_XI);
  set(CORE_OMR, 0x08);
  EXPECT_EQ(mem_resolve_space(SPACE_X, 0x0010), SPACE_XE);

  // Bit 2 changing restarts the arbitration machine; other bits do not.
  w()[CS_ARB_STATE] = 5;
  set(CORE_OMR, 0x0C);
  EXPECT_EQ(w()[CS_ARB_STATE], 0u);
  w()[CS_ARB_STATE] = 6;
  set(CORE_OMR, 0x1C);
  EXPECT_EQ(w()[CS_ARB_STATE], 6u);

  // The register keeps its valid bits, the mode copy bits 0-9 less 8.
  set(CORE_OMR, 0xFFFF);
  EXPECT_EQ(get(CORE_OMR), 0xFFu);
  EXPECT_EQ(w()[CS_OPERATING_MODE], 0x2FFu);
}

TEST_F(CoreRegs, AddressRegisterStoreReplacesPendingUpdate) {
  make("73521");
  w()[CS_AGU_PENDING] = CORE_R1;
  w()[CS_AGU_UPDATE] = 0x0101;
  set(CORE_R2, 0x2222);
  EXPECT_EQ(w()[CS_AGU_UPDATE], 0x0101u);
  set(CORE_R1, 0x1111);
  EXPECT_EQ(w()[CS_AGU_UPDATE], 0x1111u);
  set(CORE_R3, 0x3333);
  EXPECT_EQ(w()[CS_AGU2_R3], 0x3333u);
}

TEST_F(CoreRegs, InterruptControlStoresClearEdgeLatches) {
  make("73583");
  w()[CS_EDGE_IRQA] = 1;
  w()[CS_EDGE_IRQB] = 1;
  set(CORE_IPR, 0x0004);  // IRQA edge mode kept, IRQB level mode
  EXPECT_EQ(w()[CS_EDGE_IRQA], 1u);
  EXPECT_EQ(w()[CS_EDGE_IRQB], 0u);
  EXPECT_EQ(get(CORE_IPR), 0x0004u);
  EXPECT_EQ(attr(CORE_IPR) & ATTR_WRITTEN, ATTR_WRITTEN);

  w()[CS_EDGE_IRQC] = 1;
  set(CORE_IPR2, 0x0003);
  EXPECT_EQ(w()[CS_EDGE_IRQC], 1u);
  set(CORE_IPR2, 0x0010);
  EXPECT_EQ(w()[CS_EDGE_IRQC], 0u);
  set(CORE_IPR2, 0xFFFF);
  EXPECT_EQ(get(CORE_IPR2), 0x33u);
}

TEST_F(CoreRegs, AcknowledgeClearsPendingAndEdge) {
  make("73521");
  w()[CS_PEND_IRQB] = 1;
  w()[CS_EDGE_IRQB] = 1;
  w()[CS_PEND_CH1] = 1;
  core_ack_irq(0, 12);
  EXPECT_EQ(w()[CS_PEND_IRQB], 0u);
  EXPECT_EQ(w()[CS_EDGE_IRQB], 0u);
  core_ack_irq(0, 6);  // not a core vector
  EXPECT_EQ(w()[CS_PEND_CH1], 1u);
  core_ack_irq(0, 50);
  EXPECT_EQ(w()[CS_PEND_CH1], 0u);
}

TEST_F(CoreRegs, NumbersBeyondTheVariantAreStoredWithoutMarks) {
  make("73521");
  set(CORE_PAGUR1, 0x1234);
  EXPECT_EQ(w()[CORE_PAGUR1], 0x1234u);
  uint32_t out = 0;
  core_get_reg(0, CORE_PAGUR1, &out);
  EXPECT_EQ(out, 0x1234u);
  set(400, 1);  // past the state words: nothing happens
  out = 0xDEAD;
  core_get_reg(0, 400, &out);
  EXPECT_EQ(out, 0u);
}

// ---------------------------------------------------------------------------
// The bus.

TEST_F(CoreRegs, BusAddressesByVariant) {
  make("73521");
  w()[CORE_PLCR] = 0x0042;
  EXPECT_EQ(core_bus_write(0, 0xFFDC, 0x1234, 1), 0);
  EXPECT_EQ(w()[CORE_PLCR], 0x0042u);
  uint32_t out = 0xBEEF;
  core_bus_read(0, 0xFFDC, &out, 1);
  EXPECT_EQ(out, 0xBEEFu);
  write_peripheral_bus(0xFFDE, 0x1234, 0);
  EXPECT_EQ(get(CORE_BCR), 0x1234u);
  core_bus_read(0, 0xFFDF, &out, 1);
  EXPECT_EQ(out, get(CORE_IPR));
  EXPECT_EQ(core_bus_write(0, 0xFFDA, 1, 1), 0);  // bcr2 is not on this core
  free_all_devices();

  make("73547");
  EXPECT_EQ(core_bus_write(0, 0xFFDC, 0x0003, 1), 1);
  EXPECT_EQ(get(CORE_PLCR), 0x0003u);
  free_all_devices();

  make("73583");
  EXPECT_EQ(core_bus_write(0, 0xFFCA, 0xFFFF, 1), 1);
  EXPECT_EQ(get(CORE_APASAM), 0xFFF0u);
  core_bus_read(0, 0xFFCA, &out, 0);
  EXPECT_EQ(out, 0xFFF0u);
}

TEST_F(CoreRegs, CommandStoreOfBusRegisterGoesOverTheBus) {
  make("73583");
  w()[CORE_PLCR] = PLL_LOCK;
  clear_marks();
  set(CORE_PLCR, 0x0000);  // the bus rule keeps the lock bit
  EXPECT_EQ(get(CORE_PLCR), PLL_LOCK);
  EXPECT_EQ(attr(CORE_PLCR) & ATTR_WRITTEN, ATTR_WRITTEN);
  set(CORE_BCR2, 0x00FF);
  EXPECT_EQ(get(CORE_BCR2), 0x1Fu);

  // The store is noted at its address in the I/O window's write log.
  const access_log& log = cur_state->region_logs[find_memory_region(SPACE_XI, 0xFFDE)].writes;
  const uint32_t before = log.run_count;
  set(CORE_BCR, 0x0012);
  EXPECT_EQ(log.run_count, before + 1);
  EXPECT_EQ(log.address[log.ring_index], 0xFFDEu);
}

TEST_F(CoreRegs, Pcr1LockBitKeptOnBusWrite) {
  make("73583");
  w()[CORE_PLCR] = 0;
  write_peripheral_bus(0xFFDC, 0x8000, 1);
  EXPECT_EQ(get(CORE_PLCR), 0u);
  w()[CORE_PLCR] = PLL_LOCK;
  write_peripheral_bus(0xFFDC, 0x0400, 1);
  EXPECT_EQ(get(CORE_PLCR), PLL_LOCK | 0x0400);
}

TEST_F(CoreRegs, PllStoresRestartTheLockCount) {
  make("73547");
  w()[CORE_PLCR] = PLL_LOCK | 0x0012;
  w()[CS_PLL_LOCK_COUNT] = 0;
  write_peripheral_bus(0xFFDC, 0x0012 | 0x0400, 1);  // multiplier unchanged
  EXPECT_EQ(get(CORE_PLCR), PLL_LOCK | 0x0412);
  EXPECT_EQ(w()[CS_PLL_LOCK_COUNT], 0u);
  write_peripheral_bus(0xFFDC, 0x0013, 1);  // multiplier changed
  EXPECT_EQ(get(CORE_PLCR), 0x0013u);
  EXPECT_EQ(w()[CS_PLL_LOCK_COUNT], 1000u);

  // Power-down set anew loses the lock; not while the PLL is enabled.
  w()[CORE_PLCR] = PLL_LOCK;
  w()[CS_PLL_LOCK_COUNT] = 0;
  write_peripheral_bus(0xFFDC, PLL_POWER_DOWN, 1);
  EXPECT_EQ(get(CORE_PLCR), PLL_POWER_DOWN);
  EXPECT_EQ(w()[CS_PLL_LOCK_COUNT], 1000u);
  w()[CORE_PLCR] = PLL_LOCK | PLL_ENABLE;
  w()[CS_PLL_LOCK_COUNT] = 0;
  write_peripheral_bus(0xFFDC, PLL_ENABLE | PLL_POWER_DOWN, 1);
  EXPECT_EQ(get(CORE_PLCR), PLL_LOCK | PLL_ENABLE);
  EXPECT_EQ(w()[CS_PLL_LOCK_COUNT], 0u);
  free_all_devices();

  make("73583");
  w()[CORE_PLCR] = PLL_LOCK;
  w()[CORE_PCR0] = 0x0100;
  write_peripheral_bus(0xFFDB, 0x1100, 1);  // bits 12-15 only
  EXPECT_EQ(get(CORE_PLCR), PLL_LOCK);
  write_peripheral_bus(0xFFDB, 0x1101, 1);
  EXPECT_EQ(get(CORE_PLCR), 0u);
  EXPECT_EQ(w()[CS_PLL_LOCK_COUNT], 1000u);
}

// ---------------------------------------------------------------------------
// The stack operations.

TEST_F(CoreRegs, StackPushReadDecrement) {
  make("73521");
  w()[CORE_X0] = 0x1111;
  w()[CORE_X1] = 0x2222;
  ss_push(CORE_X0, CORE_X1);
  EXPECT_EQ(get(CORE_SP), 1u);
  EXPECT_EQ(w()[CS_SS_HIGH + 1], 0x1111u);
  EXPECT_EQ(w()[CS_SS_LOW + 1], 0x2222u);
  ss_read(CORE_Y0, CORE_Y1);
  EXPECT_EQ(w()[CORE_Y0], 0x1111u);
  EXPECT_EQ(w()[CORE_Y1], 0x2222u);
  EXPECT_EQ(get(CORE_SP), 1u);
  ss_decrement();
  EXPECT_EQ(get(CORE_SP), 0u);
  ss_read(CORE_Y0, CORE_Y1);
  EXPECT_EQ(w()[CORE_Y0], 0u);
  ss_decrement();  // below empty: all six bits
  EXPECT_EQ(get(CORE_SP), 0x3Fu);
  EXPECT_EQ(w()[CS_PEND_STACK], 1u);
}

TEST_F(CoreRegs, SixteenthPushSetsStackErrorOnce) {
  make("73521");
  for (int i = 0; i < 15; ++i) ss_push(CORE_X0, CORE_X1);
  EXPECT_EQ(get(CORE_SP), 15u);
  EXPECT_EQ(w()[CS_PEND_STACK], 0u);
  ss_push(CORE_X0, CORE_X1);
  EXPECT_EQ(get(CORE_SP), 0x10u);
  EXPECT_EQ(w()[CS_PEND_STACK], 1u);
  core_ack_irq(0, 4);
  ss_push(CORE_X0, CORE_X1);  // wraps within four bits, error kept
  EXPECT_EQ(get(CORE_SP), 0x11u);
  EXPECT_EQ(w()[CS_PEND_STACK], 0u);
}

}  // namespace
