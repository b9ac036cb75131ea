#include <unistd.h>

#include "files/program_args.h"

namespace qzm {

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

void PrepareConsoleOutput() {}

void SetBinaryOutput(std::FILE*) {}

bool IsTerminal(std::FILE* stream) {
    return ::isatty(::fileno(stream)) != 0;
}

}  // namespace qzm
