// The board's fast paths (batched CPU up to the next timer event, waits in
// place fast-forwarded, blocks of any size) against its reference loop (one
// Execute(1) and one RenderSample at a time): tone programs, busy chip
// writers, waiting programs, parked stubs and random images give the same
// samples and state on every path; random images also play every code.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "support/SoundBoardTestRoms.h"
#include "cpu/Z80.h"
#include "kelvara-asm/Z80Asm.h"
#include "machine/RomDatabase.h"
#include "support/RomForge.h"
#include "support/SanitizedBuild.h"

using namespace boardtest;
using R8 = Z80Asm::R8;
using R16 = Z80Asm::R16;
using Cc = Z80Asm::Cc;

namespace {

// A board's running state for equivalence tests: RAM, CPU registers and
// budgets, latch and the three accumulators.
struct BoardState {
    std::vector<uint8_t> ram;
    std::vector<uint16_t> words;  // register pairs, PC, SP, alternates
    std::vector<int32_t> cpu;     // flags, I, R, budgets, pending request
    uint8_t latch = 0;
    double sampleAcc = 0, tickAcc = 0, irqAcc = 0;
};

// The samples a test rendered (left, right interleaved) and the state the
// board ended in.
struct BoardRun {
    std::vector<int32_t> samples;
    BoardState state;
};

BoardState CaptureState(CSoundBoard& board)
{
    CZ80& c = board.Cpu();
    BoardState s;
    s.ram.assign(board.Ram(), board.Ram() + CSoundBoard::kRamSize);
    s.words = {c.AF.W, c.BC.W, c.DE.W, c.HL.W, c.IX.W, c.IY.W, c.PC, c.SP, c.AF2.W, c.BC2.W, c.DE2.W, c.HL2.W};
    s.cpu = {c.StatusFlags, c.I, c.R, c.CyclesLeft, c.SavedBudget, c.PendingIrq};
    s.latch = board.Latch();
    s.sampleAcc = board.SampleAccumulator();
    s.tickAcc = board.TickAccumulator();
    s.irqAcc = board.IrqAccumulator();
    return s;
}

// Fails at the first differing sample and for every differing state field.
void ExpectSameRun(const BoardRun& expected, const BoardRun& actual)
{
    ASSERT_EQ(expected.samples.size(), actual.samples.size());
    for (std::size_t i = 0; i < expected.samples.size(); ++i)
        ASSERT_EQ(expected.samples[i], actual.samples[i]) << "frame " << i / 2 << (i % 2 ? " right" : " left");
    const BoardState &e = expected.state, &a = actual.state;
    EXPECT_TRUE(e.ram == a.ram);
    EXPECT_EQ(e.words, a.words);
    EXPECT_EQ(e.cpu, a.cpu);
    EXPECT_EQ(e.latch, a.latch);
    EXPECT_EQ(e.sampleAcc, a.sampleAcc);
    EXPECT_EQ(e.tickAcc, a.tickAcc);
    EXPECT_EQ(e.irqAcc, a.irqAcc);
}

// Every boot runs millions of cycles on the reference path: the sanitizer
// build checks every eighth type.
constexpr std::size_t kTypeStride = kSanitizedBuild ? 8 : 1;
constexpr int kFuzzCodes = kSanitizedBuild ? 2 : 8;
constexpr uint32_t kFuzzFrames = kSanitizedBuild ? 200 : 1500;
constexpr int kCodeStep = kSanitizedBuild ? 17 : 1;
constexpr int kSamplesPerCode = kSanitizedBuild ? 64 : 128;

// Block sizes cycled through: a single frame, a few, the player's 5 ms
// block and a long one.
constexpr uint32_t kBlockSizes[] = {1, 7, 220, 1000};

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

// Plays `codes` on a fresh board from `make` along the reference path and
// along the product's (batched CPU, idle skip, blocks), `frames` a code;
// with resetEach every code follows a reset (the boot run takes the chosen
// path too), otherwise one reset halfway. Both must give the same; the
// reference run is returned. (Stepping with idle skip is not a product path.)
template <class MakeBoard>
BoardRun ExpectPathsAgree(MakeBoard make, const std::vector<uint8_t>& codes, uint32_t frames, bool resetEach)
{
    const auto run = [&](bool product) {
        BoardRun r;
        std::unique_ptr<CSoundBoard> board = make();
        if (!board) {
            ADD_FAILURE() << "no board";
            return r;
        }
        board->SetBatchedCpu(product);
        board->SetIdleSkip(product);
        board->Reset();
        for (std::size_t i = 0; i < codes.size(); ++i) {
            if (i > 0 && (resetEach || i == codes.size() / 2)) board->Reset();
            board->SendCommand(codes[i]);
            Render(*board, frames, product, r);
        }
        r.state = CaptureState(*board);
        return r;
    };
    const BoardRun reference = run(false);
    ExpectSameRun(reference, run(true));
    return reference;
}

// Handler body: count in RAM and replay the tone at a pitch set by the
// count, so the output shows the very sample each interrupt lands in.
void EmitCountingPlay(Z80Asm& a, uint16_t counter)
{
    for (R16 rr : {R16::AF, R16::BC, R16::DE, R16::HL}) a.push(rr);
    a.ld_a_mem(counter);
    a.inc(R8::A);
    a.ld_mem_a(counter);
    a.and_n(0x3F);
    a.call("play");
    for (R16 rr : {R16::HL, R16::DE, R16::BC, R16::AF}) a.pop(rr);
}

// A program that never stops writing its chip: it replays the tone
// program's player with a rising code and a delay that changes with it, so
// the writes fall at every point of a frame. Driver entries in RAM and a
// command entry in ROM lead back into the loop; interrupts return at once.
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

// The main program waits in HALT or JP $ with interrupts on; the maskable
// interrupt and the NMI each replay the tone.
std::vector<uint8_t> WaitingRom(const MachineDef& def, bool halt)
{
    const uint16_t ram = static_cast<uint16_t>(def.ramStart);
    Z80Asm a(0);
    a.di();
    a.ld_sp_nn(static_cast<uint16_t>((def.ramEnd + 1) & 0xFFFF));
    a.im(1);
    a.ei();
    a.label("wait");
    if (halt) {
        a.halt();
        a.jr("wait");
    } else {
        a.jp("wait");
    }
    a.org(0x0038);
    EmitCountingPlay(a, ram + 0x100);
    a.ei();
    a.reti();
    a.org(0x0066);
    EmitCountingPlay(a, ram + 0x101);
    a.retn();
    a.org(0x0200);
    EmitTonePlayer(a, def);
    return a.image(0x2000);
}

} // namespace

