// The generic aligned-PER encoder: walks a Value along the descriptor tables of its type.

#include "stack/asn/BitWriter.h"
#include "stack/asn/Per.h"
#include "stack/asn/PerRules.h"

#include <algorithm>

namespace vantro::asn {

using detail::CharRules;
using detail::kFragment;
using detail::SizeRules;

class PerEncoder {
 public:
  explicit PerEncoder(BitWriter& w) : w_(w) {}

  bool Encode(const Value& v, TypeId type);
  Error error;

 private:
  bool Fail(Errc code, const TypeDesc& t, const char* field = nullptr);

  bool Integer(const Value& v, const TypeDesc& t);
  bool Enumerated(const Value& v, const TypeDesc& t);
  bool BitString(const Value& v, const TypeDesc& t);
  bool OctetString(const Value& v, const TypeDesc& t);
  bool CharString(const Value& v, const TypeDesc& t);
  bool Sequence(const Value& v, const TypeDesc& t);
  bool Choice(const Value& v, const TypeDesc& t);
  bool SequenceOf(const Value& v, const TypeDesc& t);

  // Writes the root bitmap and the components [from, to) of a SEQUENCE or extension group.
  bool Components(const Value& v, const TypeDesc& t, std::uint16_t from, std::uint16_t to);
  bool Addition(const Value& v, const TypeDesc& t, std::uint16_t k);

  // A general length determinant for n units, fragmented at 16K, calling emit(first, count).
  template <class Emit>
  bool Chunks(std::size_t n, Emit&& emit);
  // Octets after a general length determinant (open types, OBJECT IDENTIFIER, GeneralString, ...).
  bool LengthAndOctets(std::string_view bytes);
  // A length under a size constraint (already known to be within the root when rootSize is set).
  template <class Emit>
  bool Sized(const SizeRules& s, bool rootSize, std::size_t n, Emit&& emit);
  // Open type: the complete encoding of what encodeInner writes, with its length.
  template <class Inner>
  bool OpenType(Inner&& encodeInner);

