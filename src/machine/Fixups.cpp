#include "machine/Fixups.h"

#include <stdexcept>

// The records, generated at build time from data/fixups.txt.
extern const ResetFixup g_FixupTable[];
extern const std::size_t g_FixupCount;

namespace {

class CBuiltinFixupTable final : public IFixupTable {
public:
    // A linear walk: 230 records, looked up once per reset.
    const ResetFixup* Find(uint32_t machineType, uint32_t crc) const override {
        for (std::size_t i = 0; i < g_FixupCount; ++i) {
            const ResetFixup& f = g_FixupTable[i];
            if (f.crc == crc && f.machineType == machineType) return &f;
        }
        return nullptr;
    }
};

}  // namespace

const IFixupTable& BuiltinFixups() {
    static const CBuiltinFixupTable table;
    return table;
}

std::size_t GetFixupCount() { return g_FixupCount; }

const ResetFixup& GetFixup(std::size_t index) {
    if (index >= g_FixupCount) throw std::out_of_range("GetFixup: index past the fix-up table");
    return g_FixupTable[index];
}
