#include "chips/Psg.h"

#include <cstring>
#include <new>

// The chip's 32-step logarithmic output curve as 8-bit integers: about
// 1.5 dB per step down from 255 (255/214, 214/180, ... ~ 1.19), the bottom
// entry silence and the top level doubled so fixed level 15 (entry 30) is
// already full scale.
const uint8_t kPsgVolume[32] = {
    0,  1,  1,  2,  2,  3,  3,  4,  5,  6,   7,   9,   11,  13,  15,  18,
    22, 26, 31, 37, 45, 53, 63, 76, 90, 106, 127, 151, 180, 214, 255, 255,
};

namespace
{

constexpr uint32_t kDefaultRate = 44100;

// Largest step that keeps BaseCount (24 fraction bits plus the step) inside
// 32 bits; reached only with absurd clock/rate pairs.
constexpr double kMaxBaseIncr = 4278190080.0; // 0xFF000000

uint32_t ComputeBaseIncr(uint32_t clock, uint32_t rate)
{
    double step = static_cast<double>(clock) * 16777216.0 / (16.0 * static_cast<double>(rate));
    if (step >= kMaxBaseIncr)
        return static_cast<uint32_t>(kMaxBaseIncr);
    return static_cast<uint32_t>(step);
}

// One envelope step at the end of an envelope period.
inline void StepEnvelope(PSG* p)
{
    p->EnvPtr = (p->EnvPtr + (p->EnvFace ? 1u : 63u)) & 63u;
    if (!(p->EnvPtr & 0x20))
        return;
    // A 32-step cycle ended.
    if (p->EnvContinue) {
        if (p->EnvAlternate != p->EnvHold)
            p->EnvFace ^= 1;
        if (p->EnvHold)
            p->EnvPause = 1;
        p->EnvPtr = p->EnvFace ? 0 : 31;
    } else {
        p->EnvPause = 1;
        p->EnvPtr = 0;
    }
}

} // namespace

PSG* PSG::Create(uint32_t clock, uint32_t rate)
{
    PSG* p = new (std::nothrow) PSG{};
    if (!p)
        return nullptr;
    p->VolumeTable = kPsgVolume;
    p->Clock = clock;
    p->Rate = rate ? rate : kDefaultRate;
    p->BaseIncr = ComputeBaseIncr(p->Clock, p->Rate);
    return p;
}

void PSG::Destroy(PSG* psg)
{
    delete psg;
}

void PSG::SetRate(PSG* psg, uint32_t rate)
{
    psg->Rate = rate ? rate : kDefaultRate;
    psg->BaseIncr = ComputeBaseIncr(psg->Clock, psg->Rate);
}

void PSG::Reset(PSG* psg)
{
    for (int ch = 0; ch < 3; ++ch) {
        psg->Count[ch] = 0x1000;
        psg->Freq[ch] = 0;
        psg->Edge[ch] = 0;
        psg->Volume[ch] = 0;
    }
    std::memset(psg->Regs, 0, 16);
    psg->Address = 0;
    psg->NoiseSeed = 0xFFFF;
    psg->NoiseCount = 0x40;
    psg->NoiseFreq = 0;
    psg->EnvPtr = 0;
    psg->EnvFreq = 0;
    psg->EnvCount = 0;
    psg->EnvPause = 1;
    psg->BaseCount = 0;
}

void PSG::WritePort(PSG* psg, uint32_t port, uint8_t value)
{
    if (port & 1)
        WriteReg(psg, psg->Address, value);
    else
        psg->Address = value & 0x3F;
}

void PSG::WriteReg(PSG* psg, uint32_t reg, uint8_t value)
{
    if (reg > 15)
        return;
    psg->Regs[reg] = value;
    switch (reg) {
    case 0:
    case 1:
    case 2:
    case 3:
    case 4:
    case 5: {
        const uint32_t ch = reg >> 1;
        psg->Freq[ch] = (psg->Regs[2 * ch + 1] & 0x0Fu) * 256u + psg->Regs[2 * ch];
        break;
    }
    case 6:
        psg->NoiseFreq = value == 0 ? 1u : (value & 0x1Fu) * 2u;
        break;
    case 7:
        for (int ch = 0; ch < 3; ++ch) {
            psg->ToneOff[ch] = value & (1u << ch);
            psg->NoiseOff[ch] = value & (8u << ch);
        }
        break;
    case 8:
    case 9:
    case 10:
        psg->Volume[reg - 8] = value * 2u;
        break;
    case 11:
    case 12:
        psg->EnvFreq = psg->Regs[12] * 256u + psg->Regs[11];
        break;
    case 13:
        psg->EnvPause = 0;
        psg->EnvContinue = (value >> 3) & 1;
        psg->EnvAttack = (value >> 2) & 1;
        psg->EnvAlternate = (value >> 1) & 1;
        psg->EnvHold = value & 1;
        psg->EnvFace = psg->EnvAttack;
        psg->EnvCount = 0x10000 - psg->EnvFreq;
        psg->EnvPtr = psg->EnvFace ? 0 : 31;
        break;
    default: // 14, 15: I/O ports, stored only
        break;
    }
}

int16_t PSG::Render(PSG* psg)
{
    psg->BaseCount += psg->BaseIncr;
    const uint32_t incr = psg->BaseCount >> 24;
    psg->BaseCount &= 0xFFFFFF;

    // Envelope: one step per EnvFreq units.
    psg->EnvCount += incr;
    while (psg->EnvCount >= 0x10000) {
        if (psg->EnvFreq == 0) {
            // Period 0 freezes the envelope. Hold the counter at the
            // threshold instead of letting it grow: a backlog built up
            // while frozen would otherwise be stepped through in one go
            // (millions of iterations inside one sample) once a period is
            // written without restarting the shape.
            psg->EnvCount = 0x10000;
            break;
        }
        if (!psg->EnvPause)
            StepEnvelope(psg);
        psg->EnvCount -= psg->EnvFreq;
    }

    // Noise: at most one shift of the 17-bit register per sample.
    psg->NoiseCount += incr;
    if (psg->NoiseCount & 0x40) {
        if (psg->NoiseSeed & 1)
            psg->NoiseSeed ^= 0x24000;
        psg->NoiseSeed >>= 1;
        psg->NoiseCount -= psg->NoiseFreq;
    }
    const uint32_t noise = psg->NoiseSeed & 1;

    const uint8_t* table = psg->VolumeTable;
    const uint32_t envLevel = table[psg->EnvPtr & 31];
    uint32_t sum = 0;
    for (int ch = 0; ch < 3; ++ch) {
        // Tone: at most one edge per sample; periods 0 and 1 hold the
        // output high.
        uint32_t count = psg->Count[ch] + incr;
        uint32_t edge = psg->Edge[ch];
        const uint32_t freq = psg->Freq[ch];
        if (count & 0x1000) {
            if (freq > 1) {
                edge ^= 1;
                count -= freq;
            } else {
                edge = 1;
            }
            psg->Edge[ch] = edge;
        }
        psg->Count[ch] = count;

        const uint32_t vol = psg->Volume[ch];
        const uint32_t level = (vol & 0x20) ? envLevel : table[vol & 31];
        const bool open = (psg->ToneOff[ch] | edge) && (psg->NoiseOff[ch] | noise);
        sum += open ? level : 0;
    }
    return static_cast<int16_t>(sum * 16);
}

void PSG::RenderStereoBlock(PSG* psg, int32_t* out, uint32_t frames)
{
    for (uint32_t i = 0; i < frames; ++i)
        out[2 * i] = out[2 * i + 1] = Render(psg);
}
