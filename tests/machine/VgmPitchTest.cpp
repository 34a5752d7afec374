// A VGM log plays at the pitch the board sounds: for one board of each chip
// kind, a steady tone is rendered while its chip writes go to a VGM log
// (header as the offline renderer sets it up); the log is read back by a
// small reader of its own that knows only the format's pitch rules, and the
// frequency it implies must match the one measured in the samples.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "support/SoundBoardTestRoms.h"
#include "audio/OfflineRender.h"
#include "audio/VgmWriter.h"
#include "support/ToneMeasure.h"
#include "support/VgmReader.h"

using namespace boardtest;

namespace {

// What a VGM player would sound: the header's clock and the chip registers
// left by the command stream, under the format's rules (AY8910: clock / (16 *
// period); SN76489: clock / (32 * period); YM2413: F-number * clock / 72 /
// 2^(19 - block)). The sounding channel is the one keyed on / not muted.
double VgmToneHz(const ParsedVgm& f)
{
    std::array<uint8_t, 256> opll{}, ay{};
    std::array<uint16_t, 4> snPeriod{};
    std::array<uint8_t, 4> snAtt{0x0F, 0x0F, 0x0F, 0x0F};
    int snLatch = 0;
    for (const std::vector<uint8_t>& c : f.commands) {
        if (c[0] != 0x50) {
            (c[0] == 0x51 ? opll : ay)[c[1]] = c[2];
        } else if (c[1] & 0x80) {
            snLatch = (c[1] >> 4) & 7;
            if (snLatch & 1)
                snAtt[snLatch >> 1] = c[1] & 0x0F;
            else
                snPeriod[snLatch >> 1] = static_cast<uint16_t>((snPeriod[snLatch >> 1] & 0x3F0) | (c[1] & 0x0F));
        } else if (!(snLatch & 1)) {
            snPeriod[snLatch >> 1] = static_cast<uint16_t>((snPeriod[snLatch >> 1] & 0x0F) | (c[1] & 0x3F) << 4);
        }
    }
    double hz = 0;
    if (const uint32_t clock = f.U32(0x10)) {
        for (int ch = 0; ch < 9; ++ch)
            if (opll[0x20 + ch] & 0x10) {
                const int fnum = opll[0x10 + ch] | (opll[0x20 + ch] & 1) << 8, block = (opll[0x20 + ch] >> 1) & 7;
                hz = fnum * (clock / 72.0) / (1 << (19 - block));
            }
    } else if (const uint32_t clock = f.U32(0x74)) {
        for (int ch = 0; ch < 3; ++ch)
            if ((ay[8 + ch] & 0x1F) != 0 && !(ay[7] & (1 << ch)))
                hz = clock / (16.0 * (ay[2 * ch] | (ay[2 * ch + 1] & 0x0F) << 8));
    } else if (const uint32_t clock = f.U32(0x0C)) {
        for (int ch = 0; ch < 3; ++ch)
            if (snAtt[ch] != 0x0F) hz = clock / (32.0 * snPeriod[ch]);
    }
    return hz;
}

// Forwards the board's chip writes into the log, as the offline renderer does.
struct VgmTap final : IChipWriteObserver {
    CVgmWriter& vgm;
    explicit VgmTap(CVgmWriter& v) : vgm(v) {}
    void OnChipWrite(uint32_t port, uint8_t value) override { vgm.Write(port, value); }
};

} // namespace

TEST(VgmPitch, LogOfEachChipKindPlaysAtTheRenderedPitch)
{
    // One board per chip kind: YM2413, YMF281B, PSG (AY8910), SN76496.
    for (uint32_t type : {40u, 24u, 62u, 34u}) {
        SCOPED_TRACE("type " + std::to_string(type));
        const MachineDef* def = FindMachineDef(type);
        ASSERT_NE(def, nullptr);
        TestFixups fixups;
        std::unique_ptr<TempRom> file;
        std::unique_ptr<CSoundBoard> board = MakeToneBoard(*def, fixups, file);
        CVgmWriter vgm;
        vgm.Begin(VgmOptionsForChip(board->ChipKind(), board->ChipClock(), 44100));
        VgmTap tap(vgm);
        board->SetChipWriteObserver(&tap);
        board->Reset();
        board->SendCommand(0x25);
        std::vector<int32_t> samples = RenderLeft(*board, 1000 + 16384);
        vgm.Wait(samples.size());
        board->SetChipWriteObserver(nullptr);
        const ParsedVgm log(vgm.Finish("Tone", "0x25"));

        std::span<const int32_t> steady(samples.data() + 1000, 16384);
        const double measured = ToneMeasure::MeasureFrequency(steady, 44100.0, 100.0, 3000.0);
        const double logged = VgmToneHz(log);
        ASSERT_GT(measured, 0.0);
        EXPECT_LT(ToneMeasure::RelativeError(logged, measured), 0.005)
            << "VGM plays " << logged << " Hz, the board " << measured << " Hz";
        // The YM2413 header cannot say YMF281B: the tag's notes (its eleventh
        // string) do.
        ASSERT_EQ(log.tags.size(), 11u);
        if (def->chipKind == ChipYMF281B)
            EXPECT_NE(log.tags[10].find(u"YMF281B"), std::u16string::npos);
        else
            EXPECT_EQ(log.tags[10], u"");
    }
}
