// The chip's per-sample work: LFOs, noise, the 18 operators (pending
// updates, envelope, phase), the voices and rhythm instruments, the stereo
// mix and the output-rate conversion.
#include "chips/Opll.h"
#include "chips/OpllNoise.h"
#include "chips/OpllTables.h"

#include <algorithm>
#include <bit>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// One tremolo period in tremolo-phase units (210 table steps of 64); the
// phase is kept inside it so it can run forever without overflowing.
constexpr int32_t kTremoloPeriod = 210 * 64;

// Moves operator n into the envelope schedule for idle shift k (0..32, or
// kUnscheduled): it joins or leaves the dueBy sets between the old and the
// new shift.
inline void SetIdleShift(OpllLanes& lanes, uint32_t n, uint32_t k)
{
    const uint32_t old = lanes.idleShift[n], bit = 1u << n;
    for (uint32_t t = k; t < old; ++t)
        lanes.dueBy[t] |= bit;
    for (uint32_t t = old; t < k && t < 33; ++t)
        lanes.dueBy[t] &= ~bit;
    lanes.idleShift[n] = static_cast<uint8_t>(k);
}

// Exponent offset of operator n: attenuation plus its tremolo term, capped
// at 127 level units.
inline void UpdateOutputShift(OpllLanes& lanes, uint32_t n)
{
    const int32_t e = lanes.attenuation[n] + static_cast<int32_t>(lanes.shiftTremolo & lanes.amMask[n]);
    lanes.outputShift[n] = std::min<int32_t>(127, e) << 4;
}

// Outside the per-sample path an update request also puts the operator on
// the every-sample schedule, so its envelope runs on the next sample.
inline void Request(OpllLanes& lanes, OpllOperator& op, uint32_t flags)
{
    op.pendingUpdates |= flags;
    SetIdleShift(lanes, op.number, 0);
}

// The output stage's view of the level: attenuation, silent or not, and the
// exponent offset.
inline void RefreshOutput(OpllLanes& lanes, const OpllOperator& op)
{
    const uint32_t n = op.number;
    lanes.attenuation[n] = static_cast<int32_t>(op.level + op.totalLevel);
    if (op.level > 123)
        lanes.waveBase[n] = OpllTables::kWaveSilent;
    else
        lanes.waveBase[n] = static_cast<int16_t>(op.halfSine ? OpllTables::kWaveHalf : OpllTables::kWaveFull);
    UpdateOutputShift(lanes, n);
}

// Which samples the envelope has anything to do on, as an idle shift (run
// when the counter is a multiple of 2^shift). The level moves, and Damp and
// Decay look at it, only on due samples (counter & envMask == 0), so those
// states and Sustain and Release need only the due samples; at rate 0 the
// level never moves, so only Damp (which ends on any sample at rate 0)
// keeps running. Attack steps on four samples in a row of each period,
// which is no power-of-two pattern, so it runs every sample.
//
// Decay also checks its sustain level on every sample it runs; between due
// samples neither the level nor the sustain level changes (a commit or the
// test register's level override reschedule the operator for the next
// sample, as does swapping the instrument set), so a check that failed on
// the last run still fails.
inline uint32_t ScheduleShift(const OpllOperator& op)
{
    if (op.envState == EnvAttack)
        return 0;
    if (op.envState == EnvDamp || op.rateHigh)
        return op.envShift;
    return 32;
}

