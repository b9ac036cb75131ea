// The command side of the emulated module: takes one parsed command frame and gives the answer the module
// sends.
//
// Commands are dispatched through a table with one entry per command code (its fixed data length, whether
// only the extended command set has it, whether it is a set command, and its handler), so that further
// commands are added as one entry and one handler each.
//
// Behind the commands sit a moving scene (sim/emulated_scene.h) that executions report on and draw, the
// detection settings, and a registration store of 500 users by 10 entries that registration, deletion,
// recognition and the album commands work on.
//
// Response codes of the emulator (one byte, the second header byte of every answer):
//   0x00  kRespOk              the command was carried out
//   0x01  kRespNoFace          Register: no face in view
//   0x02  kRespSeveralFaces    Register: more than one face in view
//   0xC0  kRespUnknownCommand  the command code is unknown, not emulated, or not in this personality's set
//   0xC1  kRespBadLength       the data length does not match the command (for Load Album: the album size
//                              field does not match the frame's length prefix)
//   0xC2  kRespBadParameter    a value is outside its range (camera angle 0..3, yaw code 0..2, roll code
//                              0..1, image option 0..2, reserved flag bits set, user 0..499, data 0..9)
//   0xC3  kRespFrameTooLong    a Load Album frame announced more than the largest album (816032 + 8 bytes)
//   0xC4  kRespBadAlbum        Load Album: the album is malformed (magic, version, count, size, sum check,
//                              out-of-range or repeated numbers); the store is left as it was
// The error codes stay clear of 0x01 and 0x02 (registration messages of their own on the PC) and of 0x20
// (the PC's preset for album failures without an answer), so that the PC shows them as plain error codes.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "sim/emulated_scene.h"
#include "sim/exec_payload.h"
#include "sim/frame_parser.h"
#include "sim/module_faults.h"
#include "sim/module_identity.h"
#include "sim/registration_store.h"
#include "sim/scene_painter.h"
#include "sim/stored_settings.h"

namespace qzm {

enum EmulatorResponseCode : std::uint8_t {
    kRespOk = 0x00,
    kRespNoFace = 0x01,
    kRespSeveralFaces = 0x02,
    kRespUnknownCommand = 0xC0,
    kRespBadLength = 0xC1,
    kRespBadParameter = 0xC2,
    kRespFrameTooLong = 0xC3,
    kRespBadAlbum = 0xC4,
};

// How the scene's time goes on.
enum class SceneClock {
    kPerExecution,  // each execution moves the scene on by kSecondsPerExecution (deterministic)
    kWallTime,      // the scene follows the steady clock (for a person watching)
};

class CModuleEmulator {
public:
    static constexpr double kSecondsPerExecution = 0.1;
    static constexpr int kPortraitSide = 64;  // the registration answer's face image

    explicit CModuleEmulator(ModuleIdentity identity = ModuleIdentity::Basic());
    virtual ~CModuleEmulator() = default;

    CModuleEmulator(const CModuleEmulator&) = delete;
    CModuleEmulator& operator=(const CModuleEmulator&) = delete;

    // The answer to one command frame (before faults). Safe to call while other threads use the emulator.
    ModuleReply Handle(const ParsedFrame& frame);

    ModuleIdentity Identity() const;
    void SetIdentity(const ModuleIdentity& identity);
    StoredSettings Settings() const;
    void SetSettings(const StoredSettings& settings);

    // True when this personality answers the code with something other than kRespUnknownCommand.
    bool Knows(std::uint8_t code) const;

