// The text front-end of Z80Asm: statements are split into label, mnemonic
// and operands, operands are classified (register, condition, memory,
// expression) and each statement becomes one Z80Asm call.
#include "Z80Source.h"

#include <cctype>
#include <fstream>
#include <map>
#include <sstream>

#include "RomChecksum.h"
#include "Z80Asm.h"

namespace fs = std::filesystem;

namespace {

using R8 = Z80Asm::R8;
using R16 = Z80Asm::R16;
using Cc = Z80Asm::Cc;

// A fault in the statement being assembled; the caller adds "file:line: ".
struct LineError {
    std::string message;
};

std::string Lower(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string Trim(const std::string& s)
{
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

bool IsIdentStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_' || c == '.'; }
bool IsIdentChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.'; }

// Length of a character literal 'x' starting at i, or 0 (a lone quote, as in
// AF', is not one).
std::size_t CharLiteralAt(const std::string& s, std::size_t i)
{
    return s[i] == '\'' && i + 2 < s.size() && s[i + 2] == '\'' ? 3 : 0;
}

// The line without its comment.
std::string StripComment(const std::string& line)
{
    bool inString = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"')
            inString = !inString;
        else if (!inString && CharLiteralAt(line, i))
            i += 2;
        else if (!inString && line[i] == ';')
            return line.substr(0, i);
    }
    return line;
}

// Operands split at commas outside strings, character literals and brackets.
std::vector<std::string> SplitOperands(const std::string& text)
{
    std::vector<std::string> out;
    if (Trim(text).empty())
        return out;
    std::string current;
    bool inString = false;
    int depth = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') {
            inString = !inString;
        } else if (!inString && CharLiteralAt(text, i)) {
            current += text.substr(i, 3);
            i += 2;
            continue;
        } else if (!inString && c == '(') {
            ++depth;
        } else if (!inString && c == ')') {
            --depth;
        } else if (!inString && depth == 0 && c == ',') {
            out.push_back(Trim(current));
            current.clear();
            continue;
        }
        current += c;
    }
    if (inString)
        throw LineError{"unterminated string"};
    out.push_back(Trim(current));
    for (const std::string& o : out)
        if (o.empty())
            throw LineError{"empty operand"};
    return out;
}

// Finds an operand (any case) in a table of names; leaves `out` alone if absent.
template <typename T>
bool LookUp(const std::map<std::string, T>& names, const std::string& o, T& out)
{
    const auto it = names.find(Lower(o));
    if (it == names.end())
        return false;
    out = it->second;
    return true;
}

bool AsR8(const std::string& o, R8& r)
{
    static const std::map<std::string, R8> names = {{"b", R8::B}, {"c", R8::C}, {"d", R8::D}, {"e", R8::E},
                                                    {"h", R8::H}, {"l", R8::L}, {"(hl)", R8::HLi}, {"a", R8::A}};
    return LookUp(names, o, r);
}

bool AsR16(const std::string& o, R16& r)
{
    static const std::map<std::string, R16> names = {
        {"bc", R16::BC}, {"de", R16::DE}, {"hl", R16::HL}, {"sp", R16::SP}, {"af", R16::AF}};
    return LookUp(names, o, r);
}

bool AsCc(const std::string& o, Cc& c)
{
    static const std::map<std::string, Cc> names = {{"nz", Cc::NZ}, {"z", Cc::Z},   {"nc", Cc::NC}, {"c", Cc::C},
                                                    {"po", Cc::PO}, {"pe", Cc::PE}, {"p", Cc::P},   {"m", Cc::M}};
    return LookUp(names, o, c);
}

bool IsReserved(const std::string& name)
{
    R8 r;
    R16 rr;
    Cc c;
    const std::string l = Lower(name);
    return AsR8(l, r) || AsR16(l, rr) || AsCc(l, c) || l == "i" || l == "r" || l == "ix" || l == "iy";
}

// "(expression)" that is not a register in brackets: the inner text.
bool AsMemory(const std::string& o, std::string& inner)
{
    if (o.size() < 3 || o.front() != '(' || o.back() != ')')
        return false;
    int depth = 0;
    for (std::size_t i = 0; i < o.size(); ++i) {  // the first bracket must close at the end
        depth += o[i] == '(' ? 1 : o[i] == ')' ? -1 : 0;
        if (depth == 0 && i + 1 < o.size())
            return false;
    }
    inner = Trim(o.substr(1, o.size() - 2));
    const std::string l = Lower(inner);
    return l != "hl" && l != "bc" && l != "de" && l != "sp" && l != "c" && l != "ix" && l != "iy";
}

