// The chip's per-sample work: LFOs, noise, the 18 operators (pending
// updates, envelope, phase), the voices and rhythm instruments, the stereo
// mix and the output-rate conversion.
#include "chips/Opll.h"
#include "chips/OpllNoise.h"
#include "chips/OpllTables.h"

#include <algorithm>

namespace {

// One tremolo period in tremolo-phase units (210 table steps of 64); the
// phase is kept inside it so it can run forever without overflowing.
constexpr int32_t kTremoloPeriod = 210 * 64;

void Commit(OpllOperator& op, const OpllTables& T)
{
    const uint32_t flags = op.pendingUpdates;
    const OpllPatch& p = *op.patch;
    if (flags & UpdateWaveform)
        op.waveTable = p.WS ? T.halfSine : T.fullSine;
    if (flags & UpdateTotalLevel) {
        const uint32_t t = (op.type & 1) ? static_cast<uint32_t>(op.volume) : p.TL;
        op.totalLevel = static_cast<uint16_t>(T.tll[op.blockFnum >> 5][t & 63][p.KL & 3]);
    }
    if (flags & UpdateKeyScaleRate)
        op.keyScaleRate = T.rks[op.blockFnum >> 8][p.KR & 1];
    if (flags & (UpdateKeyScaleRate | UpdateEnvelope)) {
        uint32_t rate = 0;
        if ((op.type & 1) || op.keyFlag) {
            switch (op.envState) {
            case EnvAttack:
                rate = p.AR;
                break;
            case EnvDecay:
                rate = p.DR;
                break;
            case EnvSustain:
                rate = p.EG ? 0 : p.RR;
                break;
            case EnvRelease:
                rate = op.sustainFlag ? 5 : (p.EG ? p.RR : 7);
                break;
            default: // damp
                rate = 12;
                break;
            }
        }
        if (rate == 0) {
            op.rateHigh = op.rateLow = 0;
            op.envShift = 0;
        } else {
            const uint32_t rh = std::min<uint32_t>(15, rate + (op.keyScaleRate >> 2));
            op.rateHigh = static_cast<uint8_t>(rh);
            op.rateLow = op.keyScaleRate & 3;
            const bool slow = op.envState == EnvAttack ? (rh > 0 && rh < 12) : rh < 13;
            op.envShift = slow ? 13 - rh : 0;
        }
        op.envMask = (1u << op.envShift) - 1;
    }
    OpllRefreshPhaseStep(op);
    op.pendingUpdates = 0;
}

inline uint32_t AttackStep(const OpllOperator& op, uint32_t counter)
{
    const uint8_t* steps = kOpllEnvelopeStep[op.rateLow];
    switch (op.rateHigh) {
    case 12:
        return 4 - steps[(counter >> 1) & 6];
    case 13:
        return 3 - steps[(counter >> 1) & 6];
    case 14:
        return 2 - steps[(counter >> 1) & 6];
    case 15:
        return 0;
    default:
        return steps[(counter >> op.envShift) & 7] ? 4 : 0;
    }
}

inline uint32_t DecayStep(const OpllOperator& op, uint32_t counter)
{
    const uint8_t* steps = kOpllEnvelopeStep[op.rateLow];
    switch (op.rateHigh) {
    case 13:
        return steps[((counter >> 1) & 6) | (counter & 1)];
    case 14:
        return steps[(counter >> 1) & 6] + 1u;
    case 15:
        return 2;
    default:
        return steps[(counter >> op.envShift) & 7];
    }
}

// Starts the envelope at the end of Damp: straight to Decay at full level
// when the attack would be instant, and (for carrier-like operators) the
// phase restarts unless the operator keeps it.
void StartEnvelope(OpllOperator* ops, OpllOperator& op)
{
    if (op.patch->AR + (op.keyScaleRate >> 2) >= 15) {
        op.envState = EnvDecay;
        op.level = 0;
    } else {
        op.envState = EnvAttack;
    }
    op.pendingUpdates |= UpdateEnvelope;
    if (op.type & 1) {
        if (!op.keepPhase)
            op.phase = 0;
        // Partner: the next operator for type 0, the previous for type 1,
        // none for single-operator rhythm voices.
        OpllOperator* partner = op.type == 1 ? &ops[op.number - 1] : nullptr;
        if (partner && !partner->keepPhase)
            partner->phase = 0;
    }
}

// One operator's share of a chip sample: commit pending updates, run the
// envelope, advance the phase.
inline void RunOperator(const OpllTables& T, OpllOperator* ops, OpllOperator& op, uint32_t counter,
                        uint32_t vibCol, uint32_t test)
{
    if (op.pendingUpdates) [[unlikely]]
        Commit(op, T);

    const uint32_t due = counter & op.envMask;
    if (op.envState == EnvAttack) [[unlikely]] {
        if (op.level > 0 && op.rateHigh > 0 && (due & ~3u) == 0) {
            const uint32_t s = AttackStep(op, counter);
            if (s > 0)
                op.level = op.level - (op.level >> s) - 1;
        }
        if (op.level == 0) {
            op.envState = EnvDecay;
            op.pendingUpdates |= UpdateEnvelope;
        }
    } else {
        if (due == 0 && op.rateHigh > 0)
            op.level = std::min<uint32_t>(127, op.level + DecayStep(op, counter));
        if (op.envState == EnvDamp) {
            if (op.level >= 123 && due == 0)
                StartEnvelope(ops, op);
        } else if (op.envState == EnvDecay) {
            if ((op.level >> 3) == op.patch->SL) {
                op.envState = EnvSustain;
                op.pendingUpdates |= UpdateEnvelope;
            }
        }
    }

    uint32_t phase = op.phase;
    if (test & 5) [[unlikely]] {
        if (test & 1)
            op.level = 0; // everything at full volume
        if (test & 4)
            phase = 0; // phases held
    }
    phase = (phase + op.phaseStep[vibCol]) & 0x7FFFF;
    op.phase = phase;
    op.phaseOut = phase >> 9;
}

// Output of an operator for wave-table entry w (log attenuation with the
// sign in bit 15) and tremolo term am: a signed value in -4086..4084.
inline int32_t OperatorOutput(const OpllTables& T, const OpllOperator& op, uint32_t w, uint32_t am)
{
    if (op.level > 123)
        return 0;
    const uint32_t e = std::min<uint32_t>(127, op.level + op.totalLevel + am) << 4;
    // Wave entries stay below 0x1000 and e below 0x800, so adding them never
    // carries into the sign bit.
    const uint32_t x = std::min<uint32_t>((w & 0x7FFF) + e, 3072);
    const int32_t negative = -static_cast<int32_t>(w >> 15);
    const int32_t magnitude = T.outputMagnitude[x];
    return (magnitude ^ negative) + negative; // negative half: 2 * ~r
}

// Two-operator voice: modulator with self-feedback phase-modulating the carrier.
inline int32_t Voice(const OpllTables& T, OpllOperator& mod, OpllOperator& car, uint32_t tremolo)
{
    const OpllPatch& mp = *mod.patch;
    const int32_t fb = mp.FB ? (mod.output[0] + mod.output[1]) >> (9 - mp.FB) : 0;
    const int32_t m = OperatorOutput(T, mod, mod.waveTable[(mod.phaseOut + fb) & 1023], mp.AM ? tremolo : 0);
    mod.output[1] = mod.output[0];
    mod.output[0] = m;
    const int32_t c = OperatorOutput(T, car, car.waveTable[(car.phaseOut + 2 * (m >> 1)) & 1023],
                                     car.patch->AM ? tremolo : 0);
    car.output[1] = car.output[0];
    car.output[0] = c;
    return c;
}

inline int16_t MelodicSlot(int32_t carrierOut) { return static_cast<int16_t>((-carrierOut) >> 1); }

inline int16_t SingleOutput(const OpllTables& T, const OpllOperator& op, uint32_t index)
{
    return static_cast<int16_t>(OperatorOutput(T, op, op.waveTable[index], 0));
}

} // namespace

