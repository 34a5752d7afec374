// A minimal CP/M machine for running CP/M programs (.COM) on CZ80: 64 KB of
// flat RAM, the program loaded at 0x100, and just enough BDOS for console
// output. Used by kelvara-z80run, the Z80 benchmark and the exerciser tests.
//
// Memory set-up: 0x0000 holds a trap that ends the run (a program ends by
// jumping to 0), 0x0005 is "JP 0xF000" with the word at 6 = 0xF000 (the top
// of the program's memory, where it usually places its stack), and 0xF000
// holds the BDOS stub: OUT (0xFF),A ; RET. The port write performs the call:
// function 2 prints E, function 9 prints the string at DE up to "$";
// function 0 ends the run like a jump to 0; other functions do nothing.
#pragma once

#include "cpu/Z80.h"
#include "cpu/Z80Bus.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

class CCpmMachine : public CZ80Bus {
public:
    static constexpr uint16_t kLoadAddress = 0x0100;
    static constexpr uint16_t kBdosStub = 0xF000;
    static constexpr std::size_t kMaxProgramSize = kBdosStub - kLoadAddress;

    struct RunResult {
        uint64_t tStates = 0;   // T-states executed, exactly
        bool finished = false;  // the program ended by reaching address 0
        bool halted = false;    // stopped on HALT: tStates then includes the
                                // dropped rest of the last Execute budget
        std::string error;      // why it stopped otherwise ("" when finished)
    };

    CCpmMachine();

    // Places the program at 0x100 and resets the CPU. Returns false (with a
    // message in error) when it does not fit below the BDOS stub.
    bool Load(const std::vector<uint8_t>& program, std::string& error);

    // Runs until the program ends, halts, or maxTStates have run. Console
    // output is collected in Output() and, if echo is given, written there as
    // it appears. Makes this machine the thread's current board while running.
    RunResult Run(uint64_t maxTStates, std::FILE* echo = nullptr);

    const std::string& Output() const { return m_output; }
    CZ80& Cpu() { return m_cpu; }
    std::vector<uint8_t>& Memory() { return m_ram; }

    uint8_t ReadMem(uint16_t address) override { return m_ram[address]; }
    void WriteMem(uint16_t address, uint8_t value) override { m_ram[address] = value; }
    uint8_t ReadPort(uint8_t port) override;
    void WritePort(uint8_t port, uint8_t value) override;

private:
    void Print(char c);
    int CyclesUsedInChunk() const;

    CZ80 m_cpu;
    std::vector<uint8_t> m_ram;
    std::string m_output;
    std::FILE* m_echo = nullptr;
    int m_chunkBudget = 0;
    bool m_stopped = false;
    int m_stopCycles = 0;
};
