#include "sim/serial_module_host.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <system_error>
#include <thread>
#include <vector>

namespace qzm {

namespace {

// The loop's view of an open serial port. A reader thread of its own waits on the port (which only offers
// a blocking wait) and hands the bytes over; writes go to the port in chunks of about 50 ms of line time,
// so that a stop never waits behind a long answer.
class SerialPortLine : public IModuleLine {
public:
    SerialPortLine(ISerialPort& port, int baud)
        : port_(port), chunk_(static_cast<std::size_t>(std::max(64, baud / 10 / 20))) {}
    ~SerialPortLine() override {
        port_.Interrupt();
        if (reader_.joinable())
            reader_.join();
    }

    bool StartReader(std::string* errorText) {
        try {
            reader_ = std::thread(&SerialPortLine::ReadLoop, this);
        } catch (const std::system_error& error) {
            if (errorText != nullptr)
                *errorText = "the port's reader cannot start: " + error.code().message();
            return false;
        }
        return true;
    }

    Ready Wait(bool wantRead, bool wantWrite, int timeoutMs) override {
        std::unique_lock lock(mutex_);
        // Writing blocks in the port itself, so there is always room.
        const auto ready = [&] { return wake_ || wantWrite || (wantRead && (gone_ || !inbox_.empty())); };
        if (timeoutMs < 0)
            changed_.wait(lock, ready);
        else
            changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
        wake_ = false;
        Ready result;
        result.readable = wantRead && (!inbox_.empty() || gone_);
        result.writable = wantWrite;
        return result;
    }

    long Read(std::uint8_t* buffer, std::size_t capacity) override {
        std::lock_guard lock(mutex_);
        if (inbox_.empty())
            return gone_ ? -1 : 0;
        const std::size_t n = std::min(capacity, inbox_.size());
        std::memcpy(buffer, inbox_.data(), n);
        inbox_.erase(inbox_.begin(), inbox_.begin() + static_cast<std::ptrdiff_t>(n));
        return static_cast<long>(n);
    }

    long Write(const std::uint8_t* bytes, std::size_t length) override {
        const std::size_t n = std::min(length, chunk_);
        return port_.Write(bytes, n, kWriteStallMs) ? static_cast<long>(n) : -1;
    }

    void Wake() override {
        std::lock_guard lock(mutex_);
        wake_ = true;
        changed_.notify_all();
    }

private:
    static constexpr int kWriteStallMs = 2000;

    void ReadLoop() {
        std::vector<std::uint8_t> buffer(4096);
        for (;;) {
            const ISerialPort::WaitResult ready = port_.WaitReadable();
            if (ready == ISerialPort::WaitResult::kInterrupted)
                return;
            const long n =
                ready == ISerialPort::WaitResult::kGone ? -1 : port_.Read(buffer.data(), buffer.size());
            std::lock_guard lock(mutex_);
            if (n < 0) {
                gone_ = true;  // the adapter was pulled; the loop learns it from Read
                changed_.notify_all();
                return;
            }
            inbox_.insert(inbox_.end(), buffer.begin(), buffer.begin() + n);
            changed_.notify_all();
        }
    }

    ISerialPort& port_;
    const std::size_t chunk_;
    std::thread reader_;

    std::mutex mutex_;                 // guards inbox_, wake_ and gone_
    std::condition_variable changed_;  // notified on every change of them
    std::vector<std::uint8_t> inbox_;  // read from the port, not yet taken by the loop
    bool wake_ = false;
    bool gone_ = false;
};

}  // namespace

CSerialModuleHost::CSerialModuleHost(ModuleIdentity identity, std::unique_ptr<ISerialPort> port)
    : CServedModule(std::move(identity)), port_(std::move(port)) {}

CSerialModuleHost::~CSerialModuleHost() {
    Stop();
}

bool CSerialModuleHost::Start(const std::string& portName, std::string* errorText) {
    std::lock_guard lifecycle(lifecycleMutex_);
    if (server_.Running()) {
        if (errorText != nullptr)
            *errorText = "the emulator is already running";
        return false;
    }
    const int baud = server_.Pacing() != 0 ? static_cast<int>(server_.Pacing()) : kDefaultBaud;
    if (port_->Open(portName, baud, 0) != kSerialOk) {
        if (errorText != nullptr)
            *errorText = portName + ": " + port_->LastErrorText();
        return false;
    }
    auto line = std::make_unique<SerialPortLine>(*port_, baud);
    if (!line->StartReader(errorText) || !server_.Start(std::move(line), errorText)) {
        port_->Close();
        return false;
    }
    return true;
}

void CSerialModuleHost::Stop() {
    std::lock_guard lifecycle(lifecycleMutex_);
    if (!server_.Running())
        return;
    // The reader ends as the returned line goes; then the port closes.
    server_.Stop().reset();
    port_->Close();
}

}  // namespace qzm
