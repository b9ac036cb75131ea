// Choosing the folder the programs work in. Run from the build folder, a program works beside
// itself, among the files delivered with it. An installed program may not write there, so it
// works in the user's own data folder instead, which receives a copy of the delivered files on
// first start and keeps every change the user makes to them.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace qzm {

// The files delivered with the program: time-out tables, default settings, model table and the
// supplied album backup.
inline constexpr std::array<const char*, 8> kDeliveredFiles = {
    "CmdTimeout.ini",   "ExecTimeout.ini", "ImgTimeout.ini",    "RegTimeout.ini",
    "AlbumTimeout.ini", "DefSettings.dat", "FullImageInfo.dat", "qzd00.qzb",
};

// PrepareWorkingFolder's results.
inline constexpr int kWorkingFolderOk = 0;
// The user's data folder is unknown (no HOME) or cannot be created; nothing was chosen.
inline constexpr int kWorkingFolderNoUserFolder = -1;
// The user's data folder is chosen, but a delivered file missing there could not be copied (found
// in no data folder, or the copy failed); the program can still work with what is there.
inline constexpr int kWorkingFolderIncomplete = -2;

struct WorkingFolderChoice {
    std::string folder;    // the folder to work in
    bool perUser = false;  // the user's data folder rather than the program's own
    int copied = 0;        // delivered files copied into it by this call
};

// Keeps `programFolder` when it is writable and holds any delivered file (the build folder, or a
// copied program folder). Otherwise works in `userDataFolder`: creates it and copies into it every
// delivered file it lacks, each from the first of `dataFolders` that holds it. A file already
// there, changed or not, is never replaced.
int PrepareWorkingFolder(const std::string& programFolder, const std::vector<std::string>& dataFolders,
                         const std::string& userDataFolder, WorkingFolderChoice& choice);

// The user's data folder for this program on Linux: $XDG_DATA_HOME/qzm-demo when that variable
// holds an absolute path, otherwise $HOME/.local/share/qzm-demo; empty without either.
std::string UserDataFolder(std::string_view xdgDataHome, std::string_view home);
// The user's data folder of this system: as above from the environment; on Windows
// %LOCALAPPDATA%\QZM-K Demo. Empty when the system names none.
std::string UserDataFolder();

// Where the delivered files may be found for a program in `programFolder`: beside it (the build
// folder) and in the installed data folder (<prefix>/bin/../share/qzm-demo on Linux; on Windows
// they are installed beside the program).
std::vector<std::string> DeliveredDataFolders(const std::string& programFolder);

// The folder of the running executable (UTF-8); empty when the system does not tell.
std::string ProgramFolder();

// Whether the program may create files in the folder. A folder without its owner's write
// permission counts as read-only also for root, who could otherwise write anywhere. On Windows,
// where the read-only mark of a folder does not stop writes, a file is created there and removed.
bool IsWritableFolder(const std::string& folder);

}  // namespace qzm
