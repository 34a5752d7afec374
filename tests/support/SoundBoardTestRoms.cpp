#include "support/SoundBoardTestRoms.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <unistd.h>

#include "cpu/Z80.h"
#include "support/RomForge.h"
#include "kelvara-asm/Z80Asm.h"

namespace boardtest {

using R8 = Z80Asm::R8;
using R16 = Z80Asm::R16;
using Cc = Z80Asm::Cc;

TempRom::TempRom(std::vector<uint8_t> image, uint32_t crc)
{
    static std::atomic<int> counter{0};
    if (!ForgeRomCrc(image, crc, 0x1FFC)) throw std::runtime_error("cannot forge test ROM");
    m_path = (std::filesystem::temp_directory_path() /
              ("kelvara-board-" + std::to_string(getpid()) + "-" + std::to_string(counter++) + ".bin"))
                 .string();
    if (!WriteImageFile(m_path, image)) throw std::runtime_error("cannot write " + m_path);
}

TempRom::~TempRom() { std::remove(m_path.c_str()); }

const ResetFixup* TestFixups::Find(uint32_t machineType, uint32_t crc) const
{
    for (const ResetFixup& record : m_records)
        if (record.machineType == machineType && record.crc == crc) return &record;
    return nullptr;
}

ResetFixup& TestFixups::Add(uint32_t machineType, uint32_t crc)
{
    ResetFixup& record = m_records.emplace_back();
    record.machineType = machineType;
    record.crc = crc;
    return record;
}

void TestFixups::SetStub(ResetFixup& record, std::vector<uint8_t> image, uint16_t ramOffset, bool beforeBoot)
{
    const std::vector<uint8_t>& bytes = m_bytes.emplace_back(std::move(image));
    record.stubSize = static_cast<uint32_t>(bytes.size());
    record.stubImage = bytes.data();
    record.stubRamOffset = ramOffset;
    record.stubBeforeBoot = beforeBoot;
}

void TestFixups::AddPatch(ResetFixup& record, bool afterBoot, uint16_t address, std::vector<uint8_t> bytes)
{
    const std::vector<uint8_t>& stored = m_bytes.emplace_back(std::move(bytes));
    const RomPatch*& patches = afterBoot ? record.patchesAfter : record.patchesBefore;
    uint32_t& count = afterBoot ? record.patchesAfterCount : record.patchesBeforeCount;
    std::vector<RomPatch>& list = m_patchLists.emplace_back(patches, patches + count);
    list.push_back({address, static_cast<uint16_t>(stored.size()), stored.data()});
    patches = list.data();
    count = static_cast<uint32_t>(list.size());
}

uint16_t StubRamOffset(uint32_t machineType)
{
    if (machineType == 53) return 0x0000;
    if (machineType == 67) return 0x0800;
    return 0x1000;
}

namespace {

// Delivery of a sound code, as the board does it for each machine type.
enum class Delivery { LatchOnly, LatchNmi, Type29, CommandEntry };

Delivery DeliveryOf(const MachineDef& def)
{
    switch (def.machineType) {
    case 20: case 27: case 28: case 30: case 32: case 36: case 57: return Delivery::LatchNmi;
    case 29: return Delivery::Type29;
    default: break;
    }
    return def.commandEntry != 0 ? Delivery::CommandEntry : Delivery::LatchOnly;
}

// A sound program for one machine type: the ROM image (not yet forged) and,
// for types entered through a RAM driver stub, the stub the test supplies.
struct ToneProgram {
    std::vector<uint8_t> rom;
    std::vector<uint8_t> stub;  // empty: none
    uint16_t stubRamOffset = 0;
    bool stubBeforeBoot = false;
};

// Where the chip sits for this type: select and data address (or port);
// the SN76496 uses `select` only.
struct ChipWiring {
    bool isPort;
    uint16_t select;
    uint16_t data;
};

ChipWiring WiringOf(const MachineDef& def)
{
    switch (def.machineType) {
    case 14: return {true, 0x03, 0x02};  // data on the even port, select on the odd one
    case 52: return {true, 0x05, 0x08};  // bit 3 of the port: select (0) or data (1)
    case 66: return {true, 0x2F, 0x2E};  // the two top ports, swapped
    default: break;
    }
    uint16_t select = static_cast<uint16_t>((def.chipLow + 1) & ~1u);
    if (def.chipKind == ChipSN76496) select = static_cast<uint16_t>(def.chipLow);
    return {def.chipIsPort != 0, select, static_cast<uint16_t>(select + 1)};
}

void ReadLatch(Z80Asm& a, const MachineDef& def)
{
    if (def.latchIsPort) a.in_a_n(static_cast<uint8_t>(def.latchLow));
    else a.ld_a_mem(static_cast<uint16_t>(def.latchLow));
}

void WriteA(Z80Asm& a, bool isPort, uint16_t where)
{
    if (isPort) a.out_n_a(static_cast<uint8_t>(where));
    else a.ld_mem_a(where);
}

// wreg: chip register B = C, through the type's wiring; changes only A.
// wbyte (SN76496): A to the chip; changes nothing else.
void EmitChipWriter(Z80Asm& a, const MachineDef& def)
{
    a.label("wreg");
    if (def.chipKind == ChipSN76496) {
        ChipWiring w = WiringOf(def);
        WriteA(a, w.isPort, w.select);
        a.ret();
        return;
    }
    if (def.machineType == 9) {
        // Data port 0; control port 1 strobes on a rising bit 1, bit 0 of
        // the previous control value choosing select (0) or data (1).
        a.ld(R8::A, R8::B); a.out_n_a(0);
        a.xor_(R8::A);      a.out_n_a(1);
        a.ld_a_n(0x02);     a.out_n_a(1);
        a.ld(R8::A, R8::C); a.out_n_a(0);
        a.ld_a_n(0x01);     a.out_n_a(1);
        a.ld_a_n(0x03);     a.out_n_a(1);
        a.ret();
        return;
    }
    if (def.machineType == 13) {
        // Data register 0x8004; control 0x8000: 0x30 select, 0x20 write.
        a.ld(R8::A, R8::B); a.ld_mem_a(0x8004);
        a.ld_a_n(0x30);     a.ld_mem_a(0x8000);
        a.ld(R8::A, R8::C); a.ld_mem_a(0x8004);
        a.ld_a_n(0x20);     a.ld_mem_a(0x8000);
        a.ret();
        return;
    }
    ChipWiring w = WiringOf(def);
    a.ld(R8::A, R8::B);
    WriteA(a, w.isPort, w.select);
    a.ld(R8::A, R8::C);
    WriteA(a, w.isPort, w.data);
    a.ret();
}

// play: A = code; starts the tone. Uses A, B, C, D, HL.
void EmitPlay(Z80Asm& a, const MachineDef& def, const std::string& writer)
{
    a.label("play");
    if (def.chipKind == ChipSN76496) {
        // Tone 0 period 256 + code: latch byte with the low four bits, data
        // byte with the upper six, then full volume.
        a.ld(R8::B, R8::A);
        a.and_n(0x0F); a.or_n(0x80); a.call(writer);
        a.ld(R8::A, R8::B);
        a.rrca(); a.rrca(); a.rrca(); a.rrca();
        a.and_n(0x0F); a.or_n(0x10); a.call(writer);
        a.ld_a_n(0x90); a.call(writer);
        a.ret();
        return;
    }
    a.push(R16::AF);
    a.ld_hl_nn("setup");
    a.ld(R8::D, static_cast<uint8_t>(def.chipKind == ChipPSG ? 3 : 9));
    a.label("setup_loop");
    a.ld(R8::B, R8::HLi); a.inc(R16::HL);
    a.ld(R8::C, R8::HLi); a.inc(R16::HL);
    a.call(writer);
    a.dec(R8::D);
    a.jr(Cc::NZ, "setup_loop");
    a.pop(R16::AF);
    a.ld(R8::C, R8::A);
    if (def.chipKind == ChipPSG) {
        a.ld(R8::B, uint8_t{0}); a.call(writer);   // fine period = code (coarse 1 set above)
    } else {
        a.ld(R8::B, uint8_t{0x10}); a.call(writer);  // F-number low = code
        a.ld(R8::B, uint8_t{0x20}); a.ld(R8::C, uint8_t{0x19}); a.call(writer);  // key on, block 4, F-number bit 8
    }
    a.ret();

    a.label("setup");
    if (def.chipKind == ChipPSG) {
        // Tone A only, fixed level 15, coarse period 1.
        a.db({7, 0x3E, 8, 0x0F, 1, 0x01});
    } else {
        // User instrument: modulator muted (TL 63), carrier a sustained sine
        // at multiple 1 with instant attack; channel 0 uses it at volume 0.
        a.db({0x00, 0x21, 0x01, 0x21, 0x02, 0x3F, 0x03, 0x00, 0x04, 0xF0, 0x05, 0xF0, 0x06, 0x0F,
              0x07, 0x0F, 0x30, 0x00});
    }
}

uint16_t StackTop(const MachineDef& def) { return static_cast<uint16_t>((def.ramEnd + 1) & 0xFFFF); }

// The type's tone program (see MakeToneBoard).
ToneProgram BuildToneProgram(const MachineDef& def)
{
    const Delivery delivery = DeliveryOf(def);
    const uint16_t ramVars = static_cast<uint16_t>(def.ramStart + 0x0100);
    ToneProgram out;

    // Type 56 boots with its stub already in RAM: let the stub hold the
    // chip writer, so the program cannot even initialise without it.
    const bool writerInStub = def.machineType == 56;
    const uint16_t stubBase = static_cast<uint16_t>(def.ramStart + StubRamOffset(def.machineType));

    Z80Asm a(0x0000);
    if (writerInStub) a.equ("wreg", stubBase);
    a.di();
    a.ld_sp_nn(StackTop(def));
    a.jp("init");

    a.org(0x0038);
    a.ei();
    a.reti();

    a.org(0x0066);
    switch (delivery) {
    case Delivery::LatchNmi:
        // Types 28 and 32 also raise an NMI with the idle value 0xFF.
        a.push(R16::AF);
        ReadLatch(a, def);
        a.cp_n(0xFF);
        a.jr(Cc::Z, "nmi_done");
        a.call("play");
        a.label("nmi_done");
        a.pop(R16::AF);
        a.retn();
        break;
    case Delivery::Type29:
        // High nibble first, then the low one; 0xFF is the idle value.
        a.push(R16::AF);
        a.push(R16::BC);
        ReadLatch(a, def);
        a.cp_n(0xFF);
        a.jr(Cc::Z, "nmi_done");
        a.ld(R8::B, R8::A);
        a.ld_a_mem(ramVars);  // phase
        a.or_(R8::A);
        a.jr(Cc::NZ, "nmi_low");
        a.ld(R8::A, R8::B);
        a.ld_mem_a(static_cast<uint16_t>(ramVars + 1));
        a.ld_a_n(1);
        a.ld_mem_a(ramVars);
        a.jr("nmi_done");
        a.label("nmi_low");
        a.xor_(R8::A);
        a.ld_mem_a(ramVars);
        a.ld_a_mem(static_cast<uint16_t>(ramVars + 1));
        a.rlca(); a.rlca(); a.rlca(); a.rlca();
        a.or_(R8::B);
        a.call("play");
        a.label("nmi_done");
        a.pop(R16::BC);
        a.pop(R16::AF);
        a.retn();
        break;
    default:
        a.retn();
        break;
    }

    a.org(0x0100);
    a.label("init");
    if (writerInStub) {
        // Boot-time call into the stub: silence the rhythm section.
        a.ld(R8::B, uint8_t{0x0E});
        a.ld(R8::C, uint8_t{0x00});
        a.call("wreg");
    }
    if (delivery == Delivery::LatchOnly) {
        a.label("poll");
        ReadLatch(a, def);
        a.cp_n(0xFF);
        a.jr(Cc::Z, "poll");
        a.and_n(0x7F);
        a.jr(Cc::Z, "poll");
        a.call("play");
    }
    a.label("idle");
    a.jr("idle");

    // Type 69's ROM window reaches 0x2FFF: keep its player above 0x2000.
    a.org(def.machineType == 69 ? 0x2800 : 0x0200);
    EmitPlay(a, def, "wreg");
    if (!writerInStub) EmitChipWriter(a, def);

    if (def.commandEntry != 0 && def.commandEntry < 0x2000) {
        // Types 48 and 51 take commands through a jump in ROM at 0x0FFD.
        if (a.here() > 0x0F00) throw std::logic_error("program overlaps the ROM command entry");
        a.org(0x0F00);
        a.label("rom_command");
        a.ld_sp_nn(StackTop(def));
        a.call("play");
        a.label("rom_park");
        a.jr("rom_park");
        a.org(def.commandEntry);
        a.jp("rom_command");
    }
    out.rom = a.image(def.machineType == 69 ? 0x4000 : 0x2000);

    if (writerInStub) {
        Z80Asm s(stubBase, 0x00);
        EmitChipWriter(s, def);
        out.stub = s.image(48);
        out.stubRamOffset = StubRamOffset(def.machineType);
        out.stubBeforeBoot = true;
    } else if (delivery == Delivery::CommandEntry && def.commandEntry >= def.ramStart) {
        // Command entry: take the code in A and play it; tick entry: count
        // the ticks in RAM (kTickCounter) and park. Type 24 also clears its
        // handshake byte when the tick is done.
        Z80Asm s(stubBase, 0x00);
        const bool commandFirst = def.commandEntry < def.tickEntry;  // org only moves forward
        for (bool command : {commandFirst, !commandFirst}) {
            const char* park = command ? "park_command" : "park_tick";
            s.org(static_cast<uint16_t>(command ? def.commandEntry : def.tickEntry));
            s.ld_sp_nn(StackTop(def));
            if (command) {
                s.call(a.address("play"));
            } else {
                s.ld_hl_nn(static_cast<uint16_t>(def.ramStart + kTickCounter));
                s.inc(R8::HLi);
                if (def.machineType == 24) {
                    s.xor_(R8::A);
                    s.ld_mem_a(static_cast<uint16_t>(def.ramStart + 0x0FFF));
                }
            }
            s.label(park);
            s.jr(park);
        }
        std::vector<uint8_t> bytes = s.bytes();
        bytes.resize((bytes.size() + 15) / 16 * 16, 0x00);
        out.stub = bytes;
        out.stubRamOffset = StubRamOffset(def.machineType);
    }
    return out;
}

} // namespace

void EmitTonePlayer(Z80Asm& a, const MachineDef& def)
{
    EmitPlay(a, def, "wreg");
    EmitChipWriter(a, def);
}

double ExpectedToneHz(const MachineDef& def, uint8_t code)
{
    const double period = 256.0 + code;
    if (def.chipKind == ChipPSG || def.chipKind == ChipSN76496)
        return def.chipClock / (32.0 * period);  // an edge every period, two per cycle
    return period * (def.chipClock / 72.0) / 32768.0;  // block 4
}

std::vector<uint8_t> ToneRomImage(const MachineDef& def)
{
    ToneProgram program = BuildToneProgram(def);
    if (!program.stub.empty() || !ForgeRomCrc(program.rom, FirstRomCrcForType(def.machineType), 0x1FFC)) return {};
    return program.rom;
}

std::unique_ptr<CSoundBoard> MakeToneBoard(const MachineDef& def, TestFixups& fixups,
                                           std::unique_ptr<TempRom>& file)
{
    const uint32_t crc = FirstRomCrcForType(def.machineType);
    ToneProgram program = BuildToneProgram(def);
    if (!program.stub.empty()) {
        ResetFixup& record = fixups.Add(def.machineType, crc);
        fixups.SetStub(record, program.stub, program.stubRamOffset, program.stubBeforeBoot);
    }
    file = std::make_unique<TempRom>(program.rom, crc);
    return std::make_unique<CSoundBoard>(file->Path(), fixups);
}

std::vector<int32_t> RenderLeft(CSoundBoard& board, std::size_t count)
{
    std::vector<int32_t> out(count);
    int32_t left = 0, right = 0;
    for (std::size_t i = 0; i < count; ++i) {
        board.RenderSample(left, right);
        out[i] = left;
    }
    return out;
}

std::unique_ptr<CSoundBoard> MakeBoard(uint32_t machineType, std::vector<uint8_t> rom, const IFixupTable& fixups,
                                       std::unique_ptr<TempRom>& file, uint32_t crc)
{
    if (rom.size() < 0x2000) rom.resize(0x2000, 0xFF);
    file = std::make_unique<TempRom>(std::move(rom), crc != 0 ? crc : FirstRomCrcForType(machineType));
    return std::make_unique<CSoundBoard>(file->Path(), fixups);
}

std::vector<uint8_t> IdleRom(std::size_t size)
{
    Z80Asm a(0);
    a.di();
    a.label("idle");
    a.jr("idle");
    return a.image(size);
}

} // namespace boardtest
