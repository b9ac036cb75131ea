// A recording: one SQLite database per session of executions (extension .qzmrec). The schema is
// described in docs/recording.md; files carry application id 'QZMK' and a schema version, and a
// newer program reads every older version.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "device/exec_settings.h"
#include "device/execution_report.h"

namespace qzm {

inline constexpr std::int32_t kRecordingApplicationId = 0x515A4D4B;  // "QZMK"
// 1: the first recordings; 2: each run may carry the person in view (run.person).
inline constexpr int kRecordingSchemaVersion = 2;
inline constexpr const char* kRecordingExtension = ".qzmrec";

// Failures of the recording files; the library's words go beside them for the message.
enum RecordError : int {
    kRecordOk = 0,
    kRecordCannotOpen = -1,    // the file cannot be opened or created
    kRecordNotRecording = -2,  // the file is not a recording (another database, or no database)
    kRecordNewerVersion = -3,  // written by a newer program
    kRecordWriteFailed = -4,   // the disk refused a write (full, gone, a size limit)
};

// What a recording keeps of the session it was made in.
struct RecordingSession {
    std::string programVersion;
    std::string model;
    std::string firmware;
    std::string port;
    int baudRate = 0;
    DetectionSettings detection;
    FunctionSwitches functions{};
    int imageOption = kImageNone;
    bool frames = false;         // the frames' grey bytes are kept with the runs
    std::int64_t startedMs = 0;  // wall clock, ms since 1970
    std::int64_t endedMs = 0;    // 0 until the recording has ended cleanly
    std::string note;
};

// Who stood in front of the camera during a run, as the evaluator tagged it: the truth the
// recognition answers are measured against. Untagged runs take no part in that measure.
struct PersonInView {
    enum Kind : int { kUntagged, kUser, kStranger, kNobody };
    Kind kind = kUntagged;
    int user = -1;  // the registered user's number, when kind is kUser

    static PersonInView User(int number) { return {kUser, number}; }
    static PersonInView Stranger() { return {kStranger, -1}; }
    static PersonInView Nobody() { return {kNobody, -1}; }
    bool Tagged() const { return kind != kUntagged; }
    bool operator==(const PersonInView&) const = default;
};

// The run table's person column: the user number (>= 0), -1 for a stranger, -2 for nobody, NULL
// (nullopt) for an untagged run. A value the column cannot hold reads as untagged.
std::optional<std::int64_t> PersonColumn(PersonInView person);
PersonInView PersonFromColumn(std::optional<std::int64_t> value);

// One recorded run: the report as the controller made it, the names the recognised users had and
// the person in view (untagged in a file of schema version 1).
struct RecordedRun {
    std::int64_t number = 0;  // from 1
    ExecutionReport report;
    std::vector<UserName> names;
    PersonInView person;
};

// "0101..." for the ten switches, in function order, and back.
std::string SwitchesText(const FunctionSwitches& switches);
FunctionSwitches SwitchesFromText(const std::string& text);

}  // namespace qzm