// An expression's value, or a label not defined yet plus a constant offset.
struct Value {
    int64_t number = 0;
    std::string label;
    bool Known() const { return label.empty(); }
};

class CExpression {
public:
    // `here` is the value of $: the address the statement starts at.
    CExpression(const std::string& text, const Z80Asm& a, uint16_t here) : m_text(text), m_asm(a), m_here(here)
    {
    }

    Value Parse()
    {
        Value v = Sum();
        Skip();
        if (m_pos != m_text.size())
            throw LineError{"unexpected '" + m_text.substr(m_pos) + "' in expression"};
        return v;
    }

private:
    void Skip()
    {
        while (m_pos < m_text.size() && std::isspace(static_cast<unsigned char>(m_text[m_pos])))
            ++m_pos;
    }

    static void RequireKnown(const Value& v)
    {
        if (!v.Known())
            throw LineError{"'" + v.label + "' must be defined before it is used here"};
    }

    Value Sum()
    {
        Value v = Product();
        for (;;) {
            Skip();
            if (m_pos >= m_text.size() || (m_text[m_pos] != '+' && m_text[m_pos] != '-'))
                return v;
            const char op = m_text[m_pos++];
            Value r = Product();
            if (r.Known()) {  // constant or label, plus or minus a constant
                v.number = op == '+' ? v.number + r.number : v.number - r.number;
            } else if (op == '+' && v.Known()) {   // constant + label
                r.number += v.number;
                v = r;
            } else {
                RequireKnown(v.Known() ? r : v);
            }
        }
    }

    Value Product()
    {
        Value v = Unary();
        for (;;) {
            Skip();
            if (m_pos >= m_text.size() || (m_text[m_pos] != '*' && m_text[m_pos] != '/'))
                return v;
            const char op = m_text[m_pos++];
            Value r = Unary();
            RequireKnown(v);
            RequireKnown(r);
            if (op == '/' && r.number == 0)
                throw LineError{"division by zero"};
            v.number = op == '*' ? v.number * r.number : v.number / r.number;
        }
    }

    Value Unary()
    {
        if (++m_depth > 64)
            throw LineError{"expression nested too deeply"};
        struct Leave {
            int& depth;
            ~Leave() { --depth; }
        } leave{m_depth};
        Skip();
        if (m_pos < m_text.size() && (m_text[m_pos] == '-' || m_text[m_pos] == '+')) {
            const bool negate = m_text[m_pos++] == '-';
            Value v = Unary();
            RequireKnown(v);
            if (negate)
                v.number = -v.number;
            return v;
        }
        if (m_pos < m_text.size() && m_text[m_pos] == '(') {
            ++m_pos;
            Value v = Sum();
            Skip();
            if (m_pos >= m_text.size() || m_text[m_pos] != ')')
                throw LineError{"missing ')' in expression"};
            ++m_pos;
            return v;
        }
        return Primary();
    }

    Value Primary()
    {
        if (m_pos >= m_text.size())
            throw LineError{"expression expected"};
        const char c = m_text[m_pos];
        if (const std::size_t n = CharLiteralAt(m_text, m_pos)) {
            m_pos += n;
            return {static_cast<unsigned char>(m_text[m_pos - 2]), {}};
        }
        if (c == '$' && (m_pos + 1 >= m_text.size() || !std::isxdigit(static_cast<unsigned char>(m_text[m_pos + 1])))) {
            ++m_pos;
            return {m_here, {}};
        }
        if (c == '$' || std::isdigit(static_cast<unsigned char>(c)))
            return {Number(), {}};
        if (IsIdentStart(c)) {
            const std::size_t start = m_pos;
            while (m_pos < m_text.size() && IsIdentChar(m_text[m_pos]))
                ++m_pos;
            const std::string name = m_text.substr(start, m_pos - start);
            if (IsReserved(name))
                throw LineError{"register '" + name + "' where a value is expected"};
            if (m_asm.defined(name))
                return {m_asm.address(name), {}};
            return {0, name};
        }
        throw LineError{"unexpected '" + m_text.substr(m_pos) + "' in expression"};
    }

