#include "audio/VgmWriter.h"

#include <algorithm>

#include "app/TextEncoding.h"

namespace {

// VGM command bytes.
constexpr uint8_t kCmdSn76489 = 0x50;     // dd
constexpr uint8_t kCmdYm2413 = 0x51;      // aa dd
constexpr uint8_t kCmdAy8910 = 0xA0;      // aa dd
constexpr uint8_t kCmdWait = 0x61;        // nnnn (little-endian samples)
constexpr uint8_t kCmdWait735 = 0x62;     // one 60 Hz frame
constexpr uint8_t kCmdWait882 = 0x63;     // one 50 Hz frame
constexpr uint8_t kCmdWaitShort = 0x70;   // 0x7n: n + 1 samples
constexpr uint8_t kCmdEnd = 0x66;

// Header offsets (VGM 1.71).
constexpr uint32_t kOffEof = 0x04;
constexpr uint32_t kOffVersion = 0x08;
constexpr uint32_t kOffSnClock = 0x0C;
constexpr uint32_t kOffYm2413Clock = 0x10;
constexpr uint32_t kOffGd3 = 0x14;
constexpr uint32_t kOffTotalSamples = 0x18;
constexpr uint32_t kOffSnFeedback = 0x28;
constexpr uint32_t kOffSnWidth = 0x2A;
constexpr uint32_t kOffSnFlags = 0x2B;
constexpr uint32_t kOffDataOffset = 0x34;
constexpr uint32_t kOffAyClock = 0x74;
constexpr uint32_t kOffAyType = 0x78;
constexpr uint32_t kOffAyFlags = 0x79;
constexpr uint8_t kAyLegacyOutput = 0x01;

void Put32(std::vector<uint8_t>& b, uint32_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

void AppendUtf16z(std::vector<uint8_t>& b, const std::string& utf8) {
    for (char16_t c : Utf8ToUtf16(utf8)) {
        if (c == 0) continue;  // a NUL would end the string early
        b.push_back(static_cast<uint8_t>(c));
        b.push_back(static_cast<uint8_t>(c >> 8));
    }
    b.push_back(0);
    b.push_back(0);
}

}  // namespace

void CVgmWriter::Begin(const VgmOptions& options) {
    m_options = options;
    if (m_options.sampleRate == 0) m_options.sampleRate = kVgmRate;
    m_data.clear();
    m_address = 0;
    m_writeCount = 0;
    m_rendered = 0;
    m_emitted = 0;
}

void CVgmWriter::FlushWait() {
    // Exact conversion of the render clock to 44100 Hz: the target is
    // recomputed from the running total, so rounding never accumulates.
    const uint64_t target = m_rendered * kVgmRate / m_options.sampleRate;
    uint64_t n = target - m_emitted;
    m_emitted = target;
    while (n > 0) {
        if (n == 735) {
            m_data.push_back(kCmdWait735);
            n = 0;
        } else if (n == 882) {
            m_data.push_back(kCmdWait882);
            n = 0;
        } else if (n <= 16) {
            m_data.push_back(static_cast<uint8_t>(kCmdWaitShort + n - 1));
            n = 0;
        } else {
            const uint32_t chunk = n > 0xFFFF ? 0xFFFF : static_cast<uint32_t>(n);
            m_data.push_back(kCmdWait);
            m_data.push_back(static_cast<uint8_t>(chunk));
            m_data.push_back(static_cast<uint8_t>(chunk >> 8));
            n -= chunk;
        }
    }
}

void CVgmWriter::Write(uint32_t port, uint8_t value) {
    if (m_options.chip == VgmChip::Sn76489) {
        FlushWait();
        m_data.push_back(kCmdSn76489);
        m_data.push_back(value);
        ++m_writeCount;
        return;
    }
    if ((port & 1) == 0) {
        m_address = value;
        return;
    }
    WriteRegister(m_address, value);
}

void CVgmWriter::WriteRegister(uint8_t reg, uint8_t value) {
    if (m_options.chip == VgmChip::Sn76489) return;
    FlushWait();
    m_data.push_back(m_options.chip == VgmChip::Ym2413 ? kCmdYm2413 : kCmdAy8910);
    m_data.push_back(reg);
    m_data.push_back(value);
    ++m_writeCount;
}

void CVgmWriter::Wait(uint64_t samples) { m_rendered += samples; }

std::vector<uint8_t> CVgmWriter::Finish(const std::string& title, const std::string& rowName) {
    FlushWait();
    m_data.push_back(kCmdEnd);

    // GD3 tag: track, game, system, author (English then Japanese each),
    // release date, converter, notes.
    std::vector<uint8_t> strings;
    AppendUtf16z(strings, rowName);
    AppendUtf16z(strings, rowName);
    AppendUtf16z(strings, title);
    AppendUtf16z(strings, title);
    AppendUtf16z(strings, "Pachislot");
    AppendUtf16z(strings, "");
    AppendUtf16z(strings, "");
    AppendUtf16z(strings, "");
    AppendUtf16z(strings, "");
    AppendUtf16z(strings, "Kelvara");
    AppendUtf16z(strings, m_options.notes);
    // Layout: header, command stream, "Gd3 " + version + length, strings.
    const std::size_t gd3 = kHeaderSize + m_data.size();
    std::vector<uint8_t> file(gd3 + 12 + strings.size(), 0);
    file[0] = 'V', file[1] = 'g', file[2] = 'm', file[3] = ' ';
    Put32(file, kOffVersion, kVersion);
    switch (m_options.chip) {
    case VgmChip::Ym2413:
        Put32(file, kOffYm2413Clock, m_options.clock);
        break;
    case VgmChip::Ay8910:
        Put32(file, kOffAyClock, m_options.clock);
        file[kOffAyType] = m_options.ayType;
        file[kOffAyFlags] = kAyLegacyOutput;
        break;
    case VgmChip::Sn76489:
        Put32(file, kOffSnClock, m_options.clock);
        file[kOffSnFeedback] = static_cast<uint8_t>(m_options.snFeedback);
        file[kOffSnFeedback + 1] = static_cast<uint8_t>(m_options.snFeedback >> 8);
        file[kOffSnWidth] = m_options.snShiftWidth;
        file[kOffSnFlags] = m_options.snFlags;
        break;
    }
    // Long renders could in principle pass 2^32 samples (27 hours); the
    // field saturates instead of wrapping.
    Put32(file, kOffTotalSamples, m_emitted > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(m_emitted));
    Put32(file, kOffDataOffset, kHeaderSize - kOffDataOffset);
    std::copy(m_data.begin(), m_data.end(), file.begin() + kHeaderSize);
    file[gd3] = 'G', file[gd3 + 1] = 'd', file[gd3 + 2] = '3', file[gd3 + 3] = ' ';
    Put32(file, static_cast<uint32_t>(gd3 + 4), 0x100);  // GD3 version 1.00
    Put32(file, static_cast<uint32_t>(gd3 + 8), static_cast<uint32_t>(strings.size()));
    std::copy(strings.begin(), strings.end(), file.begin() + static_cast<std::ptrdiff_t>(gd3 + 12));

    Put32(file, kOffGd3, static_cast<uint32_t>(gd3 - kOffGd3));
    Put32(file, kOffEof, static_cast<uint32_t>(file.size()) - kOffEof);
    return file;
}
