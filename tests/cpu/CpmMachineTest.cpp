// CCpmMachine, the CP/M test machine behind kelvara-z80run.
#include "cpu/CpmMachine.h"

#include <gtest/gtest.h>

namespace {

TEST(CpmMachine, PrintsThroughBdosAndCountsTStatesExactly)
{
    CCpmMachine machine;
    std::string error;
    const std::vector<uint8_t> program = {
        0x0E, 0x09, 0x11, 0x12, 0x01,  // LD C,9 ; LD DE,0112h
        0xCD, 0x05, 0x00,              // CALL 5
        0x0E, 0x02, 0x1E, 0x21,        // LD C,2 ; LD E,'!'
        0xCD, 0x05, 0x00,              // CALL 5
        0xC3, 0x00, 0x00,              // JP 0
        'H', 'i', '$'};
    ASSERT_TRUE(machine.Load(program, error)) << error;
    CCpmMachine::RunResult result = machine.Run(1'000'000);
    EXPECT_TRUE(result.finished) << result.error;
    EXPECT_EQ(machine.Output(), "Hi!");
    // 7+10+17 and 7+7+17 for the calls, JP F000h + OUT + RET = 31 per BDOS
    // call, then JP 0 (10) and the stop trap's OUT (11).
    EXPECT_EQ(result.tStates, 34u + 31u + 31u + 31u + 10u + 11u);
}

TEST(CpmMachine, ReportsHaltsTimeoutsAndOversizedPrograms)
{
    CCpmMachine machine;
    std::string error;
    ASSERT_TRUE(machine.Load({0x00, 0x76}, error));
    CCpmMachine::RunResult halted = machine.Run(1'000'000);
    EXPECT_FALSE(halted.finished);
    EXPECT_TRUE(halted.halted);
    EXPECT_EQ(halted.error, "program halted at 0101");

    ASSERT_TRUE(machine.Load({0x18, 0xFE}, error));  // JR $
    CCpmMachine::RunResult looping = machine.Run(1200);
    EXPECT_FALSE(looping.finished);
    EXPECT_EQ(looping.tStates, 1200u);

    EXPECT_FALSE(machine.Load(std::vector<uint8_t>(CCpmMachine::kMaxProgramSize + 1), error));
    EXPECT_NE(error.find("too large"), std::string::npos);
}

}  // namespace
