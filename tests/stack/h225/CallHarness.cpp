#include "tests/stack/h225/CallHarness.h"

#include "stack/q931/Tpkt.h"

#include <gtest/gtest.h>

#include <future>

#include <poll.h>

namespace vantro::test {

namespace {

using Deadline = std::chrono::steady_clock::time_point;

// Whether the socket has something to read, or has ended, before the deadline.
bool Readable(int socket, Deadline deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  pollfd p{socket, POLLIN, 0};
  return left.count() > 0 && ::poll(&p, 1, static_cast<int>(left.count())) > 0;
}

}  // namespace

FakeHost::FakeHost() {
  settings.localUserName = "5550100";
  settings.timings.statusEnquiryInterval = 0ms;
  settings.timings.idleConnectionTimeout = 300ms;
  admit = [](const CallInfo&) {
    Admission a;
    a.outcome = Admission::Outcome::NotRegistered;
    return a;
  };
  work_.emplace(asio::make_work_guard(io_));
  thread_ = std::thread([this] { io_.run(); });
}

FakeHost::~FakeHost() {
  if (listener_) asio::post(io_, [l = listener_] { l->Close(); });
  for (auto& [token, call] : recorder_.Read(table_)) call->ClearCall();
  recorder_.WaitFor([&] { return recorder_.Read(table_).empty(); }, 3s);
  work_.reset();
  io_.stop();
  thread_.join();
}

std::shared_ptr<H323Connection> FakeHost::Call(const std::string& party, unsigned callReference) {
  auto connection = std::make_shared<H323Connection>(*this, callReference);
  recorder_.Write([&] { table_[connection->GetCallToken()] = connection; });
  connection->PlaceCall(party);
  return connection;
}

std::uint16_t FakeHost::Listen() {
  std::promise<std::uint16_t> port;
  asio::post(io_, [&] {
    listener_ = std::make_shared<endpoint::H323ListenerTCP>(io_);
    std::error_code ec;
    listener_->Open({{127, 0, 0, 1}, 0}, ec);
    listener_->SetIdleTimeout(settings.timings.idleConnectionTimeout);
    listener_->Start([this](std::shared_ptr<h225::TpktChannel> channel, h225::H225Message setup) {
      auto connection = std::make_shared<H323Connection>(*this, setup.CallReference());
      connection->AnswerIncoming(channel->MoveTo(connection->GetExecutor()), std::move(setup));
    });
    port.set_value(listener_->LocalAddress().port);
  });
  return port.get_future().get();
}

void FakeHost::RequestAdmission(const CallInfo& call, std::function<void(Admission)> done) {
  Admission a;
  recorder_.Write([&] {
    log_.admissions.push_back(call);
    a = admit(call);
  });
  // As the gatekeeper does: the answer comes later, on the io thread.
  asio::post(io_, [done = std::move(done), a = std::move(a)] { done(a); });
}

void FakeHost::ConnectionEnded(const std::shared_ptr<H323Connection>& connection) {
  // Read before the recorder's lock: the connection takes its own, and the recorder's is taken
  // under it.
  const std::string token = connection->GetCallToken();
  Ended ended{connection->GetCallEndReason(), connection->GetQ931Cause(),
              connection->GetConnectionStartTime().has_value()};
  recorder_.Write([&] {
    table_.erase(token);
    log_.ended.push_back(ended);
  });
}

// --- the far end ---

std::uint16_t SignalPeer::Listen() {
  acceptor_.open(asio::ip::tcp::v4());
  acceptor_.bind({asio::ip::address_v4::loopback(), 0});
  acceptor_.listen();
  return acceptor_.local_endpoint().port();
}

bool SignalPeer::Accept(std::chrono::milliseconds limit) {
  if (!Readable(acceptor_.native_handle(), std::chrono::steady_clock::now() + limit)) return false;
  acceptor_.accept(socket_);
  return true;
}

bool SignalPeer::Connect(std::uint16_t port) {
  std::error_code ec;
  socket_.connect({asio::ip::address_v4::loopback(), port}, ec);
  return !ec;
}

void SignalPeer::Send(const h225::H225Message& message) {
  auto bytes = message.Encode();
  ASSERT_TRUE(bytes);
  SendPayload(*bytes);
}

void SignalPeer::SendPayload(const std::vector<std::uint8_t>& payload) {
  std::error_code ec;
  asio::write(socket_, asio::buffer(*q931::TpktFrame(payload)), ec);
}

bool SignalPeer::ReadExactly(std::uint8_t* to, std::size_t n, Deadline deadline) {
  std::size_t got = 0;
  while (got < n) {
    if (!Readable(socket_.native_handle(), deadline)) return false;
    std::error_code ec;
    const std::size_t r = socket_.read_some(asio::buffer(to + got, n - got), ec);
    if (ec) return false;
    got += r;
  }
  return true;
}

std::optional<h225::H225Message> SignalPeer::ReceiveBy(Deadline deadline) {
  for (;;) {
    std::uint8_t header[4];
    if (!ReadExactly(header, 4, deadline)) return std::nullopt;
    const std::size_t total = static_cast<std::size_t>(header[2]) << 8 | header[3];
    if (header[0] != 3 || total < 4) return std::nullopt;
    std::vector<std::uint8_t> payload(total - 4);
    if (!ReadExactly(payload.data(), payload.size(), deadline)) return std::nullopt;
    if (payload.empty()) continue;
    std::string error;
    auto message = h225::H225Message::Decode(payload, &error);
    EXPECT_TRUE(message && message->HasUuie()) << error;
    return message;
  }
}

std::optional<h225::H225Message> SignalPeer::Receive(std::chrono::milliseconds limit) {
  return ReceiveBy(std::chrono::steady_clock::now() + limit);
}

std::optional<h225::H225Message> SignalPeer::ReceiveType(std::uint8_t q931Type, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    auto m = ReceiveBy(deadline);
    if (!m || m->Type() == q931Type) return m;
  }
}

bool SignalPeer::WaitClosed(std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  std::uint8_t sink[512];
  for (;;) {
    if (!Readable(socket_.native_handle(), deadline)) return false;
    std::error_code ec;
    socket_.read_some(asio::buffer(sink), ec);
    if (ec) return true;
  }
}

void SignalPeer::Reset() {
  std::error_code ec;
  socket_.set_option(asio::socket_base::linger(true, 0), ec);
  socket_.close(ec);
}

void SignalPeer::Close() {
  std::error_code ec;
  socket_.close(ec);
  acceptor_.close(ec);
}

h225::H225Message Dial(FakeHost& host, SignalPeer& peer, std::shared_ptr<H323Connection>* call,
                       const std::string& alias) {
  const auto port = peer.Listen();
  auto placed = host.Call(alias + "@127.0.0.1:" + std::to_string(port));
  if (call) *call = placed;
  EXPECT_TRUE(peer.Accept());
  auto setup = peer.Receive();
  EXPECT_TRUE(setup && setup->Type() == q931::Q931Message::Setup);
  return setup ? *setup : h225::H225Message();
}

h225::H225MessageBuilder PeerBuilder(const h225::H225Message& setup, bool tunnelling) {
  const asn::Value* conference = setup.BodyField("conferenceID");
  h225::H225MessageBuilder b(
      {setup.CallReference(), false, setup.CallIdentifier(), conference ? conference->Bytes() : std::string()});
  b.SetTunnelling(tunnelling);
  return b;
}

}  // namespace vantro::test
