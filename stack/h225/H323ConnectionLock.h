#pragma once
// What FindConnectionWithLock returns: the connection, kept alive and locked until the handle goes
// (or Unlock). The stack's thread takes the same lock only for short work, so a user thread may
// hold it briefly; it must not wait for the stack's thread meanwhile.

#include "stack/h225/H323Connection.h"

#include <memory>
#include <mutex>

namespace vantro::endpoint {

class H323ConnectionLock {
 public:
  H323ConnectionLock() = default;
  explicit H323ConnectionLock(std::shared_ptr<H323Connection> connection)
      : connection_(std::move(connection)),
        lock_(connection_ ? std::unique_lock(connection_->GetMutex()) : std::unique_lock<std::recursive_mutex>()) {}
  H323ConnectionLock(H323ConnectionLock&&) noexcept = default;
  H323ConnectionLock& operator=(H323ConnectionLock&& other) noexcept {
    Unlock();
    connection_ = std::move(other.connection_);
    lock_ = std::move(other.lock_);
    return *this;
  }
  ~H323ConnectionLock() { Unlock(); }

  explicit operator bool() const { return connection_ != nullptr; }
  H323Connection* operator->() const { return connection_.get(); }
  H323Connection& operator*() const { return *connection_; }
  H323Connection* Get() const { return connection_.get(); }

  // Unlocks and lets the connection go.
  void Unlock() {
    if (lock_.owns_lock()) lock_.unlock();
    lock_ = {};
    connection_.reset();
  }

 private:
  std::shared_ptr<H323Connection> connection_;  // first: the lock goes before the connection
  std::unique_lock<std::recursive_mutex> lock_;
};

}  // namespace vantro::endpoint
