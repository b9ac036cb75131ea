// What the emulated camera sees: a few people moving in front of it, as a function of scene time.
//
// The scene is a pure function of its seed, its controls and the time, so that tests can replay it. Every
// person has a face, most have a body in view and some raise a hand now and then. Faces turn their heads
// (sometimes far away), blink now and then and change their expression; each face has an identity, from
// which the module derives the feature vector it registers and recognises.
//
// Coordinates are those of the module's results: a 640 x 480 space with the origin at the top left, the
// camera at angle 0. x, y are the centre of a detection, size the side of its square.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string_view>
#include <vector>

namespace qzm {

constexpr int kResultWidth = 640;
constexpr int kResultHeight = 480;
// The value of an estimate the module could not make.
constexpr int kNotPossible = -128;

// A body or a hand.
struct SceneBox {
    double x = 0;
    double y = 0;
    double size = 0;
    int confidence = 0;  // 0..1000
    double angle = 0;    // drawing only: tilt in degrees (a waving hand)
    int shade = 128;     // drawing only: grey value of clothes or skin
};

// Who a face belongs to, as the timeline scene knows it (ground truth for measuring recognition).
enum class ScenePerson {
    kNobody,      // no face in view (or, on a face, one of the other scenes: no part in the timeline)
    kRegistered,  // the timeline's person whom the module has registered
    kStranger,    // the timeline's person whom the module has never seen
};

// The scenes the emulator can show.
enum class SceneKind {
    kFree,      // three people moving about freely (the emulator's own scene)
    kSingle,    // one person looking at the camera (the program's built-in simulated module)
    kTimeline,  // a registered user and a stranger take turns in front of the camera
};

// "free", "single", "timeline".
std::string_view SceneKindName(SceneKind kind);
// False when name is none of the names above.
bool SceneKindFromName(std::string_view name, SceneKind& kind);

struct SceneFace {
    double x = 0;
    double y = 0;
    double size = 0;
    int confidence = 0;  // 0..1000
    // Head pose in degrees: yaw to the face's left is positive, pitch up is positive, roll clockwise.
    int yaw = 0;
    int pitch = 0;
    int roll = 0;
    int directionConfidence = 0;
    // Estimates; kNotPossible where the face is turned too far to estimate them.
    int age = 0;
    int ageConfidence = 0;
    int gender = 0;  // 1 male, 0 female
    int genderConfidence = 0;
    int gazeYaw = 0;
    int gazePitch = 0;
    int blinkLeft = 0;  // 1..1000: how closed the eye is
    int blinkRight = 0;
    std::array<int, 5> expressionScores{};  // neutral, happiness, surprise, anger, sadness; they sum to 100
    int expressionDegree = 0;               // -100 (negative) .. 100 (positive)
    std::uint32_t identity = 0;
    // What the face really does, for drawing it even where no estimate is possible.
    bool eyesClosed = false;
    int expression = 1;  // strongest expression, 1..5 as in the scores
    // Timeline scene only: who the face is, and how alike the module finds it to the registered user's
    // entries in this moment (0..1000). Elsewhere recognition follows the identity and the store.
    ScenePerson person = ScenePerson::kNobody;
    int matchScore = 0;
};

struct SceneSnapshot {
    double time = 0;
    std::vector<SceneBox> bodies;
    std::vector<SceneBox> hands;
    std::vector<SceneFace> faces;
};

class CEmulatedScene {
public:
    static constexpr std::uint64_t kDefaultSeed = 1;
    static constexpr int kFreeScene = -1;
    static constexpr int kMaxPosedFaces = 64;

    explicit CEmulatedScene(std::uint64_t seed = kDefaultSeed);

    std::uint64_t Seed() const { return seed_; }
    void SetSeed(std::uint64_t seed) { seed_ = seed; }

    // Which scene plays while no number of faces is posed (SetFacesInView). kFree by default.
    void SetKind(SceneKind kind) { kind_ = kind; }
    SceneKind Kind() const { return kind_; }

    // kFreeScene: the chosen scene plays. 0..kMaxPosedFaces: exactly that many faces, all in view and
    // looking at the camera (small head movements, blinks and expressions go on), side by side or in a
    // grid; up to four of them have a body below, none raises a hand.
    void SetFacesInView(int count);
    int FacesInView() const { return posedFaces_; }

    // The identity of face index (the free scene's person, or the posed face), from now on.
    void SetFaceIdentity(int index, std::uint32_t identity);
    void ClearFaceIdentities() { identities_.clear(); }

    SceneSnapshot At(double seconds) const;

    // The timeline's person whose face is in the 640 x 480 space at that time (camera angle 0); kNobody
    // in the other scenes and while nobody of the timeline is in view.
    ScenePerson PersonInView(double seconds) const;

    // The identity face index has unless one was chosen.
    std::uint32_t DefaultIdentity(int index) const;

private:
    struct Person;
    SceneFace FaceOf(const Person& person, int index, double t, double x, double y, double size,
                     double yaw) const;
    static SceneBox BodyOf(const Person& person, double t, double x, double y, double size);
    SceneSnapshot FreeScene(double t) const;
    SceneSnapshot PosedScene(double t, int count) const;
    SceneSnapshot TimelineScene(double t) const;
    std::uint32_t IdentityOf(int index) const;

    std::uint64_t seed_;
    SceneKind kind_ = SceneKind::kFree;
    int posedFaces_ = kFreeScene;
    std::map<int, std::uint32_t> identities_;
};

}  // namespace qzm
