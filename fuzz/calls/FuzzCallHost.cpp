#include "fuzz/calls/FuzzCallHost.h"

#include "runtime/PTrace.h"
#include "stack/h225/TpktChannel.h"

namespace vantro::fuzz {

using namespace std::chrono_literals;

FuzzCallHost::FuzzCallHost() {
  PTrace::SetLevel(0);
  settings.localUserName = "5550100";
  settings.timings.connectTimeout = 50ms;
  settings.timings.setupAnswerTimeout = 20ms;
  settings.timings.ringingTimeout = 30ms;
  settings.timings.h245Timeout = 20ms;
  settings.timings.idleConnectionTimeout = 20ms;
  settings.timings.statusEnquiryInterval = 10ms;
  settings.masterSlaveNumber = [] { return 0x123456u; };
}

FuzzCallHost::~FuzzCallHost() { Finish(); }

void FuzzCallHost::Poll() {
  io_.restart();
  io_.poll();
}

void FuzzCallHost::RunFor(std::chrono::milliseconds time) {
  io_.restart();
  io_.run_for(time);
}

bool FuzzCallHost::Finish() {
  for (auto& [token, call] : std::map(table_)) call->ClearCall();
  for (int i = 0; i < 200 && !table_.empty(); ++i) RunFor(1ms);
  Poll();
  return table_.empty();
}

void FuzzCallHost::RequestAdmission(const ras::H323Gatekeeper::CallInfo&,
                                    std::function<void(ras::H323Gatekeeper::Admission)> done) {
  ras::H323Gatekeeper::Admission a;
  a.outcome =
      admit ? ras::H323Gatekeeper::Admission::Outcome::Confirmed : ras::H323Gatekeeper::Admission::Outcome::Rejected;
  a.destCallSignalAddress = asn::Ipv4Address{{127, 0, 0, 1}, 9};
  asio::post(io_, [done = std::move(done), a = std::move(a)] { done(a); });
}

bool FuzzCallHost::AddIncomingConnection(const std::shared_ptr<H323Connection>& connection) {
  table_[connection->GetCallToken()] = connection;
  return true;
}

void FuzzCallHost::ConnectionEnded(const std::shared_ptr<H323Connection>& connection) {
  ++ended;
  table_.erase(connection->GetCallToken());
}

std::shared_ptr<H323Connection> FuzzCallHost::Call(const std::string& party) {
  auto connection = std::make_shared<H323Connection>(*this, 0x1111);
  table_[connection->GetCallToken()] = connection;
  connection->PlaceCall(party);
  return connection;
}

std::shared_ptr<endpoint::H323ListenerTCP> FuzzCallHost::Listen(std::chrono::milliseconds idleTimeout) {
  auto listener = std::make_shared<endpoint::H323ListenerTCP>(io_);
  std::error_code ec;
  if (!listener->Open({{127, 0, 0, 1}, 0}, ec)) return nullptr;
  listener->SetIdleTimeout(idleTimeout);
  listener->Start([this](std::shared_ptr<h225::TpktChannel> channel, h225::H225Message setup) {
    auto connection = std::make_shared<H323Connection>(*this, setup.CallReference());
    if (auto moved = channel->MoveTo(connection->GetExecutor())) connection->AnswerIncoming(moved, std::move(setup));
  });
  return listener;
}

void FarEnd::Write(const std::vector<std::uint8_t>& bytes) {
  std::error_code ec;
  socket_.non_blocking(false, ec);
  asio::write(socket_, asio::buffer(bytes), ec);
}

void FarEnd::Drain() {
  std::error_code ec;
  socket_.non_blocking(true, ec);
  std::uint8_t buffer[4096];
  while (socket_.is_open()) {
    socket_.read_some(asio::buffer(buffer), ec);
    if (ec) break;
  }
}

void FarEnd::Close() {
  std::error_code ec;
  socket_.close(ec);
}

}  // namespace vantro::fuzz
