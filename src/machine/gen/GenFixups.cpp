// Converter "fixups": data/fixups.txt (+ data/roms.txt and data/machines.txt
// for cross-checks) -> the ResetFixup records with their ROM patches.
//
// Besides the syntax of each column it checks what would otherwise only show
// up as a board that plays nothing: every record names a ROM of the database
// with the same machine type; a stub covers the machine's command and tick
// entry points and fits the RAM window; and every ROM of a machine type whose
// commands enter a driver stub has a record with a stub.

#include <cctype>
#include <cstdio>
#include <map>
#include <set>
#include <sstream>

#include "Converter.h"
#include "MachineTable.h"

namespace {

constexpr uint32_t kAreaSize = 16384;  // board ROM and RAM areas

// Types whose command entry is a jump placed into the ROM, not a stub.
bool EntersThroughRom(uint32_t type) { return type == 48 || type == 51; }

struct Patch {
    uint32_t address;
    std::vector<uint8_t> bytes;
};

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// "-" or blank-separated ADDR:BYTES items in ascending, non-overlapping order.
std::vector<Patch> ParsePatches(const TableRow& row, const std::string& text, const char* what)
{
    std::vector<Patch> patches;
    if (text == "-")
        return patches;
    std::istringstream items(text);
    std::string item;
    uint32_t end = 0;
    while (items >> item) {
        std::size_t colon = item.find(':');
        if (colon != 4 || item.size() < 7 || (item.size() - 5) % 2 != 0)
            row.Fail(std::string("bad ") + what + " patch '" + item + "' (want ADDR:BYTES, e.g. 012B:00)");
        Patch p;
        p.address = ParseHex(row, item.substr(0, 4), "patch address");
        for (std::size_t i = 5; i < item.size(); i += 2) {
            int hi = HexDigit(item[i]), lo = HexDigit(item[i + 1]);
            if (hi < 0 || lo < 0)
                row.Fail(std::string("bad ") + what + " patch bytes in '" + item + "'");
            p.bytes.push_back(static_cast<uint8_t>(hi << 4 | lo));
        }
        if (!patches.empty() && p.address < end)
            row.Fail(std::string(what) + " patch '" + item + "' overlaps or precedes the one before it");
        end = p.address + static_cast<uint32_t>(p.bytes.size());
        if (end > kAreaSize)
            row.Fail(std::string(what) + " patch '" + item + "' runs past the 16 KB ROM area");
        patches.push_back(std::move(p));
    }
    if (patches.empty())
        row.Fail(std::string("empty ") + what + " patch list (write '-' for none)");
    return patches;
}

std::string Hex4(uint32_t v)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%04X", v);
    return buf;
}

std::string Hex8(uint32_t v)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08X", v);
    return buf;
}

// Emits the byte arrays and the RomPatch array of one list; returns the
// array's name, or "nullptr" for an empty list.
std::string EmitPatches(std::ostream& out, const std::string& name, const std::vector<Patch>& patches)
{
    if (patches.empty())
        return "nullptr";
    for (std::size_t i = 0; i < patches.size(); ++i) {
        out << "const uint8_t " << name << "_" << i << "[] = {";
        for (std::size_t b = 0; b < patches[i].bytes.size(); ++b) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "0x%02X", patches[i].bytes[b]);
            out << (b ? ", " : "") << buf;
        }
        out << "};\n";
    }
    out << "const RomPatch " << name << "[] = {\n";
    for (std::size_t i = 0; i < patches.size(); ++i)
        out << "    {" << Hex4(patches[i].address) << ", " << patches[i].bytes.size() << ", " << name << "_" << i
            << "},\n";
    out << "};\n";
    return name;
}

