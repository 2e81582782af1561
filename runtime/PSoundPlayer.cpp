#include "runtime/PSoundPlayer.h"

#include "runtime/PSoundChannel.h"

PSoundPlayer::PSoundPlayer() = default;

PSoundPlayer::~PSoundPlayer() {
  {
    std::lock_guard lock(m_mutex);
    m_quit = true;
    m_queue.clear();
    if (m_current) m_current->Abort();
  }
  m_wake.notify_all();
  if (m_thread.joinable()) m_thread.join();
}

PSoundPlayer& PSoundPlayer::Instance() {
  static PSoundPlayer player;
  return player;
}

bool PSoundPlayer::Play(PSound sound, const std::string& device) {
  {
    std::lock_guard lock(m_mutex);
    if (m_quit || m_queue.size() >= kMaxWaiting) return false;
    m_queue.push_back(Item{std::move(sound), device});
    if (!m_thread.joinable()) m_thread = std::thread([this] { Run(); });
  }
  m_wake.notify_all();
  return true;
}

void PSoundPlayer::Stop() {
  std::lock_guard lock(m_mutex);
  m_queue.clear();
  ++m_stops;
  if (m_current) m_current->Abort();
  m_current.reset();
}

bool PSoundPlayer::WaitIdle(std::chrono::milliseconds timeout) {
  std::unique_lock lock(m_mutex);
  return m_idle.wait_for(lock, timeout, [this] { return m_queue.empty() && !m_busy; });
}

unsigned PSoundPlayer::GetPlayedCount() const {
  std::lock_guard lock(m_mutex);
  return m_played;
}

void PSoundPlayer::Run() {
  std::unique_lock lock(m_mutex);
  for (;;) {
    m_wake.wait(lock, [this] { return m_quit || !m_queue.empty(); });
    if (m_quit) break;
    Item item = std::move(m_queue.front());
    m_queue.pop_front();
    m_busy = true;
    const unsigned generation = m_stops;
    std::shared_ptr<PSoundChannel> channel = m_current;
    lock.unlock();

    // Keep the device open from one sound to the next; a channel cut short is not reused.
    if (channel && (!channel->IsOpen() || channel->GetDeviceName() != item.device)) channel.reset();
    if (!channel) {
      channel = std::make_shared<PSoundChannel>();
      channel->SetMediaRole("event");
      lock.lock();
      m_current = channel;
      // A Stop since this sound was taken applies to it too.
      const bool cancelled = m_quit || generation != m_stops;
      lock.unlock();
      if (!cancelled) channel->Open(item.device, PSoundChannel::Player);
    }
    // A channel that did not open plays nothing and is dropped below.
    const bool played = channel->IsOpen() && channel->PlaySound(item.sound, true);

    lock.lock();
    if (played) ++m_played;
    // Stop forgets the channel it cut short; otherwise it is kept only while sounds wait.
    const bool keep = played && !m_queue.empty() && m_current == channel;
    if (!keep) {
      if (m_current == channel) m_current.reset();
      lock.unlock();
      channel.reset();  // closes outside the lock
      lock.lock();
    }
    m_busy = !m_queue.empty();
    if (!m_busy) m_idle.notify_all();
  }
  m_current.reset();
  m_busy = false;
  m_idle.notify_all();
}
