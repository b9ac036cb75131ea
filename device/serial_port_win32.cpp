// Windows serial ports: COM devices opened for overlapped I/O, the port list from the registry, and
// an event to wake blocked calls.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <algorithm>
#include <mutex>
#include <string>

#include "device/serial_port.h"
#include "files/win32_text.h"

namespace qzm {

namespace {

constexpr const char* kDevicePrefix = R"(\\.\)";

bool StartsWithDevicePrefix(const std::string& name) {
    return name.rfind(kDevicePrefix, 0) == 0;
}

// "COM7" and "\\.\COM7" name the same port; only the second form reaches ports above COM9.
std::string DevicePath(const std::string& name) {
    return StartsWithDevicePrefix(name) ? name : kDevicePrefix + name;
}

SerialError SerialErrorForOpen(DWORD code) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_DEV_NOT_EXIST:
            return kSerialNotFound;
        // A COM port that another program holds refuses access; rights to a port are not
        // handed out per user, so a refusal means "in use" here.
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_BUSY:
            return kSerialBusy;
        default:
            return kSerialSetupFailed;
    }
}

// Closes a handle when the scope ends unless released.
class HandleGuard {
public:
    explicit HandleGuard(HANDLE handle) : handle_(handle) {}
    ~HandleGuard() {
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
    }
    HandleGuard(const HandleGuard&) = delete;
    HandleGuard& operator=(const HandleGuard&) = delete;
    HANDLE Release() {
        const HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        return handle;
    }

private:
    HANDLE handle_;
};

class Win32SerialPort final : public ISerialPort {
public:
    Win32SerialPort()
        : wakeEvent_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          readEvent_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          writeEvent_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~Win32SerialPort() override {
        Close();
        for (HANDLE event : {wakeEvent_, readEvent_, writeEvent_}) {
            if (event != nullptr)
                CloseHandle(event);
        }
    }

    SerialError Open(const std::string& path, int baud, int rtsControl) override {
        Close();
        ResetEvent(wakeEvent_);
        if (!IsSupportedBaudRate(baud))
            return Fail(kSerialBadBaudRate, "the baud rate must be a positive number");
        if (wakeEvent_ == nullptr || readEvent_ == nullptr || writeEvent_ == nullptr)
            return Fail(kSerialSetupFailed, WindowsErrorText(ERROR_NOT_ENOUGH_MEMORY));
        if (path.empty())
            return Fail(kSerialNotFound, WindowsErrorText(ERROR_FILE_NOT_FOUND));
        // Share mode 0: no other program, nor a second instance of this one, gets the port meanwhile.
        const HANDLE h = CreateFileW(WideFromUtf8(DevicePath(path)).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                     nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            const DWORD err = GetLastError();
            return Fail(SerialErrorForOpen(err), WindowsErrorText(err));
        }
        HandleGuard owned(h);
        // A larger driver queue rides out a busy moment of the reader at high rates; only a hint,
        // given before anything else as drivers expect.
        SetupComm(h, 65536, 4096);
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        if (!GetCommState(h, &dcb)) {
            // A file or a device that is no serial port.
            return Fail(kSerialNotTerminal, WindowsErrorText(GetLastError()));
        }
        dcb.BaudRate = static_cast<DWORD>(baud);
        dcb.ByteSize = 8;
        dcb.Parity = NOPARITY;
        dcb.StopBits = ONESTOPBIT;
        dcb.fBinary = TRUE;
        dcb.fParity = FALSE;
        dcb.fOutxCtsFlow = FALSE;
        dcb.fOutxDsrFlow = FALSE;
        dcb.fDtrControl = DTR_CONTROL_DISABLE;
        dcb.fDsrSensitivity = FALSE;
        dcb.fTXContinueOnXoff = TRUE;
        dcb.fOutX = FALSE;
        dcb.fInX = FALSE;
        dcb.fErrorChar = FALSE;
        dcb.fNull = FALSE;
        dcb.fRtsControl = (rtsControl & 3) == 1 ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
        dcb.fAbortOnError = FALSE;
        // Unused without software flow control, but drivers refuse a state where the two are equal.
        dcb.XonChar = 0x11;
        dcb.XoffChar = 0x13;
        if (!SetCommState(h, &dcb)) {
            const DWORD err = GetLastError();
            // Drivers refuse a rate they cannot make as an invalid parameter. Whether the rate was
            // the trouble shows when the same state at a rate every port has is taken.
            DCB probe = dcb;
            probe.BaudRate = CBR_9600;
            if (baud != CBR_9600 && SetCommState(h, &probe))
                return Fail(kSerialBadBaudRate, "the port cannot run at " + std::to_string(baud) +
                                                    " baud: " + WindowsErrorText(err));
            return Fail(kSerialSetupFailed, WindowsErrorText(err));
        }
        DCB actual{};
        actual.DCBlength = sizeof actual;
        if (GetCommState(h, &actual) && !IsCloseEnoughBaudRate(static_cast<int>(actual.BaudRate), baud)) {
            return Fail(kSerialBadBaudRate, "the port cannot run at " + std::to_string(baud) +
                                                " baud; the nearest it offers is " +
                                                std::to_string(actual.BaudRate));
        }
        // The lines again by hand: some drivers only act on these. Ports without modem lines
        // answer "not supported", which is harmless.
        EscapeCommFunction(h, CLRDTR);
        EscapeCommFunction(h, (rtsControl & 3) == 1 ? SETRTS : CLRRTS);
        // All zero: a read waits until every byte asked for has come, a write until all has left.
        // WaitReadable relies on the first, Write bounds the second itself.
        COMMTIMEOUTS timeouts{};
        if (!SetCommTimeouts(h, &timeouts))
            return Fail(kSerialSetupFailed, WindowsErrorText(GetLastError()));
        PurgeComm(h, PURGE_RXABORT | PURGE_RXCLEAR | PURGE_TXABORT | PURGE_TXCLEAR);
        {
            std::lock_guard lock(handleMutex_);
            handle_ = owned.Release();
        }
        baud_ = baud;
        hasKeptByte_ = false;
        lastError_.clear();
        return kSerialOk;
    }

