// Internal to the Z80 core: register shorthands, memory helpers and the
// arithmetic/logic operations with their flag rules. Included only by the
// core's own source files.
//
// Flag rules: S and Z come from kFlagsZS for arithmetic and from kFlagsZSP
// (with parity in P/V) for logic, rotates and shifts. H is bit 4 of
// op1 ^ op2 ^ result; overflow is taken from the operand and result signs; C
// from the carry out of the wider intermediate. Bits 0x08 and 0x20 are never
// derived from a result (only DAA sets them, from its table): an operation that
// rebuilds F leaves them 0, one that changes only some flags keeps them.
#pragma once

#include "cpu/Z80.h"
#include "cpu/Z80Bus.h"
#include "cpu/Z80Tables.h"

// Exerciser build (KELVARA_Z80_XYFLAGS, used only by a test tool): F bits
// 0x08/0x20 are also derived from results as the hardware does, so that the
// full instruction exerciser can check every other bit. In the product these
// macros compile to nothing: the two builds differ in those two bits only.
#ifdef KELVARA_Z80_XYFLAGS
#define Z80_XY(v) ((v) & 0x28)
#define Z80_KEEP35 0
#define Z80_SET_MEMPTR(value) (m_memptr = static_cast<uint16_t>(value))
#else
#define Z80_XY(v) (0 & (v))
#define Z80_KEEP35 (CZ80::kFlag3 | CZ80::kFlag5)
#define Z80_SET_MEMPTR(value) static_cast<void>(0)
#endif

#define rA AF.B.H
#define rF AF.B.L
#define rB BC.B.H
#define rC BC.B.L
#define rD DE.B.H
#define rE DE.B.L
#define rH HL.B.H
#define rL HL.B.L

using z80tables::kFlagsZS;
using z80tables::kFlagsZSP;

inline uint8_t CZ80::ReadByte(uint16_t address) { return Z80ReadMem(address); }

inline uint16_t CZ80::Fetch16()
{
    uint8_t low = Fetch();
    return static_cast<uint16_t>(low | Fetch() << 8);
}

inline uint16_t CZ80::Read16(uint16_t address)
{
    uint8_t low = Z80ReadMem(address);
    return static_cast<uint16_t>(low | Z80ReadMem(static_cast<uint16_t>(address + 1)) << 8);
}

inline void CZ80::Write16(uint16_t address, uint16_t value)
{
    Z80WriteMem(address, static_cast<uint8_t>(value));
    Z80WriteMem(static_cast<uint16_t>(address + 1), static_cast<uint8_t>(value >> 8));
}

inline void CZ80::Push(uint16_t value)
{
    Z80WriteMem(--SP, static_cast<uint8_t>(value >> 8));
    Z80WriteMem(--SP, static_cast<uint8_t>(value));
}

inline uint16_t CZ80::Pop()
{
    uint8_t low = Z80ReadMem(SP++);
    return static_cast<uint16_t>(low | Z80ReadMem(SP++) << 8);
}

inline void CZ80::Add8(uint8_t v)
{
    unsigned a = rA, r = a + v;
    rF = static_cast<uint8_t>(kFlagsZS[r & 0xFF] | ((a ^ v ^ r) & kFlagH) | (r >> 8) |
                              (((a ^ r) & (v ^ r) & 0x80) >> 5) | Z80_XY(r));
    rA = static_cast<uint8_t>(r);
}

inline void CZ80::Adc8(uint8_t v)
{
    unsigned a = rA, r = a + v + (rF & kFlagC);
    rF = static_cast<uint8_t>(kFlagsZS[r & 0xFF] | ((a ^ v ^ r) & kFlagH) | (r >> 8) |
                              (((a ^ r) & (v ^ r) & 0x80) >> 5) | Z80_XY(r));
    rA = static_cast<uint8_t>(r);
}

inline void CZ80::Sub8(uint8_t v)
{
    unsigned a = rA, r = a - v;
    rF = static_cast<uint8_t>(kFlagsZS[r & 0xFF] | kFlagN | ((a ^ v ^ r) & kFlagH) |
                              ((r >> 8) & 1) | (((a ^ v) & (a ^ r) & 0x80) >> 5) | Z80_XY(r));
    rA = static_cast<uint8_t>(r);
}

inline void CZ80::Sbc8(uint8_t v)
{
    unsigned a = rA, r = a - v - (rF & kFlagC);
    rF = static_cast<uint8_t>(kFlagsZS[r & 0xFF] | kFlagN | ((a ^ v ^ r) & kFlagH) |
                              ((r >> 8) & 1) | (((a ^ v) & (a ^ r) & 0x80) >> 5) | Z80_XY(r));
    rA = static_cast<uint8_t>(r);
}

inline void CZ80::Cp8(uint8_t v)
{
    unsigned a = rA, r = a - v;
    rF = static_cast<uint8_t>(kFlagsZS[r & 0xFF] | kFlagN | ((a ^ v ^ r) & kFlagH) |
                              ((r >> 8) & 1) | (((a ^ v) & (a ^ r) & 0x80) >> 5) | Z80_XY(v));
}

