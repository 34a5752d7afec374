#include "cpu/Z80Bus.h"

thread_local CZ80Bus* g_CurrentBoard = nullptr;

uint8_t Z80ReadMem(uint16_t address) { return g_CurrentBoard->ReadMem(address); }
void Z80WriteMem(uint16_t address, uint8_t value) { g_CurrentBoard->WriteMem(address, value); }
uint8_t Z80ReadPort(uint16_t port) { return g_CurrentBoard->ReadPort(static_cast<uint8_t>(port)); }
void Z80WritePort(uint16_t port, uint8_t value) { g_CurrentBoard->WritePort(static_cast<uint8_t>(port), value); }
