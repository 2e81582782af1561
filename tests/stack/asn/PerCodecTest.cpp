// The PER engine on the forms of X.691 one by one, with encodings worked out by hand from the
// standard's rules, on our own test module (tools/asn1gen/PerTest.asn).

#include "stack/asn/BitReader.h"
#include "stack/asn/BitWriter.h"
#include "stack/asn/Defaults.h"
#include "stack/asn/Per.h"
#include "stack/asn/Text.h"
#include "stack/asn/generated/H235.h"
#include "stack/asn/generated/PerTest.h"
#include "tests/stack/CaptureVectors.h"

#include <gtest/gtest.h>

namespace vantro::asn {
namespace {

using test::fromHex;
using test::toHex;

std::string hexOf(const Value& v) {
  Result<std::vector<std::uint8_t>> r = Encode(v);
  EXPECT_TRUE(r.Ok()) << (r.Ok() ? "" : r.Error().Message());
  return r.Ok() ? toHex(*r) : std::string();
}

Value roundTrip(const Value& v) {
  Result<std::vector<std::uint8_t>> bytes = Encode(v);
  EXPECT_TRUE(bytes.Ok()) << (bytes.Ok() ? "" : bytes.Error().Message());
  Result<Value> back = Decode(v.Type(), *bytes);
  EXPECT_TRUE(back.Ok()) << (back.Ok() ? "" : back.Error().Message());
  EXPECT_TRUE(*back == v) << ToText(*back) << "\nwas\n" << ToText(v);
  return *back;
}

TEST(PerPrimitives, WholeNumbersAndLengthsFollowTheAlignedRules) {
  BitWriter w;
  w.Constrained(5, 8);               // 3 bits: 101
  w.Constrained(200, 256);           // aligned octet
  w.Constrained(1000, 65536);        // aligned two octets
  w.Constrained(70000, 1ull << 32);  // 2-bit octet count (3 -> 10), aligned 01 11 70
  w.SemiConstrained(0);              // length 1, octet 0
  w.Unconstrained(-1);               // length 1, ff
  w.Unconstrained(128);              // length 2, 00 80
  w.Length(200);                     // 80 c8
  w.SmallNumber(5);                  // 0 000101
  w.SmallNumber(64);                 // 1, then aligned length 1, 40
  EXPECT_EQ(toHex(w.Finish()), "a0c803e880011170010001ff02008080c80b0140");
}

TEST(PerPrimitives, ReaderRefusesToReadPastTheEnd) {
  std::vector<std::uint8_t> data{0xff};
  BitReader r(data);
  std::uint64_t v;
  EXPECT_TRUE(r.Bits(7, v));
  EXPECT_FALSE(r.Bits(2, v));
  std::size_t n;
  bool fragment;
  std::vector<std::uint8_t> bad{0xc5};  // fragment of 5 x 16K: not allowed
  BitReader r2(bad);
  EXPECT_FALSE(r2.Length(n, fragment));
  EXPECT_TRUE(r2.Malformed());
}

TEST(PerCodec, IntegersOfEveryConstraintKind) {
  Value v(pertest::Numbers::Id);
  v.Field(pertest::Numbers::small).SetInteger(5);
  v.Field(pertest::Numbers::octet).SetInteger(200);
  v.Field(pertest::Numbers::twoOctets).SetInteger(1000);
  v.Field(pertest::Numbers::wide).SetInteger(70000);
  v.Field(pertest::Numbers::negative).SetInteger(-100);
  v.Field(pertest::Numbers::semi).SetInteger(10);
  v.Field(pertest::Numbers::whole).SetInteger(-1);
  v.Field(pertest::Numbers::flexible).SetInteger(3);
  v.Field(pertest::Numbers::fixed).SetInteger(5);
  // 101 | c8 | 03e8 | 10 011170 | 00 (-100-(-100) in 8 bits) | 01 00 | 01 ff | 0 0010 (in root)
  EXPECT_EQ(hexOf(v), "a0c803e88001117000010001ff10");
  roundTrip(v);

  v.Field(pertest::Numbers::flexible).SetInteger(1000);  // outside the root: 1, then unconstrained
  Value back = roundTrip(v);
  EXPECT_EQ(back[pertest::Numbers::flexible].Integer(), 1000);

  v.Field(pertest::Numbers::small).SetInteger(8);
  Result<std::vector<std::uint8_t>> r = Encode(v);
  ASSERT_FALSE(r.Ok());
  EXPECT_EQ(r.Error().code, Errc::OutOfRange);
  EXPECT_NE(r.Error().where.find("small"), std::string::npos);
}

TEST(PerCodec, EnumeratedRootIsSortedByValueAndAdditionsAreSmallNumbers) {
  Value c(pertest::Colour::Id);
  c.SetEnumerated(pertest::Colour::red);  // values green 0, blue 1, red 2: index 2 -> 0 10
  EXPECT_EQ(hexOf(c), "40");
  c.SetEnumerated(pertest::Colour::violet);  // 1, small number 0
  EXPECT_EQ(hexOf(c), "80");
  // An enumerator a newer peer added decodes and encodes back unchanged.
  Result<Value> later = Decode(pertest::Colour::Id, fromHex("82"));
  ASSERT_TRUE(later.Ok());
  EXPECT_EQ(later->Enumerated(), 5);
  EXPECT_EQ(hexOf(*later), "82");
}

TEST(PerCodec, CharacterStringsUseTheirAlphabetsAndAlignment) {
  Value s(pertest::Strings::Id);
  s.Field(pertest::Strings::digits).SetText("12");  // 3-bit length 1, 4-bit chars 0010 0011
  s.Field(pertest::Strings::printable).SetText("A");
  s.Field(pertest::Strings::visible).SetText("hi");
  s.Field(pertest::Strings::bmp).SetText("\xc3\xa9t\xc3\xa9");  // "été": UTF-16 code units
  s.Field(pertest::Strings::dial).SetText("*12#");
  s.Field(pertest::Strings::tone).SetText("B");
  s.Field(pertest::Strings::code).SetText("ab12");
  s.Field(pertest::Strings::general).SetText("any");
  Value back = roundTrip(s);
  EXPECT_EQ(back[pertest::Strings::bmp].Text(), "\xc3\xa9t\xc3\xa9");
  EXPECT_EQ(back[pertest::Strings::bmp].Bytes(), std::string("\0\xe9\0t\0\xe9", 6));

  Value digits(pertest::Strings::Id);
  CompleteMandatory(digits);
  digits.Field(pertest::Strings::digits).SetText("12");
  // 001 (length 2), aligned as 8 x 4 bits exceed 16, then 0010 0011 (' ' is 0)
  EXPECT_EQ(hexOf(digits).substr(0, 4), "2023");

  s.Field(pertest::Strings::dial).SetText("12a");
  Result<std::vector<std::uint8_t>> r = Encode(s);
  ASSERT_FALSE(r.Ok());
  EXPECT_EQ(r.Error().code, Errc::BadCharacter);
  s.Field(pertest::Strings::dial).SetText("");
  EXPECT_EQ(Encode(s).Error().code, Errc::OutOfRange);
}

TEST(PerCodec, BitAndOctetStringsOfFixedAndVariableSize) {
  Value b(pertest::Bits::Id);
  std::vector<std::uint8_t> key(8, 0xa5);
  b.Field(pertest::Bits::flags).SetBits(std::vector<std::uint8_t>{0x81}, 8);
  b.Field(pertest::Bits::key).SetBits(key, 64);
  b.Field(pertest::Bits::free).SetBits(std::vector<std::uint8_t>{0xe0}, 3);
  b.Field(pertest::Bits::bounded).SetBits(std::vector<std::uint8_t>{}, 0);
  // 81 (8 bits, no alignment) | aligned key | length 3, 111 aligned | 7-bit length 0
  EXPECT_EQ(hexOf(b), "81a5a5a5a5a5a5a5a503e000");
  EXPECT_EQ(roundTrip(b)[pertest::Bits::free].BitLength(), 3u);

  Value o(pertest::Octets::Id);
  o.Field(pertest::Octets::one).SetBytes("\x01");
  o.Field(pertest::Octets::two).SetBytes("\x02\x03");
  o.Field(pertest::Octets::guid).SetBytes(std::string(16, '\x10'));
  o.Field(pertest::Octets::bounded).SetBytes("xy");
  o.Field(pertest::Octets::flexible).SetBytes("abcdef");  // beyond 1..4: extension bit set
  o.Field(pertest::Octets::free).SetBytes("");
  Value back = roundTrip(o);
  EXPECT_EQ(back[pertest::Octets::flexible].Bytes(), "abcdef");
  EXPECT_EQ(hexOf(o).substr(0, 6), "010203");
}

TEST(PerCodec, LongValuesAreFragmentedIn16KPieces) {
  Value o(pertest::Octets::Id);
  CompleteMandatory(o);
  std::string big(70000, 'z');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7);
  o.Field(pertest::Octets::free).SetBytes(big);
  std::vector<std::uint8_t> bytes = *Encode(o);
  // 64K in one fragment (c4), then the rest (4464 = 0x1170) with a two-octet length.
  std::string hex = toHex(bytes);
  std::size_t at = hex.find("c4");
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(hex.substr(at + 2 + 65536 * 2, 4), "9170");
  EXPECT_EQ(roundTrip(o)[pertest::Octets::free].Bytes(), big);

