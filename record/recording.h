// A recording: one SQLite database per session of executions (extension .qzmrec). The schema is
// described in docs/recording.md; files carry application id 'QZMK' and a schema version, and a
// newer program reads every older version.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "device/exec_settings.h"
#include "device/execution_report.h"

namespace qzm {

inline constexpr std::int32_t kRecordingApplicationId = 0x515A4D4B;  // "QZMK"
inline constexpr int kRecordingSchemaVersion = 1;
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

// One recorded run: the report as the controller made it, and the names the recognised users had.
struct RecordedRun {
    std::int64_t number = 0;  // from 1
    ExecutionReport report;
    std::vector<UserName> names;
};

// "0101..." for the ten switches, in function order, and back.
std::string SwitchesText(const FunctionSwitches& switches);
FunctionSwitches SwitchesFromText(const std::string& text);

}  // namespace qzm
