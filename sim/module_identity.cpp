#include "sim/module_identity.h"

#include <charconv>

#include "device/qzm_frame.h"

namespace qzm {

ModuleIdentity ModuleIdentity::Basic() {
    return ModuleIdentity{"QZM-K100    ", 1, 1, 0, 1024};
}

ModuleIdentity ModuleIdentity::Extended() {
    return ModuleIdentity{"QZM-K200    ", 1, 2, 0, 2048};
}

std::string ModuleIdentity::WireModel() const {
    std::string wire = model.substr(0, kModelLength);
    wire.resize(kModelLength, ' ');
    return wire;
}

std::vector<std::uint8_t> ModuleIdentity::VersionAnswer() const {
    std::vector<std::uint8_t> answer;
    answer.reserve(kVersionAnswerLength);
    for (char c : WireModel())
        answer.push_back(static_cast<std::uint8_t>(c));
    answer.push_back(major);
    answer.push_back(minor);
    answer.push_back(release);
    PutLE32(answer, revision);
    return answer;
}

bool IdentityForPersonality(std::string_view name, ModuleIdentity& identity) {
    if (name == "basic") {
        identity = ModuleIdentity::Basic();
        return true;
    }
    if (name == "extended") {
        identity = ModuleIdentity::Extended();
        return true;
    }
    return false;
}

namespace {

// One decimal field of at most maxValue; digits only (no sign, no blanks).
bool ParseField(std::string_view text, std::uint64_t maxValue, std::uint64_t& value) {
    if (text.empty() || text.size() > 10)
        return false;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() && value <= maxValue;
}

}  // namespace

bool ParseVersionText(std::string_view text, ModuleIdentity& identity) {
    std::uint64_t fields[4] = {};
    const std::uint64_t limits[4] = {0xFF, 0xFF, 0xFF, 0xFFFFFFFFu};
    for (int i = 0; i < 4; ++i) {
        std::size_t dot = (i < 3) ? text.find('.') : std::string_view::npos;
        if (i < 3 && dot == std::string_view::npos)
            return false;
        std::string_view field = text.substr(0, dot);
        if (!ParseField(field, limits[i], fields[i]))
            return false;
        text = (i < 3) ? text.substr(dot + 1) : std::string_view();
    }
    identity.major = static_cast<std::uint8_t>(fields[0]);
    identity.minor = static_cast<std::uint8_t>(fields[1]);
    identity.release = static_cast<std::uint8_t>(fields[2]);
    identity.revision = static_cast<std::uint32_t>(fields[3]);
    return true;
}

}  // namespace qzm
