// How much a hostile message can make the decoder allocate: a datagram of a kilobyte that claims
// tens of thousands of elements, or that packs more values than any real message does, fails
// with TooLarge having allocated little. This program counts the bytes allocated through operator
// new while a decode runs.

#include "stack/asn/Defaults.h"
#include "stack/asn/H323Values.h"
#include "stack/asn/Per.h"
#include "stack/asn/generated/H225.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

namespace {

bool counting = false;
std::size_t live = 0;
std::size_t peak = 0;

// Each block carries its size and whether it was counted, ahead of what the caller gets.
constexpr std::size_t kHeader = 2 * sizeof(std::max_align_t);

void* Allocate(std::size_t n) {
  auto* base = static_cast<unsigned char*>(std::malloc(n + kHeader));
  if (!base) throw std::bad_alloc();
  auto* header = reinterpret_cast<std::size_t*>(base);
  header[0] = n;
  header[1] = counting;
  if (counting) {
    live += n;
    peak = std::max(peak, live);
  }
  return base + kHeader;
}

void Free(void* p) noexcept {
  if (!p) return;
  auto* base = static_cast<unsigned char*>(p) - kHeader;
  auto* header = reinterpret_cast<std::size_t*>(base);
  if (header[1]) live -= header[0];
  std::free(base);
}

}  // namespace

void* operator new(std::size_t n) { return Allocate(n); }
void* operator new[](std::size_t n) { return Allocate(n); }
void operator delete(void* p) noexcept { Free(p); }
void operator delete[](void* p) noexcept { Free(p); }
void operator delete(void* p, std::size_t) noexcept { Free(p); }
void operator delete[](void* p, std::size_t) noexcept { Free(p); }

namespace vantro::asn {
namespace {

struct Decoded {
  Result<Value> result;
  std::size_t peakBytes;
};

Decoded DecodeCounting(const std::vector<std::uint8_t>& bytes) {
  live = peak = 0;
  counting = true;
  Result<Value> result = Decode(h225::RasMessage::Id, bytes);
  counting = false;
  return {std::move(result), peak};
}

std::vector<std::uint8_t> Encoded(Value& message) {
  CompleteMandatory(message);
  auto bytes = Encode(message);
  if (!bytes) ADD_FAILURE() << bytes.Error().Message();
  return bytes ? *bytes : std::vector<std::uint8_t>{};
}

// A discovery request whose list of alternate endpoints has n empty elements.
std::vector<std::uint8_t> DiscoveryWithEndpoints(std::size_t n) {
  Value message(h225::RasMessage::Id);
  Value& grq = message.Select(h225::RasMessage::gatekeeperRequest);
  grq.Field(h225::GatekeeperRequest::protocolIdentifier).SetOid(kH225ProtocolIdentifier);
  SetIpv4(grq.Field(h225::GatekeeperRequest::rasAddress), {{127, 0, 0, 1}, 1719});
  for (std::size_t i = 0; i < n; ++i) grq.Field(h225::GatekeeperRequest::alternateEndpoints).Append();
  return Encoded(message);
}

TEST(PerBudget, HostileKilobytesFailWithLittleMemory) {
  // 16384 call signalling addresses announced (one fragment, in the root), cut after a kilobyte.
  Value rrq(h225::RasMessage::Id);
  Value& body = rrq.Select(h225::RasMessage::registrationRequest);
  body.Field(h225::RegistrationRequest::protocolIdentifier).SetOid(kH225ProtocolIdentifier);
  for (int i = 0; i < 16384; ++i)
    SetIpv4(body.Field(h225::RegistrationRequest::callSignalAddress).Append(), {{127, 0, 0, 1}, 1720});
  std::vector<std::uint8_t> claiming = Encoded(rrq);
  ASSERT_GT(claiming.size(), 1024u);
  claiming.resize(1024);
  // As many empty endpoints as a kilobyte holds: about ten bits each, twenty values each.
  std::size_t n = 1;
  while (DiscoveryWithEndpoints(n * 2).size() <= 1024) n *= 2;
  while (DiscoveryWithEndpoints(n + 16).size() <= 1024) n += 16;
  const std::vector<std::uint8_t> dense = DiscoveryWithEndpoints(n);
  ASSERT_LE(dense.size(), 1024u);
  const std::pair<std::vector<std::uint8_t>, std::size_t> rows[] = {{claiming, 64u * 1024}, {dense, 1024u * 1024}};
  for (const auto& [bytes, limit] : rows) {
    const Decoded d = DecodeCounting(bytes);
    ASSERT_FALSE(d.result.Ok());
    EXPECT_EQ(d.result.Error().code, Errc::TooLarge) << d.result.Error().Message();
    EXPECT_LT(d.peakBytes, limit) << "decoding took " << d.peakBytes << " bytes";
    EXPECT_LE(d.peakBytes, ValueBudget(bytes.size()) * sizeof(Value) * 3 / 2);
  }
}

}  // namespace
}  // namespace vantro::asn
