// A small synthetic sound ROM for render-thread tests and benchmarks: it
// polls the command latch and plays one steady tone whose pitch depends on
// the code (PSG channel A, or OPLL channel 0 with a sine user instrument).
// Only plain machine types fit: latch only, chip written as a select/data
// pair at the start of the chip window, no command entry and no tick timer
// that moves the program counter.
#pragma once

#include <cstdint>
#include <vector>

#include "machine/MachineDef.h"
#include "support/RomForge.h"
#include "kelvara-asm/Z80Asm.h"

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
inline std::vector<uint8_t> BuildToneRom(const MachineDef& d) {
    using R8 = Z80Asm::R8;
    using R16 = Z80Asm::R16;
    using Cc = Z80Asm::Cc;
    const bool psg = d.chipKind == ChipPSG;
    const uint16_t select = static_cast<uint16_t>((d.chipLow + 1) & ~1u);
    Z80Asm a(0x0000);
    auto write = [&](uint16_t where) {
        if (d.chipIsPort) a.out_n_a(static_cast<uint8_t>(where));
        else a.ld_mem_a(where);
    };

    a.quietBoot(static_cast<uint16_t>((d.ramEnd + 1) & 0xFFFF), "poll");
    a.label("poll");  // wait for a code other than 0xFF and 0x00/0x80
    if (d.latchIsPort) a.in_a_n(static_cast<uint8_t>(d.latchLow));
    else a.ld_a_mem(static_cast<uint16_t>(d.latchLow));
    a.cp_n(0xFF);
    a.jr(Cc::Z, "poll");
    a.and_n(0x7F);
    a.jr(Cc::Z, "poll");
    a.call("play");
    a.label("idle");
    a.jr("idle");

    a.label("play");  // A = code: write the setup table, then the pitch
    a.push(R16::AF);
    a.ld_hl_nn("setup");
    a.ld(R8::D, static_cast<uint8_t>(psg ? 3 : 9));
    a.label("setup_loop");
    a.ld(R8::B, R8::HLi);
    a.inc(R16::HL);
    a.ld(R8::C, R8::HLi);
    a.inc(R16::HL);
    a.call("wreg");
    a.dec(R8::D);
    a.jr(Cc::NZ, "setup_loop");
    a.pop(R16::AF);
    a.ld(R8::C, R8::A);
    a.ld(R8::B, static_cast<uint8_t>(psg ? 0 : 0x10));  // PSG fine period / OPLL F-number low = code
    a.call("wreg");
    if (!psg) {
        a.ld(R8::B, uint8_t{0x20});  // key on, block 4, F-number bit 8
        a.ld(R8::C, uint8_t{0x19});
        a.call("wreg");
    }
    a.ret();

    a.label("wreg");  // chip register B = C
    a.ld(R8::A, R8::B);
    write(select);
    a.ld(R8::A, R8::C);
    write(static_cast<uint16_t>(select + 1));
    a.ret();

    a.label("setup");
    if (psg)  // tone A only, level 15, coarse period 1
        a.db({7, 0x3E, 8, 0x0F, 1, 0x01});
    else  // modulator muted, carrier a sustained sine; channel 0 at volume 0
        a.db({0x00, 0x21, 0x01, 0x21, 0x02, 0x3F, 0x03, 0x00, 0x04, 0xF0, 0x05, 0xF0, 0x06, 0x0F, 0x07, 0x0F, 0x30, 0x00});
    std::vector<uint8_t> image = a.image(0x2000);
    ForgeRomCrc(image, FirstRomCrcForType(d.machineType));
    return image;
}

}  // namespace emutest
