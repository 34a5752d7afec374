// The Z80 encodings behind Z80Asm's builder methods and the label fix-ups.
#include "Z80Asm.h"

#include <cstdio>
#include <stdexcept>

namespace {

int idx(Z80Asm::R8 r) { return static_cast<int>(r); }
int idx(Z80Asm::Cc c) { return static_cast<int>(c); }

// Register pair field (bits 5-4) for LD/INC/DEC/ADD HL: BC DE HL SP.
int pairSp(Z80Asm::R16 rr) {
    if (rr == Z80Asm::R16::AF) throw std::logic_error("Z80Asm: AF not allowed here");
    return static_cast<int>(rr);
}

// Register pair field for PUSH/POP: BC DE HL AF.
int pairAf(Z80Asm::R16 rr) {
    if (rr == Z80Asm::R16::SP) throw std::logic_error("Z80Asm: SP not allowed in PUSH/POP");
    return rr == Z80Asm::R16::AF ? 3 : static_cast<int>(rr);
}

}  // namespace

Z80Asm::Z80Asm(uint16_t origin, uint8_t fill) : m_origin(origin), m_fill(fill) {}

uint16_t Z80Asm::here() const { return static_cast<uint16_t>(m_origin + m_code.size() + m_phase); }

void Z80Asm::label(const std::string& name) { equ(name, here()); }

void Z80Asm::equ(const std::string& name, uint16_t value) {
    if (name.empty()) throw std::logic_error("Z80Asm: empty label name");
    if (!m_labels.emplace(name, value).second)
        throw std::logic_error("Z80Asm: label defined twice: " + name);
}

void Z80Asm::org(uint16_t address) {
    if (address < here()) throw std::logic_error("Z80Asm: ORG moves backwards");
    m_code.resize(m_code.size() + (address - here()), m_fill);
}

void Z80Asm::phase(uint16_t address) {
    if (m_inPhase) throw std::logic_error("Z80Asm: PHASE inside PHASE");
    m_phase = address - static_cast<int>(m_origin + m_code.size());
    m_inPhase = true;
}

void Z80Asm::dephase() {
    if (!m_inPhase) throw std::logic_error("Z80Asm: DEPHASE without PHASE");
    m_phase = 0;
    m_inPhase = false;
}

void Z80Asm::sourcePosition(std::string where) { m_where = std::move(where); }

void Z80Asm::quietBoot(uint16_t stackTop, const Target& start) {
    di();
    ld_sp_nn(stackTop);
    jp(start);
    org(0x0038);
    ei();
    reti();
    org(0x0066);
    retn();
    org(0x0100);
}

void Z80Asm::db(std::initializer_list<uint8_t> values) { m_code.insert(m_code.end(), values); }
void Z80Asm::db(const std::vector<uint8_t>& values) { m_code.insert(m_code.end(), values.begin(), values.end()); }
void Z80Asm::db(const std::string& text) { m_code.insert(m_code.end(), text.begin(), text.end()); }
void Z80Asm::dw(const Target& value) { emit16(value); }

void Z80Asm::emit16(const Target& t) {
    if (t.label.empty()) {
        if (t.value < -0x8000 || t.value > 0xFFFF)
            throw std::logic_error("Z80Asm: word out of range: " + std::to_string(t.value));
        emit(static_cast<uint8_t>(t.value & 0xFF));
        emit(static_cast<uint8_t>((t.value >> 8) & 0xFF));
        return;
    }
    m_fixes.push_back({m_code.size(), FixKind::Abs16, t, 0, m_where});
    emit(0);
    emit(0);
}

// The displacement byte is the last byte of a relative jump; instrLength
// is the instruction's full length so pcAfter is the base of the offset.
void Z80Asm::emitRel(const Target& t, std::size_t instrLength) {
    const uint16_t start = static_cast<uint16_t>(here() - (instrLength - 1));
    m_fixes.push_back({m_code.size(), FixKind::Rel8, t, static_cast<uint16_t>(start + instrLength), m_where});
    emit(0);
}

int Z80Asm::resolve(const Target& t) const {
    if (t.label.empty()) return t.value;
    auto it = m_labels.find(t.label);
    if (it == m_labels.end()) throw std::logic_error("Z80Asm: undefined label: " + t.label);
    return it->second + t.value;
}

// --- loads -------------------------------------------------------------------

