// CSoundBoard: one emulated pachislot sound board — a Z80 running the sound
// ROM, board RAM, the command latch the main board writes, and exactly one
// sound chip (OPLL, PSG or SN76496).
//
// Life of a board:
//   1. Construct it from a ROM image path (or use CSoundBoard::Load, which
//      returns the failure message instead of throwing).
//   2. SetSampleRate(rate) — takes effect at the next Reset().
//   3. To play code N: Reset(), then SendCommand(N). To silence: Reset(),
//      then SendCommand(0).
//   4. RenderSample(left, right) once per output frame, or RenderSamples for
//      a run of frames: the chip's raw output (OPLL and PSG doubled), no
//      volume or clipping.
//   5. Destroy it after the thread that renders has stopped.
//
// Construction failure: the constructor throws CSoundBoardError whose what()
// is exactly the user-facing message ("File not found.", "File size error.",
// "Unknown ROM image.\n", "Unknown Machine type.\n", "Allocate CPU failed.",
// "Allocate OPLL failed.", "Allocate PSG failed.", "Allocate SN76496
// failed.", or "Unknown error.\n" for anything unexpected). Before throwing,
// the board logs the message framed as "\n%s\n" and frees whatever it had
// built, so nothing survives a failed construction.
//
// Threads: the board is not thread-safe. Build it anywhere; afterwards call
// it from one thread at a time. Every running entry point (Reset,
// SendCommand, RenderSample(s), RunCycles, RunTimed) makes this board the
// thread's current bus target (g_CurrentBoard), so a board built on one
// thread may be rendered on another.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

#include "cpu/Z80Bus.h"
#include "machine/Fixups.h"
#include "machine/MachineDef.h"
#include "machine/RomDatabase.h"

class CZ80;
struct OPLL;
struct PSG;
class SN76496;

