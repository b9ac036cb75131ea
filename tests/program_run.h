// Runs a program of the build as a user runs it from a shell, and collects what it printed: the
// command-line tool's tests drive the real executable on Linux and on Windows alike.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ProgramRun {
    int status = -1;  // the exit code; -1 when the program could not run or was killed
    std::string out;
    std::string err;
};

// How the program's files behave in a run (POSIX only: Windows has no per-process file-size limit).
enum class DiskLimit {
    kNone,
    kFull,     // no file can grow: every write fails, as on a full disk
    kLimited,  // files grow to kLimitedDiskBytes, then every write fails: a disk that fills meanwhile
};
inline constexpr std::uint64_t kLimitedDiskBytes = 2 * 1024 * 1024;

// Splits a command line into words as a POSIX shell does with plain words and quotes ('...' keeps
// everything, "..." keeps all but \" and \\, a backslash outside quotes keeps the next character),
// so that a test can write its arguments as it would type them.
std::vector<std::string> SplitWords(const std::string& line);

// A program in the folder of the running test binary (the build puts every program there).
std::string ProgramBesideTests(const std::string& name);

// Output arrives through pipes, so it still comes when the program cannot write files.
ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                      DiskLimit disk = DiskLimit::kNone);
