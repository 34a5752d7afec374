#include "app/SettingsValues.h"

#include <cstdio>

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Reads 1..maxDigits hex digits at text[pos]; false if there is none.
bool ReadHex(std::string_view text, std::size_t& pos, int maxDigits, uint32_t& value) {
    value = 0;
    int digits = 0;
    while (digits < maxDigits && pos < text.size()) {
        const int d = HexDigit(text[pos]);
        if (d < 0) break;
        value = (value << 4) | static_cast<uint32_t>(d);
        ++pos;
        ++digits;
    }
    return digits > 0;
}

}  // namespace

std::string FormatRectValue(const SettingsRect& rect) {
    const int32_t fields[4] = {rect.left, rect.top, rect.right, rect.bottom};
    std::string out;
    unsigned sum = 0;
    char hex[3];
    for (int32_t f : fields) {
        const uint32_t u = static_cast<uint32_t>(f);
        for (int b = 0; b < 4; ++b) {
            const unsigned byte = (u >> (8 * b)) & 0xFF;
            sum += byte;
            std::snprintf(hex, sizeof(hex), "%02X", byte);
            out += hex;
        }
    }
    std::snprintf(hex, sizeof(hex), "%02X", sum & 0xFF);
    out += hex;
    return out;
}

bool ParseRectValue(std::string_view text, SettingsRect& rect) {
    if (text.size() != 34) return false;
    uint8_t bytes[17];
    for (int i = 0; i < 17; ++i) {
        const int hi = HexDigit(text[2 * i]);
        const int lo = HexDigit(text[2 * i + 1]);
        if (hi < 0 || lo < 0) return false;
        bytes[i] = static_cast<uint8_t>(hi * 16 + lo);
    }
    unsigned sum = 0;
    for (int i = 0; i < 16; ++i) sum += bytes[i];
    if ((sum & 0xFF) != bytes[16]) return false;
    int32_t fields[4];
    for (int f = 0; f < 4; ++f) {
        const uint32_t u = bytes[4 * f] | (bytes[4 * f + 1] << 8) | (bytes[4 * f + 2] << 16) |
                           (static_cast<uint32_t>(bytes[4 * f + 3]) << 24);
        fields[f] = static_cast<int32_t>(u);
    }
    rect = SettingsRect{fields[0], fields[1], fields[2], fields[3]};
    return true;
}

std::string FormatGuidValue(const SettingsGuid& g) {
    char text[40];
    std::snprintf(text, sizeof(text), "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X",
                  static_cast<unsigned>(g.Data1), static_cast<unsigned>(g.Data2),
                  static_cast<unsigned>(g.Data3), g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3],
                  g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return text;
}

bool ParseGuidValue(std::string_view text, SettingsGuid& guid) {
    // Field widths in digits and whether a '-' follows the field.
    static constexpr int kWidth[11] = {8, 4, 4, 2, 2, 2, 2, 2, 2, 2, 2};
    static constexpr bool kDash[11] = {true, true, true, false, true, false, false, false, false, false, false};
    uint32_t fields[11];
    std::size_t pos = 0;
    for (int i = 0; i < 11; ++i) {
        if (!ReadHex(text, pos, kWidth[i], fields[i])) return false;
        if (kDash[i]) {
            if (pos >= text.size() || text[pos] != '-') return false;
            ++pos;
        }
    }
    guid.Data1 = fields[0];
    guid.Data2 = static_cast<uint16_t>(fields[1]);
    guid.Data3 = static_cast<uint16_t>(fields[2]);
    for (int i = 0; i < 8; ++i) guid.Data4[i] = static_cast<uint8_t>(fields[3 + i]);
    return true;
}

std::array<uint8_t, 16> GuidToBytes(const SettingsGuid& g) {
    std::array<uint8_t, 16> b{};
    for (int i = 0; i < 4; ++i) b[i] = static_cast<uint8_t>(g.Data1 >> (8 * i));
    for (int i = 0; i < 2; ++i) b[4 + i] = static_cast<uint8_t>(g.Data2 >> (8 * i));
    for (int i = 0; i < 2; ++i) b[6 + i] = static_cast<uint8_t>(g.Data3 >> (8 * i));
    for (int i = 0; i < 8; ++i) b[8 + i] = g.Data4[i];
    return b;
}

SettingsGuid GuidFromBytes(const std::array<uint8_t, 16>& b) {
    SettingsGuid g;
    g.Data1 = b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
    g.Data2 = static_cast<uint16_t>(b[4] | (b[5] << 8));
    g.Data3 = static_cast<uint16_t>(b[6] | (b[7] << 8));
    for (int i = 0; i < 8; ++i) g.Data4[i] = b[8 + i];
    return g;
}
