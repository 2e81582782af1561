// The generic aligned-PER decoder: reads a Value along the descriptor tables of its type.
// Every read is bounded by the input, nesting by kMaxDepth, and the number of values created by
// a budget proportional to the input's size (valueBudget), so hostile input ends in an Error and
// the memory a message can take stays a small multiple of its size.

#include "stack/asn/BitReader.h"
#include "stack/asn/Per.h"
#include "stack/asn/PerRules.h"

#include <algorithm>
#include <limits>

namespace vantro::asn {

using detail::CharRules;
using detail::SizeRules;

class PerDecoder {
 public:
  PerDecoder(BitReader& r, std::size_t& budget, unsigned depth, std::size_t base)
      : r_(r), budget_(budget), depth_(depth), base_(base) {}

  bool decode(Value& out, TypeId type);
  Error error;

 private:
  bool fail(Errc code, const TypeDesc& t, const char* field = nullptr);
  bool readFailed(const TypeDesc& t) { return fail(r_.malformed() ? Errc::BadLength : Errc::Truncated, t); }
  bool charge(std::size_t n, const TypeDesc& t);

  bool integer(Value& out, const TypeDesc& t);
  bool enumerated(Value& out, const TypeDesc& t);
  bool bitString(Value& out, const TypeDesc& t);
  bool octetString(Value& out, const TypeDesc& t);
  bool charString(Value& out, const TypeDesc& t);
  bool sequence(Value& out, const TypeDesc& t);
  bool components(Value& out, const TypeDesc& t, std::uint16_t from, std::uint16_t to);
  bool choice(Value& out, const TypeDesc& t);
  bool sequenceOf(Value& out, const TypeDesc& t);

  // A length (general determinant, fragments included) calling take(count) per piece.
  template <class Take>
  bool chunks(const TypeDesc& t, Take&& take);
  template <class Take>
  bool sized(const TypeDesc& t, const SizeRules& s, bool rootSize, Take&& take);
  bool openType(const TypeDesc& t, std::string& raw);
  // Decodes a value of a type from the octets of an open type.
  template <class Inner>
  bool inner(const std::string& raw, Inner&& decodeInner);

