#include "sim/module_faults.h"

#include <algorithm>

#include "device/qzm_frame.h"

namespace qzm {

std::uint8_t JunkByte(std::size_t index) {
    auto b = static_cast<std::uint8_t>(0x5A + 37 * index);
    return b == kFrameSync ? std::uint8_t{0x00} : b;
}

ModuleFaults ModuleFaults::For(std::uint8_t commandCode) const {
    return onlyCommand && *onlyCommand != commandCode ? ModuleFaults{} : *this;
}

std::vector<std::uint8_t> EncodeAnswer(const ModuleReply& reply, const ModuleFaults& faults) {
    std::vector<std::uint8_t> line;
    if (faults.silent)
        return line;

    std::uint8_t code = faults.responseCode.value_or(reply.responseCode);
    std::span<const std::uint8_t> data = reply.data;
    if (reply.resultPayload && faults.truncatePayloadAt)
        data = data.first(std::min(data.size(), *faults.truncatePayloadAt));
    std::vector<std::uint8_t> frame;
    if (faults.badLength) {
        frame = {kFrameSync, code};
        PutLE32(frame, kInvalidDataLength);
    } else if (reply.setCommand && faults.setCommandData) {
        std::vector<std::uint8_t> filler(*faults.setCommandData);
        for (std::size_t i = 0; i < filler.size(); ++i)
            filler[i] = static_cast<std::uint8_t>(i);
        frame = BuildResponseFrame(code, filler);
    } else {
        frame = BuildResponseFrame(code, data);
    }
    if (faults.badSync)
        frame[0] = ModuleFaults::kBadSyncByte;
    if (faults.shortHeader)
        frame.resize(std::min(frame.size(), ModuleFaults::kShortHeaderBytes));
    if (faults.stopAfter)
        frame.resize(std::min(frame.size(), *faults.stopAfter));

    line.reserve(faults.junkBefore + frame.size());
    for (std::size_t i = 0; i < faults.junkBefore; ++i)
        line.push_back(JunkByte(i));
    line.insert(line.end(), frame.begin(), frame.end());
    return line;
}

}  // namespace qzm
