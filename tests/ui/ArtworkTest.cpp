// The built-in artwork as the player loads it: every image is compiled in,
// has the agreed size, and its parts play their roles (transparent key
// around the buttons, distinct glyphs, lit meter segments brighter than
// dark ones, an Autoplay image that lights up).
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <tuple>

#include "ui/Resources.h"

namespace {

QImage Art(const char* name) { return QImage(ArtPath(name)).convertToFormat(QImage::Format_RGB32); }

int Brightness(QRgb p) { return qRed(p) + qGreen(p) + qBlue(p); }

// Sum of brightness over a rectangle.
long Light(const QImage& image, const QRect& r)
{
    long sum = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            sum += Brightness(image.pixel(x, y));
    return sum;
}

TEST(Artwork, ImagesHaveTheSizesTheWindowsDrawWith)
{
    // Spot checks; the generator test pins every picture.
    const std::tuple<const char*, int, int> images[] = {{"background.png", 352, 160}, {"digit.png", 256, 22},
                                                        {"levelgauge.png", 60, 136},  {"autoplay.png", 40, 26},
                                                        {"btn_playlist.png", 192, 20}, {"sort_up.png", 16, 16}};
    for (const auto& [name, width, height] : images)
        EXPECT_EQ(QImage(ArtPath(name)).size(), QSize(width, height)) << name;
    EXPECT_EQ(QImage(ArtPath("about.png")).depth(), 1);  // two tones, coloured by the about box
}

TEST(Artwork, ButtonStatesAreKeyedWithMagentaAndDimOrLightUp)
{
    for (const char* name : {"btn_record.png", "btn_prev.png", "btn_play.png", "btn_pause.png", "btn_stop.png",
                             "btn_next.png", "btn_load.png", "btn_playlist.png"}) {
        const QImage image = Art(name);
        const int width = image.width() / 4;
        for (int state = 0; state < 4; ++state) {
            // Corners are see-through, the middle is not.
            const QRect cell(state * width, 0, width, 20);
            EXPECT_EQ(image.pixel(cell.topLeft()) & 0xFFFFFF, 0xFF00FFu) << name << " state " << state;
            EXPECT_EQ(image.pixel(cell.bottomRight()) & 0xFFFFFF, 0xFF00FFu) << name << " state " << state;
            EXPECT_NE(image.pixel(cell.center()) & 0xFFFFFF, 0xFF00FFu) << name << " state " << state;
        }
        // Pressed differs from normal; disabled is dimmer, hover brighter.
        EXPECT_NE(image.copy(0, 0, width, 20), image.copy(width, 0, width, 20)) << name;
        const long normal = Light(image, QRect(0, 2, width, 16));
        EXPECT_LT(Light(image, QRect(2 * width, 2, width, 16)), normal) << name;
        EXPECT_GT(Light(image, QRect(3 * width, 2, width, 16)), normal) << name;
    }
}

TEST(Artwork, DigitGlyphsAreDistinctLitAsTheirSegmentsAndSeamless)
{
    const QImage digits = Art("digit.png");
    auto cell = [&](int g) { return digits.copy(g * 16, 0, 16, 22); };
    for (int a = 0; a < 16; ++a)
        for (int b = a + 1; b < 16; ++b)
            EXPECT_NE(cell(a), cell(b)) << "glyphs " << a << " and " << b;
    // More lit segments give more light: 8 (seven) > 1 (two) > blank.
    EXPECT_GT(Light(cell(8), QRect(0, 0, 16, 22)), Light(cell(1), QRect(0, 0, 16, 22)));
    EXPECT_GT(Light(cell(1), QRect(0, 0, 16, 22)), Light(cell(10), QRect(0, 0, 16, 22)));
    // With the built-in opaque blend a blank cell must not show a seam: its
    // edge pixels equal the background where the cells sit (y 12..33).
    const QImage background = Art("background.png");
    for (int row : {0, 11, 21}) {
        EXPECT_EQ(digits.pixel(10 * 16, row), background.pixel(54, 12 + row)) << "row " << row;
        EXPECT_EQ(digits.pixel(10 * 16 + 15, row), background.pixel(190 + 15, 12 + row)) << "row " << row;
    }
}

TEST(Artwork, LoudGaugeSegmentsAreRedQuietOnesGreenAndAutoplayOnIsLit)
{
    // (Lit segments against dark ones are probed on the running player.)
    const QImage gauge = Art("levelgauge.png");
    EXPECT_GT(qRed(gauge.pixel(15, 0)), qGreen(gauge.pixel(15, 0)));
    EXPECT_GT(qGreen(gauge.pixel(15, 132)), qRed(gauge.pixel(15, 132)));
    const QImage autoplay = Art("autoplay.png");
    EXPECT_GT(Light(autoplay, QRect(20, 0, 20, 26)), Light(autoplay, QRect(0, 0, 20, 26)));
}

#ifdef KELVARA_ARTGEN
// The committed pictures are what the generator draws: a changed generator
// whose output was not committed (or a hand-edited picture) shows up here.
TEST(Artwork, GeneratorRedrawsTheCommittedPictures)
{
    QTemporaryDir out;
    ASSERT_TRUE(out.isValid());
    const QString res = out.filePath("res"), skins = out.filePath("skins");
    QDir().mkpath(res);
    QProcess artgen;
    artgen.start(QStringLiteral(KELVARA_ARTGEN), {res, skins});
    ASSERT_TRUE(artgen.waitForFinished(60000));
    ASSERT_EQ(artgen.exitCode(), 0) << artgen.readAllStandardError().toStdString();

    const QStringList drawn = QDir(res).entryList({"*.png"}, QDir::Files);
    EXPECT_EQ(drawn.size(), 19);
    for (const QString& name : drawn) {
        const QImage committed(":/art/" + name);
        EXPECT_EQ(QImage(res + "/" + name), committed) << name.toStdString();
    }
    const QString examples = QStringLiteral(KELVARA_SOURCE_DIR "/examples/skins");
    for (const QString& skin : QDir(skins).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        for (const QString& file : QDir(skins + "/" + skin).entryList(QDir::Files)) {
            const QString mine = skins + "/" + skin + "/" + file, shipped = examples + "/" + skin + "/" + file;
            if (file.endsWith(".bmp")) {
                EXPECT_EQ(QImage(mine), QImage(shipped)) << (skin + "/" + file).toStdString();
            } else {
                QFile a(mine), b(shipped);
                ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly)) << file.toStdString();
                EXPECT_EQ(a.readAll(), b.readAll()) << (skin + "/" + file).toStdString();
            }
        }
    }
}
#endif

}  // namespace
