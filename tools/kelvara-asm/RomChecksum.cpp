// The CRC-32 patch: the register is run forwards over the bytes before the
// four patch bytes and backwards from the wanted result over the bytes after
// them; the patch is whatever joins the two.
#include "RomChecksum.h"

#include <array>

#include "machine/Crc32.h"

namespace {

constexpr std::size_t kCrcSpan = 8192;

// The top byte of the 256 table entries is a permutation of 0..255, so one
// step of the register can be undone: the top byte of the register after a
// step names the table index that was used.
uint8_t IndexForTopByte(uint32_t reg)
{
    static const auto reverse = [] {
        std::array<uint8_t, 256> r{};
        const auto& table = Crc32Table();
        for (int i = 0; i < 256; ++i)
            r[table[i] >> 24] = static_cast<uint8_t>(i);
        return r;
    }();
    return reverse[reg >> 24];
}

}  // namespace

bool PatchRomCrc(std::vector<uint8_t>& image, uint32_t crc, std::size_t patchOffset)
{
    if (image.size() < kCrcSpan || patchOffset > kCrcSpan - 4)
        return false;
    const auto& table = Crc32Table();

    // Register after the bytes before the patch.
    uint32_t before = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < patchOffset; ++i)
        before = (before >> 8) ^ table[(before ^ image[i]) & 0xFF];

    // Register needed right after the patch: run the final register backwards
    // over the bytes that follow it.
    uint32_t after = ~crc;
    for (std::size_t i = kCrcSpan; i-- > patchOffset + 4;) {
        const uint8_t index = IndexForTopByte(after);
        after = ((after ^ table[index]) << 8) | static_cast<uint8_t>(index ^ image[i]);
    }

    // Four bytes b0..b3 taken in from register r act like four zero-data
    // steps from r ^ (b0 | b1 << 8 | b2 << 16 | b3 << 24); undo those four
    // steps to find the word the patch must produce.
    uint32_t word = after;
    for (int step = 0; step < 4; ++step) {
        const uint8_t index = IndexForTopByte(word);
        word = ((word ^ table[index]) << 8) | index;
    }
    const uint32_t patch = word ^ before;
    std::array<uint8_t, 4> old{};
    for (int k = 0; k < 4; ++k) {
        old[k] = image[patchOffset + k];
        image[patchOffset + k] = static_cast<uint8_t>(patch >> (8 * k));
    }
    if (Crc32(kCrcSpan, image.data()) == crc)
        return true;
    for (int k = 0; k < 4; ++k)
        image[patchOffset + k] = old[k];
    return false;
}
