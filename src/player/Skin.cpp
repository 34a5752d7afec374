// Finding skin folders and reading their Skin.ini.
#include "player/Skin.h"

#include <algorithm>
#include <filesystem>
#include <limits>
#include <system_error>

#include "app/IniFile.h"
#include "player/HexNumber.h"

namespace fs = std::filesystem;

namespace {

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

std::size_t Utf8Length(std::string_view text)
{
    std::size_t n = 0;
    for (unsigned char c : text)
        n += (c & 0xC0) != 0x80;
    return n;
}

// The entry of `folder` whose name equals `name` without regard to case;
// an exact match wins. Empty when none.
std::string FindEntryNoCase(const std::string& folder, std::string_view name)
{
    std::error_code ec;
    if (fs::exists(fs::path(folder) / std::string(name), ec))
        return std::string(name);
    std::string found;
    fs::directory_iterator it(folder, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        const std::string entry = it->path().filename().string();
        if (CompareNamesNoCase(entry, name) == 0 && (found.empty() || entry < found))
            found = entry;
    }
    return found;
}

// A required text: present, not empty, not longer than the limit.
std::optional<std::string> Required(const CIniFile& ini, std::string_view section, std::string_view key)
{
    std::optional<std::string> value = ini.Get(section, key);
    if (!value || value->empty() || Utf8Length(*value) > kSkinMaxText)
        return std::nullopt;
    return value;
}

int32_t Optional(const CIniFile& ini, std::string_view section, std::string_view key, int32_t fallback)
{
    const std::optional<std::string> value = ini.Get(section, key);
    return value && !value->empty() ? ParseSkinInt(*value) : fallback;
}

}  // namespace

int CompareNamesNoCase(std::string_view a, std::string_view b)
{
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char x = static_cast<unsigned char>(FoldAscii(a[i]));
        const unsigned char y = static_cast<unsigned char>(FoldAscii(b[i]));
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

uint32_t ParseSkinColor(std::string_view text)
{
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text.remove_prefix(2);
    return ReadLeadingHex(text) & 0xFFFFFFu;
}

int32_t ParseSkinInt(std::string_view text)
{
    bool negative = false;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            break;
        value = std::min<int64_t>(value * 10 + (c - '0'), int64_t(std::numeric_limits<int32_t>::max()) + 1);
    }
    value = negative ? -value : value;
    return int32_t(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                       std::numeric_limits<int32_t>::max()));
}

CSkin BuiltinSkin()
{
    CSkin skin;
    skin.name = std::string(kBuiltinSkinName);
    return skin;
}

std::optional<CSkin> ReadSkin(const std::string& folderPath)
{
    std::string folder = folderPath;
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    const std::string iniName = FindEntryNoCase(folder, "Skin.ini");
    CIniFile ini;
    std::error_code ec;
    // Only a regular file of sensible size is read: the reader's stream
    // throws on a folder, and a description never needs a megabyte.
    const std::string iniPath = folder + iniName;
    if (iniName.empty() || !fs::is_regular_file(iniPath, ec))
        return std::nullopt;
    const std::uintmax_t size = fs::file_size(iniPath, ec);
    if (ec || size > kSkinMaxIniBytes || !ini.LoadFile(iniPath))
        return std::nullopt;

    CSkin skin;
    skin.folder = folder;
    const std::optional<std::string> name = Required(ini, "Info", "Name");
    const std::optional<std::string> font = Required(ini, "Main", "FontColor");
    const std::optional<std::string> listFont = Required(ini, "PlayList", "FontColor");
    const std::optional<std::string> listBack = Required(ini, "PlayList", "BackgroundColor");
    const std::optional<std::string> listHiFont = Required(ini, "PlayList", "HighlightFontColor");
    const std::optional<std::string> listHi = Required(ini, "PlayList", "HighlightColor");
    if (!name || !font || !listFont || !listBack || !listHiFont || !listHi)
        return std::nullopt;
    skin.name = *name;
    skin.fontColor = ParseSkinColor(*font);
    skin.digitWidth = Optional(ini, "Main", "DigitWidth", 16);
    skin.digitStep = Optional(ini, "Main", "DigitStep", 17);
    skin.digitBlend = Optional(ini, "Main", "DigitBlend", 0);
    skin.listColors.systemDefaults = false;
    skin.listColors.font = ParseSkinColor(*listFont);
    skin.listColors.background = ParseSkinColor(*listBack);
    skin.listColors.highlightFont = ParseSkinColor(*listHiFont);
    skin.listColors.highlight = ParseSkinColor(*listHi);
    return skin;
}

std::vector<CSkin> FindSkins(const std::string& programFolder)
{
    std::vector<CSkin> skins;
    const std::string root = programFolder.empty() ? std::string(".") : programFolder;
    std::string skinsName = FindEntryNoCase(root, "Skins");
    if (skinsName.empty())
        return skins;
    const fs::path skinsFolder = fs::path(root) / skinsName;

    std::vector<std::string> folders;
    std::error_code ec;
    fs::directory_iterator it(skinsFolder, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (it->is_directory(typeError))
            folders.push_back(it->path().string());
    }
    std::sort(folders.begin(), folders.end());  // a fixed order whatever the file system lists
    for (const std::string& folder : folders)
        if (std::optional<CSkin> skin = ReadSkin(folder))
            skins.push_back(std::move(*skin));
    std::stable_sort(skins.begin(), skins.end(),
                     [](const CSkin& a, const CSkin& b) { return CompareNamesNoCase(a.name, b.name) < 0; });
    return skins;
}

std::optional<std::size_t> FindSkinByName(const std::vector<CSkin>& skins, std::string_view name)
{
    for (std::size_t i = 0; i < skins.size(); ++i)
        if (CompareNamesNoCase(skins[i].name, name) == 0)
            return i;
    return std::nullopt;
}

std::string SkinFilePath(const CSkin& skin, std::string_view fileName)
{
    const std::string found = skin.folder.empty() ? std::string() : FindEntryNoCase(skin.folder, fileName);
    return skin.folder + (found.empty() ? std::string(fileName) : found);
}