    // 42, 0x2A, $2A, 2Ah, 0b101010.
    int64_t Number()
    {
        const std::size_t start = m_pos;
        if (m_text[m_pos] == '$')
            ++m_pos;
        while (m_pos < m_text.size() && std::isalnum(static_cast<unsigned char>(m_text[m_pos])))
            ++m_pos;
        const std::string token = m_text.substr(start, m_pos - start);
        std::string digits = Lower(token);
        int base = 10;
        if (digits[0] == '$') {
            digits.erase(0, 1), base = 16;
        } else if (digits.size() > 2 && digits[0] == '0' && digits[1] == 'x') {
            digits.erase(0, 2), base = 16;
        } else if (digits.back() == 'h') {
            digits.pop_back(), base = 16;
        } else if (digits.size() > 2 && digits[0] == '0' && digits[1] == 'b') {
            digits.erase(0, 2), base = 2;
        }
        std::size_t used = 0;
        int64_t value = -1;
        try {
            value = std::stoll(digits, &used, base);
        } catch (const std::exception&) {
            used = 0;
        }
        if (digits.empty() || used != digits.size() || value > 0xFFFFFFFFLL)
            throw LineError{"bad number '" + token + "'"};
        return value;
    }

    const std::string& m_text;
    const Z80Asm& m_asm;
    uint16_t m_here;
    std::size_t m_pos = 0;
    int m_depth = 0;  // brackets and signs open
};

class CSourceAssembler {
public:
    std::vector<uint8_t> Run(const std::string& text, const std::string& name, const fs::path& dir)
    {
        File(text, name, dir, 0);
        if (m_inPhase)
            throw Z80SourceError(name + ": PHASE without DEPHASE");
        std::vector<uint8_t> image;
        try {
            image = m_asm.bytes();
        } catch (const std::logic_error& e) {
            throw Z80SourceError(Unprefixed(e.what(), name));
        }
        if (m_imageSize) {
            if (image.size() > m_imageSize)
                throw Z80SourceError(name + ": the program (" + std::to_string(image.size()) +
                                     " bytes) is longer than the image (" + std::to_string(m_imageSize) + ")");
            image.resize(m_imageSize, 0xFF);
        }
        if (m_checksum && !PatchRomCrc(image, m_crc, m_crcOffset))
            throw Z80SourceError(m_checksumWhere + ": the checksum needs an image of at least 8192 bytes "
                                                   "and four bytes below offset 8192");
        return image;
    }

private:
    // "Z80Asm: message" from the assembler becomes "where: message".
    static std::string Unprefixed(const std::string& message, const std::string& where)
    {
        const std::string prefix = "Z80Asm: ";
        return message.rfind(prefix, 0) == 0 ? where + ": " + message.substr(prefix.size()) : message;
    }

    void File(const std::string& text, const std::string& name, const fs::path& dir, int depth)
    {
        std::istringstream in(text);
        int number = 0;
        for (std::string line; std::getline(in, line);) {
            const std::string where = name + ":" + std::to_string(++number);
            m_where = where;
            m_asm.sourcePosition(where);
            try {
                Statement(line, dir, depth);
                if (m_asm.size() > 0x10000)
                    throw LineError{"the program runs past address 0xFFFF"};
            } catch (const LineError& e) {
                throw Z80SourceError(where + ": " + e.message);
            } catch (const std::logic_error& e) {
                throw Z80SourceError(Unprefixed(e.what(), where));
            }
        }
    }

    void Statement(const std::string& raw, const fs::path& dir, int depth)
    {
        std::string rest = Trim(StripComment(raw));
        if (rest.empty())
            return;
        m_here = m_asm.here();
        std::size_t n = 0;
        while (n < rest.size() && IsIdentChar(rest[n]))
            ++n;
        std::string word = rest.substr(0, n);
        std::string after = Trim(rest.substr(n));
        if (!word.empty() && IsIdentStart(word[0]) && !after.empty() && after[0] == ':') {
            DefineLabel(word, m_asm.here());
            rest = Trim(after.substr(1));
            if (rest.empty())
                return;
            n = 0;
            while (n < rest.size() && IsIdentChar(rest[n]))
                ++n;
            word = rest.substr(0, n);
            after = Trim(rest.substr(n));
        } else if (Lower(after.substr(0, 3)) == "equ" &&
                   (after.size() == 3 || std::isspace(static_cast<unsigned char>(after[3])))) {
            DefineLabel(word, Known(Trim(after.substr(3)), 0, 0xFFFF));
            return;
        }
        if (word.empty())
            throw LineError{"statement expected, found '" + rest + "'"};
        Directive(Lower(word), after, dir, depth);
    }

