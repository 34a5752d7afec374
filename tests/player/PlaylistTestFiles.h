// Scratch folders and file helpers for the playlist tests.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>

#include "player/PlaylistFile.h"

// Readable failure messages for rows.
inline void PrintTo(const PlaylistEntry& e, std::ostream* os)
{
    *os << "{" << e.code << ", " << e.isSE << ", \"" << e.name << "\", " << e.playTime << "}";
}

namespace playlist_test
{

namespace fs = std::filesystem;

// A fresh folder per test, removed afterwards.
struct TempFolder {
    fs::path dir;
    TempFolder()
    {
        dir = fs::temp_directory_path() / ("kelvara-playlist-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    ~TempFolder() { fs::remove_all(dir); }
    std::string operator/(const std::string& name) const { return (dir / name).string(); }
};

inline void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace playlist_test
