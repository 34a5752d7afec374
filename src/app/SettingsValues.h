// Text forms of the structured settings values: window rectangles as
// binary-structure hex text with a checksum, and the output device GUID.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

struct SettingsRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    bool operator==(const SettingsRect&) const = default;
};

struct SettingsGuid {
    uint32_t Data1 = 0;
    uint16_t Data2 = 0;
    uint16_t Data3 = 0;
    uint8_t Data4[8] = {};
    bool operator==(const SettingsGuid&) const = default;
};

// The 16 bytes of the four little-endian integers, two upper-case hex digits
// each, then the byte sum modulo 256 as two more digits (34 digits).
std::string FormatRectValue(const SettingsRect& rect);
// Accepts exactly 34 hex digits (either case) whose checksum matches.
bool ParseRectValue(std::string_view text, SettingsRect& rect);

// "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX", upper case, no braces.
std::string FormatGuidValue(const SettingsGuid& guid);
// Reads the eleven hex fields of that layout; each field takes one up to its
// full width of digits. False unless all eleven are present.
bool ParseGuidValue(std::string_view text, SettingsGuid& guid);

// The GUID's 16 bytes in memory order (Data1..Data3 little-endian, then
// Data4), for code that keeps device identities as plain byte arrays.
std::array<uint8_t, 16> GuidToBytes(const SettingsGuid& guid);
SettingsGuid GuidFromBytes(const std::array<uint8_t, 16>& bytes);
