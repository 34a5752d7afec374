// Scratch folders and readable rows for the playlist tests.
#pragma once

#include <ostream>

#include "TempFolder.h"
#include "player/PlaylistFile.h"

inline void PrintTo(const PlaylistEntry& e, std::ostream* os)
{
    *os << "{" << e.code << ", " << e.isSE << ", \"" << e.name << "\", " << e.playTime << "}";
}
