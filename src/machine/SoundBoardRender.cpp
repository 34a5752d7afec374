// Rendering output frames: the CPU runs one sample period per frame with
// the interrupt and tick timers, and the chip renders the frames in runs.
//
// A frame's chip sample is taken after that frame's CPU run, so the chip
// may lag behind the CPU as long as every write that changes its sound
// finds it caught up with the frames before the current one (ChipWrite
// sees to that). The chip then renders whole runs of frames in one call
// instead of one call per frame, with the same values.
#include <cstdint>

#include "chips/Opll.h"
#include "chips/Psg.h"
#include "chips/Sn76496.h"
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
    RunFrames(frames);
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
