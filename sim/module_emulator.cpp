#include "sim/module_emulator.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "device/qzm_frame.h"
#include "sim/scene_view.h"

namespace qzm {

namespace {

ModuleReply Answer(std::uint8_t code, std::vector<std::uint8_t> data = {}) {
    return ModuleReply{code, std::move(data), false, false};
}

constexpr int kNothingRegistered = -127;
constexpr int kNobody = -1;
// Beyond this yaw too little of the face shows to recognise it.
constexpr int kRecognitionYawLimit = 60;
// Below this similarity the face is nobody the store knows; its score is that of a stranger.
constexpr int kStrangerSimilarity = 300;

std::uint32_t Mix32(std::uint32_t x) {
    x ^= x >> 16;
    x *= 0x7FEB352Du;
    x ^= x >> 15;
    x *= 0x846CA68Bu;
    return x ^ (x >> 16);
}

}  // namespace

CModuleEmulator::CModuleEmulator(ModuleIdentity identity) : identity_(std::move(identity)) {}

std::span<const CModuleEmulator::CommandEntry> CModuleEmulator::Commands() {
    static constexpr CommandEntry kCommands[] = {
        {kCmdGetVersion, 0, false, false, &CModuleEmulator::OnGetVersion},
        {kCmdSetCameraAngle, 1, false, true, &CModuleEmulator::OnSetCameraAngle},
        {kCmdSetThreshold, 8, false, true, &CModuleEmulator::OnSetThreshold},
        {kCmdSetSizeRange, 12, false, true, &CModuleEmulator::OnSetSizeRange},
        {kCmdSetFaceAngle, 2, false, true, &CModuleEmulator::OnSetFaceAngle},
        {kCmdExecute, 3, false, false, &CModuleEmulator::OnExecute},
        {kCmdExecuteEx, 3, true, false, &CModuleEmulator::OnExecuteEx},
        {kCmdRegister, 3, false, false, &CModuleEmulator::OnRegister},
        {kCmdDeleteData, 3, false, false, &CModuleEmulator::OnDeleteData},
        {kCmdDeleteUser, 2, false, false, &CModuleEmulator::OnDeleteUser},
        {kCmdDeleteAll, 0, false, false, &CModuleEmulator::OnDeleteAll},
        {kCmdGetUserData, 2, false, false, &CModuleEmulator::OnGetUserData},
        {kCmdSaveAlbum, 0, true, false, &CModuleEmulator::OnSaveAlbum},
        {kCmdLoadAlbum, kAnyLength, true, false, &CModuleEmulator::OnLoadAlbum},
    };
    return kCommands;
}

const CModuleEmulator::CommandEntry* CModuleEmulator::Find(std::uint8_t code) const {
    for (const CommandEntry& entry : Commands()) {
        if (entry.code != code)
            continue;
        if (entry.extendedOnly && !identity_.HasExtendedCommandSet())
            return nullptr;
        return &entry;
    }
    return nullptr;
}

bool CModuleEmulator::Knows(std::uint8_t code) const {
    std::lock_guard lock(mutex_);
    return Find(code) != nullptr;
}

ModuleReply CModuleEmulator::Handle(const ParsedFrame& frame) {
    if (frame.tooLong)
        return Answer(kRespFrameTooLong);
    std::lock_guard lock(mutex_);
    const CommandEntry* entry = Find(frame.code);
    if (entry == nullptr)
        return Answer(kRespUnknownCommand);
    ModuleReply reply;
    if (entry->dataLength != kAnyLength && frame.data.size() != static_cast<std::size_t>(entry->dataLength)) {
        reply = Answer(kRespBadLength);
    } else {
        reply = (this->*(entry->handler))(frame.data);
    }
    reply.setCommand = entry->setCommand;
    return reply;
}

ModuleIdentity CModuleEmulator::Identity() const {
    std::lock_guard lock(mutex_);
    return identity_;
}

void CModuleEmulator::SetIdentity(const ModuleIdentity& identity) {
    std::lock_guard lock(mutex_);
    identity_ = identity;
}

StoredSettings CModuleEmulator::Settings() const {
    std::lock_guard lock(mutex_);
    return settings_;
}

void CModuleEmulator::SetSettings(const StoredSettings& settings) {
    std::lock_guard lock(mutex_);
    settings_ = settings;
}

ModuleReply CModuleEmulator::OnGetVersion(std::span<const std::uint8_t>) {
    return Answer(kRespOk, identity_.VersionAnswer());
}

ModuleReply CModuleEmulator::OnSetCameraAngle(std::span<const std::uint8_t> data) {
    if (data[0] > 3)
        return Answer(kRespBadParameter);
    settings_.cameraAngle = data[0];
    return Answer(kRespOk);
}

ModuleReply CModuleEmulator::OnSetThreshold(std::span<const std::uint8_t> data) {
    for (std::size_t i = 0; i < settings_.thresholds.size(); ++i)
        settings_.thresholds[i] = GetLE16(&data[2 * i]);
    return Answer(kRespOk);
}

ModuleReply CModuleEmulator::OnSetSizeRange(std::span<const std::uint8_t> data) {
    for (std::size_t i = 0; i < settings_.sizeRanges.size(); ++i)
        settings_.sizeRanges[i] = GetLE16(&data[2 * i]);
    return Answer(kRespOk);
}

ModuleReply CModuleEmulator::OnSetFaceAngle(std::span<const std::uint8_t> data) {
    if (data[0] > 2 || data[1] > 1)
        return Answer(kRespBadParameter);
    settings_.yawCode = data[0];
    settings_.rollCode = data[1];
    return Answer(kRespOk);
}

// --- Executions ---

void CModuleEmulator::SetExecutionAnswers(ExecutionAnswers answers) {
    std::lock_guard lock(mutex_);
    answers_ = std::move(answers);
}

ModuleReply CModuleEmulator::OnExecute(std::span<const std::uint8_t> data) {
    return Execute(data, false);
}

ModuleReply CModuleEmulator::OnExecuteEx(std::span<const std::uint8_t> data) {
    return Execute(data, true);
}

ModuleReply CModuleEmulator::Execute(std::span<const std::uint8_t> data, bool fiveScores) {
    ExecRequest request;
    if (!ParseExecRequest(data, fiveScores, request))
        return Answer(kRespBadParameter);
    if (answers_) {
        ModuleReply replayed = Answer(kRespOk, answers_(data, fiveScores));
        replayed.resultPayload = true;
        return replayed;
    }

    const double time = SceneTimeLocked();
    const SceneSnapshot view = TurnForCamera(scene_.At(time), settings_.cameraAngle);
    const Detections found = Detect(view, settings_);
    std::vector<RecognitionAnswer> recognition;
    recognition.reserve(found.faces.size());
    for (const SceneFace& face : found.faces)
        recognition.push_back(request.Recognition() ? RecognitionFor(face, time) : RecognitionAnswer{});

    ModuleReply reply = Answer(kRespOk, BuildExecPayload(request, found, recognition));
    reply.resultPayload = true;
    if (request.imageOption != 0) {
        const int width = request.ImageWidth();
        const int height = request.ImageHeight();
        const std::size_t at = reply.data.size();
        reply.data.resize(at + static_cast<std::size_t>(width) * height);
        painter_.Paint(view, settings_.cameraAngle, width, height, reply.data.data() + at);
    }
    if (clock_ == SceneClock::kPerExecution)
        sceneTime_ += kSecondsPerExecution;
    return reply;
}

RecognitionAnswer CModuleEmulator::RecognitionFor(const SceneFace& face, double time) const {
    if (store_.Empty())
        return {kNothingRegistered, 0};
    const int turned = std::abs(face.yaw);
    if (turned > kRecognitionYawLimit)
        return {kNotPossible, 0};
    if (face.person != ScenePerson::kNobody) {
        // The timeline: its registered person is whoever the store holds first, with the score the scene
        // drew for this frame. A frame scoring below the threshold is a false reject; a stranger's frame
        // reaching it is a false accept, matched to that same user.
        if (face.matchScore >= settings_.thresholds[3])
            return {store_.FirstUser(), face.matchScore};
        return {kNobody, face.matchScore};
    }
    const CRegistrationStore::Match match = store_.BestMatchForIdentity(face.identity);
    const double jitter = 15 * std::sin(2.1 * time + (face.identity % 97));
    double score = 0;
    if (match.similarity >= kStrangerSimilarity) {
        score = match.similarity * (0.96 - turned / 250.0) + jitter;
    } else {
        score = 120 + static_cast<double>(Mix32(face.identity) % 150) + jitter;
    }
    const int rounded = std::clamp(static_cast<int>(std::lround(score)), 0, 1000);
    if (match.similarity >= kStrangerSimilarity && rounded >= settings_.thresholds[3])
        return {match.user, rounded};
    return {kNobody, rounded};
}

double CModuleEmulator::SceneTimeLocked() const {
    if (clock_ == SceneClock::kPerExecution)
        return sceneTime_;
    std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - wallStart_;
    return sceneTime_ + elapsed.count();
}

void CModuleEmulator::SetSceneSeed(std::uint64_t seed) {
    std::lock_guard lock(mutex_);
    scene_.SetSeed(seed);
}

void CModuleEmulator::SetSceneClock(SceneClock clock) {
    std::lock_guard lock(mutex_);
    sceneTime_ = SceneTimeLocked();
    clock_ = clock;
    wallStart_ = std::chrono::steady_clock::now();
}

double CModuleEmulator::SceneTime() const {
    std::lock_guard lock(mutex_);
    return SceneTimeLocked();
}

void CModuleEmulator::SetSceneTime(double seconds) {
    std::lock_guard lock(mutex_);
    sceneTime_ = seconds;
    wallStart_ = std::chrono::steady_clock::now();
}

void CModuleEmulator::SetScene(SceneKind kind) {
    std::lock_guard lock(mutex_);
    scene_.SetKind(kind);
}

SceneKind CModuleEmulator::Scene() const {
    std::lock_guard lock(mutex_);
    return scene_.Kind();
}

ScenePerson CModuleEmulator::PersonInView() const {
    std::lock_guard lock(mutex_);
    const SceneSnapshot view = TurnForCamera(scene_.At(SceneTimeLocked()), settings_.cameraAngle);
    for (const SceneFace& face : view.faces) {
        if (face.person != ScenePerson::kNobody && InResultSpace(face.x, face.y))
            return face.person;
    }
    return ScenePerson::kNobody;
}

void CModuleEmulator::SetFacesInView(int count) {
    std::lock_guard lock(mutex_);
    scene_.SetFacesInView(count);
}

void CModuleEmulator::SetFaceIdentity(int index, std::uint32_t identity) {
    std::lock_guard lock(mutex_);
    scene_.SetFaceIdentity(index, identity);
}

SceneSnapshot CModuleEmulator::SceneNow() const {
    std::lock_guard lock(mutex_);
    return scene_.At(SceneTimeLocked());
}

// --- Registrations ---

ModuleReply CModuleEmulator::OnRegister(std::span<const std::uint8_t> data) {
    const int user = GetLE16(&data[0]);
    const int number = data[2];
    if (!CRegistrationStore::ValidUser(user) || !CRegistrationStore::ValidData(number))
        return Answer(kRespBadParameter);
    const Detections found =
        Detect(TurnForCamera(scene_.At(SceneTimeLocked()), settings_.cameraAngle), settings_);
    if (found.faces.empty())
        return Answer(kRespNoFace);
    if (found.faces.size() > 1)
        return Answer(kRespSeveralFaces);

    store_.Set(user, number, FeatureForIdentity(found.faces.front().identity));
    StoreChanged();
    std::vector<std::uint8_t> answer;
    answer.reserve(4 + kPortraitSide * kPortraitSide);
    PutLE16(answer, kPortraitSide);
    PutLE16(answer, kPortraitSide);
    answer.resize(4 + kPortraitSide * kPortraitSide);
    CScenePainter::PaintPortrait(found.faces.front(), kPortraitSide, answer.data() + 4);
    return Answer(kRespOk, std::move(answer));
}

ModuleReply CModuleEmulator::OnDeleteData(std::span<const std::uint8_t> data) {
    const int user = GetLE16(&data[0]);
    const int number = data[2];
    if (!CRegistrationStore::ValidUser(user) || !CRegistrationStore::ValidData(number))
        return Answer(kRespBadParameter);
    if (store_.Has(user, number)) {
        store_.Erase(user, number);
        StoreChanged();
    }
    return Answer(kRespOk);
}

ModuleReply CModuleEmulator::OnDeleteUser(std::span<const std::uint8_t> data) {
    const int user = GetLE16(&data[0]);
    if (!CRegistrationStore::ValidUser(user))
        return Answer(kRespBadParameter);
    if (store_.Presence(user) != 0) {
        store_.EraseUser(user);
        StoreChanged();
    }
    return Answer(kRespOk);
}

ModuleReply CModuleEmulator::OnDeleteAll(std::span<const std::uint8_t>) {
    if (!store_.Empty()) {
        store_.Clear();
        StoreChanged();
    }
    return Answer(kRespOk);
}

ModuleReply CModuleEmulator::OnGetUserData(std::span<const std::uint8_t> data) {
    const int user = GetLE16(&data[0]);
    if (!CRegistrationStore::ValidUser(user))
        return Answer(kRespBadParameter);
    std::vector<std::uint8_t> answer;
    PutLE16(answer, store_.Presence(user));
    return Answer(kRespOk, std::move(answer));
}

// --- Albums ---

ModuleReply CModuleEmulator::OnSaveAlbum(std::span<const std::uint8_t>) {
    const std::vector<std::uint8_t> album = store_.ToAlbum();
    std::vector<std::uint8_t> answer;
    answer.reserve(8 + album.size());
    PutLE32(answer, static_cast<std::uint32_t>(album.size()));
    answer.insert(answer.end(), {1, 0, 0, 0});  // flag field: the album's flag byte, then three zeros
    answer.insert(answer.end(), album.begin(), album.end());
    return Answer(kRespOk, std::move(answer));
}

ModuleReply CModuleEmulator::OnLoadAlbum(std::span<const std::uint8_t> data) {
    // 32-bit length of the rest, 32-bit album size, 4-byte flag field, the album.
    constexpr std::size_t kFieldsSize = 12;
    if (data.size() < kFieldsSize)
        return Answer(kRespBadLength);
    const std::uint32_t announced = GetLE32(&data[0]);
    const std::uint32_t size = GetLE32(&data[4]);
    if (announced != data.size() - 4 || static_cast<std::uint64_t>(size) + 8 != announced)
        return Answer(kRespBadLength);
    if (store_.LoadAlbum(data.subspan(kFieldsSize, size)) != AlbumCheck::kOk)
        return Answer(kRespBadAlbum);
    StoreChanged();
    return Answer(kRespOk);
}

void CModuleEmulator::StoreChanged() {
    if (storeFile_.empty())
        return;
    if (!WriteFileAtomically(storeFile_, store_.ToAlbum(), nullptr))
        ++storeSaveFailures_;
}

std::size_t CModuleEmulator::RegisteredEntries() const {
    std::lock_guard lock(mutex_);
    return store_.EntryCount();
}

std::vector<std::uint8_t> CModuleEmulator::AlbumBytes() const {
    std::lock_guard lock(mutex_);
    return store_.ToAlbum();
}

bool CModuleEmulator::SaveStore(const std::string& path, std::string* error) const {
    std::vector<std::uint8_t> album = AlbumBytes();
    return WriteFileAtomically(path, album, error);
}

bool CModuleEmulator::LoadStore(const std::string& path, std::string* error) {
    std::vector<std::uint8_t> album;
    if (!ReadWholeFile(path, album, kAlbumMaxSize, error))
        return false;
    std::lock_guard lock(mutex_);
    AlbumCheck check = store_.LoadAlbum(album);
    if (check != AlbumCheck::kOk) {
        if (error)
            *error = path + ": " + std::string(AlbumCheckText(check));
        return false;
    }
    return true;
}

void CModuleEmulator::SetStoreFile(const std::string& path) {
    std::lock_guard lock(mutex_);
    storeFile_ = path;
}

std::uint64_t CModuleEmulator::StoreSaveFailures() const {
    std::lock_guard lock(mutex_);
    return storeSaveFailures_;
}

}  // namespace qzm
