// CZ80 prefixed instruction groups: CB, ED (with the block instructions),
// DD/FD (IX/IY in place of HL) and DDCB/FDCB.
#include "cpu/Z80.h"

#include "cpu/Z80Alu.h"

using z80tables::kCyclesCB;
using z80tables::kCyclesED;
using z80tables::kCyclesXY;
using z80tables::kCyclesXYCB;

namespace {

// Register operand of the standard encoding (0 B .. 7 A; 6 is (HL) and is
// handled by the caller). With an index pair, 4 and 5 are its high and low
// halves (IXH/IXL, IYH/IYL).
uint8_t& Reg8(CZ80& cpu, int index, Z80Pair& hl)
{
    switch (index & 7) {
    case 0: return cpu.BC.B.H;
    case 1: return cpu.BC.B.L;
    case 2: return cpu.DE.B.H;
    case 3: return cpu.DE.B.L;
    case 4: return hl.B.H;
    case 5: return hl.B.L;
    default: return cpu.AF.B.H;
    }
}

}  // namespace

void CZ80::ExecuteCB()
{
    uint8_t op = Fetch();
    CyclesLeft -= kCyclesCB[op];
    int r = op & 7, n = (op >> 3) & 7;
    uint8_t v = r == 6 ? ReadByte(HL.W) : Reg8(*this, r, HL);
    if (op < 0x40) {
        v = RotateShift(n, v);
    } else if (op < 0x80) {
#ifdef KELVARA_Z80_XYFLAGS
        Bit(n, v, r == 6 ? static_cast<uint8_t>(m_memptr >> 8) : v);
#else
        Bit(n, v, v);
#endif
        return;
    } else if (op < 0xC0) {
        v = static_cast<uint8_t>(v & ~(1u << n));
    } else {
        v = static_cast<uint8_t>(v | 1u << n);
    }
    if (r == 6)
        Z80WriteMem(HL.W, v);
    else
        Reg8(*this, r, HL) = v;
}

