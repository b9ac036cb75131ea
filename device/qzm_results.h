// One detection execution: the request the module gets, the answer as it arrives (CRawExecResult)
// and the records the presentation reads (CExecResult).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace qzm {

class CImageData;

// Order of every set of ten function switches.
enum FunctionIndex : int {
    kFunctionBody = 0,
    kFunctionHand,
    kFunctionFace,
    kFunctionDirection,
    kFunctionAge,
    kFunctionGender,
    kFunctionGaze,
    kFunctionBlink,
    kFunctionExpression,
    kFunctionRecognition,
    kFunctionCount,
};

// The ten function switches, on or off, in function order.
using FunctionSwitches = std::array<bool, kFunctionCount>;

// Transfer image size, also the image option byte of the request.
enum ImageOption : int {
    kImageNone = 0,
    kImage320x240 = 1,
    kImage160x120 = 2,
};

// Room for the result entries; the image comes on top.
constexpr std::size_t kExecResultRoom = 1968;

// Pixel bytes of the option's image: 76800, 19200, or 0 for any other option.
std::size_t ExecImageSize(int imageOption);
// The most answer data an execution with this option accepts.
std::size_t ExecAnswerCapacity(int imageOption);

// The switches as the Execute request carries them: switches 0 to 7 are bits 0 to 7 of the first
// byte, switches 8 and 9 bits 0 and 1 of the second.
struct FunctionRequestBytes {
    std::uint8_t flags1 = 0;
    std::uint8_t flags2 = 0;
};
FunctionRequestBytes FlagsFromSwitches(const bool switches[kFunctionCount]);
// Data of the Execute commands: the two flag bytes and the image option.
std::array<std::uint8_t, 3> BuildExecRequest(const bool switches[kFunctionCount], int imageOption);

// An execution answer as received, before decoding. The counts are as the module sent them; each
// list holds the entries that arrived in full, in order.
struct CRawExecResult {
    template <std::size_t N>
    using Entries = std::vector<std::array<std::uint8_t, N>>;

    std::uint8_t bodyCount = 0;
    Entries<8> bodies;
    std::uint8_t handCount = 0;
    Entries<8> hands;
    std::uint8_t faceCount = 0;
    Entries<8> detection;
    Entries<8> direction;
    Entries<3> age;
    Entries<3> gender;
    Entries<2> gaze;
    Entries<4> blink;
    // Strongest code, its score, five scores, degree; 0x80 where the command delivered no value.
    Entries<8> expression;
    Entries<4> recognition;
    // Image header as received (0 when no image was taken) and where its pixels went.
    std::uint16_t imageWidth = 0;
    std::uint16_t imageHeight = 0;
    std::uint8_t* pixels = nullptr;  // the caller's buffer, not owned
    std::size_t pixelBytes = 0;      // bytes copied into it
};

// Splits an execution answer into its entries. flags1 and flags2 are the request's flag bytes;
// fiveScores tells that command 0x04 was sent (six-byte expression entries). The image is taken
// only when its header and the option's full image size remain; at most that size and at most
// pixelCapacity bytes are copied to pixels. Parsing stops at the first entry that is cut short and
// keeps what came before. Any bytes of any length are safe. Returns 0, or -2 without a result.
int ParseExecPayload(std::span<const std::uint8_t> payload, std::uint8_t flags1, std::uint8_t flags2,
                     bool fiveScores, int imageOption, std::uint8_t* pixels, std::size_t pixelCapacity,
                     CRawExecResult* result);

// Base of the result records. -128 in an estimate means the module could not estimate it.
class CQZMResBase {
public:
    virtual ~CQZMResBase() = default;
    // Fills the record from its wire entry and marks it valid; -1, nothing changed, when the entry
    // is missing or shorter than the record's entry.
    virtual int Init(std::span<const std::uint8_t> entry);
    virtual bool IsValid() const { return valid != 0; }

    std::uint8_t valid = 0;

protected:
    // Validates the entry length and marks the record valid; false leaves the record unchanged.
    bool Accept(std::span<const std::uint8_t> entry, std::size_t entrySize);
};

