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
  Result<std::vector<std::uint8_t>> r = encode(v);
  EXPECT_TRUE(r.ok()) << (r.ok() ? "" : r.error().message());
  return r.ok() ? toHex(*r) : std::string();
}

Value roundTrip(const Value& v) {
  Result<std::vector<std::uint8_t>> bytes = encode(v);
  EXPECT_TRUE(bytes.ok()) << (bytes.ok() ? "" : bytes.error().message());
  Result<Value> back = decode(v.type(), *bytes);
  EXPECT_TRUE(back.ok()) << (back.ok() ? "" : back.error().message());
  EXPECT_TRUE(*back == v) << toText(*back) << "\nwas\n" << toText(v);
  return *back;
}

TEST(PerPrimitives, WholeNumbersAndLengthsFollowTheAlignedRules) {
  BitWriter w;
  w.constrained(5, 8);               // 3 bits: 101
  w.constrained(200, 256);           // aligned octet
  w.constrained(1000, 65536);        // aligned two octets
  w.constrained(70000, 1ull << 32);  // 2-bit octet count (3 -> 10), aligned 01 11 70
  w.semiConstrained(0);              // length 1, octet 0
  w.unconstrained(-1);               // length 1, ff
  w.unconstrained(128);              // length 2, 00 80
  w.length(200);                     // 80 c8
  w.smallNumber(5);                  // 0 000101
  w.smallNumber(64);                 // 1, then aligned length 1, 40
  EXPECT_EQ(toHex(w.finish()), "a0c803e880011170010001ff02008080c80b0140");
}

TEST(PerPrimitives, ReaderRefusesToReadPastTheEnd) {
  std::vector<std::uint8_t> data{0xff};
  BitReader r(data);
  std::uint64_t v;
  EXPECT_TRUE(r.bits(7, v));
  EXPECT_FALSE(r.bits(2, v));
  std::size_t n;
  bool fragment;
  std::vector<std::uint8_t> bad{0xc5};  // fragment of 5 x 16K: not allowed
  BitReader r2(bad);
  EXPECT_FALSE(r2.length(n, fragment));
  EXPECT_TRUE(r2.malformed());
}

TEST(PerCodec, IntegersOfEveryConstraintKind) {
  Value v(pertest::Numbers::Id);
  v.field(pertest::Numbers::small).setInteger(5);
  v.field(pertest::Numbers::octet).setInteger(200);
  v.field(pertest::Numbers::twoOctets).setInteger(1000);
  v.field(pertest::Numbers::wide).setInteger(70000);
  v.field(pertest::Numbers::negative).setInteger(-100);
  v.field(pertest::Numbers::semi).setInteger(10);
  v.field(pertest::Numbers::whole).setInteger(-1);
  v.field(pertest::Numbers::flexible).setInteger(3);
  v.field(pertest::Numbers::fixed).setInteger(5);
  // 101 | c8 | 03e8 | 10 011170 | 00 (-100-(-100) in 8 bits) | 01 00 | 01 ff | 0 0010 (in root)
  EXPECT_EQ(hexOf(v), "a0c803e88001117000010001ff10");
  roundTrip(v);

  v.field(pertest::Numbers::flexible).setInteger(1000);  // outside the root: 1, then unconstrained
  Value back = roundTrip(v);
  EXPECT_EQ(back[pertest::Numbers::flexible].integer(), 1000);

  v.field(pertest::Numbers::small).setInteger(8);
  Result<std::vector<std::uint8_t>> r = encode(v);
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error().code, Errc::OutOfRange);
  EXPECT_NE(r.error().where.find("small"), std::string::npos);
}

