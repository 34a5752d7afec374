// CZ80 disassembler and execution trace.
//
// Each opcode group has a table of text templates. Marks in a template are
// replaced by operands: % the index letter (X or Y), ^ an unsigned
// displacement byte, * an immediate byte, @ a signed displacement, # a
// little-endian word. The "h" after a mark is literal text.
#include "cpu/Z80.h"

#include "app/DebugLog.h"
#include "cpu/Z80Bus.h"

namespace {

constexpr int kTemplateSize = 16;

struct MnemonicTable {
    char text[256][kTemplateSize];
};

enum { kMain, kCB, kED, kXY, kXYCB };

// Template copies; a template that does not fit fails the compile-time build.
constexpr void Copy(char* dst, const char* src, int capacity = kTemplateSize)
{
    int i = 0;
    for (; src[i] != '\0'; ++i) {
        if (i >= capacity - 1)
            throw "mnemonic template too long";
        dst[i] = src[i];
    }
    dst[i] = '\0';
}

constexpr void Append(char* dst, const char* src)
{
    int n = 0;
    while (dst[n] != '\0')
        ++n;
    Copy(dst + n, src, kTemplateSize - n);
}

constexpr const char* kRegs[8] = {"B", "C", "D", "E", "H", "L", "(HL)", "A"};
constexpr const char* kAluOps[8] = {"ADD ", "ADC ", "SUB ", "SBC ", "AND ", "XOR ", "OR ", "CP "};
constexpr const char* kRotOps[8] = {"RLC ", "RRC ", "RL ", "RR ", "SLA ", "SRA ", "SLL ", "SRL "};
constexpr const char* kBitOps[3] = {"BIT ", "RES ", "SET "};

constexpr const char* kMainFixed[256] = {
    // 00-3F
    "NOP", "LD BC,#h", "LD (BC),A", "INC BC", "INC B", "DEC B", "LD B,*h", "RLCA",
    "EX AF,AF'", "ADD HL,BC", "LD A,(BC)", "DEC BC", "INC C", "DEC C", "LD C,*h", "RRCA",
    "DJNZ @h", "LD DE,#h", "LD (DE),A", "INC DE", "INC D", "DEC D", "LD D,*h", "RLA",
    "JR @h", "ADD HL,DE", "LD A,(DE)", "DEC DE", "INC E", "DEC E", "LD E,*h", "RRA",
    "JR NZ,@h", "LD HL,#h", "LD (#h),HL", "INC HL", "INC H", "DEC H", "LD H,*h", "DAA",
    "JR Z,@h", "ADD HL,HL", "LD HL,(#h)", "DEC HL", "INC L", "DEC L", "LD L,*h", "CPL",
    "JR NC,@h", "LD SP,#h", "LD (#h),A", "INC SP", "INC (HL)", "DEC (HL)", "LD (HL),*h", "SCF",
    "JR C,@h", "ADD HL,SP", "LD A,(#h)", "DEC SP", "INC A", "DEC A", "LD A,*h", "CCF",
    // 40-BF are generated
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    // C0-FF
    "RET NZ", "POP BC", "JP NZ,#h", "JP #h", "CALL NZ,#h", "PUSH BC", "ADD *h", "RST 00h",
    "RET Z", "RET", "JP Z,#h", "PFX_CB", "CALL Z,#h", "CALL #h", "ADC *h", "RST 08h",
    "RET NC", "POP DE", "JP NC,#h", "OUTA (*h)", "CALL NC,#h", "PUSH DE", "SUB *h", "RST 10h",
    "RET C", "EXX", "JP C,#h", "INA (*h)", "CALL C,#h", "PFX_DD", "SBC *h", "RST 18h",
    "RET PO", "POP HL", "JP PO,#h", "EX HL,(SP)", "CALL PO,#h", "PUSH HL", "AND *h", "RST 20h",
    "RET PE", "LD PC,HL", "JP PE,#h", "EX DE,HL", "CALL PE,#h", "PFX_ED", "XOR *h", "RST 28h",
    "RET P", "POP AF", "JP P,#h", "DI", "CALL P,#h", "PUSH AF", "OR *h", "RST 30h",
    "RET M", "LD SP,HL", "JP M,#h", "EI", "CALL M,#h", "PFX_FD", "CP *h", "RST 38h",
};
static_assert(sizeof kMainFixed / sizeof kMainFixed[0] == 256);

struct EdEntry {
    uint8_t op;
    const char* text;
};

constexpr EdEntry kEdDefined[] = {
    {0x40, "IN B,(C)"}, {0x41, "OUT (C),B"}, {0x42, "SBC HL,BC"}, {0x43, "LD (#h),BC"},
    {0x44, "NEG"}, {0x45, "RETN"}, {0x46, "IM 0"}, {0x47, "LD I,A"},
    {0x48, "IN C,(C)"}, {0x49, "OUT (C),C"}, {0x4A, "ADC HL,BC"}, {0x4B, "LD BC,(#h)"},
    {0x4D, "RETI"}, {0x4F, "LD R,A"},
    {0x50, "IN D,(C)"}, {0x51, "OUT (C),D"}, {0x52, "SBC HL,DE"}, {0x53, "LD (#h),DE"},
    {0x56, "IM 1"}, {0x57, "LD A,I"},
    {0x58, "IN E,(C)"}, {0x59, "OUT (C),E"}, {0x5A, "ADC HL,DE"}, {0x5B, "LD DE,(#h)"},
    {0x5E, "IM 2"}, {0x5F, "LD A,R"},
    {0x60, "IN H,(C)"}, {0x61, "OUT (C),H"}, {0x62, "SBC HL,HL"}, {0x63, "LD (#h),HL"},
    {0x67, "RRD"},
    {0x68, "IN L,(C)"}, {0x69, "OUT (C),L"}, {0x6A, "ADC HL,HL"}, {0x6B, "LD HL,(#h)"},
    {0x6F, "RLD"},
    {0x70, "IN F,(C)"}, {0x72, "SBC HL,SP"}, {0x73, "LD (#h),SP"},
    {0x78, "IN A,(C)"}, {0x79, "OUT (C),A"}, {0x7A, "ADC HL,SP"}, {0x7B, "LD SP,(#h)"},
    {0xA0, "LDI"}, {0xA1, "CPI"}, {0xA2, "INI"}, {0xA3, "OUTI"},
    {0xA8, "LDD"}, {0xA9, "CPD"}, {0xAA, "IND"}, {0xAB, "OUTD"},
    {0xB0, "LDIR"}, {0xB1, "CPIR"}, {0xB2, "INIR"}, {0xB3, "OTIR"},
    {0xB8, "LDDR"}, {0xB9, "CPDR"}, {0xBA, "INDR"}, {0xBB, "OTDR"},
};

constexpr const char* kHexDigits = "0123456789ABCDEF";

// Register operand text; in the index forms (HL) becomes the indexed operand
// and, when requested, H and L the index halves.
constexpr const char* Operand(int r, int table, bool halves)
{
    if (table == kXY) {
        if (r == 6)
            return "(I%+^h)";
        if (halves && r == 4)
            return "I%h";
        if (halves && r == 5)
            return "I%l";
    }
    if (table == kXYCB && r == 6)
        return "(I%@h)";
    return kRegs[r];
}

constexpr void BuildLoadsAndAlu(MnemonicTable& t, int table)
{
    for (int op = 0x40; op < 0x80; ++op) {
        if (op == 0x76)
            continue;
        int dst = (op >> 3) & 7, src = op & 7;
        // With (IX+d) as one operand, the other keeps plain H and L.
        bool halves = dst != 6 && src != 6;
        Copy(t.text[op], "LD ");
        Append(t.text[op], Operand(dst, table, halves));
        Append(t.text[op], ",");
        Append(t.text[op], Operand(src, table, halves));
    }
    Copy(t.text[0x76], "HALT");
    for (int op = 0x80; op < 0xC0; ++op) {
        Copy(t.text[op], kAluOps[(op >> 3) & 7]);
        Append(t.text[op], Operand(op & 7, table, true));
    }
}

constexpr void BuildBitGroup(MnemonicTable& t, int table)
{
    for (int op = 0; op < 256; ++op) {
        const char* operand = Operand(op & 7, table, false);
        if (op < 0x40) {
            Copy(t.text[op], kRotOps[op >> 3]);
        } else {
            Copy(t.text[op], kBitOps[(op >> 6) - 1]);
            char bit[3] = {static_cast<char>('0' + ((op >> 3) & 7)), ',', '\0'};
            Append(t.text[op], bit);
        }
        Append(t.text[op], operand);
    }
}

constexpr MnemonicTable BuildMain()
{
    MnemonicTable t{};
    for (int op = 0; op < 256; ++op)
        if (kMainFixed[op])
            Copy(t.text[op], kMainFixed[op]);
    BuildLoadsAndAlu(t, kMain);
    return t;
}

constexpr MnemonicTable BuildCB()
{
    MnemonicTable t{};
    BuildBitGroup(t, kCB);
    return t;
}

constexpr MnemonicTable BuildED()
{
    MnemonicTable t{};
    for (int op = 0; op < 256; ++op) {
        char undefined[] = "DB EDh,00h";
        undefined[7] = kHexDigits[op >> 4];
        undefined[8] = kHexDigits[op & 15];
        Copy(t.text[op], undefined);
    }
    for (const EdEntry& e : kEdDefined)
        Copy(t.text[e.op], e.text);
    return t;
}

constexpr MnemonicTable BuildXY()
{
    MnemonicTable t = BuildMain();
    BuildLoadsAndAlu(t, kXY);
    const EdEntry overrides[] = {
        {0x09, "ADD I%,BC"}, {0x19, "ADD I%,DE"}, {0x29, "ADD I%,I%"}, {0x39, "ADD I%,SP"},
        {0x21, "LD I%,#h"}, {0x22, "LD (#h),I%"}, {0x23, "INC I%"}, {0x2A, "LD I%,(#h)"},
        {0x2B, "DEC I%"}, {0x24, "INC I%h"}, {0x25, "DEC I%h"}, {0x26, "LD I%h,*h"},
        {0x2C, "INC I%l"}, {0x2D, "DEC I%l"}, {0x2E, "LD I%l,*h"},
        {0x34, "INC (I%+^h)"}, {0x35, "DEC (I%+^h)"}, {0x36, "LD (I%+^h),*h"},
        {0xE1, "POP I%"}, {0xE3, "EX I%,(SP)"}, {0xE5, "PUSH I%"}, {0xE9, "LD PC,I%"},
        {0xEB, "EX DE,I%"}, {0xF9, "LD SP,I%"},
    };
    for (const EdEntry& e : overrides)
        Copy(t.text[e.op], e.text);
    return t;
}

constexpr MnemonicTable BuildXYCB()
{
    MnemonicTable t{};
    BuildBitGroup(t, kXYCB);
    return t;
}

constexpr MnemonicTable kMnemonics[5] = {BuildMain(), BuildCB(), BuildED(), BuildXY(), BuildXYCB()};

char* PutHex(char* out, unsigned value, int digits)
{
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
        *out++ = kHexDigits[(value >> shift) & 15];
    return out;
}

bool Has(const char* text, char mark)
{
    for (; *text; ++text)
        if (*text == mark)
            return true;
    return false;
}

}  // namespace

