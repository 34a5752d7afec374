// Skins: folders below "Skins" in the program folder that replace the main
// window's background, digit strip, level gauge and Autoplay images, its
// text colour and digit spacing, and the playlist's colours.
//
// A skin folder holds Skin.ini:
//   [Info]     Name                         (required)
//   [Main]     FontColor                    (required, hex 0xBBGGRR)
//              DigitWidth=16 DigitStep=17 DigitBlend=0 (optional, decimal)
//   [PlayList] FontColor BackgroundColor HighlightFontColor HighlightColor
//                                           (required, hex)
// and background.bmp, digit.bmp, levelgauge.bmp and icon.bmp (opened only
// when the skin is applied). A folder whose Skin.ini lacks a required key is
// not a skin. File names are matched without regard to case, so a skin made
// on a case-blind file system works unchanged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "player/PlaylistColors.h"

struct CSkin {
    std::string folder;  // path of the skin folder, ending in '/'; empty for the built-in skin
    std::string name;    // display name (UTF-8)
    uint32_t fontColor = ColorRef(255, 255, 255);
    int32_t digitWidth = 16;
    int32_t digitStep = 17;
    int32_t digitBlend = 0;
    PlaylistColors listColors;  // systemDefaults false for every found skin
};

// Name of the built-in skin, as stored in the setting SkinName.
inline constexpr std::string_view kBuiltinSkinName = "Default";
// A required text counts only when it is not empty and has at most this many characters.
inline constexpr std::size_t kSkinMaxText = 259;
// A larger Skin.ini is not read (the folder is then no skin).
inline constexpr std::uintmax_t kSkinMaxIniBytes = 1 << 20;

// The built-in look: white text, digits 16 wide on a 17 step drawn
// opaquely, the playlist's own colours.
CSkin BuiltinSkin();

// Every valid skin below programFolder/Skins, sorted by name without regard
// to case (ties by folder name). A missing or unreadable Skins folder gives
// an empty list.
std::vector<CSkin> FindSkins(const std::string& programFolder);

// Reads one skin folder's Skin.ini; nullopt when it is missing or lacks a required key.
std::optional<CSkin> ReadSkin(const std::string& folder);

// Position in `skins` of the skin called `name` (compared without regard to
// case); nullopt for none.
std::optional<std::size_t> FindSkinByName(const std::vector<CSkin>& skins, std::string_view name);

// Path of file `fileName` in the skin's folder, found without regard to case
// (the name as given when no entry matches).
std::string SkinFilePath(const CSkin& skin, std::string_view fileName);

// "1a2B", "0xFF" -> the value of the leading hex digits, kept to 24 bits
// (0 without digits; more than eight digits saturate before the cut).
uint32_t ParseSkinColor(std::string_view text);
// Leading optional '-' and decimal digits (0 without digits), clamped to int32.
int32_t ParseSkinInt(std::string_view text);

// Case-blind (ASCII) ordering and equality of UTF-8 names.
int CompareNamesNoCase(std::string_view a, std::string_view b);
