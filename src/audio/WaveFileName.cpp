#include "audio/WaveFileName.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

std::string MakeWaveFileName(const std::string& wavePath, const std::string& programFolder,
                             const std::string& romPath) {
    std::string folderText = wavePath;
    std::replace(folderText.begin(), folderText.end(), '\\', '/');
    fs::path folder(folderText);
    if (folder.is_relative()) {
        std::string base = programFolder;
        std::replace(base.begin(), base.end(), '\\', '/');
        folder = fs::path(base) / folder;
        std::error_code ec;
        const fs::path canonical = fs::weakly_canonical(folder, ec);
        folder = ec ? folder.lexically_normal() : canonical;
    }
    std::string dir = folder.string();
    if (dir.empty() || dir.back() != '/') dir += '/';

    // Base name of the ROM image without its folder and its last extension.
    std::string name = romPath;
    std::replace(name.begin(), name.end(), '\\', '/');
    const std::size_t slash = name.rfind('/');
    if (slash != std::string::npos) name.erase(0, slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.erase(dot);

    if (name.find('.') == std::string::npos) name += ".wav";
    return dir + name;
}
