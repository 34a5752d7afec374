// kelvara-render --play [--rate HZ] [--seconds S] [--volume 0..30] ROM CODE...
//
// Plays sound codes live through the output device and the render thread,
// one after another: each until the sound has been silent for more than
// 300 blocks (1.5 s), or for S seconds when --seconds is given. One status
// line shows the code, the play time and the two output levels. Ctrl+C
// stops playback cleanly (exit status 130).

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "CodeArgs.h"
#include "Verb.h"
#include "audio/DirectSound.h"
#include "audio/EmuThread.h"

namespace {

// The main window's end-of-sound rule: more than 300 silent 5 ms blocks.
constexpr int32_t kSilentBlocksAtEnd = 300;

std::atomic<bool> g_interrupted{false};

void OnInterrupt(int) { g_interrupted.store(true); }

int Usage()
{
    std::fprintf(stderr,
                 "usage: kelvara-render --play [--rate HZ] [--seconds S] [--volume 0..30] ROM "
                 "CODE...\n");
    return 2;
}

bool ParseLong(const char* text, long low, long high, long& value)
{
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v < low || v > high)
        return false;
    value = v;
    return true;
}

struct PlayOptions {
    long rate = 44100;
    double seconds = 0.0;  // 0 = until silence
    long volume = 30;
    std::string rom;
    std::vector<int> codes;
};

bool ParseOptions(int argc, char** argv, PlayOptions& o)
{
    int i = 0;
    for (; i < argc && argv[i][0] == '-' && argv[i][1] == '-'; ++i) {
        std::string flag = argv[i];
        if (i + 1 >= argc) {
            std::fprintf(stderr, "kelvara-render: %s needs a value\n", flag.c_str());
            return false;
        }
        const char* value = argv[++i];
        if (flag == "--rate") {
            if (!ParseLong(value, 8000, 384000, o.rate)) {
                std::fprintf(stderr, "kelvara-render: bad rate '%s'\n", value);
                return false;
            }
        } else if (flag == "--seconds") {
            char* end = nullptr;
            o.seconds = std::strtod(value, &end);
            if (end == value || *end != '\0' || !(o.seconds > 0.0) || o.seconds > 86400.0) {
                std::fprintf(stderr, "kelvara-render: bad seconds '%s'\n", value);
                return false;
            }
        } else if (flag == "--volume") {
            if (!ParseLong(value, 0, 30, o.volume)) {
                std::fprintf(stderr, "kelvara-render: bad volume '%s' (0..30)\n", value);
                return false;
            }
        } else {
            std::fprintf(stderr, "kelvara-render: unknown option '%s'\n", flag.c_str());
            return false;
        }
    }
    if (argc - i < 2)
        return false;
    o.rom = argv[i++];
    for (; i < argc; ++i) {
        if (!ParseCodeRange(argv[i], o.codes)) {
            std::fprintf(stderr, "kelvara-render: bad code '%s' (0..255: 31, 0x1F, $1F or a range like 1-20)\n", argv[i]);
            return false;
        }
    }
    return true;
}

void ShowStatus(int code, uint32_t ms, int32_t left, int32_t right)
{
    std::fprintf(stdout, "\r%03d  %02u:%02u.%01u  L %5d  R %5d ", code, ms / 60000, ms / 1000 % 60,
                 ms / 100 % 10, left, right);
    std::fflush(stdout);
}

// Plays one code to its end; false when interrupted.
bool PlayOne(CEmuThread& thread, int code, double seconds)
{
    thread.PostCommand(CEmuThread::CmdPlay, code);
    thread.WaitCommand();
    const uint32_t limitMs = seconds > 0.0 ? static_cast<uint32_t>(seconds * 1000.0) : 0;
    for (;;) {
        int32_t left = 0;
        int32_t right = 0;
        thread.GetLevels(left, right);
        uint32_t ms = thread.GetPlayTime();
        ShowStatus(code, ms, left, right);
        if (g_interrupted.load())
            return false;
        if (limitMs != 0 ? ms >= limitMs : thread.GetSilentBlocks() > kSilentBlocksAtEnd)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::fputc('\n', stdout);
    return true;
}

int RunPlay(int argc, char** argv)
{
    PlayOptions options;
    if (!ParseOptions(argc, argv, options))
        return Usage();

    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    bool failed = false;
    auto report = [&](void*, const std::string&, const std::string& text) {
        std::string line = text;
        while (!line.empty() && line.back() == '\n')
            line.pop_back();
        std::fprintf(stderr, "kelvara-render: %s\n", line.c_str());
        failed = true;
    };

    CDirectSound device;
    device.SetMessageHandler(report);
    device.SetFormat(static_cast<int>(options.rate), 16);
    if (!device.Create(nullptr, nullptr) || !device.CreateBuffer())
        return 1;

    int status = 0;
    {
        CEmuThread thread(device);
        thread.SetMessageHandler(report);
        thread.SetMasterVolume(static_cast<int32_t>(options.volume));
        if (!thread.Start(options.rom))
            return 1;
        thread.WaitCommand();
        for (int code : options.codes) {
            if (!PlayOne(thread, code, options.seconds)) {
                std::fputc('\n', stdout);
                status = 130;
                break;
            }
        }
        thread.PostCommand(CEmuThread::CmdStop, 0);
        thread.WaitCommand();
        thread.Stop();
    }
    device.Release();
    return failed && status == 0 ? 1 : status;
}

const RenderVerbRegistration kPlay{{"--play", "--play [--rate HZ] [--seconds S] ROM CODE...",
                                    "play codes live on the sound device", &RunPlay}};

}  // namespace
