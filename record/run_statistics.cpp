#include "record/run_statistics.h"

#include <algorithm>
#include <cmath>

namespace qzm {

namespace {

constexpr int kNotPossible = -128;
constexpr int kNoRegisteredData = -127;
constexpr int kNotRecognised = -1;

// Confidences run 0..1000 (20 bins of 50); the expression score 0..100 (20 bins of 5).
Histogram ConfidenceHistogram(int function) {
    switch (function) {
        case kFunctionGaze:
        case kFunctionBlink:
            return {};
        case kFunctionExpression:
            return {0, 5, 20};
        default:
            return {0, 50, 20};
    }
}

// The strongest expression (1..5) and its score: command 0x03 names it, command 0x04 gives the five
// scores instead (the named one then -128). {-1, -1} when neither is there.
std::pair<int, int> Strongest(const CQZMExpressionRes& r) {
    const auto [index, best] = r.Strongest();
    if (index < 1 || index > 5 || best < 0)
        return {-1, -1};
    return {index, best};
}

// A face's recognition answer that carries a score: a user number, or "not recognised".
bool Scored(const CQZMRecognitionRes& r) {
    return r.IsValid() && (r.userId >= 0 || r.userId == kNotRecognised);
}

std::int64_t FloorDiv(std::int64_t value, std::int64_t divisor) {
    return value >= 0 ? value / divisor : -((-value + divisor - 1) / divisor);
}

}  // namespace

void Histogram::Add(int value) {
    ++count;
    sum += value;
    if (bins.empty())
        return;
    const int last = static_cast<int>(bins.size()) - 1;
    const int bin = value < low ? 0 : std::min((value - low) / binWidth, last);
    ++bins[static_cast<std::size_t>(bin)];
}

double Spread::Deviation() const {
    if (count == 0)
        return 0.0;
    const double mean = Mean();
    return std::sqrt(std::max(0.0, sumSquares / static_cast<double>(count) - mean * mean));
}

template <class Bucket, int N>
Bucket* CRunStatistics::Ring<Bucket, N>::At(std::int64_t key) {
    if (key < 0)
        return nullptr;
    const auto slot = static_cast<std::size_t>(key % N);
    if (keys[slot] == key)
        return &buckets[slot];
    if (keys[slot] > key)
        return nullptr;  // older than what the slot holds: out of the window
    keys[slot] = key;
    buckets[slot] = Bucket{};
    return &buckets[slot];
}

template <class Bucket, int N>
std::vector<std::pair<std::int64_t, const Bucket*>> CRunStatistics::Ring<Bucket, N>::Recent() const {
    const std::int64_t newest = *std::max_element(keys.begin(), keys.end());
    std::vector<std::pair<std::int64_t, const Bucket*>> recent;
    for (std::size_t i = 0; i < buckets.size(); ++i) {
        if (keys[i] >= 0 && keys[i] > newest - N)
            recent.emplace_back(keys[i], &buckets[i]);
    }
    std::sort(recent.begin(), recent.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    return recent;
}

CRunStatistics::CRunStatistics()
    : responseBins_(kResponseBinCount),
      trueAcceptsAt_(kRecognitionScoreMax + 1),
      falseAcceptsAt_(kRecognitionScoreMax + 1) {
    for (int k = 0; k < kFunctionCount; ++k)
        functions_[k].confidence = ConfidenceHistogram(k);
}

void CRunStatistics::Reset() {
    *this = CRunStatistics();
}

void CRunStatistics::Add(const ExecutionReport& report, const std::vector<UserName>& names,
                         PersonInView truth) {
    ++runs_;
    if (truth.Tagged())
        ++taggedRuns_;
    if (runs_ == 1 || report.sentWallMs < firstSentMs_)
        firstSentMs_ = report.sentWallMs;
    lastDoneMs_ = std::max(lastDoneMs_, report.doneWallMs);
    if (report.status != 0)
        return;  // no answer: nothing found, no response time

    const int ms = std::max(0, report.responseTimeMs);
    ResponseFigures& r = responses_;
    ++r.runs;
    r.lastMs = ms;
    r.maxMs = std::max(r.maxMs, ms);
    ++responseBins_[static_cast<std::size_t>(std::min(ms, kResponseBinCount - 1))];
    if (SecondBucket* second = seconds_.At(FloorDiv(report.doneWallMs, 1000))) {
        ++second->runs;
        second->sumMs += ms;
        second->maxMs = std::max(second->maxMs, ms);
    }

    const FunctionSwitches& on = report.functions;
    const CExecResult& result = report.result;
    for (int k = 0; k < kFunctionCount; ++k) {
        if (on[k])
            ++functions_[k].runs;
    }
    const auto detections = [&](int function, const std::vector<CQZMDetectRes>& found) {
        FunctionFigures& f = functions_[function];
        f.found += static_cast<std::int64_t>(found.size());
        for (const CQZMDetectRes& d : found) {
            if (d.IsValid())
                f.confidence.Add(d.confidence);
        }
    };
    detections(kFunctionBody, result.bodies);
    detections(kFunctionHand, result.hands);
    FunctionFigures& faces = functions_[kFunctionFace];
    faces.found += static_cast<std::int64_t>(result.faces.size());
    FaceEstimates* minute = nullptr;
    if (!result.faces.empty()) {
        const std::int64_t key = FloorDiv(report.doneWallMs, 60000);
        minute = minutes_.At(key);
        if (minute != nullptr)
            minute->startMs = key * 60000;
    }
    for (const CFaceResult& face : result.faces) {
        if (face.detection.IsValid())
            faces.confidence.Add(face.detection.confidence);
        AddFace(face, on, minute);
    }
    if (on[kFunctionRecognition])
        AddRecognition(report, names);
    if (truth.Tagged())
        AddTruth(report, truth);
}

void CRunStatistics::AddFace(const CFaceResult& face, const FunctionSwitches& on, FaceEstimates* minute) {
    // Each estimate goes into the figures of the whole stream and of its minute.
    const auto both = [&](auto update) {
        update(faces_);
        if (minute != nullptr)
            update(*minute);
    };
    const auto count = [&](int function, const CQZMResBase& record, int confidence, bool hasConfidence) {
        if (!on[function] || !record.IsValid())
            return false;
        FunctionFigures& f = functions_[function];
        ++f.found;
        if (hasConfidence)
            f.confidence.Add(confidence);
        return true;
    };
    const CQZMDirectRes& d = face.direction;
    if (count(kFunctionDirection, d, d.confidence, true) && d.yaw != kNotPossible) {
        both([&](FaceEstimates& e) {
            e.yaw.Add(d.yaw);
            e.pitch.Add(d.pitch);
            e.roll.Add(d.roll);
        });
    }
    const CQZMAgeRes& a = face.age;
    if (count(kFunctionAge, a, a.confidence, true) && a.age != kNotPossible)
        both([&](FaceEstimates& e) { e.age.Add(a.age); });
    const CQZMGenderRes& g = face.gender;
    if (count(kFunctionGender, g, g.confidence, true) && g.gender != kNotPossible)
        both([&](FaceEstimates& e) { ++(g.gender == 1 ? e.male : e.female); });
    const CQZMGazeRes& z = face.gaze;
    if (count(kFunctionGaze, z, 0, false) && z.gazeYaw != kNotPossible) {
        both([&](FaceEstimates& e) {
            e.gazeYaw.Add(z.gazeYaw);
            e.gazePitch.Add(z.gazePitch);
        });
    }
    const CQZMBlinkRes& b = face.blink;
    if (count(kFunctionBlink, b, 0, false) && b.left != kNotPossible && b.right != kNotPossible)
        both([&](FaceEstimates& e) { e.blink.Add((b.left + b.right) / 2.0); });
    const auto [expression, score] = Strongest(face.expression);
    if (on[kFunctionExpression] && face.expression.IsValid()) {
        FunctionFigures& f = functions_[kFunctionExpression];
        ++f.found;
        if (expression > 0) {
            f.confidence.Add(score);
            both([&](FaceEstimates& e) { ++e.expressions[static_cast<std::size_t>(expression - 1)]; });
        }
    }
    const CQZMRecognitionRes& r = face.recognition;
    if (on[kFunctionRecognition] && r.IsValid()) {
        FunctionFigures& f = functions_[kFunctionRecognition];
        ++f.found;
        if (Scored(r))
            f.confidence.Add(r.score);
    }
}

void CRunStatistics::AddRecognition(const ExecutionReport& report, const std::vector<UserName>& names) {
    RecognitionFigures& figures = recognition_;
    bool stranger = false;
    bool noData = false;
    // A user recognised on several faces of one run counts one run; runs hold a few faces.
    const std::vector<CFaceResult>& faces = report.result.faces;
    for (std::size_t i = 0; i < faces.size(); ++i) {
        const CQZMRecognitionRes& r = faces[i].recognition;
        if (!r.IsValid())
            continue;
        if (r.userId == kNotRecognised) {
            ++figures.strangerFaces;
            stranger = true;
        } else if (r.userId == kNoRegisteredData) {
            ++figures.noDataFaces;
            noData = true;
        } else if (r.userId == kNotPossible) {
            ++figures.notPossibleFaces;
        } else if (r.userId >= 0) {
            UserRecognition& user = figures.users[r.userId];
            ++user.faces;
            user.scores.Add(r.score);
            bool seen = false;
            for (std::size_t j = 0; j < i && !seen; ++j)
                seen = faces[j].recognition.IsValid() && faces[j].recognition.userId == r.userId;
            if (!seen)
                ++user.runs;
            for (const auto& [id, name] : names) {
                if (id == r.userId) {
                    if (user.name != name)
                        user.name = name;
                    break;
                }
            }
        }
    }
    figures.strangerRuns += stranger ? 1 : 0;
    figures.noDataRuns += noData ? 1 : 0;
}

void CRunStatistics::AddTruth(const ExecutionReport& report, PersonInView truth) {
    if (!report.functions[kFunctionRecognition])
        return;  // recognition was not asked: nothing to measure
    const CFaceResult* best = nullptr;
    for (const CFaceResult& face : report.result.faces) {
        if (Scored(face.recognition) && (best == nullptr || face.recognition.score > best->recognition.score))
            best = &face;
    }
    const bool accepts = best != nullptr && best->recognition.userId >= 0;
    const auto score =
        accepts ? static_cast<std::size_t>(std::clamp(best->recognition.score, 0, kRecognitionScoreMax)) : 0;
    switch (truth.kind) {
        case PersonInView::kUser:
            ++genuineRuns_;
            if (accepts)
                ++(best->recognition.userId == truth.user ? trueAcceptsAt_ : falseAcceptsAt_)[score];
            break;
        case PersonInView::kStranger:
        case PersonInView::kNobody:
            ++(truth.kind == PersonInView::kStranger ? strangerRuns_ : nobodyRuns_);
            if (accepts)
                ++falseAcceptsAt_[score];
            break;
        case PersonInView::kUntagged:
            break;
    }
}

double CRunStatistics::ResultsPerSecond() const {
    const std::int64_t span = lastDoneMs_ - firstSentMs_;
    return span > 0 ? static_cast<double>(responses_.runs) * 1000.0 / static_cast<double>(span) : 0.0;
}

ResponseFigures CRunStatistics::Responses() const {
    ResponseFigures figures = responses_;
    if (figures.runs == 0)
        return figures;
    // Nearest rank: the smallest time that this share of the runs does not exceed.
    const auto rank = [&](double share) {
        return std::max<std::int64_t>(
            1, static_cast<std::int64_t>(std::ceil(share * static_cast<double>(figures.runs))));
    };
    const std::int64_t medianRank = rank(0.5);
    const std::int64_t p95Rank = rank(0.95);
    std::int64_t seen = 0;
    bool medianFound = false;
    for (int ms = 0; ms < kResponseBinCount; ++ms) {
        seen += responseBins_[static_cast<std::size_t>(ms)];
        if (!medianFound && seen >= medianRank) {
            figures.medianMs = ms;
            medianFound = true;
        }
        if (seen >= p95Rank) {
            figures.p95Ms = ms;
            break;
        }
    }
    return figures;
}

std::vector<ResponseSecond> CRunStatistics::ResponseSeries() const {
    std::vector<ResponseSecond> series;
    for (const auto& [second, bucket] : seconds_.Recent()) {
        series.push_back({second, bucket->runs,
                          bucket->runs > 0 ? static_cast<double>(bucket->sumMs) / bucket->runs : 0.0,
                          bucket->maxMs});
    }
    return series;
}

std::vector<FaceEstimates> CRunStatistics::FaceSeries() const {
    std::vector<FaceEstimates> series;
    for (const auto& [minute, bucket] : minutes_.Recent())
        series.push_back(*bucket);
    return series;
}

ThresholdTable CRunStatistics::Thresholds() const {
    ThresholdTable table;
    table.genuineRuns = genuineRuns_;
    table.strangerRuns = strangerRuns_;
    table.nobodyRuns = nobodyRuns_;
    const std::int64_t all = table.Runs();
    table.rows.resize(kRecognitionScoreMax + 1);
    // From the top down: the accepts at t are those with a score of t or more.
    std::int64_t trueAccepts = 0;
    std::int64_t falseAccepts = 0;
    for (int t = kRecognitionScoreMax; t >= 0; --t) {
        trueAccepts += trueAcceptsAt_[static_cast<std::size_t>(t)];
        falseAccepts += falseAcceptsAt_[static_cast<std::size_t>(t)];
        ThresholdRow& row = table.rows[static_cast<std::size_t>(t)];
        row.threshold = t;
        row.trueAcceptRate =
            genuineRuns_ > 0 ? static_cast<double>(trueAccepts) / static_cast<double>(genuineRuns_) : 0.0;
        row.falseAcceptRate = all > 0 ? static_cast<double>(falseAccepts) / static_cast<double>(all) : 0.0;
        row.falseRejectRate = genuineRuns_ > 0 ? 1.0 - row.trueAcceptRate : 0.0;
    }
    return table;
}

int ThresholdTable::ThresholdFor(double falseAcceptRate) const {
    if (Runs() == 0)
        return -1;
    // The rate falls as the threshold rises; a tiny margin keeps 1/100 from missing 0.01.
    for (const ThresholdRow& row : rows) {
        if (row.falseAcceptRate <= falseAcceptRate + 1e-12)
            return row.threshold;
    }
    return -1;
}

}  // namespace qzm
