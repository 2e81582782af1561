#pragma once
// User input (keypad digits) as UserInputIndication: a text goes as one alphanumeric string, or,
// to a far end that announces DTMF signals but no strings, as one signal per key. Received
// strings and signals become texts; a signalUpdate only changes the length of a key already
// reported, and encrypted input cannot be read, so neither yields a text.

#include "stack/asn/Value.h"
#include "stack/h245/H245Control.h"

#include <optional>
#include <string>
#include <vector>

namespace vantro::h245 {

// How long a key sent as a signal lasts, in milliseconds.
inline constexpr unsigned kSignalDurationMs = 100;

// Whether the far end can take strings (basicString and friends); false when it announces only
// DTMF signals. No capabilities yet, or none for user input at all: strings, which every peer reads.
bool TakesUserInputStrings(const RemoteCapabilities* theirs);

// The indications that carry text: one alphanumeric message, or one signal message per key
// (characters that are no keys are left out).
std::vector<asn::Value> BuildUserInput(const std::string& text, bool asSignals);

// The text an indication carries; nullopt when it carries none.
std::optional<std::string> ReadUserInput(const asn::Value& indication);

}  // namespace vantro::h245