void Z80Asm::ld(R8 dst, R8 src) {
    if (dst == R8::HLi && src == R8::HLi) throw std::logic_error("Z80Asm: LD (HL),(HL) does not exist");
    emit(static_cast<uint8_t>(0x40 | idx(dst) << 3 | idx(src)));
}
void Z80Asm::ld(R8 dst, uint8_t n) { emit(static_cast<uint8_t>(0x06 | idx(dst) << 3)); emit(n); }
void Z80Asm::ld_a_mem(const Target& nn) { emit(0x3A); emit16(nn); }
void Z80Asm::ld_mem_a(const Target& nn) { emit(0x32); emit16(nn); }
void Z80Asm::ld_a_bc() { emit(0x0A); }
void Z80Asm::ld_a_de() { emit(0x1A); }
void Z80Asm::ld_bc_a() { emit(0x02); }
void Z80Asm::ld_de_a() { emit(0x12); }
void Z80Asm::ld(R16 dst, const Target& nn) { emit(static_cast<uint8_t>(0x01 | pairSp(dst) << 4)); emit16(nn); }
void Z80Asm::ld_hl_mem(const Target& nn) { emit(0x2A); emit16(nn); }
void Z80Asm::ld_mem_hl(const Target& nn) { emit(0x22); emit16(nn); }
void Z80Asm::ld_rr_mem(R16 dst, const Target& nn) { emit(0xED); emit(static_cast<uint8_t>(0x4B | pairSp(dst) << 4)); emit16(nn); }
void Z80Asm::ld_mem_rr(const Target& nn, R16 src) { emit(0xED); emit(static_cast<uint8_t>(0x43 | pairSp(src) << 4)); emit16(nn); }
void Z80Asm::ld_sp_hl() { emit(0xF9); }
void Z80Asm::ld_i_a() { emit(0xED); emit(0x47); }
void Z80Asm::ld_a_i() { emit(0xED); emit(0x57); }
void Z80Asm::push(R16 rr) { emit(static_cast<uint8_t>(0xC5 | pairAf(rr) << 4)); }
void Z80Asm::pop(R16 rr) { emit(static_cast<uint8_t>(0xC1 | pairAf(rr) << 4)); }
void Z80Asm::ex_de_hl() { emit(0xEB); }
void Z80Asm::ex_af_af() { emit(0x08); }
void Z80Asm::exx() { emit(0xD9); }
void Z80Asm::ex_sp_hl() { emit(0xE3); }
void Z80Asm::ldi() { emit(0xED); emit(0xA0); }
void Z80Asm::ldir() { emit(0xED); emit(0xB0); }

// --- ports -------------------------------------------------------------------

void Z80Asm::in_a_n(uint8_t port) { emit(0xDB); emit(port); }
void Z80Asm::out_n_a(uint8_t port) { emit(0xD3); emit(port); }
void Z80Asm::in_r_c(R8 r) { emit(0xED); emit(static_cast<uint8_t>(0x40 | idx(r) << 3)); }
void Z80Asm::out_c_r(R8 r) { emit(0xED); emit(static_cast<uint8_t>(0x41 | idx(r) << 3)); }

// --- arithmetic and logic ------------------------------------------------------

// ALU operation field: ADD ADC SUB SBC AND XOR OR CP.
void Z80Asm::alu(int op, R8 r) { emit(static_cast<uint8_t>(0x80 | op << 3 | idx(r))); }
void Z80Asm::aluN(int op, uint8_t n) { emit(static_cast<uint8_t>(0xC6 | op << 3)); emit(n); }

void Z80Asm::add_a(R8 r) { alu(0, r); }  void Z80Asm::add_a_n(uint8_t n) { aluN(0, n); }
void Z80Asm::adc_a(R8 r) { alu(1, r); }  void Z80Asm::adc_a_n(uint8_t n) { aluN(1, n); }
void Z80Asm::sub(R8 r) { alu(2, r); }    void Z80Asm::sub_n(uint8_t n) { aluN(2, n); }
void Z80Asm::sbc_a(R8 r) { alu(3, r); }  void Z80Asm::sbc_a_n(uint8_t n) { aluN(3, n); }
void Z80Asm::and_(R8 r) { alu(4, r); }   void Z80Asm::and_n(uint8_t n) { aluN(4, n); }
void Z80Asm::xor_(R8 r) { alu(5, r); }   void Z80Asm::xor_n(uint8_t n) { aluN(5, n); }
void Z80Asm::or_(R8 r) { alu(6, r); }    void Z80Asm::or_n(uint8_t n) { aluN(6, n); }
void Z80Asm::cp(R8 r) { alu(7, r); }     void Z80Asm::cp_n(uint8_t n) { aluN(7, n); }

void Z80Asm::inc(R8 r) { emit(static_cast<uint8_t>(0x04 | idx(r) << 3)); }
void Z80Asm::dec(R8 r) { emit(static_cast<uint8_t>(0x05 | idx(r) << 3)); }
void Z80Asm::inc(R16 rr) { emit(static_cast<uint8_t>(0x03 | pairSp(rr) << 4)); }
void Z80Asm::dec(R16 rr) { emit(static_cast<uint8_t>(0x0B | pairSp(rr) << 4)); }
void Z80Asm::add_hl(R16 rr) { emit(static_cast<uint8_t>(0x09 | pairSp(rr) << 4)); }
void Z80Asm::cpl() { emit(0x2F); }
void Z80Asm::neg() { emit(0xED); emit(0x44); }
void Z80Asm::scf() { emit(0x37); }
void Z80Asm::ccf() { emit(0x3F); }
void Z80Asm::rlca() { emit(0x07); }
void Z80Asm::rrca() { emit(0x0F); }
void Z80Asm::rla() { emit(0x17); }
void Z80Asm::rra() { emit(0x1F); }

