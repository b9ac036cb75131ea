// The byte stream the protocol talks through.
#pragma once

#include <cstdint>
#include <string>

namespace qzm {

class CConnection {
public:
    virtual ~CConnection() = default;

    virtual bool Open(const std::string& portName, int baudRate);
    virtual void Close() {}
    // Discards input that arrived before this command, then writes the bytes.
    virtual int Send(int length, const std::uint8_t* bytes) = 0;
    // Moves up to count buffered bytes to destination; count becomes the number moved.
    virtual int Receive(int& count, std::uint8_t* destination) = 0;
    // 0 once count bytes are buffered, -1 when timeoutMs passed first or nothing more can come
    // (-1 waits without limit, 0 checks once). This version polls HasBytes; a connection with its
    // own reader overrides it.
    virtual int WaitForBytes(int timeoutMs, int count);
    virtual int GetReadChunk() { return 1; }
    virtual bool HasBytes(int count);
};

}  // namespace qzm
