// CZ80 core: reset, the budgeted execution loop and the unprefixed opcodes.
#include "cpu/Z80.h"

#include "cpu/Z80Alu.h"
#include "cpu/Z80FastState.h"

#include <algorithm>
#include <utility>

using z80tables::kCyclesMain;
using z80tables::kDaaTable;

CZ80::~CZ80() = default;

void CZ80::Reset()
{
    AF.W = BC.W = DE.W = HL.W = IX.W = IY.W = 0;
    AF2.W = BC2.W = DE2.W = HL2.W = 0;
    PC = 0;
    SP = 0xF000;
    StatusFlags = 0;
    I = 0;
    R = 0;
    CyclesLeft = ResetBudget;
    SavedBudget = 0;
    PendingIrq = kNoIrq;
    TraceOn = 0;
    TraceLow = 0;
    TraceHigh = 0xFFFF;
    m_freeRunMark = 0;
    m_freeRunCount = 0;
}

int CZ80::Execute(int budget)
{
    CyclesLeft = budget;
    m_freeRunCount = 0;
    Z80FastState c;
    c.skipWaits = false;
    c.SyncIn(*this);
    RunUntilSpent(c);
    return CyclesLeft;
}

// Runs while c.cycles > 0, then finishes a pending EI, and repeats. Leaves
// the CZ80 record current.
inline __attribute__((always_inline)) void CZ80::RunUntilSpent(Z80FastState& c)
{
    for (;;) {
        while (c.cycles > 0) {
            if (c.trace) [[unlikely]] {
                c.SyncOut(*this);
                TraceInstruction();
                c.SyncIn(*this);
            }
            uint8_t op = c.Fetch();
            c.cycles -= kCyclesMain[op];
            ExecuteMain(c, op);
        }
        c.SyncOut(*this);
        if (!(StatusFlags & kEiPending)) [[likely]]
            break;
        FinishEi();
        c.SyncIn(*this);
    }
}

void CZ80::FinishEi()
{
    // The instruction after EI has run: interrupts are on from here, and
    // the budget parked by EI comes back less the one cycle lent to it.
    StatusFlags = static_cast<uint8_t>((StatusFlags & ~kEiPending) | kIff1);
    CyclesLeft += SavedBudget - 1;
    if (PendingIrq != kNoIrq)
        Interrupt(PendingIrq);
}

namespace {

// Counted cycles of an unprefixed instruction run as one step (its table
// T-states less one; taken-branch extras are charged by the instruction
// itself), or kOwnStep for those that need a step of their own: the
// prefixes (their costs and the zero-cost guard work on the step's own
// budget), HALT, and EI/DI (the EI loan).
constexpr uint8_t kOwnStep = 0xFF;
constexpr z80tables::Table8 kCountedMain = [] {
    z80tables::Table8 t{};
    for (int op = 0; op < 256; ++op)
        t[op] = kCyclesMain[op] == 0 ? kOwnStep : static_cast<uint8_t>(kCyclesMain[op] - 1);
    t[0x76] = t[0xF3] = t[0xFB] = kOwnStep;
    return t;
}();

}  // namespace

// Countdown delay loops. When a counted run takes the backward branch of one
// of these loops and its bytes are plain memory, every further iteration
// changes only the counter, A and F (all known in advance) and the budget:
// the iterations that fit wholly in the budget, with some budget still left
// after them, are taken at once. The rest (the iteration the budget ends
// in, the last one that falls through) are stepped as usual, so registers,
// flags and the overrun come out exactly as stepping leaves them. R is not
// counted per fetch, so skipping fetches leaves it alone.

// DJNZ $: it has just jumped to itself with B not zero.
inline __attribute__((always_inline)) void CZ80::SkipDjnzLoop(Z80FastState& c)
{
    constexpr int32_t kIteration = kCountedMain[0x10] + 5;  // the taken DJNZ
    uint8_t unused;
    if (c.cycles <= kIteration || !c.Peek(c.pc, unused) || !c.Peek(static_cast<uint16_t>(c.pc + 1), unused))
        return;
    // Each taken DJNZ leaves B one less; the one that reaches 0 falls through.
    const int32_t k = std::min<int32_t>(static_cast<uint8_t>(rB - 1), (c.cycles - 1) / kIteration);
    rB = static_cast<uint8_t>(rB - k);
    c.cycles -= k * kIteration;
}

