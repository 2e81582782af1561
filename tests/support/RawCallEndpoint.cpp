#include "tests/support/RawCallEndpoint.h"

#include "stack/asn/Defaults.h"
#include "stack/asn/Per.h"
#include "stack/asn/generated/H225.h"

#include <array>

namespace vantro::test {

using asio::ip::tcp;
using asn::Value;
namespace h225 = asn::h225;

namespace {

asn::Ipv4Address AddressOf(const tcp::endpoint& e) {
  return {e.address().to_v4().to_bytes(), e.port()};
}

tcp::endpoint EndpointOf(const asn::Ipv4Address& a) { return {asio::ip::address_v4(a.ip), a.port}; }

}  // namespace

RawCallEndpoint::RawCallEndpoint()
    : acceptor_(io_, tcp::endpoint(asio::ip::address_v4::loopback(), 0)),
      h245Acceptor_(io_, tcp::endpoint(asio::ip::address_v4::loopback(), 0)), socket_(io_), h245_(io_) {}

asn::Ipv4Address RawCallEndpoint::ListenAddress() const { return AddressOf(acceptor_.local_endpoint()); }

asn::Ipv4Address RawCallEndpoint::H245ListenAddress() const { return AddressOf(h245Acceptor_.local_endpoint()); }

asn::Ipv4Address RawCallEndpoint::LocalAddress() const {
  std::error_code ec;
  auto local = socket_.local_endpoint(ec);
  return ec ? asn::Ipv4Address{} : AddressOf(local);
}

bool RawCallEndpoint::RunUntil(const bool& done, Duration wait) {
  const auto deadline = std::chrono::steady_clock::now() + wait;
  io_.restart();
  while (!done) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) break;
    io_.run_one_for(deadline - now);
  }
  if (!done) {
    // Whatever is still pending ends now, so that nothing runs into the next wait.
    std::error_code ignored;
    socket_.cancel(ignored);
    h245_.cancel(ignored);
    acceptor_.cancel(ignored);
    h245Acceptor_.cancel(ignored);
    io_.restart();
    io_.poll();
  }
  return done;
}

bool RawCallEndpoint::Register(std::uint16_t rasPort, const std::string& alias, Duration wait) {
  using R = h225::RegistrationRequest;
  asio::ip::udp::socket ras(io_, asio::ip::udp::endpoint(asio::ip::address_v4::loopback(), 0));
  Value message(h225::RasMessage::Id);
  Value& rrq = message.select(h225::RasMessage::registrationRequest);
  rrq.field(R::requestSeqNum).setInteger(1);
  rrq.field(R::protocolIdentifier).setOid(asn::kH225ProtocolIdentifier);
  rrq.field(R::discoveryComplete).setBoolean(false);
  asn::setIpv4(rrq.field(R::callSignalAddress).append(), ListenAddress());
  asn::setIpv4(rrq.field(R::rasAddress).append(), {{127, 0, 0, 1}, ras.local_endpoint().port()});
  rrq.field(R::terminalType).field(h225::EndpointType::terminal);
  asn::setAlias(rrq.field(R::terminalAlias).append(), alias);
  rrq.field(R::keepAlive).setBoolean(false);
  asn::completeMandatory(message);
  auto bytes = asn::encode(message);
  if (!bytes) return false;
  ras.send_to(asio::buffer(*bytes), asio::ip::udp::endpoint(asio::ip::address_v4::loopback(), rasPort));
  std::array<std::uint8_t, 2048> buffer{};
  asio::ip::udp::endpoint from;
  bool done = false, confirmed = false;
  std::function<void()> receive = [&] {
    ras.async_receive_from(asio::buffer(buffer), from, [&](std::error_code ec, std::size_t n) {
      if (ec) return;
      auto answer = asn::decode(h225::RasMessage::Id, {buffer.data(), n});
      if (answer && (answer->is(h225::RasMessage::registrationConfirm) || answer->is(h225::RasMessage::registrationReject))) {
        confirmed = answer->is(h225::RasMessage::registrationConfirm);
        done = true;
        return;
      }
      receive();
    });
  };
  receive();
  RunUntil(done, wait);
  std::error_code ignored;
  ras.close(ignored);
  io_.restart();
  io_.poll();
  return confirmed;
}

bool RawCallEndpoint::Complete(const std::function<void(std::function<void(std::error_code)>)>& start, Duration wait) {
  bool done = false;
  std::error_code result;
  start([&](std::error_code ec) {
    result = ec;
    done = true;
  });
  return RunUntil(done, wait) && !result;
}

bool RawCallEndpoint::Accept(Duration wait) {
  Close();
  return Complete([this](auto handler) { acceptor_.async_accept(socket_, handler); }, wait);
}

bool RawCallEndpoint::Connect(const asn::Ipv4Address& to, Duration wait) {
  Close();
  return Complete([this, to](auto handler) { socket_.async_connect(EndpointOf(to), handler); }, wait);
}

