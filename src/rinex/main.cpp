// telvor-vxr2rin: converts one raw data file to RINEX; the exit code tells the logging worker
// what went wrong, and stderr gets one line per failure.
#include "rinex/Converter.h"

#include <cstdio>

int main(int argc, char** argv) {
    using namespace telvor;
    std::vector<std::string> args(argv + 1, argv + argc);
    TConverterArgs a;
    TConverterResult r = parseConverterArgs(args, a);
    if (r.code == kConvertOk)
        r = convertFile(a);
    if (r.code != kConvertOk) {
        std::fprintf(stderr, "telvor-vxr2rin: %s\n", r.text.c_str());
        if (r.code == kUsageError)
            std::fprintf(stderr, "%s\n", kConverterUsage);
        return r.code;
    }
    if (!a.quiet)
        for (const auto& f : r.written)
            std::printf("%s\n", f.c_str());
    return 0;
}
