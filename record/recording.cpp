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

}  // namespace qzm
