// The emulated module's request/answer loop over any byte line: a pseudo-terminal, a line inside the
// program, or a serial port. The loop reads the PC's bytes, cuts frames, answers them and writes the
// answers, optionally paced at the line rate of a baud rate (baud / 10 bytes per second, both ways), on
// a thread of its own.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "sim/module_emulator.h"
#include "sim/module_faults.h"
#include "sim/module_identity.h"

namespace qzm {

// The module's end of a line, as the loop needs it. Only the loop's thread calls Wait, Read and
// Write; Wake may be called from any thread.
class IModuleLine {
public:
    struct Ready {
        bool readable = false;  // input is there, or the line hung up (the next Read tells which)
        bool writable = false;  // there is room for output again
        bool failed = false;    // the line is broken; nothing more goes through it
    };

    virtual ~IModuleLine() = default;
    // Waits until input is there (wantRead), there is room for output (wantWrite), the line failed,
    // Wake was called or timeoutMs passed (-1 = no limit, 0 = just look).
    virtual Ready Wait(bool wantRead, bool wantWrite, int timeoutMs) = 0;
    // > 0 bytes read, 0 nothing there now, < 0 the line is gone.
    virtual long Read(std::uint8_t* buffer, std::size_t capacity) = 0;
    // Bytes the line took now (0 when it is full), < 0 the line is gone. Never blocks for long.
    virtual long Write(const std::uint8_t* bytes, std::size_t length) = 0;
    // Makes the Wait in progress, or else the next one, return at once.
    virtual void Wake() = 0;
};

class CModuleServer {
public:
    explicit CModuleServer(ModuleIdentity identity);
    ~CModuleServer();

    CModuleServer(const CModuleServer&) = delete;
    CModuleServer& operator=(const CModuleServer&) = delete;

    // Starts answering over line on a thread of its own. False with a reason when already running or
    // when the thread cannot start (the line is then dropped).
    bool Start(std::unique_ptr<IModuleLine> line, std::string* errorText);
    // Ends the thread and hands the line back, so that its owner closes it after the loop let go of
    // it. Returns promptly even while an answer is being paced or the PC does not read. Null when not
    // running.
    std::unique_ptr<IModuleLine> Stop();
    bool Running() const;

    // Faults apply to every answer encoded after the call; they may be changed at any time from any
    // thread.
    void SetFaults(const ModuleFaults& faults);
    ModuleFaults Faults() const;

    // Baud rate whose line time the answers and requests take (baud / 10 bytes per second); 0 =
    // unpaced.
    void SetPacing(std::uint32_t baud);
    std::uint32_t Pacing() const { return paceBaud_.load(); }

    // Puts bytes on the line right now, as if the module sent them unasked (behind any answer still
    // being sent). False when not running.
    bool PushUnsolicited(std::span<const std::uint8_t> bytes);

    CModuleEmulator& Emulator() { return emulator_; }

    std::uint64_t BytesReceived() const { return bytesReceived_.load(); }
    std::uint64_t BytesSent() const { return bytesSent_.load(); }
    std::uint64_t CommandsHandled() const { return commandsHandled_.load(); }

private:
    void Run(IModuleLine& line);

    CModuleEmulator emulator_;  // thread-safe on its own

    mutable std::mutex lifecycleMutex_;  // guards line_ and thread_
    std::unique_ptr<IModuleLine> line_;
    std::thread thread_;

    mutable std::mutex faultsMutex_;  // guards faults_
    ModuleFaults faults_;

    std::mutex injectMutex_;  // guards injected_ (bytes handed over to the thread by PushUnsolicited)
    std::vector<std::uint8_t> injected_;

    std::atomic<bool> stopRequested_{false};
    std::atomic<std::uint32_t> paceBaud_{0};
    std::atomic<std::uint64_t> bytesReceived_{0};
    std::atomic<std::uint64_t> bytesSent_{0};
    std::atomic<std::uint64_t> commandsHandled_{0};
};

// What every host of the emulated module offers its owner, whichever line it serves: the emulator,
// the faults and pace of the answers, and the line's counts. Each host adds its line.
class CServedModule {
public:
    CServedModule(const CServedModule&) = delete;
    CServedModule& operator=(const CServedModule&) = delete;

    // Faults apply to every answer encoded after the call; they may be changed at any time from any thread.
    void SetFaults(const ModuleFaults& faults) { server_.SetFaults(faults); }
    ModuleFaults Faults() const { return server_.Faults(); }
    // Baud rate whose line time the answers and requests take (baud / 10 bytes per second); 0 = unpaced.
    void SetPacing(std::uint32_t baud) { server_.SetPacing(baud); }
    std::uint32_t Pacing() const { return server_.Pacing(); }
    // Puts bytes on the line right now, as if the module sent them unasked (behind any answer still being
    // sent). False when the host is not running.
    bool PushUnsolicited(std::span<const std::uint8_t> bytes) { return server_.PushUnsolicited(bytes); }

    CModuleEmulator& Emulator() { return server_.Emulator(); }
    CModuleServer& Server() { return server_; }
    bool Running() const { return server_.Running(); }

    std::uint64_t BytesReceived() const { return server_.BytesReceived(); }
    std::uint64_t BytesSent() const { return server_.BytesSent(); }
    std::uint64_t CommandsHandled() const { return server_.CommandsHandled(); }

protected:
    explicit CServedModule(ModuleIdentity identity) : server_(std::move(identity)) {}
    // Each host stops its loop in its own destructor, before its line goes.
    ~CServedModule() = default;

    CModuleServer server_;  // thread-safe on its own
};

}  // namespace qzm
