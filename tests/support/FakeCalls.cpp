#include "tests/support/FakeCalls.h"

bool FakeCalls::MakeCall(const std::string& party, std::string& token) {
  std::lock_guard lock(m_mutex);
  m_parties.push_back(party);
  if (!m_placeable) {
    token.clear();
    return false;
  }
  token = "call-" + std::to_string(++m_next);
  m_live[token];
  m_last = token;
  return true;
}

bool FakeCalls::ClearCall(const std::string& token) {
  std::lock_guard lock(m_mutex);
  m_clears.push_back(token);
  return m_live.count(token) != 0;
}

bool FakeCalls::HasConnection(const std::string& token) {
  std::lock_guard lock(m_mutex);
  return m_live.count(token) != 0;
}

bool FakeCalls::SendUserInput(const std::string& token, const std::string&) {
  std::lock_guard lock(m_mutex);
  return m_live.count(token) != 0;
}

std::optional<CSignalLevels> FakeCalls::GetSignalLevels(const std::string& token) {
  std::lock_guard lock(m_mutex);
  if (m_live.count(token) == 0) return std::nullopt;
  return m_levels;
}

std::optional<bool> FakeCalls::TogglePause(const std::string& token, bool fromRemote) {
  std::lock_guard lock(m_mutex);
  auto call = m_live.find(token);
  if (call == m_live.end()) return std::nullopt;
  bool& paused = fromRemote ? call->second.receivePaused : call->second.transmitPaused;
  paused = !paused;
  return paused;
}

void FakeCalls::SetPlaceable(bool placeable) {
  std::lock_guard lock(m_mutex);
  m_placeable = placeable;
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
  return m_last;
}
