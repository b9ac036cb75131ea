#include <fcntl.h>
#include <unistd.h>

#include "registration/flush_files.h"

namespace qzm {

int FlushFileSystemOf(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    // One flush for the whole file system instead of one per file: a store holds thousands.
    const int result = ::syncfs(fd);
    ::close(fd);
    return result == 0 ? 0 : -1;
}

}  // namespace qzm
