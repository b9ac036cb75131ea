// The scenes the emulator can show: the free scene stays as it was, and the timeline of a registered user
// and a stranger coming and going gives recognition scores to measure a threshold against.
#include <gtest/gtest.h>

#include <cstdint>

#include "sim/module_emulator.h"
#include "sim_test_support.h"

namespace qzm {
namespace {

using namespace simtest;

// FNV-1a over every answer of count executions with every function and the small image.
std::uint64_t AnswerDigest(CModuleEmulator& emulator, int count, bool fiveScores) {
    std::uint64_t hash = 0xCBF29CE484222325ull;
    for (int i = 0; i < count; ++i) {
        ModuleReply reply =
            emulator.Handle(Frame(fiveScores ? kCmdExecuteEx : kCmdExecute, {kAllFlags1, kAllFlags2, 2}));
        for (std::uint8_t byte : reply.data)
            hash = (hash ^ byte) * 0x100000001B3ull;
    }
    return hash;
}

// The answers of the default scenes, taken before the scene could be chosen: recordings, screenshots and
// the checks of other tests rely on them staying byte for byte the same.
TEST(SceneChoice, DefaultScenesAnswerAsBefore) {
#ifdef _WIN32
    GTEST_SKIP() << "the digests were taken with this platform's C library sine";
#endif
    CModuleEmulator free3(ModuleIdentity::Extended());
    free3.SetSettings(WideOpenSettings());
    EXPECT_EQ(AnswerDigest(free3, 300, true), 0xf3cc27ba28484b9eull);

    // One person looking at the camera (the built-in simulated module), registered as user 5.
    CModuleEmulator single(ModuleIdentity::Basic());
    single.SetFacesInView(1);
    ASSERT_EQ(single.Handle(Frame(kCmdRegister, {5, 0, 0})).responseCode, kRespOk);
    EXPECT_EQ(AnswerDigest(single, 300, false), 0x16ec7ede4c0856ffull);
}

}  // namespace
}  // namespace qzm
