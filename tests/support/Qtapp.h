#pragma once
// The one QApplication of a window test program, made on first use. Tests run with the
// offscreen platform (telvor_add_test sets it), so no display is needed.
#include <QApplication>

namespace telvor::testing {

inline QApplication& qtApp() {
    static int argc = 1;
    static char name[] = "telvor-test";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance())
        new QApplication(argc, argv);
    return *static_cast<QApplication*>(QApplication::instance());
}

} // namespace telvor::testing
