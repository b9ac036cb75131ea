// Making files written without waiting for the disk durable in one step, before a folder that
// holds them is swapped in.
#pragma once

#include <string>

namespace qzm {

// Waits until everything written to the file system holding the folder is on the disk (on Windows:
// every file in the folder and its sub-folders). -1 when the folder cannot be opened or the flush
// fails.
int FlushFileSystemOf(const std::string& folder);

}  // namespace qzm
