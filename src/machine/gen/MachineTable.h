// Parsed rows of data/machines.txt, shared by the converters that need them
// (the machine table itself, and the ROM database, which derives a row's
// hardware label from its machine's chip).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "TableFile.h"

struct MachineRecord {
    uint32_t machineType, chipKind, cpuClock, chipClock, bootCycles;
    uint32_t tickPeriod, tickEntry, irqPeriod, irqData, commandEntry;
    uint32_t ramStart, ramEnd;
    uint32_t latchIsPort, latchLow, latchHigh;
    uint32_t chipIsPort, chipLow, chipHigh;
};

// All rows of a machines.txt file, in file order; throws GenError on bad data
// (wrong column count, unknown chip, duplicate type, inverted range, a
// 16-bit field out of range, a zero CPU clock).
std::vector<MachineRecord> ReadMachineTable(const std::string& path);

// The chip kind's name in machines.txt ("YM2413", "YMF281B", "PSG", "SN76496").
const char* ChipName(uint32_t chipKind);
