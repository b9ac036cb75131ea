// Paths are UTF-8 texts everywhere in the program. The standard library reads a narrow path in the
// system's own encoding, which on Windows is a legacy code page that cannot hold most names, so a
// path crosses into std::filesystem or a C file only through these helpers.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace qzm {

// The path named by the UTF-8 text; an empty path when the text is not valid UTF-8 where the system
// needs it converted (Windows), so that every use of it fails instead of reaching another file.
std::filesystem::path Utf8Path(std::string_view utf8);

// The path as UTF-8 text.
std::string PathUtf8(const std::filesystem::path& path);

// Whether the character separates folders in a path: '/' everywhere, '\' also on Windows.
constexpr bool IsPathSeparator(char c) {
    return c == '/' || (std::filesystem::path::preferred_separator == '\\' && c == '\\');
}

// Opens a file by its UTF-8 path, always without any line-end translation; `mode` is one of "rb",
// "wb", "ab". nullptr (errno set) when it cannot be opened.
std::FILE* OpenFileUtf8(const std::string& path, const char* mode);

// The system's words for errno (on Windows, when errno is 0, for the last Win32 error of the
// thread). Empty when no error is recorded.
std::string LastSystemErrorText();

}  // namespace qzm
