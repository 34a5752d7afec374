// Test tone samples.
#include "player/TestTone.h"

#include <algorithm>
#include <cmath>

std::vector<int16_t> MakeTestTone(int rate, const TestToneShape& shape)
{
    std::vector<int16_t> pcm;
    if (rate <= 0 || shape.seconds <= 0)
        return pcm;
    const long frames = std::lround(rate * shape.seconds);
    const double fade = std::max(1.0, shape.fadeSeconds * rate);
    pcm.resize(2 * std::size_t(frames));
    for (long i = 0; i < frames; ++i) {
        // Raised-cosine edges; the first and last frame are silent.
        const double edge = std::min({1.0, i / fade, (frames - 1 - i) / fade});
        const double envelope = 0.5 - 0.5 * std::cos(M_PI * edge);
        const double v = shape.amplitude * envelope * std::sin(2 * M_PI * shape.frequency * i / rate);
        pcm[2 * i] = pcm[2 * i + 1] = int16_t(std::lround(std::clamp(v, -32768.0, 32767.0)));
    }
    return pcm;
}
