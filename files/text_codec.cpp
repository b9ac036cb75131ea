#include "files/text_codec.h"

#include <array>
#include <cstdint>

namespace qzm {
namespace {

// Characters of bytes 0x80 to 0x9F; the rest of the code page equals Latin-1.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// Decodes one character at `pos` and moves past it. A malformed sequence yields U+FFFD and moves
// one byte, so decoding always makes progress. `ok` is cleared on malformed input.
char32_t DecodeUtf8(std::string_view s, std::size_t& pos, bool& ok) {
    const auto lead = static_cast<unsigned char>(s[pos]);
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    int extra = 0;
    char32_t cp = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1;
        cp = lead & 0x1F;
        minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
        cp = lead & 0x0F;
        minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3;
        cp = lead & 0x07;
        minimum = 0x10000;
    } else {
        ok = false;
        ++pos;
        return kReplacementChar;
    }
    if (s.size() - pos <= static_cast<std::size_t>(extra)) {  // cut short by the end of the text
        ok = false;
        ++pos;
        return kReplacementChar;
    }
    for (int i = 1; i <= extra; ++i) {
        const auto b = static_cast<unsigned char>(s[pos + i]);
        if ((b & 0xC0) != 0x80) {
            ok = false;
            ++pos;
            return kReplacementChar;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ok = false;
        ++pos;
        return kReplacementChar;
    }
    pos += extra + 1;
    return cp;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// The byte of a character in Windows-1252, or -1 when it has none.
int Cp1252Byte(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
        return static_cast<int>(cp);
    }
    for (std::size_t i = 0; i < kCp1252High.size(); ++i) {
        if (kCp1252High[i] == cp) {
            return static_cast<int>(0x80 + i);
        }
    }
    return -1;
}

template <typename Sink>
void ForEachUtf16Char(std::u16string_view s, Sink sink) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char16_t u = s[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            sink(0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (s[i + 1] - 0xDC00));
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            sink(kReplacementChar);
        } else {
            sink(static_cast<char32_t>(u));
        }
    }
}

template <typename Sink>
void ForEachUtf8Char(std::string_view s, bool& ok, Sink sink) {
    std::size_t pos = 0;
    while (pos < s.size()) {
        sink(DecodeUtf8(s, pos, ok));
    }
}

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
    bool ok = true;
    ForEachUtf8Char(bytes, ok, [](char32_t) {});
    return ok;
}

std::string Cp1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        AppendUtf8(out, (b >= 0x80 && b <= 0x9F) ? static_cast<char32_t>(kCp1252High[b - 0x80]) : b);
    }
    return out;
}

bool Utf8ToCp1252(std::string_view utf8, std::string& out) {
    out.clear();
    out.reserve(utf8.size());
    bool ok = true;
    ForEachUtf8Char(utf8, ok, [&](char32_t cp) {
        const int b = Cp1252Byte(cp);
        if (b < 0) {
            ok = false;
        } else {
            out.push_back(static_cast<char>(b));
        }
    });
    return ok;
}

std::string Utf8ToCp1252Lossy(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    bool ok = true;
    ForEachUtf8Char(utf8, ok, [&](char32_t cp) {
        const int b = Cp1252Byte(cp);
        out.push_back(b < 0 ? '?' : static_cast<char>(b));
    });
    return out;
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    bool ok = true;
    ForEachUtf8Char(utf8, ok, [&](char32_t cp) {
        if (cp >= 0x10000) {
            out.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    });
    return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size());
    ForEachUtf16Char(utf16, [&](char32_t cp) { AppendUtf8(out, cp); });
    return out;
}

std::string Utf8ToUtf16LeBytes(std::string_view utf8) {
    const std::u16string units = Utf8ToUtf16(utf8);
    std::string out;
    out.reserve(units.size() * 2);
    for (const char16_t u : units) {
        out.push_back(static_cast<char>(u & 0xFF));
        out.push_back(static_cast<char>(u >> 8));
    }
    return out;
}

std::string Utf16LeBytesToUtf8(std::string_view bytes) {
    std::u16string units;
    units.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        units.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                              (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    }
    return Utf16ToUtf8(units);
}

std::size_t Utf16Length(std::string_view utf8) {
    std::size_t units = 0;
    bool ok = true;
    ForEachUtf8Char(utf8, ok, [&](char32_t cp) { units += cp >= 0x10000 ? 2 : 1; });
    return units;
}

std::string Utf16Truncate(std::string_view utf8, std::size_t maxUnits) {
    std::size_t units = 0;
    std::size_t pos = 0;
    bool ok = true;
    while (pos < utf8.size()) {
        std::size_t next = pos;
        const char32_t cp = DecodeUtf8(utf8, next, ok);
        const std::size_t width = cp >= 0x10000 ? 2 : 1;
        if (units + width > maxUnits) {
            break;
        }
        units += width;
        pos = next;
    }
    return std::string(utf8.substr(0, pos));
}

namespace {

bool StartsWith(std::string_view bytes, std::string_view prefix) {
    return bytes.substr(0, prefix.size()) == prefix;
}

// True when a 16-bit unit at an even offset holds a line feed in the given byte order.
bool HasUtf16LineFeed(std::string_view bytes, bool littleEndian) {
    const char first = littleEndian ? '\x0A' : '\x00';
    const char second = littleEndian ? '\x00' : '\x0A';
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        if (bytes[i] == first && bytes[i + 1] == second) {
            return true;
        }
    }
    return false;
}

constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
constexpr std::string_view kUtf16BeBom = "\xFE\xFF";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

}  // namespace

int DecodeTextFile(std::string_view bytes, std::string& text) {
    if (StartsWith(bytes, kUtf16LeBom)) {
        text = Utf16LeBytesToUtf8(bytes.substr(2));
    } else if (StartsWith(bytes, kUtf16BeBom)) {
        return -1;
    } else if (StartsWith(bytes, kUtf8Bom)) {
        // Malformed sequences become U+FFFD rather than stray bytes in memory.
        text = Utf16ToUtf8(Utf8ToUtf16(bytes.substr(3)));
    } else if (HasUtf16LineFeed(bytes, true)) {
        text = Utf16LeBytesToUtf8(bytes);
    } else if (HasUtf16LineFeed(bytes, false)) {
        return -1;
    } else {
        text = Cp1252ToUtf8(bytes);
    }
    return 0;
}

std::string DecodeIniFile(std::string_view bytes, bool& hadUtf8Bom) {
    hadUtf8Bom = false;
    if (StartsWith(bytes, kUtf16LeBom)) {
        return Utf16LeBytesToUtf8(bytes.substr(2));
    }
    if (StartsWith(bytes, kUtf8Bom)) {
        hadUtf8Bom = true;
        bytes.remove_prefix(3);
    } else if (HasUtf16LineFeed(bytes, true)) {
        return Utf16LeBytesToUtf8(bytes);
    }
    return IsValidUtf8(bytes) ? std::string(bytes) : Cp1252ToUtf8(bytes);
}

}  // namespace qzm