  BitReader& r_;
  std::size_t& budget_;
  unsigned depth_;
  std::size_t base_;
};

bool PerDecoder::fail(Errc code, const TypeDesc& t, const char* field) {
  error.code = code;
  error.where = t.name;
  if (field) error.where += std::string(".") + field;
  error.bit = base_ + r_.position();
  return false;
}

bool PerDecoder::charge(std::size_t n, const TypeDesc& t) {
  if (n > budget_) return fail(Errc::TooLarge, t);
  budget_ -= n;
  return true;
}

template <class Take>
bool PerDecoder::chunks(const TypeDesc& t, Take&& take) {
  for (;;) {
    std::size_t n;
    bool fragment;
    if (!r_.length(n, fragment)) return readFailed(t);
    if (!take(n)) return false;
    if (!fragment) return true;
  }
}

template <class Take>
bool PerDecoder::sized(const TypeDesc& t, const SizeRules& s, bool rootSize, Take&& take) {
  if (rootSize && s.constrainedLength()) {
    std::uint64_t v;
    if (!r_.constrained(s.ub - s.lb + 1, v)) return readFailed(t);
    if (v > s.ub - s.lb) return fail(Errc::BadLength, t);
    return take(static_cast<std::size_t>(s.lb + v));
  }
  // A general length still has to respect the size constraint when the size is in the root.
  std::size_t total = 0;
  if (!chunks(t, [&](std::size_t n) {
        total += n;
        return take(n);
      }))
    return false;
  if (rootSize && !s.within(total)) return fail(Errc::BadLength, t);
  return true;
}

bool PerDecoder::openType(const TypeDesc& t, std::string& raw) {
  return chunks(t, [&](std::size_t n) { return r_.octets(n, raw) || readFailed(t); });
}

template <class Inner>
bool PerDecoder::inner(const std::string& raw, Inner&& decodeInner) {
  BitReader sub({reinterpret_cast<const std::uint8_t*>(raw.data()), raw.size()});
  PerDecoder d(sub, budget_, depth_, base_ + r_.position() - raw.size() * 8);
  if (!decodeInner(d)) {
    error = d.error;
    return false;
  }
  return true;
}

bool PerDecoder::decode(Value& out, TypeId type) {
  const TypeDesc& t = typeDesc(type);
  out.type_ = type;
  out.present_ = true;
  if (depth_ >= kMaxDepth) return fail(Errc::TooDeep, t);
  ++depth_;
  bool ok = false;
  switch (t.kind) {
    case Kind::Boolean: {
      bool b = false;
      ok = r_.bit(b) || readFailed(t);
      out.num_ = b;
      break;
    }
    case Kind::Null: ok = true; break;
    case Kind::Integer: ok = integer(out, t); break;
    case Kind::Enumerated: ok = enumerated(out, t); break;
    case Kind::BitString: ok = bitString(out, t); break;
    case Kind::OctetString: ok = octetString(out, t); break;
    case Kind::CharString: ok = charString(out, t); break;
    case Kind::ObjectId:
      ok = chunks(t, [&](std::size_t n) { return r_.octets(n, out.bytes_) || readFailed(t); });
      break;
    case Kind::Sequence: ok = sequence(out, t); break;
    case Kind::Choice: ok = choice(out, t); break;
    case Kind::SequenceOf: ok = sequenceOf(out, t); break;
    case Kind::OpenType: {
      std::string raw;
      ok = charge(1, t) && openType(t, raw);
      if (ok) {
        out.items_.resize(1);
        ok = inner(raw, [&](PerDecoder& d) { return d.decode(out.items_[0], static_cast<TypeId>(t.first)); });
      }
      break;
    }
  }
  --depth_;
  return ok;
}

bool PerDecoder::integer(Value& out, const TypeDesc& t) {
  bool hasLb = t.flags & flag::HasLb, hasUb = t.flags & flag::HasUb;
  bool outside = false;
  if ((t.flags & flag::ConstraintExt) && !r_.bit(outside)) return readFailed(t);
  if (outside || !hasLb) {
    std::int64_t v;
    if (!r_.unconstrained(v)) return readFailed(t);
    out.num_ = v;
    if (!outside && hasUb && v > t.ub) return fail(Errc::OutOfRange, t);
    return true;
  }
  std::uint64_t v;
  if (hasUb) {
    std::uint64_t range = static_cast<std::uint64_t>(t.ub - t.lb) + 1;
    if (!r_.constrained(range, v)) return readFailed(t);
    if (v >= range) return fail(Errc::OutOfRange, t);
  } else {
    if (!r_.semiConstrained(v)) return readFailed(t);
    if (v > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max() - t.lb)) return fail(Errc::TooLarge, t);
  }
  out.num_ = t.lb + static_cast<std::int64_t>(v);
  return true;
}

bool PerDecoder::enumerated(Value& out, const TypeDesc& t) {
  bool ext = false;
  if (detail::isExtensible(t) && !r_.bit(ext)) return readFailed(t);
  std::uint64_t v;
  if (!ext) {
    if (!r_.constrained(t.rootCount, v)) return readFailed(t);
    if (v >= t.rootCount) return fail(Errc::OutOfRange, t);
  } else {
    if (!r_.smallNumber(v)) return readFailed(t);
    v += t.rootCount;
    if (v > 0xffff) return fail(Errc::OutOfRange, t);
  }
  out.num_ = static_cast<std::int64_t>(v);  // an index past the known enumerators is kept
  return true;
}