    void DefineLabel(const std::string& name, int64_t value)
    {
        if (name.empty() || !IsIdentStart(name[0]))
            throw LineError{"bad label name '" + name + "'"};
        if (IsReserved(name))
            throw LineError{"'" + name + "' is a register or condition, not a label"};
        m_asm.equ(name, static_cast<uint16_t>(value));
    }

    void Directive(const std::string& word, const std::string& operands, const fs::path& dir, int depth)
    {
        if (word == "include") {
            const std::string file = Trim(operands);
            if (file.size() < 2 || file.front() != '"' || file.back() != '"')
                throw LineError{"INCLUDE takes a file name in double quotes"};
            if (depth >= 16)
                throw LineError{"INCLUDE nested too deeply"};
            const fs::path path = dir / file.substr(1, file.size() - 2);
            std::ifstream in(path, std::ios::binary);
            std::ostringstream text;
            text << in.rdbuf();
            if (!in)
                throw LineError{"cannot read " + path.string()};
            File(text.str(), path.filename().string(), path.parent_path(), depth + 1);
            return;
        }
        const std::vector<std::string> ops = SplitOperands(operands);
        if (word == "org" || word == "phase" || word == "image" || word == "checksum" || word == "ds")
            if (ops.empty() || ops.size() > 2 || (ops.size() == 2 && word != "ds" && word != "checksum"))
                throw LineError{"wrong number of operands for " + word};
        if (word == "org") {
            m_asm.org(static_cast<uint16_t>(Known(ops[0], 0, 0xFFFF)));
        } else if (word == "phase") {
            m_asm.phase(static_cast<uint16_t>(Known(ops[0], 0, 0xFFFF)));
            m_inPhase = true;
        } else if (word == "dephase") {
            m_asm.dephase();
            m_inPhase = false;
        } else if (word == "image") {
            m_imageSize = static_cast<std::size_t>(Known(ops[0], 1, 0x10000));
        } else if (word == "checksum") {
            m_checksum = true;
            m_crc = static_cast<uint32_t>(Known(ops[0], 0, 0xFFFFFFFFLL));
            m_crcOffset = ops.size() > 1 ? static_cast<std::size_t>(Known(ops[1], 0, 0xFFFF)) : 8188;
            m_checksumWhere = m_where;
        } else if (word == "ds") {
            const auto count = static_cast<std::size_t>(Known(ops[0], 0, 0x10000));
            m_asm.db(std::vector<uint8_t>(count, ops.size() > 1 ? Byte(ops[1]) : 0));
        } else if (word == "db") {
            for (const std::string& o : ops) {
                if (o.size() >= 2 && o.front() == '"' && o.back() == '"')
                    m_asm.db(o.substr(1, o.size() - 2));
                else
                    m_asm.db({Byte(o)});
            }
        } else if (word == "dw") {
            for (const std::string& o : ops)
                m_asm.dw(Word(o));
        } else {
            Instruction(word, ops);
        }
    }

    int64_t Known(const std::string& text, int64_t low, int64_t high) const
    {
        const Value v = CExpression(text, m_asm, m_here).Parse();
        if (!v.Known())
            throw LineError{"'" + v.label + "' must be defined before it is used here"};
        if (v.number < low || v.number > high)
            throw LineError{"value " + std::to_string(v.number) + " out of range (" + std::to_string(low) + ".." +
                            std::to_string(high) + ")"};
        return v.number;
    }

    uint8_t Byte(const std::string& text) const { return static_cast<uint8_t>(Known(text, -128, 255)); }

    Z80Asm::Target Word(const std::string& text) const
    {
        const Value v = CExpression(text, m_asm, m_here).Parse();
        if (v.number < -0x8000 || v.number > 0xFFFF)
            throw LineError{"value " + std::to_string(v.number) + " does not fit in 16 bits"};
        const std::string name = Trim(text);
        if (v.Known() && m_asm.defined(name))  // by name, so messages can name it
            return Z80Asm::Target(name);
        if (v.Known())
            return Z80Asm::Target(static_cast<int>(v.number));
        return Z80Asm::Target(v.label, static_cast<int>(v.number));
    }

    void Instruction(const std::string& m, const std::vector<std::string>& ops);
    void Load(const std::string& d, const std::string& s);

    Z80Asm m_asm{0x0000, 0xFF};
    std::string m_where;
    uint16_t m_here = 0;  // address of the statement being assembled
    bool m_inPhase = false;
    std::size_t m_imageSize = 0;
    bool m_checksum = false;
    uint32_t m_crc = 0;
    std::size_t m_crcOffset = 8188;
    std::string m_checksumWhere;
};

