#include "stack/h245/H245UserInput.h"

#include "stack/asn/generated/H245.h"
#include "stack/h245/H245Messages.h"

#include <cctype>

namespace vantro::h245 {

namespace h245 = asn::h245;
using UII = h245::UserInputIndication;
using Signal = h245::UserInputIndication_signal;
using Kind = h245::UserInputCapability;

namespace {
constexpr std::string_view kKeys = "0123456789#*ABCD!";
}  // namespace

bool TakesUserInputStrings(const RemoteCapabilities* theirs) {
  if (!theirs) return true;
  bool strings = false, signals = false;
  for (const auto& entry : theirs->table) {
    const asn::Value& c = entry.capability;
    if (c.Type() != h245::Capability::Id) continue;
    if (!c.Is(h245::Capability::receiveUserInputCapability) &&
        !c.Is(h245::Capability::receiveAndTransmitUserInputCapability))
      continue;
    const asn::Value& kind = c.Alternative();
    if (kind.Is(Kind::basicString) || kind.Is(Kind::iA5String) || kind.Is(Kind::generalString) ||
        kind.Is(Kind::extendedAlphanumeric))
      strings = true;
    if (kind.Is(Kind::dtmf)) signals = true;
  }
  return strings || !signals;
}

std::vector<asn::Value> BuildUserInput(const std::string& text, bool asSignals) {
  std::vector<asn::Value> out;
  if (text.empty()) return out;
  using names::MSCM;
  if (!asSignals) {
    asn::Value message = NewMessage(MSCM::indication, h245::IndicationMessage::userInput);
    MessageBody(message).Select(UII::alphanumeric).SetText(text);
    out.push_back(std::move(message));
    return out;
  }
  for (char c : text) {
    const char key = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (kKeys.find(key) == std::string_view::npos) continue;
    asn::Value message = NewMessage(MSCM::indication, h245::IndicationMessage::userInput);
    asn::Value& signal = MessageBody(message).Select(UII::signal);
    signal.Field(Signal::signalType).SetText(std::string(1, key));
    signal.Field(Signal::duration).SetInteger(kSignalDurationMs);
    out.push_back(std::move(message));
  }
  return out;
}

std::optional<std::string> ReadUserInput(const asn::Value& indication) {
  if (indication.Is(UII::alphanumeric)) {
    std::string text = indication.Alternative().Text();
    if (text.empty()) return std::nullopt;
    return text;
  }
  if (indication.Is(UII::extendedAlphanumeric)) {
    const asn::Value& extended = indication.Alternative();
    if (extended.Has(h245::UserInputIndication_extendedAlphanumeric::encryptedAlphanumeric)) return std::nullopt;
    std::string text = extended[h245::UserInputIndication_extendedAlphanumeric::alphanumeric].Text();
    if (text.empty()) return std::nullopt;
    return text;
  }
  if (indication.Is(UII::signal)) {
    const asn::Value& signal = indication.Alternative();
    // With an encrypted signal type the clear one holds a dummy "!".
    if (signal.Has(Signal::encryptedSignalType)) return std::nullopt;
    std::string key = signal[Signal::signalType].Text();
    if (key.empty()) return std::nullopt;
    return key;
  }
  return std::nullopt;
}

}  // namespace vantro::h245
