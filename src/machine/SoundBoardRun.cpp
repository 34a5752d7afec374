// Running the board: the instruction-by-instruction timing loop with the
// interrupt and tick timers, and command delivery.
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

// One step: one instruction (two after EI). Counted cycles are the negated
// remainder of a one-cycle budget, an instruction's T-states less one; a
// step that spends nothing (a halted CPU) counts as one, so time passes.
inline int32_t CSoundBoard::Step()
{
    int32_t c = -m_cpu->Execute(1);
    return c > 0 ? c : 1;
}

// A CPU waiting in place repeats the same step with no effect but time:
// HALT (1 counted cycle a step), JR $ (11) or JP $ (9). The loop must sit in
// ROM or RAM, whose reads have no side effects, so that skipping the fetches
// changes nothing. Returns the counted cycles of one such step, or 0.
int32_t CSoundBoard::IdleStepCycles(uint16_t pc) const
{
    if (!m_skipIdle) return 0;
    auto plain = [&](uint32_t address, uint8_t& value) {
        if (address <= m_romTop) {
            value = m_rom[address];
            return true;
        }
        if (address >= m_def.ramStart && address <= m_def.ramEnd) {
            uint32_t offset = m_def.machineType == 69 ? address - m_def.ramStart : address & 0x1FFFu;
            value = m_ram[offset & (kRamSize - 1)];
            return true;
        }
        return false;
    };
    uint8_t op = 0, b1 = 0, b2 = 0;
    if (!plain(pc, op)) return 0;
    if (m_cpu->StatusFlags & CZ80::kEiPending) return 0;
    if (op == 0x76) return (m_cpu->StatusFlags & CZ80::kHalt) ? 1 : 0;
    if (!plain(static_cast<uint16_t>(pc + 1), b1)) return 0;
    if (op == 0x18 && b1 == 0xFE) return 11;
    if (op == 0xC3 && plain(static_cast<uint16_t>(pc + 2), b2) && (b1 | b2 << 8) == pc) return 9;
    return 0;
}

int32_t CSoundBoard::RunCycles(int32_t budget)
{
    g_CurrentBoard = this;
    if (!m_batched) return RunCyclesStepping(budget);
    if (budget <= 0) return 0;
    return budget - m_cpu->ExecuteCounted(budget);
}

int32_t CSoundBoard::RunCyclesStepping(int32_t budget)
{
    int32_t total = 0;
    while (budget > 0) {
        const uint16_t pc = m_cpu->PC;
        int32_t c = Step();
        budget -= c;
        total += c;
        if (budget > 0 && m_cpu->PC == pc) {
            if (int32_t idle = IdleStepCycles(pc)) {
                int32_t skip = (budget + idle - 1) / idle * idle;
                budget -= skip;
                total += skip;
            }
        }
    }
    return total;
}

// The two timers count the same cycles, so a run keeps one figure, the
// cycles the accumulators may take before the nearer timer expires, and
// settles both accumulators only when the cycles run since the last
// settling pass it. A timer expires on the step that takes its accumulator
// strictly above its period; at most one interrupt and one tick are raised
// per step, the interrupt first. The accumulators only ever hold whole
// cycle counts.
CSoundBoard::TimerRun CSoundBoard::BeginTimers() const
{
    TimerRun t{m_def.irqPeriod, m_def.tickPeriod, static_cast<int64_t>(m_irqAcc), static_cast<int64_t>(m_tickAcc),
               0, 0};
    t.Rearm();
    return t;
}

void CSoundBoard::SettleTimers(TimerRun& t)
{
    if (t.irqPeriod != 0) {
        t.irqAcc += t.pending;
        if (t.irqAcc > t.irqPeriod) {
            m_cpu->Interrupt(static_cast<uint16_t>(m_def.irqData & 0xFF));
            t.irqAcc -= t.irqPeriod;
        }
    }
    if (t.tickPeriod != 0) {
        t.tickAcc += t.pending;
        if (t.tickAcc > t.tickPeriod) {
            Tick();
            t.tickAcc -= t.tickPeriod;
        }
    }
    t.pending = 0;
    t.Rearm();
}

void CSoundBoard::EndTimers(TimerRun& t)
{
    if (t.irqPeriod != 0) t.irqAcc += t.pending;
    if (t.tickPeriod != 0) t.tickAcc += t.pending;
    t.pending = 0;
    m_irqAcc = static_cast<double>(t.irqAcc);
    m_tickAcc = static_cast<double>(t.tickAcc);
}

// Batches run up to the step on which the budget ends or the nearer timer
// expires, and at least one step (an accumulator may already be above its
// period after a long step).
[[gnu::always_inline]] inline int32_t CSoundBoard::RunTimedBatched(TimerRun& t, int32_t budget)
{
    CZ80& cpu = *m_cpu;
    int32_t total = 0;
    while (budget > 0) {
        const int64_t toEvent = t.slack - t.pending;
        const int32_t limit = toEvent < budget ? static_cast<int32_t>(std::max<int64_t>(0, toEvent)) + 1 : budget;
        const int32_t used = limit - cpu.ExecuteCounted(limit);
        budget -= used;
        total += used;
        t.pending += used;
        if (t.pending > t.slack) SettleTimers(t);
    }
    return total;
}

int32_t CSoundBoard::RunTimedStepping(TimerRun& t, int32_t budget)
{
    CZ80& cpu = *m_cpu;
    int32_t total = 0;
    while (budget > 0) {
        const uint16_t pc = cpu.PC;
        int32_t c = Step();
        budget -= c;
        total += c;
        t.pending += c;
        if (t.pending <= t.slack) {
            if (budget <= 0 || cpu.PC != pc) continue;
            int32_t idle = IdleStepCycles(pc);
            if (idle == 0) continue;
            // Repeat the idle step up to the one on which the budget ends or
            // a timer expires, exactly as stepping one by one would.
            int64_t limit = std::min<int64_t>(budget, t.slack - t.pending + 1);
            int64_t skip = (limit + idle - 1) / idle * idle;
            budget -= static_cast<int32_t>(skip);
            total += static_cast<int32_t>(skip);
            t.pending += skip;
            if (t.pending <= t.slack) continue;
        }
        SettleTimers(t);
    }
    return total;
}

int32_t CSoundBoard::RunTimed(int32_t budget)
{
    if (budget <= 0) return 0;
    g_CurrentBoard = this;
    TimerRun t = BeginTimers();
    const int32_t total = m_batched ? RunTimedBatched(t, budget) : RunTimedStepping(t, budget);
    EndTimers(t);
    return total;
}

// The CPU's part of a block of frames, with the timer state held in locals
// across frames. Each frame adds one sample period to the sample
// accumulator and runs its whole part as the budget; the overrun carries
// into the next frame, exactly as one RenderSample a frame does.
void CSoundBoard::RunFrames(uint32_t frames)
{
    const double cyclesPerSample = m_cyclesPerSample;
    double sampleAcc = m_sampleAcc;
    TimerRun t = BeginTimers();
    for (uint32_t f = 0; f < frames; ++f) {
        m_blockFrame = f;
        sampleAcc += cyclesPerSample;
        const int32_t budget = static_cast<int32_t>(sampleAcc);
        if (budget <= 0) continue;
        sampleAcc -= m_batched ? RunTimedBatched(t, budget) : RunTimedStepping(t, budget);
    }
    EndTimers(t);
    m_sampleAcc = sampleAcc;
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