    // --- The scene ---
    // A different scene (the face controls below are kept). The time stays where it is.
    void SetSceneSeed(std::uint64_t seed);
    void SetSceneClock(SceneClock clock);
    // The time the next execution or registration sees; setting it also restarts the wall clock there.
    double SceneTime() const;
    void SetSceneTime(double seconds);
    // Which scene plays (SceneKind::kFree by default). The time stays where it is; posed faces
    // (SetFacesInView) still take its place until set back to CEmulatedScene::kFreeScene.
    void SetScene(SceneKind kind);
    SceneKind Scene() const;
    // CEmulatedScene::kFreeScene (-1): the chosen scene plays; 0..64: exactly that many faces in view.
    void SetFacesInView(int count);
    // Answers to executions from elsewhere (a recording replayed): the answer's data for the three
    // request bytes; fiveScores tells the extended execution. Empty: the scene answers.
    using ExecutionAnswers =
        std::function<std::vector<std::uint8_t>(std::span<const std::uint8_t> request, bool fiveScores)>;
    void SetExecutionAnswers(ExecutionAnswers answers);
    // The identity of face index from now on (which registered user a face is recognised as).
    void SetFaceIdentity(int index, std::uint32_t identity);
    // The scene the next execution or registration sees, before the camera angle turns it.
    SceneSnapshot SceneNow() const;
    // Who of the timeline the next execution sees in the picture (camera angle applied), whether or not
    // the detection settings let the face through: the ground truth for the recognition answer.
    // ScenePerson::kNobody in the other scenes.
    ScenePerson PersonInView() const;

    // --- The registration store ---
    std::size_t RegisteredEntries() const;
    std::vector<std::uint8_t> AlbumBytes() const;
    // Writes the store as an album file (temporary file, then renamed over path).
    bool SaveStore(const std::string& path, std::string* error = nullptr) const;
    // Replaces the store with an album file; a missing or malformed file leaves the store as it was.
    bool LoadStore(const std::string& path, std::string* error = nullptr);
    // From now on the store is saved to path after every change (empty: never). Failed saves are counted.
    void SetStoreFile(const std::string& path);
    std::uint64_t StoreSaveFailures() const;

private:
    using Handler = ModuleReply (CModuleEmulator::*)(std::span<const std::uint8_t> data);
    static constexpr int kAnyLength = -1;  // the handler checks the length itself

    struct CommandEntry {
        std::uint8_t code;
        int dataLength;  // exact data length, or kAnyLength
        bool extendedOnly;
        bool setCommand;
        Handler handler;
    };
    static std::span<const CommandEntry> Commands();
    const CommandEntry* Find(std::uint8_t code) const;  // mutex_ held

    // Handlers run with mutex_ held and the data length already checked.
    ModuleReply OnGetVersion(std::span<const std::uint8_t> data);
    ModuleReply OnSetCameraAngle(std::span<const std::uint8_t> data);
    ModuleReply OnSetThreshold(std::span<const std::uint8_t> data);
    ModuleReply OnSetSizeRange(std::span<const std::uint8_t> data);
    ModuleReply OnSetFaceAngle(std::span<const std::uint8_t> data);
    ModuleReply OnExecute(std::span<const std::uint8_t> data);
    ModuleReply OnExecuteEx(std::span<const std::uint8_t> data);
    ModuleReply OnRegister(std::span<const std::uint8_t> data);
    ModuleReply OnDeleteData(std::span<const std::uint8_t> data);
    ModuleReply OnDeleteUser(std::span<const std::uint8_t> data);
    ModuleReply OnDeleteAll(std::span<const std::uint8_t> data);
    ModuleReply OnGetUserData(std::span<const std::uint8_t> data);
    ModuleReply OnSaveAlbum(std::span<const std::uint8_t> data);
    ModuleReply OnLoadAlbum(std::span<const std::uint8_t> data);

    // The rest run with mutex_ held too.
    ModuleReply Execute(std::span<const std::uint8_t> data, bool fiveScores);
    double SceneTimeLocked() const;
    RecognitionAnswer RecognitionFor(const SceneFace& face, double time) const;
    void StoreChanged();

    mutable std::mutex mutex_;  // guards every member below
    ModuleIdentity identity_;
    StoredSettings settings_;
    CEmulatedScene scene_;
    SceneClock clock_ = SceneClock::kPerExecution;
    ExecutionAnswers answers_;
    double sceneTime_ = 0;                               // per execution: the time; wall time: the base
    std::chrono::steady_clock::time_point wallStart_{};  // wall time: when the scene was at sceneTime_
    CScenePainter painter_;
    CRegistrationStore store_;
    std::string storeFile_;
    std::uint64_t storeSaveFailures_ = 0;
};

}  // namespace qzm
