// A recording standing in for the module: the answers to executions, the recorded runs in order.
// A request like the recorded one gets the recorded answer byte for byte; another gets the
// recorded records reduced to the functions it asks for (a function the recording lacks reports
// nothing found, an estimate it lacks "not possible") and the recorded frame at the size it asks
// for (mid-grey where the recording kept no frames).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "record/recording.h"

namespace qzm {

class CReplaySource {
public:
    // Reads every run of the recording. kRecordOk, or why it is refused.
    int Open(const std::string& path, std::string* why = nullptr);
    const RecordingSession& Session() const { return session_; }
    std::size_t Runs() const { return runs_.size(); }
    // After the last run: from the first again, or (the default) answers with nothing found.
    void SetLoop(bool loop) { loop_ = loop; }

    // The answer's data to an execution request (its three bytes; fiveScores: the extended
    // execution). Each call moves on to the next run.
    std::vector<std::uint8_t> Answer(std::span<const std::uint8_t> request, bool fiveScores);

private:
    struct Run {
        std::uint8_t flags1 = 0;
        std::uint8_t flags2 = 0;
        int imageOption = 0;
        std::vector<std::uint8_t> payload;  // as received, but without the pixels when frames were not kept
        bool whole = false;                 // the payload is the whole answer as received
        std::vector<std::uint8_t> frame;    // grey bytes, or empty when not kept
        int frameWidth = 0;
        int frameHeight = 0;
    };

    RecordingSession session_;
    bool fiveScores_ = false;  // the recorded module answered with five expression scores
    std::vector<Run> runs_;
    std::size_t next_ = 0;
    bool loop_ = false;
};

}  // namespace qzm
