#pragma once
// A decoded or to-be-encoded ASN.1 value: one tree node per value, typed by a TypeId of the
// generated tables. Components, alternatives and enumerators are addressed by the indices that the
// generated headers name, e.g.
//
//   Value ras(h225::RasMessage::Id);
//   Value& rrq = ras.Select(h225::RasMessage::registrationRequest);
//   rrq.Field(h225::RegistrationRequest::requestSeqNum).SetInteger(1);
//
// Accessors that do not fit the value's kind, or indices beyond its type, throw std::logic_error:
// they are programming errors, not input errors. Input errors come from Decode() as asn::Error.

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

  TypeId Type() const { return type_; }
  const TypeDesc& Desc() const { return typeDesc(type_); }
  asn::Kind Kind() const { return Desc().kind; }
  const char* TypeName() const { return Desc().name; }

  // BOOLEAN
  bool Boolean() const;
  Value& SetBoolean(bool b);

  // INTEGER
  std::int64_t Integer() const;
  Value& SetInteger(std::int64_t v);

  // ENUMERATED: the PER index of the enumerator (the generated header names them)
  std::uint16_t Enumerated() const;
  Value& SetEnumerated(std::uint16_t index);

  // OCTET STRING and character strings (the characters, one octet each; BMPString: UTF-16
  // code units, big-endian, two octets each), OBJECT IDENTIFIER (the BER contents octets)
  const std::string& Bytes() const { return bytes_; }
  Value& SetBytes(std::string_view b);
  Value& SetBytes(std::span<const std::uint8_t> b);
  std::span<const std::uint8_t> Octets() const {
    return {reinterpret_cast<const std::uint8_t*>(bytes_.data()), bytes_.size()};
  }

  // Character strings as UTF-8 text (BMPString converted, the others taken as they are)
  std::string Text() const;
  Value& SetText(std::string_view utf8);

  // BIT STRING: bits first to last, most significant bit of each octet first
  std::size_t BitLength() const;
  Value& SetBits(std::span<const std::uint8_t> bits, std::size_t nbits);

  // OBJECT IDENTIFIER arcs
  std::vector<std::uint32_t> Oid() const;
  Value& SetOid(std::initializer_list<std::uint32_t> arcs);
  Value& SetOid(std::span<const std::uint32_t> arcs);
  std::string OidText() const;  // "0.0.8.2250.0.4"

  // SEQUENCE / SET: components by index
  bool Has(std::uint16_t i) const;
  const Value* Get(std::uint16_t i) const;         // nullptr when absent
  const Value& operator[](std::uint16_t i) const;  // throws when absent
  Value& Field(std::uint16_t i);                   // present from now on (created empty when absent)
  Value& Set(std::uint16_t i, Value v);            // sets a component to a value built elsewhere
  void Remove(std::uint16_t i);

  // CHOICE
  std::uint16_t Choice() const;  // index of the alternative
  bool Is(std::uint16_t alt) const { return Kind() == asn::Kind::Choice && Choice() == alt && !items_.empty(); }
  Value& Select(std::uint16_t alt);  // selects an alternative (new, empty) and returns it
  const Value& Alternative() const;
  Value& Alternative();
  bool IsUnknownAlternative() const;  // an extension alternative this build does not know

  // SEQUENCE OF / SET OF
  std::size_t Size() const;
  const Value& At(std::size_t i) const;
  Value& At(std::size_t i);
  Value& Append();  // a new, empty element
  Value& Append(Value v);
  const std::vector<Value>& Elements() const;

  // Open type (TYPE-IDENTIFIER.&Type (T)): the contained value of type T
  const Value& Contained() const;
  Value& Contained();

  // Extension additions (SEQUENCE) or alternative (CHOICE) of a newer peer, kept as they came.
  const std::vector<UnknownExtension>& UnknownExtensions() const { return unknown_; }

  // Name-based access, handy for tests and diagnostics: "a.b.c" walks components and
  // alternatives by name, "[n]" picks an element. nullptr when absent or not there.
  const Value* Find(std::string_view path) const;

  // Index of a component or alternative of this value's type by name, or -1.
  int IndexOf(std::string_view name) const;

  bool operator==(const Value& o) const;

 private:
  friend class PerDecoder;
  friend class PerEncoder;

  void RequireKind(asn::Kind k, const char* what) const;
  const FieldDesc& FieldAt(std::uint16_t i) const;

  TypeId type_ = 0;
  bool present_ = false;
  std::uint16_t extBits_ = 0;  // SEQUENCE: length of the extension bitmap as it was received
  std::int64_t num_ = 0;       // INTEGER, BOOLEAN, ENUMERATED index, CHOICE index, BIT STRING length
  std::string bytes_;
  std::vector<Value> items_;  // components (by index), the chosen alternative, elements
  std::vector<UnknownExtension> unknown_;
};

}  // namespace vantro::asn
