// The figures an evaluator reads off a stream of executions: pace, response times, what each
// function found and how sure it was, the face estimates over time, who was recognised, and, for
// runs tagged with the person in view, how often recognition accepts the right person and how often
// a wrong one at every score threshold.
//
// CRunStatistics is fed one run at a time, by the window on its own thread while executions go on
// and by `qzm-cli stats` over a recording. Add does a few counter and histogram updates per face and
// never grows with the number of runs: every histogram has fixed bins, the time series keep the last
// minutes in rings. Not thread-safe: one thread adds and reads.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "record/recording.h"

namespace qzm {

// The module's recognition scores run from 0 to this; the threshold table covers 0 to this too.
inline constexpr int kRecognitionScoreMax = 1000;

// Counts of values in equal bins from low; a value below low goes to the first bin, one at or past
// the last bin's end to the last bin. Empty (no bins) for a function that reports no confidence.
struct Histogram {
    int low = 0;
    int binWidth = 1;
    std::vector<std::int64_t> bins;
    std::int64_t count = 0;
    double sum = 0;

    Histogram() = default;
    Histogram(int lowValue, int width, int binCount)
        : low(lowValue), binWidth(width), bins(static_cast<std::size_t>(binCount)) {}
    void Add(int value);
    double Mean() const { return count > 0 ? sum / static_cast<double>(count) : 0.0; }
};

// Mean and standard deviation (of the population) of a value.
struct Spread {
    std::int64_t count = 0;
    double sum = 0;
    double sumSquares = 0;

    void Add(double value) {
        ++count;
        sum += value;
        sumSquares += value * value;
    }
    double Mean() const { return count > 0 ? sum / static_cast<double>(count) : 0.0; }
    double Deviation() const;
};

struct ResponseFigures {
    std::int64_t runs = 0;  // answered runs (status 0), the only ones with a response time
    int lastMs = 0;
    // Nearest rank over every answered run, from 1 ms bins: exact for times under kResponseBinCount
    // ms; a longer time counts as that many.
    int medianMs = 0;
    int p95Ms = 0;
    int maxMs = 0;  // exact
};

// One second of the response time series (for a strip chart).
struct ResponseSecond {
    std::int64_t second = 0;  // wall clock at the runs' end, seconds since 1970
    int runs = 0;
    double meanMs = 0;
    int maxMs = 0;
};

// One function over the answered runs that asked for it.
struct FunctionFigures {
    std::int64_t runs = 0;   // answered runs with the function switched on
    std::int64_t found = 0;  // its detections (body, hand, face), or faces with its estimate
    // The confidence of each detection or estimate (0..1000, 20 bins); for expression the
    // strongest expression's score (0..100, 20 bins), for recognition the score (0..1000, 20 bins).
    // Gaze and blink report no confidence: no bins.
    Histogram confidence;
    double PerRun() const { return runs > 0 ? static_cast<double>(found) / static_cast<double>(runs) : 0.0; }
};

// The face estimates of a span of time; values the module could not estimate (-128) are left out.
struct FaceEstimates {
    std::int64_t startMs = 0;  // the span's start, wall clock (the minute's start in the series)
    Spread age;
    std::int64_t male = 0;
    std::int64_t female = 0;
    std::array<std::int64_t, 5> expressions{};  // strongest: neutral, happiness, surprise, anger, sadness
    Spread blink;                               // eye closure, the mean of both eyes (1..1000)
    Spread gazeYaw;
    Spread gazePitch;
    Spread yaw;  // face direction
    Spread pitch;
    Spread roll;
};

struct UserRecognition {
    std::string name;        // as the latest run with names knew it ("" when none did)
    std::int64_t runs = 0;   // runs in which a face was recognised as this user
    std::int64_t faces = 0;  // faces recognised as this user
    Histogram scores{0, 50, 20};
};

struct RecognitionFigures {
    std::map<int, UserRecognition> users;  // by user number
    std::int64_t strangerFaces = 0;        // faces answered "not recognised" (a face nobody registered)
    std::int64_t strangerRuns = 0;         // runs with at least one such face
    std::int64_t noDataFaces = 0;          // recognition asked, the module holds no registered data
    std::int64_t noDataRuns = 0;
    std::int64_t notPossibleFaces = 0;  // the module could not try (face turned too far)
};

// The rates at one recognition score threshold t. A tagged run takes part when it was answered
// (status 0) with recognition switched on. Its answer is its best-scoring face: the face with the
// highest recognition score among the faces answered with a user number or "not recognised" (the
// first of equal ones); the run accepts that face's user with its score when the face was
// recognised, and nobody otherwise (also when no face was found).
//   true accept:  the person in view is registered user U and the run accepts U with score >= t;
//   false accept: the run accepts someone with score >= t who is not in view: any user when a
//                 stranger or nobody is in view, a user other than U when U is;
//   TAR = true accepts / runs with a registered user in view;
//   FAR = false accepts / all taking part (every run is a chance to accept the wrong person);
//   FRR = 1 - TAR.
// The module itself names a user only from its own recognition threshold up: below that the rates
// stay those at the module's threshold.
struct ThresholdRow {
    int threshold = 0;
    double trueAcceptRate = 0;   // 0 when no run had a registered user in view
    double falseAcceptRate = 0;  // 0 when no run takes part
    double falseRejectRate = 0;
};

struct ThresholdTable {
    std::int64_t genuineRuns = 0;    // taking part, a registered user in view
    std::int64_t strangerRuns = 0;   // taking part, a stranger in view
    std::int64_t nobodyRuns = 0;     // taking part, nobody in view
    std::vector<ThresholdRow> rows;  // thresholds 0 .. kRecognitionScoreMax, step 1

