#include "platform/CTurnOrder.h"

uint64_t CTurnOrder::Take() {
  std::lock_guard lock(m_mutex);
  return m_nextTicket++;
}

bool CTurnOrder::Wait(uint64_t ticket) {
  std::unique_lock lock(m_mutex);
  m_changed.wait(lock, [&] { return m_bCancelled || m_turn >= ticket; });
  return !m_bCancelled;
}

void CTurnOrder::Done(uint64_t ticket) {
  std::lock_guard lock(m_mutex);
  if (ticket != m_turn) {
    if (ticket > m_turn) m_doneEarly.insert(ticket);
    return;
  }
  ++m_turn;
  while (!m_doneEarly.empty() && *m_doneEarly.begin() == m_turn) {
    m_doneEarly.erase(m_doneEarly.begin());
    ++m_turn;
  }
  m_changed.notify_all();
}

void CTurnOrder::Cancel() {
  std::lock_guard lock(m_mutex);
  m_bCancelled = true;
  m_changed.notify_all();
}
