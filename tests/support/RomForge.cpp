#include "support/RomForge.h"

#include <cstdio>
#include <set>

#include "machine/Crc32.h"
#include "machine/RomDatabase.h"

namespace {

constexpr std::size_t kCrcSpan = 8192;

// The top byte of the 256 table entries is a permutation of 0..255, so one
// step of the register can be undone: the top byte of the register after a
// step names the table index that was used.
uint8_t IndexForTopByte(uint32_t reg)
{
    static const auto reverse = [] {
        std::vector<uint8_t> r(256);
        const auto& table = Crc32Table();
        for (int i = 0; i < 256; ++i)
            r[table[i] >> 24] = static_cast<uint8_t>(i);
        return r;
    }();
    return reverse[reg >> 24];
}

}  // namespace

bool ForgeRomCrc(std::vector<uint8_t>& image, uint32_t crc, std::size_t patchOffset)
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
        uint8_t index = IndexForTopByte(after);
        after = ((after ^ table[index]) << 8) | static_cast<uint8_t>(index ^ image[i]);
    }

    // Four bytes b0..b3 taken in from register r act like four zero-data
    // steps from r ^ (b0 | b1 << 8 | b2 << 16 | b3 << 24); undo those four
    // steps to find the word the patch must produce.
    uint32_t word = after;
    for (int step = 0; step < 4; ++step) {
        uint8_t index = IndexForTopByte(word);
        word = ((word ^ table[index]) << 8) | index;
    }
    uint32_t patch = word ^ before;
    for (int k = 0; k < 4; ++k)
        image[patchOffset + k] = static_cast<uint8_t>(patch >> (8 * k));
    return Crc32(kCrcSpan, image.data()) == crc;
}

std::vector<uint8_t> MakeForgedRom(uint32_t crc, const std::vector<uint8_t>& code, std::size_t size,
                                   uint8_t fill, std::size_t patchOffset)
{
    if (size < kCrcSpan || code.size() > patchOffset)
        return {};
    std::vector<uint8_t> image(size, fill);
    std::copy(code.begin(), code.end(), image.begin());
    if (!ForgeRomCrc(image, crc, patchOffset))
        return {};
    return image;
}

int FirstRomIndexForType(uint32_t machineType)
{
    std::size_t count = GetRomEntryCount();
    for (std::size_t i = 0; i < count; ++i)
        if (GetRomEntry(i).machineType == machineType)
            return static_cast<int>(i);
    return -1;
}

uint32_t FirstRomCrcForType(uint32_t machineType)
{
    int index = FirstRomIndexForType(machineType);
    return index < 0 ? 0 : GetRomEntry(static_cast<std::size_t>(index)).crc;
}

std::vector<uint32_t> MachineTypesWithRoms()
{
    std::set<uint32_t> types;
    std::size_t count = GetRomEntryCount();
    for (std::size_t i = 0; i < count; ++i)
        types.insert(GetRomEntry(i).machineType);
    return {types.begin(), types.end()};
}

std::vector<uint32_t> RomCrcsOfType(uint32_t machineType)
{
    std::vector<uint32_t> crcs;
    for (std::size_t i = 0; i < GetRomEntryCount(); ++i)
        if (GetRomEntry(i).machineType == machineType) crcs.push_back(GetRomEntry(i).crc);
    return crcs;
}

bool WriteImageFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return (std::fclose(f) == 0) && ok;
}
