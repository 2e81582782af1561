#pragma once
// Two H.245 controls back to back through an in-memory transport, A and B, and messages written
// as text.

#include "stack/asn/Defaults.h"
#include "stack/asn/Strings.h"
#include "stack/asn/generated/H245.h"
#include "tests/stack/CaptureVectors.h"
#include "tests/stack/h245/H245TestPeer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <sstream>

namespace vantro::test {

using namespace std::chrono_literals;

class H245Pair : public ::testing::Test {
 protected:
  void Make(h245::H245Control::Settings forA = TestSettings(), h245::H245Control::Settings forB = TestSettings()) {
    a = std::make_unique<H245TestPeer>(io, "A", std::move(forA));
    b = std::make_unique<H245TestPeer>(io, "B", std::move(forB));
    a->Connect(*b);
    b->Connect(*a);
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
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!done() && std::chrono::steady_clock::now() < deadline) RunFor(5ms);
  }
  void RunFor(std::chrono::milliseconds time) {
    io.restart();
    io.run_for(time);
  }

  asio::io_context io;
  std::unique_ptr<H245TestPeer> a, b;
};

// A MultimediaSystemControlMessage from text: the path of its body ("request.closeLogicalChannel"),
// then components "path=value" (an integer, 'text', #hex octets or an object identifier 0.0.8) or
// "path" (an alternative chosen); "[n]" is element n of a list. Mandatory components left out take
// their plain values.
inline asn::Value Msg(const std::string& text) {
  asn::Value m(asn::h245::MultimediaSystemControlMessage::Id);
  std::istringstream words(text);
  std::string word;
  asn::Value* body = &m;
  for (bool first = true; words >> word; first = false) {
    const std::size_t eq = word.find('=');
    std::string path = word.substr(0, eq);
    asn::Value* v = body;
    for (std::size_t at = 0; at < path.size();) {
      if (path[at] == '.') ++at;
      if (path[at] == '[') {
        const std::size_t n = std::stoul(path.substr(at + 1));
        while (v->Size() <= n) v->Append();
        v = &v->At(n);
        at = path.find(']', at) + 1;
        continue;
      }
      const std::size_t end = std::min(path.find_first_of(".[", at), path.size());
      const int i = v->IndexOf(path.substr(at, end - at));
      if (i < 0) throw std::invalid_argument("no " + path.substr(at, end - at) + " in " + word);
      const auto index = static_cast<std::uint16_t>(i);
      v = v->Kind() == asn::Kind::Choice ? (v->Is(index) ? &v->Alternative() : &v->Select(index)) : &v->Field(index);
      at = end;
    }
    if (first) body = v;
    if (eq == std::string::npos) continue;
    const std::string value = word.substr(eq + 1);
    if (value[0] == '\'') {
      v->SetText(value.substr(1, value.size() - 2));
    } else if (value[0] == '#') {
      const std::vector<std::uint8_t> bytes = FromHex(value.substr(1));
      v->SetBytes(std::span<const std::uint8_t>(bytes));
    } else if (value.find('.') != std::string::npos) {
      const auto arcs = asn::OidFromText(value);
      if (!arcs) throw std::invalid_argument("no object identifier: " + word);
      v->SetOid(*arcs);
    } else {
      v->SetInteger(std::stoll(value));
    }
  }
  asn::CompleteMandatory(m);
  return m;
}

// G.711 µ-law to send, with our RTCP on a port of the loopback.
inline h245::OutgoingChannel G711Out(std::uint16_t rtcpPort) {
  return {1, endpoint::H323_G711Capability().GetAudioCapability(endpoint::H323Capability::Direction::Transmit),
          Loopback(rtcpPort)};
}

}  // namespace vantro::test