bool PerDecoder::bitString(Value& out, const TypeDesc& t) {
  SizeRules s = detail::sizeRules(t);
  bool outside = false;
  if (s.ext && !r_.bit(outside)) return readFailed(t);
  std::size_t total = 0;
  auto take = [&](std::size_t n, bool alignFirst) {
    if (total % 8) return fail(Errc::BadLength, t);  // only the last piece may end inside an octet
    if (alignFirst && n && !r_.align()) return readFailed(t);
    if (!r_.bitField(n, out.bytes_)) return readFailed(t);
    total += n;
    return true;
  };
  if (!outside && s.fixed() && s.ub < 65536) {
    if (!take(static_cast<std::size_t>(s.ub), s.ub > 16)) return false;
  } else if (!sized(t, s, !outside, [&](std::size_t n) { return take(n, true); })) {
    return false;
  }
  out.num_ = static_cast<std::int64_t>(total);
  return true;
}

bool PerDecoder::octetString(Value& out, const TypeDesc& t) {
  SizeRules s = detail::sizeRules(t);
  bool outside = false;
  if (s.ext && !r_.bit(outside)) return readFailed(t);
  if (!outside && s.fixed() && s.ub < 65536) {
    if (s.ub > 2 && !r_.align()) return readFailed(t);
    return r_.octets(static_cast<std::size_t>(s.ub), out.bytes_) || readFailed(t);
  }
  return sized(t, s, !outside, [&](std::size_t n) {
    if (n && !r_.align()) return readFailed(t);
    return r_.octets(n, out.bytes_) || readFailed(t);
  });
}

bool PerDecoder::charString(Value& out, const TypeDesc& t) {
  CharRules r = detail::charRules(t);
  if (!r.knownMultiplier) return chunks(t, [&](std::size_t n) { return r_.octets(n, out.bytes_) || readFailed(t); });
  SizeRules s = detail::sizeRules(t);
  bool outside = false;
  if (s.ext && !r_.bit(outside)) return readFailed(t);
  bool wide = !s.hasUb || s.ub * r.bits > 16;
  auto take = [&](std::size_t n) {
    if (n > r_.remaining() / r.bits) return readFailed(t);
    if (wide && n && !r_.align()) return readFailed(t);
    for (std::size_t i = 0; i < n; ++i) {
      std::uint64_t index;
      if (!r_.bits(r.bits, index)) return readFailed(t);
      bool ok;
      std::uint32_t ch = detail::charAt(r, index, ok);
      if (!ok) return fail(Errc::BadCharacter, t);
      if (r.unit == 2) out.bytes_ += static_cast<char>(ch >> 8);
      out.bytes_ += static_cast<char>(ch);
    }
    return true;
  };
  if (!outside && s.fixed() && s.ub < 65536) return take(static_cast<std::size_t>(s.ub));
  return sized(t, s, !outside, take);
}

bool PerDecoder::components(Value& out, const TypeDesc& t, std::uint16_t from, std::uint16_t to) {
  bool presence[256];
  std::vector<bool> many;
  auto isOptional = [&](std::uint16_t i) { return fieldDesc(t, i).flags & (field::Optional | field::Default); };
  std::size_t optionals = 0;
  for (std::uint16_t i = from; i < to; ++i) optionals += isOptional(i) ? 1 : 0;
  if (optionals > 256) many.resize(optionals);
  for (std::size_t k = 0; k < optionals; ++k) {
    bool b;
    if (!r_.bit(b)) return readFailed(t);
    if (optionals > 256)
      many[k] = b;
    else
      presence[k] = b;
  }
  std::size_t k = 0;
  for (std::uint16_t i = from; i < to; ++i) {
    bool present = true;
    if (isOptional(i)) {
      present = optionals > 256 ? bool(many[k]) : presence[k];
      ++k;
    }
    if (present && !decode(out.items_[i], fieldDesc(t, i).type)) return false;
  }
  return true;
}

