#pragma once

#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "h323/CDialerCalls.h"

// The call operations of an endpoint without a network, for tests of the window: calls are tokens
// that live until the test ends them; the test sends the window's events itself. Thread-safe.
class FakeCalls : public CDialerCalls {
 public:
  bool MakeCall(const std::string& party, std::string& token) override;
  bool ClearCall(const std::string& token) override;
  bool HasConnection(const std::string& token) override;
  bool SendUserInput(const std::string& token, const std::string& value) override;
  std::optional<CSignalLevels> GetSignalLevels(const std::string& token) override;
  std::optional<bool> TogglePause(const std::string& token, bool fromRemote) override;

  void SetLevels(const CSignalLevels& levels);  // what every live call reports
  void End(const std::string& token);           // its cleared event is the test's to send

  std::vector<std::string> Parties() const;        // MakeCall's parties, in order
  std::vector<std::string> ClearRequests() const;  // ClearCall's tokens, in order
  std::string LastToken() const;

 private:
  bool Live(const std::string& token) const { return m_live.count(token) != 0; }

  mutable std::mutex m_mutex;
  CSignalLevels m_levels;
  std::set<std::string> m_live, m_paused;  // m_paused: token + direction
  std::vector<std::string> m_parties, m_clears;
};
