// CVgmWriter: logs the sound-chip writes of a render as a VGM 1.71 file
// (the common register-log format of chip-music players): a 256-byte
// header, the command stream with 44100 Hz wait commands, an end mark and a
// GD3 tag with the titles in UTF-16.
//
// Use: Begin, then Write for every chip byte and Wait for every rendered
// output sample (in the render's own rate; they are converted to 44100 Hz
// without drift), then Finish, which returns the complete file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class VgmChip {
    Ym2413,   // OPLL family
    Ay8910,   // AY-3-8910 / YM2149 family
    Sn76489,  // SN76489 / SN76496 family
};

struct VgmOptions {
    VgmChip chip = VgmChip::Ym2413;
    // The clock field of the header, in Hz: the clock under which a VGM
    // player's model of the chip sounds at the pitch this render has.
    uint32_t clock = 3579545;
    uint32_t sampleRate = 44100;   // rate of the samples given to Wait
    // AY8910 family: chip type byte (0x00 AY-3-8910, 0x10 YM2149).
    uint8_t ayType = 0x00;
    // SN76489 family: noise feedback pattern, shift-register width and the
    // flags byte (0x04: no Game Gear stereo, /8 clock divider on, period 0
    // counts as 1). 0x0006 / 15 describe the SN76496.
    uint16_t snFeedback = 0x0006;
    uint8_t snShiftWidth = 15;
    uint8_t snFlags = 0x04;
    // Text for the GD3 tag's notes field (UTF-8), e.g. what the header
    // cannot say about the chip.
    std::string notes{};
};

class CVgmWriter {
public:
    static constexpr uint32_t kVersion = 0x171;
    static constexpr uint32_t kHeaderSize = 0x100;
    static constexpr uint32_t kVgmRate = 44100;

    // Starts a new log (anything logged before is dropped).
    void Begin(const VgmOptions& options);
    // One byte the board handed to the chip. YM2413 and AY8910: port bit 0
    // clear selects a register, bit 0 set writes the selected register (one
    // logged command). SN76489: every byte is one command.
    void Write(uint32_t port, uint8_t value);
    // A register write given directly (YM2413 and AY8910).
    void WriteRegister(uint8_t reg, uint8_t value);
    // `samples` output samples at the render rate pass.
    void Wait(uint64_t samples);
    // Ends the stream and returns the whole file. Titles are UTF-8; they go
    // into the English and Japanese fields of the tag alike.
    std::vector<uint8_t> Finish(const std::string& title, const std::string& rowName);

    uint32_t WriteCount() const { return m_writeCount; }
    // Samples at 44100 Hz emitted so far (after Finish: the file's total).
    uint64_t TotalSamples() const { return m_emitted; }

private:
    void FlushWait();

    VgmOptions m_options;
    std::vector<uint8_t> m_data;  // command stream
    uint8_t m_address = 0;        // selected register
    uint32_t m_writeCount = 0;
    uint64_t m_rendered = 0;      // samples at the render rate
    uint64_t m_emitted = 0;       // samples at 44100 Hz already in m_data
};
