// The leading hexadecimal digits of a text, as playlist codes ("#$1F") and
// skin colours ("FFFFFF", "0x0000FF") are written: reading stops at the
// first other character, no digits give 0, and the value saturates at
// 0xFFFFFFFF instead of wrapping.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string_view>

inline uint32_t ReadLeadingHex(std::string_view text)
{
    uint64_t value = 0;
    for (char c : text) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            break;
        value = std::min<uint64_t>(value * 16 + uint64_t(digit), 0xFFFFFFFFu);
    }
    return uint32_t(value);
}
