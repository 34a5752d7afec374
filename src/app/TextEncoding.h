// Text encoding helpers: UTF-8 validation and conversion between UTF-8,
// CP932 (the Shift-JIS code page of the ROM titles and playlist files) and
// UTF-16 (VGM tags).
//
// Conversions never fail: a CP932 byte sequence that has no Unicode
// counterpart becomes U+FFFD, and a character that CP932 cannot express
// becomes '?'. Invalid UTF-8 input to the UTF-8 readers is decoded byte by
// byte as U+FFFD.
#pragma once

#include <string>
#include <string_view>

// True when `text` is well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF).
bool IsValidUtf8(std::string_view text);

std::string Cp932ToUtf8(std::string_view text);
std::string Utf8ToCp932(std::string_view text);

// Text that is valid UTF-8 is returned unchanged; anything else is taken as
// CP932 and converted. This is how files of either encoding are read.
std::string DecodeUtf8OrCp932(std::string_view text);

std::u16string Utf8ToUtf16(std::string_view text);

// The first `maxChars` code points of a UTF-8 text (never splits a
// character).
std::string TruncateUtf8(std::string_view text, std::size_t maxChars);
