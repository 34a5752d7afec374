// The drawn equalizer curve against the filters it depicts.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "audio/Equalizer.h"
#include "player/EqualizerResponse.h"

TEST(EqualizerResponse, FlatWhenAllBandsAreZeroAndExactAtALoneBandsCentre)
{
    const EqualizerGains flat{};
    for (double f : LogFrequencies(20, 20000, 40))
        EXPECT_NEAR(EqualizerResponseDb(flat, 44100, f), 0.0, 1e-9) << f;
    for (int band = 0; band < 9; ++band) {
        EqualizerGains g{};
        g[band] = band % 2 ? -15 : 15;
        EXPECT_NEAR(EqualizerResponseDb(g, 48000, CEqualizer::kCentre[band]), g[band], 1e-6) << band;
    }
}

TEST(EqualizerResponse, MatchesTheFilterMeasuredOnASine)
{
    EqualizerGains g{12, -6, 3, 0, -15, 9, 4, -3, 15};
    const double rate = 44100, freq = 1500;
    CEqualizer eq;
    eq.SetRate(rate);
    eq.SetGains(9, g.data());
    const int frames = 44100;
    std::vector<int16_t> pcm(2 * frames);
    for (int i = 0; i < frames; ++i)
        pcm[2 * i] = pcm[2 * i + 1] = int16_t(std::lround(8000 * std::sin(2 * M_PI * freq * i / rate)));
    eq.Process(pcm.data(), frames);
    // Peak of the settled second half against the input's 8000 (the chain
    // halves the level, so 4000 is 0 dB).
    double peak = 0;
    for (int i = frames / 2; i < frames; ++i)
        peak = std::max(peak, std::abs(double(pcm[2 * i])));
    EXPECT_NEAR(20 * std::log10(peak / 4000), EqualizerResponseDb(g, rate, freq), 0.05);
}
