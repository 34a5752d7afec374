// The demo music engine: a two-voice player (melody + bass) stepping
// through event lists on the board's tick, and its drivers for the OPLL
// (YM2413 / YMF281B) and the PSG.
#include <cmath>
#include <stdexcept>
#include <string>

#include "DemoMusic.h"
#include "DemoRoms.h"

namespace demo {
namespace {

using R8 = Z80Asm::R8;
using R16 = Z80Asm::R16;
using Cc = Z80Asm::Cc;

// RAM variables of the engine (every demo board has RAM at 0x8000-0x9FFF).
constexpr uint16_t kVarPtr = 0x8100;    // word: next event, 0 = idle
constexpr uint16_t kVarStart = 0x8102;  // word: first event of the tune
constexpr uint16_t kVarSteps = 0x8104;  // byte: steps left of this event
constexpr uint16_t kVarPre = 0x8105;    // byte: ticks left of this step
// Ticks per step: the demo boards tick at about 530 Hz, so a step is
// about 60 ms.
constexpr uint8_t kTicksPerStep = 32;

double MidiHz(int midi) { return 440.0 * std::pow(2.0, (midi - 69) / 12.0); }

}  // namespace

// The word of a note:
//  OPLL: low byte F-number bits 0-7, high byte block << 1 | F-number bit 8;
//        f = fnum * (clock / 72) / 2^(19 - block), the highest resolution
//        (lowest block) whose F-number fits in 9 bits.
//  PSG:  the 12-bit tone period. The emulated PSG inverts its output every
//        period x 16 chip clocks, so f = clock / (32 * period).
std::vector<uint8_t> PitchTable(const Wiring& w) {
    std::vector<uint8_t> t = {0, 0};
    for (int m = kLowestMidi; m <= kHighestMidi; ++m) {
        const double hz = MidiHz(m);
        unsigned word;
        if (w.chip == Chip::Opll) {
            unsigned block = 0, fnum = 0;
            for (block = 0; block < 8; ++block) {
                fnum = static_cast<unsigned>(std::lround(hz * std::pow(2.0, 19 - block) / (w.clock / 72.0)));
                if (fnum <= 511) break;
            }
            if (block == 8) throw std::logic_error("note too high for the OPLL");
            word = fnum | block << 9;
        } else {
            long period = std::lround(w.clock / (32.0 * hz));
            word = static_cast<unsigned>(period > 4095 ? 4095 : period);
        }
        t.push_back(static_cast<uint8_t>(word & 0xFF));
        t.push_back(static_cast<uint8_t>(word >> 8));
    }
    return t;
}

void EmitChip(Z80Asm& a, const Wiring& w) {
    a.label("chip_write");
    a.push(R16::AF);
    a.ld(R8::A, R8::E);
    a.out_n_a(w.selectPort);       // select the register
    a.pop(R16::AF);
    a.out_n_a(w.selectPort + 1);   // write its value
    a.ret();

    if (w.chip == Chip::Opll) {
        a.label("chip_init");
        a.ld(R8::E, 0x30); a.ld_a_n(0x40); a.call("chip_write");  // voice 0: flute, volume 0 (loudest)
        a.ld(R8::E, 0x31); a.ld_a_n(0xD1); a.call("chip_write");  // voice 1: synth bass, volume 1
        a.ret();

        a.label("voice_off");                 // key off: register 20h + voice = 0
        a.ld_a_n(0x20); a.add_a(R8::C); a.ld(R8::E, R8::A);
        a.xor_(R8::A);
        a.jp("chip_write");

        a.label("voice_on");
        a.add_a(R8::A); a.ld(R8::E, R8::A); a.ld(R8::D, 0);
        a.ld_hl_nn("pitch"); a.add_hl(R16::DE);      // HL -> pitch word
        a.call("voice_off");                         // retrigger: key off first
        a.ld_a_n(0x10); a.add_a(R8::C); a.ld(R8::E, R8::A);
        a.ld(R8::A, R8::HLi); a.call("chip_write");  // F-number low
        a.inc(R16::HL);
        a.ld_a_n(0x20); a.add_a(R8::C); a.ld(R8::E, R8::A);
        a.ld(R8::A, R8::HLi); a.or_n(0x10);          // block, F-number bit 8, key on
        a.jp("chip_write");
    } else {
        a.label("chip_init");
        a.ld(R8::E, 7); a.ld_a_n(0x3C); a.call("chip_write");  // mixer: tones A and B on, noise off
        a.ret();

        a.label("voice_off");                 // volume register 8 + voice = 0
        a.ld_a_n(8); a.add_a(R8::C); a.ld(R8::E, R8::A);
        a.xor_(R8::A);
        a.jp("chip_write");

        a.label("voice_on");
        a.add_a(R8::A); a.ld(R8::E, R8::A); a.ld(R8::D, 0);
        a.ld_hl_nn("pitch"); a.add_hl(R16::DE);      // HL -> pitch word
        a.ld(R8::A, R8::C); a.add_a(R8::A); a.ld(R8::E, R8::A);
        a.ld(R8::A, R8::HLi); a.call("chip_write");  // fine period, register 2 * voice
        a.inc(R16::HL); a.inc(R8::E);
        a.ld(R8::A, R8::HLi); a.call("chip_write");  // coarse period
        a.ld_a_n(8); a.add_a(R8::C); a.ld(R8::E, R8::A);
        a.ld_a_n(0x0F); a.sub(R8::C); a.sub(R8::C); a.sub(R8::C);  // volume 15, bass 12
        a.jp("chip_write");
    }
}

void EmitEngine(Z80Asm& a) {
    a.label("start");
    a.or_(R8::A);
    a.jr(Cc::Z, "silence");                // code 0: silence
    a.cp_n(kSongCount + 1);
    a.jr(Cc::NC, "silence");               // no such tune: silence
    a.dec(R8::A); a.add_a(R8::A);
    a.ld(R8::E, R8::A); a.ld(R8::D, 0);
    a.ld_hl_nn("tunes"); a.add_hl(R16::DE);
    a.ld(R8::E, R8::HLi); a.inc(R16::HL); a.ld(R8::D, R8::HLi);
    a.ex_de_hl();                          // HL = the tune's first event
    a.ld_mem_hl(kVarStart);
    a.ld_mem_hl(kVarPtr);
    a.ld_a_n(1);
    a.ld_mem_a(kVarSteps);                 // the first tick plays the first event
    a.ld_mem_a(kVarPre);
    a.jp("chip_init");

    a.label("silence");
    a.ld_hl_nn(0);
    a.ld_mem_hl(kVarPtr);
    a.ld(R8::C, 0); a.call("voice_off");
    a.ld(R8::C, 1); a.jp("voice_off");

    a.label("tick");
    a.ld_hl_mem(kVarPtr);
    a.ld(R8::A, R8::H); a.or_(R8::L);
    a.ret(Cc::Z);                          // idle
    a.ld_a_mem(kVarPre); a.dec(R8::A); a.ld_mem_a(kVarPre);
    a.ret(Cc::NZ);
    a.ld_a_n(kTicksPerStep); a.ld_mem_a(kVarPre);
    a.ld_a_mem(kVarSteps); a.dec(R8::A); a.ld_mem_a(kVarSteps);
    a.ret(Cc::NZ);
    a.label("next_event");                 // HL -> melody, bass, steps
    a.ld(R8::D, R8::HLi); a.inc(R16::HL);
    a.ld(R8::B, R8::HLi); a.inc(R16::HL);
    a.ld(R8::A, R8::HLi); a.inc(R16::HL);
    a.ld_mem_hl(kVarPtr);
    a.or_(R8::A);
    a.jr(Cc::NZ, "play_event");
    a.ld(R8::A, R8::D); a.cp_n(1);
    a.jr(Cc::NZ, "silence");               // end of tune
    a.ld_hl_mem(kVarStart);
    a.jr("next_event");                    // loop
    a.label("play_event");
    a.ld_mem_a(kVarSteps);
    a.push(R16::BC);
    a.ld(R8::A, R8::D); a.ld(R8::C, 0); a.call("voice_set");
    a.pop(R16::BC);
    a.ld(R8::A, R8::B); a.ld(R8::C, 1);
    a.label("voice_set");                  // C = voice, A = note / off / keep
    a.cp_n(kKeep);
    a.ret(Cc::Z);
    a.or_(R8::A);
    a.jp(Cc::Z, "voice_off");
    a.jp("voice_on");
}

void EmitData(Z80Asm& a, const Wiring& w) {
    const auto tunes = Tunes();
    if (tunes.size() != kSongCount) throw std::logic_error("tune count");
    a.label("tunes");
    for (std::size_t i = 0; i < tunes.size(); ++i) a.dw(Z80Asm::Target("tune" + std::to_string(i)));
    for (std::size_t i = 0; i < tunes.size(); ++i) {
        a.label("tune" + std::to_string(i));
        for (const Event& e : tunes[i]) a.db({e.melody, e.bass, e.steps});
    }
    a.label("pitch");
    a.db(PitchTable(w));
}

void EmitBoot(Z80Asm& a, bool installDriver) {
    a.di();
    a.ld_sp_nn(0xA000);
    a.im(1);
    if (installDriver) {                   // copy the driver to 0x9000
        a.ld_hl_nn("driver");
        a.ld(R16::DE, 0x9000);
        a.ld(R16::BC, 64);
        a.ldir();
    }
    a.call("silence");
    a.label("idle");
    a.jr("idle");
}

}  // namespace demo
