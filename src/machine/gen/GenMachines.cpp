// Converter "machines": data/machines.txt -> the MachineDef table, ended by
// an all-zero row (cpuClock 0).

#include <cstdio>

#include "Converter.h"
#include "MachineTable.h"

namespace {

std::string Hex(uint32_t v)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%04X", v);
    return buf;
}

void ConvertMachines(const std::vector<std::string>& inputs, std::ostream& out)
{
    if (inputs.size() != 1)
        throw GenError("machines: expected one input, machines.txt");
    std::vector<MachineRecord> rows = ReadMachineTable(inputs[0]);

    out << "#include \"machine/MachineDef.h\"\n\n"
        << "extern const MachineDef g_MachineTable[];\n"
        << "\n"
        << "// type, chip, cpuClock, chipClock, bootCycles, tickPeriod, tickEntry, irqPeriod,\n"
        << "// irqData, commandEntry, ramStart, ramEnd, latchIsPort, latchLow, latchHigh,\n"
        << "// chipIsPort, chipLow, chipHigh\n"
        << "const MachineDef g_MachineTable[] = {\n";
    for (const MachineRecord& m : rows) {
        out << "    {" << m.machineType << ", " << m.chipKind << " /*" << ChipName(m.chipKind) << "*/, "
            << m.cpuClock << ", " << m.chipClock << ", " << m.bootCycles << ", " << m.tickPeriod << ", "
            << Hex(m.tickEntry) << ", " << m.irqPeriod << ", " << Hex(m.irqData) << ", "
            << Hex(m.commandEntry) << ", " << Hex(m.ramStart) << ", " << Hex(m.ramEnd) << ", "
            << m.latchIsPort << ", " << Hex(m.latchLow) << ", " << Hex(m.latchHigh) << ", "
            << m.chipIsPort << ", " << Hex(m.chipLow) << ", " << Hex(m.chipHigh) << "},\n";
    }
    out << "    {},  // end of table: cpuClock 0\n};\n";
}

const ConverterRegistration kRegistration{"machines", &ConvertMachines};

}  // namespace
