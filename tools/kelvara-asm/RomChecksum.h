// Giving an assembled sound ROM the checksum of a ROM database row, so that
// the player identifies the image as that machine: four bytes below offset
// 8192 are chosen so that the CRC-32 of the first 8192 bytes comes out as
// wanted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Overwrites image[patchOffset .. patchOffset+3] so that the CRC-32 of the
// first 8192 bytes equals `crc`. The image must hold at least 8192 bytes and
// the four bytes must lie below 8192; bytes from 8192 on are untouched.
// Returns false and leaves the image unchanged otherwise.
bool PatchRomCrc(std::vector<uint8_t>& image, uint32_t crc, std::size_t patchOffset = 8188);
