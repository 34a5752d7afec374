// A board for driving CZ80 in tests: 64 KB of RAM and a log of port
// accesses. By default every access goes through the virtual bus
// operations; EnableWindows() publishes the RAM as fast windows instead.
// Constructing it makes it the thread's current board.
#pragma once

#include "cpu/Z80.h"
#include "cpu/Z80Bus.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <vector>

class Z80TestBoard : public CZ80Bus {
public:
    struct PortWrite {
        uint8_t port;
        uint8_t value;
        bool operator==(const PortWrite&) const = default;
    };

    Z80TestBoard() : ram(0x10000, 0)
    {
        m_previous = g_CurrentBoard;
        g_CurrentBoard = this;
        cpu.Reset();
    }
    ~Z80TestBoard() override { g_CurrentBoard = m_previous; }
    Z80TestBoard(const Z80TestBoard&) = delete;
    Z80TestBoard& operator=(const Z80TestBoard&) = delete;

    void EnableWindows()
    {
        fastRead = ram.data();
        fastReadSize = 0x10000;
        fastWrite = ram.data();
        fastWriteStart = 0;
        fastWriteSize = 0x10000;
    }

    // Copies bytes into RAM at address.
    void Poke(uint16_t address, std::initializer_list<uint8_t> bytes)
    {
        for (uint8_t b : bytes)
            ram[address++] = b;
    }

    uint8_t ReadMem(uint16_t address) override
    {
        ++memReads;
        return ram[address];
    }
    void WriteMem(uint16_t address, uint8_t value) override { ram[address] = value; }
    uint8_t ReadPort(uint8_t port) override
    {
        portReads.push_back(port);
        return portValue;
    }
    void WritePort(uint8_t port, uint8_t value) override { portWrites.push_back({port, value}); }

    CZ80 cpu;
    std::vector<uint8_t> ram;
    uint8_t portValue = 0;
    std::vector<uint8_t> portReads;
    std::vector<PortWrite> portWrites;
    long memReads = 0;

private:
    CZ80Bus* m_previous;
};

// Every register, flag and budget field of two cores, compared field by
// field so a mismatch names the field. For the equivalence tests.
inline void ExpectSameCpuState(const CZ80& a, const CZ80& b)
{
    const struct {
        const char* name;
        int a, b;
    } fields[] = {{"AF", a.AF.W, b.AF.W},       {"BC", a.BC.W, b.BC.W},
                  {"DE", a.DE.W, b.DE.W},       {"HL", a.HL.W, b.HL.W},
                  {"IX", a.IX.W, b.IX.W},       {"IY", a.IY.W, b.IY.W},
                  {"PC", a.PC, b.PC},           {"SP", a.SP, b.SP},
                  {"AF'", a.AF2.W, b.AF2.W},    {"BC'", a.BC2.W, b.BC2.W},
                  {"DE'", a.DE2.W, b.DE2.W},    {"HL'", a.HL2.W, b.HL2.W},
                  {"status", a.StatusFlags, b.StatusFlags}, {"I", a.I, b.I},
                  {"R", a.R, b.R},              {"cycles", a.CyclesLeft, b.CyclesLeft},
                  {"saved budget", a.SavedBudget, b.SavedBudget}, {"pending", a.PendingIrq, b.PendingIrq}};
    for (const auto& f : fields)
        EXPECT_EQ(f.a, f.b) << f.name;
}
