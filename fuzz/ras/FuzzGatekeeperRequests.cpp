// What a gatekeeper sends a registered endpoint, through the endpoint's real RAS socket: its own
// requests (information, disengage, unregistration, anything else) and answers to an admission
// request under way. A stand-in gatekeeper on 127.0.0.1 registers the endpoint once; each input
// is one datagram:
//   first octet even: sent as it is, as a request of the gatekeeper;
//   first octet odd:  sent while an admission request waits, its sequence number made the
//                     request's when it decodes as a RasMessage (so that it counts as the answer).
// After each input the stand-in makes sure the endpoint still answers (an information request of
// its own must come back): a hang or a crash is a finding. Registration requests the endpoint
// sends meanwhile are confirmed.
#include "stack/asn/Defaults.h"
#include "stack/asn/H323Values.h"
#include "stack/asn/Per.h"
#include "stack/asn/generated/H225.h"
#include "stack/ras/H323Gatekeeper.h"

#include <asio.hpp>

#include <poll.h>

#include <cstdio>
#include <future>
#include <thread>

namespace {

using namespace vantro;
namespace h225 = asn::h225;
using asn::Value;
using Gk = ras::H323Gatekeeper;

const std::string kCall(16, '\x42');

class StandIn {
 public:
  StandIn() : socket_(io_, asio::ip::udp::endpoint(asio::ip::address_v4::loopback(), 0)) {}

  asio::ip::udp::endpoint Address() const { return socket_.local_endpoint(); }

  // The next datagram from the endpoint that is not a registration request (those are confirmed),
  // or nullopt when nothing comes within the wait (milliseconds).
  std::optional<Value> Receive(int wait = 200) {
    for (;;) {
      pollfd readable{socket_.native_handle(), POLLIN, 0};
      if (::poll(&readable, 1, wait) != 1) return std::nullopt;
      std::array<std::uint8_t, 65536> buffer;
      asio::ip::udp::endpoint from;
      std::error_code ec;
      const std::size_t n = socket_.receive_from(asio::buffer(buffer), from, 0, ec);
      if (ec) return std::nullopt;
      endpoint_ = from;
      auto message = asn::Decode(h225::RasMessage::Id, {buffer.data(), n});
      if (!message) continue;
      if (message->Is(h225::RasMessage::gatekeeperRequest)) {
        Answer(*message, h225::RasMessage::gatekeeperConfirm);
        continue;
      }
      if (message->Is(h225::RasMessage::registrationRequest)) {
        Answer(*message, h225::RasMessage::registrationConfirm);
        continue;
      }
      return std::move(*message);
    }
  }

  void Send(std::span<const std::uint8_t> bytes) {
    std::error_code ignored;
    socket_.send_to(asio::buffer(bytes.data(), bytes.size()), endpoint_, 0, ignored);
  }

  // What the stand-in builds itself must encode.
  void Send(const Value& message) {
    auto bytes = asn::Encode(message);
    if (!bytes) {
      std::fprintf(stderr, "the stand-in's own message does not encode: %s\n", bytes.Error().Message().c_str());
      std::abort();
    }
    Send(*bytes);
  }

 private:
  void Answer(const Value& request, std::uint16_t kind) {
    Value answer(h225::RasMessage::Id);
    Value& body = answer.Select(kind);
    body.Field(static_cast<std::uint16_t>(body.IndexOf("requestSeqNum")))
        .SetInteger(request.Alternative().Find("requestSeqNum")->Integer());
    body.Field(static_cast<std::uint16_t>(body.IndexOf("protocolIdentifier"))).SetOid(asn::kH225ProtocolIdentifier);
    if (kind == h225::RasMessage::gatekeeperConfirm) {
      body.Field(h225::GatekeeperConfirm::gatekeeperIdentifier).SetText("FuzzGk");
      asn::SetIpv4(body.Field(h225::GatekeeperConfirm::rasAddress), {{127, 0, 0, 1}, Address().port()});
    } else {
      body.Field(h225::RegistrationConfirm::endpointIdentifier).SetText("ep1");
      body.Field(h225::RegistrationConfirm::timeToLive).SetInteger(3600);
    }
    asn::CompleteMandatory(answer);
    Send(answer);
  }

  asio::io_context io_;
  asio::ip::udp::socket socket_;
  asio::ip::udp::endpoint endpoint_;
};

struct Harness {
  Harness() : work(asio::make_work_guard(io)) {
    thread = std::thread([this] { io.run(); });
    Register();
  }