    void Close() override {
        HANDLE h = INVALID_HANDLE_VALUE;
        {
            std::lock_guard lock(handleMutex_);
            std::swap(h, handle_);
        }
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
        hasKeptByte_ = false;
    }

    bool IsOpen() const override {
        std::lock_guard lock(handleMutex_);
        return handle_ != INVALID_HANDLE_VALUE;
    }

    WaitResult WaitReadable() override {
        if (WaitForSingleObject(wakeEvent_, 0) == WAIT_OBJECT_0)
            return WaitResult::kInterrupted;
        if (hasKeptByte_)
            return WaitResult::kReadable;
        const HANDLE h = handle_;
        DWORD errors = 0;
        COMSTAT status{};
        // INVALID_HANDLE_VALUE would name this process to the system, not fail; nothing comes on a closed
        // port.
        if (h == INVALID_HANDLE_VALUE || !ClearCommError(h, &errors, &status))
            return WaitResult::kGone;
        if (status.cbInQue > 0)
            return WaitResult::kReadable;
        // Waiting for comm events is unreliable (some drivers and emulation layers fail it unless an
        // event is already pending), so wait with a read of one byte instead and keep that byte.
        DWORD got = 0;
        DWORD err = 0;
        if (!Transfer(h, readEvent_, false, &keptByte_, 1, INFINITE, &got, &err))
            return err == ERROR_OPERATION_ABORTED && Woken() ? WaitResult::kInterrupted : WaitResult::kGone;
        if (got == 1) {
            hasKeptByte_ = true;
            return WaitResult::kReadable;
        }
        // Reads wait for their byte, so coming back with none means the cancel won or the line is gone.
        return Woken() ? WaitResult::kInterrupted : WaitResult::kGone;
    }

    long Read(std::uint8_t* buffer, std::size_t capacity) override {
        if (capacity == 0)
            return 0;
        std::size_t n = 0;
        if (hasKeptByte_) {
            buffer[n++] = keptByte_;
            hasKeptByte_ = false;
        }
        const HANDLE h = handle_;
        DWORD errors = 0;
        COMSTAT status{};
        if (h == INVALID_HANDLE_VALUE || !ClearCommError(h, &errors, &status))
            return n > 0 ? static_cast<long>(n) : -1;
        const DWORD want = static_cast<DWORD>(
            std::min<std::size_t>(status.cbInQue, std::min<std::size_t>(capacity - n, 1u << 30)));
        if (want == 0)
            return static_cast<long>(n);
        DWORD got = 0;
        DWORD err = 0;
        // The bytes are queued already, so this ends at once; the wake-up only guards a driver
        // that counted more than it hands out.
        if (!Transfer(h, readEvent_, false, buffer + n, want, INFINITE, &got, &err) && got == 0 && n == 0 &&
            !(err == ERROR_OPERATION_ABORTED && Woken()))
            return -1;
        return static_cast<long>(n + got);
    }