// JR NZ has just jumped back to c.pc, 3 or 5 bytes before its own end:
// DEC r / JR NZ,$-1, or DEC rr / LD A,r / OR r' / JR NZ,$-3 with r and r'
// the two halves of rr.
inline __attribute__((always_inline)) void CZ80::SkipCountdownLoop(Z80FastState& c)
{
    constexpr int32_t kJrTaken = kCountedMain[0x20] + 5;
    uint8_t op = 0, b1 = 0, b2 = 0, b3 = 0, b4 = 0;
    if (!c.Peek(c.pc, op) || !c.Peek(static_cast<uint16_t>(c.pc + 1), b1) ||
        !c.Peek(static_cast<uint16_t>(c.pc + 2), b2))
        return;
    if (b1 == 0x20 && b2 == 0xFD) {
        // DEC r: 05 0D 15 1D 25 2D 3D (not 35, DEC (HL)).
        if ((op & 0xC7) != 0x05 || op == 0x35)
            return;
        constexpr int32_t kIteration = kCountedMain[0x05] + kJrTaken;
        if (c.cycles <= kIteration)
            return;
        uint8_t* const regs[8] = {&rB, &rC, &rD, &rE, &rH, &rL, nullptr, &rA};
        uint8_t& r = *regs[op >> 3];
        // The next DEC leaves r - 1; iterations go on while that is not 0.
        const int32_t k = std::min<int32_t>(static_cast<uint8_t>(r - 1), (c.cycles - 1) / kIteration);
        if (k == 0)
            return;
        // The last skipped DEC sets the flags (C is kept throughout).
        r = Dec8(static_cast<uint8_t>(r - (k - 1)));
        c.cycles -= k * kIteration;
        return;
    }
    if (!c.Peek(static_cast<uint16_t>(c.pc + 3), b3) || !c.Peek(static_cast<uint16_t>(c.pc + 4), b4) ||
        b3 != 0x20 || b4 != 0xFB)
        return;
    Z80Pair* pair;
    switch (op) {
    case 0x0B: pair = &BC; break;
    case 0x1B: pair = &DE; break;
    case 0x2B: pair = &HL; break;
    default: return;
    }
    // LD A,high; OR low (78+h, B0+l) or LD A,low; OR high, in B C D E H L
    // numbering: the pair's high half is 2*(op>>4), its low half one more.
    const int high = (op >> 4) * 2, low = high + 1;
    bool highFirst;
    if (b1 == 0x78 + high && b2 == 0xB0 + low)
        highFirst = true;
    else if (b1 == 0x78 + low && b2 == 0xB0 + high)
        highFirst = false;
    else
        return;
    constexpr int32_t kIteration = kCountedMain[0x0B] + kCountedMain[0x78] + kCountedMain[0xB0] + kJrTaken;
    if (c.cycles <= kIteration)
        return;
    // The next DEC leaves rr - 1; iterations go on while that is not 0.
    const int32_t k = std::min<int32_t>(static_cast<uint16_t>(pair->W - 1), (c.cycles - 1) / kIteration);
    if (k == 0)
        return;
    pair->W = static_cast<uint16_t>(pair->W - k);
    // The last skipped LD A / OR set A and F.
    rA = highFirst ? pair->B.H : pair->B.L;
    Or8(highFirst ? pair->B.L : pair->B.H);
    c.cycles -= k * kIteration;
}

