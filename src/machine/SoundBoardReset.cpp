// Reset: power-on state, per-ROM fix-ups and the boot run, which leave the
// board booted and idle, ready for one sound command.
#include <cstring>

#include "chips/Opll.h"
#include "chips/Psg.h"
#include "chips/Sn76496.h"
#include "cpu/Z80.h"
#include "machine/SoundBoard.h"

namespace {


constexpr int kPanBoth = 3;
constexpr int kOutputSlots = 14;

} // namespace

void CSoundBoard::Reset()
{
    g_CurrentBoard = this;

    m_latch = 0;
    m_sampleAcc = m_tickAcc = m_irqAcc = 0.0;
    m_cyclesPerSample = static_cast<double>(m_def.cpuClock) / static_cast<double>(m_sampleRate);
    m_cpu->Reset();
    std::memset(m_ram, 0, sizeof m_ram);

    if (m_opll) {
        OPLL::SetRate(m_opll, m_sampleRate);
        OPLL::Reset(m_opll);
        if (m_def.chipKind == ChipYMF281B) OPLL::SelectToneSet(m_opll, ToneSetYMF281B);
        for (int slot = 0; slot < kOutputSlots; ++slot) OPLL::SetPan(m_opll, slot, kPanBoth);
    } else if (m_psg) {
        PSG::SetRate(m_psg, m_sampleRate);
        PSG::Reset(m_psg);
    } else if (m_sn) {
        m_sn->SetClock(static_cast<int>(m_def.chipClock), static_cast<int>(m_sampleRate));
    }

    ApplyFixupsBeforeBoot();

    // These two boards' programs wait for the latch's idle value.
    if (m_def.machineType == 28 || m_def.machineType == 31) m_latch = 0xFF;

    m_bootDone = 0;
    RunTimed(static_cast<int32_t>(m_def.bootCycles));
    m_bootDone = 1;

    ApplyFixupsAfterBoot();

    // Type 53's program leaves its channels sounding; mute all nine melody
    // channels (instrument 12, volume 0) once its stub is in place.
    if (m_def.machineType == 53 && m_opll) {
        for (uint8_t channel = 0; channel < 9; ++channel) {
            uint8_t reg = static_cast<uint8_t>(0x30 + channel);
            if (m_observer) {
                m_observer->OnChipWrite(0, reg);
                m_observer->OnChipWrite(1, 0xC0);
            }
            OPLL::WriteReg(m_opll, reg, 0xC0);
        }
    }
}

void CSoundBoard::ApplyFixupsBeforeBoot()
{
    if (!m_fixup) return;
    ApplyPatches(m_fixup->patchesBefore, m_fixup->patchesBeforeCount);
    if (m_fixup->stubBeforeBoot) CopyStub();
}

void CSoundBoard::ApplyFixupsAfterBoot()
{
    if (!m_fixup) return;
    ApplyPatches(m_fixup->patchesAfter, m_fixup->patchesAfterCount);
    // The bank copy is not undone by a later reset: from then on both 4 KB
    // halves hold the upper half and every boot runs the copied bytes.
    if (m_fixup->bankCopy) std::memmove(m_rom, m_rom + 0x1000, 0x1000);
    if (!m_fixup->stubBeforeBoot) CopyStub();
}

// Patches never reach past the ROM area, whatever a record says.
void CSoundBoard::ApplyPatches(const RomPatch* patches, uint32_t count)
{
    if (!patches) return;
    for (uint32_t i = 0; i < count; ++i) {
        const RomPatch& patch = patches[i];
        if (!patch.bytes || patch.address >= kRomSize) continue;
        uint32_t length = patch.length;
        if (length > kRomSize - patch.address) length = kRomSize - patch.address;
        std::memcpy(m_rom + patch.address, patch.bytes, length);
    }
}

// A stub without bytes (one this build does not have) copies nothing; the
// load already logged that.
void CSoundBoard::CopyStub()
{
    if (m_fixup->stubSize == 0 || !m_fixup->stubImage || m_fixup->stubRamOffset >= kRamSize) return;
    uint32_t size = m_fixup->stubSize;
    if (size > kRamSize - m_fixup->stubRamOffset) size = kRamSize - m_fixup->stubRamOffset;
    std::memcpy(m_ram + m_fixup->stubRamOffset, m_fixup->stubImage, size);
}
