#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cstdlib>

#include "files/program_args.h"
#include "files/win32_text.h"

namespace qzm {

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (wide == nullptr || count != argc) {
        // The wide command line does not match what the run-time parsed: keep what we were given.
        if (wide != nullptr)
            ::LocalFree(wide);
        return std::vector<std::string>(argv, argv + argc);
    }
    std::vector<std::string> args;
    args.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        args.push_back(Utf8FromWide(wide[i]));
    ::LocalFree(wide);
    return args;
}

namespace {

UINT g_previousOutputCodePage = 0;

// The console window outlives the program: the shell that started it gets its code page back.
void RestoreConsoleOutput() {
    if (g_previousOutputCodePage != 0)
        ::SetConsoleOutputCP(g_previousOutputCodePage);
}

}  // namespace

void PrepareConsoleOutput() {
    const UINT previous = ::GetConsoleOutputCP();
    if (previous == 0 || previous == CP_UTF8 || g_previousOutputCodePage != 0)
        return;  // no console, already UTF-8, or prepared before
    if (::SetConsoleOutputCP(CP_UTF8)) {
        g_previousOutputCodePage = previous;
        std::atexit(RestoreConsoleOutput);
    }
}

void SetBinaryOutput(std::FILE* stream) {
    std::fflush(stream);
    ::_setmode(::_fileno(stream), _O_BINARY);
}

bool IsTerminal(std::FILE* stream) {
    // _isatty holds for any character device (NUL too); a console is what shows a progress bar.
    DWORD mode = 0;
    const HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
    return handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode) != 0;
}

}  // namespace qzm
