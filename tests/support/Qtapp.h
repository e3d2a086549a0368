#pragma once
// The one QApplication of a window test program, made on first use. Tests run with the
// offscreen platform (telvor_add_test sets it), so no display is needed.
#include "support/Eventually.h"

#include <QApplication>
#include <QWidget>
#include <gtest/gtest.h>

#include <functional>
#include <unistd.h>

namespace telvor::testing {

inline QApplication& qtApp() {
    static int argc = 1;
    static char name[] = "telvor-test";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance())
        new QApplication(argc, argv);
    return *static_cast<QApplication*>(QApplication::instance());
}

// Waits for `done` while the window's events keep running.
inline bool waitFor(const std::function<bool()>& done, int ms = 5000) {
    return eventually(done, ms, [] {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        ::usleep(5000);
    });
}

// A child of the window by its object name; a missing one fails the test.
template <class W> W* findWidget(QWidget& form, const char* name) {
    W* w = form.findChild<W*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
}

} // namespace telvor::testing
