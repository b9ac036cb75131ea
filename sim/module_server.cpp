#include "sim/module_server.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <system_error>

#include "sim/frame_parser.h"

namespace qzm {

namespace {

using Clock = std::chrono::steady_clock;

// Output waiting for the line, with its read position (so that taking bytes from the front is cheap).
class OutputQueue {
public:
    bool Empty() const { return offset_ == bytes_.size(); }
    std::size_t Size() const { return bytes_.size() - offset_; }
    const std::uint8_t* Front() const { return bytes_.data() + offset_; }
    void Append(std::span<const std::uint8_t> more) { bytes_.insert(bytes_.end(), more.begin(), more.end()); }
    void Drop(std::size_t count) {
        offset_ += count;
        if (offset_ == bytes_.size()) {
            bytes_.clear();
            offset_ = 0;
        } else if (offset_ > (1u << 20) && offset_ > bytes_.size() / 2) {
            bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(offset_));
            offset_ = 0;
        }
    }

private:
    std::vector<std::uint8_t> bytes_;
    std::size_t offset_ = 0;
};

// Line-rate schedule: byte k of a run of output may go out once its line time has passed, that is at
// anchor + (k + 1) / rate. The schedule is absolute, so late wake-ups do not add up over a long answer.
class LinePacer {
public:
    // Restarts the schedule at now (new run of output, changed rate, or the PC side stopped reading).
    void Restart(std::uint64_t bytesPerSecond, Clock::time_point now) {
        rate_ = bytesPerSecond;
        anchor_ = now;
        sent_ = 0;
        active_ = true;
    }
    void Idle() { active_ = false; }
    bool Active() const { return active_; }
    std::uint64_t Rate() const { return rate_; }

    // Bytes that may be written now.
    std::uint64_t Allowed(Clock::time_point now) const {
        auto elapsed = std::chrono::duration_cast<std::chrono::nanoseconds>(now - anchor_).count();
        if (elapsed <= 0)
            return 0;
        std::uint64_t due = static_cast<std::uint64_t>(elapsed) * rate_ / 1'000'000'000u;
        return due > sent_ ? due - sent_ : 0;
    }
    void Sent(std::size_t count) { sent_ += count; }

