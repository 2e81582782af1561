#pragma once
// The password authentication of one endpoint towards its gatekeeper: which methods it offers in
// gatekeeper discovery, which the gatekeeper chose, and the tokens each outgoing RAS message carries.
//
// With a password, the discovery request offers the MD5 password hash, CAT and H.235.1 procedure I.
// A gatekeeper that names one of them in its confirm gets that one; a gatekeeper that names none
// gets all three in every message that any of them protects, so that gatekeepers which check tokens
// without announcing it find the one they know:
//   MD5 password hash: registration, unregistration, admission, bandwidth, disengage requests and
//                      information responses;
//   CAT:               registration and admission requests;
//   procedure I:       every message but the discovery ones.

#include "stack/asn/Value.h"
#include "stack/h235/H235AuthProcedure1.h"
#include "stack/h235/H235Crypto.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <vector>

namespace vantro::h235 {

class H235Authenticators {
 public:
  enum Method : unsigned { Md5 = 1, Cat = 2, Procedure1 = 4, AllMethods = 7 };

  H235Authenticators();

  // An empty password turns authentication off.
  void SetPassword(std::string password) { password_ = std::move(password); }
  const std::string& Password() const { return password_; }
  bool IsActive() const { return !password_.empty(); }

  // The methods in use: all three until a gatekeeper confirm narrows them.
  unsigned Methods() const { return methods_; }
  void SetMethods(unsigned methods) { methods_ = methods & AllMethods; }

  // Seconds since 1970 for the time stamps (the system clock unless a test sets another).
  void SetClock(std::function<std::uint32_t()> clock) { clock_ = std::move(clock); }

  // Puts the mechanisms and algorithms offered into a GatekeeperRequest body.
  void SetCapabilities(asn::Value& grq) const;
  // Takes the gatekeeper's choice from a GatekeeperConfirm body.
  void SelectFromConfirm(const asn::Value& gcf);

  // Who the tokens name.
  struct Identities {
    std::string alias;         // the local user name
    std::string endpointId;    // assigned by the gatekeeper; empty before registration
    std::string gatekeeperId;  // empty when the gatekeeper gave none
  };

  // Adds the tokens a RasMessage of its kind carries. The message is then encoded with Encode.
  struct Pending {
    std::optional<H235AuthProcedure1::Hash> marker;
  };
  Pending AddTokens(asn::Value& rasMessage, const Identities& ids);

  // Encodes a RasMessage prepared by AddTokens, with the procedure I hash in place. nullopt when
  // the message cannot be encoded.
  std::optional<std::vector<std::uint8_t>> Encode(const asn::Value& rasMessage, const Pending& pending) const;

  // A received RasMessage: when a password is in use and the message carries a procedure I token,
  // the token must have been made with the password, whichever method the gatekeeper chose.
  // Messages without tokens are Absent (gatekeepers need not sign what they send).
  TokenCheck CheckReceived(const asn::Value& rasMessage, std::span<const std::uint8_t> encoded) const;

 private:
  std::string password_;
  unsigned methods_ = AllMethods;
  std::function<std::uint32_t()> clock_;
  std::uint8_t catRandom_ = 0;
  std::uint32_t procedure1Random_ = 0;
  std::mt19937 markers_;
};

}  // namespace vantro::h235
