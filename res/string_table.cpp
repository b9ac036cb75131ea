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
    // Main window caption.
    {100, "QZM-K Demo %s"},
    {101, " - %s:%dbaud"},
    {102, " - F/W %s"},
    {110, "Not connected."},
    // Locale set at start-up.
    {200, "english"},
    // Function names, in function order.
    {1001, "Human Body"},
    {1002, "Hand"},
    {1003, "Face"},
    {1004, "Direction"},
    {1005, "Age"},
    {1006, "Gender"},
    {1007, "Gaze"},
    {1008, "Blink"},
    {1009, "Expression"},
    {1010, "Recognition"},
    // Default user name.
    {1020, "USER%03d"},
    // Album file dialog filter.
    {1050, "Album File(*.qzc)|*.qzc||"},
    // The emulator built into the program, listed after the real ports.
    {1090, "Simulated module"},
    // Camera angles.
    {1500, "0°"},
    {1501, "90°"},
    {1502, "180°"},
    {1503, "270°"},
    // Face angles: yaw, then roll.
    {2000, "±30°"},
    {2001, "±60°"},
    {2002, "±90°"},
    {2010, "±15°"},
    {2011, "±45°"},
    // Transfer image sizes.
    {2020, "320x240"},
    {2021, "160x120"},
    {2022, "No image"},
    // Baud rates.
    {2050, "9600"},
    {2051, "38400"},
    {2052, "115200"},
    {2053, "230400"},
    {2054, "460800"},
    {2055, "921600"},
    // Settings dialog tabs.
    {2060, "General"},
    {2061, "Device"},
    {2062, "Execution"},
    {2063, "Maintenance"},
    // User list columns.
    {2075, "Name"},
    {2076, "Data number"},
    // Registration and deletion messages.
    {2080, "Registration successful."},
    {2081, "Registration failed:\nFace not found."},
    {2082, "Registration failed:\nMultiple faces in image."},
    {2083, "Registration unsuccessful."},
    {2084,
     "%d of the registered faces of %s cannot be read from the PC's files.\n"
     "They are crossed out: delete them and register them again."},
    {2090, "Delete completed."},
    {2091, "Failed to delete."},
    {2092, "Some users couldn't be deleted."},
    {2100, "Delete selected user?"},
    {2101, "Delete all users?"},
    {2102, "Delete selected images?"},
    {2103, "Delete all images?"},
    {2110, "Input name already registered.\nPlease input a new name."},
    // Names the name dialog refuses itself.
    {2111, "Please input a name.\nA name cannot be empty or only blanks."},
    {2112, "A name cannot contain a line break.\nPlease input the name on one line."},
    {2113, "Cannot add the user."},
    {2114, "Cannot change the name."},
    // Overlay labels.
    {2500, "%d"},
    {2501, "?"},
    {2510, "Male"},
    {2511, "Female"},
    {2512, "?"},
    {2515, "Not registered"},
    {2516, "Data not registered"},
    {2517, "?"},
    // Expression names: 2519 + expression code 1 to 5.
    {2520, "Neutral"},
    {2521, "Happiness"},
    {2522, "Surprise"},
    {2523, "Anger"},
    {2524, "Sadness"},
    {2525, "?"},
    // Result log blocks.
    {3015, "Execute "},
    {3016, "Result  "},
    {3020, "-----------------------------------------------------------------------------------------------"},
    {3021, "      --"},
    {3030, "Body:%s Hand:%s Face:%s Dir.:%s Age:%s Gender:%s Gaze:%s Blink:%s Expr.:%s Recog.:%s"},
    {3040, "Response time:%dms  Return code:%02x"},
    {3050, "Device is not responding."},
    {3051, "Communication error."},
    {3060, "QZM-K Demo"},
    {3061, "Firmware"},
    {3100, " Body count:%d"},
    {3101, " Hand count:%d"},
    {3102, " Face count:%d"},
    {3103, "    Index:%d    \tX:%d Y:%d Size:%d Confidence:%d"},
    {3104, "    Direction   \tYaw:%d Pitch:%d Roll:%d Confidence:%d"},
    {3105, "    Age         \tAge:%d Confidence:%d"},
    {3106, "    Gender      \tGender:%s Confidence:%d"},
    {3107, "    Gaze        \tYaw:%d Pitch:%d"},
    {3108, "    Blink       \tLeft:%d Right:%d"},
    {3110, "    Recognition \t%s Confidence:%d"},
    {3120, "    Expression  \tExpression:%s Score:%d Degree:%d"},
    {3121, "    Expression  \tExpression:%s Score:%d, %d, %d, %d, %d Degree:%d"},
    {3200, "    Age         \tEstimation not possible."},
    {3201, "    Gender      \tEstimation not possible."},
    {3202, "    Gaze        \tEstimation not possible."},
    {3203, "    Blink       \tEstimation not possible."},
    {3204, "    Expression  \tEstimation not possible."},
    {3205, "    Recognition \tRecognition not possible."},
    {3206, "    Recognition \tData not registered."},
    // Messages of the main dialog and start-up.
    {5000, "Device is not responding.\nPlease verify connection."},
    {5001,
     "Communication error.\nPlease lower the Baud rate or change the USB driver settings.\n\n"
     "Please refer to Application manual for details."},
    // Why an operation failed, in the module's or the system's words.
    {5002, "The module refused the command. (error code %02X)"},
    {5003, "The command failed. (result %d)"},
    {5004,
     "No permission to open the serial port %s (%s).\nAdd yourself to the dialout group "
     "(sudo usermod -aG dialout $USER), then log out and log in again."},
    {5005, "The serial port %s is not there (%s)."},
    {5006, "The serial port %s is in use by another program (%s)."},
    {5007, "The serial port %s was disconnected."},
    {5008, "The serial port %s cannot be used (%s)."},
    {5009, "The module does not support this command."},
    {5010, "Connection with Device was interrupted.\nApplication will terminate."},
    {5011, "There is no folder to work in: %s cannot be created.\nApplication will terminate."},
    {5012,
     "The module on %s is back, but it could not be set up as on connecting (version and detection "
     "settings); nothing else was sent to it."},
    {5013,
     "The program cannot go on: %s.\nClose other programs and start it again.\nApplication will terminate."},
    {5020,
     "Registration data in Device and Application do not match.\nDo you want to delete all data in both?"},
    {5021, "Do you really want to delete all data in Device and Application?"},
    {5030, "Save the current Album?"},
    {5031, "Album loaded."},
    {5032, "Album saved."},
    {5033, "Cannot open %s. (error code %02X)"},
    {5034, "Cannot save %s. (error code %02X)"},
    {5035, "Loading %s."},
    {5036, "Saving %s."},
    // A PC file that could not be written.
    {5040,
     "The module carried out the change, but the PC could not write %s (%s).\n"
     "The registration data in Device and Application now differ."},
    {5041, "Cannot write %s (%s)."},
    {5050, "QZM-K Firmware version\n    %s"},
    // Wait dialog texts.
    {5200, "Please wait."},
    {5201, "Running...\nPlease wait."},
    {5202, "Terminating...\nDo not turn off the QZM."},
    // Album backup at connection start and at exit.
    {5211, "Cannot load the Album. (error code %02X)\nTry again?"},
    {5212, "Cannot save the Album. (error code %02X)"},
    {5213,
     "The start-up check could not run: the module's registrations were not compared with the PC's, "
     "and the album backup is kept as it is."},
    // Execute error with debug logging on: code, working folder, error log path below it.
    {9000,
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
