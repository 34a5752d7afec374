// Z80Asm: a small Z80 assembler driven from C++. kelvara-asm builds the demo
// ROMs of examples/roms with it, and the test suite and benchmarks build
// their synthetic sound programs the same way.
//
// Builder style: each method appends one instruction at the current address.
// Jump, call and load targets are either a plain address or a label name
// (optionally with an offset); labels may be used before they are defined and
// are resolved by bytes(). Unknown labels, duplicate labels, JR/DJNZ targets
// out of range, words that do not fit in 16 bits and invalid operand
// combinations throw std::logic_error with a message naming the fault.
//
//   Z80Asm a(0x0000);
//   a.di(); a.ld_sp_nn(0x87FF); a.im(1);
//   a.label("loop");
//   a.ld_a_n(0x20); a.out_n_a(0x7C);
//   a.jr("loop");
//   std::vector<uint8_t> rom = a.image(8192);
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

class Z80Asm {
public:
    // 8-bit operands in the machine's own encoding order; HLi is (HL).
    enum class R8 : uint8_t { B, C, D, E, H, L, HLi, A };
    // 16-bit register pairs. SP is valid for LD/INC/DEC/ADD HL, AF only for
    // PUSH/POP.
    enum class R16 : uint8_t { BC, DE, HL, SP, AF };
    // Conditions in encoding order. JR takes only NZ, Z, NC, C.
    enum class Cc : uint8_t { NZ, Z, NC, C, PO, PE, P, M };

    // A jump/load target: an absolute address or label (+ offset).
    struct Target {
        template <std::integral T>
        Target(T address) : value(static_cast<int>(address)) {}
        Target(const char* name, int offset = 0) : label(name), value(offset) {}
        Target(std::string name, int offset = 0) : label(std::move(name)), value(offset) {}
        std::string label;  // empty: value is the address
        int value;          // the address, or the offset added to the label
    };

    explicit Z80Asm(uint16_t origin = 0x0000, uint8_t fill = 0xFF);

    // --- layout -----------------------------------------------------------
    uint16_t here() const;             // address of the next byte
    std::size_t size() const { return m_code.size(); }  // bytes stored so far
    void label(const std::string& name);  // define name = here()
    void equ(const std::string& name, uint16_t value);  // define a constant label
    void org(uint16_t address);        // pad with the fill byte up to address
    // Code from here on runs at `address` (after being copied there), so
    // labels and relative jumps count from it; dephase() returns to the
    // place the bytes are stored at.
    void phase(uint16_t address);
    void dephase();
    // Where the next instructions come from ("file:line"); errors found
    // when labels are resolved name it instead of "Z80Asm".
    void sourcePosition(std::string where);
    void db(std::initializer_list<uint8_t> values);
    void db(const std::vector<uint8_t>& values);
    void db(const std::string& text);  // raw characters, no terminator
    void dw(const Target& value);      // little-endian word
    // The start most test programs share, at address 0: DI, the stack
    // below stackTop, JP start, then interrupt handlers that return at
    // once (EI; RETI at 0x0038, RETN at 0x0066). Ends at 0x0100.
    void quietBoot(uint16_t stackTop, const Target& start);

    // --- loads ------------------------------------------------------------
    void ld(R8 dst, R8 src);           // LD r,r' (LD (HL),(HL) is HALT: rejected)
    void ld(R8 dst, uint8_t n);        // LD r,n
    void ld_a_n(uint8_t n) { ld(R8::A, n); }
    void ld_a_mem(const Target& nn);   // LD A,(nn)
    void ld_mem_a(const Target& nn);   // LD (nn),A
    void ld_a_bc();                    // LD A,(BC)
    void ld_a_de();                    // LD A,(DE)
    void ld_bc_a();                    // LD (BC),A
    void ld_de_a();                    // LD (DE),A
    void ld(R16 dst, const Target& nn);  // LD rr,nn
    void ld_hl_nn(const Target& nn) { ld(R16::HL, nn); }
    void ld_sp_nn(const Target& nn) { ld(R16::SP, nn); }
    void ld_hl_mem(const Target& nn);  // LD HL,(nn)
    void ld_mem_hl(const Target& nn);  // LD (nn),HL
    void ld_rr_mem(R16 dst, const Target& nn);  // LD BC/DE/SP,(nn) (ED form)
    void ld_mem_rr(const Target& nn, R16 src);  // LD (nn),BC/DE/SP (ED form)
    void ld_sp_hl();                   // LD SP,HL
    void ld_i_a();                     // LD I,A
    void ld_a_i();                     // LD A,I
    void push(R16 rr);
    void pop(R16 rr);
    void ex_de_hl();
    void ex_af_af();
    void exx();
    void ex_sp_hl();                   // EX (SP),HL
    void ldi();
    void ldir();

