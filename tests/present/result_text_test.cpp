// Result log texts compared as whole blocks, and the string table they are built from.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "present/result_text.h"
#include "res/string_table.h"

using namespace qzm;

namespace {

const std::string kSep = std::string(95, '-') + "\n";
const std::string kFaceSep = "\t      --\n";

CQZMDetectRes Detect(int x, int y, int size, int confidence) {
    CQZMDetectRes r;
    r.x = x;
    r.y = y;
    r.size = size;
    r.confidence = confidence;
    r.valid = 1;
    return r;
}

CQZMExpressionRes Expression(int top, int topScore, std::vector<int> scores, int degree) {
    CQZMExpressionRes r;
    r.topExpression = top;
    r.topScore = topScore;
    for (int k = 0; k < 5; ++k) {
        r.scores[k] = scores[k];
    }
    r.degree = degree;
    r.valid = 1;
    return r;
}

CQZMRecognitionRes Recognition(int userId, int score) {
    CQZMRecognitionRes r;
    r.userId = userId;
    r.score = score;
    r.valid = 1;
    return r;
}

// A face whose every record is valid and estimated.
CFaceResult FullFace(int x) {
    CFaceResult f;
    f.detection = Detect(x, 120, 64, 900);
    f.direction.yaw = -12;
    f.direction.pitch = 5;
    f.direction.roll = 3;
    f.direction.confidence = 700;
    f.direction.valid = 1;
    f.age.age = 34;
    f.age.confidence = 600;
    f.age.valid = 1;
    f.gender.gender = 1;
    f.gender.confidence = 800;
    f.gender.valid = 1;
    f.gaze.gazeYaw = -4;
    f.gaze.gazePitch = 2;
    f.gaze.valid = 1;
    f.blink.left = 100;
    f.blink.right = 200;
    f.blink.valid = 1;
    f.expression = Expression(3, 70, {-128, -128, -128, -128, -128}, 40);
    f.recognition = Recognition(7, 550);
    return f;
}

std::string ExecuteLine(const std::string& onOff) {
    return "Execute " + onOff + "\n";
}
std::string ResultLine(int ms, const std::string& code) {
    return "Result  Response time:" + std::to_string(ms) + "ms  Return code:" + code + "\n";
}

const std::string kAllOn =
    "Body:On Hand:On Face:On Dir.:On Age:On Gender:On Gaze:On Blink:On Expr.:On Recog.:On";
const std::string kAllOff =
    "Body:Off Hand:Off Face:Off Dir.:Off Age:Off Gender:Off Gaze:Off Blink:Off Expr.:Off Recog.:Off";

struct Switches {
    bool value[kFunctionCount] = {};
};
Switches On(std::initializer_list<int> functions) {
    Switches s;
    for (int f : functions) {
        s.value[f] = true;
    }
    return s;
}
// The "Execute" line of a switch set; the all-on and all-off lines are spelt out below.
std::string ExecuteLine(const Switches& s) {
    const char* names[] = {"Body",   "Hand", "Face",  "Dir.",  "Age",
                           "Gender", "Gaze", "Blink", "Expr.", "Recog."};
    std::string line = "Execute ";
    for (int i = 0; i < kFunctionCount; ++i) {
        line += std::string(i == 0 ? "" : " ") + names[i] + ":" + (s.value[i] ? "On" : "Off");
    }
    return line + "\n";
}
Switches AllOn() {
    Switches s;
    for (bool& v : s.value) {
        v = true;
    }
    return s;
}

ResultBlockInput Input(const Switches& s, const CExecResult* result,
                       const std::vector<UserName>* users = nullptr, int status = 0, std::uint8_t code = 0,
                       int ms = 50) {
    ResultBlockInput in;
    for (int i = 0; i < kFunctionCount; ++i) {
        in.functions[i] = s.value[i];
    }
    in.status = status;
    in.returnCode = code;
    in.responseTimeMs = ms;
    in.result = result;
    in.users = users;
    return in;
}

TEST(ResultTextTest, GoldenBlocks) {
    const std::vector<UserName> users = {{3, "Alice"}, {7, "Bob"}, {7, "Bob again"}};

    CExecResult empty;
    CExecResult withBodies;
    withBodies.bodies = {Detect(10, 20, 30, 400), Detect(-1, 0, 8192, 1000)};
    withBodies.hands = {Detect(5, 6, 7, 8)};

    CExecResult full;
    full.bodies = {Detect(1, 2, 3, 4)};
    full.faces = {FullFace(160), FullFace(40)};
    full.faces[1].gender.gender = 0;
    full.faces[1].recognition = Recognition(42, 300);  // not in the user list

    // Not possible and not registered; Direction and the other switches stay off.
    CExecResult notPossible;
    notPossible.faces.resize(2, FullFace(100));
    {
        CFaceResult& f = notPossible.faces[0];
        f.age.age = -128;
        f.gender.gender = -128;
        f.gaze.gazePitch = -128;
        f.blink.left = -128;
        f.expression = Expression(-128, -128, {-128, -128, -128, -128, -128}, 0);
        f.recognition = Recognition(-128, 0);
        notPossible.faces[1].gaze.gazeYaw = -128;
        notPossible.faces[1].blink.right = -128;
        notPossible.faces[1].recognition = Recognition(-127, 0);
    }
    const Switches estimations = On({kFunctionFace, kFunctionAge, kFunctionGender, kFunctionGaze,
                                     kFunctionBlink, kFunctionExpression, kFunctionRecognition});

    CExecResult invalid;
    invalid.faces.resize(1);  // every record of the face stayed invalid
    const Switches faceAll = On({2, 3, 4, 5, 6, 7, 8, 9});

    CExecResult plainFaces;
    plainFaces.faces = {FullFace(1), FullFace(2)};
    plainFaces.faces[1].recognition = Recognition(-1, 120);
    const Switches faceOnly = On({kFunctionFace});
    const Switches faceRecog = On({kFunctionFace, kFunctionRecognition});
    const Switches noFace = On({kFunctionAge, kFunctionRecognition});
    const Switches detections = On({kFunctionBody, kFunctionHand});
    const Switches counts = On({kFunctionBody, kFunctionHand, kFunctionFace});

    const std::string face0 =
        "\t    Index:0    \tX:160 Y:120 Size:64 Confidence:900\n"
        "\t    Direction   \tYaw:-12 Pitch:5 Roll:3 Confidence:700\n"
        "\t    Age         \tAge:34 Confidence:600\n"
        "\t    Gender      \tGender:Male Confidence:800\n"
        "\t    Gaze        \tYaw:-4 Pitch:2\n"
        "\t    Blink       \tLeft:100 Right:200\n"
        "\t    Expression  \tExpression:Surprise Score:70 Degree:40\n"
        "\t    Recognition \tBob Confidence:550\n";
    const std::string face1 =
        "\t    Index:1    \tX:40 Y:120 Size:64 Confidence:900\n"
        "\t    Direction   \tYaw:-12 Pitch:5 Roll:3 Confidence:700\n"
        "\t    Age         \tAge:34 Confidence:600\n"
        "\t    Gender      \tGender:Female Confidence:800\n"
        "\t    Gaze        \tYaw:-4 Pitch:2\n"
        "\t    Blink       \tLeft:100 Right:200\n"
        "\t    Expression  \tExpression:Surprise Score:70 Degree:40\n"
        "\t    Recognition \t Confidence:300\n";
    const std::string head = ResultLine(50, "00");

    struct Case {
        const char* name;
        ResultBlockInput input;
        std::string expected;
    };
    const Case cases[] = {
        {"all functions off", Input(Switches{}, &full, &users, 0, 0, 123),
         kSep + ExecuteLine(kAllOff) + ResultLine(123, "00") + "\n"},
        {"zero bodies, hands and faces", Input(counts, &empty),
         kSep + ExecuteLine(counts) + head + "\t Body count:0\n\t Hand count:0\n\t Face count:0\n\n"},
        {"null result", Input(AllOn(), nullptr),
         kSep + ExecuteLine(kAllOn) + head + "\t Body count:0\n\t Hand count:0\n\t Face count:0\n\n"},
        {"bodies and hands", Input(detections, &withBodies),
         kSep + ExecuteLine(detections) + head +
             "\t Body count:2\n"
             "\t    Index:0    \tX:10 Y:20 Size:30 Confidence:400\n"
             "\t    Index:1    \tX:-1 Y:0 Size:8192 Confidence:1000\n"
             "\t Hand count:1\n"
             "\t    Index:0    \tX:5 Y:6 Size:7 Confidence:8\n\n"},
        {"full faces, known and unknown user", Input(AllOn(), &full, &users, 0, 0, 7),
         kSep + ExecuteLine(kAllOn) + ResultLine(7, "00") +
             "\t Body count:1\n\t    Index:0    \tX:1 Y:2 Size:3 Confidence:4\n"
             "\t Hand count:0\n"
             "\t Face count:2\n" +
             face0 + kFaceSep + face1 + "\n"},
        {"not possible and not registered", Input(estimations, &notPossible, &users),
         kSep + ExecuteLine(estimations) + head +
             "\t Face count:2\n"
             "\t    Index:0    \tX:100 Y:120 Size:64 Confidence:900\n"
             "\t    Age         \tEstimation not possible.\n"
             "\t    Gender      \tEstimation not possible.\n"
             "\t    Gaze        \tEstimation not possible.\n"
             "\t    Blink       \tEstimation not possible.\n"
             "\t    Expression  \tEstimation not possible.\n"
             "\t    Recognition \tRecognition not possible.\n" +
             kFaceSep +
             "\t    Index:1    \tX:100 Y:120 Size:64 Confidence:900\n"
             "\t    Age         \tAge:34 Confidence:600\n"
             "\t    Gender      \tGender:Male Confidence:800\n"
             "\t    Gaze        \tEstimation not possible.\n"
             "\t    Blink       \tEstimation not possible.\n"
             "\t    Expression  \tExpression:Surprise Score:70 Degree:40\n"
             "\t    Recognition \tData not registered.\n\n"},
        // Invalid records print their placeholders; the trailing "-1" survives the trim.
        {"invalid records", Input(faceAll, &invalid),
         kSep + ExecuteLine(faceAll) + head +
             "\t Face count:1\n"
             "\t    Index:0    \tX:-1 Y:-1 Size:-1 Confidence:-1\n"
             "\t    Direction   \tYaw:0 Pitch:0 Roll:0 Confidence:-1\n"
             "\t    Age         \tAge:-1 Confidence:-1\n"
             "\t    Gender      \tGender:Female Confidence:-1\n"
             "\t    Gaze        \tYaw:0 Pitch:0\n"
             "\t    Blink       \tLeft:-1 Right:-1\n"
             "\t    Expression  \tExpression: Score:-1 Degree:0\n"
             "\t    Recognition \tNot registered Confidence:-1\n\n"},
        {"faces without estimations get no separator", Input(faceOnly, &plainFaces),
         kSep + ExecuteLine(faceOnly) + head +
             "\t Face count:2\n"
             "\t    Index:0    \tX:1 Y:120 Size:64 Confidence:900\n"
             "\t    Index:1    \tX:2 Y:120 Size:64 Confidence:900\n\n"},
        // Without a user list a matched number has an empty name.
        {"recognition alone separates faces", Input(faceRecog, &plainFaces),
         kSep + ExecuteLine(faceRecog) + head +
             "\t Face count:2\n"
             "\t    Index:0    \tX:1 Y:120 Size:64 Confidence:900\n"
             "\t    Recognition \t Confidence:550\n" +
             kFaceSep +
             "\t    Index:1    \tX:2 Y:120 Size:64 Confidence:900\n"
             "\t    Recognition \tNot registered Confidence:120\n\n"},
        {"estimations without the face switch", Input(noFace, &plainFaces),
         kSep + ExecuteLine(noFace) + head + "\n"},
        {"return code without status", Input(AllOn(), &full, &users, 0, 0x1A, 999),
         kSep + ExecuteLine(kAllOn) + ResultLine(999, "1a") + "\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatResultBlock(c.input), c.expected) << c.name;
    }
}

TEST(ResultTextTest, StatusLines) {
    CExecResult full;
    full.faces = {FullFace(1)};
    const std::string notResponding = "Device is not responding.\n";
    const std::string commError = "Communication error.\n";
    struct Case {
        int status;
        std::uint8_t code;
        const std::string& message;
    };
    // -25 and -1 are not named by the log; they are told as communication errors.
    for (const Case& c : {Case{-20, 0, notResponding}, Case{-22, 0, notResponding}, Case{-21, 0, commError},
                          Case{-30, 0, commError}, Case{-31, 0xFF, commError}, Case{-25, 0, commError},
                          Case{-1, 0, commError}}) {
        const std::string code = c.code == 0 ? "00" : "ff";
        EXPECT_EQ(FormatResultBlock(Input(AllOn(), &full, nullptr, c.status, c.code, 3000)),
                  kSep + ExecuteLine(kAllOn) + ResultLine(3000, code) + c.message + "\n")
            << c.status;
    }
}

TEST(ResultTextTest, ExpressionChoice) {
    const int none = -128;
    struct Case {
        CQZMExpressionRes expression;
        const char* line;
    };
    const Case cases[] = {
        // The five-score form: the first of the tied maxima wins.
        {Expression(none, none, {10, 80, 80, 5, 5}, 30),
         "Expression:Happiness Score:10, 80, 80, 5, 5 Degree:30"},
        {Expression(none, none, {1, 2, 3, 4, 90}, 0), "Expression:Sadness Score:1, 2, 3, 4, 90 Degree:0"},
        {Expression(none, none, {50, 50, 50, 50, 50}, 1),
         "Expression:Neutral Score:50, 50, 50, 50, 50 Degree:1"},
        // The one-score form keeps the module's choice.
        {Expression(4, 66, {none, none, none, none, none}, -20), "Expression:Anger Score:66 Degree:-20"},
        {Expression(none, none, {none, none, none, none, none}, 9), "Estimation not possible."},
        // Codes without a name stay unnamed.
        {Expression(0, 20, {none, none, none, none, none}, 0), "Expression: Score:20 Degree:0"},
        {Expression(-4, 20, {none, none, none, none, none}, 0), "Expression: Score:20 Degree:0"},
    };
    for (const Case& c : cases) {
        CExecResult result;
        result.faces.resize(1);
        result.faces[0].detection = Detect(1, 2, 3, 4);
        result.faces[0].expression = c.expression;
        const std::string block = FormatResultBlock(Input(On({kFunctionFace, kFunctionExpression}), &result));
        const std::string prefix = "\t Face count:1\n\t    Index:0    \tX:1 Y:2 Size:3 Confidence:4\n";
        const std::size_t at = block.find(prefix);
        ASSERT_NE(at, std::string::npos) << block;
        EXPECT_EQ(block.substr(at + prefix.size()), std::string("\t    Expression  \t") + c.line + "\n\n")
            << c.line;
    }
}

TEST(ResultTextTest, HeaderBlock) {
    EXPECT_EQ(FormatHeaderBlock("1.0.0.1", "1.2.3.4"), kSep + "QZM-K Demo\t1.0.0.1\nFirmware\t1.2.3.4\n");
    EXPECT_EQ(FormatHeaderBlock("", ""), kSep + "QZM-K Demo\t\nFirmware\t\n");
}

TEST(StringTableTest, LookupAndFormatting) {
    for (int id : {-1, 0, 1000, 2519, 2518, 3019, 99999}) {
        EXPECT_STREQ(LoadString(id), "") << id;
        EXPECT_FALSE(HasString(id)) << id;
        EXPECT_EQ(FormatString(id, 5, "x"), "") << id;
    }
    EXPECT_STREQ(LoadString(2000),
                 "\xC2\xB1"
                 "30\xC2\xB0");
    EXPECT_STREQ(LoadString(5201), "Running...\nPlease wait.");
    EXPECT_EQ(FormatString(1020, 7), "USER007");
    EXPECT_EQ(FormatString(5211, 0x2B), "Cannot load the Album. (error code 2B)\nTry again?");

    const std::string longName(100000, 'n');
    EXPECT_EQ(FormatString(5050, longName.c_str()), "QZM-K Firmware version\n    " + longName);
    EXPECT_EQ(FormatString(5033, longName.c_str(), 0x20), "Cannot open " + longName + ". (error code 20)");
}

// Every text is well-formed UTF-8, so the windows and the terminal show it unchanged.
TEST(StringTableTest, TextsAreUtf8) {
    std::size_t seen = 0;
    for (int id = 0; id < 100000; ++id) {
        if (!HasString(id)) {
            continue;
        }
        ++seen;
        const std::string text = LoadString(id);
        EXPECT_FALSE(text.empty()) << id;
        for (std::size_t i = 0; i < text.size();) {
            const unsigned char lead = static_cast<unsigned char>(text[i]);
            const std::size_t length = lead < 0x80           ? 1
                                       : (lead >> 5) == 0x6  ? 2
                                       : (lead >> 4) == 0xE  ? 3
                                       : (lead >> 3) == 0x1E ? 4
                                                             : 0;
            ASSERT_NE(length, 0u) << id;
            ASSERT_LE(i + length, text.size()) << id;
            for (std::size_t k = 1; k < length; ++k) {
                ASSERT_EQ(static_cast<unsigned char>(text[i + k]) >> 6, 0x2) << id;
            }
            i += length;
        }
    }
    EXPECT_EQ(seen, StringCount());
}

}  // namespace
