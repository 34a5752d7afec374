// What the player's parts ask of the main window. The ROM list asks it to
// load an image (from the Load ROM dialog or autoplay's random pick), the
// playlist to play a row, the equalizer dialog to make the current preset
// heard. Every call runs on the user-interface thread and returns when the
// main window has done it. Tests stand in for the main window with their
// own implementation.
#pragma once

#include <cstdint>
#include <string>

#include "machine/RomDatabase.h"

class IPlayerHost {
public:
    virtual ~IPlayerHost() = default;
    // Start the image at `path` (full path), identified as database row `entry`.
    virtual void OnLoadROM(const std::string& path, const RomEntry& entry) = 0;
    // Play sound code `code`; `name` is the playlist row's name (UTF-8).
    virtual void OnPlayCode(int32_t code, const std::string& name) = 0;
    // Send the nine gains of the current equalizer preset to the signal chain.
    virtual void OnApplyEqPreset() = 0;
};
