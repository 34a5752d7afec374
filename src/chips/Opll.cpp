#include "chips/Opll.h"

#include "chips/OpllTables.h"

#include <cmath>
#include <cstring>
#include <new>

namespace {

const OpllPatch kNullPatch{};

void Request(OPLL* chip, OpllOperator& op, uint32_t flags) { OpllRequestUpdate(chip, op, flags); }

OpllOperator& Modulator(OPLL* chip, int c) { return chip->operators[2 * c]; }
OpllOperator& Carrier(OPLL* chip, int c) { return chip->operators[2 * c + 1]; }

// Requests updates on the modulators (or carriers) of every channel that
// plays the user instrument.
void RequestOnUserChannels(OPLL* chip, int half, uint32_t flags)
{
    for (int c = 0; c < 9; ++c)
        if (chip->instrument[c] == 0)
            Request(chip, chip->operators[2 * c + half], flags);
}

void SetFnum(OPLL* chip, OpllOperator& op, uint32_t fnum)
{
    op.fnum = static_cast<uint16_t>(fnum & 0x1FF);
    op.blockFnum = static_cast<uint16_t>((op.block << 9) | op.fnum);
    Request(chip, op, UpdateEnvelope | UpdateKeyScaleRate | UpdateTotalLevel);
}

void SetBlock(OPLL* chip, OpllOperator& op, uint32_t block)
{
    op.block = static_cast<uint8_t>(block & 7);
    op.blockFnum = static_cast<uint16_t>((op.block << 9) | op.fnum);
    Request(chip, op, UpdateEnvelope | UpdateKeyScaleRate | UpdateTotalLevel);
}

void SetVolume(OPLL* chip, OpllOperator& op, int32_t volume)
{
    op.volume = volume;
    Request(chip, op, UpdateTotalLevel);
}

void SetSustain(OPLL* chip, int c, uint8_t flag)
{
    OpllOperator& car = Carrier(chip, c);
    car.sustainFlag = flag;
    Request(chip, car, UpdateEnvelope);
    OpllOperator& mod = Modulator(chip, c);
    if (mod.type & 1) {
        mod.sustainFlag = flag;
        Request(chip, mod, UpdateEnvelope);
    }
}

void AssignInstrument(OPLL* chip, int c, int n)
{
    chip->instrument[c] = n;
    OpllOperator& mod = Modulator(chip, c);
    OpllOperator& car = Carrier(chip, c);
    mod.patch = &chip->patches[2 * n];
    car.patch = &chip->patches[2 * n + 1];
    Request(chip, mod, UpdateAll);
    Request(chip, car, UpdateAll);
}

void KeyOn(OPLL* chip, OpllOperator& op)
{
    op.keyFlag = 1;
    op.envState = EnvDamp;
    Request(chip, op, UpdateEnvelope);
}

void KeyOff(OPLL* chip, OpllOperator& op)
{
    op.keyFlag = 0;
    if (op.type & 1) {
        op.envState = EnvRelease;
        Request(chip, op, UpdateEnvelope);
    }
}

void UpdateKeyStatus(OPLL* chip)
{
    uint32_t status = 0;
    for (int c = 0; c < 9; ++c)
        if (chip->registers[0x20 + c] & 0x10)
            status |= 3u << (2 * c);
    if (chip->rhythmMode) {
        const uint8_t r = chip->registers[0x0E];
        if (r & 0x10)
            status |= 3u << 12; // bass drum: both operators of channel 6
        if (r & 0x01)
            status |= 1u << 14; // hi-hat
        if (r & 0x08)
            status |= 1u << 15; // snare drum
        if (r & 0x04)
            status |= 1u << 16; // tom-tom
        if (r & 0x02)
            status |= 1u << 17; // top cymbal
    }
    const uint32_t changed = status ^ chip->keyStatus;
    for (int n = 0; n < 18; ++n)
        if (changed & (1u << n)) {
            if (status & (1u << n))
                KeyOn(chip, chip->operators[n]);
            else
                KeyOff(chip, chip->operators[n]);
        }
    chip->keyStatus = status;
}

void SwitchRhythmMode(OPLL* chip, uint8_t on)
{
    if (on == chip->rhythmMode)
        return;
    OpllOperator* op = chip->operators;
    if (on) {
        for (int n = 14; n < 18; ++n)
            op[n].type = 3;
        op[14].keepPhase = 1;
        op[17].keepPhase = 1;
        AssignInstrument(chip, 6, 16);
        AssignInstrument(chip, 7, 17);
        AssignInstrument(chip, 8, 18);
        SetVolume(chip, op[14], 4 * (chip->registers[0x37] >> 4));
        SetVolume(chip, op[16], 4 * (chip->registers[0x38] >> 4));
    } else {
        op[14].type = 0;
        op[15].type = 1;
        op[16].type = 0;
        op[17].type = 1;
        op[14].keepPhase = 0;
        op[17].keepPhase = 0;
        for (int c = 6; c < 9; ++c)
            AssignInstrument(chip, c, chip->registers[0x30 + c] >> 4);
    }
    chip->rhythmMode = on;
}

void WriteUserPatch(OPLL* chip, uint32_t reg, uint8_t v)
{
    OpllPatch& mod = chip->patches[0];
    OpllPatch& car = chip->patches[1];
    switch (reg) {
    case 0x00:
    case 0x01: {
        OpllPatch& p = reg == 0 ? mod : car;
        p.AM = (v >> 7) & 1;
        p.PM = (v >> 6) & 1;
        p.EG = (v >> 5) & 1;
        p.KR = (v >> 4) & 1;
        p.ML = v & 15;
        RequestOnUserChannels(chip, static_cast<int>(reg), UpdateKeyScaleRate | UpdateEnvelope);
        break;
    }
    case 0x02:
        mod.KL = v >> 6;
        mod.TL = v & 63;
        RequestOnUserChannels(chip, 0, UpdateTotalLevel);
        break;
    case 0x03:
        car.KL = v >> 6;
        car.WS = (v >> 4) & 1;
        mod.WS = (v >> 3) & 1;
        mod.FB = v & 7;
        RequestOnUserChannels(chip, 0, UpdateWaveform);
        RequestOnUserChannels(chip, 1, UpdateWaveform | UpdateTotalLevel);
        break;
    case 0x04:
    case 0x05: {
        OpllPatch& p = reg == 4 ? mod : car;
        p.AR = v >> 4;
        p.DR = v & 15;
        RequestOnUserChannels(chip, static_cast<int>(reg - 4), UpdateEnvelope);
        break;
    }
    case 0x06:
    case 0x07: {
        OpllPatch& p = reg == 6 ? mod : car;
        p.SL = v >> 4;
        p.RR = v & 15;
        RequestOnUserChannels(chip, static_cast<int>(reg - 6), UpdateEnvelope);
        break;
    }
    default:
        break;
    }
}

// Chip rate and, unless the output rate matches it, a resampler.
void SetUpRateConversion(OPLL* chip)
{
    // An output rate of 0 would never consume a chip sample (RenderStereo
    // would loop forever) and make the resampler ratio infinite; the
    // slowest rate the chip runs at is 1 Hz.
    if (chip->rate == 0)
        chip->rate = 1;
    const double fIn = chip->clock * (1.0 / 72.0);
    const double fOut = chip->rate;
    chip->timeAccumulator = 0;
    chip->outputStep = fIn;
    chip->inputStep = fOut;
    chip->resampler.reset();
    if (std::floor(fIn) != fOut && std::floor(fIn + 0.5) != fOut) {
        // Without memory for the resampler the chip still plays, holding
        // the last chip-rate sample per output sample.
        chip->resampler.reset(new (std::nothrow) OpllResampler(fIn / fOut));
    }
    if (chip->resampler)
        chip->resampler->Reset();
}

} // namespace