TEST(SoundBoardFastPath, ToneProgramsAndBusyWritersOfEveryTypeMatchTheReference)
{
    const std::vector<uint32_t> types = MachineTypesWithRoms();
    for (std::size_t t = 0; t < types.size(); t += kTypeStride) {
        const uint32_t type = types[t];
        const MachineDef& def = *FindMachineDef(type);
        SCOPED_TRACE("type " + std::to_string(type));
        TestFixups fixups;
        std::unique_ptr<TempRom> file;
        ExpectPathsAgree([&] { return MakeToneBoard(def, fixups, file); }, {0x25, 0x61}, 2500, true);
        TestFixups none;
        ExpectPathsAgree([&] { return MakeBoard(type, BusyWriterRom(def), none, file); }, {0x10, 0x42}, 3000, true);
        if (testing::Test::HasFailure()) return;
    }
}

TEST(SoundBoardFastPath, WaitingProgramsAndParkedStubsMatchTheReference)
{
    for (uint32_t type : {0u, 4u, 8u, 20u, 28u, 32u}) {
        for (bool halt : {true, false}) {
            SCOPED_TRACE(std::to_string(type) + (halt ? " HALT" : " JP $"));
            TestFixups none;
            std::unique_ptr<TempRom> file;
            const std::vector<uint8_t> rom = WaitingRom(*FindMachineDef(type), halt);
            const BoardRun r = ExpectPathsAgree([&] { return MakeBoard(type, rom, none, file); }, {0x21, 0x42},
                                                3000, true);
            EXPECT_NE(r.state.ram[0x100] | r.state.ram[0x101], 0) << "never interrupted while waiting";
        }
    }
    // The tone program's stub parks in JR $ in RAM after each command and tick.
    for (uint32_t type : {12u, 22u, 24u, 34u, 53u, 69u}) {
        SCOPED_TRACE(type);
        TestFixups fixups;
        std::unique_ptr<TempRom> file;
        const BoardRun r = ExpectPathsAgree([&] { return MakeToneBoard(*FindMachineDef(type), fixups, file); },
                                            {0x21, 0x42}, 3000, true);
        EXPECT_NE(r.state.ram[kTickCounter], 0) << "the tick never ran while parked";
    }
}

TEST(SoundBoardFastPath, RandomImagesOfEveryTypeMatchTheReferenceAndPlayEveryCode)
{
    // Random programs reach the odd corners (long steps, timers overdue,
    // unmapped memory), with the built-in fix-ups of a random row.
    std::mt19937 rng(1206);
    const std::vector<uint32_t> types = MachineTypesWithRoms();
    for (std::size_t t = 0; t < types.size(); t += kTypeStride) {
        const uint32_t type = types[t];
        SCOPED_TRACE("type " + std::to_string(type));
        std::vector<uint32_t> crcs = RomCrcsOfType(type);
        ASSERT_FALSE(crcs.empty());
        std::vector<uint8_t> image(8192 + rng() % 8193);
        for (uint8_t& b : image) b = static_cast<uint8_t>(rng());
        TempRom file(image, crcs[rng() % crcs.size()]);
        std::vector<uint8_t> codes(kFuzzCodes);
        for (uint8_t& code : codes) code = static_cast<uint8_t>(rng());
        std::string message;
        ExpectPathsAgree([&] { return CSoundBoard::Load(file.Path(), message); }, codes, kFuzzFrames, false);
        if (testing::Test::HasFailure()) return;

        // Every code on the product path, 128 samples (2.9 ms) each, without
        // a crash or a hang; the sample accumulator keeps the board on the clock.
        std::unique_ptr<CSoundBoard> board = CSoundBoard::Load(file.Path(), message);
        ASSERT_NE(board, nullptr) << message;
        ASSERT_EQ(board->MachineType(), type);
        int32_t left = 0, right = 0;
        for (int code = 0; code < 256; code += kCodeStep) {
            if (code % 128 == 0 && code != 0) board->Reset();
            board->SendCommand(static_cast<uint8_t>(code));
            for (int i = 0; i < kSamplesPerCode; ++i) board->RenderSample(left, right);
            ASSERT_TRUE(board->SampleAccumulator() < 1.0 && board->SampleAccumulator() > -64.0) << "code " << code;
        }
    }
}

TEST(SoundBoardFastPath, RunCyclesCountsSkippedStepsExactly)
{
    Z80Asm a(0);
    a.di();
    a.label("here");
    a.jp("here");
    TestBoard board(0, a.image(0x2000));
    EXPECT_EQ(board->RunCycles(100), 12 * 9);  // JP $ counts 9 a step
    EXPECT_EQ(board->RunCycles(9), 9);
    EXPECT_EQ(board->RunCycles(27), 27);
}