void CSourceAssembler::Load(const std::string& d, const std::string& s)
{
    const std::string dl = Lower(d), sl = Lower(s);
    R8 rd, rs;
    R16 pd, ps;
    std::string mem;
    if (AsR8(d, rd) && AsR8(s, rs))
        return m_asm.ld(rd, rs);
    if (dl == "a" && sl == "(bc)")
        return m_asm.ld_a_bc();
    if (dl == "a" && sl == "(de)")
        return m_asm.ld_a_de();
    if (dl == "(bc)" && sl == "a")
        return m_asm.ld_bc_a();
    if (dl == "(de)" && sl == "a")
        return m_asm.ld_de_a();
    if (dl == "a" && sl == "i")
        return m_asm.ld_a_i();
    if (dl == "i" && sl == "a")
        return m_asm.ld_i_a();
    if (dl == "sp" && sl == "hl")
        return m_asm.ld_sp_hl();
    if (AsMemory(s, mem)) {
        if (dl == "a")
            return m_asm.ld_a_mem(Word(mem));
        if (dl == "hl")
            return m_asm.ld_hl_mem(Word(mem));
        if (AsR16(d, pd) && pd != R16::AF)
            return m_asm.ld_rr_mem(pd, Word(mem));
        throw LineError{"invalid operands for LD"};
    }
    if (AsMemory(d, mem)) {
        if (sl == "a")
            return m_asm.ld_mem_a(Word(mem));
        if (sl == "hl")
            return m_asm.ld_mem_hl(Word(mem));
        if (AsR16(s, ps) && ps != R16::AF)
            return m_asm.ld_mem_rr(Word(mem), ps);
        throw LineError{"invalid operands for LD"};
    }
    if (AsR8(d, rd))
        return m_asm.ld(rd, Byte(s));
    if (AsR16(d, pd) && pd != R16::AF)
        return m_asm.ld(pd, Word(s));
    throw LineError{"invalid operands for LD"};
}

