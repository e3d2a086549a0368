// `telvor-cli rinex`: converts raw files by hand with the converter and the options that the
// logging window's conversion uses, so both give the same files and texts.
#include "cli/Commands.h"
#include "rtlog/Convertthread.h"

#include <filesystem>
#include <ostream>

namespace telvor {

int runRinex(TCliContext& ctx) {
    TConverterSettings s = readConverterSettings(ctx.profile);
    std::error_code ec;
    s.workingFolder =
        ctx.has("dir") ? ctx.options.at("dir") : std::filesystem::current_path(ec).string();
    s.noGps = s.noGps || ctx.has("no-gps");
    s.noGlo = s.noGlo || ctx.has("no-glonass");
    s.noL1 = s.noL1 || ctx.has("no-l1");
    s.noL2 = s.noL2 || ctx.has("no-l2");
    if (ctx.has("options"))
        s.options = ctx.options.at("options");
    if (s.noGps && s.noGlo)
        return usageError(ctx.err, "At least one satellite system must be enabled!");
    if (!std::filesystem::is_directory(s.workingFolder, ec))
        return usageError(ctx.err, "No such folder: " + s.workingFolder);
    int code = 0;
    for (const std::string& file : ctx.args) {
        // The converter runs in the output folder, so it gets the file's full path.
        const std::string path = std::filesystem::absolute(file, ec).string();
        TConvertThread w(s, path, TConvertThread::kConvert, "");
        w.Execute();
        if (w.errorText.empty())
            ctx.out << "Converted " << file << std::endl;
        else {
            ctx.err << "VXR to RINEX: " << w.errorText << ",Input:" << file << std::endl;
            code = 1;
        }
    }
    return code;
}

} // namespace telvor
