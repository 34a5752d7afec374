// Internal to the Z80 core: the state the unprefixed-opcode loop keeps in
// machine registers while it runs: PC, the remaining budget, and a copy of the
// current board's fast memory windows (see Z80Bus.h).
//
// Execute() copies PC and CyclesLeft in (SyncIn) and out (SyncOut) around
// everything that works on the CZ80 record itself: the prefixed handlers,
// port accesses, interrupt entry and the trace. The copy of the windows is
// refreshed after every virtual bus call, since a board may change its windows
// from inside one. The object never leaves Execute(), so the compiler keeps
// its fields in registers: every member is forced inline, and the virtual
// bus calls sit behind out-of-line helpers that never see the object.
#pragma once

#include "cpu/Z80.h"
#include "cpu/Z80Bus.h"

#define Z80_INLINE [[gnu::always_inline]] inline

[[gnu::noinline]] inline uint8_t Z80ReadMemVirtual(uint16_t address)
{
    return g_CurrentBoard->ReadMem(address);
}

[[gnu::noinline]] inline void Z80WriteMemVirtual(uint16_t address, uint8_t value)
{
    g_CurrentBoard->WriteMem(address, value);
}

struct Z80FastState {
    uint16_t pc;
    int32_t cycles;
    bool trace;  // TraceOn, which only the board changes (between Execute calls)
    const uint8_t* readBase;
    uint32_t readSize;
    uint8_t* writeBase;
    uint32_t writeStart;
    uint32_t writeSize;
    uint32_t writeReadSize;  // writeSize when the write window is readable, else 0
    // ExecuteCounted only: JR $ and JP $ fast-forward to the end of the
    // budget and countdown delay loops skip their whole iterations (set once
    // per run, so the other loops compile the checks away).
    bool skipWaits;
    int32_t waitStep;  // counted cycles of the wait step skipped, 0 = none

    Z80_INLINE void LoadWindows()
    {
        CZ80Bus* bus = g_CurrentBoard;
        readBase = bus->fastRead;
        readSize = bus->fastReadSize;
        writeBase = bus->fastWrite;
        writeStart = bus->fastWriteStart;
        writeSize = bus->fastWriteSize;
        writeReadSize = bus->fastWriteReadable ? bus->fastWriteSize : 0;
    }

    Z80_INLINE void SyncIn(const CZ80& cpu)
    {
        pc = cpu.PC;
        cycles = cpu.CyclesLeft;
        trace = cpu.TraceOn != 0;
        LoadWindows();
    }

    Z80_INLINE void SyncOut(CZ80& cpu) const
    {
        cpu.PC = pc;
        cpu.CyclesLeft = cycles;
    }

    Z80_INLINE uint8_t Read(uint16_t address)
    {
        if (address < readSize) [[likely]]
            return readBase[address];
        uint32_t offset = static_cast<uint32_t>(address) - writeStart;
        if (offset < writeReadSize)
            return writeBase[offset];
        uint8_t value = Z80ReadMemVirtual(address);
        LoadWindows();
        return value;
    }

    // Reads through the windows only (no side effects possible); false when
    // the address lies outside both.
    Z80_INLINE bool Peek(uint16_t address, uint8_t& value) const
    {
        if (address < readSize) [[likely]] {
            value = readBase[address];
            return true;
        }
        uint32_t offset = static_cast<uint32_t>(address) - writeStart;
        if (offset < writeReadSize) {
            value = writeBase[offset];
            return true;
        }
        return false;
    }

    // The instruction just run jumped to itself (JR $, JP $ of `length`
    // bytes at pc, counted `step`): every further step would repeat it
    // with no effect but time, as long as its bytes are plain memory. Use
    // up the rest of the budget in whole steps.
    Z80_INLINE void SkipWait(int length, int32_t step)
    {
        uint8_t unused;
        if (!skipWaits || cycles <= 0 || !Peek(pc, unused) ||
            !Peek(static_cast<uint16_t>(pc + length - 1), unused))
            return;
        cycles -= (cycles + step - 1) / step * step;
        waitStep = step;
    }

    Z80_INLINE void Write(uint16_t address, uint8_t value)
    {
        uint32_t offset = static_cast<uint32_t>(address) - writeStart;
        if (offset < writeSize) [[likely]] {
            writeBase[offset] = value;
            return;
        }
        Z80WriteMemVirtual(address, value);
        LoadWindows();
    }

    Z80_INLINE uint8_t Fetch() { return Read(pc++); }

    Z80_INLINE uint16_t Fetch16()
    {
        uint8_t low = Fetch();
        return static_cast<uint16_t>(low | Fetch() << 8);
    }

    Z80_INLINE uint16_t Read16(uint16_t address)
    {
        uint8_t low = Read(address);
        return static_cast<uint16_t>(low | Read(static_cast<uint16_t>(address + 1)) << 8);
    }

    Z80_INLINE void Write16(uint16_t address, uint16_t value)
    {
        Write(address, static_cast<uint8_t>(value));
        Write(static_cast<uint16_t>(address + 1), static_cast<uint8_t>(value >> 8));
    }

    Z80_INLINE void Push(uint16_t& sp, uint16_t value)
    {
        Write(--sp, static_cast<uint8_t>(value >> 8));
        Write(--sp, static_cast<uint8_t>(value));
    }

    Z80_INLINE uint16_t Pop(uint16_t& sp)
    {
        uint8_t low = Read(sp++);
        return static_cast<uint16_t>(low | Read(sp++) << 8);
    }
};

#undef Z80_INLINE
