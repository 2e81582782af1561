// The PER engine on the forms real peers' messages (CaptureTest) do not reach or do not show on
// their own, with encodings worked out by hand from X.691's rules, on our own test module
// (tools/asn1gen/PerTest.asn): constraint kinds, alphabets, additions from newer peers, and
// hostile input.

#include "stack/asn/BitWriter.h"
#include "stack/asn/Defaults.h"
#include "stack/asn/Per.h"
#include "stack/asn/Text.h"
#include "stack/asn/generated/H235.h"
#include "stack/asn/generated/PerTest.h"
#include "tests/stack/CaptureVectors.h"

#include <gtest/gtest.h>

#include <functional>

namespace vantro::asn {
namespace {

using test::FromHex;
using test::ToHex;
namespace p = pertest;

std::string HexOf(const Value& v) {
  Result<std::vector<std::uint8_t>> r = Encode(v);
  EXPECT_TRUE(r.Ok()) << (r.Ok() ? "" : r.Error().Message());
  return r.Ok() ? ToHex(*r) : std::string();
}

Value RoundTrip(const Value& v) {
  Result<Value> back = Decode(v.Type(), *Encode(v));
  EXPECT_TRUE(back.Ok()) << (back.Ok() ? "" : back.Error().Message());
  EXPECT_TRUE(*back == v) << ToText(*back) << "\nwas\n" << ToText(v);
  return *back;
}

Value Numbers(std::int64_t flexible) {
  Value v(p::Numbers::Id);
  const std::int64_t values[] = {5, 200, 1000, 70000, -100, 10, -1, flexible, 5};  // small to fixed, in order
  for (std::uint16_t field = 0; field < std::size(values); ++field) v.Field(field).SetInteger(values[field]);
  return v;
}

Value Strings() {
  Value s(p::Strings::Id);
  s.Field(p::Strings::digits).SetText("12");
  s.Field(p::Strings::printable).SetText("A");
  s.Field(p::Strings::visible).SetText("hi");
  s.Field(p::Strings::bmp).SetText("\xc3\xa9t\xc3\xa9");  // "été": UTF-16 code units
  s.Field(p::Strings::dial).SetText("*12#");
  s.Field(p::Strings::tone).SetText("B");
  s.Field(p::Strings::code).SetText("ab12");
  s.Field(p::Strings::general).SetText("any");
  return s;
}

Value Make(TypeId type, const std::function<void(Value&)>& fill) {
  Value v(type);
  fill(v);
  return v;
}

TEST(PerCodec, EncodesEachFormAsTheRulesSayAndReadsItBack) {
  const struct {
    const char* what;
    Value value;
    std::string hex;
  } rows[] = {
      // 101 | c8 | 03e8 | 10 011170 | 00 (-100-(-100) in 8 bits) | 01 00 | 01 ff | 0 0010 (in root)
      {"integers of every constraint kind", Numbers(3), "a0c803e88001117000010001ff10"},
      {"an integer outside the extensible root", Numbers(1000), "a0c803e88001117000010001ff800203e8"},
      // values green 0, blue 1, red 2: index 2 -> 0 10; violet is an addition: 1, small number 0
      {"enumerated root sorted by value", Make(p::Colour::Id, [](Value& v) { v.SetEnumerated(p::Colour::red); }), "40"},
      {"enumerated addition", Make(p::Colour::Id, [](Value& v) { v.SetEnumerated(p::Colour::violet); }), "80"},
      // 81 (8 bits, no alignment) | aligned key | length 3, 111 aligned | 7-bit length 0
      {"bit strings of fixed and variable size",
       Make(p::Bits::Id,
            [](Value& b) {
              b.Field(p::Bits::flags).SetBits(std::vector<std::uint8_t>{0x81}, 8);
              b.Field(p::Bits::key).SetBits(std::vector<std::uint8_t>(8, 0xa5), 64);
              b.Field(p::Bits::free).SetBits(std::vector<std::uint8_t>{0xe0}, 3);
              b.Field(p::Bits::bounded).SetBits(std::vector<std::uint8_t>{}, 0);
            }),
       "81a5a5a5a5a5a5a5a503e000"},
      {"a choice's root index, then aligned 1000",
       Make(p::Shape::Id, [](Value& v) { v.Select(p::Shape::circle).SetInteger(1000); }), "4003e8"},
      {"no index for a lone alternative",
       Make(p::Single::Id, [](Value& v) { v.Select(p::Single::only).SetInteger(3); }), "c0"},
      {"no extension, no optionals, aligned id",
       Make(p::Record::Id, [](Value& v) { v.Field(p::Record::id).SetInteger(7); }), "000007"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(HexOf(row.value), row.hex) << row.what;
    RoundTrip(row.value);
  }
  // 001 (length 2), aligned as 8 x 4 bits exceed 16, then 0010 0011 (' ' is 0)
  Value digits(p::Strings::Id);
  CompleteMandatory(digits);
  digits.Field(p::Strings::digits).SetText("12");
  EXPECT_EQ(HexOf(digits).substr(0, 4), "2023");
}

// Sequences, choices and lists round trip in the captures; a name beyond ASCII does not.
TEST(PerCodec, BmpStringsRoundTrip) {
  EXPECT_EQ(RoundTrip(Strings())[p::Strings::bmp].Bytes(), std::string("\0\xe9\0t\0\xe9", 6));
}

// What a newer peer adds (an enumerator, an alternative, a component) decodes and encodes back
// unchanged.
TEST(PerCodec, UnknownAdditionsPassThrough) {
  BitWriter w;
  w.Bit(true);   // extended
  w.Bits(0, 2);  // label, mode absent
  w.Align();
  w.Bits(9, 16);  // id
  w.SmallLength(6);
  w.Bits(0b000001, 6);  // the 6th addition, unknown to us
  w.Length(2);
  w.Octets("\xab\xcd");
  const std::pair<TypeId, std::string> rows[] = {
      {p::Colour::Id, "82"}, {p::Shape::Id, "830100"}, {p::Record::Id, ToHex(w.Finish())}};
  for (const auto& [type, hex] : rows) {
    Result<Value> v = Decode(type, FromHex(hex));
    ASSERT_TRUE(v.Ok()) << hex << ": " << v.Error().Message();
    EXPECT_EQ(ToHex(*Encode(*v)), hex);
  }
  EXPECT_EQ(Decode(p::Colour::Id, FromHex("82"))->Enumerated(), 5);
  EXPECT_TRUE(Decode(p::Shape::Id, FromHex("830100"))->IsUnknownAlternative());
}

TEST(PerCodec, HostileInputEndsInAnErrorNotACrash) {
  BitWriter deep;  // nesting without end: each Tree holds one child
  for (int i = 0; i < 200; ++i) {
    deep.Bit(true);
    deep.Align();
    deep.Bits(1, 8);
    deep.Length(1);
  }
  BitWriter many;   // a list of NULLs claiming 4 x 64K elements over and over, in a few octets
  many.Bits(0, 8);  // pair
  many.Bits(0, 6);  // few: in root, one element, green
  many.Length(0);   // many
  for (int i = 0; i < 64; ++i) {
    many.Align();
    many.Bits(0xc4, 8);
  }
  std::string octets = "010203";
  for (int i = 0; i < 16; ++i) octets += "10";
  const struct {
    const char* what;
    TypeId type;
    std::vector<std::uint8_t> bytes;
    Errc error;
  } rows[] = {
      {"nesting without end", p::Tree::Id, deep.Finish(), Errc::TooDeep},
      {"elements without end", p::Lists::Id, many.Finish(), Errc::TooLarge},
      // A general length (upper bound 64K or more) below the size's lower bound: 8 bits of 2049..65536.
      {"a key shorter than its size", h235::DHsetExt::Id, FromHex("0008ff"), Errc::BadLength},
      {"a length beyond the input", p::Octets::Id, FromHex(octets + "0005ff"), Errc::Truncated},
      {"a length outside the size", p::Octets::Id, FromHex(octets + "02ff"), Errc::BadLength},
  };
  for (const auto& row : rows) {
    Result<Value> v = Decode(row.type, row.bytes);
    ASSERT_FALSE(v.Ok()) << row.what;
    EXPECT_EQ(v.Error().code, row.error) << row.what << ": " << v.Error().Message();
  }
}

}  // namespace
}  // namespace vantro::asn
