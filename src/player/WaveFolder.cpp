// WAV folder resolution and checks.
#include "player/WaveFolder.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <unistd.h>

#include "app/Settings.h"
#include "app/TextEncoding.h"

namespace fs = std::filesystem;

std::string ResolveWaveFolder(const std::string& wavePath, const std::string& programFolder)
{
    std::string text = wavePath;
    std::replace(text.begin(), text.end(), '\\', '/');
    fs::path p(text);
    if (p.is_relative())
        p = fs::path(programFolder) / p;
    std::string out = p.lexically_normal().string();
    while (out.size() > 1 && out.back() == '/')
        out.pop_back();
    return out;
}

bool IsWaveFolderUsable(const std::string& folder)
{
    std::error_code ec;
    fs::path p(folder);
    // Walk up to the first part of the path that exists; it must be a
    // folder we may write into (a file on the way makes the path unusable).
    while (!p.empty()) {
        const auto status = fs::status(p, ec);
        if (fs::exists(status))
            return fs::is_directory(status) && ::access(p.c_str(), W_OK | X_OK) == 0;
        if (!p.has_parent_path() || p.parent_path() == p)
            return false;
        p = p.parent_path();
    }
    return false;
}

std::string WavePathSettingFrom(const std::string& text)
{
    // An empty field would otherwise become the root folder.
    if (text.empty())
        return CSettings().WavePath;
    std::string out = TruncateUtf8(text, CSettings::kMaxText);
    if (out.empty() || (out.back() != '/' && out.back() != '\\')) {
        // The separator must fit too.
        out = TruncateUtf8(out, CSettings::kMaxText - 1) + '/';
    }
    return out;
}
