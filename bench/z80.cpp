// Z80 core speed.
//
// Usage: bench_z80 [T-STATES]   the documented-instruction exerciser (zexdoc)
//                               through Execute (default: the whole program,
//                               ~4.67e10 T-states)
//        bench_z80 delays       a sound-driver style program (chip writes
//                               between DJNZ, DEC r and DEC rr delay loops)
//                               through ExecuteCounted in sample-sized budgets
// Prints emulated MHz (T-states per second) against wall-clock time and
// against the thread's CPU time; on a shared machine the second is the
// steadier figure.
#include "cpu/CpmMachine.h"
#include "cpu/Z80.h"
#include "cpu/Z80Bus.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

double ThreadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

void PrintRates(uint64_t tStates, double wall, double cpu)
{
    std::printf("wall: %.3f s  %.1f MHz\n", wall, static_cast<double>(tStates) / wall / 1e6);
    std::printf("cpu:  %.3f s  %.1f MHz\n", cpu, static_cast<double>(tStates) / cpu / 1e6);
}

int RunZexdoc(uint64_t limit)
{
    const char* path = KELVARA_TEST_DATA_DIR "/z80/zexdoc.com";
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "bench_z80: cannot open %s\n", path);
        return 2;
    }
    std::vector<uint8_t> program((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());

    static CCpmMachine machine;
    std::string error;
    if (!machine.Load(program, error)) {
        std::fprintf(stderr, "bench_z80: %s\n", error.c_str());
        return 2;
    }
    auto wallStart = std::chrono::steady_clock::now();
    double cpuStart = ThreadCpuSeconds();
    CCpmMachine::RunResult result = machine.Run(limit);
    double cpu = ThreadCpuSeconds() - cpuStart;
    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();

    int oks = 0;
    for (std::size_t at = 0; (at = machine.Output().find("  OK", at)) != std::string::npos; ++at)
        ++oks;
    std::printf("zexdoc: %llu T-states%s, %d tests OK\n", static_cast<unsigned long long>(result.tStates),
                result.finished ? " (complete run)" : " (partial run)", oks);
    PrintRates(result.tStates, wall, cpu);
    return 0;
}

// 64 KB of RAM published as fast windows; port writes are counted.
class DelayBoard : public CZ80Bus {
public:
    DelayBoard() : ram(0x10000, 0)
    {
        fastRead = ram.data();
        fastReadSize = 0x10000;
        fastWrite = ram.data();
        fastWriteSize = 0x10000;
        fastWriteReadable = true;
    }
    uint8_t ReadMem(uint16_t address) override { return ram[address]; }
    void WriteMem(uint16_t address, uint8_t value) override { ram[address] = value; }
    uint8_t ReadPort(uint8_t) override { return 0xFF; }
    void WritePort(uint8_t, uint8_t) override { ++portWrites; }

    std::vector<uint8_t> ram;
    uint64_t portWrites = 0;
};

int RunDelays()
{
    static DelayBoard board;
    const uint8_t program[] = {
        0x31, 0x00, 0xA0,  // LD SP,A000h
        0x06, 0x30,        // loop: LD B,30h
        0x10, 0xFE,        //   DJNZ $
        0x78, 0xD3, 0x10,  //   LD A,B; OUT (10h),A
        0x26, 0x14,        //   LD H,14h
        0x25, 0x20, 0xFD,  //   DEC H; JR NZ,$-1
        0x7C, 0xD3, 0x11,  //   LD A,H; OUT (11h),A
        0x01, 0x90, 0x01,  //   LD BC,0190h
        0x0B, 0x78, 0xB1,  //   DEC BC; LD A,B; OR C
        0x20, 0xFB,        //   JR NZ,$-3
        0xD3, 0x12,        //   OUT (12h),A
        0xC3, 0x03, 0x00,  //   JP loop
    };
    std::memcpy(board.ram.data(), program, sizeof program);
    CZ80Bus* previous = g_CurrentBoard;
    g_CurrentBoard = &board;
    CZ80 cpu;
    cpu.Reset();
    // One sample of a 3.58 MHz CPU at 44100 Hz is about 81 cycles; 100
    // seconds of emulated time.
    constexpr int kBudget = 81;
    constexpr uint64_t kCalls = 44100ull * 100;
    uint64_t tStates = 0;
    auto wallStart = std::chrono::steady_clock::now();
    double cpuStart = ThreadCpuSeconds();
    for (uint64_t i = 0; i < kCalls; ++i)
        tStates += static_cast<uint64_t>(kBudget - cpu.ExecuteCounted(kBudget));
    double cpuSeconds = ThreadCpuSeconds() - cpuStart;
    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    g_CurrentBoard = previous;
    std::printf("delay loops: %llu counted cycles in %llu calls of %d, %llu port writes\n",
                static_cast<unsigned long long>(tStates), static_cast<unsigned long long>(kCalls), kBudget,
                static_cast<unsigned long long>(board.portWrites));
    PrintRates(tStates, wall, cpuSeconds);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "delays") == 0)
        return RunDelays();
    return RunZexdoc(argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 100'000'000'000ull);
}
