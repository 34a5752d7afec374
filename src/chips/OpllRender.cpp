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
    // Attack, Damp and Decay look at the level every sample; Sustain and
    // Release only step on due samples, and never at rate 0.
    const bool busy = op.envState == EnvAttack || op.envState == EnvDamp || op.envState == EnvDecay;
    op.idleMask = busy ? 0 : (op.rateHigh ? op.envMask : ~0u);
    OpllRefreshPatchCache(op);
    OpllRefreshOutputCache(op);
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
    OpllRequestUpdate(op, UpdateEnvelope);
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

// Commits pending updates and runs the envelope for one sample.
inline void RunEnvelope(const OpllTables& T, OpllOperator* ops, OpllOperator& op, uint32_t counter)
{
    if (op.pendingUpdates)
        Commit(op, T);

    const uint32_t due = counter & op.envMask;
    if (op.envState == EnvAttack) {
        if (op.level > 0 && op.rateHigh > 0 && (due & ~3u) == 0) {
            const uint32_t s = AttackStep(op, counter);
            if (s > 0)
                op.level = op.level - (op.level >> s) - 1;
        }
        if (op.level == 0) {
            op.envState = EnvDecay;
            OpllRequestUpdate(op, UpdateEnvelope);
        }
    } else {
        if (due == 0 && op.rateHigh > 0)
            op.level = std::min<uint32_t>(127, op.level + DecayStep(op, counter));
        if (op.envState == EnvDamp) {
            if (op.level >= 123 && due == 0)
                StartEnvelope(ops, op);
        } else if (op.envState == EnvDecay) {
            if ((op.level >> 3) == op.sustainLevel) {
                op.envState = EnvSustain;
                OpllRequestUpdate(op, UpdateEnvelope);
            }
        }
    }
    OpllRefreshOutputCache(op);
}

inline void AdvancePhase(OpllOperator& op, uint32_t phase, uint32_t vibCol)
{
    phase = (phase + op.phaseStep[vibCol]) & 0x7FFFF;
    op.phase = phase;
    op.phaseOut = phase >> 9;
}

// One operator's share of a chip sample: pending updates, envelope, phase.
// Most samples the envelope of a sustained or released note has nothing to
// do, which the idle mask tells without looking at the state.
inline void RunOperator(const OpllTables& T, OpllOperator* ops, OpllOperator& op, uint32_t counter,
                        uint32_t vibCol)
{
    if ((counter & op.idleMask) == 0)
        RunEnvelope(T, ops, op, counter);
    AdvancePhase(op, op.phase, vibCol);
}

// The same with the test register's level and phase overrides in effect.
void RunOperatorUnderTest(const OpllTables& T, OpllOperator* ops, OpllOperator& op, uint32_t counter,
                          uint32_t vibCol, uint32_t test)
{
    RunEnvelope(T, ops, op, counter);
    if (test & 1) {
        op.level = 0; // everything at full volume
        OpllRefreshOutputCache(op);
    }
    AdvancePhase(op, (test & 4) ? 0 : op.phase, vibCol);
}

// Output of an operator at wave position index with tremolo term am: a
// signed value in -4086..4084 (0 while the level is above 123). The
// attenuation is capped at 127 level units before it scales the wave entry.
inline int32_t OperatorOutput(const OpllTables& T, const OpllOperator& op, uint32_t index, uint32_t am)
{
    const uint32_t e = std::min<uint32_t>(127, op.attenuation + am) << 4;
    return T.signedOutput[op.outputWave[index] + e];
}

// Two-operator voice, first half: the modulator with self-feedback.
inline int32_t ModulatorOutput(const OpllTables& T, OpllOperator& mod, uint32_t tremolo)
{
    const int32_t fb = mod.feedback ? (mod.output[0] + mod.output[1]) >> (9 - mod.feedback) : 0;
    const int32_t m = OperatorOutput(T, mod, (mod.phaseOut + fb) & 1023, tremolo & mod.amMask);
    mod.output[1] = mod.output[0];
    mod.output[0] = m;
    return m;
}

