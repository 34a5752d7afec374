// Render throughput of the PSG and SN76496 chips: output samples per second
// of PSG::Render and SN76496::Render (one call a sample) and of their
// RenderStereoBlock (one call between register writes) with every generator
// busy, at 44100 Hz. Prints the best of several runs.

#include "chips/Psg.h"
#include "chips/Sn76496.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace
{

constexpr int kRuns = 5;
constexpr long kSamplesPerRun = 20'000'000;

// Throughput is computed from the thread's CPU time, so that other work on
// the machine does not count against the chip; wall-clock figures are
// printed alongside.
double CpuNow()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

double WallNow()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

struct Rates {
    double cpu = 0;  // samples per CPU second, best run
    double wall = 0; // samples per wall second, best run
};

void Keep(Rates& r, double cpu0, double cpu1, double wall0, double wall1)
{
    r.cpu = std::max(r.cpu, kSamplesPerRun / (cpu1 - cpu0));
    r.wall = std::max(r.wall, kSamplesPerRun / (wall1 - wall0));
}

// A register is rewritten every kWriteInterval samples (60 Hz driver).
constexpr long kWriteInterval = 735;

// Three tones, noise on two channels, the envelope on one, as in a busy
// sound effect.
Rates BenchPsg(uint64_t& sink, bool blocks)
{
    PSG* psg = PSG::Create(3579545, 44100);
    if (!psg) {
        std::fprintf(stderr, "Allocate PSG failed.\n");
        std::exit(1);
    }
    PSG::Reset(psg);
    const uint8_t regs[14] = {0xFE, 0x00, 0x50, 0x01, 0x1C, 0x00, 0x07,
                              0x20, 0x0F, 0x10, 0x0C, 0x08, 0x00, 0x0E};
    for (uint8_t r = 0; r < 14; ++r)
        PSG::WriteReg(psg, r, regs[r]);

    static int32_t buffer[2 * kWriteInterval];
    Rates best;
    for (int run = 0; run < kRuns; ++run) {
        uint64_t acc = 0;
        const double wall0 = WallNow(), cpu0 = CpuNow();
        for (long i = 0; i < kSamplesPerRun; i += kWriteInterval) {
            PSG::WriteReg(psg, 0, static_cast<uint8_t>(0x80 + (i / kWriteInterval) % 64));
            const long n = std::min(kWriteInterval, kSamplesPerRun - i);
            if (blocks) {
                PSG::RenderStereoBlock(psg, buffer, static_cast<uint32_t>(n));
                for (long k = 0; k < n; ++k)
                    acc += static_cast<uint16_t>(buffer[2 * k]);
            } else {
                for (long k = 0; k < n; ++k)
                    acc += static_cast<uint16_t>(PSG::Render(psg));
            }
        }
        const double cpu1 = CpuNow(), wall1 = WallNow();
        sink += acc;
        Keep(best, cpu0, cpu1, wall0, wall1);
    }
    PSG::Destroy(psg);
    return best;
}

// Three audible tones (one high enough for several edges per sample) and
// white noise.
Rates BenchSn(uint64_t& sink, bool blocks)
{
    SN76496 sn;
    sn.SetClock(3579545, 44100);
    const uint8_t writes[] = {0x8E, 0x0F, 0x90, 0xA5, 0x06, 0xB2, 0xC7, 0x00, 0xD4, 0xE4, 0xF3};
    for (uint8_t w : writes)
        sn.Write(0, w);

    static int32_t buffer[2 * kWriteInterval];
    Rates best;
    for (int run = 0; run < kRuns; ++run) {
        uint64_t acc = 0;
        const double wall0 = WallNow(), cpu0 = CpuNow();
        for (long i = 0; i < kSamplesPerRun; i += kWriteInterval) {
            sn.Write(0, 0x8E);
            sn.Write(0, static_cast<uint8_t>(0x08 + (i / kWriteInterval) % 32));
            const long n = std::min(kWriteInterval, kSamplesPerRun - i);
            if (blocks) {
                sn.RenderStereoBlock(buffer, static_cast<uint32_t>(n));
                for (long k = 0; k < n; ++k)
                    acc += static_cast<uint32_t>(buffer[2 * k]);
            } else {
                for (long k = 0; k < n; ++k)
                    acc += static_cast<uint32_t>(sn.Render());
            }
        }
        const double cpu1 = CpuNow(), wall1 = WallNow();
        sink += acc;
        Keep(best, cpu0, cpu1, wall0, wall1);
    }
    return best;
}

} // namespace

int main()
{
    uint64_t sink[4] = {};
    const Rates psg = BenchPsg(sink[0], false);
    const Rates psgBlock = BenchPsg(sink[1], true);
    const Rates sn = BenchSn(sink[2], false);
    const Rates snBlock = BenchSn(sink[3], true);
    std::printf("Clock 3579545 Hz, output 44100 Hz, best of %d runs of %ld samples\n", kRuns, kSamplesPerRun);
    const struct {
        const char* name;
        const Rates& r;
    } lines[] = {{"PSG::Render", psg},
                 {"PSG::RenderStereoBlock", psgBlock},
                 {"SN76496::Render", sn},
                 {"SN76496::RenderStereoBlock", snBlock}};
    for (const auto& line : lines)
        std::printf("%-27s %8.1f million samples/s CPU time (%6.1f wall)\n", line.name, line.r.cpu / 1e6,
                    line.r.wall / 1e6);
    // Both ways of rendering must have produced the same samples.
    std::printf("(checksums %llu %llu, %llu %llu)\n", static_cast<unsigned long long>(sink[0]),
                static_cast<unsigned long long>(sink[1]), static_cast<unsigned long long>(sink[2]),
                static_cast<unsigned long long>(sink[3]));
    return 0;
}
