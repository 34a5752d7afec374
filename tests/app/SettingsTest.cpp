// CSettings against real files: round trip, fixed key order, clamps and
// rejects of damaged values, both file encodings.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "app/Settings.h"

namespace {

class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = std::filesystem::temp_directory_path() /
                ("kelvara-settings-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(m_dir);
        m_path = (m_dir / "Kelvara.ini").string();
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    void WriteFile(const std::string& bytes) {
        std::ofstream out(m_path, std::ios::binary);
        out << bytes;
    }
    std::string ReadFile() const {
        std::ifstream in(m_path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    std::filesystem::path m_dir;
    std::string m_path;
};

TEST_F(SettingsFile, RoundTripsEveryStoredField) {
    CSettings a;
    a.WindowPos = {10, -20, 300, 400};
    a.PlaylistPos = {-1, 2, 0x7FFFFFFF, INT32_MIN};
    a.LoadPos = {5, 6, 7, 8};
    a.GraphicEQPos = {100, 200, 300, 400};
    a.MasterVolume = 17;
    a.PlayTimeDefault = 125;
    a.PlaylistVisible = 1;
    a.AutoPlay = 0;
    a.NoSEAutoPlay = 0;
    a.AvailableList = 1;
    for (int p = 0; p < CSettings::kPresetCount; ++p) {
        a.Equalizer[p].Name = "Preset " + std::to_string(p) + (p == 3 ? " \xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88" : "");
        for (int b = 0; b < CSettings::kBandCount; ++b) a.Equalizer[p].Gain[b] = (p + b) % 31 - 15;
    }
    a.DeviceGUID.Data1 = 0xDEADBEEF;
    a.DeviceGUID.Data2 = 0x0123;
    a.DeviceGUID.Data3 = 0xABCD;
    for (int i = 0; i < 8; ++i) a.DeviceGUID.Data4[i] = static_cast<uint8_t>(0x10 * i + 0x0F);
    a.SamplingRate = 48000;
    a.SkinName = "Dark Skin";
    a.WavePath = "/home/user/recordings/";
    ASSERT_TRUE(a.Save(m_path));

    CSettings b;
    ASSERT_TRUE(b.Load(m_path));
    EXPECT_EQ(b.WindowPos, a.WindowPos);
    EXPECT_EQ(b.PlaylistPos, a.PlaylistPos);
    EXPECT_EQ(b.LoadPos, a.LoadPos);
    EXPECT_EQ(b.GraphicEQPos, a.GraphicEQPos);
    EXPECT_EQ(b.MasterVolume, 17);
    EXPECT_EQ(b.PlayTimeDefault, 125);
    EXPECT_EQ(b.PlaylistVisible, 1);
    EXPECT_EQ(b.AutoPlay, 0);
    EXPECT_EQ(b.NoSEAutoPlay, 0);
    EXPECT_EQ(b.AvailableList, 1);
    for (int p = 0; p < CSettings::kPresetCount; ++p) {
        EXPECT_EQ(b.Equalizer[p].Name, a.Equalizer[p].Name);
        EXPECT_EQ(b.Equalizer[p].Gain, a.Equalizer[p].Gain) << "preset " << p;
    }
    EXPECT_EQ(b.DeviceGUID, a.DeviceGUID);
    EXPECT_EQ(b.SamplingRate, 48000);
    EXPECT_EQ(b.SkinName, "Dark Skin");
    EXPECT_EQ(b.WavePath, "/home/user/recordings/");
}

TEST_F(SettingsFile, WritesEveryKeyInFixedOrderWithDocumentedEncodings) {
    CSettings s;
    s.WindowPos = {1, 2, 3, 4};
    s.DeviceGUID.Data1 = 0x0A0B0C0D;
    s.DeviceGUID.Data4[7] = 0xFE;
    ASSERT_TRUE(s.Save(m_path));
    const std::string text = ReadFile();

    const char* general[] = {"WindowPos=", "PlaylistPos=", "LoadPos=", "GraphicEQPos=", "PlayTimeDefault=60",
                             "PlaylistVisible=0", "AutoPlay=1", "NoSEAutoPlay=1", "AvailableList=0",
                             "SkinName=Default", "DeviceGUID=", "SamplingRate=44100", "MasterVolume=30",
                             "WavePath=./wave/"};
    std::size_t pos = text.find("[General]");
    ASSERT_NE(pos, std::string::npos);
    for (const char* key : general) {
        const std::size_t next = text.find(std::string("\n") + key, pos);
        ASSERT_NE(next, std::string::npos) << key << " missing or out of order";
        pos = next + 1;
    }
    // Rectangle: 16 little-endian bytes then their sum (1+2+3+4 = 0x0A).
    EXPECT_NE(text.find("WindowPos=010000000200000003000000040000000A\n"), std::string::npos);
    EXPECT_NE(text.find("PlaylistPos=0000000000000000000000000000000000\n"), std::string::npos);
    EXPECT_NE(text.find("DeviceGUID=0A0B0C0D-0000-0000-0000-0000000000FE\n"), std::string::npos);

    for (int p = 1; p <= 16; ++p) {
        const std::string section = "[Equalizer" + std::to_string(p) + "]";
        const std::size_t next = text.find(section, pos);
        ASSERT_NE(next, std::string::npos) << section;
        pos = next;
        std::size_t key = text.find("\nName=", pos);
        ASSERT_NE(key, std::string::npos);
        for (int b = 0; b < 9; ++b) {
            const std::size_t g = text.find("\nGain" + std::to_string(b) + "=0", key);
            ASSERT_NE(g, std::string::npos) << section << " Gain" << b;
            key = g;
        }
    }
}

TEST_F(SettingsFile, ClampsVolumeAndEqualizerGains) {
    WriteFile("[General]\nMasterVolume=45\n[Equalizer2]\nGain3=-20\nGain4=99\nGain5=-7\n");
    CSettings s;
    ASSERT_TRUE(s.Load(m_path));
    EXPECT_EQ(s.MasterVolume, 30);
    EXPECT_EQ(s.Equalizer[1].Gain[3], -15);
    EXPECT_EQ(s.Equalizer[1].Gain[4], 15);
    EXPECT_EQ(s.Equalizer[1].Gain[5], -7);
    EXPECT_EQ(s.Equalizer[0].Gain[3], 0);

    WriteFile("[General]\nMasterVolume=-3\nSamplingRate=12345\nPlayTimeDefault=-5\n");
    ASSERT_TRUE(s.Load(m_path));
    EXPECT_EQ(s.MasterVolume, 0);
    EXPECT_EQ(s.SamplingRate, 12345);  // stored as read
    EXPECT_EQ(s.PlayTimeDefault, -5);
}

TEST_F(SettingsFile, IgnoresDamagedValuesKeyByKey) {
    WriteFile(
        "[General]\n"
        "SkinName=\n"
        "DeviceGUID=01234567-89AB-CDEF-0123-456789ABCD\n"       // ten fields
        "WindowPos=010000000200000003000000040000000B\n"        // wrong checksum
        "PlaylistPos=0100000002000000030000000400000\n"         // too short
        "LoadPos=01000000020000000300000004000000GA\n"          // not hex
        "GraphicEQPos=050000000600000007000000080000001A\n"     // valid
        "MasterVolume=loud\n"
        "AutoPlay=\n"
        "PlayTimeDefault=99999999999\n"
        "WavePath=\n"
        "[Equalizer1]\nName=\nGain0=x\n");
    CSettings s;
    s.MasterVolume = 12;
    EXPECT_FALSE(s.Load(m_path + ".missing"));
    ASSERT_TRUE(s.Load(m_path));
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
}

TEST_F(SettingsFile, ReadsLikeAProfileFile) {
    // Case-insensitive names, spaces around '=', CRLF line ends, quoted
    // values, comments, the first of duplicate keys.
    WriteFile(
        "; written by hand\r\n"
        "[general]\r\n"
        "  masterVOLUME = 12 \r\n"
        "SkinName=\"My Skin\"\r\n"
        "AutoPlay=0\r\n"
        "AutoPlay=1\r\n"
        "WavePath=C:\\Music\\wave\\\r\n"
        "guid=ignored\r\n");
    CSettings s;
    ASSERT_TRUE(s.Load(m_path));
    EXPECT_EQ(s.MasterVolume, 12);
    EXPECT_EQ(s.SkinName, "My Skin");
    EXPECT_EQ(s.AutoPlay, 0);
    EXPECT_EQ(s.WavePath, "C:/Music/wave/");  // backslashes are separators

    // Saving keeps what the file had beyond the settings.
    ASSERT_TRUE(s.Save(m_path));
    const std::string text = ReadFile();
    EXPECT_NE(text.find("; written by hand"), std::string::npos);
    EXPECT_NE(text.find("guid=ignored"), std::string::npos);
    EXPECT_EQ(text.find("[General]"), std::string::npos);  // existing section reused
    CSettings again;
    ASSERT_TRUE(again.Load(m_path));
    EXPECT_EQ(again.MasterVolume, 12);
    EXPECT_EQ(again.SkinName, "My Skin");
}

TEST_F(SettingsFile, ReadsCp932FilesAndWritesUtf8) {
    // "テスト" in CP932, and a half-width katakana "ｱ" (0xB1).
    WriteFile("[Equalizer1]\nName=\x83\x65\x83\x58\x83\x67\xB1\n");
    CSettings s;
    ASSERT_TRUE(s.Load(m_path));
    EXPECT_EQ(s.Equalizer[0].Name, "\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88\xEF\xBD\xB1");
    ASSERT_TRUE(s.Save(m_path));
    EXPECT_NE(ReadFile().find("Name=\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88\xEF\xBD\xB1\n"), std::string::npos);

    // A UTF-8 file with a byte-order mark.
    WriteFile("\xEF\xBB\xBF[General]\nSkinName=\xE9\xBB\x92\n");
    CSettings u;
    ASSERT_TRUE(u.Load(m_path));
    EXPECT_EQ(u.SkinName, "\xE9\xBB\x92");
}

TEST_F(SettingsFile, CutsLongTextsTo259CharactersAndKeepsLinesIntact) {
    std::string longName;
    for (int i = 0; i < 300; ++i) longName += "\xE3\x81\x82";  // "あ", 3 bytes each
    WriteFile("[General]\nSkinName=" + longName + "\n");
    CSettings s;
    ASSERT_TRUE(s.Load(m_path));
    EXPECT_EQ(s.SkinName.size(), 259u * 3);

    // A value with a line break cannot forge another key.
    s.SkinName = "a\nMasterVolume=0";
    s.MasterVolume = 25;
    ASSERT_TRUE(s.Save(m_path));
    CSettings t;
    ASSERT_TRUE(t.Load(m_path));
    EXPECT_EQ(t.MasterVolume, 25);
    EXPECT_EQ(t.SkinName, "a MasterVolume=0");
}

TEST(SettingsValues, GuidParsingFollowsTheFieldLayout) {
    SettingsGuid g;
    ASSERT_TRUE(ParseGuidValue("6B29FC40-CA47-1067-B31D-00DD010662DA", g));
    EXPECT_EQ(g.Data1, 0x6B29FC40u);
    EXPECT_EQ(g.Data2, 0xCA47);
    EXPECT_EQ(g.Data3, 0x1067);
    EXPECT_EQ(g.Data4[0], 0xB3);
    EXPECT_EQ(g.Data4[7], 0xDA);
    EXPECT_EQ(FormatGuidValue(g), "6B29FC40-CA47-1067-B31D-00DD010662DA");
    EXPECT_TRUE(ParseGuidValue("6b29fc40-ca47-1067-b31d-00dd010662da", g));
    EXPECT_FALSE(ParseGuidValue("", g));
    EXPECT_FALSE(ParseGuidValue("{6B29FC40-CA47-1067-B31D-00DD010662DA}", g));
    EXPECT_FALSE(ParseGuidValue("6B29FC40-CA47-1067-B31D00DD010662DA", g));

    const auto bytes = GuidToBytes(g);
    EXPECT_EQ(bytes[0], 0x40);  // Data1 little-endian
    EXPECT_EQ(bytes[3], 0x6B);
    EXPECT_EQ(bytes[4], 0x47);
    EXPECT_EQ(bytes[15], 0xDA);
    EXPECT_EQ(GuidFromBytes(bytes), g);
}

}  // namespace
