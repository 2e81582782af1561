#pragma once
// A connection under test without an endpoint: a host with scripted admission and fake media that
// records every callback, and the far end of the call signalling as a plain socket the test drives
// message by message.

#include "stack/endpoint/H323ListenerTCP.h"
#include "stack/h225/H225Message.h"
#include "stack/h225/H225MessageBuilder.h"
#include "stack/h225/H323Connection.h"
#include "tests/stack/h245/H245TestPeer.h"
#include "tests/support/FakeMedia.h"
#include "tests/support/Recorder.h"

#include <asio.hpp>
#include <gtest/gtest.h>

#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace vantro::test {

using namespace std::chrono_literals;
using endpoint::H323Connection;
using Admission = ras::H323Gatekeeper::Admission;
using CallInfo = ras::H323Gatekeeper::CallInfo;

class FakeHost : public endpoint::H323ConnectionHost {
 public:
  FakeHost();
  ~FakeHost() override;

  // What calls copy when they start; tests change it before.
  endpoint::CallSettings settings;
  // The gatekeeper's answer to each admission request (default: not registered).
  std::function<Admission(const CallInfo&)> admit;
  AnswerCallResponse answer = AnswerCallNow;
  FakeMedia media;

  // Places a call as the endpoint does: a new connection in the table, then PlaceCall.
  std::shared_ptr<H323Connection> Call(const std::string& party, unsigned callReference = 0x1111);
  // Listens on 127.0.0.1 (port chosen by the system) and takes incoming calls as the endpoint does.
  std::uint16_t Listen();

  struct Ended {
    std::string token;
    H323Connection::CallEndReason reason;
    std::optional<unsigned> cause;
    bool established;
  };
  // What happened, as the host saw it.
  std::vector<std::pair<CallEvent, std::string>> Events() const;
  bool HasEvent(CallEvent event) const;
  std::vector<Ended> EndedCalls() const;
  std::vector<CallInfo> Disengaged() const;
  std::vector<CallInfo> AdmissionRequests() const;
  std::vector<std::string> UserInput() const;
  std::vector<std::string> Alerts() const;
  int Established() const;
  int Withdrawn() const;
  std::size_t InTable() const;
  // Waits until pred holds (checked whenever anything is recorded); false after the limit.
  bool WaitFor(const std::function<bool()>& pred, std::chrono::milliseconds limit = 5s) const;
  bool WaitEnded(std::size_t calls = 1, std::chrono::milliseconds limit = 5s) const {
    return WaitFor([&] { return EndedCalls().size() >= calls; }, limit);
  }

  // H323ConnectionHost
  asio::io_context& GetIoContext() override { return io_; }
  endpoint::CallSettings GetCallSettings() const override;
  void RequestAdmission(const CallInfo& call, std::function<void(Admission)> done) override;
  void Disengage(const CallInfo& call, std::uint16_t reason) override;
  std::shared_ptr<endpoint::H323RtpSession> OpenRtpSession(unsigned sessionID,
                                                           const asn::Ipv4Address& localIp) override {
    return media.OpenSession(sessionID, localIp);
  }
  std::unique_ptr<endpoint::H323Channel> CreateChannel(std::shared_ptr<endpoint::H323RtpSession> session,
                                                       const endpoint::H323Channel::Parameters& parameters) override {
    return media.CreateChannel(std::move(session), parameters);
  }
  bool OnAlerting(H323Connection&, const q931::Q931Message&, const std::string& user) override;
  void OnConnectionEstablished(H323Connection&, const std::string&) override;
  AnswerCallResponse OnAnswerCall(H323Connection&, const std::string&, const q931::Q931Message&) override;
  void OnUserInputString(H323Connection&, const std::string& value) override;
  void OnStartLogicalChannel(H323Connection&, endpoint::H323Channel&) override {}
  void OnClosedLogicalChannel(H323Connection&, endpoint::H323Channel&) override {}
  void OnCallEvent(H323Connection&, CallEvent event, const std::string& detail) override;
  bool AddIncomingConnection(const std::shared_ptr<H323Connection>& connection) override;
  void WithdrawIncomingConnection(H323Connection&) override;
  void ConnectionEnded(const std::shared_ptr<H323Connection>& connection) override;

 private:
  asio::io_context io_;
  std::optional<asio::executor_work_guard<asio::io_context::executor_type>> work_;
  std::shared_ptr<endpoint::H323ListenerTCP> listener_;
  std::thread thread_;

  Recorder recorder_;  // guards what follows, and the settings
  std::map<std::string, std::shared_ptr<H323Connection>> table_;
  std::vector<std::pair<CallEvent, std::string>> events_;
  std::vector<Ended> ended_;
  std::vector<CallInfo> disengaged_;
  std::vector<CallInfo> admissions_;
  std::vector<std::string> input_;
  std::vector<std::string> alerts_;
  int established_ = 0;
  int withdrawn_ = 0;
};

// The far end's side of one call signalling connection, driven from the test's thread.
class SignalPeer {
 public:
  SignalPeer();
  ~SignalPeer();
  // Listens on 127.0.0.1; the port.
  std::uint16_t Listen();
  bool Accept(std::chrono::milliseconds limit = 5s);
  bool Connect(std::uint16_t port);

  void Send(const h225::H225Message& message);
  void SendRaw(const std::vector<std::uint8_t>& bytes);        // as it is, no framing
  void SendPayload(const std::vector<std::uint8_t>& payload);  // in a TPKT
  // The next message; nullopt on the end of the stream or after the limit.
  std::optional<h225::H225Message> Receive(std::chrono::milliseconds limit = 5s);
  // The next message of a Q.931 type, skipping others (tunnelled H.245 carriers, say).
  std::optional<h225::H225Message> ReceiveType(std::uint8_t q931Type, std::chrono::milliseconds limit = 5s);
  // True when the connection ends (after what is still to be read) within the limit.
  bool WaitClosed(std::chrono::milliseconds limit = 5s);
  // Closes with a reset, as a crashed host's stack does.
  void Reset();
  void Close();

 private:
  std::optional<h225::H225Message> ReceiveBy(std::chrono::steady_clock::time_point deadline);
  bool ReadExactly(std::uint8_t* to, std::size_t n, std::chrono::steady_clock::time_point deadline);

  asio::io_context io_;
  asio::ip::tcp::acceptor acceptor_;
  asio::ip::tcp::socket socket_;
};

// A call we place, to a far end the test plays.
struct Outgoing : ::testing::Test {
  FakeHost host;
  SignalPeer peer;
  std::shared_ptr<H323Connection> call;

  // Places the call to the peer and takes its Setup.
  h225::H225Message Dial(const std::string& alias = "5550200");
};

// The far end's messages of a call, with its call reference.
h225::H225MessageBuilder PeerBuilder(const h225::H225Message& setup, bool tunnelling = true);

// The far end's H.245: a control of its own that takes what our side sent (tunnelled in signalling
// messages) and answers. Runs on the test's thread; its timers never run.
class PeerH245 {
 public:
  explicit PeerH245(endpoint::H323Capabilities capabilities);
  ~PeerH245();
  H245TestPeer& Peer() { return *peer_; }
  h245::H245Control& Control() { return peer_->Control(); }
  // Feeds the H.245 messages tunnelled in a message to the control.
  void Take(const h225::H225Message& message);
  // What the control sent since the last call, encoded.
  std::vector<std::vector<std::uint8_t>> Replies();

 private:
  asio::io_context io_;
  std::unique_ptr<H245TestPeer> peer_;
  std::size_t taken_ = 0;
};

}  // namespace vantro::test
