// CRomList: which machines of the ROM database have an image in the ROMS
// folder, where each image is, and the random pick of autoplay.
//
// One item per database row, in database order. A scan marks an item present
// when a cache record or a file of the folder carries the row's checksum; a
// scan never clears present. The cache ("Kelvara.csh") remembers each
// identified file with its facts, so unchanged files are not read again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "machine/RomDatabase.h"
#include "player/PlayerHost.h"
#include "player/RomCache.h"

struct RomListItem {
    uint8_t present = 0;
    RomEntry entry{};
    std::string path;  // full path of the image; empty until found
};

// True when the machine of `entry` needs a driver stub whose bytes this build
// does not have: it loads, but its sound cannot be played properly.
bool RomNeedsMissingStub(const RomEntry& entry);

class CRomList {
public:
    static constexpr const char* kCacheFileName = "Kelvara.csh";
    static constexpr const char* kRomFolderName = "ROMS/";

    // Builds the items; the random generator is seeded from the clock.
    CRomList();
    // Same with a chosen seed, for reproducible shuffles.
    explicit CRomList(uint32_t seed);
    // Saves the cache when Initialise has run (as at program exit).
    ~CRomList();
    CRomList(const CRomList&) = delete;
    CRomList& operator=(const CRomList&) = delete;

    // The program folder ('/' is added when missing). ROMS/ and the cache
    // file are taken from it.
    void SetProgramFolder(const std::string& folder);
    const std::string& ProgramFolder() const { return m_programFolder; }
    std::string RomFolder() const { return m_programFolder + kRomFolderName; }
    std::string CacheFilePath() const { return m_programFolder + kCacheFileName; }

    // Start-up: load the cache file, check it against the folder, scan. Logs
    // "CACHELIST load Time %dms\n", "CacheList check Time %dms\n" and
    // "Create ROM list Time %dms\n".
    void Initialise();
    // The three steps one by one; each lists the ROMS folder itself, or
    // takes a listing made just before (start-up makes one for both).
    void LoadCache();
    void CheckCache();
    void CheckCache(const RomFolderListing& listing);
    void Scan();
    void Scan(const RomFolderListing& listing);

    // Writes the cache file. False (old file kept) when it cannot be
    // written, or when there is nothing loaded to write yet (Initialise or
    // LoadCache has not run), so an early exit never empties a good cache.
    bool SaveCache();

    const std::vector<RomListItem>& Items() const { return m_items; }
    // Present, or without the hidden bit.
    bool IsListable(std::size_t index) const;
    // Rows the dialog lists, in database order: present ones and, unless
    // `availableOnly`, the listable ones that are not present.
    std::vector<int> ListedRows(bool availableOnly) const;
    int PresentCount() const;
    int ListableCount() const;
    // Present items whose machine needs a driver stub this build lacks.
    int UnplayableCount() const;
    // "Available roms : %d/%d" (present, listable), followed by
    // "  (%d cannot play)" when some present image cannot be played.
    std::string StatusText() const;

    // Hands a present item to the host (OnLoadROM). False, with nothing
    // sent, for an index out of range or an item not present.
    bool LoadItem(int index, IPlayerHost& host) const;

    // Autoplay: the next image of a shuffled cycle through every present
    // item. False, with nothing sent, when no item is present.
    bool PickRandom(IPlayerHost& host);

    // In-memory cache, in order (records whose folder could not be read
    // are kept aside: see HeldRecords).
    const std::vector<RomCacheRecord>& Cache() const { return m_cache; }
    // Records taken from the cache file while the ROMS folder could not be
    // read: neither checked nor used, but written back by SaveCache so a
    // passing folder problem does not throw a good cache away.
    const std::vector<RomCacheRecord>& HeldRecords() const { return m_held; }
    // Files whose first bytes the last scan read.
    std::size_t LastScanReads() const { return m_lastScanReads; }

    // How a scan reads a file's checksum (ScanRomFileCrc unless replaced;
    // tests wrap it to change the folder while a scan runs).
    using CrcReader = std::function<uint32_t(const std::string& path)>;
    void SetCrcReader(CrcReader reader) { m_readCrc = std::move(reader); }

private:
    // A fresh number 0..32767.
    uint32_t NextRandom();
    void BuildShuffle();

    std::string m_programFolder;
    std::vector<RomListItem> m_items;
    std::vector<RomCacheRecord> m_cache;
    std::vector<RomCacheRecord> m_held;
    bool m_cacheLoaded = false;
    std::size_t m_lastScanReads = 0;
    CrcReader m_readCrc;

    std::vector<int> m_shuffle;
    bool m_shuffleBuilt = false;
    uint32_t m_random;
};
