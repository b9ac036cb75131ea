// The program's string table: every user-visible fixed text by its numeric id, in UTF-8. Texts
// that carry printf conversions are meant for FormatString; "\t" and "\n" in them are real tab and
// line feed characters.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>

namespace qzm {

// Ids the code names directly.
enum StringId : int {
    kStringDefaultUserName = 1020,
    kStringSimulatedModule = 1090,
    kStringNoWorkingFolder = 5011,
    kStringCannotGoOn = 5013,
};

// The text of the id, or "" for an id the table does not hold. The pointer stays valid for the
// whole run.
const char* LoadString(int id);

// True when the table holds the id.
bool HasString(int id);

// Number of entries in the table.
std::size_t StringCount();

// The id's text formatted printf-style with the arguments; any length. An unknown id gives "".
// The arguments must match the conversions of the text, as with printf.
std::string FormatString(int id, ...);
std::string FormatStringV(int id, std::va_list args);

}  // namespace qzm