// CB-prefixed group: 1 BIT, 2 RES, 3 SET.
void Z80Asm::cb(int group, int b, R8 r) {
    if (b < 0 || b > 7) throw std::logic_error("Z80Asm: bit number out of range");
    emit(0xCB);
    emit(static_cast<uint8_t>(group << 6 | b << 3 | idx(r)));
}
void Z80Asm::bit(int b, R8 r) { cb(1, b, r); }
void Z80Asm::res(int b, R8 r) { cb(2, b, r); }
void Z80Asm::set(int b, R8 r) { cb(3, b, r); }

// --- control -------------------------------------------------------------------

void Z80Asm::jp(const Target& nn) { emit(0xC3); emit16(nn); }
void Z80Asm::jp(Cc cc, const Target& nn) { emit(static_cast<uint8_t>(0xC2 | idx(cc) << 3)); emit16(nn); }
void Z80Asm::jp_hl() { emit(0xE9); }
void Z80Asm::jr(const Target& target) { emit(0x18); emitRel(target, 2); }
void Z80Asm::jr(Cc cc, const Target& target) {
    if (idx(cc) > 3) throw std::logic_error("Z80Asm: JR takes only NZ, Z, NC, C");
    emit(static_cast<uint8_t>(0x20 | idx(cc) << 3));
    emitRel(target, 2);
}
void Z80Asm::djnz(const Target& target) { emit(0x10); emitRel(target, 2); }
void Z80Asm::call(const Target& nn) { emit(0xCD); emit16(nn); }
void Z80Asm::call(Cc cc, const Target& nn) { emit(static_cast<uint8_t>(0xC4 | idx(cc) << 3)); emit16(nn); }
void Z80Asm::ret() { emit(0xC9); }
void Z80Asm::ret(Cc cc) { emit(static_cast<uint8_t>(0xC0 | idx(cc) << 3)); }
void Z80Asm::reti() { emit(0xED); emit(0x4D); }
void Z80Asm::retn() { emit(0xED); emit(0x45); }
void Z80Asm::rst(uint8_t vector) {
    if (vector & ~0x38) throw std::logic_error("Z80Asm: RST vector must be 0x00..0x38 in steps of 8");
    emit(static_cast<uint8_t>(0xC7 | vector));
}
void Z80Asm::nop() { emit(0x00); }
void Z80Asm::halt() { emit(0x76); }
void Z80Asm::di() { emit(0xF3); }
void Z80Asm::ei() { emit(0xFB); }
void Z80Asm::im(int mode) {
    static const uint8_t kIm[3] = {0x46, 0x56, 0x5E};
    if (mode < 0 || mode > 2) throw std::logic_error("Z80Asm: IM takes 0, 1 or 2");
    emit(0xED);
    emit(kIm[mode]);
}

// --- output --------------------------------------------------------------------

std::vector<uint8_t> Z80Asm::bytes() const {
    if (m_origin + m_code.size() > 0x10000)
        throw std::logic_error("Z80Asm: program runs past address 0xFFFF");
    std::vector<uint8_t> out = m_code;
    for (const Fix& f : m_fixes) {
        const std::string where = f.where.empty() ? "Z80Asm" : f.where;
        char address[8];
        std::snprintf(address, sizeof address, "0x%04X", static_cast<unsigned>(f.target.value) & 0xFFFFu);
        const std::string name = f.target.label.empty() ? std::string(address) : f.target.label;
        auto it = m_labels.find(f.target.label);
        if (!f.target.label.empty() && it == m_labels.end())
            throw std::logic_error(where + ": undefined label: " + f.target.label);
        const int v = resolve(f.target);
        if (f.kind == FixKind::Abs16) {
            if (v < -0x8000 || v > 0xFFFF) throw std::logic_error(where + ": word out of range: " + name);
            out[f.offset] = static_cast<uint8_t>(v & 0xFF);
            out[f.offset + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
        } else {
            const int d = v - f.pcAfter;
            if (d < -128 || d > 127)
                throw std::logic_error(where + ": relative jump out of range: " + name);
            out[f.offset] = static_cast<uint8_t>(d & 0xFF);
        }
    }
    return out;
}

std::vector<uint8_t> Z80Asm::image(std::size_t size) const {
    std::vector<uint8_t> out = bytes();
    if (out.size() > size) throw std::logic_error("Z80Asm: program longer than the image");
    out.resize(size, m_fill);
    return out;
}

uint16_t Z80Asm::address(const std::string& name) const {
    auto it = m_labels.find(name);
    if (it == m_labels.end()) throw std::logic_error("Z80Asm: undefined label: " + name);
    return it->second;
}