// A board construction failure; what() is the exact message to show.
class CSoundBoardError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Sees every byte the board hands to its sound chip (a VGM logger, a
// register monitor). Called on the rendering thread, synchronously, once
// per chip write; keep it cheap and do not call back into the board.
class IChipWriteObserver {
public:
    virtual ~IChipWriteObserver() = default;
    // port: the chip port the byte went to. OPLL and PSG: bit 0 clear =
    // register select, bit 0 set = data for the selected register. SN76496:
    // always 0. Register writes the board makes directly (type 53 mutes its
    // channels after reset) are reported as a select followed by a data
    // write.
    virtual void OnChipWrite(uint32_t port, uint8_t value) = 0;
};

class CSoundBoard final : public CZ80Bus {
public:
    static constexpr uint32_t kRomSize = 16384;
    static constexpr uint32_t kRamSize = 16384;
    static constexpr uint32_t kDefaultSampleRate = 44100;

    // Builds the whole board from a ROM image and runs the first reset.
    // Throws CSoundBoardError (see above). Fix-ups come from `fixups`,
    // which must outlive the board.
    explicit CSoundBoard(const char* path, const IFixupTable& fixups = BuiltinFixups());
    ~CSoundBoard() override;

    CSoundBoard(const CSoundBoard&) = delete;
    CSoundBoard& operator=(const CSoundBoard&) = delete;

    // Non-throwing construction: the board, or nullptr with `message` set to
    // the failure text.
    static std::unique_ptr<CSoundBoard> Load(const char* path, std::string& message,
                                             const IFixupTable& fixups = BuiltinFixups());

    // Stores the output rate (0 counts as 44100); used from the next Reset().
    void SetSampleRate(uint32_t rate);
    // Power-on state, fix-ups and boot run; leaves the board booted and idle.
    void Reset();
    // Delivers one sound command code by this machine type's method.
    void SendCommand(uint8_t code);
    // Advances one output sample period and stores the chip's sample pair.
    void RenderSample(int32_t& left, int32_t& right);
    // Advances `frames` output sample periods and stores the sample pairs
    // in out (left, right interleaved): the same values, and the same board
    // state afterwards, as `frames` calls of RenderSample. The chip is
    // rendered in runs between the writes that change its sound.
    void RenderSamples(int32_t* out, uint32_t frames);
    // Runs the CPU without timers until `budget` counted cycles are used;
    // returns the counted cycles executed (each step counts at least 1).
    int32_t RunCycles(int32_t budget);
    // Runs the CPU with the interrupt and tick timers; returns the counted
    // cycles executed (each step counts at least 1).
    int32_t RunTimed(int32_t budget);

    // The CPU's bus (CZ80Bus).
    uint8_t ReadMem(uint16_t address) override;
    void WriteMem(uint16_t address, uint8_t value) override;
    uint8_t ReadPort(uint8_t port) override;
    void WritePort(uint8_t port, uint8_t value) override;

    // A CPU waiting in place (HALT, JR $, JP $) is fast-forwarded to the next
    // timer event instead of being stepped; the result is the same. On by
    // default; tests switch it off to compare. This switch governs the
    // step-by-step loop; the batched run always fast-forwards waits whose
    // bytes lie in the CPU's fast windows.
    void SetIdleSkip(bool on) { m_skipIdle = on; }

    // The CPU runs in batches (CZ80::ExecuteCounted) that end exactly where
    // the step-by-step loop would raise a timer event or stop; the result is
    // the same. On by default; off, the board steps the CPU one Execute(1)
    // at a time (the reference the batched path is checked against).
    void SetBatchedCpu(bool on) { m_batched = on; }

    // Optional observer of chip writes (nullptr = none). Not owned.
    void SetChipWriteObserver(IChipWriteObserver* observer) { m_observer = observer; }

    // What was loaded.
    const RomEntry& Entry() const { return m_entry; }
    const MachineDef& Def() const { return m_def; }
    uint32_t Crc() const { return m_entry.crc; }
    // The machine's title in UTF-8 (the database keeps CP932 in Entry().name).
    const char* Title() const { return m_entry.title ? m_entry.title : ""; }
    uint32_t MachineType() const { return m_def.machineType; }
    uint32_t ChipKind() const { return m_def.chipKind; }
    uint32_t ChipClock() const { return m_def.chipClock; }
    // True when the ROM's fix-up record names a driver stub whose bytes this
    // build does not have (its commands then reach empty RAM).
    bool NeedsMissingStub() const { return m_missingStub; }

    // Running state, for tools and tests.
    uint32_t SampleRate() const { return m_sampleRate; }
    double CyclesPerSample() const { return m_cyclesPerSample; }
    double SampleAccumulator() const { return m_sampleAcc; }
    double TickAccumulator() const { return m_tickAcc; }
    double IrqAccumulator() const { return m_irqAcc; }
    bool BootDone() const { return m_bootDone != 0; }
    uint8_t Latch() const { return m_latch; }
    const uint8_t* Rom() const { return m_rom; }
    const uint8_t* Ram() const { return m_ram; }
    CZ80& Cpu() { return *m_cpu; }
    OPLL* Opll() { return m_opll; }
    PSG* Psg() { return m_psg; }
    SN76496* Sn() { return m_sn; }

private:
    void Build(const char* path);
    void FreeParts();
    void PublishFastWindows();
    void ApplyFixupsBeforeBoot();
    void ApplyFixupsAfterBoot();
    void ApplyPatches(const RomPatch* patches, uint32_t count);
    void CopyStub();
    void ChipWrite(uint32_t port, uint8_t value);
    void RenderChip(uint32_t end);
    void RunFrames(uint32_t frames);
    void EnterAt(uint16_t address);
    int32_t Step();
    int32_t RunCyclesStepping(int32_t budget);
    // The interrupt and tick timers while a run holds them in locals (see
    // SoundBoardRun.cpp).
    struct TimerRun {
        int64_t irqPeriod, tickPeriod;
        int64_t irqAcc, tickAcc;  // settled up to the last event
        int64_t pending;          // cycles run since
        int64_t slack;            // cycles the accumulators may take before the nearer timer expires
        void Rearm()
        {
            slack = irqPeriod != 0 ? irqPeriod - irqAcc : INT64_MAX;
            if (tickPeriod != 0 && tickPeriod - tickAcc < slack) slack = tickPeriod - tickAcc;
        }
    };
    TimerRun BeginTimers() const;
    void SettleTimers(TimerRun& t);
    void EndTimers(TimerRun& t);
    int32_t RunTimedBatched(TimerRun& t, int32_t budget);
    int32_t RunTimedStepping(TimerRun& t, int32_t budget);
    int32_t IdleStepCycles(uint16_t pc) const;
    void Tick();
    uint8_t ReadType9Status();
    void WriteType13(uint16_t address, uint8_t value);

    // Member order follows the board's data model.
    CZ80* m_cpu = nullptr;
    OPLL* m_opll = nullptr;
    PSG* m_psg = nullptr;
    SN76496* m_sn = nullptr;
    uint8_t m_latch = 0;
    uint32_t m_sampleRate = kDefaultSampleRate;
    double m_sampleAcc = 0.0;
    double m_tickAcc = 0.0;
    double m_irqAcc = 0.0;
    double m_cyclesPerSample = 0.0;
    uint8_t m_rom[kRomSize] = {};
    uint8_t m_ram[kRamSize] = {};
    uint8_t m_bootDone = 0;
    MachineDef m_def{};
    RomEntry m_entry{};

    // Decoding derived from m_def at construction.
    uint32_t m_romTop = 0x1FFF;  // last address of the ROM window

    const IFixupTable& m_fixups;
    const ResetFixup* m_fixup = nullptr;  // this ROM's record, if any
    bool m_missingStub = false;
    bool m_skipIdle = true;
    bool m_batched = true;
    IChipWriteObserver* m_observer = nullptr;

    // The block RenderSamples is filling: the chip's samples lag behind
    // the CPU and are rendered when a write is about to change the sound,
    // and at the block's end. Null outside RenderSamples.
    int32_t* m_blockOut = nullptr;
    uint32_t m_blockFrame = 0;  // frame whose CPU run is in progress
    uint32_t m_chipFrames = 0;  // frames of the block the chip has rendered
};
