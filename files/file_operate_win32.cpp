#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <cerrno>
#include <cstring>
#include <cwchar>
#include <new>

#include "files/file_operate.h"
#include "files/utf8_path.h"
#include "files/win32_text.h"

namespace qzm {

int CFileOperate::ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes,
                                std::size_t maxSize) {
    bytes.clear();
    if (path.empty())
        return -1;
    const std::wstring wide = WideFromUtf8(path);
    if (wide.empty())
        return -1;
    // Others may keep writing, renaming or deleting the file while it is read, as on Linux.
    const HANDLE file =
        ::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return -1;
    // Only files on a disk: a pipe or a device (CON, COM1) could block or never end.
    LARGE_INTEGER size{};
    bool ok = ::GetFileType(file) == FILE_TYPE_DISK && ::GetFileSizeEx(file, &size) != 0 &&
              size.QuadPart >= 0 && static_cast<std::uint64_t>(size.QuadPart) <= maxSize;
    try {
        if (ok)
            bytes.reserve(static_cast<std::size_t>(size.QuadPart));
        std::uint8_t chunk[65536];
        while (ok) {
            DWORD n = 0;
            if (!::ReadFile(file, chunk, sizeof chunk, &n, nullptr)) {
                ok = false;
                break;
            }
            if (n == 0)
                break;
            ok = bytes.size() + n <= maxSize;
            if (ok)
                bytes.insert(bytes.end(), chunk, chunk + n);
        }
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    ::CloseHandle(file);
    if (!ok) {
        std::vector<std::uint8_t>().swap(bytes);
        return -1;
    }
    return 0;
}

std::FILE* OpenFileUtf8(const std::string& path, const char* mode) {
    const std::wstring wide = WideFromUtf8(path);
    if (wide.empty()) {
        errno = ENOENT;
        return nullptr;
    }
    // Binary always: the program's text files carry their own CR LF.
    std::wstring wideMode;
    for (const char* c = mode; *c != '\0'; ++c) {
        if (*c != 'b' && *c != 't')
            wideMode += static_cast<wchar_t>(*c);
    }
    wideMode += L'b';
    return ::_wfopen(wide.c_str(), wideMode.c_str());
}

std::string LastSystemErrorText() {
    if (errno != 0)
        return std::strerror(errno);
    const DWORD error = ::GetLastError();
    return error != ERROR_SUCCESS ? WindowsErrorText(error) : std::string();
}

}  // namespace qzm
