#include "record/recording.h"

namespace qzm {

std::string SwitchesText(const FunctionSwitches& switches) {
    std::string text;
    for (const bool on : switches)
        text += on ? '1' : '0';
    return text;
}

FunctionSwitches SwitchesFromText(const std::string& text) {
    FunctionSwitches switches{};
    for (std::size_t i = 0; i < switches.size() && i < text.size(); ++i)
        switches[i] = text[i] == '1';
    return switches;
}

std::optional<std::int64_t> PersonColumn(PersonInView person) {
    switch (person.kind) {
        case PersonInView::kUser:
            return person.user >= 0 ? std::optional<std::int64_t>(person.user) : std::nullopt;
        case PersonInView::kStranger:
            return -1;
        case PersonInView::kNobody:
            return -2;
        case PersonInView::kUntagged:
            break;
    }
    return std::nullopt;
}

PersonInView PersonFromColumn(std::optional<std::int64_t> value) {
    if (!value)
        return {};
    if (*value >= 0 && *value <= 0x7FFFFFFF)
        return PersonInView::User(static_cast<int>(*value));
    if (*value == -1)
        return PersonInView::Stranger();
    if (*value == -2)
        return PersonInView::Nobody();
    return {};
}

}  // namespace qzm
