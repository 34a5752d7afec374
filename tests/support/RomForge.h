// Building synthetic sound ROM images that identify as a chosen database
// row: four bytes below offset 8192 are overwritten so that the CRC-32 of
// the first 8192 bytes becomes the wanted checksum.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Overwrites image[patchOffset .. patchOffset+3] so that Crc32 of the first
// 8192 bytes equals `crc`. The image must hold at least 8192 bytes and the
// patch must lie below 8192 (and not overlap code the test needs); bytes
// from 8192 on are untouched. Returns false (image unchanged) otherwise.
bool ForgeRomCrc(std::vector<uint8_t>& image, uint32_t crc, std::size_t patchOffset = 8188);

// A `size`-byte image (at least 8192) with `code` at offset 0, the rest
// filled with `fill`, forged to `crc` at `patchOffset`. Empty vector if the
// code does not fit below the patch or the arguments are invalid.
std::vector<uint8_t> MakeForgedRom(uint32_t crc, const std::vector<uint8_t>& code = {},
                                   std::size_t size = 8192, uint8_t fill = 0xFF,
                                   std::size_t patchOffset = 8188);

// Index of the first database row with this machine type, or -1 (types 26,
// 49 and 68 have none).
int FirstRomIndexForType(uint32_t machineType);

// Checksum of that row, or 0 if there is none.
uint32_t FirstRomCrcForType(uint32_t machineType);

// Machine types that occur in at least one database row, ascending.
std::vector<uint32_t> MachineTypesWithRoms();

// Checksums of every database row with this machine type, in table order.
std::vector<uint32_t> RomCrcsOfType(uint32_t machineType);

// Writes `bytes` to `path` (created or truncated). False on any error.
bool WriteImageFile(const std::string& path, const std::vector<uint8_t>& bytes);
