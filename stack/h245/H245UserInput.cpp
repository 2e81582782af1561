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
    if (c.type() != h245::Capability::Id) continue;
    if (!c.is(h245::Capability::receiveUserInputCapability) &&
        !c.is(h245::Capability::receiveAndTransmitUserInputCapability))
      continue;
    const asn::Value& kind = c.alternative();
    if (kind.is(Kind::basicString) || kind.is(Kind::iA5String) || kind.is(Kind::generalString) ||
        kind.is(Kind::extendedAlphanumeric))
      strings = true;
    if (kind.is(Kind::dtmf)) signals = true;
  }
  return strings || !signals;
}

std::vector<asn::Value> BuildUserInput(const std::string& text, bool asSignals) {
  std::vector<asn::Value> out;
  if (text.empty()) return out;
  using names::MSCM;
  if (!asSignals) {
    asn::Value message = NewMessage(MSCM::indication, h245::IndicationMessage::userInput);
    MessageBody(message).select(UII::alphanumeric).setText(text);
    out.push_back(std::move(message));
    return out;
  }
  for (char c : text) {
    const char key = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (kKeys.find(key) == std::string_view::npos) continue;
    asn::Value message = NewMessage(MSCM::indication, h245::IndicationMessage::userInput);
    asn::Value& signal = MessageBody(message).select(UII::signal);
    signal.field(Signal::signalType).setText(std::string(1, key));
    signal.field(Signal::duration).setInteger(kSignalDurationMs);
    out.push_back(std::move(message));
  }
  return out;
}

std::optional<std::string> ReadUserInput(const asn::Value& indication) {
  if (indication.is(UII::alphanumeric)) {
    std::string text = indication.alternative().text();
    if (text.empty()) return std::nullopt;
    return text;
  }
  if (indication.is(UII::extendedAlphanumeric)) {
    const asn::Value& extended = indication.alternative();
    if (extended.has(h245::UserInputIndication_extendedAlphanumeric::encryptedAlphanumeric)) return std::nullopt;
    std::string text = extended[h245::UserInputIndication_extendedAlphanumeric::alphanumeric].text();
    if (text.empty()) return std::nullopt;
    return text;
  }
  if (indication.is(UII::signal)) {
    const asn::Value& signal = indication.alternative();
    // With an encrypted signal type the clear one holds a dummy "!".
    if (signal.has(Signal::encryptedSignalType)) return std::nullopt;
    std::string key = signal[Signal::signalType].text();
    if (key.empty()) return std::nullopt;
    return key;
  }
  return std::nullopt;
}

}  // namespace vantro::h245
