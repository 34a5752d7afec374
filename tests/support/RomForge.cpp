#include "support/RomForge.h"

#include <cstdio>
#include <set>

#include "kelvara-asm/RomChecksum.h"
#include "machine/RomDatabase.h"

namespace {

constexpr std::size_t kCrcSpan = 8192;

}  // namespace

bool ForgeRomCrc(std::vector<uint8_t>& image, uint32_t crc, std::size_t patchOffset)
{
    return PatchRomCrc(image, crc, patchOffset);
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
