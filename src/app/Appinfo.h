#pragma once

namespace telvor {
// The application title; window captions and file names are built from it.
inline constexpr const char* kAppTitle = "Telvor";
const char* appVersion();
} // namespace telvor