  // A new gatekeeper object registered with the stand-in (after an unregistration request took
  // the last one's registration away).
  void Register() {
    if (gatekeeper) {
      std::promise<void> closed;
      asio::post(io, [old = gatekeeper, &closed] {
        old->Close();
        closed.set_value();
      });
      closed.get_future().wait();
    }
    Gk::Settings settings;
    settings.alias = "5550100";
    settings.password = "secret";
    settings.listener = asn::Ipv4Address{{127, 0, 0, 1}, 1737};
    settings.timings.requestTimeout = std::chrono::milliseconds(200);
    settings.timings.requestTries = 1;
    gatekeeper = std::make_shared<Gk>(io, settings);
    gatekeeper->SetCallInfoProvider([] {
      Gk::CallInfo call;
      call.callReference = 7;
      call.callIdentifier = kCall;
      call.conferenceID = std::string(16, '\x43');
      call.localCallSignalAddress = asn::Ipv4Address{{127, 0, 0, 1}, 1737};
      return std::vector<Gk::CallInfo>{call};
    });
    gatekeeper->SetDisengageHandler([](const std::string& id) { return id == kCall; });
    auto registered = std::async(std::launch::async, [this] {
      bool found;
      return gatekeeper->DiscoverAndRegister(standIn.Address(), found);
    });
    while (registered.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready) standIn.Receive(5);
    if (!registered.get()) {
      std::fprintf(stderr, "the endpoint did not register with the stand-in\n");
      std::abort();
    }
  }

  // An information request of the stand-in's own must be answered.
  void CheckAlive() {
    Value irq(h225::RasMessage::Id);
    Value& body = irq.Select(h225::RasMessage::infoRequest);
    seq = seq % 65535 + 1;  // 1 to 65535
    body.Field(h225::InfoRequest::requestSeqNum).SetInteger(seq);
    body.Field(h225::InfoRequest::callReferenceValue).SetInteger(0);
    asn::CompleteMandatory(irq);
    standIn.Send(irq);
    for (int tries = 0; tries < 25; ++tries) {
      auto answer = standIn.Receive();
      if (answer && answer->Is(h225::RasMessage::infoRequestResponse) &&
          answer->Alternative()[h225::InfoRequestResponse::requestSeqNum].Integer() == seq)
        return;
    }
    std::fprintf(stderr, "the endpoint stopped answering\n");
    std::abort();
  }

  asio::io_context io;
  asio::executor_work_guard<asio::io_context::executor_type> work;
  std::thread thread;
  StandIn standIn;
  std::shared_ptr<Gk> gatekeeper;
  unsigned seq = 1000;
};

void AdmissionAnswer(Harness& h, std::span<const std::uint8_t> datagram) {
  auto outcome = std::make_shared<std::promise<void>>();
  auto done = outcome->get_future();
  Gk::CallInfo call;
  call.callReference = 9;
  call.callIdentifier = std::string(16, '\x44');
  call.conferenceID = std::string(16, '\x45');
  call.destinationAlias = "5550200";
  h.gatekeeper->RequestAdmission(call, [outcome](Gk::Admission) { outcome->set_value(); });
  std::optional<Value> arq;
  while ((arq = h.standIn.Receive()) && !arq->Is(h225::RasMessage::admissionRequest)) {
  }
  if (!arq) {
    // Not registered any more (an unregistration request came before): answered at once.
    done.wait();
    return;
  }
  const std::int64_t seq = arq->Alternative()[h225::AdmissionRequest::requestSeqNum].Integer();
  auto message = asn::Decode(h225::RasMessage::Id, datagram);
  std::optional<std::vector<std::uint8_t>> answer;
  if (message && !message->IsUnknownAlternative()) {
    Value& body = message->Alternative();
    if (const int i = body.IndexOf("requestSeqNum"); i >= 0 && body.Has(static_cast<std::uint16_t>(i)))
      body.Field(static_cast<std::uint16_t>(i)).SetInteger(seq);
    if (auto bytes = asn::Encode(*message)) answer = std::move(*bytes);
  }
  h.standIn.Send(answer ? std::span<const std::uint8_t>(*answer) : datagram);
  // A reject after it ends the request if the fuzzed answer did not.
  Value arj(h225::RasMessage::Id);
  Value& body = arj.Select(h225::RasMessage::admissionReject);
  body.Field(h225::AdmissionReject::requestSeqNum).SetInteger(seq);
  body.Field(h225::AdmissionReject::rejectReason).Select(h225::AdmissionRejectReason::requestDenied);
  asn::CompleteMandatory(arj);
  h.standIn.Send(arj);
  if (done.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
    std::fprintf(stderr, "the admission request never ended\n");
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Harness* harness = new Harness;  // lives for the process: its thread runs to the end
  if (size < 1) return 0;
  if (!harness->gatekeeper->IsRegistered()) harness->Register();
  const std::span<const std::uint8_t> datagram(data + 1, size - 1);
  if (data[0] & 1)
    AdmissionAnswer(*harness, datagram);
  else
    harness->standIn.Send(datagram);
  harness->CheckAlive();
  return 0;
}
