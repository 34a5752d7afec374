// Plays an FM tone ROM through the render thread and the output device
// (SDL's dummy driver unless SDL_AUDIODRIVER says otherwise) for a while
// with other threads spinning, and counts the blocks the device reached
// before the render thread had refilled them.
//
//   bench_output_underrun [SECONDS=30] [BUSY_THREADS=1] [RATE=44100]

#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "audio/DirectSound.h"
#include "audio/EmuThread.h"
#include "audio/EmuThreadTestRom.h"

namespace {

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 30;
    const int busyThreads = argc > 2 ? std::atoi(argv[2]) : 1;
    const int rate = argc > 3 ? std::atoi(argv[3]) : 44100;
    setenv("SDL_AUDIODRIVER", "dummy", 0);

    const uint32_t type = emutest::PickPlainType(ChipYM2413);
    if (type == 0) {
        std::fprintf(stderr, "no FM machine type to build a ROM for\n");
        return 1;
    }
    const std::string rom =
        (std::filesystem::temp_directory_path() / "kelvara-bench-underrun.bin").string();
    if (!WriteImageFile(rom, emutest::BuildToneRom(*FindMachineDef(type)))) {
        std::fprintf(stderr, "cannot write %s\n", rom.c_str());
        return 1;
    }

    CDirectSound device;
    device.SetFormat(rate, 16);
    if (!device.Create(nullptr, nullptr) || !device.CreateBuffer())
        return 1;

    std::atomic<bool> spin{true};
    std::vector<std::thread> busy;
    for (int i = 0; i < busyThreads; ++i)
        busy.emplace_back([&] {
            volatile uint64_t x = 0;
            while (spin.load(std::memory_order_relaxed))
                x = x + 1;
        });

    int status = 0;
    {
        CEmuThread thread(device);
        if (!thread.Start(rom)) {
            status = 1;
        } else {
            thread.WaitCommand();
            thread.PostCommand(CEmuThread::CmdPlay, 0x30);
            thread.WaitCommand();
            const uint64_t playedBefore = device.GetPlayedBytes();
            const double cpuBefore = CpuSeconds();
            const auto start = std::chrono::steady_clock::now();
            std::this_thread::sleep_for(std::chrono::seconds(seconds));
            const double wall =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            const double cpu = CpuSeconds() - cpuBefore;
            const uint64_t blocksPlayed =
                (device.GetPlayedBytes() - playedBefore) / static_cast<uint64_t>(device.BlockBytes());
            thread.PostCommand(CEmuThread::CmdStop, 0);
            thread.WaitCommand();

            std::printf("machine: 2 cores; %d busy thread(s); FM board type %u at %d Hz\n",
                        busyThreads, type, rate);
            std::printf("played %.1f s: %llu blocks of %d ms\n", wall,
                        static_cast<unsigned long long>(blocksPlayed), device.BlockLengthMs());
            std::printf("under-runs: %llu\n",
                        static_cast<unsigned long long>(device.GetUnderrunCount()));
            std::printf("most blocks refilled in one pass: %d (ring holds %d)\n",
                        thread.GetMaxBlocksPerPass(), device.BlockCount());
            std::printf("process CPU (render + busy threads): %.1f s of %.1f s wall\n", cpu, wall);
            thread.Stop();
        }
    }
    spin.store(false);
    for (auto& t : busy)
        t.join();
    std::filesystem::remove(rom);
    return status;
}
