#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <filesystem>
#include <thread>

#include "files/win32_text.h"
#include "program_run.h"

namespace {

// One argument as the C run-time of the started program splits it again: quoted when it holds a
// blank or a quote, backslashes doubled only before a quote.
void AppendQuoted(std::wstring& line, const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) {
        line += arg;
        return;
    }
    line += L'"';
    std::size_t backslashes = 0;
    for (const wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        line.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        line += c;
    }
    line.append(backslashes * 2, L'\\');
    line += L'"';
}

void Drain(HANDLE pipe, std::string* text) {
    char buffer[4096];
    DWORD n = 0;
    while (ReadFile(pipe, buffer, sizeof buffer, &n, nullptr) && n > 0)
        text->append(buffer, n);
    CloseHandle(pipe);
}

}  // namespace

std::string ProgramBesideTests(const std::string& name) {
    std::wstring path(MAX_PATH, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    const std::u8string utf8 =
        (std::filesystem::path(path).parent_path() / qzm::WideFromUtf8(name)).u8string();
    return std::string(utf8.begin(), utf8.end());
}

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args, DiskLimit disk) {
    if (disk != DiskLimit::kNone)
        return {-1, "", "file-size limits exist only on POSIX systems"};
    std::wstring line;
    AppendQuoted(line, qzm::WideFromUtf8(program));
    for (const std::string& arg : args) {
        line += L' ';
        AppendQuoted(line, qzm::WideFromUtf8(arg));
    }
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE outRead = nullptr, outWrite = nullptr, errRead = nullptr, errWrite = nullptr;
    if (!CreatePipe(&outRead, &outWrite, &inherit, 0) || !CreatePipe(&errRead, &errWrite, &inherit, 0))
        return {-1, "", "no pipe"};
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
    PROCESS_INFORMATION process{};
    const BOOL started =
        CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    CloseHandle(outWrite);
    CloseHandle(errWrite);
    ProgramRun run;
    std::thread errReader(Drain, errRead, &run.err);
    Drain(outRead, &run.out);
    errReader.join();
    if (!started)
        return run;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    if (GetExitCodeProcess(process.hProcess, &code))
        run.status = static_cast<int>(code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return run;
}
