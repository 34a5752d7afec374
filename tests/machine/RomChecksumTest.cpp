// Giving an assembled image a database checksum: the wanted CRC comes out
// wherever the four patch bytes lie, nothing else changes, and an image or
// patch position that cannot work is refused without touching the image.
#include "kelvara-asm/RomChecksum.h"

#include <gtest/gtest.h>

#include "machine/Crc32.h"

TEST(RomChecksum, PatchGivesTheWantedCrcAndTouchesOnlyItsFourBytes)
{
    std::vector<uint8_t> image(8192 + 100);
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<uint8_t>(i * 7 + 3);
    for (std::size_t offset : {std::size_t{0}, std::size_t{0x1000}, std::size_t{8188}}) {
        SCOPED_TRACE(offset);
        std::vector<uint8_t> patched = image;
        ASSERT_TRUE(PatchRomCrc(patched, 0x4300BFD3u, offset));
        EXPECT_EQ(Crc32(8192, patched.data()), 0x4300BFD3u);
        for (std::size_t i = 0; i < image.size(); ++i) {
            if (i < offset || i >= offset + 4) {
                ASSERT_EQ(patched[i], image[i]) << i;
            }
        }
    }

    std::vector<uint8_t> unchanged = image;
    EXPECT_FALSE(PatchRomCrc(unchanged, 0x12345678u, 8189));  // would reach byte 8192
    std::vector<uint8_t> tooShort(8191, 0xFF);
    EXPECT_FALSE(PatchRomCrc(tooShort, 0x12345678u, 0));
    EXPECT_EQ(unchanged, image);
    EXPECT_EQ(tooShort, std::vector<uint8_t>(8191, 0xFF));
}