void OpllRefreshPhaseStep(OpllOperator& op)
{
    const OpllTables& T = OpllTables::Get();
    const int32_t base = op.fnum * 2;
    const int32_t mul = static_cast<int32_t>(kOpllMultiple[op.patch->ML & 15]);
    const int8_t* vib = T.pm[(op.fnum >> 6) & 7];
    for (int col = 0; col < 8; ++col) {
        const int32_t v = op.patch->PM ? vib[col] : 0;
        op.phaseStep[col] = static_cast<uint32_t>(((base + v) * mul << op.block) >> 2);
    }
}

// Operators are processed channel by channel, each pair right before its
// voice is computed. This gives the same result as running all 18
// operators first: an operator only ever touches itself and its channel
// partner, and the noise register and short noise do not depend on them.
void OPLL::Step(OPLL* chip)
{
    const OpllTables& T = OpllTables::Get();
    const uint32_t test = chip->test;

    // LFOs (test bit 1 holds them, test bit 3 runs them 1024x / 64x faster).
    if (test & 2) {
        chip->vibratoPhase = 0;
        chip->tremoloPhase = 0;
    } else {
        chip->vibratoPhase += (test & 8) ? 1024 : 1;
        chip->tremoloPhase += (test & 8) ? 64 : 1;
        if (chip->tremoloPhase >= kTremoloPeriod)
            chip->tremoloPhase -= kTremoloPeriod;
    }
    chip->tremoloLevel = T.tremolo[(chip->tremoloPhase >> 6) % 210];
    const uint32_t tremolo = chip->tremoloLevel;

    // Short noise for hi-hat and cymbal from the previous sample's phases.
    OpllOperator* ops = chip->operators;
    {
        const uint32_t h = ops[14].phaseOut, c = ops[17].phaseOut;
        chip->shortNoise =
            static_cast<uint8_t>((((h >> 2) ^ (h >> 7)) | ((h >> 3) ^ (c >> 5)) | ((c >> 3) ^ (c >> 5))) & 1);
    }

    const uint32_t counter = ++chip->envelopeCounter;
    const uint32_t vibCol = (chip->vibratoPhase >> 10) & 7;
    const bool rhythm = chip->rhythmMode;
    int16_t* slot = chip->slotOutputs;

    for (int c = 0; c < 6; ++c) {
        RunOperator(T, ops, ops[2 * c], counter, vibCol, test);
        RunOperator(T, ops, ops[2 * c + 1], counter, vibCol, test);
        slot[c] = MelodicSlot(Voice(T, ops[2 * c], ops[2 * c + 1], tremolo));
    }

    RunOperator(T, ops, ops[12], counter, vibCol, test);
    RunOperator(T, ops, ops[13], counter, vibCol, test);
    if (!rhythm)
        slot[6] = MelodicSlot(Voice(T, ops[12], ops[13], tremolo));
    else
        slot[kSlotBassDrum] = static_cast<int16_t>(Voice(T, ops[12], ops[13], tremolo));

    uint32_t noise = OpllNoiseAdvance<5>(OpllNoiseAdvance<9>(chip->noise));
    RunOperator(T, ops, ops[14], counter, vibCol, test);
    RunOperator(T, ops, ops[15], counter, vibCol, test);
    if (!rhythm) {
        slot[7] = MelodicSlot(Voice(T, ops[14], ops[15], tremolo));
    } else {
        const bool bit = noise & 1;
        const uint32_t hh = chip->shortNoise ? (bit ? 0x2D0 : 0x234) : (bit ? 0x34 : 0xD0);
        slot[kSlotHiHat] = SingleOutput(T, ops[14], hh);
        const uint32_t sd = (ops[15].phaseOut & 0x100) ? (bit ? 0x300 : 0x200) : (bit ? 0x000 : 0x100);
        slot[kSlotSnare] = SingleOutput(T, ops[15], sd);
    }

    noise = OpllNoiseAdvance<2>(noise);
    RunOperator(T, ops, ops[16], counter, vibCol, test);
    RunOperator(T, ops, ops[17], counter, vibCol, test);
    if (!rhythm) {
        slot[8] = MelodicSlot(Voice(T, ops[16], ops[17], tremolo));
    } else {
        slot[kSlotTomTom] = SingleOutput(T, ops[16], ops[16].phaseOut);
        slot[kSlotCymbal] = SingleOutput(T, ops[17], chip->shortNoise ? 0x300 : 0x100);
    }
    chip->noise = OpllNoiseAdvance<2>(noise);
}

void OPLL::RenderStereo(OPLL* chip, int32_t out[2])
{
    while (chip->outputStep > chip->timeAccumulator) {
        chip->timeAccumulator += chip->inputStep;
        Step(chip);
        uint16_t left = 0, right = 0;
        for (int i = 0; i < 14; ++i) {
            const float s = chip->slotOutputs[i];
            if (chip->pan[i] & 2)
                left = static_cast<uint16_t>(left + static_cast<uint16_t>(static_cast<int32_t>(s * chip->finePan[i][0])));
            if (chip->pan[i] & 1)
                right = static_cast<uint16_t>(right + static_cast<uint16_t>(static_cast<int32_t>(s * chip->finePan[i][1])));
        }
        chip->mix[0] = static_cast<int16_t>(left);
        chip->mix[1] = static_cast<int16_t>(right);
        if (chip->resampler) {
            chip->resampler->Push(0, chip->mix[0]);
            chip->resampler->Push(1, chip->mix[1]);
        }
    }
    chip->timeAccumulator -= chip->outputStep;
    if (chip->resampler) {
        out[0] = chip->resampler->Pull(0);
        out[1] = chip->resampler->Pull(1);
    } else {
        out[0] = chip->mix[0];
        out[1] = chip->mix[1];
    }
}
