// Construction, destruction and the non-throwing factory of CSoundBoard.
#include "machine/SoundBoard.h"

#include <cstring>
#include <new>

#include "app/DebugLog.h"
#include "chips/Opll.h"
#include "chips/Psg.h"
#include "chips/Sn76496.h"
#include "cpu/Z80.h"
#include "machine/RomIdentify.h"

namespace {

const char kUnknownError[] = "Unknown error.\n";

// The clock the chips are created with before the first reset sets the
// board's own output rate.
constexpr uint32_t kCreateRate = 44100;

} // namespace

CSoundBoard::CSoundBoard(const char* path, const IFixupTable& fixups) : m_fixups(fixups)
{
    try {
        Build(path);
    } catch (const CSoundBoardError& error) {
        Log("\n%s\n", error.what());
        FreeParts();
        throw;
    } catch (...) {
        Log("\n%s\n", kUnknownError);
        FreeParts();
        throw CSoundBoardError(kUnknownError);
    }
}

CSoundBoard::~CSoundBoard()
{
    Log("Free...");
    FreeParts();
    Log("OK.\n");
}

std::unique_ptr<CSoundBoard> CSoundBoard::Load(const char* path, std::string& message,
                                               const IFixupTable& fixups)
{
    try {
        auto board = std::make_unique<CSoundBoard>(path, fixups);
        message.clear();
        return board;
    } catch (const CSoundBoardError& error) {
        message = error.what();
    } catch (const std::bad_alloc&) {
        message = kUnknownError;
    }
    return nullptr;
}

void CSoundBoard::Build(const char* path)
{
    Log("Kelvara sound board\n");

    Log("Allocating CPU...\n");
    m_cpu = new (std::nothrow) CZ80();
    if (!m_cpu) throw CSoundBoardError("Allocate CPU failed.");
    g_CurrentBoard = this;
    Log("Ok.\n");

    Log("Loading ROM image...\n");
    std::string error;
    const MachineDef* def = nullptr;
    if (path == nullptr || !IdentifyRomFile(path, m_rom, m_entry, def, error)) {
        throw CSoundBoardError(error.empty() ? kUnknownError : error);
    }
    if (def == nullptr) throw CSoundBoardError("Unknown Machine type.\n");
    m_def = *def;

    // The ROM window ends at 0x1FFF on every board but type 69, whose
    // program reaches up to 0x2FFF.
    m_romTop = m_def.machineType == 69 ? 0x2FFF : 0x1FFF;
    PublishFastWindows();

    m_fixup = m_fixups.Find(m_def.machineType, m_entry.crc);
    if (m_fixup && m_fixup->stubSize != 0 && m_fixup->stubImage == nullptr) {
        m_missingStub = true;
        Log("ROM %08X (type %u) needs a driver stub this build does not have.\n",
            static_cast<unsigned>(m_entry.crc), static_cast<unsigned>(m_def.machineType));
    }

    switch (m_def.chipKind) {
    case ChipSN76496:
        Log("Allocating SN76496...\n");
        m_sn = new (std::nothrow) SN76496();
        if (!m_sn) throw CSoundBoardError("Allocate SN76496 failed.");
        m_sn->SetClock(static_cast<int>(m_def.chipClock), kCreateRate);
        break;
    case ChipPSG:
        Log("Allocating PSG...\n");
        m_psg = PSG::Create(m_def.chipClock, kCreateRate);
        if (!m_psg) throw CSoundBoardError("Allocate PSG failed.");
        break;
    default:
        Log("Allocating OPLL...\n");
        m_opll = OPLL::Create(m_def.chipClock, kCreateRate);
        if (!m_opll) throw CSoundBoardError("Allocate OPLL failed.");
        break;
    }
    Log("Ok.\n");
    Log("Starting emulation!\n");
    Reset();
}

// The CPU reads the ROM window and writes the RAM window straight from
// memory; everything with side effects stays with the virtual operations.
void CSoundBoard::PublishFastWindows()
{
    fastRead = m_rom;
    fastReadSize = m_romTop + 1;
    const uint32_t ramSize = m_def.ramEnd >= m_def.ramStart ? m_def.ramEnd - m_def.ramStart + 1 : 0;
    // RAM is addressed by address AND 0x1FFF (type 69: address - ramStart);
    // the window is the same mapping only when the two agree.
    const bool linear = m_def.machineType == 69 || ((m_def.ramStart & 0x1FFF) == 0 && ramSize <= 0x2000);
    if (linear && ramSize != 0 && ramSize <= kRamSize && m_def.ramEnd <= 0xFFFF) {
        fastWrite = m_ram;
        fastWriteStart = m_def.ramStart;
        fastWriteSize = ramSize;
        // RAM reads are as plain as its writes (ReadMem decodes the ROM
        // first, and so does the CPU's read window).
        fastWriteReadable = true;
    }
}

void CSoundBoard::FreeParts()
{
    delete m_cpu;
    m_cpu = nullptr;
    if (m_opll) OPLL::Destroy(m_opll);
    m_opll = nullptr;
    if (m_psg) PSG::Destroy(m_psg);
    m_psg = nullptr;
    delete m_sn;
    m_sn = nullptr;
    if (g_CurrentBoard == this) g_CurrentBoard = nullptr;
}

void CSoundBoard::SetSampleRate(uint32_t rate)
{
    m_sampleRate = rate != 0 ? rate : kDefaultSampleRate;
}
