// Runs the emulated module on the master side of a pseudo-terminal, so that the PC side opens the slave path
// exactly like a serial port.
//
// The host keeps one descriptor of the slave open itself (and never reads it): the PC side may then open,
// close and reopen the slave without the master seeing a hang-up. The slave is put into raw mode at once so
// that nothing the PC writes is echoed back to it. Stop closes the master and the kept slave descriptor; to
// the PC this is a device that vanished (read gives EIO or end of file, poll reports POLLHUP).
//
// The module's request/answer loop (sim/module_server.h) runs on the master, optionally paced at the line
// rate of a baud rate (0 = as fast as the pty takes). Linux only: Windows has no pseudo-terminals.
#pragma once

#include <cstdint>
#include <mutex>
#include <span>
#include <string>

#include "sim/module_server.h"

namespace qzm {

class CPtyModuleHost : public CServedModule {
public:
    explicit CPtyModuleHost(ModuleIdentity identity = ModuleIdentity::Basic());
    virtual ~CPtyModuleHost();

    // Opens the pseudo-terminal and starts answering. With a non-empty linkPath, also makes a symbolic link
    // there to the slave (an existing symbolic link is replaced; any other file there is an error). Returns
    // false with a reason in errorText when anything fails (nothing is left open then). False when already
    // running.
    bool Start(const std::string& linkPath = {}, std::string* errorText = nullptr);
    // Stops the thread, closes both descriptors and removes the link. Returns promptly even while an answer
    // is being paced or the PC side does not read. Safe to call when not running.
    void Stop();

    std::string SlavePath() const;  // "/dev/pts/N" while running, empty otherwise
    std::string LinkPath() const;   // the link made by Start, empty when none
    std::string OpenPath() const;   // the path to give to the PC: the link when there is one, else the slave

private:
    void CloseAll();  // lifecycleMutex_ held

    mutable std::mutex lifecycleMutex_;  // guards slaveFd_, slavePath_, linkPath_
    int slaveFd_ = -1;                   // kept open, never read
    std::string slavePath_;
    std::string linkPath_;
};

}  // namespace qzm