uint16_t CZ80::Disassemble(char* text, uint16_t address) const
{
    uint16_t p = static_cast<uint16_t>(address + 1);
    auto next = [&p] { return Z80ReadMem(p++); };

    uint8_t first = Z80ReadMem(address);
    char letter = 0;
    int displacement = -1;  // the DDCB/FDCB displacement, read up front
    const char* tmpl;
    if (first == 0xCB) {
        tmpl = kMnemonics[kCB].text[next()];
    } else if (first == 0xED) {
        tmpl = kMnemonics[kED].text[next()];
    } else if (first == 0xDD || first == 0xFD) {
        letter = first == 0xDD ? 'X' : 'Y';
        uint8_t op = next();
        if (op != 0xCB) {
            tmpl = kMnemonics[kXY].text[op];
        } else {
            displacement = next();
            tmpl = kMnemonics[kXYCB].text[next()];
        }
    } else {
        tmpl = kMnemonics[kMain].text[first];
    }

    // Operand bytes in the order they follow the opcode: the unsigned
    // displacement first, then at most one immediate, signed offset or word.
    int unsignedDisp = Has(tmpl, '^') ? next() : 0;
    int operand = 0;
    if (Has(tmpl, '*')) {
        operand = next();
    } else if (Has(tmpl, '@')) {
        operand = displacement >= 0 ? displacement : next();
    } else if (Has(tmpl, '#')) {
        uint8_t low = next();
        operand = low | next() << 8;
    }

    char* out = text;
    for (const char* c = tmpl; *c; ++c) {
        switch (*c) {
        case '%': *out++ = letter; break;
        case '^': out = PutHex(out, static_cast<unsigned>(unsignedDisp), 2); break;
        case '*': out = PutHex(out, static_cast<unsigned>(operand), 2); break;
        case '@':
            if (operand & 0x80) {
                *out++ = '-';
                out = PutHex(out, static_cast<unsigned>(0x100 - operand), 2);
            } else {
                *out++ = '+';
                out = PutHex(out, static_cast<unsigned>(operand), 2);
            }
            break;
        case '#': out = PutHex(out, static_cast<unsigned>(operand), 4); break;
        default: *out++ = *c; break;
        }
    }
    *out = '\0';
    return static_cast<uint16_t>(p - address);
}

void CZ80::TraceInstruction()
{
    if (PC < TraceLow || PC > TraceHigh)
        return;
    char text[kDisassemblyBufferSize];
    Disassemble(text, PC);
    Log("%04X : %s\n", PC, text);
}