// The square a detection covers; all sides -1 when the detection has no position.
struct DetectBox {
    int left = -1;
    int top = -1;
    int right = -1;
    int bottom = -1;
    bool operator==(const DetectBox&) const = default;
};

// Body, hand or face detection: centre, side and confidence.
class CQZMDetectRes : public CQZMResBase {
public:
    static constexpr std::size_t kEntrySize = 8;
    int Init(std::span<const std::uint8_t> entry) override;
    DetectBox Box() const;

    int x = -1;
    int y = -1;
    int size = -1;
    int confidence = -1;
};

class CQZMDirectRes : public CQZMResBase {
public:
    static constexpr std::size_t kEntrySize = 8;
    int Init(std::span<const std::uint8_t> entry) override;

    int yaw = 0;
    int pitch = 0;
    int roll = 0;
    int confidence = -1;
};

class CQZMAgeRes : public CQZMResBase {
public:
    static constexpr std::size_t kEntrySize = 3;
    int Init(std::span<const std::uint8_t> entry) override;

    int age = -1;
    int confidence = -1;
};

// gender 1 is male, any other value female.
class CQZMGenderRes : public CQZMResBase {
public:
    static constexpr std::size_t kEntrySize = 3;
    int Init(std::span<const std::uint8_t> entry) override;

    int gender = -1;
    int confidence = -1;
};

class CQZMGazeRes : public CQZMResBase {
public:
    static constexpr std::size_t kEntrySize = 2;
    int Init(std::span<const std::uint8_t> entry) override;

    int gazeYaw = 0;
    int gazePitch = 0;
};

class CQZMBlinkRes : public CQZMResBase {
public:
    static constexpr std::size_t kEntrySize = 4;
    int Init(std::span<const std::uint8_t> entry) override;

    int left = -1;
    int right = -1;
};

// Command 0x03 delivers the strongest expression (1 neutral, 2 happiness, 3 surprise, 4 anger,
// 5 sadness) and its score, command 0x04 the five scores; the other values are then -128.
class CQZMExpressionRes : public CQZMResBase {
public:
    static constexpr std::size_t kEntrySize = 8;
    int Init(std::span<const std::uint8_t> entry) override;

    // The strongest expression and its score as the module gave them: the named one, or the
    // highest of the five scores when it gave those (then the named one is -128).
    std::pair<int, int> Strongest() const;

    int topExpression = -1;
    int topScore = -1;
    int degree = 0;
    int scores[5] = {-1, -1, -1, -1, -1};
};

// userId -127: the module holds no registered data; -1: the face matched nobody.
class CQZMRecognitionRes : public CQZMResBase {
public:
    static constexpr std::size_t kEntrySize = 4;
    int Init(std::span<const std::uint8_t> entry) override;

    int userId = -1;
    int score = -1;
};

// A registered user as a recognition result is named: user number and name.
using UserName = std::pair<int, std::string>;

// Everything about one face; a record whose function was off or cut off stays invalid.
struct CFaceResult {
    CQZMDetectRes detection;
    CQZMDirectRes direction;
    CQZMAgeRes age;
    CQZMGenderRes gender;
    CQZMGazeRes gaze;
    CQZMBlinkRes blink;
    CQZMExpressionRes expression;
    CQZMRecognitionRes recognition;
};

// One execution's decoded results, refilled by every successful execution.
struct CExecResult {
    std::vector<CQZMDetectRes> bodies;
    std::vector<CQZMDetectRes> hands;
    std::vector<CFaceResult> faces;
};

// Replaces the records with those of the raw answer: one body or hand per entry received, one face
// per counted face. Returns 0, or -2 without a result.
int DecodeExecResult(const CRawExecResult& raw, CExecResult* result);

// Gives the image (packed 8-bit grey, whose plane 0 was the parser's pixel buffer) the width and
// height of the answer's image; 0 x 0 when no image was taken. When the stated width x height are
// not exactly the pixels copied into plane 0, the image becomes 0 x 0 and -1 is returned, so that no
// reader walks pixels that never arrived.
int SetExecImageSize(const CRawExecResult& raw, CImageData* image);

}  // namespace qzm
