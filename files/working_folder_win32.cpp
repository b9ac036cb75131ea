#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>
// After windows.h, which they need.
#include <knownfolders.h>
#include <shlobj.h>

#include <atomic>
#include <cwchar>
#include <string>

#include "files/utf8_path.h"
#include "files/win32_text.h"
#include "files/working_folder.h"

namespace qzm {
namespace {

std::atomic<unsigned> g_probeCounter{0};

}  // namespace

std::string ProgramFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        if (path.size() >= 32768)
            return {};
        path.resize(path.size() * 2);
    }
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::string()
                                       : Utf8FromWide(std::wstring_view(path).substr(0, slash));
}

bool IsWritableFolder(const std::string& folder) {
    const std::wstring wide = WideFromUtf8(folder);
    if (wide.empty())
        return false;
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        return false;
    // Permissions on Windows are access lists (and a program folder under "Program Files" is closed to
    // users): the one sure answer is to create a file, which goes away when closed.
    const std::wstring probe = wide + L"\\.qzm-write-probe." + std::to_wstring(::GetCurrentProcessId()) +
                               L"." + std::to_wstring(g_probeCounter.fetch_add(1)) + L".tmp";
    const HANDLE file = ::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    ::CloseHandle(file);
    return true;
}

std::string UserDataFolder() {
    std::string base;
    wchar_t* known = nullptr;
    if (::SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_CREATE, nullptr, &known) == S_OK &&
        known != nullptr)
        base = Utf8FromWide(known);
    ::CoTaskMemFree(known);
    if (base.empty()) {
        const wchar_t* variable = ::_wgetenv(L"LOCALAPPDATA");
        if (variable != nullptr)
            base = Utf8FromWide(variable);
    }
    if (base.empty())
        return {};
    return PathUtf8(Utf8Path(base) / "QZM-K Demo");
}

}  // namespace qzm
