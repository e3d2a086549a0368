#include "app/Appinfo.h"

#include "info/Reportfile.h"

namespace telvor {
const char* appVersion() {
    return TELVOR_VERSION;
}
const char* appBuildDate() {
    return __DATE__;
}
std::string sharingGreeting() {
    return std::string(kAppTitle) + " Version " + appVersion() + " " +
           buildDateText(appBuildDate());
}
} // namespace telvor
