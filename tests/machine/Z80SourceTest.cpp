// The text front-end of the assembler: every statement must become the
// builder call it names (the forms the demo ROMs' source uses are checked
// byte for byte by DemoRomsBuild and are left out here), the
// expressions and directives must give the right values, and a faulty
// source must be refused with its file and line.
#include "kelvara-asm/Z80Source.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "kelvara-asm/Z80Asm.h"
#include "machine/Crc32.h"
#include "support/TestFiles.h"

namespace fs = std::filesystem;
using R8 = Z80Asm::R8;
using R16 = Z80Asm::R16;
using Cc = Z80Asm::Cc;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes Assemble(const std::string& text) { return AssembleSourceText(text, "t.asm", fs::temp_directory_path()); }

}  // namespace

TEST(Z80Source, EveryStatementIsTheBuilderCallItNames)
{
    const std::string text = R"(
        LD B,C
        ld (hl),0x55
        ld (hl),a
        ld a,(bc)
        ld a,(de)
        ld (bc),a
        ld (de),a
        ld de,(0x8004)
        ld (0x8006),sp
        ld sp,hl
        ld i,a
        ld a,i
        pop hl
        ex af,af'
        ex (sp),hl
        exx
        ldi
        in a,(0x7C)
        in l,(c)
        in (c)
        out (c),e
        out (c),0
        add a,(hl)
        add a,1
        adc a,c
        adc a,2
        sub d
        sub 3
        sbc a,e
        sbc a,4
        and h
        and 5
        xor 6
        cp (hl)
        dec (hl)
        inc sp
        dec bc
        cpl
        neg
        scf
        ccf
        rlca
        rrca
        rla
        rra
        bit 7,a
        set 0,(hl)
        res 3,b
        jp m,0
        jp (hl)
        djnz $-2
        call nz,0x9020
        ret pe
        reti
        retn
        rst 0x28
        nop
        halt
        ei
        im 0
        im 2
    )";
    Z80Asm a;
    a.ld(R8::B, R8::C); a.ld(R8::HLi, 0x55); a.ld(R8::HLi, R8::A);
    a.ld_a_bc(); a.ld_a_de(); a.ld_bc_a(); a.ld_de_a();
    a.ld_rr_mem(R16::DE, 0x8004); a.ld_mem_rr(0x8006, R16::SP); a.ld_sp_hl(); a.ld_i_a(); a.ld_a_i();
    a.pop(R16::HL); a.ex_af_af(); a.ex_sp_hl(); a.exx(); a.ldi();
    a.in_a_n(0x7C); a.in_r_c(R8::L); a.in_r_c(R8::HLi); a.out_c_r(R8::E); a.out_c_r(R8::HLi);
    a.add_a(R8::HLi); a.add_a_n(1); a.adc_a(R8::C); a.adc_a_n(2); a.sub(R8::D); a.sub_n(3);
    a.sbc_a(R8::E); a.sbc_a_n(4); a.and_(R8::H); a.and_n(5); a.xor_n(6);
    a.cp(R8::HLi); a.dec(R8::HLi); a.inc(R16::SP); a.dec(R16::BC);
    a.cpl(); a.neg(); a.scf(); a.ccf(); a.rlca(); a.rrca(); a.rla(); a.rra();
    a.bit(7, R8::A); a.set(0, R8::HLi); a.res(3, R8::B);
    a.jp(Cc::M, 0); a.jp_hl(); a.djnz(a.here() - 2);
    a.call(Cc::NZ, 0x9020); a.ret(Cc::PE); a.reti(); a.retn(); a.rst(0x28);
    a.nop(); a.halt(); a.ei(); a.im(0); a.im(2);
    EXPECT_EQ(Assemble(text), a.bytes());
}