void CZ80::ExecuteED()
{
    uint8_t op = Fetch();
    CyclesLeft -= kCyclesED[op];
    switch (op) {
    // IN r,(C); ED 70 sets the flags only.
    case 0x40: case 0x48: case 0x50: case 0x58: case 0x60: case 0x68: case 0x70: case 0x78: {
        uint8_t v = Z80ReadPort(BC.W);
        rF = static_cast<uint8_t>(kFlagsZSP[v] | (rF & kFlagC) | Z80_XY(v));
        if (op != 0x70)
            Reg8(*this, op >> 3, HL) = v;
        break;
    }
    // OUT (C),r
    case 0x41: case 0x49: case 0x51: case 0x59: case 0x61: case 0x69: case 0x79:
        Z80WritePort(BC.W, Reg8(*this, op >> 3, HL));
        break;
    case 0x42: Sbc16(BC.W); break;
    case 0x52: Sbc16(DE.W); break;
    case 0x62: Sbc16(HL.W); break;
    case 0x72: Sbc16(SP); break;
    case 0x4A: Adc16(BC.W); break;
    case 0x5A: Adc16(DE.W); break;
    case 0x6A: Adc16(HL.W); break;
    case 0x7A: Adc16(SP); break;
    case 0x43: { uint16_t nn = Fetch16(); Write16(nn, BC.W); Z80_SET_MEMPTR(nn + 1); break; }
    case 0x53: { uint16_t nn = Fetch16(); Write16(nn, DE.W); Z80_SET_MEMPTR(nn + 1); break; }
    case 0x63: { uint16_t nn = Fetch16(); Write16(nn, HL.W); Z80_SET_MEMPTR(nn + 1); break; }
    case 0x73: { uint16_t nn = Fetch16(); Write16(nn, SP); Z80_SET_MEMPTR(nn + 1); break; }
    case 0x4B: { uint16_t nn = Fetch16(); BC.W = Read16(nn); Z80_SET_MEMPTR(nn + 1); break; }
    case 0x5B: { uint16_t nn = Fetch16(); DE.W = Read16(nn); Z80_SET_MEMPTR(nn + 1); break; }
    case 0x6B: { uint16_t nn = Fetch16(); HL.W = Read16(nn); Z80_SET_MEMPTR(nn + 1); break; }
    case 0x7B: { uint16_t nn = Fetch16(); SP = Read16(nn); Z80_SET_MEMPTR(nn + 1); break; }
    case 0x44: {                                                        // NEG
        uint8_t a = rA, r = static_cast<uint8_t>(0 - a);
        rF = static_cast<uint8_t>(kFlagsZS[r] | ((a ^ r) & kFlagH) | (a == 0x80 ? kFlagPV : 0) |
                                  kFlagN | (a != 0 ? kFlagC : 0) | Z80_XY(r));
        rA = r;
        break;
    }
    case 0x45: case 0x4D:                                               // RETN, RETI
        StatusFlags = static_cast<uint8_t>((StatusFlags & ~kIff1) | ((StatusFlags & kIff2) ? kIff1 : 0));
        PC = Pop();
        break;
    case 0x46: StatusFlags &= static_cast<uint8_t>(~(kIm1 | kIm2)); break;
    case 0x56: StatusFlags = static_cast<uint8_t>((StatusFlags & ~kIm2) | kIm1); break;
    case 0x5E: StatusFlags = static_cast<uint8_t>((StatusFlags & ~kIm1) | kIm2); break;
    case 0x47: I = rA; break;                                           // LD I,A
    case 0x4F: break;                                                   // LD R,A: no effect
    case 0x57:                                                          // LD A,I
        rA = I;
        rF = static_cast<uint8_t>(kFlagsZS[rA] | ((StatusFlags & kIff2) ? kFlagPV : 0) |
                                  (rF & kFlagC) | Z80_XY(rA));
        break;
    case 0x5F:                                                          // LD A,R
        // R is not counted per fetch; this read advances it and mixes in the
        // budget so that programs seeding a random generator get varied values.
        ++R;
        rA = static_cast<uint8_t>(R - static_cast<uint8_t>(CyclesLeft));
        rF = static_cast<uint8_t>(kFlagsZS[rA] | ((StatusFlags & kIff2) ? kFlagPV : 0) |
                                  (rF & kFlagC) | Z80_XY(rA));
        break;
    case 0x67: {                                                        // RRD
        uint8_t m = ReadByte(HL.W);
        Z80WriteMem(HL.W, static_cast<uint8_t>(rA << 4 | m >> 4));
        rA = static_cast<uint8_t>((rA & 0xF0) | (m & 0x0F));
        rF = static_cast<uint8_t>(kFlagsZSP[rA] | (rF & kFlagC) | Z80_XY(rA));
        break;
    }
    case 0x6F: {                                                        // RLD
        uint8_t m = ReadByte(HL.W);
        Z80WriteMem(HL.W, static_cast<uint8_t>(m << 4 | (rA & 0x0F)));
        rA = static_cast<uint8_t>((rA & 0xF0) | m >> 4);
        rF = static_cast<uint8_t>(kFlagsZSP[rA] | (rF & kFlagC) | Z80_XY(rA));
        break;
    }
    case 0xA0: case 0xA1: case 0xA2: case 0xA3:
    case 0xA8: case 0xA9: case 0xAA: case 0xAB:
        BlockStep(op);
        break;
    case 0xB0: case 0xB1: case 0xB2: case 0xB3:
    case 0xB8: case 0xB9: case 0xBA: case 0xBB:
        BlockRepeat(op);
        break;
    case 0xED:
        // ED ED: the first ED is dropped and the second starts a new instruction.
        --PC;
        ChargeFreeInstruction();
        break;
    default:
        ChargeFreeInstruction();  // undefined ED opcode: no effect
        break;
    }
}

