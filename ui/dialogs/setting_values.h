// What the settings dialog exchanges with its owner: one plain copy of every value it edits. The
// owner fills it before showing the dialog and reads it after OK; applying the values (module
// commands, settings files) stays the owner's job.
#pragma once

#include <string>

#include "core/settings_store.h"
#include "device/exec_settings.h"

namespace qzm {

// Normal: opened from the main window, every page but port and baud rate. Start-up: only the
// connection page, to choose the port and baud rate before the program connects.
enum class SettingForm : int { kNormal = 0, kStartup = 1 };

struct SettingValues {
    std::string portName;                             // a listed port, or "" for none
    int baudRate = CSettingsStore::kDefaultBaudRate;  // bit/s
    int autoConnect = 0;                              // 1 = connect at start-up without asking
    DetectionSettings detection;                      // -1 in its values: not read or set yet
    int logOutput = 0;                                // 1 = the result log is also written to a file

    bool operator==(const SettingValues& other) const = default;
};

}  // namespace qzm
