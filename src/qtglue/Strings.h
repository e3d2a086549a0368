#pragma once
// Between the standard library's strings, which the logic units speak, and Qt's, which the
// windows show: one spelling for every unit built on Qt.
#include <QString>

#include <string>

namespace telvor {

inline QString q(const std::string& s) {
    return QString::fromStdString(s);
}

} // namespace telvor