    // --- ports ------------------------------------------------------------
    void in_a_n(uint8_t port);         // IN A,(n)
    void out_n_a(uint8_t port);        // OUT (n),A
    void in_r_c(R8 r);                 // IN r,(C)   (HLi: IN (C), flags only)
    void out_c_r(R8 r);                // OUT (C),r  (HLi: OUT (C),0)

    // --- arithmetic and logic ------------------------------------------------
    void add_a(R8 r);  void add_a_n(uint8_t n);
    void adc_a(R8 r);  void adc_a_n(uint8_t n);
    void sub(R8 r);    void sub_n(uint8_t n);
    void sbc_a(R8 r);  void sbc_a_n(uint8_t n);
    void and_(R8 r);   void and_n(uint8_t n);
    void xor_(R8 r);   void xor_n(uint8_t n);
    void or_(R8 r);    void or_n(uint8_t n);
    void cp(R8 r);     void cp_n(uint8_t n);
    void inc(R8 r);
    void dec(R8 r);
    void inc(R16 rr);
    void dec(R16 rr);
    void add_hl(R16 rr);
    void cpl();
    void neg();
    void scf();
    void ccf();
    void rlca();
    void rrca();
    void rla();
    void rra();
    void bit(int b, R8 r);
    void set(int b, R8 r);
    void res(int b, R8 r);

    // --- control ------------------------------------------------------------
    void jp(const Target& nn);
    void jp(Cc cc, const Target& nn);
    void jp_hl();                      // JP (HL)
    void jr(const Target& target);
    void jr(Cc cc, const Target& target);
    void djnz(const Target& target);
    void call(const Target& nn);
    void call(Cc cc, const Target& nn);
    void ret();
    void ret(Cc cc);
    void reti();
    void retn();
    void rst(uint8_t vector);          // 0x00, 0x08, ... 0x38
    void nop();
    void halt();
    void di();
    void ei();
    void im(int mode);                 // 0, 1 or 2

    // --- output -------------------------------------------------------------
    // The assembled bytes from the origin on, labels resolved.
    std::vector<uint8_t> bytes() const;
    // bytes() padded with the fill byte to exactly size bytes (throws if the
    // program is longer).
    std::vector<uint8_t> image(std::size_t size) const;
    // A defined label's value (throws if undefined).
    uint16_t address(const std::string& name) const;
    bool defined(const std::string& name) const { return m_labels.count(name) != 0; }

private:
    enum class FixKind { Abs16, Rel8 };
    struct Fix {
        std::size_t offset;   // position in m_code of the operand
        FixKind kind;
        Target target;
        uint16_t pcAfter;     // for Rel8: address after the instruction
        std::string where;    // source position, for messages
    };

    void emit(uint8_t b) { m_code.push_back(b); }
    void emit16(const Target& t);
    void emitRel(const Target& t, std::size_t instrLength);
    void alu(int op, R8 r);
    void aluN(int op, uint8_t n);
    void cb(int group, int b, R8 r);
    int resolve(const Target& t) const;

    uint16_t m_origin;
    uint8_t m_fill;
    std::vector<uint8_t> m_code;
    std::map<std::string, uint16_t> m_labels;
    std::vector<Fix> m_fixes;
    int m_phase = 0;          // running address minus storage address
    bool m_inPhase = false;
    std::string m_where;
};
