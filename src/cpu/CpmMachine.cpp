#include "cpu/CpmMachine.h"

namespace {
constexpr uint8_t kStopPort = 0xFE;
constexpr uint8_t kBdosPort = 0xFF;
constexpr int kChunk = 1 << 22;  // T-states per Execute call
}  // namespace

CCpmMachine::CCpmMachine() : m_ram(0x10000, 0)
{
    fastRead = m_ram.data();
    fastReadSize = 0x10000;
    fastWrite = m_ram.data();
    fastWriteStart = 0;
    fastWriteSize = 0x10000;
}

bool CCpmMachine::Load(const std::vector<uint8_t>& program, std::string& error)
{
    if (program.size() > kMaxProgramSize) {
        error = "program too large: " + std::to_string(program.size()) + " bytes, at most " +
                std::to_string(kMaxProgramSize) + " fit";
        return false;
    }
    std::fill(m_ram.begin(), m_ram.end(), 0);
    const uint8_t low[] = {
        0xD3, kStopPort,  // 0000: OUT (FEh),A  -- reaching 0 ends the run
        0x76,             // 0002: HALT
        0x00, 0x00,       // 0003: IOBYTE, drive
        0xC3, 0x00, 0xF0, // 0005: JP F000h; the word at 6 is the memory top
    };
    std::copy(std::begin(low), std::end(low), m_ram.begin());
    const uint8_t bdos[] = {0xD3, kBdosPort, 0xC9};  // OUT (FFh),A ; RET
    std::copy(std::begin(bdos), std::end(bdos), m_ram.begin() + kBdosStub);
    std::copy(program.begin(), program.end(), m_ram.begin() + kLoadAddress);

    m_cpu.Reset();
    m_cpu.PC = kLoadAddress;
    m_cpu.SP = kBdosStub;
    m_output.clear();
    m_stopped = false;
    return true;
}

int CCpmMachine::CyclesUsedInChunk() const
{
    int left = m_cpu.CyclesLeft;
    if (m_cpu.StatusFlags & CZ80::kEiPending)
        left += m_cpu.SavedBudget - 1;
    return m_chunkBudget - left;
}

CCpmMachine::RunResult CCpmMachine::Run(uint64_t maxTStates, std::FILE* echo)
{
    RunResult result;
    CZ80Bus* previous = g_CurrentBoard;
    g_CurrentBoard = this;
    m_echo = echo;
    m_stopped = false;
    while (result.tStates < maxTStates) {
        uint64_t remaining = maxTStates - result.tStates;
        m_chunkBudget = remaining < static_cast<uint64_t>(kChunk) ? static_cast<int>(remaining) : kChunk;
        int left = m_cpu.Execute(m_chunkBudget);
        if (m_stopped) {
            result.tStates += static_cast<uint64_t>(m_stopCycles);
            result.finished = true;
            break;
        }
        result.tStates += static_cast<uint64_t>(m_chunkBudget - left);
        if (m_cpu.StatusFlags & CZ80::kHalt) {
            result.halted = true;
            char text[64];
            std::snprintf(text, sizeof text, "program halted at %04X", m_cpu.PC);
            result.error = text;
            break;
        }
    }
    if (!result.finished && result.error.empty())
        result.error = "program did not finish within " + std::to_string(maxTStates) + " T-states";
    g_CurrentBoard = previous;
    m_echo = nullptr;
    return result;
}

uint8_t CCpmMachine::ReadPort(uint8_t) { return 0xFF; }

void CCpmMachine::WritePort(uint8_t port, uint8_t)
{
    if (port == kStopPort) {
        m_stopped = true;
        m_stopCycles = CyclesUsedInChunk();
        return;
    }
    if (port != kBdosPort)
        return;
    switch (m_cpu.BC.B.L) {
    case 0:  // system reset: the program is done
        m_stopped = true;
        m_stopCycles = CyclesUsedInChunk();
        m_cpu.CyclesLeft = 0;  // stop at once; the run reports the cycles so far
        break;
    case 2:
        Print(static_cast<char>(m_cpu.DE.B.L));
        break;
    case 9:
        // The string ends at "$"; a missing terminator stops at the end of memory.
        for (uint32_t a = m_cpu.DE.W; a < 0x10000 && m_ram[a] != '$'; ++a)
            Print(static_cast<char>(m_ram[a]));
        break;
    default:
        break;
    }
}

void CCpmMachine::Print(char c)
{
    m_output.push_back(c);
    if (m_echo) {
        std::fputc(c, m_echo);
        if (c == '\n')
            std::fflush(m_echo);
    }
}
