// CZ80 interrupt entry: NMI and the maskable request in modes 0, 1 and 2.
#include "cpu/Z80.h"

#include "app/DebugLog.h"
#include "cpu/Z80Alu.h"

void CZ80::Interrupt(uint16_t value)
{
    // Any request wakes a halted CPU, even one that is then refused.
    if (StatusFlags & kHalt) {
        ++PC;
        StatusFlags &= static_cast<uint8_t>(~kHalt);
    }
    if (!(StatusFlags & kIff1) && value != kNmi)
        return;  // masked: the request is not remembered

    uint8_t data = static_cast<uint8_t>(value);
    bool mode0 = !(StatusFlags & (kIm1 | kIm2));
    if (value != kNmi && mode0 && (data & 0xC7) != 0xC7) {
        // Mode 0 runs the data-bus byte as an instruction; only RST opcodes
        // are supported. Anything else is refused before the return address is
        // pushed, so the stack and the interrupt enables stay intact.
        if (TraceOn)
            Log("IRQ IM0 : %04X %04X\n", PC, value);
        return;
    }

    uint16_t returnAddress = PC;
    Push(PC);
    if (AckClearsPending && value == PendingIrq)
        PendingIrq = kNoIrq;

    if (value == kNmi) {
        if (TraceOn)
            Log("NMI : %04X\n", returnAddress);
        PC = 0x0066;
        StatusFlags &= static_cast<uint8_t>(~(kIff1 | kEiPending));  // IFF2 kept for RETN
        return;
    }

    StatusFlags &= static_cast<uint8_t>(~(kIff1 | kIff2 | kEiPending));
    if (StatusFlags & kIm2) {
        if (TraceOn)
            Log("IRQ IM2 : %04X %04X\n", returnAddress, value);
        PC = Read16(static_cast<uint16_t>(I << 8 | data));
        PendingIrq = kNoIrq;
    } else if (StatusFlags & kIm1) {
        if (TraceOn)
            Log("IRQ IM1 : %04X\n", returnAddress);
        PC = 0x0038;
        PendingIrq = kNoIrq;
    } else {
        if (TraceOn)
            Log("IRQ IM0 : %04X %04X\n", returnAddress, value);
        PC = data & 0x38;  // RST n
    }
}
