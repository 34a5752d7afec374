// A minimal reader of VGM files as CVgmWriter produces them: the write
// commands in order, the total wait, and the GD3 tag's strings. The format
// checks it makes on the way fail the running test.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/TestFiles.h"

struct ParsedVgm {
    std::vector<uint8_t> bytes;
    uint64_t waited = 0;
    bool ended = false;
    std::vector<std::vector<uint8_t>> commands;  // write commands in order
    std::vector<std::u16string> tags;

    uint32_t U32(std::size_t at) const { return testfiles::Le32(bytes, at); }

    explicit ParsedVgm(std::vector<uint8_t> file) : bytes(std::move(file)) {
        std::size_t p = 0x34 + U32(0x34);
        const std::size_t gd3 = 0x14 + U32(0x14);
        while (p < gd3 && !ended) {
            const uint8_t c = bytes[p];
            if (c == 0x50) commands.push_back({c, bytes[p + 1]}), p += 2;
            else if (c == 0x51 || c == 0xA0) commands.push_back({c, bytes[p + 1], bytes[p + 2]}), p += 3;
            else if (c == 0x61) waited += bytes[p + 1] | (bytes[p + 2] << 8), p += 3;
            else if (c == 0x62) waited += 735, ++p;
            else if (c == 0x63) waited += 882, ++p;
            else if ((c & 0xF0) == 0x70) waited += (c & 0x0F) + 1, ++p;
            else if (c == 0x66) ended = true, ++p;
            else {
                ADD_FAILURE() << "unknown command " << int(c) << " at " << p;
                return;
            }
        }
        EXPECT_EQ(p, gd3) << "command stream must end where the tag starts";
        EXPECT_EQ(std::string(bytes.begin() + gd3, bytes.begin() + gd3 + 4), "Gd3 ");
        EXPECT_EQ(U32(gd3 + 4), 0x100u);
        const std::size_t end = gd3 + 12 + U32(gd3 + 8);
        EXPECT_EQ(end, bytes.size());
        std::u16string s;
        for (std::size_t q = gd3 + 12; q + 1 < end; q += 2) {
            const char16_t ch = static_cast<char16_t>(bytes[q] | (bytes[q + 1] << 8));
            if (ch == 0) tags.push_back(s), s.clear();
            else s += ch;
        }
    }
};
