#include "chips/OpllPatch.h"

void DecodeOpllInstrument(const uint8_t dump[8], OpllPatch& modulator, OpllPatch& carrier)
{
    modulator = OpllPatch{};
    carrier = OpllPatch{};
    OpllPatch* half[2] = {&modulator, &carrier};
    for (int n = 0; n < 2; ++n) {
        OpllPatch& p = *half[n];
        p.AM = (dump[n] >> 7) & 1;
        p.PM = (dump[n] >> 6) & 1;
        p.EG = (dump[n] >> 5) & 1;
        p.KR = (dump[n] >> 4) & 1;
        p.ML = dump[n] & 15;
        p.AR = dump[4 + n] >> 4;
        p.DR = dump[4 + n] & 15;
        p.SL = dump[6 + n] >> 4;
        p.RR = dump[6 + n] & 15;
    }
    modulator.KL = dump[2] >> 6;
    modulator.TL = dump[2] & 63;
    carrier.KL = dump[3] >> 6;
    carrier.WS = (dump[3] >> 4) & 1;
    modulator.WS = (dump[3] >> 3) & 1;
    modulator.FB = dump[3] & 7;
}
