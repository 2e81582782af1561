#pragma once
// What the call fuzzers put around a connection: a host on an io_context the fuzzer runs on its own
// thread (poll), admission answered at once, media that moves nothing, short timers; and the far
// end's socket, written and drained without blocking.

#include "stack/endpoint/H323ListenerTCP.h"
#include "stack/h225/H323Connection.h"
#include "tests/support/FakeMedia.h"

#include <asio.hpp>

#include <map>
#include <memory>
#include <string>

namespace vantro::fuzz {

using endpoint::H323Connection;

class FuzzCallHost : public endpoint::H323ConnectionHost {
 public:
  FuzzCallHost();
  ~FuzzCallHost() override;

  endpoint::CallSettings settings;
  bool admit = true;  // an ACF to every admission request (when registered)
  AnswerCallResponse answer = AnswerCallNow;

  // Runs what is ready; and for a while, so that timers fire.
  void Poll();
  void RunFor(std::chrono::milliseconds time);
  // Ends every call and runs until they are gone (or a bound); true when they are.
  bool Finish();
  std::size_t Calls() const { return table_.size(); }
  std::shared_ptr<H323Connection> Any() const { return table_.empty() ? nullptr : table_.begin()->second; }
  int ended = 0;
  int withdrawn = 0;

  asio::io_context& GetIoContext() override { return io_; }
  endpoint::CallSettings GetCallSettings() const override { return settings; }
  void RequestAdmission(const ras::H323Gatekeeper::CallInfo& call,
                        std::function<void(ras::H323Gatekeeper::Admission)> done) override;
  void Disengage(const ras::H323Gatekeeper::CallInfo&, std::uint16_t) override {}
  std::shared_ptr<endpoint::H323RtpSession> OpenRtpSession(unsigned sessionID,
                                                           const asn::Ipv4Address& localIp) override {
    return media_.OpenSession(sessionID, localIp);
  }
  std::unique_ptr<endpoint::H323Channel> CreateChannel(std::shared_ptr<endpoint::H323RtpSession> session,
                                                       const endpoint::H323Channel::Parameters& parameters) override {
    return media_.CreateChannel(std::move(session), parameters);
  }
  bool OnAlerting(H323Connection&, const q931::Q931Message&, const std::string&) override { return true; }
  void OnConnectionEstablished(H323Connection&, const std::string&) override {}
  AnswerCallResponse OnAnswerCall(H323Connection&, const std::string&, const q931::Q931Message&) override {
    return answer;
  }
  void OnUserInputString(H323Connection&, const std::string&) override {}
  void OnStartLogicalChannel(H323Connection&, endpoint::H323Channel&) override {}
  void OnClosedLogicalChannel(H323Connection&, endpoint::H323Channel&) override {}
  void OnCallEvent(H323Connection&, CallEvent, const std::string&) override {}
  bool AddIncomingConnection(const std::shared_ptr<H323Connection>& connection) override;
  void WithdrawIncomingConnection(H323Connection&) override { ++withdrawn; }
  void ConnectionEnded(const std::shared_ptr<H323Connection>& connection) override;

  std::shared_ptr<H323Connection> Call(const std::string& party);
  // A listener on 127.0.0.1 (a port of the system's) whose Setups become this host's incoming calls.
  std::shared_ptr<endpoint::H323ListenerTCP> Listen(std::chrono::milliseconds idleTimeout);

 private:
  asio::io_context io_;
  test::FakeMedia media_;
  std::map<std::string, std::shared_ptr<H323Connection>> table_;
};

// The far end's side of a connection: writes whole, reads whatever came (and drops it).
class FarEnd {
 public:
  explicit FarEnd(asio::io_context& io) : socket_(io) {}
  asio::ip::tcp::socket& Socket() { return socket_; }
  void Write(const std::vector<std::uint8_t>& bytes);
  void Drain();
  void Close();

 private:
  asio::ip::tcp::socket socket_;
};

}  // namespace vantro::fuzz
