#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <set>

// Lets worker threads that are started one after the other do their work in the order they were
// started: the starter takes a ticket for each, and each worker waits for its turn before its work
// and passes the turn on after it.
class CTurnOrder {
 public:
  // The next ticket, in the order of the calls.
  uint64_t Take();
  // Blocks until every earlier ticket is done, or Cancel. False when cancelled.
  bool Wait(uint64_t ticket);
  // The ticket's work is done (or will never be: a worker that did not start). Later tickets may
  // go on once every earlier one is done too.
  void Done(uint64_t ticket);
  // Every wait, now and later, returns at once.
  void Cancel();

 private:
  std::mutex m_mutex;
  std::condition_variable m_changed;
  uint64_t m_nextTicket = 0;
  uint64_t m_turn = 0;             // the ticket whose turn it is
  std::set<uint64_t> m_doneEarly;  // done before their turn came
  bool m_bCancelled = false;
};