// Patch-derived values: tremolo and feedback lanes, sustain level, and the
// per-vibrato-step phase increments (F-number, block, ML, PM).
inline void RefreshPatch(OpllLanes& lanes, OpllOperator& op)
{
    const OpllTables& T = OpllTables::Get();
    const uint32_t n = op.number;
    lanes.amMask[n] = op.patch->AM ? -1 : 0;
    // (out0 + out1) >> (9 - FB) as a multiply and a fixed shift by 16:
    // 2^(7 + FB) = 2^(16 - (9 - FB)). The sum of two outputs stays within
    // 14 bits, so the product fits easily.
    const uint32_t fb = op.patch->FB & 7;
    lanes.feedbackMul[n] = static_cast<int16_t>(fb ? 1 << (7 + fb) : 0);
    op.sustainLevel = op.patch->SL;
    const int32_t base = op.fnum * 2;
    const int32_t mul = static_cast<int32_t>(kOpllMultiple[op.patch->ML & 15]);
    const int8_t* vib = T.pm[(op.fnum >> 6) & 7];
    for (int col = 0; col < 8; ++col) {
        const int32_t v = op.patch->PM ? vib[col] : 0;
        op.phaseStep[col] = static_cast<uint32_t>(((base + v) * mul << op.block) >> 2);
    }
    lanes.step[n] = op.phaseStep[lanes.stepColumn];
    UpdateOutputShift(lanes, n);
}

void Commit(OpllLanes& lanes, OpllOperator& op, const OpllTables& T)
{
    const uint32_t flags = op.pendingUpdates;
    const OpllPatch& p = *op.patch;
    if (flags & UpdateWaveform)
        op.halfSine = p.WS ? 1 : 0;
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
    RefreshPatch(lanes, op);
    RefreshOutput(lanes, op);
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
// phase restarts unless the operator keeps it. The operator's own phase is
// cleared at once, before this sample's advance; its partner (the previous
// operator for type 1, none for single-operator rhythm voices) has already
// advanced this sample in operator order, so its phase is cleared after
// the advance (its bit goes into zeroAfter) and its wave position stays
// where that advance put it until the next one.
void StartEnvelope(OPLL* chip, OpllOperator& op, uint32_t& zeroAfter)
{
    OpllLanes& lanes = chip->lanes;
    if (op.patch->AR + (op.keyScaleRate >> 2) >= 15) {
        op.envState = EnvDecay;
        op.level = 0;
    } else {
        op.envState = EnvAttack;
    }
    Request(lanes, op, UpdateEnvelope);
    if (op.type & 1) {
        if (!op.keepPhase)
            lanes.phase[op.number] = 0;
        if (op.type == 1 && !chip->operators[op.number - 1].keepPhase)
            zeroAfter |= 1u << (op.number - 1);
    }
}

// Commits pending updates, runs the envelope for one sample and schedules
// the next run (at once again while an update is pending).
void RunEnvelope(OPLL* chip, OpllOperator& op, uint32_t counter, uint32_t& zeroAfter)
{
    OpllLanes& lanes = chip->lanes;
    if (op.pendingUpdates)
        Commit(lanes, op, OpllTables::Get());

    const uint32_t due = counter & op.envMask;
    if (op.envState == EnvAttack) {
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
                StartEnvelope(chip, op, zeroAfter);
        } else if (op.envState == EnvDecay) {
            if ((op.level >> 3) == op.sustainLevel) {
                op.envState = EnvSustain;
                op.pendingUpdates |= UpdateEnvelope;
            }
        }
    }
    RefreshOutput(lanes, op);
    const uint32_t shift = op.pendingUpdates ? 0 : ScheduleShift(op);
    if (shift != lanes.idleShift[op.number])
        SetIdleShift(lanes, op.number, shift);
}

// All operators' envelope and phase with the test register's level and
// phase overrides in effect (test bit 0: everything at full volume, bit 2:
// phases restart every sample), in operator order.
[[gnu::noinline]] void RunOperatorsUnderTest(OPLL* chip, uint32_t counter, uint32_t test, uint32_t& zeroAfter)
{
    OpllLanes& lanes = chip->lanes;
    for (int n = 0; n < 18; ++n) {
        OpllOperator& op = chip->operators[n];
        RunEnvelope(chip, op, counter, zeroAfter);
        if (test & 1) {
            op.level = 0;
            RefreshOutput(lanes, op);
            SetIdleShift(lanes, n, 0); // the envelope sees the new level next sample
        }
        lanes.phase[n] = (((test & 4) ? 0 : lanes.phase[n]) + lanes.step[n]) & 0x7FFFF;
        lanes.phaseOut[n] = static_cast<int16_t>(lanes.phase[n] >> 9);
    }
}

} // namespace

