// The CPU's view of the world: four bus operations on the current board.
//
// The core calls the free functions Z80ReadMem/Z80WriteMem/Z80ReadPort/
// Z80WritePort; they forward to the board held in g_CurrentBoard. The
// pointer is thread_local, so each render thread drives exactly one board
// and independent boards can render on separate threads.
#pragma once

#include <cstdint>

class CZ80Bus {
public:
    virtual ~CZ80Bus() = default;
    virtual uint8_t ReadMem(uint16_t address) = 0;
    virtual void WriteMem(uint16_t address, uint8_t value) = 0;
    virtual uint8_t ReadPort(uint8_t port) = 0;
    virtual void WritePort(uint8_t port, uint8_t value) = 0;
};

extern thread_local CZ80Bus* g_CurrentBoard;

uint8_t Z80ReadMem(uint16_t address);
void Z80WriteMem(uint16_t address, uint8_t value);
uint8_t Z80ReadPort(uint16_t port);   // the board sees the low 8 bits only
void Z80WritePort(uint16_t port, uint8_t value);
