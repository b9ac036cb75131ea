// Conversions between the in-memory text (UTF-8 in std::string) and the encodings found in files:
// Windows-1252 for "ANSI" text files and UTF-16LE for Unicode text and ini files. Other layers use
// the UTF-16 unit helpers where a limit is given in 16-bit characters (edit limits, name lengths).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qzm {

inline constexpr char32_t kReplacementChar = 0xFFFD;

// True when the bytes are well-formed UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// Windows-1252 to UTF-8. Every byte has a character: the five bytes the code page leaves unassigned
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) become the control characters of the same value, as on Windows,
// so any byte string survives a round trip.
std::string Cp1252ToUtf8(std::string_view bytes);

// UTF-8 to Windows-1252. Returns false (with `out` holding only part of the text) when a character has no
// byte in the code page (or the input is not valid UTF-8), so the caller can choose another encoding.
bool Utf8ToCp1252(std::string_view utf8, std::string& out);

// UTF-8 to Windows-1252 for logs: characters the code page lacks become '?'.
std::string Utf8ToCp1252Lossy(std::string_view utf8);

// UTF-16 (in native char16_t units) to and from UTF-8. Unpaired surrogates and malformed UTF-8
// become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

// UTF-16LE byte strings (no byte-order mark added or removed). An odd trailing byte is ignored.
std::string Utf8ToUtf16LeBytes(std::string_view utf8);
std::string Utf16LeBytesToUtf8(std::string_view bytes);

// Number of UTF-16 code units the text takes (a character above U+FFFF counts two).
std::size_t Utf16Length(std::string_view utf8);

// The longest leading part of the text that fits into `maxUnits` UTF-16 code units. A character
// that would need a surrogate pair across the limit is left out whole, never split.
std::string Utf16Truncate(std::string_view utf8, std::size_t maxUnits);

// The text of a file read by the line reader: UTF-16LE when it starts with FF FE or stores line
// feeds as the 16-bit unit 0A 00; UTF-8 after a UTF-8 byte-order mark; otherwise Windows-1252.
// Byte-order marks are dropped. -1 for big-endian UTF-16 (FE FF, or line feeds stored as 00 0A),
// which no writer of this program produces.
int DecodeTextFile(std::string_view bytes, std::string& text);

// The text of an ini file: UTF-16LE with its byte-order mark (or its line-feed pattern), UTF-8 with
// or without a byte-order mark, and Windows-1252 for a file that is not valid UTF-8 (edited by an
// older tool), so that no character is lost when the file is rewritten. `hadUtf8Bom` tells whether
// a UTF-8 byte-order mark was present.
std::string DecodeIniFile(std::string_view bytes, bool& hadUtf8Bom);

}  // namespace qzm
