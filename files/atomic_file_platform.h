// The system's half of ReplaceFileContents (files/atomic_file.h), in atomic_file_posix.cpp or
// atomic_file_win32.cpp.
#pragma once

#include <string>
#include <string_view>

#include "files/atomic_file.h"

namespace qzm {

// As ReplaceFileContents, with the fault the test injected; on failure `reason` holds the system's
// words for the step that failed (empty when it gave none).
int ReplaceFileContentsOnSystem(const std::string& path, std::string_view bytes, WriteFault fault,
                                std::string& reason);

}  // namespace qzm
