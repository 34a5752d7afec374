#include "app/Settings.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "app/IniFile.h"
#include "app/TextEncoding.h"

CSettings g_Settings;

namespace {

constexpr const char* kGeneral = "General";

std::string PresetSection(int preset) { return "Equalizer" + std::to_string(preset + 1); }

// Signed decimal as the profile functions read it: optional sign, then
// digits; text after the digits is ignored. No digits, or a value outside
// 32 bits, is unusable.
std::optional<int32_t> ParseInt(const std::string& text) {
    std::size_t pos = 0;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) negative = text[pos++] == '-';
    int64_t value = 0;
    std::size_t digits = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
        value = value * 10 + (text[pos++] - '0');
        if (value > 0x80000000LL) return std::nullopt;
        ++digits;
    }
    if (digits == 0) return std::nullopt;
    if (negative) value = -value;
    if (value > INT32_MAX || value < INT32_MIN) return std::nullopt;
    return static_cast<int32_t>(value);
}

void ReadInt(const CIniFile& ini, const std::string& section, const char* key, int32_t& field) {
    if (auto text = ini.Get(section, key))
        if (auto v = ParseInt(*text)) field = *v;
}

void ReadText(const CIniFile& ini, const std::string& section, const char* key, std::string& field) {
    if (auto text = ini.Get(section, key))
        if (!text->empty()) field = TruncateUtf8(*text, CSettings::kMaxText);
}

void ReadRect(const CIniFile& ini, const char* key, SettingsRect& field) {
    if (auto text = ini.Get(kGeneral, key)) {
        SettingsRect r;
        if (ParseRectValue(*text, r)) field = r;
    }
}

}  // namespace

bool CSettings::Load(const std::string& path) {
    CIniFile ini;
    if (!ini.LoadFile(path)) return false;
    const std::string general = kGeneral;

    ReadRect(ini, "WindowPos", WindowPos);
    ReadRect(ini, "PlaylistPos", PlaylistPos);
    ReadRect(ini, "LoadPos", LoadPos);
    ReadRect(ini, "GraphicEQPos", GraphicEQPos);
    ReadInt(ini, general, "PlayTimeDefault", PlayTimeDefault);
    ReadInt(ini, general, "PlaylistVisible", PlaylistVisible);
    ReadInt(ini, general, "AutoPlay", AutoPlay);
    ReadInt(ini, general, "NoSEAutoPlay", NoSEAutoPlay);
    ReadInt(ini, general, "AvailableList", AvailableList);
    ReadText(ini, general, "SkinName", SkinName);
    if (auto text = ini.Get(general, "DeviceGUID")) {
        SettingsGuid g;
        if (ParseGuidValue(*text, g)) DeviceGUID = g;
    }
    ReadInt(ini, general, "SamplingRate", SamplingRate);
    ReadInt(ini, general, "MasterVolume", MasterVolume);
    MasterVolume = std::clamp(MasterVolume, 0, kMaxVolume);
    ReadText(ini, general, "WavePath", WavePath);
    std::replace(WavePath.begin(), WavePath.end(), '\\', '/');
    ReadInt(ini, general, "DoubleSize", DoubleSize);
    DoubleSize = DoubleSize != 0 ? 1 : 0;

    for (int p = 0; p < kPresetCount; ++p) {
        const std::string section = PresetSection(p);
        ReadText(ini, section, "Name", Equalizer[p].Name);
        for (int b = 0; b < kBandCount; ++b) {
            const std::string key = "Gain" + std::to_string(b);
            ReadInt(ini, section, key.c_str(), Equalizer[p].Gain[b]);
            Equalizer[p].Gain[b] = std::clamp(Equalizer[p].Gain[b], -kMaxGain, kMaxGain);
        }
    }
    return true;
}

bool CSettings::Save(const std::string& path) const {
    CIniFile ini;
    ini.LoadFile(path);  // keep whatever else the file holds; a missing file is fine
    const auto setInt = [&](const std::string& section, const std::string& key, int32_t v) {
        ini.Set(section, key, std::to_string(v));
    };
    ini.Set(kGeneral, "WindowPos", FormatRectValue(WindowPos));
    ini.Set(kGeneral, "PlaylistPos", FormatRectValue(PlaylistPos));
    ini.Set(kGeneral, "LoadPos", FormatRectValue(LoadPos));
    ini.Set(kGeneral, "GraphicEQPos", FormatRectValue(GraphicEQPos));
    setInt(kGeneral, "PlayTimeDefault", PlayTimeDefault);
    setInt(kGeneral, "PlaylistVisible", PlaylistVisible);
    setInt(kGeneral, "AutoPlay", AutoPlay);
    setInt(kGeneral, "NoSEAutoPlay", NoSEAutoPlay);
    setInt(kGeneral, "AvailableList", AvailableList);
    ini.Set(kGeneral, "SkinName", TruncateUtf8(SkinName, kMaxText));
    ini.Set(kGeneral, "DeviceGUID", FormatGuidValue(DeviceGUID));
    setInt(kGeneral, "SamplingRate", SamplingRate);
    setInt(kGeneral, "MasterVolume", MasterVolume);
    ini.Set(kGeneral, "WavePath", TruncateUtf8(WavePath, kMaxText));
    setInt(kGeneral, "DoubleSize", DoubleSize);
    for (int p = 0; p < kPresetCount; ++p) {
        const std::string section = PresetSection(p);
        ini.Set(section, "Name", TruncateUtf8(Equalizer[p].Name, kMaxText));
        for (int b = 0; b < kBandCount; ++b) setInt(section, "Gain" + std::to_string(b), Equalizer[p].Gain[b]);
    }
    return ini.SaveFile(path);
}
