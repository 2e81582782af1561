#include "stack/asn/Defaults.h"

#include "stack/asn/PerRules.h"

namespace vantro::asn {

namespace {

// Recursive types could otherwise go on for ever through their first alternatives.
constexpr int kMaxFillDepth = 48;

void Fill(Value& v, int depth);

void Plain(Value& v, int depth) {
  const TypeDesc& t = v.Desc();
  std::size_t lb = (t.flags & flag::HasLb) ? static_cast<std::size_t>(t.lb) : 0;
  switch (t.kind) {
    case Kind::Integer:
      v.SetInteger((t.flags & flag::HasLb) ? t.lb : ((t.flags & flag::HasUb) && t.ub < 0 ? t.ub : 0));
      break;
    case Kind::BitString: {
      std::vector<std::uint8_t> zeros((lb + 7) / 8, 0);
      v.SetBits(zeros, lb);
      break;
    }
    case Kind::OctetString: v.SetBytes(std::string(lb, '\0')); break;
    case Kind::CharString: {
      detail::CharRules r = detail::charRules(t);
      char first = r.alphabet.empty() ? ' ' : r.alphabet.front();
      v.SetText(std::string(lb, first));
      break;
    }
    case Kind::ObjectId: v.SetOid({0, 0}); break;
    default: Fill(v, depth); break;
  }
}

void Fill(Value& v, int depth) {
  if (depth > kMaxFillDepth) return;
  const TypeDesc& t = v.Desc();
  switch (t.kind) {
    case Kind::Sequence:
      for (std::uint16_t i = 0; i < t.count; ++i) {
        const FieldDesc& f = fieldDesc(t, i);
        bool mandatory = !(f.flags & (field::Optional | field::Default));
        if (v.Has(i))
          Fill(v.Field(i), depth + 1);
        else if (mandatory && !(f.flags & field::InGroup))
          Plain(v.Field(i), depth + 1);
      }
      break;
    case Kind::Choice:
      if (v.IsUnknownAlternative()) break;
      if (v.Choice() >= t.count || !v.Is(v.Choice()))
        Plain(v.Select(0), depth + 1);
      else
        Fill(v.Alternative(), depth + 1);
      break;
    case Kind::SequenceOf: {
      std::size_t lb = (t.flags & flag::HasLb) ? static_cast<std::size_t>(t.lb) : 0;
      while (v.Size() < lb) Plain(v.Append(), depth + 1);
      for (std::size_t i = 0; i < v.Size(); ++i) {
        if (v.At(i).Kind() == Kind::Sequence || v.At(i).Kind() == Kind::Choice || v.At(i).Kind() == Kind::SequenceOf)
          Fill(v.At(i), depth + 1);
      }
      break;
    }
    case Kind::OpenType: Fill(v.Contained(), depth + 1); break;
    default: break;
  }
}

}  // namespace

void CompleteMandatory(Value& v) { Fill(v, 0); }

}  // namespace vantro::asn
