// Sound board speed: the boot run of a type-70 board (the longest boot,
// 35 795 450 counted cycles) and rendering real-time factors for busy
// OPLL, PSG and SN76496 boards running synthetic sound programs.
#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "machine/SoundBoard.h"
#include "support/RomForge.h"
#include "kelvara-asm/Z80Asm.h"

namespace {

using R8 = Z80Asm::R8;
using R16 = Z80Asm::R16;
using Cc = Z80Asm::Cc;

class NoFixups : public IFixupTable {
public:
    const ResetFixup* Find(uint32_t, uint32_t) const override { return nullptr; }
};

// The machine is shared: time this thread's CPU use, not the wall clock,
// so other processes' load does not count against the board.
double CpuNow()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

double WallNow()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

// The board's run paths: the step-by-step reference, the batched run one
// RenderSample a frame, and the batched run in blocks of 220 frames (5 ms,
// what the player renders at a time) through RenderSamples.
struct Timing {
    double cpu, wall;
};

enum class Path { Stepping, PerFrame, Blocks };

const char* PathName(Path path)
{
    switch (path) {
    case Path::Stepping: return "stepping";
    case Path::PerFrame: return "batched, per frame";
    default: return "batched, 220-frame blocks";
    }
}

std::string WriteRom(const std::vector<uint8_t>& code, uint32_t type)
{
    std::vector<uint8_t> image = MakeForgedRom(FirstRomCrcForType(type), code, 8192, 0xFF, 0x1FFC);
    std::string path = (std::filesystem::temp_directory_path() /
                        ("kelvara-bench-" + std::to_string(getpid()) + "-" + std::to_string(type) + ".bin"))
                           .string();
    WriteImageFile(path, image);
    return path;
}

// A boot that keeps the CPU busy the way sound programs do: clear a RAM
// block, then poll a RAM flag in a loop.
std::vector<uint8_t> BootLoopProgram()
{
    Z80Asm a(0);
    a.di();
    a.ld_sp_nn(0xA000);
    a.label("again");
    a.ld_hl_nn(0x8000);
    a.ld(R16::BC, 0x0800);
    a.label("clear");
    a.ld(R8::HLi, uint8_t{0});
    a.inc(R16::HL);
    a.dec(R16::BC);
    a.ld(R8::A, R8::B);
    a.or_(R8::C);
    a.jr(Cc::NZ, "clear");
    a.ld(R8::B, uint8_t{0});
    a.label("poll");
    a.ld_a_mem(0x8100);
    a.or_(R8::A);
    a.jr(Cc::NZ, "again");
    a.djnz("poll");
    a.jr("again");
    return a.bytes();
}

// A busy chip program: set up the chip, then forever rewrite its pitch
// registers with a short delay between writes. `write` emits "chip
// register B = C" (changing only A). Boards whose timer tick jumps into a
// RAM driver (tickEntry != 0) get one there that goes straight back into
// the loop, so the program keeps the CPU busy instead of running off into
// empty RAM and unmapped memory after the first tick.
template <typename WriteReg>
std::vector<uint8_t> BusyChipProgram(uint16_t stackTop, const std::vector<std::pair<uint8_t, uint8_t>>& setup,
                                     uint8_t firstPitchReg, uint8_t pitchRegs, WriteReg write,
                                     uint16_t tickEntry = 0)
{
    Z80Asm a(0);
    a.di();
    a.ld_sp_nn(stackTop);
    a.jp("start");
    a.label("loop");
    a.ld(R8::B, firstPitchReg);
    a.ld(R8::D, pitchRegs);
    a.label("next");
    a.ld(R8::C, R8::E);
    a.call("wreg");
    a.inc(R8::B);
    a.ld(R8::H, uint8_t{20});
    a.label("delay");
    a.dec(R8::H);
    a.jr(Cc::NZ, "delay");
    a.dec(R8::D);
    a.jr(Cc::NZ, "next");
    a.inc(R8::E);
    a.jr("loop");
    a.label("wreg");
    write(a);
    a.ret();
    a.label("start");
    if (tickEntry != 0) {
        // LD SP,stackTop; JP loop
        const uint16_t loop = a.address("loop");
        const uint8_t driver[] = {0x31, static_cast<uint8_t>(stackTop), static_cast<uint8_t>(stackTop >> 8),
                                  0xC3, static_cast<uint8_t>(loop), static_cast<uint8_t>(loop >> 8)};
        for (uint16_t i = 0; i < sizeof driver; ++i) {
            a.ld_a_n(driver[i]);
            a.ld_mem_a(static_cast<uint16_t>(tickEntry + i));
        }
    }
    for (auto [reg, value] : setup) {
        a.ld(R8::B, reg);
        a.ld(R8::C, value);
        a.call("wreg");
    }
    a.ld(R8::E, uint8_t{0});
    a.jp("loop");
    return a.bytes();
}

// Renders `seconds` of sound with each run path, kRuns times from a fresh
// reset, and prints the best and the median real-time factor by thread CPU
// time, and the best by wall time. BENCH_PATH=blocks (or stepping,
// per-frame) runs one path only, for profiling.
void PrintRealTime(CSoundBoard& board, double seconds, const char* what, const char* target)
{
    constexpr int kBlock = 220;
    constexpr int kRuns = 5;
    const char* only = std::getenv("BENCH_PATH");
    for (Path path : {Path::Stepping, Path::PerFrame, Path::Blocks}) {
        static const char* const kKeys[] = {"stepping", "per-frame", "blocks"};
        if (only && std::string(only) != kKeys[static_cast<int>(path)]) continue;
        board.SetBatchedCpu(path != Path::Stepping);
        const int count = static_cast<int>(seconds * 44100) / kBlock * kBlock;
        int32_t block[2 * kBlock];
        std::vector<double> cpuFactors;
        double bestWall = 0;
        int64_t sum = 0;
        for (int run = 0; run < kRuns; ++run) {
            board.Reset();
            const double cpu = CpuNow(), wall = WallNow();
            if (path == Path::Blocks) {
                for (int i = 0; i < count; i += kBlock) {
                    board.RenderSamples(block, kBlock);
                    for (int f = 0; f < kBlock; ++f) sum += block[2 * f];
                }
            } else {
                for (int i = 0; i < count; ++i) {
                    board.RenderSample(block[0], block[1]);
                    sum += block[0];
                }
            }
            const Timing t{CpuNow() - cpu, WallNow() - wall};
            cpuFactors.push_back(seconds / t.cpu);
            bestWall = std::max(bestWall, seconds / t.wall);
        }
        std::sort(cpuFactors.begin(), cpuFactors.end());
        if (sum == 0) std::printf("  (warning: the board rendered silence)\n");
        std::printf("%s [%s]: %.0fx real time (CPU time, best of %d; median %.0fx), %.0fx (wall)%s\n", what,
                    PathName(path), cpuFactors.back(), kRuns, cpuFactors[kRuns / 2], bestWall,
                    path == Path::Blocks ? target : "");
    }
}

} // namespace

