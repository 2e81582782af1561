// The generic aligned-PER decoder: reads a Value along the descriptor tables of its type.
// Every read is bounded by the input, nesting by kMaxDepth, and the number of values created by
// a budget proportional to the input's size (ValueBudget), so hostile input ends in an Error and
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

  bool Decode(Value& out, TypeId type);
  Error error;

 private:
  bool Fail(Errc code, const TypeDesc& t, const char* field = nullptr);
  bool ReadFailed(const TypeDesc& t) { return Fail(r_.Malformed() ? Errc::BadLength : Errc::Truncated, t); }
  bool Charge(std::size_t n, const TypeDesc& t);

  bool Integer(Value& out, const TypeDesc& t);
  bool Enumerated(Value& out, const TypeDesc& t);
  bool BitString(Value& out, const TypeDesc& t);
  bool OctetString(Value& out, const TypeDesc& t);
  bool CharString(Value& out, const TypeDesc& t);
  bool Sequence(Value& out, const TypeDesc& t);
  bool Components(Value& out, const TypeDesc& t, std::uint16_t from, std::uint16_t to);
  bool Choice(Value& out, const TypeDesc& t);
  bool SequenceOf(Value& out, const TypeDesc& t);

  // A length (general determinant, fragments included) calling take(count) per piece.
  template <class Take>
  bool Chunks(const TypeDesc& t, Take&& take);
  template <class Take>
  bool Sized(const TypeDesc& t, const SizeRules& s, bool rootSize, Take&& take);
  bool OpenType(const TypeDesc& t, std::string& raw);
  // Decodes a value of a type from the octets of an open type.
  template <class InnerFn>
  bool Inner(const std::string& raw, InnerFn&& decodeInner);

  BitReader& r_;
  std::size_t& budget_;
  unsigned depth_;
  std::size_t base_;
};

bool PerDecoder::Fail(Errc code, const TypeDesc& t, const char* field) {
  error.code = code;
  error.where = t.name;
  if (field) error.where += std::string(".") + field;
  error.bit = base_ + r_.Position();
  return false;
}

bool PerDecoder::Charge(std::size_t n, const TypeDesc& t) {
  if (n > budget_) return Fail(Errc::TooLarge, t);
  budget_ -= n;
  return true;
}

template <class Take>
bool PerDecoder::Chunks(const TypeDesc& t, Take&& take) {
  for (;;) {
    std::size_t n;
    bool fragment;
    if (!r_.Length(n, fragment)) return ReadFailed(t);
    if (!take(n)) return false;
    if (!fragment) return true;
  }
}

template <class Take>
bool PerDecoder::Sized(const TypeDesc& t, const SizeRules& s, bool rootSize, Take&& take) {
  if (rootSize && s.ConstrainedLength()) {
    std::uint64_t v;
    if (!r_.Constrained(s.ub - s.lb + 1, v)) return ReadFailed(t);
    if (v > s.ub - s.lb) return Fail(Errc::BadLength, t);
    return take(static_cast<std::size_t>(s.lb + v));
  }
  // A general length still has to respect the size constraint when the size is in the root.
  std::size_t total = 0;
  if (!Chunks(t, [&](std::size_t n) {
        total += n;
        return take(n);
      }))
    return false;
  if (rootSize && !s.Within(total)) return Fail(Errc::BadLength, t);
  return true;
}

bool PerDecoder::OpenType(const TypeDesc& t, std::string& raw) {
  return Chunks(t, [&](std::size_t n) { return r_.Octets(n, raw) || ReadFailed(t); });
}

template <class InnerFn>
bool PerDecoder::Inner(const std::string& raw, InnerFn&& decodeInner) {
  BitReader sub({reinterpret_cast<const std::uint8_t*>(raw.data()), raw.size()});
  PerDecoder d(sub, budget_, depth_, base_ + r_.Position() - raw.size() * 8);
  if (!decodeInner(d)) {
    error = d.error;
    return false;
  }
  return true;
}

