// CWaveRec: records the player's output into a RIFF/WAVE file of PCM
// samples. Open writes a placeholder header, Write appends sample bytes,
// Close fills in the sizes and rewrites the header. An open file has zero
// sizes in its header; they are right once it is closed.
//
// RIFF sizes are 32-bit, so a file cannot grow past 4 GiB. A Write that
// would cross that limit stores only the whole frames that still fit and
// then closes the file, which therefore stays a valid WAV file.
//
// Samples are gathered in a large buffer of the recorder's own (allocated
// with the first file) and reach the file in big writes, not one small
// write per 5 ms block; the file is complete once closed.
//
// Not thread-safe: one thread (the render thread) uses a recorder.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

class CWaveRec {
public:
    static constexpr uint32_t kHeaderSize = 44;
    // Largest file whose RIFF size (file length - 8) fits in 32 bits.
    static constexpr uint64_t kMaxFileSize = 0xFFFFFFFFull + 8;

    // The 44-byte header image, exactly as written (little-endian fields).
    struct Header {
        char riffId[4] = {'R', 'I', 'F', 'F'};
        uint32_t riffSize = 0;
        char waveId[4] = {'W', 'A', 'V', 'E'};
        char fmtId[4] = {'f', 'm', 't', ' '};
        uint32_t fmtSize = 16;
        uint16_t formatTag = 1;  // PCM
        uint16_t channels = 0;
        uint32_t sampleRate = 0;
        uint32_t byteRate = 0;
        uint16_t blockAlign = 0;
        uint16_t bitsPerSample = 16;
        char dataId[4] = {'d', 'a', 't', 'a'};
        uint32_t dataSize = 0;
    };
    static_assert(sizeof(Header) == kHeaderSize, "the header image must match the file layout");

    CWaveRec() = default;
    ~CWaveRec();
    CWaveRec(const CWaveRec&) = delete;
    CWaveRec& operator=(const CWaveRec&) = delete;

    // Closes an open file, then creates (or truncates) `path`, creating
    // missing folders on the way. If the file cannot be created the
    // recorder stays closed and the header keeps its previous values.
    bool Open(const std::string& path, uint32_t rate, uint32_t bits, bool stereo);
    // Appends `bytes` sample bytes when a file is open; write errors are
    // ignored. Closes the file when it reaches the size limit.
    void Write(const void* data, std::size_t bytes);
    // Fills in the sizes, rewrites the header, closes. Nothing when closed.
    void Close();

    bool IsOpen() const { return m_file != nullptr; }
    const Header& HeaderImage() const { return m_header; }
    const std::string& Path() const { return m_path; }

    // For tests: a smaller file-size limit than 4 GiB (clamped to it).
    void SetFileSizeLimit(uint64_t bytes);

private:
    static constexpr std::size_t kBufferBytes = 256 * 1024;

    Header m_header;
    std::unique_ptr<char[]> m_buffer;  // the open file's stdio buffer
    std::FILE* m_file = nullptr;
    std::string m_path;
    uint64_t m_length = 0;  // bytes written so far, header included
    uint64_t m_limit = kMaxFileSize;
};
