// The built-in artwork as the player loads it.
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "ui/Resources.h"

namespace {

QImage Art(const char* name) { return QImage(ArtPath(name)).convertToFormat(QImage::Format_RGB32); }

TEST(Artwork, ButtonStatesAreKeyedWithMagentaAndDiffer)
{
    for (const char* name : {"btn_record.png", "btn_prev.png", "btn_play.png", "btn_pause.png", "btn_stop.png",
                             "btn_next.png", "btn_load.png", "btn_playlist.png"}) {
        const QImage image = Art(name);
        const int width = image.width() / 4;
        for (int state = 0; state < 4; ++state) {
            // Corners are see-through, the middle is not.
            const QRect cell(state * width, 0, width, 20);
            for (QPoint p : {cell.topLeft(), cell.bottomRight(), cell.center()})
                EXPECT_EQ((image.pixel(p) & 0xFFFFFF) == 0xFF00FF, p != cell.center()) << name << " state " << state;
        }
        for (int state = 1; state < 4; ++state)
            EXPECT_NE(image.copy(0, 0, width, 20), image.copy(state * width, 0, width, 20)) << name << " state " << state;
    }
}

TEST(Artwork, DigitGlyphsAreDistinctAndBlankOnesSeamless)
{
    const QImage digits = Art("digit.png");
    auto cell = [&](int g) { return digits.copy(g * 16, 0, 16, 22); };
    for (int a = 0; a < 16; ++a)
        for (int b = a + 1; b < 16; ++b)
            EXPECT_NE(cell(a), cell(b)) << "glyphs " << a << " and " << b;
    // A blank cell's edges equal the background where cells sit (y 12..33): no seam.
    const QImage background = Art("background.png");
    for (int row : {0, 11, 21}) {
        EXPECT_EQ(digits.pixel(10 * 16, row), background.pixel(54, 12 + row)) << "row " << row;
        EXPECT_EQ(digits.pixel(10 * 16 + 15, row), background.pixel(190 + 15, 12 + row)) << "row " << row;
    }
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
