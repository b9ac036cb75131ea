#include "sim/emulated_scene.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace qzm {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr int kFreePeople = 3;

std::uint64_t Mix(std::uint64_t z) {
    z += 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// A fixed pseudo-random number in [0, 1) for (seed, index, what).
double Unit(std::uint64_t seed, int index, int what) {
    std::uint64_t z =
        Mix(seed ^ Mix(static_cast<std::uint64_t>(index) * 1000003u + static_cast<std::uint64_t>(what)));
    return static_cast<double>(z >> 11) * (1.0 / 9007199254740992.0);
}

double Lerp(double a, double b, double u) {
    return a + (b - a) * u;
}

int Clamp(double value, int low, int high) {
    return std::clamp(static_cast<int>(std::lround(value)), low, high);
}

// A slow wobble in [-1, 1] made of two sines, so that it does not look periodic.
double Wobble(double t, double rate, double phase) {
    return 0.6 * std::sin(rate * t + phase) + 0.4 * std::sin(2.3 * rate * t + 1.7 * phase + 0.5);
}

// A fixed normally distributed number (mean 0, deviation 1) for (seed, index, what), what and what + 1.
double Normal(std::uint64_t seed, int index, int what) {
    const double u1 = 1.0 - Unit(seed, index, what);  // (0, 1]: the logarithm stays finite
    const double u2 = Unit(seed, index, what + 1);
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(2 * kPi * u2);
}

double SmoothStep(double u) {
    u = std::clamp(u, 0.0, 1.0);
    return u * u * (3 - 2 * u);
}

// The timeline: every kVisitSlot seconds one person comes in from a side, stands in front of the camera
// for a few seconds and goes out again; the registered user and the stranger take turns, so any two
// neighbouring slots show both. Between visits nobody is in view.
constexpr double kVisitSlot = 10.0;
constexpr double kWalk = 1.2;  // seconds to walk in or out
// Timeline draws come from their own stream, so that they do not follow the free scene's.
constexpr std::uint64_t kTimelineSalt = 0x7131E11E5EEDull;
// The score drawn anew every 100 ms, as a module scores every picture on its own.
constexpr double kScoresPerSecond = 10.0;
// How often a frame of the registered user scores poorly (blur, light, a hand near the face) and a frame
// of the stranger resembles the registered user.
constexpr double kRegisteredDipShare = 0.12;
constexpr double kStrangerTailShare = 0.12;

struct Visit {
    ScenePerson who = ScenePerson::kNobody;
    int slot = 0;
    double arrive = 0;  // seconds into the slot
    double stay = 0;
    bool fromLeft = true;
    bool toLeft = true;
    double standX = 0;
    double standY = 0;
    double size = 0;
    bool waves = false;
    double light = 0;  // the registered user's score offset for this visit (light, glasses)

    double Leave() const { return arrive + kWalk + stay; }
    double Gone() const { return Leave() + kWalk; }
};

Visit VisitOf(std::uint64_t seed, long long slotNumber) {
    const std::uint64_t s = seed ^ kTimelineSalt;
    const int slot = static_cast<int>(slotNumber);
    Visit visit;
    visit.slot = slot;
    const int first = Unit(s, 0, 90) < 0.5 ? 0 : 1;
    visit.who = ((slot % 2 + 2 + first) % 2 == 0) ? ScenePerson::kRegistered : ScenePerson::kStranger;
    visit.arrive = Lerp(0.3, 2.0, Unit(s, slot, 1));
    visit.stay = Lerp(3.5, 5.5, Unit(s, slot, 2));
    visit.fromLeft = Unit(s, slot, 3) < 0.5;
    visit.toLeft = Unit(s, slot, 4) < 0.5;
    visit.standX = Lerp(220, 420, Unit(s, slot, 5));
    visit.standY = Lerp(165, 215, Unit(s, slot, 6));
    visit.size = Lerp(105, 140, Unit(s, slot, 7));
    visit.waves = Unit(s, slot, 8) < 0.5;
    visit.light = Lerp(-30, 30, Unit(s, slot, 9));
    return visit;
}

// How alike the module finds the face to the registered user's entries in the frame at time t.
int MatchScore(std::uint64_t seed, const Visit& visit, const SceneFace& face, double t) {
    const std::uint64_t s = seed ^ kTimelineSalt;
    const int frame = static_cast<int>(std::llround(t * kScoresPerSecond));
    const int who = visit.who == ScenePerson::kRegistered ? 0 : 1;
    const double spread = Normal(s, frame, 100 + 10 * who);
    const bool odd = Unit(s, frame, 102 + 10 * who) < (who == 0 ? kRegisteredDipShare : kStrangerTailShare);
    const int turned = std::abs(face.yaw);
    double score = 0;
    if (who == 0) {
        score = (odd ? 560 + 80 * spread : 775 + 55 * spread) + visit.light - 1.2 * turned;
        if (face.eyesClosed)
            score -= 50;
    } else {
        score = (odd ? 440 + 90 * spread : 235 + 75 * spread) - 0.5 * turned;
    }
    return Clamp(score, 0, 1000);
}

}  // namespace

