// The chip's 23-bit noise generator: a Galois shift register that, when the
// bit shifted out is 1, flips bits 22 and 8 (0x800200 before the shift).
#pragma once

#include <cstdint>

// One clock of the noise register.
inline uint32_t OpllNoiseStep(uint32_t noise)
{
    if (noise & 1)
        noise ^= 0x800200;
    return noise >> 1;
}

// k clocks at once (1 <= k <= 9). The bits shifted out in k <= 9 clocks are
// all original low bits (a flip lands on bit 8 and needs nine more clocks to
// reach the bottom), so each of them simply XORs its 0x400100 pattern in at
// its own offset.
template <int k>
inline uint32_t OpllNoiseAdvance(uint32_t noise)
{
    static_assert(k >= 1 && k <= 9);
    const uint32_t low = noise & ((1u << k) - 1);
    return (noise >> k) ^ (((low << 22) | (low << 8)) >> (k - 1));
}
