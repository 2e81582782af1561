#pragma once
// A call signalling endpoint for tests, without a call state machine: it registers with a
// gatekeeper by a bare RAS exchange, listens on 127.0.0.1, connects, and sends and receives
// Q.931 messages (TPKT framed) or raw octets exactly as the test says. Every wait has a deadline,
// so a test that goes wrong fails instead of hanging. One thread: the test's.

#include "stack/asn/H323Values.h"
#include "stack/asn/Value.h"
#include "stack/q931/Q931Message.h"
#include "stack/q931/Tpkt.h"

#include <asio.hpp>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vantro::test {

class RawCallEndpoint {
 public:
  using Duration = std::chrono::milliseconds;

  RawCallEndpoint();
  RawCallEndpoint(const RawCallEndpoint&) = delete;
  RawCallEndpoint& operator=(const RawCallEndpoint&) = delete;

  // The listening address (127.0.0.1 and a port of the system's choice).
  asn::Ipv4Address ListenAddress() const;
  // Registers alias with the gatekeeper at 127.0.0.1:rasPort, naming the listening address as
  // call signalling address; true on a confirm.
  bool Register(std::uint16_t rasPort, const std::string& alias, Duration wait = Duration(2000));

  // One connection at a time: accepted on the listener or made to an address.
  bool Accept(Duration wait = Duration(2000));
  bool Connect(const asn::Ipv4Address& to, Duration wait = Duration(2000));
  asn::Ipv4Address LocalAddress() const;
  void Close();

  bool Send(const q931::Q931Message& message);
  bool SendRaw(const std::vector<std::uint8_t>& octets);
  // The next Q.931 message; nullopt when the time runs out, the connection ends or what came is not Q.931.
  std::optional<q931::Q931Message> Receive(Duration wait = Duration(2000));
  // True when the far end closes the connection within the wait (anything that comes first is dropped).
  bool WaitForClose(Duration wait = Duration(2000));

  // Raw octets on a separate connection (H.245): a listener of its own, and the connection made
  // to it or from it.
  asn::Ipv4Address H245ListenAddress() const;
  bool AcceptH245(Duration wait = Duration(2000));
  bool ConnectH245(const asn::Ipv4Address& to, Duration wait = Duration(2000));
  bool SendH245(const std::vector<std::uint8_t>& octets);
  // Exactly n octets, or nullopt.
  std::optional<std::vector<std::uint8_t>> ReceiveH245(std::size_t n, Duration wait = Duration(2000));

 private:
  bool RunUntil(const bool& done, Duration wait);
  // Starts one operation, handing it its completion, and waits for that; true when it succeeded.
  bool Complete(const std::function<void(std::function<void(std::error_code)>)>& start, Duration wait);

  asio::io_context io_;
  asio::ip::tcp::acceptor acceptor_;
  asio::ip::tcp::acceptor h245Acceptor_;
  asio::ip::tcp::socket socket_;
  asio::ip::tcp::socket h245_;
  q931::TpktReader reader_;
  bool ended_ = false;
};

// H323-UserInformation of one message body (an H323_UU_PDU_h323_message_body alternative), its
// protocol identifier and call identifier set and the rest completed; h245Tunneling as given.
asn::Value MakeUserInformation(std::uint16_t body, const std::string& callIdentifier, bool tunnelling = false);
// The message body inside an H323-UserInformation.
asn::Value& BodyOf(asn::Value& userInformation);
const asn::Value& BodyOf(const asn::Value& userInformation);
// A Q.931 message carrying the H323-UserInformation.
q931::Q931Message MakeCallMessage(std::uint8_t type, std::uint16_t callReference, bool fromDestination,
                                  const asn::Value& userInformation);
// The H323-UserInformation a Q.931 message carries (nullopt when none or undecodable).
std::optional<asn::Value> UserInformationOf(const q931::Q931Message& message);

}  // namespace vantro::test
