#include "tests/support/RecordingEvents.h"

void RecordingEvents::OnRegistering() { Note("registering"); }
void RecordingEvents::OnRegistered() { Note("registered"); }
void RecordingEvents::OnRegistrationFailed(const std::string& message) { Note("failed " + message); }
void RecordingEvents::OnCallAlerting(const std::string& token) { Note("alerting " + token); }
void RecordingEvents::OnCallEstablished(const std::string& token, bool incoming, const std::string& remoteNumber) {
  Note("established " + token + (incoming ? " in " : " out ") + remoteNumber);
}

void RecordingEvents::OnCallCleared(const std::string& token, bool established) {
  Note("cleared " + token + (established ? " 1" : " 0"));
}

void RecordingEvents::OnBalanceRefresh(bool running) { Note(running ? "balance start" : "balance end"); }
void RecordingEvents::OnBalance(const std::string& text, const std::string& pin, const std::string& serial) {
  Note("balance " + text + "|" + pin + "|" + serial);
}

std::vector<std::string> RecordingEvents::Events() const {
  std::lock_guard lock(m_mutex);
  return m_events;
}

bool RecordingEvents::WaitFor(const std::function<bool(const std::vector<std::string>&)>& pred,
                              std::chrono::milliseconds limit) const {
  std::unique_lock lock(m_mutex);
  return m_changed.wait_for(lock, limit, [&] { return pred(m_events); });
}

void RecordingEvents::Note(std::string event) {
  std::lock_guard lock(m_mutex);
  m_events.push_back(std::move(event));
  m_changed.notify_all();
}
