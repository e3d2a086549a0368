#include "app/Appinfo.h"

namespace telvor {
const char* appVersion() {
    return "0.1.0";
}
} // namespace telvor
