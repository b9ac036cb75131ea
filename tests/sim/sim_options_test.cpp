#include "sim/sim_options.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace qzm {
namespace {

using Args = std::vector<std::string>;

TEST(SimOptions, EveryOptionReachesItsField) {
    SimOptions o;
    std::string error;
    ASSERT_TRUE(
        ParseSimOptions({"--personality", "extended", "--pace=921600", "--link", "/tmp/qzm", "--silent",
                         "--stop-after", "0", "--bad-sync", "--short-header", "--bad-length", "--set-data=5",
                         "--response-code", "0x3f", "--junk", "9", "--only-command", "11"},
                        o, error))
        << error;
    EXPECT_TRUE(o.identity.HasExtendedCommandSet());
    EXPECT_EQ(o.identity.WireModel(), "QZM-K200    ");
    EXPECT_EQ(o.paceBaud, 921600u);
    EXPECT_EQ(o.linkPath, "/tmp/qzm");
    EXPECT_TRUE(o.faults.silent);
    EXPECT_EQ(o.faults.stopAfter, 0u);
    EXPECT_TRUE(o.faults.badSync);
    EXPECT_TRUE(o.faults.shortHeader);
    EXPECT_TRUE(o.faults.badLength);
    EXPECT_EQ(o.faults.setCommandData, 5u);
    EXPECT_EQ(o.faults.responseCode, 0x3F);
    EXPECT_EQ(o.faults.junkBefore, 9u);
    EXPECT_EQ(o.faults.onlyCommand, 0x11);
    // Meant for Delete Data: the answer to Get Version stays whole.
    EXPECT_EQ(o.faults.For(0x00), ModuleFaults{});
    EXPECT_EQ(o.faults.For(0x11), o.faults);
    EXPECT_TRUE(o.portName.empty());

    ASSERT_TRUE(ParseSimOptions({"--port=COM7", "--pace", "9600"}, o, error)) << error;
    EXPECT_EQ(o.portName, "COM7");
    EXPECT_TRUE(o.linkPath.empty());
}

TEST(SimOptions, SceneAndStoreOptions) {
    SimOptions defaults;
    EXPECT_EQ(defaults.facesInView, -1);
    EXPECT_EQ(defaults.scene, SceneKind::kFree);
    EXPECT_FALSE(defaults.wallClock);
    EXPECT_TRUE(defaults.storePath.empty());
    EXPECT_FALSE(defaults.faults.truncatePayloadAt);

    SimOptions o;
    std::string error;
    ASSERT_TRUE(ParseSimOptions(
        {"--store", "db/module.qzb", "--seed=42", "--wall-clock", "--faces", "0", "--truncate-payload", "37"},
        o, error))
        << error;
    EXPECT_EQ(o.storePath, "db/module.qzb");
    EXPECT_EQ(o.seed, 42u);
    EXPECT_TRUE(o.wallClock);
    EXPECT_EQ(o.facesInView, 0);
    EXPECT_EQ(o.faults.truncatePayloadAt, 37u);
    ASSERT_TRUE(ParseSimOptions({"--faces", "64"}, o, error));
    EXPECT_EQ(o.facesInView, 64);

    const std::pair<const char*, SceneKind> scenes[] = {
        {"free", SceneKind::kFree}, {"single", SceneKind::kSingle}, {"timeline", SceneKind::kTimeline}};
    for (const auto& [name, kind] : scenes) {
        ASSERT_TRUE(ParseSimOptions({"--scene", name}, o, error)) << name;
        EXPECT_EQ(o.scene, kind) << name;
        ASSERT_TRUE(ParseSimOptions({std::string("--scene=") + name}, o, error)) << name;
        EXPECT_EQ(o.scene, kind) << name;
    }
}

TEST(SimOptions, ModelAndVersionOverrideThePersonalityWhereverTheyStand) {
    SimOptions o;
    std::string error;
    ASSERT_TRUE(
        ParseSimOptions({"--version", "2.2.7.99", "--model", "TEST", "--personality", "basic"}, o, error));
    EXPECT_EQ(o.identity.WireModel(), "TEST        ");
    EXPECT_EQ(o.identity.major, 2);
    EXPECT_EQ(o.identity.minor, 2);
    EXPECT_EQ(o.identity.release, 7);
    EXPECT_EQ(o.identity.revision, 99u);
    EXPECT_TRUE(o.identity.HasExtendedCommandSet());
}

TEST(SimOptions, ResponseCodeIsHexadecimal) {
    struct Case {
        const char* text;
        int expected;  // -1: refused
    } cases[] = {{"20", 0x20}, {"0x20", 0x20}, {"ff", 0xFF}, {"0", 0},
                 {"100", -1},  {"0x", -1},     {"g1", -1},   {"", -1}};
    for (const Case& c : cases) {
        SimOptions o;
        std::string error;
        bool ok = ParseSimOptions({"--response-code", c.text}, o, error);
        EXPECT_EQ(ok, c.expected >= 0) << c.text;
        if (ok) {
            EXPECT_EQ(o.faults.responseCode, c.expected) << c.text;
        }
    }
}

TEST(SimOptions, UnusableCommandLinesAreRefusedWithAReason) {
    const Args cases[] = {
        {"--personality", "fancy"},
        {"--personality"},
        {"--model", "THIRTEEN-BYTE"},
        {"--version", "1.2.3"},
        {"--pace", "-1"},
        {"--pace", "fast"},
        {"--stop-after"},
        {"--set-data", "0"},
        {"--junk", "0"},
        {"--junk", "1x"},
        {"--only-command", "1ff"},
        {"--link", ""},
        {"--port", ""},
        {"--port"},
        {"--port", "COM7", "--link", "/tmp/qzm"},
        {"--store", ""},
        {"--store"},
        {"--faces", "65"},
        {"--faces", "-1"},
        {"--seed", "x"},
        {"--scene"},
        {"--scene", ""},
        {"--scene", "Timeline"},
        {"--scene", "crowd"},
        {"--wall-clock=1"},
        {"--truncate-payload"},
        {"--silent=yes"},
        {"--bogus"},
        {"positional"},
    };
    for (const Args& args : cases) {
        SimOptions o;
        o.paceBaud = 123;
        std::string error;
        EXPECT_FALSE(ParseSimOptions(args, o, error)) << args[0];
        EXPECT_FALSE(error.empty()) << args[0];
        EXPECT_EQ(o.paceBaud, 123u) << "options changed by a refused line";
    }
}

}  // namespace
}  // namespace qzm
