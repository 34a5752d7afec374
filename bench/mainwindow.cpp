// The main window's cost on the user-interface thread while a ROM plays:
// one 16 ms tick (meter, digits, repaint of what changed) timed over many
// ticks, and the share of one core the UI thread uses with the window idle
// and the timer running (the render thread's work is left out).
//
//   bench_mainwindow [SECONDS=10] [TICKS=2000]
// Runs on the platform Qt picks (QT_QPA_PLATFORM; offscreen when unset);
// under xvfb-run with QT_QPA_PLATFORM=xcb it includes the X round trips.
#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>
#include <sys/resource.h>
#include <vector>

#include "app/Settings.h"
#include "audio/EmuThread.h"
#include "ui/MainWindow.h"
#include "ui/Resources.h"

namespace {

double ThreadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

double ProcessCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void RunEventLoop(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

}  // namespace

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
    const int ticks = argc > 2 ? std::atoi(argv[2]) : 2000;
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    InitKelvaraResources();
    g_Settings.AutoPlay = 0;

    CDirectSound device;
    CEmuThread thread(device);
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("kelvara-bench-mainwindow-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    auto window = std::make_unique<CMainWindow>(thread, device, folder.string() + "/");
    if (!window->Create(false))
        return 1;
    window->show();
    if (!window->LoadRomFile(std::string(KELVARA_SOURCE_DIR) + "/examples/roms/demo-opll-type40.bin"))
        return 1;
    window->PlayCodeAt(1);
    RunEventLoop(1500);

    // One tick plus the paint it causes, timed one by one.
    std::vector<double> us;
    us.reserve(size_t(ticks));
    for (int i = 0; i < ticks; ++i) {
        const auto start = std::chrono::steady_clock::now();
        window->Tick();
        window->repaint();  // paints the regions the tick invalidated, now
        us.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
        if (i % 50 == 0)
            QCoreApplication::processEvents();
    }
    std::sort(us.begin(), us.end());
    double sum = 0;
    for (double v : us)
        sum += v;
    std::printf("platform %s, %d ticks (tick + repaint): mean %.1f us, median %.1f us, p99 %.1f us, max %.1f us "
                "(target <= 1000 us)\n",
                qPrintable(QGuiApplication::platformName()), ticks, sum / ticks, us[us.size() / 2],
                us[us.size() * 99 / 100], us.back());

    // The window left alone for a while with the ROM playing.
    const double ui0 = ThreadCpuSeconds();
    const double all0 = ProcessCpuSeconds();
    RunEventLoop(seconds * 1000);
    const double ui = ThreadCpuSeconds() - ui0;
    const double all = ProcessCpuSeconds() - all0;
    std::printf("idle window, ROM playing, %d s: UI thread %.2f %% of one core; whole process %.2f %% "
                "(target UI <= 3 %%)\n",
                seconds, 100.0 * ui / seconds, 100.0 * all / seconds);
    thread.Stop();
    window.reset();
    std::filesystem::remove_all(folder);
    return 0;
}
