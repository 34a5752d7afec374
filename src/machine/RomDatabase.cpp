#include "machine/RomDatabase.h"

// Built from data/roms.txt at build time (RomTable.cpp in the build tree);
// ends with an all-zero row.
extern const RomEntry g_RomTable[];

namespace {

std::size_t CountRows()
{
    std::size_t n = 0;
    while (g_RomTable[n].crc != 0)
        ++n;
    return n;
}

}  // namespace

std::size_t GetRomEntryCount()
{
    static const std::size_t count = CountRows();
    return count;
}

const RomEntry& GetRomEntry(std::size_t index)
{
    std::size_t count = GetRomEntryCount();
    return g_RomTable[index < count ? index : count];
}

const RomEntry* FindRomEntry(uint32_t crc)
{
    if (crc == 0)
        return nullptr;
    for (const RomEntry* row = g_RomTable; row->crc != 0; ++row)
        if (row->crc == crc)
            return row;
    return nullptr;
}

int GetRomEntryIndex(const RomEntry* entry)
{
    std::size_t count = GetRomEntryCount();
    for (std::size_t i = 0; i < count; ++i)
        if (&g_RomTable[i] == entry)
            return static_cast<int>(i);
    return -1;
}
