// Synthetic sound ROMs for the board tests: temporary ROM files forged to a
// database checksum, a fix-up table the test fills itself, and a generator
// of a small sound program for any machine type that receives a code by the
// type's delivery method and plays a tone whose pitch encodes the code.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "machine/Fixups.h"
#include "machine/MachineDef.h"
#include "machine/SoundBoard.h"

class Z80Asm;

namespace boardtest {

// A forged ROM image written to a temporary file, removed on destruction.
class TempRom {
public:
    // Forges image's first 8192 bytes to `crc` (patch at 0x1FFC..0x1FFF).
    TempRom(std::vector<uint8_t> image, uint32_t crc);
    ~TempRom();
    TempRom(const TempRom&) = delete;
    TempRom& operator=(const TempRom&) = delete;
    const char* Path() const { return m_path.c_str(); }

private:
    std::string m_path;
};

// Fix-up records supplied by a test; stub and patch bytes are owned here.
class TestFixups : public IFixupTable {
public:
    const ResetFixup* Find(uint32_t machineType, uint32_t crc) const override;

    ResetFixup& Add(uint32_t machineType, uint32_t crc);
    void SetStub(ResetFixup& record, std::vector<uint8_t> image, uint16_t ramOffset, bool beforeBoot);
    void AddPatch(ResetFixup& record, bool afterBoot, uint16_t address, std::vector<uint8_t> bytes);

private:
    std::deque<ResetFixup> m_records;
    std::deque<std::vector<uint8_t>> m_bytes;
    std::deque<std::vector<RomPatch>> m_patchLists;
};

// RAM offset where a machine type's driver stub lives.
uint16_t StubRamOffset(uint32_t machineType);

// A program that only waits (DI; JR to itself): it never touches latch or chip.
std::vector<uint8_t> IdleRom(std::size_t size = 0x2000);

// Emits a tone player at the current address: "play" (A = code 1..0x7E)
// starts one steady tone through the type's own wiring (OPLL channel 0 at
// F-number 256+code, block 4, a pure sine user instrument; PSG channel A or
// SN76496 tone 0 at period 256+code) and returns; "wreg" writes chip
// register B = C. ExpectedToneHz is the pitch it gives a code.
void EmitTonePlayer(Z80Asm& a, const MachineDef& def);
double ExpectedToneHz(const MachineDef& def, uint8_t code);

// Builds a board from the type's tone program, which boots with interrupts
// off, receives a code by the type's delivery method and plays it, forged
// to the first database row of the type, with the program's driver stub in
// `fixups`. A stub's tick entry counts its ticks in the RAM byte at offset
// kTickCounter. Throws on failure.
constexpr uint16_t kTickCounter = 0x01F0;
std::unique_ptr<CSoundBoard> MakeToneBoard(const MachineDef& def, TestFixups& fixups,
                                           std::unique_ptr<TempRom>& file);

// The type's tone program alone, forged to the type's first database row;
// empty for a type whose program needs a driver stub.
std::vector<uint8_t> ToneRomImage(const MachineDef& def);

// Renders `count` samples and returns the left channel.
std::vector<int32_t> RenderLeft(CSoundBoard& board, std::size_t count);


// Builds a board of `machineType` from `rom` (padded to 8 KB if shorter),
// forged to `crc` (0: the type's first database row).
std::unique_ptr<CSoundBoard> MakeBoard(uint32_t machineType, std::vector<uint8_t> rom, const IFixupTable& fixups,
                                       std::unique_ptr<TempRom>& file, uint32_t crc = 0);

// A board together with the fix-ups and the ROM file it was built from.
struct TestBoard {
    TestFixups fixups;
    std::unique_ptr<TempRom> file;
    std::unique_ptr<CSoundBoard> board;

    TestBoard() = default;
    TestBoard(uint32_t machineType, std::vector<uint8_t> rom, uint32_t crc = 0) { Make(machineType, rom, crc); }
    // Replaces the board with one built by MakeBoard on `fixups`.
    void Make(uint32_t machineType, std::vector<uint8_t> rom, uint32_t crc = 0)
    {
        board.reset();
        board = MakeBoard(machineType, std::move(rom), fixups, file, crc);
    }
    CSoundBoard& operator*() const { return *board; }
    CSoundBoard* operator->() const { return board.get(); }
};

// Records every chip write the board reports.
struct WriteLog : IChipWriteObserver {
    std::vector<std::pair<uint32_t, uint8_t>> writes;
    void OnChipWrite(uint32_t port, uint8_t value) override { writes.emplace_back(port, value); }
};

} // namespace boardtest
