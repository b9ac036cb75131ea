// The requests pages and dialogs raise and the main dialog carries out. Pages emit them as
// Request(message, parameter) signals; the main operation page and the album page pass their
// children's requests on unchanged, so the main dialog is the one place that talks to the module.
#pragma once

#include <cstdint>

namespace qzm {

enum WindowMessage : int {
    WM_STARTUP_CHECK = 0x2400,     // album restore and registration check at start
    WM_EXEC_ERROR = 0x2401,        // an execution failed; parameter: exchange result
    WM_STOP_REQUEST = 0x2410,      // stop a worker
    WM_SHUTDOWN_BACKUP = 0x2420,   // save the module's album to the backup at close
    WM_EXEC_ONCE = 0x3401,         // execution panel: execute once
    WM_CONT_START = 0x3402,        // execution panel: continuous execution on
    WM_CONT_STOP = 0x3404,         // execution panel: continuous execution off
    WM_NAME_CHECK = 0x3410,        // name dialog: check the entered name before accepting it
    WM_OPEN_SETTINGS = 0x3450,     // settings dialog and sending of changed settings
    WM_RESET_SETTINGS = 0x3460,    // settings dialog: fill in the default settings
    WM_USER_EDIT = 0x3900,         // 0 add user, 1 change name, 2 delete selected, 3 delete all
    WM_REGISTER_FACE = 0x3901,     // register a face for the selected user
    WM_SHOW_USER_IMAGES = 0x3902,  // parameter: number of selected rows
    WM_DELETE_IMAGES = 0x3905,     // 0 delete the selected image, 1 delete all of the user's images
    WM_ALBUM_FILE = 0x3910,        // 0 open, 1 save
    WM_RESULT_LOG_ADD = 0x3A00,    // result log: format and insert the stored result
    WM_SHOW_LOG_MENU = 0x3A10,     // result log: show the log menu at a screen point
    WM_SAVE_IMAGE = 0x3A20,        // image page: save the frame (0) or the frame with the results (1)
    WM_DELETE_ALL_DATA = 0x3B00,   // maintenance page: delete all data in module and program
};

// Parameters of WM_USER_EDIT, WM_DELETE_IMAGES and WM_ALBUM_FILE.
enum UserEdit : int { kUserAdd = 0, kUserRename = 1, kUserDelete = 2, kUserDeleteAll = 3 };
enum ImageDelete : int { kImageDeleteSelected = 0, kImageDeleteAll = 1 };
enum AlbumFileRequest : int { kAlbumOpen = 0, kAlbumSave = 1 };
enum ImageSave : int { kSaveFrame = 0, kSaveWithResults = 1 };

// The screen point of WM_SHOW_LOG_MENU: x in the high 32 bits, y in the low 32 bits, so that
// negative and large coordinates of several screens come through whole.
constexpr std::int64_t PackScreenPoint(int x, int y) {
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(static_cast<std::uint32_t>(x)) << 32) |
                                     static_cast<std::uint32_t>(y));
}
constexpr int ScreenPointX(std::int64_t packed) {
    return static_cast<int>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(packed) >> 32));
}
constexpr int ScreenPointY(std::int64_t packed) {
    return static_cast<int>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(packed)));
}

}  // namespace qzm
