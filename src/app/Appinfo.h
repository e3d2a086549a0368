#pragma once
#include <string>

namespace telvor {
// The application title; window captions and file names are built from it.
inline constexpr const char* kAppTitle = "Telvor";
// The project's version (CMake's project version).
const char* appVersion();
// The day this unit was compiled, as the compiler writes it ("Oct 10 2006").
const char* appBuildDate();
// What a sharing server says after "ME", in the window program and in telvor-cli alike:
// program, version and build day.
std::string sharingGreeting();
} // namespace telvor
