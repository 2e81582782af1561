#pragma once
// One side of a call's H.245 in tests: owns an H245Control, records every callback and keeps what
// the control sends (encoded and decoded again, as a connection carries it) for the other side.

#include "stack/asn/Value.h"
#include "stack/h245/H245Control.h"

#include <asio.hpp>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantro::test {

// The dialer's table: G.729A, G.723.1 with Annex A, G.711 µ-law. By names: those formats
// ("G.729A", "G.723.1A", "G.711-uLaw-64k", "G.711-ALaw-64k") in that order, one set each.
endpoint::H323Capabilities DialerCapabilities();
endpoint::H323Capabilities CapabilitiesOf(const std::vector<std::string>& names);
// Throws std::invalid_argument for another name.
std::unique_ptr<endpoint::H323Capability> CapabilityNamed(const std::string& name);

class H245TestPeer : public h245::H245Control::Owner {
 public:
  H245TestPeer(asio::io_context& io, std::string name, h245::H245Control::Settings settings);
  ~H245TestPeer() override;

  h245::H245Control& Control() { return *control_; }
  void DestroyControl() { control_.reset(); }
  void Connect(H245TestPeer& other) { other_ = &other; }

  // The oldest message not yet delivered goes to the other side; false when there is none.
  bool DeliverOne();
  void DropQueued() { delivered_ = sent_.size(); }
  void Receive(const asn::Value& message);

  const std::vector<asn::Value>& Sent() const { return sent_; }
  // Sent messages that have a path ("response.openLogicalChannelReject.cause").
  std::size_t Count(std::string_view path) const;

  std::vector<h245::RemoteCapabilities> remote;
  std::vector<bool> ready;  // isMaster of each OnControlReady
  std::vector<h245::IncomingChannel> incoming;
  std::vector<unsigned> opened;
  std::vector<std::pair<unsigned, bool>> closed;  // byRemote
  std::vector<std::string> input, failures;

  void SendMessage(const asn::Value& message) override;
  void OnRemoteCapabilities(const h245::RemoteCapabilities& capabilities) override { remote.push_back(capabilities); }
  void OnControlReady(bool isMaster) override { ready.push_back(isMaster); }
  // Accepts with RTP 6000 and RTCP 6001.
  h245::IncomingAnswer OnOpenChannel(const h245::IncomingChannel& channel) override;
  void OnChannelOpened(unsigned number, std::optional<asn::Ipv4Address>, std::optional<asn::Ipv4Address>,
                       std::optional<unsigned>) override {
    opened.push_back(number);
  }
  void OnChannelRejected(unsigned) override {}
  void OnChannelClosed(unsigned number, bool byRemote) override { closed.emplace_back(number, byRemote); }
  void OnUserInput(const std::string& text) override { input.push_back(text); }
  void OnEndSession() override {}
  void OnFailure(const std::string& why) override { failures.push_back(why); }

 private:
  std::string name_;
  std::unique_ptr<h245::H245Control> control_;
  H245TestPeer* other_ = nullptr;
  std::vector<asn::Value> sent_;
  std::size_t delivered_ = 0;
};

// Delivers queued messages both ways, one from each side in turn, until neither has any left.
void Exchange(H245TestPeer& a, H245TestPeer& b);

// The dialer's table and a request timeout.
h245::H245Control::Settings TestSettings(std::chrono::milliseconds timeout = std::chrono::seconds(10));

asn::Ipv4Address Loopback(std::uint16_t port);

}  // namespace vantro::test
