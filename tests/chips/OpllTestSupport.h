// Shared set-up for the FM chip tests: a chip with a one-channel user
// instrument whose modulator never sounds, so the carrier plays a pure tone.
#pragma once

#include "chips/Opll.h"

#include <cstdint>

namespace OpllTest {

constexpr uint32_t kClock = 3579545;

inline OpllPtr MakeChip(uint32_t rate = 44100)
{
    return OpllPtr(OPLL::Create(kClock, rate));
}

// Registers 0x00-0x07 of the pure-tone instrument: modulator attack rate 0
// (it stays silent), carrier multiple 1, sustained, attack rate 15, no decay.
// Tests patch single bytes of it.
struct UserInstrument {
    uint8_t reg[8] = {0x01, 0x21, 0x00, 0x00, 0x00, 0xF0, 0x00, 0x00};
};

inline void Load(OPLL* chip, const UserInstrument& inst)
{
    for (uint32_t r = 0; r < 8; ++r)
        OPLL::WriteReg(chip, r, inst.reg[r]);
}

// Channel c plays instrument 0 at full volume; keyOn sets register 0x20+c bit 4.
inline void PlayChannel(OPLL* chip, int c, uint32_t fnum, uint32_t block, bool keyOn = true, bool sustain = false)
{
    OPLL::WriteReg(chip, 0x30 + c, 0x00);
    OPLL::WriteReg(chip, 0x10 + c, static_cast<uint8_t>(fnum & 0xFF));
    OPLL::WriteReg(chip, 0x20 + c,
                   static_cast<uint8_t>((sustain ? 0x20 : 0) | (keyOn ? 0x10 : 0) | (block << 1) | (fnum >> 8)));
}

} // namespace OpllTest
