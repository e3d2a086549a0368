#include "app/Appinfo.h"

namespace telvor {
const char* appVersion() {
    return TELVOR_VERSION;
}
const char* appBuildDate() {
    return __DATE__;
}
} // namespace telvor
