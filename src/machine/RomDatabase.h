// The built-in database of known sound ROMs. A ROM image is identified by
// the CRC-32 of its first 8192 bytes; its row gives the machine type (the
// board model) and the texts the Load ROM dialog shows. Read-only; rows come
// from data/roms.txt, converted at build time.
#pragma once

#include <cstddef>
#include <cstdint>

// Bit of RomEntry::flags: list the row only when its image is present.
constexpr uint32_t kRomFlagHidden = 0x1;

// One row. Text fields are zero-terminated and never null; an unknown text is "".
struct RomEntry {
    uint32_t crc;           // CRC-32 of the image's first 8192 bytes
    uint32_t machineType;   // key of FindMachineDef
    uint32_t flags;         // bit 0: kRomFlagHidden; no other bit is read
    const char* name;       // title in CP932 (Shift-JIS); names the playlist file
    const char* typeText;   // cabinet/class label, CP932
    const char* manufacturer;  // maker, CP932
    const char* hardware;   // CPU and chip label, ASCII ("Z80,YM2413", ...)
    // The same texts in UTF-8, for the user interface and tools.
    const char* title;
    const char* typeTextUtf8;
    const char* manufacturerUtf8;
};

// Number of rows before the terminator (507).
std::size_t GetRomEntryCount();

// Row `index`, 0 .. GetRomEntryCount() - 1. An index past the end yields the
// all-zero terminator row (crc 0, empty texts) rather than reading outside
// the table.
const RomEntry& GetRomEntry(std::size_t index);

// The first row whose crc equals `crc`, or nullptr. 0 never matches.
const RomEntry* FindRomEntry(uint32_t crc);

// Table index of `entry` if it points into the table, else -1.
int GetRomEntryIndex(const RomEntry* entry);