// Most steps are a single unprefixed instruction whose count is its
// T-states less one, whatever budget it runs under: those run straight off
// the counted budget. The rest get a one-cycle budget of their own, exactly
// as Execute(1) gives them, so that everything that looks at the budget
// (LD A,R, the zero-cost guard, the EI loan, HALT) sees what it would see
// there.
int CZ80::ExecuteCounted(int countedBudget)
{
    if (countedBudget <= 0)
        return countedBudget;
    Z80FastState c;
    c.skipWaits = true;
    c.waitStep = 0;
    c.SyncIn(*this);
    c.cycles = countedBudget;
    // CyclesLeft as the last Execute(1) would leave it is c.cycles less
    // this after the latest step.
    int32_t stepBase = c.cycles;
    const bool trace = c.trace;  // every step of a traced run is its own
    while (c.cycles > 0) {
        uint8_t op;
        uint8_t cost;
        if (!trace && c.Peek(c.pc, op) && (cost = kCountedMain[op]) != kOwnStep) [[likely]] {
            stepBase = c.cycles;
            ++c.pc;
            c.cycles -= cost;
            ExecuteMain(c, op);
            continue;
        }
        // A step of its own: Execute(1) itself, out of line, so that this
        // loop keeps its state in registers.
        const uint16_t stepPc = c.pc;
        const int32_t remaining = c.cycles;
        c.SyncOut(*this);
        const int32_t stepLeft = Execute(1);
        c.SyncIn(*this);
        const int32_t counted = stepLeft < 0 ? -stepLeft : 1;
        c.cycles = remaining - counted;
        stepBase = c.cycles - stepLeft;
        if (c.pc == stepPc && c.cycles > 0) {
            // Waiting in place: every further step repeats this one with no
            // effect but time. Take them all at once.
            const int idle = IdleStepCycles(c.pc, c.readBase, c.readSize);
            if (idle == counted) {
                c.cycles -= (c.cycles + idle - 1) / idle * idle;
                stepBase = c.cycles - stepLeft;
            }
        }
    }
    const int32_t left = c.cycles;
    c.SyncOut(*this);
    // A skipped wait ends the run; its steps each leave -step.
    CyclesLeft = c.waitStep != 0 ? -c.waitStep : left - stepBase;
    return left;
}

// The counted cycles of one step of the instruction at pc when repeating
// it changes nothing but time: HALT while halted (1), JR $ and JP $. Its
// bytes must come from the fast read window (plain memory, so skipping
// their fetches loses nothing). 0 when the step is not of that kind.
// Takes the window by value: the loop state must not escape, or it could
// not stay in registers.
int CZ80::IdleStepCycles(uint16_t pc, const uint8_t* readBase, uint32_t readSize) const
{
    if (TraceOn || (StatusFlags & kEiPending))
        return 0;
    if (pc + 2u >= readSize)
        return 0;
    const uint8_t op = readBase[pc];
    if (op == 0x76)
        return (StatusFlags & kHalt) ? 1 : 0;
    if (op == 0x18 && readBase[pc + 1] == 0xFE)
        return kCyclesMain[0x18] - 1;
    if (op == 0xC3 && (readBase[pc + 1] | readBase[pc + 2] << 8) == pc)
        return kCyclesMain[0xC3] - 1;
    return 0;
}

void CZ80::ChargeFreeInstruction()
{
    if (CyclesLeft != m_freeRunMark)
        m_freeRunCount = 0;
    if (++m_freeRunCount > kFreeRunLimit)
        --CyclesLeft;
    m_freeRunMark = CyclesLeft;
}

void CZ80::ExecutePlain(uint8_t op)
{
    Z80FastState c;
    c.skipWaits = false;
    c.SyncIn(*this);
    ExecuteMain(c, op);
    c.SyncOut(*this);
}

// Conditions of JR/JP/CALL/RET in encoding order: NZ, Z, NC, C, PO, PE, P, M.
#define COND_NZ (!(rF & kFlagZ))
#define COND_Z (rF & kFlagZ)
#define COND_NC (!(rF & kFlagC))
#define COND_C (rF & kFlagC)
#define COND_PO (!(rF & kFlagPV))
#define COND_PE (rF & kFlagPV)
#define COND_P (!(rF & kFlagS))
#define COND_M (rF & kFlagS)

