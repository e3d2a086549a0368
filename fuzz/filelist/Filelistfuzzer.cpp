// One element of the receiver's file list, as it comes after the "%%" of a reply: whatever the
// receiver prints, reading it neither crashes nor invents text, and the names it gives are
// usable for the target file.
#include "files/Filelist.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 4096)
        return 0;
    const std::string text(reinterpret_cast<const char*>(data), size);
    telvor::TFileEntry entry;
    if (!telvor::ParseFileListElement(text, entry))
        return 0;
    // Only the inserted quotes and the ".vxr" may add to the element's text.
    if (entry.name.size() + entry.size.size() > size)
        std::abort();
    if (entry.caption != entry.name + ".vxr")
        std::abort();
    std::string target = telvor::TargetName("", entry.name);
    if (target.find('.') == std::string::npos)
        std::abort();
    (void)telvor::FileDate(entry.time);
    (void)telvor::FileTimeOfDay(entry.time);
    return 0;
}
