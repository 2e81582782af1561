#pragma once
// Descriptor tables of ASN.1 types: constant data written by tools/asn1gen and walked by the one
// generic PER engine (PerCodec). A type is known by its TypeId, an index into the global table that
// holds every module of the stack (H.225.0, H.245, H.235, H.460.18/19).

#include <cstdint>
#include <span>
#include <string_view>

namespace vantro::asn {

using TypeId = std::uint16_t;

enum class Kind : std::uint8_t {
  Boolean,
  Null,
  Integer,
  Enumerated,
  BitString,
  OctetString,
  ObjectId,
  CharString,
  Sequence,  // also SET: with automatic tags its components go in textual order
  Choice,
  SequenceOf,  // also SET OF
  OpenType,    // TYPE-IDENTIFIER.&Type (T): a complete encoding of T inside a length-prefixed open type
};

enum class CharSet : std::uint8_t { None, IA5, Numeric, Printable, Visible, General, BMP };

namespace flag {
inline constexpr std::uint8_t Extensible = 1;     // SEQUENCE, CHOICE or ENUMERATED with "..."
inline constexpr std::uint8_t HasLb = 2;          // lb is set (value or size lower bound)
inline constexpr std::uint8_t HasUb = 4;          // ub is set
inline constexpr std::uint8_t ConstraintExt = 8;  // the value or size constraint has "..."
}  // namespace flag

namespace field {
inline constexpr std::uint8_t Optional = 1;
inline constexpr std::uint8_t Default = 2;  // encoded like OPTIONAL; absent means the default
inline constexpr std::uint8_t InGroup = 4;  // member of an extension addition group [[ ]]
}  // namespace field

struct TypeDesc {
  const char* name;  // "Module.Type" or "Module.Type.field" for inner types
  std::int64_t lb;   // value range (INTEGER) or size range (strings, SEQUENCE OF)
  std::int64_t ub;
  std::uint32_t first;  // first FieldDesc (SEQUENCE, CHOICE, ENUMERATED) or element type
  std::uint16_t count;  // components, alternatives or enumerators, additions included
  std::uint16_t rootCount;
  std::uint16_t alphabet;  // index into the alphabet table, 0 = the whole character set
  Kind kind;
  std::uint8_t flags;
  CharSet charset;
};

// A component, an alternative or an enumerator. Root entries come first (in PER order), then the
// extension additions; ext is 0 for the root and k for the k-th addition (group members share k).
struct FieldDesc {
  const char* name;
  TypeId type;
  std::uint16_t ext;
  std::uint8_t flags;
};

struct Tables {
  std::span<const TypeDesc> types;
  std::span<const FieldDesc> fields;
  std::span<const std::string_view> alphabets;
};

// The generated tables of all modules.
const Tables& tables();

inline const TypeDesc& typeDesc(TypeId id) { return tables().types[id]; }
inline const FieldDesc& fieldDesc(const TypeDesc& t, std::size_t i) { return tables().fields[t.first + i]; }

// Number of extension additions of a SEQUENCE or CHOICE (a group counts once).
inline std::uint16_t ExtensionCount(const TypeDesc& t) {
  return t.count > t.rootCount ? tables().fields[t.first + t.count - 1].ext : 0;
}

}  // namespace vantro::asn
