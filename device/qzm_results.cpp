#include "device/qzm_results.h"

#include <algorithm>
#include <cstring>

#include "device/qzm_frame.h"
#include "image/image_data.h"

namespace qzm {

namespace {

constexpr std::size_t kCountsSize = 4;
constexpr std::size_t kImageHeaderSize = 4;
constexpr std::uint8_t kNotDelivered = 0x80;

int Signed8(std::uint8_t value) {
    return static_cast<std::int8_t>(value);
}
int Signed16(const std::uint8_t* bytes) {
    return static_cast<std::int16_t>(GetLE16(bytes));
}

// Hands out the payload front to back; a take that does not fit leaves the reader exhausted, so
// that parsing stops at the first entry cut short.
class PayloadReader {
public:
    explicit PayloadReader(std::span<const std::uint8_t> payload) : rest_(payload) {}

    std::size_t Remaining() const { return stopped_ ? 0 : rest_.size(); }

    const std::uint8_t* Take(std::size_t count) {
        if (stopped_ || rest_.size() < count) {
            stopped_ = true;
            return nullptr;
        }
        const std::uint8_t* bytes = rest_.data();
        rest_ = rest_.subspan(count);
        return bytes;
    }

    template <std::size_t N>
    bool TakeInto(CRawExecResult::Entries<N>& list) {
        const std::uint8_t* bytes = Take(N);
        if (bytes == nullptr)
            return false;
        auto& entry = list.emplace_back();
        std::memcpy(entry.data(), bytes, N);
        return true;
    }

private:
    std::span<const std::uint8_t> rest_;
    bool stopped_ = false;
};

// Expression entries are kept in one 8-byte layout whichever command delivered them.
bool TakeExpression(PayloadReader& reader, bool fiveScores, CRawExecResult::Entries<8>& list) {
    const std::size_t wireSize = fiveScores ? 6 : 3;
    const std::uint8_t* bytes = reader.Take(wireSize);
    if (bytes == nullptr)
        return false;
    auto& entry = list.emplace_back();
    entry.fill(kNotDelivered);
    if (fiveScores) {
        std::memcpy(entry.data() + 2, bytes, 5);
        entry[7] = bytes[5];
    } else {
        entry[0] = bytes[0];
        entry[1] = bytes[1];
        entry[7] = bytes[2];
    }
    return true;
}

bool TakeFace(PayloadReader& reader, std::uint8_t flags1, std::uint8_t flags2, bool fiveScores,
              CRawExecResult& raw) {
    if ((flags1 & 0x04) && !reader.TakeInto(raw.detection))
        return false;
    if ((flags1 & 0x08) && !reader.TakeInto(raw.direction))
        return false;
    if ((flags1 & 0x10) && !reader.TakeInto(raw.age))
        return false;
    if ((flags1 & 0x20) && !reader.TakeInto(raw.gender))
        return false;
    if ((flags1 & 0x40) && !reader.TakeInto(raw.gaze))
        return false;
    if ((flags1 & 0x80) && !reader.TakeInto(raw.blink))
        return false;
    if ((flags2 & 0x01) && !TakeExpression(reader, fiveScores, raw.expression))
        return false;
    if ((flags2 & 0x02) && !reader.TakeInto(raw.recognition))
        return false;
    return true;
}

// Lists are emptied, not freed, so repeated executions reuse their room.
void ResetRaw(CRawExecResult& raw) {
    raw.bodyCount = raw.handCount = raw.faceCount = 0;
    raw.bodies.clear();
    raw.hands.clear();
    raw.detection.clear();
    raw.direction.clear();
    raw.age.clear();
    raw.gender.clear();
    raw.gaze.clear();
    raw.blink.clear();
    raw.expression.clear();
    raw.recognition.clear();
    raw.imageWidth = raw.imageHeight = 0;
    raw.pixels = nullptr;
    raw.pixelBytes = 0;
}

// Initialises record i of a face part when that entry arrived.
template <typename Record, std::size_t N>
void InitFromEntry(Record& record, const CRawExecResult::Entries<N>& list, std::size_t i) {
    if (i < list.size())
        record.Init(list[i]);
}

}  // namespace

std::size_t ExecImageSize(int imageOption) {
    switch (imageOption) {
        case kImage320x240:
            return 320 * 240;
        case kImage160x120:
            return 160 * 120;
        default:
            return 0;
    }
}

std::size_t ExecAnswerCapacity(int imageOption) {
    return kExecResultRoom + ExecImageSize(imageOption);
}

FunctionRequestBytes FlagsFromSwitches(const bool switches[kFunctionCount]) {
    FunctionRequestBytes flags;
    for (int i = 0; i < 8; ++i) {
        if (switches[i])
            flags.flags1 |= static_cast<std::uint8_t>(1u << i);
    }
    if (switches[kFunctionExpression])
        flags.flags2 |= 0x01;
    if (switches[kFunctionRecognition])
        flags.flags2 |= 0x02;
    return flags;
}

std::array<std::uint8_t, 3> BuildExecRequest(const bool switches[kFunctionCount], int imageOption) {
    const FunctionRequestBytes flags = FlagsFromSwitches(switches);
    return {flags.flags1, flags.flags2, static_cast<std::uint8_t>(imageOption)};
}

int ParseExecPayload(std::span<const std::uint8_t> payload, std::uint8_t flags1, std::uint8_t flags2,
                     bool fiveScores, int imageOption, std::uint8_t* pixels, std::size_t pixelCapacity,
                     CRawExecResult* result) {
    if (result == nullptr)
        return -2;
    CRawExecResult& raw = *result;
    ResetRaw(raw);
    raw.pixels = pixels;
    if (payload.size() < kCountsSize)
        return 0;

    raw.bodyCount = payload[0];
    raw.handCount = payload[1];
    raw.faceCount = payload[2];
    PayloadReader reader(payload.subspan(kCountsSize));
    // Once an entry is cut short the reader is exhausted and every later take fails.
    for (int i = 0; i < raw.bodyCount && reader.TakeInto(raw.bodies); ++i)
        continue;
    for (int i = 0; i < raw.handCount && reader.TakeInto(raw.hands); ++i)
        continue;
    for (int i = 0; i < raw.faceCount && TakeFace(reader, flags1, flags2, fiveScores, raw); ++i)
        continue;

    // The option's nominal size decides, whatever the header claims.
    const std::size_t imageSize = ExecImageSize(imageOption);
    if (imageSize == 0 || reader.Remaining() < kImageHeaderSize + imageSize)
        return 0;
    const std::uint8_t* header = reader.Take(kImageHeaderSize);
    raw.imageWidth = GetLE16(header);
    raw.imageHeight = GetLE16(header + 2);
    const std::size_t stated = static_cast<std::size_t>(raw.imageWidth) * raw.imageHeight;
    const std::size_t count = pixels == nullptr ? 0 : std::min({stated, imageSize, pixelCapacity});
    if (count > 0)
        std::memcpy(pixels, reader.Take(count), count);
    raw.pixelBytes = count;
    return 0;
}

int CQZMResBase::Init(std::span<const std::uint8_t> entry) {
    return Accept(entry, 0) ? 0 : -1;
}

bool CQZMResBase::Accept(std::span<const std::uint8_t> entry, std::size_t entrySize) {
    if (entry.data() == nullptr || entry.size() < entrySize)
        return false;
    valid = 1;
    return true;
}

int CQZMDetectRes::Init(std::span<const std::uint8_t> entry) {
    if (!Accept(entry, kEntrySize))
        return -1;
    x = Signed16(&entry[0]);
    y = Signed16(&entry[2]);
    size = Signed16(&entry[4]);
    confidence = Signed16(&entry[6]);
    return 0;
}

DetectBox CQZMDetectRes::Box() const {
    if (size == -1 || (x == -1 && y == -1))
        return {};
    const int half = size / 2;
    return {x - half, y - half, x + half, y + half};
}

int CQZMDirectRes::Init(std::span<const std::uint8_t> entry) {
    if (!Accept(entry, kEntrySize))
        return -1;
    yaw = Signed16(&entry[0]);
    pitch = Signed16(&entry[2]);
    roll = Signed16(&entry[4]);
    confidence = Signed16(&entry[6]);
    return 0;
}

namespace {

// Age and gender entries: an 8-bit value and a 16-bit confidence.
void ReadValueAndConfidence(std::span<const std::uint8_t> entry, int* value, int* confidence) {
    *value = Signed8(entry[0]);
    *confidence = Signed16(&entry[1]);
}

// Blink and recognition entries: two 16-bit values.
void ReadTwoWords(std::span<const std::uint8_t> entry, int* first, int* second) {
    *first = Signed16(&entry[0]);
    *second = Signed16(&entry[2]);
}

}  // namespace

int CQZMAgeRes::Init(std::span<const std::uint8_t> entry) {
    if (!Accept(entry, kEntrySize))
        return -1;
    ReadValueAndConfidence(entry, &age, &confidence);
    return 0;
}

int CQZMGenderRes::Init(std::span<const std::uint8_t> entry) {
    if (!Accept(entry, kEntrySize))
        return -1;
    ReadValueAndConfidence(entry, &gender, &confidence);
    return 0;
}

int CQZMGazeRes::Init(std::span<const std::uint8_t> entry) {
    if (!Accept(entry, kEntrySize))
        return -1;
    gazeYaw = Signed8(entry[0]);
    gazePitch = Signed8(entry[1]);
    return 0;
}

int CQZMBlinkRes::Init(std::span<const std::uint8_t> entry) {
    if (!Accept(entry, kEntrySize))
        return -1;
    ReadTwoWords(entry, &left, &right);
    return 0;
}

int CQZMExpressionRes::Init(std::span<const std::uint8_t> entry) {
    if (!Accept(entry, kEntrySize))
        return -1;
    topExpression = Signed8(entry[0]);
    topScore = Signed8(entry[1]);
    for (int k = 0; k < 5; ++k)
        scores[k] = Signed8(entry[2 + k]);
    degree = Signed8(entry[7]);
    return 0;
}

std::pair<int, int> CQZMExpressionRes::Strongest() const {
    int index = topExpression;
    int best = topScore;
    for (int k = 1; k <= 5; ++k) {
        if (scores[k - 1] > best) {
            best = scores[k - 1];
            index = k;
        }
    }
    return {index, best};
}

int CQZMRecognitionRes::Init(std::span<const std::uint8_t> entry) {
    if (!Accept(entry, kEntrySize))
        return -1;
    ReadTwoWords(entry, &userId, &score);
    return 0;
}

int DecodeExecResult(const CRawExecResult& raw, CExecResult* result) {
    if (result == nullptr)
        return -2;
    result->bodies.clear();
    result->hands.clear();
    result->faces.clear();

    const auto decodeDetections = [](const CRawExecResult::Entries<8>& entries, std::size_t count,
                                     std::vector<CQZMDetectRes>& out) {
        const std::size_t n = std::min(entries.size(), count);
        out.resize(n);
        for (std::size_t i = 0; i < n; ++i)
            out[i].Init(entries[i]);
    };
    decodeDetections(raw.bodies, raw.bodyCount, result->bodies);
    decodeDetections(raw.hands, raw.handCount, result->hands);

    result->faces.resize(raw.faceCount);
    for (std::size_t i = 0; i < raw.faceCount; ++i) {
        CFaceResult& face = result->faces[i];
        InitFromEntry(face.detection, raw.detection, i);
        InitFromEntry(face.direction, raw.direction, i);
        InitFromEntry(face.age, raw.age, i);
        InitFromEntry(face.gender, raw.gender, i);
        InitFromEntry(face.gaze, raw.gaze, i);
        InitFromEntry(face.blink, raw.blink, i);
        InitFromEntry(face.expression, raw.expression, i);
        InitFromEntry(face.recognition, raw.recognition, i);
    }
    return 0;
}

int SetExecImageSize(const CRawExecResult& raw, CImageData* image) {
    if (image == nullptr)
        return -2;
    const std::size_t stated = static_cast<std::size_t>(raw.imageWidth) * raw.imageHeight;
    // The pixels arrived as packed grey rows into the image's own plane.
    const bool whole = stated == raw.pixelBytes &&
                       (stated == 0 || (raw.pixels == image->Plane(0) && image->Format() == kFormatGrey8 &&
                                        image->Packed() != 0));
    if (whole && image->SetSize(raw.imageWidth, raw.imageHeight) == 0)
        return 0;
    // An image of unknown format is 0 x 0 already, so a refused 0 x 0 changes nothing.
    image->SetSize(0, 0);
    return -1;
}

}  // namespace qzm
