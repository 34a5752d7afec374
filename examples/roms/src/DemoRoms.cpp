// The three demo boards: where each puts the music engine and how the
// board's driver reaches it.
#include "DemoRoms.h"

#include <algorithm>
#include <stdexcept>

#include "DemoMusic.h"
#include "kelvara-asm/RomChecksum.h"

namespace demo {
namespace {

using R8 = Z80Asm::R8;
using Cc = Z80Asm::Cc;

constexpr std::size_t kImageSize = 8192;
constexpr std::size_t kChecksumOffset = kImageSize - 4;

DemoRom Finish(std::string file, uint32_t type, uint32_t crc, std::vector<uint8_t> image) {
    if (!PatchRomCrc(image, crc, kChecksumOffset)) throw std::logic_error("cannot set the checksum of " + file);
    return {std::move(file), type, crc, std::move(image)};
}

// Type 40: the built-in stub enters RST 28h with the code in A, and calls
// 0x0B3B on every tick.
DemoRom BuildOpllType40() {
    const Wiring w{Chip::Opll, 0x60, 3579545.0};
    Z80Asm a;
    EmitBoot(a, false);
    a.org(0x0028);
    a.jp("start");
    a.org(0x0100);
    EmitChip(a, w);
    EmitEngine(a);
    EmitData(a, w);
    a.org(0x0B3B);
    a.jp("tick");
    return Finish("demo-opll-type40.bin", 40, 0x4300BFD3, a.image(kImageSize));
}

// Type 24: the built-in stub leaves codes below 0x7F at 0x8081; on every
// tick it calls 0x00B3 (here: take a new code), 0x00E2 twice (nothing) and
// 0x0038 (the engine's tick).
DemoRom BuildYmf281bType24() {
    const Wiring w{Chip::Opll, 0x0C, 3579545.0};
    Z80Asm a;
    EmitBoot(a, false);
    a.org(0x0038);
    a.jp("tick");
    a.org(0x00B3);
    a.jp("poll");
    a.org(0x00E2);
    a.ret();
    a.org(0x0100);
    a.label("poll");
    a.ld_a_mem(0x8081);
    a.or_(R8::A);
    a.ret(Cc::Z);                          // no new code
    a.ld(R8::E, R8::A);
    a.xor_(R8::A);
    a.ld_mem_a(0x8081);                    // taken
    a.ld(R8::A, R8::E);
    a.jp("start");
    EmitChip(a, w);
    EmitEngine(a);
    EmitData(a, w);
    return Finish("demo-ymf281b-type24.bin", 24, 0x015D3C88, a.image(kImageSize));
}

// Type 62: no built-in stub, so the boot code copies this driver to its
// entry points (command 0x9000, tick 0x9020).
DemoRom BuildPsgType62() {
    const Wiring w{Chip::Psg, 0x16, 4000000.0};
    Z80Asm a;
    EmitBoot(a, true);
    a.org(0x0100);
    EmitChip(a, w);
    EmitEngine(a);
    EmitData(a, w);
    a.label("driver");
    a.org(static_cast<uint16_t>(a.here() + 64));
    std::vector<uint8_t> image = a.image(kImageSize);

    Z80Asm d(0x9000, 0x00);
    d.equ("start", a.address("start"));
    d.equ("tick", a.address("tick"));
    d.ld_sp_nn(0xA000);                    // 9000: command entry, code in A
    d.call("start");
    d.label("park_cmd");
    d.jr("park_cmd");
    d.org(0x9020);
    d.ld_sp_nn(0xA000);                    // 9020: tick entry
    d.call("tick");
    d.label("park_tick");
    d.jr("park_tick");
    const std::vector<uint8_t> driver = d.image(64);
    std::copy(driver.begin(), driver.end(), image.begin() + a.address("driver"));
    return Finish("demo-psg-type62.bin", 62, 0x444E0741, std::move(image));
}

}  // namespace

std::vector<DemoRom> BuildDemoRoms()
{
    return {BuildOpllType40(), BuildYmf281bType24(), BuildPsgType62()};
}

}  // namespace demo
