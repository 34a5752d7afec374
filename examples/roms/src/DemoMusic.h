// The parts every demo ROM shares: the music data and the Z80 code of the
// two-voice music engine with its chip driver.
#pragma once

#include <cstdint>
#include <vector>

#include "kelvara-asm/Z80Asm.h"

namespace demo {

// Notes are stored as an index into the chip's pitch table: MIDI note
// number - 23 (MIDI 24 = C1 .. 96 = C7). 0 = voice off, 0xFF = keep.
constexpr int kLowestMidi = 24;
constexpr int kHighestMidi = 96;
constexpr uint8_t kOff = 0;
constexpr uint8_t kKeep = 0xFF;

// An event: melody, bass, length in steps. Length 0 ends the tune: melody
// byte 1 = loop to the start, anything else = silence.
struct Event {
    uint8_t melody, bass, steps;
};

// The tunes of codes 1..kSongCount, in order.
std::vector<std::vector<Event>> Tunes();

enum class Chip { Opll, Psg };

// How a board reaches its chip.
struct Wiring {
    Chip chip;
    uint8_t selectPort;  // register select; data at selectPort + 1
    double clock;        // chip input clock, Hz
};

// Pitch table: one little-endian word per note index (index 0 unused).
std::vector<uint8_t> PitchTable(const Wiring& w);

// The chip driver: chip_write (E = register, A = value), chip_init,
// voice_off (C = voice), voice_on (C = voice, A = note index).
void EmitChip(Z80Asm& a, const Wiring& w);
// The engine: start (A = code), silence, tick.
void EmitEngine(Z80Asm& a);
// The tune table, the tunes and the pitch table.
void EmitData(Z80Asm& a, const Wiring& w);
// Boot: interrupts off, own stack, voices off (copying the 64-byte driver
// at label "driver" to 0x9000 first if asked), then idle until the board
// enters a driver entry point.
void EmitBoot(Z80Asm& a, bool installDriver);

}  // namespace demo
