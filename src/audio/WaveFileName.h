// Where a recording of a ROM goes: the WAV folder (relative folders are
// taken from the program folder) plus the ROM image's base name, with
// ".wav" added unless that base name still has an extension of its own
// ("abc.bin" -> "abc.wav", "a.b.bin" -> "a.b").
#pragma once

#include <string>

// wavePath: the WavePath setting ('\\' counts as a separator).
// programFolder: the program's folder. romPath: the loaded ROM image.
std::string MakeWaveFileName(const std::string& wavePath, const std::string& programFolder,
                             const std::string& romPath);