    bool Write(const std::uint8_t* bytes, std::size_t length, int stallTimeoutMs) override {
        const HANDLE h = handle_;
        if (h == INVALID_HANDLE_VALUE) {
            lastError_ = "the port is not open";
            return false;
        }
        // Pieces of about a tenth of a second on the line: an overlapped write tells nothing about
        // its progress until it ends, so each piece gets the stall time plus its own line time.
        const int baud = std::max(baud_, 1);
        const std::size_t piece = std::max<std::size_t>(64, static_cast<std::size_t>(baud) / 100);
        std::size_t done = 0;
        while (done < length) {
            if (Woken()) {
                lastError_ = "the write was called off";
                return false;
            }
            const std::size_t size = std::min(piece, length - done);
            const long long lineMs = static_cast<long long>(size) * 10 * 1000 / baud + 1;
            const long long budget = std::max(stallTimeoutMs, 0) + lineMs;
            DWORD got = 0;
            DWORD err = 0;
            const bool ok = Transfer(
                h, writeEvent_, true, const_cast<std::uint8_t*>(bytes + done), static_cast<DWORD>(size),
                static_cast<DWORD>(std::min<long long>(budget, INFINITE - 1)), &got, &err);
            done += got;
            if (!ok || got == 0) {
                if (err == ERROR_TIMEOUT || (ok && got == 0))
                    lastError_ = "the line takes no data";
                else if (err == ERROR_OPERATION_ABORTED && Woken())
                    lastError_ = "the write was called off";
                else
                    lastError_ = WindowsErrorText(err);
                return false;
            }
        }
        return true;
    }

    // Only sets the event: the thread that waits cancels its own transfer when it sees it, so no
    // other thread ever touches a handle that Close may be closing at that moment.
    void Interrupt() override { SetEvent(wakeEvent_); }

    std::string LastErrorText() const override { return lastError_; }

private:
    SerialError Fail(SerialError error, std::string text) {
        lastError_ = std::move(text);
        return error;
    }

    bool Woken() const { return WaitForSingleObject(wakeEvent_, 0) == WAIT_OBJECT_0; }

    // One overlapped read or write that waits for its end, the wake-up event or timeoutMs, whichever
    // comes first. A transfer cut short is cancelled and waited for, so the buffer and the
    // OVERLAPPED are free again on return; *got still counts what it moved. On failure *err holds
    // the reason: ERROR_TIMEOUT, ERROR_OPERATION_ABORTED when woken, or the system's code.
    bool Transfer(HANDLE h, HANDLE event, bool write, std::uint8_t* data, DWORD size, DWORD timeoutMs,
                  DWORD* got, DWORD* err) {
        *got = 0;
        *err = 0;
        OVERLAPPED ov{};
        ResetEvent(event);
        ov.hEvent = event;
        const BOOL started =
            write ? WriteFile(h, data, size, nullptr, &ov) : ReadFile(h, data, size, nullptr, &ov);
        if (!started && GetLastError() != ERROR_IO_PENDING) {
            *err = GetLastError();
            return false;
        }
        DWORD stop = 0;
        if (!started) {
            const HANDLE waits[2] = {event, wakeEvent_};
            // Some USB adapters leave a read pending for ever when they are pulled out; a wait
            // without limit looks at the port now and then and ends when it no longer answers.
            const DWORD slice = timeoutMs == INFINITE ? kDeviceCheckMs : timeoutMs;
            for (;;) {
                const DWORD which = WaitForMultipleObjects(2, waits, FALSE, slice);
                if (which == WAIT_OBJECT_0)
                    break;
                DWORD errors = 0;
                COMSTAT status{};
                if (which == WAIT_TIMEOUT && timeoutMs == INFINITE) {
                    if (ClearCommError(h, &errors, &status))
                        continue;
                    stop = GetLastError();
                } else {
                    stop = which == WAIT_TIMEOUT ? ERROR_TIMEOUT : ERROR_OPERATION_ABORTED;
                }
                CancelIoEx(h, &ov);
                break;
            }
        }
        if (!GetOverlappedResult(h, &ov, got, TRUE)) {
            const DWORD code = GetLastError();
            *err = stop != 0 && code == ERROR_OPERATION_ABORTED ? stop : code;
            return false;
        }
        // Finished after all, just as the wait ended: what moved counts.
        return true;
    }