bool PerDecoder::Decode(Value& out, TypeId type) {
  const TypeDesc& t = typeDesc(type);
  out.type_ = type;
  out.present_ = true;
  if (depth_ >= kMaxDepth) return Fail(Errc::TooDeep, t);
  ++depth_;
  bool ok = false;
  switch (t.kind) {
    case Kind::Boolean: {
      bool b = false;
      ok = r_.Bit(b) || ReadFailed(t);
      out.num_ = b;
      break;
    }
    case Kind::Null: ok = true; break;
    case Kind::Integer: ok = Integer(out, t); break;
    case Kind::Enumerated: ok = Enumerated(out, t); break;
    case Kind::BitString: ok = BitString(out, t); break;
    case Kind::OctetString: ok = OctetString(out, t); break;
    case Kind::CharString: ok = CharString(out, t); break;
    case Kind::ObjectId:
      ok = Chunks(t, [&](std::size_t n) { return r_.Octets(n, out.bytes_) || ReadFailed(t); });
      break;
    case Kind::Sequence: ok = Sequence(out, t); break;
    case Kind::Choice: ok = Choice(out, t); break;
    case Kind::SequenceOf: ok = SequenceOf(out, t); break;
    case Kind::OpenType: {
      std::string raw;
      ok = Charge(1, t) && OpenType(t, raw);
      if (ok) {
        out.items_.resize(1);
        ok = Inner(raw, [&](PerDecoder& d) { return d.Decode(out.items_[0], static_cast<TypeId>(t.first)); });
      }
      break;
    }
  }
  --depth_;
  return ok;
}

bool PerDecoder::Integer(Value& out, const TypeDesc& t) {
  bool hasLb = t.flags & flag::HasLb, hasUb = t.flags & flag::HasUb;
  bool outside = false;
  if ((t.flags & flag::ConstraintExt) && !r_.Bit(outside)) return ReadFailed(t);
  if (outside || !hasLb) {
    std::int64_t v;
    if (!r_.Unconstrained(v)) return ReadFailed(t);
    out.num_ = v;
    if (!outside && hasUb && v > t.ub) return Fail(Errc::OutOfRange, t);
    return true;
  }
  std::uint64_t v;
  if (hasUb) {
    std::uint64_t range = static_cast<std::uint64_t>(t.ub - t.lb) + 1;
    if (!r_.Constrained(range, v)) return ReadFailed(t);
    if (v >= range) return Fail(Errc::OutOfRange, t);
  } else {
    if (!r_.SemiConstrained(v)) return ReadFailed(t);
    if (v > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max() - t.lb)) return Fail(Errc::TooLarge, t);
  }
  out.num_ = t.lb + static_cast<std::int64_t>(v);
  return true;
}

bool PerDecoder::Enumerated(Value& out, const TypeDesc& t) {
  bool ext = false;
  if (detail::IsExtensible(t) && !r_.Bit(ext)) return ReadFailed(t);
  std::uint64_t v;
  if (!ext) {
    if (!r_.Constrained(t.rootCount, v)) return ReadFailed(t);
    if (v >= t.rootCount) return Fail(Errc::OutOfRange, t);
  } else {
    if (!r_.SmallNumber(v)) return ReadFailed(t);
    v += t.rootCount;
    if (v > 0xffff) return Fail(Errc::OutOfRange, t);
  }
  out.num_ = static_cast<std::int64_t>(v);  // an index past the known enumerators is kept
  return true;
}