// Second half: the carrier, phase-modulated by the modulator's new output.
inline int32_t CarrierOutput(const OpllTables& T, OpllOperator& car, int32_t m, uint32_t tremolo)
{
    const int32_t c = OperatorOutput(T, car, (car.phaseOut + 2 * (m >> 1)) & 1023, tremolo & car.amMask);
    car.output[1] = car.output[0];
    car.output[0] = c;
    return c;
}

inline int16_t MelodicSlot(int32_t carrierOut) { return static_cast<int16_t>((-carrierOut) >> 1); }

inline int16_t SingleOutput(const OpllTables& T, const OpllOperator& op, uint32_t index)
{
    return static_cast<int16_t>(OperatorOutput(T, op, index, 0));
}

} // namespace

void OpllRefreshOutputCache(OpllOperator& op)
{
    const OpllTables& T = OpllTables::Get();
    op.attenuation = op.level + op.totalLevel;
    if (op.level > 123)
        op.outputWave = T.silentWave;
    else
        op.outputWave = op.waveTable == T.halfSine ? T.halfSineIndex : T.fullSineIndex;
}

void OpllRefreshPatchCache(OpllOperator& op)
{
    const OpllTables& T = OpllTables::Get();
    op.amMask = op.patch->AM ? ~0u : 0u;
    op.feedback = op.patch->FB & 7;
    op.sustainLevel = op.patch->SL;
    const int32_t base = op.fnum * 2;
    const int32_t mul = static_cast<int32_t>(kOpllMultiple[op.patch->ML & 15]);
    const int8_t* vib = T.pm[(op.fnum >> 6) & 7];
    for (int col = 0; col < 8; ++col) {
        const int32_t v = op.patch->PM ? vib[col] : 0;
        op.phaseStep[col] = static_cast<uint32_t>(((base + v) * mul << op.block) >> 2);
    }
}

namespace {

// One chip sample. Inlined into the render loop, so the slot values it
// stores are still at hand for the mix.
[[gnu::always_inline]] inline void StepChip(OPLL* chip)
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
    // The phase stays below one period, so (phase >> 6) mod 210 is phase >> 6.
    chip->tremoloLevel = T.tremolo[chip->tremoloPhase >> 6];
    const uint32_t tremolo = chip->tremoloLevel;

    // Short noise for hi-hat and cymbal from the previous sample's phases.
    OpllOperator* ops = chip->operators;
    {
        const uint32_t h = ops[14].phaseOut, c = ops[17].phaseOut;
        chip->shortNoise =
            static_cast<uint8_t>((((h >> 2) ^ (h >> 7)) | ((h >> 3) ^ (c >> 5)) | ((c >> 3) ^ (c >> 5))) & 1);
    }

    // Operators: pending updates, envelope, phase.
    const uint32_t counter = ++chip->envelopeCounter;
    const uint32_t vibCol = (chip->vibratoPhase >> 10) & 7;
    if (test & 5) [[unlikely]] {
        for (int n = 0; n < 18; ++n)
            RunOperatorUnderTest(T, ops, ops[n], counter, vibCol, test);
    } else {
        // Unrolled: the operators are independent, and with the loop gone
        // their loads and stores overlap freely.
#pragma GCC unroll 18
        for (int n = 0; n < 18; ++n)
            RunOperator(T, ops, ops[n], counter, vibCol);
    }

    // Two-operator voices: nine melodic channels, or channels 0..6 in rhythm
    // mode (6 being the bass drum). Voices are independent of each other, so
    // all modulators go first and then all carriers; the table look-ups of
    // different channels can then overlap.
    const bool rhythm = chip->rhythmMode;
    const int voices = rhythm ? 7 : 9;
    int32_t modOut[9], carOut[9];
    for (int c = 0; c < voices; ++c)
        modOut[c] = ModulatorOutput(T, ops[2 * c], tremolo);
    for (int c = 0; c < voices; ++c)
        carOut[c] = CarrierOutput(T, ops[2 * c + 1], modOut[c], tremolo);

