// Z80 core speed on the documented-instruction exerciser (zexdoc).
//
// Usage: bench_z80 [T-STATES]   (default: the whole program, ~4.67e10)
// Prints emulated MHz (T-states per second) against wall-clock time and
// against the thread's CPU time; on a shared machine the second is the
// steadier figure.
#include "cpu/CpmMachine.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
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

}  // namespace

int main(int argc, char** argv)
{
    uint64_t limit = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 100'000'000'000ull;
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
    std::printf("wall: %.3f s  %.1f MHz\n", wall, static_cast<double>(result.tStates) / wall / 1e6);
    std::printf("cpu:  %.3f s  %.1f MHz\n", cpu, static_cast<double>(result.tStates) / cpu / 1e6);
    return 0;
}
