// One operator's instrument parameters and the 8-byte instrument layout the
// chip uses in registers 0x00-0x07 and in its built-in instrument ROM.
#pragma once

#include <cstdint>

struct OpllPatch {
    uint32_t TL; // total level 0..63 (carrier: always 0)
    uint32_t FB; // feedback 0..7 (carrier: always 0)
    uint32_t EG; // 1 = sustained tone
    uint32_t ML; // frequency multiple selector 0..15
    uint32_t AR; // attack rate 0..15
    uint32_t DR; // decay rate 0..15
    uint32_t SL; // sustain level 0..15
    uint32_t RR; // release rate 0..15
    uint32_t KR; // key scale rate 0/1
    uint32_t KL; // key scale level 0..3
    uint32_t AM; // tremolo on
    uint32_t PM; // vibrato on
    uint32_t WS; // waveform: 0 full sine, 1 half sine
};

// Decodes an 8-byte instrument (same layout as registers 0x00-0x07) into its
// modulator and carrier halves. The carrier's TL and FB are always 0.
void DecodeOpllInstrument(const uint8_t dump[8], OpllPatch& modulator, OpllPatch& carrier);