void OpllRequestUpdate(OPLL* chip, OpllOperator& op, uint32_t flags) { Request(chip->lanes, op, flags); }

void OpllRefreshOutputCache(OPLL* chip, const OpllOperator& op) { RefreshOutput(chip->lanes, op); }

void OpllRefreshPatchCache(OPLL* chip, OpllOperator& op) { RefreshPatch(chip->lanes, op); }

namespace {

// Output of operator n at wave position index (0..1023) with its cached
// exponent offset: a signed value in -4096..4094 (0 while silent).
inline int32_t LaneOutput(const OpllTables& T, const OpllLanes& lanes, uint32_t n, uint32_t index)
{
    return T.signedOutput[T.waveIndex[lanes.waveBase[n] + index] + lanes.outputShift[n]];
}

// The same for a modulator, whose position modIndex already holds.
inline int32_t ModulatorOutput(const OpllTables& T, const OpllLanes& lanes, uint32_t n)
{
    return T.signedOutput[T.waveIndex[lanes.modIndex[n]] + lanes.outputShift[n]];
}

// A rhythm voice played by one operator: no tremolo.
inline int16_t SingleOutput(const OpllTables& T, const OpllLanes& lanes, uint32_t n, uint32_t index)
{
    const int32_t e = std::min<int32_t>(127, lanes.attenuation[n]) << 4;
    return static_cast<int16_t>(T.signedOutput[T.waveIndex[lanes.waveBase[n] + index] + e]);
}

inline uint32_t PhaseOut(const OpllLanes& lanes, uint32_t n) { return static_cast<uint16_t>(lanes.phaseOut[n]); }

// All phases at once, and their wave positions. The positions are at most
// 1023, so packing them to 16 bits with signed saturation keeps them whole.
inline void AdvancePhases(OpllLanes& lanes)
{
#if defined(__SSE2__)
    const __m128i mask = _mm_set1_epi32(0x7FFFF);
    auto* phase = reinterpret_cast<__m128i*>(lanes.phase);
    const auto* step = reinterpret_cast<const __m128i*>(lanes.step);
    auto* out = reinterpret_cast<__m128i*>(lanes.phaseOut);
    for (int v = 0; v < OpllLanes::kLanes / 8; ++v) {
        const __m128i lo = _mm_and_si128(_mm_add_epi32(phase[2 * v], step[2 * v]), mask);
        const __m128i hi = _mm_and_si128(_mm_add_epi32(phase[2 * v + 1], step[2 * v + 1]), mask);
        phase[2 * v] = lo;
        phase[2 * v + 1] = hi;
        out[v] = _mm_packs_epi32(_mm_srli_epi32(lo, 9), _mm_srli_epi32(hi, 9));
    }
#else
    for (int n = 0; n < OpllLanes::kLanes; ++n) {
        lanes.phase[n] = (lanes.phase[n] + lanes.step[n]) & 0x7FFFF;
        lanes.phaseOut[n] = static_cast<int16_t>(lanes.phase[n] >> 9);
    }
#endif
}

inline int16_t MelodicSlot(int32_t carrierOut) { return static_cast<int16_t>((-carrierOut) >> 1); }

// One chip sample. Inlined into the render loop, so the slot values it
// stores are still at hand for the mix.
[[gnu::always_inline]] inline void StepChip(OPLL* chip)
{
    const OpllTables& T = OpllTables::Get();
    OpllLanes& lanes = chip->lanes;
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
    // The tremolo level moves every 512 samples at most (normal LFO speed),
    // so the exponent offsets are rebuilt only then.
    if (tremolo != lanes.shiftTremolo) [[unlikely]] {
        lanes.shiftTremolo = tremolo;
        for (uint32_t n = 0; n < 18; ++n)
            UpdateOutputShift(lanes, n);
    }
    // Likewise the vibrato column moves every 1024 samples.
    const uint32_t vibCol = (chip->vibratoPhase >> 10) & 7;
    OpllOperator* ops = chip->operators;
    if (vibCol != lanes.stepColumn) [[unlikely]] {
        lanes.stepColumn = vibCol;
        for (int n = 0; n < 18; ++n)
            lanes.step[n] = ops[n].phaseStep[vibCol];
    }

    // Short noise for hi-hat and cymbal from the previous sample's phases.
    // Only the rhythm voices use it, and the wave positions it comes from
    // are kept in any mode, so it is worked out only in rhythm mode.
    if (chip->rhythmMode) {
        const uint32_t h = PhaseOut(lanes, 14), c = PhaseOut(lanes, 17);
        chip->shortNoise =
            static_cast<uint8_t>((((h >> 2) ^ (h >> 7)) | ((h >> 3) ^ (c >> 5)) | ((c >> 3) ^ (c >> 5))) & 1);
    }

    // Operators: pending updates and envelope, then phase.
    const uint32_t counter = ++chip->envelopeCounter;
    uint32_t zeroAfter = 0;
    if (test & 5) [[unlikely]] {
        RunOperatorsUnderTest(chip, counter, test, zeroAfter);
    } else {
        // The operators whose envelope is due: every operator scheduled for
        // a power of two that divides the counter.
        uint32_t due = lanes.dueBy[std::countr_zero(counter)]; // 32 for 0
        // In operator order; an operator's envelope touches only itself and
        // its partner's phase (see StartEnvelope).
        while (due) {
            const int n = std::countr_zero(due);
            due &= due - 1;
            RunEnvelope(chip, ops[n], counter, zeroAfter);
        }
        AdvancePhases(lanes);
    }
    while (zeroAfter) [[unlikely]] {
        lanes.phase[std::countr_zero(zeroAfter)] = 0;
        zeroAfter &= zeroAfter - 1;
    }

    // Two-operator voices: nine melodic channels, or channels 0..6 in rhythm
    // mode (6 being the bass drum). Voices are independent of each other, so
    // all modulators go first and then all carriers; the table look-ups of
    // different channels can then overlap.
    const bool rhythm = chip->rhythmMode;
    const int voices = rhythm ? 7 : 9;
    // Modulator positions in 16-bit lanes for every operator at once (the
    // product's high half is the multiply-high instruction; carriers have
    // no feedback and their lanes go unused).
    for (int n = 0; n < OpllLanes::kLanes; ++n) {
        const int16_t sum = static_cast<int16_t>(lanes.output[0][n] + lanes.output[1][n]);
        const int16_t fb = static_cast<int16_t>((sum * lanes.feedbackMul[n]) >> 16);
        lanes.modIndex[n] = static_cast<int16_t>(((lanes.phaseOut[n] + fb) & 1023) + lanes.waveBase[n]);
    }
    int32_t modOut[9], carOut[9];
    for (int c = 0; c < voices; ++c) {
        const uint32_t m = 2 * c;
        modOut[c] = ModulatorOutput(T, lanes, m);
        lanes.output[1][m] = lanes.output[0][m];
        lanes.output[0][m] = static_cast<int16_t>(modOut[c]);
    }
    // The carrier takes the modulator's output with its lowest bit cleared.
    for (int c = 0; c < voices; ++c)
        carOut[c] = LaneOutput(T, lanes, 2 * c + 1, (PhaseOut(lanes, 2 * c + 1) + (modOut[c] & ~1)) & 1023);

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
        slot[OPLL::kSlotHiHat] = SingleOutput(T, lanes, 14, hh);
        const uint32_t sd = (PhaseOut(lanes, 15) & 0x100) ? (bit ? 0x300 : 0x200) : (bit ? 0x000 : 0x100);
        slot[OPLL::kSlotSnare] = SingleOutput(T, lanes, 15, sd);
        noise = OpllNoiseAdvance<2>(noise);
        slot[OPLL::kSlotTomTom] = SingleOutput(T, lanes, 16, PhaseOut(lanes, 16));
        slot[OPLL::kSlotCymbal] = SingleOutput(T, lanes, 17, chip->shortNoise ? 0x300 : 0x100);
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
#if defined(__SSE2__)
        // Both sides in 16-bit lanes: mask, add the two halves of the slot
        // row, then fold the eight lanes into one (left and right side by
        // side in the low and high quadwords from the second step on).
        const auto load = [](const int16_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); };
        const __m128i s0 = load(chip->slotOutputs), s1 = load(chip->slotOutputs + 8);
        const __m128i l = _mm_add_epi16(_mm_and_si128(s0, load(chip->mixMask[0])),
                                        _mm_and_si128(s1, load(chip->mixMask[0] + 8)));
        const __m128i r = _mm_add_epi16(_mm_and_si128(s0, load(chip->mixMask[1])),
                                        _mm_and_si128(s1, load(chip->mixMask[1] + 8)));
        // l0+l4 .. l3+l7 | r0+r4 .. r3+r7
        __m128i v = _mm_add_epi16(_mm_unpacklo_epi64(l, r), _mm_unpackhi_epi64(l, r));
        v = _mm_add_epi16(v, _mm_srli_epi64(v, 32));
        v = _mm_add_epi16(v, _mm_srli_epi64(v, 16));
        left = static_cast<int16_t>(_mm_cvtsi128_si32(v));
        right = static_cast<int16_t>(_mm_extract_epi16(v, 4));
#else
        uint16_t l = 0, r = 0;
        for (int i = 0; i < 16; ++i) {
            l += static_cast<uint16_t>(chip->slotOutputs[i] & chip->mixMask[0][i]);
            r += static_cast<uint16_t>(chip->slotOutputs[i] & chip->mixMask[1][i]);
        }
        left = static_cast<int16_t>(l);
        right = static_cast<int16_t>(r);
#endif
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

namespace {

// `frames` output frames: chip samples as the time accumulator asks for
// them, each mixed and (with a resampler) pushed into its history, then one
// output pair per frame. Without a resampler the output is the newest mix.
template <bool kResample>
[[gnu::always_inline]] inline void RenderFrames(OPLL* chip, int32_t* out, uint32_t frames)
{
    OpllResampler* resampler = chip->resampler.get();
    const double inputStep = chip->inputStep, outputStep = chip->outputStep;
    double accumulator = chip->timeAccumulator;
    for (uint32_t i = 0; i < frames; ++i) {
        while (outputStep > accumulator) {
            accumulator += inputStep;
            StepChip(chip);
            MixSlots(chip, chip->mix[0], chip->mix[1]);
            if constexpr (kResample) {
                resampler->Push(0, chip->mix[0]);
                resampler->Push(1, chip->mix[1]);
            }
        }
        accumulator -= outputStep;
        if constexpr (kResample) {
            resampler->PullStereo(out + 2 * i);
        } else {
            out[2 * i] = chip->mix[0];
            out[2 * i + 1] = chip->mix[1];
        }
    }
    chip->timeAccumulator = accumulator;
}

} // namespace

void OPLL::RenderStereo(OPLL* chip, int32_t out[2]) { RenderStereoBlock(chip, out, 1); }

void OPLL::RenderStereoBlock(OPLL* chip, int32_t* out, uint32_t frames)
{
    if (chip->resampler)
        RenderFrames<true>(chip, out, frames);
    else
        RenderFrames<false>(chip, out, frames);
}
