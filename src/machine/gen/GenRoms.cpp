// Converter "roms": data/roms.txt (+ data/machines.txt for the hardware
// labels) -> the RomEntry table, ended by an all-zero row (crc 0).
//
// Display texts are stored twice: converted to CP932, the encoding the
// database, the playlist file names and the cache file use, and as the UTF-8
// of the data file for the user interface.

#include <cstdio>
#include <map>

#include "Converter.h"
#include "MachineTable.h"

namespace {

// Hardware label of a row that names none: the CPU is taken to be a plain
// Z80 and the chip follows the machine's chip kind.
const char* DefaultHardware(uint32_t chipKind)
{
    switch (chipKind) {
    case 0: return "Z80,YM2413";
    case 1: return "Z80,YMF281B";
    case 2: return "Z80,AY-3-8910";
    case 3: return "Z80,SN76489";
    default: return "";
    }
}

void ConvertRoms(const std::vector<std::string>& inputs, std::ostream& out)
{
    if (inputs.size() != 2)
        throw GenError("roms: expected two inputs, roms.txt and machines.txt");
    std::map<uint32_t, uint32_t> chipOfType;
    for (const MachineRecord& m : ReadMachineTable(inputs[1]))
        chipOfType[m.machineType] = m.chipKind;

    out << "#include \"machine/RomDatabase.h\"\n\n"
        << "extern const RomEntry g_RomTable[];\n\n"
        << "// crc, machineType, flags, name, typeText, manufacturer, hardware (CP932),\n"
        << "// then title, typeText, manufacturer in UTF-8\n"
        << "const RomEntry g_RomTable[] = {\n";
    for (const TableRow& row : ReadTable(inputs[0])) {
        row.ExpectColumns(7);
        const auto& c = row.cells;
        if (c[0].size() != 8)
            row.Fail("crc '" + c[0] + "' must be 8 hex digits");
        uint32_t crc = ParseHex(row, c[0], "crc");
        if (crc == 0)
            row.Fail("crc 00000000 is reserved for the table's end");
        uint32_t type = ParseNumber(row, c[1], "type");
        uint32_t flags = ParseHex(row, c[2], "flags");
        const std::string& typeText = c[3];
        const std::string& maker = c[4];
        std::string hardware = c[5];
        const std::string& title = c[6];
        if (title.empty())
            row.Fail("empty title");
        if (hardware.empty()) {
            auto it = chipOfType.find(type);
            if (it != chipOfType.end())
                hardware = DefaultHardware(it->second);
        }
        char head[64];
        std::snprintf(head, sizeof head, "    {0x%08X, %u, 0x%X, ", crc, type, flags);
        out << head << CppStringLiteral(Utf8ToCp932(row, title, "title")) << ", "
            << CppStringLiteral(Utf8ToCp932(row, typeText, "typeText")) << ", "
            << CppStringLiteral(Utf8ToCp932(row, maker, "manufacturer")) << ", "
            << CppStringLiteral(Utf8ToCp932(row, hardware, "hardware")) << ",\n     "
            << CppStringLiteral(title) << ", " << CppStringLiteral(typeText) << ", "
            << CppStringLiteral(maker) << "},  // line " << row.line << "\n";
    }
    out << "    {0, 0, 0, \"\", \"\", \"\", \"\", \"\", \"\", \"\"},  // end of table: crc 0\n};\n";
}

const ConverterRegistration kRegistration{"roms", &ConvertRoms};

}  // namespace
