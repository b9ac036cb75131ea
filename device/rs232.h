// The port worker: opens and closes the port, owns the reader thread and the receive buffer.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "device/serial_port.h"

namespace qzm {

class CRs232 {
public:
    // The receive buffer never holds more than the largest answer: the album's 816 040 data bytes
    // and the header. A module that floods the line cannot make the program grow beyond it; what
    // does not fit is dropped, and the exchange sees a broken answer.
    static constexpr std::size_t kReceiveLimit = 6 + 816040;
    // Bytes taken from the port per read.
    static constexpr std::size_t kReadChunk = 4096;

    explicit CRs232(std::unique_ptr<ISerialPort> port = CreateSerialPort());
    ~CRs232();
    CRs232(const CRs232&) = delete;
    CRs232& operator=(const CRs232&) = delete;

    // Closes any open port, opens path and starts the reader. errorText (may be null) receives the
    // system's words for a failure. A reader thread that cannot be started fails the open
    // (kSerialSetupFailed) and leaves the port closed.
    SerialError Open(const std::string& path, int baud, int rtsControl, std::string* errorText);
    // The same over port instead of the platform's serial port (a module emulated inside the
    // program): the port is used until the next Open, which goes back to the platform's unless it
    // brings a port of its own. path is handed to the port's Open.
    SerialError Open(std::unique_ptr<ISerialPort> port, const std::string& path, int baud, int rtsControl,
                     std::string* errorText);
    // Stops the reader (it wakes at once) and closes the port; returns after the reader ended.
    // Open, Close and Send may be called from different threads: a write in progress is woken and
    // finishes before the descriptor is closed, and none starts on a closed one.
    void Close();
    bool IsOpen() const { return open_.load(); }
    // True once the reader saw the device vanish (read error or end of file).
    bool IsLost() const { return lost_.load(); }

    // Empties the receive buffer, then writes the bytes; false when the write failed.
    bool Send(const std::uint8_t* bytes, std::size_t length);
    // Moves up to max buffered bytes to destination, oldest first; returns how many.
    std::size_t Take(std::uint8_t* destination, std::size_t max);
    std::size_t Buffered() const;
    // True once count bytes are buffered; false when timeoutMs passed first, and at once on a
    // vanished or closed port, where nothing can come. -1 waits without limit; 0 and every other
    // negative value check once.
    bool WaitFor(std::size_t count, int timeoutMs);

private:
    // Announces an Open or Close for its lifetime, so that sends step aside until it has the lock.
    class PortChange {
    public:
        explicit PortChange(CRs232& owner);
        ~PortChange();
        PortChange(const PortChange&) = delete;
        PortChange& operator=(const PortChange&) = delete;

    private:
        CRs232& owner_;
    };

    void ReaderLoop();
    void CloseLocked();

    // Guards opening, closing and writing the port, and reader_; taken before bufferMutex_ and
    // activeMutex_. The reader thread uses the port without it: it runs only between Open and the
    // join in Close.
    std::mutex portMutex_;
    const std::unique_ptr<ISerialPort> platform_;  // the platform's serial port, made once
    // Guards port_ and given_ against their change by Open, for the wake-up of PortChange, which
    // cannot wait for portMutex_. Changed only under portMutex_ too, with the reader stopped.
    std::mutex activeMutex_;
    ISerialPort* port_;                   // the port in use: platform_ or given_
    std::unique_ptr<ISerialPort> given_;  // the port brought by the last Open, if it brought one
    std::thread reader_;                  // started by Open, joined by Close
    std::atomic<bool> open_{false};       // written under portMutex_, read by anyone
    std::atomic<int> pendingChanges_{0};  // Open and Close calls waiting for or holding portMutex_
    std::atomic<bool> run_{false};        // set by the caller, polled by the reader
    std::atomic<bool> lost_{false};       // set by the reader, cleared by Open

    mutable std::mutex bufferMutex_;      // guards receive_ and head_
    std::condition_variable bufferGrew_;  // signalled by the reader after each append and when it ends
    std::vector<std::uint8_t> receive_;   // bytes received; those before head_ are already taken
    std::size_t head_ = 0;
};

}  // namespace qzm
