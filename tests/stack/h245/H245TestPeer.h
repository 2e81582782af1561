#pragma once
// One side of a call's H.245 in tests: the owner of an H245Control that records every callback and
// queues what the control sends, encoded and decoded again as a connection would carry it, for the
// other side (or the test) to take.

#include "stack/asn/Value.h"
#include "stack/h245/H245Control.h"

#include <asio.hpp>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vantro::test {

// The dialer's table: G.729A, G.723.1 with Annex A, G.711 µ-law, each a simultaneous set of
// descriptor 0. With names, only those formats ("G.729A", "G.723.1A", "G.711-uLaw-64k",
// "G.711-ALaw-64k"), in that order, one set each.
endpoint::H323Capabilities DialerCapabilities();
endpoint::H323Capabilities CapabilitiesOf(const std::vector<std::string>& names);
// One of those formats by its name; throws std::invalid_argument for another name.
std::unique_ptr<endpoint::H323Capability> CapabilityNamed(const std::string& name);

// A MultimediaSystemControlMessage decoded from hex, and its kind/alternative.
asn::Value MessageFromHex(const std::string& hex);

class H245TestPeer : public h245::H245Control::Owner {
 public:
  H245TestPeer(asio::io_context& io, std::string name, h245::H245Control::Settings settings);
  ~H245TestPeer() override;

  h245::H245Control& Control() { return *control_; }
  void DestroyControl() { control_.reset(); }
  void Connect(H245TestPeer& other) { other_ = &other; }

  // The oldest queued message goes to the other side; false when nothing is queued.
  bool DeliverOne();
  // Every queued message of this side, in order, dropped (a far end that hears nothing).
  void DropQueued() { queue_.clear(); }
  // Hands a message straight to this side's control, as if it came from the far end.
  void Receive(const asn::Value& message);
  void ReceiveHex(const std::string& hex) { Receive(MessageFromHex(hex)); }

  // What the control sent, in order; the count and the last of one kind/alternative.
  const std::vector<asn::Value>& Sent() const { return sent_; }
  std::size_t Count(std::uint16_t kind, std::uint16_t alternative) const;
  const asn::Value* Last(std::uint16_t kind, std::uint16_t alternative) const;  // its body

  // How OnOpenChannel answers; by default accept with RTP mediaPort and RTCP mediaPort + 1.
  std::function<h245::IncomingAnswer(const h245::IncomingChannel&)> answer;
  std::uint16_t mediaPort = 6000;
  // Called at the end of OnFailure (a connection that clears the call, say).
  std::function<void()> onFailure;

  // The callbacks, as they came.
  struct Opened {
    unsigned number;
    std::optional<asn::Ipv4Address> media, control;
    std::optional<unsigned> payloadType;
  };
  std::vector<h245::RemoteCapabilities> remote;
  std::vector<bool> ready;  // isMaster of each OnControlReady
  std::vector<h245::IncomingChannel> incoming;
  std::vector<Opened> opened;
  std::vector<unsigned> rejected;
  std::vector<std::pair<unsigned, bool>> closed;
  std::vector<std::string> input;
  int endSessions = 0;
  std::vector<std::string> failures;

  // Owner
  void SendMessage(const asn::Value& message) override;
  void OnRemoteCapabilities(const h245::RemoteCapabilities& capabilities) override { remote.push_back(capabilities); }
  void OnControlReady(bool isMaster) override { ready.push_back(isMaster); }
  h245::IncomingAnswer OnOpenChannel(const h245::IncomingChannel& channel) override;
  void OnChannelOpened(unsigned number, std::optional<asn::Ipv4Address> media, std::optional<asn::Ipv4Address> control,
                       std::optional<unsigned> payloadType) override {
    opened.push_back({number, media, control, payloadType});
  }
  void OnChannelRejected(unsigned number) override { rejected.push_back(number); }
  void OnChannelClosed(unsigned number, bool byRemote) override { closed.emplace_back(number, byRemote); }
  void OnUserInput(const std::string& text) override { input.push_back(text); }
  void OnEndSession() override { ++endSessions; }
  void OnFailure(const std::string& why) override;

 private:
  std::string name_;
  std::unique_ptr<h245::H245Control> control_;
  H245TestPeer* other_ = nullptr;
  std::deque<asn::Value> queue_;
  std::vector<asn::Value> sent_;
};

// Delivers queued messages both ways, one from each side in turn, until neither has any left.
void Exchange(H245TestPeer& a, H245TestPeer& b);

// Settings of a test control: the dialer's table unless given, a short timeout for tests that
// wait for one.
h245::H245Control::Settings TestSettings(std::chrono::milliseconds timeout = std::chrono::seconds(10));

// The loopback address with a port.
asn::Ipv4Address Loopback(std::uint16_t port);

}  // namespace vantro::test
