#include "record/replay_source.h"

#include <algorithm>
#include <cstdio>

#include "record/recording_reader.h"

namespace qzm {

namespace {

constexpr std::uint8_t kNotPossible8 = 0x80;  // -128
constexpr std::uint8_t kGrey = 128;

void PutLE16(std::vector<std::uint8_t>& out, int value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

// An entry the recording lacks: every 16-bit field -128, every 8-bit field -128.
void PutNotPossible(std::vector<std::uint8_t>& out, std::initializer_list<int> fieldBytes) {
    for (const int bytes : fieldBytes) {
        if (bytes == 2)
            PutLE16(out, -128);
        else
            out.push_back(kNotPossible8);
    }
}

template <std::size_t N>
void PutEntry(std::vector<std::uint8_t>& out, const CRawExecResult::Entries<N>& list, std::size_t i,
              std::initializer_list<int> fieldBytes) {
    if (i < list.size())
        out.insert(out.end(), list[i].begin(), list[i].end());
    else
        PutNotPossible(out, fieldBytes);
}

// The recorded expression entry (strongest code, its score, five scores, degree; 0x80 where the
// module did not send a value) in the wire form the request's command uses.
void PutExpression(std::vector<std::uint8_t>& out, const CRawExecResult& raw, std::size_t i,
                   bool fiveScores) {
    std::array<std::uint8_t, 8> entry;
    entry.fill(kNotPossible8);
    if (i < raw.expression.size())
        entry = raw.expression[i];
    if (fiveScores) {
        out.insert(out.end(), entry.begin() + 2, entry.begin() + 7);
    } else {
        out.push_back(entry[0]);
        out.push_back(entry[1]);
    }
    out.push_back(entry[7]);
}

}  // namespace

int CReplaySource::Open(const std::string& path, std::string* why) {
    CRecordingReader reader;
    const int opened = reader.Open(path, why);
    if (opened != kRecordOk)
        return opened;
    session_ = reader.Session();
    int major = 0, minor = 0;
    fiveScores_ = std::sscanf(session_.firmware.c_str(), "%d.%d", &major, &minor) == 2 && minor == 2;
    runs_.clear();
    next_ = 0;
    const int read = reader.ForEachRun([this](const RecordedRun& recorded) {
        const ExecutionReport& r = recorded.report;
        if (r.status != 0 || r.response != 0)
            return true;  // a failed run has no answer to give
        const FunctionRequestBytes flags = FlagsFromSwitches(r.functions.data());
        Run run{flags.flags1, flags.flags2, r.imageOption,   r.payload,
                false,        {},           r.image.Width(), r.image.Height()};
        if (session_.frames && r.image.Width() > 0) {
            const std::uint8_t* pixels = r.image.Plane(0);
            run.frame.assign(pixels, pixels + static_cast<std::size_t>(r.image.Width()) * r.image.Height());
        }
        run.whole = r.imageOption == kImageNone || !run.frame.empty();
        runs_.push_back(std::move(run));
        return true;
    });
    if (read != kRecordOk) {
        if (why)
            *why = "its runs cannot be read";
        return read;
    }
    return kRecordOk;
}

std::vector<std::uint8_t> CReplaySource::Answer(std::span<const std::uint8_t> request, bool fiveScores) {
    const std::uint8_t flags1 = request.size() > 0 ? request[0] : 0;
    const std::uint8_t flags2 = request.size() > 1 ? request[1] : 0;
    const int option = request.size() > 2 ? request[2] : 0;
    if (next_ >= runs_.size() && loop_)
        next_ = 0;
    static const Run kEnded;  // after the last run: nothing found
    const Run& run = next_ < runs_.size() ? runs_[next_++] : kEnded;
    if (&run != &kEnded && run.whole && run.flags1 == flags1 && run.flags2 == flags2 &&
        run.imageOption == option && fiveScores == fiveScores_)
        return run.payload;

    CRawExecResult raw;
    ParseExecPayload(run.payload, run.flags1, run.flags2, fiveScores_, run.imageOption, nullptr, 0, &raw);
    const bool anyFace = (flags1 & 0xFC) != 0 || (flags2 & 0x03) != 0;
    const std::size_t bodies = (flags1 & 0x01) ? raw.bodies.size() : 0;
    const std::size_t hands = (flags1 & 0x02) ? raw.hands.size() : 0;
    const std::size_t faces = anyFace ? raw.faceCount : 0;
    std::vector<std::uint8_t> out = {static_cast<std::uint8_t>(bodies), static_cast<std::uint8_t>(hands),
                                     static_cast<std::uint8_t>(faces), 0};
    for (std::size_t i = 0; i < bodies; ++i)
        out.insert(out.end(), raw.bodies[i].begin(), raw.bodies[i].end());
    for (std::size_t i = 0; i < hands; ++i)
        out.insert(out.end(), raw.hands[i].begin(), raw.hands[i].end());
    for (std::size_t i = 0; i < faces; ++i) {
        if (flags1 & 0x04)
            PutEntry(out, raw.detection, i, {2, 2, 2, 2});
        if (flags1 & 0x08)
            PutEntry(out, raw.direction, i, {2, 2, 2, 2});
        if (flags1 & 0x10)
            PutEntry(out, raw.age, i, {1, 2});
        if (flags1 & 0x20)
            PutEntry(out, raw.gender, i, {1, 2});
        if (flags1 & 0x40)
            PutEntry(out, raw.gaze, i, {1, 1});
        if (flags1 & 0x80)
            PutEntry(out, raw.blink, i, {2, 2});
        if (flags2 & 0x01)
            PutExpression(out, raw, i, fiveScores);
        if (flags2 & 0x02)
            PutEntry(out, raw.recognition, i, {2, 2});
    }
    const int width = option == kImage320x240 ? 320 : option == kImage160x120 ? 160 : 0;
    const int height = width * 3 / 4;
    if (width == 0)
        return out;
    PutLE16(out, width);
    PutLE16(out, height);
    // The recorded frame scaled to the size asked for (nearest pixel), or mid-grey without one.
    const bool haveFrame = !run.frame.empty();
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            out.push_back(
                haveFrame
                    ? run.frame[static_cast<std::size_t>(y * run.frameHeight / height) * run.frameWidth +
                                x * run.frameWidth / width]
                    : kGrey);
        }
    }
    return out;
}

}  // namespace qzm
