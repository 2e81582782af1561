#include "tests/support/TestGatekeeperRegistry.h"

#include <algorithm>

namespace vantro::test {

namespace {

bool HasAlias(const TestGatekeeperRegistry::Registration& r, const std::string& alias) {
  return !alias.empty() && std::find(r.aliases.begin(), r.aliases.end(), alias) != r.aliases.end();
}

}  // namespace

bool TestGatekeeperRegistry::Call::Active() const {
  return std::any_of(parties.begin(), parties.end(), [](const CallParty& p) { return !p.disengaged; });
}

std::string TestGatekeeperRegistry::Add(Registration registration, const std::string& suffix) {
  std::lock_guard lock(mutex_);
  std::erase_if(registrations_, [&](auto& e) { return e.second.ras == registration.ras; });
  registration.endpointId = "ep" + std::to_string(next_++) + "_" + suffix;
  const std::string id = registration.endpointId;
  registrations_[id] = std::move(registration);
  return id;
}

bool TestGatekeeperRegistry::Has(const std::string& endpointId) const {
  std::lock_guard lock(mutex_);
  return registrations_.count(endpointId) > 0;
}

std::optional<TestGatekeeperRegistry::Registration> TestGatekeeperRegistry::Find(const std::string& endpointId) const {
  std::lock_guard lock(mutex_);
  auto it = registrations_.find(endpointId);
  if (it == registrations_.end()) return std::nullopt;
  return it->second;
}

std::optional<TestGatekeeperRegistry::Registration> TestGatekeeperRegistry::FindAlias(const std::string& alias) const {
  std::lock_guard lock(mutex_);
  for (auto& [id, r] : registrations_)
    if (HasAlias(r, alias)) return r;
  return std::nullopt;
}

std::optional<asn::Ipv4Address> TestGatekeeperRegistry::Resolve(const std::vector<std::string>& aliases) const {
  for (const std::string& alias : aliases)
    if (auto r = FindAlias(alias)) return r->callSignal;
  return std::nullopt;
}

void TestGatekeeperRegistry::Remove(const std::string& endpointId) {
  std::lock_guard lock(mutex_);
  registrations_.erase(endpointId);
}

void TestGatekeeperRegistry::RemoveAt(const asio::ip::udp::endpoint& ras) {
  std::lock_guard lock(mutex_);
  std::erase_if(registrations_, [&](auto& e) { return e.second.ras == ras; });
}

void TestGatekeeperRegistry::Clear() {
  std::lock_guard lock(mutex_);
  registrations_.clear();
}

std::vector<TestGatekeeperRegistry::Registration> TestGatekeeperRegistry::Registrations() const {
  std::lock_guard lock(mutex_);
  std::vector<Registration> out;
  for (auto& [id, r] : registrations_) out.push_back(r);
  return out;
}

void TestGatekeeperRegistry::Admitted(const std::string& callIdentifier, const std::string& conferenceID,
                                      const CallParty& party) {
  std::lock_guard lock(mutex_);
  Call& call = calls_[callIdentifier];
  call.callIdentifier = callIdentifier;
  call.conferenceID = conferenceID;
  call.parties.push_back(party);
}

void TestGatekeeperRegistry::Disengaged(const std::string& callIdentifier, const std::string& endpointId) {
  std::lock_guard lock(mutex_);
  if (auto it = calls_.find(callIdentifier); it != calls_.end())
    for (CallParty& party : it->second.parties)
      if (party.endpointId == endpointId) party.disengaged = true;
}

std::optional<TestGatekeeperRegistry::Call> TestGatekeeperRegistry::FindCall(const std::string& callIdentifier) const {
  std::lock_guard lock(mutex_);
  auto it = calls_.find(callIdentifier);
  if (it == calls_.end()) return std::nullopt;
  return it->second;
}

std::vector<TestGatekeeperRegistry::Call> TestGatekeeperRegistry::Calls() const {
  std::lock_guard lock(mutex_);
  std::vector<Call> out;
  for (auto& [id, c] : calls_) out.push_back(c);
  return out;
}

std::size_t TestGatekeeperRegistry::ActiveCalls() const {
  std::lock_guard lock(mutex_);
  return static_cast<std::size_t>(
      std::count_if(calls_.begin(), calls_.end(), [](auto& c) { return c.second.Active(); }));
}

}  // namespace vantro::test
