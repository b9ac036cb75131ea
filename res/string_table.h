// The program's string table: every user-visible fixed text by its numeric id, in UTF-8. Texts
// that carry printf conversions are meant for FormatString; "\t" and "\n" in them are real tab and
// line feed characters.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>

namespace qzm {

// Every id of the table, named once. Ids of one kind follow each other in the order shown (function
// names in function order, expressions by their code), so that a code can index into them.
enum StringId : int {
    // Main window caption.
    kStrTitle = 100,
    kStrTitlePort = 101,
    kStrTitleFirmware = 102,
    kStrNotConnected = 110,
    // Locale set at start-up.
    kStrLocale = 200,
    // Function names, in function order.
    kStrFunctionBody = 1001,
    kStrFunctionHand = 1002,
    kStrFunctionFace = 1003,
    kStrFunctionDirection = 1004,
    kStrFunctionAge = 1005,
    kStrFunctionGender = 1006,
    kStrFunctionGaze = 1007,
    kStrFunctionBlink = 1008,
    kStrFunctionExpression = 1009,
    kStrFunctionRecognition = 1010,
    // Default user name.
    kStrDefaultUserName = 1020,
    // Album file dialog filter.
    kStrAlbumFilter = 1050,
    // Recording file dialog filter.
    kStrRecordingFilter = 1051,
    // The emulator built into the program, listed after the real ports.
    kStrSimulatedModule = 1090,
    // A recording standing in for the module: the entry that asks for one, and what the port name
    // of a chosen recording begins with (its path follows).
    kStrReplayRecording = 1091,
    kStrReplayPortPrefix = 1092,
    // Camera angles.
    kStrCameraAngle0 = 1500,
    kStrCameraAngle90 = 1501,
    kStrCameraAngle180 = 1502,
    kStrCameraAngle270 = 1503,
    // Face angles: yaw, then roll.
    kStrYaw30 = 2000,
    kStrYaw60 = 2001,
    kStrYaw90 = 2002,
    kStrRoll15 = 2010,
    kStrRoll45 = 2011,
    // Transfer image sizes.
    kStrImage320x240 = 2020,
    kStrImage160x120 = 2021,
    kStrNoImage = 2022,
    // Baud rates.
    kStrBaud9600 = 2050,
    kStrBaud38400 = 2051,
    kStrBaud115200 = 2052,
    kStrBaud230400 = 2053,
    kStrBaud460800 = 2054,
    kStrBaud921600 = 2055,
    // Settings dialog tabs.
    kStrTabGeneral = 2060,
    kStrTabDevice = 2061,
    kStrTabExecution = 2062,
    kStrTabMaintenance = 2063,
    // User list columns.
    kStrColumnName = 2075,
    kStrColumnDataNumber = 2076,
    // Registration and deletion messages.
    kStrRegistrationSuccessful = 2080,
    kStrFaceNotFound = 2081,
    kStrMultipleFaces = 2082,
    kStrRegistrationUnsuccessful = 2083,
    kStrFacesUnreadable = 2084,
    kStrDeleteCompleted = 2090,
    kStrDeleteFailed = 2091,
    kStrSomeUsersNotDeleted = 2092,
    kStrDeleteUsersQuestion = 2100,
    kStrDeleteAllUsersQuestion = 2101,
    kStrDeleteImageQuestion = 2102,
    kStrDeleteAllImagesQuestion = 2103,
    kStrNameTaken = 2110,
    // Names the name dialog refuses itself.
    kStrNameEmpty = 2111,
    kStrNameLineBreak = 2112,
    kStrUserNotAdded = 2113,
    kStrNameNotChanged = 2114,
    // Overlay labels.
    kStrLabelAge = 2500,
    kStrLabelAgeUnknown = 2501,
    kStrMale = 2510,
    kStrFemale = 2511,
    kStrLabelGenderUnknown = 2512,
    kStrNotRegistered = 2515,
    kStrDataNotRegistered = 2516,
    kStrLabelRecognitionUnknown = 2517,
    // Expression names: 2519 + expression code 1 to 5.
    kStrExpressionNeutral = 2520,
    kStrExpressionHappiness = 2521,
    kStrExpressionSurprise = 2522,
    kStrExpressionAnger = 2523,
    kStrExpressionSadness = 2524,
    kStrLabelExpressionUnknown = 2525,
    // Result log blocks.
    kStrLogExecute = 3015,
    kStrLogResult = 3016,
    kStrLogBlockSeparator = 3020,
    kStrLogFaceSeparator = 3021,
    kStrLogFunctionSummary = 3030,
    kStrLogResponse = 3040,
    kStrLogNotResponding = 3050,
    kStrLogCommunicationError = 3051,
    kStrLogHeaderProgram = 3060,
    kStrLogHeaderFirmware = 3061,
    kStrLogBodyCount = 3100,
    kStrLogHandCount = 3101,
    kStrLogFaceCount = 3102,
    kStrLogDetection = 3103,
    kStrLogDirection = 3104,
    kStrLogAge = 3105,
    kStrLogGender = 3106,
    kStrLogGaze = 3107,
    kStrLogBlink = 3108,
    kStrLogRecognition = 3110,
    kStrLogExpressionOne = 3120,
    kStrLogExpressionFive = 3121,
    kStrLogAgeNotPossible = 3200,
    kStrLogGenderNotPossible = 3201,
    kStrLogGazeNotPossible = 3202,
    kStrLogBlinkNotPossible = 3203,
    kStrLogExpressionNotPossible = 3204,
    kStrLogRecognitionNotPossible = 3205,
    kStrLogRecognitionNoData = 3206,
    // Messages of the main dialog and start-up.
    kStrNotResponding = 5000,
    kStrCommunicationError = 5001,
    // Why an operation failed, in the module's or the system's words.
    kStrModuleRefused = 5002,
    kStrCommandFailed = 5003,
    kStrNoPortPermission = 5004,
    kStrPortNotThere = 5005,
    kStrPortBusy = 5006,
    kStrPortDisconnected = 5007,
    kStrPortUnusable = 5008,
    kStrNotSupported = 5009,
    kStrConnectionInterrupted = 5010,
    kStrNoWorkingFolder = 5011,
    kStrNotSetUpAgain = 5012,
    kStrCannotGoOn = 5013,
    kStrMismatchQuestion = 5020,
    kStrDeleteAllDataQuestion = 5021,
    kStrSaveAlbumQuestion = 5030,
    kStrAlbumLoaded = 5031,
    kStrAlbumSaved = 5032,
    kStrCannotOpenAlbum = 5033,
    kStrCannotSaveAlbum = 5034,
    kStrLoading = 5035,
    kStrSaving = 5036,
    // A PC file that could not be written.
    kStrPcDiffers = 5040,
    kStrCannotWrite = 5041,
    kStrFirmwareVersion = 5050,
    // Recordings.
    kStrRecordingStopped = 5060,
    kStrCannotRecord = 5061,
    // Wait dialog texts.
    kStrPleaseWait = 5200,
    kStrRunning = 5201,
    kStrTerminating = 5202,
    // Album backup at connection start and at exit.
    kStrCannotLoadBackup = 5211,
    kStrCannotSaveBackup = 5212,
    kStrStartupCheckNotRun = 5213,
    // The statistics page: its buttons, lines, figure names and chart titles.
    kStrStatsPage = 6000,
    kStrStatsPageTip = 6001,
    kStrStatsReset = 6002,
    kStrStatsOpenRecording = 6003,
    kStrStatsExport = 6004,
    kStrStatsSaveCharts = 6005,
    kStrStatsPersonInView = 6006,
    kStrStatsNotTagged = 6007,
    kStrStatsNobody = 6008,
    kStrStatsStranger = 6009,
    kStrStatsLive = 6010,
    kStrStatsFromFile = 6011,
    kStrStatsUntaggedHint = 6012,
    kStrStatsCsvFilter = 6013,
    kStrStatsPngFilter = 6014,
    kStrStatsCannotRead = 6015,
    kStrStatsNoData = 6016,
    kStrStatsMinutesBack = 6017,
    kStrStatsNow = 6018,
    kStrStatsGroupPace = 6030,
    kStrStatsGroupResponse = 6031,
    kStrStatsGroupFunctions = 6032,
    kStrStatsGroupFaces = 6033,
    kStrStatsGroupRecognition = 6034,
    kStrStatsGroupThresholds = 6035,
    kStrStatsRuns = 6040,
    kStrStatsFailedRuns = 6041,
    kStrStatsResultsPerSecond = 6042,
    kStrStatsLast = 6043,
    kStrStatsMedian = 6044,
    kStrStatsP95 = 6045,
    kStrStatsMaximum = 6046,
    kStrStatsPerRun = 6047,
    kStrStatsMeanConfidence = 6048,
    kStrStatsAge = 6049,
    kStrStatsGender = 6050,
    kStrStatsExpression = 6051,
    kStrStatsBlink = 6052,
    kStrStatsGaze = 6053,
    kStrStatsDirection = 6054,
    kStrStatsUserRuns = 6055,
    kStrStatsStrangers = 6056,
    kStrStatsNoRegistered = 6057,
    kStrStatsTaggedRuns = 6058,
    kStrStatsThresholdForFar = 6059,
    kStrStatsRatesAt = 6060,
    kStrStatsNotReached = 6061,
    kStrStatsUntagged = 6062,
    kStrStatsResponseChart = 6070,
    kStrStatsConfidenceChart = 6071,
    kStrStatsScoreChart = 6072,
    kStrStatsExpressionNames = 6073,
    kStrStatsMaleFemale = 6074,
    kStrStatsRatesChart = 6075,
    kStrStatsRatesUntagged = 6076,
    kStrStatsMarkFar = 6077,
    kStrStatsMarkModule = 6078,
    kStrStatsRatesLegend = 6079,
    kStrStatsAgeChart = 6080,
    kStrStatsBlinkChart = 6081,
    kStrStatsGazeChart = 6082,
    kStrStatsDirectionChart = 6083,
    kStrStatsMeanSdLegend = 6084,
    kStrStatsAnglesLegend = 6085,
    kStrStatsYears = 6086,
    kStrStatsGroupMinute = 6087,
    kStrStatsGroupRateTable = 6088,
    kStrStatsRatesRow = 6089,
    kStrStatsTargetFar = 6090,
    kStrStatsGenderChart = 6091,
    kStrStatsExpressionChart = 6092,
    // Execute error with debug logging on: code, working folder, error log path below it.
    kStrExecuteError = 9000,
};

// The text of the id, or "" for an id the table does not hold. The pointer stays valid for the
// whole run.
const char* LoadString(int id);

// True when the table holds the id.
bool HasString(int id);

// Number of entries in the table.
std::size_t StringCount();

// The id's text formatted printf-style with the arguments; any length. An unknown id gives "".
// The arguments must match the conversions of the text, as with printf.
std::string FormatString(int id, ...);
std::string FormatStringV(int id, std::va_list args);

}  // namespace qzm
