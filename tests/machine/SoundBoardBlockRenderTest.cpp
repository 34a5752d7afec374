// RenderSamples over blocks of any size against one RenderSample a frame:
// a program that keeps rewriting its chip, on every machine type's wiring,
// and random images must give the same samples and leave the board in the
// same state, on the batched run and on the step-by-step one.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "SoundBoardTestRoms.h"
#include "machine/RomDatabase.h"
#include "support/RomForge.h"
#include "kelvara-asm/Z80Asm.h"
#include "support/SanitizedBuild.h"

using namespace boardtest;
using R8 = Z80Asm::R8;
using Cc = Z80Asm::Cc;

namespace {

// Block sizes cycled through: a single frame, a few, the player's 5 ms
// block and a long one.
constexpr uint32_t kBlockSizes[] = {1, 7, 220, 1000};

// The sanitizer build checks every eighth busy writer and random image.
constexpr std::size_t kTypeStride = kSanitizedBuild ? 8 : 1;

void Render(CSoundBoard& board, uint32_t frames, bool blocks, BoardRun& r)
{
    const std::size_t start = r.samples.size();
    r.samples.resize(start + 2 * static_cast<std::size_t>(frames), INT32_MIN);
    int32_t* out = r.samples.data() + start;
    if (!blocks) {
        for (uint32_t f = 0; f < frames; ++f) board.RenderSample(out[2 * f], out[2 * f + 1]);
        return;
    }
    for (uint32_t done = 0, k = 0; done < frames; ++k) {
        const uint32_t n = std::min(kBlockSizes[k % 4], frames - done);
        board.RenderSamples(out + 2 * static_cast<std::size_t>(done), n);
        done += n;
    }
}

// Plays `codes` on a fresh board from `make`, rendering each code per frame
// or in blocks, and compares the two.
template <class MakeBoard>
void CompareRenders(MakeBoard make, bool batched, const std::vector<uint8_t>& codes, uint32_t frames)
{
    BoardRun result[2];
    for (bool blocks : {false, true}) {
        std::unique_ptr<CSoundBoard> board = make();
        ASSERT_NE(board, nullptr);
        board->SetBatchedCpu(batched);
        board->SetIdleSkip(batched);
        for (uint8_t code : codes) {
            board->Reset();
            board->SendCommand(code);
            Render(*board, frames, blocks, result[blocks]);
        }
        result[blocks].state = CaptureState(*board);
    }
    ExpectSameRun(result[0], result[1]);
}

// A program that never stops writing its chip: it replays the tone
// program's player (every setup register, then the pitch) with a rising
// code and a delay that changes with it, so the writes fall at every point
// of a frame. Driver entries in RAM and a command entry in ROM lead back
// into the loop; interrupts return at once.
std::vector<uint8_t> BusyWriterRom(const MachineDef& def)
{
    const uint16_t top = static_cast<uint16_t>((def.ramEnd + 1) & 0xFFFF);
    Z80Asm a(0);
    a.quietBoot(top, "init");
    a.label("loop");
    a.ld(R8::A, R8::E);
    a.and_n(0x7F);
    a.call("play");
    a.ld(R8::A, R8::E);
    a.and_n(0x1F);
    a.inc(R8::A);
    a.ld(R8::H, R8::A);
    a.label("delay");
    a.dec(R8::H);
    a.jr(Cc::NZ, "delay");
    a.inc(R8::E);
    a.jr("loop");
    a.label("init");
    const uint16_t loop = a.address("loop");
    for (uint32_t entry : {uint32_t{def.tickEntry}, uint32_t{def.commandEntry}}) {
        if (entry < def.ramStart || entry + 6 > def.ramEnd) continue;
        const uint8_t driver[] = {0x31, static_cast<uint8_t>(top), static_cast<uint8_t>(top >> 8),  // LD SP,top
                                  0xC3, static_cast<uint8_t>(loop), static_cast<uint8_t>(loop >> 8)};  // JP loop
        for (uint16_t i = 0; i < sizeof driver; ++i) {
            a.ld_a_n(driver[i]);
            a.ld_mem_a(static_cast<uint16_t>(entry + i));
        }
    }
    a.ld(R8::E, uint8_t{1});
    a.jp("loop");
    a.org(def.machineType == 69 ? 0x2800 : 0x0400);
    EmitTonePlayer(a, def);
    if (def.commandEntry != 0 && def.commandEntry < 0x2000) {
        a.org(static_cast<uint16_t>(def.commandEntry));
        a.jp("loop");
    }
    return a.image(def.machineType == 69 ? 0x4000 : 0x2000);
}

} // namespace

TEST(SoundBoardBlockRender, BusyWritersMatchPerFrame)
{
    // Every type on the batched run; the step-by-step run on one board of
    // each chip and of the special wirings (those the stride reaches).
    const std::vector<uint32_t> types = MachineTypesWithRoms();
    for (std::size_t t = 0; t < types.size(); t += kTypeStride) {
        const uint32_t type = types[t];
        const MachineDef& def = *FindMachineDef(type);
        const bool stepping = type == 0 || type == 4 || type == 9 || type == 13 || type == 22 || type == 39;
        for (bool batched : {true, false}) {
            if (!batched && !stepping) continue;
            SCOPED_TRACE("type " + std::to_string(type) + (batched ? " batched" : " stepping"));
            TestFixups none;
            std::unique_ptr<TempRom> file;
            CompareRenders([&] { return MakeBoard(type, BusyWriterRom(def), none, file); }, batched, {0x10, 0x42},
                           3000);
            if (testing::Test::HasFailure()) return;
        }
    }
}

TEST(SoundBoardBlockRender, RandomImagesMatchPerFrame)
{
    // Random programs reach the odd corners (long steps, timers overdue,
    // unmapped memory); their boots are long, so every third type.
    std::mt19937 rng(612);
    const std::vector<uint32_t> types = MachineTypesWithRoms();
    for (std::size_t t = rng() % 3; t < types.size(); t += 3 * kTypeStride) {
        const uint32_t type = types[t];
        SCOPED_TRACE("type " + std::to_string(type));
        std::vector<uint32_t> crcs = RomCrcsOfType(type);
        std::vector<uint8_t> image(8192 + rng() % 8193);
        for (uint8_t& b : image) b = static_cast<uint8_t>(rng());
        TempRom file(image, crcs[rng() % crcs.size()]);
        const std::vector<uint8_t> codes = {static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng())};
        std::string message;
        CompareRenders([&] { return CSoundBoard::Load(file.Path(), message); }, true, codes, 1500);
        if (testing::Test::HasFailure()) return;
    }
}
