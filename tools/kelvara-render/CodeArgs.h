// Sound codes as the command line gives them: decimal ("31"), C-style
// hexadecimal ("0x1F"), the playlist's hexadecimal form ("$1F"), and ranges
// of any of these ("1-20", "$10-$1F"), each code 0..255.
#pragma once

#include <string>
#include <vector>

// One code; false unless the whole text is a code in 0..255.
bool ParseCode(const std::string& text, int& code);
// A code or a range "low-high" (low <= high), appended to `codes` in order.
// False (and `codes` unchanged) when the text is neither.
bool ParseCodeRange(const std::string& text, std::vector<int>& codes);
