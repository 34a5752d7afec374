// A stand-in for the main window that records what the ROM list and the
// playlist ask of it.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "machine/RomDatabase.h"
#include "player/PlayerHost.h"

class RecordingHost : public IPlayerHost {
public:
    void OnLoadROM(const std::string& path, const RomEntry& entry) override
    {
        paths.push_back(path);
        rows.push_back(GetRomEntryIndex(FindRomEntry(entry.crc)));
    }
    void OnPlayCode(int32_t code, const std::string& name) override { played.emplace_back(code, name); }
    void OnApplyEqPreset() override {}

    std::vector<std::string> paths;
    std::vector<int> rows;  // first database row with the loaded checksum
    std::vector<std::pair<int32_t, std::string>> played;
};
