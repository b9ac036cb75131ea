// Runs the emulated module on the master side of a pseudo-terminal, so that the PC side opens the slave path
// exactly like a serial port.
//
// The host keeps one descriptor of the slave open itself (and never reads it): the PC side may then open,
// close and reopen the slave without the master seeing a hang-up. The slave is put into raw mode at once so
// that nothing the PC writes is echoed back to it. Stop closes the master and the kept slave descriptor; to
// the PC this is a device that vanished (read gives EIO or end of file, poll reports POLLHUP).
//
// One thread of the host reads the master, cuts frames, answers them and writes the answers without blocking,
// optionally paced at the line rate of a baud rate (baud / 10 bytes per second, 0 = as fast as the pty
// takes).
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "sim/module_emulator.h"
#include "sim/module_faults.h"
#include "sim/module_identity.h"

namespace qzm {

class CPtyModuleHost {
public:
    explicit CPtyModuleHost(ModuleIdentity identity = ModuleIdentity::Basic());
    virtual ~CPtyModuleHost();

    CPtyModuleHost(const CPtyModuleHost&) = delete;
    CPtyModuleHost& operator=(const CPtyModuleHost&) = delete;

    // Opens the pseudo-terminal and starts answering. With a non-empty linkPath, also makes a symbolic link
    // there to the slave (an existing symbolic link is replaced; any other file there is an error). Returns
    // false with a reason in errorText when anything fails (nothing is left open then). False when already
    // running.
    bool Start(const std::string& linkPath = {}, std::string* errorText = nullptr);
    // Stops the thread, closes both descriptors and removes the link. Returns promptly even while an answer
    // is being paced or the PC side does not read. Safe to call when not running.
    void Stop();
    bool Running() const;

    std::string SlavePath() const;  // "/dev/pts/N" while running, empty otherwise
    std::string LinkPath() const;   // the link made by Start, empty when none
    std::string OpenPath() const;   // the path to give to the PC: the link when there is one, else the slave

    // Faults apply to every answer encoded after the call; they may be changed at any time from any thread.
    void SetFaults(const ModuleFaults& faults);
    ModuleFaults Faults() const;

    // Baud rate whose line time the answers take (baud / 10 bytes per second); 0 = unpaced.
    void SetPacing(std::uint32_t baud);
    std::uint32_t Pacing() const { return paceBaud_.load(); }

    // Puts bytes on the line right now, as if the module sent them unasked (behind any answer still being
    // sent). False when the host is not running.
    bool PushUnsolicited(std::span<const std::uint8_t> bytes);

    CModuleEmulator& Emulator() { return emulator_; }

    std::uint64_t BytesReceived() const { return bytesReceived_.load(); }
    std::uint64_t BytesSent() const { return bytesSent_.load(); }
    std::uint64_t CommandsHandled() const { return commandsHandled_.load(); }

private:
    void Run(int masterFd, int wakeFd);
    void Wake() const;  // lifecycleMutex_ held
    void CloseAll();    // lifecycleMutex_ held

    CModuleEmulator emulator_;  // thread-safe on its own

    mutable std::mutex
        lifecycleMutex_;  // guards masterFd_, slaveFd_, wakeFd_, slavePath_, linkPath_, thread_
    int masterFd_ = -1;
    int slaveFd_ = -1;  // kept open, never read
    int wakeFd_ = -1;   // eventfd: wakes the thread for stop and for unsolicited bytes
    std::string slavePath_;
    std::string linkPath_;
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

}  // namespace qzm
