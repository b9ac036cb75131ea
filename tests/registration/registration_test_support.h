// Helpers shared by the registration tests: face images and snapshots of folders.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "image/image_data.h"
#include "image/img_conv.h"
#include "registration/reg_user_info_mngr.h"
#include "test_folder.h"

namespace qzm::testing {

// A 64 x 64 grey face whose pixels depend on the seed, so images can be told apart.
inline CImageData MakeFace(int seed, int side = 64) {
    CImageData image;
    image.Allocate(side, nullptr, side, kFormatGrey8, 1);
    for (std::size_t i = 0; i < image.PlaneSize(0); ++i) {
        image.Plane(0)[i] = static_cast<std::uint8_t>(i * 7 + seed * 31);
    }
    return image;
}

// Every file below the folder (relative path to content); folders appear with the content "/".
inline std::map<std::string, std::string> SnapshotTree(const std::filesystem::path& folder) {
    std::map<std::string, std::string> files;
    std::error_code ec;
    if (!std::filesystem::exists(folder, ec)) {
        return files;
    }
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        // The same "/"-separated names on every system.
        const std::string name = std::filesystem::relative(entry.path(), folder).generic_string();
        files[name] = entry.is_directory() ? "/" : ReadFile(entry.path());
    }
    return files;
}

inline std::vector<int> Ids(const CRegUserInfoMngr& users) {
    std::vector<int> ids;
    for (const UserSummary& user : users.GetUserList()) {
        ids.push_back(user.id);
    }
    return ids;
}

// The user's data numbers in entry order; none for an unknown user.
inline std::vector<int> DataNumbers(const CRegUserInfoMngr& users, int id) {
    CUserInfo user;
    std::vector<int> numbers;
    users.GetUserInfo(id, user);
    for (const UserDataEntry& entry : user.Entries()) {
        numbers.push_back(entry.dataNumber);
    }
    return numbers;
}

}  // namespace qzm::testing
