// Replacing a file's whole content so that readers only ever see the old or the new content.
// Settings, registration files and album files go through here: a full disk or a crash while
// writing must leave the previous file intact.
#pragma once

#include <string>
#include <string_view>

namespace qzm {

// Writes the bytes to a new file in the same folder, flushes it to the disk, then renames it over
// `path` (a symbolic link is written through to its target). An existing file keeps its permission
// bits and, where the process may set them, its owner and group. Returns 0, or -1 when any step
// fails; on failure `path` is left as it was and the temporary file is removed.
//
// A file that could not be written in place is not replaced either (-1): one without the owner's
// write permission (refused also for root, the user made it read-only) or one the process may not
// write. When the folder refuses a temporary file (a read-only folder) an existing writable file
// is written in place instead, without the protection against a crash half-way.
//
// On Windows a file with the read-only attribute is refused the same way; the new file takes the
// folder's permissions. `reason`, when given, receives the system's words for a failure.
int ReplaceFileContents(const std::string& path, std::string_view bytes, std::string* reason = nullptr);

// Faults a test can inject into the next ReplaceFileContents call (only that one).
enum class WriteFault {
    kNone,
    kDiskFull,           // the data write fails half-way, as with a full disk
    kCrashBeforeRename,  // everything written, then the process "dies": no rename, no clean-up
    kNoTempFile,         // the folder refuses the temporary file, as a read-only folder does
};
void InjectWriteFaultForTest(WriteFault fault);

}  // namespace qzm