TEST(PerCodec, EnumeratedRootIsSortedByValueAndAdditionsAreSmallNumbers) {
  Value c(pertest::Colour::Id);
  c.setEnumerated(pertest::Colour::red);  // values green 0, blue 1, red 2: index 2 -> 0 10
  EXPECT_EQ(hexOf(c), "40");
  c.setEnumerated(pertest::Colour::violet);  // 1, small number 0
  EXPECT_EQ(hexOf(c), "80");
  // An enumerator a newer peer added decodes and encodes back unchanged.
  Result<Value> later = decode(pertest::Colour::Id, fromHex("82"));
  ASSERT_TRUE(later.ok());
  EXPECT_EQ(later->enumerated(), 5);
  EXPECT_EQ(hexOf(*later), "82");
}

TEST(PerCodec, CharacterStringsUseTheirAlphabetsAndAlignment) {
  Value s(pertest::Strings::Id);
  s.field(pertest::Strings::digits).setText("12");  // 3-bit length 1, 4-bit chars 0010 0011
  s.field(pertest::Strings::printable).setText("A");
  s.field(pertest::Strings::visible).setText("hi");
  s.field(pertest::Strings::bmp).setText("\xc3\xa9t\xc3\xa9");  // "été": UTF-16 code units
  s.field(pertest::Strings::dial).setText("*12#");
  s.field(pertest::Strings::tone).setText("B");
  s.field(pertest::Strings::code).setText("ab12");
  s.field(pertest::Strings::general).setText("any");
  Value back = roundTrip(s);
  EXPECT_EQ(back[pertest::Strings::bmp].text(), "\xc3\xa9t\xc3\xa9");
  EXPECT_EQ(back[pertest::Strings::bmp].bytes(), std::string("\0\xe9\0t\0\xe9", 6));

  Value digits(pertest::Strings::Id);
  completeMandatory(digits);
  digits.field(pertest::Strings::digits).setText("12");
  // 001 (length 2), aligned as 8 x 4 bits exceed 16, then 0010 0011 (' ' is 0)
  EXPECT_EQ(hexOf(digits).substr(0, 4), "2023");

  s.field(pertest::Strings::dial).setText("12a");
  Result<std::vector<std::uint8_t>> r = encode(s);
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error().code, Errc::BadCharacter);
  s.field(pertest::Strings::dial).setText("");
  EXPECT_EQ(encode(s).error().code, Errc::OutOfRange);
}

TEST(PerCodec, BitAndOctetStringsOfFixedAndVariableSize) {
  Value b(pertest::Bits::Id);
  std::vector<std::uint8_t> key(8, 0xa5);
  b.field(pertest::Bits::flags).setBits(std::vector<std::uint8_t>{0x81}, 8);
  b.field(pertest::Bits::key).setBits(key, 64);
  b.field(pertest::Bits::free).setBits(std::vector<std::uint8_t>{0xe0}, 3);
  b.field(pertest::Bits::bounded).setBits(std::vector<std::uint8_t>{}, 0);
  // 81 (8 bits, no alignment) | aligned key | length 3, 111 aligned | 7-bit length 0
  EXPECT_EQ(hexOf(b), "81a5a5a5a5a5a5a5a503e000");
  EXPECT_EQ(roundTrip(b)[pertest::Bits::free].bitLength(), 3u);

  Value o(pertest::Octets::Id);
  o.field(pertest::Octets::one).setBytes("\x01");
  o.field(pertest::Octets::two).setBytes("\x02\x03");
  o.field(pertest::Octets::guid).setBytes(std::string(16, '\x10'));
  o.field(pertest::Octets::bounded).setBytes("xy");
  o.field(pertest::Octets::flexible).setBytes("abcdef");  // beyond 1..4: extension bit set
  o.field(pertest::Octets::free).setBytes("");
  Value back = roundTrip(o);
  EXPECT_EQ(back[pertest::Octets::flexible].bytes(), "abcdef");
  EXPECT_EQ(hexOf(o).substr(0, 6), "010203");
}

