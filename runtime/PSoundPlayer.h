#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "runtime/PSound.h"

class PSoundChannel;

// Plays short sounds in the background (clicks, beeps): Play returns at once and a thread of the
// player's own plays the sounds one after another, each to its end. While sounds follow one another
// the device stays open; it is closed when nothing is left to play. Sounds that come faster than
// they can be played are dropped once a few are waiting, so a burst never turns into a long tail.
class PSoundPlayer {
 public:
  static constexpr size_t kMaxWaiting = 4;

  PSoundPlayer();
  ~PSoundPlayer();  // drops what waits, cuts the sound playing short, and ends the thread

  PSoundPlayer(const PSoundPlayer&) = delete;
  PSoundPlayer& operator=(const PSoundPlayer&) = delete;

  // The process's player.
  static PSoundPlayer& Instance();

  // Queues a sound for the device ("" = default). False when it was dropped.
  bool Play(PSound sound, const std::string& device = {});

  // Drops what waits and cuts the sound playing short.
  void Stop();

  // Waits until nothing waits or plays; false when the time ran out first.
  bool WaitIdle(std::chrono::milliseconds timeout);

  // Sounds played to their end so far.
  unsigned GetPlayedCount() const;

 private:
  struct Item {
    PSound sound;
    std::string device;
  };
  void Run();

  mutable std::mutex m_mutex;
  std::condition_variable m_wake;
  std::condition_variable m_idle;
  std::deque<Item> m_queue;
  bool m_busy = false;
  bool m_quit = false;
  unsigned m_played = 0;
  unsigned m_stops = 0;                      // Stop calls so far
  std::shared_ptr<PSoundChannel> m_current;  // the open channel, so that Stop can cut it short
  std::thread m_thread;
};