// One step of LDI/CPI/INI/OUTI (op bit 3 clear: HL and DE count up) or
// LDD/CPD/IND/OUTD (bit 3 set: count down). Returns true when the
// instruction's work is done: the count (BC, or B for the I/O forms) reached
// zero, or CPI/CPD found A.
bool CZ80::BlockStep(uint8_t op)
{
    uint16_t step = (op & 0x08) ? 0xFFFF : 1;
    switch (op & 3) {
    case 0: {                                                           // LDI/LDD
        uint8_t v = ReadByte(HL.W);
        Z80WriteMem(DE.W, v);
        HL.W = static_cast<uint16_t>(HL.W + step);
        DE.W = static_cast<uint16_t>(DE.W + step);
        --BC.W;
        // Exerciser build: bits 3 and 5 are bits 3 and 1 of A + the byte moved.
        [[maybe_unused]] uint8_t n = static_cast<uint8_t>(v + rA);
        rF = static_cast<uint8_t>((rF & (0xC1 | Z80_KEEP35)) | (BC.W != 0 ? kFlagPV : 0) |
                                  Z80_XY((n & 0x08) | (n & 0x02) << 4));
        return BC.W == 0;
    }
    case 1: {                                                           // CPI/CPD
        uint8_t v = ReadByte(HL.W);
        uint8_t r = static_cast<uint8_t>(rA - v);
        HL.W = static_cast<uint16_t>(HL.W + step);
        --BC.W;
        uint8_t h = (rA ^ v ^ r) & kFlagH;
        // Exerciser build: bits 3 and 5 are bits 3 and 1 of A - byte - H.
        [[maybe_unused]] uint8_t n = static_cast<uint8_t>(r - (h >> 4));
        rF = static_cast<uint8_t>(kFlagsZS[r] | h | (BC.W != 0 ? kFlagPV : 0) | kFlagN |
                                  (rF & kFlagC) | Z80_XY((n & 0x08) | (n & 0x02) << 4));
        return BC.W == 0 || r == 0;
    }
    case 2: {                                                           // INI/IND
        Z80WriteMem(HL.W, Z80ReadPort(BC.W));
        HL.W = static_cast<uint16_t>(HL.W + step);
        --rB;
        rF = rB == 0 ? (kFlagZ | kFlagN) : kFlagN;
        return rB == 0;
    }
    default: {                                                          // OUTI/OUTD
        --rB;
        Z80WritePort(BC.W, ReadByte(HL.W));
        HL.W = static_cast<uint16_t>(HL.W + step);
        rF = rB == 0 ? (kFlagZ | kFlagN) : kFlagN;
        return rB == 0;
    }
    }
}

// LDIR, CPIR, INIR, OTIR, LDDR, CPDR, INDR, OTDR: repeat the step inside one
// instruction at 21 T-states each. Finishing refunds 5 (the last step costs
// 16); running out of budget first leaves PC on the ED byte so the next
// Execute resumes the instruction.
void CZ80::BlockRepeat(uint8_t op)
{
    uint8_t single = static_cast<uint8_t>(op & ~0x10);  // B0 -> A0 etc.
    for (;;) {
        bool done = BlockStep(single);
        CyclesLeft -= 21;
        if (done) {
            CyclesLeft += 5;
            return;
        }
        if (CyclesLeft <= 0) {
            PC = static_cast<uint16_t>(PC - 2);
            return;
        }
    }
}

