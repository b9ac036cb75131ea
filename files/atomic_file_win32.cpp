#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <system_error>

#include "files/atomic_file_platform.h"
#include "files/utf8_path.h"
#include "files/win32_text.h"

namespace qzm {
namespace {

namespace fs = std::filesystem;

std::atomic<unsigned> g_tempCounter{0};

// Closes the handle when the scope ends, unless it was let go.
class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle() { Close(); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return handle_; }
    bool Close() {
        const bool ok = !valid() || ::CloseHandle(handle_) != 0;
        handle_ = INVALID_HANDLE_VALUE;
        return ok;
    }

private:
    HANDLE handle_;
};

bool WriteAll(HANDLE file, const char* data, std::size_t size) {
    while (size > 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(file, data, chunk, &written, nullptr) || written == 0)
            return false;
        data += written;
        size -= written;
    }
    return true;
}

// All the bytes, flushed to the disk; a full disk half-way when the test asks for it.
bool WriteFlushed(HANDLE file, std::string_view bytes, WriteFault fault) {
    if (fault == WriteFault::kDiskFull) {
        WriteAll(file, bytes.data(), bytes.size() / 2);
        ::SetLastError(ERROR_DISK_FULL);
        return false;
    }
    return WriteAll(file, bytes.data(), bytes.size()) && ::FlushFileBuffers(file) != 0;
}

// Whether writing into the existing file would be allowed: not marked read-only by the user, and
// the process may open it for writing. A file merely held open by another program counts as
// writable here; replacing it then fails on its own.
bool MayWriteInPlace(const std::wstring& path, DWORD attributes) {
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        ::SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    const HANDLE file =
        ::CreateFileW(path.c_str(), FILE_WRITE_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        ::CloseHandle(file);
        return true;
    }
    return ::GetLastError() != ERROR_ACCESS_DENIED;
}

// For a folder that takes no new file: the file is rewritten where it is.
int WriteInPlace(const std::wstring& path, std::string_view bytes, WriteFault fault) {
    FileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, TRUNCATE_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid())
        return -1;
    const bool ok = WriteFlushed(file.get(), bytes, fault);
    return file.Close() && ok ? 0 : -1;
}

int ReplaceOnce(const std::string& pathText, std::string_view bytes, WriteFault fault) {
    if (pathText.empty())
        return -1;
    std::error_code ec;
    fs::path target = Utf8Path(pathText);
    if (target.empty()) {
        ::SetLastError(ERROR_INVALID_NAME);
        return -1;
    }
    if (fs::is_symlink(fs::symlink_status(target, ec))) {
        const fs::path resolved = fs::weakly_canonical(target, ec);
        if (ec)
            return -1;
        target = resolved;
    }
    const fs::path folder = target.parent_path();
    const std::wstring name = target.filename().wstring();
    const std::wstring targetText = target.wstring();
    if (name.empty())
        return -1;
    const DWORD attributes = ::GetFileAttributesW(targetText.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (exists && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        ::SetLastError(ERROR_ACCESS_DENIED);
        return -1;
    }
    if (exists && !MayWriteInPlace(targetText, attributes))
        return -1;

    // A leading dot and the ".tmp" end keep the file out of the "*.log", "*.ini" and "*.dat"
    // listings even if a crash leaves it behind.
    std::wstring temp;
    HANDLE handle = INVALID_HANDLE_VALUE;
    DWORD createError = ERROR_ACCESS_DENIED;
    for (int attempt = 0; attempt < 100 && fault != WriteFault::kNoTempFile; ++attempt) {
        temp = (folder / (L"." + name + L"." + std::to_wstring(::GetCurrentProcessId()) + L"." +
                          std::to_wstring(g_tempCounter.fetch_add(1)) + L".tmp"))
                   .wstring();
        handle = ::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                               nullptr);
        createError = ::GetLastError();
        if (handle != INVALID_HANDLE_VALUE ||
            (createError != ERROR_FILE_EXISTS && createError != ERROR_ALREADY_EXISTS))
            break;
    }
    if (handle == INVALID_HANDLE_VALUE) {
        const bool folderRefuses = createError == ERROR_ACCESS_DENIED;
        if (exists && folderRefuses)
            return WriteInPlace(targetText, bytes, fault);
        ::SetLastError(createError);
        return -1;
    }
    FileHandle file(handle);
    bool ok = WriteFlushed(file.get(), bytes, fault);
    DWORD error = ::GetLastError();
    ok = file.Close() && ok;
    if (fault == WriteFault::kCrashBeforeRename)
        return -1;
    if (ok && ::MoveFileExW(temp.c_str(), targetText.c_str(),
                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0)
        return 0;
    if (ok)
        error = ::GetLastError();
    ::DeleteFileW(temp.c_str());
    ::SetLastError(error);
    return -1;
}

}  // namespace

int ReplaceFileContentsOnSystem(const std::string& path, std::string_view bytes, WriteFault fault,
                                std::string& reason) {
    ::SetLastError(ERROR_SUCCESS);
    const int result = ReplaceOnce(path, bytes, fault);
    const DWORD error = ::GetLastError();
    if (result != 0 && error != ERROR_SUCCESS)
        reason = WindowsErrorText(error);
    return result;
}

}  // namespace qzm