TEST(Z80Source, ExpressionsLabelsAndDirectives)
{
    const Bytes code = Assemble(R"(
PORT    equ     0x60            ; a constant
        org     0x0004
start:  ld      a,PORT+1
        out     ($60),a
        jp      later+2         ; forward label plus offset
        db      "Hi", 'x', -1, 10h, 0b101, (2+3)*4/2
        dw      start, $        ; $ is where the statement starts
        ds      3, 0xAA
        ds      1
later:  ld      hl,later-start
        jr      start
        phase   0x9000          ; runs at 0x9000, stored right here
inner:  jr      inner
        dw      $
        dephase
back:   dw      back
)");
    EXPECT_EQ(code, (Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0x3E, 0x61, 0xD3, 0x60, 0xC3, 0x1C, 0x00,
                           0x48, 0x69, 0x78, 0xFF, 0x10, 0x05, 0x0A, 0x04, 0x00, 0x12, 0x00,
                           0xAA, 0xAA, 0xAA, 0x00, 0x21, 0x16, 0x00, 0x18, 0xE5,
                           0x18, 0xFE, 0x02, 0x90, 0x23, 0x00}));

    // An included file, the image size and the database checksum. (An error
    // inside an include names that file: DemoRomsBuild.)
    const testfiles::ScratchDir tmp;
    const fs::path& dir = tmp.dir;
    std::ofstream(dir / "part.inc") << "VALUE   equ     7\n        ld      a,VALUE\n";
    const Bytes image = AssembleSourceText("        image 8192\n        checksum 0x12345678\n"
                                           "        include \"part.inc\"\n        halt\n",
                                           "main.asm", dir);
    ASSERT_EQ(image.size(), 8192u);
    EXPECT_EQ(Bytes(image.begin(), image.begin() + 4), (Bytes{0x3E, 0x07, 0x76, 0xFF}));
    EXPECT_EQ(Crc32(8192, image.data()), 0x12345678u);
}

TEST(Z80Source, ErrorsNameFileAndLine)
{
    const struct {
        const char* text;
        const char* message;
    } cases[] = {
        {"        nop\n        frob a\n", "t.asm:2: unknown instruction 'frob'"},
        {"        ld (0x1234),b\n", "t.asm:1: invalid operands for LD"},
        {"        ld a,256\n", "t.asm:1: value 256 out of range (-128..255)"},
        {"        bit 8,a\n", "t.asm:1: value 8 out of range (0..7)"},
        {"        ld a,later\nlater:  nop\n", "t.asm:1: 'later' must be defined before it is used here"},
        {"        nop\n        jp nowhere\n", "t.asm:2: undefined label: nowhere"},
        {"top:    nop\n        ds 200\n        jr top\n", "t.asm:3: relative jump out of range: top"},
        {"x:      nop\nx:      nop\n", "t.asm:2: label defined twice: x"},
        {"b:      nop\n", "t.asm:1: 'b' is a register or condition, not a label"},
        {"        ld a,0x1G\n", "t.asm:1: bad number '0x1G'"},
        {"        ld a,(ix+1)\n", "t.asm:1: register 'ix' where a value is expected"},
        {"        ld a,1/0\n", "t.asm:1: division by zero"},
        {"        jr po,0\n", "t.asm:1: JR takes only NZ, Z, NC, C"},
        {"        db \"abc\n", "t.asm:1: unterminated string"},
        {"        include \"no-such-file.inc\"\n", "t.asm:1: cannot read "},
        {"        phase 0x9000\n        nop\n", "t.asm: PHASE without DEPHASE"},
        {"        image 2\n        ld hl,0\n", "t.asm: the program (3 bytes) is longer than the image (2)"},
        {"        image 100\n        checksum 0x1234\n", "t.asm:2: the checksum needs an image of at least 8192"},
        {"        ds 0x8000\n        ds 0x8000\n        nop\n", "t.asm:3: the program runs past address 0xFFFF"},
    };
    // Deep brackets are refused, not recursed into until the stack ends.
    const std::string deep = "        ld a," + std::string(100000, '(') + "1" + std::string(100000, ')') + "\n";
    const std::string minus = "        ld a," + std::string(100000, '-') + "1\n";
    for (const std::string& text : {deep, minus})
        EXPECT_THROW(Assemble(text), Z80SourceError);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        try {
            Assemble(c.text);
            ADD_FAILURE() << "accepted";
        } catch (const Z80SourceError& e) {
            EXPECT_EQ(std::string(e.what()).rfind(c.message, 0), 0u) << e.what();
        }
    }
}
