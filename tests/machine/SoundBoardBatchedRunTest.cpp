// The batched CPU run (ExecuteCounted, batches ending at timer events and
// sample boundaries) against the board's step-by-step loop with nothing
// skipped: every machine type's tone program and random images of every
// type must give the same samples, registers, RAM, latch and timer phase.
#include <gtest/gtest.h>

#include <random>

#include "SoundBoardTestRoms.h"
#include "machine/RomDatabase.h"
#include "support/RomForge.h"
#include "support/SanitizedBuild.h"

using namespace boardtest;

namespace {

// Every boot runs millions of cycles, stepped one by one on the reference
// path: the sanitizer build checks every fourth type.
constexpr int kFuzzCodes = kSanitizedBuild ? 2 : 8;
constexpr int kFuzzSamples = kSanitizedBuild ? 200 : 1500;
constexpr std::size_t kFuzzTypeStep = kSanitizedBuild ? 8 : 1;
constexpr std::size_t kToneTypeStep = kSanitizedBuild ? 4 : 1;

void Render(CSoundBoard& board, int count, BoardRun& s)
{
    int32_t left = 0, right = 0;
    for (int i = 0; i < count; ++i) {
        board.RenderSample(left, right);
        s.samples.push_back(left);
        s.samples.push_back(right);
    }
}

// Sets the board to the reference loop (one Execute(1) a step, no waits
// fast-forwarded) or to the batched run.
void SelectPath(CSoundBoard& board, bool batched)
{
    board.SetBatchedCpu(batched);
    board.SetIdleSkip(batched);
}

} // namespace

TEST(SoundBoardBatchedRun, ToneProgramsOfEveryTypeMatchStepping)
{
    const std::vector<uint32_t> types = MachineTypesWithRoms();
    for (std::size_t t = 0; t < types.size(); t += kToneTypeStep) {
        const uint32_t type = types[t];
        SCOPED_TRACE("type " + std::to_string(type));
        const MachineDef* def = FindMachineDef(type);
        ASSERT_NE(def, nullptr);
        BoardRun result[2];
        for (bool batched : {false, true}) {
            TestFixups fixups;
            std::unique_ptr<TempRom> file;
            std::unique_ptr<CSoundBoard> board = MakeToneBoard(*def, fixups, file);
            SelectPath(*board, batched);
            BoardRun& s = result[batched];
            for (uint8_t code : {uint8_t{0x25}, uint8_t{0x61}}) {
                board->Reset();  // the boot run goes through the chosen path too
                board->SendCommand(code);
                Render(*board, 2500, s);
            }
            s.state = CaptureState(*board);
        }
        ExpectSameRun(result[0], result[1]);
        if (testing::Test::HasFailure()) return;
    }
}

TEST(SoundBoardBatchedRun, RandomImagesOfEveryTypeMatchStepping)
{
    std::mt19937 rng(1206);
    const std::vector<uint32_t> types = MachineTypesWithRoms();
    for (std::size_t t = 0; t < types.size(); t += kFuzzTypeStep) {
        const uint32_t type = types[t];
        SCOPED_TRACE("type " + std::to_string(type));
        std::vector<uint32_t> crcs = RomCrcsOfType(type);
        ASSERT_FALSE(crcs.empty());
        std::vector<uint8_t> image(8192 + rng() % 8193);
        for (uint8_t& b : image) b = static_cast<uint8_t>(rng());
        TempRom file(image, crcs[rng() % crcs.size()]);
        std::vector<uint8_t> codes(kFuzzCodes);
        for (uint8_t& code : codes) code = static_cast<uint8_t>(rng());

        BoardRun result[2];
        for (bool batched : {false, true}) {
            std::string message;
            std::unique_ptr<CSoundBoard> board = CSoundBoard::Load(file.Path(), message);
            ASSERT_NE(board, nullptr) << message;
            SelectPath(*board, batched);
            board->Reset();
            BoardRun& s = result[batched];
            for (std::size_t i = 0; i < codes.size(); ++i) {
                if (i == codes.size() / 2) board->Reset();
                board->SendCommand(codes[i]);
                Render(*board, kFuzzSamples, s);
            }
            s.state = CaptureState(*board);
        }
        ExpectSameRun(result[0], result[1]);
        if (testing::Test::HasFailure()) return;
    }
}
