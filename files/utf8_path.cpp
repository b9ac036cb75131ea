#include "files/utf8_path.h"

#include <exception>

namespace qzm {

std::filesystem::path Utf8Path(std::string_view utf8) {
    try {
        return std::filesystem::path(
            std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
    } catch (const std::exception&) {
        return {};
    }
}

std::string PathUtf8(const std::filesystem::path& path) {
    try {
        const std::u8string text = path.u8string();
        return std::string(reinterpret_cast<const char*>(text.data()), text.size());
    } catch (const std::exception&) {
        return {};
    }
}

}  // namespace qzm