  BitWriter& w_;
};

bool PerEncoder::Fail(Errc code, const TypeDesc& t, const char* field) {
  error.code = code;
  error.where = t.name;
  if (field) error.where += std::string(".") + field;
  error.bit = w_.BitCount();
  return false;
}

template <class Emit>
bool PerEncoder::Chunks(std::size_t n, Emit&& emit) {
  std::size_t done = 0;
  for (;;) {
    std::size_t rest = n - done;
    if (rest < kFragment) {
      w_.Length(rest);
      return emit(done, rest);
    }
    std::size_t m = std::min<std::size_t>(4, rest / kFragment);
    w_.Align();
    w_.Bits(0xc0 | m, 8);
    if (!emit(done, m * kFragment)) return false;
    done += m * kFragment;
  }
}

bool PerEncoder::LengthAndOctets(std::string_view bytes) {
  return Chunks(bytes.size(), [&](std::size_t first, std::size_t count) {
    w_.Octets(bytes.substr(first, count));
    return true;
  });
}

template <class Emit>
bool PerEncoder::Sized(const SizeRules& s, bool rootSize, std::size_t n, Emit&& emit) {
  if (rootSize && s.ConstrainedLength()) {
    w_.Constrained(n - s.lb, s.ub - s.lb + 1);
    return emit(0, n);
  }
  return Chunks(n, emit);
}

template <class Inner>
bool PerEncoder::OpenType(Inner&& encodeInner) {
  BitWriter sub;
  PerEncoder inner(sub);
  if (!encodeInner(inner)) {
    error = inner.error;
    return false;
  }
  std::vector<std::uint8_t> bytes = sub.Finish();
  return LengthAndOctets(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

bool PerEncoder::Encode(const Value& v, TypeId type) {
  const TypeDesc& t = typeDesc(type);
  if (v.Kind() != t.kind) return Fail(Errc::WrongType, t);
  switch (t.kind) {
    case Kind::Boolean: w_.Bit(v.num_ != 0); return true;
    case Kind::Null: return true;
    case Kind::Integer: return Integer(v, t);
    case Kind::Enumerated: return Enumerated(v, t);
    case Kind::BitString: return BitString(v, t);
    case Kind::OctetString: return OctetString(v, t);
    case Kind::CharString: return CharString(v, t);
    case Kind::ObjectId: return LengthAndOctets(v.bytes_);
    case Kind::Sequence: return Sequence(v, t);
    case Kind::Choice: return Choice(v, t);
    case Kind::SequenceOf: return SequenceOf(v, t);
    case Kind::OpenType:
      if (v.items_.empty()) return Fail(Errc::Missing, t);
      return OpenType([&](PerEncoder& e) { return e.Encode(v.items_[0], static_cast<TypeId>(t.first)); });
  }
  return Fail(Errc::WrongType, t);
}

bool PerEncoder::Integer(const Value& v, const TypeDesc& t) {
  bool hasLb = t.flags & flag::HasLb, hasUb = t.flags & flag::HasUb;
  std::int64_t n = v.num_;
  bool inRoot = (!hasLb || n >= t.lb) && (!hasUb || n <= t.ub);
  if (t.flags & flag::ConstraintExt) {
    w_.Bit(!inRoot);
    if (!inRoot) {
      w_.Unconstrained(n);
      return true;
    }
  } else if (!inRoot) {
    return Fail(Errc::OutOfRange, t);
  }
  if (hasLb && hasUb)
    w_.Constrained(static_cast<std::uint64_t>(n - t.lb), static_cast<std::uint64_t>(t.ub - t.lb) + 1);
  else if (hasLb)
    w_.SemiConstrained(static_cast<std::uint64_t>(n - t.lb));
  else
    w_.Unconstrained(n);
  return true;
}

bool PerEncoder::Enumerated(const Value& v, const TypeDesc& t) {
  auto index = static_cast<std::uint64_t>(v.num_);
  bool extensible = detail::IsExtensible(t);
  if (index >= t.rootCount && !extensible) return Fail(Errc::OutOfRange, t);
  if (extensible) w_.Bit(index >= t.rootCount);
  if (index < t.rootCount)
    w_.Constrained(index, t.rootCount);
  else
    w_.SmallNumber(index - t.rootCount);
  return true;
}

bool PerEncoder::BitString(const Value& v, const TypeDesc& t) {
  SizeRules s = detail::sizeRules(t);
  auto n = static_cast<std::size_t>(v.num_);
  if (v.bytes_.size() != (n + 7) / 8) return Fail(Errc::BadLength, t);
  bool inRoot = s.Within(n);
  if (s.ext)
    w_.Bit(!inRoot);
  else if (!inRoot)
    return Fail(Errc::OutOfRange, t);
  std::string_view bits(v.bytes_);
  if (inRoot && s.Fixed() && s.ub < 65536) {
    if (n > 16) w_.Align();
    w_.BitField(bits, n);
    return true;
  }
  return Sized(s, inRoot, n, [&](std::size_t first, std::size_t count) {
    if (count) w_.Align();
    w_.BitField(bits.substr(first / 8), count);
    return true;
  });
}

bool PerEncoder::OctetString(const Value& v, const TypeDesc& t) {
  SizeRules s = detail::sizeRules(t);
  std::string_view bytes(v.bytes_);
  bool inRoot = s.Within(bytes.size());
  if (s.ext)
    w_.Bit(!inRoot);
  else if (!inRoot)
    return Fail(Errc::OutOfRange, t);
  if (inRoot && s.Fixed() && s.ub < 65536) {
    if (bytes.size() > 2) w_.Align();
    w_.Octets(bytes);
    return true;
  }
  return Sized(s, inRoot, bytes.size(), [&](std::size_t first, std::size_t count) {
    if (count) w_.Align();
    w_.Octets(bytes.substr(first, count));
    return true;
  });
}

bool PerEncoder::CharString(const Value& v, const TypeDesc& t) {
  CharRules r = detail::charRules(t);
  std::string_view bytes(v.bytes_);
  if (!r.knownMultiplier) return LengthAndOctets(bytes);
  if (bytes.size() % r.unit) return Fail(Errc::BadCharacter, t);
  std::size_t n = bytes.size() / r.unit;
  SizeRules s = detail::sizeRules(t);
  bool inRoot = s.Within(n);
  if (s.ext)
    w_.Bit(!inRoot);
  else if (!inRoot)
    return Fail(Errc::OutOfRange, t);
  auto put = [&](std::size_t first, std::size_t count, bool alignFirst) {
    if (alignFirst && count) w_.Align();
    for (std::size_t i = first; i < first + count; ++i) {
      std::uint32_t ch = static_cast<unsigned char>(bytes[i * r.unit]);
      if (r.unit == 2) ch = (ch << 8) | static_cast<unsigned char>(bytes[i * 2 + 1]);
      long index = detail::CharIndex(r, ch);
      if (index < 0) return Fail(Errc::BadCharacter, t);
      w_.Bits(static_cast<std::uint64_t>(index), r.bits);
    }
    return true;
  };
  bool wide = !s.hasUb || s.ub * r.bits > 16;
  if (inRoot && s.Fixed() && s.ub < 65536) return put(0, n, wide);
  return Sized(s, inRoot, n, [&](std::size_t first, std::size_t count) { return put(first, count, wide); });
}

bool PerEncoder::Components(const Value& v, const TypeDesc& t, std::uint16_t from, std::uint16_t to) {
  auto present = [&](std::uint16_t i) { return i < v.items_.size() && v.items_[i].present_; };
  for (std::uint16_t i = from; i < to; ++i) {
    const FieldDesc& f = fieldDesc(t, i);
    if (f.flags & (field::Optional | field::Default))
      w_.Bit(present(i));
    else if (!present(i))
      return Fail(Errc::Missing, t, f.name);
  }
  for (std::uint16_t i = from; i < to; ++i) {
    if (!present(i)) continue;
    if (!Encode(v.items_[i], fieldDesc(t, i).type)) return false;
  }
  return true;
}

bool PerEncoder::Addition(const Value& v, const TypeDesc& t, std::uint16_t k) {
  std::uint16_t from = t.rootCount;
  while (from < t.count && fieldDesc(t, from).ext != k) ++from;
  std::uint16_t to = from;
  while (to < t.count && fieldDesc(t, to).ext == k) ++to;
  if (!(fieldDesc(t, from).flags & field::InGroup))
    return OpenType([&](PerEncoder& e) { return e.Encode(v.items_[from], fieldDesc(t, from).type); });
  return OpenType([&](PerEncoder& e) { return e.Components(v, t, from, to); });
}

bool PerEncoder::Sequence(const Value& v, const TypeDesc& t) {
  auto present = [&](std::uint16_t i) { return i < v.items_.size() && v.items_[i].present_; };
  std::uint16_t known = ExtensionCount(t);
  std::vector<bool> additions(known + 1u, false);
  std::size_t highest = 0;
  for (std::uint16_t i = t.rootCount; i < t.count; ++i) {
    if (present(i)) {
      std::uint16_t k = fieldDesc(t, i).ext;
      additions[k] = true;
      highest = std::max<std::size_t>(highest, k);
    }
  }
  for (const UnknownExtension& u : v.unknown_) highest = std::max<std::size_t>(highest, u.index);
  bool extended = highest > 0 || v.extBits_ > 0;
  if (detail::IsExtensible(t))
    w_.Bit(extended);
  else if (extended)
    return Fail(Errc::WrongType, t);
  if (!Components(v, t, 0, t.rootCount)) return false;
  if (!extended) return true;

  // The bitmap is as long as the additions this build knows, or as it was received.
  std::size_t n = std::max<std::size_t>(highest, v.extBits_ ? v.extBits_ : known);
  w_.SmallLength(n);
  auto unknownAt = [&](std::size_t k) -> const UnknownExtension* {
    for (const UnknownExtension& u : v.unknown_)
      if (u.index == k) return &u;
    return nullptr;
  };
  for (std::size_t k = 1; k <= n; ++k) w_.Bit((k <= known && additions[k]) || unknownAt(k));
  for (std::size_t k = 1; k <= n; ++k) {
    if (k <= known && additions[k]) {
      if (!Addition(v, t, static_cast<std::uint16_t>(k))) return false;
    } else if (const UnknownExtension* u = unknownAt(k)) {
      if (!LengthAndOctets(u->bytes)) return false;
    }
  }
  return true;
}

bool PerEncoder::Choice(const Value& v, const TypeDesc& t) {
  auto index = static_cast<std::uint64_t>(v.num_);
  bool extensible = detail::IsExtensible(t);
  bool unknown = v.items_.empty() && !v.unknown_.empty();
  if (v.items_.empty() && !unknown) return Fail(Errc::Missing, t);
  if (index >= t.rootCount && !extensible) return Fail(Errc::OutOfRange, t);
  if (extensible) w_.Bit(index >= t.rootCount);
  if (index < t.rootCount) {
    w_.Constrained(index, t.rootCount);
    return Encode(v.items_[0], fieldDesc(t, static_cast<std::size_t>(index)).type);
  }
  w_.SmallNumber(index - t.rootCount);
  if (unknown) return LengthAndOctets(v.unknown_[0].bytes);
  return OpenType(
      [&](PerEncoder& e) { return e.Encode(v.items_[0], fieldDesc(t, static_cast<std::size_t>(index)).type); });
}

bool PerEncoder::SequenceOf(const Value& v, const TypeDesc& t) {
  SizeRules s = detail::sizeRules(t);
  std::size_t n = v.items_.size();
  bool inRoot = s.Within(n);
  if (s.ext)
    w_.Bit(!inRoot);
  else if (!inRoot)
    return Fail(Errc::OutOfRange, t);
  auto elements = [&](std::size_t first, std::size_t count) {
    for (std::size_t i = first; i < first + count; ++i)
      if (!Encode(v.items_[i], static_cast<TypeId>(t.first))) return false;
    return true;
  };
  if (inRoot && s.Fixed() && s.ub < 65536) return elements(0, n);
  return Sized(s, inRoot, n, elements);
}

Result<std::vector<std::uint8_t>> Encode(const Value& value) {
  BitWriter w;
  PerEncoder e(w);
  if (!e.Encode(value, value.Type())) return e.error;
  return w.Finish();
}

}  // namespace vantro::asn
