#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <string>

#include "port_registry.h"

namespace {

std::wstring Widen(const std::string& text) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

HKEY OpenTestKey(const std::string& path) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, Widen(path).c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        std::abort();
    return key;
}

}  // namespace

TestPortRegistry::TestPortRegistry() {
    static std::atomic<int> counter{0};
    path_ = "Software\\qzm-tests\\ports-" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(++counter);
    // Volatile: a test that dies before removing it leaves nothing behind past the session.
    RegCloseKey(OpenTestKey("Software\\qzm-tests"));
    RegCloseKey(OpenTestKey(path_));
}

TestPortRegistry::~TestPortRegistry() {
    RegDeleteTreeW(HKEY_CURRENT_USER, Widen(path_).c_str());
    // The parent goes too once no other test uses it; deleting a key with subkeys fails harmlessly.
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\qzm-tests");
}

void TestPortRegistry::AddPort(const std::string& device, const std::string& port) {
    const HKEY key = OpenTestKey(path_);
    const std::wstring text = Widen(port);
    RegSetValueExW(key, Widen(device).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

void TestPortRegistry::AddNumber(const std::string& name, unsigned value) {
    const HKEY key = OpenTestKey(path_);
    const DWORD number = value;
    RegSetValueExW(key, Widen(name).c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                   sizeof number);
    RegCloseKey(key);
}