bool PerDecoder::BitString(Value& out, const TypeDesc& t) {
  SizeRules s = detail::sizeRules(t);
  bool outside = false;
  if (s.ext && !r_.Bit(outside)) return ReadFailed(t);
  std::size_t total = 0;
  auto take = [&](std::size_t n, bool alignFirst) {
    if (total % 8) return Fail(Errc::BadLength, t);  // only the last piece may end inside an octet
    if (alignFirst && n && !r_.Align()) return ReadFailed(t);
    if (!r_.BitField(n, out.bytes_)) return ReadFailed(t);
    total += n;
    return true;
  };
  if (!outside && s.Fixed() && s.ub < 65536) {
    if (!take(static_cast<std::size_t>(s.ub), s.ub > 16)) return false;
  } else if (!Sized(t, s, !outside, [&](std::size_t n) { return take(n, true); })) {
    return false;
  }
  out.num_ = static_cast<std::int64_t>(total);
  return true;
}

bool PerDecoder::OctetString(Value& out, const TypeDesc& t) {
  SizeRules s = detail::sizeRules(t);
  bool outside = false;
  if (s.ext && !r_.Bit(outside)) return ReadFailed(t);
  if (!outside && s.Fixed() && s.ub < 65536) {
    if (s.ub > 2 && !r_.Align()) return ReadFailed(t);
    return r_.Octets(static_cast<std::size_t>(s.ub), out.bytes_) || ReadFailed(t);
  }
  return Sized(t, s, !outside, [&](std::size_t n) {
    if (n && !r_.Align()) return ReadFailed(t);
    return r_.Octets(n, out.bytes_) || ReadFailed(t);
  });
}

bool PerDecoder::CharString(Value& out, const TypeDesc& t) {
  CharRules r = detail::charRules(t);
  if (!r.knownMultiplier) return Chunks(t, [&](std::size_t n) { return r_.Octets(n, out.bytes_) || ReadFailed(t); });
  SizeRules s = detail::sizeRules(t);
  bool outside = false;
  if (s.ext && !r_.Bit(outside)) return ReadFailed(t);
  bool wide = !s.hasUb || s.ub * r.bits > 16;
  auto take = [&](std::size_t n) {
    if (n > r_.Remaining() / r.bits) return ReadFailed(t);
    if (wide && n && !r_.Align()) return ReadFailed(t);
    for (std::size_t i = 0; i < n; ++i) {
      std::uint64_t index;
      if (!r_.Bits(r.bits, index)) return ReadFailed(t);
      bool ok;
      std::uint32_t ch = detail::CharAt(r, index, ok);
      if (!ok) return Fail(Errc::BadCharacter, t);
      if (r.unit == 2) out.bytes_ += static_cast<char>(ch >> 8);
      out.bytes_ += static_cast<char>(ch);
    }
    return true;
  };
  if (!outside && s.Fixed() && s.ub < 65536) return take(static_cast<std::size_t>(s.ub));
  return Sized(t, s, !outside, take);
}

bool PerDecoder::Components(Value& out, const TypeDesc& t, std::uint16_t from, std::uint16_t to) {
  bool presence[256];
  std::vector<bool> many;
  auto isOptional = [&](std::uint16_t i) { return fieldDesc(t, i).flags & (field::Optional | field::Default); };
  std::size_t optionals = 0;
  for (std::uint16_t i = from; i < to; ++i) optionals += isOptional(i) ? 1 : 0;
  if (optionals > 256) many.resize(optionals);
  for (std::size_t k = 0; k < optionals; ++k) {
    bool b;
    if (!r_.Bit(b)) return ReadFailed(t);
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
    if (present && !Decode(out.items_[i], fieldDesc(t, i).type)) return false;
  }
  return true;
}

