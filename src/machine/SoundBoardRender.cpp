// Rendering output frames: the CPU runs one sample period per frame with
// the interrupt and tick timers, and the chip renders the frames in runs.
//
// A frame's chip sample is taken after that frame's CPU run, so the chip
// may lag behind the CPU as long as every write that changes its sound
// finds it caught up with the frames before the current one (ChipWrite
// sees to that). The chip then renders whole runs of frames in one call
// instead of one call per frame, with the same values.
#include <algorithm>
#include <cstdint>

#include "chips/Opll.h"
#include "chips/Psg.h"
#include "chips/Sn76496.h"
#include "cpu/Z80.h"
#include "machine/SoundBoard.h"

void CSoundBoard::RenderSample(int32_t& left, int32_t& right)
{
    int32_t out[2];
    RenderSamples(out, 1);
    left = out[0];
    right = out[1];
}

void CSoundBoard::RenderSamples(int32_t* out, uint32_t frames)
{
    if (frames == 0) return;
    g_CurrentBoard = this;
    m_blockOut = out;
    m_chipFrames = 0;
    if (m_batched) {
        RunFramesBatched(frames);
    } else {
        for (uint32_t f = 0; f < frames; ++f) {
            m_blockFrame = f;
            m_sampleAcc += m_cyclesPerSample;
            int32_t budget = static_cast<int32_t>(m_sampleAcc);
            if (budget > 0) m_sampleAcc -= RunTimedStepping(budget);
        }
    }
    RenderChip(frames);
    m_blockOut = nullptr;
    m_blockFrame = m_chipFrames = 0;
}

// Renders the block's frames from the first one not yet rendered up to
// `end` (exclusive), scaled as the board outputs them.
void CSoundBoard::RenderChip(uint32_t end)
{
    const uint32_t count = end - m_chipFrames;
    int32_t* out = m_blockOut + 2 * static_cast<std::size_t>(m_chipFrames);
    m_chipFrames = end;
    if (count == 0) return;
    if (m_opll) {
        OPLL::RenderStereoBlock(m_opll, out, count);
    } else if (m_psg) {
        PSG::RenderStereoBlock(m_psg, out, count);
    } else {
        m_sn->RenderStereoBlock(out, count);
        return;
    }
    // The OPLL's and PSG's samples are doubled.
    for (uint32_t i = 0; i < 2 * count; ++i) out[i] *= 2;
}

// The batched run (see RunTimed) over a block of frames, with the timer
// state held in locals across frames. Each frame adds one sample period to
// the sample accumulator and runs its whole part as the budget; the
// overrun carries into the next frame, exactly as one RenderSample a frame
// does. The two timers count the same cycles: `pending` holds the cycles
// run since both accumulators were last settled, `slack` how many they may
// reach before the nearer timer expires (an accumulator expires when it
// goes strictly above its period). Settling only when pending passes slack
// raises the same events on the same steps as settling after every batch.
void CSoundBoard::RunFramesBatched(uint32_t frames)
{
    CZ80& cpu = *m_cpu;
    const double cyclesPerSample = m_cyclesPerSample;
    double sampleAcc = m_sampleAcc;
    const int64_t irqPeriod = m_def.irqPeriod;
    const int64_t tickPeriod = m_def.tickPeriod;
    // The accumulators only ever hold whole cycle counts.
    int64_t irqAcc = static_cast<int64_t>(m_irqAcc);
    int64_t tickAcc = static_cast<int64_t>(m_tickAcc);
    auto slackOf = [&] {
        int64_t slack = INT64_MAX;
        if (irqPeriod != 0) slack = irqPeriod - irqAcc;
        if (tickPeriod != 0) slack = std::min(slack, tickPeriod - tickAcc);
        return slack;
    };
    int64_t slack = slackOf();
    int64_t pending = 0;

    for (uint32_t f = 0; f < frames; ++f) {
        m_blockFrame = f;
        sampleAcc += cyclesPerSample;
        int32_t budget = static_cast<int32_t>(sampleAcc);
        if (budget <= 0) continue;
        int32_t total = 0;
        do {
            // A batch runs up to the step on which the budget ends or the
            // nearer timer expires, and at least one step (an accumulator
            // may already be above its period after a long step).
            const int64_t toEvent = slack - pending;
            const int32_t limit = toEvent < budget ? static_cast<int32_t>(std::max<int64_t>(0, toEvent)) + 1 : budget;
            const int32_t used = limit - cpu.ExecuteCounted(limit);
            budget -= used;
            total += used;
            pending += used;
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
        } while (budget > 0);
        sampleAcc -= total;
    }
    if (irqPeriod != 0) irqAcc += pending;
    if (tickPeriod != 0) tickAcc += pending;
    m_sampleAcc = sampleAcc;
    m_irqAcc = static_cast<double>(irqAcc);
    m_tickAcc = static_cast<double>(tickAcc);
}
