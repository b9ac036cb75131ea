#include "sim/in_process_module_host.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>

namespace qzm {

// The line between the module and the PC's port.
struct InProcessLine {
    std::mutex mutex;                 // guards every member below
    std::condition_variable changed;  // notified on every change of the members below
    std::uint64_t session = 0;        // the module run answering now; 0 = not running
    std::uint64_t lastSession = 0;    // the latest run started
    const void* holder = nullptr;     // the port that has the line open in this run
    std::deque<std::uint8_t> toModule;
    std::deque<std::uint8_t> toPc;
    bool moduleWake = false;  // the module's loop is asked to look round
};

namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

void MoveFront(std::deque<std::uint8_t>& from, std::uint8_t* to, std::size_t count) {
    std::copy_n(from.begin(), count, to);
    from.erase(from.begin(), from.begin() + static_cast<std::ptrdiff_t>(count));
}

// The module's end for one run; the run ends, for the PC too, when the loop lets go of it.
class ModuleEnd : public IModuleLine {
public:
    ModuleEnd(std::shared_ptr<InProcessLine> line, std::uint64_t session)
        : line_(std::move(line)), session_(session) {}
    ~ModuleEnd() override {
        std::lock_guard lock(line_->mutex);
        if (line_->session == session_) {
            line_->session = 0;
            line_->holder = nullptr;
            line_->toModule.clear();
            line_->toPc.clear();
        }
        line_->changed.notify_all();
    }

    Ready Wait(bool wantRead, bool wantWrite, int timeoutMs) override {
        std::unique_lock lock(line_->mutex);
        const auto ready = [&] {
            // A broken line counts only while the loop waits for it, or it would spin once it knows.
            return line_->moduleWake || ((wantRead || wantWrite) && Gone()) ||
                   (wantRead && !line_->toModule.empty()) || (wantWrite && HasRoom());
        };
        if (timeoutMs < 0)
            line_->changed.wait(lock, ready);
        else
            line_->changed.wait_for(lock, milliseconds(timeoutMs), ready);
        line_->moduleWake = false;
        Ready result;
        result.readable = wantRead && !line_->toModule.empty();
        result.writable = wantWrite && HasRoom();
        result.failed = Gone();
        return result;
    }

    long Read(std::uint8_t* buffer, std::size_t capacity) override {
        std::lock_guard lock(line_->mutex);
        if (Gone())
            return -1;
        const std::size_t n = std::min(capacity, line_->toModule.size());
        MoveFront(line_->toModule, buffer, n);
        if (n > 0)
            line_->changed.notify_all();  // room for the PC's writes
        return static_cast<long>(n);
    }

    long Write(const std::uint8_t* bytes, std::size_t length) override {
        std::lock_guard lock(line_->mutex);
        if (Gone())
            return -1;
        if (line_->holder == nullptr)
            return static_cast<long>(length);  // nothing plugged in at the other end
        const std::size_t n =
            std::min(length, CInProcessModuleHost::kLineCapacity -
                                 std::min(CInProcessModuleHost::kLineCapacity, line_->toPc.size()));
        line_->toPc.insert(line_->toPc.end(), bytes, bytes + n);
        if (n > 0)
            line_->changed.notify_all();
        return static_cast<long>(n);
    }

    void Wake() override {
        std::lock_guard lock(line_->mutex);
        line_->moduleWake = true;
        line_->changed.notify_all();
    }

private:
    bool Gone() const { return line_->session != session_; }  // line mutex held
    bool HasRoom() const {                                    // line mutex held
        return line_->holder == nullptr || line_->toPc.size() < CInProcessModuleHost::kLineCapacity;
    }

    const std::shared_ptr<InProcessLine> line_;
    const std::uint64_t session_;
};

// The PC's port on the line.
class InProcessPort : public ISerialPort {
public:
    explicit InProcessPort(std::shared_ptr<InProcessLine> line) : line_(std::move(line)) {}
    ~InProcessPort() override { Close(); }

    SerialError Open(const std::string&, int, int) override {
        std::lock_guard lock(line_->mutex);
        interrupted_ = false;
        CloseLocked();
        if (line_->session == 0)
            return Fail(kSerialNotFound, "the simulated module is not running");
        if (line_->holder != nullptr)
            return Fail(kSerialBusy, "the simulated module's line is in use");
        line_->holder = this;
        session_ = line_->session;
        line_->toPc.clear();  // what the module sent to nobody
        lastError_.clear();
        line_->changed.notify_all();
        return kSerialOk;
    }

