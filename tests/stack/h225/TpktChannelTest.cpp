// The TPKT channel where the call tests do not reach it: handing a connection over with what it
// already read, a far end that stops reading. (Junk streams are the listener flood test's, the
// reader's splits TpktTest's, the last message before a goodbye the refused calls'.)

#include "stack/h225/TpktChannel.h"
#include "tests/support/Recorder.h"

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
  // Runs fn on the channel's strand and waits for it.
  template <class F>
  auto On(const std::shared_ptr<TpktChannel>& channel, F fn) -> decltype(fn()) {
    std::packaged_task<decltype(fn())()> task(std::move(fn));
    auto result = task.get_future();
    asio::post(channel->GetExecutor(), [&task] { task(); });
    return result.get();
  }
  // A channel connected to the test's raw socket, started with handlers that record unless
  // onPacket is given.
  std::shared_ptr<TpktChannel> Connected(std::function<void(Bytes)> onPacket = {}) {
    auto channel = std::make_shared<TpktChannel>(asio::make_strand(io_));
    const asio::ip::tcp::endpoint at = acceptor_.local_endpoint();
    std::promise<std::error_code> connected;
    On(channel, [&] {
      channel->Connect({at.address().to_v4().to_bytes(), at.port()}, 2s,
                       [&](std::error_code ec) { connected.set_value(ec); });
      return 0;
    });
    acceptor_.accept(peer_);
    EXPECT_FALSE(connected.get_future().get());
    Start(channel, onPacket ? onPacket : Keep());
    return channel;
  }
  void Start(const std::shared_ptr<TpktChannel>& channel, std::function<void(Bytes)> onPacket) {
    On(channel, [&] {
      channel->Start(std::move(onPacket),
                     [this](std::error_code ec) { recorder_.Write([&] { closes_.push_back(ec); }); });
      return 0;
    });
  }
  // Keeps each packet the channel hands over.
  std::function<void(Bytes)> Keep() {
    return [this](Bytes p) { recorder_.Write([&] { packets_.push_back(std::move(p)); }); };
  }

  asio::io_context io_;
  std::optional<asio::executor_work_guard<asio::io_context::executor_type>> work_;
  std::thread thread_;
  asio::ip::tcp::acceptor acceptor_;
  asio::ip::tcp::socket peer_;
  test::Recorder recorder_;
  std::vector<Bytes> packets_;
  std::vector<std::error_code> closes_;
};

TEST_F(TpktChannelTest, AHandOverKeepsWhatCameWithTheFirstMessage) {
  std::shared_ptr<TpktChannel> channel, moved;
  std::promise<void> handedOver;
  channel = Connected([&](Bytes p) {
    Keep()(std::move(p));
    channel->Pause();
    moved = channel->MoveTo(asio::make_strand(io_));
    handedOver.set_value();
  });
  asio::write(peer_, asio::buffer(Bytes{3, 0, 0, 5, 1, 3, 0, 0, 5, 2, 3, 0, 0, 5, 3}));
  handedOver.get_future().get();
  ASSERT_TRUE(moved);
  EXPECT_EQ(packets_.size(), 1u);
  Start(moved, Keep());
  asio::write(peer_, asio::buffer(Bytes{3, 0, 0, 5, 4}));
  ASSERT_TRUE(recorder_.WaitFor([&] { return recorder_.Read(packets_).size() == 4; }, 5s));
  for (std::uint8_t i = 0; i < 4; ++i) EXPECT_EQ(packets_[i], Bytes{static_cast<std::uint8_t>(i + 1)});
  // The connection itself is the same: what the new owner sends arrives, framed.
  On(moved, [&] { return moved->Send(Bytes{9}); });
  Bytes got(5);
  asio::read(peer_, asio::buffer(got));
  EXPECT_EQ(got, (Bytes{3, 0, 0, 5, 9}));
}

TEST_F(TpktChannelTest, AFarEndThatDoesNotReadEndsTheChannelInsteadOfFillingMemory) {
  auto channel = Connected();
  EXPECT_FALSE(On(channel, [&] { return channel->Send(Bytes(70000)); }));  // beyond a TPKT
  const Bytes big(60000, 0x11);
  for (int i = 0; i < 400; ++i) {
    On(channel, [&] { return channel->Send(big); });
    if (!recorder_.Read(closes_).empty()) break;
  }
  ASSERT_TRUE(recorder_.WaitFor([&] { return !recorder_.Read(closes_).empty(); }, 5s));
  EXPECT_EQ(closes_[0], asio::error::no_buffer_space);
  EXPECT_LE(On(channel, [&] { return channel->Backlog(); }), TpktChannel::kMaxBacklog + big.size());
}

}  // namespace
}  // namespace vantro::h225
