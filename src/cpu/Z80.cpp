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
        int8_t e = static_cast<int8_t>(c.Fetch());                    \
        if (cond) {                                                   \
            c.pc = static_cast<uint16_t>(c.pc + e);                   \
            c.cycles -= 5;                                            \
        }                                                             \
    }                                                                 \
    Z80_NEXT
#define JP_IF(cond)                                                   \
    {                                                                 \
        uint16_t nn = c.Fetch16();                                    \
        if (cond)                                                     \
            c.pc = nn;                                                \
    }                                                                 \
    Z80_NEXT
#define CALL_IF(cond)                                                 \
    {                                                                 \
        uint16_t nn = c.Fetch16();                                    \
        if (cond) {                                                   \
            c.Push(SP, c.pc);                                         \
            c.pc = nn;                                                \
            c.cycles -= 7;                                            \
        }                                                             \
    }                                                                 \
    Z80_NEXT
#define RET_IF(cond)                                                  \
    if (cond) {                                                       \
        c.pc = c.Pop(SP);                                             \
        c.cycles -= 6;                                                \
    }                                                                 \
    Z80_NEXT
#define RST(address)                                                  \
    c.Push(SP, c.pc);                                                 \
    c.pc = (address);                                                 \
    Z80_NEXT

// Flags kept by the accumulator rotates, ADD rr, SCF and CCF.
static constexpr uint8_t kKeepSZP35 = CZ80::kFlagS | CZ80::kFlagZ | CZ80::kFlagPV | Z80_KEEP35;

inline __attribute__((always_inline)) void CZ80::ExecuteMain(Z80FastState& c, uint8_t op)
{
#define Z80_OP(opcode) case opcode:
#define Z80_NEXT break
    switch (op) {
#include "cpu/Z80MainOps.inc"
    }
#undef Z80_OP
#undef Z80_NEXT
}

