// Renders a chip through a script of register writes and hashes what it
// plays, either one sample a call or in runs of 1, 7, 220 and 1000 samples
// cut short at each write, so a golden checksum pins both render paths.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

// applyDue(i): makes the script's writes due at sample i and returns the
// sample of the next write (or any value >= samples when none is left).
// renderOne(): one sample. renderRun(pairs, n): n left/right pairs.
// The hash is FNV-1a over the low `bytes` bytes of each sample, little-endian;
// left and right must be equal (these chips are mono).
template <class ApplyDue, class RenderOne, class RenderRun>
uint64_t HashScriptedRender(uint32_t samples, bool runs, int bytes, ApplyDue applyDue, RenderOne renderOne,
                            RenderRun renderRun)
{
    constexpr uint32_t kRuns[] = {1, 7, 220, 1000};
    uint64_t hash = 1469598103934665603ull;
    std::vector<int32_t> pairs(2000);
    for (uint32_t i = 0, r = 0; i < samples; ++r) {
        const uint32_t until = std::min(samples, static_cast<uint32_t>(applyDue(i)));
        const uint32_t n = runs ? std::min(until - i, kRuns[r % 4]) : 1;
        if (runs)
            renderRun(pairs.data(), n);
        else
            pairs[0] = pairs[1] = renderOne();
        for (uint32_t k = 0; k < n; ++k) {
            EXPECT_EQ(pairs[2 * k], pairs[2 * k + 1]) << "sample " << i + k;
            const uint32_t s = static_cast<uint32_t>(pairs[2 * k]);
            for (int b = 0; b < bytes; ++b)
                hash = (hash ^ ((s >> (8 * b)) & 0xFF)) * 1099511628211ull;
        }
        i += n;
    }
    return hash;
}
