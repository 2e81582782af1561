#include "tests/support/FakeCalls.h"

bool FakeCalls::MakeCall(const std::string& party, std::string& token) {
  std::lock_guard lock(m_mutex);
  m_parties.push_back(party);
  token = "call-" + std::to_string(m_parties.size());
  m_live.insert(token);
  return true;
}

bool FakeCalls::ClearCall(const std::string& token) {
  std::lock_guard lock(m_mutex);
  m_clears.push_back(token);
  return Live(token);
}

bool FakeCalls::HasConnection(const std::string& token) {
  std::lock_guard lock(m_mutex);
  return Live(token);
}

bool FakeCalls::SendUserInput(const std::string& token, const std::string&) { return HasConnection(token); }

std::optional<CSignalLevels> FakeCalls::GetSignalLevels(const std::string& token) {
  std::lock_guard lock(m_mutex);
  if (!Live(token)) return std::nullopt;
  return m_levels;
}

std::optional<bool> FakeCalls::TogglePause(const std::string& token, bool fromRemote) {
  std::lock_guard lock(m_mutex);
  if (!Live(token)) return std::nullopt;
  const std::string key = token + (fromRemote ? " in" : " out");
  if (m_paused.erase(key) != 0) return false;
  m_paused.insert(key);
  return true;
}

void FakeCalls::SetLevels(const CSignalLevels& levels) {
  std::lock_guard lock(m_mutex);
  m_levels = levels;
}

void FakeCalls::End(const std::string& token) {
  std::lock_guard lock(m_mutex);
  m_live.erase(token);
}

std::vector<std::string> FakeCalls::Parties() const {
  std::lock_guard lock(m_mutex);
  return m_parties;
}

std::vector<std::string> FakeCalls::ClearRequests() const {
  std::lock_guard lock(m_mutex);
  return m_clears;
}

std::string FakeCalls::LastToken() const {
  std::lock_guard lock(m_mutex);
  return m_parties.empty() ? std::string() : "call-" + std::to_string(m_parties.size());
}