    std::int64_t Runs() const { return genuineRuns + strangerRuns + nobodyRuns; }
    // The smallest threshold whose false-accept rate is at most falseAcceptRate (a share, 0.01 for
    // 1 %); -1 when no run takes part or even the highest threshold does not reach it.
    int ThresholdFor(double falseAcceptRate) const;
};

class CRunStatistics {
public:
    // The response series covers this many seconds back from the newest run, the face series this
    // many minutes.
    static constexpr int kSeriesSeconds = 300;
    static constexpr int kFaceMinutes = 10;
    static constexpr int kResponseBinCount = 10000;

    CRunStatistics();
    // Counts one run; names: the registered users' names then (for the per-user figures), truth:
    // who was in view (untagged: the run stays out of the threshold table).
    void Add(const ExecutionReport& report, const std::vector<UserName>& names, PersonInView truth = {});
    void Reset();

    std::int64_t Runs() const { return runs_; }  // every run added, answered or not
    std::int64_t FailedRuns() const { return runs_ - responses_.runs; }
    std::int64_t TaggedRuns() const { return taggedRuns_; }  // with a person in view, answered or not
    // Wall clock of the first request and the last answer (ms since 1970); 0 before any run.
    std::int64_t FirstSentMs() const { return firstSentMs_; }
    std::int64_t LastDoneMs() const { return lastDoneMs_; }
    // Answered runs per second over that span; 0 when the span is empty.
    double ResultsPerSecond() const;
    ResponseFigures Responses() const;
    // The seconds of the last kSeriesSeconds that had runs, oldest first.
    std::vector<ResponseSecond> ResponseSeries() const;
    // Per function, in function order.
    const std::array<FunctionFigures, kFunctionCount>& Functions() const { return functions_; }
    // Every face estimate so far, and per minute for the last kFaceMinutes (oldest first).
    const FaceEstimates& Faces() const { return faces_; }
    std::vector<FaceEstimates> FaceSeries() const;
    const RecognitionFigures& Recognition() const { return recognition_; }
    ThresholdTable Thresholds() const;

private:
    // The last N spans of time (seconds, minutes) by key; a slot is taken over by a newer span, a
    // span older than the slot's holder is dropped.
    template <class Bucket, int N>
    struct Ring {
        std::array<Bucket, N> buckets{};
        std::array<std::int64_t, N> keys;
        Ring() { keys.fill(-1); }
        Bucket* At(std::int64_t key);
        std::vector<std::pair<std::int64_t, const Bucket*>> Recent() const;
    };
    struct SecondBucket {
        int runs = 0;
        std::int64_t sumMs = 0;
        int maxMs = 0;
    };

    void AddFace(const CFaceResult& face, const FunctionSwitches& on, FaceEstimates* minute);
    void AddRecognition(const ExecutionReport& report, const std::vector<UserName>& names);
    void AddTruth(const ExecutionReport& report, PersonInView truth);

    std::int64_t runs_ = 0;
    std::int64_t taggedRuns_ = 0;
    std::int64_t firstSentMs_ = 0;
    std::int64_t lastDoneMs_ = 0;
    ResponseFigures responses_;
    std::vector<std::int64_t> responseBins_;  // kResponseBinCount bins of 1 ms
    Ring<SecondBucket, kSeriesSeconds> seconds_;
    std::array<FunctionFigures, kFunctionCount> functions_;
    FaceEstimates faces_;
    Ring<FaceEstimates, kFaceMinutes> minutes_;
    RecognitionFigures recognition_;
    // Threshold table counts by the accepting score (0..kRecognitionScoreMax).
    std::int64_t genuineRuns_ = 0;
    std::int64_t strangerRuns_ = 0;
    std::int64_t nobodyRuns_ = 0;
    std::vector<std::int64_t> trueAcceptsAt_;
    std::vector<std::int64_t> falseAcceptsAt_;
};

}  // namespace qzm
