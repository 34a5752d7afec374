// kelvara: the player program. Start-up fixes the program folder (the
// executable's folder: ROMS/, LISTS/, Skins/, Kelvara.ini and Kelvara.csh
// live there), loads the settings, creates the long-lived objects and the
// main window and runs the event loop; shutdown stops the render thread
// first, lets every object store what it keeps, and saves the settings.
//
// `kelvara FILE [CODE]` loads a ROM image (and plays a code) at start-up;
// any other command line is ignored. SIGINT and SIGTERM close the main
// window as Exit does, so nothing is lost when a session ends.
#include <QApplication>
#include <QSocketNotifier>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <unistd.h>

#include "app/DebugLog.h"
#include "app/Settings.h"
#include "audio/DirectSound.h"
#include "audio/EmuThread.h"
#include "ui/MainWindow.h"
#include "ui/PlayerExtras.h"
#include "ui/Resources.h"
#include "ui/UserMessage.h"

namespace {

int g_signalPipe[2] = {-1, -1};

void OnTerminationSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] ssize_t n = write(g_signalPipe[1], &byte, 1);
}

// Signals become a readable pipe that the event loop watches.
bool InstallSignalPipe()
{
    if (pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    return true;
}

// The executable's folder with a trailing '/'.
std::string FindProgramFolder(const char* argv0)
{
    std::error_code error;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        exe = std::filesystem::absolute(argv0, error);
    std::string folder = exe.parent_path().string();
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

// Skinned windows cannot place themselves on a Wayland compositor: run on
// XWayland there unless the user chose a platform.
void PreferXWayland()
{
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && *platform)
        return;
    const char* session = std::getenv("XDG_SESSION_TYPE");
    const bool wayland = std::getenv("WAYLAND_DISPLAY") || (session && std::strcmp(session, "wayland") == 0);
    if (wayland && std::getenv("DISPLAY"))
        setenv("QT_QPA_PLATFORM", "xcb", 1);
}

}  // namespace

int main(int argc, char** argv)
{
    PreferXWayland();
    const std::string programFolder = FindProgramFolder(argv[0]);
    Log("Module Path:\"%s\"\n", programFolder.c_str());
    const std::string settingsPath = programFolder + "Kelvara.ini";
    g_Settings.Load(settingsPath);

    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);  // the main window's close ends the loop
    InitKelvaraResources();
    const QStringList args = app.arguments();

    int exitCode = 0;
    {
        CDirectSound device;
        device.SetMessageHandler(UserMessageHandler());
        CEmuThread thread(device);
        thread.SetMessageHandler(UserMessageHandler());
        thread.SetWaveFolder(g_Settings.WavePath, programFolder);
        auto window = std::make_unique<CMainWindow>(thread, device, programFolder);
        // The equalizer and options dialogs and the media controls; owned by
        // the window.
        auto* extras = new CPlayerExtras(*window, thread, device, programFolder);
        bool created = false;

        // A signal closes the main window as Exit does; before the window
        // exists (an error box of its creation is open) it closes that box,
        // so start-up ends as it would after the user's click.
        std::unique_ptr<QSocketNotifier> signalWatch;
        if (InstallSignalPipe()) {
            signalWatch = std::make_unique<QSocketNotifier>(g_signalPipe[0], QSocketNotifier::Read);
            QObject::connect(signalWatch.get(), &QSocketNotifier::activated, window.get(), [&] {
                char buffer[16];
                while (read(g_signalPipe[0], buffer, sizeof buffer) > 0) {
                }
                Log("Signal received: closing.\n");
                if (QWidget* modal = QApplication::activeModalWidget())
                    modal->close();
                if (created)
                    window->CloseWithoutAsking();
            });
        }

        const bool romGiven = args.size() >= 2;
        created = window->Create(!romGiven);
        if (created) {
            QObject::connect(window.get(), &CMainWindow::Closed, &app, &QApplication::quit);
            window->show();
            extras->StartMediaControls();
            if (romGiven) {
                const std::string rom = args[1].toStdString();
                bool codeOk = false;
                const int code = args.size() >= 3 ? args[2].toInt(&codeOk, 10) : 0;
                codeOk = codeOk && code >= 0 && code <= 255;
                CMainWindow* w = window.get();
                QMetaObject::invokeMethod(
                    w,
                    [w, rom, code, codeOk] {
                        if (w->LoadRomFile(rom) && codeOk)
                            QMetaObject::invokeMethod(w, [w, code] { w->PlayCodeAt(code); }, Qt::QueuedConnection);
                    },
                    Qt::QueuedConnection);
            }
            exitCode = app.exec();
        }
        // Shutdown: the render thread first, then the window with its parts.
        signalWatch.reset();
        thread.Stop();
        window.reset();
    }
    g_Settings.Save(settingsPath);
    return exitCode;
}