namespace {
void UpdateMixGain(OPLL* chip, uint32_t slot);
}

void OpllResetOperator(OPLL* chip, int n)
{
    OpllOperator& op = chip->operators[n];
    op = OpllOperator{};
    op.number = static_cast<uint8_t>(n);
    op.type = n & 1;
    op.keepPhase = 0;
    op.halfSine = 0;
    op.envState = EnvRelease;
    op.level = 127;
    op.patch = &kNullPatch;
    OpllLanes& lanes = chip->lanes;
    lanes.phase[n] = lanes.phaseOut[n] = 0;
    lanes.output[0][n] = lanes.output[1][n] = 0;
    for (uint32_t& set : lanes.dueBy)
        set &= ~(1u << n);
    lanes.idleShift[n] = OpllLanes::kUnscheduled;
    OpllRequestUpdate(chip, op, 0); // the first step runs its envelope
    OpllRefreshPatchCache(chip, op);
    OpllRefreshOutputCache(chip, op);
}

OPLL* OPLL::Create(uint32_t clock, uint32_t rate)
{
    OpllTables::Build();
    OPLL* chip = new (std::nothrow) OPLL{};
    if (!chip)
        return nullptr;
    for (auto& p : chip->patches)
        p = kNullPatch;
    chip->clock = clock;
    chip->rate = rate;
    chip->resampler.reset();
    chip->mix[0] = chip->mix[1] = 0;
    Reset(chip);
    SelectToneSet(chip, ToneSetYM2413);
    return chip;
}

void OPLL::Destroy(OPLL* chip) { delete chip; }

