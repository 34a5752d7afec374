// kelvara-z80run FILE.com: runs a CP/M program on the Z80 core with 64 KB of
// flat RAM and console output through BDOS functions 2 and 9, then prints
// the T-states executed and the emulation speed.
#include "cpu/CpmMachine.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: kelvara-z80run FILE.com\n");
        return 2;
    }
    std::ifstream file(argv[1], std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "kelvara-z80run: cannot open %s\n", argv[1]);
        return 2;
    }
    std::vector<uint8_t> program((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad()) {
        std::fprintf(stderr, "kelvara-z80run: cannot read %s\n", argv[1]);
        return 2;
    }

    static CCpmMachine machine;  // 64 KB RAM plus the CPU; kept off the stack
    std::string error;
    if (!machine.Load(program, error)) {
        std::fprintf(stderr, "kelvara-z80run: %s: %s\n", argv[1], error.c_str());
        return 2;
    }

    // Generous limit: the full instruction exercisers need about 4.6e10.
    constexpr uint64_t kMaxTStates = 2'000'000'000'000ull;
    auto start = std::chrono::steady_clock::now();
    CCpmMachine::RunResult result = machine.Run(kMaxTStates, stdout);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    double mhz = seconds > 0 ? static_cast<double>(result.tStates) / seconds / 1e6 : 0.0;

    if (!machine.Output().empty() && machine.Output().back() != '\n')
        std::printf("\n");
    if (result.halted) {  // HALT drops the rest of the budget: no exact count
        std::fprintf(stderr, "kelvara-z80run: %s\n", result.error.c_str());
        return 1;
    }
    std::printf("T-states: %llu  seconds: %.3f  MHz: %.1f\n",
                static_cast<unsigned long long>(result.tStates), seconds, mhz);
    std::fflush(stdout);
    if (!result.finished) {
        std::fprintf(stderr, "kelvara-z80run: %s\n", result.error.c_str());
        return 1;
    }
    return 0;
}
