// The chip's built-in instrument ROMs: 19 instruments of 8 bytes each
// (instrument 0, the user instrument, is all zero; 1..15 melodic; 16 bass
// drum; 17 hi-hat/snare; 18 tom-tom/top cymbal).
#pragma once

#include <cstdint>

enum OpllToneSet : int {
    ToneSetYM2413 = 0,
    ToneSetYMF281B = 2,
};

constexpr int kOpllInstrumentCount = 19;

// The instrument dumps of a tone set, or nullptr for a set number the chip
// does not know.
const uint8_t (*OpllToneSetDump(int set))[8];
