// Reads a recording alone, without a port: its session, its runs in order (records rebuilt from
// the detection rows, the frame when it was kept), and the figures `qzm-cli info` prints.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "record/recording.h"

namespace qzm {

class CSqliteDb;

struct RecordingSummary {
    std::int64_t runs = 0;
    std::int64_t firstSentMs = 0;  // wall clock of the first run's request
    std::int64_t lastDoneMs = 0;   // and of the last run's answer
    int medianResponseMs = 0;
    int p95ResponseMs = 0;
    // Per function name ("body" ... "recognition"): the detections, or the faces with that estimate.
    std::map<std::string, std::int64_t> detections;
};

class CRecordingReader {
public:
    CRecordingReader();
    ~CRecordingReader();
    CRecordingReader(const CRecordingReader&) = delete;
    CRecordingReader& operator=(const CRecordingReader&) = delete;

    // kRecordOk, or why the file is refused (why: the library's words, or what is wrong with it).
    int Open(const std::string& path, std::string* why = nullptr);
    const RecordingSession& Session() const { return session_; }
    // The file's schema version (1 or 2 today).
    int SchemaVersion() const { return version_; }
    // Each run in order; false from visit stops. kRecordOk, or kRecordNotRecording for a damaged file.
    int ForEachRun(const std::function<bool(const RecordedRun&)>& visit);
    RecordingSummary Summary();
    // One row per detection for the CSV export: the column names, then each row's fields as text
    // ("" for a value that was not there).
    static const std::vector<std::string>& DetectionColumns();
    int ForEachDetection(const std::function<void(const std::vector<std::string>&)>& visit);

private:
    std::unique_ptr<CSqliteDb> db_;
    RecordingSession session_;
    int version_ = 0;
};

}  // namespace qzm
