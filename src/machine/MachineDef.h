// Built-in board models, one per machine type: sound chip and clocks, boot
// budget, timers, driver-stub entry points, and where RAM, the command latch
// and the chip sit in the CPU's memory or port space. Read-only; rows come
// from data/machines.txt, converted at build time.
#pragma once

#include <cstddef>
#include <cstdint>

// Values of MachineDef::chipKind. YM2413 and YMF281B are both the OPLL
// object; YMF281B also selects that chip's tone set at every reset.
enum ChipKind : uint32_t {
    ChipYM2413 = 0,
    ChipYMF281B = 1,
    ChipPSG = 2,      // AY-3-8910 / YM2149
    ChipSN76496 = 3,  // SN76489 / SN76496
};

// Periods are in counted CPU cycles (each instruction's T-states less one).
// Ranges are inclusive at both ends.
struct MachineDef {
    uint32_t machineType;
    uint32_t chipKind;      // ChipKind
    uint32_t cpuClock;      // Hz; 0 only in the terminator row
    uint32_t chipClock;     // Hz
    uint32_t bootCycles;    // run at every reset before the first command
    uint32_t tickPeriod;    // 0 = no tick timer
    uint32_t tickEntry;     // 0 = tick raises NMI; else PC is set here (after boot only)
    uint32_t irqPeriod;     // 0 = no maskable interrupt
    uint16_t irqData;       // low byte: IM 0 opcode / IM 2 vector low byte
    uint16_t commandEntry;  // command entered here with the code in A; 0 = latch only
    uint32_t ramStart;
    uint32_t ramEnd;
    uint32_t latchIsPort;   // 1 = latch read through input ports, 0 = memory reads
    uint32_t latchLow;
    uint32_t latchHigh;
    uint32_t chipIsPort;    // 1 = chip written through output ports, 0 = memory writes
    uint32_t chipLow;
    uint32_t chipHigh;
};

// The row for `machineType`, or nullptr if the type has none (49, > 70).
const MachineDef* FindMachineDef(uint32_t machineType);

// Number of rows (70) and the row at `index` (0 .. count-1), in table order.
std::size_t GetMachineDefCount();
// An index past the end yields the all-zero terminator row.
const MachineDef& GetMachineDef(std::size_t index);

// "YM2413", "YMF281B", "PSG" or "SN76496"; "?" for an unknown kind.
const char* ChipKindName(uint32_t chipKind);
