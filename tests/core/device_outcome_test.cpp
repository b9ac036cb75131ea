// The one mapping from an operation's outcome to the message the user sees.
#include "core/device_outcome.h"

#include <gtest/gtest.h>

using namespace qzm;

namespace {

DeviceOutcome Exchange(int result, std::uint8_t response = 0) {
    DeviceOutcome o;
    o.result = result;
    o.response = response;
    return o;
}

DeviceOutcome Port(SerialError error, const char* text) {
    DeviceOutcome o = Exchange(kProtocolNoConnection);
    o.port = "/dev/ttyUSB0";
    o.portError = error;
    o.portText = text;
    return o;
}

DeviceOutcome Lost(int result) {
    DeviceOutcome o = Exchange(result);
    o.port = "/dev/ttyUSB0";
    o.portLost = true;
    return o;
}

// The module took the change; the PC could not write the file.
DeviceOutcome PcBehind(const char* file, const char* reason) {
    DeviceOutcome o;
    o.moduleChanged = true;
    o.file = file;
    o.fileText = reason;
    return o;
}

DeviceOutcome FileFailed(int result, std::uint8_t response, const char* file, const char* reason) {
    DeviceOutcome o = Exchange(result, response);
    o.file = file;
    o.fileText = reason;
    return o;
}

const std::string kNotResponding = "Device is not responding.\nPlease verify connection.";
const std::string kCommunication =
    "Communication error.\nPlease lower the Baud rate or change the USB driver settings.\n\n"
    "Please refer to Application manual for details.";

}  // namespace