    int16_t* slot = chip->slotOutputs;
    for (int c = 0; c < 6; ++c)
        slot[c] = MelodicSlot(carOut[c]);
    uint32_t noise = OpllNoiseAdvance<5>(OpllNoiseAdvance<9>(chip->noise));
    if (!rhythm) {
        slot[6] = MelodicSlot(carOut[6]);
        slot[7] = MelodicSlot(carOut[7]);
        slot[8] = MelodicSlot(carOut[8]);
        noise = OpllNoiseAdvance<2>(noise);
    } else {
        slot[OPLL::kSlotBassDrum] = static_cast<int16_t>(carOut[6]);
        // Hi-hat and snare read the noise after 14 clocks.
        const bool bit = noise & 1;
        const uint32_t hh = chip->shortNoise ? (bit ? 0x2D0 : 0x234) : (bit ? 0x34 : 0xD0);
        slot[OPLL::kSlotHiHat] = SingleOutput(T, ops[14], hh);
        const uint32_t sd = (ops[15].phaseOut & 0x100) ? (bit ? 0x300 : 0x200) : (bit ? 0x000 : 0x100);
        slot[OPLL::kSlotSnare] = SingleOutput(T, ops[15], sd);
        noise = OpllNoiseAdvance<2>(noise);
        slot[OPLL::kSlotTomTom] = SingleOutput(T, ops[16], ops[16].phaseOut);
        slot[OPLL::kSlotCymbal] = SingleOutput(T, ops[17], chip->shortNoise ? 0x300 : 0x100);
    }
    chip->noise = OpllNoiseAdvance<2>(noise);
}

} // namespace

void OPLL::Step(OPLL* chip) { StepChip(chip); }

namespace {

// Left and right sums of the 14 slot outputs. Each term is truncated toward
// zero and the sums wrap at 16 bits. Only the low 16 bits are kept, so the
// plain (masked) mix adds in 16-bit lanes, all 16 slots at once.
inline void MixSlots(const OPLL* chip, int16_t& left, int16_t& right)
{
    if (chip->mixIsPlain) {
        uint16_t l = 0, r = 0;
        for (int i = 0; i < 16; ++i) {
            l += static_cast<uint16_t>(chip->slotOutputs[i] & chip->mixMask[0][i]);
            r += static_cast<uint16_t>(chip->slotOutputs[i] & chip->mixMask[1][i]);
        }
        left = static_cast<int16_t>(l);
        right = static_cast<int16_t>(r);
    } else {
        int32_t l = 0, r = 0;
        for (int i = 0; i < 14; ++i) {
            const float s = chip->slotOutputs[i];
            l += static_cast<int32_t>(s * chip->mixGain[0][i]);
            r += static_cast<int32_t>(s * chip->mixGain[1][i]);
        }
        left = static_cast<int16_t>(l);
        right = static_cast<int16_t>(r);
    }
}

} // namespace

void OPLL::RenderStereo(OPLL* chip, int32_t out[2])
{
    while (chip->outputStep > chip->timeAccumulator) {
        chip->timeAccumulator += chip->inputStep;
        StepChip(chip);
        MixSlots(chip, chip->mix[0], chip->mix[1]);
        if (chip->resampler) {
            chip->resampler->Push(0, chip->mix[0]);
            chip->resampler->Push(1, chip->mix[1]);
        }
    }
    chip->timeAccumulator -= chip->outputStep;
    if (chip->resampler) {
        chip->resampler->PullStereo(out);
    } else {
        out[0] = chip->mix[0];
        out[1] = chip->mix[1];
    }
}

void OPLL::RenderStereoBlock(OPLL* chip, int32_t* out, uint32_t frames)
{
    for (uint32_t i = 0; i < frames; ++i)
        RenderStereo(chip, out + 2 * i);
}
