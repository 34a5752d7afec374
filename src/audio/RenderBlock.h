// RenderBlock: the one path from a board to finished output frames, shared
// by the render thread and the offline renderer so that both produce the
// same bytes.
//
// Board is any type with `void RenderSample(int32_t& left, int32_t& right)`
// (CSoundBoard, or a fake in tests).
#pragma once

#include <cstdint>

#include "audio/SignalChain.h"

// Renders `frames` frames into `dest` (2 * frames interleaved 16-bit
// samples, left first) through the chain: one RenderSample per frame, gain,
// volume, DC blocker and clipping per frame, then the equalizer pass and the
// silence test for the block.
template <class Board>
void RenderBlock(Board& board, CSignalChain& chain, int16_t* dest, int frames) {
    chain.BeginBlock();
    for (int f = 0; f < frames; ++f) {
        int32_t left = 0, right = 0;
        board.RenderSample(left, right);
        chain.ProcessFrame(left, right, dest + 2 * f);
    }
    chain.EndBlock(dest, frames);
}