std::string_view SceneKindName(SceneKind kind) {
    switch (kind) {
        case SceneKind::kSingle:
            return "single";
        case SceneKind::kTimeline:
            return "timeline";
        case SceneKind::kFree:
            break;
    }
    return "free";
}

bool SceneKindFromName(std::string_view name, SceneKind& kind) {
    for (SceneKind k : {SceneKind::kFree, SceneKind::kSingle, SceneKind::kTimeline}) {
        if (name == SceneKindName(k)) {
            kind = k;
            return true;
        }
    }
    return false;
}

// Everything about one person that does not change with time, drawn from the seed.
struct CEmulatedScene::Person {
    std::uint32_t identity = 0;
    double phase[8] = {};  // independent phases for the movements
    double turnAmplitude = 0;
    double turnRate = 0;
    double blinkPeriod = 0;
    double expressionPeriod = 0;
    int firstExpression = 0;
    int baseAge = 0;
    int gender = 0;
    int faceConfidence = 0;
    int bodyShade = 0;
    int skinShade = 0;

    Person(std::uint64_t seed, int index, std::uint32_t id) : identity(id) {
        for (int k = 0; k < 8; ++k)
            phase[k] = 2 * kPi * Unit(seed, index, k);
        turnAmplitude = Lerp(60, 85, Unit(seed, index, 10));
        turnRate = Lerp(0.25, 0.4, Unit(seed, index, 11));
        blinkPeriod = Lerp(3.0, 5.0, Unit(seed, index, 12));
        expressionPeriod = Lerp(3.0, 5.0, Unit(seed, index, 13));
        firstExpression = static_cast<int>(Unit(seed, index, 14) * 5);
        // Age and gender belong to the identity, so the same identity looks the same in every scene.
        baseAge = 18 + static_cast<int>(Unit(id, 0, 20) * 52);
        gender = Unit(id, 0, 21) < 0.5 ? 1 : 0;
        faceConfidence = static_cast<int>(Lerp(760, 900, Unit(seed, index, 16)));
        bodyShade = Unit(seed, index, 17) < 0.5 ? static_cast<int>(Lerp(50, 80, Unit(seed, index, 18)))
                                                : static_cast<int>(Lerp(180, 215, Unit(seed, index, 18)));
        skinShade = static_cast<int>(Lerp(175, 215, Unit(id, 0, 22)));
    }

    // The head turns away from the camera now and then, to either side, for a few seconds.
    double Turn(double t) const {
        double cycle = turnRate * t + phase[0];
        double p = std::sin(cycle);
        if (p <= 0.5)
            return 0;
        double side = (static_cast<long long>(std::floor(cycle / (2 * kPi))) % 2 == 0) ? 1.0 : -1.0;
        return side * turnAmplitude * std::sin((p - 0.5) / 0.5 * kPi / 2);
    }
};

CEmulatedScene::CEmulatedScene(std::uint64_t seed) : seed_(seed) {}

void CEmulatedScene::SetFacesInView(int count) {
    posedFaces_ = std::clamp(count, kFreeScene, kMaxPosedFaces);
}

void CEmulatedScene::SetFaceIdentity(int index, std::uint32_t identity) {
    if (index >= 0 && index < kMaxPosedFaces)
        identities_[index] = identity;
}

