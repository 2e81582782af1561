#pragma once
// A gatekeeper for tests: RAS on a UDP port of 127.0.0.1 chosen by the system, answering as its
// script says (confirm, reject with a reason, stay silent, RequestInProgress first, password
// checks of each kind), recording everything it receives, and sending its own requests
// (unregistration, information, disengage) to the endpoints registered with it.
//
// Any number of endpoints may register; admission resolves the called aliases among them. In
// direct mode the admission confirm names the callee's own call signalling address; in routed
// mode it names the gatekeeper's, where a TestGatekeeperRelay passes the call signalling (and a
// separate H.245 connection) between the two endpoints. The relay listens in either mode, as a
// Setup may come to it unasked.

#include "stack/asn/H323Values.h"
#include "stack/asn/Value.h"
#include "tests/support/TestGatekeeperRegistry.h"
#include "tests/support/TestGatekeeperRelay.h"

#include <asio.hpp>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
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
    Procedure1,   // names HMAC-SHA1-96, requires the H.235.1 hash; signs what it sends
    Unannounced,  // names nothing, accepts any of the three
  };

  struct Script {
    bool answerDiscovery = true;
    std::optional<std::uint16_t> discoveryReject;     // a GatekeeperRejectReason alternative
    bool answerRegistration = true;                   // full registrations
    std::optional<std::uint16_t> registrationReject;  // a RegistrationRejectReason alternative
    bool answerKeepAlive = true;
    int keepAlivesNeedingFullRegistration = 0;   // rejected with fullRegistrationRequired
    std::uint32_t grantedTimeToLive = 0;         // seconds; 0: what was asked
    std::chrono::milliseconds progressDelay{0};  // >0: RequestInProgress first, the answer after it
    Auth auth = Auth::None;
    std::string password;
    std::string identifier = "TestGk";
    // Admission.
    bool answerAdmission = true;
    std::optional<std::uint16_t> admissionReject;   // an AdmissionRejectReason alternative for every ARQ
    std::optional<std::uint16_t> answerCallReject;  // the same for the callees' ARQs (answerCall) only
    bool routed = false;                            // gatekeeper-routed call signalling
    std::uint32_t irrFrequency = 0;                 // >0: the confirm asks for information responses
    bool answerDisengage = true;
  };

  struct Received {
    asn::Value message;
    std::vector<std::uint8_t> bytes;
    asio::ip::udp::endpoint from;
    std::chrono::steady_clock::time_point at;
  };

  struct Sent {
    std::uint16_t kind;  // RasMessage alternative
    asio::ip::udp::endpoint to;
    std::chrono::steady_clock::time_point at;  // just after it left
  };

  using Registration = TestGatekeeperRegistry::Registration;
  using CallParty = TestGatekeeperRegistry::CallParty;
  using Call = TestGatekeeperRegistry::Call;

  // How a request of ours is signed (H.235.1), for tests of forged requests.
  enum class Signing {
    AsScript,       // signed when the script's auth is Procedure1
    None,           // no token
    WrongPassword,  // a token made with another password
  };

  TestGatekeeper();
  // Ports 0: chosen by the system.
  explicit TestGatekeeper(Script script, std::uint16_t rasPort = 0, std::uint16_t signallingPort = 0);
  ~TestGatekeeper();
  TestGatekeeper(const TestGatekeeper&) = delete;
  TestGatekeeper& operator=(const TestGatekeeper&) = delete;

  void SetScript(const Script& script);
  std::uint16_t Port() const { return port_; }
  std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }
  // The call signalling address (routed mode, and where registrations are told it is).
  std::uint16_t SignallingPort() const { return relay_.Port(); }
  const TestGatekeeperRelay& Relay() const { return relay_; }

  std::vector<Received> Messages() const;
  std::vector<Sent> SentMessages() const;
  // The messages of one RasMessage alternative, and of registration requests with keepAlive set or not.
  std::vector<Received> MessagesOf(std::uint16_t kind) const;
  std::vector<Received> RegistrationRequests(bool keepAlive) const;
  // Waits until pred holds for the messages received so far; false when the time runs out.
  bool WaitUntil(const std::function<bool(const std::vector<Received>&)>& pred, std::chrono::milliseconds limit) const;
  // Waits until count messages of one RasMessage alternative have come, in all.
  bool WaitForMessages(std::uint16_t kind, std::size_t count = 1,
                       std::chrono::milliseconds limit = std::chrono::seconds(5)) const;

  // The endpoint identifier given in the last confirm, and whether the last password check passed.
  std::string EndpointId() const;
  bool LastTokensValid() const;
  std::vector<Registration> Registrations() const { return registry_.Registrations(); }
  std::vector<Call> Calls() const { return registry_.Calls(); }
  std::size_t ActiveCalls() const { return registry_.ActiveCalls(); }

  // Sends an unregistration request (reason: an UnregRequestReason alternative) or an information
  // request (about every call, or the one a call reference or identifier names) to the endpoint
  // registered under alias (empty: the one that registered last); the answer, or nullopt after
  // the wait.
  std::optional<asn::Value> SendUnregistrationRequest(std::optional<std::uint16_t> reason,
                                                      std::chrono::milliseconds wait = std::chrono::seconds(2),
                                                      Signing signing = Signing::AsScript,
                                                      const std::string& alias = "");
  std::optional<asn::Value> SendInfoRequest(std::chrono::milliseconds wait = std::chrono::seconds(2),
                                            std::uint16_t callReference = 0, const std::string& callIdentifier = "",
                                            Signing signing = Signing::AsScript, const std::string& alias = "");
  // Sends a disengage request (reason: a DisengageReason alternative) about a call to one of its
  // parties (empty endpointId: the first that has not disengaged); a call this gatekeeper never
  // admitted goes to the endpoint that registered last, with call reference 1. With
  // zeroIdentifier the request names the call by conference and call reference only, as older
  // gatekeepers do.
  std::optional<asn::Value> SendDisengageRequest(const std::string& callIdentifier, std::uint16_t reason,
                                                 std::chrono::milliseconds wait = std::chrono::seconds(2),
                                                 Signing signing = Signing::AsScript,
                                                 const std::string& endpointId = "", bool zeroIdentifier = false);
  // Ends every active call with disengage requests to each party; the number of confirms.
  std::size_t DropCalls();
  // Forgets every registration, as a gatekeeper that restarted.
  void ForgetRegistrations() { registry_.Clear(); }

 private:
  struct Target {
    asio::ip::udp::endpoint ras;
    std::string endpointId;
  };

  void Receive();
  void OnDatagram(std::vector<std::uint8_t> bytes, const asio::ip::udp::endpoint& from);
  void Answer(const asn::Value& request, std::span<const std::uint8_t> bytes, const asio::ip::udp::endpoint& from);
  void AnswerDiscovery(std::int64_t seq, const Script& s, const asio::ip::udp::endpoint& from);
  void AnswerRegistration(const asn::Value& body, bool tokensOk, const Script& s, const asio::ip::udp::endpoint& from);
  void AnswerAdmission(const asn::Value& body, bool tokensOk, const Script& s, const asio::ip::udp::endpoint& from);
  void AnswerDisengage(const asn::Value& body, const Script& s, const asio::ip::udp::endpoint& from);
  void AnswerUnregistration(const asn::Value& body, const Script& s, const asio::ip::udp::endpoint& from);
  bool CheckTokens(const asn::Value& message, std::span<const std::uint8_t> bytes);
  void Send(asn::Value message, const asio::ip::udp::endpoint& to, Signing signing);
  void SendLater(asn::Value message, const asio::ip::udp::endpoint& to, bool sign);
  std::optional<Target> TargetOf(const std::string& alias) const;
  // A fresh sequence number for a request of ours (and our identifier, to put in it).
  unsigned NextRequest(std::string* identifier = nullptr);
  std::optional<asn::Value> Ask(asn::Value request, unsigned seq, const Target& to, Signing signing,
                                std::chrono::milliseconds wait);

  asio::io_context io_;
  asio::ip::udp::socket socket_;
  std::uint16_t port_ = 0;
  std::array<std::uint8_t, 65536> buffer_{};
  asio::ip::udp::endpoint from_;
  TestGatekeeperRegistry registry_;
  TestGatekeeperRelay relay_;
  std::thread thread_;

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  Script script_;
  std::vector<Received> received_;
  std::size_t handled_ = 0;  // messages answered, whatever they changed done
  std::vector<Sent> sent_;
  std::string endpointId_;  // the last registration's
  asio::ip::udp::endpoint endpointRas_;
  bool lastTokensValid_ = false;
  unsigned seq_ = 100;
};

}  // namespace vantro::test
