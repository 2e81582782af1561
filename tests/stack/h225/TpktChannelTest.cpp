// The TPKT channel on a real connection (the reader's splits and joins are TpktTest's): a stream that
// is not TPKT, a far end that stops reading, handing a connection over with what it already read,
// and a goodbye that does not lose the last message.

#include "stack/h225/TpktChannel.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>

namespace vantro::h225 {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

class TpktChannelTest : public ::testing::Test {
 protected:
  TpktChannelTest() : acceptor_(io_, {asio::ip::address_v4::loopback(), 0}), peer_(io_) {
    work_.emplace(asio::make_work_guard(io_));
    thread_ = std::thread([this] { io_.run(); });
  }
  ~TpktChannelTest() override {
    work_.reset();
    io_.stop();
    thread_.join();
  }

  template <class F>
  auto OnStrand(asio::any_io_executor strand, F fn) -> decltype(fn()) {
    std::packaged_task<decltype(fn())()> task(std::move(fn));
    auto result = task.get_future();
    asio::post(strand, [&task] { task(); });
    return result.get();
  }

  // A channel connected to the test's raw socket, not started yet.
  std::shared_ptr<TpktChannel> Connect() {
    auto strand = asio::make_strand(io_);
    auto channel = std::make_shared<TpktChannel>(strand);
    const asio::ip::tcp::endpoint at = acceptor_.local_endpoint();
    std::promise<std::error_code> connected;
    OnStrand(strand, [&] {
      channel->Connect({at.address().to_v4().to_bytes(), at.port()}, 2s,
                       [&](std::error_code ec) { connected.set_value(ec); });
      return 0;
    });
    acceptor_.accept(peer_);
    EXPECT_FALSE(connected.get_future().get());
    return channel;
  }

  // A channel connected to the test's raw socket, started with handlers that record.
  std::shared_ptr<TpktChannel> Connected() {
    auto channel = Connect();
    OnStrand(channel->GetExecutor(), [&] {
      channel->Start([this](Bytes p) { Got(std::move(p)); }, [this](std::error_code ec) { Closed(ec); });
      return 0;
    });
    return channel;
  }

  void Got(Bytes p) {
    std::lock_guard lock(mutex_);
    packets_.push_back(std::move(p));
    changed_.notify_all();
  }
  void Closed(std::error_code ec) {
    std::lock_guard lock(mutex_);
    closes_.push_back(ec);
    changed_.notify_all();
  }
  bool WaitFor(std::function<bool()> pred) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, 5s, pred);
  }
  void PeerWrite(const Bytes& b) { asio::write(peer_, asio::buffer(b)); }

  asio::io_context io_;
  std::optional<asio::executor_work_guard<asio::io_context::executor_type>> work_;
  std::thread thread_;
  asio::ip::tcp::acceptor acceptor_;
  asio::ip::tcp::socket peer_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Bytes> packets_;
  std::vector<std::error_code> closes_;
};

TEST_F(TpktChannelTest, MessagesArriveWholeAndOneCloseEndsTheStream) {
  auto channel = Connected();
  PeerWrite({3, 0, 0, 6, 0xa1, 0xa2, 3, 0, 0, 4, 3, 0, 0, 5, 0xb1});  // with a keep-alive between
  ASSERT_TRUE(WaitFor([&] { return packets_.size() == 2; }));
  EXPECT_EQ(packets_[0], (Bytes{0xa1, 0xa2}));
  EXPECT_EQ(packets_[1], (Bytes{0xb1}));

  // What we send goes framed.
  OnStrand(channel->GetExecutor(), [&] { return channel->Send(Bytes{1, 2, 3}); });
  Bytes got(7);
  asio::read(peer_, asio::buffer(got));
  EXPECT_EQ(got, (Bytes{3, 0, 0, 7, 1, 2, 3}));
  EXPECT_FALSE(OnStrand(channel->GetExecutor(), [&] { return channel->Send(Bytes(70000)); }));  // beyond a TPKT

  // The far end closes: one close, end of stream.
  peer_.close();
  ASSERT_TRUE(WaitFor([&] { return !closes_.empty(); }));
  EXPECT_EQ(closes_[0], asio::error::eof);
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(closes_.size(), 1u);
}

