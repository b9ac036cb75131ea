// Execution request and answer: flag bytes, payload parsing (truncation at any point, image rules),
// decoding into records with their value conventions, and the detection box.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "device/qzm_frame.h"
#include "device/qzm_results.h"
#include "image/image_data.h"

using namespace qzm;

namespace {

constexpr std::uint8_t kAllFlags1 = 0xFF;
constexpr std::uint8_t kAllFlags2 = 0x03;

// Builds an answer payload and remembers where each entry ends, by the list it belongs to.
class PayloadBuilder {
public:
    enum List {
        kBodies,
        kHands,
        kDetection,
        kDirection,
        kAge,
        kGender,
        kGaze,
        kBlink,
        kExpression,
        kRecognition
    };
    struct Piece {
        List list;
        std::size_t end;
    };

    PayloadBuilder(std::uint8_t bodies, std::uint8_t hands, std::uint8_t faces)
        : bytes_{bodies, hands, faces, 0} {}

    PayloadBuilder& Entry(List list, std::vector<std::uint8_t> entry) {
        bytes_.insert(bytes_.end(), entry.begin(), entry.end());
        pieces_.push_back({list, bytes_.size()});
        return *this;
    }
    // An entry of the given size whose bytes count up from seed.
    PayloadBuilder& Counted(List list, std::size_t size, std::uint8_t seed) {
        std::vector<std::uint8_t> entry(size);
        for (std::size_t i = 0; i < size; ++i)
            entry[i] = static_cast<std::uint8_t>(seed + i);
        return Entry(list, entry);
    }
    PayloadBuilder& Image(std::uint16_t width, std::uint16_t height, std::size_t pixelBytes) {
        PutLE16(bytes_, width);
        PutLE16(bytes_, height);
        for (std::size_t i = 0; i < pixelBytes; ++i)
            bytes_.push_back(static_cast<std::uint8_t>(i * 7));
        return *this;
    }