bool PerDecoder::sequence(Value& out, const TypeDesc& t) {
  bool ext = false;
  if (detail::isExtensible(t) && !r_.bit(ext)) return readFailed(t);
  if (!charge(t.count + 1u, t)) return false;
  out.items_.resize(t.count);
  if (!components(out, t, 0, t.rootCount)) return false;
  if (!ext) return true;

  std::size_t n;
  if (!r_.smallLength(n)) return readFailed(t);
  if (n > r_.remaining()) return readFailed(t);
  std::vector<bool> present(n + 1, false);
  for (std::size_t k = 1; k <= n; ++k) {
    bool b;
    if (!r_.bit(b)) return readFailed(t);
    present[k] = b;
  }
  out.extBits_ = static_cast<std::uint16_t>(std::min<std::size_t>(n, 0xffff));
  std::uint16_t known = extensionCount(t);
  std::uint16_t i = t.rootCount;  // first component of addition k
  for (std::size_t k = 1; k <= n; ++k) {
    std::uint16_t from = i, to = i;
    while (to < t.count && fieldDesc(t, to).ext == k) ++to;
    i = to;
    if (!present[k]) continue;
    std::string raw;
    if (!openType(t, raw)) return false;
    if (k > known) {
      if (!charge(1, t)) return false;
      out.unknown_.push_back({static_cast<std::uint16_t>(std::min<std::size_t>(k, 0xffff)), std::move(raw)});
      continue;
    }
    bool ok;
    if (fieldDesc(t, from).flags & field::InGroup)
      ok = inner(raw, [&](PerDecoder& d) { return d.components(out, t, from, to); });
    else
      ok = inner(raw, [&](PerDecoder& d) { return d.decode(out.items_[from], fieldDesc(t, from).type); });
    if (!ok) return false;
  }
  return true;
}

bool PerDecoder::choice(Value& out, const TypeDesc& t) {
  bool ext = false;
  if (detail::isExtensible(t) && !r_.bit(ext)) return readFailed(t);
  if (!charge(1, t)) return false;
  std::uint64_t index;
  if (!ext) {
    if (!r_.constrained(t.rootCount, index)) return readFailed(t);
    if (index >= t.rootCount) return fail(Errc::OutOfRange, t);
    out.num_ = static_cast<std::int64_t>(index);
    out.items_.resize(1);
    return decode(out.items_[0], fieldDesc(t, static_cast<std::size_t>(index)).type);
  }
  if (!r_.smallNumber(index)) return readFailed(t);
  index += t.rootCount;
  if (index > 0xffff) return fail(Errc::OutOfRange, t);
  out.num_ = static_cast<std::int64_t>(index);
  std::string raw;
  if (!openType(t, raw)) return false;
  if (index >= t.count) {
    out.unknown_.push_back({0, std::move(raw)});
    return true;
  }
  out.items_.resize(1);
  return inner(
      raw, [&](PerDecoder& d) { return d.decode(out.items_[0], fieldDesc(t, static_cast<std::size_t>(index)).type); });
}

bool PerDecoder::sequenceOf(Value& out, const TypeDesc& t) {
  SizeRules s = detail::sizeRules(t);
  bool outside = false;
  if (s.ext && !r_.bit(outside)) return readFailed(t);
  auto take = [&](std::size_t n) {
    if (!charge(n, t)) return false;
    out.items_.reserve(out.items_.size() + n);  // exactly what was charged, no doubling beyond it
    for (std::size_t i = 0; i < n; ++i) {
      out.items_.emplace_back();
      if (!decode(out.items_.back(), static_cast<TypeId>(t.first))) return false;
    }
    return true;
  };
  if (!outside && s.fixed() && s.ub < 65536) return take(static_cast<std::size_t>(s.ub));
  return sized(t, s, !outside, take);
}

std::size_t valueBudget(std::size_t octets) { return octets * 8 / kBitsPerValue + kBaseValues; }

Result<Value> decode(TypeId type, std::span<const std::uint8_t> data, std::size_t* consumed) {
  if (type >= tables().types.size()) return Error{Errc::WrongType, "no such type", 0};
  BitReader r(data);
  std::size_t budget = valueBudget(data.size());
  PerDecoder d(r, budget, 0, 0);
  Value v;
  if (!d.decode(v, type)) return d.error;
  if (consumed) *consumed = std::max<std::size_t>(1, (r.position() + 7) / 8);
  return v;
}

}  // namespace vantro::asn
