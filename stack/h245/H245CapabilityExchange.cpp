#include "stack/h245/H245CapabilityExchange.h"

#include "runtime/PTrace.h"
#include "stack/asn/H323Values.h"
#include "stack/asn/generated/H245.h"
#include "stack/h245/H245Messages.h"

#include <algorithm>

namespace vantro::h245 {

namespace h245 = asn::h245;
using namespace names;
using TCS = h245::TerminalCapabilitySet;
using Entry = h245::CapabilityTableEntry;
using Descriptor = h245::CapabilityDescriptor;

namespace {

void NoMultipoint(asn::Value& multipoint) {
  multipoint.Field(h245::MultipointCapability::multicastCapability).SetBoolean(false);
  multipoint.Field(h245::MultipointCapability::multiUniCastConference).SetBoolean(false);
  asn::Value& distribution = multipoint.Field(h245::MultipointCapability::mediaDistributionCapability).Append();
  for (std::uint16_t i = h245::MediaDistributionCapability::centralizedControl;
       i <= h245::MediaDistributionCapability::distributedVideo; ++i)
    distribution.Field(i).SetBoolean(false);
}

void FillMultiplex(asn::Value& multiplex) {
  asn::Value& h2250 = multiplex.Select(h245::MultiplexCapability::h2250Capability);
  h2250.Field(h245::H2250Capability::maximumAudioDelayJitter).SetInteger(250);
  NoMultipoint(h2250.Field(h245::H2250Capability::receiveMultipointCapability));
  NoMultipoint(h2250.Field(h245::H2250Capability::transmitMultipointCapability));
  NoMultipoint(h2250.Field(h245::H2250Capability::receiveAndTransmitMultipointCapability));
  h2250.Field(h245::H2250Capability::logicalChannelSwitchingCapability).SetBoolean(false);
  h2250.Field(h245::H2250Capability::t120DynamicPortCapability).SetBoolean(false);
}

}  // namespace

H245CapabilityExchange::H245CapabilityExchange(H245Link& link) : link_(link), timer_(link) {}

asn::Value H245CapabilityExchange::BuildOurs(const endpoint::H323Capabilities& capabilities, unsigned sequenceNumber) {
  asn::Value message = NewMessage(MSCM::request, h245::RequestMessage::terminalCapabilitySet);
  asn::Value& tcs = MessageBody(message);
  tcs.Field(TCS::sequenceNumber).SetInteger(sequenceNumber % 256);
  tcs.Field(TCS::protocolIdentifier).SetOid(asn::kH245ProtocolIdentifier);
  FillMultiplex(tcs.Field(TCS::multiplexCapability));
  asn::Value& table = tcs.Field(TCS::capabilityTable);

  // Audio, numbered descriptor by descriptor and set by set, each set an alternative set.
  std::vector<endpoint::H323Capabilities::Entry> entries = capabilities.Entries();
  std::stable_sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
    return a.descriptor != b.descriptor ? a.descriptor < b.descriptor : a.simultaneous < b.simultaneous;
  });
  std::map<int, std::map<int, std::vector<unsigned>>> layout;
  unsigned number = 0;
  for (const auto& e : entries) {
    asn::Value& entry = table.Append();
    entry.Field(Entry::capabilityTableEntryNumber).SetInteger(++number);
    entry.Field(Entry::capability).Select(h245::Capability::receiveAudioCapability) =
        e.capability->GetAudioCapability(endpoint::H323Capability::Direction::Receive);
    layout[e.descriptor][e.simultaneous].push_back(number);
  }
  if (layout.empty()) layout[0];

  // User input: strings, DTMF signals and hook flash, which every descriptor allows beside audio.
  std::vector<unsigned> strings;
  unsigned hookflash = 0;
  for (std::uint16_t kind : {h245::UserInputCapability::basicString, h245::UserInputCapability::dtmf,
                             h245::UserInputCapability::hookflash}) {
    asn::Value& entry = table.Append();
    entry.Field(Entry::capabilityTableEntryNumber).SetInteger(++number);
    entry.Field(Entry::capability).Select(h245::Capability::receiveUserInputCapability).Select(kind);
    if (kind == h245::UserInputCapability::hookflash)
      hookflash = number;
    else
      strings.push_back(number);
  }

  asn::Value& descriptors = tcs.Field(TCS::capabilityDescriptors);
  for (const auto& [d, sets] : layout) {
    asn::Value& descriptor = descriptors.Append();
    descriptor.Field(Descriptor::capabilityDescriptorNumber).SetInteger(std::clamp(d, 0, 255));
    asn::Value& simultaneous = descriptor.Field(Descriptor::simultaneousCapabilities);
    auto alternatives = [&](const std::vector<unsigned>& numbers) {
      asn::Value& set = simultaneous.Append();
      for (unsigned n : numbers) set.Append().SetInteger(n);
    };
    for (const auto& [s, numbers] : sets) alternatives(numbers);
    alternatives(strings);
    alternatives({hookflash});
  }
  return message;
}

void H245CapabilityExchange::SendOurs() {
  sequenceNumber_ = (sequenceNumber_ + 1) % 256;
  acknowledged_ = false;
  link_.Send(BuildOurs(link_.GetSettings().capabilities, sequenceNumber_));
  timer_.Start(link_.GetSettings().requestTimeout, [this] {
    asn::Value release = NewMessage(MSCM::indication, h245::IndicationMessage::terminalCapabilitySetRelease);
    link_.Send(std::move(release));
    link_.Fail("no answer to our capability set");
  });
}