  // Exactly 16K elements: one fragment and a final empty length.
  Value l(pertest::Lists::Id);
  CompleteMandatory(l);
  for (int i = 0; i < 16384; ++i) l.Field(pertest::Lists::many).Append().SetInteger(i % 256);
  std::string lh = hexOf(l);
  EXPECT_NE(lh.find("c1"), std::string::npos);
  EXPECT_EQ(roundTrip(l)[pertest::Lists::many].Size(), 16384u);
}

TEST(PerCodec, SetWithDefaultExtensionAdditionsAndGroups) {
  Value r(pertest::Record::Id);
  r.Field(pertest::Record::id).SetInteger(7);
  EXPECT_EQ(hexOf(r), "000007");  // no extension, no optionals, aligned 0007
  r.Field(pertest::Record::mode).SetEnumerated(pertest::Colour::blue);
  r.Field(pertest::Record::weight).SetInteger(500);
  r.Field(pertest::Record::last).SetBoolean(true);
  Value back = roundTrip(r);
  EXPECT_FALSE(back.Has(pertest::Record::unit));
  EXPECT_EQ(back[pertest::Record::weight].Integer(), 500);
  // A group with a mandatory member absent cannot be sent.
  r.Remove(pertest::Record::weight);
  r.Field(pertest::Record::unit).SetText("kg");
  EXPECT_EQ(Encode(r).Error().code, Errc::Missing);
}

TEST(PerCodec, UnknownAdditionsAndAlternativesPassThrough) {
  // Record from a newer peer: bitmap of 6 additions, the 6th (unknown to us) present.
  BitWriter w;
  w.Bit(true);   // extended
  w.Bits(0, 2);  // label, mode absent
  w.Align();
  w.Bits(9, 16);  // id
  w.SmallLength(6);
  w.Bits(0b000001, 6);
  w.Length(2);
  w.Octets("\xab\xcd");
  std::vector<std::uint8_t> bytes = w.Finish();
  Result<Value> v = Decode(pertest::Record::Id, bytes);
  ASSERT_TRUE(v.Ok()) << v.Error().Message();
  ASSERT_EQ(v->UnknownExtensions().size(), 1u);
  EXPECT_EQ(v->UnknownExtensions()[0].index, 6);
  EXPECT_EQ(toHex(*Encode(*v)), toHex(bytes));

  // Shape alternative 5 (an addition we do not know).
  Result<Value> s = Decode(pertest::Shape::Id, fromHex("830100"));
  ASSERT_TRUE(s.Ok()) << s.Error().Message();
  EXPECT_TRUE(s->IsUnknownAlternative());
  EXPECT_EQ(s->Choice(), 5);
  EXPECT_EQ(toHex(*Encode(*s)), "830100");
}

TEST(PerCodec, ChoicesListsAndOpenTypes) {
  Value shape(pertest::Shape::Id);
  shape.Select(pertest::Shape::circle).SetInteger(1000);
  EXPECT_EQ(hexOf(shape), "4003e8");  // root, index 1 (1 bit), then 1000 in two aligned octets
  Value& poly = shape.Select(pertest::Shape::polygon);
  poly.Append().SetInteger(-5);
  poly.Append().SetInteger(300);
  roundTrip(shape);

  Value single(pertest::Single::Id);
  single.Select(pertest::Single::only).SetInteger(3);
  EXPECT_EQ(hexOf(single), "c0");  // no index for a lone alternative

  Value lists(pertest::Lists::Id);
  CompleteMandatory(lists);
  EXPECT_EQ(lists[pertest::Lists::pair].Size(), 2u);
  lists.Field(pertest::Lists::few).Append().SetEnumerated(pertest::Colour::blue);
  lists.Field(pertest::Lists::nulls).Append();
  lists.Field(pertest::Lists::nulls).Append();
  roundTrip(lists);
  lists.Field(pertest::Lists::pair).Append();
  EXPECT_EQ(Encode(lists).Error().code, Errc::OutOfRange);

  Value wrapped(pertest::Wrapped::Id);
  wrapped.Field(pertest::Wrapped::id).SetOid({0, 0, 8, 2250, 0, 7});
  wrapped.Field(pertest::Wrapped::body).Contained().Field(pertest::Record::id).SetInteger(1);
  Value back = roundTrip(wrapped);
  EXPECT_EQ(back[pertest::Wrapped::id].OidText(), "0.0.8.2250.0.7");
  EXPECT_EQ(back.Find("body.id")->Integer(), 1);
}

TEST(PerCodec, HostileInputEndsInAnErrorNotACrash) {
  // Nesting without end: each Tree holds one child.
  BitWriter w;
  for (int i = 0; i < 200; ++i) {
    w.Bit(true);
    w.Align();
    w.Bits(1, 8);
    w.Length(1);
  }
  Result<Value> deep = Decode(pertest::Tree::Id, w.Finish());
  ASSERT_FALSE(deep.Ok());
  EXPECT_EQ(deep.Error().code, Errc::TooDeep);

  // A list of NULLs claiming 4 x 64K elements over and over, in a few octets.
  BitWriter l;
  l.Bits(0, 8);  // pair
  l.Bits(0, 6);  // few: in root, one element, green
  l.Length(0);   // many
  for (int i = 0; i < 64; ++i) {
    l.Align();
    l.Bits(0xc4, 8);
  }
  Result<Value> many = Decode(pertest::Lists::Id, l.Finish());
  ASSERT_FALSE(many.Ok());
  EXPECT_EQ(many.Error().code, Errc::TooLarge);

  // A general length (upper bound of 64K or more) below the lower bound of the size: a key of
  // 8 bits where 2049 to 65536 are allowed.
  Result<Value> key = Decode(h235::DHsetExt::Id, fromHex("0008ff"));
  ASSERT_FALSE(key.Ok());
  EXPECT_EQ(key.Error().code, Errc::BadLength);

  // Lengths beyond the input.
  std::string octets = "010203";
  for (int i = 0; i < 16; ++i) octets += "10";
  EXPECT_EQ(Decode(pertest::Octets::Id, fromHex(octets + "0005ff")).Error().code, Errc::Truncated);
  EXPECT_EQ(Decode(pertest::Octets::Id, fromHex(octets + "02ff")).Error().code, Errc::BadLength);
}

TEST(PerCodec, ValueMisuseIsAProgrammingError) {
  Value v(pertest::Numbers::Id);
  EXPECT_THROW(v.Select(0), std::logic_error);
  EXPECT_THROW(v.Field(99), std::logic_error);
  EXPECT_THROW(v[pertest::Numbers::small], std::logic_error);
  EXPECT_THROW(v.Field(pertest::Numbers::small).SetText("x"), std::logic_error);
  EXPECT_EQ(v.Find("small"), &v[pertest::Numbers::small]);
  Value record(pertest::Record::Id);
  EXPECT_THROW(record.Set(pertest::Record::mode, Value(pertest::Shape::Id)), std::logic_error);
  Value number(pertest::Numbers::Id);
  number.Set(pertest::Numbers::octet, Value(v[pertest::Numbers::small].Type()).SetInteger(300));
  EXPECT_EQ(Encode(number).Error().code, Errc::Missing);
  CompleteMandatory(number);
  EXPECT_EQ(Encode(number).Error().code, Errc::OutOfRange);  // 300 does not fit 0..255
  EXPECT_EQ(v.Find("nothing"), nullptr);
}

}  // namespace
}  // namespace vantro::asn
