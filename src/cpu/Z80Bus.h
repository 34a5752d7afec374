// The CPU's view of the world: four bus operations on the current board.
//
// The core calls the free functions Z80ReadMem/Z80WriteMem/Z80ReadPort/
// Z80WritePort; they forward to the board held in g_CurrentBoard. The
// pointer is thread_local, so each render thread drives exactly one board
// and independent boards can render on separate threads.
//
// Fast windows (optional, for speed). Every opcode and operand byte the CPU
// fetches is a memory read, so a virtual call per byte would dominate the
// cost of emulation. A board may therefore publish two plain-memory windows
// that the inline bus functions consult before the virtual operations:
//
//   * read window:  addresses 0 .. fastReadSize-1 are read as
//                   fastRead[address], without calling ReadMem.
//   * write window: addresses fastWriteStart .. fastWriteStart+fastWriteSize-1
//                   are written as fastWrite[address - fastWriteStart] = value,
//                   without calling WriteMem.
//   * the write window may also be read: with fastWriteReadable set, reads of
//     its addresses (those the read window does not cover) come from
//     fastWrite[address - fastWriteStart], without calling ReadMem. RAM is
//     the usual case: reads of it are as common as writes.
//
// Contract for a board that fills them:
//   - A window must behave exactly like the virtual operation would for every
//     address it covers: plain memory, no side effects on access. Anything
//     with side effects (latches, chip registers, mirrors, unmapped space)
//     must stay outside the windows so that the virtual operations see it.
//   - The pointed-to memory must stay valid while the board is current; the
//     board may change or clear a window at any time (also from inside one of
//     its own bus operations), the next access sees the new values.
//   - The sizes are 0 by default (no window): every access then goes to the
//     virtual operations, which stay authoritative for everything else.
//     Sizes are at most 0x10000; the write window must not wrap past 0xFFFF.
// Port accesses always go to the virtual operations.
//
// While CZ80::Execute runs, the core keeps PC and the remaining budget in its
// own locals: inside a port operation the CZ80 record is current (and the
// board may change it), inside a memory operation PC and CyclesLeft may be
// stale and must not be changed.
#pragma once

#include <cstdint>

class CZ80Bus {
public:
    virtual ~CZ80Bus() = default;
    virtual uint8_t ReadMem(uint16_t address) = 0;
    virtual void WriteMem(uint16_t address, uint8_t value) = 0;
    virtual uint8_t ReadPort(uint8_t port) = 0;
    virtual void WritePort(uint8_t port, uint8_t value) = 0;

    // Fast windows, see the contract above. Not virtual on purpose.
    const uint8_t* fastRead = nullptr;
    uint32_t fastReadSize = 0;
    uint8_t* fastWrite = nullptr;
    uint32_t fastWriteStart = 0;
    uint32_t fastWriteSize = 0;
    bool fastWriteReadable = false;
};

// constinit: no dynamic initialisation, so access needs no TLS wrapper call.
extern thread_local constinit CZ80Bus* g_CurrentBoard;

inline uint8_t Z80ReadMem(uint16_t address)
{
    CZ80Bus* bus = g_CurrentBoard;
    if (address < bus->fastReadSize)
        return bus->fastRead[address];
    uint32_t offset = static_cast<uint32_t>(address) - bus->fastWriteStart;
    if (bus->fastWriteReadable && offset < bus->fastWriteSize)
        return bus->fastWrite[offset];
    return bus->ReadMem(address);
}

inline void Z80WriteMem(uint16_t address, uint8_t value)
{
    CZ80Bus* bus = g_CurrentBoard;
    uint32_t offset = static_cast<uint32_t>(address) - bus->fastWriteStart;
    if (offset < bus->fastWriteSize) {
        bus->fastWrite[offset] = value;
        return;
    }
    bus->WriteMem(address, value);
}

// The board decodes 8-bit ports only: the high byte of the port is dropped.
inline uint8_t Z80ReadPort(uint16_t port)
{
    return g_CurrentBoard->ReadPort(static_cast<uint8_t>(port));
}

inline void Z80WritePort(uint16_t port, uint8_t value)
{
    g_CurrentBoard->WritePort(static_cast<uint8_t>(port), value);
}
