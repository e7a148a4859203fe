// The core's external bus: arbitration as arbiter and as requester, the
// pins of an access, transfer acknowledge, the stall that an abort ends;
// the PLL lock and the clock-out pin; conditional repeat and the
// r2-offset prefix.
#include <gtest/gtest.h>

#include "core_fixture.h"
#include "sim/engine/core/core_state.h"

namespace {

constexpr uint32_t NOP = 0x0000;
constexpr uint32_t READ_R1 = 0x3C05;  // move x:(r1)+,x0

class CoreBus : public core_fixture {
 protected:
  // Internal program reading external X memory at $1000 upwards.
  void external_reader() {
    boot(0x0000);
    set(CORE_BCR, 0x0000);
    set(CORE_R1, 0x1000);
    for (uint32_t a = 0; a < 0x20; ++a) program(a, {READ_R1});
    for (uint32_t a = 0; a < 0x20; ++a) xmem(0x1000 + a, 0x100 + a);
  }
};

TEST_F(CoreBus, ArbiterTakesTheBusWithOneStallCycle) {
  external_reader();
  EXPECT_EQ(reg(CORE_BCR) & 0x4000, 0u);
  EXPECT_EQ(step(), 2 + 1 + 2);  // the refill, the bus taken, the read
  EXPECT_EQ(reg(CORE_X0), 0x0100u);
  EXPECT_EQ(reg(CORE_BCR) & 0x4000, 0x4000u);
  EXPECT_EQ(periph_pin_block(PINS_ADDRESS)[PIN_DRIVEN], 0xFFFFu);
  EXPECT_EQ(step(), 2);  // the bus stays with the core
  EXPECT_EQ(periph_pin_block(PINS_ADDRESS)[PIN_DRIVEN_LEVEL], 0x1001u);
}

TEST_F(CoreBus, BusRequestFromOutsideStallsTheCoreUntilReleased) {
  external_reader();
  steps(1);
  pin_low(CTL_BR);
  clock(4);  // granted away at the next idle point
  EXPECT_EQ(reg(CORE_BCR) & 0x4000, 0u);
  EXPECT_EQ(pins()[PIN_DRIVEN_LEVEL] & CTL_BG, 0u);
  const uint32_t x0 = reg(CORE_X0);
  clock(20);
  EXPECT_EQ(cur_inst->device_words[DW_CORE_STATE_CODE], CORE_STATE_ARBITRATE);
  EXPECT_EQ(reg(CORE_X0), x0);
  // An abort lets a run stop at the stalled cycle.
  cur_inst->flags = 0;
  cur_inst->abort = 1;
  clock(1);
  EXPECT_TRUE(cur_inst->flags & DEV_INSTR_END);
  cur_inst->abort = 0;
  pin_high(CTL_BR);
  EXPECT_GT(step(), 0);
  EXPECT_NE(reg(CORE_X0), x0);
}

TEST_F(CoreBus, RequesterAsksWithBrAndTakesTheBusWhenGranted) {
  external_reader();
  set(CORE_OMR, 0x0006);  // mode 2, bus requester
  EXPECT_EQ(step(), 2 + 1 + 2);  // br low at once, bb taken a cycle later
  EXPECT_EQ(pins()[PIN_DRIVEN_LEVEL] & CTL_BR, 0u);
  EXPECT_EQ(reg(CORE_BCR) & 0x4000, 0x4000u);
  EXPECT_EQ(step(), 2);
}

TEST_F(CoreBus, AccessDrivesTheStrobesAndAddress) {
  external_reader();
  set(CORE_BCR, 0x0002 << 5);  // two data wait states
  steps(1);
  clock(1);  // first half: the access starts
  const uint32_t* c = pins();
  EXPECT_EQ(periph_pin_block(PINS_ADDRESS)[PIN_DRIVEN_LEVEL], 0x1001u);
  EXPECT_EQ(c[PIN_DRIVEN_LEVEL] & (CTL_PS | CTL_BS | CTL_TS | CTL_RD), 0u);  // X space, read
  EXPECT_EQ(c[PIN_DRIVEN_LEVEL] & (CTL_RW | CTL_WR), CTL_RW | CTL_WR);
  EXPECT_EQ(step(), 1 + 2);
  EXPECT_EQ(pins()[PIN_DRIVEN_LEVEL] & CTL_BS, CTL_BS);  // strobes idle again
}

TEST_F(CoreBus, TransferAcknowledgeHighHoldsTheAccess) {
  external_reader();
  steps(1);
  pin_high(CTL_TA);
  clock(12);
  EXPECT_EQ(cur_inst->device_words[DW_CORE_STATE_CODE], CORE_STATE_COMPLETE);
  EXPECT_EQ(reg(CORE_X0), 0x0100u);
  pin_low(CTL_TA);
  clock(2);
  EXPECT_EQ(reg(CORE_X0), 0x0101u);
}

TEST_F(CoreBus, PllLocksAThousandCyclesAfterAMultiplierChange) {
  boot(0x0000, "73547");
  set(CORE_PLCR, 0x4011);
  EXPECT_EQ(reg(CORE_PLCR) & PLL_LOCK, 0u);
  clock(999);
  EXPECT_EQ(reg(CORE_PLCR) & PLL_LOCK, 0u);
  clock(1);
  EXPECT_EQ(reg(CORE_PLCR) & PLL_LOCK, PLL_LOCK);
}

TEST_F(CoreBus, ClockOutPin) {
  boot(0x0000, "73547");
  set(CORE_PLCR, 0x0400);  // held low
  clock(1);
  EXPECT_EQ(pins()[PIN_DRIVEN] & CTL_CLKOUT, CTL_CLKOUT);
  EXPECT_EQ(pins()[PIN_DRIVEN_LEVEL] & CTL_CLKOUT, 0u);
  set(CORE_OMR, 0x0082);  // clock out disabled
  clock(1);
  EXPECT_EQ(pins()[PIN_DRIVEN] & CTL_CLKOUT, 0u);
}

TEST_F(CoreBus, ConditionalRepeatAndR2Offsets) {
  run_cases({
      {.name = "conditional repeat runs until the condition holds",
       .start = 0x0010,
       .accs = {{CORE_A, 0, 0, 3}},
       .code = {{0x0010, {0x015A, 0x4A62, NOP}}},  // repeq; dec a
       // the repeat is over
       .checks = {{4, {{CORE_A0, 0}, {CORE_SR, SR_Z, SR_Z}, {CORE_PC, 0x0012}}},
                  {1, {{CORE_PC, 0x0013}, {CORE_A0, 0}}}}},
      {.name = "r2-offset prefix addresses relative to r2",
       .regs = {{CORE_R2, 0x0040}},
       .x = {{0x0045, 0x1357}, {0x003E, 0x2468}},
       .code = {{0x0000,
                 {
                     0x0505, 0x3C00,  // move x:(r2+5),x0
                     0x05FE, 0x8700,  // add b,a x:(r2-2),y1
                 }}},
       .checks = {{1, {{CORE_X0, 0x1357}}},
                  {1, {{CORE_Y1, 0x2468}, {CORE_R2, 0x0040}}}}},
  });
}

}  // namespace
