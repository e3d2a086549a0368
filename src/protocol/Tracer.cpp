#include "protocol/Tracer.h"

#include "protocol/Debugcore.h"

#include <cstdarg>
#include <cstdio>
#include <string>

namespace telvor {

void trace(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text = "Trace: ";
    if (n > 0) {
        std::string body(static_cast<std::size_t>(n) + 1, '\0');
        std::vsnprintf(body.data(), body.size(), format, args);
        body.resize(static_cast<std::size_t>(n));
        text += body;
    }
    va_end(args);
    debugCore().postError(text);
}

} // namespace telvor
