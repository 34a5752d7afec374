#include "player/RomFolder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace {

// Seconds from 1601-01-01 to 1970-01-01.
constexpr int64_t kFileTimeEpochOffset = 11644473600LL;

// Stat data of `name` inside the open folder `dirFd`, links followed.
bool ReadFileInfo(int dirFd, const char* name, RomFileInfo& info)
{
    struct statx sx;
    if (::statx(dirFd, name, AT_STATX_SYNC_AS_STAT, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0)
        return false;
    if (!S_ISREG(sx.stx_mode))
        return false;
    info.attributes = (sx.stx_mode & S_IWUSR) ? kFileAttributeArchive : kFileAttributeReadOnly;
    const struct statx_timestamp& created = (sx.stx_mask & STATX_BTIME) ? sx.stx_btime : sx.stx_ctime;
    info.creationTime = UnixTimeToFileTime(created.tv_sec, created.tv_nsec);
    info.lastAccessTime = UnixTimeToFileTime(sx.stx_atime.tv_sec, sx.stx_atime.tv_nsec);
    info.lastWriteTime = UnixTimeToFileTime(sx.stx_mtime.tv_sec, sx.stx_mtime.tv_nsec);
    info.size = sx.stx_size;
    return true;
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

}  // namespace

uint64_t UnixTimeToFileTime(int64_t seconds, uint32_t nanoseconds)
{
    int64_t since1601 = seconds + kFileTimeEpochOffset;
    if (since1601 < 0)
        return 0;
    return uint64_t(since1601) * 10000000u + nanoseconds / 100u;
}

RomFolderListing ListRomFolder(const std::string& folder)
{
    RomFolderListing listing;
    int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) {
        if (errno != ENOENT) {
            listing.complete = false;
            listing.error = errno;
        }
        return listing;
    }
    DIR* dir = ::fdopendir(dirFd);
    if (!dir) {
        listing.complete = false;
        listing.error = errno;
        ::close(dirFd);
        return listing;
    }
    for (;;) {
        errno = 0;
        struct dirent* entry = ::readdir(dir);
        if (!entry) {
            if (errno != 0) {
                listing.complete = false;
                listing.error = errno;
            }
            break;
        }
        if (entry->d_type == DT_DIR)
            continue;  // "." and ".." included; no stat needed for plain folders
        RomFileInfo info;
        if (!ReadFileInfo(dirFd, entry->d_name, info))
            continue;
        info.name = entry->d_name;
        info.path = folder + info.name;
        listing.files.push_back(std::move(info));
    }
    ::closedir(dir);
    std::sort(listing.files.begin(), listing.files.end(),
              [](const RomFileInfo& a, const RomFileInfo& b) { return a.name < b.name; });
    return listing;
}

bool HasRomExtension(std::string_view name, std::string_view extension)
{
    if (name.size() < extension.size())
        return false;
    std::string_view tail = name.substr(name.size() - extension.size());
    for (std::size_t i = 0; i < tail.size(); ++i) {
        if (LowerAscii(tail[i]) != LowerAscii(extension[i]))
            return false;
    }
    return true;
}
