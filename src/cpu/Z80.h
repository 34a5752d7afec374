// CZ80: the Z80 interpreter that runs a sound board's program.
//
// Driven by a cycle budget: Execute(budget) runs instructions until the budget
// is used up and returns what is left (zero or negative: the overrun). The
// core reaches memory and ports only through the bus functions of Z80Bus.h
// and takes interrupts only when the board calls Interrupt().
//
// The register record is public: the board reads and writes it directly (for
// example A and PC to start a sound command). Every 8-bit register is
// addressable as its own byte and as half of its pair (AF.B.H is A, AF.W the
// pair).
#pragma once

#include <bit>
#include <cstdint>

static_assert(std::endian::native == std::endian::little,
              "Z80Pair overlays the two bytes of a pair on a 16-bit word");

struct Z80FastState;

union Z80Pair {
    uint16_t W;
    struct {
        uint8_t L;  // low byte: F, C, E, L, IXL, IYL
        uint8_t H;  // high byte: A, B, D, H, IXH, IYH
    } B;
};
static_assert(sizeof(Z80Pair) == 2);

class CZ80 {
public:
    // StatusFlags bits.
    static constexpr uint8_t kIff1 = 0x01;
    static constexpr uint8_t kIm1 = 0x02;
    static constexpr uint8_t kIm2 = 0x04;
    static constexpr uint8_t kIff2 = 0x08;
    static constexpr uint8_t kEiPending = 0x20;
    static constexpr uint8_t kHalt = 0x80;

    // Interrupt() value for the non-maskable interrupt; PendingIrq for none.
    static constexpr uint16_t kNmi = 0xFFFE;
    static constexpr uint16_t kNoIrq = 0xFFFF;

    // F bits.
    static constexpr uint8_t kFlagC = 0x01;
    static constexpr uint8_t kFlagN = 0x02;
    static constexpr uint8_t kFlagPV = 0x04;
    static constexpr uint8_t kFlag3 = 0x08;
    static constexpr uint8_t kFlagH = 0x10;
    static constexpr uint8_t kFlag5 = 0x20;
    static constexpr uint8_t kFlagZ = 0x40;
    static constexpr uint8_t kFlagS = 0x80;

    // The longest disassembly line ("LD (IX+12h),34h") plus its terminator.
    static constexpr int kDisassemblyBufferSize = 16;

    CZ80() = default;
    virtual ~CZ80();

    // Power-on state: pairs 0, SP 0xF000, interrupts off in mode 0, trace off.
    void Reset();

    // Runs instructions while budget remains; returns the remainder (<= 0),
    // or the budget itself when it is <= 0 (nothing runs then).
    int Execute(int budget);

    // Runs instructions in steps, each counted as Execute(1) would count it,
    // until countedBudget is used; returns the remainder (<= 0: the overrun),
    // or the budget itself when it is <= 0. A step is one instruction (EI and
    // the one after it together; a run of zero-cost forms together with the
    // instruction that ends it), counted as its T-states less one and at
    // least 1; a block instruction's step is one repetition. Calling
    // ExecuteCounted(n) leaves the CPU, CyclesLeft included, exactly as
    // calling Execute(1) until n counted cycles are used, only faster: a CPU
    // waiting in place (HALT, JR $, JP $, read through the fast windows) is
    // fast-forwarded to the end of the budget, and a countdown delay loop
    // (DJNZ $; DEC r / JR NZ back to it; DEC rr / LD A,r / OR r' / JR NZ
    // back to it, read through the fast windows) runs the whole iterations
    // that fit in one go. Inside a port operation
    // CyclesLeft holds the counted budget left, not a step's own remainder.
    int ExecuteCounted(int countedBudget);

    // NMI (kNmi) or a maskable request whose low byte is the data-bus value.
    // Charges no T-states.
    void Interrupt(uint16_t value);

    // Writes one line of assembler text for the instruction at address into
    // text (at least kDisassemblyBufferSize chars) and returns its length in
    // bytes. Reads memory through Z80ReadMem only; changes no CPU state.
    uint16_t Disassemble(char* text, uint16_t address) const;

    // --- the register/state record (field order is part of the design) ---
    Z80Pair AF{}, BC{}, DE{}, HL{}, IX{}, IY{};
    uint16_t PC = 0;
    uint16_t SP = 0;
    Z80Pair AF2{}, BC2{}, DE2{}, HL2{};  // the alternate set
    uint8_t StatusFlags = 0;
    uint8_t I = 0;
    uint8_t R = 0;
    int32_t ResetBudget = 0;
    int32_t CyclesLeft = 0;
    int32_t SavedBudget = 0;
    uint16_t PendingIrq = 0;
    uint8_t AckClearsPending = 0;
    uint8_t TraceOn = 0;
    uint16_t TraceLow = 0;
    uint16_t TraceHigh = 0;

    // Instructions that cost 0 T-states (plain forms behind DD/FD, the no-op
    // ED and DDCB/FDCB forms, dropped prefixes) are free only for a while: after
    // this many in a row each further one is charged 1 T-state, so that a
    // memory image made of such bytes cannot keep Execute() running forever.
    static constexpr int kFreeRunLimit = 64;

private:
    uint8_t Fetch() { return ReadByte(PC++); }
    static uint8_t ReadByte(uint16_t address);
    uint16_t Fetch16();
    uint16_t Read16(uint16_t address);
    void Write16(uint16_t address, uint16_t value);
    void Push(uint16_t value);
    uint16_t Pop();

    int Run();                             // Execute's loop, from CyclesLeft as it stands
    void ExecuteMain(Z80FastState& c, uint8_t op);  // one unprefixed opcode, as a switch
    void FinishEi();                       // the instruction after EI has run
    int IdleStepCycles(uint16_t pc, const uint8_t* readBase, uint32_t readSize) const;
    void SkipDjnzLoop(Z80FastState& c);      // DJNZ $ (ExecuteCounted only)
    void SkipCountdownLoop(Z80FastState& c); // DEC r / DEC rr delay loops (same)
    void ExecutePlain(uint8_t op);         // same, out of line, for DD/FD plain forms
    void ExecuteCB();
    void ExecuteED();
    void ExecuteXY(Z80Pair& xy);
    void ExecuteXYCB(Z80Pair& xy);
    bool BlockStep(uint8_t op);            // LDI .. OUTD; true when done
    void BlockRepeat(uint8_t op);          // LDIR .. OTDR
    void ChargeFreeInstruction();
    void TraceInstruction();

    // 8-bit ALU and flag helpers (Z80Alu.h).
    void Add8(uint8_t v);
    void Adc8(uint8_t v);
    void Sub8(uint8_t v);
    void Sbc8(uint8_t v);
    void And8(uint8_t v);
    void Xor8(uint8_t v);
    void Or8(uint8_t v);
    void Cp8(uint8_t v);
    void Alu8(int op, uint8_t v);
    uint8_t Inc8(uint8_t v);
    uint8_t Dec8(uint8_t v);
    uint16_t Add16(uint16_t a, uint16_t b);
    void Adc16(uint16_t v);
    void Sbc16(uint16_t v);
    uint8_t RotateShift(int op, uint8_t v);
    void Bit(int n, uint8_t v, uint8_t xySource);

    // Guards against endless runs of zero-cost instructions (kFreeRunLimit).
    int32_t m_freeRunMark = 0;
    int32_t m_freeRunCount = 0;
#ifdef KELVARA_Z80_XYFLAGS
    uint16_t m_memptr = 0;  // exerciser build only: source of BIT n,(HL) bits 0x08/0x20
#endif
};
