// The command line and the console of the command-line programs, the same on every system: arguments
// arrive as UTF-8 and UTF-8 output shows as the characters it holds.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace qzm {

// The program's arguments as UTF-8, argv[0] included. On Windows the narrow argv holds the legacy
// code page's approximation of each argument, so they are taken from the wide command line instead.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

// Makes the console show UTF-8 output (Windows' console otherwise decodes the legacy code page);
// the console gets its code page back when the program ends. Text keeps the system's line ends.
void PrepareConsoleOutput();

// Writes to the stream keep their exact bytes (Windows would turn "\n" into CR LF), for output
// that must match the same data written to a file.
void SetBinaryOutput(std::FILE* stream);

// Whether the stream is shown on a terminal or console (not a file or pipe).
bool IsTerminal(std::FILE* stream);

}  // namespace qzm
