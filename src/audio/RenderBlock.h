// RenderBlock: the one path from a board to finished output frames, shared
// by the render thread and the offline renderer so that both produce the
// same bytes.
//
// Board is any type with `void RenderSample(int32_t& left, int32_t& right)`
// (a fake in tests), optionally with `void RenderSamples(int32_t* out,
// uint32_t frames)` giving the same values for a run of frames (CSoundBoard),
// which is then used instead.
#pragma once

#include <algorithm>
#include <cstdint>

#include "audio/SignalChain.h"

// Renders `frames` frames into `dest` (2 * frames interleaved 16-bit
// samples, left first) through the chain: the board's samples, gain,
// volume, DC blocker and clipping per frame (a run of frames at a time when
// the board renders runs), then the equalizer pass and the silence test for
// the block.
template <class Board>
void RenderBlock(Board& board, CSignalChain& chain, int16_t* dest, int frames) {
    chain.BeginBlock();
    if constexpr (requires(Board& b, int32_t* out, uint32_t n) { b.RenderSamples(out, n); }) {
        // The board's samples arrive in runs of up to kRun frames.
        constexpr int kRun = 256;
        int32_t samples[2 * kRun];
        for (int done = 0; done < frames;) {
            const int run = std::min(kRun, frames - done);
            board.RenderSamples(samples, static_cast<uint32_t>(run));
            chain.ProcessFrames(samples, dest + 2 * done, run);
            done += run;
        }
    } else {
        for (int f = 0; f < frames; ++f) {
            int32_t left = 0, right = 0;
            board.RenderSample(left, right);
            chain.ProcessFrame(left, right, dest + 2 * f);
        }
    }
    chain.EndBlock(dest, frames);
}
