// The built-in artwork: the committed pictures are the generator's.
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "ui/Resources.h"

namespace {

TEST(Artwork, PicturesHaveTheSizesTheWindowsDrawWith)
{
    const std::pair<const char*, QSize> sizes[] = {
        {"background.png", {352, 160}}, {"digit.png", {256, 22}},     {"levelgauge.png", {60, 136}},
        {"autoplay.png", {40, 26}},     {"btn_record.png", {96, 20}}, {"btn_play.png", {104, 20}},
        {"btn_load.png", {136, 20}},    {"btn_playlist.png", {192, 20}}};
    for (auto [name, size] : sizes)
        EXPECT_EQ(QImage(ArtPath(name)).size(), size) << name;
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
