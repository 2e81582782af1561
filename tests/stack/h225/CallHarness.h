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

#include <functional>
#include <map>
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
    H323Connection::CallEndReason reason;
    std::optional<unsigned> cause;
    bool established;
  };
  // What happened, as the host saw it.
  struct Log {
    std::vector<CallEvent> events;
    std::vector<Ended> ended;
    std::vector<CallInfo> disengaged, admissions;
    std::vector<std::string> input, alerts;
    int established = 0, withdrawn = 0;
    bool Has(CallEvent e) const { return std::find(events.begin(), events.end(), e) != events.end(); }
  };
  Log Seen() const { return recorder_.Read(log_); }
  // Waits until pred holds on what was seen (checked whenever anything is recorded).
  bool WaitFor(const std::function<bool(const Log&)>& pred, std::chrono::milliseconds limit = 5s) const {
    return recorder_.WaitFor([&] { return pred(Seen()); }, limit);
  }
  bool WaitEnded(std::size_t calls = 1, std::chrono::milliseconds limit = 5s) const {
    return WaitFor([&](const Log& l) { return l.ended.size() >= calls; }, limit);
  }

  // H323ConnectionHost
  asio::io_context& GetIoContext() override { return io_; }
  endpoint::CallSettings GetCallSettings() const override { return recorder_.Read(settings); }
  void RequestAdmission(const CallInfo& call, std::function<void(Admission)> done) override;
  void Disengage(const CallInfo& call, std::uint16_t) override {
    recorder_.Write([&] { log_.disengaged.push_back(call); });
  }
  std::shared_ptr<endpoint::H323RtpSession> OpenRtpSession(unsigned sessionID,
                                                           const asn::Ipv4Address& localIp) override {
    return media.OpenSession(sessionID, localIp);
  }
  std::unique_ptr<endpoint::H323Channel> CreateChannel(std::shared_ptr<endpoint::H323RtpSession> session,
                                                       const endpoint::H323Channel::Parameters& parameters) override {
    return media.CreateChannel(std::move(session), parameters);
  }
  bool OnAlerting(H323Connection&, const q931::Q931Message&, const std::string& user) override {
    recorder_.Write([&] { log_.alerts.push_back(user); });
    return true;
  }
  void OnConnectionEstablished(H323Connection&, const std::string&) override {
    recorder_.Write([&] { ++log_.established; });
  }
  AnswerCallResponse OnAnswerCall(H323Connection&, const std::string&, const q931::Q931Message&) override {
    return answer;
  }
  void OnUserInputString(H323Connection&, const std::string& value) override {
    recorder_.Write([&] { log_.input.push_back(value); });
  }
  void OnStartLogicalChannel(H323Connection&, endpoint::H323Channel&) override {}
  void OnClosedLogicalChannel(H323Connection&, endpoint::H323Channel&) override {}
  void OnCallEvent(H323Connection&, CallEvent event, const std::string&) override {
    recorder_.Write([&] { log_.events.push_back(event); });
  }
  bool AddIncomingConnection(const std::shared_ptr<H323Connection>& connection) override {
    recorder_.Write([&] { table_[connection->GetCallToken()] = connection; });
    return true;
  }
  void WithdrawIncomingConnection(H323Connection&) override {
    recorder_.Write([&] { ++log_.withdrawn; });
  }
  void ConnectionEnded(const std::shared_ptr<H323Connection>& connection) override;

 private:
  asio::io_context io_;
  std::optional<asio::executor_work_guard<asio::io_context::executor_type>> work_;
  std::shared_ptr<endpoint::H323ListenerTCP> listener_;
  std::thread thread_;

  Recorder recorder_;  // guards what follows, and the settings
  std::map<std::string, std::shared_ptr<H323Connection>> table_;
  Log log_;
};

// The far end's side of one call signalling connection, driven from the test's thread.
class SignalPeer {
 public:
  SignalPeer() : acceptor_(io_), socket_(io_) {}
  ~SignalPeer() { Close(); }
  // Listens on 127.0.0.1; the port.
  std::uint16_t Listen();
  bool Accept(std::chrono::milliseconds limit = 5s);
  bool Connect(std::uint16_t port);

  void Send(const h225::H225Message& message);
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

// Places a call from the host to the peer and takes its Setup.
h225::H225Message Dial(FakeHost& host, SignalPeer& peer, std::shared_ptr<H323Connection>* call = nullptr,
                       const std::string& alias = "5550200");

// A call we place, to a far end the test plays.
struct Outgoing : ::testing::Test {
  h225::H225Message Dial() { return test::Dial(host, peer, &call); }
  FakeHost host;
  SignalPeer peer;
  std::shared_ptr<H323Connection> call;
};

// The far end's messages of a call, with its call reference.
h225::H225MessageBuilder PeerBuilder(const h225::H225Message& setup, bool tunnelling = true);

}  // namespace vantro::test