void CSourceAssembler::Instruction(const std::string& m, const std::vector<std::string>& ops)
{
    static const std::map<std::string, void (Z80Asm::*)()> plain = {
        {"nop", &Z80Asm::nop},   {"halt", &Z80Asm::halt}, {"di", &Z80Asm::di},     {"ei", &Z80Asm::ei},
        {"exx", &Z80Asm::exx},   {"ldi", &Z80Asm::ldi},   {"ldir", &Z80Asm::ldir}, {"cpl", &Z80Asm::cpl},
        {"neg", &Z80Asm::neg},   {"scf", &Z80Asm::scf},   {"ccf", &Z80Asm::ccf},   {"rlca", &Z80Asm::rlca},
        {"rrca", &Z80Asm::rrca}, {"rla", &Z80Asm::rla},   {"rra", &Z80Asm::rra},   {"reti", &Z80Asm::reti},
        {"retn", &Z80Asm::retn}};
    using AluR = void (Z80Asm::*)(R8);
    using AluN = void (Z80Asm::*)(uint8_t);
    static const std::map<std::string, std::pair<AluR, AluN>> alu = {
        {"add", {&Z80Asm::add_a, &Z80Asm::add_a_n}}, {"adc", {&Z80Asm::adc_a, &Z80Asm::adc_a_n}},
        {"sub", {&Z80Asm::sub, &Z80Asm::sub_n}},     {"sbc", {&Z80Asm::sbc_a, &Z80Asm::sbc_a_n}},
        {"and", {&Z80Asm::and_, &Z80Asm::and_n}},    {"xor", {&Z80Asm::xor_, &Z80Asm::xor_n}},
        {"or", {&Z80Asm::or_, &Z80Asm::or_n}},       {"cp", {&Z80Asm::cp, &Z80Asm::cp_n}}};

    const std::size_t n = ops.size();
    std::string upper = m;
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const auto bad = [&] { return LineError{"invalid operands for " + upper}; };
    const auto low = [&](std::size_t i) { return Lower(ops[i]); };
    R8 r;
    R16 rr;
    Cc cc;
    std::string mem;

    if (const auto it = plain.find(m); it != plain.end()) {
        if (n != 0)
            throw bad();
        return (m_asm.*(it->second))();
    }
    if (const auto it = alu.find(m); it != alu.end()) {
        if (m == "add" && n == 2 && low(0) == "hl" && AsR16(ops[1], rr))
            return m_asm.add_hl(rr);
        if (n == 0 || n > 2 || (n == 2 && low(0) != "a"))
            throw bad();
        const std::string& o = ops[n - 1];
        if (AsR8(o, r))
            return (m_asm.*(it->second.first))(r);
        return (m_asm.*(it->second.second))(Byte(o));
    }
    if (m == "ld" && n == 2)
        return Load(ops[0], ops[1]);
    if ((m == "push" || m == "pop") && n == 1 && AsR16(ops[0], rr))
        return m == "push" ? m_asm.push(rr) : m_asm.pop(rr);
    if ((m == "inc" || m == "dec") && n == 1) {
        if (AsR8(ops[0], r))
            return m == "inc" ? m_asm.inc(r) : m_asm.dec(r);
        if (AsR16(ops[0], rr))
            return m == "inc" ? m_asm.inc(rr) : m_asm.dec(rr);
        throw bad();
    }
    if (m == "ex" && n == 2) {
        const std::string pair = low(0) + "," + low(1);
        if (pair == "de,hl")
            return m_asm.ex_de_hl();
        if (pair == "af,af'")
            return m_asm.ex_af_af();
        if (pair == "(sp),hl")
            return m_asm.ex_sp_hl();
        throw bad();
    }
    if (m == "in") {
        if (n == 1 && low(0) == "(c)")
            return m_asm.in_r_c(R8::HLi);
        if (n == 2 && low(1) == "(c)" && low(0) == "f")
            return m_asm.in_r_c(R8::HLi);
        if (n == 2 && low(1) == "(c)" && AsR8(ops[0], r) && r != R8::HLi)
            return m_asm.in_r_c(r);
        if (n == 2 && low(0) == "a" && AsMemory(ops[1], mem))
            return m_asm.in_a_n(Byte(mem));
        throw bad();
    }
    if (m == "out" && n == 2) {
        if (low(0) == "(c)" && low(1) == "0")
            return m_asm.out_c_r(R8::HLi);
        if (low(0) == "(c)" && AsR8(ops[1], r) && r != R8::HLi)
            return m_asm.out_c_r(r);
        if (low(1) == "a" && AsMemory(ops[0], mem))
            return m_asm.out_n_a(Byte(mem));
        throw bad();
    }
    if ((m == "bit" || m == "set" || m == "res") && n == 2 && AsR8(ops[1], r)) {
        const int b = static_cast<int>(Known(ops[0], 0, 7));
        return m == "bit" ? m_asm.bit(b, r) : m == "set" ? m_asm.set(b, r) : m_asm.res(b, r);
    }
    if (m == "jp" && n == 1 && low(0) == "(hl)")
        return m_asm.jp_hl();
    if ((m == "jp" || m == "jr" || m == "call") && (n == 1 || n == 2)) {
        if (n == 2 && !AsCc(ops[0], cc))
            throw LineError{"unknown condition '" + ops[0] + "'"};
        const Z80Asm::Target t = Word(ops[n - 1]);
        if (m == "jp")
            return n == 1 ? m_asm.jp(t) : m_asm.jp(cc, t);
        if (m == "jr")
            return n == 1 ? m_asm.jr(t) : m_asm.jr(cc, t);
        return n == 1 ? m_asm.call(t) : m_asm.call(cc, t);
    }
    if (m == "djnz" && n == 1)
        return m_asm.djnz(Word(ops[0]));
    if (m == "ret" && n <= 1) {
        if (n == 0)
            return m_asm.ret();
        if (!AsCc(ops[0], cc))
            throw LineError{"unknown condition '" + ops[0] + "'"};
        return m_asm.ret(cc);
    }
    if (m == "rst" && n == 1)
        return m_asm.rst(static_cast<uint8_t>(Known(ops[0], 0, 0x38)));
    if (m == "im" && n == 1)
        return m_asm.im(static_cast<int>(Known(ops[0], 0, 2)));
    static const char* const known[] = {"ld", "push", "pop", "inc", "dec", "ex", "in", "out", "bit", "set",
                                        "res", "jp", "jr", "call", "djnz", "ret", "rst", "im"};
    for (const char* k : known)
        if (m == k)
            throw bad();
    throw LineError{"unknown instruction '" + m + "'"};
}

}  // namespace

std::vector<uint8_t> AssembleSourceText(const std::string& text, const std::string& name,
                                        const fs::path& includeDir)
{
    return CSourceAssembler().Run(text, name, includeDir);
}

std::vector<uint8_t> AssembleSourceFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    if (!in)
        throw Z80SourceError("cannot read " + path.string());
    return AssembleSourceText(text.str(), path.filename().string(), path.parent_path());
}
