#include "player/RomCache.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

void Put32(uint8_t* out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out[i] = uint8_t(v >> (8 * i));
}

uint32_t Get32(const uint8_t* in)
{
    return uint32_t(in[0]) | (uint32_t(in[1]) << 8) | (uint32_t(in[2]) << 16) | (uint32_t(in[3]) << 24);
}

// FILETIME: low 32-bit word first, then the high word.
void Put64(uint8_t* out, uint64_t v)
{
    Put32(out, uint32_t(v));
    Put32(out + 4, uint32_t(v >> 32));
}

uint64_t Get64(const uint8_t* in) { return uint64_t(Get32(in)) | (uint64_t(Get32(in + 4)) << 32); }

bool WriteAll(int fd, const uint8_t* data, std::size_t size)
{
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= std::size_t(n);
    }
    return true;
}

}  // namespace

std::string_view RomCacheRecord::Path() const
{
    const void* end = std::memchr(path.data(), 0, path.size());
    if (!end)
        return {};
    return std::string_view(path.data(), std::size_t(static_cast<const char*>(end) - path.data()));
}

bool MakeRomCacheRecord(const RomFileInfo& file, uint32_t crc, RomCacheRecord& record)
{
    if (file.path.size() >= kRomCachePathField)
        return false;
    RomCacheRecord r;
    r.crc = crc;
    r.attributes = file.attributes;
    r.creationTime = file.creationTime;
    r.lastAccessTime = file.lastAccessTime;
    r.lastWriteTime = file.lastWriteTime;
    r.sizeHigh = uint32_t(file.size >> 32);
    r.sizeLow = uint32_t(file.size);
    std::memcpy(r.path.data(), file.path.data(), file.path.size());
    record = r;
    return true;
}

bool RomCacheRecordMatches(const RomCacheRecord& record, const RomFileInfo& file)
{
    return record.attributes == file.attributes && record.creationTime == file.creationTime &&
           record.lastWriteTime == file.lastWriteTime && record.sizeHigh == uint32_t(file.size >> 32) &&
           record.sizeLow == uint32_t(file.size) && !file.path.empty() && record.Path() == file.path;
}

void EncodeRomCacheRecord(const RomCacheRecord& record, uint8_t* out)
{
    Put32(out + 0, record.crc);
    Put32(out + 4, record.attributes);
    Put64(out + 8, record.creationTime);
    Put64(out + 16, record.lastAccessTime);
    Put64(out + 24, record.lastWriteTime);
    Put32(out + 32, record.sizeHigh);
    Put32(out + 36, record.sizeLow);
    std::memcpy(out + 40, record.path.data(), kRomCachePathField);
}

RomCacheRecord DecodeRomCacheRecord(const uint8_t* in)
{
    RomCacheRecord r;
    r.crc = Get32(in + 0);
    r.attributes = Get32(in + 4);
    r.creationTime = Get64(in + 8);
    r.lastAccessTime = Get64(in + 16);
    r.lastWriteTime = Get64(in + 24);
    r.sizeHigh = Get32(in + 32);
    r.sizeLow = Get32(in + 36);
    std::memcpy(r.path.data(), in + 40, kRomCachePathField);
    return r;
}

bool LoadRomCacheFile(const std::string& path, std::vector<RomCacheRecord>& records)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    // Read in whole-record chunks; the records join `records` only once the
    // file has been read to its end, so a failed read takes none.
    std::size_t count = std::size_t(st.st_size) / kRomCacheRecordSize;
    std::vector<RomCacheRecord> loaded;
    std::vector<uint8_t> chunk(kRomCacheRecordSize * 256);
    bool ok = true;
    try {
        loaded.reserve(count);
        while (loaded.size() < count && ok) {
            std::size_t want = std::min(count - loaded.size(), std::size_t(256)) * kRomCacheRecordSize;
            std::size_t done = 0;
            while (done < want) {
                ssize_t n = ::read(fd, chunk.data() + done, want - done);
                if (n < 0 && errno == EINTR)
                    continue;
                if (n <= 0) {
                    ok = false;
                    break;
                }
                done += std::size_t(n);
            }
            for (std::size_t at = 0; ok && at < want; at += kRomCacheRecordSize)
                loaded.push_back(DecodeRomCacheRecord(chunk.data() + at));
        }
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    ::close(fd);
    if (!ok)
        return false;
    if (records.empty())
        records = std::move(loaded);
    else
        records.insert(records.end(), loaded.begin(), loaded.end());
    return true;
}

bool SaveRomCacheFile(const std::string& path, const std::vector<RomCacheRecord>& records)
{
    std::vector<uint8_t> bytes(records.size() * kRomCacheRecordSize);
    for (std::size_t i = 0; i < records.size(); ++i)
        EncodeRomCacheRecord(records[i], bytes.data() + i * kRomCacheRecordSize);

    std::string side = path + ".new";
    int fd = ::open(side.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    bool ok = WriteAll(fd, bytes.data(), bytes.size());
    ok = (::fsync(fd) == 0) && ok;
    ok = (::close(fd) == 0) && ok;
    if (ok && std::rename(side.c_str(), path.c_str()) == 0)
        return true;
    std::remove(side.c_str());
    return false;
}
