// The ROM list cache: for every image already identified, its checksum and
// the facts of the file it came from, so an unchanged file is never read
// again. The cache file ("Kelvara.csh" in the program folder) is a plain
// run of 300-byte records with no header, count or checksum; a trailing
// partial record is ignored.
//
// Record layout, integers little-endian:
//   0  crc (4)            4  attributes (4)
//   8  creation time (8: low word, high word; FILETIME)
//  16  last access time (8; kept, never compared)
//  24  last write time (8)
//  32  size, high 32 bits (4)   36  size, low 32 bits (4)
//  40  full path, zero-terminated, rest zero-filled (260)
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "player/RomFolder.h"

constexpr std::size_t kRomCacheRecordSize = 300;
constexpr std::size_t kRomCachePathField = 260;

struct RomCacheRecord {
    uint32_t crc = 0;
    uint32_t attributes = 0;
    uint64_t creationTime = 0;
    uint64_t lastAccessTime = 0;
    uint64_t lastWriteTime = 0;
    uint32_t sizeHigh = 0;
    uint32_t sizeLow = 0;
    // The path field as stored: a record read from a damaged file may have
    // no terminator, and then names no file at all.
    std::array<char, kRomCachePathField> path{};

    // The stored path up to its terminator; empty when there is none.
    std::string_view Path() const;
};

// A record for `file` with checksum `crc`. False (record untouched) when the
// path needs more than 259 bytes: it cannot be stored with its terminator.
bool MakeRomCacheRecord(const RomFileInfo& file, uint32_t crc, RomCacheRecord& record);

// True when the record describes `file` as it is now: equal attributes,
// creation and last write times, size and path (byte for byte).
bool RomCacheRecordMatches(const RomCacheRecord& record, const RomFileInfo& file);

void EncodeRomCacheRecord(const RomCacheRecord& record, uint8_t* out);
RomCacheRecord DecodeRomCacheRecord(const uint8_t* in);

// Appends every complete record of the file at `path` to `records`, in file
// order. False (nothing appended) when the file is missing, not a regular
// file or cannot be read whole.
bool LoadRomCacheFile(const std::string& path, std::vector<RomCacheRecord>& records);

// Writes the records in order. The new contents go to a side file first and
// replace the old file only once complete, so a failed write (full disk,
// unwritable folder) leaves the previous cache as it was. False on failure.
bool SaveRomCacheFile(const std::string& path, const std::vector<RomCacheRecord>& records);
