// kelvara-artgen RES_FOLDER [SKINS_FOLDER [MOCKUP_FOLDER]]: draws the
// player's built-in artwork as PNG files into RES_FOLDER, the example skins
// (Skin.ini and BMPs) into SKINS_FOLDER, and pictures of the whole window
// in each look into MOCKUP_FOLDER. The output is the same on every run.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <cstdio>
#include <fstream>

#include "Art.h"

namespace {

bool Save(const QImage& image, const std::string& folder, const char* name, const char* format)
{
    const std::string path = folder + "/" + name;
    if (!image.save(QString::fromStdString(path), format)) {
        std::fprintf(stderr, "kelvara-artgen: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

bool WriteBuiltin(const std::string& folder)
{
    using namespace art;
    struct Strip {
        const char* name;
        ButtonSymbol symbol;
        int width;
    };
    const Strip strips[] = {
        {"btn_record.png", ButtonSymbol::Record, 24}, {"btn_prev.png", ButtonSymbol::Prev, 26},
        {"btn_play.png", ButtonSymbol::Play, 26},     {"btn_pause.png", ButtonSymbol::Pause, 26},
        {"btn_stop.png", ButtonSymbol::Stop, 26},     {"btn_next.png", ButtonSymbol::Next, 26},
        {"btn_load.png", ButtonSymbol::Load, 34},     {"btn_playlist.png", ButtonSymbol::Playlist, 48},
    };
    bool ok = Save(DrawBackground(BuiltinPanel()), folder, "background.png", "PNG") &&
              Save(DrawDigitStrip(BuiltinDigits()), folder, "digit.png", "PNG") &&
              Save(DrawLevelGauge(BuiltinGauge()), folder, "levelgauge.png", "PNG") &&
              Save(DrawAutoplayPair(BuiltinAutoplay()), folder, "autoplay.png", "PNG") &&
              Save(DrawProgramIcon(), folder, "kelvara.png", "PNG") &&
              Save(DrawAboutPicture(), folder, "about.png", "PNG") &&
              Save(DrawListIcon(ListIcon::Present), folder, "rom_present.png", "PNG") &&
              Save(DrawListIcon(ListIcon::Absent), folder, "rom_absent.png", "PNG") &&
              Save(DrawListIcon(ListIcon::NoStub), folder, "rom_nostub.png", "PNG") &&
              Save(DrawListIcon(ListIcon::SortUp), folder, "sort_up.png", "PNG") &&
              Save(DrawListIcon(ListIcon::SortDown), folder, "sort_down.png", "PNG");
    for (const Strip& s : strips)
        ok = ok && Save(DrawButtonStrip(s.symbol, s.width), folder, s.name, "PNG");
    return ok;
}

bool WriteSkins(const std::string& folder)
{
    for (const art::ExampleSkin& skin : art::ExampleSkins()) {
        const std::string dir = folder + "/" + skin.folder;
        if (!QDir().mkpath(QString::fromStdString(dir))) {
            std::fprintf(stderr, "kelvara-artgen: cannot create %s\n", dir.c_str());
            return false;
        }
        std::ofstream ini(dir + "/Skin.ini", std::ios::binary | std::ios::trunc);
        ini << skin.ini;
        if (!ini) {
            std::fprintf(stderr, "kelvara-artgen: cannot write %s/Skin.ini\n", dir.c_str());
            return false;
        }
        const art::SkinSet& s = skin.images;
        if (!Save(s.background, dir, "background.bmp", "BMP") || !Save(s.digits, dir, "digit.bmp", "BMP") ||
            !Save(s.gauge, dir, "levelgauge.bmp", "BMP") || !Save(s.autoplay, dir, "icon.bmp", "BMP"))
            return false;
    }
    return true;
}

bool WriteMockups(const std::string& resFolder, const std::string& folder)
{
    using namespace art;
    QDir().mkpath(QString::fromStdString(folder));
    SkinSet builtin{DrawBackground(BuiltinPanel()), DrawDigitStrip(BuiltinDigits()), DrawLevelGauge(BuiltinGauge()),
                    DrawAutoplayPair(BuiltinAutoplay())};
    bool ok = Save(DrawMockup(builtin, resFolder, QColor(239, 239, 239)), folder, "mockup_default.png", "PNG") &&
              Save(DrawMockup(builtin, resFolder, QColor(49, 54, 59)), folder, "mockup_default_dark.png", "PNG");
    for (const ExampleSkin& skin : ExampleSkins())
        ok = ok && Save(DrawMockup(skin.images, resFolder, QColor(239, 239, 239)), folder,
                        ("mockup_" + skin.folder + ".png").c_str(), "PNG");
    return ok;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 4) {
        std::fprintf(stderr, "usage: kelvara-artgen RES_FOLDER [SKINS_FOLDER [MOCKUP_FOLDER]]\n");
        return 2;
    }
    if (!WriteBuiltin(argv[1]))
        return 1;
    if (argc >= 3 && !WriteSkins(argv[2]))
        return 1;
    if (argc == 4) {
        // Text in the mock-ups needs a font database; nothing is shown on
        // screen. The application is made only now: with one alive, the
        // painter's output differs slightly, and the artwork must not
        // depend on whether mock-ups were asked for.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication app(argc, argv);
        if (!WriteMockups(argv[1], argv[3]))
            return 1;
    }
    return 0;
}
