// The WAV folder checks of the options dialog and the test tone's samples.
#include <gtest/gtest.h>

#include <cmath>

#include "TempFolder.h"
#include "player/TestTone.h"
#include "player/WaveFolder.h"


TEST(WaveFolder, RelativeFoldersAreTakenFromTheProgramFolder)
{
    EXPECT_EQ(ResolveWaveFolder("./wave/", "/opt/kelvara"), "/opt/kelvara/wave");
    EXPECT_EQ(ResolveWaveFolder(".\\rec\\..\\wave\\", "/opt/kelvara/"), "/opt/kelvara/wave");
    EXPECT_EQ(ResolveWaveFolder("/srv/rec/", "/opt/kelvara"), "/srv/rec");
    EXPECT_EQ(ResolveWaveFolder("", "/opt/kelvara"), "/opt/kelvara");
}

TEST(WaveFolder, UsableWhenWritableOrCreatable)
{
    ScratchDir tmp;
    const fs::path base = tmp.dir;
    WriteFile(base / "file", "x");
    EXPECT_TRUE(IsWaveFolderUsable(base.string()));
    EXPECT_TRUE(IsWaveFolderUsable((base / "new" / "deeper").string()));
    EXPECT_FALSE(IsWaveFolderUsable((base / "file").string()));
    EXPECT_FALSE(IsWaveFolderUsable((base / "file" / "wave").string()));
}

TEST(WaveFolder, SettingTextEndsInOneSeparatorAndFitsTheField)
{
    EXPECT_EQ(WavePathSettingFrom("/srv/rec"), "/srv/rec/");
    EXPECT_EQ(WavePathSettingFrom(".\\wave\\"), ".\\wave\\");
    EXPECT_EQ(WavePathSettingFrom(""), "./wave/");
    const std::string longest = WavePathSettingFrom(std::string(400, 'a'));
    EXPECT_EQ(longest.size(), 259u);
    EXPECT_EQ(longest.back(), '/');
}

TEST(TestTone, SineWithSilentEdgesAtTheRequestedRate)
{
    TestToneShape shape;
    shape.frequency = 1000;
    shape.seconds = 0.5;
    const auto pcm = MakeTestTone(48000, shape);
    ASSERT_EQ(pcm.size(), 2u * 24000);
    EXPECT_EQ(pcm[0], 0);
    EXPECT_EQ(pcm[pcm.size() - 2], 0);
    int crossings = 0, peak = 0;
    for (std::size_t i = 2; i < pcm.size(); i += 2) {
        EXPECT_EQ(pcm[i], pcm[i + 1]);
        crossings += (pcm[i - 2] < 0) != (pcm[i] < 0);
        peak = std::max(peak, std::abs(int(pcm[i])));
    }
    EXPECT_NEAR(crossings, 1000, 4);  // two per cycle over half a second
    EXPECT_NEAR(peak, shape.amplitude, 2);
    EXPECT_TRUE(MakeTestTone(0).empty());
}
