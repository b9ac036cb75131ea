// Conversions between the program's UTF-8 and Windows' UTF-16, for the Windows-only source files.
#pragma once

#include <string>
#include <string_view>

namespace qzm {

// UTF-16 of the UTF-8 text; empty for invalid UTF-8 (a path that names no file).
std::wstring WideFromUtf8(std::string_view utf8);
std::string Utf8FromWide(std::wstring_view wide);

// The system's words for a Win32 error code, UTF-8, without the trailing period and line end.
std::string WindowsErrorText(unsigned long code);

}  // namespace qzm
