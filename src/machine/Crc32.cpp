#include "machine/Crc32.h"

namespace {

// Standard table for the reflected polynomial 0xEDB88320, computed at
// compile time so there is no first-use race between threads.
constexpr std::array<uint32_t, 256> MakeTable()
{
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t reg = i;
        for (int bit = 0; bit < 8; ++bit)
            reg = (reg & 1) ? (reg >> 1) ^ 0xEDB88320u : reg >> 1;
        table[i] = reg;
    }
    return table;
}

constexpr std::array<uint32_t, 256> kTable = MakeTable();

}  // namespace

const std::array<uint32_t, 256>& Crc32Table()
{
    return kTable;
}

uint32_t Crc32(std::size_t count, const uint8_t* data)
{
    if (count == 0)
        return 0;
    uint32_t reg = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < count; ++i)
        reg = (reg >> 8) ^ kTable[(reg ^ data[i]) & 0xFF];
    return ~reg;
}
