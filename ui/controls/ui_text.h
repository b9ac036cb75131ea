// String-table texts as the windows need them: QString, formatted printf-style with Qt or std
// strings and numbers as arguments.
#pragma once

#include <QString>
#include <string>
#include <type_traits>

#include "res/string_table.h"

namespace qzm {

namespace text_detail {
// Two steps, so that a converted string lives until the whole FormatString call has ended.
inline std::string Hold(const QString& s) {
    return s.toStdString();
}
inline const std::string& Hold(const std::string& s) {
    return s;
}
template <class T>
T Hold(T value) {
    static_assert(std::is_arithmetic_v<T> || std::is_same_v<T, const char*> || std::is_same_v<T, char*>,
                  "texts take numbers and strings");
    return value;
}
inline const char* Pass(const std::string& s) {
    return s.c_str();
}
template <class T>
T Pass(T value) {
    return value;
}
}  // namespace text_detail

// The id's text, or "" for an unknown id.
inline QString UiText(int id) {
    return QString::fromUtf8(LoadString(id));
}

// The display name of a function by its index in function order ("Human Body" ... "Recognition").
inline QString FunctionCaption(int index) {
    return UiText(kStrFunctionBody + index);
}

// The id's text with its printf conversions filled from args.
template <class... Args>
QString UiFormat(int id, const Args&... args) {
    return QString::fromStdString(FormatString(id, text_detail::Pass(text_detail::Hold(args))...));
}

}  // namespace qzm
