#include "res/string_table.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <vector>

namespace qzm {

namespace {

struct StringEntry {
    int id;
    const char* text;
};

// Sorted by id; the static_assert below keeps it that way.
constexpr StringEntry kStrings[] = {
    {kStrTitle, "QZM-K Demo %s"},
    {kStrTitlePort, " - %s:%dbaud"},
    {kStrTitleFirmware, " - F/W %s"},
    {kStrNotConnected, "Not connected."},
    {kStrLocale, "english"},
    {kStrFunctionBody, "Human Body"},
    {kStrFunctionHand, "Hand"},
    {kStrFunctionFace, "Face"},
    {kStrFunctionDirection, "Direction"},
    {kStrFunctionAge, "Age"},
    {kStrFunctionGender, "Gender"},
    {kStrFunctionGaze, "Gaze"},
    {kStrFunctionBlink, "Blink"},
    {kStrFunctionExpression, "Expression"},
    {kStrFunctionRecognition, "Recognition"},
    {kStrDefaultUserName, "USER%03d"},
    {kStrAlbumFilter, "Album File(*.qzc)|*.qzc||"},
    {kStrRecordingFilter, "QZM-K recording (*.qzmrec)"},
    {kStrSimulatedModule, "Simulated module"},
    {kStrReplayRecording, "Recorded module..."},
    {kStrReplayPortPrefix, "Recording: "},
    {kStrCameraAngle0, "0°"},
    {kStrCameraAngle90, "90°"},
    {kStrCameraAngle180, "180°"},
    {kStrCameraAngle270, "270°"},
    {kStrYaw30, "±30°"},
    {kStrYaw60, "±60°"},
    {kStrYaw90, "±90°"},
    {kStrRoll15, "±15°"},
    {kStrRoll45, "±45°"},
    {kStrImage320x240, "320x240"},
    {kStrImage160x120, "160x120"},
    {kStrNoImage, "No image"},
    {kStrBaud9600, "9600"},
    {kStrBaud38400, "38400"},
    {kStrBaud115200, "115200"},
    {kStrBaud230400, "230400"},
    {kStrBaud460800, "460800"},
    {kStrBaud921600, "921600"},
    {kStrTabGeneral, "General"},
    {kStrTabDevice, "Device"},
    {kStrTabExecution, "Execution"},
    {kStrTabMaintenance, "Maintenance"},
    {kStrColumnName, "Name"},
    {kStrColumnDataNumber, "Data number"},
    {kStrRegistrationSuccessful, "Registration successful."},
    {kStrFaceNotFound, "Registration failed:\nFace not found."},
    {kStrMultipleFaces, "Registration failed:\nMultiple faces in image."},
    {kStrRegistrationUnsuccessful, "Registration unsuccessful."},
    {kStrFacesUnreadable,
     "%d of the registered faces of %s cannot be read from the PC's files.\n"
     "They are crossed out: delete them and register them again."},
    {kStrDeleteCompleted, "Delete completed."},
    {kStrDeleteFailed, "Failed to delete."},
    {kStrSomeUsersNotDeleted, "Some users couldn't be deleted."},
    {kStrDeleteUsersQuestion, "Delete selected user?"},
    {kStrDeleteAllUsersQuestion, "Delete all users?"},
    {kStrDeleteImageQuestion, "Delete selected images?"},
    {kStrDeleteAllImagesQuestion, "Delete all images?"},
    {kStrNameTaken, "Input name already registered.\nPlease input a new name."},
    {kStrNameEmpty, "Please input a name.\nA name cannot be empty or only blanks."},
    {kStrNameLineBreak, "A name cannot contain a line break.\nPlease input the name on one line."},
    {kStrUserNotAdded, "Cannot add the user."},
    {kStrNameNotChanged, "Cannot change the name."},
    {kStrLabelAge, "%d"},
    {kStrLabelAgeUnknown, "?"},
    {kStrMale, "Male"},
    {kStrFemale, "Female"},
    {kStrLabelGenderUnknown, "?"},
    {kStrNotRegistered, "Not registered"},
    {kStrDataNotRegistered, "Data not registered"},
    {kStrLabelRecognitionUnknown, "?"},
    {kStrExpressionNeutral, "Neutral"},
    {kStrExpressionHappiness, "Happiness"},
    {kStrExpressionSurprise, "Surprise"},
    {kStrExpressionAnger, "Anger"},
    {kStrExpressionSadness, "Sadness"},
    {kStrLabelExpressionUnknown, "?"},
    {kStrLogExecute, "Execute "},
    {kStrLogResult, "Result  "},
    {kStrLogBlockSeparator,
     "-----------------------------------------------------------------------------------------------"},
    {kStrLogFaceSeparator, "      --"},
    {kStrLogFunctionSummary,
     "Body:%s Hand:%s Face:%s Dir.:%s Age:%s Gender:%s Gaze:%s Blink:%s Expr.:%s Recog.:%s"},
    {kStrLogResponse, "Response time:%dms  Return code:%02x"},
    {kStrLogNotResponding, "Device is not responding."},
    {kStrLogCommunicationError, "Communication error."},
    {kStrLogHeaderProgram, "QZM-K Demo"},
    {kStrLogHeaderFirmware, "Firmware"},
    {kStrLogBodyCount, " Body count:%d"},
    {kStrLogHandCount, " Hand count:%d"},
    {kStrLogFaceCount, " Face count:%d"},
    {kStrLogDetection, "    Index:%d    \tX:%d Y:%d Size:%d Confidence:%d"},
    {kStrLogDirection, "    Direction   \tYaw:%d Pitch:%d Roll:%d Confidence:%d"},
    {kStrLogAge, "    Age         \tAge:%d Confidence:%d"},
    {kStrLogGender, "    Gender      \tGender:%s Confidence:%d"},
    {kStrLogGaze, "    Gaze        \tYaw:%d Pitch:%d"},
    {kStrLogBlink, "    Blink       \tLeft:%d Right:%d"},
    {kStrLogRecognition, "    Recognition \t%s Confidence:%d"},
    {kStrLogExpressionOne, "    Expression  \tExpression:%s Score:%d Degree:%d"},
    {kStrLogExpressionFive, "    Expression  \tExpression:%s Score:%d, %d, %d, %d, %d Degree:%d"},
    {kStrLogAgeNotPossible, "    Age         \tEstimation not possible."},
    {kStrLogGenderNotPossible, "    Gender      \tEstimation not possible."},
    {kStrLogGazeNotPossible, "    Gaze        \tEstimation not possible."},
    {kStrLogBlinkNotPossible, "    Blink       \tEstimation not possible."},
    {kStrLogExpressionNotPossible, "    Expression  \tEstimation not possible."},
    {kStrLogRecognitionNotPossible, "    Recognition \tRecognition not possible."},
    {kStrLogRecognitionNoData, "    Recognition \tData not registered."},
    {kStrNotResponding, "Device is not responding.\nPlease verify connection."},
    {kStrCommunicationError,
     "Communication error.\nPlease lower the Baud rate or change the USB driver settings.\n\n"
     "Please refer to Application manual for details."},
    {kStrModuleRefused, "The module refused the command. (error code %02X)"},
    {kStrCommandFailed, "The command failed. (result %d)"},
    {kStrNoPortPermission,
     "No permission to open the serial port %s (%s).\nAdd yourself to the dialout group "
     "(sudo usermod -aG dialout $USER), then log out and log in again."},
    {kStrPortNotThere, "The serial port %s is not there (%s)."},
    {kStrPortBusy, "The serial port %s is in use by another program (%s)."},
    {kStrPortDisconnected, "The serial port %s was disconnected."},
    {kStrPortUnusable, "The serial port %s cannot be used (%s)."},
    {kStrNotSupported, "The module does not support this command."},
    {kStrConnectionInterrupted, "Connection with Device was interrupted.\nApplication will terminate."},
    {kStrNoWorkingFolder,
     "There is no folder to work in: %s cannot be created.\nApplication will terminate."},
    {kStrNotSetUpAgain,
     "The module on %s is back, but it could not be set up as on connecting (version and detection "
     "settings); nothing else was sent to it."},
    {kStrCannotGoOn,
     "The program cannot go on: %s.\nClose other programs and start it again.\nApplication will terminate."},
    {kStrMismatchQuestion,
     "Registration data in Device and Application do not match.\nDo you want to delete all data in both?"},
    {kStrDeleteAllDataQuestion, "Do you really want to delete all data in Device and Application?"},
    {kStrSaveAlbumQuestion, "Save the current Album?"},
    {kStrAlbumLoaded, "Album loaded."},
    {kStrAlbumSaved, "Album saved."},
    {kStrCannotOpenAlbum, "Cannot open %s. (error code %02X)"},
    {kStrCannotSaveAlbum, "Cannot save %s. (error code %02X)"},
    {kStrLoading, "Loading %s."},
    {kStrSaving, "Saving %s."},
    {kStrPcDiffers,
     "The module carried out the change, but the PC could not write %s (%s).\n"
     "The registration data in Device and Application now differ."},
    {kStrCannotWrite, "Cannot write %s (%s)."},
    {kStrFirmwareVersion, "QZM-K Firmware version\n    %s"},
    {kStrRecordingStopped,
     "The recording stopped: %s could not be written (%s).\nThe runs recorded before are kept."},
    {kStrCannotRecord, "Cannot record into %s (%s)."},
    {kStrPleaseWait, "Please wait."},
    {kStrRunning, "Running...\nPlease wait."},
    {kStrTerminating, "Terminating...\nDo not turn off the QZM."},
    {kStrCannotLoadBackup, "Cannot load the Album. (error code %02X)\nTry again?"},
    {kStrCannotSaveBackup, "Cannot save the Album. (error code %02X)"},
    {kStrStartupCheckNotRun,
     "The start-up check could not run: the module's registrations were not compared with the PC's, "
     "and the album backup is kept as it is."},
    {kStrStatsPage, "Statistics"},
    {kStrStatsPageTip, "Figures of the runs: pace, response times, findings, recognition rates"},
    {kStrStatsReset, "Reset"},
    {kStrStatsOpenRecording, "Open recording..."},
    {kStrStatsExport, "Export figures..."},
    {kStrStatsSaveCharts, "Save charts..."},
    {kStrStatsPersonInView, "Person in view"},
    {kStrStatsNotTagged, "Not tagged"},
    {kStrStatsNobody, "Nobody"},
    {kStrStatsStranger, "Stranger"},
    {kStrStatsLive, "Live: the runs shown in this window."},
    {kStrStatsFromFile, "Recording %s (%lld runs). Reset returns to the live figures."},
    {kStrStatsUntaggedHint,
     "Tag the person in view to measure recognition: the page then gives true- and false-accept rates for "
     "every score threshold."},
    {kStrStatsCsvFilter, "CSV table (*.csv)"},
    {kStrStatsPngFilter, "PNG image (*.png)"},
    {kStrStatsCannotRead, "Cannot read the recording %s (%s)."},
    {kStrStatsNoData, "no data"},
    {kStrStatsMinutesBack, "-%s min"},
    {kStrStatsNow, "now"},
    {kStrStatsGroupPace, "Pace"},
    {kStrStatsGroupResponse, "Response time"},
    {kStrStatsGroupFunctions, "Per function"},
    {kStrStatsGroupFaces, "Face estimates"},
    {kStrStatsGroupRecognition, "Recognition"},
    {kStrStatsGroupThresholds, "Recognition rates"},
    {kStrStatsRuns, "Runs"},
    {kStrStatsFailedRuns, "Not answered"},
    {kStrStatsResultsPerSecond, "Results per second"},
    {kStrStatsLast, "Last"},
    {kStrStatsMedian, "Median"},
    {kStrStatsP95, "95th percentile"},
    {kStrStatsMaximum, "Maximum"},
    {kStrStatsPerRun, "%s per run"},
    {kStrStatsMeanConfidence, "%s mean confidence"},
    {kStrStatsAge, "Age"},
    {kStrStatsGender, "Male / female"},
    {kStrStatsExpression, "Expression"},
    {kStrStatsBlink, "Eye closure"},
    {kStrStatsGaze, "Gaze yaw / pitch"},
    {kStrStatsDirection, "Direction yaw / pitch / roll"},
    {kStrStatsUserRuns, "%s: runs / mean score"},
    {kStrStatsStrangers, "Stranger runs"},
    {kStrStatsNoRegistered, "No data runs"},
    {kStrStatsTaggedRuns, "Tagged runs (user / stranger / nobody)"},
    {kStrStatsThresholdForFar, "Threshold for %s %% false accepts"},
    {kStrStatsRatesAt, "TAR / FAR at threshold %d"},
    {kStrStatsNotReached, "not reached"},
    {kStrStatsUntagged, "Tagged runs"},
    {kStrStatsResponseChart, "Response time per second (mean, max)"},
    {kStrStatsConfidenceChart, "%s confidence"},
    {kStrStatsScoreChart, "%s scores"},
    {kStrStatsExpressionNames, "neutral|happy|surprise|anger|sad"},
    {kStrStatsMaleFemale, "male|female"},
    {kStrStatsRatesChart, "Recognition rates by score threshold"},
    {kStrStatsRatesUntagged, "no tagged runs with recognition"},
    {kStrStatsMarkFar, "%s %% FAR: %d"},
    {kStrStatsMarkModule, "module: %d"},
    {kStrStatsRatesLegend, "TAR|FAR|FRR"},
    {kStrStatsAgeChart, "Age per minute"},
    {kStrStatsBlinkChart, "Eye closure per minute"},
    {kStrStatsGazeChart, "Gaze sd per minute"},
    {kStrStatsDirectionChart, "Direction sd per minute"},
    {kStrStatsMeanSdLegend, "mean|sd"},
    {kStrStatsAnglesLegend, "yaw|pitch|roll"},
    {kStrStatsYears, "years"},
    {kStrStatsGroupMinute, "Face estimates, minute from %s"},
    {kStrStatsGroupRateTable, "Rates by threshold"},
    {kStrStatsRatesRow, "TAR / FAR / FRR at %d"},
    {kStrStatsTargetFar, "False accepts at most"},
    {kStrStatsGenderChart, "Female share per minute"},
    {kStrStatsExpressionChart, "Expressions per minute"},
    {kStrExecuteError,
     "An error occured with the execute command. (Error code: %02X)\n\n"
     "Please refer to the log below for details.\n\"%s/%s\""},
};

constexpr bool IdsAscending() {
    for (std::size_t i = 1; i < std::size(kStrings); ++i) {
        if (kStrings[i - 1].id >= kStrings[i].id) {
            return false;
        }
    }
    return true;
}
static_assert(IdsAscending(), "string ids must be unique and ascending");

const StringEntry* Find(int id) {
    const auto* end = std::end(kStrings);
    const auto* it =
        std::lower_bound(std::begin(kStrings), end, id, [](const StringEntry& e, int v) { return e.id < v; });
    return (it != end && it->id == id) ? it : nullptr;
}

}  // namespace

const char* LoadString(int id) {
    const StringEntry* e = Find(id);
    return e != nullptr ? e->text : "";
}

bool HasString(int id) {
    return Find(id) != nullptr;
}

std::size_t StringCount() {
    return std::size(kStrings);
}

std::string FormatStringV(int id, std::va_list args) {
    const char* format = LoadString(id);
    if (*format == '\0') {
        return {};
    }
    std::va_list measure;
    va_copy(measure, args);
    const int needed = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (needed <= 0) {
        return {};
    }
    std::vector<char> buffer(static_cast<std::size_t>(needed) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, args);
    return std::string(buffer.data(), static_cast<std::size_t>(needed));
}

std::string FormatString(int id, ...) {
    std::va_list args;
    va_start(args, id);
    std::string text = FormatStringV(id, args);
    va_end(args);
    return text;
}

}  // namespace qzm