    const std::vector<std::uint8_t>& Bytes() const { return bytes_; }
    // How many entries of a list lie wholly inside the first n bytes.
    std::size_t EntriesWithin(List list, std::size_t n) const {
        return static_cast<std::size_t>(std::count_if(
            pieces_.begin(), pieces_.end(), [&](const Piece& p) { return p.list == list && p.end <= n; }));
    }

private:
    std::vector<std::uint8_t> bytes_;
    std::vector<Piece> pieces_;
};

std::vector<std::uint8_t> LE16(int value) {
    const auto v = static_cast<std::uint16_t>(value);
    return {static_cast<std::uint8_t>(v & 0xFF), static_cast<std::uint8_t>(v >> 8)};
}

std::vector<std::uint8_t> Join(std::initializer_list<std::vector<std::uint8_t>> parts) {
    std::vector<std::uint8_t> out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// Two bodies, one hand, two faces with every part, and a 160 x 120 image.
PayloadBuilder FullPayload(bool fiveScores) {
    using B = PayloadBuilder;
    PayloadBuilder b(2, 1, 2);
    b.Counted(B::kBodies, 8, 10).Counted(B::kBodies, 8, 20).Counted(B::kHands, 8, 30);
    for (std::uint8_t face = 0; face < 2; ++face) {
        const auto seed = static_cast<std::uint8_t>(100 + 50 * face);
        b.Counted(B::kDetection, 8, seed)
            .Counted(B::kDirection, 8, seed + 8)
            .Counted(B::kAge, 3, seed + 16)
            .Counted(B::kGender, 3, seed + 19)
            .Counted(B::kGaze, 2, seed + 22)
            .Counted(B::kBlink, 4, seed + 24)
            .Counted(B::kExpression, fiveScores ? 6 : 3, seed + 28)
            .Counted(B::kRecognition, 4, seed + 34);
    }
    b.Image(160, 120, 19200);
    return b;
}

TEST(ExecRequestTest, SwitchesBecomeFlagBytesAndOptionByte) {
    struct Case {
        std::vector<int> on;
        std::uint8_t flags1, flags2;
    };
    const Case cases[] = {
        {{}, 0x00, 0x00},
        {{kFunctionBody}, 0x01, 0x00},
        {{kFunctionHand, kFunctionFace}, 0x06, 0x00},
        {{kFunctionBlink}, 0x80, 0x00},
        {{kFunctionExpression}, 0x00, 0x01},
        {{kFunctionRecognition}, 0x00, 0x02},
        {{kFunctionFace, kFunctionAge, kFunctionRecognition}, 0x14, 0x02},
        {{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, 0xFF, 0x03},
    };
    for (const Case& c : cases) {
        bool switches[kFunctionCount] = {};
        for (int i : c.on)
            switches[i] = true;
        for (int option : {kImageNone, kImage320x240, kImage160x120}) {
            const auto request = BuildExecRequest(switches, option);
            EXPECT_EQ(request[0], c.flags1);
            EXPECT_EQ(request[1], c.flags2);
            EXPECT_EQ(request[2], option);
        }
    }
}

TEST(ExecRequestTest, AnswerRoomByImageOption) {
    EXPECT_EQ(ExecAnswerCapacity(kImageNone), 1968u);
    EXPECT_EQ(ExecAnswerCapacity(kImage320x240), 1968u + 76800u);
    EXPECT_EQ(ExecAnswerCapacity(kImage160x120), 1968u + 19200u);
    EXPECT_EQ(ExecAnswerCapacity(3), 1968u);
    EXPECT_EQ(ExecAnswerCapacity(-1), 1968u);
}

class ExecTruncationTest : public ::testing::TestWithParam<bool> {};

// Whatever byte the answer stops at, the lists hold exactly the entries wholly before it, equal to
// those of the whole answer, and no image.
TEST_P(ExecTruncationTest, EveryCutKeepsExactlyTheEntriesBeforeIt) {
    const bool fiveScores = GetParam();
    const PayloadBuilder builder = FullPayload(fiveScores);
    const std::vector<std::uint8_t>& payload = builder.Bytes();
    std::vector<std::uint8_t> pixels(19200);

    CRawExecResult whole;
    ASSERT_EQ(ParseExecPayload(payload, kAllFlags1, kAllFlags2, fiveScores, kImage160x120, pixels.data(),
                               pixels.size(), &whole),
              0);
    ASSERT_EQ(whole.imageWidth, 160);
    ASSERT_EQ(whole.pixelBytes, 19200u);

    using B = PayloadBuilder;
    CRawExecResult raw;
    for (std::size_t n = 0; n < payload.size(); ++n) {
        ParseExecPayload(std::span(payload.data(), n), kAllFlags1, kAllFlags2, fiveScores, kImage160x120,
                         pixels.data(), pixels.size(), &raw);
        SCOPED_TRACE(n);
        const std::uint8_t expectedCount = n < 4 ? 0 : 2;
        ASSERT_EQ(raw.bodyCount, expectedCount);
        ASSERT_EQ(raw.faceCount, expectedCount);
        const auto check = [&](const auto& list, const auto& full, B::List id) {
            const std::size_t k = builder.EntriesWithin(id, n);
            ASSERT_EQ(list.size(), k) << "list " << id;
            ASSERT_TRUE(std::equal(list.begin(), list.end(), full.begin())) << "list " << id;
        };
        check(raw.bodies, whole.bodies, B::kBodies);
        check(raw.hands, whole.hands, B::kHands);
        check(raw.detection, whole.detection, B::kDetection);
        check(raw.direction, whole.direction, B::kDirection);
        check(raw.age, whole.age, B::kAge);
        check(raw.gender, whole.gender, B::kGender);
        check(raw.gaze, whole.gaze, B::kGaze);
        check(raw.blink, whole.blink, B::kBlink);
        check(raw.expression, whole.expression, B::kExpression);
        check(raw.recognition, whole.recognition, B::kRecognition);
        ASSERT_EQ(raw.imageWidth, 0);
        ASSERT_EQ(raw.imageHeight, 0);
        ASSERT_EQ(raw.pixelBytes, 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(BothExpressionWidths, ExecTruncationTest, ::testing::Bool());

TEST(ExecParseTest, PayloadShorterThanCountsGivesEmptyResult) {
    for (std::size_t n = 0; n < 4; ++n) {
        const std::vector<std::uint8_t> payload(n, 3);
        CRawExecResult raw;
        raw.faceCount = 9;
        raw.bodies.emplace_back();
        ASSERT_EQ(ParseExecPayload(payload, kAllFlags1, kAllFlags2, false, kImageNone, nullptr, 0, &raw), 0);
        EXPECT_EQ(raw.bodyCount + raw.handCount + raw.faceCount, 0);
        EXPECT_TRUE(raw.bodies.empty());
        CExecResult result;
        result.faces.resize(3);
        ASSERT_EQ(DecodeExecResult(raw, &result), 0);
        EXPECT_TRUE(result.bodies.empty() && result.hands.empty() && result.faces.empty());
    }
    EXPECT_EQ(ParseExecPayload({}, 0, 0, false, kImageNone, nullptr, 0, nullptr), -2);
}

TEST(ExecParseTest, ExpressionEntriesAreWidenedToEightBytes) {
    struct Case {
        bool fiveScores;
        std::vector<std::uint8_t> wire;
        std::array<std::uint8_t, 8> stored;
    };
    const Case cases[] = {
        {false, {2, 77, 40}, {2, 77, 0x80, 0x80, 0x80, 0x80, 0x80, 40}},
        {true, {10, 80, 5, 3, 2, 60}, {0x80, 0x80, 10, 80, 5, 3, 2, 60}},
    };
    for (const Case& c : cases) {
        const PayloadBuilder b = PayloadBuilder(0, 0, 1).Entry(PayloadBuilder::kExpression, c.wire);
        CRawExecResult raw;
        ParseExecPayload(b.Bytes(), 0x00, 0x01, c.fiveScores, kImageNone, nullptr, 0, &raw);
        ASSERT_EQ(raw.expression.size(), 1u);
        EXPECT_EQ(raw.expression[0], c.stored);

        CExecResult result;
        DecodeExecResult(raw, &result);
        const CQZMExpressionRes& e = result.faces.at(0).expression;
        ASSERT_TRUE(e.IsValid());
        if (c.fiveScores) {
            EXPECT_EQ(e.topExpression, -128);
            EXPECT_EQ(e.topScore, -128);
            EXPECT_EQ(std::vector<int>(e.scores, e.scores + 5), (std::vector<int>{10, 80, 5, 3, 2}));
        } else {
            EXPECT_EQ(e.topExpression, 2);
            EXPECT_EQ(e.topScore, 77);
            EXPECT_EQ(std::vector<int>(e.scores, e.scores + 5), std::vector<int>(5, -128));
        }
        EXPECT_EQ(e.degree, c.fiveScores ? 60 : 40);
    }
}

struct ImageCase {
    const char* what;
    int option;
    std::size_t trailing;  // bytes after the entries, image header included
    std::uint16_t width, height;
    std::size_t capacity;
    bool taken;
    std::size_t copied;
};

class ExecImageTest : public ::testing::TestWithParam<ImageCase> {};

TEST_P(ExecImageTest, NominalSizeDecidesAndCopyStaysWithinBounds) {
    const ImageCase& c = GetParam();
    std::vector<std::uint8_t> payload = {0, 0, 0, 0};
    PutLE16(payload, c.width);
    PutLE16(payload, c.height);
    for (std::size_t i = 4; i < c.trailing; ++i)
        payload.push_back(static_cast<std::uint8_t>(i));

    // Guard bytes after the capacity catch a copy that runs over.
    std::vector<std::uint8_t> pixels(c.capacity + 16, 0xEE);
    CRawExecResult raw;
    ASSERT_EQ(ParseExecPayload(payload, 0, 0, false, c.option, pixels.data(), c.capacity, &raw), 0);
    EXPECT_EQ(raw.imageWidth, c.taken ? c.width : 0);
    EXPECT_EQ(raw.imageHeight, c.taken ? c.height : 0);
    EXPECT_EQ(raw.pixelBytes, c.copied);
    for (std::size_t i = 0; i < c.copied; ++i)
        ASSERT_EQ(pixels[i], static_cast<std::uint8_t>(i + 4));
    for (std::size_t i = c.copied; i < pixels.size(); ++i)
        ASSERT_EQ(pixels[i], 0xEE) << i;
}

INSTANTIATE_TEST_SUITE_P(
    ImageRules, ExecImageTest,
    ::testing::Values(ImageCase{"option 1, one byte short", 1, 76803, 2, 2, 76800, false, 0},
                      ImageCase{"option 1, exactly enough", 1, 76804, 2, 2, 76800, true, 4},
                      ImageCase{"option 1, full image", 1, 76804, 320, 240, 76800, true, 76800},
                      ImageCase{"option 2, one byte short", 2, 19203, 160, 120, 19200, false, 0},
                      ImageCase{"option 2, more stated than nominal", 2, 30000, 320, 240, 76800, true, 19200},
                      ImageCase{"option 2, buffer smaller than image", 2, 19204, 160, 120, 1000, true, 1000},
                      ImageCase{"no image option", 0, 19204, 160, 120, 19200, false, 0},
                      ImageCase{"unknown option", 3, 80000, 160, 120, 19200, false, 0}),
    [](const auto& info) {
        std::string name = info.param.what;
        std::replace_if(
            name.begin(), name.end(), [](char ch) { return !std::isalnum(static_cast<unsigned char>(ch)); },
            '_');
        return name;
    });

// Every field of a face, each record's valid flag first, so whole faces compare at once.
std::vector<int> Flatten(const CFaceResult& f) {
    std::vector<int> v;
    const auto add = [&v](std::initializer_list<int> values) { v.insert(v.end(), values); };
    const auto& d = f.detection;
    const auto& e = f.expression;
    add({d.valid, d.x, d.y, d.size, d.confidence});
    add({f.direction.valid, f.direction.yaw, f.direction.pitch, f.direction.roll, f.direction.confidence});
    add({f.age.valid, f.age.age, f.age.confidence, f.gender.valid, f.gender.gender, f.gender.confidence});
    add({f.gaze.valid, f.gaze.gazeYaw, f.gaze.gazePitch, f.blink.valid, f.blink.left, f.blink.right});
    add({e.valid, e.topExpression, e.topScore, e.degree, e.scores[0], e.scores[1], e.scores[2], e.scores[3]});
    add({e.scores[4], f.recognition.valid, f.recognition.userId, f.recognition.score});
    return v;
}

TEST(ExecDecodeTest, RecordsStartInTheirConstructionState) {
    EXPECT_EQ(Flatten(CFaceResult{}),
              (std::vector<int>{0, -1, -1, -1, -1, 0, 0,  0,  0, -1, 0,  -1, -1, 0,  -1, -1, 0,
                                0, 0,  0,  -1, -1, 0, -1, -1, 0, -1, -1, -1, -1, -1, 0,  -1, -1}));
}

TEST(ExecDecodeTest, ValuesAreSignExtendedAndConventionsKept) {
    using B = PayloadBuilder;
    PayloadBuilder b(1, 0, 2);
    b.Entry(B::kBodies, Join({LE16(-2), LE16(300), LE16(64), LE16(1000)}));
    // Face 0: no estimate possible anywhere, no registered data, a degree above 127.
    b.Entry(B::kDetection, Join({LE16(100), LE16(50), LE16(40), LE16(900)}))
        .Entry(B::kDirection, Join({LE16(-30), LE16(15), LE16(-5), LE16(700)}))
        .Entry(B::kAge, Join({{0x80}, LE16(0)}))
        .Entry(B::kGender, Join({{0x80}, LE16(0)}))
        .Entry(B::kGaze, {0x80, 0x80})
        .Entry(B::kBlink, Join({LE16(-128), LE16(-128)}))
        .Entry(B::kExpression, {0x80, 0, 0xC8})
        .Entry(B::kRecognition, Join({LE16(-127), LE16(0)}));
    // Face 1: estimates, and a face that matched nobody.
    b.Entry(B::kDetection, Join({LE16(10), LE16(20), LE16(30), LE16(40)}))
        .Entry(B::kDirection, Join({LE16(1), LE16(2), LE16(3), LE16(4)}))
        .Entry(B::kAge, Join({{35}, LE16(600)}))
        .Entry(B::kGender, Join({{1}, LE16(800)}))
        .Entry(B::kGaze, {0xF6, 12})
        .Entry(B::kBlink, Join({LE16(1000), LE16(1)}))
        .Entry(B::kExpression, {5, 90, 10})
        .Entry(B::kRecognition, Join({LE16(-1), LE16(333)}));

    CRawExecResult raw;
    ParseExecPayload(b.Bytes(), kAllFlags1, kAllFlags2, false, kImageNone, nullptr, 0, &raw);
    CExecResult result;
    ASSERT_EQ(DecodeExecResult(raw, &result), 0);
    ASSERT_EQ(result.bodies.size(), 1u);
    EXPECT_TRUE(result.hands.empty());
    const CQZMDetectRes& body = result.bodies[0];
    EXPECT_EQ((std::vector<int>{body.valid, body.x, body.y, body.size, body.confidence}),
              (std::vector<int>{1, -2, 300, 64, 1000}));
    ASSERT_EQ(result.faces.size(), 2u);
    const int n = -128;
    EXPECT_EQ(Flatten(result.faces[0]),
              (std::vector<int>{1, 100, 50, 40, 900, 1, -30, 15, -5,  700, 1, n, 0, 1, n, 0,    1,
                                n, n,   1,  n,  n,   1, n,   0,  -56, n,   n, n, n, n, 1, -127, 0}));
    EXPECT_EQ(Flatten(result.faces[1]),
              (std::vector<int>{1,   10, 20, 30,   40, 1, 1, 2,  3,  4, 1, 35, 600, 1, 1, 800, 1,
                                -10, 12, 1,  1000, 1,  1, 5, 90, 10, n, n, n,  n,   n, 1, -1,  333}));
}

// The face with only its detection record filled in, all others as constructed.
void ExpectOnlyDetection(const CFaceResult& face) {
    CFaceResult expected;
    expected.detection = face.detection;
    EXPECT_EQ(Flatten(face), Flatten(expected));
}

TEST(ExecDecodeTest, TwoFacesWithOnlyDetectionLeaveTheOtherRecordsInvalid) {
    const PayloadBuilder b =
        PayloadBuilder(0, 0, 2)
            .Entry(PayloadBuilder::kDetection, Join({LE16(1), LE16(2), LE16(3), LE16(4)}))
            .Entry(PayloadBuilder::kDetection, Join({LE16(5), LE16(6), LE16(7), LE16(8)}));
    CRawExecResult raw;
    ParseExecPayload(b.Bytes(), 0x04, 0x00, false, kImageNone, nullptr, 0, &raw);
    CExecResult result;
    DecodeExecResult(raw, &result);
    ASSERT_EQ(result.faces.size(), 2u);
    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(result.faces[i].detection.IsValid());
        EXPECT_EQ(result.faces[i].detection.x, 1 + 4 * i);
        EXPECT_EQ(result.faces[i].detection.confidence, 4 + 4 * i);
        ExpectOnlyDetection(result.faces[i]);
    }
}

TEST(ExecDecodeTest, CountedFacesWithoutEntriesStayInvalidAndOldRecordsGo) {
    CExecResult result;
    result.bodies.resize(4);
    result.bodies[0].valid = 1;

    // Three faces and a body counted, the answer ends after the counts.
    const std::vector<std::uint8_t> payload = {1, 0, 3, 0};
    CRawExecResult raw;
    ParseExecPayload(payload, kAllFlags1, kAllFlags2, true, kImageNone, nullptr, 0, &raw);
    ASSERT_EQ(DecodeExecResult(raw, &result), 0);
    EXPECT_TRUE(result.bodies.empty());
    ASSERT_EQ(result.faces.size(), 3u);
    for (const CFaceResult& face : result.faces)
        EXPECT_EQ(Flatten(face), Flatten(CFaceResult{}));
    EXPECT_EQ(DecodeExecResult(raw, nullptr), -2);
}

TEST(ExecRecordTest, InitRefusesMissingOrShortEntries) {
    const std::uint8_t bytes[8] = {1, 0, 2, 0, 3, 0, 4, 0};
    CQZMDetectRes detect;
    EXPECT_EQ(detect.Init(std::span(bytes, 7)), -1);
    EXPECT_EQ(detect.Init({}), -1);
    EXPECT_FALSE(detect.IsValid());
    EXPECT_EQ(detect.x, -1);
    EXPECT_EQ(detect.Init(bytes), 0);
    EXPECT_TRUE(detect.IsValid());
    EXPECT_EQ(detect.size, 3);

    CQZMAgeRes age;
    EXPECT_EQ(age.Init(std::span(bytes, 2)), -1);
    EXPECT_EQ(age.Init(std::span(bytes, 3)), 0);
    EXPECT_EQ(age.confidence, 0x0200);  // little-endian bytes 1 and 2

    CQZMResBase base;
    EXPECT_EQ(base.Init({}), -1);
    EXPECT_EQ(base.Init(std::span(bytes, 0)), 0);
    EXPECT_TRUE(base.IsValid());
}

TEST(ExecRecordTest, DetectionBox) {
    struct Case {
        int x, y, size;
        DetectBox box;
    };
    const Case cases[] = {
        {100, 50, 41, {80, 30, 120, 70}},  // half side 20, integer division
        {100, 50, 40, {80, 30, 120, 70}}, {100, 50, -1, {-1, -1, -1, -1}},
        {-1, -1, 10, {-1, -1, -1, -1}},   {-1, 5, 10, {-6, 0, 4, 10}},  // only both at -1 mean no position
        {0, 0, 0, {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        CQZMDetectRes detect;
        detect.x = c.x;
        detect.y = c.y;
        detect.size = c.size;
        EXPECT_EQ(detect.Box(), c.box) << c.x << "," << c.y << " " << c.size;
    }
    EXPECT_EQ(CQZMDetectRes().Box(), (DetectBox{-1, -1, -1, -1}));
}

TEST(ExecImageSizeTest, ImageTakesTheSizeOfWhatArrived) {
    struct Case {
        const char* what;
        std::uint16_t width, height;
        std::size_t trailing;
        int result;
        int expectedWidth, expectedHeight;
    };
    const Case cases[] = {
        {"whole image", 160, 120, 19204, 0, 160, 120},
        {"smaller image than nominal", 100, 100, 19204, 0, 100, 100},
        {"stated more than nominal", 200, 200, 19204, -1, 0, 0},
        {"no image", 160, 120, 100, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CImageData image;
        ASSERT_EQ(image.Allocate(160, nullptr, 120, kFormatGrey8, 1), 0);
        std::vector<std::uint8_t> payload = {0, 0, 0, 0};
        PutLE16(payload, c.width);
        PutLE16(payload, c.height);
        payload.resize(4 + c.trailing, 9);
        CRawExecResult raw;
        ParseExecPayload(payload, 0, 0, false, kImage160x120, image.Plane(0), image.PlaneCapacity(0), &raw);
        EXPECT_EQ(SetExecImageSize(raw, &image), c.result);
        EXPECT_EQ(image.Width(), c.expectedWidth);
        EXPECT_EQ(image.Height(), c.expectedHeight);
        EXPECT_EQ(image.Stride(0), c.expectedWidth);
    }

    // Pixels copied elsewhere do not describe this image.
    CImageData image;
    image.Allocate(160, nullptr, 120, kFormatGrey8, 1);
    std::vector<std::uint8_t> other(19200);
    CRawExecResult raw;
    raw.imageWidth = 160;
    raw.imageHeight = 120;
    raw.pixels = other.data();
    raw.pixelBytes = other.size();
    EXPECT_EQ(SetExecImageSize(raw, &image), -1);
    EXPECT_EQ(image.Width(), 0);
    EXPECT_EQ(SetExecImageSize(raw, nullptr), -2);
}

}  // namespace
