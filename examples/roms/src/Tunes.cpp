// The demo tunes. Each step lasts about 60 ms (see MusicEngine.cpp).
#include <stdexcept>

#include "DemoMusic.h"

namespace demo {
namespace {

uint8_t N(int midi)
{
    if (midi < kLowestMidi || midi > kHighestMidi)
        throw std::logic_error("demo note out of range");
    return static_cast<uint8_t>(midi - kLowestMidi + 1);
}

const Event kLoop{1, 0, 0};
const Event kEnd{0, 0, 0};

// Note names as MIDI numbers.
enum : int {
    C3 = 48, D3 = 50, E3 = 52, F3 = 53, G3 = 55, A3 = 57,
    A4 = 69, B4 = 71, C5 = 72, D5 = 74, E5 = 76, F5 = 77, G5 = 79, A5 = 81, C6 = 84
};

}  // namespace

std::vector<std::vector<Event>> Tunes()
{
    return {
        // 1: "Reel Walk", a looping two-bar walk.
        {{N(E5), N(C3), 4}, {N(G5), kKeep, 4}, {N(A5), N(F3), 4}, {N(G5), kKeep, 4},
         {N(E5), N(G3), 4}, {N(D5), kKeep, 4}, {N(C5), N(C3), 8},
         {N(D5), N(D3), 4}, {N(E5), kKeep, 4}, {N(F5), N(F3), 4}, {N(E5), kKeep, 4},
         {N(D5), N(G3), 4}, {N(B4), kKeep, 4}, {N(C5), N(C3), 8}, kLoop},
        // 2: "Big Bonus", a fanfare that ends.
        {{N(C5), N(C3), 2}, {N(E5), kKeep, 2}, {N(G5), kKeep, 2}, {N(C6), N(E3), 6},
         {N(A5), N(F3), 2}, {N(C6), kKeep, 2}, {N(G5), N(G3), 3}, {N(C6), N(C3), 12},
         {kOff, kOff, 4}, kEnd},
        // 3: reel stop, a short sound effect.
        {{N(C6), kOff, 1}, {N(G5), kOff, 1}, {N(C5), kOff, 2}, {kOff, kOff, 1}, kEnd},
        // 4: tuning tone, A4 held on the melody voice only.
        {{N(A4), kOff, 250}, kLoop},
    };
}

}  // namespace demo