#define JR_IF(cond)                                                   \
    {                                                                 \
        int8_t e = static_cast<int8_t>(c.Fetch());                      \
        if (cond) {                                                   \
            c.pc = static_cast<uint16_t>(c.pc + e);                       \
            c.cycles -= 5;                                          \
        }                                                             \
    }                                                                 \
    break
#define JP_IF(cond)                                                   \
    {                                                                 \
        uint16_t nn = c.Fetch16();                                      \
        if (cond)                                                     \
            c.pc = nn;                                                  \
    }                                                                 \
    break
#define CALL_IF(cond)                                                 \
    {                                                                 \
        uint16_t nn = c.Fetch16();                                      \
        if (cond) {                                                   \
            c.Push(SP, c.pc);                                                 \
            c.pc = nn;                                                  \
            c.cycles -= 7;                                          \
        }                                                             \
    }                                                                 \
    break
#define RET_IF(cond)                                                  \
    if (cond) {                                                       \
        c.pc = c.Pop(SP);                                                   \
        c.cycles -= 6;                                              \
    }                                                                 \
    break
#define RST(address)                                                  \
    c.Push(SP, c.pc);                                                         \
    c.pc = (address);                                                   \
    break

// Flags kept by the accumulator rotates, ADD rr, SCF and CCF.
static constexpr uint8_t kKeepSZP35 = CZ80::kFlagS | CZ80::kFlagZ | CZ80::kFlagPV | Z80_KEEP35;