    void Close() override {
        std::lock_guard lock(line_->mutex);
        CloseLocked();
    }

    bool IsOpen() const override {
        std::lock_guard lock(line_->mutex);
        return session_ != 0;
    }

    WaitResult WaitReadable() override {
        std::unique_lock lock(line_->mutex);
        line_->changed.wait(lock, [&] { return interrupted_ || Gone() || !line_->toPc.empty(); });
        if (interrupted_)
            return WaitResult::kInterrupted;
        return Gone() ? WaitResult::kGone : WaitResult::kReadable;
    }

    long Read(std::uint8_t* buffer, std::size_t capacity) override {
        std::lock_guard lock(line_->mutex);
        if (Gone())
            return -1;
        const std::size_t n = std::min(capacity, line_->toPc.size());
        MoveFront(line_->toPc, buffer, n);
        if (n > 0)
            line_->changed.notify_all();  // room for the module's answer
        return static_cast<long>(n);
    }

    bool Write(const std::uint8_t* bytes, std::size_t length, int stallTimeoutMs) override {
        std::unique_lock lock(line_->mutex);
        const auto stall = milliseconds(std::max(stallTimeoutMs, 0));
        const auto room = [&] {
            return CInProcessModuleHost::kLineCapacity -
                   std::min(CInProcessModuleHost::kLineCapacity, line_->toModule.size());
        };
        auto deadline = Clock::now() + stall;
        while (length > 0) {
            if (interrupted_ || Gone())
                return false;
            const std::size_t n = std::min(length, room());
            if (n == 0) {
                if (!line_->changed.wait_until(lock, deadline,
                                               [&] { return interrupted_ || Gone() || room() > 0; }))
                    return false;  // the module took nothing for the whole stall time
                continue;
            }
            line_->toModule.insert(line_->toModule.end(), bytes, bytes + n);
            line_->changed.notify_all();
            bytes += n;
            length -= n;
            deadline = Clock::now() + stall;
        }
        return true;
    }

    void Interrupt() override {
        std::lock_guard lock(line_->mutex);
        interrupted_ = true;
        line_->changed.notify_all();
    }

    std::string LastErrorText() const override {
        std::lock_guard lock(line_->mutex);
        return lastError_;
    }

private:
    // The line mutex is held by the callers of these.
    bool Gone() const { return session_ == 0 || line_->session != session_; }
    void CloseLocked() {
        if (session_ != 0 && line_->session == session_ && line_->holder == this) {
            line_->holder = nullptr;
            line_->changed.notify_all();  // the module's output now goes nowhere instead of waiting
        }
        session_ = 0;
    }
    SerialError Fail(SerialError error, std::string text) {
        lastError_ = std::move(text);
        return error;
    }

    const std::shared_ptr<InProcessLine> line_;
    // Guarded by line_->mutex:
    std::uint64_t session_ = 0;  // the module run this port has open; 0 = closed
    bool interrupted_ = false;   // set by Interrupt, cleared by Open
    std::string lastError_;
};

}  // namespace

CInProcessModuleHost::CInProcessModuleHost(ModuleIdentity identity)
    : CServedModule(std::move(identity)), line_(std::make_shared<InProcessLine>()) {}

CInProcessModuleHost::~CInProcessModuleHost() {
    Stop();
}

bool CInProcessModuleHost::Start(std::string* errorText) {
    std::lock_guard lifecycle(lifecycleMutex_);
    if (server_.Running()) {
        if (errorText != nullptr)
            *errorText = "the emulator is already running";
        return false;
    }
    std::uint64_t session = 0;
    {
        std::lock_guard lock(line_->mutex);
        session = ++line_->lastSession;
        line_->session = session;
        line_->holder = nullptr;
        line_->toModule.clear();
        line_->toPc.clear();
        line_->moduleWake = false;
    }
    // A loop that cannot start drops its end, which ends the run again.
    return server_.Start(std::make_unique<ModuleEnd>(line_, session), errorText);
}

void CInProcessModuleHost::Stop() {
    std::lock_guard lifecycle(lifecycleMutex_);
    // The run ends for the PC as the returned end goes.
    server_.Stop().reset();
}

std::unique_ptr<ISerialPort> CInProcessModuleHost::NewPort() {
    return std::make_unique<InProcessPort>(line_);
}

}  // namespace qzm