std::uint32_t CEmulatedScene::DefaultIdentity(int index) const {
    return 0x10000u +
           static_cast<std::uint32_t>(Mix(seed_ * 7919u + static_cast<std::uint64_t>(index)) & 0xFFFFu) *
               64u +
           static_cast<std::uint32_t>(index);
}

std::uint32_t CEmulatedScene::IdentityOf(int index) const {
    auto it = identities_.find(index);
    return it != identities_.end() ? it->second : DefaultIdentity(index);
}

// The body below a face at (x, y) of that size.
SceneBox CEmulatedScene::BodyOf(const Person& person, double t, double x, double y, double size) {
    SceneBox body;
    body.x = x;
    body.y = y + 1.6 * size;
    body.size = 2.6 * size;
    body.confidence = Clamp(person.faceConfidence - 60 + 50 * std::sin(1.3 * t + person.phase[6]), 1, 1000);
    body.shade = person.bodyShade;
    return body;
}

SceneFace CEmulatedScene::FaceOf(const Person& person, int index, double t, double x, double y, double size,
                                 double yaw) const {
    const double* ph = person.phase;
    SceneFace face;
    face.x = x;
    face.y = y;
    face.size = size;
    face.identity = person.identity;
    face.yaw = Clamp(yaw, -90, 90);
    face.pitch = Clamp(10 * Wobble(t, 0.5, ph[3]), -90, 90);
    face.roll = Clamp((index == 1 ? 28 : 10) * Wobble(t, 0.4, ph[4]), -90, 90);
    const int turned = std::abs(face.yaw);
    face.confidence = Clamp(person.faceConfidence - 4.5 * turned + 40 * std::sin(3.1 * t + ph[5]), 1, 1000);
    face.directionConfidence = Clamp(900 - 5 * turned + 30 * std::sin(2.3 * t + ph[6]), 1, 1000);

    // Blink: the eyes close for a quarter of a second once per period.
    double blinkAt = std::fmod(t + person.blinkPeriod * ph[7] / (2 * kPi), person.blinkPeriod);
    face.eyesClosed = blinkAt < 0.25;
    int open = Clamp(200 + 80 * std::sin(1.9 * t + ph[2]), 1, 1000);
    face.blinkLeft = face.eyesClosed ? Clamp(950 + 40 * std::sin(7 * t), 1, 1000) : open;
    face.blinkRight = face.eyesClosed ? Clamp(940 + 50 * std::sin(5 * t + 1), 1, 1000) : open + 15;

    // Expression: one after the other, each for a period, blending into the next in its last fifth.
    double slot = t / person.expressionPeriod + person.firstExpression;
    int current = static_cast<int>(std::floor(slot)) % 5;
    int next = (current + 1) % 5;
    double within = slot - std::floor(slot);
    double blend = within > 0.8 ? (within - 0.8) / 0.2 : 0.0;
    double strength = 60 + 20 * std::sin(0.9 * t + ph[1]);
    std::array<double, 5> raw{};
    for (int k = 0; k < 5; ++k)
        raw[k] = (100 - strength) / 5;
    raw[current] += strength * (1 - blend);
    raw[next] += strength * blend;
    int sum = 0;
    int top = 0;
    for (int k = 0; k < 5; ++k) {
        face.expressionScores[k] = static_cast<int>(raw[k]);
        sum += face.expressionScores[k];
        if (face.expressionScores[k] > face.expressionScores[top])
            top = k;
    }
    face.expressionScores[top] += 100 - sum;
    face.expression = top + 1;
    const auto& s = face.expressionScores;
    face.expressionDegree = Clamp(s[1] + 0.3 * s[2] - 0.8 * s[3] - s[4], -100, 100);

    face.age = std::clamp(person.baseAge + Clamp(3 * Wobble(t, 0.3, ph[1]), -3, 3), 1, 99);
    face.ageConfidence = Clamp(600 + 150 * Wobble(t, 0.7, ph[2]) - 3 * turned, 1, 1000);
    face.gender = person.gender;
    face.genderConfidence = Clamp(800 + 120 * Wobble(t, 0.6, ph[3]) - 3 * turned, 1, 1000);
    face.gazeYaw = Clamp(-0.3 * face.yaw + 18 * Wobble(t, 0.8, ph[4]), -90, 90);
    face.gazePitch = Clamp(10 * Wobble(t, 0.6, ph[5]), -90, 90);

    // A face turned far away shows too little for some estimates.
    if (turned > 45) {
        face.gazeYaw = face.gazePitch = kNotPossible;
        face.blinkLeft = face.blinkRight = kNotPossible;
    }
    if (turned > 60) {
        face.age = face.gender = kNotPossible;
        face.expressionScores.fill(kNotPossible);
        face.expressionDegree = kNotPossible;
    }
    return face;
}