inline __attribute__((always_inline)) void CZ80::ExecuteMain(Z80FastState& c, uint8_t op)
{
    switch (op) {
    case 0x00: break;                                                   // NOP
    case 0x01: BC.W = c.Fetch16(); break;                                 // LD BC,nn
    case 0x02: c.Write(BC.W, rA); break;                            // LD (BC),A
    case 0x03: ++BC.W; break;                                           // INC BC
    case 0x04: rB = Inc8(rB); break;
    case 0x05: rB = Dec8(rB); break;
    case 0x06: rB = c.Fetch(); break;
    case 0x07: {                                                        // RLCA
        rA = static_cast<uint8_t>(rA << 1 | rA >> 7);
        rF = static_cast<uint8_t>((rF & kKeepSZP35) | (rA & kFlagC) | Z80_XY(rA));
        break;
    }
    case 0x08: std::swap(AF.W, AF2.W); break;                           // EX AF,AF'
    case 0x09: HL.W = Add16(HL.W, BC.W); break;
    case 0x0A: rA = c.Read(BC.W); break;                              // LD A,(BC)
    case 0x0B: --BC.W; break;
    case 0x0C: rC = Inc8(rC); break;
    case 0x0D: rC = Dec8(rC); break;
    case 0x0E: rC = c.Fetch(); break;
    case 0x0F: {                                                        // RRCA
        uint8_t carry = rA & 1;
        rA = static_cast<uint8_t>(rA >> 1 | carry << 7);
        rF = static_cast<uint8_t>((rF & kKeepSZP35) | carry | Z80_XY(rA));
        break;
    }
    case 0x10: {                                                        // DJNZ e
        int8_t e = static_cast<int8_t>(c.Fetch());
        if (--rB != 0) {
            c.pc = static_cast<uint16_t>(c.pc + e);
            c.cycles -= 5;
            if (c.skipWaits && e == -2) [[unlikely]]
                SkipDjnzLoop(c);
        }
        break;
    }
    case 0x11: DE.W = c.Fetch16(); break;
    case 0x12: c.Write(DE.W, rA); break;
    case 0x13: ++DE.W; break;
    case 0x14: rD = Inc8(rD); break;
    case 0x15: rD = Dec8(rD); break;
    case 0x16: rD = c.Fetch(); break;
    case 0x17: {                                                        // RLA
        uint8_t carry = rA >> 7;
        rA = static_cast<uint8_t>(rA << 1 | (rF & kFlagC));
        rF = static_cast<uint8_t>((rF & kKeepSZP35) | carry | Z80_XY(rA));
        break;
    }
    case 0x18: {                                                        // JR e
        int8_t e = static_cast<int8_t>(c.Fetch());
        c.pc = static_cast<uint16_t>(c.pc + e);
        if (e == -2) [[unlikely]]
            c.SkipWait(2, kCyclesMain[0x18] - 1);  // JR $
        break;
    }
    case 0x19: HL.W = Add16(HL.W, DE.W); break;
    case 0x1A: rA = c.Read(DE.W); break;
    case 0x1B: --DE.W; break;
    case 0x1C: rE = Inc8(rE); break;
    case 0x1D: rE = Dec8(rE); break;
    case 0x1E: rE = c.Fetch(); break;
    case 0x1F: {                                                        // RRA
        uint8_t carry = rA & 1;
        rA = static_cast<uint8_t>(rA >> 1 | (rF & kFlagC) << 7);
        rF = static_cast<uint8_t>((rF & kKeepSZP35) | carry | Z80_XY(rA));
        break;
    }
    case 0x20: {                                                        // JR NZ,e
        int8_t e = static_cast<int8_t>(c.Fetch());
        if (COND_NZ) {
            c.pc = static_cast<uint16_t>(c.pc + e);
            c.cycles -= 5;
            if (c.skipWaits && (e == -3 || e == -5)) [[unlikely]]
                SkipCountdownLoop(c);
        }
        break;
    }
    case 0x21: HL.W = c.Fetch16(); break;
    case 0x22: {                                                        // LD (nn),HL
        uint16_t nn = c.Fetch16();
        c.Write16(nn, HL.W);
        Z80_SET_MEMPTR(nn + 1);
        break;
    }
    case 0x23: ++HL.W; break;
    case 0x24: rH = Inc8(rH); break;
    case 0x25: rH = Dec8(rH); break;
    case 0x26: rH = c.Fetch(); break;
    case 0x27:                                                          // DAA
        AF.W = kDaaTable[rA | (rF & kFlagC) << 8 | (rF & kFlagH) << 5 | (rF & kFlagN) << 9];
        break;
    case 0x28: JR_IF(COND_Z);
    case 0x29: HL.W = Add16(HL.W, HL.W); break;
    case 0x2A: {                                                        // LD HL,(nn)
        uint16_t nn = c.Fetch16();
        HL.W = c.Read16(nn);
        Z80_SET_MEMPTR(nn + 1);
        break;
    }
    case 0x2B: --HL.W; break;
    case 0x2C: rL = Inc8(rL); break;
    case 0x2D: rL = Dec8(rL); break;
    case 0x2E: rL = c.Fetch(); break;
    case 0x2F:                                                          // CPL
        rA = static_cast<uint8_t>(~rA);
        rF = static_cast<uint8_t>((rF & (0xD7 | Z80_KEEP35)) | kFlagH | kFlagN | Z80_XY(rA));
        break;
    case 0x30: JR_IF(COND_NC);
    case 0x31: SP = c.Fetch16(); break;
    case 0x32: c.Write(c.Fetch16(), rA); break;                       // LD (nn),A
    case 0x33: ++SP; break;
    case 0x34: c.Write(HL.W, Inc8(c.Read(HL.W))); break;          // INC (HL)
    case 0x35: c.Write(HL.W, Dec8(c.Read(HL.W))); break;          // DEC (HL)
    case 0x36: c.Write(HL.W, c.Fetch()); break;                       // LD (HL),n
    case 0x37: rF = static_cast<uint8_t>((rF & kKeepSZP35) | kFlagC | Z80_XY(rA)); break;  // SCF
    case 0x38: JR_IF(COND_C);
    case 0x39: HL.W = Add16(HL.W, SP); break;
    case 0x3A: rA = c.Read(c.Fetch16()); break;                         // LD A,(nn)
    case 0x3B: --SP; break;
    case 0x3C: rA = Inc8(rA); break;
    case 0x3D: rA = Dec8(rA); break;
    case 0x3E: rA = c.Fetch(); break;
    case 0x3F:                                                          // CCF: old C into H
        rF = static_cast<uint8_t>((((rF & (kKeepSZP35 | kFlagC)) | (rF & kFlagC) << 4) ^ kFlagC) | Z80_XY(rA));
        break;

    // LD r,r' / LD r,(HL) / LD (HL),r
    case 0x40: break;
    case 0x41: rB = rC; break;
    case 0x42: rB = rD; break;
    case 0x43: rB = rE; break;
    case 0x44: rB = rH; break;
    case 0x45: rB = rL; break;
    case 0x46: rB = c.Read(HL.W); break;
    case 0x47: rB = rA; break;
    case 0x48: rC = rB; break;
    case 0x49: break;
    case 0x4A: rC = rD; break;
    case 0x4B: rC = rE; break;
    case 0x4C: rC = rH; break;
    case 0x4D: rC = rL; break;
    case 0x4E: rC = c.Read(HL.W); break;
    case 0x4F: rC = rA; break;
    case 0x50: rD = rB; break;
    case 0x51: rD = rC; break;
    case 0x52: break;
    case 0x53: rD = rE; break;
    case 0x54: rD = rH; break;
    case 0x55: rD = rL; break;
    case 0x56: rD = c.Read(HL.W); break;
    case 0x57: rD = rA; break;
    case 0x58: rE = rB; break;
    case 0x59: rE = rC; break;
    case 0x5A: rE = rD; break;
    case 0x5B: break;
    case 0x5C: rE = rH; break;
    case 0x5D: rE = rL; break;
    case 0x5E: rE = c.Read(HL.W); break;
    case 0x5F: rE = rA; break;
    case 0x60: rH = rB; break;
    case 0x61: rH = rC; break;
    case 0x62: rH = rD; break;
    case 0x63: rH = rE; break;
    case 0x64: break;
    case 0x65: rH = rL; break;
    case 0x66: rH = c.Read(HL.W); break;
    case 0x67: rH = rA; break;
    case 0x68: rL = rB; break;
    case 0x69: rL = rC; break;
    case 0x6A: rL = rD; break;
    case 0x6B: rL = rE; break;
    case 0x6C: rL = rH; break;
    case 0x6D: break;
    case 0x6E: rL = c.Read(HL.W); break;
    case 0x6F: rL = rA; break;
    case 0x70: c.Write(HL.W, rB); break;
    case 0x71: c.Write(HL.W, rC); break;
    case 0x72: c.Write(HL.W, rD); break;
    case 0x73: c.Write(HL.W, rE); break;
    case 0x74: c.Write(HL.W, rH); break;
    case 0x75: c.Write(HL.W, rL); break;
    case 0x77: c.Write(HL.W, rA); break;
    case 0x78: rA = rB; break;
    case 0x79: rA = rC; break;
    case 0x7A: rA = rD; break;
    case 0x7B: rA = rE; break;
    case 0x7C: rA = rH; break;
    case 0x7D: rA = rL; break;
    case 0x7E: rA = c.Read(HL.W); break;
    case 0x7F: break;

    // ADD/ADC/SUB/SBC/AND/XOR/OR/CP with r or (HL)
    case 0x80: Add8(rB); break;
    case 0x81: Add8(rC); break;
    case 0x82: Add8(rD); break;
    case 0x83: Add8(rE); break;
    case 0x84: Add8(rH); break;
    case 0x85: Add8(rL); break;
    case 0x86: Add8(c.Read(HL.W)); break;
    case 0x87: Add8(rA); break;
    case 0x88: Adc8(rB); break;
    case 0x89: Adc8(rC); break;
    case 0x8A: Adc8(rD); break;
    case 0x8B: Adc8(rE); break;
    case 0x8C: Adc8(rH); break;
    case 0x8D: Adc8(rL); break;
    case 0x8E: Adc8(c.Read(HL.W)); break;
    case 0x8F: Adc8(rA); break;
    case 0x90: Sub8(rB); break;
    case 0x91: Sub8(rC); break;
    case 0x92: Sub8(rD); break;
    case 0x93: Sub8(rE); break;
    case 0x94: Sub8(rH); break;
    case 0x95: Sub8(rL); break;
    case 0x96: Sub8(c.Read(HL.W)); break;
    case 0x97: Sub8(rA); break;
    case 0x98: Sbc8(rB); break;
    case 0x99: Sbc8(rC); break;
    case 0x9A: Sbc8(rD); break;
    case 0x9B: Sbc8(rE); break;
    case 0x9C: Sbc8(rH); break;
    case 0x9D: Sbc8(rL); break;
    case 0x9E: Sbc8(c.Read(HL.W)); break;
    case 0x9F: Sbc8(rA); break;
    case 0xA0: And8(rB); break;
    case 0xA1: And8(rC); break;
    case 0xA2: And8(rD); break;
    case 0xA3: And8(rE); break;
    case 0xA4: And8(rH); break;
    case 0xA5: And8(rL); break;
    case 0xA6: And8(c.Read(HL.W)); break;
    case 0xA7: And8(rA); break;
    case 0xA8: Xor8(rB); break;
    case 0xA9: Xor8(rC); break;
    case 0xAA: Xor8(rD); break;
    case 0xAB: Xor8(rE); break;
    case 0xAC: Xor8(rH); break;
    case 0xAD: Xor8(rL); break;
    case 0xAE: Xor8(c.Read(HL.W)); break;
    case 0xAF: Xor8(rA); break;
    case 0xB0: Or8(rB); break;
    case 0xB1: Or8(rC); break;
    case 0xB2: Or8(rD); break;
    case 0xB3: Or8(rE); break;
    case 0xB4: Or8(rH); break;
    case 0xB5: Or8(rL); break;
    case 0xB6: Or8(c.Read(HL.W)); break;
    case 0xB7: Or8(rA); break;
    case 0xB8: Cp8(rB); break;
    case 0xB9: Cp8(rC); break;
    case 0xBA: Cp8(rD); break;
    case 0xBB: Cp8(rE); break;
    case 0xBC: Cp8(rH); break;
    case 0xBD: Cp8(rL); break;
    case 0xBE: Cp8(c.Read(HL.W)); break;
    case 0xBF: Cp8(rA); break;

    case 0x76:                                                          // HALT
        // Stay on the opcode and drop the rest of the budget; every later
        // Execute runs HALT again until an interrupt moves c.pc past it.
        --c.pc;
        StatusFlags |= kHalt;
        c.cycles = 0;
        SavedBudget = 0;
        break;

    case 0xC0: RET_IF(COND_NZ);
    case 0xC1: BC.W = c.Pop(SP); break;
    case 0xC2: JP_IF(COND_NZ);
    case 0xC3: {                                                        // JP nn
        uint16_t nn = c.Fetch16();
        bool self = nn == static_cast<uint16_t>(c.pc - 3);
        c.pc = nn;
        if (self) [[unlikely]]
            c.SkipWait(3, kCyclesMain[0xC3] - 1);  // JP $
        break;
    }
    case 0xC4: CALL_IF(COND_NZ);
    case 0xC5: c.Push(SP, BC.W); break;
    case 0xC6: Add8(c.Fetch()); break;
    case 0xC7: RST(0x00);
    case 0xC8: RET_IF(COND_Z);
    case 0xC9: c.pc = c.Pop(SP); break;
    case 0xCA: JP_IF(COND_Z);
    case 0xCB: c.SyncOut(*this); ExecuteCB(); c.SyncIn(*this); break;
    case 0xCC: CALL_IF(COND_Z);
    case 0xCD: {                                                        // CALL nn
        uint16_t nn = c.Fetch16();
        c.Push(SP, c.pc);
        c.pc = nn;
        break;
    }
    case 0xCE: Adc8(c.Fetch()); break;
    case 0xCF: RST(0x08);
    case 0xD0: RET_IF(COND_NC);
    case 0xD1: DE.W = c.Pop(SP); break;
    case 0xD2: JP_IF(COND_NC);
    case 0xD3: {                                                        // OUT (n),A
        uint8_t n = c.Fetch();
        c.SyncOut(*this);
        Z80WritePort(static_cast<uint16_t>(rA << 8 | n), rA);
        c.SyncIn(*this);
        break;
    }
    case 0xD4: CALL_IF(COND_NC);
    case 0xD5: c.Push(SP, DE.W); break;
    case 0xD6: Sub8(c.Fetch()); break;
    case 0xD7: RST(0x10);
    case 0xD8: RET_IF(COND_C);
    case 0xD9:                                                          // EXX
        std::swap(BC.W, BC2.W);
        std::swap(DE.W, DE2.W);
        std::swap(HL.W, HL2.W);
        break;
    case 0xDA: JP_IF(COND_C);
    case 0xDB: {                                                        // IN A,(n)
        uint8_t n = c.Fetch();
        c.SyncOut(*this);
        rA = Z80ReadPort(static_cast<uint16_t>(rA << 8 | n));
        c.SyncIn(*this);
        break;
    }
    case 0xDC: CALL_IF(COND_C);
    case 0xDD: c.SyncOut(*this); ExecuteXY(IX); c.SyncIn(*this); break;
    case 0xDE: Sbc8(c.Fetch()); break;
    case 0xDF: RST(0x18);
    case 0xE0: RET_IF(COND_PO);
    case 0xE1: HL.W = c.Pop(SP); break;
    case 0xE2: JP_IF(COND_PO);
    case 0xE3: {                                                        // EX (SP),HL
        uint16_t t = c.Read16(SP);
        c.Write16(SP, HL.W);
        HL.W = t;
        break;
    }
    case 0xE4: CALL_IF(COND_PO);
    case 0xE5: c.Push(SP, HL.W); break;
    case 0xE6: And8(c.Fetch()); break;
    case 0xE7: RST(0x20);
    case 0xE8: RET_IF(COND_PE);
    case 0xE9: c.pc = HL.W; break;                                        // JP (HL)
    case 0xEA: JP_IF(COND_PE);
    case 0xEB: std::swap(DE.W, HL.W); break;
    case 0xEC: CALL_IF(COND_PE);
    case 0xED: c.SyncOut(*this); ExecuteED(); c.SyncIn(*this); break;
    case 0xEE: Xor8(c.Fetch()); break;
    case 0xEF: RST(0x28);
    case 0xF0: RET_IF(COND_P);
    case 0xF1: AF.W = c.Pop(SP); break;
    case 0xF2: JP_IF(COND_P);
    case 0xF3:                                                          // DI
        if (StatusFlags & kEiPending)
            c.cycles += SavedBudget - 1;  // EI's parked budget comes back
        StatusFlags &= static_cast<uint8_t>(~(kIff1 | kIff2 | kEiPending));
        break;
    case 0xF4: CALL_IF(COND_P);
    case 0xF5: c.Push(SP, AF.W); break;
    case 0xF6: Or8(c.Fetch()); break;
    case 0xF7: RST(0x30);
    case 0xF8: RET_IF(COND_M);
    case 0xF9: SP = HL.W; break;
    case 0xFA: JP_IF(COND_M);
    case 0xFB:                                                          // EI
        // Interrupts come on only after the next instruction: park the
        // budget and lend one cycle, so the loop ends right after it.
        if (!(StatusFlags & (kIff1 | kEiPending))) {
            StatusFlags |= kIff2 | kEiPending;
            SavedBudget = c.cycles;
            c.cycles = 1;
        }
        break;
    case 0xFC: CALL_IF(COND_M);
    case 0xFD: c.SyncOut(*this); ExecuteXY(IY); c.SyncIn(*this); break;
    case 0xFE: Cp8(c.Fetch()); break;
    case 0xFF: RST(0x38);
    }
}
