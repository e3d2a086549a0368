#pragma once
// Elevation mask: reading the receiver's value, the dialog `TElevationMaskForm` and the
// command that sets a changed mask.
#include <optional>
#include <string>
#include <string_view>

namespace telvor {

inline constexpr const char* kMaskParameter = "/par/pos/elm";
inline constexpr int kMaskReplyWaitMs = 2000;

// The reply to "print,/par/pos/elm" as an integer; 0 when it is not one.
int maskFromReply(std::string_view reply);
// `ElmPosEdit` on opening.
std::string maskEditText(int mask);
// "OK": the text as an integer (0 when it is not one), negative values raised to 0.
int maskFromEdit(std::string_view text);
// The command for a changed mask, nothing when it stayed the same.
std::optional<std::string> maskCommand(int oldMask, int newMask);

} // namespace telvor
