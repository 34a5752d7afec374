// Per-ROM fix-ups applied when a board resets: ROM patches written before
// and/or after the boot run, a driver stub copied into board RAM, and the
// bank copy (ROM 0x1000-0x1FFF over 0x0000-0x0FFF). Records are keyed by
// machine type and ROM checksum; both must match.
#pragma once

#include <cstddef>
#include <cstdint>

// One contiguous run of bytes stored into the ROM area from `address` on.
struct RomPatch {
    uint16_t address;
    uint16_t length;
    const uint8_t* bytes;
};

struct ResetFixup {
    uint32_t machineType;
    uint32_t crc;

    const RomPatch* patchesBefore;  // written before the boot run
    uint32_t patchesBeforeCount;
    const RomPatch* patchesAfter;   // written after the boot run
    uint32_t patchesAfterCount;

    // Driver stub: stubSize bytes copied to RAM offset stubRamOffset (board
    // RAM, i.e. CPU address ramStart + offset). stubSize == 0: no stub.
    // stubImage == nullptr with stubSize != 0: the ROM needs a stub whose
    // bytes this build does not have; nothing is copied.
    uint32_t stubSize;
    const uint8_t* stubImage;
    uint16_t stubRamOffset;
    bool stubBeforeBoot;  // copied before the boot run instead of after it

    bool bankCopy;        // after boot: ROM 0x1000-0x1FFF over 0x0000-0x0FFF
};

// Source of fix-up records. The board takes one of these so tests can supply
// their own records and stub images.
class IFixupTable {
public:
    virtual ~IFixupTable() = default;
    // The record for this machine type and checksum, or nullptr.
    virtual const ResetFixup* Find(uint32_t machineType, uint32_t crc) const = 0;
};

// The built-in table (compiled in from data/fixups.txt).
const IFixupTable& BuiltinFixups();
std::size_t GetFixupCount();
const ResetFixup& GetFixup(std::size_t index);
