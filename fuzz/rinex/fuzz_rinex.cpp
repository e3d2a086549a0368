// The converter's reading of a raw file and the RINEX text made from whatever it accepted.
#include "rinex/Rinexwriter.h"
#include "rinex/Vxrreader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const telvor::TVxrContent c = telvor::readVxr(data, size);
    telvor::TRinexOptions o;
    o.version = size % 2 ? 211 : 304;
    (void)telvor::rinexObservations(c, o);
    (void)telvor::rinexNavigation(c, o, o.version == 304 ? 'M' : 'R');
    return 0;
}
