// Running the board: the instruction-by-instruction timing loop with the
// interrupt and tick timers, command delivery, and rendering one sample.
#include <algorithm>
#include <cstdint>

#include "chips/Opll.h"
#include "chips/Psg.h"
#include "chips/Sn76496.h"
#include "cpu/Z80.h"
#include "machine/SoundBoard.h"

namespace {

constexpr uint16_t kNmi = CZ80::kNmi;

// RAM offset of type 24's handshake byte: the board sets it when it enters
// the stub's tick entry, the stub clears it when done.
constexpr uint32_t kType24BusyOffset = 0x0FFF;

} // namespace

// One instruction (two after EI). Counted cycles are the negated remainder
// of a one-cycle budget: an instruction's T-states less one.
inline int32_t CSoundBoard::Step()
{
    return -m_cpu->Execute(1);
}

int32_t CSoundBoard::RunCycles(int32_t budget)
{
    g_CurrentBoard = this;
    int32_t total = 0;
    while (budget > 0) {
        int32_t c = Step();
        // A halted CPU (or a zero-cost opcode) spends nothing; count it as
        // one so the budget always runs out.
        if (c <= 0) c = 1;
        budget -= c;
        total += c;
    }
    return total;
}

// The two timers count the same cycles, so the loop keeps one figure, the
// cycles left before the nearer timer expires, and settles both
// accumulators only when that figure runs out. A timer expires on the step
// that takes its accumulator strictly above its period; at most one
// interrupt and one tick are raised per step, the interrupt first.
int32_t CSoundBoard::RunTimed(int32_t budget)
{
    if (budget <= 0) return 0;
    g_CurrentBoard = this;
    CZ80& cpu = *m_cpu;

    // The accumulators only ever hold whole cycle counts.
    const int64_t irqPeriod = m_def.irqPeriod;
    const int64_t tickPeriod = m_def.tickPeriod;
    int64_t irqAcc = static_cast<int64_t>(m_irqAcc);
    int64_t tickAcc = static_cast<int64_t>(m_tickAcc);
    auto slackOf = [&] {
        int64_t slack = INT64_MAX;
        if (irqPeriod != 0) slack = irqPeriod - irqAcc;
        if (tickPeriod != 0) slack = std::min(slack, tickPeriod - tickAcc);
        return slack;
    };
    int64_t slack = slackOf();
    int64_t pending = 0;  // cycles not yet added to the accumulators
    int32_t total = 0;

    while (budget > 0) {
        int32_t c = -cpu.Execute(1);
        if (c < 1) c = 1;  // a halted CPU still lets time pass
        budget -= c;
        total += c;
        pending += c;
        if (pending <= slack) continue;

        if (irqPeriod != 0) {
            irqAcc += pending;
            if (irqAcc > irqPeriod) {
                cpu.Interrupt(static_cast<uint16_t>(m_def.irqData & 0xFF));
                irqAcc -= irqPeriod;
            }
        }
        if (tickPeriod != 0) {
            tickAcc += pending;
            if (tickAcc > tickPeriod) {
                Tick();
                tickAcc -= tickPeriod;
            }
        }
        pending = 0;
        slack = slackOf();
    }
    if (irqPeriod != 0) irqAcc += pending;
    if (tickPeriod != 0) tickAcc += pending;
    m_irqAcc = static_cast<double>(irqAcc);
    m_tickAcc = static_cast<double>(tickAcc);
    return total;
}

// The tick: an NMI, or, once booted, a jump into the driver stub's tick
// entry. Type 24's stub clears a RAM byte when its tick routine is done;
// until then the board does not enter it again.
void CSoundBoard::Tick()
{
    if (m_def.tickEntry == 0) {
        m_cpu->Interrupt(kNmi);
    } else if (m_bootDone) {
        if (m_def.machineType != 24) {
            EnterAt(static_cast<uint16_t>(m_def.tickEntry));
        } else if (m_ram[kType24BusyOffset] == 0) {
            m_ram[kType24BusyOffset] = 0xFF;
            EnterAt(static_cast<uint16_t>(m_def.tickEntry));
        }
    }
}

// Moves the CPU to a driver entry point. A CPU halted in the sound program
// is taken out of HALT first: left set, the next interrupt would step PC
// past the entry's first byte.
void CSoundBoard::EnterAt(uint16_t address)
{
    m_cpu->PC = address;
    m_cpu->StatusFlags &= static_cast<uint8_t>(~CZ80::kHalt);
}

void CSoundBoard::SendCommand(uint8_t code)
{
    g_CurrentBoard = this;
    m_latch = code;
    switch (m_def.machineType) {
    case 20:
    case 27:
    case 30:
    case 36:
    case 57:
        m_cpu->Interrupt(kNmi);
        break;
    case 28:
        // Two of these programs take codes 0x0D and 0x0E apart by the
        // refresh register's value.
        if (m_entry.crc == 0x35B502D8u || m_entry.crc == 0xBBF7A9FFu) {
            if (code == 0x0D) {
                m_cpu->R = 0;
            } else if (code == 0x0E) {
                m_cpu->R = 8;
                m_latch = 0x0D;
            }
        }
        m_cpu->Interrupt(kNmi);
        RunCycles(500);
        m_latch = 0xFF;
        m_cpu->Interrupt(kNmi);
        break;
    case 29:
        // The code travels as two nibbles, high first, each followed by the
        // idle value.
        m_latch = code >> 4;
        m_cpu->Interrupt(kNmi);
        RunCycles(500);
        m_latch = 0xFF;
        RunCycles(500);
        m_latch = code & 0x0F;
        m_cpu->Interrupt(kNmi);
        RunCycles(500);
        m_latch = 0xFF;
        m_cpu->Interrupt(kNmi);
        break;
    case 32:
        m_cpu->Interrupt(kNmi);
        RunCycles(300);
        m_latch = 0xFF;
        m_cpu->Interrupt(kNmi);
        break;
    default:
        break;
    }
    if (m_def.commandEntry != 0) {
        m_cpu->AF.B.H = m_latch;
        EnterAt(static_cast<uint16_t>(m_def.commandEntry));
        RunCycles(6000);
    }
}

void CSoundBoard::RenderSample(int32_t& left, int32_t& right)
{
    m_sampleAcc += m_cyclesPerSample;
    int32_t budget = static_cast<int32_t>(m_sampleAcc);
    if (budget > 0) m_sampleAcc -= RunTimed(budget);

    if (m_opll) {
        int32_t out[2];
        OPLL::RenderStereo(m_opll, out);
        left = 2 * out[0];
        right = 2 * out[1];
    } else if (m_psg) {
        left = right = 2 * static_cast<int32_t>(static_cast<int16_t>(PSG::Render(m_psg)));
    } else {
        left = right = m_sn->Render();
    }
}
