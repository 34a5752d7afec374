// Identifying a sound ROM image file by the CRC-32 of its first 8192 bytes.
//
// Two paths use the same checksum rule:
// - loading for play (IdentifyRomFile): size check, the image copied into
//   the board's 16 KB ROM area, database and machine lookups, with fixed
//   failure messages;
// - the ROMS folder scan (ScanRomFileCrc): only the first 8192 bytes are
//   read, with no size check, to mark which database rows are present.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "machine/MachineDef.h"
#include "machine/RomDatabase.h"

constexpr std::size_t kRomAreaSize = 16384;   // board ROM area; file bytes past it are dropped
constexpr std::size_t kRomCrcLength = 8192;   // bytes covered by the identifying checksum
constexpr long kRomMinFileSize = 8192;
constexpr long kRomMaxFileSize = 65536;

// Failure messages of the loading path, exactly as shown to the user.
extern const char* const kMsgFileNotFound;       // "File not found."
extern const char* const kMsgFileSizeError;      // "File size error."
extern const char* const kMsgUnknownRomImage;    // "Unknown ROM image.\n"
extern const char* const kMsgUnknownMachineType; // "Unknown Machine type.\n"

// Loading path. Opens `path`, logs "FILE SIZE: %d\n fsize" and
// "CRC SIZE : %d\n, crcsize" (both format strings logged as they stand),
// requires 8192..65536 bytes, reads min(size, 16384) bytes into `romArea`
// (which must hold kRomAreaSize bytes; bytes past the image are left as they
// were), logs "OK.\n", checksums the first 8192 bytes and looks the value up
// in the ROM database and the machine type in the machine table.
//
// On success returns true with `entry` a copy of the matched row, `def` its
// machine row (pointing into the constant table) and `crc` the checksum.
// On failure returns false with `error` set to one of the four messages
// above; `entry` and `def` are then left unchanged, `crc` is set once it has
// been computed (0 before that) and `romArea` may hold part of the image.
// Anything that is not a regular file (a directory, a FIFO, a device) is
// refused with "File not found." without blocking.
bool IdentifyRomFile(const char* path, uint8_t* romArea, RomEntry& entry, const MachineDef*& def,
                     std::string& error, uint32_t* crc = nullptr);

// Folder-scan path: CRC-32 of exactly the first 8192 bytes of `path`, or 0
// when the file cannot be opened, is not a regular file or is shorter
// (0 matches no database row). Larger files are not refused here.
uint32_t ScanRomFileCrc(const char* path);
