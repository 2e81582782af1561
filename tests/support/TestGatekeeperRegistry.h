#pragma once
// What the test gatekeeper knows: the endpoints registered with it and the calls their admission
// requests made known. Safe from any thread.

#include "stack/asn/H323Values.h"

#include <asio.hpp>

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace vantro::test {

class TestGatekeeperRegistry {
 public:
  struct Registration {
    std::string endpointId;
    std::vector<std::string> aliases;
    asio::ip::udp::endpoint ras;
    asn::Ipv4Address callSignal;
  };

  // An endpoint that asked to take part in a call.
  struct CallParty {
    std::string endpointId;
    std::uint16_t callReference = 0;
    bool answerCall = false;
    bool disengaged = false;
  };
  struct Call {
    std::string callIdentifier;  // 16 octets
    std::string conferenceID;
    std::vector<CallParty> parties;
    bool Active() const;  // an admitted party has not disengaged yet
  };

  // Adds a registration under a new endpoint identifier (ending in suffix), in place of any other
  // from the same RAS address; returns the identifier.
  std::string Add(Registration registration, const std::string& suffix);
  bool Has(const std::string& endpointId) const;
  std::optional<Registration> Find(const std::string& endpointId) const;
  std::optional<Registration> FindAlias(const std::string& alias) const;
  // The call signalling address of the first alias registered.
  std::optional<asn::Ipv4Address> Resolve(const std::vector<std::string>& aliases) const;
  void Remove(const std::string& endpointId);
  void RemoveAt(const asio::ip::udp::endpoint& ras);
  void Clear();
  std::vector<Registration> Registrations() const;

  void Admitted(const std::string& callIdentifier, const std::string& conferenceID, const CallParty& party);
  void Disengaged(const std::string& callIdentifier, const std::string& endpointId);
  std::optional<Call> FindCall(const std::string& callIdentifier) const;
  std::vector<Call> Calls() const;
  std::size_t ActiveCalls() const;

 private:
  mutable std::mutex mutex_;
  std::map<std::string, Registration> registrations_;  // by endpoint identifier
  std::map<std::string, Call> calls_;                  // by call identifier
  unsigned next_ = 1;
};

}  // namespace vantro::test
