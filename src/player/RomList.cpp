#include "player/RomList.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string_view>
#include <unordered_map>

#include "app/DebugLog.h"
#include "machine/Fixups.h"
#include "machine/RomIdentify.h"

namespace {

using Clock = std::chrono::steady_clock;

int ElapsedMs(Clock::time_point start)
{
    return int(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

uint32_t ClockSeed()
{
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count();
    return uint32_t(ms);
}

}  // namespace

bool RomNeedsMissingStub(const RomEntry& entry)
{
    const ResetFixup* fixup = BuiltinFixups().Find(entry.machineType, entry.crc);
    return fixup && fixup->stubSize != 0 && fixup->stubImage == nullptr;
}

CRomList::CRomList() : CRomList(ClockSeed()) {}

CRomList::CRomList(uint32_t seed) : m_random(seed)
{
    std::size_t count = GetRomEntryCount();
    m_items.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        RomListItem item;
        item.entry = GetRomEntry(i);
        m_items.push_back(std::move(item));
    }
}

CRomList::~CRomList()
{
    if (m_cacheLoaded)
        SaveCache();
}

void CRomList::SetProgramFolder(const std::string& folder)
{
    m_programFolder = folder;
    if (!m_programFolder.empty() && m_programFolder.back() != '/')
        m_programFolder += '/';
}

void CRomList::Initialise()
{
    auto start = Clock::now();
    LoadCache();
    Log("CACHELIST load Time %dms\n", ElapsedMs(start));

    // One listing serves the check and the scan that follows at once.
    start = Clock::now();
    RomFolderListing listing = ListRomFolder(RomFolder());
    CheckCache(listing);
    Log("CacheList check Time %dms\n", ElapsedMs(start));

    start = Clock::now();
    Scan(listing);
    Log("Create ROM list Time %dms\n", ElapsedMs(start));
}

void CRomList::LoadCache()
{
    m_cache.clear();
    m_held.clear();
    LoadRomCacheFile(CacheFilePath(), m_cache);
    m_cacheLoaded = true;
}

void CRomList::CheckCache() { CheckCache(ListRomFolder(RomFolder())); }

void CRomList::CheckCache(const RomFolderListing& listing)
{
    if (!listing.complete) {
        // The files may all still be there; keep their records for a later
        // run instead of judging them against a listing we could not make.
        Log("ROMS folder unreadable (%s); %d cache records kept unchecked\n", std::strerror(listing.error),
            int(m_cache.size()));
        m_held.insert(m_held.end(), m_cache.begin(), m_cache.end());
        m_cache.clear();
        return;
    }
    std::unordered_map<std::string_view, const RomFileInfo*> byPath;
    byPath.reserve(listing.files.size());
    for (const RomFileInfo& file : listing.files)
        byPath.emplace(file.path, &file);
    auto stale = [&](const RomCacheRecord& record) {
        auto it = byPath.find(record.Path());
        return it == byPath.end() || !RomCacheRecordMatches(record, *it->second);
    };
    m_cache.erase(std::remove_if(m_cache.begin(), m_cache.end(), stale), m_cache.end());
}

void CRomList::Scan() { Scan(ListRomFolder(RomFolder())); }

void CRomList::Scan(const RomFolderListing& listing)
{
    m_lastScanReads = 0;

    // Search order: pattern by pattern, names in byte order within each.
    // Files that a checked cache record already describes are left out: the
    // record's checksum is theirs, and a row with that checksum never gets
    // this far.
    std::unordered_map<std::string_view, const RomCacheRecord*> recordByPath;
    for (const RomCacheRecord& record : m_cache)
        recordByPath.emplace(record.Path(), &record);
    std::vector<const RomFileInfo*> candidates;
    for (std::string_view extension : kRomExtensions) {
        for (const RomFileInfo& file : listing.files) {
            if (!HasRomExtension(file.name, extension))
                continue;
            auto it = recordByPath.find(file.path);
            if (it != recordByPath.end() && RomCacheRecordMatches(*it->second, file))
                continue;
            candidates.push_back(&file);
        }
    }
    // Each file's checksum is read once, when a row first needs it.
    std::vector<std::optional<uint32_t>> crcs(candidates.size());

    std::unordered_map<uint32_t, std::size_t> firstRecord;  // crc -> index into m_cache
    for (std::size_t r = 0; r < m_cache.size(); ++r)
        firstRecord.emplace(m_cache[r].crc, r);

    for (RomListItem& item : m_items) {
        auto hit = firstRecord.find(item.entry.crc);
        if (hit != firstRecord.end()) {
            item.present = 1;
            item.path = std::string(m_cache[hit->second].Path());
            continue;
        }
        for (std::size_t c = 0; c < candidates.size(); ++c) {
            if (!crcs[c]) {
                crcs[c] = m_readCrc ? m_readCrc(candidates[c]->path) : ScanRomFileCrc(candidates[c]->path.c_str());
                ++m_lastScanReads;
            }
            if (*crcs[c] != item.entry.crc)
                continue;
            item.present = 1;
            item.path = candidates[c]->path;
            RomCacheRecord record;
            if (MakeRomCacheRecord(*candidates[c], item.entry.crc, record)) {
                m_cache.push_back(record);
                firstRecord.emplace(record.crc, m_cache.size() - 1);
            }
            break;
        }
    }
}

bool CRomList::SaveCache()
{
    if (!m_cacheLoaded || m_programFolder.empty())
        return false;
    std::vector<RomCacheRecord> all;
    all.reserve(m_held.size() + m_cache.size());
    all.insert(all.end(), m_held.begin(), m_held.end());
    all.insert(all.end(), m_cache.begin(), m_cache.end());
    return SaveRomCacheFile(CacheFilePath(), all);
}

bool CRomList::IsListable(std::size_t index) const
{
    if (index >= m_items.size())
        return false;
    const RomListItem& item = m_items[index];
    return item.present || (item.entry.flags & kRomFlagHidden) == 0;
}

std::vector<int> CRomList::ListedRows(bool availableOnly) const
{
    std::vector<int> rows;
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        if (m_items[i].present || (!availableOnly && IsListable(i)))
            rows.push_back(int(i));
    }
    return rows;
}