void RawCallEndpoint::Close() {
  std::error_code ignored;
  socket_.close(ignored);
  reader_ = {};
  ended_ = false;
}

bool RawCallEndpoint::Send(const q931::Q931Message& message) {
  auto packet = q931::tpktFrame(message.encode());
  return packet && SendRaw(*packet);
}

bool RawCallEndpoint::SendRaw(const std::vector<std::uint8_t>& octets) {
  std::error_code ec;
  asio::write(socket_, asio::buffer(octets), ec);
  return !ec;
}

std::optional<q931::Q931Message> RawCallEndpoint::Receive(Duration wait) {
  std::vector<std::uint8_t> payload;
  bool done = false;
  std::array<std::uint8_t, 4096> buffer{};
  std::function<void()> read = [&] {
    if (reader_.next(payload) == q931::TpktReader::Status::Packet) {
      done = true;
      return;
    }
    if (ended_ || reader_.failed()) return;
    socket_.async_read_some(asio::buffer(buffer), [&](std::error_code ec, std::size_t n) {
      if (ec == asio::error::operation_aborted) return;  // the wait ran out
      if (ec) {
        ended_ = true;
        return;
      }
      reader_.feed({buffer.data(), n});
      read();
    });
  };
  read();
  if (!RunUntil(done, wait)) return std::nullopt;
  return q931::Q931Message::decode(payload);
}

bool RawCallEndpoint::WaitForClose(Duration wait) {
  std::array<std::uint8_t, 4096> buffer{};
  std::function<void()> read = [&] {
    if (ended_) return;
    socket_.async_read_some(asio::buffer(buffer), [&](std::error_code ec, std::size_t) {
      if (ec == asio::error::operation_aborted) return;  // the wait ran out
      if (ec)
        ended_ = true;
      else
        read();
    });
  };
  read();
  return RunUntil(ended_, wait);
}

bool RawCallEndpoint::AcceptH245(Duration wait) {
  return Complete([this](auto handler) { h245Acceptor_.async_accept(h245_, handler); }, wait);
}

bool RawCallEndpoint::ConnectH245(const asn::Ipv4Address& to, Duration wait) {
  return Complete([this, to](auto handler) { h245_.async_connect(EndpointOf(to), handler); }, wait);
}

bool RawCallEndpoint::SendH245(const std::vector<std::uint8_t>& octets) {
  std::error_code ec;
  asio::write(h245_, asio::buffer(octets), ec);
  return !ec;
}

std::optional<std::vector<std::uint8_t>> RawCallEndpoint::ReceiveH245(std::size_t n, Duration wait) {
  std::vector<std::uint8_t> octets(n);
  const bool read = Complete(
      [this, &octets](auto handler) {
        asio::async_read(h245_, asio::buffer(octets), [handler](std::error_code ec, std::size_t) { handler(ec); });
      },
      wait);
  if (!read) return std::nullopt;
  return octets;
}

Value MakeUserInformation(std::uint16_t body, const std::string& callIdentifier, bool tunnelling) {
  Value uuie(h225::H323_UserInformation::Id);
  Value& pdu = uuie.field(h225::H323_UserInformation::h323_uu_pdu);
  Value& message = pdu.field(h225::H323_UU_PDU::h323_message_body).select(body);
  if (const int i = message.indexOf("protocolIdentifier"); i >= 0)
    message.field(static_cast<std::uint16_t>(i)).setOid(asn::kH225ProtocolIdentifier);
  if (const int i = message.indexOf("callIdentifier"); i >= 0)
    message.field(static_cast<std::uint16_t>(i)).field(h225::CallIdentifier::guid).setBytes(callIdentifier);
  pdu.field(h225::H323_UU_PDU::h245Tunneling).setBoolean(tunnelling);
  asn::completeMandatory(uuie);
  return uuie;
}

Value& BodyOf(Value& uuie) {
  return uuie.field(h225::H323_UserInformation::h323_uu_pdu).field(h225::H323_UU_PDU::h323_message_body).alternative();
}

const Value& BodyOf(const Value& uuie) {
  return uuie[h225::H323_UserInformation::h323_uu_pdu][h225::H323_UU_PDU::h323_message_body].alternative();
}

q931::Q931Message MakeCallMessage(std::uint8_t type, std::uint16_t callReference, bool fromDestination,
                                  const Value& userInformation) {
  q931::Q931Message message(type, callReference, fromDestination);
  if (auto bytes = asn::encode(userInformation)) message.setUserUser(*bytes);
  return message;
}

std::optional<Value> UserInformationOf(const q931::Q931Message& message) {
  auto octets = message.userUser();
  if (!octets) return std::nullopt;
  auto decoded = asn::decode(h225::H323_UserInformation::Id, *octets);
  if (!decoded) return std::nullopt;
  return std::move(*decoded);
}

}  // namespace vantro::test