SceneSnapshot CEmulatedScene::At(double seconds) const {
    SceneSnapshot snapshot;
    if (posedFaces_ != kFreeScene)
        snapshot = PosedScene(seconds, posedFaces_);
    else if (kind_ == SceneKind::kSingle)
        snapshot = PosedScene(seconds, 1);
    else if (kind_ == SceneKind::kTimeline)
        snapshot = TimelineScene(seconds);
    else
        snapshot = FreeScene(seconds);
    snapshot.time = seconds;
    return snapshot;
}

ScenePerson CEmulatedScene::PersonInView(double seconds) const {
    for (const SceneFace& face : At(seconds).faces) {
        if (face.person != ScenePerson::kNobody && face.x >= 0 && face.y >= 0 && face.x < kResultWidth &&
            face.y < kResultHeight)
            return face.person;
    }
    return ScenePerson::kNobody;
}

SceneSnapshot CEmulatedScene::TimelineScene(double t) const {
    SceneSnapshot scene;
    const long long slot = static_cast<long long>(std::floor(t / kVisitSlot));
    const Visit visit = VisitOf(seed_, slot);
    const double within = t - static_cast<double>(slot) * kVisitSlot;
    if (within < visit.arrive || within >= visit.Gone())
        return scene;

    // Face 0 is the registered user, face 1 the stranger; each visit moves and looks a little different.
    const int who = visit.who == ScenePerson::kRegistered ? 0 : 1;
    const Person person(seed_ ^ kTimelineSalt, 1000 + 2 * visit.slot + who, IdentityOf(who));
    const double* ph = person.phase;
    const double offLeft = -130;
    const double offRight = kResultWidth + 130;
    double x = visit.standX + 12 * Wobble(t, 0.5, ph[1]);
    double yaw = 8 * Wobble(t, 0.6, ph[0]) + person.Turn(t);
    if (within < visit.arrive + kWalk) {  // walking in, looking where they go
        const double u = SmoothStep((within - visit.arrive) / kWalk);
        x = Lerp(visit.fromLeft ? offLeft : offRight, visit.standX, u);
        yaw = (visit.fromLeft ? 1 : -1) * 50 * (1 - u);
    } else if (within >= visit.Leave()) {  // walking out
        const double u = SmoothStep((within - visit.Leave()) / kWalk);
        x = Lerp(visit.standX, visit.toLeft ? offLeft : offRight, u);
        yaw = (visit.toLeft ? -1 : 1) * 50 * u;
    }
    const double y = visit.standY + 10 * Wobble(t, 0.3, ph[2]);
    const double size = visit.size + 8 * std::sin(0.4 * t + ph[3]);

    SceneFace face = FaceOf(person, 0, t, x, y, size, yaw);
    face.person = visit.who;
    face.matchScore = MatchScore(seed_, visit, face, t);
    scene.faces.push_back(face);

    scene.bodies.push_back(BodyOf(person, t, x, y, size));

    // Some wave hello once they stand in front of the camera.
    const double waveFrom = visit.arrive + kWalk;
    if (visit.waves && within >= waveFrom && within < waveFrom + 2.0) {
        const double raise = std::sin(kPi * (within - waveFrom) / 2.0);
        if (raise >= 0.15) {
            SceneBox hand;
            hand.size = 0.75 * size;
            hand.x = x + (1.05 + 0.2 * raise) * size + 0.12 * size * std::sin(6 * t);
            hand.y = y + 1.5 * size - 1.3 * size * raise;
            hand.angle = 20 * std::sin(6 * t);
            hand.confidence = Clamp(520 + 380 * raise + 40 * std::sin(2.7 * t), 1, 1000);
            hand.shade = person.skinShade;
            scene.hands.push_back(hand);
        }
    }
    return scene;
}

