// A small synthetic sound ROM for render-thread tests and benchmarks: the
// board tests' tone program, which polls the command latch and plays one
// steady tone whose pitch depends on the code (PSG channel A, or OPLL
// channel 0 with a sine user instrument). Only plain machine types fit:
// latch only, no command entry and no tick timer that moves the program
// counter, so the built-in fix-ups leave the program alone.
#pragma once

#include <cstdint>
#include <vector>

#include "machine/MachineDef.h"
#include "support/RomForge.h"
#include "support/SoundBoardTestRoms.h"

namespace emutest {

// Types with NMI or sequence delivery, bus exceptions or other chip wiring
// are excluded (every PSG and SN76496 type needs a driver stub).
inline bool IsPlainType(const MachineDef& d) {
    switch (d.machineType) {
    case 0: case 1: case 4: case 9: case 13: case 14: case 20: case 21: case 24: case 27: case 28: case 29:
    case 30: case 31: case 32: case 36: case 42: case 52: case 53: case 56: case 57: case 66: case 69:
        return false;
    default:
        return d.commandEntry == 0 && !(d.tickPeriod != 0 && d.tickEntry != 0);
    }
}

// The first plain machine type with database rows and this chip, or 0.
inline uint32_t PickPlainType(uint32_t chipKind) {
    for (uint32_t type : MachineTypesWithRoms()) {
        const MachineDef* d = FindMachineDef(type);
        if (d && d->chipKind == chipKind && IsPlainType(*d)) return type;
    }
    return 0;
}

// The ROM image, forged to the first database row of the type.
inline std::vector<uint8_t> BuildToneRom(const MachineDef& d) { return boardtest::ToneRomImage(d); }

}  // namespace emutest
