#include "device/rs232.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <system_error>

namespace qzm {

namespace {
// How long a write may make no progress before the line counts as dead. At 9600 baud one
// byte leaves every millisecond, so a full kernel queue drains long before this.
constexpr int kWriteStallMs = 2000;
}  // namespace

CRs232::CRs232(std::unique_ptr<ISerialPort> port) : platform_(std::move(port)), port_(platform_.get()) {}

CRs232::PortChange::PortChange(CRs232& owner) : owner_(owner) {
    ++owner_.pendingChanges_;
    // A write stalled on the old port holds the lock; wake it.
    std::lock_guard active(owner_.activeMutex_);
    owner_.port_->Interrupt();
}

CRs232::PortChange::~PortChange() {
    --owner_.pendingChanges_;
}

CRs232::~CRs232() {
    Close();
}

SerialError CRs232::Open(const std::string& path, int baud, int rtsControl, std::string* errorText) {
    return Open(nullptr, path, baud, rtsControl, errorText);
}

SerialError CRs232::Open(std::unique_ptr<ISerialPort> port, const std::string& path, int baud, int rtsControl,
                         std::string* errorText) {
    const PortChange change(*this);
    std::lock_guard portLock(portMutex_);
    CloseLocked();
    if (port != nullptr || given_ != nullptr) {
        // The reader is stopped and the old port closed: nothing but a wake-up can reach it now.
        std::lock_guard active(activeMutex_);
        given_ = std::move(port);
        port_ = given_ != nullptr ? given_.get() : platform_.get();
    }
    const SerialError result = port_->Open(path, baud, rtsControl);
    if (errorText != nullptr)
        *errorText = result == kSerialOk ? std::string() : port_->LastErrorText();
    if (result != kSerialOk)
        return result;
    {
        std::lock_guard lock(bufferMutex_);
        receive_.clear();
        head_ = 0;
    }
    lost_ = false;
    run_ = true;
    open_ = true;
    try {
        reader_ = std::thread(&CRs232::ReaderLoop, this);
    } catch (const std::system_error& error) {
        // The system has no room for another thread just now (a process limit, memory). Without a
        // reader nothing would arrive: the open fails like any other, and the user can try again,
        // instead of the exception ending the program from the thread that opened the port.
        run_ = false;
        open_ = false;
        port_->Close();
        { std::lock_guard lock(bufferMutex_); }
        bufferGrew_.notify_all();
        if (errorText != nullptr)
            *errorText = "the port's reader cannot start: " + error.code().message();
        return kSerialSetupFailed;
    }
    return kSerialOk;
}

void CRs232::Close() {
    const PortChange change(*this);
    std::lock_guard portLock(portMutex_);
    CloseLocked();
}

void CRs232::CloseLocked() {
    if (reader_.joinable()) {
        // Again under the lock: an Open in between may have cleared the wake-up.
        run_ = false;
        port_->Interrupt();
        reader_.join();
    }
    port_->Close();
    open_ = false;
    {
        // A wait without limit ends on a closed port; the reader may have ended before run_ fell.
        std::lock_guard lock(bufferMutex_);
    }
    bufferGrew_.notify_all();
}

void CRs232::ReaderLoop() {
    std::uint8_t chunk[kReadChunk];
    while (run_.load()) {
        const ISerialPort::WaitResult ready = port_->WaitReadable();
        if (ready == ISerialPort::WaitResult::kInterrupted)
            break;
        const long n = ready == ISerialPort::WaitResult::kGone ? -1 : port_->Read(chunk, sizeof chunk);
        if (n < 0) {
            // The device vanished. Stop reading instead of spinning on the error; waits now end at
            // once, and Close or a new Open still work.
            std::lock_guard lock(bufferMutex_);
            lost_ = true;
            break;
        }
        if (n == 0)
            continue;
        {
            std::lock_guard lock(bufferMutex_);
            if (head_ == receive_.size()) {
                receive_.clear();
                head_ = 0;
            }
            const std::size_t room = kReceiveLimit - std::min(kReceiveLimit, receive_.size() - head_);
            receive_.insert(receive_.end(), chunk, chunk + std::min(room, static_cast<std::size_t>(n)));
        }
        bufferGrew_.notify_all();
    }
    {
        // Taken so that a waiter cannot miss the end between its check and its sleep.
        std::lock_guard lock(bufferMutex_);
    }
    bufferGrew_.notify_all();
}

bool CRs232::Send(const std::uint8_t* bytes, std::size_t length) {
    // The port is about to close: this command fails as on a closed port, and a worker sending
    // again and again cannot keep the close waiting.
    if (pendingChanges_.load() > 0)
        return false;
    std::lock_guard portLock(portMutex_);
    {
        std::lock_guard lock(bufferMutex_);
        receive_.clear();
        head_ = 0;
    }
    if (!port_->IsOpen())
        return false;
    return port_->Write(bytes, length, kWriteStallMs);
}

std::size_t CRs232::Take(std::uint8_t* destination, std::size_t max) {
    std::lock_guard lock(bufferMutex_);
    const std::size_t n = std::min(max, receive_.size() - head_);
    if (n > 0)
        std::memcpy(destination, receive_.data() + head_, n);
    head_ += n;
    // Drop what was taken once it is the larger part, so the buffer does not creep.
    if (head_ == receive_.size()) {
        receive_.clear();
        head_ = 0;
    } else if (head_ > receive_.size() / 2) {
        receive_.erase(receive_.begin(), receive_.begin() + static_cast<std::ptrdiff_t>(head_));
        head_ = 0;
    }
    return n;
}

std::size_t CRs232::Buffered() const {
    std::lock_guard lock(bufferMutex_);
    return receive_.size() - head_;
}

bool CRs232::WaitFor(std::size_t count, int timeoutMs) {
    std::unique_lock lock(bufferMutex_);
    const auto enough = [&] { return receive_.size() - head_ >= count; };
    // Nothing more can come from a device that is gone or a port that is closed: the wait ends at
    // once instead of running out its time-out.
    const auto settled = [&] { return enough() || lost_.load() || !run_.load(); };
    if (timeoutMs == -1)
        bufferGrew_.wait(lock, settled);
    else
        bufferGrew_.wait_for(lock, std::chrono::milliseconds(std::max(timeoutMs, 0)), settled);
    return enough();
}

}  // namespace qzm