// The label of every opcode in Z80MainOps.inc, for the threaded loops below.
#define Z80_OP_LABELS \
    &&op_0x00, &&op_0x01, &&op_0x02, &&op_0x03, &&op_0x04, &&op_0x05, &&op_0x06, &&op_0x07, \
    &&op_0x08, &&op_0x09, &&op_0x0A, &&op_0x0B, &&op_0x0C, &&op_0x0D, &&op_0x0E, &&op_0x0F, \
    &&op_0x10, &&op_0x11, &&op_0x12, &&op_0x13, &&op_0x14, &&op_0x15, &&op_0x16, &&op_0x17, \
    &&op_0x18, &&op_0x19, &&op_0x1A, &&op_0x1B, &&op_0x1C, &&op_0x1D, &&op_0x1E, &&op_0x1F, \
    &&op_0x20, &&op_0x21, &&op_0x22, &&op_0x23, &&op_0x24, &&op_0x25, &&op_0x26, &&op_0x27, \
    &&op_0x28, &&op_0x29, &&op_0x2A, &&op_0x2B, &&op_0x2C, &&op_0x2D, &&op_0x2E, &&op_0x2F, \
    &&op_0x30, &&op_0x31, &&op_0x32, &&op_0x33, &&op_0x34, &&op_0x35, &&op_0x36, &&op_0x37, \
    &&op_0x38, &&op_0x39, &&op_0x3A, &&op_0x3B, &&op_0x3C, &&op_0x3D, &&op_0x3E, &&op_0x3F, \
    &&op_0x40, &&op_0x41, &&op_0x42, &&op_0x43, &&op_0x44, &&op_0x45, &&op_0x46, &&op_0x47, \
    &&op_0x48, &&op_0x49, &&op_0x4A, &&op_0x4B, &&op_0x4C, &&op_0x4D, &&op_0x4E, &&op_0x4F, \
    &&op_0x50, &&op_0x51, &&op_0x52, &&op_0x53, &&op_0x54, &&op_0x55, &&op_0x56, &&op_0x57, \
    &&op_0x58, &&op_0x59, &&op_0x5A, &&op_0x5B, &&op_0x5C, &&op_0x5D, &&op_0x5E, &&op_0x5F, \
    &&op_0x60, &&op_0x61, &&op_0x62, &&op_0x63, &&op_0x64, &&op_0x65, &&op_0x66, &&op_0x67, \
    &&op_0x68, &&op_0x69, &&op_0x6A, &&op_0x6B, &&op_0x6C, &&op_0x6D, &&op_0x6E, &&op_0x6F, \
    &&op_0x70, &&op_0x71, &&op_0x72, &&op_0x73, &&op_0x74, &&op_0x75, &&op_0x76, &&op_0x77, \
    &&op_0x78, &&op_0x79, &&op_0x7A, &&op_0x7B, &&op_0x7C, &&op_0x7D, &&op_0x7E, &&op_0x7F, \
    &&op_0x80, &&op_0x81, &&op_0x82, &&op_0x83, &&op_0x84, &&op_0x85, &&op_0x86, &&op_0x87, \
    &&op_0x88, &&op_0x89, &&op_0x8A, &&op_0x8B, &&op_0x8C, &&op_0x8D, &&op_0x8E, &&op_0x8F, \
    &&op_0x90, &&op_0x91, &&op_0x92, &&op_0x93, &&op_0x94, &&op_0x95, &&op_0x96, &&op_0x97, \
    &&op_0x98, &&op_0x99, &&op_0x9A, &&op_0x9B, &&op_0x9C, &&op_0x9D, &&op_0x9E, &&op_0x9F, \
    &&op_0xA0, &&op_0xA1, &&op_0xA2, &&op_0xA3, &&op_0xA4, &&op_0xA5, &&op_0xA6, &&op_0xA7, \
    &&op_0xA8, &&op_0xA9, &&op_0xAA, &&op_0xAB, &&op_0xAC, &&op_0xAD, &&op_0xAE, &&op_0xAF, \
    &&op_0xB0, &&op_0xB1, &&op_0xB2, &&op_0xB3, &&op_0xB4, &&op_0xB5, &&op_0xB6, &&op_0xB7, \
    &&op_0xB8, &&op_0xB9, &&op_0xBA, &&op_0xBB, &&op_0xBC, &&op_0xBD, &&op_0xBE, &&op_0xBF, \
    &&op_0xC0, &&op_0xC1, &&op_0xC2, &&op_0xC3, &&op_0xC4, &&op_0xC5, &&op_0xC6, &&op_0xC7, \
    &&op_0xC8, &&op_0xC9, &&op_0xCA, &&op_0xCB, &&op_0xCC, &&op_0xCD, &&op_0xCE, &&op_0xCF, \
    &&op_0xD0, &&op_0xD1, &&op_0xD2, &&op_0xD3, &&op_0xD4, &&op_0xD5, &&op_0xD6, &&op_0xD7, \
    &&op_0xD8, &&op_0xD9, &&op_0xDA, &&op_0xDB, &&op_0xDC, &&op_0xDD, &&op_0xDE, &&op_0xDF, \
    &&op_0xE0, &&op_0xE1, &&op_0xE2, &&op_0xE3, &&op_0xE4, &&op_0xE5, &&op_0xE6, &&op_0xE7, \
    &&op_0xE8, &&op_0xE9, &&op_0xEA, &&op_0xEB, &&op_0xEC, &&op_0xED, &&op_0xEE, &&op_0xEF, \
    &&op_0xF0, &&op_0xF1, &&op_0xF2, &&op_0xF3, &&op_0xF4, &&op_0xF5, &&op_0xF6, &&op_0xF7, \
    &&op_0xF8, &&op_0xF9, &&op_0xFA, &&op_0xFB, &&op_0xFC, &&op_0xFD, &&op_0xFE, &&op_0xFF

// Runs while the budget lasts, then finishes a pending EI, and repeats.
// Threaded: every opcode ends with the dispatch of the next one (a jump
// through the label table), so each opcode has an indirect jump of its own
// that the branch predictor learns separately, instead of one jump shared by
// all opcodes. (This is about half again as fast as a switch.)
int CZ80::Execute(int budget)
{
    CyclesLeft = budget;
    m_freeRunCount = 0;
    return Run();
}

