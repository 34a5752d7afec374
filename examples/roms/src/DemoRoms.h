// The demo ROMs shipped in examples/roms/: small homebrew sound programs,
// assembled with Z80Asm and given the checksum of a ROM database row, so
// that the player identifies them as that machine and a new user hears
// something at once. `kelvara-asm OUTDIR` writes them.
//
// Every demo runs the same little two-voice music engine (melody + bass)
// and understands the same codes:
//   0  silence            1  "Reel Walk" (loops)      2  "Big Bonus" fanfare
//   3  reel stop [SE]     4  tuning tone A4 = 440 Hz (single voice, held)
// Other codes silence the board.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace demo {

struct DemoRom {
    std::string file;            // file name in examples/roms/
    uint32_t machineType;        // the machine the image identifies as
    uint32_t crc;                // its database checksum (first 8192 bytes)
    std::vector<uint8_t> image;  // checksum in place, ready to write
};

// Highest code with a tune; codes 1..kSongCount play something.
constexpr int kSongCount = 4;
constexpr uint8_t kTuningCode = 4;

// The three demos:
//  - YM2413 (OPLL), machine type 40: entered through the built-in type-40
//    driver stub (command via RST 28h, tick via 0x0B3B).
//  - YMF281B, machine type 24: entered through the built-in type-24 stub
//    (code in RAM 0x8081, tick routines 0x00B3, 0x00E2, 0x0038).
//  - AY-3-8910 (PSG), machine type 62: this build has no stub for the
//    type, so the ROM's boot code installs its own driver at 0x9000.
// Throws std::logic_error if a program cannot be assembled.
std::vector<DemoRom> BuildDemoRoms();

}  // namespace demo
