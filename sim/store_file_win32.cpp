// The store file written on Windows: a temporary file beside it, flushed, moved over it (a plain rename
// does not replace an existing file there).
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string>

#include "sim/registration_store.h"

namespace qzm {

namespace {

std::wstring Wide(const std::string& utf8) {
    if (utf8.empty())
        return {};
    const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(std::max(size, 0)), L'\0');
    if (size > 0)
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), size);
    return wide;
}

std::string LastErrorText(const std::string& what, const std::string& path) {
    const DWORD code = GetLastError();
    char text[512] = {};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                        code, 0, text, sizeof text, nullptr);
    std::string reason(text, length);
    while (!reason.empty() && (reason.back() == '\r' || reason.back() == '\n' || reason.back() == ' '))
        reason.pop_back();
    if (reason.empty())
        reason = "error " + std::to_string(code);
    return what + " " + path + ": " + reason;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes, std::string* error) {
    // Unique within the process (several emulators may save at once) and across processes.
    static std::atomic<unsigned> counter{0};
    const std::string temp =
        path + "." + std::to_string(GetCurrentProcessId()) + "." + std::to_string(++counter) + ".tmp";
    const std::wstring wideTemp = Wide(temp);
    HANDLE file =
        CreateFileW(wideTemp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        if (error)
            *error = LastErrorText("cannot create a temporary file beside", path);
        return false;
    }
    const std::uint8_t* p = bytes.data();
    std::size_t left = bytes.size();
    bool ok = true;
    while (ok && left > 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(left, 1u << 30));
        DWORD written = 0;
        ok = WriteFile(file, p, chunk, &written, nullptr) && written > 0;
        p += written;
        left -= written;
    }
    if (ok)
        ok = FlushFileBuffers(file) != 0;
    if (!ok && error)
        *error = LastErrorText("cannot write", temp);
    if (!CloseHandle(file) && ok) {
        ok = false;
        if (error)
            *error = LastErrorText("cannot write", temp);
    }
    if (ok && !MoveFileExW(wideTemp.c_str(), Wide(path).c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ok = false;
        if (error)
            *error = LastErrorText("cannot replace", path);
    }
    if (!ok)
        DeleteFileW(wideTemp.c_str());
    return ok;
}

}  // namespace qzm
