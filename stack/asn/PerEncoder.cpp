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

  bool encode(const Value& v, TypeId type);
  Error error;

 private:
  bool fail(Errc code, const TypeDesc& t, const char* field = nullptr);

  bool integer(const Value& v, const TypeDesc& t);
  bool enumerated(const Value& v, const TypeDesc& t);
  bool bitString(const Value& v, const TypeDesc& t);
  bool octetString(const Value& v, const TypeDesc& t);
  bool charString(const Value& v, const TypeDesc& t);
  bool sequence(const Value& v, const TypeDesc& t);
  bool choice(const Value& v, const TypeDesc& t);
  bool sequenceOf(const Value& v, const TypeDesc& t);

  // Writes the root bitmap and the components [from, to) of a SEQUENCE or extension group.
  bool components(const Value& v, const TypeDesc& t, std::uint16_t from, std::uint16_t to);
  bool addition(const Value& v, const TypeDesc& t, std::uint16_t k);

  // A general length determinant for n units, fragmented at 16K, calling emit(first, count).
  template <class Emit>
  bool chunks(std::size_t n, Emit&& emit);
  // Octets after a general length determinant (open types, OBJECT IDENTIFIER, GeneralString, ...).
  bool lengthAndOctets(std::string_view bytes);
  // A length under a size constraint (already known to be within the root when rootSize is set).
  template <class Emit>
  bool sized(const SizeRules& s, bool rootSize, std::size_t n, Emit&& emit);
  // Open type: the complete encoding of what encodeInner writes, with its length.
  template <class Inner>
  bool openType(Inner&& encodeInner);

  BitWriter& w_;
};

bool PerEncoder::fail(Errc code, const TypeDesc& t, const char* field) {
  error.code = code;
  error.where = t.name;
  if (field) error.where += std::string(".") + field;
  error.bit = w_.bitCount();
  return false;
}

template <class Emit>
bool PerEncoder::chunks(std::size_t n, Emit&& emit) {
  std::size_t done = 0;
  for (;;) {
    std::size_t rest = n - done;
    if (rest < kFragment) {
      w_.length(rest);
      return emit(done, rest);
    }
    std::size_t m = std::min<std::size_t>(4, rest / kFragment);
    w_.align();
    w_.bits(0xc0 | m, 8);
    if (!emit(done, m * kFragment)) return false;
    done += m * kFragment;
  }
}

bool PerEncoder::lengthAndOctets(std::string_view bytes) {
  return chunks(bytes.size(), [&](std::size_t first, std::size_t count) {
    w_.octets(bytes.substr(first, count));
    return true;
  });
}

template <class Emit>
bool PerEncoder::sized(const SizeRules& s, bool rootSize, std::size_t n, Emit&& emit) {
  if (rootSize && s.constrainedLength()) {
    w_.constrained(n - s.lb, s.ub - s.lb + 1);
    return emit(0, n);
  }
  return chunks(n, emit);
}

