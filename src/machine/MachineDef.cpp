#include "machine/MachineDef.h"

// Built from data/machines.txt at build time (MachineTable.cpp in the build
// tree); ends with an all-zero row.
extern const MachineDef g_MachineTable[];

namespace {

std::size_t CountRows()
{
    std::size_t n = 0;
    while (g_MachineTable[n].cpuClock != 0)
        ++n;
    return n;
}

}  // namespace

const MachineDef* FindMachineDef(uint32_t machineType)
{
    for (const MachineDef* row = g_MachineTable; row->cpuClock != 0; ++row)
        if (row->machineType == machineType)
            return row;
    return nullptr;
}

std::size_t GetMachineDefCount()
{
    static const std::size_t count = CountRows();
    return count;
}

const MachineDef& GetMachineDef(std::size_t index)
{
    std::size_t count = GetMachineDefCount();
    return g_MachineTable[index < count ? index : count];
}

const char* ChipKindName(uint32_t chipKind)
{
    switch (chipKind) {
    case ChipYM2413: return "YM2413";
    case ChipYMF281B: return "YMF281B";
    case ChipPSG: return "PSG";
    case ChipSN76496: return "SN76496";
    default: return "?";
    }
}
