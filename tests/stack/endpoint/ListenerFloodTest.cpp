// A thousand junk, truncated, wrong, empty or idle connections to the call signalling listener:
// the endpoint still answers calls, its memory has not grown much, every socket is closed again.

#include "tests/stack/endpoint/TestPhone.h"
#include "tests/support/ProcessCounters.h"
#include "tests/support/TestGatekeeper.h"

#include <gtest/gtest.h>

#include <random>

namespace vantro::test {
namespace {

#ifndef __has_feature  // GCC before 14
#define __has_feature(x) 0
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__) || __has_feature(address_sanitizer) || \
    __has_feature(thread_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

// One call from caller to callee, answered and cleared; the callee's calls so far.
void CallOnce(TestPhone& caller, TestPhone& callee, std::size_t calls) {
  std::string token;
  ASSERT_TRUE(caller.MakeCall("5550200@", token));
  ASSERT_TRUE(caller.WaitFor([&] { return callee.Established().size() == calls; }));
  caller.ClearCall(token);
  ASSERT_TRUE(callee.WaitCleared(calls));
}

TEST(ListenerFlood, AThousandJunkConnectionsLeaveTheEndpointAnsweringWithNothingLeaked) {
  TestGatekeeper gk;
  TestPhone caller("5550100", 440, 45000), callee("5550200", 1000, 45400);
  endpoint::CallTimings timings = TestCallTimings();
  timings.idleConnectionTimeout = 300ms;
  callee.SetCallTimings(timings);
  ASSERT_TRUE(caller.Register(gk.Address()));
  ASSERT_TRUE(callee.Register(gk.Address()));
  const auto at = *callee.GetListenerAddress();
  const asio::ip::tcp::endpoint to(asio::ip::address_v4::loopback(), at.port);
  asio::io_context io;

  // One call first, so that whatever a call sets up once is there before the counting starts.
  ASSERT_NO_FATAL_FAILURE(CallOnce(caller, callee, 1));
  std::this_thread::sleep_for(300ms);
  {
    asio::ip::tcp::socket s(io);  // the test's own reactor, made on first use, is not the endpoint's
    s.open(asio::ip::tcp::v4());
  }
  const std::size_t descriptors = OpenDescriptors();
  const std::size_t memory = ResidentKilobytes();

  std::mt19937 random(11);
  std::vector<asio::ip::tcp::socket> idle;
  for (int i = 0; i < 1000; ++i) {
    asio::ip::tcp::socket s(io);
    std::error_code ec;
    s.connect(to, ec);
    ASSERT_FALSE(ec) << i << ": " << ec.message();
    // Junk, a TPKT that promises more than comes, a whole message that is no Setup, nothing and
    // closed, nothing and left open (a hundred of them at once).
    std::vector<std::uint8_t> bytes;
    if (i % 5 == 0)
      for (int j = 0; j < 200; ++j) bytes.push_back(static_cast<std::uint8_t>(random()));
    if (i % 5 == 1) bytes = {3, 0, 0x7f, 0xff, 8, 2, 0, 1, 5};
    if (i % 5 == 2) bytes = {3, 0, 0, 9, 0x08, 0x02, 0x00, 0x01, 0x7d};
    if (i % 5 == 4 && idle.size() < 100) {
      idle.push_back(std::move(s));
      continue;
    }
    if (!bytes.empty()) asio::write(s, asio::buffer(bytes), ec);
    s.close(ec);
  }
  // The endpoint closes the idle ones: at the idle timeout, or at once beyond what may wait.
  std::size_t closedByEndpoint = 0;
  for (auto& s : idle) {
    s.non_blocking(false);
    char c;
    std::error_code ec;
    s.read_some(asio::buffer(&c, 1), ec);
    if (ec) ++closedByEndpoint;
  }
  EXPECT_EQ(closedByEndpoint, idle.size());
  idle.clear();

  ASSERT_NO_FATAL_FAILURE(CallOnce(caller, callee, 2));  // still answering
  EXPECT_EQ(callee.ClearedCalls().size(), 2u);           // the junk never became a call

  EXPECT_TRUE(caller.WaitFor([&] { return OpenDescriptors() <= descriptors; }, 5s))
      << OpenDescriptors() - descriptors << " descriptors more than before (ls -l /proc/PID/fd tells which)";
  // A sanitizer keeps freed memory aside (ASan's quarantine, TSan's shadow), so the bound means
  // something in the plain build only; the sanitizers look for the leaks themselves.
  if (!kSanitized) {
    EXPECT_LT(ResidentKilobytes(), memory + 8 * 1024) << "resident memory grew from " << memory << " kB";
  }
}

}  // namespace
}  // namespace vantro::test
