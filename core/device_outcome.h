// What one device operation came to, and the message the user sees for it. The windows and the
// command-line tool both report through MessageFor, so a failure reads the same wherever it shows.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "device/qzm_protocol.h"
#include "device/serial_port.h"

namespace qzm {

struct DeviceOutcome {
    // Exchange result (ProtocolResult); -1 also when the controller or a PC file refused the
    // operation before or after the exchange.
    int result = kProtocolOk;
    // The module's response code; only an answer that arrived (result 0) carries a real one. Album
    // operations start it at kNothingReceived.
    std::uint8_t response = 0;

    // The port's own failure: why it could not be opened, or that it vanished meanwhile.
    std::string port;
    SerialError portError = kSerialOk;
    bool portLost = false;
    std::string portText;  // the system's words for it
    // The port of a vanished module opened again, but the module did not take what connecting
    // sends (version query, detection settings); the exchange or refusal says how.
    bool notSetUpAgain = false;

    // A PC file that could not be written, with the system's words for why.
    std::string file;
    std::string fileText;

    // The module took a command that changes its registrations.
    bool moduleChanged = false;

    static constexpr std::uint8_t kNothingReceived = 0x20;

    bool Refused() const { return result == kProtocolOk && response != 0; }
    bool ok() const {
        return result == kProtocolOk && response == 0 && portError == kSerialOk && !portLost &&
               !notSetUpAgain && file.empty();
    }
};

// The kinds of operation whose outcome has a message of its own.
enum class DeviceOperation {
    kConnection,      // opening the port and the first Get Version
    kQuery,           // reading from the module: version, registration check
    kSettings,        // sending detection settings
    kExecution,       // one detection run
    kRegistration,    // registering a face
    kDeletion,        // deleting users or data, one or all
    kAlbumLoad,       // album file to the module
    kAlbumSave,       // the module's album to an album file
    kStartupRestore,  // the album backup sent at connection start
    kStartupCheck,    // the check at connection start as a whole, when it could not run
    kCloseBackup,     // the module's album saved as the backup at connection end
};

enum class MessageIcon { kInformation, kWarning };

// One string-table text and the values of its conversions, in order.
struct MessageText {
    using Arg = std::variant<int, std::string>;
    int id = 0;  // 0: no text
    std::vector<Arg> args;

    // The text with its arguments; a conversion without a fitting argument shows as "?".
    std::string Format() const;
};

struct UserMessage {
    MessageText text;    // id 0: nothing to show
    MessageText detail;  // the reason in the module's or the system's words; id 0: none
    MessageIcon icon = MessageIcon::kInformation;
    // The text's last line is the question the user answers (Yes or No): it stays last.
    bool asksQuestion = false;

    // The text, then the detail on a line of its own (before the question of one that asks).
    std::string Format() const;
};

// The message for an operation's outcome, for success as well (id 0 when success says nothing).
// albumPath: the album file of an album job, as the message names it.
UserMessage MessageFor(const DeviceOutcome& outcome, DeviceOperation operation,
                       const std::string& albumPath = {});

// Several users deleted one by one: all of them, some, or none.
UserMessage MessageForDeletions(int done, int attempted);

}  // namespace qzm
