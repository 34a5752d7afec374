// The drawn equalizer curve against the filters it depicts.
#include <gtest/gtest.h>

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
