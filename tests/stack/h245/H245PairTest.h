#pragma once
// Two H.245 controls back to back through an in-memory transport: A and B.

#include "stack/asn/Defaults.h"
#include "stack/asn/Per.h"
#include "stack/asn/generated/H245.h"
#include "stack/h245/H245Messages.h"
#include "tests/stack/h245/H245TestPeer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>

namespace vantro::test {

namespace h245 = asn::h245;
using namespace vantro::h245::names;

class H245Pair : public ::testing::Test {
 protected:
  void Make(vantro::h245::H245Control::Settings forA = TestSettings(),
            vantro::h245::H245Control::Settings forB = TestSettings()) {
    a = std::make_unique<H245TestPeer>(io, "A", std::move(forA));
    b = std::make_unique<H245TestPeer>(io, "B", std::move(forB));
    a->Connect(*b);
    b->Connect(*a);
    b->mediaPort = 7000;
  }
  // Both start at once, their first messages crossing.
  void MakeReady() {
    if (!a) Make();
    a->Control().Start();
    b->Control().Start();
    Exchange(*a, *b);
  }
  // Runs the timers until done() holds, for at most a few seconds.
  void RunUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!done() && std::chrono::steady_clock::now() < deadline) RunFor(std::chrono::milliseconds(5));
  }
  void RunFor(std::chrono::milliseconds time) {
    io.restart();
    io.run_for(time);
  }

  asio::io_context io;
  std::unique_ptr<H245TestPeer> a, b;
};

// A message of kind/alternative with its body filled by fill.
inline asn::Value Message(std::uint16_t kind, std::uint16_t alternative, const std::function<void(asn::Value&)>& fill) {
  asn::Value m(MSCM::Id);
  fill(m.Select(kind).Select(alternative));
  return m;
}

// G.711 µ-law to send, with our RTCP on a port of the loopback.
inline vantro::h245::OutgoingChannel G711Out(std::uint16_t rtcpPort) {
  return {1, endpoint::H323_G711Capability().GetAudioCapability(endpoint::H323Capability::Direction::Transmit),
          Loopback(rtcpPort)};
}

// The far end closing its channel, and asking us to close ours.
inline asn::Value CloseRequest(unsigned channel) {
  return Message(MSCM::request, Request::closeLogicalChannel, [channel](asn::Value& v) {
    v.Field(h245::CloseLogicalChannel::forwardLogicalChannelNumber).SetInteger(channel);
    v.Field(h245::CloseLogicalChannel::source).Select(h245::CloseLogicalChannel_source::user);
  });
}
inline asn::Value RequestChannelClose(unsigned channel) {
  return Message(MSCM::request, Request::requestChannelClose, [channel](asn::Value& v) {
    v.Field(h245::RequestChannelClose::forwardLogicalChannelNumber).SetInteger(channel);
    v.Field(h245::RequestChannelClose::reason).Select(h245::RequestChannelClose_reason::normal);
  });
}

// A TerminalCapabilitySet with its sequence number and protocol, the rest filled by fill.
inline asn::Value CapabilitySet(unsigned sequenceNumber, const std::function<void(asn::Value&)>& fill = {}) {
  return Message(MSCM::request, Request::terminalCapabilitySet, [&](asn::Value& tcs) {
    tcs.Field(h245::TerminalCapabilitySet::sequenceNumber).SetInteger(sequenceNumber);
    tcs.Field(h245::TerminalCapabilitySet::protocolIdentifier).SetOid({0, 0, 8, 245, 0, 13});
    if (fill) fill(tcs);
  });
}

// A set whose table entry gives DTMF signals as the only user input.
inline asn::Value DtmfOnlySet(unsigned sequenceNumber, unsigned entry) {
  return CapabilitySet(sequenceNumber, [entry](asn::Value& tcs) {
    asn::Value& e = tcs.Field(h245::TerminalCapabilitySet::capabilityTable).Append();
    e.Field(h245::CapabilityTableEntry::capabilityTableEntryNumber).SetInteger(entry);
    e.Field(h245::CapabilityTableEntry::capability)
        .Select(h245::Capability::receiveUserInputCapability)
        .Select(h245::UserInputCapability::dtmf);
  });
}

}  // namespace vantro::test