bool H245CapabilityExchange::OnAck(const asn::Value& ack) {
  const unsigned seq = static_cast<unsigned>(ack[h245::TerminalCapabilitySetAck::sequenceNumber].Integer());
  if (!timer_.IsRunning() || seq != sequenceNumber_) {
    PTRACE(3, "H245", "capability set ack " << seq << " is not for our set " << sequenceNumber_ << ", ignored");
    return false;
  }
  timer_.Cancel();
  acknowledged_ = true;
  return true;
}

void H245CapabilityExchange::OnReject(const asn::Value& reject) {
  const unsigned seq = static_cast<unsigned>(reject[h245::TerminalCapabilitySetReject::sequenceNumber].Integer());
  if (!timer_.IsRunning() || seq != sequenceNumber_) {
    PTRACE(3, "H245", "capability set reject " << seq << " is not for our set, ignored");
    return;
  }
  timer_.Cancel();
  link_.Fail("the far end rejected our capability set");
}

H245CapabilityExchange::Outcome H245CapabilityExchange::OnSet(const asn::Value& set) {
  const unsigned seq = static_cast<unsigned>(set[TCS::sequenceNumber].Integer());
  const asn::Value* table = set.Get(TCS::capabilityTable);
  const asn::Value* descriptors = set.Get(TCS::capabilityDescriptors);

  if (!table && !descriptors) {
    table_.clear();
    descriptors_.clear();
    received_ = true;
    Snapshot();
    Answer(true, seq);
    return Outcome::Emptied;
  }

  std::map<unsigned, asn::Value> newTable = table_;
  std::map<unsigned, std::vector<std::vector<unsigned>>> newDescriptors = descriptors_;
  if (table) {
    for (const asn::Value& entry : table->Elements()) {
      const unsigned n = static_cast<unsigned>(entry[Entry::capabilityTableEntryNumber].Integer());
      if (const asn::Value* capability = entry.Get(Entry::capability))
        newTable[n] = *capability;
      else
        newTable.erase(n);
    }
  }
  if (newTable.size() > kMaxRemoteEntries) {
    Answer(false, seq, h245::TerminalCapabilitySetReject_cause::tableEntryCapacityExceeded);
    return Outcome::Rejected;
  }
  if (descriptors) {
    for (const asn::Value& descriptor : descriptors->Elements()) {
      const unsigned n = static_cast<unsigned>(descriptor[Descriptor::capabilityDescriptorNumber].Integer());
      const asn::Value* simultaneous = descriptor.Get(Descriptor::simultaneousCapabilities);
      if (!simultaneous) {
        newDescriptors.erase(n);
        continue;
      }
      std::vector<std::vector<unsigned>> sets;
      for (const asn::Value& alternatives : simultaneous->Elements()) {
        std::vector<unsigned>& numbers = sets.emplace_back();
        for (const asn::Value& number : alternatives.Elements()) {
          numbers.push_back(static_cast<unsigned>(number.Integer()));
          if (!newTable.count(numbers.back())) {
            Answer(false, seq, h245::TerminalCapabilitySetReject_cause::undefinedTableEntryUsed);
            return Outcome::Rejected;
          }
        }
      }
      newDescriptors[n] = std::move(sets);
    }
  }
  // An entry deleted by this set may still be named by an older descriptor.
  for (const auto& [n, sets] : newDescriptors)
    for (const auto& numbers : sets)
      for (unsigned number : numbers)
        if (!newTable.count(number)) {
          Answer(false, seq, h245::TerminalCapabilitySetReject_cause::undefinedTableEntryUsed);
          return Outcome::Rejected;
        }

  table_ = std::move(newTable);
  descriptors_ = std::move(newDescriptors);
  received_ = true;
  Snapshot();
  Answer(true, seq);
  return theirs_.empty ? Outcome::Emptied : Outcome::Accepted;
}

void H245CapabilityExchange::Answer(bool accept, unsigned sequenceNumber, std::uint16_t cause) {
  if (accept) {
    asn::Value ack = NewMessage(MSCM::response, h245::ResponseMessage::terminalCapabilitySetAck);
    MessageBody(ack).Field(h245::TerminalCapabilitySetAck::sequenceNumber).SetInteger(sequenceNumber);
    link_.Send(std::move(ack));
    return;
  }
  PTRACE(2, "H245", "rejecting the far end's capability set " << sequenceNumber << ", cause " << cause);
  asn::Value reject = NewMessage(MSCM::response, h245::ResponseMessage::terminalCapabilitySetReject);
  asn::Value& body = MessageBody(reject);
  body.Field(h245::TerminalCapabilitySetReject::sequenceNumber).SetInteger(sequenceNumber);
  asn::Value& why = body.Field(h245::TerminalCapabilitySetReject::cause).Select(cause);
  if (cause == h245::TerminalCapabilitySetReject_cause::tableEntryCapacityExceeded)
    why.Select(h245::TerminalCapabilitySetReject_cause_tableEntryCapacityExceeded::noneProcessed);
  link_.Send(std::move(reject));
}

void H245CapabilityExchange::Snapshot() {
  theirs_ = RemoteCapabilities();
  for (const auto& [n, capability] : table_) theirs_.table.push_back({n, capability});
  for (const auto& [n, sets] : descriptors_) theirs_.descriptors.push_back(sets);
  theirs_.empty = table_.empty() && descriptors_.empty();
}

}  // namespace vantro::h245
