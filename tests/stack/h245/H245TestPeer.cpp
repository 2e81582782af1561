#include "tests/stack/h245/H245TestPeer.h"

#include "stack/asn/Per.h"
#include "stack/asn/Text.h"
#include "stack/asn/generated/H245.h"

#include <gtest/gtest.h>

namespace vantro::test {

using asn::h245::MultimediaSystemControlMessage;

std::unique_ptr<endpoint::H323Capability> CapabilityNamed(const std::string& name) {
  using endpoint::H323_G711Capability;
  if (name == "G.729A") return std::make_unique<endpoint::H323_G729ACapability>();
  if (name == "G.723.1A") return std::make_unique<endpoint::H323_G7231Capability>(true);
  if (name == "G.711-uLaw-64k") return std::make_unique<H323_G711Capability>();
  if (name == "G.711-ALaw-64k") return std::make_unique<H323_G711Capability>(H323_G711Capability::ALaw);
  throw std::invalid_argument("no capability " + name);
}

endpoint::H323Capabilities CapabilitiesOf(const std::vector<std::string>& names) {
  endpoint::H323Capabilities table;
  for (const std::string& name : names) table.SetCapability(0, endpoint::kNewCapabilitySet, CapabilityNamed(name));
  return table;
}

endpoint::H323Capabilities DialerCapabilities() { return CapabilitiesOf({"G.729A", "G.723.1A", "G.711-uLaw-64k"}); }

h245::H245Control::Settings TestSettings(std::chrono::milliseconds timeout) {
  h245::H245Control::Settings s;
  s.capabilities = DialerCapabilities();
  s.requestTimeout = timeout;
  return s;
}

asn::Ipv4Address Loopback(std::uint16_t port) { return asn::Ipv4Address{{127, 0, 0, 1}, port}; }

H245TestPeer::H245TestPeer(asio::io_context& io, std::string name, h245::H245Control::Settings settings)
    : name_(std::move(name)),
      control_(std::make_unique<h245::H245Control>(asio::make_strand(io), *this, std::move(settings))) {}

H245TestPeer::~H245TestPeer() = default;

void H245TestPeer::SendMessage(const asn::Value& message) {
  // Through the codec, as on the wire: what cannot be encoded never reaches the far end.
  asn::Result<std::vector<std::uint8_t>> bytes = asn::Encode(message);
  ASSERT_TRUE(bytes.Ok()) << name_ << " sent what does not encode: " << asn::ToText(message);
  asn::Result<asn::Value> decoded = asn::Decode(MultimediaSystemControlMessage::Id, *bytes);
  ASSERT_TRUE(decoded.Ok()) << name_ << " sent what does not decode: " << asn::ToText(message);
  sent_.push_back(std::move(*decoded));
}

bool H245TestPeer::DeliverOne() {
  if (delivered_ == sent_.size()) return false;
  const asn::Value message = sent_[delivered_++];
  if (other_) other_->Receive(message);
  return true;
}

void H245TestPeer::Receive(const asn::Value& message) {
  if (control_) control_->HandleMessage(message);
}

std::size_t H245TestPeer::Count(std::string_view path) const {
  std::size_t n = 0;
  for (const asn::Value& m : sent_) n += m.Find(path) != nullptr;
  return n;
}

h245::IncomingAnswer H245TestPeer::OnOpenChannel(const h245::IncomingChannel& channel) {
  incoming.push_back(channel);
  return {true, Loopback(6000), Loopback(6001)};
}

void Exchange(H245TestPeer& a, H245TestPeer& b) {
  for (int guard = 0; guard < 10000; ++guard)
    if (!(a.DeliverOne() | b.DeliverOne())) return;
  ADD_FAILURE() << "the two sides never stop sending";
}

}  // namespace vantro::test
