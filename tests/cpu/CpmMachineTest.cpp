// CCpmMachine, the CP/M test machine behind kelvara-z80run: a program that
// halts, loops or does not fit is reported, never waited for. (Its console
// output carries the exerciser results, checked by the exerciser tests.)
#include "cpu/CpmMachine.h"

#include <gtest/gtest.h>

namespace {

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
