#include "MachineTable.h"

#include <set>

namespace {

// Chip names in ChipKind order (see src/machine/MachineDef.h).
const char* const kChipNames[] = {"YM2413", "YMF281B", "PSG", "SN76496"};

// "first-last" or a single "address" (a range of one).
void ParseRange(const TableRow& row, const std::string& text, const char* what, uint32_t& low,
                uint32_t& high)
{
    std::size_t dash = text.find('-');
    low = ParseNumber(row, text.substr(0, dash), what);
    high = dash == std::string::npos ? low : ParseNumber(row, text.substr(dash + 1), what);
    if (high < low || high > 0xFFFF)
        row.Fail(std::string(what) + " range '" + text + "' is inverted or beyond 0xFFFF");
}

// "mem RANGE" or "port RANGE".
void ParseSpace(const TableRow& row, const std::string& text, const char* what, uint32_t& isPort,
                uint32_t& low, uint32_t& high)
{
    std::size_t blank = text.find(' ');
    std::string space = text.substr(0, blank);
    if (space == "mem")
        isPort = 0;
    else if (space == "port")
        isPort = 1;
    else
        row.Fail(std::string(what) + " must start with 'mem' or 'port': '" + text + "'");
    if (blank == std::string::npos)
        row.Fail(std::string(what) + " has no address: '" + text + "'");
    std::string range = text.substr(text.find_first_not_of(' ', blank));
    ParseRange(row, range, what, low, high);
    if (isPort && high > 0xFF)
        row.Fail(std::string(what) + " port range '" + range + "' beyond 0xFF");
}

uint32_t Parse16(const TableRow& row, const std::string& text, const char* what)
{
    uint32_t v = ParseNumber(row, text, what);
    if (v > 0xFFFF)
        row.Fail(std::string(what) + " '" + text + "' does not fit in 16 bits");
    return v;
}

}  // namespace

const char* ChipName(uint32_t chipKind)
{
    return chipKind < 4 ? kChipNames[chipKind] : "?";
}

std::vector<MachineRecord> ReadMachineTable(const std::string& path)
{
    std::vector<MachineRecord> out;
    std::set<uint32_t> seen;
    for (const TableRow& row : ReadTable(path)) {
        row.ExpectColumns(13);
        const auto& c = row.cells;
        MachineRecord m{};
        m.machineType = ParseNumber(row, c[0], "type");
        if (!seen.insert(m.machineType).second)
            row.Fail("machine type " + c[0] + " listed twice");
        m.chipKind = 4;
        for (uint32_t k = 0; k < 4; ++k)
            if (c[1] == kChipNames[k])
                m.chipKind = k;
        if (m.chipKind == 4)
            row.Fail("unknown chip '" + c[1] + "' (YM2413, YMF281B, PSG or SN76496)");
        m.cpuClock = ParseNumber(row, c[2], "cpuClock");
        if (m.cpuClock == 0)
            row.Fail("cpuClock 0 is reserved for the table's end");
        m.chipClock = ParseNumber(row, c[3], "chipClock");
        m.bootCycles = ParseNumber(row, c[4], "boot");
        m.tickPeriod = ParseNumber(row, c[5], "tick");
        m.tickEntry = Parse16(row, c[6], "tickEntry");
        m.irqPeriod = ParseNumber(row, c[7], "irq");
        m.irqData = ParseNumber(row, c[8], "irqData");
        if (m.irqData > 0xFF)
            row.Fail("irqData '" + c[8] + "' is not a byte");
        m.commandEntry = Parse16(row, c[9], "cmdEntry");
        ParseRange(row, c[10], "ram", m.ramStart, m.ramEnd);
        ParseSpace(row, c[11], "latch", m.latchIsPort, m.latchLow, m.latchHigh);
        ParseSpace(row, c[12], "chipAt", m.chipIsPort, m.chipLow, m.chipHigh);
        out.push_back(m);
    }
    return out;
}
