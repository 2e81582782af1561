#pragma once

#include <mutex>
#include <utility>

// A value that several threads read and write; each access takes the value's own lock, so no
// reader ever sees it half replaced. Get returns a copy.
template <typename T>
class Guarded {
 public:
  Guarded() = default;
  explicit Guarded(T value) : m_value(std::move(value)) {}
  Guarded(const Guarded&) = delete;
  Guarded& operator=(const Guarded&) = delete;

  T Get() const {
    std::lock_guard lock(m_mutex);
    return m_value;
  }
  void Set(T value) {
    std::lock_guard lock(m_mutex);
    m_value = std::move(value);
  }
  Guarded& operator=(T value) {
    Set(std::move(value));
    return *this;
  }

 private:
  mutable std::mutex m_mutex;
  T m_value{};
};
