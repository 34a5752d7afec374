// The test assembler must produce the Z80's real encodings, or every
// synthetic ROM built with it tests the wrong thing.
#include "support/Z80Asm.h"

#include <gtest/gtest.h>

#include <stdexcept>

using R8 = Z80Asm::R8;
using R16 = Z80Asm::R16;
using Cc = Z80Asm::Cc;
using Bytes = std::vector<uint8_t>;

TEST(Z80Asm, EncodesLoadsStoresAndExchanges) {
    Z80Asm a;
    a.ld_a_n(0x20); a.ld(R8::B, R8::C); a.ld(R8::HLi, R8::A); a.ld(R8::E, R8::HLi); a.ld(R8::HLi, 0x55);
    a.ld_a_mem(0x8043); a.ld_mem_a(0x8FFF); a.ld(R16::BC, 0x1234); a.ld_hl_nn(0xBEEF); a.ld_sp_nn(0x87FF);
    a.ld_hl_mem(0x8000); a.ld_mem_hl(0x8002); a.ld_rr_mem(R16::DE, 0x8004); a.ld_mem_rr(0x8006, R16::SP);
    a.ld_a_bc(); a.ld_a_de(); a.ld_bc_a(); a.ld_de_a(); a.ld_sp_hl(); a.ld_i_a(); a.ld_a_i();
    a.push(R16::AF); a.push(R16::BC); a.pop(R16::HL); a.pop(R16::DE);
    a.ex_de_hl(); a.ex_af_af(); a.exx(); a.ex_sp_hl(); a.ldi(); a.ldir();
    EXPECT_EQ(a.bytes(), (Bytes{0x3E, 0x20, 0x41, 0x77, 0x5E, 0x36, 0x55, 0x3A, 0x43, 0x80,
                                0x32, 0xFF, 0x8F, 0x01, 0x34, 0x12, 0x21, 0xEF, 0xBE, 0x31, 0xFF, 0x87,
                                0x2A, 0x00, 0x80, 0x22, 0x02, 0x80, 0xED, 0x5B, 0x04, 0x80, 0xED, 0x73, 0x06, 0x80,
                                0x0A, 0x1A, 0x02, 0x12, 0xF9, 0xED, 0x47, 0xED, 0x57, 0xF5, 0xC5, 0xE1, 0xD1,
                                0xEB, 0x08, 0xD9, 0xE3, 0xED, 0xA0, 0xED, 0xB0}));
}

TEST(Z80Asm, EncodesPortsArithmeticBitsAndControl) {
    Z80Asm a(0x0100);
    a.in_a_n(0x7C); a.out_n_a(0x7D); a.in_r_c(R8::A); a.out_c_r(R8::E);
    a.add_a_n(1); a.adc_a_n(2); a.sub_n(3); a.sbc_a_n(4); a.and_n(0x0F); a.xor_n(0xFF); a.or_n(0x80); a.cp_n(0xFE);
    a.add_a(R8::B); a.sub(R8::HLi); a.and_(R8::A); a.xor_(R8::A); a.or_(R8::C); a.cp(R8::L);
    a.adc_a(R8::D); a.sbc_a(R8::E);
    a.inc(R8::A); a.dec(R8::HLi); a.inc(R16::SP); a.dec(R16::BC); a.add_hl(R16::DE);
    a.cpl(); a.neg(); a.scf(); a.ccf(); a.rlca(); a.rrca(); a.rla(); a.rra();
    a.bit(7, R8::A); a.set(0, R8::HLi); a.res(3, R8::B);
    a.jp(0x1234); a.jp(Cc::M, 0x0000); a.jp_hl(); a.call(0x9000); a.call(Cc::NZ, 0x9020);
    a.ret(); a.ret(Cc::Z); a.ret(Cc::PE); a.reti(); a.retn(); a.rst(0x00); a.rst(0x28); a.rst(0x38);
    a.nop(); a.halt(); a.di(); a.ei(); a.im(0); a.im(1); a.im(2);
    EXPECT_EQ(a.bytes(), (Bytes{0xDB, 0x7C, 0xD3, 0x7D, 0xED, 0x78, 0xED, 0x59,
                                0xC6, 0x01, 0xCE, 0x02, 0xD6, 0x03, 0xDE, 0x04, 0xE6, 0x0F, 0xEE, 0xFF, 0xF6, 0x80, 0xFE, 0xFE,
                                0x80, 0x96, 0xA7, 0xAF, 0xB1, 0xBD, 0x8A, 0x9B, 0x3C, 0x35, 0x33, 0x0B, 0x19,
                                0x2F, 0xED, 0x44, 0x37, 0x3F, 0x07, 0x0F, 0x17, 0x1F, 0xCB, 0x7F, 0xCB, 0xC6, 0xCB, 0x98,
                                0xC3, 0x34, 0x12, 0xFA, 0x00, 0x00, 0xE9, 0xCD, 0x00, 0x90, 0xC4, 0x20, 0x90,
                                0xC9, 0xC8, 0xE8, 0xED, 0x4D, 0xED, 0x45, 0xC7, 0xEF, 0xFF, 0x00, 0x76, 0xF3, 0xFB,
                                0xED, 0x46, 0xED, 0x56, 0xED, 0x5E}));
}