void ConvertFixups(const std::vector<std::string>& inputs, std::ostream& out)
{
    if (inputs.size() != 3)
        throw GenError("fixups: expected three inputs, fixups.txt, roms.txt and machines.txt");

    std::map<uint32_t, MachineRecord> machines;
    for (const MachineRecord& m : ReadMachineTable(inputs[2]))
        machines[m.machineType] = m;
    std::map<uint32_t, uint32_t> typeOfCrc;  // first row wins, as in the database
    std::vector<std::pair<uint32_t, uint32_t>> romRows;
    for (const TableRow& r : ReadTable(inputs[1])) {
        if (r.cells.size() < 2)
            r.Fail("expected at least crc and type columns");
        uint32_t crc = ParseHex(r, r.cells[0], "checksum");
        uint32_t type = ParseNumber(r, r.cells[1], "machine type");
        typeOfCrc.emplace(crc, type);
        romRows.emplace_back(type, crc);
    }

    std::ostringstream arrays, records, checks;
    std::set<std::pair<uint32_t, uint32_t>> keys, withStub;
    std::set<std::string> images;
    std::size_t count = 0;
    for (const TableRow& row : ReadTable(inputs[0])) {
        row.ExpectColumns(9);
        const auto& c = row.cells;
        uint32_t type = ParseNumber(row, c[0], "machine type");
        if (c[1].size() != 8)
            row.Fail("bad checksum '" + c[1] + "' (want 8 hex digits)");
        uint32_t crc = ParseHex(row, c[1], "checksum");
        if (!keys.insert({type, crc}).second)
            row.Fail("second record for type " + std::to_string(type) + ", checksum " + c[1]);

        auto rom = typeOfCrc.find(crc);
        if (rom == typeOfCrc.end())
            row.Fail("checksum " + c[1] + " is not in the ROM database");
        if (rom->second != type)
            row.Fail("checksum " + c[1] + " is a type-" + std::to_string(rom->second) + " ROM in the database, not type " +
                     std::to_string(type));
        auto mach = machines.find(type);
        if (mach == machines.end())
            row.Fail("machine type " + std::to_string(type) + " has no machine definition");
        const MachineRecord& m = mach->second;

        uint32_t stub = ParseNumber(row, c[2], "stub size");
        uint32_t stubAt = 0;
        bool beforeBoot = false;
        std::string image = "nullptr";
        if (stub == 0) {
            if (c[3] != "-" || c[4] != "-" || c[6] != "-")
                row.Fail("a record without a stub has '-' for stubAt, when and image");
        } else {
            stubAt = ParseNumber(row, c[3], "stub RAM offset");
            if (stubAt + stub > kAreaSize)
                row.Fail("stub runs past the 16 KB RAM area");
            const uint32_t first = m.ramStart + stubAt, last = first + stub - 1;
            if (last > m.ramEnd)
                row.Fail("stub " + Hex4(first) + "-" + Hex4(last) + " runs past the machine's RAM window");
            for (uint32_t entry : {m.commandEntry, m.tickEntry})
                if (entry != 0 && (entry < first || entry > last))
                    row.Fail("machine entry point " + Hex4(entry) + " lies outside the stub " + Hex4(first) + "-" +
                             Hex4(last));
            if (c[4] == "before")
                beforeBoot = true;
            else if (c[4] != "after")
                row.Fail("when must be 'before' or 'after', not '" + c[4] + "'");
            if (c[6] != "-") {
                image = c[6];
                for (char ch : image)
                    if (!(std::isalnum(static_cast<unsigned char>(ch)) || ch == '_'))
                        row.Fail("bad image name '" + image + "'");
                if (images.insert(image).second)
                    checks << "static_assert(sizeof(" << image << ") == " << stub << ", \"" << image
                           << ": size differs from data/fixups.txt\");\n";
            }
            withStub.insert({type, crc});
        }
        bool bank = false;
        if (c[5] == "yes")
            bank = true;
        else if (c[5] != "-")
            row.Fail("bank must be 'yes' or '-', not '" + c[5] + "'");

        std::vector<Patch> before = ParsePatches(row, c[7], "before");
        std::vector<Patch> after = ParsePatches(row, c[8], "after");
        if (stub == 0 && !bank && before.empty() && after.empty())
            row.Fail("record does nothing");

        char base[32];
        std::snprintf(base, sizeof base, "k%u_%08X", type, crc);
        std::string b = EmitPatches(arrays, std::string(base) + "_before", before);
        std::string a = EmitPatches(arrays, std::string(base) + "_after", after);
        records << "    {" << type << ", 0x" << Hex8(crc) << "u, " << b << ", " << before.size() << ", " << a << ", "
                << after.size() << ", " << stub << ", " << image << ", " << Hex4(stubAt) << ", "
                << (beforeBoot ? "true" : "false") << ", " << (bank ? "true" : "false") << "},\n";
        ++count;
    }

    // A ROM whose commands go to a stub entry cannot play without its stub.
    for (const auto& [type, crc] : romRows) {
        auto mach = machines.find(type);
        if (mach == machines.end() || mach->second.commandEntry == 0 || EntersThroughRom(type))
            continue;
        if (!withStub.count({type, crc}))
            throw GenError(inputs[0] + ": type-" + std::to_string(type) + " ROM " + Hex8(crc) +
                           " enters commands through a driver stub but has no stub record");
    }

    out << "#include <cstddef>\n#include <cstdint>\n\n"
        << "#include \"machine/DriverStubs.h\"\n#include \"machine/Fixups.h\"\n\n"
        << checks.str() << "\nnamespace {\n"
        << arrays.str() << "}  // namespace\n\n"
        << "extern const ResetFixup g_FixupTable[];\n"
        << "extern const std::size_t g_FixupCount;\n\n"
        << "// type, crc, before, count, after, count, stubSize, stubImage, stubRamOffset,\n"
        << "// stubBeforeBoot, bankCopy\n"
        << "const ResetFixup g_FixupTable[] = {\n"
        << records.str() << "};\n"
        << "const std::size_t g_FixupCount = " << count << ";\n";
}

const ConverterRegistration kRegistration{"fixups", &ConvertFixups};

}  // namespace
