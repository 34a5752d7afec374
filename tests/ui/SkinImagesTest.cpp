// Loading a skin's pictures (with the fall-back to the built-in ones on
// any broken file), drawing digit glyphs with each blend, and the text font.
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "player/Skin.h"
#include "player/TempFolder.h"
#include "ui/SkinImages.h"
#include "ui/UiFont.h"

namespace {

class SkinImagesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::copy(fs::path(KELVARA_SOURCE_DIR) / "examples/skins/AmberNight", m_tmp.dir, fs::copy_options::recursive);
    }
    CSkin Skin() const { return ReadSkin(m_tmp.dir.string()).value(); }
    std::string PathOf(const char* file) const { return m_tmp / file; }

    ScratchDir m_tmp;
};

TEST_F(SkinImagesTest, AnyBrokenPictureFallsBackToTheBuiltInSkin)
{
    SkinImages good;
    ASSERT_TRUE(LoadSkinImages(Skin(), good));  // the example skin as shipped
    EXPECT_EQ(good.digits.size(), QSize(16 * 20, 22));
    const SkinImages builtin = LoadBuiltinSkinImages();
    EXPECT_NE(good.background, builtin.background);
    ASSERT_TRUE(QImage(10, 10, QImage::Format_RGB32).save(QString::fromStdString(PathOf("tiny.bmp")), "BMP"));
    const std::string tinyBytes = ReadText(PathOf("tiny.bmp"));

    for (const char* file : {"background.bmp", "digit.bmp", "levelgauge.bmp", "icon.bmp"}) {
        const std::string good = ReadText(PathOf(file));
        const std::pair<const char*, std::string> breakages[] = {
            {"missing", ""},
            {"truncated", good.substr(0, good.size() / 2)},
            {"header only", good.substr(0, 54)},
            {"too small", tinyBytes},
        };
        for (const auto& [what, bytes] : breakages) {
            if (what == std::string("missing"))
                fs::remove(PathOf(file));
            else
                WriteFile(PathOf(file), bytes);
            SkinImages images;
            QString error;
            EXPECT_FALSE(LoadSkinImages(Skin(), images, &error)) << file << ": " << what;
            EXPECT_TRUE(error.contains(QLatin1String(file))) << error.toStdString();
            EXPECT_EQ(images.background, builtin.background) << file << ": " << what;
            EXPECT_EQ(images.digits, builtin.digits) << file << ": " << what;
            EXPECT_EQ(images.autoplay, builtin.autoplay) << file << ": " << what;
            WriteFile(PathOf(file), good);
        }
    }
}

TEST_F(SkinImagesTest, DigitWidthMustFitTheStripAndTheWindow)
{
    for (int32_t width : {0, -3, 21, 353, 2147483647}) {
        CSkin skin = Skin();  // digit.bmp holds 16 cells of 20
        skin.digitWidth = width;
        SkinImages images;
        EXPECT_FALSE(LoadSkinImages(skin, images)) << width;
        EXPECT_EQ(images.digits.width(), 256) << width;
    }
    CSkin narrower = Skin();
    narrower.digitWidth = 19;  // a wider strip than needed is fine
    SkinImages images;
    EXPECT_TRUE(LoadSkinImages(narrower, images));
}

// A window-sized background of one colour and a strip of sixteen 4-pixel
// glyphs, black except glyph 2.
SkinImages TestImages(uint32_t background, uint32_t glyph2)
{
    SkinImages images;
    images.background = QImage(352, 160, QImage::Format_RGB32);
    images.background.fill(background);
    images.digits = QImage(16 * 4, 22, QImage::Format_RGB32);
    images.digits.fill(0xFF000000);
    for (int y = 0; y < 22; ++y)
        for (int x = 8; x < 12; ++x)
            images.digits.setPixel(x, y, glyph2);
    return images;
}

TEST(SkinDigit, BlendsTheGlyphCellOverTheBackgroundOnly)
{
    // Add, and an unknown mode, which draws the glyph as it is.
    const SkinImages images = TestImages(0xFF102030, 0xFFF01009);
    for (auto [blend, expected] : {std::pair{1, 0xFFFF3039u}, {7, 0xFFF01009u}}) {
        QImage window(352, 192, QImage::Format_RGB32);
        window.fill(0xFF777777);
        DrawSkinDigit(window, images, 4, blend, 2, 54);
        EXPECT_EQ(window.pixel(54, 12), expected) << "blend " << blend;
        EXPECT_EQ(window.pixel(57, 33), expected) << "blend " << blend;
        // Nothing outside the 4 x 22 cell at (54,12).
        for (QPoint outside : {QPoint(53, 12), QPoint(58, 12), QPoint(54, 11), QPoint(54, 34)})
            EXPECT_EQ(window.pixel(outside), 0xFF777777u) << "blend " << blend;
    }
}

TEST(SkinDigit, CellsReachingPastAnEdgeAreCut)
{
    const SkinImages images = TestImages(0xFF000000, 0xFFFFFFFF);
    QImage window(352, 192, QImage::Format_RGB32);
    window.fill(0xFF777777);
    DrawSkinDigit(window, images, 4, 0, 2, 350);  // two of four columns fit
    EXPECT_EQ(window.pixel(351, 20), 0xFFFFFFFFu);
    DrawSkinDigit(window, images, 4, 0, 2, -2);
    EXPECT_EQ(window.pixel(0, 20), 0xFFFFFFFFu);
    EXPECT_EQ(window.pixel(2, 20), 0xFF777777u);
    // Bad glyph numbers and absurd widths draw nothing.
    const QImage before = window;
    const int32_t big = INT32_MAX, small = INT32_MIN;
    for (auto [width, blend, glyph, x] : {std::array{4, 0, -1, 100}, {4, 0, 16, 100}, {0, 0, 1, 100},
                                          {big, 1, 3, 100}, {4, 0, 2, big}, {4, 0, 2, small}, {big, 0, 0, small}})
        DrawSkinDigit(window, images, width, blend, glyph, x);
    EXPECT_EQ(window, before);
    // A strip three and a half glyphs wide: glyph 3 keeps its first two columns.
    SkinImages shortStrip = images;
    shortStrip.digits = images.digits.copy(0, 0, 14, 22);
    shortStrip.digits.fill(0xFFFFFFFF);
    DrawSkinDigit(window, shortStrip, 4, 0, 3, 200);
    EXPECT_EQ(window.pixel(201, 12), 0xFFFFFFFFu);
    EXPECT_EQ(window.pixel(202, 12), 0xFF777777u);
}

TEST(UiFont, WritesJapaneseAtNinePoints)
{
    const QFont font = KelvaraUiFont();
    EXPECT_EQ(font.pointSize(), 9);
    const QString family = QFontInfo(font).family();
    EXPECT_TRUE(QFontDatabase::writingSystems(family).contains(QFontDatabase::Japanese)) << family.toStdString();
    const QFontMetrics metrics(font);
    for (char32_t c : {U'ア', U'ゲ', U'機', U'♪'})
        EXPECT_TRUE(metrics.inFontUcs4(c)) << family.toStdString() << " lacks U+" << std::hex << uint32_t(c);
}

}  // namespace
