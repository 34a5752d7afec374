// CSettings against real files: round trip, fixed key order, clamps and
// rejects of damaged values, both file encodings.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "app/Settings.h"
#include "support/TestFiles.h"

namespace {

const std::string kTesuto = "\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88";  // "テスト" in UTF-8

class SettingsFile : public ::testing::Test {
protected:
    std::string ReadFile() const { return testfiles::ReadText(m_path); }
    CSettings LoadText(const std::string& bytes)
    {
        std::ofstream(m_path, std::ios::binary) << bytes;
        CSettings s;
        s.MasterVolume = 12;  // a value that no default explains
        EXPECT_TRUE(s.Load(m_path));
        return s;
    }
    CSettings SaveAndLoad(const CSettings& s)
    {
        EXPECT_TRUE(s.Save(m_path));
        CSettings t;
        EXPECT_TRUE(t.Load(m_path));
        return t;
    }

    testfiles::ScratchDir m_tmp;
    std::string m_path = m_tmp / "Kelvara.ini";
};

TEST_F(SettingsFile, RoundTripsEveryStoredField)
{
    CSettings a;
    a.WindowPos = {10, -20, 300, 400};
    a.PlaylistPos = {-1, 2, 0x7FFFFFFF, INT32_MIN};
    a.MasterVolume = 17;
    a.PlayTimeDefault = 125;
    a.PlaylistVisible = a.AvailableList = 1;
    a.AutoPlay = a.NoSEAutoPlay = 0;
    for (int p = 0; p < CSettings::kPresetCount; ++p) {
        a.Equalizer[p].Name = "Preset " + std::to_string(p) + (p == 3 ? " " + kTesuto : "");
        for (int b = 0; b < CSettings::kBandCount; ++b) a.Equalizer[p].Gain[b] = (p + b) % 31 - 15;
    }
    a.DeviceGUID = {0xDEADBEEF, 0x0123, 0xABCD, {0x0F, 0x1F, 0x2F, 0x3F, 0x4F, 0x5F, 0x6F, 0x7F}};
    a.SamplingRate = 48000;
    a.SkinName = "Dark Skin";
    a.WavePath = "/home/user/recordings/";
    ASSERT_TRUE(a.Save(m_path));
    const std::string first = ReadFile();
    // Files written by earlier versions rely on these encodings: a rectangle
    // is 16 little-endian bytes then their sum, a GUID its usual text.
    EXPECT_NE(first.find("\nWindowPos=0A000000ECFFFFFF2C01000090010000B1\n"), std::string::npos);
    EXPECT_NE(first.find("\nDeviceGUID=DEADBEEF-0123-ABCD-0F1F-2F3F4F5F6F7F\n"), std::string::npos);
    EXPECT_NE(first.find("[Equalizer16]\nName=Preset 15\n"), std::string::npos);

    CSettings b = SaveAndLoad(a);
    EXPECT_EQ(b.PlaylistPos, a.PlaylistPos);
    EXPECT_EQ(b.MasterVolume, 17);
    EXPECT_EQ(b.PlayTimeDefault, 125);
    EXPECT_EQ(b.Equalizer[3].Name, a.Equalizer[3].Name);
    EXPECT_EQ(b.Equalizer[15].Gain, a.Equalizer[15].Gain);
    EXPECT_EQ(b.DeviceGUID, a.DeviceGUID);
    EXPECT_EQ(b.WavePath, a.WavePath);
    // Every other field: saving what was loaded gives the same file.
    std::filesystem::remove(m_path);
    ASSERT_TRUE(b.Save(m_path));
    EXPECT_EQ(ReadFile(), first);
}

TEST_F(SettingsFile, ClampsRangesAndIgnoresDamagedValuesKeyByKey)
{
    CSettings s = LoadText("[General]\nMasterVolume=45\n[Equalizer2]\nGain3=-20\nGain4=99\nGain5=-7\n");
    EXPECT_EQ(s.MasterVolume, 30);
    EXPECT_EQ(s.Equalizer[1].Gain[3], -15);
    EXPECT_EQ(s.Equalizer[1].Gain[4], 15);
    EXPECT_EQ(s.Equalizer[1].Gain[5], -7);
    s = LoadText("[General]\nMasterVolume=-3\nSamplingRate=12345\nPlayTimeDefault=-5\n");
    EXPECT_EQ(s.MasterVolume, 0);
    EXPECT_EQ(s.SamplingRate, 12345);  // stored as read
    EXPECT_EQ(s.PlayTimeDefault, -5);

    s = LoadText("[General]\nSkinName=\n"
                 "DeviceGUID=01234567-89AB-CDEF-0123-456789ABCD\n"    // ten fields
                 "WindowPos=010000000200000003000000040000000B\n"     // wrong checksum
                 "PlaylistPos=0100000002000000030000000400000\n"      // too short
                 "LoadPos=01000000020000000300000004000000GA\n"       // not hex
                 "GraphicEQPos=050000000600000007000000080000001A\n"  // valid
                 "MasterVolume=loud\nAutoPlay=\nPlayTimeDefault=99999999999\nWavePath=\n"
                 "[Equalizer1]\nName=\nGain0=x\n");
    EXPECT_EQ(s.SkinName, "Default");
    EXPECT_EQ(s.DeviceGUID, SettingsGuid{});
    EXPECT_EQ(s.WindowPos, SettingsRect{});
    EXPECT_EQ(s.PlaylistPos, SettingsRect{});
    EXPECT_EQ(s.LoadPos, SettingsRect{});
    EXPECT_EQ(s.GraphicEQPos, (SettingsRect{5, 6, 7, 8}));
    EXPECT_EQ(s.MasterVolume, 12);
    EXPECT_EQ(s.AutoPlay, 1);
    EXPECT_EQ(s.PlayTimeDefault, 60);
    EXPECT_EQ(s.WavePath, "./wave/");
    EXPECT_EQ(s.Equalizer[0].Name, "");
    EXPECT_EQ(s.Equalizer[0].Gain[0], 0);
    EXPECT_FALSE(s.Load(m_path + ".missing"));

    // A settings "file" that is a folder: nothing read, nothing thrown, and
    // saving over it fails without removing it.
    std::filesystem::create_directory(m_path + ".dir");
    EXPECT_FALSE(s.Load(m_path + ".dir"));
    EXPECT_EQ(s.MasterVolume, 12);
    EXPECT_FALSE(s.Save(m_path + ".dir"));
    EXPECT_TRUE(std::filesystem::is_directory(m_path + ".dir"));
}

TEST_F(SettingsFile, ReadsLikeAProfileFileAndKeepsForeignLines)
{
    // Case-insensitive names, spaces around '=', CRLF line ends, quoted
    // values, comments, the first of duplicate keys.
    CSettings s = LoadText("; written by hand\r\n[general]\r\n  masterVOLUME = 7 \r\nSkinName=\"My Skin\"\r\n"
                           "AutoPlay=0\r\nAutoPlay=1\r\nWavePath=C:\\Music\\wave\\\r\nguid=ignored\r\n");
    EXPECT_EQ(s.MasterVolume, 7);
    EXPECT_EQ(s.SkinName, "My Skin");
    EXPECT_EQ(s.AutoPlay, 0);
    EXPECT_EQ(s.WavePath, "C:/Music/wave/");  // backslashes are separators

    CSettings again = SaveAndLoad(s);
    const std::string text = ReadFile();
    EXPECT_NE(text.find("; written by hand"), std::string::npos);
    EXPECT_NE(text.find("guid=ignored"), std::string::npos);
    EXPECT_EQ(text.find("[General]"), std::string::npos);  // existing section reused
    EXPECT_EQ(again.MasterVolume, 7);
    EXPECT_EQ(again.SkinName, "My Skin");
}

TEST_F(SettingsFile, ReadsCp932OrUtf8WritesUtf8AndCutsLongTexts)
{
    // "テスト" and a half-width "ｱ" (0xB1) in CP932.
    CSettings s = LoadText("[Equalizer1]\nName=\x83\x65\x83\x58\x83\x67\xB1\n");
    EXPECT_EQ(s.Equalizer[0].Name, kTesuto + "\xEF\xBD\xB1");
    ASSERT_TRUE(s.Save(m_path));
    EXPECT_NE(ReadFile().find("Name=" + kTesuto + "\xEF\xBD\xB1\n"), std::string::npos);
    EXPECT_EQ(LoadText("\xEF\xBB\xBF[General]\nSkinName=\xE9\xBB\x92\n").SkinName, "\xE9\xBB\x92");  // UTF-8 BOM

    std::string longName;
    for (int i = 0; i < 300; ++i) longName += "\xE3\x81\x82";  // "あ", 3 bytes each
    EXPECT_EQ(LoadText("[General]\nSkinName=" + longName + "\n").SkinName.size(), 259u * 3);

    // A value with a line break cannot forge another key.
    s.SkinName = "a\nMasterVolume=0";
    s.MasterVolume = 25;
    CSettings t = SaveAndLoad(s);
    EXPECT_EQ(t.MasterVolume, 25);
    EXPECT_EQ(t.SkinName, "a MasterVolume=0");
}

TEST(SettingsValues, GuidParsingFollowsTheFieldLayout)
{
    SettingsGuid g;
    ASSERT_TRUE(ParseGuidValue("6B29FC40-CA47-1067-B31D-00DD010662DA", g));
    EXPECT_EQ(FormatGuidValue(g), "6B29FC40-CA47-1067-B31D-00DD010662DA");
    EXPECT_TRUE(ParseGuidValue("6b29fc40-ca47-1067-b31d-00dd010662da", g));
    EXPECT_EQ(g.Data1, 0x6B29FC40u);
    for (const char* bad : {"", "{6B29FC40-CA47-1067-B31D-00DD010662DA}", "6B29FC40-CA47-1067-B31D00DD010662DA"})
        EXPECT_FALSE(ParseGuidValue(bad, g)) << bad;
}

}  // namespace
