// Reads the rows of a ROM's playlist file (.lst) for batch rendering: the
// playable rows with their names and play times, and the file's volume
// gain. Files are CP932 or UTF-8; names come back as UTF-8.
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

// Exposed for tests of the field rules.
int ParseListCode(const std::string& field);      // "#12", "#$1F"
int ParseListTime(const std::string& field);      // "1:30", "2.5", "75"
