// Encode and decode times of the messages that matter most: an RRQ (sent every keep-alive), a
// Setup with two fastStart proposals and a tunnelled capability set, and a TerminalCapabilitySet.

#include "stack/asn/Per.h"
#include "stack/asn/generated/H225.h"
#include "stack/asn/generated/H245.h"
#include "stack/q931/Q931Message.h"
#include "tests/stack/asn/SampleMessages.h"

#include <benchmark/benchmark.h>

namespace {

using namespace vantro;

void encodeBench(benchmark::State& state, const asn::Value& v) {
  std::size_t bytes = 0;
  for (auto _ : state) {
    auto r = asn::encode(v);
    bytes = r->size();
    benchmark::DoNotOptimize(r);
  }
  state.counters["octets"] = static_cast<double>(bytes);
}

void decodeBench(benchmark::State& state, const asn::Value& v) {
  std::vector<std::uint8_t> bytes = *asn::encode(v);
  for (auto _ : state) {
    auto r = asn::decode(v.type(), bytes);
    benchmark::DoNotOptimize(r);
  }
  state.counters["octets"] = static_cast<double>(bytes.size());
}

void BM_EncodeRrq(benchmark::State& s) { encodeBench(s, test::rrqFull(1)); }
void BM_DecodeRrq(benchmark::State& s) { decodeBench(s, test::rrqFull(1)); }
void BM_BuildAndEncodeRrq(benchmark::State& s) {
  for (auto _ : s) {
    auto r = asn::encode(test::rrqFull(1));
    benchmark::DoNotOptimize(r);
  }
}
void BM_EncodeSetupFastStart(benchmark::State& s) { encodeBench(s, test::setupWithFastStart()); }
void BM_DecodeSetupFastStart(benchmark::State& s) { decodeBench(s, test::setupWithFastStart()); }
void BM_EncodeTerminalCapabilitySet(benchmark::State& s) { encodeBench(s, test::terminalCapabilitySet()); }
void BM_DecodeTerminalCapabilitySet(benchmark::State& s) { decodeBench(s, test::terminalCapabilitySet()); }

// The whole receive path of a Setup: Q.931, the user-user element, both fastStart proposals and
// the tunnelled H.245 message.
void BM_DecodeSetupMessageCompletely(benchmark::State& state) {
  test::SampleSignal setup = test::signallingMessages()[0];
  std::vector<std::uint8_t> bytes = test::q931For(setup, 1723).encode();
  for (auto _ : state) {
    auto q = q931::Q931Message::decode(bytes);
    auto uu = asn::decode(asn::h225::H323_UserInformation::Id, *q->userUser());
    for (const asn::Value& olc : uu->find("h323-uu-pdu.h323-message-body.setup.fastStart")->elements())
      benchmark::DoNotOptimize(asn::decode(asn::h245::OpenLogicalChannel::Id, olc.octets()));
    for (const asn::Value& m : uu->find("h323-uu-pdu.h245Control")->elements())
      benchmark::DoNotOptimize(asn::decode(asn::h245::MultimediaSystemControlMessage::Id, m.octets()));
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