void OPLL::Reset(OPLL* chip)
{
    chip->addressLatch = 0;
    chip->vibratoPhase = 0;
    chip->tremoloPhase = 0;
    chip->noise = 1;
    chip->rhythmMode = 0;
    chip->keyStatus = 0;
    chip->envelopeCounter = 0;
    SetUpRateConversion(chip);
    // Lanes past the 18 operators stay 0 (phase and step); each operator's
    // reset puts it in the every-sample envelope schedule.
    chip->lanes = OpllLanes{};
    for (int n = 0; n < 18; ++n)
        OpllResetOperator(chip, n);
    for (int c = 0; c < 9; ++c)
        AssignInstrument(chip, c, 0);
    for (uint32_t r = 0; r < 0x40; ++r)
        WriteReg(chip, r, 0);
    for (int i = 0; i < 15; ++i) {
        chip->pan[i] = 3;
        chip->finePan[i][0] = chip->finePan[i][1] = 1.0f;
    }
    for (uint32_t i = 0; i < 16; ++i)
        UpdateMixGain(chip, i);
    std::memset(chip->slotOutputs, 0, sizeof chip->slotOutputs);
}

void OPLL::SetRate(OPLL* chip, uint32_t rate)
{
    chip->rate = rate;
    SetUpRateConversion(chip);
}

void OPLL::SelectToneSet(OPLL* chip, int set)
{
    if (!OpllToneSetDump(set))
        return;
    const OpllPatch* source = OpllTables::Get().toneSets[set];
    for (int i = 0; i < 38; ++i)
        chip->patches[i] = source[i];
    // Nothing requests an update here, but the operators' cached patch
    // values must follow the new contents, and each envelope runs on the
    // next sample (a decay compares against the new sustain level then).
    for (auto& op : chip->operators) {
        OpllRefreshPatchCache(chip, op);
        OpllRequestUpdate(chip, op, 0);
    }
}

namespace {

void UpdateMixGain(OPLL* chip, uint32_t slot)
{
    chip->mixGain[0][slot] = (chip->pan[slot] & 2) ? chip->finePan[slot][0] : 0.0f;
    chip->mixGain[1][slot] = (chip->pan[slot] & 1) ? chip->finePan[slot][1] : 0.0f;
    bool plain = true;
    for (int side = 0; side < 2; ++side)
        for (int i = 0; i < 16; ++i) {
            const float g = chip->mixGain[side][i];
            plain = plain && (g == 0.0f || g == 1.0f);
            chip->mixMask[side][i] = g == 1.0f ? -1 : 0;
        }
    chip->mixIsPlain = plain;
}

} // namespace

void OPLL::SetPan(OPLL* chip, uint32_t slot, uint8_t pan)
{
    chip->pan[slot & 15] = pan;
    UpdateMixGain(chip, slot & 15);
}

void OPLL::WritePort(OPLL* chip, uint32_t port, uint8_t value)
{
    if ((port & 1) == 0)
        chip->addressLatch = value;
    else
        WriteReg(chip, chip->addressLatch, value);
}

void OPLL::WriteReg(OPLL* chip, uint32_t reg, uint8_t value)
{
    if (reg >= 0x40)
        return;
    // Channel registers 9..15 of each bank alias channels 0..6.
    if ((reg >= 0x19 && reg <= 0x1F) || (reg >= 0x29 && reg <= 0x2F) || (reg >= 0x39 && reg <= 0x3F))
        reg -= 9;
    chip->registers[reg & 0x3F] = value; // reg < 0x40 here; the mask keeps that visible

    if (reg <= 0x07) {
        WriteUserPatch(chip, reg, value);
    } else if (reg == 0x0E) {
        SwitchRhythmMode(chip, (value >> 5) & 1);
        UpdateKeyStatus(chip);
    } else if (reg == 0x0F) {
        chip->test = value;
    } else if (reg >= 0x10 && reg <= 0x18) {
        const int c = static_cast<int>(reg - 0x10);
        const uint32_t fnum = value + 256u * (chip->registers[0x20 + c] & 1);
        SetFnum(chip, Modulator(chip, c), fnum);
        SetFnum(chip, Carrier(chip, c), fnum);
    } else if (reg >= 0x20 && reg <= 0x28) {
        const int c = static_cast<int>(reg - 0x20);
        const uint32_t fnum = 256u * (value & 1) + chip->registers[0x10 + c];
        const uint32_t block = (value >> 1) & 7;
        SetFnum(chip, Modulator(chip, c), fnum);
        SetFnum(chip, Carrier(chip, c), fnum);
        SetBlock(chip, Modulator(chip, c), block);
        SetBlock(chip, Carrier(chip, c), block);
        SetSustain(chip, c, (value >> 5) & 1);
        UpdateKeyStatus(chip);
    } else if (reg >= 0x30 && reg <= 0x38) {
        const int c = static_cast<int>(reg - 0x30);
        if (chip->rhythmMode && c >= 6) {
            if (c == 7)
                SetVolume(chip, chip->operators[14], 4 * (value >> 4)); // hi-hat
            else if (c == 8)
                SetVolume(chip, chip->operators[16], 4 * (value >> 4)); // tom-tom
        } else {
            AssignInstrument(chip, c, value >> 4);
        }
        SetVolume(chip, Carrier(chip, c), 4 * (value & 15));
    }
}
