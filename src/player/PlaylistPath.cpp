// The playlist file of a ROM, by its database title.
#include "player/PlaylistPath.h"

#include <filesystem>
#include <system_error>

#include "app/TextEncoding.h"

namespace fs = std::filesystem;

std::string PlaylistPathForTitle(const std::string& programDir, const std::string& utf8Title,
                                 const std::string& cp932Title)
{
    const fs::path lists = fs::path(programDir) / "LISTS";
    const fs::path utf8Path = lists / (utf8Title + ".lst");
    std::error_code ec;
    if (fs::is_regular_file(utf8Path, ec))
        return utf8Path.string();
    const fs::path cp932Path = lists / (cp932Title + ".lst");
    if (cp932Title != utf8Title && fs::is_regular_file(cp932Path, ec))
        return cp932Path.string();
    return utf8Path.string();
}

std::string PlaylistPathFor(const std::string& programDir, const RomEntry& entry)
{
    const std::string utf8Title = entry.title ? entry.title : "";
    return PlaylistPathForTitle(programDir, utf8Title, entry.name ? entry.name : Utf8ToCp932(utf8Title));
}