TEST(PerCodec, LongValuesAreFragmentedIn16KPieces) {
  Value o(pertest::Octets::Id);
  completeMandatory(o);
  std::string big(70000, 'z');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7);
  o.field(pertest::Octets::free).setBytes(big);
  std::vector<std::uint8_t> bytes = *encode(o);
  // 64K in one fragment (c4), then the rest (4464 = 0x1170) with a two-octet length.
  std::string hex = toHex(bytes);
  std::size_t at = hex.find("c4");
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(hex.substr(at + 2 + 65536 * 2, 4), "9170");
  EXPECT_EQ(roundTrip(o)[pertest::Octets::free].bytes(), big);

  // Exactly 16K elements: one fragment and a final empty length.
  Value l(pertest::Lists::Id);
  completeMandatory(l);
  for (int i = 0; i < 16384; ++i) l.field(pertest::Lists::many).append().setInteger(i % 256);
  std::string lh = hexOf(l);
  EXPECT_NE(lh.find("c1"), std::string::npos);
  EXPECT_EQ(roundTrip(l)[pertest::Lists::many].size(), 16384u);
}

TEST(PerCodec, SetWithDefaultExtensionAdditionsAndGroups) {
  Value r(pertest::Record::Id);
  r.field(pertest::Record::id).setInteger(7);
  EXPECT_EQ(hexOf(r), "000007");  // no extension, no optionals, aligned 0007
  r.field(pertest::Record::mode).setEnumerated(pertest::Colour::blue);
  r.field(pertest::Record::weight).setInteger(500);
  r.field(pertest::Record::last).setBoolean(true);
  Value back = roundTrip(r);
  EXPECT_FALSE(back.has(pertest::Record::unit));
  EXPECT_EQ(back[pertest::Record::weight].integer(), 500);
  // A group with a mandatory member absent cannot be sent.
  r.remove(pertest::Record::weight);
  r.field(pertest::Record::unit).setText("kg");
  EXPECT_EQ(encode(r).error().code, Errc::Missing);
}

TEST(PerCodec, UnknownAdditionsAndAlternativesPassThrough) {
  // Record from a newer peer: bitmap of 6 additions, the 6th (unknown to us) present.
  BitWriter w;
  w.bit(true);   // extended
  w.bits(0, 2);  // label, mode absent
  w.align();
  w.bits(9, 16);  // id
  w.smallLength(6);
  w.bits(0b000001, 6);
  w.length(2);
  w.octets("\xab\xcd");
  std::vector<std::uint8_t> bytes = w.finish();
  Result<Value> v = decode(pertest::Record::Id, bytes);
  ASSERT_TRUE(v.ok()) << v.error().message();
  ASSERT_EQ(v->unknownExtensions().size(), 1u);
  EXPECT_EQ(v->unknownExtensions()[0].index, 6);
  EXPECT_EQ(toHex(*encode(*v)), toHex(bytes));

  // Shape alternative 5 (an addition we do not know).
  Result<Value> s = decode(pertest::Shape::Id, fromHex("830100"));
  ASSERT_TRUE(s.ok()) << s.error().message();
  EXPECT_TRUE(s->isUnknownAlternative());
  EXPECT_EQ(s->choice(), 5);
  EXPECT_EQ(toHex(*encode(*s)), "830100");
}