void CZ80::ExecuteXY(Z80Pair& xy)
{
    uint8_t op = Fetch();
    CyclesLeft -= kCyclesXY[op];
    // (IX+d): the displacement follows the opcode.
    auto indexed = [&] {
        return static_cast<uint16_t>(xy.W + static_cast<int8_t>(Fetch()));
    };
    switch (op) {
    case 0x09: xy.W = Add16(xy.W, BC.W); return;
    case 0x19: xy.W = Add16(xy.W, DE.W); return;
    case 0x29: xy.W = Add16(xy.W, xy.W); return;
    case 0x39: xy.W = Add16(xy.W, SP); return;
    case 0x21: xy.W = Fetch16(); return;
    case 0x22: { uint16_t nn = Fetch16(); Write16(nn, xy.W); Z80_SET_MEMPTR(nn + 1); return; }
    case 0x2A: { uint16_t nn = Fetch16(); xy.W = Read16(nn); Z80_SET_MEMPTR(nn + 1); return; }
    case 0x23: ++xy.W; return;
    case 0x2B: --xy.W; return;
    case 0x24: xy.B.H = Inc8(xy.B.H); return;
    case 0x25: xy.B.H = Dec8(xy.B.H); return;
    case 0x26: xy.B.H = Fetch(); return;
    case 0x2C: xy.B.L = Inc8(xy.B.L); return;
    case 0x2D: xy.B.L = Dec8(xy.B.L); return;
    case 0x2E: xy.B.L = Fetch(); return;
    case 0x34: {
        uint16_t a = indexed();
        Z80WriteMem(a, Inc8(ReadByte(a)));
        return;
    }
    case 0x35: {
        uint16_t a = indexed();
        Z80WriteMem(a, Dec8(ReadByte(a)));
        return;
    }
    case 0x36: {                                                        // LD (IX+d),n
        uint16_t a = indexed();
        Z80WriteMem(a, Fetch());
        return;
    }
    case 0xCB: ExecuteXYCB(xy); return;
    case 0xDD: case 0xFD:
        // The first prefix is dropped; the second starts a new instruction.
        --PC;
        ChargeFreeInstruction();
        return;
    case 0xED:
        ChargeFreeInstruction();  // DD ED: the ED is consumed with no effect
        return;
    case 0xE1: xy.W = Pop(); return;
    case 0xE3: {
        uint16_t t = Read16(SP);
        Write16(SP, xy.W);
        xy.W = t;
        return;
    }
    case 0xE5: Push(xy.W); return;
    case 0xE9: PC = xy.W; return;
    case 0xF9: SP = xy.W; return;
    default: break;
    }

    if (op >= 0x40 && op < 0x80 && op != 0x76) {
        int dst = (op >> 3) & 7, src = op & 7;
        if (src == 6) {         // LD r,(IX+d): r is the plain register, H and L included
            Reg8(*this, dst, HL) = ReadByte(indexed());
            return;
        }
        if (dst == 6) {         // LD (IX+d),r
            Z80WriteMem(indexed(), Reg8(*this, src, HL));
            return;
        }
        if (dst == 4 || dst == 5 || src == 4 || src == 5) {
            Reg8(*this, dst, xy) = Reg8(*this, src, xy);
            return;
        }
    } else if (op >= 0x80 && op < 0xC0) {
        int src = op & 7;
        if (src == 6) {
            Alu8(op >> 3, ReadByte(indexed()));
            return;
        }
        if (src == 4 || src == 5) {
            Alu8(op >> 3, Reg8(*this, src, xy));
            return;
        }
    }

    // Nothing to substitute: the plain instruction, charged only its
    // taken-branch extra if any.
    int before = CyclesLeft;
    ExecutePlain(op);
    if (CyclesLeft == before)
        ChargeFreeInstruction();
}

void CZ80::ExecuteXYCB(Z80Pair& xy)
{
    uint16_t a = static_cast<uint16_t>(xy.W + static_cast<int8_t>(Fetch()));
    uint8_t op = Fetch();
    CyclesLeft -= kCyclesXYCB[op];
    int n = (op >> 3) & 7;
    if (op >= 0x40 && op < 0x80) {
        Bit(n, ReadByte(a), static_cast<uint8_t>(a >> 8));  // BIT n,(IX+d), all eight encodings
        return;
    }
    if ((op & 7) != 6) {
        ChargeFreeInstruction();  // register-copy forms are not carried
        return;
    }
    uint8_t v = ReadByte(a);
    if (op < 0x40)
        v = RotateShift(n, v);
    else if (op < 0xC0)
        v = static_cast<uint8_t>(v & ~(1u << n));
    else
        v = static_cast<uint8_t>(v | 1u << n);
    Z80WriteMem(a, v);
}
