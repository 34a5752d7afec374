// Internal to the Z80 core: the state the unprefixed-opcode loop keeps in
// machine registers while it runs: PC, the remaining budget, and a copy of the
// current board's fast memory windows (see Z80Bus.h).
//
// Execute() copies PC and CyclesLeft in (SyncIn) and out (SyncOut) around
// everything that works on the CZ80 record itself: the prefixed handlers,
// port accesses, interrupt entry and the trace. The copy of the windows is
// refreshed after every virtual bus call, since a board may change its windows
// from inside one. The object never leaves Execute(), so the compiler keeps
// its fields in registers.
#pragma once

#include "cpu/Z80.h"
#include "cpu/Z80Bus.h"

struct Z80FastState {
    uint16_t pc;
    int32_t cycles;
    bool trace;  // TraceOn, which only the board changes (between Execute calls)
    CZ80Bus* bus;
    const uint8_t* readBase;
    uint32_t readSize;
    uint8_t* writeBase;
    uint32_t writeStart;
    uint32_t writeSize;

    void LoadWindows()
    {
        bus = g_CurrentBoard;
        readBase = bus->fastRead;
        readSize = bus->fastReadSize;
        writeBase = bus->fastWrite;
        writeStart = bus->fastWriteStart;
        writeSize = bus->fastWriteSize;
    }

    void SyncIn(const CZ80& cpu)
    {
        pc = cpu.PC;
        cycles = cpu.CyclesLeft;
        trace = cpu.TraceOn != 0;
        LoadWindows();
    }

    void SyncOut(CZ80& cpu) const
    {
        cpu.PC = pc;
        cpu.CyclesLeft = cycles;
    }

    uint8_t Read(uint16_t address)
    {
        if (address < readSize) [[likely]]
            return readBase[address];
        uint8_t value = bus->ReadMem(address);
        LoadWindows();
        return value;
    }

    void Write(uint16_t address, uint8_t value)
    {
        uint32_t offset = static_cast<uint32_t>(address) - writeStart;
        if (offset < writeSize) [[likely]] {
            writeBase[offset] = value;
            return;
        }
        bus->WriteMem(address, value);
        LoadWindows();
    }

    uint8_t Fetch() { return Read(pc++); }

    uint16_t Fetch16()
    {
        uint8_t low = Fetch();
        return static_cast<uint16_t>(low | Fetch() << 8);
    }

    uint16_t Read16(uint16_t address)
    {
        uint8_t low = Read(address);
        return static_cast<uint16_t>(low | Read(static_cast<uint16_t>(address + 1)) << 8);
    }

    void Write16(uint16_t address, uint16_t value)
    {
        Write(address, static_cast<uint8_t>(value));
        Write(static_cast<uint16_t>(address + 1), static_cast<uint8_t>(value >> 8));
    }

    void Push(uint16_t& sp, uint16_t value)
    {
        Write(--sp, static_cast<uint8_t>(value >> 8));
        Write(--sp, static_cast<uint8_t>(value));
    }

    uint16_t Pop(uint16_t& sp)
    {
        uint8_t low = Read(sp++);
        return static_cast<uint16_t>(low | Read(sp++) << 8);
    }
};
