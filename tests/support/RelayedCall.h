#pragma once
// One call through the test gatekeeper's call signalling relay, as a routing gatekeeper: the
// caller's Setup is passed to the callee its aliases name, then every message both ways (media
// goes end to end); announced H.245 addresses become RelayedH245 listeners. A side that closes, or
// a callee not found or not reached, ends the call with a Release Complete. On the io thread.

#include "stack/asn/H323Values.h"
#include "stack/asn/Value.h"
#include "stack/h225/H225Message.h"
#include "stack/q931/Tpkt.h"
#include "tests/support/Recorder.h"

#include <asio.hpp>

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace vantro::test {

// What the relay did, for tests to read from their own thread.
struct RelayLog {
  std::size_t SetupsRelayed() const { return recorder.Read(setupsRelayed); }
  std::size_t H245Joined() const { return recorder.Read(h245Joined); }
  Recorder recorder;              // guards what follows
  std::size_t setupsRelayed = 0;  // Setups passed on to a callee
  std::size_t h245Joined = 0;     // separate H.245 connections joined
};

class RelayedH245;

class RelayedCall : public std::enable_shared_from_this<RelayedCall> {
 public:
  // The callee's call signalling address for the called aliases; nullopt when none is known.
  using Resolver = std::function<std::optional<asn::Ipv4Address>(const std::vector<std::string>& aliases)>;

  // self: the relay's own call signalling address.
  RelayedCall(asio::ip::tcp::socket caller, const asn::Ipv4Address& self, Resolver resolve,
              std::shared_ptr<RelayLog> log);
  RelayedCall(const RelayedCall&) = delete;
  RelayedCall& operator=(const RelayedCall&) = delete;

  void Start();
  // Closes both connections at once.
  void Close();

 private:
  struct Leg {
    explicit Leg(asio::ip::tcp::socket s) : socket(std::move(s)) {}
    asio::ip::tcp::socket socket;
    q931::TpktReader reader;
    std::array<std::uint8_t, 4096> buffer{};
    std::deque<std::vector<std::uint8_t>> queue;  // TPKT packets to write
    bool connected = false;
    bool writing = false;
    bool closed = false;
  };

  Leg& LegOf(bool caller) { return caller ? caller_ : callee_; }
  void Read(bool fromCaller);
  void OnMessage(bool fromCaller, const std::vector<std::uint8_t>& payload);
  void OnSetup(h225::H225Message setup);
  void OnClosed(bool caller);
  // Replaces an announced H.245 address in the message; true when it did.
  bool RewriteH245Address(h225::H225Message& message, bool fromCaller);
  void Write(bool toCaller, const std::vector<std::uint8_t>& payload);
  void Flush(bool toCaller);
  void CloseLeg(bool caller);
  // Ends the call towards one side with a Release Complete of this reason and Q.931 cause.
  void Release(bool toCaller, std::uint16_t reason, std::uint8_t cause);

  Leg caller_;
  Leg callee_;
  asn::Ipv4Address self_;
  Resolver resolve_;
  std::shared_ptr<RelayLog> log_;
  bool setupSeen_ = false;
  bool ending_ = false;  // a Release Complete passed or a side went: close once written
  std::uint16_t callReference_ = 0;
  std::string callIdentifier_;
  std::map<std::tuple<bool, std::array<std::uint8_t, 4>, std::uint16_t>, std::shared_ptr<RelayedH245>>
      h245_;  // by side and address
};

}  // namespace vantro::test