int main(int argc, char** argv)
{
    // Optional arguments pick sections: reset, opll, opll-irq, psg, sn.
    auto Wanted = [&](const char* name) {
        if (argc < 2) return true;
        for (int i = 1; i < argc; ++i)
            if (std::string(argv[i]) == name) return true;
        return false;
    };
    NoFixups fixups;
    std::printf("Sound board benchmark (Release build expected; results depend on the machine)\n");

    if (Wanted("reset")) {
        std::string path = WriteRom(BootLoopProgram(), 70);
        CSoundBoard board(path.c_str(), fixups);
        for (bool batched : {false, true}) {
            board.SetBatchedCpu(batched);
            Timing best{1e9, 1e9};
            for (int i = 0; i < 5; ++i) {
                const double cpu = CpuNow(), wall = WallNow();
                board.Reset();
                best.cpu = std::min(best.cpu, CpuNow() - cpu);
                best.wall = std::min(best.wall, WallNow() - wall);
            }
            std::printf("Reset, type 70 (35795450 counted boot cycles) [%s]: %.1f ms CPU time, %.1f ms wall "
                        "(best of 5; target <= 60 ms)\n", batched ? "batched" : "stepping", best.cpu * 1000.0, best.wall * 1000.0);
        }
        std::remove(path.c_str());
    }
    if (Wanted("opll")) {
        // Type 0: OPLL at memory 0x4000/0x4001; nine channels, instruments
        // 1..9, keyed with sustain, pitches rewritten continuously.
        std::vector<std::pair<uint8_t, uint8_t>> setup;
        for (uint8_t ch = 0; ch < 9; ++ch) {
            setup.push_back({static_cast<uint8_t>(0x30 + ch), static_cast<uint8_t>((ch + 1) << 4)});
            setup.push_back({static_cast<uint8_t>(0x10 + ch), static_cast<uint8_t>(0x20 + ch * 16)});
            setup.push_back({static_cast<uint8_t>(0x20 + ch), static_cast<uint8_t>(0x31 + ((3 + ch % 3) << 1))});
        }
        auto program = BusyChipProgram(0x4000, setup, 0x10, 9, [](Z80Asm& a) {
            a.ld(R8::A, R8::B); a.ld_mem_a(0x4000);
            a.ld(R8::A, R8::C); a.ld_mem_a(0x4001);
        });
        std::string path = WriteRom(program, 0);
        CSoundBoard board(path.c_str(), fixups);
        PrintRealTime(board, 10.0, "busy OPLL board (type 0, nine channels) at 44100 Hz", " (target >= 200x)");
        std::remove(path.c_str());
    }
    if (Wanted("opll-irq")) {
        // Type 4: the same nine OPLL channels, but the program works only in
        // its NMI tick (every 3575 cycles) and halts in between, as
        // interrupt-driven sound programs do.
        Z80Asm a(0);
        a.di();
        a.ld_sp_nn(0xA000);
        a.jp(0x0100);
        a.org(0x0066);
        a.jp("nmi");
        a.org(0x0100);
        for (uint8_t ch = 0; ch < 9; ++ch) {
            a.ld_a_n(static_cast<uint8_t>(0x30 + ch)); a.out_n_a(0xFC);
            a.ld_a_n(static_cast<uint8_t>((ch + 1) << 4)); a.out_n_a(0xFD);
            a.ld_a_n(static_cast<uint8_t>(0x20 + ch)); a.out_n_a(0xFC);
            a.ld_a_n(static_cast<uint8_t>(0x31 + ((3 + ch % 3) << 1))); a.out_n_a(0xFD);
        }
        a.label("wait");
        a.halt();
        a.jr("wait");
        a.label("nmi");
        a.push(R16::AF);
        a.ld_a_mem(0x8100);
        a.inc(R8::A);
        a.ld_mem_a(0x8100);
        a.ld(R8::B, uint8_t{9});
        a.ld(R8::C, uint8_t{0x10});
        a.label("pitch");
        a.ld(R8::A, R8::C); a.out_n_a(0xFC);
        a.ld_a_mem(0x8100); a.out_n_a(0xFD);
        a.inc(R8::C);
        a.djnz("pitch");
        a.pop(R16::AF);
        a.retn();
        std::string path = WriteRom(a.bytes(), 4);
        CSoundBoard board(path.c_str(), fixups);
        PrintRealTime(board, 10.0, "interrupt-driven OPLL board (type 4, halts between ticks)", "");
        std::remove(path.c_str());
    }
    if (Wanted("psg")) {
        // Type 22: PSG at ports 0xEC/0xED; three tones with noise; the tick
        // (every 35700 cycles) enters RAM at 0x9000.
        std::vector<std::pair<uint8_t, uint8_t>> setup = {{7, 0x30}, {8, 15}, {9, 14}, {10, 13}, {6, 7}};
        auto program = BusyChipProgram(0xA000, setup, 0, 6, [](Z80Asm& a) {
            a.ld(R8::A, R8::B); a.out_n_a(0xEC);
            a.ld(R8::A, R8::C); a.out_n_a(0xED);
        }, 0x9000);
        std::string path = WriteRom(program, 22);
        CSoundBoard board(path.c_str(), fixups);
        PrintRealTime(board, 10.0, "busy PSG board (type 22) at 44100 Hz", " (target >= 400x)");
        std::remove(path.c_str());
    }
    if (Wanted("sn")) {
        // Type 39: SN76496 at memory 0xDFFF; tone bytes written continuously
        // after full volume on all four channels; the tick (every 6708
        // cycles) enters RAM at 0x9020.
        std::vector<std::pair<uint8_t, uint8_t>> setup = {{0, 0x90}, {0, 0xB0}, {0, 0xD0}, {0, 0xF0}, {0, 0xE4}};
        auto program = BusyChipProgram(0xA000, setup, 0, 3, [](Z80Asm& a) {
            a.ld(R8::A, R8::C); a.or_n(0x80); a.ld_mem_a(0xDFFF);
            a.ld(R8::A, R8::B); a.and_n(0x3F); a.ld_mem_a(0xDFFF);
        }, 0x9020);
        std::string path = WriteRom(program, 39);
        CSoundBoard board(path.c_str(), fixups);
        PrintRealTime(board, 10.0, "busy SN76496 board (type 39) at 44100 Hz", " (target >= 400x)");
        std::remove(path.c_str());
    }
    return 0;
}
