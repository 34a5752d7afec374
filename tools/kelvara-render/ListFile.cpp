#include "ListFile.h"

#include "app/TextEncoding.h"
#include "player/PlaylistFile.h"
#include "player/PlaylistPath.h"

bool ReadListFile(const std::string& path, ListFile& list) {
    list = ListFile{};
    PlaylistFileData data;
    if (!ReadPlaylistFile(path, data)) return false;
    list.rows.reserve(data.entries.size());
    for (const PlaylistEntry& e : data.entries) list.rows.push_back({e.code, e.name, e.playTime});
    list.volumeGain = data.volumeGain;
    return !list.rows.empty();
}

std::string ListPathForTitle(const std::string& programDir, const std::string& titleUtf8) {
    return PlaylistPathForTitle(programDir, titleUtf8, Utf8ToCp932(titleUtf8));
}
