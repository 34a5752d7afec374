#include "audio/WaveRec.h"

#include <bit>
#include <cstring>
#include <filesystem>
#include <new>
#include <system_error>

#include "app/DebugLog.h"

static_assert(std::endian::native == std::endian::little,
              "the WAV header image is written as it lies in memory");

CWaveRec::~CWaveRec() { Close(); }

void CWaveRec::SetFileSizeLimit(uint64_t bytes) {
    m_limit = bytes < kMaxFileSize ? bytes : kMaxFileSize;
}

bool CWaveRec::Open(const std::string& path, uint32_t rate, uint32_t bits, bool stereo) {
    Close();
    std::error_code ec;
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    if (!parent.empty()) std::filesystem::create_directories(parent, ec);  // failure shows at fopen
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    if (!m_buffer) m_buffer.reset(new (std::nothrow) char[kBufferBytes]);
    if (m_buffer) std::setvbuf(file, m_buffer.get(), _IOFBF, kBufferBytes);  // else stdio's own buffer
    m_file = file;
    m_path = path;
    m_header.bitsPerSample = static_cast<uint16_t>(bits);
    m_header.blockAlign = static_cast<uint16_t>((bits >> 3) * (stereo ? 2 : 1));
    m_header.channels = static_cast<uint16_t>(stereo ? 2 : 1);
    m_header.sampleRate = rate;
    m_header.byteRate = m_header.blockAlign * rate;
    m_header.riffSize = 0;
    m_header.dataSize = 0;
    m_length = std::fwrite(&m_header, 1, kHeaderSize, m_file);
    return true;
}

void CWaveRec::Write(const void* data, std::size_t bytes) {
    if (!m_file) return;
    const uint64_t room = m_limit > m_length ? m_limit - m_length : 0;
    bool full = false;
    if (bytes > room) {
        // Keep whole frames only, so the data chunk stays aligned.
        const uint64_t align = m_header.blockAlign ? m_header.blockAlign : 1;
        bytes = static_cast<std::size_t>(room - room % align);
        full = true;
    }
    m_length += std::fwrite(data, 1, bytes, m_file);
    if (full) {
        Log("WAVE FILE size limit reached, closed:%s\n", m_path.c_str());
        Close();
    }
}

void CWaveRec::Close() {
    if (!m_file) return;
    // Lengths are at most m_limit <= 4 GiB + 7, so both sizes fit 32 bits.
    m_header.riffSize = static_cast<uint32_t>(m_length - 8);
    m_header.dataSize = static_cast<uint32_t>(m_length >= kHeaderSize ? m_length - kHeaderSize : 0);
    if (std::fseek(m_file, 0, SEEK_SET) == 0) std::fwrite(&m_header, 1, kHeaderSize, m_file);
    std::fclose(m_file);
    m_file = nullptr;
    m_length = 0;
}