inline void CZ80::And8(uint8_t v)
{
    rA &= v;
    rF = static_cast<uint8_t>(kFlagsZSP[rA] | kFlagH | Z80_XY(rA));
}

inline void CZ80::Xor8(uint8_t v)
{
    rA ^= v;
    rF = static_cast<uint8_t>(kFlagsZSP[rA] | Z80_XY(rA));
}

inline void CZ80::Or8(uint8_t v)
{
    rA |= v;
    rF = static_cast<uint8_t>(kFlagsZSP[rA] | Z80_XY(rA));
}

// op: 0 ADD, 1 ADC, 2 SUB, 3 SBC, 4 AND, 5 XOR, 6 OR, 7 CP (bits 3-5 of the opcode).
inline void CZ80::Alu8(int op, uint8_t v)
{
    switch (op & 7) {
    case 0: Add8(v); break;
    case 1: Adc8(v); break;
    case 2: Sub8(v); break;
    case 3: Sbc8(v); break;
    case 4: And8(v); break;
    case 5: Xor8(v); break;
    case 6: Or8(v); break;
    default: Cp8(v); break;
    }
}

inline uint8_t CZ80::Inc8(uint8_t v)
{
    uint8_t r = static_cast<uint8_t>(v + 1);
    rF = static_cast<uint8_t>((rF & kFlagC) | kFlagsZS[r] | ((r & 0x0F) == 0 ? kFlagH : 0) |
                              (r == 0x80 ? kFlagPV : 0) | Z80_XY(r));
    return r;
}

inline uint8_t CZ80::Dec8(uint8_t v)
{
    uint8_t r = static_cast<uint8_t>(v - 1);
    rF = static_cast<uint8_t>((rF & kFlagC) | kFlagN | kFlagsZS[r] |
                              ((r & 0x0F) == 0x0F ? kFlagH : 0) | (r == 0x7F ? kFlagPV : 0) | Z80_XY(r));
    return r;
}

// ADD HL/IX/IY,rr: H from bit 11, C from bit 15; S, Z, P/V and bits 3/5 kept.
inline uint16_t CZ80::Add16(uint16_t a, uint16_t b)
{
    uint32_t r = static_cast<uint32_t>(a) + b;
    rF = static_cast<uint8_t>((rF & (kFlagS | kFlagZ | kFlagPV | Z80_KEEP35)) |
                              (((a ^ b ^ r) >> 8) & kFlagH) | (r >> 16) | Z80_XY(r >> 8));
    return static_cast<uint16_t>(r);
}

inline void CZ80::Adc16(uint16_t v)
{
    uint32_t a = HL.W, r = a + v + (rF & kFlagC);
    rF = static_cast<uint8_t>(((r >> 8) & kFlagS) | ((r & 0xFFFF) == 0 ? kFlagZ : 0) |
                              (((a ^ v ^ r) >> 8) & kFlagH) |
                              (((a ^ r) & (v ^ r) & 0x8000) >> 13) | ((r >> 16) & 1) | Z80_XY(r >> 8));
    HL.W = static_cast<uint16_t>(r);
}

inline void CZ80::Sbc16(uint16_t v)
{
    uint32_t a = HL.W, r = a - v - (rF & kFlagC);
    rF = static_cast<uint8_t>(((r >> 8) & kFlagS) | ((r & 0xFFFF) == 0 ? kFlagZ : 0) | kFlagN |
                              (((a ^ v ^ r) >> 8) & kFlagH) |
                              (((a ^ v) & (a ^ r) & 0x8000) >> 13) | ((r >> 16) & 1) | Z80_XY(r >> 8));
    HL.W = static_cast<uint16_t>(r);
}

// CB-group rotates and shifts, op = bits 3-5 of the opcode:
// RLC, RRC, RL, RR, SLA, SRA, SLL (shift left, bit 0 set), SRL.
// F = kFlagsZSP[result] | C; H and N cleared.
inline uint8_t CZ80::RotateShift(int op, uint8_t v)
{
    unsigned r, c;
    switch (op & 7) {
    case 0: c = v >> 7; r = (v << 1) | c; break;
    case 1: c = v & 1; r = (v >> 1) | (c << 7); break;
    case 2: c = v >> 7; r = (v << 1) | (rF & kFlagC); break;
    case 3: c = v & 1; r = (v >> 1) | ((rF & kFlagC) << 7); break;
    case 4: c = v >> 7; r = v << 1; break;
    case 5: c = v & 1; r = (v >> 1) | (v & 0x80); break;
    case 6: c = v >> 7; r = (v << 1) | 1; break;
    default: c = v & 1; r = v >> 1; break;
    }
    uint8_t result = static_cast<uint8_t>(r);
    rF = static_cast<uint8_t>(kFlagsZSP[result] | c | Z80_XY(result));
    return result;
}

// BIT n: F = kFlagsZSP[v & (1 << n)] | H | old C. (xySource: what the
// exerciser build takes bits 0x08/0x20 from.)
inline void CZ80::Bit(int n, uint8_t v, [[maybe_unused]] uint8_t xySource)
{
    rF = static_cast<uint8_t>(kFlagsZSP[v & (1u << n)] | kFlagH | (rF & kFlagC) | Z80_XY(xySource));
}
