#pragma once
// The blocking command dialogue with the receiver, run on the UI thread: send a command line,
// wait for its "RE"/"ER" reply in the current link's reply buffer, read it, and the
// operations built on them. Every operation fails at once when no link is open.
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace telvor {

enum class TReply { None = 0, RE, ER };

// Added to reply timeouts: 0 at each connect, then the measured round trip of the link.
std::uint32_t LatencyAllowance();
void SetLatencyAllowance(std::uint32_t ms);

// Sends a command line through the current link (checksum suffix, CR LF).
bool SendLine(std::string_view text);

// Waits for a whole "RE" or "ER" (`id`) message in the reply buffer and moves it to the front.
// Timeouts other than exactly 100 ms get the latency allowance.
bool AwaitReply(std::string_view id, int timeoutMs);

// The reply at the front from byte `offset` (0 whole message, 5 body, 7 value after "%%"),
// blanks and control characters trimmed. Without a reply at the front: up to the first zero.
std::string ReplyText(int offset);

// Sends `line` (nothing when empty) and waits up to two 100 ms slices per 100 ms of
// `timeoutMs` + allowance for the first "RE" or "ER".
TReply SendAndWait(std::string_view line, int timeoutMs);

// The value of "%%print," + name; else `def`, or with def "ERROR" the receiver's error text.
std::string PrintParameter(std::string_view name, std::string_view def, int timeoutMs);

// "%command%" + line, retried after "ER", given up at the first timeout.
bool SendWithRetries(std::string_view line, int attempts);

// Brings the dialogue into step: "%Wait_k%" for k = count..1 until one is echoed back.
bool Synchronise(int count);

// "em,,vxr{...}" lines of at most 124 characters for a comma-separated list of items.
bool EnableMessages(std::string_view list);

// Script lines that restore a parameter / a port's message list.
bool SaveParameterLine(std::ostream& file, std::string_view name);
bool SavePortMessages(std::ostream& file, std::string_view port);

// Reads the rest of a value that continues over several "RE" replies, starting from the reply
// at the front; consumes each reply. `offset` is where the value starts in each reply (7 after
// "%%"). False when a continuation did not come within `timeoutMs`.
bool ReadCompleteValue(std::string& value, int offset = 7, int timeoutMs = 2000);

// Helpers of the receiver's list notation as the engine needs them.
// Braces outside double quotes balance and no quote is open (a backslash hides a character).
bool ValueComplete(std::string_view text);
// Splits at commas outside double quotes and braces.
std::vector<std::string> SplitItems(std::string_view list);

} // namespace telvor
