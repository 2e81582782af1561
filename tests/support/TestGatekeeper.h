#pragma once
// A gatekeeper for tests: RAS on a UDP port of 127.0.0.1 chosen by the system, answering as its
// script says (confirm, reject with a reason, stay silent, RequestInProgress first, password
// checks of each kind), recording everything it receives, and sending its own requests
// (unregistration, information) to the endpoint that registered last.

#include "stack/asn/Value.h"

#include <asio.hpp>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace vantro::test {

class TestGatekeeper {
 public:
  // How the gatekeeper checks passwords and what its discovery confirm names.
  enum class Auth {
    None,         // no check
    Md5,          // names MD5, requires the MD5 password hash
    Cat,          // names CAT, requires the CAT clear token
    Procedure1,   // names HMAC-SHA1-96, requires the H.235.1 hash; signs its confirms
    Unannounced,  // names nothing, accepts any of the three
  };

  struct Script {
    bool answerDiscovery = true;
    std::optional<std::uint16_t> discoveryReject;     // a GatekeeperRejectReason alternative
    bool answerRegistration = true;                   // full registrations
    std::optional<std::uint16_t> registrationReject;  // a RegistrationRejectReason alternative
    bool answerKeepAlive = true;
    int keepAlivesNeedingFullRegistration = 0;        // rejected with fullRegistrationRequired
    std::uint32_t grantedTimeToLive = 0;              // seconds; 0: what was asked
    std::chrono::milliseconds progressDelay{0};       // >0: RequestInProgress first, the answer after it
    Auth auth = Auth::None;
    std::string password;
    std::string identifier = "TestGk";
  };

  struct Received {
    asn::Value message;
    std::vector<std::uint8_t> bytes;
    asio::ip::udp::endpoint from;
    std::chrono::steady_clock::time_point at;
  };

  TestGatekeeper();
  explicit TestGatekeeper(Script script);
  ~TestGatekeeper();
  TestGatekeeper(const TestGatekeeper&) = delete;
  TestGatekeeper& operator=(const TestGatekeeper&) = delete;

  void SetScript(const Script& script);
  std::uint16_t Port() const { return port_; }
  std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }

  std::vector<Received> Messages() const;
  // The messages of one RasMessage alternative, and of registration requests with keepAlive set or not.
  std::vector<Received> MessagesOf(std::uint16_t kind) const;
  std::vector<Received> RegistrationRequests(bool keepAlive) const;
  // Waits until pred holds for the messages received so far; false when the time runs out.
  bool WaitUntil(const std::function<bool(const std::vector<Received>&)>& pred, std::chrono::milliseconds limit) const;

  // The endpoint identifier given in the last confirm, and whether the last password check passed.
  std::string EndpointId() const;
  bool LastTokensValid() const;

  // Sends an unregistration request (reason: an UnregRequestReason alternative) or an information
  // request to the endpoint that registered last; the answer, or nullopt after the wait.
  std::optional<asn::Value> SendUnregistrationRequest(std::optional<std::uint16_t> reason,
                                                      std::chrono::milliseconds wait = std::chrono::seconds(2));
  std::optional<asn::Value> SendInfoRequest(std::chrono::milliseconds wait = std::chrono::seconds(2));

 private:
  void Receive();
  void OnDatagram(std::vector<std::uint8_t> bytes, const asio::ip::udp::endpoint& from);
  void Answer(const asn::Value& request, std::span<const std::uint8_t> bytes, const asio::ip::udp::endpoint& from);
  bool CheckTokens(const asn::Value& message, std::span<const std::uint8_t> bytes);
  void Send(asn::Value message, const asio::ip::udp::endpoint& to, bool sign);
  void SendLater(asn::Value message, const asio::ip::udp::endpoint& to, bool sign);
  std::optional<asn::Value> Ask(asn::Value request, unsigned seq, std::chrono::milliseconds wait);

  asio::io_context io_;
  asio::ip::udp::socket socket_;
  std::uint16_t port_ = 0;
  std::array<std::uint8_t, 65536> buffer_{};
  asio::ip::udp::endpoint from_;
  std::thread thread_;

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  Script script_;
  std::vector<Received> received_;
  std::string endpointId_;
  asio::ip::udp::endpoint endpointRas_;
  bool lastTokensValid_ = false;
  unsigned nextEndpoint_ = 1;
  unsigned seq_ = 100;
};

}  // namespace vantro::test
