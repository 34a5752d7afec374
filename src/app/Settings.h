// CSettings: the user's preferences for the whole process (window places,
// autoplay, skin, output device and rate, master volume, WAV folder and
// sixteen equalizer presets). Filled with defaults at construction, loaded
// once at start-up, changed in memory by the user interface and saved once
// at exit to "Kelvara.ini" in the program folder.
//
// Fields carry their INI key names. File layout: section "General" for the
// single values, "Equalizer1".."Equalizer16" for the presets (preset n in
// memory is section Equalizer(n + 1)).
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "app/SettingsValues.h"

class CSettings {
public:
    static constexpr int kPresetCount = 16;
    static constexpr int kBandCount = 9;
    static constexpr int kMaxVolume = 30;
    static constexpr int kMaxGain = 15;        // dB, either sign
    static constexpr std::size_t kMaxText = 259;  // characters of a string value

    struct EqualizerPreset {
        std::string Name;
        std::array<int32_t, kBandCount> Gain{};
    };

    CSettings() = default;

    // Reads every key; a key that is missing or unusable keeps the field's
    // current value. False when the file could not be read (all fields then
    // keep their values).
    bool Load(const std::string& path);
    // Writes every key in the fixed order, keeping anything else the file
    // already holds. False when the file could not be written.
    bool Save(const std::string& path) const;

    // Member order follows the settings' data model.
    SettingsRect WindowPos;
    SettingsRect PlaylistPos;
    SettingsRect LoadPos;
    SettingsRect GraphicEQPos;
    int32_t MasterVolume = 30;
    int32_t PlayTimeDefault = 60;
    int32_t PlaylistVisible = 0;
    int32_t AutoPlay = 1;
    int32_t NoSEAutoPlay = 1;
    int32_t AvailableList = 0;
    int32_t CurrentPreset = 0;  // not stored
    std::array<EqualizerPreset, kPresetCount> Equalizer{};
    SettingsGuid DeviceGUID;
    int32_t SamplingRate = 44100;
    std::string SkinName = "Default";
    // Folder for recordings; relative values are taken from the program
    // folder. Backslashes read from a file are turned into '/'.
    std::string WavePath = "./wave/";
    // The main window drawn at twice its size (0/1; any other value reads as 1).
    int32_t DoubleSize = 0;
};

// The process-wide settings.
extern CSettings g_Settings;
