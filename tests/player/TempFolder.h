// The shared per-test scratch folder and file reader, and a file writer
// that creates the folders above the file.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

#include "support/TestFiles.h"

namespace fs = std::filesystem;
using testfiles::ReadText;
using testfiles::ScratchDir;

inline void WriteFile(const fs::path& path, const std::string& bytes)
{
    std::error_code ignored;
    fs::create_directories(path.parent_path(), ignored);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}