int CZ80::Run()
{
    Z80FastState c;
    c.skipWaits = false;
    c.SyncIn(*this);
    static const void* const kOps[256] = {Z80_OP_LABELS};
    uint8_t op;
#define Z80_OP(opcode) op_##opcode:
#define Z80_NEXT                                                      \
    do {                                                              \
        if (c.cycles <= 0) [[unlikely]]                               \
            goto spent;                                               \
        if (c.trace) [[unlikely]]                                     \
            goto traced;                                              \
        op = c.Fetch();                                               \
        c.cycles -= kCyclesMain[op];                                  \
        goto* kOps[op];                                               \
    } while (0)
    for (;;) {
        Z80_NEXT;
#include "cpu/Z80MainOps.inc"
    traced:
        c.SyncOut(*this);
        TraceInstruction();
        c.SyncIn(*this);
        op = c.Fetch();
        c.cycles -= kCyclesMain[op];
        goto* kOps[op];
    spent:
        c.SyncOut(*this);
        if (!(StatusFlags & kEiPending)) [[likely]]
            break;
        FinishEi();
        c.SyncIn(*this);
    }
#undef Z80_OP
#undef Z80_NEXT
    return CyclesLeft;
}

// Most steps are a single unprefixed instruction whose count is its
// T-states less one, whatever budget it runs under: those run straight off
// the counted budget, threaded like Execute. The rest get a one-cycle budget
// of their own, exactly as Execute(1) gives them, so that everything that
// looks at the budget (LD A,R, the zero-cost guard, the EI loan, HALT) sees
// what it would see there.
int CZ80::ExecuteCounted(int countedBudget)
{
    if (countedBudget <= 0)
        return countedBudget;
    static const void* const kOps[256] = {Z80_OP_LABELS};
    Z80FastState c;
    c.skipWaits = true;
    c.waitStep = 0;
    c.SyncIn(*this);
    c.cycles = countedBudget;
    // CyclesLeft as the last Execute(1) would leave it is c.cycles less
    // this after the latest step.
    int32_t stepBase = c.cycles;
    const bool trace = c.trace;  // every step of a traced run is its own
    uint8_t op;
    uint8_t cost;
#define Z80_OP(opcode) op_##opcode:
#define Z80_NEXT                                                                                 \
    do {                                                                                         \
        if (c.cycles <= 0) [[unlikely]]                                                          \
            goto spent;                                                                          \
        if (trace || !c.Peek(c.pc, op) || (cost = kCountedMain[op]) == kOwnStep) [[unlikely]]    \
            goto ownStep;                                                                        \
        stepBase = c.cycles;                                                                     \
        ++c.pc;                                                                                  \
        c.cycles -= cost;                                                                        \
        goto* kOps[op];                                                                          \
    } while (0)
    Z80_NEXT;
#include "cpu/Z80MainOps.inc"
ownStep: {
    // A step of its own: Execute(1) itself, out of line, so that this
    // loop keeps its state in registers. A prefixed instruction read from
    // the windows runs its handler directly, as Execute(1) would after
    // fetching the prefix; only when the step goes on (a zero-cost form, an
    // EI loan) does the rest of Execute's loop follow.
    const uint16_t stepPc = c.pc;
    const int32_t remaining = c.cycles;
    c.SyncOut(*this);
    int32_t stepLeft;
    uint8_t prefix;
    if (!trace && c.Peek(stepPc, prefix) && kCyclesMain[prefix] == 0 && !(StatusFlags & kEiPending)) {
        PC = static_cast<uint16_t>(stepPc + 1);
        CyclesLeft = 1;
        m_freeRunCount = 0;
        switch (prefix) {
        case 0xCB: ExecuteCB(); break;
        case 0xDD: ExecuteXY(IX); break;
        case 0xED: ExecuteED(); break;
        default: ExecuteXY(IY); break;
        }
        stepLeft = (CyclesLeft > 0 || (StatusFlags & kEiPending)) ? Run() : CyclesLeft;
    } else {
        stepLeft = Execute(1);
    }
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
    Z80_NEXT;
}
#undef Z80_OP
#undef Z80_NEXT
spent:
    const int32_t left = c.cycles;
    c.SyncOut(*this);
    // A skipped wait ends the run; its steps each leave -step.
    CyclesLeft = c.waitStep != 0 ? -c.waitStep : left - stepBase;
    return left;
}

#undef Z80_OP_LABELS
