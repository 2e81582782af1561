#pragma once
// A decoded or to-be-encoded ASN.1 value: one tree node per value, typed by a TypeId of the
// generated tables. Components, alternatives and enumerators are addressed by the indices that the
// generated headers name, e.g.
//
//   Value ras(h225::RasMessage::Id);
//   Value& rrq = ras.select(h225::RasMessage::registrationRequest);
//   rrq.field(h225::RegistrationRequest::requestSeqNum).setInteger(1);
//
// Accessors that do not fit the value's kind, or indices beyond its type, throw std::logic_error:
// they are programming errors, not input errors. Input errors come from decode() as asn::Error.

#include "stack/asn/Descriptor.h"

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vantro::asn {

// An extension addition or alternative this build does not know, kept as its open-type contents
// so that a message passes through unchanged.
struct UnknownExtension {
  std::uint16_t index;  // SEQUENCE: 1-based addition number; CHOICE: unused
  std::string bytes;
  bool operator==(const UnknownExtension&) const = default;
};

class Value {
 public:
  Value() = default;
  explicit Value(TypeId type) : type_(type), present_(true) {}

  TypeId type() const { return type_; }
  const TypeDesc& desc() const { return typeDesc(type_); }
  Kind kind() const { return desc().kind; }
  const char* typeName() const { return desc().name; }

  // BOOLEAN
  bool boolean() const;
  Value& setBoolean(bool b);

  // INTEGER
  std::int64_t integer() const;
  Value& setInteger(std::int64_t v);

  // ENUMERATED: the PER index of the enumerator (the generated header names them)
  std::uint16_t enumerated() const;
  Value& setEnumerated(std::uint16_t index);

  // OCTET STRING and character strings (the characters, one octet each; BMPString: UTF-16
  // code units, big-endian, two octets each), OBJECT IDENTIFIER (the BER contents octets)
  const std::string& bytes() const { return bytes_; }
  Value& setBytes(std::string_view b);
  Value& setBytes(std::span<const std::uint8_t> b);
  std::span<const std::uint8_t> octets() const {
    return {reinterpret_cast<const std::uint8_t*>(bytes_.data()), bytes_.size()};
  }

  // Character strings as UTF-8 text (BMPString converted, the others taken as they are)
  std::string text() const;
  Value& setText(std::string_view utf8);

  // BIT STRING: bits first to last, most significant bit of each octet first
  std::size_t bitLength() const;
  Value& setBits(std::span<const std::uint8_t> bits, std::size_t nbits);

  // OBJECT IDENTIFIER arcs
  std::vector<std::uint32_t> oid() const;
  Value& setOid(std::initializer_list<std::uint32_t> arcs);
  Value& setOid(std::span<const std::uint32_t> arcs);
  std::string oidText() const;  // "0.0.8.2250.0.4"

  // SEQUENCE / SET: components by index
  bool has(std::uint16_t i) const;
  const Value* get(std::uint16_t i) const;         // nullptr when absent
  const Value& operator[](std::uint16_t i) const;  // throws when absent
  Value& field(std::uint16_t i);                   // present from now on (created empty when absent)
  Value& set(std::uint16_t i, Value v);            // sets a component to a value built elsewhere
  void remove(std::uint16_t i);

  // CHOICE
  std::uint16_t choice() const;  // index of the alternative
  bool is(std::uint16_t alt) const { return kind() == Kind::Choice && choice() == alt && !items_.empty(); }
  Value& select(std::uint16_t alt);  // selects an alternative (new, empty) and returns it
  const Value& alternative() const;
  Value& alternative();
  bool isUnknownAlternative() const;  // an extension alternative this build does not know

  // SEQUENCE OF / SET OF
  std::size_t size() const;
  const Value& at(std::size_t i) const;
  Value& at(std::size_t i);
  Value& append();  // a new, empty element
  Value& append(Value v);
  const std::vector<Value>& elements() const;

  // Open type (TYPE-IDENTIFIER.&Type (T)): the contained value of type T
  const Value& contained() const;
  Value& contained();

  // Extension additions (SEQUENCE) or alternative (CHOICE) of a newer peer, kept as they came.
  const std::vector<UnknownExtension>& unknownExtensions() const { return unknown_; }

  // Name-based access, handy for tests and diagnostics: "a.b.c" walks components and
  // alternatives by name, "[n]" picks an element. nullptr when absent or not there.
  const Value* find(std::string_view path) const;

  // Index of a component or alternative of this value's type by name, or -1.
  int indexOf(std::string_view name) const;

  bool operator==(const Value& o) const;

 private:
  friend class PerDecoder;
  friend class PerEncoder;

  void requireKind(Kind k, const char* what) const;
  const FieldDesc& fieldAt(std::uint16_t i) const;

  TypeId type_ = 0;
  bool present_ = false;
  std::uint16_t extBits_ = 0;  // SEQUENCE: length of the extension bitmap as it was received
  std::int64_t num_ = 0;       // INTEGER, BOOLEAN, ENUMERATED index, CHOICE index, BIT STRING length
  std::string bytes_;
  std::vector<Value> items_;  // components (by index), the chosen alternative, elements
  std::vector<UnknownExtension> unknown_;
};

}  // namespace vantro::asn