bool PerDecoder::Sequence(Value& out, const TypeDesc& t) {
  bool ext = false;
  if (detail::IsExtensible(t) && !r_.Bit(ext)) return ReadFailed(t);
  if (!Charge(t.count + 1u, t)) return false;
  out.items_.resize(t.count);
  if (!Components(out, t, 0, t.rootCount)) return false;
  if (!ext) return true;

  std::size_t n;
  if (!r_.SmallLength(n)) return ReadFailed(t);
  if (n > r_.Remaining()) return ReadFailed(t);
  std::vector<bool> present(n + 1, false);
  for (std::size_t k = 1; k <= n; ++k) {
    bool b;
    if (!r_.Bit(b)) return ReadFailed(t);
    present[k] = b;
  }
  out.extBits_ = static_cast<std::uint16_t>(std::min<std::size_t>(n, 0xffff));
  std::uint16_t known = ExtensionCount(t);
  std::uint16_t i = t.rootCount;  // first component of addition k
  for (std::size_t k = 1; k <= n; ++k) {
    std::uint16_t from = i, to = i;
    while (to < t.count && fieldDesc(t, to).ext == k) ++to;
    i = to;
    if (!present[k]) continue;
    std::string raw;
    if (!OpenType(t, raw)) return false;
    if (k > known) {
      if (!Charge(1, t)) return false;
      out.unknown_.push_back({static_cast<std::uint16_t>(std::min<std::size_t>(k, 0xffff)), std::move(raw)});
      continue;
    }
    bool ok;
    if (fieldDesc(t, from).flags & field::InGroup)
      ok = Inner(raw, [&](PerDecoder& d) { return d.Components(out, t, from, to); });
    else
      ok = Inner(raw, [&](PerDecoder& d) { return d.Decode(out.items_[from], fieldDesc(t, from).type); });
    if (!ok) return false;
  }
  return true;
}

bool PerDecoder::Choice(Value& out, const TypeDesc& t) {
  bool ext = false;
  if (detail::IsExtensible(t) && !r_.Bit(ext)) return ReadFailed(t);
  if (!Charge(1, t)) return false;
  std::uint64_t index;
  if (!ext) {
    if (!r_.Constrained(t.rootCount, index)) return ReadFailed(t);
    if (index >= t.rootCount) return Fail(Errc::OutOfRange, t);
    out.num_ = static_cast<std::int64_t>(index);
    out.items_.resize(1);
    return Decode(out.items_[0], fieldDesc(t, static_cast<std::size_t>(index)).type);
  }
  if (!r_.SmallNumber(index)) return ReadFailed(t);
  index += t.rootCount;
  if (index > 0xffff) return Fail(Errc::OutOfRange, t);
  out.num_ = static_cast<std::int64_t>(index);
  std::string raw;
  if (!OpenType(t, raw)) return false;
  if (index >= t.count) {
    out.unknown_.push_back({0, std::move(raw)});
    return true;
  }
  out.items_.resize(1);
  return Inner(
      raw, [&](PerDecoder& d) { return d.Decode(out.items_[0], fieldDesc(t, static_cast<std::size_t>(index)).type); });
}

bool PerDecoder::SequenceOf(Value& out, const TypeDesc& t) {
  SizeRules s = detail::sizeRules(t);
  bool outside = false;
  if (s.ext && !r_.Bit(outside)) return ReadFailed(t);
  auto take = [&](std::size_t n) {
    if (!Charge(n, t)) return false;
    out.items_.reserve(out.items_.size() + n);  // exactly what was charged, no doubling beyond it
    for (std::size_t i = 0; i < n; ++i) {
      out.items_.emplace_back();
      if (!Decode(out.items_.back(), static_cast<TypeId>(t.first))) return false;
    }
    return true;
  };
  if (!outside && s.Fixed() && s.ub < 65536) return take(static_cast<std::size_t>(s.ub));
  return Sized(t, s, !outside, take);
}

std::size_t ValueBudget(std::size_t octets) { return octets * 8 / kBitsPerValue + kBaseValues; }

Result<Value> Decode(TypeId type, std::span<const std::uint8_t> data, std::size_t* consumed) {
  if (type >= tables().types.size()) return Error{Errc::WrongType, "no such type", 0};
  BitReader r(data);
  std::size_t budget = ValueBudget(data.size());
  PerDecoder d(r, budget, 0, 0);
  Value v;
  if (!d.Decode(v, type)) return d.error;
  if (consumed) *consumed = std::max<std::size_t>(1, (r.Position() + 7) / 8);
  return v;
}

}  // namespace vantro::asn
