#pragma once
// The usual correction outputs of a port (the RTK presets), the command that enables one, and
// the recognition of a preset in what a port sends now; the port input modes. No Qt.
#include "config/Binding.h"

#include <array>
#include <string>

namespace telvor {

struct TOutputPreset {
    const char* caption;
    // The message list after "em,<port>,"; "<T>" stands for the period. Empty: nothing to
    // enable ("None"); null: the user's own choice ("User Defined").
    const char* list;
};

inline constexpr std::array<TOutputPreset, 16> kOutputPresets{{
    {"None", ""},
    {"DGPS RTCM {1,31,3}", "/msg/rtcm{/1:<T>,/31:<T>,/3:10}"},
    {"DGPS RTCM {9,34,3}", "/msg/rtcm{/9:<T>,/34:<T>,/3:10}"},
    {"RTK RTCM {18,19,22,3}", "/msg/rtcm{/18:<T>,/19:<T>,/22:10,/3:10}"},
    {"RTK RTCM {20,21,22,3}", "/msg/rtcm{/20:<T>,/21:<T>,/22:10,/3:10}"},
    {"RTK RTCM {18,19,23,24}", "/msg/rtcm{/18:<T>,/19:<T>,/23:10,/24:10}"},
    {"RTK RTCM {20,21,23,24}", "/msg/rtcm{/20:<T>,/21:<T>,/23:10,/24:10}"},
    {"RTK RTCM3 GD min", "/msg/rtcm3{/1003:<T>,/1006:10,/1008:10}"},
    {"RTK RTCM3 GD full", "/msg/rtcm3{/1004:<T>,/1006:10,/1008:10}"},
    {"RTK RTCM3 GGD min", "/msg/rtcm3{/1003:<T>,/1011:<T>,/1006:10,/1008:10}"},
    {"RTK RTCM3 GGD full", "/msg/rtcm3{/1004:<T>,/1012:<T>,/1006:10,/1008:10}"},
    {"RTK CMR   {10,0,1}", "/msg/cmr{/10:<T>,/0:<T>,/1:10}"},
    {"RTK CMR+ {10,0,9}", "/msg/cmr{/10:<T>,/0:<T>,/9:1}"},
    {"RTK VXR min", "/msg/rtk/vxr/min:<T>"},
    {"RTK VXR max", "/msg/rtk/vxr/max:<T>"},
    {"User Defined", nullptr},
}};
inline constexpr const char* kUserDefined = "User Defined";

// The captions in table order, for a port's output combo box.
ValueList PresetCaptions();

// Port input modes: the receiver's values and their captions.
extern const ValueList kInputModeValues;
extern const ValueList kInputModeCaptions;

// "%%em,<port>,<list>" with the period put in; "%%" for "None", empty for "User Defined",
// "none" for a caption that is no preset.
std::string PresetCommand(const std::string& port, const std::string& presetCaption,
                          const std::string& period);

struct TDetectedPreset {
    bool ok = false; // the port's output could be read
    std::string caption;
    std::string period; // empty for "None" and "User Defined"
};

// What the port sends now, as one of the presets.
TDetectedPreset DetectPreset(TParamReader& in, const std::string& port);

} // namespace telvor
