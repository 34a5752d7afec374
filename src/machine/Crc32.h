// CRC-32 as used to identify sound ROM images: the reflected CRC of zip and
// PNG (polynomial 0xEDB88320, register preset to all ones, result inverted).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// CRC-32 of `count` bytes at `data`; a count of 0 gives 0. "abc" gives 0x352441C2.
uint32_t Crc32(std::size_t count, const uint8_t* data);

// The byte-wise lookup table behind Crc32 (entry i is the register after
// shifting i through eight rounds of the polynomial). Exposed for code that
// has to run the register backwards, such as test helpers that forge a
// checksum.
const std::array<uint32_t, 256>& Crc32Table();