template <class Inner>
bool PerEncoder::openType(Inner&& encodeInner) {
  BitWriter sub;
  PerEncoder inner(sub);
  if (!encodeInner(inner)) {
    error = inner.error;
    return false;
  }
  std::vector<std::uint8_t> bytes = sub.finish();
  return lengthAndOctets(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

bool PerEncoder::encode(const Value& v, TypeId type) {
  const TypeDesc& t = typeDesc(type);
  if (v.kind() != t.kind) return fail(Errc::WrongType, t);
  switch (t.kind) {
    case Kind::Boolean: w_.bit(v.num_ != 0); return true;
    case Kind::Null: return true;
    case Kind::Integer: return integer(v, t);
    case Kind::Enumerated: return enumerated(v, t);
    case Kind::BitString: return bitString(v, t);
    case Kind::OctetString: return octetString(v, t);
    case Kind::CharString: return charString(v, t);
    case Kind::ObjectId: return lengthAndOctets(v.bytes_);
    case Kind::Sequence: return sequence(v, t);
    case Kind::Choice: return choice(v, t);
    case Kind::SequenceOf: return sequenceOf(v, t);
    case Kind::OpenType:
      if (v.items_.empty()) return fail(Errc::Missing, t);
      return openType([&](PerEncoder& e) { return e.encode(v.items_[0], static_cast<TypeId>(t.first)); });
  }
  return fail(Errc::WrongType, t);
}

bool PerEncoder::integer(const Value& v, const TypeDesc& t) {
  bool hasLb = t.flags & flag::HasLb, hasUb = t.flags & flag::HasUb;
  std::int64_t n = v.num_;
  bool inRoot = (!hasLb || n >= t.lb) && (!hasUb || n <= t.ub);
  if (t.flags & flag::ConstraintExt) {
    w_.bit(!inRoot);
    if (!inRoot) {
      w_.unconstrained(n);
      return true;
    }
  } else if (!inRoot) {
    return fail(Errc::OutOfRange, t);
  }
  if (hasLb && hasUb)
    w_.constrained(static_cast<std::uint64_t>(n - t.lb), static_cast<std::uint64_t>(t.ub - t.lb) + 1);
  else if (hasLb)
    w_.semiConstrained(static_cast<std::uint64_t>(n - t.lb));
  else
    w_.unconstrained(n);
  return true;
}

bool PerEncoder::enumerated(const Value& v, const TypeDesc& t) {
  auto index = static_cast<std::uint64_t>(v.num_);
  bool extensible = detail::isExtensible(t);
  if (index >= t.rootCount && !extensible) return fail(Errc::OutOfRange, t);
  if (extensible) w_.bit(index >= t.rootCount);
  if (index < t.rootCount)
    w_.constrained(index, t.rootCount);
  else
    w_.smallNumber(index - t.rootCount);
  return true;
}

bool PerEncoder::bitString(const Value& v, const TypeDesc& t) {
  SizeRules s = detail::sizeRules(t);
  auto n = static_cast<std::size_t>(v.num_);
  if (v.bytes_.size() != (n + 7) / 8) return fail(Errc::BadLength, t);
  bool inRoot = s.within(n);
  if (s.ext)
    w_.bit(!inRoot);
  else if (!inRoot)
    return fail(Errc::OutOfRange, t);
  std::string_view bits(v.bytes_);
  if (inRoot && s.fixed() && s.ub < 65536) {
    if (n > 16) w_.align();
    w_.bitField(bits, n);
    return true;
  }
  return sized(s, inRoot, n, [&](std::size_t first, std::size_t count) {
    if (count) w_.align();
    w_.bitField(bits.substr(first / 8), count);
    return true;
  });
}

bool PerEncoder::octetString(const Value& v, const TypeDesc& t) {
  SizeRules s = detail::sizeRules(t);
  std::string_view bytes(v.bytes_);
  bool inRoot = s.within(bytes.size());
  if (s.ext)
    w_.bit(!inRoot);
  else if (!inRoot)
    return fail(Errc::OutOfRange, t);
  if (inRoot && s.fixed() && s.ub < 65536) {
    if (bytes.size() > 2) w_.align();
    w_.octets(bytes);
    return true;
  }
  return sized(s, inRoot, bytes.size(), [&](std::size_t first, std::size_t count) {
    if (count) w_.align();
    w_.octets(bytes.substr(first, count));
    return true;
  });
}

bool PerEncoder::charString(const Value& v, const TypeDesc& t) {
  CharRules r = detail::charRules(t);
  std::string_view bytes(v.bytes_);
  if (!r.knownMultiplier) return lengthAndOctets(bytes);
  if (bytes.size() % r.unit) return fail(Errc::BadCharacter, t);
  std::size_t n = bytes.size() / r.unit;
  SizeRules s = detail::sizeRules(t);
  bool inRoot = s.within(n);
  if (s.ext)
    w_.bit(!inRoot);
  else if (!inRoot)
    return fail(Errc::OutOfRange, t);
  auto put = [&](std::size_t first, std::size_t count, bool alignFirst) {
    if (alignFirst && count) w_.align();
    for (std::size_t i = first; i < first + count; ++i) {
      std::uint32_t ch = static_cast<unsigned char>(bytes[i * r.unit]);
      if (r.unit == 2) ch = (ch << 8) | static_cast<unsigned char>(bytes[i * 2 + 1]);
      long index = detail::charIndex(r, ch);
      if (index < 0) return fail(Errc::BadCharacter, t);
      w_.bits(static_cast<std::uint64_t>(index), r.bits);
    }
    return true;
  };
  bool wide = !s.hasUb || s.ub * r.bits > 16;
  if (inRoot && s.fixed() && s.ub < 65536) return put(0, n, wide);
  return sized(s, inRoot, n, [&](std::size_t first, std::size_t count) { return put(first, count, wide); });
}

bool PerEncoder::components(const Value& v, const TypeDesc& t, std::uint16_t from, std::uint16_t to) {
  auto present = [&](std::uint16_t i) { return i < v.items_.size() && v.items_[i].present_; };
  for (std::uint16_t i = from; i < to; ++i) {
    const FieldDesc& f = fieldDesc(t, i);
    if (f.flags & (field::Optional | field::Default))
      w_.bit(present(i));
    else if (!present(i))
      return fail(Errc::Missing, t, f.name);
  }
  for (std::uint16_t i = from; i < to; ++i) {
    if (!present(i)) continue;
    if (!encode(v.items_[i], fieldDesc(t, i).type)) return false;
  }
  return true;
}

bool PerEncoder::addition(const Value& v, const TypeDesc& t, std::uint16_t k) {
  std::uint16_t from = t.rootCount;
  while (from < t.count && fieldDesc(t, from).ext != k) ++from;
  std::uint16_t to = from;
  while (to < t.count && fieldDesc(t, to).ext == k) ++to;
  if (!(fieldDesc(t, from).flags & field::InGroup))
    return openType([&](PerEncoder& e) { return e.encode(v.items_[from], fieldDesc(t, from).type); });
  return openType([&](PerEncoder& e) { return e.components(v, t, from, to); });
}

bool PerEncoder::sequence(const Value& v, const TypeDesc& t) {
  auto present = [&](std::uint16_t i) { return i < v.items_.size() && v.items_[i].present_; };
  std::uint16_t known = extensionCount(t);
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
  if (detail::isExtensible(t))
    w_.bit(extended);
  else if (extended)
    return fail(Errc::WrongType, t);
  if (!components(v, t, 0, t.rootCount)) return false;
  if (!extended) return true;

  // The bitmap is as long as the additions this build knows, or as it was received.
  std::size_t n = std::max<std::size_t>(highest, v.extBits_ ? v.extBits_ : known);
  w_.smallLength(n);
  auto unknownAt = [&](std::size_t k) -> const UnknownExtension* {
    for (const UnknownExtension& u : v.unknown_)
      if (u.index == k) return &u;
    return nullptr;
  };
  for (std::size_t k = 1; k <= n; ++k) w_.bit((k <= known && additions[k]) || unknownAt(k));
  for (std::size_t k = 1; k <= n; ++k) {
    if (k <= known && additions[k]) {
      if (!addition(v, t, static_cast<std::uint16_t>(k))) return false;
    } else if (const UnknownExtension* u = unknownAt(k)) {
      if (!lengthAndOctets(u->bytes)) return false;
    }
  }
  return true;
}

bool PerEncoder::choice(const Value& v, const TypeDesc& t) {
  auto index = static_cast<std::uint64_t>(v.num_);
  bool extensible = detail::isExtensible(t);
  bool unknown = v.items_.empty() && !v.unknown_.empty();
  if (v.items_.empty() && !unknown) return fail(Errc::Missing, t);
  if (index >= t.rootCount && !extensible) return fail(Errc::OutOfRange, t);
  if (extensible) w_.bit(index >= t.rootCount);
  if (index < t.rootCount) {
    w_.constrained(index, t.rootCount);
    return encode(v.items_[0], fieldDesc(t, static_cast<std::size_t>(index)).type);
  }
  w_.smallNumber(index - t.rootCount);
  if (unknown) return lengthAndOctets(v.unknown_[0].bytes);
  return openType(
      [&](PerEncoder& e) { return e.encode(v.items_[0], fieldDesc(t, static_cast<std::size_t>(index)).type); });
}

bool PerEncoder::sequenceOf(const Value& v, const TypeDesc& t) {
  SizeRules s = detail::sizeRules(t);
  std::size_t n = v.items_.size();
  bool inRoot = s.within(n);
  if (s.ext)
    w_.bit(!inRoot);
  else if (!inRoot)
    return fail(Errc::OutOfRange, t);
  auto elements = [&](std::size_t first, std::size_t count) {
    for (std::size_t i = first; i < first + count; ++i)
      if (!encode(v.items_[i], static_cast<TypeId>(t.first))) return false;
    return true;
  };
  if (inRoot && s.fixed() && s.ub < 65536) return elements(0, n);
  return sized(s, inRoot, n, elements);
}

Result<std::vector<std::uint8_t>> encode(const Value& value) {
  BitWriter w;
  PerEncoder e(w);
  if (!e.encode(value, value.type())) return e.error;
  return w.finish();
}

}  // namespace vantro::asn
