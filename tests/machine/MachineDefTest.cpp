// The built-in machine definitions: presence of every type, full rows for a
// few board models (one per chip kind and latch form), the chip mix, and
// rules every row must respect.

#include <gtest/gtest.h>

#include <array>

#include "machine/MachineDef.h"

namespace {

// Every field in declaration order, so a mismatch prints both rows.
std::array<uint32_t, 18> Fields(const MachineDef& m)
{
    return {m.machineType, m.chipKind, m.cpuClock, m.chipClock, m.bootCycles, m.tickPeriod,
            m.tickEntry,   m.irqPeriod, m.irqData, m.commandEntry, m.ramStart, m.ramEnd,
            m.latchIsPort, m.latchLow, m.latchHigh, m.chipIsPort, m.chipLow, m.chipHigh};
}

}  // namespace

TEST(MachineDef, HasTypes0To70ExceptType49)
{
    EXPECT_EQ(GetMachineDefCount(), 70u);
    for (uint32_t type = 0; type <= 71; ++type) {
        const MachineDef* def = FindMachineDef(type);
        ASSERT_EQ(def != nullptr, type != 49 && type != 71) << "type " << type;
        if (def) {
            EXPECT_EQ(def->machineType, type);
        }
    }
    EXPECT_EQ(GetMachineDef(70).cpuClock, 0u);  // past the end: the terminator
}

TEST(MachineDef, RowsHoldTheListedBoardModels)
{
    // type, chip, cpu, chip clock, boot, tick, tickEntry, irq, irqData, cmdEntry,
    // ram, latch (isPort, low, high), chip (isPort, low, high)
    const MachineDef rows[] = {
        {0, ChipYM2413, 3579545, 3579545, 357954, 0, 0, 4892, 0x38, 0, 0x2000, 0x3FFF, 0, 0x6000, 0x7FFF, 0, 0x4000, 0x5FFF},
        {5, ChipPSG, 3579545, 3000000, 7159090, 3402, 0x9000, 0, 0x00, 0x9020, 0x8000, 0x9FFF, 0, 0x0000, 0x0000, 1, 0x60, 0x61},
        {9, ChipYMF281B, 3579545, 3579545, 357954, 3361, 0, 0, 0x00, 0, 0x8000, 0x9FFF, 1, 0x02, 0x02, 1, 0x00, 0x01},
        {34, ChipSN76496, 3579545, 4000000, 7159090, 35750, 0x9040, 0, 0x00, 0x9000, 0x8000, 0x9FFF, 0, 0x2000, 0x3FFF, 0, 0xC000, 0xDFFF},
        {48, ChipYMF281B, 3579545, 3579545, 21477270, 0, 0, 3670, 0x02, 0x0FFD, 0x8000, 0x9FFF, 1, 0x06, 0x06, 1, 0x04, 0x05},
        {52, ChipPSG, 2912500, 2184375, 5825000, 5500, 0x3020, 0, 0x00, 0x3000, 0x2000, 0x3FFF, 1, 0x00, 0x00, 1, 0x05, 0x0E},
    };
    for (const MachineDef& row : rows)
        EXPECT_EQ(Fields(*FindMachineDef(row.machineType)), Fields(row)) << "type " << row.machineType;
}

// Address ranges are checked when the table is generated; what is left is
// the chip mix (the only check of a row's chip outside the rows above) and
// that a stub's tick entry comes with a tick timer.
TEST(MachineDef, ChipMixAndTickEntriesMatchTheBoards)
{
    std::array<int, 4> chips{};
    for (std::size_t i = 0; i < GetMachineDefCount(); ++i) {
        const MachineDef& m = GetMachineDef(i);
        ASSERT_LT(m.chipKind, 4u);
        ++chips[m.chipKind];
        EXPECT_TRUE(m.tickEntry == 0 || m.tickPeriod != 0) << "type " << m.machineType;
    }
    EXPECT_EQ(chips, (std::array<int, 4>{44, 5, 15, 6}));  // YM2413, YMF281B, PSG, SN76496
}
