#pragma once
// A UDP relay on 127.0.0.1 that loses, duplicates, delays by a random amount (which reorders) and
// holds back packets, by a seeded random generator, keeping a copy of every datagram it was given.

#include <asio.hpp>

#include <chrono>
#include <cstdint>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

namespace vantro::test {

struct Impairment {
  double loss = 0;       // probability of a packet being lost
  double duplicate = 0;  // of being sent twice
  double holdBack = 0;   // of being held back behind the next ones
  std::chrono::milliseconds holdBackBy{35};
  std::chrono::milliseconds jitter{0};  // each packet is delayed by 0 to this (uniform)
};

class UdpImpairmentRelay {
 public:
  using Endpoint = asio::ip::udp::endpoint;
  // Forwards what comes to Address() on to target.
  explicit UdpImpairmentRelay(const Endpoint& target, unsigned seed = 1);
  ~UdpImpairmentRelay();

  Endpoint Address() const { return address_; }
  void SetImpairment(const Impairment& impairment);
  std::vector<std::vector<std::uint8_t>> Received() const;
  std::uint64_t Lost() const;

 private:
  void Receive();
  void Forward(std::vector<std::uint8_t> datagram, std::chrono::microseconds delay);

  asio::io_context io_;
  asio::ip::udp::socket socket_;
  Endpoint target_, address_, from_;
  std::vector<std::uint8_t> buffer_ = std::vector<std::uint8_t>(65536);
  mutable std::mutex mutex_;
  Impairment impairment_;
  std::mt19937 random_;
  std::vector<std::vector<std::uint8_t>> received_;
  std::uint64_t lost_ = 0;
  std::thread thread_;
};

}  // namespace vantro::test