    static constexpr DWORD kDeviceCheckMs = 1000;

    // Guards handle_ against the swap in Close while another thread asks IsOpen. Reads and writes
    // use the handle without it: the owner runs them only while the port is open.
    mutable std::mutex handleMutex_;
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    const HANDLE wakeEvent_;   // manual reset: set by Interrupt, cleared by Open
    const HANDLE readEvent_;   // for the reader thread's transfers
    const HANDLE writeEvent_;  // for the sender's transfers
    int baud_ = 9600;
    // The byte that the read WaitReadable waits with brought; Read hands it out first.
    std::uint8_t keptByte_ = 0;
    bool hasKeptByte_ = false;
    // Written by Open and Write, which the owner never runs at the same time.
    std::string lastError_;
};

// Splits "HKLM\HARDWARE\..." into the hive and the path below it.
bool SplitRegistryKey(const std::string& key, HKEY* hive, std::string* path) {
    static const struct {
        const char* prefix;
        HKEY hive;
    } kHives[] = {{"HKLM\\", HKEY_LOCAL_MACHINE},
                  {"HKEY_LOCAL_MACHINE\\", HKEY_LOCAL_MACHINE},
                  {"HKCU\\", HKEY_CURRENT_USER},
                  {"HKEY_CURRENT_USER\\", HKEY_CURRENT_USER}};
    for (const auto& h : kHives) {
        const std::size_t n = std::char_traits<char>::length(h.prefix);
        if (key.size() > n && CompareStringOrdinal(WideFromUtf8(key.substr(0, n)).c_str(), -1,
                                                   WideFromUtf8(h.prefix).c_str(), -1, TRUE) == CSTR_EQUAL) {
            *hive = h.hive;
            *path = key.substr(n);
            return true;
        }
    }
    return false;
}

bool IsComName(const std::string& name) {
    if (name.size() < 4 ||
        CompareStringOrdinal(WideFromUtf8(name.substr(0, 3)).c_str(), -1, L"COM", -1, TRUE) != CSTR_EQUAL)
        return false;
    return std::all_of(name.begin() + 3, name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

bool IsCharacterDevice(const std::string& path) {
    const std::string name = StartsWithDevicePrefix(path) ? path.substr(4) : path;
    // A bare name must be a COM port; other device names only with the device prefix, so that a
    // plain word is never taken for one.
    if (name.empty() || (!StartsWithDevicePrefix(path) && !IsComName(name)))
        return false;
    if (name.find_first_of("\\/") != std::string::npos)
        return false;
    wchar_t target[1024];
    return QueryDosDeviceW(WideFromUtf8(name).c_str(), target, 1024) != 0;
}

std::vector<std::string> EnumerateSerialPorts(const PortEnumerationRoots& roots) {
    std::vector<std::string> names;
    HKEY hive = nullptr;
    std::string path;
    if (!SplitRegistryKey(roots.registryKey, &hive, &path))
        return names;
    HKEY key = nullptr;
    if (RegOpenKeyExW(hive, WideFromUtf8(path).c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return names;
    for (DWORD index = 0;; ++index) {
        // Value names are driver device paths, at most 16383 characters; the data is the port name.
        wchar_t valueName[16384];
        DWORD valueNameLength = 16384;
        wchar_t data[256];
        DWORD dataBytes = sizeof data;
        DWORD type = 0;
        const LONG result = RegEnumValueW(key, index, valueName, &valueNameLength, nullptr, &type,
                                          reinterpret_cast<BYTE*>(data), &dataBytes);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result != ERROR_SUCCESS || type != REG_SZ)
            continue;
        std::wstring port(data, dataBytes / sizeof(wchar_t));
        while (!port.empty() && port.back() == L'\0')
            port.pop_back();
        if (!port.empty())
            names.push_back(Utf8FromWide(port));
    }
    RegCloseKey(key);
    std::sort(names.begin(), names.end(), NaturalLess);
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

std::unique_ptr<ISerialPort> CreateSerialPort() {
    return std::make_unique<Win32SerialPort>();
}

}  // namespace qzm
