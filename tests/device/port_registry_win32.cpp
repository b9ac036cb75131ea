#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <string>

#include "files/win32_text.h"
#include "port_registry.h"

namespace {

HKEY OpenTestKey(const std::string& path) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, qzm::WideFromUtf8(path).c_str(), 0, nullptr, REG_OPTION_VOLATILE,
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
    RegDeleteTreeW(HKEY_CURRENT_USER, qzm::WideFromUtf8(path_).c_str());
    // The parent goes too once no other test uses it; deleting a key with subkeys fails harmlessly.
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\qzm-tests");
}

void TestPortRegistry::AddPort(const std::string& device, const std::string& port) {
    const HKEY key = OpenTestKey(path_);
    const std::wstring text = qzm::WideFromUtf8(port);
    RegSetValueExW(key, qzm::WideFromUtf8(device).c_str(), 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

void TestPortRegistry::AddNumber(const std::string& name, unsigned value) {
    const HKEY key = OpenTestKey(path_);
    const DWORD number = value;
    RegSetValueExW(key, qzm::WideFromUtf8(name).c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                   sizeof number);
    RegCloseKey(key);
}
