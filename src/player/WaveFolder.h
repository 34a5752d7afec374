// The WAV folder as the options dialog shows and checks it: a relative
// WavePath is taken from the program folder, and a folder is usable for
// recordings when it is a writable folder or can be created as one.
#pragma once

#include <string>

// wavePath joined to programFolder when relative ('\\' counts as '/'), with
// "." and ".." steps removed and no trailing separator.
std::string ResolveWaveFolder(const std::string& wavePath, const std::string& programFolder);

// True when `folder` (absolute) is a writable folder, or does not exist yet
// and its nearest existing parent is a writable folder.
bool IsWaveFolderUsable(const std::string& folder);

// The text stored as WavePath: at most 259 characters, ending in '/'; an
// empty text gives the default folder.
std::string WavePathSettingFrom(const std::string& text);
