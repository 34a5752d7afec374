#include "app/TextEncoding.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>

namespace {

// Decodes one code point at text[pos]; returns its length in bytes, or 0
// when the sequence there is not well-formed UTF-8.
std::size_t DecodeUtf8(std::string_view text, std::size_t pos, char32_t& cp) {
    const auto byte = [&](std::size_t i) { return static_cast<uint8_t>(text[i]); };
    const uint8_t b0 = byte(pos);
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    std::size_t len;
    char32_t min;
    if ((b0 & 0xE0) == 0xC0) {
        len = 2, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (pos + len > text.size()) return 0;
    for (std::size_t i = 1; i < len; ++i) {
        const uint8_t b = byte(pos + i);
        if ((b & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return len;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Converts with iconv; on a sequence it cannot convert, appends
// `replacement` and skips `skip` input bytes (1 for CP932 input, one whole
// UTF-8 character for UTF-8 input).
std::string Convert(const char* to, const char* from, std::string_view text,
                    std::string_view replacement, bool utf8Input) {
    std::string out;
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        // No converter installed: keep the ASCII part, mark the rest.
        for (char c : text) {
            if (static_cast<uint8_t>(c) < 0x80) out += c;
            else out += replacement;
        }
        return out;
    }
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    char buffer[512];
    while (inLeft > 0) {
        char* dst = buffer;
        std::size_t dstLeft = sizeof(buffer);
        const std::size_t rc = iconv(cd, &in, &inLeft, &dst, &dstLeft);
        out.append(buffer, dst - buffer);
        if (rc != static_cast<std::size_t>(-1)) continue;
        if (errno == E2BIG) continue;
        // EILSEQ or EINVAL (truncated sequence at the end): replace and skip.
        out += replacement;
        std::size_t skip = 1;
        if (utf8Input) {
            char32_t cp;
            const std::size_t len = DecodeUtf8(std::string_view(in, inLeft), 0, cp);
            if (len > 0) skip = len;
        }
        if (skip > inLeft) skip = inLeft;
        in += skip;
        inLeft -= skip;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);  // reset shift state
    }
    // Flush any pending state.
    char* dst = buffer;
    std::size_t dstLeft = sizeof(buffer);
    iconv(cd, nullptr, nullptr, &dst, &dstLeft);
    out.append(buffer, dst - buffer);
    iconv_close(cd);
    return out;
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
    char32_t cp;
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t len = DecodeUtf8(text, pos, cp);
        if (len == 0) return false;
        pos += len;
    }
    return true;
}

std::string Cp932ToUtf8(std::string_view text) {
    return Convert("UTF-8", "CP932", text, "\xEF\xBF\xBD", false);
}

std::string Utf8ToCp932(std::string_view text) {
    return Convert("CP932", "UTF-8", text, "?", true);
}

std::string DecodeUtf8OrCp932(std::string_view text) {
    if (IsValidUtf8(text)) return std::string(text);
    return Cp932ToUtf8(text);
}

std::u16string Utf8ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        char32_t cp;
        std::size_t len = DecodeUtf8(text, pos, cp);
        if (len == 0) {
            cp = 0xFFFD;
            len = 1;
        }
        pos += len;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::string TruncateUtf8(std::string_view text, std::size_t maxChars) {
    std::string out;
    std::size_t count = 0;
    for (std::size_t pos = 0; pos < text.size() && count < maxChars; ++count) {
        char32_t cp;
        std::size_t len = DecodeUtf8(text, pos, cp);
        if (len == 0) {
            AppendUtf8(out, 0xFFFD);
            len = 1;
        } else {
            out.append(text.substr(pos, len));
        }
        pos += len;
    }
    return out;
}