SceneSnapshot CEmulatedScene::FreeScene(double t) const {
    SceneSnapshot scene;
    for (int i = 0; i < kFreePeople; ++i) {
        const Person person(seed_, i, IdentityOf(i));
        const double* ph = person.phase;
        double x = 0;
        double y = 0;
        double size = 0;
        switch (i) {
            case 0:  // stays in the middle, comes closer and goes back
                x = 300 + 110 * Wobble(t, 0.21, ph[1]);
                y = 175 + 25 * Wobble(t, 0.17, ph[2]);
                size = 115 + 25 * std::sin(0.13 * t + ph[3]);
                break;
            case 1:  // on the right, leaves the picture now and then
                x = 430 + 240 * std::sin(0.11 * t + ph[1]);
                y = 205 + 20 * Wobble(t, 0.23, ph[2]);
                size = 92 + 15 * std::sin(0.19 * t + ph[3]);
                break;
            default: {  // walks through the picture from left to right, then is away for a while
                const double period = 26;
                double walked = std::fmod(t + period * ph[1] / (2 * kPi), period) / period;
                x = -140 + walked * 920;
                y = 225 + 6 * std::abs(std::sin(4 * t));
                size = 78 + 8 * std::sin(0.3 * t + ph[3]);
                break;
            }
        }
        double yaw = 8 * Wobble(t, 0.6, ph[0]) + person.Turn(t);
        if (i == 2)
            yaw += 20;  // the walker keeps glancing sideways
        scene.faces.push_back(FaceOf(person, i, t, x, y, size, yaw));

        scene.bodies.push_back(BodyOf(person, t, x, y, size));

        // Hands: person 0 raises both now and then, person 1 the right one, the walker none.
        for (int side = 0; side < (i == 0 ? 2 : i == 1 ? 1 : 0); ++side) {
            double raise = std::sin(0.35 * t + ph[4 + side] + side * 2.0);
            if (raise < 0.15)
                continue;
            double sign = (i == 1 || side == 1) ? 1.0 : -1.0;
            SceneBox hand;
            hand.size = 0.75 * size;
            hand.x = x + sign * (1.05 + 0.2 * raise) * size + 0.12 * size * std::sin(6 * t + side);
            hand.y = y + 1.5 * size - 1.3 * size * raise;
            hand.angle = sign * 20 * std::sin(6 * t + side);
            hand.confidence = Clamp(520 + 380 * raise + 40 * std::sin(2.7 * t + side), 1, 1000);
            hand.shade = person.skinShade;
            scene.hands.push_back(hand);
        }
    }
    return scene;
}

SceneSnapshot CEmulatedScene::PosedScene(double t, int count) const {
    SceneSnapshot scene;
    const int n = count;
    if (n <= 0)
        return scene;
    int columns = n;
    int rows = 1;
    if (n > 4) {
        columns = static_cast<int>(std::ceil(std::sqrt(n * 4.0 / 3.0)));
        rows = (n + columns - 1) / columns;
    }
    const double cellWidth = static_cast<double>(kResultWidth) / columns;
    const double cellHeight = n > 4 ? static_cast<double>(kResultHeight) / rows : 400.0;
    const double size = std::min(120.0, 0.75 * std::min(cellWidth, cellHeight));
    for (int i = 0; i < n; ++i) {
        const Person person(seed_, i, IdentityOf(i));
        const double* ph = person.phase;
        double x = cellWidth * (i % columns + 0.5) + 4 * std::sin(0.5 * t + ph[1]);
        double y = (n > 4 ? cellHeight * (i / columns + 0.5) : 190.0) + 3 * std::sin(0.4 * t + ph[2]);
        SceneFace face = FaceOf(person, i, t, x, y, size, 8 * Wobble(t, 0.6, ph[0]));
        face.roll = Clamp(5 * Wobble(t, 0.4, ph[4]), -90, 90);
        face.confidence = Clamp(880 + 50 * std::sin(3.1 * t + ph[5]), 1, 1000);
        scene.faces.push_back(face);
        if (n <= 4) {
            SceneBox body;
            body.x = x;
            body.y = y + 1.6 * size;
            body.size = 2.6 * size;
            body.confidence = Clamp(820 + 50 * std::sin(1.3 * t + ph[6]), 1, 1000);
            body.shade = person.bodyShade;
            scene.bodies.push_back(body);
        }
    }
    return scene;
}

}  // namespace qzm