int CRomList::PresentCount() const
{
    return int(std::count_if(m_items.begin(), m_items.end(), [](const RomListItem& i) { return i.present; }));
}

int CRomList::ListableCount() const
{
    int count = 0;
    for (std::size_t i = 0; i < m_items.size(); ++i)
        count += IsListable(i) ? 1 : 0;
    return count;
}

int CRomList::UnplayableCount() const
{
    int count = 0;
    for (const RomListItem& item : m_items)
        count += (item.present && RomNeedsMissingStub(item.entry)) ? 1 : 0;
    return count;
}

std::string CRomList::StatusText() const
{
    char text[96];
    std::snprintf(text, sizeof text, "Available roms : %d/%d", PresentCount(), ListableCount());
    std::string status = text;
    if (int unplayable = UnplayableCount(); unplayable > 0) {
        std::snprintf(text, sizeof text, "  (%d cannot play)", unplayable);
        status += text;
    }
    return status;
}

bool CRomList::LoadItem(int index, IPlayerHost& host) const
{
    if (index < 0 || std::size_t(index) >= m_items.size() || !m_items[std::size_t(index)].present)
        return false;
    const RomListItem& item = m_items[std::size_t(index)];
    host.OnLoadROM(item.path, item.entry);
    return true;
}

uint32_t CRomList::NextRandom()
{
    // The classic C library generator: 32-bit linear congruence, bits 16..30.
    m_random = m_random * 214013u + 2531011u;
    return (m_random >> 16) & 0x7FFF;
}

void CRomList::BuildShuffle()
{
    m_shuffleBuilt = true;
    m_shuffle.clear();
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        if (m_items[i].present)
            m_shuffle.push_back(int(i));
    }
    for (std::size_t i = m_shuffle.size(); i-- > 1;) {
        std::size_t j = std::size_t(uint64_t(NextRandom()) * (i + 1) / 32768u);
        std::swap(m_shuffle[i], m_shuffle[j]);
    }
}

bool CRomList::PickRandom(IPlayerHost& host)
{
    // An empty list is built again every time: images found by a later
    // ReScan join at once instead of never.
    if (!m_shuffleBuilt || m_shuffle.empty())
        BuildShuffle();
    if (m_shuffle.empty())
        return false;
    int index = m_shuffle.front();
    m_shuffle.erase(m_shuffle.begin());
    if (m_shuffle.empty())
        m_shuffleBuilt = false;
    return LoadItem(index, host);
}
