// The board as its CPU sees it: memory and port decoding against the
// machine definition, the command latch, and the few machine types whose
// wiring the generic decoding cannot express.
#include <atomic>

#include "chips/Opll.h"
#include "chips/Psg.h"
#include "chips/Sn76496.h"
#include "machine/SoundBoard.h"

namespace {

// Registers of two special wirings. They live as long as the program, not
// as long as a board: neither construction nor reset clears them, so a
// type-9 board sees the status counter the previous boot left. Atomics
// (relaxed) only so that boards on different threads never race on them.
struct SpecialWiring {
    std::atomic<uint8_t> type13Data{0};    // PSG data register (type 13)
    std::atomic<uint8_t> type9Data{0};     // OPLL data register (type 9)
    std::atomic<uint8_t> type9Control{0};  // strobe/control register (type 9)
    std::atomic<uint8_t> type9Reads{0};    // status reads since boot (type 9)
};

SpecialWiring g_wiring;

inline bool InWindow(uint32_t x, uint32_t low, uint32_t high) { return x >= low && x <= high; }

// RAM offsets of the status bytes that the type-42 and type-66 driver
// stubs leave for the latch port.
constexpr uint32_t kType42StatusOffset = 0x1110;
constexpr uint32_t kType66StatusOffset = 0x1200;

} // namespace

uint8_t CSoundBoard::ReadMem(uint16_t address)
{
    if (address <= m_romTop) return m_rom[address];
    if (InWindow(address, m_def.ramStart, m_def.ramEnd)) {
        uint32_t offset = m_def.machineType == 69 ? address - m_def.ramStart : address & 0x1FFFu;
        return m_ram[offset & (kRamSize - 1)];
    }
    if (!m_def.latchIsPort && InWindow(address, m_def.latchLow, m_def.latchHigh)) {
        uint8_t value = m_latch;
        switch (m_def.machineType) {
        case 0: m_latch &= 0x80; break;   // the board clears the code bits once read
        case 1: m_latch = 0; break;       // the latch empties on read
        case 21: return 0x20;             // chip status shares the latch's addresses
        default: break;
        }
        return value;
    }
    return 0;
}

void CSoundBoard::WriteMem(uint16_t address, uint8_t value)
{
    if (InWindow(address, m_def.ramStart, m_def.ramEnd)) {
        uint32_t offset = m_def.machineType == 69 ? address - m_def.ramStart : address & 0x1FFFu;
        m_ram[offset & (kRamSize - 1)] = value;
        return;
    }
    if (m_def.machineType == 13) {
        WriteType13(address, value);
        return;
    }
    if (!m_def.chipIsPort && InWindow(address, m_def.chipLow, m_def.chipHigh)) ChipWrite(address, value);
}

// Type 13 reaches its PSG through a data register at 0x8004 and a control
// register at 0x8000: 0x30 selects the PSG register held in the data
// register, 0x20 writes the data register into the selected PSG register.
void CSoundBoard::WriteType13(uint16_t address, uint8_t value)
{
    if (address == 0x8004) {
        g_wiring.type13Data.store(value, std::memory_order_relaxed);
    } else if (address == 0x8000) {
        uint8_t data = g_wiring.type13Data.load(std::memory_order_relaxed);
        if (value == 0x30) ChipWrite(0, data);
        else if (value == 0x20) ChipWrite(1, data);
    }
}

uint8_t CSoundBoard::ReadPort(uint8_t port)
{
    if (!m_def.latchIsPort || !InWindow(port, m_def.latchLow, m_def.latchHigh)) return 0;
    switch (m_def.machineType) {
    case 4: {
        uint8_t value = m_latch;
        m_latch = 0;
        return value;
    }
    case 9: return ReadType9Status();
    case 42: {
        uint8_t value = m_ram[kType42StatusOffset];
        m_latch = 0;
        return value;
    }
    case 66: return m_ram[kType66StatusOffset];
    default: return m_latch;
    }
}

// Type 9's latch port doubles as a status register whose bit 7 is a busy
// flag: reads during the boot run see busy and restart the counter; after
// it, the first eight reads show busy in pairs (on, on, off, off, on, on,
// off, off), later reads the plain latch.
uint8_t CSoundBoard::ReadType9Status()
{
    if (!m_bootDone) {
        g_wiring.type9Reads.store(0, std::memory_order_relaxed);
        return 0x80;
    }
    uint8_t count = g_wiring.type9Reads.load(std::memory_order_relaxed);
    uint8_t value = (count == 0 || count == 1 || count == 4 || count == 5) ? (m_latch | 0x80) : m_latch;
    if (count < 8) g_wiring.type9Reads.store(count + 1, std::memory_order_relaxed);
    return value;
}

void CSoundBoard::WritePort(uint8_t port, uint8_t value)
{
    if (!m_def.chipIsPort || !InWindow(port, m_def.chipLow, m_def.chipHigh)) return;

    if (m_def.machineType == 9) {
        // Data on port 0; port 1 is a control register whose rising bit 1
        // strobes the data into the OPLL, bit 0 of the previous control
        // value choosing register select (0) or data (1).
        if (port == 0) {
            g_wiring.type9Data.store(value, std::memory_order_relaxed);
        } else if (port == 1) {
            uint8_t previous = g_wiring.type9Control.load(std::memory_order_relaxed);
            if ((value & 0x02) && !(previous & 0x02))
                ChipWrite(previous & 1u, g_wiring.type9Data.load(std::memory_order_relaxed));
            g_wiring.type9Control.store(value, std::memory_order_relaxed);
        }
        return;
    }

    if (m_psg) {
        switch (m_def.machineType) {
        case 52: ChipWrite(port >> 3, value); return;  // bit 3: select (0) or data (1)
        case 66:
            if (port == 0x2E || port == 0x2F) ChipWrite(port ^ 1u, value);
            return;
        case 14: ChipWrite(port ^ 1u, value); return;  // data even, select odd
        default: break;
        }
    }
    ChipWrite(port, value);
}

// One byte to the board's chip. The OPLL and PSG look only at bit 0 of the
// port; the SN76496 has a single write port. Inside RenderSamples the chip
// first catches up with the frames before the current one, whose samples
// were due before this write; a register select (OPLL or PSG even port)
// does not change the sound, so it needs no catching up.
void CSoundBoard::ChipWrite(uint32_t port, uint8_t value)
{
    if (m_observer) m_observer->OnChipWrite(m_sn ? 0u : (port & 1u), value);
    if (m_blockOut && m_chipFrames < m_blockFrame && (m_sn || (port & 1u))) RenderChip(m_blockFrame);
    if (m_opll) OPLL::WritePort(m_opll, port, value);
    else if (m_psg) PSG::WritePort(m_psg, port, value);
    else if (m_sn) m_sn->Write(0, value);
}
