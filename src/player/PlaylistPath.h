// Where a ROM's playlist file lives: <program folder>/LISTS/<title>.lst.
// Titles are Japanese; lists unpacked from archives made on the original
// platform carry the CP932 bytes of the title as their name, lists made
// here the UTF-8 name. Both are looked for.
#pragma once

#include <string>

#include "machine/RomDatabase.h"

// The list path for database row `entry`: the UTF-8 name when that file
// exists, else the CP932-named file when that exists, else the UTF-8 name
// (where a new list is saved).
std::string PlaylistPathFor(const std::string& programDir, const RomEntry& entry);

// The same from the title's two spellings.
std::string PlaylistPathForTitle(const std::string& programDir, const std::string& utf8Title,
                                 const std::string& cp932Title);
