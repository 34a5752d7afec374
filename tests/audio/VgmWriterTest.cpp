// VGM logs parsed back: header fields per chip, the command stream and its
// waits, and the GD3 tag.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/TestFiles.h"
#include "support/VgmReader.h"
#include "app/TextEncoding.h"
#include "audio/VgmWriter.h"

namespace {

using Bytes = std::vector<uint8_t>;

TEST(VgmWriter, Ym2413LogRoundTrips) {
    CVgmWriter vgm;
    vgm.Begin({VgmChip::Ym2413, 3579545, 44100});
    vgm.Write(0, 0x10);  // select only: no command
    vgm.Write(1, 0xAB);
    vgm.Wait(1);
    vgm.Write(1, 0xCD);  // same register again
    vgm.Write(0, 0x30);
    vgm.Wait(735);
    vgm.Write(1, 0x7F);
    vgm.WriteRegister(0x0E, 0x20);
    vgm.Wait(44100 * 3 + 5);
    const std::string title = "\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88 Slot";  // テスト Slot
    ParsedVgm f(vgm.Finish(title, "BGM 1"));

    EXPECT_EQ(std::string(f.bytes.begin(), f.bytes.begin() + 4), "Vgm ");
    EXPECT_EQ(f.U32(0x04), f.bytes.size() - 4);
    // Version 1.71, YM2413 clock only, data right after the 256-byte header, no loop.
    const std::pair<std::size_t, uint32_t> header[] = {{0x08, 0x171}, {0x10, 3579545}, {0x0C, 0}, {0x74, 0}, {0x34, 0xCC}, {0x1C, 0}};
    for (auto [at, value] : header) EXPECT_EQ(f.U32(at), value) << "header offset " << at;
    EXPECT_TRUE(f.ended);
    EXPECT_EQ(vgm.WriteCount(), 4u);
    EXPECT_EQ(f.commands, (std::vector<Bytes>{{0x51, 0x10, 0xAB}, {0x51, 0x10, 0xCD}, {0x51, 0x30, 0x7F}, {0x51, 0x0E, 0x20}}));
    const uint64_t total = 1 + 735 + 44100 * 3 + 5;
    EXPECT_EQ(f.waited, total);
    EXPECT_EQ(f.U32(0x18), total);
    ASSERT_EQ(f.tags.size(), 11u);
    EXPECT_EQ(f.tags[0], u"BGM 1");
    EXPECT_EQ(f.tags[2], Utf8ToUtf16(title));
    EXPECT_EQ(f.tags[3], Utf8ToUtf16(title));
}

TEST(VgmWriter, PsgHeadersCarryClockChipTypeAndNoiseFields) {
    VgmOptions ay{VgmChip::Ay8910, 2000000, 44100};
    ay.ayType = 0x10;  // YM2149
    CVgmWriter vgm;
    vgm.Begin(ay);
    vgm.Write(0, 7), vgm.Write(1, 0x38);
    vgm.Write(0, 8), vgm.Write(1, 0x0F);
    ParsedVgm a(vgm.Finish("t", "r"));
    EXPECT_EQ(a.U32(0x74), 2000000u);
    EXPECT_EQ(a.bytes[0x78], 0x10);
    EXPECT_EQ(a.bytes[0x79], 0x01);
    EXPECT_EQ(a.U32(0x10), 0u);
    EXPECT_EQ(a.commands, (std::vector<Bytes>{{0xA0, 7, 0x38}, {0xA0, 8, 0x0F}}));

    vgm.Begin({VgmChip::Sn76489, 3579545, 44100});
    for (uint8_t b : {0x9F, 0xBF, 0xDF, 0xFF, 0x80, 0x05}) vgm.Write(0, b);
    ParsedVgm s(vgm.Finish("", ""));
    EXPECT_EQ(s.U32(0x0C), 3579545u);
    EXPECT_EQ(testfiles::Le16(s.bytes, 0x28), 0x0006);  // feedback
    EXPECT_EQ(s.bytes[0x2A], 15);                        // shift width
    EXPECT_EQ(s.bytes[0x2B], 0x04);
    ASSERT_EQ(s.commands.size(), 6u);  // every byte logged
    EXPECT_EQ(s.commands[5], (Bytes{0x50, 0x05}));
}

// One minute at 48000 Hz in 240-sample blocks with a write after each: the
// waits add up to exactly one minute of 44100 Hz samples.
TEST(VgmWriter, OtherRenderRatesConvertWithoutDriftAndBeginStartsAfresh)
{
    CVgmWriter vgm;
    vgm.Begin({VgmChip::Ym2413, 3579545, 48000});
    for (int i = 0; i < 60 * 200; ++i) {
        vgm.Wait(240);
        vgm.WriteRegister(0x20, static_cast<uint8_t>(i));
    }
    ParsedVgm f(vgm.Finish("", ""));
    EXPECT_EQ(f.waited, 60u * 44100);
    EXPECT_EQ(f.U32(0x18), 60u * 44100);
    EXPECT_EQ(f.commands.size(), 60u * 200);

    vgm.Begin({VgmChip::Ym2413, 3579545, 44100});
    EXPECT_EQ(vgm.WriteCount(), 0u);
    EXPECT_TRUE(ParsedVgm(vgm.Finish("", "")).commands.empty());
}

}  // namespace
