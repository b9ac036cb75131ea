#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "files/working_folder.h"

namespace qzm {

std::string ProgramFolder() {
    std::error_code ec;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : program.parent_path().string();
}

bool IsWritableFolder(const std::string& folder) {
    struct stat status {};
    return ::stat(folder.c_str(), &status) == 0 && S_ISDIR(status.st_mode) &&
           (status.st_mode & S_IWUSR) != 0 && ::faccessat(AT_FDCWD, folder.c_str(), W_OK, AT_EACCESS) == 0;
}

std::string UserDataFolder() {
    const char* xdgDataHome = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    return UserDataFolder(xdgDataHome ? xdgDataHome : "", home ? home : "");
}

}  // namespace qzm
