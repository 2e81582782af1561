#include "stack/asn/Defaults.h"

#include "stack/asn/PerRules.h"

namespace vantro::asn {

namespace {

// Recursive types could otherwise go on for ever through their first alternatives.
constexpr int kMaxFillDepth = 48;

void fill(Value& v, int depth);

void plain(Value& v, int depth) {
  const TypeDesc& t = v.desc();
  std::size_t lb = (t.flags & flag::HasLb) ? static_cast<std::size_t>(t.lb) : 0;
  switch (t.kind) {
    case Kind::Integer:
      v.setInteger((t.flags & flag::HasLb) ? t.lb : ((t.flags & flag::HasUb) && t.ub < 0 ? t.ub : 0));
      break;
    case Kind::BitString: {
      std::vector<std::uint8_t> zeros((lb + 7) / 8, 0);
      v.setBits(zeros, lb);
      break;
    }
    case Kind::OctetString: v.setBytes(std::string(lb, '\0')); break;
    case Kind::CharString: {
      detail::CharRules r = detail::charRules(t);
      char first = r.alphabet.empty() ? ' ' : r.alphabet.front();
      v.setText(std::string(lb, first));
      break;
    }
    case Kind::ObjectId: v.setOid({0, 0}); break;
    default: fill(v, depth); break;
  }
}

void fill(Value& v, int depth) {
  if (depth > kMaxFillDepth) return;
  const TypeDesc& t = v.desc();
  switch (t.kind) {
    case Kind::Sequence:
      for (std::uint16_t i = 0; i < t.count; ++i) {
        const FieldDesc& f = fieldDesc(t, i);
        bool mandatory = !(f.flags & (field::Optional | field::Default));
        if (v.has(i))
          fill(v.field(i), depth + 1);
        else if (mandatory && !(f.flags & field::InGroup))
          plain(v.field(i), depth + 1);
      }
      break;
    case Kind::Choice:
      if (v.isUnknownAlternative()) break;
      if (v.choice() >= t.count || !v.is(v.choice()))
        plain(v.select(0), depth + 1);
      else
        fill(v.alternative(), depth + 1);
      break;
    case Kind::SequenceOf: {
      std::size_t lb = (t.flags & flag::HasLb) ? static_cast<std::size_t>(t.lb) : 0;
      while (v.size() < lb) plain(v.append(), depth + 1);
      for (std::size_t i = 0; i < v.size(); ++i) {
        if (v.at(i).kind() == Kind::Sequence || v.at(i).kind() == Kind::Choice || v.at(i).kind() == Kind::SequenceOf)
          fill(v.at(i), depth + 1);
      }
      break;
    }
    case Kind::OpenType: fill(v.contained(), depth + 1); break;
    default: break;
  }
}

}  // namespace

void completeMandatory(Value& v) { fill(v, 0); }

}  // namespace vantro::asn
