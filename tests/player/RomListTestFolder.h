// A temporary program folder with a ROMS/ folder of forged images, shared
// by the ROM list and Load ROM dialog tests.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "RecordingHost.h"
#include "TempFolder.h"
#include "machine/RomDatabase.h"
#include "player/RomList.h"
#include "support/RomForge.h"

// prefix + number + extension ("rom3.bin").
inline std::string Numbered(const char* prefix, int number, const char* extension)
{
    return prefix + std::to_string(number) + extension;
}

class RomFolderFixture : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(m_program / "ROMS"); }

    std::string Program() const { return m_program.string() + "/"; }
    std::string RomPath(const std::string& name) const { return Program() + "ROMS/" + name; }
    std::string CachePath() const { return Program() + "Kelvara.csh"; }

    // An image of database row `row` (8192 bytes unless told otherwise).
    std::string WriteRom(const std::string& name, int row, std::size_t size = 8192, uint8_t fill = 0xFF)
    {
        std::string path = RomPath(name);
        EXPECT_TRUE(WriteImageFile(path, MakeForgedRom(GetRomEntry(std::size_t(row)).crc, {}, size, fill)));
        return path;
    }
    // Images r0.bin, r1.bin, ... of the first `count` plain rows; returns the rows.
    std::vector<int> WriteRoms(std::size_t count, const char* extension = ".bin")
    {
        std::vector<int> rows = PlainRows(count);
        for (std::size_t i = 0; i < rows.size(); ++i)
            WriteRom(Numbered("r", int(i), extension), rows[i]);
        return rows;
    }
    // A file that identifies as no row.
    std::string WriteJunk(const std::string& name, std::size_t size = 8192, uint8_t fill = 0x11)
    {
        std::string path = RomPath(name);
        EXPECT_TRUE(WriteImageFile(path, std::vector<uint8_t>(size, fill)));
        return path;
    }

    // Rows without the hidden bit whose machines this build can play, so
    // that the status text carries no extra note.
    static std::vector<int> PlainRows(std::size_t count)
    {
        std::vector<int> rows;
        for (std::size_t i = 0; i < GetRomEntryCount() && rows.size() < count; ++i) {
            const RomEntry& e = GetRomEntry(i);
            if (!(e.flags & kRomFlagHidden) && !RomNeedsMissingStub(e) && FindRomEntry(e.crc) == &e)
                rows.push_back(int(i));
        }
        return rows;
    }

    // A started list on the program folder, as at start-up.
    std::unique_ptr<CRomList> Start(uint32_t seed = 1)
    {
        auto list = std::make_unique<CRomList>(seed);
        list->SetProgramFolder(Program());
        list->Initialise();
        return list;
    }

    ScratchDir m_tmp;
    const fs::path m_root = m_tmp.dir;
    fs::path m_program = m_root / "program";
};
