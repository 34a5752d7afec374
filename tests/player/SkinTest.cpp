// Finding skins below a program folder and reading Skin.ini.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "TempFolder.h"
#include "player/Skin.h"

namespace {

class SkinFolderTest : public ::testing::Test {
protected:
    // A complete Skin.ini with `name`, plus `extra` lines in [Main].
    static std::string Ini(const std::string& name, const std::string& extra = "")
    {
        return "[Info]\nName=" + name + "\n[Main]\nFontColor=0000FF\n" + extra +
               "[PlayList]\nFontColor=0x102030\nBackgroundColor=405060\nHighlightFontColor=708090\n"
               "HighlightColor=A0B0C0\n";
    }
    void AddSkin(const std::string& folder, const std::string& iniText)
    {
        WriteFile(m_root / "Skins" / folder / "Skin.ini", iniText);
    }
    std::vector<std::string> Names()
    {
        std::vector<std::string> names;
        for (const CSkin& skin : FindSkins(m_root.string()))
            names.push_back(skin.name);
        return names;
    }

    ScratchDir m_tmp;
    const fs::path m_root = m_tmp.dir;
};

TEST_F(SkinFolderTest, ReadsEveryValueAndDefaultsTheOptionalOnes)
{
    AddSkin("Wide", Ini("Wide Amber", "DigitWidth=20\nDigitStep=21\nDigitBlend=1\n"));
    AddSkin("Plain", Ini("Plain", "DigitStep=\n")); // an empty value counts as absent
    WriteFile(m_root / "Skins" / "Wide" / "BackGround.BMP", "x");
    const std::vector<CSkin> skins = FindSkins(m_root.string());
    ASSERT_EQ(skins.size(), 2u);
    const CSkin& s = skins[1];
    EXPECT_EQ(s.name, "Wide Amber");
    EXPECT_EQ(s.folder, (m_root / "Skins" / "Wide").string() + "/");
    EXPECT_EQ(s.fontColor, ColorRef(255, 0, 0)); // 0000FF is red
    EXPECT_EQ(std::make_tuple(s.digitWidth, s.digitStep, s.digitBlend), std::make_tuple(20, 21, 1));
    EXPECT_FALSE(s.listColors.systemDefaults);
    EXPECT_EQ(s.listColors.font, 0x102030u);
    EXPECT_EQ(s.listColors.background, 0x405060u);
    EXPECT_EQ(s.listColors.highlightFont, 0x708090u);
    EXPECT_EQ(s.listColors.highlight, 0xA0B0C0u);
    // Files are found without regard to case; an absent one keeps the name asked for.
    EXPECT_EQ(SkinFilePath(s, "background.bmp"), s.folder + "BackGround.BMP");
    EXPECT_EQ(SkinFilePath(s, "digit.bmp"), s.folder + "digit.bmp");

    const CSkin& plain = skins[0];
    EXPECT_EQ(std::make_tuple(plain.digitWidth, plain.digitStep, plain.digitBlend), std::make_tuple(16, 17, 0));
    const CSkin builtin = BuiltinSkin();
    EXPECT_EQ(builtin.name, "Default");
    EXPECT_EQ(builtin.fontColor, 0xFFFFFFu);
    EXPECT_TRUE(builtin.listColors.systemDefaults);
}

TEST_F(SkinFolderTest, AFolderMissingARequiredKeyIsNoSkin)
{
    const std::string full = Ini("x");
    const char* required[] = {"Name=", "FontColor=0000FF", "FontColor=0x102030", "BackgroundColor=",
                              "HighlightFontColor=", "HighlightColor="};
    int n = 0;
    for (const char* key : required) {
        std::string text = full;
        const std::size_t at = text.find(key);
        ASSERT_NE(at, std::string::npos) << key;
        text.erase(at, text.find('\n', at) - at + 1);
        AddSkin("missing" + std::to_string(n++), text);
    }
    AddSkin("emptyName", Ini(""));
    AddSkin("spacesName", Ini("   "));
    AddSkin("tooLong", Ini(std::string(260, 'n')));
    AddSkin("longest", Ini(std::string(259, 'k')));
    std::string wide;
    for (int i = 0; i < 259; ++i)
        wide += "字";  // 259 characters, 777 bytes: still fits
    AddSkin("wideLongest", Ini(wide));
    AddSkin("ok", Ini("ok"));
    const std::vector<std::string> names = Names();
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(names[0], std::string(259, 'k'));
    EXPECT_EQ(names[1], "ok");
    EXPECT_EQ(names[2], wide);
}

TEST_F(SkinFolderTest, BrokenFoldersAreSkippedWithoutHarm)
{
    AddSkin("good", Ini("good"));
    WriteFile(m_root / "Skins" / "loose.ini", Ini("not a folder"));
    fs::create_directories(m_root / "Skins" / "iniIsFolder" / "Skin.ini");
    fs::create_directories(m_root / "Skins" / "noIni");
    WriteFile(m_root / "Skins" / "garbage" / "Skin.ini", std::string("\x00\xff\xfe[\x81\x81=\n\n=\x00", 11));
    fs::create_symlink("loop", m_root / "Skins" / "loop");
    fs::create_directory_symlink(m_root / "Skins", m_root / "Skins" / "parent");  // cycle back to Skins
    WriteFile(m_root / "Skins" / "upper" / "SKIN.INI", Ini("upper case file name"));
    WriteFile(m_root / "Skins" / "huge" / "Skin.ini", Ini("huge") + std::string(2 << 20, ';'));
    EXPECT_EQ(Names(), (std::vector<std::string>{"good", "upper case file name"}));

    EXPECT_TRUE(FindSkins((m_root / "nowhere").string()).empty());
    fs::remove_all(m_root / "Skins");
    WriteFile(m_root / "Skins", "a file where the folder should be");
    EXPECT_TRUE(FindSkins(m_root.string()).empty());
}

TEST(SkinValues, ColoursReadTheLeadingHexDigits)
{
    const struct {
        const char* text;
        uint32_t value;
    } cases[] = {
        {"FFFFFF", 0xFFFFFF}, {"0000ff", 0x0000FF}, {"0x1a2B3c", 0x1A2B3C}, {"0X10", 0x10},
        {"12zz", 0x12},       {"", 0},              {"0x", 0},              {"zz", 0},
        {"-1", 0},            {"FFFFFFFFFF", 0xFFFFFF}, {"1000000FF", 0xFFFFFF},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseSkinColor(c.text), c.value) << '"' << c.text << '"';
}

TEST(SkinValues, NumbersReadTheLeadingDecimalDigits)
{
    const struct {
        const char* text;
        int32_t value;
    } cases[] = {
        {"20", 20}, {"20px", 20}, {"-5", -5}, {"+7", 7}, {"abc", 0}, {"", 0}, {"-", 0},
        {"99999999999", 2147483647}, {"-99999999999", -2147483647 - 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseSkinInt(c.text), c.value) << '"' << c.text << '"';
}

}  // namespace
