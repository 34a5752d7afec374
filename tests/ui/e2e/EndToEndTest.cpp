// The real player under xvfb-run: `kelvara ROM 1`, pixel probes of the
// screen against the built-in artwork, then SIGTERM must end it with exit
// code 0 and its settings saved. The last screenshot stays in the build folder.
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QThread>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/SettingsValues.h"
#include "ui/Resources.h"

namespace {

namespace fs = std::filesystem;

constexpr int kLeft = 100, kTop = 80;  // where the saved WindowPos puts the window

class PlayerEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitKelvaraResources();
        m_folder = fs::temp_directory_path() / ("kelvara-e2e-" + std::to_string(QCoreApplication::applicationPid()));
        fs::remove_all(m_folder);
        fs::create_directories(m_folder / "ROMS");
        fs::copy_file(KELVARA_PLAYER_PATH, m_folder / "kelvara");
        fs::copy_file(fs::path(KELVARA_SOURCE_DIR) / "examples/roms/demo-opll-type40.bin",
                      m_folder / "ROMS/demo-opll-type40.bin");
        fs::copy(fs::path(KELVARA_SOURCE_DIR) / "examples/lists", m_folder / "LISTS");
        // The playlist window (shown for a ROM with a list) goes beside the main window.
        std::ofstream(m_folder / "Kelvara.ini")
            << "[General]\nAutoPlay=0\nWindowPos=" << FormatRectValue({kLeft, kTop, kLeft + 352, kTop + 192})
            << "\nPlaylistPos=" << FormatRectValue({kLeft + 360, kTop, kLeft + 360 + 352, kTop + 300}) << "\n";
        m_digits = QImage(ArtPath("digit.png")).convertToFormat(QImage::Format_RGB32);
        m_background = QImage(ArtPath("background.png")).convertToFormat(QImage::Format_RGB32);
        m_gauge = QImage(ArtPath("levelgauge.png")).convertToFormat(QImage::Format_RGB32);
    }
    void TearDown() override { fs::remove_all(m_folder); }

    void Start(const QStringList& args, const char* audioDriver, bool readLog = false)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert("SDL_AUDIODRIVER", audioDriver);
        env.insert("ASAN_OPTIONS", "detect_leaks=0:abort_on_error=1");  // X and font libraries keep caches
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(readLog ? QProcess::SeparateChannels : QProcess::ForwardedErrorChannel);
        m_process.start(QString::fromStdString((m_folder / "kelvara").string()), args);
        ASSERT_TRUE(m_process.waitForStarted(5000));
    }
    // Sends SIGTERM; the program must end by itself with exit code 0.
    void Terminate()
    {
        m_process.terminate();
        ASSERT_TRUE(m_process.waitForFinished(20000));
        EXPECT_EQ(m_process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(m_process.exitCode(), 0);
    }
    QImage GrabWindow() const
    {
        return QGuiApplication::primaryScreen()->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32).copy(
            kLeft, kTop, 352, 192);
    }
    QImage Glyph(int g) const { return m_digits.copy(16 * g, 0, 16, 22); }
    // The glyph 0..15 shown at x, or -1.
    int GlyphAt(const QImage& window, int x) const
    {
        for (int g = 0; g < 16; ++g)
            if (window.copy(x, 12, 16, 22) == Glyph(g))
                return g;
        return -1;
    }
    std::string Settings() const
    {
        std::ifstream in(m_folder / "Kelvara.ini");
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    fs::path m_folder;
    QProcess m_process;
    QImage m_digits, m_background, m_gauge;
};

TEST_F(PlayerEndToEnd, PlaysCodeOneShowsItAndSavesSettingsOnSigterm)
{
    Start({QString::fromStdString((m_folder / "ROMS/demo-opll-type40.bin").string()), "1"}, "dummy");
    // Wait (up to 30 s on a busy machine) until the code plays for a second.
    const auto seconds = [&](const QImage& w) {
        const int d[4] = {GlyphAt(w, 122), GlyphAt(w, 139), GlyphAt(w, 173), GlyphAt(w, 190)};
        for (int v : d)
            if (v < 0 || v > 9)
                return -1;
        return (d[0] * 10 + d[1]) * 60 + d[2] * 10 + d[3];
    };
    QImage first;
    for (int i = 0; i < 150; ++i) {
        QThread::msleep(200);
        first = GrabWindow();
        if (GlyphAt(first, 105) == 13 && seconds(first) >= 1)
            break;
    }
    QThread::msleep(1500);
    const QImage window = GrabWindow();
    window.save(KELVARA_E2E_SHOT);

    // Code 001, playing (x 54, 71, 88 and the state cell at 105).
    EXPECT_EQ(GlyphAt(window, 54), 0);
    EXPECT_EQ(GlyphAt(window, 71), 0);
    EXPECT_EQ(GlyphAt(window, 88), 1);
    EXPECT_EQ(GlyphAt(window, 105), 13);
    // A running time m m : s s that moved between the two pictures.
    EXPECT_EQ(GlyphAt(window, 156), 12);
    EXPECT_GE(seconds(first), 1);
    EXPECT_GT(seconds(window), seconds(first));
    // The meter moved: some lit segment over the dark column, in either picture.
    EXPECT_TRUE(window.copy(12, 12, 10, 136) != m_gauge.copy(0, 0, 10, 136) ||
                first.copy(12, 12, 10, 136) != m_gauge.copy(0, 0, 10, 136));
    // The title (the playlist row of code 1) and the name line are drawn.
    EXPECT_NE(window.copy(55, 53, 281, 15), m_background.copy(55, 53, 281, 15));
    EXPECT_NE(window.copy(135, 92, 201, 15), m_background.copy(135, 92, 201, 15));
    QGuiApplication::primaryScreen()->grabWindow(0).save(KELVARA_E2E_SCREEN);

    Terminate();
    const std::string settings = Settings();
    EXPECT_NE(settings.find("[Equalizer16]"), std::string::npos);  // written at exit
    EXPECT_NE(settings.find("WindowPos=" + FormatRectValue({kLeft, kTop, kLeft + 352, kTop + 192})),
              std::string::npos);
    EXPECT_TRUE(fs::exists(m_folder / "Kelvara.csh"));
}

TEST_F(PlayerEndToEnd, WithoutAnOutputDeviceItEndsWithCodeZeroAndSavesSettings)
{
    Start({}, "no-such-driver", true);
    // Once the device has said why, its "ERROR" box is up; a signal closes it.
    QByteArray log;
    for (int i = 0; i < 300 && !log.contains("DirectSoundCreate failed."); ++i) {
        m_process.waitForReadyRead(100);
        log += m_process.readAllStandardError();
    }
    ASSERT_TRUE(log.contains("DirectSoundCreate failed.")) << log.constData();
    QThread::msleep(300);
    Terminate();
    EXPECT_NE(Settings().find("[Equalizer16]"), std::string::npos);
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
