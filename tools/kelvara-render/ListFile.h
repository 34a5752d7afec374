// The playlist rows kelvara-render needs for batch rendering: the playable
// rows with their names and play times, and the file's volume gain. Read by
// the player's own playlist reader, so the player and this tool always
// agree on a list.
#pragma once

#include <string>
#include <vector>

struct ListRow {
    int code = -1;       // below 0: caption row
    std::string name;
    int playTime = 0;    // tenths of a second; 0 = none given
};

struct ListFile {
    std::vector<ListRow> rows;   // every row between %start and %end, in order
    int volumeGain = 100;        // percent, 50..1000
};

// False when the file cannot be read or holds no row.
bool ReadListFile(const std::string& path, ListFile& list);

// The list of the ROM titled `titleUtf8` in `programDir`/LISTS, under its
// UTF-8 or its CP932 file name.
std::string ListPathForTitle(const std::string& programDir, const std::string& titleUtf8);