    // Milliseconds (rounded up) until `count` more bytes may be written.
    int WaitMs(std::uint64_t count, Clock::time_point now) const {
        std::uint64_t dueNs = ((sent_ + count) * 1'000'000'000u + rate_ - 1) / rate_;
        auto at = anchor_ + std::chrono::nanoseconds(dueNs);
        if (at <= now)
            return 0;
        auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(at - now).count();
        return static_cast<int>((ns + 999'999) / 1'000'000);
    }

private:
    std::uint64_t rate_ = 0;
    Clock::time_point anchor_{};
    std::uint64_t sent_ = 0;
    bool active_ = false;
};

}  // namespace

CModuleServer::CModuleServer(ModuleIdentity identity) : emulator_(std::move(identity)) {}

CModuleServer::~CModuleServer() {
    Stop();
}

bool CModuleServer::Running() const {
    std::lock_guard lock(lifecycleMutex_);
    return thread_.joinable();
}

void CModuleServer::SetFaults(const ModuleFaults& faults) {
    std::lock_guard lock(faultsMutex_);
    faults_ = faults;
}

ModuleFaults CModuleServer::Faults() const {
    std::lock_guard lock(faultsMutex_);
    return faults_;
}

void CModuleServer::SetPacing(std::uint32_t baud) {
    paceBaud_.store(baud);
    std::lock_guard lock(lifecycleMutex_);
    if (line_)
        line_->Wake();  // a long wait for the old rate is cut short
}

bool CModuleServer::PushUnsolicited(std::span<const std::uint8_t> bytes) {
    std::lock_guard lock(lifecycleMutex_);
    if (!thread_.joinable())
        return false;
    {
        std::lock_guard inject(injectMutex_);
        injected_.insert(injected_.end(), bytes.begin(), bytes.end());
    }
    line_->Wake();
    return true;
}

bool CModuleServer::Start(std::unique_ptr<IModuleLine> line, std::string* errorText) {
    std::lock_guard lock(lifecycleMutex_);
    if (thread_.joinable()) {
        if (errorText != nullptr)
            *errorText = "the emulator is already running";
        return false;
    }
    {
        std::lock_guard inject(injectMutex_);
        injected_.clear();
    }
    stopRequested_.store(false);
    bytesReceived_.store(0);
    bytesSent_.store(0);
    commandsHandled_.store(0);
    line_ = std::move(line);
    try {
        thread_ = std::thread(&CModuleServer::Run, this, std::ref(*line_));
    } catch (const std::system_error& error) {
        // No room for another thread just now: the module is not there, as for any other failure
        // to start, instead of the exception ending the program that starts it.
        line_.reset();
        if (errorText != nullptr)
            *errorText = "the emulator's thread cannot start: " + error.code().message();
        return false;
    }
    return true;
}

std::unique_ptr<IModuleLine> CModuleServer::Stop() {
    std::lock_guard lock(lifecycleMutex_);
    if (!thread_.joinable())
        return nullptr;
    stopRequested_.store(true);
    line_->Wake();
    thread_.join();
    return std::move(line_);
}

void CModuleServer::Run(IModuleLine& line) {
    CModuleFrameParser parser;
    OutputQueue output;
    LinePacer pacer;
    // Paced input: the module takes the PC's bytes at the line rate too, so a long frame (Load
    // Album) takes its line time; the PC's writes wait on the full line meanwhile.
    LinePacer inputPacer;
    std::vector<std::uint8_t> readBuffer(64 * 1024);
    std::vector<std::uint8_t> injected;
    bool writeBlocked = false;  // the line took no more; wait until it has room
    bool lineAlive = true;      // false once the line failed; then only a stop is awaited

    while (!stopRequested_.load()) {
        {
            std::lock_guard inject(injectMutex_);
            injected.swap(injected_);
        }
        if (!injected.empty()) {
            output.Append(injected);
            injected.clear();
        }

        // Write what the line rate allows.
        int timeoutMs = -1;
        const std::uint64_t rate = paceBaud_.load() / 10;
        if (output.Empty()) {
            pacer.Idle();
        } else if (lineAlive && !writeBlocked) {
            auto now = Clock::now();
            std::size_t allowed = output.Size();
            if (rate == 0) {
                pacer.Idle();
            } else {
                if (!pacer.Active() || pacer.Rate() != rate)
                    pacer.Restart(rate, now);
                allowed = static_cast<std::size_t>(std::min<std::uint64_t>(allowed, pacer.Allowed(now)));
            }
            if (allowed > 0) {
                const long n = line.Write(output.Front(), allowed);
                if (n > 0) {
                    output.Drop(static_cast<std::size_t>(n));
                    bytesSent_.fetch_add(static_cast<std::uint64_t>(n));
                    if (rate != 0)
                        pacer.Sent(static_cast<std::size_t>(n));
                }
                if (n < 0)
                    lineAlive = false;
                else if (static_cast<std::size_t>(n) < allowed)
                    writeBlocked = true;
            }
            if (!output.Empty() && !writeBlocked && lineAlive) {
                if (rate == 0) {
                    timeoutMs = 0;
                } else {
                    // Wake for the next small chunk: about a millisecond of line time.
                    std::uint64_t chunk = std::max<std::uint64_t>(1, rate / 1000);
                    timeoutMs = pacer.WaitMs(std::min<std::uint64_t>(chunk, output.Size()), Clock::now());
                }
            }
        }

        std::size_t readAllowed = readBuffer.size();
        if (rate == 0) {
            inputPacer.Idle();
        } else if (inputPacer.Active()) {
            if (inputPacer.Rate() != rate)
                inputPacer.Restart(rate, Clock::now());
            readAllowed = static_cast<std::size_t>(
                std::min<std::uint64_t>(readBuffer.size(), inputPacer.Allowed(Clock::now())));
            if (readAllowed == 0) {
                const int wait = inputPacer.WaitMs(std::max<std::uint64_t>(1, rate / 1000), Clock::now());
                timeoutMs = timeoutMs < 0 ? wait : std::min(timeoutMs, wait);
            }
        }
        const IModuleLine::Ready ready =
            line.Wait(lineAlive && readAllowed > 0, lineAlive && writeBlocked, timeoutMs);
        if (!lineAlive)
            continue;
        if (ready.failed) {
            lineAlive = false;
            continue;
        }
        if (writeBlocked && ready.writable) {
            writeBlocked = false;
            pacer.Idle();  // the PC side held the line up; the line rate counts again from now
        }
        if (rate != 0 && !inputPacer.Active() && ready.readable) {
            // Input starts: the first bytes are due one line time from now.
            inputPacer.Restart(rate, Clock::now());
            continue;
        }
        if (readAllowed > 0 && ready.readable) {
            for (;;) {
                const long n = line.Read(readBuffer.data(), readAllowed);
                if (n == 0) {
                    inputPacer.Idle();  // the line is quiet
                    break;
                }
                if (n < 0) {
                    lineAlive = false;
                    break;
                }
                bytesReceived_.fetch_add(static_cast<std::uint64_t>(n));
                if (rate != 0) {
                    inputPacer.Sent(static_cast<std::size_t>(n));
                    readAllowed -= static_cast<std::size_t>(n);
                }
                auto frames =
                    parser.Feed(std::span(readBuffer.data(), static_cast<std::size_t>(n)), Clock::now());
                for (const ParsedFrame& frame : frames) {
                    ModuleReply reply = emulator_.Handle(frame);
                    std::vector<std::uint8_t> answer = EncodeAnswer(reply, Faults().For(frame.code));
                    commandsHandled_.fetch_add(1);
                    output.Append(answer);
                }
                if (readAllowed == 0)
                    break;
            }
        }
    }
}

}  // namespace qzm
