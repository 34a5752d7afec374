// The assembler must produce the Z80's real encodings, or the demo ROMs
// break and every synthetic ROM built with it tests the wrong thing; and a
// program it cannot encode must be refused, never assembled wrongly.
#include "kelvara-asm/Z80Asm.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

using R8 = Z80Asm::R8;
using R16 = Z80Asm::R16;
using Cc = Z80Asm::Cc;
using Bytes = std::vector<uint8_t>;

// One of each encoding family: register fields, (HL), 16-bit pairs, the ED
// and CB prefixes, condition codes and restart vectors. (The plain loads,
// jumps and calls every synthetic ROM and the demo ROMs use, and label
// resolution, fail those programs' own tests when wrong.)
TEST(Z80Asm, EncodesEachInstructionFamily)
{
    Z80Asm a;
    a.ld(R8::B, R8::C); a.ld(R8::E, R8::HLi); a.ld(R8::HLi, 0x55); a.ld_a_mem(0x8043); a.ld(R16::BC, 0x1234);
    a.ld_rr_mem(R16::DE, 0x8004); a.ld_mem_rr(0x8006, R16::SP); a.ld_a_i(); a.push(R16::AF); a.pop(R16::HL);
    a.ex_af_af(); a.exx(); a.ldir(); a.in_a_n(0x7C); a.in_r_c(R8::A); a.out_c_r(R8::E);
    a.sbc_a_n(4); a.cp(R8::L); a.sbc_a(R8::E); a.dec(R8::HLi); a.inc(R16::SP); a.add_hl(R16::DE); a.neg();
    a.bit(7, R8::A); a.set(0, R8::HLi); a.res(3, R8::B);
    a.jp(Cc::M, 0x0000); a.call(Cc::NZ, 0x9020); a.ret(Cc::PE); a.reti(); a.retn(); a.rst(0x28); a.im(2);
    EXPECT_EQ(a.bytes(), (Bytes{0x41, 0x5E, 0x36, 0x55, 0x3A, 0x43, 0x80, 0x01, 0x34, 0x12,
                                0xED, 0x5B, 0x04, 0x80, 0xED, 0x73, 0x06, 0x80, 0xED, 0x57, 0xF5, 0xE1,
                                0x08, 0xD9, 0xED, 0xB0, 0xDB, 0x7C, 0xED, 0x78, 0xED, 0x59,
                                0xDE, 0x04, 0xBD, 0x9B, 0x35, 0x33, 0x19, 0xED, 0x44,
                                0xCB, 0x7F, 0xCB, 0xC6, 0xCB, 0x98,
                                0xFA, 0x00, 0x00, 0xC4, 0x20, 0x90, 0xE8, 0xED, 0x4D, 0xED, 0x45, 0xEF, 0xED, 0x5E}));
}

// Each of these would otherwise assemble to wrong bytes: a jump that lands
// elsewhere, a truncated word, a different instruction or a lost label.
// (Undefined and doubled labels, JR PO and a jump back out of reach reach
// the builder through the text front-end's error test too.)
TEST(Z80Asm, RefusesWhatItCannotEncode)
{
    const struct {
        const char* what;
        std::function<void(Z80Asm&)> program;
    } cases[] = {
        {"JR 128 bytes ahead", [](Z80Asm& a) { a.jr("far"); a.org(0x0082); a.label("far"); }},
        {"DJNZ to an absolute address out of reach", [](Z80Asm& a) { a.org(0x0200); a.djnz(0x0100); }},
        {"label plus offset past 0xFFFF", [](Z80Asm& a) { a.equ("top", 0xFFF0); a.dw(Z80Asm::Target("top", 0x10)); }},
        {"immediate word past 0xFFFF", [](Z80Asm& a) { a.ld_hl_nn(0x10000); }},
        {"program past 0xFFFF", [](Z80Asm& a) { a.org(0xFFFF); a.ld_a_n(1); }},
        {"ORG backwards", [](Z80Asm& a) { a.org(0x0010); a.org(0x0008); }},
        {"LD (HL),(HL)", [](Z80Asm& a) { a.ld(R8::HLi, R8::HLi); }},
        {"PUSH SP", [](Z80Asm& a) { a.push(R16::SP); }},
        {"INC AF", [](Z80Asm& a) { a.inc(R16::AF); }},
        {"BIT 8", [](Z80Asm& a) { a.bit(8, R8::A); }},
        {"RST 0x30 + 1", [](Z80Asm& a) { a.rst(0x31); }},
        {"IM 3", [](Z80Asm& a) { a.im(3); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Z80Asm a;
        EXPECT_THROW({ c.program(a); (void)a.bytes(); }, std::logic_error);
    }

    // The edges themselves are fine: JR +127 / -128, the last address.
    Z80Asm edges;
    edges.label("back");
    edges.org(0x007E);
    edges.jr("back");     // 0x0080 - 0x0080 = -128
    edges.jr("ahead");    // from 0x0082 to 0x0101 = +127
    edges.org(0x0101);
    edges.label("ahead");
    edges.org(0xFFFF);
    edges.nop();
    const Bytes code = edges.bytes();
    EXPECT_EQ(code[0x7F], 0x80);
    EXPECT_EQ(code[0x81], 0x7F);
    EXPECT_EQ(code.size(), 0x10000u);
    EXPECT_THROW(edges.image(0x8000), std::logic_error);  // longer than the image
}
