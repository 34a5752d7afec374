#include "machine/RomIdentify.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/DebugLog.h"
#include "machine/Crc32.h"

const char* const kMsgFileNotFound = "File not found.";
const char* const kMsgFileSizeError = "File size error.";
const char* const kMsgUnknownRomImage = "Unknown ROM image.\n";
const char* const kMsgUnknownMachineType = "Unknown Machine type.\n";

namespace {

// An open regular file, closed on scope exit.
class RomFile {
public:
    // Opens without blocking (opening a FIFO for reading would otherwise wait
    // for a writer) and keeps the descriptor only for a regular file:
    // directories and devices open fine on Linux but are no ROM images.
    explicit RomFile(const char* path)
    {
        if (!path)
            return;
        int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return;
        struct stat st;
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            return;
        }
        m_fd = fd;
        m_size = st.st_size;
    }
    ~RomFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    RomFile(const RomFile&) = delete;
    RomFile& operator=(const RomFile&) = delete;

    bool IsOpen() const { return m_fd >= 0; }
    off_t Size() const { return m_size; }

    // Reads exactly `count` bytes from the start of the file; false if fewer
    // arrive (the file shrank, or a read error).
    bool ReadStart(uint8_t* buffer, std::size_t count)
    {
        std::size_t done = 0;
        while (done < count) {
            ssize_t n = ::pread(m_fd, buffer + done, count - done, static_cast<off_t>(done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

    void Close()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd = -1;
    off_t m_size = 0;
};

}  // namespace

bool IdentifyRomFile(const char* path, uint8_t* romArea, RomEntry& entry, const MachineDef*& def,
                     std::string& error, uint32_t* crcOut)
{
    if (crcOut)
        *crcOut = 0;
    RomFile file(path);
    if (!file.IsOpen()) {
        error = kMsgFileNotFound;
        return false;
    }

    off_t size = file.Size();
    off_t crcSize = std::min<off_t>(size, static_cast<off_t>(kRomCrcLength));
    // The two format strings are logged as they stand, text after the line
    // break included; the log readers expect exactly these lines.
    Log("FILE SIZE: %d\n fsize", static_cast<int>(std::min<off_t>(size, INT_MAX)));
    Log("CRC SIZE : %d\n, crcsize", static_cast<int>(crcSize));

    if (size < kRomMinFileSize || size > kRomMaxFileSize) {
        error = kMsgFileSizeError;
        return false;
    }
    std::size_t keep = std::min(static_cast<std::size_t>(size), kRomAreaSize);
    if (!file.ReadStart(romArea, keep)) {
        error = kMsgFileSizeError;
        return false;
    }
    file.Close();
    Log("OK.\n");

    uint32_t crc = Crc32(kRomCrcLength, romArea);
    if (crcOut)
        *crcOut = crc;
    const RomEntry* row = FindRomEntry(crc);
    if (!row) {
        error = kMsgUnknownRomImage;
        return false;
    }
    const MachineDef* machine = FindMachineDef(row->machineType);
    if (!machine) {
        error = kMsgUnknownMachineType;
        return false;
    }
    entry = *row;
    def = machine;
    return true;
}

uint32_t ScanRomFileCrc(const char* path)
{
    RomFile file(path);
    if (!file.IsOpen())
        return 0;
    uint8_t head[kRomCrcLength];
    if (!file.ReadStart(head, sizeof head))
        return 0;
    return Crc32(sizeof head, head);
}