TEST(PerCodec, ChoicesListsAndOpenTypes) {
  Value shape(pertest::Shape::Id);
  shape.select(pertest::Shape::circle).setInteger(1000);
  EXPECT_EQ(hexOf(shape), "4003e8");  // root, index 1 (1 bit), then 1000 in two aligned octets
  Value& poly = shape.select(pertest::Shape::polygon);
  poly.append().setInteger(-5);
  poly.append().setInteger(300);
  roundTrip(shape);

  Value single(pertest::Single::Id);
  single.select(pertest::Single::only).setInteger(3);
  EXPECT_EQ(hexOf(single), "c0");  // no index for a lone alternative

  Value lists(pertest::Lists::Id);
  completeMandatory(lists);
  EXPECT_EQ(lists[pertest::Lists::pair].size(), 2u);
  lists.field(pertest::Lists::few).append().setEnumerated(pertest::Colour::blue);
  lists.field(pertest::Lists::nulls).append();
  lists.field(pertest::Lists::nulls).append();
  roundTrip(lists);
  lists.field(pertest::Lists::pair).append();
  EXPECT_EQ(encode(lists).error().code, Errc::OutOfRange);

  Value wrapped(pertest::Wrapped::Id);
  wrapped.field(pertest::Wrapped::id).setOid({0, 0, 8, 2250, 0, 7});
  wrapped.field(pertest::Wrapped::body).contained().field(pertest::Record::id).setInteger(1);
  Value back = roundTrip(wrapped);
  EXPECT_EQ(back[pertest::Wrapped::id].oidText(), "0.0.8.2250.0.7");
  EXPECT_EQ(back.find("body.id")->integer(), 1);
}

TEST(PerCodec, HostileInputEndsInAnErrorNotACrash) {
  // Nesting without end: each Tree holds one child.
  BitWriter w;
  for (int i = 0; i < 200; ++i) {
    w.bit(true);
    w.align();
    w.bits(1, 8);
    w.length(1);
  }
  Result<Value> deep = decode(pertest::Tree::Id, w.finish());
  ASSERT_FALSE(deep.ok());
  EXPECT_EQ(deep.error().code, Errc::TooDeep);

  // A list of NULLs claiming 4 x 64K elements over and over, in a few octets.
  BitWriter l;
  l.bits(0, 8);  // pair
  l.bits(0, 6);  // few: in root, one element, green
  l.length(0);   // many
  for (int i = 0; i < 64; ++i) {
    l.align();
    l.bits(0xc4, 8);
  }
  Result<Value> many = decode(pertest::Lists::Id, l.finish());
  ASSERT_FALSE(many.ok());
  EXPECT_EQ(many.error().code, Errc::TooLarge);

  // A general length (upper bound of 64K or more) below the lower bound of the size: a key of
  // 8 bits where 2049 to 65536 are allowed.
  Result<Value> key = decode(h235::DHsetExt::Id, fromHex("0008ff"));
  ASSERT_FALSE(key.ok());
  EXPECT_EQ(key.error().code, Errc::BadLength);

  // Lengths beyond the input.
  std::string octets = "010203";
  for (int i = 0; i < 16; ++i) octets += "10";
  EXPECT_EQ(decode(pertest::Octets::Id, fromHex(octets + "0005ff")).error().code, Errc::Truncated);
  EXPECT_EQ(decode(pertest::Octets::Id, fromHex(octets + "02ff")).error().code, Errc::BadLength);
}

TEST(PerCodec, ValueMisuseIsAProgrammingError) {
  Value v(pertest::Numbers::Id);
  EXPECT_THROW(v.select(0), std::logic_error);
  EXPECT_THROW(v.field(99), std::logic_error);
  EXPECT_THROW(v[pertest::Numbers::small], std::logic_error);
  EXPECT_THROW(v.field(pertest::Numbers::small).setText("x"), std::logic_error);
  EXPECT_EQ(v.find("small"), &v[pertest::Numbers::small]);
  Value record(pertest::Record::Id);
  EXPECT_THROW(record.set(pertest::Record::mode, Value(pertest::Shape::Id)), std::logic_error);
  Value number(pertest::Numbers::Id);
  number.set(pertest::Numbers::octet, Value(v[pertest::Numbers::small].type()).setInteger(300));
  EXPECT_EQ(encode(number).error().code, Errc::Missing);
  completeMandatory(number);
  EXPECT_EQ(encode(number).error().code, Errc::OutOfRange);  // 300 does not fit 0..255
  EXPECT_EQ(v.find("nothing"), nullptr);
}

}  // namespace
}  // namespace vantro::asn