TEST_F(TpktChannelTest, AStreamThatIsNotTpktEndsTheChannel) {
  auto channel = Connected();
  PeerWrite({'G', 'E', 'T', ' ', '/', ' ', 'H', 'T', 'T', 'P'});
  ASSERT_TRUE(WaitFor([&] { return !closes_.empty(); }));
  EXPECT_EQ(closes_[0], asio::error::invalid_argument);
  EXPECT_TRUE(packets_.empty());
  EXPECT_FALSE(OnStrand(channel->GetExecutor(), [&] { return channel->IsOpen(); }));
}

TEST_F(TpktChannelTest, AHandOverKeepsWhatCameWithTheFirstMessage) {
  auto channel = Connect();
  std::shared_ptr<TpktChannel> moved;
  std::promise<void> handedOver;
  OnStrand(channel->GetExecutor(), [&] {
    channel->Start(
        [&](Bytes p) {
          Got(std::move(p));
          channel->Pause();
          moved = channel->MoveTo(asio::make_strand(io_));
          handedOver.set_value();
        },
        [](std::error_code) {});
    return 0;
  });
  PeerWrite({3, 0, 0, 5, 1, 3, 0, 0, 5, 2, 3, 0, 0, 5, 3});
  handedOver.get_future().get();
  ASSERT_TRUE(moved);
  EXPECT_EQ(packets_.size(), 1u);
  OnStrand(moved->GetExecutor(), [&] {
    moved->Start([this](Bytes p) { Got(std::move(p)); }, [this](std::error_code ec) { Closed(ec); });
    return 0;
  });
  PeerWrite({3, 0, 0, 5, 4});
  ASSERT_TRUE(WaitFor([&] { return packets_.size() == 4; }));
  for (std::uint8_t i = 0; i < 4; ++i) EXPECT_EQ(packets_[i], Bytes{static_cast<std::uint8_t>(i + 1)});
  // The connection itself is the same: what the new owner sends arrives.
  OnStrand(moved->GetExecutor(), [&] { return moved->Send(Bytes{9}); });
  Bytes got(5);
  asio::read(peer_, asio::buffer(got));
  EXPECT_EQ(got.back(), 9);
}

TEST_F(TpktChannelTest, AGracefulEndDeliversTheLastMessage) {
  auto channel = Connected();
  OnStrand(channel->GetExecutor(), [&] {
    channel->Send(Bytes(1000, 0x5a));
    channel->Shutdown();
    return 0;
  });
  Bytes got(1004);
  asio::read(peer_, asio::buffer(got));
  EXPECT_EQ(got[3], 0xec);
  char c;
  std::error_code ec;
  peer_.read_some(asio::buffer(&c, 1), ec);
  EXPECT_EQ(ec, asio::error::eof);
  peer_.close();
  std::this_thread::sleep_for(50ms);
  EXPECT_TRUE(closes_.empty());  // no handler after Shutdown
}

TEST_F(TpktChannelTest, AFarEndThatDoesNotReadEndsTheChannelInsteadOfFillingMemory) {
  auto channel = Connected();
  const Bytes big(60000, 0x11);
  for (int i = 0; i < 400; ++i) {
    OnStrand(channel->GetExecutor(), [&] { return channel->Send(big); });
    std::lock_guard lock(mutex_);
    if (!closes_.empty()) break;
  }
  ASSERT_TRUE(WaitFor([&] { return !closes_.empty(); }));
  EXPECT_EQ(closes_[0], asio::error::no_buffer_space);
  EXPECT_LE(OnStrand(channel->GetExecutor(), [&] { return channel->Backlog(); }),
            TpktChannel::kMaxBacklog + big.size());
}

}  // namespace
}  // namespace vantro::h225
