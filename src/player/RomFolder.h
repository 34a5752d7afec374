// Listing the ROMS folder with the file facts a ROM cache record keeps.
//
// A cache record stores Windows-style metadata (attribute bits, three
// FILETIMEs, a split size). On Linux they are filled from the file's stat
// data, always the same way, so an unchanged file keeps matching its record:
// - attributes: 0x01 (read-only) when the owner may not write, else 0x20
//   (archive); only regular files are listed, never folders;
// - creation time: the birth time where the filesystem keeps one, else the
//   status-change time; last access and last write from stat;
// - times as FILETIME: 100 ns units since 1601-01-01 UTC;
// - the path as UTF-8 bytes, exactly as built from the folder and the name.
// Entries come back in the byte order of their names, whatever order the
// filesystem hands them out in, so results never depend on the filesystem.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

constexpr uint32_t kFileAttributeReadOnly = 0x01;
constexpr uint32_t kFileAttributeArchive = 0x20;

// 100 ns units since 1601-01-01 UTC.
uint64_t UnixTimeToFileTime(int64_t seconds, uint32_t nanoseconds);

struct RomFileInfo {
    std::string name;  // file name within the folder
    std::string path;  // folder + name
    uint32_t attributes = 0;
    uint64_t creationTime = 0;
    uint64_t lastAccessTime = 0;
    uint64_t lastWriteTime = 0;
    uint64_t size = 0;
};

struct RomFolderListing {
    // False when the folder exists but could not be read to the end (no
    // permission, not a folder, a loop of links, an I/O error). A folder
    // that does not exist lists fine, with no files.
    bool complete = true;
    int error = 0;  // errno of the failure when !complete
    std::vector<RomFileInfo> files;
};

// Every regular file in `folder` (which ends in '/'), links followed; links
// that lead nowhere, to folders or round in a loop are left out, as is
// anything whose facts cannot be read.
RomFolderListing ListRomFolder(const std::string& folder);

// True when `name` ends in `extension` (".rom", ...), letters compared
// without regard to case, as the "*.rom" patterns of the original platform do.
bool HasRomExtension(std::string_view name, std::string_view extension);

// The three folder patterns of a scan, in the order they are searched.
constexpr std::string_view kRomExtensions[] = {".rom", ".snd", ".bin"};
