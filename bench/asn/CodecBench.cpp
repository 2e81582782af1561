// Encode and decode times of the messages that matter most, as the stack builds them: an RRQ (sent
// at every registration), a Setup with fast start proposals and a tunnelled capability set, and
// the TerminalCapabilitySet.

#include "stack/asn/Defaults.h"
#include "stack/asn/Per.h"
#include "stack/asn/generated/H225.h"
#include "stack/asn/generated/H245.h"
#include "stack/h225/H225MessageBuilder.h"
#include "stack/h245/H245CapabilityExchange.h"
#include "stack/h245/H245FastStart.h"
#include "stack/q931/Q931Message.h"
#include "stack/ras/H323GatekeeperMessages.h"

#include <benchmark/benchmark.h>

namespace {

using namespace vantro;

endpoint::H323Capabilities Capabilities() {
  endpoint::H323Capabilities table;
  table.SetCapability(0, endpoint::kNewCapabilitySet, std::make_unique<endpoint::H323_G729ACapability>());
  table.SetCapability(0, endpoint::kNewCapabilitySet, std::make_unique<endpoint::H323_G7231Capability>(true));
  table.SetCapability(0, endpoint::kNewCapabilitySet, std::make_unique<endpoint::H323_G711Capability>());
  return table;
}

asn::Value Rrq() {
  ras::EndpointInfo info;
  info.rasAddress = {{127, 0, 0, 1}, 5001};
  info.callSignalAddress = {{127, 0, 0, 1}, 1720};
  info.alias = "5550100";
  info.gatekeeperId = "VantroGK";
  info.timeToLive = 300;
  return ras::MakeRegistrationRequest(1, info, false);
}

// As the H.245 link sends it: mandatory components the builder leaves out get their defaults.
asn::Value CapabilitySet() {
  asn::Value tcs = h245::H245CapabilityExchange::BuildOurs(Capabilities(), 1);
  asn::CompleteMandatory(tcs);
  return tcs;
}

h225::H225Message Setup() {
  h225::H225MessageBuilder builder({0x1234, true, std::string(16, '\x11'), std::string(16, '\x22')});
  h225::H225MessageBuilder::SetupFields fields;
  fields.sourceAlias = "5550100";
  fields.endpointIdentifier = "ep-0001";
  fields.destinationAlias = "5550200";
  fields.sourceCallSignalAddress = asn::Ipv4Address{{127, 0, 0, 1}, 1720};
  h225::H225Message setup = builder.Setup(fields);
  setup.SetFastStart(
      h245::BuildFastStartProposals(Capabilities(), {1, {{127, 0, 0, 1}, 5000}, {{127, 0, 0, 1}, 5001}}, 1));
  setup.AddH245Control(*asn::Encode(CapabilitySet()));
  return setup;
}

// The Setup's H323-UserInformation as it goes in the user-user element.
asn::Value SetupUserInformation() {
  std::vector<std::uint8_t> bytes = *Setup().Encode();
  return *asn::Decode(asn::h225::H323_UserInformation::Id, *q931::Q931Message::Decode(bytes)->UserUser());
}

void EncodeBench(benchmark::State& state, const asn::Value& v) {
  std::size_t bytes = 0;
  for (auto _ : state) {
    auto r = asn::Encode(v);
    bytes = r->size();
    benchmark::DoNotOptimize(r);
  }
  state.counters["octets"] = static_cast<double>(bytes);
}

void DecodeBench(benchmark::State& state, const asn::Value& v) {
  std::vector<std::uint8_t> bytes = *asn::Encode(v);
  for (auto _ : state) {
    auto r = asn::Decode(v.Type(), bytes);
    benchmark::DoNotOptimize(r);
  }
  state.counters["octets"] = static_cast<double>(bytes.size());
}

void BM_EncodeRrq(benchmark::State& s) { EncodeBench(s, Rrq()); }
void BM_DecodeRrq(benchmark::State& s) { DecodeBench(s, Rrq()); }
void BM_BuildAndEncodeRrq(benchmark::State& s) {
  for (auto _ : s) {
    auto r = asn::Encode(Rrq());
    benchmark::DoNotOptimize(r);
  }
}
void BM_EncodeSetupFastStart(benchmark::State& s) { EncodeBench(s, SetupUserInformation()); }
void BM_DecodeSetupFastStart(benchmark::State& s) { DecodeBench(s, SetupUserInformation()); }
void BM_EncodeTerminalCapabilitySet(benchmark::State& s) { EncodeBench(s, CapabilitySet()); }
void BM_DecodeTerminalCapabilitySet(benchmark::State& s) { DecodeBench(s, CapabilitySet()); }

// The whole receive path of a Setup: Q.931, the user-user element, the fast start proposals and
// the tunnelled H.245 message.
void BM_DecodeSetupMessageCompletely(benchmark::State& state) {
  std::vector<std::uint8_t> bytes = *Setup().Encode();
  for (auto _ : state) {
    auto q = q931::Q931Message::Decode(bytes);
    auto uu = asn::Decode(asn::h225::H323_UserInformation::Id, *q->UserUser());
    for (const asn::Value& olc : uu->Find("h323-uu-pdu.h323-message-body.setup.fastStart")->Elements())
      benchmark::DoNotOptimize(asn::Decode(asn::h245::OpenLogicalChannel::Id, olc.Octets()));
    for (const asn::Value& m : uu->Find("h323-uu-pdu.h245Control")->Elements())
      benchmark::DoNotOptimize(asn::Decode(asn::h245::MultimediaSystemControlMessage::Id, m.Octets()));
  }
  state.counters["octets"] = static_cast<double>(bytes.size());
}

BENCHMARK(BM_EncodeRrq);
BENCHMARK(BM_DecodeRrq);
BENCHMARK(BM_BuildAndEncodeRrq);
BENCHMARK(BM_EncodeSetupFastStart);
BENCHMARK(BM_DecodeSetupFastStart);
BENCHMARK(BM_EncodeTerminalCapabilitySet);
BENCHMARK(BM_DecodeTerminalCapabilitySet);
BENCHMARK(BM_DecodeSetupMessageCompletely);

}  // namespace
