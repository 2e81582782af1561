#include "stack/h245/H245FastStart.h"

#include "runtime/PTrace.h"
#include "stack/asn/Defaults.h"
#include "stack/asn/Per.h"
#include "stack/asn/generated/H245.h"
#include "stack/h245/H245Messages.h"

#include <algorithm>

namespace vantro::h245 {

namespace h245 = asn::h245;
using namespace names;
using Direction = endpoint::H323Capability::Direction;

namespace {

// One fastStart element as far as audio goes: who transmits, which format, which addresses.
struct Element {
  unsigned number = 0;
  bool callerTransmits = false;  // forward audio; else the caller receives (reverse audio)
  asn::Value audio;
  MediaParameters media;
};

std::optional<Element> Classify(const Octets& bytes) {
  asn::Result<asn::Value> decoded = asn::Decode(OLC::Id, bytes);
  if (!decoded) {
    PTRACE(2, "H245", "fast start element not decoded: " << decoded.Error().Message());
    return std::nullopt;
  }
  const asn::Value& olc = *decoded;
  Element e;
  e.number = static_cast<unsigned>(olc[OLC::forwardLogicalChannelNumber].Integer());
  const asn::Value& forward = olc[OLC::forwardLogicalChannelParameters];
  const asn::Value* reverse = olc.Get(OLC::reverseLogicalChannelParameters);
  const asn::Value* forwardAudio = AudioOf(forward[Forward::dataType]);
  if (forwardAudio && !reverse) {
    const asn::Value& multiplex = forward[Forward::multiplexParameters];
    if (!multiplex.Is(ForwardMultiplex::h2250LogicalChannelParameters)) return std::nullopt;
    e.callerTransmits = true;
    e.audio = *forwardAudio;
    e.media = ReadH2250(multiplex.Alternative());
    return e;
  }
  if (reverse && forward[Forward::dataType].Is(h245::DataType::nullData)) {
    const asn::Value* reverseAudio = AudioOf((*reverse)[Reverse::dataType]);
    if (!reverseAudio) return std::nullopt;
    e.audio = *reverseAudio;
    if (const asn::Value* multiplex = reverse->Get(Reverse::multiplexParameters)) {
      if (!multiplex->Is(ReverseMultiplex::h2250LogicalChannelParameters)) return std::nullopt;
      e.media = ReadH2250(multiplex->Alternative());
    }
    return e;
  }
  return std::nullopt;  // bidirectional, or no audio
}

Octets Encode(asn::Value& olc) {
  asn::CompleteMandatory(olc);
  asn::Result<std::vector<std::uint8_t>> bytes = asn::Encode(olc);
  if (!bytes) {
    PTRACE(1, "H245", "fast start element not encoded: " << bytes.Error().Message());
    return {};
  }
  return std::move(*bytes);
}

// An element on which the caller transmits audio (forward), with our addresses or the caller's.
Octets ForwardElement(unsigned number, const asn::Value& audio, const MediaParameters& media) {
  asn::Value olc(OLC::Id);
  olc.Field(OLC::forwardLogicalChannelNumber).SetInteger(number);
  asn::Value& forward = olc.Field(OLC::forwardLogicalChannelParameters);
  forward.Field(Forward::dataType).Select(h245::DataType::audioData) = audio;
  FillH2250(forward.Field(Forward::multiplexParameters).Select(ForwardMultiplex::h2250LogicalChannelParameters), media);
  return Encode(olc);
}

// An element on which the caller receives audio (reverse), nothing forward.
Octets ReverseElement(unsigned number, const asn::Value& audio, const MediaParameters& media) {
  asn::Value olc(OLC::Id);
  olc.Field(OLC::forwardLogicalChannelNumber).SetInteger(number);
  asn::Value& forward = olc.Field(OLC::forwardLogicalChannelParameters);
  forward.Field(Forward::dataType).Select(h245::DataType::nullData);
  forward.Field(Forward::multiplexParameters).Select(ForwardMultiplex::none);
  asn::Value& reverse = olc.Field(OLC::reverseLogicalChannelParameters);
  reverse.Field(Reverse::dataType).Select(h245::DataType::audioData) = audio;
  FillH2250(reverse.Field(Reverse::multiplexParameters).Select(ReverseMultiplex::h2250LogicalChannelParameters), media);
  return Encode(olc);
}

unsigned SessionOf(const Element& e, const FastStartLocal& local) {
  return e.media.sessionID != 0 ? e.media.sessionID : local.sessionID;
}

}  // namespace

std::vector<Octets> BuildFastStartProposals(const endpoint::H323Capabilities& capabilities, const FastStartLocal& local,
                                            unsigned firstNumber) {
  std::vector<Octets> out;
  unsigned number = std::clamp(firstNumber, 1u, 65535u);
  auto next = [&number] {
    const unsigned n = number;
    number = number >= 65535 ? 1 : number + 1;
    return n;
  };
  for (const auto& entry : capabilities.Entries()) {
    const auto& capability = *entry.capability;
    // We receive: the caller's RTP and RTCP in the reverse parameters.
    out.push_back(ReverseElement(next(), capability.GetAudioCapability(Direction::Receive),
                                 MediaParameters{local.sessionID, local.media, local.control, std::nullopt}));
    // We transmit: our RTCP; the callee answers with its RTP address.
    out.push_back(ForwardElement(next(), capability.GetAudioCapability(Direction::Transmit),
                                 MediaParameters{local.sessionID, std::nullopt, local.control, std::nullopt}));
  }
  std::erase_if(out, [](const Octets& o) { return o.empty(); });
  return out;
}

FastStartAnswer SelectFastStart(const std::vector<Octets>& proposals, const endpoint::H323Capabilities& capabilities,
                                const FastStartLocal& local) {
  std::vector<Element> elements;
  for (const Octets& bytes : proposals) {
    std::optional<Element> e = Classify(bytes);
    // To transmit we need to know where to: a receive proposal without the caller's RTP address is no use.
    if (e && (e->callerTransmits || e->media.media)) elements.push_back(std::move(*e));
  }
  // By our table order, the first proposal of each direction that we can serve.
  auto pick = [&](bool callerTransmits) -> std::pair<const Element*, std::shared_ptr<const endpoint::H323Capability>> {
    for (const auto& entry : capabilities.Entries())
      for (const Element& e : elements)
        if (e.callerTransmits == callerTransmits && entry.capability->IsMatch(e.audio)) return {&e, entry.capability};
    return {nullptr, nullptr};
  };

  FastStartAnswer answer;
  if (auto [e, ours] = pick(false); e) {
    answer.reply.push_back(ReverseElement(
        e->number, e->audio, MediaParameters{SessionOf(*e, local), std::nullopt, local.control, std::nullopt}));
    answer.channels.push_back(
        FastStartChannel{e->number, true, ours, e->audio, e->media.media, e->media.control, e->media.payloadType});
  }
  if (auto [e, ours] = pick(true); e) {
    answer.reply.push_back(ForwardElement(
        e->number, e->audio, MediaParameters{SessionOf(*e, local), local.media, local.control, std::nullopt}));
    answer.channels.push_back(
        FastStartChannel{e->number, false, ours, e->audio, std::nullopt, e->media.control, e->media.payloadType});
  }
  if (std::any_of(answer.reply.begin(), answer.reply.end(), [](const Octets& o) { return o.empty(); })) return {};
  return answer;
}

std::vector<FastStartChannel> ReadFastStartAnswer(const std::vector<Octets>& reply,
                                                  const endpoint::H323Capabilities& capabilities,
                                                  const std::optional<FastStartLocal>& local) {
  auto notOurs = [&local](const std::optional<asn::Ipv4Address>& a, bool media) -> std::optional<asn::Ipv4Address> {
    if (a && local && *a == (media ? local->media : local->control)) return std::nullopt;
    return a;
  };
  std::vector<FastStartChannel> out;
  bool transmit = false, receive = false;
  for (const Octets& bytes : reply) {
    std::optional<Element> e = Classify(bytes);
    if (!e) continue;
    // The callee's view: where the caller transmits, we transmit.
    const bool weTransmit = e->callerTransmits;
    bool& taken = weTransmit ? transmit : receive;
    if (taken) continue;
    auto ours = capabilities.FindMatch(e->audio);
    if (!ours) {
      PTRACE(2, "H245", "fast start answer " << e->number << " names a format we did not propose");
      continue;
    }
    FastStartChannel channel{
        e->number, weTransmit, ours, e->audio, std::nullopt, notOurs(e->media.control, false), e->media.payloadType};
    if (weTransmit) {
      channel.remoteMedia = notOurs(e->media.media, true);
      if (!channel.remoteMedia) {
        PTRACE(2, "H245", "fast start answer " << e->number << " gives no RTP address to send to");
        continue;
      }
    }
    taken = true;
    out.push_back(std::move(channel));
  }
  return out;
}

}  // namespace vantro::h245
