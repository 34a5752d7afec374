// Static tables of the Z80 core: T-states per opcode for each opcode group,
// sign/zero/parity flags per byte value, and the DAA results.
//
// T-states are the published Zilog counts. Conditional branches hold the
// count of the branch not taken; the handler charges the difference when the
// branch is taken. Prefix bytes cost 0 here; their handler charges the entry
// of the prefixed opcode. Entries of 0 in the prefixed tables are opcodes the
// core treats as costing nothing (see the prefixed handlers), and the
// repeating block instructions, which charge per iteration.
#pragma once

#include <array>
#include <cstdint>

namespace z80tables {

using Table8 = std::array<uint8_t, 256>;

// Unprefixed opcodes (Zilog Z80 CPU User Manual, instruction timing).
inline constexpr Table8 kCyclesMain = {
    //0  1   2   3   4   5   6   7   8   9   A   B   C   D   E   F
    4, 10, 7,  6,  4,  4,  7,  4,  4,  11, 7,  6,  4,  4,  7,  4,   // 00
    8, 10, 7,  6,  4,  4,  7,  4,  12, 11, 7,  6,  4,  4,  7,  4,   // 10
    7, 10, 16, 6,  4,  4,  7,  4,  7,  11, 16, 6,  4,  4,  7,  4,   // 20
    7, 10, 13, 6,  11, 11, 10, 4,  7,  11, 13, 6,  4,  4,  7,  4,   // 30
    4, 4,  4,  4,  4,  4,  7,  4,  4,  4,  4,  4,  4,  4,  7,  4,   // 40
    4, 4,  4,  4,  4,  4,  7,  4,  4,  4,  4,  4,  4,  4,  7,  4,   // 50
    4, 4,  4,  4,  4,  4,  7,  4,  4,  4,  4,  4,  4,  4,  7,  4,   // 60
    7, 7,  7,  7,  7,  7,  4,  7,  4,  4,  4,  4,  4,  4,  7,  4,   // 70
    4, 4,  4,  4,  4,  4,  7,  4,  4,  4,  4,  4,  4,  4,  7,  4,   // 80
    4, 4,  4,  4,  4,  4,  7,  4,  4,  4,  4,  4,  4,  4,  7,  4,   // 90
    4, 4,  4,  4,  4,  4,  7,  4,  4,  4,  4,  4,  4,  4,  7,  4,   // A0
    4, 4,  4,  4,  4,  4,  7,  4,  4,  4,  4,  4,  4,  4,  7,  4,   // B0
    5, 10, 10, 10, 10, 11, 7,  11, 5,  10, 10, 0,  10, 17, 7,  11,  // C0
    5, 10, 10, 11, 10, 11, 7,  11, 5,  4,  10, 11, 10, 0,  7,  11,  // D0
    5, 10, 10, 19, 10, 11, 7,  11, 5,  4,  10, 4,  10, 0,  7,  11,  // E0
    5, 10, 10, 4,  10, 11, 7,  11, 5,  6,  10, 4,  10, 0,  7,  11,  // F0
};

// CB opcodes: 8 on a register, 15 for rotate/shift/RES/SET on (HL),
// 12 for BIT n,(HL).
inline constexpr Table8 kCyclesCB = [] {
    Table8 t{};
    for (int op = 0; op < 256; ++op) {
        if ((op & 7) != 6)
            t[op] = 8;
        else
            t[op] = (op >= 0x40 && op < 0x80) ? 12 : 15;
    }
    return t;
}();

// ED opcodes. Entries left 0: the repeating block instructions (they charge
// 21 per iteration, 16 for the last) and the opcodes without an effect.
inline constexpr Table8 kCyclesED = [] {
    Table8 t{};
    for (int r = 0; r < 8; ++r) {
        t[0x40 + r * 8] = 12;  // IN r,(C), IN F,(C) at 70
        if (r != 6)
            t[0x41 + r * 8] = 12;  // OUT (C),r
    }
    for (int rr = 0; rr < 4; ++rr) {
        t[0x42 + rr * 16] = 15;  // SBC HL,rr
        t[0x4A + rr * 16] = 15;  // ADC HL,rr
        t[0x43 + rr * 16] = 20;  // LD (nn),rr
        t[0x4B + rr * 16] = 20;  // LD rr,(nn)
    }
    t[0x44] = 8;                               // NEG
    t[0x46] = t[0x56] = t[0x5E] = 8;           // IM 0/1/2
    t[0x45] = t[0x4D] = 14;                    // RETN, RETI
    t[0x47] = t[0x4F] = t[0x57] = t[0x5F] = 9; // LD I,A / R,A / A,I / A,R
    t[0x67] = t[0x6F] = 18;                    // RRD, RLD
    for (int op : {0xA0, 0xA1, 0xA2, 0xA3, 0xA8, 0xA9, 0xAA, 0xAB})
        t[op] = 16;                            // LDI .. OUTD
    return t;
}();

// DD and FD opcodes (one table for both). 0 for the opcodes that do not
// involve HL, H, L or (HL): they run as their plain form at no charge.
inline constexpr Table8 kCyclesXY = [] {
    Table8 t{};
    t[0x09] = t[0x19] = t[0x29] = t[0x39] = 15;  // ADD IX,rr
    t[0x21] = 14;                                // LD IX,nn
    t[0x22] = t[0x2A] = 20;                      // LD (nn),IX / LD IX,(nn)
    t[0x23] = t[0x2B] = 10;                      // INC/DEC IX
    for (int op : {0x24, 0x25, 0x26, 0x2C, 0x2D, 0x2E})
        t[op] = 9;                               // INC/DEC/LD n on IXH, IXL
    t[0x34] = t[0x35] = 23;                      // INC/DEC (IX+d)
    t[0x36] = 19;                                // LD (IX+d),n
    for (int op = 0x40; op < 0x80; ++op) {
        if (op == 0x76)
            continue;
        int dst = (op >> 3) & 7, src = op & 7;
        if (dst == 6 || src == 6)
            t[op] = 19;  // loads with (IX+d)
        else if (dst == 4 || dst == 5 || src == 4 || src == 5)
            t[op] = 9;   // loads to or from IXH/IXL
    }
    for (int op = 0x80; op < 0xC0; ++op) {
        int src = op & 7;
        if (src == 6)
            t[op] = 19;  // ALU with (IX+d)
        else if (src == 4 || src == 5)
            t[op] = 9;   // ALU with IXH/IXL
    }
    t[0xE1] = 14;  // POP IX
    t[0xE3] = 23;  // EX (SP),IX
    t[0xE5] = 15;  // PUSH IX
    t[0xE9] = 8;   // JP (IX)
    t[0xF9] = 10;  // LD SP,IX
    return t;
}();

// DDCB/FDCB opcodes: 23 for rotate/shift/RES/SET on (IX+d) (low bits 110),
// 20 for BIT n,(IX+d) in all eight encodings, 0 for the register-copy forms,
// which the core does not carry.
inline constexpr Table8 kCyclesXYCB = [] {
    Table8 t{};
    for (int op = 0; op < 256; ++op) {
        if (op >= 0x40 && op < 0x80)
            t[op] = 20;
        else if ((op & 7) == 6)
            t[op] = 23;
    }
    return t;
}();

// 0x40 for zero, 0x80 for bit 7 set.
inline constexpr Table8 kFlagsZS = [] {
    Table8 t{};
    for (int v = 0; v < 256; ++v)
        t[v] = static_cast<uint8_t>((v == 0 ? 0x40 : 0) | (v & 0x80));
    return t;
}();

// kFlagsZS plus 0x04 (P/V) for an even number of set bits.
inline constexpr Table8 kFlagsZSP = [] {
    Table8 t{};
    for (int v = 0; v < 256; ++v) {
        int bits = 0;
        for (int b = 0; b < 8; ++b)
            bits += (v >> b) & 1;
        t[v] = static_cast<uint8_t>(kFlagsZS[v] | ((bits & 1) ? 0 : 0x04));
    }
    return t;
}();

// AF after DAA, indexed by A + 256*C + 512*H + 1024*N. The correction is the
// published one: add (or, after a subtraction, subtract) 0x06 when H is set or
// the low nibble is above 9, and 0x60 when C is set or A is above 0x99 (which
// also sets C). After an addition H is set when the low nibble was above 9;
// after a subtraction when H was set and the low nibble was below 6. S, Z,
// P/V and bits 0x08/0x20 come from the result, N is kept.
inline constexpr std::array<uint16_t, 2048> kDaaTable = [] {
    std::array<uint16_t, 2048> t{};
    for (int index = 0; index < 2048; ++index) {
        int a = index & 0xFF;
        bool c = (index >> 8) & 1, h = (index >> 9) & 1, n = (index >> 10) & 1;
        int low = a & 0x0F;
        int correction = 0;
        bool carry = c;
        if (h || low > 9)
            correction |= 0x06;
        if (c || a > 0x99) {
            correction |= 0x60;
            carry = true;
        }
        bool halfCarry = n ? (h && low < 6) : (low > 9);
        int result = (n ? a - correction : a + correction) & 0xFF;
        int f = kFlagsZSP[result] | (result & 0x28) | (halfCarry ? 0x10 : 0) | (n ? 0x02 : 0) |
                (carry ? 0x01 : 0);
        t[index] = static_cast<uint16_t>(result << 8 | f);
    }
    return t;
}();

}  // namespace z80tables