TEST(DeviceOutcomeTest, EveryOutcomeHasItsMessage) {
    using Op = DeviceOperation;
    constexpr MessageIcon kInfo = MessageIcon::kInformation;
    constexpr MessageIcon kWarn = MessageIcon::kWarning;
    const std::string differ =
        "The module carried out the change, but the PC could not write ./DB/RegistData/User.dat "
        "(Read-only file system).\nThe registration data in Device and Application now differ.";
    struct Case {
        DeviceOutcome outcome;
        Op operation;
        std::string text;
        MessageIcon icon;
    } const cases[] = {
        // Success says something only where the program confirms the work.
        {{}, Op::kExecution, "", kInfo},
        {{}, Op::kConnection, "", kInfo},
        {{}, Op::kCloseBackup, "", kInfo},
        {{}, Op::kRegistration, "Registration successful.", kInfo},
        {{}, Op::kDeletion, "Delete completed.", kInfo},
        {{}, Op::kAlbumLoad, "Album loaded.", kInfo},
        {{}, Op::kAlbumSave, "Album saved.", kInfo},
        // Execution errors by exchange result; others with their code instead of a missing text.
        {Exchange(kProtocolTimeout), Op::kExecution, kNotResponding, kWarn},
        {Exchange(kProtocolBadSync), Op::kExecution, kNotResponding, kWarn},
        {Exchange(kProtocolShortHeader), Op::kExecution, kCommunication, kWarn},
        {Exchange(-30), Op::kExecution, kCommunication, kWarn},
        {Exchange(kProtocolTooMuchData), Op::kExecution, kCommunication, kWarn},
        {Exchange(kProtocolBadLength), Op::kExecution, "The command failed. (result -25)", kWarn},
        {Exchange(kProtocolNoConnection), Op::kExecution, "The command failed. (result -1)", kWarn},
        {Exchange(kProtocolNotSupported), Op::kExecution, "The module does not support this command.", kWarn},
        {Exchange(kProtocolOk, 0x02), Op::kExecution, "The module refused the command. (error code 02)",
         kWarn},
        {Lost(kProtocolTimeout), Op::kExecution,
         kNotResponding + "\nThe serial port /dev/ttyUSB0 was disconnected.", kWarn},
        // The port's own failures.
        {Port(kSerialNoPermission, "Permission denied"), Op::kConnection,
         "No permission to open the serial port /dev/ttyUSB0 (Permission denied).\nAdd yourself to the "
         "dialout group (sudo usermod -aG dialout $USER), then log out and log in again.",
         kWarn},
        {Port(kSerialNotFound, "No such file or directory"), Op::kConnection,
         kNotResponding + "\nThe serial port /dev/ttyUSB0 is not there (No such file or directory).", kWarn},
        {Port(kSerialBusy, "Resource temporarily unavailable"), Op::kConnection,
         kNotResponding + "\nThe serial port /dev/ttyUSB0 is in use by another program (Resource temporarily "
                          "unavailable).",
         kWarn},
        {Port(kSerialSetupFailed, ""), Op::kConnection,
         kNotResponding + "\nThe serial port /dev/ttyUSB0 cannot be used (no reason given).", kWarn},
        {Exchange(kProtocolTimeout), Op::kConnection, kNotResponding, kWarn},
        // Settings and queries: the program's one message, and the module's code when it refused.
        {Exchange(kProtocolOk, 0x42), Op::kSettings,
         kNotResponding + "\nThe module refused the command. (error code 42)", kWarn},
        {Exchange(kProtocolTimeout), Op::kSettings, kNotResponding, kWarn},
        {Exchange(kProtocolOk, 0xC2), Op::kQuery,
         kNotResponding + "\nThe module refused the command. (error code C2)", kWarn},
        // Registration.
        {Exchange(kProtocolTimeout), Op::kRegistration, kNotResponding, kWarn},
        {Exchange(-1), Op::kRegistration, kNotResponding, kWarn},  // no free data number
        {Exchange(kProtocolOk, 0x01), Op::kRegistration, "Registration failed:\nFace not found.", kWarn},
        {Exchange(kProtocolOk, 0x02), Op::kRegistration, "Registration failed:\nMultiple faces in image.",
         kWarn},
        {Exchange(kProtocolOk, 0x07), Op::kRegistration,
         "Registration unsuccessful.\nThe module refused the command. (error code 07)", kWarn},
        {PcBehind("./DB/RegistData/User.dat", "Read-only file system"), Op::kRegistration, differ, kWarn},
        // Deletions.
        {Exchange(kProtocolOk, 0x05), Op::kDeletion,
         "Failed to delete.\nThe module refused the command. (error code 05)", kWarn},
        {Exchange(kProtocolTimeout), Op::kDeletion, "Failed to delete.\n" + kNotResponding, kWarn},
        {PcBehind("./DB/RegistData/User.dat", "Read-only file system"), Op::kDeletion, differ, kWarn},
        // Delete-all-data empties the store whatever the module said: here it refused, and the
        // store could not be emptied either.
        {FileFailed(kProtocolOk, 0x05, "./DB/RegistData/User.dat", "Read-only file system"), Op::kDeletion,
         "Failed to delete.\nCannot write ./DB/RegistData/User.dat (Read-only file system).", kWarn},
        // Album jobs: the full path and the response code in hexadecimal, 20 when nothing came.
        {Exchange(kProtocolTimeout, 0x20), Op::kAlbumLoad,
         "Cannot open /home/u/a.qzc. (error code 20)\n" + kNotResponding, kWarn},
        {Exchange(-1, 0x20), Op::kAlbumLoad, "Cannot open /home/u/a.qzc. (error code 20)", kWarn},
        {FileFailed(-1, 0, "/home/u/a.qzc", "No space left on device"), Op::kAlbumSave,
         "Cannot save /home/u/a.qzc. (error code 00)\nCannot write /home/u/a.qzc (No space left on device).",
         kWarn},
        {Exchange(kProtocolNotSupported, 0x20), Op::kAlbumSave,
         "Cannot save /home/u/a.qzc. (error code 20)\nThe module does not support this command.", kWarn},
        // A text that shows the response code is not followed by the code again.
        {Exchange(kProtocolOk, 0xC4), Op::kAlbumLoad, "Cannot open /home/u/a.qzc. (error code C4)", kWarn},
        // The backups at connection start and end; the question asked stays last, after the reason.
        {Exchange(kProtocolTimeout, 0x20), Op::kStartupRestore,
         "Cannot load the Album. (error code 20)\n" + kNotResponding + "\nTry again?", kInfo},
        {Exchange(kProtocolOk, 0xC4), Op::kStartupRestore,
         "Cannot load the Album. (error code C4)\nTry again?", kInfo},
        {Lost(kProtocolTimeout), Op::kStartupRestore,
         "Cannot load the Album. (error code 00)\nThe serial port /dev/ttyUSB0 was disconnected.\nTry again?",
         kInfo},
        {Exchange(kProtocolOk, 0x05), Op::kCloseBackup, "Cannot save the Album. (error code 05)", kWarn},
        {Exchange(kProtocolOk, 0x05), Op::kStartupCheck,
         "The start-up check could not run: the module's registrations were not compared with the PC's, and "
         "the album backup is kept as it is.\nThe module refused the command. (error code 05)",
         kWarn},
        {{}, Op::kStartupCheck, "", kInfo},
        {FileFailed(kProtocolOk, 0, "./DB/qzcxx.qzb", "File too large"), Op::kCloseBackup,
         "Cannot save the Album. (error code 00)\nCannot write ./DB/qzcxx.qzb (File too large).", kWarn},
    };
    for (const Case& c : cases) {
        const UserMessage message = MessageFor(c.outcome, c.operation, "/home/u/a.qzc");
        EXPECT_EQ(message.Format(), c.text) << c.text;
        EXPECT_EQ(message.icon, c.icon) << c.text;
    }
}

TEST(DeviceOutcomeTest, DeletionsOfSeveralUsers) {
    EXPECT_EQ(MessageForDeletions(3, 3).Format(), "Delete completed.");
    EXPECT_EQ(MessageForDeletions(3, 3).icon, MessageIcon::kInformation);
    EXPECT_EQ(MessageForDeletions(1, 3).Format(), "Some users couldn't be deleted.");
    EXPECT_EQ(MessageForDeletions(0, 3).Format(), "Failed to delete.");
    EXPECT_EQ(MessageForDeletions(0, 3).icon, MessageIcon::kWarning);
}

// The windows format the same id and arguments: a missing or mismatched argument must not reach
// printf.
TEST(DeviceOutcomeTest, TextsTakeOnlyFittingArguments) {
    EXPECT_EQ((MessageText{5033, {std::string("a.qzc"), 0x2B}}).Format(),
              "Cannot open a.qzc. (error code 2B)");
    EXPECT_EQ((MessageText{5033, {}}).Format(), "Cannot open ?. (error code ?)");
    EXPECT_EQ((MessageText{5033, {0x2B, std::string("a.qzc")}}).Format(), "Cannot open ?. (error code ?)");
    EXPECT_EQ((MessageText{5033, {std::string(5000, 'x'), 1}}).Format(),
              "Cannot open " + std::string(5000, 'x') + ". (error code 01)");
    EXPECT_EQ((MessageText{12345, {1}}).Format(), "");
    EXPECT_EQ((MessageText{}).Format(), "");
}
