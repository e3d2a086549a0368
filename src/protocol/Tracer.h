#pragma once
// Formatted traces from the link code, shown as errors in the debug window from any thread.

namespace telvor {

// Posts "Trace: " + the printf-formatted text, e.g. trace("Destroy USB Port\n").
void trace(const char* format, ...) __attribute__((format(printf, 1, 2)));

} // namespace telvor