TEST(Z80Asm, ResolvesBackwardAndForwardLabels) {
    Z80Asm a(0x0038);
    a.label("top");          // 0038
    a.jr("top");             // 18 FE   (jump to itself)
    a.jr(Cc::NZ, "ahead");   // 20 03   (0x003C -> 0x003F)
    a.djnz("top");           // 10 FA   (0x003E -> 0x0038)
    a.nop();
    a.label("ahead");        // 003F
    a.jp("ahead");           // C3 3F 00
    a.call(Z80Asm::Target("table", 2));  // CD 49 00
    a.dw("top");             // 38 00
    a.label("table");        // 0047
    a.db({0xAA, 0xBB});
    a.db(std::string("OK"));
    EXPECT_EQ(a.bytes(), (Bytes{0x18, 0xFE, 0x20, 0x03, 0x10, 0xFA, 0x00, 0xC3, 0x3F, 0x00,
                                0xCD, 0x49, 0x00, 0x38, 0x00, 0xAA, 0xBB, 'O', 'K'}));
    EXPECT_EQ(a.address("ahead"), 0x003F);
    EXPECT_EQ(a.address("table"), 0x0047);
}

TEST(Z80Asm, RelativeJumpRangeIsCheckedAtBothEnds) {
    // +127 and -128 are the limits of the displacement byte.
    Z80Asm ok;
    ok.label("back");
    ok.org(126);
    ok.jr("back");           // at 126, after = 128, d = -128
    ok.jr("fwd");            // at 128, after = 130, d = +127
    ok.org(257);
    ok.label("fwd");
    Bytes b = ok.bytes();
    EXPECT_EQ(b[127], 0x80);
    EXPECT_EQ(b[129], 0x7F);

    Z80Asm farBack;
    farBack.label("back");
    farBack.org(127);
    farBack.jr("back");      // d = -129
    EXPECT_THROW(farBack.bytes(), std::logic_error);
    Z80Asm farFwd;
    farFwd.jr("fwd");
    farFwd.org(130);         // d = +128
    farFwd.label("fwd");
    EXPECT_THROW(farFwd.bytes(), std::logic_error);
}

TEST(Z80Asm, PadsToOrgAndImageSizeAndRejectsInvalidUse) {
    Z80Asm a(0x0000, 0xFF);
    a.nop();
    a.org(0x0004);
    a.halt();
    EXPECT_EQ(a.bytes(), (Bytes{0x00, 0xFF, 0xFF, 0xFF, 0x76}));
    Bytes img = a.image(8192);
    ASSERT_EQ(img.size(), 8192u);
    EXPECT_EQ(img[8191], 0xFF);
    EXPECT_THROW(a.image(4), std::logic_error);
    EXPECT_THROW(a.org(0x0002), std::logic_error);
    EXPECT_THROW(a.ld(R8::HLi, R8::HLi), std::logic_error);   // that is HALT
    EXPECT_THROW(a.jr(Cc::PO, 0), std::logic_error);
    EXPECT_THROW(a.push(R16::SP), std::logic_error);
    EXPECT_THROW(a.ld(R16::AF, 0), std::logic_error);
    EXPECT_THROW(a.rst(0x09), std::logic_error);
    EXPECT_THROW(a.im(3), std::logic_error);
    EXPECT_THROW(a.bit(8, R8::A), std::logic_error);
    a.label("x");
    EXPECT_THROW(a.label("x"), std::logic_error);
    a.jp("nowhere");
    EXPECT_THROW(a.bytes(), std::logic_error);
}
