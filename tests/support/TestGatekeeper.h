#pragma once
// A gatekeeper for tests on 127.0.0.1: answers as its script says, records what it receives, sends
// its own requests. Admission resolves aliases among its registrations; routed, the confirm names
// its own call signalling port, where a RelayedCall passes the call on. Safe from any thread.

#include "stack/asn/H323Values.h"
#include "stack/asn/Value.h"
#include "tests/support/RelayedCall.h"

#include <asio.hpp>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
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
    None,
    Md5,          // requires the MD5 password hash
    Cat,          // requires the CAT clear token
    Procedure1,   // requires the H.235.1 hash (HMAC-SHA1-96); signs what it sends
    Unannounced,  // names nothing, accepts any of the three
  };

  struct Script {
    bool answerDiscovery = true;
    std::optional<std::uint16_t> discoveryReject;     // a GatekeeperRejectReason alternative
    bool answerRegistration = true;                   // full registrations and keep-alives
    std::optional<std::uint16_t> registrationReject;  // a RegistrationRejectReason alternative
    std::uint32_t grantedTimeToLive = 0;              // seconds; 0: what was asked
    std::chrono::milliseconds progressDelay{0};       // >0: RequestInProgress first, the answer after it
    Auth auth = Auth::None;
    std::string password;
    std::string identifier = "TestGk";
    bool answerAdmission = true;
    std::optional<std::uint16_t> admissionReject;   // an AdmissionRejectReason alternative for every ARQ
    std::optional<std::uint16_t> answerCallReject;  // the same for the callees' ARQs only
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
  struct Registration {
    std::string endpointId;
    std::vector<std::string> aliases;
    asio::ip::udp::endpoint ras;
    asn::Ipv4Address callSignal;
  };
  // An endpoint that was admitted to a call.
  struct CallParty {
    std::string endpointId;
    std::uint16_t callReference = 0;
    bool disengaged = false;
  };
  struct Call {
    std::string callIdentifier;  // 16 octets
    std::string conferenceID;
    std::vector<CallParty> parties;
  };

  // How a request of ours is signed (H.235.1), for tests of forged requests.
  enum class Signing {
    AsScript,       // signed when the script's auth is Procedure1
    None,           // no token
    WrongPassword,  // a token made with another password
  };

  // Ports 0: chosen by the system.
  TestGatekeeper();
  explicit TestGatekeeper(Script script, std::uint16_t rasPort = 0, std::uint16_t signallingPort = 0);
  ~TestGatekeeper();
  TestGatekeeper(const TestGatekeeper&) = delete;
  TestGatekeeper& operator=(const TestGatekeeper&) = delete;

  void SetScript(const Script& script);
  std::uint16_t Port() const { return port_; }
  std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }
  std::uint16_t SignallingPort() const { return signallingPort_; }
  const RelayLog& Relay() const { return *relayLog_; }

  std::vector<Received> Messages() const { return Read(received_); }
  std::vector<Sent> SentMessages() const { return Read(sent_); }
  // The messages of one RasMessage alternative, and of registration requests with keepAlive set or not.
  std::vector<Received> MessagesOf(std::uint16_t kind) const;
  std::vector<Received> RegistrationRequests(bool keepAlive) const;
  // Waits until pred holds for the messages received (and answered) so far; false when the time runs out.
  bool WaitUntil(const std::function<bool(const std::vector<Received>&)>& pred, std::chrono::milliseconds limit) const;
  bool WaitForMessages(std::uint16_t kind, std::size_t count = 1,
                       std::chrono::milliseconds limit = std::chrono::seconds(5)) const;

  // The endpoint identifier given in the last confirm, and whether the last registration's password check passed.
  std::string EndpointId() const { return Read(endpointId_); }
  bool LastTokensValid() const { return Read(lastTokensValid_); }
  std::vector<Registration> Registrations() const { return Values(registrations_); }
  std::vector<Call> Calls() const { return Values(calls_); }
  std::size_t ActiveCalls() const;

  // Asks the endpoint registered under alias (empty: the last) and returns its answer, or nullopt.
  // An information request is about every call, or the one a reference or identifier names.
  std::optional<asn::Value> SendUnregistrationRequest(std::optional<std::uint16_t> reason,
                                                      std::chrono::milliseconds wait = std::chrono::seconds(2),
                                                      Signing signing = Signing::AsScript,
                                                      const std::string& alias = "");
  std::optional<asn::Value> SendInfoRequest(std::chrono::milliseconds wait = std::chrono::seconds(2),
                                            std::uint16_t callReference = 0, const std::string& callIdentifier = "",
                                            Signing signing = Signing::AsScript, const std::string& alias = "");
  // To a party of the call (empty: the first not disengaged; a call never admitted: the last
  // registered, reference 1); zeroIdentifier names it by conference and reference only.
  std::optional<asn::Value> SendDisengageRequest(const std::string& callIdentifier, std::uint16_t reason,
                                                 std::chrono::milliseconds wait = std::chrono::seconds(2),
                                                 Signing signing = Signing::AsScript,
                                                 const std::string& endpointId = "", bool zeroIdentifier = false);
  // Ends every active call with disengage requests to each party; the number of confirms.
  std::size_t DropCalls();
  // Forgets every registration, as a gatekeeper that restarted.
  void ForgetRegistrations();

 private:
  template <class T>
  T Read(const T& value) const {
    std::lock_guard lock(mutex_);
    return value;
  }
  template <class V>
  std::vector<V> Values(const std::map<std::string, V>& map) const {
    std::lock_guard lock(mutex_);
    std::vector<V> out;
    for (auto& [key, value] : map) out.push_back(value);
    return out;
  }
  void Receive();
  void Accept();
  void Answer(const asn::Value& request, std::span<const std::uint8_t> bytes, const asio::ip::udp::endpoint& from);
  std::optional<asn::Value> AnswerRegistration(const asn::Value& body, bool tokensOk, const Script& s);
  asn::Value AnswerAdmission(const asn::Value& body, bool tokensOk, const Script& s);
  bool CheckTokens(const asn::Value& message, std::span<const std::uint8_t> bytes, const Script& s) const;
  void Send(asn::Value message, const asio::ip::udp::endpoint& to, Signing signing);
  void SendLater(asn::Value message, const asio::ip::udp::endpoint& to, bool sign);
  std::optional<asn::Value> Ask(asn::Value request, unsigned seq, const Registration& to, Signing signing,
                                std::chrono::milliseconds wait);
  std::optional<Registration> TargetOf(const std::string& alias) const;
  std::optional<asn::Ipv4Address> Resolve(const std::vector<std::string>& aliases) const;
  // A fresh sequence number for a request of ours, and our identifier to put in it.
  unsigned NextRequest(std::string* identifier = nullptr);

  asio::io_context io_;
  asio::ip::udp::socket socket_;
  asio::ip::tcp::acceptor acceptor_;
  std::uint16_t port_ = 0;
  std::uint16_t signallingPort_ = 0;
  std::array<std::uint8_t, 65536> buffer_{};
  asio::ip::udp::endpoint from_;
  std::shared_ptr<RelayLog> relayLog_ = std::make_shared<RelayLog>();
  std::vector<std::weak_ptr<RelayedCall>> relayed_;  // on the io thread
  std::thread thread_;

  mutable std::mutex mutex_;  // guards what follows
  mutable std::condition_variable changed_;
  Script script_;
  std::vector<Received> received_;
  std::size_t handled_ = 0;  // messages answered
  std::vector<Sent> sent_;
  std::map<std::string, Registration> registrations_;  // by endpoint identifier
  std::map<std::string, Call> calls_;                  // by call identifier
  std::string endpointId_;                             // the last registration's
  asio::ip::udp::endpoint endpointRas_;
  bool lastTokensValid_ = false;
  unsigned seq_ = 100;
  unsigned nextEndpoint_ = 1;
};

}  // namespace vantro::test
